// The two type vocabularies of the MariaDB/MySQL connection: the SQL type
// text a table creation writes for each item type, and the item type and
// record-buffer size a result column of a given server column type gets.
#include <cstdint>

#include "CMySQLConnection.h"
#include "CNAItemDescription.h"
#include "CNAMapConvertType.h"

namespace {

// Column type numbers as the server's protocol sends them.
enum : int {
  knTypeDecimal = 0,
  knTypeTiny = 1,
  knTypeShort = 2,
  knTypeLong = 3,
  knTypeFloat = 4,
  knTypeDouble = 5,
  knTypeNull = 6,
  knTypeTimestamp = 7,
  knTypeLongLong = 8,
  knTypeInt24 = 9,
  knTypeDate = 10,
  knTypeTime = 11,
  knTypeDateTime = 12,
  knTypeYear = 13,
  knTypeNewDate = 14,
  knTypeBit = 16,
  knTypeNewDecimal = 246,
  knTypeEnum = 247,
  knTypeSet = 248,
  knTypeTinyBlob = 249,
  knTypeMediumBlob = 250,
  knTypeLongBlob = 251,
  knTypeBlob = 252,
};

// The character-set number the server gives binary data.
constexpr unsigned knCharsetBinary = 63;
// Character-set numbers from 0 to this one are listed one by one; every
// higher number is a Unicode set.
constexpr unsigned knLastListedCharset = 98;
// The longest text column held in the record as text; longer ones are memos.
constexpr int knTextMaxLength = 65534;
// Byte size of a memo's place in the record (a reference to its value).
constexpr unsigned knMemoSize = 8;

struct STypeName {
  int nType;
  const wchar_t* pszName;
};

const STypeName gastTypeNames[] = {
    {0, L"MYSQL_TYPE_DECIMAL"},      {1, L"MYSQL_TYPE_TINY"},
    {2, L"MYSQL_TYPE_SHORT"},        {3, L"MYSQL_TYPE_LONG"},
    {4, L"MYSQL_TYPE_FLOAT"},        {5, L"MYSQL_TYPE_DOUBLE"},
    {6, L"MYSQL_TYPE_NULL"},         {7, L"MYSQL_TYPE_TIMESTAMP"},
    {8, L"MYSQL_TYPE_LONGLONG"},     {9, L"MYSQL_TYPE_INT24"},
    {10, L"MYSQL_TYPE_DATE"},        {11, L"MYSQL_TYPE_TIME"},
    {12, L"MYSQL_TYPE_DATETIME"},    {13, L"MYSQL_TYPE_YEAR"},
    {14, L"MYSQL_TYPE_NEWDATE"},     {15, L"MYSQL_TYPE_VARCHAR"},
    {16, L"MYSQL_TYPE_BIT"},         {246, L"MYSQL_TYPE_NEWDECIMAL"},
    {247, L"MYSQL_TYPE_ENUM"},       {248, L"MYSQL_TYPE_SET"},
    {249, L"MYSQL_TYPE_TINY_BLOB"},  {250, L"MYSQL_TYPE_MEDIUM_BLOB"},
    {251, L"MYSQL_TYPE_LONG_BLOB"},  {252, L"MYSQL_TYPE_BLOB"},
    {253, L"MYSQL_TYPE_VAR_STRING"}, {254, L"MYSQL_TYPE_STRING"},
};

void Set(eNA_ITEMTYPE* peType, unsigned* pnSize, eNA_ITEMTYPE eType, unsigned nSize) {
  *peType = eType;
  *pnSize = nSize;
}

}  // namespace

void CMySQLConnection::_InitXQ2NativeType() {
  CNAMapConvertType* pclMap = m_pclMapConvertType;
  if (pclMap == nullptr) return;

  // Rows that do not depend on the server. The generic rows of the other
  // item types (VARCHAR(%d), SMALLINT, INTEGER, DATE, TIME, NUMERIC(24,6),
  // CHARACTER(%d), CHARACTER, and the decimal's format) already suit the
  // server.
  pclMap->Add(NA_IT_IDAUTO, L"BIGINT", 0);
  pclMap->Add(NA_IT_I1, L"TINYINT", 0);
  pclMap->Add(NA_IT_R4, L"FLOAT", 0);
  pclMap->Add(NA_IT_R8, L"DOUBLE", 0);
  pclMap->Add(NA_IT_UI2, L"SMALLINT UNSIGNED", 0);
  pclMap->Add(NA_IT_UI1, L"TINYINT UNSIGNED", 0);
  pclMap->Add(NA_IT_REELTURBO, L"DOUBLE", 0);
  pclMap->Add(NA_IT_MEMOBINAIRE4, L"LONGBLOB", 0);
  pclMap->Add(NA_IT_MEMOBINAIRE, L"LONGBLOB", 0);
  pclMap->Add(NA_IT_I8, L"BIGINT", 0);
  pclMap->Add(NA_IT_UI8, L"BIGINT UNSIGNED", 0);
  pclMap->Add(NA_IT_UI4, L"INTEGER UNSIGNED", 0);
  pclMap->Add(NA_IT_DATETIME, L"DATETIME", 0);
  pclMap->Add(NA_IT_TIMELENGHT, L"BIGINT", 0);
  pclMap->Add(NA_IT_BOOLEEN, L"TINYINT", 0);

  // Servers before 4 have no text memo: their memos are byte memos.
  pclMap->Add(NA_IT_MEMOTEXTE, m_nServerMajor >= 4 ? L"LONGTEXT" : L"LONGBLOB", 0);

  // VARBINARY came with 4.1.2; before it a binary string is a VARCHAR
  // compared byte by byte.
  pclMap->Add(NA_IT_BINAIRE,
              bServerVersionGreaterThan4_1_2() ? L"VARBINARY(%d)" : L"VARCHAR(%d) BINARY", 1);

  // Column character sets came with 4.1; before it Unicode texts are stored
  // as plain texts (and 3.x memos as byte memos). A server that knows
  // utf8mb4 gets it, the set of the Unicode sessions: ucs2 holds no
  // character outside the basic plane. (A key column may still be given
  // ucs2 by the type request, see bGetMatchingSQLType.)
  if (bServerKnowsUtf8mb4()) {
    pclMap->Add(NA_IT_UNICODE, L"VARCHAR(%d) CHARACTER SET utf8mb4", 1);
    pclMap->Add(NA_IT_MEMOUNICODE, pszGetNCLOBType(), 0);
  } else if (bServerVersionGreaterThan4_1()) {
    pclMap->Add(NA_IT_UNICODE, L"VARCHAR(%d) CHARACTER SET ucs2", 1);
    pclMap->Add(NA_IT_MEMOUNICODE, pszGetNCLOBType(), 0);
  } else {
    pclMap->Add(NA_IT_UNICODE, L"VARCHAR(%d)", 1);
    pclMap->Add(NA_IT_MEMOUNICODE, m_nServerMajor >= 4 ? L"LONGTEXT" : L"LONGBLOB", 0);
  }
}

void CMySQLConnection::ConvertItemType(eNA_ITEMTYPE* peType, unsigned* pnSize, int nFieldType,
                                       int nLength, int nDigits, int nDecimals,
                                       unsigned nCharset) {
  if (peType == nullptr || pnSize == nullptr) return;
  switch (nFieldType) {
    case knTypeDecimal:
    case knTypeNewDecimal: {
      std::uint32_t nSize = 0;
      *peType = CNAItemDescription::s_GetTypeFromFormat(nDigits, nDecimals, &nSize);
      *pnSize = nSize;
      return;
    }
    case knTypeTiny: Set(peType, pnSize, NA_IT_I1, 1); return;
    case knTypeShort: Set(peType, pnSize, NA_IT_I2, 2); return;
    case knTypeLong:
    case knTypeInt24: Set(peType, pnSize, NA_IT_I4, 4); return;
    case knTypeFloat: Set(peType, pnSize, NA_IT_R4, 4); return;
    case knTypeDouble: Set(peType, pnSize, NA_IT_R8, 8); return;
    case knTypeNull: Set(peType, pnSize, NA_IT_EMPTY, 0); return;
    case knTypeLongLong: Set(peType, pnSize, NA_IT_I8, 8); return;
    case knTypeDate: Set(peType, pnSize, NA_IT_DATE8, 9); return;
    // Times, years and the old date form are all read as date-times.
    case knTypeTimestamp:
    case knTypeTime:
    case knTypeDateTime:
    case knTypeYear:
    case knTypeNewDate: Set(peType, pnSize, NA_IT_DATETIME, 8); return;
    // A binary buffer: the value's bytes after a 2-byte length.
    case knTypeBit:
      Set(peType, pnSize, NA_IT_BINAIRE,
          nLength >= 1 ? static_cast<unsigned>(nLength) + 2 : 3u);
      return;
    // The member's number.
    case knTypeEnum:
    case knTypeSet: Set(peType, pnSize, NA_IT_I4, 4); return;
    case knTypeTinyBlob:
    case knTypeMediumBlob:
    case knTypeLongBlob:
    case knTypeBlob: {
      eNA_ITEMTYPE eType = NA_IT_MEMOTEXTE;
      if (nCharset == knCharsetBinary)
        eType = NA_IT_MEMOBINAIRE;
      else if (bCharsetUnicode(nCharset))
        eType = NA_IT_MEMOUNICODE;
      Set(peType, pnSize, eType, knMemoSize);
      return;
    }
    default: break;
  }

  // Texts. A length past what an int holds arrives negative (a length of
  // 4 GB read into an int): it is a memo like any length past the bound,
  // never a text of negative size.
  const bool bUnicode = bCharsetUnicode(nCharset) != 0;
  if (nLength < 1 || nLength > knTextMaxLength) {
    Set(peType, pnSize, bUnicode ? NA_IT_MEMOUNICODE : NA_IT_MEMOTEXTE, knMemoSize);
    return;
  }
  // The characters and a terminator; twice that as UTF-16.
  const unsigned n = static_cast<unsigned>(nLength) + 1;
  if (2 * n > static_cast<unsigned>(knTextMaxLength)) {
    if (bUnicode)
      Set(peType, pnSize, NA_IT_MEMOUNICODE, knMemoSize);
    else
      Set(peType, pnSize, NA_IT_TEXTE, n);
    return;
  }
  if (bUnicode)
    Set(peType, pnSize, NA_IT_UNICODE, 2 * n);
  else
    Set(peType, pnSize, NA_IT_TEXTE, n);
}

int CMySQLConnection::bCharsetUnicode(unsigned nCharset) {
  switch (nCharset) {
    case 12: case 17: case 33: case 35: case 45: case 46: case 54: case 55:
    case 56: case 60: case 61: case 62: case 76: case 83: case 90: case 91:
      return 1;
    default:
      return nCharset > knLastListedCharset ? 1 : 0;
  }
}

int CMySQLConnection::bDBTypeToString(CTString* pOut, int nType) const {
  for (const STypeName& st : gastTypeNames) {
    if (st.nType != nType) continue;
    if (pOut != nullptr) pOut->Set(st.pszName);
    return 1;
  }
  // An unknown number answers 0; the caller still gets a printable name.
  if (pOut != nullptr) pOut->Set(L"MYSQL_TYPE_NEWDECIMAL");
  return 0;
}
