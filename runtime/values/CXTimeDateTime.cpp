// The operations of CXTime on the runtime's date-time value. They live with
// the date values, not in the system services, because filling a CDateTime
// goes through its checked setters: a program that does not link the date
// values (the installer) does not need them.
#include "CDateTimeBase.h"
#include "CXTime.h"

void CXTime::SetTime(const CDateTime& dt) {
  SetTo0();
  m_stTime.tm_year = static_cast<int>(dt.m_wAnnee) - 1900;
  m_stTime.tm_mon = dt.m_byMois > 0 ? dt.m_byMois - 1 : 0;
  m_stTime.tm_mday = dt.m_byJour > 0 ? dt.m_byJour : 1;
  const std::uint32_t ms = dt.m_dwHeure;
  m_stTime.tm_hour = static_cast<int>(ms / 3600000);
  m_stTime.tm_min = static_cast<int>(ms / 60000 % 60);
  m_stTime.tm_sec = static_cast<int>(ms / 1000 % 60);
  m_nMilliseconds = static_cast<std::int32_t>(ms % 1000);
}

void CXTime::GetTNDateTime(CDateTime* dt) const {
  if (dt == nullptr) return;
  // A field InitDate(SYSTEMTIME*) refuses keeps its former value: start
  // from the empty value so that no part of the old date survives.
  dt->InitDate();
  SYSTEMTIME st;
  bGetAsSystemTime(st);
  dt->InitDate(&st);
}
