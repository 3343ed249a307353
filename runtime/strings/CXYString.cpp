#include "CXYString.h"

#include <cstring>
#include <cwchar>

#include "CodePage.h"
#include "SharedStringConversion.h"
#include "StrFunctions.h"
#include "UnicodeConversion.h"
#include "XMalloc.h"

namespace {

long nTextLength(const char* text) { return static_cast<long>(std::strlen(text)); }
long nTextLength(const wchar_t* text) { return static_cast<long>(std::wcslen(text)); }

// A code page of -1 asks the runtime's locale for the current ANSI one.
unsigned int nResolveCodePage(unsigned int codePage) {
  return codePage == static_cast<unsigned int>(-1)
             ? static_cast<unsigned int>(STR_nGetCurrentCodePage())
             : codePage;
}

}  // namespace

// ---------------------------------------------------------------------------
// Both widths

template <typename T>
CXYStringBase<T>::CXYStringBase(const T* text) {
  if (text != nullptr) {
    const long n = nTextLength(text);
    __nNew(n, text, n);
  }
}

template <typename T>
CXYStringBase<T>::CXYStringBase(const CXYStringBase& other) : m_pData(other.m_pData) {
  SharedBlock::AddRef(m_pData);
}

template <typename T>
CXYStringBase<T>::CXYStringBase(CXYStringBase&& other) noexcept : m_pData(other.m_pData) {
  other.m_pData = nullptr;
}

template <typename T>
CXYStringBase<T>& CXYStringBase<T>::operator=(const CXYStringBase& other) {
  // The new reference is taken before the old one goes, so assigning a
  // string that shares the block never frees it.
  T* p = other.m_pData;
  SharedBlock::AddRef(p);
  ReleaseDynStr();
  m_pData = p;
  return *this;
}

template <typename T>
CXYStringBase<T>& CXYStringBase<T>::operator=(CXYStringBase&& other) noexcept {
  if (this != &other) {
    ReleaseDynStr();
    m_pData = other.m_pData;
    other.m_pData = nullptr;
  }
  return *this;
}

template <typename T>
void CXYStringBase<T>::Attach(T* handle) {
  T* old = m_pData;
  m_pData = handle;
  SharedBlock::Release(reinterpret_cast<void**>(&old));
}

template <typename T>
T* CXYStringBase<T>::Detach() {
  T* p = m_pData;
  m_pData = nullptr;
  return p;
}

template <typename T>
int CXYStringBase<T>::__nNew(long n, const T* source, long count, std::uint32_t flags) {
  if (SharedBlock::bTooLarge(n, sizeof(T)) || count < 0 || count > n) return SharedBlock::kTooLarge;
  if (n == 0) {
    ReleaseDynStr();
    return 0;
  }
  void* block = nullptr;
  const int r = SharedBlock::nAllocate(&block, static_cast<std::uint64_t>(n) * sizeof(T), flags);
  if (r != 0) return r;
  // The old block is still held here, so a source inside it stays valid.
  if (source != nullptr && count > 0) std::memcpy(block, source, count * sizeof(T));
  SharedBlock::pHeader(block)->nLength = static_cast<std::uint32_t>(count * sizeof(T));
  SharedBlock::WriteTerminator(block);
  ReleaseDynStr();
  m_pData = static_cast<T*>(block);
  return 0;
}

template <typename T>
int CXYStringBase<T>::__FillDynStr(const T* source, long count, long at) {
  if (source == nullptr) return 0;
  const long nLength = nGetLength();
  if (count < 0 || at < 0 || at > nLength) return SharedBlock::kTooLarge;
  const std::int64_t nEnd = static_cast<std::int64_t>(at) + count;
  if (SharedBlock::bTooLarge(nEnd, sizeof(T))) return SharedBlock::kTooLarge;
  if (nEnd == 0) {
    ReleaseDynStr();
    return 0;
  }
  // A source inside the own block must survive the preparation: keep the
  // whole old text in the new block, then find the source there.
  T* old = m_pData;
  const std::uint32_t oldCapacity = SharedBlock::nGetCapacity(old);
  const bool bAlias = SharedBlock::bInside(source, old);
  const int r = __nPrepareModification(bAlias && nLength > nEnd ? nLength : static_cast<long>(nEnd));
  if (r != 0) return r;
  source = static_cast<const T*>(SharedBlock::pRebase(source, old, oldCapacity, m_pData));
  std::memmove(m_pData + at, source, count * sizeof(T));
  SharedBlock::pHeader(m_pData)->nLength = static_cast<std::uint32_t>(nEnd * sizeof(T));
  SharedBlock::WriteTerminator(m_pData);
  return 0;
}

template <typename T>
int CXYStringBase<T>::nUnshare() {
  if (m_pData == nullptr) return 0;
  return SharedBlock::nPrepare(reinterpret_cast<void**>(&m_pData), SharedBlock::nGetLength(m_pData),
                               0);
}

template <typename T>
int CXYStringBase<T>::__nPrepareModification(long n, std::uint32_t flags) {
  if (SharedBlock::bTooLarge(n, sizeof(T))) return SharedBlock::kTooLarge;
  return SharedBlock::nPrepare(reinterpret_cast<void**>(&m_pData),
                               static_cast<std::uint64_t>(n) * sizeof(T), flags);
}

template <typename T>
int CXYStringBase<T>::nAffecte(const T* text, long length) {
  if (text != nullptr && length == -1) length = nTextLength(text);
  if (text == nullptr || *text == 0 || length < 1) {
    ReleaseDynStr();
    return 0;
  }
  if (SharedBlock::bTooLarge(length, sizeof(T))) return SharedBlock::kTooLarge;
  const std::uint64_t nBytes = static_cast<std::uint64_t>(length) * sizeof(T);

  if (m_pData != nullptr && SharedBlock::nGetRefCount(m_pData) < 2) {
    if (nBytes > SharedBlock::nGetCapacity(m_pData)) {
      T* old = m_pData;
      const std::uint32_t oldCapacity = SharedBlock::nGetCapacity(old);
      const int r = SharedBlock::nPrepare(reinterpret_cast<void**>(&m_pData), nBytes, 0);
      if (r != 0) return r;
      text = static_cast<const T*>(SharedBlock::pRebase(text, old, oldCapacity, m_pData));
    }
    std::memmove(m_pData, text, nBytes);
    SharedBlock::pHeader(m_pData)->nLength = static_cast<std::uint32_t>(nBytes);
    SharedBlock::WriteTerminator(m_pData);
    return 0;
  }
  // Null or shared: a new block; the old one (which may hold the text) is
  // released only after the copy.
  return __nNew(length, text, length);
}

template <typename T>
int CXYStringBase<T>::nSetLength(int n) {
  const int r = __nPrepareModification(n);
  if (r != 0 || m_pData == nullptr) return r;
  SharedBlock::pHeader(m_pData)->nLength = static_cast<std::uint32_t>(n) * sizeof(T);
  SharedBlock::WriteTerminator(m_pData);
  return 0;
}

template <>
bool CXYStringBase<wchar_t>::bCreateY(char** ppszOut, unsigned int codePage) const {
  const int r = SharedBlock::nWideToBytesPlain(ppszOut, m_pData, nGetLength(), dwGetFlags(),
                                               codePage);
  return r == 0;
}

template <>
bool CXYStringBase<char>::bCreateY(wchar_t** ppszOut, unsigned int codePage) const {
  const int r = SharedBlock::nBytesToWidePlain(ppszOut, m_pData, nGetLength(), dwGetFlags(),
                                               codePage);
  return r == 0;
}

template class CXYStringBase<char>;
template class CXYStringBase<wchar_t>;

// ---------------------------------------------------------------------------
// 8-bit text

int CXYString<char>::__nConversion(const wchar_t* text, long length, int extra,
                                   unsigned int codePage, unsigned int flags,
                                   const char* defaultChar) {
  if (text != nullptr && length == -1) length = nTextLength(text);
  void* block = nullptr;
  int r = 0;
  if (text != nullptr && length > 0)
    r = SharedBlock::nWideToBytes(&block, text, length, 0, codePage, flags, defaultChar, nullptr,
                                  extra);
  Attach(static_cast<char*>(block));
  return r == SharedBlock::kNothingConverted ? 0 : r;
}

int CXYString<char>::nAffecteToUTF8(const wchar_t* text, long length) {
  return __nConversion(text, length, 0, CP_UTF8);
}

namespace {

// The end of every assigning conversion: the string takes `block` (null on
// failure, so a failed conversion leaves it empty) and the code is returned.
template <typename T>
int nTake(CXYStringBase<T>& out, void* block, int r) {
  out.Attach(static_cast<T*>(block));
  return r;
}

// Converts into a block of `room` bytes with `convert(out, room)`, which
// answers the bytes written; 105 when it wrote none.
template <typename Convert>
int nConvertBytes(CXYStringBase<char>& out, std::int64_t room, Convert convert) {
  if (SharedBlock::bTooLarge(room, 1)) return nTake(out, nullptr, SharedBlock::kTooLarge);
  void* block = nullptr;
  const int r = SharedBlock::nAllocate(&block, static_cast<std::uint64_t>(room), 0);
  if (r != 0) return nTake(out, nullptr, r);
  const long n = convert(static_cast<char*>(block), static_cast<long>(room));
  if (n <= 0) {
    SharedBlock::Release(&block);
    return nTake(out, nullptr, SharedBlock::kNothingConverted);
  }
  SharedBlock::pHeader(block)->nLength = static_cast<std::uint32_t>(n);
  SharedBlock::WriteTerminator(block);
  return nTake(out, block, 0);
}

}  // namespace

int CXYString<char>::nAffecteToUTF8(const char* text, long length, unsigned int codePage) {
  if (text != nullptr && length == -1) length = nTextLength(text);
  if (text == nullptr || length < 1) return nTake(*this, nullptr, 0);
  if (codePage == CP_UTF8) {
    const int r = nAffecte(text, length);
    return r != 0 ? nTake(*this, nullptr, r) : 0;
  }
  // At most 4 UTF-8 bytes per input byte, and the converter keeps one byte
  // for its terminator.
  return nConvertBytes(*this, static_cast<std::int64_t>(length) * 4 + 1, [&](char* out, long room) {
    return MultiByteToUTF8(codePage, text, length, out, room);
  });
}

int CXYString<char>::nAffecteUTF8(const char* text, long length, unsigned int codePage,
                                  unsigned int flags, const char* defaultChar, int* usedDefault) {
  if (text != nullptr && length == -1) length = nTextLength(text);
  if (text == nullptr || length < 1) return nTake(*this, nullptr, 0);
  if (codePage == CP_UTF8) {
    const int r = nAffecte(text, length);
    return r != 0 ? nTake(*this, nullptr, r) : 0;
  }
  // Shift sequences of the 7-bit code pages can make the result longer than
  // the UTF-8 text: the same room as the other direction.
  return nConvertBytes(*this, static_cast<std::int64_t>(length) * 4 + 1, [&](char* out, long room) {
    return UTF8ToMultiByte(codePage, text, length, out, room, flags, defaultChar, usedDefault);
  });
}

int CXYString<char>::nAffecteUTF16(const unsigned short* units, long length,
                                   unsigned int codePage, unsigned int flags,
                                   const char* defaultChar) {
  if (units != nullptr && length == -1) length = static_cast<long>(utf16len(units));
  if (units == nullptr || length < 1) return nTake(*this, nullptr, 0);
  if (SharedBlock::bTooLarge(length, 2)) return nTake(*this, nullptr, SharedBlock::kTooLarge);
  const int nLen = static_cast<int>(length);
  const int nNeeded = UTF16ToMultiByte(codePage, static_cast<int>(flags), units, nLen, nullptr, 0,
                                       defaultChar, nullptr);
  if (nNeeded <= 0) return nTake(*this, nullptr, SharedBlock::kNothingConverted);
  return nConvertBytes(*this, static_cast<std::int64_t>(nNeeded) + 1, [&](char* out, long) {
    return static_cast<long>(UTF16ToMultiByte(codePage, static_cast<int>(flags), units, nLen, out,
                                              nNeeded, defaultChar, nullptr));
  });
}

int CXYString<char>::nAffecteUTF32(const unsigned int* units, long length, unsigned int codePage,
                                   unsigned int flags, const char* defaultChar) {
  if (units != nullptr && length == -1) {
    length = 0;
    while (units[length] != 0) ++length;
  }
  if (units == nullptr || length < 1) return nTake(*this, nullptr, 0);
  if (SharedBlock::bTooLarge(length, sizeof(wchar_t)))
    return nTake(*this, nullptr, SharedBlock::kTooLarge);
  // The units are UTF-32 like the wide characters, but of another type: a
  // wide copy is what the code-page converter reads.
  auto* wide = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<std::size_t>(length) * sizeof(wchar_t)));
  if (wide == nullptr) return nTake(*this, nullptr, SharedBlock::kNoAllocator);
  const int nWide = UTF32ToWideChar(units, static_cast<int>(length), wide, static_cast<int>(length));
  void* block = nullptr;
  const int r = SharedBlock::nWideToBytes(&block, wide, nWide, 0, codePage, flags, defaultChar,
                                          nullptr, 0);
  XMALLOC_Del_(wide);
  return nTake(*this, block, r);
}

// ---------------------------------------------------------------------------
// Wide text

int CXYString<wchar_t>::__nConversion(const char* text, long length, int extra,
                                      unsigned int codePage, unsigned int flags,
                                      const wchar_t* /*defaultChar*/) {
  if (text != nullptr && length == -1) length = nTextLength(text);
  void* block = nullptr;
  int r = 0;
  if (text != nullptr && length > 0)
    r = SharedBlock::nBytesToWide(&block, text, length, 0, codePage, flags, extra);
  Attach(static_cast<wchar_t*>(block));
  return r == SharedBlock::kNothingConverted ? 0 : r;
}

int CXYString<wchar_t>::nAffecteUTF8(const char* text, long length) {
  return __nConversion(text, length, 0, CP_UTF8);
}

namespace {

// Copies n units of a 16- or 32-bit form into a new wide block with the
// unit converter given; 105 when nothing came out.
template <typename Unit, typename Widen>
int nWidenInto(CXYString<wchar_t>& out, const Unit* units, long length, Widen widen) {
  if (units != nullptr && length == -1) {
    length = 0;
    while (units[length] != 0) ++length;
  }
  if (units == nullptr || length < 1) return nTake(out, nullptr, 0);
  if (SharedBlock::bTooLarge(length, sizeof(wchar_t)))
    return nTake(out, nullptr, SharedBlock::kTooLarge);
  void* block = nullptr;
  const int r =
      SharedBlock::nAllocate(&block, static_cast<std::uint64_t>(length) * sizeof(wchar_t), 0);
  if (r != 0) return nTake(out, nullptr, r);
  const int n = widen(units, static_cast<int>(length), static_cast<wchar_t*>(block),
                      static_cast<int>(length));
  if (n <= 0) {
    SharedBlock::Release(&block);
    return nTake(out, nullptr, SharedBlock::kNothingConverted);
  }
  SharedBlock::pHeader(block)->nLength = static_cast<std::uint32_t>(n) * sizeof(wchar_t);
  SharedBlock::WriteTerminator(block);
  return nTake(out, block, 0);
}

}  // namespace

int CXYString<wchar_t>::nAffecteUTF16(const unsigned short* units, long length) {
  return nWidenInto(*this, units, length, UTF16ToWideChar);
}

int CXYString<wchar_t>::nAffecteUTF32(const unsigned int* units, long length) {
  return nWidenInto(*this, units, length, UTF32ToWideChar);
}

// ---------------------------------------------------------------------------
// Free conversions

CXYString<wchar_t> PCASTR_To_CWString(const char* text, unsigned int codePage, long length) {
  CXYString<wchar_t> s;
  s.__nConversion(text, length, 0, nResolveCodePage(codePage));
  return s;
}

CXYString<char> PCWSTR_To_CAString(const wchar_t* text, unsigned int codePage, long length) {
  CXYString<char> s;
  s.__nConversion(text, length, 0, nResolveCodePage(codePage));
  return s;
}

CXYString<wchar_t> UTF8_To_CWString(const char* text, long length) {
  CXYString<wchar_t> s;
  s.nAffecteUTF8(text, length);
  return s;
}

CXYString<char> PCWSTR_To_UTF8(const wchar_t* text) { return PCWSTR_N_To_UTF8(text, -1); }

CXYString<char> PCWSTR_N_To_UTF8(const wchar_t* text, long n) {
  CXYString<char> s;
  s.nAffecteToUTF8(text, n);
  return s;
}

CXYString<char> CWString_To_UTF8(const CXYString<wchar_t>& text) {
  return PCWSTR_N_To_UTF8(text.pGetData(), text.nGetLength());
}

CXYString<char> PCASTR_To_UTF8(const char* text, unsigned int codePage) {
  return PCASTR_N_To_UTF8(text, -1, codePage);
}

CXYString<char> PCASTR_N_To_UTF8(const char* text, long n, unsigned int codePage) {
  CXYString<char> s;
  if (codePage == CP_UTF8) {
    s.nAffecte(text, n);
    return s;
  }
  CXYString<wchar_t> wide;
  wide.__nConversion(text, n, 0, codePage);
  return CWString_To_UTF8(wide);
}

CXYString<char> UTF8_To_CAString(const char* text, unsigned int codePage, long n) {
  CXYString<char> s;
  if (codePage == CP_UTF8) {
    s.nAffecte(text, n);
    return s;
  }
  const CXYString<wchar_t> wide = UTF8_To_CWString(text, n);
  void* block = nullptr;
  SharedBlock::nWideToBytes(&block, wide.pGetData(), wide.nGetLength(), wide.dwGetFlags(),
                            codePage, 0, nullptr, nullptr, 0);
  s.Attach(static_cast<char*>(block));
  return s;
}

CXYString<char> CAString_To_UTF8(const CXYString<char>& text, unsigned int codePage) {
  if (codePage == CP_UTF8) return text;
  void* block = nullptr;
  SharedBlock::nBytesToWide(&block, text.pGetData(), text.nGetLength(), text.dwGetFlags(),
                            codePage, 0, 0);
  CXYString<wchar_t> wide;
  wide.Attach(static_cast<wchar_t*>(block));
  return CWString_To_UTF8(wide);
}
