// INADriverSQL: the driver's face for the platform's SQL runtime, which the
// runtime receives from INADriver::piGetInterface(1).
//
// Through it the SQL runtime opens connections of its own, runs SQL text,
// walks result rows column by column and asks for catalogue lists. It works
// with integer handles: a connection handle is the connection's number (0:
// none), a statement handle the statement's number (0: no statement, which
// is also the answer of a text without a result set). Column numbers count
// from 1.
//
// The runtime calls these operations by their place in the table: the five
// version slots of INAVersion (0 to 4), then 5 to 76 as numbered below,
// then the destructor pair (77, 78). No virtual member may be added,
// removed or moved; the empty slots do nothing.
//
// Results: the int operations answer 1 on success and 0 on failure; the
// failure's description is then in the object piGetLastError returns (the
// driver's own error object, shared with the driver). Interfaces handed out
// (piGetTableDesc) carry one external reference for the runtime; the
// runtime gives the face itself back with nExternalRelease.
//
// Every entry takes the driver's process-wide lock for its whole work and
// resets the error object first (bGetStmtLastError excepted, which reads
// it), so an error another thread reports cannot slip in between.
#pragma once

#include <cstdint>

#include "INAVersion.h"
#include "KxOpaqueInterfaces.h"

class CAny;
class CTabValParser;
class INAConnectionDescription;
class INADataSourceDescription;
class INAError;

class INADriverSQL : public INAVersion {
 public:
  // 5, 6: the runtime's references; the release answers the new count.
  virtual void ExternalAddRef() = 0;                                          // 5
  virtual std::uint32_t nExternalRelease() = 0;                               // 6
  // 7: the error object of the last operation (owned by the driver).
  virtual INAError* piGetLastError() const = 0;                               // 7
  // 8: always null.
  virtual void* piGetInterface(int n) = 0;                                    // 8
  // 9 to 13: reserved, null.
  virtual void* pReservedFct1(unsigned char*) = 0;                            // 9
  virtual void* pReservedFct2(unsigned char*) = 0;                            // 10
  virtual void* pReservedFct3(unsigned char*) = 0;                            // 11
  virtual void* pReservedFct4(unsigned char*) = 0;                            // 12
  virtual void* pReservedFct5(unsigned char*) = 0;                            // 13
  // 14, 15: 1, nothing done (the client library comes with the connection).
  virtual int bLoadNativeDll(unsigned char* name, unsigned int flags) = 0;    // 14
  virtual int bFreeNativeDll(unsigned char* name, unsigned int flags) = 0;    // 15
  // 16: a new server connection of its own for `cnx` (never shared);
  // *connection = its handle, 0 on failure.
  virtual int bOpenConnection(int* connection, INAConnectionDescription* cnx) = 0;  // 16
  // 17: closes the connection of that handle. Statements still open on it
  // stay readable; the connection goes when the last of them is freed.
  virtual int bCloseConnection(int connection) = 0;                           // 17
  virtual void EmptySlot87() = 0;                                             // 18
  // 19: the tables of the current database (flags: 1 base tables, 2 views,
  // 4 system tables, 0x10 sorted, 0x20 long records); `condition` follows
  // the kind filter as given, with its own connector.
  virtual int bGetTableList(CAny* result, int connection, const wchar_t* condition,
                            unsigned int flags) = 0;                          // 19
  // 20: the columns of a table; 21: the columns of a statement's result.
  virtual int bGetColumnList(CAny* result, int connection, const wchar_t* table,
                             unsigned int flags) = 0;                         // 20
  virtual int bGetColumnList(CAny* result, int connection, int statement,
                             unsigned int flags) = 0;                         // 21
  // 22: the description of a table; 23: of a statement's result. Null on
  // failure.
  virtual INADataSourceDescription* piGetTableDesc(int connection, const wchar_t* table,
                                                   unsigned int flags) = 0;   // 22
  virtual INADataSourceDescription* piGetTableDesc(int connection, int statement,
                                                   unsigned int flags) = 0;   // 23
  // 24: the column types the server knows.
  virtual int bGetColumnTypeList(CAny* result, int connection, unsigned int flags) = 0;  // 24
  // 25: runs `text` (the runtime's parameters may be null); *statement =
  // the handle of its result set, 0 without one. An unknown connection
  // leaves *statement untouched.
  virtual int bExecute(int* statement, int connection, const wchar_t* text,
                       CTabValParser* parameters, unsigned int flags) = 0;    // 25
  // 26: frees a statement; always 1.
  virtual int bFreeStmt(int connection, int statement, unsigned int flags) = 0;  // 26
  // 27: the statement's error object (no reference); does not reset it.
  virtual int bGetStmtLastError(INAError** error, int connection, int statement) = 0;  // 27
  // 28: the statement's column count (0 and 1 for the handle 0).
  virtual int bGetColumnNbr(int* count, int connection, int statement,
                            unsigned int flags) = 0;                          // 28
  // 29: a column's name.
  virtual int bGetColumnName(CAny* name, int connection, int statement, unsigned int column,
                             unsigned int flags) = 0;                         // 29
  // 30: the next row: 1 while there is one; 0 at the end (no error) or on a
  // failure (told apart by bGetStmtLastError).
  virtual int bFetch(int connection, int statement, unsigned int flags) = 0;  // 30
  // 31: the current row as one text, fields joined by `separator`, at most
  // `columns` leading fields when positive.
  virtual int bGetRow(CAny* row, int connection, int statement, const wchar_t* separator,
                      int columns, unsigned int flags) = 0;                   // 31
  // 32, 33: a column's value, as text or as binary.
  virtual int bGetValue(CAny* value, int connection, int statement, unsigned int column,
                        unsigned int flags) = 0;                              // 32
  virtual int bGetBLOBValue(CAny* value, int connection, int statement, unsigned int column,
                            unsigned int flags) = 0;                          // 33
  // 34 to 36: a transaction of the connection, named "SQLTransaction"; a
  // second begin nests, and each end closes the innermost one.
  virtual int bTrsBegin(int* reserved, int connection, unsigned int flags) = 0;      // 34
  virtual int bTrsCommit(int connection, int reserved, unsigned int flags) = 0;      // 35
  virtual int bTrsRollBack(int connection, int reserved, unsigned int flags) = 0;    // 36
  // 37, 38: lock requests, only inside a transaction of the connection.
  virtual int bSQLBloqueTable(int connection, const wchar_t* table, unsigned int flags) = 0;  // 37
  virtual int bSQLBloqueRequete(int connection, const wchar_t* query,
                                unsigned int flags) = 0;                      // 38
  // 39: the runtime's interfaces, handed to the driver.
  virtual int bSetVMAndLibShop(ILibShop* libShop, IVMData* vmData) = 0;     // 39
  // 40 to 76: empty.
  virtual void EmptySlot258() = 0;
  virtual void EmptySlot259() = 0;
  virtual void EmptySlot260() = 0;
  virtual void EmptySlot261() = 0;
  virtual void EmptySlot262() = 0;
  virtual void EmptySlot263() = 0;
  virtual void EmptySlot264() = 0;
  virtual void EmptySlot265() = 0;
  virtual void EmptySlot266() = 0;
  virtual void EmptySlot267() = 0;
  virtual void EmptySlot268() = 0;
  virtual void EmptySlot269() = 0;
  virtual void EmptySlot270() = 0;
  virtual void EmptySlot271() = 0;
  virtual void EmptySlot272() = 0;
  virtual void EmptySlot273() = 0;
  virtual void EmptySlot274() = 0;
  virtual void EmptySlot275() = 0;
  virtual void EmptySlot276() = 0;
  virtual void EmptySlot277() = 0;
  virtual void EmptySlot278() = 0;
  virtual void EmptySlot279() = 0;
  virtual void EmptySlot280() = 0;
  virtual void EmptySlot281() = 0;
  virtual void EmptySlot282() = 0;
  virtual void EmptySlot283() = 0;
  virtual void EmptySlot284() = 0;
  virtual void EmptySlot285() = 0;
  virtual void EmptySlot286() = 0;
  virtual void EmptySlot287() = 0;
  virtual void EmptySlot288() = 0;
  virtual void EmptySlot290() = 0;
  virtual void EmptySlot292() = 0;
  virtual void EmptySlot294() = 0;
  virtual void EmptySlot297() = 0;
  virtual void EmptySlot299() = 0;
  virtual void EmptySlot301() = 0;
  // 77, 78: the destructor pair.
  virtual ~INADriverSQL() = default;
};
