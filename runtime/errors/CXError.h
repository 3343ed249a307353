// CXError: the error object that every layer hands down to the code it calls.
//
// A function that fails returns false and leaves in the caller's CXError:
// a level (1 no error, 2 and 3 error levels), a user error code of its
// module's user-error table, a user message for the end user, a debug
// message for the developer, an optional system error (code and text),
// typed information items (EIT_*), the identifiers of the messages that made
// the user message, and sub-errors. Messages are addressed by identifier
// within a module (_stMyModuleInfo, MyModuleInfo.h) and formatted with the
// call's arguments (wide formats with the Windows meaning of the
// conversions, FormatWin.h).
//
// Ownership and memory:
// - Every string field is owned by the error, written only through the five
//   virtual string slots, and its memory comes from XMALLOC_pNew_ /
//   XMALLOC_pResize_ / XMALLOC_Del_. A field is either a string or none;
//   every string getter answers L"" for none (never null).
// - String items (EIT_SRCFILE ...) are owned copies; EIT_DATAACCESS holds a
//   CKXUnknown whose count is raised (dwAddRef) while stored and released
//   (dwRelease) when removed; EIT_EXCEPTIONDOTNET holds an interface whose
//   second slot (add reference) runs when stored and third (release) when
//   removed; type 29 holds a plain pointer that is neither copied nor freed.
// - Sub-errors are owned: each is a CXError made from the given one (a copy
//   or a move), deleted with the array.
//
// No operation reports failure: an allocation that fails leaves the string
// field none, a message that cannot be loaded or a user error without a
// definition row becomes a debug line.
//
// An error object belongs to one thread at a time; only the counts of
// EIT_DATAACCESS objects change with locked additions.
//
// Virtual operations, in slot order: destructor, deleting destructor,
// dwRelease (CKXUnknown), __vpszAllocString, __vpszReallocString (text),
// __vpszReallocString (size), __vpszConcatString, __vDeleteString,
// __AddSubError, __DeleteAllSubError, vCopy.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "CKXUnknown.h"
#include "CTString.h"
#include "CTTableau.h"
#include "MyModuleInfo.h"

// Level of an error. 1 is "no error"; 2 and 3 are error levels (3 the
// default one). The dump also knows 0x10001..0x10006, 0x20001, 0x40000004
// and 0x40000008, which other components set.
enum eERRORLEVEL : std::uint32_t {
  ERRORLEVEL_NONE = 1,
  ERRORLEVEL_WARNING = 2,
  ERRORLEVEL_ERROR = 3,
};

// Type of an information item; the value each type takes is given beside it
// (see AddInfo for how it is stored).
enum eERRORINFOTYPE : std::uint32_t {
  EIT_NONE = 0,                // no item (GetInfo out of range)
  EIT_SRCFILE = 1,             // wide string
  EIT_DSTFILE = 2,             // wide string
  EIT_USERNAME = 3,            // wide string
  EIT_HELPFILE = 4,            // wide string
  EIT_PATHKXD = 5,             // wide string
  EIT_LOGICALTABLENAME = 6,    // wide string
  EIT_ITEMNAME = 7,            // wide string
  EIT_PATHFIC = 8,             // wide string
  EIT_PATHNDX = 9,             // wide string
  EIT_PATHMMO = 10,            // wide string
  EIT_LINKNAME = 11,           // wide string
  EIT_RECNUM = 12,             // pointer to a 64-bit integer
  EIT_ODBCCODE = 13,           // wide string
  EIT_ODBCDESCRIPTION = 14,    // wide string
  EIT_BASECODE = 15,           // pointer to a 32-bit integer
  EIT_NATIVECODE = 16,         // pointer to a 32-bit integer
  EIT_ADOCODE = 17,            // pointer to a 32-bit integer
  EIT_BASEMESSAGE = 18,        // wide string
  EIT_NATIVEMESSAGE = 19,      // wide string
  EIT_ADOMESSAGE = 20,         // wide string
  EIT_DATAACCESS = 21,         // CKXUnknown*
  EIT_INFOCLIENT = 22,         // wide string
  EIT_INFOSERVEUR = 23,        // wide string
  EIT_PILETN = 24,             // wide string
  EIT_DATEHEURE = 25,          // wide string
  EIT_LOCKINFO = 26,           // wide string
  EIT_CORRIGE_ETAT = 27,       // wide string
  EIT_INFOCS = 28,             // wide string
  EIT_PLAINPOINTER = 29,       // any pointer, kept as it is
  EIT_XINFO = 30,              // pointer to a 32-bit set of flags
  EIT_COMPOSANT = 31,          // wide string
  EIT_SERVEURCS = 32,          // wide string
  EIT_PILEC = 33,              // wide string
  EIT_HLOCKTIME = 36,          // pointer to a 64-bit integer
  EIT_HCNXID = 37,             // pointer to a 32-bit integer
  EIT_EXCEPTIONDOTNET = 38,    // interface pointer (IExceptionDotNet)
  EIT_POSITION_ERREUR = 39,    // wide string
};

// The interface stored by EIT_EXCEPTIONDOTNET: only its add-reference (slot
// 2) and release (slot 3) are called here.
class IExceptionDotNet {
 public:
  virtual void vQueryInterface() = 0;  // slot 0: not used here
  virtual void vReserved() = 0;        // slot 1: not used here
  virtual unsigned vnAddRef() = 0;     // slot 2
  virtual unsigned vnRelease() = 0;    // slot 3

 protected:
  ~IExceptionDotNet() = default;
};

class CXError : public CKXUnknown {
 public:
  // One information item: the type, then a pointer-sized value (a string or
  // object pointer, or an integer kept in the slot itself).
  struct _stERRORINFO {
    std::uint32_t nType;
    union {
      void* pValue;
      wchar_t* pszValue;
      CKXUnknown* pclObject;
      IExceptionDotNet* piException;
      std::int64_t llValue;
      std::int32_t nValue;
    };
  };

  // Parts of a dump (StringDump).
  enum eXERROR_INFO : std::uint32_t {
    XEI_MODULE = 0x1,
    XEI_CONTEXT = 0x2,
    XEI_LEVEL = 0x4,
    XEI_USERCODE = 0x8,
    XEI_USERCODE55 = 0x10,
    XEI_SYSTEMCODE = 0x20,
    XEI_SYSTEMMESSAGE = 0x40,
    XEI_USERMESSAGE = 0x80,
    XEI_DEBUGMESSAGE = 0x100,
    XEI_INFO = 0x200,
    XEI_DETAIL = 0x400,
    XEI_SUBERROR = 0x800,
    XEI_NOUSERTITLE = 0x40000000,
    XEI_ONLYPRESENT = 0x80000000,
  };

  // ---- Construction -----------------------------------------------------
  // Each stores the module id of the descriptor (0 for a null descriptor)
  // or the given id, gives every field its initial value, then does what
  // its line says. A null source error leaves an empty error.

  explicit CXError(const _stMyModuleInfo* pstModule);
  // Then SetUserErrorList(module, code, arguments).
  CXError(const _stMyModuleInfo* pstModule, unsigned int nCode, ...);
  CXError(const _stMyModuleInfo* pstModule, unsigned int nCode, va_list args);
  // Then SetUserErrorList and AddDebugMessageNoFormat(debugText).
  CXError(const _stMyModuleInfo* pstModule, const wchar_t* pszDebug, unsigned int nCode, ...);
  CXError(const _stMyModuleInfo* pstModule, const wchar_t* pszDebug, unsigned int nCode,
          va_list args);
  // LightCopy(src) when bLight, else a copy.
  CXError(const _stMyModuleInfo* pstModule, CXError* pclSrc, int bLight);
  CXError(const _stMyModuleInfo* pstModule, CXError& clSrc, int bLight);
  CXError(std::uint32_t nModuleId, CXError* pclSrc, int bLight);
  // A copy.
  CXError(const _stMyModuleInfo* pstModule, const CXError& clSrc);
  // A copy with module id 0.
  CXError(const CXError& clSrc);
  // Copy(src); the module id stays.
  CXError& operator=(const CXError& clSrc);
  // __RAZALL.
  ~CXError() override;

  // ---- String slots (every string field is written only through these) --

  // *ppsz becomes a new copy of the text (length + 1 characters) without
  // freeing the former value; none when the text is null or the allocation
  // fails. Returns *ppsz.
  virtual wchar_t* __vpszAllocString(wchar_t** ppsz, const wchar_t* pszText);
  // *ppsz becomes a copy of the text, resized in place. Nothing when *ppsz
  // is that very pointer; a null text deletes the field. A text lying inside
  // the field's own buffer is copied first. On a failed allocation the field
  // keeps its former value. Returns *ppsz.
  virtual wchar_t* __vpszReallocString(wchar_t** ppsz, const wchar_t* pszText);
  // Resizes the field to n + 1 characters (allocating when none; a new
  // block starts with an empty text, and character n is set to NUL). On
  // failure the field is unchanged. Returns *ppsz.
  virtual wchar_t* __vpszReallocString(wchar_t** ppsz, unsigned long n);
  // Appends the text (allocates when the field is none); a text inside the
  // field's own buffer is copied first; null or a failed allocation changes
  // nothing. Returns *ppsz.
  virtual wchar_t* __vpszConcatString(wchar_t** ppsz, const wchar_t* pszText);
  // Frees the field; it becomes none.
  virtual void __vDeleteString(wchar_t** ppsz);

  // ---- Sub-errors -------------------------------------------------------

  // Appends a new sub-error made from `pclErr` with this error's module id:
  // moved out of it when bLight, a copy otherwise (the error itself, or one
  // of its own sub-errors, is always copied as a snapshot, never moved).
  // When bNoUserMessage is 0 and it is the first sub-error, its user message
  // is appended to this error's (AddUserMessage). A null error does nothing.
  virtual void __AddSubError(CXError* pclErr, int bLight, int bNoUserMessage);
  // Deletes every sub-error and frees the array.
  virtual void __DeleteAllSubError();
  // Copy(src).
  virtual void vCopy(const CXError* pclSrc);

  void AddSubError(const CXError* pclErr) { __AddSubError(const_cast<CXError*>(pclErr), 0, 0); }
  void AddSubErrorLight(CXError* pclErr) { __AddSubError(pclErr, 1, 0); }
  void AddSubErrorNoUserMessage(const CXError* pclErr) {
    __AddSubError(const_cast<CXError*>(pclErr), 0, 1);
  }
  void AddSubErrorLightNoUserMessage(CXError* pclErr) { __AddSubError(pclErr, 1, 1); }
  // 0 without sub-errors.
  int nGetNbSubError() const;
  // Sub-error i (from 0); null when out of range.
  CXError* pclGetSubError(int i) const;
  void DeleteAllSubError() { __DeleteAllSubError(); }

  // ---- Copy, reset, level ----------------------------------------------

  // This error becomes a copy of the source (nothing when it is this error;
  // a null source empties it, keeping the module id). EIT_DATAACCESS items
  // are copied only when both errors have the same module id. The source
  // may be one of this error's own sub-errors.
  void Copy(const CXError& clSrc);
  void Copy(const CXError* pclSrc);
  // Moves everything out of the source, which is left without error (level
  // 1, every field at its initial value, its module id kept). EIT_DATAACCESS
  // items of a source with another module id are released, not carried
  // over. Nothing when the source is this error; a null source empties this
  // error.
  void LightCopy(CXError* pclSrc);
  // Every field back to its initial value (strings, error ids, items and
  // sub-errors freed); the module id stays.
  void RAZ();
  // RAZ and module id 0.
  void __RAZALL();
  // Equal level: nothing. Level 1: RAZ. Any other: stored.
  void SetErrorLevel(eERRORLEVEL eLevel);
  eERRORLEVEL eGetErrorLevel() const { return m_eLevel; }

  // ---- Module and context -----------------------------------------------

  // With bForce the module name and version become the descriptor's;
  // without it they are set only when the error has no module name yet.
  // A null descriptor changes nothing.
  void InitModInfo(const _stMyModuleInfo* pstModule, int bForce);
  void InitModName(const wchar_t* pszName);
  void InitModVersion(const wchar_t* pszVersion);
  void __InitInternalModInfo(std::uint32_t nModuleId) { m_nModuleId = nModuleId; }
  std::uint32_t nGetInternalModuleId() const { return m_nModuleId; }
  const wchar_t* pszGetModName() const;
  const wchar_t* pszGetModVersion() const;

  // Treatment caption, object name, line and thread of the running code; the
  // line and thread are stored only when the strings were stored.
  void SetVMContext(const wchar_t* pszCaption, const wchar_t* pszObjectName, std::uint16_t wLine,
                    std::uint16_t wThread);
  void SetVMContext(const wchar_t* pszCaption, std::uint16_t wLine, std::uint16_t wThread);
  void SetVMContext(const wchar_t* pszObjectName);
  const wchar_t* pszGetTraitmentCaption() const;
  const wchar_t* pszGetObjectName() const;
  std::uint16_t wGetTraitmentLine() const { return m_wTraitmentLine; }
  std::uint16_t wGetTraitmentThread() const { return m_wTraitmentThread; }

  // Stores the name and, when that succeeded, the syntax number.
  void SetFunctionName(const wchar_t* pszName, int nSyntax);
  const wchar_t* pszGetFunctionName() const;
  int nGetFunctionSyntax() const { return m_byFunctionSyntax; }

  void SetDetailId(std::uint32_t n) { m_nDetailId = n; }
  std::uint32_t nGetDetailId() const { return m_nDetailId; }
  void SetUserErrorCode(std::uint32_t n) { m_nUserErrorCode = n; }
  std::uint32_t nGetUserErrorCode() const { return m_nUserErrorCode; }
  void SetUserErrorCode55(std::uint32_t n) { m_nUserErrorCode55 = n; }
  std::uint32_t nGetUserErrorCode55() const { return m_nUserErrorCode55; }

  // Message identifiers that made the user message, in message order.
  int nNumErrorId() const;
  // Identifier i; 0 when out of range.
  std::uint32_t nGetErrorId(int i) const;

  // Does nothing.
  void TraceDump() const {}

  // ---- User and debug messages ------------------------------------------
  // Lines of a message are separated by "\r\n".

  // Appends "\r\n" and the text when a message exists; else the text
  // becomes the message. A null text changes nothing (an empty one counts).
  void AddUserMessage(const wchar_t* pszText);
  // The same, ignoring a null or empty text.
  void AddUserMessageNoFormat(const wchar_t* pszText);
  // The same on the debug message.
  void AddDebugMessageNoFormat(const wchar_t* pszText);
  // Prepends: text, "\r\n", old message (the text alone without one). A
  // null text changes nothing.
  void AddUserMessageFirst(const wchar_t* pszText);
  // The same on the debug message, ignoring a null or empty text.
  void AddDebugMessageFirst(const wchar_t* pszText);
  // InitModInfo(module, false); appends nId to the error ids; message nId
  // of the module formatted with the arguments is appended (AddUserMessage).
  void AddUserMessage(const _stMyModuleInfo* pstModule, unsigned int nId, ...);
  void AddUserMessageList(const _stMyModuleInfo* pstModule, unsigned int nId, va_list args);
  // The same, but nId goes to the front of the error ids and the text is
  // prepended (AddUserMessageFirst).
  void AddUserMessageFirst(const _stMyModuleInfo* pstModule, unsigned int nId, ...);
  void AddUserMessageListFirst(const _stMyModuleInfo* pstModule, unsigned int nId, va_list args);
  // Message nId formatted and appended to the debug message (no module
  // change, no error id). AddDebugMessage ignores the id 0xFFFFFFFF.
  void AddDebugMessage(const _stMyModuleInfo* pstModule, unsigned int nId, ...);
  void AddDebugMessageList(const _stMyModuleInfo* pstModule, unsigned int nId, va_list args);
  // printf-style with the Windows meaning of the conversions, appended to the
  // debug message.
  void AddDebugMessagePrintf(const wchar_t* pszFormat, ...);
  // Deletes the user message.
  void RAZUserMessage();
  const wchar_t* pszGetUserMessage() const;
  const wchar_t* pszGetDebugMessage() const;

  // ---- User errors ------------------------------------------------------

  // RAZ, then ChangeUserErrorList.
  void SetUserError(const _stMyModuleInfo* pstModule, unsigned int nCode, ...);
  void SetUserErrorList(const _stMyModuleInfo* pstModule, unsigned int nCode, va_list args);
  // InitModInfo(module, true) and the definition row of nCode (first row
  // with the code). Found: user error code = nCode, the row's message
  // formatted and prepended (AddUserMessageListFirst), detail id and level
  // from the row. Not found: level 3 and a debug line naming the code (the
  // user error code is left as it was).
  void ChangeUserError(const _stMyModuleInfo* pstModule, unsigned int nCode, ...);
  void ChangeUserErrorList(const _stMyModuleInfo* pstModule, unsigned int nCode, va_list args);
  // RAZ and the same lookup, with the literal text prepended.
  void SetUserErrorMessage(const _stMyModuleInfo* pstModule, unsigned int nCode,
                           const wchar_t* pszText);
  // The same: RAZ, then the definition row of nCode with the literal text
  // prepended; a code without a row gives level 3 and the debug line.
  void ChangeUserErrorMessage(const _stMyModuleInfo* pstModule, unsigned int nCode,
                              const wchar_t* pszText);
  // Message identifier of the code's row; 0 when there is none.
  static std::uint32_t nGetRessourceIdFromUserErrorCode(const _stMyModuleInfo* pstModule,
                                                        unsigned int nCode);
  // kind 0 RAZ; 1 user error 65; 100 SetErrorNoMemory; 101 user error 61;
  // 104 user error 66; 105 user error 60; 106 user error 64; 107 user
  // error 63 (each with p1 and p2 as arguments); any other: nothing.
  void SetAnyError(const _stMyModuleInfo* pstModule, int nKind, int p1, int p2);
  // RAZ; message 25193 of this library prepended; system error 12.
  void SetErrorNoMemory();

  // ---- System errors ----------------------------------------------------

  void SetSystemError(std::uint32_t dwCode, const wchar_t* pszText);
  void SetSystemErrorMessage(std::uint32_t dwCode, const wchar_t* pszText);
  // Code 0 and text.
  void SetSystemErrorMessage(const wchar_t* pszText);
  // Code 0; text = message nId of the module formatted with the arguments.
  void SetSystemErrorMessage(const _stMyModuleInfo* pstModule, unsigned int nId, ...);
  void SetSystemErrorMessagePrintf(std::uint32_t dwCode, const wchar_t* pszFormat, ...);
  void SetSystemErrorMessagePrintf(const wchar_t* pszFormat, ...);
  // Code 0; the 8-bit text read as UTF-8 (null or empty: the empty text).
  void SetSystemErrorMessageA(const char* pszText);
  // Stores the code; code 0 deletes the message, any other sets it to the
  // system's text for that code (0x80000000..0x80000002 read as 11, EAGAIN),
  // read as UTF-8. The code itself is stored as given.
  void SetSystemErrorParam(std::uint32_t dwCode, ...);
  void __SetSystemError(std::uint32_t dwCode);
  // Stores the code; message = hstrerror(h_errno), read as UTF-8.
  void SetSystemErrorForGetHostBy(std::uint32_t dwCode);
  std::uint32_t dwGetSystemErrorCode() const { return m_dwSystemErrorCode; }
  const wchar_t* pszGetSystemErrorMessage() const;

  // ---- Information items ------------------------------------------------

  // Stores an item (value as listed at eERRORINFOTYPE). A null value, types
  // 0, 34, 35 and above 39 change nothing. An existing item of the type is
  // replaced in place: the new value is taken first, then the old one
  // released (the same string or object given again survives; the same
  // EIT_DATAACCESS object changes nothing). Otherwise a new item is
  // appended.
  void AddInfo(eERRORINFOTYPE eType, const void* pValue);
  // Releases and removes the item of the type.
  void DeleteInfo(eERRORINFOTYPE eType);
  bool bHasInfo(eERRORINFOTYPE eType) const;
  int nNumInfo() const;
  // The value of the item of the type: string, pointer and object types give
  // the stored pointer in *ppValue; the 32-bit types write the integer into
  // the first four bytes of *ppValue itself; EIT_RECNUM and EIT_HLOCKTIME
  // write the integer to the 64-bit location *ppValue points to. False
  // (nothing written) when there is no such item.
  bool bGetInfo(eERRORINFOTYPE eType, void** ppValue) const;
  // Item i the same way, its type in *peType; out of range or an unknown
  // stored type: type 0 and nothing written to *ppValue.
  void GetInfo(int i, eERRORINFOTYPE* peType, void** ppValue) const;
  // Sets or clears flag in EIT_XINFO (0 when absent) and stores it back.
  void __SetXInfo(std::uint32_t dwFlag, int bOn);
  // True when EIT_XINFO exists and has the flag.
  bool __bGetXInfo(std::uint32_t dwFlag) const;

  // ---- Dump (CXErrorDump.cpp) -------------------------------------------

  // Appends the dump of the selected parts to `clOut`.
  void StringDump(CTString& clOut, eXERROR_INFO eParts) const;
  void StringDump(CTString* pclOut, eXERROR_INFO eParts) const;
  // A new string holding the dump.
  CTString StringDump(eXERROR_INFO eParts) const;
  // Empties `clLine` and writes the one-line text of an item. `pValue` is the
  // stored pointer for string and object types, the integer itself for the
  // 32-bit types, and a pointer to the integer for the two 64-bit types. A
  // null or empty string gives no line unless bForce.
  void __DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString& clLine, int bForce) const;
  // __DumpInfo with bForce, appended to *pclOut.
  void DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString* pclOut) const;

 protected:
  // The copy proper (the source is neither null nor this error).
  void __Copy(const CXError* pclSrc);

  // Fields, in this order (their initial values).
  eERRORLEVEL m_eLevel = ERRORLEVEL_NONE;
  std::uint32_t m_nUserErrorCode = 0;
  wchar_t* m_pszUserMessage = nullptr;
  wchar_t* m_pszDebugMessage = nullptr;
  wchar_t* m_pszFunctionName = nullptr;
  wchar_t* m_pszModName = nullptr;
  wchar_t* m_pszModVersion = nullptr;
  std::uint8_t m_byFunctionSyntax = 0;
  std::uint32_t m_nDetailId = 0;
  CTTableau<unsigned int> m_tabErrorId{4};
  CTTableau<_stERRORINFO> m_tabInfo{4};
  std::uint32_t m_dwSystemErrorCode = 0;
  wchar_t* m_pszSystemErrorMessage = nullptr;
  wchar_t* m_pszTraitmentCaption = nullptr;
  std::uint16_t m_wTraitmentLine = 0;
  std::uint16_t m_wTraitmentThread = 0;
  CTTableau<CXError*>* m_ptabSubError = nullptr;
  wchar_t* m_pszObjectName = nullptr;
  std::uint32_t m_nModuleId = 0;
  std::uint32_t m_nUserErrorCode55 = 0;

 private:
  void _FreeInfos();
  void _ReleaseValue(_stERRORINFO& st);
  int _nFindInfo(std::uint32_t nType) const;
  void _AppendLine(wchar_t** ppsz, const wchar_t* pszText);
  // Text, "\r\n", old field (the text alone when the field is none); a
  // null text changes nothing.
  void _PrependLine(wchar_t** ppsz, const wchar_t* pszText);
  // Loads and formats message nId into *pclOut; on failure writes the
  // "not loaded" / "empty" line into *pclOut instead and returns false.
  static bool _bFormatMessage(const _stMyModuleInfo* pstModule, unsigned int nId, va_list args,
                              CTString* pclOut);
  void _AddMessageList(const _stMyModuleInfo* pstModule, unsigned int nId, va_list args, bool bFirst);
  void _ApplyDefinition(const _stMyModuleInfo* pstModule, unsigned int nCode, const wchar_t* pszText,
                        va_list* pArgs);
};

// The error object of the module linked as module 76 (gstMyModuleInfo76:
// the library's, or in mdbdeploy the installer's).
class _CXErrorModule76 : public CXError {
 public:
  _CXErrorModule76() : CXError(&gstMyModuleInfo76) {}
  // An error whose user error is `nCode` of the module's table, its message
  // formatted with the arguments (SetUserErrorList). A code the table does
  // not hold leaves user code 0, level 3 and the "no definition" debug line.
  explicit _CXErrorModule76(unsigned int nCode, ...);
  // A copy (module id 76).
  _CXErrorModule76(const _CXErrorModule76& clSrc) : CXError(&gstMyModuleInfo76, clSrc) {}
  explicit _CXErrorModule76(const CXError& clSrc) : CXError(&gstMyModuleInfo76, clSrc) {}
  _CXErrorModule76& operator=(const _CXErrorModule76& clSrc) {
    Copy(clSrc);
    return *this;
  }
  ~_CXErrorModule76() override;
};
