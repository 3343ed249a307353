// AccessBrowser: drives the library's own data access (the one the process
// driver's factory hands out for a description) the way a table does for
// one context, for the tests and benchmarks that browse a real table, and
// watches what it sends.
//
// - Open: the data access is made through the driver's factory, its
//   current record initialised and marked open (as opening the table
//   would, without reading the server's description).
// - Reads go to the data access's own operations (bHLitxxx, bSkipRecord,
//   bHEndehors ...; call them on p).
// - Note(key) records the SELECT of `key`'s statement when it is a new one
//   (its command or text changed since that statement's last note):
//   sLastSelect,
//   vecSelects (when bKeepTexts), nSelects, and nContinuations (those
//   carrying a WHERE: the continuations and resumptions of an unfiltered
//   browse).
// - bWrite writes the current record through one of the access's
//   statements with the statement's own write texts and tells every
//   statement (the data access's _NotifyOperation), unless nothing was sent.
//
// Ownership: holds one reference on the data access (released by the
// destructor or Release). Header only.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAColumn.h"
#include "CNADataAccess.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "SaveCount.h"

namespace kxtest {

class AccessBrowser {
 public:
  AccessBrowser() = default;
  AccessBrowser(const AccessBrowser&) = delete;
  AccessBrowser& operator=(const AccessBrowser&) = delete;
  ~AccessBrowser() { Release(); }

  // The data access of `driver` for `source` over `cnx`, opened. False
  // (the error object says why) when it cannot be made or its record not
  // initialised.
  bool bOpen(CNADriver* driver, INADataSourceDescription* source, CNAConnectionDescription* cnx, CNAError* error) {
    Release();
    p = driver->pclAllocDataAccess(source, cnx, error);
    if (p == nullptr) return false;
    p->AddRef();
    if (!p->_bInitCurrentRecord()) return false;
    p->SetOpened(1);
    return true;
  }
  void Release() {
    if (p == nullptr) return;
    p->bHFerme();
    p->nRelease();
    p = nullptr;
  }

  // The integer value of `item` in the current record; -1 when it cannot
  // be read (no such column, NULL, not an integer).
  int nCurrentInt(CNAItemDescription* item) const {
    CNAColumn* col = p->pclGetCurrentRecord()->pclGetColumnNoRef(item);
    CAny v;
    int n = -1;
    if (col == nullptr || !col->bGetCurrentValue(&v, 0) || v.bIsNull() || v.nGetINT(&n) != 0) return -1;
    return n;
  }

  // The statement of `key` (no reference; null before its first read).
  CNAStatement* pclStatement(const wchar_t* key) const {
    CNAStatement* pclStatement = p->_pclFindStatement(key);
    if (pclStatement != nullptr) pclStatement->nRelease();  // the registry holds it
    return pclStatement;
  }

  // Records the SELECT of `key`'s statement when it is a new one.
  void Note(const wchar_t* key) {
    CNAStatement* pclSt = pclStatement(key);
    CNACommand* pclCommand = pclSt != nullptr ? pclSt->pclGetCommandNoRef() : nullptr;
    if (pclCommand == nullptr || pclCommand->nGetQueryType() != TYPEREQUETE_SELECT) return;
    const char* psz = pclCommand->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
    const std::string sText = psz != nullptr ? psz : "";
    std::pair<const CNACommand*, std::string>& last = m_mapLast[pclSt];
    if (pclCommand == last.first && sText == last.second) return;
    last = {pclCommand, sText};
    sLastSelect = sText;
    ++nSelects;
    if (sText.find(" WHERE ") != std::string::npos) ++nContinuations;
    if (bKeepTexts) vecSelects.push_back(sText);
  }

  int nSavesHeld() const { return kxtest::nSavesHeld(p); }

  // INSERT, UPDATE (of the modified columns of the record last read) or
  // DELETE (of the record last read) through `statement`; every statement
  // is told unless nothing was sent. False with the reason in the error
  // object.
  int bWrite(eNAQUERYTYPE type, CNAStatement* statement, NA_WRITEPARSEFLAGS flags) {
    CNARecord* pclRecord = p->pclGetCurrentRecord();
    if (statement == nullptr || pclRecord == nullptr) return 0;
    CNARecordValue* pclOriginal = pclRecord->pclGetOriginalRecordValue();
    CNARecordValue* pclCurrent = pclRecord->pclGetCurrentRecordValue();
    if (pclOriginal == nullptr || pclCurrent == nullptr) return 0;
    // The record as it was: what the other statements know the row by.
    CNARecordValue* pclBefore = type == NA_QUERY_INSERT ? nullptr : pclOriginal->pclGetClone(NA_COPY_ALL);
    if (pclBefore != nullptr) pclBefore->AddRef();
    CNACommand* pclCommand = p->pclAllocCommand(p->pclGetError());
    int bOk = pclCommand != nullptr && (type == NA_QUERY_INSERT || pclBefore != nullptr);
    if (pclCommand != nullptr) pclCommand->AddRef();
    if (bOk) {
      switch (type) {
        case NA_QUERY_INSERT: bOk = statement->bBuildQueryINSERT(pclCommand, flags); break;
        case NA_QUERY_UPDATE: bOk = statement->bBuildQueryUPDATE(pclCommand, flags); break;
        case NA_QUERY_DELETE: bOk = statement->bBuildQueryDELETE(pclCommand, flags); break;
        default: bOk = 0; break;
      }
      if (!bOk) statement->ResetQuery();
    }
    if (bOk) {
      const wchar_t* pszText = pclCommand->pszGetOriginalSQL();
      const bool bSends = pszText != nullptr && *pszText != 0;
      bOk = statement->bExecute(flags, NA_ST_DIRECT);
      if (bOk && bSends) {
        ++nWrites;
        if (type == NA_QUERY_INSERT) bOk = statement->bUpdateRecordAfterInsert(type, static_cast<int>(flags));
        nNotifications += static_cast<long>(p->nGetStatementCount());
        p->_NotifyOperation(type, statement, flags, type == NA_QUERY_INSERT ? pclCurrent : pclBefore);
        // A further write of this record addresses it as it is now stored.
        if (type != NA_QUERY_DELETE) pclRecord->bCopyCurrentRecordToOriginalRecord();
      }
    }
    if (pclCommand != nullptr) pclCommand->nRelease();
    if (pclBefore != nullptr) pclBefore->nRelease();
    return bOk;
  }

  CNADataAccess* p = nullptr;
  long nSelects = 0;
  long nContinuations = 0;
  long nWrites = 0;
  long nNotifications = 0;
  std::string sLastSelect;
  bool bKeepTexts = false;
  std::vector<std::string> vecSelects;

 private:
  // The SELECT last noted of each statement.
  std::map<const CNAStatement*, std::pair<const CNACommand*, std::string>> m_mapLast;
};

}  // namespace kxtest
