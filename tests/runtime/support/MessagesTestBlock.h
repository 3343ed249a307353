// Message blocks made by a test (packed with the message packer or written
// by hand), each with its own index, behind a module descriptor of their own;
// and a recording stand-in for the runtime's string loader.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CResAnsi76.h"
#include "DllResLoader.h"
#include "MyModuleInfo.h"
#include "tools/MessagePacker.h"

// One block and its index. The bytes lie in a heap block of exactly the
// block's size, so that a read past its end is caught by the sanitizer.
class CTestBlock {
 public:
  explicit CTestBlock(const std::vector<unsigned char>& aBytes, std::uint32_t nMaxRecords = 64)
      : m_pbyBytes(new unsigned char[aBytes.empty() ? 1 : aBytes.size()]),
        m_aOffsets(nMaxRecords == 0 ? 1 : nMaxRecords) {
    std::copy(aBytes.begin(), aBytes.end(), m_pbyBytes.get());
    m_pIndex = std::make_unique<CResAnsi76::STRessource>(m_pbyBytes.get(), aBytes.size(),
                                                          m_aOffsets.data(), nMaxRecords);
  }

  // A block packed from the messages (which must be valid).
  static std::unique_ptr<CTestBlock> Packed(const std::vector<CMessagePacker::STMessage>& aMessages) {
    std::vector<unsigned char> aBlock;
    std::string sError;
    if (!CMessagePacker::s_bBuildBlock(aMessages, aBlock, sError)) return nullptr;
    return std::make_unique<CTestBlock>(aBlock);
  }

  // Makes this block the one behind Module().
  const _stMyModuleInfo* Module() {
    s_pCurrent = this;
    return &s_stModule;
  }

  CResAnsi76::STRessource& Index() { return *m_pIndex; }

  bool bLookup(std::uint32_t nId, STRessourceModule* pst) {
    pst->nId = nId;
    return CResAnsi76::s_bGetRes(*m_pIndex, pst);
  }

 private:
  static bool s_bGetRes(STRessourceModule* pst) {
    return s_pCurrent != nullptr && CResAnsi76::s_bGetRes(*s_pCurrent->m_pIndex, pst);
  }

  std::unique_ptr<unsigned char[]> m_pbyBytes;
  std::vector<std::uint32_t> m_aOffsets;
  std::unique_ptr<CResAnsi76::STRessource> m_pIndex;

  static inline CTestBlock* s_pCurrent = nullptr;
  static inline const _stMyModuleInfo s_stModule = {nullptr, 0, 9999, L"test", L"1.0",
                                                    &CTestBlock::s_bGetRes};
};

// Record bytes in the block layout, with a payload given as it stands.
inline void AppendRawRecord(std::vector<unsigned char>& aBlock, std::uint32_t nId,
                            unsigned nFlags, const std::vector<unsigned char>& aPayload,
                            std::uint32_t nLength = 0, std::uint32_t nPacked = 0xFFFFFFFF) {
  const std::uint32_t nLen = nLength != 0 ? nLength : static_cast<std::uint32_t>(7 + aPayload.size());
  const std::uint32_t nPack = nPacked != 0xFFFFFFFF ? nPacked : static_cast<std::uint32_t>(aPayload.size());
  aBlock.push_back(static_cast<unsigned char>(nLen & 0xFF));
  aBlock.push_back(static_cast<unsigned char>(nLen >> 8));
  aBlock.push_back(static_cast<unsigned char>(nId & 0xFF));
  aBlock.push_back(static_cast<unsigned char>(nId >> 8));
  aBlock.push_back(static_cast<unsigned char>(nFlags));
  aBlock.push_back(static_cast<unsigned char>(nPack & 0xFF));
  aBlock.push_back(static_cast<unsigned char>(nPack >> 8));
  aBlock.insert(aBlock.end(), aPayload.begin(), aPayload.end());
}

// The runtime's string loader as the platform's runtime behaves: copies at
// most `capacity` characters, a NUL only when there is room (never in the
// never-terminated mode), returns the whole length.
struct CTestLoader {
  static inline std::map<unsigned int, std::wstring> s_mapTexts;
  static inline bool s_bNeverTerminate = false;
  static inline int s_nCalls = 0;
  static inline std::vector<int> s_aCapacities;

  static void Reset() {
    s_mapTexts.clear();
    s_bNeverTerminate = false;
    s_nCalls = 0;
    s_aCapacities.clear();
  }

  static int Load(unsigned int nId, wchar_t* pszBuffer, int nCapacity) {
    ++s_nCalls;
    s_aCapacities.push_back(nCapacity);
    const auto it = s_mapTexts.find(nId);
    if (it == s_mapTexts.end()) return 0;
    const int nLength = static_cast<int>(it->second.size());
    const int nCopied = nLength < nCapacity ? nLength : (nCapacity > 0 ? nCapacity : 0);
    if (nCopied > 0) std::wmemcpy(pszBuffer, it->second.data(), static_cast<std::size_t>(nCopied));
    if (nLength < nCapacity && !s_bNeverTerminate) pszBuffer[nLength] = 0;
    return nLength;
  }

  static void Install() { CommandeComposante(COMMANDE_SET_LOADSTRING, reinterpret_cast<void*>(&Load)); }
  static void Uninstall() { CommandeComposante(COMMANDE_SET_LOADSTRING, nullptr); }
};
