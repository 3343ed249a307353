// The key writers of the index items.
#include "CXQConvertKey.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "AnyRuntime.h"
#include "CAny.h"
#include "CMoney.h"
#include "IDecimal.h"
#include "IXQForNA.h"
#include "KeyTables.h"
#include "StrFunctions.h"
#include "XMalloc.h"
#include "XQForNA.h"

namespace {

constexpr std::size_t knDecimalKeySize = 32;
constexpr std::size_t knMoneySize = 10;

// The writers answer KEY_REFUSED internally; the public forms turn it into 0.
int nPublic(int nResult) { return nResult < 0 ? 0 : nResult; }

// An item of fixed width: the key and the data must both hold it.
bool bFits(const void* key, std::size_t size, const void* data, std::size_t length, std::size_t width) {
  return key != nullptr && data != nullptr && size >= width && length >= width;
}

// Unsigned integer of `width` native bytes, optionally with its sign bit
// flipped, written high byte first.
int nInteger(void* key, std::size_t size, const void* data, std::size_t length, std::size_t width,
             bool bSigned) {
  if (!bFits(key, size, data, length, width)) return KEY_REFUSED;
  std::uint64_t u = 0;
  switch (width) {
    case 1: {
      std::uint8_t v;
      std::memcpy(&v, data, 1);
      u = v;
      break;
    }
    case 2: {
      std::uint16_t v;
      std::memcpy(&v, data, 2);
      u = v;
      break;
    }
    case 4: {
      std::uint32_t v;
      std::memcpy(&v, data, 4);
      u = v;
      break;
    }
    default: {
      std::uint64_t v;
      std::memcpy(&v, data, 8);
      u = v;
      break;
    }
  }
  if (bSigned) u ^= std::uint64_t{1} << (8 * width - 1);
  auto* pbyKey = static_cast<unsigned char*>(key);
  for (std::size_t i = 0; i < width; ++i) pbyKey[i] = static_cast<unsigned char>(u >> (8 * (width - 1 - i)));
  return static_cast<int>(width);
}

int nReal(void* key, std::size_t size, const void* data, std::size_t length, int n) {
  if (!bFits(key, size, data, length, static_cast<std::size_t>(n))) return KEY_REFUSED;
  return CXQConvertKey::__Rx_to_Key(key, data, n);
}

int nDateTime(void* key, std::size_t size, const void* data, std::size_t length) {
  if (!bFits(key, size, data, length, 8)) return KEY_REFUSED;
  static const int kanOrder[8] = {3, 2, 1, 0, 7, 6, 5, 4};
  const auto* pbyData = static_cast<const unsigned char*>(data);
  auto* pbyKey = static_cast<unsigned char*>(key);
  for (int i = 0; i < 8; ++i) pbyKey[i] = pbyData[kanOrder[i]];
  return 8;
}

int nMoney(void* key, std::size_t size, const void* data, std::size_t length) {
  if (!bFits(key, size, data, length, knMoneySize)) return KEY_REFUSED;
  CMoney m;
  std::memcpy(&m, data, sizeof m);
  MonetaireVersCleXQ(key, &m);
  return static_cast<int>(knMoneySize);
}

int nDecimal(void* key, std::size_t size, const void* data, std::size_t length, int precision, int scale) {
  // mg_PToN is 0 outside 1..38: such digits never reach the object.
  const int nNative = IDecimal::mg_PToN(precision);
  if (key == nullptr || data == nullptr || size < knDecimalKeySize || nNative == 0 ||
      length < static_cast<std::size_t>(nNative) || scale < 0 || scale > precision)
    return KEY_REFUSED;
  IVMFactory* piFactory = gpiVMFactory;
  if (piFactory == nullptr) return KEY_REFUSED;
  IDecimal* piDecimal = piFactory->piCreateDecimal(0);
  if (piDecimal == nullptr) return KEY_REFUSED;
  // The key is written only once the object has made all of it.
  unsigned char abyKey[knDecimalKeySize] = {};
  int nResult = KEY_REFUSED;
  if (piDecimal->nSetFromNative(data, precision, scale) <= 99 && piDecimal->nGetKey32(abyKey) <= 99) {
    std::memcpy(key, abyKey, sizeof abyKey);
    nResult = static_cast<int>(knDecimalKeySize);
  }
  piFactory->ReleaseDecimal(piDecimal);
  return nResult;
}

int nBin(void* key, std::size_t size, const void* data, std::size_t length) {
  if (key == nullptr || (data == nullptr && length != 0)) return KEY_REFUSED;
  const std::size_t m = length < size / 2 ? length : size / 2;
  const auto* pbyData = static_cast<const unsigned char*>(data);
  auto* pcKey = static_cast<char*>(key);
  for (std::size_t i = 0; i < m; ++i) {
    pcKey[2 * i] = pTabByteToChar256[2 * pbyData[i]];
    pcKey[2 * i + 1] = pTabByteToChar256[2 * pbyData[i] + 1];
  }
  std::memset(pcKey + 2 * m, '0', size - 2 * m);
  return static_cast<int>(2 * m);
}

int nClampInt(std::size_t n) { return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

// The sort key of the text already in the key, written over it. The
// locale reads its source while it writes, so the source is a copy.
void SortKeyInPlace(unsigned char* pbyKey, std::size_t size, std::size_t nText, unsigned int charset) {
  unsigned char abyLocal[256];
  unsigned char* pbyText = abyLocal;
  if (nText > sizeof abyLocal) {
    pbyText = static_cast<unsigned char*>(XMALLOC_pNew_(nText));
    // Without memory the key keeps the mapped text: still a valid order
    // within this charset's mapping, only not the language's.
    if (pbyText == nullptr) return;
  }
  if (nText != 0) std::memcpy(pbyText, pbyKey, nText);
  std::memset(pbyKey, 0, size);
  STR_MapStringSortEx_Charset(static_cast<int>(charset), pbyKey, nClampInt(size),
                              reinterpret_cast<const char*>(pbyText), nClampInt(nText));
  if (pbyText != abyLocal) XMALLOC_Del_(pbyText);
}

int nText(void* key, std::size_t size, const void* data, std::size_t length, unsigned short options,
          unsigned int charset) {
  if (key == nullptr || size == 0 || data == nullptr) return KEY_REFUSED;
  if (length == 0) return 0;
  auto* pbyKey = static_cast<unsigned char*>(key);
  const unsigned int nMode = ((options & KEY_OPT_IGNORE_CASE) != 0 ? 1u : 0u) +
                             ((options & KEY_OPT_NO_ACCENT) != 0 ? 2u : 0u) +
                             ((options & KEY_OPT_NO_PUNCT) != 0 ? 4u : 0u);
  int nResult;
  std::size_t nKeyText;
  if (nMode == 0) {
    const std::size_t n = length < size ? length : size;
    std::memcpy(pbyKey, data, n);
    std::memset(pbyKey + n, 0, size - n);
    pbyKey[size - 1] = 0;
    nResult = nClampInt(n);
    nKeyText = n;
  } else {
    // The mapping terminates within the key; what lies past its text is
    // padding, zero like every key's.
    std::memset(pbyKey, 0, size);
    nResult = STR_nMapStringEx_Charset(static_cast<int>(charset), nMode, reinterpret_cast<char*>(pbyKey),
                                       nClampInt(size), static_cast<const char*>(data), nClampInt(length));
    if (nResult < 0) nResult = 0;
    nKeyText = static_cast<std::size_t>(nResult);
  }
  if (charset != 0) SortKeyInPlace(pbyKey, size, nKeyText < size ? nKeyText : size, charset);
  return nResult;
}

// A text that ends in 0xFF (the high value), possibly followed by blanks or
// NULs, keeps that byte in its key whatever the mapping made of it, so that
// high-value bounds stay above every text. Only with a data byte to look at
// and a key position before its terminator.
void KeepHighValue(unsigned char* pbyKey, std::size_t size, const unsigned char* pbyData, std::size_t length) {
  if (pbyKey == nullptr || pbyData == nullptr || length < 1 || size < 2) return;
  std::size_t p = length - 1 < size - 2 ? length - 1 : size - 2;
  for (;;) {
    const unsigned char by = pbyData[p];
    if (by == 0xFF) {
      pbyKey[p] = 0xFF;
      return;
    }
    if ((by != 0x20 && by != 0) || p == 0) return;
    --p;
  }
}

void PutUnit(unsigned char* pbyKey, std::size_t i, std::uint16_t u) { std::memcpy(pbyKey + 2 * i, &u, 2); }

std::uint16_t GetUnit(const unsigned char* pbyKey, std::size_t i) {
  std::uint16_t u;
  std::memcpy(&u, pbyKey + 2 * i, 2);
  return u;
}

// 4-byte characters to at most nUnits UTF-16 units; a character outside
// Unicode becomes U+FFFD, and a pair that would not fit is left out.
void Ucs4ToUnits(unsigned char* pbyKey, std::size_t nUnits, const unsigned char* pbyData, std::size_t nChars) {
  std::size_t nOut = 0;
  for (std::size_t i = 0; i < nChars && nOut < nUnits; ++i) {
    std::uint32_t c;
    std::memcpy(&c, pbyData + 4 * i, 4);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x10000) {
      PutUnit(pbyKey, nOut++, static_cast<std::uint16_t>(c));
    } else {
      if (nOut + 2 > nUnits) break;
      c -= 0x10000;
      PutUnit(pbyKey, nOut++, static_cast<std::uint16_t>(0xD800 + (c >> 10)));
      PutUnit(pbyKey, nOut++, static_cast<std::uint16_t>(0xDC00 + (c & 0x3FF)));
    }
  }
}

int nUnicode(void* key, std::size_t size, const void* data, std::size_t length, unsigned short options,
             int flags) {
  if (key == nullptr || size < 2 || data == nullptr) return KEY_REFUSED;
  if (length == 0) return 0;
  auto* pbyKey = static_cast<unsigned char*>(key);
  const auto* pbyData = static_cast<const unsigned char*>(data);
  const std::size_t n = size / 2;
  const bool bFour = (flags & KEY_FLAG_UCS4) != 0;
  const bool bIgnoreCase = (options & KEY_OPT_IGNORE_CASE) != 0;
  const bool bNoAccent = (options & KEY_OPT_NO_ACCENT) != 0;
  const bool bNoPunct = (options & KEY_OPT_NO_PUNCT) != 0;
  const bool bLinguistic =
      bNoAccent || bNoPunct || (bIgnoreCase && (options & (KEY_OPT_SORT_TABLE | KEY_OPT_BIG_ENDIAN)) != 0);

  IXQTextConverter* piConverter = nullptr;
  if (bLinguistic) {
    IXQForNA* piHost = XQForNA_piGet();
    if (piHost != nullptr)
      piConverter = piHost->piGetTextConverter(bIgnoreCase ? 1 : 0, bNoAccent ? 1 : 0, length, options,
                                               bFour ? 1 : 0);
  }

  int nResult;
  if (piConverter != nullptr) {
    std::memset(pbyKey, 0, size);
    // The converter writes aligned units; the key may sit anywhere.
    std::uint16_t awLocal[128];
    std::uint16_t* pwUnits = awLocal;
    if (n > sizeof awLocal / sizeof awLocal[0]) {
      pwUnits = static_cast<std::uint16_t*>(XMALLOC_pNew_(n * sizeof(std::uint16_t)));
      if (pwUnits == nullptr) return KEY_REFUSED;
    }
    std::memset(pwUnits, 0, n * sizeof(std::uint16_t));
    if (bFour)
      piConverter->nConvertUCS4(pwUnits, n, data, length, bNoPunct ? 1 : 0, bNoAccent ? 1 : 0, bIgnoreCase ? 1 : 0);
    else
      piConverter->nConvertUTF16(pwUnits, n, data, length, bNoPunct ? 1 : 0, bNoAccent ? 1 : 0, bIgnoreCase ? 1 : 0);
    std::size_t nUnits = 0;
    while (nUnits < n && pwUnits[nUnits] != 0) ++nUnits;
    std::memcpy(pbyKey, pwUnits, n * sizeof(std::uint16_t));
    if (pwUnits != awLocal) XMALLOC_Del_(pwUnits);
    nResult = nClampInt(2 * nUnits);
  } else if (!bFour) {
    const std::size_t nCopy = length < size ? length : size;
    std::memcpy(pbyKey, pbyData, nCopy);
    std::memset(pbyKey + nCopy, 0, size - nCopy);
    nResult = nClampInt(nCopy);
  } else {
    std::memset(pbyKey, 0, size);
    Ucs4ToUnits(pbyKey, n, pbyData, length / 4);
    const std::size_t nEven = (length / 2) & ~static_cast<std::size_t>(1);
    nResult = nClampInt(nEven < size ? nEven : size);
  }

  PutUnit(pbyKey, n - 1, 0);
  if ((options & KEY_OPT_SORT_TABLE) != 0) {
    for (std::size_t i = 0; i + 1 < n; ++i) {
      const std::uint16_t u = GetUnit(pbyKey, i);
      pbyKey[2 * i] = tabUCS2FastSort[u][0];
      pbyKey[2 * i + 1] = tabUCS2FastSort[u][1];
    }
  } else if ((options & KEY_OPT_BIG_ENDIAN) != 0) {
    for (std::size_t i = 0; i + 1 < n; ++i) {
      const unsigned char by = pbyKey[2 * i];
      pbyKey[2 * i] = pbyKey[2 * i + 1];
      pbyKey[2 * i + 1] = by;
    }
  }
  return nResult;
}

int nOneByte(void* key, std::size_t size, const void* data, std::size_t length, unsigned char byFlip) {
  if (!bFits(key, size, data, length, 1)) return KEY_REFUSED;
  *static_cast<unsigned char*>(key) = static_cast<unsigned char>(*static_cast<const unsigned char*>(data) ^ byFlip);
  return 1;
}

}  // namespace

std::size_t CXQConvertKey::nCalculateKeySize(eITEMTYPE type, std::size_t length) {
  switch (type) {
    case ITEM_TEXT:
    case ITEM_TEXT_12:
      return length < SIZE_MAX ? length + 1 : 0;
    case ITEM_I1:
    case ITEM_I2:
    case ITEM_I4:
    case ITEM_I8:
    case ITEM_R4:
    case ITEM_R8:
    case ITEM_UI1:
    case ITEM_UI2:
    case ITEM_UI4:
    case ITEM_UI8:
    case ITEM_BUFFER:
    case ITEM_CY:
    case ITEM_DATETIME:
    case ITEM_DUREE:
    case ITEM_CHAR:
    case ITEM_BOOL:
      return length;
    case ITEM_BIN:
      return length <= SIZE_MAX / 2 ? 2 * length : 0;
    case ITEM_UNICODE:
    case ITEM_UNICODE_21:
      return length <= (SIZE_MAX - 2) / 2 ? 2 * length + 2 : 0;
    case ITEM_DECIMAL:
      return knDecimalKeySize;
    default:
      return 0;
  }
}

std::size_t CXQConvertKey::nCalculateKeySize(unsigned short code, std::size_t length) {
  return nCalculateKeySize(eGetItemType(code), length);
}

eITEMTYPE CXQConvertKey::eGetItemType(unsigned short code) {
  switch (code) {
    case ANY_BOOL: return ITEM_BOOL;
    case ANY_UI1: return ITEM_UI1;
    case ANY_UI2: return ITEM_UI2;
    case ANY_UI4: return ITEM_UI4;
    case ANY_UI8: return ITEM_UI8;
    case ANY_I1: return ITEM_I1;
    case ANY_I2: return ITEM_I2;
    case ANY_I4: return ITEM_I4;
    case ANY_I8: return ITEM_I8;
    case ANY_CY: return ITEM_CY;
    case ANY_R4: return ITEM_R4;
    case ANY_R8: return ITEM_R8;
    case ANY_DECIMAL: return ITEM_DECIMAL;
    case ANY_DSTRW: return ITEM_UNICODE_21;
    case ANY_CARA: return ITEM_CHAR;
    case ANY_PSTRA:
    case ANY_DSTRA:
    case 21:
    case 22:
    case 23:
    case ANY_DATEW:
    case ANY_DATEA:
    case ANY_TIMEW:
    case ANY_TIMEA:
      return ITEM_TEXT;
    case ANY_DATETIME: return ITEM_DATETIME;
    case ANY_DUREE: return ITEM_DUREE;
    case ANY_BIN: return ITEM_BIN;
    case ANY_BUFFER: return ITEM_BUFFER;
    case ANY_PSTRW: return ITEM_UNICODE;
    default: return ITEM_I4;
  }
}

int CXQConvertKey::nConvertKeyOrRefuse(void* key, std::size_t size, const void* data, std::size_t length,
                                       eITEMTYPE type, unsigned short options, int precision, int scale,
                                       unsigned int charset, int flags) {
  switch (type) {
    case ITEM_TEXT:
    case ITEM_TEXT_12: {
      const int nResult = nText(key, size, data, length, options, charset);
      if (nResult >= 0)
        KeepHighValue(static_cast<unsigned char*>(key), size, static_cast<const unsigned char*>(data), length);
      return nResult;
    }
    case ITEM_I1: return nInteger(key, size, data, length, 1, true);
    case ITEM_I2: return nInteger(key, size, data, length, 2, true);
    case ITEM_I4: return nInteger(key, size, data, length, 4, true);
    case ITEM_I8:
    case ITEM_DUREE: return nInteger(key, size, data, length, 8, true);
    case ITEM_UI1: return nInteger(key, size, data, length, 1, false);
    case ITEM_UI2: return nInteger(key, size, data, length, 2, false);
    case ITEM_UI4: return nInteger(key, size, data, length, 4, false);
    case ITEM_UI8: return nInteger(key, size, data, length, 8, false);
    case ITEM_R4: return nReal(key, size, data, length, 4);
    case ITEM_R8: return nReal(key, size, data, length, 8);
    case ITEM_CY: return nMoney(key, size, data, length);
    case ITEM_DATETIME: return nDateTime(key, size, data, length);
    case ITEM_BIN: return nBin(key, size, data, length);
    case ITEM_CHAR: return nOneByte(key, size, data, length, 0);
    case ITEM_BOOL: return nOneByte(key, size, data, length, 0x80);
    case ITEM_UNICODE:
    case ITEM_UNICODE_21: return nUnicode(key, size, data, length, options, flags);
    case ITEM_DECIMAL: return nDecimal(key, size, data, length, precision, scale);
    default:  // buffers and unknown types have no key form
      return KEY_REFUSED;
  }
}

int CXQConvertKey::__nConvertKey(void* key, std::size_t size, const void* data, std::size_t length,
                                 eITEMTYPE type, unsigned short options, int precision, int scale,
                                 unsigned int charset, int flags) {
  return nPublic(nConvertKeyOrRefuse(key, size, data, length, type, options, precision, scale, charset, flags));
}

int CXQConvertKey::_I1_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nInteger(key, size, data, length, 1, true));
}
int CXQConvertKey::_UI1_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nInteger(key, size, data, length, 1, false));
}
int CXQConvertKey::_I2_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nInteger(key, size, data, length, 2, true));
}
int CXQConvertKey::_UI2_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nInteger(key, size, data, length, 2, false));
}
int CXQConvertKey::_I4_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nInteger(key, size, data, length, 4, true));
}
int CXQConvertKey::_UI4_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nInteger(key, size, data, length, 4, false));
}
int CXQConvertKey::_I8_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nInteger(key, size, data, length, 8, true));
}
int CXQConvertKey::_UI8_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nInteger(key, size, data, length, 8, false));
}
int CXQConvertKey::_R4_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nReal(key, size, data, length, 4));
}
int CXQConvertKey::_R8_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nReal(key, size, data, length, 8));
}

int CXQConvertKey::__Rx_to_Key(void* key, const void* value, int n) {
  if (key == nullptr || value == nullptr || (n != 4 && n != 8)) return 0;
  const auto* pbyValue = static_cast<const unsigned char*>(value);
  auto* pbyKey = static_cast<unsigned char*>(key);
  // Native order is little-endian: the most significant byte is the last.
  for (int i = 0; i < n; ++i) pbyKey[i] = pbyValue[n - 1 - i];
  if ((pbyKey[0] & 0x80) == 0) {
    pbyKey[0] |= 0x80;
  } else {
    for (int i = 0; i < n; ++i) pbyKey[i] = static_cast<unsigned char>(~pbyKey[i]);
  }
  return n;
}

int CXQConvertKey::_DateTime_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nDateTime(key, size, data, length));
}
int CXQConvertKey::_CY_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nMoney(key, size, data, length));
}
int CXQConvertKey::_Decimal_to_Key(void* key, std::size_t size, const void* data, std::size_t length,
                                   int precision, int scale) {
  return nPublic(nDecimal(key, size, data, length, precision, scale));
}
int CXQConvertKey::_nBin_to_Key(void* key, std::size_t size, const void* data, std::size_t length) {
  return nPublic(nBin(key, size, data, length));
}
int CXQConvertKey::_nSTR_to_Key(void* key, std::size_t size, const void* data, std::size_t length,
                                unsigned short options, unsigned int charset) {
  return nPublic(nText(key, size, data, length, options, charset));
}
int CXQConvertKey::_nUNICODE_to_Key(void* key, std::size_t size, const void* data, std::size_t length,
                                    unsigned short options, int flags) {
  return nPublic(nUnicode(key, size, data, length, options, flags));
}
