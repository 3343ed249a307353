// kxmsgpack: packs a message file into the C++ source of the library's
// message block (see MessagePacker.h for both formats).
//
// Usage: kxmsgpack <messages.msg> <output.cpp>
// Exit status 0 on success, 1 on any fault
// (reported on standard error with the file and line).
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "MessagePacker.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: kxmsgpack <messages.msg> <output.cpp>\n";
    return 1;
  }
  const std::string sInput = argv[1];
  const std::string sOutput = argv[2];
  std::ifstream in(sInput, std::ios::binary);
  if (!in) {
    std::cerr << "kxmsgpack: cannot read " << sInput << "\n";
    return 1;
  }
  std::vector<CMessagePacker::STMessage> aMessages;
  std::string sError;
  if (!CMessagePacker::s_bParse(in, aMessages, sError)) {
    std::cerr << sInput << ": " << sError << "\n";
    return 1;
  }
  std::vector<unsigned char> aBlock;
  if (!CMessagePacker::s_bBuildBlock(aMessages, aBlock, sError)) {
    std::cerr << sInput << ": " << sError << "\n";
    return 1;
  }
  const std::size_t nSlash = sInput.find_last_of('/');
  std::ostringstream source;
  CMessagePacker::s_WriteSource(source, aBlock, aMessages.size(),
                                nSlash == std::string::npos ? sInput : sInput.substr(nSlash + 1));

  std::ofstream out(sOutput, std::ios::binary | std::ios::trunc);
  out << source.str();
  if (!out.flush()) {
    std::cerr << "kxmsgpack: cannot write " << sOutput << "\n";
    return 1;
  }
  return 0;
}
