// A locale for tests that only answers a chosen current code page (and
// charset 0, LCID 0x40C); compares answer "equal" and maps write nothing.
// CodePageLocaleScope installs one as the runtime's locale for its lifetime.
#pragma once

#include "CInformationDLL.h"
#include "IInfoLocale.h"

class CodePageLocale : public IInfoLocale {
 public:
  explicit CodePageLocale(int codePage) : m_nCodePage(codePage) {}
  void vReserved0() override {}
  void vReserved1() override {}
  int vnGetCurrentCharset() override { return 0; }
  int vnGetCurrentCodePage() override { return m_nCodePage; }
  unsigned int vnGetCurrentLCID() override { return 0x40C; }
  int vnCompareA(unsigned, unsigned, const char*, int, const char*, int) override { return 0; }
  int vnCompareW(unsigned, unsigned, const wchar_t*, int, const wchar_t*, int) override {
    return 0;
  }
  int vnCompareCurrentA(unsigned, const char*, int, const char*, int) override { return 0; }
  int vnCompareCurrentW(unsigned, const wchar_t*, int, const wchar_t*, int) override { return 0; }
  int vnSortKeyA(unsigned, unsigned char*, int, const char*, int) override { return 0; }
  void vReserved10() override {}
  int vnMapA(unsigned, unsigned, char*, int, const char*, int) override { return 0; }
  int vnMapW(unsigned, unsigned, wchar_t*, int, const wchar_t*, int) override { return 0; }
  int vnMapCurrentA(unsigned, char*, int, const char*, int) override { return 0; }
  int vnMapCurrentW(unsigned, wchar_t*, int, const wchar_t*, int) override { return 0; }
  unsigned int vnGetSafeCurrentLCID() override { return 0x40C; }

 private:
  int m_nCodePage;
};

class CodePageLocaleScope {
 public:
  explicit CodePageLocaleScope(int codePage)
      : m_locale(codePage), m_piSaved(CInformationDLL::ms_piInfoLocale) {
    CInformationDLL::ms_piInfoLocale = &m_locale;
  }
  ~CodePageLocaleScope() { CInformationDLL::ms_piInfoLocale = m_piSaved; }
  CodePageLocaleScope(const CodePageLocaleScope&) = delete;
  CodePageLocaleScope& operator=(const CodePageLocaleScope&) = delete;

 private:
  CodePageLocale m_locale;
  IInfoLocale* m_piSaved;
};
