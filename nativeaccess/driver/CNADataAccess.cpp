#include "CNADataAccess.h"

#include <new>

#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNARecordId.h"
#include "CNARecordValue.h"
#include "CSQLParserInfo.h"
#include "INADataSourceDescription.h"

CNADataAccess::~CNADataAccess() { SetSourceQuery(nullptr); }

eNA_RECORDIDTYPE CNADataAccess::eEvaluateRecordIdType() { return NA_RECORDID_RECORDVALUES; }

CNARecordId* CNADataAccess::pclAllocRecordID(const CNARecordValue* value) {
  switch (eEvaluateRecordIdType()) {
    case NA_RECORDID_RECORDVALUES:
      return new (std::nothrow) CNARecordId_RecordValues(value);
    case NA_RECORDID_ROWID: {
      CNADriver* pclDriver = CNADriver::s_pclDriver;
      if (pclDriver == nullptr) return nullptr;
      CNAConvertVariant* pclHolder = pclDriver->pclAllocVariantRowID(m_pclError, m_pclConnection);
      if (pclHolder == nullptr) return nullptr;
      CNARecordId* pclId = new (std::nothrow) CNARecordId_RowId(pclHolder);
      if (pclId == nullptr) {
        // The holder came with counts 0: a reference taken and given back
        // frees it.
        pclHolder->AddRef();
        pclHolder->nRelease();
      }
      return pclId;
    }
    default:
      return nullptr;
  }
}

const wchar_t* CNADataAccess::pszGetLogicalName() const {
  const wchar_t* psz = m_piDataSource != nullptr ? m_piDataSource->pszGetLogicalName() : nullptr;
  return psz != nullptr ? psz : L"";
}

void CNADataAccess::SetSourceQuery(CSQLParserInfo* query) {
  if (query == m_pclSourceQuery) return;
  if (query != nullptr) query->AddRef();
  CSQLParserInfo* pclOld = m_pclSourceQuery;
  m_pclSourceQuery = query;
  if (pclOld != nullptr) pclOld->nRelease();
}
