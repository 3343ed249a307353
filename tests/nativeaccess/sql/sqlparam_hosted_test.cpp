// Query parameters: the direction text, the clone and the equality over
// every field, the item held by its external count, the file load (binary,
// 8-bit text, missing file) and the output question to the platform.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNAParameter.h"
#include "CXYStringConcat.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/FakeQueryParameters.h"
#include "support/TestDriver.h"

namespace {

using kxtest::FakeQueryParameters;
using kxtest::TestDriver;

class sqlparam : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    m_pclDriver = new TestDriver();
    ASSERT_EQ(1, m_pclDriver->bInitDriver());
  }
  void TearDown() override {
    delete m_pclDriver;
    BoundRuntimeTest::TearDown();
  }
  CNAConvertVariant* Text(const wchar_t* psz) {
    CNAConvertVariant* v = m_pclDriver->pclAllocVariant(nullptr, nullptr);
    v->AddRef();
    v->InitTypeVariantAny(ANY_DSTRW);
    v->bSetValue(psz, static_cast<unsigned long>(std::wcslen(psz)));
    return v;
  }
  CNAParameter* Param(CNAConvertVariant* v, const wchar_t* name = L"p") {
    CNAParameter* p = m_pclDriver->pclAllocParameter(v, 4, 0, name);
    p->AddRef();
    return p;
  }
  TestDriver* m_pclDriver = nullptr;
};

TEST_F(sqlparam, DirectionText) {
  const struct {
    int nDirection;
    const wchar_t* psz;
  } aCases[] = {{0, L"()"}, {1, L"(IN)"}, {3, L"(IN|OUT)"}, {4, L"(RETURN)"}, {7, L"(IN|OUT|RETURN)"}};
  CNAConvertVariant* v = Text(L"x");
  CNAParameter* p = Param(v);
  CXYStringConcat<wchar_t> clOut(16);
  clOut.Add(L"old text", 8);
  for (const auto& c : aCases) {
    p->SetDirection(c.nDirection);
    p->TypeParam2String(&clOut);
    EXPECT_STREQ(c.psz, clOut.pszGet()) << c.nDirection;
  }
  p->nRelease();
  v->nRelease();
}

TEST_F(sqlparam, CloneAndEquality) {
  CNAItemDescription* pItem = new CNAItemDescription;
  pItem->AddRef();
  pItem->bInit(L"I", L"T", L"I", 1, 10, NA_IT_TEXTE, 0, 0, 0, 0, 0);
  CNAConvertVariant* v = Text(L"abc");
  CNAParameter* p = Param(v);
  p->SetItem(pItem);
  p->SetEscape(L'!');
  p->SetOperator(12);
  EXPECT_TRUE(p->bIsText());
  EXPECT_FALSE(p->bIsDate());
  CNAParameter* pClone = p->pclGetClone();
  ASSERT_NE(nullptr, pClone);
  EXPECT_EQ(1u, pClone->nGetInternalCount()) << "one reference for the caller";
  EXPECT_EQ(v, pClone->pclGetValue()) << "the value object is shared";
  EXPECT_EQ(pItem, pClone->piGetItem());
  EXPECT_EQ(L'!', pClone->cGetEscape());
  EXPECT_EQ(-1, pClone->nGetOperator()) << "the operator code is not copied";
  EXPECT_TRUE(p->bEqualsParameter(pClone));

  // One field changed at a time: each one makes the parameters differ
  // (the operator code is not compared).
  const std::vector<std::pair<const char*, std::function<void(CNAParameter*)>>> aChanges = {
      {"position", [](CNAParameter* q) { q->SetPosition(5); }},
      {"options", [](CNAParameter* q) { q->SetOptions(0x40000); }},
      {"escape", [](CNAParameter* q) { q->SetEscape(L'#'); }},
      {"value mark", [](CNAParameter* q) { q->SetValueMark(1); }},
      {"direction", [](CNAParameter* q) { q->SetDirection(2); }},
      {"item", [](CNAParameter* q) { q->SetItem(nullptr); }},
  };
  for (const auto& c : aChanges) {
    CNAParameter* q = p->pclGetClone();
    c.second(q);
    EXPECT_FALSE(p->bEqualsParameter(q)) << c.first;
    q->nRelease();
  }
  CNAParameter* q = p->pclGetClone();
  q->SetOperator(40);
  EXPECT_TRUE(p->bEqualsParameter(q));
  q->nRelease();
  // Another value object with an equal value is equal; a different value is not.
  CNAConvertVariant* w = Text(L"abc");
  CNAParameter* r = Param(w);
  r->SetItem(pItem);
  r->SetEscape(L'!');
  EXPECT_TRUE(p->bEqualsParameter(r));
  w->bSetValue(L"abd", 3ul);
  EXPECT_FALSE(p->bEqualsParameter(r));
  r->nRelease();
  w->nRelease();

  pClone->nRelease();
  p->nRelease();
  EXPECT_EQ(0u, pItem->nGetExternalCount()) << "every external reference on the item given back";
  v->nRelease();
  pItem->nRelease();
}

TEST_F(sqlparam, LoadFile) {
  char szBin[] = "/tmp/kx_sqlparam_binXXXXXX";
  const int fd = mkstemp(szBin);
  ASSERT_GE(fd, 0);
  const std::string sBytes("\x00\x01\xFF text", 9);
  ASSERT_EQ(static_cast<ssize_t>(sBytes.size()), write(fd, sBytes.data(), sBytes.size()));
  close(fd);
  const std::wstring sPath(szBin, szBin + std::strlen(szBin));

  for (const unsigned int nOptions : {CNAParameter::knOptionFile, CNAParameter::knOptionFile | CNAParameter::knOptionFileText}) {
    CNAError clError;
    CNAConvertVariant* v = Text(sPath.c_str());
    CNAParameter* p = m_pclDriver->pclAllocParameter(v, 0, nOptions, nullptr);
    p->AddRef();
    ASSERT_TRUE(p->bLoadFile(&clError)) << nOptions;
    EXPECT_EQ(0u, p->nGetOptions() & CNAParameter::knOptionFile) << "the file bit is cleared";
    CAny clValue;
    v->bGetValue(&clValue);
    const bool bText = (nOptions & CNAParameter::knOptionFileText) != 0;
    EXPECT_EQ(bText, clValue.nGetTypeCode() != ANY_BIN && clValue.nGetTypeCode() != ANY_BUFFER) << nOptions;
    if (!bText) {
      std::size_t n = 0;
      clValue.nGetUtilDataSize(&n);
      void* pData = nullptr;
      clValue.nGetDataAdr(&pData);
      ASSERT_EQ(sBytes.size(), n);
      EXPECT_EQ(sBytes, std::string(static_cast<const char*>(pData), n));
    }
    p->nRelease();
    v->nRelease();
  }
  std::remove(szBin);

  CNAError clError;
  CNAConvertVariant* v = Text(L"/tmp/kx_sqlparam_no_such_file");
  CNAParameter* p = m_pclDriver->pclAllocParameter(v, 0, CNAParameter::knOptionFile, nullptr);
  p->AddRef();
  EXPECT_FALSE(p->bLoadFile(&clError));
  EXPECT_EQ(CNAParameter::knOptionFile, p->nGetOptions());
  EXPECT_EQ(15u, clError.nGetUserErrorCode());
  p->nRelease();
  v->nRelease();
}

TEST_F(sqlparam, OutputQuestionGoesToThePlatform) {
  FakeQueryParameters clValues;
  clValues.SetText(L"a", L"1", 1);
  clValues.SetText(L"b", L"1", 2);
  clValues.SetText(L"c", L"1", 3);
  const struct {
    const wchar_t* pszName;
    int bOut;
  } aCases[] = {{L"a", 0}, {L"B", 1}, {L"c", 1}, {L"unknown", 0}};
  CNAConvertVariant* v = Text(L"x");
  for (const auto& c : aCases) {
    CNAParameter* p = Param(v, c.pszName);
    EXPECT_EQ(c.bOut, p->bIsParamOUT(&clValues)) << c.pszName;
    p->nRelease();
  }
  v->nRelease();
}

}  // namespace

namespace {

// A parameter made for a column holds the column and takes its item; the
// column goes back when the parameter does.
TEST_F(sqlparam, ParameterForAColumnHoldsIt) {
  auto* pclItem = new CNAItemDescription;
  pclItem->AddRef();
  pclItem->bInit(L"NAME", L"", L"NAME", 1, 10, NA_IT_TEXTE, 0, -1, 0, 0, 0);
  auto* pclColumn = new CNAColumn(nullptr, pclItem);
  pclColumn->AddRef();
  CNAConvertVariant* v = Text(L"x");
  CNAParameter* p = m_pclDriver->pclAllocParameter_col(pclColumn, v, 4, 0, L"p");
  ASSERT_NE(p, nullptr);
  p->AddRef();
  EXPECT_EQ(p->pclGetColumn(), pclColumn);
  EXPECT_EQ(p->piGetItem(), pclItem);
  EXPECT_EQ(pclColumn->nGetInternalCount(), 2u);
  p->nRelease();
  EXPECT_EQ(pclColumn->nGetInternalCount(), 1u);
  v->nRelease();
  pclColumn->nRelease();
  pclItem->nRelease();
}

}  // namespace
