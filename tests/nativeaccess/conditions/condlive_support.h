// What the live checks of WHERE conditions build on: a fixture table with
// every kind of column a search or filter compares (an INT with NULLs,
// duplicates, 0 and negatives; a latin1 and a utf8mb4_general_ci text with
// case, accents, '', NULL and the LIKE and quoting specials; a DATE and a
// DATETIME(3) at period edges and at 9999-12-31; a NUMERIC(16,6) amount with
// negative values; a non-unique composite key over the latin1 text, the
// amount and the DATE sorting descending), the item descriptions that match
// it laid out over the record layer, and a reference that evaluates what a
// condition means on the rows without looking at any condition tree.
//
// The reference orders each value by a byte string compared as bytes,
// shorter first on a tie (NULL before everything):
// - integers and amounts: their value as a sign-flipped big-endian integer
//   (amounts scaled by 10^6, as the server stores NUMERIC(16,6));
// - texts: the server's WEIGHT_STRING of the value under the column's
//   collation, read once per value and kept;
// - dates and date-times: their digits YYYYMMDD or YYYYMMDDHHMMSSmmm.
// A generic value is a prefix of those bytes (the weights for a text, the
// digits for a date).
//
// CondLiveTest (a DriverLiveTest: the stand-in runtime bound, the MariaDB
// driver the process's driver, a library connection open) creates and
// fills the table, lays out the record and a statement core over it,
// reads the reference cells, and runs a search's or filter's WHERE as
// "SELECT pk FROM t WHERE ..." through the statement core's driver-level
// statement. Expect compares a case's rows with the reference; a case
// named in KnownFaults (a fault of the condition code, with its reason) is
// printed, not counted, until it passes. KX_CONDLIVE_TRACE=1 prints every
// case. Everything the fixture makes is released in TearDown, before the
// client library goes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "CAny.h"
#include "CMoney.h"
#include "CMySQLConnection.h"
#include "CMySQLDriver.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNADataAccess.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAFilter.h"
#include "CNAItemDescription.h"
#include "CNAParameter.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CNAStatementSQL.h"
#include "mysql/support/LiveText.h"
#include "mysql/support/MariaDbLiveTest.h"
#include "nativeaccess/support/AnyValues.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/HexBytes.h"
#include "nativeaccess/support/TestRecordSource.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace kxcondlive {

using kxtest::Hex;
using kxtest::Int;
using kxtest::Narrow;
using kxtest::Unhex;
using kxtest::Wide;
using kxtest::WideFromUTF8;

// Columns of the table, in item order (the items are named ITEM<n>, the
// table's columns the same).
enum Col : int { PK = 0, N = 1, L = 2, U = 3, D = 4, DT = 5, AMT = 6, DATA_COLUMNS = 7, KEY = 7 };

// One fixture row; texts are UTF-8 (the latin1 one holds only characters
// of latin1), dates as the server writes them, amounts as decimal text.
struct Row {
  int pk;
  std::optional<int> n;
  std::optional<const char*> l;
  std::optional<const char*> u;
  std::optional<const char*> d;
  std::optional<const char*> dt;
  std::optional<const char*> amt;
};

// The composite key's buffer: the latin1 text (20 bytes), the amount (10)
// and the date as 8-bit text with its terminator (9).
constexpr int kTextWidth = 20;
constexpr int kAmountWidth = 10;
constexpr int kKeyWidth = 39;

const std::optional<int> kNoInt;
const std::optional<const char*> kNull;

// Duplicates in every column; (l, amt, d) repeats as a whole (rows 1 and
// 20) and by its first two components (1, 19, 20, 21, 24); NULL components
// of the composite key (5, 16, 21, 22).
inline const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {1, kNoInt, "abc", "abc", "2023-01-01", "2023-01-01 00:00:00.000", "-12.500000"},
      {2, 0, "Abc", "ABC", "2023-12-31", "2023-12-31 23:59:59.999", "0.000000"},
      {3, 5, "abd", "abd", "2024-02-29", "2024-02-29 12:00:00.500", "12.500000"},
      {4, 5, "", "", "2022-12-31", "2022-12-31 23:59:59.999", "-0.000001"},
      {5, -3, kNull, kNull, kNull, kNull, kNull},
      {6, 0, "\xC3\xA9", "\xC3\xA9", "9999-12-31", "9999-12-31 23:59:59.999", "1234567890.123456"},
      {7, kNoInt, "e", "E", "2023-02-27", "2023-02-27 15:00:00.000", "-1234567890.123456"},
      {8, 7, "%a", "%a", "2023-02-27", "2023-02-27 15:59:59.999", "3.000000"},
      {9, -3, "_a", "_a", "2023-02-28", "2023-02-27 16:00:00.000", "-3.000000"},
      {10, 2147483647, "a\\b", "a\\b", "2000-01-01", "2000-01-01 00:00:00.001", "0.000001"},
      {11, -2147483647 - 1, "O'Brien", "o'brien", "1000-01-01", "1000-01-01 00:00:00.000", "-999.990000"},
      {12, 1, "''", "''", "2023-03-01", "2023-03-01 00:00:00.000", "100.000000"},
      {13, kNoInt, "ab", "ab", "2023-02-01", "2023-01-31 23:59:59.999", "12.500000"},
      {14, 5, "\xC3\x80" "B", "\xC3\xA0" "b", "2024-01-01", "2024-01-01 00:00:00.000", "-12.500000"},
      {15, 0, "zz", "Zz", kNull, "9999-12-31 00:00:00.000", "12.500000"},
      {16, 2, "a%", "a_", "2023-02-27", kNull, kNull},
      {17, 2, "a_c", "a%c", "9999-01-01", "9999-01-01 00:00:00.000", "-12.500000"},
      {18, -1, "a\\", "a\\", "2023-02-27", "2023-02-27 15:30:00.000", "0.000000"},
      {19, 5, "abc", "abc", "2023-06-01", "2023-06-01 08:00:00.000", "-12.500000"},
      {20, 5, "ABC", "aBc", "2023-01-01", "2023-01-01 00:00:00.000", "-12.500000"},
      {21, 0, "abc", "abc", kNull, "2023-01-01 00:00:00.000", "-12.500000"},
      {22, 0, "abc", "abc", "2023-01-01", "2023-01-01 00:00:00.000", kNull},
      {23, -1, "x'y", "x''y", "2023-02-01", "2023-02-01 00:00:00.000", "-0.500000"},
      {24, 3, "abc", "abc", "2023-01-15", "2023-01-15 12:00:00.000", "-12.500000"},
      {25, 4, "a", "a\xF0\x9F\x98\x80", "2023-03-15", "2023-03-15 10:00:00.000", "7.250000"},
      {26, 4, "b", "\xF0\x9F\x98\x80" "b", "2023-03-16", "2023-03-16 10:00:00.000", "-7.250000"},
  };
  return rows;
}

// ---- Values -------------------------------------------------------------------

// UTF-8 holding only code points below 256, as latin1 bytes.
inline std::string Latin1(const std::string& utf8) {
  std::string r;
  for (wchar_t c : WideFromUTF8(utf8)) r += static_cast<char>(static_cast<unsigned char>(c));
  return r;
}

// `v`, typed as it is, made NULL.
inline CAny Null(CAny v) {
  v.SetNull(true);
  return v;
}
inline CAny NullInt() { return Null(Int(0)); }
// 8-bit text of latin1 bytes.
inline CAny Ansi(const std::string& bytes) {
  CAny v;
  v.__SetType(ANY_DSTRA, 0);
  v.SetValue(bytes.data(), bytes.size());
  return v;
}
inline CAny Money(const std::wstring& text) {
  CMoney m{};
  pstChaineVersMonetaire(&m, text.c_str());
  CAny v;
  v.SetCY(m);
  return v;
}

// A value as text for messages ("NULL", numbers and texts as they are,
// anything past ASCII as \u{..}).
inline std::string Show(const CAny& value) {
  if (value.bIsNull()) return "NULL";
  CAny c = value;
  if (c.nGetTypeCode() != ANY_DSTRW) c.__nCastTo(ANY_DSTRW, nullptr, 0);
  const wchar_t* psz = nullptr;
  std::size_t n = 0;
  c.nGetPCWSTR(&psz);
  c.nGetSTRLEN(&n);
  std::string s;
  char sz[24];
  for (std::size_t k = 0; psz != nullptr && k < n; ++k) {
    const unsigned long ch = static_cast<unsigned long>(psz[k]);
    if (ch >= 0x20 && ch < 0x7F) {
      s += static_cast<char>(ch);
    } else {
      std::snprintf(sz, sizeof sz, "\\u{%lX}", ch);
      s += sz;
    }
  }
  return "[" + s + "]";
}

inline std::string Ids(const std::set<int>& ids) {
  std::ostringstream s;
  bool bFirst = true;
  for (int id : ids) {
    s << (bFirst ? "" : " ") << id;
    bFirst = false;
  }
  return "{" + s.str() + "}";
}

// ---- Reference cells --------------------------------------------------------------

// A value of the reference: NULL, or bytes compared as bytes.
struct Cell {
  bool null = true;
  std::string ord;
};
inline Cell NullCell() { return Cell{}; }
inline Cell Bytes(std::string s) { return Cell{false, std::move(s)}; }
inline std::string SignFlipped(std::int64_t v) {
  const std::uint64_t u = static_cast<std::uint64_t>(v) ^ (std::uint64_t{1} << 63);
  std::string s;
  for (int k = 7; k >= 0; --k) s += static_cast<char>((u >> (8 * k)) & 0xFFu);
  return s;
}
inline Cell IntCell(std::int64_t v) { return Bytes(SignFlipped(v)); }
// "-12.500000" -> -12500000 (six decimals, as the column stores them).
inline std::int64_t Scaled(const std::string& text) {
  std::string digits;
  bool bNeg = false;
  int nDecimals = -1;
  for (char c : text) {
    if (c == '-') {
      bNeg = true;
    } else if (c == '.') {
      nDecimals = 0;
    } else {
      digits += c;
      if (nDecimals >= 0) ++nDecimals;
    }
  }
  if (nDecimals < 0) nDecimals = 0;
  for (; nDecimals < 6; ++nDecimals) digits += '0';
  const std::int64_t v = std::stoll(digits);
  return bNeg ? -v : v;
}
// "2023-02-27 15:00:00.000" -> "20230227150000000".
inline std::string Digits(const std::string& text) {
  std::string s;
  for (char c : text)
    if (c >= '0' && c <= '9') s += c;
  return s;
}

// Byte order, NULL first; -1, 0, 1.
inline int Compare(const Cell& a, const Cell& b) {
  if (a.null || b.null) return a.null == b.null ? 0 : a.null ? -1 : 1;
  const int c = a.ord.compare(b.ord);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}
inline bool StartsWith(const Cell& a, const std::string& prefix) {
  return !a.null && a.ord.compare(0, prefix.size(), prefix) == 0;
}

// One component of a reference key: column, value, whether the column
// sorts descending and whether the value is a prefix.
struct Component {
  int c;
  Cell v;
  bool descending = false;
  bool prefix = false;
};
// The order of a row's cells against a key, -1, 0 or 1: component by
// component, NULL first, a prefix component equal to every value it
// starts, a descending component reversed (its NULLs last, as the server
// orders them).
template <class CellAt>
int CompareKey(CellAt cellAt, const std::vector<Component>& key) {
  for (const Component& k : key) {
    const Cell& x = cellAt(k.c);
    int c;
    if (k.prefix && !k.v.null && !x.null && x.ord.compare(0, k.v.ord.size(), k.v.ord) == 0)
      c = 0;
    else
      c = Compare(x, k.v);
    if (k.descending) c = -c;
    if (c != 0) return c;
  }
  return 0;
}

// Known faults of the condition code (see each reason); every other case
// must pass.
inline const std::map<std::string, std::string>& KnownFaults() {
  // Name of the case -> what goes wrong; none today.
  static const std::map<std::string, std::string> known;
  return known;
}

// The reference key of the composite key: the components the buffer holds
// whole (text, amount, date), and a last one it holds in part as a prefix.
struct KeyCase {
  const char* pszName;
  const char* text;       // UTF-8
  const wchar_t* amount;
  const wchar_t* date;    // digits
  int bytes;              // of the buffer kept (-1: all)
};

// ---- The fixture ------------------------------------------------------------------------

class CondLiveTest : public kxtest::DriverLiveTest {
 protected:
  CondLiveTest() : DriverLiveTest("kxcondlive_") {}

  void SetUp() override;
  void TearDown() override;

  // ---- Reference --------------------------------------------------------------------
  // Weights of `utf8` under the collation of text column `c` (L or U).
  std::string Weight(int c, const std::string& utf8);
  // The reference cell of row index `r`, column `c`.
  const Cell& CellOf(std::size_t r, int c) const { return m_cells[r][static_cast<std::size_t>(c)]; }
  // pks of the rows for which pred(row index) holds.
  template <class P>
  std::set<int> Where(P pred) const {
    std::set<int> ids;
    for (std::size_t r = 0; r < Rows().size(); ++r)
      if (pred(r)) ids.insert(Rows()[r].pk);
    return ids;
  }
  // pks of the rows whose order against `key` satisfies `op` (4 equal,
  // 5 greater, 6 less, 7 greater or equal, 8 less or equal).
  std::set<int> WhereKey(const std::vector<Component>& key, int op) const {
    return Where([&](std::size_t r) {
      const int c = CompareKey([&](int col) -> const Cell& { return CellOf(r, col); }, key);
      switch (op) {
        case 4: return c == 0;
        case 5: return c > 0;
        case 6: return c < 0;
        case 7: return c >= 0;
        default: return c <= 0;
      }
    });
  }
  // The composite key's buffer for (text, amount, date digits) as the
  // record layer builds it, cut to its first `bytes` bytes (all when
  // negative), then `tail` appended (a marker byte, say). The record's
  // current values are changed.
  CAny KeyBuffer(const char* text, const wchar_t* amount, const wchar_t* date, int bytes = -1,
                 const std::string& tail = "");
  // The pks in the server's order of `orderBy` (the test's own session).
  std::vector<int> ServerOrder(const std::string& orderBy);

  // ---- Records -------------------------------------------------------------------------
  // The record's current values become those of row index `r`.
  void LoadRow(std::size_t r);
  CNAColumn* Column(int c) const { return m_pRecord->pclGetColumnNoRef(m_apItems[c]); }
  INAItemDescription* Item(int c) const { return m_apItems[c]; }

  // ---- Running conditions ------------------------------------------------------------------
  struct Outcome {
    bool bOk = false;         // written and run
    std::string sText;        // the formatted condition
    std::string sParameters;  // the search's parameters
    std::set<int> ids;        // the pks the server selected
  };
  // Writes `search`'s current tree (with `filter`, may be null) and runs it.
  Outcome Run(CNARecherche* search, CNAFilter* filter);
  // Runs "SELECT pk FROM t WHERE <where>" (no WHERE when empty) through the
  // statement core's driver-level statement.
  bool Select(const std::string& where, std::set<int>* ids);
  // The first value of `sql` run through the statement core's driver-level
  // statement, as text ("" for none).
  std::string LibraryValue(const std::string& sql);
  // Sets the library connection's sql_mode (appends or removes
  // NO_BACKSLASH_ESCAPES).
  void SetNoBackslashEscapes(bool on);
  // A mismatch message.
  static std::string Mismatch(const std::string& name, const Outcome& o, const std::set<int>& want) {
    return name + "\n  WHERE " + o.sText + "\n  parameters " + o.sParameters + "\n  server    " + Ids(o.ids) +
           "\n  reference " + Ids(want);
  }
  // A fresh search over the test's error object and connection (held by
  // the test until TearDown).
  CNARecherche* NewSearch();

  // ---- Checks ---------------------------------------------------------------------------
  // The reference of one search on column `c`: the value's bytes (unused
  // for a NULL value), generic or not. A browse follows the item's own
  // order: an item sorted descending is browsed from its highest value
  // down (its NULLs last).
  struct Expected {
    std::set<int> equal, after, before;
  };
  Expected Reference(int c, bool bNull, const std::string& v, bool bGeneric) const {
    const Component k{c, bNull ? NullCell() : Bytes(v), m_apItems[c]->bGetDescendant(0) != 0, bGeneric};
    return Expected{WhereKey({k}, 4), WhereKey({k}, 5), WhereKey({k}, 6)};
  }

  // Runs one search three ways (equality; after; a fresh one, before) and
  // compares each with `want`. `name` heads the messages.
  void Check(const std::string& name, int c, const CAny& value, int exact, const Expected& want) {
    CNARecherche* s = NewSearch();
    ASSERT_TRUE(s->bSetRecherche(m_pRecord, Item(c), &value, NA_PARSE_CURRENT, exact, 0))
        << name << ": " << Narrow(m_pError->pszGetError());
    const Outcome eq = Run(s, nullptr);
    CheckNullSelection(name + " (equality)", c, eq);
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
    const Outcome after = Run(s, nullptr);
    CheckNullSelection(name + " (after)", c, after);
    ASSERT_TRUE(s->bSetRecherche(m_pRecord, Item(c), &value, NA_PARSE_CURRENT, exact, 0));
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
    const Outcome before = Run(s, nullptr);
    CheckNullSelection(name + " (before)", c, before);
    Expect(name + " (equality)", eq, want.equal);
    Expect(name + " (after)", after, want.after);
    Expect(name + " (before)", before, want.before);
  }

  // The server's rows of `o` are `want`'s, except for a case listed as a
  // known fault of the condition code: that one is printed with its
  // reason (and noted when it passes), not counted.
  void Expect(const std::string& name, const Outcome& o, const std::set<int>& want) {
    const bool bOk = o.bOk && o.ids == want;
    // KX_CONDLIVE_TRACE=1 prints every case.
    if (std::getenv("KX_CONDLIVE_TRACE") != nullptr) std::cout << "[ CASE     ] " << Mismatch(name, o, want) << "\n";
    const auto it = KnownFaults().find(name);
    if (it == KnownFaults().end()) {
      EXPECT_TRUE(bOk) << Mismatch(name, o, want);
      return;
    }
    if (bOk)
      std::cout << "[ KNOWN OK ] " << name << ": passes now; drop it from the known faults\n";
    else
      std::cout << "[ KNOWN    ] " << it->second << "\n" << Mismatch(name, o, want) << "\n";
  }

  // A column handed over as "NULL not selected" has no NULL row in the
  // result (the reader relies on it to skip its NULL test).
  void CheckNullSelection(const std::string& name, int c, const Outcome& o) {
    if (!o.bOk || o.sText.empty() || m_pCommand->bColumnValuesNullSelected(Column(c))) return;
    for (std::size_t r = 0; r < Rows().size(); ++r)
      EXPECT_FALSE(CellOf(r, c).null && o.ids.count(Rows()[r].pk))
          << name << ": NULL said not selected, yet row " << Rows()[r].pk << " is\n  WHERE " << o.sText;
  }

  // ---- The composite key ------------------------------------------------------------------
  // The reference components of a buffer cut at `bytes` (-1: whole).
  std::vector<Component> KeyOf(const KeyCase& k) {
    const int n = k.bytes < 0 ? kKeyWidth : k.bytes;
    std::vector<Component> key;
    const std::string text = k.text;
    if (n >= kTextWidth) {
      key.push_back({L, Bytes(Weight(L, text))});
    } else {
      key.push_back({L, Bytes(Weight(L, text.substr(0, static_cast<std::size_t>(n)))), false, true});
      return key;
    }
    if (n >= kTextWidth + kAmountWidth) key.push_back({AMT, IntCell(Scaled(Narrow(k.amount)))});
    if (n == kKeyWidth) {
      key.push_back({D, Bytes(Narrow(k.date)), true});
    } else if (n > kTextWidth + kAmountWidth) {
      const std::string digits = Narrow(k.date);
      key.push_back({D, Bytes(digits.substr(0, static_cast<std::size_t>(n - kTextWidth - kAmountWidth))), true, true});
    }
    return key;
  }

  // ---- Filters ------------------------------------------------------------------------------
  struct Bound {
    bool bGiven = false;
    CAny value;
    std::string ord;  // reference bytes (texts: UTF-8, weighed)
    bool bNullLike = false;
    int included = 1;
  };
  static Bound None() { return Bound(); }
  Bound B(const CAny& v, const std::string& ord, int included, bool nullLike = false) {
    Bound b;
    b.bGiven = true;
    b.value = v;
    b.ord = ord;
    b.included = included;
    b.bNullLike = nullLike;
    return b;
  }
  Bound T(int c, const char* utf8, int included) {
    return B(c == L ? Ansi(Latin1(utf8)) : Wide(WideFromUTF8(utf8)), Weight(c, utf8), included, *utf8 == 0);
  }
  Bound I(int n, int included) { return B(Int(n), SignFlipped(n), included, n == 0); }
  Bound A(const wchar_t* amount, int included) {
    const std::int64_t v = Scaled(Narrow(amount));
    return B(Money(amount), SignFlipped(v), included, v == 0);
  }
  Bound Dt(const wchar_t* digits, int included) { return B(Wide(digits), Narrow(digits), included); }

  // The rows of the filter (lo, hi) on column `c`.
  std::set<int> FilterReference(int c, const Bound& lo, const Bound& hi, bool generic) const {
    const bool bDesc = m_apItems[c]->bGetDescendant(0) != 0;
    // The end that is lowest in value order keeps the NULL rule.
    const Bound& lowest = bDesc && hi.bGiven ? hi : lo;
    const bool bNulls = lowest.bGiven && lowest.included && lowest.bNullLike && (!bDesc || (lo.bGiven && hi.bGiven));
    return Where([&](std::size_t r) {
      const Cell& x = CellOf(r, c);
      if (x.null) return bNulls;
      auto cmp = [&](const Bound& b) {
        return CompareKey([&](int) -> const Cell& { return x; }, {Component{c, Bytes(b.ord), bDesc, generic}});
      };
      if (lo.bGiven) {
        const int k = cmp(lo);
        if (k < 0 || (k == 0 && !lo.included)) return false;
      }
      if (hi.bGiven) {
        const int k = cmp(hi);
        if (k > 0 || (k == 0 && !hi.included)) return false;
      }
      return true;
    });
  }

  CNAFilter* NewFilter(int c, const Bound& lo, const Bound& hi, int flags) {
    CNAFilter* f = new CNAFilter(m_pError, m_pCnx);
    f->AddRef();
    m_apSearches.push_back(f);
    EXPECT_TRUE(f->bSetFilter(m_pRecord, Item(c), lo.bGiven ? &lo.value : nullptr, lo.included,
                              hi.bGiven ? &hi.value : nullptr, hi.included, nullptr, flags));
    f->ActivateFilter(1);
    return f;
  }

  std::unique_ptr<kxtest::TestRecordSource> m_pSource;
  CNAItemDescription* m_apItems[KEY + 1] = {};
  CNADataAccess* m_pAccess = nullptr;
  CNARecord* m_pRecord = nullptr;
  CNAStatement* m_pSt = nullptr;
  CNACommand* m_pCommand = nullptr;
  std::vector<CNARecherche*> m_apSearches;
  std::vector<std::vector<Cell>> m_cells;
  std::map<std::pair<int, std::string>, std::string> m_weights;
};

inline void CondLiveTest::SetUp() {
  DriverLiveTest::SetUp();
  if (HasFatalFailure()) return;

  // The table.
  ASSERT_TRUE(MariaDbLiveTest::Run(
      "CREATE TABLE " + m_sTable +
      " (ITEM0 INT NOT NULL PRIMARY KEY, ITEM1 INT NULL,"
      " ITEM2 VARCHAR(20) CHARACTER SET latin1 COLLATE latin1_swedish_ci NULL,"
      " ITEM3 VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci NULL,"
      " ITEM4 DATE NULL, ITEM5 DATETIME(3) NULL, ITEM6 NUMERIC(16,6) NULL,"
      " KEY k7 (ITEM2, ITEM6, ITEM4 DESC)) ENGINE=InnoDB"));
  auto text = [](const std::optional<const char*>& s) {
    if (!s) return std::string("NULL");
    if (**s == 0) return std::string("''");
    return "_utf8mb4 X'" + Hex(*s) + "'";
  };
  auto quoted = [](const std::optional<const char*>& s) { return s ? "'" + std::string(*s) + "'" : "NULL"; };
  std::string insert = "INSERT INTO " + m_sTable + " VALUES ";
  for (std::size_t r = 0; r < Rows().size(); ++r) {
    const Row& w = Rows()[r];
    insert += std::string(r ? ", " : "") + "(" + std::to_string(w.pk) + ", " +
              (w.n ? std::to_string(*w.n) : "NULL") + ", " + text(w.l) + ", " + text(w.u) + ", " + quoted(w.d) +
              ", " + quoted(w.dt) + ", " + (w.amt ? *w.amt : "NULL") + ")";
  }
  ASSERT_TRUE(MariaDbLiveTest::Run(insert));

  // The items, as the platform describes such a table.
  m_pSource = std::make_unique<kxtest::TestRecordSource>();
  kxtest::TestRecordSource& s = *m_pSource;
  m_apItems[PK] = s.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY);
  m_apItems[PK]->SetNullable(0);
  m_apItems[N] = s.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_DUPLICATES);
  m_apItems[L] = s.pclAdd(NA_IT_TEXTE, 21, 1, CNAItemDescription::KEY_DUPLICATES);
  m_apItems[U] = s.pclAdd(NA_IT_UNICODE, 42, 1, CNAItemDescription::KEY_DUPLICATES);
  m_apItems[D] = s.pclAdd(NA_IT_DATE8, 9);
  m_apItems[DT] = s.pclAdd(NA_IT_DATETIME, 8, 1, 0, 0, 3);
  m_apItems[AMT] = s.pclAdd(NA_IT_MONETAIRE, 10);
  // The composite key takes no room in the record (laid out last, sized
  // by its components); its third component sorts descending.
  m_apItems[D]->SetSensTri(1);
  m_apItems[KEY] = s.pclAdd(NA_IT_BINAIRE, 0, 1, CNAItemDescription::KEY_COMPOSED | CNAItemDescription::KEY_DUPLICATES);
  s.nItemsInRecord -= 1;
  m_apItems[KEY]->SetPhysicalIndice(0xFFFFFFFFu);
  m_apItems[KEY]->bAddComponent(m_apItems[L]);
  m_apItems[KEY]->bAddComponent(m_apItems[AMT]);
  m_apItems[KEY]->bAddComponent(m_apItems[D]);

  m_pAccess = new CNADataAccess(m_pSource.get(), m_pCnx, m_pError);
  m_pAccess->AddRef();
  m_pRecord = new CNARecord(m_pError, m_pAccess);
  m_pRecord->AddRef();
  ASSERT_TRUE(m_pRecord->bInitRecord(m_pSource.get(), nullptr, m_pCnx)) << Narrow(m_pError->pszGetError());
  m_pAccess->SetCurrentRecord(m_pRecord);
  m_pSt = new CNAStatement(m_pAccess, m_pError);
  m_pSt->AddRef();
  ASSERT_NE(nullptr, m_pSt->pclGetStatementSQLNoRef()) << Narrow(m_pError->pszGetError());
  m_pCommand = m_pDriver->pclAllocCommand(m_pError, m_pCnx);
  ASSERT_NE(nullptr, m_pCommand);
  m_pCommand->AddRef();

  // The reference cells, texts by the server's weights.
  kxtest::MariaDbClient::Result result;
  std::string failure;
  ASSERT_TRUE(m_client->Query(m_pSession,
                              "SELECT ITEM0, HEX(WEIGHT_STRING(ITEM2)), HEX(WEIGHT_STRING(ITEM3)) FROM " + m_sTable,
                              result, failure))
      << failure;
  std::map<int, std::pair<std::optional<std::string>, std::optional<std::string>>> weights;
  for (const auto& row : result.rows) weights[std::stoi(*row[0])] = {row[1], row[2]};
  for (const Row& w : Rows()) {
    std::vector<Cell> cells(KEY);
    cells[PK] = IntCell(w.pk);
    cells[N] = w.n ? IntCell(*w.n) : NullCell();
    const auto& wt = weights[w.pk];
    cells[L] = wt.first ? Bytes(Unhex(*wt.first)) : NullCell();
    cells[U] = wt.second ? Bytes(Unhex(*wt.second)) : NullCell();
    if (w.l) m_weights[{L, *w.l}] = cells[L].ord;
    if (w.u) m_weights[{U, *w.u}] = cells[U].ord;
    cells[D] = w.d ? Bytes(Digits(*w.d)) : NullCell();
    cells[DT] = w.dt ? Bytes(Digits(*w.dt)) : NullCell();
    cells[AMT] = w.amt ? IntCell(Scaled(*w.amt)) : NullCell();
    m_cells.push_back(cells);
  }
}

inline void CondLiveTest::TearDown() {
  for (auto it = m_apSearches.rbegin(); it != m_apSearches.rend(); ++it) (*it)->nRelease();
  m_apSearches.clear();
  if (m_pCommand != nullptr) m_pCommand->nRelease();
  if (m_pSt != nullptr) m_pSt->nRelease();
  if (m_pRecord != nullptr) m_pRecord->nRelease();
  if (m_pAccess != nullptr) m_pAccess->nRelease();
  m_pSource.reset();
  DriverLiveTest::TearDown();
}

inline std::string CondLiveTest::Weight(int c, const std::string& utf8) {
  const auto key = std::make_pair(c, utf8);
  const auto it = m_weights.find(key);
  if (it != m_weights.end()) return it->second;
  const std::string lit = utf8.empty() ? std::string("_utf8mb4 ''") : "_utf8mb4 X'" + Hex(utf8) + "'";
  const std::string expr = c == L ? "CONVERT(" + lit + " USING latin1) COLLATE latin1_swedish_ci"
                                  : lit + " COLLATE utf8mb4_general_ci";
  const std::string w = Unhex(Value("SELECT HEX(WEIGHT_STRING(" + expr + "))"));
  m_weights[key] = w;
  return w;
}

inline std::vector<int> CondLiveTest::ServerOrder(const std::string& orderBy) {
  kxtest::MariaDbClient::Result result;
  std::string failure;
  const std::string sql = "SELECT ITEM0 FROM " + m_sTable + " ORDER BY " + orderBy;
  EXPECT_TRUE(m_client->Query(m_pSession, sql, result, failure)) << sql << ": " << failure;
  std::vector<int> ids;
  for (const auto& row : result.rows) ids.push_back(std::stoi(*row[0]));
  return ids;
}

inline void CondLiveTest::LoadRow(std::size_t r) {
  const Row& w = Rows()[r];
  auto set = [&](int c, const std::optional<CAny>& v) {
    CNAColumn* col = Column(c);
    if (!v) {
      EXPECT_TRUE(col->bSetValueNULL()) << "row " << w.pk << " column " << c;
    } else {
      EXPECT_TRUE(col->bSetValue(&*v, 0)) << "row " << w.pk << " column " << c << ": "
                                          << Narrow(m_pError->pszGetError());
    }
  };
  set(PK, Int(w.pk));
  set(N, w.n ? std::optional<CAny>(Int(*w.n)) : std::nullopt);
  set(L, w.l ? std::optional<CAny>(Ansi(Latin1(*w.l))) : std::nullopt);
  set(U, w.u ? std::optional<CAny>(Wide(WideFromUTF8(*w.u))) : std::nullopt);
  set(D, w.d ? std::optional<CAny>(Wide(WideFromUTF8(Digits(*w.d)))) : std::nullopt);
  set(DT, w.dt ? std::optional<CAny>(Wide(WideFromUTF8(Digits(*w.dt)))) : std::nullopt);
  set(AMT, w.amt ? std::optional<CAny>(Money(WideFromUTF8(*w.amt))) : std::nullopt);
}

inline CAny CondLiveTest::KeyBuffer(const char* text, const wchar_t* amount, const wchar_t* date, int bytes,
                                   const std::string& tail) {
  const CAny t = Ansi(Latin1(text));
  const CAny a = Money(amount);
  const CAny d = Wide(date);
  EXPECT_TRUE(Column(L)->bSetValue(&t, 0));
  EXPECT_TRUE(Column(AMT)->bSetValue(&a, 0));
  EXPECT_TRUE(Column(D)->bSetValue(&d, 0));
  CAny key;
  EXPECT_TRUE(Column(KEY)->bGetCurrentValue(&key, 0));
  void* p = nullptr;
  std::size_t n = 0;
  key.nGetDataAdr(&p);
  key.nGetDataSize(&n);
  std::string b(static_cast<const char*>(p), n);
  b.resize(kKeyWidth);
  if (bytes >= 0) b.resize(static_cast<std::size_t>(bytes));
  b += tail;
  CAny out;
  out.SetBIN(reinterpret_cast<const unsigned char*>(b.data()), b.size());
  return out;
}

inline CNARecherche* CondLiveTest::NewSearch() {
  CNARecherche* p = new CNARecherche(m_pError, m_pCnx);
  p->AddRef();
  m_apSearches.push_back(p);
  return p;
}

inline bool CondLiveTest::Select(const std::string& where, std::set<int>* ids) {
  CNAStatementSQL* st = m_pSt->pclGetStatementSQLNoRef();
  const std::string sql = "SELECT ITEM0 FROM " + m_sTable + (where.empty() ? "" : " WHERE " + where);
  if (st->bExecuteDirect(sql.c_str(), NA_WRITEPARSE_NONE) != 1) {
    ADD_FAILURE() << sql << ": " << Narrow(m_pError->pszGetError());
    m_pError->Reset();
    st->bReset();
    return false;
  }
  CMySQLStatementSQL* pMy = dynamic_cast<CMySQLStatementSQL*>(st);
  while (pMy != nullptr && pMy->bFetch(0) == 1 && !pMy->bNoCurrentRow()) {
    unsigned char* p = nullptr;
    unsigned n = 0;
    if (!pMy->bGetValue(&p, &n, 0) || p == nullptr) {
      ADD_FAILURE() << sql << ": no pk";
      break;
    }
    ids->insert(std::stoi(std::string(reinterpret_cast<const char*>(p), n)));
  }
  st->bReset();
  return true;
}

inline CondLiveTest::Outcome CondLiveTest::Run(CNARecherche* search, CNAFilter* filter) {
  Outcome o;
  // A new command for every write, as a statement builds each query.
  if (m_pCommand != nullptr) m_pCommand->nRelease();
  m_pCommand = m_pDriver->pclAllocCommand(m_pError, m_pCnx);
  if (m_pCommand == nullptr) {
    ADD_FAILURE() << "no command";
    return o;
  }
  m_pCommand->AddRef();
  if (!search->bGetSQL(m_pCommand, filter, m_pRecord)) {
    ADD_FAILURE() << "bGetSQL failed: " << Narrow(m_pError->pszGetError());
    m_pError->Reset();
    return o;
  }
  const char* psz = m_pCommand->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
  if (psz == nullptr) {
    ADD_FAILURE() << "no formatted text: " << Narrow(m_pError->pszGetError());
    m_pError->Reset();
    return o;
  }
  o.sText = psz;
  for (int i = 0; i < search->nGetNbParameter(); ++i) {
    CNAParameter* p = search->pclGetParameter(i);
    CAny v;
    if (p != nullptr && p->pclGetValue() != nullptr) p->pclGetValue()->bGetValue(&v);
    o.sParameters += (i ? ", " : "") + Show(v);
  }
  o.bOk = Select(o.sText, &o.ids);
  return o;
}

inline std::string CondLiveTest::LibraryValue(const std::string& sql) {
  CMySQLStatementSQL* st = dynamic_cast<CMySQLStatementSQL*>(m_pSt->pclGetStatementSQLNoRef());
  if (st == nullptr || st->bExecuteDirect(sql.c_str(), NA_WRITEPARSE_NONE) != 1) {
    ADD_FAILURE() << sql << ": " << Narrow(m_pError->pszGetError());
    m_pError->Reset();
    return "";
  }
  std::string v;
  unsigned char* p = nullptr;
  unsigned n = 0;
  if (st->bFetch(0) == 1 && !st->bNoCurrentRow() && st->bGetValue(&p, &n, 0) && p != nullptr)
    v.assign(reinterpret_cast<const char*>(p), n);
  st->bReset();
  return v;
}

inline void CondLiveTest::SetNoBackslashEscapes(bool on) {
  const std::wstring sql = on ? L"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"
                              : L"SET SESSION sql_mode = REPLACE(@@sql_mode, 'NO_BACKSLASH_ESCAPES', '')";
  ASSERT_EQ(1, m_pCnx->bExecuteQueryNoResult(m_pError, sql.c_str())) << Narrow(m_pError->pszGetError());
  // The statements see the mode (a backslash in a literal is then itself).
  ASSERT_EQ(on ? "2" : "1", LibraryValue("SELECT LENGTH('\\\\')"));
}

}  // namespace kxcondlive
