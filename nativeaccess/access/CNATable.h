// CNATable: one table (or executed query) as the driver shares it between
// every context that opens it, handed to the runtime as INATable.
//
// The table holds no record and no statement: each operation of the
// runtime finds the calling context's data access (CNADataAccess, kept by
// the context object CNAContext), forwards the call to it and answers its
// result unchanged. A context that has no data access for the table (it
// never opened it) gets user error 19 naming the table. Failures of the
// table itself go into its error object (the driver's); a data access
// reports into its context's error object, which piGetLastError(context)
// answers while the driver knows the context. Where a data access may go
// away with its failure (a failed open of a new one, a failed close,
// delete or query) its error is copied into the table's error object.
//
// Lookup: the last data access found is kept process-wide with the two
// identifiers of the runtime context it was found for (gpclLastDataAccess,
// gdwCtxID, gdwDataID, both compared in full), so that a run of calls from
// one context asks neither the driver nor the context again. It is cleared
// whenever that data access leaves a table.
//
// Ownership: a CInterf (internal references for the library, external ones
// for the runtime). nExternalRelease of the runtime's last reference
// destroys a table only the driver's registry still holds. The table holds
// one internal reference on its connection (may be null; given back through
// the driver that made it, else plainly), one on its error object (may be
// null), an external reference on its data-source description and on the
// bind variables attached to it (each may be null), and one internal
// reference on every data access of every context that works on it. A
// data access keeps only a plain pointer back to its table: the table's
// end takes each one out of its context, clears that pointer and the
// last-data-access record, so nothing finds a data access of a table that
// is gone.
//
// Threads: every operation that reads or changes shared state (counts,
// registries, error objects, the last-data-access record) holds the
// process-wide recursive driver lock (CNADriverLock) for its whole work;
// the runtime's slots also stop any exception there (the table's error
// then says out of memory, or names the missing client function).
#pragma once

#include <cstdint>
#include <vector>

#include "CInterf.h"
#include "CNADataAccess.h"
#include "CRefHashTable.h"
#include "CTString.h"
#include "INATable.h"
#include "KxOpaqueInterfaces.h"

class CNAConnectionDescription;
class CNAContext;
class CNADataAccess;
class CNADriver;
class CNAError;
class CNAStatement;
class CNATransaction;
class INAConnectionDescription;
class INAContext;
class INADataSourceDescription;
class INAQueryParametersValue;

class CNATable : public INATable, public CInterf {
 public:
  // A table identified by `identification` (copied; null: empty) on
  // `connection` (a reference taken when not null) for `source` (an
  // external reference taken when not null), reporting into `error` (a
  // reference taken when not null), returning its connection and asking
  // for contexts through `driver` (null: the process's driver). Counts
  // start at 0; no data access.
  CNATable(const wchar_t* identification, INADataSourceDescription* source,
           CNAConnectionDescription* connection, CNAError* error, CNADriver* driver);
  // Each data access leaves the table and its context (the context is
  // handed back to the driver, which lets an empty one go), its pointer to
  // the table is cleared and the last-data-access record forgets it; then
  // the description, the connection, the error object and the bind
  // variables are given back.
  ~CNATable() override;

  // ---- INATable: versions ---------------------------------------------------
  std::uint32_t nGetVersion() override { return 11; }
  std::uint32_t nGetCompatSince() override { return 8; }
  std::uint32_t nGetNAVersion() override { return 0xFFFFFFFFu; }
  std::uint32_t nGetNACompatSince() override { return 0xFFFFFFFFu; }
  void NAVersion_EmptySlot_3() override {}
  // ---- References and errors -------------------------------------------------
  void ExternalAddRef() override;
  // One runtime reference less. The last one, when only the driver's
  // registry holds the table, hands it to the driver's nReleaseTable, which
  // destroys it: 0. Otherwise the external count left (a table nobody
  // holds at all is deleted).
  std::uint32_t nExternalRelease() override;
  // The error object of the driver's context object for `context` when
  // there is one, else the table's. No reference added.
  INAError* piGetLastError(INAContext* context) override;
  // Whether `context`'s data access is open (false without one; nothing
  // raised).
  int bIsOpened(INAContext* context) override;
  // The description with an external reference for the caller; null when
  // the table has none.
  INADataSourceDescription* piGetDataSourceDescription() override;
  // ---- Forwarded to the context's data access (user error 19 without one) ---
  int bNbEnrNeedParse(INAContext* context, int* needParse, const wchar_t* key) override;
  // Gets or creates the data access without resetting any error; false
  // without one.
  int bHReindexe(INAContext* context, unsigned int kind, IGaugeControl* gauge) override;
  // Opening: the connection opened (created when missing for the two
  // creations), then the data access got or created and asked. A failure
  // of a data access this call created takes it out again, its error
  // copied into the table's; one that existed before stays.
  int bHCreationSiInexistant(INAContext* context, eNA_ACCESS access, const wchar_t* password) override;
  int bHCreation(INAContext* context, const wchar_t* password) override;
  int bHOuvre(INAContext* context, eNA_ACCESS access, const wchar_t* password) override;
  // The mode given to the context's data accesses of this table's logical
  // name and kept as the context's default; true when no context can be
  // had. The table's error is kept.
  int bHMode(INAContext* context, _eNA_HMODE mode) override;
  // Closes the context's data access and takes it out, whatever the close
  // answered (a failure copied into the table's error); detaches the bind
  // variables. True when the context has none. Virtual for the driver's
  // tests.
  int bHFerme(INAContext* context) override;
  int bHAjoute(INAContext* context, unsigned int flags, eNA_LOCKTYPE lock) override;
  int bHEcrit(INAContext* context, long record, unsigned int flags, eNA_LOCKTYPE lock) override;
  int bHRaye(INAContext* context, long record, eNA_LOCKTYPE lock) override;
  int bHSupprime(INAContext* context, long record, eNA_LOCKTYPE lock) override;
  int bHModifie(INAContext* context, long record, unsigned int flags, eNA_LOCKTYPE lock) override;
  int bHRecherche(INAContext* context, const wchar_t* item, const CAny* value, int searchMode, int bRead,
                  eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, int fromFirst, unsigned int flags) override;
  int bHLibere(INAContext* context) override;
  int bHLit(INAContext* context, long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) override;
  int bHLitxxx(INAContext* context, const wchar_t* item, eNA_PARSEDIRECTION direction, int bRead,
               eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, unsigned int flags) override;
  int bSkipRecord(INAContext* context, const wchar_t* item, eNA_PARSEDIRECTION direction, long count, int bRead,
                  eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, unsigned int flags) override;
  int bHBloqueFichier(INAContext* context, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) override;
  int bHDebloqueFichier(INAContext* context) override;
  int bHBloqueNumEnr(INAContext* context, long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) override;
  int bHDebloqueNumEnr(INAContext* context, long record) override;
  int bHEnDehors(INAContext* context, const wchar_t* item, int* out) override;
  int bEvalHTrouve(INAContext* context, const wchar_t* item, int* found, int* inFile) override;
  int bSetNextOperation(INAContext* context, eNA_OPERATION operation) override;
  // Neither error object is reset; without a data access user error 19
  // (with the table's connection) and 0.
  std::int64_t llGetRecNum(INAContext* context) override;
  int bGetRecNumState(INAContext* context, long record, unsigned int* state) override;
  // Both filters first pass the SQL-runtime check (see bCheckSQLRuntime).
  int bHFiltre(INAContext* context, ISQLParserInformation* parser, wchar_t* itemOut) override;
  int bHFiltre(INAContext* context, const wchar_t* item, const CAny* lower, int lowerIncluded, const CAny* upper,
               int upperIncluded, ISQLParserInformation* parser) override;
  // The flags are not passed on.
  int bHActiveFiltre(INAContext* context, const wchar_t* item, unsigned int flags) override;
  // True also when the context has no data access.
  int bHDesactiveFiltre(INAContext* context, const wchar_t* item, unsigned int flags) override;
  int bHRetourPosition(INAContext* context, int position, wchar_t* item, int keep, unsigned int kind) override;
  // True also when the context has no data access.
  int bHLiberePosition(INAContext* context, int position) override;
  int bHSauvePosition(INAContext* context, const wchar_t* item, int* position, unsigned int kind) override;
  int bHVersion(INAContext* context, int* version) override;
  int bHNbEnr(INAContext* context, long* count, unsigned int kind, unsigned int flags) override;
  int bHPositionCourante(INAContext* context, const wchar_t* item, int* position, eNA_PRECISION precision,
                         unsigned int flags) override;
  int bHPositionne(INAContext* context, const wchar_t* item, unsigned int position, eNA_PRECISION precision,
                   unsigned int flags) override;
  int bGetBLOB(INAContext* context, unsigned int memo, CAny* value) override;
  int bSetBLOB(INAContext* context, unsigned int memo, const CAny* value) override;
  int bGetRecord(INAContext* context, CNAXQRecord** record) override;
  int bSetRecord(INAContext* context, CNAXQRecord* record) override;
  int bHAttacheMemo(INAContext* context, unsigned int memo, const wchar_t* path) override;
  int bExtraitMemo(INAContext* context, unsigned int memo, const wchar_t* path) override;
  int bHAnnuleRecherche(INAContext* context, const wchar_t* item) override;
  int bHChangeCle(INAContext* context, const wchar_t* item, unsigned int flags) override;
  int bHConstruitValCle(INAContext* context, CAny* key, const wchar_t* item, unsigned int kind,
                        CAny** out) override;
  // ---- Not supported: user error 8 (type 7) in the table's error, copied
  // into the context's; false. The arguments are not touched. ----------------
  int bHInterditModif(INAContext* context) override;
  int bHFinInterditModif(INAContext* context) override;
  int bCalculateKeyValue(INAContext* context, const wchar_t* item, void** key, const void* record,
                         unsigned int* size, unsigned short kind, int flags) override;
  void FreeMemory(INAContext* context, void** memory) override;
  int bFreeCache(INAContext* context) override;
  int bCompareTablePosition(INAContext* context, int first, int second, int* same) override;
  int bTableVirtualMoveSupported() override { return 0; }
  int bTableVirtualMove(INAContext*, const wchar_t*, long*, unsigned int, int) override { return 0; }
  int bSupprimeTout(INAContext* context) override;
  void EmptySlot579() override {}
  void EmptySlot580() override {}
  void EmptySlot582() override {}
  void EmptySlot583() override {}
  void EmptySlot584() override {}
  void EmptySlot585() override {}
  void EmptySlot586() override {}
  void EmptySlot587() override {}
  void EmptySlot589() override {}
  void EmptySlot590() override {}
  void EmptySlot591() override {}
  void EmptySlot592() override {}
  void EmptySlot593() override {}
  void EmptySlot594() override {}

  // ---- What the driver calls -------------------------------------------------
  // Drops the table on the server for `context` (the connection opened,
  // the database created when missing). The context's data access is taken
  // out whatever the answer (a failure copied into the table's error).
  virtual int bSupprimeFichier(INAContext* context);
  // Runs the runtime's query `name` for `context`: the SQL-runtime check,
  // then the data access (got or created) runs it with `flags` as its
  // query mode; *resultSet (may be null) tells whether it gave a result
  // set. A result that is not only prepared becomes the table's
  // description. A failure is copied into the table's error, and a data
  // access without a prepared query is taken out. The table's error is
  // kept from before.
  virtual int bExecuteQuery(int* resultSet, INAContext* context, const wchar_t* name,
                            ISQLParserInformation* parser, unsigned int flags,
                            const INAQueryExecution* execution);

  // ---- Names and holders -------------------------------------------------------
  const wchar_t* pszGetIdentification() const { return m_csIdentification.pszGet(); }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  INADataSourceDescription* piGetDataSource() const { return m_piDataSource; }
  CNAError* pclGetLastError() const { return m_pclError; }
  CNAError* piGetLastError() const { return m_pclError; }
  // The description's logical and server names ("" without a description).
  const wchar_t* pszGetLogicalName() const;
  const wchar_t* pszGetDBTableName() const;
  // Number of data accesses the table holds.
  std::uint32_t nGetDataAccessCount();

  // ---- Table-wide operations -------------------------------------------------
  // Closes every data access (they stay); the AND of the answers (true
  // when none).
  int bCloseAllDataAccess();
  // Closes and takes out each data access of `context` (by its context
  // identifier) whose logical name is `name` (ignoring case and accents);
  // the AND of the closes, true when none matched.
  int bCloseAllDataAccess(INAContext* context, const wchar_t* name);
  // The automatic filter on `context`'s data accesses of logical name
  // `table` (all of the context's when it begins with '*'): the AND of
  // their answers (true when none). The second form sets the switch on the
  // first match only and answers true.
  int bFiltreAuto(INAContext* context, int on, const wchar_t* table, const wchar_t* name,
                  INADataSourceDescription* source);
  int bFiltreAuto(INAContext* context, int on, const wchar_t* table);
  // The first data access of the runtime context `contextId` (all 64 bits
  // compared), with a reference; null when none.
  CNADataAccess* pclFindDataAccessByContext(std::uint64_t contextId);
  // Each data access whose connection was made from `cnx` gives up its
  // record locks under `transaction`.
  void CancelRecordLock(INAConnectionDescription* cnx, CNATransaction* transaction);
  // Every data access but `from` is told of its write.
  void NotifyDataAccessOperation(CNADataAccess* from, eNAQUERYTYPE type, CNAStatement* statement,
                                 NA_WRITEPARSEFLAGS flags);
  // The transaction of the table's connection ended: every data access is
  // told.
  void SetTransactionTermined();
  // Whether `context`'s data access (got or created) runs another query
  // than `parser`'s; false without one or when this call created it.
  int bNeedCloseQuery(INAContext* context, ISQLParserInformation* parser);
  // `access` leaves this table only: the table's entry and reference go
  // (when the table holds it), its pointer to the table is cleared and the
  // last-data-access record forgets it. Neither the context nor the driver
  // is called (the context calls this while it empties itself).
  void ForgetDataAccess(CNADataAccess* access);
  // The bind variables attached to the table (no reference added; null when
  // none). Attaching the same object again does nothing; else the previous
  // one loses the table's external reference and the new one (when not
  // null) gets one.
  INAQueryParametersValue* piGetQueryBindVariableNoRef() const { return m_piBindVariables; }
  void SetQueryBindVariable(INAQueryParametersValue* values);

  // ---- The data-access lookups (each under the lock) ------------------------
  // The context's data access with a reference for the caller; null when
  // it has none. Never creates; answers a repeated call from the last
  // data-access record.
  CNADataAccess* _pclFindDataAccess(INAContext* context);
  // The same, creating the context object and the data access when
  // missing (*created, may be null, says whether this call made it; a new
  // one is registered in the table and told the table). Null when either
  // cannot be made (the context says why).
  CNADataAccess* _pclGetDataAccess(INAContext* context, int* created);
  // Registers `access` in the table (one reference) and tells it the table.
  bool __AddDataAccess(CNADataAccess* access);
  // Takes `access` out of `context`'s context object and out of the table
  // (the table's reference dropped only when it held it), forgets it in the
  // last-data-access record, and hands the context object back to the
  // driver. Nothing when the driver knows no such context.
  void _RemoveDataAccess(INAContext* context, CNADataAccess* access);
  // Copies `error` into the error of the driver's context object for
  // `context`; nothing when there is none.
  void _SetContextLastNAError(INAContext* context, CNAError* error);
  // The driver's context object (found, or made) with a reference, handed
  // back with _nReleaseContext.
  CNAContext* _pclFindContext(INAContext* context);
  CNAContext* _pclGetContext(INAContext* context);
  int _nReleaseContext(INAContext* context, CNAContext* pclContext);
  // The SQL-runtime check: without parser information, or once it passed
  // on the driver, true at once. Else the parser information's
  // compatibility is asked (this library kind 76, version 32; the runtime's
  // version written into CNADriver::s_nID_KXSQL): a refusal is user error
  // 16 (site 1), a runtime of version 31 or below user error 16 (site 2),
  // both in the table's error only; false. A pass is kept on the driver.
  int bCheckSQLRuntime(ISQLParserInformation* parser);

 private:
  // What a forwarded operation does when the context has no data access.
  enum class eMissing { Error19, Lenient, RecNum };
  // The forwarding procedure: the table's error reset (not for RecNum),
  // the data access found; none: user error 19 (or true for Lenient) and
  // `failure`; else its error reset (not for RecNum), `call(access)` run
  // and answered.
  template <class R, class F>
  R _tForward(INAContext* context, R failure, eMissing missing, F&& call);
  // The opening procedure around `call`; `create` opens the connection with
  // its open-or-create step.
  template <class F>
  int _bOpening(INAContext* context, bool create, F&& call);
  // User error `code` of the table at `site` (source 6) in the table's
  // error object: message arguments as given, the logical name as info name
  // when `named`, typed `type`, with the connection when `withConnection`.
  void _RaiseUserError(unsigned int code, int site, eNA_ERRORTYPE type, bool named, bool withConnection,
                       const wchar_t* arg1 = nullptr, const wchar_t* arg2 = nullptr);
  // The unsupported operation of `site`: user error 8, copied into the
  // context's error; false.
  int _bNotSupported(INAContext* context, int site);
  // Under the lock, work(access) on each data access of the table, each
  // held by a reference of its own for the walk.
  template <class F>
  void _ForEachDataAccess(F&& work);
  // The driver the table reports through: its own, else the process's.
  CNADriver* _pclDriver() const;

  CTString m_csIdentification;
  INADataSourceDescription* m_piDataSource = nullptr;
  CNAConnectionDescription* m_pclConnection = nullptr;
  CNAError* m_pclError = nullptr;
  CNADriver* m_pclDriver = nullptr;
  INAQueryParametersValue* m_piBindVariables = nullptr;
  CNARefHashTable<CNADataAccess*, CNADataAccess*> m_htDataAccess;
};
KX_CINTERF_REF_TRAITS(CNATable)
