// CNAPosition: a saved position of a data access (the platform's save and
// restore of a position): the statement that read it, the row within the
// statement's result, the saved record values of that moment (kept by the
// data access under an identifier), the filter and the user search then in
// force, and the item that orders the browse.
//
// Ownership: a CInterf made with counts 0 (the maker takes the first
// reference). It holds one reference on its statement and on its kept
// filter, a copy of the user search, and one reference, counted by the data
// access (AddRefRecordSave / nReleaseRecordSave), on each saved record it
// names. The data access itself is not held: it outlives its positions.
// Every setter that replaces something it holds gives back the old one
// after taking the new one; without a data access no saved record is taken
// or given back.
//
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNAFilterSave.h"
#include "CNAUserSearch.h"
#include "CTString.h"

class CNADataAccess;
class CNAFilter;
class CNAStatement;

class CNAPosition : public CInterf {
 public:
  static constexpr std::int32_t knNone = -1;

  // Indexes -1, no data access, empty user search, no filter, no item,
  // flags 0, no statement.
  CNAPosition() = default;
  // Gives back both saved records (through the data access), the
  // statement, the kept filter and the user search.
  ~CNAPosition() override;

  // Holds `statement` (the previous one given back) and takes its data
  // access (saves held through another access are given back there). Null
  // holds none and keeps the data access.
  void SetStatement(CNAStatement* statement);
  // The statement with a reference for the caller, or null.
  CNAStatement* pclGetStatement() const;
  CNAStatement* pclGetStatementNoRef() const { return m_pclStatement; }
  // Keeps `filter` (may be null) and whether it is active. True.
  int bKeepFilter(CNAFilter* filter);
  void SetItem(const wchar_t* item) { m_sItem = item; }
  // Marks the parameters set, records `row` and the saved record `save`
  // (not -1: the data access keeps a reference on it for the position;
  // the save held before is given back; without a data access no save is
  // recorded), copies the user search (null: none) and records `extra`.
  // True.
  int bSetParameters(int row, int save, CNAUserSearch* search, int extra);
  // Takes `access` and a reference on its saved record `save` (-1: none);
  // the one held before is given back. Another access than the one held
  // first gives back both saves held through the old one.
  void SetRecordSaveID_VerrueHAjouteHLit(CNADataAccess* access, int save);
  // The row no longer names one.
  void InvalidateRowID() { m_nRow = knNone; }

  std::int32_t nGetRowID() const { return m_nRow; }
  std::int32_t nGetRecordSaveID() const { return m_nRecordSave; }
  std::int32_t nGetRecordSaveIDAfterAdd() const { return m_nRecordSaveAfterAdd; }
  CNADataAccess* pclGetDataAccess() const { return m_pclDataAccess; }
  CNAUserSearch* pclGetUserSearch() { return &m_clUserSearch; }
  const CNAFilterSave& clGetFilterSave() const { return m_clFilterSave; }
  const wchar_t* pszGetItem() const { return m_sItem.pszGet(); }
  int bParametersSet() const { return m_bParametersSet; }
  std::int32_t nGetExtra() const { return m_nExtra; }

 private:
  // Takes a reference on `save` of `access` and gives back `*held` (of the
  // data access held until now); `*held` becomes `save`.
  void _ReplaceSave(std::int32_t* held, CNADataAccess* access, std::int32_t save);

  std::int32_t m_nRow = knNone;
  std::int32_t m_nRecordSave = knNone;
  std::int32_t m_nRecordSaveAfterAdd = knNone;
  CNADataAccess* m_pclDataAccess = nullptr;
  CNAUserSearch m_clUserSearch;
  CNAFilterSave m_clFilterSave;
  CTString m_sItem;
  std::int32_t m_bParametersSet = 0;
  CNAStatement* m_pclStatement = nullptr;
  std::int32_t m_nExtra = 0;
};
KX_CINTERF_REF_TRAITS(CNAPosition)
