// Condition trees written as WHERE text: folding, cuts and the two
// parameter lists, the NULL table, NULL inclusion and NULL selection,
// empty 8-bit values, partial dates, boolean and text normalisation, SQL
// conditions from the stand-in parser, and the rewriting of equalities for
// continuing a browse (a query's descending column included).
//
// Every case writes a tree into a fresh command with a search's parameter
// list and checks the formatted text (literals written by the test
// connection), the skip flag, and that the command and the search hold the
// very same parameters in the same order.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNAExpression.h"
#include "CNAExpressionParameters.h"
#include "CNAParameter.h"
#include "CSQLParserInfo.h"
#include "StandInParserBuilder.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Written;

class condexpr : public kxtest::ConditionTest {
 protected:
  void SetUp() override {
    ConditionTest::SetUp();
    i4 = m_pSource->pclAdd(NA_IT_I4, 4);                // ITEM0
    text = m_pSource->pclAdd(NA_IT_TEXTE, 21);          // ITEM1
    unicode = m_pSource->pclAdd(NA_IT_UNICODE, 42);     // ITEM2
    date8 = m_pSource->pclAdd(NA_IT_DATE8, 9);          // ITEM3
    datetime = m_pSource->pclAdd(NA_IT_DATETIME, 8);    // ITEM4
    uniq = m_pSource->pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);  // ITEM5
    uniq->SetNullable(0);
    i4b = m_pSource->pclAdd(NA_IT_I4, 4);               // ITEM6
    boolean = m_pSource->pclAdd(NA_IT_BOOLEEN, 1);      // ITEM7
    heure = m_pSource->pclAdd(NA_IT_HEURE, 10);         // ITEM8
    BuildLayout();
    if (HasFatalFailure()) return;
    m_pSearch.reset(new CNAExpressionParameters(m_pLayout->error(), m_pclCnx));
  }
  void TearDown() override {
    for (CNAExpression* p : m_apTrees) p->nRelease();
    m_apTrees.clear();
    for (CNAConvertVariant* p : m_apValues) p->nRelease();
    m_apValues.clear();
    m_pSearch.reset();
    ConditionTest::TearDown();
  }

  CNAColumn* Col(INAItemDescription* pi) const { return m_pLayout->col(pi); }

  CNAConvertVariant* NewValue(const CAny& any) {
    CNAConvertVariant* p = (*m_pDriver)->pclAllocVariant(m_pLayout->error(), m_pclCnx);
    p->AddRef();
    p->InitTypeVariantAny(any.nGetTypeCode() != 0 ? any.nGetTypeCode() : static_cast<unsigned short>(ANY_I4));
    if (any.bIsNull() || any.bIsEmpty()) {
      p->SetNull();
    } else {
      p->bSetValue(&any);
    }
    m_apValues.push_back(p);
    return p;
  }
  CNAConvertVariant* Int(int n) {
    CAny v;
    v.SetI4(n);
    return NewValue(v);
  }
  CNAConvertVariant* Wide(const wchar_t* s) {
    CAny v;
    v.__SetType(ANY_DSTRW, 0);
    v.SetValue(s, std::wcslen(s) * sizeof(wchar_t));
    return NewValue(v);
  }
  CNAConvertVariant* Ansi(const char* s) {
    CAny v;
    v.__SetType(ANY_DSTRA, 0);
    v.SetValue(s, std::strlen(s));
    return NewValue(v);
  }
  CNAConvertVariant* Bool(bool b) {
    CAny v;
    v.SetBOOL(b ? 1 : 0);
    return NewValue(v);
  }
  CNAConvertVariant* Null() {
    CAny v;
    v.SetI4(0);
    v.SetNull(true);
    return NewValue(v);
  }

  // Nodes are made through a root node of the layout's error object; a
  // tree the test keeps is held by Keep.
  CNAExpression* Maker() {
    if (m_pclMaker == nullptr) m_pclMaker = Keep(new CNAExpression(m_pLayout->error()));
    return m_pclMaker;
  }
  CNAExpression* Keep(CNAExpression* p) {
    p->AddRef();
    m_apTrees.push_back(p);
    return p;
  }
  CNAExpression* Leaf(eNAOperator op, INAItemDescription* pi, CNAConvertVariant* v, unsigned flags = 0) {
    return Maker()->pclAllocExpression(op, Col(pi), v, flags);
  }
  CNAExpression* Node(eNAOperator op, CNAExpression* l, CNAExpression* r) {
    return Maker()->pclAllocExpression(op, l, r, 0u);
  }
  CNAExpression* Const(eNAOperator op) {
    return Maker()->pclAllocExpression(op, static_cast<CNAExpression*>(nullptr), nullptr, 0u);
  }

  // Writes the tree as a search does: the command emptied, the search's
  // parameters released, the tree written from the root.
  Written Write(CNAExpression* tree) {
    Written w;
    m_pclCommand->ResetCommand(0);
    m_pSearch->_ResetParameter();
    w.bResult = tree->bGetSQL(m_pclCommand, NA_OPERATOR_NONE, m_pSearch.get(), &w.bSkip, m_pLayout->get());
    const wchar_t* psz = m_pclCommand->pszGetFormatedSQL(PARAMTYPECONV_ALL);
    w.sText = psz != nullptr ? psz : L"<null>";
    w.nParameters = m_pclCommand->nGetParameterNbr();
    w.bListsEqual = w.nParameters == m_pSearch->nGetNbParameter();
    for (int i = 0; w.bListsEqual && i < w.nParameters; ++i)
      w.bListsEqual = m_pclCommand->pclGetParameterNoRef(static_cast<unsigned>(i)) == m_pSearch->pclGetParameter(i);
    return w;
  }

  std::unique_ptr<CNAExpressionParameters> m_pSearch;
  CNAExpression* m_pclMaker = nullptr;
  std::vector<CNAExpression*> m_apTrees;
  std::vector<CNAConvertVariant*> m_apValues;
  CNAItemDescription* i4 = nullptr;
  CNAItemDescription* text = nullptr;
  CNAItemDescription* unicode = nullptr;
  CNAItemDescription* date8 = nullptr;
  CNAItemDescription* datetime = nullptr;
  CNAItemDescription* uniq = nullptr;
  CNAItemDescription* i4b = nullptr;
  CNAItemDescription* boolean = nullptr;
  CNAItemDescription* heure = nullptr;
};

struct Case {
  const char* pszName;
  std::function<CNAExpression*()> fnTree;
  const wchar_t* pszText;  // formatted; "" when skipped
  int nParameters;
  int bSkip;
  int eRootAfter;  // the root's operator after the write (-1: not checked)
  // Asked again, a tree writes the same text, or this more folded one.
  const wchar_t* pszAgain = nullptr;
};

void RunTable(condexpr* t, const std::vector<Case>& cases, const std::function<Written(CNAExpression*)>& write,
              const std::function<CNAExpression*(CNAExpression*)>& keep) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CNAExpression* pclTree = keep(c.fnTree());
    const Written w = write(pclTree);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszText, w.sText);
    EXPECT_EQ(c.nParameters, w.nParameters);
    EXPECT_TRUE(w.bListsEqual);
    EXPECT_EQ(c.bSkip, w.bSkip);
    if (c.eRootAfter >= 0) {
      EXPECT_EQ(c.eRootAfter, static_cast<int>(pclTree->eGetOperator()));
    }
    // Folding is for good.
    const Written again = write(pclTree);
    EXPECT_EQ(c.pszAgain != nullptr ? std::wstring(c.pszAgain) : w.sText, again.sText);
    EXPECT_EQ(w.nParameters, again.nParameters);
    EXPECT_TRUE(again.bListsEqual);
  }
  (void)t;
}

#define RUN(cases) \
  RunTable(this, cases, [this](CNAExpression* p) { return Write(p); }, [this](CNAExpression* p) { return Keep(p); })

// Constants and operands that fold only while written (y<NULL is always
// false with NULL first; y>=NULL always true), on either side of AND and
// OR, alone, under AND and under NOT. A cut never takes the parameter of
// the left operand that ends where the cut starts.
TEST_F(condexpr, FoldingTable) {
  auto X = [this] { return Leaf(NA_OPERATOR_EQ, i4, Int(5)); };
  auto Z = [this] { return Leaf(NA_OPERATOR_EQ, i4b, Int(7)); };
  auto Fw = [this] { return Leaf(NA_OPERATOR_LT, i4b, Null()); };  // false, once written
  auto Tw = [this] { return Leaf(NA_OPERATOR_GE, i4b, Null()); };  // true, once written
  auto F = [this] { return Const(NA_OPERATOR_FALSE); };
  auto T = [this] { return Const(NA_OPERATOR_TRUE); };
  const std::vector<Case> cases = {
      {"AND(T, x)", [&] { return Node(NA_OPERATOR_AND, T(), X()); }, L"`ITEM0`=5", 1, 0, 2},
      {"AND(x, T)", [&] { return Node(NA_OPERATOR_AND, X(), T()); }, L"`ITEM0`=5", 1, 0, 2},
      {"AND(x, F)", [&] { return Node(NA_OPERATOR_AND, X(), F()); }, L"", 0, 1, 10},
      {"OR(F, x)", [&] { return Node(NA_OPERATOR_OR, F(), X()); }, L"`ITEM0`=5", 1, 0, 1},
      {"OR(x, T)", [&] { return Node(NA_OPERATOR_OR, X(), T()); }, L"", 0, 1, 11},
      {"OR(x, z)", [&] { return Node(NA_OPERATOR_OR, X(), Z()); }, L"`ITEM0`=5 OR `ITEM6`=7", 2, 0, 1},
      {"OR(x, y<NULL)", [&] { return Node(NA_OPERATOR_OR, X(), Fw()); }, L"`ITEM0`=5", 1, 0, 1},
      {"AND(x, y<NULL)", [&] { return Node(NA_OPERATOR_AND, X(), Fw()); }, L"", 0, 1, 10},
      {"AND(x, y>=NULL)", [&] { return Node(NA_OPERATOR_AND, X(), Tw()); }, L"`ITEM0`=5", 1, 0, 2},
      {"OR(x, y>=NULL)", [&] { return Node(NA_OPERATOR_OR, X(), Tw()); }, L"", 0, 1, 11},
      {"OR(y<NULL, x)", [&] { return Node(NA_OPERATOR_OR, Fw(), X()); }, L"`ITEM0`=5", 1, 0, 1},
      {"AND(y<NULL, x)", [&] { return Node(NA_OPERATOR_AND, Fw(), X()); }, L"", 0, 1, 10},
      {"AND(y>=NULL, x)", [&] { return Node(NA_OPERATOR_AND, Tw(), X()); }, L"`ITEM0`=5", 1, 0, 2},
      {"AND(OR(x, z), z)", [&] { return Node(NA_OPERATOR_AND, Node(NA_OPERATOR_OR, X(), Z()), Z()); },
       L"(`ITEM0`=5 OR `ITEM6`=7 ) AND `ITEM6`=7", 3, 0, 2},
      {"AND(z, OR(x, y<NULL))", [&] { return Node(NA_OPERATOR_AND, Z(), Node(NA_OPERATOR_OR, X(), Fw())); },
       L"`ITEM6`=7 AND (`ITEM0`=5 )", 2, 0, 2, L"`ITEM6`=7 AND `ITEM0`=5"},
      {"AND(OR(y<NULL, y<NULL), x)",
       [&] { return Node(NA_OPERATOR_AND, Node(NA_OPERATOR_OR, Fw(), Fw()), X()); }, L"", 0, 1, 10},
      {"NOT(OR(x, z))", [&] { return Node(NA_OPERATOR_NOT, Node(NA_OPERATOR_OR, X(), Z()), nullptr); },
       L" NOT ((`ITEM0`=5 OR `ITEM6`=7 ))", 2, 0, 3},
      {"NOT(y<NULL)", [&] { return Node(NA_OPERATOR_NOT, Fw(), nullptr); }, L"", 0, 1, 11},
      {"OR(NOT(y>=NULL), x)", [&] { return Node(NA_OPERATOR_OR, Node(NA_OPERATOR_NOT, Tw(), nullptr), X()); },
       L"`ITEM0`=5", 1, 0, 1},
      {"AND(NOT(y<NULL), x)", [&] { return Node(NA_OPERATOR_AND, Node(NA_OPERATOR_NOT, Fw(), nullptr), X()); },
       L"`ITEM0`=5", 1, 0, 2},
      // NOT of a folded operand is the other constant, which decides its
      // parent: OR(true, x) is true, AND(false, x) false.
      {"OR(NOT(y<NULL), x)", [&] { return Node(NA_OPERATOR_OR, Node(NA_OPERATOR_NOT, Fw(), nullptr), X()); }, L"",
       0, 1, 11},
      {"AND(NOT(y>=NULL), x)", [&] { return Node(NA_OPERATOR_AND, Node(NA_OPERATOR_NOT, Tw(), nullptr), X()); },
       L"", 0, 1, 10},
  };
  RUN(cases);
}

// The NULL table: a NULL value under each operator and both orderings,
// with the NULL selection handed over.
TEST_F(condexpr, NullTable) {
  struct Row {
    int nOp;
    int bNullFirst;
    const wchar_t* pszText;
    int bSkip;
    int eAfter;
    int bNullSelected;
  };
  const std::vector<Row> rows = {
      {4, 1, L"`ITEM0` IS NULL", 0, 4, 1},      {4, 0, L"`ITEM0` IS NULL", 0, 4, 1},
      {5, 1, L"`ITEM0` IS NOT NULL", 0, 5, 0},  {5, 0, L"", 1, 10, 1},
      {6, 1, L"", 1, 10, 1},                    {6, 0, L"`ITEM0` IS NOT NULL", 0, 6, 0},
      {7, 1, L"", 1, 11, 1},                    {7, 0, L"", 1, 11, 1},
      {8, 1, L"", 1, 11, 1},                    {8, 0, L"", 1, 11, 1},
      {12, 1, L"`ITEM0` IS NOT NULL", 0, 12, 0}, {12, 0, L"`ITEM0` IS NOT NULL", 0, 12, 0},
      {13, 1, L"`ITEM0` IS NULL", 0, 13, 1},    {14, 0, L"`ITEM0` IS NOT NULL", 0, 14, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE("op " + std::to_string(r.nOp) + " null first " + std::to_string(r.bNullFirst));
    m_pclCnx->bNullFirst = r.bNullFirst;
    CNAExpression* pclLeaf = Keep(Leaf(static_cast<eNAOperator>(r.nOp), i4, Null()));
    const Written w = Write(pclLeaf);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(r.pszText, w.sText);
    EXPECT_EQ(0, w.nParameters);
    EXPECT_EQ(r.bSkip, w.bSkip);
    EXPECT_EQ(r.eAfter, static_cast<int>(pclLeaf->eGetOperator()));
    if (!r.bSkip) {
      EXPECT_EQ(r.bNullSelected, pclLeaf->bColumnValuesNullSelected(Col(i4)));
    }
  }
}

// When NULL rows belong to the range: by the ordering for < and <= (NULL
// first) or > and >= (NULL last); a filter's lower bound only with a
// NULL-like value; never on a unique not-NULL column. Outside continuing
// trees a value of 0 keeps NULL rows out of "<"; a continuing tree (after
// or before a row) follows the ordering alone, since NULL sorts before 0.
TEST_F(condexpr, NullInclusionTable) {
  struct Row {
    const char* pszName;
    int nOp;
    int nValue;
    unsigned nFlags;
    int bNullFirst;
    int bContinuing;
    INAItemDescription* CNAItemDescriptionPtr;
    const wchar_t* pszText;
  };
  const std::vector<Row> rows = {
      {"< 5", 6, 5, 0, 1, 0, i4, L"(`ITEM0`<5 OR `ITEM0` IS NULL)"},
      {"< 0", 6, 0, 0, 1, 0, i4, L"`ITEM0`<0"},
      {"< 0 continuing", 6, 0, 0, 1, 1, i4, L"(`ITEM0`<0 OR `ITEM0` IS NULL)"},
      {"< 0 continuing, filter condition", 6, 0, CNAExpression::knFlagFilter, 1, 1, i4, L"`ITEM0`<0"},
      {"> 0 continuing, NULL first", 5, 0, 0, 1, 1, i4, L"`ITEM0`>0"},
      {"> 0 continuing, NULL last", 5, 0, 0, 0, 1, i4, L"(`ITEM0`>0 OR `ITEM0` IS NULL)"},
      {"<= 0", 8, 0, 0, 1, 0, i4, L"(`ITEM0`<=0 OR `ITEM0` IS NULL)"},
      {">= 3 NULL last", 7, 3, 0, 0, 0, i4, L"(`ITEM0`>=3 OR `ITEM0` IS NULL)"},
      {"= 0", 4, 0, 0, 1, 1, i4, L"`ITEM0`=0"},
      {"lower bound >= 0", 7, 0, CNAExpression::knFlagLowerBound, 1, 0, i4, L"(`ITEM0`>=0 OR `ITEM0` IS NULL)"},
      {"lower bound >= 2", 7, 2, CNAExpression::knFlagLowerBound, 1, 0, i4, L"`ITEM0`>=2"},
      {"upper bound <= 0", 8, 0, CNAExpression::knFlagUpperBound, 1, 1, i4, L"`ITEM0`<=0"},
      {"unique not NULL < 5", 6, 5, 0, 1, 1, uniq, L"`ITEM5`<5"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.pszName);
    m_pclCnx->bNullFirst = r.bNullFirst;
    m_pSearch->SetContinuing(r.bContinuing);
    CNAExpression* pclLeaf = Keep(Leaf(static_cast<eNAOperator>(r.nOp), r.CNAItemDescriptionPtr, Int(r.nValue), r.nFlags));
    const Written w = Write(pclLeaf);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(r.pszText, w.sText);
    EXPECT_EQ(1, w.nParameters);
    EXPECT_TRUE(w.bListsEqual);
    const bool bWithNull = std::wstring(r.pszText).find(L"IS NULL") != std::wstring::npos;
    EXPECT_EQ(bWithNull ? 1 : 0, pclLeaf->bColumnValuesNullSelected(Col(r.CNAItemDescriptionPtr)));
  }
  m_pSearch->SetContinuing(0);
}

// An empty value on an 8-bit text item is the literal '' (no parameter);
// a generic one matches every non-NULL value with a blank before LIKE, so
// that a name written as an expression stays apart from the keyword. An
// empty Unicode value goes through a parameter.
TEST_F(condexpr, EmptyEightBitValues) {
  const std::vector<Case> cases = {
      {"= ''", [&] { return Leaf(NA_OPERATOR_EQ, text, Ansi("")); }, L"`ITEM1`=''", 0, 0, 4},
      {"generic ''", [&] { return Leaf(NA_OPERATOR_EQ, text, Ansi(""), CNAExpression::knFlagGeneric); },
       L"`ITEM1` LIKE '%%'", 0, 0, 4},
      {"<> ''", [&] { return Leaf(NA_OPERATOR_NE, text, Ansi("")); }, L"`ITEM1`<>''", 0, 0, 12},
      {"<= '' with NULL", [&] { return Leaf(NA_OPERATOR_LE, text, Ansi("")); },
       L"(`ITEM1`<='' OR `ITEM1` IS NULL)", 0, 0, 8},
      {"> '' between", [&] { return Node(NA_OPERATOR_AND, Leaf(NA_OPERATOR_GT, text, Ansi("")),
                                         Leaf(NA_OPERATOR_EQ, i4, Int(1))); },
       L"`ITEM1`>'' AND `ITEM0`=1", 1, 0, 2},
      {"generic 'ab'", [&] { return Leaf(NA_OPERATOR_EQ, text, Ansi("ab"), CNAExpression::knFlagGeneric); },
       L"`ITEM1` LIKE 'ab%'", 1, 0, 4},
      {"unicode ''", [&] { return Leaf(NA_OPERATOR_EQ, unicode, Wide(L"")); }, L"`ITEM2`=''", 1, 0, 4},
      // Empty composite-key prefix: the generic bit goes, the leaf is an
      // equality.
      {"composite generic ''",
       [&] { return Leaf(NA_OPERATOR_EQ, text, Ansi(""), CNAExpression::knFlagGeneric | CNAExpression::knFlagComposite); },
       L"`ITEM1`=''", 0, 0, 4},
  };
  RUN(cases);
}

// Partial dates become the period they name: from its first instant up to
// (not including) the first instant after it; a period that ends with year
// 9999 has no instant after it and keeps its lower bound alone. Complete
// values are plain comparisons.
TEST_F(condexpr, DatePrefixes) {
  const unsigned G = CNAExpression::knFlagGeneric;
  const std::vector<Case> cases = {
      {"date 2023", [&] { return Leaf(NA_OPERATOR_EQ, date8, Wide(L"2023"), G); },
       L"`ITEM3`>='2023-01-01' AND `ITEM3`<'2024-01-01'", 2, 0, 4},
      {"date 202302", [&] { return Leaf(NA_OPERATOR_EQ, date8, Wide(L"202302"), G); },
       L"`ITEM3`>='2023-02-01' AND `ITEM3`<'2023-03-01'", 2, 0, 4},
      {"date complete", [&] { return Leaf(NA_OPERATOR_EQ, date8, Wide(L"20230227"), G); },
       L"`ITEM3`='2023-02-27'", 1, 0, 4},
      {"date <> 2023", [&] { return Leaf(NA_OPERATOR_NE, date8, Wide(L"2023"), G); },
       L"(`ITEM3`<'2023-01-01' OR `ITEM3`>='2024-01-01' )", 2, 0, 12},
      {"date 9999", [&] { return Leaf(NA_OPERATOR_EQ, date8, Wide(L"9999"), G); }, L"`ITEM3`>='9999-01-01'", 1, 0, 4},
      {"date <> 9999", [&] { return Leaf(NA_OPERATOR_NE, date8, Wide(L"9999"), G); }, L"`ITEM3`<'9999-01-01'", 1,
       0, 12},
      {"datetime 2023022715", [&] { return Leaf(NA_OPERATOR_EQ, datetime, Wide(L"2023022715"), G); },
       L"`ITEM4`>='2023-02-27 15:00:00.000' AND `ITEM4`<'2023-02-27 16:00:00.000'", 2, 0, 4},
      {"datetime <> 2023", [&] { return Leaf(NA_OPERATOR_NE, datetime, Wide(L"2023"), G); },
       L"(`ITEM4`<'2023-01-01 00:00:00.000' OR `ITEM4`>='2024-01-01 00:00:00.000' )", 2, 0, 12},
      {"datetime complete", [&] { return Leaf(NA_OPERATOR_EQ, datetime, Wide(L"20230227150405123"), G); },
       L"`ITEM4`='2023-02-27 15:04:05.123'", 1, 0, 4},
      {"datetime 99991231", [&] { return Leaf(NA_OPERATOR_EQ, datetime, Wide(L"99991231"), G); },
       L"`ITEM4`>='9999-12-31 00:00:00.000'", 1, 0, 4},
  };
  RUN(cases);
}

// Continuing after a partial date starts after the whole period: the
// equality becomes NOT(in the period) AND d > start; before it, a plain
// "<" of the start (with the NULL rows, which sort first). Generic text equalities are rewritten the same way;
// other equalities take the operator.
TEST_F(condexpr, TransformEqualityForContinuing) {
  const unsigned G = CNAExpression::knFlagGeneric;
  struct Row {
    const char* pszName;
    std::function<CNAExpression*()> fnLeaf;
    eNAOperator eOp;
    const wchar_t* pszText;
    int nParameters;
  };
  const std::vector<Row> rows = {
      {"after 2023", [&] { return Leaf(NA_OPERATOR_EQ, date8, Wide(L"2023"), G); }, NA_OPERATOR_GT,
       L"`ITEM0`=1 AND ( NOT (`ITEM3`>='2023-01-01' AND `ITEM3`<'2024-01-01' ) AND `ITEM3`>'2023-01-01' )", 4},
      {"before 2023", [&] { return Leaf(NA_OPERATOR_EQ, date8, Wide(L"2023"), G); }, NA_OPERATOR_LT,
       L"`ITEM0`=1 AND (`ITEM3`<'2023-01-01' OR `ITEM3` IS NULL)", 2},
      {"after 'ab'", [&] { return Leaf(NA_OPERATOR_EQ, text, Ansi("ab"), G); }, NA_OPERATOR_GT,
       L"`ITEM0`=1 AND ( NOT (`ITEM1` LIKE 'ab%' ) AND `ITEM1`>'ab' )", 3},
      {"after exact 5", [&] { return Leaf(NA_OPERATOR_EQ, i4b, Int(5)); }, NA_OPERATOR_GT,
       L"`ITEM0`=1 AND `ITEM6`>5", 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.pszName);
    CNAExpression* pclLeft = Leaf(NA_OPERATOR_EQ, i4, Int(1));
    pclLeft->AddRef();
    CNAExpression* pclTree = Keep(Node(NA_OPERATOR_AND, pclLeft, r.fnLeaf()));
    CNAExpression* pclLast = pclTree->pclTransformEqualTo(m_pLayout->get(), nullptr, r.eOp);
    EXPECT_NE(nullptr, pclLast);
    // The left equality is not generic: it takes the operator too; put it
    // back to compare only the rewritten right side.
    EXPECT_EQ(r.eOp, pclLeft->eGetOperator());
    pclLeft->SetOperator(NA_OPERATOR_EQ);
    pclLeft->nRelease();
    const Written w = Write(pclTree);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(r.pszText, w.sText);
    EXPECT_EQ(r.nParameters, w.nParameters);
    EXPECT_TRUE(w.bListsEqual);
  }
}

// A clone shares column and value objects but not the nodes; the search
// writes a clone as it writes the original.
TEST_F(condexpr, CloneWritesTheSameText) {
  CNAConvertVariant* v = Int(3);
  CNAExpression* pclTree =
      Keep(Node(NA_OPERATOR_OR, Leaf(NA_OPERATOR_LT, i4, v), Leaf(NA_OPERATOR_EQ, text, Ansi("x"))));
  CNAExpression* pclClone = Keep(pclTree->pclClone());
  ASSERT_NE(nullptr, pclClone);
  EXPECT_NE(pclTree->pclGetLeftNoRef(), pclClone->pclGetLeftNoRef());
  EXPECT_EQ(v, pclClone->pclGetLeftNoRef()->pclGetValueNoRef());
  const Written a = Write(pclTree);
  const Written b = Write(pclClone);
  EXPECT_EQ(L"(`ITEM0`<3 OR `ITEM0` IS NULL) OR `ITEM1`='x'", a.sText);
  EXPECT_EQ(a.sText, b.sText);
  EXPECT_EQ(2, b.nParameters);
  EXPECT_TRUE(b.bListsEqual);
}

// Statics: operator texts and parser codes, inversion, and the comparisons
// that hold for every row.
TEST_F(condexpr, Statics) {
  EXPECT_STREQ(L" IS NULL", CNAExpression::s_pszDumpOp(NA_OPERATOR_ISNULL));
  EXPECT_STREQ(L"", CNAExpression::s_pszDumpOp(static_cast<eNAOperator>(42)));
  EXPECT_EQ(33, CNAExpression::Convert_eNAOperator_To_eOPEXPRESSION(NA_OPERATOR_ISNULL));
  EXPECT_EQ(-1, CNAExpression::Convert_eNAOperator_To_eOPEXPRESSION(NA_OPERATOR_ISNOTNULL));
  EXPECT_EQ(NA_OPERATOR_LE, CNAExpression::s_eInvertOperator(NA_OPERATOR_GE));
  EXPECT_EQ(NA_OPERATOR_EQ, CNAExpression::s_eInvertOperator(NA_OPERATOR_EQ));

  auto W = [](const wchar_t* s) {
    CAny v;
    v.__SetType(ANY_DSTRW, 0);
    v.SetValue(s, std::wcslen(s) * sizeof(wchar_t));
    return v;
  };
  const wchar_t szMarker[] = {0xFFFF, 0};
  const wchar_t szEmoji[] = {static_cast<wchar_t>(0x1F600), 0};
  const CAny clMarker = W(szMarker);
  EXPECT_TRUE(CNAExpression::s_bExpressionTrue(NA_OPERATOR_LE, nullptr, &clMarker));
  // A real character still has rows above it.
  const CAny clEmoji = W(szEmoji);
  EXPECT_FALSE(CNAExpression::s_bExpressionTrue(NA_OPERATOR_LE, nullptr, &clEmoji));
  const CAny clEmpty = W(L"");
  EXPECT_TRUE(CNAExpression::s_bExpressionTrue(NA_OPERATOR_GE, nullptr, &clEmpty));
  CAny clNull;
  clNull.SetI4(0);
  clNull.SetNull(true);
  m_pclCnx->bNullFirst = 1;
  EXPECT_TRUE(CNAExpression::s_bExpressionTrue(NA_OPERATOR_GE, m_pclCnx, &clNull));
  EXPECT_FALSE(CNAExpression::s_bExpressionTrue(NA_OPERATOR_LE, m_pclCnx, &clNull));
  EXPECT_FALSE(CNAExpression::s_bExpressionTrue(NA_OPERATOR_GE, nullptr, &clNull));

  CAny clLow;
  CAny clHigh;
  int bUpper = -1;
  EXPECT_TRUE(CNAExpression::s_bGetBorneRechercheDateGenerique(NA_IT_DATE8, L"9999", &clLow, &clHigh, &bUpper));
  EXPECT_EQ(0, bUpper);
  EXPECT_FALSE(CNAExpression::s_bGetBorneRechercheDateMin(NA_IT_DATE8, L"2023x", &clLow));
}

// NULL selection of inner nodes: AND keeps a column's exclusion, OR keeps
// it only when both sides exclude NULL for that column; NOT inverts.
TEST_F(condexpr, NullSelectionOfInnerNodes) {
  struct Row {
    const char* pszName;
    std::function<CNAExpression*()> fnTree;
    int bI4;   // NULL of ITEM0 selected
    int bI4b;  // NULL of ITEM6 selected
  };
  auto Eq = [this](INAItemDescription* pi, int n) { return Leaf(NA_OPERATOR_EQ, pi, Int(n)); };
  const std::vector<Row> rows = {
      {"AND(x=3, y=4)", [&] { return Node(NA_OPERATOR_AND, Eq(i4, 3), Eq(i4b, 4)); }, 0, 0},
      {"OR(x=3, y=4)", [&] { return Node(NA_OPERATOR_OR, Eq(i4, 3), Eq(i4b, 4)); }, 1, 1},
      {"OR(x=3, x=4)", [&] { return Node(NA_OPERATOR_OR, Eq(i4, 3), Eq(i4, 4)); }, 0, 1},
      {"OR(x=3, x<4)", [&] { return Node(NA_OPERATOR_OR, Eq(i4, 3), Leaf(NA_OPERATOR_LT, i4, Int(4))); }, 1, 1},
      {"AND(x<4, x=3)", [&] { return Node(NA_OPERATOR_AND, Leaf(NA_OPERATOR_LT, i4, Int(4)), Eq(i4, 3)); }, 0, 1},
      {"OR(AND(x=3, y=4), y=5)",
       [&] { return Node(NA_OPERATOR_OR, Node(NA_OPERATOR_AND, Eq(i4, 3), Eq(i4b, 4)), Eq(i4b, 5)); }, 1, 0},
      {"NOT(x=3)", [&] { return Node(NA_OPERATOR_NOT, Eq(i4, 3), nullptr); }, 1, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.pszName);
    CNAExpression* pclTree = Keep(r.fnTree());
    const Written w = Write(pclTree);
    ASSERT_TRUE(w.bResult);
    EXPECT_EQ(r.bI4, pclTree->bColumnValuesNullSelected(Col(i4)));
    EXPECT_EQ(r.bI4b, pclTree->bColumnValuesNullSelected(Col(i4b)));
  }
}

// Booleans compared by order become equalities or constants; a text
// comparison that holds for every row folds to always true.
TEST_F(condexpr, BooleanAndTextNormalisation) {
  const wchar_t szHighest[] = {0xFFFF, 0};
  const std::vector<Case> cases = {
      {"> true", [&] { return Leaf(NA_OPERATOR_GT, boolean, Bool(true)); }, L"", 0, 1, 10},
      {">= false", [&] { return Leaf(NA_OPERATOR_GE, boolean, Bool(false)); }, L"", 0, 1, 11},
      {"<= true", [&] { return Leaf(NA_OPERATOR_LE, boolean, Bool(true)); }, L"", 0, 1, 11},
      {"< false", [&] { return Leaf(NA_OPERATOR_LT, boolean, Bool(false)); }, L"", 0, 1, 10},
      {"AND(> false, x)", [&] { return Node(NA_OPERATOR_AND, Leaf(NA_OPERATOR_GT, boolean, Bool(false)),
                                            Leaf(NA_OPERATOR_EQ, i4, Int(1))); },
       L"`ITEM7`<>0 AND `ITEM0`=1", 2, 0, 2},
      {"text >= ''", [&] { return Leaf(NA_OPERATOR_GE, unicode, Wide(L"")); }, L"", 0, 1, 11},
      {"text <= highest", [&] { return Leaf(NA_OPERATOR_LE, unicode, Wide(szHighest)); }, L"", 0, 1, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CNAExpression* pclTree = Keep(c.fnTree());
    const Written w = Write(pclTree);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszText, w.sText);
    EXPECT_EQ(c.nParameters, w.nParameters);
    EXPECT_EQ(c.bSkip, w.bSkip);
    EXPECT_EQ(c.eRootAfter, static_cast<int>(pclTree->eGetOperator()));
  }
}

// A zero date stands for NULL where the connection says so; a time item
// without time support is compared as text with LIKE.
TEST_F(condexpr, ZeroDatesAndTimesAsText) {
  m_pclCnx->bZeroDateNull = 1;
  CNAExpression* pclZero = Keep(Leaf(NA_OPERATOR_EQ, date8, Wide(L"00000000")));
  Written w = Write(pclZero);
  EXPECT_EQ(L"`ITEM3` IS NULL", w.sText);
  EXPECT_EQ(0, w.nParameters);
  m_pclCnx->bZeroDateNull = 0;
  w = Write(pclZero);
  EXPECT_EQ(1, w.nParameters);

  CNAExpression* pclTime = Keep(Leaf(NA_OPERATOR_EQ, heure, Wide(L"12"), CNAExpression::knFlagGeneric));
  w = Write(pclTime);
  EXPECT_EQ(0u, w.sText.find(L"`ITEM8` LIKE '12%'"));
  EXPECT_EQ(1, w.nParameters);
  EXPECT_TRUE(w.bListsEqual);
}

// A generic equality that is the whole tree is rewritten into a new root
// the caller takes over.
TEST_F(condexpr, TransformRootLeaf) {
  CNAExpression* pclLeaf = Keep(Leaf(NA_OPERATOR_EQ, text, Ansi("ab"), CNAExpression::knFlagGeneric));
  CNAExpression* pclRoot = pclLeaf->pclTransformEqualTo(m_pLayout->get(), nullptr, NA_OPERATOR_GT);
  ASSERT_NE(pclLeaf, pclRoot);
  Keep(pclRoot);
  EXPECT_EQ(NA_OPERATOR_AND, pclRoot->eGetOperator());
  const Written w = Write(pclRoot);
  EXPECT_EQ(L" NOT (`ITEM1` LIKE 'ab%' ) AND `ITEM1`>'ab'", w.sText);
  EXPECT_EQ(2, w.nParameters);
  EXPECT_TRUE(w.bListsEqual);
}

// A computed column of a query is compared as its expression; the blank
// before LIKE keeps "1" and the keyword apart.
TEST_F(condexpr, ComputedColumnIsItsExpression) {
  CStandInParserLedger::Reset();
  {
    CStandInParserBuilder query(L"SELECT a+1 AS ITEM1 FROM t");
    CAny one;
    one.SetI4(1);
    query.Calculated(query.Op(20, {query.Item(L"a", L"", L"a"), query.Literal(L"1", one)}), L"ITEM1");
    query.From(L"t");
    CSQLParserInfo* pclQuery = new CSQLParserInfo(m_pLayout->error(), query.pi(), nullptr, 0);
    pclQuery->AddRef();
    m_pLayout->access().SetSourceQuery(pclQuery);
    m_pLayout->access().SetQuery(1);
    text->SetColumnKind(1);

    CNAExpression* pclLeaf = Leaf(NA_OPERATOR_EQ, text, Ansi(""), CNAExpression::knFlagGeneric);
    pclLeaf->AddRef();
    EXPECT_EQ(pclQuery, pclLeaf->pclGetParserInfoNoRef());
    const Written w = Write(pclLeaf);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(L"`a`+1 LIKE '%%'", w.sText);
    EXPECT_EQ(0, w.nParameters);
    pclLeaf->nRelease();

    text->SetColumnKind(0);
    m_pLayout->access().SetQuery(0);
    m_pclCommand->ResetCommand(0);
    m_pLayout->access().SetSourceQuery(nullptr);
    pclQuery->nRelease();
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

// On a query that is not sent as written, a column its ORDER BY sorts
// descending continues the other way: "after" is smaller.
TEST_F(condexpr, DescendingQueryColumnInvertsContinuing) {
  CStandInParserLedger::Reset();
  {
    CStandInParserBuilder query(L"SELECT ITEM6 FROM t ORDER BY ITEM6 DESC");
    query.Column(L"ITEM6", L"t", L"ITEM6");
    query.From(L"t");
    query.OrderBy(L"ITEM6", 0);
    CSQLParserInfo* pclQuery = new CSQLParserInfo(m_pLayout->error(), query.pi(), nullptr, 0);
    pclQuery->AddRef();
    m_pLayout->access().SetSourceQuery(pclQuery);
    EXPECT_EQ(1, CNAExpression::s_eGetSensTriColonne(m_pLayout->get(), Col(i4b)));
    EXPECT_EQ(0, CNAExpression::s_eGetSensTriColonne(m_pLayout->get(), Col(i4)));
    EXPECT_EQ(0, CNAExpression::s_eGetSensTriColonne(nullptr, Col(i4b)));

    CNAExpression* pclTree =
        Node(NA_OPERATOR_AND, Leaf(NA_OPERATOR_EQ, i4, Int(1)), Leaf(NA_OPERATOR_EQ, i4b, Int(5)));
    pclTree->AddRef();
    pclTree->pclTransformEqualTo(m_pLayout->get(), nullptr, NA_OPERATOR_GT);
    EXPECT_EQ(NA_OPERATOR_GT, pclTree->pclGetLeftNoRef()->eGetOperator());
    EXPECT_EQ(NA_OPERATOR_LT, pclTree->pclGetRightNoRef()->eGetOperator());
    pclTree->nRelease();

    m_pLayout->access().SetSourceQuery(nullptr);
    pclQuery->nRelease();
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

// An SQL condition joined to an interval is one operand: its OR stays
// inside its brackets, so rows outside the interval do not pass through
// it. Its parameters join the search's list; a clone shares the analysed
// condition.
TEST_F(condexpr, SqlConditionIsBracketed) {
  CStandInParserLedger::Reset();
  {
    std::unique_ptr<CStandInParserBuilder> cond(CStandInParserBuilder::pclCondition(L"c = 1 OR d = 2"));
    CAny one;
    one.SetI4(1);
    CAny two;
    two.SetI4(2);
    cond->Where(cond->Op(2, {cond->Op(9, {cond->Item(L"c", L"", L"c"), cond->Literal(L"1", one)}),
                             cond->Op(9, {cond->Item(L"d", L"", L"d"), cond->Literal(L"2", two)})}));
    CNAExpression* pclSql = Maker()->pclAllocExpression(cond->pi(), CNAExpression::knFlagFilter);
    ASSERT_NE(nullptr, pclSql);
    CNAExpression* pclInterval =
        Node(NA_OPERATOR_AND, Leaf(NA_OPERATOR_GE, i4, Int(3), CNAExpression::knFlagLowerBound),
             Leaf(NA_OPERATOR_LE, i4, Int(5), CNAExpression::knFlagUpperBound));
    CNAExpression* pclTree = Node(NA_OPERATOR_AND, pclInterval, pclSql);
    pclTree->AddRef();
    Written w = Write(pclTree);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(L"(`ITEM0`>=3 AND `ITEM0`<=5 ) AND (`c` = 1 OR `d` = 2 )", w.sText);
    EXPECT_TRUE(w.bListsEqual);
    EXPECT_EQ(4, w.nParameters);  // the interval's two and the condition's literals

    w = Write(pclSql);
    EXPECT_EQ(L"(`c` = 1 OR `d` = 2 )", w.sText);
    EXPECT_TRUE(w.bListsEqual);

    CNAExpression* pclClone = pclTree->pclClone();
    ASSERT_NE(nullptr, pclClone);
    pclClone->AddRef();
    EXPECT_EQ(NA_OPERATOR_SQL, pclClone->pclGetRightNoRef()->eGetOperator());
    EXPECT_EQ(pclSql->pclGetParserInfoNoRef(), pclClone->pclGetRightNoRef()->pclGetParserInfoNoRef());
    const Written c = Write(pclClone);
    EXPECT_EQ(L"(`ITEM0`>=3 AND `ITEM0`<=5 ) AND (`c` = 1 OR `d` = 2 )", c.sText);
    EXPECT_TRUE(c.bListsEqual);

    // The analysis goes before its builder.
    m_pclCommand->ResetCommand(0);
    m_pSearch->_ResetParameter();
    pclClone->nRelease();
    pclTree->nRelease();
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

}  // namespace
