#include "QueryAccess.h"

#include "CNACommand.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "INAItemDescription.h"

namespace kxtest {

INAItemDescription* QuerySource::piGetBestParseItemDesc() {
  if (piBest != nullptr) piBest->ExternalAddRef();
  return piBest;
}

int QueryAccess::bSetCurrentRecordRead(int /*unused*/) {
  ++nReadMarks;
  return CNADataAccess::bSetCurrentRecordRead(0);
}

namespace {

// A SELECT of `key` in the given order with `where` as its condition, made
// the statement's command and executed.
bool RunSelect(QueryAccess* access, CNAStatement* statement, const wchar_t* key, int ascending, CNACommand* where) {
  CNACommand* pclCommand = access->pclAllocCommand(access->pclGetError());
  if (pclCommand == nullptr) return false;
  pclCommand->AddRef();
  bool bOk = statement->bPrepare(pclCommand, static_cast<NA_WRITEPARSEFLAGS>(2)) &&
             statement->bBuildQuerySELECT(pclCommand, NA_WRITEPARSE_NONE, key, ascending, where);
  if (bOk) {
    if (access->nBlock > 0) pclCommand->SetRecordLimit(access->nBlock);
    bOk = statement->bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT) != 0;
  }
  pclCommand->nRelease();
  return bOk;
}

}  // namespace

bool QueryAccess::bOpen(CNAStatement* statement, const wchar_t* key, int ascending) {
  sKey = key != nullptr ? key : L"";
  return RunSelect(this, statement, key, ascending, nullptr);
}

int QueryAccess::bGoToStmtOriginalRecord(int /*unused*/, CNAStatement* statement, int lock,
                                         eNA_PARSEDIRECTION direction, long count) {
  ++nContinuations;
  CNARecord* pclRecord = pclGetCurrentRecord();
  INADataSourceDescription* piSource = piGetDataSourceNoRef();
  if (pclRecord == nullptr || piSource == nullptr || !statement->bCopyOriginalRecordToCurrentRecord()) return 0;
  // The directions are the key's: next goes on after the record, previous
  // before it.
  const bool bNext = direction == NA_PARSE_NEXT;
  INAItemDescription* piKey = piSource->piNAGetItem(sKey.c_str());
  CNARecherche* pclSearch = statement->pclAllocRecherche();
  CNACommand* pclWhere = pclAllocCommand(pclGetError());
  bool bOk = piKey != nullptr && pclSearch != nullptr && pclWhere != nullptr;
  if (pclSearch != nullptr) pclSearch->AddRef();
  if (pclWhere != nullptr) pclWhere->AddRef();
  if (bOk)
    bOk = pclSearch->bRechercheEnreg(pclRecord, piKey, NA_PARSE_FIRST, 0, nullptr) &&
          pclSearch->bSetContinueParcours(bNext ? NA_PARSE_FIRST : NA_PARSE_LAST) &&
          pclSearch->bGetSQL(pclWhere, nullptr, pclRecord);
  if (bOk) bOk = RunSelect(this, statement, sKey.c_str(), bNext ? 1 : 0, pclWhere);
  if (pclWhere != nullptr) pclWhere->nRelease();
  if (pclSearch != nullptr) pclSearch->nRelease();
  if (piKey != nullptr) piKey->nExternalRelease();
  return bOk ? statement->bFetch(direction, lock, count) : 0;
}

}  // namespace kxtest
