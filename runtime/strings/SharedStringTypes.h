// Records exchanged with the typed values and the runtime's conversions.
//
// STTabAny describes an array of typed values; it does not own the array (the
// value that receives it takes ownership where its operation says so).
// STOCAW is the runtime's record of conversion options: only its first field
// is the library's to read or write; the fields after it belong to the
// runtime, so the library never copies one by value and never builds one for
// the runtime to read beyond the code page.
#pragma once

#include <cstdint>

class CAny;

struct STTabAny {
  CAny* pclFirst;         // first element, null for none
  std::uint32_t nCount;   // number of elements
};

struct STOCAW {
  std::uint32_t nCodePage;  // code page of the 8-bit side of a conversion
  // ... further fields owned by the runtime.
};
