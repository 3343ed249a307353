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
//            the first row at every step.
// It prints the median nanoseconds per row of each measure and its ratio to
// the raw loop. Build Release for figures (a sanitizer build only shows
// that it runs).
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
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "AnyRuntime.h"
#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumnSQL.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "CNAItemDescription.h"
#include "IStrMemAlloc.h"
#include "StandInControl.h"
#include "TestConnection.h"

namespace {

constexpr long knRows = 100000;
constexpr long knBackRows = 10000;

struct stServer {
  std::map<std::string, std::string> mapConf;
  std::string sStartedDir;  // non-empty when this program started it
};

bool bReadConf(const std::string& path, stServer* server) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t n = line.find('=');
    if (n != std::string::npos) server->mapConf[line.substr(0, n)] = line.substr(n + 1);
  }
  return !server->mapConf["port"].empty();
}

bool bStartServer(stServer* server) {
  char szDir[] = "/tmp/kxbenchfetchXXXXXX";
  if (mkdtemp(szDir) == nullptr) return false;
  server->sStartedDir = std::string(szDir) + "/server";
  const std::string sCommand = std::string(KX_SOURCE_DIR) + "/tests/fixtures/mariadb_start.sh '" +
                               server->sStartedDir + "' >/dev/null";
  if (std::system(sCommand.c_str()) != 0) return false;
  return bReadConf(server->sStartedDir + "/connection.conf", server);
}

void StopServer(const stServer& server) {
  if (server.sStartedDir.empty()) return;
  const std::string sDir = server.sStartedDir.substr(0, server.sStartedDir.rfind('/'));
  const std::string sCommand = std::string(KX_SOURCE_DIR) + "/tests/fixtures/mariadb_stop.sh '" +
                               server.sStartedDir + "' >/dev/null 2>&1; rm -rf '" + sDir + "'";
  if (std::system(sCommand.c_str()) != 0) std::fprintf(stderr, "the server did not stop cleanly\n");
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

using Clock = std::chrono::steady_clock;
double NsPerRow(Clock::time_point t0, Clock::time_point t1, long rows) {
  return std::chrono::duration<double, std::nano>(t1 - t0).count() / static_cast<double>(rows);
}

volatile std::uint64_t gnSink = 0;

const char* const kpszSelect = "SELECT id, big, dbl, dec12, txt, dt, blb FROM kxbench_fetch";

// One pass of the client's own loop: every value copied into a row buffer.
double RawPass(MYSQL* pHandle, const char* pszQuery, long* pnRows) {
  std::vector<char> vecRow(1 << 16);
  const auto t0 = Clock::now();
  if (__mysql_real_query(pHandle, pszQuery, std::strlen(pszQuery)) != 0) return -1;
  MYSQL_RES* pResult = __mysql_store_result(pHandle);
  if (pResult == nullptr) return -1;
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

int Bench(const stServer& server, int nPasses) {
  std::map<std::string, std::string> conf = server.mapConf;
  kxtest::TestHostDescription host;
  const std::wstring sServer = Wide(conf["host"]), sUser = Wide(conf["user"]),
                     sPassword = Wide(conf["password"]);
  const std::wstring sExtended =
      L"Server Port=" + Wide(conf["port"]) + L";Initial Catalog=" + Wide(conf["database"]);
  host.pszDataSource = sServer.c_str();
  host.pszUser = sUser.c_str();
  host.pszPassword = sPassword.c_str();
  host.pszExtendedInfo = sExtended.c_str();
  CMySQLConnection* pCnx = new CMySQLConnection(L"bench", &host);
  pCnx->AddRef();
  CNAError* pError = new CNAError();
  pError->AddRef();
  int nStatus = 1;
  MYSQL* pRaw = nullptr;
  CMySQLStatementSQL* st = nullptr;
  do {
    if (!pCnx->bOpen(pError)) {
      std::fprintf(stderr, "cannot connect: %ls\n", pError->pszGetError());
      break;
    }
    st = new CMySQLStatementSQL(pCnx, pError);
    st->AddRef();
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
    pRaw = __mysql_init(nullptr);
    if (pRaw == nullptr ||
        __mysql_real_connect(pRaw, conf["host"].c_str(), conf["user"].c_str(),
                             conf["password"].c_str(), conf["database"].c_str(),
                             static_cast<unsigned>(std::atoi(conf["port"].c_str())), nullptr,
                             0) == nullptr) {
      std::fprintf(stderr, "raw session refused\n");
      break;
    }
    __mysql_real_query(pRaw, "SET NAMES utf8", 14);

    stRecord record;
    if (!st->bExecuteDirect(kpszSelect, NA_WRITEPARSE_NONE) || !record.bBind(st, pCnx)) {
      std::fprintf(stderr, "first read failed: %ls\n", pError->pszGetError());
      break;
    }
    std::vector<double> vecRaw, vecStatement, vecBytes, vecPrevious, vecDataSeek;
    long nRawRows = 0, nStRows = 0, nBytesRows = 0;
    bool bOk = true;
    for (int p = 0; p < nPasses && bOk; ++p) {
      vecRaw.push_back(RawPass(pRaw, kpszSelect, &nRawRows));
      vecStatement.push_back(StatementPass(st, &record, &nStRows));
      vecBytes.push_back(StatementBytesPass(st, &nBytesRows));
      bOk = vecRaw.back() > 0 && vecStatement.back() > 0 && vecBytes.back() > 0 &&
            nRawRows == knRows && nStRows == knRows && nBytesRows == knRows;
    }
    const std::string sBack = std::string(kpszSelect) + " LIMIT " + std::to_string(knBackRows);
    for (int p = 0; p < nPasses && bOk; ++p) {
      // A fresh result each pass: its first backward seek records the row
      // positions, as a browse's first step back does.
      bOk = st->bExecuteDirect(sBack.c_str(), NA_WRITEPARSE_NONE) != 0;
      if (bOk) vecPrevious.push_back(PreviousPass(st, &record));
      vecDataSeek.push_back(DataSeekPreviousPass(pRaw));
      bOk = bOk && vecPrevious.back() > 0 && vecDataSeek.back() > 0;
    }
    if (!bOk) {
      std::fprintf(stderr, "a pass failed: %ls\n", pError->pszGetError());
      break;
    }
    const double dRaw = Median(vecRaw);
    std::printf("%ld rows (INT, BIGINT, DOUBLE, DECIMAL(12,2), VARCHAR(40), DATETIME, BLOB NULL),"
                " %d passes, median ns per row\n",
                knRows, nPasses);
    std::printf("  %-56s %10.1f ns  1.00x\n", "raw client loop (fetch_row, lengths, copy)", dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "CMySQLStatementSQL::bFetch + bGetValue into items",
                Median(vecStatement), Median(vecStatement) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "  of which the statement: bFetch + value bytes, copied",
                Median(vecBytes), Median(vecBytes) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "previous over 10,000 rows (bDataSeek + bFetch + values)",
                Median(vecPrevious), Median(vecPrevious) / dRaw);
    std::printf("  %-56s %10.1f ns  %.2fx\n", "  for contrast: previous with mysql_data_seek alone",
                Median(vecDataSeek), Median(vecDataSeek) / dRaw);
    // ---- CNAStatement::bFetch(next) into the record --------------------
    // The table statement's read (block by block into the current record
    // through its record layout) is measured here once that statement is
    // built; it is not part of this program yet.
    std::printf("  %-56s %10s\n", "CNAStatement::bFetch(next) into the record", "not measured");
    nStatus = 0;
  } while (false);
  if (pRaw != nullptr) __mysql_close(pRaw);
  if (st != nullptr) {
    st->bExecuteDirect("DROP TABLE IF EXISTS kxbench_fetch", NA_WRITEPARSE_NONE);
    st->nRelease();
  }
  pCnx->bClose(nullptr);
  pCnx->nRelease();
  pError->nRelease();
  CNAFunctionLoader::g_Term();
  return nStatus;
}

}  // namespace

int main(int argc, char** argv) {
  // The client library stays mapped after the module end unloads it, so
  // that its one-time set-up is not reported as lost.
  dlopen("libmariadb.so.3", RTLD_NOW | RTLD_NODELETE);
  stServer server;
  const char* pszConf = argc > 1 ? argv[1] : std::getenv("KX_MARIADB_CONF");
  const int nPasses = argc > 2 ? std::max(5, std::atoi(argv[2])) : 5;
  if (pszConf != nullptr && *pszConf != 0) {
    if (!bReadConf(pszConf, &server)) {
      std::fprintf(stderr, "cannot read the connection file %s\n", pszConf);
      return 2;
    }
  } else if (!bStartServer(&server)) {
    std::fprintf(stderr, "the server could not be started\n");
    StopServer(server);
    return 1;
  }
  StandInVm vm(KX_STANDIN_VM_PATH);
  CInformationModule::ms_piStrMemAlloc = reinterpret_cast<IStrMemAlloc*>(vm.GetItem(13));
  int nStatus = 1;
  if (bInitTNConvFromVM(vm.hModule(), 2, 2) != 1) {
    std::fprintf(stderr, "the stand-in runtime could not be bound\n");
  } else {
    nStatus = Bench(server, nPasses);
  }
  StopServer(server);
  return nStatus;
}
