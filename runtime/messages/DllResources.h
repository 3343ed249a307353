// Message strings by identifier: the module's message resources and the
// formatting of loaded texts.
//
// Every user-visible text of the library is a message of its module
// (_stMyModuleInfo, MyModuleInfo.h) addressed by a numeric identifier. The
// texts are wide formats with the Windows meaning of the conversions (`%s` a
// wide string, `%S` and `%hs` an 8-bit one; FormatWin.h) and are formatted
// printf-style through FormatMessageW with the call's arguments.
//
// Loading itself (the runtime's loader first, then the module's own block)
// is DllResLoader.h. An unknown identifier never raises an error: the
// functions answer 0, false or null, and the caller uses its own default
// text or none. Allocated texts come from XMALLOC_pNew_; the caller frees
// them with XMALLOC_Del_.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "DllResLoader.h"
#include "MyModuleInfo.h"

class CTString;

// Start and end of the message resources: set and clear the initialised
// flag; the arguments are not used. DLLRES_bInit returns 1.
int DLLRES_bInit(void* hModule = nullptr, int bFlag = 0);
void DLLRES_Term();
// The initialised flag.
bool DLLRES_bIsInit();

// 0: no separate resource library is used.
int DLLRES_bUtiliseDLLRes();

// Null: the library carries no resources besides its message block.
extern "C" __attribute__((visibility("default"))) void* DLLRES_pLoadResourceModule();
void* ghGetRessourceHandle();

// Calls "DLLRES_pLoadResourceModule" of the loaded module `hModule` (found
// with dlsym) and returns its result; null when the module is null or has no
// such export. The other arguments are not used; *pnSize is not written.
void* DLLRES_pLoadResource(void* hModule, void* hResource, unsigned int nId,
                           const wchar_t* pszName, std::uint32_t* pnSize);

// Makes another component initialise its resources: calls its command
// function with command 3 and an empty request (size 24, everything else 0).
// 0 when the function is null, else 1.
int DLLRES_bForceInitRessource(PFN_COMMANDECOMPOSANTE pfnCommande);

// Does nothing (no message file is used).
void DLLRES_SetFichierKXM(const wchar_t* pszPath);

// Usage value of message `nId` (0 to 3), -1 when the module does not have
// it.
int DLLRES_nGetUtilisation(const _stMyModuleInfo* pstModule, unsigned int nId);

// Formats `pszFormat` with the arguments (FormatMessageW with
// FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING). The wide form
// stores a new text in *ppszOut (null on failure); the CTString form sets
// *pclOut to the text (unchanged on failure). Return the length, 0 on
// failure.
unsigned DLLRES_dwFormatMessage(const wchar_t* pszFormat, wchar_t** ppszOut, va_list args);
unsigned DLLRES_dwFormatMessage(const wchar_t* pszFormat, CTString* pclOut, va_list args);

// Loads message `nId` and formats it into a new text stored in *ppszOut.
// Returns the length; 0 (and null stored) when the message is unknown or the
// formatting fails.
int DLLRES_nFormatMessageList(const _stMyModuleInfo* pstModule, unsigned int nId,
                              wchar_t** ppszOut, va_list args);
int DLLRES_nFormatMessage(const _stMyModuleInfo* pstModule, unsigned int nId, wchar_t** ppszOut,
                          ...);

// Loads message `nId` and formats it into *pclOut. False (string unchanged)
// when the message is unknown or formats to nothing.
bool DLLRES_bFormatMessageList(const _stMyModuleInfo* pstModule, unsigned int nId,
                               CTString* pclOut, va_list args);
bool DLLRES_bFormatMessage(const _stMyModuleInfo* pstModule, unsigned int nId, CTString* pclOut,
                           ...);

// Separator of the forms of a singular/plural message: line feed, section
// sign, line feed.
constexpr wchar_t kszSingulierPlurielSep[] = L"\n\u00A7\n";

// As DLLRES_bFormatMessage, but only form `nForm` (from 0) of the loaded text
// is formatted; false when the text has no such form.
bool DLLRES_bFormatMessageSingulierPlurielList(const _stMyModuleInfo* pstModule, int nForm,
                                               unsigned int nId, CTString* pclOut, va_list args);
bool DLLRES_bFormatMessageSingulierPluriel(const _stMyModuleInfo* pstModule, int nForm,
                                           unsigned int nId, CTString* pclOut, ...);
