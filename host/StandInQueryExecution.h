// The stand-in runtime's execution context of one query and its progress
// gauge, for tests.
//
// CStandInQueryExecution answers the write-parse flags and the browse item
// name a test sets (null by default: no item) and counts the calls of each
// answer, so that a test sees what the library asked. CStandInGaugeControl
// is a gauge with an identity only: the library calls nothing on it, a test
// checks that the same pointer reaches the data access.
#pragma once

#include <cstdint>
#include <string>

#include "IGaugeControl.h"
#include "INAQueryExecution.h"

class CStandInQueryExecution final : public INAQueryExecution {
 public:
  CStandInQueryExecution() = default;
  ~CStandInQueryExecution() = default;

  std::uint32_t m_nWriteParseFlags = 0;
  // The browse item: none (null) unless SetParseItem says otherwise.
  bool m_bHasParseItem = false;
  std::wstring m_sParseItem;
  // Calls seen of slots 0 and 1.
  mutable int m_nFlagCalls = 0;
  mutable int m_nItemCalls = 0;

  void SetParseItem(const wchar_t* name) {
    m_bHasParseItem = name != nullptr;
    m_sParseItem = name != nullptr ? name : L"";
  }

  std::uint32_t nGetWriteParseFlags() const override {
    ++m_nFlagCalls;
    return m_nWriteParseFlags;
  }
  const wchar_t* pszGetParseItemName() const override {
    ++m_nItemCalls;
    return m_bHasParseItem ? m_sParseItem.c_str() : nullptr;
  }
};

class CStandInGaugeControl final : public IGaugeControl {
 public:
  CStandInGaugeControl() = default;
  ~CStandInGaugeControl() = default;
};
