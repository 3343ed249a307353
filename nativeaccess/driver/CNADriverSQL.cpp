#include "CNADriverSQL.h"

#include "CNAError.h"
#include "CXError.h"

CNADriverSQL::~CNADriverSQL() = default;

std::uint32_t CNADriverSQL::nExternalRelease() {
  if (m_nExternalCount == 0) return 0;
  const std::uint32_t nLeft = --m_nExternalCount;
  if (nLeft == 0) _DeleteIfUnreferenced();
  return nLeft;
}

int CNADriverSQL::bExecute(CNAError* error, CNAStatementSQL** statement,
                           CNAConnectionDescription* connection, const wchar_t* text,
                           CTabValParser* parameters, NA_WRITEPARSEFLAGS flags) {
  if (statement != nullptr) *statement = nullptr;
  CNAStatementSQL* pclStatement = pclAllocStatementSQL(connection, error);
  if (pclStatement == nullptr) {
    // A refusal must never read as success with nothing reported.
    if (error != nullptr && error->eGetErrorType() == NA_ERRORTYPE_NONE)
      error->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclStatement->AddRef();
  int bResult = pclStatement->bExecuteDirect(text, parameters, flags);
  if (bResult) {
    int nColumns = 0;
    bResult = pclStatement->bGetColumnNbr(&nColumns, 0);
    if (bResult && nColumns != 0 && statement != nullptr) {
      *statement = pclStatement;
      return bResult;
    }
  }
  pclStatement->nRelease();
  return bResult;
}

int CNADriverSQL::_bGetDatabaseList(CXYStringConcat<wchar_t>* /*out*/,
                                    CNAConnectionDescription* /*connection*/, unsigned int /*flags*/) {
  return 0;
}

int CNADriverSQL::bGetTableList(CAny* /*result*/, CNAConnectionDescription* /*connection*/,
                                const wchar_t* /*filter*/, unsigned int /*flags*/) {
  return 0;
}

int CNADriverSQL::bGetColumnList(CAny* /*result*/, CNAConnectionDescription* /*connection*/,
                                 const wchar_t* /*table*/, unsigned int /*flags*/) {
  return 0;
}

int CNADriverSQL::bGetLinkList(CAny* /*result*/, CNAConnectionDescription* /*connection*/,
                               const wchar_t* /*table*/, INADataSourceDescription* /*source*/,
                               unsigned int /*flags*/) {
  return 0;
}

int CNADriverSQL::bGetColumnTypeList(CAny* /*result*/, int /*reserved1*/, int /*reserved2*/) { return 0; }
