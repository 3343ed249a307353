// Holder of an image stored in a memo item of a record: the names that
// locate the image (image, table, item, and the table and item of its record
// number), the engine's opaque handles, the image's binary data and the
// image object itself, with the callbacks that produce the data on demand.
//
// Reference-counted (CKXUnknown): created with new and released by its
// holders. It owns its five names (STR_* allocations), one share of its
// binary buffer and one reference of its image object; the opaque pointers
// (field, callback, engine context) are only kept.
//
// State flags: bit 0 binary data present (SetBinData), bit 4 an image object
// is attached (SetTNImage; SetLoadType(3) also sets it without an object),
// bit 15 load type 1; bits 8 to 14 are kept as they are.
//
// Virtual operations in slot order after the destructors and dwRelease:
// SetNomImage, SetNomTable, SetNomRubrique, SetChamp, SetCallback,
// SetContexteXQ, SetNumEnr, SetNomTableNumEnr, SetNomRubriqueNumEnr,
// SetBinData, SetCallbackSauveTNBin, SetCallbackGetSourceImage.
#pragma once

#include <cstdint>

#include "CKXUnknown.h"
#include "CTNBIN.h"

class IImageTN;
class CTNMemoImage;

// Fills the holder's binary data (normally through SetBinData), called by
// pclGetBinDataEx with the holder and the argument given to it.
using PFN_SAUVETNBIN = void (*)(CTNMemoImage* pclHolder, void* pArgument);
// Answers the image from which the holder's image comes, called by
// piGetSourceImage with the holder and the argument given to it.
using PFN_GETSOURCEIMAGE = IImageTN* (*)(CTNMemoImage* pclHolder, void* pArgument);

class CTNMemoImage : public CKXUnknown {
 public:
  static constexpr std::uint32_t kFlagBinData = 0x0001;
  static constexpr std::uint32_t kFlagImage = 0x0010;
  static constexpr std::uint32_t kFlagLoadType1 = 0x8000;

  // Every name and pointer null, record number -1, flags 0, no data.
  CTNMemoImage();
  CTNMemoImage(const CTNMemoImage&) = delete;
  CTNMemoImage& operator=(const CTNMemoImage&) = delete;
  // Frees the five names, releases the image object and the binary buffer.
  ~CTNMemoImage() override;

  // Name setters: the name becomes a copy of the text, or null for a null
  // text (or when the copy cannot be allocated); the previous copy is freed
  // after the new one is made, so the holder's own name may be given again.
  virtual void SetNomImage(const wchar_t* pszName);
  virtual void SetNomTable(const wchar_t* pszName);
  virtual void SetNomRubrique(const wchar_t* pszName);
  // Opaque pointers of the engine, kept as given.
  virtual void SetChamp(void* pChamp);
  virtual void SetCallback(void* pCallback);
  virtual void SetContexteXQ(void* pContexte);
  virtual void SetNumEnr(std::int64_t llNumEnr);
  virtual void SetNomTableNumEnr(const wchar_t* pszName);
  virtual void SetNomRubriqueNumEnr(const wchar_t* pszName);
  // Shares the given buffer as the holder's data and sets flag bit 0.
  virtual void SetBinData(const CTNBIN& clData);
  virtual void SetCallbackSauveTNBin(PFN_SAUVETNBIN pfnSauve);
  virtual void SetCallbackGetSourceImage(PFN_GETSOURCEIMAGE pfnGetSource);

  // Attaches `piImage` (null detaches): the new object gets its reference
  // before the old one is released, so giving the attached object again
  // keeps it. Flag bit 4 is set for an object and cleared for null.
  void SetTNImage(IImageTN* piImage);

  // 1: sets bit 15; 0 and 2: clear bit 15; 3: clears bit 15 and sets bit 4
  // (no object is attached by it); other values change nothing.
  void SetLoadType(int nType);

  // The holder's binary buffer (never null; it stays the holder's). When
  // flag bit 0 is clear it is filled first: by the save callback when one is
  // set (with the holder and pArgument), else by the attached image object
  // when its version is above 7. Without either, the buffer is returned as
  // it is.
  CTNBIN* pclGetBinDataEx(void* pArgument);

  // The source-image callback's answer for (holder, pArgument); null when
  // no callback is set.
  IImageTN* piGetSourceImage(void* pArgument);

  // Accessors; names are null when unset.
  const wchar_t* pszGetNomImage() const { return m_pszNomImage; }
  const wchar_t* pszGetNomTable() const { return m_pszNomTable; }
  const wchar_t* pszGetNomRubrique() const { return m_pszNomRubrique; }
  void* pGetChamp() const { return m_pChamp; }
  void* pGetCallback() const { return m_pCallback; }
  void* pGetContexteXQ() const { return m_pContexteXQ; }
  std::int64_t llGetNumEnr() const { return m_llNumEnr; }
  const wchar_t* pszGetNomTableNumEnr() const { return m_pszNomTableNumEnr; }
  const wchar_t* pszGetNomRubriqueNumEnr() const { return m_pszNomRubriqueNumEnr; }
  std::uint32_t dwGetFlags() const { return m_dwFlags; }
  IImageTN* piGetTNImage() const { return m_piImage; }

 private:
  static void __SetName(wchar_t** ppszField, const wchar_t* pszName);

  wchar_t* m_pszNomImage = nullptr;
  wchar_t* m_pszNomTable = nullptr;
  wchar_t* m_pszNomRubrique = nullptr;
  void* m_pChamp = nullptr;
  void* m_pCallback = nullptr;
  void* m_pContexteXQ = nullptr;
  std::int64_t m_llNumEnr = -1;
  wchar_t* m_pszNomTableNumEnr = nullptr;
  wchar_t* m_pszNomRubriqueNumEnr = nullptr;
  std::uint32_t m_dwFlags = 0;
  CTNBIN m_clBinData;
  PFN_SAUVETNBIN m_pfnSauveTNBin = nullptr;
  PFN_GETSOURCEIMAGE m_pfnGetSourceImage = nullptr;
  IImageTN* m_piImage = nullptr;
};
