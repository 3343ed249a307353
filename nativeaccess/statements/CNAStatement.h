// CNAStatement: the statement through which one data access runs one table
// operation or one parse. Declared here with what the record layer reads of
// it: its record layout and its bind/define flags (which columns a SELECT
// defines and binds); the statement layer completes it.
//
// Ownership: a CInterf; the record layout is not referenced here (the data
// access owns it and outlives its statements).
#pragma once

#include "CInterf.h"

class CNARecord;

class CNAStatement : public CInterf {
 public:
  // The bind/define flag after a reset of the command.
  static constexpr int knDefaultBindDefineFlag = 3;

  explicit CNAStatement(CNARecord* record = nullptr) : m_pclRecord(record) {}
  ~CNAStatement() override = default;

  // The record layout the statement reads into and writes from.
  CNARecord* pclGetRecordNoRef() const { return m_pclRecord; }
  void SetRecord(CNARecord* record) { m_pclRecord = record; }
  // The command's bind/define flag: bit 0 binds memos, bit 1 defines them.
  int nGetBindDefineFlag() const { return m_nBindDefineFlag; }
  void SetBindDefineFlag(int flag) { m_nBindDefineFlag = flag; }

 protected:
  CNARecord* m_pclRecord = nullptr;
  int m_nBindDefineFlag = knDefaultBindDefineFlag;
};
KX_CINTERF_REF_TRAITS(CNAStatement)
