// CNADataAccess: searching a value on a key, cancelling a search, changing
// the current key without losing the current record, positioning a browse
// at a proportion of its key, and the two state questions of a browse (out
// of file, value found).
#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNADataAccessReport.h"
#include "CNAHeld.h"
#include "CNAStatement.h"

namespace {

using kxaccess::AddAccessError;

// Sites of this file's reports.
constexpr int knSiteNoBrowse = 50;
constexpr int knSiteSearchArguments = 51;

// User errors.
constexpr unsigned int knErrNoBrowse = 5;          // no statement for the item
constexpr unsigned int knErrSearchArguments = 85;  // a search without item or value

// Flags of a read.
constexpr unsigned int knFlagTableCache = 0x2000;

}  // namespace

int CNADataAccess::bHRecherche(const wchar_t* item, const wchar_t* searchItem, const CAny* value, int searchMode,
                               int bRead, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, int fromFirst,
                               NA_WRITEPARSEFLAGS flags) {
  if (item == nullptr || searchItem == nullptr || value == nullptr) {
    // Nothing to search with: no statement is touched, nothing fetched.
    AddAccessError(this, knSiteSearchArguments, knErrSearchArguments, item, pszGetLogicalName());
    return 0;
  }
  unsigned int nFlags = flags;
  // 1. The rows of a query read as written on a server without
  // subqueries are searched in the table cache, filled first.
  if (bIsQuery() && (m_nQueryMode & NA_QUERYMODE_ASWRITTEN) != 0 && m_pclConnection != nullptr &&
      !m_pclConnection->bSupportSubQuery()) {
    int nLockDone = 0;
    if (!bHLitxxx(searchItem, NA_PARSE_FIRST, 1, 1, &nLockDone, nFlags)) return 0;
    nFlags |= knFlagTableCache;
  }
  // 2. The direction; the table cache only when there is one.
  const eNA_PARSEDIRECTION eDirection = fromFirst ? NA_PARSE_FIRST : NA_PARSE_LAST;
  if (m_pclTableCache == nullptr) nFlags &= ~knFlagTableCache;
  // 3. The browse item's statement becomes the current key.
  CNAStatement* pclStatement = _pclGetNewItemStatement(item, eDirection, static_cast<NA_WRITEPARSEFLAGS>(nFlags));
  if (pclStatement == nullptr) return 0;
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  // 4. Through the table cache, or without it.
  if (m_pclTableCache != nullptr) {
    if ((nFlags & knFlagTableCache) == 0)
      _FreeTableCache();
    else if (!pclStatement->bOpenUsingTableCache())
      return 0;
  }
  // 5. and 6. The search, then one record read.
  pclStatement->SetParseFlags(nFlags);
  if (!pclStatement->bSetUserSearch(searchItem, value, eDirection, searchMode)) return 0;
  return _bFetch(pclStatement, item, eDirection, 1, bRead, lock, reinterpret_cast<int*>(lockDone),
                 static_cast<NA_WRITEPARSEFLAGS>(nFlags), 0);
}

int CNADataAccess::bHAnnuleRecherche(const wchar_t* item) {
  CNAStatement* pclStatement = item == nullptr ? m_pclLastStatement : _pclFindStatement(item);
  if (pclStatement == nullptr) return 1;
  if (item == nullptr) pclStatement->AddRef();
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  // The user search goes with it, so that the table cache's indexes no
  // longer start from its value.
  pclStatement->AnnuleRechercheUser();
  pclStatement->AnnuleRecherche();
  return 1;
}

int CNADataAccess::bHChangeCle(const wchar_t* item, NA_WRITEPARSEFLAGS flags) {
  // 1. The key in use (the best browse item's when none).
  CNAStatement* pclPrevious = _pclGetLastStatement();
  if (pclPrevious == nullptr) return 0;
  CNAAdopted<CNAStatement> clPrevious(pclPrevious);
  // 2. The new key becomes the current one.
  CNAStatement* pclNew = _pclGetNewItemStatement(item, NA_PARSE_CURRENT, flags);
  if (pclNew == nullptr) return 0;
  CNAAdopted<CNAStatement> clNew(pclNew);
  const std::uint32_t nCopy = m_nOriginalRecordSave;
  // 3. and 5. A saved copy of the current record (a write since the read)
  // is where the new key's browse resumes.
  if (nCopy != knNoRecordSave) {
    if (!pclNew->bSetParseNeedUpdate(NA_PARSEUPDATE_RERUN, nCopy)) return 0;
    return bSetCurrentRecordRead(1);
  }
  if (pclNew == pclPrevious) return 1;
  // 4. Otherwise the record last read, or the point the previous key was
  // itself waiting to resume from.
  if (pclPrevious->eParseNeedUpdate() == NA_PARSEUPDATE_NONE) {
    const std::uint32_t nSave = nKeepOriginalRecordSave(nullptr);
    if (nSave == knNoRecordSave) return 0;
    const int bOk = pclNew->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, nSave);
    // The statement took its own reference.
    nReleaseRecordSave(nSave);
    return bOk;
  }
  const std::uint32_t nSave = pclPrevious->nGetRecordSaveID();
  int bOk = pclNew->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, nSave);
  if (bOk) bOk = bRestoreOriginalRecordSave(nSave);
  if (bOk) bOk = bCopyOriginalRecordToCurrentRecord();
  return bOk;
}

int CNADataAccess::bHPositionne(const wchar_t* item, unsigned int position, int precision, NA_WRITEPARSEFLAGS flags) {
  CNAStatement* pclStatement = _pclFindStatement(item);
  if (pclStatement == nullptr) return 1;
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  if (!pclStatement->bHPositionne(static_cast<int>(position), precision, flags)) return 0;
  return bSetCurrentRecordRead(0);
}

int CNADataAccess::bHEndehors(const wchar_t* key, int* out) {
  CNAStatement* pclStatement = _pclFindStatement(key);
  if (pclStatement == nullptr) {
    AddAccessError(this, knSiteNoBrowse, knErrNoBrowse, key, key != nullptr ? key : L"");
    return 0;
  }
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  pclStatement->HEndehors(out);
  return 1;
}

int CNADataAccess::bEvalHTrouve(const wchar_t* item, int* found, int* inFile) {
  CNAStatement* pclStatement = _pclFindStatement(item);
  if (pclStatement == nullptr) {
    AddAccessError(this, knSiteNoBrowse, knErrNoBrowse, item, item != nullptr ? item : L"");
    return 0;
  }
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  pclStatement->EvalHTrouve(found, inFile);
  return 1;
}
