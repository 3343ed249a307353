// Shared, reference-counted texts in the runtime's string memory:
// CXYString<char> (8-bit text of some code page, or UTF-8) and
// CXYString<wchar_t> (4-byte characters).
//
// The object holds one handle: a pointer to the first character of a block
// laid out as SharedStringBlock.h describes, or null for the empty text
// (length 0, no memory). Copies share the block (count + 1); every operation
// that changes the text first makes the block exclusive, so the other
// holders never see a change. The text is always followed by a 4-byte zero.
// The length field counts bytes; the operations count characters (units).
//
// Results are 0 or an error code: 108 for a size of 0x7fffff00 characters
// or more (and, for wide text, more than 0x3FFFFFFF characters, whose byte
// count would not fit in the header), 100 without an allocator, 105 where a
// conversion says so; any other code is the allocator's. A failed change
// keeps the former text. The conversions (__nConversion and the nAffecte
// forms that convert) replace the value: when they fail the text is empty.
//
// End marker: flags bit 0 set and a last character of all ones (0xFF or
// 0xFFFFFFFF). Conversions from a shared string between 8-bit and wide text
// keep it: the marker is not converted but appended in the target width,
// and the result's flags become 1. A conversion to UTF-8 converts the marker
// like any other character (0xFFFFFFFF becomes '?').
//
// A code page of 65001 is UTF-8; code pages go to MultiByteToWideChar and
// WideCharToMultiByte (CodePage.h).
#pragma once

#include <cstdint>
#include <type_traits>

#include "SharedStringBlock.h"

template <typename T>
class CXYString;

// What both widths share. T is char or wchar_t.
template <typename T>
class CXYStringBase {
 public:
  using OtherChar = std::conditional_t<std::is_same_v<T, char>, wchar_t, char>;

  // The text a null handle reads as; it has no block behind it.
  static constexpr T ChaineVide[1] = {0};

  CXYStringBase() = default;
  // Empty for null; else a new block with a copy of the text (an empty text
  // gives no block). A refused allocation leaves the object empty.
  explicit CXYStringBase(const T* text);
  // Shares the other's block.
  CXYStringBase(const CXYStringBase& other);
  // Takes the other's reference; the other becomes empty.
  CXYStringBase(CXYStringBase&& other) noexcept;
  CXYStringBase& operator=(const CXYStringBase& other);
  CXYStringBase& operator=(CXYStringBase&& other) noexcept;
  ~CXYStringBase() { ReleaseDynStr(); }

  // The characters (ChaineVide when empty); valid while the object keeps its
  // block unchanged.
  const T* pszGet() const { return m_pData != nullptr ? m_pData : ChaineVide; }
  // The handle itself, null when empty. Writing through it is the caller's
  // business once the block is exclusive (nUnshare).
  T* pGetData() const { return m_pData; }
  long nGetLength() const {
    return static_cast<long>(SharedBlock::nGetLength(m_pData) / sizeof(T));
  }
  std::uint32_t nGetTailleUtile() const { return SharedBlock::nGetLength(m_pData); }
  std::uint32_t dwGetFlags() const { return SharedBlock::dwGetFlags(m_pData); }
  bool bEstVide() const { return nGetLength() == 0; }

  // Handle transfer for the typed values: Attach takes over one reference
  // of `handle` (releasing the own one first); Detach hands the own
  // reference to the caller and leaves the object empty.
  void Attach(T* handle);
  T* Detach();

  // Replaces the value with a new block of n characters holding `count`
  // characters of `source` (when given; else their content is undefined),
  // length `count`, terminated. n = 0: the object becomes empty, result 0.
  // 108 when n is negative or too large, or when count is not within 0..n.
  // On failure the former value is kept.
  int __nNew(long n, const T* source, long count, std::uint32_t flags = 0);

  // Writes `count` characters of `source` at character `at` (which may not
  // pass the length), making the block exclusive and large enough first;
  // the length becomes at + count and the terminator follows. The source
  // may lie inside the own block. Nothing when `source` is null.
  int __FillDynStr(const T* source, long count, long at);

  // Drops the reference; the last holder returns the block. The object
  // becomes empty.
  void ReleaseDynStr() { SharedBlock::Release(reinterpret_cast<void**>(&m_pData)); }

  // Makes the block exclusive with room for its current length.
  int nUnshare();

  // Makes the block exclusive with room for n characters; a shared block is
  // copied up to min(length, n) characters with its flags. A null handle
  // gets a new block of n characters and length 0.
  int __nPrepareModification(long n, std::uint32_t flags = 0);

  // Assigns `length` characters of `text` (-1: up to the terminator). Empty
  // or null text, or any other length below 1: the object becomes empty
  // (no block). An exclusive block is reused, grown only when the text
  // exceeds its capacity; a shared one is replaced by a new block. The text
  // may lie inside the own block.
  int nAffecte(const T* text, long length = -1);

  // Sets the length to n characters (content past the old length is
  // undefined) and terminates; the block is made exclusive and grown first.
  // Non-zero on failure (108 for a negative or too large n).
  int nSetLength(int n);

  // A plain NUL-terminated copy in the other width, converted with
  // `codePage` and keeping the end marker, from XMALLOC_pNew_ (the caller
  // frees it with XMALLOC_Del_). *ppszOut is null for an empty text. False
  // when the copy could not be made (*ppszOut is then null).
  bool bCreateY(OtherChar** ppszOut, unsigned int codePage) const;

 protected:
  T* m_pData = nullptr;
};

template <>
class CXYString<char> : public CXYStringBase<char> {
 public:
  using CXYStringBase<char>::CXYStringBase;

  // Replaces the value with `length` wide characters (-1: up to the
  // terminator) converted to `codePage` through WideCharToMultiByte, with
  // room for `extra` more bytes. The former value is dropped, also on
  // failure. Null text, a length below 1 or a conversion that yields
  // nothing leave the text empty with result 0; 108 when the size is
  // refused.
  int __nConversion(const wchar_t* text, long length, int extra, unsigned int codePage,
                    unsigned int flags = 0, const char* defaultChar = nullptr);

  // __nConversion to UTF-8 (never 105).
  int nAffecteToUTF8(const wchar_t* text, long length = -1);

  // 8-bit text of `codePage` (-1 length: up to the terminator) to UTF-8
  // through MultiByteToUTF8, sized 4 bytes per input byte; source 65001 is
  // copied. 105 when a non-empty text converts to nothing.
  int nAffecteToUTF8(const char* text, long length, unsigned int codePage);

  // UTF-8 text to `codePage` through UTF8ToMultiByte; target 65001 copies.
  // 105 when a non-empty text converts to nothing.
  int nAffecteUTF8(const char* text, long length, unsigned int codePage, unsigned int flags = 0,
                   const char* defaultChar = nullptr, int* usedDefault = nullptr);

  // 16-bit units (-1: up to the zero unit) to `codePage`. 105 when a
  // non-empty text converts to nothing.
  int nAffecteUTF16(const unsigned short* units, long length, unsigned int codePage,
                    unsigned int flags = 0, const char* defaultChar = nullptr);

  // UTF-32 units (-1: up to the zero unit) to `codePage`. 105 when a
  // non-empty text converts to nothing.
  int nAffecteUTF32(const unsigned int* units, long length, unsigned int codePage,
                    unsigned int flags = 0, const char* defaultChar = nullptr);
};

template <>
class CXYString<wchar_t> : public CXYStringBase<wchar_t> {
 public:
  using CXYStringBase<wchar_t>::CXYStringBase;

  // Replaces the value with `length` bytes of 8-bit text of `codePage`
  // (-1: up to the terminator) converted to wide characters, with room for
  // `extra` more characters. The former value is dropped, also on failure.
  // Code page 1252 with flags 0 goes through the library's own 1252 table,
  // any other through MultiByteToWideChar. Null text, a length below 1 or a
  // conversion that yields nothing leave the text empty with result 0; 108
  // when the size is refused. `defaultChar` is not used: every 8-bit
  // character has a wide form.
  int __nConversion(const char* text, long length, int extra, unsigned int codePage,
                    unsigned int flags = 0, const wchar_t* defaultChar = nullptr);

  // __nConversion from UTF-8 (never 105).
  int nAffecteUTF8(const char* text, long length = -1);

  // 16-bit units (-1: up to the zero unit), each widened without pairing
  // surrogates. 105 when a non-empty text converts to nothing.
  int nAffecteUTF16(const unsigned short* units, long length);

  // UTF-32 units (-1: up to the zero unit). 105 when a non-empty text
  // converts to nothing.
  int nAffecteUTF32(const unsigned int* units, long length);
};

// Free conversions that return a new shared string (empty on failure).
// A code page of -1 (as unsigned) means the current ANSI code page given by
// the runtime's locale interface.
CXYString<wchar_t> PCASTR_To_CWString(const char* text, unsigned int codePage, long length = -1);
CXYString<char> PCWSTR_To_CAString(const wchar_t* text, unsigned int codePage, long length = -1);

// UTF-8 <-> wide.
CXYString<wchar_t> UTF8_To_CWString(const char* text, long length = -1);
CXYString<char> PCWSTR_To_UTF8(const wchar_t* text);
CXYString<char> PCWSTR_N_To_UTF8(const wchar_t* text, long n);
CXYString<char> CWString_To_UTF8(const CXYString<wchar_t>& text);

// 8-bit text of a code page <-> UTF-8, through a wide intermediate; code page
// 65001 copies (or shares) the text unchanged. UTF8_To_CAString keeps the
// end marker in its final step (wide to the code page); CAString_To_UTF8
// keeps it in its first step (code page to wide) and then encodes it like
// any other character.
CXYString<char> PCASTR_To_UTF8(const char* text, unsigned int codePage);
CXYString<char> PCASTR_N_To_UTF8(const char* text, long n, unsigned int codePage);
CXYString<char> UTF8_To_CAString(const char* text, unsigned int codePage, long n = -1);
CXYString<char> CAString_To_UTF8(const CXYString<char>& text, unsigned int codePage);

