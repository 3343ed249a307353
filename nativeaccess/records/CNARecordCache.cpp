#include "CNARecordCache.h"

#include <climits>
#include <new>

#include "XMalloc.h"

namespace {

constexpr int knELEMENTS_PAR_BUFFER = 500;
constexpr int knTAILLE_MAX_BUFFER = 0x200000;

}  // namespace

CNARecordCache::CNARecordCache()
    : m_tabRecords(knELEMENTS_PAR_BUFFER, knTAILLE_MAX_BUFFER),
      m_tabMemos(100),
      m_tabStates(100),
      m_tabIds(knELEMENTS_PAR_BUFFER, knTAILLE_MAX_BUFFER) {}

CNARecordCache::~CNARecordCache() {
  CNARecordCache::SupprimeTout();
  XMALLOC_Del_(m_pbyScratch);
  if (m_pclTemplate != nullptr) m_pclTemplate->nRelease();
}

void CNARecordCache::SetGrowStep(int step, int size) {
  if (step != 0) {
    m_tabMemos.SetPas(step);
    m_tabRecords.SetPas(step, m_tabRecords.nGetTailleMaxBuffer());
    m_tabIds.SetPas(step, m_tabIds.nGetTailleMaxBuffer());
  }
  if (size != 0) {
    m_tabRecords.SetPas(m_tabRecords.nGetElementsParBuffer(), size);
    m_tabIds.SetPas(m_tabIds.nGetElementsParBuffer(), size);
  }
}

void CNARecordCache::SetCachingActive(int active) {
  if (active != 0)
    m_nFlags |= knCACHING;
  else
    m_nFlags &= ~knCACHING;
}

void CNARecordCache::SetFetchComplete() {
  if ((m_nFlags & knCACHING) != 0) m_nFlags |= knCOMPLETE;
}

// ---- Storing ------------------------------------------------------------------

void CNARecordCache::_NoteValue(const CNARecordValue* value, bool bCreateTemplate) {
  CNARecordId* pclId = value->pclGetRecordId();
  if (pclId != nullptr && m_eIdType == NA_RECORDID_NONE) {
    m_eIdType = pclId->eGetRecordIdType();
    pclId->SetHashTableFct_SerializedObject(m_clHash.pclGetTable());
  }
  const CNAXQRecord* pclRecord = value->pclGetNAXQRecord();
  bool bClone = m_pclTemplate == nullptr && bCreateTemplate;
  if (m_pclTemplate != nullptr && pclRecord != nullptr) {
    // The template follows the stored layout, so that entries of the
    // current layout can still be loaded into it.
    const CNAXQRecord* pclModele = m_pclTemplate->pclGetNAXQRecord();
    bClone = pclModele == nullptr || pclModele->nGetTotalSize() != pclRecord->nGetTotalSize() ||
             pclModele->nGetFlagFieldSize() != pclRecord->nGetFlagFieldSize();
  }
  if (!bClone) return;
  CNARecordValue* pclNew = value->pclGetClone(static_cast<eCOPYFLAGS>(NA_COPY_RECORD | NA_COPY_RECORDID));
  if (pclNew == nullptr) return;
  pclNew->AddRef();
  if (m_pclTemplate != nullptr) m_pclTemplate->nRelease();
  m_pclTemplate = pclNew;
}

CNARecordMemo* CNARecordCache::_pclSetMemo(int index, const CNARecordMemo* source) {
  while (m_tabMemos.nGetNbElements() < index)
    if (m_tabMemos.Ajoute(nullptr) < 0) return nullptr;
  CNARecordMemo* pclSet = m_tabMemos.pGetAt(index);
  if (pclSet == nullptr) {
    pclSet = new (std::nothrow) CNARecordMemo();
    if (pclSet == nullptr) return nullptr;
    pclSet->dwAddRef();
    bool bOk;
    if (index == m_tabMemos.nGetNbElements()) {
      bOk = m_tabMemos.Ajoute(pclSet) >= 0;
    } else {
      bOk = m_tabMemos.Insere(pclSet, index) >= 0;
      if (bOk) m_tabMemos.Supprime(index + 1, 1);  // the empty slot
    }
    pclSet->dwRelease();  // the table holds it now (or it is gone)
    if (!bOk) return nullptr;
  }
  pclSet->bCopyRecordMemo(source);
  return pclSet;
}

bool CNARecordCache::_bStoreId(int index, const CNARecordValue* value, eStore how) {
  CNARecordId* pclId = value != nullptr ? value->pclGetRecordId() : nullptr;
  const bool bValues = pclId != nullptr && pclId->eGetRecordIdType() == NA_RECORDID_RECORDVALUES;
  // A record-values id is built here, over the entry's own stored bytes
  // (not over the value's buffer), and serialised straight into the id
  // table.
  std::uint64_t nTaille = 0;
  const unsigned char* pbyRecord = bValues ? m_tabRecords.pGetDonnees(index, &nTaille) : nullptr;
  const CNARecordId_RecordValues clValues(pbyRecord, nTaille, bValues ? m_tabMemos.pGetAt(index) : nullptr);
  const CNARecordId* pclStore = bValues ? &clValues : pclId;
  bool bStored;
  switch (how) {
    case eStore::Append:
      bStored = m_tabIds.nAjoute(pclStore) == index;
      break;
    case eStore::Insert:
      bStored = m_tabIds._Insere(pclStore, index) == index;
      break;
    default:
      bStored = m_tabIds.bRemplace(index, pclStore) || pclStore == nullptr;
      break;
  }
  if (!bStored && how != eStore::Replace) return false;
  // An id of another kind than the cache's is kept but never found.
  const unsigned char* pbyKey = m_tabIds.pGetDonnees(index);
  if (pbyKey != nullptr && pclId != nullptr && pclId->eGetRecordIdType() == m_eIdType) m_clHash.bAdd(pbyKey, index);
  return true;
}

void CNARecordCache::_RemoveIdFromHash(int index) {
  const unsigned char* pbyKey = m_tabIds.pGetDonnees(index);
  if (pbyKey != nullptr) {
    m_clHash.bRemove(pbyKey, index);
  } else if (m_nStaleIds > 0 && m_clHash.bRemoveIndex(index)) {
    --m_nStaleIds;
  }
}

int CNARecordCache::nAjoute(const CNARecordValue* value) { return _nAjoute(value); }

int CNARecordCache::_nAjoute(const CNARecordValue* value) {
  const int nIndex = nGetCount();
  if (nIndex == INT_MAX) return -1;
  if (value == nullptr) {
    if (m_tabRecords.nAjoute(nullptr) != nIndex) return -1;
    if (m_tabIds.nAjoute(nullptr) != nIndex) {
      m_tabRecords.Supprime(nIndex);
      return -1;
    }
    if (m_tabStates.Ajoute(NA_RECORDSTATE_DELETED) != nIndex) {
      m_tabRecords.Supprime(nIndex);
      m_tabIds.Supprime(nIndex);
      return -1;
    }
    ++m_nDeleted;
    return nIndex;
  }

  _NoteValue(value, true);
  if (m_tabRecords.nAjoute(value->pclGetNAXQRecord()) != nIndex) return -1;
  const CNARecordMemo* pclMemo = value->pclGetTabMemo();
  if (pclMemo != nullptr && pclMemo->bHasValue()) _pclSetMemo(nIndex, pclMemo);
  if (!_bStoreId(nIndex, value, eStore::Append)) {
    m_tabRecords.Supprime(nIndex);
    if (m_tabMemos.nGetNbElements() > nIndex) m_tabMemos.Supprime(nIndex, 1);
    return -1;
  }
  const eNA_RECORDSTATE eState = value->eGetRecordState();
  if (m_tabStates.Ajoute(eState) != nIndex) {
    _RemoveIdFromHash(nIndex);
    m_tabRecords.Supprime(nIndex);
    m_tabIds.Supprime(nIndex);
    if (m_tabMemos.nGetNbElements() > nIndex) m_tabMemos.Supprime(nIndex, 1);
    return -1;
  }
  if (eState == NA_RECORDSTATE_DELETED) ++m_nDeleted;
  return nIndex;
}

int CNARecordCache::_Insere(const CNARecordValue* value, int position) {
  if (position < 0 || position >= nGetCount()) return -1;
  if (value != nullptr) _NoteValue(value, false);
  const CNAXQRecord* pclRecord = value != nullptr ? value->pclGetNAXQRecord() : nullptr;
  if (m_tabRecords._Insere(pclRecord, position) != position) return -1;

  // The memo table stays parallel to the entries where it reaches them.
  const CNARecordMemo* pclMemo = value != nullptr ? value->pclGetTabMemo() : nullptr;
  const bool bMemos = pclMemo != nullptr && pclMemo->bHasValue();
  if (m_tabMemos.nGetNbElements() > position) {
    if (m_tabMemos.Insere(nullptr, position) >= 0 && bMemos) _pclSetMemo(position, pclMemo);
  } else if (bMemos) {
    _pclSetMemo(position, pclMemo);
  }

  // Every index from the position up moves up before the new id enters.
  m_clHash.Shift(position, 1);
  if (!_bStoreId(position, value, eStore::Insert)) {
    // The id table refused the entry: put everything back as it was.
    m_clHash.Shift(position + 1, -1);
    m_tabRecords.Supprime(position);
    if (m_tabMemos.nGetNbElements() > position) m_tabMemos.Supprime(position, 1);
    return -1;
  }
  const eNA_RECORDSTATE eState = value != nullptr ? value->eGetRecordState() : NA_RECORDSTATE_DELETED;
  if (m_tabStates.Insere(eState, position) != position) {
    _RemoveIdFromHash(position);
    m_clHash.Shift(position + 1, -1);
    m_tabRecords.Supprime(position);
    m_tabIds.Supprime(position);
    if (m_tabMemos.nGetNbElements() > position) m_tabMemos.Supprime(position, 1);
    return -1;
  }
  if (eState == NA_RECORDSTATE_DELETED) ++m_nDeleted;
  return position;
}

int CNARecordCache::Insere(const CNARecordValue* value, int position) {
  if (position < 0) return -1;
  while (nGetCount() < position)
    if (nAjoute(nullptr) < 0) return -1;
  if (position == nGetCount()) return nAjoute(value);
  return _Insere(value, position);
}

void CNARecordCache::Update(int index, const CNARecordValue* value) {
  if (index < 0 || index >= nGetCount()) return;
  const eNA_RECORDSTATE eOld = m_tabStates[index];
  if (value == nullptr) {
    // The old id stays in the index (a lookup finds the placeholder); a
    // later rewrite or removal of this entry walks the index for it.
    if (m_tabIds.pGetDonnees(index) != nullptr) ++m_nStaleIds;
    m_tabRecords.bRemplace(index, nullptr);
    m_tabIds.bRemplace(index, nullptr);
    if (eOld != NA_RECORDSTATE_DELETED) ++m_nDeleted;
    m_tabStates[index] = NA_RECORDSTATE_DELETED;
    return;
  }

  _NoteValue(value, false);
  _RemoveIdFromHash(index);
  // Bytes of the old length are rewritten where they are; anything else
  // (a placeholder, another record size, a row id of another length) goes
  // to a fresh element that the entry is pointed at.
  m_tabRecords.bRemplace(index, value->pclGetNAXQRecord());
  const CNARecordMemo* pclMemo = value->pclGetTabMemo();
  if (pclMemo != nullptr && pclMemo->bHasValue()) _pclSetMemo(index, pclMemo);
  _bStoreId(index, value, eStore::Replace);
  SetRecordState(index, value->eGetRecordState());
}

void CNARecordCache::Supprime(int index) {
  if (index < 0 || index >= nGetCount()) return;
  _RemoveIdFromHash(index);
  m_tabRecords.Supprime(index);
  m_tabIds.Supprime(index);
  if (m_tabMemos.nGetNbElements() > index) m_tabMemos.Supprime(index, 1);
  if (m_tabStates[index] == NA_RECORDSTATE_DELETED) --m_nDeleted;
  m_tabStates.Supprime(index, 1);
  m_clHash.Shift(index + 1, -1);
}

void CNARecordCache::SupprimeTout() {
  m_nFlags &= ~knCOMPLETE;
  m_clHash.DeleteAll();
  m_tabRecords.SupprimeTout();
  m_tabIds.SupprimeTout();
  m_tabMemos.SupprimeTout();
  m_tabStates.SupprimeDernier(m_tabStates.nGetNbElements());
  m_nDeleted = 0;
  m_nStaleIds = 0;
}

// ---- Reading ------------------------------------------------------------------

bool CNARecordCache::bGetAt(CNARecordValue* value, int index) {
  if (value == nullptr || index < 0 || index >= nGetCount()) return false;
  if (value->pclGetNAXQRecord() == nullptr &&
      (m_pclTemplate == nullptr ||
       !value->bCopyRecordValue(m_pclTemplate, static_cast<eCOPYFLAGS>(NA_COPY_RECORD | NA_COPY_RECORDID))))
    return false;
  CNAXQRecord* pclRecord = value->pclGetNAXQRecord();
  if (pclRecord == nullptr || !m_tabRecords.bLit(index, pclRecord)) return false;
  CNARecordId* pclId = value->pclGetRecordId();
  if (pclId != nullptr && pclId->eGetRecordIdType() != NA_RECORDID_RECORDVALUES) {
    if (pclId->eGetRecordIdType() != m_eIdType || !m_tabIds.bLit(index, pclId)) return false;
  }
  // No set in the slot reads as an empty set: the value's memo values
  // become NULL (or its set goes), and the slot stays empty.
  const CNARecordMemo* pclSet = m_tabMemos.pGetAt(index);
  if (pclSet == nullptr && value->pclGetTabMemo() == nullptr) return true;
  return value->bCopyTabMemoValue(pclSet);
}

bool CNARecordCache::bGetAt(CNARecordValue* value, CNARecordId* id) { return bGetAt(value, nGetRecordIndice(id)); }

const unsigned char* CNARecordCache::_pbySerialise(CNARecordId* id) {
  const unsigned long n = id->nGetSerializedSize();
  if (n > m_nScratch) {
    auto* pby = static_cast<unsigned char*>(XMALLOC_pResize_(m_pbyScratch, n));
    if (pby == nullptr) return nullptr;
    m_pbyScratch = pby;
    m_nScratch = n;
  }
  return id->Serialize(m_pbyScratch, n) ? m_pbyScratch : nullptr;
}

int CNARecordCache::nGetRecordIndice(CNARecordId* id) {
  if (id == nullptr || m_eIdType == NA_RECORDID_NONE || id->eGetRecordIdType() != m_eIdType) return -1;
  const unsigned char* pbyKey = _pbySerialise(id);
  return pbyKey != nullptr ? m_clHash.nFind(pbyKey) : -1;
}

int CNARecordCache::nGetRecordIndice(const CNARecordValue* value) {
  return value != nullptr ? nGetRecordIndice(value->pclGetRecordId()) : -1;
}

int CNARecordCache::nGetPosition(int position, eNA_PARSEDIRECTION direction, int step) const {
  const std::int64_t nCount = nGetCount();
  std::int64_t nStart;
  bool bForward = true;
  switch (direction) {
    case NA_PARSE_NEXT:
      nStart = position;
      break;
    case NA_PARSE_LAST:
      nStart = nCount;
      bForward = false;
      break;
    case NA_PARSE_PREVIOUS:
      nStart = position;
      bForward = false;
      break;
    default:
      nStart = -1;
      break;
  }
  std::int64_t nResult;
  if (m_nDeleted <= 0) {
    nResult = bForward ? nStart + step : nStart - step;
  } else if (bForward) {
    if (step <= 0) {
      nResult = nStart;
    } else {
      std::int64_t i = nStart;
      std::int64_t nLeft = step;
      if (i < -1) {
        // Indexes before the first are no entries: none is deleted.
        const std::int64_t nDessous = -1 - i;
        const std::int64_t nPas = nDessous < nLeft ? nDessous : nLeft;
        i += nPas;
        nLeft -= nPas;
      }
      while (nLeft > 0 && i + 1 < nCount) {
        ++i;
        if ((m_tabStates[static_cast<int>(i)] & 0x80) == 0) --nLeft;
      }
      nResult = i + nLeft;  // past the end every index counts
    }
  } else {
    if (nStart < 0) {
      nResult = -1;
    } else if (step <= 0) {
      nResult = nStart;
    } else {
      std::int64_t i = nStart;
      std::int64_t nLeft = step;
      if (i - 1 >= nCount) {
        // Indexes past the end count as not deleted.
        const std::int64_t nDessus = i - nCount;
        const std::int64_t nPas = nDessus < nLeft ? nDessus : nLeft;
        i -= nPas;
        nLeft -= nPas;
      }
      while (nLeft > 0) {
        --i;
        if (i < 0) break;
        if ((m_tabStates[static_cast<int>(i)] & 0x80) == 0) --nLeft;
      }
      nResult = i;
    }
  }
  if (nResult < 0) return -1;
  return nResult > INT_MAX ? INT_MAX : static_cast<int>(nResult);
}

bool CNARecordCache::bMustFetch(int index) const {
  if ((m_nFlags & knCACHING) == 0) return true;
  if (index < 0) return false;
  if (index >= nGetCount()) return (m_nFlags & knCOMPLETE) == 0;
  return m_tabRecords.pGetDonnees(index) == nullptr;
}

eNA_RECORDSTATE CNARecordCache::eGetRecordState(int index) const {
  return index >= 0 && index < nGetCount() ? m_tabStates[index] : NA_RECORDSTATE_READ;
}

void CNARecordCache::SetRecordState(int index, eNA_RECORDSTATE state) {
  if (index < 0 || index >= nGetCount()) return;
  const eNA_RECORDSTATE eOld = m_tabStates[index];
  if (eOld == NA_RECORDSTATE_DELETED && state != NA_RECORDSTATE_DELETED) --m_nDeleted;
  if (eOld != NA_RECORDSTATE_DELETED && state == NA_RECORDSTATE_DELETED) ++m_nDeleted;
  m_tabStates[index] = state;
}

int CNARecordCache::nSetRecordState(CNARecordId* id, eNA_RECORDSTATE state) {
  const int nIndex = nGetRecordIndice(id);
  SetRecordState(nIndex, state);
  return nIndex;
}

void CNARecordCache::RestaureMemo(int index, CNARecordMemo* memo) {
  if (memo == nullptr || !memo->bHasValue()) return;
  const CNARecordMemo* pclSet = m_tabMemos.pGetAt(index);
  if (pclSet != nullptr) memo->bCopyRecordMemo(pclSet);
}

bool CNARecordCache::bEquals(int index, const CNARecordValue* value, int withMemos) {
  if (m_pclTemplate == nullptr || !bGetAt(m_pclTemplate, index)) return false;
  return m_pclTemplate->bEquals(value, withMemos);
}

bool CNARecordCache::bEquals(int index1, int index2, int withMemos) {
  if (m_pclTemplate == nullptr || !bGetAt(m_pclTemplate, index1)) return false;
  CNARecordValue* pclPremier = m_pclTemplate->pclGetClone(NA_COPY_ALL);
  if (pclPremier == nullptr) return false;
  pclPremier->AddRef();
  const bool bEgal = bGetAt(m_pclTemplate, index2) && m_pclTemplate->bEquals(pclPremier, withMemos);
  pclPremier->nRelease();
  return bEgal;
}

int CNARecordCache::nOnNotifyOperation(eNAQUERYTYPE kind, const CNARecordValue* newValue,
                                       const CNARecordValue* oldValue, unsigned int, int first) {
  if (kind == NA_QUERY_INSERT) {
    if (first != 0) return Insere(newValue, 0) == 0 ? 0 : -1;
    return nAjoute(newValue);
  }
  const int nIndex = nGetRecordIndice(oldValue);
  if (nIndex < 0) return -1;
  if (kind == NA_QUERY_UPDATE) {
    Update(nIndex, newValue);
  } else if (kind == NA_QUERY_DELETE) {
    if ((m_tabStates[nIndex] & 0x80) == 0) SetRecordState(nIndex, NA_RECORDSTATE_DELETED);
  }
  return nIndex;
}

// ---- Position store -------------------------------------------------------------

CNARecordCachePosition::CNARecordCachePosition() : m_tabRefs(500) {}

CNARecordCachePosition::~CNARecordCachePosition() { m_tabRefs.SupprimeToutEtLibere(); }

void CNARecordCachePosition::SetGrowStep(int step, int size) {
  CNARecordCache::SetGrowStep(step, size);
  if (step != 0) m_tabRefs.SetPas(step);
}

int CNARecordCachePosition::nAjoute(const CNARecordValue*) { return -1; }

void CNARecordCachePosition::Supprime(int) {}

void CNARecordCachePosition::SupprimeTout() {
  m_tabRefs.SupprimeDernier(m_tabRefs.nGetNbElements());
  m_nFirstFree = -1;
  CNARecordCache::SupprimeTout();
}

int CNARecordCachePosition::_nAjoute(const CNARecordValue* value) {
  if (!m_tabRefs.AgranditMemoire(1)) return -1;
  const int nIndex = CNARecordCache::_nAjoute(value);
  if (nIndex >= 0) m_tabRefs.Ajoute(0);
  return nIndex;
}

int CNARecordCachePosition::_Insere(const CNARecordValue*, int) { return -1; }

int CNARecordCachePosition::nKeepRecordSave(const CNARecordValue* value) {
  if (value == nullptr || value->pclGetRecordId() == nullptr) return -1;
  const int nFound = nGetRecordIndice(value);
  if (nFound >= 0) return nFound;
  if (m_nFirstFree >= 0) {
    const int nCount = m_tabRefs.nGetNbElements();
    int nSlot = m_nFirstFree;
    while (nSlot < nCount && m_tabRefs[nSlot] != 0) ++nSlot;
    if (nSlot < nCount) {
      m_nFirstFree = nSlot;
      Update(nSlot, value);
      return nSlot;
    }
    m_nFirstFree = -1;
  }
  return _nAjoute(value);
}

void CNARecordCachePosition::AddRefRecordSave(int slot) {
  if (slot >= 0 && slot < m_tabRefs.nGetNbElements() && m_tabRefs[slot] < INT_MAX) ++m_tabRefs[slot];
}

int CNARecordCachePosition::nReleaseRecordSave(int slot) {
  if (slot < 0 || slot >= m_tabRefs.nGetNbElements() || m_tabRefs[slot] <= 0) return 0;
  const int nLeft = --m_tabRefs[slot];
  if (nLeft == 0) {
    _RemoveIdFromHash(slot);
    if (m_nFirstFree < 0 || slot < m_nFirstFree) m_nFirstFree = slot;
  }
  return nLeft;
}

int CNARecordCachePosition::nGetRecordSaveCount(int slot) const {
  return slot >= 0 && slot < m_tabRefs.nGetNbElements() ? m_tabRefs[slot] : 0;
}
