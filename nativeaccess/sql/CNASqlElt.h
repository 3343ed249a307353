// CNASqlElt: one clause of a parsed query's text, as the command builder
// rewrites it clause by clause: its kind and its start and stop positions
// in the query text.
//
// Ownership: a CInterf (counts 0 at construction).
#pragma once

#include <cstdint>

#include "CInterf.h"

class CNASqlElt : public CInterf {
 public:
  // The clause kinds.
  enum eSQLELT : std::int32_t {
    SQLELT_NONE = 0,
    SQLELT_SELECT = 1,   // output items of a SELECT, or the column list of an INSERT
    SQLELT_FROM = 2,     // one table of the FROM clause
    SQLELT_WHERE = 3,
    SQLELT_GROUPBY = 4,
    SQLELT_HAVING = 5,
    SQLELT_ORDERBY = 6,  // from its start to the end of the text
    SQLELT_BIND = 7,     // bind values of the query text
    SQLELT_JOIN = 8,     // one JOIN
    SQLELT_SET = 10,     // SET list of an UPDATE, or the VALUES of an INSERT
  };

  CNASqlElt(eSQLELT kind, long start, long stop) : m_eKind(kind), m_nStart(start), m_nStop(stop) {}
  ~CNASqlElt() override = default;

  eSQLELT eGetKind() const { return m_eKind; }
  long nGetStart() const { return m_nStart; }
  long nGetStop() const { return m_nStop; }

  // Orders elements by start position, ascending: -1, 0 (equal starts) or
  // 1. The arguments point at element pointers, as a sort of a pointer
  // array hands them over.
  static int pfnCmpELT(const void* a, const void* b);

 private:
  eSQLELT m_eKind;
  long m_nStart;
  long m_nStop;
  [[maybe_unused]] std::int64_t m_nReserved = 0;  // kept at 0, never read
};
KX_CINTERF_REF_TRAITS(CNASqlElt)
