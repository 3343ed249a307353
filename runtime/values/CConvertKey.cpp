// The index key of a typed value: cast, data, writer, direction.
#include "CConvertKey.h"

#include <climits>
#include <cstring>

#include "CAny.h"
#include "CXQConvertKey.h"
#include "IDecimal.h"
#include "XMalloc.h"

namespace {

// Above this a cast or a decimal operation failed.
constexpr int knLastSuccess = 99;

// What the writer gets from the cast temporary.
struct STKeyData {
  const void* pData = nullptr;
  std::size_t nLength = 0;
};

// The temporary holding the value cast to `code`; false when the runtime
// refuses the cast or leaves nothing to key. The caller's value is only
// read: a NULL or empty value gives an empty wide text in the temporary.
bool bPrepare(const CAny& value, CAny& temp, unsigned short& code, int integerDigits, int decimalDigits,
              STKeyData& st) {
  if (value.bIsNull() || value.nGetTypeCode() == ANY_EMPTY) {
    temp.__SetType(ANY_PSTRW, 0);
    temp.ClearFlags();
  } else {
    temp = value;
  }
  if (code == 0) code = temp.nGetTypeCode();
  if (temp.__nCastTo(code, nullptr, 1) > knLastSuccess) return false;

  if (code == ANY_DECIMAL) {
    // Only a plain decimal with its object gives the native bytes the
    // writer reads; anything else is not keyed.
    if (temp.wGetType() != ANY_DECIMAL) return false;
    IDecimal* piDecimal = nullptr;
    if (temp.nFillBuffer(&piDecimal) > knLastSuccess || piDecimal == nullptr) return false;
    const long long llPrecision = static_cast<long long>(integerDigits) + decimalDigits;
    if (llPrecision < 1 || llPrecision > 38 || decimalDigits < 0) return false;
    if (piDecimal->nSetPrecisionScale(static_cast<int>(llPrecision), decimalDigits) > knLastSuccess) return false;
    st.pData = piDecimal->pGetData();
    st.nLength = piDecimal->nGetDataSize();
    return st.pData != nullptr;
  }

  void* pData = nullptr;
  std::size_t nLength = 0;
  if (temp.nGetDataAdr(&pData) > knLastSuccess) pData = nullptr;
  if (temp.nGetUtilDataSize(&nLength) > knLastSuccess) nLength = 0;
  if (pData != nullptr) {
    // Texts are keyed with their terminator; a BOOL by its first byte.
    switch (code) {
      case ANY_PSTRA:
      case ANY_DSTRA:
        nLength += 1;
        break;
      case ANY_DSTRW:
      case ANY_PSTRW:
        nLength += sizeof(wchar_t);
        break;
      case ANY_BOOL:
        nLength = 1;
        break;
      default:
        break;
    }
  } else {
    nLength = 0;
  }
  st.pData = pData;
  st.nLength = nLength;
  return true;
}

// Writes the key into `size` zeroed bytes; KEY_REFUSED when none was made.
int nWrite(const STKeyData& st, unsigned char* key, std::size_t size, unsigned short code, unsigned short options,
           int integerDigits, int decimalDigits) {
  // Digits only matter to decimals, which checked them; others may be anything.
  const long long llPrecision = static_cast<long long>(integerDigits) + decimalDigits;
  const int nPrecision = llPrecision > INT_MAX ? INT_MAX : llPrecision < INT_MIN ? INT_MIN : static_cast<int>(llPrecision);
  const int nResult = CXQConvertKey::nConvertKeyOrRefuse(key, size, st.pData, st.nLength,
                                                         CXQConvertKey::eGetItemType(code), options, nPrecision,
                                                         decimalDigits, 0, 0);
  if (nResult != KEY_REFUSED && (options & KEY_OPT_DESCENDING) != 0) CConvertKey::__InvertKey(key, size);
  return nResult;
}

}  // namespace

int CConvertKey::nConvertKeyAndGetSize(CAny* value, unsigned char* key, std::size_t keySize, unsigned short code,
                                       unsigned short options, int integerDigits, int decimalDigits) {
  if (key == nullptr || keySize == 0) return 0;
  std::memset(key, 0, keySize);
  if (value == nullptr) return 0;
  CAny temp;
  STKeyData st;
  if (!bPrepare(*value, temp, code, integerDigits, decimalDigits, st)) return 0;
  const int nResult = nWrite(st, key, keySize, code, options, integerDigits, decimalDigits);
  return nResult == KEY_REFUSED ? 0 : nResult;
}

int CConvertKey::nConvertKeyAndGetSize(CAny* value, unsigned char** key, unsigned short code,
                                       unsigned short options, int integerDigits, int decimalDigits) {
  if (key == nullptr) return 0;
  *key = nullptr;
  if (value == nullptr) return 0;
  CAny temp;
  STKeyData st;
  if (!bPrepare(*value, temp, code, integerDigits, decimalDigits, st)) return 0;
  const std::size_t size = CXQConvertKey::nCalculateKeySize(code, st.nLength);
  if (size == 0) return 0;
  auto* pbyKey = static_cast<unsigned char*>(XMALLOC_pNew_(size));
  if (pbyKey == nullptr) return 0;
  std::memset(pbyKey, 0, size);
  const int nResult = nWrite(st, pbyKey, size, code, options, integerDigits, decimalDigits);
  if (nResult == KEY_REFUSED) {
    XMALLOC_Del_(pbyKey);
    return 0;
  }
  *key = pbyKey;
  return nResult;
}

void CConvertKey::__InvertKey(unsigned char* key, std::size_t size) {
  if (key == nullptr) return;
  for (std::size_t i = 0; i < size; ++i) key[i] = static_cast<unsigned char>(~key[i]);
}
