// CNAColumn: one column of a record layout (CNARecord) at run time.
//
// It binds an item of the platform's description (the analysis item) to the
// layout's current and original records, optionally to the server's own
// description of the same column (the imported item), and to a value holder
// (CNAConvertVariant) through which values move between server and record.
// It answers what SQL generation asks of a column (formatted names, key and
// identifier properties, nullability), reads and writes its value, tells
// whether the value is defined, modified or to be stored as NULL, builds the
// value of a composite key, attaches and extracts memo files and prints its
// value for dumps.
//
// Binding: a non-memo column's holder is bound (NAVT_BOUND) to element 0 of
// its item in the current record, once, by bInitVariant: writing the holder
// writes the record, and the statements fill fetched rows through it with no
// lookup per row. A memo column's holder is a dynamic value of the item's
// platform type, shared with the current record value's memo set at the
// column's memo position. Composite keys have no holder.
//
// Ownership: the column holds an external reference on the analysis item
// and on the imported item, an internal reference on the error object and
// on its holder and components. The owning layout is not referenced (it
// owns the column). Without a layout the value operations answer false (or
// "not defined") and touch no record.
//
// Errors go to the column's error object (may be null: then dropped).
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CRefArray.h"
#include "CTString.h"
#include "ItemTypes.h"

class CAny;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CNAItemDescription;
class CNARecord;
class CNAStatement;
class CNAVariant;
class CNAXQRecord;
class CSQLParserInfo;
class INAItemDescription;
template <typename T>
class CXYStringConcat;

class CNAColumn : public CInterf {
 public:
  // The flag of bSameValue that lets a shorter given value match the start
  // of the current one.
  static constexpr unsigned knSameValuePrefix = 0x1000;

  // References the analysis item (external) and the error object
  // (internal); both may be null.
  CNAColumn(CNAError* pclError, INAItemDescription* piDescription);
  // Gives back the holder, the components, the imported and analysis items
  // and the error object.
  ~CNAColumn() override;

  // ---- Virtual operations, in slot order after CInterf's -----------------
  // Records the owner, formats the names (false on failure), takes the
  // imported item when given, then (not for a composite key) sets up the
  // holder; the first failure is the answer.
  virtual int vbInit(CNARecord* record, CNAItemDescription* imported);
  // Creates the holder when there is none (driver slot 44 for the error
  // object and the layout's connection; without a driver a plain holder;
  // false when the factory gives none) and binds it: a memo as an empty
  // dynamic value shared with the layout's current memo set (the share's
  // answer), any other item bound to element 0 of the item in the current
  // record with the element size (false when the element does not lie in
  // the record). The holder's NULL flag then follows the record's flag.
  virtual int bInitVariant(CNARecord* record);
  // Replaces the imported item (external references); the same item does
  // nothing. True.
  virtual int bSetImportedItemDesc(CNAItemDescription* imported);
  // Re-binds the holder to the owner's (new) current record.
  virtual int bUpdateChangedTypeInCurrentRecord();
  // The imported item is an automatic identifier (false without one).
  virtual int bIsAutoIncrementOnDataBase();
  virtual const wchar_t* pszGetAliasNomTable();
  virtual const wchar_t* pszGetFormatedAliasNomTable();
  // The current value of element `index` into *value (see the class text):
  // a memo from its holder (an attached file loaded first), a composite key
  // as its key bytes (binary), others from the current record (NULL of the
  // item's platform type when the item is NULL there). False for an index
  // past the item's dimension, without a layout, or when the read fails.
  virtual int bGetCurrentValue(CAny* value, unsigned index);
  // The same from the original record (composite keys and memos aside).
  virtual int bGetOriginalValue(CAny* value, unsigned index);
  // The value for dumps (out emptied first when withName is 0).
  virtual int bCurrentValueToString(CXYStringConcat<wchar_t>* out, int withName);
  // Writes element `index`. A memo: the holder takes the value (attached
  // path and modified flag cleared), the record's flag follows. Others: the
  // value is stored into the current record; when the record refuses it
  // (a failed cast) user error 53 is reported, the item and the holder stay
  // as they were, and the answer is false.
  virtual int bSetValue(const CAny* value, unsigned index);
  virtual int bValueModified();
  virtual int bValueDefined();
  virtual int bOriginalValueDefined();
  virtual int bSameValue(const CAny* value, unsigned flags);
  virtual int bCheckAndCorrectXQRecordValues();
  // False here: the statement's own columns read the server's values.
  virtual int bSetValueFromDB(CNAStatement* statement, unsigned index);
  virtual int bHAttacheMemo(const wchar_t* path);
  virtual int bHExtraitMemo(const wchar_t* path);
  virtual int bGetBLOB(CAny* value);
  virtual int bMustDefine(unsigned flags);
  virtual int bMustBind(unsigned flags);
  virtual int bGetCacheValue(CAny* value, unsigned index);
  // The holder (no reference added); null before bInitVariant.
  virtual CNAConvertVariant* pclGetNAValue();
  // A clone of the holder for the caller (counts 0); null without holder.
  virtual CNAConvertVariant* pclGetVariantClone();
  virtual int bRestaureOriginalValue(CNAConvertVariant* saved);

  // ---- Set-up --------------------------------------------------------------
  // The connection's formatted item name and original name; without a
  // connection the names as they are. False when a formatting fails.
  int bFormatName();
  // Sets `variant` up for this column's values: of platform type `type`, or
  // the item's when 0, sized for one element (0 for a memo), with both
  // items attached. False (nothing changed) without a variant.
  int bInitVariant_NV_Any(CNAError* error, CNAConvertVariant* variant, unsigned short type);
  // Appends a component (internal reference); the component array is made
  // on the first call.
  void AddCompositeKey(CNAColumn* component);
  void SetAliasNomTable(const wchar_t* alias);
  void SetFormatedAliasNomTable(const wchar_t* alias);

  // ---- Names and properties --------------------------------------------------
  const wchar_t* pszGetName() const;
  const wchar_t* pszGetOriginalName() const;
  const wchar_t* pszGetSourceName() const;
  const wchar_t* pszGetFormatedName() const { return m_csFormatedName.pszGet(); }
  const wchar_t* pszGetFormatedOriginalName() const { return m_csFormatedOriginalName.pszGet(); }
  const wchar_t* pszGetTableName() const;
  const wchar_t* pszGetFormatedSelectName(int plain);
  std::uint32_t nGetPhysicalIndice() const;
  std::uint32_t nGetItemSize() const;
  std::uint32_t nGetValueSize() const { return nGetItemSize(); }
  std::uint32_t nGetLogicalSize() const;
  int nGetIntegerPart() const;
  int nGetDecimalPart() const;
  eNA_ITEMTYPE eNAGetItemType() const;
  unsigned short eGetTNType() const;
  int bIsComposedKey() const;
  int bIsMemo() const;
  int bIsMemoText() const;
  int bIsMemoBin() const;
  int bLiteral() const;
  int bBinaryString() const { return eNAGetItemType() == NA_IT_BINAIRE; }
  // Component n (1-based) of the analysis item is descending.
  int bGetDescendantComponent(std::uint32_t n) const;
  // The analysis item with an external reference for the caller.
  INAItemDescription* piGetItem() const;
  INAItemDescription* piGetItemDescription() const { return m_piItem; }
  CNAItemDescription* piGetImportedItemDescNoRef() const { return m_pclImported; }
  CNARefArray<CNAColumn>* pclGetTabComponent() const { return m_pclComponents; }
  CNAConnectionDescription* pclGetCnx() const;
  CNARecord* pclGetRecord() const { return m_pclRecord; }
  CNAError* pclGetError() const { return m_pclError; }
  int bSourceIsQuery() const;
  CSQLParserInfo* pclGetSourceQueryNoRef() const;

  int bIsIdAuto() const;
  int bIsUnique() const;
  int bUnique() const { return bIsUnique() ? 1 : 0; }
  int bPrimary() const;
  // The imported item's answer; the analysis item's without one.
  int bUpdatable() const;
  int bIsMemoDB() const;
  int bGetIgnoreCase(int k) const;
  int nGetLogicalSizeOnDatabase() const;
  std::uint32_t nGetDBType() const;
  eNA_ITEMTYPE eNAGetItemTypeOnDatabase() const;
  eNA_ITEMTYPE eNAGetItemTypeOnDatabaseEx() const;
  int bIsNullable() const;
  int bIsNullableOnDataBase() const;
  int bUniqueNotNull() const;
  int eGetTypeColonne() const;
  // Position in the layout's memo list, -1 when absent.
  int nGetMemoIndice() const;
  // Whether `column` is the layout's column of one of this key's
  // components.
  int bIsComposedKeyComponent(const CNAColumn* column) const;

  // ---- Values ------------------------------------------------------------------
  int bSetValueNULL();
  void SetNotModified();
  void SetValueIsUnreadYet();
  int bValueIsUnreadYet() const;
  int bNull() const;
  // Whether the value is to be stored as NULL on the server (see the rule
  // in the source).
  int bNullOrEquivalent();
  int bNullOrEquivalent(const CAny* value);
  int bNullOrEquivalent(CNAVariant* value);
  // A memo value written by a table operation: the holder, the modified
  // flag and the record's flag follow (see the source).
  int _bSetValueMemoToDB(const CAny* value, unsigned index);
  // The layout told the column its current record was replaced: the
  // holder's NULL flag follows the record's flag (memos and composite keys
  // aside). No record bytes are written.
  void OnNAXQRecordChanged();
  // Element 0 of the item in `record`; null when it does not lie there.
  unsigned char* pGetValuePtr(CNAXQRecord* record) const;
  // In that layout's current record (the owner's when null).
  unsigned char* pGetValuePtr(CNARecord* record) const;
  // Builds the key bytes of a composite key into `buffer` of `size` bytes:
  // each component's element 0 as stored in the current record, in
  // component order: a text its first S - 1 bytes, a UNICODE its first
  // S - 2, any other item all S bytes (a binary with its length, a decimal
  // in its native form); a NULL component gives zeros. Nothing is written
  // past `size`; the rest of the buffer is zero. False without a layout,
  // components or a component's column.
  int bBuildCompositeKey(unsigned char* buffer, std::uint32_t size) const;
  // The width a component takes in a composite key.
  static std::uint32_t s_nComponentKeyWidth(const INAItemDescription* component);

  int bGetMemoModified() const { return m_bMemoModified != 0; }
  const wchar_t* pszGetAttachedMemoPath() const { return m_csMemoPath.pszGet(); }

 private:
  CNAXQRecord* _pclCurrentXQ() const;
  CNAXQRecord* _pclOriginalXQ() const;
  // Element `index` of the item in `record` into *value: a NULL value of
  // the item's type when the record holds none. False for an index past
  // the dimension, no record, or a failed read.
  int _bReadRecordValue(CNAXQRecord* record, CAny* value, unsigned index);
  // The holder follows the record's flag (no bytes written).
  void _SyncNullFromRecord();
  int _bAttachedPath() const { return m_csMemoPath.nTaille() > 0; }
  // User error 53 for a value the record refused.
  void _ReportRefusedValue(const CAny* value);
  // Sets the holder from the value (memo columns).
  int _bSetHolder(const CAny* value);

  INAItemDescription* m_piItem = nullptr;
  CNAItemDescription* m_pclImported = nullptr;
  CNAError* m_pclError = nullptr;
  CTString m_csFormatedName;
  CNARecord* m_pclRecord = nullptr;
  CNARefArray<CNAColumn>* m_pclComponents = nullptr;
  CTString m_csAliasNomTable;
  CTString m_csFormatedAliasNomTable;
  CTString m_csFormatedOriginalName;
  CTString m_csFormatedSelectName;
  CNAConvertVariant* m_pclValue = nullptr;
  std::int32_t m_bMemoModified = 0;
  CTString m_csMemoPath;
};
KX_CINTERF_REF_TRAITS(CNAColumn)

