// Comparison of two module version texts ("20.0.10.0", "9.1" ...), used to
// decide whether a component is recent enough.
//
// Digit runs compare by value, so "10.0" sorts after "9.0"; the other
// characters compare lexically (STR_nCompareRespecteNumerique* with option
// 0x20000000). A null text is the empty text. Nothing is allocated and
// nothing is kept.
#pragma once

// Negative when a sorts before b, 0 when they are equal, positive when a
// sorts after b.
int nCompareVersionModule(const wchar_t* a, const wchar_t* b);
// The same for 8-bit texts (read as code page 1252).
int nCompareVersionModuleA(const char* a, const char* b);
