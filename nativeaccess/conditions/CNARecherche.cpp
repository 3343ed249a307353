#include "CNARecherche.h"

#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "AnyOperators.h"
#include "CDateTimeBase.h"
#include "CDureeBase.h"
#include "CMoney.h"
#include "CNACommand.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAFilter.h"
#include "CNAParameter.h"
#include "CNARecord.h"
#include "IDecimal.h"
#include "INAItemDescription.h"

namespace {

// The text values a search compares by prefix.
bool IsWideAny(unsigned type) { return type == ANY_DSTRW; }
bool IsAnsiAny(unsigned type) { return type == ANY_DSTRA; }

// The value's stored units (embedded NULs kept); false when unreadable.
// (The data size counts the terminator; the stored length does not.)
bool ReadBytes(const CAny* value, std::size_t unit, const unsigned char** p, std::size_t* n) {
  void* pv = nullptr;
  std::size_t nUnits = 0;
  if (value->nGetSTRLEN(&nUnits) > 99 || value->nGetDataAdr(&pv) > 99) return false;
  *p = static_cast<const unsigned char*>(pv);
  *n = *p != nullptr ? nUnits * unit : 0;
  return true;
}
bool ReadWide(const CAny* value, std::wstring* out) {
  const unsigned char* p = nullptr;
  std::size_t n = 0;
  if (!ReadBytes(value, sizeof(wchar_t), &p, &n)) return false;
  out->assign(n / sizeof(wchar_t), L'\0');
  if (!out->empty()) std::memcpy(&(*out)[0], p, out->size() * sizeof(wchar_t));
  return true;
}
bool ReadAnsi(const CAny* value, std::string* out) {
  const unsigned char* p = nullptr;
  std::size_t n = 0;
  if (!ReadBytes(value, 1, &p, &n)) return false;
  out->assign(reinterpret_cast<const char*>(p), n);
  return true;
}

// A wide text's highest character: U+FFFF, or a value no character has
// (above U+10FFFF); a real character such as U+1F600 is data.
bool IsWideMax(wchar_t c) {
  const std::uint32_t u = static_cast<std::uint32_t>(c);
  return u == 0xFFFFu || u > 0x10FFFFu;
}

bool IsTextColumn(CNAColumn* column) {
  const eNA_ITEMTYPE e = column->eNAGetItemType();
  return e == NA_IT_TEXTE || e == NA_IT_UNICODE || e == NA_IT_MEMOTEXTE || e == NA_IT_MEMOUNICODE;
}

}  // namespace

CNARecherche::CNARecherche(CNAError* error, CNAConnectionDescription* cnx) : CNAExpressionParameters(error, cnx) {}

CNARecherche::~CNARecherche() { _ReleaseTrees(); }

void CNARecherche::_ReleaseTrees() {
  CNAExpression* ap[4] = {m_pclCurrent, m_pclEqual, m_pclAfter, m_pclBefore};
  m_pclCurrent = m_pclEqual = m_pclAfter = m_pclBefore = nullptr;
  for (CNAExpression* p : ap)
    if (p != nullptr) p->nRelease();
}

CNAExpression* CNARecherche::pclAllocExpression() { return new (std::nothrow) CNAExpression(pclGetError()); }

CNARecherche* CNARecherche::_pclAllocRecherche() const {
  return new (std::nothrow) CNARecherche(pclGetError(), pclGetCnx());
}

// ---- Writing -------------------------------------------------------------------

int CNARecherche::bGetSQL(CNACommand* command, CNAFilter* filter, CNARecord* record) {
  return _bWriteSQL(command, filter, record);
}

int CNARecherche::_bWriteSQL(CNACommand* command, CNARecherche* filter, CNARecord* record) {
  if (command == nullptr) return 0;
  command->ResetCommand(0);
  _ResetParameter();
  CNAExpression* pclFilterTree =
      filter != nullptr && filter != this && filter->bIsActive() ? filter->m_pclCurrent : nullptr;
  CNAExpression* pclTree = m_pclCurrent;
  if (pclFilterTree != nullptr && pclTree != nullptr) {
    // The filter's condition, then the search's; a node of this call only.
    const unsigned int nFlags = bIsComposedKeySearch() ? CNAExpression::knFlagComposite : 0u;
    pclTree = pclFilterTree->pclAllocExpression(NA_OPERATOR_AND, pclFilterTree, pclTree, nFlags);
    if (pclTree == nullptr) {
      if (pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
  } else if (pclTree == nullptr) {
    pclTree = pclFilterTree;
  }
  if (pclTree == nullptr) return 1;
  pclTree->AddRef();  // the tree stays while it writes, whatever happens to the search
  SetContinuing(m_nState == 2);
  int bSkip = 0;
  int bResult = pclTree->bGetSQL(command, NA_OPERATOR_NONE, this, &bSkip, record);
  SetContinuing(0);
  if (pclTree->eGetOperator() == NA_OPERATOR_FALSE) {
    const wchar_t* psz = command->pszGetFormatedSQL(PARAMTYPECONV_ALL);
    if (psz == nullptr || *psz == L'\0') command->bComplete(L"0=1");
  }
  if (!bSkip) {
    CColumnNullValueExcluded* pclSet = const_cast<CColumnNullValueExcluded*>(pclTree->pclGetNullSelectedNoRef());
    if (pclSet != nullptr && !command->bCopyColumnValuesNullSelected(pclSet)) bResult = 0;
  }
  pclTree->nRelease();
  return bResult ? 1 : 0;
}

// ---- Setting a search ----------------------------------------------------------------

CNAColumn* CNARecherche::_pclGetUniqueKeyNotNullNoRef(CNARecord* record, const CRefArray<CNAColumn>* keys) {
  if (keys != nullptr) {
    for (int i = 0; i < keys->nGetNbElements(); ++i) {
      CNAColumn* p = (*keys)[i];
      if (p != nullptr && p->bIsUnique() && p->bValueDefined()) return p;
    }
  }
  return record != nullptr ? record->pclGetUniqueKeyNotNullNoRef() : nullptr;
}

CNAExpression* CNARecherche::_pclContinuation(CNARecord* record, eNAOperator op) {
  if (m_pclEqual == nullptr) return nullptr;
  CNAExpression* pclClone = m_pclEqual->pclClone();
  if (pclClone == nullptr) return nullptr;
  pclClone->AddRef();
  const eNAOperator eRoot = pclClone->eGetOperator();
  const bool bInner = eRoot == NA_OPERATOR_AND || eRoot == NA_OPERATOR_OR || eRoot == NA_OPERATOR_NOT;
  CNAExpression* pclDone = pclClone->pclTransformEqualTo(record, nullptr, op);
  if (!bInner && pclDone != nullptr && pclDone != pclClone) {
    // A generic root leaf became a new root holding the old one.
    pclDone->AddRef();
    pclClone->nRelease();
    pclClone = pclDone;
  }
  return pclClone;
}

int CNARecherche::_bSetRecherche(CNARecord* record, INAItemDescription* item, const CAny* value,
                                 eNA_PARSEDIRECTION direction, std::int32_t options,
                                 const CRefArray<CNAColumn>* keys) {
  _ReleaseTrees();
  m_clValue = value != nullptr ? *value : CAny();
  m_eDirection = direction;
  m_nState = 1;
  m_bFound = 0;
  m_nOptions = options;
  m_piFetchItem = item;
  CNAColumn* pclColumn = record != nullptr && item != nullptr ? record->pclGetColumnNoRef(item) : nullptr;
  const unsigned int nOptions = static_cast<unsigned int>(options) & ~static_cast<unsigned int>(knOptNoContinue);
  const bool bRecord = (options & knOptRecord) != 0;

  // The equality: a record search on an item that is not unique finds the
  // row by a unique key with a value.
  CNAColumn* pclUnique = bRecord && pclColumn != nullptr && !pclColumn->bIsUnique()
                             ? _pclGetUniqueKeyNotNullNoRef(record, keys)
                             : nullptr;
  m_pclEqual = pclUnique != nullptr
                   ? _pclAddExpression(record, pclUnique->piGetItemDescription(), NA_OPERATOR_EQ, nullptr, nOptions, keys)
                   : _pclAddExpression(record, item, NA_OPERATOR_EQ, value, nOptions, keys);
  if (m_pclEqual == nullptr) {
    m_nState = 0;
    return 1;
  }
  m_pclEqual->AddRef();

  if ((options & knOptNoContinue) == 0) {
    // A composite key, or a record's key that is not unique or may be NULL,
    // continues in tuple order over its columns; a key that names one row
    // continues by its own comparison.
    const bool bTuple = pclColumn == nullptr || pclColumn->bIsComposedKey() || (bRecord && !pclColumn->bUniqueNotNull());
    if (bTuple) {
      m_pclAfter = _pclAddExpression(record, item, NA_OPERATOR_GT, value, nOptions, keys);
      if (m_pclAfter != nullptr) m_pclAfter->AddRef();
      m_pclBefore = _pclAddExpression(record, item, NA_OPERATOR_LT, value, nOptions, keys);
      if (m_pclBefore != nullptr) m_pclBefore->AddRef();
    } else {
      m_pclAfter = _pclContinuation(record, NA_OPERATOR_GT);
      m_pclBefore = _pclContinuation(record, NA_OPERATOR_LT);
    }
  }
  m_pclCurrent = m_pclEqual;
  m_pclCurrent->AddRef();
  return 1;
}

int CNARecherche::bSetRecherche(CNARecord* record, INAItemDescription* item, const CAny* value,
                                eNA_PARSEDIRECTION direction, int exact, int /*unused*/) {
  return _bSetRecherche(record, item, value, direction, exact == 0 ? knOptGeneric : 0, nullptr);
}

int CNARecherche::bRechercheEnreg(CNARecord* record, INAItemDescription* item, eNA_PARSEDIRECTION direction,
                                  int noContinue, const CRefArray<CNAColumn>* keys) {
  return _bSetRecherche(record, item, nullptr, direction,
                        knOptRecord | knOptRecordSet | (noContinue ? knOptNoContinue : 0), keys);
}

void CNARecherche::_AddExpression(CNAExpression** tree, CNAExpression* leaf, eNAOperator join) {
  if (*tree == nullptr) {
    *tree = leaf;
    leaf->AddRef();
    return;
  }
  CNAExpression* pclNode = (*tree)->pclAllocExpression(join, *tree, leaf, 0u);
  if (pclNode == nullptr) return;
  pclNode->AddRef();
  (*tree)->nRelease();
  *tree = pclNode;
}

int CNARecherche::bAddExpression(CNARecord* record, INAItemDescription* item, eNAOperator op, const CAny* value,
                                 int generic, eNAOperator join, int filterCondition) {
  if (m_nState == 0) _ReleaseTrees();
  const unsigned int nOptions = (generic ? static_cast<unsigned int>(knOptGeneric) : 0u) |
                                (filterCondition ? static_cast<unsigned int>(knOptValueCount) : 0u);
  CNAExpression* pclLeaf = _pclAddExpression(record, item, op, value, nOptions, nullptr);
  if (pclLeaf == nullptr && record != nullptr && item != nullptr && record->pclGetColumnNoRef(item) != nullptr &&
      CNAExpression::s_bExpressionTrue(op, pclGetCnx(), value)) {
    // A comparison that holds for every row builds no leaf, yet it is a
    // condition: left out, x OR (always true) would be x alone. The
    // constant node folds as the writer folds any leaf: away under AND,
    // the whole OR under OR.
    pclLeaf = pclAllocExpression();
    if (pclLeaf != nullptr) pclLeaf->InitExpression(NA_OPERATOR_TRUE, static_cast<CNAExpression*>(nullptr), nullptr, 0u);
  }
  if (pclLeaf != nullptr) {
    pclLeaf->AddRef();
    _AddExpression(&m_pclEqual, pclLeaf, join);
    _AddExpression(&m_pclAfter, pclLeaf, join);
    _AddExpression(&m_pclBefore, pclLeaf, join);
    pclLeaf->nRelease();
  }
  m_nState = 1;
  if (m_pclCurrent != nullptr) m_pclCurrent->nRelease();
  m_pclCurrent = m_pclEqual;
  if (m_pclCurrent != nullptr) m_pclCurrent->AddRef();
  return 1;
}

// ---- Browsing ---------------------------------------------------------------------

int CNARecherche::bSetContinueParcours(eNA_PARSEDIRECTION direction) {
  CNAExpression* pclNext = nullptr;
  if (m_nState == 1) {
    m_nState = 2;
    pclNext = direction == 0 ? m_pclAfter : m_pclBefore;
  } else {
    m_nState = 1;
    pclNext = m_pclEqual;
  }
  if (pclNext != nullptr) pclNext->AddRef();
  if (m_pclCurrent != nullptr) m_pclCurrent->nRelease();
  m_pclCurrent = pclNext;
  m_eDirection = direction;
  return 1;
}

int CNARecherche::bReviensParcoursPrecedent(eNA_PARSEDIRECTION direction) { return bSetContinueParcours(direction); }

int CNARecherche::bPeutContinuerParcours(eNA_PARSEDIRECTION direction) const {
  if (m_nState == 1) return 1;
  if (m_nState == 2) return direction != m_eDirection ? 1 : 0;
  return 0;
}

void CNARecherche::Desactivate() {
  m_nState = 0;
  if (m_pclCurrent != nullptr) m_pclCurrent->nRelease();
  m_pclCurrent = nullptr;
}

// ---- Trees and comparisons ------------------------------------------------------

CNAExpression* CNARecherche::pclGetExpression() const {
  if (m_pclEqual != nullptr) m_pclEqual->AddRef();
  return m_pclEqual;
}

int CNARecherche::bIsComposedKeySearch() const {
  return (m_nOptions & knOptRecord) == 0 && m_piFetchItem != nullptr && m_piFetchItem->bIsComposedKey(0) ? 1 : 0;
}

CNARecherche* CNARecherche::pclClone() const {
  CNARecherche* pclNew = _pclAllocRecherche();
  if (pclNew == nullptr) return nullptr;
  CNAExpression* const* apSrc[4] = {&m_pclEqual, &m_pclAfter, &m_pclBefore, &m_pclCurrent};
  CNAExpression** apDst[4] = {&pclNew->m_pclEqual, &pclNew->m_pclAfter, &pclNew->m_pclBefore,
                              &pclNew->m_pclCurrent};
  for (int i = 0; i < 4; ++i) {
    *apDst[i] = *apSrc[i];
    if (*apDst[i] != nullptr) (*apDst[i])->AddRef();
  }
  pclNew->m_nState = m_nState;
  pclNew->m_eDirection = m_eDirection;
  pclNew->m_bFound = m_bFound;
  pclNew->m_nOptions = m_nOptions;
  pclNew->m_sParameterMarker = m_sParameterMarker;
  pclNew->m_clValue = m_clValue;
  for (int i = 0; i < nGetNbParameter(); ++i) {
    if (!pclNew->bAppendParameter(pclGetParameter(i))) {
      pclNew->AddRef();
      pclNew->nRelease();
      return nullptr;
    }
  }
  return pclNew;
}

int CNARecherche::bEqualsSearch(const CNARecherche* other) const {
  if (other == this) return 1;
  if (other == nullptr) return 0;
  if (m_nState != other->m_nState || m_eDirection != other->m_eDirection || m_nOptions != other->m_nOptions) return 0;
  if ((m_piFetchItem == nullptr) != (other->m_piFetchItem == nullptr)) return 0;
  if (m_piFetchItem != nullptr) {
    const wchar_t* a = m_piFetchItem->pszGetName();
    const wchar_t* b = other->m_piFetchItem->pszGetName();
    if (a == nullptr || b == nullptr || std::wcscmp(a, b) != 0) return 0;
  }
  const bool bEmptyA = m_clValue.bIsEmpty();
  const bool bEmptyB = other->m_clValue.bIsEmpty();
  if (bEmptyA != bEmptyB) return 0;
  if (!bEmptyA) {
    int nAnswer = 0;
    if (nEgalite(&m_clValue, &other->m_clValue, &nAnswer, 0) != 0 || !nAnswer) return 0;
  }
  if (nGetNbParameter() != other->nGetNbParameter()) return 0;
  for (int i = 0; i < nGetNbParameter(); ++i)
    if (!pclGetParameter(i)->bEqualsParameter(other->pclGetParameter(i))) return 0;
  return 1;
}

int CNARecherche::g_bEqualsSearch(const CNARecherche* first, const CNARecherche* second) {
  if (first == nullptr) return second == nullptr || second->m_nState == 0 ? 1 : 0;
  if (second == nullptr) return first->m_nState == 0 ? 1 : 0;
  return first->bEqualsSearch(second);
}

// ---- Statics ------------------------------------------------------------------------

void CNARecherche::s_SetAnyToMin(CAny* value) {
  if (value == nullptr) return;
  switch (value->nGetTypeCode()) {
    case ANY_BOOL: value->SetBOOL(0); break;
    case ANY_UI1: value->SetUI1(0); break;
    case ANY_UI2: value->SetUI2(0); break;
    case ANY_UI4: case ANY_UIX: value->SetUI4(0); break;
    case ANY_UI8: value->SetUI8(0); break;
    case ANY_I1: value->SetI1(SCHAR_MIN); break;
    case ANY_I2: value->SetI2(SHRT_MIN); break;
    case ANY_I4: value->SetI4(INT_MIN); break;
    case ANY_I8: value->SetI8(INT64_MIN); break;
    case ANY_R4: value->SetR4(-FLT_MAX); break;
    case ANY_R8: value->SetR8(-DBL_MAX); break;
    case ANY_CY: {
      // The largest amount negated: the raw minimum pattern is no amount,
      // and zero would drop every negative amount from a bound.
      CMoney m;
      SetMonetaireToMax(&m);
      NegMonetaire(&m);
      value->SetCY(m);
      break;
    }
    case ANY_DECIMAL: {
      // The smallest value of the decimal's own precision and scale.
      IDecimal* piDecimal = value->m_clIntern.tGet<IDecimal*>();
      if (piDecimal != nullptr) piDecimal->nSetLimit(0);
      break;
    }
    case ANY_DATETIME: {
      CDateTimeBase clEmpty{};
      value->SetDATETIME(clEmpty);
      break;
    }
    case ANY_DUREE: {
      CDureeBase clDuration{};
      clDuration.m_llDuree = INT64_MIN;
      value->SetDUREE(clDuration);
      break;
    }
    case ANY_DATEW: value->SetDATEW(L""); break;
    case ANY_DATEA: value->SetDATEA(""); break;
    case ANY_TIMEW: value->SetTIMEW(L"0000"); break;
    case ANY_TIMEA: value->SetTIMEA("0000"); break;
    default: break;
  }
}

void CNARecherche::s_SetAnyToMax(CAny* value) {
  if (value == nullptr) return;
  switch (value->nGetTypeCode()) {
    case ANY_BOOL: value->SetBOOL(1); break;
    case ANY_UI1: value->SetUI1(UCHAR_MAX); break;
    case ANY_UI2: value->SetUI2(USHRT_MAX); break;
    case ANY_UI4: case ANY_UIX: value->SetUI4(UINT_MAX); break;
    case ANY_UI8: value->SetUI8(UINT64_MAX); break;
    case ANY_I1: value->SetI1(SCHAR_MAX); break;
    case ANY_I2: value->SetI2(SHRT_MAX); break;
    case ANY_I4: value->SetI4(INT_MAX); break;
    case ANY_I8: value->SetI8(INT64_MAX); break;
    case ANY_R4: value->SetR4(FLT_MAX); break;
    case ANY_R8: value->SetR8(DBL_MAX); break;
    case ANY_CY: {
      CMoney m;
      SetMonetaireToMax(&m);
      value->SetCY(m);
      break;
    }
    case ANY_DECIMAL: {
      IDecimal* piDecimal = value->m_clIntern.tGet<IDecimal*>();
      if (piDecimal != nullptr) piDecimal->nSetLimit(1);
      break;
    }
    case ANY_DATETIME: {
      CDateTimeBase clLast{};
      clLast.m_byJour = 31;
      clLast.m_byMois = 12;
      clLast.m_wAnnee = 3000;
      clLast.m_dwHeure = 0;
      value->SetDATETIME(clLast);
      break;
    }
    case ANY_DUREE: {
      CDureeBase clDuration{};
      clDuration.m_llDuree = INT64_MAX;
      value->SetDUREE(clDuration);
      break;
    }
    case ANY_DATEW: value->SetDATEW(L"30001231"); break;
    case ANY_DATEA: value->SetDATEA("30001231"); break;
    case ANY_TIMEW: value->SetTIMEW(L"235959999"); break;
    case ANY_TIMEA: value->SetTIMEA("235959999"); break;
    default: break;
  }
}

int CNARecherche::_bGenericSearchDueTohValMax(CNAColumn* column, CAny* value) {
  if (column == nullptr || value == nullptr || value->bIsNull() || value->bIsEmpty()) return 0;
  if (!IsTextColumn(column)) return 0;
  const unsigned nType = value->nGetTypeCode();
  if (IsWideAny(nType)) {
    std::wstring s;
    if (!ReadWide(value, &s) || s.empty() || s.size() >= 100 || !IsWideMax(s.back())) return 0;
    s.pop_back();
    value->__SetType(ANY_DSTRW, 0);
    value->SetValue(s.c_str(), s.size() * sizeof(wchar_t));
    return 1;
  }
  if (IsAnsiAny(nType)) {
    std::string s;
    if (!ReadAnsi(value, &s) || s.empty() || s.size() >= 100 || static_cast<unsigned char>(s.back()) != 0xFF)
      return 0;
    s.pop_back();
    value->__SetType(ANY_DSTRA, 0);
    value->SetValue(s.c_str(), s.size());
    return 1;
  }
  return 0;
}

int CNARecherche::_bTermineParCaract0(const CAny* value) {
  if (value == nullptr || value->bIsNull() || value->bIsEmpty()) return 0;
  const unsigned nType = value->nGetTypeCode();
  if (IsWideAny(nType)) {
    std::wstring s;
    return ReadWide(value, &s) && !s.empty() && s.back() == L'\0' ? 1 : 0;
  }
  if (IsAnsiAny(nType)) {
    std::string s;
    return ReadAnsi(value, &s) && !s.empty() && s.back() == '\0' ? 1 : 0;
  }
  return 0;
}
