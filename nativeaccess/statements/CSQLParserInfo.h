// CSQLParserInfo: what the library keeps of a parsed query (the SQL
// runtime's parser information). Declared here with what the record layer
// and the command builder read of it: the items of the query's ORDER BY
// clause, in clause order, and the parsed query's kind (the platform's
// query kinds: 1 SELECT, 3 UPDATE, 4 INSERT ...; 0 when unknown); the
// statement layer completes it.
//
// Ownership: a CInterf. The ORDER BY items belong to the SQL runtime and
// are not referenced here; they live as long as the parser information.
#pragma once

#include <cstdint>
#include <vector>

#include "CInterf.h"

class IInfoRubrique;

class CSQLParserInfo : public CInterf {
 public:
  CSQLParserInfo() = default;
  ~CSQLParserInfo() override = default;

  // The ORDER BY entries one by one: a non-zero `first` restarts from the
  // first entry; each call answers the entry at the cursor and advances it;
  // null past the end. No reference is taken for the caller.
  IInfoRubrique* piEnumRubriqueClauseOrder(int first) {
    if (first != 0) m_nOrderCursor = 0;
    if (m_nOrderCursor < 0 || static_cast<std::size_t>(m_nOrderCursor) >= m_tabOrder.size()) return nullptr;
    return m_tabOrder[static_cast<std::size_t>(m_nOrderCursor++)];
  }
  // Appends an entry to the ORDER BY clause (filled from the parser).
  void AddRubriqueClauseOrder(IInfoRubrique* item) { m_tabOrder.push_back(item); }

  // The parsed query's kind (filled from the parser).
  std::int32_t nGetQueryKind() const { return m_nQueryKind; }
  void SetQueryKind(std::int32_t kind) { m_nQueryKind = kind; }

 protected:
  std::vector<IInfoRubrique*> m_tabOrder;
  int m_nOrderCursor = -1;
  std::int32_t m_nQueryKind = 0;
};
KX_CINTERF_REF_TRAITS(CSQLParserInfo)
