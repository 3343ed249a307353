// Builds a stand-in parser information from a query text, for tests: the
// test writes the query as text and names its parts by fragments of that
// text; every position the parser answers is found by locating the
// fragment, never counted by hand.
//
// Fragments are located left to right: each one is searched (exactly, case
// kept) from the end of the previous one, so the calls follow the order of
// the text. Seek moves the search point to a fragment without making
// anything. A fragment that cannot be found aborts the test program with a
// message (a test written wrongly).
//
// The builder owns the parser information and everything in it; the
// destructor deletes it (the library's references must all be back).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "StandInInfoRubrique.h"
#include "StandInSQLParser.h"

class CStandInParserBuilder {
 public:
  // A full analysis of `text`, of query kind `kind` (1 SELECT, 3 UPDATE, 4
  // INSERT ...).
  explicit CStandInParserBuilder(const wchar_t* text, int kind = 1);
  // A condition-only analysis: no SELECT part; set the condition with
  // Where (its range is the whole text).
  static CStandInParserBuilder* pclCondition(const wchar_t* text);
  ~CStandInParserBuilder();
  CStandInParserBuilder(const CStandInParserBuilder&) = delete;
  CStandInParserBuilder& operator=(const CStandInParserBuilder&) = delete;

  CStandInSQLParser* p() const { return m_pclParser; }
  ISQLParserInformation* pi() const { return m_pclParser; }
  const std::wstring& sText() const { return m_pclParser->m_sText; }

  // ---- Positions --------------------------------------------------------------
  // The next occurrence of `fragment` from the search point; the point
  // moves past it.
  stSQLPOSITION Find(const wchar_t* fragment);
  // Moves the search point to the start of the next `fragment`; Rewind
  // back to the text's start (to locate the bind values after the tree).
  void Seek(const wchar_t* fragment);
  void Rewind() { m_nPoint = 0; }
  // The last occurrence of `keyword` (case ignored) before `before`.
  std::int64_t nKeywordBefore(const wchar_t* keyword, std::int64_t before) const;

  // ---- Expression nodes (owned by the parser) -------------------------------
  // An item node (code 47) at the next `fragment`; table as written (empty:
  // none), item name, engine type code.
  CStandInExpression* Item(const wchar_t* fragment, const wchar_t* table, const wchar_t* name, int typeCode = 0);
  // A literal node (code 48) at the next `fragment`, holding `value`.
  CStandInExpression* Literal(const wchar_t* fragment, const CAny& value);
  // A text literal: the fragment is the quoted text, the value the text
  // between the quotes with doubled quotes made single.
  CStandInExpression* TextLiteral(const wchar_t* fragment);
  // A leaf of another kind (code 49: a bind value, "*" ...) at `fragment`.
  CStandInExpression* Leaf(const wchar_t* fragment, int code = 49);
  // An operator node over operands; its range runs from the first operand's
  // start to the last one's end.
  CStandInExpression* Op(int code, std::initializer_list<CStandInExpression*> operands);
  // A function node: from the last `name` before the first operand (case
  // ignored) to the ")" after the last one.
  CStandInExpression* Func(int code, const wchar_t* name, std::initializer_list<CStandInExpression*> operands);
  // Marks a node as written inside brackets: its range grows to the "("
  // before it and the ")" after it.
  CStandInExpression* Bracket(CStandInExpression* node);

  // ---- SELECT part ----------------------------------------------------------------
  // A plain output item at the next `fragment` (column as written), its
  // table as written, column name, alias (null: none; located after the
  // column) and logical table name (null: the table as written).
  CStandInInfoRubrique* Column(const wchar_t* fragment, const wchar_t* table, const wchar_t* column,
                               const wchar_t* alias = nullptr, const wchar_t* logicalTable = nullptr);
  // An output item the text does not spell (the items of "SELECT *"): no
  // positions.
  CStandInInfoRubrique* StarColumn(const wchar_t* table, const wchar_t* column);
  // A calculated output item over `tree` (already located), with its alias
  // (null: the tree's text is its name).
  CStandInInfoRubrique* Calculated(CStandInExpression* tree, const wchar_t* alias);
  // A FROM table at the next `name`, with its alias (null: none) located
  // after it; `dbTable` is its server name (null: the name), used for the
  // table's description and the physical name.
  CStandInInfoFrom* From(const wchar_t* name, const wchar_t* alias = nullptr, const wchar_t* dbTable = nullptr);
  // A join whose condition is `tree`.
  void Join(CStandInExpression* tree);
  // WHERE and HAVING: from the keyword before the tree to the tree's end.
  void Where(CStandInExpression* tree);
  void Having(CStandInExpression* tree);
  // A GROUP BY item at the next `fragment`.
  CStandInInfoGroupe* GroupBy(const wchar_t* fragment, const wchar_t* table, const wchar_t* item,
                              const wchar_t* itemAlias = nullptr);
  // An ORDER BY item at the next `fragment` that sorts by output `index`;
  // its direction is read from the word after it.
  CStandInInfoOrderBy* OrderBy(const wchar_t* fragment, int index, int lien = 1);
  // UPDATE: `column = value` (both already located nodes).
  CStandInAffectation* Set(CStandInExpression* column, CStandInExpression* value);
  // INSERT: a column at the next `fragment` of the column list ...
  CStandInInsertion* InsertColumn(const wchar_t* fragment, const wchar_t* table, const wchar_t* column);
  // ... and, later, its value.
  void InsertValue(CStandInInsertion* column, CStandInExpression* value);

  // ---- The bind values and item references list ----------------------------------
  void Bind(const wchar_t* fragment, const wchar_t* name, const CAny& value, std::uint32_t flags = 0x10000);
  void ItemRef(const wchar_t* fragment, const wchar_t* table, const wchar_t* item);

  // ---- Descriptions -------------------------------------------------------------------
  // The item description of output item `item` (slot 21).
  CStandInItemDescription* Describe(CStandInInfoRubrique* item, std::uint32_t type);
  // An item of the FROM table's description (piNAGetItem by name).
  CStandInItemDescription* TableItem(CStandInInfoFrom* table, const wchar_t* name, std::uint32_t type,
                                     std::uint32_t size = 0);
  // A physical name for a logical table name (slot 33).
  void PhysicalName(const wchar_t* logical, const wchar_t* physical);

 private:
  CStandInExpression* _pclNode();
  std::int64_t _nFind(const wchar_t* fragment, std::int64_t from) const;

  CStandInSQLParser* m_pclParser;
  std::int64_t m_nPoint = 0;
};
