// The library's two binding exports, found by their plain names in the
// built kx200maria64.so and called with each stand-in runtime module, as
// the runtime does after loading the library: the full module binds both,
// the one without "FinConversion" and "nModuloEx" neither, the one without
// "pQueryProxy" the operators only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

namespace {

using PFN_BIND = int (*)(void*, int, int);

struct stModuleRow {
  const char* pszLabel;
  std::string (*pfnPath)();
  int nConv;
  int nCalc;
};

TEST(tnbindingLibrary, BothExportsAnswerPerRuntimeModule) {
  void* hLibrary = dlopen(kxtest::LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, hLibrary) << dlerror();
  const auto pfnConv = reinterpret_cast<PFN_BIND>(dlsym(hLibrary, "bInitTNConvFromVM"));
  const auto pfnCalc = reinterpret_cast<PFN_BIND>(dlsym(hLibrary, "bInitTNCalcFromVM"));
  ASSERT_NE(nullptr, pfnConv);
  ASSERT_NE(nullptr, pfnCalc);

  const stModuleRow kaRows[] = {
      {"stand-in", kxtest::StandInVmPath, 1, 1},
      {"without FinConversion and nModuloEx", kxtest::StandInVmNoFinPath, 0, 0},
      {"without pQueryProxy", kxtest::StandInVmNoProxyPath, 0, 1},
      {"full again", kxtest::StandInVmPath, 1, 1},
  };
  for (const stModuleRow& r : kaRows) {
    SCOPED_TRACE(r.pszLabel);
    void* hModule = dlopen(r.pfnPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, hModule) << dlerror();
    EXPECT_EQ(r.nConv, pfnConv(hModule, 2, 2));
    EXPECT_EQ(r.nCalc, pfnCalc(hModule, 2, 2));
    // Refused versions, and no module at all.
    EXPECT_EQ(0, pfnConv(hModule, 1, 2));
    EXPECT_EQ(0, pfnCalc(hModule, 2, 3));
    EXPECT_EQ(0, pfnConv(nullptr, 2, 2));
    EXPECT_EQ(0, pfnCalc(nullptr, 2, 2));
    // The modules stay loaded: a binding keeps pointers into them.
  }
  dlclose(hLibrary);
}

}  // namespace
