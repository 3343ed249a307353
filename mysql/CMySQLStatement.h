// CMySQLStatement: the table statement of the MariaDB/MySQL driver. It is
// the generic statement (CNAStatement) with four answers of its own:
//
// - CREATE TABLE gets the storage-engine clause, so that every table the
//   library creates is transactional;
// - an automatic identifier is written as the server's AUTO_INCREMENT
//   primary key;
// - after an INSERT, the identifier the server gave the record
//   (mysql_insert_id) is written into the record;
// - the record count of a query the library rewrites streams the rows of
//   its SELECT (mysql_use_result) and counts them, without holding them.
//
// Its driver-level statement is a CMySQLStatementSQL (the driver's SQL face
// makes it for a CMySQLConnection); the count fails without one.
//
// Ownership and threads: those of CNAStatement (a CInterf made with counts
// 0; the data access that owns it takes the first reference; used under
// the driver's process-wide lock).
#pragma once

#include "CNAStatement.h"

class CMySQLConnection;
class CMySQLStatementSQL;

class CMySQLStatement : public CNAStatement {
 public:
  // The generic construction for `access` (see CNAStatement).
  CMySQLStatement(CNADataAccess* access, CNAError* error);
  ~CMySQLStatement() override;

  // The generic CREATE TABLE; only when it was built, " ENGINE=InnoDB"
  // (" Type=InnoDB" for a server of major version 4 or lower) is appended.
  // The answer is the generic build's, or the appending's when it ran.
  int bBuildQueryCREATE(CNACommand* command) override;
  // After an INSERT (neither argument read): the record's automatic
  // identifier takes mysql_insert_id of the connection. True at once
  // without such a column; an identifier of 0 changes nothing and answers
  // true. An identifier the column cannot hold (above 2^31 - 1 for a
  // 4-byte identifier) is not written: the record keeps its value and the
  // answer is false with user error 53 naming the column. A client call
  // that raised answers false with the guard's error (named by the table's
  // logical name and the column). Otherwise true, whatever the record
  // made of the value.
  int bUpdateRecordAfterInsert(eNAQUERYTYPE type, int flags) override;
  // On a table, or on a query sent as written: the generic count (a COUNT
  // query). On a rewritten query: its SELECT, built by the data access
  // (bBuildSelect) without a row limit, runs streamed and its rows are
  // counted one by one; *count (may be null) receives the number only
  // when the whole result was read. A stream that broke (a lost or killed
  // connection) fails with the driver statement's error, *count
  // unchanged. The driver statement stores results again and the command
  // is given back on every way out. False, *count unchanged, when the
  // SELECT cannot be built (user error 38 when the data access gave no
  // reason) or run.
  int bGetNbEnr(long* count, unsigned int flags, int countAll) override;
  // The column's constraint in a CREATE TABLE: for an automatic identifier
  // (item types 1 and 28) " NOT NULL AUTO_INCREMENT, PRIMARY KEY (" name
  // ")"; for a primary-key item ", PRIMARY KEY (" name ")"; else the
  // generic constraint. The name is the column's formatted name.
  int _bGetNativeConstraint(CNAColumn* column, CTString* constraint) override;

  // The engine clause of a CREATE TABLE for a server of major version
  // `major`.
  static const wchar_t* pszEngineClause(int major);

  // Places of this class in the location lines of its errors and in the
  // client-call guard's lines.
  static constexpr int knSource = 102;
  static constexpr int knPosCount = 1;
  static constexpr int knPosInsertIdTooWide = 2;
  static constexpr int knPosNoConnection = 3;
  static constexpr int knGuardInsertId = 60;
  // User errors.
  static constexpr unsigned int knErrNoMemory = 12;
  static constexpr unsigned int knErrNotAvailable = 38;
  static constexpr unsigned int knErrValueRefused = 53;

 private:
  // The connection as the driver's class; null when it is another.
  CMySQLConnection* _pclMySQLConnection() const;
  // The driver statement as the driver's class (made when absent); null
  // when it cannot be had or is another.
  CMySQLStatementSQL* _pclMySQLStatementSQL();
  // User error 53 for identifier `id` refused by `column`, named by the
  // table's logical name and the column when it is the first error held.
  void _ReportIdTooWide(CNAColumn* column, unsigned long long id);
  // User error `code` (no argument) at (knSource, site), named as below.
  void _AddOwnError(eNA_ERRORTYPE type, int site, unsigned int code, const wchar_t* item);
  // The table's logical name and `item` on the main error, when the error
  // object held nothing before (`first`).
  void _NameError(bool first, const wchar_t* item);
};
KX_CINTERF_REF_TRAITS(CMySQLStatement)
