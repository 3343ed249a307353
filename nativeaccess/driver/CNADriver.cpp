#include "CNADriver.h"

#include <cwchar>
#include <new>

#include "CHashTableBounce.h"
#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNAParameter.h"
#include "CNADataAccess.h"
#include "CNADataSourceDescription.h"
#include "INAContext.h"
#include "INADataSourceDescription.h"
#include "CNABoundary.h"
#include "CNADriverLock.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNAIDAuto.h"
#include "CNAItemDescription.h"
#include "CNASQLColumn.h"
#include "INAConnectionDescription.h"
#include "StrFunctions.h"
#include "XQForNA.h"

CNADriver* CNADriver::s_pclDriver = nullptr;

namespace {

constexpr std::uint32_t knDriverVersion = 18;
constexpr std::uint32_t knDriverCompatSince = 17;
constexpr std::uint32_t knAllOnes = 0xFFFFFFFFu;

// Clones of item descriptions come from the process's driver (slot 57), or
// are plain descriptions when there is none.
CNAItemDescription* AllocCloneItemDescription(void* /*context*/) {
  if (CNADriver::s_pclDriver != nullptr) return CNADriver::s_pclDriver->pclAllocItemDescription();
  return new (std::nothrow) CNAItemDescription();
}

// Appends the text as fixed-width hexadecimal, eight digits per character,
// so that no case or accent folding of the key can make two different texts
// equal. A missing text is written as the text "NULL" would be.
void AppendCredential(CTString* out, const wchar_t* text) {
  if (text == nullptr) text = L"NULL";
  static const wchar_t kszDigits[] = L"0123456789ABCDEF";
  wchar_t szOne[9];
  szOne[8] = 0;
  for (; *text != 0; ++text) {
    const auto dw = static_cast<std::uint32_t>(*text);
    for (int k = 0; k < 8; ++k) szOne[k] = kszDigits[(dw >> (28 - 4 * k)) & 0xFu];
    out->Add(szOne);
  }
}

const wchar_t* OrNull(const wchar_t* text) { return text != nullptr ? text : L"NULL"; }

}  // namespace

// ======================================================================
// Construction and destruction
// ======================================================================

CNADriver::CNADriver() { CNAItemDescription::s_SetCloneFactory(AllocCloneItemDescription, nullptr); }

CNADriver::~CNADriver() {
  CNADriverLock clLock;
  _ResetError();
  _Term();
  if (s_pclDriver == this) s_pclDriver = nullptr;
  // The registries are empty now; their destructors free what is left.
}

void CNADriver::_Term() {
  CNADriverLock clLock;
  m_clContexts.DeleteAll(7);
  _ForgetTable(nullptr);
  m_clTables.DeleteAll(7);
  _ForgetTable(nullptr);
  _ForgetConnection(nullptr);
  m_clConnections.DeleteAll(7);
  _ForgetConnection(nullptr);
  // Open references are internal references of connections that are gone
  // from the registry; give them back too, so nothing stays alive.
  while (!m_mapOpenReferences.empty()) {
    auto it = m_mapOpenReferences.begin();
    CNAConnectionDescription* pclCnx = it->first;
    const std::uint32_t n = it->second;
    m_mapOpenReferences.erase(it);
    for (std::uint32_t i = 0; i < n; ++i) pclCnx->nRelease();
  }
  if (m_pclError != nullptr) {
    CNAError* pclError = m_pclError;
    m_pclError = nullptr;
    pclError->nRelease();
  }
  _FreeDriverSQL();
  _BeforeDeath();
}

// ======================================================================
// INADriver
// ======================================================================

std::uint32_t CNADriver::nGetVersion() { return knDriverVersion; }
std::uint32_t CNADriver::nGetCompatSince() { return knDriverCompatSince; }
std::uint32_t CNADriver::nGetNAVersion() { return knAllOnes; }
std::uint32_t CNADriver::nGetNACompatSince() { return knAllOnes; }
void CNADriver::NAVersion_EmptySlot_3() {}

void CNADriver::ExternalAddRef() {
  NA_Boundary(m_pclError, NA_BOUNDARY_LOCK, [&] {
    ++m_nExternalCount;
  });
}

std::uint32_t CNADriver::nExternalRelease() {
  return NA_tBoundary<std::uint32_t>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> std::uint32_t {
    if (m_nExternalCount == 0) return 0;
    const std::uint32_t nLeft = --m_nExternalCount;
    if (nLeft == 0) delete this;
    return nLeft;
  });
}

int CNADriver::bCopyContext(INACopyCtx* /*copy*/, INAContext* /*from*/, INAContext* /*to*/,
                            unsigned int /*flags*/) {
  return 0;
}

INAError* CNADriver::piGetLastError() {
  CNADriverLock clLock;
  return m_pclError;
}

int CNADriver::bSetQueryParameters(INAContext* /*context*/, INAConnectionDescription* /*cnx*/,
                                   INAQueryParametersValue* /*values*/) {
  return 1;
}

int CNADriver::bSetVMAndLibShop(ILibShop* libShop, IVMData* vmData) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    m_piLibShop = libShop;
    m_piVMData = vmData;
    return 1;
  });
}

int CNADriver::bValidConnection(INAConnectionDescription* /*cnx*/) { return 1; }

int CNADriver::bSetXQ(IXQForNA* xq) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    m_piXQ = xq;
    XQForNA_Set(xq);
    return 1;
  });
}


// ======================================================================
// The driver's own slots
// ======================================================================

int CNADriver::bSetCharset(unsigned int /*charset*/, void* /*reserved*/) { return 1; }

int CNADriver::bBuildCnxIdentification(CTString* out, INAConnectionDescription* cnx) {
  const wchar_t* pszName = nullptr;
  const wchar_t* pszProvider = nullptr;
  const wchar_t* pszExtended = nullptr;
  const wchar_t* pszSource = nullptr;
  const wchar_t* pszUser = nullptr;
  const wchar_t* pszPassword = nullptr;
  int nAccess = 0;
  if (cnx != nullptr) {
    const stNAConnectionObject* pstObject = cnx->pstGetConnectionObject();
    if (pstObject != nullptr) pszName = pstObject->pszName;
    pszProvider = cnx->pszGetProvider();
    pszExtended = cnx->pszGetExtendedInfo();
    pszSource = cnx->pszGetDataSource();
    pszUser = cnx->pszGetUserName();
    pszPassword = cnx->pszGetPassword();
    nAccess = cnx->nGetAccess();
  }
  out->printf(L"Connection=%s;Provider=%s;ExtendedInformation=%s;Data source=%s;user id=", OrNull(pszName),
              OrNull(pszProvider), OrNull(pszExtended), OrNull(pszSource));
  AppendCredential(out, pszUser);
  out->Add(L";password=");
  AppendCredential(out, pszPassword);
  out->Add(L";access=");
  out->Add(nAccess == 1 ? L"R" : L"RW");
  return 1;
}

CNADriverSQL* CNADriver::pclGetDriverSQL() {
  CNADriverLock clLock;
  if (m_pclDriverSQL == nullptr) _InitDriverSQL();
  return m_pclDriverSQL;
}

CNAConvertVariant* CNADriver::pclAllocVariant(CNAError* error, CNAConnectionDescription* cnx) {
  // Counts 0: the caller takes the first reference. Without an error object
  // the holder reports into the driver's, and so does a shortage.
  CNAError* pclError = error != nullptr ? error : m_pclError;
  auto* pclVariant = new (std::nothrow) CNAConvertVariant(pclError, cnx);
  if (pclVariant == nullptr && pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
  return pclVariant;
}

CNAConvertVariant* CNADriver::pclAllocVariantRowID(CNAError* /*error*/, CNAConnectionDescription* /*cnx*/) {
  return nullptr;
}

CNADataSourceDescription* CNADriver::pclAllocDataSourceDescription(CNAConnectionDescription* cnx,
                                                                   CNAError* error) {
  return new (std::nothrow) CNADataSourceDescription(cnx, error);
}

CNAContext* CNADriver::pclAllocContext() { return new (std::nothrow) CNAContext(); }

CNADataAccess* CNADriver::pclAllocDataAccess(INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                             CNAError* error) {
  return new (std::nothrow) CNADataAccess(source, cnx, error);
}

CNASQLColumn* CNADriver::pclAllocColumn(CNAError* error, INAItemDescription* item) {
  // Columns of the types that hold values: none for type 0, the unnamed
  // type 8 and types above 31.
  if (item == nullptr) return nullptr;
  const eNA_ITEMTYPE e = item->eNAGetItemType();
  if (e == NA_IT_EMPTY || e == NA_IT_UNKNOWN_8 || e > NA_IT_DECIMAL) return nullptr;
  return new (std::nothrow) CNASQLColumn(error, item);
}

CNACommand* CNADriver::pclAllocCommand(CNAError* error, CNAConnectionDescription* cnx) {
  // Counts 0: the caller takes the first reference.
  CNACommand* pclCommand = new (std::nothrow) CNACommand(error, cnx);
  if (pclCommand != nullptr) pclCommand->SetDriver(this);
  return pclCommand;
}

CNACommand* pclAllocCommand(CNAError* error, CNAConnectionDescription* cnx) {
  return new (std::nothrow) CNACommand(error, cnx);
}

CNAError* CNADriver::pclAllocError() { return new (std::nothrow) CNAError(); }

CNAIDAuto* CNADriver::pclAllocIDAuto() { return new (std::nothrow) CNAIDAuto(); }

CNADataSourceDescription* CNADriver::_pclGetTableDesc(const wchar_t* name, CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  CNADataSourceDescription* pclSource = pclAllocDataSourceDescription(cnx, m_pclError);
  if (pclSource == nullptr) {
    _SetErrorNoMemory();
    return nullptr;
  }
  pclSource->AddRef();
  if (!pclSource->bInitDataSourceDescriptionFromDB(name, 0)) {
    pclSource->nRelease();
    return nullptr;
  }
  return pclSource;
}

CNAParameter* CNADriver::pclAllocParameter(CNAConvertVariant* variant, unsigned long size,
                                           unsigned int kind, const wchar_t* name) {
  CNAParameter* pclParameter = new (std::nothrow) CNAParameter(variant, size, kind, name);
  if (pclParameter != nullptr) pclParameter->SetDriver(this);
  return pclParameter;
}

CNAParameter* CNADriver::pclAllocParameter_col(CNAColumn* column, CNAConvertVariant* variant, unsigned long size,
                                               unsigned int kind, const wchar_t* name) {
  CNAParameter* pclParameter = pclAllocParameter(variant, size, kind, name);
  if (pclParameter != nullptr) pclParameter->SetColum(column);
  return pclParameter;
}


CNAItemDescription* CNADriver::pclAllocItemDescription() { return new (std::nothrow) CNAItemDescription(); }

void CNADriver::OnFatalErrorAddDebugMessage(CNAError* /*error*/, CNAConnectionDescription* /*cnx*/) {}

CNATable* CNADriver::_pclAllocTable(const wchar_t* identification, INADataSourceDescription* source,
                                    CNAConnectionDescription* cnx, CNAError* error) {
  return new (std::nothrow) CNATable(identification, source, cnx, error, this);
}

CNADriverSQL* CNADriver::_pclAllocDriverSQL(CNAError* /*error*/) { return nullptr; }



int CNADriver::_bTableExists(int* exists, const wchar_t* name, CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  CNADataSourceDescription* pclSource = _pclGetTableDesc(name, cnx);
  if (pclSource != nullptr) {
    if (exists != nullptr) *exists = 1;
    pclSource->nRelease();
    return 1;
  }
  if (exists != nullptr) *exists = 0;
  constexpr std::uint32_t knNoSuchTable = 30;
  return m_pclError != nullptr && m_pclError->nGetUserErrorCode() == knNoSuchTable ? 1 : 0;
}

void CNADriver::_BeforeDeath() {}

std::uint64_t CNADriver::_nGetContextNumber(INAContext* context) {
  return context != nullptr ? context->dwGetContextID() : 0;
}

const wchar_t* CNADriver::_pszGetDataSourceName(INADataSourceDescription* source) {
  return source != nullptr ? source->pszGetDBTableName() : nullptr;
}

// ======================================================================
// Set-up
// ======================================================================

bool CNADriver::AllocError() {
  CNADriverLock clLock;
  CNAError* pclNew = pclAllocError();
  if (pclNew == nullptr) return false;
  pclNew->AddRef();
  CNAError* pclOld = m_pclError;
  m_pclError = pclNew;
  if (pclOld != nullptr) pclOld->nRelease();
  return true;
}

int CNADriver::bInitDriver() {
  AllocError();
  return m_pclError != nullptr ? 1 : 0;
}

void CNADriver::_SetErrorNoMemory() {
  if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
}

void CNADriver::_ResetError() {
  if (m_pclError != nullptr) m_pclError->Reset();
}

void CNADriver::_ForgetConnection(CNAConnectionDescription* cnx) {
  if (cnx == nullptr || cnx == m_pclLastConnection) {
    m_pszLastConnectionKey = nullptr;
    m_pclLastConnection = nullptr;
  }
}

void CNADriver::_ForgetTable(CNATable* table) {
  if (table == nullptr || table == m_pclLastTable) {
    m_pszLastTableKey = nullptr;
    m_pclLastTable = nullptr;
  }
}

// ======================================================================
// Connections
// ======================================================================

CNAConnectionDescription* CNADriver::_pclFindConnection(const wchar_t* key) {
  CNADriverLock clLock;
  if (m_pszLastConnectionKey != nullptr &&
      CHashTableBounce::nStringLogiqueCompare(key, m_pszLastConnectionKey) == 0) {
    m_pclLastConnection->AddRef();
    return m_pclLastConnection;
  }
  CNAConnectionDescription* pclCnx = nullptr;
  const wchar_t* pszStored = nullptr;
  if (!m_clConnections.bGetElement(key, &pclCnx, &pszStored)) return nullptr;
  m_pszLastConnectionKey = pszStored;
  m_pclLastConnection = pclCnx;
  return pclCnx;
}

CNAConnectionDescription* CNADriver::_pclFindConnection(INAConnectionDescription* cnx) {
  CNADriverLock clLock;
  CTString clKey;
  bBuildCnxIdentification(&clKey, cnx);
  return _pclFindConnection(clKey.pszGet());
}

CNAConnectionDescription* CNADriver::_pclAddConnection(const wchar_t* key, INAConnectionDescription* cnx) {
  CNADriverLock clLock;
  CNAConnectionDescription* pclCnx = _pclAllocConnectionDescription(key, cnx);
  if (pclCnx == nullptr) {
    _SetErrorNoMemory();
    return nullptr;
  }
  pclCnx->AddRef();  // the caller's
  if (!m_clConnections.bAddElement(pclCnx->pszGetIdentification(), pclCnx)) {
    pclCnx->nRelease();
    _SetErrorNoMemory();
    return nullptr;
  }
  return pclCnx;
}

CNAConnectionDescription* CNADriver::_pclGetConnection(INAConnectionDescription* cnx) {
  CNADriverLock clLock;
  CTString clKey;
  bBuildCnxIdentification(&clKey, cnx);
  CNAConnectionDescription* pclCnx = _pclFindConnection(clKey.pszGet());
  if (pclCnx != nullptr) return pclCnx;
  return _pclAddConnection(clKey.pszGet(), cnx);
}

int CNADriver::nReleaseConnection(CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  if (cnx == nullptr || cnx->nGetInternalCount() == 0) return 0;
  if (cnx->nGetInternalCount() == 2 && cnx->bAutoCloseEnabled()) {
    // The caller's reference and one other: when the other is the
    // registry's, the connection leaves (closed first when open).
    CNAConnectionDescription* pclFound = nullptr;
    if (m_clConnections.bGetElement(cnx->pszGetIdentification(), &pclFound)) {
      pclFound->nRelease();
      if (pclFound == cnx) {
        cnx->nRelease();
        if (cnx->bIsOpen()) cnx->bClose(m_pclError);
        _bRemoveConnection(cnx);
        return 0;
      }
    }
  }
  return static_cast<int>(cnx->nRelease());
}

bool CNADriver::_bRemoveConnection(CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  if (cnx == nullptr) return false;
  CNAConnectionDescription* pclFound = nullptr;
  if (!m_clConnections.bGetElement(cnx->pszGetIdentification(), &pclFound)) return false;
  pclFound->nRelease();
  if (pclFound != cnx) return false;
  _ForgetConnection(cnx);
  m_clConnections.bDeleteElement(cnx->pszGetIdentification());
  return true;
}

void CNADriver::_AddOpenReference(CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  if (cnx == nullptr) return;
  // Counted first, so that a map that cannot grow takes no reference.
  ++m_mapOpenReferences[cnx];
  cnx->AddRef();
}

std::uint32_t CNADriver::nGetOpenReferences(CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  auto it = m_mapOpenReferences.find(cnx);
  return it != m_mapOpenReferences.end() ? it->second : 0;
}

bool CNADriver::_bCloseConnection(CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  auto it = m_mapOpenReferences.find(cnx);
  if (it == m_mapOpenReferences.end()) return false;
  if (--it->second == 0) m_mapOpenReferences.erase(it);
  nReleaseConnection(cnx);
  return true;
}

CNAConnectionDescription* CNADriver::pclGetConnectionByID(int number) {
  CNADriverLock clLock;
  unsigned int nCursor = 0;
  CNAConnectionDescription* pclCnx = nullptr;
  while (m_clConnections.bParseTable(&nCursor, 0, &pclCnx)) {
    if (pclCnx != nullptr && pclCnx->nGetCnxNumber() == static_cast<std::uint32_t>(number)) {
      m_clConnections.StopParsing();
      pclCnx->AddRef();
      return pclCnx;
    }
  }
  return nullptr;
}

CNAConnectionDescription* CNADriver::pclGetConnectionByName(const wchar_t* name) {
  CNADriverLock clLock;
  unsigned int nCursor = 0;
  CNAConnectionDescription* pclCnx = nullptr;
  while (m_clConnections.bParseTable(&nCursor, 0, &pclCnx)) {
    if (pclCnx == nullptr) continue;
    const wchar_t* pszName = pclCnx->pszGetConnectionName();
    if (pszName != nullptr && name != nullptr && STR_nCompareW(pszName, name, 3) == 0) {
      m_clConnections.StopParsing();
      pclCnx->AddRef();
      return pclCnx;
    }
  }
  return nullptr;
}

std::uint32_t CNADriver::nGetConnectionCount() {
  CNADriverLock clLock;
  return m_clConnections.dwGetNumElement();
}

// ======================================================================
// Tables
// ======================================================================

void CNADriver::_BuildTableKey(CTString* out, INADataSourceDescription* source, CNAConnectionDescription* cnx) {
  out->printf(L"Table=%s;%s", OrNull(_pszGetDataSourceName(source)),
              cnx != nullptr ? cnx->pszGetIdentification() : L"NULL");
}

void CNADriver::_BuildQueryKey(CTString* out, INAContext* context, const wchar_t* name,
                               CNAConnectionDescription* cnx) {
  const unsigned long long llNumber = _nGetContextNumber(context);
  out->printf(L"CTX=%llu;Table=%s;%s", llNumber, OrNull(name),
              cnx != nullptr ? cnx->pszGetIdentification() : L"NULL");
}

CNATable* CNADriver::_pclFindTable(const wchar_t* key) {
  CNADriverLock clLock;
  if (m_pszLastTableKey != nullptr && CHashTableBounce::nStringLogiqueCompare(key, m_pszLastTableKey) == 0) {
    m_pclLastTable->AddRef();
    return m_pclLastTable;
  }
  CNATable* pclTable = nullptr;
  const wchar_t* pszStored = nullptr;
  if (!m_clTables.bGetElement(key, &pclTable, &pszStored)) return nullptr;
  m_pszLastTableKey = pszStored;
  m_pclLastTable = pclTable;
  return pclTable;
}

CNATable* CNADriver::_pclFindTable(INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                   CTString* key) {
  CNADriverLock clLock;
  CTString clKey;
  _BuildTableKey(&clKey, source, cnx);
  if (key != nullptr) *key = clKey;
  return _pclFindTable(clKey.pszGet());
}

CNATable* CNADriver::_pclAddTable(const wchar_t* key, INADataSourceDescription* source,
                                  CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  CNATable* pclTable = _pclAllocTable(key, source, cnx, m_pclError);
  if (pclTable == nullptr) {
    _SetErrorNoMemory();
    return nullptr;
  }
  pclTable->AddRef();  // the caller's
  if (!_AddTable(pclTable)) {
    // Another table holds the key: hand that one out instead.
    CNATable* pclRegistered = _pclFindTable(pclTable->pszGetIdentification());
    pclTable->nRelease();
    if (pclRegistered == nullptr) _SetErrorNoMemory();
    return pclRegistered;
  }
  return pclTable;
}

bool CNADriver::_AddTable(CNATable* table) {
  CNADriverLock clLock;
  if (table == nullptr) return false;
  CNATable* pclFound = _pclFindTable(table->pszGetIdentification());
  if (pclFound != nullptr) {
    pclFound->nRelease();
    return pclFound == table;
  }
  return m_clTables.bAddElement(table->pszGetIdentification(), table);
}

CNATable* CNADriver::_pclGetTable(INADataSourceDescription* source, CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  CTString clKey;
  CNATable* pclTable = _pclFindTable(source, cnx, &clKey);
  if (pclTable != nullptr) return pclTable;
  return _pclAddTable(clKey.pszGet(), source, cnx);
}

bool CNADriver::_bReleaseTable(CNATable* table) {
  CNADriverLock clLock;
  if (table == nullptr) return false;
  CNATable* pclFound = nullptr;
  if (!m_clTables.bGetElement(table->pszGetIdentification(), &pclFound)) return false;
  pclFound->nRelease();
  if (pclFound != table) return false;
  _ForgetTable(table);
  m_clTables.bDeleteElement(table->pszGetIdentification());
  return true;
}

bool CNADriver::_bReleaseTable(INAContext* context, CNATable* table) {
  CNADriverLock clLock;
  if (table == nullptr) return false;
  table->bHFerme(context);
  return _bReleaseTable(table);
}

int CNADriver::nReleaseTable(CNATable* table) {
  CNADriverLock clLock;
  if (table == nullptr || table->nGetInternalCount() == 0) return 0;
  if (table->nGetInternalCount() == 2) {
    CNATable* pclFound = nullptr;
    if (m_clTables.bGetElement(table->pszGetIdentification(), &pclFound)) {
      pclFound->nRelease();
      if (pclFound == table) {
        table->nRelease();
        _bReleaseTable(table);
        return 0;
      }
    }
  }
  return static_cast<int>(table->nRelease());
}

CNATable* CNADriver::pclEnumTableByConnection(unsigned int* position, CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  if (position == nullptr) return nullptr;
  CNATable* pclTable = nullptr;
  while (m_clTables.bParseTable(position, 0, &pclTable)) {
    if (pclTable != nullptr && pclTable->pclGetConnection() == cnx) {
      m_clTables.StopParsing();
      pclTable->AddRef();
      return pclTable;
    }
  }
  return nullptr;
}

std::uint32_t CNADriver::nGetTableCount() {
  CNADriverLock clLock;
  return m_clTables.dwGetNumElement();
}

// ======================================================================
// Contexts
// ======================================================================

CNAContext* CNADriver::pclFindContext(INAContext* context) {
  CNADriverLock clLock;
  CNAContext* pclContext = nullptr;
  if (!m_clContexts.bGetElement(static_cast<unsigned long>(_nGetContextNumber(context)), &pclContext))
    return nullptr;
  return pclContext;
}

CNAContext* CNADriver::pclGetContext(INAContext* context, int* created) {
  CNADriverLock clLock;
  if (created != nullptr) *created = 0;
  CNAContext* pclContext = pclFindContext(context);
  if (pclContext != nullptr) return pclContext;
  pclContext = pclAllocContext();
  if (pclContext == nullptr) {
    _SetErrorNoMemory();
    return nullptr;
  }
  if (pclContext->pclGetError() == nullptr) {
    // Its error object could not be made: a context that cannot report is
    // not handed out.
    pclContext->AddRef();
    pclContext->nRelease();
    _SetErrorNoMemory();
    return nullptr;
  }
  const std::uint64_t nNumber = _nGetContextNumber(context);
  pclContext->SetNumber(nNumber);
  pclContext->AddRef();  // the caller's
  if (!m_clContexts.bAddElement(static_cast<unsigned long>(nNumber), pclContext)) {
    pclContext->nRelease();
    _SetErrorNoMemory();
    return nullptr;
  }
  if (created != nullptr) *created = 1;
  return pclContext;
}

int CNADriver::nReleaseContext(INAContext* context, CNAContext* pclContext) {
  CNADriverLock clLock;
  if (pclContext == nullptr) return 0;
  // A hold of our own across the caller's release, so that the checks
  // below never read a context that is gone.
  pclContext->AddRef();
  pclContext->nRelease();  // the caller's
  int nLeft = static_cast<int>(pclContext->nGetInternalCount()) - 1;
  if (pclContext->nGetDataAccessCount() == 0) {
    const auto nKey = static_cast<unsigned long>(_nGetContextNumber(context));
    CNAContext* pclFound = nullptr;
    if (m_clContexts.bGetElement(nKey, &pclFound)) {
      pclFound->nRelease();
      if (pclFound == pclContext) {
        m_clContexts.bDeleteElement(nKey);
        nLeft = 0;
      }
    }
  }
  pclContext->nRelease();
  return nLeft;
}

std::uint32_t CNADriver::nGetContextCount() {
  CNADriverLock clLock;
  return m_clContexts.dwGetNumElement();
}

// ======================================================================
// SQL face, names
// ======================================================================

void CNADriver::_InitDriverSQL() {
  CNADriverLock clLock;
  if (m_pclDriverSQL != nullptr) return;
  m_pclDriverSQL = _pclAllocDriverSQL(m_pclError);
  if (m_pclDriverSQL != nullptr) m_pclDriverSQL->AddRef();
}

void CNADriver::_FreeDriverSQL() {
  CNADriverLock clLock;
  CNADriverSQL* pclSQL = m_pclDriverSQL;
  m_pclDriverSQL = nullptr;
  if (pclSQL != nullptr) pclSQL->nRelease();
}

void CNADriver::s_ReleaseConnection(CNAConnectionDescription* cnx) {
  if (cnx == nullptr) return;
  if (s_pclDriver != nullptr)
    s_pclDriver->nReleaseConnection(cnx);
  else
    cnx->nRelease();
}

CNADriverSQL* CNADriver::s_pclGetDriverSQL() {
  CNADriverLock clLock;
  return s_pclDriver != nullptr ? s_pclDriver->pclGetDriverSQL() : nullptr;
}

void CNADriver::g_GenerateItemName(CTString* out, int n) { out->printf(L"%s%d", L"Expr", n + 1000); }
