// CNAStatementSQL: a driver-level statement through which a connection runs
// SQL text of its own (transaction statements, locks, single values).
//
// The driver's SQL face allocates one per use for a connection (see
// StatementSeam.h); the connection holds one internal reference for the
// length of the call and gives it back, which deletes the statement.
// Both CInterf counts apply: internal references by the library, external
// ones by the runtime. The concrete driver's statement overrides the two
// operations; the base statement runs nothing.
#pragma once

#include <cstdint>

#include "CInterf.h"

class CAny;
class CTabValParser;

// Flags of a direct execution; the connection passes none.
enum NA_WRITEPARSEFLAGS : std::uint32_t {
  NA_WRITEPARSE_NONE = 0,
};

class CNAStatementSQL : public CInterf {
 public:
  CNAStatementSQL() = default;
  ~CNAStatementSQL() override;

  // Runs `text` at once, with the given parameters (null: none). True on
  // success; a failure is recorded in the statement's error object. The
  // base runs nothing and answers false.
  virtual int bExecuteDirect(const wchar_t* text, CTabValParser* parameters,
                             NA_WRITEPARSEFLAGS flags);
  // Runs `query` and puts the column `column` of its first row into *out.
  // False on failure. The base runs nothing and answers false.
  virtual int bGetRequestedValue(CAny* out, int column, const wchar_t* query);
  // *count = the number of columns of the current result set (0 for a
  // statement that made none, such as an update). True on success. The
  // base has no result set: 0, true.
  virtual int bGetColumnNbr(int* count, unsigned int flags);
};
KX_CINTERF_REF_TRAITS(CNAStatementSQL)
