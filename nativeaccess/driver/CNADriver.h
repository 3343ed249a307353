// CNADriver: the native-access driver, handed to the runtime as INADriver.
//
// It owns the process-wide registries of the layer:
// - connections: one CNAConnectionDescription per distinct connection key
//   (bBuildCnxIdentification), compared without regard to case or accents,
//   except the user id and the password, which the key carries encoded so
//   that folding cannot merge two logins;
// - tables: one CNATable per "Table=<name>;<connection key>", shared by all
//   contexts, plus the kept query tables keyed
//   "CTX=<64-bit context number>;Table=<query>;<connection key>";
// - contexts: one CNAContext per runtime context number.
// Each registry holds one internal reference on every value and its own copy
// of every key; the connection and table registries also remember their
// last successful lookup (cleared whenever that object leaves).
//
// It holds the driver's error object (one reference; AllocError replaces it),
// the SQL face (created on first need through slot 61, one reference), the
// runtime's interfaces (stored, not counted) and the query-dump captions. It
// is the factory of the whole generic layer (slots 44-61): the concrete
// driver overrides the slots of the classes it specialises; slots 49 and 59
// have no base behaviour.
//
// Counting rules (every count is plain and changed under the process-wide
// lock, CNADriverLock):
// - a registry lookup (_pclFind*, _pclGet*, pclGetConnectionBy*,
//   pclFindContext, pclGetContext) hands out one reference for the caller,
//   which it gives back with nReleaseConnection, nReleaseTable or
//   nReleaseContext (or a plain nRelease where the caller says so);
// - an open connection holds one more reference, counted per connection
//   (_AddOpenReference); _bCloseConnection drops one only while some remain;
// - a removal from a registry takes out only the entry holding that very
//   object, and drops the registry's reference and key only when it found
//   it.
//
// Locking: every public operation that touches a count, a registry, the
// error object or the server takes the recursive process-wide lock first
// (then resets the error where it does), and gives it back on every way out,
// also when an exception passes (unchanged).
//
// Lifetime: created by the library entry with external count 1 and an error
// object (bInitDriver); the last nExternalRelease deletes it. Destruction
// resets the error, runs the teardown (_Term), forgets s_pclDriver if it
// names this driver, then frees the registries. A concrete driver whose
// _BeforeDeath matters calls _Term from its own destructor (the base's
// destructor no longer reaches the override).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "CNAConnectionDescription.h"
#include "CNAContext.h"
#include "CNATable.h"
#include "CRefHashTable.h"
#include "CTString.h"
#include "INADriver.h"

class CNACommand;
class CNAColumn;
class CNAConvertVariant;
class CNADataAccess;
class CNADataSourceDescription;
class CNADriverSQL;
class CNAError;
class CNAIDAuto;
class CNAItemDescription;
class CNAParameter;
class CNASQLColumn;
class CNAStatement;
class CNATransaction;
class CTabValParser;
class INAItemDescription;

class CNADriver : public INADriver {
 public:
  // Number of query-dump captions.
  static constexpr int knCaptionCount = 28;

  // External count 0, no error object (bInitDriver makes it), empty
  // registries of size 7. Points the item descriptions' clone factory at
  // the process's driver.
  CNADriver();
  CNADriver(const CNADriver&) = delete;
  CNADriver& operator=(const CNADriver&) = delete;

  // ---- INADriver (slots 0 to 38) -------------------------------------
  std::uint32_t nGetVersion() override;        // 0: 18
  std::uint32_t nGetCompatSince() override;    // 1: 17
  std::uint32_t nGetNAVersion() override;      // 2: all ones
  std::uint32_t nGetNACompatSince() override;  // 3: all ones
  void NAVersion_EmptySlot_3() override;       // 4
  void ExternalAddRef() override;              // 5
  std::uint32_t nExternalRelease() override;   // 6
  // The driver operations. Each that touches a count, a registry, the error
  // object or the server takes the process-wide lock first and then, where
  // it does, resets the driver's error object; the reason of a failure is
  // left in that error object (piGetLastError).
  // 1: the SQL face (made on first need) with one external reference added
  // for the caller; any other n, or no SQL face: null.
  void* piGetInterface(int n) override;                                       // 7
  int bOpenConnection(INAConnectionDescription* cnx) override;                // 8
  int bCloseConnection(INAConnectionDescription* cnx) override;               // 9
  int bCopyContext(INACopyCtx* copy, INAContext* from, INAContext* to,
                   unsigned int flags) override;                              // 10: 0
  INAError* piGetLastError() override;                                        // 11
  int bHMode(INAContext* context, _eNA_HMODE mode) override;                  // 12
  INATable* piGetTable(INAConnectionDescription* cnx, INADataSourceDescription* source) override;  // 13
  int bGetTableList(CAny* result, INAConnectionDescription* cnx, unsigned int flags) override;     // 14
  INADataSourceDescription* piGetTableDesc(const wchar_t* name, INAConnectionDescription* cnx) override;  // 15
  int bHExecuteRequeteSQL(INATable** table, INAContext* context, const wchar_t* name,
                          INAConnectionDescription* cnx, ISQLParserInformation* parser,
                          unsigned int flags) override;                       // 16
  int bCloseContext(INAContext* context) override;                            // 17
  int bTransactionBegin(INAConnectionDescription* cnx, const wchar_t* name) override;     // 18
  int bTransactionCommit(INAConnectionDescription* cnx, const wchar_t* name) override;    // 19
  int bTransactionRollBack(INAConnectionDescription* cnx, const wchar_t* name) override;  // 20
  int bSQLBloqueTable(INAConnectionDescription* cnx, const wchar_t* table) override;      // 21
  int bSQLBloqueRequete(INAConnectionDescription* cnx, ISQLParserInformation* parser) override;  // 22
  int bSQLFormatColonne(INAConnectionDescription* cnx, CAny* result) override;  // 23
  int bHConnexionDiagnose(CAny* result, INAConnectionDescription* cnx, const wchar_t* text,
                          unsigned int flags) override;                       // 24
  int bGetProviderList(CAny* result) override;                                // 25
  int bTableExists(int* exists, const wchar_t* name, INAConnectionDescription* cnx) override;  // 26
  int bGetLinkList(CAny* result, const wchar_t* name, INADataSourceDescription* source,
                   INAConnectionDescription* cnx, unsigned int flags) override;  // 27
  int bGetListeSource(CAny* result, int kind) override;                       // 28
  int bSetQueryParameters(INAContext* context, INAConnectionDescription* cnx,
                          INAQueryParametersValue* values) override;          // 29: 1
  // Stores both (not counted); 1.
  int bSetVMAndLibShop(ILibShop* libShop, IVMData* vmData) override;          // 30
  int bFiltreAuto(INAContext* context, INAConnectionDescription* cnx, int mode, const wchar_t* text1,
                  INADataSourceDescription* source1, const wchar_t* text2,
                  INADataSourceDescription* source2) override;                // 31
  int SetNextLogicalName(INAContext* context, const wchar_t* name) override;  // 32
  int bHExecuteRequeteSQLEx(INATable** table, INAContext* context, const wchar_t* name,
                            INAConnectionDescription* cnx, ISQLParserInformation* parser,
                            unsigned int flags, const INAQueryExecution* execution) override;  // 33
  int bFreeDataSource(INAContext* context, const wchar_t* name, INAConnectionDescription* cnx) override;  // 34
  int bValidConnection(INAConnectionDescription* cnx) override;               // 35: 1
  // Stores the host interface here and for the index keys (XQForNA_Set);
  // 1.
  int bSetXQ(IXQForNA* xq) override;                                          // 36
  int bSupprimeFichier(INAContext* context, INAConnectionDescription* cnx, const wchar_t* name,
                       INADataSourceDescription* source) override;            // 37
  int bGetDatabaseList(CXYString<wchar_t>* result, INAConnectionDescription* cnx,
                       unsigned int flags) override;                          // 38

  // ---- The driver's own slots (39 to 66) ------------------------------
  virtual ~CNADriver();                                                       // 39, 40
  virtual int bSetCharset(unsigned int charset, void* reserved);              // 41: 1
  // *out = the connection key of `cnx` (see the class comment); 1.
  virtual int bBuildCnxIdentification(CTString* out, INAConnectionDescription* cnx);  // 42
  // The SQL face, created on first call; null when it cannot be made. No
  // reference added.
  virtual CNADriverSQL* pclGetDriverSQL();                                    // 43
  // The factories give new objects with counts 0 (the caller takes the
  // first reference), or null when they cannot make one.
  virtual CNAConvertVariant* pclAllocVariant(CNAError* error, CNAConnectionDescription* cnx);       // 44
  virtual CNAConvertVariant* pclAllocVariantRowID(CNAError* error, CNAConnectionDescription* cnx);  // 45: null
  virtual CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* cnx,
                                                                  CNAError* error);  // 46
  virtual CNAContext* pclAllocContext();                                      // 47
  virtual CNADataAccess* pclAllocDataAccess(INADataSourceDescription* source,
                                            CNAConnectionDescription* cnx, CNAError* error);  // 48
  virtual CNAStatement* pclAllocStatement(CNADataAccess* access, CNAConnectionDescription* cnx,
                                          CNAError* error) = 0;               // 49
  // A column that reads its value from the server (CNASQLColumn); null
  // for item types 0 and 8 and types above 31.
  virtual CNASQLColumn* pclAllocColumn(CNAError* error, INAItemDescription* item);  // 50
  virtual CNACommand* pclAllocCommand(CNAError* error, CNAConnectionDescription* cnx);  // 51
  virtual CNAError* pclAllocError();                                          // 52
  // A new CNAIDAuto (counts 0); null when it cannot be allocated.
  virtual CNAIDAuto* pclAllocIDAuto();                                        // 53
  // A description of table `name` initialised from the database, with one
  // reference for the caller; null (the reason in the driver's error) when
  // it cannot be had.
  virtual CNADataSourceDescription* _pclGetTableDesc(const wchar_t* name, CNAConnectionDescription* cnx);  // 54
  virtual CNAParameter* pclAllocParameter(CNAConvertVariant* variant, unsigned long size,
                                          unsigned int kind, const wchar_t* name);  // 55
  virtual void CancelRecordLock(INAConnectionDescription* cnx, CNATransaction* transaction);  // 56
  virtual CNAItemDescription* pclAllocItemDescription();                      // 57
  virtual void OnFatalErrorAddDebugMessage(CNAError* error, CNAConnectionDescription* cnx);  // 58
  // The connection object for key `identification` and the runtime's
  // description `cnx`.
  virtual CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* identification,
                                                                   INAConnectionDescription* cnx) = 0;  // 59
  virtual CNATable* _pclAllocTable(const wchar_t* identification, INADataSourceDescription* source,
                                   CNAConnectionDescription* cnx, CNAError* error);  // 60
  virtual CNADriverSQL* _pclAllocDriverSQL(CNAError* error);                  // 61: null
  virtual int _bGetDatabaseList(CXYString<wchar_t>* result, CNAConnectionDescription* cnx,
                                unsigned int flags);                          // 62
  virtual int _bGetTableList(CAny* result, CNAConnectionDescription* cnx, unsigned int flags);  // 63
  // *exists = whether table `name` exists. 1 when answered; 0 (and
  // *exists = 0) when the question failed for another reason than user
  // error 30 (no such table).
  virtual int _bTableExists(int* exists, const wchar_t* name, CNAConnectionDescription* cnx);  // 64
  virtual int _bGetLinkList(CNAConnectionDescription* cnx, const wchar_t* name,
                            INADataSourceDescription* source, CAny* result, unsigned int flags);  // 65
  virtual void _BeforeDeath();                                                // 66: nothing

  // ---- Runtime interfaces the driver reads -----------------------------
  // The runtime context's number (0 without a context) and a data-source
  // description's table name on the server (null without a description).
  static std::uint64_t _nGetContextNumber(INAContext* context);
  static const wchar_t* _pszGetDataSourceName(INADataSourceDescription* source);

  // ---- Operations behind the INADriver slots -------------------------------
  // Opens `cnx` (registered, one reference held by the caller). On success
  // the connection gets one open reference: 1. On failure the registry's
  // entry holding this very connection is taken out, the error gets level
  // 2: 0. Holds a reference of its own meanwhile, so the caller's reference
  // stays valid either way.
  int _bOpenConnection(CNAConnectionDescription* cnx);
  // Closes the connection with that number as bCloseConnection does; 1.
  int _bCloseConnectionById(int number);
  // The table of query `name` run in `context` on `cnx`, with one reference
  // for the caller: the registered one (with `check`, it is first closed
  // for the context and replaced by a new one when that close answers
  // non-zero), else, with `create`, a new unregistered table (slot 60).
  // Null when none is registered and none may or can be made (the
  // out-of-memory error when slot 60 gave none).
  CNATable* _pclGetQuery(INAContext* context, const wchar_t* name, CNAConnectionDescription* cnx, int check,
                         int create);
  // Tells every registered table on `cnx` that its transaction ended.
  void _SetTransactionTermined(CNAConnectionDescription* cnx);
  // A description of table `name` for the runtime (its reference), or null.
  INADataSourceDescription* _piGetTableDesc(const wchar_t* name, CNAConnectionDescription* cnx);
  // A new variant set up for a column value of `type` (through `column`
  // when given), owned by the caller; null when it cannot be made or set
  // up. The second form also stores `value` (its type gives the type).
  // The variant layer does not set variants up yet: null.
  CNAConvertVariant* pclGetNewVariant_NV_Any(CNAError* error, CNAConnectionDescription* cnx, CNAColumn* column,
                                             unsigned short type);
  CNAConvertVariant* pclGetNewVariant_NV_Any(CNAError* error, CNAConnectionDescription* cnx, CNAColumn* column,
                                             const CAny* value);
  // A parameter made through slot 55 and bound to `column` (a reference
  // taken by the parameter); null when slot 55 gives none.
  CNAParameter* pclAllocParameter_col(CNAColumn* column, CNAConvertVariant* variant, unsigned long size,
                                      unsigned int kind, const wchar_t* name);

  // ---- Query dump ------------------------------------------------------------
  // The captions in the order they load (25 of the 28 fields; the three
  // after them stay empty).
  enum eDUMPCAPTION : int {
    DUMPCAPTION_QUERYTEXT = 0,
    DUMPCAPTION_PARAMETERCOUNT,
    DUMPCAPTION_PARAMETER,
    DUMPCAPTION_TYPE,
    DUMPCAPTION_ADOTYPE,
    DUMPCAPTION_VALUE,
    DUMPCAPTION_CONVERSIONFAILED,
    DUMPCAPTION_BIND,
    DUMPCAPTION_CONNECTIONPARAMETERS,
    DUMPCAPTION_DATASOURCE,
    DUMPCAPTION_NATIVELIBRARY,
    DUMPCAPTION_PROVIDER,
    DUMPCAPTION_USER,
    DUMPCAPTION_DATABASE,
    DUMPCAPTION_CONNECTIONTIMEOUT,
    DUMPCAPTION_COMMANDTIMEOUT,
    DUMPCAPTION_LOCKTIMEOUT,
    DUMPCAPTION_CURSORPOSITION,
    DUMPCAPTION_UNICODE,
    DUMPCAPTION_LOCKTAG,
    DUMPCAPTION_LOCKMODE,
    DUMPCAPTION_DATEFORMAT,
    DUMPCAPTION_CHARSET,
    DUMPCAPTION_TNPAGECODE,
    DUMPCAPTION_CONNECTIONPAGECODE,
    DUMPCAPTION_COUNT
  };
  // *out = caption n as loaded: the library's message text (the built-in
  // text when the message cannot be had), followed by one space. False,
  // *out emptied, for an n outside the list.
  static bool s_bLoadCaption(int n, CTString* out);
  // Loads every caption once (nothing when the first is filled already).
  void InitQueryDumpRessources();
  // *out = the dump of `query` and, when `parameters` is given, of its
  // parameters (count line, then one line per parameter while the text is
  // shorter than `maxLength` characters). 1.
  int bGetQueryDump(CTString* out, const wchar_t* query, CTabValParser* parameters, unsigned long maxLength);

  // ---- Set-up ----------------------------------------------------------
  // Replaces the error object: the new one (slot 52) is made first; only
  // when it exists is the old one released. False (the old one kept) when
  // slot 52 gives none.
  bool AllocError();
  // AllocError; 1 when the driver has an error object afterwards.
  int bInitDriver();
  CNAError* pclGetError() const { return m_pclError; }
  std::uint32_t nGetExternalCount() const { return m_nExternalCount; }
  std::int64_t llGetValue() const { return m_llValue; }
  ILibShop* piGetLibShop() const { return m_piLibShop; }
  IVMData* piGetVMData() const { return m_piVMData; }
  IXQForNA* piGetXQ() const { return m_piXQ; }
  const CTString& csGetCaption(int n) const { return m_tcsCaptions[n]; }

  // ---- Connections (each takes the lock) --------------------------------
  // The connection registered under `key`, with a reference; null when none.
  CNAConnectionDescription* _pclFindConnection(const wchar_t* key);
  // The same for the key of `cnx`.
  CNAConnectionDescription* _pclFindConnection(INAConnectionDescription* cnx);
  // A new connection (slot 59) registered under its own identification:
  // it leaves with two references, the registry's and the caller's. Null,
  // with the out-of-memory error, when it cannot be made or registered.
  CNAConnectionDescription* _pclAddConnection(const wchar_t* key, INAConnectionDescription* cnx);
  // Find, else add; the caller receives one reference.
  CNAConnectionDescription* _pclGetConnection(INAConnectionDescription* cnx);
  // Gives back one reference: at 0 the connection is deleted (when the
  // runtime holds none); at 1, when it is registered and may close, it is
  // closed if open and taken out of the registry (which deletes it).
  // Returns the count left (0 when it left the registry).
  int nReleaseConnection(CNAConnectionDescription* cnx);
  // Takes the registry's entry holding `cnx` out (cache, key, the
  // registry's reference). False, nothing changed, when no entry holds it.
  bool _bRemoveConnection(CNAConnectionDescription* cnx);
  // One reference for the connection being open.
  void _AddOpenReference(CNAConnectionDescription* cnx);
  // Open references held for `cnx`.
  std::uint32_t nGetOpenReferences(CNAConnectionDescription* cnx);
  // Drops one open reference through nReleaseConnection when there is
  // one. True when one was dropped.
  bool _bCloseConnection(CNAConnectionDescription* cnx);
  // The first registered connection with that number (or connection name,
  // compared ignoring case and accents), with a reference; null when none.
  CNAConnectionDescription* pclGetConnectionByID(int number);
  CNAConnectionDescription* pclGetConnectionByName(const wchar_t* name);
  std::uint32_t nGetConnectionCount();

  // ---- Tables (each takes the lock) -------------------------------------
  // *out = "Table=<name>;<connection key>".
  void _BuildTableKey(CTString* out, INADataSourceDescription* source, CNAConnectionDescription* cnx);
  // *out = "CTX=<number>;Table=<name>;<connection key>", the context's
  // number written in full (64 bits).
  void _BuildQueryKey(CTString* out, INAContext* context, const wchar_t* name, CNAConnectionDescription* cnx);
  // The table registered under `key`, with a reference; null when none.
  CNATable* _pclFindTable(const wchar_t* key);
  // The same for source on cnx; *key (may be null) receives the key.
  CNATable* _pclFindTable(INADataSourceDescription* source, CNAConnectionDescription* cnx, CTString* key);
  // A new table (slot 60) registered under `key`; the caller receives one
  // reference. Null, with the out-of-memory error, when it cannot be made.
  CNATable* _pclAddTable(const wchar_t* key, INADataSourceDescription* source, CNAConnectionDescription* cnx);
  // Registers `table` under its identification unless one is registered
  // there already (then nothing changes). True when this table is the one
  // registered afterwards.
  bool _AddTable(CNATable* table);
  // Find, else add; the caller receives one reference.
  CNATable* _pclGetTable(INADataSourceDescription* source, CNAConnectionDescription* cnx);
  // Takes the entry holding `table` out (cache, key, the registry's
  // reference). False, nothing changed, when no entry holds it.
  bool _bReleaseTable(CNATable* table);
  // Closes the table for `context`, then as above.
  bool _bReleaseTable(INAContext* context, CNATable* table);
  // Gives back one reference; when only the registry's remains (and it is
  // the registry's entry), the table leaves the registry: 0. Else the count
  // left.
  int nReleaseTable(CNATable* table);
  // From *position on (0 starts), the next registered table on `cnx`, with
  // a reference; null at the end. Each call is a walk of its own, so an
  // abandoned enumeration leaves nothing pending; a table that leaves the
  // registry between calls may make the walk skip or repeat one.
  CNATable* pclEnumTableByConnection(unsigned int* position, CNAConnectionDescription* cnx);
  std::uint32_t nGetTableCount();

  // ---- Contexts (each takes the lock) -----------------------------------
  CNAContext* pclFindContext(INAContext* context);
  // Find, else create (slot 47) and register; *created (may be null) says
  // which. The caller receives one reference. Null with the out-of-memory
  // error when a context cannot be made or registered.
  CNAContext* pclGetContext(INAContext* context, int* created);
  // Gives back the caller's reference; a registered context without data
  // access then leaves the registry: 0. Else the count left.
  int nReleaseContext(INAContext* context, CNAContext* pclContext);
  std::uint32_t nGetContextCount();

  // ---- SQL face ----------------------------------------------------------
  void _InitDriverSQL();
  void _FreeDriverSQL();
  // pclGetDriverSQL of the process's driver; null without one.
  static CNADriverSQL* s_pclGetDriverSQL();
  // Gives back a holder's reference on `cnx` through the process's driver
  // (nReleaseConnection: a registered connection nobody else holds leaves
  // the registry, closed); without a driver a plain release. Nothing for
  // null.
  static void s_ReleaseConnection(CNAConnectionDescription* cnx);

  // Releases every context, table and connection (keys freed, caches
  // cleared, registries back to size 7), the error object and the SQL
  // face; then _BeforeDeath.
  void _Term();

  // "Expr<n + 1000>".
  static void g_GenerateItemName(CTString* out, int n);

  // The process's driver: the last one the library entry made; cleared by
  // that driver's destruction.
  static CNADriver* s_pclDriver;

  // Module state, set by the library entry (bInitLibrary, bDLLCompatible):
  // the module handle of the first initialisation and the interface
  // versions the database-engine host (kind 7) and the SQL runtime (kind 28)
  // announced.
  static void* s_hDllHandle;
  static std::uint32_t s_nID_KXXQ;
  static std::uint32_t s_nID_KXSQL;
  // Whether a table's SQL-runtime check passed on this driver (clear at
  // construction; once set, no table of the driver asks again).
  int bSQLRuntimeChecked() const { return m_bSQLRuntimeChecked != 0; }
  void SetSQLRuntimeChecked() { m_bSQLRuntimeChecked = 1; }
  // The first initialisation of the module: handle, common part, versions
  // cleared, the process-wide mutex created.
  static void g_NAInitModule(void* hModule);
  // The generic module end: the mutex destroyed, the client library
  // unloaded, the common part ended.
  static void g_NATermModule();

 protected:
  // Sets the out-of-memory error on the driver's error object.
  void _SetErrorNoMemory();
  void _ResetError();
  // Clears the caches when they name these objects.
  void _ForgetConnection(CNAConnectionDescription* cnx);
  void _ForgetTable(CNATable* table);
  // The registered tables (on `cnx` only, unless null), one reference
  // each, which the caller gives back plainly (nRelease: a walk over the
  // registry must not take tables out of it). Taken before any
  // table is called, so that calls changing the registry do not disturb a
  // walk.
  void _CollectTables(std::vector<CNATable*>* out, CNAConnectionDescription* cnx);
  // User error 14 (the connection `cnx` is not registered) at location 5.b.
  void _SetErrorNotRegistered(INAConnectionDescription* cnx, int b);
  // The registered connection object of `cnx` with one reference for the
  // caller; null, with user error 14 at `nLocation`, when it has none.
  CNAConnectionDescription* _pclRegisteredConnection(INAConnectionDescription* cnx, int nLocation);
  // Commit or roll back on the registered connection of `cnx`.
  int _bEndTransaction(INAConnectionDescription* cnx, const wchar_t* name, int nLocation,
                       int (CNAConnectionDescription::*pfnEnd)(CNAError*, const wchar_t*));

  // ---- Fields ------------------------------------------------------------
  CTString m_tcsCaptions[knCaptionCount];
  std::uint32_t m_nExternalCount = 0;
  std::uint32_t m_nSecondCount = 0;
  CRefStringHashTable<CNAConnectionDescription*> m_clConnections;
  const wchar_t* m_pszLastConnectionKey = nullptr;  // the registry's copy
  CNAConnectionDescription* m_pclLastConnection = nullptr;
  CRefStringHashTable<CNATable*> m_clTables;
  const wchar_t* m_pszLastTableKey = nullptr;  // the registry's copy
  CNATable* m_pclLastTable = nullptr;
  CNARefHashTable<unsigned long, CNAContext*> m_clContexts;
  CNAError* m_pclError = nullptr;
  CNADriverSQL* m_pclDriverSQL = nullptr;
  std::int64_t m_llValue = -1;
  std::uint32_t m_bSQLRuntimeChecked = 0;
  ILibShop* m_piLibShop = nullptr;
  IVMData* m_piVMData = nullptr;
  IXQForNA* m_piXQ = nullptr;
  // Open references per connection (absent: none).
  std::unordered_map<CNAConnectionDescription*, std::uint32_t> m_mapOpenReferences;
};
