// The test driver: a concrete CNADriver whose factories a test scripts.
//
// It overrides the factory slots the registries use: 46 (data-source
// descriptions), 47 (contexts), 52 (error objects), 57 (item
// descriptions), 59 (connections: a TestConnection on the runtime's
// description), 60 (tables), 61 (the SQL face: a TestDriverSQL handing out
// RecordingStatements on the statement script pstScript, by default the
// driver's own stScript), and the two reads
// of the runtime's interfaces (a context's number, a source's table name),
// which answer from maps the test fills. Each factory can be made to give
// null, and counts its calls. Slot 49 gives no statement.
//
// The driver is created with no error object: call bInitDriver (or
// AllocError) as the library entry does. Delete it with delete (or through
// the external count), under the process-wide lock or not: every
// operation locks for itself.
//
// Needs no stand-in library.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "CNADriver.h"
#include "CNADriverSQL.h"
#include "RecordingStatement.h"
#include "TestConnection.h"

namespace kxtest {

// Makes a statement of the test's own for a connection (counts 0), or null.
using TestStatementMaker = std::function<CNAStatementSQL*(CNAConnectionDescription*, CNAError*)>;

// The SQL face of the test driver: every statement comes from *maker when
// that is set, else is a RecordingStatement on the given script (null while
// the script says bNoStatement). Counts the faces alive through *alive (may
// be null). The maker (may be null) belongs to the driver.
class TestDriverSQL : public CNADriverSQL {
 public:
  TestDriverSQL(StatementScript* script, int* alive, const TestStatementMaker* maker = nullptr);
  ~TestDriverSQL() override;
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* connection, CNAError* error) override;

 private:
  StatementScript* m_pstScript;
  int* m_pnAlive;
  const TestStatementMaker* m_pfnMaker;
};

class TestDriver : public CNADriver {
 public:
  TestDriver() = default;
  ~TestDriver() override;

  // ---- Script -----------------------------------------------------------
  bool bNoDataSource = false;   // slot 46 gives null
  bool bNoContext = false;      // slot 47
  bool bNoError = false;        // slot 52
  bool bNoItem = false;         // slot 57
  bool bNoConnection = false;   // slot 59
  bool bNoTable = false;        // slot 60
  bool bNoDriverSQL = false;    // slot 61
  // Answers of the connections made from now on.
  int nOpenAnswer = 1;
  int nIsOpenAnswer = 1;

  // ---- Records ----------------------------------------------------------
  int nConnectionsMade = 0;
  int nTablesMade = 0;
  int nContextsMade = 0;
  int nItemsMade = 0;
  int nErrorsMade = 0;
  int nDriverSQLAlive = 0;
  // At the last slot 52 call: the error object then held, and its holder
  // count (0 when none was held).
  CNAError* pclErrorHeldAtAlloc = nullptr;
  std::uint32_t nErrorHoldersAtAlloc = 0;

  StatementScript stScript;
  // The script the SQL face's statements follow (made on first need: set
  // it before the face exists).
  StatementScript* pstScript = &stScript;
  // When set, the SQL face's statements come from it instead.
  TestStatementMaker fnStatementMaker;
  // Numbers of the runtime's contexts; a context not in the map is
  // numbered by its address.
  std::map<INAContext*, std::uint64_t> mapContextNumbers;
  // Table names of the runtime's data-source descriptions.
  std::map<INADataSourceDescription*, std::wstring> mapSourceNames;

  // ---- Overrides ----------------------------------------------------------
  CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* cnx,
                                                          CNAError* error) override;
  CNAContext* pclAllocContext() override;
  CNAStatement* pclAllocStatement(CNADataAccess* access, CNAConnectionDescription* cnx,
                                  CNAError* error) override;
  CNAError* pclAllocError() override;
  CNAItemDescription* pclAllocItemDescription() override;
  CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* identification,
                                                           INAConnectionDescription* cnx) override;
  CNATable* _pclAllocTable(const wchar_t* identification, INADataSourceDescription* source,
                           CNAConnectionDescription* cnx, CNAError* error) override;
  CNADriverSQL* _pclAllocDriverSQL(CNAError* error) override;
  std::uint64_t _nGetContextNumber(INAContext* context) override;
  const wchar_t* _pszGetDataSourceName(INADataSourceDescription* source) override;
};

}  // namespace kxtest
