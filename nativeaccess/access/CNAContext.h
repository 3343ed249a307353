// CNAContext: the library's side of one runtime context: the data accesses
// it has opened, one per data identifier of the runtime context, the error
// object they all report into, its default locking mode and the logical
// name given to the tables it opens next.
//
// Ownership: a CInterf; counts start at 0. The context holds one reference
// on its error object (made by the process driver's factory) and one on
// each data access it keeps, under the data identifier the runtime context
// answered when it was added. A data access it keeps knows it (a plain
// back pointer) and keeps its identifier by value; taking a data access out
// of the context clears that back pointer.
//
// Threads: every public operation takes the process-wide driver lock;
// _AddDataAccess, _SetDefaultMode and _pclAllocDataAccess are called with
// it held.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNADataAccess.h"
#include "CRefHashTable.h"
#include "CTString.h"

class CNAConnectionDescription;
class CNAError;
class INAContext;
class INADataSourceDescription;

class CNAContext : public CInterf {
 public:
  // Counts 0, an error object from the process driver (slot 52; none
  // without a driver or memory) with a reference, identifier all ones,
  // default mode 1, no next logical name, no data access.
  CNAContext();
  // Gives back the error object and every data access still kept (each
  // detached first).
  ~CNAContext() override;

  // ---- Virtual operations, in slot order after CInterf's -------------------
  // Both 2.
  virtual std::uint32_t nGetVersion();
  virtual std::uint32_t nGetCompatSince();
  // A new data access from the process driver's factory (counts 0); null
  // without a driver or when none can be made.
  virtual CNADataAccess* _pclAllocDataAccess(INADataSourceDescription* source,
                                             CNAConnectionDescription* connection, CNAError* error);

  // The runtime context's identifier, recorded when the driver registers
  // the context.
  std::uint64_t nGetNumber() const { return m_nNumber; }
  void SetNumber(std::uint64_t number) { m_nNumber = number; }
  CNAError* pclGetError() const { return m_pclError; }
  _eNA_HMODE eGetDefaultMode() const { return m_eDefaultMode; }
  void _SetDefaultMode(_eNA_HMODE mode) { m_eDefaultMode = mode; }

  const wchar_t* pszGetNextLogicalName() const { return m_csNextLogicalName.pszGet(); }
  void SetNextLogicalName(const wchar_t* name) { m_csNextLogicalName = name != nullptr ? name : L""; }

  // ---- Data accesses ----------------------------------------------------------
  // The data access kept for the runtime context's data identifier, with a
  // reference for the caller; null when none.
  CNADataAccess* pclFindDataAccess(INAContext* context);
  // Finds or creates the data access of the runtime context's data
  // identifier; a new one is made on `source` and `connection` reporting
  // into this context's error object and kept. *created (may be null)
  // tells whether this call made it. A reference for the caller; null, with
  // the out-of-memory error in this context's error object, when none can
  // be made or kept.
  CNADataAccess* pclGetDataAccess(INAContext* context, CNAConnectionDescription* connection,
                                  INADataSourceDescription* source, int* created);
  // Keeps `access` under the runtime context's data identifier (one
  // reference) and binds it to this context. False, nothing kept, when it
  // cannot be stored.
  bool _AddDataAccess(INAContext* context, CNADataAccess* access);
  // Takes `access` out: the entry under the runtime context's data
  // identifier when it holds `access`, else the entry that holds it under
  // any identifier; the context's reference goes and the data access is
  // detached. Nothing happens when no entry holds it.
  void RemoveDataAccess(INAContext* context, CNADataAccess* access);
  // Takes every data access out: each open one is closed (whatever the
  // result), its table forgets it (entry, reference and the last-data-access
  // record), it is detached from table and context, and the context's
  // reference goes. The context is empty afterwards.
  void CloseAllDataAccess();
  // Number of data accesses kept.
  std::uint32_t nGetDataAccessCount();
  // Gives `mode` to every data access whose logical name equals `name`
  // (ignoring case and accents) and ANDs their answers (true when none
  // matches); the mode becomes the context's default in every case.
  int bHMode(const wchar_t* name, _eNA_HMODE mode);
  // The first data access working on that very connection whose server
  // table name (or alias name) equals `name` (ignoring case and accents),
  // with a reference; null when none.
  CNADataAccess* pclFindDataAccessByDBTableName(CNAConnectionDescription* connection, const wchar_t* name);
  CNADataAccess* pclFindDataAccessByAliasName(CNAConnectionDescription* connection, const wchar_t* name);

 private:
  // The runtime context's data identifier (0 without a context).
  static unsigned long _nDataID(INAContext* context);
  // The first data access on `connection` whose name (by `name`) matches.
  CNADataAccess* _pclFindByName(CNAConnectionDescription* connection, const wchar_t* name,
                                const wchar_t* (*pfnName)(CNADataAccess*));

  CNAError* m_pclError = nullptr;
  std::uint64_t m_nNumber = ~std::uint64_t{0};
  _eNA_HMODE m_eDefaultMode = static_cast<_eNA_HMODE>(1);
  CTString m_csNextLogicalName;
  CNARefHashTable<unsigned long, CNADataAccess*> m_htDataAccess;
};
KX_CINTERF_REF_TRAITS(CNAContext)
