// CNADataSourceDescription: the description of one data source (a table of
// the server or the result of a query) in the runtime's terms: its names,
// its items (CNAItemDescription) in record order, which of them are keys
// and which are memos, where each item's value lies in a native record and
// how large that record is, and the item that best orders a browse. The
// runtime's engine and SQL runtime read it through INADataSourceDescription;
// the library's data accesses, statements and records read it too.
//
// Filling it (CNADataSourceDescriptionRoads.cpp): from the server's
// catalogues (bInitDataSourceDescriptionFromDB, through four hooks that a
// database-specific description overrides; here each answers 0), from a
// statement's result columns (bInitDataSourceDescriptionFromStatement), or
// completed from a query's parser information (bCompleteDescription); then
// cloned (pclGetCloneDataSourceDescription) and checked against another
// description (bAreDescriptionCompatible). The roads never empty it first:
// what a failed road added stays.
//
// References: two counts, AddRef/nRelease for the library's holders and
// ExternalAddRef/nExternalRelease for the runtime's. A release answers the
// new count; releasing a count already at 0 changes nothing and answers 0.
// When a release brings its count to 0 while the other is 0 too, the
// description deletes itself. A new description has both counts at 0: its
// creator takes the first reference.
//
// Holdings: one reference on the error object (deleted with its last
// holder) and on the connection (given back through the driver's
// nReleaseConnection, a plain release without a driver); one external
// reference on every element of the item, key and memo arrays (a key or a
// memo stands in the items too) and on the cached best browse item.
//
// Operations that hand out an item (piNAGetItem, piNAGetKey, piNAGetMemo,
// pclNAGetItem, pclNAGetCorrespondingItem, pclNAGetItemByPhysicalIndiceDB,
// piGetBestParseItemDesc) take one external reference for the caller, who
// gives it back with the item's nExternalRelease; the NoRef forms take none.
// An index at or beyond the matching count answers null.
//
// Names: looked up with the runtime's locale comparison, flags 3 (case and
// non-spacing marks ignored). Mode bit 0 cuts trailing blanks from both
// names first (mode 3, the compatibility form); mode 2 compares the names as
// they stand (every lookup of the description itself).
//
// No lock of its own: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNAItemDescription.h"
#include "CRefArray.h"
#include "CTString.h"
#include "INADataSourceDescription.h"
#include "ItemTypes.h"

class CNAConnectionDescription;
class CNAError;
class CNAStatementSQL;
class CSQLParserInfo;
class IInfoRubrique;
template <typename T>
class CXYStringConcat;

class CNADataSourceDescription : public INADataSourceDescription {
 public:
  // Empty names, no item, sizes 0, both counts 0; one reference on `error`
  // and on `connection` (either may be null).
  CNADataSourceDescription(CNAConnectionDescription* connection, CNAError* error);
  CNADataSourceDescription() : CNADataSourceDescription(nullptr, nullptr) {}
  CNADataSourceDescription(const CNADataSourceDescription&) = delete;
  CNADataSourceDescription& operator=(const CNADataSourceDescription&) = delete;

  // ---- INADataSourceDescription ------------------------------------------
  std::uint32_t nGetVersion() override { return 6; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 0xFFFFFFFFu; }
  std::uint32_t nGetNACompatSince() override { return 0xFFFFFFFFu; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override { ++m_nExternalRef; }
  std::uint32_t nExternalRelease() override;
  const wchar_t* pszGetLogicalName() override { return m_sLogicalName.pszGet(); }
  const wchar_t* pszGetPhysicalName() override { return m_sLogicalName.pszGet(); }
  const wchar_t* pszGetDefaultDirectory() override { return L""; }
  std::uint32_t nGetDiskRecordSize() override { return m_nDiskRecordSize; }
  std::uint32_t nGetMemoryRecordSize() override { return m_nMemoryRecordSize; }
  std::uint32_t nGetNumItems() override;
  std::uint32_t nGetNumKeys() override;
  std::uint32_t nGetNumMemos() override;
  std::uint32_t nGetNumItemPhysicallyInFic() override { return nGetNumItems(); }
  // pclNAGetItem(pszName, 2).
  INAItemDescription* piNAGetItem(const wchar_t* pszName) override;
  // Item, key, memo at nIndex; null (no reference) at or beyond the count.
  INAItemDescription* piNAGetItem(std::uint32_t nIndex) override;
  INAItemDescription* piNAGetKey(std::uint32_t nIndex) override;
  INAItemDescription* piNAGetMemo(std::uint32_t nIndex) override;
  int eGetNASubDataType() override { return 1; }
  const wchar_t* pszGetDBTableName() override { return m_sDBTableName.pszGet(); }
  // The cached best browse item, chosen on first need (see the source):
  // the first primary key, else the first unique key (a strong one
  // preferred), else the first key; without keys the first item that is no
  // memo, else the first item. Null without items (nothing cached).
  INAItemDescription* piGetBestParseItemDesc() override;
  const wchar_t* pszGetExtendedInfo() override { return m_sExtendedInfo.pszGet(); }
  const wchar_t* pszGetType() override { return m_sType.pszGet(); }
  const wchar_t* pszGetOwner() override { return m_sOwner.pszGet(); }
  // The connection's default database ("" without a connection).
  const wchar_t* pszGetDefaultDatabase() override;
  const wchar_t* pszGetExtension() override { return nullptr; }
  const wchar_t* pszGetCaption() override { return nullptr; }
  int bGetNullSupported() override { return 1; }
  void EmptySlot137() override {}
  void EmptySlot138() override {}
  void EmptySlot139() override {}
  void EmptySlot140() override {}
  void EmptySlot141() override {}
  void EmptySlot142() override {}
  void EmptySlot143() override {}
  void EmptySlot144() override {}
  void EmptySlot145() override {}
  void EmptySlot146() override {}

  // ---- Virtual operations of its own, in slot order ------------------------
  // Gives the connection back, the error object, the best item, then the
  // memos, keys and items (each from the last to the first).
  virtual ~CNADataSourceDescription();
  // pclNAGetItemNoRef with one external reference for the caller.
  virtual CNAItemDescription* pclNAGetItem(const wchar_t* pszName, int nMode);
  // 1 when every item of piOther that is no composite key has an item of
  // the same name here (mode 3); else user error 20 (logical name, item
  // name), 0. Types, sizes and keys are not compared.
  virtual int bAreDescriptionCompatible(INADataSourceDescription* piOther);
  // *pOut = pszBase followed by n ("%d").
  virtual void MakeNewName(CTString* pOut, const wchar_t* pszBase, int n);
  // A copy made by the driver's factory: names, sizes, every item cloned in
  // mode eMode (bit 1: non-keys that are no text memo become keys with
  // duplicates, ascending; bit 2: DATE8 and DATETIME become TEXTE), the best
  // item carried over by name, the layout recomputed. No reference taken
  // for the caller; null when the factory gives none.
  virtual CNADataSourceDescription* pclGetCloneDataSourceDescription(CNAItemDescription::eCLONEDESC eMode);
  // _bImportItems, then, when it succeeded, _bImportIndex.
  virtual int _bGetDataSourceInfo(int nUnused);

 protected:
  // The four hooks a database-specific description overrides. Here each
  // reports user error 38 (not available) and answers 0.
  // Writes the catalogue query listing the table's columns into *out.
  virtual int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* out);
  // Reads that query's result set into items.
  virtual int _bInitItemFromQueryShowColumns(CNAStatementSQL* statement);
  // Writes the catalogue query listing the table's indexes into *out.
  virtual int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* out);
  // Reads that query's result set into keys.
  virtual int _bInitKeysFromQueryShowIndex(CNAStatementSQL* statement);

 public:
  // Exact name lookup (mode 2) with one external reference for the caller.
  // A name no item bears (or null) is user error 26 (database table name,
  // item name), null.
  virtual CNAItemDescription* pclNAGetCorrespondingItem(const wchar_t* pszName);
  // Describes table pszTable from the server: both names become it, then
  // _bGetDataSourceInfo. The offsets and record sizes stay uncomputed.
  virtual int bInitDataSourceDescriptionFromDB(const wchar_t* pszTable, int nUnused);

  // ---- Counts ----------------------------------------------------------------
  void AddRef() { ++m_nRef; }
  std::uint32_t nRelease();
  std::uint32_t nGetRef() const { return m_nRef; }
  std::uint32_t nGetExternalRef() const { return m_nExternalRef; }

  // ---- Names and holdings --------------------------------------------------
  void SetLogicalName(const wchar_t* name) { m_sLogicalName = name != nullptr ? name : L""; }
  void SetDBName(const wchar_t* name) { m_sDBTableName = name != nullptr ? name : L""; }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  CNAError* pclGetError() const { return m_pclError; }
  std::uint32_t nGetValueCount() const { return m_nValueCount; }

  // ---- Lookups -----------------------------------------------------------------
  // The first item named pszName (mode as in the class comment), no
  // reference taken; null when none or pszName is null.
  CNAItemDescription* pclNAGetItemNoRef(const wchar_t* pszName, int nMode);
  // Item, key, memo at n, no reference taken; null outside the count.
  CNAItemDescription* pclGetItemNoRef(std::uint32_t n) const;
  CNAItemDescription* pclGetKeyNoRef(std::uint32_t n) const;
  CNAItemDescription* pclGetMemoNoRef(std::uint32_t n) const;
  // The first key named pszName, trailing blanks cut on both sides, with
  // one external reference; null when none.
  INAItemDescription* piNAGetKey(const wchar_t* pszName);
  // The first item whose database column index is n, with one external
  // reference; null when none.
  CNAItemDescription* pclNAGetItemByPhysicalIndiceDB(std::uint32_t n);

  // ---- Building -----------------------------------------------------------------
  // A new item from the driver's factory (a plain one without a driver),
  // described by bInit and added with _AddItem; a physical index of -1
  // becomes the current item count first. bInit's answer; 0 with the
  // no-memory error when no item can be had.
  int bAddItem(const wchar_t* pszName, const wchar_t* pszSourceName, const wchar_t* pszNameInSource,
               std::uint32_t nDimension, std::uint32_t nItemSize, eNA_ITEMTYPE eType,
               std::uint32_t nPhysicalIndice, int nKeyIndice, std::uint16_t wKeyFlags, int nIntegerPart,
               int nDecimalPart);
  // Adds pItem (one external reference): an empty name becomes "Expr<1000 +
  // value count>", a name already borne gets 2, 3 ... appended; a physical
  // index of -1 becomes the count (appended), 0 while items exist inserts it
  // first and renumbers the others; a key goes to _AddKey, a memo to the
  // memos. Nothing for null.
  void _AddItem(CNAItemDescription* pItem);
  // Adds pItem to the keys by the same rule on the key index.
  void _AddKey(CNAItemDescription* pItem);
  // Makes the item a key of flags wKeyFlags: a primary key stays as it is;
  // an item with a key index keeps it, else it takes the key count and is
  // added to the keys. 1; 0 for null, an index outside the items (the
  // index form) or a name no item bears (the name form, user error 26).
  int _bSetKeyType(CNAItemDescription* pItem, std::uint16_t wKeyFlags);
  int _bSetKeyType(int nItemIndex, std::uint16_t wKeyFlags);
  int _bSetKeyType(const wchar_t* pszName, std::uint16_t wKeyFlags);
  // Appends the item at nItemIndex, or named pszName, to the composite key
  // pComposite (bAddComponent). 0 when there is no such item (user error 26
  // for the name form), else bAddComponent's answer.
  int _bAddItemComponent(CNAItemDescription* pComposite, int nItemIndex);
  int _bAddItemComponent(CNAItemDescription* pComposite, const wchar_t* pszName);
  // Recomputes each item's offset and sub-item record index in item order,
  // the disk size (composite keys excluded), the memory size and the value
  // count.
  void UpdateRecordSize();
  // Caches piItem as the best browse item (one external reference; the
  // former one given back). Null empties the cache.
  void _SetBestParseItem(INAItemDescription* piItem);
  // The same for the item named pszName (pclNAGetCorrespondingItem): an
  // unknown name reports user error 26, leaves the cache and answers 0.
  int _SetBestParseItem(const wchar_t* pszName);

  // ---- Roads (CNADataSourceDescriptionRoads.cpp) -----------------------------
  // The column catalogue read into items through the SQL face; no item at
  // all is user error 30 (logical name). Success flag.
  int _bImportItems();
  // The index catalogue read into keys; no result set is success.
  int _bImportIndex();
  // Describes an executed statement's result columns: an empty logical
  // name first becomes the statement's address in decimal (both names);
  // then _bInitItems and UpdateRecordSize. Success flag.
  int bInitDataSourceDescriptionFromStatement(CNAStatementSQL* pStatement);
  // One item per result column (see the source). Success flag.
  int _bInitItems(CNAStatementSQL* pStatement);
  // Completes the items from the query's parser information: the select
  // list's items completed in place or added, the ORDER BY's directions and
  // best item, the layout recomputed. Success flag (1 without a select).
  int bCompleteDescription(CSQLParserInfo* pParser);
  // The select list's item at position nPos: the existing item at nPos
  // completed, else a new one added. Success flag. *ppItem (may be null)
  // receives the item completed or added (no reference), null when none.
  int _bCompleteItemDescription(CSQLParserInfo* pParser, int bSingleTable, IInfoRubrique* piParserItem,
                                int nPos, CNAItemDescription** ppItem = nullptr);
  // The item's parser kind and database table from the parser item; 1.
  int _bCompleteItemDescription(CNAItemDescription* pItem, CSQLParserInfo* pParser,
                                IInfoRubrique* piParserItem);
  // A new item from a table column's description piSource. Success flag;
  // *ppItem (may be null) receives the item added (no reference).
  int _bAjouteItemDescription(INAItemDescription* piSource, CSQLParserInfo* pParser,
                              IInfoRubrique* piParserItem, int bSingleTable,
                              CNAItemDescription** ppItem = nullptr);
  // A new item from a calculated select item. Success flag; *ppItem as
  // above.
  int _bAjouteItemDescription(IInfoRubrique* piParserItem, CNAItemDescription** ppItem = nullptr);

  // Engine type code (0 to 41) to item type; any code above 41 gives
  // NA_IT_MEMOTEXTE.
  static eNA_ITEMTYPE g_eGetNAItemType(std::uint32_t nEngineCode);

 private:
  void _DeleteIfUnreferenced();
  // The connection back through the driver (a plain release without one).
  void _ReleaseConnection();
  // User error nId with the location line (8, nSite) added to the error
  // object, the information names (pszTable, pszItem); dropped without one.
  void _AddUserError(unsigned int nId, int nSite, const wchar_t* pszTable, const wchar_t* pszItem,
                     const wchar_t* pszArg1, const wchar_t* pszArg2);
  void _SetErrorNoMemory();
  // A new item from the driver's factory (a plain one without a driver);
  // null, with the no-memory error, when none can be had.
  CNAItemDescription* _pclAllocItem();
  // Takes pItem out of the keys (when it is one) and renumbers the keys
  // after it.
  void _RemoveKey(CNAItemDescription* pItem);
  void _RemoveMemo(CNAItemDescription* pItem);
  // pItem's place among the keys; -1 when it is none of them.
  int _nKeyPlace(const CNAItemDescription* pItem) const;
  // Runs the catalogue query that pfnQuery writes through the SQL face and
  // hands its result set, when there is one, to pfnRead. Success flag.
  int _bImport(int (CNADataSourceDescription::*pfnQuery)(CXYStringConcat<wchar_t>*),
               int (CNADataSourceDescription::*pfnRead)(CNAStatementSQL*));

  CNAError* m_pclError = nullptr;
  std::uint32_t m_nRef = 0;
  std::uint32_t m_nExternalRef = 0;
  CNAConnectionDescription* m_pclConnection = nullptr;
  CTString m_sLogicalName;
  CTString m_sDBTableName;
  CTString m_sExtendedInfo;
  CTString m_sType;
  CTString m_sOwner;
  std::uint32_t m_nDiskRecordSize = 0;
  std::uint32_t m_nMemoryRecordSize = 0;
  std::uint32_t m_nValueCount = 0;
  CNARefArray<CNAItemDescription> m_tabItems{20};
  CNARefArray<CNAItemDescription> m_tabKeys{10};
  CNARefArray<CNAItemDescription> m_tabMemos{10};
  INAItemDescription* m_piBestParseItem = nullptr;
};
KX_CINTERF_REF_TRAITS(CNADataSourceDescription)
