#include "StandInParserBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <cwctype>

namespace {

[[noreturn]] void Missing(const wchar_t* what, const std::wstring& text) {
  std::fprintf(stderr, "stand-in parser: \"%ls\" not found in \"%ls\"\n", what, text.c_str());
  std::abort();
}

bool bSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

std::int64_t Max(std::int64_t a, std::int64_t b) { return a > b ? a : b; }

}  // namespace

CStandInParserBuilder::CStandInParserBuilder(const wchar_t* text, int kind) : m_pclParser(new CStandInSQLParser) {
  m_pclParser->m_sText = text != nullptr ? text : L"";
  m_pclParser->m_nQueryKind = kind;
}

CStandInParserBuilder* CStandInParserBuilder::pclCondition(const wchar_t* text) {
  auto* p = new CStandInParserBuilder(text, 0);
  p->m_pclParser->m_bHasSelect = false;
  return p;
}

CStandInParserBuilder::~CStandInParserBuilder() { delete m_pclParser; }

std::int64_t CStandInParserBuilder::_nFind(const wchar_t* fragment, std::int64_t from) const {
  const std::size_t n = m_pclParser->m_sText.find(fragment, static_cast<std::size_t>(from));
  if (n == std::wstring::npos) Missing(fragment, m_pclParser->m_sText);
  return static_cast<std::int64_t>(n);
}

stSQLPOSITION CStandInParserBuilder::Find(const wchar_t* fragment) {
  const std::int64_t n = _nFind(fragment, m_nPoint);
  m_nPoint = n + static_cast<std::int64_t>(std::wstring(fragment).size());
  return stSQLPOSITION{n, m_nPoint};
}

void CStandInParserBuilder::Seek(const wchar_t* fragment) { m_nPoint = _nFind(fragment, m_nPoint); }

std::int64_t CStandInParserBuilder::nKeywordBefore(const wchar_t* keyword, std::int64_t before) const {
  const std::wstring sText = StandInLower(m_pclParser->m_sText.c_str());
  const std::wstring sKey = StandInLower(keyword);
  if (before < static_cast<std::int64_t>(sKey.size())) Missing(keyword, m_pclParser->m_sText);
  const std::size_t n = sText.rfind(sKey, static_cast<std::size_t>(before) - sKey.size());
  if (n == std::wstring::npos) Missing(keyword, m_pclParser->m_sText);
  return static_cast<std::int64_t>(n);
}

CStandInExpression* CStandInParserBuilder::_pclNode() {
  auto* p = new CStandInExpression;
  m_pclParser->m_tabOwnedTrees.push_back(p);
  return p;
}

namespace {
// A node given as an operand belongs to its parent from then on.
void Adopt(std::vector<CStandInExpression*>& owned, CStandInExpression* child) {
  for (std::size_t i = 0; i < owned.size(); ++i) {
    if (owned[i] == child) {
      owned.erase(owned.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}
}  // namespace

CStandInExpression* CStandInParserBuilder::Item(const wchar_t* fragment, const wchar_t* table, const wchar_t* name,
                                                int typeCode) {
  CStandInExpression* p = _pclNode();
  p->m_nOperateur = 47;
  p->m_stPosition1 = p->m_stPosition2 = Find(fragment);
  p->m_sNomTable = table != nullptr ? table : L"";
  p->m_sNomRubrique = name != nullptr ? name : L"";
  p->m_nTypeCode = typeCode;
  return p;
}

CStandInExpression* CStandInParserBuilder::Literal(const wchar_t* fragment, const CAny& value) {
  CStandInExpression* p = _pclNode();
  p->m_nOperateur = 48;
  p->m_stPosition1 = p->m_stPosition2 = Find(fragment);
  p->m_clLiteral = value;
  p->m_bLiteral = true;
  return p;
}

CStandInExpression* CStandInParserBuilder::Leaf(const wchar_t* fragment, int code) {
  CStandInExpression* p = _pclNode();
  p->m_nOperateur = code;
  p->m_stPosition1 = p->m_stPosition2 = Find(fragment);
  return p;
}

CStandInInfoRubrique* CStandInParserBuilder::StarColumn(const wchar_t* table, const wchar_t* column) {
  auto* p = new CStandInInfoRubrique;
  p->m_bLedger = true;
  CStandInParserLedger::Register(eParserCount::Rubrique, p->pnGetCountAddress());
  m_pclParser->m_tabRubriques.push_back(p);
  p->m_sNomTable = p->m_sNomTableLogique = table;
  p->m_sNomRubrique = p->m_sNom = column;
  return p;
}

CStandInExpression* CStandInParserBuilder::TextLiteral(const wchar_t* fragment) {
  std::wstring s = fragment;
  std::wstring sValue;
  for (std::size_t i = 1; i + 1 < s.size(); ++i) {
    sValue += s[i];
    if (s[i] == L'\'' && s[i + 1] == L'\'') ++i;
  }
  CAny clValue;
  clValue.__SetType(ANY_DSTRW, 0);
  clValue.SetValue(sValue.c_str(), sValue.size() * sizeof(wchar_t));
  return Literal(fragment, clValue);
}

CStandInExpression* CStandInParserBuilder::Op(int code, std::initializer_list<CStandInExpression*> operands) {
  CStandInExpression* p = _pclNode();
  p->m_nOperateur = code;
  std::int64_t nStart = -1, nStop = -1;
  for (CStandInExpression* c : operands) {
    Adopt(m_pclParser->m_tabOwnedTrees, c);
    p->m_tabOperandes.push_back(c);
    if (nStart < 0) nStart = c->m_stPosition2.nStart;
    nStop = Max(nStop, c->m_stPosition2.nStop);
  }
  p->m_stPosition1 = p->m_stPosition2 = stSQLPOSITION{nStart, nStop};
  return p;
}

CStandInExpression* CStandInParserBuilder::Func(int code, const wchar_t* name,
                                                std::initializer_list<CStandInExpression*> operands) {
  CStandInExpression* p = Op(code, operands);
  const std::int64_t nStart = nKeywordBefore(name, p->m_stPosition2.nStart);
  const std::int64_t nClose = _nFind(L")", p->m_stPosition2.nStop);
  p->m_stPosition1 = p->m_stPosition2 = stSQLPOSITION{nStart, nClose + 1};
  if (m_nPoint < nClose + 1) m_nPoint = nClose + 1;
  return p;
}

CStandInExpression* CStandInParserBuilder::Bracket(CStandInExpression* node) {
  const std::wstring& s = m_pclParser->m_sText;
  std::int64_t nStart = node->m_stPosition2.nStart;
  while (nStart > 0 && bSpace(s[static_cast<std::size_t>(nStart - 1)])) --nStart;
  if (nStart == 0 || s[static_cast<std::size_t>(nStart - 1)] != L'(') Missing(L"(", s);
  const std::int64_t nClose = _nFind(L")", node->m_stPosition2.nStop);
  node->m_stPosition1 = node->m_stPosition2 = stSQLPOSITION{nStart - 1, nClose + 1};
  if (m_nPoint < nClose + 1) m_nPoint = nClose + 1;
  return node;
}

CStandInInfoRubrique* CStandInParserBuilder::Column(const wchar_t* fragment, const wchar_t* table,
                                                    const wchar_t* column, const wchar_t* alias,
                                                    const wchar_t* logicalTable) {
  auto* p = new CStandInInfoRubrique;
  p->m_bLedger = true;
  CStandInParserLedger::Register(eParserCount::Rubrique, p->pnGetCountAddress());
  m_pclParser->m_tabRubriques.push_back(p);
  p->m_stPosition = Find(fragment);
  p->m_sNomTable = table != nullptr ? table : L"";
  p->m_sNomRubrique = column != nullptr ? column : L"";
  p->m_sNomTableLogique = logicalTable != nullptr ? logicalTable : p->m_sNomTable;
  p->m_sNom = p->m_sNomRubrique;
  if (alias != nullptr) {
    p->m_stAliasPosition = Find(alias);
    p->m_sAlias = alias;
    p->m_sNom = alias;
  }
  return p;
}

CStandInInfoRubrique* CStandInParserBuilder::Calculated(CStandInExpression* tree, const wchar_t* alias) {
  auto* p = new CStandInInfoRubrique;
  p->m_bLedger = true;
  CStandInParserLedger::Register(eParserCount::Rubrique, p->pnGetCountAddress());
  m_pclParser->m_tabRubriques.push_back(p);
  p->m_bCalcul = 1;
  p->m_bModifiable = 0;
  p->m_piExpression = tree;
  p->m_stPosition = tree->m_stPosition2;
  if (m_nPoint < tree->m_stPosition2.nStop) m_nPoint = tree->m_stPosition2.nStop;
  if (alias != nullptr) {
    p->m_stAliasPosition = Find(alias);
    p->m_sAlias = alias;
    p->m_sNom = alias;
  } else {
    p->m_sNom = m_pclParser->m_sText.substr(static_cast<std::size_t>(tree->m_stPosition2.nStart),
                                            static_cast<std::size_t>(tree->m_stPosition2.nStop -
                                                                     tree->m_stPosition2.nStart));
  }
  return p;
}

CStandInInfoFrom* CStandInParserBuilder::From(const wchar_t* name, const wchar_t* alias, const wchar_t* dbTable) {
  auto* p = new CStandInInfoFrom;
  m_pclParser->m_tabFroms.push_back(p);
  p->m_sNomTable = name;
  p->m_stNomPosition = Find(name);
  p->m_stPosition = p->m_stNomPosition;
  p->m_sAlias = name;
  if (alias != nullptr) {
    p->m_stAliasPosition = Find(alias);
    p->m_stPosition.nStop = p->m_stAliasPosition.nStop;
    p->m_sAlias = alias;
  }
  auto* pclSource = new CStandInDataSource(name, dbTable != nullptr ? dbTable : name);
  m_pclParser->m_tabOwnedSources.push_back(pclSource);
  p->m_pclSource = pclSource;
  m_pclParser->m_mapSources[StandInLower(name)] = pclSource;
  if (dbTable != nullptr) m_pclParser->m_mapPhysicalNames[name] = dbTable;
  m_pclParser->m_anEnd[0] = p->m_stPosition.nStop;
  return p;
}

void CStandInParserBuilder::Join(CStandInExpression* tree) {
  Adopt(m_pclParser->m_tabOwnedTrees, tree);
  m_pclParser->m_tabOwnedTrees.push_back(tree);
  m_pclParser->m_tabJoins.push_back(CStandInSQLParser::stJoin{tree, tree->m_stPosition2});
}

void CStandInParserBuilder::Where(CStandInExpression* tree) {
  m_pclParser->m_pclWhere = tree;
  if (!m_pclParser->m_bHasSelect) {
    m_pclParser->m_stWhere = stSQLPOSITION{0, static_cast<std::int64_t>(m_pclParser->m_sText.size())};
    return;
  }
  m_pclParser->m_stWhere = stSQLPOSITION{nKeywordBefore(L"WHERE", tree->m_stPosition2.nStart),
                                         tree->m_stPosition2.nStop};
  m_pclParser->m_anEnd[1] = tree->m_stPosition2.nStop;
}

void CStandInParserBuilder::Having(CStandInExpression* tree) {
  m_pclParser->m_pclHaving = tree;
  m_pclParser->m_stHaving = stSQLPOSITION{nKeywordBefore(L"HAVING", tree->m_stPosition2.nStart),
                                          tree->m_stPosition2.nStop};
  m_pclParser->m_anEnd[2] = Max(m_pclParser->m_anEnd[2], tree->m_stPosition2.nStop);
}

CStandInInfoGroupe* CStandInParserBuilder::GroupBy(const wchar_t* fragment, const wchar_t* table,
                                                   const wchar_t* item, const wchar_t* itemAlias) {
  auto* p = new CStandInInfoGroupe;
  m_pclParser->m_tabGroupes.push_back(p);
  p->m_stPosition = Find(fragment);
  p->m_bAvecTable = table != nullptr && table[0] != 0 ? 1 : 0;
  p->m_sNomTable = table != nullptr ? table : L"";
  p->m_sNomFichier = p->m_sNomTable;
  p->m_sNomRubrique = item != nullptr ? item : L"";
  p->m_sAlias = fragment;
  p->m_sNomRubriqueAlias = itemAlias != nullptr ? itemAlias : p->m_sNomRubrique;
  stSQLPOSITION& r = m_pclParser->m_stGroupBy;
  if (!r.bValid()) r.nStart = nKeywordBefore(L"GROUP", p->m_stPosition.nStart);
  r.nStop = p->m_stPosition.nStop;
  m_pclParser->m_anEnd[2] = Max(m_pclParser->m_anEnd[2], r.nStop);
  return p;
}

CStandInInfoOrderBy* CStandInParserBuilder::OrderBy(const wchar_t* fragment, int index, int lien) {
  auto* p = new CStandInInfoOrderBy;
  m_pclParser->m_tabOrderBy.push_back(p);
  p->m_stPosition = Find(fragment);
  p->m_nIndice = index;
  p->m_nLien = lien;
  p->m_sTexte = fragment;
  // The direction word after the item, if any.
  const std::wstring& s = m_pclParser->m_sText;
  std::size_t i = static_cast<std::size_t>(p->m_stPosition.nStop);
  while (i < s.size() && bSpace(s[i])) ++i;
  std::size_t k = i;
  while (k < s.size() && std::iswalpha(static_cast<wint_t>(s[k]))) ++k;
  const std::wstring sWord = StandInLower(s.substr(i, k - i).c_str());
  std::int64_t nEnd = p->m_stPosition.nStop;
  if (sWord == L"desc" || sWord == L"asc") {
    p->m_nDirection = sWord == L"desc" ? 1 : 0;
    nEnd = static_cast<std::int64_t>(k);
  }
  stSQLPOSITION& r = m_pclParser->m_stOrderBy;
  if (!r.bValid()) r.nStart = nKeywordBefore(L"ORDER", p->m_stPosition.nStart);
  r.nStop = nEnd;
  m_pclParser->m_anEnd[3] = nEnd;
  if (m_nPoint < nEnd) m_nPoint = nEnd;
  return p;
}

CStandInAffectation* CStandInParserBuilder::Set(CStandInExpression* column, CStandInExpression* value) {
  auto* p = new CStandInAffectation;
  m_pclParser->m_tabAffectations.push_back(p);
  p->m_pclColonne = column;
  p->m_pclValeur = value;
  p->m_stPosition = stSQLPOSITION{column->m_stPosition2.nStart, value->m_stPosition2.nStop};
  return p;
}

CStandInInsertion* CStandInParserBuilder::InsertColumn(const wchar_t* fragment, const wchar_t* table,
                                                       const wchar_t* column) {
  auto* p = new CStandInInsertion;
  m_pclParser->m_tabInsertions.push_back(p);
  p->m_stColonnePosition = Find(fragment);
  p->m_sNomTable = table != nullptr ? table : L"";
  p->m_sNomRubrique = column != nullptr ? column : L"";
  return p;
}

void CStandInParserBuilder::InsertValue(CStandInInsertion* column, CStandInExpression* value) {
  column->m_pclValeur = value;
  column->m_stValeurPosition = value->m_stPosition2;
}

void CStandInParserBuilder::Bind(const wchar_t* fragment, const wchar_t* name, const CAny& value,
                                 std::uint32_t flags) {
  CStandInSQLParser::stEntry e;
  const stSQLPOSITION r = Find(fragment);
  e.st.bBindValue = 1;
  e.st.nPosition = r.nStart;
  e.st.nLength = r.nStop - r.nStart;
  e.st.nFlags = flags;
  e.sName = name != nullptr ? name : L"";
  e.clValue = value;
  m_pclParser->m_tabEntries.push_back(e);
}

void CStandInParserBuilder::ItemRef(const wchar_t* fragment, const wchar_t* table, const wchar_t* item) {
  CStandInSQLParser::stEntry e;
  const stSQLPOSITION r = Find(fragment);
  e.st.nPosition = r.nStart;
  e.st.nLength = r.nStop - r.nStart;
  e.sTable = table != nullptr ? table : L"";
  e.sItem = item != nullptr ? item : L"";
  m_pclParser->m_tabEntries.push_back(e);
}

CStandInItemDescription* CStandInParserBuilder::Describe(CStandInInfoRubrique* item, std::uint32_t type) {
  auto* p = new CStandInItemDescription(item->m_sNomRubrique.c_str(), type);
  m_pclParser->m_tabOwnedItems.push_back(p);
  m_pclParser->m_mapItemDescriptions[item] = p;
  return p;
}

CStandInItemDescription* CStandInParserBuilder::TableItem(CStandInInfoFrom* table, const wchar_t* name,
                                                          std::uint32_t type, std::uint32_t size) {
  auto* p = new CStandInItemDescription(name, type);
  p->m_nSize = size;
  m_pclParser->m_tabOwnedItems.push_back(p);
  table->m_pclSource->AddItem(p);
  return p;
}

void CStandInParserBuilder::PhysicalName(const wchar_t* logical, const wchar_t* physical) {
  m_pclParser->m_mapPhysicalNames[logical] = physical;
}
