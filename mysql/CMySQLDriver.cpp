#include "CMySQLDriver.h"

#include <new>

#include "LibraryEntry.h"
#include "CMySQLConnection.h"

namespace {

CNADriver* NewMySQLDriver() { return new CMySQLDriver(); }

// The entry points make and end this driver; the registration runs while
// the library (or a program linking the driver) loads, before any entry can
// be called.
[[maybe_unused]] const bool gbRegistered =
    NA_bRegisterConcreteDriver(&NewMySQLDriver, &CMySQLDriver::g_NATermModule);

}  // namespace

CMySQLDriver::CMySQLDriver() { m_llValue = knDriverValue; }

CMySQLDriver::~CMySQLDriver() = default;

CNAStatement* CMySQLDriver::pclAllocStatement(CNADataAccess* /*access*/,
                                              CNAConnectionDescription* /*cnx*/,
                                              CNAError* /*error*/) {
  return nullptr;
}

CNAConnectionDescription* CMySQLDriver::_pclAllocConnectionDescription(
    const wchar_t* identification, INAConnectionDescription* cnx) {
  return new (std::nothrow) CMySQLConnection(identification, cnx);
}

CNADriverSQL* CMySQLDriver::_pclAllocDriverSQL(CNAError* /*error*/) { return nullptr; }

void CMySQLDriver::g_NATermModule() {
  CMySQLConnection::g_TermNativeLibrary();
  CNADriver::g_NATermModule();
}
