// kxhost drives the built library through the lifecycle, with the stand-in
// runtime module, as ./run.sh shows it; here without a server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

size_t CountOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t nPos = text.find(what); nPos != std::string::npos; nPos = text.find(what, nPos + 1))
    ++n;
  return n;
}

}  // namespace

TEST(KxHost, DrivesTheLibraryThroughItsLifecycle) {
  int nStatus = -1;
  const std::string out = kxtest::RunCommand(kxtest::HostPath() + " 2>&1", nStatus);
  EXPECT_EQ(nStatus, 0) << out;
  // The library's start comes first, before the runtime's initialise.
  const size_t nStart = out.find("-> bInitLibrary: 1");
  ASSERT_NE(nStart, std::string::npos) << out;
  // Initialise answered 1 after the library asked the runtime for its items
  // in the order it needs them.
  const size_t nInit = out.find("-> initialise (3985): 1");
  ASSERT_NE(nInit, std::string::npos) << out;
  EXPECT_LT(nStart, nInit);
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
  // Then the driver's steps in order; without a server the connection is
  // skipped, and the module end replaces the terminate message.
  nPos = out.find("-> load message 3355", nCalc);
  ASSERT_NE(nPos, std::string::npos) << out;
  const std::vector<std::string> aSteps = {
      "-> bDLLCompatible(7, 32): 1, library version 32",
      "-> bDLLCompatible(28, 32): 1, library version 32",
      "-> piQueryInterface: a driver",
      "-> driver versions (slots 0-3): 18 17 -1 -1",
      "-> bSetVMAndLibShop: 1",
      "-> bSetXQ: 1",
      "-> no server given: bOpenConnection and bCloseConnection skipped",
      "-> nExternalRelease: 0",
      "-> TermLibrary: 1",
      "   runtime received message 3052",
      "kxhost: done"};
  for (const std::string& sStep : aSteps) {
    const size_t nFound = out.find(sStep, nPos);
    ASSERT_NE(nFound, std::string::npos) << sStep << "\n" << out;
    nPos = nFound;
  }
  EXPECT_EQ(out.find("bOpenConnection:"), std::string::npos) << out;
  EXPECT_EQ(out.find("terminate (4875)"), std::string::npos) << out;
  // The runtime hears of the module's end exactly once, after TermLibrary.
  EXPECT_EQ(CountOf(out, "runtime received message 3052"), 1u) << out;
  EXPECT_GT(out.find("runtime received message 3052"), out.find("-> TermLibrary: 1")) << out;
}

TEST(KxHost, RefusesAnUnknownOption) {
  int nStatus = -1;
  const std::string out = kxtest::RunCommand(kxtest::HostPath() + " --colour blue 2>&1", nStatus);
  EXPECT_NE(nStatus, 0) << out;
  EXPECT_NE(out.find("unknown option --colour"), std::string::npos) << out;
  EXPECT_EQ(out.find("bInitLibrary"), std::string::npos) << out;
}
