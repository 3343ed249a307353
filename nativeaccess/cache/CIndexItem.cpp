// What both kinds of client-side index share.
#include "CIndexItem.h"

#include "CNAError.h"
#include "CNAStatement.h"
#include "CXError.h"

const CAny* CIndexItem::_pclGetSearchValue() const {
  return m_pclStatement != nullptr ? m_pclStatement->pclGetUserSearchValue() : nullptr;
}

void CIndexItem::_SetNoMemory() const {
  if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
}
