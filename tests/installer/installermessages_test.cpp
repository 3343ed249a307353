// The installer's module 76: its message block holds every text the
// installer and the runtime code linked into it can raise, with the
// arguments their callers pass; its error table stands in for the library's.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "CXError.h"
#include "support/InstalledStrMemAlloc.h"
#include "InstallerMessages.h"
#include "InstallerModule.h"
#include "MessageSignatures.h"
#include "MyModuleInfo.h"

namespace {

std::string SourceRoot() {
  const std::string sFile = __FILE__;
  return sFile.substr(0, sFile.rfind("/tests/"));
}

// The signatures recorded in the message files packed into the installer's
// block.
const STSignatures& InstallerSignatures() {
  static const STSignatures st = [] {
    STSignatures s;
    for (const char* pszFile : {"/installer/messages/installer.msg", "/runtime/messages/files.msg",
                                "/runtime/messages/memory.msg"}) {
      ReadSignatureFile(SourceRoot() + pszFile, s);
      if (!s.sError.empty()) break;
    }
    return s;
  }();
  return st;
}

struct STExpected {
  unsigned nId;
  const char* pszSig;
};

// The program's own messages and the arguments it passes to each.
constexpr STExpected kaProgram[] = {
    {4219, ""},  {7993, ""},  {7994, ""},  {4976, ""},  {4977, "ss"}, {4903, "s"},
    {28598, ""}, {28594, ""}, {28595, ""}, {28610, ""}, {28616, ""},  {28608, ""},
    {28597, ""}, {28605, ""},
};

// What the runtime code linked into the installer raises: the streams, the
// file-system toolbox (25852 for the change of owner) and the out-of-memory
// message.
constexpr unsigned kaRuntime[] = {
    28001, 28002, 28003, 28004, 28005, 28008, 28139, 28140, 28145, 28146, 28123,
    28124, 28125, 28126, 28127, 28128, 28129, 28130, 28131, 28133, 28134, 28135,
    28136, 28137, 28138, 28307, 25852, 25193,
};

// Shared strings need the installer's allocator, as in mdbdeploy.
class installermessages : public ::testing::Test {
 protected:
  CInstalledStrMemAlloc m_clAllocator;
};

std::wstring LoadText(unsigned nId) {
  CXYString<wchar_t> clText;
  if (!DLLRES_bLoadString(&gstMyModuleInfo76, nId, &clText)) return L"<missing>";
  return clText.pszGet();
}

TEST_F(installermessages, ProgramTextsLoadWithTheArgumentsTheProgramPasses) {
  ASSERT_EQ(InstallerSignatures().sError, "");
  for (const STExpected& st : kaProgram) {
    SCOPED_TRACE(st.nId);
    const std::wstring sText = LoadText(st.nId);
    ASSERT_NE(sText, L"<missing>");
    EXPECT_FALSE(sText.empty());
    EXPECT_EQ(SignatureOf(sText.c_str()), st.pszSig);
    ASSERT_EQ(InstallerSignatures().mapSig.count(st.nId), 1u);
    EXPECT_EQ(InstallerSignatures().mapSig.at(st.nId), st.pszSig);
    // Texts without arguments are also written as they stand: no "%" at all.
    if (*st.pszSig == '\0') {
      EXPECT_EQ(sText.find(L'%'), std::wstring::npos);
    }
  }
}

TEST_F(installermessages, RuntimeTextsLoadAndMatchTheirRecordedSignatures) {
  ASSERT_EQ(InstallerSignatures().sError, "");
  for (unsigned nId : kaRuntime) {
    SCOPED_TRACE(nId);
    const std::wstring sText = LoadText(nId);
    ASSERT_NE(sText, L"<missing>");
    ASSERT_EQ(InstallerSignatures().mapSig.count(nId), 1u);
    EXPECT_EQ(SignatureOf(sText.c_str()), InstallerSignatures().mapSig.at(nId));
  }
}

TEST_F(installermessages, InstallerModuleTakesThePlaceOfTheLibrarys) {
  EXPECT_EQ(gstMyModuleInfo76.pstErrorDef, gstInstallerErrorDef);
  EXPECT_EQ(gstMyModuleInfo76.nErrorDef, knInstallerErrorDef);
  EXPECT_EQ(gstMyModuleInfo76.nModuleId, 76u);
  // A text only the library has (a user error of the data layer).
  EXPECT_EQ(LoadText(25017), L"<missing>");
}

TEST_F(installermessages, ErrorObjectOfTheInstallersTable) {
  struct {
    unsigned nCode;
    unsigned nMessage;  // 0: not in the table
    eERRORLEVEL eLevel;
  } const aCases[] = {
      {1, 28598, eERRORLEVEL(2)},    {3, 28595, eERRORLEVEL(2)},
      {9, 28616, eERRORLEVEL(2)},    {1000, 28597, eERRORLEVEL(3)},
      {1001, 28605, eERRORLEVEL(3)}, {5, 0, eERRORLEVEL(3)},
      {21, 0, eERRORLEVEL(3)},
  };
  for (const auto& c : aCases) {
    SCOPED_TRACE(c.nCode);
    _CXErrorModule76 clErr(c.nCode);
    EXPECT_EQ(clErr.eGetErrorLevel(), c.eLevel);
    if (c.nMessage != 0) {
      EXPECT_EQ(clErr.nGetUserErrorCode(), c.nCode);
      ASSERT_NE(clErr.pszGetUserMessage(), nullptr);
      EXPECT_EQ(std::wstring(clErr.pszGetUserMessage()), LoadText(c.nMessage));
    } else {
      EXPECT_EQ(clErr.nGetUserErrorCode(), 0u);
      const std::wstring sExpected = L"##(CXError)-Pas de definition d'erreur dans gstErrorDef pour l'identifiant <" +
                                     std::to_wstring(c.nCode) + L">##";
      ASSERT_NE(clErr.pszGetDebugMessage(), nullptr);
      EXPECT_NE(std::wstring(clErr.pszGetDebugMessage()).find(sExpected), std::wstring::npos);
    }
  }
}

TEST_F(installermessages, FormattingIntoSharedAndPlainStrings) {
  CXYString<wchar_t> clText;
  ASSERT_TRUE(DLLRES_bFormatMessage(&gstMyModuleInfo76, 4977, &clText, L"kx200vm64.so", L"No such file"));
  const std::wstring sShared = clText.pszGet();
  EXPECT_NE(sShared.find(L"kx200vm64.so"), std::wstring::npos);
  EXPECT_NE(sShared.find(L"No such file"), std::wstring::npos);
  EXPECT_EQ(std::wstring(sGetRES(4977, L"kx200vm64.so", L"No such file").pszGet()), sShared);

  // A missing message leaves the string as it was, and sGetRES empty.
  EXPECT_FALSE(DLLRES_bFormatMessage(&gstMyModuleInfo76, 1, &clText));
  EXPECT_EQ(std::wstring(clText.pszGet()), sShared);
  EXPECT_EQ(sGetRES(1).nTaille(), 0);
}

TEST_F(installermessages, RecupStrAlwaysTerminatesWithinItsCapacity) {
  wchar_t aszBuffer[knRecupStrCapacity + 8];
  const std::wstring sLongPath(300, L'p');
  // A 300-character path makes the text longer than the buffer: 249
  // characters and the terminator, nothing written past it.
  std::wmemset(aszBuffer, L'#', knRecupStrCapacity + 8);
  EXPECT_EQ(pszRecupStr(aszBuffer, 4903, sLongPath.c_str()), aszBuffer);
  EXPECT_EQ(std::wcslen(aszBuffer), knRecupStrCapacity - 1);
  EXPECT_EQ(std::wstring(aszBuffer),
            std::wstring(sGetRES(4903, sLongPath.c_str()).pszGet()).substr(0, knRecupStrCapacity - 1));
  EXPECT_EQ(aszBuffer[knRecupStrCapacity], L'#');

  // A short text whole; the module-handle form gives the same.
  std::wmemset(aszBuffer, L'#', knRecupStrCapacity + 8);
  pszRecupStr(nullptr, aszBuffer, 7993);
  EXPECT_EQ(std::wstring(aszBuffer), LoadText(7993));

  // A missing message leaves an empty text, not the old content.
  std::wmemset(aszBuffer, L'#', knRecupStrCapacity + 8);
  pszRecupStr(aszBuffer, 1);
  EXPECT_EQ(aszBuffer[0], L'\0');
  EXPECT_EQ(pszRecupStr(static_cast<wchar_t*>(nullptr), 7993), nullptr);
}

}  // namespace
