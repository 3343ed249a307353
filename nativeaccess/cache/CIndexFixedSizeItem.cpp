// The fixed-size client-side index: keys of a column in a counted B+ tree.
#include "CIndexFixedSizeItem.h"

#include <cstring>
#include <limits>
#include <new>

#include "CConvertKey.h"
#include "CMemBTree.h"
#include "CNAColumn.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CXQConvertKey.h"
#include "XMalloc.h"

namespace {

// No key option: text orders by its bytes or 16-bit units as stored.
constexpr unsigned short knKeyOptions = 10240;

// Record numbers compare as the unsigned 32-bit numbers they are, so that
// the records of one key keep cache order past 255 of them.
int nCompareRecordNumber(const void* pFirst, const void* pSecond, std::size_t) {
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  std::memcpy(&a, pFirst, sizeof a);
  std::memcpy(&b, pSecond, sizeof b);
  return a < b ? -1 : a > b ? 1 : 0;
}

std::uint32_t nReadRecordNumber(const void* p) {
  std::uint32_t n = 0;
  std::memcpy(&n, p, sizeof n);
  return n;
}

}  // namespace

CIndexFixedSizeItem::CIndexFixedSizeItem(CNAError* error, CNARecordCache* cache, CNAColumn* column,
                                         CNAStatement* statement)
    : CIndexItem(error, cache, column, statement) {}

CIndexFixedSizeItem::~CIndexFixedSizeItem() {
  delete m_pclTree;
  XMALLOC_Del_(m_pbyKey);
  XMALLOC_Del_(m_pbySaved);
  if (m_pclWork != nullptr) m_pclWork->nRelease();
}

const unsigned char* CIndexFixedSizeItem::pbyMakeKey(const CAny* value) {
  // A value that gives no key leaves the buffer zero-filled: that is its
  // key (a NULL whose cast fails, say). The conversion works on a copy and
  // never changes the value.
  CConvertKey::nConvertKeyAndGetSize(const_cast<CAny*>(value), m_pbyKey, m_nKeySize, m_wType, knKeyOptions, m_nIntegerDigits,
                                     m_nDecimalDigits);
  return m_pbyKey;
}

bool CIndexFixedSizeItem::_bReadEntryValue(int recordNumber) {
  if (!m_pclCache->bGetAt(m_pclWork, recordNumber)) return false;
  return m_pclWork->bGetItemValue(&m_clValue, m_piItem);
}

bool CIndexFixedSizeItem::bInit() {
  // Built once: a second build would leak the first tree.
  if (m_pclCache == nullptr || m_pclColumn == nullptr || m_pclTree != nullptr || m_pclWork != nullptr) return false;
  m_piItem = m_pclColumn->piGetItemDescription();
  if (m_piItem == nullptr) return false;
  m_wType = m_pclColumn->eGetTNType();
  m_nIntegerDigits = m_pclColumn->nGetIntegerPart();
  m_nDecimalDigits = m_pclColumn->nGetDecimalPart();
  const eITEMTYPE eKeyType = CXQConvertKey::eGetItemType(m_wType);
  std::size_t nLength = m_pclColumn->nGetLogicalSize();
  // Wide text: the writer takes each 4-byte character as two 16-bit units.
  if (eKeyType == ITEM_UNICODE || eKeyType == ITEM_UNICODE_21) nLength *= 2;
  m_nKeySize = CXQConvertKey::nCalculateKeySize(eKeyType, nLength);
  if (m_nKeySize == 0 || m_nKeySize > std::numeric_limits<std::uint32_t>::max()) return false;

  m_pbyKey = static_cast<unsigned char*>(XMALLOC_pNew_(m_nKeySize));
  m_pbySaved = static_cast<unsigned char*>(XMALLOC_pNew_(m_nKeySize));
  m_pclWork = new (std::nothrow) CNARecordValue(m_pclError);
  if (m_pclWork != nullptr) m_pclWork->AddRef();
  m_pclTree = CMemBTree::pclCreate(m_nKeySize, sizeof(std::uint32_t), std::memcmp, nCompareRecordNumber, 0);
  if (m_pbyKey == nullptr || m_pbySaved == nullptr || m_pclWork == nullptr || m_pclTree == nullptr) {
    _SetNoMemory();
    return false;
  }

  // Entry order: the records of one key arrive in ascending record
  // number, each after the ones already there. (Loading the tree in bulk
  // would first copy every key into a sorted array: slower on wide keys,
  // and as much memory again.)
  const int nCount = m_pclCache->nGetCount();
  for (int i = 0; i < nCount; ++i) {
    if (m_pclCache->eGetRecordState(i) != NA_RECORDSTATE_READ) continue;
    if (!_bReadEntryValue(i)) return false;
    const std::uint32_t nRecord = static_cast<std::uint32_t>(i);
    if (!m_pclTree->bInsert(pbyMakeKey(&m_clValue), &nRecord)) {
      _SetNoMemory();  // a record number cannot repeat: only memory fails
      return false;
    }
  }
  return true;
}

bool CIndexFixedSizeItem::bInsertRecord(int recordNumber, CAny* value) {
  if (m_pclTree == nullptr || recordNumber < 0) return false;
  if (value == nullptr) {
    if (!_bReadEntryValue(recordNumber)) return false;
    value = &m_clValue;
  }
  const std::uint32_t nRecord = static_cast<std::uint32_t>(recordNumber);
  const unsigned char* pbyKey = pbyMakeKey(value);
  if (m_pclTree->bInsert(pbyKey, &nRecord)) return true;
  // Refused: the pair is there already, or a node could not be had.
  if (!m_pclTree->bFindRecord(pbyKey, &nRecord)) _SetNoMemory();
  return false;
}

bool CIndexFixedSizeItem::_bSavePosition() {
  const void* pKey = m_pclTree->pReadKey();
  const void* pValue = m_pclTree->pReadValue();
  if (pKey == nullptr || pValue == nullptr) return false;
  std::memcpy(m_pbySaved, pKey, m_nKeySize);
  m_nSavedValue = nReadRecordNumber(pValue);
  return true;
}

void CIndexFixedSizeItem::_RestorePosition() { m_pclTree->bFindRecord(m_pbySaved, &m_nSavedValue); }

bool CIndexFixedSizeItem::bDeleteRecord(int recordNumber, CAny* value) {
  if (m_pclTree == nullptr || recordNumber < 0) return true;
  const std::uint32_t nRecord = static_cast<std::uint32_t>(recordNumber);
  if (value == nullptr) value = _bReadEntryValue(recordNumber) ? &m_clValue : nullptr;
  if (value != nullptr && m_pclTree->bDelete(pbyMakeKey(value), &nRecord)) return true;
  // Indexed under another key (or not at all): find the number itself.
  // The iterator comes back to its record, or to the next one when that
  // was the record removed.
  const bool bSaved = _bSavePosition();
  m_pclTree->GotoFirstRecord();
  do {
    const void* pValue = m_pclTree->pReadValue();
    if (pValue == nullptr) break;
    if (nReadRecordNumber(pValue) == nRecord) {
      m_pclTree->bDeleteCurrentRecord();
      break;
    }
    std::int64_t nMoved = 0;
    if (!m_pclTree->bAdvance(1, nMoved, CMemBTree::ADVANCE_END_OK)) break;
  } while (true);
  if (bSaved) {
    _RestorePosition();
  } else {
    m_pclTree->GotoEnd();
  }
  return true;
}

bool CIndexFixedSizeItem::_bOnKey(const unsigned char* key) const {
  const void* pKey = m_pclTree->pReadKey();
  return pKey != nullptr && m_pclTree->nCompareKey(pKey, key) == 0;
}

int CIndexFixedSizeItem::_nCountEqualBefore(int recordNumber) {
  const std::uint32_t nDuplicates = m_pclTree->nNumDuplicates();
  if (nDuplicates < 2 || !_bSavePosition()) return 0;
  int nEqual = 0;
  for (std::uint32_t i = 1; i < nDuplicates; ++i) {
    std::int64_t nMoved = 0;
    if (!m_pclTree->bAdvance(-1, nMoved, 0) || !_bOnKey(m_pbySaved)) break;
    const void* pValue = m_pclTree->pReadValue();
    if (pValue == nullptr) break;
    if (!m_pclCache->bEquals(static_cast<int>(nReadRecordNumber(pValue)), recordNumber, 1)) break;
    ++nEqual;
  }
  _RestorePosition();
  return nEqual;
}

bool CIndexFixedSizeItem::bGetRecordPosition(int direction, int step, int* recordNumber, int* duplicateIndex) {
  int nRecord = -1;
  if (duplicateIndex != nullptr) *duplicateIndex = 0;
  if (recordNumber != nullptr) *recordNumber = -1;
  if (m_pclTree == nullptr || m_pclTree->nGetNumRecord() == 0) return true;

  std::int64_t nMoved = 0;
  bool bOk = false;
  const CAny* pclSearch = _pclGetSearchValue();
  switch (direction) {
    case NA_PARSE_FIRST:
      if (pclSearch != nullptr) {
        bOk = m_pclTree->pSearch(pbyMakeKey(pclSearch), 0) != nullptr;
      } else {
        m_pclTree->GotoFirstRecord();
        bOk = m_pclTree->pReadValue() != nullptr;
      }
      if (bOk && step > 1) bOk = m_pclTree->bAdvance(step - 1, nMoved, 0);
      break;
    case NA_PARSE_LAST:
      if (pclSearch != nullptr) {
        bOk = m_pclTree->pSearch(pbyMakeKey(pclSearch), CMemBTree::SEARCH_LAST) != nullptr;
      } else {
        m_pclTree->MoveTo(static_cast<std::int64_t>(m_pclTree->nGetNumRecord()) - 1);
        bOk = m_pclTree->pReadValue() != nullptr;
      }
      if (bOk && step > 1) bOk = m_pclTree->bAdvance(-static_cast<std::int64_t>(step - 1), nMoved, 0);
      break;
    case NA_PARSE_NEXT:
      bOk = m_pclTree->bAdvance(step, nMoved, 0);
      break;
    case NA_PARSE_PREVIOUS:
      bOk = m_pclTree->bAdvance(-static_cast<std::int64_t>(step), nMoved, 0);
      break;
    default:
      break;
  }
  if (bOk) {
    const void* pValue = m_pclTree->pReadValue();
    if (pValue != nullptr) nRecord = static_cast<int>(nReadRecordNumber(pValue));
  }
  if (recordNumber != nullptr) *recordNumber = nRecord;
  if (nRecord >= 0 && duplicateIndex != nullptr) *duplicateIndex = _nCountEqualBefore(nRecord);
  return true;
}

int CIndexFixedSizeItem::nGetCurrentRecordId() {
  if (m_pclTree == nullptr) return -1;
  const void* pValue = m_pclTree->pReadValue();
  return pValue == nullptr ? -1 : static_cast<int>(nReadRecordNumber(pValue));
}

int CIndexFixedSizeItem::nGetRecordNbr() {
  return m_pclTree == nullptr ? 0 : static_cast<int>(m_pclTree->nGetNumRecord());
}

int CIndexFixedSizeItem::nGetPreviousRecordNbr() {
  if (m_pclTree == nullptr) return 0;
  std::int64_t nMoved = 0;
  if (!m_pclTree->bAdvance(std::numeric_limits<std::int64_t>::min() + 1, nMoved,
                           CMemBTree::ADVANCE_PARTIAL))
    return 0;
  std::int64_t nBack = 0;
  m_pclTree->bAdvance(nMoved, nBack, CMemBTree::ADVANCE_END_OK);
  return static_cast<int>(nMoved);
}

bool CIndexFixedSizeItem::bSetCurrentPos(int recordNumber, int duplicateIndex, int* found) {
  int nFound = 0;
  if (found != nullptr) *found = 0;
  if (m_pclTree == nullptr) return false;
  if (!m_pclColumn->bGetOriginalValue(&m_clValue, 0)) return false;
  const unsigned char* pbyKey = pbyMakeKey(&m_clValue);

  if (recordNumber != -1) {
    const std::uint32_t nRecord = static_cast<std::uint32_t>(recordNumber);
    nFound = m_pclTree->bFindRecord(pbyKey, &nRecord) ? 1 : 0;
    if (found != nullptr) *found = nFound;
    return true;
  }

  m_pclTree->pSearch(pbyKey, 0);
  if (!_bOnKey(pbyKey)) {
    if (found != nullptr) *found = 0;
    return true;
  }
  nFound = 1;
  const std::uint32_t nDuplicates = m_pclTree->nNumDuplicates();
  if (nDuplicates >= 2) {
    // Keep the key: the steps below read values into the key buffer.
    std::memcpy(m_pbySaved, pbyKey, m_nKeySize);
    const CNARecord* pclLayout = m_pclColumn->pclGetRecord();
    const CNARecordValue* pclOriginal = pclLayout != nullptr ? pclLayout->pclGetOriginalRecordValue() : nullptr;
    auto bEqualHere = [&]() {
      return pclOriginal != nullptr && m_pclCache->bEquals(nGetCurrentRecordId(), pclOriginal, 1);
    };
    // The first duplicate whose entry is the original record.
    std::uint32_t nAt = 0;
    while (!bEqualHere()) {
      std::int64_t nMoved = 0;
      if (nAt + 1 >= nDuplicates || !m_pclTree->bAdvance(1, nMoved, 0)) {
        nAt = nDuplicates;
        break;
      }
      ++nAt;
    }
    if (nAt >= nDuplicates) {
      m_pclTree->pSearch(m_pbySaved, 0);
      nFound = 0;
    } else if (duplicateIndex > 0) {
      const std::int64_t nStart = nAt;
      std::int64_t nSteps = 0;
      while (nSteps < duplicateIndex) {
        std::int64_t nMoved = 0;
        if (nAt + 1 >= nDuplicates || !m_pclTree->bAdvance(1, nMoved, 0) || !bEqualHere()) {
          nFound = 0;
          break;
        }
        ++nAt;
        ++nSteps;
      }
      if (nFound == 0) {
        m_pclTree->pSearch(m_pbySaved, 0);
        std::int64_t nMoved = 0;
        if (nStart > 0) m_pclTree->bAdvance(nStart, nMoved, 0);
      }
    }
  }
  if (found != nullptr) *found = nFound;
  return true;
}

bool CIndexFixedSizeItem::bSameValue(CAny* first, CAny* second) {
  if (m_pbyKey == nullptr || first == nullptr || second == nullptr) return false;
  std::memcpy(m_pbySaved, pbyMakeKey(first), m_nKeySize);
  return std::memcmp(m_pbySaved, pbyMakeKey(second), m_nKeySize) == 0;
}
