#include "CNADriverSQL.h"

#include <cwchar>

#include "CAny.h"
#include "CNABoundary.h"
#include "CNAConnectionDescription.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CXError.h"
#include "CXYStringConcat.h"

namespace {

// Growth step of the buffers of a list (characters).
constexpr std::uint64_t knListStep = 1024;
constexpr std::uint64_t knRowStep = 256;

}  // namespace

CNADriverSQL::CNADriverSQL(CNADriver* driver, CNAError* error)
    : m_pclDriver(driver), m_pclError(error) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNADriverSQL::~CNADriverSQL() {
  {
    // The statements the runtime never freed go before the error object
    // they report to.
    CNADriverLock clLock;
    m_clStatements.DeleteAll(7);
  }
  CNAError* pclError = m_pclError;
  m_pclError = nullptr;
  if (pclError != nullptr) pclError->nRelease();
}

void CNADriverSQL::ExternalAddRef() {
  NA_Boundary(m_pclError, NA_BOUNDARY_LOCK, [&] { ++m_nExternalCount; });
}

std::uint32_t CNADriverSQL::nExternalRelease() {
  return NA_tBoundary<std::uint32_t>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> std::uint32_t {
    if (m_nExternalCount == 0) return 0;
    const std::uint32_t nLeft = --m_nExternalCount;
    if (nLeft == 0) _DeleteIfUnreferenced();
    return nLeft;
  });
}

INAError* CNADriverSQL::piGetLastError() const { return m_pclError; }

int CNADriverSQL::bExecute(CNAError* error, CNAStatementSQL** statement,
                           CNAConnectionDescription* connection, const wchar_t* text,
                           CTabValParser* parameters, NA_WRITEPARSEFLAGS flags) {
  return NA_tBoundary<int>(error != nullptr ? error : m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (statement != nullptr) *statement = nullptr;
    CNAStatementSQL* pclStatement = pclAllocStatementSQL(connection, error);
    if (pclStatement == nullptr) {
      // A refusal must never read as success with nothing reported.
      if (error != nullptr && error->eGetErrorType() == NA_ERRORTYPE_NONE)
        error->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclStatement->AddRef();
    int bResult = pclStatement->bExecuteDirect(text, parameters, flags);
    if (bResult) {
      int nColumns = 0;
      bResult = pclStatement->bGetColumnNbr(&nColumns, 0);
      if (bResult && nColumns != 0 && statement != nullptr) {
        *statement = pclStatement;
        return bResult;
      }
    }
    pclStatement->nRelease();
    return bResult;
  });
}

// ---------------------------------------------------------------------------
// Locks
// ---------------------------------------------------------------------------

int CNADriverSQL::bSQLBloqueTable(CNAError* error, CNAConnectionDescription* connection,
                                  const wchar_t* table, unsigned int /*flags*/) {
  return NA_tBoundary<int>(error, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (connection == nullptr) return 0;
    if (!connection->bIsOpen() && !connection->bOpen(error)) return 0;
    return connection->bSQLBloque(error, table) ? 1 : 0;
  });
}

int CNADriverSQL::bSQLBloqueRequete(CNAConnectionDescription* connection, const wchar_t* query,
                                    unsigned int /*flags*/) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (connection == nullptr) return 0;
    if (!connection->bIsOpen() && !connection->bOpen(m_pclError)) return 0;
    return connection->bSQLBloqueRequete(m_pclError, query) ? 1 : 0;
  });
}

// ---------------------------------------------------------------------------
// List queries
// ---------------------------------------------------------------------------

int CNADriverSQL::_bGetList(CXYStringConcat<wchar_t>* out, CNAConnectionDescription* connection,
                            const wchar_t* query, unsigned int columns, unsigned int flags,
                            const wchar_t* separator) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (out != nullptr) out->SetLength(0);
    CNAStatementSQL* pclStatement = nullptr;
    if (!bExecute(m_pclError, &pclStatement, connection, query, nullptr, NA_WRITEPARSE_NONE)) return 0;
    // A text without a result set (a statement, or a SHOW the server answers
    // with nothing) lists nothing.
    if (pclStatement == nullptr) return 1;
    const long nSeparator = separator != nullptr ? static_cast<long>(std::wcslen(separator)) : 0;
    CXYStringConcat<wchar_t> clRow(knRowStep);
    int bResult = 1;
    bool bFirst = true;
    for (;;) {
      const int nFetched = pclStatement->bFetch(flags);
      if (nFetched != 1) {
        bResult = nFetched;
        break;
      }
      if (pclStatement->bNoCurrentRow()) break;
      clRow.SetLength(0);
      if (!pclStatement->bGetRow(&clRow, L"\t", static_cast<int>(columns), 0)) {
        bResult = 0;
        break;
      }
      if (out == nullptr) continue;
      if (!bFirst) out->Add(separator, nSeparator);
      out->Add(clRow.pszGet(), static_cast<long>(clRow.nGetLength()));
      bFirst = false;
    }
    pclStatement->nRelease();
    return bResult;
  });
}

int CNADriverSQL::_bGetList(CAny* list, CNAConnectionDescription* connection, const wchar_t* query,
                            unsigned int columns, unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CXYStringConcat<wchar_t> clText(knListStep);
    const int bResult = _bGetList(&clText, connection, query, columns, flags, L"\r\n");
    s_SetListText(list, clText.pszGet(), clText.nGetLength());
    return bResult;
  });
}

void CNADriverSQL::s_SetListText(CAny* value, const wchar_t* text, std::uint64_t length) {
  if (value == nullptr) return;
  // A fresh value, so that whatever the caller's held (NULL mark included)
  // is gone.
  *value = CAny();
  value->__SetType(ANY_DSTRW, 0);
  if (length > 0) value->SetValue(text, static_cast<std::size_t>(length) * sizeof(wchar_t));
  value->SetNull(false);
}
