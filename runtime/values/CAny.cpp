// CAny: construction, copies, the type table (__SetType), the typed setters
// and readers, the handler's operations forwarded, and the moves of values
// made by the runtime's operators. The families' own behaviour is in the
// CAny_TN*.cpp files, the conversions in AnyConversions.cpp, the operators
// in AnyOperators.cpp.
#include "CAny.h"

#include "AnyHandlers.h"
#include "AnyRuntime.h"
#include "IDecimal.h"
#include "IRuntimeObject.h"
#include "SharedStringBlock.h"

// ---- The empty value's behaviour ----------------------------------------

namespace AnyBase {

void Release(CAny_Intern* h) { h->SetTable(&CAny_Intern::ms_stTable); }

void CopyFlags(const CAny_Intern* pSource, CAny* pTarget) {
  CAny_Intern& t = pTarget->m_clIntern;
  t.m_wType = static_cast<unsigned short>((t.m_wType & ANY_FLAGS_CLEAR) |
                                          (pSource->m_wType & (ANY_FLAG_NULL | ANY_FLAG_RUNTIME)));
}

void Duplique(CAny_Intern* h, CAny* pTarget) {
  if (pTarget != nullptr) CopyFlags(h, pTarget);
}

int nGetSize(CAny_Intern*, std::size_t* pn) {
  if (pn != nullptr) *pn = 0;
  return ANY_ERR_NO_FORM;
}
int nGetAdr(CAny_Intern*, void** pp) {
  if (pp != nullptr) *pp = nullptr;
  return ANY_ERR_NO_FORM;
}
int nFillBuffer(CAny_Intern*, void*) { return ANY_ERR_NO_FORM; }
int nGetDataSize(CAny_Intern*, std::size_t* pn) {
  if (pn != nullptr) *pn = 0;
  return ANY_ERR_NO_FORM;
}
int nGetDataAdr(CAny_Intern*, void** pp) {
  if (pp != nullptr) *pp = nullptr;
  return ANY_ERR_NO_FORM;
}
int nFillDataBuffer(CAny_Intern*, void*) { return ANY_ERR_NO_FORM; }
void SetValue(CAny_Intern*, const void*) {}
// The base forms below go through the value's own table, so that a family
// that overrides the slot they lead to is reached.
void SetValueLen(CAny_Intern* h, const void* p, std::size_t) { h->pstTable()->pfnSetValue(h, p); }
int nGetPCASTR(CAny_Intern*, const char** pp) {
  if (pp != nullptr) *pp = nullptr;
  return ANY_ERR_IMPOSSIBLE;
}
int nGetPCWSTR(CAny_Intern*, const wchar_t** pp) {
  if (pp != nullptr) *pp = nullptr;
  return ANY_ERR_IMPOSSIBLE;
}
int nGetSTRLEN(CAny_Intern*, std::size_t* pn) {
  if (pn != nullptr) *pn = 0;
  return ANY_ERR_IMPOSSIBLE;
}
bool bIsPositive(CAny_Intern*) { return true; }
int nGetUtilDataSize(CAny_Intern* h, std::size_t* pn) { return h->pstTable()->pfnGetDataSize(h, pn); }
int nFillUtilDataBuffer(CAny_Intern* h, void* p) { return h->pstTable()->pfnFillDataBuffer(h, p); }
int nIncremente(CAny_Intern*) { return ANY_ERR_IMPOSSIBLE; }
int nDecremente(CAny_Intern*) { return ANY_ERR_IMPOSSIBLE; }
void SetFromANSI(CAny_Intern* h, const void* p) { h->pstTable()->pfnSetValue(h, p); }
void SetFromANSILen(CAny_Intern* h, const void* p, std::size_t n) { h->pstTable()->pfnSetValueLen(h, p, n); }
void SetFromUNICODE(CAny_Intern* h, const void* p) { h->pstTable()->pfnSetValue(h, p); }
void SetFromUNICODELen(CAny_Intern* h, const void* p, std::size_t n) {
  h->pstTable()->pfnSetValueLen(h, p, n);
}
void SetFromANSI_CP(CAny_Intern* h, int, const void* p) { h->pstTable()->pfnSetFromANSI(h, p); }
void SetFromANSI_CPLen(CAny_Intern* h, int, const void* p, std::size_t n) {
  h->pstTable()->pfnSetFromANSILen(h, p, n);
}
void SetFromUNICODE_CP(CAny_Intern* h, int, const void* p) { h->pstTable()->pfnSetFromUNICODE(h, p); }
void SetFromUNICODE_CPLen(CAny_Intern* h, int, const void* p, std::size_t n) {
  h->pstTable()->pfnSetFromUNICODELen(h, p, n);
}
void SetValueOption(CAny_Intern* h, const void* p, std::size_t n, unsigned int) {
  h->pstTable()->pfnSetValueLen(h, p, n);
}

int nGetPointerSize(CAny_Intern*, std::size_t* pn) {
  if (pn != nullptr) *pn = sizeof(void*);
  return ANY_OK;
}
int nGetValueAdr(CAny_Intern* h, void** pp) {
  if (pp != nullptr) *pp = h->m_abyValue;
  return ANY_OK;
}

}  // namespace AnyBase

const STAnyTable CAny_Intern::ms_stTable = {KX_ANY_BASE_SLOTS};

const STAnyFamily* pstAnyFamily(unsigned char nCode) {
  switch (nCode) {
    case ANY_BOOL: return &CAny_TNBOOL::ms_stFamily;
    case ANY_UI1: return &CAny_TNUI1::ms_stFamily;
    case ANY_UI2: return &CAny_TNUI2::ms_stFamily;
    case ANY_UI4: return &CAny_TNUI4::ms_stFamily;
    case ANY_UI8: return &CAny_TNUI8::ms_stFamily;
    case ANY_I1: return &CAny_TNI1::ms_stFamily;
    case ANY_I2: return &CAny_TNI2::ms_stFamily;
    case ANY_I4: return &CAny_TNI4::ms_stFamily;
    case ANY_I8:
    case ANY_I8_ALIAS: return &CAny_TNI8::ms_stFamily;
    case ANY_CY: return &CAny_TNCY::ms_stFamily;
    case ANY_R4: return &CAny_TNR4::ms_stFamily;
    case ANY_R8: return &CAny_TNR8::ms_stFamily;
    case ANY_DECIMAL: return &CAny_TNDECIMAL::ms_stFamily;
    case ANY_UIX: return &CAny_TNUIX::ms_stFamily;
    case ANY_DSTRW: return &CAny_TNDSTRW::ms_stFamily;
    case ANY_CARA: return &CAny_TNCARA::ms_stFamily;
    case ANY_PSTRA: return &CAny_TNPSTRA::ms_stFamily;
    case ANY_DSTRA: return &CAny_TNDSTRA::ms_stFamily;
    case ANY_DATEW: return &CAny_TNDATEW::ms_stFamily;
    case ANY_TIMEW: return &CAny_TNTIMEW::ms_stFamily;
    case ANY_DATETIME: return &CAny_TNDATETIME::ms_stFamily;
    case ANY_DUREE: return &CAny_TNDUREE::ms_stFamily;
    case ANY_BIN: return &CAny_TNBIN::ms_stFamily;
    case ANY_BUFFER: return &CAny_TNBUFFER::ms_stFamily;
    case ANY_MEMOIMG: return &CAny_TNMEMOIMG::ms_stFamily;
    case ANY_CONVOYEUR: return &CAny_TNCONVOYEUR::ms_stFamily;
    case ANY_POLICE: return &CAny_TNPOLICE::ms_stFamily;
    case ANY_CARW: return &CAny_TNCARW::ms_stFamily;
    case ANY_TABANY: return &CAny_TNTABANY::ms_stFamily;
    case ANY_OBJET_BASE:
    case ANY_OBJET_141:
    case ANY_OBJET_142:
    case ANY_OBJET_143: return &CAny_TNOBJET_BASE::ms_stFamily;
    case ANY_PSTRW: return &CAny_TNPSTRW::ms_stFamily;
    case ANY_DINO: return &CAny_TNDINO::ms_stFamily;
    case ANY_DATEA: return &CAny_TNDATEA::ms_stFamily;
    case ANY_TIMEA: return &CAny_TNTIMEA::ms_stFamily;
    default: return nullptr;
  }
}

// ---- Life and copies ------------------------------------------------------

CAny::CAny() : m_dwLeading(0) {
  m_clIntern.SetTable(&CAny_Intern::ms_stTable);
  m_clIntern.m_wType = 0;
  m_clIntern.m_wPad = 0;
  std::memset(m_clIntern.m_abyValue, 0, sizeof m_clIntern.m_abyValue);
}

CAny::~CAny() { pstTable()->pfnRelease(&m_clIntern); }

CAny::CAny(const CAny& other) : CAny() { _CopyFrom(other); }

CAny& CAny::operator=(const CAny& other) {
  _CopyFrom(other);
  return *this;
}

void CAny::_Reset() {
  pstTable()->pfnRelease(&m_clIntern);
  m_clIntern.SetTable(&CAny_Intern::ms_stTable);
  m_clIntern.m_wType = 0;
}

void CAny::_CopyFrom(const CAny& other) {
  if (this == &other) return;
  _Reset();
  __SetType(other.nGetTypeCode(), 0);
  other.Duplique(this);
}

void CAny::SetNull(bool bNull) {
  if (bNull)
    m_clIntern.m_wType |= ANY_FLAG_NULL;
  else
    m_clIntern.m_wType &= static_cast<unsigned short>(~ANY_FLAG_NULL);
}

void CAny::__SetType(unsigned short wCode, int bNoInit) {
  if (m_clIntern.m_wType == wCode) return;
  pstTable()->pfnRelease(&m_clIntern);
  const unsigned char nCode = static_cast<unsigned char>(wCode & 0xFF);
  const STAnyFamily* pstFamily = pstAnyFamily(nCode);
  if (pstFamily == nullptr) {
    m_clIntern.SetTable(&CAny_Intern::ms_stTable);
    m_clIntern.m_wType = 0;
    return;
  }
  m_clIntern.SetTable(pstFamily->pstTable);
  m_clIntern.m_wType = nCode == ANY_I8_ALIAS ? static_cast<unsigned short>(ANY_I8) : nCode;
  if (bNoInit == 0) pstFamily->pfnInit(&m_clIntern, m_clIntern.m_wType);
}

// ---- Setters ---------------------------------------------------------------

namespace {

// The pattern of every typed setter: the type, the value, flags cleared.
inline void SetTyped(CAny* pAny, unsigned short wCode, const void* p) {
  pAny->__SetType(wCode, 0);
  pAny->pstTable()->pfnSetValue(&pAny->m_clIntern, p);
  pAny->ClearFlags();
}

}  // namespace

void CAny::SetBOOL(int b) { SetTyped(this, ANY_BOOL, &b); }
void CAny::SetUI1(unsigned char n) { SetTyped(this, ANY_UI1, &n); }
void CAny::SetUI2(unsigned short n) { SetTyped(this, ANY_UI2, &n); }
void CAny::SetUI4(unsigned int n) { SetTyped(this, ANY_UI4, &n); }
void CAny::SetUI8(std::uint64_t n) { SetTyped(this, ANY_UI8, &n); }
void CAny::SetI1(signed char n) { SetTyped(this, ANY_I1, &n); }
void CAny::SetI2(short n) { SetTyped(this, ANY_I2, &n); }
void CAny::SetI4(int n) { SetTyped(this, ANY_I4, &n); }
void CAny::SetI8(std::int64_t n) { SetTyped(this, ANY_I8, &n); }
void CAny::SetR4(float d) { SetTyped(this, ANY_R4, &d); }
void CAny::SetR8(double d) { SetTyped(this, ANY_R8, &d); }
void CAny::SetCY(const CMoney& m) { SetTyped(this, ANY_CY, &m); }
void CAny::SetDUREE(const CDureeBase& d) { SetTyped(this, ANY_DUREE, &d); }
void CAny::SetDUREE(const CDureeBase* pd) {
  if (pd != nullptr) SetDUREE(*pd);
}
void CAny::SetDATETIME(const CDateTimeBase& dt) { SetTyped(this, ANY_DATETIME, &dt); }
void CAny::SetDATETIME(const CDateTimeBase* pdt) {
  if (pdt != nullptr) SetDATETIME(*pdt);
}
void CAny::SetDATEA(const char* psz) { SetTyped(this, ANY_DATEA, psz); }
void CAny::SetDATEW(const wchar_t* psz) { SetTyped(this, ANY_DATEW, psz); }
void CAny::SetTIMEA(const char* psz) { SetTyped(this, ANY_TIMEA, psz); }
void CAny::SetTIMEW(const wchar_t* psz) { SetTyped(this, ANY_TIMEW, psz); }

void CAny::SetBIN(const unsigned char* p, std::size_t n) {
  __SetType(ANY_BIN, 0);
  pstTable()->pfnSetValueLen(&m_clIntern, p, n);
  ClearFlags();
}

void CAny::SetValueByte(const void* p, std::size_t n) {
  pstTable()->pfnSetValueLen(&m_clIntern, p, n);
  ClearFlags();
}

// ---- The handler's operations --------------------------------------------

#define KX_ANY_HANDLER const_cast<CAny_Intern*>(&m_clIntern)

void CAny::Duplique(CAny* pTarget) const { pstTable()->pfnDuplique(KX_ANY_HANDLER, pTarget); }
int CAny::nGetSize(std::size_t* pn) const { return pstTable()->pfnGetSize(KX_ANY_HANDLER, pn); }
int CAny::nGetAdr(void** pp) const { return pstTable()->pfnGetAdr(KX_ANY_HANDLER, pp); }
int CAny::nFillBuffer(void* p) const { return pstTable()->pfnFillBuffer(KX_ANY_HANDLER, p); }
int CAny::nGetDataSize(std::size_t* pn) const { return pstTable()->pfnGetDataSize(KX_ANY_HANDLER, pn); }
int CAny::nGetDataAdr(void** pp) const { return pstTable()->pfnGetDataAdr(KX_ANY_HANDLER, pp); }
int CAny::nFillDataBuffer(void* p) const { return pstTable()->pfnFillDataBuffer(KX_ANY_HANDLER, p); }
void CAny::SetValue(const void* p) { pstTable()->pfnSetValue(&m_clIntern, p); }
void CAny::SetValue(const void* p, std::size_t n) { pstTable()->pfnSetValueLen(&m_clIntern, p, n); }
int CAny::nGetPCASTR(const char** pp) const { return pstTable()->pfnGetPCASTR(KX_ANY_HANDLER, pp); }
int CAny::nGetPCWSTR(const wchar_t** pp) const { return pstTable()->pfnGetPCWSTR(KX_ANY_HANDLER, pp); }
int CAny::nGetSTRLEN(std::size_t* pn) const { return pstTable()->pfnGetSTRLEN(KX_ANY_HANDLER, pn); }
bool CAny::bIsPositive() const { return pstTable()->pfnIsPositive(KX_ANY_HANDLER); }
int CAny::nGetUtilDataSize(std::size_t* pn) const {
  return pstTable()->pfnGetUtilDataSize(KX_ANY_HANDLER, pn);
}
int CAny::nFillUtilDataBuffer(void* p) const {
  return pstTable()->pfnFillUtilDataBuffer(KX_ANY_HANDLER, p);
}
int CAny::nIncremente() { return pstTable()->pfnIncremente(&m_clIntern); }
int CAny::nDecremente() { return pstTable()->pfnDecremente(&m_clIntern); }
void CAny::SetValueFromANSI(const void* p) { pstTable()->pfnSetFromANSI(&m_clIntern, p); }
void CAny::SetValueFromANSI(const void* p, std::size_t n) { pstTable()->pfnSetFromANSILen(&m_clIntern, p, n); }
void CAny::SetValueFromUNICODE(const void* p) { pstTable()->pfnSetFromUNICODE(&m_clIntern, p); }
void CAny::SetValueFromUNICODE(const void* p, std::size_t n) {
  pstTable()->pfnSetFromUNICODELen(&m_clIntern, p, n);
}
void CAny::SetValueFromANSI_CP(int nCodePage, const void* p) {
  pstTable()->pfnSetFromANSI_CP(&m_clIntern, nCodePage, p);
}
void CAny::SetValueFromANSI_CP(int nCodePage, const void* p, std::size_t n) {
  pstTable()->pfnSetFromANSI_CPLen(&m_clIntern, nCodePage, p, n);
}
void CAny::SetValueFromUNICODE_CP(int nCodePage, const void* p) {
  pstTable()->pfnSetFromUNICODE_CP(&m_clIntern, nCodePage, p);
}
void CAny::SetValueFromUNICODE_CP(int nCodePage, const void* p, std::size_t n) {
  pstTable()->pfnSetFromUNICODE_CPLen(&m_clIntern, nCodePage, p, n);
}
void CAny::SetValueOption(const void* p, std::size_t n, unsigned int nOption) {
  pstTable()->pfnSetValueOption(&m_clIntern, p, n, nOption);
}

#undef KX_ANY_HANDLER

// ---- Readers ---------------------------------------------------------------

int CAny::nGetBYTE(unsigned char& out) const {
  const unsigned short wType = wGetType();
  if (wType > ANY_UIX) return ANY_ERR_RANGE;
  std::uint64_t qw;
  switch (wType) {
    case ANY_UI1:
    case ANY_I1:
      out = m_clIntern.tGet<unsigned char>();
      return ANY_OK;
    case ANY_UI2:
    case ANY_I2: qw = m_clIntern.tGet<std::uint16_t>(); break;
    case ANY_UI4:
    case ANY_I4: qw = m_clIntern.tGet<std::uint32_t>(); break;
    case ANY_UI8:
    case ANY_I8:
    case ANY_UIX: qw = m_clIntern.tGet<std::uint64_t>(); break;
    default: return ANY_ERR_RANGE;
  }
  if (qw > 255) return ANY_ERR_RANGE;
  out = static_cast<unsigned char>(qw);
  return ANY_OK;
}

int CAny::nGetINT(int* pn) const {
  if (pn == nullptr) return ANY_ERR_IMPOSSIBLE;
  *pn = 0;
  switch (wGetType()) {
    case ANY_BOOL:
    case ANY_I4: *pn = m_clIntern.tGet<std::int32_t>(); return ANY_OK;
    case ANY_UI1: *pn = m_clIntern.tGet<std::uint8_t>(); return ANY_OK;
    case ANY_UI2: *pn = m_clIntern.tGet<std::uint16_t>(); return ANY_OK;
    case ANY_I1: *pn = m_clIntern.tGet<std::int8_t>(); return ANY_OK;
    case ANY_I2: *pn = m_clIntern.tGet<std::int16_t>(); return ANY_OK;
    default: return ANY_ERR_IMPOSSIBLE;
  }
}

int CAny::nGetINT_64(long* pn) const {
  if (pn == nullptr) return ANY_ERR_IMPOSSIBLE;
  *pn = 0;
  switch (wGetType()) {
    case ANY_BOOL:
    case ANY_I4: *pn = m_clIntern.tGet<std::int32_t>(); return ANY_OK;
    case ANY_UI1: *pn = m_clIntern.tGet<std::uint8_t>(); return ANY_OK;
    case ANY_UI2: *pn = m_clIntern.tGet<std::uint16_t>(); return ANY_OK;
    case ANY_UI4: *pn = m_clIntern.tGet<std::uint32_t>(); return ANY_OK;
    case ANY_I1: *pn = m_clIntern.tGet<std::int8_t>(); return ANY_OK;
    case ANY_I2: *pn = m_clIntern.tGet<std::int16_t>(); return ANY_OK;
    case ANY_I8: *pn = m_clIntern.tGet<std::int64_t>(); return ANY_OK;
    default: return ANY_ERR_IMPOSSIBLE;
  }
}

int CAny::nGetBitField_64(unsigned long& out) const {
  out = 0;
  switch (wGetType()) {
    case ANY_UI1: out = m_clIntern.tGet<std::uint8_t>(); return ANY_OK;
    case ANY_UI2: out = m_clIntern.tGet<std::uint16_t>(); return ANY_OK;
    case ANY_UI4: out = m_clIntern.tGet<std::uint32_t>(); return ANY_OK;
    case ANY_UI8:
    case ANY_I8:
    case ANY_UIX: out = m_clIntern.tGet<std::uint64_t>(); return ANY_OK;
    case ANY_I1: out = static_cast<unsigned long>(static_cast<long>(m_clIntern.tGet<std::int8_t>())); return ANY_OK;
    case ANY_I2: out = static_cast<unsigned long>(static_cast<long>(m_clIntern.tGet<std::int16_t>())); return ANY_OK;
    case ANY_I4: out = static_cast<unsigned long>(static_cast<long>(m_clIntern.tGet<std::int32_t>())); return ANY_OK;
    default: return ANY_ERR_IMPOSSIBLE;
  }
}

int CAny::nGetREAL(double* pd) const {
  switch (wGetType()) {
    case ANY_R4:
      if (pd != nullptr) *pd = m_clIntern.tGet<float>();
      return ANY_OK;
    case ANY_R8:
      if (pd != nullptr) *pd = m_clIntern.tGet<double>();
      return ANY_OK;
    default: return ANY_ERR_IMPOSSIBLE;
  }
}

int CAny::nGetManipAUB(STManipAUB* pst) const {
  const unsigned short wType = wGetType();
  if (pst == nullptr || (wType != ANY_DSTRA && wType != ANY_BIN && wType != ANY_DSTRW))
    return ANY_ERR_IMPOSSIBLE;
  pst->pBuffer = m_clIntern.tGet<void*>();
  pst->wType = wType;
  pst->wZero = 0;
  return ANY_OK;
}

void* CAny::piGetTraitement() const {
  if (nGetTypeCode() != ANY_OBJET_141) return nullptr;
  IRuntimeObject* piObject = m_clIntern.tGet<IRuntimeObject*>();
  return piObject != nullptr ? piObject->piGetTraitement() : nullptr;
}

int CAny::nUnshare() {
  const unsigned short wType = wGetType() & ANY_FLAGS_CLEAR;
  int nResult = ANY_OK;
  if (wType == ANY_DSTRW) {
    CXYString<wchar_t> s;
    s.Attach(m_clIntern.tGet<wchar_t*>());
    if (s.pGetData() != nullptr) nResult = s.nUnshare();
    m_clIntern.Put(s.Detach());
  } else if (wType == ANY_DSTRA) {
    CXYString<char> s;
    s.Attach(m_clIntern.tGet<char*>());
    if (s.pGetData() != nullptr) nResult = s.nUnshare();
    m_clIntern.Put(s.Detach());
  }
  return nResult;
}

void CAny::__TransfertValeurInterne(unsigned short wCode, const unsigned char* pbyBuffer) {
  // Everything the value owned is released here, once; the value is then
  // the empty one, so that __SetType neither returns early on the same code
  // nor releases again.
  _Reset();
  __SetType(wCode, 1);
  if (pbyBuffer != nullptr) std::memcpy(m_clIntern.m_abyValue, pbyBuffer, knAnyValueSize);
}
