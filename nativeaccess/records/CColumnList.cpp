#include "CColumnList.h"

#include <cwchar>

#include "CNAColumn.h"
#include "CNARecord.h"
#include "CNAStatement.h"

CColumnList::CColumnList() : m_clText(1024) {}

CColumnList::~CColumnList() = default;

void CColumnList::Empty() {
  m_clText.SetLength(0);
  m_nCount = 0;
}

void CColumnList::AddColumn(const wchar_t* name) {
  if (m_nCount > 0) m_clText.Add(L",", 1);
  if (name != nullptr) m_clText.Add(name, static_cast<long>(std::wcslen(name)));
  ++m_nCount;
}

void CColumnList::BuildColumnList(CNAStatement* statement, int withIdentifiers) {
  CNARecord* pclRecord = statement != nullptr ? statement->pclGetRecordNoRef() : nullptr;
  if (pclRecord == nullptr) return;
  const unsigned nFlags = static_cast<unsigned>(statement->nGetBindDefineFlag());
  for (int i = 0; i < pclRecord->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    if (pclColumn == nullptr || !pclColumn->bMustDefine(nFlags)) continue;
    if (!withIdentifiers && pclColumn->bIsIdAuto()) continue;
    AddColumn(pclColumn->pszGetFormatedName());
  }
}
