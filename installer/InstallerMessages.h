// The installer's message functions: texts of its own message block (module
// 76 in mdbdeploy, InstallerModule.h) loaded and formatted into the shared
// wide strings, a CTString or a fixed buffer.
//
// The installer runs without the platform's runtime: these functions read
// the module's block only (through its resource callback and the runtime's
// unpacker) and never install or ask a runtime loader. Texts are wide
// formats printf-style (FormatMessageW, with the Windows meaning of the
// conversions: %s a wide string). An unknown identifier is never an error:
// the functions answer false or an empty text.
#pragma once

#include <cstdarg>

#include "CTString.h"
#include "CXYString.h"
#include "MyModuleInfo.h"

// Text `nId` of `pstModule` into *pclText. False (string unchanged) when the
// module has no such message, the record does not decode or pclText is null.
bool DLLRES_bLoadString(const _stMyModuleInfo* pstModule, unsigned int nId,
                        CXYString<wchar_t>* pclText);

// Formats `pszFormat` with the arguments (FormatMessageW, allocating, from a
// string) into *pclText and returns the length; 0 (string unchanged) when
// the formatting fails or gives nothing.
unsigned DLLRES_dwFormatMessage(const wchar_t* pszFormat, CXYString<wchar_t>* pclText,
                                va_list args);

// Loads message `nId` and formats it with the arguments into *pclText.
// False (string unchanged) when the message is missing or formats to
// nothing.
bool DLLRES_bFormatMessageList(const _stMyModuleInfo* pstModule, unsigned int nId,
                               CXYString<wchar_t>* pclText, va_list args);
bool DLLRES_bFormatMessage(const _stMyModuleInfo* pstModule, unsigned int nId,
                           CXYString<wchar_t>* pclText, ...);

// Message `nId` of the installer's module formatted with the arguments;
// empty when the message is missing.
CTString sGetRES(unsigned int nId, ...);

// Characters pszRecupStr writes at most, the terminator included.
constexpr unsigned knRecupStrCapacity = 250;

// Message `nId` of the installer's module formatted with the arguments into
// `pszBuffer`, which must hold knRecupStrCapacity characters: the text is
// cut to 249 characters and always terminated; a missing message (or a
// failed formatting) leaves an empty text. Returns pszBuffer (null for a
// null buffer). The module handle of the second form is not used.
wchar_t* pszRecupStr(wchar_t* pszBuffer, unsigned int nId, ...);
wchar_t* pszRecupStr(void* hModule, wchar_t* pszBuffer, unsigned int nId, ...);
