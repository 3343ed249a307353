// The MariaDB/MySQL connection's type vocabularies without a server: the
// SQL type texts it enters in the item-type map for each server version,
// the item type and record size of each result column type, the names of
// the column types, and which character sets count as Unicode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#include "CMySQLConnection.h"
#include "CNAItemDescription.h"
#include "CNAMapConvertType.h"
#include "nativeaccess/support/TestConnection.h"

namespace {

// A connection that believes it talks to a server of the given version.
class VersionedConnection : public CMySQLConnection {
 public:
  VersionedConnection(kxtest::TestHostDescription* host, const wchar_t* version)
      : CMySQLConnection(L"typemap", host) {
    m_csServerVersion.Set(version);
    _bDecomposeServerVersion(nullptr);
  }

  // The map's row for eType: its text and flag; "<none>" without one.
  std::wstring Row(eNA_ITEMTYPE eType, int* pbPlaceholders) {
    CNATypeInfo* p = nullptr;
    if (m_pclMapConvertType == nullptr || !m_pclMapConvertType->bGetElement(eType, &p))
      return L"<none>";
    std::wstring s = p->pszGetType();
    *pbPlaceholders = p->bHasPlaceholders();
    p->nRelease();
    return s;
  }
  unsigned nRows() const {
    return m_pclMapConvertType != nullptr ? m_pclMapConvertType->dwGetNumElement() : 0;
  }
};

// A description held by the test (one internal reference). A decimal gets
// its digits after its description, so that digit counts too large for a
// platform decimal (which the description itself would turn into a double)
// stay a decimal, as a runtime's own description may state them.
class Item {
 public:
  Item(eNA_ITEMTYPE e, std::uint32_t nSize, int nInt = 0, int nDec = 0, std::uint16_t keys = 0)
      : m_p(new CNAItemDescription) {
    m_p->AddRef();
    m_p->bInit(L"I", L"", L"", 1, nSize, e, 0, 0, keys, 1, 0);
    if (e == NA_IT_DECIMAL) {
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

// The SQL type of an item as a table creation on `cnx` writes it; the
// first call builds the connection's map.
std::wstring SqlType(VersionedConnection& cnx, eNA_ITEMTYPE e, std::uint32_t nSize, int nInt = 0,
                     int nDec = 0, std::uint16_t keys = 0) {
  Item item(e, nSize, nInt, nDec, keys);
  CTString out;
  if (!cnx.bGetMatchingSQLType(nullptr, item.get(), &out)) return L"<refused>";
  return out.pszGet();
}

struct MapRow {
  eNA_ITEMTYPE e;
  const wchar_t* psz;
  int bPlaceholders;
};

// Every row of a current server's map; the generic rows kept as they are
// included, so that a row lost or replaced by mistake shows.
const MapRow kCurrentRows[] = {
    {NA_IT_IDAUTO, L"BIGINT", 0},
    {NA_IT_TEXTE, L"VARCHAR(%d)", 1},
    {NA_IT_I2, L"SMALLINT", 0},
    {NA_IT_I1, L"TINYINT", 0},
    {NA_IT_I4, L"INTEGER", 0},
    {NA_IT_R4, L"FLOAT", 0},
    {NA_IT_R8, L"DOUBLE", 0},
    {NA_IT_UI2, L"SMALLINT UNSIGNED", 0},
    {NA_IT_DATE6, L"DATE", 0},
    {NA_IT_HEURE, L"TIME", 0},
    {NA_IT_UI1, L"TINYINT UNSIGNED", 0},
    {NA_IT_REELTURBO, L"DOUBLE", 0},
    {NA_IT_DATE8, L"DATE", 0},
    {NA_IT_MEMOTEXTE, L"LONGTEXT", 0},
    {NA_IT_MEMOBINAIRE4, L"LONGBLOB", 0},
    {NA_IT_MONETAIRE, L"NUMERIC(24,6)", 0},
    {NA_IT_MEMOBINAIRE, L"LONGBLOB", 0},
    {NA_IT_I8, L"BIGINT", 0},
    {NA_IT_UI8, L"BIGINT UNSIGNED", 0},
    {NA_IT_IMAGE, L"CHARACTER(%d)", 1},
    {NA_IT_UI4, L"INTEGER UNSIGNED", 0},
    {NA_IT_BINAIRE, L"VARBINARY(%d)", 1},
    {NA_IT_DATETIME, L"DATETIME", 0},
    {NA_IT_TIMELENGHT, L"BIGINT", 0},
    {NA_IT_CHAR, L"CHARACTER", 0},
    {NA_IT_BOOLEEN, L"TINYINT", 0},
    {NA_IT_IDAUTO4, L"INTEGER", 0},
    {NA_IT_UNICODE, L"VARCHAR(%d) CHARACTER SET utf8mb4", 1},
    {NA_IT_MEMOUNICODE, L"LONGTEXT CHARACTER SET utf8mb4", 0},
    {NA_IT_DECIMAL, L"NUMERIC(%d,%d)", 1},
};

TEST(mysqlTypemap, EveryRowOfACurrentServer) {
  kxtest::TestHostDescription host;
  VersionedConnection cnx(&host, L"10.11.6-MariaDB-log");
  // Before the base has made the map there is nothing to fill.
  cnx._InitXQ2NativeType();
  EXPECT_EQ(cnx.nRows(), 0u);
  // Building the map is what the first type request does.
  EXPECT_EQ(SqlType(cnx, NA_IT_I4, 4), L"INTEGER");
  for (const MapRow& r : kCurrentRows) {
    int b = -1;
    EXPECT_EQ(cnx.Row(r.e, &b), r.psz) << g_pszGetNAItemTypeName(r.e);
    EXPECT_EQ(b, r.bPlaceholders) << g_pszGetNAItemTypeName(r.e);
  }
  // Nothing else: item types 0 and 8 have no row.
  EXPECT_EQ(cnx.nRows(), std::size(kCurrentRows));
  int b = -1;
  EXPECT_EQ(cnx.Row(NA_IT_EMPTY, &b), L"<none>");
  EXPECT_EQ(cnx.Row(NA_IT_UNKNOWN_8, &b), L"<none>");
}

TEST(mysqlTypemap, ServerVersionDecidesMemoBinaryAndUnicodeTexts) {
  struct Case {
    const wchar_t* version;
    const wchar_t* memoText;
    const wchar_t* binary;
    const wchar_t* unicode;
    const wchar_t* memoUnicode;
  } const cases[] = {
      {L"3.23.58", L"LONGBLOB", L"VARCHAR(%d) BINARY", L"VARCHAR(%d)", L"LONGBLOB"},
      {L"4.0.27", L"LONGTEXT", L"VARCHAR(%d) BINARY", L"VARCHAR(%d)", L"LONGTEXT"},
      {L"4.1.1", L"LONGTEXT", L"VARCHAR(%d) BINARY", L"VARCHAR(%d) CHARACTER SET ucs2",
       L"LONGTEXT CHARACTER SET ucs2"},
      {L"4.1.2", L"LONGTEXT", L"VARBINARY(%d)", L"VARCHAR(%d) CHARACTER SET ucs2",
       L"LONGTEXT CHARACTER SET ucs2"},
      {L"5.0.96", L"LONGTEXT", L"VARBINARY(%d)", L"VARCHAR(%d) CHARACTER SET ucs2",
       L"LONGTEXT CHARACTER SET ucs2"},
      // utf8mb4, the set of the Unicode sessions, from 5.5.3 on.
      {L"5.5.2", L"LONGTEXT", L"VARBINARY(%d)", L"VARCHAR(%d) CHARACTER SET ucs2",
       L"LONGTEXT CHARACTER SET ucs2"},
      {L"5.5.3", L"LONGTEXT", L"VARBINARY(%d)", L"VARCHAR(%d) CHARACTER SET utf8mb4",
       L"LONGTEXT CHARACTER SET utf8mb4"},
      {L"10.11.6-MariaDB", L"LONGTEXT", L"VARBINARY(%d)", L"VARCHAR(%d) CHARACTER SET utf8mb4",
       L"LONGTEXT CHARACTER SET utf8mb4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.version)));
    kxtest::TestHostDescription host;
    VersionedConnection cnx(&host, c.version);
    SqlType(cnx, NA_IT_I4, 4);
    int b = -1;
    EXPECT_EQ(cnx.Row(NA_IT_MEMOTEXTE, &b), c.memoText);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(cnx.Row(NA_IT_BINAIRE, &b), c.binary);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(cnx.Row(NA_IT_UNICODE, &b), c.unicode);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(cnx.Row(NA_IT_MEMOUNICODE, &b), c.memoUnicode);
    EXPECT_EQ(b, 0);
    // The rows that do not depend on the server are there at every version.
    EXPECT_EQ(cnx.Row(NA_IT_UI8, &b), L"BIGINT UNSIGNED");
    EXPECT_EQ(cnx.nRows(), std::size(kCurrentRows));
  }
}

TEST(mysqlTypemap, FormattedTypesForTableCreation) {
  struct Case {
    const wchar_t* version;
    eNA_ITEMTYPE e;
    std::uint32_t nSize;  // element size in the record
    int nInt, nDec;
    const wchar_t* expected;
  } const cases[] = {
      // 50 characters: 2 x 50 + 2 bytes as UTF-16.
      {L"5.7.44", NA_IT_UNICODE, 102, 0, 0, L"VARCHAR(50) CHARACTER SET utf8mb4"},
      {L"5.1.73", NA_IT_UNICODE, 102, 0, 0, L"VARCHAR(50) CHARACTER SET ucs2"},
      {L"4.0.27", NA_IT_UNICODE, 102, 0, 0, L"VARCHAR(50)"},
      {L"5.7.44", NA_IT_MEMOUNICODE, 8, 0, 0, L"LONGTEXT CHARACTER SET utf8mb4"},
      {L"4.0.27", NA_IT_MEMOUNICODE, 8, 0, 0, L"LONGTEXT"},
      {L"3.23.58", NA_IT_MEMOUNICODE, 8, 0, 0, L"LONGBLOB"},
      {L"3.23.58", NA_IT_MEMOTEXTE, 8, 0, 0, L"LONGBLOB"},
      // 10 bytes after the 2-byte length.
      {L"4.1.2", NA_IT_BINAIRE, 12, 0, 0, L"VARBINARY(10)"},
      {L"4.1.1", NA_IT_BINAIRE, 12, 0, 0, L"VARCHAR(10) BINARY"},
      {L"10.11.6", NA_IT_TEXTE, 41, 0, 0, L"VARCHAR(40)"},
      {L"10.11.6", NA_IT_IMAGE, 16, 0, 0, L"CHARACTER(16)"},
      {L"10.11.6", NA_IT_MEMOBINAIRE, 8, 0, 0, L"LONGBLOB"},
      // The server's decimal limits: at most 30 decimals and 64 digits.
      {L"10.11.6", NA_IT_DECIMAL, 18, 40, 35, L"NUMERIC(64,30)"},
      {L"10.11.6", NA_IT_DECIMAL, 8, 10, 2, L"NUMERIC(12,2)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.version) + L" " +
                                        g_pszGetNAItemTypeName(c.e)));
    kxtest::TestHostDescription host;
    VersionedConnection cnx(&host, c.version);
    EXPECT_EQ(SqlType(cnx, c.e, c.nSize, c.nInt, c.nDec), c.expected);
  }
}

// A Unicode key item is indexed whole: where its utf8mb4 key (4 bytes a
// character) passes the server's default key limit (3072 bytes from
// MariaDB 10.2.2 and MySQL 5.7.7, 767 before) and its ucs2 key does not,
// it keeps ucs2; every other Unicode item is utf8mb4.
TEST(mysqlTypemap, UnicodeKeyItemsKeepUcs2OnlyWhereTheKeyWouldNotFit) {
  constexpr std::uint16_t knUnique = CNAItemDescription::KEY_UNIQUE;
  constexpr std::uint16_t knPrimary = CNAItemDescription::KEY_PRIMARY | CNAItemDescription::KEY_UNIQUE;
  struct Case {
    const wchar_t* version;
    std::uint32_t nChars;
    std::uint16_t keys;
    const wchar_t* charset;
  } const cases[] = {
      {L"10.11.6-MariaDB", 768, knUnique, L"utf8mb4"},
      {L"10.11.6-MariaDB", 769, knUnique, L"ucs2"},
      {L"10.11.6-MariaDB", 769, knPrimary, L"ucs2"},
      {L"10.11.6-MariaDB", 769, 0, L"utf8mb4"},
      // Too long for either: ucs2 would not help.
      {L"10.11.6-MariaDB", 1537, knUnique, L"utf8mb4"},
      {L"10.2.1-MariaDB", 192, knUnique, L"ucs2"},
      {L"10.2.2-MariaDB", 192, knUnique, L"utf8mb4"},
      {L"5.5.68-MariaDB", 191, knPrimary, L"utf8mb4"},
      {L"5.5.68-MariaDB", 192, knPrimary, L"ucs2"},
      {L"5.7.6", 192, knUnique, L"ucs2"},
      {L"5.7.7", 192, knUnique, L"utf8mb4"},
      {L"8.0.36", 769, knUnique, L"ucs2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.version) + L" " + std::to_wstring(c.nChars)) +
                 " keys " + std::to_string(c.keys));
    kxtest::TestHostDescription host;
    VersionedConnection cnx(&host, c.version);
    EXPECT_EQ(SqlType(cnx, NA_IT_UNICODE, 2 * c.nChars + 2, 0, 0, c.keys),
              L"VARCHAR(" + std::to_wstring(c.nChars) + L") CHARACTER SET " + c.charset);
  }
}

struct ColumnCase {
  int fieldType;
  int length;
  int digits;
  int decimals;
  unsigned charset;
  eNA_ITEMTYPE type;
  unsigned size;
};

void CheckColumns(const ColumnCase* begin, const ColumnCase* end) {
  for (const ColumnCase* c = begin; c != end; ++c) {
    SCOPED_TRACE(testing::Message() << "type " << c->fieldType << " length " << c->length
                                    << " digits " << c->digits << "," << c->decimals
                                    << " charset " << c->charset);
    eNA_ITEMTYPE type = NA_IT_UNKNOWN_8;
    unsigned size = 12345;
    CMySQLConnection::ConvertItemType(&type, &size, c->fieldType, c->length, c->digits,
                                      c->decimals, c->charset);
    EXPECT_EQ(type, c->type) << g_pszGetNAItemTypeName(type);
    EXPECT_EQ(size, c->size);
  }
}

TEST(mysqlTypemap, ColumnTypesGiveItemTypeAndSize) {
  std::uint32_t n17 = 0;
  const eNA_ITEMTYPE e17 = CNAItemDescription::s_GetTypeFromFormat(15, 2, &n17);
  const ColumnCase cases[] = {
      // Decimals take the item type of their digits.
      {0, 12, 10, 2, 63, NA_IT_MONETAIRE, 10},
      {246, 12, 10, 6, 63, NA_IT_MONETAIRE, 10},
      {246, 5, 4, 0, 63, NA_IT_I2, 2},
      {246, 20, 15, 2, 63, e17, n17},
      {246, 40, 30, 9, 63, NA_IT_R8, 8},
      {1, 4, 0, 0, 63, NA_IT_I1, 1},
      {2, 6, 0, 0, 63, NA_IT_I2, 2},
      {3, 11, 0, 0, 63, NA_IT_I4, 4},
      {9, 9, 0, 0, 63, NA_IT_I4, 4},
      {4, 12, 0, 0, 63, NA_IT_R4, 4},
      {5, 22, 0, 0, 63, NA_IT_R8, 8},
      {6, 0, 0, 0, 63, NA_IT_EMPTY, 0},
      {7, 19, 0, 0, 63, NA_IT_DATETIME, 8},
      {8, 20, 0, 0, 63, NA_IT_I8, 8},
      {10, 10, 0, 0, 63, NA_IT_DATE8, 9},
      // Times, years and the old date form are read as date-times.
      {11, 10, 0, 0, 63, NA_IT_DATETIME, 8},
      {12, 19, 0, 0, 63, NA_IT_DATETIME, 8},
      {13, 4, 0, 0, 63, NA_IT_DATETIME, 8},
      {14, 10, 0, 0, 63, NA_IT_DATETIME, 8},
      // BIT: its bytes after a 2-byte length; length 0 still gets 3.
      {16, 0, 0, 0, 63, NA_IT_BINAIRE, 3},
      {16, 1, 0, 0, 63, NA_IT_BINAIRE, 3},
      {16, 64, 0, 0, 63, NA_IT_BINAIRE, 66},
      // Enumerations and sets are read as the member's number.
      {247, 5, 0, 0, 33, NA_IT_I4, 4},
      {248, 11, 0, 0, 8, NA_IT_I4, 4},
      // Blobs by character set: 0 text, 63 binary, Unicode, any other text.
      {249, 255, 0, 0, 0, NA_IT_MEMOTEXTE, 8},
      {250, 16777215, 0, 0, 63, NA_IT_MEMOBINAIRE, 8},
      {251, -1, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
      {252, 65535, 0, 0, 8, NA_IT_MEMOTEXTE, 8},
      {252, 65535, 0, 0, 63, NA_IT_MEMOBINAIRE, 8},
      {252, 65535, 0, 0, 224, NA_IT_MEMOUNICODE, 8},
      // Texts: VARCHAR, VAR_STRING, STRING and any unknown number.
      {15, 40, 0, 0, 8, NA_IT_TEXTE, 41},
      {253, 40, 0, 0, 8, NA_IT_TEXTE, 41},
      {253, 40, 0, 0, 33, NA_IT_UNICODE, 82},
      {254, 1, 0, 0, 8, NA_IT_TEXTE, 2},
      {245, 40, 0, 0, 33, NA_IT_UNICODE, 82},
      {255, 40, 0, 0, 63, NA_IT_TEXTE, 41},
      {253, 40000, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
      {253, 40000, 0, 0, 8, NA_IT_TEXTE, 40001},
  };
  CheckColumns(std::begin(cases), std::end(cases));
}

TEST(mysqlTypemap, TextRuleBounds) {
  const ColumnCase cases[] = {
      // Length 0: no size known, a memo.
      {253, 0, 0, 0, 8, NA_IT_MEMOTEXTE, 8},
      {253, 0, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
      // The longest Unicode text whose UTF-16 form (with terminator) fits
      // in 65534 bytes; one more character makes it a memo.
      {253, 32766, 0, 0, 8, NA_IT_TEXTE, 32767},
      {253, 32766, 0, 0, 33, NA_IT_UNICODE, 65534},
      {253, 32767, 0, 0, 8, NA_IT_TEXTE, 32768},
      {253, 32767, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
      // The longest 8-bit text; one more byte makes it a memo.
      {253, 65534, 0, 0, 8, NA_IT_TEXTE, 65535},
      {253, 65534, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
      {253, 65535, 0, 0, 8, NA_IT_MEMOTEXTE, 8},
      {253, 65535, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
      // A length past what an int holds (4 GB) arrives negative: still a
      // memo, never a text of wrapped size.
      {253, -1, 0, 0, 8, NA_IT_MEMOTEXTE, 8},
      {254, -1, 0, 0, 45, NA_IT_MEMOUNICODE, 8},
      {253, -2147483647 - 1, 0, 0, 8, NA_IT_MEMOTEXTE, 8},
  };
  CheckColumns(std::begin(cases), std::end(cases));
}

TEST(mysqlTypemap, UnicodeCharacterSets) {
  const unsigned listed[] = {12, 17, 33, 35, 45, 46, 54, 55, 56, 60, 61, 62, 76, 83, 90, 91};
  for (unsigned n = 0; n <= 98; ++n) {
    const bool expected = std::find(std::begin(listed), std::end(listed), n) != std::end(listed);
    EXPECT_EQ(CMySQLConnection::bCharsetUnicode(n), expected ? 1 : 0) << n;
  }
  for (unsigned n : {99u, 192u, 224u, 246u, 255u, 1000u, 0xFFFFFFFFu})
    EXPECT_EQ(CMySQLConnection::bCharsetUnicode(n), 1) << n;
}

TEST(mysqlTypemap, ColumnTypeNames) {
  struct Case {
    int type;
    const wchar_t* name;
    int known;
  } const cases[] = {
      {0, L"MYSQL_TYPE_DECIMAL", 1},        {1, L"MYSQL_TYPE_TINY", 1},
      {2, L"MYSQL_TYPE_SHORT", 1},          {3, L"MYSQL_TYPE_LONG", 1},
      {4, L"MYSQL_TYPE_FLOAT", 1},          {5, L"MYSQL_TYPE_DOUBLE", 1},
      {6, L"MYSQL_TYPE_NULL", 1},           {7, L"MYSQL_TYPE_TIMESTAMP", 1},
      {8, L"MYSQL_TYPE_LONGLONG", 1},       {9, L"MYSQL_TYPE_INT24", 1},
      {10, L"MYSQL_TYPE_DATE", 1},          {11, L"MYSQL_TYPE_TIME", 1},
      {12, L"MYSQL_TYPE_DATETIME", 1},      {13, L"MYSQL_TYPE_YEAR", 1},
      {14, L"MYSQL_TYPE_NEWDATE", 1},       {15, L"MYSQL_TYPE_VARCHAR", 1},
      {16, L"MYSQL_TYPE_BIT", 1},           {246, L"MYSQL_TYPE_NEWDECIMAL", 1},
      {247, L"MYSQL_TYPE_ENUM", 1},         {248, L"MYSQL_TYPE_SET", 1},
      {249, L"MYSQL_TYPE_TINY_BLOB", 1},    {250, L"MYSQL_TYPE_MEDIUM_BLOB", 1},
      {251, L"MYSQL_TYPE_LONG_BLOB", 1},    {252, L"MYSQL_TYPE_BLOB", 1},
      {253, L"MYSQL_TYPE_VAR_STRING", 1},   {254, L"MYSQL_TYPE_STRING", 1},
      // Unknown numbers answer 0 with the same fixed name.
      {17, L"MYSQL_TYPE_NEWDECIMAL", 0},    {245, L"MYSQL_TYPE_NEWDECIMAL", 0},
      {255, L"MYSQL_TYPE_NEWDECIMAL", 0},   {-1, L"MYSQL_TYPE_NEWDECIMAL", 0},
  };
  kxtest::TestHostDescription host;
  CMySQLConnection cnx(L"names", &host);
  const CNAConnectionDescription& base = cnx;
  for (const Case& c : cases) {
    CTString out(L"before");
    // Called through the base, as the generic layer does.
    EXPECT_EQ(base.bDBTypeToString(&out, c.type), c.known) << c.type;
    EXPECT_STREQ(out.pszGet(), c.name) << c.type;
  }
}

}  // namespace
