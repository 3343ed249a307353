// Settings files in the INI form under the Windows profile-function names.
//
// A file holds section lines ("[name]") and key lines ("key = value"). Every
// function here finds lines the same way, reading or writing:
// - leading blanks (spaces and tabs) of a line are skipped before it is
//   examined;
// - a section line begins with "[" and holds a "]"; the section `name` is the
//   line "[" + name + "]", the name compared without regard to case;
// - a section's lines run from its first section line to the next section
//   line (or the end of the file);
// - a line that begins with ":" is a remark: never a key, never listed;
// - the line of a key begins with the key, compared without regard to case,
//   followed by blanks and "="; a line holding an "=" has as its key the text
//   before the "=", trailing blanks removed;
// - an empty line is one that holds nothing but blanks and its line end.
// Lines end with LF, CR LF or a lone CR. Case is compared through the
// runtime's locale (the built-in one when there is no runtime).
//
// File names: a name holding a "/" or "\" is used as given; a bare name lies
// in the home directory of the user's password entry (HOME plays no part).
// Every "\" becomes "/". A path longer than 260 characters is refused, never
// cut: reading then gives the default, writing fails.
//
// Encodings: a file that begins with FF FE is UTF-16 little-endian (with
// surrogate pairs for characters above U+FFFF); any other file is 8-bit text
// of code page 0. A missing file is created as 8-bit text without a mark.
//
// Sizes count characters (bytes in the A forms) with the NUL: at most
// size - 1 are written, then a NUL; a size of 0 writes nothing at all.
// Nothing here keeps state between calls or locks the file.
#pragma once

#include <cstddef>

// Characters of the longest profile path, its NUL included.
constexpr std::size_t PROFILE_PATH_MAX = 261;

// Reads from `file`:
// - `section` null or empty: the names of all section lines (the text between
//   "[" and the first "]"), each followed by CR LF;
// - `key` null or empty: the keys of the section's key lines, each followed
//   by CR LF;
// - otherwise the key's value: the text after the "=", its leading blanks
//   dropped, up to the line end (trailing blanks kept).
// A listing adds items while `size` is larger than its length so far plus 1,
// the last one cut to fit. When the file, section or key is missing, or a
// listing is empty, `def` (null: the empty text) is copied instead. A key
// with an empty value is found: the result is 0 and the default unused.
// Returns the characters placed in `buf`, NUL not counted.
unsigned int GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                      const wchar_t* def, wchar_t* buf, unsigned int size,
                                      const wchar_t* file);
// The same on 8-bit texts of code page 0 (the file name included); the
// result counts bytes.
unsigned int GetPrivateProfileStringA(const char* section, const char* key, const char* def,
                                      char* buf, unsigned int size, const char* file);
inline unsigned int GetPrivateProfileString(const wchar_t* section, const wchar_t* key,
                                            const wchar_t* def, wchar_t* buf, unsigned int size,
                                            const wchar_t* file) {
  return GetPrivateProfileStringW(section, key, def, buf, size, file);
}

// The value read as GetPrivateProfileStringW reads it (with `def` in decimal
// as the default text, at most 20 characters), then taken as a decimal
// integer by wcstol: leading white space and a sign are allowed and reading
// stops at the first other character; no digits give 0.
int GetPrivateProfileInt(const wchar_t* section, const wchar_t* key, int def,
                         const wchar_t* file);

// Writes into `file`, creating it when missing; returns 1 on success, 0 when
// the file cannot be opened, read or written, or `section` is null or empty.
// - `key` null or empty: removes the section, from its section line to the
//   next section line; nothing to do when it is missing.
// - `value` null: removes the key's line; nothing to do when it is missing.
// - otherwise the key line `key + " = " + value + LF` replaces the key's line;
//   a missing key is inserted before the section's first empty line, or
//   before the next section line, or at the end of the file; a missing
//   section is appended as "[" + section + "]" LF, then the key line. Text
//   appended to a file whose last line has no line end starts with an LF.
// The rest of the file keeps its bytes.
int WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                               const wchar_t* file);
// The same on 8-bit texts of code page 0.
int WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                               const char* file);
inline int WritePrivateProfileString(const wchar_t* section, const wchar_t* key,
                                     const wchar_t* value, const wchar_t* file) {
  return WritePrivateProfileStringW(section, key, value, file);
}

// The per-user profile: home directory of the user's password entry +
// "/.VLM.conf", into `out` of `capacity` characters. False, with `out` empty
// when capacity allows, when the user has no password entry or the path does
// not fit.
bool bGetVLMCONFPath(wchar_t* out, std::size_t capacity = PROFILE_PATH_MAX);

// The functions above on the per-user profile; without one (no password
// entry, path too long) reading gives the default and writing 0.
unsigned int GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                              wchar_t* buf, unsigned int size);
int GetProfileInt(const wchar_t* section, const wchar_t* key, int def);
int WriteProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value);

// The path of a profile `file` with `home` as the home directory of bare
// names (null `home`: bare names are refused), every "\" made "/", into `out`
// of min(capacity, PROFILE_PATH_MAX) characters. False, with `out` empty when
// capacity allows, for a null or empty name or a path that does not fit.
bool bMakeProfilePath(const wchar_t* file, const wchar_t* home, wchar_t* out,
                      std::size_t capacity = PROFILE_PATH_MAX);
