#include "CTNMemoImage.h"

#include "IImageTN.h"
#include "StrFunctions.h"

CTNMemoImage::CTNMemoImage() = default;

CTNMemoImage::~CTNMemoImage() {
  STR_DeleteW(m_pszNomImage);
  STR_DeleteW(m_pszNomTable);
  STR_DeleteW(m_pszNomRubrique);
  STR_DeleteW(m_pszNomTableNumEnr);
  STR_DeleteW(m_pszNomRubriqueNumEnr);
  if (m_piImage != nullptr) m_piImage->Release();
  m_clBinData.ReleaseDynStr();
}

void CTNMemoImage::__SetName(wchar_t** ppszField, const wchar_t* pszName) {
  // The copy first: pszName may be the field's own text.
  wchar_t* pszNew = STR_pszCreateW(pszName);
  STR_DeleteW(*ppszField);
  *ppszField = pszNew;
}

void CTNMemoImage::SetNomImage(const wchar_t* pszName) { __SetName(&m_pszNomImage, pszName); }
void CTNMemoImage::SetNomTable(const wchar_t* pszName) { __SetName(&m_pszNomTable, pszName); }
void CTNMemoImage::SetNomRubrique(const wchar_t* pszName) {
  __SetName(&m_pszNomRubrique, pszName);
}
void CTNMemoImage::SetChamp(void* pChamp) { m_pChamp = pChamp; }
void CTNMemoImage::SetCallback(void* pCallback) { m_pCallback = pCallback; }
void CTNMemoImage::SetContexteXQ(void* pContexte) { m_pContexteXQ = pContexte; }
void CTNMemoImage::SetNumEnr(std::int64_t llNumEnr) { m_llNumEnr = llNumEnr; }
void CTNMemoImage::SetNomTableNumEnr(const wchar_t* pszName) {
  __SetName(&m_pszNomTableNumEnr, pszName);
}
void CTNMemoImage::SetNomRubriqueNumEnr(const wchar_t* pszName) {
  __SetName(&m_pszNomRubriqueNumEnr, pszName);
}

void CTNMemoImage::SetBinData(const CTNBIN& clData) {
  m_clBinData = clData;
  m_dwFlags |= kFlagBinData;
}

void CTNMemoImage::SetCallbackSauveTNBin(PFN_SAUVETNBIN pfnSauve) { m_pfnSauveTNBin = pfnSauve; }

void CTNMemoImage::SetCallbackGetSourceImage(PFN_GETSOURCEIMAGE pfnGetSource) {
  m_pfnGetSourceImage = pfnGetSource;
}

void CTNMemoImage::SetTNImage(IImageTN* piImage) {
  // The new reference first: the attached object given again must survive.
  if (piImage != nullptr) piImage->AddRef();
  IImageTN* piOld = m_piImage;
  m_piImage = piImage;
  if (piOld != nullptr) piOld->Release();
  if (piImage != nullptr) {
    m_dwFlags |= kFlagImage;
  } else {
    m_dwFlags &= ~kFlagImage;
  }
}

void CTNMemoImage::SetLoadType(int nType) {
  switch (nType) {
    case 1:
      m_dwFlags |= kFlagLoadType1;
      break;
    case 0:
    case 2:
      m_dwFlags &= ~kFlagLoadType1;
      break;
    case 3:
      m_dwFlags = (m_dwFlags & ~kFlagLoadType1) | kFlagImage;
      break;
    default:
      break;
  }
}

CTNBIN* CTNMemoImage::pclGetBinDataEx(void* pArgument) {
  if ((m_dwFlags & kFlagBinData) == 0) {
    if (m_pfnSauveTNBin != nullptr) {
      m_pfnSauveTNBin(this, pArgument);
    } else if (m_piImage != nullptr) {
      // Bit 4 alone is no proof of an object (SetLoadType(3) sets it), so
      // the pointer decides. The object is held for the call in case it
      // detaches itself from the holder while writing.
      IImageTN* piImage = m_piImage;
      piImage->AddRef();
      if (piImage->nGetVersion() > 7) piImage->bSauveTNBin(&m_clBinData);
      piImage->Release();
    }
  }
  return &m_clBinData;
}

IImageTN* CTNMemoImage::piGetSourceImage(void* pArgument) {
  if (m_pfnGetSourceImage == nullptr) return nullptr;
  return m_pfnGetSourceImage(this, pArgument);
}
