// The version operations that begin every interface the native-access
// library hands to the runtime (error, item description, driver, table ...).
//
// Slots 0 to 4, in this order. The runtime asks them before it uses an
// object: the object's own version, the oldest version it stays compatible
// with, and the same pair for the native-access layer as a whole. Slot 4 is
// empty and does nothing.
//
// No virtual destructor here: each derived interface places its own
// destructor pair where its table puts it.
#pragma once

#include <cstdint>

class INAVersion {
 public:
  virtual std::uint32_t nGetVersion() = 0;        // 0
  virtual std::uint32_t nGetCompatSince() = 0;    // 1
  virtual std::uint32_t nGetNAVersion() = 0;      // 2
  virtual std::uint32_t nGetNACompatSince() = 0;  // 3
  virtual void NAVersion_EmptySlot_3() = 0;       // 4

 protected:
  ~INAVersion() = default;
};
