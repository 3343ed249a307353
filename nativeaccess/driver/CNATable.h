// CNATable: one table (or executed query) as the driver shares it between
// every context that opens it.
//
// Declared here with what the driver's registry needs: the identification
// string under which the driver registers it, the connection and the
// data-source description it works on, and the per-context close. The
// data-access layer completes it.
//
// Ownership: a CInterf (internal references for the library, external ones
// for the runtime). The table holds one internal reference on its
// connection (may be null) and gives it back when it dies: the connection through the driver that
// created it (nReleaseConnection, so that a connection only the registry
// still holds is closed and unregistered), or plainly when it was made
// without a driver. The driver that created a table outlives it: its
// teardown releases every table before it goes.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CTString.h"

class CNAConnectionDescription;
class CNADriver;
class CNAError;
class INAContext;
class INADataSourceDescription;

class CNATable : public CInterf {
 public:
  // A table identified by `identification` (copied; null: empty) on
  // `connection` (a reference taken when not null) for `source` (not held),
  // reporting into `error` (not held), returning its connection to
  // `driver` (may be null). Counts start at 0.
  CNATable(const wchar_t* identification, INADataSourceDescription* source,
           CNAConnectionDescription* connection, CNAError* error, CNADriver* driver);
  ~CNATable() override;

  const wchar_t* pszGetIdentification() const { return m_csIdentification.pszGet(); }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  INADataSourceDescription* piGetDataSource() const { return m_piDataSource; }

  // The runtime's references.
  void ExternalAddRef() { ++m_nExternalCount; }
  // One external reference less; deleted when both counts are 0 then.
  // Returns the new external count.
  std::uint32_t nExternalRelease();

  // Closes the table for `context`: answers 1 (nothing is open yet).
  virtual int bHFerme(INAContext* context);

 private:
  CTString m_csIdentification;
  INADataSourceDescription* m_piDataSource = nullptr;
  CNAConnectionDescription* m_pclConnection = nullptr;
  CNAError* m_pclError = nullptr;
  CNADriver* m_pclDriver = nullptr;
};
KX_CINTERF_REF_TRAITS(CNATable)
