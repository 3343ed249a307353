// CNAContext: the library's side of one runtime context: the data accesses
// it holds (one per table) and the logical name given to its next query.
//
// Declared here with what the driver's context registry needs; the
// data-access layer completes it.
//
// Ownership: a CInterf; counts start at 0. The context holds one reference
// on each data access it keeps; CloseAllDataAccess gives them all back.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNADataAccess.h"
#include "CRefArray.h"
#include "CTString.h"

class CNAContext : public CInterf {
 public:
  CNAContext();
  ~CNAContext() override;

  // The runtime context's number, recorded when the driver registers it.
  std::uint64_t nGetNumber() const { return m_nNumber; }
  void SetNumber(std::uint64_t number) { m_nNumber = number; }

  const wchar_t* pszGetNextLogicalName() const { return m_csNextLogicalName.pszGet(); }
  void SetNextLogicalName(const wchar_t* name) { m_csNextLogicalName = name != nullptr ? name : L""; }

  // Keeps `access` (one reference taken). False when it cannot be stored.
  bool bAddDataAccess(CNADataAccess* access);
  // Number of data accesses kept.
  std::uint32_t nGetDataAccessCount();
  // Gives back every data access.
  void CloseAllDataAccess();

 private:
  std::uint64_t m_nNumber = 0;
  CTString m_csNextLogicalName;
  CRefArray<CNADataAccess> m_tabDataAccess;
};
KX_CINTERF_REF_TRAITS(CNAContext)
