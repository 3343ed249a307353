#include "CXTime.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "CTString.h"

namespace {

constexpr std::uint64_t kUnitsPerSecond = 10000000;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of a text, counting no further than `max` + 1 characters: enough to
// tell a text longer than `max` from one that is not.
template <typename T>
std::size_t BoundedLength(const T* text, std::size_t max) {
  std::size_t n = 0;
  while (n <= max && text[n] != 0) ++n;
  return n;
}

template <typename T>
std::size_t Length(const T* text) {
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// The value of the leading digits of the field of `width` characters at
// `pos` (0 when it starts with a non-digit or lies past the text's `n`
// characters). The length-bound readers read their fields this way.
template <typename T>
int LeadingDigits(const T* text, std::size_t n, std::size_t pos, std::size_t width) {
  int value = 0;
  for (std::size_t i = pos; i < pos + width && i < n && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Digit i of a partial text: missing (past the `n` characters) reads as 0;
// false for a non-digit.
bool PartialDigit(const wchar_t* text, std::size_t n, std::size_t i, int* digit) {
  if (i >= n) {
    *digit = 0;
    return true;
  }
  if (!IsDigit(text[i])) return false;
  *digit = text[i] - L'0';
  return true;
}

struct stHeure {
  int hour;
  int minute;
  int second;
  int ms;
};

struct stDateHeure {
  int year;
  int month;  // 1-12
  int day;
  bool bHasTime;
  stHeure time;
};

// A partial time HH[MM[SS[mmm]]] of `n` characters (the ninth and later are
// not read): missing digits are 0; a non-digit or a field out of range
// refuses.
bool ParseTimeMin(const wchar_t* text, std::size_t n, stHeure* out) {
  if (n > 9) n = 9;
  int d[9];
  for (std::size_t i = 0; i < 9; ++i) {
    if (!PartialDigit(text, n, i, &d[i])) return false;
  }
  out->hour = d[0] * 10 + d[1];
  out->minute = d[2] * 10 + d[3];
  out->second = d[4] * 10 + d[5];
  out->ms = d[6] * 100 + d[7] * 10 + d[8];
  return out->hour <= 23 && out->minute <= 59 && out->second <= 59;
}

// A partial date-time of `n` characters: year from 4 digits, month from 2
// (from 5 characters on), day from 2 (from 7 on), the time from position 8,
// or 9 when position 8 holds a space (from 9 characters on).
bool ParseDateTimeMin(const wchar_t* text, std::size_t n, stDateHeure* out) {
  int d[8];
  for (std::size_t i = 0; i < 8; ++i) {
    if (!PartialDigit(text, n, i, &d[i])) return false;
  }
  out->year = d[0] * 1000 + d[1] * 100 + d[2] * 10 + d[3];
  out->month = d[4] * 10 + d[5];
  if (out->month > 12) return false;
  if (out->month == 0) out->month = 1;
  out->day = d[6] * 10 + d[7];
  if (out->day > CXTime::nGetDayInMonth(out->year, out->month)) return false;
  if (out->day == 0) out->day = 1;
  out->bHasTime = n >= 9;
  out->time = stHeure{0, 0, 0, 0};
  if (out->bHasTime) {
    const std::size_t start = text[8] == L' ' ? 9 : 8;
    if (!ParseTimeMin(text + start, n - start, &out->time)) return false;
  }
  return true;
}

// Highest digit that position i of a digit-only time text may hold, given
// the digits before it.
int MaxTimeDigit(const wchar_t* text, std::size_t i) {
  switch (i) {
    case 0:
      return 2;
    case 1:
      return text[0] == L'2' ? 3 : 9;
    case 2:
    case 4:
      return 5;
    default:
      return 9;
  }
}

// The same for a digit-only date-time text (no space).
int MaxDateTimeDigit(const wchar_t* text, std::size_t i) {
  if (i < 4) return 9;
  if (i == 4) return 1;
  if (i == 5) return text[4] == L'1' ? 2 : 9;
  if (i < 8) {
    const int year = (text[0] - L'0') * 1000 + (text[1] - L'0') * 100 + (text[2] - L'0') * 10 +
                     (text[3] - L'0');
    const int month = (text[4] - L'0') * 10 + (text[5] - L'0');
    const int days = CXTime::nGetDayInMonth(year, month);
    if (i == 6) return days / 10;
    return text[6] - L'0' == days / 10 ? days % 10 : 9;
  }
  return MaxTimeDigit(text + 8, i - 8);
}

// Raises the last digit of the first `*n` characters that is below its
// highest value, dropping the digits after it; false when none is.
template <typename F>
bool IncrementLastDigit(wchar_t* text, std::size_t* n, F maxDigit) {
  for (std::size_t i = *n; i-- > 0;) {
    if (text[i] - L'0' < maxDigit(text, i)) {
      ++text[i];
      text[i + 1] = 0;
      *n = i + 1;
      return true;
    }
  }
  return false;
}

long YearOf(const struct tm& t) { return static_cast<long>(t.tm_year) + 1900; }

bool DatePrintable(const struct tm& t) {
  const long year = YearOf(t);
  return year >= 0 && year <= 9999 && t.tm_mon >= 0 && t.tm_mon <= 11 && t.tm_mday >= 1 &&
         t.tm_mday <= 31;
}

bool TimePrintable(const struct tm& t, int ms) {
  return t.tm_hour >= 0 && t.tm_hour <= 23 && t.tm_min >= 0 && t.tm_min <= 59 && t.tm_sec >= 0 &&
         t.tm_sec <= 60 && ms >= 0 && ms <= 999;
}

// The digit and SQL forms the value writes.
enum class eForme {
  Date,             // YYYYMMDD
  Heure,            // HHMMSSmmm
  HHMMSS,           // HHMMSS
  HHMM,             // HHMM
  DateEspaceHeure,  // YYYYMMDD HHMMSS
  DateHeure,        // YYYYMMDDHHMMSSmmm
  SQLServer,        // YYYYMMDD HH:MM:SS.mmm
  OdbcTimeStamp,    // {ts 'YYYY-MM-DD HH:MM:SS.mmm'}
  OdbcTime,         // {t 'HH:MM:SS.mmm'}
  OdbcDate,         // {d 'YYYY-MM-DD'}
  LisibleSS,        // DD/MM/YYYY HH:MM:SS
  Lisible,          // DD/MM/YYYY HH:MM:SS,mmm
};

// Longest form (the ODBC time stamp) is 30 characters.
constexpr std::size_t kFormeMax = 40;

// Writes the form into out (ASCII); the empty text when a field it prints
// is out of range.
void WriteForme(const struct tm& t, int msField, eForme forme, char (&out)[kFormeMax]) {
  out[0] = 0;
  bool needDate = true;
  bool needTime = true;
  switch (forme) {
    case eForme::Date:
    case eForme::OdbcDate:
      needTime = false;
      break;
    case eForme::Heure:
    case eForme::HHMMSS:
    case eForme::HHMM:
    case eForme::OdbcTime:
      needDate = false;
      break;
    default:
      break;
  }
  if (needDate && !DatePrintable(t)) return;
  if (needTime && !TimePrintable(t, msField)) return;
  const long y = YearOf(t);
  const int mo = t.tm_mon + 1;
  const int d = t.tm_mday;
  const int h = t.tm_hour;
  const int mi = t.tm_min;
  const int s = t.tm_sec;
  const int ms = msField;
  switch (forme) {
    case eForme::Date:
      snprintf(out, kFormeMax, "%04ld%02d%02d", y, mo, d);
      break;
    case eForme::Heure:
      snprintf(out, kFormeMax, "%02d%02d%02d%03d", h, mi, s, ms);
      break;
    case eForme::HHMMSS:
      snprintf(out, kFormeMax, "%02d%02d%02d", h, mi, s);
      break;
    case eForme::HHMM:
      snprintf(out, kFormeMax, "%02d%02d", h, mi);
      break;
    case eForme::DateEspaceHeure:
      snprintf(out, kFormeMax, "%04ld%02d%02d %02d%02d%02d", y, mo, d, h, mi, s);
      break;
    case eForme::DateHeure:
      snprintf(out, kFormeMax, "%04ld%02d%02d%02d%02d%02d%03d", y, mo, d, h, mi, s, ms);
      break;
    case eForme::SQLServer:
      snprintf(out, kFormeMax, "%04ld%02d%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
      break;
    case eForme::OdbcTimeStamp:
      snprintf(out, kFormeMax, "{ts '%04ld-%02d-%02d %02d:%02d:%02d.%03d'}", y, mo, d, h, mi, s,
               ms);
      break;
    case eForme::OdbcTime:
      snprintf(out, kFormeMax, "{t '%02d:%02d:%02d.%03d'}", h, mi, s, ms);
      break;
    case eForme::OdbcDate:
      snprintf(out, kFormeMax, "{d '%04ld-%02d-%02d'}", y, mo, d);
      break;
    case eForme::LisibleSS:
      snprintf(out, kFormeMax, "%02d/%02d/%04ld %02d:%02d:%02d", d, mo, y, h, mi, s);
      break;
    case eForme::Lisible:
      snprintf(out, kFormeMax, "%02d/%02d/%04ld %02d:%02d:%02d,%03d", d, mo, y, h, mi, s, ms);
      break;
  }
}

template <typename T>
void CopyAscii(const char* in, T* out) {
  std::size_t i = 0;
  for (; in[i] != 0; ++i) out[i] = static_cast<T>(static_cast<unsigned char>(in[i]));
  out[i] = 0;
}

void WriteForme(const struct tm& t, int ms, eForme forme, CTString& out) {
  char text[kFormeMax];
  WriteForme(t, ms, forme, text);
  wchar_t wide[kFormeMax];
  CopyAscii(text, wide);
  out.Set(wide);
}

template <typename T>
void WriteForme(const struct tm& t, int ms, eForme forme, T* buffer) {
  if (buffer == nullptr) return;
  char text[kFormeMax];
  WriteForme(t, ms, forme, text);
  CopyAscii(text, buffer);
}

int Clamp(long d) {
  if (d > INT_MAX) return INT_MAX;
  if (d < INT_MIN) return INT_MIN;
  return static_cast<int>(d);
}

int ToInt(long v) { return static_cast<int>(v); }

// mktime and timegm answer -1 both for an error and for the second before
// 1970; errno tells them apart.
bool MkTime(struct tm* t, time_t* out) {
  errno = 0;
  *out = mktime(t);
  return !(*out == static_cast<time_t>(-1) && errno != 0);
}

bool TimeGm(struct tm* t, time_t* out) {
  errno = 0;
  *out = timegm(t);
  return !(*out == static_cast<time_t>(-1) && errno != 0);
}


bool YearFitsSystemTime(const struct tm& t) {
  const long year = YearOf(t);
  return year >= 0 && year <= 0xFFFF;
}

}  // namespace

// ---- Construction and setting ------------------------------------------------

CXTime::CXTime() { SetTo0(); }

CXTime::CXTime(int year, int month, int day, int hour, int minute, int second, int isdst) {
  SetTime(year, month, day, hour, minute, second, isdst);
}

CXTime::CXTime(const SYSTEMTIME& st, int isdst) { SetTime(st, isdst); }

CXTime::CXTime(const SYSTEMTIME* st, int isdst) { SetTime(st, isdst); }

CXTime::CXTime(unsigned short dosDate, unsigned short dosTime, int isdst) {
  SetTime(dosDate, dosTime, isdst);
}

CXTime::CXTime(const struct tm& tm) { SetTime(tm); }

CXTime::CXTime(long t) { SetTime(t); }

CXTime::CXTime(const FILETIME& ft, int isdst) { SetTime(ft, isdst); }

CXTime::~CXTime() = default;

CXTime& CXTime::operator=(long t) {
  SetTime(t);
  return *this;
}

void CXTime::SetTo0() {
  std::memset(&m_stTime, 0, sizeof m_stTime);
  m_stTime.tm_year = -1900;
  m_stTime.tm_mday = 1;
  m_stTime.tm_wday = -1;
  m_stTime.tm_yday = -1;
  m_stTime.tm_isdst = -1;
  m_nMilliseconds = 0;
}

void CXTime::SetTime(int year, int month, int day, int hour, int minute, int second, int isdst) {
  SetTo0();
  m_stTime.tm_year = ToInt(static_cast<long>(year) - 1900);
  m_stTime.tm_mon = month <= 0 ? 0 : month - 1;
  m_stTime.tm_mday = day <= 0 ? 1 : day;
  m_stTime.tm_hour = hour;
  m_stTime.tm_min = minute;
  m_stTime.tm_sec = second;
  m_stTime.tm_isdst = isdst;
}

void CXTime::SetTime(const SYSTEMTIME& st, int isdst) {
  SetTo0();
  m_stTime.tm_year = st.wYear - 1900;
  m_stTime.tm_mon = st.wMonth - 1;
  m_stTime.tm_wday = st.wDayOfWeek;
  m_stTime.tm_mday = st.wDay;
  m_stTime.tm_hour = st.wHour;
  m_stTime.tm_min = st.wMinute;
  m_stTime.tm_sec = st.wSecond;
  m_stTime.tm_isdst = isdst;
  m_nMilliseconds = st.wMilliseconds;
}

void CXTime::SetTime(const SYSTEMTIME* st, int isdst) {
  if (st == nullptr) {
    SetTo0();
    return;
  }
  SetTime(*st, isdst);
}

void CXTime::SetTime(unsigned short dosDate, unsigned short dosTime, int isdst) {
  SetTo0();
  m_stTime.tm_sec = 2 * (dosTime & 0x1F);
  m_stTime.tm_min = (dosTime >> 5) & 0x3F;
  m_stTime.tm_hour = dosTime >> 11;
  m_stTime.tm_mday = dosDate & 0x1F;
  m_stTime.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
  m_stTime.tm_year = (dosDate >> 9) + 80;
  m_stTime.tm_isdst = isdst;
}

void CXTime::SetTime(const struct tm& tm) {
  m_stTime = tm;
  m_nMilliseconds = 0;
}

void CXTime::SetTime(long t) {
  SetTo0();
  if (t == -1) return;
  const time_t value = t;
  struct tm fields;
  if (localtime_r(&value, &fields) != nullptr) m_stTime = fields;
}

void CXTime::SetUTCTime(long t) {
  SetTo0();
  if (t == -1) return;
  const time_t value = t;
  struct tm fields;
  if (gmtime_r(&value, &fields) != nullptr) m_stTime = fields;
}

void CXTime::SetTime(const FILETIME& ft, int isdst) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &st)) {
    SetTo0();
    return;
  }
  SetTime(st, isdst);
}

void CXTime::SetFromUTCTime() {
  SYSTEMTIME st;
  ::GetSystemTime(&st);
  SetTime(st, -1);
}

void CXTime::SetFromLocalTime() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  SetTime(st, -1);
}

// ---- Reading out ----------------------------------------------------------------

bool CXTime::bGetAsSystemTime(SYSTEMTIME& st) const {
  TmToSystemTime(m_stTime, static_cast<unsigned>(m_nMilliseconds), &st);
  return true;
}

void CXTime::GetAsSystemTime(SYSTEMTIME& st, const struct tm& tm) { TmToSystemTime(tm, 0, &st); }

bool CXTime::bGetAsFileTime(FILETIME& ft) const {
  SYSTEMTIME local;
  bGetAsSystemTime(local);
  SYSTEMTIME utc;
  if (!bLocalVersUTC(&local, &utc)) return false;
  FILETIME value;
  if (!SystemTimeToFileTime(&utc, &value)) return false;
  ft = value;
  return true;
}

long CXTime::nGetTime32_t() const {
  struct tm copy = m_stTime;
  return mktime(&copy);
}

long CXTime::nGetTime32_t_UTC() const { return s_nGetTime_t_UTC(m_stTime); }

long CXTime::s_nGetTime_t_UTC(const struct tm& tm) {
  // timegm reads the fields as UTC whatever their daylight-saving flag says;
  // mktime plus an offset would apply the summer shift to them.
  struct tm copy = tm;
  return timegm(&copy);
}

void CXTime::Local2UTC(const struct tm& local, struct tm& utc) {
  struct tm copy = local;
  time_t t;
  if (!MkTime(&copy, &t)) return;
  struct tm out;
  if (gmtime_r(&t, &out) != nullptr) utc = out;
}

void CXTime::UTC2Local(const struct tm& utc, struct tm& local) {
  struct tm copy = utc;
  time_t t;
  if (!TimeGm(&copy, &t)) return;
  struct tm out;
  if (localtime_r(&t, &out) != nullptr) local = out;
}

FILETIME CXTime::UnixTimeToFileTime(long t) {
  return UInt64ToFileTime(static_cast<std::uint64_t>(t) * kUnitsPerSecond +
                          static_cast<std::uint64_t>(FILETIME_UNIX_EPOCH));
}

long CXTime::FileTimeToUnixTime(const FILETIME& ft) {
  const auto units = static_cast<std::int64_t>(FileTimeToUInt64(ft) -
                                               static_cast<std::uint64_t>(FILETIME_UNIX_EPOCH));
  return units / static_cast<std::int64_t>(kUnitsPerSecond);
}

long CXTime::SystemTimeToUnixTime(const SYSTEMTIME& st) {
  struct tm fields = SystemTimeToTm(st);
  time_t t;
  if (!TimeGm(&fields, &t)) return -1;
  return t;
}

SYSTEMTIME CXTime::UnixTimeToSystemTime(long t) {
  SYSTEMTIME st = {};
  const time_t value = t;
  struct tm fields;
  if (gmtime_r(&value, &fields) != nullptr && YearFitsSystemTime(fields)) {
    TmToSystemTime(fields, 0, &st);
  }
  return st;
}

long CXTime::nGetCurrentTime() { return time(nullptr); }

long CXTime::nGetCurrentTime(SYSTEMTIME* st) {
  SYSTEMTIME now;
  ::GetSystemTime(&now);
  if (st != nullptr) *st = now;
  return SystemTimeToUnixTime(now);
}

void CXTime::GetLocalTime(SYSTEMTIME* st) {
  if (st != nullptr) ::GetLocalTime(st);
}

bool CXTime::bInitLocalTime() const {
  SYSTEMTIME st;
  bGetAsSystemTime(st);
  st.wMilliseconds = 0;
  return SetLocalTime(&st);
}

bool CXTime::bSetLocalTime(SYSTEMTIME* st) { return st != nullptr && SetLocalTime(st); }

// ---- Comparison -------------------------------------------------------------------

int CXTime::snCompare(const struct tm* a, const struct tm* b) {
  if (a == b) return 0;
  if (a == nullptr) return -1;
  if (b == nullptr) return 1;
  const long diffs[] = {
      static_cast<long>(a->tm_year) - b->tm_year, static_cast<long>(a->tm_mon) - b->tm_mon,
      static_cast<long>(a->tm_mday) - b->tm_mday, static_cast<long>(a->tm_hour) - b->tm_hour,
      static_cast<long>(a->tm_min) - b->tm_min,   static_cast<long>(a->tm_sec) - b->tm_sec,
  };
  for (long d : diffs) {
    if (d != 0) return Clamp(d);
  }
  return 0;
}

bool CXTime::operator>(const CXTime& other) const {
  const int c = snCompare(&m_stTime, &other.m_stTime);
  if (c != 0) return c > 0;
  return m_nMilliseconds > other.m_nMilliseconds;
}

bool CXTime::operator>=(const CXTime& other) const {
  const int c = snCompare(&m_stTime, &other.m_stTime);
  if (c != 0) return c > 0;
  return m_nMilliseconds >= other.m_nMilliseconds;
}

// ---- Texts written ---------------------------------------------------------------

void CXTime::Format(const wchar_t* format, wchar_t* buffer) const {
  if (buffer == nullptr) return;
  buffer[0] = 0;
  if (format == nullptr) return;
  if (wcsftime(buffer, 256, format, &m_stTime) == 0) buffer[0] = 0;
}

void CXTime::Format(const wchar_t* format, CTString& out) const {
  wchar_t buffer[256];
  Format(format, buffer);
  out.Set(buffer);
}

void CXTime::GetTNTimeAAAAMMJJ_HHMMSS(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::DateEspaceHeure, out);
}

void CXTime::GetTNTimeHHMMSS(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::HHMMSS, out);
}

void CXTime::GetTNTimeHHMM(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::HHMM, out);
}

void CXTime::GetTNDate(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::Date, out);
}

void CXTime::GetTNTimeHHMMSSCCm(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::Heure, out);
}

void CXTime::GetTNTimeAAAAMMJJHHMMSSCCm(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::DateHeure, out);
}

void CXTime::GetTNTime(wchar_t* buffer) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::Heure, buffer);
}

void CXTime::GetTNTime(char* buffer) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::Heure, buffer);
}

void CXTime::GetTNDate(wchar_t* buffer) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::Date, buffer);
}

void CXTime::GetTNDate(char* buffer) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::Date, buffer);
}

void CXTime::FormatToSQLServerTimeStamp(wchar_t* buffer) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::SQLServer, buffer);
}

void CXTime::FormatToOdbcTimeStamp(wchar_t* buffer) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::OdbcTimeStamp, buffer);
}

void CXTime::FormatToOdbcTimeStamp(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::OdbcTimeStamp, out);
}

void CXTime::FormatToOdbcTime(wchar_t* buffer) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::OdbcTime, buffer);
}

void CXTime::FormatToOdbcTime(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::OdbcTime, out);
}

void CXTime::FormatToOdbcDate(wchar_t* buffer) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::OdbcDate, buffer);
}

void CXTime::FormatToOdbcDate(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::OdbcDate, out);
}

void CXTime::GetTNTimeReadableSS(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::LisibleSS, out);
}

void CXTime::GetTNTimeReadable(CTString& out) const {
  WriteForme(m_stTime, m_nMilliseconds, eForme::Lisible, out);
}

// ---- Texts read --------------------------------------------------------------------

namespace {

template <typename T>
bool SetTNDateTime(CXTime& x, const T* text, int isdst) {
  x.SetTo0();
  if (text == nullptr) return false;
  const std::size_t n = Length(text);
  if (n < 16) return false;
  const std::size_t s = text[8] == ' ' ? 1 : 0;
  const int month = LeadingDigits(text, n, 4, 2);
  const int day = LeadingDigits(text, n, 6, 2);
  struct tm& t = x.m_stTime;
  t.tm_year = LeadingDigits(text, n, 0, 4) - 1900;
  t.tm_mon = month > 0 ? month - 1 : 0;
  t.tm_mday = day > 0 ? day : 1;
  t.tm_hour = LeadingDigits(text, n, 8 + s, 2);
  t.tm_min = LeadingDigits(text, n, 10 + s, 2);
  t.tm_sec = LeadingDigits(text, n, 12 + s, 2);
  t.tm_isdst = isdst;
  if (n == 16 + s) {
    x.m_nMilliseconds = LeadingDigits(text, n, 14 + s, 2) * 10;
  } else if (n == 17 + s) {
    x.m_nMilliseconds = LeadingDigits(text, n, 14 + s, 3);
  }
  return true;
}

}  // namespace

bool CXTime::bSetTNDateTime(const wchar_t* text, int isdst) {
  return SetTNDateTime(*this, text, isdst);
}

bool CXTime::bSetTNDateTime(const char* text, int isdst) {
  return SetTNDateTime(*this, text, isdst);
}

bool CXTime::bSetTNDate(const wchar_t* text) {
  SetTo0();
  if (text == nullptr) return false;
  const std::size_t n = BoundedLength(text, 8);
  if (n != 8) return false;
  const int month = LeadingDigits(text, n, 4, 2);
  const int day = LeadingDigits(text, n, 6, 2);
  m_stTime.tm_year = LeadingDigits(text, n, 0, 4) - 1900;
  m_stTime.tm_mon = month > 0 ? month - 1 : 0;
  m_stTime.tm_mday = day > 0 ? day : 1;
  return true;
}

bool CXTime::bSetTNTime(const wchar_t* text) {
  SetTo0();
  if (text == nullptr) return false;
  const std::size_t n = BoundedLength(text, 9);
  if (n < 4) return false;
  m_stTime.tm_hour = LeadingDigits(text, n, 0, 2);
  m_stTime.tm_min = LeadingDigits(text, n, 2, 2);
  if (n >= 6) m_stTime.tm_sec = LeadingDigits(text, n, 4, 2);
  if (n == 8) {
    m_nMilliseconds = LeadingDigits(text, n, 6, 2) * 10;
  } else if (n >= 9) {
    m_nMilliseconds = LeadingDigits(text, n, 6, 3);
  }
  return true;
}

bool CXTime::bSetTNTimeMin(const wchar_t* text, int isdst) {
  const wchar_t* const t = text != nullptr ? text : L"";
  stHeure h;
  const bool ok = ParseTimeMin(t, BoundedLength(t, 9), &h);
  if (!ok) h = stHeure{0, 0, 0, 0};
  if (ok) m_stTime.tm_isdst = isdst;
  m_stTime.tm_hour = h.hour;
  m_stTime.tm_min = h.minute;
  m_stTime.tm_sec = h.second;
  m_nMilliseconds = h.ms;
  return ok;
}

bool CXTime::bSetTNDateTimeMin(const wchar_t* text, int isdst) {
  SetTo0();
  if (text == nullptr || text[0] == 0) return true;
  stDateHeure dh;
  if (!ParseDateTimeMin(text, BoundedLength(text, 18), &dh)) return false;
  m_stTime.tm_year = dh.year - 1900;
  m_stTime.tm_mon = dh.month - 1;
  m_stTime.tm_mday = dh.day;
  m_stTime.tm_hour = dh.time.hour;
  m_stTime.tm_min = dh.time.minute;
  m_stTime.tm_sec = dh.time.second;
  m_stTime.tm_isdst = isdst;
  m_nMilliseconds = dh.time.ms;
  return true;
}

bool CXTime::bSetTNDateTimeMax(const wchar_t* text, int isdst) {
  SetTo0();
  if (text == nullptr || text[0] == 0) return false;
  wchar_t digits[19];
  std::size_t n = 0;
  while (n < 18 && text[n] != 0) {
    digits[n] = text[n];
    ++n;
  }
  digits[n] = 0;
  if (n > 8 && digits[8] == L' ') {
    std::memmove(digits + 8, digits + 9, (n - 8) * sizeof(wchar_t));  // NUL included
    --n;
  }
  if (n > 17) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (!IsDigit(digits[i])) return false;
  }
  stDateHeure dh;
  if (!ParseDateTimeMin(digits, n, &dh)) return false;
  // Month and day 00 designate January and the 1st: raising them must
  // start from 01, or the bound would fall inside the range.
  if (n >= 6 && digits[4] == L'0' && digits[5] == L'0') digits[5] = L'1';
  if (n >= 8 && digits[6] == L'0' && digits[7] == L'0') digits[7] = L'1';
  if (!IncrementLastDigit(digits, &n, MaxDateTimeDigit)) return false;
  return bSetTNDateTimeMin(digits, isdst);
}

bool CXTime::bSetTNTimeMax(const wchar_t* text, int isdst) {
  wchar_t digits[10];
  std::size_t n = text != nullptr ? BoundedLength(text, 9) : 0;
  bool ok = n > 0 && n <= 9;
  for (std::size_t i = 0; ok && i < n; ++i) {
    ok = IsDigit(text[i]);
    digits[i] = text[i];
  }
  if (ok) {
    digits[n] = 0;
    stHeure h;
    ok = ParseTimeMin(digits, n, &h) && IncrementLastDigit(digits, &n, MaxTimeDigit);
  }
  if (!ok) {
    bSetTNTimeMin(L"", m_stTime.tm_isdst);  // 00:00:00.000, the date kept
    return false;
  }
  return bSetTNTimeMin(digits, isdst);
}

// ---- Calendar --------------------------------------------------------------------------

bool CXTime::bBissextile(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int CXTime::nGetDayInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return -1;
  if (month == 2 && bBissextile(year)) return 29;
  return kDays[month - 1];
}

namespace {

// Year and month of a text for the calendar questions: each of the first
// six characters is a digit or reads as 0.
void LooseYearMonth(const wchar_t* text, int* year, int* month) {
  const std::size_t n = BoundedLength(text, 6);
  int d[6];
  for (std::size_t i = 0; i < 6; ++i) d[i] = i < n && IsDigit(text[i]) ? text[i] - L'0' : 0;
  *year = d[0] * 1000 + d[1] * 100 + d[2] * 10 + d[3];
  *month = d[4] * 10 + d[5];
  if (*month == 0) *month = 1;
}

}  // namespace

bool CXTime::bBissextile(const wchar_t* text) {
  if (text == nullptr) return false;
  int year;
  int month;
  LooseYearMonth(text, &year, &month);
  return bBissextile(year);
}

int CXTime::nGetDayInMonth(const wchar_t* text) {
  if (text == nullptr) return -1;
  int year;
  int month;
  LooseYearMonth(text, &year, &month);
  return nGetDayInMonth(year, month);
}

// ---- Free functions ----------------------------------------------------------------------

bool bUTCVersLocal(SYSTEMTIME* utc, SYSTEMTIME* local) {
  if (utc == nullptr || local == nullptr) return false;
  if (utc->wYear == 0 || utc->wMonth == 0) return false;
  FILETIME ft;
  FILETIME localFt;
  SYSTEMTIME out;
  if (!SystemTimeToFileTime(utc, &ft) || !FileTimeToLocalFileTime(&ft, &localFt) ||
      !FileTimeToSystemTime(&localFt, &out)) {
    return false;
  }
  *local = out;
  return true;
}

bool bLocalVersUTC(SYSTEMTIME* local, SYSTEMTIME* utc) {
  if (local == nullptr || utc == nullptr) return false;
  if (local->wYear == 0 || local->wMonth == 0) return false;
  struct tm fields = {};
  fields.tm_year = local->wYear - 1900;
  fields.tm_mon = local->wMonth - 1;
  fields.tm_mday = local->wDay;
  fields.tm_hour = local->wHour;
  fields.tm_min = local->wMinute;
  fields.tm_sec = local->wSecond;
  fields.tm_isdst = -1;
  const time_t t = mktime(&fields);
  if (t == static_cast<time_t>(-1)) return false;
  struct tm out;
  if (gmtime_r(&t, &out) == nullptr || !YearFitsSystemTime(out)) return false;
  const std::uint16_t ms = local->wMilliseconds;
  TmToSystemTime(out, ms, utc);
  return true;
}
