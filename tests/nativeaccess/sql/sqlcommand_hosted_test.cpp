// The command builder: the formatted text (space rule, parameters at one
// position, bAdd, cuts, Insert, Replace, edits after a build), failing
// literals, UTF-8 positions and byte-exact binaries, the row limit, LIKE
// parameters and their ESCAPE clause, the dump, bind-variable refresh and
// the small tables (conversion set, query type, LIKE escaping for the
// native engine). Values are written by the connection's own literal
// writer; conversions go through the stand-in runtime.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <unistd.h>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAParameter.h"
#include "CTStringConcatAW.h"
#include "CXYString.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/FakeQueryParameters.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"

namespace {

using kxtest::FakeQueryParameters;
using kxtest::TestConnection;
using kxtest::TestDriver;

// A connection whose literal writer fails on its n-th call (0: never), and
// that escapes backslashes in strings when asked (the server's default
// mode; the base writer doubles quotes only, as under
// NO_BACKSLASH_ESCAPES).
class ScriptedConnection : public TestConnection {
 public:
  int bConvertValueToString(CNAError* error, CTStringConcatAW* out, const CAny* value, eNA_ITEMTYPE itemType,
                            eNA_ITEMTYPE dbType) override {
    ++nCalls;
    if (nFailAt != 0 && nCalls == nFailAt) {
      if (error != nullptr) error->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    return TestConnection::bConvertValueToString(error, out, value, itemType, dbType);
  }
  int _bEscapeString(CNAError* error, CTStringConcatAW* out, unsigned short type, unsigned char* data,
                     unsigned long size) override {
    if (!bBackslashEscapes || (type != ANY_DSTRW && type != ANY_PSTRW)) {
      return TestConnection::_bEscapeString(error, out, type, data, size);
    }
    std::wstring s(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
    std::wstring sOut = L"'";
    for (wchar_t c : s) {
      if (c == 0) break;
      if (c == L'\\' || c == L'\'') sOut += L'\\';
      sOut += c;
    }
    sOut += L"'";
    out->Add(sOut.c_str(), static_cast<long>(sOut.size()));
    return 1;
  }
  int nCalls = 0;
  int nFailAt = 0;
  bool bBackslashEscapes = false;
};

class sqlcommand : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    m_pclDriver = new TestDriver();
    ASSERT_EQ(1, m_pclDriver->bInitDriver());
    m_pclCnx = new ScriptedConnection();
    m_pclCnx->AddRef();
    m_pclCnx->m_nDataBaseCodePage = 65001;
    m_pclCnx->m_nApplicationCodePage = 1252;
    m_pclError = new CNAError();
    m_pclError->AddRef();
  }
  void TearDown() override {
    for (CNACommand* p : m_apCommands) p->nRelease();
    m_apCommands.clear();
    m_pclError->nRelease();
    m_pclCnx->nRelease();
    delete m_pclDriver;
    BoundRuntimeTest::TearDown();
  }

  CNACommand* New() {
    CNACommand* p = m_pclDriver->pclAllocCommand(m_pclError, m_pclCnx);
    p->AddRef();
    m_apCommands.push_back(p);
    return p;
  }
  // A value holder of that type.
  CNAConvertVariant* Variant(unsigned short type = ANY_DSTRW) {
    CNAConvertVariant* v = m_pclDriver->pclAllocVariant(m_pclError, m_pclCnx);
    v->AddRef();
    v->InitTypeVariantAny(type);
    return v;
  }
  // A wide-text parameter at the end of the raw text.
  void Text(CNACommand* c, const wchar_t* psz, unsigned int options = 0, wchar_t escape = 0) {
    CNAConvertVariant* v = Variant();
    v->bSetValue(psz, static_cast<unsigned long>(std::wcslen(psz)));
    ASSERT_TRUE(c->bAddParameter(v, -1, options, nullptr, nullptr, escape, CNAParameter::NAPARAM_IN));
    v->nRelease();
  }
  void Int(CNACommand* c, int n) {
    CNAConvertVariant* v = Variant(ANY_I4);
    v->bSetValue(n);
    ASSERT_TRUE(c->bAddParameter(v, -1, 0, nullptr, nullptr, 0, CNAParameter::NAPARAM_IN));
    v->nRelease();
  }
  static std::wstring F(CNACommand* c) {
    const wchar_t* psz = c->pszGetFormatedSQL(PARAMTYPECONV_ALL);
    return psz != nullptr ? psz : L"<null>" + std::wstring(c->pclGetError()->pszGetError());
  }

  TestDriver* m_pclDriver = nullptr;
  ScriptedConnection* m_pclCnx = nullptr;
  CNAError* m_pclError = nullptr;
  std::vector<CNACommand*> m_apCommands;
};

// Each case builds a command and names the formatted text it must give.
TEST_F(sqlcommand, FormattedTextTable) {
  struct Case {
    const char* pszName;
    std::function<void(CNACommand*)> fnBuild;
    const wchar_t* pszExpected;
  };
  const std::vector<Case> aCases = {
      {"no parameter", [](CNACommand* c) { c->bComplete(L"SELECT a FROM t"); }, L"SELECT a FROM t"},
      {"space rule",
       [&](CNACommand* c) {
         c->bComplete(L"a=");
         Text(c, L"x");
         c->bComplete(L"AND b=");
         Text(c, L"y");
         c->bComplete(L" OR c");
       },
       L"a='x' AND b='y' OR c"},
      {"two parameters at one position",
       [&](CNACommand* c) {
         c->bComplete(L"IN(");
         Text(c, L"a");
         Text(c, L"b");
         c->bComplete(L")");
       },
       L"IN('a' 'b' )"},
      {"Tronque before a parameter drops it and later ones",
       [&](CNACommand* c) {
         c->bComplete(L"a=");
         Text(c, L"x");
         c->bComplete(L" AND b=");
         Text(c, L"y");
         c->Tronque(5);
       },
       L"a='x' AN"},
      {"Tronque exactly at a parameter drops it",
       [&](CNACommand* c) {
         c->bComplete(L"a=");
         Text(c, L"x");
         c->Tronque(2);
       },
       L"a="},
      {"mark cut keeps a parameter at the cut",
       [&](CNACommand* c) {
         c->bComplete(L"a=");
         Text(c, L"x");
         const CNACommand::stMark st = c->stGetMark();
         c->bComplete(L" AND b=");
         Text(c, L"y");
         c->CutToMark(st);
       },
       L"a='x'"},
      {"mark formed from a position found later",
       [&](CNACommand* c) {
         c->bComplete(L"a=");
         Text(c, L"x");
         c->bComplete(L" AND b=");
         Text(c, L"y");
         c->CutToMark(c->stGetMarkAt(2));
       },
       L"a='x'"},
      {"Insert at a parameter moves it",
       [&](CNACommand* c) {
         c->bComplete(L"a=");
         Text(c, L"x");
         c->Insert(2, L" ");
         c->Insert(0, L"WHERE ");
       },
       L"WHERE a= 'x'"},
      {"Replace shorter",
       [&](CNACommand* c) {
         c->bComplete(L"abc=");
         Text(c, L"x");
         c->bComplete(L" AND d=");
         Text(c, L"y");
         c->Replace(0, 3, L"a");
       },
       L"a='x' AND d='y'"},
      {"Replace of equal length keeps every position",
       [&](CNACommand* c) {
         c->bComplete(L"abc=");
         Text(c, L"x");
         c->bComplete(L" AND d=");
         Text(c, L"y");
         c->Replace(5, 3, L"XOR");
       },
       L"abc='x' XOR d='y'"},
      {"Replace longer; a parameter at the span's start stays",
       [&](CNACommand* c) {
         c->bComplete(L"a=");
         Text(c, L"x");
         c->bComplete(L" AND b=");
         Text(c, L"y");
         c->Replace(2, 4, L" OR NOT");
       },
       L"a='x' OR NOT b='y'"},
      {"Replace over a parameter releases it",
       [&](CNACommand* c) {
         c->bComplete(L"a=");
         Text(c, L"x");
         c->bComplete(L"+1 AND b=");
         Text(c, L"y");
         c->Replace(1, 7, L"<>0 OR");
       },
       L"a<>0 OR b='y'"},
      {"empty span is an Insert",
       [&](CNACommand* c) {
         c->bComplete(L"a=");
         Text(c, L"x");
         c->Replace(2, 0, L"-");
       },
       L"a=-'x'"},
  };
  for (const Case& c : aCases) {
    CNACommand* p = New();
    c.fnBuild(p);
    EXPECT_EQ(std::wstring(c.pszExpected), F(p)) << c.pszName;
  }
}

TEST_F(sqlcommand, AddMovesParametersByTheTextBefore) {
  for (const eADDMMODE eMode : {ADDMODE_SHARE, ADDMODE_CLONE}) {
    CNACommand* pBase = New();
    pBase->bComplete(L"0123456789");
    CNACommand* pOther = New();
    pOther->bComplete(L"abc");
    Text(pOther, L"v");
    CNAParameter* pclOriginal = pOther->pclGetParameterNoRef(0);
    ASSERT_TRUE(pBase->bAdd(pOther, eMode));
    ASSERT_EQ(1, pBase->nGetParameterNbr());
    EXPECT_EQ(13u, pBase->pclGetParameterNoRef(0)->nGetPosition());
    EXPECT_EQ(L"0123456789abc'v'", F(pBase));
    // Shared: the other command's own parameter moved; a clone leaves it.
    EXPECT_EQ(eMode == ADDMODE_SHARE ? 13u : 3u, pclOriginal->nGetPosition());
    EXPECT_EQ(eMode == ADDMODE_SHARE, pBase->pclGetParameterNoRef(0) == pclOriginal);
  }
}

TEST_F(sqlcommand, ChangesAfterABuildDropTheBuiltText) {
  const std::vector<std::pair<const char*, std::function<void(CNACommand*)>>> aEdits = {
      {"bComplete", [](CNACommand* c) { c->bComplete(L" X"); }},
      {"number", [](CNACommand* c) { c->bCompleteWithNumber(7); }},
      {"parameter", [&](CNACommand* c) { Text(c, L"z"); }},
      {"Insert", [](CNACommand* c) { c->Insert(0, L"/**/"); }},
      {"Replace", [](CNACommand* c) { c->Replace(0, 1, L"b"); }},
      {"Tronque", [](CNACommand* c) { c->Tronque(3); }},
      {"record limit", [](CNACommand* c) { c->SetRecordLimit(3); }},
      {"returning", [](CNACommand* c) { c->bAddReturning(L"id"); }},
  };
  for (const auto& e : aEdits) {
    CNACommand* p = New();
    p->bComplete(L"SELECT a=");
    Text(p, L"x");
    const std::wstring sBefore = F(p);
    e.second(p);
    EXPECT_NE(sBefore, F(p)) << e.first;
  }
  // Pass-through: a built text is extended, not rebuilt.
  CNACommand* p = New();
  p->SetPassThrough(1);
  p->bComplete(L"SELECT 1");
  EXPECT_EQ(L"SELECT 1", F(p));
  p->bComplete(L" + 1");
  EXPECT_EQ(L"SELECT 1 + 1", F(p));
}

TEST_F(sqlcommand, FailingLiteralGivesNoTextUntilItSucceeds) {
  CNACommand* p = New();
  p->bComplete(L"INSERT INTO t VALUES(");
  Text(p, L"a");
  p->bComplete(L",");
  Text(p, L"b");
  p->bComplete(L",");
  Text(p, L"c");
  p->bComplete(L")");
  m_pclCnx->nFailAt = 2;
  EXPECT_EQ(nullptr, p->pszGetFormatedSQLA(PARAMTYPECONV_ALL));
  EXPECT_NE(1, static_cast<int>(m_pclError->pclGetXError()->eGetErrorLevel())) << "the cause is in the error";
  // Each request builds again: it fails again on its own n-th literal.
  m_pclCnx->nCalls = 0;
  EXPECT_EQ(nullptr, p->pszGetFormatedSQL(PARAMTYPECONV_ALL));
  m_pclCnx->nCalls = 0;
  EXPECT_EQ(nullptr, p->pclGetFormatedSQL(PARAMTYPECONV_ALL));
  m_pclCnx->nFailAt = 0;
  EXPECT_EQ(L"INSERT INTO t VALUES('a' ,'b' ,'c' )", F(p));
}

TEST_F(sqlcommand, Utf8PositionsAndByteExactBinaries) {
  CNACommand* p = New();
  p->bComplete(L"UPDATE `Soci\u00e9t\u00e9` SET `n\u00e9`=");
  Text(p, L"\u00e9\u20ac");
  p->bComplete(L" WHERE \u20ac=");
  Int(p, 42);
  EXPECT_EQ(std::string("UPDATE `Soci\xC3\xA9t\xC3\xA9` SET `n\xC3\xA9`='\xC3\xA9\xE2\x82\xAC' WHERE \xE2\x82\xAC=42"),
            std::string(p->pszGetFormatedSQLA(PARAMTYPECONV_ALL)));

  m_pclCnx->m_csBinaryPrefix.Set(L"X'");
  m_pclCnx->m_csBinarySuffix.Set(L"'");
  unsigned char ab[256];
  for (int i = 0; i < 256; ++i) ab[i] = static_cast<unsigned char>(i);
  CNACommand* pBin = New();
  pBin->bComplete(L"INSERT INTO `d\u00e9` VALUES(");
  CNAConvertVariant* v = Variant(ANY_BIN);
  v->bSetValue(ab, 256ul);
  ASSERT_TRUE(pBin->bAddParameter(v, -1, 0, nullptr, nullptr, 0, CNAParameter::NAPARAM_IN));
  pBin->bComplete(L")");
  CAny clValue;
  v->bGetValue(&clValue);
  CTStringConcatAW clWriter(65001, 1252, 16);
  ASSERT_TRUE(m_pclCnx->bConvertValueToString(nullptr, &clWriter, &clValue, NA_IT_EMPTY, NA_IT_EMPTY));
  v->nRelease();
  EXPECT_EQ("INSERT INTO `d\xC3\xA9` VALUES(" + std::string(clWriter.pszGetA()) + " )",
            std::string(pBin->pszGetFormatedSQLA(PARAMTYPECONV_ALL)));
}

TEST_F(sqlcommand, RowLimitTable) {
  struct Case {
    const wchar_t* pszRaw;
    std::int64_t llLimit;
    std::int64_t llOffset;
    int bPassThrough;
    const wchar_t* pszExpected;
  };
  const Case aCases[] = {
      {L"SELECT TOP 10 a FROM t", -1, -1, 0, L"SELECT  a FROM t LIMIT 10"},
      {L"SELECT a FROM t", 20, 5, 0, L"SELECT a FROM t LIMIT 5, 20"},
      {L"SELECT a FROM t", 20, 0, 0, L"SELECT a FROM t LIMIT 20"},
      {L"SELECT a FROM t", 20, -1, 0, L"SELECT a FROM t LIMIT 20"},
      {L"SELECT a FROM t", 0, -1, 0, L"SELECT a FROM t"},
      {L"SELECT a FROM t", -1, -1, 0, L"SELECT a FROM t"},
      {L"SELECT a FROM t LIMIT 0  ", 20, -1, 0, L"SELECT a FROM t LIMIT 0  "},
      {L"SELECT a FROM t LIMIT 0;", 20, -1, 0, L"SELECT a FROM t LIMIT 0;"},
      {L"SELECT a FROM t ;  ", 20, -1, 0, L"SELECT a FROM t LIMIT 20 ;  "},
      {L"SELECT a FROM t -- note", 20, -1, 0, L"SELECT a FROM t -- note\n LIMIT 20"},
      {L"SELECT a FROM t WHERE b='-- x'", 20, -1, 0, L"SELECT a FROM t WHERE b='-- x' LIMIT 20"},
      // A literal ending in a backslash (as written under NO_BACKSLASH_ESCAPES)
      // before a comment: the clause goes on a line of its own.
      {L"SELECT a FROM t WHERE b='x\\' -- note", 20, -1, 0, L"SELECT a FROM t WHERE b='x\\' -- note\n LIMIT 20"},
      {L"SELECT a FROM t WHERE b='x\\'' -- y'", 20, -1, 0, L"SELECT a FROM t WHERE b='x\\'' -- y'\n LIMIT 20"},
      {L"SELECT a FROM t", 20, -1, 1, L"SELECT a FROM t"},
      {L" SELECT a FROM t", 20, -1, 0, L" SELECT a FROM t"},
      {L"UPDATE t SET a=1", 20, -1, 0, L"UPDATE t SET a=1"},
      {L"SELECT TOP 99999999999999999999 a FROM t", -1, -1, 0, L"SELECT TOP 99999999999999999999 a FROM t"},
      {L"SELECT a FROM t", 5000000000LL, -1, 0, L"SELECT a FROM t LIMIT 5000000000"},
  };
  for (const Case& c : aCases) {
    CNACommand* p = New();
    p->SetPassThrough(c.bPassThrough);
    p->bComplete(c.pszRaw);
    p->SetRecordLimit(c.llLimit);
    p->SetLimitOffset(c.llOffset);
    EXPECT_EQ(std::wstring(c.pszExpected), F(p)) << c.pszRaw << " / " << c.llLimit;
  }
  CNACommand* p = New();
  p->bComplete(L"SELECT TOP 10 a FROM t");
  p->SetRecordLimit(50);
  F(p);
  EXPECT_EQ(-1, p->llGetRecordLimit()) << "TOP clears the record limit";
}

TEST_F(sqlcommand, LikeValuesAndTheirEscapeClause) {
  struct Case {
    const char* pszName;
    bool bBackslashEscapes;
    const wchar_t* pszValue;
    wchar_t cEscape;
    const wchar_t* pszAfter;
    const wchar_t* pszExpected;
  };
  const Case aCases[] = {
      // No backslash escapes: a backslash needs its ESCAPE clause.
      {"backslash, plain quotes", false, L"a\\%%", 0, L"", L"a LIKE 'a\\%%' ESCAPE '\\'"},
      {"backslash, server escapes", true, L"a\\%%", 0, L"", L"a LIKE 'a\\\\%%'"},
      {"no escape in value", false, L"ab%", 0, L"", L"a LIKE 'ab%'"},
      {"bang", false, L"a!%%", L'!', L"", L"a LIKE 'a!%%' ESCAPE '!'"},
      {"quote as escape", false, L"a'''%%", L'\'', L"", L"a LIKE 'a''''%%' ESCAPE ''''"},
      {"quote as escape, server escapes", true, L"a'''%%", L'\'', L"", L"a LIKE 'a\\'\\'%%' ESCAPE '\\''"},
      {"raw escape clause follows", false, L"a!%%", L'!', L" escape '!'", L"a LIKE 'a!%%' escape '!'"},
      {"doubled quotes undone", false, L"it''s%", L'!', L"", L"a LIKE 'it''s%'"},
      {"lone escape doubled", false, L"a!b%", L'!', L"", L"a LIKE 'a!!b%' ESCAPE '!'"},
  };
  for (const Case& c : aCases) {
    m_pclCnx->bBackslashEscapes = c.bBackslashEscapes;
    CNACommand* p = New();
    p->bComplete(L"a LIKE ");
    Text(p, c.pszValue, CNAParameter::knOptionLike, c.cEscape);
    p->bComplete(c.pszAfter);
    std::wstring s = F(p);
    while (!s.empty() && s.back() == L' ') s.pop_back();
    EXPECT_EQ(std::wstring(c.pszExpected), s) << c.pszName;
  }
  m_pclCnx->bBackslashEscapes = false;
}

TEST_F(sqlcommand, DumpListsTextAndParameters) {
  CNACommand* p = New();
  p->bComplete(L"SELECT 1");
  std::wstring s = p->pszGetCommandDump();
  EXPECT_EQ(2, std::count(s.begin(), s.end(), L'\n')) << "no parameter: two lines";
  EXPECT_NE(std::wstring::npos, s.find(L"SELECT 1\r\n"));
  EXPECT_NE(std::wstring::npos, s.find(L"=0\r\n"));

  p->bComplete(L" WHERE a=");
  Text(p, L"hello");
  CNAConvertVariant* v = Variant();
  v->bSetValue(L"x", 1ul);
  v->SetNull();
  p->bAddParameter(v, -1, 0, nullptr, nullptr, 0, CNAParameter::NAPARAM_IN);
  p->bAddParameter(v, -1, CNAParameter::knOptionCursor, nullptr, nullptr, 0, CNAParameter::NAPARAM_IN);
  v->nRelease();
  s = p->pszGetCommandDump();
  EXPECT_NE(std::wstring::npos, s.find(L"=3\r\n")) << "the dump follows an added parameter";
  EXPECT_NE(std::wstring::npos, s.find(L" = <hello>\r\n"));
  EXPECT_NE(std::wstring::npos, s.find(L" = <cursor parameter>\r\n"));
  EXPECT_EQ(5, std::count(s.begin(), s.end(), L'\n'));
  const std::wstring sFailed = m_pclDriver->csGetCaption(CNADriver::DUMPCAPTION_CONVERSIONFAILED).pszGet();
  EXPECT_NE(std::wstring::npos, s.find(L"<" + sFailed + L">")) << "NULL has no text";

  // Without a driver: the captions are loaded for the dump only, and no
  // parameter can be made.
  CNACommand* pFree = pclAllocCommand(m_pclError, m_pclCnx);
  pFree->AddRef();
  pFree->bComplete(L"SELECT 2");
  CNAConvertVariant* w = Variant();
  EXPECT_FALSE(pFree->bAddParameter(w, -1, 0, nullptr, nullptr, 0, CNAParameter::NAPARAM_IN));
  w->nRelease();
  EXPECT_EQ(0, pFree->nGetParameterNbr());
  s = pFree->pszGetCommandDump();
  EXPECT_NE(std::wstring::npos, s.find(L"SELECT 2\r\n"));
  pFree->nRelease();
}

TEST_F(sqlcommand, BindVariablesAreRefreshed) {
  FakeQueryParameters clValues;
  clValues.SetText(L"name", L"new");
  CNACommand* p = New();
  p->SetQueryParametersValue(&clValues);
  p->bComplete(L"a=");
  CNAConvertVariant* v = Variant();
  v->bSetValue(L"old", 3ul);
  p->bAddParameter(v, -1, CNAParameter::knOptionBindVariable, nullptr, L"NAME", 0, CNAParameter::NAPARAM_IN);
  p->bAddParameter(v, -1, CNAParameter::knOptionBindVariable, nullptr, L"unknown", 0, CNAParameter::NAPARAM_IN);
  EXPECT_EQ(L"a='new' 'new'", F(p)) << "the shared value was refreshed; an unknown name keeps its value";
  EXPECT_EQ(p->pclGetParameterNoRef(0), p->pclGetParameterByNameNoRef(L"name"));
  EXPECT_EQ(0, p->nGetUserParamIndice(p->pclGetParameterNoRef(1)));
  // A marked parameter only raises the variant's refresh flag.
  p->pclGetParameterNoRef(0)->SetValueMark(1);
  v->SetRefreshed(0);
  EXPECT_EQ(1, p->bUpdateParametersValues());
  EXPECT_EQ(1, v->bGetRefreshed());
  v->nRelease();
}

TEST_F(sqlcommand, ParameterPastTheEndAfterResetReadsNothing) {
  CNACommand* p = New();
  p->bComplete(L"SELECT a FROM t WHERE b=");
  Text(p, L"x");
  p->ResetCommand(1);
  p->bComplete(L"SELECT ");
  EXPECT_EQ(L"SELECT 'x'", F(p));
}

TEST_F(sqlcommand, ConversionSetAnswers) {
  struct Case {
    unsigned short wType;
    std::function<void(CNAConvertVariant*)> fnSet;
    std::uint32_t nSet;
    int bExpected;
  };
  const Case aCases[] = {
      {ANY_I4, [](CNAConvertVariant* v) { v->bSetValue(5); }, 0, 0},
      {ANY_I4, [](CNAConvertVariant* v) { v->bSetValue(5); }, PARAMTYPECONV_INTEGER, 1},
      {ANY_I4, [](CNAConvertVariant* v) { v->bSetValue(5); }, PARAMTYPECONV_TEXT, 0},
      {ANY_DSTRW, [](CNAConvertVariant* v) { v->bSetValue(L"ab", 2ul); }, PARAMTYPECONV_INTEGER, 0},
      {ANY_DSTRW, [](CNAConvertVariant* v) { v->bSetValue(L"", 0ul); }, PARAMTYPECONV_INTEGER, 1},
      {ANY_DSTRW, [](CNAConvertVariant* v) { v->bSetValue(L"ab", 2ul); }, PARAMTYPECONV_TEXT, 1},
      {ANY_R8, [](CNAConvertVariant* v) { v->bSetValue(2.5); }, PARAMTYPECONV_REAL, 1},
      {ANY_R8, [](CNAConvertVariant* v) { v->bSetValue(2.5); }, PARAMTYPECONV_DATE, 0},
      {ANY_BOOL, [](CNAConvertVariant* v) { v->bSetValue(true); }, PARAMTYPECONV_BOOLEAN, 1},
      {ANY_BOOL, [](CNAConvertVariant* v) { v->bSetValue(true); }, PARAMTYPECONV_INTEGER, 0},
      {ANY_EMPTY, [](CNAConvertVariant*) {}, PARAMTYPECONV_INTEGER, 1},  // class 0: always
  };
  int i = 0;
  for (const Case& c : aCases) {
    CNAConvertVariant* v = Variant(c.wType);
    c.fnSet(v);
    EXPECT_EQ(c.bExpected,
              CNACommand::_bNeedParameterConversionToString(v, static_cast<ePARAMTYPECONV>(c.nSet)))
        << "case " << i;
    v->nRelease();
    ++i;
  }
}

TEST_F(sqlcommand, QueryTypeTable) {
  const int aExpected[] = {8, 1, 1, 2, 3, 4, 6, 9, 8};
  for (int n = 0; n <= 8; ++n) {
    CNACommand* p = New();
    p->SetQueryType(static_cast<eTYPEREQUETE>(n));
    EXPECT_EQ(aExpected[n], p->nGetQueryType()) << n;
  }
  const int aConvert[] = {8, 1, 1, 2, 3, 4, 8, 8};
  for (int n = 0; n <= 7; ++n) EXPECT_EQ(aConvert[n], CNACommand::eConvertTypeQuery(static_cast<eTYPEREQUETE>(n))) << n;
  CNACommand* p = New();
  p->SetPassThrough(1);
  p->bComplete(L"SET NAMES utf8mb4");
  p->_SetSQLParserInfo(nullptr);
  EXPECT_EQ(10, p->nGetQueryType());
  // Without pass-through an unset type comes from the parsed query's kind;
  // a type already set stays.
  auto* pclParsed = new CSQLParserInfo;
  pclParsed->AddRef();
  pclParsed->SetQueryKind(TYPEREQUETE_UPDATE);
  CNACommand* pclUnset = New();
  pclUnset->_SetSQLParserInfo(pclParsed);
  EXPECT_EQ(CNACommand::QUERY_UPDATE, pclUnset->nGetQueryType());
  CNACommand* pclSet = New();
  pclSet->SetQueryType(TYPEREQUETE_DELETE);
  pclSet->_SetSQLParserInfo(pclParsed);
  EXPECT_EQ(CNACommand::QUERY_DELETE, pclSet->nGetQueryType());
  pclParsed->nRelease();
}

// Parameters are refused everywhere when not allowed; with dialect bit 1 a
// parsed SELECT keeps the literals of its select list, any other kind of
// query takes them as parameters.
TEST_F(sqlcommand, ParametersInTheSelectListFollowTheParsedKind) {
  auto* pclSelect = new CSQLParserInfo;
  pclSelect->AddRef();
  pclSelect->SetQueryKind(TYPEREQUETE_SELECT);
  auto* pclInsert = new CSQLParserInfo;
  pclInsert->AddRef();
  pclInsert->SetQueryKind(TYPEREQUETE_INSERT);
  CNACommand* p = New();
  const auto eSelectList = CNASqlElt::SQLELT_SELECT;
  EXPECT_EQ(1, p->_bShouldAddParameter(pclSelect, nullptr, nullptr, eSelectList, nullptr)) << "no dialect bit";
  p->SetDialectFlags(p->nGetDialectFlags() | 2);
  EXPECT_EQ(0, p->_bShouldAddParameter(pclSelect, nullptr, nullptr, eSelectList, nullptr));
  EXPECT_EQ(1, p->_bShouldAddParameter(pclInsert, nullptr, nullptr, eSelectList, nullptr));
  p->SetQueryType(TYPEREQUETE_INSERT);
  EXPECT_EQ(0, p->_bShouldAddParameter(pclSelect, nullptr, nullptr, eSelectList, nullptr))
      << "the parsed kind, not the command's type";
  p->SetParametersAllowed(0);
  EXPECT_EQ(0, p->_bShouldAddParameter(pclInsert, nullptr, nullptr, eSelectList, nullptr));
  pclSelect->nRelease();
  pclInsert->nRelease();
}

TEST_F(sqlcommand, LikeEscapingForTheNativeEngine) {
  const struct {
    const wchar_t* pszValue;
    wchar_t cEscape;
    const wchar_t* pszExpected;
  } aCases[] = {
      {L"it's", 0, L"it''s"},
      {L"50%_x", 0, L"50\\%\\_x"},
      {L"a\\%", 0, L"a\\\\\\%"},
      {L"a\\_", 0, L"a\\\\\\_"},
      {L"a\\\\b", 0, L"a\\\\\\\\b"},
      {L"a\\b", 0, L"a\\\\b"},
      {L"a\\b", L'!', L"a\\\\b"},
      {L"5%", L'!', L"5!%"},
      {L"a!%", L'!', L"a!!!%"},
      {L"a!!", L'!', L"a!!!!"},
      {L"a!b", L'!', L"a!!b"},
      {L"", L'!', L""},
  };
  CNACommand* p = New();
  for (const auto& c : aCases) {
    CXYString<wchar_t> clOut;
    ASSERT_TRUE(p->bEscapeLIKEParamAsXQParam(&clOut, c.pszValue, c.cEscape));
    EXPECT_STREQ(c.pszExpected, clOut.pszGet()) << c.pszValue;
    // The 8-bit twin gives the same on ASCII text.
    std::string sValue(c.pszValue, c.pszValue + std::wcslen(c.pszValue));
    std::wstring sExpected = c.pszExpected;
    CXYString<char> clOutA;
    ASSERT_TRUE(p->bEscapeLIKEParamAsXQParam(&clOutA, sValue.c_str(), static_cast<char>(c.cEscape)));
    EXPECT_EQ(std::string(sExpected.begin(), sExpected.end()), std::string(clOutA.pszGet())) << c.pszValue;
  }
}

// A file parameter is loaded once; a text file (options 0x11) is written as
// a text literal, a binary one (0x1) as a binary literal.
TEST_F(sqlcommand, FileParametersKeepTheirKind) {
  char szPath[] = "/tmp/kx_sqlcommand_fileXXXXXX";
  const int fd = mkstemp(szPath);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(4, write(fd, "ab'c", 4));
  close(fd);
  const std::wstring sPath(szPath, szPath + std::strlen(szPath));
  m_pclCnx->m_csBinaryPrefix.Set(L"X'");
  m_pclCnx->m_csBinarySuffix.Set(L"'");
  const struct {
    unsigned int nOptions;
    const wchar_t* pszExpected;
  } aCases[] = {
      {CNAParameter::knOptionFile | CNAParameter::knOptionFileText, L"VALUES('ab''c' )"},
      {CNAParameter::knOptionFile, L"VALUES(X'61622763' )"},
  };
  for (const auto& c : aCases) {
    CNACommand* p = New();
    p->bComplete(L"VALUES(");
    Text(p, sPath.c_str(), c.nOptions);
    p->bComplete(L")");
    EXPECT_EQ(std::wstring(c.pszExpected), F(p)) << c.nOptions;
    EXPECT_EQ(0u, p->pclGetParameterNoRef(0)->nGetOptions() & CNAParameter::knOptionFile);
    p->ResetFormatedSQL();
    EXPECT_EQ(std::wstring(c.pszExpected), F(p)) << "a rebuild writes the loaded value again";
  }
  std::remove(szPath);
  CNACommand* p = New();
  p->bComplete(L"VALUES(");
  Text(p, L"/tmp/kx_sqlcommand_no_such_file", CNAParameter::knOptionFile);
  EXPECT_EQ(nullptr, p->pszGetFormatedSQLA(PARAMTYPECONV_ALL)) << "a missing file stops the build";
}

// The rules of the other data-source kinds, kept as the dialect table
// gives them: LIMIT becomes TOP for kinds 1 to 3, kind 2 brackets "[" in
// LIKE values, kind 3 skips the raw ESCAPE clause, kind 4 writes the
// backslash's clause.
TEST_F(sqlcommand, OtherKindsTable) {
  struct Case {
    int nKind;
    std::function<void(CNACommand*)> fnBuild;
    const wchar_t* pszExpected;
  };
  const std::vector<Case> aCases = {
      {2, [](CNACommand* c) { c->bComplete(L"SELECT a FROM t LIMIT 10"); }, L"SELECT TOP 10  a FROM t"},
      {1, [](CNACommand* c) { c->bComplete(L"select a FROM t limit 10 "); }, L"SELECT TOP 10  a FROM t"},
      {3, [](CNACommand* c) { c->bComplete(L"SELECT a FROM t LIMIT 10, 5"); }, L"SELECT a FROM t LIMIT 10, 5"},
      {2, [](CNACommand* c) { c->bComplete(L"SELECT a FROM t WHERE b='LIMIT 3'"); }, L"SELECT a FROM t WHERE b='LIMIT 3'"},
      {2,
       [&](CNACommand* c) {
         c->bComplete(L"a LIKE ");
         Text(c, L"[x]%", CNAParameter::knOptionLike, L'!');
       },
       L"a LIKE N'[[]x]%'"},
      {3,
       [&](CNACommand* c) {
         c->bComplete(L"a LIKE ");
         Text(c, L"x!%%", CNAParameter::knOptionLike, L'!');
         c->bComplete(L" ESCAPE '!' AND b=1");
       },
       L"a LIKE 'x!%%' AND b=1"},
      {4,
       [&](CNACommand* c) {
         c->bComplete(L"a LIKE ");
         Text(c, L"x\\%", CNAParameter::knOptionLike);
       },
       L"a LIKE 'x\\%' ESCAPE '\\'"},
  };
  for (const Case& c : aCases) {
    m_pclCnx->SetKind(c.nKind);
    CNACommand* p = New();
    c.fnBuild(p);
    std::wstring sText = F(p);
    while (!sText.empty() && sText.back() == L' ') sText.pop_back();
    EXPECT_EQ(std::wstring(c.pszExpected), sText) << c.nKind;
  }
  m_pclCnx->SetKind(DATASOURCE_MARIADB);
}

}  // namespace
