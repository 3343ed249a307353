// CNADataSourceDescription: the description of one table or query result
// (its items, keys and memos) that the library hands to the runtime.
//
// Declared here with what the driver and the item descriptions need of it;
// the data-source layer completes it (items, keys, record sizes, the reading
// from the server):
// - the runtime's interface INADataSourceDescription: versions 6 and 1, its
//   logical and server names, the connection's default database; no item,
//   key or memo yet, so the counts and record sizes are 0 and the lookups
//   answer null;
// - bInitDataSourceDescriptionFromDB: names the description after the
//   table and reads its items from the server through the catalogue query
//   a database-specific description supplies (_bGetQueryShowColumns); the
//   generic description has none, so the reading fails;
// - nGetNumKeys, pclNAGetCorrespondingItem (an item by name with an
//   external reference for the caller, null when none), g_eGetNAItemType
//   (engine type code of the SQL runtime to item type).
//
// Counts: a CInterf (internal references) plus the runtime's external ones;
// deleted when both are 0. The connection (may be null) is held with one
// internal reference; the error object (may be null) is borrowed and
// outlives the description.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CTString.h"
#include "INADataSourceDescription.h"
#include "ItemTypes.h"

class CNAConnectionDescription;
class CNAError;
class CNAItemDescription;
template <typename T>
class CXYStringConcat;

class CNADataSourceDescription : public INADataSourceDescription, public CInterf {
 public:
  CNADataSourceDescription() = default;
  CNADataSourceDescription(CNAConnectionDescription* connection, CNAError* error);
  ~CNADataSourceDescription() override;

  // The first item named `pszName`, with one external reference for the
  // caller; null when none. Bit 0 of nMode cuts trailing blanks from both
  // names before the comparison (mode 3, as the record layouts ask; mode 2
  // compares the names as they stand). The generic description holds no
  // items: null.
  virtual CNAItemDescription* pclNAGetItem(const wchar_t* pszName, int nMode);

  // ---- INADataSourceDescription ------------------------------------------
  std::uint32_t nGetVersion() override { return 6; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 0xFFFFFFFFu; }
  std::uint32_t nGetNACompatSince() override { return 0xFFFFFFFFu; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override { ++m_nExternalCount; }
  // One external reference less (nothing at 0); deleted when both counts
  // are 0 then. Returns the new external count.
  std::uint32_t nExternalRelease() override;
  const wchar_t* pszGetLogicalName() override { return m_sLogicalName.pszGet(); }
  const wchar_t* pszGetPhysicalName() override { return m_sLogicalName.pszGet(); }
  const wchar_t* pszGetDefaultDirectory() override { return L""; }
  std::uint32_t nGetDiskRecordSize() override { return 0; }
  std::uint32_t nGetMemoryRecordSize() override { return 0; }
  std::uint32_t nGetNumItems() override { return 0; }
  // Number of keys described.
  std::uint32_t nGetNumKeys() override;
  std::uint32_t nGetNumMemos() override { return 0; }
  std::uint32_t nGetNumItemPhysicallyInFic() override { return nGetNumItems(); }
  INAItemDescription* piNAGetItem(const wchar_t* pszName) override;
  INAItemDescription* piNAGetItem(std::uint32_t nIndex) override;
  INAItemDescription* piNAGetKey(std::uint32_t nIndex) override;
  INAItemDescription* piNAGetMemo(std::uint32_t nIndex) override;
  int eGetNASubDataType() override { return 1; }
  const wchar_t* pszGetDBTableName() override { return m_sDBTableName.pszGet(); }
  INAItemDescription* piGetBestParseItemDesc() override { return nullptr; }
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

  // ---- The library's side ----------------------------------------------------
  void SetLogicalName(const wchar_t* name) { m_sLogicalName = name != nullptr ? name : L""; }
  void SetDBName(const wchar_t* name) { m_sDBTableName = name != nullptr ? name : L""; }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  CNAError* pclGetError() const { return m_pclError; }

  // Describes table `pszTable` from the server: both names become it, then
  // the items are read. 1 when they were; 0, the reason in the error object
  // where there is one, when they cannot be (`nUnused` is passed on).
  virtual int bInitDataSourceDescriptionFromDB(const wchar_t* pszTable, int nUnused);

  // The item named pszName, with one external reference for the caller;
  // null when none (or pszName is null).
  virtual CNAItemDescription* pclNAGetCorrespondingItem(const wchar_t* pszName);

  // Engine type code (0 to 41) to item type; any code above 41 gives
  // NA_IT_MEMOTEXTE.
  static eNA_ITEMTYPE g_eGetNAItemType(std::uint32_t nEngineCode);

 protected:
  // Writes the catalogue query that lists the table's columns into *out.
  // The generic description knows none: false.
  virtual int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* out);

 private:
  CNAConnectionDescription* m_pclConnection = nullptr;
  CNAError* m_pclError = nullptr;
  CTString m_sLogicalName;
  CTString m_sDBTableName;
  CTString m_sExtendedInfo;
  CTString m_sType;
  CTString m_sOwner;
};
KX_CINTERF_REF_TRAITS(CNADataSourceDescription)
