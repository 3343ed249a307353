// The lifecycle messages against the stand-in runtime module: what the
// library asks, what it stores, and when it sends its end notice.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "CBaseExecutionDLL.h"
#include "CInformationDLL.h"
#include "IGlobalFactory.h"
#include "StandInControl.h"
#include "TestSupport.h"

namespace {

// Records which hooks ran, so the dispatch of every message can be seen.
class CRecordingExecution : public CBaseExecutionDLL {
 public:
  explicit CRecordingExecution(std::vector<std::string>* pLog, int nTypeResult = 1)
      : m_pLog(pLog), m_nTypeResult(nTypeResult) {}
  void vSetUtilisation(unsigned int a, unsigned int b) override {
    m_pLog->push_back("usage " + std::to_string(a) + "," + std::to_string(b));
  }
  void vTermineDLL() override { m_pLog->push_back("terminate"); }
  void vChangeLangue() override { m_pLog->push_back("language"); }
  void vDesactiveApplication() override { m_pLog->push_back("deactivate"); }
  void vReactiveApplication() override { m_pLog->push_back("reactivate"); }
  int vbInitialiseTypeDINO(CXError*) override {
    m_pLog->push_back("types");
    return m_nTypeResult;
  }
  int vbDumpMemoire(IDumpMemoire*) override {
    m_pLog->push_back("dump");
    return 1;
  }

 private:
  std::vector<std::string>* m_pLog;
  int m_nTypeResult;
};

class ExecutionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_vm = new StandInVm(kxtest::StandInVmPath());
    s_noexec = dlopen(kxtest::StandInVmNoExecPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(s_noexec, nullptr);
  }
  static void TearDownTestSuite() {
    delete s_vm;
    s_vm = nullptr;
    dlclose(s_noexec);
  }
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }

  static void Clean() {
    CBaseExecutionDLL::s_TermineMoiMeme();
    CBaseExecutionDLL::ms_nNbInitialisation = 0;
    CInformationDLL::ResetDefaults();
    s_vm->Reset();
  }

  static kx::STInitialiseRecord Record(void* hModule, std::uint64_t nSize = 32,
                                       ILibShop* piLibShop = nullptr) {
    kx::STInitialiseRecord st{};
    st.nSize = nSize;
    st.hModule = hModule;
    st.nUsage1 = 7;
    st.nUsage2 = 9;
    st.piLibShop = piLibShop;
    return st;
  }

  static std::int64_t Initialise(void* hModule) {
    auto st = Record(hModule);
    return Execution(kx::MSG_INITIALISE, &st);
  }

  static StandInVm* s_vm;
  static void* s_noexec;
};

StandInVm* ExecutionTest::s_vm = nullptr;
void* ExecutionTest::s_noexec = nullptr;

template <typename T>
T* ItemPointer(std::int64_t n) {
  return reinterpret_cast<T*>(static_cast<std::intptr_t>(n));
}

TEST_F(ExecutionTest, InitialiseAsksItemsInOrderAndStoresTheAnswers) {
  ASSERT_EQ(Initialise(s_vm->hModule()), 1);
  EXPECT_EQ(s_vm->ItemsAsked(), (std::vector<int>{9, 10, 12, 13, 15, 7, 1, 5, 2, 3, 4, 8, 14}));
  ASSERT_NE(gpclExecutionDLL76, nullptr);
  EXPECT_EQ(CBaseExecutionDLL::s_hGetHinstanceVM(), s_vm->hModule());
  EXPECT_EQ(CBaseExecutionDLL::ms_nNbInitialisation, 1u);

  EXPECT_EQ(CInformationDLL::ms_nCodeProduitExecution, s_vm->GetItem(1));
  EXPECT_EQ(CInformationDLL::ms_nLangueInterne, s_vm->GetItem(2));
  EXPECT_STREQ(CInformationDLL::ms_pszNomProduit, ItemPointer<const wchar_t>(s_vm->GetItem(3)));
  EXPECT_EQ(CInformationDLL::ms_dwOptions, static_cast<std::uint64_t>(s_vm->GetItem(4)));
  EXPECT_EQ(CInformationDLL::ms_nCodeProduitReel, s_vm->GetItem(5));
  EXPECT_EQ(CInformationDLL::ms_piLibShop, ItemPointer<ILibShop>(s_vm->GetItem(7)));
  EXPECT_EQ(CInformationDLL::ms_piGlobalFactory, ItemPointer<IGlobalFactory>(s_vm->GetItem(9)));
  EXPECT_EQ(CInformationDLL::ms_piCollecteurTopo, ItemPointer<ICollecteurTopo>(s_vm->GetItem(10)));
  EXPECT_EQ(CInformationDLL::ms_piInfoLocale, ItemPointer<IInfoLocale>(s_vm->GetItem(12)));
  EXPECT_EQ(CInformationModule::ms_piStrMemAlloc, ItemPointer<IStrMemAlloc>(s_vm->GetItem(13)));
  EXPECT_EQ(CInformationDLL::ms_pbMultithread, ItemPointer<std::int32_t>(s_vm->GetItem(14)));
  EXPECT_EQ(*CInformationDLL::ms_pbMultithread, 1);
  EXPECT_EQ(CInformationDLL::ms_piInformationComposante,
            ItemPointer<IInformationComposante>(s_vm->GetItem(15)));
}

TEST_F(ExecutionTest, LibraryShopFromTheRecordOnlyWhenTheRecordIsLongEnough) {
  auto* piOwnShop = reinterpret_cast<ILibShop*>(0x5150);
  struct Case {
    std::uint64_t nSize;
    bool bItem7Asked;
  } const aCases[] = {{32, false}, {16, false}, {15, true}, {8, true}};
  for (const Case& c : aCases) {
    Clean();
    auto st = Record(s_vm->hModule(), c.nSize, piOwnShop);
    ASSERT_EQ(Execution(kx::MSG_INITIALISE, &st), 1) << c.nSize;
    const auto items = s_vm->ItemsAsked();
    const bool bAsked = std::find(items.begin(), items.end(), 7) != items.end();
    EXPECT_EQ(bAsked, c.bItem7Asked) << c.nSize;
    EXPECT_EQ(CInformationDLL::ms_piLibShop,
              c.bItem7Asked ? ItemPointer<ILibShop>(s_vm->GetItem(7)) : piOwnShop)
        << c.nSize;
  }
}

TEST_F(ExecutionTest, ActiveVersionIsOnlyRaised) {
  struct Case {
    std::int64_t nAnswer;
    std::uint32_t dwExpected;
  } const aCases[] = {{19, 20}, {20, 20}, {25, 25}, {0x80000000LL, 0x80000000u}, {-1, 0xFFFFFFFFu}};
  for (const Case& c : aCases) {
    Clean();
    s_vm->SetItem(8, c.nAnswer);
    ASSERT_EQ(Initialise(s_vm->hModule()), 1);
    EXPECT_EQ(CInformationDLL::ms_dwVersionActive, c.dwExpected) << c.nAnswer;
  }
}

TEST_F(ExecutionTest, InitialiseCountsAndTerminateBalances) {
  std::vector<std::string> log;
  gpclExecutionDLL76 = new CRecordingExecution(&log);
  // An existing object is not initialised again: only counted.
  ASSERT_EQ(Initialise(s_vm->hModule()), 1);
  ASSERT_EQ(Initialise(s_vm->hModule()), 1);
  EXPECT_TRUE(s_vm->ItemsAsked().empty());
  EXPECT_EQ(log, (std::vector<std::string>{"usage 7,9", "usage 7,9"}));
  EXPECT_EQ(CBaseExecutionDLL::ms_nNbInitialisation, 2u);

  EXPECT_EQ(Execution(kx::MSG_TERMINATE, nullptr), 1);
  EXPECT_NE(gpclExecutionDLL76, nullptr);
  EXPECT_EQ(Execution(kx::MSG_TERMINATE, nullptr), 1);
  EXPECT_EQ(gpclExecutionDLL76, nullptr);
  EXPECT_EQ(log.back(), "terminate");
  EXPECT_EQ(CBaseExecutionDLL::ms_nNbInitialisation, 0u);

  // A terminate without initialise does nothing, and module end after a
  // balanced lifecycle owes no notice.
  EXPECT_EQ(Execution(kx::MSG_TERMINATE, nullptr), 1);
  CBaseExecutionDLL::s_TermineDLL();
  EXPECT_EQ(s_vm->Count(kx::MSG_VM_END_NOTICE), 0);
}

TEST_F(ExecutionTest, ModuleEndSendsTheNoticeOnceAfterAnUnbalancedInitialise) {
  ASSERT_EQ(Initialise(s_vm->hModule()), 1);
  ASSERT_EQ(Initialise(s_vm->hModule()), 1);
  ASSERT_EQ(Execution(kx::MSG_TERMINATE, nullptr), 1);  // count 2 -> 1
  CBaseExecutionDLL::s_TermineDLL();
  CBaseExecutionDLL::s_TermineDLL();
  EXPECT_EQ(s_vm->Count(kx::MSG_VM_END_NOTICE), 1);
  EXPECT_EQ(s_vm->Messages().back().nParam, 0);
  EXPECT_EQ(gpclExecutionDLL76, nullptr);
}

TEST_F(ExecutionTest, SelfInitialisationAsksCommonItemsAndNeverSendsTheNotice) {
  ASSERT_EQ(CBaseExecutionDLL::s_bInitialiseMoiMeme(s_vm->hModule()), 1);
  EXPECT_EQ(s_vm->ItemsAsked(), (std::vector<int>{9, 10, 12, 13, 15}));
  EXPECT_EQ(CBaseExecutionDLL::s_bInitialiseMoiMeme(s_vm->hModule()), 1);
  EXPECT_EQ(s_vm->ItemsAsked().size(), 5u);
  CBaseExecutionDLL::s_TermineDLL();
  EXPECT_EQ(s_vm->Count(kx::MSG_VM_END_NOTICE), 0);
  EXPECT_NE(gpclExecutionDLL76, nullptr);  // module end leaves it
  CBaseExecutionDLL::s_TermineMoiMeme();
  EXPECT_EQ(gpclExecutionDLL76, nullptr);
  // Without a module there is nothing to ask.
  EXPECT_EQ(CBaseExecutionDLL::s_bInitialiseMoiMeme(nullptr), 1);
  EXPECT_EQ(CBaseExecutionDLL::s_hGetHinstanceVM(), nullptr);
}

TEST_F(ExecutionTest, RuntimeModuleWithoutExecution) {
  EXPECT_EQ(Initialise(s_noexec), 0);
  ASSERT_NE(gpclExecutionDLL76, nullptr);
  EXPECT_EQ(CBaseExecutionDLL::ms_nNbInitialisation, 0u);
  EXPECT_EQ(CBaseExecutionDLL::s_hGetHinstanceVM(), s_noexec);
  // A later initialise only counts; queries answer nothing; no notice.
  EXPECT_EQ(Initialise(s_vm->hModule()), 1);
  EXPECT_EQ(CBaseExecutionDLL::ms_nNbInitialisation, 1u);
  EXPECT_EQ(CBaseExecutionDLL::_bUtiliseNET(), 0);
  EXPECT_EQ(CBaseExecutionDLL::s_bRemplitPileC(1, nullptr, 2, 3), 0);
  CBaseExecutionDLL::s_TermineDLL();
  EXPECT_TRUE(s_vm->Messages().empty());
  EXPECT_EQ(CBaseExecutionDLL::s_bInitialiseMoiMeme(nullptr), 1);  // object exists already

  CBaseExecutionDLL::s_TermineMoiMeme();
  EXPECT_EQ(CBaseExecutionDLL::s_bInitialiseMoiMeme(s_noexec), 0);
}

TEST_F(ExecutionTest, MessagesDispatchToTheHooks) {
  std::vector<std::string> log;
  auto* piLocale = reinterpret_cast<IInfoLocale*>(0x10C);
  // Without an object, only the locale is kept and the memory dump fails.
  EXPECT_EQ(Execution(kx::MSG_LOCALE, piLocale), 1);
  EXPECT_EQ(CInformationDLL::ms_piInfoLocale, piLocale);
  for (unsigned m : {kx::MSG_CHANGE_LANGUAGE, kx::MSG_DEACTIVATE, kx::MSG_REACTIVATE})
    EXPECT_EQ(Execution(m, nullptr), 1) << m;
  EXPECT_EQ(Execution(kx::MSG_MEMORY_DUMP, nullptr), 0);
  EXPECT_EQ(Execution(1234, nullptr), 0);
  EXPECT_EQ(Execution(kx::MSG_INITIALISE, nullptr), 0);

  gpclExecutionDLL76 = new CRecordingExecution(&log);
  EXPECT_EQ(Execution(kx::MSG_CHANGE_LANGUAGE, nullptr), 1);
  EXPECT_EQ(Execution(kx::MSG_DEACTIVATE, nullptr), 1);
  EXPECT_EQ(Execution(kx::MSG_REACTIVATE, nullptr), 1);
  EXPECT_EQ(Execution(kx::MSG_MEMORY_DUMP, nullptr), 1);
  EXPECT_EQ(Execution(1234, nullptr), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"language", "deactivate", "reactivate", "dump"}));

  // The base class has no memory dump.
  CBaseExecutionDLL::s_TermineMoiMeme();
  gpclExecutionDLL76 = new CBaseExecutionDLL();
  EXPECT_EQ(Execution(kx::MSG_MEMORY_DUMP, nullptr), 0);
}

TEST_F(ExecutionTest, TypeInitialisationDependsOnTheGlobalFactory) {
  struct Case {
    bool bFactory;
    int nLevel;
    int nObject;  // 0 none, 1 base, 2 failing subclass
    std::int64_t nResult;
    bool bHookRan;
  } const aCases[] = {
      {false, 2, 1, 1, false}, {true, 1, 1, 1, false}, {true, 2, 1, 1, false},
      {true, 2, 0, 2, false},  {true, 2, 2, 2, true},  {true, 1, 2, 1, false},
  };
  for (const Case& c : aCases) {
    Clean();
    std::vector<std::string> log;
    s_vm->SetGlobalFactory(c.bFactory, c.nLevel);
    CBaseExecutionDLL::s_bInitialiseMoiMeme(s_vm->hModule());
    if (c.nObject == 0) CBaseExecutionDLL::s_TermineMoiMeme();
    if (c.nObject == 2) {
      CBaseExecutionDLL::s_TermineMoiMeme();
      gpclExecutionDLL76 = new CRecordingExecution(&log, 0);
    }
    const int nCallsBefore = s_vm->GetGlobalFactoryCalls();
    EXPECT_EQ(Execution(kx::MSG_INIT_TYPES, nullptr), c.nResult) << c.bFactory << c.nLevel << c.nObject;
    EXPECT_EQ(s_vm->GetGlobalFactoryCalls() - nCallsBefore, c.bFactory ? 1 : 0);
    EXPECT_EQ(!log.empty(), c.bHookRan);
  }
}

TEST_F(ExecutionTest, OnDemandServices) {
  EXPECT_EQ(CBaseExecutionDLL::_bUtiliseNET(), 0);
  EXPECT_EQ(CBaseExecutionDLL::s_eGetModeSmartphone(), 0);
  CBaseExecutionDLL::s_InitLibShopMoiMeme();
  EXPECT_EQ(CInformationDLL::ms_piLibShop, nullptr);

  ASSERT_EQ(CBaseExecutionDLL::s_bInitialiseMoiMeme(s_vm->hModule()), 1);
  EXPECT_EQ(CBaseExecutionDLL::_bUtiliseNET(), s_vm->GetItem(6));
  EXPECT_EQ(CBaseExecutionDLL::s_eGetModeSmartphone(), s_vm->GetItem(11));
  CBaseExecutionDLL::s_InitLibShopMoiMeme();
  EXPECT_EQ(CInformationDLL::ms_piLibShop, ItemPointer<ILibShop>(s_vm->GetItem(7)));
  CBaseExecutionDLL::s_InitLibShopMoiMeme();  // known now: not asked again
  EXPECT_EQ(s_vm->ItemsAsked(), (std::vector<int>{9, 10, 12, 13, 15, 6, 11, 7}));

  wchar_t szText[] = L"stack";
  EXPECT_EQ(CBaseExecutionDLL::s_bRemplitPileC(4, szText, 5, 6), 1);
  s_vm->SetCallStackAnswer(0);
  EXPECT_EQ(CBaseExecutionDLL::s_bRemplitPileC(1, szText, 2, 3), 0);
  const auto messages = s_vm->Messages();
  const STStandInMessage& st = messages[messages.size() - 2];
  EXPECT_EQ(st.nMessage, 3184u);
  EXPECT_EQ(st.n1, 4);
  EXPECT_STREQ(st.szText, L"stack");
  EXPECT_EQ(st.n3, 5);
  EXPECT_EQ(st.n4, 6);
}

}  // namespace
