// TestSource: a data-source description of the runtime's kind with neutral
// answers, for driver tests and as the base of richer test descriptions.
//
// Versions 6 and 1; no item, key or memo; sizes 0; every text empty except
// the logical, physical and server names, which answer the name a test gives
// with SetName (null until then). It counts the external references the
// library holds on it (nExternalCount) and is never deleted through them.
// Subclasses override what they describe.
//
// Needs no stand-in library.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "INADataSourceDescription.h"

namespace kxtest {

class TestSource : public INADataSourceDescription {
 public:
  TestSource() = default;
  TestSource(const TestSource&) = delete;
  TestSource& operator=(const TestSource&) = delete;
  virtual ~TestSource() = default;

  std::uint32_t nGetVersion() override { return 6; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 0xFFFFFFFFu; }
  std::uint32_t nGetNACompatSince() override { return 0xFFFFFFFFu; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override { ++nExternalCount; }
  std::uint32_t nExternalRelease() override { return nExternalCount > 0 ? --nExternalCount : 0; }
  const wchar_t* pszGetLogicalName() override { return pszName(); }
  const wchar_t* pszGetPhysicalName() override { return pszName(); }
  const wchar_t* pszGetDefaultDirectory() override { return L""; }
  std::uint32_t nGetDiskRecordSize() override { return 0; }
  std::uint32_t nGetMemoryRecordSize() override { return nGetDiskRecordSize(); }
  std::uint32_t nGetNumItems() override { return 0; }
  std::uint32_t nGetNumKeys() override { return 0; }
  std::uint32_t nGetNumMemos() override { return 0; }
  std::uint32_t nGetNumItemPhysicallyInFic() override { return 0; }
  INAItemDescription* piNAGetItem(const wchar_t*) override { return nullptr; }
  INAItemDescription* piNAGetItem(std::uint32_t) override { return nullptr; }
  INAItemDescription* piNAGetKey(std::uint32_t) override { return nullptr; }
  INAItemDescription* piNAGetMemo(std::uint32_t) override { return nullptr; }
  int eGetNASubDataType() override { return 1; }
  const wchar_t* pszGetDBTableName() override { return pszName(); }
  INAItemDescription* piGetBestParseItemDesc() override { return nullptr; }
  const wchar_t* pszGetExtendedInfo() override { return L""; }
  const wchar_t* pszGetType() override { return L""; }
  const wchar_t* pszGetOwner() override { return L""; }
  const wchar_t* pszGetDefaultDatabase() override { return L""; }
  const wchar_t* pszGetExtension() override { return nullptr; }
  const wchar_t* pszGetCaption() override { return nullptr; }
  int bGetNullSupported() override { return 1; }
  void EmptySlot137() override {}
  void EmptySlot138() override {}
  void EmptySlot139() override {}
  void EmptySlot140() override {}
  void EmptySlot141() override {}
  void EmptySlot142() override {}
  void EmptySlot143() override {}
  void EmptySlot144() override {}
  void EmptySlot145() override {}
  void EmptySlot146() override {}

  void SetName(const wchar_t* name) {
    m_bNamed = name != nullptr;
    m_sName = name != nullptr ? name : L"";
  }
  const wchar_t* pszName() const { return m_bNamed ? m_sName.c_str() : nullptr; }

  std::atomic<std::uint32_t> nExternalCount{0};

 private:
  bool m_bNamed = false;
  std::wstring m_sName;
};

}  // namespace kxtest
