#include "CColumnNullValueExcluded.h"

#include "CNAColumn.h"
#include "StrFunctions.h"

CColumnNullValueExcluded::CColumnNullValueExcluded() : m_tabColumns(10), m_tabNullSelected(10) {}

CColumnNullValueExcluded::~CColumnNullValueExcluded() = default;

int CColumnNullValueExcluded::_nFind(const CNAColumn* column) const {
  for (int i = 0; i < m_tabColumns.nGetNbElements(); ++i)
    if (m_tabColumns[i] == column) return i;
  return -1;
}

int CColumnNullValueExcluded::bColumnValuesNullSelected(const CNAColumn* column) const {
  const int i = _nFind(column);
  return i < 0 ? 1 : (m_tabNullSelected[i] != 0 ? 1 : 0);
}

int CColumnNullValueExcluded::bColumnValuesNullSelected(const wchar_t* name) const {
  if (name == nullptr) return 1;
  for (int i = 0; i < m_tabColumns.nGetNbElements(); ++i) {
    const CNAColumn* pclColumn = m_tabColumns[i];
    if (pclColumn != nullptr && STR_nUpCompareW(pclColumn->pszGetOriginalName(), name, 0) == 0)
      return m_tabNullSelected[i] != 0 ? 1 : 0;
  }
  return 1;
}

void CColumnNullValueExcluded::Reset() {
  m_tabColumns.SupprimeDernier(m_tabColumns.nGetNbElements());
  m_tabNullSelected.SupprimeDernier(m_tabNullSelected.nGetNbElements());
}

int CColumnNullValueExcluded::bCombineColumnValuesNullSelected(eNAOperator op, CNAColumn* column,
                                                                int nullSelected) {
  const int b = nullSelected != 0 ? 1 : 0;
  const int i = _nFind(column);
  if (i >= 0) {
    int& flag = m_tabNullSelected[i];
    flag = op == NA_OPERATOR_AND ? (flag != 0 && b != 0) : (flag != 0 || b != 0);
    return 1;
  }
  if (op == NA_OPERATOR_AND && b == 0) {
    m_tabColumns.Ajoute(column);
    m_tabNullSelected.Ajoute(0);
  }
  return 1;
}

int CColumnNullValueExcluded::bCombineColumnValuesNullSelected(eNAOperator op,
                                                                const CColumnNullValueExcluded* other) {
  if (other == nullptr) {
    if (op == NA_OPERATOR_OR) Reset();
    return 1;
  }
  for (int i = 0; i < other->m_tabColumns.nGetNbElements(); ++i)
    bCombineColumnValuesNullSelected(op, other->m_tabColumns[i], other->m_tabNullSelected[i]);
  return 1;
}

int CColumnNullValueExcluded::bCopyColumnValuesNullSelected(const CColumnNullValueExcluded* other, int invert) {
  if (other == nullptr) return 1;
  for (int i = 0; i < other->m_tabColumns.nGetNbElements(); ++i) {
    const int b = other->m_tabNullSelected[i] != 0 ? 1 : 0;
    m_tabColumns.Ajoute(other->m_tabColumns[i]);
    m_tabNullSelected.Ajoute(invert ? 1 - b : b);
  }
  return 1;
}
