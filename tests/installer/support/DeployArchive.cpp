#include "DeployArchive.h"

#include <dirent.h>

#include <cstdio>

#include "UnicodeConversion.h"

namespace deploytest {

namespace {

std::string sHex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// Arguments: the archive, then name (hex), data file, attributes, deflate
// flag for each entry. The data goes through files: an argument is limited
// to 128 KiB. The name is set after construction so that nothing in ZipInfo
// rewrites it.
constexpr char kszScript[] = R"PY(
import sys, zipfile, binascii
a = sys.argv[2:]
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for i in range(0, len(a), 4):
        zi = zipfile.ZipInfo('x', date_time=(2020, 5, 17, 10, 20, 30))
        zi.filename = binascii.unhexlify(a[i]).decode('utf-8', 'surrogateescape')
        zi.create_system = 3
        zi.external_attr = int(a[i + 2])
        zi.compress_type = zipfile.ZIP_DEFLATED if a[i + 3] == '1' else zipfile.ZIP_STORED
        z.writestr(zi, open(a[i + 1], 'rb').read())
)PY";

}  // namespace

bool bMakeDeployArchive(const zipmaker::ZipMakerDir& dir, const std::string& archive,
                        const std::vector<stDeployEntry>& entries) {
  std::vector<std::string> args{dir.sPath(archive)};
  std::vector<std::string> dataFiles;
  bool bOk = true;
  for (const stDeployEntry& e : entries) {
    const std::string sData = dir.sPath(".deploy-data-" + std::to_string(dataFiles.size()));
    dataFiles.push_back(sData);
    bOk = bOk && dir.bWrite(sData, e.sData);
    args.push_back(sHex(e.sName));
    args.push_back(sData);
    args.push_back(std::to_string(e.nAttributes));
    args.push_back(e.bDeflate ? "1" : "0");
  }
  bOk = bOk && dir.nPython(kszScript, args) == 0;
  for (const std::string& s : dataFiles) std::remove(s.c_str());
  return bOk;
}

bool bCorruptStoredData(const zipmaker::ZipMakerDir& dir, const std::string& archive,
                        const std::string& marker) {
  bool bOk = false;
  std::string bytes = dir.sRead(archive, &bOk);
  if (!bOk) return false;
  const std::size_t n = bytes.find(marker);
  if (n == std::string::npos) return false;
  bytes[n] = static_cast<char>(bytes[n] ^ 0x20);
  return dir.bWrite(archive, bytes);
}

std::string sNarrow(const wchar_t* text) {
  if (text == nullptr) return std::string();
  std::string out(static_cast<std::size_t>(UTF8ByteLen(text)) + 1, '\0');
  out.resize(static_cast<std::size_t>(WideToUTF8(&out[0], text)));
  return out;
}

std::string sNarrow(const std::wstring& text) { return sNarrow(text.c_str()); }

std::wstring sWide(const std::string& text) {
  std::wstring out(text.size() + 1, L'\0');
  out.resize(static_cast<std::size_t>(UTF8ToWide(&out[0], static_cast<long>(out.size()), text.c_str())));
  return out;
}

std::set<std::string> Listing(const std::string& directory) {
  std::set<std::string> names;
  DIR* pDir = opendir(directory.c_str());
  if (pDir == nullptr) return names;
  while (const dirent* p = readdir(pDir)) {
    const std::string s = p->d_name;
    if (s != "." && s != "..") names.insert(s);
  }
  closedir(pDir);
  return names;
}

}  // namespace deploytest
