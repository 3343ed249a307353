#include "STManipAUB.h"

#include "SharedStringBlock.h"

namespace {

// Zero bytes enough for an empty 8-bit or wide text.
alignas(4) constexpr unsigned char kEmpty[4] = {0, 0, 0, 0};

bool bKnownType(std::uint16_t type) {
  return type == STManipAUB::kDSTRW || type == STManipAUB::kDSTRA || type == STManipAUB::kBIN;
}

}  // namespace

const char* STManipAUB::pszGetStringA() const {
  return pHandle != nullptr ? static_cast<const char*>(pHandle) : "";
}

const wchar_t* STManipAUB::pszGetStringW() const {
  return pHandle != nullptr ? static_cast<const wchar_t*>(pHandle) : L"";
}

long STManipAUB::nGetLongueur() const {
  if (pHandle == nullptr || !bKnownType(nType)) return 0;
  const std::uint32_t n = SharedBlock::nGetLength(pHandle);
  return static_cast<long>(nType == kDSTRW ? n / sizeof(wchar_t) : n);
}

std::uint32_t STManipAUB::nGetTailleUtile() const {
  return bKnownType(nType) ? SharedBlock::nGetLength(pHandle) : 0;
}

const unsigned char* STManipAUB::pbyGetContenu(std::uint32_t* pnSize) const {
  std::uint32_t nTerminator = 0;
  if (nType == kDSTRA) nTerminator = 1;
  if (nType == kDSTRW) nTerminator = sizeof(wchar_t);
  const unsigned char* p = pbyGetContenuUtile(pnSize);
  if (bKnownType(nType)) *pnSize += nTerminator;
  return p;
}

const unsigned char* STManipAUB::pbyGetContenuUtile(std::uint32_t* pnSize) const {
  if (!bKnownType(nType)) {
    *pnSize = 0;
    return kEmpty;
  }
  *pnSize = SharedBlock::nGetLength(pHandle);
  return pHandle != nullptr ? static_cast<const unsigned char*>(pHandle) : kEmpty;
}
