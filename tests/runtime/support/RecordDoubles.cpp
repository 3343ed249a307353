#include "support/RecordDoubles.h"

#include <cstring>

void CNARecordId::Serialize(unsigned char* dest, unsigned long size) const {
  std::memcpy(dest, m_sBytes.data(), size < m_sBytes.size() ? size : m_sBytes.size());
}

bool CNARecordId::DeSerialize(const unsigned char* src, unsigned long size) {
  m_sBytes.assign(reinterpret_cast<const char*>(src), size);
  return true;
}

CNAXQRecord::CNAXQRecord(std::uint32_t nTaille, unsigned char remplissage)
    : m_nTailleBuffer(nTaille), m_pBuffer(nTaille != 0 ? new unsigned char[nTaille] : nullptr) {
  if (nTaille != 0) std::memset(m_pBuffer, remplissage, nTaille);
}

CNAXQRecord::~CNAXQRecord() { delete[] m_pBuffer; }

CNARecordMemo::~CNARecordMemo() {
  if (m_pnDetruits != nullptr) ++*m_pnDetruits;
}

std::uint32_t CNARecordMemo::dwRelease() {
  if (m_pJournal != nullptr) m_pJournal->push_back(m_nNumero);
  return CKXUnknown::dwRelease();
}

CInterfDouble::~CInterfDouble() {
  if (m_pnDetruits != nullptr) ++*m_pnDetruits;
}
