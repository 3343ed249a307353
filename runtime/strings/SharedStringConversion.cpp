#include "SharedStringConversion.h"

#include <type_traits>

#include "CodePage.h"
#include "SharedStringBlock.h"
#include "StrFunctions.h"
#include "XMalloc.h"

namespace SharedBlock {

namespace {

template <typename T>
constexpr T kMarker = static_cast<T>(~static_cast<std::make_unsigned_t<T>>(0));

// Target of a conversion: a shared block, or a plain NUL-terminated block
// from XMALLOC_pNew_.
template <typename Dst>
struct SharedTarget {
  void* block = nullptr;
  int Allocate(std::int64_t units) {
    return nAllocate(&block, static_cast<std::uint64_t>(units) * sizeof(Dst), 0);
  }
  Dst* Data() { return static_cast<Dst*>(block); }
  void Discard() { Release(&block); }
  void Finish(long written, bool bMarker) {
    STSharedBlockHeader* h = pHeader(block);
    h->nLength = static_cast<std::uint32_t>(written * sizeof(Dst));
    h->dwFlags = bMarker ? kEndMarkerFlag : 0;
    WriteTerminator(block);
  }
};

template <typename Dst>
struct PlainTarget {
  Dst* block = nullptr;
  int Allocate(std::int64_t units) {
    block = static_cast<Dst*>(XMALLOC_pNew_(static_cast<std::size_t>(units) * sizeof(Dst)));
    return block != nullptr ? 0 : kNoAllocator;
  }
  Dst* Data() { return block; }
  void Discard() {
    XMALLOC_Del_(block);
    block = nullptr;
  }
  void Finish(long written, bool) { block[written] = 0; }
};

// The shared part of every direction and target. `convert(n, out, room)`
// converts the first n source units; with a null `out` it answers the units
// needed.
template <typename Src, typename Dst, typename Target, typename Convert>
int nConvert(Target& target, const Src* source, long count, std::uint32_t sourceFlags,
             bool bMarkerKept, long extra, Convert convert) {
  if (source == nullptr || count <= 0) return 0;
  if (bTooLarge(count, sizeof(Src))) return kTooLarge;
  if (extra < 0) extra = 0;

  const bool bMarker = bMarkerKept && (sourceFlags & kEndMarkerFlag) != 0 &&
                       source[count - 1] == kMarker<Src>;
  const long nSource = bMarker ? count - 1 : count;

  const long nNeeded = nSource > 0 ? convert(nSource, nullptr, 0) : 0;
  if (nNeeded <= 0 && !bMarker) return kNothingConverted;

  const std::int64_t nRoom =
      static_cast<std::int64_t>(nNeeded > 0 ? nNeeded : 0) + extra + 1 + (bMarker ? 1 : 0);
  if (bTooLarge(nRoom, sizeof(Dst))) return kTooLarge;
  const int n = target.Allocate(nRoom);
  if (n != 0) return n;

  Dst* out = target.Data();
  long nWritten = nNeeded > 0 ? convert(nSource, out, nNeeded) : 0;
  if (nWritten < 0) nWritten = 0;
  if (nWritten == 0 && !bMarker) {
    target.Discard();
    return kNothingConverted;
  }
  if (bMarker) out[nWritten++] = kMarker<Dst>;
  target.Finish(nWritten, bMarker);
  return 0;
}

template <typename Target>
int nWideToBytesInto(Target& target, const wchar_t* source, long count, std::uint32_t sourceFlags,
                     unsigned int codePage, unsigned int flags, const char* defaultChar,
                     int* usedDefault, long extra) {
  return nConvert<wchar_t, char>(
      target, source, count, sourceFlags, codePage != CP_UTF8, extra,
      [&](long n, char* out, long room) -> long {
        return WideCharToMultiByte(codePage, flags, source, static_cast<int>(n), out,
                                   static_cast<int>(room), defaultChar, usedDefault);
      });
}

template <typename Target>
int nBytesToWideInto(Target& target, const char* source, long count, std::uint32_t sourceFlags,
                     unsigned int codePage, unsigned int flags, long extra) {
  const bool bTable = codePage == 1252 && flags == 0;
  return nConvert<char, wchar_t>(
      target, source, count, sourceFlags, true, extra,
      [&](long n, wchar_t* out, long room) -> long {
        // The table maps byte for byte: the count is the byte count.
        if (bTable) return out == nullptr ? n : STR_CP1252ToWideChar(source, n, out, room);
        return MultiByteToWideChar(codePage, flags, source, static_cast<int>(n), out,
                                   static_cast<int>(room));
      });
}

}  // namespace

int nWideToBytes(void** ppOut, const wchar_t* source, long count, std::uint32_t sourceFlags,
                 unsigned int codePage, unsigned int flags, const char* defaultChar,
                 int* usedDefault, long extra) {
  SharedTarget<char> target;
  const int n = nWideToBytesInto(target, source, count, sourceFlags, codePage, flags, defaultChar,
                                 usedDefault, extra);
  *ppOut = target.block;
  return n;
}

int nBytesToWide(void** ppOut, const char* source, long count, std::uint32_t sourceFlags,
                 unsigned int codePage, unsigned int flags, long extra) {
  SharedTarget<wchar_t> target;
  const int n = nBytesToWideInto(target, source, count, sourceFlags, codePage, flags, extra);
  *ppOut = target.block;
  return n;
}

int nWideToBytesPlain(char** ppOut, const wchar_t* source, long count, std::uint32_t sourceFlags,
                      unsigned int codePage) {
  PlainTarget<char> target;
  const int n =
      nWideToBytesInto(target, source, count, sourceFlags, codePage, 0, nullptr, nullptr, 0);
  *ppOut = target.block;
  return n;
}

int nBytesToWidePlain(wchar_t** ppOut, const char* source, long count, std::uint32_t sourceFlags,
                      unsigned int codePage) {
  PlainTarget<wchar_t> target;
  const int n = nBytesToWideInto(target, source, count, sourceFlags, codePage, 0, 0);
  *ppOut = target.block;
  return n;
}

}  // namespace SharedBlock
