// Fixture of the shared-string tests: a counting stand-in allocator installed
// as the process's string allocator for the test, and the check that every
// block went back to it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "CInformationDLL.h"
#include "SharedStringBlock.h"
#include "StandInStrMemAlloc.h"

class SharedStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
  }
  void TearDown() override {
    // Every object of the test body is gone by now.
    EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u) << "a block was not given back";
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
  }

  static std::uint32_t Count(const void* data) { return SharedBlock::nGetRefCount(data); }
  static void SetFlags(void* data, std::uint32_t flags) {
    SharedBlock::pHeader(data)->dwFlags = flags;
  }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSaved = nullptr;
};
