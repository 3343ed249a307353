#include "CXErrorInternal.h"

#include <cstdint>

namespace {

// The word that names this library in the location line of a failing check
// (the module name proper is in the module descriptor).
constexpr wchar_t kszModuleWord[] = L"KXMARIA";

}  // namespace

void AddInfoNames(CXError* pclErr, const wchar_t* pszTable, const wchar_t* pszItem) {
  if (pclErr == nullptr || pszTable == nullptr || pszTable[0] == 0) return;
  pclErr->AddInfo(EIT_LOGICALTABLENAME, pszTable);
  if (pszItem != nullptr && pszItem[0] != 0) pclErr->AddInfo(EIT_ITEMNAME, pszItem);
}

void AddInternalErrorLocation(CXError* pclErr, int nSite1, int nSite2) {
  if (pclErr == nullptr) return;
  CTString clLine;
  clLine.printf(L"IE%s=%u.%u\r\nModule=<%s>\r\nVersion=<%s>", kszModuleWord,
                static_cast<unsigned int>(nSite1), static_cast<unsigned int>(nSite2),
                kszModuleWord, gstMyModuleInfo76.pszModuleVersion);
  pclErr->AddDebugMessageNoFormat(clLine.pszGet());
}

_CXErrorModule76 clInternalErrorList(int nSite1, int nSite2, const wchar_t* pszTable,
                                     const wchar_t* pszItem, unsigned int nCode, va_list args) {
  _CXErrorModule76 clErr;
  clErr.SetUserErrorList(&gstMyModuleInfo76, nCode, args);
  AddInfoNames(&clErr, pszTable, pszItem);
  const std::int32_t nNativeCode = static_cast<std::int32_t>(nCode);
  clErr.AddInfo(EIT_NATIVECODE, &nNativeCode);
  AddInternalErrorLocation(&clErr, nSite1, nSite2);
  return clErr;
}

_CXErrorModule76 clInternalError(int nSite1, int nSite2, const wchar_t* pszTable,
                                 const wchar_t* pszItem, unsigned int nCode, ...) {
  va_list args;
  va_start(args, nCode);
  _CXErrorModule76 clErr = clInternalErrorList(nSite1, nSite2, pszTable, pszItem, nCode, args);
  va_end(args);
  return clErr;
}
