// CNARecherche: the trees of key searches, record searches and filter
// bounds: one column, the components of a composite key, or the columns a
// record is ordered by, compared for equality or in tuple order.
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "CAny.h"
#include "CColumnNullValueExcluded.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAExpression.h"
#include "CNAMapConvertType.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "INAItemDescription.h"

namespace {

constexpr unsigned int knGeneric = CNAExpression::knFlagGeneric;

// The flags a leaf takes from the builder's options.
constexpr unsigned int knLeafFlags = CNAExpression::knFlagGeneric | CNAExpression::knFlagFilter |
                                     CNAExpression::knFlagLowerBound | CNAExpression::knFlagUpperBound;

bool IsTextItem(const CNAColumn* column) { return CNAExpression::s_bIsTextItem(column->eNAGetItemType()) != 0; }

// A column whose values are instants: a prefix of one is a period.
bool IsDateColumn(const CNAColumn* column) {
  const eNA_ITEMTYPE e = column->eNAGetItemType();
  if (e == NA_IT_HEURE || e == NA_IT_DATE8 || e == NA_IT_DATETIME) return true;
  const unsigned short t = column->eGetTNType();
  return t == ANY_DATETIME || t == ANY_DATEA || t == ANY_TIMEA;
}


// A wide text's highest character: U+FFFF, or a value no character has
// (above U+10FFFF); a real character such as U+1F600 is data.
bool IsWideMax(wchar_t c) {
  const std::uint32_t u = static_cast<std::uint32_t>(c);
  return u == 0xFFFFu || u > 0x10FFFFu;
}

// The stored text of a value (embedded NULs kept for dynamic strings).
bool ReadWideText(const CAny* value, std::wstring* out) {
  out->clear();
  if (value->nGetTypeCode() == ANY_DSTRW) {
    void* pv = nullptr;
    std::size_t n = 0;
    if (value->nGetSTRLEN(&n) > 99 || value->nGetDataAdr(&pv) > 99) return false;
    if (pv != nullptr && n > 0) out->assign(static_cast<const wchar_t*>(pv), n);
    return true;
  }
  const wchar_t* psz = nullptr;
  if (value->nGetPCWSTR(&psz) > 99) return false;
  if (psz != nullptr) out->assign(psz);
  return true;
}
bool ReadAnsiText(const CAny* value, std::string* out) {
  out->clear();
  if (value->nGetTypeCode() == ANY_DSTRA) {
    void* pv = nullptr;
    std::size_t n = 0;
    if (value->nGetSTRLEN(&n) > 99 || value->nGetDataAdr(&pv) > 99) return false;
    if (pv != nullptr && n > 0) out->assign(static_cast<const char*>(pv), n);
    return true;
  }
  const char* psz = nullptr;
  if (value->nGetPCASTR(&psz) > 99) return false;
  if (psz != nullptr) out->assign(psz);
  return true;
}

// A text value of the same kind as `type` holding `text` (date and time
// texts keep their type; any other becomes a dynamic string). The marker
// flag of the old value does not follow.
void SetWideText(CAny* value, unsigned type, const std::wstring& text) {
  CAny v;
  if (type == ANY_DATEW) {
    v.SetDATEW(text.c_str());
  } else if (type == ANY_TIMEW) {
    v.SetTIMEW(text.c_str());
  } else {
    v.__SetType(ANY_DSTRW, 0);
    v.SetValue(text.c_str(), text.size() * sizeof(wchar_t));
  }
  *value = v;
}
void SetAnsiText(CAny* value, unsigned type, const std::string& text) {
  CAny v;
  if (type == ANY_DATEA) {
    v.SetDATEA(text.c_str());
  } else if (type == ANY_TIMEA) {
    v.SetTIMEA(text.c_str());
  } else {
    v.__SetType(ANY_DSTRA, 0);
    v.SetValue(text.c_str(), text.size());
  }
  *value = v;
}

// The value as wide text (false when it is none and does not convert).
bool AsWide(const CAny& value, std::wstring* out) {
  if (value.bIsNull() || value.bIsEmpty()) return false;
  if (CNAExpression::s_bIsWideTNType(value.nGetTypeCode())) return ReadWideText(&value, out);
  CAny c = value;
  if (c.__nCastTo(ANY_DSTRW, nullptr, 0) > 99) return false;
  return ReadWideText(&c, out);
}

// Frees a node nobody holds yet (counts 0).
void Discard(CNAExpression* node) {
  if (node == nullptr) return;
  node->AddRef();
  node->nRelease();
}

// A new inner node (op, left, right) holding both operands; null when
// either is missing or the node cannot be made: both operands are then
// freed.
CNAExpression* Join(eNAOperator op, CNAExpression* left, CNAExpression* right, unsigned int flags) {
  if (left == nullptr || right == nullptr) {
    Discard(left);
    Discard(right);
    return nullptr;
  }
  CNAExpression* node = left->pclAllocExpression(op, left, right, flags);
  if (node == nullptr) {
    Discard(left);
    Discard(right);
  }
  return node;
}

// Whether column `index` sorts descending: component index + 1 of the
// composite key when it has that many, else the record's sort of the
// column.
bool bDescending(CNARecord* record, const CNAColumn* keyColumn, int index, const CNAColumn* column) {
  const CRefArray<CNAColumn>* pComponents = keyColumn != nullptr ? keyColumn->pclGetTabComponent() : nullptr;
  if (pComponents != nullptr && index < pComponents->nGetNbElements())
    return keyColumn->bGetDescendantComponent(static_cast<std::uint32_t>(index + 1)) != 0;
  return CNAExpression::s_eGetSensTriColonne(record, column) == 1;
}

bool IsIntervalOperator(eNAOperator op) {
  return op == NA_OPERATOR_GT || op == NA_OPERATOR_LT || op == NA_OPERATOR_GE || op == NA_OPERATOR_LE;
}

bool SameName(const CNAColumn* a, const CNAColumn* b) {
  if (a == b) return true;
  const wchar_t* pa = a->pszGetName();
  const wchar_t* pb = b->pszGetName();
  return pa != nullptr && pb != nullptr && wcscasecmp(pa, pb) == 0;
}

int IndexByName(const CRefArray<CNAColumn>* list, const CNAColumn* column) {
  for (int i = 0; i < list->nGetNbElements(); ++i)
    if (SameName((*list)[i], column)) return i;
  return -1;
}

// Appends `column` unless a column of the same name is there already.
void AddUnique(CRefArray<CNAColumn>* list, CNAColumn* column) {
  if (column == nullptr || IndexByName(list, column) >= 0) return;
  list->Ajoute(column);
}

// The current value of each column (an empty value where it cannot be
// read).
void CurrentValues(const CRefArray<CNAColumn>* columns, std::vector<CAny>* values) {
  values->clear();
  for (int i = 0; i < columns->nGetNbElements(); ++i) {
    CAny v;
    CNAColumn* c = (*columns)[i];
    if (c == nullptr || !c->bGetCurrentValue(&v, 0)) v = CAny();
    values->push_back(v);
  }
}

}  // namespace

// ---- Values -----------------------------------------------------------------------

void CNARecherche::_GetValue(const CNAColumn* column, CAny* value, int* valid, int* minimum, int* maximum) {
  int bValid = 1;
  int bMin = 0;
  int bMax = 0;
  const eNA_CHECKVALUE eCheck = value != nullptr ? eCheckValue(value) : NA_CHECKVALUE_ORDINARY;
  if (eCheck == NA_CHECKVALUE_LOWEST) {
    bMin = 1;
    bValid = 0;
  } else if (eCheck == NA_CHECKVALUE_HIGHEST) {
    const unsigned nType = value->nGetTypeCode();
    const bool bTextColumn = column != nullptr && (IsTextItem(column) || IsDateColumn(column));
    bMax = 1;
    bValid = 0;
    if (bTextColumn && CNAExpression::s_bIsWideTNType(nType)) {
      std::wstring s;
      if (ReadWideText(value, &s) && !s.empty()) {
        if (IsWideMax(s.back())) {
          s.pop_back();
          bValid = s.empty() ? 0 : 1;
          if (bValid) SetWideText(value, nType, s);
        } else {
          // The last character is a real one: the value is data.
          bMax = 0;
          bValid = 1;
        }
      }
    } else if (bTextColumn && CNAExpression::s_bIsTextTNType(nType)) {
      std::string s;
      if (ReadAnsiText(value, &s) && !s.empty() && static_cast<unsigned char>(s.back()) == 0xFF) {
        s.pop_back();
        bValid = s.empty() ? 0 : 1;
        if (bValid) SetAnsiText(value, nType, s);
      }
    }
  }
  if (valid != nullptr) *valid = bValid;
  if (minimum != nullptr) *minimum = bMin;
  if (maximum != nullptr) *maximum = bMax;
}

// ---- Leaves ------------------------------------------------------------------------

CNAConvertVariant* CNARecherche::_pclNewVariant(CNAColumn* column, const CAny* value, int keepText) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  const bool bNull = value == nullptr || value->bIsNull() || value->bIsEmpty();
  unsigned short nType = value != nullptr ? value->nGetTypeCode() : 0;
  CNAConvertVariant* pclVariant = nullptr;
  CNAColumn* pclFor = keepText ? nullptr : column;
  if (pclDriver != nullptr && pclFor != nullptr) {
    // The column's own variant: its items attached, the value's type kept.
    if (bNull) {
      pclVariant = pclDriver->pclGetNewVariant_NV_Any(pclGetError(), pclGetCnx(), pclFor,
                                                      nType != 0 ? nType : pclFor->eGetTNType());
      if (pclVariant != nullptr) pclVariant->SetNull();
    } else {
      pclVariant = pclDriver->pclGetNewVariant_NV_Any(pclGetError(), pclGetCnx(), pclFor, value);
    }
    if (pclVariant != nullptr) return pclVariant;
  }
  // No driver, no column, or a value the column's variant refused: a plain
  // variant of the value's own type.
  pclVariant = pclDriver != nullptr ? pclDriver->pclAllocVariant(pclGetError(), pclGetCnx())
                                    : new (std::nothrow) CNAConvertVariant(pclGetError(), pclGetCnx());
  if (pclVariant == nullptr) return nullptr;
  pclVariant->AddRef();
  if (nType == 0) nType = column != nullptr && column->eGetTNType() != 0 ? column->eGetTNType() : static_cast<unsigned short>(ANY_I4);
  pclVariant->InitTypeVariantAny(nType);
  if (bNull) {
    pclVariant->SetNull();
  } else if (!pclVariant->bSetValue(value)) {
    pclVariant->nRelease();
    return nullptr;
  }
  return pclVariant;
}

CNAExpression* CNARecherche::_pclNewLeaf(eNAOperator op, CNAColumn* column, CNAConvertVariant* value,
                                         unsigned int flags) {
  CNAExpression* pclMaker = pclAllocExpression();
  if (pclMaker == nullptr) return nullptr;
  pclMaker->AddRef();
  CNAExpression* pclLeaf = pclMaker->pclAllocExpression(op, column, value, flags);
  pclMaker->nRelease();
  return pclLeaf;
}

CNAExpression* CNARecherche::_pclAddKeyExpression(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                                  const std::vector<CAny>* values, const CNAColumn* keyColumn,
                                                  int first, int last, eNAOperator op, unsigned int flags,
                                                  eNAOperator join) {
  if (columns == nullptr || first < 0 || last < first || last >= columns->nGetNbElements()) return nullptr;
  CNAExpression* pclTree = nullptr;
  for (int i = last; i >= first; --i) {
    CNAColumn* pclColumn = (*columns)[i];
    if (pclColumn == nullptr) {
      Discard(pclTree);
      return nullptr;
    }
    eNAOperator eOp = op;
    if ((flags & knOptNoTurn) == 0 && bDescending(record, keyColumn, i, pclColumn))
      eOp = CNAExpression::s_eInvertOperator(op);
    unsigned int nFlags = flags & ~knOptNoTurn;
    if (i != last) nFlags &= ~knGeneric;
    const bool bPast = values == nullptr || static_cast<std::size_t>(i) >= values->size();
    const CAny clEmpty;
    const CAny* pValue = bPast ? &clEmpty : &(*values)[static_cast<std::size_t>(i)];
    const unsigned short nTN = pclColumn->eGetTNType();
    if (bPast && (nTN == ANY_DATETIME || nTN == ANY_DATEA)) eOp = NA_OPERATOR_ISNULL;
    // A prefix of a date or time stays text: the leaf turns it into the
    // period it names.
    const int bKeepText = (nFlags & knGeneric) != 0 && !pValue->bIsNull() &&
                          CNAExpression::s_bIsTextTNType(pValue->nGetTypeCode()) &&
                          (nTN == ANY_DATETIME || nTN == ANY_DATEA || nTN == ANY_TIMEA);
    CNAConvertVariant* pclVariant = _pclNewVariant(pclColumn, pValue, bKeepText);
    CNAExpression* pclLeaf = pclVariant != nullptr ? _pclNewLeaf(eOp, pclColumn, pclVariant, nFlags) : nullptr;
    if (pclVariant != nullptr) pclVariant->nRelease();  // the leaf holds it
    if (pclLeaf == nullptr) {
      Discard(pclTree);
      return nullptr;
    }
    pclTree = pclTree == nullptr ? pclLeaf : Join(join, pclLeaf, pclTree, nFlags & ~knGeneric);
    if (pclTree == nullptr) return nullptr;
  }
  return pclTree;
}

CNAExpression* CNARecherche::_pclAddBorne(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                          const std::vector<CAny>* values, const CNAColumn* keyColumn, int index,
                                          eNAOperator op, unsigned int flags, eNAOperator join) {
  if (columns == nullptr || index < 0 || index >= columns->nGetNbElements()) return nullptr;
  const CNAColumn* pclColumn = (*columns)[index];
  const bool bPrefix = (flags & knGeneric) != 0 && pclColumn != nullptr &&
                       (IsTextItem(pclColumn) || IsDateColumn(pclColumn)) && values != nullptr &&
                       static_cast<std::size_t>(index) < values->size();
  if (!bPrefix) return _pclAddKeyExpression(record, columns, values, keyColumn, index, index, op, flags, join);

  // The comparison in the column's value order (a descending column turns
  // it here, once): after the values beginning with the prefix is greater
  // and not beginning with it, up to the last of them is less or beginning
  // with it, before them is less, from the first of them on is greater or
  // equal.
  eNAOperator eOp = op;
  if ((flags & knOptNoTurn) == 0 && bDescending(record, keyColumn, index, pclColumn))
    eOp = CNAExpression::s_eInvertOperator(op);
  const unsigned int nFlags = flags | knOptNoTurn;
  // A date prefix names a period: the ordered comparisons take the period's
  // first instant, never the partial text read as a date.
  const std::vector<CAny>* pOrdered = values;
  std::vector<CAny> tabStart;
  unsigned int nOrderedFlags = nFlags;
  if (IsDateColumn(pclColumn)) {
    std::wstring sText;
    CAny clStart;
    if (AsWide((*values)[static_cast<std::size_t>(index)], &sText) &&
        CNAExpression::s_bGetBorneRechercheDateMin(pclColumn->eNAGetItemType(), sText.c_str(), &clStart)) {
      tabStart = *values;
      tabStart[static_cast<std::size_t>(index)] = clStart;
      pOrdered = &tabStart;
      nOrderedFlags &= ~knGeneric;
    }
  }
  if (eOp == NA_OPERATOR_GT || eOp == NA_OPERATOR_LE) {
    const bool bAfter = eOp == NA_OPERATOR_GT;
    CNAExpression* pclFirst = _pclAddKeyExpression(record, columns, pOrdered, keyColumn, index, index,
                                                   bAfter ? NA_OPERATOR_GT : NA_OPERATOR_LT, nFlags & ~knGeneric, join);
    if (pclFirst == nullptr) return nullptr;
    CNAExpression* pclSecond = _pclAddKeyExpression(record, columns, values, keyColumn, index, index,
                                                    bAfter ? NA_OPERATOR_NE : NA_OPERATOR_EQ, nFlags, join);
    return Join(bAfter ? NA_OPERATOR_AND : NA_OPERATOR_OR, pclFirst, pclSecond, pclFirst->nGetFlags());
  }
  if (eOp == NA_OPERATOR_LT || eOp == NA_OPERATOR_GE)
    return _pclAddKeyExpression(record, columns, pOrdered, keyColumn, index, index, eOp, nOrderedFlags, join);
  return _pclAddKeyExpression(record, columns, values, keyColumn, index, index, eOp, nFlags, join);
}

// ---- Equality ------------------------------------------------------------------------

CNAExpression* CNARecherche::_pclAddKeyExpressionEq(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                                    const std::vector<CAny>* values, const CNAColumn* keyColumn,
                                                    unsigned int options, unsigned int flags) {
  if (columns == nullptr) return nullptr;
  const bool bGeneric = (options & knOptGeneric) != 0;
  const int nColumns = columns->nGetNbElements();
  int n = (options & knOptValueCount) != 0 || bGeneric ? static_cast<int>(values != nullptr ? values->size() : 0)
                                                        : nColumns;
  if (n > nColumns) n = nColumns;
  if (n <= 0) return nullptr;
  if ((flags & knGeneric) != 0 && !bGeneric) flags &= ~knGeneric;
  if ((options & knOptRecord) == 0) {
    // A component that alone names one row is the whole condition (rows
    // whose other components are NULL included).
    for (int i = 0; i < n; ++i) {
      CNAColumn* pclColumn = (*columns)[i];
      if (pclColumn == nullptr) continue;
      const CAny clEmpty;
      const CAny* pValue =
          values != nullptr && static_cast<std::size_t>(i) < values->size() ? &(*values)[static_cast<std::size_t>(i)]
                                                                          : &clEmpty;
      const bool bIdentifies =
          pclColumn->bUniqueNotNull() || (pclColumn->bIsUnique() && !pclColumn->bNullOrEquivalent(pValue));
      if (!bIdentifies) continue;
      if (bGeneric && i == n - 1) break;  // a prefix names no single row
      return _pclAddKeyExpression(record, columns, values, keyColumn, i, i, NA_OPERATOR_EQ, flags & ~knGeneric,
                                  NA_OPERATOR_AND);
    }
  }
  return _pclAddKeyExpression(record, columns, values, keyColumn, 0, n - 1, NA_OPERATOR_EQ, flags, NA_OPERATOR_AND);
}

// ---- Intervals -----------------------------------------------------------------------

CNAExpression* CNARecherche::_pclAddKeyExpressionInfSupRecord(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                                              const std::vector<CAny>* values,
                                                              const CNAColumn* keyColumn, eNAOperator op,
                                                              unsigned int options, unsigned int flags) {
  if (columns == nullptr) return nullptr;
  int n = (options & knOptGeneric) != 0 ? static_cast<int>(values != nullptr ? values->size() : 0)
                                        : columns->nGetNbElements();
  if (n > columns->nGetNbElements()) n = columns->nGetNbElements();
  return _pclAddKeyExpressionInfSup(record, columns, values, keyColumn, n, op, flags);
}

CNAExpression* CNARecherche::_pclAddKeyExpressionInfSupCompositeKey(CNARecord* record, CNAColumn* key,
                                                                    const std::vector<CAny>* values, eNAOperator op,
                                                                    unsigned int options, unsigned int flags,
                                                                    int minMarker, int maxMarker) {
  const CRefArray<CNAColumn>* pComponents = key != nullptr ? key->pclGetTabComponent() : nullptr;
  if (pComponents == nullptr || values == nullptr) return nullptr;
  int n = static_cast<int>(values->size());
  if (n > pComponents->nGetNbElements()) n = pComponents->nGetNbElements();
  // A bound ending at the platform's maximum (under <=) or minimum (under
  // >=) leaves that end open.
  if ((options & knOptValueCount) != 0 && n > 0 &&
      ((maxMarker && op == NA_OPERATOR_LE) || (minMarker && op == NA_OPERATOR_GE)))
    --n;
  return _pclAddKeyExpressionInfSup(record, pComponents, values, key, n, op, flags);
}

CNAExpression* CNARecherche::_pclAddKeyExpressionInfSup(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                                        const std::vector<CAny>* values, const CNAColumn* keyColumn,
                                                        int count, eNAOperator op, unsigned int flags) {
  if (columns == nullptr || count <= 0) return nullptr;
  if (count > columns->nGetNbElements()) count = columns->nGetNbElements();
  std::vector<CAny> clValues;
  if (values != nullptr) clValues = *values;
  if (clValues.size() < static_cast<std::size_t>(count)) clValues.resize(static_cast<std::size_t>(count));
  // The NULL selection of the columns compared so far, to know when they
  // complete a unique key that excludes NULL.
  CColumnNullValueExcluded* pclNullSet = nullptr;
  if (record != nullptr && record->pclGetTabComposedKeyUnique()->nGetNbElements() > 0)
    pclNullSet = new (std::nothrow) CColumnNullValueExcluded();
  CNAExpression* pclTree =
      _pclAddKeyExpressionInfSupIndice(record, columns, &clValues, keyColumn, 0, count, op, flags, pclNullSet);
  delete pclNullSet;
  return pclTree;
}

CNAExpression* CNARecherche::_pclAddKeyExpressionInfSupIndice(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                                              std::vector<CAny>* values, const CNAColumn* keyColumn,
                                                              int index, int count, eNAOperator op,
                                                              unsigned int flags, CColumnNullValueExcluded* nullSet) {
  CNAColumn* pclColumn = (*columns)[index];
  if (pclColumn == nullptr) return nullptr;
  if (index == count - 1) {
    // A last value ending in the highest character, under <=, reaches every
    // value beginning with the rest.
    if (op == NA_OPERATOR_LE && (flags & knGeneric) == 0 &&
        _bGenericSearchDueTohValMax(pclColumn, &(*values)[static_cast<std::size_t>(index)]))
      flags |= knGeneric;
    return _pclAddBorne(record, columns, values, keyColumn, index, op, flags, NA_OPERATOR_AND);
  }
  const unsigned int nFlags = flags & ~knGeneric;
  const eNAOperator eStrict = op == NA_OPERATOR_LE ? NA_OPERATOR_LT : (op == NA_OPERATOR_GE ? NA_OPERATOR_GT : op);
  CNAExpression* pclStrict =
      _pclAddKeyExpression(record, columns, values, keyColumn, index, index, eStrict, nFlags, NA_OPERATOR_AND);
  if (pclStrict == nullptr) return nullptr;
  if (nullSet != nullptr) {
    nullSet->bCombineColumnValuesNullSelected(NA_OPERATOR_AND, pclColumn,
                                              pclStrict->bColumnValuesNullSelected(pclColumn));
    // The columns so far name one row at most: equal on all of them is the
    // row itself, which a strict comparison leaves out.
    if ((op == NA_OPERATOR_GT || op == NA_OPERATOR_LT) &&
        record->bComposedKeyUniqueNotNullAdded(columns, index + 1, nullSet))
      return pclStrict;
  }
  CNAExpression* pclEqual =
      _pclAddKeyExpression(record, columns, values, keyColumn, index, index, NA_OPERATOR_EQ, nFlags, NA_OPERATOR_AND);
  if (pclEqual == nullptr) {
    Discard(pclStrict);
    return nullptr;
  }
  if (nullSet != nullptr)
    nullSet->bCombineColumnValuesNullSelected(NA_OPERATOR_OR, pclColumn, pclEqual->bColumnValuesNullSelected(pclColumn));
  CNAExpression* pclRest =
      _pclAddKeyExpressionInfSupIndice(record, columns, values, keyColumn, index + 1, count, op, flags, nullSet);
  if (pclRest == nullptr) {
    Discard(pclStrict);
    Discard(pclEqual);
    return nullptr;
  }
  const unsigned int nStrictFlags = pclStrict->nGetFlags();
  CNAExpression* pclAnd = Join(NA_OPERATOR_AND, pclEqual, pclRest, pclEqual->nGetFlags());
  if (pclAnd == nullptr) {
    Discard(pclStrict);
    return nullptr;
  }
  return Join(NA_OPERATOR_OR, pclStrict, pclAnd, nStrictFlags);
}

// ---- Columns of a record search ------------------------------------------------------

void CNARecherche::_AddAllItem(CNARecord* record, CNAColumn* column, const CRefArray<CNAColumn>* keys,
                               CRefArray<CNAColumn>* out, CNAColumn** compositeKey) {
  if (compositeKey != nullptr) *compositeKey = nullptr;
  if (out == nullptr) return;
  if (column != nullptr) {
    const CRefArray<CNAColumn>* pComponents = column->bIsComposedKey() ? column->pclGetTabComponent() : nullptr;
    if (pComponents != nullptr) {
      for (int i = 0; i < pComponents->nGetNbElements(); ++i) AddUnique(out, (*pComponents)[i]);
      if (compositeKey != nullptr) *compositeKey = column;
    } else if (!column->bIsComposedKey()) {
      AddUnique(out, column);
    }
  }
  auto fnAdd = [&](CNAColumn* c) {
    if (c == nullptr) return;
    const CRefArray<CNAColumn>* pComponents = c->bIsComposedKey() ? c->pclGetTabComponent() : nullptr;
    if (pComponents == nullptr) {
      if (!c->bIsComposedKey()) AddUnique(out, c);
      return;
    }
    for (int i = 0; i < pComponents->nGetNbElements(); ++i) AddUnique(out, (*pComponents)[i]);
  };
  if (keys != nullptr && keys->nGetNbElements() > 0) {
    for (int i = 0; i < keys->nGetNbElements(); ++i) fnAdd((*keys)[i]);
  } else if (record != nullptr) {
    for (int i = 0; i < record->nGetColumnOrderCount(); ++i) fnAdd(record->pclGetColumnOrderNoRef(i));
  }
  // Past a unique column with a value, the rest decides nothing.
  for (int i = 0; i < out->nGetNbElements(); ++i) {
    CNAColumn* c = (*out)[i];
    if (c->bIsUnique() && !c->bNullOrEquivalent()) {
      if (i + 1 < out->nGetNbElements()) out->Supprime(i + 1, out->nGetNbElements() - i - 1);
      break;
    }
  }
}

// ---- The leaf builder -----------------------------------------------------------------

CNAExpression* CNARecherche::_pclAddOneColumn(CNARecord* record, CNAColumn* column, eNAOperator op,
                                              const CAny* value, unsigned int options, unsigned int flags) {
  CAny clValue;
  const bool bFromRecord = (options & (knOptRecord | knOptRecordSet)) != 0;
  if (bFromRecord) {
    if (!column->bGetCurrentValue(&clValue, 0)) return nullptr;
  } else if (value != nullptr) {
    clValue = *value;
  }
  CRefArray<CNAColumn> tabColumns(1);
  if (tabColumns.Ajoute(column) < 0) return nullptr;
  std::vector<CAny> tabValues(1);
  if ((options & knOptValueCount) == 0) {
    if ((flags & knGeneric) != 0 && _bTermineParCaract0(&clValue)) {
      // A value ending in NUL names the whole value: the prefix would find
      // longer values too.
      flags &= ~knGeneric;
    } else if (!bFromRecord && op == NA_OPERATOR_EQ && _bGenericSearchDueTohValMax(column, &clValue)) {
      flags |= knGeneric;
    }
    tabValues[0] = clValue;
    return _pclAddKeyExpression(record, &tabColumns, &tabValues, nullptr, 0, 0, op, flags, NA_OPERATOR_AND);
  }

  // A filter bound.
  int bValid = 1;
  int bMin = 0;
  int bMax = 0;
  _GetValue(column, &clValue, &bValid, &bMin, &bMax);
  if (op != NA_OPERATOR_EQ && !bValid) return nullptr;
  if (bMax && bValid) {
    // "The value, then the highest character": the last of the values
    // beginning with the value.
    flags |= knGeneric;
    if (IsDateColumn(column)) {
      // Through the period: before the first instant after it; past it:
      // from that instant on. When no instant follows (year 9999), the
      // prefix bound stands (through the period is every row from its
      // start; past it, none).
      std::wstring sText;
      CAny clAfter;
      const bool bThrough = op == NA_OPERATOR_LE || op == NA_OPERATOR_LT;
      if (op != NA_OPERATOR_EQ && AsWide(clValue, &sText) &&
          CNAExpression::s_bGetBorneRechercheDateMax(column->eNAGetItemType(), sText.c_str(), &clAfter)) {
        clValue = clAfter;
        flags &= ~knGeneric;
        op = bThrough ? NA_OPERATOR_LT : NA_OPERATOR_GE;
      } else if (op == NA_OPERATOR_LT) {
        op = NA_OPERATOR_LE;
      } else if (op == NA_OPERATOR_GE) {
        op = NA_OPERATOR_GT;
      }
    } else if (op == NA_OPERATOR_LT) {
      op = NA_OPERATOR_LE;  // every value beginning with the text lies below the marker
    } else if (op == NA_OPERATOR_GE) {
      op = NA_OPERATOR_GT;  // and none at or above it
    }
  }
  tabValues[0] = clValue;
  return _pclAddBorne(record, &tabColumns, &tabValues, nullptr, 0, op, flags, NA_OPERATOR_AND);
}

CNAExpression* CNARecherche::_pclAddExpression(CNARecord* record, INAItemDescription* item, eNAOperator op,
                                               const CAny* value, unsigned int options,
                                               const CRefArray<CNAColumn>* keys) {
  if (record == nullptr || item == nullptr) return nullptr;
  CNAColumn* pclColumn = record->pclGetColumnNoRef(item);
  if (pclColumn == nullptr) return nullptr;
  const bool bRecord = (options & knOptRecord) != 0;
  const bool bFromRecord = (options & (knOptRecord | knOptRecordSet)) != 0;
  if (!bFromRecord && CNAExpression::s_bExpressionTrue(op, pclGetCnx(), value)) return nullptr;
  unsigned int nFlags = (options & knLeafFlags) | (options & knOptNoTurn);

  // One column.
  CNAColumn* pclSingle = nullptr;
  if (!bRecord) {
    if (!pclColumn->bIsComposedKey()) pclSingle = pclColumn;
  } else if (pclColumn->bIsUnique() && !pclColumn->bIsComposedKey() && pclColumn->bValueDefined()) {
    pclSingle = pclColumn;
  } else if (op == NA_OPERATOR_EQ) {
    CNAColumn* pclKey = record->pclGetUniqueKeyNotNullNoRef();
    if (pclKey != nullptr && !pclKey->bIsComposedKey()) pclSingle = pclKey;
  }
  if (pclSingle != nullptr) return _pclAddOneColumn(record, pclSingle, op, value, options, nFlags);

  // Several columns.
  if (op != NA_OPERATOR_EQ && !IsIntervalOperator(op)) return nullptr;
  std::vector<CAny> tabValues;
  if (pclColumn->bIsComposedKey() && (!bRecord || (pclColumn->bIsUnique() && pclColumn->bValueDefined()))) {
    CNARefArray<CNAColumn>* pComponents = pclColumn->pclGetTabComponent();
    if (pComponents == nullptr || pComponents->nGetNbElements() == 0) return nullptr;
    int bMin = 0;
    int bMax = 0;
    if ((options & knOptRecordSet) != 0 || bRecord) {
      _GetComponentValueFromRecord(pComponents, &tabValues);
    } else {
      // What the buffer holds is used even when its end could not be read.
      _GetComponentValue(pComponents, value, (options & (knOptGeneric | knOptValueCount)) != 0, &tabValues, &bMin,
                         &bMax);
    }
    if (!bRecord) nFlags |= CNAExpression::knFlagComposite;
    if (op == NA_OPERATOR_EQ)
      return _pclAddKeyExpressionEq(record, pComponents, &tabValues, pclColumn, options, nFlags);
    return _pclAddKeyExpressionInfSupCompositeKey(record, pclColumn, &tabValues, op, options, nFlags, bMin, bMax);
  }
  if (!bRecord) return nullptr;

  // The record's row: by its unique key when it has one with a value, else
  // by every column that orders it.
  CRefArray<CNAColumn> tabColumns(8);
  CNAColumn* pclKey = nullptr;
  CNAColumn* pclUnique = op == NA_OPERATOR_EQ ? record->pclGetUniqueKeyNotNullNoRef() : nullptr;
  if (pclUnique != nullptr) {
    const CRefArray<CNAColumn>* pComponents = pclUnique->pclGetTabComponent();
    if (pclUnique->bIsComposedKey() && pComponents != nullptr) {
      for (int i = 0; i < pComponents->nGetNbElements(); ++i) tabColumns.Ajoute((*pComponents)[i]);
      pclKey = pclUnique;
    } else {
      tabColumns.Ajoute(pclUnique);
    }
  } else {
    _AddAllItem(record, pclColumn, keys, &tabColumns, &pclKey);
  }
  if (tabColumns.nGetNbElements() == 0) return nullptr;
  CurrentValues(&tabColumns, &tabValues);
  if (op == NA_OPERATOR_EQ) return _pclAddKeyExpressionEq(record, &tabColumns, &tabValues, pclKey, options, nFlags);
  return _pclAddKeyExpressionInfSupRecord(record, &tabColumns, &tabValues, pclKey, op, options, nFlags);
}
