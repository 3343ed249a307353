// Cost of a browse in blocks: 200,000 rows read in the order of a text key
// through the library's own data access (each block one SELECT with the
// record limit of the connection's "KX Cache Size"; each further block a
// continuation SELECT after the last record read), beside the client
// library's own loops over the same ordered rows.
//
// The table: an AUTO_INCREMENT id, a key `k` (VARCHAR(20) under
// utf8mb4_general_ci, indexed, 40 values and NULL, so runs of equal keys are
// thousands of rows long) and a VARCHAR payload. For each record limit (100
// and 1000), passes of each kind alternate:
//   browse       the data access's bHLitxxx first, then next to the end, the id
//                of each row read from the current record;
//   raw blocks   the same SELECTs written by hand (WHERE k > v OR k = v AND
//                id > n ... LIMIT L), sent through mysql_real_query, results
//                stored, each row's values copied, the id parsed;
//   raw one      one SELECT ... ORDER BY k, id, the whole result stored and
//                read the same way (no limit; printed once).
// It prints, as medians: rows per second and SELECTs sent. The browse's ids are checked against the raw loop's
// first: a browse that loses or repeats a row fails the program.
//
// Build Release for figures (a sanitizer build only shows that it runs).
//
// The server: the one of the connection file given (the key=value file
// tests/fixtures/mariadb_start.sh writes), or else a throwaway server that
// the program starts with that script and stops at its end.
//
// Usage: browse_blocks [connection.conf] [passes]
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "AnyRuntime.h"
#include "BenchServer.h"
#include "BenchSession.h"
#include "AccessBrowser.h"
#include "BrowseTable.h"
#include "CAny.h"
#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CMySQLDriver.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumn.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "CNARecord.h"
#include "IStrMemAlloc.h"
#include "StandInControl.h"
#include "TestConnection.h"

namespace {

using kxbench::BenchConnection;
using kxbench::BenchDriver;
using kxbench::bOpenRawSession;
using kxbench::Median;
using kxbench::stServer;

constexpr long knRows = 200000;
const char* const kpszTable = "kxbench_browse";

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point t0, Clock::time_point t1) { return std::chrono::duration<double>(t1 - t0).count(); }

volatile std::uint64_t gnSink = 0;

// What one pass measured.
struct stPass {
  double dSeconds = -1;  // negative: the pass failed
  long nRows = 0;
  long nSelects = 0;
};

// ---- The client's own loops ---------------------------------------------------

// Sends `query` and reads its stored result, copying each row's values and
// parsing the id (column 0) into *ids when given. False when the query
// fails. *last: the row read last (key and whether it is NULL, id).
struct stLastRow {
  std::string sKey;
  bool bNull = true;
  long nId = 0;
};
bool bRawQuery(MYSQL* handle, const std::string& query, long* rows, stLastRow* last, std::vector<long>* ids) {
  if (__mysql_real_query(handle, query.c_str(), query.size()) != 0) return false;
  MYSQL_RES* pResult = __mysql_store_result(handle);
  if (pResult == nullptr) return false;
  const unsigned int nFields = __mysql_num_fields(pResult);
  char acRow[256];
  *rows = 0;
  while (MYSQL_ROW row = __mysql_fetch_row(pResult)) {
    const unsigned long* pnLengths = __mysql_fetch_lengths(pResult);
    std::size_t nAt = 0;
    for (unsigned int c = 0; c < nFields; ++c) {
      if (row[c] == nullptr || nAt + pnLengths[c] > sizeof acRow) continue;
      std::memcpy(acRow + nAt, row[c], pnLengths[c]);
      nAt += pnLengths[c];
    }
    gnSink += nAt;
    last->nId = std::strtol(row[0], nullptr, 10);
    last->bNull = row[1] == nullptr;
    last->sKey = row[1] != nullptr ? std::string(row[1], pnLengths[1]) : std::string();
    if (ids != nullptr) ids->push_back(last->nId);
    ++*rows;
  }
  __mysql_free_result(pResult);
  return true;
}

std::string SelectText() { return std::string("SELECT id, k, payload FROM ") + kpszTable; }

// One SELECT of every row in the key's order.
stPass RawOnePass(MYSQL* handle, std::vector<long>* ids) {
  stPass p;
  stLastRow last;
  const auto t0 = Clock::now();
  if (!bRawQuery(handle, SelectText() + " ORDER BY k, id", &p.nRows, &last, ids)) return p;
  p.dSeconds = Seconds(t0, Clock::now());
  p.nSelects = 1;
  return p;
}

// The same rows in blocks of `limit`, each block after the last row read.
// The keys hold no quote or backslash: they are written as they are.
stPass RawBlocksPass(MYSQL* handle, long limit) {
  stPass p;
  const std::string sOrder = " ORDER BY k, id LIMIT " + std::to_string(limit);
  stLastRow last;
  long nRows = 0;
  const auto t0 = Clock::now();
  if (!bRawQuery(handle, SelectText() + sOrder, &nRows, &last, nullptr)) return p;
  p.nSelects = 1;
  p.nRows = nRows;
  while (nRows == limit) {
    const std::string sWhere =
        last.bNull ? " WHERE k IS NOT NULL OR k IS NULL AND id > " + std::to_string(last.nId)
                   : " WHERE k > '" + last.sKey + "' OR k = '" + last.sKey + "' AND id > " + std::to_string(last.nId);
    if (!bRawQuery(handle, SelectText() + sWhere + sOrder, &nRows, &last, nullptr)) return p;
    ++p.nSelects;
    p.nRows += nRows;
  }
  p.dSeconds = Seconds(t0, Clock::now());
  return p;
}

// ---- The browse through the statements ---------------------------------------------

// The connection's "KX Cache Size", set by the benchmark for each pass.
struct CacheSize : CNAConnectionDescription {
  static void Set(CNAConnectionDescription* cnx, std::int64_t size) { cnx->*(&CacheSize::m_llCacheSize) = size; }
};

// The table as the platform describes it, and the driver's data access
// browsing it.
struct stBrowse {
  kxtest::BrowseTable table{Wide(kpszTable)};
  CNAItemDescription* pId = nullptr;
  kxtest::AccessBrowser access;

  bool bInit(CMySQLConnection* cnx, CNAError* error, long limit) {
    pId = table.pclAdd(L"id", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY);
    pId->SetNullable(0);
    table.pclAdd(L"k", NA_IT_UNICODE, 42, CNAItemDescription::KEY_DUPLICATES)->SetNullable(1);
    table.pclAdd(L"payload", NA_IT_UNICODE, 82);
    table.SetBestParseItem(pId);
    CacheSize::Set(cnx, limit);
    return CNADriver::s_pclDriver != nullptr && access.bOpen(CNADriver::s_pclDriver, &table, cnx, error);
  }
};

// Reads the browse's current id; -1 when it cannot.
long CurrentId(stBrowse* b) { return b->access.nCurrentInt(b->pId); }

stPass BrowsePass(stBrowse* b, std::vector<long>* ids) {
  stPass p;
  kxtest::AccessBrowser* a = &b->access;
  a->nSelects = 0;
  const auto t0 = Clock::now();
  eNA_PARSEDIRECTION e = NA_PARSE_FIRST;
  for (;;) {
    const int bRead = a->p->bHLitxxx(L"k", e, 1, 0, nullptr, 0);
    a->Note(L"k");
    if (!bRead) {
      std::fprintf(stderr, "the browse failed after %ld rows: %ls\n", p.nRows, a->p->pclGetError()->pszGetError());
      return p;
    }
    int nOut = 1;
    a->p->bHEndehors(L"k", &nOut);
    if (nOut) break;
    const long nId = CurrentId(b);
    gnSink += static_cast<std::uint64_t>(nId);
    if (ids != nullptr) ids->push_back(nId);
    ++p.nRows;
    e = NA_PARSE_NEXT;
  }
  p.dSeconds = Seconds(t0, Clock::now());
  p.nSelects = a->nSelects;
  return p;
}

bool bSetUp(CMySQLStatementSQL* st, CNAError* error) {
  const std::string sTable = kpszTable;
  const std::string asSetUp[] = {
      "DROP TABLE IF EXISTS " + sTable,
      "CREATE TABLE " + sTable +
          " (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
          " k VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci NULL,"
          " payload VARCHAR(40) CHARACTER SET utf8mb4 NULL, KEY (k)) ENGINE=InnoDB",
      "INSERT INTO " + sTable +
          " (k, payload) SELECT IF(seq % 41 = 0, NULL, CONCAT('key ', (seq * 7919) % 40)),"
          " CONCAT('row ', seq, ' of the browse bench') FROM seq_1_to_" + std::to_string(knRows),
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

int Bench(const stServer& server, int passes) {
  BenchDriver driver;
  if (!driver.bReady()) return 1;
  BenchConnection session(server.mapConf, kpszTable);
  CMySQLConnection* pCnx = session.pCnx;
  CNAError* pError = session.pError;
  int nStatus = 1;
  do {
    if (!session.bOpen()) break;
    CMySQLStatementSQL* st = session.st;
    if (!bSetUp(st, pError)) break;
    // The raw loops' own session, through the same client library.
    if (!bOpenRawSession(server.mapConf, &session.pRaw)) break;
    MYSQL* pRaw = session.pRaw;

    // The order every browse must give.
    std::vector<long> vecWant;
    const stPass first = RawOnePass(pRaw, &vecWant);
    if (first.dSeconds < 0 || first.nRows != knRows) {
      std::fprintf(stderr, "the raw read failed\n");
      break;
    }
    std::vector<double> vecOne;
    bool bOk = true;
    std::printf("browse of %ld rows in the order of a text key (%d passes each, medians)\n", knRows, passes);
    std::printf("%-12s %6s %12s %9s\n", "", "limit", "rows/s", "SELECTs");
    for (long limit : {100L, 1000L}) {
      stBrowse browse;
      if (!browse.bInit(pCnx, pError, limit)) {
        std::fprintf(stderr, "the browse could not be set up: %ls\n", pError->pszGetError());
        bOk = false;
        break;
      }
      std::vector<long> vecIds;
      vecIds.reserve(knRows);
      const stPass check = BrowsePass(&browse, &vecIds);
      if (check.dSeconds < 0 || vecIds != vecWant) {
        std::size_t k = 0;
        while (k < vecIds.size() && k < vecWant.size() && vecIds[k] == vecWant[k]) ++k;
        std::fprintf(stderr, "limit %ld: the browse gave %zu rows, not the server's order from row %zu on\n", limit,
                     vecIds.size(), k);
        bOk = false;
        break;
      }
      std::vector<double> vecRate, vecRawRate;
      long nSelects = check.nSelects, nRawSelects = 0;
      for (int n = 0; n < passes && bOk; ++n) {
        const stPass b = BrowsePass(&browse, nullptr);
        const stPass r = RawBlocksPass(pRaw, limit);
        const stPass o = RawOnePass(pRaw, nullptr);
        bOk = b.dSeconds > 0 && r.dSeconds > 0 && o.dSeconds > 0 && b.nRows == knRows && r.nRows == knRows;
        if (!bOk) break;
        vecRate.push_back(static_cast<double>(b.nRows) / b.dSeconds);
        vecRawRate.push_back(static_cast<double>(r.nRows) / r.dSeconds);
        vecOne.push_back(static_cast<double>(o.nRows) / o.dSeconds);
        nSelects = b.nSelects;
        nRawSelects = r.nSelects;
      }
      if (!bOk) {
        std::fprintf(stderr, "limit %ld: a pass failed\n", limit);
        break;
      }
      std::printf("%-12s %6ld %12.0f %9ld\n", "browse", limit, Median(vecRate), nSelects);
      std::printf("%-12s %6ld %12.0f %9ld\n", "raw blocks", limit, Median(vecRawRate), nRawSelects);
    }
    if (!bOk) break;
    std::printf("%-12s %6s %12.0f %9d\n", "raw one", "-", Median(vecOne), 1);
    nStatus = 0;
  } while (false);
  return nStatus;
}

}  // namespace

// Passes: at least 1, 3 by default; the runtime's operators bound too.
int main(int argc, char** argv) {
  return kxbench::nRunBench(argc, argv, "/tmp/kxbenchbrowseXXXXXX", 1, 3, true, Bench);
}
