#include "TestConnection.h"

namespace kxtest {

TestConnection::TestConnection(INAConnectionDescription* host, const wchar_t* identification,
                               eDATASOURCE kind)
    : CNAConnectionDescription(identification, host) {
  SetKind(kind);
}

TestConnection::~TestConnection() = default;

int TestConnection::bOpen(CNAError* /*error*/) {
  ++m_nOpenCalls;
  return m_bOpenAnswer;
}

int TestConnection::bIsOpen() { return m_bIsOpenAnswer; }

int TestConnection::bClose(CNAError* /*error*/) {
  ++m_nCloseCalls;
  return m_bCloseAnswer;
}

void TestConnection::_InitXQ2NativeType() {}

void TestConnection::SetKind(eDATASOURCE kind) {
  m_eDataSource = kind;
  const bool bBackquotes = kind == DATASOURCE_MARIADB;
  m_csOpeningQuote.Set(bBackquotes ? L"`" : L"");
  m_nOpeningQuoteLength = bBackquotes ? 1 : 0;
  m_csClosingQuote.Set(bBackquotes ? L"`" : L"");
  m_nClosingQuoteLength = bBackquotes ? 1 : 0;
}

}  // namespace kxtest
