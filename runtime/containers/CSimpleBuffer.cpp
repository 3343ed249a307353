#include "CSimpleBuffer.h"

#include <cstring>

#include "XMalloc.h"

CSimpleBuffer::CSimpleBuffer(unsigned long nSize) { SetSize(nSize); }

CSimpleBuffer::CSimpleBuffer(const void* pData, unsigned long nSize) { CopyBuffer(pData, nSize); }

CSimpleBuffer::CSimpleBuffer(const CSimpleBuffer* other) {
  if (other != nullptr) CopyBuffer(other->m_pData, other->m_nSize);
}

CSimpleBuffer::~CSimpleBuffer() { XMALLOC_Del_(m_pData); }

void CSimpleBuffer::SetSize(unsigned long nSize) {
  if (nSize == m_nSize) return;
  XMALLOC_Del_(m_pData);
  m_pData = nullptr;
  m_nSize = 0;
  if (nSize == 0) return;
  m_pData = static_cast<unsigned char*>(XMALLOC_pNew_(nSize));
  if (m_pData != nullptr) m_nSize = nSize;
}

void CSimpleBuffer::CopyBuffer(const void* pData, unsigned long nSize) {
  const unsigned char* source = static_cast<const unsigned char*>(pData);
  // Bytes of the own block would be freed by a change of size: copy them
  // aside first.
  unsigned char* pCopie = nullptr;
  const auto debut = reinterpret_cast<std::uintptr_t>(m_pData);
  const auto p = reinterpret_cast<std::uintptr_t>(source);
  if (source != nullptr && m_pData != nullptr && nSize != m_nSize && p < debut + m_nSize && debut < p + nSize) {
    pCopie = static_cast<unsigned char*>(XMALLOC_pNew_(nSize));
    if (pCopie == nullptr) {
      SetSize(0);
      return;
    }
    std::memcpy(pCopie, source, nSize);
    source = pCopie;
  }
  SetSize(nSize);
  if (m_nSize == nSize && nSize != 0 && source != nullptr) std::memmove(m_pData, source, nSize);
  XMALLOC_Del_(pCopie);
}
