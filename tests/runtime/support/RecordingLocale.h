// A locale interface for tests that records every call (slot, LCID, flags,
// lengths and texts) and answers in a simple, predictable way:
// - compares are ordinal over the given lengths (ASCII case folded under flag
//   0x1) and answer 0 equal, 1 after and 2 before, unless an answer is forced;
// - maps write ASCII upper case under 0x1, lower case under 0x100 and drop
//   ASCII white space and punctuation under 0x4; other characters are copied.
//   They answer the units written, or with a null destination / size 0 the
//   units needed. With m_bFillDestination they instead fill every unit of the
//   destination with 'Z' and answer m_nFillAnswer (the size when 0);
// - the sort key copies the bytes.
// Slot 4 answers m_nLCID, and then adds m_nLCIDStep to it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CInformationDLL.h"
#include "IInfoLocale.h"

struct stLocaleCall {
  int nSlot;
  unsigned nLCID;  // 0 for the slots that take none
  unsigned nFlags;
  int nLen1;       // compare: first length; map and sort key: source length
  int nLen2;       // compare: second length; map and sort key: destination size
  std::wstring sText1;  // compare: first text; map: source (8-bit text widened)
  std::wstring sText2;  // compare: second text
  bool bNullDestination;
};

class CRecordingLocale : public IInfoLocale {
 public:
  std::vector<stLocaleCall> m_tabCalls;
  int m_nCharset = 0;
  int m_nCodePage = 1252;
  unsigned m_nLCID = 0x409;
  unsigned m_nLCIDStep = 0;
  unsigned m_nSafeLCID = 0x40C;
  std::optional<int> m_nForcedCompare;
  bool m_bFillDestination = false;
  int m_nFillAnswer = 0;

  // Calls of the text slots (5 to 14), in order; the information slots are
  // left out.
  std::vector<stLocaleCall> TextCalls() const;

  void vReserved0() override {}
  void vReserved1() override {}
  void vReserved10() override {}
  int vnGetCurrentCharset() override;
  int vnGetCurrentCodePage() override;
  unsigned int vnGetCurrentLCID() override;
  unsigned int vnGetSafeCurrentLCID() override;
  int vnCompareA(unsigned int nLCID, unsigned int nFlags, const char* s1, int nLen1,
                 const char* s2, int nLen2) override;
  int vnCompareW(unsigned int nLCID, unsigned int nFlags, const wchar_t* s1, int nLen1,
                 const wchar_t* s2, int nLen2) override;
  int vnCompareCurrentA(unsigned int nFlags, const char* s1, int nLen1, const char* s2,
                        int nLen2) override;
  int vnCompareCurrentW(unsigned int nFlags, const wchar_t* s1, int nLen1, const wchar_t* s2,
                        int nLen2) override;
  int vnSortKeyA(unsigned int nLCID, unsigned char* pDst, int nDstSize, const char* pSrc,
                 int nSrcLen) override;
  int vnMapA(unsigned int nLCID, unsigned int nFlags, char* pDst, int nDstSize, const char* pSrc,
             int nSrcLen) override;
  int vnMapW(unsigned int nLCID, unsigned int nFlags, wchar_t* pDst, int nDstSize,
             const wchar_t* pSrc, int nSrcLen) override;
  int vnMapCurrentA(unsigned int nFlags, char* pDst, int nDstSize, const char* pSrc,
                    int nSrcLen) override;
  int vnMapCurrentW(unsigned int nFlags, wchar_t* pDst, int nDstSize, const wchar_t* pSrc,
                    int nSrcLen) override;

 private:
  void Record(int slot, unsigned lcid, unsigned flags, int len1, int len2, std::wstring text1,
              std::wstring text2, bool nullDestination = false);
  int Compare(unsigned flags, const std::wstring& a, const std::wstring& b) const;
  template <typename T>
  int Map(unsigned flags, T* dst, int dstSize, const std::wstring& src);
};

// Installs a locale as the runtime's for the lifetime of the object.
class CInstalledLocale {
 public:
  explicit CInstalledLocale(IInfoLocale* locale) : m_piSaved(CInformationDLL::ms_piInfoLocale) {
    CInformationDLL::ms_piInfoLocale = locale;
  }
  ~CInstalledLocale() { CInformationDLL::ms_piInfoLocale = m_piSaved; }
  CInstalledLocale(const CInstalledLocale&) = delete;
  CInstalledLocale& operator=(const CInstalledLocale&) = delete;

 private:
  IInfoLocale* m_piSaved;
};
