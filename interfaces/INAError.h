// INAError: the error object of the native-access library as the runtime
// reads it (the driver's last error, a statement's error ...).
//
// Slot order is fixed by the runtime, which calls these operations by their
// place in the table: the five version slots of INAVersion (0 to 4), then
// 5 to 16 as numbered below, the destructor pair at 17 and 18, and Reset at
// 19. No virtual member may be added, removed or moved.
//
// The runtime never deletes the object through this interface: the library's
// holders own it (see CNAError). Texts answered stay owned by the object and
// valid until its next call that changes it.
#pragma once

#include <cstdint>

#include "INAVersion.h"

class CXError;

// The class of the error held: all bits set while none is held; the other
// values are set by the reporting places and read by the runtime.
enum eNA_ERRORTYPE : std::uint32_t {
  NA_ERRORTYPE_GENERIC = 0,       // client-library, refused and SQL errors
  NA_ERRORTYPE_LOCK = 2,          // lock conflict
  NA_ERRORTYPE_DUPLICATE = 3,     // duplicate value of a unique key
  NA_ERRORTYPE_UNAVAILABLE = 7,   // operation the layer does not provide
  NA_ERRORTYPE_MANDATORY = 8,     // mandatory value missing
  NA_ERRORTYPE_DIRECTQUERY = 9,   // failed direct execution of a statement
  NA_ERRORTYPE_NONE = 0xFFFFFFFFu,
};

// Error level: 1 no error, 2 and 3 error levels (the wrapped error's levels).
enum eNAERRORLEVEL : std::uint32_t {
  NAERRORLEVEL_NONE = 1,
  NAERRORLEVEL_WARNING = 2,
  NAERRORLEVEL_ERROR = 3,
};

class INAError : public INAVersion {
 public:
  // The composed text of the whole error (main error and sub-errors).
  virtual const wchar_t* pszGetError() = 0;               // 5
  // 0 without error, else the main error's user error code.
  virtual std::uint32_t dwGetErrorId() = 0;               // 6
  virtual eNA_ERRORTYPE eGetErrorType() = 0;              // 7
  // The names recorded on the main error; null when absent.
  virtual const wchar_t* pszGetLogicalTableName() = 0;    // 8
  virtual const wchar_t* pszGetItemName() = 0;            // 9
  // The main error itself (owned by the object).
  virtual CXError* pclGetXError() = 0;                    // 10
  virtual eNAERRORLEVEL eGetErrorLevel() = 0;             // 11
  virtual void EmptySlot52() = 0;                         // 12
  virtual void EmptySlot53() = 0;                         // 13
  virtual void EmptySlot54() = 0;                         // 14
  virtual void EmptySlot55() = 0;                         // 15
  virtual void EmptySlot56() = 0;                         // 16
  virtual ~INAError() = default;                          // 17, 18
  // Back to "no error": no type, level 1, empty text.
  virtual void Reset() = 0;                               // 19
};
