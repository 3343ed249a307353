#include "PositionAccess.h"

#include <cstdio>

#include "CNACommand.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNAStatement.h"

namespace kxtest {

namespace {
std::string Narrow(const wchar_t* psz) {
  std::string s;
  for (; psz != nullptr && *psz != 0; ++psz) s += static_cast<char>(*psz);
  return s;
}
}  // namespace

int PositionAccess::bGetNbEnr(long* count, unsigned int /*flags*/, unsigned int /*flags2*/,
                              CNAStatement* /*statement*/, int direction) {
  vecCalls.push_back("count " + std::to_string(direction));
  if (!bCountOk) return 0;
  if (count != nullptr) {
    if (direction == NA_PARSE_PREVIOUS)
      *count = llBefore;
    else
      *count = llCount >= 0 ? llCount : static_cast<long>(tabTable.size());
  }
  return 1;
}

int PositionAccess::bSkipRecord(const wchar_t* key, eNA_PARSEDIRECTION direction, long count, int /*one*/,
                                int /*lock*/, int* /*lockResult*/, unsigned int flags) {
  char szFlags[16];
  std::snprintf(szFlags, sizeof szFlags, "0x%x", flags);
  vecCalls.push_back("skip " + Narrow(key) + " " + std::to_string(static_cast<int>(direction)) + " " +
                     std::to_string(count) + " " + szFlags);
  return bSkipOk ? 1 : 0;
}

int PositionAccess::bHLitxxx(const wchar_t* /*key*/, eNA_PARSEDIRECTION direction, int /*zero*/, int /*one*/,
                             int* /*lockResult*/, unsigned int /*flags*/) {
  ++nReads;
  vecCalls.push_back("read " + std::to_string(static_cast<int>(direction)));
  if (nFailAtRead != 0 && nReads == nFailAtRead) {
    // A read the server refused.
    if (pclGetError() != nullptr) pclGetError()->AddError(NA_ERRORTYPE_GENERIC, 99, 1, nullptr, 70u);
    return 0;
  }
  return pclReader != nullptr ? pclReader->bFetch(direction, 0, 1) : 0;
}

int PositionAccess::bHEndehors(const wchar_t* /*key*/, int* out) {
  if (pclReader == nullptr) return 0;
  pclReader->HEndehors(out);
  return 1;
}

int PositionAccess::bHSauvePosition(int* position, const wchar_t* item, unsigned int /*kind*/) {
  vecCalls.push_back("save " + Narrow(item));
  if (!bKeepPositions) {
    // No position kept: -1, false, nothing reported.
    if (position != nullptr) *position = -1;
    return 0;
  }
  *position = ++m_nLastPosition;
  return 1;
}

int PositionAccess::bHRetourPosition(int position, wchar_t* item, int keep, unsigned int /*kind*/) {
  vecCalls.push_back("restore " + std::to_string(position) + " keep " + std::to_string(keep) + " " + Narrow(item));
  return bKeepPositions ? 1 : 0;
}

int PositionAccess::bBuildSelect(CNACommand* command, CNAStatement* statement, const wchar_t* /*key*/,
                                 int /*ascending*/, unsigned int /*flags*/, long* /*count*/) {
  vecCalls.push_back("select");
  if (command == nullptr || statement == nullptr) return 0;
  command->bComplete(L"SELECT ASC");
  command->SetQueryType(TYPEREQUETE_SELECT);
  command->SetRecordLimit(nBlock);
  statement->_SetQuery(command);
  return 1;
}

CNACommand* PositionAccess::pclAllocCommand(CNAError* error) {
  if (bNoCommand) return nullptr;
  return MemTableAccess::pclAllocCommand(error);
}

}  // namespace kxtest
