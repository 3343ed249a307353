// CNADataSourceDescription: the description of one table or query result
// (its items, keys and memos) that the library hands to the runtime.
//
// Declared here with what the item descriptions need of it; the
// data-source layer completes it (items, keys, record sizes, the runtime's
// interface):
// - nGetNumKeys: the number of keys described so far;
// - pclNAGetCorrespondingItem: the item of a given name, handed with an
//   external reference that the caller gives back with nExternalRelease
//   (null when there is none);
// - g_eGetNAItemType: the item type of an engine type code of the SQL
//   runtime (calculated columns of a query).
//
// A CInterf: counted by its internal references. Until the data-source
// layer fills it, the base answers 0 keys and no item; subclasses answer
// their own.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "ItemTypes.h"

class CNAItemDescription;

class CNADataSourceDescription : public CInterf {
 public:
  CNADataSourceDescription() = default;
  ~CNADataSourceDescription() override;

  // Number of keys described.
  virtual std::uint32_t nGetNumKeys();
  // The item named pszName, with one external reference for the caller;
  // null when none (or pszName is null).
  virtual CNAItemDescription* pclNAGetCorrespondingItem(const wchar_t* pszName);

  // Engine type code (0 to 41) to item type; any code above 41 gives
  // NA_IT_MEMOTEXTE.
  static eNA_ITEMTYPE g_eGetNAItemType(std::uint32_t nEngineCode);
};
KX_CINTERF_REF_TRAITS(CNADataSourceDescription)
