// kxhost opens a connection through the library's driver against the
// fixture's server, and fails cleanly with a wrong password; on the open
// connection it reads a table of its own through the table interface.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

// Row `id` of the table kxhost creates, as kxhost prints it: grp in runs of
// six (NULL every 25th row), a name of accented or four-byte text (NULL
// every 10th row), a 64-bit score (NULL every 7th row).
std::string RoadRow(int id) {
  static const char* const names[] = {"Zoë", "Ångström", "Łódź", "naïve café", "😀 smile", "𝄞 clef", "Straße", "plain"};
  std::string s = "id=" + std::to_string(id);
  s += " grp=" + (id % 25 == 0 ? std::string("NULL") : std::to_string((id - 1) / 6));
  s += " name=" + (id % 10 == 0 ? std::string("NULL") : "\"" + std::string(names[id % 8]) + " " + std::to_string(id) + "\"");
  s += " score=" + (id % 7 == 0 ? std::string("NULL") : std::to_string(static_cast<std::int64_t>(id) * 1000003000));
  return s;
}

// Every row read both ways, decoded from the native record buffer, equal to
// the inserts and in order; the searches, the key change, the count, the
// second context's user error 19 and the release.
TEST_F(KxHostLive, ReadsItsTableThroughTheTableInterface) {
  int nStatus = -1;
  const std::string out = Run(m_c.password, nStatus);
  EXPECT_EQ(nStatus, 0) << out;
  const size_t nOpened = out.find("-> bHOuvre: 1\n");
  ASSERT_NE(nOpened, std::string::npos) << out;
  size_t nPos = nOpened;
  for (int i = 0; i < 500; ++i) {
    const bool bForward = i < 250;
    const int id = bForward ? i + 1 : 500 - i;
    const std::string sLine = std::string("   row ") + (bForward ? "next " : "previous ") + RoadRow(id) + "\n";
    const size_t nFound = out.find(sLine, nPos);
    ASSERT_NE(nFound, std::string::npos) << sLine << out.substr(nPos, 2000);
    nPos = nFound;
  }
  EXPECT_EQ(CountOf(out, "   row next "), 250u);
  EXPECT_EQ(CountOf(out, "   row previous "), 250u);
  EXPECT_EQ(CountOf(out, "   unexpected: "), 0u) << out;
  const std::vector<std::string> steps = {
        "-> browse on id (next): 250 rows, in order", "-> browse on id (previous): 250 rows, in order",
        "-> bHRecherche grp=16: 1, bEvalHTrouve: 1 found 1 in file 1, bHEnDehors: 1 out 0",
        "   row found " + RoadRow(97), "   row found " + RoadRow(102), "-> rows found for grp=16: 5",
        std::string("-> bHRecherche grp=999: 1, bEvalHTrouve: 1 found 0"), std::string("-> rows found for grp=999: 0"),
        "   row from " + RoadRow(99), std::string("-> bHChangeCle grp: 1, then next on grp: 1"),
        "   row after-change " + RoadRow(101), std::string("-> bHNbEnr (whole): 1, 250 records"),
        std::string("-> bHLitxxx in a second context that never opened it: 0"), std::string("   error 19: "),
        std::string("-> bHFerme: 1"), std::string("-> table nExternalRelease: 0"),
        std::string("-> declared description references left: 0"), std::string("kxhost: done")};
  nPos = nOpened;
  for (const std::string& s : steps) {
    const size_t nFound = out.find(s, nPos);
    ASSERT_NE(nFound, std::string::npos) << s << "\n" << out.substr(nPos);
    nPos = nFound;
  }
  // The second context's error names the table by its logical name.
  const size_t nError = out.find("   error 19: ");
  const std::string sError = out.substr(nError, out.find("\n-> ", nError) - nError);
  EXPECT_NE(sError.find("kxhost_road"), std::string::npos) << sError;
}

}  // namespace
