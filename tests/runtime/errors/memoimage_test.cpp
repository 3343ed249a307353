// The image memo holder (flags, names, image object, binary data on demand)
// and the comparison of module version texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "CTNMemoImage.h"
#include "IImageTN.h"
#include "ModuleVersion.h"

namespace {

// An image object that counts its references and the requests it gets. A
// real one is gone once its count falls to 0, so a reference taken after
// that is a fault.
class CImageDouble : public IImageTN {
 public:
  explicit CImageDouble(int nVersion) : m_nVersion(nVersion) {}
  unsigned long AddRef() override {
    EXPECT_FALSE(m_bGone) << "referenced after its last release";
    return ++m_nRefs;
  }
  unsigned long Release() override {
    EXPECT_GT(m_nRefs, 0u) << "released more often than referenced";
    if (--m_nRefs == 0) m_bGone = true;
    return m_nRefs;
  }
  int nGetVersion() override { return m_nVersion; }
  bool bSauveTNBin(CTNBIN* pclOut) override {
    ++m_nSaves;
    m_pclLastTarget = pclOut;
    return true;
  }

  unsigned long m_nRefs = 0;
  bool m_bGone = false;
  int m_nVersion;
  int m_nSaves = 0;
  CTNBIN* m_pclLastTarget = nullptr;
};

struct STMemberPointer {
  std::uintptr_t nPtr;
  std::ptrdiff_t nAdj;
};

// Slot of a virtual member (Itanium ABI: 1 + byte offset in the table).
template <typename C, typename F>
long SlotOf(F C::*pmf) {
  STMemberPointer st;
  static_assert(sizeof(pmf) == sizeof(st), "Itanium member-function pointer");
  std::memcpy(&st, &pmf, sizeof(st));
  if ((st.nPtr & 1) == 0) return -1;
  return static_cast<long>((st.nPtr - 1) / sizeof(void*));
}

// A holder created on the heap and given back through its count, as its
// users do (the suite is named after the area, hence the lower-case class).
class memoimage : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pclHolder = new CTNMemoImage;
    m_pclHolder->dwAddRef();
  }
  void TearDown() override {
    if (m_pclHolder != nullptr) m_pclHolder->dwRelease();
  }
  // Destroys the holder now.
  void ReleaseHolder() {
    EXPECT_EQ(m_pclHolder->dwRelease(), 0u);
    m_pclHolder = nullptr;
  }
  CTNMemoImage* m_pclHolder = nullptr;
};

TEST_F(memoimage, StartsEmpty) {
  EXPECT_EQ(m_pclHolder->pszGetNomImage(), nullptr);
  EXPECT_EQ(m_pclHolder->pszGetNomTable(), nullptr);
  EXPECT_EQ(m_pclHolder->pszGetNomRubrique(), nullptr);
  EXPECT_EQ(m_pclHolder->pszGetNomTableNumEnr(), nullptr);
  EXPECT_EQ(m_pclHolder->pszGetNomRubriqueNumEnr(), nullptr);
  EXPECT_EQ(m_pclHolder->pGetChamp(), nullptr);
  EXPECT_EQ(m_pclHolder->pGetCallback(), nullptr);
  EXPECT_EQ(m_pclHolder->pGetContexteXQ(), nullptr);
  EXPECT_EQ(m_pclHolder->llGetNumEnr(), -1);
  EXPECT_EQ(m_pclHolder->dwGetFlags(), 0u);
  EXPECT_EQ(m_pclHolder->piGetTNImage(), nullptr);
  EXPECT_EQ(m_pclHolder->piGetSourceImage(nullptr), nullptr);
}

TEST_F(memoimage, SettersSitInTheirVirtualSlots) {
  // Slots 0 and 1 are the destructors, 2 is dwRelease.
  EXPECT_EQ(SlotOf(&CTNMemoImage::dwRelease), 2);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetNomImage), 3);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetNomTable), 4);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetNomRubrique), 5);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetChamp), 6);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetCallback), 7);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetContexteXQ), 8);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetNumEnr), 9);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetNomTableNumEnr), 10);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetNomRubriqueNumEnr), 11);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetBinData), 12);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetCallbackSauveTNBin), 13);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetCallbackGetSourceImage), 14);
  // The other operations are not virtual.
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetTNImage), -1);
  EXPECT_EQ(SlotOf(&CTNMemoImage::SetLoadType), -1);
  EXPECT_EQ(SlotOf(&CTNMemoImage::pclGetBinDataEx), -1);
}

TEST_F(memoimage, NameSettersCopyAndSurviveTheirOwnText) {
  using Setter = void (CTNMemoImage::*)(const wchar_t*);
  using Getter = const wchar_t* (CTNMemoImage::*)() const;
  const struct {
    Setter pfnSet;
    Getter pfnGet;
  } names[] = {
      {&CTNMemoImage::SetNomImage, &CTNMemoImage::pszGetNomImage},
      {&CTNMemoImage::SetNomTable, &CTNMemoImage::pszGetNomTable},
      {&CTNMemoImage::SetNomRubrique, &CTNMemoImage::pszGetNomRubrique},
      {&CTNMemoImage::SetNomTableNumEnr, &CTNMemoImage::pszGetNomTableNumEnr},
      {&CTNMemoImage::SetNomRubriqueNumEnr, &CTNMemoImage::pszGetNomRubriqueNumEnr},
  };
  for (const auto& name : names) {
    wchar_t szSource[] = L"PHOTO";
    (m_pclHolder->*name.pfnSet)(szSource);
    const wchar_t* pszStored = (m_pclHolder->*name.pfnGet)();
    ASSERT_NE(pszStored, nullptr);
    EXPECT_NE(pszStored, szSource) << "the holder keeps its own copy";
    szSource[0] = L'X';
    EXPECT_STREQ(pszStored, L"PHOTO");

    // The holder's own name given back (ASan sees a read of freed memory
    // when the old copy goes first).
    (m_pclHolder->*name.pfnSet)((m_pclHolder->*name.pfnGet)());
    EXPECT_STREQ((m_pclHolder->*name.pfnGet)(), L"PHOTO");

    (m_pclHolder->*name.pfnSet)(L"LOGO");
    EXPECT_STREQ((m_pclHolder->*name.pfnGet)(), L"LOGO");
  }
  // The five names are distinct fields: setting one left the others.
  EXPECT_STREQ(m_pclHolder->pszGetNomImage(), L"LOGO");
  m_pclHolder->SetNomTable(nullptr);
  EXPECT_EQ(m_pclHolder->pszGetNomTable(), nullptr);
  EXPECT_STREQ(m_pclHolder->pszGetNomRubrique(), L"LOGO");
  // The rest is freed by the destructor (LeakSanitizer checks).
}

TEST_F(memoimage, PlainFieldsAreKept) {
  int anEngine[3];
  m_pclHolder->SetChamp(&anEngine[0]);
  m_pclHolder->SetCallback(&anEngine[1]);
  m_pclHolder->SetContexteXQ(&anEngine[2]);
  m_pclHolder->SetNumEnr(INT64_C(0x123456789));
  EXPECT_EQ(m_pclHolder->pGetChamp(), &anEngine[0]);
  EXPECT_EQ(m_pclHolder->pGetCallback(), &anEngine[1]);
  EXPECT_EQ(m_pclHolder->pGetContexteXQ(), &anEngine[2]);
  EXPECT_EQ(m_pclHolder->llGetNumEnr(), INT64_C(0x123456789));
  EXPECT_EQ(m_pclHolder->dwGetFlags(), 0u);
}

TEST_F(memoimage, LoadTypeChangesOnlyItsBits) {
  // Starting flags are reached through the operations that own each bit:
  // 0x8000 SetLoadType(1), 0x0010 an attached image, 0x0001 SetBinData.
  const struct {
    std::uint32_t dwBefore;
    int nType;
    std::uint32_t dwAfter;
  } rows[] = {
      {0x0000, 1, 0x8000}, {0x0011, 1, 0x8011}, {0x8000, 0, 0x0000}, {0x8011, 0, 0x0011},
      {0x8000, 2, 0x0000}, {0x8000, 3, 0x0010}, {0x8001, 3, 0x0011}, {0x0010, 3, 0x0010},
      {0x8001, 4, 0x8001}, {0x8011, -1, 0x8011},
  };
  for (const auto& row : rows) {
    CImageDouble clImage(8);
    CTNMemoImage clHolder;
    if ((row.dwBefore & 0x8000) != 0) clHolder.SetLoadType(1);
    if ((row.dwBefore & 0x0010) != 0) clHolder.SetTNImage(&clImage);
    if ((row.dwBefore & 0x0001) != 0) clHolder.SetBinData(CTNBIN());
    ASSERT_EQ(clHolder.dwGetFlags(), row.dwBefore);
    clHolder.SetLoadType(row.nType);
    EXPECT_EQ(clHolder.dwGetFlags(), row.dwAfter)
        << std::hex << row.dwBefore << " type " << row.nType;
    clHolder.SetTNImage(nullptr);
  }
}

TEST_F(memoimage, LoadType3WithoutImageLeavesBinDataSafe) {
  m_pclHolder->SetLoadType(1);
  ASSERT_EQ(m_pclHolder->dwGetFlags(), 0x8000u);
  m_pclHolder->SetLoadType(3);
  EXPECT_EQ(m_pclHolder->dwGetFlags(), 0x0010u);
  EXPECT_EQ(m_pclHolder->piGetTNImage(), nullptr);
  // Bit 4 claims an image that is not there: the buffer comes back as it is.
  CTNBIN* pclData = m_pclHolder->pclGetBinDataEx(nullptr);
  ASSERT_NE(pclData, nullptr);
  EXPECT_TRUE(pclData->bEstVide());
  EXPECT_EQ(m_pclHolder->pclGetBinDataEx(nullptr), pclData) << "always the holder's buffer";
}

TEST_F(memoimage, ImageObjectIsReferencedOnceAndReleased) {
  CImageDouble clFirst(8);
  CImageDouble clSecond(8);
  m_pclHolder->SetTNImage(&clFirst);
  EXPECT_EQ(clFirst.m_nRefs, 1u);
  EXPECT_EQ(m_pclHolder->dwGetFlags(), 0x0010u);

  // The attached object again: its count goes up before it goes down, so a
  // holder with the only reference does not lose it.
  m_pclHolder->SetTNImage(&clFirst);
  EXPECT_EQ(clFirst.m_nRefs, 1u);
  EXPECT_EQ(m_pclHolder->piGetTNImage(), &clFirst);

  m_pclHolder->SetTNImage(&clSecond);
  EXPECT_EQ(clFirst.m_nRefs, 0u);
  EXPECT_EQ(clSecond.m_nRefs, 1u);

  m_pclHolder->SetTNImage(nullptr);
  EXPECT_EQ(clSecond.m_nRefs, 0u);
  EXPECT_EQ(m_pclHolder->dwGetFlags(), 0u);

  CImageDouble clThird(8);
  m_pclHolder->SetTNImage(&clThird);
  ReleaseHolder();
  EXPECT_EQ(clThird.m_nRefs, 0u) << "the destructor releases the image object";
}

TEST_F(memoimage, ImageWritesTheDataFromVersion8) {
  CImageDouble clOld(7);
  m_pclHolder->SetTNImage(&clOld);
  CTNBIN* pclData = m_pclHolder->pclGetBinDataEx(nullptr);
  EXPECT_EQ(clOld.m_nSaves, 0) << "version 7 cannot write its binary form";

  CImageDouble clImage(8);
  m_pclHolder->SetTNImage(&clImage);
  EXPECT_EQ(m_pclHolder->pclGetBinDataEx(nullptr), pclData);
  EXPECT_EQ(clImage.m_nSaves, 1);
  EXPECT_EQ(clImage.m_pclLastTarget, pclData) << "written into the holder's own buffer";
  EXPECT_EQ(clImage.m_nRefs, 1u) << "held during the call, given back after";

  // Data present: nobody is asked.
  m_pclHolder->SetBinData(CTNBIN());
  EXPECT_EQ(m_pclHolder->dwGetFlags() & 0x0001u, 0x0001u);
  m_pclHolder->pclGetBinDataEx(nullptr);
  EXPECT_EQ(clImage.m_nSaves, 1);
  m_pclHolder->SetTNImage(nullptr);
}

struct stCallbackLog {
  int nCalls = 0;
  CTNMemoImage* pclHolder = nullptr;
  void* pArgument = nullptr;
};
stCallbackLog g_stSaveLog;
stCallbackLog g_stSourceLog;
CImageDouble g_clSourceImage(9);

void SaveCallback(CTNMemoImage* pclHolder, void* pArgument) {
  ++g_stSaveLog.nCalls;
  g_stSaveLog.pclHolder = pclHolder;
  g_stSaveLog.pArgument = pArgument;
}

IImageTN* SourceCallback(CTNMemoImage* pclHolder, void* pArgument) {
  ++g_stSourceLog.nCalls;
  g_stSourceLog.pclHolder = pclHolder;
  g_stSourceLog.pArgument = pArgument;
  return &g_clSourceImage;
}

TEST_F(memoimage, SaveCallbackComesBeforeTheImage) {
  g_stSaveLog = {};
  CImageDouble clImage(8);
  m_pclHolder->SetTNImage(&clImage);
  m_pclHolder->SetCallbackSauveTNBin(&SaveCallback);
  int nArgument = 0;
  m_pclHolder->pclGetBinDataEx(&nArgument);
  EXPECT_EQ(g_stSaveLog.nCalls, 1);
  EXPECT_EQ(g_stSaveLog.pclHolder, m_pclHolder);
  EXPECT_EQ(g_stSaveLog.pArgument, &nArgument);
  EXPECT_EQ(clImage.m_nSaves, 0);

  // With data present the callback is not called either.
  m_pclHolder->SetBinData(CTNBIN());
  m_pclHolder->pclGetBinDataEx(&nArgument);
  EXPECT_EQ(g_stSaveLog.nCalls, 1);
  m_pclHolder->SetTNImage(nullptr);
}

TEST_F(memoimage, SourceImageComesFromItsCallback) {
  g_stSourceLog = {};
  EXPECT_EQ(m_pclHolder->piGetSourceImage(nullptr), nullptr);
  m_pclHolder->SetCallbackGetSourceImage(&SourceCallback);
  int nArgument = 0;
  EXPECT_EQ(m_pclHolder->piGetSourceImage(&nArgument), &g_clSourceImage);
  EXPECT_EQ(g_stSourceLog.nCalls, 1);
  EXPECT_EQ(g_stSourceLog.pclHolder, m_pclHolder);
  EXPECT_EQ(g_stSourceLog.pArgument, &nArgument);
}

TEST_F(memoimage, VersionTextsCompareDigitRunsByValue) {
  const struct {
    const char* a;
    const char* b;
    int nSign;
  } rows[] = {
      {"10.0", "9.0", 1},
      {"9.0", "10.0", -1},
      {"20.0.10.0", "20.0.9.0", 1},
      {"20.0.10.0", "20.0.10.0", 0},
      {"20.0.10.0", "20.0.10", 1},
      {"2.10", "2.9.9", 1},
      {"", "", 0},
      {"", "1.0", -1},
  };
  auto sign = [](int n) { return (n > 0) - (n < 0); };
  for (const auto& row : rows) {
    const std::wstring a(row.a, row.a + std::strlen(row.a));
    const std::wstring b(row.b, row.b + std::strlen(row.b));
    EXPECT_EQ(sign(nCompareVersionModule(a.c_str(), b.c_str())), row.nSign)
        << row.a << " / " << row.b;
    EXPECT_EQ(sign(nCompareVersionModuleA(row.a, row.b)), row.nSign) << row.a << " / " << row.b;
  }
  // A null text is the empty text.
  EXPECT_EQ(nCompareVersionModule(nullptr, L""), 0);
  EXPECT_LT(nCompareVersionModuleA(nullptr, "1"), 0);
}

}  // namespace
