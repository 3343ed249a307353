#include "CommandLine.h"

#include <cstring>
#include <string>

#include "UnicodeConversion.h"

namespace {

constexpr std::size_t kCapacity = 1025;
wchar_t g_szCommandLine[kCapacity];
std::size_t g_nLength = 0;

void Append(const wchar_t* text, std::size_t n) {
  for (std::size_t i = 0; i < n && g_nLength + 1 < kCapacity; ++i)
    g_szCommandLine[g_nLength++] = text[i];
  g_szCommandLine[g_nLength] = L'\0';
}

void Append(wchar_t c) { Append(&c, 1); }

// At most 1024 characters of UTF-8 text; malformed sequences and values
// outside Unicode become "?".
std::wstring Decode(const char* p) {
  std::wstring out;
  long remaining = static_cast<long>(std::strlen(p));
  while (remaining > 0 && out.size() < kCapacity - 1) {
    const char* before = p;
    wchar_t c = UTF8_GetNext(&p, &remaining);
    if (p == before) {
      // A lead announcing more bytes than remain: replace the lead alone and
      // go on with the next byte.
      out += L'?';
      p = before + 1;
      remaining = static_cast<long>(std::strlen(p));
      continue;
    }
    if (c < 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = L'?';
    out += c;
  }
  return out;
}

}  // namespace

void SetCommandLine(int argc, char** argv) {
  g_nLength = 0;
  g_szCommandLine[0] = L'\0';
  if (argv == nullptr) return;
  for (int i = 0; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    const std::wstring arg = Decode(argv[i]);
    const std::size_t space = arg.find(L' ');
    if (space == std::wstring::npos) {
      Append(arg.data(), arg.size());
    } else {
      const std::size_t equal = arg.find(L'=');
      const std::size_t head = (equal != std::wstring::npos && equal < space) ? equal + 1 : 0;
      Append(arg.data(), head);
      Append(L'"');
      Append(arg.data() + head, arg.size() - head);
      Append(L'"');
    }
    Append(L' ');
  }
}

const wchar_t* GetCommandLine() { return g_szCommandLine; }
