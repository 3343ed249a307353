// The stand-in runtime's decimals, their factory and its counted objects.
#include "StandInValues.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<int> gnLiveDecimals{0};
std::atomic<int> gnFailDecimals{0};
std::atomic<int> gnLiveCounted{0};
std::atomic<int> gnLiveObjects{0};

using int128 = __int128;
using uint128 = unsigned __int128;

uint128 Pow10(int n) {
  uint128 u = 1;
  for (int i = 0; i < n; ++i) u *= 10;
  return u;
}

uint128 Magnitude(int128 v) { return v < 0 ? static_cast<uint128>(0) - static_cast<uint128>(v) : static_cast<uint128>(v); }

bool bValidDigits(int nPrecision, int nScale) {
  return nPrecision >= 1 && nPrecision <= 38 && nScale >= 0 && nScale <= nPrecision;
}

bool bFits(int128 v, int nPrecision) { return Magnitude(v) <= Pow10(nPrecision) - 1; }

[[noreturn]] void ReservedSlot(const char* pszWhat, int n) {
  std::fprintf(stderr, "stand-in runtime: reserved slot %d of %s called\n", n, pszWhat);
  std::abort();
}

// Sign-extends the n little-endian bytes at p.
int128 ReadNative(const void* p, int n) {
  const auto* pby = static_cast<const unsigned char*>(p);
  uint128 u = 0;
  for (int i = n - 1; i >= 0; --i) u = u << 8 | pby[i];
  if (n < 16 && (pby[n - 1] & 0x80) != 0) u |= ~static_cast<uint128>(0) << (8 * n);
  return static_cast<int128>(u);
}

void WriteNative(int128 v, void* p, int n) {
  auto* pby = static_cast<unsigned char*>(p);
  uint128 u = static_cast<uint128>(v);
  for (int i = 0; i < n; ++i, u >>= 8) pby[i] = static_cast<unsigned char>(u & 0xFF);
}

class CStandInDecimal final : public IDecimal {
 public:
  CStandInDecimal() { gnLiveDecimals.fetch_add(1); }
  ~CStandInDecimal() { gnLiveDecimals.fetch_sub(1); }
  CStandInDecimal(const CStandInDecimal&) = delete;
  CStandInDecimal& operator=(const CStandInDecimal&) = delete;

  const void* pGetData() override {
    WriteNative(m_value, m_abyNative, mg_PToN(m_nPrecision));
    return m_abyNative;
  }
  std::size_t nGetDataSize() override { return static_cast<std::size_t>(mg_PToN(m_nPrecision)); }

  int nSetFromNative(const void* p, int nPrecision, int nScale) override {
    if (p == nullptr || !bValidDigits(nPrecision, nScale)) return 105;
    const int128 v = ReadNative(p, mg_PToN(nPrecision));
    if (!bFits(v, nPrecision)) return 115;
    Set(v, nPrecision, nScale);
    return 0;
  }

  int nGetPrecisionScale(int* pnPrecision, int* pnScale) override {
    if (pnPrecision != nullptr) *pnPrecision = m_nPrecision;
    if (pnScale != nullptr) *pnScale = m_nScale;
    return 0;
  }

  int nGetNative(void* p, int nPrecision, int nScale) override {
    if (p == nullptr || !bValidDigits(nPrecision, nScale)) return 105;
    int128 v = 0;
    if (!StandIn_bRescaleDecimal(m_value, m_nScale, nScale, &v) || !bFits(v, nPrecision)) return 115;
    WriteNative(v, p, mg_PToN(nPrecision));
    return 0;
  }

  int nGetData18(void* p) override {
    if (p == nullptr) return 105;
    auto* pby = static_cast<unsigned char*>(p);
    WriteNative(m_value, pby, 16);
    pby[16] = static_cast<unsigned char>(m_nPrecision);
    pby[17] = static_cast<unsigned char>(m_nScale);
    return 0;
  }

  int nSetFromBytes(const void* p, std::size_t n) override {
    if (p == nullptr || n != 18) return 105;
    const auto* pby = static_cast<const unsigned char*>(p);
    const int nPrecision = pby[16];
    const int nScale = pby[17];
    if (!bValidDigits(nPrecision, nScale)) return 105;
    const int128 v = ReadNative(pby, 16);
    if (!bFits(v, nPrecision)) return 115;
    Set(v, nPrecision, nScale);
    return 0;
  }

  int nGetKey32(void* p) override {
    if (p == nullptr) return 105;
    // Integer part and fraction (scaled to 38 decimals) of the magnitude,
    // each below 10^38 < 2^127: big-endian, the sign in the top bit of the
    // integer part; a negative value's parts are complemented so that a
    // larger magnitude sorts first.
    const uint128 uMagnitude = Magnitude(m_value);
    const uint128 uScale = Pow10(m_nScale);
    uint128 uInteger = uMagnitude / uScale;
    uint128 uFraction = (uMagnitude % uScale) * Pow10(38 - m_nScale);
    const uint128 uTop = static_cast<uint128>(1) << 127;
    if (m_value < 0) {
      uInteger = (uTop - 1) - uInteger;
      uFraction = ~uFraction;
    } else {
      uInteger |= uTop;
    }
    auto* pby = static_cast<unsigned char*>(p);
    for (int i = 0; i < 16; ++i) {
      pby[i] = static_cast<unsigned char>(uInteger >> (8 * (15 - i)));
      pby[16 + i] = static_cast<unsigned char>(uFraction >> (8 * (15 - i)));
    }
    return 0;
  }

  int nSetLimit(int bMaximum) override {
    const int128 v = static_cast<int128>(Pow10(m_nPrecision) - 1);
    m_value = bMaximum != 0 ? v : -v;
    return 0;
  }

  int nSetFromDecimal(IDecimal* piOther) override {
    if (piOther == nullptr) return 105;
    unsigned char aby[18];
    const int n = piOther->nGetData18(aby);
    return n != 0 ? n : nSetFromBytes(aby, sizeof aby);
  }

#define KX_STANDIN_DECIMAL_RESERVED(n) \
  void _Reserved##n() override { ReservedSlot("a decimal", n); }
  KX_STANDIN_DECIMAL_RESERVED(10) KX_STANDIN_DECIMAL_RESERVED(11) KX_STANDIN_DECIMAL_RESERVED(12)
  KX_STANDIN_DECIMAL_RESERVED(13) KX_STANDIN_DECIMAL_RESERVED(14) KX_STANDIN_DECIMAL_RESERVED(15)
  KX_STANDIN_DECIMAL_RESERVED(16) KX_STANDIN_DECIMAL_RESERVED(17) KX_STANDIN_DECIMAL_RESERVED(18)
  KX_STANDIN_DECIMAL_RESERVED(19) KX_STANDIN_DECIMAL_RESERVED(20) KX_STANDIN_DECIMAL_RESERVED(21)
  KX_STANDIN_DECIMAL_RESERVED(22)
#undef KX_STANDIN_DECIMAL_RESERVED

  int nGetSign() override { return m_value < 0 ? 1 : 0; }

  int nSetPrecisionScale(int nPrecision, int nScale) override {
    if (!bValidDigits(nPrecision, nScale)) return 105;
    int128 v = 0;
    if (!StandIn_bRescaleDecimal(m_value, m_nScale, nScale, &v) || !bFits(v, nPrecision)) return 115;
    Set(v, nPrecision, nScale);
    return 0;
  }

  void Set(int128 v, int nPrecision, int nScale) {
    m_value = v;
    m_nPrecision = nPrecision;
    m_nScale = nScale;
  }
  int128 m_value = 0;
  int m_nPrecision = 38;
  int m_nScale = 0;

 private:
  unsigned char m_abyNative[16] = {};
};

class CStandInDecimalFactory final : public IVMFactory {
 public:
  IDecimal* piCreateDecimal(int /*nKind*/) override {
    int n = gnFailDecimals.load();
    while (n > 0)
      if (gnFailDecimals.compare_exchange_weak(n, n - 1)) return nullptr;
    return new (std::nothrow) CStandInDecimal();
  }
  void ReleaseDecimal(IDecimal* piDecimal) override { delete static_cast<CStandInDecimal*>(piDecimal); }
};

CStandInDecimalFactory gclDecimalFactory;

}  // namespace

IVMFactory* StandIn_pGetDecimalFactory() { return &gclDecimalFactory; }

int StandIn_nGetLiveDecimals() { return gnLiveDecimals.load(); }

void StandIn_FailNextDecimals(int k) { gnFailDecimals.store(k < 0 ? 0 : k); }

bool StandIn_bReadDecimal(IDecimal* piDecimal, __int128* pValue, int* pnPrecision, int* pnScale) {
  if (piDecimal == nullptr) return false;
  unsigned char aby[18];
  if (piDecimal->nGetData18(aby) != 0) return false;
  if (pValue != nullptr) *pValue = ReadNative(aby, 16);
  if (pnPrecision != nullptr) *pnPrecision = aby[16];
  if (pnScale != nullptr) *pnScale = aby[17];
  return true;
}

bool StandIn_bWriteDecimal(IDecimal* piDecimal, __int128 value, int nPrecision, int nScale) {
  if (piDecimal == nullptr) return false;
  unsigned char aby[18];
  WriteNative(value, aby, 16);
  aby[16] = static_cast<unsigned char>(nPrecision);
  aby[17] = static_cast<unsigned char>(nScale);
  return piDecimal->nSetFromBytes(aby, sizeof aby) == 0;
}

bool StandIn_bRescaleDecimal(__int128 value, int nFromScale, int nToScale, __int128* pResult) {
  if (nFromScale < 0 || nFromScale > 38 || nToScale < 0 || nToScale > 38) return false;
  const bool bNegative = value < 0;
  uint128 u = Magnitude(value);
  if (nToScale >= nFromScale) {
    const uint128 uFactor = Pow10(nToScale - nFromScale);
    if (u != 0 && u > (Pow10(38) - 1) / uFactor) return false;
    u *= uFactor;
  } else {
    const uint128 uFactor = Pow10(nFromScale - nToScale);
    const uint128 uRest = u % uFactor;
    u /= uFactor;
    if (uRest * 2 >= uFactor) ++u;  // half away from zero
  }
  *pResult = bNegative ? -static_cast<int128>(u) : static_cast<int128>(u);
  return true;
}

bool StandIn_bParseDecimal(const wchar_t* psz, __int128* pValue, int* pnPrecision, int* pnScale) {
  if (psz == nullptr) return false;
  while (*psz == L' ') ++psz;
  bool bNegative = false;
  if (*psz == L'-' || *psz == L'+') bNegative = *psz++ == L'-';
  uint128 u = 0;
  int nDigits = 0;
  int nScale = 0;
  bool bPoint = false;
  bool bAny = false;
  for (; *psz != 0; ++psz) {
    if (*psz >= L'0' && *psz <= L'9') {
      bAny = true;
      if (nDigits == 0 && *psz == L'0' && !bPoint) continue;  // leading zeros
      if (nDigits == 38) return false;
      u = u * 10 + static_cast<unsigned>(*psz - L'0');
      ++nDigits;
      if (bPoint) ++nScale;
    } else if ((*psz == L'.' || *psz == L',') && !bPoint) {
      bPoint = true;
    } else {
      break;
    }
  }
  while (*psz == L' ') ++psz;
  if (!bAny || *psz != 0) return false;
  *pValue = bNegative ? -static_cast<int128>(u) : static_cast<int128>(u);
  int nPrecision = nDigits < nScale ? nScale : nDigits;
  if (nPrecision == 0) nPrecision = 1;
  *pnPrecision = nPrecision;
  *pnScale = nScale;
  return true;
}

std::wstring StandIn_sFormatDecimal(__int128 value, int nScale, wchar_t cSeparator) {
  uint128 u = Magnitude(value);
  std::wstring sDigits;
  do {
    sDigits.insert(sDigits.begin(), static_cast<wchar_t>(L'0' + static_cast<int>(u % 10)));
    u /= 10;
  } while (u != 0);
  if (nScale > 0) {
    if (static_cast<int>(sDigits.size()) <= nScale)
      sDigits.insert(0, static_cast<std::size_t>(nScale + 1) - sDigits.size(), L'0');
    sDigits.insert(sDigits.size() - static_cast<std::size_t>(nScale), 1, cSeparator);
  }
  if (value < 0) sDigits.insert(sDigits.begin(), L'-');
  return sDigits;
}

// ---- Counted objects ------------------------------------------------------

CStandInCounted::CStandInCounted() {
  dwAddRef();
  gnLiveCounted.fetch_add(1);
}

CStandInCounted::~CStandInCounted() { gnLiveCounted.fetch_sub(1); }

int CStandInCounted::s_nGetLive() { return gnLiveCounted.load(); }

CStandInObject::CStandInObject() { gnLiveObjects.fetch_add(1); }

std::uint32_t CStandInObject::AddRef() { return ++m_nCount; }

std::uint32_t CStandInObject::Release() {
  if (m_nCount == 0) ReservedSlot("a released object (count already 0)", 1);
  const std::uint32_t n = --m_nCount;
  if (n == 0) {
    gnLiveObjects.fetch_sub(1);
    delete this;
  }
  return n;
}

void* CStandInObject::piGetTraitement() { return &m_byTraitement; }

int CStandInObject::s_nGetLive() { return gnLiveObjects.load(); }

#define KX_STANDIN_RESERVED(n) \
  void CStandInObject::_Reserved##n() { ReservedSlot("a runtime object", n); }
KX_STANDIN_RESERVED(2) KX_STANDIN_RESERVED(3) KX_STANDIN_RESERVED(4) KX_STANDIN_RESERVED(5)
KX_STANDIN_RESERVED(6) KX_STANDIN_RESERVED(7) KX_STANDIN_RESERVED(8) KX_STANDIN_RESERVED(9)
KX_STANDIN_RESERVED(10) KX_STANDIN_RESERVED(11) KX_STANDIN_RESERVED(12) KX_STANDIN_RESERVED(13)
KX_STANDIN_RESERVED(14) KX_STANDIN_RESERVED(15) KX_STANDIN_RESERVED(16) KX_STANDIN_RESERVED(17)
KX_STANDIN_RESERVED(18) KX_STANDIN_RESERVED(19) KX_STANDIN_RESERVED(20) KX_STANDIN_RESERVED(21)
KX_STANDIN_RESERVED(22) KX_STANDIN_RESERVED(23) KX_STANDIN_RESERVED(24) KX_STANDIN_RESERVED(25)
KX_STANDIN_RESERVED(26) KX_STANDIN_RESERVED(27) KX_STANDIN_RESERVED(28) KX_STANDIN_RESERVED(29)
KX_STANDIN_RESERVED(30) KX_STANDIN_RESERVED(31) KX_STANDIN_RESERVED(32) KX_STANDIN_RESERVED(33)
KX_STANDIN_RESERVED(34) KX_STANDIN_RESERVED(35) KX_STANDIN_RESERVED(36) KX_STANDIN_RESERVED(37)
KX_STANDIN_RESERVED(38) KX_STANDIN_RESERVED(39) KX_STANDIN_RESERVED(40) KX_STANDIN_RESERVED(41)
KX_STANDIN_RESERVED(42) KX_STANDIN_RESERVED(43) KX_STANDIN_RESERVED(44) KX_STANDIN_RESERVED(45)
KX_STANDIN_RESERVED(46) KX_STANDIN_RESERVED(47) KX_STANDIN_RESERVED(48)
#undef KX_STANDIN_RESERVED
