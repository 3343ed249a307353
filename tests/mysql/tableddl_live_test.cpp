// A data access of the MariaDB driver opening, creating, dropping and
// emptying its table on the fixture's server:
//
// - a created table is InnoDB with its identifier the AUTO_INCREMENT
//   primary key; each key with duplicates and each composite key gets an
//   index of its own (the composite one UNIQUE when unique, the others
//   under generated names that differ within one second), a single unique
//   item only its column constraint;
// - an identifier beside a primary-key item is refused by the server
//   (1068), reported as the CREATE's failure also after the DROP that goes
//   first found no table;
// - create-if-missing opens an existing table (its rows kept) or creates a
//   missing one, leaving no report of the missing table;
// - opening checks the server's table against the declared items (error 20
//   naming a missing one), once: later openings ask the server nothing;
// - dropping a missing table succeeds; a table another table refers to
//   stays and the drop fails with the server's reason; deleting every
//   record empties the table and leaves the data access closed;
// - the driver's own descriptions read a table's items from the server.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "CMySQLDataAccess.h"
#include "CMySQLDataSourceDescription.h"
#include "CNADataAccess.h"
#include "CNADataSourceDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/DriverLiveTest.h"

namespace {

using kxtest::Narrow;
using kxtest::WideFromUTF8;

constexpr std::uint16_t kDup = CNAItemDescription::KEY_DUPLICATES | CNAItemDescription::KEY_ASCENDING;
constexpr std::uint16_t kUnique = CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_ASCENDING;
constexpr std::uint16_t kPrimary =
    CNAItemDescription::KEY_PRIMARY | CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_ASCENDING;
constexpr std::uint16_t kCompositeUnique = CNAItemDescription::KEY_COMPOSED | kUnique;

class tableddlLive : public kxtest::DriverLiveTest {
 protected:
  tableddlLive() : DriverLiveTest("kxddl_") {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    m_sChild = m_sTable + "_child";
    Run("DROP TABLE IF EXISTS " + m_sChild);
    Run("DROP TABLE IF EXISTS " + m_sTable);
  }
  void TearDown() override {
    if (m_pAccess != nullptr) m_pAccess->nRelease();
    m_pAccess = nullptr;
    if (m_pSource != nullptr) m_pSource->nRelease();
    m_pSource = nullptr;
    if (m_pSession != nullptr) Run("DROP TABLE IF EXISTS " + m_sChild);
    DriverLiveTest::TearDown();
  }

  // The test's table as the platform declares it: `id` its automatic
  // identifier, `nom` a text; `describe` adds the other items.
  template <typename F>
  void Declare(F describe) {
    m_pSource = new CNADataSourceDescription(m_pCnx, m_pError);
    m_pSource->AddRef();
    const std::wstring sName = WideFromUTF8(m_sTable);
    m_pSource->SetLogicalName(sName.c_str());
    m_pSource->SetDBName(sName.c_str());
    Item(L"id", NA_IT_IDAUTO, 8, 0);
    describe();
    m_pSource->UpdateRecordSize();
    m_pAccess = m_pDriver->pclAllocDataAccess(m_pSource, m_pCnx, m_pError);
    ASSERT_NE(nullptr, dynamic_cast<CMySQLDataAccess*>(m_pAccess));
    m_pAccess->AddRef();
  }
  CNAItemDescription* Item(const wchar_t* name, eNA_ITEMTYPE type, std::uint32_t size, std::uint16_t keys) {
    EXPECT_TRUE(m_pSource->bAddItem(name, L"", name, 1, size, type, 0xFFFFFFFFu, -1, keys, 0, 0));
    return m_pSource->pclNAGetItemNoRef(name, 2);
  }
  // A composite key over `components`.
  void Composite(const wchar_t* name, std::uint16_t keys, std::initializer_list<const wchar_t*> components) {
    CNAItemDescription* key = Item(name, NA_IT_BINAIRE, 0, keys);
    ASSERT_NE(nullptr, key);
    for (const wchar_t* c : components) ASSERT_TRUE(m_pSource->_bAddItemComponent(key, c));
  }

  std::string Error() { return Narrow(m_pError->pszGetError()); }

  CNADataSourceDescription* m_pSource = nullptr;
  CNADataAccess* m_pAccess = nullptr;
  std::string m_sChild;
};

// The indexes of a created table: one per key with duplicates under its
// own generated name (two made in the same second differ), one UNIQUE for
// the composite unique key under its name, none besides the column
// constraint for a single unique item. The table is InnoDB, its identifier
// the AUTO_INCREMENT primary key, and it is open.
TEST_F(tableddlLive, CreateMakesTheTableAndTheIndexesOfItsKeys) {
  Declare([this] {
    Item(L"nom", NA_IT_TEXTE, 21, kDup);
    Item(L"ville", NA_IT_TEXTE, 21, kDup);
    Item(L"code", NA_IT_I4, 4, kUnique)->SetNullable(0);
    Item(L"a", NA_IT_I4, 4, 0);
    Item(L"b", NA_IT_I4, 4, 0);
    Composite(L"ab", kCompositeUnique, {L"a", L"b"});
  });
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(1, m_pAccess->bHCreation(nullptr, 0)) << Error();
  EXPECT_TRUE(m_pAccess->bIsOpened());
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pError->eGetErrorType()) << Error();

  const std::string sCreate = CreateText(m_sTable);
  EXPECT_NE(std::string::npos, sCreate.find("ENGINE=InnoDB")) << sCreate;
  EXPECT_NE(std::string::npos, sCreate.find("`id` bigint(20) NOT NULL AUTO_INCREMENT")) << sCreate;
  EXPECT_NE(std::string::npos, sCreate.find("PRIMARY KEY (`id`)")) << sCreate;

  // name -> (unique, columns in order)
  const std::string sIndexes =
      Value("SELECT GROUP_CONCAT(CONCAT(INDEX_NAME, ':', 1 - NON_UNIQUE, ':', COLS) ORDER BY INDEX_NAME SEPARATOR ' ')"
            " FROM (SELECT INDEX_NAME, NON_UNIQUE, GROUP_CONCAT(COLUMN_NAME ORDER BY SEQ_IN_INDEX) AS COLS"
            " FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '" +
            m_sTable + "' GROUP BY INDEX_NAME, NON_UNIQUE) s");
  std::set<std::string> generated;
  std::set<std::string> others;
  std::size_t start = 0;
  while (start < sIndexes.size()) {
    std::size_t end = sIndexes.find(' ', start);
    if (end == std::string::npos) end = sIndexes.size();
    const std::string entry = sIndexes.substr(start, end - start);
    if (entry.rfind("KXIDX", 0) == 0)
      generated.insert(entry.substr(entry.find(':')));
    else
      others.insert(entry);
    start = end + 1;
  }
  EXPECT_EQ((std::set<std::string>{":0:nom", ":0:ville"}), generated) << sIndexes;
  EXPECT_EQ((std::set<std::string>{"PRIMARY:1:id", "code:1:code", "ab:1:a,b"}), others) << sIndexes;
}

// An identifier beside a primary-key item: the server refuses the CREATE
// (1068); its refusal is the error reported, also when a DROP of the
// missing table went first.
TEST_F(tableddlLive, RefusedCreateIsReportedEvenAfterTheDropFoundNoTable) {
  Declare([this] { Item(L"code", NA_IT_I4, 4, kPrimary)->SetNullable(0); });
  ASSERT_FALSE(HasFatalFailure());
  for (int dropFirst : {0, 1}) {
    SCOPED_TRACE(dropFirst);
    m_pError->Reset();
    EXPECT_EQ(0, m_pAccess->bHCreation(nullptr, dropFirst));
    EXPECT_EQ(1068u, m_pError->dwGetDataBaseErrorCode()) << Error();
    // The DROP's "unknown table" was no failure: nothing of it is left.
    EXPECT_EQ(std::string::npos, Error().find("1051")) << Error();
    EXPECT_EQ(NAERRORLEVEL_WARNING, m_pError->eGetErrorLevel());
    EXPECT_FALSE(m_pAccess->bIsOpened());
    EXPECT_FALSE(TableExists(m_sTable));
  }
}

// Create-if-missing: a missing table is created with no word of its
// absence left behind; an existing one is opened, its rows kept.
TEST_F(tableddlLive, CreateIfMissingOpensOrCreates) {
  Declare([this] { Item(L"nom", NA_IT_TEXTE, 21, 0); });
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(1, m_pAccess->bHCreationSiInexistant(static_cast<eNA_ACCESS>(0), nullptr)) << Error();
  EXPECT_TRUE(TableExists(m_sTable));
  EXPECT_TRUE(m_pAccess->bIsOpened());
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pError->eGetErrorType()) << Error();
  EXPECT_EQ(NAERRORLEVEL_NONE, m_pError->eGetErrorLevel());

  Run("INSERT INTO " + m_sTable + " (nom) VALUES ('kept')");
  m_pAccess->bHFerme();
  ASSERT_EQ(1, m_pAccess->bHCreationSiInexistant(static_cast<eNA_ACCESS>(0), nullptr)) << Error();
  EXPECT_TRUE(m_pAccess->bIsOpened());
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pError->eGetErrorType()) << Error();
  EXPECT_EQ("kept", Value("SELECT GROUP_CONCAT(nom) FROM " + m_sTable));
}

// Opening checks the server's table once: a declared item the server
// lacks is error 20 naming it; once found compatible, later openings ask
// the server nothing (the table dropped behind the access's back goes
// unnoticed).
TEST_F(tableddlLive, OpenChecksTheServersTableOnce) {
  Declare([this] {
    Item(L"nom", NA_IT_TEXTE, 21, 0);
    Item(L"absent", NA_IT_I4, 4, 0);
  });
  ASSERT_FALSE(HasFatalFailure());
  Run("CREATE TABLE " + m_sTable + " (id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, nom VARCHAR(20)) ENGINE=InnoDB");
  EXPECT_EQ(0, m_pAccess->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr));
  EXPECT_FALSE(m_pAccess->bIsOpened());
  EXPECT_EQ(20u, m_pError->nGetUserErrorCode()) << Error();
  EXPECT_NE(std::string::npos, Error().find("absent")) << Error();
  EXPECT_EQ(NAERRORLEVEL_WARNING, m_pError->eGetErrorLevel());

  m_pError->Reset();
  Run("ALTER TABLE " + m_sTable + " ADD COLUMN absent INT");
  ASSERT_EQ(1, m_pAccess->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr)) << Error();
  EXPECT_TRUE(m_pAccess->bIsOpened());
  EXPECT_EQ(1, m_pAccess->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr));
  Run("DROP TABLE " + m_sTable);
  m_pAccess->bHFerme();
  EXPECT_EQ(1, m_pAccess->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr)) << Error();
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pError->eGetErrorType()) << Error();
}

// A missing table counts as dropped. A table another table's foreign key
// refers to is refused by the server: the drop fails with that reason and
// the table stays; once free, it goes.
TEST_F(tableddlLive, DropFailsWhenTheServerKeepsTheTable) {
  Declare([this] { Item(L"nom", NA_IT_TEXTE, 21, 0); });
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(1, m_pAccess->bSupprimeFichier()) << Error();
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pError->eGetErrorType()) << Error();

  Run("CREATE TABLE " + m_sTable + " (id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, nom VARCHAR(20)) ENGINE=InnoDB");
  Run("CREATE TABLE " + m_sChild + " (parent BIGINT, FOREIGN KEY (parent) REFERENCES " + m_sTable +
      " (id)) ENGINE=InnoDB");
  ASSERT_EQ(1, m_pAccess->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr)) << Error();
  EXPECT_EQ(0, m_pAccess->bSupprimeFichier());
  EXPECT_TRUE(TableExists(m_sTable));
  EXPECT_NE(0u, m_pError->dwGetDataBaseErrorCode()) << Error();
  EXPECT_NE(1051u, m_pError->dwGetDataBaseErrorCode()) << Error();
  EXPECT_EQ(NAERRORLEVEL_WARNING, m_pError->eGetErrorLevel());

  Run("DROP TABLE " + m_sChild);
  m_pError->Reset();
  EXPECT_EQ(1, m_pAccess->bSupprimeFichier()) << Error();
  EXPECT_FALSE(TableExists(m_sTable));
  EXPECT_FALSE(m_pAccess->bIsOpened());
}

// Deleting every record empties the table and leaves the access closed.
TEST_F(tableddlLive, DeleteAllEmptiesTheTableAndClosesTheAccess) {
  Declare([this] { Item(L"nom", NA_IT_TEXTE, 21, 0); });
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(1, m_pAccess->bHCreation(nullptr, 1)) << Error();
  Run("INSERT INTO " + m_sTable + " (nom) VALUES ('a'), ('b'), ('c')");
  ASSERT_TRUE(m_pAccess->bIsOpened());
  EXPECT_EQ(1, m_pAccess->bSupprimeTout()) << Error();
  EXPECT_FALSE(m_pAccess->bIsOpened());
  EXPECT_EQ("0", Value("SELECT COUNT(*) FROM " + m_sTable));
  EXPECT_TRUE(TableExists(m_sTable));
}

// The driver describes a table by its own description, from the server's
// catalogues.
TEST_F(tableddlLive, DriverDescribesTablesFromTheServer) {
  Run("CREATE TABLE " + m_sTable + " (id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, nom VARCHAR(20)) ENGINE=InnoDB");
  CNADataSourceDescription* d = m_pDriver->_pclGetTableDesc(WideFromUTF8(m_sTable).c_str(), m_pCnx);
  ASSERT_NE(nullptr, d) << Error();
  EXPECT_NE(nullptr, dynamic_cast<CMySQLDataSourceDescription*>(d));
  ASSERT_EQ(2u, d->nGetNumItems());
  EXPECT_EQ(NA_IT_IDAUTO, d->pclGetItemNoRef(0)->eNAGetItemType());
  EXPECT_EQ(L"nom", std::wstring(d->pclGetItemNoRef(1)->pszGetName()));
  d->nRelease();
}

}  // namespace
