// SQL type names, column types and object names of a connection: the item
// type and size of a column's SQL type text, the SQL type text of an item,
// and the quoting of table and column names in the server's manner.
//
// Quoting is built so that no name can leave its identifier: every closing
// quote inside a name is doubled, and a name is only left as it is when it
// already is well-formed quoting (complete quoted identifiers, inner
// closing quotes doubled, joined by '.'). UnFormatItemName undoes exactly
// that doubling.
#include <climits>
#include <cstdint>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNAMapConvertType.h"
#include "CTString.h"
#include "CXError.h"
#include "INAItemDescription.h"
#include "MyModuleInfo.h"

namespace {

// Location of the reports of this file in the error's debug line.
constexpr int knLocationArea = 4;
constexpr int knLocationUnicodeRefused = 123;
constexpr int knLocationNameRefused = 124;
// User error: a table name that cannot be written as an identifier.
constexpr unsigned int knErrNameNotFormattable = 84;

bool bSpace(wchar_t c) { return CNAMapConvertType::s_bEspaceSQL(c); }

// The longest index key a MariaDB/MySQL server takes on one column by
// default, in bytes: 3072 from MariaDB 10.2.2 and MySQL 5.7.7 on (InnoDB's
// dynamic rows), 767 before.
long long nDefaultKeyLimit(int nMajor, int nMinor, int nRelease) {
  const bool bLarge = nMajor > 10 || (nMajor == 10 && (nMinor > 2 || (nMinor == 2 && nRelease >= 2))) ||
                      (nMajor > 5 && nMajor < 10) || (nMajor == 5 && (nMinor > 7 || (nMinor == 7 && nRelease >= 7)));
  return bLarge ? 3072 : 767;
}

bool bDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Type texts are ASCII keywords: only ASCII letters change, so that the
// result does not depend on the runtime's locale.
std::wstring UpperAscii(const wchar_t* psz) {
  std::wstring s = psz != nullptr ? psz : L"";
  for (wchar_t& c : s)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  return s;
}

bool bStartsWith(const std::wstring& s, const wchar_t* pszPrefix) {
  return s.compare(0, std::wcslen(pszPrefix), pszPrefix) == 0;
}

// Reads the decimal digits at s[*pi] into *pn; false when there is none or
// the number does not fit a non-negative 32-bit int. *pi moves past them.
bool bReadNumber(const std::wstring& s, std::size_t* pi, int* pn) {
  std::size_t i = *pi;
  long long n = 0;
  bool bAny = false;
  bool bTooBig = false;
  for (; i < s.size() && bDigit(s[i]); ++i) {
    bAny = true;
    if (!bTooBig) {
      n = n * 10 + (s[i] - L'0');
      if (n > INT_MAX) bTooBig = true;
    }
  }
  *pi = i;
  if (!bAny || bTooBig) return false;
  *pn = static_cast<int>(n);
  return true;
}

void SkipSpaces(const std::wstring& s, std::size_t* pi) {
  while (*pi < s.size() && bSpace(s[*pi])) ++*pi;
}

// "(p,s)" or "(p)" after position i (white space allowed around each part).
// False, with both untouched, for anything else.
bool bReadPrecisionScale(const std::wstring& s, std::size_t i, int* pnPrecision, int* pnScale) {
  SkipSpaces(s, &i);
  if (i >= s.size() || s[i] != L'(') return false;
  ++i;
  SkipSpaces(s, &i);
  int p = 0;
  if (!bReadNumber(s, &i, &p)) return false;
  SkipSpaces(s, &i);
  int sc = 0;
  if (i < s.size() && s[i] == L',') {
    ++i;
    SkipSpaces(s, &i);
    if (!bReadNumber(s, &i, &sc)) return false;
    SkipSpaces(s, &i);
  }
  if (i >= s.size() || s[i] != L')') return false;
  *pnPrecision = p;
  *pnScale = sc;
  return true;
}

// Sizes never wrap: a declaration of 2^31 - 1 characters saturates.
std::uint32_t nSaturate(unsigned long long n) {
  return n > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(n);
}

// How a row of the type table sets the type and size.
enum eRULE {
  RULE_FIXED,         // the row's type and size
  RULE_SIGNED,        // the row's type, or its unsigned twin
  RULE_TEXT,          // TEXTE, n + 1
  RULE_UNICODE,       // UNICODE, 2n + 2
  RULE_REAL,          // R8 8 on kind 13, else R4 4
  RULE_DECIMAL,       // by precision and scale
  RULE_CHAR,          // CHAR 1 alone, else TEXTE n + 1
  RULE_BINARY,        // BINAIRE, n + 2
};

struct STTypeRow {
  const wchar_t* pszPrefix;
  eRULE eRule;
  eNA_ITEMTYPE eType;
  eNA_ITEMTYPE eUnsigned;
  std::uint32_t nSize;
};

// Compared in this order, each as a prefix of the upper-cased text; the
// first match decides ("TIMESTAMP" before "TIME", "INT8" before "INT").
const STTypeRow kastTypes[] = {
    {L"YEAR", RULE_FIXED, NA_IT_DATE8, NA_IT_DATE8, 9},
    {L"VARCHAR", RULE_TEXT, NA_IT_TEXTE, NA_IT_TEXTE, 0},
    {L"VARYING CHARACTER", RULE_TEXT, NA_IT_TEXTE, NA_IT_TEXTE, 0},
    {L"CHARACTER", RULE_TEXT, NA_IT_TEXTE, NA_IT_TEXTE, 0},
    {L"NCHAR", RULE_UNICODE, NA_IT_UNICODE, NA_IT_UNICODE, 0},
    {L"NATIVE CHARACTER", RULE_UNICODE, NA_IT_UNICODE, NA_IT_UNICODE, 0},
    {L"NVARCHAR", RULE_UNICODE, NA_IT_UNICODE, NA_IT_UNICODE, 0},
    {L"TINYTEXT", RULE_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"TINYINT", RULE_SIGNED, NA_IT_I1, NA_IT_UI1, 1},
    {L"TINYBLOB", RULE_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"TIMESTAMP", RULE_FIXED, NA_IT_DATETIME, NA_IT_DATETIME, 8},
    {L"TIME", RULE_FIXED, NA_IT_HEURE, NA_IT_HEURE, 6},
    {L"TEXT", RULE_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"NTEXT", RULE_FIXED, NA_IT_MEMOUNICODE, NA_IT_MEMOUNICODE, 8},
    {L"CLOB", RULE_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"SMALLINT", RULE_SIGNED, NA_IT_I2, NA_IT_UI2, 2},
    {L"INT2", RULE_SIGNED, NA_IT_I2, NA_IT_UI2, 2},
    {L"SET", RULE_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"REAL", RULE_REAL, NA_IT_R4, NA_IT_R4, 4},
    {L"MEDIUMTEXT", RULE_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"INT8", RULE_SIGNED, NA_IT_I8, NA_IT_UI8, 8},
    {L"MEDIUMINT", RULE_SIGNED, NA_IT_I4, NA_IT_UI4, 4},
    {L"INTEGER", RULE_SIGNED, NA_IT_I4, NA_IT_UI4, 4},
    {L"INT", RULE_SIGNED, NA_IT_I4, NA_IT_UI4, 4},
    {L"MEDIUMBLOB", RULE_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"LONGTEXT", RULE_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"LONGBLOB", RULE_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"FLOAT", RULE_FIXED, NA_IT_R4, NA_IT_R4, 4},
    {L"ENUM", RULE_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"DOUBLE", RULE_FIXED, NA_IT_R8, NA_IT_R8, 8},
    {L"DOUBLE PRECISION", RULE_FIXED, NA_IT_R8, NA_IT_R8, 8},
    {L"DECIMAL", RULE_DECIMAL, NA_IT_DECIMAL, NA_IT_DECIMAL, 0},
    {L"DEC", RULE_DECIMAL, NA_IT_DECIMAL, NA_IT_DECIMAL, 0},
    {L"NUMERIC", RULE_DECIMAL, NA_IT_DECIMAL, NA_IT_DECIMAL, 0},
    {L"DATETIME", RULE_FIXED, NA_IT_DATETIME, NA_IT_DATETIME, 8},
    {L"DATE", RULE_FIXED, NA_IT_DATE8, NA_IT_DATE8, 9},
    {L"CHAR", RULE_CHAR, NA_IT_CHAR, NA_IT_CHAR, 1},
    {L"BOOL", RULE_FIXED, NA_IT_I1, NA_IT_I1, 1},
    {L"BOOLEAN", RULE_FIXED, NA_IT_I1, NA_IT_I1, 1},
    {L"BLOB", RULE_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"BIGINT", RULE_SIGNED, NA_IT_I8, NA_IT_UI8, 8},
    {L"BIG INT", RULE_SIGNED, NA_IT_I8, NA_IT_UI8, 8},
    // Every bit width reads as one byte: BIT(8) and wider lose bits.
    {L"BIT", RULE_FIXED, NA_IT_I1, NA_IT_I1, 1},
    {L"VARBINARY", RULE_BINARY, NA_IT_BINAIRE, NA_IT_BINAIRE, 0},
};

// "UNSIGNED" as a word of the type text: at its start followed by white
// space (*pnSkip then counts the word and that white space), or inside with
// white space before and white space or the end after.
bool bIsUnsigned(const std::wstring& s, std::size_t* pnSkip) {
  static const wchar_t kszWord[] = L"UNSIGNED";
  const std::size_t n = std::wcslen(kszWord);
  *pnSkip = 0;
  if (s.size() > n && bStartsWith(s, kszWord) && bSpace(s[n])) {
    std::size_t i = n;
    SkipSpaces(s, &i);
    *pnSkip = i;
    return true;
  }
  for (std::size_t at = s.find(kszWord, 1); at != std::wstring::npos; at = s.find(kszWord, at + 1)) {
    if (bSpace(s[at - 1]) && (at + n == s.size() || bSpace(s[at + n]))) return true;
  }
  return false;
}

// ---- Name quoting ---------------------------------------------------------

// The quotes of a connection, as texts.
struct STQuotes {
  std::wstring sOpen;
  std::wstring sClose;
};

bool bAt(const std::wstring& s, std::size_t i, const std::wstring& sPart) {
  return !sPart.empty() && s.compare(i, sPart.size(), sPart) == 0;
}

// A quoted identifier starting at s[i] (which holds the opening quote):
// true, with *piEnd just after its closing quote and *psContent the name
// with the doubled closing quotes made single again, when it is complete.
bool bReadQuoted(const std::wstring& s, std::size_t i, const STQuotes& q, std::size_t* piEnd,
                 std::wstring* psContent) {
  if (q.sOpen.empty() || q.sClose.empty() || !bAt(s, i, q.sOpen)) return false;
  std::wstring sContent;
  std::size_t j = i + q.sOpen.size();
  while (j < s.size()) {
    if (bAt(s, j, q.sClose)) {
      if (bAt(s, j + q.sClose.size(), q.sClose)) {
        sContent += q.sClose;
        j += 2 * q.sClose.size();
        continue;
      }
      *piEnd = j + q.sClose.size();
      if (psContent != nullptr) *psContent = sContent;
      return true;
    }
    sContent += s[j];
    ++j;
  }
  return false;
}

// The whole text is complete quoted identifiers joined by '.'.
bool bWellFormedQuoting(const std::wstring& s, const STQuotes& q) {
  if (s.empty()) return false;
  std::size_t i = 0;
  for (;;) {
    std::size_t iEnd = 0;
    if (!bReadQuoted(s, i, q, &iEnd, nullptr)) return false;
    if (iEnd == s.size()) return true;
    if (s[iEnd] != L'.') return false;
    i = iEnd + 1;
  }
}

// The pieces of a table name: split at the dots that lie outside quoted
// sections. A quoted section runs from an opening quote to its single
// closing quote; one that is never closed runs to the end of the text.
std::vector<std::wstring> SplitOutsideQuotes(const std::wstring& s, const STQuotes& q) {
  std::vector<std::wstring> aPieces;
  std::size_t iStart = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    if (bAt(s, i, q.sOpen) && !q.sClose.empty()) {
      std::size_t iEnd = 0;
      if (bReadQuoted(s, i, q, &iEnd, nullptr)) {
        i = iEnd;
      } else {
        i = s.size();
      }
      continue;
    }
    if (s[i] == L'.') {
      aPieces.push_back(s.substr(iStart, i - iStart));
      iStart = i + 1;
    }
    ++i;
  }
  aPieces.push_back(s.substr(iStart));
  return aPieces;
}

std::wstring Trim(const std::wstring& s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && s[b] == L' ') ++b;
  while (e > b && s[e - 1] == L' ') --e;
  return s.substr(b, e - b);
}

// A piece of a name that may stand unquoted in a statement: letters,
// digits, '_', '$', '#', '@' and characters beyond ASCII, nothing that
// could end the identifier (blank, quote, ';', comment, operator).
bool bPlainIdentifier(const std::wstring& s) {
  if (s.empty()) return false;
  for (const wchar_t c : s) {
    const bool bAsciiAlnum = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || bDigit(c);
    if (!bAsciiAlnum && c < 0x80 && c != L'_' && c != L'$' && c != L'#' && c != L'@') return false;
  }
  return true;
}

void SetOut(CTString* pOut, const std::wstring& s) {
  if (pOut == nullptr) return;
  if (s.empty())
    pOut->Vide();
  else
    pOut->Set(s.c_str(), static_cast<unsigned long>(s.size()));
}

}  // namespace

// ---- Column type text to item type --------------------------------------

int CNAConnectionDescription::_nGetSizeInTypeDecl(const wchar_t* pszTypeText, const wchar_t* pszTypeName) const {
  if (pszTypeText == nullptr || pszTypeName == nullptr) return 1;
  const std::wstring s = pszTypeText;
  std::size_t i = std::wcslen(pszTypeName);
  // Room for at least "(d)" after the name.
  if (s.size() < i + 3) return 1;
  SkipSpaces(s, &i);
  if (i >= s.size() || s[i] != L'(') return 1;
  ++i;
  SkipSpaces(s, &i);
  int n = 0;
  if (!bReadNumber(s, &i, &n)) return 1;
  SkipSpaces(s, &i);
  if (i >= s.size() || s[i] != L')') return 1;
  return n;
}

int CNAConnectionDescription::bSQLTypeNameToNAType(CNAError* /*pclError*/, eNA_ITEMTYPE* peType,
                                                   unsigned* pnSize, unsigned* pnPrecision,
                                                   unsigned* pnScale, const wchar_t* pszTypeText,
                                                   const wchar_t* pszCharset) {
  std::wstring s = UpperAscii(pszTypeText);
  std::size_t nSkip = 0;
  const bool bUnsigned = bIsUnsigned(s, &nSkip);
  s.erase(0, nSkip);

  eNA_ITEMTYPE eType = NA_IT_MEMOTEXTE;
  std::uint32_t nSize = 8;
  for (const STTypeRow& row : kastTypes) {
    if (!bStartsWith(s, row.pszPrefix)) continue;
    const auto n = static_cast<unsigned long long>(_nGetSizeInTypeDecl(s.c_str(), row.pszPrefix));
    switch (row.eRule) {
      case RULE_FIXED:
        eType = row.eType;
        nSize = row.nSize;
        break;
      case RULE_SIGNED:
        eType = bUnsigned ? row.eUnsigned : row.eType;
        nSize = row.nSize;
        break;
      case RULE_TEXT:
        eType = NA_IT_TEXTE;
        nSize = nSaturate(n + 1);
        break;
      case RULE_UNICODE:
        eType = NA_IT_UNICODE;
        nSize = nSaturate(2 * n + 2);
        break;
      case RULE_REAL:
        if (m_eDataSource == 13) {
          eType = NA_IT_R8;
          nSize = 8;
        } else {
          eType = NA_IT_R4;
          nSize = 4;
        }
        break;
      case RULE_DECIMAL: {
        // A declaration without "(p,s)" is the server's default DECIMAL(10,0);
        // "(p)" has no decimals.
        int nPrecision = 10;
        int nScale = 0;
        bReadPrecisionScale(s, std::wcslen(row.pszPrefix), &nPrecision, &nScale);
        const int nInteger = nPrecision > nScale ? nPrecision - nScale : 0;
        eType = CNAItemDescription::s_GetTypeFromFormat(nInteger, nScale, &nSize);
        if (pnPrecision != nullptr) *pnPrecision = static_cast<unsigned>(nInteger);
        if (pnScale != nullptr) *pnScale = static_cast<unsigned>(nScale);
        break;
      }
      case RULE_CHAR: {
        std::size_t i = std::wcslen(row.pszPrefix);
        SkipSpaces(s, &i);
        if (i == s.size()) {
          eType = NA_IT_CHAR;
          nSize = 1;
        } else {
          eType = NA_IT_TEXTE;
          nSize = nSaturate(n + 1);
        }
        break;
      }
      case RULE_BINARY:
        eType = NA_IT_BINAIRE;
        nSize = nSaturate(n + 2);
        break;
    }
    break;
  }

  // Only the character sets whose name starts with "ucs2" or "utf8" make
  // wide items; utf16 and utf32 columns stay 8-bit texts.
  if (pszCharset != nullptr && pszCharset[0] != 0 && (eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE)) {
    const std::wstring sCharset = UpperAscii(pszCharset).substr(0, 4);
    if (sCharset == L"UCS2" || sCharset == L"UTF8") {
      if (eType == NA_IT_TEXTE) {
        eType = NA_IT_UNICODE;
        nSize = nSaturate(2ull * nSize);
      } else {
        eType = NA_IT_MEMOUNICODE;
      }
    }
  }
  if (peType != nullptr) *peType = eType;
  if (pnSize != nullptr) *pnSize = nSize;
  return 1;
}

// ---- Item to SQL type text -----------------------------------------------

int CNAConnectionDescription::bGetMatchingSQLType(CNAError* pclError, INAItemDescription* piItem,
                                                  CTString* pclOut) {
  if (piItem == nullptr || pclOut == nullptr) return 0;
  const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
  if (bIsTextUnicode(eType) && !m_bUnicodeTypesAllowed) {
    const wchar_t* pszDefault = pszGetDefaultDataBaseEx();
    const wchar_t* pszSource = pszGetDataBase();
    if (pszDefault == nullptr) pszDefault = L"";
    if (pszSource == nullptr) pszSource = L"";
    if (pclError != nullptr) {
      pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationUnicodeRefused, this, 46, pszDefault,
                         pszSource);
      pclError->SetInfoNames(piItem->pszGetSourceName(), piItem->pszGetName());
    } else {
      _CXErrorModule76 clDropped;
      clDropped.SetUserError(&gstMyModuleInfo76, 46, pszDefault, pszSource);
      CNAError::g_SetInfoNames(&clDropped, piItem->pszGetSourceName(), piItem->pszGetName());
    }
    return 0;
  }
  if (m_eDataSource == 5 && eType == NA_IT_DECIMAL) {
    // The server's limits: 65 digits in all, at most 30 of them decimals.
    int nScale = piItem->nGetDecimalPart();
    if (nScale < 0) nScale = 0;
    if (nScale > 30) nScale = 30;
    int nInteger = piItem->nGetIntegerPart();
    if (nInteger < 0) nInteger = 0;
    long long nPrecision = static_cast<long long>(nInteger) + nScale;
    if (nPrecision > 64) nPrecision = 64;
    wchar_t sz[48];
    std::swprintf(sz, sizeof sz / sizeof sz[0], L"NUMERIC(%d,%d)", static_cast<int>(nPrecision), nScale);
    pclOut->Set(sz);
    return 1;
  }
  if (m_eDataSource == 5 && eType == NA_IT_UNICODE && bServerKnowsUtf8mb4() &&
      (piItem->bPrimary(0) || piItem->bUnique(0))) {
    // A key item is indexed whole. Where its utf8mb4 key (four bytes a
    // character) passes the server's limit and its ucs2 key (two) does
    // not, ucs2 keeps the table creatable, at the price of the characters
    // outside the basic plane in that column.
    const long long nChars = piItem->nGetLogicalSize(0);
    const long long nLimit = nDefaultKeyLimit(m_nServerMajor, m_nServerMinor, m_nServerRelease);
    if (4 * nChars > nLimit && 2 * nChars <= nLimit) {
      wchar_t sz[48];
      std::swprintf(sz, sizeof sz / sizeof sz[0], L"VARCHAR(%lld) CHARACTER SET ucs2", nChars);
      pclOut->Set(sz);
      return 1;
    }
  }
  if (m_eDataSource == 3 && eType == NA_IT_TEXTE && piItem->nGetLogicalSize(0) > 255) {
    pclOut->Set(L"TEXT");
    return 1;
  }
  if (m_pclMapConvertType == nullptr) {
    auto* pclMap = new (std::nothrow) CNAMapConvertType;
    if (pclMap == nullptr) {
      if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclMap->_Init();
    m_pclMapConvertType = pclMap;
    _InitXQ2NativeType();
    if (pclMap->bShortOfMemory()) {
      // A map without all its rows would name wrong types for good.
      m_pclMapConvertType = nullptr;
      delete pclMap;
      if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
  }
  return m_pclMapConvertType->bFormat(piItem, pclOut) ? 1 : 0;
}

// ---- Names ----------------------------------------------------------------

int CNAConnectionDescription::s_bReservedSQLWord(const wchar_t* pszWord) {
  return pszWord != nullptr && UpperAscii(pszWord) == L"GROUP";
}

int CNAConnectionDescription::s_bNeedFormat_Oracle(const wchar_t* pszName) {
  if (pszName == nullptr) return 0;
  if (pszName[0] == L'[' || pszName[0] == L'"') return 0;
  if (pszName[0] == L'_') return 1;
  for (const wchar_t* p = pszName; *p != 0; ++p)
    if (*p == L' ' || *p == 176 || *p == L'-') return 1;
  return s_bReservedSQLWord(pszName);
}

int CNAConnectionDescription::_bNeedFormatName(CNAError* /*pclError*/, const wchar_t* pszName) const {
  if (m_nOpeningQuoteLength == 0 && m_nClosingQuoteLength == 0) return 0;
  if (m_eDataSource == 1) return s_bNeedFormat_Oracle(pszName);
  const std::wstring sName = pszName != nullptr ? pszName : L"";
  const STQuotes q{m_nOpeningQuoteLength > 0 ? std::wstring(m_csOpeningQuote.pszGet()) : std::wstring(),
                   m_nClosingQuoteLength > 0 ? std::wstring(m_csClosingQuote.pszGet()) : std::wstring()};
  // Only a name that already is complete quoting stays as it is: a name
  // that merely starts with a quote would let its rest out of the
  // identifier.
  return bWellFormedQuoting(sName, q) ? 0 : 1;
}

int CNAConnectionDescription::bFormatItemName(CNAError* pclError, const wchar_t* pszName, CTString* pclOut) const {
  if (pclOut == nullptr) return 1;
  const std::wstring sName = pszName != nullptr ? pszName : L"";
  if (!_bNeedFormatName(pclError, sName.c_str())) {
    SetOut(pclOut, sName);
    return 1;
  }
  const std::wstring sOpen = m_nOpeningQuoteLength > 0 ? m_csOpeningQuote.pszGet() : L"";
  const std::wstring sClose = m_nClosingQuoteLength > 0 ? m_csClosingQuote.pszGet() : L"";
  std::wstring s = sOpen;
  for (std::size_t i = 0; i < sName.size();) {
    if (bAt(sName, i, sClose)) {
      s += sClose;
      s += sClose;
      i += sClose.size();
    } else {
      s += sName[i];
      ++i;
    }
  }
  s += sClose;
  SetOut(pclOut, s);
  return 1;
}

int CNAConnectionDescription::bFormatTableName(CNAError* pclError, const wchar_t* pszName, CTString* pclOut) const {
  if (pclOut == nullptr) return 1;
  const std::wstring sName = pszName != nullptr ? pszName : L"";
  const STQuotes q{m_nOpeningQuoteLength > 0 ? std::wstring(m_csOpeningQuote.pszGet()) : std::wstring(),
                   m_nClosingQuoteLength > 0 ? std::wstring(m_csClosingQuote.pszGet()) : std::wstring()};
  std::wstring s;
  bool bFirst = true;
  for (const std::wstring& sPiece : SplitOutsideQuotes(sName, q)) {
    CTString clPiece;
    bFormatItemName(pclError, sPiece.c_str(), &clPiece);
    const std::wstring sFormatted = clPiece.pszGet();
    // A piece left unquoted (no quotes on this connection, or the kind's
    // own rule) must still be one identifier: anything else would put the
    // caller's text into the statement as SQL.
    if (!sName.empty() && !bWellFormedQuoting(sFormatted, q) && !bPlainIdentifier(sFormatted)) {
      pclOut->Vide();
      if (pclError != nullptr)
        pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationNameRefused,
                           const_cast<CNAConnectionDescription*>(this), knErrNameNotFormattable,
                           sName.c_str());
      return 0;
    }
    if (!bFirst) s += L'.';
    s += sFormatted;
    bFirst = false;
  }
  SetOut(pclOut, s);
  return 1;
}

void CNAConnectionDescription::UnFormatItemName(const wchar_t* pszName, CTString* pclOut) const {
  if (pclOut == nullptr) return;
  const std::wstring sName = pszName != nullptr ? pszName : L"";
  const STQuotes q{m_nOpeningQuoteLength > 0 ? std::wstring(m_csOpeningQuote.pszGet()) : std::wstring(),
                   m_nClosingQuoteLength > 0 ? std::wstring(m_csClosingQuote.pszGet()) : std::wstring()};
  std::size_t iEnd = 0;
  std::wstring sContent;
  if (sName.size() > q.sOpen.size() + q.sClose.size() && bReadQuoted(sName, 0, q, &iEnd, &sContent)) {
    SetOut(pclOut, sContent);
    return;
  }
  SetOut(pclOut, sName);
}

void CNAConnectionDescription::DecomposeTableName(CTString* pclCatalog, CTString* pclOwner, CTString* pclTable,
                                                  const wchar_t* pszName) const {
  SetOut(pclCatalog, L"");
  SetOut(pclOwner, L"");
  SetOut(pclTable, L"");
  const std::wstring s = pszName != nullptr ? pszName : L"";
  const std::size_t iFirst = s.find(L'.');
  if (iFirst == std::wstring::npos) {
    SetOut(pclTable, Trim(s));
    return;
  }
  const std::size_t iSecond = s.find(L'.', iFirst + 1);
  if (iSecond == std::wstring::npos) {
    SetOut(pclOwner, Trim(s.substr(0, iFirst)));
    SetOut(pclTable, Trim(s.substr(iFirst + 1)));
    return;
  }
  SetOut(pclCatalog, Trim(s.substr(0, iFirst)));
  SetOut(pclOwner, Trim(s.substr(iFirst + 1, iSecond - iFirst - 1)));
  SetOut(pclTable, Trim(s.substr(iSecond + 1)));
}

int CNAConnectionDescription::bExtractOwner(const wchar_t* pszOwner, const wchar_t* pszName, CTString* pclOutOwner,
                                            CTString* pclOutTable) const {
  const bool bOwnerGiven = pszOwner != nullptr && pszOwner[0] != 0;
  if (bOwnerGiven && pclOutOwner != nullptr) pclOutOwner->Set(pszOwner);
  if (pszName == nullptr || pszName[0] == 0) return 1;
  const std::wstring s = pszName;
  const std::size_t iDot = s.find(L'.');
  if (!bOwnerGiven && iDot != std::wstring::npos) {
    SetOut(pclOutOwner, s.substr(0, iDot));
    SetOut(pclOutTable, s.substr(iDot + 1));
  } else {
    SetOut(pclOutTable, s);
  }
  return 1;
}
