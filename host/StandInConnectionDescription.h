// The stand-in runtime's description of one database connection
// (INAConnectionDescription), for tests: every answer is a field the test
// sets.
//
// Texts are optional: an unset text is answered as null, which the library
// tells apart from the empty text. External references (slots 5, 6) are
// counted; a release below 0 and asking the cache size (slot 22) of a
// description whose version (slot 0) is 3 or less are misuses: each is
// counted and reported through the misuse reporter, which by default
// writes the misuse to stderr and aborts (a test may install its own, such
// as one adding a test failure). The placeholder slots abort too: the
// library never calls them.
//
// The object belongs to the test; it must outlive every connection built
// on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "INAConnectionDescription.h"

class CStandInConnectionDescription final : public INAConnectionDescription {
 public:
  using PFN_MISUSE = void (*)(const char* pszWhat);

  CStandInConnectionDescription() = default;
  ~CStandInConnectionDescription() = default;
  CStandInConnectionDescription(const CStandInConnectionDescription&) = delete;
  CStandInConnectionDescription& operator=(const CStandInConnectionDescription&) = delete;

  // ---- Answers (null texts unless set) ----
  std::uint32_t m_nVersion = 4;
  std::optional<std::wstring> m_osUserName;
  std::optional<std::wstring> m_osPassword;
  std::optional<std::wstring> m_osDataSource;
  std::optional<std::wstring> m_osDescription;
  int m_nAccess = 0;
  int m_nNbParam = 0;
  INAConnectionParameter* m_piParam = nullptr;  // answered for every index
  std::optional<std::wstring> m_osProvider;
  int m_nConnectionTimeout = -1;
  int m_nCommandTimeout = -1;
  std::optional<std::wstring> m_osExtendedInfo;
  std::optional<std::wstring> m_osConnectionName;  // the connection object's name
  std::int32_t m_lCursorOptions = 0;
  std::optional<std::wstring> m_osDefaultDataBase;
  std::int64_t m_llCacheSize = -2;
  std::optional<std::wstring> m_osLogicalConnectionName;

  // ---- What the library did ----
  std::uint32_t m_nExternalCount = 0;
  int m_nCacheSizeQueries = 0;
  int m_nMisuses = 0;

  // Installs the reporter of misuses (null: the default one) and returns
  // the one it replaces. Process-wide.
  static PFN_MISUSE s_SetMisuseReporter(PFN_MISUSE pfn);

  // ---- INAConnectionDescription ----
  std::uint32_t nGetVersion() override { return m_nVersion; }
  std::uint32_t nGetCompatSince() override;
  std::uint32_t nGetNAVersion() override;
  std::uint32_t nGetNACompatSince() override;
  void NAVersion_EmptySlot_3() override;
  void ExternalAddRef() override { ++m_nExternalCount; }
  std::uint32_t nExternalRelease() override;
  const wchar_t* pszGetUserName() override { return _psz(m_osUserName); }
  const wchar_t* pszGetPassword() override { return _psz(m_osPassword); }
  const wchar_t* pszGetDataSource() override { return _psz(m_osDataSource); }
  const wchar_t* pszGetDescription() override { return _psz(m_osDescription); }
  int nGetAccess() override { return m_nAccess; }
  int nGetNbParam() override { return m_nNbParam; }
  INAConnectionParameter* piGetParam(int /*nIndex*/) override { return m_piParam; }
  const wchar_t* pszGetProvider() override { return _psz(m_osProvider); }
  int nGetConnectionTimeout() override { return m_nConnectionTimeout; }
  int nGetCommandTimeout() override { return m_nCommandTimeout; }
  const wchar_t* pszGetExtendedInfo() override { return _psz(m_osExtendedInfo); }
  const stNAConnectionObject* pstGetConnectionObject() override;
  std::int32_t lGetCursorOptions() override { return m_lCursorOptions; }
  void EmptySlot20() override;
  const wchar_t* pszGetDefaultDataBase() override { return _psz(m_osDefaultDataBase); }
  std::int64_t llGetCacheSize() override;
  void EmptySlot23() override;
  void EmptySlot24() override;
  const wchar_t* pszGetLogicalConnectionName() override { return _psz(m_osLogicalConnectionName); }

 private:
  static const wchar_t* _psz(const std::optional<std::wstring>& os) {
    return os ? os->c_str() : nullptr;
  }
  void _Misuse(const char* pszWhat);

  stNAConnectionObject m_stConnectionObject{nullptr};
};
