#include "CNAPosition.h"

#include "CNADataAccess.h"
#include "CNAStatement.h"

CNAPosition::~CNAPosition() {
  if (m_pclDataAccess != nullptr) {
    if (m_nRecordSave != knNone) m_pclDataAccess->nReleaseRecordSave(static_cast<std::uint32_t>(m_nRecordSave));
    if (m_nRecordSaveAfterAdd != knNone)
      m_pclDataAccess->nReleaseRecordSave(static_cast<std::uint32_t>(m_nRecordSaveAfterAdd));
  }
  if (m_pclStatement != nullptr) m_pclStatement->nRelease();
}

void CNAPosition::SetStatement(CNAStatement* statement) {
  if (statement != nullptr) statement->AddRef();
  CNAStatement* pclOld = m_pclStatement;
  m_pclStatement = statement;
  if (statement != nullptr && statement->pclGetDataAccess() != m_pclDataAccess) {
    // The saves held so far belong to the other access: given back there.
    _ReplaceSave(&m_nRecordSave, nullptr, knNone);
    _ReplaceSave(&m_nRecordSaveAfterAdd, nullptr, knNone);
    m_pclDataAccess = statement->pclGetDataAccess();
  }
  if (pclOld != nullptr) pclOld->nRelease();
}

CNAStatement* CNAPosition::pclGetStatement() const {
  if (m_pclStatement != nullptr) m_pclStatement->AddRef();
  return m_pclStatement;
}

int CNAPosition::bKeepFilter(CNAFilter* filter) {
  m_clFilterSave.SetFilter(filter);
  return 1;
}

void CNAPosition::_ReplaceSave(std::int32_t* held, CNADataAccess* access, std::int32_t save) {
  if (access != nullptr && save != knNone) access->AddRefRecordSave(static_cast<std::uint32_t>(save));
  const std::int32_t nOld = *held;
  *held = access != nullptr ? save : knNone;
  if (nOld != knNone && m_pclDataAccess != nullptr) m_pclDataAccess->nReleaseRecordSave(static_cast<std::uint32_t>(nOld));
}

int CNAPosition::bSetParameters(int row, int save, CNAUserSearch* search, int extra) {
  m_bParametersSet = 1;
  m_nRow = row;
  _ReplaceSave(&m_nRecordSave, m_pclDataAccess, save);
  m_clUserSearch.Copy(search);
  m_nExtra = extra;
  return 1;
}

void CNAPosition::SetRecordSaveID_VerrueHAjouteHLit(CNADataAccess* access, int save) {
  if (access != m_pclDataAccess) {
    _ReplaceSave(&m_nRecordSave, nullptr, knNone);
    _ReplaceSave(&m_nRecordSaveAfterAdd, nullptr, knNone);
    m_pclDataAccess = access;
  }
  _ReplaceSave(&m_nRecordSaveAfterAdd, access, save);
}
