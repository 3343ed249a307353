// CNAConnectionDescription: the connection interface proper. The default
// bodies of the virtual operations, the dialect answers by data-source kind,
// the transaction operations and the simple statements that run on a
// driver-level statement.
#include <climits>
#include <cwchar>
#include <cwctype>
#include <new>

#include "CAny.h"
#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CNAStatementSQL.h"
#include "CNATransaction.h"
#include "CXError.h"
#include "StatementSeam.h"

namespace {

// What the generic layer knows of one data-source kind. The kinds other than
// the MariaDB/MySQL one (5) are kept as the generic layer answers them, so
// that code shared with the other kinds reads the same table.
struct stKindAnswers {
  int bSubQuery;
  int bLimitOrTop;
  int bTreat0000DateAsNULL;
  int nVarCharMaxLen;   // -1: no limit known
  int nNVarCharMaxLen;  // -1: no limit known
  int nOrderByMaxExpressions;
  const wchar_t* pszVarChar;
  const wchar_t* pszNVarChar;
  // Large text types; the "from 4" forms, when present, apply once the
  // server's major version is 4 or more (an unknown version, -1, is below).
  const wchar_t* pszCLOB;
  const wchar_t* pszNCLOB;
  const wchar_t* pszCLOBFrom4;
  const wchar_t* pszNCLOBFrom4;
};

constexpr int kNoLimit = -1;
constexpr int kAnyCount = INT_MAX;

// Rows 0 to 14, by kind. A kind outside the table takes kDefaultAnswers.
constexpr stKindAnswers kKindAnswers[] = {
    /* 0 */ {0, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 1 */ {1, 1, 0, 4000, 2000, kAnyCount, L"VARCHAR2", L"NVARCHAR2", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 2 */ {1, 1, 1, 8000, 4000, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 3 */ {0, 1, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 4 */ {1, 0, 0, kNoLimit, kNoLimit, 31, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 5 */ {0, 1, 0, 255, 255, kAnyCount, L"VARCHAR", L"NVARCHAR", L"LONGBLOB", L"LONGBLOB", L"LONGTEXT", L"LONGTEXT CHARACTER SET ucs2"},
    /* 6 */ {0, 1, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 7 */ {1, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 8 */ {0, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 9 */ {1, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 10 */ {0, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 11 */ {0, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 12 */ {1, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 13 */ {1, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
    /* 14 */ {0, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr},
};

constexpr stKindAnswers kDefaultAnswers = {
    0, 0, 0, kNoLimit, kNoLimit, kAnyCount, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB", nullptr, nullptr};

const stKindAnswers& rstAnswers(int nKind) {
  constexpr int nRows = static_cast<int>(sizeof(kKindAnswers) / sizeof(kKindAnswers[0]));
  return (nKind >= 0 && nKind < nRows) ? kKindAnswers[nKind] : kDefaultAnswers;
}

// The user error of a commit or rollback asked of a connection that has no
// transaction: into the error object, or formatted and dropped.
constexpr unsigned kUserErrorNoTransaction = 9;

void ReportNoTransaction(CNAError* pclError, CNAConnectionDescription* pclCnx,
                         const wchar_t* pszName) {
  _CXErrorModule76 clErr(kUserErrorNoTransaction, pszName != nullptr ? pszName : L"");
  if (pclError != nullptr) {
    pclError->AddError(NA_ERRORTYPE_GENERIC, &clErr, pclCnx);
    return;
  }
  CTString clDropped;
  clErr.StringDump(clDropped, static_cast<CXError::eXERROR_INFO>(0x80000FFFu));
}

// Holds the driver-level statement of one simple statement for the length
// of the call and gives it back (which deletes it) on every path.
class StatementHold {
 public:
  StatementHold(CNAConnectionDescription* pclCnx, CNAError* pclError)
      : m_pclStatement(kxna_pclAllocStatementSQL(pclCnx, pclError)) {
    if (m_pclStatement != nullptr) m_pclStatement->AddRef();
  }
  ~StatementHold() {
    if (m_pclStatement != nullptr) m_pclStatement->nRelease();
  }
  StatementHold(const StatementHold&) = delete;
  StatementHold& operator=(const StatementHold&) = delete;
  CNAStatementSQL* operator->() const { return m_pclStatement; }
  explicit operator bool() const { return m_pclStatement != nullptr; }

 private:
  CNAStatementSQL* m_pclStatement;
};

}  // namespace

// ---- Virtual operations: the generic answers ----------------------------

int CNAConnectionDescription::bSupportOrderByMemo() { return 0; }
int CNAConnectionDescription::bOrderByIndiceAllowed() { return 1; }
int CNAConnectionDescription::bTransactionEndCloseParse() { return 0; }
int CNAConnectionDescription::bTreatEmptyDateAsNULL() { return 1; }
int CNAConnectionDescription::bTreat0000DateAsNULL() {
  return rstAnswers(m_eDataSource).bTreat0000DateAsNULL;
}
int CNAConnectionDescription::bSupportItemTime() { return 0; }
int CNAConnectionDescription::bSupportItemDate() { return 0; }
int CNAConnectionDescription::bNULLBeforeNotNULL() { return 1; }
int CNAConnectionDescription::bSupportInsertReturning() { return 0; }
int CNAConnectionDescription::bCanPrepareQuery() { return 1; }
int CNAConnectionDescription::bIndexNamesCommonOnDatabase() { return 0; }
int CNAConnectionDescription::bOpenCreate(CNAError* error) { return bOpen(error); }
const wchar_t* CNAConnectionDescription::pszGetNoLockHint() { return m_csRecordLock.pszGet(); }

int CNAConnectionDescription::bTransactionBeginDirect(CNAError* error) {
  return bExecuteQueryNoResult(error, L"BEGIN");
}
int CNAConnectionDescription::bTransactionCommitDirect(CNAError* error) {
  return bExecuteQueryNoResult(error, L"COMMIT");
}
int CNAConnectionDescription::bTransactionRollBackDirect(CNAError* error) {
  return bExecuteQueryNoResult(error, L"ROLLBACK");
}

CNATransaction* CNAConnectionDescription::pclAllocTransaction() {
  return new (std::nothrow) CNATransaction(this);
}

int CNAConnectionDescription::bSQLBloque(CNAError* error, const wchar_t* table) {
  // The caller's name reaches the statement only as an identifier.
  CTString clName;
  if (!bFormatTableName(error, table, &clName)) return 0;
  CTString clText(L"LOCK TABLE ");
  clText.Add(clName.pszGet());
  return bExecuteQueryNoResult(error, clText.pszGet());
}

int CNAConnectionDescription::bSQLBloque(CNAError* /*error*/, ISQLParserInformation* /*parser*/) {
  return 0;
}

int CNAConnectionDescription::bSQLBloqueRequete(CNAError* error, const wchar_t* query) {
  // The clause must reach the server as part of the query: a trailing ";"
  // would end the statement before it, and a trailing "--" or "#" comment
  // would swallow it. So trailing blanks and semicolons go, and the clause
  // starts a line of its own.
  const wchar_t* pszQuery = query != nullptr ? query : L"";
  long nLength = static_cast<long>(std::wcslen(pszQuery));
  while (nLength > 0 && (std::iswspace(static_cast<wint_t>(pszQuery[nLength - 1])) != 0 ||
                         pszQuery[nLength - 1] == L';'))
    --nLength;
  CTString clText(pszQuery, nLength);
  clText.Add(L"\n FOR UPDATE");
  return bExecuteQueryIgnoreResult(error, clText.pszGet());
}

int CNAConnectionDescription::bInitError(CNAError* /*error*/, unsigned /*code*/,
                                         unsigned /*flags*/) {
  return 0;
}

eNA_ERRORTYPE CNAConnectionDescription::eGetNAErrorType(unsigned /*code*/) {
  return NA_ERRORTYPE_GENERIC;
}

int CNAConnectionDescription::nGetOrderByMaxExpressionNbr() {
  return rstAnswers(m_eDataSource).nOrderByMaxExpressions;
}

int CNAConnectionDescription::bDBTypeToString(CTString* /*out*/, int /*dbType*/) const {
  return 0;
}

int CNAConnectionDescription::bDBTypeUnkwnownByDB(int /*dbType*/) const { return 0; }

int CNAConnectionDescription::bExecuteQueryNoResult(CNAError* error, const wchar_t* query) {
  StatementHold clStatement(this, error);
  if (!clStatement) return 0;
  return clStatement->bExecuteDirect(query, nullptr, NA_WRITEPARSE_NONE) ? 1 : 0;
}

int CNAConnectionDescription::bExecuteQueryIgnoreResult(CNAError* error, const wchar_t* query) {
  return bExecuteQueryNoResult(error, query);
}

int CNAConnectionDescription::bGetRequestedValue(CNAError* error, CAny* value, int column,
                                                 const wchar_t* query) {
  StatementHold clStatement(this, error);
  if (!clStatement) return 0;
  return clStatement->bGetRequestedValue(value, column, query) ? 1 : 0;
}

void CNAConnectionDescription::_CancelRecordLock(CNATransaction* /*transaction*/) {}

// ---- Dialect answers by kind ---------------------------------------------

int CNAConnectionDescription::bSupportSubQuery() const {
  return rstAnswers(m_eDataSource).bSubQuery;
}

int CNAConnectionDescription::bSupportLimitOrTop() const {
  return rstAnswers(m_eDataSource).bLimitOrTop;
}

int CNAConnectionDescription::nGetVarCharMaxLen() const {
  return rstAnswers(m_eDataSource).nVarCharMaxLen;
}

int CNAConnectionDescription::nGetNVarCharMaxLen() const {
  return rstAnswers(m_eDataSource).nNVarCharMaxLen;
}

const wchar_t* CNAConnectionDescription::pszGetVarCharType() const {
  return rstAnswers(m_eDataSource).pszVarChar;
}

const wchar_t* CNAConnectionDescription::pszGetNVarCharType() const {
  return rstAnswers(m_eDataSource).pszNVarChar;
}

const wchar_t* CNAConnectionDescription::pszGetCLOBType() const {
  const stKindAnswers& st = rstAnswers(m_eDataSource);
  return (st.pszCLOBFrom4 != nullptr && m_nServerMajor >= 4) ? st.pszCLOBFrom4 : st.pszCLOB;
}

int CNAConnectionDescription::bServerKnowsUtf8mb4() const {
  // MySQL 5.5.3 brought it; every MariaDB server from 5.5 on is past that
  // release, and the newer ones number from 10.
  if (m_nServerMajor != 5) return m_nServerMajor > 5 ? 1 : 0;
  if (m_nServerMinor != 5) return m_nServerMinor > 5 ? 1 : 0;
  return m_nServerRelease >= 3 ? 1 : 0;
}

const wchar_t* CNAConnectionDescription::pszGetNCLOBType() const {
  const stKindAnswers& st = rstAnswers(m_eDataSource);
  // Sessions in Unicode mode speak utf8mb4: ucs2 would lose every
  // character outside the basic plane.
  if (m_eDataSource == DATASOURCE_MARIADB && bServerKnowsUtf8mb4())
    return L"LONGTEXT CHARACTER SET utf8mb4";
  return (st.pszNCLOBFrom4 != nullptr && m_nServerMajor >= 4) ? st.pszNCLOBFrom4 : st.pszNCLOB;
}

const wchar_t* CNAConnectionDescription::s_pszGetCursorLocation(int location) {
  switch (location) {
    case CURSORLOCATION_DEFAULT: return L"Default";
    case CURSORLOCATION_CLIENT: return L"Client";
    case CURSORLOCATION_SERVER: return L"Server";
    default: return L"Unknown";
  }
}

// ---- Transactions ----------------------------------------------------------

int CNAConnectionDescription::bTransactionBegin(CNAError* error, const wchar_t* name) {
  if (!bOpen(error)) return 0;
  if (m_pclCurrentTransaction == nullptr) {
    CNATransaction* pclNew = pclAllocTransaction();
    if (pclNew == nullptr) {
      if (error != nullptr) error->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclNew->AddRef();
    m_pclCurrentTransaction = pclNew;
  }
  const bool bCounting = m_bOneTransactionPerBegin == 0;
  if (m_pclCurrentTransaction->bIsActive()) {
    if (bCounting) {
      ++m_nTransactionNesting;
      return 1;
    }
    return m_pclCurrentTransaction->bInternalTransactionBegin(error, name);
  }
  m_nTransactionNesting = 0;
  const int bResult = m_pclCurrentTransaction->bBegin(error, name, 0);
  if (bResult && bCounting) ++m_nTransactionNesting;
  return bResult;
}

int CNAConnectionDescription::bTransactionCommit(CNAError* error, const wchar_t* name) {
  return _bEndTransaction(error, name, &CNATransaction::bCommit);
}

int CNAConnectionDescription::bTransactionRollBack(CNAError* error, const wchar_t* name) {
  return _bEndTransaction(error, name, &CNATransaction::bRollBack);
}

int CNAConnectionDescription::_bEndTransaction(CNAError* error, const wchar_t* name,
                                               int (CNATransaction::*pfnEnd)(CNAError*, const wchar_t*)) {
  if (m_pclCurrentTransaction == nullptr) {
    ReportNoTransaction(error, this, name);
    return 0;
  }
  const bool bCounting = m_bOneTransactionPerBegin == 0;
  if (bCounting && m_nTransactionNesting != 1) {
    if (m_nTransactionNesting != 0) --m_nTransactionNesting;
    return 1;
  }
  // The connection's reference keeps the transaction alive across the
  // virtual calls below.
  CNATransaction* pclTransaction = m_pclCurrentTransaction;
  const int bResult = (pclTransaction->*pfnEnd)(error, name);
  if (bResult) _CancelRecordLock(pclTransaction);
  if (bCounting && m_nTransactionNesting != 0) --m_nTransactionNesting;
  return bResult;
}

int CNAConnectionDescription::_bTransactionOpened() const {
  return (m_pclCurrentTransaction != nullptr && m_pclCurrentTransaction->bIsActive()) ? 1 : 0;
}

int CNAConnectionDescription::bAutoCloseEnabled() const {
  if (m_bAutoCloseEnabled == 0) return 0;
  if (m_pclCurrentTransaction == nullptr) return 1;
  return m_pclCurrentTransaction->bIsActive() ? 0 : 1;
}

int CNAConnectionDescription::bResumeCurrentTransaction(CNAError* error) {
  if (!_bTransactionOpened()) return 1;
  return m_pclCurrentTransaction->bResume(error);
}

int CNAConnectionDescription::bActiveCurrentTransaction(CNAError* error, int active) {
  if (!_bTransactionOpened()) return 1;
  return m_pclCurrentTransaction->bSetActive(error, active);
}

void CNAConnectionDescription::_CloseTransactions() {
  CNATransaction* pclTransaction = m_pclCurrentTransaction;
  m_pclCurrentTransaction = nullptr;
  if (pclTransaction != nullptr) pclTransaction->nRelease();
}

void CNAConnectionDescription::AddInfoNative(CNAError* error) {
  if (error == nullptr) return;
  // The error object's wrapped error is always of this library's module.
  AddInfoNativeXError(static_cast<_CXErrorModule76*>(error->pclGetXError()));
}

// ---- Simple statements -----------------------------------------------------

int CNAConnectionDescription::bGetRequestedValueString(CNAError* error, CTString* out, int column,
                                                       const wchar_t* query) {
  CAny clValue;
  const int bResult = bGetRequestedValue(error, &clValue, column, query);
  if (!bResult || out == nullptr) return bResult;
  const wchar_t* pszText = nullptr;
  if (!clValue.bIsNull() && clValue.__nCastTo(ANY_DSTRW, nullptr, 0) == ANY_OK &&
      !clValue.bIsNull() && clValue.nGetPCWSTR(&pszText) == ANY_OK && pszText != nullptr) {
    out->Set(pszText);
  } else {
    out->Vide();
  }
  return bResult;
}
