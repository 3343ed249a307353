#include "TestDriver.h"

#include <cwchar>

#include "CNADataSourceDescription.h"
#include "CNAStatementSQL.h"
#include "CXYStringConcat.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAItemDescription.h"

namespace kxtest {

TestDriverSQL::TestDriverSQL(StatementScript* script, int* alive, const TestStatementMaker* maker,
                             CNADriver* driver, CNAError* error)
    : CNADriverSQL(driver, error), m_pstScript(script), m_pnAlive(alive), m_pfnMaker(maker) {
  if (m_pnAlive != nullptr) ++*m_pnAlive;
}

TestDriverSQL::~TestDriverSQL() {
  if (m_pnAlive != nullptr) --*m_pnAlive;
}

CNAStatementSQL* TestDriverSQL::pclAllocStatementSQL(CNAConnectionDescription* connection, CNAError* error) {
  if (m_pfnMaker != nullptr && *m_pfnMaker) return (*m_pfnMaker)(connection, error);
  if (m_pstScript == nullptr || m_pstScript->bNoStatement) return nullptr;
  return new RecordingStatement(m_pstScript);
}

int ScriptedTable::bExecuteQuery(int* keep, INAContext* context, const wchar_t* name,
                                 ISQLParserInformation* parser, unsigned int flags,
                                 const INAQueryExecution* execution) {
  ++m_pstScript->nRuns;
  SetQueryBindVariable(m_pstScript->piBindValues);
  if (!m_pstScript->nAnswer) return CNATable::bExecuteQuery(keep, context, name, parser, flags, execution);
  *keep = m_pstScript->nKeep;
  return m_pstScript->nAnswer;
}

namespace {

void AppendQuery(CXYStringConcat<wchar_t>* out, const wchar_t* prefix, const wchar_t* table) {
  out->Add(prefix, static_cast<long>(std::wcslen(prefix)));
  out->Add(table, static_cast<long>(std::wcslen(table)));
}

}  // namespace

int DescribedSource::_bGetQueryShowColumns(CXYStringConcat<wchar_t>* out) {
  AppendQuery(out, L"SHOW COLUMNS FROM ", pszGetDBTableName());
  return 1;
}

int DescribedSource::_bInitItemFromQueryShowColumns(CNAStatementSQL* statement) {
  const bool bKnown = m_psetKnown->count(pszGetDBTableName()) != 0;
  while (statement->bFetch(0) && !statement->bNoCurrentRow())
    if (bKnown && !bAddItem(L"ID", pszGetDBTableName(), L"ID", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0)) return 0;
  return 1;
}

int DescribedSource::_bGetQueryShowIndex(CXYStringConcat<wchar_t>* out) {
  AppendQuery(out, L"SHOW INDEX FROM ", pszGetDBTableName());
  return 1;
}

int DescribedSource::_bInitKeysFromQueryShowIndex(CNAStatementSQL* /*statement*/) { return 1; }

TestDriver::~TestDriver() {
  // The overrides below still answer while the registries empty.
  _Term();
}

CNAConvertVariant* TestDriver::pclAllocVariant(CNAError* error, CNAConnectionDescription* cnx) {
  if (bNoVariant) return nullptr;
  return CNADriver::pclAllocVariant(error, cnx);
}

CNADataSourceDescription* TestDriver::pclAllocDataSourceDescription(CNAConnectionDescription* cnx,
                                                                    CNAError* error) {
  if (bNoDataSource) return nullptr;
  return new DescribedSource(cnx, error, &setKnownTables);
}

CNAContext* TestDriver::pclAllocContext() {
  if (bNoContext) return nullptr;
  ++nContextsMade;
  return CNADriver::pclAllocContext();
}

CNAStatement* TestDriver::pclAllocStatement(CNADataAccess* /*access*/, CNAConnectionDescription* /*cnx*/,
                                            CNAError* /*error*/) {
  return nullptr;
}

CNAError* TestDriver::pclAllocError() {
  pclErrorHeldAtAlloc = m_pclError;
  nErrorHoldersAtAlloc = m_pclError != nullptr ? m_pclError->nGetHolderCount() : 0;
  if (bNoError) return nullptr;
  ++nErrorsMade;
  return CNADriver::pclAllocError();
}

CNADataAccess* TestDriver::pclAllocDataAccess(INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                              CNAError* error) {
  ++nDataAccessesMade;
  if (fnDataAccessMaker) return fnDataAccessMaker(source, cnx, error);
  return CNADriver::pclAllocDataAccess(source, cnx, error);
}

CNAItemDescription* TestDriver::pclAllocItemDescription() {
  if (bNoItem) return nullptr;
  ++nItemsMade;
  return CNADriver::pclAllocItemDescription();
}

CNAConnectionDescription* TestDriver::_pclAllocConnectionDescription(const wchar_t* identification,
                                                                     INAConnectionDescription* cnx) {
  if (bNoConnection) return nullptr;
  ++nConnectionsMade;
  auto* pclCnx = new TestConnection(cnx, identification);
  pclCnx->m_bOpenAnswer = nOpenAnswer;
  pclCnx->m_bIsOpenAnswer = nIsOpenAnswer;
  return pclCnx;
}

CNATable* TestDriver::_pclAllocTable(const wchar_t* identification, INADataSourceDescription* source,
                                     CNAConnectionDescription* cnx, CNAError* error) {
  if (bNoTable) return nullptr;
  ++nTablesMade;
  return new ScriptedTable(identification, source, cnx, error, this, &stQuery);
}

CNADriverSQL* TestDriver::_pclAllocDriverSQL(CNAError* error) {
  if (bNoDriverSQL) return nullptr;
  return new TestDriverSQL(pstScript, &nDriverSQLAlive, &fnStatementMaker, this, error);
}

DriverScope::DriverScope() {
  CNADriverLock clLock;
  m_pclDriver = new TestDriver();
  m_pclDriver->bInitDriver();
  m_pclPrevious = CNADriver::s_pclDriver;
  CNADriver::s_pclDriver = m_pclDriver;
}

DriverScope::~DriverScope() {
  CNADriverLock clLock;
  delete m_pclDriver;
  CNADriver::s_pclDriver = m_pclPrevious;
}

}  // namespace kxtest
