// CTString::__Remplace, the replace-all worker of Remplace and RemplaceI.
// It sits alone in this file so that a program may carry its own form of it.
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

#include "CTString.h"
#include "StrFunctions.h"

namespace {

// Character copies through memcpy, which the address sanitizer checks
// (the wide-character form of the C library it does not).
inline void Copie(wchar_t* dst, const wchar_t* src, std::size_t n) {
  if (n != 0) std::memcpy(dst, src, n * sizeof(wchar_t));
}

// Work buffers of up to this many characters (terminator included) live on
// the stack.
constexpr unsigned long kPile = 1025;

const wchar_t* Cherche(const wchar_t* text, const wchar_t* find, int ignoreCase) {
  return ignoreCase != 0 ? STR_pszUpStrstr(text, find) : std::wcsstr(text, find);
}

}  // namespace

void CTString::__Remplace(const wchar_t* find, const wchar_t* repl, int ignoreCase, long from) {
  if (find == nullptr || *find == 0 || m_pszBuffer == nullptr || from < 0) return;
  const unsigned long len = std::wcslen(m_pszBuffer);
  const auto start = static_cast<unsigned long>(from);
  if (start > len) return;
  const unsigned long lf = std::wcslen(find);
  const unsigned long lr = repl != nullptr ? std::wcslen(repl) : 0;

  // Final length first: occurrences found left to right, each search
  // resuming after the previous one's end.
  const wchar_t* first = Cherche(m_pszBuffer + start, find, ignoreCase);
  if (first == nullptr) return;
  unsigned long count = 0;
  for (const wchar_t* hit = first; hit != nullptr; hit = Cherche(hit + lf, find, ignoreCase)) {
    ++count;
  }
  unsigned long total = len - count * lf;
  if (lr != 0) {
    const unsigned long limit = std::numeric_limits<unsigned long>::max() / sizeof(wchar_t) - 1;
    if (count > (limit - total) / lr) return;
    total += count * lr;
  }

  // Build the result apart: find and repl may lie in the own buffer, which
  // stays untouched until the result is complete.
  wchar_t stack[kPile];
  wchar_t* work = stack;
  if (total + 1 > kPile) {
    work = static_cast<wchar_t*>(std::malloc((total + 1) * sizeof(wchar_t)));
    if (work == nullptr) return;
  }
  wchar_t* out = work;
  Copie(out, m_pszBuffer, start);
  out += start;
  const wchar_t* rest = m_pszBuffer + start;
  for (const wchar_t* hit = first; hit != nullptr; hit = Cherche(rest, find, ignoreCase)) {
    const auto before = static_cast<unsigned long>(hit - rest);
    Copie(out, rest, before);
    out += before;
    if (lr != 0) Copie(out, repl, lr);
    out += lr;
    rest = hit + lf;
  }
  Copie(out, rest, len - static_cast<unsigned long>(rest - m_pszBuffer) + 1);

  void* resized = std::realloc(m_pszBuffer, (total + 1) * sizeof(wchar_t));
  if (resized != nullptr) {
    m_pszBuffer = static_cast<wchar_t*>(resized);
    Copie(m_pszBuffer, work, total + 1);
  }
  if (work != stack) std::free(work);
}
