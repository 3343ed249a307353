// CMySQLDriverSQL: the MariaDB/MySQL form of the driver's SQL face.
//
// It answers the catalogue lists the SQL runtime asks for as one wide text
// (type 16, not NULL), one entry per line ("\r\n" between entries, none
// after the last), the fields of an entry separated by a tab: the column
// types the server knows, the tables of the current database, the columns
// of a table. It also makes the driver-level statements every text of the
// face runs on (CMySQLStatementSQL).
//
// Servers before major version 5 have no INFORMATION_SCHEMA: their lists
// are read with SHOW statements. From version 5 on the generic queries of
// the base come first; the table list falls back to SHOW TABLES when the
// generic listing fails.
//
// Ownership: as CNADriverSQL (made by CMySQLDriver::_pclAllocDriverSQL,
// counted by the driver); no field of its own. Called under the driver's
// process-wide lock; nothing here locks.
#pragma once

#include "CNADriverSQL.h"

class CMySQLDriverSQL : public CNADriverSQL {
 public:
  // The generic construction: the driver (not counted) and one reference
  // on `error`, which receives the failures of the face's own operations.
  CMySQLDriverSQL(CNADriver* driver, CNAError* error);
  ~CMySQLDriverSQL() override;

  // The runtime's handle forms stay reachable next to the overrides below.
  using CNADriverSQL::bGetColumnList;
  using CNADriverSQL::bGetTableList;

  // *result = the fixed list of the 35 column types the server knows, each
  // "<type name>\t<the SQL runtime's type number>"; 1. The other arguments
  // are not read.
  // Takes the driver's lock, then resets the error object, as every slot
  // of the face does.
  int bGetColumnTypeList(CAny* result, int connection, unsigned int flags) override;
  // The tables of the connection's current database into *list:
  // - from server version 5 on the generic listing first; when it
  //   succeeds its answer stands;
  // - without flag 1 (tables asked for): the empty text, 1;
  // - else "SHOW TABLES", followed by a blank and `filter` unchanged when
  //   it is not empty; one entry per table name. With flag 0x20 each entry
  //   becomes "<name>\t<default database>\t<owner>\tTABLE", the owner
  //   being the text before the first "." of the name (empty without one);
  // - with flag 0x10 the entries are then sorted ascending without regard
  //   to case, also after a failed listing.
  // The answer is the listing's; a failure leaves its reason in the face's
  // error object.
  int bGetTableList(CAny* list, CNAConnectionDescription* connection, const wchar_t* filter,
                    unsigned int flags) override;
  // The column names of table `table` ("SHOW COLUMNS FROM " and the name as
  // the connection formats it) into *list. 0 when the name cannot be
  // formatted or the query fails.
  int bGetColumnList(CAny* list, CNAConnectionDescription* connection, const wchar_t* table,
                     unsigned int flags) override;
  // A new CMySQLStatementSQL (counts 0) on `connection`, which must be a
  // MariaDB/MySQL connection; null otherwise or without memory.
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* connection,
                                        CNAError* error) override;
  // Before server version 5: *text = "SHOW DATABASES", 1. Else the
  // generic query.
  int _bGetDatabaseListQuery(CTStringConcatAW* text, CNAConnectionDescription* connection,
                             unsigned int flags) override;
  // Before server version 5: *text = "SHOW TABLES FROM " and the database
  // name as the connection formats it, 1 (0 when the name cannot be
  // formatted, *text untouched). Else the generic query.
  int _bGetDatabaseTableListQuery(CTStringConcatAW* text, const wchar_t* database,
                                  CNAConnectionDescription* connection,
                                  unsigned int flags) override;

  // The column-type list as bGetColumnTypeList gives it.
  static const wchar_t* s_pszColumnTypeList();

  // Table-list flags.
  static constexpr unsigned int kdwTables = 0x1;
  static constexpr unsigned int kdwSorted = 0x10;
  static constexpr unsigned int kdwDetailed = 0x20;
  // The first server version with INFORMATION_SCHEMA.
  static constexpr int knFirstInformationSchemaMajor = 5;
};
