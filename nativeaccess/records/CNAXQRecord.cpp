#include "CNAXQRecord.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "AnyHandlers.h"
#include "CAny.h"
#include "CDateTimeBase.h"
#include "IDecimal.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"
#include "ItemTypes.h"
#include "XMalloc.h"

namespace {

// A physical index of all ones names bit 0.
constexpr std::uint32_t knAllOnes = 0xFFFFFFFFu;
// Length of the serialised header: T, flag-bit count, F.
constexpr std::uint32_t knHeaderSize = 12;
// A memo item holds this many marker bytes.
constexpr std::uint32_t knMemoMarkerSize = 8;
// A binary length is a 16-bit word.
constexpr std::uint32_t knMaxBinaryLength = 0xFFFF;

std::uint32_t nFlagFieldSize(std::uint32_t nBits) { return nBits == 0 ? 0 : ((nBits - 1) >> 3) + 1; }

bool bIsAnsiText(unsigned char nCode) {
  switch (nCode) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 128: case 129: case 134:
      return true;
    default:
      return false;
  }
}

bool bIsWideText(unsigned char nCode) {
  switch (nCode) {
    case 16: case 20: case 24: case 25: case 81: case 110:
      return true;
    default:
      return false;
  }
}

void PutU32(unsigned char* p, std::uint32_t n) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(n >> (8 * i));
}

std::uint32_t nGetU32(const unsigned char* p) {
  std::uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return n;
}

// ---- Storage rows ----------------------------------------------------------

// 8-bit text: the bytes up to the first NUL, never past S nor past a
// non-zero length; the rest zero and the last byte 0.
void StoreText(unsigned char* p, std::uint32_t nSize, const void* pData, unsigned long nLength) {
  std::size_t n = 0;
  if (pData != nullptr) {
    std::size_t nLimit = nSize;
    if (nLength != 0 && nLength < nLimit) nLimit = nLength;
    const void* pNul = std::memchr(pData, 0, nLimit);
    n = pNul != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(pNul) -
                                                   static_cast<const unsigned char*>(pData))
                        : nLimit;
    if (n != 0) std::memcpy(p, pData, n);
  }
  if (n < nSize) std::memset(p + n, 0, nSize - n);
  if (nSize != 0) p[nSize - 1] = 0;
}

void PutUnit(unsigned char* p, std::uint32_t nUnit, unsigned int u) {
  const std::uint16_t w = static_cast<std::uint16_t>(u);
  std::memcpy(p + 2 * static_cast<std::size_t>(nUnit), &w, sizeof w);
}

// Wide text of 4-byte characters (length in bytes) as UTF-16: at most S / 2
// units; a character above U+FFFF takes a surrogate pair or, without room
// for both units, ends the text; what is no character becomes '?'.
void StoreUtf16(unsigned char* p, std::uint32_t nSize, const void* pData, unsigned long nLength) {
  const std::uint32_t nUnits = nSize / 2;
  std::uint32_t u = 0;
  if (pData != nullptr && nLength >= sizeof(wchar_t)) {
    const unsigned char* pby = static_cast<const unsigned char*>(pData);
    const unsigned long nChars = nLength / sizeof(wchar_t);
    for (unsigned long i = 0; i < nChars && u < nUnits; ++i) {
      std::uint32_t c;
      std::memcpy(&c, pby + i * sizeof(wchar_t), sizeof c);
      if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = '?';
      if (c >= 0x10000) {
        if (nUnits - u < 2) break;
        c -= 0x10000;
        PutUnit(p, u++, 0xD800 + (c >> 10));
        PutUnit(p, u++, 0xDC00 + (c & 0x3FF));
      } else {
        PutUnit(p, u++, c);
      }
    }
  }
  const std::size_t nUsed = 2 * static_cast<std::size_t>(u);
  std::memset(p + nUsed, 0, nSize - nUsed);
}

// A 16-bit length L = min(length, S - 2, 65535), L bytes, zeros.
void StoreBinary(unsigned char* p, std::uint32_t nSize, const void* pData, unsigned long nLength) {
  if (nSize < 2) {
    std::memset(p, 0, nSize);
    return;
  }
  std::uint32_t nLen = 0;
  if (pData != nullptr) {
    unsigned long n = nLength;
    if (n > nSize - 2) n = nSize - 2;
    if (n > knMaxBinaryLength) n = knMaxBinaryLength;
    nLen = static_cast<std::uint32_t>(n);
  }
  const std::uint16_t w = static_cast<std::uint16_t>(nLen);
  std::memcpy(p, &w, sizeof w);
  if (nLen != 0) std::memcpy(p + 2, pData, nLen);
  std::memset(p + 2 + nLen, 0, nSize - 2 - nLen);
}

// min(length, S) bytes as they are, the rest zero.
void StoreRaw(unsigned char* p, std::uint32_t nSize, const void* pData, unsigned long nLength) {
  std::size_t n = 0;
  if (pData != nullptr) n = nLength < nSize ? nLength : nSize;
  if (n != 0) std::memmove(p, pData, n);
  std::memset(p + n, 0, nSize - n);
}

// Units of a UTF-16 element up to its first zero unit, at most nMax.
std::uint32_t nUtf16Length(const unsigned char* p, std::uint32_t nMax) {
  std::uint32_t n = 0;
  for (; n < nMax; ++n) {
    std::uint16_t w;
    std::memcpy(&w, p + 2 * static_cast<std::size_t>(n), sizeof w);
    if (w == 0) break;
  }
  return n;
}

// Wide characters of an element up to its first NUL, at most nMax.
std::uint32_t nWideLength(const unsigned char* p, std::uint32_t nMax) {
  std::uint32_t n = 0;
  for (; n < nMax; ++n) {
    wchar_t c;
    std::memcpy(&c, p + sizeof(wchar_t) * static_cast<std::size_t>(n), sizeof c);
    if (c == 0) break;
  }
  return n;
}

// Precision and scale of a decimal item, and the bytes its native form
// takes (0 when the digits give none).
int nDecimalBytes(const INAItemDescription* piItem, int* pnPrecision, int* pnScale) {
  *pnScale = piItem->nGetDecimalPart();
  *pnPrecision = piItem->nGetIntegerPart() + *pnScale;
  return IDecimal::mg_PToN(*pnPrecision);
}

IDecimal* piDecimalOf(const CAny* pclValue) {
  if (pclValue->nGetTypeCode() != ANY_DECIMAL) return nullptr;
  IDecimal* pi = nullptr;
  if (pclValue->nFillBuffer(&pi) > 99) return nullptr;
  return pi;
}

}  // namespace

// ---- Construction, counts --------------------------------------------------

CNAXQRecord::CNAXQRecord() = default;

CNAXQRecord::~CNAXQRecord() { XMALLOC_Del_(m_pBuffer); }

std::uint32_t CNAXQRecord::nRelease() {
  if (m_nInternalCount == 0) return 0;
  if (--m_nInternalCount == 0 && m_nExternalCount == 0) {
    delete this;
    return 0;
  }
  return m_nInternalCount;
}

std::uint32_t CNAXQRecord::nExternalRelease() {
  if (m_nExternalCount == 0) return 0;
  if (--m_nExternalCount == 0 && m_nInternalCount == 0) {
    delete this;
    return 0;
  }
  return m_nExternalCount;
}

// ---- Overridable operations ------------------------------------------------

CNAXQRecord* CNAXQRecord::vpclGetClone() const { return pclGetClone(); }
void CNAXQRecord::vSetValues(const unsigned char* pbyValues, unsigned long nLength) {
  SetValues(pbyValues, nLength);
}
unsigned char* CNAXQRecord::vpbyGetItemValue(const INAItemDescription* piItem, int nIndex) {
  return pbyGetItemValue(piItem, nIndex);
}
const unsigned char* CNAXQRecord::vpbyGetItemValue(const INAItemDescription* piItem, int nIndex) const {
  return pbyGetItemValue(piItem, nIndex);
}
bool CNAXQRecord::vSetItemValue(const INAItemDescription* piItem, const void* pData, unsigned long nLength,
                                unsigned int nIndex) {
  return SetItemValue(piItem, pData, nLength, nIndex);
}
bool CNAXQRecord::vSetItemValue(const INAItemDescription* piItem, const CAny* pclValue, unsigned int nIndex) {
  return SetItemValue(piItem, pclValue, nIndex);
}
bool CNAXQRecord::vGetItemValue(CAny* pclValue, const INAItemDescription* piItem, int nIndex) const {
  return GetItemValue(pclValue, piItem, nIndex);
}
bool CNAXQRecord::vGetItemValue(void* pDestination, const INAItemDescription* piItem, int nIndex) const {
  return GetItemValue(pDestination, piItem, nIndex);
}
void CNAXQRecord::vSetItemValueDefined(const INAItemDescription* piItem, int bDefined, unsigned int nIndex) {
  SetItemValueDefined(piItem, bDefined, nIndex);
}
int CNAXQRecord::vbItemValueDefined(const INAItemDescription* piItem, unsigned int nIndex) const {
  return bItemValueDefined(piItem, nIndex);
}

// ---- Sizing ------------------------------------------------------------------

bool CNAXQRecord::bInit(INADataSourceDescription* piSource, eINITTYPE eInit) {
  if (piSource == nullptr) return false;
  const std::uint32_t nValues = piSource->nGetDiskRecordSize();
  const std::uint32_t nBits = piSource->nGetNumItemPhysicallyInFic();
  const std::uint32_t nFlags = nFlagFieldSize(nBits);
  const std::uint64_t nTotal = static_cast<std::uint64_t>(nFlags) + nValues;
  if (nTotal > 0xFFFFFFFFu) return false;
  unsigned char* pNew = nullptr;
  if (nTotal != 0) {
    pNew = static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<std::size_t>(nTotal)));
    if (pNew == nullptr) return false;
    std::memset(pNew, 0, static_cast<std::size_t>(nTotal));
  }
  XMALLOC_Del_(m_pBuffer);
  m_pBuffer = pNew;
  m_nTailleBuffer = static_cast<std::uint32_t>(nTotal);
  m_nNbBitsFlags = nBits;
  m_nTailleFlags = nFlags;
  m_pbyFlags = m_pBuffer;
  m_pbyValues = m_pBuffer != nullptr ? m_pBuffer + nFlags : nullptr;

  if (eInit == NA_INITTYPE_DEFAULTVALUES) {
    const std::uint32_t nItems = piSource->nGetNumItems();
    for (std::uint32_t i = 0; i < nItems; ++i) {
      INAItemDescription* piItem = piSource->piNAGetItem(i);
      if (piItem == nullptr) continue;
      if (!piItem->bIsComposedKey(0)) _SetDefaultValues(piItem);
      piItem->nExternalRelease();
    }
  }
  return true;
}

void CNAXQRecord::_SetDefaultValues(INAItemDescription* piItem) {
  const std::uint32_t nDimension = piItem->nGetDimension();
  const bool bMemo = piItem->bMemo() != 0;
  for (std::uint32_t k = 0; k < nDimension; ++k) {
    // Elements past the value area are never touched: stop at the first.
    std::uint32_t nSize = 0;
    if (_pbyElement(piItem, k, &nSize) == nullptr) break;
    CAny* pclDefault = piItem->pclGetDefaultValue(static_cast<int>(k));
    if (pclDefault != nullptr && !bMemo && !pclDefault->bIsNull() && pclDefault->nGetTypeCode() != 0)
      SetItemValue(piItem, pclDefault, k);
    else
      SetItemValueDefined(piItem, 0, k);
  }
}

// ---- Addressing ------------------------------------------------------------

unsigned char* CNAXQRecord::_pbyElement(const INAItemDescription* piItem, long long nIndex,
                                        std::uint32_t* pnSize) const {
  if (piItem == nullptr || m_pbyValues == nullptr) return nullptr;
  const std::uint32_t nItemSize = piItem->nGetItemSize();
  const std::uint32_t nSize = nIndex < 0 ? piItem->nGetTotalSize() : nItemSize;
  using u128 = unsigned __int128;
  u128 nStart = piItem->nGetOffset(0);
  if (nIndex > 0) nStart += static_cast<u128>(nIndex) * nItemSize;
  if (nStart + nSize > nGetValuesSize()) return nullptr;
  *pnSize = nSize;
  return m_pbyValues + static_cast<std::size_t>(nStart);
}

unsigned char* CNAXQRecord::pbyGetItemValue(const INAItemDescription* piItem, int nIndex) {
  std::uint32_t nSize;
  return _pbyElement(piItem, nIndex, &nSize);
}

const unsigned char* CNAXQRecord::pbyGetItemValue(const INAItemDescription* piItem, int nIndex) const {
  std::uint32_t nSize;
  return _pbyElement(piItem, nIndex, &nSize);
}

// ---- Flags -------------------------------------------------------------------

bool CNAXQRecord::_bFlagBit(std::uint32_t nPhysical, std::uint32_t* pnBit) const {
  const std::uint32_t nBit = nPhysical == knAllOnes ? 0 : nPhysical;
  if (nBit >= m_nNbBitsFlags || m_pbyFlags == nullptr) return false;
  *pnBit = nBit;
  return true;
}

void CNAXQRecord::_SetFlag(std::uint32_t nPhysical, bool bDefined) {
  std::uint32_t nBit;
  if (!_bFlagBit(nPhysical, &nBit)) return;
  const unsigned char byMask = static_cast<unsigned char>(0x80u >> (nBit & 7));
  if (bDefined)
    m_pbyFlags[nBit >> 3] |= byMask;
  else
    m_pbyFlags[nBit >> 3] &= static_cast<unsigned char>(~byMask);
}

void CNAXQRecord::_SetElementDefined(const INAItemDescription* piItem, bool bDefined, unsigned int nIndex) {
  std::uint32_t nSize;
  unsigned char* p = _pbyElement(piItem, nIndex, &nSize);
  if (p == nullptr) return;
  if (piItem->bMemo()) {
    std::memset(p, bDefined ? 0x00 : 0xFF, nSize < knMemoMarkerSize ? nSize : knMemoMarkerSize);
  } else if (!bDefined) {
    std::memset(p, 0, nSize);
  }
}

void CNAXQRecord::SetItemValueDefined(const INAItemDescription* piItem, int bDefined, unsigned int nIndex) {
  if (piItem == nullptr) return;
  _SetFlag(piItem->nGetPhysicalIndice(), bDefined != 0);
  _SetElementDefined(piItem, bDefined != 0, nIndex);
}

void CNAXQRecord::SetTabItemValueDefined(const INAItemDescription* const* ppiItems, unsigned int nCount,
                                         const unsigned int* pnBits, const int* pbDefined) {
  if (ppiItems == nullptr || pnBits == nullptr || pbDefined == nullptr) return;
  for (unsigned int i = 0; i < nCount; ++i) {
    if (ppiItems[i] == nullptr) continue;
    _SetFlag(pnBits[i], pbDefined[i] != 0);
    _SetElementDefined(ppiItems[i], pbDefined[i] != 0, 0);
  }
}

int CNAXQRecord::bItemValueDefined(const INAItemDescription* piItem, unsigned int) const {
  if (piItem == nullptr) return 0;
  std::uint32_t nBit;
  if (!_bFlagBit(piItem->nGetPhysicalIndice(), &nBit)) return 1;
  return (m_pbyFlags[nBit >> 3] & (0x80u >> (nBit & 7))) != 0 ? 1 : 0;
}

// ---- Raw items ---------------------------------------------------------------

bool CNAXQRecord::GetItemValue(void* pDestination, const INAItemDescription* piItem, int nIndex) const {
  std::uint32_t nSize;
  const unsigned char* p = _pbyElement(piItem, nIndex, &nSize);
  if (p == nullptr || pDestination == nullptr) return false;
  if (nSize != 0) std::memmove(pDestination, p, nSize);
  return true;
}

bool CNAXQRecord::SetItemValue(const INAItemDescription* piItem, const void* pData, unsigned long nLength,
                               unsigned int nIndex) {
  std::uint32_t nSize;
  unsigned char* p = _pbyElement(piItem, nIndex, &nSize);
  if (p == nullptr) return false;
  switch (piItem->eNAGetItemType()) {
    case NA_IT_TEXTE:
    case NA_IT_DATE6:
    case NA_IT_HEURE:
    case NA_IT_DATE8:
      StoreText(p, nSize, pData, nLength);
      break;
    case NA_IT_UNICODE:
    case NA_IT_MEMOUNICODE:
      StoreUtf16(p, nSize, pData, nLength);
      break;
    case NA_IT_BINAIRE:
      StoreBinary(p, nSize, pData, nLength);
      break;
    default:
      StoreRaw(p, nSize, pData, nLength);
      break;
  }
  // Defined; a memo's bytes become the zero marker.
  SetItemValueDefined(piItem, 1, nIndex);
  return true;
}

// ---- Typed values --------------------------------------------------------------

bool CNAXQRecord::GetItemValue(CAny* pclValue, const INAItemDescription* piItem, int nIndex) const {
  std::uint32_t nSize;
  const unsigned char* p = _pbyElement(piItem, nIndex, &nSize);
  if (p == nullptr || pclValue == nullptr) return false;
  const int nScale = piItem->nGetDecimalPart();
  return s_bDecodeValue(pclValue, p, nSize, piItem->eNAGetItemType(), piItem->nGetIntegerPart() + nScale, nScale);
}

bool CNAXQRecord::s_bDecodeValue(CAny* pclValue, const unsigned char* p, std::uint32_t nSize, eNA_ITEMTYPE eType,
                                 int nPrecision, int nScale) {
  if (pclValue == nullptr || (p == nullptr && nSize != 0)) return false;
  const unsigned short wType = ConverteItemToTNType(eType, 0);
  switch (eType) {
    case NA_IT_BINAIRE: {
      std::uint32_t nLen = 0;
      if (nSize >= 2) {
        std::uint16_t w;
        std::memcpy(&w, p, sizeof w);
        // A length the element cannot hold is cut to what it holds.
        nLen = w < nSize - 2 ? w : nSize - 2;
      }
      pclValue->SetBIN(nLen != 0 ? p + 2 : nullptr, nLen);
      break;
    }
    case NA_IT_DECIMAL: {
      const int nBytes = IDecimal::mg_PToN(nPrecision);
      if (nBytes == 0 || nSize < static_cast<std::uint32_t>(nBytes)) return false;
      CAny clDecimal;
      clDecimal.__SetType(ANY_DECIMAL, 0);
      IDecimal* pi = piDecimalOf(&clDecimal);
      if (pi == nullptr || pi->nSetFromNative(p, nPrecision, nScale) != 0) return false;
      *pclValue = clDecimal;
      break;
    }
    case NA_IT_UNICODE:
    case NA_IT_MEMOUNICODE: {
      // Up to the first zero unit: the padding of a shorter text is no
      // part of it.
      const std::uint32_t nUnits = nUtf16Length(p, nSize / 2);
      std::vector<unsigned short> tabUnits(nUnits);
      if (nUnits != 0) std::memcpy(tabUnits.data(), p, 2 * static_cast<std::size_t>(nUnits));
      CAny_TNDSTRW::s_SetFromUTF16(pclValue, tabUnits.data(), static_cast<int>(nUnits));
      break;
    }
    default: {
      const unsigned char nCode = static_cast<unsigned char>(wType & 0xFF);
      pclValue->__SetType(wType, 0);
      if (bIsAnsiText(nCode)) {
        const void* pNul = nSize != 0 ? std::memchr(p, 0, nSize) : nullptr;
        const std::size_t n = pNul != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(pNul) - p)
                                              : nSize;
        pclValue->SetValue(p, n);
      } else if (bIsWideText(nCode)) {
        const std::uint32_t nChars = nWideLength(p, nSize / sizeof(wchar_t));
        std::wstring s(nChars, L'\0');
        if (nChars != 0) std::memcpy(&s[0], p, sizeof(wchar_t) * nChars);
        pclValue->SetValue(s.data(), sizeof(wchar_t) * nChars);
      } else {
        pclValue->SetValue(p, nSize);
      }
      break;
    }
  }
  pclValue->ClearFlags();
  return true;
}

bool CNAXQRecord::_bSetDirect(const INAItemDescription* piItem, const CAny* pclValue, unsigned int nIndex) {
  if (piItem->eNAGetItemType() == NA_IT_DECIMAL) {
    std::uint32_t nSize;
    if (_pbyElement(piItem, nIndex, &nSize) == nullptr) return false;
    int nPrecision, nScale;
    const int nBytes = nDecimalBytes(piItem, &nPrecision, &nScale);
    if (nBytes == 0 || nSize < static_cast<std::uint32_t>(nBytes)) return false;
    IDecimal* pi = piDecimalOf(pclValue);
    unsigned char abyNative[16] = {};
    // The caller's value keeps its own digits: its native form is asked at
    // the item's.
    if (pi == nullptr || pi->nGetNative(abyNative, nPrecision, nScale) != 0) return false;
    return SetItemValue(piItem, abyNative, static_cast<unsigned long>(nBytes), nIndex);
  }
  void* pData = nullptr;
  std::size_t nLength = 0;
  if (pclValue->nGetDataAdr(&pData) > 99 || pclValue->nGetDataSize(&nLength) > 99) return false;
  return SetItemValue(piItem, pData, nLength, nIndex);
}

bool CNAXQRecord::SetItemValue(const INAItemDescription* piItem, const CAny* pclValue, unsigned int nIndex) {
  std::uint32_t nSize;
  if (_pbyElement(piItem, nIndex, &nSize) == nullptr) return false;
  if (pclValue == nullptr || pclValue->bIsNull() || pclValue->nGetTypeCode() == 0) {
    SetItemValueDefined(piItem, 0, nIndex);
    return true;
  }
  const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
  const unsigned char nCode = pclValue->nGetTypeCode();

  // A date-time into a digit item: its time (or date) as 8-bit digits.
  if (nCode == ANY_DATETIME && (eType == NA_IT_HEURE || eType == NA_IT_DATE8)) {
    CDateTimeBase dt{};
    if (pclValue->nFillBuffer(&dt) > 99) return false;
    char szDigits[16] = {};
    if (eType == NA_IT_HEURE)
      dt.nVersHeure<char>(szDigits, 9);
    else
      dt.nVersDate<char>(szDigits, 8);
    return SetItemValue(piItem, szDigits, std::strlen(szDigits) + 1, nIndex);
  }

  const unsigned short wType = ConverteItemToTNType(eType, 0);
  if (wType == 0) return false;
  if (nCode == wType) return _bSetDirect(piItem, pclValue, nIndex);
  if ((eType == NA_IT_DATE8 || eType == NA_IT_HEURE) && bIsAnsiText(nCode))
    return _bSetDirect(piItem, pclValue, nIndex);

  CAny clCopy(*pclValue);
  int nResult = 0;
  if ((nCode == ANY_DSTRW || nCode == ANY_PSTRW) && wType == ANY_CARA) nResult = nCastTo(&clCopy, ANY_PSTRA, piItem);
  if (nResult <= 99) nResult = nCastTo(&clCopy, wType, piItem);
  // A value that does not convert is not stored: the item keeps its bytes
  // and its flag.
  if (nResult > 99 || clCopy.nGetTypeCode() != wType) return false;
  return _bSetDirect(piItem, &clCopy, nIndex);
}

// ---- Whole record --------------------------------------------------------------

void CNAXQRecord::SetValues(const unsigned char* pbyValues, unsigned long nLength) {
  const std::uint32_t nValues = nGetValuesSize();
  const unsigned long n = pbyValues == nullptr ? 0 : (nLength < nValues ? nLength : nValues);
  if (n != 0) std::memmove(m_pbyValues, pbyValues, n);
  if (m_nTailleFlags != 0) std::memset(m_pbyFlags, 0xFF, m_nTailleFlags);
}

bool CNAXQRecord::Copy(const CNAXQRecord* pclOther) {
  if (pclOther == nullptr || pclOther->m_nTailleBuffer != m_nTailleBuffer ||
      pclOther->m_nTailleFlags != m_nTailleFlags)
    return false;
  if (pclOther != this && m_nTailleBuffer != 0) std::memcpy(m_pBuffer, pclOther->m_pBuffer, m_nTailleBuffer);
  return true;
}

CNAXQRecord* CNAXQRecord::pclGetClone() const {
  CNAXQRecord* pclClone = new (std::nothrow) CNAXQRecord;
  if (pclClone == nullptr) return nullptr;
  if (m_nTailleBuffer != 0) {
    pclClone->m_pBuffer = static_cast<unsigned char*>(XMALLOC_pNew_(m_nTailleBuffer));
    if (pclClone->m_pBuffer == nullptr) {
      delete pclClone;
      return nullptr;
    }
    std::memcpy(pclClone->m_pBuffer, m_pBuffer, m_nTailleBuffer);
  }
  pclClone->m_nTailleBuffer = m_nTailleBuffer;
  pclClone->m_nNbBitsFlags = m_nNbBitsFlags;
  pclClone->m_nTailleFlags = m_nTailleFlags;
  pclClone->m_pbyFlags = pclClone->m_pBuffer;
  pclClone->m_pbyValues = pclClone->m_pBuffer != nullptr ? pclClone->m_pBuffer + m_nTailleFlags : nullptr;
  return pclClone;
}

bool CNAXQRecord::bEquals(const CNAXQRecord* pclOther) const {
  if (pclOther == nullptr || pclOther->m_nTailleBuffer != m_nTailleBuffer ||
      pclOther->m_nTailleFlags != m_nTailleFlags)
    return false;
  return m_nTailleBuffer == 0 || std::memcmp(m_pBuffer, pclOther->m_pBuffer, m_nTailleBuffer) == 0;
}

// ---- Serialised form -----------------------------------------------------------

bool CNAXQRecord::Serialize(unsigned char* pbyDestination, unsigned long nSize) const {
  if (pbyDestination == nullptr || nSize < static_cast<unsigned long>(m_nTailleBuffer) + knHeaderSize) return false;
  PutU32(pbyDestination, m_nTailleBuffer);
  PutU32(pbyDestination + 4, m_nNbBitsFlags);
  PutU32(pbyDestination + 8, m_nTailleFlags);
  if (m_nTailleBuffer != 0) std::memcpy(pbyDestination + knHeaderSize, m_pBuffer, m_nTailleBuffer);
  return true;
}

bool CNAXQRecord::Deserialize(const unsigned char* pbySource, unsigned long nSize) {
  if (pbySource == nullptr || nSize < knHeaderSize) return false;
  const std::uint32_t nTotal = nGetU32(pbySource);
  const std::uint32_t nBits = nGetU32(pbySource + 4);
  const std::uint32_t nFlags = nGetU32(pbySource + 8);
  if (nSize - knHeaderSize < nTotal || nFlags != nFlagFieldSize(nBits) || nTotal < nFlags) return false;
  const unsigned char* pbyBuffer = pbySource + knHeaderSize;
  if (nTotal != m_nTailleBuffer) {
    unsigned char* pNew = nullptr;
    if (nTotal != 0) {
      pNew = static_cast<unsigned char*>(XMALLOC_pNew_(nTotal));
      if (pNew == nullptr) return false;
      std::memcpy(pNew, pbyBuffer, nTotal);
    }
    XMALLOC_Del_(m_pBuffer);
    m_pBuffer = pNew;
    m_nTailleBuffer = nTotal;
  } else if (nTotal != 0) {
    // The same size keeps the buffer: holders bound into it stay valid.
    std::memmove(m_pBuffer, pbyBuffer, nTotal);
  }
  m_nNbBitsFlags = nBits;
  m_nTailleFlags = nFlags;
  m_pbyFlags = m_pBuffer;
  m_pbyValues = m_pBuffer != nullptr ? m_pBuffer + nFlags : nullptr;
  return true;
}

// ---- Conversion for an item --------------------------------------------------

int nCastTo(CAny* pclValue, unsigned short wType, const INAItemDescription* piItem) {
  if (pclValue == nullptr) return ANY_ERR_IMPOSSIBLE;
  const unsigned char nCode = pclValue->nGetTypeCode();
  if (piItem != nullptr && piItem->eNAGetItemType() == NA_IT_HEURE && wType == ANY_DATETIME &&
      (nCode == ANY_PSTRA || nCode == ANY_DSTRA)) {
    const char* pszText = nullptr;
    if (pclValue->nGetPCASTR(&pszText) > 99) pszText = nullptr;
    CDateTime dt;
    dt.InitDate();
    if (pszText != nullptr) dt.__SetPartieHeure<char>(pszText);
    pclValue->SetDATETIME(dt);
    pclValue->ClearFlags();
    return ANY_OK;
  }
  return pclValue->__nCastTo(wType, nullptr, 1);
}
