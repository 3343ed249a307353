// kxhost drives the built library through the lifecycle, with the stand-in
// runtime module, as ./run.sh shows it.
#include <gtest/gtest.h>

#include "TestSupport.h"

TEST(KxHost, DrivesTheLibraryThroughItsLifecycle) {
  int nStatus = -1;
  const std::string out = kxtest::RunCommand(kxtest::HostPath() + " 2>&1", nStatus);
  EXPECT_EQ(nStatus, 0) << out;
  // Initialise answered 1 after the library asked the runtime for its items
  // in the order it needs them; terminate balanced it.
  const size_t nInit = out.find("-> initialise (3985): 1");
  ASSERT_NE(nInit, std::string::npos) << out;
  size_t nPos = nInit;
  for (int nItem : {9, 10, 12, 13, 15, 7, 1, 5, 2, 3, 4, 8, 14}) {
    char sz[64];
    std::snprintf(sz, sizeof(sz), "library asked item %2d", nItem);
    const size_t nFound = out.find(sz, nPos);
    ASSERT_NE(nFound, std::string::npos) << sz << "\n" << out;
    nPos = nFound;
  }
  // After the locale message the runtime binds its conversions and operators
  // in the library, with the stand-in module; both bindings are reported.
  const size_t nLocale = out.find("-> locale (4878): 1");
  ASSERT_NE(nLocale, std::string::npos) << out;
  const size_t nConv = out.find("-> bInitTNConvFromVM: 1", nLocale);
  ASSERT_NE(nConv, std::string::npos) << out;
  const size_t nCalc = out.find("-> bInitTNCalcFromVM: 1", nConv);
  ASSERT_NE(nCalc, std::string::npos) << out;
  EXPECT_LT(nCalc, out.find("-> language change"));
  EXPECT_NE(out.find("-> terminate (4875): 1", nPos), std::string::npos) << out;
  EXPECT_EQ(out.find("runtime received message 3052"), std::string::npos) << out;
}
