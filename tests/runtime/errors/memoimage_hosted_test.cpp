// The binary data of the image memo holder in real shared blocks (the
// stand-in runtime's counting allocator): shared, not copied, filled on
// demand, and given back with the holder.
#include <gtest/gtest.h>

#include <cstring>

#include "CInformationDLL.h"
#include "CTNMemoImage.h"
#include "IImageTN.h"
#include "SharedStringBlock.h"
#include "StandInStrMemAlloc.h"

namespace {

class memoimage_data : public ::testing::Test {
 protected:
  void SetUp() override {
    m_piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
  }
  void TearDown() override {
    EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u) << "a block was not given back";
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
  }
  static bool bHolds(const CTNBIN& clData, const char* pszBytes) {
    const std::size_t n = std::strlen(pszBytes);
    return clData.nGetTailleUtile() == n && std::memcmp(clData.pGetData(), pszBytes, n) == 0;
  }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSaved = nullptr;
};

// Writes "IMG" as its binary form.
class CWritingImage : public IImageTN {
 public:
  unsigned long AddRef() override { return ++m_nRefs; }
  unsigned long Release() override { return --m_nRefs; }
  int nGetVersion() override { return 8; }
  bool bSauveTNBin(CTNBIN* pclOut) override { return pclOut->nAssign("IMG", 3) == 0; }
  unsigned long m_nRefs = 0;
};

int g_nSaveCalls = 0;
void SaveSetsData(CTNMemoImage* pclHolder, void*) {
  ++g_nSaveCalls;
  CTNBIN clData("SAVED", 5);
  pclHolder->SetBinData(clData);
}

TEST_F(memoimage_data, GivenDataIsSharedAndReturnedWithoutCallback) {
  g_nSaveCalls = 0;
  CTNBIN clData("abc", 3);
  {
    CTNMemoImage clHolder;
    clHolder.SetCallbackSauveTNBin(&SaveSetsData);
    clHolder.SetBinData(clData);
    EXPECT_EQ(SharedBlock::nGetRefCount(clData.pGetData()), 2u) << "shared, not copied";
    CTNBIN* pclGot = clHolder.pclGetBinDataEx(nullptr);
    EXPECT_EQ(pclGot->pGetData(), clData.pGetData());
    EXPECT_EQ(g_nSaveCalls, 0);
    // The holder's own buffer given back to it keeps its block.
    clHolder.SetBinData(*pclGot);
    EXPECT_TRUE(bHolds(*clHolder.pclGetBinDataEx(nullptr), "abc"));
  }
  EXPECT_EQ(SharedBlock::nGetRefCount(clData.pGetData()), 1u) << "the holder gave its share back";
}

TEST_F(memoimage_data, DataIsFilledOnDemand) {
  g_nSaveCalls = 0;
  CWritingImage clImage;
  {
    CTNMemoImage clHolder;
    clHolder.SetTNImage(&clImage);
    EXPECT_TRUE(bHolds(*clHolder.pclGetBinDataEx(nullptr), "IMG"));

    clHolder.SetCallbackSauveTNBin(&SaveSetsData);
    EXPECT_TRUE(bHolds(*clHolder.pclGetBinDataEx(nullptr), "SAVED"));
    EXPECT_EQ(g_nSaveCalls, 1);
    // The callback set the data: the next request finds it present.
    clHolder.pclGetBinDataEx(nullptr);
    EXPECT_EQ(g_nSaveCalls, 1);
  }
  EXPECT_EQ(clImage.m_nRefs, 0u);
}

}  // namespace
