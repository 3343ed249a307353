// The MariaDB driver-level statement on the fixture's server with the real
// client library: column descriptions read from the compiled field layout,
// the integer digits of decimals, values as the record layer receives them
// (dates without dashes, NULL apart from empty, binary bytes with NULs),
// several statements in one text, the end of a stored result after another
// statement failed, streams read in part or broken, going back through a
// stored result, and the cheap guards (a column past the count, affected
// rows with a result still held).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumnSQL.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CXError.h"
#include "mysql/mysqlstmt_support.h"
#include "mysql/support/MariaDbLiveTest.h"

namespace {

using kxtest::ErrorText;
using kxtest::Held;
using kxtest::Raw;

class mysqlstmtLive : public kxtest::StatementLiveTest {
 protected:
  mysqlstmtLive() : StatementLiveTest("kxstmt_") {}
  // Runs `sql` on the statement; true when it succeeded.
  bool Exec(CMySQLStatementSQL* st, const std::string& sql) {
    return st->bExecuteDirect(sql.c_str(), NA_WRITEPARSE_NONE) == 1;
  }
  // The connection id of the library's session.
  std::string SessionId() {
    CMySQLStatementSQL* st = m_objects.NewStatement(m_pCnx, m_pError);
    EXPECT_TRUE(Exec(st, "SELECT CONNECTION_ID()")) << ErrorText(m_pError);
    EXPECT_EQ(st->bFetch(0), 1);
    const std::string s = Raw(st, 0).value_or("");
    st->bReset();
    return s;
  }
};

// Seven columns of mixed types: every column is described from the client
// library's own field layout (a misread layout gives garbage names and
// types), and every value reaches a text holder as the record layer wants
// it: dates and date-times without their dashes, the rest as sent.
TEST_F(mysqlstmtLive, MixedSelectIsDescribedAndRead) {
  Run("CREATE TABLE " + m_sTable +
      " (i INT NOT NULL, v VARCHAR(20) CHARACTER SET utf8mb4, m DECIMAL(10,2), d DATE,"
      " dt DATETIME, r DOUBLE, b BLOB)");
  Run("INSERT INTO " + m_sTable +
      " VALUES (7, 'R\xC3\xA9sum\xC3\xA9', -12.50, '2024-01-31', '2024-01-31 12:34:56', 2.5,"
      " x'00FF41')");
  ASSERT_TRUE(Exec(m_pSt, "SELECT i, v, m, d, dt, r, b AS blobcol FROM " + m_sTable))
      << ErrorText(m_pError);
  ASSERT_EQ(m_pSt->nGetColumnCount(), 7u);
  ASSERT_EQ(m_pSt->llGetRowCount(), 1);
  // The connection speaks four-byte UTF-8 (SET NAMES 'utf8mb4'): the
  // VARCHAR(20) comes announced as 80 bytes of character set 45; numbers,
  // dates and the BLOB as binary (63).
  struct stColumn {
    const wchar_t* pszName;
    std::uint32_t nType;
    eNA_ITEMTYPE eItem;
    std::int64_t nLength;
    std::uint32_t nCharset;
    std::optional<std::wstring> sValue;
  } const astColumns[] = {
      {L"i", 3, NA_IT_I4, 11, 63, L"7"},
      {L"v", 253, NA_IT_UNICODE, 80, 45, L"R\u00e9sum\u00e9"},
      {L"m", 246, NA_IT_EMPTY, 12, 63, L"-12.50"},
      {L"d", 10, NA_IT_DATE8, 10, 63, L"20240131"},
      {L"dt", 12, NA_IT_DATETIME, 19, 63, L"20240131 12:34:56"},
      {L"r", 5, NA_IT_R8, 22, 63, L"2.5"},
      {L"blobcol", 252, NA_IT_MEMOBINAIRE, 65535, 63, std::nullopt},
  };
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  for (unsigned i = 0; i < 7; ++i) {
    const stColumn& st = astColumns[i];
    SCOPED_TRACE(kxtest::Narrow(st.pszName));
    CNAColumnSQL* pCol = m_pSt->pclGetNAColumnSQL(static_cast<int>(i));
    ASSERT_NE(pCol, nullptr);
    EXPECT_EQ(std::wstring(pCol->m_csName.pszGet()), st.pszName);
    EXPECT_EQ(pCol->m_nMySQLType, st.nType);
    EXPECT_EQ(pCol->m_nLength, st.nLength);
    EXPECT_EQ(pCol->m_nCharsetNumber, st.nCharset);
    if (st.eItem != NA_IT_EMPTY) {
      EXPECT_EQ(pCol->m_eItemType, st.eItem);
    }
    if (st.sValue) {
      EXPECT_EQ(Held(m_pSt, i), st.sValue);
    }
  }
  EXPECT_EQ(m_pSt->_pszGetColumnName(0), std::wstring(L"i"));
  EXPECT_EQ(Raw(m_pSt, 6), std::string("\x00\xFF\x41", 3));
  EXPECT_EQ(Held(m_pSt, 6, 28), std::wstring(L"\x00\xFF\x41", 3));
  EXPECT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_TRUE(m_pSt->bNoCurrentRow());
}

// Only DATE and DATETIME values lose their dashes; a TIMESTAMP, a TIME and
// a text that looks like a date reach the holder as sent.
TEST_F(mysqlstmtLive, OnlyDatesAndDateTimesLoseTheirDashes) {
  Run("CREATE TABLE " + m_sTable +
      " (d DATE, ts TIMESTAMP NULL, tm TIME, dt DATETIME(3), v VARCHAR(10))");
  Run("INSERT INTO " + m_sTable + " VALUES ('2024-01-31', '2024-01-31 12:34:56', '-12:34:56',"
      " '2024-01-31 12:34:56.789', '2024-01-31')");
  ASSERT_TRUE(Exec(m_pSt, "SELECT d, ts, tm, dt, v FROM " + m_sTable)) << ErrorText(m_pError);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  const wchar_t* const apszExpected[] = {L"20240131", L"2024-01-31 12:34:56", L"-12:34:56",
                                         L"20240131 12:34:56.789", L"2024-01-31"};
  for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(Held(m_pSt, i), std::wstring(apszExpected[i])) << i;
}

// The integer digits of a decimal column: the server's declared length
// counts the point only with decimals and the sign only when signed, so
// DECIMAL(10,0), DECIMAL(10,0) UNSIGNED and DECIMAL(10,2) keep 10, 10 and 8
// digits, and the largest values fit the item type they get (a 9-digit
// reading made DECIMAL(10,0) a 4-byte integer, where 9999999999
// overflows).
TEST_F(mysqlstmtLive, DecimalDigitsFollowSignAndPoint) {
  Run("CREATE TABLE " + m_sTable +
      " (a DECIMAL(10,0), b DECIMAL(10,0) UNSIGNED, c DECIMAL(10,2), e DECIMAL(5,3) UNSIGNED)");
  Run("INSERT INTO " + m_sTable + " VALUES (-9999999999, 9999999999, -99999999.99, 99.999)");
  ASSERT_TRUE(Exec(m_pSt, "SELECT a, b, c, e FROM " + m_sTable)) << ErrorText(m_pError);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  struct stCase {
    std::int32_t nDigits;
    std::int32_t nDecimals;
    const wchar_t* pszValue;
  } const astCases[] = {
      {10, 0, L"-9999999999"}, {10, 0, L"9999999999"}, {8, 2, L"-99999999.99"}, {2, 3, L"99.999"}};
  for (unsigned i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    CNAColumnSQL* pCol = m_pSt->pclGetNAColumnSQL(static_cast<int>(i));
    ASSERT_NE(pCol, nullptr);
    EXPECT_EQ(pCol->m_nIntegerPart, astCases[i].nDigits);
    EXPECT_EQ(pCol->m_nDecimalPart, astCases[i].nDecimals);
    EXPECT_EQ(Held(m_pSt, i), std::wstring(astCases[i].pszValue));
  }
  // Ten integer digits need more than a 4-byte integer.
  EXPECT_NE(m_pSt->pclGetNAColumnSQL(0)->m_eItemType, NA_IT_I4);
  EXPECT_NE(m_pSt->pclGetNAColumnSQL(1)->m_eItemType, NA_IT_I4);
  EXPECT_GE(m_pSt->pclGetNAColumnSQL(0)->m_nItemSize, 8u);
}

// NULL and the empty value stay apart, both raw (null pointer against a
// zero length) and in a holder (NULL flag against an empty text); a
// LONGBLOB keeps its NUL bytes and its full length.
TEST_F(mysqlstmtLive, NullEmptyAndBinaryWithNuls) {
  Run("CREATE TABLE " + m_sTable + " (id INT, t VARCHAR(10), b LONGBLOB)");
  Run("INSERT INTO " + m_sTable + " VALUES (1, NULL, NULL), (2, '', ''),"
      " (3, 'x', CONCAT(x'00', REPEAT('A', 70000), x'0000', 'z'))");
  ASSERT_TRUE(Exec(m_pSt, "SELECT t, b FROM " + m_sTable + " ORDER BY id")) << ErrorText(m_pError);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_EQ(Raw(m_pSt, 0), std::nullopt);
  EXPECT_EQ(Held(m_pSt, 0), std::nullopt);
  EXPECT_EQ(Held(m_pSt, 1, 28), std::nullopt);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_EQ(Raw(m_pSt, 0), std::string());
  EXPECT_EQ(Held(m_pSt, 0), std::wstring());
  EXPECT_EQ(Raw(m_pSt, 1), std::string());
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  const std::string sBlob = std::string(1, '\0') + std::string(70000, 'A') + std::string(2, '\0') + "z";
  EXPECT_EQ(Raw(m_pSt, 1), sBlob);
  const std::optional<std::wstring> held = Held(m_pSt, 1, 28);
  ASSERT_TRUE(held.has_value());
  EXPECT_EQ(held->size(), sBlob.size());
  EXPECT_EQ(held->back(), L'z');
  EXPECT_EQ((*held)[70002], L'\0');
}

// Characters outside the basic plane (an emoji, a rare CJK ideograph) go to
// the server and come back whole: the session speaks four-byte UTF-8, so
// neither the write nor the read turns them into '?'.
TEST_F(mysqlstmtLive, CharactersOutsideTheBasicPlaneRoundTrip) {
  Run("CREATE TABLE " + m_sTable + " (v VARCHAR(20) CHARACTER SET utf8mb4)");
  const std::wstring sText = L"ok \U0001F600 \U00020BB7";
  const std::wstring sInsert =
      L"INSERT INTO " + kxtest::WideFromUTF8(m_sTable) + L" VALUES ('" + sText + L"')";
  ASSERT_EQ(m_pSt->bExecuteDirect(sInsert.c_str(), nullptr, NA_WRITEPARSE_NONE), 1)
      << ErrorText(m_pError);
  EXPECT_EQ(Value("SELECT HEX(v) FROM " + m_sTable), "6F6B20F09F988020F0A0AEB7");
  ASSERT_TRUE(Exec(m_pSt, "SELECT v FROM " + m_sTable)) << ErrorText(m_pError);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_EQ(Held(m_pSt, 0), std::optional<std::wstring>(sText));
}

// A BLOB whose item is Unicode text holds 4-byte characters: they reach
// the holder whole, though the client hands them at an address with no
// alignment for them (the column before ends at an odd byte).
TEST_F(mysqlstmtLive, BlobOfFourByteCharacters) {
  const std::wstring sText = L"Gr\u00fc\u00dfe \u20ac \U0001F600";
  std::string sHex;
  for (wchar_t c : sText) {
    const std::uint32_t n = static_cast<std::uint32_t>(c);
    char sz[9];
    std::snprintf(sz, sizeof sz, "%02X%02X%02X%02X", n & 0xFF, (n >> 8) & 0xFF, (n >> 16) & 0xFF,
                  n >> 24);
    sHex += sz;
  }
  Run("CREATE TABLE " + m_sTable + " (b BLOB)");
  Run("INSERT INTO " + m_sTable + " VALUES (x'" + sHex + "')");
  ASSERT_TRUE(Exec(m_pSt, "SELECT 'ab', b FROM " + m_sTable)) << ErrorText(m_pError);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  CNAItemDescription* pItem = new CNAItemDescription;
  pItem->AddRef();
  pItem->bInit(L"MEMO", L"", L"", 1, 8, NA_IT_MEMOUNICODE, 0, 0, 0, 0, 0);
  {
    CNAConvertVariant v(nullptr, m_pCnx);
    v.InitTypeVariantAny(16);
    v.SetItemDesc(pItem, nullptr);
    ASSERT_EQ(m_pSt->bGetValue(&v, 1, 0), 1) << ErrorText(m_pError);
    CAny any;
    ASSERT_TRUE(v.bGetValue(&any));
    const wchar_t* psz = nullptr;
    ASSERT_LE(any.nGetPCWSTR(&psz), 99);
    ASSERT_NE(psz, nullptr);
    EXPECT_EQ(std::wstring(psz), sText);
  }
  pItem->nRelease();
}

// Several statements in one text: the first result set stays and the later
// ones are consumed; a later statement that fails (a duplicate key, a
// subquery of two rows met while its rows are read) fails the execution
// with its error, and the connection is ready for the next text.
TEST_F(mysqlstmtLive, LaterStatementsOfATextAreCheckedAndConsumed) {
  Run("CREATE TABLE " + m_sTable + " (a INT PRIMARY KEY)");
  Run("CREATE TABLE " + m_sTable + "_2 (a INT)");
  Run("INSERT INTO " + m_sTable + "_2 VALUES (1), (2)");
  const std::string t = m_sTable;
  struct stCase {
    std::string sText;
    bool bOk;
    std::uint32_t nCode;
    std::optional<std::string> sFirst;
  } const astCases[] = {
      {"SELECT 1; SELECT 2", true, 0, std::string("1")},
      {"DO 0; SELECT 3; DO 1", true, 0, std::string("3")},
      {"INSERT INTO " + t + " VALUES (1); INSERT INTO " + t + " VALUES (1)", false, 1062, {}},
      {"SELECT 1; SELECT (SELECT a FROM " + t + "_2) FROM " + t, false, 1242, {}},
      {"SELECT 4; INSERT INTO " + t + " VALUES (1)", false, 1062, {}},
  };
  for (const stCase& st : astCases) {
    SCOPED_TRACE(st.sText);
    m_pError->Reset();
    EXPECT_EQ(Exec(m_pSt, st.sText), st.bOk) << ErrorText(m_pError);
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), st.nCode) << ErrorText(m_pError);
    if (st.sFirst) {
      ASSERT_EQ(m_pSt->bFetch(0), 1);
      EXPECT_EQ(Raw(m_pSt, 0), st.sFirst);
      EXPECT_EQ(m_pSt->bFetch(0), 1);
      EXPECT_TRUE(m_pSt->bNoCurrentRow());
    }
    m_pError->Reset();
    ASSERT_TRUE(Exec(m_pSt, "SELECT 5")) << ErrorText(m_pError);
    ASSERT_EQ(m_pSt->bFetch(0), 1);
    EXPECT_EQ(Raw(m_pSt, 0), std::string("5"));
  }
  EXPECT_EQ(Value("SELECT COUNT(*) FROM " + t), "1");
  Run("DROP TABLE " + t + "_2");
}

// The end of a stored result is the end of data, also when another
// statement on the connection failed since: the handle's error number is
// that statement's, not this result's.
TEST_F(mysqlstmtLive, StoredEndIgnoresAnotherStatementsError) {
  ASSERT_TRUE(Exec(m_pSt, "SELECT 1 UNION ALL SELECT 2")) << ErrorText(m_pError);
  CNAError* pOtherError = m_objects.NewError();
  CMySQLStatementSQL* pOther = m_objects.NewStatement(m_pCnx, pOtherError);
  EXPECT_FALSE(Exec(pOther, "SELECT * FROM kx_no_such_table"));
  EXPECT_EQ(pOtherError->dwGetDataBaseErrorCode(), 1146u);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_EQ(Raw(m_pSt, 0), std::string("2"));
  EXPECT_EQ(m_pSt->bFetch(0), 1) << ErrorText(m_pError);
  EXPECT_TRUE(m_pSt->bNoCurrentRow());
  EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_NONE) << ErrorText(m_pError);
}

// A stream read in part is drained when the statement runs its next text;
// a full stream counts its rows; going back through a stored result reads
// every row once, in order, through the recorded row positions.
TEST_F(mysqlstmtLive, StreamsAndBackwardWalk) {
  m_pSt->SetStoreResult(0);
  ASSERT_TRUE(Exec(m_pSt, "SELECT seq FROM seq_1_to_200000")) << ErrorText(m_pError);
  EXPECT_EQ(m_pSt->bIsStreaming(), 1);
  for (int i = 1; i <= 3; ++i) {
    ASSERT_EQ(m_pSt->bFetch(0), 1);
    EXPECT_EQ(Raw(m_pSt, 0), std::to_string(i));
  }
  m_pSt->SetStoreResult(1);
  ASSERT_TRUE(Exec(m_pSt, "SELECT 42")) << ErrorText(m_pError);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_EQ(Raw(m_pSt, 0), std::string("42"));

  m_pSt->SetStoreResult(0);
  ASSERT_TRUE(Exec(m_pSt, "SELECT seq FROM seq_1_to_12345")) << ErrorText(m_pError);
  m_pSt->SetStoreResult(1);
  std::int64_t llCount = -1;
  EXPECT_EQ(m_pSt->bCountStreamedRows(&llCount), 1) << ErrorText(m_pError);
  EXPECT_EQ(llCount, 12345);
  EXPECT_EQ(m_pSt->bIsStreaming(), 0);

  ASSERT_TRUE(Exec(m_pSt, "SELECT seq FROM seq_1_to_1000")) << ErrorText(m_pError);
  for (long n = 999; n >= 0; --n) {
    ASSERT_EQ(m_pSt->bDataSeek(n), 1);
    ASSERT_EQ(m_pSt->bFetch(0), 1);
    ASSERT_EQ(m_pSt->llGetCurrentRow(), n);
    ASSERT_EQ(Raw(m_pSt, 0), std::to_string(n + 1));
  }
  EXPECT_EQ(m_pSt->bRowPositionsRecorded(), 1);
  // Past the last row the next fetch is the end.
  ASSERT_EQ(m_pSt->bDataSeek(1000), 1);
  EXPECT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_TRUE(m_pSt->bNoCurrentRow());
  ASSERT_EQ(m_pSt->bDataSeek(0), 1);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_EQ(Raw(m_pSt, 0), std::string("1"));
}

// A stream whose connection is killed after its first row: the count of
// the rows still given is no answer. It records the server's error at the
// fetch position and answers 0 with a count of 0.
TEST_F(mysqlstmtLive, KilledStreamFailsTheCount) {
  const std::string sId = SessionId();
  ASSERT_FALSE(sId.empty());
  m_pSt->SetStoreResult(0);
  ASSERT_TRUE(Exec(m_pSt, "SELECT seq, REPEAT('x', 200) FROM seq_1_to_5000000"))
      << ErrorText(m_pError);
  m_pSt->SetStoreResult(1);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  Run("KILL " + sId);
  std::int64_t llCount = -1;
  EXPECT_EQ(m_pSt->bCountStreamedRows(&llCount), 0);
  EXPECT_EQ(llCount, 0);
  EXPECT_NE(m_pError->dwGetDataBaseErrorCode(), 0u) << ErrorText(m_pError);
  EXPECT_NE(ErrorText(m_pError).find("IEKXMARIA=100.25"), std::string::npos) << ErrorText(m_pError);
}

// The same break seen through bFetch: the stream's end asks the handle,
// which reports the broken connection.
TEST_F(mysqlstmtLive, KilledStreamFailsTheFetch) {
  const std::string sId = SessionId();
  m_pSt->SetStoreResult(0);
  ASSERT_TRUE(Exec(m_pSt, "SELECT seq, REPEAT('x', 200) FROM seq_1_to_5000000"))
      << ErrorText(m_pError);
  m_pSt->SetStoreResult(1);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  Run("KILL " + sId);
  int bLast = 1;
  for (long i = 0; i < 6000000 && bLast == 1 && !m_pSt->bNoCurrentRow(); ++i) bLast = m_pSt->bFetch(0);
  EXPECT_EQ(bLast, 0);
  EXPECT_TRUE(m_pSt->bNoCurrentRow());
  EXPECT_NE(m_pError->dwGetDataBaseErrorCode(), 0u) << ErrorText(m_pError);
}

// Cheap guards: a column past the count answers 0 with user error 50 and
// reads nothing; affected rows with a result still held free it first, so
// a stream does not leave the connection out of step (and a stored result
// is not lost).
TEST_F(mysqlstmtLive, GuardsOfColumnsAndAffectedRows) {
  ASSERT_TRUE(Exec(m_pSt, "SELECT 1, 2")) << ErrorText(m_pError);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  CNAConvertVariant v(nullptr, m_pCnx);
  v.InitTypeVariantAny(16);
  EXPECT_EQ(m_pSt->bGetValue(&v, 2, 0), 0);
  EXPECT_EQ(m_pError->nGetUserErrorCode(), 50u) << ErrorText(m_pError);
  m_pError->Reset();
  EXPECT_EQ(Raw(m_pSt, 2), std::nullopt);
  EXPECT_EQ(m_pError->nGetUserErrorCode(), 50u) << ErrorText(m_pError);
  EXPECT_EQ(Held(m_pSt, 1), std::wstring(L"2"));

  m_pError->Reset();
  Run("CREATE TABLE " + m_sTable + " (a INT)");
  ASSERT_TRUE(Exec(m_pSt, "SELECT 1")) << ErrorText(m_pError);
  unsigned long nRows = 99;
  EXPECT_EQ(m_pSt->bGetAffected_rows(&nRows), 1);
  m_pSt->SetStoreResult(0);
  ASSERT_TRUE(Exec(m_pSt, "SELECT seq FROM seq_1_to_100000")) << ErrorText(m_pError);
  m_pSt->SetStoreResult(1);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_EQ(m_pSt->bGetAffected_rows(&nRows), 1) << ErrorText(m_pError);
  EXPECT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_TRUE(m_pSt->bNoCurrentRow());
  CMySQLStatementSQL* pOther = m_objects.NewStatement(m_pCnx, m_pError);
  ASSERT_TRUE(Exec(pOther, "INSERT INTO " + m_sTable + " VALUES (1), (2), (3)"))
      << ErrorText(m_pError);
  EXPECT_EQ(pOther->bGetAffected_rows(&nRows), 1);
  EXPECT_EQ(nRows, 3u);
  EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_NONE) << ErrorText(m_pError);
}

}  // namespace
