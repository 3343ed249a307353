// The runtime's objects a driver test passes in: contexts and data-source
// descriptions, as plain objects with the answers a test sets.
//
// FakeContext(n) and FakeSource(n) give process-wide objects (n below 64)
// that live until the program ends, so tests and threads may share them:
// context n answers 0x1000 + 16 n as its identifier (a test may change it
// with SetNumber before other threads use it); source n answers the name a
// test gives it with SetName (null until then) and counts the external
// references the library holds on it.
//
// Needs no stand-in library.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "INAContext.h"
#include "INADataSourceDescription.h"

namespace kxtest {

class TestContext : public INAContext {
 public:
  std::uint32_t nGetVersion() override { return 1; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 1; }
  std::uint32_t nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void Reserved5() override {}
  void Reserved6() override {}
  void Reserved7() override {}
  std::uint64_t dwGetContextID() override { return nNumber; }
  std::uint64_t dwGetDataID() override { return nDataNumber; }

  void SetNumber(std::uint64_t n) { nNumber = n; }

  std::uint64_t nNumber = 0;
  std::uint64_t nDataNumber = 0;
};

class TestSource : public INADataSourceDescription {
 public:
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
  std::uint32_t nGetMemoryRecordSize() override { return 0; }
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
    bNamed = name != nullptr;
    sName = name != nullptr ? name : L"";
  }
  const wchar_t* pszName() const { return bNamed ? sName.c_str() : nullptr; }

  std::atomic<std::uint32_t> nExternalCount{0};

 private:
  bool bNamed = false;
  std::wstring sName;
};

// Process-wide context n and source n (n below 64).
TestContext* FakeContext(unsigned int n);
TestSource* FakeSource(unsigned int n);

}  // namespace kxtest
