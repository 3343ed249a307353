#include "CNATransaction.h"

#include <cstdarg>
#include <cwchar>
#include <new>

#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CXError.h"
#include "CXErrorInternal.h"

namespace {

// The data-source kind of the MariaDB/MySQL connection.
constexpr int kKindMariaDb = 5;

// Location lines of the refusals (the named commit blocked by an active
// nested transaction; the named rollback that matches nothing).
constexpr int kSiteTransaction = 2;
constexpr int kSiteCommitBlocked = 1;
constexpr int kSiteRollBackUnknown = 2;

constexpr unsigned kUserErrorNestedActive = 10;
constexpr unsigned kUserErrorUnknownTransaction = 9;

// A refusal without an error object is formatted into at most this many
// characters and dropped.
constexpr unsigned kDroppedTextMax = 1000;

bool bHasName(const wchar_t* pszName) { return pszName != nullptr && pszName[0] != 0; }

bool bSameName(const CTString& clName, const wchar_t* pszName) {
  return wcscasecmp(clName.pszGet(), pszName) == 0;
}

}  // namespace

CNATransaction::CNATransaction(CNAConnectionDescription* pclConnection)
    : m_pclConnection(pclConnection) {}

CNATransaction::~CNATransaction() {
  if (m_pclNested != nullptr) m_pclNested->nRelease();
  m_pclNested = nullptr;
}

int CNATransaction::bDetach(CNAError* /*pclError*/) { return 1; }

int CNATransaction::bSetActive(CNAError* /*pclError*/, int /*bActive*/) { return 1; }

int CNATransaction::bResume(CNAError* /*pclError*/) { return 1; }

int CNATransaction::bBegin(CNAError* pclError, const wchar_t* pszName, int bNested) {
  m_csName.Set(pszName != nullptr ? pszName : L"");
  m_bNested = bNested != 0 ? 1u : 0u;
  const int bResult = _bNABegin(pclError) ? 1 : 0;
  m_bActive = static_cast<std::uint32_t>(bResult);
  return bResult;
}

int CNATransaction::bInternalTransactionBegin(CNAError* pclError, const wchar_t* pszName) {
  CNATransaction* pclParent = this;
  while (pclParent->m_pclNested != nullptr && pclParent->m_pclNested->m_bActive != 0) {
    pclParent = pclParent->m_pclNested;
  }
  if (pclParent->m_pclNested == nullptr) {
    CNATransaction* pclNew =
        m_pclConnection != nullptr ? m_pclConnection->pclAllocTransaction() : nullptr;
    if (pclNew == nullptr) {
      if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclNew->AddRef();
    pclNew->m_nDepth = pclParent->m_nDepth + 1;
    pclParent->m_pclNested = pclNew;
  }
  return pclParent->m_pclNested->bBegin(pclError, pszName, 1);
}

int CNATransaction::bCommit(CNAError* pclError, const wchar_t* pszName) {
  const bool bNestedActive = _bInternalTransactionOpened() != 0;
  if (!bHasName(pszName)) {
    return bNestedActive ? m_pclNested->bCommit(pclError, pszName) : _bCommit(pclError);
  }
  if (bSameName(m_csName, pszName)) {
    if (bNestedActive) {
      _Refuse(pclError, kSiteTransaction, kSiteCommitBlocked, kUserErrorNestedActive, pszName,
              m_pclNested->pszGetName());
      return 0;
    }
    return _bCommit(pclError);
  }
  // A name that matches nothing of the chain is a plain false: the caller
  // may probe names.
  return bNestedActive ? m_pclNested->bCommit(pclError, pszName) : 0;
}

int CNATransaction::bRollBack(CNAError* pclError, const wchar_t* pszName) {
  const bool bNestedActive = _bInternalTransactionOpened() != 0;
  if (!bHasName(pszName)) {
    return bNestedActive ? m_pclNested->bRollBack(pclError, pszName) : _bRollBack(pclError);
  }
  if (bSameName(m_csName, pszName)) {
    // Rolling back only the nested chain would leave this transaction
    // active with its own work pending, and a later commit would keep work
    // the caller asked to undo: the whole chain from here goes.
    return bRollBackAll(pclError);
  }
  if (bNestedActive) return m_pclNested->bRollBack(pclError, pszName);
  _Refuse(pclError, kSiteTransaction, kSiteRollBackUnknown, kUserErrorUnknownTransaction, pszName);
  return 0;
}

int CNATransaction::bRollBackAll(CNAError* pclError) {
  int bNestedOk = 1;
  if (_bInternalTransactionOpened()) bNestedOk = m_pclNested->bRollBackAll(pclError);
  const int bOwnOk = _bRollBack(pclError);
  return (bNestedOk != 0 && bOwnOk != 0) ? 1 : 0;
}

int CNATransaction::_bCommit(CNAError* pclError) {
  m_bActive = 0;
  return _bNACommit(pclError) ? 1 : 0;
}

int CNATransaction::_bRollBack(CNAError* pclError) {
  if (m_bActive == 0) return 1;
  m_bActive = 0;
  return _bNARollBack(pclError) ? 1 : 0;
}

int CNATransaction::_bInternalTransactionOpened() const {
  return (m_pclNested != nullptr && m_pclNested->m_bActive != 0) ? 1 : 0;
}

int CNATransaction::_bNABegin(CNAError* pclError) {
  if (_bUsesSavepoint()) return _bSendSavepoint(pclError, L"SAVEPOINT");
  return m_pclConnection != nullptr ? m_pclConnection->bTransactionBeginDirect(pclError) : 0;
}

int CNATransaction::_bNACommit(CNAError* pclError) {
  if (_bUsesSavepoint()) return _bSendSavepoint(pclError, L"RELEASE SAVEPOINT");
  return m_pclConnection != nullptr ? m_pclConnection->bTransactionCommitDirect(pclError) : 0;
}

int CNATransaction::_bNARollBack(CNAError* pclError) {
  if (_bUsesSavepoint()) return _bSendSavepoint(pclError, L"ROLLBACK TO SAVEPOINT");
  return m_pclConnection != nullptr ? m_pclConnection->bTransactionRollBackDirect(pclError) : 0;
}

bool CNATransaction::_bUsesSavepoint() const {
  return m_bNested != 0 && m_pclConnection != nullptr &&
         static_cast<int>(m_pclConnection->eGetDataSource()) == kKindMariaDb;
}

int CNATransaction::_bSendSavepoint(CNAError* pclError, const wchar_t* pszVerb) {
  // The identifier is ours, not the caller's name: it is unique along the
  // chain and needs no validation.
  CTString clId;
  clId.printf(L"KXSAVEPOINT%u", m_nDepth);
  CTString clQuoted;
  if (!m_pclConnection->bFormatItemName(pclError, clId.pszGet(), &clQuoted)) return 0;
  CTString clText;
  clText.printf(L"%ls %ls", pszVerb, clQuoted.pszGet());
  return m_pclConnection->bExecuteQueryNoResult(pclError, clText.pszGet()) ? 1 : 0;
}

void CNATransaction::_Refuse(CNAError* pclError, int nSite1, int nSite2, unsigned nCode, ...) {
  va_list args;
  va_start(args, nCode);
  _CXErrorModule76 clErr = clInternalErrorList(nSite1, nSite2, nullptr, nullptr, nCode, args);
  va_end(args);
  if (pclError != nullptr) {
    pclError->AddError(NA_ERRORTYPE_GENERIC, &clErr, m_pclConnection);
    return;
  }
  CTString clText;
  clErr.StringDump(clText, static_cast<CXError::eXERROR_INFO>(0x80000FFFu));
  clText.Tronque(static_cast<long>(kDroppedTextMax));
}
