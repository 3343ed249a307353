// Loading and formatting of messages: the runtime's loader asked first, the
// module's own block after it, the component command, and the DLLRES_*
// formatting on loaded texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CMainCommun.h"
#include "CTString.h"
#include "DllResLoader.h"
#include "DllResources.h"
#include "support/MessagesTestBlock.h"
#include "XMalloc.h"

namespace {

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    CTestLoader::Reset();
    CTestLoader::Uninstall();
    m_pBlock = CTestBlock::Packed({
        {1, 0, "Table %s: %d rows"},
        {2, 1, "%S/%hs"},
        {3, 2, "un fichier\n§\n%d fichiers"},
        {4, 3, ""},
        {5, 0, "sans séparateur %d"},
        {6, 0, "%s"},
        {10, 0, "own text"},
    });
    ASSERT_NE(m_pBlock, nullptr);
    m_pstModule = m_pBlock->Module();
  }
  void TearDown() override {
    CTestLoader::Uninstall();
    CTestLoader::Reset();
  }

  std::unique_ptr<CTestBlock> m_pBlock;
  const _stMyModuleInfo* m_pstModule = nullptr;
};

STCommandeLoadString Request(unsigned int nId, wchar_t* psz, std::uint32_t nCapacity) {
  STCommandeLoadString st{};
  st.nSize = sizeof(st);
  st.nId = nId;
  st.pszBuffer = psz;
  st.nCapacity = nCapacity;
  st.nResult = 77;
  return st;
}

TEST_F(Messages, TheRuntimesLoaderIsAskedFirstAndTheOwnBlockAfterIt) {
  CTestLoader::Install();
  CTestLoader::s_mapTexts[20] = L"runtime only";
  wchar_t sz[32];

  // The loader answers 0: the own block.
  EXPECT_EQ(DLLRES_nLoadString(m_pstModule, 10, sz, 32), 8);
  EXPECT_EQ(std::wstring(sz), L"own text");
  EXPECT_EQ(CTestLoader::s_nCalls, 1);
  CTString cl;
  EXPECT_TRUE(DLLRES_bLoadString(m_pstModule, 10, &cl));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"own text");
  EXPECT_EQ(CTestLoader::s_nCalls, 2);

  // The loader's text wins, also over the block's.
  EXPECT_EQ(DLLRES_nLoadString(m_pstModule, 20, sz, 32), 12);
  EXPECT_EQ(std::wstring(sz), L"runtime only");
  CTestLoader::s_mapTexts[10] = L"runtime's 10";
  EXPECT_TRUE(DLLRES_bLoadString(m_pstModule, 10, &cl));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"runtime's 10");

  // Neither has it.
  cl = L"keep";
  EXPECT_EQ(DLLRES_nLoadString(m_pstModule, 21, sz, 32), 0);
  EXPECT_FALSE(DLLRES_bLoadString(m_pstModule, 21, &cl));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"keep");
}

// The loader's count may exceed the buffer: what reaches the caller is cut
// to capacity - 1 and terminated, also through command 3.
TEST_F(Messages, LoaderCountsAreCutToTheCallersBuffer) {
  struct STCase {
    int nLength;
    std::uint32_t nCapacity;
    bool bNeverTerminate;
    int nExpected;
  };
  const STCase aCases[] = {
      {10, 4, false, 3},  {10, 10, false, 9}, {10, 11, false, 10},
      {10, 11, true, 10}, {10, 30, true, 10}, {3, 1, false, 0},
  };
  CTestLoader::Install();
  for (const STCase& c : aCases) {
    SCOPED_TRACE(testing::Message() << c.nLength << " in " << c.nCapacity
                                    << (c.bNeverTerminate ? " never terminated" : ""));
    const std::wstring sText(static_cast<std::size_t>(c.nLength), L'x');
    CTestLoader::s_mapTexts[3355] = sText;
    CTestLoader::s_bNeverTerminate = c.bNeverTerminate;

    std::vector<wchar_t> aBuffer(c.nCapacity, L'#');
    EXPECT_EQ(DLLRES_nLoadString(m_pstModule, 3355, aBuffer.data(), c.nCapacity), c.nExpected);
    EXPECT_EQ(std::wstring(aBuffer.data()), sText.substr(0, static_cast<std::size_t>(c.nExpected)));

    std::vector<wchar_t> aCommand(c.nCapacity, L'#');
    STCommandeLoadString st = Request(3355, aCommand.data(), c.nCapacity);
    EXPECT_EQ(CommandeComposante(COMMANDE_LOADSTRING, &st), c.nExpected);
    EXPECT_EQ(st.nResult, static_cast<std::uint32_t>(c.nExpected));
    EXPECT_EQ(std::wstring(aCommand.data()), sText.substr(0, static_cast<std::size_t>(c.nExpected)));
  }
}

TEST_F(Messages, CommandThreeRefusesWhatItCannotFill) {
  CTestLoader::Install();
  CTestLoader::s_mapTexts[3355] = L"runtime";
  wchar_t sz[8] = L"keep";

  STCommandeLoadString st = Request(3355, sz, 8);
  st.nSize = 23;
  EXPECT_EQ(CommandeComposante(COMMANDE_LOADSTRING, &st), 0);
  EXPECT_EQ(st.nResult, 77u);

  st = Request(3355, sz, 0);
  EXPECT_EQ(CommandeComposante(COMMANDE_LOADSTRING, &st), 0);
  EXPECT_EQ(st.nResult, 0u);

  st = Request(3355, nullptr, 8);
  EXPECT_EQ(CommandeComposante(COMMANDE_LOADSTRING, &st), 0);
  EXPECT_EQ(CommandeComposante(COMMANDE_LOADSTRING, nullptr), 0);
  EXPECT_EQ(DLLRES_nLoadString(m_pstModule, 10, sz, 0), 0);
  EXPECT_EQ(DLLRES_nLoadString(m_pstModule, 10, nullptr, 8), 0);

  EXPECT_EQ(std::wstring(sz), L"keep");
  EXPECT_EQ(CTestLoader::s_nCalls, 0);
}

TEST_F(Messages, ComponentCommands) {
  EXPECT_EQ(CommandeComposante(COMMANDE_SET_LOADSTRING, reinterpret_cast<void*>(&CTestLoader::Load)), 1);
  EXPECT_EQ(gpfnLoadStringKXM.load(), &CTestLoader::Load);
  // Unknown commands answer 0 and leave the loader in place.
  for (unsigned int nCommand : {0u, 1u, 5u, 6u, 0xFFFFFFFFu})
    EXPECT_EQ(CommandeComposante(nCommand, reinterpret_cast<void*>(&CTestLoader::Reset)), 0);
  EXPECT_EQ(gpfnLoadStringKXM.load(), &CTestLoader::Load);

  // Usage in the library's own block.
  EXPECT_EQ(CommandeComposante(COMMANDE_UTILISATION, reinterpret_cast<void*>(std::uintptr_t{1})), -1);
  EXPECT_EQ(CommandeComposante(COMMANDE_UTILISATION, reinterpret_cast<void*>(std::uintptr_t{3355})),
            DLLRES_nGetUtilisation(&gstMyModuleInfo76, 3355));
  EXPECT_GE(DLLRES_nGetUtilisation(&gstMyModuleInfo76, 3355), 0);

  // Command 3 reads the library's block when the loader has nothing.
  wchar_t sz[256];
  STCommandeLoadString st = Request(3355, sz, 256);
  const std::int64_t n = CommandeComposante(COMMANDE_LOADSTRING, &st);
  EXPECT_GT(n, 0);
  EXPECT_EQ(static_cast<std::int64_t>(std::wcslen(sz)), n);
  EXPECT_EQ(CTestLoader::s_nCalls, 1);

  EXPECT_EQ(CommandeComposante(COMMANDE_SET_LOADSTRING, nullptr), 1);
  EXPECT_EQ(gpfnLoadStringKXM.load(), nullptr);
}

TEST_F(Messages, KxmLoadStringKeepsTheLoadersCount) {
  wchar_t sz[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(KXM_nLoadString(1, sz, 4), 0);  // no loader
  CTestLoader::Install();
  CTestLoader::s_mapTexts[1] = L"0123456789";
  EXPECT_EQ(KXM_nLoadString(1, sz, 4), 10);
  EXPECT_EQ(std::wstring(sz, 4), L"0123");
  EXPECT_EQ(KXM_nLoadString(2, sz, 4), 0);
}

// One call up to 256 characters, a second one with the reported count above;
// an unterminated answer is read no further than its count.
TEST_F(Messages, KxmBLoadStringAsksAgainOnlyAbove256Characters) {
  struct STCase {
    int nLength;
    bool bNeverTerminate;
    std::vector<int> aCapacities;
  };
  const STCase aCases[] = {
      {1, false, {256}},         {255, true, {256}},        {256, false, {256}},
      {256, true, {256}},        {257, false, {256, 257}},  {257, true, {256, 257}},
      {5000, true, {256, 5000}},
  };
  CTestLoader::Install();
  for (const STCase& c : aCases) {
    SCOPED_TRACE(testing::Message() << c.nLength << (c.bNeverTerminate ? " never terminated" : ""));
    CTestLoader::s_nCalls = 0;
    CTestLoader::s_aCapacities.clear();
    CTestLoader::s_bNeverTerminate = c.bNeverTerminate;
    std::wstring sText;
    for (int i = 0; i < c.nLength; ++i) sText += static_cast<wchar_t>(L'a' + i % 26);
    CTestLoader::s_mapTexts[7] = sText;
    CTString cl;
    ASSERT_TRUE(KXM_bLoadString(7, &cl));
    EXPECT_EQ(std::wstring(cl.pszGet()), sText);
    EXPECT_EQ(CTestLoader::s_aCapacities, c.aCapacities);
  }
  CTString cl(L"keep");
  EXPECT_FALSE(KXM_bLoadString(8, &cl));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"keep");
  CTestLoader::Uninstall();
  EXPECT_FALSE(KXM_bLoadString(7, &cl));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"keep");
}

// ---------------------------------------------------------------------------
// Formatting

TEST_F(Messages, FormatLoadedTexts) {
  CTString cl;
  ASSERT_TRUE(DLLRES_bFormatMessage(m_pstModule, 1, &cl, L"T1", 3));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"Table T1: 3 rows");
  ASSERT_TRUE(DLLRES_bFormatMessage(m_pstModule, 2, &cl, "ab", "cd"));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"ab/cd");

  wchar_t* psz = reinterpret_cast<wchar_t*>(1);
  EXPECT_EQ(DLLRES_nFormatMessage(m_pstModule, 1, &psz, L"x", 12), 16);
  ASSERT_NE(psz, nullptr);
  EXPECT_EQ(std::wstring(psz), L"Table x: 12 rows");
  XMALLOC_Del_(psz);

  // Unknown, empty, or formatting to nothing: false and the string kept.
  cl = L"keep";
  EXPECT_FALSE(DLLRES_bFormatMessage(m_pstModule, 99, &cl, L"x"));
  EXPECT_FALSE(DLLRES_bFormatMessage(m_pstModule, 4, &cl));
  EXPECT_FALSE(DLLRES_bFormatMessage(m_pstModule, 6, &cl, L""));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"keep");
  psz = reinterpret_cast<wchar_t*>(1);
  EXPECT_EQ(DLLRES_nFormatMessage(m_pstModule, 99, &psz), 0);
  EXPECT_EQ(psz, nullptr);

  // The runtime's loader supplies the format when it has one.
  CTestLoader::Install();
  CTestLoader::s_mapTexts[1] = L"Runtime %s";
  ASSERT_TRUE(DLLRES_bFormatMessage(m_pstModule, 1, &cl, L"T2", 3));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"Runtime T2");
}

TEST_F(Messages, SingularAndPluralForms) {
  struct STCase {
    unsigned int nId;
    int nForm;
    bool bFound;
    const wchar_t* pszExpected;
  };
  const STCase aCases[] = {
      {3, 0, true, L"un fichier"},
      {3, 1, true, L"2 fichiers"},
      {3, 2, false, nullptr},
      {5, 0, true, L"sans séparateur 2"},
      {5, 1, false, nullptr},
      {99, 0, false, nullptr},
  };
  for (const STCase& c : aCases) {
    SCOPED_TRACE(testing::Message() << c.nId << " form " << c.nForm);
    CTString cl(L"keep");
    EXPECT_EQ(DLLRES_bFormatMessageSingulierPluriel(m_pstModule, c.nForm, c.nId, &cl, 2), c.bFound);
    EXPECT_EQ(std::wstring(cl.pszGet()), c.bFound ? c.pszExpected : L"keep");
  }
}

// ---------------------------------------------------------------------------
// Start of the resources

TEST_F(Messages, CommonStartRunsOncePerProcessUntilItsMarkIsCleared) {
  CMainCommun::ms_bInitCommunFait = false;
  CMainCommun::ghModule = nullptr;
  DLLRES_Term();
  int anFirst = 0;
  int anSecond = 0;
  EXPECT_EQ(CMainCommun::bInitLibraryCommon(&anFirst), 1);
  EXPECT_EQ(CMainCommun::ghModule, &anFirst);
  EXPECT_TRUE(DLLRES_bIsInit());
  DLLRES_Term();
  EXPECT_EQ(CMainCommun::bInitLibraryCommon(&anSecond), 1);
  EXPECT_EQ(CMainCommun::ghModule, &anFirst);
  EXPECT_FALSE(DLLRES_bIsInit());

  CMainCommun::ms_bInitCommunFait = false;
  EXPECT_EQ(CMainCommun::bInitLibraryCommon(&anSecond), 1);
  EXPECT_EQ(CMainCommun::ghModule, &anSecond);
  EXPECT_TRUE(DLLRES_bIsInit());
  CMainCommun::ms_bInitCommunFait = false;
  CMainCommun::ghModule = nullptr;
  DLLRES_Term();
}

std::vector<STCommandeLoadString> gaForced;
std::vector<unsigned int> gaForcedCommands;

std::int64_t RecordCommand(unsigned int nCommand, void* pParam) {
  gaForcedCommands.push_back(nCommand);
  gaForced.push_back(*static_cast<STCommandeLoadString*>(pParam));
  return 0;
}

TEST_F(Messages, ForcedInitialisationSendsAnEmptyRequest) {
  EXPECT_EQ(DLLRES_bForceInitRessource(nullptr), 0);
  EXPECT_EQ(DLLRES_bForceInitRessource(&RecordCommand), 1);
  ASSERT_EQ(gaForced.size(), 1u);
  EXPECT_EQ(gaForcedCommands[0], 3u);
  EXPECT_EQ(gaForced[0].nSize, 24u);
  EXPECT_EQ(gaForced[0].nId, 0u);
  EXPECT_EQ(gaForced[0].pszBuffer, nullptr);
  EXPECT_EQ(gaForced[0].nCapacity, 0u);
  EXPECT_EQ(gaForced[0].nResult, 0u);
  // Sent to the library's own command, such a request loads nothing.
  EXPECT_EQ(DLLRES_bForceInitRessource(&CommandeComposante), 1);
}

}  // namespace
