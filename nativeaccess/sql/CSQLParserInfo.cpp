#include "CSQLParserInfo.h"

#include <cwctype>
#include <memory>
#include <new>

#include "CInfoGroupe.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "IExpOpExpression.h"
#include "IInfoAffectation.h"
#include "IInfoFrom.h"
#include "IInfoGroupe.h"
#include "IInfoInsertion.h"
#include "IInfoOrderBy.h"
#include "IInfoRubrique.h"
#include "IInfoSelect.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"
#include "INAQueryParametersValue.h"
#include "StrFunctions.h"

namespace {

// Text comparison of names: case and accents ignored.
bool bSameName(const wchar_t* a, const wchar_t* b) {
  return STR_nCompareW(a != nullptr ? a : L"", b != nullptr ? b : L"", 3) == 0;
}

bool bEmpty(const wchar_t* p) { return p == nullptr || p[0] == 0; }

// The room of the first physical-name request: 260 characters and the
// terminator, the size the runtime's names never exceeded.
constexpr std::size_t knPhysicalNameRoom = 261;

// Gives back a description's reference (null: nothing).
void ReleaseItem(INAItemDescription* pi) {
  if (pi != nullptr) pi->nExternalRelease();
}

// An item that identifies a row by its description: a primary key, or a
// unique key whose values cannot be NULL (descriptions above version 8
// say so; older ones only for the automatic identifiers, types 1 and 28).
bool bIdentifiesRow(INAItemDescription* pi) {
  if (pi->bPrimary(0)) return true;
  if (!pi->bUnique(0)) return false;
  if (pi->nGetVersion() > 8) return pi->vbConstraintNullAllowed() == 0;
  const auto eType = static_cast<std::uint32_t>(pi->eNAGetItemType());
  return eType == 1 || eType == 28;
}

template <class T>
T* Enumerate(const std::vector<T*>& tab, int* cursor, int first) {
  if (first != 0) *cursor = 0;
  if (*cursor < 0 || static_cast<std::size_t>(*cursor) >= tab.size()) return nullptr;
  return tab[static_cast<std::size_t>((*cursor)++)];
}

bool bWordChar(wchar_t c) { return std::iswalnum(static_cast<wint_t>(c)) || c == L'_' || c == L'$'; }

}  // namespace

CSQLParserInfo::CSQLParserInfo(CNAError* error, ISQLParserInformation* parser, INAQueryParametersValue* parameters,
                               int conditionMode)
    : m_pclError(error) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  Set(parser, parameters, conditionMode);
}

CSQLParserInfo::~CSQLParserInfo() {
  Set(nullptr, nullptr, 0);
  SetRecord(nullptr);
  if (m_pclError != nullptr) m_pclError->nRelease();
}

void CSQLParserInfo::Set(ISQLParserInformation* parser, INAQueryParametersValue* parameters, int conditionMode) {
  // 1. The lists, last first.
  for (std::size_t i = m_tabFrom.size(); i-- > 0;) m_tabFrom[i]->nRelease();
  for (std::size_t i = m_tabOut.size(); i-- > 0;) m_tabOut[i]->nRelease();
  for (std::size_t i = m_tabGroupe.size(); i-- > 0;) m_tabGroupe[i]->Release();
  for (std::size_t i = m_tabOrderBy.size(); i-- > 0;) m_tabOrderBy[i]->nRelease();
  m_tabFrom.clear();
  m_tabOut.clear();
  m_tabGroupe.clear();
  m_tabOrderBy.clear();
  m_tabUpdate.clear();
  m_tabInsert.clear();
  m_tabOrderRubriques.clear();
  m_nFromCursor = m_nOutCursor = m_nGroupeCursor = m_nOrderByCursor = -1;
  m_nUpdateCursor = m_nInsertCursor = m_nOrderRubriqueCursor = -1;
  // The borrowed items pointed into the lists just given back, and the
  // row-limit answer was about the old text.
  m_piBestParse = m_piIdentifier = m_piUnique = m_piKey = m_piOrderBy = nullptr;
  m_nRowLimitAnswer = -1;
  m_piSelect = nullptr;
  // 2. The analysis itself.
  if (m_piParser != nullptr) {
    m_piParser->nRelease();
    m_piParser = nullptr;
    m_nQueryKind = 0;
  }
  m_bNotModifiable = 0;
  m_bGroupingFunction = 0;
  if (m_piWhere != nullptr) m_piWhere->Release();
  if (m_piHaving != nullptr) m_piHaving->Release();
  m_piWhere = m_piHaving = nullptr;
  m_bConditionMode = conditionMode != 0 ? 1 : 0;

  // 3. The new analysis.
  if (parser != nullptr) {
    SQLParser_AddRef(parser);
    m_piParser = parser;
    m_piSelect = parser->piGetSelect();
    if (m_piSelect != nullptr) {
      // 4. FROM tables.
      for (IInfoFrom* pi = m_piSelect->piEnumFichierFrom(1); pi != nullptr; pi = m_piSelect->piEnumFichierFrom(0)) {
        SQLParser_AddRef(pi);
        m_tabFrom.push_back(pi);
      }
      // 5. Output items, classified as they come.
      for (IInfoRubrique* pi = m_piSelect->piEnumRubriqueOUT(1); pi != nullptr;
           pi = m_piSelect->piEnumRubriqueOUT(0)) {
        SQLParser_AddRef(pi);
        m_tabOut.push_back(pi);
        _Classify(pi);
      }
      // 6. GROUP BY copies and ORDER BY items.
      if (conditionMode == 0) {
        if (m_piSelect->nGetGroupeNbr() > 0) {
          for (IInfoGroupe* pi = m_piSelect->piEnumGroupe(1); pi != nullptr; pi = m_piSelect->piEnumGroupe(0)) {
            auto* pclCopy = new (std::nothrow) CInfoGroupe(pi);
            if (pclCopy == nullptr) break;
            pclCopy->AddRef();
            m_tabGroupe.push_back(pclCopy);
          }
        }
        for (IInfoOrderBy* pi = m_piSelect->piEnumOrderBy(1); pi != nullptr; pi = m_piSelect->piEnumOrderBy(0)) {
          SQLParser_AddRef(pi);
          m_tabOrderBy.push_back(pi);
          IInfoRubrique* piItem = piGetRubriqueOUT(pi->nGetIndiceRubrique());
          if (m_tabOrderBy.size() == 1) m_piOrderBy = m_piBestParse = piItem;
          if (piItem != nullptr) m_tabOrderRubriques.push_back(piItem);
        }
      }
      // 7. The best parse item when the ORDER BY gave none.
      if (m_piBestParse == nullptr && !m_tabOut.empty()) {
        m_piBestParse = m_piIdentifier != nullptr ? m_piIdentifier
                        : m_piUnique != nullptr   ? m_piUnique
                        : m_piKey != nullptr      ? m_piKey
                                                  : m_tabOut.front();
      }
    }
    // 9. Kind and trees (8 needs the kind).
    m_nQueryKind = parser->nGetQueryKind();
    if (m_piSelect != nullptr) {
      // 8. UPDATE and INSERT items (borrowed).
      if (m_nQueryKind == 3) {
        for (IInfoAffectation* pi = m_piSelect->piEnumAffectation(1); pi != nullptr;
             pi = m_piSelect->piEnumAffectation(0))
          m_tabUpdate.push_back(pi);
      } else if (m_nQueryKind == 4) {
        for (IInfoInsertion* pi = m_piSelect->piEnumInsertion(1); pi != nullptr; pi = m_piSelect->piEnumInsertion(0))
          m_tabInsert.push_back(pi);
      }
    }
    m_piWhere = parser->piGetWhere();
    if (conditionMode == 0) m_piHaving = parser->piGetHaving();
  }
  // 10. The bind values.
  if (m_piParameters != nullptr) m_piParameters->nExternalRelease();
  m_piParameters = parameters;
  if (m_piParameters != nullptr) m_piParameters->ExternalAddRef();
}

void CSQLParserInfo::_Classify(IInfoRubrique* pi) {
  if (pi->bIsCalcul()) {
    // Only the root is asked: SUM(x)+1 is refused through slot 23 instead.
    if (m_bGroupingFunction == 0) {
      IExpOpExpression* piTree = pi->piGetExpression();
      if (piTree != nullptr) {
        if (s_bIsGroupmentColumn(piTree->eGetOperateur())) m_bGroupingFunction = 1;
        piTree->Release();
      }
    }
  }
  if (pi->bModifiable() == 0) m_bNotModifiable = 1;
  if (pi->bIsCalcul() || m_tabFrom.size() != 1 || m_piIdentifier != nullptr) return;
  INAItemDescription* piDesc = piGetItemDescription(pi);
  if (piDesc == nullptr) return;
  if (!piDesc->bIsComposedKey(0)) {
    if (bIdentifiesRow(piDesc)) {
      m_piIdentifier = m_piUnique = m_piKey = pi;
    } else if (m_piUnique == nullptr && piDesc->bUnique(0)) {
      m_piUnique = m_piKey = pi;
    } else if (m_piKey == nullptr && piDesc->bDuplicates(0)) {
      m_piKey = pi;
    }
  }
  ReleaseItem(piDesc);
}

void CSQLParserInfo::SetRecord(CNARecord* record) {
  if (record != nullptr) record->AddRef();
  if (m_pclRecord != nullptr) m_pclRecord->nRelease();
  m_pclRecord = record;
}

// ---- Lists --------------------------------------------------------------------

IInfoFrom* CSQLParserInfo::piEnumFichierFrom(int first) { return Enumerate(m_tabFrom, &m_nFromCursor, first); }
IInfoRubrique* CSQLParserInfo::piEnumRubriqueOUT(int first) { return Enumerate(m_tabOut, &m_nOutCursor, first); }
IInfoGroupe* CSQLParserInfo::piEnumRubriqueClauseGroupe(int first) {
  return Enumerate(m_tabGroupe, &m_nGroupeCursor, first);
}
IInfoOrderBy* CSQLParserInfo::piEnumOrderByItem(int first) {
  return Enumerate(m_tabOrderBy, &m_nOrderByCursor, first);
}
IInfoAffectation* CSQLParserInfo::piEnumRubriqueUpdate(int first) {
  return Enumerate(m_tabUpdate, &m_nUpdateCursor, first);
}
IInfoInsertion* CSQLParserInfo::piEnumRubriqueInsert(int first) {
  return Enumerate(m_tabInsert, &m_nInsertCursor, first);
}
IInfoRubrique* CSQLParserInfo::piEnumRubriqueClauseOrder(int first) {
  return Enumerate(m_tabOrderRubriques, &m_nOrderRubriqueCursor, first);
}

IInfoRubrique* CSQLParserInfo::piGetRubriqueOUT(int n) const {
  if (n < 0 || static_cast<std::size_t>(n) >= m_tabOut.size()) return nullptr;
  return m_tabOut[static_cast<std::size_t>(n)];
}

IInfoFrom* CSQLParserInfo::piGetFichierFrom(int n) const {
  if (n < 0 || static_cast<std::size_t>(n) >= m_tabFrom.size()) return nullptr;
  return m_tabFrom[static_cast<std::size_t>(n)];
}

IInfoRubrique* CSQLParserInfo::piEnumRubriqueOUT(const wchar_t* name) {
  for (IInfoRubrique* pi : m_tabOut) {
    try {
      if (bSameName(pi->pszGetNom(), name)) return pi;
    } catch (...) {
      return nullptr;
    }
  }
  return nullptr;
}

// ---- The query ------------------------------------------------------------------

const wchar_t* CSQLParserInfo::pszGetRequete() const {
  return m_piParser != nullptr ? m_piParser->pszGetSQLText() : nullptr;
}

const wchar_t* CSQLParserInfo::pszGetOrderByItem() {
  return m_piOrderBy != nullptr ? m_piOrderBy->pszGetNom() : nullptr;
}

const wchar_t* CSQLParserInfo::pszGetBestParseItem() {
  return m_piBestParse != nullptr ? m_piBestParse->pszGetNom() : nullptr;
}

INAQueryParametersValue* CSQLParserInfo::piGetUserBindVariable() {
  if (m_piParameters != nullptr) m_piParameters->ExternalAddRef();
  return m_piParameters;
}

int CSQLParserInfo::bHPrepareRequeteCalled() {
  return m_piParameters != nullptr ? (m_piParameters->bPreparedByProgram() != 0 ? 1 : 0) : 0;
}

// ---- Descriptions and names --------------------------------------------------------

INADataSourceDescription* CSQLParserInfo::piGetNADataSourceDescription(const wchar_t* table) {
  if (m_piParser == nullptr) return nullptr;
  try {
    return m_piParser->piGetDataSourceDescription(table);
  } catch (...) {
    return nullptr;
  }
}

INAItemDescription* CSQLParserInfo::piGetItemDescription(const IInfoRubrique* item) {
  if (item == nullptr || m_piParser == nullptr) return nullptr;
  auto* pi = const_cast<IInfoRubrique*>(item);
  try {
    if (pi->bIsCalcul()) return nullptr;
    return m_piParser->piGetItemDescription(pi);
  } catch (...) {
    return nullptr;
  }
}

CTString CSQLParserInfo::s_csGetPhysicalName(const wchar_t* name, ISQLParserInformation* parser) {
  CTString csResult;
  if (bEmpty(name) || parser == nullptr) return csResult;
  try {
    // A buffer per call: two names asked one after the other (a table and
    // its item) both stay valid, and a long name is asked again whole.
    std::size_t nRoom = knPhysicalNameRoom;
    std::unique_ptr<wchar_t[]> pBuffer(new (std::nothrow) wchar_t[nRoom]());
    if (pBuffer == nullptr) return csResult;
    std::size_t nNeeded = parser->nGetPhysicalName(name, pBuffer.get(), nRoom);
    if (nNeeded >= nRoom) {
      nRoom = nNeeded + 1;
      pBuffer.reset(new (std::nothrow) wchar_t[nRoom]());
      if (pBuffer == nullptr) return csResult;
      nNeeded = parser->nGetPhysicalName(name, pBuffer.get(), nRoom);
    }
    pBuffer[nRoom - 1] = 0;  // whatever the parser did, the copy ends in the buffer
    csResult.Set(pBuffer.get());
  } catch (...) {
    csResult.Vide();
  }
  return csResult;
}

CTString CSQLParserInfo::csGetPhysicalName(IInfoRubrique* item) const {
  CTString csResult;
  if (item == nullptr) return csResult;
  const wchar_t* pszLogical = nullptr;
  try {
    pszLogical = item->pszGetNomTableLogique();
  } catch (...) {
    return csResult;
  }
  if (bEmpty(pszLogical)) return csResult;
  csResult = s_csGetPhysicalName(pszLogical, m_piParser);
  if (csResult.nTaille() == 0) csResult.Set(pszLogical);
  return csResult;
}

IInfoRubrique* CSQLParserInfo::g_piGetInfoRubriqueFromAlias(ISQLParserInformation* parser, const wchar_t* table,
                                                            const wchar_t* name) {
  if (parser == nullptr) return nullptr;
  try {
    IInfoSelect* piSelect = parser->piGetSelect();
    if (piSelect == nullptr) return nullptr;
    for (IInfoRubrique* pi = piSelect->piEnumRubriqueOUT(1); pi != nullptr; pi = piSelect->piEnumRubriqueOUT(0)) {
      if (bEmpty(table)) {
        if (bSameName(pi->pszGetNom(), name)) return pi;
      } else if (!pi->bIsCalcul() && bSameName(pi->pszGetNomTable(), table) && bSameName(pi->pszGetNom(), name)) {
        return pi;
      }
    }
  } catch (...) {
  }
  return nullptr;
}

int CSQLParserInfo::bIsTableAlias(const wchar_t* name, INADataSourceDescription** description) {
  if (description != nullptr) *description = nullptr;
  for (IInfoFrom* pi : m_tabFrom) {
    if (!bSameName(pi->pszGetAlias(), name)) continue;
    if (!bSameName(pi->pszGetAlias(), pi->pszGetNomTable())) return 1;
    if (description != nullptr && m_piParser != nullptr) {
      try {
        *description = m_piParser->piGetDataSourceDescription(pi);
      } catch (...) {
        *description = nullptr;
      }
    }
    return 0;
  }
  if (description != nullptr) *description = piGetNADataSourceDescription(name);
  return 0;
}

IInfoGroupe* CSQLParserInfo::piGetRubriqueClauseGroupe(const CNAColumn* column) {
  if (column == nullptr) return nullptr;
  for (CInfoGroupe* pcl : m_tabGroupe) {
    if (bSameName(pcl->pszGetNomRubriqueAlias(), column->pszGetName())) return pcl;
  }
  return nullptr;
}

IInfoOrderBy* CSQLParserInfo::piGetRubriqueClauseOrder(const CNAColumn* column) {
  if (column == nullptr) return nullptr;
  auto* pclColumn = const_cast<CNAColumn*>(column);
  for (IInfoOrderBy* pi : m_tabOrderBy) {
    IInfoRubrique* piItem = piGetRubriqueOUT(pi->nGetIndiceRubrique());
    if (piItem == nullptr) continue;
    try {
      if (bSameName(piItem->pszGetNom(), column->pszGetName())) return pi;
      if (bSameName(piItem->pszGetNomRubrique(), column->pszGetOriginalName()) &&
          bSameName(csGetPhysicalName(piItem).pszGet(), pclColumn->pszGetAliasNomTable()))
        return pi;
    } catch (...) {
    }
  }
  return nullptr;
}

int CSQLParserInfo::bRubriqueSourceIsMemo(const CNAColumn* column) {
  if (column == nullptr) return 0;
  IInfoRubrique* pi = piEnumRubriqueOUT(column->pszGetName());
  if (pi == nullptr) return 0;
  if (!pi->bIsCalcul()) return column->bIsMemo() ? 1 : 0;
  IExpOpExpression* piTree = pi->piGetExpression();
  if (piTree == nullptr) return 0;
  const int bMemo = _bTreeReachesMemo(piTree);
  piTree->Release();
  return bMemo;
}

int CSQLParserInfo::_bTreeReachesMemo(IExpOpExpression* node) {
  const int nOp = node->eGetOperateur();
  if (nOp == 47) {
    const int nType = node->nGetTypeCode();
    return nType == 15 || nType == 16 || nType == 29 || nType == 30 || nType == 40 ? 1 : 0;
  }
  if (nOp == 48 || nOp == 49) return 0;
  int nCursor = 0;
  for (IExpOpExpression* pi = node->piGetOperande(&nCursor); pi != nullptr; pi = node->piGetOperande(&nCursor)) {
    const int bMemo = _bTreeReachesMemo(pi);
    pi->Release();
    if (bMemo) return 1;
  }
  return 0;
}

int CSQLParserInfo::bRubriqueUnique(const IInfoRubrique* item) {
  if (m_piUnique == nullptr || item == nullptr) return 0;
  if (item == m_piUnique) return 1;
  INAItemDescription* pi = piGetItemDescription(item);
  if (pi == nullptr) return 0;
  const int bUnique = pi->bUnique(0) ? 1 : 0;
  ReleaseItem(pi);
  return bUnique;
}

int CSQLParserInfo::bRubriqueUniqueNotNull(const IInfoRubrique* item) {
  if (m_piIdentifier == nullptr || item == nullptr) return 0;
  if (item == m_piIdentifier) return 1;
  INAItemDescription* pi = piGetItemDescription(item);
  if (pi == nullptr) return 0;
  const int bResult = bIdentifiesRow(pi) ? 1 : 0;
  ReleaseItem(pi);
  return bResult;
}

int CSQLParserInfo::bQueryContainIdAuto(ISQLParserInformation* parser) {
  if (parser == nullptr) return 0;
  IInfoSelect* piSelect = parser->piGetSelect();
  if (piSelect == nullptr) return 0;
  int nFrom = 0;
  for (IInfoFrom* pi = piSelect->piEnumFichierFrom(1); pi != nullptr; pi = piSelect->piEnumFichierFrom(0)) ++nFrom;
  if (nFrom > 1) return 0;
  for (IInfoRubrique* pi = piSelect->piEnumRubriqueOUT(1); pi != nullptr; pi = piSelect->piEnumRubriqueOUT(0)) {
    const int nType = pi->nGetTypeCode();
    if (nType == 38 || nType == 24) return 1;
  }
  return 0;
}

int CSQLParserInfo::s_bContainsWord(const wchar_t* text, const wchar_t* word) {
  if (text == nullptr || bEmpty(word)) return 0;
  std::size_t nWord = 0;
  while (word[nWord] != 0) ++nWord;
  for (std::size_t i = 0; text[i] != 0; ++i) {
    if (i > 0 && bWordChar(text[i - 1])) continue;
    std::size_t k = 0;
    while (k < nWord && text[i + k] != 0 &&
           std::towupper(static_cast<wint_t>(text[i + k])) == std::towupper(static_cast<wint_t>(word[k])))
      ++k;
    if (k == nWord && !bWordChar(text[i + nWord])) return 1;
  }
  return 0;
}

int CSQLParserInfo::bHOperationAllowed() {
  if (m_bGroupingFunction || !m_tabGroupe.empty() || m_bNotModifiable) return 0;
  const wchar_t* pszText = pszGetRequete();
  // A DISTINCT query's rows need not be rows of a table, whatever the
  // spelling or the white space around the word.
  if (s_bContainsWord(pszText, L"DISTINCT") || s_bContainsWord(pszText, L"DISTINCTROW")) return 0;
  return 1;
}

int CSQLParserInfo::bQueryResultsetLimited(CNAConnectionDescription* cnx) {
  if (m_nRowLimitAnswer == -1) m_nRowLimitAnswer = CNACommand::s_bQueryResultsetLimited(cnx, pszGetRequete());
  return m_nRowLimitAnswer == 1 ? 1 : 0;
}

CTString CSQLParserInfo::csGetFichierFrom_DBTableName(int n) {
  CTString csResult;
  IInfoFrom* pi = piGetFichierFrom(n);
  if (pi == nullptr || m_piParser == nullptr) return csResult;
  INADataSourceDescription* piDesc = nullptr;
  try {
    piDesc = m_piParser->piGetDataSourceDescription(pi);
  } catch (...) {
    return csResult;
  }
  if (piDesc == nullptr) return csResult;
  csResult.Set(piDesc->pszGetDBTableName());
  piDesc->nExternalRelease();
  return csResult;
}

CSQLParserInfo* CSQLParserInfo::pclGetQueryParserInfoNoRef() const {
  return m_pclRecord != nullptr ? m_pclRecord->pclGetSourceQueryNoRef() : nullptr;
}

int CSQLParserInfo::s_bIsGroupmentColumn(eOPEXPRESSION op) { return op >= 27 && op <= 31 ? 1 : 0; }

int CSQLParserInfo::s_bIsFunction(eOPEXPRESSION op) {
  static const int kanRanges[][2] = {{6, 8},     {27, 31},   {34, 39},   {42, 46},   {50, 57},
                                     {59, 66},   {68, 72},   {74, 95},   {97, 103},  {108, 108},
                                     {136, 148}, {150, 151}, {155, 155}};
  for (const auto& r : kanRanges) {
    if (op >= r[0] && op <= r[1]) return 1;
  }
  return 0;
}
