// The stand-in runtime's locale interface (information item 12): the
// built-in locale, whose reported charset, code page and language identifier
// a test may change, so that the library's "current locale" paths can be
// driven without the platform's runtime.
//
// Only the three reported values are settable; case, accent, punctuation and
// collation behave exactly as the built-in locale's, for every setting. The
// object belongs to the stand-in module and lives as long as it is loaded.
#pragma once

#include "BuiltinLocale.h"

class CStandInLocale final : public CBuiltinLocale {
 public:
  constexpr CStandInLocale() = default;

  // Afterwards slots 2, 3, 4 and 15 answer these values.
  void SetLocaleInfo(int nCharset, int nCodePage, unsigned int nLCID);

  // Back to the built-in locale's values: charset 0, code page 1252, 0x40C.
  void Reset();
};
