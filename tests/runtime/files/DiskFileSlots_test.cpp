// Streams are handed between modules and called through their virtual
// tables, so every operation of IXStream and CDiskFile must sit in its fixed
// slot. Under the Itanium C++ ABI a pointer to a virtual member function
// holds 1 + (its byte offset in the virtual table); the destructor takes
// slots 0 and 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "CDiskFile.h"
#include "IXStream.h"

namespace {

struct STMemberPointer {
  std::uintptr_t nPtr;
  std::ptrdiff_t nAdj;
};

template <typename C, typename F>
long SlotOf(F C::*pmf) {
  static_assert(sizeof(pmf) == sizeof(STMemberPointer), "Itanium member-function pointer");
  STMemberPointer st;
  std::memcpy(&st, &pmf, sizeof(st));
  if ((st.nPtr & 1) == 0) return -1;
  return static_cast<long>((st.nPtr - 1) / sizeof(void*));
}

// A virtual member added anywhere moves this one.
struct CStreamProbe : CDiskFile {
  virtual void vProbe();
};

using S = IXStream;

TEST(DiskFileSlots, StreamOperationsSitInTheirSlots) {
  EXPECT_EQ(SlotOf(&S::dwRelease), 2);
  EXPECT_EQ(SlotOf(&S::bOpen), 3);
  EXPECT_EQ(SlotOf(&S::Close), 4);
  EXPECT_EQ(SlotOf(&S::bReopen), 5);
  EXPECT_EQ(
      SlotOf(static_cast<bool (S::*)(std::int64_t, const void*, unsigned, unsigned*)>(&S::bWrite)),
      6);
  EXPECT_EQ(SlotOf(static_cast<bool (S::*)(std::int64_t, void*, unsigned, unsigned*)>(&S::bRead)),
            7);
  EXPECT_EQ(SlotOf(static_cast<bool (S::*)(const void*, unsigned, unsigned*)>(&S::bWrite)), 8);
  EXPECT_EQ(SlotOf(static_cast<bool (S::*)(void*, unsigned, unsigned*)>(&S::bRead)), 9);
  EXPECT_EQ(SlotOf(&S::bSeek), 10);
  EXPECT_EQ(SlotOf(&S::oGetSize), 11);
  EXPECT_EQ(SlotOf(&S::oGetSizeFast), 12);
  EXPECT_EQ(SlotOf(&S::bFlush), 13);
  EXPECT_EQ(SlotOf(&S::bSetSize), 14);
  EXPECT_EQ(SlotOf(&S::bIncreaseSize), 15);
  EXPECT_EQ(SlotOf(static_cast<bool (S::*)(const char*, ...)>(&S::bWriteString)), 16);
  EXPECT_EQ(SlotOf(static_cast<bool (S::*)(const char*, va_list)>(&S::bWriteStringList)), 17);
  EXPECT_EQ(SlotOf(static_cast<bool (S::*)(const wchar_t*, ...)>(&S::bWriteString)), 18);
  EXPECT_EQ(SlotOf(static_cast<bool (S::*)(const wchar_t*, va_list)>(&S::bWriteStringList)), 19);
  EXPECT_EQ(SlotOf(static_cast<bool (S::*)(char*, int, int*, unsigned)>(&S::bReadLine)), 20);
  EXPECT_EQ(SlotOf(static_cast<bool (S::*)(wchar_t*, int, int*, unsigned)>(&S::bReadLine)), 21);
  EXPECT_EQ(SlotOf(&S::bExtract), 22);
  EXPECT_EQ(SlotOf(&S::bLockFile), 23);
  EXPECT_EQ(SlotOf(&S::bUnlockFile), 24);
  EXPECT_EQ(SlotOf(&S::bLock), 25);
  EXPECT_EQ(SlotOf(&S::bUnlock), 26);
  EXPECT_EQ(SlotOf(&S::pszGetName), 27);
  EXPECT_EQ(SlotOf(&S::oGetOffset), 28);
  EXPECT_EQ(SlotOf(&S::bIsOpen), 29);
  EXPECT_EQ(SlotOf(&S::pclGetXError), 30);
  EXPECT_EQ(SlotOf(&S::_pclGetXError), 31);
  EXPECT_EQ(SlotOf(&S::vbSetNameForError), 32);
  EXPECT_EQ(SlotOf(&S::veGetAccess), 33);
  EXPECT_EQ(SlotOf(&S::bGetVFSFileName), 34);
  EXPECT_EQ(SlotOf(&S::bLockFileEx), 35);
  EXPECT_EQ(SlotOf(&S::pszReadLine), 36);
  EXPECT_EQ(SlotOf(&S::bExtendFile), 37);
  EXPECT_EQ(SlotOf(&S::vReserved38), 38);
  EXPECT_EQ(SlotOf(&S::vReserved51), 51);

  using D = CDiskFile;
  EXPECT_EQ(
      SlotOf(static_cast<bool (D::*)(const wchar_t*, std::int64_t, std::int64_t)>(&D::bExtract)),
      52);
  EXPECT_EQ(SlotOf(&D::bExtractFromFile), 53);
  EXPECT_EQ(SlotOf(&D::bOpenW), 54);
  EXPECT_EQ(SlotOf(&D::bExtractW), 55);
  EXPECT_EQ(SlotOf(&D::pwszGetName), 56);
  EXPECT_EQ(SlotOf(&D::vbIsUNICODEFileName), 57);
  EXPECT_EQ(SlotOf(&D::bExtractFromFileW), 58);
  EXPECT_EQ(SlotOf(&D::vbSetNameForErrorW), 59);
  EXPECT_EQ(SlotOf(&D::vReservedDiskFile1), 60);
  EXPECT_EQ(SlotOf(&D::vReservedDiskFile8), 67);
  EXPECT_EQ(SlotOf(&CStreamProbe::vProbe), 68);
}

}  // namespace
