// The runtime's half of the SQL face: connections and statements by
// handle, and the catalogue slots that reach the lists by handle.
#include <cstdio>

#include "CAny.h"
#include "CNABoundary.h"
#include "CNAConnectionDescription.h"
#include "CNADataSourceDescription.h"
#include "CNADriver.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNAHeld.h"
#include "CTString.h"
#include "CXError.h"

namespace {

// The name the SQL runtime's transactions carry: a second begin nests under
// the same name, and each end closes the innermost one of that name.
constexpr wchar_t kszSQLTransaction[] = L"SQLTransaction";

}  // namespace

std::int32_t CNADriverSQL::m_gnCnxNameGenerator = 0;

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

template <typename R, typename F>
R CNADriverSQL::_tConnectionEntry(R failure, int connection, F work) {
  // The lock comes before the reset: another thread's error must not land
  // in the shared object between the two.
  return NA_tBoundary<R>(m_pclError, NA_BOUNDARY_ENTRY, failure, [&]() -> R {
    CNAConnectionDescription* pclCnx = _pclGetConnection(connection);
    if (pclCnx == nullptr) return failure;
    const CNAAdopted<CNAConnectionDescription> clHeld(pclCnx);
    return work(pclCnx);
  });
}

template <typename R, typename F>
R CNADriverSQL::_tStatementEntry(R failure, int statement, F work) {
  return NA_tBoundary<R>(m_pclError, NA_BOUNDARY_ENTRY, failure, [&]() -> R {
    if (statement == 0) return failure;
    CNAStatementSQL* pclStatement = nullptr;
    // The lookup's reference keeps the statement alive through the call,
    // even when the work frees its handle.
    if (!m_clStatements.bGetElement(statement, &pclStatement) || pclStatement == nullptr) return failure;
    const CNAAdopted<CNAStatementSQL> clHeld(pclStatement);
    pclStatement->ResetLastError();
    return work(pclStatement);
  });
}

// ---------------------------------------------------------------------------
// Connections
// ---------------------------------------------------------------------------

CNAConnectionDescription* CNADriverSQL::_pclGetConnection(int connection) {
  CNADriver* pclDriver = _pclGetListDriver();
  return pclDriver != nullptr ? pclDriver->pclGetConnectionByID(connection) : nullptr;
}

CNAConnectionDescription* CNADriverSQL::_pclGetNewConnection(INAConnectionDescription* cnx) {
  CNADriverLock clLock;
  CNADriver* pclDriver = _pclGetListDriver();
  if (pclDriver == nullptr || cnx == nullptr) return nullptr;
  CTString csKey;
  if (!pclDriver->bBuildCnxIdentification(&csKey, cnx)) return nullptr;
  // A key of its own: never the table interface's connection nor another
  // open of the SQL runtime.
  csKey.AddPrintf(L";SQLConnecte%d", ++m_gnCnxNameGenerator);
  return pclDriver->_pclAddConnection(csKey.pszGet(), cnx);
}

int CNADriverSQL::bOpenConnection(int* connection, INAConnectionDescription* cnx) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    if (connection != nullptr) *connection = 0;
    CNAConnectionDescription* pclCnx = _pclGetNewConnection(cnx);
    if (pclCnx == nullptr) return 0;
    const CNAAdopted<CNAConnectionDescription> clHeld(pclCnx);
    pclCnx->SetSQLRuntime(1);
    // A failed open takes the connection out of the registry again.
    if (!_pclGetListDriver()->_bOpenConnection(pclCnx)) return 0;
    if (connection != nullptr) *connection = static_cast<int>(pclCnx->nGetCnxNumber());
    return 1;
  });
}

int CNADriverSQL::bCloseConnection(int connection) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNADriver* pclDriver = _pclGetListDriver();
    // The statements still registered keep their connection (and its
    // rows); it closes when the last of them is freed.
    return pclDriver != nullptr ? pclDriver->_bCloseConnectionById(connection) : 0;
  });
}

int CNADriverSQL::bSetVMAndLibShop(ILibShop* libShop, IVMData* vmData) {
  CNADriver* pclDriver = _pclGetListDriver();
  return pclDriver != nullptr ? pclDriver->bSetVMAndLibShop(libShop, vmData) : 0;
}

// ---------------------------------------------------------------------------
// Catalogue by connection handle
// ---------------------------------------------------------------------------

int CNADriverSQL::bGetTableList(CAny* result, int connection, const wchar_t* condition, unsigned int flags) {
  return _tConnectionEntry<int>(0, connection, [&](CNAConnectionDescription* pclCnx) {
    return bGetTableList(result, pclCnx, condition, flags);
  });
}

int CNADriverSQL::bGetColumnList(CAny* result, int connection, const wchar_t* table, unsigned int flags) {
  return _tConnectionEntry<int>(0, connection, [&](CNAConnectionDescription* pclCnx) {
    return bGetColumnList(result, pclCnx, table, flags);
  });
}

INADataSourceDescription* CNADriverSQL::piGetTableDesc(int connection, const wchar_t* table,
                                                       unsigned int /*flags*/) {
  return _tConnectionEntry<INADataSourceDescription*>(
      nullptr, connection, [&](CNAConnectionDescription* pclCnx) -> INADataSourceDescription* {
        return _pclGetListDriver()->_piGetTableDesc(table, pclCnx);
      });
}

// ---------------------------------------------------------------------------
// Statements
// ---------------------------------------------------------------------------

std::uint32_t CNADriverSQL::nGetStatementCount() {
  CNADriverLock clLock;
  return m_clStatements.dwGetNumElement();
}

int CNADriverSQL::bExecute(int* statement, int connection, const wchar_t* text, CTabValParser* parameters,
                           unsigned int flags) {
  return _tConnectionEntry<int>(0, connection, [&](CNAConnectionDescription* pclCnx) -> int {
    CNAStatementSQL* pclStatement = nullptr;
    const int bResult = bExecute(m_pclError, &pclStatement, pclCnx, text, parameters,
                                 static_cast<NA_WRITEPARSEFLAGS>(flags));
    if (statement != nullptr) *statement = 0;
    if (pclStatement == nullptr) return bResult;
    const CNAAdopted<CNAStatementSQL> clHeld(pclStatement);
    const int nHandle = static_cast<int>(pclStatement->nGetStatementId());
    if (!m_clStatements.bAddElement(nHandle, pclStatement)) {
      // A result the runtime could never reach nor free is no success.
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    if (statement != nullptr) *statement = nHandle;
    return bResult;
  });
}

int CNADriverSQL::bFreeStmt(int /*connection*/, int statement, unsigned int /*flags*/) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 1, [&]() -> int {
    if (statement != 0) m_clStatements.bDeleteElement(statement);
    return 1;
  });
}

int CNADriverSQL::bGetStmtLastError(INAError** error, int /*connection*/, int statement) {
  // Reads the error the previous slot left: no reset here.
  return NA_tBoundary<int>(nullptr, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (statement == 0) return 0;
    CNAStatementSQL* pclStatement = nullptr;
    if (!m_clStatements.bGetElement(statement, &pclStatement) || pclStatement == nullptr) return 0;
    const CNAAdopted<CNAStatementSQL> clHeld(pclStatement);
    return pclStatement->bGetStmtLastError(error);
  });
}

int CNADriverSQL::bGetColumnNbr(int* count, int connection, int statement, unsigned int flags) {
  if (statement == 0) {
    // No statement: no columns, and a fresh error, under the lock like
    // every other slot.
    return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
      if (count != nullptr) *count = 0;
      return 1;
    });
  }
  (void)connection;
  return _tStatementEntry<int>(0, statement, [&](CNAStatementSQL* pclStatement) {
    return pclStatement->bGetColumnNbr(count, flags);
  });
}

int CNADriverSQL::bGetColumnList(CAny* result, int /*connection*/, int statement, unsigned int flags) {
  return _tStatementEntry<int>(0, statement, [&](CNAStatementSQL* pclStatement) {
    return pclStatement->bGetColumnList(result, flags);
  });
}

INADataSourceDescription* CNADriverSQL::piGetTableDesc(int /*connection*/, int statement,
                                                       unsigned int /*flags*/) {
  return _tStatementEntry<INADataSourceDescription*>(
      nullptr, statement, [&](CNAStatementSQL* pclStatement) -> INADataSourceDescription* {
        CNADriver* pclDriver = _pclGetListDriver();
        CNADataSourceDescription* pclSource =
            pclDriver != nullptr
                ? pclDriver->pclAllocDataSourceDescription(pclStatement->pclGetConnectionNoRef(), m_pclError)
                : nullptr;
        if (pclSource == nullptr) return nullptr;
        const CNAHeld<CNADataSourceDescription> clHeld(pclSource);
        if (!pclSource->bInitDataSourceDescriptionFromStatement(pclStatement)) return nullptr;
        pclSource->ExternalAddRef();
        return pclSource;
      });
}

int CNADriverSQL::bGetColumnName(CAny* name, int /*connection*/, int statement, unsigned int column,
                                 unsigned int flags) {
  return _tStatementEntry<int>(0, statement, [&](CNAStatementSQL* pclStatement) {
    return pclStatement->bGetColumnName(name, column - 1, flags);
  });
}

int CNADriverSQL::bFetch(int /*connection*/, int statement, unsigned int flags) {
  return _tStatementEntry<int>(0, statement, [&](CNAStatementSQL* pclStatement) -> int {
    // The end of the rows is a successful fetch without a row: the runtime
    // stops on 0 and finds no error.
    return pclStatement->bFetch(flags) && !pclStatement->bNoCurrentRow() ? 1 : 0;
  });
}

int CNADriverSQL::bGetRow(CAny* row, int /*connection*/, int statement, const wchar_t* separator, int columns,
                          unsigned int flags) {
  return _tStatementEntry<int>(0, statement, [&](CNAStatementSQL* pclStatement) {
    return pclStatement->bGetRow(row, separator, columns, flags);
  });
}

int CNADriverSQL::bGetValue(CAny* value, int /*connection*/, int statement, unsigned int column,
                            unsigned int flags) {
  return _tStatementEntry<int>(0, statement, [&](CNAStatementSQL* pclStatement) {
    return pclStatement->bGetValue(value, column - 1, flags);
  });
}

int CNADriverSQL::bGetBLOBValue(CAny* value, int /*connection*/, int statement, unsigned int column,
                                unsigned int flags) {
  return _tStatementEntry<int>(0, statement, [&](CNAStatementSQL* pclStatement) {
    return pclStatement->bGetBLOBValue(value, column - 1, flags);
  });
}

// ---------------------------------------------------------------------------
// Transactions
// ---------------------------------------------------------------------------

int CNADriverSQL::bTrsBegin(int* /*reserved*/, int connection, unsigned int /*flags*/) {
  return _tConnectionEntry<int>(0, connection, [&](CNAConnectionDescription* pclCnx) {
    return pclCnx->bTransactionBegin(m_pclError, kszSQLTransaction);
  });
}

// Every transaction of a face connection bears the one name, and an end
// by name meets the outermost transaction of that name first: a commit
// under an open nested one would always be refused, and a rollback would
// undo the whole chain. The runtime means the last one it began, which is
// the innermost active one: an end without a name reaches exactly that one.
// With nothing open the name stays, for the error's text.
const wchar_t* CNADriverSQL::s_pszEndName(CNAConnectionDescription* connection) {
  return connection->_bTransactionOpened() ? nullptr : kszSQLTransaction;
}

int CNADriverSQL::bTrsCommit(int connection, int /*reserved*/, unsigned int /*flags*/) {
  return _tConnectionEntry<int>(0, connection, [&](CNAConnectionDescription* pclCnx) {
    return pclCnx->bTransactionCommit(m_pclError, s_pszEndName(pclCnx));
  });
}

int CNADriverSQL::bTrsRollBack(int connection, int /*reserved*/, unsigned int /*flags*/) {
  return _tConnectionEntry<int>(0, connection, [&](CNAConnectionDescription* pclCnx) {
    return pclCnx->bTransactionRollBack(m_pclError, s_pszEndName(pclCnx));
  });
}
