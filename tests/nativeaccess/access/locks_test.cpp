// Record and table locks of the data access: the five refused operations
// report "not available" (type 7, user error 8) with the table's name, the
// code as information and their own debug line, write no output and, for
// the two lock operations only, set level 2; after an earlier error the
// refusal becomes its sub-error. Unlocks and the record-lock hooks succeed.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "CNADataAccess.h"
#include "CNAError.h"
#include "support/TestSource.h"

namespace {

struct Refusal {
  const char* pszName;
  int nSite;
  bool bLevel2;
  std::function<int(CNADataAccess*, eNA_LOCKTYPE*)> fnCall;
};

const Refusal kRefusals[] = {
    {"bHRaye", 10, false, [](CNADataAccess* a, eNA_LOCKTYPE*) { return a->bHRaye(1, NA_LOCKTYPE_DEFAULT); }},
    {"bHLibere", 11, false, [](CNADataAccess* a, eNA_LOCKTYPE*) { return a->bHLibere(); }},
    {"bHBloqueFichier", 5, true,
     [](CNADataAccess* a, eNA_LOCKTYPE* out) { return a->bHBloqueFichier(NA_LOCKTYPE_DEFAULT, out); }},
    {"bHBloqueNumEnr", 7, true,
     [](CNADataAccess* a, eNA_LOCKTYPE* out) { return a->bHBloqueNumEnr(0, NA_LOCKTYPE_DEFAULT, out); }},
    {"bHConstruitValCle", 13, false,
     [](CNADataAccess* a, eNA_LOCKTYPE*) { return a->bHConstruitValCle(nullptr, L"k", 0, nullptr); }},
};

class locks : public ::testing::Test {
 protected:
  void SetUp() override {
    m_clSource.SetName(L"CUSTOMER");
    m_pclError = new CNAError();
    m_pclError->AddRef();
    m_pclAccess = new CNADataAccess(&m_clSource, nullptr, m_pclError);
    m_pclAccess->AddRef();
  }
  void TearDown() override {
    m_pclAccess->nRelease();
    m_pclError->nRelease();
    EXPECT_EQ(0u, m_clSource.nExternalCount.load());
  }
  static std::int32_t nNativeCode(CXError* pclErr) {
    // A 32-bit item is written into the pointer's own first bytes.
    void* pv = nullptr;
    if (pclErr == nullptr || !pclErr->bGetInfo(EIT_NATIVECODE, &pv)) return -1;
    std::int32_t n = 0;
    std::memcpy(&n, &pv, sizeof n);
    return n;
  }

  kxtest::TestSource m_clSource;
  CNAError* m_pclError = nullptr;
  CNADataAccess* m_pclAccess = nullptr;
};

TEST_F(locks, RefusedAsNotAvailableWithTheirOwnDebugLine) {
  for (const Refusal& r : kRefusals) {
    SCOPED_TRACE(r.pszName);
    m_pclError->Reset();
    eNA_LOCKTYPE eDone = static_cast<eNA_LOCKTYPE>(77);
    EXPECT_EQ(0, r.fnCall(m_pclAccess, &eDone));
    EXPECT_EQ(77, static_cast<int>(eDone));
    EXPECT_EQ(NA_ERRORTYPE_UNAVAILABLE, m_pclError->eGetErrorType());
    EXPECT_EQ(8u, m_pclError->nGetUserErrorCode());
    EXPECT_STREQ(L"CUSTOMER", m_pclError->pszGetLogicalTableName());
    EXPECT_EQ(8, nNativeCode(m_pclError->pclGetXError()));
    const std::wstring sDebug = m_pclError->pclGetXError()->pszGetDebugMessage();
    EXPECT_NE(std::wstring::npos, sDebug.find(L"IEKXMARIA=3." + std::to_wstring(r.nSite) + L"\r\n")) << sDebug.c_str();
    EXPECT_EQ(r.bLevel2 ? NAERRORLEVEL_WARNING : NAERRORLEVEL_ERROR, m_pclError->eGetErrorLevel());
  }
}

TEST_F(locks, RefusalAfterAnotherErrorBecomesItsSubError) {
  for (const Refusal& r : kRefusals) {
    SCOPED_TRACE(r.pszName);
    m_pclError->Reset();
    m_pclError->AddError(NA_ERRORTYPE_DUPLICATE, 9, 9, nullptr, 38);
    EXPECT_EQ(0, r.fnCall(m_pclAccess, nullptr));
    EXPECT_EQ(NA_ERRORTYPE_DUPLICATE, m_pclError->eGetErrorType());
    EXPECT_EQ(38u, m_pclError->pclGetXError()->nGetUserErrorCode());
    ASSERT_EQ(1, m_pclError->pclGetXError()->nGetNbSubError());
    CXError* pclSub = m_pclError->pclGetXError()->pclGetSubError(0);
    EXPECT_EQ(8u, pclSub->nGetUserErrorCode());
    EXPECT_EQ(8, nNativeCode(pclSub));
  }
}

TEST_F(locks, UnlocksAndRecordLockHooksSucceedWithoutEffect) {
  eNA_LOCKTYPE eDone = static_cast<eNA_LOCKTYPE>(77);
  EXPECT_EQ(1, m_pclAccess->bHDebloqueFichier());
  EXPECT_EQ(1, m_pclAccess->bHDebloqueNumEnr(0));
  for (eNA_LOCKTYPE e : {NA_LOCKTYPE_NONE, NA_LOCKTYPE_DEFAULT, static_cast<eNA_LOCKTYPE>(2),
                         static_cast<eNA_LOCKTYPE>(3)}) {
    EXPECT_EQ(1, m_pclAccess->bLockRecord(nullptr, e, 0, &eDone));
    EXPECT_EQ(1, m_pclAccess->bUnlockRecord(nullptr, e, 0, &eDone));
    EXPECT_EQ(1, m_pclAccess->bLockUnlockRecord(nullptr, e, 0, &eDone));
  }
  m_pclAccess->CancelRecordLock(nullptr, nullptr);
  EXPECT_EQ(77, static_cast<int>(eDone));
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pclError->eGetErrorType());
}

}  // namespace
