// The driver's operations for the runtime (the INADriver slots): connections,
// tables and queries, contexts, transactions, SQL locks and diagnosis,
// catalogue lists, column variants, and the query dump with its captions.
//
// Every entry that touches a count, a registry, the error object or the
// server takes the process-wide lock before anything else and only then
// resets the error object, so that no thread sees another's half-changed
// registry or error. The lock is recursive: entries call one another and the
// registry operations, which lock again.
#include <cstring>
#include <vector>

#include "CAny.h"
#include "CNAConnectionDescription.h"
#include "CNAColumn.h"
#include "CNAContext.h"
#include "CNAConvertVariant.h"
#include "CNADataSourceDescription.h"
#include "CNADriver.h"
#include "CNABoundary.h"
#include "CNADriverLock.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNATable.h"
#include "CXYString.h"
#include "CXYStringConcat.h"
#include "DllResLoader.h"
#include "INAConnectionDescription.h"
#include "INAQueryParametersValue.h"
#include "MyModuleInfo.h"

namespace {

// User errors of this library.
constexpr unsigned int knErrNotSupported = 8;
constexpr unsigned int knErrNotRegistered = 14;
// Location lines "5.b" of the driver's entries.
constexpr int knLocationDriver = 5;
constexpr int knLocationTableLock = 1;
constexpr int knLocationQueryLock = 2;
constexpr int knLocationDiagnose = 3;
constexpr int knLocationCommit = 4;
constexpr int knLocationRollBack = 5;
constexpr int knLocationProviderList = 6;
constexpr int knLocationAutoFilter = 7;
// A query run with this flag keeps its table registered even when the run
// fails or asks not to keep it.
constexpr unsigned int kdwKeepQueryTable = 0x10;
// The catalogue text buffer grows by this many characters.
constexpr std::uint64_t knListStep = 1024;

struct stCaptionDef {
  unsigned int nMessageId;
  const wchar_t* pszBuiltIn;  // used when the message cannot be loaded
};

// In the order of CNADriver::eDUMPCAPTION.
constexpr stCaptionDef kastCaptions[CNADriver::DUMPCAPTION_COUNT] = {
    {25676, L"Texte de la requête :"},
    {25679, L"Nombre de paramètres :"},
    {25678, L"Paramètre :"},
    {25675, L"Type Tarnel"},
    {25680, L"Type ADO"},
    {25670, L"Valeur"},
    {25674, L"Echec de la conversion de la valeur en texte."},
    {25810, L"Informations de bind des paramètres :"},
    {25843, L"Connexion parameters : "},
    {25846, L"DataSource : "},
    {25869, L"Native Library : "},
    {25849, L"Provider : "},
    {25847, L"Utilisateur : "},
    {25848, L"Database : "},
    {25834, L"Connexion Timeout : "},
    {25835, L"Command Timeout : "},
    {25836, L"Lock Timeout : "},
    {25837, L"Cursor Position : "},
    {25838, L"Unicode actived : "},
    {25839, L"Lock Tag : "},
    {25840, L"Lock mode : "},
    {25841, L"XQ5 compatible Date Format : "},
    {25842, L"Charset : "},
    {25844, L"TN Page Code : "},
    {25845, L"Connexion Page Code: "},
};

// An internal reference held for the length of a scope, so that an object a
// callee may unregister stays valid until the entry is done with it (also
// when an exception passes).
template <typename T>
class CHold {
 public:
  explicit CHold(T* p) : m_p(p) {
    if (m_p != nullptr) m_p->AddRef();
  }
  ~CHold() {
    if (m_p != nullptr) m_p->nRelease();
  }
  CHold(const CHold&) = delete;
  CHold& operator=(const CHold&) = delete;

 private:
  T* m_p;
};

// The runtime reaches a table through its table interface.
INATable* piTableInterface(CNATable* table) { return table; }

// Whether the query of a table was prepared by the program itself (its
// bind values say so): it will run again, so the table stays.
bool bQueryPreparedByProgram(CNATable* table) {
  INAQueryParametersValue* piValues = table->piGetQueryBindVariableNoRef();
  return piValues != nullptr && piValues->bPreparedByProgram() != 0;
}

// The connection's name as the runtime's description gives it ("" without).
const wchar_t* pszConnectionName(INAConnectionDescription* cnx) {
  if (cnx == nullptr) return L"";
  const stNAConnectionObject* pstObject = cnx->pstGetConnectionObject();
  return pstObject != nullptr && pstObject->pszName != nullptr ? pstObject->pszName : L"";
}

// Sets *result to an empty text that is not NULL.
void SetEmptyText(CAny* result) {
  if (result != nullptr) result->__SetType(ANY_PSTRW, 0);
}

// The runtime's parameter list: a 32-bit count at byte 20 and, at byte 40,
// a pointer to an array of pointers to entries whose value sits at byte 8.
constexpr std::size_t knParamCountOffset = 20;
constexpr std::size_t knParamArrayOffset = 40;
constexpr std::size_t knParamValueOffset = 8;

std::uint32_t nParameterCount(const CTabValParser* parameters) {
  std::uint32_t n = 0;
  std::memcpy(&n, reinterpret_cast<const unsigned char*>(parameters) + knParamCountOffset, sizeof n);
  return n;
}

const CAny* pclParameterValue(const CTabValParser* parameters, std::uint32_t i) {
  const unsigned char* const* ppEntries = nullptr;
  std::memcpy(&ppEntries, reinterpret_cast<const unsigned char*>(parameters) + knParamArrayOffset,
              sizeof ppEntries);
  if (ppEntries == nullptr || ppEntries[i] == nullptr) return nullptr;
  return reinterpret_cast<const CAny*>(ppEntries[i] + knParamValueOffset);
}

constexpr int knLastConversionSuccess = 99;

}  // namespace

// ======================================================================
// Connections
// ======================================================================

int CNADriver::bOpenConnection(INAConnectionDescription* cnx) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    const int nResult = _bOpenConnection(pclCnx);
    return nResult;
  });
}

int CNADriver::_bOpenConnection(CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  if (cnx == nullptr) return 0;
  CHold<CNAConnectionDescription> clHold(cnx);
  if (cnx->bOpen(m_pclError)) {
    _AddOpenReference(cnx);
    return 1;
  }
  // A connection that cannot open is not kept: the next attempt builds a
  // new object. Only the entry holding this very connection goes.
  _bRemoveConnection(cnx);
  if (m_pclError != nullptr) m_pclError->SetErrorLevel(NAERRORLEVEL_WARNING);
  return 0;
}

int CNADriver::bCloseConnection(INAConnectionDescription* cnx) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclFindConnection(cnx);
    if (pclCnx == nullptr) return 1;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    // The find's reference keeps the connection alive through the close; its
    // release then unregisters the connection when nothing else uses it.
    _bCloseConnection(pclCnx);
    return 1;
  });
}

int CNADriver::_bCloseConnectionById(int number) {
  CNADriverLock clLock;
  CNAConnectionDescription* pclCnx = pclGetConnectionByID(number);
  if (pclCnx == nullptr) return 1;
  _bCloseConnection(pclCnx);
  nReleaseConnection(pclCnx);
  return 1;
}

// ======================================================================
// Tables and descriptions
// ======================================================================

void CNADriver::_CollectTables(std::vector<CNATable*>* out, CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  unsigned int nCursor = 0;
  CNATable* pclTable = nullptr;
  while (m_clTables.bParseTable(&nCursor, 0, &pclTable)) {
    if (pclTable == nullptr || (cnx != nullptr && pclTable->pclGetConnection() != cnx)) continue;
    out->push_back(pclTable);
    pclTable->AddRef();
  }
}

INATable* CNADriver::piGetTable(INAConnectionDescription* cnx, INADataSourceDescription* source) {
  return NA_tBoundary<INATable*>(m_pclError, NA_BOUNDARY_ENTRY, nullptr, [&]() -> INATable* {
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return nullptr;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    CNATable* pclTable = _pclGetTable(source, pclCnx);
    if (pclTable != nullptr) {
      // The runtime owns one external reference, the registry its own; the
      // lookup's goes (plainly: the table stays registered).
      pclTable->ExternalAddRef();
      pclTable->nRelease();
    }
    return pclTable != nullptr ? piTableInterface(pclTable) : nullptr;
  });
}

INADataSourceDescription* CNADriver::piGetTableDesc(const wchar_t* name, INAConnectionDescription* cnx) {
  return NA_tBoundary<INADataSourceDescription*>(m_pclError, NA_BOUNDARY_ENTRY, nullptr, [&]() -> INADataSourceDescription* {
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return nullptr;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    INADataSourceDescription* piSource = nullptr;
    if (pclCnx->bOpen(m_pclError)) piSource = _piGetTableDesc(name, pclCnx);
    return piSource;
  });
}

INADataSourceDescription* CNADriver::_piGetTableDesc(const wchar_t* name, CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  CNADataSourceDescription* pclSource = _pclGetTableDesc(name, cnx);
  if (pclSource == nullptr) return nullptr;
  // The runtime owns the description through its external reference; the
  // lookup's internal one goes.
  pclSource->ExternalAddRef();
  pclSource->nRelease();
  return pclSource;
}

int CNADriver::bTableExists(int* exists, const wchar_t* name, INAConnectionDescription* cnx) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    if (exists != nullptr) *exists = 0;
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    int nResult = 0;
    if (pclCnx->bOpen(m_pclError)) nResult = _bTableExists(exists, name, pclCnx);
    return nResult;
  });
}

int CNADriver::bSupprimeFichier(INAContext* context, INAConnectionDescription* cnx, const wchar_t* name,
                                INADataSourceDescription* source) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    int nResult = 0;
    if (pclCnx->bOpen(m_pclError)) {
      if (source != nullptr) {
        CNATable* pclTable = _pclGetTable(source, pclCnx);
        if (pclTable != nullptr) {
          nResult = pclTable->bSupprimeFichier(context);
          if (!nResult && m_pclError != nullptr && pclTable->pclGetLastError() != m_pclError)
            m_pclError->Copy(pclTable->pclGetLastError());
          nReleaseTable(pclTable);
        }
      } else {
        // Nothing to delete without a description: the answer says whether
        // the name is a valid table name for the connection.
        CTString csFormatted;
        nResult = pclCnx->bFormatTableName(m_pclError, name, &csFormatted) ? 1 : 0;
      }
    }
    return nResult;
  });
}

int CNADriver::bHMode(INAContext* context, _eNA_HMODE mode) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    std::vector<CNATable*> vecTables;
    const CNAOnExit clGiveBack([&] {
      for (CNATable* pclTable : vecTables) pclTable->nRelease();
    });
    _CollectTables(&vecTables, nullptr);
    int nResult = 1;
    for (CNATable* pclTable : vecTables) {
      if (!pclTable->bHMode(context, mode)) nResult = 0;
    }
    return nResult;
  });
}

void CNADriver::CancelRecordLock(INAConnectionDescription* cnx, CNATransaction* transaction) {
  NA_Boundary(m_pclError, NA_BOUNDARY_ENTRY, [&] {
    std::vector<CNATable*> vecTables;
    const CNAOnExit clGiveBack([&] {
      for (CNATable* pclTable : vecTables) pclTable->nRelease();
    });
    _CollectTables(&vecTables, nullptr);
    for (CNATable* pclTable : vecTables) pclTable->CancelRecordLock(cnx, transaction);
  });
}

void CNADriver::_SetTransactionTermined(CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  std::vector<CNATable*> vecTables;
  const CNAOnExit clGiveBack([&] {
    for (CNATable* pclTable : vecTables) pclTable->nRelease();
  });
  _CollectTables(&vecTables, cnx);
  for (CNATable* pclTable : vecTables) pclTable->SetTransactionTermined();
}

// ======================================================================
// SQL queries
// ======================================================================

CNATable* CNADriver::_pclGetQuery(INAContext* context, const wchar_t* name, CNAConnectionDescription* cnx,
                                  int check, int create) {
  CNADriverLock clLock;
  CTString csKey;
  _BuildQueryKey(&csKey, context, name, cnx);
  CNATable* pclTable = _pclFindTable(csKey.pszGet());
  if (pclTable != nullptr && check && pclTable->bHFerme(context) != 0) {
    _bReleaseTable(pclTable);
    pclTable->nRelease();
    pclTable = nullptr;
  }
  if (pclTable != nullptr || !create) return pclTable;
  // A new query table is not registered until its run asks to keep it.
  pclTable = _pclAllocTable(csKey.pszGet(), nullptr, cnx, m_pclError);
  if (pclTable == nullptr) {
    _SetErrorNoMemory();
    return nullptr;
  }
  pclTable->AddRef();
  return pclTable;
}

int CNADriver::bHExecuteRequeteSQL(INATable** table, INAContext* context, const wchar_t* name,
                                   INAConnectionDescription* cnx, ISQLParserInformation* parser,
                                   unsigned int flags) {
  return bHExecuteRequeteSQLEx(table, context, name, cnx, parser, flags, nullptr);
}

int CNADriver::bHExecuteRequeteSQLEx(INATable** table, INAContext* context, const wchar_t* name,
                                     INAConnectionDescription* cnx, ISQLParserInformation* parser,
                                     unsigned int flags, const INAQueryExecution* execution) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    CNATable* pclTable = _pclGetQuery(context, name, pclCnx, 0, 1);
    int nResult = 0;
    if (pclTable != nullptr) {
      const CNAOnExit clGiveBackTable([&] { pclTable->nRelease(); });
      int bKeep = 0;
      nResult = pclTable->bExecuteQuery(&bKeep, context, name, parser, flags, execution);
      if (!nResult && m_pclError != nullptr && pclTable->pclGetLastError() != m_pclError)
        m_pclError->Copy(pclTable->pclGetLastError());
      const bool bLetGo = (flags & kdwKeepQueryTable) == 0 && !bQueryPreparedByProgram(pclTable);
      if (nResult && bKeep) {
        _AddTable(pclTable);
        if (table != nullptr) {
          pclTable->ExternalAddRef();
          *table = piTableInterface(pclTable);
        }
      } else {
        // Only a registered entry is taken out: a table that was never
        // registered keeps its lookup reference until the end.
        if (bLetGo) _bReleaseTable(context, pclTable);
        if (nResult && table != nullptr) *table = nullptr;
      }
    }
    return nResult;
  });
}

int CNADriver::bFreeDataSource(INAContext* context, const wchar_t* name, INAConnectionDescription* cnx) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { pclCnx->nRelease(); });
    int nResult = 1;
    CNATable* pclTable = _pclGetQuery(context, name, pclCnx, 0, 0);
    if (pclTable != nullptr) {
      nResult = pclTable->bHFerme(context);
      pclTable->nRelease();
    }
    return nResult;
  });
}

int CNADriver::SetNextLogicalName(INAContext* context, const wchar_t* name) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAContext* pclContext = pclGetContext(context, nullptr);
    if (pclContext == nullptr) return 0;
    pclContext->SetNextLogicalName(name);
    // Plainly: the context stays registered to carry the name.
    pclContext->nRelease();
    return 1;
  });
}

int CNADriver::bCloseContext(INAContext* context) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAContext* pclContext = pclFindContext(context);
    if (pclContext == nullptr) return 0;
    pclContext->CloseAllDataAccess();
    nReleaseContext(context, pclContext);
    return 1;
  });
}

// ======================================================================
// Transactions
// ======================================================================

void CNADriver::_SetErrorNotRegistered(INAConnectionDescription* cnx, int b) {
  if (m_pclError == nullptr) return;
  m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationDriver, b, nullptr, knErrNotRegistered,
                       pszConnectionName(cnx));
}

int CNADriver::bTransactionBegin(INAConnectionDescription* cnx, const wchar_t* name) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    const int nResult = pclCnx->bTransactionBegin(m_pclError, name);
    return nResult;
  });
}

int CNADriver::bTransactionCommit(INAConnectionDescription* cnx, const wchar_t* name) {
  return _bEndTransaction(cnx, name, knLocationCommit, &CNAConnectionDescription::bTransactionCommit);
}

int CNADriver::bTransactionRollBack(INAConnectionDescription* cnx, const wchar_t* name) {
  return _bEndTransaction(cnx, name, knLocationRollBack, &CNAConnectionDescription::bTransactionRollBack);
}

int CNADriver::_bEndTransaction(INAConnectionDescription* cnx, const wchar_t* name, int nLocation,
                                int (CNAConnectionDescription::*pfnEnd)(CNAError*, const wchar_t*)) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclRegisteredConnection(cnx, nLocation);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    if (pclCnx->bTransactionEndCloseParse()) _SetTransactionTermined(pclCnx);
    const int nResult = (pclCnx->*pfnEnd)(m_pclError, name);
    return nResult;
  });
}

CNAConnectionDescription* CNADriver::_pclRegisteredConnection(INAConnectionDescription* cnx, int nLocation) {
  CNAConnectionDescription* pclCnx = _pclFindConnection(cnx);
  if (pclCnx == nullptr) _SetErrorNotRegistered(cnx, nLocation);
  return pclCnx;
}

// ======================================================================
// SQL locks, diagnosis, unsupported operations
// ======================================================================

int CNADriver::bSQLBloqueTable(INAConnectionDescription* cnx, const wchar_t* table) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclRegisteredConnection(cnx, knLocationTableLock);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { pclCnx->nRelease(); });
    int nResult = pclCnx->bOpen(m_pclError) ? 1 : 0;
    if (nResult) nResult = pclCnx->bSQLBloque(m_pclError, table) ? 1 : 0;
    return nResult;
  });
}

int CNADriver::bSQLBloqueRequete(INAConnectionDescription* cnx, ISQLParserInformation* parser) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclRegisteredConnection(cnx, knLocationQueryLock);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { pclCnx->nRelease(); });
    int nResult = pclCnx->bOpen(m_pclError) ? 1 : 0;
    if (nResult) nResult = pclCnx->bSQLBloque(m_pclError, parser) ? 1 : 0;
    return nResult;
  });
}

int CNADriver::bHConnexionDiagnose(CAny* result, INAConnectionDescription* cnx, const wchar_t* text,
                                   unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclRegisteredConnection(cnx, knLocationDiagnose);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    const int nResult = pclCnx->bDiagnose(m_pclError, result, text, flags);
    return nResult;
  });
}

int CNADriver::bGetProviderList(CAny* /*result*/) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_UNAVAILABLE, knLocationDriver, knLocationProviderList, nullptr,
                           knErrNotSupported);
    return 0;
  });
}

int CNADriver::bFiltreAuto(INAContext* /*context*/, INAConnectionDescription* /*cnx*/, int /*mode*/,
                           const wchar_t* text1, INADataSourceDescription* /*source1*/, const wchar_t* /*text2*/,
                           INADataSourceDescription* /*source2*/) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    if (m_pclError != nullptr) {
      m_pclError->AddError(NA_ERRORTYPE_UNAVAILABLE, knLocationDriver, knLocationAutoFilter, nullptr,
                           knErrNotSupported);
      m_pclError->SetInfoNames(text1, nullptr);
    }
    return 0;
  });
}

// ======================================================================
// Catalogue
// ======================================================================

int CNADriver::bGetDatabaseList(CXYString<wchar_t>* result, INAConnectionDescription* cnx, unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    const int nResult = _bGetDatabaseList(result, pclCnx, flags);
    return nResult;
  });
}

int CNADriver::bGetTableList(CAny* result, INAConnectionDescription* cnx, unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    const int nResult = _bGetTableList(result, pclCnx, flags);
    return nResult;
  });
}

int CNADriver::bGetLinkList(CAny* result, const wchar_t* name, INADataSourceDescription* source,
                            INAConnectionDescription* cnx, unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_CATCH, 0, [&]() -> int {
    // The error of the previous entry stays readable through this one.
    CNADriverLock clLock;
    CNAConnectionDescription* pclCnx = _pclGetConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { nReleaseConnection(pclCnx); });
    const int nResult = _bGetLinkList(pclCnx, name, source, result, flags);
    return nResult;
  });
}

int CNADriver::_bGetDatabaseList(CXYString<wchar_t>* result, CNAConnectionDescription* cnx, unsigned int flags) {
  CNADriverLock clLock;
  CNADriverSQL* pclSQL = pclGetDriverSQL();
  if (pclSQL == nullptr) {
    _SetErrorNoMemory();
    return 0;
  }
  if (cnx == nullptr || !cnx->bOpen(m_pclError)) return 0;
  CXYStringConcat<wchar_t> clText(knListStep);
  const int nResult = pclSQL->_bGetDatabaseList(&clText, cnx, flags);
  if (result != nullptr) result->nAffecte(clText.pszGet(), static_cast<long>(clText.nGetLength()));
  return nResult;
}

int CNADriver::_bGetTableList(CAny* result, CNAConnectionDescription* cnx, unsigned int flags) {
  CNADriverLock clLock;
  CNADriverSQL* pclSQL = pclGetDriverSQL();
  if (pclSQL == nullptr) {
    _SetErrorNoMemory();
    return 0;
  }
  if (cnx == nullptr || !cnx->bOpen(m_pclError)) return 0;
  return pclSQL->bGetTableList(result, cnx, nullptr, flags);
}

int CNADriver::_bGetLinkList(CNAConnectionDescription* cnx, const wchar_t* name, INADataSourceDescription* source,
                             CAny* result, unsigned int flags) {
  CNADriverLock clLock;
  CNADriverSQL* pclSQL = pclGetDriverSQL();
  if (pclSQL == nullptr) return 1;
  if (cnx == nullptr || !cnx->bOpen(m_pclError)) return 0;
  return pclSQL->bGetLinkList(result, cnx, name, source, flags);
}

int CNADriver::bGetListeSource(CAny* result, int /*kind*/) {
  SetEmptyText(result);
  return 1;
}

int CNADriver::bSQLFormatColonne(INAConnectionDescription* /*cnx*/, CAny* result) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CNADriverSQL* pclSQL = pclGetDriverSQL();
    if (pclSQL == nullptr)
      SetEmptyText(result);
    else
      pclSQL->bGetColumnTypeList(result, 0, 0);
    return 1;
  });
}

void* CNADriver::piGetInterface(int n) {
  return NA_tBoundary<void*>(m_pclError, NA_BOUNDARY_ENTRY, nullptr, [&]() -> void* {
    if (n != 1) return nullptr;
    CNADriverSQL* pclSQL = pclGetDriverSQL();
    if (pclSQL == nullptr) return nullptr;
    pclSQL->ExternalAddRef();
    // The runtime reaches the face through its interface's table.
    return static_cast<INADriverSQL*>(pclSQL);
  });
}

// ======================================================================
// Variants for columns
// ======================================================================

CNAConvertVariant* CNADriver::pclGetNewVariant_NV_Any(CNAError* error, CNAConnectionDescription* cnx,
                                                      CNAColumn* column, unsigned short type) {
  CNADriverLock clLock;
  CNAConvertVariant* pclVariant = pclAllocVariant(error, cnx);
  if (pclVariant == nullptr) {
    _SetErrorNoMemory();
    return nullptr;
  }
  pclVariant->AddRef();
  if (column == nullptr) {
    pclVariant->InitTypeVariantAny(type);
  } else if (!column->bInitVariant_NV_Any(error, pclVariant, type)) {
    pclVariant->nRelease();
    return nullptr;
  }
  return pclVariant;
}

CNAConvertVariant* CNADriver::pclGetNewVariant_NV_Any(CNAError* error, CNAConnectionDescription* cnx,
                                                      CNAColumn* column, const CAny* value) {
  CNADriverLock clLock;
  const unsigned short wType = value != nullptr ? value->nGetTypeCode() : 0;
  CNAConvertVariant* pclVariant = pclGetNewVariant_NV_Any(error, cnx, column, wType);
  if (pclVariant != nullptr && value != nullptr && !pclVariant->bSetValue(value)) {
    pclVariant->nRelease();
    return nullptr;
  }
  return pclVariant;
}

// ======================================================================
// Query dump
// ======================================================================

bool CNADriver::s_bLoadCaption(int n, CTString* out) {
  out->Set(L"");
  if (n < 0 || n >= DUMPCAPTION_COUNT) return false;
  if (!DLLRES_bLoadString(&gstMyModuleInfo76, kastCaptions[n].nMessageId, out) || out->nTaille() == 0)
    out->Set(kastCaptions[n].pszBuiltIn);
  out->Add(L' ');
  return true;
}

void CNADriver::InitQueryDumpRessources() {
  CNADriverLock clLock;
  if (m_tcsCaptions[0].nTaille() > 0) return;
  // The first caption last, so that a half-done load is done again.
  for (int n = DUMPCAPTION_COUNT - 1; n >= 0; --n) s_bLoadCaption(n, &m_tcsCaptions[n]);
}

int CNADriver::bGetQueryDump(CTString* out, const wchar_t* query, CTabValParser* parameters,
                             unsigned long maxLength) {
  if (out == nullptr) return 1;
  CNADriverLock clLock;
  out->Set(L"");
  InitQueryDumpRessources();
  out->Add(m_tcsCaptions[DUMPCAPTION_QUERYTEXT].pszGet());
  out->Add(query != nullptr ? query : L"");
  out->Add(L"\r\n");
  if (parameters == nullptr) return 1;
  const std::uint32_t nCount = nParameterCount(parameters);
  out->Add(m_tcsCaptions[DUMPCAPTION_PARAMETERCOUNT].pszGet());
  out->Add(L"=");
  out->AddI4(static_cast<std::int32_t>(nCount));
  out->Add(L"\r\n");
  for (std::uint32_t i = 0; i < nCount && static_cast<unsigned long>(out->nTaille()) < maxLength; ++i) {
    const CAny* pclValue = pclParameterValue(parameters, i);
    out->Add(m_tcsCaptions[DUMPCAPTION_PARAMETER].pszGet());
    out->Add(L" ");
    out->AddI4(static_cast<std::int32_t>(i));
    out->Add(L" :\t");
    out->Add(m_tcsCaptions[DUMPCAPTION_TYPE].pszGet());
    out->Add(L" = <");
    out->AddI4(pclValue != nullptr ? pclValue->nGetTypeCode() : 0);
    out->Add(L">\t");
    out->Add(m_tcsCaptions[DUMPCAPTION_VALUE].pszGet());
    out->Add(L" = <");
    CXYString<wchar_t> clText;
    if (pclValue != nullptr && pclValue->__nFillString(clText, nullptr) <= knLastConversionSuccess)
      out->Add(clText.pszGet());
    else
      out->Add(m_tcsCaptions[DUMPCAPTION_CONVERSIONFAILED].pszGet());
    out->Add(L">\r\n");
  }
  return 1;
}
