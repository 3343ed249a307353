// The readable dump of an error (parts, separators, captions, item lines,
// sub-errors) and the internal-error report.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "CXError.h"
#include "CXErrorInternal.h"

namespace {

using XEI = CXError::eXERROR_INFO;

constexpr std::uint32_t kAllParts = 0xFFF;
constexpr std::uint32_t kOnlyPresent = 0x80000000u;
constexpr std::uint32_t kNoUserTitle = 0x40000000u;

std::wstring Dump(const CXError& clErr, std::uint32_t dwParts) {
  return clErr.StringDump(static_cast<XEI>(dwParts)).pszGet();
}

// Makes failures readable: the dump with its line ends shown.
std::string Show(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) {
    if (c == L'\r') {
      out += "\\r";
    } else if (c == L'\n') {
      out += "\\n\n";
    } else {
      out += static_cast<char>(c < 0x80 ? c : '?');
    }
  }
  return out;
}

#define EXPECT_DUMP(actual, expected) \
  EXPECT_EQ(Show(actual), Show(expected))

// ---------------------------------------------------------------------------
// Parts and separators
// ---------------------------------------------------------------------------

TEST(errordump, EmptyErrorShowsOnlyCodeAndLevelWhenOnlyPresent) {
  _CXErrorModule76 clErr;
  EXPECT_DUMP(Dump(clErr, kOnlyPresent | kAllParts),
              L"User error code: 0\r\nLevel: no error\r\n");
}

TEST(errordump, EmptyErrorShowsEveryNoneCaption) {
  _CXErrorModule76 clErr;
  EXPECT_DUMP(Dump(clErr, kAllParts),
              L"User message: none\r\n"
              L"\r\nUser error code: 0\r\nLevel: no error\r\nSecond user error code: 0\r\n"
              L"\r\nSystem error code: none\r\nSystem error message: none\r\n"
              L"\r\nModule: none\r\nDetail: none\r\nDebug information: none\r\n"
              L"Information items: none\r\n");
}

TEST(errordump, SystemMessageLastLeavesNoLineEnd) {
  _CXErrorModule76 clErr;
  clErr.SetSystemErrorMessage(L"disk full");
  EXPECT_DUMP(Dump(clErr, kOnlyPresent | kAllParts),
              L"User error code: 0\r\nLevel: no error\r\n"
              L"\r\nSystem error message:\r\ndisk full");
}

TEST(errordump, FilledErrorShowsEveryPresentPart) {
  _CXErrorModule76 clErr;
  clErr.AddUserMessageNoFormat(L"Cannot open the table.");
  clErr.AddUserMessageNoFormat(L"Check the rights.");
  clErr.SetUserErrorCode(14);
  clErr.SetErrorLevel(ERRORLEVEL_ERROR);
  clErr.InitModInfo(&gstMyModuleInfo76, 1);
  clErr.SetDetailId(14);
  clErr.AddDebugMessageNoFormat(L"open failed");
  clErr.SetSystemError(13, L"Permission denied");
  clErr.AddInfo(EIT_LOGICALTABLENAME, L"CUSTOMER");
  EXPECT_DUMP(Dump(clErr, kOnlyPresent | kAllParts),
              L"User message:\r\nCannot open the table.\r\nCheck the rights.\r\n"
              L"\r\nUser error code: 14\r\nLevel: error\r\n"
              L"\r\nSystem error code: 13\r\nSystem error message:\r\nPermission denied"
              L"\r\nModule: kx200maria64.so, version 20.0.10.0\r\nDetail: 14\r\n"
              L"Debug information:\r\nopen failed\r\n"
              L"Information items:\r\nEIT_LOGICALTABLENAME : <CUSTOMER>");

  // Without the title line, and only the parts asked for.
  EXPECT_DUMP(Dump(clErr, kOnlyPresent | kNoUserTitle | 0x80 | 0x8),
              L"Cannot open the table.\r\nCheck the rights.\r\n\r\nUser error code: 14\r\n");
  EXPECT_DUMP(Dump(clErr, 0x1 | 0x400), L"Module: kx200maria64.so, version 20.0.10.0\r\nDetail: 14\r\n");
  // Appending form: the dump goes after what the string holds.
  CTString clOut(L">");
  clErr.StringDump(&clOut, static_cast<XEI>(0x8));
  EXPECT_DUMP(std::wstring(clOut.pszGet()), L">User error code: 14\r\n");
}

TEST(errordump, AbsentPartsLeaveTheSeparatorAlone) {
  // The separator after the user message is still due after the absent
  // system error, so the module starts on a line of its own.
  _CXErrorModule76 clErr;
  clErr.AddUserMessageNoFormat(L"x");
  clErr.InitModInfo(&gstMyModuleInfo76, 1);
  EXPECT_DUMP(Dump(clErr, kOnlyPresent | kNoUserTitle | 0x80 | 0x20 | 0x40 | 0x1),
              L"x\r\n\r\nModule: kx200maria64.so, version 20.0.10.0\r\n");
  // A system code alone asks for the separator too.
  clErr.SetSystemError(5, L"");
  EXPECT_DUMP(Dump(clErr, kOnlyPresent | 0x20 | 0x40 | 0x1),
              L"System error code: 5\r\n\r\nModule: kx200maria64.so, version 20.0.10.0\r\n");
  // Not asked for: nothing, present or not.
  EXPECT_DUMP(Dump(clErr, kOnlyPresent), L"");
}

TEST(errordump, LevelCaptions) {
  const struct {
    std::uint32_t nLevel;
    const wchar_t* pszLine;
  } rows[] = {
      {2, L"Level: warning\r\n"},           {3, L"Level: error\r\n"},
      {0x40000004, L"Level: error\r\n"},    {0x40000008, L"Level: error\r\n"},
      {0x10001, L"Level: fatal error\r\n"}, {0x10006, L"Level: fatal error\r\n"},
      {0x20001, L"Level: fatal error\r\n"}, {0x10007, L"Level: 65543\r\n"},
      {0x20002, L"Level: 131074\r\n"},      {4, L"Level: 4\r\n"},
  };
  for (const auto& row : rows) {
    _CXErrorModule76 clErr;
    clErr.SetErrorLevel(static_cast<eERRORLEVEL>(row.nLevel));
    EXPECT_DUMP(Dump(clErr, kOnlyPresent | 0x4), row.pszLine) << row.nLevel;
  }
}

TEST(errordump, ContextLineWithAndWithoutLineNumber) {
  _CXErrorModule76 clErr;
  clErr.SetVMContext(L"Click on BTN_OK", L"FEN_Main", 65535, 3);
  clErr.SetFunctionName(L"HReadFirst", 2);
  EXPECT_DUMP(Dump(clErr, kOnlyPresent | 0x2 | 0x8),
              L"Context:\r\nTreatment Click on BTN_OK (FEN_Main), thread 3\r\n"
              L"Function HReadFirst, syntax 2\r\n\r\nUser error code: 0\r\n");

  _CXErrorModule76 clLine;
  clLine.SetVMContext(L"Init of PAGE", 12, 1);
  EXPECT_DUMP(Dump(clLine, 0x2), L"Context:\r\nTreatment Init of PAGE, line 12, thread 1\r\n");

  // A function name alone still makes the context part.
  _CXErrorModule76 clFunction;
  clFunction.SetFunctionName(L"HAdd", 0);
  EXPECT_DUMP(Dump(clFunction, 0x2), L"Context:\r\nFunction HAdd, syntax 0\r\n");
  // Without either, nothing, even without kOnlyPresent.
  _CXErrorModule76 clNone;
  EXPECT_DUMP(Dump(clNone, 0x2), L"");
}

TEST(errordump, SubErrorsAreNumberedAndNested) {
  _CXErrorModule76 clInner;
  clInner.AddUserMessageNoFormat(L"inner");
  clInner.SetErrorLevel(ERRORLEVEL_ERROR);
  _CXErrorModule76 clMiddle;
  clMiddle.AddUserMessageNoFormat(L"middle");
  clMiddle.SetErrorLevel(ERRORLEVEL_WARNING);
  clMiddle.AddSubErrorNoUserMessage(&clInner);
  _CXErrorModule76 clSecond;
  clSecond.AddUserMessageNoFormat(L"second");
  clSecond.SetErrorLevel(ERRORLEVEL_ERROR);
  _CXErrorModule76 clTop;
  clTop.AddUserMessageNoFormat(L"top");
  clTop.SetErrorLevel(ERRORLEVEL_ERROR);
  clTop.AddSubErrorNoUserMessage(&clMiddle);
  clTop.AddSubErrorNoUserMessage(&clSecond);

  const std::wstring sInner = L"inner\r\n\r\nLevel: error\r\n";
  const std::wstring sMiddle = L"middle\r\n\r\nLevel: warning\r\n" L"\r\n"
                               L"\r\n----- Sub-error 1 -----\r\n\r\n" + sInner + L"\r\n";
  const std::wstring sSecond = L"second\r\n\r\nLevel: error\r\n";
  EXPECT_DUMP(Dump(clTop, kOnlyPresent | kNoUserTitle | 0x80 | 0x4 | 0x800),
              L"top\r\n\r\nLevel: error\r\n" L"\r\n"
              L"\r\n----- Sub-error 1 -----\r\n\r\n" + sMiddle + L"\r\n" +
              L"\r\n----- Sub-error 2 -----\r\n\r\n" + sSecond + L"\r\n");
}

TEST(errordump, SubErrorsStartOnALineOfTheirOwnAfterTheModuleGroup) {
  _CXErrorModule76 clSub;
  clSub.AddDebugMessageNoFormat(L"inner trace");
  _CXErrorModule76 clErr;
  clErr.AddDebugMessageNoFormat(L"outer trace");
  clErr.AddSubErrorNoUserMessage(&clSub);
  EXPECT_DUMP(Dump(clErr, kOnlyPresent | 0x100 | 0x800),
              L"Debug information:\r\nouter trace\r\n" L"\r\n"
              L"\r\n----- Sub-error 1 -----\r\n\r\n"
              L"Debug information:\r\ninner trace\r\n" L"\r\n");
}

// ---------------------------------------------------------------------------
// Information items
// ---------------------------------------------------------------------------

class CCountedException : public IExceptionDotNet {
 public:
  void vQueryInterface() override {}
  void vReserved() override {}
  unsigned vnAddRef() override { return ++m_nRefs; }
  unsigned vnRelease() override { return --m_nRefs; }
  unsigned m_nRefs = 0;
};

std::wstring PointerText(const void* p) {
  char sz[64];
  std::snprintf(sz, sizeof sz, "%p", p);
  return std::wstring(sz, sz + std::char_traits<char>::length(sz));
}

TEST(errordump_items, EveryTypeHasItsLine) {
  CKXUnknown* pclAccess = new CKXUnknown;
  pclAccess->dwAddRef();
  CCountedException clException;
  const std::int64_t llRecNum = -5000000000;
  const std::int64_t llLockTime = 1234567890123;
  const std::int32_t nBase = -7;
  const std::int32_t nNative = 1146;
  const std::int32_t nAdo = 0;
  const std::int32_t nXInfo = 0x21;
  const std::int32_t nCnxId = 99;
  int nPlain = 0;
  {
    _CXErrorModule76 clErr;
    const struct {
      eERRORINFOTYPE eType;
      const void* pValue;
      std::wstring sLine;  // empty: no line
    } items[] = {
        {EIT_SRCFILE, L"a.fic", L"EIT_SRCFILE : <a.fic>"},
        {EIT_DSTFILE, L"b.fic", L"EIT_DSTFILE : <b.fic>"},
        {EIT_USERNAME, L"admin", L"EIT_USERNAME : <admin>"},
        {EIT_HELPFILE, L"h.chm", L"EIT_HELPFILE : <h.chm>"},
        {EIT_PATHKXD, L"/a/b.kxd", L"EIT_PATHKXD : </a/b.kxd>"},
        {EIT_LOGICALTABLENAME, L"CUSTOMER", L"EIT_LOGICALTABLENAME : <CUSTOMER>"},
        {EIT_ITEMNAME, L"NAME", L"EIT_ITEMNAME : <NAME>"},
        {EIT_PATHFIC, L"c.fic", L"EIT_PATHFIC : <c.fic>"},
        {EIT_PATHNDX, L"c.ndx", L"EIT_PATHNDX : <c.ndx>"},
        {EIT_PATHMMO, L"c.mmo", L"EIT_PATHMMO : <c.mmo>"},
        {EIT_LINKNAME, L"L1", L"EIT_LINKNAME : <L1>"},
        {EIT_RECNUM, &llRecNum, L"EIT_RECNUM : <-5000000000>"},
        {EIT_ODBCCODE, L"42S02", L"EIT_ODBCCODE : <42S02>"},
        {EIT_ODBCDESCRIPTION, L"no table", L"EIT_ODBCDESCRIPTION : <no table>"},
        {EIT_BASECODE, &nBase, L"EIT_BASECODE : <-7>"},
        {EIT_NATIVECODE, &nNative, L"EIT_NATIVECODE : <1146>"},
        {EIT_ADOCODE, &nAdo, L"EIT_ADOCODE : <0>"},
        {EIT_BASEMESSAGE, L"base msg", L"EIT_BASEMESSAGE : <base msg>"},
        {EIT_NATIVEMESSAGE, L"Table 'x' doesn't exist", L"EIT_NATIVEMESSAGE : <Table 'x' doesn't exist>"},
        {EIT_ADOMESSAGE, L"ado", L"EIT_ADOMESSAGE : <ado>"},
        {EIT_DATAACCESS, pclAccess, L"EIT_DATAACCESS : <" + PointerText(pclAccess) + L">"},
        {EIT_INFOCLIENT, L"client 3.3", L"EIT_INFOCLIENT : <client 3.3>"},
        {EIT_INFOSERVEUR, L"server 10.11", L"EIT_INFOSERVEUR : <server 10.11>"},
        {EIT_PILETN, L"PROC1\r\nPROC2", L"EIT_PILETN :\r\nPROC1\r\nPROC2"},
        {EIT_DATEHEURE, L"20240101120000000", L"EIT_DATEHEURE : 20240101120000000"},
        {EIT_LOCKINFO, L"locked by 3", L"EIT_LOCKINFO : locked by 3"},
        {EIT_CORRIGE_ETAT, L"fixed", L"EIT_CORRIGE_ETAT : fixed"},
        {EIT_INFOCS, L"cs", L"EIT_INFOCS : <cs>"},
        {EIT_PLAINPOINTER, &nPlain, L""},
        {EIT_XINFO, &nXInfo, L"EIT_XINFO : <33>"},
        {EIT_COMPOSANT, L"kx200maria64", L"EIT_COMPOSANT :\r\nkx200maria64"},
        {EIT_SERVEURCS, L"srv", L"EIT_SERVEURCS : <srv>"},
        {EIT_PILEC, L"f()\r\ng()", L"EIT_PILEC :\r\nf()\r\ng()"},
        {EIT_HLOCKTIME, &llLockTime, L"EIT_HLOCKTIME : <1234567890123>"},
        {EIT_HCNXID, &nCnxId, L"EIT_HCNXID : <99>"},
        {EIT_EXCEPTIONDOTNET, &clException, L"EIT_EXCEPTIONDOTNET"},
        {EIT_POSITION_ERREUR, L"12:4", L"EIT_POSITION_ERREUR : <12:4>"},
    };
    std::wstring sExpected = L"Information items:";
    for (const auto& item : items) {
      clErr.AddInfo(item.eType, item.pValue);
      if (!item.sLine.empty()) sExpected += L"\r\n" + item.sLine;
    }
    EXPECT_DUMP(Dump(clErr, kOnlyPresent | 0x200), sExpected);
  }
  EXPECT_EQ(clException.m_nRefs, 0u);
  EXPECT_EQ(pclAccess->dwRelease(), 0u);
}

TEST(errordump_items, EmptyStringGivesNoLineUnlessForced) {
  _CXErrorModule76 clErr;
  clErr.AddInfo(EIT_ITEMNAME, L"");
  clErr.AddInfo(EIT_LINKNAME, L"L1");
  ASSERT_EQ(clErr.nNumInfo(), 2);
  EXPECT_DUMP(Dump(clErr, kOnlyPresent | 0x200), L"Information items:\r\nEIT_LINKNAME : <L1>");

  CTString clOut(L"[");
  clErr.DumpInfo(EIT_ITEMNAME, L"", &clOut);
  clErr.DumpInfo(EIT_ITEMNAME, nullptr, &clOut);
  clOut.Add(L"]");
  EXPECT_DUMP(std::wstring(clOut.pszGet()), L"[EIT_ITEMNAME : <>EIT_ITEMNAME : <>]");

  CTString clLine(L"old");
  clErr.__DumpInfo(EIT_ITEMNAME, L"", clLine, 0);
  EXPECT_DUMP(std::wstring(clLine.pszGet()), L"") << "the line is emptied first";
}

TEST(errordump_items, ValueFormsAndTypesWithoutLine) {
  _CXErrorModule76 clErr;
  CTString clLine;
  // 32-bit types take the integer itself in the pointer.
  clErr.__DumpInfo(EIT_NATIVECODE, reinterpret_cast<const void*>(static_cast<std::intptr_t>(-1)),
                   clLine, 0);
  EXPECT_DUMP(std::wstring(clLine.pszGet()), L"EIT_NATIVECODE : <-1>");
  // 64-bit types take a pointer to the integer; null gives nothing to read.
  const std::int64_t ll = INT64_MIN;
  clErr.__DumpInfo(EIT_RECNUM, &ll, clLine, 0);
  EXPECT_DUMP(std::wstring(clLine.pszGet()), L"EIT_RECNUM : <-9223372036854775808>");
  clErr.__DumpInfo(EIT_HLOCKTIME, nullptr, clLine, 1);
  EXPECT_DUMP(std::wstring(clLine.pszGet()), L"");
  for (std::uint32_t nType : {0u, 29u, 34u, 35u, 40u, 1000u}) {
    clLine.Set(L"old");
    clErr.__DumpInfo(static_cast<eERRORINFOTYPE>(nType), L"text", clLine, 1);
    EXPECT_EQ(clLine.nTaille(), 0) << nType;
  }
  // Non-ASCII text passes through unchanged.
  clErr.__DumpInfo(EIT_ITEMNAME, L"Pr\u00e9nom \u4e2d", clLine, 0);
  EXPECT_EQ(std::wstring(clLine.pszGet()), L"EIT_ITEMNAME : <Pr\u00e9nom \u4e2d>");
}

// ---------------------------------------------------------------------------
// Internal-error report
// ---------------------------------------------------------------------------

TEST(errordump_internal, ReportCarriesCodeNamesAndLocation) {
  const _CXErrorModule76 clReport = clInternalError(101, 20, L"CUSTOMER", L"NAME", 60, 5, 6);

  // The user error as SetUserError makes it from the same arguments.
  _CXErrorModule76 clExpected;
  clExpected.SetUserError(&gstMyModuleInfo76, 60, 5, 6);
  EXPECT_EQ(clReport.nGetUserErrorCode(), 60u);
  EXPECT_EQ(clReport.eGetErrorLevel(), clExpected.eGetErrorLevel());
  EXPECT_STREQ(clReport.pszGetUserMessage(), clExpected.pszGetUserMessage());
  EXPECT_EQ(clReport.nGetInternalModuleId(), 76u);

  void* pValue = nullptr;
  ASSERT_TRUE(clReport.bGetInfo(EIT_LOGICALTABLENAME, &pValue));
  EXPECT_STREQ(static_cast<const wchar_t*>(pValue), L"CUSTOMER");
  ASSERT_TRUE(clReport.bGetInfo(EIT_ITEMNAME, &pValue));
  EXPECT_STREQ(static_cast<const wchar_t*>(pValue), L"NAME");
  pValue = nullptr;
  ASSERT_TRUE(clReport.bGetInfo(EIT_NATIVECODE, &pValue));
  std::int32_t nCode = 0;
  std::memcpy(&nCode, &pValue, sizeof nCode);
  EXPECT_EQ(nCode, 60);

  // The location line, after whatever the user error put there.
  const std::wstring sDebug = clReport.pszGetDebugMessage();
  const std::wstring sLocation = L"IEKXMARIA=101.20\r\nModule=<KXMARIA>\r\nVersion=<20.0.10.0>";
  ASSERT_GE(sDebug.size(), sLocation.size());
  EXPECT_EQ(sDebug.substr(sDebug.size() - sLocation.size()), sLocation);
  EXPECT_STREQ(clExpected.pszGetDebugMessage(), L"") << "the text of user error 60 loads";
  EXPECT_EQ(sDebug, sLocation);
}

TEST(errordump_internal, NamesFollowTheTableName) {
  const struct {
    const wchar_t* pszTable;
    const wchar_t* pszItem;
    bool bTable;
    bool bItem;
  } rows[] = {
      {L"T", L"I", true, true},  {L"T", nullptr, true, false}, {L"T", L"", true, false},
      {nullptr, L"I", false, false}, {L"", L"I", false, false},
  };
  for (const auto& row : rows) {
    const _CXErrorModule76 clReport = clInternalError(2, 1, row.pszTable, row.pszItem, 61, 1, 2);
    EXPECT_EQ(clReport.bHasInfo(EIT_LOGICALTABLENAME), row.bTable);
    EXPECT_EQ(clReport.bHasInfo(EIT_ITEMNAME), row.bItem);
    EXPECT_TRUE(clReport.bHasInfo(EIT_NATIVECODE));
  }
  // The helpers take a null error.
  AddInfoNames(nullptr, L"T", L"I");
  AddInternalErrorLocation(nullptr, 1, 2);
}

}  // namespace
