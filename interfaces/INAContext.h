// INAContext: one context of the runtime (a window, a thread of the
// application) in which tables are opened, as the runtime passes it to the
// driver and to tables.
//
// The runtime implements it; the library only asks two identifiers, by slot
// number: the context's own (slot 8), under which the driver keeps its
// per-context object and keys the context's query tables, and that of the
// data used in the context (slot 9), under which a context keeps one data
// access per table. Both are full 64-bit numbers. The slots before them are
// the runtime's (version operations and references) and are not called
// from this side.
//
// The library neither counts nor keeps a context beyond the call that
// passed it; the numbers it keeps stand for it.
#pragma once

#include <cstdint>

#include "INAVersion.h"

class INAContext : public INAVersion {
 public:
  // 5 to 7: the runtime's own; not called by the library.
  virtual void Reserved5() = 0;
  virtual void Reserved6() = 0;
  virtual void Reserved7() = 0;
  // 8: the context's identifier.
  virtual std::uint64_t dwGetContextID() = 0;
  // 9: the identifier of the data used in the context.
  virtual std::uint64_t dwGetDataID() = 0;

 protected:
  ~INAContext() = default;
};
