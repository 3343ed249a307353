// The description of one item (column) of a table or query, as the runtime
// reads it: name and source names, item type, element size and dimension,
// place in the native record, key properties and components, precision and
// scale, default value.
//
// The runtime calls these operations by slot number: the order below is the
// table's and must not change (slots 0 to 4 come from INAVersion; the
// destructor pair sits at 55 and 56).
//
// References: the runtime holds a description through ExternalAddRef and
// gives it back with nExternalRelease, which answers the new count; the
// library's own holders count apart (CNAItemDescription::AddRef). The
// description goes when both counts are 0. Texts answered stay owned by the
// description and valid while it lives and is not changed.
#pragma once

#include <cstdint>

#include "INAVersion.h"

class CAny;
class CNAItemDescription;
class CNADataSourceDescription;
class INALink;
// The item types (ItemTypes.h of the native-access layer).
enum eNA_ITEMTYPE : std::uint32_t;

// Options of a clone (bits; pclGetCloneItemDescription).
enum eCLONEDESC : std::uint32_t {
  NA_CLONEDESC_NONE = 0,
  // An item without key flags (a text memo excepted) becomes a key with
  // duplicates, ascending.
  NA_CLONEDESC_KEYALL = 1,
  // Date and date-time items become texts.
  NA_CLONEDESC_DATEASTEXT = 2,
};

class INAItemDescription : public INAVersion {
 public:
  // 5, 6: the runtime's (external) reference; the release answers the new
  // count and may delete the description.
  virtual void ExternalAddRef() = 0;
  virtual std::uint32_t nExternalRelease() = 0;
  // 7: the item's name.
  virtual const wchar_t* pszGetName() const = 0;
  // 8 to 11: number of elements; bytes of one element in the native record;
  // characters (texts) or bytes of element nElement (-1: of all elements);
  // bytes of all elements.
  virtual std::uint32_t nGetDimension() const = 0;
  virtual std::uint32_t nGetItemSize() const = 0;
  virtual std::uint32_t nGetLogicalSize(int nElement) const = 0;
  virtual std::uint32_t nGetTotalSize() const = 0;
  // 12, 13: the item type; the item's NULL-flag bit in the native record.
  virtual eNA_ITEMTYPE eNAGetItemType() const = 0;
  virtual std::uint32_t nGetPhysicalIndice() const = 0;
  // 14: any of the key flags 0x1000 to 0x8000 (the argument is not read).
  virtual int bIsKey(int nUnused) const = 0;
  // 15 to 19: memo kinds, numeric types, 8-bit text.
  virtual int bMemo() const = 0;
  virtual int bMemoText() const = 0;
  virtual int bMemoBinary() const = 0;
  virtual int bNumerical() const = 0;
  virtual int bLiteral() const = 0;
  // 20, 21: the key's index; number of components (composite keys).
  virtual int nGetKeyIndice() const = 0;
  virtual std::uint32_t nGetNumComponents() const = 0;
  // 22 to 30: key properties (the argument is not read).
  virtual int bPrimary(int nUnused) const = 0;
  virtual int bUnique(int nUnused) const = 0;
  virtual int bDuplicates(int nUnused) const = 0;
  virtual int bIsComposedKey(int nUnused) const = 0;
  virtual int bGetAscendant(int nUnused) const = 0;
  virtual int bGetDescendant(int nUnused) const = 0;
  virtual int bGetIgnoreCase(int nUnused) const = 0;
  virtual int bGetIgnorePunctuation(int nUnused) const = 0;
  virtual int bGetIgnoreAccent(int nUnused) const = 0;
  // 31: component n, 1-based, with an external reference for the caller;
  // null outside 1 to the number of components.
  virtual INAItemDescription* piGetItemComponent(std::uint32_t n) = 0;
  // 32, 33: byte offset of element nElement in the record's value area; its
  // index among the record's value slots.
  virtual std::uint32_t nGetOffset(int nElement) const = 0;
  virtual std::uint32_t nGetSubItemRecordIndice(int nElement) const = 0;
  // 34: the default value (one for every element; owned by the
  // description).
  virtual CAny* pclGetDefaultValue(int nElement) = 0;
  // 35 to 39: extended information, caption, database type name; the
  // indexed-file texts are not kept (null).
  virtual const wchar_t* pszGetExtendedInfo() const = 0;
  virtual const wchar_t* pszGetCaption() const = 0;
  virtual const wchar_t* pszGetDBType() const = 0;
  virtual const wchar_t* pszGetXBaseIndexPath() const = 0;
  virtual const wchar_t* pszGetXBaseKeyExpression() const = 0;
  // 40, 41: digits before and after the decimal point.
  virtual int nGetIntegerPart() const = 0;
  virtual int nGetDecimalPart() const = 0;
  // 42, 43: the item's name in its source, and the source's name.
  virtual const wchar_t* pszGetNameInSource() const = 0;
  virtual const wchar_t* pszGetSourceName() const = 0;
  // 44 to 47: key sizes are not kept (0; the setters do nothing).
  virtual std::uint32_t nGetKeySize() const = 0;
  virtual void SetKeySize(std::uint32_t nSize) = 0;
  virtual std::uint32_t nGetComponentKeySize(std::uint32_t nComponent) const = 0;
  virtual void SetComponentKeySize(std::uint32_t nComponent, std::uint32_t nSize) = 0;
  // 48, 49: whether the item may be modified.
  virtual int bUpdatable() const = 0;
  virtual void SetUpdatable(int bUpdatable) = 0;
  // 50 to 52: links are not described (null, 0).
  virtual INALink* piGetPrimaryLink() = 0;
  virtual INALink* piGetForeignLink(std::uint32_t n) = 0;
  virtual std::uint32_t nGetNumForeignLink() const = 0;
  // 53: no locale of its own (null).
  virtual const wchar_t* pszGetUnicodeLocale() const = 0;
  // 54: whether NULL is allowed.
  virtual int vbConstraintNullAllowed() const = 0;
  // 55, 56.
  virtual ~INAItemDescription() = default;
  // 57, 58.
  virtual void SetIntegerPart(int n) = 0;
  virtual void SetDecimalPart(int n) = 0;
  // 59: a copy for the data-source description pTarget (options: bits of
  // eCLONEDESC), made by the driver's factory; no reference taken for the
  // caller. Null when the factory gives none.
  virtual CNAItemDescription* pclGetCloneItemDescription(CNADataSourceDescription* pTarget,
                                                         eCLONEDESC eOptions) = 0;
};
