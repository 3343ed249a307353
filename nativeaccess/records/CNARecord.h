// CNARecord: the record layout of one data access: the ordered columns of a
// table or query, built from the platform's description and matched with
// the server's own description of the same table; the columns that order a
// parse when no key does (order-by columns); the automatic-identifier
// column, the first unique key column, the composite unique keys and the
// memo columns; and three records: a native record buffer of default
// values, the original record value (the last record read) and the current
// record value (the one being read or written).
//
// Statements fill the current record from the server and read it to write
// SQL; the runtime receives the current record's buffer (pclGetNAXQRecord).
// The columns are bound to the current record once, in bInitRecord (and
// again only after a change of types): the read path writes the record
// through them without any lookup.
//
// Ownership: a CInterf. The layout holds an internal reference on its error
// object, its connection, every column (the arrays each hold theirs), the
// identifier and unique key columns, and the three records. The data access
// is not referenced (it owns the layout). The destructor gives the
// connection back through the driver's nReleaseConnection (a plain release
// without a driver).
//
// The duplicate rank: the rank of the current record within a run of equal
// key values (0 for the first), stored by the statement at each fetch.
//
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNAColumn.h"
#include "CRefArray.h"

class CColumnNullValueExcluded;
class CNAConnectionDescription;
class CNADataAccess;
class CNADataSourceDescription;
class CNAError;
class CNAPosition;
class CNARecordValue;
class CNAXQRecord;
class CSQLParserInfo;
class INADataSourceDescription;
class INAItemDescription;
template <typename T>
class CXYStringConcat;

class CNARecord : public CInterf {
 public:
  // Empty arrays, no records, no connection; one reference on `error`.
  CNARecord(CNAError* error, CNADataAccess* access);
  ~CNARecord() override;

  // ---- Virtual operations, in slot order after CInterf's -----------------
  // Column n; null outside 0 .. count - 1.
  virtual CNAColumn* pclGetColumnNoRef(int n) const;
  // Builds the layout (see the source): the connection replaces the held
  // one; a description without items is user error 1 (false); the records
  // are allocated; one column per item, matched with the database
  // description's item of the same name; then the composite keys get their
  // components and the order-by columns are chosen. False on the first
  // failure (the columns added so far stay).
  virtual int bInitRecord(INADataSourceDescription* analysis, CNADataSourceDescription* database,
                          CNAConnectionDescription* connection);
  // Marks the current record value deleted (state 128).
  virtual void SetDeleted();
  // A new column for the item from the driver's factory (slot 50); null
  // without a driver or when the factory gives none.
  virtual CNAColumn* _pclAllocColumn(CNAError* error, INAItemDescription* item);

  // ---- Columns -------------------------------------------------------------
  int nGetColumnCount() const { return m_tabColumns.nGetNbElements(); }
  // The first column whose item name equals `name` (runtime comparison,
  // options 3); null when none.
  CNAColumn* pclGetColumnNoRef(const wchar_t* name) const;
  // The column of an item. For a table, the column at the item's physical
  // index when it is this item's (same description, or same name); else,
  // and for a query, the columns are searched (see the source). Null when
  // none matches.
  CNAColumn* pclGetColumnNoRef(INAItemDescription* item) const;
  // Order-by column n; null outside 0 .. count - 1.
  CNAColumn* pclGetColumnOrderNoRef(int n) const { return m_tabOrderBy.pGetAt(n); }
  int nGetColumnOrderCount() const { return m_tabOrderBy.nGetNbElements(); }
  CRefArray<CNAColumn>* pclGetTabColumnMemo() { return &m_tabMemos; }
  const CRefArray<CNAColumn>* pclGetTabColumnMemo() const { return &m_tabMemos; }
  const CRefArray<CNAColumn>* pclGetTabComposedKeyUnique() const { return &m_tabComposedUnique; }
  CNAColumn* pclGetColumnIDAutoNoRef() const { return m_pclIdAuto; }
  CNAColumn* pclGetUniqueKeyNoRef() const { return m_pclUniqueKey; }
  // The first column whose bIsIdAuto holds; null when none.
  CNAColumn* pclGetNAColumnIdentityNoRef() const;
  // The unique key column when its value is defined; else the first
  // order-by column when unique and defined; else the first unique column
  // with a defined value; else null.
  CNAColumn* pclGetUniqueKeyNotNullNoRef() const;
  // Releases and removes every column, last first.
  void DeleteAllColumn();

  // ---- Records -------------------------------------------------------------
  // The current record value's buffer (null before bInitRecord).
  CNAXQRecord* pclGetNAXQRecord() const;
  CNAXQRecord* pclGetOriginalNAXQRecord() const;
  CNAXQRecord* pclGetDefaultRecord() const { return m_pclDefaultRecord; }
  CNARecordValue* pclGetCurrentRecordValue() const { return m_pclCurrentRecord; }
  CNARecordValue* pclGetOriginalRecordValue() const { return m_pclOriginalRecord; }
  int bOriginalRecordSet() const { return m_bOriginalRecordSet != 0; }
  // Copies a record value into the current one (all parts).
  int bCopyToCurrentRecord(const CNARecordValue* value);
  int bCopyOriginalRecordToCurrentRecord();
  // Sets the original-record-set flag, then copies current into original.
  int bCopyCurrentRecordToOriginalRecord();
  int bEquals(const CNARecordValue* value, int withMemos) const;
  // Copies the buffer into the current record value; on success every
  // column that is neither memo nor composite key refreshes its holder's
  // NULL flag.
  int bSetNAXQRecord(const CNAXQRecord* record);
  // Rebuilds the records for a changed description: every holder is reset
  // first (none keeps a pointer into the records), the records are freed
  // and allocated again, then every column re-binds in order, stopping at
  // the first failure. After a failure the columns have no binding and
  // answer false; nothing reads the freed records.
  int bUpdateChangedTypeInCurrentRecord(INADataSourceDescription* source);

  // ---- Keys ---------------------------------------------------------------------
  // Whether the first `count` of `columns` complete a composite unique key
  // that excludes NULLs (see the source).
  int bComposedKeyUniqueNotNullAdded(const CRefArray<CNAColumn>* columns, int count,
                                     CColumnNullValueExcluded* nullSet) const;

  // ---- Dumps -----------------------------------------------------------------
  // The record identifier, the flag bytes (most significant bit first) and
  // every column that is no composite key, one per line.
  void CurrentRecordToString(CXYStringConcat<wchar_t>* out) const;

  // ---- Owner and connection --------------------------------------------------
  CNAConnectionDescription* pclGetConnectionNoRef() const { return m_pclConnection; }
  CNADataAccess* pclGetDataAccess() const { return m_pclDataAccess; }
  CNAError* pclGetError() const { return m_pclError; }
  // The data access's logical name ("" without one).
  const wchar_t* pszGetTableName() const;
  int bSourceIsQuery() const;
  CSQLParserInfo* pclGetSourceQueryNoRef() const;
  int bGetPosition(CNAPosition* position) const;

  // The duplicate rank of the current record (0 at construction).
  std::int32_t nGetDuplicateRank() const { return m_nDuplicateRank; }
  void SetDuplicateRank(std::int32_t n) { m_nDuplicateRank = n; }

 private:
  int _bAllocRecordsBuffer(INADataSourceDescription* source);
  void _FreeRecords();
  int _bAddColumn(INAItemDescription* item, CNAItemDescription* imported);
  void _InitComposedKeys();
  void _InitOrderBy();
  // Appends to the order-by list (see the source); true when something
  // was added.
  bool _AddColumnOrder(CNAColumn* column);
  bool _bInOrderBy(const CNAColumn* column) const;
  int _nOrderByMax() const;
  void _SetConnection(CNAConnectionDescription* connection);
  void _ReleaseConnection();

  CNAError* m_pclError = nullptr;
  CNADataAccess* m_pclDataAccess = nullptr;
  CNAConnectionDescription* m_pclConnection = nullptr;
  CRefArray<CNAColumn> m_tabColumns{20};
  CNAColumn* m_pclIdAuto = nullptr;
  CNAColumn* m_pclUniqueKey = nullptr;
  CNAXQRecord* m_pclDefaultRecord = nullptr;
  CNARecordValue* m_pclOriginalRecord = nullptr;
  CNARecordValue* m_pclCurrentRecord = nullptr;
  std::int32_t m_bOriginalRecordSet = 0;
  CRefArray<CNAColumn> m_tabOrderBy{10};
  CRefArray<CNAColumn> m_tabMemos{1};
  CRefArray<CNAColumn> m_tabComposedUnique{1};
  std::int32_t m_nDuplicateRank = 0;
};
KX_CINTERF_REF_TRAITS(CNARecord)
