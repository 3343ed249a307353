// CTStringConcatAW: an append buffer that builds a text in the form its
// producer has (8-bit text of a code page, or wide text) and hands it out
// in either form.
//
// One of its two CXYStringConcat buffers is the master and always holds the
// whole text: the wide one when the buffer was made in wide mode (code page
// CONCAT_CP_WIDE), else the 8-bit one, in the master code page. The other
// buffer is a cache of the text in the other width: every change to the
// master empties it, and pszGetA / pszGetW / nGetLengthA / nGetLengthW
// rebuild it on demand (8-bit master to wide with the master code page,
// wide master to 8-bit with the conversion code page), so no reader ever
// sees an older text. A text is converted at most once between two changes.
//
// Conventions of every operation:
// - Lengths are counted in characters of the text handed in (bytes for
//   8-bit text); a null text or a length below 1 adds nothing.
// - Positions and counts are master characters (bytes of an 8-bit master).
//   A negative position counts as 0. Past the end: Insert and
//   Remplace(at, ...) append, Coupe does nothing, nPos answers -1;
//   cGetChar* answer 0 and bIsCharSpace false outside 0..length - 1.
// - Text of the other width than the master, or 8-bit text of another code
//   page than an 8-bit master's, is converted into the master's form before
//   use. 8-bit text given without a code page (Insert, Remplace, nPos) is
//   read in the conversion code page; 8-bit text into a UTF-8 master goes
//   through MultiByteToUTF8, into any other 8-bit master through wide text.
// - Memory is ordinary heap memory (XMALLOC_*), owned by the object; a
//   refused allocation leaves the text as it was. Pointers returned stay
//   valid until the next call on the object.
#pragma once

#include <cstdint>

#include "CXYStringConcat.h"

class CTString;

// Master code page of a buffer in wide mode (-2).
constexpr unsigned CONCAT_CP_WIDE = 0xFFFFFFFEu;
// As a master code page or as the code page of Add(const char*, ...): the
// conversion code page (-1).
constexpr unsigned CONCAT_CP_CONVERSION = 0xFFFFFFFFu;

class CTStringConcatAW {
 public:
  // codePage: CONCAT_CP_WIDE for a wide master, CONCAT_CP_CONVERSION for an
  // 8-bit master in the conversion code page, else the 8-bit master's code
  // page (65001 UTF-8). conversionCodePage: the code page of the 8-bit form
  // of a wide master and of 8-bit input given without a code page. step:
  // growth step of both buffers (0 acts as 1).
  CTStringConcatAW(unsigned codePage, unsigned conversionCodePage, std::uint64_t step);
  ~CTStringConcatAW() = default;
  CTStringConcatAW(const CTStringConcatAW&) = delete;
  CTStringConcatAW& operator=(const CTStringConcatAW&) = delete;

  unsigned nGetCodePage() const { return m_dwCodePage; }
  unsigned nGetConversionCodePage() const { return m_dwConversionCodePage; }

  // ---- Appending -----------------------------------------------------------

  // n wide characters; `options` is not used.
  void Add(const wchar_t* text, long n, unsigned options = 0);
  // n bytes of 8-bit text of `codePage` (CONCAT_CP_CONVERSION: the
  // conversion code page).
  void Add(const char* text, long n, unsigned codePage = CONCAT_CP_CONVERSION);
  // The whole string.
  void Add(const CTString& text);
  // n characters of a constant text.
  void AddStrCte(const wchar_t* text, long n);
  // Empties the text, then AddStrCte.
  void SetStrCte(const wchar_t* text, long n);
  // n bytes of UTF-8.
  void AddUTF8(const char* text, long n);
  // As CXYStringConcat::AddNumber and AddNumberHexa, on the master.
  void AddNumber(int value, int width = -1);
  void AddNumber(long value, int width = -1);
  void AddNumberHexa(unsigned char value);
  void AddNumberHexa(unsigned short value);
  void AddNumberHexa(unsigned int value);
  void AddNumberHexa(unsigned long value);

  // ---- Reading ---------------------------------------------------------------

  // The text in that width (a constant empty text when it is empty).
  const wchar_t* pszGetW() const;
  const char* pszGetA() const;
  // Length of the text in that width; 0 means empty.
  long nGetLengthW() const;
  long nGetLengthA() const;

  // Master character i in that width: an 8-bit master's byte read as wide
  // goes through STR_CharToWChar with the master code page, a wide master's
  // character read as 8-bit through STR_WCharToAChar with the conversion
  // code page.
  wchar_t cGetCharW(long i) const;
  char cGetCharA(long i) const;
  // Master character i is a blank (U+0020).
  bool bIsCharSpace(long i) const;

  // First occurrence at or after `from` in the master, -1 when none. A
  // character or text of the other width is converted first (a wide
  // character to the master code page, an 8-bit one from the conversion
  // code page); an empty text is found at `from`.
  long nPos(wchar_t c, long from = 0) const;
  long nPos(char c, long from = 0) const;
  long nPos(const wchar_t* text, long from = 0) const;
  long nPos(const char* text, long from = 0) const;

  // ---- Changing ----------------------------------------------------------------

  // Upper-cases the master through the runtime's locale (STR_ToUpper of
  // its width): one unit at a time, except that a UTF-8 master is
  // upper-cased one whole character at a time (bytes that form no
  // character are kept), so that its sequences stay whole.
  void Majuscule();
  // n < 1 empties the text; n below the length cuts it at n; else nothing.
  void Tronque(long n);
  // Removes `count` characters at `start`: nothing when count < 1 or start
  // is at or past the end; a range running past the end cuts at start.
  void Coupe(long start, long count);
  // Inserts n characters of text before position `at` (at or past the end:
  // appended; an empty text becomes the text).
  void Insert(const wchar_t* text, long n, long at);
  void Insert(const char* text, long n, long at);
  // The `count` characters at `at` (count < 0 or running past the end: up
  // to the end) become the n characters of text (none: the range is
  // removed). Nothing on an empty text.
  void Remplace(long at, long count, const wchar_t* text, long n);
  void Remplace(long at, long count, const char* text, long n);
  // A literal position such as 0 would fit a text pointer as well; these
  // make it the range form.
  void Remplace(int at, long count, const wchar_t* text, long n) {
    Remplace(static_cast<long>(at), count, text, n);
  }
  void Remplace(int at, long count, const char* text, long n) {
    Remplace(static_cast<long>(at), count, text, n);
  }
  // Every occurrence of the n characters of `search` at or after `from`
  // becomes the m characters of `replacement` (none: removed), left to
  // right, case-sensitively; a replacement is never searched again.
  // Nothing when the text or the search text is empty, or `from` is past
  // the end.
  void Remplace(const wchar_t* search, long n, const wchar_t* replacement, long m, long from = 0);
  void Remplace(const char* search, long n, const char* replacement, long m, long from = 0);

 private:
  bool _bWide() const { return m_dwCodePage == CONCAT_CP_WIDE; }
  // The hexadecimal appends of every width, on whichever buffer is master.
  template <typename T>
  void _AddNumberHexa(T value) {
    if (_bWide())
      m_clW.AddNumberHexa(value);
    else
      m_clA.AddNumberHexa(value);
    _VideCache();
  }
  // Majuscule of a UTF-8 master.
  void _MajusculeUTF8();
  // Empties the buffer that is not the master.
  void _VideCache() const;
  // The buffer of width T.
  template <typename T>
  CXYStringConcat<T>& _clBuf() const;
  // Appends text to `out`, a buffer of the master's width T, in the
  // master's form.
  template <typename T>
  void _AjouteForme(CXYStringConcat<T>& out, const char* text, long n, unsigned codePage) const;
  template <typename T>
  void _AjouteForme(CXYStringConcat<T>& out, const wchar_t* text, long n) const;
  // Workers of the public operations, on a master of width T, for text of
  // width U.
  template <typename T, typename U>
  long _nPos(const U* text, long from) const;
  template <typename T, typename U>
  void _Remplace(std::uint64_t at, std::uint64_t count, const U* text, long n);
  template <typename T, typename U>
  void _RemplaceTout(const U* search, long n, const U* replacement, long m, long from);
  // Both public forms of Remplace(at, count, text, n), for either width of text.
  template <typename U>
  void _RemplacePlage(long at, long count, const U* text, long n);

  unsigned m_dwCodePage;
  unsigned m_dwConversionCodePage;
  mutable CXYStringConcat<char> m_clA;
  mutable CXYStringConcat<wchar_t> m_clW;
};
