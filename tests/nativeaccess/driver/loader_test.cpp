// The client-library loader: which file is loaded and recorded, how the
// table is bound, stopped and put back on its stubs.
//
// Each test runs in a process of its own that maps no client library
// otherwise. Libraries the tests make (tiny shared objects exporting some of
// the client functions) are built with the system compiler in a temporary
// directory. The real client library, once loaded, is pinned so that it is
// never unmapped: the leak checker then still sees its one-time set-up.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "CTString.h"
#include "CXError.h"
#include "support/TestConnection.h"
#include "TestSupport.h"

namespace {

std::wstring W(const char* s) { return std::wstring(s, s + std::char_traits<char>::length(s)); }
std::string N(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// Calls a function with value-initialised arguments; the text it threw.
template <typename R, typename... A>
std::wstring ThrownText(R (*f)(A...)) {
  try {
    f(A{}...);
  } catch (const CTString& cs) {
    return cs.pszGet();
  }
  return L"<returned>";
}

struct stFunction {
  const char* pszName;
  bool bOnStub;
  std::wstring sThrown;  // what calling through the pointer throws (stub only)
};

std::vector<stFunction> Table() {
  std::vector<stFunction> vec;
#define KX_ROW(ret, name, params)                                                 \
  {                                                                               \
    const bool bStub = __##name == &DefaultError_##name;                          \
    vec.push_back({#name, bStub, bStub ? ThrownText(__##name) : std::wstring()}); \
  }
  KX_MYSQL_MANDATORY_FUNCTIONS(KX_ROW)
  KX_MYSQL_OPTIONAL_FUNCTIONS(KX_ROW)
#undef KX_ROW
  return vec;
}

// Names whose pointer is on its stub / bound.
std::vector<std::string> Names(bool bOnStub) {
  std::vector<std::string> vec;
  for (const stFunction& st : Table())
    if (st.bOnStub == bOnStub) vec.push_back(st.pszName);
  return vec;
}

const std::vector<std::string>& AllNames() {
  static const std::vector<std::string> vec = [] {
    std::vector<std::string> v;
    for (const stFunction& st : Table()) v.push_back(st.pszName);
    return v;
  }();
  return vec;
}

std::vector<std::string> Slice(std::size_t from, std::size_t to) {
  return std::vector<std::string>(AllNames().begin() + static_cast<long>(from),
                                  AllNames().begin() + static_cast<long>(to));
}

// The file the dynamic loader mapped for an address of the library.
std::string FileOf(const void* address) {
  Dl_info st{};
  if (dladdr(address, &st) == 0 || st.dli_fname == nullptr) return "<none>";
  return st.dli_fname;
}

std::string CurrentDirectory() {
  char sz[PATH_MAX] = {};
  return getcwd(sz, sizeof(sz)) != nullptr ? sz : "";
}

std::string RealPath(const std::string& path) {
  char sz[PATH_MAX] = {};
  return realpath(path.c_str(), sz) != nullptr ? sz : "";
}

// Keeps the library mapped for the rest of the process.
void Pin(const std::string& path) {
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  ASSERT_NE(h, nullptr) << path;
  dlclose(h);
}

// The system's client library file (looked up without loading it).
std::string SystemClientLibrary() {
  const char* apszDirs[] = {"/usr/lib/x86_64-linux-gnu", "/lib/x86_64-linux-gnu", "/usr/lib64",
                            "/usr/lib", "/usr/local/lib"};
  for (const char* psz : apszDirs) {
    const std::string s = std::string(psz) + "/libmariadb.so";
    if (access(s.c_str(), R_OK) == 0) return s;
  }
  return "";
}

class TempDir {
 public:
  TempDir() {
    char sz[] = "/tmp/kxloaderXXXXXX";
    if (mkdtemp(sz) != nullptr) m_s = sz;
  }
  ~TempDir() {
    if (m_s.empty()) return;
    int n = 0;
    kxtest::RunCommand("rm -rf '" + m_s + "'", n);
  }
  const std::string& Path() const { return m_s; }

 private:
  std::string m_s;
};

// Builds `path`, a shared object exporting the first `count` client
// functions of the table; the first one answers "kx-fake". False (with the
// compiler's output) when it cannot be built.
bool BuildLibrary(const std::string& path, std::size_t count, std::string& why) {
  const std::string sSource = path + ".c";
  {
    std::ofstream out(sSource);
    for (std::size_t i = 0; i < count; ++i) {
      if (i == 0)
        out << "const char* " << AllNames()[i] << "(void) { return \"kx-fake\"; }\n";
      else
        out << "int " << AllNames()[i] << "(void) { return 0; }\n";
    }
  }
  const char* pszCompiler = std::getenv("CC");
  const std::string sCompiler = pszCompiler != nullptr && *pszCompiler ? pszCompiler : "cc";
  int nStatus = 0;
  why = kxtest::RunCommand(
      sCompiler + " -shared -fPIC -o '" + path + "' '" + sSource + "' 2>&1", nStatus);
  return nStatus == 0 && access(path.c_str(), R_OK) == 0;
}

std::string ProgramDirectory() {
  char sz[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", sz, sizeof(sz) - 1);
  if (n <= 0) return "";
  std::string s(sz, static_cast<std::size_t>(n));
  return s.substr(0, s.rfind('/') + 1);
}

// The wanted-library check of a connection that asks for `wanted`.
bool WantedAccepted(const std::wstring& wanted) {
  kxtest::TestConnection cnx;
  cnx.m_csClientLibraryWanted.Set(wanted.c_str());
  CNAError err;
  const int b = cnx._bCheckClientLibraryWanted(&err);
  return b == 1 && err.eGetErrorType() == NA_ERRORTYPE_NONE;
}

std::int32_t NativeCode(CNAError& err) {
  void* pValue = nullptr;
  if (!err.pclGetXError()->bGetInfo(EIT_NATIVECODE, &pValue)) return -1;
  std::int32_t n = 0;
  std::memcpy(&n, &pValue, sizeof(n));
  return n;
}

class loaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CNAConnectionDescription::m_csClientLibrary.Vide();
    ASSERT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
  }
  void TearDown() override {
    CNAFunctionLoader::g_Term();
    CNAConnectionDescription::m_csClientLibrary.Vide();
  }
  // A library of the first `count` functions in the temporary directory.
  std::string Library(const std::string& file, std::size_t count) {
    const std::string s = m_tmp.Path() + "/" + file;
    std::string why;
    if (!BuildLibrary(s, count, why)) ADD_FAILURE() << "cannot build " << s << ": " << why;
    return s;
  }
  TempDir m_tmp;
};

// ---------------------------------------------------------------------------
// Stubs and the initial state
// ---------------------------------------------------------------------------

TEST_F(loaderTest, EveryPointerStartsOnItsStubWhichThrowsItsName) {
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
  EXPECT_EQ(CNAFunctionLoader::g_hGetNativeLibHandle(), nullptr);
  const std::vector<stFunction> vec = Table();
  ASSERT_EQ(vec.size(), 25u);
  for (const stFunction& st : vec) {
    EXPECT_TRUE(st.bOnStub) << st.pszName;
    EXPECT_EQ(st.sThrown, W(st.pszName));
  }
  // No loader: g_Term does nothing and nothing is made.
  CNAFunctionLoader::g_Term();
  EXPECT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
}

TEST_F(loaderTest, DefaultLibraryName) {
  CNAFunctionLoader clLoader;
  EXPECT_EQ(std::wstring(clLoader._vpszGetLibraryName()), L"libmariadb.so");
  CTString cs(L"other");
  clLoader._GetLibraryName(&cs, 0);
  EXPECT_EQ(std::wstring(cs.pszGet()), L"libmariadb.so");
  clLoader._GetLibraryName(nullptr, 0);
}

// ---------------------------------------------------------------------------
// Which file is loaded, and which path is recorded
// ---------------------------------------------------------------------------

// A null, empty or bare default name loads the system's library; the path
// recorded is the one the dynamic loader names, its link not resolved, and
// the connection's check accepts it.
TEST_F(loaderTest, DefaultNameRecordsTheSystemPath) {
  const std::string sSystem = SystemClientLibrary();
  if (sSystem.empty()) GTEST_SKIP() << "no libmariadb.so on this system";
  const wchar_t* apszNames[] = {nullptr, L"", L"libmariadb.so"};
  for (const wchar_t* pszName : apszNames) {
    SCOPED_TRACE(pszName == nullptr ? "null" : N(pszName));
    CNAError err;
    const std::string sCwd = CurrentDirectory();
    ASSERT_EQ(CNAFunctionLoader::g_bInitNative(&err, &CNAConnectionDescription::m_csClientLibrary,
                                               pszName, 0),
              1)
        << N(err.pszGetError());
    const std::string sRecorded = N(CNAConnectionDescription::m_csClientLibrary.pszGet());
    Pin(sRecorded);
    EXPECT_EQ(CurrentDirectory(), sCwd);
    EXPECT_EQ(err.eGetErrorType(), NA_ERRORTYPE_NONE);
    EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 1);
    EXPECT_NE(CNAFunctionLoader::g_hGetNativeLibHandle(), nullptr);
    EXPECT_EQ(sRecorded.front(), '/');
    EXPECT_EQ(sRecorded.substr(sRecorded.rfind('/')), "/libmariadb.so");
    EXPECT_EQ(RealPath(sRecorded), RealPath(sSystem));
    EXPECT_EQ(FileOf(reinterpret_cast<void*>(__mysql_init)), sRecorded);
    EXPECT_TRUE(Names(true).empty());
    EXPECT_TRUE(WantedAccepted(L"libmariadb.so"));
    EXPECT_TRUE(WantedAccepted(W(sRecorded.c_str())));
    CNAFunctionLoader::g_Term();
    EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
    EXPECT_EQ(Names(true), AllNames());
  }
}

// A path to a copy of the library loads that very copy, without touching
// the current directory; slashes or backslashes alike.
TEST_F(loaderTest, AbsolutePathLoadsThatFileAndRecordsIt) {
  const std::string sSystem = SystemClientLibrary();
  if (sSystem.empty()) GTEST_SKIP() << "no libmariadb.so on this system";
  ASSERT_FALSE(m_tmp.Path().empty());
  const std::string sCopy = m_tmp.Path() + "/libmariadb.so";
  int nStatus = 0;
  kxtest::RunCommand("cp '" + sSystem + "' '" + sCopy + "'", nStatus);
  ASSERT_EQ(nStatus, 0);
  std::wstring sBackslashed = W(sCopy.c_str());
  for (wchar_t& c : sBackslashed)
    if (c == L'/') c = L'\\';
  const std::wstring asNames[] = {W(sCopy.c_str()), sBackslashed};
  for (const std::wstring& sName : asNames) {
    SCOPED_TRACE(N(sName));
    CNAError err;
    const std::string sCwd = CurrentDirectory();
    ASSERT_EQ(CNAFunctionLoader::g_bInitNative(&err, &CNAConnectionDescription::m_csClientLibrary,
                                               sName.c_str(), 0),
              1)
        << N(err.pszGetError());
    Pin(sCopy);
    EXPECT_EQ(CurrentDirectory(), sCwd);
    EXPECT_EQ(N(CNAConnectionDescription::m_csClientLibrary.pszGet()), sCopy);
    EXPECT_EQ(FileOf(reinterpret_cast<void*>(__mysql_init)), sCopy);
    EXPECT_EQ(FileOf(reinterpret_cast<void*>(__mysql_error)), sCopy);
    EXPECT_TRUE(WantedAccepted(W(sCopy.c_str())));
    EXPECT_TRUE(WantedAccepted(L"libmariadb.so"));
    EXPECT_FALSE(WantedAccepted(W(sSystem.c_str())));
    CNAFunctionLoader::g_Term();
  }
}

// A bare name is tried in the running program's directory first.
TEST_F(loaderTest, BareNameIsFoundInTheProgramDirectory) {
  const std::string sDirectory = ProgramDirectory();
  ASSERT_FALSE(sDirectory.empty());
  const std::string sFile = "libkxloaderprobe" + std::to_string(getpid()) + ".so";
  const std::string sBuilt = Library(sFile, 25);
  const std::string sPlaced = sDirectory + sFile;
  int nStatus = 0;
  kxtest::RunCommand("cp '" + sBuilt + "' '" + sPlaced + "'", nStatus);
  ASSERT_EQ(nStatus, 0);
  CNAError err;
  CTString csPath;
  const int b = CNAFunctionLoader::g_bInitNative(&err, &csPath, W(sFile.c_str()).c_str(), 0);
  unlink(sPlaced.c_str());
  ASSERT_EQ(b, 1) << N(err.pszGetError());
  EXPECT_EQ(N(csPath.pszGet()), sPlaced);
  EXPECT_EQ(std::string(__mysql_get_client_info()), "kx-fake");
  EXPECT_TRUE(Names(true).empty());
}

// ---------------------------------------------------------------------------
// Failures
// ---------------------------------------------------------------------------

// Nothing loadable: user error 27 naming what was tried, the loader's
// message, nothing recorded; the next call tries again. A name with a
// directory makes its one attempt there only (a search by file name would
// find the system's C library).
TEST_F(loaderTest, FailedLoadReportsError27AndIsRetried) {
  struct stCase {
    const wchar_t* pszName;
  } astCases[] = {
      {L"/kx-no-such-directory/libc.so.6"},
      {L"\\kx-no-such-directory\\libc.so.6"},
      {L"kx-no-such-library.so"},
      {L"/kx-no-such-directory/"},
  };
  for (const stCase& st : astCases) {
    SCOPED_TRACE(N(st.pszName));
    CNAError err;
    CTString csPath(L"unchanged");
    EXPECT_EQ(CNAFunctionLoader::g_bInitNative(&err, &csPath, st.pszName, 0), 0);
    EXPECT_EQ(std::wstring(csPath.pszGet()), L"unchanged");
    EXPECT_EQ(err.eGetErrorType(), NA_ERRORTYPE_GENERIC);
    EXPECT_EQ(err.nGetUserErrorCode(), 27u);
    EXPECT_EQ(NativeCode(err), 27);
    const std::wstring sUser = err.pclGetXError()->pszGetUserMessage();
    EXPECT_NE(sUser.find(L"MariaDB"), std::wstring::npos) << N(sUser);
    EXPECT_NE(sUser.find(st.pszName), std::wstring::npos) << N(sUser);
    EXPECT_NE(sUser.find(L"64"), std::wstring::npos) << N(sUser);
    EXPECT_FALSE(std::wstring(err.pszGetSystemErrorMessage()).empty());
    EXPECT_NE(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
    EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
    EXPECT_EQ(Names(true), AllNames());
  }
  // The loader stayed without a handle: the next call loads.
  const std::string sLibrary = Library("libfull.so", 25);
  CNAError err;
  CTString csPath;
  EXPECT_EQ(CNAFunctionLoader::g_bInitNative(&err, &csPath, W(sLibrary.c_str()).c_str(), 0), 1)
      << N(err.pszGetError());
  EXPECT_EQ(N(csPath.pszGet()), sLibrary);
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 1);
}

// After a full load and g_Term, a library lacking mysql_errno stops the
// binding there: error 37, the library stays loaded, and the functions from
// mysql_errno on are on their stubs, not on the former library's code.
TEST_F(loaderTest, MissingMandatoryFunctionStopsBindingAfterTerm) {
  const std::string sSystem = SystemClientLibrary();
  if (sSystem.empty()) GTEST_SKIP() << "no libmariadb.so on this system";
  {
    CNAError err;
    ASSERT_EQ(CNAFunctionLoader::g_bInitNative(&err, &CNAConnectionDescription::m_csClientLibrary,
                                               nullptr, 0),
              1)
        << N(err.pszGetError());
    Pin(N(CNAConnectionDescription::m_csClientLibrary.pszGet()));
    EXPECT_EQ(Names(true), std::vector<std::string>());  // the system library has all 25
    CNAFunctionLoader::g_Term();
    EXPECT_EQ(Names(true), AllNames());
  }
  const std::string sLacking = Library("libnoerrno.so", 17);
  CNAError err;
  CTString csPath;
  EXPECT_EQ(CNAFunctionLoader::g_bInitNative(&err, &csPath, W(sLacking.c_str()).c_str(), 0), 0);
  EXPECT_EQ(N(csPath.pszGet()), sLacking);
  EXPECT_EQ(err.nGetUserErrorCode(), 37u);
  EXPECT_EQ(NativeCode(err), 37);
  const std::wstring sUser = err.pclGetXError()->pszGetUserMessage();
  EXPECT_NE(sUser.find(L"mysql_errno"), std::wstring::npos) << N(sUser);
  EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 1);
  EXPECT_EQ(Names(false), Slice(0, 17));
  EXPECT_EQ(Names(true), Slice(17, 25));
  EXPECT_EQ(FileOf(reinterpret_cast<void*>(__mysql_init)), sLacking);
  EXPECT_EQ(ThrownText(__mysql_error), L"mysql_error");
  // Loaded: a further call loads nothing more and still reports the stop.
  void* hBefore = CNAFunctionLoader::g_hGetNativeLibHandle();
  CNAError errAgain;
  EXPECT_EQ(CNAFunctionLoader::g_bInitNative(&errAgain, nullptr, nullptr, 0), 0);
  EXPECT_EQ(CNAFunctionLoader::g_hGetNativeLibHandle(), hBefore);
}

// The optional functions may be missing: the load succeeds, they stay on
// their stubs, and a call of one throws its name.
TEST_F(loaderTest, MissingOptionalFunctionsStayOnStubs) {
  const std::string sLibrary = Library("libmandatory.so", 20);
  CNAError err;
  EXPECT_EQ(CNAFunctionLoader::g_bInitNative(&err, nullptr, W(sLibrary.c_str()).c_str(), 0), 1)
      << N(err.pszGetError());
  EXPECT_EQ(err.eGetErrorType(), NA_ERRORTYPE_NONE);
  EXPECT_EQ(Names(false), Slice(0, 20));
  EXPECT_EQ(Names(true), Slice(20, 25));
  EXPECT_TRUE(__mysql_next_result == &DefaultError_mysql_next_result);
  EXPECT_EQ(ThrownText(__mysql_options), L"mysql_options");
  EXPECT_EQ(ThrownText(__mysql_real_escape_string), L"mysql_real_escape_string");
  EXPECT_EQ(std::string(__mysql_get_client_info()), "kx-fake");
  CNAFunctionLoader::g_Term();
  EXPECT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
  EXPECT_EQ(Names(true), AllNames());
}

}  // namespace
