// Constant tables of the index keys.
//
// pTabByteToChar256: the lower-case hexadecimal spelling of every byte, two
// characters per byte, byte b at pTabByteToChar256 + 2 * b ("00" to "ff");
// 512 characters, no terminator.
//
// tabUCS2FastSort: the sort weight of every UTF-16 code unit, stored high
// byte first, so that replacing each unit of a text by its entry gives bytes
// that compare (unsigned, byte by byte) in the order of the texts. The
// weights are a permutation of 0 to 65535: blanks and controls come before
// digits, digits before letters; letters go alphabetically, script after
// script (Latin, Greek, Cyrillic, the other scripts, then the ideographs),
// each lower-case letter just before its capital and each base letter
// before its accented forms. The table is generated at build time from
// tools/make_sort_table.py.
#pragma once

// 2 characters per byte value, 256 values.
extern const char* const pTabByteToChar256;

// 65,536 entries of 2 bytes: [unit][0] is the weight's high byte.
extern const unsigned char tabUCS2FastSort[65536][2];
