#include "CNADriverSQL.h"

CNADriverSQL::~CNADriverSQL() = default;

std::uint32_t CNADriverSQL::nExternalRelease() {
  if (m_nExternalCount == 0) return 0;
  const std::uint32_t nLeft = --m_nExternalCount;
  if (nLeft == 0) _DeleteIfUnreferenced();
  return nLeft;
}

int CNADriverSQL::_bGetDatabaseList(CXYStringConcat<wchar_t>* /*out*/,
                                    CNAConnectionDescription* /*connection*/, unsigned int /*flags*/) {
  return 0;
}

int CNADriverSQL::bGetTableList(CAny* /*result*/, CNAConnectionDescription* /*connection*/,
                                const wchar_t* /*filter*/, unsigned int /*flags*/) {
  return 0;
}

int CNADriverSQL::bGetColumnList(CAny* /*result*/, CNAConnectionDescription* /*connection*/,
                                 const wchar_t* /*table*/, unsigned int /*flags*/) {
  return 0;
}

int CNADriverSQL::bGetLinkList(CAny* /*result*/, CNAConnectionDescription* /*connection*/,
                               const wchar_t* /*table*/, INADataSourceDescription* /*source*/,
                               unsigned int /*flags*/) {
  return 0;
}

int CNADriverSQL::bGetColumnTypeList(CAny* /*result*/, int /*reserved1*/, int /*reserved2*/) { return 0; }
