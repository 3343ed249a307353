#include "CNARecherche.h"

#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "AnyOperators.h"
#include "CMoney.h"
#include "CNACommand.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAParameter.h"
#include "CNARecord.h"
#include "INAItemDescription.h"

namespace {

// Where a search reports, and the error of what it does not provide.
constexpr int knErrorArea = 63;
constexpr unsigned int knErrNotAvailable = 38;  // not available for this data source

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

int CNARecherche::bGetSQL(CNACommand* command, CNAFilter* /*filter*/, CNARecord* record) {
  if (command == nullptr) return 0;
  command->ResetCommand(0);
  _ResetParameter();
  CNAExpression* pclTree = m_pclCurrent;
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

CNAConvertVariant* CNARecherche::_pclNewVariant(CNAColumn* column, const CAny* value) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return nullptr;
  CNAConvertVariant* pclVariant = pclDriver->pclAllocVariant(pclGetError(), pclGetCnx());
  if (pclVariant == nullptr) return nullptr;
  pclVariant->AddRef();
  unsigned short nType = value != nullptr ? value->nGetTypeCode() : 0;
  if (nType == 0) nType = ANY_I4;
  pclVariant->InitTypeVariantAny(nType);
  if (value == nullptr || value->bIsNull() || value->bIsEmpty()) {
    pclVariant->SetNull();
  } else if (!pclVariant->bSetValue(value)) {
    pclVariant->nRelease();
    return nullptr;
  }
  (void)column;
  return pclVariant;
}

int CNARecherche::_bRefuseComposedKey(CNARecord* record, INAItemDescription* item) {
  CNAColumn* pclColumn = record != nullptr && item != nullptr ? record->pclGetColumnNoRef(item) : nullptr;
  if (pclColumn == nullptr || !pclColumn->bIsComposedKey()) return 0;
  // Searches on a composite key (its key buffer, components and markers)
  // are not provided: an inactive search would read every row as found,
  // so the caller gets a failure it can report.
  m_nState = 0;
  if (pclGetError() != nullptr)
    pclGetError()->AddError(NA_ERRORTYPE_UNAVAILABLE, knErrorArea, 0, pclGetCnx(), knErrNotAvailable);
  return 1;
}

int CNARecherche::s_bUniqueWithValue(CNAColumn* column) {
  return column != nullptr && !column->bIsComposedKey() && column->bIsUnique() && column->bValueDefined() ? 1 : 0;
}

CNAExpression* CNARecherche::_pclAddExpression(CNARecord* record, INAItemDescription* item, eNAOperator op,
                                               const CAny* value, unsigned int options,
                                               const CRefArray<CNAColumn>* /*keys*/) {
  const unsigned int nLeafFlags = options & (CNAExpression::knFlagGeneric | CNAExpression::knFlagFilter |
                                             CNAExpression::knFlagLowerBound | CNAExpression::knFlagUpperBound);
  return _pclAddItemLeaf(record, item, op, value, nLeafFlags, (options & (knOptRecord | knOptRecordSet)) != 0);
}

CNAExpression* CNARecherche::_pclAddItemLeaf(CNARecord* record, INAItemDescription* item, eNAOperator op,
                                             const CAny* value, unsigned int flags, int fromRecord) {
  if (record == nullptr || item == nullptr) return nullptr;
  CNAColumn* pclColumn = record->pclGetColumnNoRef(item);
  if (pclColumn == nullptr || pclColumn->bIsComposedKey()) return nullptr;  // composite keys: not built here
  CAny clValue;
  if (fromRecord) {
    if (!pclColumn->bGetCurrentValue(&clValue, 0)) return nullptr;
  } else if (value != nullptr) {
    clValue = *value;
  }
  if ((flags & CNAExpression::knFlagGeneric) != 0) {
    // A value ending in NUL names the whole value: the prefix would find
    // longer values too.
    if (_bTermineParCaract0(&clValue)) flags &= ~CNAExpression::knFlagGeneric;
  } else if (!fromRecord && op == NA_OPERATOR_EQ && _bGenericSearchDueTohValMax(pclColumn, &clValue)) {
    flags |= CNAExpression::knFlagGeneric;
  }
  CNAConvertVariant* pclVariant = _pclNewVariant(pclColumn, &clValue);
  if (pclVariant == nullptr) return nullptr;
  CNAExpression* pclMaker = pclAllocExpression();
  if (pclMaker == nullptr) {
    pclVariant->nRelease();
    return nullptr;
  }
  pclMaker->AddRef();
  CNAExpression* pclLeaf = pclMaker->pclAllocExpression(op, pclColumn, pclVariant, flags);
  pclMaker->nRelease();
  pclVariant->nRelease();  // the leaf holds it now
  return pclLeaf;
}

CNAExpression* CNARecherche::_pclAddRecordEquality(CNARecord* record, INAItemDescription* item,
                                                   const CRefArray<CNAColumn>* keys) {
  CNAColumn* pclColumn = record->pclGetColumnNoRef(item);
  if (s_bUniqueWithValue(pclColumn)) return _pclAddItemLeaf(record, item, NA_OPERATOR_EQ, nullptr, 0, 1);
  CNAColumn* pclKey = nullptr;
  if (keys != nullptr) {
    for (int i = 0; i < keys->nGetNbElements() && pclKey == nullptr; ++i) {
      CNAColumn* p = keys->pGetAt(i);
      if (s_bUniqueWithValue(p)) pclKey = p;
    }
  }
  if (pclKey == nullptr) pclKey = record->pclGetUniqueKeyNotNullNoRef();
  if (pclKey == nullptr || !s_bUniqueWithValue(pclKey)) return nullptr;
  return _pclAddItemLeaf(record, pclKey->piGetItemDescription(), NA_OPERATOR_EQ, nullptr, 0, 1);
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

int CNARecherche::bSetRecherche(CNARecord* record, INAItemDescription* item, const CAny* value,
                                eNA_PARSEDIRECTION direction, int exact, int /*unused*/) {
  _ReleaseTrees();
  m_clValue = value != nullptr ? *value : CAny();
  m_eDirection = direction;
  m_nState = 1;
  m_bFound = 0;
  m_nOptions = exact == 0 ? knOptGeneric : 0;
  m_piFetchItem = item;
  if (_bRefuseComposedKey(record, item)) return 0;
  m_pclEqual = _pclAddItemLeaf(record, item, NA_OPERATOR_EQ, value,
                                 exact == 0 ? CNAExpression::knFlagGeneric : 0u, 0);
  if (m_pclEqual == nullptr) {
    m_nState = 0;
    return 1;
  }
  m_pclEqual->AddRef();
  m_pclAfter = _pclContinuation(record, NA_OPERATOR_GT);
  m_pclBefore = _pclContinuation(record, NA_OPERATOR_LT);
  m_pclCurrent = m_pclEqual;
  m_pclCurrent->AddRef();
  return 1;
}

CNAExpression* CNARecherche::_pclRecordPath(CNARecord* record, CNAColumn* const* columns, int count,
                                            eNAOperator op) {
  // (c0, c1, ...) op (v0, v1, ...) in the platform's order, the last column
  // deciding ties: c0 op' v0 OR (c0 = v0 AND (the rest)), each column's
  // operator turned when it sorts descending.
  CNAExpression* pclTree = nullptr;
  for (int i = count - 1; i >= 0; --i) {
    INAItemDescription* piItem = columns[i]->piGetItemDescription();
    const eNAOperator eOp =
        CNAExpression::s_eGetSensTriColonne(record, columns[i]) == 1 ? CNAExpression::s_eInvertOperator(op) : op;
    CNAExpression* pclStrict = _pclAddItemLeaf(record, piItem, eOp, nullptr, 0, 1);
    if (pclStrict == nullptr) {
      if (pclTree != nullptr) pclTree->nRelease();
      return nullptr;
    }
    pclStrict->AddRef();
    if (pclTree == nullptr) {
      pclTree = pclStrict;
      continue;
    }
    CNAExpression* pclEqual = _pclAddItemLeaf(record, piItem, NA_OPERATOR_EQ, nullptr, 0, 1);
    CNAExpression* pclAnd =
        pclEqual != nullptr ? pclEqual->pclAllocExpression(NA_OPERATOR_AND, pclEqual, pclTree, 0u) : nullptr;
    if (pclEqual != nullptr && pclAnd == nullptr) {
      pclEqual->AddRef();
      pclEqual->nRelease();
    }
    CNAExpression* pclOr =
        pclAnd != nullptr ? pclStrict->pclAllocExpression(NA_OPERATOR_OR, pclStrict, pclAnd, pclStrict->nGetFlags())
                          : nullptr;
    if (pclAnd != nullptr && pclOr == nullptr) {
      pclAnd->AddRef();
      pclAnd->nRelease();
    }
    pclTree->nRelease();
    pclStrict->nRelease();
    if (pclOr == nullptr) return nullptr;
    pclOr->AddRef();
    pclTree = pclOr;
  }
  return pclTree;
}

int CNARecherche::bRechercheEnreg(CNARecord* record, INAItemDescription* item, eNA_PARSEDIRECTION direction,
                                  int noContinue, const CRefArray<CNAColumn>* keys) {
  _ReleaseTrees();
  m_clValue = CAny();
  m_eDirection = direction;
  m_nState = 1;
  m_bFound = 0;
  m_nOptions = knOptRecord | knOptRecordSet | (noContinue ? knOptNoContinue : 0);
  m_piFetchItem = item;
  CNAColumn* pclColumn = record != nullptr && item != nullptr ? record->pclGetColumnNoRef(item) : nullptr;
  if (_bRefuseComposedKey(record, item)) return 0;
  if (pclColumn == nullptr) {
    m_nState = 0;
    return 1;
  }
  const bool bUniqueNotNull = pclColumn->bUniqueNotNull() && pclColumn->bValueDefined();
  m_pclEqual = _pclAddRecordEquality(record, item, keys);
  if (m_pclEqual == nullptr) {
    m_nState = 0;
    return 1;
  }
  m_pclEqual->AddRef();
  if (!noContinue) {
    if (bUniqueNotNull) {
      m_pclAfter = _pclContinuation(record, NA_OPERATOR_GT);
      m_pclBefore = _pclContinuation(record, NA_OPERATOR_LT);
    } else {
      // A key that is not unique, or may be NULL, continues by the record
      // path (key, unique key) after or before (value, unique value): the
      // unique key's comparison alone would leave the key's order.
      CNAColumn* apColumns[2] = {pclColumn, m_pclEqual->pclGetColumnNoRef()};
      const int nCount = apColumns[1] == nullptr || apColumns[1] == pclColumn ? 1 : 2;
      m_pclAfter = _pclRecordPath(record, apColumns, nCount, NA_OPERATOR_GT);
      m_pclBefore = _pclRecordPath(record, apColumns, nCount, NA_OPERATOR_LT);
    }
  }
  m_pclCurrent = m_pclEqual;
  m_pclCurrent->AddRef();
  return 1;
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
  unsigned int nFlags = (generic ? CNAExpression::knFlagGeneric : 0u) | (filterCondition ? CNAExpression::knFlagFilter : 0u);
  CNAExpression* pclLeaf = _pclAddItemLeaf(record, item, op, value, nFlags, 0);
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
