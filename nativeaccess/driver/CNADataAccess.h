// CNADataAccess: one context's access to one table or query (its
// statements, its record layout, its current record). Declared here with
// what the driver's factory makes and what the record layer reads of it:
// the logical name, whether it works on a query, the query's parser
// information (its source query) and the making of record identifiers; the
// data-access layer completes it.
//
// Ownership: a CInterf; counts start at 0, the first holder takes the first
// reference. It keeps the description, connection and error pointers it is
// given without taking references: its owner (the context) keeps them
// alive. The source query is held with one internal reference.
#pragma once

#include "CInterf.h"
#include "NARecordTypes.h"

class CNAConnectionDescription;
class CNAError;
class CNARecordId;
class CNARecordValue;
class CSQLParserInfo;
class INADataSourceDescription;

class CNADataAccess : public CInterf {
 public:
  CNADataAccess(INADataSourceDescription* source, CNAConnectionDescription* connection,
                CNAError* error)
      : m_piDataSource(source), m_pclConnection(connection), m_pclError(error) {}
  // Gives back the source query.
  ~CNADataAccess() override;

  // The kind of record identifier this access makes: 1, identifiers built
  // from the record values.
  virtual eNA_RECORDIDTYPE eEvaluateRecordIdType();
  // A new identifier for `value` (count 0) by eEvaluateRecordIdType: 1 over
  // the value's record and memo set; 3 over a row-identifier holder from
  // the driver (slot 45; none: null); any other kind null.
  virtual CNARecordId* pclAllocRecordID(const CNARecordValue* value);

  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  CNAError* pclGetError() const { return m_pclError; }
  INADataSourceDescription* piGetDataSourceNoRef() const { return m_piDataSource; }
  // The description's logical name; "" without a description.
  const wchar_t* pszGetLogicalName() const;

  // Whether the access works on a query rather than a table.
  int bIsQuery() const { return m_bQuery != 0; }
  void SetQuery(int query) { m_bQuery = query != 0 ? 1 : 0; }
  // The query's parser information (null on a table); no reference for the
  // caller. SetSourceQuery takes a reference on the new one before giving
  // the old one back.
  CSQLParserInfo* pclGetSourceQueryNoRef() const { return m_pclSourceQuery; }
  CSQLParserInfo* pclGetParserInfoNoRef() const { return m_pclSourceQuery; }
  void SetSourceQuery(CSQLParserInfo* query);

 private:
  INADataSourceDescription* m_piDataSource;
  CNAConnectionDescription* m_pclConnection;
  CNAError* m_pclError;
  int m_bQuery = 0;
  CSQLParserInfo* m_pclSourceQuery = nullptr;
};
KX_CINTERF_REF_TRAITS(CNADataAccess)
