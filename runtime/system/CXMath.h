// Arithmetic helpers of the runtime.
#pragma once

#include <cstdint>

class CXMath {
 public:
  // Primality as the hash tables use it to choose their sizes: 2 is prime,
  // other even numbers are not; odd numbers below 9 are (1 included);
  // multiples of 3 are not; otherwise odd divisors from 5 upwards are tried
  // while the quotient is not smaller than the divisor.
  static bool bEstPremier(std::uint64_t n);
};
