// The library's own reading of a plainly written integer for an integer
// value, so that the bulk of fetched integer columns skips the runtime's
// general number parse.
//
// A plain integer text is an optional '-' followed by 1 to 20 ASCII digits
// and nothing else (no blank, no '+', no point, no exponent), whose value
// lies within the range of the target type. Every parse of such a text gives
// that number, so the result equals the runtime's cast; every other text is
// refused and left to the cast, which decides it (and its failures) as
// before. Leading zeros are read as the cast reads them ("007" is 7), and
// "-0" is 0 for every type.
//
// Target types (codes of CAny): UI1 2, UI2 3, UI4 4, UI8 5, I1 6, I2 7,
// I4 8, I8 9, UIX 14. Any other code is refused.
#pragma once

#include <cstddef>

namespace kxvalues {

// Bytes of the native form of an integer type code above; 0 for any other.
std::size_t nPlainIntegerSize(unsigned wCode);

// Reads text[0..n) as a plain integer of type wCode. On success writes the
// value's native form (nPlainIntegerSize bytes) at pTarget and returns
// true; otherwise returns false and writes nothing. pTarget must have room
// for 8 bytes.
bool bReadPlainInteger(const char* text, std::size_t n, unsigned wCode, void* pTarget);
bool bReadPlainInteger(const wchar_t* text, std::size_t n, unsigned wCode, void* pTarget);

}  // namespace kxvalues
