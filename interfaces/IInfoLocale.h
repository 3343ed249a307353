// The runtime's locale interface (information item 12, or the locale
// message): every case, accent, punctuation and collation decision of the
// string functions is delegated to it.
//
// Slot order is fixed by the runtime; slots 0, 1 and 10 exist only to keep
// that order and are never called. No other virtual member may be added (not
// even a destructor): it would shift the slots. Lengths are counts of
// characters, -1 meaning up to the NUL. Compares answer 0 equal, 1 when the
// first text sorts after the second, any other value when before. Maps and
// sort keys answer the units written; with a null destination and size 0,
// the units needed.
#pragma once

class IInfoLocale {
 public:
  virtual void vReserved0() = 0;                                         // 0
  virtual void vReserved1() = 0;                                         // 1
  virtual int vnGetCurrentCharset() = 0;                                 // 2
  virtual int vnGetCurrentCodePage() = 0;                                // 3
  virtual unsigned int vnGetCurrentLCID() = 0;                           // 4
  virtual int vnCompareA(unsigned int nLCID, unsigned int nFlags, const char* s1, int nLen1,
                         const char* s2, int nLen2) = 0;                 // 5
  virtual int vnCompareW(unsigned int nLCID, unsigned int nFlags, const wchar_t* s1, int nLen1,
                         const wchar_t* s2, int nLen2) = 0;              // 6
  virtual int vnCompareCurrentA(unsigned int nFlags, const char* s1, int nLen1, const char* s2,
                                int nLen2) = 0;                          // 7
  virtual int vnCompareCurrentW(unsigned int nFlags, const wchar_t* s1, int nLen1,
                                const wchar_t* s2, int nLen2) = 0;       // 8
  virtual int vnSortKeyA(unsigned int nLCID, unsigned char* pDst, int nDstSize, const char* pSrc,
                         int nSrcLen) = 0;                               // 9
  virtual void vReserved10() = 0;                                        // 10
  virtual int vnMapA(unsigned int nLCID, unsigned int nFlags, char* pDst, int nDstSize,
                     const char* pSrc, int nSrcLen) = 0;                 // 11
  virtual int vnMapW(unsigned int nLCID, unsigned int nFlags, wchar_t* pDst, int nDstSize,
                     const wchar_t* pSrc, int nSrcLen) = 0;              // 12
  virtual int vnMapCurrentA(unsigned int nFlags, char* pDst, int nDstSize, const char* pSrc,
                            int nSrcLen) = 0;                            // 13
  virtual int vnMapCurrentW(unsigned int nFlags, wchar_t* pDst, int nDstSize, const wchar_t* pSrc,
                            int nSrcLen) = 0;                            // 14
  virtual unsigned int vnGetSafeCurrentLCID() = 0;                       // 15
};
