// The library's component command as the platform's runtime uses it: the
// library loaded with dlopen, the stand-in runtime's string loader handed over
// with command 2, texts asked for with command 3.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../../runtime/messages/tools/MessagePacker.h"
#include "StandInControl.h"
#include "TestSupport.h"

namespace {

constexpr unsigned int kMessage = 3355;  // a message of the library's own file

std::wstring FromUtf8(const std::string& s) {
  std::wstring w;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int nMore = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    std::uint32_t cp = nMore == 0 ? c : c & (0x3F >> nMore);
    for (int k = 1; k <= nMore; ++k) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    w += static_cast<wchar_t>(cp);
    i += static_cast<std::size_t>(nMore) + 1;
  }
  return w;
}

// The library's message files, as the build packed them.
std::vector<CMessagePacker::STMessage> ReadLibraryMessageFile() {
  std::string sDir = __FILE__;
  sDir = sDir.substr(0, sDir.rfind("/tests/")) + "/runtime/messages";
  std::vector<CMessagePacker::STMessage> aMessages;
  for (const auto& entry : std::filesystem::directory_iterator(sDir)) {
    if (entry.path().extension() != ".msg") continue;
    std::ifstream in(entry.path());
    std::vector<CMessagePacker::STMessage> aFile;
    std::string sError;
    EXPECT_TRUE(in && CMessagePacker::s_bParse(in, aFile, sError)) << entry.path() << " " << sError;
    aMessages.insert(aMessages.end(), aFile.begin(), aFile.end());
  }
  return aMessages;
}

class LibraryMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hLibrary = dlopen(kxtest::LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_hLibrary, nullptr) << dlerror();
    m_pfnCommande = reinterpret_cast<PFN_CommandeComposante>(dlsym(m_hLibrary, "CommandeComposante"));
    ASSERT_NE(m_pfnCommande, nullptr);
    m_vm = std::make_unique<StandInVm>(kxtest::StandInVmPath());
    m_vm->Reset();
  }
  // The library must not keep the loader of a stand-in that goes away.
  void TearDown() override {
    if (m_pfnCommande != nullptr) m_pfnCommande(STANDIN_COMMAND_SET_LOADSTRING, nullptr);
    m_vm.reset();
    if (m_hLibrary != nullptr) dlclose(m_hLibrary);
  }

  std::int64_t Load(unsigned int nId, wchar_t* psz, std::uint32_t nCapacity,
                    std::uint32_t* pnResult = nullptr) {
    STStandInLoadStringRequest st{};
    st.nSize = sizeof(st);
    st.nId = nId;
    st.pszBuffer = psz;
    st.nCapacity = nCapacity;
    st.nResult = 77;
    const std::int64_t n = m_pfnCommande(STANDIN_COMMAND_LOADSTRING, &st);
    if (pnResult != nullptr) *pnResult = st.nResult;
    return n;
  }

  void InstallLoader() {
    ASSERT_EQ(m_pfnCommande(STANDIN_COMMAND_SET_LOADSTRING, reinterpret_cast<void*>(m_vm->LoadString)),
              1);
  }

  void* m_hLibrary = nullptr;
  PFN_CommandeComposante m_pfnCommande = nullptr;
  std::unique_ptr<StandInVm> m_vm;
};

TEST_F(LibraryMessages, CommandThreeAsksTheRuntimeFirstThenTheOwnMessages) {
  InstallLoader();
  m_vm->SetString(kMessage, L"texte du runtime");
  wchar_t sz[256];
  std::uint32_t nResult = 0;
  EXPECT_EQ(Load(kMessage, sz, 256, &nResult), 16);
  EXPECT_EQ(nResult, 16u);
  EXPECT_EQ(std::wstring(sz), L"texte du runtime");
  EXPECT_EQ(m_vm->GetLoadStringCalls(), 1);

  // The runtime has no text: every message of the library's file comes from
  // its own block, after the runtime was asked.
  m_vm->SetString(kMessage, nullptr);
  const std::vector<CMessagePacker::STMessage> aMessages = ReadLibraryMessageFile();
  ASSERT_FALSE(aMessages.empty());
  int nCalls = m_vm->GetLoadStringCalls();
  for (const CMessagePacker::STMessage& m : aMessages) {
    SCOPED_TRACE(m.nId);
    const std::wstring sText = FromUtf8(m.sBytes);
    EXPECT_EQ(Load(m.nId, sz, 256, &nResult), static_cast<std::int64_t>(sText.size()));
    EXPECT_EQ(nResult, sText.size());
    EXPECT_EQ(std::wstring(sz), sText);
    EXPECT_EQ(m_vm->GetLoadStringCalls(), ++nCalls);
    EXPECT_EQ(m_pfnCommande(STANDIN_COMMAND_UTILISATION,
                            reinterpret_cast<void*>(static_cast<std::uintptr_t>(m.nId))),
              static_cast<std::int64_t>(m.nUsage));
  }
  // Unknown to both.
  EXPECT_EQ(Load(1, sz, 256, &nResult), 0);
  EXPECT_EQ(nResult, 0u);
}

TEST_F(LibraryMessages, CommandThreeCutsLongTextsToTheBuffer) {
  InstallLoader();
  const std::wstring sText = L"0123456789abcdefghij";
  m_vm->SetString(kMessage, sText.c_str());
  for (int bNever : {0, 1}) {
    SCOPED_TRACE(bNever);
    m_vm->SetStringNeverTerminated(bNever);
    std::vector<wchar_t> aBuffer(8, L'#');
    std::uint32_t nResult = 0;
    EXPECT_EQ(Load(kMessage, aBuffer.data(), 8, &nResult), 7);
    EXPECT_EQ(nResult, 7u);
    EXPECT_EQ(aBuffer[7], L'\0');
    EXPECT_EQ(std::wstring(aBuffer.data()), sText.substr(0, 7));

    std::vector<wchar_t> aLarge(30, L'#');
    EXPECT_EQ(Load(kMessage, aLarge.data(), 30), 20);
    EXPECT_EQ(std::wstring(aLarge.data()), sText);
  }
  // No room at all: nothing is asked.
  const int nCalls = m_vm->GetLoadStringCalls();
  wchar_t sz[4] = L"abc";
  EXPECT_EQ(Load(kMessage, sz, 0), 0);
  EXPECT_EQ(std::wstring(sz), L"abc");
  EXPECT_EQ(m_vm->GetLoadStringCalls(), nCalls);
}

TEST_F(LibraryMessages, OtherCommandsAndExports) {
  InstallLoader();
  EXPECT_EQ(m_pfnCommande(STANDIN_COMMAND_UTILISATION, reinterpret_cast<void*>(std::uintptr_t{1})), -1);
  EXPECT_EQ(m_pfnCommande(5, reinterpret_cast<void*>(m_vm->LoadString)), 0);
  EXPECT_EQ(m_pfnCommande(5, nullptr), 0);
  // Command 5 changed nothing: the runtime's loader still answers first.
  m_vm->SetString(kMessage, L"still here");
  wchar_t sz[32];
  EXPECT_EQ(Load(kMessage, sz, 32), 10);
  EXPECT_EQ(std::wstring(sz), L"still here");

  using PFN_LOADRESOURCEMODULE = void* (*)();
  const auto pfnResources =
      reinterpret_cast<PFN_LOADRESOURCEMODULE>(dlsym(m_hLibrary, "DLLRES_pLoadResourceModule"));
  ASSERT_NE(pfnResources, nullptr);
  EXPECT_EQ(pfnResources(), nullptr);
}

TEST(KxHostMessages, KxhostInstallsTheLoaderAndLoadsAMessage) {
  int nStatus = -1;
  const std::string out = kxtest::RunCommand(kxtest::HostPath() + " 2>&1", nStatus);
  EXPECT_EQ(nStatus, 0) << out;
  EXPECT_NE(out.find("-> install the runtime's string loader (command 2): 1"), std::string::npos) << out;
  EXPECT_NE(out.find("-> load message 3355 (command 3): 43 \"Texte du message 3355 fourni par le runtime\""),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("(from the library's own messages)"), std::string::npos) << out;
}

}  // namespace
