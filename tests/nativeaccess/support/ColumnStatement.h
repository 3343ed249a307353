// ColumnStatement: an executed driver-level statement whose result columns
// the test lists (name, item type and size, key flags, source table, name
// in source, database type text and code), for what describes a result
// from its columns. bFailColumns makes the column description fail, as a
// driver that cannot describe its result does.
//
// Needs no stand-in library.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "CNAColumnSQL.h"
#include "CNAStatementSQL.h"

namespace kxtest {

struct ColumnSpec {
  std::wstring sName;
  eNA_ITEMTYPE eType = NA_IT_I4;
  std::uint32_t nSize = 4;
  std::uint16_t wKeyFlags = 0;
  std::wstring sSourceTable;
  std::wstring sNameInSource;
  std::wstring sDBType;
  std::uint32_t nNativeType = 0;
};

class ColumnStatement : public CNAStatementSQL {
 public:
  explicit ColumnStatement(std::vector<ColumnSpec> columns) : m_vecColumns(std::move(columns)) {
    m_nColumnCount = static_cast<std::uint32_t>(m_vecColumns.size());
  }
  bool bFailColumns = false;

  int _bInitTabNAColumn() override {
    if (bFailColumns) return 0;
    m_pclColumns = new CNAColumnSQL[m_vecColumns.size()];
    for (std::size_t i = 0; i < m_vecColumns.size(); ++i) {
      const ColumnSpec& s = m_vecColumns[i];
      CNAColumnSQL& c = m_pclColumns[i];
      c.m_csName = s.sName.c_str();
      c.m_eItemType = s.eType;
      c.m_nItemSize = s.nSize;
      c.m_wKeyFlags = s.wKeyFlags;
      c.m_csSourceTableName = s.sSourceTable.c_str();
      c.m_csNameInSource = s.sNameInSource.c_str();
      c.m_csDBTypeName = s.sDBType.c_str();
      c.m_nMySQLType = s.nNativeType;
    }
    return 1;
  }

 private:
  std::vector<ColumnSpec> m_vecColumns;
};

}  // namespace kxtest
