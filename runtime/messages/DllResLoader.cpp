#include "DllResLoader.h"

#include <climits>
#include <cstring>

#include "CDataCompressor.h"
#include "CResAnsi76.h"
#include "CTString.h"
#include "DllResources.h"
#include "XMalloc.h"

std::atomic<PFN_LOADSTRINGKXM> gpfnLoadStringKXM{nullptr};

namespace {

constexpr int kFirstCapacity = 256;

// Looks the identifier up in the module's own block.
bool bLookup(const _stMyModuleInfo* pstModule, unsigned int nId, STRessourceModule* pstRecord) {
  if (pstModule == nullptr || pstModule->pfnGetRessource == nullptr) return false;
  pstRecord->nId = nId;
  return pstModule->pfnGetRessource(pstRecord);
}

}  // namespace

extern "C" std::int64_t CommandeComposante(unsigned int nCommand, void* pParam) {
  switch (nCommand) {
    case COMMANDE_SET_LOADSTRING:
      gpfnLoadStringKXM = reinterpret_cast<PFN_LOADSTRINGKXM>(pParam);
      return 1;
    case COMMANDE_LOADSTRING: {
      auto* pstRequest = static_cast<STCommandeLoadString*>(pParam);
      if (pstRequest == nullptr || pstRequest->nSize < sizeof(STCommandeLoadString)) return 0;
      const int n = DLLRES_nLoadString(&gstMyModuleInfo76, pstRequest->nId, pstRequest->pszBuffer,
                                       pstRequest->nCapacity);
      pstRequest->nResult = static_cast<std::uint32_t>(n);
      return n;
    }
    case COMMANDE_UTILISATION:
      return DLLRES_nGetUtilisation(
          &gstMyModuleInfo76, static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(pParam)));
    default:
      return 0;
  }
}

int KXM_nLoadString(unsigned int nId, wchar_t* pszBuffer, int nCapacity) {
  const PFN_LOADSTRINGKXM pfnLoader = gpfnLoadStringKXM.load();
  if (pfnLoader == nullptr) return 0;
  return pfnLoader(nId, pszBuffer, nCapacity);
}

bool KXM_bLoadString(unsigned int nId, CTString* pclText) {
  const PFN_LOADSTRINGKXM pfnLoader = gpfnLoadStringKXM.load();
  if (pfnLoader == nullptr || pclText == nullptr) return false;
  wchar_t aszFirst[kFirstCapacity + 1] = {};
  const int nFirst = pfnLoader(nId, aszFirst, kFirstCapacity);
  if (nFirst <= 0) return false;
  if (nFirst <= kFirstCapacity) {
    pclText->Set(aszFirst, static_cast<unsigned long>(nFirst));
    return true;
  }
  const std::size_t nSlots = static_cast<std::size_t>(nFirst) + 1;
  wchar_t* pszSecond = static_cast<wchar_t*>(XMALLOC_pNew_(nSlots * sizeof(wchar_t)));
  if (pszSecond == nullptr) return false;
  std::memset(pszSecond, 0, nSlots * sizeof(wchar_t));
  const int nSecond = pfnLoader(nId, pszSecond, nFirst);
  if (nSecond > 0) {
    const int nTaken = nSecond < nFirst ? nSecond : nFirst;
    pclText->Set(pszSecond, static_cast<unsigned long>(nTaken));
  }
  XMALLOC_Del_(pszSecond);
  return nSecond > 0;
}

int DLLRES_nLoadString(const _stMyModuleInfo* pstModule, unsigned int nId, wchar_t* pszBuffer,
                       std::uint32_t nCapacity) {
  if (pszBuffer == nullptr || nCapacity == 0) return 0;
  const int nCap = nCapacity > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX
                                                                   : static_cast<int>(nCapacity);
  if (const PFN_LOADSTRINGKXM pfnLoader = gpfnLoadStringKXM.load()) {
    const int n = pfnLoader(nId, pszBuffer, nCap);
    if (n > 0) {
      const int nKept = n < nCap ? n : nCap - 1;
      pszBuffer[nKept] = 0;
      return nKept;
    }
  }
  STRessourceModule stRecord;
  if (!bLookup(pstModule, nId, &stRecord)) return 0;
  int nLength = nCap;
  switch (CDataCompressor::s_nDeCompress(pszBuffer, &nLength, &stRecord)) {
    case CDataCompressor::DC_OK:
      return nLength;
    case CDataCompressor::DC_CUT:
      return nCap - 1;
    default:
      return 0;
  }
}

bool DLLRES_bLoadString(const _stMyModuleInfo* pstModule, unsigned int nId, CTString* pclText) {
  if (pclText == nullptr) return false;
  if (gpfnLoadStringKXM.load() != nullptr && KXM_bLoadString(nId, pclText)) return true;
  STRessourceModule stRecord;
  if (!bLookup(pstModule, nId, &stRecord)) return false;
  wchar_t* pszText = CDataCompressor::s_pszDeCompress(&stRecord);
  if (pszText == nullptr) return false;
  pclText->Set(pszText);
  XMALLOC_Del_(pszText);
  return true;
}
