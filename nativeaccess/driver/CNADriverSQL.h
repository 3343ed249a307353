// CNADriverSQL: the SQL face of the driver: the catalogue lists (databases,
// tables, columns, links, column types), SQL locks, and the driver-level
// statements through which connections run SQL of their own.
//
// The driver creates it on first need through its factory slot and keeps
// one internal reference; the runtime gets it from the driver's
// piGetInterface(1) with one external reference. The concrete driver's face
// supplies pclAllocStatementSQL. The list operations answer false here
// until the catalogue layer provides them; the callers stay unchanged.
//
// Ownership: a CInterf: deleted when the last of its internal and external
// references goes. Used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNAStatementSQL.h"

class CAny;
class CNAConnectionDescription;
class CNAError;
class CTabValParser;
class INADataSourceDescription;
template <typename T>
class CXYStringConcat;

class CNADriverSQL : public CInterf {
 public:
  CNADriverSQL() = default;
  ~CNADriverSQL() override;

  // The runtime's references.
  void ExternalAddRef() { ++m_nExternalCount; }
  // One external reference less (nothing at 0); deleted when both counts
  // are 0 then. Returns the new external count.
  std::uint32_t nExternalRelease();

  // A new driver-level statement for `connection` (counts 0: the caller
  // takes the first reference), or null, the reason in `error` (may be
  // null).
  virtual CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* connection,
                                                CNAError* error) = 0;

  // Runs `text` on a new driver-level statement of `connection`: the
  // statement's bExecuteDirect, then, when it worked, its bGetColumnNbr.
  // A statement with columns (a result set) is handed back in *statement
  // with one internal reference, which the caller gives back with
  // nRelease; otherwise the statement is gone and *statement is null. The
  // result is that of the last call made; false when no statement could be
  // had (the reason in `error`, out of memory when the face gave none
  // without saying why). `statement` may be null: the statement then goes
  // in every case.
  int bExecute(CNAError* error, CNAStatementSQL** statement, CNAConnectionDescription* connection,
               const wchar_t* text, CTabValParser* parameters, NA_WRITEPARSEFLAGS flags);

  // The catalogue lists; each answers true on success. Not provided yet:
  // false, the result untouched.
  // Database names of the connection's server into *out.
  virtual int _bGetDatabaseList(CXYStringConcat<wchar_t>* out, CNAConnectionDescription* connection,
                                unsigned int flags);
  // Tables of the connection (or of database `filter`) into *result.
  virtual int bGetTableList(CAny* result, CNAConnectionDescription* connection,
                            const wchar_t* filter, unsigned int flags);
  // Columns of a table into *result.
  virtual int bGetColumnList(CAny* result, CNAConnectionDescription* connection,
                             const wchar_t* table, unsigned int flags);
  // Links of a table into *result.
  virtual int bGetLinkList(CAny* result, CNAConnectionDescription* connection,
                           const wchar_t* table, INADataSourceDescription* source,
                           unsigned int flags);
  // The column types the server offers into *result.
  virtual int bGetColumnTypeList(CAny* result, int reserved1, int reserved2);
};
KX_CINTERF_REF_TRAITS(CNADriverSQL)
