// The runtime's objects a driver test passes in: contexts and data-source
// descriptions, as plain objects with the answers a test sets.
//
// FakeContext(n) and FakeSource(n) give process-wide objects (n below 64)
// that live until the program ends, so tests and threads may share them:
// context n answers 0x1000 + 16 n as both identifiers (a test may change
// them with SetNumber and SetDataNumber before other threads use it);
// source n answers the name a test gives it with SetName (null until then)
// and counts the external references the library holds on it.
//
// Needs no stand-in library.
#pragma once

#include <cstdint>

#include "INAContext.h"
#include "TestSource.h"

namespace kxtest {

class TestContext : public INAContext {
 public:
  std::uint32_t nGetVersion() override { return 1; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 1; }
  std::uint32_t nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void Reserved5() override {}
  void Reserved6() override {}
  void Reserved7() override {}
  std::uint64_t dwGetContextID() override { return nNumber; }
  std::uint64_t dwGetDataID() override { return nDataNumber; }

  void SetNumber(std::uint64_t n) { nNumber = n; }
  void SetDataNumber(std::uint64_t n) { nDataNumber = n; }

  std::uint64_t nNumber = 0;
  std::uint64_t nDataNumber = 0;
};

// Process-wide context n and source n (n below 64).
TestContext* FakeContext(unsigned int n);
TestSource* FakeSource(unsigned int n);

}  // namespace kxtest
