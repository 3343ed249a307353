#include "CKXVariant.h"

#include "CTString.h"
#include "DllResources.h"
#include "StrFunctions.h"

wchar_t* CKXVariant::s_pszDumpTNType = nullptr;
wchar_t* CKXVariant::s_pszDumpADOType = nullptr;
wchar_t* CKXVariant::s_pszDumpValue = nullptr;
wchar_t* CKXVariant::s_pszDumpTime = nullptr;
wchar_t* CKXVariant::s_pszDumpDate = nullptr;
wchar_t* CKXVariant::s_pszDumpConvFailed_Text = nullptr;
wchar_t* CKXVariant::s_pszDumpConvFailed_Date = nullptr;
wchar_t* CKXVariant::s_pszDumpConvFailed_Time = nullptr;

namespace {

struct stCaption {
  wchar_t** ppszCaption;
  unsigned int nId;
  const wchar_t* pszDefault;
};

const stCaption kCaptions[] = {
    {&CKXVariant::s_pszDumpTNType, 25675, L"Type Tarnel"},
    {&CKXVariant::s_pszDumpADOType, 25680, L"Type ADO"},
    {&CKXVariant::s_pszDumpValue, 25670, L"Valeur"},
    {&CKXVariant::s_pszDumpTime, 25669, L"Heure"},
    {&CKXVariant::s_pszDumpDate, 25671, L"Date"},
    {&CKXVariant::s_pszDumpConvFailed_Text, 25674,
     L"Echec de la conversion de la valeur en texte."},
    {&CKXVariant::s_pszDumpConvFailed_Date, 25672, L"Echec de la conversion de la valeur en date"},
    {&CKXVariant::s_pszDumpConvFailed_Time, 25673, L"Echec de la conversion de la valeur en heure"},
};

}  // namespace

void CKXVariant::InitQueryDumpRessources() {
  for (const stCaption& caption : kCaptions) {
    CTString clText;
    const bool bLoaded = DLLRES_bLoadString(&gstMyModuleInfo76, caption.nId, &clText) &&
                         clText.nTaille() > 0;
    wchar_t* pszNew = STR_pszCreateW(bLoaded ? clText.pszGet() : caption.pszDefault);
    // A second initialisation must not leak the caption of the first.
    STR_DeleteW(*caption.ppszCaption);
    *caption.ppszCaption = pszNew;
  }
}

void CKXVariant::FreeQueryDumpRessources() {
  for (const stCaption& caption : kCaptions) {
    STR_DeleteW(*caption.ppszCaption);
    *caption.ppszCaption = nullptr;
  }
}
