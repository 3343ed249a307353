// The hexadecimal spelling of bytes (the sort table is generated at build
// time into its own source).
#include "KeyTables.h"

namespace {

// Built at compile time so that the table is plain constant data.
struct CHexSpelling {
  char ach[512];
  constexpr CHexSpelling() : ach() {
    const char* const kDigits = "0123456789abcdef";
    for (int b = 0; b < 256; ++b) {
      ach[2 * b] = kDigits[b >> 4];
      ach[2 * b + 1] = kDigits[b & 0xF];
    }
  }
};

constexpr CHexSpelling kHexSpelling;

}  // namespace

const char* const pTabByteToChar256 = kHexSpelling.ach;
