#include "CNATable.h"

#include "CNABoundary.h"
#include "CNAConnectionDescription.h"
#include "CNAContext.h"
#include "CNADataAccess.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CXErrorInternal.h"
#include "INAContext.h"
#include "INADataSourceDescription.h"
#include "INAQueryParametersValue.h"
#include "ISQLParserInformation.h"
#include "StrFunctions.h"

namespace {
// The table's own reports: source 6 of the debug line.
constexpr int knSourceTable = 6;
// Sites of the table's user errors.
constexpr int knSiteCheckRefused = 1;
constexpr int knSiteCheckVersion = 2;
constexpr int knSiteInterditModif = 3;
constexpr int knSiteFinInterditModif = 4;
constexpr int knSiteCalculateKeyValue = 5;
constexpr int knSiteFreeMemory = 6;
constexpr int knSiteNotOpened = 7;
constexpr int knSiteNotOpenedRecNum = 8;
// User errors: not supported, SQL runtime not compatible, table not open
// in the context.
constexpr unsigned int knErrNotSupported = 8;
constexpr unsigned int knErrNotCompatible = 16;
constexpr unsigned int knErrNotOpened = 19;
// The SQL-runtime check: this library's kind of component and interface
// version; the oldest runtime version accepted.
constexpr int knCheckKind = 76;
constexpr int knCheckVersion = 32;
constexpr std::uint32_t knOldestSQLRuntime = 32;
constexpr wchar_t kszThisModule[] = L"kx200maria64.so";
constexpr wchar_t kszSQLModule[] = L"kx200sql64.so";
// Names compare without regard to case or accents.
constexpr unsigned int knCompareFlags = 3;
constexpr unsigned int knRegistrySize = 7;

bool bSameName(const wchar_t* a, const wchar_t* b) {
  return STR_nCompareW(a != nullptr ? a : L"", b != nullptr ? b : L"", knCompareFlags) == 0;
}

// A runtime context known only by the context identifier a data access
// recorded: what the driver needs to find and hand back the context object
// of a data access whose runtime context is not at hand. Its data
// identifier matches no entry, so a context asked to remove a data access
// looks for that very data access.
class CContextByNumber final : public INAContext {
 public:
  explicit CContextByNumber(std::uint64_t contextId) : m_nContextID(contextId) {}
  std::uint32_t nGetVersion() override { return 0; }
  std::uint32_t nGetCompatSince() override { return 0; }
  std::uint32_t nGetNAVersion() override { return 0; }
  std::uint32_t nGetNACompatSince() override { return 0; }
  void NAVersion_EmptySlot_3() override {}
  void Reserved5() override {}
  void Reserved6() override {}
  void Reserved7() override {}
  std::uint64_t dwGetContextID() override { return m_nContextID; }
  std::uint64_t dwGetDataID() override { return ~std::uint64_t{0}; }

 private:
  std::uint64_t m_nContextID;
};

// The two identifiers of a runtime context (0 without one).
std::uint64_t nContextID(INAContext* context) { return context != nullptr ? context->dwGetContextID() : 0; }
std::uint64_t nDataID(INAContext* context) { return context != nullptr ? context->dwGetDataID() : 0; }
}  // namespace

// ======================================================================
// Construction and destruction
// ======================================================================

CNATable::CNATable(const wchar_t* identification, INADataSourceDescription* source,
                   CNAConnectionDescription* connection, CNAError* error, CNADriver* driver)
    : m_csIdentification(identification != nullptr ? identification : L""),
      m_piDataSource(source),
      m_pclConnection(connection),
      m_pclError(error),
      m_pclDriver(driver),
      m_htDataAccess(knRegistrySize) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_piDataSource != nullptr) m_piDataSource->ExternalAddRef();
}

CNATable::~CNATable() {
  CNADriverLock clLock;
  // A data access keeps only a plain pointer to its table: each one leaves
  // its context and the lookup record here, so that no later lookup (of a
  // new table under the same name, in the same context) reaches one whose
  // table is gone.
  CNADriver* pclDriver = _pclDriver();
  CNADataAccess* pclAccess = nullptr;
  unsigned int nCursor = 0;
  while (m_htDataAccess.bParseTable(&nCursor, 1, &pclAccess)) {
    if (pclAccess == nullptr) continue;
    CNADataAccess::s_ForgetLastDataAccess(pclAccess);
    if (pclAccess->pclGetTable() == this) pclAccess->SetTable(nullptr);
    CContextByNumber clContext(pclAccess->dwGetContextID());
    CNAContext* pclContext = pclDriver != nullptr ? pclDriver->pclFindContext(&clContext) : nullptr;
    if (pclContext != nullptr) {
      pclContext->RemoveDataAccess(&clContext, pclAccess);
      pclDriver->nReleaseContext(&clContext, pclContext);
    } else if (CNAContext* pclOwner = pclAccess->pclGetContext()) {
      // No driver to ask: the context the data access names is alive (a
      // context detaches its data accesses when it goes).
      pclOwner->RemoveDataAccess(&clContext, pclAccess);
    }
    pclAccess->nRelease();
    pclAccess = nullptr;
  }
  m_htDataAccess.DeleteAll();
  if (m_piDataSource != nullptr) {
    INADataSourceDescription* piSource = m_piDataSource;
    m_piDataSource = nullptr;
    piSource->nExternalRelease();
  }
  if (m_pclConnection != nullptr) {
    CNAConnectionDescription* pclConnection = m_pclConnection;
    m_pclConnection = nullptr;
    if (m_pclDriver != nullptr)
      m_pclDriver->nReleaseConnection(pclConnection);
    else
      pclConnection->nRelease();
  }
  if (m_pclError != nullptr) {
    CNAError* pclError = m_pclError;
    m_pclError = nullptr;
    pclError->nRelease();
  }
  try {
    SetQueryBindVariable(nullptr);
  } catch (...) {
    // The runtime's object failing its release must not stop the table's
    // end.
    m_piBindVariables = nullptr;
  }
}

CNADriver* CNATable::_pclDriver() const {
  return m_pclDriver != nullptr ? m_pclDriver : CNADriver::s_pclDriver;
}

// ======================================================================
// References, names and errors
// ======================================================================

void CNATable::ExternalAddRef() {
  NA_Boundary(m_pclError, NA_BOUNDARY_LOCK, [&] { ++m_nExternalCount; });
}

std::uint32_t CNATable::nExternalRelease() {
  return NA_tBoundary<std::uint32_t>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> std::uint32_t {
    if (m_nExternalCount == 0) return 0;
    const std::uint32_t nLeft = --m_nExternalCount;
    if (nLeft != 0) return nLeft;
    CNADriver* pclDriver = _pclDriver();
    if (m_nInternalCount == 1 && pclDriver != nullptr) {
      // Only the driver's registry holds the table: the driver takes it
      // out, which destroys it (the count raised so that its release of
      // the registry's reference is the last).
      m_nInternalCount = 2;
      return static_cast<std::uint32_t>(pclDriver->nReleaseTable(this));
    }
    _DeleteIfUnreferenced();
    return 0;
  });
}

INAError* CNATable::piGetLastError(INAContext* context) {
  return NA_tBoundary<INAError*>(nullptr, NA_BOUNDARY_LOCK, m_pclError, [&]() -> INAError* {
    CNAContext* pclContext = _pclFindContext(context);
    if (pclContext == nullptr) return m_pclError;
    CNAError* pclError = pclContext->pclGetError();
    // Plainly: the registry keeps the context.
    pclContext->nRelease();
    return pclError != nullptr ? pclError : m_pclError;
  });
}

INADataSourceDescription* CNATable::piGetDataSourceDescription() {
  return NA_tBoundary<INADataSourceDescription*>(m_pclError, NA_BOUNDARY_LOCK, nullptr,
                                                 [&]() -> INADataSourceDescription* {
                                                   if (m_piDataSource != nullptr) m_piDataSource->ExternalAddRef();
                                                   return m_piDataSource;
                                                 });
}

const wchar_t* CNATable::pszGetLogicalName() const {
  const wchar_t* psz = m_piDataSource != nullptr ? m_piDataSource->pszGetLogicalName() : nullptr;
  return psz != nullptr ? psz : L"";
}

const wchar_t* CNATable::pszGetDBTableName() const {
  const wchar_t* psz = m_piDataSource != nullptr ? m_piDataSource->pszGetDBTableName() : nullptr;
  return psz != nullptr ? psz : L"";
}

std::uint32_t CNATable::nGetDataAccessCount() {
  CNADriverLock clLock;
  return m_htDataAccess.dwGetNumElement();
}

void CNATable::_RaiseUserError(unsigned int code, int site, eNA_ERRORTYPE type, bool named, bool withConnection,
                               const wchar_t* arg1, const wchar_t* arg2) {
  if (m_pclError == nullptr) return;
  const wchar_t* pszName = named ? pszGetLogicalName() : nullptr;
  const _CXErrorModule76 clError =
      arg1 != nullptr ? clInternalError(knSourceTable, site, pszName, nullptr, code, arg1, arg2)
                      : clInternalError(knSourceTable, site, pszName, nullptr, code);
  m_pclError->AddError(type, &clError, withConnection ? m_pclConnection : nullptr);
}

void CNATable::_SetContextLastNAError(INAContext* context, CNAError* error) {
  CNADriverLock clLock;
  if (error == nullptr) return;
  CNAContext* pclContext = _pclFindContext(context);
  if (pclContext == nullptr) return;
  if (pclContext->pclGetError() != nullptr) pclContext->pclGetError()->Copy(error);
  pclContext->nRelease();
}

// ======================================================================
// Contexts and data accesses
// ======================================================================

CNAContext* CNATable::_pclFindContext(INAContext* context) {
  CNADriver* pclDriver = _pclDriver();
  return pclDriver != nullptr ? pclDriver->pclFindContext(context) : nullptr;
}

CNAContext* CNATable::_pclGetContext(INAContext* context) {
  CNADriver* pclDriver = _pclDriver();
  return pclDriver != nullptr ? pclDriver->pclGetContext(context, nullptr) : nullptr;
}

int CNATable::_nReleaseContext(INAContext* context, CNAContext* pclContext) {
  CNADriver* pclDriver = _pclDriver();
  if (pclDriver != nullptr) return pclDriver->nReleaseContext(context, pclContext);
  return pclContext != nullptr ? static_cast<int>(pclContext->nRelease()) : 0;
}

CNADataAccess* CNATable::_pclFindDataAccess(INAContext* context) {
  CNADriverLock clLock;
  const std::uint64_t nCtx = nContextID(context);
  const std::uint64_t nData = nDataID(context);
  if (CNADataAccess* pclLast = CNADataAccess::s_pclGetLastDataAccess(nCtx, nData)) {
    pclLast->AddRef();
    return pclLast;
  }
  CNAContext* pclContext = _pclFindContext(context);
  if (pclContext == nullptr) return nullptr;
  CNADataAccess* pclAccess = pclContext->pclFindDataAccess(context);
  pclContext->nRelease();
  if (pclAccess != nullptr) CNADataAccess::s_SetLastDataAccess(pclAccess, nCtx, nData);
  return pclAccess;
}

CNADataAccess* CNATable::_pclGetDataAccess(INAContext* context, int* created) {
  CNADriverLock clLock;
  if (created != nullptr) *created = 0;
  CNAContext* pclContext = _pclGetContext(context);
  if (pclContext == nullptr) return nullptr;
  int bCreated = 0;
  CNADataAccess* pclAccess = pclContext->pclGetDataAccess(context, m_pclConnection, m_piDataSource, &bCreated);
  if (pclAccess != nullptr && bCreated && !__AddDataAccess(pclAccess)) {
    // The table could not keep it: it is not left behind in the context.
    pclContext->RemoveDataAccess(context, pclAccess);
    pclAccess->nRelease();
    pclAccess = nullptr;
    if (pclContext->pclGetError() != nullptr) pclContext->pclGetError()->pclGetXError()->SetErrorNoMemory();
  }
  // Plainly: the registry keeps the context (with its error, when nothing
  // could be made).
  pclContext->nRelease();
  if (created != nullptr) *created = pclAccess != nullptr ? bCreated : 0;
  return pclAccess;
}

bool CNATable::__AddDataAccess(CNADataAccess* access) {
  CNADriverLock clLock;
  if (access == nullptr || !m_htDataAccess.bAddElement(access, access)) return false;
  access->SetTable(this);
  return true;
}

void CNATable::_RemoveDataAccess(INAContext* context, CNADataAccess* access) {
  CNADriverLock clLock;
  CNAContext* pclContext = _pclFindContext(context);
  if (pclContext == nullptr) return;
  if (access != nullptr) {
    // A hold of our own: the removals below may drop the last references.
    access->AddRef();
    pclContext->RemoveDataAccess(context, access);
    ForgetDataAccess(access);
    access->nRelease();
  }
  _nReleaseContext(context, pclContext);
}

void CNATable::ForgetDataAccess(CNADataAccess* access) {
  CNADriverLock clLock;
  if (access == nullptr) return;
  CNADataAccess::s_ForgetLastDataAccess(access);
  CNADataAccess* pclHeld = nullptr;
  if (!m_htDataAccess.bGetElement(access, &pclHeld)) return;
  pclHeld->nRelease();
  if (access->pclGetTable() == this) access->SetTable(nullptr);
  // The table's reference goes last: it may be the data access's last.
  m_htDataAccess.bDeleteElement(access);
}

template <class F>
void CNATable::_ForEachDataAccess(F&& work) {
  CNADriverLock clLock;
  // Every data access held for the walk, taken before any is called, so
  // that calls changing the registry (a removal) do not disturb it.
  std::vector<CNADataAccess*> vecAccesses;
  const CNAOnExit clGiveBack([&] {
    for (CNADataAccess* p : vecAccesses) p->nRelease();
  });
  unsigned int nCursor = 0;
  CNADataAccess* pclAccess = nullptr;
  while (m_htDataAccess.bParseTable(&nCursor, 0, &pclAccess)) {
    if (pclAccess == nullptr) continue;
    pclAccess->AddRef();
    vecAccesses.push_back(pclAccess);
  }
  for (CNADataAccess* p : vecAccesses) work(p);
}

// ======================================================================
// Forwarding
// ======================================================================

template <class R, class F>
R CNATable::_tForward(INAContext* context, R failure, eMissing missing, F&& call) {
  return NA_tBoundary<R>(m_pclError, NA_BOUNDARY_LOCK, failure, [&]() -> R {
    const bool bReset = missing != eMissing::RecNum;
    if (bReset && m_pclError != nullptr) m_pclError->Reset();
    CNADataAccess* pclAccess = _pclFindDataAccess(context);
    if (pclAccess == nullptr) {
      if (missing == eMissing::Lenient) return static_cast<R>(1);
      const bool bRecNum = missing == eMissing::RecNum;
      _RaiseUserError(knErrNotOpened, bRecNum ? knSiteNotOpenedRecNum : knSiteNotOpened, NA_ERRORTYPE_GENERIC,
                      true, bRecNum);
      // The context's own error object must not keep telling an earlier
      // story to a runtime that reads the context's error.
      _SetContextLastNAError(context, m_pclError);
      return failure;
    }
    const CNAOnExit clGiveBack([&] { pclAccess->nRelease(); });
    if (bReset && pclAccess->pclGetError() != nullptr) pclAccess->pclGetError()->Reset();
    return call(pclAccess);
  });
}

int CNATable::bIsOpened(INAContext* context) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CNADataAccess* pclAccess = _pclFindDataAccess(context);
    if (pclAccess == nullptr) return 0;
    const int bOpened = pclAccess->bIsOpened();
    pclAccess->nRelease();
    return bOpened;
  });
}

int CNATable::bNbEnrNeedParse(INAContext* context, int* needParse, const wchar_t* key) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bNbEnrNeedParse(needParse, key); });
}

int CNATable::bHReindexe(INAContext* context, unsigned int kind, IGaugeControl* gauge) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CNADataAccess* pclAccess = _pclGetDataAccess(context, nullptr);
    if (pclAccess == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { pclAccess->nRelease(); });
    return pclAccess->bHReindexe(kind, gauge);
  });
}

int CNATable::bHAjoute(INAContext* context, unsigned int flags, eNA_LOCKTYPE lock) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHAjoute(static_cast<NA_WRITEPARSEFLAGS>(flags), lock);
  });
}

int CNATable::bHEcrit(INAContext* context, long record, unsigned int flags, eNA_LOCKTYPE lock) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHEcrit(record, static_cast<NA_WRITEPARSEFLAGS>(flags), lock);
  });
}

int CNATable::bHRaye(INAContext* context, long record, eNA_LOCKTYPE lock) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHRaye(record, lock); });
}

int CNATable::bHSupprime(INAContext* context, long record, eNA_LOCKTYPE lock) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHSupprime(record, lock); });
}

int CNATable::bHModifie(INAContext* context, long record, unsigned int flags, eNA_LOCKTYPE lock) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHModifie(record, static_cast<NA_WRITEPARSEFLAGS>(flags), lock);
  });
}

int CNATable::bHRecherche(INAContext* context, const wchar_t* item, const CAny* value, int searchMode, int bRead,
                          eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, int fromFirst, unsigned int flags) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHRecherche(item, value, searchMode, bRead, lock, lockDone, fromFirst,
                          static_cast<NA_WRITEPARSEFLAGS>(flags));
  });
}

int CNATable::bHLibere(INAContext* context) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHLibere(); });
}

int CNATable::bHLit(INAContext* context, long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bHLit(record, lock, lockDone); });
}

int CNATable::bHLitxxx(INAContext* context, const wchar_t* item, eNA_PARSEDIRECTION direction, int bRead,
                       eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, unsigned int flags) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHLitxxx(item, direction, bRead, lock, reinterpret_cast<int*>(lockDone), flags);
  });
}

int CNATable::bSkipRecord(INAContext* context, const wchar_t* item, eNA_PARSEDIRECTION direction, long count,
                          int bRead, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, unsigned int flags) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bSkipRecord(item, direction, count, bRead, lock, reinterpret_cast<int*>(lockDone), flags);
  });
}

int CNATable::bHBloqueFichier(INAContext* context, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bHBloqueFichier(lock, lockDone); });
}

int CNATable::bHDebloqueFichier(INAContext* context) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHDebloqueFichier(); });
}

int CNATable::bHBloqueNumEnr(INAContext* context, long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bHBloqueNumEnr(record, lock, lockDone); });
}

int CNATable::bHDebloqueNumEnr(INAContext* context, long record) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHDebloqueNumEnr(record); });
}

int CNATable::bHEnDehors(INAContext* context, const wchar_t* item, int* out) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHEndehors(item, out); });
}

int CNATable::bEvalHTrouve(INAContext* context, const wchar_t* item, int* found, int* inFile) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bEvalHTrouve(item, found, inFile); });
}

int CNATable::bSetNextOperation(INAContext* context, eNA_OPERATION operation) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bSetNextOperation(static_cast<int>(operation)); });
}

std::int64_t CNATable::llGetRecNum(INAContext* context) {
  return _tForward(context, std::int64_t{0}, eMissing::RecNum, [&](CNADataAccess* p) { return p->llGetRecNum(); });
}

int CNATable::bGetRecNumState(INAContext* context, long record, unsigned int* state) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bGetRecNumState(record, state); });
}

int CNATable::bHFiltre(INAContext* context, ISQLParserInformation* parser, wchar_t* itemOut) {
  if (!bCheckSQLRuntime(parser)) return 0;
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHFiltre(parser, itemOut); });
}

int CNATable::bHFiltre(INAContext* context, const wchar_t* item, const CAny* lower, int lowerIncluded,
                       const CAny* upper, int upperIncluded, ISQLParserInformation* parser) {
  if (!bCheckSQLRuntime(parser)) return 0;
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHFiltre(item, lower, lowerIncluded, upper, upperIncluded, parser);
  });
}

int CNATable::bHActiveFiltre(INAContext* context, const wchar_t* item, unsigned int /*flags*/) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHActiveFiltre(item); });
}

int CNATable::bHDesactiveFiltre(INAContext* context, const wchar_t* item, unsigned int /*flags*/) {
  return _tForward(context, 0, eMissing::Lenient, [&](CNADataAccess* p) { return p->bHDesactiveFiltre(item); });
}

int CNATable::bHRetourPosition(INAContext* context, int position, wchar_t* item, int keep, unsigned int kind) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bHRetourPosition(position, item, keep, kind); });
}

int CNATable::bHLiberePosition(INAContext* context, int position) {
  return _tForward(context, 0, eMissing::Lenient, [&](CNADataAccess* p) { return p->bHLiberePosition(position); });
}

int CNATable::bHSauvePosition(INAContext* context, const wchar_t* item, int* position, unsigned int kind) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bHSauvePosition(position, item, kind); });
}

int CNATable::bHVersion(INAContext* context, int* version) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHVersion(version); });
}

int CNATable::bHNbEnr(INAContext* context, long* count, unsigned int kind, unsigned int flags) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHNbEnr(count, kind, static_cast<NA_WRITEPARSEFLAGS>(flags));
  });
}

int CNATable::bHPositionCourante(INAContext* context, const wchar_t* item, int* position, eNA_PRECISION precision,
                                 unsigned int /*flags*/) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHPositionCourante(position, item, static_cast<int>(precision));
  });
}

int CNATable::bHPositionne(INAContext* context, const wchar_t* item, unsigned int position, eNA_PRECISION precision,
                           unsigned int flags) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHPositionne(item, position, static_cast<int>(precision), static_cast<NA_WRITEPARSEFLAGS>(flags));
  });
}

int CNATable::bGetBLOB(INAContext* context, unsigned int memo, CAny* value) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bGetBLOB(memo, value); });
}

int CNATable::bSetBLOB(INAContext* context, unsigned int memo, const CAny* value) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bSetBLOB(memo, value); });
}

int CNATable::bGetRecord(INAContext* context, CNAXQRecord** record) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bGetRecord(record); });
}

int CNATable::bSetRecord(INAContext* context, CNAXQRecord* record) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bSetRecord(record); });
}

int CNATable::bHAttacheMemo(INAContext* context, unsigned int memo, const wchar_t* path) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHAttacheMemo(memo, path); });
}

int CNATable::bExtraitMemo(INAContext* context, unsigned int memo, const wchar_t* path) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bExtraitMemo(memo, path); });
}

int CNATable::bHAnnuleRecherche(INAContext* context, const wchar_t* item) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bHAnnuleRecherche(item); });
}

int CNATable::bHChangeCle(INAContext* context, const wchar_t* item, unsigned int flags) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) {
    return p->bHChangeCle(item, static_cast<NA_WRITEPARSEFLAGS>(flags));
  });
}

int CNATable::bHConstruitValCle(INAContext* context, CAny* key, const wchar_t* item, unsigned int kind,
                                CAny** out) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bHConstruitValCle(key, item, kind, out); });
}

int CNATable::bFreeCache(INAContext* context) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bFreeCache(); });
}

int CNATable::bCompareTablePosition(INAContext* context, int first, int second, int* same) {
  return _tForward(context, 0, eMissing::Error19,
                   [&](CNADataAccess* p) { return p->bCompareTablePosition(first, second, same); });
}

int CNATable::bSupprimeTout(INAContext* context) {
  return _tForward(context, 0, eMissing::Error19, [&](CNADataAccess* p) { return p->bSupprimeTout(); });
}

// ======================================================================
// Unsupported operations
// ======================================================================

int CNATable::_bNotSupported(INAContext* context, int site) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    _RaiseUserError(knErrNotSupported, site, NA_ERRORTYPE_UNAVAILABLE, true, true);
    _SetContextLastNAError(context, m_pclError);
    return 0;
  });
}

int CNATable::bHInterditModif(INAContext* context) { return _bNotSupported(context, knSiteInterditModif); }

int CNATable::bHFinInterditModif(INAContext* context) { return _bNotSupported(context, knSiteFinInterditModif); }

int CNATable::bCalculateKeyValue(INAContext* context, const wchar_t* /*item*/, void** /*key*/,
                                 const void* /*record*/, unsigned int* /*size*/, unsigned short /*kind*/,
                                 int /*flags*/) {
  return _bNotSupported(context, knSiteCalculateKeyValue);
}

void CNATable::FreeMemory(INAContext* context, void** /*memory*/) { _bNotSupported(context, knSiteFreeMemory); }

// ======================================================================
// Opening, closing, mode, deletion
// ======================================================================

template <class F>
int CNATable::_bOpening(INAContext* context, bool create, F&& call) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (m_pclError != nullptr) m_pclError->Reset();
    const int bOpen = m_pclConnection == nullptr ? 0
                      : create                  ? m_pclConnection->bOpenCreate(m_pclError)
                                                : m_pclConnection->bOpen(m_pclError);
    if (!bOpen) {
      _SetContextLastNAError(context, m_pclError);
      return 0;
    }
    int bCreated = 0;
    CNADataAccess* pclAccess = _pclGetDataAccess(context, &bCreated);
    if (pclAccess == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { pclAccess->nRelease(); });
    if (pclAccess->pclGetError() != nullptr) pclAccess->pclGetError()->Reset();
    const int bResult = call(pclAccess);
    if (!bResult && bCreated) {
      // The failure stays readable once the data access (and maybe its
      // context) is gone.
      if (m_pclError != nullptr) m_pclError->Copy(pclAccess->pclGetError());
      _RemoveDataAccess(context, pclAccess);
    }
    return bResult;
  });
}

int CNATable::bHCreationSiInexistant(INAContext* context, eNA_ACCESS access, const wchar_t* password) {
  return _bOpening(context, true, [&](CNADataAccess* p) { return p->bHCreationSiInexistant(access, password); });
}

int CNATable::bHCreation(INAContext* context, const wchar_t* password) {
  return _bOpening(context, true, [&](CNADataAccess* p) { return p->bHCreation(password, 1); });
}

int CNATable::bHOuvre(INAContext* context, eNA_ACCESS access, const wchar_t* password) {
  return _bOpening(context, false, [&](CNADataAccess* p) { return p->bHOuvre(access, password); });
}

int CNATable::bSupprimeFichier(INAContext* context) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (m_pclError != nullptr) m_pclError->Reset();
    if (m_pclConnection == nullptr || !m_pclConnection->bOpenCreate(m_pclError)) {
      _SetContextLastNAError(context, m_pclError);
      return 0;
    }
    CNADataAccess* pclAccess = _pclGetDataAccess(context, nullptr);
    if (pclAccess == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { pclAccess->nRelease(); });
    // Taken out whatever the answer, also when the drop throws.
    const CNAOnExit clRemove([&] { _RemoveDataAccess(context, pclAccess); });
    if (pclAccess->pclGetError() != nullptr) pclAccess->pclGetError()->Reset();
    const int bResult = pclAccess->bSupprimeFichier();
    if (!bResult && m_pclError != nullptr) m_pclError->Copy(pclAccess->pclGetError());
    return bResult;
  });
}

int CNATable::bHFerme(INAContext* context) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CNADataAccess* pclAccess = _pclFindDataAccess(context);
    if (pclAccess == nullptr) return 1;
    const CNAOnExit clGiveBack([&] { pclAccess->nRelease(); });
    const CNAOnExit clRemove([&] { _RemoveDataAccess(context, pclAccess); });
    if (pclAccess->pclGetError() != nullptr) pclAccess->pclGetError()->Reset();
    const int bResult = pclAccess->bHFerme();
    if (!bResult && m_pclError != nullptr) m_pclError->Copy(pclAccess->pclGetError());
    SetQueryBindVariable(nullptr);
    return bResult;
  });
}

int CNATable::bHMode(INAContext* context, _eNA_HMODE mode) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CNAContext* pclContext = _pclGetContext(context);
    if (pclContext == nullptr) return 1;
    const int bResult = pclContext->bHMode(pszGetLogicalName(), mode);
    pclContext->nRelease();
    return bResult;
  });
}

// ======================================================================
// Queries and the SQL runtime
// ======================================================================

int CNATable::bCheckSQLRuntime(ISQLParserInformation* parser) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CNADriver* pclDriver = _pclDriver();
    if (parser == nullptr || (pclDriver != nullptr && pclDriver->bSQLRuntimeChecked())) return 1;
    if (!parser->bCheckCompatibility(knCheckKind, knCheckVersion, &CNADriver::s_nID_KXSQL)) {
      _RaiseUserError(knErrNotCompatible, knSiteCheckRefused, NA_ERRORTYPE_GENERIC, false, true, kszThisModule,
                      kszSQLModule);
      return 0;
    }
    if (CNADriver::s_nID_KXSQL < knOldestSQLRuntime) {
      _RaiseUserError(knErrNotCompatible, knSiteCheckVersion, NA_ERRORTYPE_GENERIC, false, true, kszSQLModule,
                      kszThisModule);
      return 0;
    }
    if (pclDriver != nullptr) pclDriver->SetSQLRuntimeChecked();
    return 1;
  });
}

int CNATable::bExecuteQuery(int* resultSet, INAContext* context, const wchar_t* name,
                            ISQLParserInformation* parser, unsigned int flags,
                            const INAQueryExecution* execution) {
  if (resultSet != nullptr) *resultSet = 0;
  // Two sections one after the other: the check, then the run.
  if (!bCheckSQLRuntime(parser)) return 0;
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CNADataAccess* pclAccess = _pclGetDataAccess(context, nullptr);
    if (pclAccess == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { pclAccess->nRelease(); });
    if (pclAccess->pclGetError() != nullptr) pclAccess->pclGetError()->Reset();
    int bResultSet = 0;
    const int bResult =
        pclAccess->bExecuteQuery(&bResultSet, name, parser, static_cast<eNA_QUERYMODE>(flags), execution);
    if (resultSet != nullptr) *resultSet = bResultSet;
    if (bResult) {
      if (!pclAccess->bHPrepareRequeteCalled() && bResultSet != 0) {
        // The runtime's description of the table becomes that of the
        // result's columns (the reference the data access hands out is the
        // table's).
        INADataSourceDescription* piResult = pclAccess->piGetDataSourceDescriptionForXQ();
        INADataSourceDescription* piOld = m_piDataSource;
        m_piDataSource = piResult;
        if (piOld != nullptr) piOld->nExternalRelease();
      }
      return bResult;
    }
    if (m_pclError != nullptr) m_pclError->Copy(pclAccess->pclGetError());
    if (!pclAccess->bHPrepareRequeteCalled()) _RemoveDataAccess(context, pclAccess);
    return bResult;
  });
}

int CNATable::bNeedCloseQuery(INAContext* context, ISQLParserInformation* parser) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    int bCreated = 0;
    CNADataAccess* pclAccess = _pclGetDataAccess(context, &bCreated);
    if (pclAccess == nullptr) return 0;
    const int bResult = bCreated ? 0 : (pclAccess->bSameQuery(parser) ? 0 : 1);
    pclAccess->nRelease();
    return bResult;
  });
}

void CNATable::SetQueryBindVariable(INAQueryParametersValue* values) {
  CNADriverLock clLock;
  if (values == m_piBindVariables) return;
  if (values != nullptr) values->ExternalAddRef();
  INAQueryParametersValue* piOld = m_piBindVariables;
  m_piBindVariables = values;
  if (piOld != nullptr) piOld->nExternalRelease();
}

// ======================================================================
// Table-wide operations
// ======================================================================

int CNATable::bCloseAllDataAccess() {
  int bResult = 1;
  _ForEachDataAccess([&](CNADataAccess* p) {
    if (!p->bHFerme()) bResult = 0;
  });
  return bResult;
}

int CNATable::bCloseAllDataAccess(INAContext* context, const wchar_t* name) {
  const std::uint64_t nCtx = nContextID(context);
  int bResult = 1;
  _ForEachDataAccess([&](CNADataAccess* p) {
    if (p->dwGetContextID() != nCtx || !bSameName(p->pszGetLogicalName(), name)) return;
    if (!p->bHFerme()) bResult = 0;
    _RemoveDataAccess(context, p);
  });
  return bResult;
}

int CNATable::bFiltreAuto(INAContext* context, int on, const wchar_t* table, const wchar_t* name,
                          INADataSourceDescription* source) {
  const std::uint64_t nCtx = nContextID(context);
  const bool bAll = table != nullptr && table[0] == L'*';
  int bResult = 1;
  _ForEachDataAccess([&](CNADataAccess* p) {
    if (p->dwGetContextID() != nCtx || (!bAll && !bSameName(p->pszGetLogicalName(), table))) return;
    if (!p->bSetFiltreAuto(on, table, name, source)) bResult = 0;
  });
  return bResult;
}

int CNATable::bFiltreAuto(INAContext* context, int on, const wchar_t* table) {
  const std::uint64_t nCtx = nContextID(context);
  bool bDone = false;
  _ForEachDataAccess([&](CNADataAccess* p) {
    if (bDone || p->dwGetContextID() != nCtx || !bSameName(p->pszGetLogicalName(), table)) return;
    p->SetFiltreAuto(on);
    bDone = true;
  });
  return 1;
}

CNADataAccess* CNATable::pclFindDataAccessByContext(std::uint64_t contextId) {
  CNADriverLock clLock;
  unsigned int nCursor = 0;
  CNADataAccess* pclAccess = nullptr;
  while (m_htDataAccess.bParseTable(&nCursor, 0, &pclAccess)) {
    if (pclAccess == nullptr || pclAccess->dwGetContextID() != contextId) continue;
    m_htDataAccess.StopParsing();
    pclAccess->AddRef();
    return pclAccess;
  }
  return nullptr;
}

void CNATable::CancelRecordLock(INAConnectionDescription* cnx, CNATransaction* transaction) {
  _ForEachDataAccess([&](CNADataAccess* p) {
    CNAConnectionDescription* pclCnx = p->pclGetConnection();
    if (pclCnx != nullptr && pclCnx->piGetHost() == cnx) p->CancelRecordLock(cnx, transaction);
  });
}

void CNATable::NotifyDataAccessOperation(CNADataAccess* from, eNAQUERYTYPE type, CNAStatement* statement,
                                         NA_WRITEPARSEFLAGS flags) {
  _ForEachDataAccess([&](CNADataAccess* p) {
    if (p != from) p->NotifyOperation(type, statement, flags);
  });
}

void CNATable::SetTransactionTermined() {
  _ForEachDataAccess([](CNADataAccess* p) { p->SetTransactionTermined(); });
}
