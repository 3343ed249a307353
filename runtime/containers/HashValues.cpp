#include "HashValues.h"

#include <cctype>
#include <cstdint>
#include <cwctype>

unsigned int dwHashValT(const wchar_t* psz) {
  std::uint32_t dwSomme = 0;
  if (psz != nullptr)
    for (; *psz != 0; ++psz) dwSomme += static_cast<std::uint32_t>(*psz);
  return dwSomme;
}

unsigned int dwHashValTi(const wchar_t* psz) {
  std::uint32_t dwSomme = 0;
  if (psz != nullptr)
    for (; *psz != 0; ++psz) dwSomme += static_cast<std::uint32_t>(std::towupper(static_cast<wint_t>(*psz)));
  return dwSomme;
}

unsigned int dwHashValTA(const char* psz) {
  std::uint32_t dwSomme = 0;
  if (psz != nullptr)
    for (; *psz != 0; ++psz) dwSomme += static_cast<std::uint32_t>(static_cast<int>(static_cast<signed char>(*psz)));
  return dwSomme;
}

unsigned int dwHashValTiA(const char* psz) {
  std::uint32_t dwSomme = 0;
  if (psz != nullptr) {
    for (; *psz != 0; ++psz) {
      // toupper is defined for unsigned char values and EOF only: the
      // negative bytes are left as they are.
      int c = static_cast<signed char>(*psz);
      if (c >= 0) c = std::toupper(c);
      dwSomme += static_cast<std::uint32_t>(c);
    }
  }
  return dwSomme;
}
