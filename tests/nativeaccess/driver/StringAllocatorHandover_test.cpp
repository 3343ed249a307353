// After the initialise message the shared strings live in the runtime's
// string allocator, and the library's strings use the runtime's locale.
#include <gtest/gtest.h>

#include "CBaseExecutionDLL.h"
#include "CInformationDLL.h"
#include "CXYString.h"
#include "StandInControl.h"
#include "StrFunctions.h"
#include "TestSupport.h"

TEST(StringAllocatorHandover, SharedStringsComeFromTheRuntimeAfterInitialise) {
  StandInVm vm(kxtest::StandInVmPath());
  kx::STInitialiseRecord st{};
  st.nSize = sizeof(st);
  st.hModule = vm.hModule();
  ASSERT_EQ(Execution(kx::MSG_INITIALISE, &st), 1);
  ASSERT_NE(CInformationModule::ms_piStrMemAlloc, nullptr);
  ASSERT_NE(CInformationDLL::ms_piInfoLocale, nullptr);

  const int nLiveBefore = vm.GetLiveStrBlocks();
  {
    CXYString<wchar_t> sz1;
    ASSERT_EQ(sz1.nAffecte(L"connexion"), 0);
    CXYString<wchar_t> sz2(sz1);  // shares the block
    EXPECT_EQ(vm.GetLiveStrBlocks(), nLiveBefore + 1);
    CXYString<char> sz3;
    ASSERT_EQ(sz3.nAffecte("abc"), 0);
    EXPECT_EQ(vm.GetLiveStrBlocks(), nLiveBefore + 2);
    EXPECT_STREQ(sz2.pszGet(), L"connexion");
  }
  EXPECT_EQ(vm.GetLiveStrBlocks(), nLiveBefore);

  // The runtime's locale answers what the stand-in was told.
  vm.SetLocaleInfo(0, 1250, 0x405);
  EXPECT_EQ(STR_nGetCurrentCodePage(), 1250);
  EXPECT_EQ(STR_nGetCurrentLCID(), 0x405u);

  ASSERT_EQ(Execution(kx::MSG_TERMINATE, nullptr), 1);
  CInformationDLL::ResetDefaults();
}
