// The value holder's own operations: checksums, the empty and NULL tests,
// equality of holders, typed setters, the refresh mark, texts read as
// booleans, time items retyped to text, and files loaded into and stored
// from a value.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#include "CAny.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace {

class navariant : public BoundRuntimeTest {
 protected:
  std::string TempPath(const char* pszName) {
    return "/tmp/kx_navariant_" + std::to_string(getpid()) + "_" + pszName;
  }
};

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST_F(navariant, ChecksumAddsLittleEndianWordsThenTailBytes) {
  struct Case {
    std::string sBytes;
    std::uint64_t nSum;
  };
  const Case cases[] = {
      {std::string("\x01\x00\x00\x00\x05", 5), 6},
      {std::string(), 0},
      {std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 9), 2ull * 0xFFFFFFFFull + 0xFF},  // no carry lost
      {std::string("\x02\x01\x00\x00\x03\x04", 6), 0x102ull + 3 + 4},
  };
  for (const Case& c : cases) {
    CNAConvertVariant v;
    ASSERT_TRUE(v.bInitTypeVariantBuffer(ANY_BIN, static_cast<unsigned long>(c.sBytes.size())));
    ASSERT_TRUE(v.bSetValue(reinterpret_cast<const unsigned char*>(c.sBytes.data()),
                            static_cast<unsigned long>(c.sBytes.size())));
    EXPECT_EQ(c.nSum, v.nChecksum32()) << c.sBytes.size();
  }
  CNAConvertVariant empty;
  EXPECT_EQ(0u, empty.nChecksum32());
}

TEST_F(navariant, EmptyNullAndZeroTests) {
  CNAConvertVariant none;
  EXPECT_TRUE(none.bIsEmptyString());
  EXPECT_TRUE(none.bCouldBeNullOnXQ());

  CNAConvertVariant nul;
  nul.InitTypeVariantAny(ANY_I4);
  nul.SetNull();
  EXPECT_TRUE(nul.bIsEmptyString());
  EXPECT_TRUE(nul.bCouldBeNullOnXQ());

  CNAConvertVariant text0;
  text0.InitTypeVariantAny(ANY_DSTRA);
  ASSERT_TRUE(text0.bSetValue("0", 1ul));
  EXPECT_FALSE(text0.bIsNumeric0());  // a text is not a number
  EXPECT_FALSE(text0.bIsEmptyString());

  CNAConvertVariant empty;
  empty.InitTypeVariantAny(ANY_DSTRA);
  ASSERT_TRUE(empty.bSetValue("", 0ul));
  EXPECT_TRUE(empty.bIsEmptyString());

  CNAConvertVariant i8;
  i8.InitTypeVariantAny(ANY_I8);
  ASSERT_TRUE(i8.bSetValue(0l));
  EXPECT_TRUE(i8.bIsNumeric0());
  ASSERT_TRUE(i8.bSetValue(3l));
  EXPECT_FALSE(i8.bIsNumeric0());
  CNAConvertVariant r8;
  r8.InitTypeVariantAny(0);
  ASSERT_TRUE(r8.bSetValue(0.0));  // an untyped holder takes the value's type
  EXPECT_EQ(ANY_R8, r8.wGetTypeCode());
  EXPECT_TRUE(r8.bIsNumeric0());

  // Wide texts: the first 4-byte character decides; the Ex form adds the
  // date and time texts.
  CNAConvertVariant date;
  date.InitTypeVariantAny(ANY_DATEA);
  EXPECT_TRUE(date.bIsEmptyStringEx());
  EXPECT_FALSE(date.bIsEmptyString());
}

TEST_F(navariant, EqualityOfHolders) {
  CNAConvertVariant a, b, text;
  a.InitTypeVariantAny(ANY_DSTRA);
  b.InitTypeVariantAny(ANY_DSTRA);
  a.SetNull();
  b.SetNull();
  text.InitTypeVariantAny(ANY_DSTRA);
  text.bSetValue("", 0ul);
  EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(&a, &b));
  EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(&a, nullptr));
  EXPECT_FALSE(CNAVariant::g_bEqualsNAVariant(&a, &text));
  EXPECT_FALSE(CNAVariant::g_bEqualsNAVariant(nullptr, &text));

  CNAConvertVariant x, y;
  x.InitTypeVariantAny(ANY_I4);
  y.InitTypeVariantAny(ANY_I8);
  x.bSetValue(5);
  y.bSetValue(5l);
  EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(&x, &y));  // through the runtime's equality
  EXPECT_EQ(0, x.nCmp(&y));
  y.bSetValue(6l);
  EXPECT_LT(x.nCmp(&y), 0);

  // A copy of a value holder is a value holder with the same value.
  CNAConvertVariant unread;
  unread.InitTypeVariantAny(ANY_I4);
  unread.bSetValue(9);
  CNAConvertVariant mid;
  ASSERT_TRUE(mid.bCopyVariant(&unread));
  EXPECT_EQ(9, *reinterpret_cast<const std::int32_t*>(mid.pGetData()));
  EXPECT_TRUE(mid.bEqualsNAVariant(&unread));
  EXPECT_EQ(nullptr, unread.pclGetCloneVariant());  // no driver
}

TEST_F(navariant, TypedSettersAndTheRefreshMark) {
  CNAConvertVariant v;
  v.InitTypeVariantAny(ANY_I4);
  v.SetRefreshed(1);
  EXPECT_TRUE(v.bGetRefreshed());
  ASSERT_TRUE(v.bSetValue(-7));
  EXPECT_FALSE(v.bGetRefreshed());
  EXPECT_EQ(ANY_I4, v.wGetTypeCode());
  EXPECT_FALSE(v.bIsNull());
  // The runtime's 0x400 mark is not the refresh mark.
  v.SetRefreshed(1);
  EXPECT_EQ(0, v.pclGetValue()->wGetType() & ANY_FLAG_RUNTIME);

  // A bound holder stores native bytes; another type converts.
  unsigned char aby[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  CNAConvertVariant b;
  ASSERT_TRUE(b.bInitTypeVariant(NAVT_BOUND, aby, 8, ANY_I8));
  ASSERT_TRUE(b.bSetValue(static_cast<long>(-2)));
  std::int64_t n = 0;
  std::memcpy(&n, aby, 8);
  EXPECT_EQ(-2, n);
  ASSERT_TRUE(b.bSetValue(300));  // an int into a 64-bit holder
  std::memcpy(&n, aby, 8);
  EXPECT_EQ(300, n);
  // Modes 0 and 4 ignore typed setters.
  CNAConvertVariant none;
  EXPECT_TRUE(none.bSetValue(1.5f));
}

TEST_F(navariant, TextsReadAsBooleans) {
  struct Case {
    const char* psz;
    int b;
  };
  const Case cases[] = {{"", 0}, {"0", 0}, {"f", 0}, {"F", 0}, {"false", 0},
                        {"no", 1}, {"N", 1}, {"1", 1}, {"true", 1}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.b, CNAConvertVariant::s_bTextToBool(c.psz)) << c.psz;
    EXPECT_EQ(c.b, CNAConvertVariant::s_bTextToBool(Wide(c.psz).c_str())) << c.psz;
    unsigned char by = 0xEE;
    CNAConvertVariant v;
    ASSERT_TRUE(v.bInitTypeVariant(NAVT_BOUND, &by, 1, ANY_BOOL));
    if (c.psz[0] != 0) {
      ASSERT_TRUE(v.bSetValueDB(c.psz, std::strlen(c.psz), 1252));
      EXPECT_EQ(c.b, by) << c.psz;
    }
  }
}

// A time holder retyped to text is cut or padded with '0' to the item
// size - 1.
TEST_F(navariant, TimeItemRetypedToText) {
  CNAItemDescription* pItem = new CNAItemDescription;
  pItem->AddRef();
  pItem->bInit(L"T", L"", L"", 1, 7, NA_IT_HEURE, 0, 0, 0, 0, 0);
  for (int bNoPadding : {0, 1}) {
    CNAConvertVariant v;
    v.InitTypeVariantAny(ANY_PSTRW);
    v.SetItemDesc(pItem, pItem);  // types the holder as a time text
    v.pclGetValue()->__SetType(ANY_PSTRW, 0);
    v.pclGetValue()->SetValue(L"1345", 4 * sizeof(wchar_t));
    ASSERT_TRUE(v.vbChangeTNType(ANY_PSTRW, bNoPadding));
    CAny out;
    ASSERT_TRUE(v.bGetValue(&out));
    const wchar_t* psz = nullptr;
    ASSERT_EQ(0, out.nGetPCWSTR(&psz));
    EXPECT_EQ(std::wstring(bNoPadding ? L"1345" : L"134500"), std::wstring(psz));
  }
  pItem->nRelease();
}

TEST_F(navariant, FilesRoundTripAndMissingFileIsUserError15) {
  const std::string sPath = TempPath("memo.bin");
  std::string sData(40 * 1024, '\0');
  for (std::size_t i = 0; i < sData.size(); ++i) sData[i] = static_cast<char>(i * 7 + 3);
  {
    std::ofstream f(sPath, std::ios::binary);
    f.write(sData.data(), static_cast<std::streamsize>(sData.size()));
  }
  CNAConvertVariant v;
  v.InitTypeVariantAny(ANY_BIN);
  ASSERT_TRUE(v.bLoadFile(Wide(sPath).c_str(), nullptr, 1));
  ASSERT_EQ(ANY_BIN, v.wGetTypeCode());
  ASSERT_EQ(sData.size(), v.nGetSize());
  EXPECT_EQ(0, std::memcmp(v.pGetData(), sData.data(), sData.size()));

  const std::string sCopy = TempPath("copy.bin");
  ASSERT_TRUE(v.bStoreFile(Wide(sCopy).c_str(), nullptr));
  std::ifstream in(sCopy, std::ios::binary);
  const std::string sRead((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(sData, sRead);

  // NULL and empty values leave an empty file.
  CNAConvertVariant nul;
  nul.InitTypeVariantAny(ANY_BIN);
  nul.SetNull();
  ASSERT_TRUE(nul.bStoreFile(Wide(sCopy).c_str(), nullptr));
  std::ifstream in2(sCopy, std::ios::binary | std::ios::ate);
  EXPECT_EQ(0, static_cast<long>(in2.tellg()));

  CNAError& err = *new CNAError;  // the holders share it; the last release deletes it
  err.AddRef();
  CNAConvertVariant missing;
  missing.InitTypeVariantAny(ANY_BIN);
  missing.bSetValue(reinterpret_cast<const unsigned char*>("keep"), 4ul);
  EXPECT_FALSE(missing.bLoadFile(L"/nonexistent/dir/file.bin", &err, 1));
  EXPECT_EQ(15u, err.nGetUserErrorCode());
  ASSERT_NE(nullptr, err.pszGetSystemErrorMessage());
  EXPECT_STRNE(L"", err.pszGetSystemErrorMessage()) << "the system's text";
  EXPECT_NE(nullptr, std::wcsstr(err.pszGetError(), L"/nonexistent/dir/file.bin"));
  EXPECT_EQ(4u, missing.nGetSize());
  err.nRelease();
  std::remove(sPath.c_str());
  std::remove(sCopy.c_str());
}

}  // namespace
