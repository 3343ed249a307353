// The connection on the installed client library without a server: how the
// library's version is read, and that refused openings leave nothing
// behind (the leak checker sees every handle).
#include <arpa/inet.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "StandInStrMemAlloc.h"
#include "nativeaccess/support/TestConnection.h"

namespace {

// A loopback port nothing listens on (taken and given back at once).
unsigned ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof(addr);
  unsigned port = 1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  close(fd);
  return port;
}

// The installed Connector/C numbers itself 3.x: it is still a client of the
// 4.1 protocol and newer, so multiple statements and results are on; and
// every refused opening gives its handle back.
TEST(mysqlRealClient, ConnectorCIsANewClientAndRefusedOpeningsLeakNothing) {
  // The client library's one-time set-up stays mapped after the module end
  // unloads it, so the leak checker still sees it referenced.
  void* hPin = dlopen("libmariadb.so.3", RTLD_NOW | RTLD_NODELETE);
  if (hPin == nullptr) GTEST_SKIP() << "no libmariadb.so.3: " << dlerror();
  CStandInStrMemAlloc alloc;
  IStrMemAlloc* piSaved = CInformationModule::ms_piStrMemAlloc;
  CInformationModule::ms_piStrMemAlloc = &alloc;
  {
    const std::wstring extended =
        L"Server Port=" + std::to_wstring(ClosedPort()) + L";Client Flag=0";
    kxtest::TestHostDescription host;
    host.pszDataSource = L"127.0.0.1";
    host.pszUser = L"nobody";
    host.pszPassword = L"x";
    host.pszExtendedInfo = extended.c_str();
    CMySQLConnection cnx(L"id", &host);
    for (int i = 0; i < 20; ++i) {
      CNAError error;
      ASSERT_EQ(cnx.bOpen(&error), 0);
      EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 79u);
      const std::uint32_t nCode = error.dwGetDataBaseErrorCode();
      EXPECT_TRUE(nCode == 2002 || nCode == 2003) << nCode;
      EXPECT_EQ(cnx.bIsOpen(), 0);
    }
    EXPECT_EQ(CMySQLConnection::gbConnectorC, 1);
    EXPECT_EQ(CNAConnectionDescription::m_nClientVersionMajor, 3);
    const std::wstring version = CNAConnectionDescription::m_csClientVersion.pszGet();
    EXPECT_EQ(version.compare(0, 2, L"3."), 0);
    EXPECT_EQ(CMySQLConnection::bClientVersionGreaterThan4_1(), 1);
    EXPECT_EQ(CMySQLConnection::gbUseNextResult, 1);
    EXPECT_EQ(cnx.bMultipleRecordsetEnabled(), 1);
  }
  CNAFunctionLoader::g_Term();
  EXPECT_EQ(alloc.nGetLiveBlocks(), 0u);
  CInformationModule::ms_piStrMemAlloc = piSaved;
}

}  // namespace
