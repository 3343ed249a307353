// The stand-in runtime answers the library's locale and string-allocator
// requests with real objects, and a test can steer what the locale reports.
// The library and the stand-in are loaded as the platform's runtime loads
// them: with dlopen, the stand-in's handle given to the initialise message.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "IInfoLocale.h"
#include "IStrMemAlloc.h"
#include "KxExecution.h"
#include "StandInControl.h"
#include "TestSupport.h"

namespace {

template <typename T>
T* AsPointer(std::int64_t n) {
  return reinterpret_cast<T*>(static_cast<std::intptr_t>(n));
}

class StandInRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hLibrary = dlopen(kxtest::LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_hLibrary, nullptr) << dlerror();
    m_pfnExecution = reinterpret_cast<kx::PFN_EXECUTION_DLL>(dlsym(m_hLibrary, "Execution"));
    ASSERT_NE(m_pfnExecution, nullptr);
    m_vm = std::make_unique<StandInVm>(kxtest::StandInVmPath());
    m_vm->Reset();
  }
  // The library ends first: what it still holds goes back to the stand-in.
  void TearDown() override {
    if (m_bInitialised) {
      EXPECT_EQ(m_pfnExecution(kx::MSG_TERMINATE, nullptr), 1);
    }
    if (m_hLibrary != nullptr) dlclose(m_hLibrary);
    m_vm.reset();
  }

  // The answer the stand-in gave to the library's first request for `nItem`;
  // false when the library never asked.
  bool bAnswerTo(int nItem, std::int64_t& nAnswer) const {
    for (const STStandInMessage& st : m_vm->Messages()) {
      if (st.nMessage == kx::MSG_VM_INFORMATION && st.nParam == nItem) {
        nAnswer = st.nAnswer;
        return true;
      }
    }
    return false;
  }

  void Initialise() {
    kx::STInitialiseRecord stRecord{};
    stRecord.nSize = sizeof(stRecord);
    stRecord.hModule = m_vm->hModule();
    stRecord.nUsage1 = 1;
    ASSERT_EQ(m_pfnExecution(kx::MSG_INITIALISE, &stRecord), 1);
    m_bInitialised = true;
  }

  void* m_hLibrary = nullptr;
  bool m_bInitialised = false;
  kx::PFN_EXECUTION_DLL m_pfnExecution = nullptr;
  std::unique_ptr<StandInVm> m_vm;
};

TEST_F(StandInRuntimeTest, InitialiseReceivesTheStandInLocaleAndAllocator) {
  ASSERT_NO_FATAL_FAILURE(Initialise());

  std::int64_t nLocale = 0;
  std::int64_t nAllocator = 0;
  ASSERT_TRUE(bAnswerTo(kx::ITEM_LOCALE, nLocale));
  ASSERT_TRUE(bAnswerTo(kx::ITEM_STRING_ALLOCATOR, nAllocator));
  ASSERT_NE(nLocale, 0);
  ASSERT_NE(nAllocator, 0);
  EXPECT_EQ(nLocale, m_vm->GetItem(kx::ITEM_LOCALE));
  EXPECT_EQ(nAllocator, m_vm->GetItem(kx::ITEM_STRING_ALLOCATOR));
  IInfoLocale* piLocale = AsPointer<IInfoLocale>(nLocale);

  // The locale the library holds is a working one: the built-in behaviour
  // with the reported values the test sets.
  EXPECT_EQ(piLocale->vnGetCurrentCharset(), 0);
  EXPECT_EQ(piLocale->vnGetCurrentCodePage(), 1252);
  EXPECT_EQ(piLocale->vnGetCurrentLCID(), 0x40Cu);
  m_vm->SetLocaleInfo(161, 1253, 0x408);
  EXPECT_EQ(piLocale->vnGetCurrentCharset(), 161);
  EXPECT_EQ(piLocale->vnGetCurrentCodePage(), 1253);
  EXPECT_EQ(piLocale->vnGetCurrentLCID(), 0x408u);
  EXPECT_EQ(piLocale->vnGetSafeCurrentLCID(), 0x408u);
  wchar_t aw[16] = {};
  EXPECT_EQ(piLocale->vnMapCurrentW(3, aw, 15, L"connéxion", -1), 9);
  EXPECT_EQ(std::wstring(aw), L"CONNEXION");
  EXPECT_EQ(piLocale->vnCompareCurrentA(3, "Connexion", -1, "conn\xE9xion", -1), 0);
  // Reset puts the reported values back; the object stays the same.
  m_vm->Reset();
  EXPECT_EQ(m_vm->GetItem(kx::ITEM_LOCALE), nLocale);
  EXPECT_EQ(piLocale->vnGetCurrentCharset(), 0);
  EXPECT_EQ(piLocale->vnGetCurrentCodePage(), 1252);
  EXPECT_EQ(piLocale->vnGetCurrentLCID(), 0x40Cu);

  // The allocator the library holds counts its blocks and calls, and can be
  // made to fail or to answer version 1.
  IStrMemAlloc* piAlloc = AsPointer<IStrMemAlloc>(nAllocator);
  EXPECT_EQ(piAlloc->vnGetVersionIStrMemAlloc(), 2);
  const int nLiveBefore = m_vm->GetLiveStrBlocks();
  const int nCallsBefore = m_vm->GetStrAllocCalls();
  void* pData = nullptr;
  ASSERT_EQ(piAlloc->vnAllocStrMem(&pData, 10), 0);
  ASSERT_NE(pData, nullptr);
  EXPECT_EQ(m_vm->GetLiveStrBlocks(), nLiveBefore + 1);
  EXPECT_EQ(m_vm->GetStrAllocCalls(), nCallsBefore + 1);
  m_vm->FailNextStrAllocs(1, 100);
  void* pFailed = nullptr;
  EXPECT_EQ(piAlloc->vnAllocStrMemEx(&pFailed, 10, 0), 100);
  EXPECT_EQ(m_vm->GetLiveStrBlocks(), nLiveBefore + 1);
  m_vm->SetStrMemAllocVersion(1);
  EXPECT_EQ(piAlloc->vnGetVersionIStrMemAlloc(), 1);
  m_vm->Reset();
  EXPECT_EQ(piAlloc->vnGetVersionIStrMemAlloc(), 2);
  EXPECT_EQ(m_vm->GetStrAllocCalls(), 0);
  EXPECT_EQ(m_vm->GetLiveStrBlocks(), nLiveBefore + 1);  // a live block outlasts Reset
  // A block goes back once its count (12 bytes before the data) is 0.
  const std::uint32_t nZero = 0;
  std::memcpy(static_cast<char*>(pData) - 12, &nZero, sizeof(nZero));
  piAlloc->vReleaseStrMem(pData);
  EXPECT_EQ(m_vm->GetLiveStrBlocks(), nLiveBefore);
}

}  // namespace
