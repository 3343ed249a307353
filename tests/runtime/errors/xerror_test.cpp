#include "CXError.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "DllResources.h"
#include "support/MessagesTestBlock.h"
#include "support/XErrorDoubles.h"

namespace {

std::wstring W(const wchar_t* psz) { return psz != nullptr ? std::wstring(psz) : std::wstring(L"<null>"); }

// The library's text of message nId formatted with the arguments.
template <typename... Args>
std::wstring LibraryText(unsigned nId, Args... args) {
  CTString cl;
  EXPECT_TRUE(DLLRES_bFormatMessage(&gstMyModuleInfo76, nId, &cl, args...)) << nId;
  return cl.pszGet();
}

// The system's text of an error number, as the error stores it.
std::wstring SystemText(int nErrno) {
  char sz[256];
  CTString cl;
  cl.SetANSIEx(strerror_r(nErrno, sz, sizeof sz), -1, 65001);
  return cl.pszGet();
}

std::wstring NoDefinitionLine(unsigned nCode) {
  return L"##(CXError)-Pas de definition d'erreur dans gstErrorDef pour l'identifiant <" +
         std::to_wstring(nCode) + L">##";
}

// A module of its own: a table with a doubled code, a missing and an empty
// message, over a block packed by the test.
class CTestModule {
 public:
  CTestModule() {
    m_pBlock = CTestBlock::Packed({{100, 0, "first row"},
                                   {101, 0, "second row"},
                                   {102, 0, "two %s and %d"},
                                   {103, 0, ""}});
    s_pBlock = m_pBlock.get();
  }
  ~CTestModule() { s_pBlock = nullptr; }
  const _stMyModuleInfo* Module() const { return &s_stModule; }

 private:
  static bool s_bGetRes(STRessourceModule* pst) {
    return s_pBlock != nullptr && s_pBlock->bLookup(pst->nId, pst);
  }
  std::unique_ptr<CTestBlock> m_pBlock;
  static inline CTestBlock* s_pBlock = nullptr;
  static constexpr _stErrorDef s_astRows[] = {
      {5, 100, 500, 2}, {5, 101, 501, 3}, {6, 102, 6, 3}, {7, 60000, 7, 3}, {8, 103, 8, 3}};
  static inline const _stMyModuleInfo s_stModule = {s_astRows, 5, 33, L"testmod.so", L"1.2.3.4",
                                                    &CTestModule::s_bGetRes};
};

// ---- The edge cases of the error object, with counted doubles --------------

class xerrorEdgeCases : public ::testing::Test {
 protected:
  void TearDown() override {
    // Every holder gave back exactly what it took.
    EXPECT_EQ(m_pclObjectA->nCount(), 1u);
    EXPECT_EQ(m_pclObjectB->nCount(), 1u);
    EXPECT_EQ(m_clExceptionA.nCount(), 0);
    EXPECT_EQ(m_clExceptionB.nCount(), 0);
    EXPECT_EQ(m_clExceptionA.nAddRefs(), m_clExceptionA.nReleases());
    EXPECT_EQ(m_clExceptionB.nAddRefs(), m_clExceptionB.nReleases());
    m_pclObjectA->Drop();
    m_pclObjectB->Drop();
    EXPECT_EQ(m_nDestroyed, 2);
  }

  int m_nDestroyed = 0;
  CCountedUnknown* m_pclObjectA = CCountedUnknown::Hold(&m_nDestroyed);
  CCountedUnknown* m_pclObjectB = CCountedUnknown::Hold(&m_nDestroyed);
  CExceptionDouble m_clExceptionA;
  CExceptionDouble m_clExceptionB;
};

TEST_F(xerrorEdgeCases, UnknownUserErrorLeavesLevel3CodeZeroAndOneDebugLine) {
  _CXErrorModule76 cl;
  cl.SetUserError(&gstMyModuleInfo76, 99999);
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_ERROR);
  EXPECT_EQ(cl.nGetUserErrorCode(), 0u);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"");
  EXPECT_EQ(W(cl.pszGetDebugMessage()), NoDefinitionLine(99999));
}

TEST_F(xerrorEdgeCases, RowsOfLevel2GiveLevel2) {
  for (unsigned nCode : {21u, 73u}) {
    _CXErrorModule76 cl;
    cl.SetUserError(&gstMyModuleInfo76, nCode, L"t", L"c");
    EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_WARNING) << nCode;
    EXPECT_EQ(cl.nGetUserErrorCode(), nCode);
  }
  _CXErrorModule76 cl;
  cl.SetUserError(&gstMyModuleInfo76, 22, L"srv", 5);
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_ERROR);
}

TEST_F(xerrorEdgeCases, UserMessagesAppendAndPrependLines) {
  _CXErrorModule76 cl;
  cl.AddUserMessage(L"a");
  cl.AddUserMessage(L"b");
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"a\r\nb");
  _CXErrorModule76 clFirst;
  clFirst.AddUserMessage(L"a");
  clFirst.AddUserMessageFirst(L"x");
  EXPECT_EQ(W(clFirst.pszGetUserMessage()), L"x\r\na");
  clFirst.AddUserMessageNoFormat(L"");
  clFirst.AddUserMessageNoFormat(nullptr);
  clFirst.AddDebugMessageNoFormat(L"");
  EXPECT_EQ(W(clFirst.pszGetUserMessage()), L"x\r\na");
  EXPECT_EQ(W(clFirst.pszGetDebugMessage()), L"");
}

TEST_F(xerrorEdgeCases, ItemOfTheSameTypeIsReplaced) {
  _CXErrorModule76 cl;
  cl.AddInfo(EIT_ITEMNAME, L"a");
  cl.AddInfo(EIT_ITEMNAME, L"b");
  EXPECT_EQ(cl.nNumInfo(), 1);
  void* p = nullptr;
  ASSERT_TRUE(cl.bGetInfo(EIT_ITEMNAME, &p));
  EXPECT_EQ(W(static_cast<wchar_t*>(p)), L"b");

  cl.AddInfo(EIT_EXCEPTIONDOTNET, &m_clExceptionA);
  cl.AddInfo(EIT_EXCEPTIONDOTNET, &m_clExceptionB);
  EXPECT_EQ(cl.nNumInfo(), 2);
  ASSERT_TRUE(cl.bGetInfo(EIT_EXCEPTIONDOTNET, &p));
  EXPECT_EQ(p, static_cast<IExceptionDotNet*>(&m_clExceptionB));
  EXPECT_EQ(m_clExceptionA.nReleases(), 1);
  EXPECT_EQ(m_clExceptionB.nCount(), 1);

  cl.AddInfo(EIT_DATAACCESS, m_pclObjectA);
  cl.AddInfo(EIT_DATAACCESS, m_pclObjectB);
  EXPECT_EQ(m_pclObjectA->nCount(), 1u);
  EXPECT_EQ(m_pclObjectA->nReleases(), 1);
  EXPECT_EQ(m_pclObjectB->nCount(), 2u);
  cl.RAZ();
  EXPECT_EQ(cl.nNumInfo(), 0);
  EXPECT_EQ(m_clExceptionB.nReleases(), 1);
  EXPECT_EQ(m_pclObjectB->nReleases(), 1);
}

TEST_F(xerrorEdgeCases, LevelOneEmptiesTheErrorButKeepsItsModule) {
  CXError cl(&gstMyModuleInfo76, 60u, 1, 2);
  cl.AddInfo(EIT_DATAACCESS, m_pclObjectA);
  cl.AddInfo(EIT_EXCEPTIONDOTNET, &m_clExceptionA);
  cl.AddSubError(&cl);
  cl.SetSystemErrorMessage(L"sys");
  ASSERT_NE(W(cl.pszGetUserMessage()), L"");
  cl.SetErrorLevel(ERRORLEVEL_ERROR);  // the level it has: nothing changes
  EXPECT_EQ(cl.nGetUserErrorCode(), 60u);
  cl.SetErrorLevel(ERRORLEVEL_NONE);
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_NONE);
  EXPECT_EQ(cl.nGetUserErrorCode(), 0u);
  EXPECT_EQ(cl.nGetDetailId(), 0u);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"");
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"");
  EXPECT_EQ(W(cl.pszGetModName()), L"");
  EXPECT_EQ(cl.nNumErrorId(), 0);
  EXPECT_EQ(cl.nNumInfo(), 0);
  EXPECT_EQ(cl.nGetNbSubError(), 0);
  EXPECT_EQ(cl.nGetInternalModuleId(), 76u);
}

TEST_F(xerrorEdgeCases, CopyIntoAnotherModuleDropsOnlyTheDataAccess) {
  _CXErrorModule76 clSrc;
  const std::int64_t llRec = 1234567890123;
  const std::int32_t nCode = -7;
  int nPlain = 0;
  clSrc.AddInfo(EIT_DATAACCESS, m_pclObjectA);
  clSrc.AddInfo(EIT_RECNUM, &llRec);
  clSrc.AddInfo(EIT_NATIVECODE, &nCode);
  clSrc.AddInfo(EIT_LINKNAME, L"link");
  clSrc.AddInfo(EIT_PLAINPOINTER, &nPlain);
  clSrc.AddInfo(EIT_EXCEPTIONDOTNET, &m_clExceptionA);

  CXError clOther(static_cast<std::uint32_t>(5), nullptr, 0);
  clOther.Copy(clSrc);
  EXPECT_FALSE(clOther.bHasInfo(EIT_DATAACCESS));
  EXPECT_EQ(clOther.nNumInfo(), 5);
  std::int64_t llOut = 0;
  void* p = &llOut;
  ASSERT_TRUE(clOther.bGetInfo(EIT_RECNUM, &p));
  EXPECT_EQ(llOut, llRec);
  ASSERT_TRUE(clOther.bGetInfo(EIT_NATIVECODE, &p));
  std::int32_t nOut = 0;
  std::memcpy(&nOut, &p, sizeof nOut);
  EXPECT_EQ(nOut, nCode);
  ASSERT_TRUE(clOther.bGetInfo(EIT_LINKNAME, &p));
  EXPECT_EQ(W(static_cast<wchar_t*>(p)), L"link");
  ASSERT_TRUE(clOther.bGetInfo(EIT_PLAINPOINTER, &p));
  EXPECT_EQ(p, &nPlain);
  EXPECT_EQ(m_clExceptionA.nCount(), 2);

  // Same module: the object is kept and counted once more.
  _CXErrorModule76 clSame(clSrc);
  EXPECT_TRUE(clSame.bHasInfo(EIT_DATAACCESS));
  EXPECT_EQ(m_pclObjectA->nCount(), 3u);

  // The plain copy constructor has module id 0: the object is dropped.
  CXError clPlain(static_cast<const CXError&>(clSrc));
  EXPECT_EQ(clPlain.nGetInternalModuleId(), 0u);
  EXPECT_FALSE(clPlain.bHasInfo(EIT_DATAACCESS));
  EXPECT_EQ(clPlain.nNumInfo(), 5);
}

TEST_F(xerrorEdgeCases, OnlyTheFirstSubErrorAddsItsMessage) {
  _CXErrorModule76 cl;
  cl.AddUserMessage(L"parent");
  CXError clA(&gstMyModuleInfo76);
  clA.AddUserMessage(L"first");
  clA.AddInfo(EIT_DATAACCESS, m_pclObjectA);
  CXError clB(&gstMyModuleInfo76);
  clB.AddUserMessage(L"second");
  cl.AddSubError(&clA);
  cl.AddSubError(&clB);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"parent\r\nfirst");
  ASSERT_EQ(cl.nGetNbSubError(), 2);
  EXPECT_EQ(W(cl.pclGetSubError(1)->pszGetUserMessage()), L"second");
  EXPECT_TRUE(cl.pclGetSubError(0)->bHasInfo(EIT_DATAACCESS));
  EXPECT_EQ(cl.pclGetSubError(2), nullptr);

  _CXErrorModule76 clQuiet;
  clQuiet.AddSubErrorNoUserMessage(&clA);
  EXPECT_EQ(W(clQuiet.pszGetUserMessage()), L"");
  EXPECT_EQ(m_pclObjectA->nCount(), 4u);
}

TEST_F(xerrorEdgeCases, LightFormsMoveEverythingOutOfTheSource) {
  CXError clSrc(&gstMyModuleInfo76, 60u, 1, 2);
  clSrc.AddInfo(EIT_DATAACCESS, m_pclObjectA);
  clSrc.AddInfo(EIT_EXCEPTIONDOTNET, &m_clExceptionA);
  clSrc.SetSystemError(3, L"sys");
  clSrc.SetFunctionName(L"f", 2);
  clSrc.SetVMContext(L"cap", L"obj", 4, 5);
  clSrc.SetUserErrorCode55(55);
  CXError clSub(&gstMyModuleInfo76);
  clSrc.AddSubErrorNoUserMessage(&clSub);

  _CXErrorModule76 cl;
  cl.AddUserMessage(L"old");
  cl.AddInfo(EIT_DATAACCESS, m_pclObjectB);
  cl.LightCopy(&clSrc);
  EXPECT_EQ(cl.nGetUserErrorCode(), 60u);
  EXPECT_EQ(cl.nGetUserErrorCode55(), 55u);
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 3u);
  EXPECT_EQ(W(cl.pszGetFunctionName()), L"f");
  EXPECT_EQ(cl.wGetTraitmentLine(), 4);
  EXPECT_EQ(cl.nGetErrorId(0), 25293u);
  EXPECT_EQ(cl.nGetNbSubError(), 1);
  EXPECT_EQ(W(cl.pszGetUserMessage()), LibraryText(25293, 1, 2));
  EXPECT_EQ(m_pclObjectA->nCount(), 2u);  // moved, not counted again
  EXPECT_EQ(m_pclObjectB->nCount(), 1u);  // the target's own was freed
  EXPECT_EQ(m_clExceptionA.nCount(), 1);

  EXPECT_EQ(clSrc.eGetErrorLevel(), ERRORLEVEL_NONE);
  EXPECT_EQ(clSrc.nGetUserErrorCode(), 0u);
  EXPECT_EQ(clSrc.nGetUserErrorCode55(), 0u);
  EXPECT_EQ(clSrc.dwGetSystemErrorCode(), 0u);
  EXPECT_EQ(W(clSrc.pszGetUserMessage()), L"");
  EXPECT_EQ(W(clSrc.pszGetModName()), L"");
  EXPECT_EQ(W(clSrc.pszGetObjectName()), L"");
  EXPECT_EQ(clSrc.wGetTraitmentLine(), 0);
  EXPECT_EQ(clSrc.nNumErrorId(), 0);
  EXPECT_EQ(clSrc.nNumInfo(), 0);
  EXPECT_EQ(clSrc.nGetNbSubError(), 0);
  EXPECT_EQ(clSrc.nGetInternalModuleId(), 76u);

  // Moved into another module: the data access is released, not carried.
  CXError clOther(static_cast<std::uint32_t>(5), &cl, 1);
  EXPECT_FALSE(clOther.bHasInfo(EIT_DATAACCESS));
  EXPECT_TRUE(clOther.bHasInfo(EIT_EXCEPTIONDOTNET));
  EXPECT_EQ(m_pclObjectA->nCount(), 1u);

  // A light sub-error moves its source too, into this error's module.
  CXError clMoved(&gstMyModuleInfo76);
  clMoved.AddUserMessage(L"moved");
  clOther.AddSubErrorLight(&clMoved);
  EXPECT_EQ(W(clMoved.pszGetUserMessage()), L"");
  ASSERT_EQ(clOther.nGetNbSubError(), 2);
  EXPECT_EQ(clOther.pclGetSubError(1)->nGetInternalModuleId(), 5u);
  EXPECT_EQ(W(clOther.pclGetSubError(1)->pszGetUserMessage()), L"moved");
}

// ---- User errors and messages by identifier ---------------------------------

TEST(xerrorUserErrors, DefinitionRowGivesCodeMessageDetailLevelAndModule) {
  _CXErrorModule76 cl;
  cl.InitModName(L"other");
  cl.SetUserError(&gstMyModuleInfo76, 17);
  EXPECT_EQ(cl.nGetUserErrorCode(), 17u);
  EXPECT_EQ(cl.nGetDetailId(), 28544u);
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_ERROR);
  EXPECT_EQ(W(cl.pszGetUserMessage()), LibraryText(28544));
  ASSERT_EQ(cl.nNumErrorId(), 1);
  EXPECT_EQ(cl.nGetErrorId(0), 28544u);
  EXPECT_EQ(W(cl.pszGetModName()), L"kx200maria64.so");
  EXPECT_EQ(W(cl.pszGetModVersion()), L"20.0.10.0");
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"");
}

TEST(xerrorUserErrors, TheLibraryTableAsShipped) {
  EXPECT_EQ(gstMyModuleInfo76.pstErrorDef, gstErrorDef76);
  EXPECT_EQ(gstMyModuleInfo76.nErrorDef, 89u);
  EXPECT_EQ(gstMyModuleInfo76.nModuleId, 76u);
  int nRows29 = 0;
  std::set<std::uint32_t> setIds;
  for (const _stErrorDef& st : gstErrorDef76) {
    nRows29 += st.nCode == 29;
    setIds.insert(st.nMessageId);
  }
  EXPECT_EQ(nRows29, 2);
  EXPECT_EQ(setIds.size(), 88u);
  EXPECT_EQ(CXError::nGetRessourceIdFromUserErrorCode(&gstMyModuleInfo76, 760102), 3355u);
  EXPECT_EQ(CXError::nGetRessourceIdFromUserErrorCode(&gstMyModuleInfo76, 3), 0u);
  EXPECT_EQ(CXError::nGetRessourceIdFromUserErrorCode(nullptr, 1), 0u);
}

TEST(xerrorUserErrors, FirstRowWinsAndArgumentsAreFormatted) {
  CTestModule clModule;
  CXError cl(clModule.Module(), 5u);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"first row");
  EXPECT_EQ(cl.nGetDetailId(), 500u);
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_WARNING);
  EXPECT_EQ(W(cl.pszGetModName()), L"testmod.so");
  EXPECT_EQ(cl.nGetInternalModuleId(), 33u);

  // ChangeUserError prepends to what is there; the new row's level wins.
  cl.ChangeUserError(clModule.Module(), 6, L"words", 3);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"two words and 3\r\nfirst row");
  EXPECT_EQ(cl.nGetErrorId(0), 102u);
  EXPECT_EQ(cl.nGetErrorId(1), 100u);
  EXPECT_EQ(cl.nGetErrorId(2), 0u);
  EXPECT_EQ(cl.nGetErrorId(-1), 0u);
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_ERROR);

  // An unknown code keeps the code it had and adds the debug line.
  cl.ChangeUserError(clModule.Module(), 99);
  EXPECT_EQ(cl.nGetUserErrorCode(), 6u);
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_ERROR);
  EXPECT_EQ(W(cl.pszGetDebugMessage()), NoDefinitionLine(99));

  CXError clDebug(clModule.Module(), L"why", 6u, L"w", 1);
  EXPECT_EQ(W(clDebug.pszGetUserMessage()), L"two w and 1");
  EXPECT_EQ(W(clDebug.pszGetDebugMessage()), L"why");
}

TEST(xerrorUserErrors, MissingOrEmptyMessagesBecomeDebugLines) {
  CTestModule clModule;
  errno = 0;
  CXError cl(clModule.Module(), 7u);
  EXPECT_EQ(cl.nGetUserErrorCode(), 7u);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"");
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"##(CXError)-Ressource <60000> non chargée##");
  EXPECT_EQ(cl.nGetErrorId(0), 60000u);

  errno = EACCES;
  CXError clEmpty(clModule.Module(), 8u);
  EXPECT_EQ(W(clEmpty.pszGetDebugMessage()),
            L"##(CXError)-Ressource <103> vide. LastError = <" + std::to_wstring(EACCES) + L">##");

  cl.SetSystemErrorMessage(clModule.Module(), 60001);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"##(CXError)-Ressource <60001> non chargée##");
  cl.SetSystemErrorMessage(clModule.Module(), 102, L"x", 9);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"two x and 9");
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 0u);
}

TEST(xerrorUserErrors, MessagesByIdentifier) {
  CTestModule clModule;
  CXError cl(static_cast<const _stMyModuleInfo*>(nullptr));
  cl.AddUserMessage(clModule.Module(), 100);
  cl.AddUserMessageFirst(clModule.Module(), 102, L"y", 4);
  cl.AddUserMessage(&gstMyModuleInfo76, 25193);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"two y and 4\r\nfirst row\r\n" + LibraryText(25193));
  // Without force the first module's name stays.
  EXPECT_EQ(W(cl.pszGetModName()), L"testmod.so");
  ASSERT_EQ(cl.nNumErrorId(), 3);
  EXPECT_EQ(cl.nGetErrorId(0), 102u);
  EXPECT_EQ(cl.nGetErrorId(1), 100u);
  EXPECT_EQ(cl.nGetErrorId(2), 25193u);

  cl.AddDebugMessage(clModule.Module(), 0xFFFFFFFF);
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"");
  cl.AddDebugMessage(clModule.Module(), 102, L"d", 1);
  cl.AddDebugMessagePrintf(L"%s=%d", L"n", 5);
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"two d and 1\r\nn=5");
  EXPECT_EQ(cl.nNumErrorId(), 3);

  cl.SetUserErrorMessage(clModule.Module(), 6, L"literal");
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"literal");
  EXPECT_EQ(cl.nGetUserErrorCode(), 6u);
  EXPECT_EQ(cl.nNumErrorId(), 0);
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"");
  cl.RAZUserMessage();
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"");
}

TEST(xerrorUserErrors, AnyErrorKinds) {
  struct {
    int nKind;
    unsigned nCode;
    unsigned nMessage;
  } const aCases[] = {{1, 65, 25298},   {101, 61, 25294}, {104, 66, 25292},
                      {105, 60, 25293}, {106, 64, 25297}, {107, 63, 25296}};
  for (const auto& c : aCases) {
    _CXErrorModule76 cl;
    cl.SetAnyError(&gstMyModuleInfo76, c.nKind, 16, 9);
    EXPECT_EQ(cl.nGetUserErrorCode(), c.nCode) << c.nKind;
    EXPECT_EQ(W(cl.pszGetUserMessage()), LibraryText(c.nMessage, 16, 9)) << c.nKind;
  }
  _CXErrorModule76 cl;
  cl.SetAnyError(&gstMyModuleInfo76, 105, 1, 2);
  cl.SetAnyError(&gstMyModuleInfo76, 2, 1, 2);
  EXPECT_EQ(cl.nGetUserErrorCode(), 60u);
  cl.SetAnyError(&gstMyModuleInfo76, 100, 1, 2);
  EXPECT_EQ(cl.nGetUserErrorCode(), 0u);
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 12u);
  EXPECT_EQ(W(cl.pszGetUserMessage()), LibraryText(25193));
  cl.SetAnyError(&gstMyModuleInfo76, 0, 1, 2);
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 0u);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"");
}

// ---- System errors --------------------------------------------------------------

// The text belongs to the code given, whatever errno holds by then.
TEST(xerrorSystem, TextFollowsTheGivenCodeNotErrno) {
  _CXErrorModule76 cl;
  errno = EACCES;
  cl.SetSystemErrorParam(ENOENT);
  EXPECT_EQ(cl.dwGetSystemErrorCode(), static_cast<std::uint32_t>(ENOENT));
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), SystemText(ENOENT));

  for (std::uint32_t dwLock : {0x80000000u, 0x80000001u, 0x80000002u}) {
    errno = EACCES;
    cl.SetSystemErrorParam(dwLock);
    EXPECT_EQ(cl.dwGetSystemErrorCode(), dwLock);
    EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), SystemText(11));
  }

  errno = EACCES;
  cl.SetErrorNoMemory();
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_ERROR);  // a failure, not "no error"
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 12u);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), SystemText(12));

  cl.SetSystemErrorParam(0);
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 0u);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"");
}

TEST(xerrorSystem, MessageForms) {
  _CXErrorModule76 cl;
  cl.SetSystemError(5, L"five");
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 5u);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"five");
  cl.SetSystemErrorMessagePrintf(7, L"%s %S %d", L"w", "n", 3);
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 7u);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"w n 3");
  cl.SetSystemErrorMessagePrintf(L"<%hs>", "x");
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 0u);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"<x>");
  cl.SetSystemErrorMessageA("caf\xC3\xA9");
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"caf\u00E9");
  cl.SetSystemErrorMessageA(nullptr);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"");
  cl.SetSystemErrorMessage(9, nullptr);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"");

  h_errno = HOST_NOT_FOUND;
  cl.SetSystemErrorForGetHostBy(4);
  CTString clExpected;
  clExpected.SetANSIEx(hstrerror(HOST_NOT_FOUND), -1, 65001);
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 4u);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), W(clExpected.pszGet()));
}

// ---- Information items ----------------------------------------------------------

TEST(xerrorInfo, ValuesAreHandedOutByKind) {
  _CXErrorModule76 cl;
  const std::int32_t nNative = 0x12345678;
  const std::int64_t llTime = -5;
  cl.AddInfo(EIT_NATIVECODE, &nNative);
  cl.AddInfo(EIT_HLOCKTIME, &llTime);

  // A 32-bit value lands in the first four bytes of the pointer itself.
  void* p = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xAAAAAAAAAAAAAAAAull));
  ASSERT_TRUE(cl.bGetInfo(EIT_NATIVECODE, &p));
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p), 0xAAAAAAAA12345678ull);

  // A 64-bit value goes where the pointer points; the pointer stays.
  std::int64_t llOut = 0;
  p = &llOut;
  ASSERT_TRUE(cl.bGetInfo(EIT_HLOCKTIME, &p));
  EXPECT_EQ(llOut, -5);
  EXPECT_EQ(p, &llOut);

  eERRORINFOTYPE eType = EIT_NONE;
  llOut = 0;
  p = &llOut;
  cl.GetInfo(1, &eType, &p);
  EXPECT_EQ(eType, EIT_HLOCKTIME);
  EXPECT_EQ(llOut, -5);

  // Out of range: type 0 and the value untouched.
  for (int i : {-1, 2, 100}) {
    eType = EIT_SRCFILE;
    p = &llOut;
    cl.GetInfo(i, &eType, &p);
    EXPECT_EQ(eType, EIT_NONE) << i;
    EXPECT_EQ(p, &llOut) << i;
  }
  EXPECT_FALSE(cl.bGetInfo(EIT_SRCFILE, &p));
  EXPECT_EQ(p, &llOut);
}

TEST(xerrorInfo, TypesThatAreNotStored) {
  _CXErrorModule76 cl;
  const std::int32_t n = 1;
  for (std::uint32_t nType : {0u, 34u, 35u, 40u, 1000u})
    cl.AddInfo(static_cast<eERRORINFOTYPE>(nType), &n);
  cl.AddInfo(EIT_SRCFILE, nullptr);
  EXPECT_EQ(cl.nNumInfo(), 0);
  cl.AddInfo(EIT_POSITION_ERREUR, L"");
  EXPECT_TRUE(cl.bHasInfo(EIT_POSITION_ERREUR));
  cl.DeleteInfo(EIT_POSITION_ERREUR);
  cl.DeleteInfo(EIT_POSITION_ERREUR);
  EXPECT_EQ(cl.nNumInfo(), 0);
}

TEST(xerrorInfo, FlagsOfXInfo) {
  _CXErrorModule76 cl;
  EXPECT_FALSE(cl.__bGetXInfo(1));
  cl.__SetXInfo(0x4, 1);
  cl.__SetXInfo(0x10, 1);
  cl.__SetXInfo(0x4, 0);
  EXPECT_FALSE(cl.__bGetXInfo(0x4));
  EXPECT_TRUE(cl.__bGetXInfo(0x10));
  EXPECT_EQ(cl.nNumInfo(), 1);
}

// ---- Guards against self-use ------------------------------------------------------

// A given value that is the stored one must survive its own replacement.
TEST(xerrorGuards, ReplacingAnItemWithItselfKeepsIt) {
  _CXErrorModule76 cl;
  cl.AddInfo(EIT_ITEMNAME, L"item");
  void* p = nullptr;
  ASSERT_TRUE(cl.bGetInfo(EIT_ITEMNAME, &p));
  cl.AddInfo(EIT_ITEMNAME, p);
  ASSERT_TRUE(cl.bGetInfo(EIT_ITEMNAME, &p));
  EXPECT_EQ(W(static_cast<wchar_t*>(p)), L"item");

  CExceptionDouble clException;
  cl.AddInfo(EIT_EXCEPTIONDOTNET, &clException);
  cl.AddInfo(EIT_EXCEPTIONDOTNET, &clException);
  EXPECT_EQ(clException.nCount(), 1);

  int nDestroyed = 0;
  auto* pclObject = new CCountedUnknown(&nDestroyed);  // only the error holds it
  cl.AddInfo(EIT_DATAACCESS, pclObject);
  cl.AddInfo(EIT_DATAACCESS, pclObject);
  EXPECT_EQ(nDestroyed, 0);
  EXPECT_EQ(pclObject->nCount(), 1u);
  cl.RAZ();
  EXPECT_EQ(nDestroyed, 1);
  EXPECT_EQ(clException.nCount(), 0);
}

TEST(xerrorGuards, TextsTakenFromTheFieldItself) {
  _CXErrorModule76 cl;
  cl.AddUserMessage(L"abc");
  cl.AddUserMessage(cl.pszGetUserMessage());
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"abc\r\nabc");
  cl.AddUserMessageFirst(cl.pszGetUserMessage() + 6);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"bc\r\nabc\r\nabc");
  cl.AddUserMessageFirst(cl.pszGetUserMessage());
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"bc\r\nabc\r\nabc\r\nbc\r\nabc\r\nabc");

  cl.InitModName(L"kx200maria64.so");
  cl.InitModName(cl.pszGetModName() + 2);
  EXPECT_EQ(W(cl.pszGetModName()), L"200maria64.so");
  cl.SetSystemError(1, L"system text");
  cl.SetSystemError(1, cl.pszGetSystemErrorMessage() + 7);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"text");
  cl.AddDebugMessageNoFormat(L"dbg");
  cl.AddDebugMessageNoFormat(cl.pszGetDebugMessage());
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"dbg\r\ndbg");
}

TEST(xerrorGuards, LightCopyFromItselfChangesNothing) {
  CXError cl(&gstMyModuleInfo76, 60u, 1, 2);
  cl.AddInfo(EIT_ITEMNAME, L"i");
  const std::wstring sMessage = cl.pszGetUserMessage();
  cl.LightCopy(&cl);
  cl.Copy(cl);
  EXPECT_EQ(cl.nGetUserErrorCode(), 60u);
  EXPECT_EQ(W(cl.pszGetUserMessage()), sMessage);
  EXPECT_EQ(cl.nNumErrorId(), 1);
  EXPECT_TRUE(cl.bHasInfo(EIT_ITEMNAME));
}

TEST(xerrorGuards, CopyFromOneOfItsOwnSubErrors) {
  _CXErrorModule76 cl;
  cl.AddUserMessage(L"root");
  CXError clA(&gstMyModuleInfo76);
  clA.AddUserMessage(L"A");
  CXError clA1(&gstMyModuleInfo76);
  clA1.AddUserMessage(L"A1");
  clA.AddSubError(&clA1);
  CXError clB(&gstMyModuleInfo76);
  clB.AddUserMessage(L"B");
  cl.AddSubError(&clA);
  cl.AddSubError(&clB);
  ASSERT_EQ(cl.nGetNbSubError(), 2);

  cl.Copy(cl.pclGetSubError(0));
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"A\r\nA1");
  ASSERT_EQ(cl.nGetNbSubError(), 1);
  EXPECT_EQ(W(cl.pclGetSubError(0)->pszGetUserMessage()), L"A1");

  // A deeper one, and the light form.
  cl.AddSubError(&clB);
  cl.LightCopy(cl.pclGetSubError(0));
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"A1");
  EXPECT_EQ(cl.nGetNbSubError(), 0);
}

TEST(xerrorGuards, AddingItselfAsSubErrorTakesASnapshot) {
  for (int nForm = 0; nForm < 4; ++nForm) {
    SCOPED_TRACE(nForm);
    _CXErrorModule76 cl;
    cl.AddUserMessage(L"self");
    cl.AddSubError(&cl);  // a first sub-error, so that the next one adds no text
    switch (nForm) {
      case 0: cl.AddSubError(&cl); break;
      case 1: cl.AddSubErrorLight(&cl); break;
      case 2: cl.AddSubErrorNoUserMessage(&cl); break;
      default: cl.AddSubErrorLightNoUserMessage(&cl); break;
    }
    EXPECT_EQ(W(cl.pszGetUserMessage()), L"self\r\nself");
    ASSERT_EQ(cl.nGetNbSubError(), 2);
    const CXError* pclSnapshot = cl.pclGetSubError(1);
    EXPECT_EQ(W(pclSnapshot->pszGetUserMessage()), L"self\r\nself");
    EXPECT_EQ(pclSnapshot->nGetNbSubError(), 1);
  }
}

TEST(xerrorGuards, NullSourcesLeaveAnEmptyError) {
  CXError clSrc(&gstMyModuleInfo76, 60u, 1, 2);
  CXError* pclNull = nullptr;
  for (int bLight : {0, 1}) {
    CXError cl(&gstMyModuleInfo76, pclNull, bLight);
    EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_NONE);
    EXPECT_EQ(cl.nGetInternalModuleId(), 76u);
    CXError clId(static_cast<std::uint32_t>(9), pclNull, bLight);
    EXPECT_EQ(W(clId.pszGetUserMessage()), L"");
  }
  CXError cl(&gstMyModuleInfo76, clSrc, 0);
  ASSERT_EQ(cl.nGetUserErrorCode(), 60u);
  cl.Copy(static_cast<const CXError*>(nullptr));
  EXPECT_EQ(cl.nGetUserErrorCode(), 0u);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"");
  EXPECT_EQ(cl.nGetInternalModuleId(), 76u);
  cl.LightCopy(nullptr);
  cl.AddSubError(nullptr);
  EXPECT_EQ(cl.nGetNbSubError(), 0);
}

// ---- Copy, module, context ---------------------------------------------------------

TEST(xerrorCopy, CopyReplacesEveryField) {
  _CXErrorModule76 clSrc;
  clSrc.SetUserError(&gstMyModuleInfo76, 60, 1, 2);
  clSrc.SetUserErrorCode55(7);
  clSrc.SetFunctionName(L"fn", 3);
  clSrc.SetVMContext(L"cap", L"obj", 10, 11);
  clSrc.SetSystemError(2, L"sys");
  clSrc.AddDebugMessageNoFormat(L"dbg");
  clSrc.SetDetailId(99);
  CXError clSub(&gstMyModuleInfo76);
  clSub.AddUserMessage(L"sub");
  clSrc.AddSubErrorNoUserMessage(&clSub);

  CTestModule clModule;
  CXError cl(clModule.Module(), 5u);
  cl.AddInfo(EIT_SRCFILE, L"old");
  cl.AddSubError(&cl);
  cl.Copy(clSrc);
  EXPECT_EQ(cl.nGetUserErrorCode(), 60u);
  EXPECT_EQ(cl.nGetUserErrorCode55(), 7u);
  EXPECT_EQ(cl.nGetDetailId(), 99u);
  EXPECT_EQ(W(cl.pszGetUserMessage()), W(clSrc.pszGetUserMessage()));
  EXPECT_EQ(W(cl.pszGetModName()), L"kx200maria64.so");
  EXPECT_EQ(W(cl.pszGetFunctionName()), L"fn");
  EXPECT_EQ(cl.nGetFunctionSyntax(), 3);
  EXPECT_EQ(W(cl.pszGetTraitmentCaption()), L"cap");
  EXPECT_EQ(W(cl.pszGetObjectName()), L"obj");
  EXPECT_EQ(cl.wGetTraitmentLine(), 10);
  EXPECT_EQ(cl.wGetTraitmentThread(), 11);
  EXPECT_EQ(cl.dwGetSystemErrorCode(), 2u);
  EXPECT_EQ(W(cl.pszGetSystemErrorMessage()), L"sys");
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"dbg");
  EXPECT_EQ(cl.nNumErrorId(), 1);
  EXPECT_EQ(cl.nNumInfo(), 0);
  ASSERT_EQ(cl.nGetNbSubError(), 1);
  EXPECT_EQ(W(cl.pclGetSubError(0)->pszGetUserMessage()), L"sub");
  EXPECT_EQ(cl.nGetInternalModuleId(), 33u);

  _CXErrorModule76 clAssigned;
  clAssigned = clSrc;
  EXPECT_EQ(clAssigned.nGetUserErrorCode(), 60u);
}

TEST(xerrorCopy, ModuleAndContextSetters) {
  CTestModule clModule;
  _CXErrorModule76 cl;
  cl.InitModInfo(clModule.Module(), 0);
  EXPECT_EQ(W(cl.pszGetModName()), L"testmod.so");
  cl.InitModInfo(&gstMyModuleInfo76, 0);
  EXPECT_EQ(W(cl.pszGetModName()), L"testmod.so");
  cl.InitModInfo(&gstMyModuleInfo76, 1);
  EXPECT_EQ(W(cl.pszGetModName()), L"kx200maria64.so");
  EXPECT_EQ(W(cl.pszGetModVersion()), L"20.0.10.0");
  cl.InitModVersion(L"9");
  EXPECT_EQ(W(cl.pszGetModVersion()), L"9");
  cl.__InitInternalModInfo(12);
  EXPECT_EQ(cl.nGetInternalModuleId(), 12u);

  cl.SetVMContext(L"cap", 3, 4);
  EXPECT_EQ(W(cl.pszGetTraitmentCaption()), L"cap");
  EXPECT_EQ(cl.wGetTraitmentLine(), 3);
  cl.SetVMContext(L"object");
  EXPECT_EQ(W(cl.pszGetObjectName()), L"object");
  EXPECT_EQ(cl.wGetTraitmentThread(), 4);
  cl.__RAZALL();
  EXPECT_EQ(cl.nGetInternalModuleId(), 0u);
  EXPECT_EQ(W(cl.pszGetTraitmentCaption()), L"");
  EXPECT_EQ(cl.wGetTraitmentLine(), 0);
}

// Every string field is written through the string slots: a derived error
// that records what its slots produced sees every stored text come from them.
class CSlotRecorder : public CXError {
 public:
  CSlotRecorder() : CXError(&gstMyModuleInfo76) {}
  wchar_t* __vpszAllocString(wchar_t** ppsz, const wchar_t* psz) override {
    return Record(CXError::__vpszAllocString(ppsz, psz));
  }
  wchar_t* __vpszReallocString(wchar_t** ppsz, const wchar_t* psz) override {
    return Record(CXError::__vpszReallocString(ppsz, psz));
  }
  wchar_t* __vpszReallocString(wchar_t** ppsz, unsigned long n) override {
    return Record(CXError::__vpszReallocString(ppsz, n));
  }
  wchar_t* __vpszConcatString(wchar_t** ppsz, const wchar_t* psz) override {
    return Record(CXError::__vpszConcatString(ppsz, psz));
  }
  void __vDeleteString(wchar_t** ppsz) override {
    m_setMade.erase(*ppsz);
    CXError::__vDeleteString(ppsz);
  }
  bool bMade(const wchar_t* psz) const { return m_setMade.count(psz) != 0; }

 private:
  wchar_t* Record(wchar_t* psz) {
    if (psz != nullptr) m_setMade.insert(psz);
    return psz;
  }
  std::set<const wchar_t*> m_setMade;
};

TEST(xerrorCopy, StringFieldsAreWrittenThroughTheSlots) {
  CSlotRecorder cl;
  cl.SetUserError(&gstMyModuleInfo76, 60, 1, 2);
  cl.AddUserMessage(L"more");
  cl.AddUserMessageFirst(L"first");
  cl.AddDebugMessagePrintf(L"%d", 5);
  cl.SetFunctionName(L"f", 1);
  cl.SetVMContext(L"c", L"o", 1, 2);
  cl.SetSystemErrorParam(2);
  cl.AddInfo(EIT_SRCFILE, L"src");
  for (const wchar_t* psz :
       {cl.pszGetUserMessage(), cl.pszGetDebugMessage(), cl.pszGetFunctionName(),
        cl.pszGetModName(), cl.pszGetModVersion(), cl.pszGetSystemErrorMessage(),
        cl.pszGetTraitmentCaption(), cl.pszGetObjectName()})
    EXPECT_TRUE(cl.bMade(psz)) << W(psz);
  void* p = nullptr;
  ASSERT_TRUE(cl.bGetInfo(EIT_SRCFILE, &p));
  EXPECT_TRUE(cl.bMade(static_cast<wchar_t*>(p)));

  _CXErrorModule76 clSrc;
  clSrc.SetUserError(&gstMyModuleInfo76, 61, 1, 2);
  clSrc.SetSystemError(1, L"s");
  cl.Copy(clSrc);
  EXPECT_TRUE(cl.bMade(cl.pszGetUserMessage()));
  EXPECT_TRUE(cl.bMade(cl.pszGetSystemErrorMessage()));
}

TEST(xerrorCopy, SizeSlotKeepsATerminatedText) {
  _CXErrorModule76 cl;
  wchar_t* psz = nullptr;
  cl.__vpszReallocString(&psz, 4ul);
  ASSERT_NE(psz, nullptr);
  EXPECT_EQ(W(psz), L"");
  cl.__vpszConcatString(&psz, L"abc");
  cl.__vpszReallocString(&psz, 2ul);
  EXPECT_EQ(W(psz), L"ab");
  cl.__vpszReallocString(&psz, static_cast<const wchar_t*>(nullptr));
  EXPECT_EQ(psz, nullptr);
  cl.__vpszConcatString(&psz, L"x");
  EXPECT_EQ(W(psz), L"x");
  cl.__vpszConcatString(&psz, L"yz");
  cl.__vpszConcatString(&psz, psz);  // grows out of its own text
  EXPECT_EQ(W(psz), L"xyzxyz");
  cl.__vpszReallocString(&psz, psz + 1);
  EXPECT_EQ(W(psz), L"yzxyz");
  cl.__vDeleteString(&psz);
  EXPECT_EQ(psz, nullptr);
}

// ---- Prepending to the debug message, replacing a user error's text ------

TEST(xerrorFirstAndChange, DebugTextGoesInFrontAndChangeStartsAfresh) {
  CTestModule clModule;
  CXError cl(clModule.Module());
  cl.AddDebugMessageFirst(L"");
  cl.AddDebugMessageFirst(nullptr);
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"");
  cl.AddDebugMessageFirst(L"b");
  cl.AddDebugMessageFirst(L"a");
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"a\r\nb");
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"");

  // A known code: everything earlier is gone, the text stands for the
  // table's message, detail and level come from the row.
  cl.AddUserMessage(L"old");
  cl.AddInfo(EIT_SRCFILE, L"src");
  cl.ChangeUserErrorMessage(clModule.Module(), 5, L"mine");
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"mine");
  EXPECT_EQ(W(cl.pszGetDebugMessage()), L"");
  EXPECT_EQ(cl.nGetUserErrorCode(), 5u);
  EXPECT_EQ(cl.nGetDetailId(), 500u);
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_WARNING);
  EXPECT_EQ(cl.nNumErrorId(), 0);
  EXPECT_FALSE(cl.bHasInfo(EIT_SRCFILE));

  // An unknown code: level 3, no user message, the debug line only.
  cl.ChangeUserErrorMessage(clModule.Module(), 4242, L"mine");
  EXPECT_EQ(cl.eGetErrorLevel(), ERRORLEVEL_ERROR);
  EXPECT_EQ(W(cl.pszGetUserMessage()), L"");
  EXPECT_EQ(W(cl.pszGetDebugMessage()),
            L"##(CXError)-Pas de definition d'erreur dans gstErrorDef pour l'identifiant <4242>##");
}

TEST(xerrorFirstAndChange, SubErrorIndexOutsideTheArrayGivesNull) {
  CXError cl(&gstMyModuleInfo76);
  EXPECT_EQ(cl.pclGetSubError(0), nullptr);
  CXError clSub(&gstMyModuleInfo76);
  cl.AddSubError(&clSub);
  cl.AddSubError(&clSub);
  ASSERT_EQ(cl.nGetNbSubError(), 2);
  for (int i : {-1, 2, 3, INT32_MIN, INT32_MAX}) EXPECT_EQ(cl.pclGetSubError(i), nullptr) << i;
  EXPECT_NE(cl.pclGetSubError(0), nullptr);
  EXPECT_NE(cl.pclGetSubError(1), nullptr);
  EXPECT_NE(cl.pclGetSubError(0), cl.pclGetSubError(1));
}

}  // namespace
