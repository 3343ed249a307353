#include "CDateTimeBase.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "StrFunctions.h"

const std::uint8_t CDateTimeBase::ms_pbyNbJoursMois[12] = {31, 28, 31, 30, 31, 30,
                                                           31, 31, 30, 31, 30, 31};
const std::uint8_t CDateTimeBase::ms_pbyNbJoursMoisBissextile[12] = {31, 29, 31, 30, 31, 30,
                                                                     31, 31, 30, 31, 30, 31};
const wchar_t* CDateTimeBase::ms_pcszValeurInitDate = nullptr;
const wchar_t* CDateTimeBase::ms_pcszValeurInitTime = nullptr;

namespace {

constexpr std::int64_t kMsJour = 86400000;
constexpr std::int64_t kMsHeure = 3600000;
constexpr std::int64_t kMsMinute = 60000;
constexpr std::int64_t kMsSeconde = 1000;

// Julian day number of day number 0 (31 December 1799).
constexpr std::int64_t kDecalageJulien = 2378496;
// Julian day number of 15 October 1582, the first Gregorian day.
constexpr std::int64_t kJulienReforme = 2299161;
// Day numbers of 1 January 0001 and 31 December 9999.
constexpr long kPremierJour = -657072;
constexpr long kDernierJour = 2994988;

// Longest text a date-time of any 8 bytes formats to (22 digits) and more.
constexpr int kTampon = 32;

// (year, month, day) compared as a tuple, for any field values.
int nCompareChamps(long y1, long m1, long d1, long y2, long m2, long d2) {
  if (y1 != y2) return y1 < y2 ? -1 : 1;
  if (m1 != m2) return m1 < m2 ? -1 : 1;
  if (d1 != d2) return d1 < d2 ? -1 : 1;
  return 0;
}

// Julian day number of any fields: Julian calendar before 15 October 1582,
// Gregorian from then on; 5-14 October 1582 count as 15 October.
std::int64_t llJourJulien(long year, long month, long day) {
  if (nCompareChamps(year, month, day, 1582, 10, 5) >= 0 &&
      nCompareChamps(year, month, day, 1582, 10, 14) <= 0) {
    day = 15;
  }
  const std::int64_t a = (14 - static_cast<std::int64_t>(month)) / 12;
  const std::int64_t y = static_cast<std::int64_t>(year) + 4800 - a;
  const std::int64_t m = static_cast<std::int64_t>(month) + 12 * a - 3;
  const std::int64_t base = day + (153 * m + 2) / 5 + 365 * y + y / 4;
  if (nCompareChamps(year, month, day, 1582, 10, 15) < 0) return base - 32083;
  return base - y / 100 + y / 400 - 32045;
}

// The date of a Julian day number (not below 0), in the calendar in force
// that day. Years 0 and 10000 come out as such.
void JourJulienVersChamps(std::int64_t j, long& year, long& month, long& day) {
  std::int64_t b = 0;
  std::int64_t c;
  if (j >= kJulienReforme) {
    const std::int64_t a = j + 32044;
    b = (4 * a + 3) / 146097;
    c = a - 146097 * b / 4;
  } else {
    c = j + 32082;
  }
  const std::int64_t d = (4 * c + 3) / 1461;
  const std::int64_t e = c - 1461 * d / 4;
  const std::int64_t m = (5 * e + 2) / 153;
  day = static_cast<long>(e - (153 * m + 2) / 5 + 1);
  month = static_cast<long>(m + 3 - 12 * (m / 10));
  year = static_cast<long>(100 * b + d - 4800 + m / 10);
}

int nSigne(long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

template <typename T>
bool bChiffre(T c) {
  return c >= T('0') && c <= T('9');
}

// Characters of the text, counting no further than `max`; 0 for null.
template <typename T>
long nLongueurMax(const T* text, long max) {
  if (text == nullptr) return 0;
  long n = 0;
  while (n < max && text[n] != 0) ++n;
  return n;
}

long lStrtol(const char* s) { return std::strtol(s, nullptr, 10); }
long lStrtol(const wchar_t* s) { return std::wcstol(s, nullptr, 10); }

// The number that strtol reads in exactly n characters of text.
template <typename T>
long lLitChamp(const T* text, long n) {
  T court[48];
  if (n < static_cast<long>(sizeof(court) / sizeof(court[0]))) {
    for (long i = 0; i < n; ++i) court[i] = text[i];
    court[n] = 0;
    return lStrtol(court);
  }
  const std::basic_string<T> champ(text, static_cast<std::size_t>(n));
  return lStrtol(champ.c_str());
}

int nBorneInt(long v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

template <typename T>
void CopieAscii(T* dst, const char* src, long n) {
  for (long i = 0; i < n; ++i) dst[i] = static_cast<T>(static_cast<unsigned char>(src[i]));
  dst[n] = 0;
}

unsigned nHeures(std::uint32_t t) { return t / kMsHeure; }
unsigned nMinutes(std::uint32_t t) { return t / kMsMinute % 60; }
unsigned nSecondes(std::uint32_t t) { return t / kMsSeconde % 60; }
unsigned nMillis(std::uint32_t t) { return t % kMsSeconde; }

// The date-time text of any 8 bytes (17 characters for a value within the
// ranges, up to 22 otherwise); returns its length.
int nFormateTexte(const CDateTimeBase& v, char (&out)[kTampon]) {
  return std::snprintf(out, sizeof(out), "%04u%02u%02u%02u%02u%02u%03u", unsigned{v.m_wAnnee},
                       unsigned{v.m_byMois}, unsigned{v.m_byJour}, nHeures(v.m_dwHeure),
                       nMinutes(v.m_dwHeure), nSecondes(v.m_dwHeure), nMillis(v.m_dwHeure));
}

// The whole 17-character text, wide.
void TexteLarge(const CDateTimeBase& v, wchar_t (&out)[18]) {
  char texte[kTampon];
  nFormateTexte(v, texte);
  CopieAscii(out, texte, 17);
}

}  // namespace

// ---- Calendar ------------------------------------------------------------

int CDateTimeBase::__nBissextile(int year) {
  if (year % 4 != 0) return 0;
  if (year < 1583) return 1;
  return (year % 100 != 0 || year % 400 == 0) ? 1 : 0;
}

int CDateTimeBase::s_nGetNbJourMois(int month, int year) {
  if (month < 1 || month > 12) return 0;
  return __nBissextile(year) ? ms_pbyNbJoursMoisBissextile[month - 1]
                             : ms_pbyNbJoursMois[month - 1];
}

bool CDateTimeBase::bDateValide() const {
  return m_wAnnee >= 1 && m_wAnnee <= 9999 && m_byMois >= 1 && m_byMois <= 12 && m_byJour >= 1 &&
         m_byJour <= s_nGetNbJourMois(m_byMois, m_wAnnee);
}

int CDateTimeBase::s_nDateVersEntier(int year, int month, int day) {
  return static_cast<int>(llJourJulien(year, month, day) - kDecalageJulien);
}

int CDateTimeBase::nVersEntier() const { return s_nDateVersEntier(m_wAnnee, m_byMois, m_byJour); }

bool CDateTimeBase::__bDateVersEntier(int* n) const {
  if (!bDateValide()) return false;
  if (n != nullptr) *n = nVersEntier();
  return true;
}

bool CDateTimeBase::__bEntierVersDate(long n) {
  if (n < kPremierJour || n > kDernierJour) return false;
  long year, month, day;
  JourJulienVersChamps(n + kDecalageJulien, year, month, day);
  m_wAnnee = static_cast<std::uint16_t>(year);
  m_byMois = static_cast<std::uint8_t>(month);
  m_byJour = static_cast<std::uint8_t>(day);
  return true;
}

int CDateTimeBase::nVersJourJulien() const {
  return static_cast<int>(llJourJulien(m_wAnnee, m_byMois, m_byJour));
}

int CDateTimeBase::nGetJourDeLaSemaine() const {
  // 1 January 1800 (day 1) was a Wednesday; the remainder is kept
  // non-negative for the days before.
  const std::int64_t r = (static_cast<std::int64_t>(nVersEntier()) + 657071) % 7;
  return static_cast<int>(r < 0 ? r + 7 : r);
}

int CDateTimeBase::nGetJourDansAnnee() const {
  return nVersEntier() - s_nDateVersEntier(m_wAnnee, 1, 1) + 1;
}

void CDateTimeBase::VersISO8601YWD(int& year, int& week, int& weekday) const {
  weekday = (nGetJourDeLaSemaine() + 6) % 7 + 1;
  // The Thursday is taken by day number, not by a shift, so that the first
  // days of year 1 find theirs in year 0.
  const std::int64_t jeudi = static_cast<std::int64_t>(nVersEntier()) + 4 - weekday;
  long y, m, d;
  JourJulienVersChamps(jeudi + kDecalageJulien, y, m, d);
  year = static_cast<int>(y);
  week = static_cast<int>((jeudi - s_nDateVersEntier(year, 1, 1)) / 7 + 1);
}

// ---- Setting and reading fields --------------------------------------------

void CDateTimeBase::Set(int year, int month, int day, int hour, int minute, int second, int ms) {
  m_wAnnee = static_cast<std::uint16_t>(year);
  m_byMois = static_cast<std::uint8_t>(month);
  m_byJour = static_cast<std::uint8_t>(day);
  const std::int64_t t = hour * kMsHeure + minute * kMsMinute + second * kMsSeconde + ms;
  m_dwHeure = static_cast<std::uint32_t>(t);
}

int CDateTimeBase::__nRectifieFinMois() {
  if (m_byJour != 0 && m_byMois != 0 && m_wAnnee != 0) {
    const int longueur = s_nGetNbJourMois(m_byMois, m_wAnnee);
    if (longueur != 0 && m_byJour > longueur) m_byJour = static_cast<std::uint8_t>(longueur);
  }
  return m_byJour;
}

bool CDateTimeBase::bModifieAnnee(int year) {
  if (year < 1 || year > 9999) return false;
  m_wAnnee = static_cast<std::uint16_t>(year);
  __nRectifieFinMois();
  return true;
}

bool CDateTimeBase::bModifieMois(int month) {
  if (month < 1 || month > 12) return false;
  m_byMois = static_cast<std::uint8_t>(month);
  __nRectifieFinMois();
  return true;
}

bool CDateTimeBase::bModifieJour(int day) {
  if (day < 1 || day > 31) return false;
  m_byJour = static_cast<std::uint8_t>(day);
  __nRectifieFinMois();
  return true;
}

bool CDateTimeBase::bModifieHeure(int hour) {
  if (hour < 0 || hour > 23) return false;
  m_dwHeure = static_cast<std::uint32_t>(hour * kMsHeure + m_dwHeure % kMsHeure);
  return true;
}

bool CDateTimeBase::bModifieMinute(int minute) {
  if (minute < 0 || minute > 59) return false;
  const std::int64_t t =
      m_dwHeure / kMsHeure * kMsHeure + minute * kMsMinute + m_dwHeure % kMsMinute;
  m_dwHeure = static_cast<std::uint32_t>(t);
  return true;
}

bool CDateTimeBase::bModifieSeconde(int second) {
  if (second < 0 || second > 59) return false;
  const std::int64_t t =
      m_dwHeure / kMsMinute * kMsMinute + second * kMsSeconde + m_dwHeure % kMsSeconde;
  m_dwHeure = static_cast<std::uint32_t>(t);
  return true;
}

void CDateTimeBase::InitDate() {
  m_byJour = 0;
  m_byMois = 0;
  m_wAnnee = 0;
  m_dwHeure = 0;
}

bool CDateTimeBase::InitDate(const SYSTEMTIME* st) {
  if (st == nullptr) return false;
  bModifieAnnee(st->wYear);
  bModifieMois(st->wMonth);
  bModifieJour(st->wDay);
  bModifieHeure(st->wHour);
  bModifieMinute(st->wMinute);
  bModifieSeconde(st->wSecond);
  if (st->wMilliseconds > 999) return false;
  m_dwHeure = m_dwHeure - m_dwHeure % kMsSeconde + st->wMilliseconds;
  return true;
}

bool CDateTimeBase::InitDateCourante() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return InitDate(&st);
}

bool CDateTimeBase::InitDateCouranteUTC() {
  SYSTEMTIME st;
  GetSystemTime(&st);
  return InitDate(&st);
}

int CDateTimeBase::nVersSysteme(SYSTEMTIME* st) const {
  if (st == nullptr) return 0;
  st->wYear = m_wAnnee;
  st->wMonth = m_byMois;
  st->wDay = m_byJour;
  st->wHour = static_cast<std::uint16_t>(nHeures(m_dwHeure));
  st->wMinute = static_cast<std::uint16_t>(nMinutes(m_dwHeure));
  st->wSecond = static_cast<std::uint16_t>(nSecondes(m_dwHeure));
  st->wMilliseconds = static_cast<std::uint16_t>(nMillis(m_dwHeure));
  return 0;
}

// ---- Comparing ---------------------------------------------------------------

int CDateTimeBase::s_nCompareDateSeule(const CDateTimeBase& a, const CDateTimeBase& b) {
  const std::uint32_t da = a.dwGetDate();
  const std::uint32_t db = b.dwGetDate();
  return da < db ? -1 : (da > db ? 1 : 0);
}

int CDateTimeBase::nCompare(const CDateTimeBase& a, const CDateTimeBase& b) {
  const int r = s_nCompareDateSeule(a, b);
  if (r != 0) return r;
  return a.m_dwHeure < b.m_dwHeure ? -1 : (a.m_dwHeure > b.m_dwHeure ? 1 : 0);
}

int CDateTimeBase::nCompareDate(const wchar_t* a, const wchar_t* b) {
  const std::size_t la = a != nullptr ? std::wcslen(a) : 0;
  const std::size_t lb = b != nullptr ? std::wcslen(b) : 0;
  if (la == 0 && lb == 0) return 0;
  if (la == 0) return -1;
  if (lb == 0) return 1;
  return nSigne(std::wcsncmp(a, b, la < lb ? la : lb));
}

int CDateTimeBase::nCompareHeure(const wchar_t* a, const wchar_t* b) { return nCompareDate(a, b); }

int CDateTimeBase::nCompare(const CDateTimeBase& a, const wchar_t* text) {
  wchar_t texte[18];
  TexteLarge(a, texte);
  return nCompareDate(texte, text);
}

// ---- Arithmetic --------------------------------------------------------------

bool CDateTimeBase::bDecaleJour(long n) {
  if (bDateVide()) return true;
  if (!bDateValide()) return false;
  // Beyond the span of years 1-9999 no shift can land inside it.
  if (n > kDernierJour - kPremierJour || n < kPremierJour - kDernierJour) return false;
  return __bEntierVersDate(nVersEntier() + n);
}

bool CDateTimeBase::bDecaleAnnee(long n) {
  if (m_wAnnee < 1 || m_wAnnee > 9999) return false;
  if (n > 9998 || n < -9998) return false;
  const long year = m_wAnnee + n;
  if (year < 1 || year > 9999) return false;
  m_wAnnee = static_cast<std::uint16_t>(year);
  __nRectifieFinMois();
  return true;
}

bool CDateTimeBase::bDecaleMois(long n) {
  if (m_byMois < 1 || m_byMois > 12) return false;
  long month = m_byMois + n % 12;
  long carry = 0;
  if (month > 12) {
    month -= 12;
    carry = 1;
  } else if (month < 1) {
    month += 12;
    carry = -1;
  }
  CDateTimeBase v = *this;
  v.m_byMois = static_cast<std::uint8_t>(month);
  if (!v.bDecaleAnnee(n / 12 + carry)) return false;
  *this = v;
  return true;
}

bool CDateTimeBase::bDecaleMilli(long ms) {
  std::int64_t days = ms / kMsJour;
  std::int64_t t = static_cast<std::int64_t>(m_dwHeure) + ms % kMsJour;
  if (t < 0) {
    t += kMsJour;
    --days;
  } else if (t > kMsJour - 1) {
    t -= kMsJour;
    ++days;
  }
  CDateTimeBase v = *this;
  v.m_dwHeure = static_cast<std::uint32_t>(t);
  if (days != 0 && !v.bDecaleJour(static_cast<long>(days))) return false;
  *this = v;
  return true;
}

int CDateTimeBase::nCalculeDuree(const CDateTimeBase& a, const CDateTimeBase& b, CDureeBase* d) {
  int na, nb;
  if (!a.__bDateVersEntier(&na) || !b.__bDateVersEntier(&nb)) return 110;
  if (d != nullptr) {
    d->m_llDuree = (static_cast<std::int64_t>(na) - nb) * kMsJour +
                   static_cast<std::int64_t>(a.m_dwHeure) - b.m_dwHeure;
  }
  return 0;
}

bool CDateTimeBase::bCalculeDiffJour(const CDateTimeBase& a, const CDateTimeBase& b, int* days) {
  int na, nb;
  if (!a.__bDateVersEntier(&na) || !b.__bDateVersEntier(&nb)) return false;
  if (days != nullptr) *days = na - nb;
  return true;
}

// ---- Texts ---------------------------------------------------------------------

template <typename T>
void CDateTimeBase::VersChaine(T* buffer, unsigned long size) const {
  if (buffer == nullptr) return;
  char texte[kTampon];
  nFormateTexte(*this, texte);
  CopieAscii(buffer, texte, size < 17 ? static_cast<long>(size) : 17);
}

void CDateTimeBase::VersChaine(CTString* out) const {
  if (out == nullptr) return;
  wchar_t texte[18];
  TexteLarge(*this, texte);
  out->Set(texte);
}

CTString CDateTimeBase::VersChaine() const {
  wchar_t texte[18];
  TexteLarge(*this, texte);
  return CTString(texte);
}

int CDateTimeBase::nVersChaine(CXYString<wchar_t>* out) const {
  if (out == nullptr) return 0;
  wchar_t texte[18];
  TexteLarge(*this, texte);
  return out->nAffecte(texte, 17);
}

wchar_t* CDateTimeBase::pszCreeChaine() const {
  wchar_t texte[18];
  TexteLarge(*this, texte);
  return STR_pszCreate(static_cast<const wchar_t*>(texte));
}

CTString CDateTimeBase::VersChaineFormate() const {
  char texte[64];
  const int n = std::snprintf(texte, sizeof(texte), "%u-%u-%u %u:%u:%u,%u", unsigned{m_wAnnee},
                              unsigned{m_byMois}, unsigned{m_byJour}, nHeures(m_dwHeure),
                              nMinutes(m_dwHeure), nSecondes(m_dwHeure), nMillis(m_dwHeure));
  wchar_t large[64];
  CopieAscii(large, texte, n);
  return CTString(large);
}

template <typename T>
int CDateTimeBase::nVersDate(T* buffer, int n) const {
  if (buffer == nullptr || n < 0) return 0;
  char texte[kTampon];
  std::snprintf(texte, sizeof(texte), "%04u%02u%02u", unsigned{m_wAnnee}, unsigned{m_byMois},
                unsigned{m_byJour});
  CopieAscii(buffer, texte, n < 8 ? n : 8);
  return 0;
}

template <typename T>
int CDateTimeBase::nVersHeure(T* buffer, int n) const {
  if (buffer == nullptr || n < 0) return 0;
  char texte[kTampon];
  std::snprintf(texte, sizeof(texte), "%02u%02u%02u%03u", nHeures(m_dwHeure), nMinutes(m_dwHeure),
                nSecondes(m_dwHeure), nMillis(m_dwHeure));
  CopieAscii(buffer, texte, n < 9 ? n : 9);
  return 0;
}

int CDateTimeBase::nVersBinaire(CTNBIN* out, unsigned int /*nOption*/) const {
  if (out == nullptr) return 0;
  char texte[kTampon];
  nFormateTexte(*this, texte);
  return out->nAssign(texte, 17);
}

namespace {

// The first bytes of a binary buffer (at most 17, never past its length) as
// a terminated text.
void LitBinaire(const CTNBIN* in, char (&texte)[18]) {
  long n = 0;
  if (in != nullptr && in->pGetData() != nullptr) {
    n = in->nGetTailleUtile();
    if (n > 17) n = 17;
    std::memcpy(texte, in->pGetData(), static_cast<std::size_t>(n));
  }
  texte[n] = 0;
}

}  // namespace

void CDateTimeBase::DepuisBinaire(const CTNBIN* in, unsigned int /*nOption*/) {
  char texte[18];
  LitBinaire(in, texte);
  FromString(static_cast<const char*>(texte));
}

int CDateTimeBase::nDepuisBinaireValide(const CTNBIN* in, unsigned int /*nOption*/) {
  char texte[18];
  LitBinaire(in, texte);
  CDateTimeBase v = *this;
  if (!v.__bSetPartieDateValide(static_cast<const char*>(texte))) return 110;
  if (std::strlen(texte) >= 9) {
    if (!v.__bSetPartieHeureValide(static_cast<const char*>(texte + 8))) return 111;
  } else {
    v.m_dwHeure = 0;
  }
  *this = v;
  return 0;
}

template <typename T>
void CDateTimeBase::FromString(const T* text) {
  m_wAnnee = static_cast<std::uint16_t>(nGetPropDateTime(text, 0, 4, false));
  m_byMois = static_cast<std::uint8_t>(nGetPropDateTime(text, 4, 2, false));
  m_byJour = static_cast<std::uint8_t>(nGetPropDateTime(text, 6, 2, false));
  m_dwHeure = 0;
  if (nLongueurMax(text, 9) >= 9) __SetPartieHeure(text + 8);
}

template <typename T>
void CDateTimeBase::__SetPartieHeure(const T* text) {
  const std::int64_t hour = nGetPropDateTime(text, 0, 2, false);
  const std::int64_t minute = nGetPropDateTime(text, 2, 2, false);
  const std::int64_t second = nGetPropDateTime(text, 4, 2, false);
  std::int64_t ms = nGetPropDateTime(text, 6, 3, true);
  if (ms == 0) ms = static_cast<std::int64_t>(nGetPropDateTime(text, 6, 2, true)) * 10;
  if (ms == 0) ms = static_cast<std::int64_t>(nGetPropDateTime(text, 6, 1, true)) * 100;
  m_dwHeure =
      static_cast<std::uint32_t>(hour * kMsHeure + minute * kMsMinute + second * kMsSeconde + ms);
}

template <typename T>
bool CDateTimeBase::__bSetPartieDateValide(const T* text) {
  if (text == nullptr) return false;
  int chiffres[8];
  for (int i = 0; i < 8; ++i) {
    if (!bChiffre(text[i])) return false;  // also stops at the terminator
    chiffres[i] = static_cast<int>(text[i] - T('0'));
  }
  const int year = chiffres[0] * 1000 + chiffres[1] * 100 + chiffres[2] * 10 + chiffres[3];
  const int month = chiffres[4] * 10 + chiffres[5];
  const int day = chiffres[6] * 10 + chiffres[7];
  if (year > 9999 || month < 1 || month > 12 || day < 1 || day > s_nGetNbJourMois(month, year)) {
    return false;
  }
  m_wAnnee = static_cast<std::uint16_t>(year);
  m_byMois = static_cast<std::uint8_t>(month);
  m_byJour = static_cast<std::uint8_t>(day);
  return true;
}

template <typename T>
bool CDateTimeBase::__bSetPartieHeureValide(const T* text) {
  const long longueur = nLongueurMax(text, 10);
  if (longueur == 1 || longueur == 3 || longueur == 5) return false;
  int chiffres[9] = {};
  long n = 0;
  while (n < 9 && n < longueur) {
    if (!bChiffre(text[n])) {
      if (n < 6) return false;
      break;
    }
    chiffres[n] = static_cast<int>(text[n] - T('0'));
    ++n;
  }
  const int hour = chiffres[0] * 10 + chiffres[1];
  const int minute = chiffres[2] * 10 + chiffres[3];
  const int second = chiffres[4] * 10 + chiffres[5];
  int ms = 0;
  if (n == 9) {
    ms = chiffres[6] * 100 + chiffres[7] * 10 + chiffres[8];
  } else if (n == 8) {
    ms = (chiffres[6] * 10 + chiffres[7]) * 10;
  } else if (n == 7) {
    ms = chiffres[6] * 100;
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  m_dwHeure =
      static_cast<std::uint32_t>(hour * kMsHeure + minute * kMsMinute + second * kMsSeconde + ms);
  return true;
}

template <typename T>
int CDateTimeBase::nGetPropDateTime(const T* text, int offset, int length, bool bPartial) {
  if (text == nullptr || text[0] == 0 || offset < 0 || length < 0) return 0;
  const long fin = static_cast<long>(offset) + length;
  const long disponible = nLongueurMax(text, fin);
  if (disponible >= fin) return nBorneInt(lLitChamp(text + offset, length));
  if (!bPartial || disponible <= offset) return 0;
  long v = lLitChamp(text + offset, disponible - offset);
  for (long manque = fin - disponible; manque > 0 && v >= INT_MIN && v <= INT_MAX; --manque) {
    v *= 10;
  }
  return nBorneInt(v);
}

template <typename T>
void CDateTimeBase::SetPropDateTime(T* buffer, int offset, int length, long value, int end) {
  if (buffer == nullptr || end < 0) return;
  if (offset >= 0 && length >= 0) {
    if (static_cast<long>(offset) + length <= end) {
      char chiffres[kTampon];
      const unsigned long magnitude =
          value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
      const long n = std::snprintf(chiffres, sizeof(chiffres), "%lu", magnitude);
      T* champ = buffer + offset;
      for (long i = 0; i < length; ++i) champ[i] = T('0');
      if (value < 0 && n < length) {
        champ[0] = T('-');
      }
      // Only the last `length` digits when the value needs more.
      const long copie = n < length ? n : length;
      for (long i = 0; i < copie; ++i)
        champ[length - copie + i] = static_cast<T>(chiffres[n - copie + i]);
    } else {
      for (long i = offset; i < end; ++i) buffer[i] = T('0');
    }
  }
  buffer[end] = 0;
}

int CDateTimeBase::nDateVersSysteme(const wchar_t* text, SYSTEMTIME* st) {
  if (st == nullptr) return 0;
  *st = SYSTEMTIME{};
  st->wYear = static_cast<std::uint16_t>(nGetPropDateTime(text, 0, 4, false));
  st->wMonth = static_cast<std::uint16_t>(nGetPropDateTime(text, 4, 2, false));
  st->wDay = static_cast<std::uint16_t>(nGetPropDateTime(text, 6, 2, false));
  return 0;
}

int CDateTimeBase::nHeureVersSysteme(const wchar_t* text, SYSTEMTIME* st) {
  if (st == nullptr) return 0;
  *st = SYSTEMTIME{};
  st->wHour = static_cast<std::uint16_t>(nGetPropDateTime(text, 0, 2, false));
  st->wMinute = static_cast<std::uint16_t>(nGetPropDateTime(text, 2, 2, false));
  st->wSecond = static_cast<std::uint16_t>(nGetPropDateTime(text, 4, 2, false));
  st->wMilliseconds = static_cast<std::uint16_t>(nGetPropDateTime(text, 6, 3, true));
  return 0;
}

// Both widths of every text operation.
template void CDateTimeBase::VersChaine<char>(char*, unsigned long) const;
template void CDateTimeBase::VersChaine<wchar_t>(wchar_t*, unsigned long) const;
template int CDateTimeBase::nVersDate<char>(char*, int) const;
template int CDateTimeBase::nVersDate<wchar_t>(wchar_t*, int) const;
template int CDateTimeBase::nVersHeure<char>(char*, int) const;
template int CDateTimeBase::nVersHeure<wchar_t>(wchar_t*, int) const;
template void CDateTimeBase::FromString<char>(const char*);
template void CDateTimeBase::FromString<wchar_t>(const wchar_t*);
template void CDateTimeBase::__SetPartieHeure<char>(const char*);
template void CDateTimeBase::__SetPartieHeure<wchar_t>(const wchar_t*);
template bool CDateTimeBase::__bSetPartieDateValide<char>(const char*);
template bool CDateTimeBase::__bSetPartieDateValide<wchar_t>(const wchar_t*);
template bool CDateTimeBase::__bSetPartieHeureValide<char>(const char*);
template bool CDateTimeBase::__bSetPartieHeureValide<wchar_t>(const wchar_t*);
template int CDateTimeBase::nGetPropDateTime<char>(const char*, int, int, bool);
template int CDateTimeBase::nGetPropDateTime<wchar_t>(const wchar_t*, int, int, bool);
template void CDateTimeBase::SetPropDateTime<char>(char*, int, int, long, int);
template void CDateTimeBase::SetPropDateTime<wchar_t>(wchar_t*, int, int, long, int);
