// The environment, the running module, the current directory and the
// system's identity under their Windows names.
//
// Wide texts become UTF-8 at the system call and system texts are read as
// UTF-8; the 8-bit forms pass bytes through unchanged. Every output buffer
// belongs to the caller, has `size` units and is always terminated within
// them (when size > 0); nothing here allocates on the caller's behalf.
#pragma once

#include <cstddef>
#include <cstdint>

// Value of the environment variable `name`. 0 when it is not set (or `name`
// is null). Otherwise the value is copied into `buf`, cut to size - 1 units
// and terminated, and the result is its length when `size` is larger than
// that length, else length + 1 (the size needed, as Windows reports it).
// The wide form counts characters, the 8-bit form bytes.
unsigned int GetEnvironmentVariableW(const wchar_t* name, wchar_t* buf, unsigned int size);
unsigned int GetEnvironmentVariableA(const char* name, char* buf, unsigned int size);

// setenv(name, value, overwrite); a null value removes the variable. False
// when the system refuses (null or empty name, name holding "=").
bool SetEnvironmentVariable(const wchar_t* name, const wchar_t* value);

// Path of the running executable (`module` is not used): the link
// "/proc/self/exe", or, when it cannot be read, the first line of
// "/proc/self/maps" from its first "/". True when the whole path was
// written; false when neither source could be read or the path does not fit
// in `size` units with its NUL (the buffer then holds the path cut and
// terminated, or the empty text).
bool GetModuleFileNameW(void* module, wchar_t* buf, unsigned int size);
bool GetModuleFileNameA(void* module, char* buf, unsigned int size);

// chdir of the path; true on success.
bool SetCurrentDirectoryW(const wchar_t* path);
bool SetCurrentDirectoryA(const char* path);

// Most characters makepath writes, its NUL included.
constexpr std::size_t MAKEPATH_MAX = 261;

// Joins a path: `dir` (with "/" added when it does not end with one), then,
// when a name is given, `name` and `ext` ("." added before an extension that
// does not start with one). A null or empty directory adds nothing (no lone
// "/"), a null or empty name adds neither name nor extension, and a null or
// empty extension adds no ".". `drive` is not used. Writes at most
// min(capacity, MAKEPATH_MAX) characters with the NUL; when the path does
// not fit, `out` becomes the empty text and the result is false.
bool makepath(wchar_t* out, const wchar_t* drive, const wchar_t* dir, const wchar_t* name,
              const wchar_t* ext, std::size_t capacity = MAKEPATH_MAX);

// Version record; szCSDVersion stays empty.
struct OSVERSIONINFO {
  std::uint32_t dwOSVersionInfoSize;
  std::uint32_t dwMajorVersion;
  std::uint32_t dwMinorVersion;
  std::uint32_t dwBuildNumber;
  std::uint32_t dwPlatformId;
  wchar_t szCSDVersion[128];
};

// The platform id GetVersionEx reports.
constexpr std::uint32_t VER_PLATFORM_LINUX = 1000;

// Clears the record (keeping its size field) and sets dwPlatformId to 1000;
// true when uname succeeds.
bool GetVersionEx(OSVERSIONINFO* info);

// The system default language id, 2048.
std::uint16_t GetSystemDefaultLangID();
std::uint16_t GetUserDefaultLangID();

// Descriptor of a standard stream: -10 gives 0 (input), -11 gives 1
// (output), -12 gives 2 (error); any other kind -1.
int GetStdHandle(int kind);

// Writes the text (UTF-8) to standard error; nothing for null.
void OutputDebugString(const wchar_t* text);
