#include "RecordingLocale.h"

#include <cstring>
#include <cwchar>

namespace {

std::wstring Widen(const char* s, int len) {
  if (s == nullptr) return L"<null>";
  const std::size_t n = len < 0 ? std::strlen(s) : static_cast<std::size_t>(len);
  std::wstring out;
  for (std::size_t i = 0; i < n; ++i) out += static_cast<wchar_t>(static_cast<unsigned char>(s[i]));
  return out;
}

std::wstring Copy(const wchar_t* s, int len) {
  if (s == nullptr) return L"<null>";
  return std::wstring(s, len < 0 ? std::wcslen(s) : static_cast<std::size_t>(len));
}

wchar_t FoldUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? c - 32 : c; }

}  // namespace

std::vector<stLocaleCall> CRecordingLocale::TextCalls() const {
  std::vector<stLocaleCall> calls;
  for (const stLocaleCall& call : m_tabCalls) {
    if (call.nSlot >= 5 && call.nSlot <= 14) calls.push_back(call);
  }
  return calls;
}

void CRecordingLocale::Record(int slot, unsigned lcid, unsigned flags, int len1, int len2,
                              std::wstring text1, std::wstring text2, bool nullDestination) {
  m_tabCalls.push_back({slot, lcid, flags, len1, len2, std::move(text1), std::move(text2),
                        nullDestination});
}

int CRecordingLocale::vnGetCurrentCharset() {
  Record(2, 0, 0, 0, 0, L"", L"");
  return m_nCharset;
}

int CRecordingLocale::vnGetCurrentCodePage() {
  Record(3, 0, 0, 0, 0, L"", L"");
  return m_nCodePage;
}

unsigned int CRecordingLocale::vnGetCurrentLCID() {
  Record(4, 0, 0, 0, 0, L"", L"");
  const unsigned lcid = m_nLCID;
  m_nLCID += m_nLCIDStep;
  return lcid;
}

unsigned int CRecordingLocale::vnGetSafeCurrentLCID() {
  Record(15, 0, 0, 0, 0, L"", L"");
  return m_nSafeLCID;
}

int CRecordingLocale::Compare(unsigned flags, const std::wstring& a, const std::wstring& b) const {
  if (m_nForcedCompare) return *m_nForcedCompare;
  std::wstring x = a;
  std::wstring y = b;
  if ((flags & 1) != 0) {
    for (wchar_t& c : x) c = FoldUpper(c);
    for (wchar_t& c : y) c = FoldUpper(c);
  }
  const int r = x.compare(y);
  return r == 0 ? 0 : (r > 0 ? 1 : 2);
}

template <typename T>
int CRecordingLocale::Map(unsigned flags, T* dst, int dstSize, const std::wstring& src) {
  if (m_bFillDestination && dst != nullptr && dstSize > 0) {
    for (int i = 0; i < dstSize; ++i) dst[i] = 'Z';
    return m_nFillAnswer != 0 ? m_nFillAnswer : dstSize;
  }
  std::wstring out;
  for (wchar_t c : src) {
    if ((flags & 4) != 0 && c < 128 && (c == L' ' || c == L'\t' || (c > 32 && c < 127 &&
        !(c >= L'0' && c <= L'9') && !(c >= L'a' && c <= L'z') && !(c >= L'A' && c <= L'Z')))) {
      continue;
    }
    if ((flags & 1) != 0) {
      c = FoldUpper(c);
    } else if ((flags & 0x100) != 0 && c >= L'A' && c <= L'Z') {
      c += 32;
    }
    out += c;
  }
  if (dst == nullptr || dstSize <= 0) return static_cast<int>(out.size());
  int n = 0;
  for (; n < dstSize && n < static_cast<int>(out.size()); ++n) dst[n] = static_cast<T>(out[n]);
  return n;
}

int CRecordingLocale::vnCompareA(unsigned int nLCID, unsigned int nFlags, const char* s1,
                                 int nLen1, const char* s2, int nLen2) {
  Record(5, nLCID, nFlags, nLen1, nLen2, Widen(s1, nLen1), Widen(s2, nLen2));
  return Compare(nFlags, Widen(s1, nLen1), Widen(s2, nLen2));
}

int CRecordingLocale::vnCompareW(unsigned int nLCID, unsigned int nFlags, const wchar_t* s1,
                                 int nLen1, const wchar_t* s2, int nLen2) {
  Record(6, nLCID, nFlags, nLen1, nLen2, Copy(s1, nLen1), Copy(s2, nLen2));
  return Compare(nFlags, Copy(s1, nLen1), Copy(s2, nLen2));
}

int CRecordingLocale::vnCompareCurrentA(unsigned int nFlags, const char* s1, int nLen1,
                                        const char* s2, int nLen2) {
  Record(7, 0, nFlags, nLen1, nLen2, Widen(s1, nLen1), Widen(s2, nLen2));
  return Compare(nFlags, Widen(s1, nLen1), Widen(s2, nLen2));
}

int CRecordingLocale::vnCompareCurrentW(unsigned int nFlags, const wchar_t* s1, int nLen1,
                                        const wchar_t* s2, int nLen2) {
  Record(8, 0, nFlags, nLen1, nLen2, Copy(s1, nLen1), Copy(s2, nLen2));
  return Compare(nFlags, Copy(s1, nLen1), Copy(s2, nLen2));
}

int CRecordingLocale::vnSortKeyA(unsigned int nLCID, unsigned char* pDst, int nDstSize,
                                 const char* pSrc, int nSrcLen) {
  Record(9, nLCID, 0, nSrcLen, nDstSize, Widen(pSrc, nSrcLen), L"", pDst == nullptr);
  const int n = nSrcLen < 0 ? static_cast<int>(std::strlen(pSrc)) : nSrcLen;
  if (pDst == nullptr || nDstSize <= 0) return n;
  const int written = n < nDstSize ? n : nDstSize;
  std::memmove(pDst, pSrc, static_cast<std::size_t>(written));
  return written;
}

int CRecordingLocale::vnMapA(unsigned int nLCID, unsigned int nFlags, char* pDst, int nDstSize,
                             const char* pSrc, int nSrcLen) {
  Record(11, nLCID, nFlags, nSrcLen, nDstSize, Widen(pSrc, nSrcLen), L"", pDst == nullptr);
  return Map(nFlags, pDst, nDstSize, Widen(pSrc, nSrcLen));
}

int CRecordingLocale::vnMapW(unsigned int nLCID, unsigned int nFlags, wchar_t* pDst,
                             int nDstSize, const wchar_t* pSrc, int nSrcLen) {
  Record(12, nLCID, nFlags, nSrcLen, nDstSize, Copy(pSrc, nSrcLen), L"", pDst == nullptr);
  return Map(nFlags, pDst, nDstSize, Copy(pSrc, nSrcLen));
}

int CRecordingLocale::vnMapCurrentA(unsigned int nFlags, char* pDst, int nDstSize,
                                    const char* pSrc, int nSrcLen) {
  Record(13, 0, nFlags, nSrcLen, nDstSize, Widen(pSrc, nSrcLen), L"", pDst == nullptr);
  return Map(nFlags, pDst, nDstSize, Widen(pSrc, nSrcLen));
}

int CRecordingLocale::vnMapCurrentW(unsigned int nFlags, wchar_t* pDst, int nDstSize,
                                    const wchar_t* pSrc, int nSrcLen) {
  Record(14, 0, nFlags, nSrcLen, nDstSize, Copy(pSrc, nSrcLen), L"", pDst == nullptr);
  return Map(nFlags, pDst, nDstSize, Copy(pSrc, nSrcLen));
}
