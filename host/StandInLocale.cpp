#include "StandInLocale.h"

void CStandInLocale::SetLocaleInfo(int nCharset, int nCodePage, unsigned int nLCID) {
  m_nCharset = nCharset;
  m_nCodePage = nCodePage;
  m_nLCID = nLCID;
}

void CStandInLocale::Reset() { *this = CStandInLocale(); }
