#include "CAtomList.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

TEST(CAtomList, SameNameInAnyCaseIsOneAtomWithTwoReferences) {
  const ATOM n = AddAtom(L"KxAtomTestConnexion");
  ASSERT_NE(0, n);
  EXPECT_EQ(n, AddAtom(L"KXATOMTESTCONNEXION"));
  EXPECT_EQ(n, FindAtom(L"kxatomtestconnexion"));

  EXPECT_EQ(0, DeleteAtom(n));
  EXPECT_EQ(n, FindAtom(L"KxAtomTestConnexion"));  // one reference left
  EXPECT_EQ(0, DeleteAtom(n));
  EXPECT_EQ(0, FindAtom(L"KxAtomTestConnexion"));
  EXPECT_EQ(n, DeleteAtom(n));  // unknown now

  EXPECT_EQ(0, AddAtom(nullptr));
  EXPECT_EQ(0, FindAtom(nullptr));
  EXPECT_EQ(0, FindAtom(L"KxAtomTestNeverAdded"));
}

TEST(CAtomList, NumbersAreNeverReused) {
  const ATOM a = AddAtom(L"KxAtomTestFirst");
  ASSERT_NE(0, a);
  EXPECT_EQ(0, DeleteAtom(a));
  const ATOM b = AddAtom(L"KxAtomTestSecond");
  const ATOM c = AddAtom(L"KxAtomTestFirst");
  EXPECT_GT(b, a);
  EXPECT_GT(c, b);
  EXPECT_NE(b, FindAtom(L"KxAtomTestFirst"));
  DeleteAtom(b);
  DeleteAtom(c);
}

TEST(CAtomList, NameIsCutAndTerminatedWithinTheSize) {
  const ATOM n = AddAtom(L"KxAtomName");  // 10 characters
  ASSERT_NE(0, n);
  struct Row {
    int size;
    unsigned int result;
    const wchar_t* text;
  } rows[] = {{32, 10, L"KxAtomName"}, {11, 10, L"KxAtomName"}, {10, 9, L"KxAtomNam"},
              {4, 3, L"KxA"},          {1, 0, L""},            {0, 0, nullptr}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    wchar_t buf[40];
    std::wmemset(buf, L'#', 40);
    EXPECT_EQ(row.result, GetAtomName(n, buf, row.size));
    if (row.text != nullptr) {
      EXPECT_STREQ(row.text, buf);
    }
    for (int i = row.size; i < 40; ++i) EXPECT_EQ(L'#', buf[i]) << i;
  }
  wchar_t buf[8] = L"x";
  EXPECT_EQ(0u, GetAtomName(0, buf, 8));
  EXPECT_EQ(0u, GetAtomName(static_cast<ATOM>(n + 1000), buf, 8));
  EXPECT_STREQ(L"x", buf);
  DeleteAtom(n);
}

}  // namespace
