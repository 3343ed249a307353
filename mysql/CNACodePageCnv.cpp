#include "CNACodePageCnv.h"

#include <cstring>
#include <cwchar>

CNACodePageCnv::~CNACodePageCnv() = default;

// ---------------------------------------------------------------------------
// Wide text to the client library
// ---------------------------------------------------------------------------

CNACodePageCnvIN::CNACodePageCnvIN(const wchar_t* source, unsigned int codePage)
    : CNACodePageCnv(codePage), m_pszSource(source), m_nSourceLength(0) {
  if (source == nullptr || *source == L'\0') return;
  const std::size_t nLength = std::wcslen(source);
  // A text past the shared strings' limit cannot be converted: it reads as
  // a failure, never as a shorter text.
  if (nLength >= 0x3FFFFFFFu) {
    m_bFailed = true;
    return;
  }
  m_nSourceLength = static_cast<std::int32_t>(nLength);
  if (codePage == knNoConversion) {
    m_bFailed = m_clResult.__nNew(static_cast<long>(nLength * sizeof(wchar_t)),
                                  reinterpret_cast<const char*>(source),
                                  static_cast<long>(nLength * sizeof(wchar_t))) != 0;
  } else {
    m_bFailed = m_clResult.__nConversion(source, m_nSourceLength, 0, codePage) != 0;
  }
  if (m_clResult.nGetLength() == 0) m_bFailed = true;
}

CNACodePageCnvIN::~CNACodePageCnvIN() { m_clResult.ReleaseDynStr(); }

const char* CNACodePageCnvIN::pszGet() const {
  return m_pszSource == nullptr ? nullptr : m_clResult.pszGet();
}

unsigned long CNACodePageCnvIN::nGetLength() const {
  return static_cast<unsigned long>(m_clResult.nGetLength());
}

// ---------------------------------------------------------------------------
// 8-bit text from the client library
// ---------------------------------------------------------------------------

CNACodePageCnvOUT::CNACodePageCnvOUT(const char* source, unsigned long length,
                                     unsigned int codePage)
    : CNACodePageCnv(codePage), m_pszSource(source), m_nSourceLength(length) {
  if (source == nullptr || length == 0) return;
  if (length >= 0x7fffff00u) {
    m_bFailed = true;
    return;
  }
  if (codePage == knNoConversion) {
    const long nChars = static_cast<long>(length / sizeof(wchar_t));
    m_bFailed = nChars > 0 && m_clResult.__nNew(nChars, reinterpret_cast<const wchar_t*>(source),
                                                nChars) != 0;
  } else {
    m_bFailed = m_clResult.__nConversion(source, static_cast<long>(length), 0, codePage) != 0;
    if (m_clResult.nGetLength() == 0) m_bFailed = true;
  }
}

CNACodePageCnvOUT::~CNACodePageCnvOUT() { m_clResult.ReleaseDynStr(); }

const wchar_t* CNACodePageCnvOUT::pszGet() const {
  return m_pszSource == nullptr ? nullptr : m_clResult.pszGet();
}

CNACodePageCnvOUTPtr::CNACodePageCnvOUTPtr(const char* source, unsigned int codePage)
    : CNACodePageCnvOUT(source, source != nullptr ? std::strlen(source) : 0, codePage) {}
