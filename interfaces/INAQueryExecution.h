// INAQueryExecution: the runtime's execution context of one query, handed
// with a query run (the driver's bHExecuteRequeteSQLEx, the table's
// bExecuteQuery) and read when the query's browse starts.
//
// The runtime implements it; the library reads two answers and keeps
// nothing: the write-parse flags of the first read of a selecting query
// (bits of NA_WRITEPARSEFLAGS), and the name of the item to browse on (null
// or empty: none; the text stays owned by the object and valid during the
// call that passed it).
//
// The runtime's table for this object is not known beyond these answers:
// both are open operations, slots 0 and 1, under names of this system's
// own; operations needed later go after the last one, never between. The
// object is passed const and only for the length of the call: no count is
// taken.
#pragma once

#include <cstdint>

class INAQueryExecution {
 public:
  // ---- Open operations ----
  // 0: the write-parse flags for the first read of a selecting query.
  virtual std::uint32_t nGetWriteParseFlags() const = 0;
  // 1: the item to browse on; null or empty when the runtime names none.
  virtual const wchar_t* pszGetParseItemName() const = 0;

 protected:
  ~INAQueryExecution() = default;
};
