#include "CNAConvertVariant.h"

#include <cstring>
#include <cwchar>
#include <algorithm>
#include <new>
#include <string>

#include "AnyOperators.h"
#include "CDateTimeBase.h"
#include "CMoney.h"
#include "CNAConnectionDescription.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNAXQRecord.h"
#include "CTNBIN.h"
#include "CTString.h"
#include "CXTime.h"
#include "IDecimal.h"
#include "INAItemDescription.h"
#include "IntegerText.h"
#include "StrFunctions.h"
#include "ValueTextConversion.h"


namespace {

// User error of a value that cannot be converted, and its location line.
constexpr unsigned knErrConversion = 53;
constexpr int knLocationArea = 12;
constexpr int knLocationConversion = 3;

constexpr unsigned kn1252 = 1252;
constexpr unsigned knUTF8 = 65001;

// Stack room of the read path; longer texts take the heap (never cut).
constexpr std::size_t knStackChars = 256;

bool bIs8Bit(unsigned t) {
  switch (t) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 128: case 129: case 134: return true;
    default: return false;
  }
}

bool bIsWide(unsigned t) {
  switch (t) {
    case 16: case 20: case 24: case 25: case 81: case 110: return true;
    default: return false;
  }
}

bool bIsText(unsigned t) { return (t >= 16 && t <= 25) || t == 81 || t == 110 || t == 128 || t == 129 || t == 134; }

// The server's code pages (1252 and UTF-8) keep '-' and the digits as
// ASCII bytes, so their plain integer texts need no widening.
bool bAsciiDigitsCodePage(int codePage) {
  const unsigned cp = kxvalues::nNormaliseCodePage(codePage);
  return cp == 1252 || cp == 65001;
}

// Bytes of the native form of the fixed-size number types parsed from text.
std::size_t nNumberSize(unsigned t) {
  switch (t) {
    case 3: case 7: return 2;
    case 4: case 8: case 11: return 4;
    case 5: case 9: case 12: case 14: return 8;
    case 6: return 1;
    case 10: return sizeof(CMoney);
    default: return 0;
  }
}

inline std::uint64_t nSat(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; }

std::size_t nBoundedLen(const char* p, std::size_t n) {
  const void* pEnd = std::memchr(p, 0, n);
  return pEnd != nullptr ? static_cast<std::size_t>(static_cast<const char*>(pEnd) - p) : n;
}

std::size_t nBoundedWideLen(const unsigned char* p, std::size_t nChars) {
  for (std::size_t i = 0; i < nChars; ++i) {
    wchar_t w;
    std::memcpy(&w, p + 4 * i, 4);
    if (w == 0) return i;
  }
  return nChars;
}

// A stack buffer that moves to the heap past its size; never cuts.
template <typename T>
class CScratch {
 public:
  explicit CScratch(std::size_t n) {
    if (n > knStackChars) {
      m_pHeap = new (std::nothrow) T[n];
      m_p = m_pHeap;
    }
  }
  ~CScratch() { delete[] m_pHeap; }
  CScratch(const CScratch&) = delete;
  CScratch& operator=(const CScratch&) = delete;
  T* p() { return m_p; }

 private:
  T m_a[knStackChars];
  T* m_pHeap = nullptr;
  T* m_p = m_a;
};

// Digits of a layout, gathered as characters ('0' where absent).
struct STLayout {
  bool bDate = false;
  bool bTime = false;
  char acDate[8];
  char acTime[9];
  STLayout() {
    std::memset(acDate, '0', sizeof acDate);
    std::memset(acTime, '0', sizeof acTime);
  }
};

void Take(char* out, const char* text, std::size_t at, std::size_t n, std::size_t length) {
  for (std::size_t i = 0; i < n && at + i < length; ++i) out[i] = text[at + i];
}

// Chooses the layout of an 8-bit date/time text of `length` characters.
// Reads nothing at or past `length`. False when no layout fits.
bool bReadLayout(const char* t, std::size_t L, STLayout* pst) {
  auto at = [&](std::size_t i, char c) { return i < L && t[i] == c; };
  // "HH:MM:SS.f..." (1 to 6 fraction digits): fraction at 9-11.
  const bool bTimeFraction = L >= 10 && L <= 15 && at(2, ':') && at(5, ':') && at(8, '.');
  // "YYYYMMDD HH:MM:SS.f..." (1 to 6 fraction digits): fraction at 18-20.
  const bool bCompactFraction = L >= 19 && L <= 24 && at(8, ' ') && at(17, '.');
  if (bTimeFraction || L == 11 || L == 12) {
    pst->bTime = true;
    Take(pst->acTime, t, 0, 2, L);
    Take(pst->acTime + 2, t, 3, 2, L);
    Take(pst->acTime + 4, t, 6, 2, L);
    Take(pst->acTime + 6, t, 9, 3, L);
    for (int i = 6; i < 9; ++i)
      if (pst->acTime[i] == 0) pst->acTime[i] = '0';
    return true;
  }
  if (bCompactFraction) {
    pst->bDate = pst->bTime = true;
    Take(pst->acDate, t, 0, 8, L);
    Take(pst->acTime, t, 9, 2, L);
    Take(pst->acTime + 2, t, 12, 2, L);
    Take(pst->acTime + 4, t, 15, 2, L);
    Take(pst->acTime + 6, t, 18, 3, L);
    return true;
  }
  switch (L) {
    case 4:
      pst->bTime = true;
      Take(pst->acTime, t, 0, 4, L);
      return true;
    case 5:
      if (!at(2, ':')) return false;
      pst->bTime = true;
      Take(pst->acTime, t, 0, 2, L);
      Take(pst->acTime + 2, t, 3, 2, L);
      return true;
    case 6:
      pst->bTime = true;
      Take(pst->acTime, t, 0, 6, L);
      return true;
    case 8:
      if (at(2, ':')) {
        pst->bTime = true;
        Take(pst->acTime, t, 0, 2, L);
        Take(pst->acTime + 2, t, 3, 2, L);
        Take(pst->acTime + 4, t, 6, 2, L);
      } else {
        pst->bDate = true;
        Take(pst->acDate, t, 0, 8, L);
      }
      return true;
    case 10:
      if (!at(4, '-') || !at(7, '-')) return false;
      pst->bDate = true;
      Take(pst->acDate, t, 0, 4, L);
      Take(pst->acDate + 4, t, 5, 2, L);
      Take(pst->acDate + 6, t, 8, 2, L);
      return true;
    case 14:
      pst->bDate = pst->bTime = true;
      Take(pst->acDate, t, 0, 8, L);
      Take(pst->acTime, t, 8, 6, L);
      return true;
    case 17:
      pst->bDate = pst->bTime = true;
      Take(pst->acDate, t, 0, 8, L);
      Take(pst->acTime, t, 9, 2, L);
      Take(pst->acTime + 2, t, 12, 2, L);
      Take(pst->acTime + 4, t, 15, 2, L);
      return true;
    case 19: case 21: case 22: case 23: case 24: case 25: case 26:
      pst->bDate = pst->bTime = true;
      Take(pst->acDate, t, 0, 4, L);
      Take(pst->acDate + 4, t, 5, 2, L);
      Take(pst->acDate + 6, t, 8, 2, L);
      Take(pst->acTime, t, 11, 2, L);
      Take(pst->acTime + 2, t, 14, 2, L);
      Take(pst->acTime + 4, t, 17, 2, L);
      if (at(19, '.')) Take(pst->acTime + 6, t, 20, 3, L);
      return true;
    default:
      return false;
  }
}

// Writes the layout in the form of `itemType` into out (capacity bytes,
// already zero). Nothing for a form the item type does not take.
void WriteLayout(const STLayout& st, eNA_ITEMTYPE itemType, unsigned char* out, std::uint64_t capacity) {
  switch (itemType) {
    case NA_IT_DATE8: {
      if (!st.bDate) return;
      const std::uint64_t n = capacity - 1 < 8 ? capacity - 1 : 8;
      std::memcpy(out, st.acDate, n);
      return;
    }
    case NA_IT_HEURE: {
      if (!st.bTime && !st.bDate) return;
      // A date-only text gives an all-'0' time; one byte stays for the NUL.
      for (std::uint64_t i = 0; i < 9 && capacity > i + 1; ++i)
        out[i] = static_cast<unsigned char>(st.bTime ? st.acTime[i] : '0');
      return;
    }
    case NA_IT_DATETIME: {
      if (capacity < sizeof(CDateTimeBase)) return;
      char sz[18];
      std::memcpy(sz, st.bDate ? st.acDate : "00000000", 8);
      std::memcpy(sz + 8, st.bTime ? st.acTime : "000000000", 9);
      sz[17] = 0;
      CDateTime clDate;
      bool bDigits = true;
      for (int i = 0; i < 17; ++i) bDigits = bDigits && sz[i] >= '0' && sz[i] <= '9';
      if (bDigits) {
        // All digits (the usual case): the fields as FromString reads them.
        auto n = [&](int at, int count) {
          int v = 0;
          for (int i = 0; i < count; ++i) v = v * 10 + (sz[at + i] - '0');
          return v;
        };
        clDate.m_wAnnee = static_cast<std::uint16_t>(n(0, 4));
        clDate.m_byMois = static_cast<std::uint8_t>(n(4, 2));
        clDate.m_byJour = static_cast<std::uint8_t>(n(6, 2));
        clDate.m_dwHeure = static_cast<std::uint32_t>(((n(8, 2) * 60 + n(10, 2)) * 60 + n(12, 2)) * 1000 + n(14, 3));
      } else {
        clDate.FromString(sz);
      }
      if (!st.bDate) clDate.m_byJour = clDate.m_byMois = 0, clDate.m_wAnnee = 0;
      std::memcpy(out, &clDate, sizeof clDate);
      return;
    }
    default:
      return;
  }
}

}  // namespace

// ============================================================================
// Construction and typing
// ============================================================================

CNAConvertVariant::CNAConvertVariant(CNAError* error, CNAConnectionDescription* cnx)
    : m_pclCnx(cnx), m_pclError(error) {
  if (m_pclCnx != nullptr) m_pclCnx->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAConvertVariant::~CNAConvertVariant() {
  ResetVariant();
  if (m_pclCnx != nullptr) m_pclCnx->nRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

void CNAConvertVariant::_TakeConnection(CNAConnectionDescription* cnx) {
  if (cnx == m_pclCnx) return;
  if (cnx != nullptr) cnx->AddRef();
  CNAConnectionDescription* pclOld = m_pclCnx;
  m_pclCnx = cnx;
  if (pclOld != nullptr) pclOld->nRelease();
}

void CNAConvertVariant::_SetVarType(eNAVARTYPE mode) {
  if (m_eVarType == NAVT_OWNBUFFER) delete[] m_pbyBuffer;
  m_pbyBuffer = nullptr;
  m_nUsedSize = m_nCapacity = 0;
  delete[] m_pbyBufferDB;
  m_pbyBufferDB = nullptr;
  m_nCapacityDB = 0;
  m_nLengthDB = 0;
  if (m_piAnalysis != nullptr) m_piAnalysis->nExternalRelease();
  if (m_piDatabase != nullptr) m_piDatabase->nExternalRelease();
  m_piAnalysis = m_piDatabase = nullptr;
  m_eAnalysisType = m_eDatabaseType = NA_IT_EMPTY;
  m_nItemSize = 0;
  m_nPrecision = m_nScale = 0;
  m_clValue.__SetType(0, 0);
  m_eVarType = mode;
  m_nStateDB = mode == NAVT_POINTER || mode == NAVT_OWNBUFFER ? 1 : 0;
}

void CNAConvertVariant::InitTypeVariantAny(unsigned short type, unsigned long size) {
  _SetVarType(NAVT_ANY);
  m_nUsedSize = m_nCapacity = size;
  m_clValue.__SetType(type, 0);
  m_nTypeBind = 0;
  m_nStateDB = 0;
}

int CNAConvertVariant::bInitTypeVariant(eNAVARTYPE mode, unsigned char* buffer, unsigned long size,
                                        unsigned short type) {
  _SetVarType(mode);
  m_clValue.__SetType(type, 0);
  if (mode == NAVT_BOUND || mode == NAVT_POINTER) {
    m_pbyBuffer = buffer;
    m_nUsedSize = m_nCapacity = buffer != nullptr ? size : 0;
  } else if (mode == NAVT_OWNBUFFER && size > 0) {
    m_pbyBuffer = new (std::nothrow) unsigned char[size]();
    if (m_pbyBuffer == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    m_nUsedSize = m_nCapacity = size;
  }
  return 1;
}

int CNAConvertVariant::bInitTypeVariantBuffer(unsigned short type, unsigned long size) {
  const int bOk = bInitTypeVariant(NAVT_OWNBUFFER, nullptr, size, type);
  _bInitTypeBind();
  return bOk;
}

void CNAConvertVariant::SetItemDesc(INAItemDescription* analysis, INAItemDescription* database) {
  if (analysis != m_piAnalysis) {
    if (analysis != nullptr) analysis->ExternalAddRef();
    if (m_piAnalysis != nullptr) m_piAnalysis->nExternalRelease();
    m_piAnalysis = analysis;
    m_eAnalysisType = analysis != nullptr ? analysis->eNAGetItemType() : NA_IT_EMPTY;
    if (analysis != nullptr) {
      m_nItemSize = analysis->nGetItemSize();
      m_nScale = analysis->nGetDecimalPart();
      m_nPrecision = analysis->nGetIntegerPart() + m_nScale;
      const bool bNull = m_clValue.bIsNull();
      m_clValue.__SetType(ConverteItemToTNType(analysis), 0);
      if (bNull) m_clValue.SetNull(true);
    } else {
      m_nItemSize = 0;
      m_nPrecision = m_nScale = 0;
    }
  }
  if (database != m_piDatabase) {
    if (database != nullptr) database->ExternalAddRef();
    if (m_piDatabase != nullptr) m_piDatabase->nExternalRelease();
    m_piDatabase = database;
    m_eDatabaseType = database != nullptr ? database->eNAGetItemType() : NA_IT_EMPTY;
  }
}

void CNAConvertVariant::_OnSetValue(int clearNull) {
  if (m_eVarType == NAVT_ANY_UNREAD) m_eVarType = NAVT_ANY;
  m_bRefreshed = 0;
  if (clearNull) m_clValue.SetNull(false);
}

void CNAConvertVariant::SetNull() {
  if (m_eVarType == NAVT_ANY_UNREAD) m_eVarType = NAVT_ANY;
  m_bRefreshed = 0;
  const unsigned short wType = m_clValue.nGetTypeCode();
  m_clValue.__SetType(0, 0);
  m_clValue.__SetType(wType, 0);
  m_clValue.SetNull(true);
  // A NULL leaves no former bytes behind in a buffer of the holder.
  if (_bBufferMode() && m_pbyBuffer != nullptr) {
    std::memset(m_pbyBuffer, 0, m_nCapacity);
    m_nUsedSize = 0;
  }
}

// ============================================================================
// Virtual operations and fields
// ============================================================================

int CNAConvertVariant::vbGetValue(CAny* out) const { return bGetValue(out); }
int CNAConvertVariant::vbIsEmpty() const { return m_eVarType == NAVT_NONE ? 1 : 0; }
const void* CNAConvertVariant::vpGetData() const { return pGetData(); }
std::uint64_t CNAConvertVariant::vnGetSize() const { return nGetSize(); }
CNAConnectionDescription* CNAConvertVariant::pclGetCnx() { return m_pclCnx; }
int CNAConvertVariant::_bConvertDataToXQ() { return 1; }
int CNAConvertVariant::_bConvertDataToDB() { return 1; }
int CNAConvertVariant::_bInitBufferDB_Ptr() {
  m_nStateDB = 1;
  return 1;
}
int CNAConvertVariant::_bInitTypeBind() { return 1; }

int CNAConvertVariant::_bInitBufferDB_Any() {
  m_nStateDB = 1;
  const unsigned t = m_clValue.nGetTypeCode();
  if (t == 0) m_clValue.SetNull(true);
  // The fixed-size types are written straight into the CAny's data (see
  // _pbyWritable); the variable-length ones get no pointer.
  return 1;
}

int CNAConvertVariant::nGetRuntimeCodePage() const {
  int cp = m_pclCnx != nullptr ? m_pclCnx->nGetApplicationCodePage() : STR_nGetCurrentCodePage();
  return cp <= 0 ? static_cast<int>(kn1252) : cp;
}

int CNAConvertVariant::nGetServerCodePage() const {
  const int cp = m_pclCnx != nullptr ? m_pclCnx->nGetDataBaseCodePage() : 0;
  return cp <= 0 ? static_cast<int>(kn1252) : cp;
}

eNA_ITEMTYPE CNAConvertVariant::eNAGetItemTypeDatabaseEx() const {
  if (m_piDatabase != nullptr) return m_eDatabaseType;
  if (m_piAnalysis != nullptr) return m_eAnalysisType;
  return ConvertTNTypeToeItem(m_clValue.nGetTypeCode());
}

int CNAConvertVariant::bIsMemo() const {
  const eNA_ITEMTYPE e = eNAGetItemType();
  return e == NA_IT_MEMOTEXTE || e == NA_IT_MEMOBINAIRE4 || e == NA_IT_MEMOBINAIRE || e == NA_IT_MEMOUNICODE;
}

int CNAConvertVariant::bIsMemoBinaire() const {
  const eNA_ITEMTYPE e = eNAGetItemType();
  return e == NA_IT_MEMOBINAIRE4 || e == NA_IT_MEMOBINAIRE;
}

int CNAConvertVariant::bUnicodeDB() const {
  const INAItemDescription* pi = m_piDatabase != nullptr ? m_piDatabase : m_piAnalysis;
  if (pi == nullptr) return bIsWide(m_clValue.nGetTypeCode()) ? 1 : 0;
  const eNA_ITEMTYPE e = m_piDatabase != nullptr ? m_eDatabaseType : m_eAnalysisType;
  return e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE ? 1 : 0;
}

int CNAConvertVariant::eNAGetDBType() const {
  const auto* pcl = dynamic_cast<const CNAItemDescription*>(m_piDatabase);
  return pcl != nullptr ? static_cast<int>(pcl->eNAGetDBType(m_pclCnx)) : 0;
}

unsigned short CNAConvertVariant::eGetTNTypeDB() const {
  return m_piDatabase != nullptr ? ConverteItemToTNType(m_piDatabase) : 0;
}

// Item descriptions do not know their table: none.
const wchar_t* CNAConvertVariant::pszGetTableName() const { return nullptr; }

const wchar_t* CNAConvertVariant::pszGetItemName() const {
  const INAItemDescription* pi = m_piAnalysis != nullptr ? m_piAnalysis : m_piDatabase;
  return pi != nullptr ? pi->pszGetName() : nullptr;
}

int CNAConvertVariant::_bUnicodeItem() const { return m_eAnalysisType == NA_IT_UNICODE ? 1 : 0; }

unsigned char* CNAConvertVariant::_pbyWritable() const {
  if (_bBufferMode()) return m_pbyBuffer;
  return nullptr;
}

void CNAConvertVariant::_ZeroFrom(std::uint64_t offset) {
  if (m_pbyBuffer != nullptr && offset < m_nCapacity) std::memset(m_pbyBuffer + offset, 0, m_nCapacity - offset);
}

// ============================================================================
// Assignment from the server
// ============================================================================

int CNAConvertVariant::bSetValueDB(const char* text, unsigned long length, unsigned int codePage) {
  if (m_nStateDB == 0 && !bInitBufferDB()) return 0;
  _OnSetValue(1);
  if (text != nullptr && length == ~0ul) length = static_cast<unsigned long>(std::strlen(text));
  if (text == nullptr || length == 0) return bSetValue(static_cast<const unsigned char*>(nullptr), 0);
  const unsigned t = m_clValue.nGetTypeCode();
  if ((t >= 16 && t <= 23) || t == 81 || t == 110 || t == 134)
    return _bSetTextA(text, length, static_cast<int>(codePage));
  if (t == 1) {
    const int b = s_bTextToBool(text);
    if (m_eVarType == NAVT_ANY || m_eVarType == NAVT_ANY_UNREAD) {
      m_clValue.SetBOOL(b);
    } else if (unsigned char* p = _pbyWritable()) {
      if (m_nCapacity > 0) p[0] = static_cast<unsigned char>(b);
    }
    return 1;
  }
  if ((t >= 3 && t <= 12) || t == 14) return _bSetNumberText(text, length, static_cast<int>(codePage));
  if (t == 24 || t == 25 || t == 26 || t == 128 || t == 129) return _bSetLayout(text, length);
  if (t == ANY_UI1 && bAsciiDigitsCodePage(static_cast<int>(codePage))) {
    unsigned char by = 0;
    if (kxvalues::bReadPlainInteger(text, length, t, &by)) return _bSetPlainUI1(&by);
  }
  if (t == 28) {
    if (m_eVarType == NAVT_ANY || m_eVarType == NAVT_ANY_UNREAD) {
      m_clValue.SetBIN(reinterpret_cast<const unsigned char*>(text), length);
      return 1;
    }
    return _bSetBinaryPrefixed(reinterpret_cast<const unsigned char*>(text), length);
  }
  CAny clText;
  clText.__SetType(ANY_PSTRA, 0);
  clText.SetValue(text, length);
  return bSetValue(&clText);
}

// A plain integer text for an integer holder is read here (in the code
// pages whose digits and '-' are ASCII); any other text widens into a stack
// buffer (heap only past its size) and the runtime's parse decides the
// number; a refused parse leaves 0, not the former number.
int CNAConvertVariant::_bSetNumberText(const char* text, unsigned long length, int codePage) {
  const unsigned t = m_clValue.nGetTypeCode();
  if (bAsciiDigitsCodePage(codePage)) {
    alignas(8) unsigned char abyPlain[8] = {};
    if (kxvalues::bReadPlainInteger(text, length, t, abyPlain)) return _bStoreNumber(t, abyPlain);
  }
  CScratch<wchar_t> clWide(length + 1);
  wchar_t* pw = clWide.p();
  if (pw == nullptr) return 1;
  const std::size_t n = kxvalues::nTextToWide(codePage, text, length, pw, length);
  pw[n] = 0;
  return _bParseNumber(t, pw);
}

int CNAConvertVariant::_bParseNumber(unsigned t, const wchar_t* text) {
  alignas(8) unsigned char aby[knAnyValueSize] = {};
  CAny::__s_nCastTo(aby, text, static_cast<unsigned short>(t), nullptr);
  return _bStoreNumber(t, aby);
}

// The number's native bytes into the CAny or the value buffer (the rest of
// the buffer zero).
int CNAConvertVariant::_bStoreNumber(unsigned t, const unsigned char* aby) {
  const std::size_t nSize = nNumberSize(t);
  if (m_eVarType == NAVT_ANY || m_eVarType == NAVT_ANY_UNREAD) {
    m_clValue.SetValue(aby, nSize);
    return 1;
  }
  unsigned char* p = _pbyWritable();
  if (p == nullptr) return 1;
  std::memset(p, 0, m_nCapacity);
  std::memcpy(p, aby, nSize < m_nCapacity ? nSize : m_nCapacity);
  m_nUsedSize = nSize < m_nCapacity ? nSize : m_nCapacity;
  return 1;
}

int CNAConvertVariant::_bSetBinaryPrefixed(const unsigned char* data, unsigned long length) {
  unsigned char* p = _pbyWritable();
  if (p == nullptr) return 1;
  std::memset(p, 0, m_nCapacity);
  if (m_nCapacity < 2) {
    m_nUsedSize = 0;
    return 1;
  }
  std::uint64_t n = length < nSat(m_nCapacity, 2) ? length : nSat(m_nCapacity, 2);
  if (n > 0xFFFF) n = 0xFFFF;
  if (data == nullptr) n = 0;
  p[0] = static_cast<unsigned char>(n & 0xFF);
  p[1] = static_cast<unsigned char>(n >> 8);
  if (n > 0) std::memcpy(p + 2, data, n);
  m_nUsedSize = n + 2;
  return 1;
}

// Chooses the layout by the text's length and separators and writes it in
// the analysis item's form: 8-bit digits for dates and times, the 8-byte
// date-time otherwise. A text of no layout, or an item of no such form,
// leaves zeros; true in every case.
int CNAConvertVariant::_bSetLayout(const char* text, unsigned long length) {
  STLayout st;
  const bool bLayout = bReadLayout(text, length, &st);
  if (_bBufferMode()) {
    if (m_pbyBuffer == nullptr) return 1;
    std::memset(m_pbyBuffer, 0, m_nCapacity);
    if (bLayout) WriteLayout(st, m_eAnalysisType, m_pbyBuffer, m_nCapacity);
    m_nUsedSize = m_nCapacity;
    return 1;
  }
  if (m_eVarType != NAVT_ANY && m_eVarType != NAVT_ANY_UNREAD) return 1;
  // In the CAny: the item's form as the value of the holder's type.
  unsigned char aby[16] = {};
  const std::uint64_t nCapacity = m_nItemSize > 0 && m_nItemSize < sizeof aby ? m_nItemSize : 10;
  if (bLayout) WriteLayout(st, m_eAnalysisType, aby, m_eAnalysisType == NA_IT_DATETIME ? 8 : nCapacity);
  const unsigned t = m_clValue.nGetTypeCode();
  if (t == ANY_DATETIME) {
    CDateTime clDate;
    std::memcpy(&clDate, aby, sizeof clDate);
    m_clValue.SetDATETIME(clDate);
  } else {
    m_clValue.SetValue(aby, nBoundedLen(reinterpret_cast<const char*>(aby), sizeof aby));
    m_clValue.ClearFlags();
  }
  return 1;
}

int CNAConvertVariant::bSetValueDB(const wchar_t* text, unsigned long length) {
  if (m_nStateDB == 0 && !bInitBufferDB()) return 0;
  return bSetValueFromDB(text, length);
}

int CNAConvertVariant::bSetValueFromDB(const wchar_t* text, unsigned long length) {
  if (text == nullptr) {
    SetNull();
    return 1;
  }
  _OnSetValue(1);
  const unsigned t = m_clValue.nGetTypeCode();
  if (length == ~0ul) length = static_cast<unsigned long>(std::wcslen(text));
  if (t == 1) {
    const int b = s_bTextToBool(length == 0 ? L"" : text);
    if (m_eVarType == NAVT_ANY || m_eVarType == NAVT_ANY_UNREAD) {
      m_clValue.SetBOOL(b);
    } else if (unsigned char* p = _pbyWritable()) {
      if (m_nCapacity > 0) p[0] = static_cast<unsigned char>(b);
    }
    return 1;
  }
  if ((t >= 3 && t <= 12) || t == 14) {
    alignas(8) unsigned char abyPlain[8] = {};
    if (kxvalues::bReadPlainInteger(text, length, t, abyPlain)) return _bStoreNumber(t, abyPlain);
    if (length >= 0x7fffff00ul) length = 0x7ffffeff;
    CScratch<wchar_t> clWide(length + 1);
    wchar_t* pw = clWide.p();
    if (pw == nullptr) return 1;
    std::wmemcpy(pw, text, length);
    pw[length] = 0;
    return _bParseNumber(t, pw);
  }
  if (bIsText(t)) {
    if (t == 24 || t == 25 || t == 128 || t == 129) {
      // Dates and times as text go through the layouts (below).
    } else {
      return _bSetTextW(text, length);
    }
  }
  if (t == 24 || t == 25 || t == 26 || t == 128 || t == 129) {
    if (length == 0) {
      if (unsigned char* p = _pbyWritable()) std::memset(p, 0, m_nCapacity);
      return 1;
    }
    char ac[64];
    const std::size_t n = kxvalues::nWideToText(kn1252, text, length, ac, sizeof ac);
    return _bSetLayout(ac, n);
  }
  if (t == 28) {
    const auto* pby = reinterpret_cast<const unsigned char*>(text);
    if (m_eVarType == NAVT_ANY || m_eVarType == NAVT_ANY_UNREAD) {
      m_clValue.SetBIN(pby, length);
      return 1;
    }
    return _bSetBinaryPrefixed(pby, length);
  }
  if (t == ANY_UI1) {
    unsigned char by = 0;
    if (kxvalues::bReadPlainInteger(text, length, t, &by)) return _bSetPlainUI1(&by);
  }
  CAny clText;
  clText.__SetType(ANY_PSTRW, 0);
  clText.SetValue(text, static_cast<std::size_t>(length) * sizeof(wchar_t));
  return bSetValue(&clText);
}

// A plain integer read for a one-byte unsigned holder: the value the cast of
// the text would give, assigned the way the cast's result is.
int CNAConvertVariant::_bSetPlainUI1(const unsigned char* value) {
  CAny clValue;
  clValue.SetUI1(*value);
  clValue.ClearFlags();
  return _bSetValueAny(&clValue);
}

int CNAConvertVariant::bSetValueDB(const CAny* value) {
  if (m_nStateDB == 0 && !bInitBufferDB()) return 0;
  if (value == nullptr) return bSetValue(value);
  if (m_nStateDB == 2) {
    void* p = nullptr;
    std::size_t n = 0;
    value->nGetDataAdr(&p);
    value->nGetUtilDataSize(&n);
    return bSetValueDB(static_cast<const unsigned char*>(p), n);
  }
  const unsigned s = value->nGetTypeCode();
  if (s == m_clValue.nGetTypeCode() || value->bIsNull()) return bSetValue(value);
  void* p = nullptr;
  std::size_t n = 0;
  if (bIs8Bit(s) && s != 128 && s != 129 && value->nGetDataAdr(&p) <= 99 && value->nGetUtilDataSize(&n) <= 99)
    return bSetValueDB(static_cast<const char*>(p), n, static_cast<unsigned>(nGetServerCodePage()));
  if ((s == 16 || s == 20 || s == 81 || s == 110) && value->nGetDataAdr(&p) <= 99 &&
      value->nGetUtilDataSize(&n) <= 99)
    return bSetValueDB(static_cast<const wchar_t*>(p), n / sizeof(wchar_t));
  return bSetValue(value);
}

int CNAConvertVariant::bSetValueDB(const unsigned char* data, unsigned long length) {
  if (m_nStateDB == 0 && !bInitBufferDB()) return 0;
  m_nLengthDB = length;
  if (m_nStateDB == 2 && length > m_nCapacityDB && !_bAllocBufferDB(length)) return 0;
  if (m_nStateDB == 1 && (m_eVarType == NAVT_ANY || m_eVarType == NAVT_ANY_UNREAD)) {
    _OnSetValue(1);
    m_clValue.SetValueByte(data, length);
    return 1;
  }
  unsigned char* p = nullptr;
  unsigned long nSize = 0;
  if (!bGetBufferDB(&p, &nSize, nullptr) || p == nullptr) return 1;
  const unsigned long n = data == nullptr ? 0 : (length < nSize ? length : nSize);
  if (n > 0) std::memcpy(p, data, n);
  if (n < nSize) std::memset(p + n, 0, nSize - n);
  m_nLengthDB = n;
  m_clValue.SetNull(false);
  return 1;
}

// ============================================================================
// Text into the holder
// ============================================================================

int CNAConvertVariant::bSetValue(const char* text, unsigned long length) {
  return _bSetTextA(text, length, nGetRuntimeCodePage());
}

int CNAConvertVariant::_bSetTextA(const char* text, unsigned long length, int codePage) {
  if (text == nullptr) text = "";
  if (length == ~0ul) length = static_cast<unsigned long>(std::strlen(text));
  const unsigned t = m_clValue.nGetTypeCode();
  if (!bIsText(t)) {
    CAny clText;
    clText.__SetType(ANY_DSTRA, 0);
    clText.SetValue(text, length);
    return bSetValue(&clText);
  }
  _OnSetValue(1);
  const int cpRuntime = nGetRuntimeCodePage();
  const unsigned cpText = kxvalues::nNormaliseCodePage(codePage);
  if (m_eVarType == NAVT_ANY || m_eVarType == NAVT_ANY_UNREAD) {
    if (bIsWide(t)) {
      CScratch<wchar_t> clWide(length + 1);
      if (clWide.p() == nullptr) return 0;
      const std::size_t n = kxvalues::nTextToWide(codePage, text, length, clWide.p(), length);
      m_clValue.SetValue(clWide.p(), n * sizeof(wchar_t));
    } else if (cpText == knUTF8 && kxvalues::nNormaliseCodePage(cpRuntime) != knUTF8) {
      // At most as many bytes as the UTF-8 text (no character grows).
      CScratch<char> clText(length + 1);
      if (clText.p() == nullptr) return 0;
      const std::size_t n = kxvalues::nUTF8ToText(cpRuntime, text, length, clText.p(), length);
      m_clValue.SetValueFromANSI(clText.p(), n);
    } else {
      m_clValue.SetValueFromANSI(text, length);
    }
    m_clValue.ClearFlags();
    return 1;
  }
  if (!_bBufferMode() || m_pbyBuffer == nullptr) return 1;
  unsigned char* p = m_pbyBuffer;
  if (length == 0) {
    std::memset(p, 0, m_nCapacity);
    m_nUsedSize = 0;
    return 1;
  }
  bool bFailed = false;
  if (bIsWide(t)) {
    // UTF-16, whole characters, at most capacity / 2 - 1 units (one stays
    // for the terminator), the rest zero.
    const std::uint64_t nMax = nSat(m_nCapacity / 2, 1);
    std::uint16_t* pu = reinterpret_cast<std::uint16_t*>(p);
    std::size_t nUnits;
    if (reinterpret_cast<std::uintptr_t>(p) % alignof(std::uint16_t) == 0) {
      nUnits = kxvalues::nTextToUTF16(codePage, text, length, pu, nMax, &bFailed);
    } else {
      CScratch<std::uint16_t> clUnits(nMax + 1);
      if (clUnits.p() == nullptr) return 0;
      nUnits = kxvalues::nTextToUTF16(codePage, text, length, clUnits.p(), nMax, &bFailed);
      std::memcpy(p, clUnits.p(), nUnits * 2);
    }
    if (bFailed) nUnits = 0;
    m_nUsedSize = 2 * nUnits;
    _ZeroFrom(m_nUsedSize);
    return bFailed ? 0 : 1;
  }
  std::uint64_t nMax = nSat(m_nCapacity, 1);
  if (t == 17) nMax = m_nCapacity < 1 ? 0 : 1;
  std::size_t n;
  if (cpText == knUTF8 && kxvalues::nNormaliseCodePage(cpRuntime) != knUTF8) {
    n = kxvalues::nUTF8ToText(cpRuntime, text, length, reinterpret_cast<char*>(p), nMax, &bFailed);
    if (bFailed) n = 0;
  } else if (cpText == knUTF8) {
    n = kxvalues::nUTF8WholePrefix(text, length, nMax);
    std::memmove(p, text, n);
  } else {
    n = length < nMax ? length : nMax;
    std::memmove(p, text, n);
  }
  m_nUsedSize = n;
  _ZeroFrom(n);
  return bFailed ? 0 : 1;
}

int CNAConvertVariant::bSetValue(const wchar_t* text, unsigned long length) { return _bSetTextW(text, length); }

int CNAConvertVariant::_bSetTextW(const wchar_t* text, unsigned long length) {
  if (text == nullptr) text = L"";
  if (length == ~0ul) length = static_cast<unsigned long>(std::wcslen(text));
  const unsigned t = m_clValue.nGetTypeCode();
  const bool bAny = m_eVarType == NAVT_ANY || m_eVarType == NAVT_ANY_UNREAD;
  if (bIsText(t) && bAny) {
    _OnSetValue(1);
    if (bIs8Bit(t)) {
      // A character may take more bytes in a double-byte code page.
      const std::size_t nMax = 2 * static_cast<std::size_t>(length) + 1;
      CScratch<char> clText(nMax);
      if (clText.p() == nullptr) return 0;
      const std::size_t n = kxvalues::nWideToText(nGetRuntimeCodePage(), text, length, clText.p(), nMax);
      m_clValue.SetValueFromANSI(clText.p(), n);
    } else {
      m_clValue.SetValue(text, static_cast<std::size_t>(length) * sizeof(wchar_t));
    }
    m_clValue.ClearFlags();
    return 1;
  }
  if (bIsText(t) && _bBufferMode()) {
    _OnSetValue(1);
    unsigned char* p = m_pbyBuffer;
    if (p == nullptr) return 1;
    if (length == 0) {
      std::memset(p, 0, m_nCapacity);
      m_nUsedSize = 0;
      return 1;
    }
    if (bIsWide(t) && _bUnicodeItem()) {
      const std::uint64_t nMax = nSat(m_nCapacity / 2, 1);
      CScratch<std::uint16_t> clUnits(nMax + 1);
      if (clUnits.p() == nullptr) return 0;
      const std::size_t nUnits = kxvalues::nWideToUTF16(text, length, clUnits.p(), nMax);
      std::memcpy(p, clUnits.p(), nUnits * 2);
      m_nUsedSize = 2 * nUnits;
      _ZeroFrom(m_nUsedSize);
      return 1;
    }
    if (t == 81) {
      const std::uint64_t n = m_nCapacity < 4 ? m_nCapacity : 4;
      std::memset(p, 0, m_nCapacity);
      std::memcpy(p, text, n);
      m_nUsedSize = n;
      return 1;
    }
    if (bIsWide(t)) {
      std::uint64_t n = 4ull * length;
      const std::uint64_t nMax = nSat(m_nCapacity, 4) / 4 * 4;
      if (n > nMax) n = nMax;
      std::memcpy(p, text, n);
      m_nUsedSize = n;
      _ZeroFrom(n);
      return 1;
    }
    bool bFailed = false;
    const std::uint64_t nMax = t == 17 ? (m_nCapacity < 1 ? 0 : 1) : nSat(m_nCapacity, 1);
    char* pc = reinterpret_cast<char*>(p);
    std::size_t n = kxvalues::nWideToText(nGetRuntimeCodePage(), text, t == 17 ? 1 : length, pc, nMax, &bFailed);
    if (bFailed) n = 0;
    m_nUsedSize = n;
    _ZeroFrom(n);
    return bFailed ? 0 : 1;
  }
  CAny clText;
  clText.__SetType(ANY_DSTRW, 0);
  clText.SetValue(text, static_cast<std::size_t>(length) * sizeof(wchar_t));
  return bSetValue(&clText);
}

// ============================================================================
// Assignment from the platform
// ============================================================================

int CNAConvertVariant::bSetValue(const CAny* value) {
  if (m_eVarType == NAVT_ANY_UNREAD) m_eVarType = NAVT_ANY;
  m_bRefreshed = 0;
  if (value == nullptr || value->bIsNull() || value->nGetTypeCode() == 0) {
    SetNull();
    return 1;
  }
  return _bSetValueAny(value);
}

int CNAConvertVariant::_bSetValueAny(const CAny* value) {
  // Without a value buffer or value (no mode, a pointer holder) there is
  // nothing to assign: true, as the typed setters answer.
  if (m_eVarType == NAVT_NONE || m_eVarType == NAVT_POINTER) return 1;
  const unsigned s = value->nGetTypeCode();
  unsigned t = m_clValue.nGetTypeCode();
  if (t == 0 && m_eVarType == NAVT_ANY) {
    InitTypeVariantAny(static_cast<unsigned short>(s), 0);
    t = s;
  }
  if (s == t) {
    switch (m_eVarType) {
      case NAVT_ANY:
      case NAVT_ANY_UNREAD:
        return CNAVariant::bSetValue(value);
      case NAVT_BOUND:
      case NAVT_OWNBUFFER:
        m_clValue.SetNull(false);
        return _bStoreSameType(value);
      default:
        return 1;
    }
  }
  void* p = nullptr;
  std::size_t n = 0;
  if (bIsText(t) && bIs8Bit(s) && value->nGetDataAdr(&p) <= 99 && value->nGetUtilDataSize(&n) <= 99)
    return bSetValue(static_cast<const char*>(p), static_cast<unsigned long>(n));
  if (bIsText(t) && bIsWide(s) && value->nGetDataAdr(&p) <= 99 && value->nGetUtilDataSize(&n) <= 99)
    return bSetValue(static_cast<const wchar_t*>(p), static_cast<unsigned long>(n / sizeof(wchar_t)));
  if (t == ANY_DATETIME && (s == ANY_TIMEW || s == ANY_TIMEA)) {
    CDateTime clDate;
    if (value->nGetDataAdr(&p) <= 99 && p != nullptr) {
      if (s == ANY_TIMEW)
        clDate.__SetPartieHeure(static_cast<const wchar_t*>(p));
      else
        clDate.__SetPartieHeure(static_cast<const char*>(p));
    }
    CAny clDateTime;
    clDateTime.SetDATETIME(clDate);
    return _bSetValueAny(&clDateTime);
  }
  unsigned short wTarget = static_cast<unsigned short>(t);
  if (t == ANY_DUREE && (bIsText(s) || s == ANY_DECIMAL || s == ANY_CY)) wTarget = ANY_I8;
  CAny clCopy(*value);
  if (clCopy.__nCastTo(wTarget, nullptr, 1) > 99) return _bReportCastFailure(value);
  if (clCopy.nGetTypeCode() != wTarget || clCopy.nGetTypeCode() == s) return _bReportCastFailure(value);
  return _bSetValueAny(&clCopy);
}

// User error 53 (source type, item type, value text); the value is kept.
int CNAConvertVariant::_bReportCastFailure(const CAny* value) {
  if (m_pclError == nullptr) return 0;
  CTString csText;
  nGetString(&csText, value, nullptr, 0);
  m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationConversion, m_pclCnx, knErrConversion,
                       static_cast<int>(value->nGetTypeCode()), static_cast<int>(eNAGetItemType()),
                       csText.pszGet() != nullptr ? csText.pszGet() : L"");
  CNAError::g_SetInfoNames(m_pclError->pclGetXError(), pszGetTableName(), pszGetItemName());
  return 0;
}

// A value of the holder's own type into the buffer, in the item's form.
int CNAConvertVariant::_bStoreSameType(const CAny* value) {
  const unsigned t = value->nGetTypeCode();
  unsigned char* p = m_pbyBuffer;
  if (p == nullptr) return 1;
  switch (t) {
    case ANY_DECIMAL: {
      IDecimal* pi = value->m_clIntern.tGet<IDecimal*>();
      if (pi == nullptr) return 1;
      int nP = 0;
      int nS = 0;
      bGetDecimalInfo(&nP, &nS);
      const int nBytes = IDecimal::mg_PToN(nP);
      if (nBytes == 0 || m_nCapacity < static_cast<std::uint64_t>(nBytes)) return _bReportCastFailure(value);
      unsigned char aby[16] = {};
      if (pi->nGetNative(aby, nP, nS) > 99) return _bReportCastFailure(value);
      std::memset(p, 0, m_nCapacity);
      std::memcpy(p, aby, static_cast<std::size_t>(nBytes));
      m_nUsedSize = static_cast<std::uint64_t>(nBytes);
      return 1;
    }
    case ANY_BOOL: {
      const int b = value->m_clIntern.tGet<std::int32_t>() == 1 ? 1 : 0;
      std::memset(p, 0, m_nCapacity);
      if (m_nCapacity > 0) p[0] = static_cast<unsigned char>(b);
      m_nUsedSize = m_nCapacity > 0 ? 1 : 0;
      return 1;
    }
    case ANY_DATETIME: {
      const CDateTimeBase clDate = value->m_clIntern.tGet<CDateTimeBase>();
      if (m_eAnalysisType == NA_IT_DATETIME) {
        const std::uint64_t n = m_nCapacity < sizeof clDate ? m_nCapacity : sizeof clDate;
        std::memset(p, 0, m_nCapacity);
        std::memcpy(p, &clDate, n);
        m_nUsedSize = n;
      } else if (m_eAnalysisType == NA_IT_DATE8 || m_eAnalysisType == NA_IT_HEURE) {
        // 8-bit digits, as the record stores these items, cut to capacity - 1.
        std::memset(p, 0, m_nCapacity);
        char ac[10] = {};
        if (m_eAnalysisType == NA_IT_DATE8)
          clDate.nVersDate(ac, 8);
        else
          clDate.nVersHeure(ac, 9);
        const std::uint64_t n = std::min<std::uint64_t>(std::strlen(ac), nSat(m_nCapacity, 1));
        std::memcpy(p, ac, n);
        m_nUsedSize = n;
      }
      return 1;
    }
    default:
      break;
  }
  void* pData = nullptr;
  std::size_t n = 0;
  if (value->nGetDataAdr(&pData) > 99 || value->nGetUtilDataSize(&n) > 99) return 1;
  if (t == ANY_BIN && m_eAnalysisType == NA_IT_BINAIRE)
    return _bSetBinaryPrefixed(static_cast<const unsigned char*>(pData), n);
  if (bIsWide(t) && _bUnicodeItem()) return _bSetTextW(static_cast<const wchar_t*>(pData), n / sizeof(wchar_t));
  return bSetValue(static_cast<const unsigned char*>(pData), static_cast<unsigned long>(n));
}

int CNAConvertVariant::bSetValue(const unsigned char* data, unsigned long length) {
  m_clValue.SetNull(false);
  switch (m_eVarType) {
    case NAVT_ANY:
    case NAVT_ANY_UNREAD:
      m_clValue.SetValue(data, length);
      return 1;
    case NAVT_POINTER:
      m_pbyBuffer = const_cast<unsigned char*>(data);
      m_nUsedSize = m_nCapacity = data != nullptr ? length : 0;
      return 1;
    case NAVT_BOUND:
    case NAVT_OWNBUFFER: {
      if (m_pbyBuffer == nullptr) return 1;
      const unsigned t = m_clValue.nGetTypeCode();
      const std::uint64_t r = bIs8Bit(t) ? 1 : bIsWide(t) ? 2 : 0;
      std::uint64_t n = nSat(m_nCapacity, r);
      if (data == nullptr) n = 0;
      if (length < n) n = length;
      if (n > 0) std::memmove(m_pbyBuffer, data, n);
      m_nUsedSize = n;
      _ZeroFrom(n);
      return 1;
    }
    default:
      return 1;
  }
}

int CNAConvertVariant::bSetValue(CTNBIN* binary) {
  if (binary == nullptr) return bSetValue(static_cast<const unsigned char*>(nullptr), 0);
  if ((m_eVarType == NAVT_ANY) && m_clValue.nGetTypeCode() == ANY_BIN) {
    m_clValue.SetBIN(binary->pGetData(), binary->nGetTailleUtile());
    return 1;
  }
  return bSetValue(binary->pGetData(), static_cast<unsigned long>(binary->nGetTailleUtile()));
}

template <typename T>
int CNAConvertVariant::_bSetTyped(unsigned short type, T value) {
  if (m_clValue.nGetTypeCode() != type) {
    CAny clValue;
    clValue.__SetType(type, 0);
    clValue.SetValue(&value, sizeof value);
    clValue.ClearFlags();
    return bSetValue(&clValue);
  }
  _OnSetValue(1);
  if (m_eVarType == NAVT_ANY) {
    m_clValue.SetValue(&value, sizeof value);
    m_clValue.ClearFlags();
  } else if (_bBufferMode() && m_pbyBuffer != nullptr) {
    const std::uint64_t n = m_nCapacity < sizeof value ? m_nCapacity : sizeof value;
    std::memset(m_pbyBuffer, 0, m_nCapacity);
    std::memcpy(m_pbyBuffer, &value, n);
    m_nUsedSize = n;
  }
  return 1;
}

int CNAConvertVariant::bSetValue(bool b) {
  if (m_clValue.nGetTypeCode() == ANY_BOOL && _bBufferMode()) return _bSetTyped<unsigned char>(ANY_BOOL, b ? 1 : 0);
  return _bSetTyped<std::int32_t>(ANY_BOOL, b ? 1 : 0);
}
int CNAConvertVariant::bSetValue(char n) { return _bSetTyped(ANY_I1, static_cast<signed char>(n)); }
int CNAConvertVariant::bSetValue(unsigned char n) { return _bSetTyped(ANY_UI1, n); }
int CNAConvertVariant::bSetValue(short n) { return _bSetTyped(ANY_I2, n); }
int CNAConvertVariant::bSetValue(unsigned short n) { return _bSetTyped(ANY_UI2, n); }
int CNAConvertVariant::bSetValue(int n) { return _bSetTyped(ANY_I4, n); }
int CNAConvertVariant::bSetValue(unsigned int n) { return _bSetTyped(ANY_UI4, n); }
int CNAConvertVariant::bSetValue(long n) { return _bSetTyped(ANY_I8, n); }
int CNAConvertVariant::bSetValue(unsigned long n) { return _bSetTyped(ANY_UI8, n); }
int CNAConvertVariant::bSetValue(float d) { return _bSetTyped(ANY_R4, d); }
int CNAConvertVariant::bSetValue(double d) { return _bSetTyped(ANY_R8, d); }
int CNAConvertVariant::bSetValue(const CMoney& m) { return _bSetTyped(ANY_CY, m); }

int CNAConvertVariant::bSetValue(const CDateTime* dt) {
  const CDateTimeBase clDate = dt != nullptr ? static_cast<const CDateTimeBase&>(*dt) : CDateTime();
  if (m_clValue.nGetTypeCode() == ANY_DATETIME) {
    CAny clValue;
    clValue.SetDATETIME(clDate);
    if (m_eVarType == NAVT_ANY || _bBufferMode()) return bSetValue(&clValue);
    _OnSetValue(1);
    return 1;
  }
  CAny clValue;
  clValue.SetDATETIME(clDate);
  return bSetValue(&clValue);
}

int CNAConvertVariant::bSetValue(const SYSTEMTIME* st) {
  if (eNAGetItemType() == NA_IT_TEXTE && st != nullptr) {
    CXTime clTime(st, -1);
    CTString cs;
    switch (m_nCapacity) {
      case 5: clTime.GetTNTimeHHMM(cs); break;
      case 7: clTime.GetTNTimeHHMMSS(cs); break;
      case 9: clTime.GetTNTimeHHMMSSCCm(cs); cs.Tronque(8); break;
      case 10: clTime.GetTNTimeHHMMSSCCm(cs); break;
      default: clTime.GetTNTimeAAAAMMJJ_HHMMSS(cs); break;
    }
    return bSetValue(cs.pszGet() != nullptr ? cs.pszGet() : L"", static_cast<unsigned long>(cs.nTaille()));
  }
  CDateTime clDate;
  if (st != nullptr) clDate.InitDate(st);
  return bSetValue(&clDate);
}

// ============================================================================
// Reading
// ============================================================================

int CNAConvertVariant::bGetValue(CAny* out) const {
  if (out == nullptr) return 0;
  switch (m_eVarType) {
    case NAVT_ANY:
    case NAVT_ANY_UNREAD:
      return CNAVariant::bGetValue(out);
    case NAVT_BOUND:
    case NAVT_OWNBUFFER:
      break;
    default:
      return 0;
  }
  const unsigned short t = m_clValue.nGetTypeCode();
  const unsigned char* p = m_pbyBuffer;
  const std::uint64_t nCap = p != nullptr ? m_nCapacity : 0;
  out->__SetType(t, 0);
  if (bIs8Bit(t)) {
    // Up to the first NUL, never past the buffer.
    out->SetValue(p, nBoundedLen(reinterpret_cast<const char*>(p), nCap));
  } else if (bIsWide(t) && _bUnicodeItem()) {
    // UTF-16 up to the first zero unit, at most capacity / 2 units.
    const std::size_t nUnits = nCap / 2;
    CScratch<std::uint16_t> clUnits(nUnits + 1);
    CScratch<wchar_t> clWide(nUnits + 1);
    if (clUnits.p() == nullptr || clWide.p() == nullptr) return 0;
    if (nUnits > 0) std::memcpy(clUnits.p(), p, nUnits * 2);
    const std::size_t n = kxvalues::nUTF16ToWide(clUnits.p(), nUnits, clWide.p(), nUnits);
    out->SetValue(clWide.p(), n * sizeof(wchar_t));
  } else if (bIsWide(t)) {
    out->SetValue(p, nBoundedWideLen(p, nCap / 4) * sizeof(wchar_t));
  } else if (t == ANY_DECIMAL) {
    const int nBytes = IDecimal::mg_PToN(m_nPrecision);
    IDecimal* pi = out->m_clIntern.tGet<IDecimal*>();
    if (nBytes == 0 || nCap < static_cast<std::uint64_t>(nBytes) || pi == nullptr) return 0;
    if (pi->nSetFromNative(p, m_nPrecision, m_nScale) > 99) return 0;
  } else if (t == ANY_BIN && m_eAnalysisType == NA_IT_BINAIRE) {
    std::uint64_t n = nCap >= 2 ? static_cast<std::uint64_t>(p[0] | p[1] << 8) : 0;
    if (n > nSat(nCap, 2)) n = nSat(nCap, 2);
    out->SetBIN(n > 0 ? p + 2 : nullptr, n);
  } else if (t == ANY_DATETIME && m_eAnalysisType != NA_IT_DATETIME) {
    CDateTime clDate;
    char ac[10] = {};
    std::memcpy(ac, p, nCap < 9 ? nCap : 9);
    ac[nBoundedLen(ac, nCap < 9 ? nCap : 9)] = 0;
    if (m_eAnalysisType == NA_IT_DATE8) {
      ac[8] = 0;
      clDate.FromString(ac);
      clDate.m_dwHeure = 0;
      out->SetDATETIME(clDate);
    } else if (m_eAnalysisType == NA_IT_HEURE) {
      clDate.__SetPartieHeure(ac);
      out->SetDATETIME(clDate);
    }
  } else {
    out->SetValue(p, nCap);
  }
  out->ClearFlags();
  if (m_clValue.bIsNull()) out->SetNull(true);
  return 1;
}

const void* CNAConvertVariant::pGetData() const {
  switch (m_eVarType) {
    case NAVT_ANY:
    case NAVT_ANY_UNREAD:
      return CNAVariant::pGetData();
    case NAVT_BOUND:
    case NAVT_POINTER:
    case NAVT_OWNBUFFER:
      return m_pbyBuffer;
    default:
      return nullptr;
  }
}

std::uint64_t CNAConvertVariant::nGetSize() const {
  return m_eVarType == NAVT_ANY ? CNAVariant::nGetSize() : m_nUsedSize;
}

std::uint64_t CNAConvertVariant::nGetUtilDataSize() const {
  if (m_eVarType == NAVT_ANY) return CNAVariant::nGetUtilDataSize();
  if (m_pbyBuffer == nullptr) return 0;
  const unsigned t = m_clValue.nGetTypeCode();
  switch (t) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 134:
      return nBoundedLen(reinterpret_cast<const char*>(m_pbyBuffer), m_nCapacity);
    case 16: case 20: case 81: case 110:
      if (_bUnicodeItem())
        return kxvalues::nUTF16Len(reinterpret_cast<const std::uint16_t*>(m_pbyBuffer), m_nCapacity / 2);
      return nBoundedWideLen(m_pbyBuffer, m_nCapacity / 4);
    default:
      return m_nUsedSize;
  }
}

// ============================================================================
// Database buffer
// ============================================================================

int CNAConvertVariant::bInitBufferDB() {
  if (m_nStateDB != 0) return 1;
  if (!_bInitTypeBind()) return 0;
  if (m_eVarType == NAVT_ANY_UNREAD) m_eVarType = NAVT_ANY;
  if (m_eVarType == NAVT_ANY) return _bInitBufferDB_Any();
  if (m_eVarType == NAVT_BOUND) return _bInitBufferDB_Ptr();
  return 0;
}

int CNAConvertVariant::nGetTypeBind() {
  if (m_nStateDB == 0 && !bInitBufferDB()) return 0;
  return m_nTypeBind;
}

int CNAConvertVariant::_bAllocBufferDB(unsigned long size) {
  if (m_pbyBufferDB != nullptr && m_nCapacityDB >= size) {
    std::memset(m_pbyBufferDB, 0, m_nCapacityDB);
    return 1;
  }
  delete[] m_pbyBufferDB;
  m_pbyBufferDB = nullptr;
  m_nCapacityDB = 0;
  m_nLengthDB = 0;
  if (size == 0) return 1;
  m_pbyBufferDB = new (std::nothrow) unsigned char[size]();
  if (m_pbyBufferDB == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  m_nCapacityDB = size;
  return 1;
}

int CNAConvertVariant::bGetBufferDB(unsigned char** data, unsigned long* size, unsigned long** lengthIndicator) {
  if (m_nStateDB == 0 && !bInitBufferDB()) return 0;
  unsigned char* p = nullptr;
  std::uint64_t n = 0;
  if (m_nStateDB == 2) {
    p = m_pbyBufferDB;
    n = m_nCapacityDB;
  } else if (m_eVarType == NAVT_ANY) {
    p = static_cast<unsigned char*>(const_cast<void*>(CNAVariant::pGetData()));
    n = CNAVariant::nGetSize();
  } else {
    p = m_pbyBuffer;
    n = m_nCapacity;
  }
  if (data != nullptr) *data = p;
  if (size != nullptr) *size = static_cast<unsigned long>(n);
  if (lengthIndicator != nullptr) *lengthIndicator = &m_nLengthDB;
  return 1;
}

// ============================================================================
// Copy, comparison
// ============================================================================

int CNAConvertVariant::bCopyVariant(const CNAConvertVariant* source) {
  if (source == this) return 1;
  if (source == nullptr) {
    SetNull();
    return 1;
  }
  _TakeConnection(source->m_pclCnx);
  const bool bSourceUnread = source->m_eVarType == NAVT_ANY_UNREAD;
  int bOk = 1;
  if (m_nStateDB != 0 && source->m_clValue.nGetTypeCode() == m_clValue.nGetTypeCode()) {
    if (bSourceUnread) {
      m_eVarType = NAVT_ANY_UNREAD;
      m_clValue.SetNull(true);
    } else if (m_eVarType == NAVT_ANY && source->m_eVarType == NAVT_ANY) {
      m_clValue = source->m_clValue;
    } else {
      CAny clValue;
      bOk = source->bGetValue(&clValue) ? bSetValue(&clValue) : 0;
    }
    SetItemDesc(source->m_piAnalysis, source->m_piDatabase);
    m_nLengthDB = source->m_nLengthDB;
  } else {
    const unsigned short wType = source->m_clValue.nGetTypeCode();
    if (source->_bBufferMode()) {
      // The source's image as it is (a binary item keeps its length in
      // front; a bound source's bytes are taken, not just its type).
      bOk = bInitTypeVariantBuffer(wType, static_cast<unsigned long>(source->m_nCapacity));
      if (bOk && m_pbyBuffer != nullptr && source->m_pbyBuffer != nullptr)
        std::memcpy(m_pbyBuffer, source->m_pbyBuffer, source->m_nCapacity);
      m_nUsedSize = source->m_nUsedSize;
      if (source->m_clValue.bIsNull()) m_clValue.SetNull(true);
    } else {
      InitTypeVariantAny(wType, static_cast<unsigned long>(source->m_nCapacity));
      m_clValue = source->m_clValue;
    }
    SetItemDesc(source->m_piAnalysis, source->m_piDatabase);
    // SetItemDesc retypes from the analysis item: the source's type stays.
    if (m_clValue.nGetTypeCode() != wType) {
      const bool bNull = m_clValue.bIsNull();
      if (m_eVarType == NAVT_ANY)
        m_clValue = source->m_clValue;
      else
        m_clValue.__SetType(wType, 0);
      if (bNull) m_clValue.SetNull(true);
    }
    if (!bSourceUnread) m_nLengthDB = source->m_nLengthDB;
  }
  if (bSourceUnread) {
    m_eVarType = NAVT_ANY_UNREAD;
    m_clValue.SetNull(true);
  }
  return bOk;
}

CNAConvertVariant* CNAConvertVariant::pclGetCloneVariant() const {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return nullptr;
  CNAConvertVariant* pclClone = pclDriver->pclAllocVariant(m_pclError, m_pclCnx);
  if (pclClone == nullptr) return nullptr;
  pclClone->bCopyVariant(this);
  return pclClone;
}

int CNAConvertVariant::nCmp(const CNAConvertVariant* other) const {
  if (other == this) return 0;
  if (other == nullptr) return 1;
  const unsigned a = m_clValue.nGetTypeCode();
  const unsigned b = other->m_clValue.nGetTypeCode();
  const std::uint64_t nA = nGetSize();
  const std::uint64_t nB = other->nGetSize();
  const auto* pA = static_cast<const unsigned char*>(pGetData());
  const auto* pB = static_cast<const unsigned char*>(other->pGetData());
  if (a == b && nA == nB) {
    if (nA == 0 || pA == nullptr || pB == nullptr) return 0;
    return std::memcmp(pA, pB, nA);
  }
  const bool bUnicode = _bUnicodeItem() || other->_bUnicodeItem();
  if (bIs8Bit(a) && bIs8Bit(b) && pA != nullptr && pB != nullptr) {
    // Bounded texts: element by element, then by length.
    const std::uint64_t nCapA = m_eVarType == NAVT_ANY ? nA : m_nCapacity;
    const std::uint64_t nCapB = other->m_eVarType == NAVT_ANY ? nB : other->m_nCapacity;
    const std::size_t lA = nBoundedLen(reinterpret_cast<const char*>(pA), nCapA);
    const std::size_t lB = nBoundedLen(reinterpret_cast<const char*>(pB), nCapB);
    const int n = std::memcmp(pA, pB, lA < lB ? lA : lB);
    if (n != 0) return n;
    return lA < lB ? -1 : lA > lB ? 1 : 0;
  }
  if (bIsWide(a) && bIsWide(b) && !bUnicode && pA != nullptr && pB != nullptr) {
    const std::uint64_t nCapA = m_eVarType == NAVT_ANY ? nA : m_nCapacity;
    const std::uint64_t nCapB = other->m_eVarType == NAVT_ANY ? nB : other->m_nCapacity;
    const std::size_t lA = nBoundedWideLen(pA, nCapA / 4);
    const std::size_t lB = nBoundedWideLen(pB, nCapB / 4);
    for (std::size_t i = 0; i < lA && i < lB; ++i) {
      wchar_t wA, wB;
      std::memcpy(&wA, pA + 4 * i, 4);
      std::memcpy(&wB, pB + 4 * i, 4);
      if (wA != wB) return wA < wB ? -1 : 1;
    }
    return lA < lB ? -1 : lA > lB ? 1 : 0;
  }
  CAny clA;
  CAny clB;
  bGetValue(&clA);
  other->bGetValue(&clB);
  int nAnswer = 0;
  nCompare(&clA, &clB, &nAnswer, 0);
  return nAnswer;
}

int CNAConvertVariant::bEqualsNAVariant(const CNAConvertVariant* other) const {
  if (other == nullptr) return 0;
  if (m_eVarType == NAVT_NONE && other->m_eVarType == NAVT_NONE) return 1;
  if (m_clValue.bIsNull() && other->m_clValue.bIsNull()) return 1;
  if (other == this) return 1;
  if (m_eVarType == NAVT_ANY && other->m_eVarType == NAVT_ANY) return CNAVariant::bEqualsNAVariant(&other->m_clValue);
  if (m_eVarType == NAVT_ANY_UNREAD && other->m_eVarType == NAVT_ANY_UNREAD) return 0;
  return nCmp(other) == 0 ? 1 : 0;
}

int CNAConvertVariant::bGetDecimalInfo(int* precision, int* scale) const {
  if (m_eAnalysisType == NA_IT_DECIMAL) {
    if (precision != nullptr) *precision = m_nPrecision;
    if (scale != nullptr) *scale = m_nScale;
    return 1;
  }
  return CNAVariant::bGetDecimalInfo(precision, scale);
}

// ============================================================================
// Type change, record flag, padding, files
// ============================================================================

int CNAConvertVariant::vbChangeTNType(unsigned short type, int noPadding) {
  CAny clValue;
  if (!bGetValue(&clValue)) return 0;
  const bool bTextTarget = (type >= 16 && type <= 23) || type == 81 || type == 110 || type == 134;
  if (!clValue.bIsNull() && bTextTarget && m_eAnalysisType == NA_IT_HEURE) {
    const long n = static_cast<long>(m_nItemSize) - 1;
    if (clValue.__nCastTo(ANY_PSTRW, nullptr, 1) > 99) return 0;
    const wchar_t* psz = nullptr;
    if (clValue.nGetPCWSTR(&psz) > 99 || psz == nullptr) psz = L"";
    std::wstring s(psz);
    if (n < 1) {
      s.clear();
    } else if (static_cast<long>(s.size()) > n) {
      s.resize(static_cast<std::size_t>(n));
    } else if (!noPadding) {
      s.append(static_cast<std::size_t>(n) - s.size(), L'0');
    }
    clValue.__SetType(ANY_PSTRW, 0);
    clValue.SetValue(s.c_str(), s.size() * sizeof(wchar_t));
    clValue.ClearFlags();
  }
  InitTypeVariantAny(type, 0);
  return bSetValue(&clValue);
}

int CNAConvertVariant::bConvertDataToXQ(CNAXQRecord* record) {
  if (m_eVarType == NAVT_ANY_UNREAD) m_eVarType = NAVT_ANY;
  m_bRefreshed = 0;
  int bOk = 1;
  if (m_nStateDB == 2) {
    bOk = _bConvertDataToXQ();
  } else if (m_nStateDB == 1 && m_eVarType == NAVT_BOUND && m_eDatabaseType == NA_IT_TEXTE &&
             m_eAnalysisType == NA_IT_TEXTE && m_pbyBuffer != nullptr) {
    const std::size_t n = nBoundedLen(reinterpret_cast<const char*>(m_pbyBuffer), m_nCapacity);
    _ZeroFrom(n);
  }
  if (record != nullptr && m_piAnalysis != nullptr)
    record->SetItemValueDefined(m_piAnalysis, m_clValue.bIsNull() ? 0 : 1, 0);
  return bOk;
}

void CNAConvertVariant::CompleteSpaces(long length) {
  if (m_clValue.bIsNull()) return;
  const unsigned t = m_clValue.nGetTypeCode();
  if (t != 18 && t != 19 && t != 16 && t != 110) return;
  const bool bWide = t == 16 || t == 110;
  if (m_eVarType == NAVT_ANY || m_eVarType == NAVT_ANY_UNREAD) {
    if (length < 0) return;
    if (bWide) {
      const wchar_t* psz = nullptr;
      if (m_clValue.nGetPCWSTR(&psz) > 99 || psz == nullptr) return;
      std::wstring s(psz);
      if (static_cast<long>(s.size()) < length) s.append(static_cast<std::size_t>(length) - s.size(), L' ');
      m_clValue.SetValue(s.c_str(), s.size() * sizeof(wchar_t));
    } else {
      const char* psz = nullptr;
      if (m_clValue.nGetPCASTR(&psz) > 99 || psz == nullptr) return;
      std::string s(psz);
      if (static_cast<long>(s.size()) < length) s.append(static_cast<std::size_t>(length) - s.size(), ' ');
      m_clValue.SetValue(s.c_str(), s.size());
    }
    m_clValue.ClearFlags();
    return;
  }
  unsigned char* p = _pbyWritable();
  if (p == nullptr || m_nCapacity == 0) return;
  if (!bWide) {
    const std::uint64_t nMax = nSat(m_nCapacity, 1);
    std::uint64_t nTo = length < 0 ? nSat(m_nUsedSize, 1) : static_cast<std::uint64_t>(length);
    if (nTo > nMax) nTo = nMax;
    const std::uint64_t nFrom = nBoundedLen(reinterpret_cast<const char*>(p), nMax);
    for (std::uint64_t i = nFrom; i < nTo; ++i) p[i] = ' ';
    p[nTo > nFrom ? nTo : nFrom] = 0;
    return;
  }
  if (_bUnicodeItem()) {
    const std::uint64_t nMax = nSat(m_nCapacity / 2, 1);
    std::uint64_t nTo = length < 0 ? m_nUsedSize / 2 : static_cast<std::uint64_t>(length);
    if (nTo > nMax) nTo = nMax;
    const std::uint64_t nFrom = kxvalues::nUTF16Len(reinterpret_cast<const std::uint16_t*>(p), nMax);
    for (std::uint64_t i = nFrom; i < nTo; ++i) {
      p[2 * i] = ' ';
      p[2 * i + 1] = 0;
    }
    const std::uint64_t nEnd = nTo > nFrom ? nTo : nFrom;
    p[2 * nEnd] = p[2 * nEnd + 1] = 0;
    return;
  }
  const std::uint64_t nMax = nSat(m_nCapacity / 4, 1);
  std::uint64_t nTo = length < 0 ? m_nUsedSize / 4 : static_cast<std::uint64_t>(length);
  if (nTo > nMax) nTo = nMax;
  const std::uint64_t nFrom = nBoundedWideLen(p, nMax);
  const wchar_t wSpace = L' ';
  const wchar_t wZero = 0;
  for (std::uint64_t i = nFrom; i < nTo; ++i) std::memcpy(p + 4 * i, &wSpace, 4);
  if (m_nCapacity >= 4) std::memcpy(p + 4 * (nTo > nFrom ? nTo : nFrom), &wZero, 4);
}

int CNAConvertVariant::bLoadFile(const wchar_t* path, CNAError* error, int binary) {
  if (!CNAVariant::bLoadFile(path, error, binary)) return 0;
  if (m_eVarType == NAVT_ANY_UNREAD) m_eVarType = NAVT_ANY;
  return 1;
}

int CNAConvertVariant::s_bTextToBool(const char* text) {
  if (text == nullptr) return 0;
  const char c = text[0];
  return c == 0 || c == '0' || c == 'F' || c == 'f' ? 0 : 1;
}

int CNAConvertVariant::s_bTextToBool(const wchar_t* text) {
  if (text == nullptr) return 0;
  const wchar_t c = text[0];
  return c == 0 || c == L'0' || c == L'F' || c == L'f' ? 0 : 1;
}
