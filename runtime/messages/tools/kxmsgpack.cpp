// kxmsgpack: packs a message file into the C++ source of the library's
// message block (see MessagePacker.h for both formats).
//
// Usage: kxmsgpack [--function <name>] <messages.msg>... <output.cpp>
// Without --function the output is the library's block; with it, another
// program's block whose only symbol is the lookup function <name>.
// Exit status 0 on success, 1 on any fault
// (reported on standard error with the file and line).
#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "MessagePacker.h"

int main(int argc, char** argv) {
  std::string sFunction;
  int nFirst = 1;
  if (argc > 2 && std::string(argv[1]) == "--function") {
    sFunction = argv[2];
    nFirst = 3;
  }
  if (argc - nFirst < 2) {
    std::cerr << "usage: kxmsgpack [--function <name>] <messages.msg>... <output.cpp>\n";
    return 1;
  }
  // Each subsystem keeps its texts in a file of its own; every file is
  // ascending by itself, and the block takes them all in identifier order.
  std::vector<CMessagePacker::STMessage> aMessages;
  std::vector<std::string> aOrigin;
  std::string sNames;
  for (int i = nFirst; i < argc - 1; ++i) {
    const std::string sInput = argv[i];
    std::ifstream in(sInput, std::ios::binary);
    if (!in) {
      std::cerr << "kxmsgpack: cannot read " << sInput << "\n";
      return 1;
    }
    std::vector<CMessagePacker::STMessage> aFile;
    std::string sError;
    if (!CMessagePacker::s_bParse(in, aFile, sError)) {
      std::cerr << sInput << ": " << sError << "\n";
      return 1;
    }
    for (auto& st : aFile) {
      aMessages.push_back(std::move(st));
      aOrigin.push_back(sInput);
    }
    const std::size_t nSlash = sInput.find_last_of('/');
    if (!sNames.empty()) sNames += ", ";
    sNames += nSlash == std::string::npos ? sInput : sInput.substr(nSlash + 1);
  }
  std::vector<std::size_t> aOrder(aMessages.size());
  for (std::size_t i = 0; i < aOrder.size(); ++i) aOrder[i] = i;
  std::stable_sort(aOrder.begin(), aOrder.end(), [&](std::size_t a, std::size_t b) {
    return aMessages[a].nId < aMessages[b].nId;
  });
  std::vector<CMessagePacker::STMessage> aSorted;
  aSorted.reserve(aMessages.size());
  for (std::size_t k = 0; k < aOrder.size(); ++k) {
    if (k > 0 && aMessages[aOrder[k]].nId == aMessages[aOrder[k - 1]].nId) {
      std::cerr << "kxmsgpack: message " << aMessages[aOrder[k]].nId << " is in both "
                << aOrigin[aOrder[k - 1]] << " and " << aOrigin[aOrder[k]] << "\n";
      return 1;
    }
    aSorted.push_back(aMessages[aOrder[k]]);
  }
  std::vector<unsigned char> aBlock;
  std::string sError;
  if (!CMessagePacker::s_bBuildBlock(aSorted, aBlock, sError)) {
    std::cerr << "kxmsgpack: " << sError << "\n";
    return 1;
  }
  std::ostringstream source;
  CMessagePacker::s_WriteSource(source, aBlock, aSorted.size(), sNames, sFunction);

  const std::string sOutput = argv[argc - 1];
  std::ofstream out(sOutput, std::ios::binary | std::ios::trunc);
  out << source.str();
  if (!out.flush()) {
    std::cerr << "kxmsgpack: cannot write " << sOutput << "\n";
    return 1;
  }
  return 0;
}
