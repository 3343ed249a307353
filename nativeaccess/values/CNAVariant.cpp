#include "CNAVariant.h"

#include <cstring>
#include <new>

#include "AnyOperators.h"
#include "CMoney.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CTNBIN.h"
#include "CTString.h"
#include "CXError.h"
#include "CXFile.h"
#include "IDecimal.h"
#include "MyModuleInfo.h"

namespace {

// User errors of the file operations and their location line.
constexpr unsigned knErrMemory = 12;
constexpr unsigned knErrFileOpen = 15;
constexpr int knLocationArea = 7;
constexpr unsigned knReadBlock = 16384;

bool bIs8BitText(unsigned c, bool bEx) {
  switch (c) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 134: return true;
    case 128: case 129: return bEx;
    default: return false;
  }
}

bool bIsWideText(unsigned c, bool bEx) {
  switch (c) {
    case 16: case 20: case 81: case 110: return true;
    case 24: case 25: return bEx;
    default: return false;
  }
}

bool bEmptyStringOf(const CNAVariant* p, bool bEx) {
  const CAny* pv = p->pclGetValue();
  if (pv->bIsNull() || p->vbIsEmpty()) return true;
  const unsigned c = pv->nGetTypeCode();
  const void* pData = p->vpGetData();
  if (bIs8BitText(c, bEx)) return pData == nullptr || *static_cast<const char*>(pData) == 0;
  if (bIsWideText(c, bEx)) {
    if (pData == nullptr) return true;
    wchar_t w;
    std::memcpy(&w, pData, sizeof w);
    return w == 0;
  }
  return false;
}

// User error 15: the path, the system's text as the error's system message.
void ReportOpenFailure(CNAError* pclError, const wchar_t* pszPath, CXFile* pclFile) {
  if (pclError == nullptr) return;
  _CXErrorModule76 clErr;
  clErr.SetUserError(&gstMyModuleInfo76, knErrFileOpen, pszPath != nullptr ? pszPath : L"");
  const CXError* pclSystem = pclFile->pclGetXError();
  if (pclSystem != nullptr)
    clErr.SetSystemErrorMessage(pclSystem->dwGetSystemErrorCode(), pclSystem->pszGetSystemErrorMessage());
  CNAError::g_AddDebugInfo(&clErr, knLocationArea, 0);
  pclError->AddError(NA_ERRORTYPE_GENERIC, &clErr, nullptr);
}

}  // namespace

CNAVariant::~CNAVariant() = default;

int CNAVariant::vbChangeTNType(unsigned short type, int) {
  return m_clValue.__nCastTo(type, nullptr, 1) <= 99 ? 1 : 0;
}

int CNAVariant::vbGetValue(CAny* out) const { return bGetValue(out); }
int CNAVariant::vbIsEmpty() const { return m_clValue.nGetTypeCode() == 0 ? 1 : 0; }
const void* CNAVariant::vpGetData() const { return pGetData(); }
std::uint64_t CNAVariant::vnGetSize() const { return nGetSize(); }
CNAConnectionDescription* CNAVariant::pclGetCnx() { return nullptr; }

int CNAVariant::bGetValue(const CAny** out) const {
  if (out != nullptr) *out = &m_clValue;
  return 1;
}

int CNAVariant::bGetValue(CAny** out) {
  if (out != nullptr) *out = &m_clValue;
  return 1;
}

int CNAVariant::bGetValue(CAny* out) const {
  if (out != nullptr && out != &m_clValue) *out = m_clValue;
  return 1;
}

int CNAVariant::bSetValue(const CAny* value) {
  if (value != nullptr && value != &m_clValue) m_clValue = *value;
  return 1;
}

int CNAVariant::bSetValue(const unsigned char* data, unsigned long length) {
  m_clValue.SetValueByte(data, length);
  return 1;
}

int CNAVariant::bSetValue(bool b) { m_clValue.SetBOOL(b ? 1 : 0); return 1; }
int CNAVariant::bSetValue(unsigned char n) { m_clValue.SetUI1(n); return 1; }
int CNAVariant::bSetValue(unsigned short n) { m_clValue.SetUI2(n); return 1; }
int CNAVariant::bSetValue(unsigned int n) { m_clValue.SetUI4(n); return 1; }
int CNAVariant::bSetValue(unsigned long n) { m_clValue.SetUI8(n); return 1; }
int CNAVariant::bSetValue(char n) { m_clValue.SetI1(static_cast<signed char>(n)); return 1; }
int CNAVariant::bSetValue(short n) { m_clValue.SetI2(n); return 1; }
int CNAVariant::bSetValue(int n) { m_clValue.SetI4(n); return 1; }
int CNAVariant::bSetValue(long n) { m_clValue.SetI8(n); return 1; }
int CNAVariant::bSetValue(const CMoney& m) { m_clValue.SetCY(m); return 1; }
int CNAVariant::bSetValue(float d) { m_clValue.SetR4(d); return 1; }
int CNAVariant::bSetValue(double d) { m_clValue.SetR8(d); return 1; }

const void* CNAVariant::pGetData() const {
  if (m_clValue.nGetTypeCode() == 0) return nullptr;
  void* p = nullptr;
  if (m_clValue.nGetDataAdr(&p) > 99) return nullptr;
  return p;
}

std::uint64_t CNAVariant::nGetSize() const {
  std::size_t n = 0;
  if (m_clValue.nGetDataSize(&n) > 99) return 0;
  return n;
}

std::uint64_t CNAVariant::nGetUtilDataSize() const {
  std::size_t n = 0;
  if (m_clValue.nGetUtilDataSize(&n) > 99) return 0;
  return n;
}

int CNAVariant::bCopyVariant(const CNAVariant* source) {
  if (source == this) return 1;
  if (source == nullptr) {
    const unsigned short wType = m_clValue.nGetTypeCode();
    m_clValue.__SetType(0, 0);
    m_clValue.__SetType(wType, 0);
    m_clValue.SetNull(true);
    return 1;
  }
  m_clValue = source->m_clValue;
  return 1;
}

CNAConvertVariant* CNAVariant::pclGetCloneVariant() const {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return nullptr;
  CNAConvertVariant* pclClone = pclDriver->pclAllocVariant(nullptr, nullptr);
  if (pclClone == nullptr) return nullptr;
  pclClone->CNAVariant::bCopyVariant(this);
  return pclClone;
}

int CNAVariant::nCmp(const CAny* other) const {
  if (other == nullptr) return 1;
  if (other->nGetTypeCode() == m_clValue.nGetTypeCode()) {
    const void* pMine = vpGetData();
    const std::uint64_t nMine = vnGetSize();
    void* pOther = nullptr;
    std::size_t nOther = 0;
    const bool bOtherData = other->nGetDataAdr(&pOther) <= 99 && other->nGetDataSize(&nOther) <= 99;
    if (bOtherData && nMine == nOther) {
      if (nMine == 0 || pMine == nullptr || pOther == nullptr) return 0;
      return std::memcmp(pMine, pOther, nMine);
    }
  }
  int nAnswer = 0;
  nCompare(&m_clValue, other, &nAnswer, 0);
  return nAnswer;
}

int CNAVariant::nCmp(const CNAVariant* other) const {
  if (other == this) return 0;
  if (other == nullptr) return 1;
  return nCmp(&other->m_clValue);
}

int CNAVariant::bEqualsNAVariant(const CAny* other) const {
  const bool bMineNone = m_clValue.bIsNull() || m_clValue.nGetTypeCode() == 0;
  const bool bOtherNone = other == nullptr || other->bIsNull() || other->nGetTypeCode() == 0;
  if (bMineNone && bOtherNone) return 1;
  int nAnswer = 0;
  if (nEgalite(&m_clValue, other, &nAnswer, 0) > 99) return 0;
  return nAnswer != 0 ? 1 : 0;
}

int CNAVariant::g_bEqualsNAVariant(const CNAConvertVariant* a, const CNAConvertVariant* b) {
  const bool bNoneA = a == nullptr || a->pclGetValue()->bIsNull();
  const bool bNoneB = b == nullptr || b->pclGetValue()->bIsNull();
  if (bNoneA || bNoneB) return bNoneA && bNoneB ? 1 : 0;
  return a->bEqualsNAVariant(b);
}

std::uint64_t CNAVariant::nChecksum32() const {
  const auto* pby = static_cast<const unsigned char*>(vpGetData());
  const std::uint64_t n = vnGetSize();
  if (pby == nullptr) return 0;
  std::uint64_t nSum = 0;
  std::uint64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const std::uint32_t w = static_cast<std::uint32_t>(pby[i]) | static_cast<std::uint32_t>(pby[i + 1]) << 8 |
                            static_cast<std::uint32_t>(pby[i + 2]) << 16 | static_cast<std::uint32_t>(pby[i + 3]) << 24;
    nSum += w;
  }
  for (; i < n; ++i) nSum += pby[i];
  return nSum;
}

int CNAVariant::bIsEmptyString() const { return bEmptyStringOf(this, false) ? 1 : 0; }
int CNAVariant::bIsEmptyStringEx() const { return bEmptyStringOf(this, true) ? 1 : 0; }

int CNAVariant::bIsNumeric0() const {
  if (m_clValue.bIsNull() || vbIsEmpty()) return 1;
  const unsigned c = m_clValue.nGetTypeCode();
  if (c < 1 || c > 14) return 0;
  CAny clValue;
  if (!vbGetValue(&clValue)) return 1;
  if (clValue.__nCastTo(12, nullptr, 1) > 99) return 0;
  double d = 1;
  if (clValue.nGetREAL(&d) > 99) return 0;
  return d == 0.0 ? 1 : 0;
}

int CNAVariant::bCouldBeNullOnXQ() const { return bIsEmptyStringEx() || bIsNumeric0() ? 1 : 0; }

int CNAVariant::bGetDecimalInfo(int* precision, int* scale) const {
  int nP = 0;
  int nS = 0;
  if (precision != nullptr) *precision = 0;
  if (scale != nullptr) *scale = 0;
  const CAny* pv = &m_clValue;
  CAny clCopy;
  if (!(m_clValue.nGetTypeCode() == ANY_DECIMAL && !m_clValue.bIsNull())) {
    clCopy = m_clValue;
    if (clCopy.__nCastTo(ANY_DECIMAL, nullptr, 1) > 99) return 0;
    pv = &clCopy;
  }
  IDecimal* pi = pv->m_clIntern.tGet<IDecimal*>();
  if (pi == nullptr || pi->nGetPrecisionScale(&nP, &nS) > 99) return 0;
  if (precision != nullptr) *precision = nP;
  if (scale != nullptr) *scale = nS;
  return 1;
}

int CNAVariant::bChangeItemType(eNA_ITEMTYPE type, int noPadding) {
  return vbChangeTNType(ConverteItemToTNType(type, -1), noPadding);
}

eNA_ITEMTYPE CNAVariant::eNAGetItemTypeValue() const { return ConvertTNTypeToeItem(m_clValue.nGetTypeCode()); }

void CNAVariant::GetString(CXYString<wchar_t>* out, const wchar_t* format, int option) const {
  if (out == nullptr) return;
  CAny clValue;
  vbGetValue(&clValue);
  nGetString(out, clValue, format, option);
}

void CNAVariant::GetString(CTString* out, const wchar_t* format, int option) const {
  if (out == nullptr) return;
  CAny clValue;
  vbGetValue(&clValue);
  nGetString(out, clValue, format, option);
}

int CNAVariant::bLoadFile(const wchar_t* path, CNAError* error, int binary) {
  return gbLoadFile(&m_clValue, path, error, binary);
}

int CNAVariant::bStoreFile(const wchar_t* path, CNAError* error) { return gbStoreFile(&m_clValue, path, error); }

int CNAVariant::gbLoadFile(CAny* value, const wchar_t* path, CNAError* error, int binary) {
  if (value == nullptr) return 0;
  CXFile clFile;
  if (path == nullptr || !clFile.bOpen(path, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    ReportOpenFailure(error, path, &clFile);
    return 0;
  }
  const std::int64_t nSize = clFile.oGetSize();
  CTNBIN clBin;
  if (nSize < 0 || nSize > 0x7FFFFFFF || clBin.nSetMemorySize(static_cast<long>(nSize)) > 99) {
    if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, 0, nullptr, knErrMemory);
    return 0;
  }
  unsigned char* pbyBlock = new (std::nothrow) unsigned char[knReadBlock];
  if (pbyBlock == nullptr) {
    if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, 0, nullptr, knErrMemory);
    return 0;
  }
  bool bOk = true;
  while (static_cast<std::int64_t>(clBin.nGetTailleUtile()) < nSize) {
    unsigned nRead = 0;
    if (!clFile.bRead(pbyBlock, knReadBlock, &nRead)) {
      bOk = false;
      break;
    }
    if (nRead == 0) break;
    if (clBin.nConcat(pbyBlock, static_cast<long>(nRead)) > 99) {
      if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, 0, nullptr, knErrMemory);
      bOk = false;
      break;
    }
  }
  delete[] pbyBlock;
  if (!bOk) return 0;
  if (binary == 0) {
    value->__SetType(ANY_DSTRA, 0);
    value->SetValue(clBin.pGetData(), clBin.nGetTailleUtile());
    value->ClearFlags();
  } else {
    value->SetBIN(clBin.pGetData(), clBin.nGetTailleUtile());
  }
  return 1;
}

int CNAVariant::gbStoreFile(CAny* value, const wchar_t* path, CNAError* error) {
  CXFile clFile;
  if (path == nullptr || !clFile.bOpen(path, XACCESS_WRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, nullptr)) {
    ReportOpenFailure(error, path, &clFile);
    return 0;
  }
  // A NULL or empty value leaves an empty file: memo extraction relies on it.
  if (value == nullptr || value->bIsNull() || value->nGetTypeCode() == 0) return 1;
  void* p = nullptr;
  std::size_t n = 0;
  if (value->nGetDataAdr(&p) > 99 || value->nGetDataSize(&n) > 99) return 1;
  if (n == 0 || p == nullptr) return 1;
  if (n > 0xFFFFFFFFu) return 0;
  unsigned nWritten = 0;
  return clFile.bWrite(p, static_cast<unsigned>(n), &nWritten) && nWritten == n ? 1 : 0;
}
