// Message boxes: the object runtime's graphical box when that runtime is
// already in the process, else a box on the console.
//
// Answers are the Windows ones: 1 OK, 2 CANCEL, 3 ABORT, 4 RETRY, 5 IGNORE,
// 6 YES, 7 NO. Texts are wide and reach the console as UTF-8; a null text or
// caption counts as empty.
#pragma once

#include <cstdio>

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr unsigned int MB_OK = 0;
constexpr unsigned int MB_OKCANCEL = 1;
constexpr unsigned int MB_ABORTRETRYIGNORE = 2;
constexpr unsigned int MB_YESNOCANCEL = 3;
constexpr unsigned int MB_YESNO = 4;
constexpr unsigned int MB_RETRYCANCEL = 5;

// The graphical box of the object runtime: (window, text, caption, type) to
// the answer, -1 when it showed nothing.
using PFN_MessageBox_QT_W = int (*)(void* window, const wchar_t* text, const wchar_t* caption,
                                    unsigned int type);

// Looks for the object runtime "kx200obj.so" among the libraries already
// loaded in the process (dlopen with RTLD_NOLOAD: first as a file of the
// running executable's directory, then by its bare name, which also finds
// it under its soname wherever it was loaded from); nothing is ever loaded
// here. When it is there and exports "MessageBox_QT_W", that function gets
// the four arguments and its answer is returned unless it is -1. Otherwise
// the console box answers on `out` and `in` (null: standard error and
// standard input).
int MessageBox(void* window, const wchar_t* text, const wchar_t* caption, unsigned int type,
               FILE* out = nullptr, FILE* in = nullptr);

// The console box directly.
int MessageBoxW(void* window, const wchar_t* text, const wchar_t* caption, unsigned int type,
                FILE* out = nullptr, FILE* in = nullptr);

// The console box: writes the caption and the text, each followed by a line
// end, then the prompt of `type` (0, 1, 3, 4 and 5 have their own, any other
// value the abort/retry/ignore one) to `out`, and reads one word (up to
// white space) from `in`. Its first character gives the answer: "a" 3,
// "c" 2, "i" 5, "n" 7, "r" 4 (after a line on resuming under a debugger),
// "y" 6, anything else 1; at end of input (nothing but white space left) 1.
// Null streams are standard error and standard input.
int _MessageBox_NO_GUI(const wchar_t* text, const wchar_t* caption, unsigned int type,
                       FILE* out = nullptr, FILE* in = nullptr);
