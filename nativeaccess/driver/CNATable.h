// CNATable: one table (or executed query) as the driver shares it between
// every context that opens it, handed to the runtime as INATable.
//
// Declared here with what the driver needs: the identification string under
// which the driver registers it, the connection and the data-source
// description it works on, the runtime's interface with its references and
// last error, and the operations the driver calls on every table (close for
// a context, mode, lock cancelling, end of transaction, query run, deletion
// of the table's data, bind variables). The data-access layer completes it:
// until then a table has no data access, so it has nothing to close, no mode
// to refuse, no lock to cancel and no bind variables, and it cannot run a
// query or delete its data: those two fail with user error 8 ("not
// supported") in the table's error object instead of pretending success.
//
// Ownership: a CInterf (internal references for the library, external ones
// for the runtime); deleted when both counts are 0. The table holds one
// internal reference on its connection (may be null) and gives it back when
// it dies: through the driver that created it (nReleaseConnection, so that a
// connection only the registry still holds is closed and unregistered), or
// plainly when it was made without a driver. It holds one reference on its
// error object (may be null) and one external reference on its data-source
// description (may be null). The driver that created a table outlives it:
// its teardown releases every table before it goes.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CTString.h"
#include "INATable.h"
#include "KxOpaqueInterfaces.h"

class CNAConnectionDescription;
class CNADataAccess;
class CNADriver;
class CNAError;
class CNATransaction;
class INAConnectionDescription;
class INAContext;
class INADataSourceDescription;
class INAQueryParametersValue;
enum _eNA_HMODE : int;

class CNATable : public INATable, public CInterf {
 public:
  // A table identified by `identification` (copied; null: empty) on
  // `connection` (a reference taken when not null) for `source` (an
  // external reference taken when not null), reporting into `error` (a
  // reference taken when not null), returning its connection to `driver`
  // (may be null). Counts start at 0.
  CNATable(const wchar_t* identification, INADataSourceDescription* source,
           CNAConnectionDescription* connection, CNAError* error, CNADriver* driver);
  ~CNATable() override;

  // ---- INATable ----------------------------------------------------------
  std::uint32_t nGetVersion() override { return 11; }
  std::uint32_t nGetCompatSince() override { return 8; }
  std::uint32_t nGetNAVersion() override { return 0xFFFFFFFFu; }
  std::uint32_t nGetNACompatSince() override { return 0xFFFFFFFFu; }
  void NAVersion_EmptySlot_3() override {}
  // The runtime's references; the release answers the new external count
  // and deletes the table when both counts are 0 then (nothing at 0).
  void ExternalAddRef() override;
  std::uint32_t nExternalRelease() override;
  // The table's error object (the context does not matter while the table
  // has no data access).
  INAError* piGetLastError(INAContext* context) override;

  // ---- What the driver calls -----------------------------------------------
  const wchar_t* pszGetIdentification() const { return m_csIdentification.pszGet(); }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  INADataSourceDescription* piGetDataSource() const { return m_piDataSource; }
  CNAError* pclGetLastError() const { return m_pclError; }
  // The description's logical and server names ("" without a description).
  const wchar_t* pszGetLogicalName() const;
  const wchar_t* pszGetDBTableName() const;

  // Deletes the table's data on the server for `context`: 1 on success; 0
  // with the reason in the error object.
  virtual int bSupprimeFichier(INAContext* context);
  // Runs the runtime's query `name` into the table for `context`; *keep
  // (not null) tells whether the table is to stay registered. 1 on
  // success; 0 with the reason in the error object.
  virtual int bExecuteQuery(int* keep, INAContext* context, const wchar_t* name,
                            ISQLParserInformation* parser, unsigned int flags,
                            const INAQueryExecution* execution);
  // Closes the table for `context`: the result of freeing its data (1:
  // nothing was open).
  virtual int bHFerme(INAContext* context);
  // The table's answer to the runtime's mode for `context` (1: accepted).
  int bHMode(INAContext* context, _eNA_HMODE mode);
  // Gives up the record locks the table holds on `cnx` under `transaction`.
  void CancelRecordLock(INAConnectionDescription* cnx, CNATransaction* transaction);
  // The transaction of the table's connection ended.
  void SetTransactionTermined();
  // `access` leaves the table without being closed or told (its context is
  // going): the table's entry and reference on it go, and the
  // last-data-access record forgets it. Nothing else happens.
  void ForgetDataAccess(CNADataAccess* access);
  // The bind variables attached to the table (no reference added; null when
  // none). Attaching the same object again does nothing; else the previous
  // one loses the table's external reference and the new one (when not
  // null) gets one.
  INAQueryParametersValue* piGetQueryBindVariableNoRef() const { return m_piBindVariables; }
  void SetQueryBindVariable(INAQueryParametersValue* values);

 private:
  // User error 8 ("not supported") at site `site` in the error object.
  void _SetErrorNotSupported(int site);

  CTString m_csIdentification;
  INADataSourceDescription* m_piDataSource = nullptr;
  CNAConnectionDescription* m_pclConnection = nullptr;
  CNAError* m_pclError = nullptr;
  CNADriver* m_pclDriver = nullptr;
  INAQueryParametersValue* m_piBindVariables = nullptr;
};
KX_CINTERF_REF_TRAITS(CNATable)
