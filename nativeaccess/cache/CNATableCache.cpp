// The table cache of a data access.
#include "CNATableCache.h"

#include <new>

#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecordCache.h"
#include "CNAStatement.h"
#include "CNATableCacheIndex.h"
#include "CXError.h"

CNATableCache::CNATableCache(CNAError* error, CNADataAccess* access) : m_pclError(error), m_pclDataAccess(access) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNATableCache::~CNATableCache() {
  if (m_pclFullCache != nullptr) m_pclFullCache->nRelease();
  if (m_pclStatementParse != nullptr) m_pclStatementParse->nRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

bool CNATableCache::_bSetStatementParse(CNAStatement* statement) {
  if (statement != nullptr) statement->AddRef();
  if (m_pclStatementParse != nullptr) m_pclStatementParse->nRelease();
  m_pclStatementParse = statement;
  m_clFilterSave.SetFilter(statement != nullptr ? statement->pclGetFilterNoRef() : nullptr);
  return true;
}

bool CNATableCache::bSetStatementParse(CNAStatement* statement) {
  bool bResult = true;
  if (m_pclStatementParse == nullptr) bResult = _bSetStatementParse(statement);
  if (statement != nullptr) statement->EnableCache(1);
  return bResult;
}

bool CNATableCache::bCacheCompleted() const {
  return m_pclStatementParse == nullptr || m_pclStatementParse->bCacheCompleted() != 0;
}

CNARecordCache* CNATableCache::pclGetFullCache() {
  if (m_pclFullCache != nullptr) return m_pclFullCache;
  if (m_pclStatementParse == nullptr) return nullptr;

  // The data access may free this table cache (and let go of the
  // statement) while the statement reads: both are held until the end.
  dwAddRef();
  CNAStatement* pclStatement = m_pclStatementParse;
  pclStatement->AddRef();

  int nPosition = -1;
  bool bSaved = false;
  if (m_pclDataAccess != nullptr && m_pclDataAccess->pclGetCurrentStatement() != pclStatement) {
    bSaved = m_pclDataAccess->bHSauvePosition(&nPosition, pclStatement->pszGetCacheKey(), 0) != 0;
  }

  CNARecordCache* pclCache = pclStatement->pclGetFullRecordCache();
  if (pclCache != nullptr) {
    pclCache->AddRef();
    if (m_pclFullCache != nullptr) m_pclFullCache->nRelease();
    m_pclFullCache = pclCache;
    if (bSaved) {
      wchar_t szItem[knItemNameSize] = {};
      m_pclDataAccess->bHRetourPosition(nPosition, szItem, 0, 0);
    }
    if (m_pclStatementParse == pclStatement) {
      m_pclStatementParse = nullptr;
      pclStatement->nRelease();
    }
  } else if (bSaved) {
    // Not restored (the statement stays where the failed read left it),
    // but not kept either: each failed attempt would hold a registered
    // position, with its statement and saves, until the access closes.
    m_pclDataAccess->bHLiberePosition(nPosition);
  }
  pclStatement->nRelease();

  CNARecordCache* pclResult = m_pclFullCache;
  if (dwRelease() == 0) return nullptr;  // freed meanwhile: nothing is left to answer
  return pclResult;
}

bool CNATableCache::bIsRecordCache(const CNARecordCache* cache) const {
  if (cache == nullptr) return false;
  if (m_pclFullCache != nullptr) return cache == m_pclFullCache;
  return m_pclStatementParse != nullptr && cache == m_pclStatementParse->pclGetRecordCacheNoRef();
}

bool CNATableCache::bIsEmpty() const { return m_pclFullCache == nullptr || m_pclFullCache->nGetCount() == 0; }

std::int64_t CNATableCache::llGetRecordNbr() {
  const CNARecordCache* pclCache = pclGetFullCache();
  return pclCache == nullptr ? 0 : pclCache->nGetCount();
}

std::int64_t CNATableCache::llGetRecordNbrActive() {
  const CNARecordCache* pclCache = pclGetFullCache();
  return pclCache == nullptr ? 0 : static_cast<std::int64_t>(pclCache->nGetCount()) - pclCache->nGetDeletedCount();
}

CNATableCacheIndex* CNATableCache::pclGetCacheIndex(CNAStatement* statement, CNAColumn* column) {
  dwAddRef();
  CNATableCacheIndex* pclIndex = nullptr;
  CNARecordCache* pclCache = pclGetFullCache();
  if (pclCache != nullptr) {
    pclIndex = new (std::nothrow) CNATableCacheIndex(m_pclError, pclCache, column, statement);
    if (pclIndex == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    } else {
      pclIndex->dwAddRef();
      if (!pclIndex->bInit()) {
        pclIndex->dwRelease();
        pclIndex = nullptr;
      }
    }
  }
  dwRelease();
  return pclIndex;
}
