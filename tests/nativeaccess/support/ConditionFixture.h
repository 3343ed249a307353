// What the tests of conditions written as WHERE text build on (searches,
// filters, condition trees), with the runtime's conversions bound:
//
// - Written: what one write of a condition gave (result, text, parameters).
// - pclAddComposite: a composite key laid out as the runtime lays it out.
// - ConditionTest: a PlainDriver as the process's driver, an
//   AnswerConnection, a TestRecordSource the test fills, and on demand a
//   record layout over it with a command of the driver; Write puts a
//   search's current tree (joined with a filter) into that command.
// - SearchTest<S>: a ConditionTest that also holds a search of type S
//   (CNARecherche or a class derived from it with the same constructor).
//
// Hosted only: needs the stand-in runtime (BoundRuntimeTest).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CNACommand.h"
#include "CNAParameter.h"
#include "CNARecherche.h"
#include "LayoutFixture.h"
#include "TestConnection.h"
#include "TestRecordSource.h"
#include "runtime/support/BoundRuntimeFixture.h"

class CNAFilter;

namespace kxtest {

// What one write of a condition gave.
struct Written {
  int bResult = 0;
  int bSkip = 0;             // the tree asked to be left out (tree writes only)
  std::wstring sText;        // the command's formatted text
  int nParameters = 0;       // in the command
  bool bListsEqual = false;  // the search holds the command's parameters, in order
};

// Adds to `src` a composite key over `components` with key flags `flags`
// (KEY_COMPOSED added), laid out as the runtime lays it out: no room in the
// record, no flag bit of its own. The description stays owned by `src`.
inline CNAItemDescription* pclAddComposite(TestRecordSource* src, const std::vector<CNAItemDescription*>& components,
                                           std::uint16_t flags) {
  CNAItemDescription* key = src->pclAdd(NA_IT_BINAIRE, 2, 1, CNAItemDescription::KEY_COMPOSED | flags);
  src->nDiskRecordSize -= 2;
  src->nItemsInRecord -= 1;
  key->SetPhysicalIndice(0xFFFFFFFFu);
  for (CNAItemDescription* p : components) key->bAddComponent(p);
  return key;
}

class ConditionTest : public BoundRuntimeTest {
 protected:
  // After: the driver, the connection and an empty m_pSource; no layout.
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    m_pDriver.reset(new DriverScope<PlainDriver>());
    m_pclCnx = new AnswerConnection();
    m_pclCnx->AddRef();
    m_pSource.reset(new TestRecordSource());
  }
  // Ends the layout and its command, then the source, the connection and
  // the driver. A derived fixture releases what it made on the layout
  // (searches, trees, values) before calling this.
  void TearDown() override {
    DropLayout();
    m_pSource.reset();
    if (m_pclCnx != nullptr) m_pclCnx->nRelease();
    m_pclCnx = nullptr;
    m_pDriver.reset();
    BoundRuntimeTest::TearDown();
  }

  // Lays out `source` (null: m_pSource; it must outlive the layout) for a
  // data access on the connection and allocates a command of the driver
  // (held by the fixture). A layout that fails to initialise, or a missing
  // command, is a fatal failure.
  void BuildLayout(INADataSourceDescription* source = nullptr) {
    m_pLayout.reset(new Layout(source != nullptr ? source : m_pSource.get(), m_pclCnx));
    ASSERT_TRUE(m_pLayout->bInitResult);
    m_pclCommand = (*m_pDriver)->pclAllocCommand(m_pLayout->error(), m_pclCnx);
    ASSERT_NE(nullptr, m_pclCommand);
    m_pclCommand->AddRef();
  }
  // Releases the command and ends the layout (nothing when there is none).
  void DropLayout() {
    if (m_pclCommand != nullptr) m_pclCommand->nRelease();
    m_pclCommand = nullptr;
    m_pLayout.reset();
  }

  // A new object of type S made on the layout's error object and the
  // connection, with one reference for the caller.
  template <class S>
  S* pclNew() {
    S* p = new S(m_pLayout->error(), m_pclCnx);
    p->AddRef();
    return p;
  }

  CNARecord* rec() const { return m_pLayout->get(); }
  CNAColumn* col(INAItemDescription* pi) const { return m_pLayout->col(pi); }

  // Writes the current tree of `s` (joined with `filter`, may be null) into
  // the command, as the WHERE text does; the parameter lists compared.
  Written Write(CNARecherche* s, CNAFilter* filter = nullptr) {
    Written w;
    w.bResult = s->bGetSQL(m_pclCommand, filter, rec());
    const wchar_t* psz = m_pclCommand->pszGetFormatedSQL(PARAMTYPECONV_ALL);
    w.sText = psz != nullptr ? psz : L"";
    w.nParameters = static_cast<int>(m_pclCommand->nGetParameterNbr());
    w.bListsEqual = w.nParameters == s->nGetNbParameter();
    for (int i = 0; w.bListsEqual && i < w.nParameters; ++i)
      w.bListsEqual = m_pclCommand->pclGetParameterNoRef(static_cast<unsigned>(i)) == s->pclGetParameter(i);
    return w;
  }

  std::unique_ptr<DriverScope<PlainDriver>> m_pDriver;
  AnswerConnection* m_pclCnx = nullptr;
  std::unique_ptr<TestRecordSource> m_pSource;
  std::unique_ptr<Layout> m_pLayout;
  CNACommand* m_pclCommand = nullptr;
};

template <class S>
class SearchTest : public ConditionTest {
 protected:
  // Releases the search first, then what ConditionTest holds.
  void TearDown() override {
    DropSearch();
    ConditionTest::TearDown();
  }

  // BuildLayout, then a new search held by the fixture.
  void BuildSearch(INADataSourceDescription* source = nullptr) {
    BuildLayout(source);
    if (HasFatalFailure()) return;
    m_pclSearch = pclNew<S>();
  }
  // Releases the search, then the command and the layout.
  void DropSearch() {
    if (m_pclSearch != nullptr) m_pclSearch->nRelease();
    m_pclSearch = nullptr;
    DropLayout();
  }

  using ConditionTest::Write;
  // Writes the fixture's search.
  Written Write() { return Write(m_pclSearch); }

  S* m_pclSearch = nullptr;
};

}  // namespace kxtest
