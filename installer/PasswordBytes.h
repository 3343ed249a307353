// The bytes that stand for a wide password wherever the installer digests or
// derives a key from one (archive entry digests and cipher keys alike), so
// that the same password always gives the same bytes.
//
// When the text survives a round trip through code page 1252 (the runtime's
// bLatin1), the bytes are its code page 1252 form; otherwise they are its
// UTF-16 little-endian form, characters above U+FFFF as surrogate pairs and
// values outside U+0000..U+10FFFF as U+FFFD. No terminator is included.
// A null password gives no bytes.
#pragma once

#include <vector>

std::vector<unsigned char> PasswordToBytes(const wchar_t* password);
