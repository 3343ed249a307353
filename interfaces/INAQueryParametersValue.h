// INAQueryParametersValue: the values the runtime binds to the parameters
// of one query, attached to the query's table.
//
// The runtime implements it. The library keeps one with ExternalAddRef and
// lets it go with nExternalRelease (slots 5 and 6), and asks slot 8 whether
// the program prepared the query itself: such a query is run again with
// new values, so its table stays registered even when a run did not ask to
// keep it. Slots 9 and 10 are this system's own, after the runtime's: the
// value and the direction of a parameter by name, which the command builder
// reads when it refreshes a query's bind variables. Slot 7 is the runtime's
// and is not called from this side.
#pragma once

#include <cstdint>

#include "INAVersion.h"

class CAny;

class INAQueryParametersValue : public INAVersion {
 public:
  virtual void ExternalAddRef() = 0;              // 5
  virtual std::uint32_t nExternalRelease() = 0;   // 6
  virtual void Reserved7() = 0;                   // 7: the runtime's own
  // 8: non-zero when the program prepared the query itself.
  virtual int bPreparedByProgram() = 0;

  // ---- Our own slots (9 and 10), after the runtime's ----
  // 9: *out = the value bound to parameter `name` (compared without regard
  // to case); false, *out unchanged, when the name has no value. The
  // default knows no name.
  virtual int bGetParameterValue(const wchar_t* /*name*/, CAny* /*out*/) { return 0; }
  // 10: the direction of parameter `name`: 1 input, 2 output, 3 both, 0
  // unknown name (the default).
  virtual int nGetParameterDirection(const wchar_t* /*name*/) { return 0; }

 protected:
  ~INAQueryParametersValue() = default;
};
