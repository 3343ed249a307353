// Commands built with the MariaDB/MySQL connection's literal writer, sent
// to the fixture's server byte for byte: every hostile or non-ASCII value,
// bound as a parameter, selects exactly its own row; a LIKE prefix pattern
// (escaped for the native engine, then "%") finds exactly the rows that
// begin with the value, on a latin1 and a utf8mb4 column. In Unicode mode
// (65001) and in code page 1252, with and without NO_BACKSLASH_ESCAPES.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "CNAParameter.h"
#include "CXYString.h"
#include "MariaDbClient.h"
#include "StandInStrMemAlloc.h"
#include "TestSupport.h"
#include "mysql/support/LiveText.h"
#include "mysql/support/MariaDbLiveTest.h"
#include "nativeaccess/support/TestConnection.h"
#include "nativeaccess/support/TestDriver.h"

namespace {

using kxtest::Narrow;
using kxtest::WideFromUTF8;

struct ValueCase {
  const wchar_t* psz;
  bool bUnicodeOnly;
};

// The text values; row i + 1 holds value i.
const ValueCase kaValues[] = {
    {L"'", false},          {L"\\", false},        {L"\\'", false},
    {L"''", false},         {L"%", false},         {L"_", false},
    {L"\u00e9\u20ac", false}, {L"\u4e2d\u6587", true}, {L"x' OR 1=1 -- ", false},
    {L"'; DROP TABLE t; --", false},
};

class sqlcommand_live : public kxtest::MariaDbLiveTest {
 protected:
  sqlcommand_live() : MariaDbLiveTest("kxcmd_") {}
  void SetUp() override {
    MariaDbLiveTest::SetUp();
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    m_pclDriver = new kxtest::TestDriver();
    ASSERT_EQ(1, m_pclDriver->bInitDriver());
  }
  void TearDown() override {
    delete m_pclDriver;
    MariaDbLiveTest::TearDown();
  }

  // A command on `cnx` (one reference held by the caller).
  CNACommand* New(CMySQLConnection* cnx, CNAError* error) {
    CNACommand* p = m_pclDriver->pclAllocCommand(error, cnx);
    p->AddRef();
    return p;
  }
  void AddText(CNACommand* p, CMySQLConnection* cnx, CNAError* error, const std::wstring& s,
               unsigned int options = 0) {
    CNAConvertVariant* v = m_pclDriver->pclAllocVariant(error, cnx);
    v->AddRef();
    v->InitTypeVariantAny(ANY_DSTRW);
    v->bSetValue(s.c_str(), static_cast<unsigned long>(s.size()));
    EXPECT_TRUE(p->bAddParameter(v, -1, options, nullptr, nullptr, 0, CNAParameter::NAPARAM_IN));
    v->nRelease();
  }
  void AddBytes(CNACommand* p, CMySQLConnection* cnx, CNAError* error, const std::string& bytes) {
    CNAConvertVariant* v = m_pclDriver->pclAllocVariant(error, cnx);
    v->AddRef();
    v->InitTypeVariantAny(ANY_BIN);
    v->bSetValue(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    EXPECT_TRUE(p->bAddParameter(v, -1, 0, nullptr, nullptr, 0, CNAParameter::NAPARAM_IN));
    v->nRelease();
  }
  // The formatted bytes, sent unchanged over the test's session.
  std::string Bytes(CNACommand* p) {
    const char* psz = p->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
    EXPECT_NE(nullptr, psz) << Narrow(p->pclGetError()->pszGetError());
    return psz != nullptr ? psz : "";
  }

  void RunMode(bool bUnicode, bool bNoBackslashEscapes);

  kxtest::TestDriver* m_pclDriver = nullptr;
};

void sqlcommand_live::RunMode(bool bUnicode, bool bNoBackslashEscapes) {
  const std::string sMode = std::string(bUnicode ? "65001" : "1252") + (bNoBackslashEscapes ? " NBE" : "");
  Run("DROP TABLE IF EXISTS " + m_sTable);
  Run("CREATE TABLE " + m_sTable +
      " (id INT PRIMARY KEY, t VARCHAR(40) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin, "
      "l VARCHAR(40) CHARACTER SET latin1, b BLOB)");
  kxtest::TestHostDescription host;
  if (bUnicode)
    Describe(host, m_c.user, m_c.password, L"");
  else
    Describe(host, m_c.latin1User, m_c.latin1Password, L"KX Unicode Support=0");
  CMySQLConnection* cnx = new CMySQLConnection(L"live", &host);
  cnx->AddRef();
  // Commands and values hold references on it.
  CNAError* pclError = new CNAError();
  pclError->AddRef();
  CNAError& error = *pclError;
  ASSERT_EQ(cnx->bOpen(&error), 1) << Narrow(error.pszGetError());
  const std::string sNames = bUnicode ? "SET NAMES utf8mb4" : "SET NAMES latin1";
  Run(sNames);
  const std::string sSqlMode = std::string("SET SESSION sql_mode = '") +
                               (bNoBackslashEscapes ? "NO_BACKSLASH_ESCAPES" : "") + "'";
  Run(sSqlMode);
  ASSERT_EQ(1, cnx->bExecuteQueryNoResult(&error, WideFromUTF8(sSqlMode).c_str())) << Narrow(error.pszGetError());

  std::vector<std::wstring> aValues;
  for (const ValueCase& v : kaValues)
    if (bUnicode || !v.bUnicodeOnly) aValues.push_back(v.psz);
  std::string sBinary;
  for (int i = 0; i < 256; ++i) sBinary += static_cast<char>(i);

  // Each row written by a command.
  for (std::size_t i = 0; i < aValues.size(); ++i) {
    CNACommand* p = New(cnx, &error);
    p->bComplete((L"INSERT INTO " + WideFromUTF8(m_sTable) + L" (id, t, l) VALUES (").c_str());
    p->bCompleteWithNumber(static_cast<int>(i + 1));
    p->bComplete(L", ");
    AddText(p, cnx, &error, aValues[i]);
    p->bComplete(L", ");
    AddText(p, cnx, &error, aValues[i]);
    p->bComplete(L")");
    Run(Bytes(p));
    p->nRelease();
  }
  {
    CNACommand* p = New(cnx, &error);
    p->bComplete((L"INSERT INTO " + WideFromUTF8(m_sTable) + L" (id, b) VALUES (100, ").c_str());
    AddBytes(p, cnx, &error, sBinary);
    p->bComplete(L")");
    Run(Bytes(p));
    p->nRelease();
  }
  EXPECT_EQ(std::to_string(aValues.size() + 1), Value("SELECT COUNT(*) FROM " + m_sTable)) << sMode;

  // Equality: exactly its own row, on both columns.
  for (std::size_t i = 0; i < aValues.size(); ++i) {
    for (const wchar_t* pszColumn : {L"t", L"l"}) {
      // Latin1 cannot compare with a CJK text.
      if (std::wstring(pszColumn) == L"l" && aValues[i] == L"\u4e2d\u6587") continue;
      CNACommand* p = New(cnx, &error);
      p->bComplete((L"SELECT GROUP_CONCAT(id) FROM " + WideFromUTF8(m_sTable) + L" WHERE " + pszColumn + L" = ").c_str());
      AddText(p, cnx, &error, aValues[i]);
      EXPECT_EQ(std::to_string(i + 1), Value(Bytes(p))) << sMode << " " << Narrow(pszColumn) << " value " << i;
      p->nRelease();
    }
  }
  {
    CNACommand* p = New(cnx, &error);
    p->bComplete((L"SELECT GROUP_CONCAT(id) FROM " + WideFromUTF8(m_sTable) + L" WHERE b = ").c_str());
    AddBytes(p, cnx, &error, sBinary);
    EXPECT_EQ("100", Value(Bytes(p))) << sMode;
    p->nRelease();
  }

  // Prefix LIKE: the value escaped for the native engine, then "%".
  for (std::size_t i = 0; i < aValues.size(); ++i) {
    std::string sExpected;
    for (std::size_t k = 0; k < aValues.size(); ++k)
      if (aValues[k].compare(0, aValues[i].size(), aValues[i]) == 0)
        sExpected += (sExpected.empty() ? "" : ",") + std::to_string(k + 1);
    for (const wchar_t* pszColumn : {L"t", L"l"}) {
      if (!bUnicode && std::wstring(pszColumn) == L"t") continue;
      if (std::wstring(pszColumn) == L"l" && aValues[i] == L"\u4e2d\u6587") continue;
      CNACommand* p = New(cnx, &error);
      CXYString<wchar_t> clPattern;
      ASSERT_TRUE(p->bEscapeLIKEParamAsXQParam(&clPattern, aValues[i].c_str(), 0));
      p->bComplete((L"SELECT GROUP_CONCAT(id ORDER BY id) FROM " + WideFromUTF8(m_sTable) + L" WHERE " + pszColumn +
                    L" LIKE ")
                       .c_str());
      AddText(p, cnx, &error, std::wstring(clPattern.pszGet()) + L"%", CNAParameter::knOptionLike);
      const std::string sSql = Bytes(p);
      EXPECT_EQ(sExpected, Value(sSql)) << sMode << " " << Narrow(pszColumn) << " value " << i << ": " << sSql;
      p->nRelease();
    }
  }
  EXPECT_EQ("1", Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                       "TABLE_NAME = '" + m_sTable + "'"))
      << "the table still exists";
  Run("SET SESSION sql_mode = DEFAULT");
  Run("SET NAMES utf8mb4");
  cnx->bClose(&error);
  cnx->nRelease();
  pclError->nRelease();
}

TEST_F(sqlcommand_live, ParametersSelectTheirOwnRowsUnicode) { RunMode(true, false); }
TEST_F(sqlcommand_live, ParametersSelectTheirOwnRowsUnicodeNoBackslashEscapes) { RunMode(true, true); }
TEST_F(sqlcommand_live, ParametersSelectTheirOwnRows1252) { RunMode(false, false); }
TEST_F(sqlcommand_live, ParametersSelectTheirOwnRows1252NoBackslashEscapes) { RunMode(false, true); }

}  // namespace
