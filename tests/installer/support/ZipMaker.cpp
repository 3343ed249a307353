// Test-time archive making (see ZipMaker.h).
#include "ZipMaker.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zipmaker {

namespace {

int nRun(const std::string& command, std::string* psOutput) {
  FILE* pf = popen(command.c_str(), "r");
  if (pf == nullptr) return -1;
  char acBuffer[4096];
  size_t n;
  while ((n = fread(acBuffer, 1, sizeof acBuffer, pf)) > 0) {
    if (psOutput != nullptr) psOutput->append(acBuffer, n);
  }
  const int nStatus = pclose(pf);
  if (nStatus == -1) return -1;
  return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

bool bMakeParents(const std::string& path) {
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '/') continue;
    const std::string sParent = path.substr(0, i);
    if (mkdir(sParent.c_str(), 0700) != 0) {
      struct stat st;
      if (stat(sParent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    }
  }
  return true;
}

}  // namespace

ZipMakerDir::ZipMakerDir() {
  const char* pszTmp = std::getenv("TMPDIR");
  std::string sTemplate = (pszTmp != nullptr && *pszTmp != 0) ? pszTmp : "/tmp";
  sTemplate += "/zipmaker.XXXXXX";
  if (mkdtemp(&sTemplate[0]) != nullptr) m_sDir = sTemplate;
}

ZipMakerDir::~ZipMakerDir() {
  if (!m_sDir.empty()) nRun("rm -rf " + sQuote(m_sDir), nullptr);
}

std::string ZipMakerDir::sPath(const std::string& name) const {
  if (!name.empty() && name[0] == '/') return name;
  return m_sDir + "/" + name;
}

bool ZipMakerDir::bWrite(const std::string& name, const std::string& bytes) const {
  if (!bOk()) return false;
  const std::string sFull = sPath(name);
  if (!bMakeParents(sFull)) return false;
  std::ofstream out(sFull, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ZipMakerDir::sRead(const std::string& name, bool* pbOk) const {
  std::ifstream in(sPath(name), std::ios::binary);
  if (pbOk != nullptr) *pbOk = static_cast<bool>(in);
  if (!in) return std::string();
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

int ZipMakerDir::nZip(const std::string& arguments) const {
  return nShell("zip -q " + arguments + " >/dev/null 2>&1");
}

int ZipMakerDir::nPython(const std::string& script, const std::vector<std::string>& args) const {
  std::string sCommand = "python3 -c " + sQuote(script);
  for (const std::string& s : args) sCommand += " " + sQuote(s);
  return nShell(sCommand + " 2>&1");
}

int ZipMakerDir::nShell(const std::string& command, std::string* psOutput) const {
  if (!bOk()) return -1;
  return nRun("cd " + sQuote(m_sDir) + " && " + command, psOutput);
}

std::string sQuote(const std::string& text) {
  std::string s = "'";
  for (char c : text) {
    if (c == '\'')
      s += "'\\''";
    else
      s += c;
  }
  return s + "'";
}

bool bHasProgram(const std::string& program) {
  return nRun("command -v " + sQuote(program) + " >/dev/null 2>&1", nullptr) == 0;
}

unsigned nGetU16(const std::string& bytes, std::size_t offset) {
  return static_cast<unsigned char>(bytes[offset]) |
         (static_cast<unsigned>(static_cast<unsigned char>(bytes[offset + 1])) << 8);
}

unsigned nGetU32(const std::string& bytes, std::size_t offset) {
  return nGetU16(bytes, offset) | (nGetU16(bytes, offset + 2) << 16);
}

void SetU16(std::string& bytes, std::size_t offset, unsigned value) {
  bytes[offset] = static_cast<char>(value & 0xFF);
  bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void SetU32(std::string& bytes, std::size_t offset, unsigned value) {
  SetU16(bytes, offset, value & 0xFFFF);
  SetU16(bytes, offset + 2, value >> 16);
}

std::vector<std::size_t> FindSignatures(const std::string& bytes, unsigned signature) {
  std::vector<std::size_t> v;
  for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
    if (nGetU32(bytes, i) == signature) v.push_back(i);
  }
  return v;
}

std::size_t nFindLastSignature(const std::string& bytes, unsigned signature) {
  if (bytes.size() < 4) return std::string::npos;
  for (std::size_t i = bytes.size() - 4 + 1; i-- > 0;) {
    if (nGetU32(bytes, i) == signature) return i;
  }
  return std::string::npos;
}

}  // namespace zipmaker
