// Fixture of the connection tests on the fake client library: the stand-in
// string allocator installed as the process's, one variant of the fake
// loaded and kept mapped by the test, its script reset, and a connection
// description naming the fake in "KX CLIENT LIBRARY". At the end the module
// end unloads the library (the test's own mapping stays) and every string
// block is back.
//
// The client library loads once per process: a test uses one variant.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "StandInStrMemAlloc.h"
#include "TestSupport.h"
#include "mysql/fakeclient/FakeClientScript.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/TestConnection.h"

namespace kxtest {

// The connection with its protected state in view.
class ProbeConnection : public CMySQLConnection {
 public:
  using CMySQLConnection::CMySQLConnection;
  int nCodePage() const { return m_nDataBaseCodePage; }
  int nUnicode() const { return m_nUnicodeSupport; }
  void SetApplicationCodePage(int n) { m_nApplicationCodePage = n; }
  bool bHoldsHandle() const { return m_pMySQL != nullptr; }
};

class FakeClientTest : public testing::Test {
 protected:
  void SetUp() override {
    m_piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
  }
  void TearDown() override {
    CNAFunctionLoader::g_Term();
    EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u) << "a string block was not given back";
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
  }
  // Maps the variant for the rest of the process and resets its script.
  FakeClientScript* Load(const std::string& variant) {
    m_sPath = FakeClientPath(variant);
    void* h = dlopen(m_sPath.c_str(), RTLD_NOW | RTLD_NODELETE);
    EXPECT_NE(h, nullptr) << m_sPath << ": " << dlerror();
    if (h == nullptr) return nullptr;
    auto pfn = reinterpret_cast<PFN_kxfake_script>(dlsym(h, "kxfake_script"));
    EXPECT_NE(pfn, nullptr);
    if (pfn == nullptr) return nullptr;
    m_pScript = pfn();
    *m_pScript = FakeClientScript();
    return m_pScript;
  }
  // The extended information: the fake as client library, then `keys`.
  const wchar_t* Extended(const std::wstring& keys) {
    m_sExtended = L"KX CLIENT LIBRARY=" + std::wstring(m_sPath.begin(), m_sPath.end());
    if (!keys.empty()) m_sExtended += L";" + keys;
    return m_sExtended.c_str();
  }
  // A description of server "db.example", user "kx", database "kxtest".
  void Describe(TestHostDescription& host, const std::wstring& keys) {
    host.pszDataSource = L"db.example";
    host.pszUser = L"kx";
    host.pszPassword = L"pw";
    host.pszDefaultDataBase = L"kxtest";
    host.pszExtendedInfo = Extended(keys);
  }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSaved = nullptr;
  std::string m_sPath;
  std::wstring m_sExtended;
  FakeClientScript* m_pScript = nullptr;
};

}  // namespace kxtest
