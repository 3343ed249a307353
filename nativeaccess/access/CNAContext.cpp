#include "CNAContext.h"

#include <new>
#include <vector>

#include "CNADataAccess.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNATable.h"
#include "INAContext.h"
#include "StrFunctions.h"

namespace {
// Names are compared without regard to case or accents.
constexpr unsigned int knCompareFlags = 3;
constexpr unsigned int knRegistrySize = 7;

bool bSameName(const wchar_t* a, const wchar_t* b) {
  return STR_nCompareW(a != nullptr ? a : L"", b != nullptr ? b : L"", knCompareFlags) == 0;
}
}  // namespace

CNAContext::CNAContext() : m_htDataAccess(knRegistrySize) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  m_pclError = pclDriver != nullptr ? pclDriver->pclAllocError() : new (std::nothrow) CNAError();
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAContext::~CNAContext() {
  // Data accesses that outlive the context (their table still holds them)
  // must not point back at it.
  unsigned int nCursor = 0;
  CNADataAccess* pclAccess = nullptr;
  while (m_htDataAccess.bParseTable(&nCursor, 0, &pclAccess))
    if (pclAccess != nullptr && pclAccess->pclGetContext() == this) pclAccess->SetContext(nullptr);
  m_htDataAccess.DeleteAll();
  if (m_pclError != nullptr) {
    CNAError* pclError = m_pclError;
    m_pclError = nullptr;
    pclError->nRelease();
  }
}

std::uint32_t CNAContext::nGetVersion() { return 2; }

std::uint32_t CNAContext::nGetCompatSince() { return 2; }

CNADataAccess* CNAContext::_pclAllocDataAccess(INADataSourceDescription* source,
                                               CNAConnectionDescription* connection, CNAError* error) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  return pclDriver != nullptr ? pclDriver->pclAllocDataAccess(source, connection, error) : nullptr;
}

unsigned long CNAContext::_nDataID(INAContext* context) {
  return context != nullptr ? static_cast<unsigned long>(context->dwGetDataID()) : 0;
}

CNADataAccess* CNAContext::pclFindDataAccess(INAContext* context) {
  CNADriverLock clLock;
  CNADataAccess* pclAccess = nullptr;
  if (!m_htDataAccess.bGetElement(_nDataID(context), &pclAccess)) return nullptr;
  return pclAccess;
}

CNADataAccess* CNAContext::pclGetDataAccess(INAContext* context, CNAConnectionDescription* connection,
                                            INADataSourceDescription* source, int* created) {
  CNADriverLock clLock;
  if (created != nullptr) *created = 0;
  CNADataAccess* pclAccess = pclFindDataAccess(context);
  if (pclAccess != nullptr) return pclAccess;
  pclAccess = _pclAllocDataAccess(source, connection, m_pclError);
  if (pclAccess == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclAccess->AddRef();  // the caller's
  if (!_AddDataAccess(context, pclAccess)) {
    pclAccess->nRelease();
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  if (created != nullptr) *created = 1;
  return pclAccess;
}

bool CNAContext::_AddDataAccess(INAContext* context, CNADataAccess* access) {
  CNADriverLock clLock;
  if (access == nullptr || !m_htDataAccess.bAddElement(_nDataID(context), access)) return false;
  access->SetContext(this);
  return true;
}

void CNAContext::RemoveDataAccess(INAContext* context, CNADataAccess* access) {
  CNADriverLock clLock;
  if (access == nullptr) return;
  // The entry of the calling data identifier when it holds this very data
  // access; else wherever it is kept: another identifier's entry must not
  // go in its place.
  CNADataAccess* pclFound = nullptr;
  const unsigned long nKey = _nDataID(context);
  if (m_htDataAccess.bGetElement(nKey, &pclFound)) {
    pclFound->nRelease();
    if (pclFound == access) {
      m_htDataAccess.bDeleteElement(nKey, &pclFound);
      if (access->pclGetContext() == this) access->SetContext(nullptr);
      pclFound->nRelease();
      return;
    }
  }
  unsigned int nCursor = 0;
  unsigned long nOtherKey = 0;
  while (m_htDataAccess.bParseTable(&nCursor, 0, &pclFound, &nOtherKey)) {
    if (pclFound != access) continue;
    m_htDataAccess.StopParsing();
    // Several entries may share a key: entries are taken out until this
    // one has gone, then the others go back.
    std::vector<CNADataAccess*> vecOthers;
    CNADataAccess* pclOut = nullptr;
    while (m_htDataAccess.bDeleteElement(nOtherKey, &pclOut)) {
      if (pclOut == access) {
        if (access->pclGetContext() == this) access->SetContext(nullptr);
        pclOut->nRelease();
        break;
      }
      vecOthers.push_back(pclOut);
    }
    for (auto it = vecOthers.rbegin(); it != vecOthers.rend(); ++it) {
      m_htDataAccess.bAddElement(nOtherKey, *it);
      (*it)->nRelease();
    }
    return;
  }
}

void CNAContext::CloseAllDataAccess() {
  CNADriverLock clLock;
  while (m_htDataAccess.dwGetNumElement() > 0) {
    unsigned int nCursor = 0;
    CNADataAccess* pclAccess = nullptr;
    while (m_htDataAccess.bParseTable(&nCursor, 1, &pclAccess)) {
      if (pclAccess == nullptr) continue;
      if (pclAccess->bIsOpened()) pclAccess->bHFerme();
      // The context is about to go: nothing may keep finding this data
      // access through it, neither its table nor the table's lookup record.
      CNATable* pclTable = pclAccess->pclGetTable();
      if (pclTable != nullptr) pclTable->ForgetDataAccess(pclAccess);
      CNADataAccess::s_ForgetLastDataAccess(pclAccess);
      pclAccess->SetTable(nullptr);
      if (pclAccess->pclGetContext() == this) pclAccess->SetContext(nullptr);
      pclAccess->nRelease();
      pclAccess = nullptr;
    }
  }
}

std::uint32_t CNAContext::nGetDataAccessCount() {
  CNADriverLock clLock;
  return m_htDataAccess.dwGetNumElement();
}

int CNAContext::bHMode(const wchar_t* name, _eNA_HMODE mode) {
  CNADriverLock clLock;
  int bResult = 1;
  unsigned int nCursor = 0;
  CNADataAccess* pclAccess = nullptr;
  while (m_htDataAccess.bParseTable(&nCursor, 0, &pclAccess)) {
    if (pclAccess == nullptr || !bSameName(pclAccess->pszGetLogicalName(), name)) continue;
    if (!pclAccess->bHMode(mode)) bResult = 0;
  }
  _SetDefaultMode(mode);
  return bResult;
}

CNADataAccess* CNAContext::_pclFindByName(CNAConnectionDescription* connection, const wchar_t* name,
                                          const wchar_t* (*pfnName)(CNADataAccess*)) {
  CNADriverLock clLock;
  unsigned int nCursor = 0;
  CNADataAccess* pclAccess = nullptr;
  while (m_htDataAccess.bParseTable(&nCursor, 0, &pclAccess)) {
    if (pclAccess == nullptr || pclAccess->pclGetConnection() != connection) continue;
    if (!bSameName(pfnName(pclAccess), name)) continue;
    m_htDataAccess.StopParsing();
    pclAccess->AddRef();
    return pclAccess;
  }
  return nullptr;
}

CNADataAccess* CNAContext::pclFindDataAccessByDBTableName(CNAConnectionDescription* connection,
                                                          const wchar_t* name) {
  return _pclFindByName(connection, name, [](CNADataAccess* p) { return p->pszGetDBTableName(); });
}

CNADataAccess* CNAContext::pclFindDataAccessByAliasName(CNAConnectionDescription* connection,
                                                        const wchar_t* name) {
  return _pclFindByName(connection, name, [](CNADataAccess* p) { return p->pszGetAliasName(); });
}
