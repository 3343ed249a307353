#include "CXMath.h"

bool CXMath::bEstPremier(std::uint64_t n) {
  if (n == 2) return true;
  if (n % 2 == 0) return false;
  if (n < 9) return true;
  if (n % 3 == 0) return false;
  for (std::uint64_t d = 5; n / d >= d; d += 2)
    if (n % d == 0) return false;
  return true;
}
