// The memo client-side index: a sorted array of record numbers.
#include "CIndexMemo.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"

CIndexMemo::CIndexMemo(CNAError* error, CNARecordCache* cache, CNAColumn* column, CNAStatement* statement)
    : CIndexItem(error, cache, column, statement) {}

CIndexMemo::~CIndexMemo() {
  if (m_pclWork != nullptr) m_pclWork->nRelease();
}

CIndexMemo::SBytes CIndexMemo::s_Bytes(const CAny* value) {
  SBytes bytes;
  if (value == nullptr || value->bIsNull() || value->nGetTypeCode() == 0) return bytes;
  void* pData = nullptr;
  std::size_t nSize = 0;
  if (value->nGetDataAdr(&pData) > 99 || pData == nullptr) return bytes;
  if (value->nGetUtilDataSize(&nSize) > 99) return bytes;
  bytes.p = static_cast<const unsigned char*>(pData);
  bytes.n = nSize;
  return bytes;
}

int CIndexMemo::s_nCompare(const SBytes& a, const SBytes& b) {
  const std::size_t n = std::min(a.n, b.n);
  if (n > 0) {
    const int nCmp = std::memcmp(a.p, b.p, n);
    if (nCmp != 0) return nCmp;
  }
  return a.n < b.n ? -1 : a.n > b.n ? 1 : 0;
}

bool CIndexMemo::_bReadEntry(int recordNumber, SBytes* bytes) {
  *bytes = SBytes();
  if (!m_pclCache->bGetAt(m_pclWork, recordNumber)) return false;
  const CNAConvertVariant* pclMemo = m_pclWork->pclGetMemoValueNoRef(m_nMemoIndex);
  if (pclMemo != nullptr) *bytes = s_Bytes(pclMemo->pclGetValue());
  return true;
}

CIndexMemo::SBytes CIndexMemo::_Keep(const SBytes& bytes) {
  m_tabSearched.assign(bytes.p, bytes.p + bytes.n);
  SBytes kept;
  kept.p = m_tabSearched.data();
  kept.n = m_tabSearched.size();
  return kept;
}

bool CIndexMemo::_bBound(const SBytes& searched, bool bUpper, int* index) {
  int nLow = 0;
  int nHigh = m_tabRecords.nGetNbElements();
  while (nLow < nHigh) {
    const int nMid = nLow + (nHigh - nLow) / 2;
    SBytes here;
    if (!_bReadEntry(m_tabRecords[nMid], &here)) return false;
    const int nCmp = s_nCompare(here, searched);
    if (nCmp < 0 || (bUpper && nCmp == 0)) {
      nLow = nMid + 1;
    } else {
      nHigh = nMid;
    }
  }
  *index = nLow;
  return true;
}

bool CIndexMemo::bInit() {
  // Built once.
  if (m_pclCache == nullptr || m_pclColumn == nullptr || m_pclWork != nullptr) return false;
  m_nMemoIndex = m_pclColumn->nGetMemoIndice();
  if (m_nMemoIndex < 0) return false;
  m_pclWork = new (std::nothrow) CNARecordValue(m_pclError);
  if (m_pclWork == nullptr) {
    _SetNoMemory();
    return false;
  }
  m_pclWork->AddRef();

  const int nCount = m_pclCache->nGetCount();
  int nRecords = 0;
  for (int i = 0; i < nCount; ++i) {
    if (m_pclCache->eGetRecordState(i) == NA_RECORDSTATE_READ) ++nRecords;
  }
  if (nRecords == 0) return true;
  if (!m_tabRecords.AlloueMemoire(nRecords)) {
    _SetNoMemory();
    return false;
  }
  // Every value read once into one arena, then one stable sort: the empty
  // values come first (they are below every other) and equal values keep
  // the order they were added in.
  struct SEntry {
    std::size_t nOffset;
    std::size_t nLength;
    int nRecord;
  };
  try {
    std::vector<SEntry> tabEntries;
    tabEntries.reserve(static_cast<std::size_t>(nRecords));
    std::vector<unsigned char> tabArena;
    for (int i = 0; i < nCount; ++i) {
      if (m_pclCache->eGetRecordState(i) != NA_RECORDSTATE_READ) continue;
      SBytes bytes;
      if (!_bReadEntry(i, &bytes)) return false;
      tabEntries.push_back(SEntry{tabArena.size(), bytes.n, i});
      tabArena.insert(tabArena.end(), bytes.p, bytes.p + bytes.n);
    }
    const unsigned char* pbyArena = tabArena.data();
    std::stable_sort(tabEntries.begin(), tabEntries.end(), [pbyArena](const SEntry& a, const SEntry& b) {
      SBytes x;
      x.p = pbyArena + a.nOffset;
      x.n = a.nLength;
      SBytes y;
      y.p = pbyArena + b.nOffset;
      y.n = b.nLength;
      return s_nCompare(x, y) < 0;
    });
    for (const SEntry& e : tabEntries) {
      m_tabRecords.Ajoute(e.nRecord);  // reserved above: cannot fail
      if (e.nLength == 0) ++m_nFrontEnd;
    }
  } catch (const std::bad_alloc&) {
    m_tabRecords.SupprimeToutEtLibere();
    m_nFrontEnd = -1;
    _SetNoMemory();
    return false;
  }
  return true;
}

bool CIndexMemo::bInsertRecord(int recordNumber, CAny*) {
  if (m_pclWork == nullptr || recordNumber < 0) return false;
  SBytes bytes;
  if (!_bReadEntry(recordNumber, &bytes)) return false;
  int nAt = 0;
  if (bytes.n == 0) {
    nAt = m_nFrontEnd + 1;
  } else {
    const SBytes kept = _Keep(bytes);
    if (!_bBound(kept, true, &nAt)) return false;
  }
  if (m_tabRecords.Insere(recordNumber, nAt) < 0) {
    _SetNoMemory();
    return false;
  }
  if (bytes.n == 0) ++m_nFrontEnd;
  if (m_nCurrent >= nAt) ++m_nCurrent;
  return true;
}

bool CIndexMemo::bDeleteRecord(int recordNumber, CAny*) {
  const int nCount = m_tabRecords.nGetNbElements();
  int nAt = -1;
  for (int i = 0; i < nCount; ++i) {
    if (m_tabRecords[i] == recordNumber) {
      nAt = i;
      break;
    }
  }
  if (nAt < 0) return true;
  m_tabRecords.Supprime(nAt, 1);
  if (nAt <= m_nFrontEnd) --m_nFrontEnd;
  if (m_nCurrent > nAt) {
    --m_nCurrent;
  } else if (m_nCurrent == nAt) {
    m_bRemoved = true;
  }
  return true;
}

bool CIndexMemo::bGetRecordPosition(int direction, int step, int* recordNumber, int* duplicateIndex) {
  if (recordNumber != nullptr) *recordNumber = -1;
  if (duplicateIndex != nullptr) *duplicateIndex = 0;
  const int nCount = m_tabRecords.nGetNbElements();
  if (nCount == 0) return true;

  const CAny* pclSearch = _pclGetSearchValue();
  long long llAt = -1;
  switch (direction) {
    case NA_PARSE_FIRST:
      if (pclSearch != nullptr) {
        int nAt = 0;
        const SBytes kept = _Keep(s_Bytes(pclSearch));
        if (!_bBound(kept, false, &nAt)) return false;
        llAt = static_cast<long long>(nAt) + step - 1;
      } else {
        llAt = static_cast<long long>(step) - 1;
      }
      break;
    case NA_PARSE_LAST:
      if (pclSearch != nullptr) {
        int nAt = 0;
        const SBytes kept = _Keep(s_Bytes(pclSearch));
        if (!_bBound(kept, true, &nAt)) return false;
        llAt = static_cast<long long>(nAt) - 1 - (static_cast<long long>(step) - 1);
      } else {
        llAt = static_cast<long long>(nCount) - step;
      }
      break;
    case NA_PARSE_NEXT:
      llAt = static_cast<long long>(m_nCurrent) + step;
      break;
    case NA_PARSE_PREVIOUS:
      llAt = static_cast<long long>(m_nCurrent) - step;
      break;
    default:
      llAt = m_bRemoved ? -1 : m_nCurrent;
      break;
  }
  if (llAt >= 0 && llAt < nCount) {
    m_nCurrent = static_cast<int>(llAt);
    m_bRemoved = false;
    if (recordNumber != nullptr) *recordNumber = m_tabRecords[m_nCurrent];
  }
  return true;
}

int CIndexMemo::nGetCurrentRecordId() {
  if (m_bRemoved || m_nCurrent < 0 || m_nCurrent >= m_tabRecords.nGetNbElements()) return -1;
  return m_tabRecords[m_nCurrent];
}

bool CIndexMemo::bSetCurrentPos(int recordNumber, int, int* found) {
  if (found != nullptr) *found = 0;
  const int nCount = m_tabRecords.nGetNbElements();
  if (recordNumber == -1) {
    // The memo value of the record as read before the write (the column's
    // record holds only a marker for a memo).
    const CNARecord* pclLayout = m_pclColumn->pclGetRecord();
    const CNARecordValue* pclOriginal = pclLayout != nullptr ? pclLayout->pclGetOriginalRecordValue() : nullptr;
    if (pclOriginal == nullptr) return false;
    const CNAConvertVariant* pclMemo = pclOriginal->pclGetMemoValueNoRef(m_nMemoIndex);
    const SBytes kept = _Keep(pclMemo != nullptr ? s_Bytes(pclMemo->pclGetValue()) : SBytes());
    int nUpper = 0;
    if (!_bBound(kept, true, &nUpper)) return false;
    int nAt = nUpper;
    bool bEqual = false;
    if (nUpper > 0) {
      SBytes before;
      if (!_bReadEntry(m_tabRecords[nUpper - 1], &before)) return false;
      bEqual = s_nCompare(before, kept) == 0;
      if (bEqual) nAt = nUpper - 1;
    }
    m_nCurrent = nAt;
    m_bRemoved = false;
    if (found != nullptr) *found = bEqual ? 1 : 0;
    return true;
  }
  if (recordNumber < 0 || recordNumber >= nCount) return false;
  m_nCurrent = recordNumber;
  m_bRemoved = false;
  if (found != nullptr) *found = 1;
  return true;
}

bool CIndexMemo::bSameValue(CAny* first, CAny* second) { return s_nCompare(s_Bytes(first), s_Bytes(second)) == 0; }
