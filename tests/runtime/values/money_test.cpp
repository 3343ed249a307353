#include "CMoney.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using i128 = __int128;
using u128 = unsigned __int128;

constexpr i128 kMax = (static_cast<i128>(1) << 79) - 1;  // largest raw value
constexpr i128 kMinPattern = -kMax - 1;                   // -2^79, refused as a result
constexpr i128 kMillion = 1000000;

CMoney FromRaw(i128 raw) {
  CMoney m;
  for (int i = 0; i < 5; ++i) m.m_awMot[i] = static_cast<unsigned short>(static_cast<u128>(raw) >> (16 * i));
  return m;
}

i128 Raw(const CMoney& m) {
  u128 u = 0;
  for (int i = 4; i >= 0; --i) u = (u << 16) | m.m_awMot[i];
  if (u >> 79) u |= ~((static_cast<u128>(1) << 80) - 1);
  return static_cast<i128>(u);
}

std::string Dec(i128 v) {
  if (v == 0) return "0";
  const bool neg = v < 0;
  u128 u = neg ? u128{0} - static_cast<u128>(v) : static_cast<u128>(v);
  std::string s;
  while (u != 0) {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
    u /= 10;
  }
  return neg ? "-" + s : s;
}

std::wstring Text(const CMoney& m) {
  wchar_t buffer[MONETAIRE_TAILLE_CHAINE];
  return pszMonetaireVersChaineC(&m, buffer);
}

CMoney Parse(const wchar_t* text) {
  CMoney m = FromRaw(0);
  EXPECT_NE(nullptr, pstChaineVersMonetaire(&m, text)) << text;
  return m;
}

bool Valid(i128 raw) { return raw >= -kMax && raw <= kMax; }

// Floor division for the reference of the rounding functions.
i128 FloorDiv(i128 a, i128 b) {
  i128 q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Operands drawn from the whole range, from both ends (the minimum pattern
// included), from around zero and around 2^40 (products that still fit).
class Operands {
 public:
  explicit Operands(unsigned seed) : m_rng(seed) {}
  i128 Next() {
    const i128 k = static_cast<i128>(m_rng() % 4);
    switch (m_rng() % 7) {
      case 0: return kMax - k;
      case 1: return kMinPattern + k;
      case 2: return static_cast<i128>(m_rng() % 4000001) - 2000000;
      case 3: return Signed(static_cast<i128>(m_rng() >> 23));  // about 2^41
      case 4: return Signed(static_cast<i128>(m_rng() % 3) * kMillion);
      default: {
        const u128 u = (static_cast<u128>(m_rng() & 0xFFFF) << 64) | m_rng();
        return Raw(FromRaw(static_cast<i128>(u)));  // any 80-bit pattern
      }
    }
  }
  // A partner that puts a x b / 10^6 or a x 10^6 / b near the range end.
  i128 NearBound(i128 a, bool forMul) {
    const u128 ua = a < 0 ? u128{0} - static_cast<u128>(a) : static_cast<u128>(a);
    if (ua == 0) return Next();
    const u128 target = static_cast<u128>(kMax) * static_cast<u128>(kMillion);  // < 2^99
    const u128 b = forMul ? target / ua : ua * static_cast<u128>(kMillion) / static_cast<u128>(kMax);
    const i128 nb = static_cast<i128>(b) + static_cast<i128>(m_rng() % 5) - 2;
    return Valid(nb) ? Signed(nb) : Next();
  }
  std::mt19937_64& Rng() { return m_rng; }

 private:
  i128 Signed(i128 v) { return (m_rng() & 1) ? -v : v; }
  std::mt19937_64 m_rng;
};

// ---- The documented examples ------------------------------------------------

TEST(money, DocumentedExamples) {
  enum Op { PARSE, ARR, INF, SUP, ENT, DIV, HEX };
  struct Row {
    Op op;
    const wchar_t* input;
    int n;                  // decimals, or the divisor of DIV
    const wchar_t* result;  // null: the operation fails
  } rows[] = {
      {PARSE, L"12.5", 0, L"12.5"},
      {PARSE, L"-0.0000015", 0, L"-0.000001"},
      {PARSE, L"7", 0, L"7"},
      {PARSE, L"0", 0, L"0"},
      {PARSE, L"", 0, L"0"},
      {PARSE, L" +3.14abc", 0, L"3.14"},
      {PARSE, L"1.2.3", 0, L"1.2"},
      {PARSE, L"\uFF0D1.5", 0, L"-1.5"},
      {PARSE, L"\uFF0B2", 0, L"2"},
      {PARSE, L"-.5", 0, L"-0.5"},
      {PARSE, L"-", 0, L"0"},
      {PARSE, L"\t5", 0, L"0"},  // only U+0020 is a blank
      {PARSE, L"604462909807314587.353087", 0, L"604462909807314587.353087"},
      {PARSE, L"-604462909807314587.3530879", 0, L"-604462909807314587.353087"},
      {ARR, L"2.345", 2, L"2.35"},
      {ARR, L"-2.345", 2, L"-2.35"},
      {ARR, L"2.344", 2, L"2.34"},
      {ARR, L"0.5", 0, L"1"},
      {ARR, L"-0.4999999", 0, L"0"},
      {SUP, L"12.5", 2, L"12.5"},
      {SUP, L"12.501", 2, L"12.51"},
      {SUP, L"-12.501", 2, L"-12.5"},
      {INF, L"-12.501", 2, L"-12.51"},
      {INF, L"12.509", 2, L"12.5"},
      {ENT, L"-2.5", 0, L"-3"},
      {ENT, L"2.5", 0, L"2"},
      {ENT, L"-2", 0, L"-2"},
      {DIV, L"1", 3, L"0.333333"},
      {DIV, L"-1", 3, L"-0.333333"},
      {DIV, L"1", 0, nullptr},
      {HEX, L"1", 0, L"F4240"},
      {HEX, L"-1", 0, L"FFFFFFFFFFFFFFF0BDC0"},
      {HEX, L"0", 0, L"0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(row.op) << " \"" << row.input << "\" " << row.n);
    CMoney m = Parse(row.input);
    CMoney* result = &m;
    const auto n = static_cast<short>(row.n);
    switch (row.op) {
      case PARSE: break;
      case ARR: result = pstArrMonetaire(&m, n); break;
      case INF: result = pstArrMonetaireInf(&m, n); break;
      case SUP: result = pstArrMonetaireSup(&m, n); break;
      case ENT: result = pstEntMonetaire(&m); break;
      case DIV: {
        CMoney divisor;
        pstInt32VersMonetaire(&divisor, row.n);
        result = pstDivMonetaire(&m, &divisor);
        break;
      }
      case HEX: {
        wchar_t buffer[MONETAIRE_TAILLE_CHAINE];
        EXPECT_STREQ(row.result, pszMonetaireVersChaineHexa(&m, buffer));
        continue;
      }
    }
    if (row.result == nullptr) {
      EXPECT_EQ(nullptr, result);
    } else {
      ASSERT_EQ(&m, result);
      EXPECT_EQ(row.result, Text(m));
    }
  }
  EXPECT_EQ(12500000, Raw(Parse(L"12.5")));
  EXPECT_EQ(-1, Raw(Parse(L"-0.0000015")));
}

// ---- Arithmetic against an exact reference ----------------------------------

TEST(money, ArithmeticAndOrderMatchExactReference) {
  Operands gen(20240517);
  const auto check = [](const char* what, i128 a, i128 b, CMoney* got, const CMoney& m, bool valid, i128 want) {
    SCOPED_TRACE(testing::Message() << what << " a=" << Dec(a) << " b=" << Dec(b));
    if (valid) {
      ASSERT_EQ(&m, got);
      ASSERT_EQ(Dec(want), Dec(Raw(m)));
    } else {
      ASSERT_EQ(nullptr, got);
      ASSERT_EQ(Dec(a), Dec(Raw(m)));  // unchanged
    }
  };
  for (int i = 0; i < 20000; ++i) {
    const i128 a = gen.Next();
    const int kind = static_cast<int>(gen.Rng()() % 4);
    const i128 b = kind == 0 ? gen.NearBound(a, true) : kind == 1 ? gen.NearBound(a, false) : gen.Next();
    const CMoney cb = FromRaw(b);

    CMoney m = FromRaw(a);
    check("add", a, b, pstAddMonetaire(&m, &cb), m, Valid(a + b), a + b);
    m = FromRaw(a);
    check("sub", a, b, pstSubMonetaire(&m, &cb), m, Valid(a - b), a - b);

    m = FromRaw(a);
    i128 product = 0;
    const bool tooLarge = __builtin_mul_overflow(a, b, &product);
    const i128 q = product / kMillion;
    check("mul", a, b, pstMulMonetaire(&m, &cb), m, !tooLarge && Valid(q), q);

    m = FromRaw(a);
    const i128 d = b == 0 ? 0 : a * kMillion / b;
    check("div", a, b, pstDivMonetaire(&m, &cb), m, b != 0 && Valid(d), d);

    const CMoney ca = FromRaw(a);
    const int order = a < b ? -1 : (a > b ? 1 : 0);
    ASSERT_EQ(order, nCmpMonetaire(&ca, &cb)) << Dec(a) << " " << Dec(b);
    unsigned char ka[10], kb[10];
    MonetaireVersCleXQ(ka, &ca);
    MonetaireVersCleXQ(kb, &cb);
    const int keyOrder = std::memcmp(ka, kb, 10);
    ASSERT_EQ(order, (keyOrder > 0) - (keyOrder < 0)) << Dec(a) << " " << Dec(b);

    m = FromRaw(a);
    check("inc", a, kMillion, bIncrementeMonetaire(&m) ? &m : nullptr, m, Valid(a + kMillion), a + kMillion);
    m = FromRaw(a);
    check("dec", a, kMillion, bDecrementeMonetaire(&m) ? &m : nullptr, m, Valid(a - kMillion), a - kMillion);
  }
  // An operand may be the target itself.
  CMoney m = Parse(L"1.5");
  ASSERT_NE(nullptr, pstAddMonetaire(&m, &m));
  EXPECT_EQ(L"3", Text(m));
  ASSERT_NE(nullptr, pstMulMonetaire(&m, &m));
  EXPECT_EQ(L"9", Text(m));
}

// ---- One range rule at both ends --------------------------------------------

TEST(money, EveryOperationRefusesResultsOutsideTheRangeAndKeepsTheTarget) {
  using Fn = std::function<bool(CMoney*)>;
  const auto add = [](i128 v) { return Fn([v](CMoney* m) { const CMoney o = FromRaw(v); return pstAddMonetaire(m, &o) != nullptr; }); };
  const auto sub = [](i128 v) { return Fn([v](CMoney* m) { const CMoney o = FromRaw(v); return pstSubMonetaire(m, &o) != nullptr; }); };
  const auto mul = [](i128 v) { return Fn([v](CMoney* m) { const CMoney o = FromRaw(v); return pstMulMonetaire(m, &o) != nullptr; }); };
  const auto div = [](i128 v) { return Fn([v](CMoney* m) { const CMoney o = FromRaw(v); return pstDivMonetaire(m, &o) != nullptr; }); };
  const Fn inc = [](CMoney* m) { return bIncrementeMonetaire(m); };
  const Fn dec = [](CMoney* m) { return bDecrementeMonetaire(m); };
  const Fn abs = [](CMoney* m) { return pstAbsMonetaire(m) != nullptr; };
  const Fn ent = [](CMoney* m) { return pstEntMonetaire(m) != nullptr; };
  const auto arr = [](short n) { return Fn([n](CMoney* m) { return pstArrMonetaire(m, n) != nullptr; }); };
  const auto inf = [](short n) { return Fn([n](CMoney* m) { return pstArrMonetaireInf(m, n) != nullptr; }); };
  const auto sup = [](short n) { return Fn([n](CMoney* m) { return pstArrMonetaireSup(m, n) != nullptr; }); };
  const Fn mul10 = [](CMoney* m) { return bMul10Monetaire(m); };

  struct Row {
    const char* what;
    i128 start;
    Fn op;
    bool ok;
    i128 result;  // when ok
  } rows[] = {
      // Subtraction reports overflow at both ends.
      {"max - (-1)", kMax, sub(-1), false, 0},
      {"-max - 1", -kMax, sub(1), false, 0},
      {"-max + 1 - 1", -kMax + 1, sub(1), true, -kMax},
      // Increment and decrement refuse instead of wrapping.
      {"inc near max", kMax - kMillion + 1, inc, false, 0},
      {"inc to max", kMax - kMillion, inc, true, kMax},
      {"dec near min", -kMax + kMillion - 1, dec, false, 0},
      {"dec to -max", -kMax + kMillion, dec, true, -kMax},
      // Sums near the bottom are valid down to -(2^79 - 1), never the minimum.
      {"sum at -2^79 + 65536", kMinPattern + 65537, add(-1), true, kMinPattern + 65536},
      {"sum at -max", -kMax + 5, add(-5), true, -kMax},
      {"sum at the minimum", -kMax, add(-1), false, 0},
      {"min + 1 raw", kMinPattern, add(1), true, -kMax},
      {"mul to the minimum", -kMax, mul(1000001), false, 0},
      {"div to the minimum", kMinPattern, div(kMillion), false, 0},
      {"mul with a product of 2^128", static_cast<i128>(1) << 65, mul(static_cast<i128>(1) << 63), false, 0},
      {"mul x 1 of -max", -kMax, mul(kMillion), true, -kMax},
      {"mul10 past max", kMax / 10 + 1, mul10, false, 0},
      {"mul10 at the bottom", -(kMax / 10), mul10, true, -(kMax / 10) * 10},
      // Magnitudes are unsigned 80-bit: the minimum has none.
      {"abs of the minimum", kMinPattern, abs, false, 0},
      {"abs of -max", -kMax, abs, true, kMax},
      {"floor of the minimum", kMinPattern, ent, false, 0},
      {"floor below -max", -kMax + 353086, ent, false, 0},
      {"floor of -604462909807314587", -kMax + 353087, ent, true, -kMax + 353087},
      {"floor of max", kMax, ent, true, kMax - 353087},
      {"round max to 5", kMax, arr(5), false, 0},
      {"round max to 0", kMax, arr(0), true, kMax - 353087},
      {"round the minimum to 5", kMinPattern, arr(5), false, 0},
      {"round the minimum to 0", kMinPattern, arr(0), true, -kMax + 353087},
      {"down the minimum", kMinPattern, inf(5), false, 0},
      {"up the minimum", kMinPattern, sup(5), true, kMinPattern + 8},
      {"up max", kMax, sup(3), false, 0},
      {"down max", kMax, inf(3), true, kMax - 87},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    CMoney m = FromRaw(row.start);
    EXPECT_EQ(row.ok, row.op(&m));
    EXPECT_EQ(Dec(row.ok ? row.result : row.start), Dec(Raw(m)));
  }

  // The minimum pattern is still there to be set, and prints its magnitude.
  CMoney m;
  SetMonetaireToMin(&m);
  EXPECT_EQ(Dec(kMinPattern), Dec(Raw(m)));
  EXPECT_EQ(L"-604462909807314587.353088", Text(m));
  NegMonetaire(&m);
  EXPECT_EQ(Dec(kMinPattern), Dec(Raw(m)));
  SetMonetaireToMax(&m);
  EXPECT_EQ(Dec(kMax), Dec(Raw(m)));
  EXPECT_EQ(L"604462909807314587.353087", Text(m));
}

TEST(money, ParsingRefusesMagnitudesBeyondTheRange) {
  const struct {
    const wchar_t* text;
    bool ok;
  } rows[] = {
      {L"604462909807314587.353087", true},
      {L"-604462909807314587.353087", true},
      {L"-604462909807314587.353088", false},  // the minimum pattern
      {L"604462909807314587.353088", false},
      {L"604462909807314588", false},
      {L"99999999999999999999999999999999999", false},
      {L"0000000000000000000000000000000000001", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    CMoney m = FromRaw(42);
    EXPECT_EQ(row.ok, pstChaineVersMonetaire(&m, row.text) != nullptr);
    if (!row.ok) {
      EXPECT_EQ(42, Raw(m));
    }
  }
}

// ---- Integers ----------------------------------------------------------------

TEST(money, SixtyFourBitIntegersConvertOnlyWithinTheRange) {
  constexpr long kLimit = 604462909807314587L;
  const struct {
    long value;
    bool ok;
  } signedRows[] = {{kLimit, true}, {-kLimit, true}, {kLimit + 1, false}, {-kLimit - 1, false},
                    {LONG_MIN, false}, {LONG_MAX, false}, {-3, true}};
  for (const auto& row : signedRows) {
    SCOPED_TRACE(row.value);
    CMoney m = FromRaw(7);
    EXPECT_EQ(row.ok, pstTresLongVersMonetaire(&m, row.value) != nullptr);
    EXPECT_EQ(Dec(row.ok ? static_cast<i128>(row.value) * kMillion : 7), Dec(Raw(m)));
    long back = 0;
    if (row.ok) {
      EXPECT_TRUE(bMonetaireVersTresLong(&m, &back));
      EXPECT_EQ(row.value, back);
    }
  }
  const struct {
    unsigned long value;
    bool ok;
  } unsignedRows[] = {{static_cast<unsigned long>(kLimit), true}, {static_cast<unsigned long>(kLimit) + 1, false},
                      {ULONG_MAX, false}, {0, true}};
  for (const auto& row : unsignedRows) {
    SCOPED_TRACE(row.value);
    CMoney m = FromRaw(7);
    EXPECT_EQ(row.ok, pstTresLongSansSigneVersMonetaire(&m, row.value) != nullptr);
    EXPECT_EQ(Dec(row.ok ? static_cast<i128>(row.value) * kMillion : 7), Dec(Raw(m)));
  }
  CMoney m;
  pstInt32VersMonetaire(&m, INT_MIN);
  EXPECT_EQ(Dec(static_cast<i128>(INT_MIN) * kMillion), Dec(Raw(m)));
}

TEST(money, ConversionsToIntegersTruncateTowardZero) {
  const struct {
    const wchar_t* text;
    int low32;            // lMonetaireVersInt32
    unsigned long low64;  // lMonetaireVersTresLongSansSigne and its b form
    bool fitsInt;         // bMonetaireVersInt32
    long asLong;          // bMonetaireVersTresLong
  } rows[] = {
      {L"-2.5", -2, static_cast<unsigned long>(-2L), true, -2},
      {L"2147483647.9", INT_MAX, 2147483647UL, true, 2147483647L},
      {L"-2147483648.9", INT_MIN, static_cast<unsigned long>(-2147483648L), true, -2147483648L},
      {L"2147483648", INT_MIN, 2147483648UL, false, 2147483648L},
      {L"5000000000.7", static_cast<int>(5000000000UL & 0xFFFFFFFFUL), 5000000000UL, false, 5000000000L},
      {L"-604462909807314587.353087", static_cast<int>(static_cast<unsigned long>(-604462909807314587L) & 0xFFFFFFFFUL),
       static_cast<unsigned long>(-604462909807314587L), false, -604462909807314587L},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    const CMoney m = Parse(row.text);
    EXPECT_EQ(row.low32, lMonetaireVersInt32(&m));
    EXPECT_EQ(row.low64, lMonetaireVersTresLongSansSigne(&m));
    unsigned long u = 0;
    EXPECT_TRUE(bMonetaireVersTresLongSansSigne(&m, &u));
    EXPECT_EQ(row.low64, u);
    int n = 12345;
    EXPECT_EQ(row.fitsInt, bMonetaireVersInt32(&m, &n));
    EXPECT_EQ(row.fitsInt ? row.low32 : 12345, n);
    long l = 0;
    EXPECT_TRUE(bMonetaireVersTresLong(&m, &l));
    EXPECT_EQ(row.asLong, l);
  }
  CMoney m;
  SetMonetaireToMin(&m);
  long l = 0;
  EXPECT_TRUE(bMonetaireVersTresLong(&m, &l));
  EXPECT_EQ(-604462909807314587L, l);
}

// ---- Doubles -------------------------------------------------------------------

TEST(money, DoublesConvertAsSixDecimalTextAndNonFiniteOnesFail) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e300,
                     -1e300, 604462909807314688.0, -604462909807314688.0}) {
    SCOPED_TRACE(bad);
    CMoney m = FromRaw(9);
    EXPECT_EQ(nullptr, pstDoubleVersMonetaire(&m, bad));
    EXPECT_EQ(9, Raw(m));
  }
  // Against "%.6f" parsed back, on exact ties, tiny and edge values and on
  // random doubles of every magnitude in range.
  std::vector<double> values = {0.0, -0.0, 0.0078125, 0.0234375, -0.0234375, 5e-7, 4.9e-7, 1e-300, 4.9e-324,
                                604462909807314560.0, -604462909807314560.0, 12.345678949, 0.1, -2.5};
  std::mt19937_64 rng(77);
  for (int i = 0; i < 20000; ++i) {
    const double mantissa = std::ldexp(static_cast<double>(rng() >> 11), -53);
    const int exponent = static_cast<int>(rng() % 90) - 30;
    values.push_back((rng() & 1 ? -1 : 1) * std::ldexp(mantissa, exponent));
  }
  for (double d : values) {
    SCOPED_TRACE(testing::Message() << std::hexfloat << d);
    char narrow[400];
    std::snprintf(narrow, sizeof narrow, "%.6f", d);
    const std::wstring wide(narrow, narrow + std::strlen(narrow));
    CMoney want = FromRaw(0);
    const bool ok = pstChaineVersMonetaire(&want, wide.c_str()) != nullptr;
    CMoney got = FromRaw(0);
    ASSERT_EQ(ok, pstDoubleVersMonetaire(&got, d) != nullptr);
    if (ok) {
      ASSERT_EQ(Dec(Raw(want)), Dec(Raw(got)));
    }
  }
}

TEST(money, ToDoubleIsTheNearestDouble) {
  std::mt19937_64 rng(5);
  for (int i = 0; i < 5000; ++i) {
    // Below 2^53 both the raw value and 10^6 are exact, so one division is
    // correctly rounded.
    const auto raw = static_cast<long long>(rng() >> 11) * (rng() & 1 ? -1 : 1);
    const CMoney m = FromRaw(raw);
    ASSERT_EQ(static_cast<double>(raw) / 1e6, dMonetaireVersDouble(&m)) << raw;
  }
  CMoney m;
  SetMonetaireToMax(&m);
  EXPECT_EQ(604462909807314587.353087, dMonetaireVersDouble(&m));
}

// ---- Texts ---------------------------------------------------------------------

TEST(money, DecimalHexAndOctalTextsRoundTrip) {
  Operands gen(99);
  for (int i = 0; i < 5000; ++i) {
    const i128 raw = gen.Next();
    const CMoney m = FromRaw(raw);
    wchar_t hex[MONETAIRE_TAILLE_CHAINE];
    pszMonetaireVersChaineHexa(&m, hex);
    CMoney back = FromRaw(1);
    ASSERT_EQ(&back, pstChaineHexaVersMonetaire(&back, hex));
    ASSERT_EQ(Dec(raw), Dec(Raw(back))) << hex;
    if (raw != kMinPattern) {
      const std::wstring text = Text(m);
      ASSERT_EQ(Dec(raw), Dec(Raw(Parse(text.c_str())))) << text;
    }
  }
  const struct {
    i128 raw;
    const wchar_t* octal;
  } rows[] = {
      {0, L"0"},
      {8, L"10"},
      {kMillion, L"3641100"},
      {-1, L"777777777777777777777777777"},
      {kMinPattern, L"600000000000000000000000000"},
      {kMax, L"177777777777777777777777777"},
  };
  for (const auto& row : rows) {
    const CMoney m = FromRaw(row.raw);
    wchar_t buffer[MONETAIRE_TAILLE_CHAINE];
    EXPECT_STREQ(row.octal, pszMonetaireVersChaineOctale(&m, buffer));
  }
}

TEST(money, HexParserUpperCasesInPlaceAndTakesTwentyDigits) {
  wchar_t text[] = L"  f4240xyz";
  CMoney m = FromRaw(5);
  ASSERT_EQ(&m, pstChaineHexaVersMonetaire(&m, text));
  EXPECT_EQ(kMillion, Raw(m));
  EXPECT_STREQ(L"  F4240XYZ", text);

  wchar_t longText[] = L"1FFFFFFFFFFFFFFFFFFFF7";  // 22 digits
  pstChaineHexaVersMonetaire(&m, longText);
  EXPECT_EQ(Dec(static_cast<i128>(0x1FFFFFFFFFFFFFFFULL) << 16 | 0xFFFF), Dec(Raw(m)));
  EXPECT_EQ(L"1FFFFFFFFFFFFFFFFFFF", std::wstring(longText, 20));

  wchar_t none[] = L"xyz";
  m = FromRaw(5);
  pstChaineHexaVersMonetaire(&m, none);
  EXPECT_TRUE(bMonetaireZero(&m));
}

// ---- Rounding ------------------------------------------------------------------

TEST(money, RoundingFloorAndDecimalsMatchReference) {
  Operands gen(4242);
  for (int i = 0; i < 20000; ++i) {
    const i128 raw = gen.Next();
    const i128 mag = raw < 0 ? -raw : raw;  // for the minimum: 2^79, as i128
    const auto n = static_cast<short>(gen.Rng()() % 6);
    i128 unit = 1;
    for (int k = n; k < 6; ++k) unit *= 10;
    SCOPED_TRACE(testing::Message() << Dec(raw) << " n=" << n);

    const auto expect = [&](const char* what, CMoney* got, const CMoney& m, i128 want) {
      SCOPED_TRACE(what);
      if (Valid(want)) {
        ASSERT_EQ(&m, got);
        ASSERT_EQ(Dec(want), Dec(Raw(m)));
      } else {
        ASSERT_EQ(nullptr, got);
        ASSERT_EQ(Dec(raw), Dec(Raw(m)));
      }
    };
    CMoney m = FromRaw(raw);
    const i128 half = (mag + unit / 2) / unit * unit;
    expect("arr", pstArrMonetaire(&m, n), m, raw < 0 ? -half : half);
    m = FromRaw(raw);
    expect("inf", pstArrMonetaireInf(&m, n), m, FloorDiv(raw, unit) * unit);
    m = FromRaw(raw);
    expect("sup", pstArrMonetaireSup(&m, n), m, -FloorDiv(-raw, unit) * unit);
    m = FromRaw(raw);
    expect("ent", pstEntMonetaire(&m), m, FloorDiv(raw, kMillion) * kMillion);
    m = FromRaw(raw);
    expect("dec", pstDecMonetaire(&m), m, mag % kMillion);
  }
  // Decimals outside 0 to 5 leave the value as it is.
  for (short n : {-1, 6, -32768}) {
    CMoney m = Parse(L"-2.3456789");
    EXPECT_EQ(&m, pstArrMonetaire(&m, n));
    EXPECT_EQ(&m, pstArrMonetaireInf(&m, n));
    EXPECT_EQ(&m, pstArrMonetaireSup(&m, n));
    EXPECT_EQ(L"-2.345678", Text(m));
  }
}

// ---- Comparison, constants, raw steps ------------------------------------------

TEST(money, ComparisonsConstantsAndRawSteps) {
  const CMoney one = Parse(L"1");
  EXPECT_EQ(1, nCmpMonetaire(nullptr, &one));
  EXPECT_EQ(1, nCmpMonetaire(nullptr, nullptr));
  EXPECT_EQ(-1, nCmpMonetaire(&one, nullptr));
  const CMoney m = Parse(L"-3.5");
  EXPECT_EQ(-1, nCmpMonetaireEtInt32(&m, -3));
  EXPECT_EQ(1, nCmpMonetaireEtInt32(&m, -4));
  EXPECT_EQ(0, nCmpMonetaireEtInt32(&one, 1));

  EXPECT_EQ(kMillion, Raw(gstMillion));
  EXPECT_EQ(-kMillion, Raw(gstMoinsMillion));
  EXPECT_EQ(65536, Raw(gstVersLong));
  CMoney zero = FromRaw(0);
  EXPECT_TRUE(bMonetaireZero(&zero));
  EXPECT_FALSE(bMonetaireZero(&one));

  CMoney x = FromRaw(-123);
  ASSERT_TRUE(bMulMonetaireWord(&x, 10, L'7'));
  EXPECT_EQ(-1237, Raw(x));
  ASSERT_TRUE(bMul10Monetaire(&x));
  EXPECT_EQ(-12370, Raw(x));
  x = FromRaw(kMax / 10);
  EXPECT_TRUE(bMulMonetaireWord(&x, 10, L'7'));  // exactly 2^79 - 1
  EXPECT_EQ(Dec(kMax), Dec(Raw(x)));
  x = FromRaw(kMax / 10);
  EXPECT_FALSE(bMulMonetaireWord(&x, 10, L'8'));
  EXPECT_EQ(Dec(kMax / 10), Dec(Raw(x)));
}

}  // namespace
