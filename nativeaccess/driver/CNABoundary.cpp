#include "CNABoundary.h"

#include <cstdint>

#include "CNAError.h"
#include "CTString.h"
#include "CXError.h"

namespace {

// The boundary's location line in the errors it records.
constexpr int knLocationBoundary = 5;
constexpr int knSiteBoundary = 100;
// User error of a function the loaded client library lacks.
constexpr unsigned int knErrFunctionMissing = 37;
// CNAError::SetAnyError's kind for the out-of-memory error.
constexpr int knAnyErrorNoMemory = 100;

void SetFunctionMissing(CNAError* error, const wchar_t* pszName) {
  _CXErrorModule76 clErr(knErrFunctionMissing, pszName != nullptr ? pszName : L"");
  CNAError::g_SetInfoNames(&clErr, nullptr, nullptr);
  const std::int32_t nNativeCode = static_cast<std::int32_t>(knErrFunctionMissing);
  clErr.AddInfo(EIT_NATIVECODE, &nNativeCode);
  CNAError::g_AddDebugInfo(&clErr, knLocationBoundary, knSiteBoundary);
  error->AddError(NA_ERRORTYPE_GENERIC, &clErr, nullptr);
}

// Whatever the work had recorded is dropped: the shortage is what ended
// the call, and it must read as the main error.
void SetNoMemory(CNAError* error) {
  error->Reset();
  error->SetAnyError(knAnyErrorNoMemory, 0, 0, knLocationBoundary, knSiteBoundary, nullptr, nullptr,
                     nullptr);
}

}  // namespace

void NA_ReportBoundaryException(CNAError* error) noexcept {
  if (error == nullptr) return;
  try {
    try {
      throw;
    } catch (const CTString& csThrown) {
      SetFunctionMissing(error, csThrown.pszGet());
    } catch (...) {
      SetNoMemory(error);
    }
  } catch (...) {
    // Recording the error failed in turn: the bare out-of-memory mark
    // (no allocation) still tells the caller why.
    error->pclGetXError()->SetErrorNoMemory();
  }
}

void NA_ResetBoundaryError(CNAError* error) noexcept {
  if (error != nullptr) error->Reset();
}
