// Parsed queries rebuilt for MariaDB and sent unchanged to the fixture's
// server: each returns the rows of a hand-written MariaDB text of the same
// meaning (filters merged, quotes, LIKE patterns, an aliased self-join
// over a logical table name, empty dates, refreshed bind values, the ORDER
// BY put back ahead of a LIMIT), and an INSERT and an UPDATE write exactly
// the values read back. Queries come from the stand-in parser, built from
// their text.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CNACommand.h"
#include "CNAError.h"
#include "CSQLParserInfo.h"
#include "StandInParserBuilder.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/TestConnection.h"
#include "nativeaccess/support/TestDriver.h"

namespace {

using Builder = CStandInParserBuilder;
using kxtest::Narrow;
using kxtest::WideFromUTF8;

CAny I4(int n) {
  CAny v;
  v.SetI4(n);
  return v;
}

class parsedquery_live : public kxtest::DriverLiveTest {
 protected:
  // The test driver stays the test's own: it only makes the commands that
  // rebuild the queries. Numbers are written through the bound runtime's
  // conversions.
  parsedquery_live() : DriverLiveTest("kxpq_", DriverUse::Private) {}
  CNADriver* NewDriver() override { return new kxtest::TestDriver(); }
  void SetUp() override {
    CStandInParserLedger::Reset();
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    Run("DROP TABLE IF EXISTS " + m_sTable);
    Run("CREATE TABLE " + m_sTable +
        " (id INT PRIMARY KEY, name VARCHAR(40) CHARACTER SET utf8mb4, d DATE NULL, n INT NULL)");
    Run("INSERT INTO " + m_sTable +
        " VALUES (1, 'O''Brien', '2024-03-01', 10), (2, 'Smith', NULL, 20), (3, 'Obama', '2024-03-15', 30),"
        " (4, 'Jones', '2023-01-01', 40)");
    m_sT = WideFromUTF8(m_sTable);
  }
  void TearDown() override {
    for (CNACommand* p : m_apCommands) p->nRelease();
    for (CSQLParserInfo* p : m_apQueries) p->nRelease();
    m_apBuilders.clear();
    m_pValues.reset();
    // The parser's balance is complete once the driver is gone.
    ReleaseDriver();
    EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
    DriverLiveTest::TearDown();
  }
  // A query text with "@" standing for the test's table.
  std::wstring Text(const std::wstring& s) {
    std::wstring r;
    for (wchar_t c : s) {
      if (c == L'@')
        r += m_sT;
      else
        r += c;
    }
    return r;
  }
  Builder& B(const std::wstring& text, int kind = 1) {
    m_apBuilders.emplace_back(new Builder(Text(text).c_str(), kind));
    return *m_apBuilders.back();
  }
  CNACommand* New() {
    CNACommand* p = m_pDriver->pclAllocCommand(m_pError, m_pCnx);
    p->AddRef();
    m_apCommands.push_back(p);
    return p;
  }
  // Rebuilds b's query; the bytes the server gets.
  std::string Rebuild(Builder& b, CNACommand** out = nullptr, const wchar_t* filter = nullptr, int orderBy = 1) {
    auto* q = new CSQLParserInfo(m_pError, b.pi(), m_pValues.get(), 0);
    q->AddRef();
    m_apQueries.push_back(q);
    CNACommand* pclFilter = nullptr;
    if (filter != nullptr) {
      pclFilter = New();
      pclFilter->bComplete(filter);
    }
    CNACommand* p = New();
    if (out != nullptr) *out = p;
    EXPECT_TRUE(p->bFormatCondition(q, pclFilter, orderBy, 0)) << Narrow(m_pError->pszGetError());
    return Bytes(p);
  }
  std::string Bytes(CNACommand* p) {
    const char* psz = p->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
    EXPECT_NE(nullptr, psz) << Narrow(p->pclGetError()->pszGetError());
    return psz != nullptr ? psz : "";
  }
  // The first value of the hand-written text (@: the table).
  std::string Expected(const std::string& sql) {
    std::string s;
    for (char c : sql) {
      if (c == '@')
        s += m_sTable;
      else
        s += c;
    }
    return Value(s);
  }

  std::wstring m_sT;
  std::vector<CNACommand*> m_apCommands;
  std::vector<CSQLParserInfo*> m_apQueries;
  std::vector<std::unique_ptr<Builder>> m_apBuilders;
  std::unique_ptr<CStandInQueryParameters> m_pValues{new CStandInQueryParameters};
};

// The select list of the queries below: the ids found, in order.
CStandInInfoRubrique* Ids(Builder& b, const wchar_t* table = L"") {
  return b.Calculated(b.Func(150, L"GROUP_CONCAT", {b.Item(L"id", table, L"id")}), nullptr);
}

// Conditions with literals (a quote, LIKE patterns) and a merged filter
// find the rows of the same conditions written by hand.
TEST_F(parsedquery_live, ConditionsFindTheirRows) {
  struct stCase {
    const wchar_t* condition;  // after "WHERE "
    const char* where;         // the hand-written equivalent
    const wchar_t* filter;
  } kCases[] = {
      {L"name = 'O''Brien'", "name = 'O''Brien'", nullptr},
      {L"name LIKE 'O%'", "name LIKE 'O%'", nullptr},
      {L"name LIKE 'O''B%'", "name LIKE 'O''B%'", nullptr},
      {L"n >= 20", "n >= 20 AND id <> 3", L"id <> 3"},
      {nullptr, "id <> 3", L"id <> 3"},
  };
  for (const stCase& k : kCases) {
    SCOPED_TRACE(k.where);
    const std::wstring sWhere = k.condition != nullptr ? std::wstring(L" WHERE ") + k.condition : L"";
    Builder& b = B(L"SELECT GROUP_CONCAT(id ORDER BY id) FROM @" + sWhere);
    Ids(b);
    b.From(m_sT.c_str());
    if (k.condition != nullptr) {
      const std::wstring c = k.condition;
      const std::size_t nOp = c.find_first_of(L"=L>");
      const std::wstring sItem = c.substr(0, c.find(L' '));
      CStandInExpression* item = b.Item(sItem.c_str(), L"", sItem.c_str());
      CStandInExpression* value;
      if (c.find(L'\'') != std::wstring::npos) {
        value = b.TextLiteral(c.substr(c.find(L'\'')).c_str());
      } else {
        value = b.Literal(L"20", I4(20));
      }
      const int nCode = c[nOp] == L'L' ? 32 : c[nOp] == L'>' ? 14 : 9;
      b.Where(b.Op(nCode, {item, value}));
    }
    const std::string sSql = Rebuild(b, nullptr, k.filter);
    EXPECT_EQ(Expected(std::string("SELECT GROUP_CONCAT(id ORDER BY id) FROM @ WHERE ") + k.where), Value(sSql))
        << sSql;
  }
}

// A logical table name over an aliased self-join: the FROM takes the
// physical name, every item keeps its alias (the server refuses the
// table's name once aliased).
TEST_F(parsedquery_live, AliasedSelfJoinRuns) {
  Builder& b = B(L"SELECT GROUP_CONCAT(x.id ORDER BY x.id) FROM logi AS x, logi AS y WHERE x.n = y.n - 10");
  b.Calculated(b.Func(150, L"GROUP_CONCAT", {b.Item(L"x.id", L"x", L"id")}), nullptr);
  b.From(L"logi", L"x", m_sT.c_str());
  b.From(L"logi", L"y");
  b.Where(b.Op(9, {b.Item(L"x.n", L"x", L"n"), b.Op(21, {b.Item(L"y.n", L"y", L"n"), b.Literal(L"10", I4(10))})}));
  const std::string sSql = Rebuild(b);
  EXPECT_EQ("1,2,3", Value(sSql)) << sSql;
}

// Comparisons with an empty date give the NULL-first sets; a partial date
// is completed.
TEST_F(parsedquery_live, EmptyAndPartialDates) {
  struct stCase {
    const wchar_t* condition;
    const char* expected;
  } kCases[] = {
      {L"d = ''", "d IS NULL"},      {L"d <> ''", "d IS NOT NULL"}, {L"d < ''", "0=1"},
      {L"d <= ''", "d IS NULL"},     {L"d > ''", "d IS NOT NULL"},  {L"d >= ''", "1=1"},
      {L"d = '202403'", "d = '2024-03-01'"},
  };
  const int kaCodes[] = {9, 10, 11, 12, 13, 14, 9};
  int i = 0;
  for (const stCase& k : kCases) {
    SCOPED_TRACE(k.expected);
    Builder& b = B(std::wstring(L"SELECT GROUP_CONCAT(id ORDER BY id) FROM @ WHERE ") + k.condition);
    Ids(b);
    CStandInInfoFrom* t = b.From(m_sT.c_str());
    b.TableItem(t, L"d", 14);
    const std::wstring c = k.condition;
    CStandInExpression* item = b.Item(L"d", L"", L"d");
    b.Where(b.Op(kaCodes[i++], {item, b.TextLiteral(c.substr(c.find(L'\'')).c_str())}));
    const std::string sSql = Rebuild(b);
    EXPECT_EQ(Expected(std::string("SELECT GROUP_CONCAT(id ORDER BY id) FROM @ WHERE ") + k.expected), Value(sSql))
        << sSql;
  }
}

// Bind values: parameters refreshed with new values give the new rows;
// with ORDER BY flag 0 the ORDER BY comes back ahead of the LIMIT.
TEST_F(parsedquery_live, BindValuesAndOrderByBeforeLimit) {
  Builder& b = B(L"SELECT id FROM @ WHERE n > :lim ORDER BY n LIMIT :k");
  b.Column(L"id", L"", L"id");
  b.From(m_sT.c_str());
  CStandInExpression* n = b.Item(L"n", L"", L"n");
  b.Where(b.Op(13, {n, b.Leaf(L":lim")}));
  b.OrderBy(L"n", -1, 0);
  b.Rewind();
  b.Bind(L":lim", L"lim", I4(15));
  b.Bind(L":k", L"k", I4(1));
  m_pValues->Set(L"lim", I4(15));
  m_pValues->Set(L"k", I4(1));
  CNACommand* p = nullptr;
  Rebuild(b, &p, nullptr, 0);
  ASSERT_TRUE(p->bFormatORDERBY(1, 1));
  EXPECT_EQ("2", Value(Bytes(p))) << Bytes(p);
  m_pValues->Set(L"lim", I4(25));
  p->bUpdateParametersValues();
  EXPECT_EQ("3", Value(Bytes(p))) << Bytes(p);
  // Inverted: the highest first.
  CNACommand* q = nullptr;
  Rebuild(b, &q, nullptr, 0);
  ASSERT_TRUE(q->bFormatORDERBY(1, 0));
  EXPECT_EQ("4", Value(Bytes(q))) << Bytes(q);
}

// An INSERT and an UPDATE typed by their columns write what is read back.
TEST_F(parsedquery_live, InsertAndUpdateWriteTheirValues) {
  {
    Builder& b = B(L"INSERT INTO @ (id, name, d, n) VALUES (9, 'Q''x', '2024-05-06', NULL)", TYPEREQUETE_INSERT);
    CStandInInfoFrom* t = b.From(m_sT.c_str());
    b.TableItem(t, L"id", 5);
    b.TableItem(t, L"name", 2);
    b.TableItem(t, L"d", 14);
    b.TableItem(t, L"n", 5);
    CStandInInsertion* ci = b.InsertColumn(L"id", m_sT.c_str(), L"id");
    CStandInInsertion* cname = b.InsertColumn(L"name", m_sT.c_str(), L"name");
    CStandInInsertion* cd = b.InsertColumn(L"d", m_sT.c_str(), L"d");
    CStandInInsertion* cn = b.InsertColumn(L"n", m_sT.c_str(), L"n");
    b.InsertValue(ci, b.Literal(L"9", I4(9)));
    b.InsertValue(cname, b.TextLiteral(L"'Q''x'"));
    b.InsertValue(cd, b.TextLiteral(L"'2024-05-06'"));
    CAny null;
    null.SetNull();
    b.InsertValue(cn, b.Literal(L"NULL", null));
    const std::string sSql = Rebuild(b);
    EXPECT_TRUE(Run(sSql)) << sSql;
    EXPECT_EQ("9|Q'x|2024-05-06|N", Expected("SELECT CONCAT_WS('|', id, name, d, IFNULL(n, 'N')) FROM @ WHERE id = 9"));
  }
  {
    Builder& b = B(L"UPDATE @ SET name = 'z''z', d = NULL, n = 7 WHERE id = 9", TYPEREQUETE_UPDATE);
    CStandInInfoFrom* t = b.From(m_sT.c_str());
    b.TableItem(t, L"name", 2);
    b.TableItem(t, L"d", 14);
    b.TableItem(t, L"n", 5);
    b.TableItem(t, L"id", 5);
    CStandInExpression* cname = b.Item(L"name", L"", L"name");
    b.Set(cname, b.TextLiteral(L"'z''z'"));
    CStandInExpression* cd = b.Item(L"d", L"", L"d");
    CAny null;
    null.SetNull();
    b.Set(cd, b.Literal(L"NULL", null));
    CStandInExpression* cn = b.Item(L"n", L"", L"n");
    b.Set(cn, b.Literal(L"7", I4(7)));
    CStandInExpression* id = b.Item(L"id", L"", L"id");
    b.Where(b.Op(9, {id, b.Literal(L"9", I4(9))}));
    const std::string sSql = Rebuild(b);
    EXPECT_TRUE(Run(sSql)) << sSql;
    EXPECT_EQ("9|z'z|N|7",
              Expected("SELECT CONCAT_WS('|', id, name, IFNULL(d, 'N'), IFNULL(n, 'N')) FROM @ WHERE id = 9"));
  }
}

}  // namespace
