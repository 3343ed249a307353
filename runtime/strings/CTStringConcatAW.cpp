#include "CTStringConcatAW.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <type_traits>

#include "CTString.h"
#include "CodePage.h"
#include "StrFunctions.h"
#include "UnicodeConversion.h"

namespace {

template <typename U>
long Longueur(const U* text) {
  if constexpr (std::is_same_v<U, char>) {
    return static_cast<long>(std::strlen(text));
  } else {
    return static_cast<long>(std::wcslen(text));
  }
}

// Step of a scratch buffer that receives about n characters in one growth.
std::uint64_t PasPour(long n) { return n > 0 ? static_cast<std::uint64_t>(n) + 1 : 1; }

}  // namespace

CTStringConcatAW::CTStringConcatAW(unsigned codePage, unsigned conversionCodePage,
                                   std::uint64_t step)
    : m_dwCodePage(codePage == CONCAT_CP_CONVERSION ? conversionCodePage : codePage),
      m_dwConversionCodePage(conversionCodePage),
      m_clA(step),
      m_clW(step) {}

template <>
CXYStringConcat<char>& CTStringConcatAW::_clBuf<char>() const {
  return m_clA;
}

template <>
CXYStringConcat<wchar_t>& CTStringConcatAW::_clBuf<wchar_t>() const {
  return m_clW;
}

void CTStringConcatAW::_VideCache() const {
  if (_bWide()) {
    m_clA.SetLength(0);
  } else {
    m_clW.SetLength(0);
  }
}

template <typename T>
void CTStringConcatAW::_AjouteForme(CXYStringConcat<T>& out, const char* text, long n,
                                    unsigned codePage) const {
  if (text == nullptr || n < 1) return;
  if constexpr (std::is_same_v<T, wchar_t>) {
    out.AddAnsi(text, n, codePage);
  } else if (codePage == m_dwCodePage) {
    out.Add(text, n);
  } else if (m_dwCodePage == CP_UTF8) {
    out.AddAnsiToUTF8(text, n, codePage);
  } else {
    CXYStringConcat<wchar_t> wide(PasPour(n));
    wide.AddAnsi(text, n, codePage);
    out.AddWide(wide.pszGet(), static_cast<long>(wide.nGetLength()), m_dwCodePage);
  }
}

template <typename T>
void CTStringConcatAW::_AjouteForme(CXYStringConcat<T>& out, const wchar_t* text,
                                    long n) const {
  if (text == nullptr || n < 1) return;
  if constexpr (std::is_same_v<T, wchar_t>) {
    out.Add(text, n);
  } else {
    out.AddWide(text, n, m_dwCodePage);
  }
}

// ---- Appending ------------------------------------------------------------------

void CTStringConcatAW::Add(const wchar_t* text, long n, unsigned) {
  if (text == nullptr || n < 1) return;
  if (_bWide()) {
    _AjouteForme(m_clW, text, n);
  } else {
    _AjouteForme(m_clA, text, n);
  }
  _VideCache();
}

void CTStringConcatAW::Add(const char* text, long n, unsigned codePage) {
  if (text == nullptr || n < 1) return;
  if (codePage == CONCAT_CP_CONVERSION) codePage = m_dwConversionCodePage;
  if (_bWide()) {
    _AjouteForme(m_clW, text, n, codePage);
  } else {
    _AjouteForme(m_clA, text, n, codePage);
  }
  _VideCache();
}

void CTStringConcatAW::Add(const CTString& text) { Add(text.pszGet(), text.nTaille()); }

void CTStringConcatAW::AddStrCte(const wchar_t* text, long n) { Add(text, n); }

void CTStringConcatAW::SetStrCte(const wchar_t* text, long n) {
  m_clA.SetLength(0);
  m_clW.SetLength(0);
  Add(text, n);
}

void CTStringConcatAW::AddUTF8(const char* text, long n) {
  if (text == nullptr || n < 1) return;
  if (_bWide()) {
    m_clW._AddFromUTF8(text, n, CP_UTF8);
  } else {
    m_clA._AddFromUTF8(text, n, m_dwCodePage);
  }
  _VideCache();
}

void CTStringConcatAW::AddNumber(long value, int width) {
  if (_bWide()) {
    m_clW.AddNumber(value, width);
  } else {
    m_clA.AddNumber(value, width);
  }
  _VideCache();
}

void CTStringConcatAW::AddNumber(int value, int width) {
  AddNumber(static_cast<long>(value), width);
}

void CTStringConcatAW::AddNumberHexa(unsigned char value) { _AddNumberHexa(value); }

void CTStringConcatAW::AddNumberHexa(unsigned short value) { _AddNumberHexa(value); }

void CTStringConcatAW::AddNumberHexa(unsigned int value) { _AddNumberHexa(value); }

void CTStringConcatAW::AddNumberHexa(unsigned long value) { _AddNumberHexa(value); }

// ---- Reading ------------------------------------------------------------------------

const wchar_t* CTStringConcatAW::pszGetW() const {
  if (!_bWide() && m_clW.nGetLength() == 0 && m_clA.nGetLength() > 0) {
    m_clW.AddAnsi(m_clA.pszGet(), static_cast<long>(m_clA.nGetLength()), m_dwCodePage);
  }
  return m_clW.pszGet();
}

const char* CTStringConcatAW::pszGetA() const {
  if (_bWide() && m_clA.nGetLength() == 0 && m_clW.nGetLength() > 0) {
    m_clA.AddWide(m_clW.pszGet(), static_cast<long>(m_clW.nGetLength()),
                  m_dwConversionCodePage);
  }
  return m_clA.pszGet();
}

long CTStringConcatAW::nGetLengthW() const {
  pszGetW();
  return static_cast<long>(m_clW.nGetLength());
}

long CTStringConcatAW::nGetLengthA() const {
  pszGetA();
  return static_cast<long>(m_clA.nGetLength());
}

wchar_t CTStringConcatAW::cGetCharW(long i) const {
  if (_bWide()) return m_clW.cGetChar(i);
  const char c = m_clA.cGetChar(i);
  return c == 0 ? 0 : STR_CharToWChar(c, 0, m_dwCodePage);
}

char CTStringConcatAW::cGetCharA(long i) const {
  if (!_bWide()) return m_clA.cGetChar(i);
  const wchar_t c = m_clW.cGetChar(i);
  return c == 0 ? 0 : STR_WCharToAChar(c, 0, m_dwConversionCodePage);
}

bool CTStringConcatAW::bIsCharSpace(long i) const {
  return _bWide() ? m_clW.cGetChar(i) == L' ' : m_clA.cGetChar(i) == ' ';
}

long CTStringConcatAW::nPos(wchar_t c, long from) const {
  if (_bWide()) return m_clW.nPos(c, from);
  const char a = STR_WCharToAChar(c, 0, m_dwCodePage);
  return a == 0 ? -1 : m_clA.nPos(a, from);
}

long CTStringConcatAW::nPos(char c, long from) const {
  if (!_bWide()) return m_clA.nPos(c, from);
  const wchar_t w = STR_CharToWChar(c, 0, m_dwConversionCodePage);
  return w == 0 ? -1 : m_clW.nPos(w, from);
}

template <typename T, typename U>
long CTStringConcatAW::_nPos(const U* text, long from) const {
  if (text == nullptr) return -1;
  const long n = Longueur(text);
  CXYStringConcat<T> form(PasPour(n));
  if constexpr (std::is_same_v<U, char>) {
    _AjouteForme(form, text, n, m_dwConversionCodePage);
  } else {
    _AjouteForme(form, text, n);
  }
  // A text that converts to nothing is not the empty text.
  if (n > 0 && form.nGetLength() == 0) return -1;
  const std::uint64_t start = from < 0 ? 0 : static_cast<std::uint64_t>(from);
  return _clBuf<T>()._nFind(form.pszGet(), form.nGetLength(), start);
}

long CTStringConcatAW::nPos(const wchar_t* text, long from) const {
  if (_bWide()) return m_clW.nPos(text, from);
  return _nPos<char>(text, from);
}

long CTStringConcatAW::nPos(const char* text, long from) const {
  if (!_bWide() && m_dwCodePage == m_dwConversionCodePage) return m_clA.nPos(text, from);
  return _bWide() ? _nPos<wchar_t>(text, from) : _nPos<char>(text, from);
}

// ---- Changing -------------------------------------------------------------------------

void CTStringConcatAW::Majuscule() {
  if (_bWide()) {
    m_clW.Majuscule();
  } else if (m_dwCodePage == CP_UTF8) {
    _MajusculeUTF8();
  } else {
    m_clA.Majuscule();
  }
  _VideCache();
}

void CTStringConcatAW::_MajusculeUTF8() {
  // Byte by byte the locale would take the lead and continuation bytes for
  // characters of their own and break the sequences: each well-formed
  // character is upper-cased as a whole, every other byte is kept.
  const char* p = m_clA.pszGet();
  const std::uint64_t length = m_clA.nGetLength();
  if (length == 0) return;
  CXYStringConcat<char> upper(m_clA.nGetStep());
  std::uint64_t expected = 0;
  std::uint64_t i = 0;
  while (i < length) {
    const long left = static_cast<long>(std::min<std::uint64_t>(length - i, 4));
    int used = static_cast<int>(left);
    const int code = UTF8FirstChar(p + i, &used);
    if (code < 0x80 || used < 1) {
      char c = p[i];
      if (code >= 0) STR_ToUpperBuff(&c, 1);
      upper.Add(&c, 1);
      ++expected;
      ++i;
      continue;
    }
    wchar_t w = static_cast<wchar_t>(code);
    STR_ToUpperBuff(&w, 1);
    char bytes[8];
    const int n = UTF32ToUTF8(static_cast<unsigned>(w), bytes);
    upper.Add(bytes, n);
    expected += static_cast<std::uint64_t>(n);
    i += static_cast<std::uint64_t>(used);
  }
  // A growth refused midway keeps the text as it was.
  if (upper.nGetLength() != expected) return;
  m_clA._Echange(upper);
}

void CTStringConcatAW::Tronque(long n) {
  const std::uint64_t cut = n < 1 ? 0 : static_cast<std::uint64_t>(n);
  if (_bWide()) {
    if (cut >= m_clW.nGetLength()) return;
    m_clW.SetLength(cut);
  } else {
    if (cut >= m_clA.nGetLength()) return;
    m_clA.SetLength(cut);
  }
  _VideCache();
}

void CTStringConcatAW::Coupe(long start, long count) {
  if (count < 1) return;
  const std::uint64_t at = start < 0 ? 0 : static_cast<std::uint64_t>(start);
  const auto n = static_cast<std::uint64_t>(count);
  if (_bWide()) {
    if (at >= m_clW.nGetLength()) return;
    m_clW._Remplace(at, n, nullptr, 0);
  } else {
    if (at >= m_clA.nGetLength()) return;
    m_clA._Remplace(at, n, nullptr, 0);
  }
  _VideCache();
}

template <typename T, typename U>
void CTStringConcatAW::_Remplace(std::uint64_t at, std::uint64_t count, const U* text, long n) {
  CXYStringConcat<T>& master = _clBuf<T>();
  if constexpr (std::is_same_v<T, wchar_t> && std::is_same_v<U, wchar_t>) {
    master._Remplace(at, count, text, n < 1 ? 0 : static_cast<std::uint64_t>(n));
  } else {
    if constexpr (std::is_same_v<T, char> && std::is_same_v<U, char>) {
      if (m_dwCodePage == m_dwConversionCodePage) {
        master._Remplace(at, count, text, n < 1 ? 0 : static_cast<std::uint64_t>(n));
        _VideCache();
        return;
      }
    }
    CXYStringConcat<T> form(PasPour(n));
    if constexpr (std::is_same_v<U, char>) {
      _AjouteForme(form, text, n, m_dwConversionCodePage);
    } else {
      _AjouteForme(form, text, n);
    }
    master._Remplace(at, count, form.pszGet(), form.nGetLength());
  }
  _VideCache();
}

void CTStringConcatAW::Insert(const wchar_t* text, long n, long at) {
  if (text == nullptr || n < 1) return;
  const std::uint64_t pos = at < 0 ? 0 : static_cast<std::uint64_t>(at);
  if (_bWide()) {
    _Remplace<wchar_t>(pos, 0, text, n);
  } else {
    _Remplace<char>(pos, 0, text, n);
  }
}

void CTStringConcatAW::Insert(const char* text, long n, long at) {
  if (text == nullptr || n < 1) return;
  const std::uint64_t pos = at < 0 ? 0 : static_cast<std::uint64_t>(at);
  if (_bWide()) {
    _Remplace<wchar_t>(pos, 0, text, n);
  } else {
    _Remplace<char>(pos, 0, text, n);
  }
}

template <typename U>
void CTStringConcatAW::_RemplacePlage(long at, long count, const U* text, long n) {
  const std::uint64_t pos = at < 0 ? 0 : static_cast<std::uint64_t>(at);
  const std::uint64_t span = count < 0 ? UINT64_MAX : static_cast<std::uint64_t>(count);
  if (_bWide()) {
    if (m_clW.nGetLength() == 0) return;
    _Remplace<wchar_t>(pos, span, text, n);
  } else {
    if (m_clA.nGetLength() == 0) return;
    _Remplace<char>(pos, span, text, n);
  }
}

void CTStringConcatAW::Remplace(long at, long count, const wchar_t* text, long n) {
  _RemplacePlage(at, count, text, n);
}

void CTStringConcatAW::Remplace(long at, long count, const char* text, long n) {
  _RemplacePlage(at, count, text, n);
}

template <typename T, typename U>
void CTStringConcatAW::_RemplaceTout(const U* search, long n, const U* replacement, long m,
                                     long from) {
  CXYStringConcat<T>& master = _clBuf<T>();
  if (search == nullptr || n < 1 || master.nGetLength() == 0) return;
  const std::uint64_t start = from < 0 ? 0 : static_cast<std::uint64_t>(from);
  if (start > master.nGetLength()) return;

  // Both texts are copied in the master's form: they may lie in the master,
  // which changes under them.
  CXYStringConcat<T> s(PasPour(n));
  CXYStringConcat<T> r(PasPour(m));
  if constexpr (std::is_same_v<U, char>) {
    _AjouteForme(s, search, n, m_dwConversionCodePage);
    _AjouteForme(r, replacement, m, m_dwConversionCodePage);
  } else {
    _AjouteForme(s, search, n);
    _AjouteForme(r, replacement, m);
  }
  const std::uint64_t sl = s.nGetLength();
  const std::uint64_t rl = r.nGetLength();
  if (sl == 0 || (m > 0 && replacement != nullptr && rl == 0)) return;

  long hit = master._nFind(s.pszGet(), sl, start);
  if (hit < 0) return;

  if (sl == rl) {
    // Same length: overwrite in place, then search on after the match.
    while (hit >= 0) {
      const auto p = static_cast<std::uint64_t>(hit);
      master._Remplace(p, sl, r.pszGet(), rl);
      hit = master._nFind(s.pszGet(), sl, p + rl);
    }
  } else {
    // The text is rebuilt once into a scratch buffer: the kept runs with a
    // replacement between them. Searching the old text after each match is
    // the same as searching the new one after the inserted replacement.
    const T* old = master.pszGet();
    const std::uint64_t length = master.nGetLength();
    CXYStringConcat<T> result(master.nGetStep());
    std::uint64_t pos = 0;
    std::uint64_t matches = 0;
    while (hit >= 0) {
      const auto p = static_cast<std::uint64_t>(hit);
      result.Add(old + pos, static_cast<long>(p - pos));
      result.Add(r.pszGet(), static_cast<long>(rl));
      ++matches;
      pos = p + sl;
      hit = master._nFind(s.pszGet(), sl, pos);
    }
    result.Add(old + pos, static_cast<long>(length - pos));
    // A growth refused midway leaves the text as it was.
    if (result.nGetLength() != length - matches * sl + matches * rl) return;
    master._Echange(result);
  }
  _VideCache();
}

void CTStringConcatAW::Remplace(const wchar_t* search, long n, const wchar_t* replacement,
                                long m, long from) {
  if (_bWide()) {
    _RemplaceTout<wchar_t>(search, n, replacement, m, from);
  } else {
    _RemplaceTout<char>(search, n, replacement, m, from);
  }
}

void CTStringConcatAW::Remplace(const char* search, long n, const char* replacement, long m,
                                long from) {
  if (_bWide()) {
    _RemplaceTout<wchar_t>(search, n, replacement, m, from);
  } else {
    _RemplaceTout<char>(search, n, replacement, m, from);
  }
}
