// The split of a composite key buffer into its component values: buffers
// built by the record layout from real records (each value comes back as
// the record holds it), buffers written by hand (whole components, text
// prefixes, the lowest and highest markers in 8-bit and UTF-16 form,
// surrogate pairs kept whole or dropped when split, binary lengths cut to
// their room, buffers that end within a component), and the components'
// values read from the record. Buffers that end early are much shorter
// than their components, so that a read past them is seen by the address
// sanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CDateTimeBase.h"
#include "CMoney.h"
#include "CNAColumn.h"
#include "CNAMapConvertType.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "CXYString.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/AnyValues.h"
#include "support/LayoutFixture.h"

namespace {

using Bytes = std::vector<unsigned char>;
using kxtest::DriverScope;
using kxtest::Held;
using kxtest::Int;
using kxtest::Layout;
using kxtest::PlainDriver;
using kxtest::TestConnection;
using kxtest::TestRecordSource;
using kxtest::Wide;

// The search's protected splitters, for the test.
struct KeySplitter : CNARecherche {
  using CNARecherche::_GetComponentValue;
  using CNARecherche::_GetComponentValueFromRecord;
};

// ---- Values ------------------------------------------------------------------

CAny Ansi(const std::string& s) {
  CAny v;
  v.__SetType(ANY_DSTRA, 0);
  v.SetValue(s.data(), s.size());
  return v;
}
CAny DateA(const char* psz) {
  CAny v;
  v.SetDATEA(psz);
  return v;
}
CAny Bin(const Bytes& b) {
  CAny v;
  v.SetBIN(b.empty() ? nullptr : b.data(), b.size());
  return v;
}
CAny Money(const wchar_t* psz) {
  CMoney m;
  CAny v;
  if (pstChaineVersMonetaire(&m, psz) != nullptr) v.SetCY(m);
  return v;
}

std::string Hex(const unsigned char* p, std::size_t n) {
  std::string s;
  char sz[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(sz, sizeof sz, "%02x", p[i]);
    s += sz;
  }
  return s;
}

// A value as its type and content, for comparisons that say what differs.
std::string Describe(const CAny& v) {
  std::string s = "type " + std::to_string(v.nGetTypeCode()) + (v.bIsNull() ? " NULL" : "") + ": ";
  std::size_t n = 0;
  switch (v.nGetTypeCode()) {
    case ANY_DSTRA:
    case ANY_PSTRA:
    case ANY_DATEA:
    case ANY_TIMEA: {
      const char* psz = nullptr;
      if (v.nGetPCASTR(&psz) != ANY_OK || v.nGetSTRLEN(&n) != ANY_OK) return s + "unreadable";
      return s + "'" + Hex(reinterpret_cast<const unsigned char*>(psz), n) + "'";
    }
    case ANY_DSTRW:
    case ANY_PSTRW:
    case ANY_DATEW:
    case ANY_TIMEW: {
      const wchar_t* psz = nullptr;
      if (v.nGetPCWSTR(&psz) != ANY_OK || v.nGetSTRLEN(&n) != ANY_OK) return s + "unreadable";
      char sz[16];
      for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(sz, sizeof sz, "U+%04X ", static_cast<unsigned>(psz[i]));
        s += sz;
      }
      return s;
    }
    case ANY_DECIMAL: {
      CXYString<wchar_t> text;
      if (v.__nFillString(text, nullptr) != ANY_OK) return s + "unreadable";
      for (long i = 0; i < text.nGetLength(); ++i) s += static_cast<char>(text.pszGet()[i]);
      return s;
    }
    default: {
      void* p = nullptr;
      if (v.nGetDataSize(&n) > 99 || v.nGetDataAdr(&p) > 99) return s + "unreadable";
      return s + Hex(static_cast<const unsigned char*>(p), n);
    }
  }
}

std::vector<std::string> Describe(const std::vector<CAny>& values) {
  std::vector<std::string> out;
  for (const CAny& v : values) out.push_back(Describe(v));
  return out;
}

// ---- Buffers -----------------------------------------------------------------

struct Comp {
  eNA_ITEMTYPE eType;
  std::uint32_t nSize;  // element size S
  int nIntegerPart = 0;
  int nDecimalPart = 0;
};

// A record layout whose composite key is made of `comps` in order, holding
// no place in the record, sized as the runtime sizes it (each component at
// its key width) or, when not `bRuntimeSized`, as the library's own
// descriptions sum it (2 bytes short per binary component).
class KeyLayout {
 public:
  explicit KeyLayout(const std::vector<Comp>& comps, bool bRuntimeSized = true) {
    std::uint32_t nBinaries = 0;
    for (const Comp& c : comps) {
      items.push_back(m_clSource.pclAdd(c.eType, c.nSize, 1, 0, c.nIntegerPart, c.nDecimalPart));
      if (c.eType == NA_IT_BINAIRE) ++nBinaries;
    }
    // Components are summed by logical size, 2 bytes short per binary.
    const std::uint32_t nStart = bRuntimeSized ? 2 * nBinaries : 0;
    key = m_clSource.pclAdd(NA_IT_BINAIRE, nStart, 1, CNAItemDescription::KEY_COMPOSED);
    m_clSource.nDiskRecordSize -= nStart;
    m_clSource.nItemsInRecord -= 1;
    key->SetPhysicalIndice(0xFFFFFFFFu);
    for (CNAItemDescription* pi : items) key->bAddComponent(pi);
    m_pLayout.reset(new Layout(&m_clSource, m_clCnx.get()));
  }
  bool bReady() const { return m_pLayout->bInitResult != 0 && components() != nullptr; }
  const CRefArray<CNAColumn>* components() const { return m_pLayout->col(key)->pclGetTabComponent(); }
  CNAColumn* col(std::size_t i) const { return m_pLayout->col(items[i]); }
  CNAColumn* keyColumn() const { return m_pLayout->col(key); }

  std::vector<CNAItemDescription*> items;
  CNAItemDescription* key = nullptr;

 private:
  TestRecordSource m_clSource;
  Held<TestConnection> m_clCnx;
  std::unique_ptr<Layout> m_pLayout;
};

// Pieces of a buffer written by hand.
Bytes I4(std::int32_t n) {
  Bytes b(4);
  std::memcpy(b.data(), &n, 4);
  return b;
}
// 8-bit text padded with zeros to `width` bytes.
Bytes Txt(const std::string& s, std::size_t width) {
  Bytes b(s.begin(), s.end());
  b.resize(width, 0);
  return b;
}
// UTF-16 units padded with zero units to `width` bytes.
Bytes U16(const std::vector<std::uint16_t>& units, std::size_t width) {
  Bytes b(width, 0);
  std::memcpy(b.data(), units.data(), units.size() * 2);
  return b;
}
// A binary string: its 16-bit length then its bytes, padded (or cut) to
// `width`, which holds the length at least.
Bytes BinStr(std::uint16_t len, const std::string& s, std::size_t width) {
  Bytes b(width, 0);
  std::memcpy(b.data(), &len, 2);
  std::memcpy(b.data() + 2, s.data(), std::min(s.size(), width - 2));
  return b;
}
Bytes Raw(std::initializer_list<unsigned char> l) { return Bytes(l); }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

class searchKeyBuffer : public BoundRuntimeTest {
 protected:
  DriverScope<PlainDriver> m_clDriver;
};

// ---- Buffers from real records ----------------------------------------------------

// Each row's values go into the record; the composite key's value, split
// again, gives each component's value as the record holds it, whole or as
// a generic (partial) search sees it, with no marker; the components read
// from the record give the same list.
TEST_F(searchKeyBuffer, RoundTripThroughTheRecord) {
  KeyLayout k({{NA_IT_I4, 4},
               {NA_IT_TEXTE, 11},
               {NA_IT_UNICODE, 14},
               {NA_IT_DATE8, 9},
               {NA_IT_BINAIRE, 10},
               {NA_IT_MONETAIRE, 10},
               {NA_IT_DECIMAL, CNAItemDescription::s_nGetDecimalSize(12), 10, 2}});
  ASSERT_TRUE(k.bReady());
  // Key widths: 4, 10, 12, 9, 10, 10 and the decimal's native size.
  const std::uint32_t nKeySize = 4 + 10 + 12 + 9 + 10 + 10 + CNAItemDescription::s_nGetDecimalSize(12);
  ASSERT_EQ(nKeySize, k.key->nGetItemSize());

  struct Row {
    const char* pszName;
    int n;
    std::string text;
    std::wstring wide;
    const char* pszDate;
    Bytes bin;
    const wchar_t* pszMoney;
    const char* pszDecimal;
  };
  const std::vector<Row> rows = {
      {"ordinary", 42, "abc", L"xyz", "20230227", {1, 2, 3}, L"-1234.567891", "12345678.91"},
      {"texts filling their width", -7, "0123456789", L"\u00e9t\u00e9\u20ac\u00fc\u00df", "99991231",
       {1, 2, 3, 4, 5, 6, 7, 8}, L"604462909807314587.353087", "-99999999.99"},
      {"a pair at the end of a full wide text", INT_MIN, "\xe9l\xe8ve", std::wstring(L"abcd") + L'\U0001F600',
       "00010101", {0xFF, 0x00, 0xFF}, L"-604462909807314587.353087", "0.01"},
      {"empty texts and binary, zeros", 0, "", L"", "", {}, L"0", "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pszName);
    const CAny set[] = {Int(row.n),   Ansi(row.text),      Wide(row.wide),      DateA(row.pszDate),
                        Bin(row.bin), Money(row.pszMoney), Ansi(row.pszDecimal)};
    for (std::size_t i = 0; i < k.items.size(); ++i) ASSERT_TRUE(k.col(i)->bSetValue(&set[i], 0)) << i;
    std::vector<CAny> held;
    for (std::size_t i = 0; i < k.items.size(); ++i) {
      held.emplace_back();
      ASSERT_TRUE(k.col(i)->bGetCurrentValue(&held.back(), 0));
    }
    CAny key;
    ASSERT_TRUE(k.keyColumn()->bGetCurrentValue(&key, 0));
    for (int partial : {0, 1}) {
      SCOPED_TRACE(partial ? "partial" : "whole");
      std::vector<CAny> values;
      int nMin = -1;
      int nMax = -1;
      EXPECT_TRUE(KeySplitter::_GetComponentValue(k.components(), &key, partial, &values, &nMin, &nMax));
      EXPECT_EQ(Describe(held), Describe(values));
      // And as written, the decimal (given as text) aside.
      ASSERT_EQ(k.items.size(), values.size());
      for (std::size_t i = 0; i + 1 < k.items.size(); ++i) EXPECT_EQ(Describe(set[i]), Describe(values[i])) << i;
      EXPECT_EQ(0, nMin);
      EXPECT_EQ(0, nMax);
    }
    std::vector<CAny> fromRecord;
    EXPECT_TRUE(KeySplitter::_GetComponentValueFromRecord(k.components(), &fromRecord));
    EXPECT_EQ(Describe(held), Describe(fromRecord));
  }
}

// A generic search on the key of a real record: its buffer cut within a
// component gives the whole components before it and that one's prefix.
TEST_F(searchKeyBuffer, PrefixOfARealKey) {
  KeyLayout k({{NA_IT_I4, 4}, {NA_IT_TEXTE, 11}, {NA_IT_UNICODE, 14}, {NA_IT_DATE8, 9}});
  ASSERT_TRUE(k.bReady());
  const CAny set[] = {Int(9), Ansi("abcdef"), Wide(std::wstring(L"x") + L'\U0001F600' + L"y"), DateA("20230227")};
  for (std::size_t i = 0; i < 4; ++i) ASSERT_TRUE(k.col(i)->bSetValue(&set[i], 0));
  CAny whole;
  ASSERT_TRUE(k.keyColumn()->bGetCurrentValue(&whole, 0));
  void* pv = nullptr;
  std::size_t n = 0;
  ASSERT_EQ(ANY_OK, whole.nGetDataAdr(&pv));
  ASSERT_EQ(ANY_OK, whole.nGetDataSize(&n));
  ASSERT_EQ(4u + 10 + 12 + 9, n);
  const Bytes bytes(static_cast<unsigned char*>(pv), static_cast<unsigned char*>(pv) + n);

  struct Cut {
    std::size_t nBytes;
    std::vector<CAny> expected;
  };
  const std::vector<Cut> cuts = {
      {4, {Int(9)}},
      {4 + 3, {Int(9), Ansi("abc")}},
      {4 + 10 + 2, {Int(9), Ansi("abcdef"), Wide(L"x")}},
      // The pair's high half alone is dropped; both halves are kept.
      {4 + 10 + 4, {Int(9), Ansi("abcdef"), Wide(L"x")}},
      {4 + 10 + 6, {Int(9), Ansi("abcdef"), Wide(std::wstring(L"x") + L'\U0001F600')}},
      {4 + 10 + 12 + 4, {Int(9), Ansi("abcdef"), set[2], DateA("2023")}},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.nBytes);
    const CAny key = Bin(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(cut.nBytes)));
    std::vector<CAny> values;
    int nMin = -1;
    int nMax = -1;
    EXPECT_TRUE(KeySplitter::_GetComponentValue(k.components(), &key, 1, &values, &nMin, &nMax));
    EXPECT_EQ(Describe(cut.expected), Describe(values));
    EXPECT_EQ(0, nMin);
    EXPECT_EQ(0, nMax);
  }
}

// A key sized 2 bytes short for its last (binary) component still holds a
// short binary value whole: it is kept; a longer one is cut and ends the
// list.
TEST_F(searchKeyBuffer, KeySizedShortForItsBinary) {
  KeyLayout k({{NA_IT_I4, 4}, {NA_IT_BINAIRE, 10}}, false);
  ASSERT_TRUE(k.bReady());
  ASSERT_EQ(4u + 8, k.key->nGetItemSize());
  struct Row {
    Bytes bin;
    std::vector<CAny> expected;
  };
  const std::vector<Row> rows = {
      {{1, 2, 3}, {Int(6), Bin({1, 2, 3})}},
      {{1, 2, 3, 4, 5, 6}, {Int(6), Bin({1, 2, 3, 4, 5, 6})}},
      {{1, 2, 3, 4, 5, 6, 7}, {Int(6)}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bin.size());
    const CAny set[] = {Int(6), Bin(row.bin)};
    for (std::size_t i = 0; i < 2; ++i) ASSERT_TRUE(k.col(i)->bSetValue(&set[i], 0));
    CAny key;
    ASSERT_TRUE(k.keyColumn()->bGetCurrentValue(&key, 0));
    std::vector<CAny> values;
    EXPECT_TRUE(KeySplitter::_GetComponentValue(k.components(), &key, 0, &values, nullptr, nullptr));
    EXPECT_EQ(Describe(row.expected), Describe(values));
  }
}

// ---- Buffers written by hand ------------------------------------------------------

struct SplitCase {
  const char* pszName;
  std::vector<Comp> comps;
  Bytes buffer;
  int partial;
  std::vector<CAny> expected;
  int nMin;
  int nMax;
};

void RunSplitCases(const std::vector<SplitCase>& cases) {
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    KeyLayout k(c.comps);
    ASSERT_TRUE(k.bReady());
    const CAny key = Bin(c.buffer);
    std::vector<CAny> values;
    int nMin = -1;
    int nMax = -1;
    EXPECT_TRUE(KeySplitter::_GetComponentValue(k.components(), &key, c.partial, &values, &nMin, &nMax));
    EXPECT_EQ(Describe(c.expected), Describe(values));
    EXPECT_EQ(c.nMin, nMin);
    EXPECT_EQ(c.nMax, nMax);
  }
}

// Whole components, each read at its width; bytes past the last component
// are no part of the key.
TEST_F(searchKeyBuffer, WholeComponents) {
  const std::vector<Comp> mixed = {{NA_IT_I4, 4}, {NA_IT_TEXTE, 6}, {NA_IT_UNICODE, 10}};
  const std::vector<SplitCase> cases = {
      {"int, 8-bit text, wide text", mixed, Cat({I4(7), Txt("ab", 5), U16({'x', 'y'}, 8)}), 0,
       {Int(7), Ansi("ab"), Wide(L"xy")}, 0, 0},
      {"the same, partial", mixed, Cat({I4(7), Txt("ab", 5), U16({'x', 'y'}, 8)}), 1,
       {Int(7), Ansi("ab"), Wide(L"xy")}, 0, 0},
      {"texts filling their width have no terminator", mixed, Cat({I4(-1), Txt("abcde", 5), U16({'a', 'b', 'c', 'd'}, 8)}),
       0, {Int(-1), Ansi("abcde"), Wide(L"abcd")}, 0, 0},
      {"a surrogate pair is one character", {{NA_IT_UNICODE, 10}}, U16({'a', 0xD83D, 0xDE00, 'b'}, 8), 0,
       {Wide(std::wstring(L"a") + L'\U0001F600' + L"b")}, 0, 0},
      {"a surrogate pair first", {{NA_IT_UNICODE, 10}}, U16({0xD83D, 0xDE00, 'a'}, 8), 1,
       {Wide(std::wstring(1, L'\U0001F600') + L"a")}, 0, 0},
      {"8-bit text stops at its first NUL", {{NA_IT_TEXTE, 6}, {NA_IT_I4, 4}}, Cat({Raw({'a', 0, 'b', 'c', 0}), I4(3)}), 0,
       {Ansi("a"), Int(3)}, 0, 0},
      {"binary string", {{NA_IT_BINAIRE, 6}, {NA_IT_I4, 4}}, Cat({BinStr(3, "xyz", 6), I4(5)}), 0,
       {Bin({'x', 'y', 'z'}), Int(5)}, 0, 0},
      {"binary length beyond its element is cut to its room", {{NA_IT_BINAIRE, 6}, {NA_IT_I4, 4}},
       Cat({BinStr(200, "wxyz", 6), I4(5)}), 0, {Bin({'w', 'x', 'y', 'z'}), Int(5)}, 0, 0},
      {"currency", {{NA_IT_MONETAIRE, 10}}, [] {
         CMoney m;
         pstChaineVersMonetaire(&m, L"-12.5");
         Bytes b(10);
         std::memcpy(b.data(), &m, 10);
         return b;
       }(), 0, {Money(L"-12.5")}, 0, 0},
      {"8-bit date", {{NA_IT_DATE8, 9}}, Txt("20230227", 9), 0, {DateA("20230227")}, 0, 0},
      {"bytes past the last component", {{NA_IT_I4, 4}}, Cat({I4(11), Raw({1, 2, 3})}), 0, {Int(11)}, 0, 0},
  };
  RunSplitCases(cases);
}

// A buffer that ends within a component: with partial a text becomes the
// prefix held (an odd byte or a split pair dropped), a binary string whose
// bytes are all held stays whole, any other component ends the list;
// without partial only a value held whole is kept. The components are wide
// so that a read to their width would leave the buffer's block by more than
// the zero room the runtime keeps behind a binary value (texts stop at that
// room's zeros; the others would read past it).
TEST_F(searchKeyBuffer, BufferEndingWithinAComponent) {
  const std::vector<Comp> intText = {{NA_IT_I4, 4}, {NA_IT_TEXTE, 40}, {NA_IT_I4, 4}};
  const std::vector<Comp> intWide = {{NA_IT_I4, 4}, {NA_IT_UNICODE, 42}};
  const std::vector<Comp> textInt = {{NA_IT_TEXTE, 6}, {NA_IT_I4, 4}, {NA_IT_TEXTE, 6}};
  const std::vector<Comp> intBin = {{NA_IT_I4, 4}, {NA_IT_BINAIRE, 40}};
  const std::vector<Comp> intMoney = {{NA_IT_I4, 4}, {NA_IT_MONETAIRE, 10}};
  const std::vector<Comp> intDecimal = {{NA_IT_I4, 4},
                                        {NA_IT_DECIMAL, CNAItemDescription::s_nGetDecimalSize(30), 20, 10}};
  const std::vector<SplitCase> cases = {
      {"8-bit prefix", intText, Cat({I4(5), Raw({'a', 'b', 'c'})}), 1, {Int(5), Ansi("abc")}, 0, 0},
      {"8-bit prefix, not partial: the list ends", intText, Cat({I4(5), Raw({'a', 'b', 'c'})}), 0, {Int(5)}, 0, 0},
      {"8-bit text whose end is held is whole", intText, Cat({I4(5), Raw({'a', 'b', 0})}), 0, {Int(5), Ansi("ab")}, 0,
       0},
      {"wide prefix", intWide, Cat({I4(5), U16({'a', 'b'}, 4)}), 1, {Int(5), Wide(L"ab")}, 0, 0},
      {"wide prefix: an odd last byte is dropped", intWide, Cat({I4(5), U16({'a', 'b'}, 4), Raw({'c'})}), 1,
       {Int(5), Wide(L"ab")}, 0, 0},
      {"wide prefix: a split pair is dropped", intWide, Cat({I4(5), U16({'a', 0xD83D}, 4)}), 1, {Int(5), Wide(L"a")}, 0,
       0},
      {"wide prefix: a split pair and an odd byte", intWide, Cat({I4(5), U16({'a', 0xD83D}, 4), Raw({0x00})}), 1,
       {Int(5), Wide(L"a")}, 0, 0},
      {"wide prefix: a held pair is kept", intWide, Cat({I4(5), U16({'a', 0xD83D, 0xDE00}, 6)}), 1,
       {Int(5), Wide(std::wstring(L"a") + L'\U0001F600')}, 0, 0},
      {"wide prefix, not partial: the list ends", intWide, Cat({I4(5), U16({'a', 'b'}, 4)}), 0, {Int(5)}, 0, 0},
      {"an integer partly held ends the list", textInt, Cat({Txt("ab", 5), Raw({1, 2})}), 1, {Ansi("ab")}, 0, 0},
      {"two bytes 0xFF of an integer are no marker", textInt, Cat({Txt("ab", 5), Raw({0xFF, 0xFF})}), 1, {Ansi("ab")},
       0, 0},
      {"a binary string held whole", intBin, Cat({I4(1), BinStr(2, "xy", 4)}), 0, {Int(1), Bin({'x', 'y'})}, 0, 0},
      {"a binary string cut ends the list", intBin, Cat({I4(1), BinStr(30, "xy", 4)}), 0, {Int(1)}, 0, 0},
      {"a binary string cut ends the list, partial", intBin, Cat({I4(1), BinStr(30, "xy", 4)}), 1, {Int(1)}, 0, 0},
      {"a currency partly held ends the list", intMoney, Cat({I4(1), Raw({1, 2})}), 1, {Int(1)}, 0, 0},
      {"a decimal partly held ends the list", intDecimal, Cat({I4(1), Raw({1, 2})}), 0, {Int(1)}, 0, 0},
      {"the first component partly held", intText, Raw({1, 2}), 1, {}, 0, 0},
  };
  RunSplitCases(cases);
}

// A lone remainder of one byte 0 or 0xFF (of one unit 0 or 0xFFFF in a
// wide text) in a partial buffer is the lowest or highest value of the
// component's type, with its flag; without partial it is no marker.
TEST_F(searchKeyBuffer, MinAndMaxMarkers) {
  const std::vector<Comp> intText = {{NA_IT_I4, 4}, {NA_IT_TEXTE, 6}};
  const std::vector<Comp> intWide = {{NA_IT_I4, 4}, {NA_IT_UNICODE, 10}};
  const std::vector<Comp> textInt = {{NA_IT_TEXTE, 6}, {NA_IT_I4, 4}};
  const std::vector<Comp> intMoney = {{NA_IT_I4, 4}, {NA_IT_MONETAIRE, 10}};
  const std::vector<Comp> intDate = {{NA_IT_I4, 4}, {NA_IT_DATE8, 9}};
  const Bytes ab = Txt("ab", 5);
  const std::vector<SplitCase> cases = {
      {"8-bit lowest", intText, Cat({I4(1), Raw({0x00})}), 1, {Int(1), Ansi("")}, 1, 0},
      {"8-bit highest", intText, Cat({I4(1), Raw({0xFF})}), 1, {Int(1), Ansi("\xff")}, 0, 1},
      {"UTF-16 lowest", intWide, Cat({I4(1), Raw({0x00, 0x00})}), 1, {Int(1), Wide(L"")}, 1, 0},
      {"UTF-16 highest", intWide, Cat({I4(1), Raw({0xFF, 0xFF})}), 1, {Int(1), Wide(L"\xffff")}, 0, 1},
      {"UTF-16 unit that is no marker is a prefix", intWide, Cat({I4(1), Raw({0xFF, 0x00})}), 1,
       {Int(1), Wide(L"\x00ff")}, 0, 0},
      {"integer lowest", textInt, Cat({ab, Raw({0x00})}), 1, {Ansi("ab"), Int(INT_MIN)}, 1, 0},
      {"integer highest", textInt, Cat({ab, Raw({0xFF})}), 1, {Ansi("ab"), Int(INT_MAX)}, 0, 1},
      {"currency lowest is the largest amount negated", intMoney, Cat({I4(1), Raw({0x00})}), 1,
       {Int(1), Money(L"-604462909807314587.353087")}, 1, 0},
      {"currency highest", intMoney, Cat({I4(1), Raw({0xFF})}), 1, {Int(1), Money(L"604462909807314587.353087")}, 0, 1},
      {"8-bit date highest", intDate, Cat({I4(1), Raw({0xFF})}), 1, {Int(1), DateA("30001231")}, 0, 1},
      {"8-bit date lowest", intDate, Cat({I4(1), Raw({0x00})}), 1, {Int(1), DateA("")}, 1, 0},
      {"not partial: no marker, the list ends", textInt, Cat({ab, Raw({0xFF})}), 0, {Ansi("ab")}, 0, 0},
      {"not partial: no 8-bit marker", intText, Cat({I4(1), Raw({0xFF})}), 0, {Int(1)}, 0, 0},
      {"a whole component of 0xFF bytes is a value", {{NA_IT_TEXTE, 2}}, Raw({0xFF}), 1, {Ansi("\xff")}, 0, 0},
  };
  RunSplitCases(cases);

  // A decimal's bounds are those of its own digits; a date-time's are the
  // empty one and 31 December 3000.
  CDateTimeBase clLast{};
  clLast.m_byJour = 31;
  clLast.m_byMois = 12;
  clLast.m_wAnnee = 3000;
  CAny last;
  last.SetDATETIME(clLast);
  CAny empty;
  empty.SetDATETIME(CDateTimeBase{});
  const struct {
    const char* pszName;
    std::vector<Comp> comps;
    unsigned char by;
    std::string expected;
  } typed[] = {
      {"decimal lowest", {{NA_IT_I4, 4}, {NA_IT_DECIMAL, CNAItemDescription::s_nGetDecimalSize(12), 10, 2}}, 0x00,
       "type 13: -9999999999.99"},
      {"decimal highest", {{NA_IT_I4, 4}, {NA_IT_DECIMAL, CNAItemDescription::s_nGetDecimalSize(12), 10, 2}}, 0xFF,
       "type 13: 9999999999.99"},
      {"date-time lowest", {{NA_IT_I4, 4}, {NA_IT_DATETIME, 8}}, 0x00, Describe(empty)},
      {"date-time highest", {{NA_IT_I4, 4}, {NA_IT_DATETIME, 8}}, 0xFF, Describe(last)},
  };
  for (const auto& t : typed) {
    SCOPED_TRACE(t.pszName);
    KeyLayout kt(t.comps);
    ASSERT_TRUE(kt.bReady());
    const CAny key = Bin(Cat({I4(1), Raw({t.by})}));
    std::vector<CAny> values;
    int nMin = -1;
    int nMax = -1;
    ASSERT_TRUE(KeySplitter::_GetComponentValue(kt.components(), &key, 1, &values, &nMin, &nMax));
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ(t.expected, Describe(values[1]));
    EXPECT_EQ(t.by == 0 ? 1 : 0, nMin);
    EXPECT_EQ(t.by == 0 ? 0 : 1, nMax);
  }

  // The marker values are the bounds the platform's check recognises.
  KeyLayout k(textInt);
  ASSERT_TRUE(k.bReady());
  const struct {
    unsigned char by;
    eNA_CHECKVALUE e;
  } markers[] = {{0x00, NA_CHECKVALUE_LOWEST}, {0xFF, NA_CHECKVALUE_HIGHEST}};
  for (const auto& m : markers) {
    const CAny key = Bin(Cat({ab, Raw({m.by})}));
    std::vector<CAny> values;
    ASSERT_TRUE(KeySplitter::_GetComponentValue(k.components(), &key, 1, &values, nullptr, nullptr));
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ(m.e, eCheckValue(&values[1])) << int(m.by);
  }
}

// Refusals: no bytes, no key, a key that is no buffer, no components; the
// flags are cleared whatever comes; values made before a refusal stay.
TEST_F(searchKeyBuffer, RefusedKeys) {
  KeyLayout k({{NA_IT_TEXTE, 6}, {NA_IT_I4, 4}});
  ASSERT_TRUE(k.bReady());
  struct Refused {
    const char* pszName;
    const CAny* pKey;
    const CRefArray<CNAColumn>* pComponents;
  };
  const CAny empty = Bin({});
  const CAny integer = Int(3);
  const CAny wide = Wide(L"ab");
  CAny null = Bin({1, 2});
  null.SetNull(true);
  const CAny good = Bin(Cat({Txt("ab", 5), I4(4)}));
  const Refused cases[] = {
      {"empty buffer", &empty, k.components()}, {"no key", nullptr, k.components()},
      {"an integer", &integer, k.components()}, {"a wide text", &wide, k.components()},
      {"NULL", &null, k.components()},          {"no components", &good, nullptr},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.pszName);
    std::vector<CAny> values(1);
    int nMin = 1;
    int nMax = 1;
    EXPECT_FALSE(KeySplitter::_GetComponentValue(c.pComponents, c.pKey, 1, &values, &nMin, &nMax));
    EXPECT_EQ(1u, values.size());
    EXPECT_EQ(0, nMin);
    EXPECT_EQ(0, nMax);
  }
  EXPECT_FALSE(KeySplitter::_GetComponentValue(k.components(), &good, 0, nullptr, nullptr, nullptr));
  EXPECT_FALSE(KeySplitter::_GetComponentValueFromRecord(nullptr, nullptr));

  // Values are appended after what the list holds; an 8-bit text key is
  // taken as its characters.
  std::vector<CAny> values(1, Int(99));
  const CAny text = Ansi("ab");
  ASSERT_TRUE(KeySplitter::_GetComponentValue(k.components(), &text, 1, &values, nullptr, nullptr));
  EXPECT_EQ(Describe(std::vector<CAny>{Int(99), Ansi("ab")}), Describe(values));
}

}  // namespace
