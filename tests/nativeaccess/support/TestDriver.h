// The test driver: a concrete CNADriver whose factories a test scripts.
//
// It overrides the factory slots the registries use: 44 (variants), 46 (data-source
// descriptions), 47 (contexts), 48 (data accesses: from fnDataAccessMaker
// when set, else the generic one), 52 (error objects), 57 (item
// descriptions), 59 (connections: a TestConnection on the runtime's
// description), 60 (tables), 61 (the SQL face: a TestDriverSQL handing out
// RecordingStatements on the statement script pstScript, by default the
// driver's own stScript). Each factory can be made to give
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
#include <set>
#include <string>

#include "CNADriver.h"
#include "CNADataSourceDescription.h"
#include "CNADriverSQL.h"
#include "RecordingStatement.h"
#include "TestConnection.h"

namespace kxtest {

// Makes a statement of the test's own for a connection (counts 0), or null.
using TestStatementMaker = std::function<CNAStatementSQL*(CNAConnectionDescription*, CNAError*)>;

// The SQL face of the test driver: every statement comes from *maker when
// that is set, else is a RecordingStatement on the given script (null while
// the script says bNoStatement). Counts the faces alive through *alive (may
// be null). The maker (may be null) belongs to the driver. The test
// driver's face knows its driver and shares its error object, as a
// concrete driver's face does.
class TestDriverSQL : public CNADriverSQL {
 public:
  TestDriverSQL(StatementScript* script, int* alive, const TestStatementMaker* maker = nullptr,
                CNADriver* driver = nullptr, CNAError* error = nullptr);
  ~TestDriverSQL() override;
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* connection, CNAError* error) override;

 private:
  StatementScript* m_pstScript;
  int* m_pnAlive;
  const TestStatementMaker* m_pfnMaker;
};

// How the test driver's tables answer a query run: the result, the keep
// flag, and the bind values attached to the table (may be null; the table
// takes its external reference).
struct QueryScript {
  int nAnswer = 0;
  int nKeep = 0;
  INAQueryParametersValue* piBindValues = nullptr;
  int nRuns = 0;  // query runs seen
};

// A table whose query run follows a QueryScript; a scripted failure (answer
// 0) runs the generic table's query instead, on the context's data access.
class ScriptedTable : public CNATable {
 public:
  ScriptedTable(const wchar_t* identification, INADataSourceDescription* source,
                CNAConnectionDescription* cnx, CNAError* error, CNADriver* driver, QueryScript* script)
      : CNATable(identification, source, cnx, error, driver), m_pstScript(script) {}
  int bExecuteQuery(int* keep, INAContext* context, const wchar_t* name, ISQLParserInformation* parser,
                    unsigned int flags, const INAQueryExecution* execution) override;

 private:
  QueryScript* m_pstScript;
};

// A description that reads a table through the real road (the SQL face's
// statements): its catalogue queries name the table, and each row of the
// column catalogue gives an item "ID" when the table is one of *known, none
// otherwise (the road then reports user error 30, no such table). Its
// index catalogue gives no key.
class DescribedSource : public CNADataSourceDescription {
 public:
  DescribedSource(CNAConnectionDescription* cnx, CNAError* error, const std::set<std::wstring>* known)
      : CNADataSourceDescription(cnx, error), m_psetKnown(known) {}

 protected:
  int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* out) override;
  int _bInitItemFromQueryShowColumns(CNAStatementSQL* statement) override;
  int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* out) override;
  int _bInitKeysFromQueryShowIndex(CNAStatementSQL* statement) override;

 private:
  const std::set<std::wstring>* m_psetKnown;
};

class TestDriver : public CNADriver {
 public:
  TestDriver() = default;
  ~TestDriver() override;

  // ---- Script -----------------------------------------------------------
  bool bNoVariant = false;      // slot 44 gives null
  bool bNoDataSource = false;   // slot 46 gives null
  // Tables the descriptions of slot 46 find on the "server" (DescribedSource).
  std::set<std::wstring> setKnownTables;
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
  // How the tables made from now on run queries.
  QueryScript stQuery;
  // The script the SQL face's statements follow (made on first need: set
  // it before the face exists).
  StatementScript* pstScript = &stScript;
  // When set, the SQL face's statements come from it instead.
  TestStatementMaker fnStatementMaker;
  // When set, slot 48 makes the data accesses (counts 0, or null).
  std::function<CNADataAccess*(INADataSourceDescription*, CNAConnectionDescription*, CNAError*)>
      fnDataAccessMaker;
  int nDataAccessesMade = 0;

  // ---- Overrides ----------------------------------------------------------
  CNAConvertVariant* pclAllocVariant(CNAError* error, CNAConnectionDescription* cnx) override;
  CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* cnx,
                                                          CNAError* error) override;
  CNAContext* pclAllocContext() override;
  CNADataAccess* pclAllocDataAccess(INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                    CNAError* error) override;
  CNAStatement* pclAllocStatement(CNADataAccess* access, CNAConnectionDescription* cnx,
                                  CNAError* error) override;
  CNAError* pclAllocError() override;
  CNAItemDescription* pclAllocItemDescription() override;
  CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* identification,
                                                           INAConnectionDescription* cnx) override;
  CNATable* _pclAllocTable(const wchar_t* identification, INADataSourceDescription* source,
                           CNAConnectionDescription* cnx, CNAError* error) override;
  CNADriverSQL* _pclAllocDriverSQL(CNAError* error) override;
};

// Makes a TestDriver the process's driver for the scope of a test (holders
// and clones come from its factories) and puts the previous one back after.
class DriverScope {
 public:
  DriverScope();
  ~DriverScope();
  DriverScope(const DriverScope&) = delete;
  DriverScope& operator=(const DriverScope&) = delete;
  TestDriver* pclGet() const { return m_pclDriver; }

 private:
  TestDriver* m_pclDriver;
  CNADriver* m_pclPrevious;
};

}  // namespace kxtest
