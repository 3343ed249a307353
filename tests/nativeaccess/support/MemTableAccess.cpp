#include "MemTableAccess.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "CNACommand.h"
#include "CNADataSourceDescription.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CNAXQRecord.h"
#include "INAItemDescription.h"
#include "SaveCount.h"

namespace kxtest {

MemTableAccess::MemTableAccess(INADataSourceDescription* source, CNAConnectionDescription* connection,
                               CNAError* error, INAItemDescription* key, INAItemDescription* text)
    : CNADataAccess(source, connection, error), m_piKey(key), m_piText(text) {}

// ======================================================================
// The table and its texts
// ======================================================================

bool MemTableAccess::bAnswer(const std::string& text, MemRows* rows) const {
  const bool bDesc = text.rfind("SELECT DESC", 0) == 0;
  if (!bDesc && text.rfind("SELECT ASC", 0) != 0) return false;
  std::vector<std::pair<int, std::string>> tab = tabTable;
  std::stable_sort(tab.begin(), tab.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  if (bDesc) std::reverse(tab.begin(), tab.end());
  int nFrom = 0;
  int nSkip = 0;
  const std::size_t nFromAt = text.find(" FROM ");
  const bool bFrom = nFromAt != std::string::npos &&
                     std::sscanf(text.c_str() + nFromAt, " FROM %d SKIP %d", &nFrom, &nSkip) == 2;
  long nLimit = -1;
  const std::size_t nLimitAt = text.find("LIMIT ");
  if (nLimitAt != std::string::npos) nLimit = std::strtol(text.c_str() + nLimitAt + 6, nullptr, 10);
  for (const auto& row : tab) {
    if (bFrom) {
      const bool bAfter = bDesc ? row.first < nFrom : row.first > nFrom;
      if (row.first == nFrom && nSkip > 0) {
        --nSkip;
        continue;
      }
      if (row.first != nFrom && !bAfter) continue;
    }
    if (nLimit >= 0 && static_cast<long>(rows->size()) >= nLimit) break;
    rows->push_back(MemRow{std::to_string(row.first), row.second});
  }
  return true;
}

namespace {
// Runs `text` as the statement's new command, read in blocks of `block`.
bool RunSelect(MemTableAccess* access, CNAStatement* statement, const std::string& text, int block) {
  CNACommand* pclCommand = access->pclAllocCommand(access->pclGetError());
  if (pclCommand == nullptr) return false;
  pclCommand->AddRef();
  const std::wstring sText(text.begin(), text.end());
  pclCommand->bComplete(sText.c_str());
  pclCommand->SetQueryType(TYPEREQUETE_SELECT);
  pclCommand->SetRecordLimit(block);
  const int bOk = statement->bExecuteDirectNewCommand(pclCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT);
  pclCommand->nRelease();
  return bOk != 0;
}
}  // namespace

bool MemTableAccess::bOpen(CNAStatement* statement, bool descending) {
  if (!RunSelect(this, statement, descending ? "SELECT DESC" : "SELECT ASC", nBlock)) return false;
  // A descending SELECT reads the key backwards.
  statement->SetInvertFetch(descending ? 1 : 0);
  return true;
}

int MemTableAccess::bGoToStmtOriginalRecord(int /*unused*/, CNAStatement* statement, int lock,
                                            eNA_PARSEDIRECTION direction, long count) {
  // A data access that cannot continue a parse: not available (user error
  // 38), as for a source it cannot read.
  if (bRefuseContinuation) return _bNotAvailable(1);
  const CNARecordValue* pclOriginal = statement->pclGetStmtOriginalRecord();
  if (pclOriginal == nullptr) return 0;
  const bool bBackward = direction == NA_PARSE_PREVIOUS;
  const int nKey = nKeyOf(pclOriginal);
  // The original record and the records equal to it read just before it.
  const int nSkip = statement->nGetDuplicateCount() + 1;
  vecContinuations.push_back(std::string(bBackward ? "PREVIOUS " : "NEXT ") + std::to_string(nKey) + " SKIP " +
                             std::to_string(nSkip));
  const std::string sText = std::string(bBackward ? "SELECT DESC" : "SELECT ASC") + " FROM " + std::to_string(nKey) +
                            " SKIP " + std::to_string(nSkip);
  if (!RunSelect(this, statement, sText, nBlock)) return 0;
  statement->SetInvertFetch(bBackward ? 1 : 0);
  return statement->bFetch(direction, lock, count);
}

// ======================================================================
// Record saves
// ======================================================================

std::uint32_t MemTableAccess::nKeepModifiedSave(const char* text) {
  CNARecord* pclRecord = pclGetCurrentRecord();
  CNARecordValue* pclCurrent = pclRecord != nullptr ? pclRecord->pclGetCurrentRecordValue() : nullptr;
  CNARecordValue* pclModified = pclCurrent != nullptr ? pclCurrent->pclGetClone(NA_COPY_ALL) : nullptr;
  if (pclModified == nullptr) return knNoRecordSave;
  pclModified->AddRef();
  CNAXQRecord* pclXQ = pclModified->pclGetNAXQRecord();
  unsigned char* pby = pclXQ != nullptr ? pclXQ->pbyGetItemValue(m_piText, 0) : nullptr;
  if (pby != nullptr) {
    const std::size_t nCapacity = m_piText->nGetItemSize();
    std::memset(pby, 0, nCapacity);
    std::strncpy(reinterpret_cast<char*>(pby), text, nCapacity - 1);
    pclXQ->SetItemValueDefined(m_piText, 1, 0);
  }
  const std::uint32_t nSave = _nKeepRecordSave(pclModified);
  pclModified->nRelease();
  return nSave;
}

void MemTableAccess::AddRefRecordSave(std::uint32_t save) {
  ++nAddRefSaveCalls;
  CNADataAccess::AddRefRecordSave(save);
}

int MemTableAccess::nReleaseRecordSave(std::uint32_t save) {
  ++nReleaseSaveCalls;
  return CNADataAccess::nReleaseRecordSave(save);
}

int MemTableAccess::nSavesHeld() const { return kxtest::nSavesHeld(this); }

CNADataSourceDescription* MemTableAccess::_pclAllocDataSource(CNAConnectionDescription* connection,
                                                              CNAError* error) {
  return bDescribeResults ? new CNADataSourceDescription(connection, error) : nullptr;
}

int MemTableAccess::bInitDataSourceFromResult(CNADataSourceDescription* /*description*/,
                                              CNAStatementSQL* statement) {
  ++nDescribed;
  nDescribedColumns = statement != nullptr ? statement->nGetColumnCount() : 0;
  return bDescribeOk ? 1 : 0;
}

void MemTableAccess::ClosingStatement(CNAStatement* statement) {
  ++nClosings;
  CNADataAccess::ClosingStatement(statement);
}

int MemTableAccess::bSetCurrentRecordRead(int keepSave) {
  ++nReadMarks;
  return CNADataAccess::bSetCurrentRecordRead(keepSave);
}

// ======================================================================
// Reading record bytes
// ======================================================================

int MemTableAccess::nKeyOf(const CNARecordValue* value) const {
  const CNAXQRecord* pclXQ = value != nullptr ? value->pclGetNAXQRecord() : nullptr;
  const unsigned char* pby = pclXQ != nullptr ? pclXQ->pbyGetItemValue(m_piKey, 0) : nullptr;
  int n = -1;
  if (pby != nullptr) std::memcpy(&n, pby, sizeof n);
  return n;
}

std::string MemTableAccess::sTextOf(const CNARecordValue* value) const {
  const CNAXQRecord* pclXQ = value != nullptr ? value->pclGetNAXQRecord() : nullptr;
  const unsigned char* pby = pclXQ != nullptr ? pclXQ->pbyGetItemValue(m_piText, 0) : nullptr;
  if (pby == nullptr) return std::string();
  const std::size_t nCapacity = m_piText->nGetItemSize();
  return std::string(reinterpret_cast<const char*>(pby), strnlen(reinterpret_cast<const char*>(pby), nCapacity));
}

bool MemTableAccess::bTextNull(const CNARecordValue* value) const {
  const CNAXQRecord* pclXQ = value != nullptr ? value->pclGetNAXQRecord() : nullptr;
  return pclXQ == nullptr || !pclXQ->bItemValueDefined(m_piText, 0);
}

}  // namespace kxtest
