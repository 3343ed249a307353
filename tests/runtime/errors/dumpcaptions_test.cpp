// The query-dump captions of typed values: loaded once from the library's
// messages (the runtime's loader first), replaced without leaking when
// loaded again, and freed at the library's end.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "CKXVariant.h"
#include "DllResLoader.h"

namespace {

// Answers its own text for 25670 and 25669 and nothing for the others (the
// library's block then answers).
int g_nLoaderGeneration = 0;
int LoaderWithTwoTexts(unsigned int nId, wchar_t* pszBuffer, int nCapacity) {
  const wchar_t* pszText = nullptr;
  if (nId == 25670) pszText = g_nLoaderGeneration == 0 ? L"Value" : L"Value, again";
  if (nId == 25669) pszText = L"Time of day";
  if (pszText == nullptr) return 0;
  const int n = static_cast<int>(std::wcslen(pszText));
  if (n < nCapacity) std::wmemcpy(pszBuffer, pszText, static_cast<std::size_t>(n) + 1);
  return n;
}

class dumpcaptions : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pfnSaved = gpfnLoadStringKXM.load();
    gpfnLoadStringKXM = nullptr;
    g_nLoaderGeneration = 0;
  }
  void TearDown() override {
    CKXVariant::FreeQueryDumpRessources();
    gpfnLoadStringKXM = m_pfnSaved;
  }
  PFN_LOADSTRINGKXM m_pfnSaved = nullptr;
};

wchar_t** const kapszCaptions[] = {
    &CKXVariant::s_pszDumpTNType,          &CKXVariant::s_pszDumpADOType,
    &CKXVariant::s_pszDumpValue,           &CKXVariant::s_pszDumpTime,
    &CKXVariant::s_pszDumpDate,            &CKXVariant::s_pszDumpConvFailed_Text,
    &CKXVariant::s_pszDumpConvFailed_Date, &CKXVariant::s_pszDumpConvFailed_Time,
};

TEST_F(dumpcaptions, LibraryTextsFillEveryCaption) {
  for (wchar_t** ppsz : kapszCaptions) EXPECT_EQ(*ppsz, nullptr) << "null before the first load";
  CKXVariant::InitQueryDumpRessources();
  EXPECT_STREQ(CKXVariant::s_pszDumpTNType, L"Type Tarnel");
  EXPECT_STREQ(CKXVariant::s_pszDumpADOType, L"Type ADO");
  EXPECT_STREQ(CKXVariant::s_pszDumpValue, L"Valeur");
  EXPECT_STREQ(CKXVariant::s_pszDumpTime, L"Heure");
  EXPECT_STREQ(CKXVariant::s_pszDumpDate, L"Date");
  EXPECT_STREQ(CKXVariant::s_pszDumpConvFailed_Text,
               L"Echec de la conversion de la valeur en texte.");
  EXPECT_STREQ(CKXVariant::s_pszDumpConvFailed_Date,
               L"Echec de la conversion de la valeur en date");
  EXPECT_STREQ(CKXVariant::s_pszDumpConvFailed_Time,
               L"Echec de la conversion de la valeur en heure");
}

TEST_F(dumpcaptions, RuntimeTextsWinAndASecondLoadReplacesWithoutLeak) {
  gpfnLoadStringKXM = &LoaderWithTwoTexts;
  CKXVariant::InitQueryDumpRessources();
  EXPECT_STREQ(CKXVariant::s_pszDumpValue, L"Value");
  EXPECT_STREQ(CKXVariant::s_pszDumpTime, L"Time of day");
  EXPECT_STREQ(CKXVariant::s_pszDumpDate, L"Date");

  // The second load replaces every caption; the first copies are freed
  // (LeakSanitizer reports them otherwise).
  g_nLoaderGeneration = 1;
  CKXVariant::InitQueryDumpRessources();
  EXPECT_STREQ(CKXVariant::s_pszDumpValue, L"Value, again");
  EXPECT_STREQ(CKXVariant::s_pszDumpTime, L"Time of day");
}

TEST_F(dumpcaptions, FreeResetsEveryCaptionAndMayRunTwice) {
  CKXVariant::InitQueryDumpRessources();
  for (wchar_t** ppsz : kapszCaptions) ASSERT_NE(*ppsz, nullptr);
  CKXVariant::FreeQueryDumpRessources();
  for (wchar_t** ppsz : kapszCaptions) EXPECT_EQ(*ppsz, nullptr);
  CKXVariant::FreeQueryDumpRessources();
  for (wchar_t** ppsz : kapszCaptions) EXPECT_EQ(*ppsz, nullptr);
}

}  // namespace
