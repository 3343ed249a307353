// CColumnList: a comma-separated list of column names, as the SQL builders
// write it into a SELECT or INSERT text.
//
// Holds its text (growth step 1024 characters) and the count of names
// added (empty names count too).
#pragma once

#include <cstdint>

#include "CXYStringConcat.h"

class CNAStatement;

class CColumnList {
 public:
  CColumnList();
  ~CColumnList();
  CColumnList(const CColumnList&) = delete;
  CColumnList& operator=(const CColumnList&) = delete;

  // Empties the text and the count.
  void Empty();
  // Appends "," first when the list already holds a name, then the name
  // (a null or empty name adds no text); the count grows by 1.
  void AddColumn(const wchar_t* name);
  // For each column of the statement's record layout in order that must be
  // defined for the statement's bind/define flags, its formatted name;
  // without withIdentifiers the automatic-identifier columns are left out.
  // Nothing without a statement or layout.
  void BuildColumnList(CNAStatement* statement, int withIdentifiers);

  const wchar_t* pszGet() const { return m_clText.pszGet(); }
  int nGetCount() const { return m_nCount; }

 private:
  CXYStringConcat<wchar_t> m_clText;
  int m_nCount = 0;
};
