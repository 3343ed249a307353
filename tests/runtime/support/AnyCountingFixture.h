// Fixture of the typed-value tests that own things: the counting stand-in
// string allocator installed as the process's string allocator, and the
// stand-in's decimal factory as the runtime's factory, for the time of one
// test. TearDown checks that every shared block went back and that no
// decimal, counted object or runtime object made during the test is left
// alive, then puts the former allocator and factory back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "AnyRuntime.h"
#include "CInformationDLL.h"
#include "SharedStringBlock.h"
#include "StandInStrMemAlloc.h"
#include "StandInValues.h"

class AnyCountingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_piSavedAlloc = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
    m_piSavedFactory = gpiVMFactory;
    gpiVMFactory = StandIn_pGetDecimalFactory();
    m_nDecimals = StandIn_nGetLiveDecimals();
    m_nCounted = CStandInCounted::s_nGetLive();
    m_nObjects = CStandInObject::s_nGetLive();
  }
  void TearDown() override {
    // Every value of the test body is gone by now.
    EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u) << "a shared block was not given back";
    EXPECT_EQ(StandIn_nGetLiveDecimals(), m_nDecimals) << "a decimal was not given back";
    EXPECT_EQ(CStandInCounted::s_nGetLive(), m_nCounted) << "a counted object is left";
    EXPECT_EQ(CStandInObject::s_nGetLive(), m_nObjects) << "a runtime object is left";
    gpiVMFactory = m_piSavedFactory;
    CInformationModule::ms_piStrMemAlloc = m_piSavedAlloc;
  }

  // Objects made by the test that are alive now.
  int nNewDecimals() const { return StandIn_nGetLiveDecimals() - m_nDecimals; }
  int nNewCounted() const { return CStandInCounted::s_nGetLive() - m_nCounted; }
  int nNewObjects() const { return CStandInObject::s_nGetLive() - m_nObjects; }

  static std::uint32_t Count(const void* data) { return SharedBlock::nGetRefCount(data); }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSavedAlloc = nullptr;
  IVMFactory* m_piSavedFactory = nullptr;
  int m_nDecimals = 0;
  int m_nCounted = 0;
  int m_nObjects = 0;
};
