#include "CNAMapConvertType.h"

#include <cfloat>
#include <cstdint>
#include <new>
#include <cstring>
#include <cwchar>

#include "AnyOperators.h"
#include "CAny.h"
#include "IDecimal.h"
#include "INAItemDescription.h"
#include "SharedStringBlock.h"

// ---- CNATypeInfo ------------------------------------------------------------

CNATypeInfo::CNATypeInfo(const wchar_t* pszType, int bPlaceholders)
    : m_sType(pszType), m_bPlaceholders(bPlaceholders) {}

CNATypeInfo::~CNATypeInfo() = default;

void CNATypeInfo::Format(const INAItemDescription* piItem, CTString* pOut) const {
  if (pOut == nullptr) return;
  if (!m_bPlaceholders || piItem == nullptr) {
    *pOut = m_sType;
    return;
  }
  int nFirst = 0;
  int nSecond = 0;
  switch (piItem->eNAGetItemType()) {
    case NA_IT_HEURE: {
      const std::int64_t n = static_cast<std::int64_t>(piItem->nGetItemSize()) - 7;
      nFirst = n < 0 ? 0 : static_cast<int>(n);
      break;
    }
    case NA_IT_DECIMAL:
      nFirst = piItem->nGetIntegerPart() + piItem->nGetDecimalPart();
      nSecond = piItem->nGetDecimalPart();
      break;
    default:
      nFirst = static_cast<int>(piItem->nGetLogicalSize(0));
      break;
  }
  // Both numbers go to every format: a row with one placeholder reads the
  // first, and a driver's format with two never reads past the arguments.
  pOut->printf(m_sType.pszGet(), nFirst, nSecond);
}

// ---- CNAMapConvertType ------------------------------------------------------

CNAMapConvertType::CNAMapConvertType() : CNARefHashTable<eNA_ITEMTYPE, CNATypeInfo*>(7) {}

CNAMapConvertType::~CNAMapConvertType() = default;

void CNAMapConvertType::_Init() {
  struct STRow {
    eNA_ITEMTYPE eType;
    const wchar_t* pszType;
    int bPlaceholders;
  };
  static const STRow kastRows[] = {
      {NA_IT_IDAUTO, L"NUMERIC(19,0)", 0},  {NA_IT_IDAUTO4, L"INTEGER", 0},
      {NA_IT_I1, L"SMALLINT", 0},           {NA_IT_I2, L"SMALLINT", 0},
      {NA_IT_I4, L"INTEGER", 0},            {NA_IT_I8, L"NUMERIC(19,0)", 0},
      {NA_IT_UI1, L"SMALLINT", 0},          {NA_IT_UI2, L"SMALLINT", 0},
      {NA_IT_UI4, L"INTEGER", 0},           {NA_IT_UI8, L"NUMERIC(20,0)", 0},
      {NA_IT_BOOLEEN, L"SMALLINT", 0},      {NA_IT_MONETAIRE, L"NUMERIC(24,6)", 0},
      {NA_IT_DECIMAL, L"NUMERIC(%d,%d)", 1}, {NA_IT_R4, L"REAL", 0},
      {NA_IT_R8, L"FLOAT", 0},              {NA_IT_REELTURBO, L"FLOAT", 0},
      {NA_IT_CHAR, L"CHARACTER", 0},        {NA_IT_IMAGE, L"CHARACTER(%d)", 1},
      {NA_IT_TEXTE, L"VARCHAR(%d)", 1},     {NA_IT_MEMOTEXTE, L"TEXT", 0},
      {NA_IT_UNICODE, L"NVARCHAR(%d)", 1},  {NA_IT_MEMOUNICODE, L"NTEXT", 0},
      {NA_IT_BINAIRE, L"VARBINARY(%d)", 1}, {NA_IT_DATE6, L"DATE", 0},
      {NA_IT_DATE8, L"DATE", 0},            {NA_IT_HEURE, L"TIME", 0},
      {NA_IT_DATETIME, L"TIMESTAMP", 0},    {NA_IT_TIMELENGHT, L"NUMERIC(19,0)", 0},
  };
  for (const STRow& st : kastRows) Add(st.eType, st.pszType, st.bPlaceholders);
}

bool CNAMapConvertType::Add(eNA_ITEMTYPE eType, const wchar_t* pszType, int bPlaceholders) {
  auto* pclInfo = new (std::nothrow) CNATypeInfo(pszType, bPlaceholders);
  if (pclInfo == nullptr) {
    m_bShortOfMemory = true;
    return false;
  }
  if (bReplaceElement(eType, pclInfo)) return true;
  // Not taken: the row goes through its own count.
  pclInfo->AddRef();
  pclInfo->nRelease();
  return false;
}

bool CNAMapConvertType::bFormat(const INAItemDescription* piItem, CTString* pOut) {
  if (piItem == nullptr || pOut == nullptr) return false;
  CNATypeInfo* pclInfo = nullptr;
  if (!bGetElement(piItem->eNAGetItemType(), &pclInfo) || pclInfo == nullptr) return false;
  pclInfo->Format(piItem, pOut);
  pclInfo->nRelease();
  return true;
}

bool CNAMapConvertType::s_bEspaceSQL(wchar_t c) { return c == 9 || c == 10 || c == 13 || c == 32; }

// ---- eCheckValue --------------------------------------------------------------

namespace {

// The largest date-time the platform writes (29 December 9999,
// 23:59:59.999), and the largest duration, read as one signed 64-bit value.
constexpr std::int64_t knHighestDateTime = 0x05265BFF270F0C1DLL;

template <typename T>
eNA_CHECKVALUE eExtremes(const CAny* pValue, T tLowest, T tHighest) {
  const T t = pValue->m_clIntern.tGet<T>();
  if (t == tLowest) return NA_CHECKVALUE_LOWEST;
  if (t == tHighest) return NA_CHECKVALUE_HIGHEST;
  return NA_CHECKVALUE_ORDINARY;
}

// Whether the decimal value equals a decimal of its own precision and scale
// set to its type's minimum (bMaximum 0) or maximum. False on any failure.
bool bDecimalAtLimit(const CAny* pValue, int bMaximum) {
  IDecimal* piValue = pValue->m_clIntern.tGet<IDecimal*>();
  if (piValue == nullptr) return false;
  int nPrecision = 0;
  int nScale = 0;
  if (piValue->nGetPrecisionScale(&nPrecision, &nScale) > 99) return false;
  CAny clLimit(*pValue);
  IDecimal* piLimit = clLimit.m_clIntern.tGet<IDecimal*>();
  if (piLimit == nullptr) return false;
  if (piLimit->nSetPrecisionScale(nPrecision, nScale) > 99) return false;
  if (piLimit->nSetLimit(bMaximum) > 99) return false;
  int nEqual = 0;
  if (nEgalite(*pValue, clLimit, &nEqual, 0) > 99) return false;
  return nEqual != 0;
}

// A text whose last unit is the highest-value mark.
template <typename C, typename U>
bool bLastUnitIs(const C* psz, U uMark) {
  if (psz == nullptr) return false;
  std::size_t n = 0;
  while (psz[n] != 0) ++n;
  return n > 0 && static_cast<U>(psz[n - 1]) == uMark;
}

}  // namespace

eNA_CHECKVALUE eCheckValue(const CAny* pValue) {
  if (pValue == nullptr || pValue->bIsNull()) return NA_CHECKVALUE_ORDINARY;
  const unsigned short wType = pValue->wGetType();
  const unsigned short wCode = wType & 0xFF;
  // Any mark beside the code (NULL is handled above).
  const bool bMarked = (wType & 0xFF00) != 0;
  if (wCode > 129) return NA_CHECKVALUE_ORDINARY;
  switch (wCode) {
    // Integers and reals. A marked one is not read: it answers 0, since a
    // bound wrongly taken as open would widen a search.
    case ANY_UI1:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<std::uint8_t>(pValue, 0, 0xFF);
    case ANY_UI2:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<std::uint16_t>(pValue, 0, 0xFFFF);
    case ANY_UI4:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<std::uint32_t>(pValue, 0, 0xFFFFFFFFu);
    case ANY_UI8:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<std::uint64_t>(pValue, 0, ~std::uint64_t{0});
    case ANY_I1:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<std::int8_t>(pValue, INT8_MIN, INT8_MAX);
    case ANY_I2:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<std::int16_t>(pValue, INT16_MIN, INT16_MAX);
    case ANY_I4:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<std::int32_t>(pValue, INT32_MIN, INT32_MAX);
    case ANY_I8:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<std::int64_t>(pValue, INT64_MIN, INT64_MAX);
    case ANY_R4:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<float>(pValue, -FLT_MAX, FLT_MAX);
    case ANY_R8:
      return bMarked ? NA_CHECKVALUE_ORDINARY : eExtremes<double>(pValue, -DBL_MAX, DBL_MAX);
    // The platform-width unsigned type: left open, it answers 0 for the
    // same reason.
    case ANY_UIX:
      return NA_CHECKVALUE_ORDINARY;
    case ANY_DECIMAL:
      if (bDecimalAtLimit(pValue, 0)) return NA_CHECKVALUE_LOWEST;
      if (bDecimalAtLimit(pValue, 1)) return NA_CHECKVALUE_HIGHEST;
      return NA_CHECKVALUE_ORDINARY;
    case ANY_DSTRW:
    case ANY_DSTRA: {
      const void* pvHandle = pValue->m_clIntern.tGet<const void*>();
      if (pvHandle == nullptr) return NA_CHECKVALUE_ORDINARY;
      return (SharedBlock::dwGetFlags(pvHandle) & SharedBlock::kEndMarkerFlag) != 0 ? NA_CHECKVALUE_HIGHEST
                                                                                   : NA_CHECKVALUE_ORDINARY;
    }
    case ANY_CARA:
      return pValue->m_clIntern.tGet<unsigned char>() == 0xFF ? NA_CHECKVALUE_HIGHEST : NA_CHECKVALUE_ORDINARY;
    case ANY_CARW:
      return pValue->m_clIntern.tGet<std::uint32_t>() == 0xFFFFFFFFu ? NA_CHECKVALUE_HIGHEST
                                                                    : NA_CHECKVALUE_ORDINARY;
    case ANY_PSTRA:
    case ANY_DATEA:
    case ANY_TIMEA: {
      const char* psz = nullptr;
      if (pValue->nGetPCASTR(&psz) != ANY_OK) return NA_CHECKVALUE_ORDINARY;
      return bLastUnitIs<char, unsigned char>(psz, 0xFF) ? NA_CHECKVALUE_HIGHEST : NA_CHECKVALUE_ORDINARY;
    }
    case ANY_DATEW:
    case ANY_TIMEW:
    case ANY_PSTRW: {
      const wchar_t* psz = nullptr;
      if (pValue->nGetPCWSTR(&psz) != ANY_OK) return NA_CHECKVALUE_ORDINARY;
      return bLastUnitIs<wchar_t, std::uint32_t>(psz, 0xFFFFFFFFu) ? NA_CHECKVALUE_HIGHEST
                                                                   : NA_CHECKVALUE_ORDINARY;
    }
    case ANY_DATETIME:
    case ANY_DUREE: {
      // A marked value is not read: it counts as 0.
      const std::int64_t n = bMarked ? 0 : pValue->m_clIntern.tGet<std::int64_t>();
      if (n == 0) return NA_CHECKVALUE_LOWEST;
      if (n > knHighestDateTime) return NA_CHECKVALUE_HIGHEST;
      return NA_CHECKVALUE_ORDINARY;
    }
    default:
      return NA_CHECKVALUE_ORDINARY;
  }
}
