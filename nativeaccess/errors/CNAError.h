// CNAError: the error object of the native-access layer.
//
// Every operation of the layer that can fail reports into a CNAError; the
// runtime reads it through INAError. It wraps one error of this library's
// module (the main error) and adds an error type, the names of the table and
// item concerned, the database's code and message, and a composed text.
// One object collects every failure of one call: the first becomes the main
// error (and sets the type), later ones are appended to it as sub-errors.
//
// Ownership: the object is shared by its holders (the driver, the driver's
// SQL face, statements) through the holder count: AddRef when a holder keeps
// it, nRelease when it lets go; the release that brings the count to 0
// deletes it. A freshly built object has count 0 and belongs to its creator
// until a holder takes it. Errors and connections passed to the operations
// are only borrowed for the call; nothing keeps them.
//
// "The last error" is the main error's last sub-error, or the main error
// when it has none. Operations marked (last) act on it; when there is none,
// they do nothing and answer 0 or null.
//
// Detail: unless the no-detail flag is set, the adding operations add to the
// error they record the location line of the reporting place (a.b, see
// g_AddDebugInfo) and the connection's native information (g_AddInfoNative).
//
// No lock of its own: used under the driver's process-wide lock.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "CTString.h"
#include "CXError.h"
#include "INAError.h"

class CNAConnectionDescription;

class CNAError : public INAError {
 public:
  // No error: type NA_ERRORTYPE_NONE, level 1, empty text, holder count 0,
  // no-detail flag 0.
  CNAError();
  CNAError(const CNAError&) = delete;
  CNAError& operator=(const CNAError&) = delete;
  // Frees the text, then the wrapped error and its sub-errors.
  ~CNAError() override;

  // ---- Holder count ------------------------------------------------------
  void AddRef() { ++m_nHolderCount; }
  // One holder less; at 0 the object is deleted. Returns the new count; a
  // release at count 0 does nothing and answers 0.
  std::uint32_t nRelease();
  std::uint32_t nGetHolderCount() const { return m_nHolderCount; }

  // ---- INAVersion --------------------------------------------------------
  std::uint32_t nGetVersion() override;        // 1
  std::uint32_t nGetCompatSince() override;    // 1
  std::uint32_t nGetNAVersion() override;      // all ones
  std::uint32_t nGetNACompatSince() override;  // all ones
  void NAVersion_EmptySlot_3() override;

  // ---- INAError ----------------------------------------------------------
  // Rebuilds the text from the full dump of the main error (sub-errors
  // included) and answers it; valid until the next call, Reset or the end.
  const wchar_t* pszGetError() override;
  std::uint32_t dwGetErrorId() override;
  eNA_ERRORTYPE eGetErrorType() override { return m_eType; }
  const wchar_t* pszGetLogicalTableName() override;
  const wchar_t* pszGetItemName() override;
  CXError* pclGetXError() override { return &m_clError; }
  eNAERRORLEVEL eGetErrorLevel() override;
  void EmptySlot52() override;
  void EmptySlot53() override;
  void EmptySlot54() override;
  void EmptySlot55() override;
  void EmptySlot56() override;
  // Clears the wrapped error (messages, codes, items, sub-errors), the type
  // and the text: the object reads "no error" again.
  void Reset() override;

  // ---- Main error --------------------------------------------------------

  // Takes the other's type and a copy of its main error. Nothing for a null
  // pointer or for this object itself.
  void Copy(const INAError* piOther);
  // Records the table name (item 6) when present and not empty, and then
  // the item name (item 7) when present and not empty. An item name without
  // a table name is not recorded. A null error does nothing.
  void SetInfoNames(const wchar_t* pszTable, const wchar_t* pszItem);
  static void g_SetInfoNames(CXError* pclErr, const wchar_t* pszTable, const wchar_t* pszItem);
  // 2 and 3 are given to the wrapped error; 1 (no error) is a full Reset,
  // so that the next failure becomes the main error again; other values
  // are ignored.
  void SetErrorLevel(eNAERRORLEVEL eLevel);
  // A copy of the composed text (as pszGetError composes it).
  CTString StringDump();
  // Replaces the type of the error held (reporting places refine it after
  // the error was added).
  void SetErrorType(eNA_ERRORTYPE eType) { m_eType = eType; }
  // The no-detail flag (see above).
  void SetNoDetail(int bNoDetail) { m_bNoDetail = bNoDetail ? 1u : 0u; }
  int bGetNoDetail() const { return m_bNoDetail != 0; }

  // ---- (last) codes and messages ------------------------------------------

  void SetDataBaseErrorMessage(const wchar_t* pszMessage);  // item 18
  void SetDataBaseErrorCode(std::uint32_t dwCode);          // item 15
  std::uint32_t dwGetDataBaseErrorCode();                   // item 15, or 0
  std::uint32_t dwGetADOErrorCode();                        // item 17, or 0
  // Sets the system error code, keeping the system message.
  void SetSystemErrorCode(std::uint32_t dwCode);
  std::uint32_t dwGetSystemErrorCode();
  // L"" when the error has no system message; null without a last error.
  const wchar_t* pszGetSystemErrorMessage();
  std::uint32_t nGetUserErrorCode();
  void AddDebugMessageNoFormat(const wchar_t* pszText);
  // Before the existing debug text; a null or empty text is ignored.
  void AddDebugMessageNoFormatFirst(const wchar_t* pszText);
  // Message nId of this library formatted with the arguments, appended to
  // the debug text.
  void AddDebugMessage(unsigned int nId, ...);
  void AddUserMessageNoFormat(const wchar_t* pszText);
  void AddUserMessage(unsigned int nId, ...);
  // Before the existing user text.
  void AddUserMessageFirst(unsigned int nId, ...);
  // The location line of the reporting place (a, b).
  void AddDebugInfo(int a, int b);
  // Appends to the debug message of *pclErr the location line
  // "IEKXMARIA=a.b" with the module word and the library's version (see
  // AddInternalErrorLocation). A null error does nothing.
  static void g_AddDebugInfo(CXError* pclErr, int a, int b);
  // Lets the connection add its native information to *pclErr. Nothing
  // when either is null.
  static void g_AddInfoNative(CXError* pclErr, CNAConnectionDescription* pclCnx);

  // ---- Adding operations -------------------------------------------------

  // Appends a copy of the error as a sub-error of the main error, unless it
  // is null or its level is 1 (no error).
  void AddSubError(const CXError* pclErr);
  // No type yet: the type is set and the main error becomes a copy of
  // *pclErr, with the connection's native information unless no-detail.
  // Otherwise a copy of *pclErr is appended as a sub-error; nothing else
  // changes. A null error is ignored.
  void AddError(eNA_ERRORTYPE eType, const CXError* pclErr, CNAConnectionDescription* pclCnx);
  // The user error nId of this library, formatted with the arguments. No
  // type yet: type set, main error filled, detail added. Otherwise it is
  // appended as a sub-error with its location line (unless no-detail).
  void AddError(eNA_ERRORTYPE eType, int a, int b, CNAConnectionDescription* pclCnx,
                unsigned int nId, ...);
  void AddError(eNA_ERRORTYPE eType, unsigned int nId, int a, int b,
                CNAConnectionDescription* pclCnx);
  // As AddError, but when an error is already held the new one takes the
  // main place (with the given type and its location line unless
  // no-detail), and the former main error, with its sub-errors, becomes its
  // one sub-error.
  void AddErrorFirst(eNA_ERRORTYPE eType, int a, int b, CNAConnectionDescription* pclCnx,
                     unsigned int nId, ...);
  // A database error: user error nId with the connection's database name
  // (L"" without one) and the code as arguments; the message, when present
  // and not empty, as a user line and as the system message; the code, when
  // not 0, as item 15; then the names. No type yet: it becomes the main
  // error (with native information unless no-detail); otherwise a
  // sub-error.
  void _SetDataBaseError(eNA_ERRORTYPE eType, CNAConnectionDescription* pclCnx, unsigned int nId,
                         unsigned int nCode, const wchar_t* pszMessage, const wchar_t* pszTable,
                         const wchar_t* pszItem);
  // A failed value conversion: kind 0 clears, 1 user error 65, 100 out of
  // memory, 101 user error 61, 104 66, 105 60, 106 64, 107 63, each with
  // p1 and p2 as arguments. Any other kind (a cast failure the list does not
  // name, such as 108) is recorded as kind 1, so that a failure never reads
  // as "no error". No type yet: type 0, and unless no-detail the names, the
  // location line and the native information. Otherwise a sub-error with the
  // names and the location line (unless no-detail).
  void SetAnyError(int nKind, int p1, int p2, int a, int b, CNAConnectionDescription* pclCnx,
                   const wchar_t* pszTable, const wchar_t* pszItem);

 private:
  bool _bHasType() const { return m_eType != NA_ERRORTYPE_NONE; }
  // The last error; null when the sub-error count indexes none.
  CXError* _pclGetLastXError();
  // Main error = user error nId with the arguments, type set, detail added.
  void _SetError(eNA_ERRORTYPE eType, int a, int b, CNAConnectionDescription* pclCnx,
                 unsigned int nId, va_list args);
  void _AddErrorList(eNA_ERRORTYPE eType, int a, int b, CNAConnectionDescription* pclCnx,
                     unsigned int nId, va_list args);
  void _SetDataBaseErrorXError(CXError* pclErr, CNAConnectionDescription* pclCnx,
                               unsigned int nId, unsigned int nCode, const wchar_t* pszMessage,
                               const wchar_t* pszTable, const wchar_t* pszItem);
  // Appends a copy of the error to the main error's sub-errors.
  void _AppendSubError(const CXError& clErr);
  std::uint32_t _dwGetLastInfo32(eERRORINFOTYPE eType);

  std::uint32_t m_nHolderCount = 0;
  eNA_ERRORTYPE m_eType = NA_ERRORTYPE_NONE;
  _CXErrorModule76 m_clError;
  CTString m_csText;
  std::uint32_t m_bNoDetail = 0;
};
