// CNADataAccess: a refusal of the server typed for the runtime. A duplicate
// key (3), a lock conflict (2) and a missing mandatory value (8) name the
// table and, when the data access can find it, the item concerned; a
// CREATE TABLE refused for a text column too long for the server is
// rewritten with the server's large text type and run once more.
#include "CAny.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAFilter.h"
#include "CNAHeld.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "INAItemDescription.h"

namespace {
// Server refusals of a CREATE TABLE that a longer text type may mend: a
// column too long, a row too wide. Any other failure (a lost connection
// above all) leaves the statement as it was refused.
constexpr std::uint32_t knErrColumnTooLong = 1074;
constexpr std::uint32_t knErrRowTooWide = 1118;

// Whether the column's item, or the item imported from the server for it,
// is unique.
bool bColumnUnique(CNAColumn* column) {
  INAItemDescription* piItem = column->piGetItemDescription();
  if (piItem != nullptr && piItem->bUnique(0)) return true;
  INAItemDescription* piImported = column->piGetImportedItemDescNoRef();
  return piImported != nullptr && piImported->bUnique(0);
}
// The error typed `type` naming the table and `item` (given back here);
// false, nothing set, without an item.
int bNameError(CNAError* error, eNA_ERRORTYPE type, const wchar_t* table, INAItemDescription* item) {
  if (item == nullptr) return 0;
  CNAHeldItem clItem(item);
  error->SetErrorType(type);
  error->SetInfoNames(table, item->pszGetName());
  return 1;
}
}  // namespace

int CNADataAccess::_bProcessError(CNACommand* command, CNAStatement* statement, eNAQUERYTYPE type,
                                  NA_WRITEPARSEFLAGS /*flags*/) {
  const eNA_ERRORTYPE eType = eGetNAErrorType();
  if (eType > NA_ERRORTYPE_MANDATORY || m_pclError == nullptr) return 0;
  switch (static_cast<std::uint32_t>(eType)) {
    case 0:
      return type == NA_QUERY_CREATETABLE ? _bRepairCreateTable(command, statement) : 0;
    case 3:
      if (!_bInitErrorDuplicateItemName(type)) m_pclError->SetErrorType(NA_ERRORTYPE_DUPLICATE);
      return 0;
    case 8:
      if (!_bInitErrorNeedItemValueItemName(type)) m_pclError->SetErrorType(NA_ERRORTYPE_MANDATORY);
      return 0;
    case 5:
    case 6:
      return 0;
    default:
      m_pclError->SetErrorType(eType);
      return 0;
  }
}

int CNADataAccess::_bRepairCreateTable(CNACommand* command, CNAStatement* statement) {
  if (command == nullptr || statement == nullptr || m_pclConnection == nullptr) return 0;
  const std::uint32_t nCode = m_pclError->dwGetDataBaseErrorCode();
  if (nCode != knErrColumnTooLong && nCode != knErrRowTooWide) return 0;
  const int nMax = m_pclConnection->nGetVarCharMaxLen();
  const int nNMax = m_pclConnection->nGetNVarCharMaxLen();
  if (nMax == -1 && nNMax == -1) return 0;
  CTString csText;
  bool bChanged = false;
  if (nMax != -1) {
    const wchar_t* pszSQL = command->pszGetFormatedSQL(PARAMTYPECONV_ALL);
    if (pszSQL != nullptr)
      bChanged = CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(&csText, pszSQL, m_pclConnection->pszGetVarCharType(),
                                                                  nMax, m_pclConnection->pszGetCLOBType()) != 0;
  }
  if (nNMax != -1) {
    CTString csInput;
    if (bChanged) {
      csInput = csText;
    } else {
      const wchar_t* pszSQL = command->pszGetFormatedSQL(PARAMTYPECONV_ALL);
      csInput.Set(pszSQL != nullptr ? pszSQL : L"");
    }
    CTString csNational;
    if (CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(&csNational, csInput.pszGet(),
                                                         m_pclConnection->pszGetNVarCharType(), nNMax,
                                                         m_pclConnection->pszGetNCLOBType())) {
      csText = csNational;
      bChanged = true;
    }
  }
  if (!bChanged) return 0;
  CNACommand* pclRepaired = pclAllocCommand(m_pclError);
  if (pclRepaired == nullptr) {
    m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  CNAHeld<CNACommand> clHeld(pclRepaired);
  pclRepaired->bComplete(csText.pszGet());
  pclRepaired->SetQueryType(TYPEREQUETE_CREATE);
  if (!statement->bExecuteDirectNewCommand(pclRepaired, static_cast<NA_WRITEPARSEFLAGS>(0), NA_ST_PREPARE)) return 0;
  m_pclError->Reset();
  return 1;
}

int CNADataAccess::_bInitErrorDuplicateItemName(eNAQUERYTYPE type) {
  return bNameError(m_pclError, NA_ERRORTYPE_DUPLICATE, pszGetLogicalName(),
                    piGetDuplicateItem(type == NA_QUERY_INSERT ? 1 : 0));
}

int CNADataAccess::_bInitErrorNeedItemValueItemName(eNAQUERYTYPE type) {
  return bNameError(m_pclError, NA_ERRORTYPE_MANDATORY, pszGetLogicalName(),
                    piGetNullItemDesc(type == NA_QUERY_INSERT ? 1 : 0));
}

INAItemDescription* CNADataAccess::piGetDuplicateItem(int all) {
  CNARecord* pclRecord = pclGetCurrentRecord();
  if (pclRecord == nullptr) return nullptr;
  CNAStatement* pclStatement = _pclAllocStatement(this, m_pclError);
  if (pclStatement == nullptr) return nullptr;
  CNAHeld<CNAStatement> clStatement(pclStatement);
  for (int i = 0; i < pclRecord->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    if (pclColumn == nullptr || !bColumnUnique(pclColumn)) continue;
    if (!all && !pclColumn->bValueModified()) continue;
    INAItemDescription* piItem = pclColumn->piGetItemDescription();
    if (piItem != nullptr && __bDuplicateItem(piItem, pclStatement)) {
      piItem->ExternalAddRef();
      return piItem;
    }
  }
  return nullptr;
}

int CNADataAccess::__bDuplicateItem(INAItemDescription* item, CNAStatement* statement) {
  if (item == nullptr || statement == nullptr) return 0;
  CNAFilter* pclFilter = statement->pclAllocFilter();
  if (pclFilter == nullptr) return 0;
  CNAHeld<CNAFilter> clFilter(pclFilter);
  if (!pclFilter->bSetFilter(pclGetCurrentRecord(), item, nullptr, 1, nullptr, 1, nullptr, 8)) return 0;
  pclFilter->ActivateFilter(1);
  statement->_SetFilter(pclFilter);
  long nCount = 0;
  return statement->bGetNbEnr(&nCount, 0, 0) && nCount >= 1 ? 1 : 0;
}

int CNADataAccess::bIsDuplicateItem(int always, CNAColumn* column) {
  if (column == nullptr) return 0;
  CNAStatement* pclStatement = _pclAllocStatement(this, m_pclError);
  if (pclStatement == nullptr) return 0;
  CNAHeld<CNAStatement> clStatement(pclStatement);
  INAItemDescription* piItem = column->piGetItemDescription();
  if (piItem == nullptr || !piItem->bUnique(0)) return 0;
  if (!always && !column->bValueModified()) return 0;
  return __bDuplicateItem(piItem, pclStatement);
}
