// Value holders bound onto record items and fed server values: the date and
// time layouts, the texts at the runtime's code pages, reuse of one bound
// item for many rows, the native forms of every item kind (UTF-16 Unicode
// items, length-prefixed binaries, decimals, 8-bit digit dates and times),
// copies and comparisons, and the default values read through a holder.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "CAny.h"
#include "CDateTimeBase.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNAXQRecord.h"
#include "IDecimal.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"
#include "support/TestRecordSource.h"

namespace {

// A description held by the test (one internal reference).
class Item {
 public:
  Item(eNA_ITEMTYPE e, std::uint32_t nSize, int nInt = 0, int nDec = 0) : m_p(new CNAItemDescription) {
    m_p->AddRef();
    m_p->bInit(L"ITEM", L"", L"", 1, nSize, e, 0, 0, 0, nInt, nDec);
  }
  ~Item() { m_p->nRelease(); }
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;
  CNAItemDescription* get() const { return m_p; }

 private:
  CNAItemDescription* m_p;
};

// A holder bound onto `size` bytes of a record, as a column binds it. The
// bytes start as 0xEE so that any byte the holder leaves is seen.
class Bound {
 public:
  Bound(eNA_ITEMTYPE e, std::uint32_t nSize, CNAConnectionDescription* pclCnx = nullptr, int nInt = 0,
        int nDec = 0)
      : m_item(e, nSize, nInt, nDec), m_aby(nSize + 8, 0xEE), m_v(nullptr, pclCnx) {
    m_v.bInitTypeVariant(NAVT_BOUND, m_aby.data(), nSize, 0);
    m_v.SetItemDesc(m_item.get(), m_item.get());
    m_nSize = nSize;
  }
  CNAConvertVariant& v() { return m_v; }
  unsigned char* p() { return m_aby.data(); }
  std::string Bytes() const { return std::string(m_aby.begin(), m_aby.begin() + m_nSize); }
  // The guard bytes past the item are untouched.
  bool bGuardIntact() const {
    for (std::size_t i = m_nSize; i < m_aby.size(); ++i)
      if (m_aby[i] != 0xEE) return false;
    return true;
  }

 private:
  Item m_item;
  std::vector<unsigned char> m_aby;
  CNAConvertVariant m_v;
  std::uint32_t m_nSize = 0;
};

std::string Padded(const std::string& s, std::size_t n) {
  std::string r(s);
  r.resize(n, '\0');
  return r;
}

std::string UTF16Bytes(const std::u16string& s, std::size_t n) {
  std::string r(reinterpret_cast<const char*>(s.data()), s.size() * 2);
  r.resize(n, '\0');
  return r;
}

std::wstring WideOf(const CAny& v) {
  const wchar_t* psz = nullptr;
  CAny c(v);
  if (c.nGetPCWSTR(&psz) > 99 || psz == nullptr) return L"<none>";
  return psz;
}

std::string TextOf(const CAny& v) {
  const char* psz = nullptr;
  CAny c(v);
  if (c.nGetPCASTR(&psz) > 99 || psz == nullptr) return "<none>";
  return psz;
}

class convertvariant : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    m_pcnx->AddRef();
    m_pcnx->m_nApplicationCodePage = 1252;
    m_pcnx->m_nDataBaseCodePage = 65001;
  }
  void TearDown() override {
    m_pcnx->nRelease();
    BoundRuntimeTest::TearDown();
  }
  kxtest::TestConnection* m_pcnx = new kxtest::TestConnection;
};

// ---- Date and time layouts -------------------------------------------------------

struct LayoutCase {
  const char* pszText;
  const char* pszDate8;   // the 8 digits, "" for zeros
  const char* pszHeure;   // the 9 digits, "" for zeros
  int nYear, nMonth, nDay;
  std::uint32_t nMs;      // the date-time; all 0 for zeros
};

// Every listed form, MariaDB's DATE, TIME(0-6), DATETIME(0-6) without '-',
// TIMESTAMP(0-6), YEAR, and texts of no layout.
const LayoutCase kaLayouts[] = {
    {"2024", "", "202400000", 0, 0, 0, 73440000},  // YEAR reads as HHMM
    {"13:45", "", "134500000", 0, 0, 0, 49500000},
    {"13.45", "", "", 0, 0, 0, 0},
    {"134507", "", "134507000", 0, 0, 0, 49507000},
    {"13:45:07", "", "134507000", 0, 0, 0, 49507000},  // TIME(0)
    {"20240229", "20240229", "000000000", 2024, 2, 29, 0},  // DATE without '-'
    {"2024-02-29", "20240229", "000000000", 2024, 2, 29, 0},
    {"2024/02/29", "", "", 0, 0, 0, 0},
    {"13:45:07.5", "", "134507500", 0, 0, 0, 49507500},  // TIME(1)
    {"13:45:07.12", "", "134507120", 0, 0, 0, 49507120},
    {"13:45:07.123", "", "134507123", 0, 0, 0, 49507123},
    {"13:45:07.1234", "", "134507123", 0, 0, 0, 49507123},
    {"13:45:07.12345", "", "134507123", 0, 0, 0, 49507123},  // not YYYYMMDDHHMMSS
    {"13:45:07.123456", "", "134507123", 0, 0, 0, 49507123},
    {"20240229134507", "20240229", "134507000", 2024, 2, 29, 49507000},
    {"20240229 13:45:07", "20240229", "134507000", 2024, 2, 29, 49507000},  // DATETIME(0)
    {"20240229 13:45:07.5", "20240229", "134507500", 2024, 2, 29, 49507500},
    {"20240229 13:45:07.12", "20240229", "134507120", 2024, 2, 29, 49507120},
    {"20240229 13:45:07.1234", "20240229", "134507123", 2024, 2, 29, 49507123},
    {"20240229 13:45:07.123456", "20240229", "134507123", 2024, 2, 29, 49507123},
    {"2024-02-29 13:45:07", "20240229", "134507000", 2024, 2, 29, 49507000},  // TIMESTAMP(0)
    {"2024-02-29 13:45:07.5", "20240229", "134507500", 2024, 2, 29, 49507500},
    {"2024-02-29 13:45:07.12", "20240229", "134507120", 2024, 2, 29, 49507120},
    {"2024-02-29 13:45:07.123", "20240229", "134507123", 2024, 2, 29, 49507123},
    {"2024-02-29 13:45:07.1234", "20240229", "134507123", 2024, 2, 29, 49507123},
    {"2024-02-29 13:45:07.12345", "20240229", "134507123", 2024, 2, 29, 49507123},
    {"2024-02-29 13:45:07.123456", "20240229", "134507123", 2024, 2, 29, 49507123},
    {"-13:45:07", "", "", 0, 0, 0, 0},   // a signed TIME fits no layout
    {"100:00:00", "", "", 0, 0, 0, 0},   // nor three-digit hours
    {"2024-02-29X13", "", "", 0, 0, 0, 0},
};

TEST_F(convertvariant, LayoutsIntoDateTimeAndDateTimeItems) {
  Bound date8(NA_IT_DATE8, 9);
  Bound heure10(NA_IT_HEURE, 10);
  Bound heure8(NA_IT_HEURE, 8);
  Bound dt(NA_IT_DATETIME, 8);
  for (const LayoutCase& c : kaLayouts) {
    const unsigned long n = static_cast<unsigned long>(std::strlen(c.pszText));
    for (Bound* p : {&date8, &heure10, &heure8, &dt}) {
      std::memset(p->p(), 0x55, 8);  // a former row
      ASSERT_TRUE(p->v().bSetValueDB(c.pszText, n, 65001)) << c.pszText;
      EXPECT_TRUE(p->bGuardIntact()) << c.pszText;
    }
    EXPECT_EQ(Padded(c.pszDate8, 9), date8.Bytes()) << c.pszText;
    EXPECT_EQ(Padded(c.pszHeure, 10), heure10.Bytes()) << c.pszText;
    EXPECT_EQ(Padded(std::string(c.pszHeure).substr(0, std::strlen(c.pszHeure) > 7 ? 7 : std::strlen(c.pszHeure)), 8),
              heure8.Bytes())
        << c.pszText;
    CDateTimeBase st;
    std::memcpy(&st, dt.p(), sizeof st);
    EXPECT_EQ(c.nYear, st.m_wAnnee) << c.pszText;
    EXPECT_EQ(c.nMonth, st.m_byMois) << c.pszText;
    EXPECT_EQ(c.nDay, st.m_byJour) << c.pszText;
    EXPECT_EQ(c.nMs, st.m_dwHeure) << c.pszText;
  }
}

// NA_IT_DATE6 has no layout of its own: every text leaves zeros (true).
TEST_F(convertvariant, SixDigitDatesGetNoLayout) {
  Bound date6(NA_IT_DATE6, 7);
  for (const LayoutCase& c : kaLayouts) {
    std::memset(date6.p(), 0x55, 7);
    ASSERT_TRUE(date6.v().bSetValueDB(c.pszText, std::strlen(c.pszText), 65001));
    EXPECT_EQ(std::string(7, '\0'), date6.Bytes()) << c.pszText;
  }
}

// Without an analysis description the form is unknown: zeros, true.
TEST_F(convertvariant, LayoutWithoutDescriptionLeavesZeros) {
  unsigned char aby[10];
  std::memset(aby, 0x55, sizeof aby);
  CNAConvertVariant v;
  ASSERT_TRUE(v.bInitTypeVariant(NAVT_BOUND, aby, sizeof aby, ANY_TIMEA));
  EXPECT_TRUE(v.bSetValueDB("13:45:07", 8, 1252));
  EXPECT_EQ(std::string(10, '\0'), std::string(reinterpret_cast<char*>(aby), 10));
}

// ---- Texts at the runtime's code pages -----------------------------------------

TEST_F(convertvariant, ServerTextIntoTextItemsAtEveryRuntimeCodePage) {
  struct Case {
    int nRuntime;
    unsigned nServer;
    const char* pszServer;
    std::string sExpected;  // the item's bytes (capacity 8)
  };
  const Case cases[] = {
      {1252, 65001, "abc", Padded("abc", 8)},
      {1252, 65001, "caf\xC3\xA9", Padded("caf\xE9", 8)},
      {1252, 65001, "x\xF0\x9F\x98\x80y", Padded("x?y", 8)},
      {932, 65001, "\xE3\x81\x82\xE3\x81\x84", Padded("\x82\xA0\x82\xA2", 8)},
      {932, 65001, "caf\xC3\xA9", Padded("caf?", 8)},
      {0, 65001, "caf\xC3\xA9", Padded("caf\xE9", 8)},
      {-1, 65001, "caf\xC3\xA9", Padded("caf\xE9", 8)},
      // 8-bit text not in UTF-8 enters as it is.
      {1252, 1252, "caf\xE9", Padded("caf\xE9", 8)},
      {932, 1252, "caf\xE9", Padded("caf\xE9", 8)},
      {65001, 65001, "caf\xC3\xA9", Padded("caf\xC3\xA9", 8)},
  };
  for (const Case& c : cases) {
    m_pcnx->m_nApplicationCodePage = c.nRuntime;
    Bound b(NA_IT_TEXTE, 8, m_pcnx);
    ASSERT_TRUE(b.v().bSetValueDB(c.pszServer, std::strlen(c.pszServer), c.nServer)) << c.nRuntime;
    EXPECT_EQ(c.sExpected, b.Bytes()) << c.nRuntime << " " << c.pszServer;
    EXPECT_EQ(std::strlen(c.sExpected.c_str()), b.v().nGetSize()) << "used size";
  }
}

TEST_F(convertvariant, ServerTextIntoUnicodeItemsIsUTF16) {
  struct Case {
    int nRuntime;
    unsigned nServer;
    const char* pszServer;
    std::u16string sExpected;
  };
  const Case cases[] = {
      {1252, 65001, "caf\xC3\xA9", u"caf\u00E9"},
      {932, 65001, "\xE3\x81\x82x", u"\u3042x"},
      {1252, 1252, "\xE9 \x80", u"\u00E9 \u20AC"},
      {1252, 65001, "a\xF0\x9F\x98\x80", u"a\U0001F600"},
      // The last unit of a 10-byte item (4 units and a terminator): the pair
      // does not fit behind three characters and is left out whole.
      {1252, 65001, "abc\xF0\x9F\x98\x80", u"abc"},
  };
  for (const Case& c : cases) {
    m_pcnx->m_nApplicationCodePage = c.nRuntime;
    Bound b(NA_IT_UNICODE, 10, m_pcnx);
    ASSERT_TRUE(b.v().bSetValueDB(c.pszServer, std::strlen(c.pszServer), c.nServer));
    EXPECT_EQ(UTF16Bytes(c.sExpected, 10), b.Bytes()) << c.pszServer;
    CAny out;
    ASSERT_TRUE(b.v().bGetValue(&out));
    std::wstring sWide;
    for (std::size_t i = 0; i < c.sExpected.size(); ++i) {
      const char16_t u = c.sExpected[i];
      if (u >= 0xD800 && u <= 0xDBFF) {
        sWide += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (c.sExpected[++i] - 0xDC00));
      } else {
        sWide += static_cast<wchar_t>(u);
      }
    }
    EXPECT_EQ(sWide, WideOf(out)) << "read back";
  }
}

// ---- Reuse of one bound item ----------------------------------------------------

TEST_F(convertvariant, ReusedItemKeepsNoByteOfTheFormerRow) {
  m_pcnx->m_nApplicationCodePage = 65001;
  Bound b(NA_IT_TEXTE, 8, m_pcnx);
  ASSERT_TRUE(b.v().bSetValueDB("abcdefg", 7, 65001));
  EXPECT_EQ(Padded("abcdefg", 8), b.Bytes());
  ASSERT_TRUE(b.v().bSetValueDB("xy", 2, 65001));  // shorter
  EXPECT_EQ(Padded("xy", 8), b.Bytes());
  ASSERT_TRUE(b.v().bSetValueDB("0123456789", 10, 65001));  // longer than the item
  EXPECT_EQ(Padded("0123456", 8), b.Bytes());
  ASSERT_TRUE(b.v().bSetValueDB("abcdef\xC3\xA9", 8, 65001));  // "é" at the cut: dropped whole
  EXPECT_EQ(Padded("abcdef", 8), b.Bytes());
  EXPECT_TRUE(b.bGuardIntact());
  // A NULL (null wide text) zeroes the item; an empty text is not NULL.
  ASSERT_TRUE(b.v().bSetValueDB(static_cast<const wchar_t*>(nullptr), 0));
  EXPECT_TRUE(b.v().bIsNull());
  EXPECT_EQ(std::string(8, '\0'), b.Bytes());
  ASSERT_TRUE(b.v().bSetValueDB("abc", 3, 65001));
  ASSERT_TRUE(b.v().bSetValueDB("", 0, 65001));
  EXPECT_FALSE(b.v().bIsNull());
  EXPECT_EQ(std::string(8, '\0'), b.Bytes());

  m_pcnx->m_nApplicationCodePage = 1252;
  Bound c(NA_IT_TEXTE, 8, m_pcnx);
  ASSERT_TRUE(c.v().bSetValueDB("abcdefg", 7, 65001));
  EXPECT_FALSE(c.v().bSetValueDB("\xFF\xFE", 2, 65001));  // nothing convertible
  EXPECT_EQ(std::string(8, '\0'), c.Bytes());

  m_pcnx->m_nApplicationCodePage = 932;
  Bound d(NA_IT_TEXTE, 6, m_pcnx);
  ASSERT_TRUE(d.v().bSetValueDB("\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86", 9, 65001));  // three kana, 6 bytes
  EXPECT_EQ(Padded("\x82\xA0\x82\xA2", 6), d.Bytes());

  // A number that does not parse leaves 0, not the former number.
  Bound n(NA_IT_I4, 4, m_pcnx);
  ASSERT_TRUE(n.v().bSetValueDB("42", 2, 65001));
  std::int32_t nValue = 0;
  std::memcpy(&nValue, n.p(), 4);
  EXPECT_EQ(42, nValue);
  EXPECT_TRUE(n.v().bSetValueDB("zz", 2, 65001));
  std::memcpy(&nValue, n.p(), 4);
  EXPECT_EQ(0, nValue);
}

// ---- Numbers, decimals, binaries ------------------------------------------------

TEST_F(convertvariant, NumbersAndDecimalsIntoTheirNativeForms) {
  Bound ui8(NA_IT_UI8, 8, m_pcnx);
  ASSERT_TRUE(ui8.v().bSetValueDB("18446744073709551615", 20, 65001));
  std::uint64_t u = 0;
  std::memcpy(&u, ui8.p(), 8);
  EXPECT_EQ(18446744073709551615ull, u);

  Bound r8(NA_IT_R8, 8, m_pcnx);
  ASSERT_TRUE(r8.v().bSetValueDB("-2.5e3", 6, 65001));
  double d = 0;
  std::memcpy(&d, r8.p(), 8);
  EXPECT_EQ(-2500.0, d);

  // "1x": the runtime's parse decides the number; the assignment is true.
  Bound i4(NA_IT_I4, 4, m_pcnx);
  EXPECT_TRUE(i4.v().bSetValueDB("1x", 2, 65001));

  // DECIMAL(12,2): -1234.56 as a 6-byte native integer -123456, and back.
  Bound dec(NA_IT_DECIMAL, 8, m_pcnx, 10, 2);
  ASSERT_TRUE(dec.v().bSetValueDB("-1234.56", 8, 65001));
  ASSERT_EQ(6, IDecimal::mg_PToN(12));
  std::int64_t nNative = 0;
  std::memcpy(&nNative, dec.p(), 6);
  nNative = static_cast<std::int64_t>(static_cast<std::uint64_t>(nNative) << 16) >> 16;  // sign-extend 48 bits
  EXPECT_EQ(-123456, nNative);
  EXPECT_EQ(std::string(2, '\0'), dec.Bytes().substr(6));
  CAny out;
  ASSERT_TRUE(dec.v().bGetValue(&out));
  ASSERT_EQ(ANY_DECIMAL, out.nGetTypeCode());
  int nP = 0, nS = 0;
  out.m_clIntern.tGet<IDecimal*>()->nGetPrecisionScale(&nP, &nS);
  EXPECT_EQ(12, nP);
  EXPECT_EQ(2, nS);
  CAny text(out);
  ASSERT_LE(text.__nCastTo(ANY_PSTRW, nullptr, 1), 99);
  EXPECT_EQ(L"-1234.56", WideOf(text));
}

// A decimal is written or read only in at least mg_PToN(p) bytes.
TEST_F(convertvariant, DecimalNeedsRoomForItsDigits) {
  CNAError& err = *new CNAError;  // the holders share it; the last release deletes it
  err.AddRef();
  Item item(NA_IT_DECIMAL, 4, 10, 2);  // 6 bytes needed
  unsigned char aby[4] = {1, 2, 3, 4};
  CNAConvertVariant v(&err, nullptr);
  ASSERT_TRUE(v.bInitTypeVariant(NAVT_BOUND, aby, 4, 0));
  v.SetItemDesc(item.get(), item.get());
  EXPECT_FALSE(v.bSetValueDB("12.5", 4, 65001));
  EXPECT_EQ(53u, err.nGetUserErrorCode());
  EXPECT_EQ(0, std::memcmp(aby, "\x01\x02\x03\x04", 4));
  CAny out;
  EXPECT_FALSE(v.bGetValue(&out));
  v.ResetVariant();
  err.nRelease();
}

TEST_F(convertvariant, BinaryItemsKeepTheirLength) {
  // 300 bytes into an item of 258: length 256 and 256 bytes.
  Bound bin(NA_IT_BINAIRE, 258, m_pcnx);
  std::string s(300, 'q');
  ASSERT_TRUE(bin.v().bSetValueDB(s.data(), 300, 65001));
  EXPECT_EQ(0, bin.p()[0]);
  EXPECT_EQ(1, bin.p()[1]);
  EXPECT_TRUE(bin.bGuardIntact());

  // A same-type binary value gets its length in front too, and reads back.
  Bound b2(NA_IT_BINAIRE, 10, m_pcnx);
  CAny v;
  v.SetBIN(reinterpret_cast<const unsigned char*>("\x01\x02\x03"), 3);
  ASSERT_TRUE(b2.v().bSetValue(&v));
  EXPECT_EQ(std::string("\x03\x00\x01\x02\x03\x00\x00\x00\x00\x00", 10), b2.Bytes());
  CAny out;
  ASSERT_TRUE(b2.v().bGetValue(&out));
  std::size_t n = 0;
  out.nGetUtilDataSize(&n);
  EXPECT_EQ(3u, n);

  // A length above the item reads no further than the item.
  b2.p()[0] = 0xFF;
  b2.p()[1] = 0xFF;
  ASSERT_TRUE(b2.v().bGetValue(&out));
  out.nGetUtilDataSize(&n);
  EXPECT_EQ(8u, n);
}

// ---- Same-type values into digit items, Unicode items -----------------------------

// A date-time holder of a DATE8 or HEURE item writes the record's form of
// those items: 8-bit digits, cut to capacity - 1, terminated.
TEST_F(convertvariant, DateTimeIntoDigitItemsIsEightBitDigits) {
  CDateTime clDate;
  clDate.Set(2024, 2, 29, 13, 45, 7, 500);
  CAny v;
  v.SetDATETIME(clDate);
  struct Case {
    eNA_ITEMTYPE e;
    std::uint32_t nSize;
    std::string sExpected;
  };
  const Case cases[] = {{NA_IT_DATE8, 9, Padded("20240229", 9)},
                        {NA_IT_HEURE, 10, Padded("134507500", 10)},
                        {NA_IT_HEURE, 7, Padded("134507", 7)},
                        {NA_IT_DATE8, 5, Padded("2024", 5)}};
  for (const Case& c : cases) {
    Bound b(c.e, c.nSize, m_pcnx);
    b.v().pclGetValue()->__SetType(ANY_DATETIME, 0);  // a date-time holder of the item
    ASSERT_TRUE(b.v().bSetValue(&v));
    EXPECT_EQ(c.sExpected, b.Bytes()) << c.e << "/" << c.nSize;
    EXPECT_TRUE(b.bGuardIntact());
  }
}

TEST_F(convertvariant, UnicodeItemsHoldUTF16OnEveryPath) {
  Bound b(NA_IT_UNICODE, 20, m_pcnx);
  // Wide text straight from the platform: UTF-16, pairs whole.
  ASSERT_TRUE(b.v().bSetValue(L"ab\U0001F600", ~0ul));
  EXPECT_EQ(UTF16Bytes(u"ab\U0001F600", 20), b.Bytes());
  // Read back without the padding units.
  CAny out;
  ASSERT_TRUE(b.v().bGetValue(&out));
  EXPECT_EQ(std::wstring(L"ab\U0001F600"), WideOf(out));
  std::size_t nBytes = 0;
  out.nGetUtilDataSize(&nBytes);
  EXPECT_EQ(3 * sizeof(wchar_t), nBytes) << "no padding units read";
  EXPECT_EQ(4u, b.v().nGetUtilDataSize());
  // A wide value of the holder's own type.
  CAny w;
  w.__SetType(ANY_DSTRW, 0);
  w.SetValue(L"xyz", 12);
  w.ClearFlags();
  ASSERT_TRUE(b.v().bSetValue(&w));
  EXPECT_EQ(UTF16Bytes(u"xyz", 20), b.Bytes());
  ASSERT_TRUE(b.v().bGetValue(&out));
  EXPECT_EQ(std::wstring(L"xyz"), WideOf(out));
  // Spaces pad units, never past capacity / 2 - 1.
  b.v().CompleteSpaces(100);
  EXPECT_EQ(UTF16Bytes(u"xyz      ", 20), b.Bytes());
  // A full item (no terminator) reads its capacity / 2 units.
  for (int i = 0; i < 10; ++i) {
    b.p()[2 * i] = 'k';
    b.p()[2 * i + 1] = 0;
  }
  ASSERT_TRUE(b.v().bGetValue(&out));
  EXPECT_EQ(std::wstring(10, L'k'), WideOf(out));
  EXPECT_TRUE(b.bGuardIntact());
}

// ---- Unterminated items ------------------------------------------------------------

TEST_F(convertvariant, UnterminatedTextsAreReadWithinTheirItem) {
  Bound a(NA_IT_TEXTE, 4, m_pcnx);
  Bound b(NA_IT_TEXTE, 6, m_pcnx);
  std::memcpy(a.p(), "abcd", 4);      // no terminator
  std::memcpy(b.p(), "abcdzz", 6);
  CAny out;
  ASSERT_TRUE(a.v().bGetValue(&out));
  EXPECT_EQ("abcd", TextOf(out));
  EXPECT_EQ(4u, a.v().nGetUtilDataSize());
  EXPECT_LT(a.v().nCmp(&b.v()), 0);  // "abcd" before "abcdzz"
  EXPECT_GT(b.v().nCmp(&a.v()), 0);
  // "abc" and "abd": same type, same size, bytes decide.
  ASSERT_TRUE(a.v().bSetValueDB("abc", 3, 1252));
  Bound c(NA_IT_TEXTE, 4, m_pcnx);
  ASSERT_TRUE(c.v().bSetValueDB("abd", 3, 1252));
  EXPECT_LT(a.v().nCmp(&c.v()), 0);
  // Spaces pad to capacity - 1 at most.
  a.v().CompleteSpaces(50);
  EXPECT_EQ(std::string("abc\0", 4), a.Bytes());
  c.v().CompleteSpaces(-1);
  EXPECT_TRUE(a.bGuardIntact());
}

// ---- Copies ------------------------------------------------------------------------

TEST_F(convertvariant, CopiesTakeTheImageOfBufferHolders) {
  // An own-buffer binary keeps its length in front in the copy.
  Item item(NA_IT_BINAIRE, 10);
  CNAConvertVariant src(nullptr, m_pcnx);
  ASSERT_TRUE(src.bInitTypeVariantBuffer(ANY_BIN, 10));
  src.SetItemDesc(item.get(), item.get());
  ASSERT_TRUE(src.bSetValueDB("\x07\x08\x09", 3, 1252));
  CNAConvertVariant copy(nullptr, nullptr);
  ASSERT_TRUE(copy.bCopyVariant(&src));
  EXPECT_EQ(NAVT_OWNBUFFER, copy.eGetVarType());
  ASSERT_NE(nullptr, copy.pbyGetBuffer());
  EXPECT_EQ(0, std::memcmp(copy.pbyGetBuffer(), "\x03\x00\x07\x08\x09\x00", 6));
  EXPECT_EQ(m_pcnx, copy.pclGetCnx());
  CAny out;
  ASSERT_TRUE(copy.bGetValue(&out));
  std::size_t n = 0;
  out.nGetUtilDataSize(&n);
  EXPECT_EQ(3u, n);
  EXPECT_TRUE(copy.bEqualsNAVariant(&src));

  // A bound holder's copy takes its bytes, not only its type; later rows of
  // the bound item do not change the copy.
  Bound b(NA_IT_I4, 4, m_pcnx);
  ASSERT_TRUE(b.v().bSetValueDB("77", 2, 1252));
  CNAConvertVariant copy2;
  ASSERT_TRUE(copy2.bCopyVariant(&b.v()));
  ASSERT_TRUE(b.v().bSetValueDB("5", 1, 1252));
  ASSERT_TRUE(copy2.bGetValue(&out));
  int nValue = 0;
  out.nGetINT(&nValue);
  EXPECT_EQ(77, nValue);
  EXPECT_EQ(nullptr, copy2.pclGetCloneVariant());  // no driver
  src.ResetVariant();
  copy.ResetVariant();
}

// ---- Failed casts ------------------------------------------------------------------

TEST_F(convertvariant, FailedConversionKeepsTheValueAndReportsUserError53) {
  CNAError& err = *new CNAError;  // the holders share it; the last release deletes it
  err.AddRef();
  CNAConvertVariant v(&err, nullptr);
  v.InitTypeVariantAny(ANY_DATETIME);
  CDateTime clDate;
  clDate.Set(2020, 1, 2, 3, 4, 5, 6);
  ASSERT_TRUE(v.bSetValue(&clDate));
  CAny bin;
  bin.SetBIN(reinterpret_cast<const unsigned char*>("zz"), 2);
  EXPECT_FALSE(v.bSetValue(&bin));
  EXPECT_EQ(53u, err.nGetUserErrorCode());
  CAny out;
  ASSERT_TRUE(v.bGetValue(&out));
  EXPECT_EQ(ANY_DATETIME, out.nGetTypeCode());
  EXPECT_EQ(0, std::memcmp(out.pbyValue(), &clDate, sizeof clDate));
  err.nRelease();
}

// ---- Database buffer ---------------------------------------------------------------

// The buffer the server side reads is prepared once: a value holder hands
// its CAny's bytes, a bound holder the item; raw bytes land there.
TEST_F(convertvariant, DatabaseBufferIsPreparedOnceAndServesTheValue) {
  CNAConvertVariant v(nullptr, m_pcnx);
  v.InitTypeVariantAny(ANY_I4);
  EXPECT_EQ(0, v.nGetStateDB());
  EXPECT_EQ(0, v.nGetTypeBind());
  EXPECT_EQ(1, v.nGetStateDB());
  unsigned char* p = nullptr;
  unsigned long n = 0;
  unsigned long* pnLength = nullptr;
  ASSERT_TRUE(v.bGetBufferDB(&p, &n, &pnLength));
  EXPECT_EQ(v.pGetData(), p);
  EXPECT_EQ(4u, n);
  ASSERT_NE(nullptr, pnLength);
  const std::int32_t nValue = 1234567;
  ASSERT_TRUE(v.bSetValueDB(reinterpret_cast<const unsigned char*>(&nValue), 4ul));
  EXPECT_EQ(4u, *pnLength);
  CAny out;
  ASSERT_TRUE(v.bGetValue(&out));
  int nRead = 0;
  out.nGetINT(&nRead);
  EXPECT_EQ(1234567, nRead);

  Bound b(NA_IT_TEXTE, 6, m_pcnx);
  ASSERT_TRUE(b.v().bSetValueDB(reinterpret_cast<const unsigned char*>("abcdefgh"), 8ul));
  EXPECT_EQ("abcdef", b.Bytes());  // the whole buffer, at most its size
  EXPECT_EQ(6u, b.v().nGetLengthDB());
  EXPECT_TRUE(b.bGuardIntact());
  // A holder without mode has no buffer for the server.
  CNAConvertVariant none;
  EXPECT_FALSE(none.bSetValueDB("1", 1, 1252));
}

// ---- Holders bound into a record ------------------------------------------------

// Column holders bound onto the items of a record: a fetched row lands in
// the item bytes, and bConvertDataToXQ sets each item's flag from the
// holder's NULL state; text items keep nothing after their first NUL.
TEST_F(convertvariant, BoundHoldersFillTheRecordAndItsFlags) {
  kxtest::TestRecordSource src;
  CNAItemDescription* pText = src.pclAdd(NA_IT_TEXTE, 8);
  CNAItemDescription* pNumber = src.pclAdd(NA_IT_I4, 4);
  CNAXQRecord* pRecord = new CNAXQRecord;
  pRecord->AddRef();
  ASSERT_TRUE(pRecord->bInit(&src, NA_INITTYPE_EMPTY));
  {
    CNAConvertVariant text(nullptr, m_pcnx);
    CNAConvertVariant number(nullptr, m_pcnx);
    ASSERT_TRUE(text.bInitTypeVariant(NAVT_BOUND, pRecord->pbyGetItemValue(pText, 0), 8, 0));
    text.SetItemDesc(pText, pText);
    ASSERT_TRUE(number.bInitTypeVariant(NAVT_BOUND, pRecord->pbyGetItemValue(pNumber, 0), 4, 0));
    number.SetItemDesc(pNumber, pNumber);

    ASSERT_TRUE(text.bSetValueDB("abc", 3, 65001));
    ASSERT_TRUE(number.bSetValueDB("-12", 3, 65001));
    std::memcpy(pRecord->pbyGetItemValue(pText, 0) + 5, "zz", 2);  // bytes after the NUL
    ASSERT_TRUE(text.bConvertDataToXQ(pRecord));
    ASSERT_TRUE(number.bConvertDataToXQ(pRecord));
    EXPECT_TRUE(pRecord->bItemValueDefined(pText, 0));
    EXPECT_TRUE(pRecord->bItemValueDefined(pNumber, 0));
    EXPECT_EQ(Padded("abc", 8), std::string(reinterpret_cast<char*>(pRecord->pbyGetItemValue(pText, 0)), 8));
    std::int32_t n = 0;
    std::memcpy(&n, pRecord->pbyGetItemValue(pNumber, 0), 4);
    EXPECT_EQ(-12, n);

    number.SetNull();  // the next row's NULL
    ASSERT_TRUE(number.bConvertDataToXQ(pRecord));
    EXPECT_FALSE(pRecord->bItemValueDefined(pNumber, 0));
    std::memcpy(&n, pRecord->pbyGetItemValue(pNumber, 0), 4);
    EXPECT_EQ(0, n);
    text.ResetVariant();
    number.ResetVariant();
  }
  pRecord->nRelease();
}

// ---- Default values through the variant ------------------------------------------

TEST_F(convertvariant, DefaultValuesGoThroughTheVariant) {
  kxtest::TestDriver driver;
  CNADriver::s_pclDriver = &driver;
  struct Case {
    eNA_ITEMTYPE e;
    std::uint32_t nSize;
    const wchar_t* pszText;
  };
  {
    Item i4(NA_IT_I4, 4);
    CAny out;
    ASSERT_TRUE(m_pcnx->bConvertStringToDefaultValue(&out, L"12", i4.get(), nullptr));
    int n = 0;
    out.nGetINT(&n);
    EXPECT_EQ(12, n);
    EXPECT_FALSE(out.bIsNull());

    Item text(NA_IT_TEXTE, 20);
    ASSERT_TRUE(m_pcnx->bConvertStringToDefaultValue(&out, L"'it\\'s'", text.get(), nullptr));
    EXPECT_EQ("it's", TextOf(out));

    Item date(NA_IT_DATE8, 9);
    ASSERT_TRUE(m_pcnx->bConvertStringToDefaultValue(&out, L"'2024-02-29'", date.get(), nullptr));
    EXPECT_EQ(ANY_DATEA, out.nGetTypeCode());
    EXPECT_EQ("20240229", TextOf(out));
  }
  CNADriver::s_pclDriver = nullptr;
}

}  // namespace
