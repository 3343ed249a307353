#include "CTNBIN.h"

#include <cstring>
#include <cwchar>

#include "SharedStringConversion.h"

namespace {

using SharedBlock::kTooLarge;

void** ppHandle(unsigned char*& p) { return reinterpret_cast<void**>(&p); }

void SetLength(unsigned char* data, std::uint64_t n) {
  SharedBlock::pHeader(data)->nLength = static_cast<std::uint32_t>(n);
  SharedBlock::WriteTerminator(data);
}

}  // namespace

CTNBIN::CTNBIN(const CTNBIN& other) : m_pData(other.m_pData) { SharedBlock::AddRef(m_pData); }

CTNBIN::CTNBIN(CTNBIN&& other) noexcept : m_pData(other.m_pData) { other.m_pData = nullptr; }

CTNBIN::CTNBIN(const void* bytes, long n) { nAssignInit(bytes, n); }

CTNBIN& CTNBIN::operator=(const CTNBIN& other) {
  // The new reference first: assigning a holder of the same block never
  // frees it.
  unsigned char* p = other.m_pData;
  SharedBlock::AddRef(p);
  ReleaseDynStr();
  m_pData = p;
  return *this;
}

CTNBIN& CTNBIN::operator=(CTNBIN&& other) noexcept {
  if (this != &other) {
    ReleaseDynStr();
    m_pData = other.m_pData;
    other.m_pData = nullptr;
  }
  return *this;
}

void CTNBIN::_Attach(void* block) {
  unsigned char* old = m_pData;
  m_pData = static_cast<unsigned char*>(block);
  SharedBlock::Release(ppHandle(old));
}

int CTNBIN::_nNew(long n, const void* source, long count, std::uint32_t flags) {
  if (SharedBlock::bTooLarge(n, 1) || count < 0 || count > n) return kTooLarge;
  if (n == 0) {
    ReleaseDynStr();
    return 0;
  }
  void* block = nullptr;
  const int r = SharedBlock::nAllocate(&block, static_cast<std::uint64_t>(n), flags);
  if (r != 0) return r;
  // The old block is released only after the copy: the source may lie in it.
  if (source != nullptr && count > 0) std::memcpy(block, source, static_cast<std::size_t>(count));
  SetLength(static_cast<unsigned char*>(block), static_cast<std::uint64_t>(count));
  _Attach(block);
  return 0;
}

int CTNBIN::__FillDynBin(const void* source, long count, long at) {
  if (source == nullptr) return 0;
  const long nLength = static_cast<long>(nGetTailleUtile());
  if (count < 0 || at < 0 || at > nLength) return kTooLarge;
  const std::int64_t nEnd = static_cast<std::int64_t>(at) + count;
  if (SharedBlock::bTooLarge(nEnd, 1)) return kTooLarge;
  if (nEnd == 0) {
    ReleaseDynStr();
    return 0;
  }
  unsigned char* old = m_pData;
  const std::uint32_t oldCapacity = nGetCapacity();
  const bool bAlias = SharedBlock::bInside(source, old);
  const std::uint64_t nKeep = bAlias && nLength > nEnd ? static_cast<std::uint64_t>(nLength)
                                                       : static_cast<std::uint64_t>(nEnd);
  const int r = SharedBlock::nPrepare(ppHandle(m_pData), nKeep, 0);
  if (r != 0) return r;
  source = SharedBlock::pRebase(source, old, oldCapacity, m_pData);
  std::memmove(m_pData + at, source, static_cast<std::size_t>(count));
  SetLength(m_pData, static_cast<std::uint64_t>(nEnd));
  return 0;
}

int CTNBIN::nAssignInit(const void* bytes, long n) {
  if (n == 0 || bytes == nullptr) {
    ReleaseDynStr();
    return 0;
  }
  if (SharedBlock::bTooLarge(n, 1)) return kTooLarge;
  return _nNew(n, bytes, n, 0);
}

int CTNBIN::nAssign(const void* bytes, long n, std::uint32_t flags) {
  if (n == 0) {
    ReleaseDynStr();
    return 0;
  }
  if (SharedBlock::bTooLarge(n, 1)) return kTooLarge;
  if (m_pData == nullptr || SharedBlock::nGetRefCount(m_pData) >= 2)
    return _nNew(n, bytes, n, flags);

  if (static_cast<std::uint64_t>(n) > nGetCapacity()) {
    unsigned char* old = m_pData;
    const std::uint32_t oldCapacity = nGetCapacity();
    const int r = SharedBlock::nPrepare(ppHandle(m_pData), static_cast<std::uint64_t>(n), flags);
    if (r != 0) return r;
    bytes = SharedBlock::pRebase(bytes, old, oldCapacity, m_pData);
  }
  if (bytes != nullptr) std::memmove(m_pData, bytes, static_cast<std::size_t>(n));
  SetLength(m_pData, static_cast<std::uint64_t>(n));
  return 0;
}

void CTNBIN::Assign(const CTNBIN& other, long n) {
  *this = other;
  Tronque(n);
}

void CTNBIN::Take(CTNBIN& other) {
  if (&other == this) return;
  ReleaseDynStr();
  m_pData = other.m_pData;
  other.m_pData = nullptr;
}

int CTNBIN::nSetSize(long n, std::uint32_t flags) {
  if (SharedBlock::bTooLarge(n, 1)) return kTooLarge;
  if (m_pData == nullptr) return n == 0 ? 0 : _nNew(n, nullptr, n, flags);
  const int r = SharedBlock::nPrepare(ppHandle(m_pData), static_cast<std::uint64_t>(n), flags);
  if (r != 0) return r;
  SetLength(m_pData, static_cast<std::uint64_t>(n));
  return 0;
}

int CTNBIN::nSetMemorySize(long n, std::uint32_t flags) {
  if (SharedBlock::bTooLarge(n, 1)) return kTooLarge;
  if (m_pData == nullptr) return n == 0 ? 0 : _nNew(n, nullptr, 0, flags);
  if (static_cast<std::uint64_t>(n) <= nGetCapacity()) return 0;
  return SharedBlock::nPrepare(ppHandle(m_pData), static_cast<std::uint64_t>(n), flags);
}

void CTNBIN::SetUtilSize(long n) {
  if (m_pData == nullptr || n < 0 || static_cast<std::uint64_t>(n) > nGetCapacity()) return;
  SetLength(m_pData, static_cast<std::uint64_t>(n));
}

void CTNBIN::Tronque(long n) {
  if (m_pData == nullptr || n < 0 || n > static_cast<long>(nGetTailleUtile())) return;
  if (SharedBlock::nGetRefCount(m_pData) < 2) {
    SharedBlock::pHeader(m_pData)->dwFlags &= ~SharedBlock::kEndMarkerFlag;
    SetLength(m_pData, static_cast<std::uint64_t>(n));
    return;
  }
  // Shared: a fresh block (flags 0); the other holders keep theirs as it is.
  _nNew(n, m_pData, n, 0);
}

int CTNBIN::nConcat(const void* bytes, long n) {
  if (n == 0 || bytes == nullptr) return 0;
  if (n < 0) return kTooLarge;
  if (m_pData == nullptr) return nAssign(bytes, n, 0);
  const std::uint64_t nLength = nGetTailleUtile();
  const std::int64_t nTotal = static_cast<std::int64_t>(nLength) + n;
  if (SharedBlock::bTooLarge(nTotal, 1)) return kTooLarge;
  unsigned char* old = m_pData;
  const std::uint32_t oldCapacity = nGetCapacity();
  // Exclusive: grown only past the capacity; shared: copied with its flags.
  const int r = SharedBlock::nPrepare(ppHandle(m_pData), static_cast<std::uint64_t>(nTotal), 0);
  if (r != 0) return r;
  bytes = SharedBlock::pRebase(bytes, old, oldCapacity, m_pData);
  std::memmove(m_pData + nLength, bytes, static_cast<std::size_t>(n));
  SetLength(m_pData, static_cast<std::uint64_t>(nTotal));
  return 0;
}

int CTNBIN::nConcatInit(CTNBIN& a, const CTNBIN& b, unsigned int flags) {
  // b is held for the whole operation: it may be a, or this.
  const CTNBIN tb(b);
  CTNBIN result;
  if (a.m_pData == nullptr) {
    result = tb;
  } else if ((flags & 1) != 0) {
    const bool bTaken = SharedBlock::nGetRefCount(a.m_pData) < 2;
    if (bTaken)
      result.Take(a);
    else
      result = a;
    const int r = result.nConcat(tb.m_pData, static_cast<long>(tb.nGetTailleUtile()));
    if (r != 0) {
      if (bTaken) a.Take(result);
      return r;
    }
  } else if (tb.m_pData == nullptr) {
    result = a;
  } else {
    const std::uint64_t la = a.nGetTailleUtile();
    const std::uint64_t lb = tb.nGetTailleUtile();
    const std::int64_t nTotal = static_cast<std::int64_t>(la + lb);
    if (SharedBlock::bTooLarge(nTotal, 1)) return kTooLarge;
    const int r = result._nNew(nTotal, nullptr, 0, 0);
    if (r != 0) return r;
    if (la != 0) std::memcpy(result.m_pData, a.m_pData, la);
    if (lb != 0) std::memcpy(result.m_pData + la, tb.m_pData, lb);
    SetLength(result.m_pData, la + lb);
    SharedBlock::pHeader(result.m_pData)->dwFlags = tb.dwGetFlags() & SharedBlock::kEndMarkerFlag;
  }
  Take(result);
  return 0;
}

int CTNBIN::nConcatSeparateur(const CTNBIN& separator, const CTNBIN& b, int bSkip) {
  // Both are held: either may share the own block, which is about to change.
  const CTNBIN ts(separator);
  const CTNBIN tb(b);
  const std::uint64_t lb = tb.nGetTailleUtile();
  if (lb == 0) return 0;
  const bool bOnlyB =
      (bEstVide() && bSkip != 0) || bTerminePar(ts) || tb.bCommencePar(ts);
  const std::uint64_t ls = bOnlyB ? 0 : ts.nGetTailleUtile();
  const std::uint64_t nLength = nGetTailleUtile();
  const std::int64_t nTotal = static_cast<std::int64_t>(nLength + ls + lb);
  if (SharedBlock::bTooLarge(nTotal, 1)) return kTooLarge;
  // One preparation for both pieces: a failure leaves the buffer as it was.
  const int r = SharedBlock::nPrepare(ppHandle(m_pData), static_cast<std::uint64_t>(nTotal), 0);
  if (r != 0) return r;
  if (ls != 0) std::memcpy(m_pData + nLength, ts.m_pData, ls);
  std::memcpy(m_pData + nLength + ls, tb.m_pData, lb);
  SetLength(m_pData, static_cast<std::uint64_t>(nTotal));
  return 0;
}

void CTNBIN::Remplace(long at, long count, const CTNBIN& other) {
  const long nLength = static_cast<long>(nGetTailleUtile());
  if (m_pData == nullptr || at < 0 || count < 0 || at >= nLength) return;
  if (count > nLength - at) count = nLength - at;
  // Holding `other` keeps its bytes alive; when it shares the own block the
  // preparation below then copies instead of changing them in place.
  const CTNBIN to(other);
  const long lo = static_cast<long>(to.nGetTailleUtile());
  const std::int64_t nNew = static_cast<std::int64_t>(nLength) - count + lo;
  if (SharedBlock::bTooLarge(nNew, 1)) return;
  const std::uint64_t nRoom = static_cast<std::uint64_t>(nNew > nLength ? nNew : nLength);
  if (SharedBlock::nPrepare(ppHandle(m_pData), nRoom, 0) != 0) return;
  std::memmove(m_pData + at + lo, m_pData + at + count,
               static_cast<std::size_t>(nLength - at - count));
  if (lo != 0) std::memmove(m_pData + at, to.m_pData, static_cast<std::size_t>(lo));
  SetLength(m_pData, static_cast<std::uint64_t>(nNew));
}

int CTNBIN::nRepete(const CTNBIN& other, long k) {
  const CTNBIN to(other);
  const std::uint64_t lo = to.nGetTailleUtile();
  if (k <= 0 || lo == 0) {
    ReleaseDynStr();
    return 0;
  }
  // The product in 64 bits: k up to 2^63 times lo below 2^32 could still
  // wrap, so compare by division first.
  if (static_cast<std::uint64_t>(k) > SharedBlock::kMaxUnits / lo) return kTooLarge;
  const std::int64_t nTotal = static_cast<std::int64_t>(lo * static_cast<std::uint64_t>(k));
  if (SharedBlock::bTooLarge(nTotal, 1)) return kTooLarge;
  CTNBIN result;
  const int r = result._nNew(nTotal, nullptr, 0, 0);
  if (r != 0) return r;
  for (long i = 0; i < k; ++i) std::memcpy(result.m_pData + i * lo, to.m_pData, lo);
  SetLength(result.m_pData, static_cast<std::uint64_t>(nTotal));
  Take(result);
  return 0;
}

int CTNBIN::nMilieu(CTNBIN& target, long start, long count) const {
  const long nLength = static_cast<long>(nGetTailleUtile());
  CTNBIN result;
  if (start >= 0 && start <= nLength && count != 0 && count >= -1) {
    const long nAvail = nLength - start;
    if (count == -1 || count > nAvail) count = nAvail;
    if (count > 0) {
      const int r = result._nNew(count, m_pData + start, count, 0);
      if (r != 0) return r;
    }
  }
  target.Take(result);
  return 0;
}

CTNBIN CTNBIN::clMilieu(long start, long count) const {
  CTNBIN result;
  nMilieu(result, start, count);
  return result;
}

long CTNBIN::nPos(const void* bytes, long n, long from) const {
  const long nLength = static_cast<long>(nGetTailleUtile());
  if (bytes == nullptr || from < 0 || n < 1 || nLength == 0 || from > nLength - n) return -1;
  for (long i = from; i <= nLength - n; ++i)
    if (std::memcmp(m_pData + i, bytes, static_cast<std::size_t>(n)) == 0) return i;
  return -1;
}

bool CTNBIN::bCommencePar(const CTNBIN& other) const {
  const std::uint32_t lo = other.nGetTailleUtile();
  if (lo == 0) return true;
  return lo <= nGetTailleUtile() && std::memcmp(m_pData, other.m_pData, lo) == 0;
}

bool CTNBIN::bTerminePar(const CTNBIN& other) const {
  const std::uint32_t lo = other.nGetTailleUtile();
  if (lo == 0) return true;
  const std::uint32_t nLength = nGetTailleUtile();
  return lo <= nLength && std::memcmp(m_pData + nLength - lo, other.m_pData, lo) == 0;
}

bool CTNBIN::bContient(const CTNBIN& other) const {
  const std::uint32_t lo = other.nGetTailleUtile();
  return lo == 0 || nPos(other.m_pData, static_cast<long>(lo), 0) >= 0;
}

int CTNBIN::nCompare(const CTNBIN& a, const CTNBIN& b) {
  const std::uint32_t la = a.nGetTailleUtile();
  const std::uint32_t lb = b.nGetTailleUtile();
  const std::uint32_t n = la < lb ? la : lb;
  const int c = n != 0 ? std::memcmp(a.m_pData, b.m_pData, n) : 0;
  if (c != 0) return c < 0 ? -1 : 1;
  return la < lb ? -1 : (la > lb ? 1 : 0);
}

int CTNBIN::nCompare(const CTNBIN& a, const CTNBIN& b, long n) {
  const std::uint32_t la = a.nGetTailleUtile();
  const std::uint32_t lb = b.nGetTailleUtile();
  if (n > static_cast<long>(la < lb ? la : lb)) return nCompare(a, b);
  if (n <= 0) return 0;
  const int c = std::memcmp(a.m_pData, b.m_pData, static_cast<std::size_t>(n));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CTNBIN::nAffecteToANSI(const wchar_t* wide, long count, unsigned int codePage,
                           unsigned int flags, const char* defaultChar, int* usedDefault,
                           long extra) {
  if (wide != nullptr && count == -1) count = static_cast<long>(std::wcslen(wide));
  void* block = nullptr;
  int r = 0;
  if (wide != nullptr && count > 0)
    r = SharedBlock::nWideToBytes(&block, wide, count, 0, codePage, flags, defaultChar,
                                  usedDefault, extra);
  _Attach(block);
  return r;
}

int CTNBIN::nAffecteToANSI(const CTNBIN* wideBuffer, unsigned int codePage, unsigned int flags,
                           const char* defaultChar, int* usedDefault, long extra) {
  // Held so that the source survives when it is this very buffer.
  const CTNBIN tw = wideBuffer != nullptr ? *wideBuffer : CTNBIN();
  const long nChars = static_cast<long>(tw.nGetTailleUtile() / sizeof(wchar_t));
  void* block = nullptr;
  int r = 0;
  if (nChars > 0)
    r = SharedBlock::nWideToBytes(&block, reinterpret_cast<const wchar_t*>(tw.m_pData), nChars,
                                  tw.dwGetFlags(), codePage, flags, defaultChar, usedDefault,
                                  extra);
  _Attach(block);
  return r;
}

int CTNBIN::nAffecteToUNICODE(const char* text, long length, unsigned int codePage,
                              unsigned int flags) {
  if (text != nullptr && length == -1) length = static_cast<long>(std::strlen(text));
  void* block = nullptr;
  int r = 0;
  if (text != nullptr && length > 0)
    r = SharedBlock::nBytesToWide(&block, text, length, 0, codePage, flags, 0);
  _Attach(block);
  return r;
}
