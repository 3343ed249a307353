#include "CNADataAccess.h"

#include <cwchar>
#include <new>

#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNADataSourceDescription.h"
#include "CNAColumn.h"
#include "CNAConnectionDescription.h"
#include "CNADriver.h"
#include "CNAIDAuto.h"
#include "IInfoFrom.h"
#include "INAItemDescription.h"
#include "CAny.h"
#include "CTString.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordId.h"
#include "CNARecordValue.h"
#include "CSQLParserInfo.h"
#include "INADataSourceDescription.h"

namespace {
// Location of the reports of this file.
constexpr int knLocationArea = 71;
constexpr int knLocationContinuation = 1;
constexpr int knLocationInternalQuery = 2;
constexpr int knLocationDescribe = 3;
// User error 38: the operation is not available for this data source.
constexpr unsigned int knErrNotAvailable = 38;
}  // namespace

CNADataAccess::~CNADataAccess() {
  if (m_pclIDAuto != nullptr) m_pclIDAuto->nRelease();
  SetSourceQuery(nullptr);
  _SetImportedDataSourceDesc(nullptr);
}

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

// ======================================================================
// What statements ask of their data access: the defaults keep nothing.
// ======================================================================

std::uint32_t CNADataAccess::nKeepOriginalRecordSave(CNAStatement* /*statement*/) { return knNoRecordSave; }

std::uint32_t CNADataAccess::nKeepCurrentRecordSave() { return knNoRecordSave; }

void CNADataAccess::AddRefRecordSave(std::uint32_t /*save*/) {}

int CNADataAccess::nReleaseRecordSave(std::uint32_t /*save*/) { return 0; }

int CNADataAccess::bRestoreOriginalRecordSave(std::uint32_t /*save*/) { return 0; }

int CNADataAccess::bCopyOriginalRecordToCurrentRecord() {
  CNARecord* pclRecord = pclGetCurrentRecord();
  return pclRecord != nullptr ? pclRecord->bCopyOriginalRecordToCurrentRecord() : 0;
}

int CNADataAccess::bGoToStmtOriginalRecord(int /*unused*/, CNAStatement* /*statement*/, int /*lock*/,
                                           eNA_PARSEDIRECTION /*direction*/, long /*count*/) {
  // The continuation SELECT is the data-access layer's: a parse whose
  // block was full cannot go on through this generic access.
  return _bNotAvailable(knLocationContinuation);
}

void CNADataAccess::ClosingStatement(CNAStatement* /*statement*/) {}

int CNADataAccess::bSetCurrentRecordRead(int /*unused*/) {
  // The record as read becomes the one a browse resumes from and a write
  // addresses; this access keeps no record saves, so there is none to give
  // back. Without a record layout there is nothing to mark.
  CNARecord* pclRecord = pclGetCurrentRecord();
  if (pclRecord == nullptr) return 1;
  CNARecordValue* pclCurrent = pclRecord->pclGetCurrentRecordValue();
  if (pclCurrent != nullptr) pclCurrent->SetRecordState(NA_RECORDSTATE_READ);
  return pclRecord->bCopyCurrentRecordToOriginalRecord();
}

CNADataSourceDescription* CNADataAccess::_pclAllocDataSource(CNAConnectionDescription* /*connection*/,
                                                             CNAError* /*error*/) {
  return nullptr;
}

int CNADataAccess::bInitDataSourceFromResult(CNADataSourceDescription* /*description*/,
                                             CNAStatementSQL* /*statement*/) {
  // Describing a result is the data-access layer's: an empty description
  // taken for the result's would lose every column.
  return _bNotAvailable(knLocationDescribe);
}

int CNADataAccess::_bNotAvailable(int location) {
  if (m_pclError != nullptr) {
    m_pclError->AddError(NA_ERRORTYPE_UNAVAILABLE, knLocationArea, location, m_pclConnection, knErrNotAvailable);
    m_pclError->SetInfoNames(pszGetLogicalName(), nullptr);
  }
  return 0;
}

void CNADataAccess::_SetImportedDataSourceDesc(CNADataSourceDescription* description) {
  if (description == m_pclImportedSource) return;
  if (description != nullptr) description->AddRef();
  CNADataSourceDescription* pclOld = m_pclImportedSource;
  m_pclImportedSource = description;
  if (pclOld != nullptr) pclOld->nRelease();
}

INADataSourceDescription* CNADataAccess::piGetDataSourceDescription() {
  INADataSourceDescription* pi = m_pclImportedSource != nullptr
                                     ? static_cast<INADataSourceDescription*>(m_pclImportedSource)
                                     : m_piDataSource;
  if (pi != nullptr) pi->ExternalAddRef();
  return pi;
}

CNATableCache* CNADataAccess::pclGetTableCache() { return nullptr; }

int CNADataAccess::bRequeteSansCorrection() { return 0; }

CNACommand* CNADataAccess::pclAllocCommand(CNAError* error) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver != nullptr) return pclDriver->pclAllocCommand(error, m_pclConnection);
  return ::pclAllocCommand(error, m_pclConnection);
}

CNARecord* CNADataAccess::pclGetCurrentRecord() { return m_pclCurrentRecord; }

int CNADataAccess::bExecuteQueryInternal(CNAStatement** statement, const wchar_t* /*name*/,
                                         const wchar_t* /*query*/) {
  if (statement != nullptr) *statement = nullptr;
  // Describing a result needs the data-access layer: this generic access
  // runs no query of its own.
  return _bNotAvailable(knLocationInternalQuery);
}

// ======================================================================
// What the write texts ask
// ======================================================================

int CNADataAccess::bSourceIsQueryOnMultipleTables() {
  return bIsQuery() && m_pclSourceQuery != nullptr && m_pclSourceQuery->nGetFichierFromNbr() > 1 ? 1 : 0;
}

void CNADataAccess::_GetDBSourceName(INAItemDescription* item, CTString* out, int format) {
  if (out == nullptr) return;
  out->Vide();
  const wchar_t* pszSource = item != nullptr ? item->pszGetSourceName() : nullptr;
  if (pszSource == nullptr || *pszSource == 0) return;
  CTString csName(pszSource);
  if (m_pclSourceQuery != nullptr) {
    // A FROM table named (or aliased) so gives its server name.
    for (int n = 0; n < m_pclSourceQuery->nGetFichierFromNbr(); ++n) {
      IInfoFrom* piFrom = m_pclSourceQuery->piGetFichierFrom(n);
      if (piFrom == nullptr) continue;
      const wchar_t* pszTable = piFrom->pszGetNomTable();
      const wchar_t* pszAlias = piFrom->pszGetAlias();
      const bool bSame = (pszTable != nullptr && std::wcscmp(pszTable, pszSource) == 0) ||
                         (pszAlias != nullptr && std::wcscmp(pszAlias, pszSource) == 0);
      if (!bSame) continue;
      CTString csServer = m_pclSourceQuery->csGetFichierFrom_DBTableName(n);
      if (csServer.nTaille() > 0)
        csName = csServer;
      else if (pszTable != nullptr && *pszTable != 0)
        csName.Set(pszTable);
      break;
    }
  }
  if (format && m_pclConnection != nullptr) {
    m_pclConnection->bFormatTableName(m_pclError, csName.pszGet(), out);
    return;
  }
  *out = csName;
}

CNAIDAuto* CNADataAccess::pclGetIDAuto() {
  if (m_pclIDAuto == nullptr) {
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAIDAuto* pclNew = pclDriver != nullptr ? pclDriver->pclAllocIDAuto() : new (std::nothrow) CNAIDAuto();
    if (pclNew == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return nullptr;
    }
    pclNew->AddRef();
    m_pclIDAuto = pclNew;
  }
  m_pclIDAuto->AddRef();
  return m_pclIDAuto;
}

int CNADataAccess::bSetNewAutoId() {
  CNARecord* pclRecord = pclGetCurrentRecord();
  CNAColumn* pclColumn = pclRecord != nullptr ? pclRecord->pclGetColumnIDAutoNoRef() : nullptr;
  if (pclColumn == nullptr) return 1;
  CNAIDAuto* pclIDAuto = pclGetIDAuto();
  if (pclIDAuto == nullptr) return 0;
  CAny clValue;
  int bOk = pclIDAuto->bGetNextValue(this, pclColumn, m_pclError, &clValue);
  if (bOk) bOk = pclColumn->bSetValue(&clValue, 0);
  pclIDAuto->nRelease();
  return bOk;
}
