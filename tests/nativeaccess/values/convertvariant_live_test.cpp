// A row of the fixture server read into bound value holders as the MariaDB
// statement hands its fields (dates and date-times without their '-'):
// DATE, TIME(0-6), DATETIME(0-6), TIMESTAMP(0-6), BIGINT UNSIGNED at its
// maximum, DOUBLE, DECIMAL(12,2), utf8mb4 text and a BLOB, in Unicode mode
// at runtime code pages 1252 and 932 and in 1252 mode; every item gets the
// expected native bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "CDateTimeBase.h"
#include "CNAConvertVariant.h"
#include "CNAItemDescription.h"
#include "MariaDbClient.h"
#include "TestSupport.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/TestConnection.h"

namespace {

constexpr std::uint32_t knMsOfDay = ((13 * 60 + 45) * 60 + 7) * 1000;

class convertvariant_live : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    std::string failure;
    ASSERT_TRUE(kxtest::ReadMariaDbConnection(m_connection, failure)) << failure;
    ASSERT_TRUE(m_client.bLoaded()) << m_client.LoadError();
    m_mysql = m_client.Connect(m_connection, failure);
    ASSERT_NE(nullptr, m_mysql) << failure;
    Run("SET NAMES utf8mb4");
    Run("SET time_zone = '+00:00'");
    Run("DROP TABLE IF EXISTS kx_convertvariant");
    std::string sCreate = "CREATE TABLE kx_convertvariant (d DATE";
    for (int n = 0; n <= 6; ++n) {
      const std::string p = "(" + std::to_string(n) + ")";
      sCreate += ", t" + std::to_string(n) + " TIME" + p + ", dt" + std::to_string(n) + " DATETIME" + p + ", ts" +
                 std::to_string(n) + " TIMESTAMP" + p + " NULL";
    }
    sCreate += ", u BIGINT UNSIGNED, r DOUBLE, m DECIMAL(12,2), txt VARCHAR(50) CHARACTER SET utf8mb4, b BLOB)";
    Run(sCreate);
    std::string sInsert = "INSERT INTO kx_convertvariant VALUES ('2024-02-29'";
    for (int n = 0; n <= 6; ++n)
      sInsert += ", '13:45:07.120000', '2024-02-29 13:45:07.120000', '2024-02-29 13:45:07.120000'";
    sInsert += ", 18446744073709551615, -2500, -1234.56, 'R\xC3\xA9\xF0\x9F\x98\x80 \xC3\xA4', x'00FF10')";
    Run(sInsert);
    m_pcnx->AddRef();
  }
  void TearDown() override {
    if (m_mysql != nullptr) {
      std::string failure;
      m_client.Execute(m_mysql, "DROP TABLE IF EXISTS kx_convertvariant", failure);
      m_client.Close(m_mysql);
    }
    m_pcnx->nRelease();
    BoundRuntimeTest::TearDown();
  }
  void Run(const std::string& sql) {
    std::string failure;
    ASSERT_TRUE(m_client.Execute(m_mysql, sql, failure)) << sql << ": " << failure;
  }
  // The row, each field as the statement hands it to its holder.
  std::vector<std::string> Row() {
    kxtest::MariaDbClient::Result result;
    std::string failure;
    EXPECT_TRUE(m_client.Query(m_mysql, "SELECT * FROM kx_convertvariant", result, failure)) << failure;
    std::vector<std::string> a;
    if (result.rows.size() != 1) return a;
    for (const auto& v : result.rows[0]) a.push_back(v.value_or(""));
    return a;
  }
  // Feeds one field to a holder bound onto an item of `size` bytes and
  // answers the item's bytes.
  std::string Feed(eNA_ITEMTYPE e, std::uint32_t nSize, std::string sField, bool bDropDashes,
                   unsigned nCodePage, int nInt = 0, int nDec = 0) {
    if (bDropDashes) sField.erase(std::remove(sField.begin(), sField.end(), '-'), sField.end());
    CNAItemDescription* pItem = new CNAItemDescription;
    pItem->AddRef();
    pItem->bInit(L"ITEM", L"", L"", 1, nSize, e, 0, 0, 0, nInt, nDec);
    std::string sItem(nSize, '\xEE');
    {
      CNAConvertVariant v(nullptr, m_pcnx);
      v.bInitTypeVariant(NAVT_BOUND, reinterpret_cast<unsigned char*>(&sItem[0]), nSize, 0);
      v.SetItemDesc(pItem, pItem);
      EXPECT_TRUE(v.bSetValueDB(sField.data(), static_cast<unsigned long>(sField.size()), nCodePage)) << sField;
    }
    pItem->nRelease();
    return sItem;
  }

  kxtest::MariaDbConnection m_connection;
  kxtest::MariaDbClient m_client;
  void* m_mysql = nullptr;
  kxtest::TestConnection* m_pcnx = new kxtest::TestConnection;
};

std::string Padded(const std::string& s, std::size_t n) {
  std::string r(s);
  r.resize(n, '\0');
  return r;
}

std::string DateTimeBytes(std::uint32_t nMs) {
  CDateTimeBase st{29, 2, 2024, nMs};
  return std::string(reinterpret_cast<const char*>(&st), sizeof st);
}

std::string UTF16Bytes(const std::u16string& s, std::size_t n) {
  std::string r(reinterpret_cast<const char*>(s.data()), s.size() * 2);
  r.resize(n, '\0');
  return r;
}

TEST_F(convertvariant_live, RowOfTheServerIntoEveryItemKind) {
  struct Mode {
    const char* pszNames;
    unsigned nServer;
    int nRuntime;
    std::string sText8;    // the VARCHAR in an 8-bit item of 12 bytes
  };
  const Mode modes[] = {
      {"utf8mb4", 65001, 1252, "R\xE9? \xE4"},
      {"utf8mb4", 65001, 932, "R?? ?"},
      {"latin1", 1252, 1252, "R\xE9? \xE4"},
  };
  for (const Mode& m : modes) {
    SCOPED_TRACE(std::string(m.pszNames) + " at " + std::to_string(m.nRuntime));
    Run(std::string("SET NAMES ") + m.pszNames);
    m_pcnx->m_nApplicationCodePage = m.nRuntime;
    m_pcnx->m_nDataBaseCodePage = static_cast<int>(m.nServer);
    const std::vector<std::string> a = Row();
    ASSERT_EQ(1u + 21 + 5, a.size());
    std::size_t i = 0;
    EXPECT_EQ(Padded("20240229", 9), Feed(NA_IT_DATE8, 9, a[i++], true, m.nServer));
    for (int n = 0; n <= 6; ++n) {
      const std::uint32_t nFraction = n == 0 ? 0 : n == 1 ? 100 : 120;
      const std::string sDigits = "134507" + std::string(n == 0 ? "000" : n == 1 ? "100" : "120");
      EXPECT_EQ(Padded(sDigits, 10), Feed(NA_IT_HEURE, 10, a[i++], false, m.nServer)) << "TIME(" << n << ")";
      EXPECT_EQ(DateTimeBytes(knMsOfDay + nFraction), Feed(NA_IT_DATETIME, 8, a[i++], true, m.nServer))
          << "DATETIME(" << n << ") " << a[i - 1];
      EXPECT_EQ(DateTimeBytes(knMsOfDay + nFraction), Feed(NA_IT_DATETIME, 8, a[i++], false, m.nServer))
          << "TIMESTAMP(" << n << ") " << a[i - 1];
    }
    const std::uint64_t uMax = 18446744073709551615ull;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&uMax), 8), Feed(NA_IT_UI8, 8, a[i++], false, m.nServer));
    const double d = -2500.0;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d), 8), Feed(NA_IT_R8, 8, a[i++], false, m.nServer));
    const std::int64_t nDecimal = -123456;  // 6 bytes of a DECIMAL(12,2)
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&nDecimal), 6) + std::string(2, '\0'),
              Feed(NA_IT_DECIMAL, 8, a[i++], false, m.nServer, 10, 2));
    const std::string sText = a[i++];
    EXPECT_EQ(Padded(m.sText8, 12), Feed(NA_IT_TEXTE, 12, sText, false, m.nServer));
    if (m.nServer == 65001)
      EXPECT_EQ(UTF16Bytes(u"R\u00E9\U0001F600 \u00E4", 20), Feed(NA_IT_UNICODE, 20, sText, false, m.nServer));
    else
      EXPECT_EQ(UTF16Bytes(u"R\u00E9? \u00E4", 20), Feed(NA_IT_UNICODE, 20, sText, false, m.nServer));
    EXPECT_EQ(std::string("\x03\x00\x00\xFF\x10", 5) + std::string(15, '\0'),
              Feed(NA_IT_BINAIRE, 20, a[i++], false, m.nServer));
  }
}

}  // namespace
