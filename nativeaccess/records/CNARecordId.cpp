#include "CNARecordId.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "CHashTableBounce.h"
#include "CNAConvertVariant.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"

namespace {

std::uint32_t Mot32(const unsigned char* p) {
  std::uint32_t n;
  std::memcpy(&n, p, 4);
  return n;
}

std::uint64_t Mot64(const unsigned char* p) {
  std::uint64_t n;
  std::memcpy(&n, p, 8);
  return n;
}

const unsigned char* Adresse(const unsigned char* p) {
  const std::uint64_t n = Mot64(p);
  return reinterpret_cast<const unsigned char*>(static_cast<std::uintptr_t>(n));
}

}  // namespace

CNARecordId::~CNARecordId() = default;

unsigned int CNARecordId::g_dwPtrHashVal(const void* serialised) {
  return serialised != nullptr ? Mot32(static_cast<const unsigned char*>(serialised)) : 0;
}

std::uint32_t CNARecordId::g_dwHashBlock(const unsigned char* data, std::uint64_t n) {
  if (data == nullptr) return 0;
  std::uint64_t nSomme = 0;
  std::uint64_t i = 0;
  for (; i + 4 <= n; i += 4)
    nSomme += static_cast<std::uint32_t>(data[i]) | static_cast<std::uint32_t>(data[i + 1]) << 8 |
              static_cast<std::uint32_t>(data[i + 2]) << 16 | static_cast<std::uint32_t>(data[i + 3]) << 24;
  for (; i < n; ++i) nSomme += data[i];
  return static_cast<std::uint32_t>(nSomme);
}

// ---- Row identifiers --------------------------------------------------------

CNARecordId_RowId::CNARecordId_RowId(CNAConvertVariant* holder) : m_pclVariant(holder) {
  if (m_pclVariant != nullptr) m_pclVariant->AddRef();
}

CNARecordId_RowId::~CNARecordId_RowId() {
  if (m_pclVariant != nullptr) m_pclVariant->nRelease();
}

CNARecordId* CNARecordId_RowId::pclGetClone(const CNARecordValue*) {
  CNAConvertVariant* pclClone = nullptr;
  if (m_pclVariant != nullptr) {
    pclClone = m_pclVariant->pclGetCloneVariant();
    if (pclClone == nullptr) return nullptr;
  }
  auto* pclId = new (std::nothrow) CNARecordId_RowId(pclClone);
  if (pclId == nullptr && pclClone != nullptr) {
    // Nobody holds the clone yet: take and give back one reference.
    pclClone->AddRef();
    pclClone->nRelease();
  }
  return pclId;
}

bool CNARecordId_RowId::bEqualRecordId(CNARecordId* other) {
  if (other == nullptr || other->eGetRecordIdType() != NA_RECORDID_ROWID) return false;
  return CNAVariant::g_bEqualsNAVariant(m_pclVariant, static_cast<CNARecordId_RowId*>(other)->m_pclVariant) != 0;
}

bool CNARecordId_RowId::bCopy(const CNARecordValue*, CNARecordId* other) {
  if (other == nullptr || other->eGetRecordIdType() != NA_RECORDID_ROWID || m_pclVariant == nullptr) return false;
  return m_pclVariant->bCopyVariant(static_cast<CNARecordId_RowId*>(other)->m_pclVariant) != 0;
}

unsigned long CNARecordId_RowId::nGetSerializedSize() const {
  if (m_pclVariant == nullptr) return 8;
  const std::uint64_t nCapacite = m_pclVariant->nGetCapacity();
  const std::uint64_t nTaille = m_pclVariant->nGetSize();
  return static_cast<unsigned long>(8 + (nCapacite > nTaille ? nCapacite : nTaille));
}

bool CNARecordId_RowId::Serialize(unsigned char* destination, unsigned long nSize) const {
  const void* pData = m_pclVariant != nullptr ? m_pclVariant->pGetData() : nullptr;
  const std::uint64_t nTaille = pData != nullptr ? m_pclVariant->nGetSize() : 0;
  if (destination == nullptr || nSize < 8 || nTaille > nSize - 8 || nTaille > UINT32_MAX) return false;
  const std::uint32_t dwHash = dwGetHashVal();
  const auto nLongueur = static_cast<std::uint32_t>(nTaille);
  std::memcpy(destination, &dwHash, 4);
  std::memcpy(destination + 4, &nLongueur, 4);
  if (nTaille != 0) std::memcpy(destination + 8, pData, nTaille);
  if (nSize - 8 > nTaille) std::memset(destination + 8 + nTaille, 0, nSize - 8 - nTaille);
  return true;
}

bool CNARecordId_RowId::DeSerialize(const unsigned char* source, unsigned long nSize) {
  if (source == nullptr || nSize < 8 || m_pclVariant == nullptr) return false;
  const std::uint32_t nLongueur = Mot32(source + 4);
  if (nLongueur > nSize - 8) return false;
  return m_pclVariant->bSetValue(source + 8, static_cast<unsigned long>(nLongueur)) != 0;
}

std::uint32_t CNARecordId_RowId::dwGetHashVal() const {
  return m_pclVariant != nullptr ? static_cast<std::uint32_t>(m_pclVariant->nChecksum32()) : 0;
}

void CNARecordId_RowId::RecordIdToString(CXYString<wchar_t>* out, const wchar_t* text, int option) const {
  if (out == nullptr) return;
  if (m_pclVariant == nullptr) {
    out->nAffecte(text);
    return;
  }
  m_pclVariant->GetString(out, text, option);
}

void CNARecordId_RowId::SetHashTableFct_SerializedObject(CHashTableBounce* table) const {
  if (table == nullptr) return;
  table->SetCmp(g_nCompare_CNARecordId_RowId);
  table->SetHashVal(g_dwPtrHashVal);
}

int CNARecordId_RowId::g_nCompare_CNARecordId_RowId(const void* a, const void* b) {
  const auto* pa = static_cast<const unsigned char*>(a);
  const auto* pb = static_cast<const unsigned char*>(b);
  const std::uint32_t na = Mot32(pa + 4);
  const std::uint32_t nb = Mot32(pb + 4);
  const std::uint32_t n = na < nb ? na : nb;
  if (n != 0) {
    const int nCmp = std::memcmp(pa + 8, pb + 8, n);
    if (nCmp != 0) return nCmp < 0 ? -1 : 1;
  }
  return na < nb ? -1 : (na > nb ? 1 : 0);
}

// ---- Record-values identifiers ------------------------------------------------

CNARecordId_RecordValues::CNARecordId_RecordValues(const CNARecordValue* value)
    : m_pbyBuffer(nullptr), m_nSize(0), m_pclMemo(nullptr) {
  bCopy(value, nullptr);
}

CNARecordId_RecordValues::CNARecordId_RecordValues(const unsigned char* buffer, std::uint64_t size,
                                                   const CNARecordMemo* memo)
    : m_pbyBuffer(buffer), m_nSize(buffer != nullptr ? size : 0), m_pclMemo(memo) {}

CNARecordId_RecordValues::~CNARecordId_RecordValues() = default;

CNARecordId* CNARecordId_RecordValues::pclGetClone(const CNARecordValue* recordValue) {
  return new (std::nothrow) CNARecordId_RecordValues(recordValue);
}

bool CNARecordId_RecordValues::bEqualRecordId(CNARecordId* other) {
  if (other == nullptr || other->eGetRecordIdType() != NA_RECORDID_RECORDVALUES) return false;
  const auto* pclOther = static_cast<const CNARecordId_RecordValues*>(other);
  if (pclOther->m_nSize != m_nSize) return false;
  if (m_nSize == 0 || m_pbyBuffer == pclOther->m_pbyBuffer) return true;
  return std::memcmp(m_pbyBuffer, pclOther->m_pbyBuffer, m_nSize) == 0;
}

bool CNARecordId_RecordValues::bCopy(const CNARecordValue* recordValue, CNARecordId*) {
  const CNAXQRecord* pclRecord = recordValue != nullptr ? recordValue->pclGetNAXQRecord() : nullptr;
  m_pbyBuffer = pclRecord != nullptr ? pclRecord->pbyGetNullValuesFlags() : nullptr;
  m_nSize = m_pbyBuffer != nullptr ? pclRecord->nGetTotalSize() : 0;
  m_pclMemo = recordValue != nullptr ? recordValue->pclGetTabMemo() : nullptr;
  return true;
}

bool CNARecordId_RecordValues::Serialize(unsigned char* destination, unsigned long nSize) const {
  if (destination == nullptr || nSize < knSerializedSize) return false;
  const std::uint32_t dwHash = dwGetHashVal();
  const std::uint64_t nBuffer = reinterpret_cast<std::uintptr_t>(m_pbyBuffer);
  const std::uint64_t nMemo = reinterpret_cast<std::uintptr_t>(m_pclMemo);
  std::memcpy(destination, &dwHash, 4);
  std::memcpy(destination + 4, &m_nSize, 8);
  std::memcpy(destination + 12, &nBuffer, 8);
  std::memcpy(destination + 20, &nMemo, 8);
  return true;
}

bool CNARecordId_RecordValues::DeSerialize(const unsigned char* source, unsigned long nSize) {
  if (source == nullptr || nSize < knSerializedSize) return false;
  m_nSize = Mot64(source + 4);
  m_pbyBuffer = Adresse(source + 12);
  m_pclMemo = reinterpret_cast<const CNARecordMemo*>(Adresse(source + 20));
  if (m_pbyBuffer == nullptr) m_nSize = 0;
  return true;
}

std::uint32_t CNARecordId_RecordValues::dwGetHashVal() const { return g_dwHashBlock(m_pbyBuffer, m_nSize); }

void CNARecordId_RecordValues::RecordIdToString(CXYString<wchar_t>* out, const wchar_t* text, int) const {
  if (out == nullptr) return;
  wchar_t szSuite[64];
  std::swprintf(szSuite, sizeof szSuite / sizeof szSuite[0], L"record values (%d bytes)", static_cast<int>(m_nSize));
  const std::size_t nTexte = text != nullptr ? std::wcslen(text) : 0;
  const std::size_t nSuite = std::wcslen(szSuite);
  wchar_t szPile[256];
  wchar_t* psz = nTexte + nSuite < 256 ? szPile : new (std::nothrow) wchar_t[nTexte + nSuite + 1];
  if (psz == nullptr) {
    out->nAffecte(text);
    return;
  }
  if (nTexte != 0) std::wmemcpy(psz, text, nTexte);
  std::wmemcpy(psz + nTexte, szSuite, nSuite + 1);
  out->nAffecte(psz, static_cast<long>(nTexte + nSuite));
  if (psz != szPile) delete[] psz;
}

void CNARecordId_RecordValues::SetHashTableFct_SerializedObject(CHashTableBounce* table) const {
  if (table == nullptr) return;
  table->SetCmp(g_nCompare_CNARecordId_RecordValues);
  table->SetHashVal(g_dwPtrHashVal);
}

int CNARecordId_RecordValues::g_nCompare_CNARecordId_RecordValues(const void* a, const void* b) {
  const auto* pa = static_cast<const unsigned char*>(a);
  const auto* pb = static_cast<const unsigned char*>(b);
  std::uint64_t na = Mot64(pa + 4);
  std::uint64_t nb = Mot64(pb + 4);
  const unsigned char* pBufA = Adresse(pa + 12);
  const unsigned char* pBufB = Adresse(pb + 12);
  if (pBufA == nullptr) na = 0;
  if (pBufB == nullptr) nb = 0;
  if (na != nb) return na < nb ? -1 : 1;
  if (na == 0 || pBufA == pBufB) return 0;
  const int nCmp = std::memcmp(pBufA, pBufB, na);
  return nCmp < 0 ? -1 : (nCmp > 0 ? 1 : 0);
}
