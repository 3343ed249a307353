// The description of one table or query result as the runtime reads it:
// its names, the sizes of its native record, its items, keys and memos, and
// the item that best orders a browse.
//
// The runtime calls these operations by slot number: the order below is the
// table's and must not change (slots 0 to 4 come from INAVersion; ten empty
// slots end it). There is no virtual destructor: the runtime ends its use of
// a description only through nExternalRelease.
//
// References: the runtime holds a description through ExternalAddRef and
// gives it back with nExternalRelease, which answers the new count. Item
// descriptions handed out (piNAGetItem, piNAGetKey, piNAGetMemo,
// piGetBestParseItemDesc) carry one external reference for the caller, who
// gives it back with the item's nExternalRelease; null when there is none.
// Texts answered stay owned by the description and valid while it lives
// and is not changed. The index operations check the index: one at or
// beyond the matching count answers null and takes no reference.
#pragma once

#include <cstdint>

#include "INAVersion.h"

class INAItemDescription;

class INADataSourceDescription : public INAVersion {
 public:
  // 5, 6: the runtime's (external) reference.
  virtual void ExternalAddRef() = 0;
  virtual std::uint32_t nExternalRelease() = 0;
  // 7 to 9: the logical name; the physical name; the default directory.
  virtual const wchar_t* pszGetLogicalName() = 0;
  virtual const wchar_t* pszGetPhysicalName() = 0;
  virtual const wchar_t* pszGetDefaultDirectory() = 0;
  // 10, 11: bytes of the native record's value area; of the in-memory record.
  virtual std::uint32_t nGetDiskRecordSize() = 0;
  virtual std::uint32_t nGetMemoryRecordSize() = 0;
  // 12 to 15: counts of items, keys, memos and of the items present in the
  // native record (each owns one NULL-flag bit).
  virtual std::uint32_t nGetNumItems() = 0;
  virtual std::uint32_t nGetNumKeys() = 0;
  virtual std::uint32_t nGetNumMemos() = 0;
  virtual std::uint32_t nGetNumItemPhysicallyInFic() = 0;
  // 16 to 19: an item by exact name; by index; a key by index; a memo by
  // index.
  virtual INAItemDescription* piNAGetItem(const wchar_t* pszName) = 0;
  virtual INAItemDescription* piNAGetItem(std::uint32_t nIndex) = 0;
  virtual INAItemDescription* piNAGetKey(std::uint32_t nIndex) = 0;
  virtual INAItemDescription* piNAGetMemo(std::uint32_t nIndex) = 0;
  // 20: the kind of data source (1: a table of the native-access layer).
  virtual int eGetNASubDataType() = 0;
  // 21: the table's name on the server.
  virtual const wchar_t* pszGetDBTableName() = 0;
  // 22: the item that best orders a browse.
  virtual INAItemDescription* piGetBestParseItemDesc() = 0;
  // 23 to 25: extended information, type and owner texts.
  virtual const wchar_t* pszGetExtendedInfo() = 0;
  virtual const wchar_t* pszGetType() = 0;
  virtual const wchar_t* pszGetOwner() = 0;
  // 26: the database the table lives in.
  virtual const wchar_t* pszGetDefaultDatabase() = 0;
  // 27, 28: extension and caption (null when none).
  virtual const wchar_t* pszGetExtension() = 0;
  virtual const wchar_t* pszGetCaption() = 0;
  // 29: whether the source supports NULL values.
  virtual int bGetNullSupported() = 0;
  // 30 to 39: empty; they do nothing.
  virtual void EmptySlot137() = 0;
  virtual void EmptySlot138() = 0;
  virtual void EmptySlot139() = 0;
  virtual void EmptySlot140() = 0;
  virtual void EmptySlot141() = 0;
  virtual void EmptySlot142() = 0;
  virtual void EmptySlot143() = 0;
  virtual void EmptySlot144() = 0;
  virtual void EmptySlot145() = 0;
  virtual void EmptySlot146() = 0;

 protected:
  ~INADataSourceDescription() = default;
};
