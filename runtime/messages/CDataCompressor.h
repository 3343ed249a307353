// Unpacker of the packed message texts.
//
// A packed text is a character-set-shift code over four 32-entry tables of
// bytes (s_abyTables). The payload is read two bytes at a time; each pair
// (b1, b2), both non-zero, gives v = (b1 - 1) * 255 + (b2 - 1), split into
// three base-40 digits v / 1600, (v mod 1600) / 40, v mod 40, applied in that
// order. A single byte left at the end is one digit, b - 1. A digit:
//   0-3   shift: table d serves the next character only;
//   4-7   lock: table d - 4 becomes the current one;
//   8-39  the byte at index d - 8 of the shifted table (the shift then ends),
//         or of the current one.
// Escapes: while table 3 is current and no shift is pending, or while another
// table is current and a shift to table 3 is pending, digits 38 and 39 are no
// characters: 38 copies the next payload byte as it stands, 39 reads a count
// n from the next payload byte and copies the n bytes after it. The copied
// bytes come from the payload right after the pair that held the digit (after
// the bytes of any earlier escape of that pair); the escape ends a pending
// shift, and the remaining digits of the pair still apply. Table 3 keeps its
// slots 30 and 31 empty, since they could only be reached by a shift to 3
// while 3 is current.
//
// The tables are this library's own: lower case and common punctuation,
// upper case and closing punctuation, digits and the signs of formats, and the
// bytes of the accented letters and typographic signs most texts use in UTF-8.
// The message packer (tools/MessagePacker.h) encodes with the same tables.
//
// Unpacked bytes are UTF-8 or UTF-16 units as the record's encoding says;
// s_nDeCompress and s_pszDeCompress turn them into wide text.
#pragma once

#include <cstdint>

struct STRessourceModule;

class CDataCompressor {
 public:
  // Results of the unpacking.
  enum : int {
    DC_OK = 0,         // complete
    DC_CUT = 2,        // the output was cut to its capacity
    DC_BADDIGIT = 4,   // a zero byte in a pair, a digit above 39, or no such encoding
    DC_BADESCAPE = 5,  // an escape runs past the payload
  };

  static constexpr int kTables = 4;
  static constexpr int kTableSize = 32;
  // Zero entries are holes: no character.
  static constexpr unsigned char s_abyTables[kTables][kTableSize] = {
      {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p',
       'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z', ' ', '.', ',', '\'', '-', '\n'},
      {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P',
       'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', ':', ';', '!', '?', '(', ')'},
      {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '%', '<', '>', '=', '/', '\\',
       '"', '_', '*', '+', '&', '#', '@', '[', ']', '{', '}', '\t', '\r', '|', '$', '~'},
      {0xC3, 0xC2, 0xA9, 0xA8, 0xA0, 0xA7, 0xAA, 0xB4, 0xB9, 0xAE, 0xA2, 0xAB, 0xBB, 0x89, 0x80, 0x88,
       0xAF, 0xBC, 0xB6, 0xA4, 0x9F, 0xE2, 0x82, 0xAC, 0x99, 0x9C, 0x9D, 0x94, '`', '^', 0, 0},
  };

  // Digits of the code.
  static constexpr int kFirstShift = 0;    // 0-3
  static constexpr int kFirstLock = 4;     // 4-7
  static constexpr int kFirstChar = 8;     // 8-39
  static constexpr int kEscapeByte = 38;   // in the escape states
  static constexpr int kEscapeRun = 39;    // in the escape states
  static constexpr int kNoShift = 8;
  static constexpr int kDigits = 40;

  // Record encodings (STRessourceModule::nEncoding).
  static constexpr std::uint32_t ENCODING_UTF8 = 1;
  static constexpr std::uint32_t ENCODING_UTF16 = 2;

  // Unpacks `nIn` payload bytes into `pbyOut`, which holds `nCapacity` bytes:
  // at most nCapacity - 1 bytes are stored and a zero byte after them (nothing
  // at all for a capacity of 0); bytes beyond are counted only. *pnLength,
  // when given, receives the count of every byte the text unpacks to (also
  // after an error: those unpacked so far). Returns DC_OK, DC_CUT (count >=
  // capacity), DC_BADDIGIT or DC_BADESCAPE; the last two stop at once.
  int nDeCompress(const unsigned char* pbyIn, std::uint32_t nIn, unsigned char* pbyOut,
                  std::uint32_t nCapacity, std::uint32_t* pnLength);

  // Unpacks the record found by a lookup into `pszOut`, which holds
  // *pnCapacity wide characters.
  // - The text fits (length < capacity): written and terminated, *pnCapacity
  //   = its length, result 0.
  // - Longer: the first capacity - 1 characters and a NUL (nothing for a
  //   capacity of 0 or less), *pnCapacity = the length it needs, result 2.
  // - A decoding error: *pnCapacity = -1, result 4 or 5; an encoding other
  //   than 1 and 2, or UTF-8 bytes that do not convert: -1 and 4.
  // UTF-8 goes through MultiByteToWideChar (65001); UTF-16 units are widened
  // one by one (UTF16ToWideChar; an odd last byte is dropped).
  static int s_nDeCompress(wchar_t* pszOut, int* pnCapacity, const STRessourceModule* pstRecord);

  // The record's text in a new block of (packed length * 1.5 + 2) wide
  // characters from XMALLOC_pNew_, which the caller frees with XMALLOC_Del_;
  // null on any error (nothing stays allocated).
  static wchar_t* s_pszDeCompress(const STRessourceModule* pstRecord);

  // Bytes (and wide characters) that always hold a record's unpacked text with
  // its terminator: every two payload bytes unpack to at most three bytes.
  static std::uint32_t s_nUnpackedCapacity(std::uint32_t nPackedLength) {
    return static_cast<std::uint32_t>(nPackedLength * 3ULL / 2 + 2);
  }

 private:
  // Applies digit `d`; false with m_nResult set on an error.
  bool _bApplyDigit(int d);
  void _Emit(unsigned char by);
  bool _bCopyRaw(std::uint32_t n);

  const unsigned char* m_pbyIn = nullptr;
  std::uint32_t m_nIn = 0;
  std::uint32_t m_nPos = 0;  // next payload byte for escapes and pairs
  unsigned char* m_pbyOut = nullptr;
  std::uint32_t m_nCapacity = 0;
  std::uint32_t m_nCount = 0;
  int m_nCurrent = 0;
  int m_nShift = kNoShift;
  int m_nResult = DC_OK;
};
