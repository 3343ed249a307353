// SQL type names and object names on a connection: the item type and size
// of the server's column type texts (as SHOW FULL COLUMNS prints them), the
// SQL type of an item, and the quoting, unquoting and splitting of names.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNAMapConvertType.h"
#include "CTString.h"
#include "support/TestConnection.h"

namespace {

using kxtest::TestConnection;

class Item {
 public:
  Item(eNA_ITEMTYPE e, std::uint32_t nSize, int nInt = 0, int nDec = 0) : m_p(new CNAItemDescription) {
    m_p->AddRef();
    const bool bDecimal = e == NA_IT_DECIMAL;
    m_p->bInit(L"col", L"tab", L"col", 1, nSize, e, 0, 0, 0, bDecimal ? 10 : nInt, bDecimal ? 2 : nDec);
    // Digits beyond what a platform decimal holds, as a server column may
    // declare them.
    if (bDecimal) {
      m_p->SetIntegerPart(nInt);
      m_p->SetDecimalPart(nDec);
    }
  }
  ~Item() { m_p->nRelease(); }
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;
  CNAItemDescription* get() const { return m_p; }

 private:
  CNAItemDescription* m_p;
};

// A copy of the text in a heap block of exactly its size, so that a read
// past its terminator is an address-sanitizer finding.
std::unique_ptr<wchar_t[]> Exact(const wchar_t* psz) {
  const std::size_t n = std::wcslen(psz) + 1;
  std::unique_ptr<wchar_t[]> p(new wchar_t[n]);
  std::memcpy(p.get(), psz, n * sizeof(wchar_t));
  return p;
}

std::wstring Format(const TestConnection& cnx, const wchar_t* psz, bool bTable) {
  CTString out(L"stale");
  const auto p = Exact(psz);
  const int b = bTable ? cnx.bFormatTableName(nullptr, p.get(), &out) : cnx.bFormatItemName(nullptr, p.get(), &out);
  EXPECT_EQ(1, b) << psz;
  return out.pszGet();
}

TEST(sqltypename, ServerColumnTypes) {
  TestConnection cnx(nullptr, L"types", DATASOURCE_MARIADB);
  struct Case {
    const wchar_t* pszType;
    const wchar_t* pszCharset;
    eNA_ITEMTYPE e;
    std::uint32_t nSize;
  };
  const Case cases[] = {
      {L"int(10) unsigned", nullptr, NA_IT_UI4, 4},
      {L"int(11)", nullptr, NA_IT_I4, 4},
      {L"UNSIGNED int", nullptr, NA_IT_UI4, 4},
      {L"int(11) unsignedx", nullptr, NA_IT_I4, 4},
      {L"bigint(20) unsigned", nullptr, NA_IT_UI8, 8},
      {L"bigint(20)", nullptr, NA_IT_I8, 8},
      {L"int8", nullptr, NA_IT_I8, 8},
      {L"tinyint(1)", nullptr, NA_IT_I1, 1},
      {L"tinyint(3) unsigned", nullptr, NA_IT_UI1, 1},
      {L"smallint(5) unsigned", nullptr, NA_IT_UI2, 2},
      {L"mediumint(8)", nullptr, NA_IT_I4, 4},
      {L"varchar(50)", L"utf8mb4_general_ci", NA_IT_UNICODE, 102},
      {L"varchar(50)", L"utf8mb3_general_ci", NA_IT_UNICODE, 102},
      {L"varchar(50)", L"ucs2_general_ci", NA_IT_UNICODE, 102},
      // utf16 and utf32 columns stay 8-bit texts.
      {L"varchar(50)", L"utf16_general_ci", NA_IT_TEXTE, 51},
      {L"varchar(50)", L"utf32_general_ci", NA_IT_TEXTE, 51},
      {L"varchar(50)", L"latin1_swedish_ci", NA_IT_TEXTE, 51},
      {L"varchar(50)", L"", NA_IT_TEXTE, 51},
      {L"char(1)", L"latin1_swedish_ci", NA_IT_TEXTE, 2},
      {L"char(10)", nullptr, NA_IT_TEXTE, 11},
      {L"char(10)", L"utf8mb4_bin", NA_IT_UNICODE, 22},
      {L"char", nullptr, NA_IT_CHAR, 1},
      {L"nvarchar(10)", nullptr, NA_IT_UNICODE, 22},
      {L"varbinary(16)", nullptr, NA_IT_BINAIRE, 18},
      // A fixed binary reads as a memo text.
      {L"binary(4)", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"datetime(6)", nullptr, NA_IT_DATETIME, 8},
      {L"timestamp", nullptr, NA_IT_DATETIME, 8},
      {L"time(3)", nullptr, NA_IT_HEURE, 6},
      {L"year(4)", nullptr, NA_IT_DATE8, 9},
      {L"date", nullptr, NA_IT_DATE8, 9},
      {L"enum('a','b')", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"enum('a','b')", L"utf8mb4_general_ci", NA_IT_MEMOUNICODE, 8},
      {L"set('x','y')", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"text", L"utf8mb4_general_ci", NA_IT_MEMOUNICODE, 8},
      {L"longtext", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"mediumblob", L"utf8mb4_general_ci", NA_IT_MEMOBINAIRE, 8},
      {L"blob", nullptr, NA_IT_MEMOBINAIRE, 8},
      // Every bit width reads as one byte.
      {L"bit(8)", nullptr, NA_IT_I1, 1},
      {L"bit(64)", nullptr, NA_IT_I1, 1},
      {L"geometry", nullptr, NA_IT_MEMOTEXTE, 8},
      {L"double", nullptr, NA_IT_R8, 8},
      {L"float", nullptr, NA_IT_R4, 4},
      {L"real", nullptr, NA_IT_R4, 4},
  };
  for (const Case& c : cases) {
    eNA_ITEMTYPE e = NA_IT_EMPTY;
    unsigned n = 0;
    const auto p = Exact(c.pszType);
    EXPECT_EQ(1, cnx.bSQLTypeNameToNAType(nullptr, &e, &n, nullptr, nullptr, p.get(), c.pszCharset));
    EXPECT_EQ(c.e, e) << c.pszType << " " << (c.pszCharset != nullptr ? c.pszCharset : L"");
    EXPECT_EQ(c.nSize, n) << c.pszType << " " << (c.pszCharset != nullptr ? c.pszCharset : L"");
  }
  cnx.SetKind(13);
  eNA_ITEMTYPE e = NA_IT_EMPTY;
  unsigned n = 0;
  cnx.bSQLTypeNameToNAType(nullptr, &e, &n, nullptr, nullptr, L"real", nullptr);
  EXPECT_EQ(NA_IT_R8, e);
  EXPECT_EQ(8u, n);
}

TEST(sqltypename, DecimalsThroughTheirFormat) {
  TestConnection cnx(nullptr, L"types", DATASOURCE_MARIADB);
  struct Case {
    const wchar_t* pszType;
    int nInteger;
    int nScale;
  };
  const Case cases[] = {
      {L"decimal(10,2)", 8, 2},
      // 19 integer digits are a 64-bit integer.
      {L"decimal(19,0)", 19, 0},
      {L"decimal(65,30) unsigned", 35, 30},
      {L"numeric( 7 , 3 )", 4, 3},
      {L"dec(5)", 5, 0},
      // Without a well-formed "(p,s)": the server's default DECIMAL(10,0).
      {L"decimal", 10, 0},
      {L"decimal(10,2", 10, 0},
      {L"decimal(10,", 10, 0},
      {L"decimal(x,2)", 10, 0},
      {L"decimal(99999999999,2)", 10, 0},
  };
  for (const Case& c : cases) {
    eNA_ITEMTYPE e = NA_IT_EMPTY;
    unsigned n = 0;
    unsigned nPrecision = 99;
    unsigned nScale = 99;
    const auto p = Exact(c.pszType);
    EXPECT_EQ(1, cnx.bSQLTypeNameToNAType(nullptr, &e, &n, &nPrecision, &nScale, p.get(), nullptr));
    std::uint32_t nExpectedSize = 0;
    const eNA_ITEMTYPE eExpected = CNAItemDescription::s_GetTypeFromFormat(c.nInteger, c.nScale, &nExpectedSize);
    EXPECT_EQ(eExpected, e) << c.pszType;
    EXPECT_EQ(nExpectedSize, n) << c.pszType;
    EXPECT_EQ(static_cast<unsigned>(c.nInteger), nPrecision) << c.pszType;
    EXPECT_EQ(static_cast<unsigned>(c.nScale), nScale) << c.pszType;
  }
  // The two the driver meets most.
  eNA_ITEMTYPE e = NA_IT_EMPTY;
  unsigned n = 0;
  cnx.bSQLTypeNameToNAType(nullptr, &e, &n, nullptr, nullptr, L"decimal(19,0)", nullptr);
  EXPECT_EQ(NA_IT_I8, e);
  cnx.bSQLTypeNameToNAType(nullptr, &e, &n, nullptr, nullptr, L"decimal(10,2)", nullptr);
  EXPECT_EQ(NA_IT_MONETAIRE, e);
}

TEST(sqltypename, SizeDeclarationNeverReadsPastTheText) {
  TestConnection cnx(nullptr, L"types", DATASOURCE_MARIADB);
  struct Case {
    const wchar_t* pszText;
    int n;
  };
  const Case cases[] = {
      {L"VARCHAR(50)", 50},         {L"VARCHAR \t( 50\r\n)", 50}, {L"VARCHAR", 1},
      {L"VARCHAR(", 1},             {L"VARCHAR(5", 1},            {L"VARCHAR(5 ", 1},
      {L"VARCHAR()", 1},            {L"VARCHAR(x)", 1},           {L"VARCHAR(-5)", 1},
      {L"VARCHAR(2147483647)", 2147483647}, {L"VARCHAR(2147483648)", 1}, {L"VARCHAR(99999999999999999999)", 1},
      {L"VAR", 1},                  {L"", 1},
  };
  for (const Case& c : cases) {
    const auto p = Exact(c.pszText);
    EXPECT_EQ(c.n, cnx._nGetSizeInTypeDecl(p.get(), L"VARCHAR")) << c.pszText;
  }
  EXPECT_EQ(1, cnx._nGetSizeInTypeDecl(nullptr, L"VARCHAR"));

  // Sizes derived from the largest declaration do not wrap to small ones.
  struct Derived {
    const wchar_t* pszType;
    const wchar_t* pszCharset;
    unsigned nSize;
  };
  const Derived derived[] = {
      {L"varchar(2147483647)", nullptr, 2147483648u},
      {L"nvarchar(2147483647)", nullptr, 0xFFFFFFFFu},
      {L"varchar(2147483647)", L"utf8mb4_bin", 0xFFFFFFFFu},
      {L"varbinary(2147483647)", nullptr, 2147483649u},
      {L"varchar(4294967296)", nullptr, 2},
  };
  for (const Derived& d : derived) {
    eNA_ITEMTYPE e = NA_IT_EMPTY;
    unsigned n = 0;
    cnx.bSQLTypeNameToNAType(nullptr, &e, &n, nullptr, nullptr, d.pszType, d.pszCharset);
    EXPECT_EQ(d.nSize, n) << d.pszType;
  }
}

// ---- SQL type of an item ----------------------------------------------------

TEST(sqltypename, MatchingSQLType) {
  TestConnection cnx(nullptr, L"types", DATASOURCE_MARIADB);
  struct Case {
    int nKind;
    eNA_ITEMTYPE e;
    std::uint32_t nSize;
    int nInt;
    int nDec;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {
      // The server's limits: 64 digits, 30 decimals.
      {5, NA_IT_DECIMAL, 0, 40, 40, L"NUMERIC(64,30)"},
      {5, NA_IT_DECIMAL, 0, 10, 2, L"NUMERIC(12,2)"},
      {5, NA_IT_DECIMAL, 0, 60, 10, L"NUMERIC(64,10)"},
      {3, NA_IT_TEXTE, 301, 0, 0, L"TEXT"},
      {3, NA_IT_TEXTE, 200, 0, 0, L"VARCHAR(199)"},
      {5, NA_IT_TEXTE, 51, 0, 0, L"VARCHAR(50)"},
      {5, NA_IT_I4, 4, 0, 0, L"INTEGER"},
      {5, NA_IT_DATETIME, 8, 0, 0, L"TIMESTAMP"},
  };
  for (const Case& c : cases) {
    cnx.SetKind(c.nKind);
    Item item(c.e, c.nSize, c.nInt, c.nDec);
    CTString out;
    EXPECT_EQ(1, cnx.bGetMatchingSQLType(nullptr, item.get(), &out)) << c.nKind << " " << c.e;
    EXPECT_STREQ(c.pszExpected, out.pszGet()) << c.nKind << " " << c.e;
  }
  // The map is made once and kept.
  CNAMapConvertType* pMap = cnx.m_pclMapConvertType;
  ASSERT_NE(nullptr, pMap);
  Item item(NA_IT_I2, 2);
  CTString out;
  EXPECT_EQ(1, cnx.bGetMatchingSQLType(nullptr, item.get(), &out));
  EXPECT_EQ(pMap, cnx.m_pclMapConvertType);
  EXPECT_STREQ(L"SMALLINT", out.pszGet());
  // A type the map has no row for is refused.
  Item memo(NA_IT_MEMOBINAIRE, 8);
  EXPECT_EQ(0, cnx.bGetMatchingSQLType(nullptr, memo.get(), &out));
}

TEST(sqltypename, UnicodeItemRefusedWhenNotAllowed) {
  TestConnection cnx(nullptr, L"types", DATASOURCE_MARIADB);
  cnx.m_bUnicodeTypesAllowed = 0;
  Item item(NA_IT_UNICODE, 22);
  CTString out(L"kept");
  CNAError err;
  EXPECT_EQ(0, cnx.bGetMatchingSQLType(&err, item.get(), &out));
  EXPECT_EQ(46u, err.nGetUserErrorCode());
  EXPECT_STREQ(L"tab", err.pszGetLogicalTableName());
  EXPECT_STREQ(L"col", err.pszGetItemName());
  EXPECT_STREQ(L"kept", out.pszGet());
  EXPECT_EQ(0, cnx.bGetMatchingSQLType(nullptr, item.get(), &out));
  cnx.m_bUnicodeTypesAllowed = 1;
  EXPECT_EQ(1, cnx.bGetMatchingSQLType(&err, item.get(), &out));
  EXPECT_STREQ(L"NVARCHAR(10)", out.pszGet());
}

// ---- Names ------------------------------------------------------------------------

TEST(sqltypename, BackquotedNames) {
  TestConnection cnx(nullptr, L"names", DATASOURCE_MARIADB);
  struct Case {
    const wchar_t* pszName;
    const wchar_t* pszItem;
    const wchar_t* pszTable;
  };
  const Case cases[] = {
      {L"order", L"`order`", L"`order`"},
      {L"DROP", L"`DROP`", L"`DROP`"},
      // A closing quote inside a name is doubled.
      {L"a`b", L"`a``b`", L"`a``b`"},
      {L"t` ; DROP TABLE x; --", L"`t`` ; DROP TABLE x; --`", L"`t`` ; DROP TABLE x; --`"},
      // Already well-formed quoting stays.
      {L"`a``b`", L"`a``b`", L"`a``b`"},
      {L"`x`", L"`x`", L"`x`"},
      {L"`db`.`tab`", L"`db`.`tab`", L"`db`.`tab`"},
      // Beginning with a quote is not enough.
      {L"`x", L"```x`", L"```x`"},
      {L"`a`b`", L"```a``b```", L"```a``b```"},
      {L"`a` OR 1", L"```a`` OR 1`", L"```a`` OR 1`"},
      // Tables are quoted piece by piece, split only outside quoted pieces.
      {L"db.tab", L"`db.tab`", L"`db`.`tab`"},
      {L"x.`y`", L"`x.``y```", L"`x`.`y`"},
      {L"`d.b`.tab", L"```d.b``.tab`", L"`d.b`.`tab`"},
      {L"`a``.b`.c", L"```a````.b``.c`", L"`a``.b`.`c`"},
      {L"`open.x", L"```open.x`", L"```open.x`"},
      {L"", L"``", L"``"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.pszItem, Format(cnx, c.pszName, false)) << c.pszName;
    EXPECT_EQ(c.pszTable, Format(cnx, c.pszName, true)) << c.pszName;
  }
}

TEST(sqltypename, UnFormatUndoesQuoting) {
  TestConnection cnx(nullptr, L"names", DATASOURCE_MARIADB);
  struct Case {
    const wchar_t* pszName;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {
      {L"`a``b`", L"a`b"}, {L"`x`", L"x"},   {L"order", L"order"}, {L"``", L"``"},
      {L"`", L"`"},        {L"`a", L"`a"},   {L"```", L"```"},     {L"`a`.`b`", L"a"},
  };
  for (const Case& c : cases) {
    CTString out(L"stale");
    const auto p = Exact(c.pszName);
    cnx.UnFormatItemName(p.get(), &out);
    EXPECT_STREQ(c.pszExpected, out.pszGet()) << c.pszName;
  }
  // Every name comes back from its quoted form.
  for (const wchar_t* psz : {L"plain", L"a`b", L"``", L"`x", L"x`", L"a``b", L"sp ace"}) {
    CTString out;
    const std::wstring sQuoted = Format(cnx, psz, false);
    cnx.UnFormatItemName(sQuoted.c_str(), &out);
    EXPECT_STREQ(psz, out.pszGet()) << sQuoted;
  }
}

TEST(sqltypename, QuotingOfOtherKinds) {
  // No quotes configured: names stay.
  TestConnection cnx(nullptr, L"names", DATASOURCE_DEFAULT);
  EXPECT_EQ(L"a`b c", Format(cnx, L"a`b c", false));
  EXPECT_EQ(L"db.tab", Format(cnx, L"db.tab", true));

  // Brackets: the closing one is doubled.
  cnx.m_csOpeningQuote.Set(L"[");
  cnx.m_nOpeningQuoteLength = 1;
  cnx.m_csClosingQuote.Set(L"]");
  cnx.m_nClosingQuoteLength = 1;
  EXPECT_EQ(L"[a]]b]", Format(cnx, L"a]b", false));
  EXPECT_EQ(L"[a]]b]", Format(cnx, L"[a]]b]", false));
  EXPECT_EQ(L"[d.b].[t]", Format(cnx, L"[d.b].t", true));

  // Kind 1 quotes only what its own rule names.
  cnx.SetKind(1);
  cnx.m_csOpeningQuote.Set(L"\"");
  cnx.m_nOpeningQuoteLength = 1;
  cnx.m_csClosingQuote.Set(L"\"");
  cnx.m_nClosingQuoteLength = 1;
  EXPECT_EQ(L"abc", Format(cnx, L"abc", false));
  EXPECT_EQ(L"\"my col\"", Format(cnx, L"my col", false));
  EXPECT_EQ(L"\"Group\"", Format(cnx, L"Group", false));
}

TEST(sqltypename, ReservedWordsAndTheOtherKindsRule) {
  struct Case {
    const wchar_t* psz;
    int bReserved;
    int bNeedFormat;
  };
  const Case cases[] = {
      {L"GROUP", 1, 1},   {L"group", 1, 1},  {L"groups", 0, 0}, {L"order", 0, 0}, {L"_x", 0, 1},
      {L"a b", 0, 1},     {L"a-b", 0, 1},    {L"a\u00b0", 0, 1}, {L"[a b]", 0, 0}, {L"\"a b\"", 0, 0},
      {L"x_", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.bReserved, CNAConnectionDescription::s_bReservedSQLWord(c.psz)) << c.psz;
    EXPECT_EQ(c.bNeedFormat, CNAConnectionDescription::s_bNeedFormat_Oracle(c.psz)) << c.psz;
  }
}

TEST(sqltypename, DecomposeAndExtractOwner) {
  TestConnection cnx(nullptr, L"names", DATASOURCE_MARIADB);
  struct Case {
    const wchar_t* pszName;
    const wchar_t* pszCatalog;
    const wchar_t* pszOwner;
    const wchar_t* pszTable;
  };
  const Case cases[] = {
      {L"tab", L"", L"", L"tab"},
      {L" db . tab ", L"", L"db", L"tab"},
      {L"cat.own.tab.x", L"cat", L"own", L"tab.x"},
      {L"", L"", L"", L""},
  };
  for (const Case& c : cases) {
    CTString cat(L"s"), own(L"s"), tab(L"s");
    cnx.DecomposeTableName(&cat, &own, &tab, c.pszName);
    EXPECT_STREQ(c.pszCatalog, cat.pszGet()) << c.pszName;
    EXPECT_STREQ(c.pszOwner, own.pszGet()) << c.pszName;
    EXPECT_STREQ(c.pszTable, tab.pszGet()) << c.pszName;
  }

  struct Owner {
    const wchar_t* pszOwner;
    const wchar_t* pszName;
    const wchar_t* pszOutOwner;
    const wchar_t* pszOutTable;
  };
  const Owner owners[] = {
      {L"", L"db.tab", L"db", L"tab"},
      {L"me", L"db.tab", L"me", L"db.tab"},
      {L"", L"tab", L"o", L"tab"},
      {L"me", L"", L"me", L"t"},
      {L"", L"", L"o", L"t"},
  };
  for (const Owner& o : owners) {
    CTString outOwner(L"o"), outTable(L"t");
    EXPECT_EQ(1, cnx.bExtractOwner(o.pszOwner, o.pszName, &outOwner, &outTable));
    EXPECT_STREQ(o.pszOutOwner, outOwner.pszGet()) << o.pszOwner << "|" << o.pszName;
    EXPECT_STREQ(o.pszOutTable, outTable.pszGet()) << o.pszOwner << "|" << o.pszName;
  }
}

}  // namespace
