#include "CCompresseurBase.h"

#include "LittleEndian.h"

#include <cstring>

namespace {

bool bIsPacked(std::uint8_t byKind) { return byKind == 2 || byKind == 4; }

}  // namespace

CCompresseurBase::~CCompresseurBase() = default;

std::uint32_t CCompresseurBase::vdwTailleEntree(const void* pBlock) const {
  const auto* p = static_cast<const std::uint8_t*>(pBlock);
  if (p[0] == kbyStored) return kx_le::Get32(p + 1) + kdwStoredHeader;
  if (bIsPacked(p[0])) return kx_le::Get32(p + 1) + kdwPackedHeader;
  return kdwUnknown;
}

std::uint32_t CCompresseurBase::dwTailleDecompression(const void* pBlock) const {
  const auto* p = static_cast<const std::uint8_t*>(pBlock);
  if (p[0] == kbyStored) return kx_le::Get32(p + 1);
  if (bIsPacked(p[0])) return kx_le::Get32(p + 5);
  return kdwUnknown;
}

std::uint32_t CCompresseurBase::dwTailleBufferCompression(std::uint32_t n) const { return n + 7; }

std::uint32_t CCompresseurBase::dwCompression(const void* pInput, std::uint32_t dwLength,
                                              void* pOutput, std::uint32_t dwCapacity) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_pbyEntree = static_cast<const std::uint8_t*>(pInput);
  m_dwTailleEntree = dwLength;
  m_pbySortie = static_cast<std::uint8_t*>(pOutput);
  m_dwTailleSortie = dwCapacity;
  return _vdwCompresse();
}

std::uint32_t CCompresseurBase::dwDecompression(const void* pInput, std::uint32_t dwLength,
                                                void* pOutput, std::uint32_t dwCapacity) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_pbyEntree = static_cast<const std::uint8_t*>(pInput);
  m_dwTailleEntree = dwLength;
  m_pbySortie = static_cast<std::uint8_t*>(pOutput);
  m_dwTailleSortie = dwCapacity;
  return _vdwDecompresse();
}

std::uint32_t CCompresseurBase::_EcritEntete(std::uint8_t byKind, std::uint32_t dwCompressed,
                                             std::uint32_t dwUncompressed) {
  const std::uint32_t dwHeader = byKind == kbyStored ? kdwStoredHeader : kdwPackedHeader;
  if (m_pbySortie == nullptr || m_dwTailleSortie < dwHeader) return 0;
  m_pbySortie[0] = byKind;
  if (byKind == kbyStored) {
    kx_le::Put32(m_pbySortie + 1, dwUncompressed);
  } else {
    kx_le::Put32(m_pbySortie + 1, dwCompressed);
    kx_le::Put32(m_pbySortie + 5, dwUncompressed);
    m_pbySortie[9] = 0;
    m_pbySortie[10] = 0;
  }
  return dwHeader;
}

std::uint32_t CCompresseurBase::_dwCompresseCopie() {
  // In 64 bits: a length near 4 GiB must not wrap into a small need.
  const std::uint64_t qwNeed = std::uint64_t{m_dwTailleEntree} + kdwStoredHeader;
  if (qwNeed > m_dwTailleSortie || (m_dwTailleEntree != 0 && m_pbyEntree == nullptr)) return 0;
  if (_EcritEntete(kbyStored, 0, m_dwTailleEntree) == 0) return 0;
  if (m_dwTailleEntree != 0)
    std::memmove(m_pbySortie + kdwStoredHeader, m_pbyEntree, m_dwTailleEntree);
  return static_cast<std::uint32_t>(qwNeed);
}

std::uint32_t CCompresseurBase::_dwDecompresseCopie() {
  if (m_pbyEntree == nullptr || m_dwTailleEntree < kdwStoredHeader || m_pbyEntree[0] != kbyStored)
    return 0;
  const std::uint32_t dwLength = kx_le::Get32(m_pbyEntree + 1);
  // The declared length is trusted only as far as the input really goes.
  if (dwLength > m_dwTailleEntree - kdwStoredHeader) return 0;
  if (dwLength > m_dwTailleSortie || (dwLength != 0 && m_pbySortie == nullptr)) return 0;
  if (dwLength != 0) std::memmove(m_pbySortie, m_pbyEntree + kdwStoredHeader, dwLength);
  return dwLength;
}
