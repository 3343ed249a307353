// Index keys of typed values: keys compare (memcmp) as their values do,
// refusals leave zeros and never touch bytes they do not own, the caller's
// value is never changed, the sort table's order, and the wide-text
// linguistic path through the host's converter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "AnyRuntime.h"
#include "CAny.h"
#include "CConvertKey.h"
#include "CDateTimeBase.h"
#include "CDureeBase.h"
#include "CMoney.h"
#include "CXQConvertKey.h"
#include "IDecimal.h"
#include "KeyTables.h"
#include "StandInValues.h"
#include "StandInXQ.h"
#include "XMalloc.h"
#include "XQForNA.h"
#include "support/BoundRuntimeFixture.h"

namespace {

using Bytes = std::vector<unsigned char>;

int nSign(int n) { return (n > 0) - (n < 0); }

// A key written into a heap buffer of exactly keySize bytes that held 0xCD
// (so ASan sees any write past it, and stale bytes show).
Bytes KeyInBuffer(CAny& v, unsigned short code, unsigned short options, std::size_t keySize, int* pnResult,
                  int nInt = 0, int nDec = 0) {
  std::unique_ptr<unsigned char[]> p(new unsigned char[keySize]);
  std::memset(p.get(), 0xCD, keySize);
  *pnResult = CConvertKey::nConvertKeyAndGetSize(&v, p.get(), keySize, code, options, nInt, nDec);
  return Bytes(p.get(), p.get() + keySize);
}

// The allocating form: the first `nRead` bytes of the key it hands out
// (nRead 0: the result's count); bNull tells whether it handed none.
Bytes KeyAllocated(CAny& v, unsigned short code, unsigned short options, int* pnResult, bool* pbNull,
                   int nInt = 0, int nDec = 0, std::size_t nRead = 0) {
  unsigned char* pKey = reinterpret_cast<unsigned char*>(0x1);  // must be reset
  *pnResult = CConvertKey::nConvertKeyAndGetSize(&v, &pKey, code, options, nInt, nDec);
  *pbNull = pKey == nullptr;
  Bytes out;
  if (pKey != nullptr) {
    const std::size_t n = nRead != 0 ? nRead : static_cast<std::size_t>(*pnResult);
    out.assign(pKey, pKey + n);
    XMALLOC_Del_(pKey);
  }
  return out;
}

Bytes Hex(std::initializer_list<int> l) {
  Bytes b;
  for (int n : l) b.push_back(static_cast<unsigned char>(n));
  return b;
}

void SetPSTRA(CAny& v, const char* psz) {
  v.__SetType(ANY_PSTRA, 0);
  v.SetValue(psz);
}
void SetPSTRW(CAny& v, const wchar_t* psz) {
  v.__SetType(ANY_PSTRW, 0);
  v.SetValue(psz);
}
CMoney MoneyOfRaw(std::int64_t raw) {
  CMoney m;
  const auto u = static_cast<std::uint64_t>(raw);
  for (int i = 0; i < 4; ++i) m.m_awMot[i] = static_cast<unsigned short>(u >> (16 * i));
  m.m_awMot[4] = raw < 0 ? 0xFFFF : 0;
  return m;
}

using convertkey = BoundRuntimeTest;

// ---- Keys compare as the values --------------------------------------------

// One kind: sets two random values, returns the sign of their comparison.
struct STKind {
  const char* pszName;
  unsigned short wCode;
  std::size_t nWidth;
  std::function<int(std::mt19937_64&, CAny&, CAny&)> fnMake;
  int nInt = 0;
  int nDec = 0;
};

// Random integers with the edges of their type mixed in.
template <typename T>
T tRandom(std::mt19937_64& rng) {
  switch (rng() % 8) {
    case 0: return std::numeric_limits<T>::min();
    case 1: return std::numeric_limits<T>::max();
    case 2: return static_cast<T>(0);
    case 3: return static_cast<T>(rng() % 3) - static_cast<T>(1);
    default: return static_cast<T>(rng());
  }
}

template <typename T>
STKind IntegerKind(const char* pszName, unsigned short wCode, void (CAny::*pfnSet)(T)) {
  return {pszName, wCode, sizeof(T), [pfnSet](std::mt19937_64& rng, CAny& a, CAny& b) {
            const T x = tRandom<T>(rng), y = tRandom<T>(rng);
            (a.*pfnSet)(x);
            (b.*pfnSet)(y);
            return (x > y) - (x < y);
          }};
}

// Any non-NaN real, infinities and zeros included, never -0.0 against +0.0.
template <typename T, typename U>
T tRandomReal(std::mt19937_64& rng) {
  for (;;) {
    T d;
    switch (rng() % 8) {
      case 0: d = std::numeric_limits<T>::infinity(); break;
      case 1: d = -std::numeric_limits<T>::infinity(); break;
      case 2: d = static_cast<T>(static_cast<int>(rng() % 5) - 2); break;
      default: {
        const U u = static_cast<U>(rng());
        std::memcpy(&d, &u, sizeof d);
      }
    }
    if (!std::isnan(d)) return d;
  }
}

template <typename T, typename U>
STKind RealKind(const char* pszName, unsigned short wCode, void (CAny::*pfnSet)(T)) {
  return {pszName, wCode, sizeof(T), [pfnSet](std::mt19937_64& rng, CAny& a, CAny& b) {
            T x = tRandomReal<T, U>(rng), y = tRandomReal<T, U>(rng);
            if (x == 0 && y == 0) y = x;  // same zero
            (a.*pfnSet)(x);
            (b.*pfnSet)(y);
            return (x > y) - (x < y);
          }};
}

TEST_F(convertkey, KeysCompareAsTheirValuesAscendingAndDescending) {
  std::vector<STKind> kinds = {
      IntegerKind<signed char>("I1", ANY_I1, &CAny::SetI1),
      IntegerKind<short>("I2", ANY_I2, &CAny::SetI2),
      IntegerKind<int>("I4", ANY_I4, &CAny::SetI4),
      IntegerKind<std::int64_t>("I8", ANY_I8, &CAny::SetI8),
      IntegerKind<unsigned char>("UI1", ANY_UI1, &CAny::SetUI1),
      IntegerKind<unsigned short>("UI2", ANY_UI2, &CAny::SetUI2),
      IntegerKind<unsigned int>("UI4", ANY_UI4, &CAny::SetUI4),
      IntegerKind<std::uint64_t>("UI8", ANY_UI8, &CAny::SetUI8),
      RealKind<float, std::uint32_t>("R4", ANY_R4, &CAny::SetR4),
      RealKind<double, std::uint64_t>("R8", ANY_R8, &CAny::SetR8),
      {"CY", ANY_CY, 10,
       [](std::mt19937_64& rng, CAny& a, CAny& b) {
         const auto x = tRandom<std::int64_t>(rng), y = tRandom<std::int64_t>(rng);
         a.SetCY(MoneyOfRaw(x));
         b.SetCY(MoneyOfRaw(y));
         return (x > y) - (x < y);
       }},
      {"DATETIME", ANY_DATETIME, 8,
       [](std::mt19937_64& rng, CAny& a, CAny& b) {
         auto make = [&rng](CAny& v) {
           CDateTimeBase dt{static_cast<std::uint8_t>(1 + rng() % 28), static_cast<std::uint8_t>(1 + rng() % 12),
                            static_cast<std::uint16_t>(1 + rng() % 9999),
                            static_cast<std::uint32_t>(rng() % 86400000)};
           if (rng() % 4 == 0) dt.m_wAnnee = 2024;  // same year, then day and time decide
           v.SetDATETIME(dt);
           return std::make_tuple(dt.m_wAnnee, dt.m_byMois, dt.m_byJour, dt.m_dwHeure);
         };
         const auto x = make(a), y = make(b);
         return (x > y) - (x < y);
       }},
      {"DUREE", ANY_DUREE, 8,
       [](std::mt19937_64& rng, CAny& a, CAny& b) {
         const CDureeBase x{tRandom<std::int64_t>(rng)}, y{tRandom<std::int64_t>(rng)};
         a.SetDUREE(x);
         b.SetDUREE(y);
         return CDureeBase::nCompare(x, y);
       }},
      // Decimals of 18 digits with 3 decimals, given as text and cast.
      {"DECIMAL", ANY_DECIMAL, 32,
       [](std::mt19937_64& rng, CAny& a, CAny& b) {
         auto make = [&rng](CAny& v) {
           const std::int64_t n = static_cast<std::int64_t>(rng() % 1999999999999999999ULL) - 999999999999999999LL;
           const std::uint64_t u = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
           char sz[40];
           std::snprintf(sz, sizeof sz, "%s%llu.%03llu", n < 0 ? "-" : "", static_cast<unsigned long long>(u / 1000),
                         static_cast<unsigned long long>(u % 1000));
           SetPSTRA(v, sz);
           return n;
         };
         const std::int64_t x = make(a), y = make(b);
         return (x > y) - (x < y);
       },
       15, 3},
  };
  std::mt19937_64 rng(20240611);
  for (const STKind& kind : kinds) {
    for (int i = 0; i < 300; ++i) {
      CAny a, b;
      const int nOrder = kind.fnMake(rng, a, b);
      int nA = 0, nB = 0;
      const Bytes ka = KeyInBuffer(a, kind.wCode, 0, kind.nWidth, &nA, kind.nInt, kind.nDec);
      const Bytes kb = KeyInBuffer(b, kind.wCode, 0, kind.nWidth, &nB, kind.nInt, kind.nDec);
      ASSERT_EQ(static_cast<int>(kind.nWidth), nA) << kind.pszName;
      ASSERT_EQ(static_cast<int>(kind.nWidth), nB) << kind.pszName;
      ASSERT_EQ(nOrder, nSign(std::memcmp(ka.data(), kb.data(), kind.nWidth))) << kind.pszName << " pair " << i;

      bool bNullA = true, bNullB = true;
      const Bytes da = KeyAllocated(a, kind.wCode, KEY_OPT_DESCENDING, &nA, &bNullA, kind.nInt, kind.nDec);
      const Bytes db = KeyAllocated(b, kind.wCode, KEY_OPT_DESCENDING, &nB, &bNullB, kind.nInt, kind.nDec);
      ASSERT_FALSE(bNullA || bNullB) << kind.pszName;
      ASSERT_EQ(static_cast<int>(kind.nWidth), nA) << kind.pszName;
      ASSERT_EQ(-nOrder, nSign(std::memcmp(da.data(), db.data(), kind.nWidth))) << kind.pszName << " pair " << i;
    }
  }
  EXPECT_EQ(0, m_vm->GetLiveDecimals());
}

// ---- The documented keys ---------------------------------------------------

struct STEdgeRow {
  const char* pszName;
  std::function<void(CAny&)> fnSet;
  unsigned short wCode;
  unsigned short wOptions;
  std::size_t nKeySize;
  Bytes expected;
  int nResult;
};

TEST_F(convertkey, DocumentedKeys) {
  const double dNegZero = -0.0;
  std::uint64_t uNaN = 0x7FF8000000000001ULL;
  double dNaN;
  std::memcpy(&dNaN, &uNaN, sizeof dNaN);
  const std::vector<STEdgeRow> rows = {
      {"I4 -1", [](CAny& v) { v.SetI4(-1); }, ANY_I4, 0, 4, Hex({0x7F, 0xFF, 0xFF, 0xFF}), 4},
      {"I4 0", [](CAny& v) { v.SetI4(0); }, ANY_I4, 0, 4, Hex({0x80, 0, 0, 0}), 4},
      {"I4 0 descending", [](CAny& v) { v.SetI4(0); }, ANY_I4, KEY_OPT_DESCENDING, 4, Hex({0x7F, 0xFF, 0xFF, 0xFF}), 4},
      {"I4 5, option word 0x2800", [](CAny& v) { v.SetI4(5); }, ANY_I4, 0x2800, 4, Hex({0x80, 0, 0, 5}), 4},
      {"I4 cast from I8", [](CAny& v) { v.SetI8(258); }, ANY_I4, 0, 4, Hex({0x80, 0, 1, 2}), 4},
      {"R8 1.0", [](CAny& v) { v.SetR8(1.0); }, ANY_R8, 0, 8, Hex({0xBF, 0xF0, 0, 0, 0, 0, 0, 0}), 8},
      {"R8 -1.0", [](CAny& v) { v.SetR8(-1.0); }, ANY_R8, 0, 8, Hex({0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 8},
      {"R8 +0.0", [](CAny& v) { v.SetR8(0.0); }, ANY_R8, 0, 8, Hex({0x80, 0, 0, 0, 0, 0, 0, 0}), 8},
      {"R8 -0.0", [dNegZero](CAny& v) { v.SetR8(dNegZero); }, ANY_R8, 0, 8,
       Hex({0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 8},
      {"R8 NaN by its bits", [dNaN](CAny& v) { v.SetR8(dNaN); }, ANY_R8, 0, 8, Hex({0xFF, 0xF8, 0, 0, 0, 0, 0, 1}), 8},
      {"R4 -0.0", [](CAny& v) { v.SetR4(-0.0f); }, ANY_R4, 0, 4, Hex({0x7F, 0xFF, 0xFF, 0xFF}), 4},
      {"BOOL true", [](CAny& v) { v.SetBOOL(1); }, ANY_BOOL, 0, 1, Hex({0x81}), 1},
      {"BIN 01 AB in 8", [](CAny& v) { v.SetBIN(Hex({0x01, 0xAB}).data(), 2); }, ANY_BIN, 0, 8,
       Bytes({'0', '1', 'a', 'b', '0', '0', '0', '0'}), 4},
      {"PSTRA abc in 10", [](CAny& v) { SetPSTRA(v, "abc"); }, ANY_PSTRA, 0, 10,
       Hex({'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0}), 4},
      {"DATETIME 2024-06-11 10:00", [](CAny& v) { v.SetDATETIME(CDateTimeBase{11, 6, 2024, 36000000}); },
       ANY_DATETIME, 0, 8, Hex({0x07, 0xE8, 0x06, 0x0B, 0x02, 0x25, 0x51, 0x00}), 8},
      {"CY 1", [](CAny& v) { v.SetCY(gstMillion); }, ANY_CY, 0, 10, Hex({0x80, 0, 0, 0, 0, 0, 0, 0x0F, 0x42, 0x40}), 10},
      {"DUREE -1 ms", [](CAny& v) { v.SetDUREE(CDureeBase{-1}); }, ANY_DUREE, 0, 8,
       Hex({0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 8},
      // A NULL value is keyed as the empty text cast to I4 (0), and keeps
      // its NULL (checked below).
      {"NULL I4", [](CAny& v) { v.SetI4(77); v.SetNull(true); }, ANY_I4, 0, 4, Hex({0x80, 0, 0, 0}), 4},
      // No key form: nothing, and the buffer is zeros, even descending.
      {"BUFFER", [](CAny& v) { v.__SetType(ANY_BUFFER, 0); v.SetValue("xyz", 3); }, ANY_BUFFER,
       KEY_OPT_DESCENDING, 3, Hex({0, 0, 0}), 0},
  };
  for (const STEdgeRow& row : rows) {
    CAny v;
    row.fnSet(v);
    const unsigned short wBefore = v.wGetType();
    int nResult = -1;
    EXPECT_EQ(row.expected, KeyInBuffer(v, row.wCode, row.wOptions, row.nKeySize, &nResult)) << row.pszName;
    EXPECT_EQ(row.nResult, nResult) << row.pszName;
    EXPECT_EQ(wBefore, v.wGetType()) << row.pszName << ": the caller's value changed";
  }
}

// The caller's NULL value stays NULL with its content; keyed into a buffer
// that holds an earlier key, the key is the empty text's cast (0), never the
// earlier key.
TEST_F(convertkey, NullValueIsKeyedAsTheEmptyTextAndKeepsItsNull) {
  struct STRow {
    unsigned short wCode;
    Bytes expected;
  } rows[] = {{ANY_I4, Hex({0x80, 0, 0, 0})}, {ANY_I8, Hex({0x80, 0, 0, 0, 0, 0, 0, 0})}};
  for (const STRow& row : rows) {
    CAny earlier;
    earlier.SetI8(-123456789);
    Bytes key(row.expected.size());
    ASSERT_EQ(static_cast<int>(key.size()),
              CConvertKey::nConvertKeyAndGetSize(&earlier, key.data(), key.size(), row.wCode, 0, 0, 0));
    CAny v;
    v.SetI4(42);
    v.SetNull(true);
    EXPECT_EQ(static_cast<int>(key.size()),
              CConvertKey::nConvertKeyAndGetSize(&v, key.data(), key.size(), row.wCode, 0, 0, 0));
    EXPECT_EQ(row.expected, key);
    EXPECT_EQ(ANY_I4 | ANY_FLAG_NULL, v.wGetType());
    EXPECT_EQ(42, v.m_clIntern.tGet<std::int32_t>());
  }
  // An empty value with code 0 is keyed as the empty wide text.
  CAny empty;
  int nResult = 0;
  bool bNull = true;
  const Bytes k = KeyAllocated(empty, 0, 0, &nResult, &bNull, 0, 0, 10);
  EXPECT_FALSE(bNull);
  EXPECT_EQ(Bytes(10, 0), k);
  EXPECT_EQ(4, nResult);
  EXPECT_TRUE(empty.bIsEmpty());
}

class convertkeyUnbound : public BoundRuntimeTest {
 protected:
  convertkeyUnbound() { m_bBind = false; }
};

// Without the runtime's conversions the cast of the NULL's empty text is
// refused: zeros, not the earlier key.
TEST_F(convertkeyUnbound, NullValueWithoutConversionsGivesZeros) {
  for (unsigned short wCode : {ANY_I4, ANY_I8}) {
    const std::size_t n = wCode == ANY_I4 ? 4 : 8;
    CAny v;
    v.SetI8(9);
    Bytes key(n, 0x5A);
    CAny nul;
    nul.SetI4(1);
    nul.SetNull(true);
    EXPECT_EQ(0, CConvertKey::nConvertKeyAndGetSize(&nul, key.data(), n, wCode, 0, 0, 0));
    EXPECT_EQ(Bytes(n, 0), key);
    EXPECT_TRUE(nul.bIsNull());
  }
}

// A cast the runtime refuses (or a type without a key form) gives no key:
// zeros in the caller's buffer, no buffer from the allocating form; the data
// of the old type are never read as the new one.
TEST_F(convertkey, RefusedCastGivesNoKeyInBothForms) {
  struct STRow {
    const char* pszName;
    std::function<void(CAny&)> fnSet;
    unsigned short wCode;
    std::size_t nKeySize;
    int nInt, nDec;
  } rows[] = {
      {"BIN of 3 bytes to R8", [](CAny& v) { v.SetBIN(Hex({1, 2, 3}).data(), 3); }, ANY_R8, 8, 0, 0},
      {"BIN of 1 byte to I8", [](CAny& v) { v.SetBIN(Hex({1}).data(), 1); }, ANY_I8, 8, 0, 0},
      {"I4 to BIN", [](CAny& v) { v.SetI4(7); }, ANY_BIN, 8, 0, 0},
      {"text to DECIMAL", [](CAny& v) { SetPSTRA(v, "not a number"); }, ANY_DECIMAL, 32, 10, 2},
      // The object cannot take these digits: no key either.
      {"DECIMAL beyond its digits", [](CAny& v) { SetPSTRA(v, "12345.5"); }, ANY_DECIMAL, 32, 2, 1},
      {"DECIMAL of 0 digits", [](CAny& v) { SetPSTRA(v, "1"); }, ANY_DECIMAL, 32, 0, 0},
      {"DECIMAL of 39 digits", [](CAny& v) { SetPSTRA(v, "1"); }, ANY_DECIMAL, 32, 39, 0},
      // No cast, but no key form either: no buffer is handed out.
      {"BUFFER", [](CAny& v) { v.__SetType(ANY_BUFFER, 0); v.SetValue("xyz", 3); }, ANY_BUFFER, 3, 0, 0},
  };
  for (const STRow& row : rows) {
    CAny v;
    row.fnSet(v);
    int nResult = -1;
    EXPECT_EQ(Bytes(row.nKeySize, 0), KeyInBuffer(v, row.wCode, 0, row.nKeySize, &nResult, row.nInt, row.nDec))
        << row.pszName;
    EXPECT_EQ(0, nResult) << row.pszName;
    // Descending does not turn a refusal into a key of 0xFF.
    EXPECT_EQ(Bytes(row.nKeySize, 0),
              KeyInBuffer(v, row.wCode, KEY_OPT_DESCENDING, row.nKeySize, &nResult, row.nInt, row.nDec))
        << row.pszName;
    bool bNull = false;
    KeyAllocated(v, row.wCode, 0, &nResult, &bNull, row.nInt, row.nDec);
    EXPECT_TRUE(bNull) << row.pszName;
    EXPECT_EQ(0, nResult) << row.pszName;
  }
  // The DECIMAL refusal when the factory gives no object.
  m_vm->FailNextDecimalCreations(4);
  CAny d;
  SetPSTRA(d, "1.5");
  int nResult = -1;
  EXPECT_EQ(Bytes(32, 0), KeyInBuffer(d, ANY_DECIMAL, 0, 32, &nResult, 5, 2));
  EXPECT_EQ(0, nResult);
  m_vm->FailNextDecimalCreations(0);
  EXPECT_EQ(0, m_vm->GetLiveDecimals());
}

// A key buffer smaller than the item's width receives nothing past it (the
// buffers are exactly keySize bytes: ASan checks).
TEST_F(convertkey, KeySizeBelowTheWidthWritesNothing) {
  struct STRow {
    const char* pszName;
    std::function<void(CAny&)> fnSet;
    unsigned short wCode;
    std::size_t nKeySize;
    int nInt, nDec;
  } rows[] = {
      {"I8 in 4", [](CAny& v) { v.SetI8(-5); }, ANY_I8, 4, 0, 0},
      {"UI4 in 3", [](CAny& v) { v.SetUI4(5); }, ANY_UI4, 3, 0, 0},
      {"R8 in 7", [](CAny& v) { v.SetR8(2.5); }, ANY_R8, 7, 0, 0},
      {"CY in 9", [](CAny& v) { v.SetCY(gstMillion); }, ANY_CY, 9, 0, 0},
      {"DATETIME in 7", [](CAny& v) { v.SetDATETIME(CDateTimeBase{1, 1, 2000, 0}); }, ANY_DATETIME, 7, 0, 0},
      {"DECIMAL in 31", [](CAny& v) { SetPSTRA(v, "2.25"); }, ANY_DECIMAL, 31, 8, 2},
  };
  for (const STRow& row : rows) {
    CAny v;
    row.fnSet(v);
    int nResult = -1;
    EXPECT_EQ(Bytes(row.nKeySize, 0), KeyInBuffer(v, row.wCode, 0, row.nKeySize, &nResult, row.nInt, row.nDec))
        << row.pszName;
    EXPECT_EQ(0, nResult) << row.pszName;
  }
  // A key size of 0 writes nothing and allocates nothing.
  CAny v;
  v.SetI4(1);
  unsigned char by = 0x5A;
  EXPECT_EQ(0, CConvertKey::nConvertKeyAndGetSize(&v, &by, 0, ANY_I4, 0, 0, 0));
  EXPECT_EQ(0x5A, by);
  EXPECT_EQ(0, m_vm->GetLiveDecimals());
}

// ---- Writers on their own ---------------------------------------------------

TEST(convertkeyWriters, FixedWidthWritersRefuseShortDataAndShortKeys) {
  const eITEMTYPE types[] = {ITEM_I1, ITEM_I2, ITEM_I4, ITEM_I8, ITEM_UI1, ITEM_UI2, ITEM_UI4, ITEM_UI8, ITEM_R4,
                             ITEM_R8, ITEM_CY, ITEM_DATETIME, ITEM_DUREE, ITEM_CHAR, ITEM_BOOL};
  for (eITEMTYPE t : types) {
    std::size_t nWidth = 0;
    switch (t) {
      case ITEM_I1: case ITEM_UI1: case ITEM_CHAR: case ITEM_BOOL: nWidth = 1; break;
      case ITEM_I2: case ITEM_UI2: nWidth = 2; break;
      case ITEM_I4: case ITEM_UI4: case ITEM_R4: nWidth = 4; break;
      case ITEM_CY: nWidth = 10; break;
      default: nWidth = 8; break;
    }
    // Short data: nothing written.
    std::unique_ptr<unsigned char[]> pData(new unsigned char[nWidth]);
    std::memset(pData.get(), 0x11, nWidth);
    std::unique_ptr<unsigned char[]> pKey(new unsigned char[nWidth]);
    std::memset(pKey.get(), 0xCD, nWidth);
    EXPECT_EQ(0, CXQConvertKey::__nConvertKey(pKey.get(), nWidth, pData.get(), nWidth - 1, t, 0, 0, 0, 0, 0)) << t;
    EXPECT_EQ(Bytes(nWidth, 0xCD), Bytes(pKey.get(), pKey.get() + nWidth)) << t;
    // Short key: nothing written.
    EXPECT_EQ(0, CXQConvertKey::__nConvertKey(pKey.get(), nWidth - 1, pData.get(), nWidth, t, 0, 0, 0, 0, 0)) << t;
    EXPECT_EQ(Bytes(nWidth, 0xCD), Bytes(pKey.get(), pKey.get() + nWidth)) << t;
    // Both fit: the whole width.
    EXPECT_EQ(static_cast<int>(nWidth),
              CXQConvertKey::__nConvertKey(pKey.get(), nWidth, pData.get(), nWidth, t, 0, 0, 0, 0, 0))
        << t;
    EXPECT_EQ(nWidth, CXQConvertKey::nCalculateKeySize(t, nWidth)) << t;
  }
  // No key form, an unknown type, no data, a text key of 0 bytes, a wide key
  // under 2 bytes: 0 and nothing written.
  unsigned char abyKey[4] = {0xCD, 0xCD, 0xCD, 0xCD};
  const unsigned char abyData[4] = {'a', 0, 'b', 0};
  EXPECT_EQ(0, CXQConvertKey::__nConvertKey(abyKey, 4, abyData, 4, ITEM_BUFFER, 0, 0, 0, 0, 0));
  EXPECT_EQ(0, CXQConvertKey::__nConvertKey(abyKey, 4, abyData, 4, static_cast<eITEMTYPE>(99), 0, 0, 0, 0, 0));
  EXPECT_EQ(0, CXQConvertKey::__nConvertKey(abyKey, 4, nullptr, 4, ITEM_I4, 0, 0, 0, 0, 0));
  EXPECT_EQ(0, CXQConvertKey::__nConvertKey(abyKey, 0, abyData, 4, ITEM_TEXT, 0, 0, 0, 0, 0));
  EXPECT_EQ(0, CXQConvertKey::__nConvertKey(abyKey, 1, abyData, 4, ITEM_UNICODE, KEY_OPT_SORT_TABLE, 0, 0, 0, 0));
  EXPECT_EQ(Bytes(4, 0xCD), Bytes(abyKey, abyKey + 4));
  EXPECT_EQ(0u, CXQConvertKey::nCalculateKeySize(ITEM_NONE, 4));
}

// The high-value rule looks at data and key positions that exist: a key of
// 1 byte has no position before its terminator, empty data have no byte.
TEST(convertkeyWriters, HighValueRuleAtKeySizesOneAndTwo) {
  struct STRow {
    const char* pszName;
    Bytes data;
    std::size_t nKeySize;
    Bytes expected;
    int nResult;
  } rows[] = {
      {"size 1", Hex({0xFF}), 1, Hex({0x00}), 1},
      {"size 2", Hex({0xFF, 0x20}), 2, Hex({0xFF, 0x00}), 2},
      {"size 2, blank first", Hex({0x20, 0xFF}), 2, Hex({0x20, 0x00}), 2},
      {"size 4, FF then blanks", Hex({'a', 0xFF, 0x20, 0x20, 0x00}), 4, Hex({'a', 0xFF, 0x20, 0x00}), 4},
      {"empty data", Bytes(), 4, Hex({0xCD, 0xCD, 0xCD, 0xCD}), 0},
  };
  for (const STRow& row : rows) {
    // Exact heap blocks: a read before the data or past either block fails.
    std::unique_ptr<unsigned char[]> pData(new unsigned char[row.data.size() + (row.data.empty() ? 1 : 0)]);
    if (!row.data.empty()) std::memcpy(pData.get(), row.data.data(), row.data.size());
    std::unique_ptr<unsigned char[]> pKey(new unsigned char[row.nKeySize]);
    std::memset(pKey.get(), 0xCD, row.nKeySize);
    EXPECT_EQ(row.nResult, CXQConvertKey::__nConvertKey(pKey.get(), row.nKeySize, pData.get(), row.data.size(),
                                                        ITEM_TEXT, 0, 0, 0, 0, 0))
        << row.pszName;
    EXPECT_EQ(row.expected, Bytes(pKey.get(), pKey.get() + row.nKeySize)) << row.pszName;
  }
}

// Through a mapping, a text ending in 0xFF and blanks keeps 0xFF there.
TEST_F(convertkey, HighValueSurvivesTheMapping) {
  CAny v;
  SetPSTRA(v, "ab\xFF  ");
  int nResult = 0;
  const Bytes key = KeyInBuffer(v, ANY_PSTRA, KEY_OPT_IGNORE_CASE, 8, &nResult);
  EXPECT_GT(nResult, 0);
  EXPECT_EQ('A', key[0]);
  EXPECT_EQ('B', key[1]);
  EXPECT_EQ(0xFF, key[2]);
}

// With a charset the 8-bit key is the language's sort key of the text: "a"
// sorts before "B" there, unlike in the plain copy. Short and long texts
// (the latter copied aside on the heap) alike.
TEST(convertkeyWriters, CharsetTextKeysFollowTheLanguage) {
  auto key = [](const std::string& s, unsigned int charset) {
    Bytes k(s.size() + 1, 0xCD);
    EXPECT_EQ(static_cast<int>(s.size()),
              CXQConvertKey::__nConvertKey(k.data(), k.size(), s.data(), s.size(), ITEM_TEXT, 0, 0, 0, charset, 0));
    return k;
  };
  for (std::size_t n : {1u, 300u}) {
    const std::string sA(n, 'a'), sB(n, 'B');
    EXPECT_LT(key(sB, 0), key(sA, 0)) << n;
    EXPECT_LT(key(sA, 204), key(sB, 204)) << n;
  }
}

TEST(convertkeyWriters, BinaryKeysAreLowerCaseHexadecimal) {
  for (int b = 0; b < 256; ++b) {
    char sz[3];
    std::snprintf(sz, sizeof sz, "%02x", b);
    ASSERT_EQ(sz[0], pTabByteToChar256[2 * b]) << b;
    ASSERT_EQ(sz[1], pTabByteToChar256[2 * b + 1]) << b;
  }
  // An odd key size keeps its last byte within the filler.
  const unsigned char abyData[3] = {0xFE, 0x10, 0x07};
  char acKey[5];
  EXPECT_EQ(4, CXQConvertKey::__nConvertKey(acKey, 5, abyData, 3, ITEM_BIN, 0, 0, 0, 0, 0));
  EXPECT_EQ(std::string("fe100"), std::string(acKey, 5));
}

// The decimal writer borrows one object from the runtime's factory.
TEST(convertkeyWriters, DecimalKeyNeedsAFactoryAnObjectAndValidDigits) {
  IVMFactory* piSaved = gpiVMFactory;
  gpiVMFactory = StandIn_pGetDecimalFactory();
  const int nLive = StandIn_nGetLiveDecimals();
  const unsigned char abyNative[4] = {0x39, 0x30, 0x00, 0x00};  // 12345
  unsigned char abyKey[32];

  std::memset(abyKey, 0xCD, sizeof abyKey);
  EXPECT_EQ(32, CXQConvertKey::_Decimal_to_Key(abyKey, 32, abyNative, 3, 5, 2));
  unsigned char abyLarger[32];
  const unsigned char abyNative2[4] = {0x3A, 0x30, 0x00, 0x00};  // 12346
  EXPECT_EQ(32, CXQConvertKey::_Decimal_to_Key(abyLarger, 32, abyNative2, 3, 5, 2));
  EXPECT_LT(std::memcmp(abyKey, abyLarger, 32), 0);

  struct STRow {
    const char* pszName;
    std::size_t nLength;
    int nPrecision, nScale;
  } rows[] = {{"precision 0", 4, 0, 0}, {"precision 39", 4, 39, 0}, {"precision -1", 4, -1, 0},
              {"data shorter than the precision's bytes", 2, 5, 2}, {"scale above precision", 4, 5, 6}};
  for (const STRow& row : rows) {
    std::memset(abyKey, 0xCD, sizeof abyKey);
    EXPECT_EQ(0, CXQConvertKey::_Decimal_to_Key(abyKey, 32, abyNative, row.nLength, row.nPrecision, row.nScale))
        << row.pszName;
    EXPECT_EQ(Bytes(32, 0xCD), Bytes(abyKey, abyKey + 32)) << row.pszName;
  }
  StandIn_FailNextDecimals(1);
  EXPECT_EQ(0, CXQConvertKey::_Decimal_to_Key(abyKey, 32, abyNative, 3, 5, 2));
  EXPECT_EQ(0, CXQConvertKey::_Decimal_to_Key(abyKey, 31, abyNative, 3, 5, 2));
  gpiVMFactory = nullptr;
  EXPECT_EQ(0, CXQConvertKey::_Decimal_to_Key(abyKey, 32, abyNative, 3, 5, 2));
  EXPECT_EQ(Bytes(32, 0xCD), Bytes(abyKey, abyKey + 32));
  EXPECT_EQ(nLive, StandIn_nGetLiveDecimals());
  gpiVMFactory = piSaved;
}

// ---- The sort table ------------------------------------------------------------

unsigned nWeight(std::uint16_t u) { return static_cast<unsigned>(tabUCS2FastSort[u][0]) << 8 | tabUCS2FastSort[u][1]; }

TEST(convertkeySortTable, IsAPermutationWithItsFixedEntriesAndOrder) {
  std::vector<bool> seen(65536, false);
  for (unsigned u = 0; u < 65536; ++u) {
    const unsigned w = nWeight(static_cast<std::uint16_t>(u));
    ASSERT_FALSE(seen[w]) << "weight " << w << " twice";
    seen[w] = true;
  }
  const std::pair<std::uint16_t, unsigned> fixed[] = {
      {0x0000, 0x0000}, {0x0001, 0x0001}, {0x0009, 0x0A35}, {0x0020, 0x0A3D}, {0x0030, 0x1684}, {0x0039, 0x1851},
      {0x0061, 0x1877}, {0x0041, 0x187B}, {0x00E0, 0x1884}, {0x00C0, 0x1885}, {0x0062, 0x18D8}, {0x0042, 0x18DB},
      {0x00E9, 0x1966}, {0x00C9, 0x1967}, {0x00FF, 0x1D3B}, {0x007A, 0x1D4C}, {0x005A, 0x1D4F}, {0x03B1, 0x1DA2},
      {0x0391, 0x1DA3}, {0x0430, 0x1F77}, {0x0410, 0x1F78}, {0x4E00, 0x64BB}, {0xFFFE, 0xFFFE}, {0xFFFF, 0xFFFF}};
  for (const auto& [u, w] : fixed) EXPECT_EQ(w, nWeight(u)) << std::hex << "U+" << u;

  // Blanks and controls, then digits, then letters; each lower case before
  // its capital, which comes before the next letter; a base letter before
  // its accented forms.
  EXPECT_LT(nWeight('\n'), nWeight('0'));
  EXPECT_LT(nWeight(0x00A0), nWeight('0'));
  for (char c = '0'; c < '9'; ++c) EXPECT_LT(nWeight(c), nWeight(c + 1));
  // Digits of other scripts too lie between the blanks and the letters.
  EXPECT_LT(nWeight(' '), nWeight(0x0669));
  EXPECT_LT(nWeight(0x0669), nWeight('a'));
  for (char c = 'a'; c <= 'z'; ++c) {
    EXPECT_LT(nWeight(c), nWeight(c - 'a' + 'A')) << c;
    if (c < 'z') {
      EXPECT_LT(nWeight(c - 'a' + 'A'), nWeight(c + 1)) << c;
    }
  }
  const std::uint16_t chain[] = {'a', 'A', 0x00E0, 0x00C0, 'b', 'e', 'E', 0x00E9, 0x00C9, 'z', 'Z', 0x03B1, 0x0391,
                                 0x03B2, 0x0430, 0x0410, 0x0431, 0x4E00};
  for (std::size_t i = 0; i + 1 < sizeof chain / sizeof chain[0]; ++i)
    EXPECT_LT(nWeight(chain[i]), nWeight(chain[i + 1])) << std::hex << "U+" << chain[i];
}

// Wide texts with the sort-table option order as the table says, through
// CConvertKey (4-byte characters taken as pairs of 16-bit units).
TEST_F(convertkey, WideTextKeysFollowTheSortTable) {
  const wchar_t* texts[] = {L"a", L"ab", L"A", L"\u00e0", L"\u00c0", L"b", L"B", L"\u00e9t\u00e9"};
  std::vector<Bytes> keys;
  for (const wchar_t* psz : texts) {
    CAny v;
    SetPSTRW(v, psz);
    int nResult = 0;
    keys.push_back(KeyInBuffer(v, 0, KEY_OPT_SORT_TABLE, 40, &nResult));
    EXPECT_EQ(static_cast<int>((std::wcslen(psz) + 1) * sizeof(wchar_t)), nResult);
  }
  for (std::size_t i = 0; i + 1 < 7; ++i) EXPECT_LT(keys[i], keys[i + 1]) << i;
  // "a": its weight, then the upper half of the character (unit 0).
  EXPECT_EQ(Hex({0x18, 0x77, 0x00, 0x00, 0x00, 0x00}), Bytes(keys[0].begin(), keys[0].begin() + 6));
  EXPECT_EQ(Bytes(2, 0), Bytes(keys[0].end() - 2, keys[0].end()));
}

// ---- The host's linguistic converter ---------------------------------------------

class convertkeyLinguistic : public ::testing::Test {
 protected:
  void TearDown() override { XQForNA_Set(nullptr); }
  CStandInXQ m_clHost;
};

TEST_F(convertkeyLinguistic, ConverterFromTheHostWritesTheUnits) {
  XQForNA_Set(&m_clHost);
  const std::uint16_t awText[3] = {'A', 'b', 0xC9};  // "AbÉ", 16-bit units
  std::uint16_t awKey[5];
  std::memset(awKey, 0xCD, sizeof awKey);
  EXPECT_EQ(6, CXQConvertKey::__nConvertKey(awKey, sizeof awKey, awText, sizeof awText, ITEM_UNICODE,
                                            KEY_OPT_NO_ACCENT, 0, 0, 0, 0));
  const std::uint16_t awFolded[5] = {'a', 'b', 0xE9, 0, 0};
  EXPECT_EQ(0, std::memcmp(awFolded, awKey, sizeof awKey));
  EXPECT_EQ(1, m_clHost.m_nRequests);
  EXPECT_EQ(0, m_clHost.m_stLast.bIgnoreCase);
  EXPECT_EQ(1, m_clHost.m_stLast.bNoAccent);
  EXPECT_EQ(sizeof awText, m_clHost.m_stLast.nBytes);
  EXPECT_EQ(KEY_OPT_NO_ACCENT, m_clHost.m_stLast.nOptions);
  EXPECT_EQ(0, m_clHost.m_stLast.bFourByteInput);
  EXPECT_EQ(17, m_clHost.m_clConverter.m_stLast.nSlot);
  EXPECT_EQ(5u, m_clHost.m_clConverter.m_stLast.nUnits);
  EXPECT_EQ(1, m_clHost.m_clConverter.m_stLast.bNoAccent);

  // 4-byte characters, case ignored with the sort table: slot 18, then the
  // weights; the result counts the units before the first zero one.
  const std::uint32_t adwText[2] = {'B', 'a'};
  unsigned char abyKey[6];
  EXPECT_EQ(4, CXQConvertKey::__nConvertKey(abyKey, sizeof abyKey, adwText, sizeof adwText, ITEM_UNICODE_21,
                                            KEY_OPT_IGNORE_CASE | KEY_OPT_SORT_TABLE | KEY_OPT_NO_PUNCT, 0, 0, 0,
                                            KEY_FLAG_UCS4));
  EXPECT_EQ(Hex({0x18, 0xD8, 0x18, 0x77, 0x00, 0x00}), Bytes(abyKey, abyKey + 6));
  EXPECT_EQ(1, m_clHost.m_stLast.bIgnoreCase);
  EXPECT_EQ(1, m_clHost.m_stLast.bFourByteInput);
  EXPECT_EQ(18, m_clHost.m_clConverter.m_stLast.nSlot);
  EXPECT_EQ(1, m_clHost.m_clConverter.m_stLast.bNoPunctuation);
  EXPECT_EQ(1, m_clHost.m_clConverter.m_stLast.bIgnoreCase);

  // Case alone, without the table or big-endian units, is not linguistic.
  EXPECT_EQ(6, CXQConvertKey::__nConvertKey(awKey, sizeof awKey, awText, sizeof awText, ITEM_UNICODE,
                                            KEY_OPT_IGNORE_CASE, 0, 0, 0, 0));
  EXPECT_EQ(2, m_clHost.m_nRequests);
  EXPECT_EQ('A', awKey[0]);
}

TEST_F(convertkeyLinguistic, WithoutHostOrConverterTheTextIsCopied) {
  const std::uint16_t awText[3] = {'A', 'b', 0xC9};
  const std::uint32_t adwText[2] = {'A', 0x1F600};  // one character needs a pair
  for (bool bHost : {false, true}) {
    m_clHost.m_bHasConverter = false;
    XQForNA_Set(bHost ? &m_clHost : nullptr);
    std::uint16_t awKey[4];
    std::memset(awKey, 0xCD, sizeof awKey);
    EXPECT_EQ(6, CXQConvertKey::__nConvertKey(awKey, sizeof awKey, awText, sizeof awText, ITEM_UNICODE,
                                              KEY_OPT_NO_ACCENT, 0, 0, 0, 0));
    const std::uint16_t awCopy[4] = {'A', 'b', 0xC9, 0};
    EXPECT_EQ(0, std::memcmp(awCopy, awKey, sizeof awKey)) << bHost;
    // 4-byte characters converted to UTF-16, high byte first.
    unsigned char abyKey[8];
    EXPECT_EQ(4, CXQConvertKey::__nConvertKey(abyKey, sizeof abyKey, adwText, sizeof adwText, ITEM_UNICODE,
                                              KEY_OPT_NO_ACCENT | KEY_OPT_BIG_ENDIAN, 0, 0, 0, KEY_FLAG_UCS4));
    EXPECT_EQ(Hex({0x00, 'A', 0xD8, 0x3D, 0xDE, 0x00, 0x00, 0x00}), Bytes(abyKey, abyKey + 8)) << bHost;
  }
  EXPECT_EQ(2, m_clHost.m_nRequests);
  EXPECT_EQ(0, m_clHost.m_clConverter.m_nCalls);
}

}  // namespace
