// Date-times and durations: calendar, shifts, digit texts.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "CDateTimeBase.h"
#include "CDureeBase.h"
#include "StrFunctions.h"

namespace {

CDateTimeBase Date(int year, int month, int day, std::uint32_t ms = 0) {
  CDateTimeBase v;
  v.Set(year, month, day, 0, 0, 0, 0);
  v.m_dwHeure = ms;
  return v;
}

// The 17-digit text, for readable failures.
std::string Text(const CDateTimeBase& v) {
  char buffer[18];
  v.VersChaine(buffer, 17);
  return buffer;
}

std::string Bytes(const CDateTimeBase& v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof(v));
}

std::string Narrow(const wchar_t* text) {
  std::string s;
  for (; text != nullptr && *text != 0; ++text) s += static_cast<char>(*text);
  return s;
}

std::string DureeText(std::int64_t ms) {
  CDureeBase d{ms};
  wchar_t* text = d.pszCreeChaine();
  std::string s = Narrow(text);
  STR_Delete(text);
  return s;
}

std::string Iso(const CDateTimeBase& v) {
  int y = -1, w = -1, d = -1;
  v.VersISO8601YWD(y, w, d);
  return std::to_string(y) + "-W" + std::to_string(w) + "-" + std::to_string(d);
}

TEST(datetime_Examples, WorkedExamplesHold) {
  struct Row {
    const char* what;
    std::function<std::string()> actual;
    std::string expected;
  };
  auto shifted = [](CDateTimeBase v, bool (CDateTimeBase::*shift)(long), long n) {
    const bool ok = (v.*shift)(n);
    return std::string(ok ? "" : "refused ") + Text(v);
  };
  auto leap = [](int year) { return std::to_string(CDateTimeBase::__nBissextile(year)); };
  auto timeOf = [](const char* text) {
    CDateTimeBase v = Date(2000, 1, 1, 7);
    if (!v.__bSetPartieHeureValide(text)) return std::string("refused");
    return std::to_string(v.m_dwHeure);
  };
  auto duree = [](const wchar_t* text) {
    CDureeBase d{42};
    const int rc = d.nDepuisChaine(text);
    return std::to_string(rc) + ":" + std::to_string(d.m_llDuree);
  };
  const Row rows[] = {
      {"day 1", [] { return std::to_string(Date(1800, 1, 1).nVersEntier()); }, "1"},
      {"last day", [] { return std::to_string(Date(9999, 12, 31).nVersEntier()); }, "2994988"},
      {"2000 day", [] { return std::to_string(Date(2000, 1, 1).nVersEntier()); }, "73049"},
      {"2000 weekday", [] { return std::to_string(Date(2000, 1, 1).nGetJourDeLaSemaine()); }, "6"},
      {"JD reform", [] { return std::to_string(Date(1582, 10, 15).nVersJourJulien()); }, "2299161"},
      {"JD eve", [] { return std::to_string(Date(1582, 10, 4).nVersJourJulien()); }, "2299160"},
      {"JD 2000", [] { return std::to_string(Date(2000, 1, 1).nVersJourJulien()); }, "2451545"},
      {"1900", [&] { return leap(1900); }, "0"},
      {"2100", [&] { return leap(2100); }, "0"},
      {"2000", [&] { return leap(2000); }, "1"},
      {"1500", [&] { return leap(1500); }, "1"},
      {"31 Jan + 1 month",
       [&] { return shifted(Date(2001, 1, 31), &CDateTimeBase::bDecaleMois, 1); },
       "20010228000000000"},
      {"31 Mar - 1 month",
       [&] { return shifted(Date(2004, 3, 31), &CDateTimeBase::bDecaleMois, -1); },
       "20040229000000000"},
      {"- 13 months", [&] { return shifted(Date(2000, 1, 15), &CDateTimeBase::bDecaleMois, -13); },
       "19981215000000000"},
      {"- 1 ms", [&] { return shifted(Date(2000, 3, 1), &CDateTimeBase::bDecaleMilli, -1); },
       "20000229235959999"},
      {"ISO 1 Jan 2010", [] { return Iso(Date(2010, 1, 1)); }, "2009-W53-5"},
      {"ISO 7 Jan 2010", [] { return Iso(Date(2010, 1, 7)); }, "2010-W1-4"},
      {"time 1230", [&] { return timeOf("1230"); }, "45000000"},
      {"time 123045", [&] { return timeOf("123045"); }, "45045000"},
      {"time 12304512", [&] { return timeOf("12304512"); }, "45045120"},
      {"time 123045123", [&] { return timeOf("123045123"); }, "45045123"},
      {"time 123", [&] { return timeOf("123"); }, "refused"},
      {"time 1230a5", [&] { return timeOf("1230a5"); }, "refused"},
      {"duration -13 digits", [&] { return duree(L"-0000000001000"); }, "0:-1000"},
      {"duration 9 digits", [&] { return duree(L"123456789"); }, "112:42"},
      {"duration 90061001", [] { return DureeText(90061001); }, "1010101001"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.actual(), row.expected) << row.what;
}

// Every date of years 1 to 9999 has the next day number after the previous
// one's and comes back from it (the ten days that never existed come back as
// 15 October 1582); nothing outside those years is made.
TEST(datetime_DayNumber, EveryDateRoundTrips) {
  long previous = Date(1, 1, 1).nVersEntier() - 1;
  EXPECT_EQ(previous, -657073);
  const int reform = Date(1582, 10, 15).nVersEntier();
  long failures = 0;
  for (int y = 1; y <= 9999; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= CDateTimeBase::s_nGetNbJourMois(m, y); ++d) {
        CDateTimeBase v = Date(y, m, d, 12345);
        int n = 0;
        ASSERT_TRUE(v.__bDateVersEntier(&n)) << y << "-" << m << "-" << d;
        const bool lost = y == 1582 && m == 10 && d >= 5 && d <= 14;
        const long expected = lost ? reform : previous + 1;
        CDateTimeBase back = Date(1, 1, 1, 777);
        const bool ok = back.__bEntierVersDate(n);
        const CDateTimeBase wanted = lost ? Date(1582, 10, 15, 777) : Date(y, m, d, 777);
        if (n != expected || !ok || Bytes(back) != Bytes(wanted)) {
          if (++failures < 10) {
            ADD_FAILURE() << y << "-" << m << "-" << d << ": day " << n << " expected " << expected
                          << ", back " << Text(back);
          }
        }
        if (!lost) previous = n;
      }
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(previous, 2994988);

  for (long n : {-657073L, 2994989L, LONG_MIN, LONG_MAX}) {
    CDateTimeBase v = Date(2000, 6, 15, 5);
    EXPECT_FALSE(v.__bEntierVersDate(n)) << n;
    EXPECT_EQ(Text(v), "20000615000000005") << n;
  }
}

TEST(datetime_DayNumber, WeekdaysRunAcrossTheReformAndBeforeYearOne) {
  struct {
    int y, m, d, weekday;
  } rows[] = {
      {1, 1, 1, 6},       // a Saturday in the Julian calendar
      {1582, 10, 4, 4},   // Thursday ...
      {1582, 10, 15, 5},  // ... followed by Friday
      {1800, 1, 1, 3},    // day 1
      {9999, 12, 31, 5},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Date(r.y, r.m, r.d).nGetJourDeLaSemaine(), r.weekday)
        << r.y << "-" << r.m << "-" << r.d;
  }
  EXPECT_EQ(Date(1582, 12, 31).nGetJourDansAnnee(), 355);  // ten days shorter
  EXPECT_EQ(Date(2000, 12, 31).nGetJourDansAnnee(), 366);
  EXPECT_EQ(Date(1500, 3, 1).nGetJourDansAnnee(), 61);
}

TEST(datetime_Iso, FirstDaysOfYearOneBelongToYearZero) {
  struct {
    CDateTimeBase v;
    const char* expected;
  } rows[] = {
      {Date(1, 1, 1), "0-W53-6"},         {Date(1, 1, 2), "0-W53-7"},
      {Date(1, 1, 3), "1-W1-1"},          {Date(9999, 12, 31), "9999-W52-5"},
      {Date(2004, 12, 31), "2004-W53-5"}, {Date(2008, 12, 29), "2009-W1-1"},
  };
  for (const auto& r : rows) EXPECT_EQ(Iso(r.v), r.expected) << Text(r.v);
}

// Every shift that would leave years 1 to 9999 is refused and changes
// nothing, whichever step of it fails.
TEST(datetime_Shift, PastEitherEndRefusedWithValueUnchanged) {
  const CDateTimeBase last = Date(9999, 12, 31, 86399999);
  const CDateTimeBase first = Date(1, 1, 1, 0);
  struct Row {
    const char* what;
    CDateTimeBase start;
    std::function<bool(CDateTimeBase&)> shift;
  };
  const Row rows[] = {
      {"day +1", last, [](CDateTimeBase& v) { return v.bDecaleJour(1); }},
      {"day -1", first, [](CDateTimeBase& v) { return v.bDecaleJour(-1); }},
      {"day LONG_MAX", first, [](CDateTimeBase& v) { return v.bDecaleJour(LONG_MAX); }},
      {"day LONG_MIN", last, [](CDateTimeBase& v) { return v.bDecaleJour(LONG_MIN); }},
      {"month +1", last, [](CDateTimeBase& v) { return v.bDecaleMois(1); }},
      {"month -1", first, [](CDateTimeBase& v) { return v.bDecaleMois(-1); }},
      {"month LONG_MIN", last, [](CDateTimeBase& v) { return v.bDecaleMois(LONG_MIN); }},
      {"year +1", last, [](CDateTimeBase& v) { return v.bDecaleAnnee(1); }},
      {"year -1", first, [](CDateTimeBase& v) { return v.bDecaleAnnee(-1); }},
      {"1500 - 2000 years", Date(1500, 2, 29),
       [](CDateTimeBase& v) { return v.bDecaleAnnee(-2000); }},
      {"year LONG_MAX", first, [](CDateTimeBase& v) { return v.bDecaleAnnee(LONG_MAX); }},
      {"ms +1", last, [](CDateTimeBase& v) { return v.bDecaleMilli(1); }},
      {"ms -1", first, [](CDateTimeBase& v) { return v.bDecaleMilli(-1); }},
      {"ms LONG_MIN", first, [](CDateTimeBase& v) { return v.bDecaleMilli(LONG_MIN); }},
      {"ms LONG_MAX", last, [](CDateTimeBase& v) { return v.bDecaleMilli(LONG_MAX); }},
      {"invalid date", Date(2023, 2, 30), [](CDateTimeBase& v) { return v.bDecaleJour(1); }},
      {"month 13", Date(2023, 13, 1), [](CDateTimeBase& v) { return v.bDecaleMois(1); }},
  };
  for (const Row& row : rows) {
    CDateTimeBase v = row.start;
    EXPECT_FALSE(row.shift(v)) << row.what;
    EXPECT_EQ(Bytes(v), Bytes(row.start)) << row.what << ": " << Text(v);
  }

  // The last steps inside still work.
  CDateTimeBase v = last;
  EXPECT_TRUE(v.bDecaleMilli(-86399999L - 86400000L * 3652060L));
  EXPECT_EQ(Text(v), "00010101000000000");
  EXPECT_TRUE(v.bDecaleAnnee(9998));
  EXPECT_TRUE(v.bDecaleMois(11));
  EXPECT_EQ(Text(v), "99991201000000000");
}

TEST(datetime_Shift, EmptyDateShiftsOnlyItsTime) {
  CDateTimeBase v = Date(0, 0, 0, 1000);
  EXPECT_TRUE(v.bDecaleJour(5));
  EXPECT_EQ(Text(v), "00000000000001000");
  EXPECT_TRUE(v.bDecaleMilli(-2000));  // borrows a day that the empty date ignores
  EXPECT_EQ(Text(v), "00000000235959000");
  EXPECT_TRUE(v.bDecaleMilli(3L * 86400000 + 1000));
  EXPECT_EQ(Text(v), "00000000000000000");
}

TEST(datetime_Arithmetic, DifferencesIn64Bits) {
  CDureeBase d{7};
  EXPECT_EQ(CDateTimeBase::nCalculeDuree(Date(9999, 12, 31, 86399999), Date(1, 1, 1, 0), &d), 0);
  EXPECT_EQ(d.m_llDuree, (2994988LL + 657072) * 86400000 + 86399999);
  EXPECT_EQ(CDateTimeBase::nCalculeDuree(Date(2000, 3, 1), Date(2000, 2, 28, 1), &d), 0);
  EXPECT_EQ(d.m_llDuree, 2LL * 86400000 - 1);
  d.m_llDuree = 7;
  EXPECT_EQ(CDateTimeBase::nCalculeDuree(Date(2000, 2, 30), Date(2000, 1, 1), &d), 110);
  EXPECT_EQ(CDateTimeBase::nCalculeDuree(Date(2000, 1, 1), CDateTimeBase{}, &d), 110);
  EXPECT_EQ(d.m_llDuree, 7);

  int days = 3;
  EXPECT_TRUE(CDateTimeBase::bCalculeDiffJour(Date(1582, 10, 15), Date(1582, 10, 4), &days));
  EXPECT_EQ(days, 1);
  EXPECT_FALSE(CDateTimeBase::bCalculeDiffJour(Date(1582, 10, 15), Date(1582, 13, 4), &days));
  EXPECT_EQ(days, 1);
}

TEST(datetime_Fields, ModifiersCheckAndClip) {
  CDateTimeBase v = Date(2024, 3, 31, 45045123);  // 12:30:45.123
  EXPECT_TRUE(v.bModifieMois(2));
  EXPECT_EQ(Text(v), "20240229123045123");
  EXPECT_TRUE(v.bModifieAnnee(2023));
  EXPECT_EQ(Text(v), "20230228123045123");
  EXPECT_FALSE(v.bModifieAnnee(10000));
  EXPECT_FALSE(v.bModifieMois(0));
  EXPECT_FALSE(v.bModifieJour(32));
  EXPECT_FALSE(v.bModifieHeure(24));
  EXPECT_FALSE(v.bModifieMinute(60));
  EXPECT_FALSE(v.bModifieSeconde(-1));
  EXPECT_EQ(Text(v), "20230228123045123");
  EXPECT_TRUE(v.bModifieHeure(23));
  EXPECT_TRUE(v.bModifieMinute(1));
  EXPECT_TRUE(v.bModifieSeconde(2));
  EXPECT_EQ(Text(v), "20230228230102123");

  // A refused field keeps its value; only the milliseconds fail the call.
  SYSTEMTIME st{2024, 13, 0, 31, 25, 5, 6, 7};
  CDateTimeBase w = Date(2020, 4, 10, 0);
  EXPECT_TRUE(w.InitDate(&st));
  EXPECT_EQ(Text(w), "20240430000506007");
  st.wMilliseconds = 1000;
  EXPECT_FALSE(w.InitDate(&st));
  EXPECT_EQ(Text(w), "20240430000506007");

  SYSTEMTIME out{};
  out.wDayOfWeek = 9;
  EXPECT_EQ(w.nVersSysteme(&out), 0);
  EXPECT_EQ(out.wYear, 2024);
  EXPECT_EQ(out.wMonth, 4);
  EXPECT_EQ(out.wDay, 30);
  EXPECT_EQ(out.wMinute, 5);
  EXPECT_EQ(out.wSecond, 6);
  EXPECT_EQ(out.wMilliseconds, 7);
  EXPECT_EQ(out.wDayOfWeek, 9);
}

TEST(datetime_Compare, ValuesAndPrefixTexts) {
  EXPECT_EQ(CDateTimeBase::nCompare(Date(2000, 1, 2), Date(1999, 12, 31, 5)), 1);
  EXPECT_EQ(CDateTimeBase::nCompare(Date(2000, 1, 2, 4), Date(2000, 1, 2, 5)), -1);
  EXPECT_EQ(CDateTimeBase::s_nCompareDateSeule(Date(2000, 1, 2, 4), Date(2000, 1, 2, 5)), 0);
  EXPECT_EQ(CDateTimeBase::s_nCompareDateSeule(Date(2000, 2, 1), Date(2000, 1, 31)), 1);

  struct {
    const wchar_t* a;
    const wchar_t* b;
    int expected;
  } rows[] = {
      {L"20230515", L"20230515123000000", 0},  // a prefix matches
      {L"2023", L"2024", -1},
      {L"20231", L"2023", 0},
      {L"", L"", 0},
      {nullptr, nullptr, 0},
      {nullptr, L"1", -1},
      {L"1", nullptr, 1},
      {L"", L"1", -1},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(CDateTimeBase::nCompareDate(r.a, r.b), r.expected)
        << Narrow(r.a) << "|" << Narrow(r.b);
    EXPECT_EQ(CDateTimeBase::nCompareHeure(r.a, r.b), r.expected)
        << Narrow(r.a) << "|" << Narrow(r.b);
  }
  EXPECT_EQ(CDateTimeBase::nCompare(Date(2023, 5, 15, 1), L"202305"), 0);
  EXPECT_EQ(CDateTimeBase::nCompare(Date(2023, 5, 15, 1), L"20230515000000002"), -1);
  EXPECT_EQ(CDateTimeBase::nCompare(Date(2023, 5, 15, 1), nullptr), 1);
}

TEST(datetime_Text, FieldReaderReadsExactlyItsCharacters) {
  struct {
    const char* text;
    int offset, length;
    bool partial;
    int expected;
  } rows[] = {
      {"20230515", 0, 4, false, 2023},
      {"20230515", 4, 2, false, 5},
      {"20230515", 6, 2, false, 15},
      {"5", 0, 3, true, 500},
      {"12", 0, 3, true, 120},
      {"12", 0, 3, false, 0},
      {"123", 3, 2, true, 0},  // nothing left at the offset
      {"2023ab15", 4, 2, false, 0},
      {"1a", 0, 2, false, 1},
      {"", 0, 2, true, 0},
      {nullptr, 0, 2, true, 0},
      {"99999999999999999999", 0, 20, false, INT_MAX},
  };
  for (const auto& r : rows) {
    const char* t = r.text ? r.text : "(null)";
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(r.text, r.offset, r.length, r.partial), r.expected)
        << t << " " << r.offset << " " << r.length;
    std::wstring wide;
    for (const char* p = r.text; p && *p; ++p) wide += static_cast<wchar_t>(*p);
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(r.text ? wide.c_str() : nullptr, r.offset, r.length,
                                              r.partial),
              r.expected)
        << "wide " << t;
  }
}

TEST(datetime_Text, UncheckedReadersStoreWhatTheDigitsSay) {
  struct {
    const char* text;
    const char* expected;
  } rows[] = {
      {"20230515123045123", "20230515123045123"},
      {"2023051512304512", "20230515123045120"},
      {"202305151230455", "20230515123045500"},
      {"20230515", "20230515000000000"},
      {"202305151", "20230515000000000"},       // "1" is no two-digit hour
      {"20231399235959", "20231399235959000"},  // no checks
      {"2023", "20230000000000000"},
      {"202", "00000000000000000"},
  };
  for (const auto& r : rows) {
    CDateTimeBase v = Date(1999, 9, 9, 9);
    v.FromString(r.text);
    EXPECT_EQ(Text(v), r.expected) << r.text;
    std::wstring wide;
    for (const char* p = r.text; *p; ++p) wide += static_cast<wchar_t>(*p);
    CDateTimeBase w = Date(1999, 9, 9, 9);
    w.FromString(wide.c_str());
    EXPECT_EQ(Bytes(w), Bytes(v)) << "wide " << r.text;
  }
  CDateTimeBase v = Date(1999, 9, 9, 9);
  v.FromString(static_cast<const char*>(nullptr));
  EXPECT_EQ(Text(v), "00000000000000000");

  CDateTimeBase w = Date(2001, 2, 3, 4);
  w.__SetPartieHeure("0102034");
  EXPECT_EQ(Text(w), "20010203010203400");
}

TEST(datetime_Text, CheckedPartsRefuseAndKeepTheValue) {
  struct {
    const char* text;
    bool ok;
  } dates[] = {
      {"20240229", true},  {"15000229", true}, {"19000229", false}, {"20231301", false},
      {"20230100", false}, {"2023010", false}, {"2023 101", false}, {"00000101", true},
  };
  for (const auto& r : dates) {
    CDateTimeBase v = Date(1999, 9, 9, 9);
    EXPECT_EQ(v.__bSetPartieDateValide(r.text), r.ok) << r.text;
    if (!r.ok) {
      EXPECT_EQ(Text(v), "19990909000000009") << r.text;
    }
  }
  struct {
    const char* text;
    const char* expected;  // the time text, or "refused"
  } times[] = {
      {"", "000000000"},         {"12", "120000000"},
      {"1", "refused"},          {"12345", "refused"},
      {"2400", "refused"},       {"2360", "refused"},
      {"235960", "refused"},     {"1230451", "123045100"},
      {"123045x9", "123045000"}, {"12304512399", "123045123"},
      {"12:30", "refused"},
  };
  for (const auto& r : times) {
    CDateTimeBase v = Date(1999, 9, 9, 9);
    const bool ok = v.__bSetPartieHeureValide(r.text);
    char time[10];
    v.nVersHeure(time, 9);
    EXPECT_EQ(ok ? std::string(time) : std::string("refused"), r.expected) << r.text;
    if (!ok) {
      EXPECT_EQ(v.m_dwHeure, 9u) << r.text;
    }
  }
  CDateTimeBase v = Date(1999, 9, 9, 9);
  EXPECT_TRUE(v.__bSetPartieHeureValide(static_cast<const wchar_t*>(nullptr)));
  EXPECT_EQ(v.m_dwHeure, 0u);
  EXPECT_FALSE(v.__bSetPartieDateValide(static_cast<const wchar_t*>(nullptr)));
}

// Fields beyond their ranges make up to 22 digits; every writer keeps to
// its nominal length (exact-size buffers let the sanitizer see an overrun).
TEST(datetime_Text, WritersKeepToTheirLengthForAnyBytes) {
  CDateTimeBase v;
  v.Set(65535, 255, 255, 1193, 2, 47, 295);
  EXPECT_EQ(v.m_dwHeure, 4294967295u);

  char full[18];
  v.VersChaine(full, 17);
  EXPECT_STREQ(full, "65535255255119302");
  wchar_t wfull[18];
  v.VersChaine(wfull, 100);
  EXPECT_EQ(Narrow(wfull), "65535255255119302");
  char time[10];
  EXPECT_EQ(v.nVersHeure(time, 9), 0);
  EXPECT_STREQ(time, "119302472");
  wchar_t wdate[9];
  EXPECT_EQ(v.nVersDate(wdate, 8), 0);
  EXPECT_EQ(Narrow(wdate), "65535255");
  EXPECT_EQ(CDateTimeBase::nCompare(v, L"65535255255119302"), 0);
  wchar_t* copy = v.pszCreeChaine();
  EXPECT_EQ(Narrow(copy), "65535255255119302");
  STR_Delete(copy);
  EXPECT_EQ(Narrow(v.VersChaine().pszGet()), "65535255255119302");
  EXPECT_EQ(Narrow(v.VersChaineFormate().pszGet()), "65535-255-255 1193:2:47,295");

  CDateTimeBase w = Date(2023, 5, 15, 3723004);  // 01:02:03.004
  char shortText[9];
  w.VersChaine(shortText, 8);
  EXPECT_STREQ(shortText, "20230515");
  char four[5];
  w.nVersHeure(four, 4);
  EXPECT_STREQ(four, "0102");
  CTString s;
  w.VersChaine(&s);
  EXPECT_EQ(Narrow(s.pszGet()), "20230515010203004");
  EXPECT_EQ(Narrow(w.VersChaineFormate().pszGet()), "2023-5-15 1:2:3,4");
}

TEST(datetime_Text, FieldWriterStaysInsideFieldAndEnd) {
  struct {
    int offset, length;
    long value;
    int end;
    const char* expected;  // the 10 characters after the call, NUL shown as '|'
  } rows[] = {
      {2, 3, 7, 8, "XX007XXX|X"},  {2, 3, 12345, 8, "XX345XXX|X"}, {2, 3, -5, 8, "XX-05XXX|X"},
      {2, 3, 7, 5, "XX007|XXXX"},  {6, 4, 7, 8, "XXXXXX00|X"},     {9, 4, 7, 8, "XXXXXXXX|X"},
      {-1, 4, 7, 8, "XXXXXXXX|X"},
  };
  for (const auto& r : rows) {
    char buffer[10];
    std::memset(buffer, 'X', sizeof(buffer));
    CDateTimeBase::SetPropDateTime(buffer, r.offset, r.length, r.value, r.end);
    std::string shown(buffer, sizeof(buffer));
    for (char& c : shown) c = c == 0 ? '|' : c;
    EXPECT_EQ(shown, r.expected) << r.offset << " " << r.length << " " << r.value << " " << r.end;

    wchar_t wide[10];
    for (wchar_t& c : wide) c = L'X';
    CDateTimeBase::SetPropDateTime(wide, r.offset, r.length, r.value, r.end);
    std::string wshown;
    for (wchar_t c : wide) wshown += c == 0 ? '|' : static_cast<char>(c);
    EXPECT_EQ(wshown, r.expected) << "wide";
  }
}

TEST(datetime_Text, SystemTimeFromTexts) {
  SYSTEMTIME st;
  std::memset(&st, 0x55, sizeof(st));
  EXPECT_EQ(CDateTimeBase::nDateVersSysteme(L"20230515", &st), 0);
  EXPECT_EQ(st.wYear, 2023);
  EXPECT_EQ(st.wMonth, 5);
  EXPECT_EQ(st.wDay, 15);
  EXPECT_EQ(st.wHour + st.wMinute + st.wSecond + st.wMilliseconds + st.wDayOfWeek, 0);

  std::memset(&st, 0x55, sizeof(st));
  EXPECT_EQ(CDateTimeBase::nHeureVersSysteme(L"1230455", &st), 0);
  EXPECT_EQ(st.wHour, 12);
  EXPECT_EQ(st.wMinute, 30);
  EXPECT_EQ(st.wSecond, 45);
  EXPECT_EQ(st.wMilliseconds, 500);
  EXPECT_EQ(st.wYear + st.wMonth + st.wDay + st.wDayOfWeek, 0);

  EXPECT_EQ(CDateTimeBase::nHeureVersSysteme(nullptr, &st), 0);
  EXPECT_EQ(st.wHour, 0);
}

TEST(datetime_Duree, ThousandthsTextsRoundTrip) {
  struct {
    std::int64_t ms;
    const char* text;
  } rows[] = {
      {0, "0000000000"},
      {90061001, "1010101001"},
      {-1000, "-0000001000"},
      {-995, "-0000000995"},
      {INT64_MAX, "106751991167071255807"},
      {INT64_MIN, "-106751991167071255808"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(DureeText(r.ms), r.text);
    std::wstring wide;
    for (const char* p = r.text; *p; ++p) wide += static_cast<wchar_t>(*p);
    CDureeBase d{12};
    EXPECT_EQ(d.nDepuisChaine(wide.c_str()), 0) << r.text;
    EXPECT_EQ(d.m_llDuree, r.ms) << r.text;
  }
}

TEST(datetime_Duree, ReadingRulesAndRange) {
  struct {
    const wchar_t* text;
    int rc;
    std::int64_t ms;  // the value after the call (starts at 42)
  } rows[] = {
      {L"+0000001000", 0, 1000},
      {L"\xFF0D"
       L"0000001000",
       0, -1000},
      {L"\xFF0B"
       L"0000001000",
       0, 1000},
      {L"3650000000000", 0, 3650LL * 86400000},
      {L"-000000100", 112, 42},
      {L"", 112, 42},
      {nullptr, 112, 42},
      {L"106751991167071255808", 115, 42},
      {L"-106751991167071255809", 115, 42},
      {L"99999999999999999999000000000", 115, 42},
  };
  for (const auto& r : rows) {
    CDureeBase d{42};
    EXPECT_EQ(d.nDepuisChaine(r.text), r.rc) << Narrow(r.text);
    EXPECT_EQ(d.m_llDuree, r.ms) << Narrow(r.text);
  }
  CDureeBase d{42};
  EXPECT_EQ(d.nDepuisChaineCentieme(L"00000010"), 112);
  EXPECT_EQ(d.nDepuisChaineCentieme(L"-000000150"), 0);
  EXPECT_EQ(d.m_llDuree, -1500);

  EXPECT_EQ(CDureeBase::nCompare(CDureeBase{INT64_MIN}, CDureeBase{0}), -1);
  EXPECT_EQ(CDureeBase::nCompare(CDureeBase{5}, CDureeBase{5}), 0);
  EXPECT_EQ(CDuree().m_llDuree, 0);
  EXPECT_EQ(Text(CDateTime()), "00000000000000000");
}

}  // namespace
