// CXQConvertKey: the byte-comparable key forms of the index items.
//
// The client-side indexes of the record caches order records by keys that
// compare as plain byte strings (memcmp: unsigned, byte by byte). Each
// writer below turns the data of one item type into such a key: integers
// with the sign bit flipped, high byte first; reals with the sign folded;
// currency and date-times high byte first; binary as lower-case hexadecimal
// text; 8-bit text copied or mapped; wide text copied, through the host's
// linguistic converter, or through the sort table; decimals through the
// runtime's decimal object.
//
// Common contract of the writers:
// - `key` holds `size` bytes, `data` holds `length` bytes; both belong to
//   the caller and are not kept. Nothing is allocated, except the one
//   decimal object a decimal key borrows from the runtime's factory and
//   gives back.
// - A writer whose inputs do not fit its form (no key, no data, a key or
//   data shorter than the form's width, an unsupported item type, no
//   decimal object) writes nothing and returns 0: never a byte read past
//   `length` nor written past `size`.
// - The result is the number of key bytes the item produced (for texts,
//   possibly less than `size`; the rest of the key is padding).
// All operations are static, reentrant and keep no state, except the wide
// text's linguistic path, which reads the stored host interface
// (XQForNA.h).
#pragma once

#include <cstddef>

// Item types of the keys.
enum eITEMTYPE : int {
  ITEM_NONE = 0,
  ITEM_TEXT = 1,       // 8-bit text: key of L + 1 bytes
  ITEM_I1 = 2,
  ITEM_I2 = 3,
  ITEM_I4 = 4,
  ITEM_I8 = 5,
  ITEM_R4 = 6,
  ITEM_R8 = 7,
  ITEM_UI1 = 8,
  ITEM_UI2 = 9,
  ITEM_UI4 = 10,
  ITEM_UI8 = 11,
  ITEM_TEXT_12 = 12,   // 8-bit text, as ITEM_TEXT
  ITEM_BUFFER = 13,    // no key form: nothing is written
  ITEM_CY = 14,        // currency: 10 bytes
  ITEM_DATETIME = 15,  // 8 bytes
  ITEM_DUREE = 16,     // duration: as ITEM_I8
  ITEM_BIN = 17,       // binary: key of 2 L bytes of hexadecimal text
  ITEM_CHAR = 18,      // one 8-bit character
  ITEM_BOOL = 19,
  ITEM_UNICODE = 20,   // wide text: key of 2 L + 2 bytes
  ITEM_UNICODE_21 = 21,
  ITEM_DECIMAL = 22,   // 32 bytes
};

// Key options (16 bits, the caller's).
enum : unsigned short {
  KEY_OPT_SORT_TABLE = 0x0001,    // wide text through tabUCS2FastSort
  KEY_OPT_BIG_ENDIAN = 0x0002,    // wide text as big-endian units
  KEY_OPT_NO_ACCENT = 0x0020,     // text mapping: accents ignored
  KEY_OPT_NO_PUNCT = 0x0040,      // text mapping: punctuation ignored
  KEY_OPT_IGNORE_CASE = 0x0080,   // text mapping: case ignored
  KEY_OPT_DESCENDING = 0x0400,    // the key complemented (CConvertKey)
};

// Flags of the wide-text writer.
enum : int {
  KEY_FLAG_UCS4 = 0x10,  // the data are 4-byte characters, not 16-bit units
};

// What CXQConvertKey::nConvertKeyOrRefuse answers when it writes nothing
// because its inputs do not fit.
constexpr int KEY_REFUSED = -1;

class CXQConvertKey {
 public:
  // Key size in bytes of an item of `length` data bytes (0 for an
  // unsupported type, or a size that would not fit a size_t).
  static std::size_t nCalculateKeySize(eITEMTYPE type, std::size_t length);
  // The same for a typed value's type code (its item type, eGetItemType).
  static std::size_t nCalculateKeySize(unsigned short code, std::size_t length);
  // The item type that keys a typed value's type code; ITEM_I4 for every
  // code without a key form of its own.
  static eITEMTYPE eGetItemType(unsigned short code);

  // Writes the key of `type` (precision and scale serve decimals, charset
  // the 8-bit texts, flags the wide texts). Returns the key bytes produced;
  // 0 when nothing was written. For 8-bit texts, once the text is keyed,
  // a 0xFF byte that ends the data (possibly followed by blanks or NULs) is
  // kept as 0xFF in the key, whatever the mapping made of it.
  static int __nConvertKey(void* key, std::size_t size, const void* data, std::size_t length,
                           eITEMTYPE type, unsigned short options, int precision, int scale,
                           unsigned int charset, int flags);
  // As __nConvertKey, but KEY_REFUSED when nothing was written because the
  // inputs do not fit, so that a caller can tell a refusal from an empty
  // key (0: an empty text, whose padding is the key).
  static int nConvertKeyOrRefuse(void* key, std::size_t size, const void* data, std::size_t length,
                                 eITEMTYPE type, unsigned short options, int precision, int scale,
                                 unsigned int charset, int flags);

  // ---- Writers (contract above) -----------------------------------------
  // Integers: data of the type's width (native order), key of that width:
  // signed kinds with their sign bit flipped, all high byte first.
  static int _I1_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  static int _UI1_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  static int _I2_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  static int _UI2_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  static int _I4_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  static int _UI4_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  static int _I8_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  static int _UI8_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  // Reals of 4 and 8 bytes. -0.0 and +0.0 give different keys (-0.0 first);
  // a NaN is keyed by its bits.
  static int _R4_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  static int _R8_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  // The real key of the n (4 or 8) native bytes at `value` into n bytes at
  // `key`: most significant byte first; a clear sign bit sets the top bit
  // of the first byte, a set one complements every byte. Returns n, 0 for
  // another n or a null address.
  static int __Rx_to_Key(void* key, const void* value, int n);
  // Date-time: the two 32-bit words of the 8-byte value, each high byte
  // first, in their order.
  static int _DateTime_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  // Currency: the 10-byte currency key of CMoney.
  static int _CY_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  // Decimal: `data` is the native form of a decimal of `precision` digits
  // (1 to 38) with `scale` decimals, at least IDecimal::mg_PToN(precision)
  // bytes; the 32-byte key comes from a decimal object of the runtime's
  // factory (gpiVMFactory), borrowed and given back. 0 without a factory,
  // without an object, or when the object refuses the value.
  static int _Decimal_to_Key(void* key, std::size_t size, const void* data, std::size_t length,
                             int precision, int scale);
  // Binary: min(length, size / 2) bytes spelled in lower-case hexadecimal,
  // the rest of the key filled with the character '0'; returns 2 x the
  // bytes spelled.
  static int _nBin_to_Key(void* key, std::size_t size, const void* data, std::size_t length);
  // 8-bit text: without mapping options, min(length, size) bytes copied,
  // the rest zeroed and the key's last byte set to 0 (returns the bytes
  // copied); with them, the text mapped under the charset's language (case
  // for KEY_OPT_IGNORE_CASE, accents for KEY_OPT_NO_ACCENT, punctuation for
  // KEY_OPT_NO_PUNCT; returns the mapped length). A nonzero charset then
  // turns the mapped text into the language's sort key, in the key. A
  // length of 0 writes nothing and returns 0.
  static int _nSTR_to_Key(void* key, std::size_t size, const void* data, std::size_t length,
                          unsigned short options, unsigned int charset);
  // Wide text: the key holds n = size / 2 units (size at least 2). The data
  // are 16-bit units, or 4-byte characters with KEY_FLAG_UCS4 (converted to
  // UTF-16). With KEY_OPT_NO_ACCENT or KEY_OPT_NO_PUNCT, or
  // KEY_OPT_IGNORE_CASE with KEY_OPT_SORT_TABLE or KEY_OPT_BIG_ENDIAN, the
  // host's linguistic converter writes the units when the host has one
  // (result: 2 x the nonzero units before the first zero one); else the
  // units are copied (result: the bytes copied; with 4-byte characters,
  // length / 2 rounded down to even, at most size). The last unit is always
  // 0. Then KEY_OPT_SORT_TABLE replaces every other unit by its sort weight,
  // or KEY_OPT_BIG_ENDIAN writes them high byte first. A length of 0 writes
  // nothing and returns 0.
  static int _nUNICODE_to_Key(void* key, std::size_t size, const void* data, std::size_t length,
                              unsigned short options, int flags);
};
