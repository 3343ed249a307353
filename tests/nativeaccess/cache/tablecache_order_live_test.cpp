// The table cache's client-side indexes against the server's own order, on
// the fixture's server with the real client library.
//
// One table of mixed columns is read whole, in ORDER BY id, through the
// statement core (CNAStatement over the MariaDB driver-level statement,
// the MariaDB driver being the process's driver) into its record cache,
// which a table cache takes as its full cache; an index is built on every
// column. For the NOT NULL columns (INT, DECIMAL, DATETIME, with
// duplicates) the index order must be the server's ORDER BY col, id, and a
// search of the index from the statement's search value must land where
// WHERE col >= v ORDER BY col, id LIMIT 1 lands (and a search from the end
// where WHERE col <= v ORDER BY col DESC, id DESC LIMIT 1 does). For the
// nullable INT and the two texts the keys follow the platform's rules
// (NULL keyed as an empty value, texts by their bytes or 16-bit units), so
// the order may differ from the server's collation and NULL placement:
// those differences are printed, not asserted.
//
// This program links the MariaDB driver; the native-access area's live
// program does not, which is why the test lives here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumn.h"
#include "CNAColumnSQL.h"
#include "CNACommand.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CNATableCache.h"
#include "CNATableCacheIndex.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/HexBytes.h"
#include "nativeaccess/support/NamedSource.h"
#include "nativeaccess/support/TestConnection.h"
#include "nativeaccess/support/TestSource.h"

namespace {

using kxtest::Hex;
using kxtest::Narrow;

// The description of the query's result, one item per result column, laid
// out in column order (offset = bytes so far, physical index = the column
// number the record reads the value from). The generic data access does
// not describe results, so the test does it from the driver statement's
// column descriptions, as a query's data access would.
class ResultSource : public kxtest::NamedSource {
 public:
  CNAItemDescription* pclAdd(const std::wstring& name, eNA_ITEMTYPE type, std::uint32_t size, int integerPart,
                             int decimalPart) {
    return NamedSource::pclAdd(name.c_str(), type, size, L"SRC", nullptr, integerPart, decimalPart);
  }
  std::uint32_t nGetVersion() override { return 1; }
};

// ---------------------------------------------------------------------------
// The fixture table
// ---------------------------------------------------------------------------

// Columns in result order: id, then the indexed ones.
enum Col : int { ID = 0, I = 1, D = 2, DT = 3, N = 4, L = 5, U = 6, COLUMNS = 7 };
const char* const kColumnNames[COLUMNS] = {"id", "i", "d", "dt", "n", "l", "u"};
const char* const kColumnTypes[COLUMNS] = {
    "INT NOT NULL PRIMARY KEY",
    "INT NOT NULL",
    "DECIMAL(10,2) NOT NULL",
    "DATETIME NOT NULL",
    "INT NULL",
    "VARCHAR(20) CHARACTER SET latin1 COLLATE latin1_swedish_ci NULL",
    "VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci NULL",
};

struct FixtureRow {
  int id;
  const char* i;
  const char* d;
  const char* dt;
  std::optional<const char*> n;
  std::optional<const char*> l;  // UTF-8; stored as latin1
  std::optional<const char*> u;  // UTF-8
};

// Duplicates in every NOT NULL column (i: 5 x4, 0 x4, -3 x3, 1 x3, 7 x2;
// d: 12.50 x3, -0.75 x3, 0.00 x3; dt: 2024-03-01 10:00:00 x10) with their
// extremes; texts with case, accents (precomposed and combining), '',
// 'a ', 'a\t', an emoji, characters past U+00FF (U+0100, U+FF41) and NULL.
const FixtureRow kRows[] = {
    {1, "5", "12.50", "2024-03-01 10:00:00", std::nullopt, "apple", "apple"},
    {2, "-3", "-0.75", "2023-12-31 23:59:59", "0", "Apple", "Apple"},
    {3, "5", "12.50", "2024-03-01 10:00:00", "-7", "APPLE", "APPLE"},
    {4, "0", "0.00", "1999-01-01 00:00:00", std::nullopt, "", ""},
    {5, "1000", "1000.00", "2099-12-31 23:59:59", "3", "a ", "a "},
    {6, "-2147483648", "-99999999.99", "1000-01-01 00:00:00", "3", "a\t", "a\t"},
    {7, "5", "-0.75", "2024-03-01 09:59:59", "100", "a", "a"},
    {8, "-3", "3.10", "2024-03-01 10:00:00", std::nullopt, "\xC3\xA9", "\xC3\xA9"},
    {9, "42", "3.10", "2024-02-29 12:00:00", "-7", "e", "e"},
    {10, "0", "12.49", "2024-03-01 10:00:01", "1", "\xC3\x89", "\xC3\x89"},
    {11, "7", "0.01", "2000-02-29 00:00:00", std::nullopt, "f", "\xF0\x9F\x98\x80"},
    {12, "7", "-0.01", "2023-12-31 23:59:59", "2", std::nullopt, std::nullopt},
    {13, "1", "100.00", "2024-03-01 10:00:00", "0", "z", "z"},
    {14, "-1", "12.50", "1970-01-01 00:00:00", "-100", "Zebra", "Zebra"},
    {15, "5", "1.00", "2024-03-01 10:00:00", std::nullopt, "\xC3\xA4", "\xC3\xA4"},
    {16, "100", "-100.00", "2099-12-31 23:59:59", "50", "\xC3\xB1", "\xC3\xB1"},
    {17, "1", "0.00", "1969-12-31 23:59:59", "-1", "\xC3\x9F", "\xC3\x9F"},
    {18, "-3", "-0.75", "2024-03-01 10:00:00", "2147483647", "b", "\xEF\xBD\x81"},
    {19, "0", "0.10", "2024-03-01 10:00:00", "-2147483648", "ss", "ss"},
    {20, "1", "-1.00", "2024-03-01 10:00:00", std::nullopt, "\xC3\xA1", "a\xCC\x81"},
    {21, "0", "0.00", "2024-03-01 10:00:00", "-7", "\xC3\xBC", "\xC4\x80"},
};
constexpr int knRows = static_cast<int>(sizeof kRows / sizeof kRows[0]);

// A text as a UTF-8 literal the server converts to the column's charset.
std::string TextLiteral(const std::optional<const char*>& s) {
  if (!s) return "NULL";
  if (**s == 0) return "''";
  return "_utf8mb4 X'" + Hex(*s) + "'";
}

// A value for the output: quoted (a trailing blank shows), controls and
// everything past ASCII as escapes.
std::string Show(const CAny& value) {
  if (value.bIsNull()) return "NULL";
  const wchar_t* psz = nullptr;
  if (value.nGetPCWSTR(&psz) > 99 || psz == nullptr) {
    int n = 0;
    return value.nGetINT(&n) == 0 ? std::to_string(n) : std::string("<unreadable>");
  }
  std::string s = "'";
  char sz[32];
  for (const wchar_t* p = psz; *p != 0; ++p) {
    const unsigned long c = static_cast<unsigned long>(*p);
    if (c == '\t') {
      s += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(sz, sizeof sz, "\\x%02lX", c);
      s += sz;
    } else if (c < 0x80) {
      s += static_cast<char>(c);
    } else {
      std::snprintf(sz, sizeof sz, "\\u{%lX}", c);
      s += sz;
    }
  }
  return s + "'";
}

struct IndexRelease {
  void operator()(CNATableCacheIndex* p) const { p->dwRelease(); }
};
using IndexPtr = std::unique_ptr<CNATableCacheIndex, IndexRelease>;

class tablecache_order_live : public kxtest::DriverLiveTest {
 protected:
  // The MariaDB driver is the process's driver (statements get its
  // driver-level statements, records its columns); keys, values and texts
  // go through the bound runtime's conversions.
  tablecache_order_live() : DriverLiveTest("kxtco_") {}

  void TearDown() override {
    m_indexes.clear();
    if (m_pTableCache != nullptr) m_pTableCache->dwRelease();
    if (m_pProbe != nullptr) m_pProbe->nRelease();
    if (m_pSt != nullptr) m_pSt->nRelease();
    if (m_pRecord != nullptr) m_pRecord->nRelease();
    if (m_pAccess != nullptr) m_pAccess->nRelease();
    m_pSource.reset();
    DriverLiveTest::TearDown();
  }

  // The table, filled.
  void CreateTable() {
    std::string sql = "CREATE TABLE " + m_sTable + " (";
    for (int c = 0; c < COLUMNS; ++c) sql += std::string(c ? ", " : "") + kColumnNames[c] + " " + kColumnTypes[c];
    sql += ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci";
    ASSERT_TRUE(Run(sql));
    std::string insert = "INSERT INTO " + m_sTable + " VALUES ";
    for (int r = 0; r < knRows; ++r) {
      const FixtureRow& row = kRows[r];
      insert += std::string(r ? ", " : "") + "(" + std::to_string(row.id) + ", " + row.i + ", " + row.d + ", '" +
                row.dt + "', " + (row.n ? *row.n : "NULL") + ", " + TextLiteral(row.l) + ", " + TextLiteral(row.u) +
                ")";
    }
    ASSERT_TRUE(Run(insert));
  }

  // The items of the result, from the driver statement's description of
  // the same SELECT; the record layout over them, its data access, the
  // reading statement and a second statement that reads probe values.
  void MakeLayout(const std::string& select) {
    CMySQLStatementSQL* pDescribe = new CMySQLStatementSQL(m_pCnx, m_pError);
    pDescribe->AddRef();
    const std::string sDescribe = select + " LIMIT 0";
    const int bOk = pDescribe->bExecuteDirect(sDescribe.c_str(), NA_WRITEPARSE_NONE);
    EXPECT_EQ(1, bOk) << Narrow(m_pError->pszGetError());
    if (bOk == 1) {
      EXPECT_EQ(static_cast<unsigned>(COLUMNS), pDescribe->nGetColumnCount());
    }
    m_pSource = std::make_unique<ResultSource>();
    for (int c = 0; bOk == 1 && c < COLUMNS; ++c) {
      CNAColumnSQL* p = pDescribe->pclGetNAColumnSQL(c);
      if (p == nullptr) {
        ADD_FAILURE() << "no description of column " << c;
        break;
      }
      m_apItems[c] = m_pSource->pclAdd(p->m_csName.pszGet(), p->m_eItemType, p->m_nItemSize, p->m_nIntegerPart,
                                       p->m_nDecimalPart);
      std::cout << "[ column ] " << kColumnNames[c] << " " << kColumnTypes[c] << ": item type "
                << static_cast<int>(p->m_eItemType) << ", size " << p->m_nItemSize << ", digits "
                << p->m_nIntegerPart << "." << p->m_nDecimalPart << "\n";
    }
    pDescribe->nRelease();
    if (HasFailure()) return;
    m_pAccess = new CNADataAccess(m_pSource.get(), m_pCnx, m_pError);
    m_pAccess->AddRef();
    m_pAccess->SetQuery(1);
    m_pRecord = new CNARecord(m_pError, m_pAccess);
    m_pRecord->AddRef();
    ASSERT_TRUE(m_pRecord->bInitRecord(m_pSource.get(), nullptr, m_pCnx)) << Narrow(m_pError->pszGetError());
    m_pAccess->SetCurrentRecord(m_pRecord);
    m_pSt = new CNAStatement(m_pAccess, m_pError);
    m_pSt->AddRef();
    m_pProbe = new CNAStatement(m_pAccess, m_pError);
    m_pProbe->AddRef();
    ASSERT_NE(nullptr, m_pSt->pclGetStatementSQLNoRef()) << Narrow(m_pError->pszGetError());
    ASSERT_NE(nullptr, dynamic_cast<CMySQLStatementSQL*>(m_pSt->pclGetStatementSQLNoRef()));
  }

  // Runs `sql` on `statement` as a new SELECT; true on success.
  bool Execute(CNAStatement* statement, const std::string& sql) {
    CNACommand* pCommand = m_pAccess->pclAllocCommand(m_pError);
    if (pCommand == nullptr) return false;
    pCommand->AddRef();
    pCommand->bComplete(std::wstring(sql.begin(), sql.end()).c_str());
    pCommand->SetQueryType(TYPEREQUETE_SELECT);
    const int bOk = statement->bExecuteDirectNewCommand(pCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT);
    pCommand->nRelease();
    return bOk != 0;
  }

  CNAColumn* Column(int c) const { return m_pRecord->pclGetColumnNoRef(m_apItems[c]); }

  // The value of column `c` in the cache entry `record`.
  CAny EntryValue(CNARecordCache* cache, int record, int c) {
    CAny v;
    CNARecordValue* pWork = new CNARecordValue(m_pError);
    pWork->AddRef();
    EXPECT_TRUE(cache->bGetAt(pWork, record)) << record;
    EXPECT_TRUE(pWork->bGetItemValue(&v, m_apItems[c])) << record;
    pWork->nRelease();
    return v;
  }

  // The ids the server gives for `sql` (one id column).
  std::vector<int> ServerIds(const std::string& sql) {
    kxtest::MariaDbClient::Result result;
    std::string failure;
    EXPECT_TRUE(m_client->Query(m_pSession, sql, result, failure)) << sql << ": " << failure;
    std::vector<int> ids;
    for (const auto& row : result.rows) ids.push_back(row.empty() || !row[0] ? -1 : std::stoi(*row[0]));
    return ids;
  }

  std::unique_ptr<ResultSource> m_pSource;
  CNAItemDescription* m_apItems[COLUMNS] = {};
  CNADataAccess* m_pAccess = nullptr;
  CNARecord* m_pRecord = nullptr;
  CNAStatement* m_pSt = nullptr;
  CNAStatement* m_pProbe = nullptr;
  CNATableCache* m_pTableCache = nullptr;
  std::vector<IndexPtr> m_indexes;
};

// Record numbers from the first to the end by next steps of 1.
std::vector<int> Forward(CNATableCacheIndex* index) {
  std::vector<int> order;
  int n = -1;
  EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_FIRST, 1, &n, nullptr));
  while (n >= 0 && order.size() <= 1000) {
    order.push_back(n);
    EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_NEXT, 1, &n, nullptr));
  }
  return order;
}

// Record numbers from the last to the start by previous steps of 1.
std::vector<int> Backward(CNATableCacheIndex* index) {
  std::vector<int> order;
  int n = -1;
  EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_LAST, 1, &n, nullptr));
  while (n >= 0 && order.size() <= 1000) {
    order.push_back(n);
    EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_PREVIOUS, 1, &n, nullptr));
  }
  return order;
}

std::string Ids(const std::vector<int>& ids) {
  std::ostringstream s;
  for (std::size_t k = 0; k < ids.size(); ++k) s << (k ? " " : "") << ids[k];
  return s.str();
}

TEST_F(tablecache_order_live, IndexOrderAndSearchesAgainstTheServer) {
  CreateTable();
  if (HasFatalFailure()) return;
  std::cout << "[ server ] " << Value("SELECT VERSION()") << "\n";
  std::string sSelect = "SELECT ";
  for (int c = 0; c < COLUMNS; ++c) sSelect += std::string(c ? ", " : "") + kColumnNames[c];
  sSelect += " FROM " + m_sTable;
  MakeLayout(sSelect);
  if (HasFailure()) return;

  // ---- The whole result into the statement's record cache -----------------
  ASSERT_TRUE(Execute(m_pSt, sSelect + " ORDER BY id")) << Narrow(m_pError->pszGetError());
  m_pTableCache = new CNATableCache(m_pError, m_pAccess);
  m_pTableCache->dwAddRef();
  // The table cache switches the statement's cache on.
  ASSERT_TRUE(m_pTableCache->bSetStatementParse(m_pSt));
  ASSERT_TRUE(m_pSt->bCacheEnabled());
  EXPECT_FALSE(m_pTableCache->bCacheCompleted());
  std::vector<int> fetched;
  eNA_PARSEDIRECTION e = NA_PARSE_FIRST;
  for (int guard = 0; guard <= knRows; ++guard) {
    ASSERT_TRUE(m_pSt->bFetch(e, 0, 1)) << Narrow(m_pError->pszGetError());
    int nOut = -1;
    m_pSt->HEndehors(&nOut);
    if (nOut) break;
    CAny v;
    ASSERT_TRUE(Column(ID)->bGetCurrentValue(&v, 0));
    int nId = -1;
    ASSERT_EQ(0, v.nGetINT(&nId));
    fetched.push_back(nId);
    e = NA_PARSE_NEXT;
  }
  std::vector<int> allIds;
  for (const FixtureRow& row : kRows) allIds.push_back(row.id);
  ASSERT_EQ(allIds, fetched);
  ASSERT_TRUE(m_pSt->bCacheCompleted());
  ASSERT_TRUE(m_pTableCache->bCacheCompleted());
  CNARecordCache* pCache = m_pTableCache->pclGetFullCache();
  ASSERT_NE(nullptr, pCache);
  ASSERT_EQ(pCache, m_pSt->pclGetRecordCacheNoRef());
  ASSERT_EQ(knRows, pCache->nGetCount());

  // Record numbers are cache entries; their ids and printable values as
  // the client holds them.
  std::vector<int> idOf(knRows);
  std::map<int, std::string> shown[COLUMNS];
  for (int r = 0; r < knRows; ++r) {
    int nId = -1;
    ASSERT_EQ(0, EntryValue(pCache, r, ID).nGetINT(&nId));
    idOf[r] = nId;
    for (int c = I; c < COLUMNS; ++c) shown[c][nId] = Show(EntryValue(pCache, r, c));
  }
  ASSERT_EQ(allIds, idOf);
  auto toIds = [&](const std::vector<int>& records) {
    std::vector<int> ids;
    for (int n : records) ids.push_back(n >= 0 && n < knRows ? idOf[n] : -1);
    return ids;
  };

  // ---- An index per column ------------------------------------------------
  for (int c = 0; c < COLUMNS; ++c) {
    CNATableCacheIndex* p = m_pTableCache->pclGetCacheIndex(m_pSt, Column(c));
    ASSERT_NE(nullptr, p) << kColumnNames[c] << ": " << Narrow(m_pError->pszGetError());
    m_indexes.emplace_back(p);
    EXPECT_EQ(knRows, p->nGetRecordNbr()) << kColumnNames[c];
  }

  // ---- NOT NULL columns: the server's order, and its searches ----------------
  struct Probes {
    int column;
    const char* sqlType;  // the probe's cast, so it reaches the item as the column's values do
    std::vector<const char*> values;
  };
  const Probes probes[] = {
      {I, nullptr, {"-2147483648", "-5", "-3", "-2", "0", "4", "5", "6", "1000", "1001"}},
      {D,
       "DECIMAL(10,2)",
       {"-99999999.99", "-100.01", "-100", "-0.75", "-0.74", "0", "0.01", "3.1", "12.49", "12.5", "12.51", "1000",
        "1000.01"}},
      {DT,
       "DATETIME",
       {"'1000-01-01 00:00:00'", "'1969-12-31 23:59:59'", "'1970-01-01 00:00:00'", "'2024-03-01 09:59:59'",
        "'2024-03-01 10:00:00'", "'2024-03-01 10:00:01'", "'2050-06-15 00:00:00'", "'2099-12-31 23:59:59'",
        "'2100-01-01 00:00:00'"}},
  };
  for (const Probes& p : probes) {
    const std::string col = kColumnNames[p.column];
    SCOPED_TRACE(col);
    CNATableCacheIndex* index = m_indexes[p.column].get();
    const std::vector<int> order = toIds(Forward(index));
    const std::vector<int> server = ServerIds("SELECT id FROM " + m_sTable + " ORDER BY " + col + ", id");
    EXPECT_EQ(server, order) << "index  " << Ids(order) << "\nserver " << Ids(server);
    std::vector<int> backward = toIds(Backward(index));
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(order, backward);

    for (const char* literal : p.values) {
      SCOPED_TRACE(literal);
      // The probe reaches the item the way the rows did: a row of the
      // server read through the statement core into the record.
      const std::string typed = p.sqlType != nullptr ? std::string("CAST(") + literal + " AS " + p.sqlType + ")"
                                                     : std::string(literal);
      std::string probeSelect = "SELECT ";
      for (int c = 0; c < COLUMNS; ++c) {
        std::string v = c == p.column ? typed : c == D ? "0.00" : c == DT ? "CAST('2000-01-01' AS DATETIME)" : c < N ? "0" : "NULL";
        probeSelect += std::string(c ? ", " : "") + v;
      }
      ASSERT_TRUE(Execute(m_pProbe, probeSelect)) << Narrow(m_pError->pszGetError());
      ASSERT_TRUE(m_pProbe->bFetch(NA_PARSE_FIRST, 0, 1)) << Narrow(m_pError->pszGetError());
      CAny probe;
      ASSERT_TRUE(Column(p.column)->bGetCurrentValue(&probe, 0));
      ASSERT_FALSE(probe.bIsNull());
      m_pProbe->Close();

      // First from the value: WHERE col >= v ORDER BY col, id.
      const std::vector<int> first = ServerIds("SELECT id FROM " + m_sTable + " WHERE " + col + " >= " + literal +
                                               " ORDER BY " + col + ", id LIMIT 1");
      // Last from the value: WHERE col <= v ORDER BY col DESC, id DESC.
      const std::vector<int> last = ServerIds("SELECT id FROM " + m_sTable + " WHERE " + col + " <= " + literal +
                                              " ORDER BY " + col + " DESC, id DESC LIMIT 1");
      m_pSt->pclGetUserSearch()->SetUserSearch(m_apItems[p.column], &probe, 0);
      ASSERT_NE(nullptr, m_pSt->pclGetUserSearchValue());
      int nFirst = -2;
      int nLast = -2;
      EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_FIRST, 1, &nFirst, nullptr));
      EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_LAST, 1, &nLast, nullptr));
      m_pSt->pclGetUserSearch()->CancelUserSearch();
      EXPECT_EQ(first.empty() ? -1 : first[0], toIds({nFirst})[0]) << "probe " << Show(probe);
      EXPECT_EQ(last.empty() ? -1 : last[0], toIds({nLast})[0]) << "probe " << Show(probe);
    }
    std::cout << "[ agree  ] column " << col << " " << kColumnTypes[p.column] << ": order of " << order.size()
              << " rows, first and last searches of " << p.values.size() << " probe values compared\n";
  }

  // ---- Nullable and text columns: the differences, printed ---------------------
  // What the library's session announces for results, and what the server
  // holds for the row of the 4-byte character, beside what the client got.
  {
    CMySQLStatementSQL* pSession = new CMySQLStatementSQL(m_pCnx, m_pError);
    pSession->AddRef();
    std::string sCharsets = "<not read>";
    if (pSession->bExecuteDirect("SELECT CONCAT(@@character_set_connection, ' / ', @@character_set_results)",
                                 NA_WRITEPARSE_NONE) == 1 &&
        pSession->bFetch(0) == 1) {
      unsigned char* pb = nullptr;
      unsigned int nb = 0;
      if (pSession->bGetValue(&pb, &nb, 0) && pb != nullptr) sCharsets.assign(reinterpret_cast<const char*>(pb), nb);
    }
    pSession->nRelease();
    std::cout << "[ note   ] the library's session: character_set_connection / results = " << sCharsets << "\n";
    std::cout << "[ note   ] id 11, column u: the server holds HEX " << Value("SELECT HEX(u) FROM " + m_sTable + " WHERE id = 11")
              << ", the client's cached value is " << shown[U][11] << "\n";
  }

  for (int c : {N, L, U}) {
    const std::string col = kColumnNames[c];
    SCOPED_TRACE(col);
    CNATableCacheIndex* index = m_indexes[c].get();
    const std::vector<int> order = toIds(Forward(index));
    const std::vector<int> server = ServerIds("SELECT id FROM " + m_sTable + " ORDER BY " + col + ", id");
    // Both hold every row once, whatever their order.
    std::vector<int> a = order;
    std::vector<int> b = server;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(allIds, a);
    EXPECT_EQ(allIds, b);
    std::vector<int> backward = toIds(Backward(index));
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(order, backward);

    std::ostringstream out;
    int nDiffering = 0;
    for (std::size_t k = 0; k < std::max(order.size(), server.size()); ++k) {
      const int x = k < order.size() ? order[k] : -1;
      const int y = k < server.size() ? server[k] : -1;
      if (x != y) ++nDiffering;
      char sz[160];
      std::snprintf(sz, sizeof sz, "  %2zu %c  id %2d %-22s  id %2d %-22s\n", k, x != y ? '*' : ' ', x,
                    shown[c][x].c_str(), y, shown[c][y].c_str());
      out << sz;
    }
    std::cout << "[ order  ] column " << col << " " << kColumnTypes[c] << ": " << nDiffering << " of " << order.size()
              << " positions differ (*)\n"
              << "  pos    index (client keys)         server (ORDER BY " << col << ", id)"
              << "    [values: as the client's cache holds them]\n"
              << out.str() << "  index  " << Ids(order) << "\n  server " << Ids(server) << "\n";
  }
}

}  // namespace
