#include "CNATable.h"

#include "CNAConnectionDescription.h"
#include "CNADriver.h"

CNATable::CNATable(const wchar_t* identification, INADataSourceDescription* source,
                   CNAConnectionDescription* connection, CNAError* error, CNADriver* driver)
    : m_csIdentification(identification != nullptr ? identification : L""),
      m_piDataSource(source),
      m_pclConnection(connection),
      m_pclError(error),
      m_pclDriver(driver) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
}

CNATable::~CNATable() {
  if (m_pclConnection != nullptr) {
    if (m_pclDriver != nullptr)
      m_pclDriver->nReleaseConnection(m_pclConnection);
    else
      m_pclConnection->nRelease();
  }
}

std::uint32_t CNATable::nExternalRelease() {
  if (m_nExternalCount == 0) return 0;
  const std::uint32_t nLeft = --m_nExternalCount;
  if (nLeft == 0) _DeleteIfUnreferenced();
  return nLeft;
}

int CNATable::bHFerme(INAContext* /*context*/) { return 1; }
