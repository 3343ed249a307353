// kxhost's own runtime objects for the driver: the description of the one
// connection it opens, and a database-engine host without linguistic keys.
//
// kxhost links no runtime code, so these are small self-contained
// implementations of the runtime's interfaces.
//
// CKxHostConnection answers its fields as set by kxhost: a field left empty
// is answered as null ("not given"). The server's TCP port and Unix socket
// travel in the extended information ("Server Port=...;Unix Socket=..."),
// as the runtime passes them. External references (slots 5, 6) are counted;
// the object belongs to kxhost and must outlive the driver's use of it (the
// driver gives its references back when the connection closes). Slots the
// library never calls answer neutral values.
//
// CKxHostXQ gives no text converter: keys are built without linguistic
// handling. Its reserved slots do nothing. It must outlive the driver.
#pragma once

#include <cstdint>
#include <string>

#include "INAConnectionDescription.h"
#include "IXQForNA.h"

class CKxHostConnection final : public INAConnectionDescription {
 public:
  CKxHostConnection() = default;
  ~CKxHostConnection() = default;
  CKxHostConnection(const CKxHostConnection&) = delete;
  CKxHostConnection& operator=(const CKxHostConnection&) = delete;

  // Fills the fields from the command line's values (UTF-8 or ASCII);
  // `nPort` 0 and empty texts leave the corresponding field unset.
  void Set(const std::string& sHost, unsigned int nPort, const std::string& sSocket,
           const std::string& sUser, const std::string& sPassword, const std::string& sDatabase);

  // Appends one "name=value" setting to the extended information (after
  // those Set wrote); call it after Set.
  void AddExtended(const std::wstring& sSetting) {
    if (!m_sExtended.empty()) m_sExtended += L";";
    m_sExtended += sSetting;
  }

  // External references the driver holds now.
  std::uint32_t nGetExternalCount() const { return m_nExternalCount; }

  // ---- INAConnectionDescription ----
  std::uint32_t nGetVersion() override { return 4; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 4; }
  std::uint32_t nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override { ++m_nExternalCount; }
  std::uint32_t nExternalRelease() override;
  const wchar_t* pszGetUserName() override { return _psz(m_sUser); }
  const wchar_t* pszGetPassword() override { return _psz(m_sPassword); }
  const wchar_t* pszGetDataSource() override { return _psz(m_sServer); }
  const wchar_t* pszGetDescription() override { return nullptr; }
  int nGetAccess() override { return 0; }
  int nGetNbParam() override { return 0; }
  INAConnectionParameter* piGetParam(int /*nIndex*/) override { return nullptr; }
  const wchar_t* pszGetProvider() override { return nullptr; }
  int nGetConnectionTimeout() override { return -1; }
  int nGetCommandTimeout() override { return -1; }
  const wchar_t* pszGetExtendedInfo() override { return _psz(m_sExtended); }
  const stNAConnectionObject* pstGetConnectionObject() override { return &m_stObject; }
  std::int32_t lGetCursorOptions() override { return 0; }
  void EmptySlot20() override {}
  const wchar_t* pszGetDefaultDataBase() override { return _psz(m_sDatabase); }
  std::int64_t llGetCacheSize() override { return -1; }
  void EmptySlot23() override {}
  void EmptySlot24() override {}
  const wchar_t* pszGetLogicalConnectionName() override { return m_sName.c_str(); }

 private:
  static const wchar_t* _psz(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

  std::wstring m_sName = L"kxhost";
  std::wstring m_sServer, m_sUser, m_sPassword, m_sDatabase, m_sExtended;
  stNAConnectionObject m_stObject{m_sName.c_str()};
  std::uint32_t m_nExternalCount = 0;
};

class CKxHostXQ final : public IXQForNA {
 public:
  void _Reserved0() override {}
  void _Reserved1() override {}
  void _Reserved2() override {}
  void _Reserved3() override {}
  void _Reserved4() override {}
  void _Reserved5() override {}
  void _Reserved6() override {}
  IXQTextConverter* piGetTextConverter(int /*bIgnoreCase*/, int /*bNoAccent*/,
                                       std::size_t /*nBytes*/, unsigned short /*nOptions*/,
                                       int /*bFourByteInput*/) override {
    return nullptr;
  }
};
