// Cost of the whole main road: a table opened and browsed through the table
// interface the platform's runtime calls, each record fetched into the
// native record buffer and read by the runtime, against the client
// library's own loop and the MariaDB ODBC driver on the same SELECTs.
//
// The table: 1,000,000 rows of id INT PRIMARY KEY, name VARCHAR(40),
// amount DECIMAL(12,2), created DATETIME, flag TINYINT and k INT with a key
// (runs of 20 equal values, each run 20 consecutive ids, the runs spread
// over the key's order). The reads:
//   next on id       first, then next to the end;
//   previous on id   last, then previous to the start;
//   next on k        first, then next to the end (ties in id order);
//   search on k      1,000 exact searches, each value's rows read while
//                    found (20,000 rows).
// Each read three ways in every pass:
//   (a) raw    the same ordered SELECTs through mysql_real_query and
//              mysql_use_result, every row's values copied (as bench/fetch);
//   (b) road   piGetTable, bHOuvre, the reads (bHLitxxx, bHRecherche,
//              bHEnDehors, bEvalHTrouve) and bGetRecord on every row, the id
//              read from the native buffer;
//   (c) ODBC   the same SELECTs by SQLFetch into bound columns, when the
//              MariaDB ODBC driver is installed (found at run time, see
//              BenchOdbc.h), else "not installed".
// The main road runs at the automatic block size and at "KX Cache Size"
// 20000. Before timing, the road's ids of every read are checked against
// the raw loop's: a browse that loses, repeats or misorders a row fails the
// program. Printed per read and size: rows/s of (a), (b), (c), the ratios
// b/a, c/a, b/c (time ratios: below 1 is faster), the road's record limit
// L and SELECTs sent per read; then the runtime's number parse of the
// road's numeric columns, per row, as bench/fetch measures it.
//
// Build Release for figures (a sanitizer build only shows that it runs).
//
// The server: the one of the connection file given (the key=value file
// tests/fixtures/mariadb_start.sh writes), or else a throwaway server that
// the program starts with that script and stops at its end.
//
// Usage: browse [connection.conf] [passes]
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AnyRuntime.h"
#include "BenchOdbc.h"
#include "BenchServer.h"
#include "BenchSession.h"
#include "BrowseTable.h"
#include "CAny.h"
#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumnSQL.h"
#include "CNACommand.h"
#include "CNADataAccess.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAStatement.h"
#include "CNATable.h"
#include "CNAXQRecord.h"
#include "INATable.h"
#include "TestConnection.h"
#include "TestRuntimeObjects.h"

namespace {

using kxbench::BenchConnection;
using kxbench::BenchDriver;
using kxbench::bOpenRawSession;
using kxbench::Median;
using kxbench::OdbcSession;
using kxbench::stServer;

constexpr long knRows = 1000000;
constexpr int knRun = 20;           // rows per value of k
constexpr int knSearches = 1000;
const char* const kpszTable = "kxbench_road";
const char* const kpszColumns = "id, name, amount, created, flag, k";

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point t0, Clock::time_point t1) { return std::chrono::duration<double>(t1 - t0).count(); }

volatile std::uint64_t gnSink = 0;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The values searched: 1,000 of the k values, spread over the range.
int SearchValue(int n) { return static_cast<int>((static_cast<long>(n) * 49979) % (knRows / knRun)); }

enum eRead { READ_NEXT_ID, READ_PREVIOUS_ID, READ_NEXT_K, READ_SEARCH_K, READ_COUNT };
const char* const kapszRead[READ_COUNT] = {"next on id", "previous on id", "next on k", "search on k"};

// The SELECTs of a read, as the raw loop and ODBC send them.
std::vector<std::string> Selects(eRead e) {
  const std::string sFrom = std::string("SELECT ") + kpszColumns + " FROM " + kpszTable;
  switch (e) {
    case READ_NEXT_ID:
      return {sFrom + " ORDER BY id"};
    case READ_PREVIOUS_ID:
      return {sFrom + " ORDER BY id DESC"};
    case READ_NEXT_K:
      return {sFrom + " ORDER BY k, id"};
    default: {
      std::vector<std::string> v;
      for (int n = 0; n < knSearches; ++n)
        v.push_back(sFrom + " WHERE k = " + std::to_string(SearchValue(n)) + " ORDER BY k, id");
      return v;
    }
  }
}

// What one pass measured.
struct stPass {
  double dSeconds = -1;  // negative: the pass failed
  long nRows = 0;
};

// ---- (a) the client's own loop --------------------------------------------------

stPass RawPass(MYSQL* handle, const std::vector<std::string>& selects, std::vector<long>* ids) {
  stPass p;
  char acRow[512];
  const auto t0 = Clock::now();
  for (const std::string& s : selects) {
    if (__mysql_real_query(handle, s.c_str(), s.size()) != 0) return p;
    MYSQL_RES* pResult = __mysql_use_result(handle);
    if (pResult == nullptr) return p;
    const unsigned int nFields = __mysql_num_fields(pResult);
    while (MYSQL_ROW row = __mysql_fetch_row(pResult)) {
      const unsigned long* pnLengths = __mysql_fetch_lengths(pResult);
      std::size_t nAt = 0;
      for (unsigned int c = 0; c < nFields; ++c) {
        if (row[c] == nullptr || nAt + pnLengths[c] > sizeof acRow) continue;
        std::memcpy(acRow + nAt, row[c], pnLengths[c]);
        nAt += pnLengths[c];
      }
      gnSink += nAt;
      if (ids != nullptr) ids->push_back(std::strtol(row[0], nullptr, 10));
      ++p.nRows;
    }
    const bool bFailed = __mysql_errno(handle) != 0;
    __mysql_free_result(pResult);
    if (bFailed) return p;
  }
  p.dSeconds = Seconds(t0, Clock::now());
  return p;
}

// ---- (c) ODBC -------------------------------------------------------------------------

const std::vector<OdbcSession::stColumn> kvecOdbcColumns = {
    {OdbcSession::BIND_LONG, 4},      {OdbcSession::BIND_TEXT, 41 * 4}, {OdbcSession::BIND_TEXT, 16},
    {OdbcSession::BIND_TIMESTAMP, 16}, {OdbcSession::BIND_TINYINT, 1},  {OdbcSession::BIND_LONG, 4}};

stPass OdbcPass(OdbcSession* odbc, const std::vector<std::string>& selects) {
  stPass p;
  std::uint64_t nSum = 0;
  const auto t0 = Clock::now();
  for (const std::string& s : selects) {
    const long n = odbc->nFetchAll(s, kvecOdbcColumns, &nSum);
    if (n < 0) return p;
    p.nRows += n;
  }
  p.dSeconds = Seconds(t0, Clock::now());
  gnSink += nSum;
  return p;
}

// ---- (b) the main road -----------------------------------------------------------------

// The runtime's side of one opened table: its connection description (the
// record limit given as "KX Cache Size", -2 automatic), its declared
// description, its context and the table the driver hands out.
struct stRoad {
  kxbench::BenchHost host;
  kxtest::BrowseTable source{Wide(kpszTable)};
  kxtest::TestContext context;
  INATable* piTable = nullptr;
  CNAItemDescription* pId = nullptr;

  // `number`: the context's identifiers (one per road).
  stRoad(const std::map<std::string, std::string>& conf, std::int64_t cacheSize, std::uint64_t number)
      : host(conf) {
    // The size is part of the connection's extended information, so that
    // each size has a connection of its own (the driver shares one
    // connection among descriptions of the same text).
    if (cacheSize > 0) {
      host.sExtended += L";KX Cache Size=" + std::to_wstring(cacheSize);
      host.host.pszExtendedInfo = host.sExtended.c_str();
    }
    host.host.llCacheSize = cacheSize;
    context.SetNumber(number);
    context.SetDataNumber(number + 1);
  }
  ~stRoad() {
    if (piTable != nullptr) {
      piTable->bHFerme(&context);
      piTable->nExternalRelease();
    }
  }
  stRoad(const stRoad&) = delete;
  stRoad& operator=(const stRoad&) = delete;

  // Declares the items as the server's columns describe them (`described`
  // executed on the table's SELECT), then gets and opens the table.
  bool bOpen(CMySQLStatementSQL* described) {
    const unsigned int nColumns = described->nGetColumnCount();
    for (unsigned int c = 0; c < nColumns; ++c) {
      const CNAColumnSQL* p = described->pclGetNAColumnSQL(static_cast<int>(c));
      if (p == nullptr) return false;
      const std::wstring sName = p->m_csName.pszGet();
      std::uint16_t nKey = 0;
      if (sName == L"id") nKey = CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY;
      if (sName == L"k") nKey = CNAItemDescription::KEY_DUPLICATES;
      CNAItemDescription* pItem = source.pclAdd(sName.c_str(), p->m_eItemType, p->m_nItemSize, nKey);
      pItem->SetIntegerPart(p->m_nIntegerPart);
      pItem->SetDecimalPart(p->m_nDecimalPart);
      pItem->SetNullable(sName == L"id" ? 0 : 1);
      if (sName == L"id") pId = pItem;
    }
    if (pId == nullptr) return false;
    source.SetBestParseItem(pId);
    piTable = CNADriver::s_pclDriver->piGetTable(&host.host, &source);
    if (piTable == nullptr) {
      std::fprintf(stderr, "piGetTable failed: %ls\n", CNADriver::s_pclDriver->piGetLastError()->pszGetError());
      return false;
    }
    if (!piTable->bHOuvre(&context, static_cast<eNA_ACCESS>(0), L"")) {
      std::fprintf(stderr, "bHOuvre failed: %ls\n", Error());
      return false;
    }
    return true;
  }
  const wchar_t* Error() {
    INAError* p = piTable != nullptr ? piTable->piGetLastError(&context) : nullptr;
    return p != nullptr && p->pszGetError() != nullptr ? p->pszGetError() : L"(no error)";
  }
  // The id of the record read, from the native buffer the runtime is lent;
  // -1 when none is lent.
  long CurrentId() {
    CNAXQRecord* pRecord = nullptr;
    if (!piTable->bGetRecord(&context, &pRecord) || pRecord == nullptr) return -1;
    std::int32_t n = -1;
    if (pRecord->bItemValueDefined(pId, 0)) std::memcpy(&n, pRecord->pbyGetItemValue(pId, 0), 4);
    pRecord->nExternalRelease();
    return n;
  }
  // The record limit the road's data access uses in this context, as its
  // SELECTs carry it (0: none).
  long RecordLimit() {
    auto* pclTable = static_cast<CNATable*>(piTable);
    CNADataAccess* pAccess = pclTable->pclFindDataAccessByContext(context.dwGetContextID());
    if (pAccess == nullptr) return -1;
    CNAStatement* pStatement = pAccess->pclGetCurrentStatement();
    CNACommand* pCommand = pStatement != nullptr ? pStatement->pclGetCommandNoRef() : nullptr;
    const long n = pCommand != nullptr ? static_cast<long>(std::max<std::int64_t>(pCommand->llGetRecordLimit(), 0)) : -1;
    pAccess->nRelease();
    return n;
  }
};

// One read of the main road: every record through bGetRecord.
stPass RoadPass(stRoad* r, eRead e, std::vector<long>* ids) {
  stPass p;
  INATable* t = r->piTable;
  INAContext* ctx = &r->context;
  const auto t0 = Clock::now();
  auto take = [&]() -> bool {
    const long n = r->CurrentId();
    if (n < 0) return false;
    gnSink += static_cast<std::uint64_t>(n);
    if (ids != nullptr) ids->push_back(n);
    ++p.nRows;
    return true;
  };
  if (e != READ_SEARCH_K) {
    const wchar_t* pszKey = e == READ_NEXT_K ? L"k" : L"id";
    eNA_PARSEDIRECTION eDir = e == READ_PREVIOUS_ID ? NA_PARSE_LAST : NA_PARSE_FIRST;
    const eNA_PARSEDIRECTION eStep = e == READ_PREVIOUS_ID ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT;
    for (;;) {
      int nOut = 1;
      if (!t->bHLitxxx(ctx, pszKey, eDir, 1, NA_LOCKTYPE_NONE, nullptr, 0) || !t->bHEnDehors(ctx, pszKey, &nOut)) {
        std::fprintf(stderr, "%s: the read failed after %ld rows: %ls\n", kapszRead[e], p.nRows, r->Error());
        return p;
      }
      if (nOut) break;
      if (!take()) return p;
      eDir = eStep;
    }
  } else {
    CAny v;
    for (int n = 0; n < knSearches; ++n) {
      v.SetI4(SearchValue(n));
      int nFound = 0, nIn = 0;
      if (!t->bHRecherche(ctx, L"k", &v, 1, 1, NA_LOCKTYPE_NONE, nullptr, 1, 0)) {
        std::fprintf(stderr, "search %d failed: %ls\n", n, r->Error());
        return p;
      }
      for (;;) {
        if (!t->bEvalHTrouve(ctx, L"k", &nFound, &nIn)) return p;
        if (!nFound || !nIn) break;
        if (!take()) return p;
        if (!t->bHLitxxx(ctx, L"k", NA_PARSE_NEXT, 1, NA_LOCKTYPE_NONE, nullptr, 0)) {
          std::fprintf(stderr, "search %d: next failed: %ls\n", n, r->Error());
          return p;
        }
      }
    }
  }
  p.dSeconds = Seconds(t0, Clock::now());
  return p;
}

// ---- Set-up and the number parse ---------------------------------------------------

bool bSetUp(CMySQLStatementSQL* st, CNAError* error) {
  const std::string sTable = kpszTable;
  const std::string asSetUp[] = {
      "DROP TABLE IF EXISTS " + sTable,
      "CREATE TABLE " + sTable +
          " (id INT NOT NULL PRIMARY KEY, name VARCHAR(40) CHARACTER SET utf8mb4 NULL,"
          " amount DECIMAL(12,2) NULL, created DATETIME NULL, flag TINYINT NULL, k INT NULL, KEY (k))"
          " ENGINE=InnoDB",
      "INSERT INTO " + sTable +
          " SELECT seq, CONCAT('customer ', seq, ' of the road'), (seq % 100000) * 1.25 + 0.07,"
          " '2024-01-31 12:34:56' + INTERVAL seq MINUTE, seq % 2, ((seq - 1) DIV " + std::to_string(knRun) +
          ") * 7919 % " + std::to_string(knRows / knRun) + " FROM seq_1_to_" + std::to_string(knRows),
      "ANALYZE TABLE " + sTable};
  for (const std::string& s : asSetUp) {
    if (!st->bExecuteDirect(s.c_str(), NA_WRITEPARSE_NONE)) {
      std::fprintf(stderr, "set-up failed: %ls\n", error->pszGetError());
      return false;
    }
    st->bReset();
  }
  return true;
}

// SELECTs the server has run so far (all sessions).
long ServerSelects(MYSQL* handle) {
  const char* psz = "SHOW GLOBAL STATUS LIKE 'Com_select'";
  if (__mysql_real_query(handle, psz, std::strlen(psz)) != 0) return -1;
  MYSQL_RES* pResult = __mysql_store_result(handle);
  if (pResult == nullptr) return -1;
  long n = -1;
  if (MYSQL_ROW row = __mysql_fetch_row(pResult)) n = std::strtol(row[1], nullptr, 10);
  __mysql_free_result(pResult);
  return n;
}

// The runtime's parse of the road's numeric columns (amount, flag, k; id
// too), per row: what each fetch hands the value holders, as bench/fetch
// measures it; the texts of 100,000 rows.
double NumberParsePerRow(MYSQL* handle) {
  const std::string s = std::string("SELECT id, amount, flag, k FROM ") + kpszTable + " LIMIT 100000";
  const unsigned short awTypes[] = {ANY_I4, ANY_DECIMAL, ANY_I1, ANY_I4};
  std::vector<std::vector<wchar_t>> vecTexts(4);
  if (__mysql_real_query(handle, s.c_str(), s.size()) != 0) return -1;
  MYSQL_RES* pResult = __mysql_store_result(handle);
  if (pResult == nullptr) return -1;
  long nRows = 0;
  while (MYSQL_ROW row = __mysql_fetch_row(pResult)) {
    const unsigned long* pnLengths = __mysql_fetch_lengths(pResult);
    for (int c = 0; c < 4; ++c) {
      if (row[c] == nullptr) continue;
      vecTexts[c].insert(vecTexts[c].end(), row[c], row[c] + pnLengths[c]);
      vecTexts[c].push_back(0);
    }
    ++nRows;
  }
  __mysql_free_result(pResult);
  alignas(8) unsigned char aby[64] = {};
  const auto t0 = Clock::now();
  for (int c = 0; c < 4; ++c) {
    const wchar_t* const pEnd = vecTexts[c].data() + vecTexts[c].size();
    for (const wchar_t* p = vecTexts[c].data(); p < pEnd; p += std::wcslen(p) + 1) {
      CAny::__s_nCastTo(aby, p, awTypes[c], nullptr);
      gnSink += aby[0];
    }
  }
  return std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / std::max(nRows, 1L);
}

// The first place two id lists differ (their common length when one is a
// prefix of the other).
std::size_t FirstDifference(const std::vector<long>& a, const std::vector<long>& b) {
  std::size_t k = 0;
  while (k < a.size() && k < b.size() && a[k] == b[k]) ++k;
  return k;
}

int Bench(const stServer& server, int passes) {
  BenchDriver driver;
  if (!driver.bReady()) return 1;
  BenchConnection session(server.mapConf, kpszTable);
  CNAError* pError = session.pError;
  int nStatus = 1;
  do {
    if (!session.bOpen()) break;
    CMySQLStatementSQL* st = session.st;
    if (!bSetUp(st, pError)) break;
    if (!bOpenRawSession(server.mapConf, &session.pRaw)) break;
    MYSQL* pRaw = session.pRaw;
    std::map<std::string, std::string> conf = server.mapConf;

    OdbcSession odbc;
    bool bOdbc = odbc.bLoad() && odbc.bConnect(conf["host"], conf["port"], conf["user"], conf["password"],
                                               conf["database"]);
    if (!bOdbc) std::printf("ODBC: not installed (%s)\n", odbc.sWhyNot.c_str());

    // The declared items, typed as the server describes the columns.
    const std::string sDescribe = std::string("SELECT ") + kpszColumns + " FROM " + kpszTable + " LIMIT 1";
    if (!st->bExecuteDirect(sDescribe.c_str(), NA_WRITEPARSE_NONE)) {
      std::fprintf(stderr, "the columns could not be described: %ls\n", pError->pszGetError());
      break;
    }
    const std::int64_t allCacheSizes[] = {-2, 20000};
    std::vector<std::unique_ptr<stRoad>> roads;
    bool bOk = true;
    for (std::int64_t n : allCacheSizes) {
      roads.push_back(std::make_unique<stRoad>(conf, n, 0x5100 + 16 * roads.size()));
      bOk = bOk && roads.back()->bOpen(st);
    }
    st->bReset();
    if (!bOk) break;

    // Every read checked once: the road's ids (at both sizes) and ODBC's
    // row count against the raw loop's.
    std::vector<std::vector<std::string>> selects;
    long anSelects[2][READ_COUNT] = {}, anLimit[2][READ_COUNT] = {};
    for (int e = 0; e < READ_COUNT && bOk; ++e) {
      selects.push_back(Selects(static_cast<eRead>(e)));
      std::vector<long> vecWant;
      const stPass raw = RawPass(pRaw, selects.back(), &vecWant);
      bOk = raw.dSeconds > 0 && (e == READ_SEARCH_K ? raw.nRows == knSearches * knRun : raw.nRows == knRows);
      if (!bOk) {
        std::fprintf(stderr, "%s: the raw read failed (%ld rows)\n", kapszRead[e], raw.nRows);
        break;
      }
      for (std::size_t r = 0; r < roads.size() && bOk; ++r) {
        std::vector<long> vecIds;
        vecIds.reserve(vecWant.size());
        const long nBefore = ServerSelects(pRaw);
        const stPass road = RoadPass(roads[r].get(), static_cast<eRead>(e), &vecIds);
        anSelects[r][e] = ServerSelects(pRaw) - nBefore - 1;  // the status query's own
        anLimit[r][e] = roads[r]->RecordLimit();
        if (road.dSeconds < 0 || vecIds != vecWant) {
          std::fprintf(stderr, "%s, cache size %lld: the road gave %zu rows, not the server's order from row %zu on\n",
                       kapszRead[e], static_cast<long long>(allCacheSizes[r]), vecIds.size(),
                       FirstDifference(vecIds, vecWant));
          bOk = false;
        }
      }
      if (bOk && bOdbc) {
        const stPass o = OdbcPass(&odbc, selects.back());
        if (o.dSeconds < 0 || o.nRows != raw.nRows) {
          std::fprintf(stderr, "%s: ODBC read %ld rows: %s\n", kapszRead[e], o.nRows, odbc.sWhyNot.c_str());
          bOk = false;
        }
      }
    }
    if (!bOk) break;

    // The timed passes: every kind alternates.
    std::vector<double> vecRaw[READ_COUNT], vecOdbc[READ_COUNT], vecRoad[2][READ_COUNT];
    for (int p = 0; p < passes && bOk; ++p) {
      for (int e = 0; e < READ_COUNT && bOk; ++e) {
        const stPass raw = RawPass(pRaw, selects[e], nullptr);
        bOk = raw.dSeconds > 0;
        vecRaw[e].push_back(static_cast<double>(raw.nRows) / raw.dSeconds);
        for (std::size_t r = 0; r < roads.size() && bOk; ++r) {
          const stPass road = RoadPass(roads[r].get(), static_cast<eRead>(e), nullptr);
          bOk = road.dSeconds > 0 && road.nRows == raw.nRows;
          vecRoad[r][e].push_back(static_cast<double>(road.nRows) / road.dSeconds);
        }
        if (bOk && bOdbc) {
          const stPass o = OdbcPass(&odbc, selects[e]);
          bOk = o.dSeconds > 0 && o.nRows == raw.nRows;
          vecOdbc[e].push_back(static_cast<double>(o.nRows) / o.dSeconds);
        }
      }
    }
    if (!bOk) {
      std::fprintf(stderr, "a pass failed\n");
      break;
    }

    std::printf("main road over %ld rows (id INT PK, name VARCHAR(40), amount DECIMAL(12,2), created DATETIME,"
                " flag TINYINT, k INT keyed), %d passes, medians\n",
                knRows, passes);
    std::printf("  (a) raw mysql_use_result loop, (b) table interface with bGetRecord per row, (c) ODBC SQLFetch"
                " into bound columns; ratios of time per row\n");
    std::printf("%-15s %-6s %11s %11s %11s %6s %6s %6s %7s %8s\n", "read", "size", "(a) rows/s", "(b) rows/s",
                "(c) rows/s", "b/a", "c/a", "b/c", "L", "SELECTs");
    for (std::size_t r = 0; r < roads.size(); ++r) {
      for (int e = 0; e < READ_COUNT; ++e) {
        const double dA = Median(vecRaw[e]), dB = Median(vecRoad[r][e]);
        const double dC = bOdbc ? Median(vecOdbc[e]) : 0;
        char szC[16] = "-", szCA[16] = "-", szBC[16] = "-";
        if (bOdbc) {
          std::snprintf(szC, sizeof szC, "%.0f", dC);
          std::snprintf(szCA, sizeof szCA, "%.2f", dA / dC);
          std::snprintf(szBC, sizeof szBC, "%.2f", dC / dB);
        }
        std::printf("%-15s %-6s %11.0f %11.0f %11s %6.2f %6s %6s %7ld %8ld\n", kapszRead[e],
                    allCacheSizes[r] < 0 ? "auto" : "20000", dA, dB, bOdbc ? szC : "n/i", dA / dB, szCA, szBC,
                    anLimit[r][e], anSelects[r][e]);
      }
    }
    if (!bOdbc) std::printf("(c): not installed\n");
    std::printf("the runtime's number parse of id, amount, flag and k: %.1f ns per row\n", NumberParsePerRow(pRaw));
    nStatus = 0;
  } while (false);
  return nStatus;
}

}  // namespace

// Passes: at least 1, 3 by default; the runtime's operators bound too.
int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  return kxbench::nRunBench(argc, argv, "/tmp/kxbenchroadXXXXXX", 1, 3, true, Bench);
}
