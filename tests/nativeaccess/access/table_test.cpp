// The table interface over a data access the test driver's factory makes:
// which data-access operation each slot reaches and with which arguments,
// what a context that never opened the table gets, the opening, closing,
// query and unsupported procedures, the SQL-runtime check, the lookup of
// alternating contexts, and the table's end while data accesses are open.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CAny.h"
#include "CNAContext.h"
#include "CNADataAccess.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNATable.h"
#include "CXError.h"
#include "ISQLParserInformation.h"
#include "mysql/support/TextOnlyParser.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"
#include "support/TestRuntimeObjects.h"
#include "support/VirtualSlot.h"

using namespace kxtest;

namespace {

std::wstring W(const wchar_t* psz) { return psz != nullptr ? psz : L"(null)"; }

// A data access that records each operation the table reaches, as
// "name(arguments in order)", and answers nAnswer.
class StubAccess : public CNADataAccess {
 public:
  StubAccess(INADataSourceDescription* source, CNAConnectionDescription* cnx, CNAError* error,
             std::vector<std::wstring>* log, const int* answer)
      : CNADataAccess(source, cnx, error), m_pvecLog(log), m_pnAnswer(answer) {}

  int bHOuvre(eNA_ACCESS access, const wchar_t* password) override {
    const int n = Log(L"bHOuvre", access, W(password));
    if (n) SetOpened(1);
    return n;
  }
  int bHCreation(const wchar_t* password, int dropFirst) override {
    return Log(L"bHCreation", W(password), dropFirst);
  }
  int bHCreationSiInexistant(eNA_ACCESS access, const wchar_t* password) override {
    return Log(L"bHCreationSiInexistant", access, W(password));
  }
  int bHFerme() override { return Log(L"bHFerme"); }
  int bSupprimeFichier() override { return Log(L"bSupprimeFichier"); }
  int bSupprimeTout() override { return Log(L"bSupprimeTout"); }
  int bNbEnrNeedParse(int* needParse, const wchar_t* key) override {
    return Log(L"bNbEnrNeedParse", P(needParse), W(key));
  }
  int bHReindexe(unsigned int kind, IGaugeControl* gauge) override { return Log(L"bHReindexe", kind, P(gauge)); }
  int bHAjoute(NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock) override { return Log(L"bHAjoute", flags, lock); }
  int bHEcrit(long record, NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock) override {
    return Log(L"bHEcrit", record, flags, lock);
  }
  int bHRaye(long record, eNA_LOCKTYPE lock) override { return Log(L"bHRaye", record, lock); }
  int bHSupprime(long record, eNA_LOCKTYPE lock) override { return Log(L"bHSupprime", record, lock); }
  int bHModifie(long record, NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock) override {
    return Log(L"bHModifie", record, flags, lock);
  }
  int bHRecherche(const wchar_t* item, const CAny* value, int searchMode, int bRead, eNA_LOCKTYPE lock,
                  eNA_LOCKTYPE* lockDone, int fromFirst, NA_WRITEPARSEFLAGS flags) override {
    return Log(L"bHRecherche", W(item), P(value), searchMode, bRead, lock, P(lockDone), fromFirst, flags);
  }
  int bHLibere() override { return Log(L"bHLibere"); }
  int bHLit(long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) override {
    return Log(L"bHLit", record, lock, P(lockDone));
  }
  int bHLitxxx(const wchar_t* key, eNA_PARSEDIRECTION direction, int bRead, int lock, int* lockResult,
               unsigned int flags) override {
    return Log(L"bHLitxxx", W(key), direction, bRead, lock, P(lockResult), flags);
  }
  int bSkipRecord(const wchar_t* key, eNA_PARSEDIRECTION direction, long count, int bRead, int lock,
                  int* lockResult, unsigned int flags) override {
    return Log(L"bSkipRecord", W(key), direction, count, bRead, lock, P(lockResult), flags);
  }
  int bHBloqueFichier(eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) override {
    return Log(L"bHBloqueFichier", lock, P(lockDone));
  }
  int bHDebloqueFichier() override { return Log(L"bHDebloqueFichier"); }
  int bHBloqueNumEnr(long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) override {
    return Log(L"bHBloqueNumEnr", record, lock, P(lockDone));
  }
  int bHDebloqueNumEnr(long record) override { return Log(L"bHDebloqueNumEnr", record); }
  int bHEndehors(const wchar_t* key, int* out) override { return Log(L"bHEndehors", W(key), P(out)); }
  int bGetRecNumState(long record, unsigned int* state) override {
    return Log(L"bGetRecNumState", record, P(state));
  }
  std::int64_t llGetRecNum() override { return Log(L"llGetRecNum") ? 77 : 0; }
  int bHFiltre(ISQLParserInformation* parser, wchar_t* item) override {
    return Log(L"bHFiltre", P(parser), P(item));
  }
  int bHSauvePosition(int* position, const wchar_t* item, unsigned int kind) override {
    return Log(L"bHSauvePosition", P(position), W(item), kind);
  }
  int bHRetourPosition(int position, wchar_t* item, int keep, unsigned int kind) override {
    return Log(L"bHRetourPosition", position, P(item), keep, kind);
  }
  int bHLiberePosition(int position) override { return Log(L"bHLiberePosition", position); }
  int bHVersion(int* version) override { return Log(L"bHVersion", P(version)); }
  int bHNbEnr(long* count, unsigned int kind, NA_WRITEPARSEFLAGS flags) override {
    return Log(L"bHNbEnr", P(count), kind, flags);
  }
  int bGetBLOB(unsigned int memo, CAny* value) override { return Log(L"bGetBLOB", memo, P(value)); }
  int bSetBLOB(unsigned int memo, const CAny* value) override { return Log(L"bSetBLOB", memo, P(value)); }
  int bExtraitMemo(unsigned int memo, const wchar_t* path) override { return Log(L"bExtraitMemo", memo, W(path)); }
  int bHChangeCle(const wchar_t* item, NA_WRITEPARSEFLAGS flags) override {
    return Log(L"bHChangeCle", W(item), flags);
  }
  int bHConstruitValCle(CAny* key, const wchar_t* item, unsigned int kind, CAny** out) override {
    return Log(L"bHConstruitValCle", P(key), W(item), kind, P(out));
  }
  int bExecuteQuery(int* resultSet, const wchar_t* query, ISQLParserInformation* parser, eNA_QUERYMODE mode,
                    const INAQueryExecution* execution) override {
    if (resultSet != nullptr) *resultSet = nResultSet;
    return Log(L"bExecuteQuery", W(query), P(parser), static_cast<std::uint32_t>(mode), P(execution));
  }

  int nResultSet = 0;
  // A failing answer reports this user error (0: none) in the error object.
  unsigned int nFailCode = 0;

 private:
  // Pointers are logged as numbers: the test passes recognisable ones.
  static std::uintptr_t P(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }
  template <class... A>
  int Log(const wchar_t* name, A... args) {
    std::wostringstream os;
    os << name << L"(";
    const char* pszSep = "";
    ((os << pszSep << Arg(args), pszSep = ","), ...);
    static_cast<void>(pszSep);
    os << L")";
    m_pvecLog->push_back(os.str());
    if (*m_pnAnswer == 0 && nFailCode != 0) pclGetError()->AddError(NA_ERRORTYPE_GENERIC, 3, 99, nullptr, nFailCode, L"x");
    return *m_pnAnswer;
  }
  template <class T>
  static auto Arg(T v) {
    if constexpr (std::is_enum_v<T>)
      return static_cast<long long>(v);
    else
      return v;
  }
  std::vector<std::wstring>* m_pvecLog;
  const int* m_pnAnswer;
};

class table : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    pclDriver = new TestDriver();
    ASSERT_EQ(pclDriver->bInitDriver(), 1);
    pclPrevious = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = pclDriver;
    pclDriver->fnDataAccessMaker = [this](INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                          CNAError* error) -> CNADataAccess* {
      auto* p = new StubAccess(source, cnx, error, &vecLog, &nAnswer);
      vecAccesses.push_back(p);
      return p;
    };
    FakeSource(1)->SetName(L"Customer");
    clHost.pszDataSource = L"db.example";
    pclTable = static_cast<CNATable*>(pclDriver->piGetTable(&clHost, FakeSource(1)));
    ASSERT_NE(pclTable, nullptr);
    for (unsigned int n : {1u, 2u, 3u}) {
      FakeContext(n)->SetNumber(0x1000 + 16 * n);
      FakeContext(n)->SetDataNumber(0x1000 + 16 * n);
    }
  }
  void TearDown() override {
    if (pclTable != nullptr) pclTable->nExternalRelease();
    delete pclDriver;
    CNADriver::s_pclDriver = pclPrevious;
  }
  // Opens the table in context n (the stub answers 1); the log emptied.
  void Open(unsigned int n) {
    const int nKeep = nAnswer;
    nAnswer = 1;
    ASSERT_EQ(pclTable->bHOuvre(FakeContext(n), static_cast<eNA_ACCESS>(0), L""), 1);
    nAnswer = nKeep;
    vecLog.clear();
  }
  CNAError* TableError() { return pclTable->pclGetLastError(); }

  TestDriver* pclDriver = nullptr;
  CNADriver* pclPrevious = nullptr;
  TestHostDescription clHost;
  CNATable* pclTable = nullptr;
  std::vector<std::wstring> vecLog;
  std::vector<StubAccess*> vecAccesses;
  int nAnswer = 1;
};

template <class T>
T* Ptr(std::uintptr_t n) {
  return reinterpret_cast<T*>(n);
}

struct ForwardRow {
  const char* pszWhat;
  std::function<long long(INATable*, INAContext*)> fnCall;
  const wchar_t* pszLogged;
};

const ForwardRow kForwardRows[] = {
    {"bNbEnrNeedParse", [](INATable* t, INAContext* c) { return t->bNbEnrNeedParse(c, Ptr<int>(16), L"k"); },
     L"bNbEnrNeedParse(16,k)"},
    {"bHAjoute",
     [](INATable* t, INAContext* c) { return t->bHAjoute(c, 0x40, static_cast<eNA_LOCKTYPE>(2)); },
     L"bHAjoute(64,2)"},
    {"bHEcrit",
     [](INATable* t, INAContext* c) { return t->bHEcrit(c, 5, 0x200, static_cast<eNA_LOCKTYPE>(3)); },
     L"bHEcrit(5,512,3)"},
    {"bHRaye", [](INATable* t, INAContext* c) { return t->bHRaye(c, 6, static_cast<eNA_LOCKTYPE>(2)); },
     L"bHRaye(6,2)"},
    {"bHSupprime",
     [](INATable* t, INAContext* c) { return t->bHSupprime(c, 7, static_cast<eNA_LOCKTYPE>(1)); },
     L"bHSupprime(7,1)"},
    {"bHModifie",
     [](INATable* t, INAContext* c) { return t->bHModifie(c, 8, 0x100, static_cast<eNA_LOCKTYPE>(0)); },
     L"bHModifie(8,256,0)"},
    {"bHRecherche",
     [](INATable* t, INAContext* c) {
       return t->bHRecherche(c, L"k", Ptr<CAny>(32), 2, 1, static_cast<eNA_LOCKTYPE>(3), Ptr<eNA_LOCKTYPE>(48), 0,
                             0x2000);
     },
     L"bHRecherche(k,32,2,1,3,48,0,8192)"},
    {"bHLibere", [](INATable* t, INAContext* c) { return t->bHLibere(c); }, L"bHLibere()"},
    {"bHLit",
     [](INATable* t, INAContext* c) {
       return t->bHLit(c, 9, static_cast<eNA_LOCKTYPE>(2), Ptr<eNA_LOCKTYPE>(64));
     },
     L"bHLit(9,2,64)"},
    {"bHLitxxx",
     [](INATable* t, INAContext* c) {
       return t->bHLitxxx(c, L"k", static_cast<eNA_PARSEDIRECTION>(3), 1, static_cast<eNA_LOCKTYPE>(2),
                          Ptr<eNA_LOCKTYPE>(80), 0x4000);
     },
     L"bHLitxxx(k,3,1,2,80,16384)"},
    {"bSkipRecord",
     [](INATable* t, INAContext* c) {
       return t->bSkipRecord(c, L"k", static_cast<eNA_PARSEDIRECTION>(2), 42, 0, static_cast<eNA_LOCKTYPE>(1),
                             Ptr<eNA_LOCKTYPE>(96), 0x8000);
     },
     L"bSkipRecord(k,2,42,0,1,96,32768)"},
    {"bHBloqueFichier",
     [](INATable* t, INAContext* c) {
       return t->bHBloqueFichier(c, static_cast<eNA_LOCKTYPE>(2), Ptr<eNA_LOCKTYPE>(112));
     },
     L"bHBloqueFichier(2,112)"},
    {"bHDebloqueFichier", [](INATable* t, INAContext* c) { return t->bHDebloqueFichier(c); },
     L"bHDebloqueFichier()"},
    {"bHBloqueNumEnr",
     [](INATable* t, INAContext* c) {
       return t->bHBloqueNumEnr(c, 11, static_cast<eNA_LOCKTYPE>(3), Ptr<eNA_LOCKTYPE>(128));
     },
     L"bHBloqueNumEnr(11,3,128)"},
    {"bHDebloqueNumEnr", [](INATable* t, INAContext* c) { return t->bHDebloqueNumEnr(c, 12); },
     L"bHDebloqueNumEnr(12)"},
    {"bHEnDehors", [](INATable* t, INAContext* c) { return t->bHEnDehors(c, L"k", Ptr<int>(144)); },
     L"bHEndehors(k,144)"},
    {"bGetRecNumState",
     [](INATable* t, INAContext* c) { return t->bGetRecNumState(c, 13, Ptr<unsigned int>(160)); },
     L"bGetRecNumState(13,160)"},
    {"bHFiltre (condition)",
     [](INATable* t, INAContext* c) { return t->bHFiltre(c, nullptr, Ptr<wchar_t>(176)); },
     L"bHFiltre(0,176)"},
    {"bHRetourPosition",
     [](INATable* t, INAContext* c) { return t->bHRetourPosition(c, 14, Ptr<wchar_t>(192), 1, 1); },
     L"bHRetourPosition(14,192,1,1)"},
    {"bHSauvePosition",
     [](INATable* t, INAContext* c) { return t->bHSauvePosition(c, L"k", Ptr<int>(208), 1); },
     L"bHSauvePosition(208,k,1)"},
    {"bHVersion", [](INATable* t, INAContext* c) { return t->bHVersion(c, Ptr<int>(224)); }, L"bHVersion(224)"},
    {"bHNbEnr", [](INATable* t, INAContext* c) { return t->bHNbEnr(c, Ptr<long>(240), 16, 0x4000); },
     L"bHNbEnr(240,16,16384)"},
    {"bGetBLOB", [](INATable* t, INAContext* c) { return t->bGetBLOB(c, 2, Ptr<CAny>(256)); },
     L"bGetBLOB(2,256)"},
    {"bSetBLOB", [](INATable* t, INAContext* c) { return t->bSetBLOB(c, 3, Ptr<const CAny>(272)); },
     L"bSetBLOB(3,272)"},
    {"bExtraitMemo", [](INATable* t, INAContext* c) { return t->bExtraitMemo(c, 4, L"/tmp/m"); },
     L"bExtraitMemo(4,/tmp/m)"},
    {"bHChangeCle", [](INATable* t, INAContext* c) { return t->bHChangeCle(c, L"k", 0x8000); },
     L"bHChangeCle(k,32768)"},
    {"bHConstruitValCle",
     [](INATable* t, INAContext* c) {
       return t->bHConstruitValCle(c, Ptr<CAny>(288), L"k", 5, Ptr<CAny*>(304));
     },
     L"bHConstruitValCle(288,k,5,304)"},
    {"bSupprimeTout", [](INATable* t, INAContext* c) { return t->bSupprimeTout(c); }, L"bSupprimeTout()"},
    {"llGetRecNum", [](INATable* t, INAContext* c) { return t->llGetRecNum(c); }, L"llGetRecNum()"},
};

}  // namespace

// The runtime calls the table by slot number: the places it relies on.
TEST(table_slots, tableOperationsSitAtTheirSlots) {
  struct Slot {
    std::size_t nActual;
    std::size_t nExpected;
  };
  const Slot tSlots[] = {
      {SlotOf(&INATable::piGetLastError), 7},
      {SlotOf(&INATable::bIsOpened), 8},
      {SlotOf(&INATable::FreeMemory), 11},
      {SlotOf(&INATable::bHOuvre), 15},
      {SlotOf(&INATable::bHFerme), 17},
      {SlotOf(&INATable::bHLitxxx), 26},
      {SlotOf(&INATable::llGetRecNum), 35},
      {SlotOf(&INATable::bHNbEnr), 45},
      {SlotOf(&INATable::bGetRecord), 50},
      {SlotOf(&INATable::bSupprimeTout), 64},
      {SlotOf(&INATable::EmptySlot579), 65},
      {SlotOf(&INATable::EmptySlot594), 78},
  };
  for (const Slot& s : tSlots) EXPECT_EQ(s.nActual, s.nExpected);
}

// Each forwarding slot reaches its data-access operation with the arguments
// in the data access's order and answers its result unchanged; a context
// that never opened the table gets user error 19 naming it, no data access
// made, nothing called.
TEST_F(table, tableForwardsEachSlotToTheContextsDataAccess) {
  Open(1);
  for (const ForwardRow& r : kForwardRows) {
    SCOPED_TRACE(r.pszWhat);
    const bool bRecNum = std::string(r.pszWhat) == "llGetRecNum";
    for (int nStub : {1, 0}) {
      nAnswer = nStub;
      vecLog.clear();
      const long long nResult = r.fnCall(pclTable, FakeContext(1));
      EXPECT_EQ(nResult, bRecNum ? (nStub ? 77 : 0) : nStub);
      ASSERT_EQ(vecLog.size(), 1u);
      EXPECT_EQ(vecLog[0], r.pszLogged);
    }
    vecLog.clear();
    nAnswer = 1;
    // The record number keeps the error it finds: start from none.
    TableError()->Reset();
    const int nMade = pclDriver->nDataAccessesMade;
    EXPECT_EQ(r.fnCall(pclTable, FakeContext(2)), 0);
    EXPECT_TRUE(vecLog.empty());
    EXPECT_EQ(pclDriver->nDataAccessesMade, nMade) << "no data access made for the other context";
    EXPECT_EQ(TableError()->nGetUserErrorCode(), 19u);
    EXPECT_EQ(W(TableError()->pszGetLogicalTableName()), L"Customer");
    const std::wstring sDebug = W(TableError()->pclGetXError()->pszGetDebugMessage());
    EXPECT_NE(sDebug.find(bRecNum ? L"IEKXMARIA=6.8" : L"IEKXMARIA=6.7"), std::wstring::npos) << sDebug;
  }
  EXPECT_EQ(pclTable->nGetDataAccessCount(), 1u);
}

// The lenient slots and the close answer true without a data access; the
// unsupported ones always fail with user error 8 (type 7) and leave their
// arguments alone.
TEST_F(table, tableLenientAndUnsupportedSlots) {
  EXPECT_EQ(pclTable->bHLiberePosition(FakeContext(2), 3), 1);
  EXPECT_EQ(pclTable->bHDesactiveFiltre(FakeContext(2), L"k", 0), 1);
  EXPECT_EQ(pclTable->bHFerme(FakeContext(2)), 1);
  EXPECT_EQ(TableError()->eGetErrorType(), NA_ERRORTYPE_NONE) << "nothing raised";
  EXPECT_EQ(pclTable->bIsOpened(FakeContext(2)), 0);
  EXPECT_EQ(pclTable->bTableVirtualMoveSupported(), 0);
  EXPECT_EQ(pclTable->bTableVirtualMove(FakeContext(2), L"k", nullptr, 0, 1), 0);
  Open(1);
  void* pvMemory = &nAnswer;
  unsigned int nSize = 9;
  const std::function<int()> tCalls[] = {
      [&] { return pclTable->bHInterditModif(FakeContext(1)); },
      [&] { return pclTable->bHFinInterditModif(FakeContext(1)); },
      [&] { return pclTable->bCalculateKeyValue(FakeContext(1), L"k", &pvMemory, nullptr, &nSize, 1, 0); },
      [&] {
        pclTable->FreeMemory(FakeContext(1), &pvMemory);
        return 0;
      },
  };
  int nSite = 3;
  for (const auto& fnCall : tCalls) {
    SCOPED_TRACE(nSite);
    TableError()->Reset();
    EXPECT_EQ(fnCall(), 0);
    EXPECT_EQ(TableError()->nGetUserErrorCode(), 8u);
    EXPECT_EQ(TableError()->eGetErrorType(), NA_ERRORTYPE_UNAVAILABLE);
    EXPECT_EQ(W(TableError()->pszGetLogicalTableName()), L"Customer");
    EXPECT_NE(W(TableError()->pclGetXError()->pszGetDebugMessage()).find(L"=6." + std::to_wstring(nSite)),
              std::wstring::npos);
    auto* piContextError = static_cast<CNAError*>(pclTable->piGetLastError(FakeContext(1)));
    EXPECT_NE(piContextError, TableError());
    EXPECT_EQ(piContextError->nGetUserErrorCode(), 8u) << "copied into the context's error";
    ++nSite;
  }
  EXPECT_EQ(pvMemory, &nAnswer);
  EXPECT_EQ(nSize, 9u);
  EXPECT_TRUE(vecLog.empty());
}

// Two contexts with the same data number on one table: alternating calls
// reach each one's own data access (the lookup record compares both 64-bit
// identifiers, which differ only above bit 31 here).
TEST_F(table, tableAlternatingContextsReachTheirOwnDataAccess) {
  FakeContext(1)->SetNumber(0x100000001ull);
  FakeContext(2)->SetNumber(0x200000001ull);
  FakeContext(2)->SetDataNumber(FakeContext(1)->nDataNumber);
  Open(1);
  Open(2);
  ASSERT_EQ(vecAccesses.size(), 2u);
  for (int i = 0; i < 4; ++i) {
    const unsigned int n = 1 + (i % 2);
    vecLog.clear();
    EXPECT_EQ(pclTable->bHLibere(FakeContext(n)), 1);
    CNADataAccess* pclFound = pclTable->_pclFindDataAccess(FakeContext(n));
    EXPECT_EQ(pclFound, vecAccesses[n - 1]);
    if (pclFound != nullptr) pclFound->nRelease();
  }
  CNADataAccess* pclByContext = pclTable->pclFindDataAccessByContext(0x200000001ull);
  EXPECT_EQ(pclByContext, vecAccesses[1]) << "the whole 64-bit context number is compared";
  if (pclByContext != nullptr) pclByContext->nRelease();
  EXPECT_EQ(pclTable->pclFindDataAccessByContext(0x1ull), nullptr);
  // Closing in one context leaves the other's working.
  EXPECT_EQ(pclTable->bHFerme(FakeContext(1)), 1);
  EXPECT_EQ(pclTable->bHLibere(FakeContext(2)), 1);
  EXPECT_EQ(pclTable->bHLibere(FakeContext(1)), 0);
  EXPECT_EQ(TableError()->nGetUserErrorCode(), 19u);
}

// A failed open that made the data access leaves none behind (nor the
// context object), and the context's last error is the table's, holding
// the failure; a failed open where the table was open keeps it.
TEST_F(table, tableFailedOpenLeavesNoDataAccess) {
  nAnswer = 0;
  EXPECT_EQ(pclTable->bHOuvre(FakeContext(1), static_cast<eNA_ACCESS>(0), L"pw"), 0);
  EXPECT_EQ(pclTable->nGetDataAccessCount(), 0u);
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u);
  EXPECT_EQ(pclTable->piGetLastError(FakeContext(1)), TableError());
  // A failure the data access reports reaches the table's error.
  pclDriver->fnDataAccessMaker = [this](INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                        CNAError* error) -> CNADataAccess* {
    auto* p = new StubAccess(source, cnx, error, &vecLog, &nAnswer);
    p->nFailCode = 15;
    return p;
  };
  EXPECT_EQ(pclTable->bHCreation(FakeContext(1), L"pw"), 0);
  EXPECT_EQ(TableError()->nGetUserErrorCode(), 15u) << "the failure is readable after its data access went";
  EXPECT_EQ(vecLog.back(), L"bHCreation(pw,1)") << "created with drop-first 1";
  EXPECT_EQ(pclTable->nGetDataAccessCount(), 0u);
  nAnswer = 1;
  Open(1);
  nAnswer = 0;
  EXPECT_EQ(pclTable->bHCreationSiInexistant(FakeContext(1), static_cast<eNA_ACCESS>(2), L"pw"), 0);
  EXPECT_EQ(pclTable->nGetDataAccessCount(), 1u) << "the existing data access stays";
  // The connection cannot be opened: nothing made.
  pclTable->bHFerme(FakeContext(1));
  static_cast<TestConnection*>(pclTable->pclGetConnection())->m_bOpenAnswer = 0;
  const int nMade = pclDriver->nDataAccessesMade;
  EXPECT_EQ(pclTable->bHOuvre(FakeContext(1), static_cast<eNA_ACCESS>(0), L""), 0);
  EXPECT_EQ(pclDriver->nDataAccessesMade, nMade);
}

// The delete removes the data access whatever it answers; the close
// removes it and detaches the bind variables.
TEST_F(table, tableDeleteAndCloseTakeTheDataAccessOut) {
  for (int nStub : {1, 0}) {
    Open(1);
    nAnswer = nStub;
    EXPECT_EQ(pclTable->bSupprimeFichier(FakeContext(1)), nStub);
    EXPECT_EQ(pclTable->nGetDataAccessCount(), 0u);
    EXPECT_EQ(pclTable->bIsOpened(FakeContext(1)), 0);
    nAnswer = 1;
  }
  Open(1);
  EXPECT_EQ(pclTable->bIsOpened(FakeContext(1)), 1);
  nAnswer = 0;
  EXPECT_EQ(pclTable->bHFerme(FakeContext(1)), 0) << "the close's answer";
  EXPECT_EQ(pclTable->nGetDataAccessCount(), 0u) << "taken out whatever the answer";
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u);
}

// The SQL-runtime check asks once per driver; 31 fails, 32 passes; without
// parser information there is no check. Its errors stay in the table's.
TEST_F(table, tableSQLRuntimeCheck) {
  Open(1);
  TextOnlyParser clParser(L"SELECT 1");
  clParser.nRuntimeVersion = 31;
  wchar_t szItem[8] = L"";
  EXPECT_EQ(pclTable->bHFiltre(FakeContext(1), &clParser, szItem), 0);
  EXPECT_EQ(TableError()->nGetUserErrorCode(), 16u);
  EXPECT_NE(W(TableError()->pszGetError()).find(L"kx200sql64.so is not compatible with kx200maria64.so"),
            std::wstring::npos)
      << W(TableError()->pszGetError());
  EXPECT_EQ(clParser.nCheckKind, 76);
  EXPECT_EQ(clParser.nCheckVersion, 32);
  EXPECT_TRUE(vecLog.empty());
  clParser.nCompatibilityAnswer = 0;
  clParser.nRuntimeVersion = 40;
  TableError()->Reset();
  EXPECT_EQ(pclTable->bExecuteQuery(nullptr, FakeContext(1), L"SELECT 1", &clParser, 0, nullptr), 0);
  EXPECT_NE(W(TableError()->pszGetError()).find(L"kx200maria64.so is not compatible with kx200sql64.so"),
            std::wstring::npos);
  EXPECT_NE(W(TableError()->pclGetXError()->pszGetDebugMessage()).find(L"=6.1"), std::wstring::npos);
  clParser.nCompatibilityAnswer = 1;
  clParser.nRuntimeVersion = 32;
  EXPECT_EQ(pclTable->bHFiltre(FakeContext(1), L"k", nullptr, 1, nullptr, 1, &clParser), 0)
      << "passed the check; the filter layer answers";
  EXPECT_EQ(CNADriver::s_nID_KXSQL, 32u);
  EXPECT_EQ(clParser.nChecks, 3);
  vecLog.clear();
  EXPECT_EQ(pclTable->bHFiltre(FakeContext(1), &clParser, szItem), 1);
  EXPECT_EQ(clParser.nChecks, 3) << "asked once per driver";
  EXPECT_EQ(vecLog.size(), 1u);
}

// A query that gives a result set (not only prepared) hands the runtime the
// result's description; a failed one takes its data access out.
TEST_F(table, tableQueryProcedure) {
  Open(1);
  vecAccesses[0]->nResultSet = 1;
  int bResultSet = 0;
  EXPECT_EQ(pclTable->bExecuteQuery(&bResultSet, FakeContext(1), L"SELECT 1", nullptr, 0x10, Ptr<INAQueryExecution>(8)),
            1);
  EXPECT_EQ(bResultSet, 1);
  EXPECT_EQ(vecLog.back(), L"bExecuteQuery(SELECT 1,0,16,8)");
  INADataSourceDescription* piSource = pclTable->piGetDataSourceDescription();
  EXPECT_EQ(piSource, FakeSource(1)) << "a table's result description is its own declared one";
  if (piSource != nullptr) piSource->nExternalRelease();
  nAnswer = 0;
  EXPECT_EQ(pclTable->bExecuteQuery(&bResultSet, FakeContext(1), L"SELECT 2", nullptr, 0, nullptr), 0);
  EXPECT_EQ(pclTable->nGetDataAccessCount(), 0u) << "no prepared query: taken out";
}

// The table's end with data accesses open: each leaves its context and the
// lookup record, so the next table of the same name finds none in the
// context (the read fails cleanly) until it opens again.
TEST_F(table, tableEndLeavesNoDataAccessBehind) {
  Open(1);
  EXPECT_EQ(pclTable->bHLibere(FakeContext(1)), 1);  // the lookup record names it now
  EXPECT_EQ(pclTable->nExternalRelease(), 0u) << "only the registry held it: destroyed";
  pclTable = nullptr;
  EXPECT_EQ(pclDriver->nGetTableCount(), 0u);
  EXPECT_EQ(gpclLastDataAccess, nullptr);
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u) << "the emptied context left the driver";
  pclTable = static_cast<CNATable*>(pclDriver->piGetTable(&clHost, FakeSource(1)));
  ASSERT_NE(pclTable, nullptr);
  vecLog.clear();
  EXPECT_EQ(pclTable->bHLibere(FakeContext(1)), 0);
  EXPECT_EQ(TableError()->nGetUserErrorCode(), 19u);
  EXPECT_TRUE(vecLog.empty());
  Open(1);
  EXPECT_EQ(pclTable->bHLibere(FakeContext(1)), 1);
  EXPECT_EQ(vecAccesses.size(), 2u);
}

// A context that goes while the table lives: its data accesses leave the
// table too (the context's close forgets them there).
TEST_F(table, tableForgetsTheDataAccessesOfAClosedContext) {
  Open(1);
  Open(2);
  EXPECT_EQ(pclDriver->bCloseContext(FakeContext(1)), 1);
  EXPECT_EQ(pclTable->nGetDataAccessCount(), 1u);
  EXPECT_EQ(pclTable->bHLibere(FakeContext(1)), 0);
  EXPECT_EQ(pclTable->bHLibere(FakeContext(2)), 1);
  pclTable->ForgetDataAccess(vecAccesses[0]);  // no longer held: nothing
  EXPECT_EQ(pclTable->nGetDataAccessCount(), 1u);
}

// The table's entries from many threads at once, on a shared table: the
// forwarding, the unsupported operations (which write the shared error),
// the automatic filter's walk and the lookups all hold the driver lock.
// Run under ThreadSanitizer by the test script.
TEST(driver_threads, tableEntriesFromManyThreads) {
  ASSERT_TRUE(CNADriverLock::s_bCreate());
  auto* pclDriver = new TestDriver();
  ASSERT_EQ(pclDriver->bInitDriver(), 1);
  CNADriver* const pclPrevious = CNADriver::s_pclDriver;
  CNADriver::s_pclDriver = pclDriver;
  FakeSource(5)->SetName(L"Shared");
  TestHostDescription clHost;
  clHost.pszDataSource = L"threads";
  std::vector<std::wstring> vecLog;
  const int nAnswer = 1;
  pclDriver->fnDataAccessMaker = [&](INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                     CNAError* error) -> CNADataAccess* {
    return new StubAccess(source, cnx, error, &vecLog, &nAnswer);
  };
  auto* pclTable = static_cast<CNATable*>(pclDriver->piGetTable(&clHost, FakeSource(5)));
  ASSERT_NE(pclTable, nullptr);
  constexpr int knThreads = 6;
  constexpr int knRounds = 60;
  for (int t = 0; t < knThreads; ++t) {
    FakeContext(40 + t)->SetNumber(0x5000 + t);
    FakeContext(40 + t)->SetDataNumber(0x5000 + t);
  }
  std::atomic<int> nFailures{0};
  std::vector<std::thread> vecThreads;
  for (int t = 0; t < knThreads; ++t) {
    vecThreads.emplace_back([&, t] {
      INAContext* piContext = FakeContext(40 + t);
      for (int r = 0; r < knRounds; ++r) {
        if (pclTable->bHOuvre(piContext, static_cast<eNA_ACCESS>(0), L"") != 1) ++nFailures;
        if (pclTable->bIsOpened(piContext) != 1) ++nFailures;
        if (pclTable->bHVersion(piContext, nullptr) != 1) ++nFailures;
        pclTable->bHInterditModif(piContext);
        pclTable->FreeMemory(piContext, nullptr);
        pclTable->bFiltreAuto(piContext, 1, L"*", L"x", nullptr);
        pclTable->bFiltreAuto(piContext, 1, L"Shared");
        pclTable->bNeedCloseQuery(piContext, nullptr);
        pclTable->piGetLastError(piContext);
        pclTable->SetTransactionTermined();
        pclTable->ExternalAddRef();
        pclTable->nExternalRelease();
        if (pclTable->bHFerme(piContext) != 1) ++nFailures;
        if (pclTable->bHLibere(piContext) != 0) ++nFailures;
      }
    });
  }
  for (std::thread& clThread : vecThreads) clThread.join();
  EXPECT_EQ(nFailures.load(), 0);
  EXPECT_EQ(pclTable->nGetDataAccessCount(), 0u);
  pclTable->nExternalRelease();
  delete pclDriver;
  CNADriver::s_pclDriver = pclPrevious;
}
