// CNAVariant: the value of an item, a column, a parameter or a search value
// in the native-access layer: a reference-counted object (CInterf) around one
// dynamic value (CAny).
//
// It gives the layer one place for typed assignment from plain types,
// comparison, checksums, the tests that decide whether a value counts as
// empty or as NULL for the record engine, the decimal digits of a value, and
// loading and storing a file into a binary or text value (memos).
// CNAConvertVariant derives from it and adds the server-side buffers; the
// driver's factory always makes a CNAConvertVariant, so a plain CNAVariant
// exists only as that base.
//
// The held value starts empty (type 0). Its type word carries the type code
// in the low byte, the NULL flag 0x100 and the runtime's mark 0x400; every
// assignment here clears both flags. One thread at a time per holder.
#pragma once

#include <cstdint>

#include "CAny.h"
#include "CInterf.h"
#include "CXYString.h"
#include "ItemTypes.h"

class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CTString;
struct CMoney;

class CNAVariant : public CInterf {
 public:
  // Counts 0, empty value.
  CNAVariant() = default;
  // Destroys the held value.
  ~CNAVariant() override;

  // ---- Virtual operations, in slot order after CInterf's ------------------
  // Casts the value in place (option 1); true when the cast's result is at
  // most 99. A failed cast leaves the value as the cast left it.
  virtual int vbChangeTNType(unsigned short type, int noPadding);
  virtual int vbGetValue(CAny* out) const;
  // True when the value has no type (type code 0).
  virtual int vbIsEmpty() const;
  virtual const void* vpGetData() const;
  virtual std::uint64_t vnGetSize() const;
  // None: the connection belongs to the derived class.
  virtual CNAConnectionDescription* pclGetCnx();

  // ---- The held value ------------------------------------------------------
  CAny* pclGetValue() { return &m_clValue; }
  const CAny* pclGetValue() const { return &m_clValue; }
  int bGetValue(const CAny** out) const;
  int bGetValue(CAny** out);
  // *out becomes a copy of the value (nothing when out is the held value); 1.
  int bGetValue(CAny* out) const;
  // The value becomes a copy of *value with its whole type word (nothing
  // for the held value itself); 1. A null value is ignored.
  int bSetValue(const CAny* value);
  // The CAny's SetValue(data, length) in its current type; 1.
  int bSetValue(const unsigned char* data, unsigned long length);

  // Typed setters: type and value, flags cleared; 1.
  int bSetValue(bool b);              // 1, stored as a 32-bit 0 or 1
  int bSetValue(unsigned char n);     // 2
  int bSetValue(unsigned short n);    // 3
  int bSetValue(unsigned int n);      // 4
  int bSetValue(unsigned long n);     // 5
  int bSetValue(char n);              // 6
  int bSetValue(short n);             // 7
  int bSetValue(int n);               // 8
  int bSetValue(long n);              // 9
  int bSetValue(const CMoney& m);     // 10
  int bSetValue(float d);             // 11
  int bSetValue(double d);            // 12

  // None for type 0, else the CAny's data address; its data size; its
  // useful size.
  const void* pGetData() const;
  std::uint64_t nGetSize() const;
  std::uint64_t nGetUtilDataSize() const;

  // A missing source makes the value NULL of its current type; the same
  // object does nothing; otherwise the value becomes a copy of the
  // source's. 1.
  int bCopyVariant(const CNAVariant* source);
  // A new holder from the driver's factory (no error object, no
  // connection), filled by bCopyVariant; null without a driver or when the
  // factory fails. The caller owns it (counts 0).
  CNAConvertVariant* pclGetCloneVariant() const;

  // Negative, 0, positive. Equal type codes and equal sizes compare the
  // data bytes as unsigned bytes; anything else goes through the runtime's
  // comparison of dynamic values.
  int nCmp(const CAny* other) const;
  int nCmp(const CNAVariant* other) const;
  // Equality by the runtime (a NULL or untyped value equals a NULL or
  // untyped other).
  int bEqualsNAVariant(const CAny* other) const;
  static int g_bEqualsNAVariant(const CNAConvertVariant* a, const CNAConvertVariant* b);

  // 64-bit sum of the little-endian 32-bit words of vpGetData/vnGetSize,
  // then of the 0 to 3 tail bytes.
  std::uint64_t nChecksum32() const;

  int bIsEmptyString() const;
  int bIsEmptyStringEx() const;
  int bIsNumeric0() const;
  // bIsEmptyStringEx or bIsNumeric0: may a search value also match NULL.
  int bCouldBeNullOnXQ() const;
  // Precision and scale of the value as a decimal (both 0 first).
  int bGetDecimalInfo(int* precision, int* scale) const;

  int bChangeItemType(eNA_ITEMTYPE type, int noPadding);
  eNA_ITEMTYPE eNAGetItemTypeValue() const;

  // The value as text (the runtime's nGetString with the same prefix and
  // option).
  void GetString(CXYString<wchar_t>* out, const wchar_t* format, int option) const;
  void GetString(CTString* out, const wchar_t* format, int option) const;

  // Load a file into the value (binary 0: 8-bit text, else binary) and store
  // the value into a file. Errors go to `error` (may be null): user error 15
  // (path; the system's text as system message) when the file cannot be
  // opened, 12 when memory runs out; the value is unchanged on failure.
  // Storing a NULL or empty value leaves an empty file and succeeds.
  int bLoadFile(const wchar_t* path, CNAError* error, int binary);
  int bStoreFile(const wchar_t* path, CNAError* error);
  static int gbLoadFile(CAny* value, const wchar_t* path, CNAError* error, int binary);
  static int gbStoreFile(CAny* value, const wchar_t* path, CNAError* error);

 protected:
  CAny m_clValue;
};
KX_CINTERF_REF_TRAITS(CNAVariant)
