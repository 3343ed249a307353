// INAQueryParametersValue: the values the runtime binds to the parameters
// of one query, attached to the query's table.
//
// The runtime implements it. The library keeps one with ExternalAddRef and
// lets it go with nExternalRelease (slots 5 and 6), and asks slot 8 whether
// the program prepared the query itself: such a query is run again with
// new values, so its table stays registered even when a run did not ask to
// keep it. The other slots are the runtime's and are not called from this
// side.
#pragma once

#include <cstdint>

#include "INAVersion.h"

class INAQueryParametersValue : public INAVersion {
 public:
  virtual void ExternalAddRef() = 0;              // 5
  virtual std::uint32_t nExternalRelease() = 0;   // 6
  virtual void Reserved7() = 0;                   // 7: the runtime's own
  // 8: non-zero when the program prepared the query itself.
  virtual int bPreparedByProgram() = 0;

 protected:
  ~INAQueryParametersValue() = default;
};
