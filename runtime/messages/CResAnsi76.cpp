#include "CResAnsi76.h"

#include <cstdlib>
#include <functional>

#include "CDataCompressor.h"

namespace {

std::uint32_t U16At(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

void BuildIndex(CResAnsi76::STRessource& stIndex) {
  const unsigned char* pbyBlock = stIndex.m_pbyBlock;
  const std::size_t nSize = pbyBlock != nullptr ? stIndex.m_nBlockSize : 0;
  std::uint32_t nCount = 0;
  std::size_t nOffset = 0;
  // The offsets are u32 and every record length fits in a u16, so the walk
  // stays well inside size_t.
  while (nCount < stIndex.m_nMaxRecords && nOffset + 2 <= nSize) {
    const std::uint32_t nLength = U16At(pbyBlock + nOffset);
    if (nLength < kResRecordHeader || nOffset + nLength > nSize) break;
    if (kResRecordHeader + U16At(pbyBlock + nOffset + 5) > nLength) break;
    stIndex.m_pnOffsets[nCount++] = static_cast<std::uint32_t>(nOffset);
    nOffset += nLength;
  }
  stIndex.m_nRecords = nCount;
}

void EnsureIndex(CResAnsi76::STRessource& stIndex) {
  std::call_once(stIndex.m_stBuilt, BuildIndex, std::ref(stIndex));
}

}  // namespace

int CResAnsi76::nCompareRes(const void* pKey, const void* pRecordOffset) {
  const STKey* pstKey = static_cast<const STKey*>(pKey);
  const std::uint32_t nOffset = *static_cast<const std::uint32_t*>(pRecordOffset);
  return static_cast<int>(pstKey->nId & 0xFFFF) -
         static_cast<int>(U16At(pstKey->pbyBlock + nOffset + 2));
}

bool CResAnsi76::s_bGetRes(STRessource& stIndex, STRessourceModule* pstRequest) {
  if (pstRequest == nullptr) return false;
  EnsureIndex(stIndex);
  if (stIndex.m_nRecords == 0) return false;
  const STKey stKey{pstRequest->nId, stIndex.m_pbyBlock};
  const void* pFound = std::bsearch(&stKey, stIndex.m_pnOffsets, stIndex.m_nRecords,
                                    sizeof(std::uint32_t), stIndex.m_pfnCompare);
  if (pFound == nullptr) return false;
  const unsigned char* pbyRecord =
      stIndex.m_pbyBlock + *static_cast<const std::uint32_t*>(pFound);
  const unsigned nFlags = pbyRecord[4];
  pstRequest->pbyData = pbyRecord + kResRecordHeader;
  pstRequest->nPackedLength = U16At(pbyRecord + 5);
  pstRequest->nUsage = nFlags & kResFlagUsageMask;
  pstRequest->nEncoding = (nFlags & kResFlagUTF16) != 0 ? CDataCompressor::ENCODING_UTF16
                                                        : CDataCompressor::ENCODING_UTF8;
  return true;
}

std::uint32_t CResAnsi76::s_nGetRecordCount(STRessource& stIndex) {
  EnsureIndex(stIndex);
  return stIndex.m_nRecords;
}
