// Fixture of the tests that need the runtime's conversions and operators:
// the stand-in runtime module loaded, its string allocator installed as the
// process's (the strings its conversions make come from it), both bindings
// made; at the end every string block, decimal and owned text the test
// took has gone back and the bindings are undone, so no pointer into the
// unloaded module stays.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "AnyRuntime.h"
#include "CInformationDLL.h"
#include "IStrMemAlloc.h"
#include "StandInControl.h"
#include "TestSupport.h"

// Forgets both bindings (tests only: the library never unbinds).
inline void UnbindRuntimeForTests() {
  gpfnConvDepExt = nullptr;
  gpfnFinConv = nullptr;
  ghConvVM = nullptr;
  gpiVMFactory = nullptr;
  gpfnCompareEx = nullptr;
  gpfnGetTypeAjouteEx = gpfnGetTypeSoustraitEx = gpfnGetTypeMultiplieEx = nullptr;
  gpfnGetTypeDiviseEx = gpfnGetTypeModuloEx = nullptr;
  gpfnComparaisonEx = gpfnEgaliteEx = gpfnSuperieurEx = gpfnInferieurEx = nullptr;
  gpfnPresqueEgalEx = gpfnSoupleEgalEx = gpfnCommenceParEx = gpfnCommenceParSoupleEx = nullptr;
  gpfnCommenceParTresSoupleEx = gpfnContientEx = gpfnContientSoupleEx = nullptr;
  gpfnContientTresSoupleEx = gpfnTermineParEx = gpfnTermineParSoupleEx = nullptr;
  gpfnTermineParTresSoupleEx = gpfnETLogiqueEx = gpfnOULogiqueEx = nullptr;
  gpfnNONLogiqueEx = nullptr;
  gpfnNegationEx = nullptr;
  gpfnAdditionEx = gpfnSoustractionEx = gpfnMultiplicationEx = gpfnDivisionEx = gpfnModuloEx = nullptr;
  ghCalcVM = nullptr;
}

class BoundRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnbindRuntimeForTests();
    m_vm = std::make_unique<StandInVm>(kxtest::StandInVmPath());
    m_piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = reinterpret_cast<IStrMemAlloc*>(m_vm->GetItem(13));
    m_nLiveBefore = m_vm->GetLiveStrBlocks();
    m_nDecimalsBefore = m_vm->GetLiveDecimals();
    m_nTextsBefore = m_vm->GetLivePointerTexts();
    if (m_bBind) {
      ASSERT_EQ(1, bInitTNConvFromVM(m_vm->hModule(), 2, 2));
      ASSERT_EQ(1, bInitTNCalcFromVM(m_vm->hModule(), 2, 2));
    }
  }
  void TearDown() override {
    // Every value of the test body is gone by now.
    EXPECT_EQ(m_nLiveBefore, m_vm->GetLiveStrBlocks()) << "a string block was not given back";
    EXPECT_EQ(m_nDecimalsBefore, m_vm->GetLiveDecimals()) << "a decimal was not given back";
    EXPECT_EQ(m_nTextsBefore, m_vm->GetLivePointerTexts()) << "a converted text was not given back";
    UnbindRuntimeForTests();
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
    m_vm.reset();
  }

  bool m_bBind = true;
  std::unique_ptr<StandInVm> m_vm;
  IStrMemAlloc* m_piSaved = nullptr;
  int m_nLiveBefore = 0;
  int m_nDecimalsBefore = 0;
  int m_nTextsBefore = 0;
};
