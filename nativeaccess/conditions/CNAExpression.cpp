// CNAExpression: construction, copies, the browse rewriting, the NULL
// selection and the statics. The writer of the text is in
// CNAExpressionSQL.cpp.
#include "CNAExpression.h"

#include <new>

#include "CAny.h"
#include "CDateTimeBase.h"
#include "CNAColumn.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CSQLParserInfo.h"
#include "CXTime.h"
#include "IInfoOrderBy.h"
#include "INAItemDescription.h"

namespace {

constexpr int knLocationArea = 62;
constexpr int knLocationNullSet = 1;
constexpr unsigned int knErrNoMemory = 12;

}  // namespace

// ---- Construction -------------------------------------------------------------------

CNAExpression::CNAExpression(CNAError* error) : m_pclError(error) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAExpression::~CNAExpression() {
  delete m_pclNullSelected;
  if (m_pclLeft != nullptr) m_pclLeft->nRelease();
  if (m_pclRight != nullptr) m_pclRight->nRelease();
  if (m_pclColumn != nullptr) m_pclColumn->nRelease();
  if (m_pclValue != nullptr) m_pclValue->nRelease();
  if (m_pclParserInfo != nullptr) m_pclParserInfo->nRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

CNAExpression* CNAExpression::pclAllocExpression() { return new (std::nothrow) CNAExpression(m_pclError); }

CNAExpression* CNAExpression::pclAllocExpression(eNAOperator op, CNAExpression* left, CNAExpression* right,
                                                 unsigned int flags) {
  CNAExpression* pclNode = pclAllocExpression();
  if (pclNode != nullptr) pclNode->InitExpression(op, left, right, flags);
  return pclNode;
}

CNAExpression* CNAExpression::pclAllocExpression(eNAOperator op, CNAColumn* column, CNAConvertVariant* value,
                                                 unsigned int flags) {
  CNAExpression* pclNode = pclAllocExpression();
  if (pclNode != nullptr) pclNode->InitExpression(op, column, value, flags);
  return pclNode;
}

CNAExpression* CNAExpression::pclAllocExpression(ISQLParserInformation* parser, unsigned int flags) {
  CNAExpression* pclNode = pclAllocExpression();
  if (pclNode == nullptr) return nullptr;
  if (!pclNode->InitExpression(parser, flags)) {
    pclNode->AddRef();
    pclNode->nRelease();
    return nullptr;
  }
  return pclNode;
}

void CNAExpression::InitExpression(eNAOperator op, CNAExpression* left, CNAExpression* right, unsigned int flags) {
  m_eOperator = op;
  if (left != nullptr) left->AddRef();
  if (right != nullptr) right->AddRef();
  if (m_pclLeft != nullptr) m_pclLeft->nRelease();
  if (m_pclRight != nullptr) m_pclRight->nRelease();
  m_pclLeft = left;
  m_pclRight = right;
  _SetFlag(flags);
}

void CNAExpression::InitExpression(eNAOperator op, CNAColumn* column, CNAConvertVariant* value,
                                   unsigned int flags) {
  m_eOperator = op;
  if (column != nullptr) column->AddRef();
  if (value != nullptr) value->AddRef();
  if (m_pclColumn != nullptr) m_pclColumn->nRelease();
  if (m_pclValue != nullptr) m_pclValue->nRelease();
  m_pclColumn = column;
  m_pclValue = value;
  CSQLParserInfo* pclQuery = column != nullptr ? column->pclGetSourceQueryNoRef() : nullptr;
  if (pclQuery != nullptr) pclQuery->AddRef();
  if (m_pclParserInfo != nullptr) m_pclParserInfo->nRelease();
  m_pclParserInfo = pclQuery;
  _SetFlag(flags);
}

int CNAExpression::InitExpression(ISQLParserInformation* parser, unsigned int flags) {
  CSQLParserInfo* pclInfo = new (std::nothrow) CSQLParserInfo(m_pclError, parser, nullptr, 1);
  if (pclInfo == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclInfo->AddRef();
  if (m_pclParserInfo != nullptr) m_pclParserInfo->nRelease();
  m_pclParserInfo = pclInfo;
  m_eOperator = NA_OPERATOR_SQL;
  _SetFlag(flags);
  return 1;
}

void CNAExpression::_SetFlag(unsigned int flags) {
  m_nFlags = flags;
  if (m_pclColumn == nullptr) return;
  if ((flags & (knFlagGeneric | knFlagComposite)) != (knFlagGeneric | knFlagComposite)) return;
  if (!s_bIsTextItem(m_pclColumn->eNAGetItemType())) return;
  std::wstring sText;
  int bNull = 0;
  if (m_pclValue == nullptr || !_bReadWide(m_pclValue, &sText, &bNull) || bNull || sText.empty())
    m_nFlags &= ~knFlagGeneric;
}

CNAExpression* CNAExpression::pclAddOperation(eNAOperator op, CNAExpression* other) {
  return pclAllocExpression(op, this, other, m_nFlags);
}

CNAExpression* CNAExpression::pclClone() {
  CNAExpression* pclNode = pclAllocExpression();
  if (pclNode == nullptr) return nullptr;
  bool bOk = true;
  if (m_eOperator == NA_OPERATOR_SQL && m_pclColumn == nullptr) {
    // The condition is shared: its analysis does not change while written.
    if (m_pclParserInfo != nullptr) m_pclParserInfo->AddRef();
    pclNode->m_pclParserInfo = m_pclParserInfo;
    pclNode->m_eOperator = m_eOperator;
    pclNode->m_nFlags = m_nFlags;
  } else if (m_pclColumn != nullptr) {
    pclNode->InitExpression(m_eOperator, m_pclColumn, m_pclValue, 0);
    pclNode->m_nFlags = m_nFlags;
  } else {
    CNAExpression* pclLeft = m_pclLeft != nullptr ? m_pclLeft->pclClone() : nullptr;
    CNAExpression* pclRight = m_pclRight != nullptr ? m_pclRight->pclClone() : nullptr;
    if ((m_pclLeft != nullptr && pclLeft == nullptr) || (m_pclRight != nullptr && pclRight == nullptr)) bOk = false;
    if (pclLeft != nullptr) pclLeft->AddRef();
    if (pclRight != nullptr) pclRight->AddRef();
    if (bOk) {
      pclNode->InitExpression(m_eOperator, pclLeft, pclRight, 0);
      pclNode->m_nFlags = m_nFlags;
    }
    if (pclLeft != nullptr) pclLeft->nRelease();
    if (pclRight != nullptr) pclRight->nRelease();
  }
  if (!bOk) {
    pclNode->AddRef();
    pclNode->nRelease();
    return nullptr;
  }
  return pclNode;
}

void CNAExpression::Insert(CNAExpression* old, CNAExpression* replacement) {
  if (old == nullptr) return;
  CNAExpression** ppSlot = nullptr;
  if (m_pclLeft == old)
    ppSlot = &m_pclLeft;
  else if (m_pclRight == old)
    ppSlot = &m_pclRight;
  if (ppSlot == nullptr) return;
  if (replacement != nullptr) replacement->AddRef();
  *ppSlot = replacement;
  old->nRelease();
}

// ---- Continuing a browse ------------------------------------------------------------------

// Every equality leaf turns into the comparison that continues after (5)
// or before (6) the searched value, in the column's sort direction. A
// generic equality on a text or on a date or time (a prefix, or a partial
// date naming a whole period) cannot just take the operator: after the
// prefix means greater and not beginning with it, so the leaf becomes
// AND(NOT(leaf), leaf with the operator). Before it, a plain "<" already
// lies before every value with that prefix. (The writer compares a partial
// date or time in an ordered comparison with the period's first instant.)
CNAExpression* CNAExpression::pclTransformEqualTo(CNARecord* record, CNAExpression* parent, eNAOperator op) {
  if (m_eOperator == NA_OPERATOR_OR || m_eOperator == NA_OPERATOR_AND || m_eOperator == NA_OPERATOR_NOT) {
    CNAExpression* pclLast = this;
    CNAExpression* apOperands[2] = {m_pclLeft, m_pclRight};
    for (CNAExpression* pclOperand : apOperands) {
      if (pclOperand == nullptr) continue;
      pclOperand->AddRef();  // an Insert below may drop this node's reference
      CNAExpression* pclDone = pclOperand->pclTransformEqualTo(record, this, op);
      pclOperand->nRelease();
      if (pclDone != nullptr) pclLast = pclDone;
    }
    return pclLast;
  }
  if (m_eOperator != NA_OPERATOR_EQ || m_pclColumn == nullptr) return this;
  const eNAOperator eOp = s_eGetSensTriColonne(record, m_pclColumn) == 1 ? s_eInvertOperator(op) : op;
  const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
  const bool bPrefixType = eType == NA_IT_UNICODE || eType == NA_IT_TEXTE || eType == NA_IT_MEMOUNICODE ||
                           eType == NA_IT_MEMOTEXTE || eType == NA_IT_HEURE || eType == NA_IT_DATE8 ||
                           eType == NA_IT_DATETIME;
  const bool bNullValue = m_pclValue == nullptr || m_pclValue->bIsNull();
  if (!bIsGenerique() || !bPrefixType || bNullValue || eOp == NA_OPERATOR_LT) {
    m_eOperator = eOp;
    return this;
  }
  CNAExpression* pclNew = pclAllocExpression(eOp, m_pclColumn, m_pclValue, m_nFlags);
  if (pclNew == nullptr) return this;
  pclNew->AddRef();
  CNAExpression* pclNot = pclAllocExpression(NA_OPERATOR_NOT, this, nullptr, m_nFlags);
  if (pclNot == nullptr) {
    pclNew->nRelease();
    return this;
  }
  pclNot->AddRef();
  CNAExpression* pclAnd = pclAllocExpression(NA_OPERATOR_AND, pclNot, pclNew, m_nFlags);
  pclNot->nRelease();
  pclNew->nRelease();
  if (pclAnd == nullptr) return this;  // the NOT and the new leaf went with their references
  // A root leaf has no parent to take the new node: the caller makes it
  // its root.
  if (parent != nullptr) parent->Insert(this, pclAnd);
  return pclAnd;
}

// ---- NULL selection ----------------------------------------------------------------------

void CNAExpression::_ResetNullSelected() {
  if (m_pclNullSelected != nullptr) m_pclNullSelected->Reset();
}

int CNAExpression::_bNullSetReady() {
  if (m_pclNullSelected != nullptr) return 1;
  m_pclNullSelected = new (std::nothrow) CColumnNullValueExcluded();
  if (m_pclNullSelected != nullptr) return 1;
  if (m_pclError != nullptr)
    m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationNullSet, _pclGetCnx(), knErrNoMemory);
  return 0;
}

int CNAExpression::_bSetColumnValuesNullSelected(int selected) {
  if (m_pclColumn == nullptr) return 1;
  if (!_bNullSetReady()) return 0;
  m_pclNullSelected->Reset();
  // Absent from the set means selected; only an exclusion is an entry.
  return m_pclNullSelected->bCombineColumnValuesNullSelected(NA_OPERATOR_AND, m_pclColumn, selected);
}

int CNAExpression::_bCopyColumnValuesNullSelected(CNAExpression* operand, int invert) {
  if (operand == nullptr || operand->m_pclNullSelected == nullptr) return 1;
  if (!_bNullSetReady()) return 0;
  m_pclNullSelected->Reset();
  return m_pclNullSelected->bCopyColumnValuesNullSelected(operand->m_pclNullSelected, invert);
}

int CNAExpression::_bCombineColumnValuesNullSelected(CNAExpression* left, CNAExpression* right) {
  const CColumnNullValueExcluded* pclLeft = left != nullptr ? left->m_pclNullSelected : nullptr;
  const CColumnNullValueExcluded* pclRight = right != nullptr ? right->m_pclNullSelected : nullptr;
  if (pclLeft == nullptr && pclRight == nullptr) return 1;
  if (m_eOperator == NA_OPERATOR_OR && (pclLeft == nullptr || pclRight == nullptr)) return 1;
  if (!_bNullSetReady()) return 0;
  m_pclNullSelected->Reset();
  if (pclLeft == nullptr) return m_pclNullSelected->bCopyColumnValuesNullSelected(pclRight, 0);
  if (!m_pclNullSelected->bCopyColumnValuesNullSelected(pclLeft, 0)) return 0;
  if (pclRight == nullptr) return 1;
  if (!m_pclNullSelected->bCombineColumnValuesNullSelected(m_eOperator, pclRight)) return 0;
  // The set combines only the right operand's entries; under OR a column
  // the right operand leaves out (so selects NULL for) is selected whatever
  // the left one said: OR(x=3, y=4) passes the rows where x is NULL.
  if (m_eOperator == NA_OPERATOR_OR) _SelectNullOfColumnsIn(left, pclRight);
  return 1;
}

void CNAExpression::_SelectNullOfColumnsIn(const CNAExpression* subtree, const CColumnNullValueExcluded* other) {
  if (subtree == nullptr) return;
  if (subtree->m_pclColumn != nullptr && other->bColumnValuesNullSelected(subtree->m_pclColumn))
    m_pclNullSelected->bCombineColumnValuesNullSelected(NA_OPERATOR_OR, subtree->m_pclColumn, 1);
  _SelectNullOfColumnsIn(subtree->m_pclLeft, other);
  _SelectNullOfColumnsIn(subtree->m_pclRight, other);
}

int CNAExpression::bColumnValuesNullSelected(const CNAColumn* column) {
  if (m_pclNullSelected != nullptr) return m_pclNullSelected->bColumnValuesNullSelected(column);
  if (column == nullptr || column != m_pclColumn || m_pclColumn->bIsComposedKey()) return 1;
  const int n = m_pclColumn->bNullOrEquivalent(m_pclValue) ? 1 : 0;
  const int bNullFirst = _bNullBeforeNotNull();
  switch (static_cast<int>(m_eOperator)) {
    case 4: return n;
    case 12: return n ? 0 : 1;
    case 6: return bNullFirst ? (n ? 0 : 1) : n;
    case 5: return bNullFirst ? n : (n ? 0 : 1);
    default: return 1;
  }
}

// ---- Value helpers ---------------------------------------------------------------------------

int CNAExpression::s_bIsTextItem(eNA_ITEMTYPE type) {
  return type == NA_IT_TEXTE || type == NA_IT_MEMOTEXTE || type == NA_IT_CHAR || type == NA_IT_UNICODE ||
         type == NA_IT_MEMOUNICODE;
}

int CNAExpression::s_bIsTextTNType(unsigned short type) {
  return (type >= 16 && type <= 25) || type == 81 || type == 110 || type == 128 || type == 129 || type == 134;
}

int CNAExpression::s_bIsWideTNType(unsigned short type) {
  return type == 16 || type == 20 || type == 24 || type == 25 || type == 81 || type == 110;
}

int CNAExpression::_bReadWide(const CNAConvertVariant* value, std::wstring* text, int* isNull) {
  text->clear();
  *isNull = 0;
  CAny clValue;
  if (value == nullptr || !value->bGetValue(&clValue) || clValue.bIsEmpty() || clValue.bIsNull()) {
    *isNull = 1;
    return 1;
  }
  if (clValue.nGetTypeCode() != ANY_DSTRW && clValue.__nCastTo(ANY_DSTRW, nullptr, 0) > 99) return 0;
  const wchar_t* psz = nullptr;
  if (clValue.nGetPCWSTR(&psz) > 99) return 0;
  if (psz != nullptr) text->assign(psz);
  return 1;
}

CNAConnectionDescription* CNAExpression::_pclGetCnx() const {
  if (m_pclColumn != nullptr) return m_pclColumn->pclGetCnx();
  return nullptr;
}

int CNAExpression::_bNullBeforeNotNull() const {
  CNAConnectionDescription* pclCnx = _pclGetCnx();
  return pclCnx == nullptr || pclCnx->bNULLBeforeNotNULL() ? 1 : 0;
}

// ---- Statics ------------------------------------------------------------------------------------

const wchar_t* CNAExpression::s_pszDumpOp(eNAOperator op) {
  switch (static_cast<int>(op)) {
    case 1: return L" OR ";
    case 2: return L" AND ";
    case 3: return L" NOT ";
    case 4: return L"=";
    case 5: return L">";
    case 6: return L"<";
    case 7: return L">=";
    case 8: return L"<=";
    case 10: return L"0=1";
    case 11: return L"1=1";
    case 12: return L"<>";
    case 13: return L" IS NULL";
    case 14: return L"IS NOT NULL";
    default: return L"";
  }
}

std::int32_t CNAExpression::Convert_eNAOperator_To_eOPEXPRESSION(eNAOperator op) {
  switch (static_cast<int>(op)) {
    case 4: return 9;
    case 5: return 13;
    case 6: return 11;
    case 7: return 14;
    case 8: return 12;
    case 12: return 10;
    case 13: return 33;
    default: return -1;
  }
}

eNAOperator CNAExpression::s_eInvertOperator(eNAOperator op) {
  switch (static_cast<int>(op)) {
    case 5: return NA_OPERATOR_LT;
    case 6: return NA_OPERATOR_GT;
    case 7: return NA_OPERATOR_LE;
    case 8: return NA_OPERATOR_GE;
    default: return op;
  }
}

int CNAExpression::s_bExpressionTrue(eNAOperator op, CNAConnectionDescription* cnx, const CAny* value) {
  if (value == nullptr) return 0;
  if (value->bIsNull() || value->bIsEmpty()) {
    if (cnx == nullptr) return 0;
    const int bNullFirst = cnx->bNULLBeforeNotNULL() ? 1 : 0;
    return (op == NA_OPERATOR_GE && bNullFirst) || (op == NA_OPERATOR_LE && !bNullFirst) ? 1 : 0;
  }
  const unsigned short wType = value->nGetTypeCode();
  if (wType == ANY_BOOL) {
    int n = 0;
    if (value->nGetINT(&n) > 99) return 0;
    return (op == NA_OPERATOR_GE && n == 0) || (op == NA_OPERATOR_LE && n != 0) ? 1 : 0;
  }
  if (!s_bIsTextTNType(wType)) return 0;
  if (op != NA_OPERATOR_GE && op != NA_OPERATOR_LE) return 0;
  CAny clText(*value);
  if (s_bIsWideTNType(wType)) {
    if (clText.nGetTypeCode() != ANY_DSTRW && clText.__nCastTo(ANY_DSTRW, nullptr, 0) > 99) return 0;
    const wchar_t* psz = nullptr;
    if (clText.nGetPCWSTR(&psz) > 99) return 0;
    const bool bEmpty = psz == nullptr || *psz == 0;
    if (op == NA_OPERATOR_GE) return bEmpty ? 1 : 0;
    if (bEmpty) return 0;
    // The highest character is the marker U+FFFF (or a value past
    // U+10FFFF); a real character such as U+1F600 still has rows above it.
    const std::uint32_t c = static_cast<std::uint32_t>(psz[0]);
    return c == 0xFFFFu || c > 0x10FFFFu ? 1 : 0;
  }
  if (clText.nGetTypeCode() != ANY_DSTRA && clText.__nCastTo(ANY_DSTRA, nullptr, 0) > 99) return 0;
  const char* psz = nullptr;
  if (clText.nGetPCASTR(&psz) > 99) return 0;
  const bool bEmpty = psz == nullptr || *psz == 0;
  if (op == NA_OPERATOR_GE) return bEmpty ? 1 : 0;
  return !bEmpty && static_cast<unsigned char>(psz[0]) == 255 ? 1 : 0;
}

int CNAExpression::s_eGetSensTriColonne(CNARecord* record, const CNAColumn* column) {
  if (record == nullptr || column == nullptr) return 0;
  CNADataAccess* pclAccess = record->pclGetDataAccess();
  CSQLParserInfo* pclQuery = pclAccess != nullptr ? pclAccess->pclGetSourceQueryNoRef() : nullptr;
  if (pclAccess != nullptr && (pclAccess->bIsQuery() || pclQuery != nullptr)) {
    // A query: the order of its own ORDER BY, unless it is sent as written.
    if (pclAccess->bRequeteSansCorrection() || pclQuery == nullptr) return 0;
    IInfoOrderBy* piOrder = pclQuery->piGetRubriqueClauseOrder(column);
    return piOrder != nullptr && piOrder->nGetDirection() == 1 ? 1 : 0;
  }
  // A table: the item's own description, as its ORDER BY writes it (DESC
  // in the parse's ascending order).
  INAItemDescription* piItem = column->piGetItemDescription();
  return piItem != nullptr && piItem->bGetDescendant(0) ? 1 : 0;
}

namespace {

// The instant as the item's value (see s_bGetBorneRechercheDateMin).
int BoundToAny(eNA_ITEMTYPE type, const CXTime& time, CAny* out) {
  CTString cs;
  if (type == NA_IT_HEURE) {
    time.GetTNTimeHHMMSSCCm(cs);
    if (cs.nTaille() == 0) return 0;
    out->SetTIMEW(cs.pszGet());
    return 1;
  }
  if (type == NA_IT_DATE8) {
    time.GetTNDate(cs);
    if (cs.nTaille() == 0) return 0;
    out->SetDATEW(cs.pszGet());
    return 1;
  }
  SYSTEMTIME st{};
  if (!time.bGetAsSystemTime(st)) return 0;
  CDateTimeBase dt{};
  if (!dt.InitDate(&st)) return 0;
  out->SetDATETIME(dt);
  return 1;
}

}  // namespace

int CNAExpression::s_bGetBorneRechercheDateMin(eNA_ITEMTYPE type, const wchar_t* partial, CAny* out) {
  if (out == nullptr) return 0;
  CXTime clTime;
  const bool bOk = type == NA_IT_HEURE ? clTime.bSetTNTimeMin(partial) : clTime.bSetTNDateTimeMin(partial);
  if (!bOk) return 0;
  CAny clBound;
  if (!BoundToAny(type, clTime, &clBound)) return 0;
  *out = clBound;
  return 1;
}

int CNAExpression::s_bGetBorneRechercheDateMax(eNA_ITEMTYPE type, const wchar_t* partial, CAny* out) {
  if (out == nullptr) return 0;
  CXTime clTime;
  const bool bOk = type == NA_IT_HEURE ? clTime.bSetTNTimeMax(partial) : clTime.bSetTNDateTimeMax(partial);
  if (!bOk) return 0;
  CAny clBound;
  if (!BoundToAny(type, clTime, &clBound)) return 0;
  *out = clBound;
  return 1;
}

int CNAExpression::s_bGetBorneRechercheDateGenerique(eNA_ITEMTYPE type, const wchar_t* partial, CAny* lower,
                                                     CAny* upper, int* upperMade) {
  const int bUpper = s_bGetBorneRechercheDateMax(type, partial, upper);
  if (upperMade != nullptr) *upperMade = bUpper;
  return s_bGetBorneRechercheDateMin(type, partial, lower);
}
