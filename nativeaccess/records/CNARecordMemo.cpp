#include "CNARecordMemo.h"

CNARecordMemo::~CNARecordMemo() = default;

bool CNARecordMemo::bShareMemoValue(int index, CNAConvertVariant* value) {
  if (index < 0) return false;
  while (nGetNbElements() < index)
    if (Ajoute(nullptr) < 0) return false;
  if (index == nGetNbElements()) return Ajoute(value) >= 0;
  if (pGetAt(index) == value) return true;
  // The new element goes in (its reference taken) before the old one leaves.
  if (Insere(value, index) < 0) return false;
  Supprime(index + 1, 1);
  return true;
}

bool CNARecordMemo::bCopyMemoValue(int index, const CNAConvertVariant* value) {
  if (index < 0) return false;
  CNAConvertVariant* pclElement = pGetAt(index);
  if (pclElement != nullptr) return pclElement->bCopyVariant(value) != 0;
  if (value == nullptr) return true;
  CNAConvertVariant* pclClone = value->pclGetCloneVariant();
  if (pclClone == nullptr) return false;
  pclClone->AddRef();
  const bool bOk = bShareMemoValue(index, pclClone);
  pclClone->nRelease();
  return bOk;
}

bool CNARecordMemo::bCopyRecordMemo(const CNARecordMemo* source) {
  const int nSource = source != nullptr ? source->nGetNbElements() : 0;
  bool bOk = true;
  for (int i = 0; i < nSource && bOk; ++i) bOk = bCopyMemoValue(i, source->pGetAt(i));
  for (int i = nSource; i < nGetNbElements(); ++i) {
    CNAConvertVariant* pclElement = pGetAt(i);
    if (pclElement != nullptr) pclElement->SetNull();
  }
  return bOk;
}

bool CNARecordMemo::bHasValue() const {
  for (int i = 0; i < nGetNbElements(); ++i)
    if (pGetAt(i) != nullptr) return true;
  return false;
}

bool CNARecordMemo::g_bEqualsNARecordMemo(const CNARecordMemo* a, const CNARecordMemo* b) {
  if (a == b) return true;
  const int na = a != nullptr ? a->nGetNbElements() : 0;
  const int nb = b != nullptr ? b->nGetNbElements() : 0;
  const int n = na > nb ? na : nb;
  for (int i = 0; i < n; ++i) {
    const CNAConvertVariant* pa = i < na ? a->pGetAt(i) : nullptr;
    const CNAConvertVariant* pb = i < nb ? b->pGetAt(i) : nullptr;
    if (CNAVariant::g_bEqualsNAVariant(pa, pb) == 0) return false;
  }
  return true;
}
