// CNACodePageCnv family: the code-page converters that carry text across the
// client-library boundary.
//
// Each converter is a short-lived object on the caller's stack holding one
// converted copy of one text, in a shared string of the runtime (so the
// copy comes from the runtime's string allocator):
// - CNACodePageCnvIN: wide text to 8-bit text of a code page, for the
//   client library;
// - CNACodePageCnvOUT: 8-bit text of a code page from the client library
//   (a pointer and a byte length) to wide text;
// - CNACodePageCnvOUTPtr: the same on a NUL-terminated pointer.
//
// The text handed on is null when the source is null, "" (L"") when the
// source is empty or the conversion gave nothing, the converted text
// otherwise. The code page knNoConversion means the source already has the
// target's form: on the IN side the wide text's bytes pass as they are, on
// the OUT side the bytes hold wide characters (a quarter as many as bytes).
// bFailed() tells a non-empty source that could not be converted (no
// string memory, or nothing representable), so that a caller never sends
// an empty text in place of a real one unknowingly.
//
// Ownership: the converter owns its result (one reference, dropped by the
// destructor); pointers handed out live as long as the converter. Not
// copyable.
#pragma once

#include <cstdint>

#include "CXYString.h"

class CNACodePageCnv {
 public:
  // The code page that leaves the text as it is.
  static constexpr unsigned int knNoConversion = 0xFFFFFFFEu;

  explicit CNACodePageCnv(unsigned int codePage) : m_nCodePage(codePage) {}
  CNACodePageCnv(const CNACodePageCnv&) = delete;
  CNACodePageCnv& operator=(const CNACodePageCnv&) = delete;
  virtual ~CNACodePageCnv();

  unsigned int nGetCodePage() const { return m_nCodePage; }

 protected:
  unsigned int m_nCodePage;
};

class CNACodePageCnvIN : public CNACodePageCnv {
 public:
  // Converts `source` (null allowed) to `codePage`.
  CNACodePageCnvIN(const wchar_t* source, unsigned int codePage);
  ~CNACodePageCnvIN() override;

  // The text for the client library: null for a null source, else never
  // null.
  const char* pszGet() const;
  // Its length in bytes (0 for null or empty).
  unsigned long nGetLength() const;
  // A non-empty source gave no text.
  bool bFailed() const { return m_bFailed; }

 private:
  const wchar_t* m_pszSource;
  std::int32_t m_nSourceLength;  // characters; 0 for a null or empty source
  CXYString<char> m_clResult;
  bool m_bFailed = false;
};

class CNACodePageCnvOUT : public CNACodePageCnv {
 public:
  // Converts `length` bytes of `source` (null allowed) from `codePage`.
  CNACodePageCnvOUT(const char* source, unsigned long length, unsigned int codePage);
  ~CNACodePageCnvOUT() override;

  // The wide text: null for a null source, else never null.
  const wchar_t* pszGet() const;
  long nGetLength() const { return m_clResult.nGetLength(); }
  bool bFailed() const { return m_bFailed; }

 protected:
  const char* m_pszSource;
  unsigned long m_nSourceLength;  // bytes
  CXYString<wchar_t> m_clResult;
  bool m_bFailed = false;
};

class CNACodePageCnvOUTPtr : public CNACodePageCnvOUT {
 public:
  // Converts the NUL-terminated `source` (null allowed) from `codePage`.
  CNACodePageCnvOUTPtr(const char* source, unsigned int codePage);
};
