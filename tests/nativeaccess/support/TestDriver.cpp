#include "TestDriver.h"

#include "CNADataSourceDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"

namespace kxtest {

TestDriverSQL::TestDriverSQL(StatementScript* script, int* alive, const TestStatementMaker* maker)
    : m_pstScript(script), m_pnAlive(alive), m_pfnMaker(maker) {
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

TestDriver::~TestDriver() {
  // The overrides below still answer while the registries empty.
  _Term();
}

CNADataSourceDescription* TestDriver::pclAllocDataSourceDescription(CNAConnectionDescription* cnx,
                                                                    CNAError* error) {
  if (bNoDataSource) return nullptr;
  return CNADriver::pclAllocDataSourceDescription(cnx, error);
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
  return CNADriver::_pclAllocTable(identification, source, cnx, error);
}

CNADriverSQL* TestDriver::_pclAllocDriverSQL(CNAError* /*error*/) {
  if (bNoDriverSQL) return nullptr;
  return new TestDriverSQL(pstScript, &nDriverSQLAlive, &fnStatementMaker);
}

std::uint64_t TestDriver::_nGetContextNumber(INAContext* context) {
  auto it = mapContextNumbers.find(context);
  return it != mapContextNumbers.end() ? it->second : CNADriver::_nGetContextNumber(context);
}

const wchar_t* TestDriver::_pszGetDataSourceName(INADataSourceDescription* source) {
  auto it = mapSourceNames.find(source);
  return it != mapSourceNames.end() ? it->second.c_str() : nullptr;
}

}  // namespace kxtest
