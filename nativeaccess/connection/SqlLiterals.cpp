// Values as SQL text: the literal of a typed value in the dialect of the
// connection's data-source kind, escaped texts, binary values in
// hexadecimal, the cast of a value to what its column takes, and the SQL
// expressions that turn a date or time column into the runtime's compact
// text forms (YYYYMMDD, HHMMSS..., YYYYMMDDHHMMSSmmm).
//
// Every operation that writes a literal replaces the content of its output
// buffer, except _bEscapeString and s_bBinaryToStringHexa, which append:
// bConvertValueToString empties the buffer before it writes, so its callers
// get the same text whichever piece writes it.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "CAny.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CTString.h"
#include "CTStringConcatAW.h"
#include "CXError.h"
#include "CXTime.h"
#include "CXYString.h"
#include "Escape.h"
#include "INAItemDescription.h"
#include "ItemTypes.h"
#include "MyModuleInfo.h"

namespace {

// Location of the reports of this file in the error's debug line; the
// second number names the step that failed.
constexpr int knLocationArea = 4;
constexpr int knLocationDate = 43;
constexpr int knLocationDateCast = 13;
constexpr int knLocationHeureCast = 14;
constexpr int knLocationDateTypeCast = 15;
constexpr int knLocationOtherCast = 16;

// A cast result above this is a failure.
constexpr int knLastCastSuccess = 99;

void SetText(CTStringConcatAW* pOut, const std::wstring& s) {
  pOut->Tronque(0);
  pOut->Add(s.c_str(), static_cast<long>(s.size()));
}

void AddText(CTStringConcatAW* pOut, const wchar_t* psz) {
  pOut->Add(psz, static_cast<long>(std::wcslen(psz)));
}

std::wstring Printf(const wchar_t* pszFormat, int a, int b = 0, int c = 0, int d = 0, int e = 0, int f = 0,
                    int g = 0) {
  wchar_t sz[128];
  const int n = std::swprintf(sz, sizeof sz / sizeof sz[0], pszFormat, a, b, c, d, e, f, g);
  return n > 0 ? std::wstring(sz, static_cast<std::size_t>(n)) : std::wstring();
}

// User error 43: a text that is no date or time.
void ReportInvalidDate(CNAError* pclError, CNAConnectionDescription* pclCnx) {
  if (pclError != nullptr) {
    pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationDate, pclCnx, 43);
    return;
  }
  _CXErrorModule76 clDropped;
  clDropped.SetUserError(&gstMyModuleInfo76, 43);
}

// A failed cast of a value of type wFrom to wWanted.
void ReportCast(CNAError* pclError, CNAConnectionDescription* pclCnx, int nResult, unsigned short wFrom,
                unsigned short wWanted, int nStep) {
  if (pclError != nullptr) {
    pclError->SetAnyError(nResult, wFrom, wWanted, knLocationArea, nStep, pclCnx, nullptr, nullptr);
    return;
  }
  _CXErrorModule76 clDropped;
  clDropped.SetAnyError(&gstMyModuleInfo76, nResult, wFrom, wWanted);
}

// The value's text as a wide string, through a cast of a copy; false when
// the cast fails (*pnResult then holds its code).
bool bValueText(const CAny& clValue, std::wstring* ps, int* pnResult) {
  CAny clCopy(clValue);
  clCopy.SetNull(false);
  const int nResult = clCopy.__nCastTo(ANY_DSTRW, nullptr, 1);
  *pnResult = nResult;
  if (nResult > knLastCastSuccess) return false;
  const wchar_t* psz = nullptr;
  if (clCopy.nGetPCWSTR(&psz) != ANY_OK || psz == nullptr) {
    ps->clear();
    return true;
  }
  std::size_t n = 0;
  if (clCopy.nGetSTRLEN(&n) != ANY_OK) n = std::wcslen(psz);
  ps->assign(psz, n);
  return true;
}

bool bHex(wchar_t c, unsigned* pn) {
  if (c >= L'0' && c <= L'9') {
    *pn = static_cast<unsigned>(c - L'0');
  } else if (c >= L'A' && c <= L'F') {
    *pn = static_cast<unsigned>(c - L'A' + 10);
  } else if (c >= L'a' && c <= L'f') {
    *pn = static_cast<unsigned>(c - L'a' + 10);
  } else {
    return false;
  }
  return true;
}

constexpr char kszHexDigits[] = "0123456789ABCDEF";

template <typename T>
void BinaryToHexa(const unsigned char* pData, unsigned long n, T* pOut, unsigned long nCapacity) {
  if (pOut == nullptr || nCapacity == 0) return;
  unsigned long nAt = 0;
  if (pData != nullptr) {
    // Each byte needs two characters, and the terminator one more.
    for (unsigned long i = 0; i < n && nCapacity - nAt >= 3; ++i) {
      pOut[nAt++] = static_cast<T>(kszHexDigits[pData[i] >> 4]);
      pOut[nAt++] = static_cast<T>(kszHexDigits[pData[i] & 0x0F]);
    }
  }
  pOut[nAt] = 0;
}

template <typename T>
void HexaToBinary(const T* pszText, unsigned char* pOut, unsigned long nSize) {
  if (pOut == nullptr) return;
  std::memset(pOut, 0, nSize);
  if (pszText == nullptr) return;
  for (unsigned long i = 0; i < nSize; ++i) {
    unsigned nHigh = 0;
    unsigned nLow = 0;
    if (pszText[0] == 0 || !bHex(static_cast<wchar_t>(pszText[0]), &nHigh)) return;
    if (pszText[1] == 0 || !bHex(static_cast<wchar_t>(pszText[1]), &nLow)) return;
    pOut[i] = static_cast<unsigned char>(nHigh << 4 | nLow);
    pszText += 2;
  }
}

// UTF-8 of wide characters (a character outside Unicode becomes U+FFFD).
std::string Utf8(const std::wstring& s) {
  std::string r;
  r.reserve(s.size());
  for (wchar_t wc : s) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      r += static_cast<char>(c);
    } else if (c < 0x800) {
      r += static_cast<char>(0xC0 | (c >> 6));
      r += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      r += static_cast<char>(0xE0 | (c >> 12));
      r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      r += static_cast<char>(0xF0 | (c >> 18));
      r += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return r;
}

bool bEqualsNoCaseAscii(const wchar_t* psz, const wchar_t* pszUpper) {
  if (psz == nullptr) return false;
  for (; *psz != 0 && *pszUpper != 0; ++psz, ++pszUpper) {
    wchar_t c = *psz;
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (c != *pszUpper) return false;
  }
  return *psz == 0 && *pszUpper == 0;
}

// ---- Column expressions of the generic layer's other kinds -----------------

std::wstring GenericHHMMSS(int nKind, const std::wstring& x) {
  switch (nKind) {
    case 2: return L"REPLACE(CONVERT(varchar(8)," + x + L",108),':','')";
    case 3: return L"FORMAT(" + x + L",'HHmmss')";
    case 4: return L"STUFF(STUFF(CONVERT(VARCHAR(8)," + x + L",108), 3, 1, NULL), 5, 1, NULL)";
    case 7: return L"REPLACE(CHAR(TIME(" + x + L")), '.', '')";
    case 11: return L"TO_CHAR(" + x + L",'%H%M%S')";
    case 13: return L"strftime('%H%M%S'," + x + L")";
    default: return L"TO_CHAR(" + x + L",'HH24MISS')";
  }
}

// The text cut to its first n characters in the kind's spelling.
std::wstring GenericCut(int nKind, const std::wstring& s, int n) {
  const wchar_t* pszFunction = nKind == 2 || nKind == 4 ? L"SUBSTRING(" : L"SUBSTR(";
  return pszFunction + s + L", 1, " + std::to_wstring(n) + L")";
}

std::wstring GenericHHMM(int nKind, const std::wstring& x) {
  switch (nKind) {
    case 2: return GenericCut(2, GenericHHMMSS(2, x), 4);
    case 3: return L"FORMAT(" + x + L",'HHmm')";
    case 4: return L"STUFF(CONVERT(VARCHAR(5)," + x + L",108), 3, 1, NULL)";
    case 7: return L"SUBSTR(REPLACE(CHAR(TIME(" + x + L")), '.', ''), 1, 4)";
    case 11: return L"TO_CHAR(" + x + L",'%H%M')";
    case 13: return L"strftime('%H%M'," + x + L")";
    default: return L"TO_CHAR(" + x + L",'HH24MI')";
  }
}

std::wstring GenericYYYYMMDD(int nKind, const std::wstring& x) {
  switch (nKind) {
    case 2: return L"REPLACE(CONVERT(varchar(10)," + x + L",20),'-','')";
    case 3: return L"FORMAT(" + x + L",'YYYYMMdd')";
    case 4: return L"CONVERT(VARCHAR(8)," + x + L",112)";
    case 7: return L"REPLACE(CHAR(DATE(" + x + L")), '-', '')";
    case 11: return L"TO_CHAR(" + x + L",'%Y%m%d')";
    case 13: return L"strftime('%Y%m%d'," + x + L")";
    default: return L"TO_CHAR(" + x + L",'YYYYMMDD')";
  }
}

std::wstring GenericDateTime(int nKind, const std::wstring& x, bool bTimestampColumn) {
  switch (nKind) {
    case 2:
      return L"REPLACE(REPLACE(REPLACE(REPLACE(CONVERT(varchar(10)," + x +
             L",20),'-',''),' ',''),':',''),'.','')";
    case 3: return L"(FORMAT(" + x + L",'YYYYMMddHHmmss') + '000')";
    case 4:
      return L"(CONVERT(VARCHAR(8)," + x + L",112)+STUFF(STUFF(CONVERT(VARCHAR(8)," + x +
             L",108), 3, 1, NULL), 5, 1, NULL)+SUBSTRING(CONVERT(CHAR(4), 1000+DATEPART(ms," + x + L")),2,4))";
    case 6: return L"TO_CHAR(" + x + L",'YYYYMMDDHH24MISSMS')";
    case 7: return L"SUBSTR(REPLACE(REPLACE(CHAR(TIMESTAMP_ISO(" + x + L")), '-', ''), '.', ''),1,17)";
    case 8: return L"TO_CHAR(" + x + L",'YYYYMMDDHH24MISSMLS')";
    case 11: return L"TO_CHAR(" + x + L",'%Y%m%d%H%M%S%F3')";
    case 13: return L"REPLACE(strftime('%Y%m%d%H%M%f'," + x + L"),'.','')";
    default:
      if (bTimestampColumn) return L"TO_CHAR(" + x + L",'YYYYMMDDHH24MISSFF3')";
      return L"TO_CHAR( CAST(" + x + L" AS TIMESTAMP),'YYYYMMDDHH24MISSFF3')";
  }
}

// HHMMSS and n - 6 fraction digits (n = 7 to 9).
std::wstring GenericFraction(int nKind, const std::wstring& x, int n, const wchar_t* pszColumnType,
                             int nServerMajor) {
  std::wstring s;
  switch (nKind) {
    case 2: s = L"REPLACE(REPLACE(CONVERT(varchar(12)," + x + L",114),':',''),'.','')"; break;
    case 3: {
      static const wchar_t* const kaszZeros[] = {L" + '0'", L" + '00'", L" + '000'"};
      return L"(FORMAT(" + x + L",'HHmmss')" + kaszZeros[n - 7] + L")";
    }
    case 4:
      s = L"STUFF(STUFF(CONVERT(VARCHAR(8)," + x + L",108), 3, 1, NULL), 5, 1, NULL)+SUBSTRING(CONVERT(CHAR(4), " +
          L"1000+DATEPART(ms," + x + L")),2,4)";
      break;
    case 6: s = L"TO_CHAR(" + x + L",'HH24MISSMS')"; break;
    case 7: s = L"SUBSTR(REPLACE(REPLACE(CHAR(TIMESTAMP_ISO(" + x + L")), '-', ''), '.', ''),9,9)"; break;
    case 8: s = L"TO_CHAR(" + x + L",'HH24MISSMLS')"; break;
    case 11: s = L"TO_CHAR(" + x + L",'%H%M%S%F" + std::to_wstring(n - 6) + L"')"; break;
    case 13: s = L"REPLACE(strftime('%H%M%f'," + x + L"),'.','')"; break;
    default: {
      const bool bNoType = pszColumnType == nullptr || pszColumnType[0] == 0;
      if (!bNoType && bEqualsNoCaseAscii(pszColumnType, L"TIMESTAMP"))
        s = L"TO_CHAR(" + x + L",'HH24MISSFF3')";
      else if ((bNoType || bEqualsNoCaseAscii(pszColumnType, L"DATE")) && nServerMajor > 8)
        s = L"TO_CHAR( CAST(" + x + L" AS TIMESTAMP),'HH24MISSFF3')";
      else
        s = L"(TO_CHAR(" + x + L",'HH24MISS')+'000')";
      break;
    }
  }
  return n == 9 ? s : GenericCut(nKind, s, n);
}

}  // namespace

// ---- Value to literal ---------------------------------------------------

int CNAConnectionDescription::bConvertValueToString(CNAError* pclError, CTStringConcatAW* pclOut,
                                                    const CAny* pclValue, eNA_ITEMTYPE eItemType,
                                                    eNA_ITEMTYPE eDBType) {
  if (pclOut == nullptr) return 0;
  pclOut->Tronque(0);
  if (pclValue == nullptr || pclValue->bIsNull()) {
    AddText(pclOut, L"NULL");
    return 1;
  }
  const unsigned short wColumn = eItemType != NA_IT_EMPTY ? ConverteItemToTNType(eItemType, 0) : 0;

  if (pclValue->nGetTypeCode() == ANY_BIN && (eItemType == NA_IT_EMPTY || wColumn == ANY_BIN) &&
      m_csBinaryPrefix.nTaille() > 0) {
    void* pData = nullptr;
    std::size_t nBytes = 0;
    pclValue->nGetDataAdr(&pData);
    pclValue->nGetUtilDataSize(&nBytes);
    if (m_eDataSource == 4 && nBytes == 0) {
      AddText(pclOut, L"''");
      return 1;
    }
    pclOut->Add(m_csBinaryPrefix);
    if (!s_bBinaryToStringHexa(pclError, static_cast<const unsigned char*>(pData), nBytes, pclOut)) return 0;
    pclOut->Add(m_csBinarySuffix);
    return 1;
  }

  // The value as the column takes it, when it can be had; the trial reports
  // into an error of its own, so that a failed trial leaves no error.
  CAny clCast;
  const CAny* pclUsed = pclValue;
  if (eItemType != NA_IT_EMPTY) {
    clCast = *pclValue;
    CNAError clTrial;
    if (bCastCAnyIntoDBType(&clTrial, &clCast, eItemType, eDBType, 1)) pclUsed = &clCast;
  }

  switch (pclUsed->nGetTypeCode()) {
    case ANY_EMPTY:
      AddText(pclOut, L"NULL");
      return 1;
    case ANY_BOOL: {
      int n = 0;
      pclUsed->nGetINT(&n);
      return _bBoolToString(pclError, pclOut, n);
    }
    case ANY_CY:
    case ANY_R4:
    case ANY_R8:
    case ANY_DECIMAL: {
      CXYString<wchar_t> clText;
      bCopyString(pclError, &clText, pclUsed);
      std::wstring s(clText.pszGet(), static_cast<std::size_t>(clText.nGetLength()));
      for (wchar_t& c : s)
        if (c == L',') c = L'.';
      pclOut->Add(s.c_str(), static_cast<long>(s.size()));
      return 1;
    }
    case ANY_DSTRW:
    case ANY_CARA:
    case ANY_PSTRA:
    case ANY_DSTRA:
    case ANY_BIN:
    case ANY_BUFFER:
    case ANY_MEMOIMG:
    case ANY_CARW:
    case ANY_PSTRW: {
      void* pData = nullptr;
      std::size_t nBytes = 0;
      if (pclUsed->nGetDataAdr(&pData) != ANY_OK || pData == nullptr) {
        AddText(pclOut, L"NULL");
        return 1;
      }
      if (pclUsed->nGetUtilDataSize(&nBytes) != ANY_OK) nBytes = 0;
      // A one-character value holding the zero character is the empty text.
      if (pclUsed->nGetTypeCode() == ANY_CARA && *static_cast<const char*>(pData) == 0) nBytes = 0;
      if (pclUsed->nGetTypeCode() == ANY_CARW) {
        wchar_t c = 0;
        std::memcpy(&c, pData, sizeof c);
        nBytes = c == 0 ? 0 : sizeof(wchar_t);
      }
      return _bEscapeString(pclError, pclOut, pclUsed->nGetTypeCode(), static_cast<unsigned char*>(pData),
                            static_cast<unsigned long>(nBytes));
    }
    case ANY_DATEW:
    case ANY_TIMEW:
    case ANY_DATETIME:
    case ANY_DATEA:
    case ANY_TIMEA:
      return _bDateToString(pclError, pclOut, pclUsed, eItemType);
    default: {
      CXYString<wchar_t> clText;
      bCopyString(pclError, &clText, pclUsed);
      pclOut->Add(clText.pszGet(), clText.nGetLength());
      return 1;
    }
  }
}

// ---- Value cast --------------------------------------------------------------

int CNAConnectionDescription::bCastCAnyIntoDBType(CNAError* pclError, CAny* pclValue, eNA_ITEMTYPE eItemType,
                                                  eNA_ITEMTYPE eDBType, int bExact) {
  if (pclValue == nullptr) return 1;
  const unsigned short wWanted = ConverteItemToTNType(eItemType != NA_IT_EMPTY ? eItemType : eDBType, 0);
  // Nothing to aim at.
  if (wWanted == 0) return 1;
  const unsigned short wCode = pclValue->nGetTypeCode();
  if (wCode == wWanted || (wCode == ANY_PSTRA && wWanted == ANY_DSTRA) ||
      (wCode == ANY_PSTRW && wWanted == ANY_DSTRW))
    return 1;

  auto Cast = [&](unsigned short wTo, int nStep) {
    const unsigned short wFrom = pclValue->nGetTypeCode();
    const int nResult = pclValue->__nCastTo(wTo, nullptr, 0);
    if (nResult > knLastCastSuccess) {
      ReportCast(pclError, this, nResult, wFrom, wTo, nStep);
      return false;
    }
    return true;
  };

  if (wWanted == ANY_DATEA || wWanted == ANY_TIMEA || wWanted == ANY_DATETIME) {
    if (wCode == ANY_DATETIME) return 1;
    if (wCode == ANY_TIMEA || wCode == ANY_TIMEW) {
      if (wWanted != ANY_DATEA) return 1;
      pclValue->__SetType(ANY_DATEA, 0);
      pclValue->ClearFlags();
      return 1;
    }
    if (!Cast(ANY_PSTRA, knLocationDateTypeCast)) return 0;
    if (eItemType != NA_IT_HEURE) return Cast(wWanted, knLocationDateTypeCast) ? 1 : 0;
    // An hour given with fewer than four digits is completed with zeros
    // ("12" is 12:00).
    const char* psz = nullptr;
    pclValue->nGetPCASTR(&psz);
    std::string s = psz != nullptr ? psz : "";
    if (s.size() < 4) {
      s.append(4 - s.size(), '0');
      const bool bNull = pclValue->bIsNull();
      pclValue->SetValue(s.c_str());
      pclValue->SetNull(bNull);
    }
    return Cast(ANY_TIMEA, knLocationHeureCast) ? 1 : 0;
  }

  if (wCode == ANY_BIN || wCode == ANY_BUFFER || wCode == ANY_MEMOIMG) return 1;
  if (!bExact) {
    bool bKeep = false;
    switch (wCode) {
      case ANY_I2:
        bKeep = wWanted == ANY_I1 || wWanted == ANY_I2;
        break;
      case ANY_I4:
        bKeep = wWanted == ANY_I1 || wWanted == ANY_I2 || wWanted == ANY_I4 || wWanted == ANY_R4;
        break;
      case ANY_I8: {
        bKeep = wWanted == ANY_I1 || wWanted == ANY_I2 || wWanted == ANY_I8 || wWanted == ANY_R4 ||
                wWanted == ANY_R8;
        if (wWanted == ANY_I4) {
          long n = 0;
          pclValue->nGetINT_64(&n);
          bKeep = n < -2147483647L || n > 2147483646L;
        }
        break;
      }
      case ANY_R4:
        bKeep = wWanted == ANY_I1 || wWanted == ANY_I2 || wWanted == ANY_I4 || wWanted == ANY_I8 ||
                wWanted == ANY_R4;
        break;
      case ANY_R8:
        bKeep = wWanted == ANY_I1 || wWanted == ANY_I2 || wWanted == ANY_I4 || wWanted == ANY_I8 ||
                wWanted == ANY_R4 || wWanted == ANY_R8;
        break;
      default:
        break;
    }
    if (bKeep) return 1;
  }
  return Cast(wWanted, knLocationOtherCast) ? 1 : 0;
}

// ---- Texts ---------------------------------------------------------------------

int CNAConnectionDescription::_bEscapeString(CNAError* /*pclError*/, CTStringConcatAW* pclOut,
                                             unsigned short wTypeCode, unsigned char* pbyData,
                                             unsigned long nByteLength) {
  if (pclOut == nullptr) return 0;
  if (nByteLength == 0 || pbyData == nullptr) {
    AddText(pclOut, L"''");
    return 1;
  }
  const bool bWide = wTypeCode == ANY_DSTRW || wTypeCode == ANY_CARW || wTypeCode == ANY_PSTRW || wTypeCode == 20;
  if (!bWide) {
    std::string s = "'";
    for (unsigned long i = 0; i < nByteLength; ++i) {
      const char c = static_cast<char>(pbyData[i]);
      s += c;
      if (c == '\'') s += '\'';
    }
    s += '\'';
    pclOut->Add(s.c_str(), static_cast<long>(s.size()), static_cast<unsigned>(m_nApplicationCodePage));
    return 1;
  }
  std::size_t nChars = nByteLength / sizeof(wchar_t);
  std::wstring sText(nChars, L'\0');
  if (nChars != 0) std::memcpy(&sText[0], pbyData, nChars * sizeof(wchar_t));
  while (!sText.empty() && sText.back() == 0) sText.pop_back();
  const bool bNational = m_eDataSource == 1 || m_eDataSource == 2;
  std::wstring s;
  for (wchar_t c : sText) {
    s += c;
    if (c == L'\'') s += L'\'';
  }
  AddText(pclOut, bNational ? L"N'" : L"'");
  const unsigned nMaster = pclOut->nGetCodePage();
  if (bNational && nMaster != 65001 && nMaster != CONCAT_CP_WIDE) {
    const std::string sUtf8 = Utf8(s);
    pclOut->AddUTF8(sUtf8.c_str(), static_cast<long>(sUtf8.size()));
  } else {
    pclOut->Add(s.c_str(), static_cast<long>(s.size()));
  }
  AddText(pclOut, L"'");
  return 1;
}

int CNAConnectionDescription::_bBoolToString(CNAError* /*pclError*/, CTStringConcatAW* pclOut, int nValue) {
  if (pclOut == nullptr) return 0;
  SetText(pclOut, nValue != 0 ? L"1" : L"0");
  return 1;
}

int CNAConnectionDescription::bCopyString(CNAError* /*pclError*/, CXYString<wchar_t>* pclOut,
                                          const CAny* pclValue) {
  if (pclOut == nullptr || pclValue == nullptr || pclValue->bIsNull()) return 1;
  CAny clCopy(*pclValue);
  if (clCopy.__nCastTo(ANY_DSTRW, nullptr, 1) > knLastCastSuccess) return 1;
  clCopy.__nFillString(*pclOut, nullptr);
  return 1;
}

// ---- Dates and times ------------------------------------------------------------

int CNAConnectionDescription::_bDateToString(CNAError* pclError, CTStringConcatAW* pclOut, const CAny* pclValue,
                                             eNA_ITEMTYPE eItemType) {
  return _bDateToString(pclError, pclOut, pclValue, m_eDataSource == 7 || m_eDataSource == 8 ? 1 : 0, eItemType);
}

int CNAConnectionDescription::_bDateToString(CNAError* pclError, CTStringConcatAW* pclOut, const CAny* pclValue,
                                             int bEscape, eNA_ITEMTYPE eItemType) {
  if (pclOut == nullptr) return 0;
  if (pclValue == nullptr || pclValue->bIsNull()) {
    SetText(pclOut, L"NULL");
    return 1;
  }
  std::wstring sText;
  int nResult = 0;
  if (!bValueText(*pclValue, &sText, &nResult)) {
    ReportCast(pclError, this, nResult, pclValue->nGetTypeCode(), ANY_DSTRW, knLocationDateCast);
    return 0;
  }
  if (sText.empty()) {
    SetText(pclOut, L"NULL");
    return 1;
  }
  const bool bZeroDate = m_eDataSource == 5 && sText.compare(0, 8, L"00000000") == 0;

  enum { DATE, TIME, DATETIME } eForm = DATETIME;
  switch (pclValue->nGetTypeCode()) {
    case ANY_DATEW:
    case ANY_DATEA: eForm = DATE; break;
    case ANY_TIMEW:
    case ANY_TIMEA: eForm = TIME; break;
    case ANY_DATETIME: eForm = DATETIME; break;
    default:
      eForm = eItemType == NA_IT_DATE8 ? DATE : eItemType == NA_IT_HEURE ? TIME : DATETIME;
      break;
  }

  CXTime clTime;
  switch (eForm) {
    case DATE:
      if (bZeroDate) return _bDateToString(pclError, pclOut, L"'0000-00-00'", bEscape);
      if (!clTime.bSetTNDateTimeMin(sText.c_str())) {
        ReportInvalidDate(pclError, this);
        return 0;
      }
      if (m_eDataSource == 11 && m_bDateAsQuotedText)
        return _bDateToString(pclError, pclOut, (L"'" + sText + L"'").c_str(), bEscape);
      return _bDateToString(pclError, pclOut, clTime, bEscape);
    case TIME:
      if (!clTime.bSetTNTimeMin(sText.c_str())) {
        ReportInvalidDate(pclError, this);
        return 0;
      }
      return _bTimeToString(pclError, pclOut, clTime, bEscape);
    case DATETIME:
      if (!clTime.bSetTNDateTimeMin(sText.c_str())) {
        ReportInvalidDate(pclError, this);
        return 0;
      }
      if (bZeroDate) {
        // The server's zero date, with its four-digit year.
        const std::wstring s = Printf(L"'0000-00-00 %02d:%02d:%02d.%03d'", clTime.m_stTime.tm_hour,
                                      clTime.m_stTime.tm_min, clTime.m_stTime.tm_sec, clTime.m_nMilliseconds);
        return _bDateTimeToString(pclError, pclOut, s.c_str(), bEscape);
      }
      return _bDateTimeToString(pclError, pclOut, clTime, bEscape);
  }
  return 0;
}

int CNAConnectionDescription::_bDateToString(CNAError* pclError, CTStringConcatAW* pclOut, CXTime& clTime,
                                             int bEscape) {
  if (pclOut == nullptr) return 0;
  const int nYear = clTime.m_stTime.tm_year + 1900;
  const int nMonth = clTime.m_stTime.tm_mon + 1;
  const int nDay = clTime.m_stTime.tm_mday;
  if (m_eDataSource == 11) {
    SetText(pclOut, Printf(L"MDY(%d,%d,%d)", nMonth, nDay, nYear));
    return 1;
  }
  return _bDateToString(pclError, pclOut, Printf(L"'%04d-%02d-%02d'", nYear, nMonth, nDay).c_str(), bEscape);
}

int CNAConnectionDescription::_bTimeToString(CNAError* /*pclError*/, CTStringConcatAW* pclOut, CXTime& clTime,
                                             int bEscape) {
  if (pclOut == nullptr) return 0;
  const int h = clTime.m_stTime.tm_hour;
  const int m = clTime.m_stTime.tm_min;
  const int s = clTime.m_stTime.tm_sec;
  std::wstring sLiteral;
  if (m_eDataSource == 11) {
    SetText(pclOut, Printf(L"DATETIME(%02d:%02d) HOUR TO MINUTE", h, m));
    return 1;
  }
  if (m_eDataSource == 7 || m_eDataSource == 8)
    sLiteral = Printf(L"'%02d:%02d:%02d'", h, m, s);
  else
    sLiteral = Printf(L"'%02d:%02d:%02d.%03d'", h, m, s, clTime.m_nMilliseconds);
  SetText(pclOut, bEscape ? L"{t " + sLiteral + L"}" : sLiteral);
  return 1;
}

int CNAConnectionDescription::_bDateTimeToString(CNAError* pclError, CTStringConcatAW* pclOut, CXTime& clTime,
                                                 int bEscape) {
  if (pclOut == nullptr) return 0;
  int nYear = clTime.m_stTime.tm_year + 1900;
  const int nMonth = clTime.m_stTime.tm_mon + 1;
  const int nDay = clTime.m_stTime.tm_mday;
  const int h = clTime.m_stTime.tm_hour;
  const int m = clTime.m_stTime.tm_min;
  const int s = clTime.m_stTime.tm_sec;
  const int ms = clTime.m_nMilliseconds;
  if (m_eDataSource == 11) {
    SetText(pclOut, Printf(L"DATETIME(%04d-%02d-%02d %02d:%02d:%02d.%03d) YEAR TO FRACTION", nYear, nMonth, nDay,
                           h, m, s, ms));
    return 1;
  }
  if (m_eDataSource == 2 && nYear == 0) nYear = 1900;
  return _bDateTimeToString(
      pclError, pclOut,
      Printf(L"'%04d-%02d-%02d %02d:%02d:%02d.%03d'", nYear, nMonth, nDay, h, m, s, ms).c_str(), bEscape);
}

int CNAConnectionDescription::_bDateToString(CNAError* /*pclError*/, CTStringConcatAW* pclOut,
                                             const wchar_t* pszLiteral, int bEscape) {
  if (pclOut == nullptr) return 0;
  const std::wstring s = pszLiteral != nullptr ? pszLiteral : L"";
  SetText(pclOut, bEscape ? L"{d " + s + L"}" : s);
  return 1;
}

int CNAConnectionDescription::_bDateTimeToString(CNAError* /*pclError*/, CTStringConcatAW* pclOut,
                                                 const wchar_t* pszLiteral, int bEscape) {
  if (pclOut == nullptr) return 0;
  const std::wstring s = pszLiteral != nullptr ? pszLiteral : L"";
  SetText(pclOut, bEscape ? L"{ts " + s + L"}" : s);
  return 1;
}

int CNAConnectionDescription::s_bTimeToStringIncomplete(CNAError* /*pclError*/, CTStringConcatAW* pclOut,
                                                        const wchar_t* pszDigits, wchar_t cSeparator) {
  if (pclOut == nullptr) return 0;
  std::wstring d;
  for (const wchar_t* p = pszDigits; p != nullptr && *p != 0 && d.size() < 9; ++p) d += *p;
  d.append(9 - d.size(), L'0');
  std::wstring s = d.substr(0, 2) + L":" + d.substr(2, 2) + L":" + d.substr(4, 2);
  s += cSeparator;
  s += d.substr(6, 3);
  SetText(pclOut, s);
  return 1;
}

void CNAConnectionDescription::s_DateStandardise(CTString* pclText) {
  if (pclText == nullptr) return;
  std::wstring s;
  for (const wchar_t* p = pclText->pszGet(); *p != 0; ++p)
    if (*p != L':' && *p != L'-' && *p != L' ' && *p != L'/' && *p != L'.') s += *p;
  if (s.empty())
    pclText->Vide();
  else
    pclText->Set(s.c_str(), static_cast<unsigned long>(s.size()));
}

// ---- Column expressions --------------------------------------------------------

int CNAConnectionDescription::bConvertExpressionToString(CNAError* /*pclError*/, CTStringConcatAW* pclOut,
                                                         const wchar_t* pszExpression, INAItemDescription* piItem,
                                                         INAItemDescription* piColumn) {
  if (pclOut == nullptr) return 0;
  const std::wstring x = pszExpression != nullptr ? pszExpression : L"";
  SetText(pclOut, x);
  if (piItem == nullptr) return 0;
  const int nKind = m_eDataSource;
  const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
  const int nSize = static_cast<int>(piItem->nGetItemSize());
  const wchar_t* pszColumnType = piColumn != nullptr ? piColumn->pszGetDBType() : nullptr;
  const bool bTimestampColumn = pszColumnType != nullptr && bEqualsNoCaseAscii(pszColumnType, L"TIMESTAMP");

  std::wstring s;
  if (eType == NA_IT_DATE8) {
    s = nKind == 5 ? L"DATE_FORMAT(" + x + L",'%Y%m%d')" : GenericYYYYMMDD(nKind, x);
  } else if (eType == NA_IT_DATETIME) {
    s = nKind == 5 ? L"SUBSTR(DATE_FORMAT(" + x + L",'%Y%m%d%H%i%S%f'), 1, 17)"
                   : GenericDateTime(nKind, x, bTimestampColumn);
  } else if (eType == NA_IT_HEURE && nSize >= 5 && nSize <= 10) {
    const int n = nSize - 1;
    if (nSize == 5) {
      s = nKind == 5 ? L"TIME_FORMAT(" + x + L",'%H%i')" : GenericHHMM(nKind, x);
    } else if (nSize <= 7) {
      if (nKind == 5) {
        s = L"TIME_FORMAT(" + x + L",'%H%i%S')";
        if (n < 6) s = L"SUBSTR(" + s + L", 1, " + std::to_wstring(n) + L")";
      } else {
        s = GenericHHMMSS(nKind, x);
        if (n < 6 && nKind != 3) s = GenericCut(nKind, s, n);
      }
    } else {
      s = nKind == 5 ? L"SUBSTR(TIME_FORMAT(" + x + L",'%H%i%S%f'), 1, " + std::to_wstring(n) + L")"
                     : GenericFraction(nKind, x, n, pszColumnType, m_nServerMajor);
    }
  } else {
    return 0;
  }
  SetText(pclOut, s);
  return 1;
}

// ---- Default values ---------------------------------------------------------------

int CNAConnectionDescription::bConvertStringToDefaultValue(CAny* pclOut, const wchar_t* pszText,
                                                           CNAItemDescription* pclItem, CNAError* pclError) {
  if (pclOut == nullptr || pclItem == nullptr) return 0;
  pclOut->__SetType(pclItem->eGetItemTNType(), 0);
  const bool bNull = pszText == nullptr || (m_eDataSource == 1 && pszText[0] == 0) ||
                     bEqualsNoCaseAscii(pszText, L"NULL");
  if (bNull) {
    pclOut->SetNull(true);
    return 1;
  }
  // Any other default is the server's text form of the value: read through
  // a conversion variant of this connection, as a fetched value would be.
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return 0;
  CNAConvertVariant* pclVariant =
      pclDriver->pclGetNewVariant_NV_Any(pclError, this, nullptr, pclItem->eGetItemTNType());
  if (pclVariant == nullptr) return 0;
  pclVariant->SetItemDesc(pclItem, pclItem);
  std::wstring sText(pszText);
  if (sText.size() >= 2 && sText.front() == L'\'' && sText.back() == L'\'') {
    sText = sText.substr(1, sText.size() - 2);
    PurgeEscapeBackSlash(&sText[0]);
    sText.resize(std::wcslen(sText.c_str()));
  }
  const int bOk = pclVariant->bSetValueFromDB(sText.c_str(), static_cast<unsigned long>(sText.size())) &&
                  pclVariant->bGetValue(pclOut);
  pclVariant->nRelease();
  return bOk;
}

// ---- Hexadecimal ------------------------------------------------------------------

int CNAConnectionDescription::s_bBinaryToStringHexa(CNAError* pclError, const unsigned char* pbyData,
                                                    unsigned long n, CTStringConcatAW* pclOut) {
  if (pclOut == nullptr) return 0;
  if (pbyData == nullptr || n == 0) return 1;
  if (n > (ULONG_MAX - 1) / 2) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  const unsigned long nCapacity = 2 * n + 1;
  char* psz = new (std::nothrow) char[nCapacity];
  if (psz == nullptr) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  BinaryToHexa(pbyData, n, psz, nCapacity);
  pclOut->Add(psz, static_cast<long>(2 * n), 1252);
  delete[] psz;
  return 1;
}

void CNAConnectionDescription::s_BinaryToStringHexa(const unsigned char* pbyData, unsigned long n, wchar_t* pszOut,
                                                    unsigned long nCapacity) {
  BinaryToHexa(pbyData, n, pszOut, nCapacity);
}

void CNAConnectionDescription::s_BinaryToStringHexa(const unsigned char* pbyData, unsigned long n, char* pszOut,
                                                    unsigned long nCapacity) {
  BinaryToHexa(pbyData, n, pszOut, nCapacity);
}

void CNAConnectionDescription::s_StringHexaToBinary(const wchar_t* pszText, unsigned char* pbyOut,
                                                    unsigned long nSize) {
  HexaToBinary(pszText, pbyOut, nSize);
}

void CNAConnectionDescription::s_StringHexaToBinary(const char* pszText, unsigned char* pbyOut,
                                                    unsigned long nSize) {
  HexaToBinary(pszText, pbyOut, nSize);
}
