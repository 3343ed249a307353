// The text dump of a command for error messages: the raw text, the number
// of parameters, then one line per parameter with its value.
#include <cwchar>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"

namespace {

void AddText(CTStringConcatAW& out, const wchar_t* text) {
  if (text != nullptr) out.Add(text, static_cast<long>(std::wcslen(text)));
}

}  // namespace

const wchar_t* CNACommand::pszGetCommandDump() {
  if (m_bDumpBuilt) return m_clDump.pszGetW();
  // The driver's captions, loaded once; without a driver they are loaded
  // for this dump only.
  CTString atCaptions[CNADriver::DUMPCAPTION_COUNT];
  auto Caption = [&](int n) -> const wchar_t* {
    if (m_pclDriver != nullptr) return m_pclDriver->csGetCaption(n).pszGet();
    if (atCaptions[n].nTaille() == 0) CNADriver::s_bLoadCaption(n, &atCaptions[n]);
    return atCaptions[n].pszGet();
  };
  if (m_pclDriver != nullptr) m_pclDriver->InitQueryDumpRessources();

  m_clDump.Tronque(0);
  try {
    AddText(m_clDump, Caption(CNADriver::DUMPCAPTION_QUERYTEXT));
    m_clDump.Add(m_clRaw.pszGetW(), m_clRaw.nGetLengthW());
    m_clDump.Add(L"\r\n", 2);
    AddText(m_clDump, Caption(CNADriver::DUMPCAPTION_PARAMETERCOUNT));
    m_clDump.Add(L"=", 1);
    m_clDump.AddNumber(m_tabParameters.nGetNbElements());
    m_clDump.Add(L"\r\n", 2);
    for (int i = 0; i < m_tabParameters.nGetNbElements(); ++i) {
      CNAParameter* p = m_tabParameters[i];
      AddText(m_clDump, Caption(CNADriver::DUMPCAPTION_PARAMETER));
      m_clDump.Add(L" ", 1);
      m_clDump.AddNumber(i);
      m_clDump.Add(L" :\t", 3);
      if (p->nGetOptions() & CNAParameter::knOptionCursor) {
        AddText(m_clDump, L" = <cursor parameter>\r\n");
        continue;
      }
      CNAConvertVariant* pclValue = p->pclGetValue();
      CAny clValue;
      if (pclValue != nullptr) pclValue->bGetValue(&clValue);
      AddText(m_clDump, Caption(CNADriver::DUMPCAPTION_TYPE));
      m_clDump.AddNumber(static_cast<int>(clValue.nGetTypeCode()));
      m_clDump.Add(L" = <", 4);
      if (clValue.nGetTypeCode() == ANY_BUFFER) {
        std::size_t nSize = 0;
        if (clValue.nGetUtilDataSize(&nSize) != ANY_OK) nSize = 0;
        AddText(m_clDump, L"Buffer, size = ");
        m_clDump.AddNumber(static_cast<long>(nSize));
      } else {
        CAny clText(clValue);
        const wchar_t* pszText = nullptr;
        bool bText = !clText.bIsNull() && clText.nGetTypeCode() != ANY_EMPTY;
        if (bText && clText.nGetTypeCode() != ANY_DSTRW && clText.nGetTypeCode() != ANY_PSTRW)
          bText = clText.__nCastTo(ANY_PSTRW, nullptr, 0) <= 99;
        if (bText) bText = clText.nGetPCWSTR(&pszText) == ANY_OK && pszText != nullptr;
        AddText(m_clDump, bText ? pszText : Caption(CNADriver::DUMPCAPTION_CONVERSIONFAILED));
      }
      m_clDump.Add(L">\r\n", 3);
    }
  } catch (...) {
    // The dump ends with what is written so far.
  }
  m_bDumpBuilt = true;
  return m_clDump.pszGetW();
}
