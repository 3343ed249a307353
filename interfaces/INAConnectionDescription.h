// INAConnectionDescription: the runtime's description of one database
// connection (user, password, data source, provider, extended information,
// timeouts, cursor options, default database ...), as the library reads it
// when the runtime opens a connection.
//
// Slot order is fixed by the runtime, which builds the table: slot 0 is the
// interface's version, slots 1 to 4 the other version operations (not used
// by the library), then 5 to 25 as numbered below. Slots 20, 23 and 24 are
// placeholders the library never calls. Slot 22 exists only on objects whose
// version is above 3: it must not be called on an older object. No virtual
// destructor: the runtime owns the object; the library only takes and gives
// back external references (5, 6).
//
// Texts answered belong to the object and stay valid while the library holds
// its reference and does not change the object. A null text means "not
// given", which the library tells apart from an empty one.
#pragma once

#include <cstdint>

#include "INAVersion.h"

// The runtime's connection object behind slot 18: its first field is the
// connection's name; the runtime's further fields follow and are not read.
struct stNAConnectionObject {
  const wchar_t* pszName;
};

// One parameter of the description (slot 13); opaque to the library.
class INAConnectionParameter;

class INAConnectionDescription : public INAVersion {
 public:
  virtual void ExternalAddRef() = 0;                                 // 5
  virtual std::uint32_t nExternalRelease() = 0;                      // 6
  virtual const wchar_t* pszGetUserName() = 0;                       // 7
  virtual const wchar_t* pszGetPassword() = 0;                       // 8
  virtual const wchar_t* pszGetDataSource() = 0;                     // 9
  virtual const wchar_t* pszGetDescription() = 0;                    // 10
  virtual int nGetAccess() = 0;                                      // 11
  virtual int nGetNbParam() = 0;                                     // 12
  virtual INAConnectionParameter* piGetParam(int nIndex) = 0;        // 13
  virtual const wchar_t* pszGetProvider() = 0;                       // 14
  virtual int nGetConnectionTimeout() = 0;                           // 15
  virtual int nGetCommandTimeout() = 0;                              // 16
  virtual const wchar_t* pszGetExtendedInfo() = 0;                   // 17
  virtual const stNAConnectionObject* pstGetConnectionObject() = 0;  // 18
  virtual std::int32_t lGetCursorOptions() = 0;                      // 19
  virtual void EmptySlot20() = 0;                                    // 20
  virtual const wchar_t* pszGetDefaultDataBase() = 0;                // 21
  virtual std::int64_t llGetCacheSize() = 0;                         // 22 (version > 3)
  virtual void EmptySlot23() = 0;                                    // 23
  virtual void EmptySlot24() = 0;                                    // 24
  virtual const wchar_t* pszGetLogicalConnectionName() = 0;          // 25

 protected:
  ~INAConnectionDescription() = default;
};
