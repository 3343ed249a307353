// The driver-level statement base on a scripted driver statement: what the
// base builds and hands to the driver's 8-bit sender (parameters merged into
// the text, the text converted), how it reads rows, values and columns
// through the driver's reader, its ids, and what it leaves in the error
// object when something is refused. Texts and casts need the runtime's
// string allocator and conversions, as the library has them in its host.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAColumnSQL.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "CNAStatementSQL.h"
#include "CTStringConcatAW.h"
#include "CXError.h"
#include "CXYStringConcat.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "StandInTabValParser.h"
#include "support/RecordingStatement.h"
#include "support/TestConnection.h"

namespace {

using Cell = std::optional<std::wstring>;  // nullopt: NULL
using Row = std::vector<Cell>;

// A driver statement over an in-memory result: every 8-bit text it is asked
// to send is recorded (with the parameter table it came with) and answered
// by the scripted rows; values are handed to the converter as wide text.
// The column descriptions are made on demand, as a server driver does.
class ScriptedStatementSQL : public CNAStatementSQL {
 public:
  ScriptedStatementSQL(CNAConnectionDescription* cnx, CNAError* error) : CNAStatementSQL(cnx, error) {}

  std::vector<std::wstring> vecColumns;  // names; their count is the column count
  std::vector<Row> vecRows;
  bool bFailSend = false;     // the server refuses every text
  bool bDescribeFails = false;
  int nDescribed = 0;         // _bInitTabNAColumn calls
  std::vector<std::string> vecSent;
  std::vector<const CTabValParser*> vecSentWith;
  std::vector<unsigned> vecParameterTypes;  // type codes _bAddParameter saw

  int _bExecuteDirect(const char* text, CTabValParser* parameters, NA_WRITEPARSEFLAGS flags) override {
    (void)flags;
    vecSent.emplace_back(text != nullptr ? text : "<null>");
    vecSentWith.push_back(parameters);
    if (bFailSend) {
      // The sender has the 8-bit text: the server's error, then that text.
      _bInitLastError(100, 1);
      _DumpQueryInError(text, static_cast<long>(std::string(text).size()), 0);
      return 0;
    }
    m_bResultOpen = 1;
    m_nColumnCount = static_cast<std::uint32_t>(vecColumns.size());
    m_llRowCount = static_cast<std::int64_t>(vecRows.size());
    return 1;
  }
  using CNAStatementSQL::_bExecuteDirect;

  int bFetch(unsigned int /*option*/) override {
    if (m_llCurrentRow + 1 < m_llRowCount) {
      ++m_llCurrentRow;
      m_bNoCurrentRow = 0;
    } else {
      m_bNoCurrentRow = 1;
    }
    return 1;
  }

  int bGetValue(CNAConvertVariant* value, unsigned int column, unsigned int /*option*/) override {
    if (m_bNoCurrentRow != 0 || column >= m_nColumnCount) return 0;
    const Cell& cell = vecRows[static_cast<std::size_t>(m_llCurrentRow)][column];
    if (!cell) {
      value->SetNull();
      return 1;
    }
    CAny clText;
    clText.__SetType(ANY_DSTRW, 0);
    clText.SetValue(cell->c_str(), cell->size() * sizeof(wchar_t));
    return value->bSetValue(&clText);
  }
  using CNAStatementSQL::bGetValue;

  int _bInitTabNAColumn() override {
    ++nDescribed;
    if (bDescribeFails) return 0;
    m_pclColumns = new CNAColumnSQL[m_nColumnCount];
    for (std::uint32_t i = 0; i < m_nColumnCount; ++i) {
      m_pclColumns[i].m_csName.Set(vecColumns[i].c_str());
      m_pclColumns[i].m_eItemType = static_cast<eNA_ITEMTYPE>(i + 1);
    }
    return 1;
  }

  int _bAddParameter(CTStringConcatAW* text, unsigned int index, const CAny* value) override {
    vecParameterTypes.push_back(value->nGetTypeCode());
    return CNAStatementSQL::_bAddParameter(text, index, value);
  }

  int bExecute(const wchar_t* text, CTabValParser* parameters = nullptr) {
    return bExecuteDirect(text, parameters, NA_WRITEPARSE_NONE);
  }
};

std::wstring AnyText(const CAny& value) {
  const wchar_t* psz = nullptr;
  if (value.nGetPCWSTR(&psz) != 0 || psz == nullptr) return L"";
  return psz;
}

std::wstring W(const wchar_t* psz) { return psz != nullptr ? psz : L""; }

// A file holding `content`, removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::string& content) {
    char name[] = "/tmp/kx_stmtsql_XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    if (fd >= 0) {
      EXPECT_EQ(static_cast<ssize_t>(content.size()), write(fd, content.data(), content.size()));
      close(fd);
    }
    m_sPath = name;
    m_wsPath.assign(m_sPath.begin(), m_sPath.end());
  }
  ~TempFile() { std::remove(m_sPath.c_str()); }
  const wchar_t* pszPath() const { return m_wsPath.c_str(); }

 private:
  std::string m_sPath;
  std::wstring m_wsPath;
};

class stmtsqlBase : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    m_cnx.AddRef();  // the test's own reference: the statements never delete it
    m_error.AddRef();
    m_cnx.m_nDataBaseCodePage = 1252;
    m_cnx.m_nApplicationCodePage = 1252;
    m_cnx.m_csBinaryPrefix.Set(L"0x");
  }

  CNAError& Error() { return m_error; }
  std::uint32_t UserError() { return m_error.pclGetXError()->nGetUserErrorCode(); }
  std::wstring Debug() { return W(m_error.pclGetXError()->pszGetDebugMessage()); }
  std::wstring UserText() { return W(m_error.pclGetXError()->pszGetUserMessage()); }

  kxtest::StatementScript m_script;
  kxtest::RecordingStatementScope m_scope{&m_script};  // the process driver makes the converters
  kxtest::TestHostDescription m_host = MakeHost();
  kxtest::TestConnection m_cnx{&m_host};
  CNAError m_error;

 private:
  static kxtest::TestHostDescription MakeHost() {
    kxtest::TestHostDescription host;
    host.pszDataSource = L"srv";
    host.pszDefaultDataBase = L"shop";
    host.pszUser = L"bob";
    return host;
  }
};

// ---------------------------------------------------------------------------
// Parameters merged into the text
// ---------------------------------------------------------------------------

struct Param {
  const wchar_t* pszValue;  // wide text value (a file's path when fileContent is set)
  int nPosition;
  int nLength;
  std::uint32_t nFlags;
  const char* pszFileContent;  // null: no file
};

struct MarkerCase {
  const char* pszLabel;
  const wchar_t* pszText;
  bool bTable;  // false: no parameter table at all
  std::vector<Param> vecParams;
  const char* pszSent;      // null: nothing may be sent
  std::uint32_t nUserError;  // expected main user error when nothing is sent
};

TEST_F(stmtsqlBase, ParameterMarkersAreReplacedOrTheQueryIsRefusedWhole) {
  const MarkerCase cases[] = {
      {"no table", L"SELECT ? FROM t", false, {}, "SELECT ? FROM t", 0},
      {"empty table", L"SELECT a FROM t", true, {}, "SELECT a FROM t", 0},
      {"one marker", L"SELECT a FROM t WHERE b=?", true, {{L"x'y", 24, 1, 0, nullptr}},
       "SELECT a FROM t WHERE b='x''y'", 0},
      {"multi-character markers, text between kept", L"UPDATE t SET a=:aa WHERE b=:bbb AND c=1", true,
       {{L"1", 15, 3, 0, nullptr}, {L"2", 27, 4, 0, nullptr}}, "UPDATE t SET a='1' WHERE b='2' AND c=1", 0},
      {"adjacent markers", L"??", true, {{L"a", 0, 1, 0, nullptr}, {L"b", 1, 1, 0, nullptr}}, "'a''b'", 0},
      {"marker at the very end", L"SELECT ?", true, {{L"z", 7, 1, 0, nullptr}}, "SELECT 'z'", 0},
      {"zero-length marker inserts", L"SELECT 1", true, {{L"x", 7, 0, 0, nullptr}}, "SELECT 'x'1", 0},
      {"file read as text (bits 0 and 4)", L"INSERT INTO t VALUES (?)", true,
       {{nullptr, 22, 1, 0x11, "hi"}}, "INSERT INTO t VALUES ('hi')", 0},
      {"file read as binary (bit 0 alone)", L"INSERT INTO t VALUES (?)", true,
       {{nullptr, 22, 1, 0x01, "hi"}}, "INSERT INTO t VALUES (0x6869)", 0},
      {"bit 4 alone is no file", L"SELECT ?", true, {{L"name", 7, 1, 0x10, nullptr}}, "SELECT 'name'", 0},
      {"markers out of order", L"SELECT ?, ?", true, {{L"a", 10, 1, 0, nullptr}, {L"b", 7, 1, 0, nullptr}},
       nullptr, 760103},
      {"overlapping markers", L"SELECT ?? x", true, {{L"a", 7, 2, 0, nullptr}, {L"b", 8, 1, 0, nullptr}},
       nullptr, 760103},
      {"marker past the end", L"SELECT ?", true, {{L"a", 7, 5, 0, nullptr}}, nullptr, 760103},
      {"marker starting past the end", L"SELECT ?", true, {{L"a", 40, 1, 0, nullptr}}, nullptr, 760103},
      {"negative position", L"SELECT ?", true, {{L"a", -3, 1, 0, nullptr}}, nullptr, 760103},
      {"negative length", L"SELECT ?", true, {{L"a", 7, -1, 0, nullptr}}, nullptr, 760103},
      {"length overflowing 32 bits", L"SELECT ?", true, {{L"a", 7, 0x7FFFFFFF, 0, nullptr}}, nullptr, 760103},
      {"bad second marker after a good one", L"SELECT ?, ?", true,
       {{L"a", 7, 1, 0, nullptr}, {L"b", 10, 9, 0, nullptr}}, nullptr, 760103},
  };
  for (const MarkerCase& c : cases) {
    SCOPED_TRACE(c.pszLabel);
    m_error.Reset();
    std::vector<std::unique_ptr<TempFile>> files;
    CTabValParser table(c.vecParams.size());
    for (std::size_t i = 0; i < c.vecParams.size(); ++i) {
      const Param& p = c.vecParams[i];
      const wchar_t* pszValue = p.pszValue;
      if (p.pszFileContent != nullptr) {
        files.push_back(std::make_unique<TempFile>(p.pszFileContent));
        pszValue = files.back()->pszPath();
      }
      CAny* pclValue = table.pclGetValue(i);
      pclValue->__SetType(ANY_DSTRW, 0);
      pclValue->SetValue(pszValue, std::wcslen(pszValue) * sizeof(wchar_t));
      table.SetMarker(i, p.nPosition, p.nLength);
      table.SetFlags(i, p.nFlags);
    }
    ScriptedStatementSQL stmt(&m_cnx, &m_error);
    ScriptedStatementSQL* pclStmt = &stmt;
    const int bResult = pclStmt->bExecute(c.pszText, c.bTable ? &table : nullptr);
    if (c.pszSent != nullptr) {
      EXPECT_EQ(1, bResult);
      ASSERT_EQ(1u, pclStmt->vecSent.size());
      EXPECT_EQ(c.pszSent, pclStmt->vecSent[0]);
      // A table, even an empty one, goes with the text to the driver.
      EXPECT_EQ(c.bTable ? &table : nullptr, pclStmt->vecSentWith[0]);
      EXPECT_EQ(NA_ERRORTYPE_NONE, m_error.eGetErrorType());
    } else {
      EXPECT_EQ(0, bResult);
      EXPECT_TRUE(pclStmt->vecSent.empty());
      EXPECT_EQ(c.nUserError, UserError());
    }
  }
}

TEST_F(stmtsqlBase, FileParametersArriveTypedByTheirFlagsAndAMissingFileSendsNothing) {
  TempFile file("abc");
  CTabValParser table(3);
  const std::uint32_t flags[] = {0x11, 0x01, 0x00};
  for (std::size_t i = 0; i < 3; ++i) {
    table.pclGetValue(i)->__SetType(ANY_DSTRW, 0);
    table.pclGetValue(i)->SetValue(file.pszPath(), std::wcslen(file.pszPath()) * sizeof(wchar_t));
    table.SetMarker(i, static_cast<int>(7 + 3 * i), 1);
    table.SetFlags(i, flags[i]);
  }
  ScriptedStatementSQL stmt(&m_cnx, &m_error);
  stmt.AddRef();
  ASSERT_EQ(1, stmt.bExecute(L"SELECT ?, ?, ?", &table));
  // 8-bit text, binary, and the path itself as a wide text.
  EXPECT_EQ((std::vector<unsigned>{ANY_DSTRA, ANY_BIN, ANY_DSTRW}), stmt.vecParameterTypes);
  ASSERT_EQ(1u, stmt.vecSent.size());
  EXPECT_EQ(0u, stmt.vecSent[0].find("SELECT 'abc', 0x616263, '/tmp/kx_stmtsql_"));

  CTabValParser missing(1);
  missing.pclGetValue(0)->__SetType(ANY_DSTRW, 0);
  missing.pclGetValue(0)->SetValue(L"/nonexistent/kx/none", 20 * sizeof(wchar_t));
  missing.SetMarker(0, 7, 1);
  missing.SetFlags(0, 0x01);
  EXPECT_EQ(0, stmt.bExecute(L"SELECT ?", &missing));
  EXPECT_EQ(1u, stmt.vecSent.size());
  EXPECT_EQ(15u, UserError());  // the file could not be opened
  stmt.bReset();
}

TEST_F(stmtsqlBase, TheHeadCountDecidesWhatIsReadAndAHoleInTheArrayIsRefused) {
  CTabValParser table(2);
  for (std::size_t i = 0; i < 2; ++i) {
    table.pclGetValue(i)->__SetType(ANY_DSTRW, 0);
    table.pclGetValue(i)->SetValue(L"a", sizeof(wchar_t));
    table.SetMarker(i, static_cast<int>(7 + 3 * i), 1);
  }
  ScriptedStatementSQL stmt(&m_cnx, &m_error);
  table.SetCount(1);  // the second entry is not read: its marker stays
  ASSERT_EQ(1, stmt.bExecute(L"SELECT ?, ?", &table));
  EXPECT_EQ("SELECT 'a', ?", stmt.vecSent.back());
  table.SetCount(2);
  table.DropEntry(1);
  EXPECT_EQ(0, stmt.bExecute(L"SELECT ?, ?", &table));
  EXPECT_EQ(1u, stmt.vecSent.size());
  EXPECT_EQ(760103u, UserError());
  EXPECT_NE(std::wstring::npos, UserText().find(L"index 1")) << UserText();
}

// ---------------------------------------------------------------------------
// Code pages
// ---------------------------------------------------------------------------

TEST_F(stmtsqlBase, TheTextReachesTheDriverInTheConnectionCodePage) {
  const struct {
    int nCodePage;
    const char* pszSent;
  } cases[] = {
      {1252, "SELECT '\xE9'"},
      {65001, "SELECT '\xC3\xA9'"},
      {-1, "SELECT '\xE9'"},  // not yet set: read as 1252
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nCodePage);
    m_cnx.m_nDataBaseCodePage = c.nCodePage;
    ScriptedStatementSQL stmt(&m_cnx, &m_error);
    stmt.AddRef();
    ASSERT_EQ(1, stmt.bExecute(L"SELECT '\u00E9'"));
    // The same through the parameter buffer.
    CTabValParser table(1);
    table.pclGetValue(0)->__SetType(ANY_DSTRW, 0);
    table.pclGetValue(0)->SetValue(L"\u00E9", sizeof(wchar_t));
    table.SetMarker(0, 7, 2);
    ASSERT_EQ(1, stmt.bExecute(L"SELECT :p", &table));
    EXPECT_EQ((std::vector<std::string>{c.pszSent, c.pszSent}), stmt.vecSent);
    stmt.bReset();
  }
}

TEST_F(stmtsqlBase, AWideServerCodePageRunsNothingAndRecordsNothing) {
  m_cnx.m_nDataBaseCodePage = -2;
  ScriptedStatementSQL stmt(&m_cnx, &m_error);
  stmt.AddRef();
  EXPECT_EQ(0, stmt.bExecute(L"SELECT 1"));
  CTabValParser table(1);
  table.pclGetValue(0)->__SetType(ANY_DSTRW, 0);
  table.pclGetValue(0)->SetValue(L"a", sizeof(wchar_t));
  table.SetMarker(0, 7, 1);
  EXPECT_EQ(0, stmt.bExecute(L"SELECT ?", &table));
  EXPECT_TRUE(stmt.vecSent.empty());
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_error.eGetErrorType());
  // The 8-bit entry is not the wide one: it still runs.
  EXPECT_EQ(1, stmt.CNAStatementSQL::bExecuteDirect("SELECT 2", NA_WRITEPARSE_NONE));
  EXPECT_EQ(std::vector<std::string>{"SELECT 2"}, stmt.vecSent);
}

// ---------------------------------------------------------------------------
// Ids and references
// ---------------------------------------------------------------------------

TEST_F(stmtsqlBase, IdsCountFromOneAndSkipZeroOnWrap) {
  const std::uint32_t nSaved = CNAStatementSQL::m_gnStmtGenerator;
  CNAStatementSQL::m_gnStmtGenerator = 0;
  {
    CNAStatementSQL first;
    CNAStatementSQL second;
    CNAStatementSQL third;
    EXPECT_EQ(1u, first.nGetStatementId());
    EXPECT_EQ(2u, second.nGetStatementId());
    EXPECT_EQ(3u, third.nGetStatementId());
  }
  CNAStatementSQL::m_gnStmtGenerator = 0xFFFFFFFEu;
  {
    CNAStatementSQL last;
    CNAStatementSQL wrapped;
    EXPECT_EQ(0xFFFFFFFFu, last.nGetStatementId());
    EXPECT_EQ(1u, wrapped.nGetStatementId());
  }
  CNAStatementSQL::m_gnStmtGenerator = nSaved;
}

TEST_F(stmtsqlBase, TheStatementHoldsOneReferenceOnItsErrorConnectionAndConverter) {
  const std::uint32_t nErrorBefore = m_error.nGetHolderCount();
  const std::uint32_t nCnxBefore = m_cnx.nGetInternalCount();
  auto* pclStmt = new ScriptedStatementSQL(&m_cnx, &m_error);
  pclStmt->AddRef();
  EXPECT_EQ(nErrorBefore + 1, m_error.nGetHolderCount());
  EXPECT_EQ(nCnxBefore + 1, m_cnx.nGetInternalCount());
  CNAConvertVariant* pclVariant = pclStmt->_pclGetVariant();
  ASSERT_NE(nullptr, pclVariant);
  EXPECT_EQ(pclVariant, pclStmt->_pclGetVariant());  // made once
  EXPECT_EQ(1u, pclVariant->nGetInternalCount());
  INAError* piError = nullptr;
  EXPECT_EQ(1, pclStmt->bGetStmtLastError(&piError));
  EXPECT_EQ(static_cast<INAError*>(&m_error), piError);
  pclStmt->nRelease();
  EXPECT_EQ(nErrorBefore, m_error.nGetHolderCount());
  EXPECT_EQ(nCnxBefore, m_cnx.nGetInternalCount());
}

// ---------------------------------------------------------------------------
// Rows, values and columns
// ---------------------------------------------------------------------------

class stmtsqlRows : public stmtsqlBase {
 protected:
  void SetUp() override {
    stmtsqlBase::SetUp();
    m_pclStmt = new ScriptedStatementSQL(&m_cnx, &m_error);
    m_pclStmt->AddRef();
    m_pclStmt->vecColumns = {L"id", L"name", L"note"};
    m_pclStmt->vecRows = {{L"a", std::nullopt, L"c"}, {L"", L"b", std::nullopt}};
  }
  void TearDown() override {
    m_pclStmt->nRelease();
    stmtsqlBase::TearDown();
  }

  std::wstring Row(const wchar_t* separator, int maxColumns, int* result) {
    CXYStringConcat<wchar_t> out(16);
    *result = m_pclStmt->bGetRow(&out, separator, maxColumns, 0);
    return out.pszGet();
  }

  ScriptedStatementSQL* m_pclStmt = nullptr;
};

TEST_F(stmtsqlRows, ARowAsTextKeepsEveryFieldPlaceAndStopsAtTheMaximum) {
  ASSERT_EQ(1, m_pclStmt->bExecute(L"SELECT * FROM t"));
  ASSERT_EQ(1, m_pclStmt->bFetch(0));
  const struct {
    const wchar_t* pszSeparator;
    int nMax;
    const wchar_t* pszRow;
  } cases[] = {
      {L";", 0, L"a;;c"},   // NULL gives an empty field
      {L";", 2, L"a;"},     // the separator follows the second read
      {L";", 1, L"a"},
      {L";", 9, L"a;;c"},   // a maximum above the count reads every column
      {L";", -1, L"a;;c"},
      {L"", 0, L"ac"},
      {nullptr, 0, L"ac"},
      {L" | ", 0, L"a |  | c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszRow);
    int bResult = 0;
    EXPECT_EQ(c.pszRow, Row(c.pszSeparator, c.nMax, &bResult));
    EXPECT_EQ(1, bResult);
  }
  ASSERT_EQ(1, m_pclStmt->bFetch(0));
  int bResult = 0;
  EXPECT_EQ(L";b;", Row(L";", 0, &bResult));  // an empty text is an empty field too
  CAny clRow;
  EXPECT_EQ(1, m_pclStmt->bGetRow(&clRow, L",", 0, 0));
  EXPECT_EQ(ANY_PSTRW, clRow.nGetTypeCode());
  EXPECT_EQ(L",b,", AnyText(clRow));
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_error.eGetErrorType());
}

TEST_F(stmtsqlRows, WithoutACurrentRowTheRowIsRefusedWithUserError7) {
  ASSERT_EQ(1, m_pclStmt->bExecute(L"SELECT * FROM t"));
  // Before the first fetch, then after the last row.
  for (int nFetches : {0, 3}) {
    SCOPED_TRACE(nFetches);
    for (int i = 0; i < nFetches; ++i) m_pclStmt->bFetch(0);
    m_error.Reset();
    CXYStringConcat<wchar_t> out(16);
    out.Add(L"kept", 4);
    EXPECT_EQ(0, m_pclStmt->bGetRow(&out, L";", 0, 0));
    EXPECT_STREQ(L"kept", out.pszGet());
    EXPECT_EQ(7u, UserError());
    CAny clRow;
    clRow.__SetType(ANY_DSTRW, 0);
    clRow.SetValue(L"old", 3 * sizeof(wchar_t));
    EXPECT_EQ(0, m_pclStmt->bGetRow(&clRow, L";", 0, 0));
    EXPECT_EQ(ANY_PSTRW, clRow.nGetTypeCode());
    EXPECT_EQ(L"", AnyText(clRow));
  }
}

TEST_F(stmtsqlRows, ValuesReadAsTextAndAsBinary) {
  ASSERT_EQ(1, m_pclStmt->bExecute(L"SELECT * FROM t"));
  CAny clValue;
  EXPECT_EQ(0, m_pclStmt->bGetValue(&clValue, 0, 0));  // no row yet
  ASSERT_EQ(1, m_pclStmt->bFetch(0));
  ASSERT_EQ(1, m_pclStmt->bGetValue(&clValue, 0, 0));
  EXPECT_EQ(ANY_DSTRW, clValue.nGetTypeCode());
  EXPECT_EQ(L"a", AnyText(clValue));
  ASSERT_EQ(1, m_pclStmt->bGetValue(&clValue, 1, 0));
  EXPECT_TRUE(clValue.bIsNull());
  CAny clBlob;
  ASSERT_EQ(1, m_pclStmt->bGetBLOBValue(&clBlob, 2, 0));
  EXPECT_EQ(ANY_BIN, clBlob.nGetTypeCode());
  EXPECT_EQ(0, m_pclStmt->bGetValue(&clValue, 3, 0));  // past the columns
}

TEST_F(stmtsqlRows, ColumnsAreDescribedOnceOnDemandAndForgottenByAReset) {
  ASSERT_EQ(1, m_pclStmt->bExecute(L"SELECT * FROM t"));
  EXPECT_EQ(0, m_pclStmt->nDescribed);
  int nCount = -1;
  EXPECT_EQ(1, m_pclStmt->bGetColumnNbr(&nCount, 0));
  EXPECT_EQ(3, nCount);
  CAny clList;
  ASSERT_EQ(1, m_pclStmt->bGetColumnList(&clList, 0));
  EXPECT_EQ(ANY_DSTRW, clList.nGetTypeCode());
  EXPECT_EQ(L"id\r\nname\r\nnote", AnyText(clList));
  CAny clName;
  ASSERT_EQ(1, m_pclStmt->bGetColumnName(&clName, 1, 0));
  EXPECT_EQ(ANY_PSTRW, clName.nGetTypeCode());
  EXPECT_EQ(L"name", AnyText(clName));
  EXPECT_EQ(3, m_pclStmt->_eGetColumnType(2));
  EXPECT_EQ(1, m_pclStmt->nDescribed);

  m_pclStmt->bReset();
  EXPECT_EQ(0u, m_pclStmt->nGetColumnCount());
  EXPECT_EQ(-1, m_pclStmt->llGetRowCount());
  EXPECT_TRUE(m_pclStmt->bNoCurrentRow());
  m_pclStmt->vecColumns = {L"id", L"name"};
  ASSERT_EQ(1, m_pclStmt->bExecute(L"SELECT id, name FROM t"));
  ASSERT_EQ(1, m_pclStmt->bGetColumnList(&clList, 0));
  EXPECT_EQ(L"id\r\nname", AnyText(clList));
  EXPECT_EQ(2, m_pclStmt->nDescribed);
}

TEST_F(stmtsqlRows, AColumnOutsideTheResultIsAUserErrorNamingIt) {
  m_pclStmt->vecColumns = {L"id", L"name"};
  ASSERT_EQ(1, m_pclStmt->bExecute(L"SELECT id, name FROM t"));
  const struct {
    int nColumn;
    std::uint32_t nError;
    const wchar_t* pszInText;
  } cases[] = {
      {2, 50, L"Column 2 does not exist: the result has 2 columns."},
      {7, 50, L"Column 7 does not exist: the result has 2 columns."},
      {-1, 51, L"Invalid column index -1."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nColumn);
    m_error.Reset();
    EXPECT_EQ(nullptr, m_pclStmt->pclGetNAColumnSQL(c.nColumn));
    EXPECT_EQ(c.nError, UserError());
    EXPECT_NE(std::wstring::npos, UserText().find(c.pszInText)) << UserText();
  }
  m_error.Reset();
  CAny clName;
  clName.SetI4(5);
  EXPECT_EQ(0, m_pclStmt->bGetColumnName(&clName, 2, 0));
  EXPECT_EQ(ANY_I4, clName.nGetTypeCode());  // left alone
  EXPECT_EQ(0, m_pclStmt->_eGetColumnType(9));
  EXPECT_EQ(nullptr, m_pclStmt->_pszGetColumnName(9));
  EXPECT_EQ(0, m_pclStmt->nDescribed);  // refused before any description
}

TEST_F(stmtsqlRows, AFailedDescriptionGivesNoColumnAndAPartialList) {
  ASSERT_EQ(1, m_pclStmt->bExecute(L"SELECT * FROM t"));
  m_pclStmt->bDescribeFails = true;
  EXPECT_EQ(nullptr, m_pclStmt->pclGetNAColumnSQL(0));
  CAny clList;
  clList.SetI4(1);
  EXPECT_EQ(0, m_pclStmt->bGetColumnList(&clList, 0));
  EXPECT_EQ(L"", AnyText(clList));  // no name could be had before the first
  // With no column the list is left alone and the answer is 1.
  m_pclStmt->bReset();
  clList.SetI4(4);
  EXPECT_EQ(1, m_pclStmt->bGetColumnList(&clList, 0));
  EXPECT_EQ(ANY_I4, clList.nGetTypeCode());
}

TEST_F(stmtsqlRows, AOneValueQueryReadsTheFirstRowAndResetsAfterwards) {
  CAny clValue;
  ASSERT_EQ(1, m_pclStmt->bGetRequestedValue(&clValue, 2, L"SELECT * FROM t"));
  EXPECT_EQ(L"c", AnyText(clValue));
  EXPECT_EQ(0u, m_pclStmt->nGetColumnCount());  // reset
  EXPECT_TRUE(m_pclStmt->bNoCurrentRow());
  EXPECT_EQ(std::vector<std::string>{"SELECT * FROM t"}, m_pclStmt->vecSent);

  // No row: NULL, and an answer, never the caller's old value.
  m_pclStmt->vecRows.clear();
  clValue.__SetType(ANY_DSTRW, 0);
  clValue.SetValue(L"stale", 5 * sizeof(wchar_t));
  ASSERT_EQ(1, m_pclStmt->bGetRequestedValue(&clValue, 0, L"SELECT id FROM t WHERE 0"));
  EXPECT_TRUE(clValue.bIsNull());
  EXPECT_EQ(L"", AnyText(clValue));

  m_pclStmt->bFailSend = true;
  clValue.SetI4(3);
  EXPECT_EQ(0, m_pclStmt->bGetRequestedValue(&clValue, 0, L"SELECT broken"));
  EXPECT_EQ(ANY_I4, clValue.nGetTypeCode());
}

// ---------------------------------------------------------------------------
// The failing query in the error
// ---------------------------------------------------------------------------

TEST_F(stmtsqlBase, AFailedExecutionDumpsTheFirst5000CharactersOfTheQuery) {
  std::wstring sQuery(5000, L'a');
  sQuery.append(7000, L'z');
  {
    m_error.Reset();
    ScriptedStatementSQL stmt(&m_cnx, &m_error);
    stmt.AddRef();
    stmt._InitExecuteError(100, 1, sQuery.c_str(), static_cast<long>(sQuery.size()), 0);
    const std::wstring sDebug = Debug();
    EXPECT_NE(std::wstring::npos, sDebug.find(L"Query sent to srv (default database shop, user bob):"))
        << sDebug.substr(0, 200);
    EXPECT_NE(std::wstring::npos, sDebug.find(std::wstring(5000, L'a')));
    EXPECT_EQ(std::wstring::npos, sDebug.find(L'z'));
  }
  {
    // The 8-bit form, as the driver's sender calls it.
    m_error.Reset();
    ScriptedStatementSQL stmt(&m_cnx, &m_error);
    stmt.AddRef();
    stmt.bFailSend = true;
    const std::string sNarrow(sQuery.begin(), sQuery.end());
    EXPECT_EQ(0, stmt.CNAStatementSQL::bExecuteDirect(sNarrow.c_str(), NA_WRITEPARSE_NONE));
    const std::wstring sDebug = Debug();
    EXPECT_NE(std::wstring::npos, sDebug.find(std::wstring(5000, L'a')));
    EXPECT_EQ(std::wstring::npos, sDebug.find(L'z'));
  }
  {
    // Nothing of the query without a length.
    m_error.Reset();
    ScriptedStatementSQL stmt(&m_cnx, &m_error);
    stmt.AddRef();
    stmt._DumpQueryInError(L"SELECT secret", 0, 0);
    EXPECT_EQ(std::wstring::npos, Debug().find(L"secret"));
    EXPECT_NE(std::wstring::npos, Debug().find(L"default database shop"));
  }
}

TEST_F(stmtsqlBase, AUtf8DumpIsCutBeforeACharacterThatWouldBeSplit) {
  m_cnx.m_nDataBaseCodePage = 65001;
  std::string sQuery(4999, 'a');
  sQuery += "\xC3\xA9";  // bytes 4999 and 5000
  sQuery += "zzz";
  ScriptedStatementSQL stmt(&m_cnx, &m_error);
  stmt.AddRef();
  stmt._DumpQueryInError(sQuery.c_str(), static_cast<long>(sQuery.size()), 0);
  const std::wstring sDebug = Debug();
  EXPECT_NE(std::wstring::npos, sDebug.find(std::wstring(4999, L'a')));
  EXPECT_EQ(std::wstring::npos, sDebug.find(L'\uFFFD'));
  EXPECT_EQ(std::wstring::npos, sDebug.find(L'\u00E9'));
  EXPECT_EQ(std::wstring::npos, sDebug.find(L'z'));
}

}  // namespace
