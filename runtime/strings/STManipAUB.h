// A view of a typed value's buffer: the handle of a shared string or binary
// buffer and the value's type code. It owns nothing (no reference is held);
// the value it came from must outlive it.
//
// Type codes: 16 wide dynamic string (CXYString<wchar_t>), 19 8-bit dynamic
// string (CXYString<char>), 28 binary (CTNBIN). Any other code reads as an
// empty value of no size.
#pragma once

#include <cstdint>

struct STManipAUB {
  static constexpr std::uint16_t kDSTRW = 16;
  static constexpr std::uint16_t kDSTRA = 19;
  static constexpr std::uint16_t kBIN = 28;

  void* pHandle;           // first data byte of the block, or null
  std::uint16_t nType;     // type code of the typed value
  std::uint16_t nZero;     // always 0

  // The data as text; a constant empty text when the handle is null.
  const char* pszGetStringA() const;
  const wchar_t* pszGetStringW() const;

  // 16: characters (length / 4); 19 and 28: bytes; null or other types: 0.
  long nGetLongueur() const;

  // Length in bytes for 16, 19 and 28 (0 for null); other types 0.
  std::uint32_t nGetTailleUtile() const;

  // The data and, in *pnSize, its size with the terminator the type reads
  // with it: 19 length + 1, 16 length + 4, 28 length (for null: 1, 4 and 0,
  // and a constant empty value). Other types: size 0 and a constant empty
  // value. Never null.
  const unsigned char* pbyGetContenu(std::uint32_t* pnSize) const;

  // The same without the terminator bytes.
  const unsigned char* pbyGetContenuUtile(std::uint32_t* pnSize) const;
};

static_assert(sizeof(STManipAUB) == 16, "handle, type and zero word, padded");
