#include "FakeQueryParameters.h"

#include <cwchar>
#include <cwctype>

namespace kxtest {

std::wstring FakeQueryParameters::Key(const wchar_t* name) {
  std::wstring s = name != nullptr ? name : L"";
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return s;
}

int FakeQueryParameters::bGetParameterValue(const wchar_t* name, CAny* out) {
  ++nLookups;
  const auto it = m_mapValues.find(Key(name));
  if (it == m_mapValues.end() || out == nullptr) return 0;
  *out = it->second.clValue;
  return 1;
}

int FakeQueryParameters::nGetParameterDirection(const wchar_t* name) {
  const auto it = m_mapValues.find(Key(name));
  return it == m_mapValues.end() ? 0 : it->second.nDirection;
}

void FakeQueryParameters::Set(const wchar_t* name, const CAny& value, int direction) {
  stEntry& st = m_mapValues[Key(name)];
  st.clValue = value;
  st.nDirection = direction;
}

void FakeQueryParameters::SetText(const wchar_t* name, const wchar_t* text, int direction) {
  CAny clValue;
  clValue.__SetType(ANY_DSTRW, 0);
  clValue.SetValue(text, std::wcslen(text) * sizeof(wchar_t));
  Set(name, clValue, direction);
}

}  // namespace kxtest
