// CConvertKey: the index key of a typed value.
//
// A value (CAny) is keyed as the index item's type: a temporary copy of it
// is cast by the runtime to the key's type code, its data are handed to the
// item type's writer (CXQConvertKey), and a descending key is complemented.
// The caller's value is never modified.
//
// Keys and refusals:
// - A NULL or empty value is keyed as the empty wide text cast to the key's
//   type (a code of 0 then means the wide text itself).
// - A cast the runtime refuses, a DECIMAL cast that leaves no decimal
//   object (or digits it cannot take), a type without a key form (BUFFER)
//   or data that do not fit the item's width give no key: result 0, the key
//   buffer all zeros (caller-buffer form) or no buffer at all (allocating
//   form).
// - The indexes reuse one key buffer and compare its full size, so every
//   byte the writer does not set is zero, before complementing.
// Options are the key options of CXQConvertKey.h; KEY_OPT_DESCENDING
// complements every byte of the key (of a key that was produced).
// integerDigits and decimalDigits give a DECIMAL key its precision
// (integerDigits + decimalDigits) and scale (decimalDigits).
#pragma once

#include <cstddef>

class CAny;

class CConvertKey {
 public:
  // Writes the key of `value` as type `code` into the caller's `keySize`
  // bytes at `key` (first zero-filled). Returns the key bytes produced; 0
  // for no key (see above), a null value or key, or a keySize of 0 (then
  // nothing is written or allocated).
  static int nConvertKeyAndGetSize(CAny* value, unsigned char* key, std::size_t keySize, unsigned short code,
                                   unsigned short options, int integerDigits, int decimalDigits);
  // Sets *key to null, then to a new zero-filled buffer of the item's key
  // size (CXQConvertKey::nCalculateKeySize of the data) holding the key; the
  // caller owns it and frees it with XMALLOC_Del_. Returns the key bytes
  // produced. On no key, or an empty size, or a failed allocation, *key
  // stays null and the result is 0.
  static int nConvertKeyAndGetSize(CAny* value, unsigned char** key, unsigned short code,
                                   unsigned short options, int integerDigits, int decimalDigits);
  // Complements each of the `size` bytes at `key` (nothing for null).
  static void __InvertKey(unsigned char* key, std::size_t size);
};
