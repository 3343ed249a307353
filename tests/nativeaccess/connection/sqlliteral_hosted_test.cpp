// Values as SQL text on a connection: the literal of each kind of value per
// data-source kind, the cast of a value to what its column takes, the
// column expressions giving the runtime's date and time texts, default
// values, and the hexadecimal helpers (run under the address sanitizer).
// Conversions go through the stand-in runtime.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CTString.h"
#include "CTStringConcatAW.h"
#include "CXTime.h"
#include "CXYString.h"
#include "support/TestConnection.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace {

using kxtest::TestConnection;

// A description held by the test (one internal reference).
class Item {
 public:
  Item(eNA_ITEMTYPE e, std::uint32_t nSize, const wchar_t* pszDBType = nullptr) : m_p(new CNAItemDescription) {
    m_p->AddRef();
    m_p->bInit(L"I", L"T", L"I", 1, nSize, e, 0, 0, 0, 0, 0);
    if (pszDBType != nullptr) m_p->SetDBType(pszDBType, 0);
  }
  ~Item() { m_p->nRelease(); }
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;
  CNAItemDescription* get() const { return m_p; }

 private:
  CNAItemDescription* m_p;
};

// The value's text through the runtime (wide), "<null>" for NULL.
std::wstring TextOf(const CAny& v) {
  if (v.bIsNull()) return L"<null>";
  CAny c(v);
  if (c.__nCastTo(ANY_DSTRW, nullptr, 1) > 99) return L"<no text>";
  const wchar_t* psz = nullptr;
  c.nGetPCWSTR(&psz);
  return psz != nullptr ? psz : L"";
}

class sqlliteral : public BoundRuntimeTest {
 protected:
  // The literal of v, or "<false>".
  std::wstring Literal(const CAny& v, eNA_ITEMTYPE eItem = NA_IT_EMPTY, CNAError* pErr = nullptr) {
    CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 16);
    out.Add(L"stale", 5);
    CNAError clErr;
    if (!m_cnx.bConvertValueToString(pErr != nullptr ? pErr : &clErr, &out, &v, eItem, NA_IT_EMPTY))
      return L"<false>";
    return out.pszGetW();
  }

  TestConnection m_cnx{nullptr, L"literals", DATASOURCE_MARIADB};
};

using Setter = std::function<void(CAny&)>;

CAny Make(const Setter& f) {
  CAny v;
  f(v);
  return v;
}

TEST_F(sqlliteral, LiteralTable) {
  const unsigned char abyQuote[] = {'a', '\'', 'b'};
  struct Case {
    int nKind;
    Setter set;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {
      {5, [](CAny& v) { v.SetI4(7); v.SetNull(true); }, L"NULL"},
      {5, [](CAny& v) { v.SetDATEW(L""); }, L"NULL"},
      {5, [](CAny&) {}, L"NULL"},  // the empty value
      {5, [](CAny& v) { v.SetI4(-42); }, L"-42"},
      {5, [](CAny& v) { v.SetBOOL(-1); }, L"1"},
      {5, [](CAny& v) { v.SetBOOL(0); }, L"0"},
      {5, [](CAny& v) { v.SetR8(-2.25); }, L"-2.25"},
      {5,
       [](CAny& v) {
         CXYString<wchar_t> s(L"O'Hara");
         wchar_t* h = s.pGetData();
         v.__SetType(ANY_DSTRW, 0);
         v.SetValue(&h);
       },
       L"'O''Hara'"},
      {5, [](CAny& v) { v.__SetType(ANY_PSTRA, 0); v.SetValue("O'Hara"); }, L"'O''Hara'"},
      {2, [](CAny& v) { v.__SetType(ANY_PSTRW, 0); v.SetValue(L"O'Hara"); }, L"N'O''Hara'"},
      {5, [](CAny& v) { v.__SetType(ANY_PSTRW, 0); v.SetValue(L"x"); }, L"'x'"},
      {5, [](CAny& v) { v.__SetType(ANY_DSTRA, 0); }, L"''"},
      {5, [&](CAny& v) { v.SetBIN(abyQuote, sizeof abyQuote); }, L"'a''b'"},
      // A one-character value holding the zero character is the empty text.
      {5, [](CAny& v) { const char c = 0; v.__SetType(ANY_CARA, 0); v.SetValue(&c); }, L"''"},
      {2, [](CAny& v) { const wchar_t c = 0; v.__SetType(ANY_CARW, 0); v.SetValue(&c); }, L"''"},
      {5, [](CAny& v) { const char c = 'q'; v.__SetType(ANY_CARA, 0); v.SetValue(&c); }, L"'q'"},
      // No data at all.
      {5, [](CAny& v) { v.__SetType(ANY_BUFFER, 0); }, L"NULL"},
      {5, [](CAny& v) { v.SetDATEW(L"20240229"); }, L"'2024-02-29'"},
      {7, [](CAny& v) { v.SetDATEW(L"20240229"); }, L"{d '2024-02-29'}"},
      {11, [](CAny& v) { v.SetDATEA("20240229"); }, L"MDY(2,29,2024)"},
      {5, [](CAny& v) { v.SetDATEW(L"00000000"); }, L"'0000-00-00'"},
      {5, [](CAny& v) { v.SetTIMEW(L"123456789"); }, L"'12:34:56.789'"},
      {8, [](CAny& v) { v.SetTIMEW(L"123456789"); }, L"{t '12:34:56'}"},
      {11, [](CAny& v) { v.SetTIMEA("123456789"); }, L"DATETIME(12:34) HOUR TO MINUTE"},
      {5, [](CAny& v) { v.SetTIMEA("000000000"); }, L"'00:00:00.000'"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    m_cnx.SetKind(cases[i].nKind);
    const CAny v = Make(cases[i].set);
    EXPECT_EQ(cases[i].pszExpected, Literal(v)) << "case " << i << " kind " << cases[i].nKind;
  }
}

TEST_F(sqlliteral, DateTimeLiterals) {
  const std::wstring sDateTime = L"20240229123456789";
  const std::wstring sZero = L"00000000123456789";
  struct Case {
    int nKind;
    const std::wstring* ps;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {
      {5, &sDateTime, L"'2024-02-29 12:34:56.789'"},
      // The server's zero date keeps its four-digit year.
      {5, &sZero, L"'0000-00-00 12:34:56.789'"},
      {7, &sDateTime, L"{ts '2024-02-29 12:34:56.789'}"},
      {11, &sDateTime, L"DATETIME(2024-02-29 12:34:56.789) YEAR TO FRACTION"},
  };
  for (const Case& c : cases) {
    m_cnx.SetKind(c.nKind);
    CAny vText;
    vText.__SetType(ANY_PSTRW, 0);
    vText.SetValue(c.ps->c_str());
    CAny v(vText);
    ASSERT_LE(v.__nCastTo(ANY_DATETIME, nullptr, 0), 99);
    EXPECT_EQ(c.pszExpected, Literal(v)) << c.nKind << " " << *c.ps;
  }
  // Kind 2 writes a year 0 as 1900.
  m_cnx.SetKind(2);
  CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 16);
  CXTime t(0, 3, 4, 5, 6, 7);
  ASSERT_TRUE(m_cnx._bDateTimeToString(nullptr, &out, t, 0));
  EXPECT_STREQ(L"'1900-03-04 05:06:07.000'", out.pszGetW());
}

TEST_F(sqlliteral, DecimalCommaBecomesPoint) {
  m_vm->SetNumberSeparator(L',');
  CAny v;
  v.SetR8(1.5);
  EXPECT_EQ(L"1.5", Literal(v));
  m_vm->SetNumberSeparator(L'.');
}

TEST_F(sqlliteral, InvalidDateIsUserError43) {
  CAny v;
  v.SetDATEW(L"20241399");
  CNAError err;
  EXPECT_EQ(L"<false>", Literal(v, NA_IT_EMPTY, &err));
  EXPECT_EQ(43u, err.nGetUserErrorCode());
  // Without an error object the failure is still a failure.
  CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 16);
  EXPECT_FALSE(m_cnx.bConvertValueToString(nullptr, &out, &v, NA_IT_EMPTY, NA_IT_EMPTY));
}

TEST_F(sqlliteral, BinaryPrefixWritesHexadecimal) {
  const unsigned char aby[] = {0x01, 0xAB, 0x00, 0xFF};
  m_cnx.m_csBinaryPrefix.Set(L"0x");
  m_cnx.m_csBinarySuffix.Set(L"!");
  CAny v;
  v.SetBIN(aby, sizeof aby);
  EXPECT_EQ(L"0x01AB00FF!", Literal(v, NA_IT_BINAIRE));
  m_cnx.SetKind(4);
  CAny vEmpty;
  vEmpty.SetBIN(nullptr, 0);
  EXPECT_EQ(L"''", Literal(vEmpty, NA_IT_BINAIRE));
}

TEST_F(sqlliteral, EscapeStringAppendsAndConvertEmptiesFirst) {
  CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 16);
  out.Add(L"x=", 2);
  unsigned char aby[] = {'i', 't', '\'', 's'};
  ASSERT_TRUE(m_cnx._bEscapeString(nullptr, &out, ANY_PSTRA, aby, sizeof aby));
  EXPECT_STREQ(L"x='it''s'", out.pszGetW());
  ASSERT_TRUE(m_cnx._bEscapeString(nullptr, &out, ANY_PSTRA, aby, 0));
  EXPECT_STREQ(L"x='it''s'''", out.pszGetW());
  // Trailing zero characters of a wide text are not part of it.
  const wchar_t aw[] = {L'a', 0, 0};
  CTStringConcatAW outW(CONCAT_CP_WIDE, 1252, 16);
  ASSERT_TRUE(m_cnx._bEscapeString(nullptr, &outW, ANY_PSTRW,
                                   reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(aw)), sizeof aw));
  EXPECT_STREQ(L"'a'", outW.pszGetW());
  // The literal of a whole value never keeps what the buffer held.
  CAny v;
  v.__SetType(ANY_PSTRA, 0);
  v.SetValue("a");
  EXPECT_EQ(L"'a'", Literal(v));
}

TEST_F(sqlliteral, NationalTextIntoEightBitBufferIsUtf8) {
  m_cnx.SetKind(2);
  CTStringConcatAW out(65001, 65001, 16);
  const wchar_t aw[] = {L'\u00e9', L'\''};
  ASSERT_TRUE(m_cnx._bEscapeString(nullptr, &out, ANY_PSTRW,
                                   reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(aw)), sizeof aw));
  EXPECT_STREQ("N'\xC3\xA9'''", out.pszGetA());
}

// ---- Casts ----------------------------------------------------------------

TEST_F(sqlliteral, CastI8ForI4KeepsOnlyOutOfRangeValues) {
  struct Case {
    std::int64_t n;
    unsigned short wAfter;
  };
  const Case cases[] = {{2147483647, ANY_I8},  {2147483646, ANY_I4}, {-2147483647, ANY_I4},
                        {-2147483648LL, ANY_I8}, {0, ANY_I4}};
  for (const Case& c : cases) {
    CAny v;
    v.SetI8(c.n);
    CNAError err;
    EXPECT_TRUE(m_cnx.bCastCAnyIntoDBType(&err, &v, NA_IT_I4, NA_IT_EMPTY, 0)) << c.n;
    EXPECT_EQ(c.wAfter, v.nGetTypeCode()) << c.n;
    EXPECT_EQ(std::to_wstring(c.n), TextOf(v)) << c.n;
  }
  // Exact casts always convert: 2147483647 fits an I4.
  CAny v;
  v.SetI8(2147483647);
  EXPECT_TRUE(m_cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_I4, NA_IT_EMPTY, 1));
  EXPECT_EQ(ANY_I4, v.nGetTypeCode());
}

TEST_F(sqlliteral, CastShortHourIsCompletedWithZeros) {
  CAny v;
  v.__SetType(ANY_PSTRA, 0);
  v.SetValue("12");
  EXPECT_TRUE(m_cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_HEURE, NA_IT_EMPTY, 1));
  EXPECT_EQ(ANY_TIMEA, v.nGetTypeCode());
  EXPECT_EQ(L"120000000", TextOf(v));
  CAny w;
  w.__SetType(ANY_PSTRA, 0);
  w.SetValue("12");
  EXPECT_EQ(L"'12:00:00.000'", Literal(w, NA_IT_HEURE));
}

TEST_F(sqlliteral, CastDateAndTimeRules) {
  // A time for a date column becomes an empty date.
  CAny vTime;
  vTime.SetTIMEA("101010000");
  EXPECT_TRUE(m_cnx.bCastCAnyIntoDBType(nullptr, &vTime, NA_IT_DATE8, NA_IT_EMPTY, 1));
  EXPECT_EQ(ANY_DATEA, vTime.nGetTypeCode());
  EXPECT_EQ(L"", TextOf(vTime));
  // A time for a date-time column, and a binary for a number, stay.
  CAny vTime2;
  vTime2.SetTIMEW(L"101010000");
  EXPECT_TRUE(m_cnx.bCastCAnyIntoDBType(nullptr, &vTime2, NA_IT_DATETIME, NA_IT_EMPTY, 1));
  EXPECT_EQ(ANY_TIMEW, vTime2.nGetTypeCode());
  const unsigned char aby[] = {1, 2};
  CAny vBin;
  vBin.SetBIN(aby, 2);
  EXPECT_TRUE(m_cnx.bCastCAnyIntoDBType(nullptr, &vBin, NA_IT_I4, NA_IT_EMPTY, 1));
  EXPECT_EQ(ANY_BIN, vBin.nGetTypeCode());
  // The database type decides when there is no item type.
  CAny vText;
  vText.__SetType(ANY_PSTRA, 0);
  vText.SetValue("20240229");
  EXPECT_TRUE(m_cnx.bCastCAnyIntoDBType(nullptr, &vText, NA_IT_EMPTY, NA_IT_DATE8, 1));
  EXPECT_EQ(ANY_DATEA, vText.nGetTypeCode());
}

TEST_F(sqlliteral, FailedCastIsReportedButTrialLeavesNoError) {
  CAny v;
  v.__SetType(ANY_PSTRA, 0);
  v.SetValue("abc");
  CNAError err;
  EXPECT_FALSE(m_cnx.bCastCAnyIntoDBType(&err, &v, NA_IT_I4, NA_IT_EMPTY, 1));
  EXPECT_EQ(60u, err.nGetUserErrorCode());
  EXPECT_NE(NA_ERRORTYPE_NONE, err.eGetErrorType());
  EXPECT_FALSE(m_cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_I4, NA_IT_EMPTY, 1));

  // The literal falls back to the value as it is, and the caller's error
  // stays clean.
  CNAError clean;
  EXPECT_EQ(L"'abc'", Literal(v, NA_IT_I4, &clean));
  EXPECT_EQ(NA_ERRORTYPE_NONE, clean.eGetErrorType());
  EXPECT_EQ(0u, clean.nGetUserErrorCode());
}

// ---- Column expressions -----------------------------------------------------

TEST_F(sqlliteral, MariaDbColumnExpressions) {
  struct Case {
    eNA_ITEMTYPE e;
    std::uint32_t nSize;
    const wchar_t* pszExpected;  // null: unchanged, false
  };
  const Case cases[] = {
      {NA_IT_HEURE, 4, nullptr},
      {NA_IT_HEURE, 5, L"TIME_FORMAT(c,'%H%i')"},
      {NA_IT_HEURE, 6, L"SUBSTR(TIME_FORMAT(c,'%H%i%S'), 1, 5)"},
      {NA_IT_HEURE, 7, L"TIME_FORMAT(c,'%H%i%S')"},
      {NA_IT_HEURE, 8, L"SUBSTR(TIME_FORMAT(c,'%H%i%S%f'), 1, 7)"},
      {NA_IT_HEURE, 9, L"SUBSTR(TIME_FORMAT(c,'%H%i%S%f'), 1, 8)"},
      {NA_IT_HEURE, 10, L"SUBSTR(TIME_FORMAT(c,'%H%i%S%f'), 1, 9)"},
      {NA_IT_HEURE, 11, nullptr},
      {NA_IT_DATE8, 9, L"DATE_FORMAT(c,'%Y%m%d')"},
      {NA_IT_DATETIME, 8, L"SUBSTR(DATE_FORMAT(c,'%Y%m%d%H%i%S%f'), 1, 17)"},
      {NA_IT_I4, 4, nullptr},
      {NA_IT_TEXTE, 11, nullptr},
  };
  for (const Case& c : cases) {
    Item item(c.e, c.nSize);
    CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 16);
    out.Add(L"old", 3);
    const int b = m_cnx.bConvertExpressionToString(nullptr, &out, L"c", item.get(), nullptr);
    EXPECT_EQ(c.pszExpected != nullptr, b != 0) << c.e << "/" << c.nSize;
    EXPECT_STREQ(c.pszExpected != nullptr ? c.pszExpected : L"c", out.pszGetW()) << c.e << "/" << c.nSize;
  }
}

TEST_F(sqlliteral, OtherKindsColumnExpressions) {
  struct Case {
    int nKind;
    eNA_ITEMTYPE e;
    std::uint32_t nSize;
    const wchar_t* pszColumnType;
    int nMajor;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {
      {2, NA_IT_HEURE, 5, nullptr, -1, L"SUBSTRING(REPLACE(CONVERT(varchar(8),c,108),':',''), 1, 4)"},
      {2, NA_IT_HEURE, 8, nullptr, -1,
       L"SUBSTRING(REPLACE(REPLACE(CONVERT(varchar(12),c,114),':',''),'.',''), 1, 7)"},
      {3, NA_IT_HEURE, 9, nullptr, -1, L"(FORMAT(c,'HHmmss') + '00')"},
      {3, NA_IT_DATETIME, 8, nullptr, -1, L"(FORMAT(c,'YYYYMMddHHmmss') + '000')"},
      {7, NA_IT_HEURE, 6, nullptr, -1, L"SUBSTR(REPLACE(CHAR(TIME(c)), '.', ''), 1, 5)"},
      {11, NA_IT_HEURE, 10, nullptr, -1, L"TO_CHAR(c,'%H%M%S%F3')"},
      {13, NA_IT_DATE8, 9, nullptr, -1, L"strftime('%Y%m%d',c)"},
      {6, NA_IT_DATETIME, 8, nullptr, -1, L"TO_CHAR(c,'YYYYMMDDHH24MISSMS')"},
      {0, NA_IT_DATETIME, 8, L"TIMESTAMP", -1, L"TO_CHAR(c,'YYYYMMDDHH24MISSFF3')"},
      {0, NA_IT_DATETIME, 8, L"DATE", -1, L"TO_CHAR( CAST(c AS TIMESTAMP),'YYYYMMDDHH24MISSFF3')"},
      {0, NA_IT_HEURE, 10, L"TIMESTAMP", -1, L"TO_CHAR(c,'HH24MISSFF3')"},
      {0, NA_IT_HEURE, 9, L"DATE", 9, L"SUBSTR(TO_CHAR( CAST(c AS TIMESTAMP),'HH24MISSFF3'), 1, 8)"},
      {0, NA_IT_HEURE, 9, L"DATE", 8, L"SUBSTR((TO_CHAR(c,'HH24MISS')+'000'), 1, 8)"},
      {4, NA_IT_HEURE, 5, nullptr, -1, L"STUFF(CONVERT(VARCHAR(5),c,108), 3, 1, NULL)"},
  };
  for (const Case& c : cases) {
    m_cnx.SetKind(c.nKind);
    m_cnx.m_nServerMajor = c.nMajor;
    Item item(c.e, c.nSize);
    Item column(c.e, c.nSize, c.pszColumnType);
    CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 16);
    EXPECT_TRUE(m_cnx.bConvertExpressionToString(nullptr, &out, L"c", item.get(),
                                                 c.pszColumnType != nullptr ? column.get() : nullptr));
    EXPECT_STREQ(c.pszExpected, out.pszGetW()) << c.nKind << " " << c.e << "/" << c.nSize;
  }
}

// ---- Default values, texts of dates -------------------------------------------

TEST_F(sqlliteral, DefaultValueNullCases) {
  Item item(NA_IT_I4, 4);
  struct Case {
    int nKind;
    const wchar_t* psz;
    int bResult;
  };
  const Case cases[] = {{5, nullptr, 1}, {5, L"NULL", 1}, {5, L"null", 1}, {1, L"", 1},
                        {5, L"", 0},     {5, L"12", 0},   {5, L"'NULL'", 0}};
  for (const Case& c : cases) {
    m_cnx.SetKind(c.nKind);
    CAny v;
    EXPECT_EQ(c.bResult, m_cnx.bConvertStringToDefaultValue(&v, c.psz, item.get(), nullptr))
        << c.nKind << " " << (c.psz != nullptr ? c.psz : L"(null)");
    EXPECT_EQ(ANY_I4, v.nGetTypeCode());
    if (c.bResult) {
      EXPECT_TRUE(v.bIsNull());
    }
  }
}

TEST_F(sqlliteral, IncompleteTimeAndStandardisedDate) {
  CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 16);
  out.Add(L"old", 3);
  ASSERT_TRUE(CNAConnectionDescription::s_bTimeToStringIncomplete(nullptr, &out, L"1234", L'.'));
  EXPECT_STREQ(L"12:34:00.000", out.pszGetW());
  ASSERT_TRUE(CNAConnectionDescription::s_bTimeToStringIncomplete(nullptr, &out, L"1234567891234", L','));
  EXPECT_STREQ(L"12:34:56,789", out.pszGetW());
  CTString s(L"2024-02/29 12:34:56.789");
  CNAConnectionDescription::s_DateStandardise(&s);
  EXPECT_STREQ(L"20240229123456789", s.pszGet());
}

// ---- Hexadecimal ----------------------------------------------------------------

TEST_F(sqlliteral, HexaDecodingStopsAtSizeAndAtNonHex) {
  struct Case {
    const char* psz;
    std::vector<unsigned char> expected;  // size bytes
  };
  const Case cases[] = {
      // Longer than 2 x size: only size bytes are written.
      {"0102030405060708090A", {0x01, 0x02, 0x03}},
      {"aBcD", {0xAB, 0xCD, 0x00}},
      // Odd length: the half pair is not read.
      {"ABC", {0xAB, 0x00, 0x00}},
      // Non-hex digit ends the conversion.
      {"12G456", {0x12, 0x00, 0x00}},
      {"", {0x00, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    const std::size_t n = c.expected.size();
    // Exactly sized heap buffers: a write past them is an address-sanitizer
    // finding.
    std::unique_ptr<unsigned char[]> pA(new unsigned char[n]);
    std::unique_ptr<unsigned char[]> pW(new unsigned char[n]);
    std::memset(pA.get(), 0x5A, n);
    std::memset(pW.get(), 0x5A, n);
    CNAConnectionDescription::s_StringHexaToBinary(c.psz, pA.get(), n);
    const std::wstring sWide(c.psz, c.psz + std::strlen(c.psz));
    CNAConnectionDescription::s_StringHexaToBinary(sWide.c_str(), pW.get(), n);
    EXPECT_EQ(c.expected, std::vector<unsigned char>(pA.get(), pA.get() + n)) << c.psz;
    EXPECT_EQ(c.expected, std::vector<unsigned char>(pW.get(), pW.get() + n)) << c.psz;
  }
}

TEST_F(sqlliteral, HexaEncodingRespectsCapacity) {
  const unsigned char aby[] = {0x00, 0x7F, 0xA5};
  std::unique_ptr<wchar_t[]> pW(new wchar_t[7]);
  CNAConnectionDescription::s_BinaryToStringHexa(aby, 3, pW.get(), 7);
  EXPECT_STREQ(L"007FA5", pW.get());
  std::unique_ptr<char[]> pA(new char[6]);
  CNAConnectionDescription::s_BinaryToStringHexa(aby, 3, pA.get(), 6);
  EXPECT_STREQ("007F", pA.get());
  CNAConnectionDescription::s_BinaryToStringHexa(nullptr, 3, pA.get(), 6);
  EXPECT_STREQ("", pA.get());

  CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 4);
  out.Add(L"0x", 2);
  ASSERT_TRUE(CNAConnectionDescription::s_bBinaryToStringHexa(nullptr, aby, 3, &out));
  EXPECT_STREQ(L"0x007FA5", out.pszGetW());
}

}  // namespace
