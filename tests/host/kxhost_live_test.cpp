// kxhost opens a connection through the library's driver against the
// fixture's server, and fails cleanly with a wrong password.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

namespace {

size_t CountOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t nPos = text.find(what); nPos != std::string::npos; nPos = text.find(what, nPos + 1))
    ++n;
  return n;
}

// The text in single quotes for the shell.
std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The installed client library's version text (asked of the library
// itself, which needs no set-up for it).
std::string ClientVersion() {
  void* h = dlopen("libmariadb.so.3", RTLD_NOW | RTLD_NODELETE);
  if (h == nullptr) return std::string();
  using Info = const char* (*)();
  auto pfn = reinterpret_cast<Info>(dlsym(h, "mysql_get_client_info"));
  return pfn != nullptr ? pfn() : "";
}

class KxHostLive : public testing::Test {
 protected:
  void SetUp() override {
    std::string failure;
    ASSERT_TRUE(kxtest::ReadMariaDbConnection(m_c, failure)) << failure;
  }
  std::string Run(const std::string& sPassword, int& nStatus) const {
    const std::string sCommand =
        kxtest::HostPath() + " --host " + Quoted(m_c.host) + " --port " + std::to_string(m_c.port) +
        " --user " + Quoted(m_c.user) + " --password " + Quoted(sPassword) + " --database " +
        Quoted(m_c.database) + " 2>&1";
    return kxtest::RunCommand(sCommand, nStatus);
  }
  kxtest::MariaDbConnection m_c;
};

TEST_F(KxHostLive, OpensAndClosesThroughTheDriver) {
  int nStatus = -1;
  const std::string out = Run(m_c.password, nStatus);
  EXPECT_EQ(nStatus, 0) << out;
  size_t nPos = 0;
  for (const char* psz : {"-> driver versions (slots 0-3): 18 17 -1 -1", "-> bOpenConnection: 1",
                          "-> client library mapped: /", "-> bCloseConnection: 1",
                          "-> nExternalRelease: 0", "-> TermLibrary: 1",
                          "   runtime received message 3052", "kxhost: done"}) {
    const size_t nFound = out.find(psz, nPos);
    ASSERT_NE(nFound, std::string::npos) << psz << "\n" << out;
    nPos = nFound;
  }
  // The diagnosis describes the connection: the client library's version
  // and path, and the database code page of Unicode mode.
  const size_t nDiagnose = out.find("-> bHConnexionDiagnose: ");
  ASSERT_NE(nDiagnose, std::string::npos) << out;
  const std::string sDiagnosis = out.substr(nDiagnose, out.find("-> client library mapped") - nDiagnose);
  const std::string sVersion = ClientVersion();
  ASSERT_FALSE(sVersion.empty());
  EXPECT_NE(sDiagnosis.find("<" + sVersion + ">"), std::string::npos) << sDiagnosis;
  EXPECT_NE(sDiagnosis.find("Database code page: UTF-8"), std::string::npos) << sDiagnosis;
  EXPECT_NE(sDiagnosis.find("Client library: /"), std::string::npos) << sDiagnosis;
  // The mapped client library is named by its path.
  const size_t nLib = out.find("-> client library mapped: ");
  const std::string sLine = out.substr(nLib, out.find('\n', nLib) - nLib);
  EXPECT_NE(sLine.find("libmariadb"), std::string::npos) << sLine;
  EXPECT_EQ(CountOf(out, "runtime received message 3052"), 1u) << out;
  EXPECT_EQ(out.find(m_c.password), std::string::npos) << "the password was printed";
}

TEST_F(KxHostLive, WrongPasswordPrintsTheServersError) {
  const std::string sWrong = m_c.password + "-wrong";
  int nStatus = -1;
  const std::string out = Run(sWrong, nStatus);
  EXPECT_EQ(nStatus, 2) << "exit status of a refused connection";
  const size_t nOpen = out.find("-> bOpenConnection: 0");
  ASSERT_NE(nOpen, std::string::npos) << "no failed open reported";
  const size_t nError = out.find("   error: ", nOpen);
  ASSERT_NE(nError, std::string::npos) << "no error text";
  EXPECT_NE(out.find("Access denied", nError), std::string::npos) << "no server error";
  EXPECT_NE(out.find("-> TermLibrary: 1", nError), std::string::npos) << "no module end";
  EXPECT_EQ(CountOf(out, "runtime received message 3052"), 1u);
  // Neither the wrong password nor the right one (its prefix) shows
  // anywhere; the output is not streamed on failure for the same reason.
  EXPECT_EQ(out.find(m_c.password), std::string::npos) << "the password was printed";
}

}  // namespace
