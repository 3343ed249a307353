#include "DllResources.h"

#include <dlfcn.h>

#include "CResAnsi76.h"
#include "CTString.h"
#include "FormatMessage.h"
#include "XMalloc.h"

namespace {

bool gbDLLRESInit = false;

constexpr unsigned kFormatFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING;

// Formats one piece of text into *pclOut; false (string unchanged) when it
// gives nothing.
bool bFormatInto(const CTString& clFormat, CTString* pclOut, va_list args) {
  CTString clText;
  va_list copy;
  va_copy(copy, args);
  const unsigned nLength = DLLRES_dwFormatMessage(clFormat.pszGet(), &clText, copy);
  va_end(copy);
  if (nLength == 0) return false;
  pclOut->Transfert(clText);
  return true;
}

}  // namespace

int DLLRES_bInit(void*, int) {
  gbDLLRESInit = true;
  return 1;
}

void DLLRES_Term() { gbDLLRESInit = false; }

bool DLLRES_bIsInit() { return gbDLLRESInit; }

int DLLRES_bUtiliseDLLRes() { return 0; }

extern "C" void* DLLRES_pLoadResourceModule() { return nullptr; }

void* ghGetRessourceHandle() { return nullptr; }

void* DLLRES_pLoadResource(void* hModule, void*, unsigned int, const wchar_t*, std::uint32_t*) {
  if (hModule == nullptr) return nullptr;
  using PFN_LOADRESOURCEMODULE = void* (*)();
  const auto pfn =
      reinterpret_cast<PFN_LOADRESOURCEMODULE>(dlsym(hModule, "DLLRES_pLoadResourceModule"));
  return pfn != nullptr ? pfn() : nullptr;
}

int DLLRES_bForceInitRessource(PFN_COMMANDECOMPOSANTE pfnCommande) {
  if (pfnCommande == nullptr) return 0;
  STCommandeLoadString stRequest{};
  stRequest.nSize = sizeof(stRequest);
  pfnCommande(COMMANDE_LOADSTRING, &stRequest);
  return 1;
}

void DLLRES_SetFichierKXM(const wchar_t*) {}

int DLLRES_nGetUtilisation(const _stMyModuleInfo* pstModule, unsigned int nId) {
  if (pstModule == nullptr || pstModule->pfnGetRessource == nullptr) return -1;
  STRessourceModule stRecord;
  stRecord.nId = nId;
  if (!pstModule->pfnGetRessource(&stRecord)) return -1;
  return static_cast<int>(stRecord.nUsage);
}

unsigned DLLRES_dwFormatMessage(const wchar_t* pszFormat, wchar_t** ppszOut, va_list args) {
  if (ppszOut == nullptr) return 0;
  *ppszOut = nullptr;
  va_list copy;
  va_copy(copy, args);
  const unsigned nLength =
      FormatMessageW(kFormatFlags, pszFormat, 0, 0, reinterpret_cast<wchar_t*>(ppszOut), 0, &copy);
  va_end(copy);
  return nLength;
}

unsigned DLLRES_dwFormatMessage(const wchar_t* pszFormat, CTString* pclOut, va_list args) {
  if (pclOut == nullptr) return 0;
  wchar_t* pszText = nullptr;
  const unsigned nLength = DLLRES_dwFormatMessage(pszFormat, &pszText, args);
  if (pszText != nullptr) {
    pclOut->Set(pszText, nLength);
    XMALLOC_Del_(pszText);
  }
  return nLength;
}

int DLLRES_nFormatMessageList(const _stMyModuleInfo* pstModule, unsigned int nId,
                              wchar_t** ppszOut, va_list args) {
  if (ppszOut == nullptr) return 0;
  *ppszOut = nullptr;
  CTString clFormat;
  if (!DLLRES_bLoadString(pstModule, nId, &clFormat)) return 0;
  return static_cast<int>(DLLRES_dwFormatMessage(clFormat.pszGet(), ppszOut, args));
}

int DLLRES_nFormatMessage(const _stMyModuleInfo* pstModule, unsigned int nId, wchar_t** ppszOut,
                          ...) {
  va_list args;
  va_start(args, ppszOut);
  const int nLength = DLLRES_nFormatMessageList(pstModule, nId, ppszOut, args);
  va_end(args);
  return nLength;
}

bool DLLRES_bFormatMessageList(const _stMyModuleInfo* pstModule, unsigned int nId,
                               CTString* pclOut, va_list args) {
  if (pclOut == nullptr) return false;
  CTString clFormat;
  if (!DLLRES_bLoadString(pstModule, nId, &clFormat)) return false;
  return bFormatInto(clFormat, pclOut, args);
}

bool DLLRES_bFormatMessage(const _stMyModuleInfo* pstModule, unsigned int nId, CTString* pclOut,
                           ...) {
  va_list args;
  va_start(args, pclOut);
  const bool bDone = DLLRES_bFormatMessageList(pstModule, nId, pclOut, args);
  va_end(args);
  return bDone;
}

bool DLLRES_bFormatMessageSingulierPlurielList(const _stMyModuleInfo* pstModule, int nForm,
                                               unsigned int nId, CTString* pclOut, va_list args) {
  if (pclOut == nullptr) return false;
  CTString clText;
  if (!DLLRES_bLoadString(pstModule, nId, &clText)) return false;
  CTString clForm;
  if (!clText.bExtraitChaine(static_cast<long>(nForm), kszSingulierPlurielSep, &clForm)) return false;
  return bFormatInto(clForm, pclOut, args);
}

bool DLLRES_bFormatMessageSingulierPluriel(const _stMyModuleInfo* pstModule, int nForm,
                                           unsigned int nId, CTString* pclOut, ...) {
  va_list args;
  va_start(args, pclOut);
  const bool bDone =
      DLLRES_bFormatMessageSingulierPlurielList(pstModule, nForm, nId, pclOut, args);
  va_end(args);
  return bDone;
}
