// CXYStringConcat<T>: a plain growable append buffer of 8-bit (char) or wide
// (wchar_t) characters, for text built piece by piece (SQL statements,
// dumps, rows written as text).
//
// Memory: one ordinary heap block from XMALLOC_pNew_ / XMALLOC_pResize_,
// owned by the buffer and given back by its destructor (not the runtime's
// string memory). The block is null until the first growth; once it exists
// the text in it is always terminated.
//
// Sizes are 64-bit counts of characters (units of T). Growth: when an append
// needs more than the capacity (terminator excluded), the capacity becomes
// (needed / step + 1) * step and the block holds capacity + 1 characters.
// The buffer never shrinks. A step of 0 acts as 1.
//
// Common rules:
// - An append with a null text or a length below 1 appends nothing. A
//   length is the caller's promise that that many characters can be read.
// - A source may lie inside the buffer itself; it is copied before the
//   block moves.
// - A refused allocation (or a size that would overflow) leaves the buffer
//   as it was; nothing is reported.
// - Length 0 is the empty text; pszGet never returns null.
// - Conversions go through the code-page functions (CodePage.h) and the
//   UTF-8 conversions (UnicodeConversion.h); 65001 is UTF-8.
#pragma once

#include <cstdint>

template <typename T>
class CXYStringConcat {
 public:
  // An empty buffer that grows by `step` characters (0 acts as 1).
  explicit CXYStringConcat(std::uint64_t step);
  ~CXYStringConcat();
  CXYStringConcat(const CXYStringConcat&) = delete;
  CXYStringConcat& operator=(const CXYStringConcat&) = delete;

  // ---- Reading -------------------------------------------------------------

  // The text, terminated; a constant empty text when the length is 0.
  // Valid until the next change.
  const T* pszGet() const;
  std::uint64_t nGetLength() const { return m_nLength; }
  std::uint64_t nGetCapacity() const { return m_nCapacity; }
  std::uint64_t nGetStep() const { return m_nStep; }
  // Character i; 0 when i is not within 0..length - 1.
  T cGetChar(long i) const;

  // First occurrence at or after `from` (a negative from counts as 0), or
  // -1: absent, empty buffer, null text, `from` at or past the end. An
  // empty text is found at `from`. The whole buffer is searched, NULs
  // inside it included; a NUL character is never found.
  long nPos(const T* text, long from = 0) const;
  long nPos(T c, long from = 0) const;
  // The same for `n` characters of text (n = 0: found at `from` when that
  // lies within the text).
  long _nFind(const T* text, std::uint64_t n, std::uint64_t from) const;

  // Equal to the terminated text; the empty buffer equals only an empty
  // text; null equals nothing.
  bool bEstEgal(const T* text) const;

  // ---- Appending -----------------------------------------------------------

  // n characters of text.
  void Add(const T* text, long n);

  // n bytes of 8-bit text of `codePage`: a wide buffer converts them with
  // MultiByteToWideChar; an 8-bit buffer appends them as they are.
  void AddAnsi(const char* text, long n, unsigned codePage);

  // 8-bit buffer: n wide characters converted to `codePage` with
  // WideCharToMultiByte (4 bytes reserved per character, more when the code
  // page needs them). The wide buffer appends them as they are.
  void AddWide(const wchar_t* text, long n, unsigned codePage);

  // 8-bit buffer: n bytes of text of `codePage` converted to UTF-8 with
  // MultiByteToUTF8 (4 bytes reserved per input byte). The wide buffer reads
  // the bytes as UTF-8 and appends them as wide characters (`codePage` is
  // then not used).
  void AddAnsiToUTF8(const char* text, long n, unsigned codePage);

  // n bytes of UTF-8 converted to this buffer's width: wide through
  // MultiByteToWideChar(65001), 8-bit through UTF8ToMultiByte into
  // `codePage` (65001 appends the bytes as they are).
  void _AddFromUTF8(const char* text, long n, unsigned codePage);

  // Converts n bytes of UTF-8 into `out`, which holds `capacity` units, and
  // returns the units written (never more than capacity - 1 for the 8-bit
  // form, which keeps room for a terminator). No terminator is added by the
  // wide form; 0 when nothing converts or does not fit.
  static long _nUTF8ToX(const char* text, long n, T* out, long capacity, unsigned codePage);

  // Decimal text of the value. With a width other than -1 a value of at
  // least 1 that has fewer digits than `width` gets zeros on the left up to
  // width digits; a longer value is appended whole; 0 and negative values
  // are never padded.
  void AddNumber(int value, int width = -1);
  void AddNumber(long value, int width = -1);

  // Upper-case hexadecimal of fixed width: 2, 4, 8 or 16 digits.
  void AddNumberHexa(unsigned char value);
  void AddNumberHexa(unsigned short value);
  void AddNumberHexa(unsigned int value);
  void AddNumberHexa(unsigned long value);

  // Eight characters '0' or '1': most significant bit first when
  // mostSignificantFirst is non-zero, else least significant first.
  void AddNumberBinary(unsigned char value, int mostSignificantFirst);

  // ---- Changing in place ---------------------------------------------------

  // Cuts the text to n characters when n is below the length; else nothing.
  // SetLength(0) empties the buffer (the block is kept).
  void SetLength(std::uint64_t n);

  // Upper-cases the text in place (STR_ToUpper through the runtime's
  // locale, one character at a time; NULs inside the text are kept).
  void Majuscule();

  // The `count` characters at `at` become the n characters of src (null
  // src or n = 0: removed). `at` past the length counts as the length,
  // a count running past the end stops at the end. src may lie in the
  // buffer.
  void _Remplace(std::uint64_t at, std::uint64_t count, const T* src, std::uint64_t n);

  // Exchanges the contents (block, length, capacity, step) of two buffers.
  void _Echange(CXYStringConcat& other);

  // Growth rule: makes room for `needed` characters (terminator excluded).
  // False (buffer unchanged) when the block is refused or the size would
  // overflow.
  bool _AugmenteTaille(std::uint64_t needed);

  // `digits` holds a terminated run of fewer than `width` characters with
  // room for width + 1: moves the run and its terminator right and fills
  // the gap with '0', leaving width digits. Nothing when the run is not
  // shorter than width.
  static void _AddPrefix0(T* digits, long width);

 private:
  // True when p points into the block (terminator slot included).
  bool _bInterne(const T* p) const;
  // Reserves `reserve` units after the text and lets convert(out, slots)
  // write there (slots: the reserve plus the terminator's unit); keeps what
  // it answers when that is 1 to `reserve` units, and re-terminates.
  template <typename F>
  void _AddConverti(std::uint64_t reserve, F convert);
  // Appends the characters of the 8-bit text `digits` (ASCII only).
  void _AddAscii(const char* digits);
  // Ends the text at the current length.
  void _Termine() {
    if (m_pData != nullptr) m_pData[m_nLength] = 0;
  }

  T* m_pData = nullptr;
  std::uint64_t m_nLength = 0;
  std::uint64_t m_nCapacity = 0;
  std::uint64_t m_nStep = 1;
};

extern template class CXYStringConcat<char>;
extern template class CXYStringConcat<wchar_t>;
