#include "InstallerMessages.h"

#include "CDataCompressor.h"
#include "CResAnsi76.h"
#include "DllResources.h"
#include "FormatMessage.h"
#include "XMalloc.h"

namespace {

// Formats message nId of the installer's module into pszBuffer (capacity
// knRecupStrCapacity), cut and always terminated.
wchar_t* pszRecupStrList(wchar_t* pszBuffer, unsigned int nId, va_list args) {
  if (pszBuffer == nullptr) return nullptr;
  pszBuffer[0] = L'\0';
  wchar_t* pszText = nullptr;
  // Formatted whole, then cut: a bounded formatting of a longer text would
  // leave the buffer without its terminator.
  if (DLLRES_nFormatMessageList(&gstMyModuleInfo76, nId, &pszText, args) > 0 && pszText != nullptr) {
    unsigned n = 0;
    while (n + 1 < knRecupStrCapacity && pszText[n] != L'\0') {
      pszBuffer[n] = pszText[n];
      ++n;
    }
    pszBuffer[n] = L'\0';
  }
  XMALLOC_Del_(pszText);
  return pszBuffer;
}

}  // namespace

bool DLLRES_bLoadString(const _stMyModuleInfo* pstModule, unsigned int nId,
                        CXYString<wchar_t>* pclText) {
  if (pclText == nullptr || pstModule == nullptr || pstModule->pfnGetRessource == nullptr)
    return false;
  STRessourceModule stRecord;
  stRecord.nId = nId;
  if (!pstModule->pfnGetRessource(&stRecord)) return false;
  wchar_t* pszText = CDataCompressor::s_pszDeCompress(&stRecord);
  if (pszText == nullptr) return false;
  const bool bOk = pclText->nAffecte(pszText) == 0;
  XMALLOC_Del_(pszText);
  return bOk;
}

unsigned DLLRES_dwFormatMessage(const wchar_t* pszFormat, CXYString<wchar_t>* pclText,
                                va_list args) {
  if (pclText == nullptr) return 0;
  wchar_t* pszText = nullptr;
  const unsigned nLength = DLLRES_dwFormatMessage(pszFormat, &pszText, args);
  unsigned nResult = 0;
  if (pszText != nullptr && nLength > 0 &&
      pclText->nAffecte(pszText, static_cast<long>(nLength)) == 0)
    nResult = nLength;
  XMALLOC_Del_(pszText);
  return nResult;
}

bool DLLRES_bFormatMessageList(const _stMyModuleInfo* pstModule, unsigned int nId,
                               CXYString<wchar_t>* pclText, va_list args) {
  if (pclText == nullptr) return false;
  CXYString<wchar_t> clFormat;
  if (!DLLRES_bLoadString(pstModule, nId, &clFormat)) return false;
  return DLLRES_dwFormatMessage(clFormat.pszGet(), pclText, args) > 0;
}

bool DLLRES_bFormatMessage(const _stMyModuleInfo* pstModule, unsigned int nId,
                           CXYString<wchar_t>* pclText, ...) {
  va_list args;
  va_start(args, pclText);
  const bool bOk = DLLRES_bFormatMessageList(pstModule, nId, pclText, args);
  va_end(args);
  return bOk;
}

CTString sGetRES(unsigned int nId, ...) {
  CTString clText;
  va_list args;
  va_start(args, nId);
  DLLRES_bFormatMessageList(&gstMyModuleInfo76, nId, &clText, args);
  va_end(args);
  return clText;
}

wchar_t* pszRecupStr(wchar_t* pszBuffer, unsigned int nId, ...) {
  va_list args;
  va_start(args, nId);
  wchar_t* pszResult = pszRecupStrList(pszBuffer, nId, args);
  va_end(args);
  return pszResult;
}

wchar_t* pszRecupStr(void*, wchar_t* pszBuffer, unsigned int nId, ...) {
  va_list args;
  va_start(args, nId);
  wchar_t* pszResult = pszRecupStrList(pszBuffer, nId, args);
  va_end(args);
  return pszResult;
}
