#include "CNAExpressionParameters.h"

#include <new>

#include "CNACommand.h"
#include "CNAColumn.h"
#include "CNAConnectionDescription.h"
#include "CNADriver.h"
#include "CNAError.h"

CNAExpressionParameters::CNAExpressionParameters(CNAError* error, CNAConnectionDescription* cnx)
    : m_pclError(error), m_pclCnx(cnx) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_pclCnx != nullptr) m_pclCnx->AddRef();
}

CNAExpressionParameters::~CNAExpressionParameters() {
  _ResetParameter();
  if (m_pclCnx != nullptr) m_pclCnx->nRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

CNAParameter* CNAExpressionParameters::pclGetParameter(int n) const {
  if (n < 0 || n >= m_tabParameters.nGetNbElements()) return nullptr;
  return m_tabParameters.pGetAt(n);
}

CNAParameter* CNAExpressionParameters::_pclAddParameter(CNAColumn* column, CNAConvertVariant* value,
                                                        unsigned long position, unsigned int options) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  CNAParameter* pclParameter = nullptr;
  if (pclDriver != nullptr) {
    pclParameter = pclDriver->pclAllocParameter(value, position, options, nullptr);
  } else {
    pclParameter = new (std::nothrow) CNAParameter(value, position, options, nullptr);
  }
  if (pclParameter == nullptr) return nullptr;
  pclParameter->AddRef();
  if (column != nullptr) pclParameter->SetColum(column);
  const int nAt = m_tabParameters.Ajoute(pclParameter);
  pclParameter->nRelease();  // the list's reference (if any) keeps it
  return nAt < 0 ? nullptr : pclParameter;
}

int CNAExpressionParameters::bAppendParameter(CNAParameter* parameter) {
  if (parameter == nullptr) return 0;
  return m_tabParameters.Ajoute(parameter) >= 0 ? 1 : 0;
}

int CNAExpressionParameters::GetParameterFromQuery(CNACommand* command, unsigned int from) {
  if (command == nullptr) return 1;
  const int nCount = command->nGetParameterNbr();
  for (int i = static_cast<int>(from); i < nCount; ++i) {
    CNAParameter* pclParameter = command->pclGetParameterNoRef(static_cast<unsigned int>(i));
    if (pclParameter == nullptr) continue;
    if (m_tabParameters.Ajoute(pclParameter) < 0) return 0;
  }
  return 1;
}

void CNAExpressionParameters::_RemoveParameterByPos(unsigned long position) {
  int n = m_tabParameters.nGetNbElements();
  while (n > 0 && m_tabParameters.pGetAt(n - 1)->nGetPosition() >= position) {
    m_tabParameters.Supprime(n - 1);
    --n;
  }
}

void CNAExpressionParameters::_RemoveParameterFromIndex(int count) {
  if (count < 0) count = 0;
  const int n = m_tabParameters.nGetNbElements();
  if (count < n) m_tabParameters.Supprime(count, n - count);
}

void CNAExpressionParameters::_ResetParameter() {
  const int n = m_tabParameters.nGetNbElements();
  if (n > 0) m_tabParameters.Supprime(0, n);
}
