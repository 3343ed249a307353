// Cost of reading rows through the MariaDB driver-level statement, against
// the client library's own loop.
//
// 100,000 stored rows of INT, BIGINT, DOUBLE, DECIMAL(12,2), a utf8
// VARCHAR(40), DATETIME and a nullable BLOB (a third of them NULL), read in
// five or more passes each way; every pass sends the SELECT and stores the
// result, then:
//   raw      mysql_fetch_row + mysql_fetch_lengths per row and each value
//            copied into a row buffer (the floor: what any reader pays);
//   statement CMySQLStatementSQL::bFetch and bGetValue per column into value
//            holders bound onto the items of a record (the statement's read
//            path and the conversion into the items);
//   previous 10,000 rows read from the last to the first (bDataSeek, bFetch,
//            bGetValue), as a browse backwards through a block does; beside
//            it the same walk with mysql_data_seek alone, which walks from
//            the first row at every step;
//   record   CNAStatement::bFetch(first), then bFetch(next) to the end, into
//            the current record of a data access on the same connection
//            (the process driver a CMySQLDriver, so the statement reads
//            through a CMySQLStatementSQL); its record layout has one item
//            per column, typed and sized as the type mapping describes the
//            column; then the same statement from the last of 10,000 rows
//            back to the first with bFetch(previous). Before timing, a few
//            rows of the record are compared with the raw loop's values.
// It prints the median nanoseconds per row of each measure and its ratio to
// the raw loop (the forward ones include the query and the stored result,
// the backward ones only the walk), then where the time of the reads goes
// without the execution: the driver statement's fetch alone and each
// column's read added to it, the record's read split into its columns,
// the original record each fetch keeps and the statement's own steps, and
// the runtime's parse of each numeric column's texts on its own. Passes
// of every kind alternate, so that the load of the machine falls on all
// alike. Build Release for figures (a sanitizer build only shows that it
// runs).
//
// The server: the one of the connection file given (the key=value file
// tests/fixtures/mariadb_start.sh writes), or else a throwaway server that
// the program starts with that script and stops at its end.
//
// Usage: fetch [connection.conf] [passes]
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "AnyRuntime.h"
#include "BenchServer.h"
#include "BenchSession.h"
#include "CAny.h"
#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CMySQLDriver.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumn.h"
#include "CNAColumnSQL.h"
#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNADataAccess.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CNAXQRecord.h"
#include "IStrMemAlloc.h"
#include "StandInControl.h"
#include "TestConnection.h"
#include "TestSource.h"

namespace {

using kxbench::BenchConnection;
using kxbench::BenchDriver;
using kxbench::bOpenRawSession;
using kxbench::Median;
using kxbench::stServer;

constexpr long knRows = 100000;
constexpr long knBackRows = 10000;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

using Clock = std::chrono::steady_clock;
double NsPerRow(Clock::time_point t0, Clock::time_point t1, long rows) {
  return std::chrono::duration<double, std::nano>(t1 - t0).count() / static_cast<double>(rows);
}

volatile std::uint64_t gnSink = 0;

const char* const kpszSelect = "SELECT id, big, dbl, dec12, txt, dt, blb FROM kxbench_fetch";

// One pass of the client's own loop: every value copied into a row buffer.
// Split: the query sent and its result stored, then the loop.
double RawPass(MYSQL* pHandle, const char* pszQuery, long* pnRows, double* pdStore) {
  std::vector<char> vecRow(1 << 16);
  const auto t0 = Clock::now();
  if (__mysql_real_query(pHandle, pszQuery, std::strlen(pszQuery)) != 0) return -1;
  MYSQL_RES* pResult = __mysql_store_result(pHandle);
  if (pResult == nullptr) return -1;
  const auto tStored = Clock::now();
  const unsigned int nFields = __mysql_num_fields(pResult);
  long nRows = 0;
  while (MYSQL_ROW row = __mysql_fetch_row(pResult)) {
    const unsigned long* pnLengths = __mysql_fetch_lengths(pResult);
    std::size_t nAt = 0;
    for (unsigned int c = 0; c < nFields; ++c) {
      if (row[c] == nullptr) continue;
      std::memcpy(vecRow.data() + nAt, row[c], pnLengths[c]);
      nAt += pnLengths[c];
    }
    gnSink += nAt;
    ++nRows;
  }
  __mysql_free_result(pResult);
  const auto t1 = Clock::now();
  *pnRows = nRows;
  *pdStore = NsPerRow(t0, tStored, nRows);
  return NsPerRow(t0, t1, nRows);
}

// Value holders bound onto the items of one record, typed from the
// statement's column descriptions (the BLOB as a binary item).
struct stRecord {
  std::vector<unsigned char> vecBytes;
  std::vector<CNAItemDescription*> vecItems;
  std::vector<CNAConvertVariant*> vecValues;

  bool bBind(CMySQLStatementSQL* st, CNAConnectionDescription* cnx) {
    const unsigned int nColumns = st->nGetColumnCount();
    std::vector<std::uint32_t> vecOffsets;
    std::uint32_t nAt = 0;
    std::vector<std::pair<eNA_ITEMTYPE, std::uint32_t>> vecTypes;
    for (unsigned int c = 0; c < nColumns; ++c) {
      CNAColumnSQL* p = st->pclGetNAColumnSQL(static_cast<int>(c));
      if (p == nullptr) return false;
      eNA_ITEMTYPE e = p->m_eItemType;
      std::uint32_t n = p->m_nItemSize;
      if (e == NA_IT_MEMOBINAIRE || e == NA_IT_MEMOTEXTE) {
        e = NA_IT_BINAIRE;
        n = 2 + 64;
      }
      vecTypes.emplace_back(e, n);
      vecOffsets.push_back(nAt);
      nAt += (n + 7) & ~7u;
    }
    vecBytes.assign(nAt, 0);
    for (unsigned int c = 0; c < nColumns; ++c) {
      CNAColumnSQL* p = st->pclGetNAColumnSQL(static_cast<int>(c));
      CNAItemDescription* pItem = new CNAItemDescription;
      pItem->AddRef();
      pItem->bInit(p->m_csName.pszGet(), L"", L"", 1, vecTypes[c].second, vecTypes[c].first, 0, 0,
                   0, p->m_nIntegerPart, p->m_nDecimalPart);
      CNAConvertVariant* pValue = new CNAConvertVariant(nullptr, cnx);
      pValue->AddRef();
      pValue->bInitTypeVariant(NAVT_BOUND, vecBytes.data() + vecOffsets[c], vecTypes[c].second, 0);
      pValue->SetItemDesc(pItem, pItem);
      vecItems.push_back(pItem);
      vecValues.push_back(pValue);
    }
    return true;
  }
  ~stRecord() {
    for (CNAConvertVariant* p : vecValues) p->nRelease();
    for (CNAItemDescription* p : vecItems) p->nRelease();
  }
  // Every column of the current row into its item.
  bool bRead(CMySQLStatementSQL* st) {
    for (std::size_t c = 0; c < vecValues.size(); ++c)
      if (!st->bGetValue(vecValues[c], static_cast<unsigned int>(c), 0)) return false;
    return true;
  }
};

double StatementPass(CMySQLStatementSQL* st, stRecord* record, long* pnRows) {
  const auto t0 = Clock::now();
  if (!st->bExecuteDirect(kpszSelect, NA_WRITEPARSE_NONE)) return -1;
  long nRows = 0;
  while (st->bFetch(0) && !st->bNoCurrentRow()) {
    if (!record->bRead(st)) return -1;
    ++nRows;
  }
  const auto t1 = Clock::now();
  *pnRows = nRows;
  return NsPerRow(t0, t1, nRows);
}

// The statement's own share: bFetch and each value's bytes, no conversion.
double StatementBytesPass(CMySQLStatementSQL* st, long* pnRows) {
  const auto t0 = Clock::now();
  if (!st->bExecuteDirect(kpszSelect, NA_WRITEPARSE_NONE)) return -1;
  const unsigned int nColumns = st->nGetColumnCount();
  std::vector<char> vecRow(1 << 16);
  long nRows = 0;
  while (st->bFetch(0) && !st->bNoCurrentRow()) {
    std::size_t nAt = 0;
    for (unsigned int c = 0; c < nColumns; ++c) {
      unsigned char* p = nullptr;
      unsigned int n = 0;
      if (!st->bGetValue(&p, &n, c)) return -1;
      if (p == nullptr) continue;
      std::memcpy(vecRow.data() + nAt, p, n);
      nAt += n;
    }
    gnSink += nAt;
    ++nRows;
  }
  const auto t1 = Clock::now();
  *pnRows = nRows;
  return NsPerRow(t0, t1, nRows);
}

// Where the conversion's time goes: bFetch and one column's bGetValue into
// its item (the other columns not read).
double ColumnPass(CMySQLStatementSQL* st, stRecord* record, unsigned int column) {
  if (!st->bExecuteDirect(kpszSelect, NA_WRITEPARSE_NONE)) return -1;
  const auto t0 = Clock::now();
  long nRows = 0;
  while (st->bFetch(0) && !st->bNoCurrentRow()) {
    if (!st->bGetValue(record->vecValues[column], column, 0)) return -1;
    ++nRows;
  }
  const auto t1 = Clock::now();
  return nRows == knRows ? NsPerRow(t0, t1, nRows) : -1;
}

// The same loop reading no value: what the columns' costs are measured
// against.
double NoValuePass(CMySQLStatementSQL* st) {
  if (!st->bExecuteDirect(kpszSelect, NA_WRITEPARSE_NONE)) return -1;
  const auto t0 = Clock::now();
  long nRows = 0;
  while (st->bFetch(0) && !st->bNoCurrentRow()) ++nRows;
  const auto t1 = Clock::now();
  return nRows == knRows ? NsPerRow(t0, t1, nRows) : -1;
}

// Rows of the stored result read from the last to the first.
double PreviousPass(CMySQLStatementSQL* st, stRecord* record) {
  const auto t0 = Clock::now();
  for (long n = knBackRows - 1; n >= 0; --n) {
    if (!st->bDataSeek(n) || !st->bFetch(0) || st->bNoCurrentRow() || !record->bRead(st)) return -1;
  }
  const auto t1 = Clock::now();
  return NsPerRow(t0, t1, knBackRows);
}

// The same walk with mysql_data_seek alone.
double DataSeekPreviousPass(MYSQL* pHandle) {
  const std::string sQuery = std::string(kpszSelect) + " LIMIT " + std::to_string(knBackRows);
  if (__mysql_real_query(pHandle, sQuery.c_str(), sQuery.size()) != 0) return -1;
  MYSQL_RES* pResult = __mysql_store_result(pHandle);
  if (pResult == nullptr) return -1;
  const auto t0 = Clock::now();
  for (long n = knBackRows - 1; n >= 0; --n) {
    __mysql_data_seek(pResult, static_cast<my_ulonglong>(n));
    MYSQL_ROW row = __mysql_fetch_row(pResult);
    if (row == nullptr) return -1;
    gnSink += __mysql_fetch_lengths(pResult)[0];
  }
  const auto t1 = Clock::now();
  __mysql_free_result(pResult);
  return NsPerRow(t0, t1, knBackRows);
}

// ---- CNAStatement into the record -------------------------------------------

// The bench table as the runtime describes it to the library: one item per
// result column, laid out one after the other, each item's physical index
// its rank (the column the statement reads for it).
class BenchSource : public kxtest::TestSource {
 public:
  BenchSource() = default;
  ~BenchSource() override {
    for (CNAItemDescription* p : m_tabItems) p->nRelease();
  }
  void Add(const wchar_t* pszName, eNA_ITEMTYPE eType, std::uint32_t nSize, int nInteger, int nDecimals) {
    CNAItemDescription* p = new CNAItemDescription;
    p->AddRef();
    p->bInit(pszName, L"kxbench_fetch", pszName, 1, nSize, eType, static_cast<std::uint32_t>(m_tabItems.size()),
             -1, 0, nInteger, nDecimals);
    p->SetOffset(m_nRecordSize);
    m_nRecordSize += p->nGetTotalSize();
    m_tabItems.push_back(p);
  }
  CNAItemDescription* pclItem(std::size_t n) const { return m_tabItems[n]; }
  std::size_t nItems() const { return m_tabItems.size(); }

  std::uint32_t nGetVersion() override { return 1; }
  const wchar_t* pszGetLogicalName() override { return L"kxbench_fetch"; }
  const wchar_t* pszGetPhysicalName() override { return L"kxbench_fetch"; }
  const wchar_t* pszGetDBTableName() override { return L"kxbench_fetch"; }
  std::uint32_t nGetDiskRecordSize() override { return m_nRecordSize; }
  std::uint32_t nGetNumItems() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  std::uint32_t nGetNumItemPhysicallyInFic() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  INAItemDescription* piNAGetItem(const wchar_t* pszName) override {
    for (CNAItemDescription* p : m_tabItems) {
      if (pszName != nullptr && std::wcscmp(p->pszGetName(), pszName) == 0) {
        p->ExternalAddRef();
        return p;
      }
    }
    return nullptr;
  }
  INAItemDescription* piNAGetItem(std::uint32_t nIndex) override {
    if (nIndex >= m_tabItems.size()) return nullptr;
    m_tabItems[nIndex]->ExternalAddRef();
    return m_tabItems[nIndex];
  }

 private:
  std::vector<CNAItemDescription*> m_tabItems;
  std::uint32_t m_nRecordSize = 0;
};

// A data access of the bench table on the bench's connection, its current
// record laid out from the source, and its statement (which gets its
// CMySQLStatementSQL from the process driver's SQL face).
struct stNAReader {
  BenchSource src;
  std::vector<eNA_ITEMTYPE> vecTypes;
  CNAError* pError = nullptr;
  CNADataAccess* pAccess = nullptr;
  CNARecord* pRecord = nullptr;
  CNAStatement* pStatement = nullptr;

  // The items typed and sized as the driver statement `described`
  // (executed on the bench's SELECT) describes its columns.
  bool bInit(CMySQLStatementSQL* described, CMySQLConnection* cnx, CNAError* error) {
    const unsigned int nColumns = described->nGetColumnCount();
    for (unsigned int c = 0; c < nColumns; ++c) {
      const CNAColumnSQL* p = described->pclGetNAColumnSQL(static_cast<int>(c));
      if (p == nullptr) return false;
      src.Add(p->m_csName.pszGet(), p->m_eItemType, p->m_nItemSize, p->m_nIntegerPart, p->m_nDecimalPart);
      vecTypes.push_back(p->m_eItemType);
    }
    pError = error;
    pError->AddRef();
    pAccess = new CNADataAccess(&src, cnx, error);
    pAccess->AddRef();
    pRecord = new CNARecord(error, pAccess);
    pRecord->AddRef();
    if (!pRecord->bInitRecord(&src, nullptr, cnx)) return false;
    pAccess->SetCurrentRecord(pRecord);
    pStatement = new CNAStatement(pAccess, error);
    pStatement->AddRef();
    return pRecord->nGetColumnCount() >= static_cast<int>(nColumns);
  }
  ~stNAReader() {
    if (pStatement != nullptr) pStatement->nRelease();
    if (pRecord != nullptr) pRecord->nRelease();
    if (pAccess != nullptr) pAccess->nRelease();
    if (pError != nullptr) pError->nRelease();
  }
  // Sends `text` as the statement's new SELECT (no row limit: the whole
  // result is one block).
  bool bExecute(const wchar_t* text) {
    CNACommand* pCommand = pAccess->pclAllocCommand(pError);
    if (pCommand == nullptr) return false;
    pCommand->AddRef();
    pCommand->bComplete(text);
    pCommand->SetQueryType(TYPEREQUETE_SELECT);
    const int bOk = pStatement->bExecuteDirectNewCommand(pCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT);
    pCommand->nRelease();
    return bOk != 0;
  }
  // One fetch; false when it fails, *pbOut when it left the result.
  bool bFetch(eNA_PARSEDIRECTION e, int* pbOut) {
    if (!pStatement->bFetch(e, 0, 1)) return false;
    pStatement->HEndehors(pbOut);
    return true;
  }
};

// The rows the values are checked on (row ranks in the result).
const long kanCheckedRows[] = {0, 1, 2, 3, 4, 5, 25, 26, 47, 48, 49999, 99997, 99998, 99999};

bool bCheckedRow(long n) {
  return std::find(std::begin(kanCheckedRows), std::end(kanCheckedRows), n) != std::end(kanCheckedRows);
}

using RawRow = std::vector<std::optional<std::string>>;

// The raw loop's values of the checked rows.
bool bRawCheckedRows(MYSQL* pHandle, std::map<long, RawRow>* rows) {
  if (__mysql_real_query(pHandle, kpszSelect, std::strlen(kpszSelect)) != 0) return false;
  MYSQL_RES* pResult = __mysql_store_result(pHandle);
  if (pResult == nullptr) return false;
  const unsigned int nFields = __mysql_num_fields(pResult);
  long n = 0;
  while (MYSQL_ROW row = __mysql_fetch_row(pResult)) {
    if (bCheckedRow(n)) {
      const unsigned long* pnLengths = __mysql_fetch_lengths(pResult);
      RawRow& r = (*rows)[n];
      for (unsigned int c = 0; c < nFields; ++c)
        r.push_back(row[c] == nullptr ? std::nullopt : std::optional<std::string>(std::string(row[c], pnLengths[c])));
    }
    ++n;
  }
  __mysql_free_result(pResult);
  return n == knRows;
}

std::string Digits(const std::string& s) {
  std::string d;
  for (char ch : s)
    if (ch >= '0' && ch <= '9') d += ch;
  return d;
}

std::string Narrow(const wchar_t* psz) {
  std::string s;
  for (; psz != nullptr && *psz != 0; ++psz) s += *psz < 128 ? static_cast<char>(*psz) : '?';
  return s;
}

// Whether item `c` of the current record holds the raw loop's `raw`; else
// what it holds, in *pWhat.
bool bSameValue(stNAReader* r, std::size_t c, const std::optional<std::string>& raw, std::string* pWhat) {
  CNAColumn* pColumn = r->pRecord->pclGetColumnNoRef(static_cast<int>(c));
  CNAXQRecord* pXQ = r->pRecord->pclGetNAXQRecord();
  if (pColumn == nullptr || pXQ == nullptr) return false;
  const bool bDefined = pXQ->bItemValueDefined(r->src.pclItem(c), 0) != 0;
  CAny v;
  if (!pColumn->bGetCurrentValue(&v, 0)) {
    *pWhat = "<no value>";
    return false;
  }
  if (!raw) {
    *pWhat = bDefined ? "<defined>" : "<NULL>";
    return !bDefined || v.bIsNull();
  }
  if (!bDefined || v.bIsNull()) {
    *pWhat = "<NULL>";
    return false;
  }
  switch (r->vecTypes[c]) {
    case NA_IT_I1:
    case NA_IT_I2:
    case NA_IT_I4:
    case NA_IT_I8: {
      long n = 0;
      if (v.nGetINT_64(&n) != 0) return false;
      *pWhat = std::to_string(n);
      return *pWhat == *raw;
    }
    case NA_IT_R4:
    case NA_IT_R8: {
      double d = 0;
      if (v.nGetREAL(&d) != 0) return false;
      *pWhat = std::to_string(d);
      const double dRaw = std::strtod(raw->c_str(), nullptr);
      return std::abs(d - dRaw) <= 1e-12 * std::max(1.0, std::abs(dRaw));
    }
    case NA_IT_MEMOBINAIRE:
    case NA_IT_BINAIRE: {
      void* p = nullptr;
      std::size_t n = 0;
      if (v.nGetDataAdr(&p) != 0 || v.nGetDataSize(&n) != 0) return false;
      *pWhat = std::string(static_cast<const char*>(p), n);
      return *pWhat == *raw;
    }
    default:
      break;
  }
  // Texts, decimals and dates: their text as the runtime writes it.
  const wchar_t* psz = nullptr;
  if (v.__nCastToString(&psz, nullptr) != 0 || psz == nullptr) return false;
  *pWhat = Narrow(psz);
  switch (r->vecTypes[c]) {
    case NA_IT_DATETIME:
      // The date-time's digits, milliseconds after the raw text's.
      return Digits(*pWhat).rfind(Digits(*raw), 0) == 0;
    case NA_IT_TEXTE:
    case NA_IT_UNICODE:
      return *pWhat == *raw;
    default:
      return std::strtod(pWhat->c_str(), nullptr) == std::strtod(raw->c_str(), nullptr);
  }
}

// Reads the whole result into the record once and compares the checked
// rows with the raw loop's.
bool bCheckRecord(stNAReader* r, MYSQL* pRaw) {
  std::map<long, RawRow> rows;
  if (!bRawCheckedRows(pRaw, &rows)) {
    std::fprintf(stderr, "the raw rows could not be read\n");
    return false;
  }
  const std::wstring sSelect = Wide(kpszSelect);
  if (!r->bExecute(sSelect.c_str())) {
    std::fprintf(stderr, "the SELECT failed: %ls\n", r->pError->pszGetError());
    return false;
  }
  int bOut = 0;
  long n = 0;
  long nChecked = 0;
  bool bSame = true;
  for (eNA_PARSEDIRECTION e = NA_PARSE_FIRST; r->bFetch(e, &bOut) && !bOut; e = NA_PARSE_NEXT, ++n) {
    if (!bCheckedRow(n)) continue;
    const RawRow& raw = rows[n];
    for (std::size_t c = 0; c < raw.size() && c < r->src.nItems(); ++c) {
      std::string sWhat;
      if (!bSameValue(r, c, raw[c], &sWhat)) {
        std::fprintf(stderr, "row %ld column %zu: the record holds '%s', the server sent '%s'\n", n, c,
                     sWhat.c_str(), raw[c] ? raw[c]->c_str() : "NULL");
        bSame = false;
      }
    }
    ++nChecked;
  }
  if (n != knRows || nChecked != static_cast<long>(std::size(kanCheckedRows))) {
    std::fprintf(stderr, "the record read %ld rows (%ld checked): %ls\n", n, nChecked, r->pError->pszGetError());
    return false;
  }
  return bSame;
}

// One pass: the SELECT executed, the first row, then every next one, into
// the record. Split: the execution (text sent, result stored, columns
// described) and the fetches.
double NAPass(stNAReader* r, long* pnRows, double* pdExecute) {
  static const std::wstring sSelect = Wide(kpszSelect);
  const auto t0 = Clock::now();
  if (!r->bExecute(sSelect.c_str())) return -1;
  const auto tExecuted = Clock::now();
  int bOut = 0;
  long nRows = 0;
  for (eNA_PARSEDIRECTION e = NA_PARSE_FIRST; ; e = NA_PARSE_NEXT) {
    if (!r->bFetch(e, &bOut)) return -1;
    if (bOut) break;
    ++nRows;
  }
  const auto t1 = Clock::now();
  *pnRows = nRows;
  *pdExecute = NsPerRow(t0, tExecuted, nRows);
  return NsPerRow(t0, t1, nRows);
}

// The record's columns read as CNAStatement's fetch reads them (each one's
// bSetValueFromDB), row by row through the driver statement, without the
// statement's own steps; with `original`, each row is then compared with
// an original record and copied into it, as each fetch does for the
// duplicate count.
double RecordRowPass(stNAReader* r, bool original) {
  static const std::wstring sSelect = Wide(kpszSelect);
  if (!r->bExecute(sSelect.c_str())) return -1;
  CNAStatementSQL* pDriverStatement = r->pStatement->pclGetStatementSQLNoRef();
  CNARecordValue* pCurrent = r->pRecord->pclGetCurrentRecordValue();
  if (pDriverStatement == nullptr || pCurrent == nullptr) return -1;
  CNARecordValue* pOriginal = pCurrent->pclGetClone(NA_COPY_ALL);
  if (pOriginal == nullptr) return -1;
  pOriginal->AddRef();
  const int nColumns = static_cast<int>(r->src.nItems());
  long nRows = 0;
  bool bOk = true;
  const auto t0 = Clock::now();
  while (bOk && pDriverStatement->bFetch(0) && !pDriverStatement->bNoCurrentRow()) {
    for (int c = 0; c < nColumns && bOk; ++c)
      bOk = r->pRecord->pclGetColumnNoRef(c)->bSetValueFromDB(r->pStatement, 0) != 0;
    if (original) {
      gnSink += static_cast<std::uint64_t>(r->pRecord->bEquals(pOriginal, 0));
      bOk = bOk && pOriginal->bCopyRecordValue(pCurrent, NA_COPY_ALL);
    }
    ++nRows;
  }
  const auto t1 = Clock::now();
  pOriginal->nRelease();
  return bOk && nRows == knRows ? NsPerRow(t0, t1, nRows) : -1;
}

// The numeric columns' texts of the whole result, widened and
// NUL-terminated one after the other, with their holders' type codes: what
// the runtime's number parse is given, here without the holders.
struct stNumberTexts {
  std::vector<unsigned int> vecColumns;
  std::vector<unsigned short> vecTypes;
  std::vector<std::vector<wchar_t>> vecTexts;

  bool bRead(MYSQL* pHandle, stNAReader* r) {
    for (std::size_t c = 0; c < r->src.nItems(); ++c) {
      const unsigned t = r->pRecord->pclGetColumnNoRef(static_cast<int>(c))->pclGetNAValue()->wGetTypeCode();
      // The codes whose texts the holders hand to the runtime's parse.
      if ((t >= 3 && t <= 12) || t == 14) {
        vecColumns.push_back(static_cast<unsigned int>(c));
        vecTypes.push_back(static_cast<unsigned short>(t));
      }
    }
    vecTexts.assign(vecColumns.size(), {});
    if (__mysql_real_query(pHandle, kpszSelect, std::strlen(kpszSelect)) != 0) return false;
    MYSQL_RES* pResult = __mysql_store_result(pHandle);
    if (pResult == nullptr) return false;
    while (MYSQL_ROW row = __mysql_fetch_row(pResult)) {
      const unsigned long* pnLengths = __mysql_fetch_lengths(pResult);
      for (std::size_t k = 0; k < vecColumns.size(); ++k) {
        const char* p = row[vecColumns[k]];
        if (p == nullptr) continue;
        vecTexts[k].insert(vecTexts[k].end(), p, p + pnLengths[vecColumns[k]]);
        vecTexts[k].push_back(0);
      }
    }
    __mysql_free_result(pResult);
    return true;
  }
  // The parse of column k's texts, per text.
  double Pass(std::size_t k) const {
    alignas(8) unsigned char aby[64] = {};
    long nTexts = 0;
    const wchar_t* const pEnd = vecTexts[k].data() + vecTexts[k].size();
    const auto t0 = Clock::now();
    for (const wchar_t* p = vecTexts[k].data(); p < pEnd; p += std::wcslen(p) + 1) {
      CAny::__s_nCastTo(aby, p, vecTypes[k], nullptr);
      gnSink += aby[0];
      ++nTexts;
    }
    const auto t1 = Clock::now();
    return NsPerRow(t0, t1, std::max(nTexts, 1L));
  }
};

// The statement on a fresh 10,000-row result: the last row, then previous
// to the first (the first step back records the row positions).
double NAPreviousPass(stNAReader* r, const std::wstring& sBack) {
  if (!r->bExecute(sBack.c_str())) return -1;
  const auto t0 = Clock::now();
  int bOut = 0;
  long nRows = 0;
  for (eNA_PARSEDIRECTION e = NA_PARSE_LAST; ; e = NA_PARSE_PREVIOUS) {
    if (!r->bFetch(e, &bOut)) return -1;
    if (bOut) break;
    ++nRows;
  }
  const auto t1 = Clock::now();
  return nRows == knBackRows ? NsPerRow(t0, t1, nRows) : -1;
}

int Bench(const stServer& server, int nPasses) {
  // The process's driver, as the library's entry installs it: the
  // statements of data accesses get their driver statements from its SQL
  // face.
  BenchDriver driver;
  if (!driver.bReady()) return 1;
  BenchConnection session(server.mapConf, "kxbench_fetch");
  CMySQLConnection* pCnx = session.pCnx;
  CNAError* pError = session.pError;
  int nStatus = 1;
  do {
    if (!session.bOpen()) break;
    CMySQLStatementSQL* st = session.st;
    const char* const apszSetUp[] = {
        "DROP TABLE IF EXISTS kxbench_fetch",
        "CREATE TABLE kxbench_fetch (id INT PRIMARY KEY, big BIGINT, dbl DOUBLE,"
        " dec12 DECIMAL(12,2), txt VARCHAR(40), dt DATETIME, blb BLOB NULL)",
        "INSERT INTO kxbench_fetch SELECT seq, seq * 1000003, seq / 7, seq * 1.25,"
        " CONCAT('customer ', seq, ' of the bench'), '2024-01-31 12:34:56' + INTERVAL seq MINUTE,"
        " IF(seq % 3 = 0, NULL, REPEAT(CHAR(65 + seq % 26), 1 + seq % 48))"
        " FROM seq_1_to_100000"};
    bool bSetUp = true;
    for (const char* psz : apszSetUp) bSetUp = bSetUp && st->bExecuteDirect(psz, NA_WRITEPARSE_NONE);
    if (!bSetUp) {
      std::fprintf(stderr, "set-up failed: %ls\n", pError->pszGetError());
      break;
    }
    // The raw loop's own session, through the same client library.
    if (!bOpenRawSession(server.mapConf, &session.pRaw)) break;
    MYSQL* pRaw = session.pRaw;

    stRecord record;
    if (!st->bExecuteDirect(kpszSelect, NA_WRITEPARSE_NONE) || !record.bBind(st, pCnx)) {
      std::fprintf(stderr, "first read failed: %ls\n", pError->pszGetError());
      break;
    }
    // The data access's statement, its record typed from the same
    // description; the values it reads are checked before any timing.
    stNAReader na;
    if (!na.bInit(st, pCnx, pError)) {
      std::fprintf(stderr, "the record layout could not be built: %ls\n", pError->pszGetError());
      break;
    }
    if (!bCheckRecord(&na, pRaw)) {
      std::fprintf(stderr, "the record does not hold the rows' values\n");
      break;
    }
    stNumberTexts numbers;
    if (!numbers.bRead(pRaw, &na)) {
      std::fprintf(stderr, "the numbers' texts could not be read\n");
      break;
    }
    std::vector<double> vecRaw, vecRawStore, vecStatement, vecBytes, vecPrevious, vecDataSeek;
    std::vector<double> vecNA, vecNAExecute, vecNAPrevious, vecNoValue, vecRecordColumns, vecRecordOriginal;
    std::vector<std::vector<double>> vecColumns(record.vecValues.size());
    std::vector<std::vector<double>> vecParse(numbers.vecColumns.size());
    long nRawRows = 0, nStRows = 0, nBytesRows = 0, nNARows = 0;
    bool bOk = true;
    for (int p = 0; p < nPasses && bOk; ++p) {
      double dStore = 0, dExecute = 0;
      vecRaw.push_back(RawPass(pRaw, kpszSelect, &nRawRows, &dStore));
      vecRawStore.push_back(dStore);
      vecStatement.push_back(StatementPass(st, &record, &nStRows));
      vecBytes.push_back(StatementBytesPass(st, &nBytesRows));
      vecNA.push_back(NAPass(&na, &nNARows, &dExecute));
      vecNAExecute.push_back(dExecute);
      vecRecordColumns.push_back(RecordRowPass(&na, false));
      vecRecordOriginal.push_back(RecordRowPass(&na, true));
      vecNoValue.push_back(NoValuePass(st));
      for (std::size_t c = 0; c < vecColumns.size(); ++c)
        vecColumns[c].push_back(ColumnPass(st, &record, static_cast<unsigned int>(c)));
      for (std::size_t k = 0; k < vecParse.size(); ++k) vecParse[k].push_back(numbers.Pass(k));
      bOk = vecRaw.back() > 0 && vecStatement.back() > 0 && vecBytes.back() > 0 && vecNA.back() > 0 &&
            vecRecordColumns.back() > 0 && vecRecordOriginal.back() > 0 && vecNoValue.back() > 0 &&
            std::all_of(vecColumns.begin(), vecColumns.end(),
                        [](const std::vector<double>& v) { return v.back() > 0; }) &&
            nRawRows == knRows && nStRows == knRows && nBytesRows == knRows && nNARows == knRows;
    }
    const std::string sBack = std::string(kpszSelect) + " LIMIT " + std::to_string(knBackRows);
    for (int p = 0; p < nPasses && bOk; ++p) {
      // A fresh result each pass: its first backward seek records the row
      // positions, as a browse's first step back does.
      bOk = st->bExecuteDirect(sBack.c_str(), NA_WRITEPARSE_NONE) != 0;
      if (bOk) vecPrevious.push_back(PreviousPass(st, &record));
      vecDataSeek.push_back(DataSeekPreviousPass(pRaw));
      if (bOk) vecNAPrevious.push_back(NAPreviousPass(&na, Wide(sBack)));
      bOk = bOk && vecPrevious.back() > 0 && vecDataSeek.back() > 0 && vecNAPrevious.back() > 0;
    }
    if (!bOk) {
      std::fprintf(stderr, "a pass failed: %ls\n", pError->pszGetError());
      break;
    }
    const double dRaw = Median(vecRaw);
    std::printf("%ld rows (INT, BIGINT, DOUBLE, DECIMAL(12,2), VARCHAR(40), DATETIME, BLOB NULL),"
                " %d passes, median ns per row\n",
                knRows, nPasses);
    std::printf("  (the record's values of %zu rows, NULLs included, checked equal to the raw loop's)\n",
                std::size(kanCheckedRows));
    std::printf("  %-56s %10.1f ns  1.00x\n", "raw client loop (fetch_row, lengths, copy)", dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "  of which the query sent and its result stored",
                Median(vecRawStore), Median(vecRawStore) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "CMySQLStatementSQL::bFetch + bGetValue into items",
                Median(vecStatement), Median(vecStatement) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "  of which the statement: bFetch + value bytes, copied",
                Median(vecBytes), Median(vecBytes) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "previous over 10,000 rows (bDataSeek + bFetch + values)",
                Median(vecPrevious), Median(vecPrevious) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "  for contrast: previous with mysql_data_seek alone",
                Median(vecDataSeek), Median(vecDataSeek) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "CNAStatement::bFetch(next) into the record",
                Median(vecNA), Median(vecNA) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "  of which the execution (sent, stored, described)",
                Median(vecNAExecute), Median(vecNAExecute) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "CNAStatement previous over 10,000 rows",
                Median(vecNAPrevious), Median(vecNAPrevious) / dRaw);
    // The reads without their execution (the server's transfer, common to
    // every measure), and what each part of the record's read adds.
    std::printf("where the time goes, without the execution (ns per row):\n");
    std::printf("  %-56s %10.1f ns\n", "raw client loop", dRaw - Median(vecRawStore));
    std::printf("  %-56s %10.1f ns\n", "CMySQLStatementSQL::bFetch, no value read", Median(vecNoValue));
    double dColumns = 0;
    for (std::size_t c = 0; c < vecColumns.size(); ++c) {
      char szWhat[80];
      std::snprintf(szWhat, sizeof szWhat, "  + bGetValue of column %zu (%ls)", c,
                    st->pclGetNAColumnSQL(static_cast<int>(c))->m_csName.pszGet());
      std::printf("  %-56s %10.1f ns\n", szWhat, Median(vecColumns[c]) - Median(vecNoValue));
      dColumns += Median(vecColumns[c]) - Median(vecNoValue);
    }
    std::printf("  %-56s %10.1f ns\n", "  the seven columns' sum", dColumns);
    std::printf("  %-56s %10.1f ns\n", "CNAStatement::bFetch(next) into the record",
                Median(vecNA) - Median(vecNAExecute));
    std::printf("  %-56s %10.1f ns\n", "  every column's bSetValueFromDB per driver row",
                Median(vecRecordColumns) - Median(vecNoValue));
    std::printf("  %-56s %10.1f ns\n", "  + original record compared and copied",
                Median(vecRecordOriginal) - Median(vecRecordColumns));
    std::printf("  %-56s %10.1f ns\n", "  + the rest of CNAStatement::bFetch",
                Median(vecNA) - Median(vecNAExecute) - Median(vecRecordOriginal));
    for (std::size_t k = 0; k < vecParse.size(); ++k) {
      char szWhat[80];
      std::snprintf(szWhat, sizeof szWhat, "the runtime's number parse alone, column %u (%ls)", numbers.vecColumns[k],
                    st->pclGetNAColumnSQL(static_cast<int>(numbers.vecColumns[k]))->m_csName.pszGet());
      std::printf("  %-56s %10.1f ns\n", szWhat, Median(vecParse[k]));
    }
    nStatus = 0;
  } while (false);
  return nStatus;
}

}  // namespace

// Passes: at least 5, 5 by default; conversions alone.
int main(int argc, char** argv) {
  return kxbench::nRunBench(argc, argv, "/tmp/kxbenchfetchXXXXXX", 5, 5, false, Bench);
}
