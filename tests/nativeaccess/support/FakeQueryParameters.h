// FakeQueryParameters: the platform's values for a query's named bind
// variables, as a test sets them: a value and a direction per name (names
// compared without regard to case). Counts the external references the
// library holds.
//
// Needs no stand-in library.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "CAny.h"
#include "INAQueryParametersValue.h"

namespace kxtest {

class FakeQueryParameters : public INAQueryParametersValue {
 public:
  FakeQueryParameters() = default;
  virtual ~FakeQueryParameters() = default;

  std::uint32_t nGetVersion() override { return 1; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 1; }
  std::uint32_t nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override { ++nExternalCount; }
  std::uint32_t nExternalRelease() override { return nExternalCount > 0 ? --nExternalCount : 0; }
  void Reserved7() override {}
  int bPreparedByProgram() override { return bPrepared; }
  int bGetParameterValue(const wchar_t* name, CAny* out) override;
  int nGetParameterDirection(const wchar_t* name) override;

  // Sets the value (a copy) and direction of `name`.
  void Set(const wchar_t* name, const CAny& value, int direction = 1);
  // A wide-text value.
  void SetText(const wchar_t* name, const wchar_t* text, int direction = 1);

  std::uint32_t nExternalCount = 0;
  int bPrepared = 0;
  int nLookups = 0;

 private:
  struct stEntry {
    CAny clValue;
    int nDirection = 1;
  };
  static std::wstring Key(const wchar_t* name);
  std::map<std::wstring, stEntry> m_mapValues;
};

}  // namespace kxtest
