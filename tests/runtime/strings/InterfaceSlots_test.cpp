// The runtime calls the locale interface and the string allocator through
// their virtual tables, so every operation must sit in its fixed slot. Under
// the Itanium C++ ABI a pointer to a virtual member function holds
// 1 + (the member's byte offset in the virtual table) in its first word; the
// slot is that offset divided by the size of a pointer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "IInfoLocale.h"
#include "IStrMemAlloc.h"

namespace {

struct STMemberPointer {
  std::uintptr_t nPtr;
  std::ptrdiff_t nAdj;
};

// -1 when the member is not virtual.
template <typename C, typename F>
long SlotOf(F C::*pmf) {
  static_assert(sizeof(pmf) == sizeof(STMemberPointer), "Itanium member-function pointer");
  STMemberPointer st;
  std::memcpy(&st, &pmf, sizeof(st));
  if ((st.nPtr & 1) == 0) return -1;
  EXPECT_EQ(st.nAdj, 0);
  return static_cast<long>((st.nPtr - 1) / sizeof(void*));
}

// A virtual member added to the interface, anywhere, moves this one.
struct CLocaleProbe : IInfoLocale {
  virtual void vProbe();
};
struct CAllocProbe : IStrMemAlloc {
  virtual void vProbe();
};

TEST(InterfaceSlots, LocaleOperationsSitInTheirSlots) {
  EXPECT_EQ(SlotOf(&IInfoLocale::vReserved0), 0);
  EXPECT_EQ(SlotOf(&IInfoLocale::vReserved1), 1);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnGetCurrentCharset), 2);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnGetCurrentCodePage), 3);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnGetCurrentLCID), 4);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnCompareA), 5);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnCompareW), 6);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnCompareCurrentA), 7);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnCompareCurrentW), 8);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnSortKeyA), 9);
  EXPECT_EQ(SlotOf(&IInfoLocale::vReserved10), 10);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnMapA), 11);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnMapW), 12);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnMapCurrentA), 13);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnMapCurrentW), 14);
  EXPECT_EQ(SlotOf(&IInfoLocale::vnGetSafeCurrentLCID), 15);
  EXPECT_EQ(SlotOf(&CLocaleProbe::vProbe), 16);  // nothing after slot 15, no destructor
}

TEST(InterfaceSlots, StringAllocatorOperationsSitInTheirSlots) {
  EXPECT_EQ(SlotOf(&IStrMemAlloc::vnGetVersionIStrMemAlloc), 0);
  EXPECT_EQ(SlotOf(&IStrMemAlloc::vnAllocStrMem), 1);
  EXPECT_EQ(SlotOf(&IStrMemAlloc::vnReallocStrMem), 2);
  EXPECT_EQ(SlotOf(&IStrMemAlloc::vReleaseStrMem), 3);
  EXPECT_EQ(SlotOf(&IStrMemAlloc::vnAllocStrMemEx), 4);
  EXPECT_EQ(SlotOf(&IStrMemAlloc::vnReallocStrMemEx), 5);
  EXPECT_EQ(SlotOf(&CAllocProbe::vProbe), 6);
}

}  // namespace
