// The write texts of a statement on the fixture's server, through the
// MariaDB driver (the process's driver) and its connection: values with
// quotes, backslashes, NUL, pattern signs, UTF-8 and binary bytes come
// back from the server as they were written by INSERT and by UPDATE; an
// UPDATE of the key moves the row; a DELETE removes the row as read; a
// table whose only written column is the server's AUTO_INCREMENT (alone,
// beside a generated column, beside an updatable column) takes INSERTs
// and hands each identifier back; CREATE TABLE is accepted for every item
// type; a CREATE refused for a too long VARCHAR is accepted once
// corrected.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAError.h"
#include "CNAIDAuto.h"
#include "CNAItemDescription.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CXYStringConcat.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/AnyValues.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/HexBytes.h"
#include "nativeaccess/support/WriteFixture.h"

namespace {

using kxtest::Hex;
using kxtest::Narrow;
using kxtest::Wide;
using kxtest::WideFromUTF8;

constexpr NA_WRITEPARSEFLAGS Flags(std::uint32_t n) { return static_cast<NA_WRITEPARSEFLAGS>(n); }

// The largest identifier as the server answers it, by the identifier
// object's own MAX text.
class ServerMaxIDAuto : public CNAIDAuto {
 public:
  int nCalls = 0;
  int bGetMaxCurrentValue(CNADataAccess* access, CNAColumn* column, CNAError* error, CAny* value) override {
    ++nCalls;
    CXYStringConcat<wchar_t> clText(64);
    if (!_bBuildQueryGetMaxCurrentValue(&clText, access, column)) return 0;
    return access->pclGetConnection()->bGetRequestedValue(error, value, 0, clText.pszGet());
  }
};

class LiveAccess : public kxtest::WriteAccess {
 public:
  using WriteAccess::WriteAccess;
  ~LiveAccess() override { m_pclMax->nRelease(); }
  CNAIDAuto* pclGetIDAuto() override {
    m_pclMax->AddRef();
    return m_pclMax;
  }
  ServerMaxIDAuto* pclMax() const { return m_pclMax; }

 private:
  ServerMaxIDAuto* m_pclMax = [] {
    auto* p = new ServerMaxIDAuto();
    p->AddRef();
    return p;
  }();
};

class stmtwrite_live : public kxtest::DriverLiveTest {
 protected:
  stmtwrite_live() : DriverLiveTest("kxsw_") {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    NewSource(m_sTable);
  }

  // A new description (no items) of `table`, and no server items.
  void NewSource(const std::string& table) {
    m_pSrc = std::make_unique<kxtest::WriteSource>();
    m_pSrc->sTable = WideFromUTF8(table);
    m_pSrc->sLogical = L"LIVE";
    if (m_pImported != nullptr) m_pImported->nRelease();
    m_pImported = new kxtest::TestImportedSource();
    m_pImported->AddRef();
  }

  void TearDown() override {
    ReleaseLayout();
    for (const std::string& s : m_vecDrops) Run("DROP TABLE IF EXISTS " + s);
    if (m_pImported != nullptr) m_pImported->nRelease();
    // The items hold runtime values: they go while the runtime is bound.
    m_pSrc.reset();
    DriverLiveTest::TearDown();
  }

  void ReleaseLayout() {
    if (m_pCommand != nullptr) m_pCommand->nRelease();
    if (m_pSt != nullptr) m_pSt->nRelease();
    if (m_pRecord != nullptr) m_pRecord->nRelease();
    if (m_pAccess != nullptr) m_pAccess->nRelease();
    m_pCommand = nullptr;
    m_pSt = nullptr;
    m_pRecord = nullptr;
    m_pAccess = nullptr;
  }

  // The layout over the items added to m_pSrc (and m_pImported), its
  // statement and a command.
  void MakeLayout() {
    m_pAccess = new LiveAccess(m_pSrc.get(), m_pCnx, m_pError);
    m_pAccess->AddRef();
    m_pRecord = new CNARecord(m_pError, m_pAccess);
    m_pRecord->AddRef();
    ASSERT_TRUE(m_pRecord->bInitRecord(m_pSrc.get(), m_pImported, m_pCnx)) << Narrow(m_pError->pszGetError());
    m_pAccess->SetCurrentRecord(m_pRecord);
    m_pSt = new CNAStatement(m_pAccess, m_pError);
    m_pSt->AddRef();
    ASSERT_NE(nullptr, m_pSt->pclGetStatementSQLNoRef()) << Narrow(m_pError->pszGetError());
    m_pCommand = m_pAccess->pclAllocCommand(m_pError);
    ASSERT_NE(nullptr, m_pCommand);
    m_pCommand->AddRef();
  }

  CNAColumn* Col(INAItemDescription* item) const { return m_pRecord->pclGetColumnNoRef(item); }
  void Set(INAItemDescription* item, const CAny& value) {
    EXPECT_TRUE(Col(item)->bSetValue(&value, 0)) << Narrow(m_pError->pszGetError());
  }
  static CAny I4(int n) {
    CAny v;
    v.SetI4(n);
    return v;
  }
  static CAny Bin(const std::string& s) {
    CAny v;
    v.SetBIN(reinterpret_cast<const unsigned char*>(s.data()), s.size());
    return v;
  }
  // The item's current value as a wide text ("<unreadable>" when it is
  // none).
  std::wstring WideOf(INAItemDescription* item) const {
    CAny v;
    if (!Col(item)->bGetCurrentValue(&v, 0) || v.bIsNull()) return L"<unreadable>";
    CAny clText = v;
    const wchar_t* psz = nullptr;
    if (clText.__nCastTo(ANY_DSTRW, nullptr, 0) > 99 || clText.nGetPCWSTR(&psz) > 99 || psz == nullptr)
      return L"<unreadable>";
    return psz;
  }
  std::int64_t I8Of(INAItemDescription* item) const {
    std::int64_t n = 0;
    std::memcpy(&n, Col(item)->pGetValuePtr(m_pRecord), sizeof n);
    return n;
  }

  // Builds with `build` and runs the command on the statement.
  bool Write(const std::function<int()>& build) {
    if (!build()) {
      ADD_FAILURE() << "build: " << Narrow(m_pError->pszGetError());
      return false;
    }
    m_sLastText = Narrow(m_pCommand->pszGetOriginalSQL());
    if (!m_pSt->bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT)) {
      ADD_FAILURE() << m_sLastText << ": " << Narrow(m_pError->pszGetError());
      return false;
    }
    return true;
  }
  bool Insert(std::uint32_t flags = 0) {
    return Write([&] { return m_pSt->bBuildQueryINSERT(m_pCommand, Flags(flags)); });
  }
  bool Update() {
    return Write([&] { return m_pSt->bBuildQueryUPDATE(m_pCommand, Flags(0)); });
  }
  bool Delete() {
    return Write([&] { return m_pSt->bBuildQueryDELETE(m_pCommand, Flags(0)); });
  }
  void MarkRead() { ASSERT_TRUE(m_pRecord->bCopyCurrentRecordToOriginalRecord()); }

  std::unique_ptr<kxtest::WriteSource> m_pSrc;
  kxtest::TestImportedSource* m_pImported = nullptr;
  LiveAccess* m_pAccess = nullptr;
  CNARecord* m_pRecord = nullptr;
  CNAStatement* m_pSt = nullptr;
  CNACommand* m_pCommand = nullptr;
  std::string m_sLastText;
  std::vector<std::string> m_vecDrops;
};

// Every value goes to the server as written: read back byte for byte after
// the INSERT and after an UPDATE, the key moved by an UPDATE, the row as
// read removed by the DELETE.
TEST_F(stmtwrite_live, ValuesSurviveInsertAndUpdate) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable +
                  " (ITEM0 INT NOT NULL PRIMARY KEY, ITEM1 VARCHAR(40) CHARACTER SET utf8mb4 NULL,"
                  " ITEM2 VARBINARY(16) NULL) DEFAULT CHARSET=utf8mb4"));
  auto* key = m_pSrc->pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);
  key->SetNullable(0);
  auto* text = m_pSrc->pclAdd(NA_IT_UNICODE, 82);
  auto* bin = m_pSrc->pclAdd(NA_IT_BINAIRE, 18);
  MakeLayout();
  if (HasFatalFailure()) return;

  struct Case {
    const char* name;
    std::wstring text;
    std::string utf8;  // what the server must hold
    std::string bytes;
  } aCases[] = {
      {"quote and backslash", L"O'Brien \\ 'x'\\", "O'Brien \\ 'x'\\", std::string("'\\", 2)},
      {"pattern signs", L"100% _a_ %", "100% _a_ %", std::string("%_", 2)},
      {"UTF-8", L"\u00E9t\u00E9 \u4E2D \u00DF", "\xC3\xA9t\xC3\xA9 \xE4\xB8\xAD \xC3\x9F", std::string("\xC3\xA9", 2)},
      {"NUL and high bytes", L"end", "end", std::string("\x00\x01\xFF\x7F\x00", 5)},
      {"double quote and backquote", L"\"`;--", "\"`;--", std::string("\"`", 2)},
  };
  const std::string sWhere = " FROM " + m_sTable + " WHERE ITEM0 = ";
  // INSERT: one row per case.
  for (int i = 0; i < static_cast<int>(sizeof aCases / sizeof aCases[0]); ++i) {
    const Case& c = aCases[i];
    SCOPED_TRACE(c.name);
    Set(key, I4(i + 1));
    Set(text, Wide(c.text));
    Set(bin, Bin(c.bytes));
    ASSERT_TRUE(Insert());
    EXPECT_EQ(Hex(c.utf8), Value("SELECT HEX(ITEM1)" + sWhere + std::to_string(i + 1))) << m_sLastText;
    EXPECT_EQ(Hex(c.bytes), Value("SELECT HEX(ITEM2)" + sWhere + std::to_string(i + 1))) << m_sLastText;
  }
  // UPDATE: row 1 takes each case's values in turn, addressed as read.
  Set(key, I4(1));
  Set(text, Wide(aCases[0].text));
  Set(bin, Bin(aCases[0].bytes));
  MarkRead();
  for (int i = 4; i >= 0; --i) {
    const Case& c = aCases[i];
    SCOPED_TRACE(std::string("update: ") + c.name);
    Set(text, Wide(c.text + L"!"));
    Set(bin, Bin(c.bytes + "!"));
    ASSERT_TRUE(Update());
    EXPECT_EQ(Hex(c.utf8 + "!"), Value("SELECT HEX(ITEM1)" + sWhere + "1")) << m_sLastText;
    EXPECT_EQ(Hex(c.bytes + "!"), Value("SELECT HEX(ITEM2)" + sWhere + "1")) << m_sLastText;
    MarkRead();
  }
  // The key: row 1 becomes row 10.
  Set(key, I4(10));
  ASSERT_TRUE(Update());
  EXPECT_EQ("0", Value("SELECT COUNT(*)" + sWhere + "1"));
  EXPECT_EQ("1", Value("SELECT COUNT(*)" + sWhere + "10"));
  MarkRead();
  // An UPDATE of nothing sends nothing and succeeds.
  ASSERT_TRUE(Update());
  EXPECT_TRUE(m_pCommand->bIsEmpty());
  // DELETE of the row as read, whatever the record holds now.
  Set(key, I4(2));
  ASSERT_TRUE(Delete());
  EXPECT_EQ("0", Value("SELECT COUNT(*)" + sWhere + "10"));
  EXPECT_EQ("4", Value("SELECT COUNT(*) FROM " + m_sTable));
}

// Tables whose identifier the server fills take an INSERT that lists no
// other column (or only the updatable ones) and hand the identifier back.
TEST_F(stmtwrite_live, AutoIncrementTablesHandTheIdentifierBack) {
  struct Case {
    const char* name;
    const char* columns;  // after the identifier
    bool generated;       // ITEM1 generated by the server
    bool updatable;       // ITEM1 written by the INSERT
  } aCases[] = {
      {"the identifier alone", "", false, false},
      {"beside a generated column", ", ITEM1 BIGINT AS (ITEM0 * 2) VIRTUAL", true, false},
      {"beside an updatable column", ", ITEM1 BIGINT NULL", false, true},
  };
  for (const Case& c : aCases) {
    SCOPED_TRACE(c.name);
    ReleaseLayout();
    NewSource(m_sTable);
    ASSERT_TRUE(Run("DROP TABLE IF EXISTS " + m_sTable));
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (ITEM0 BIGINT AUTO_INCREMENT PRIMARY KEY" + c.columns + ")"));
    auto* id = m_pSrc->pclAdd(NA_IT_IDAUTO, 8);
    m_pImported->pclAdd(L"ITEM0", NA_IT_IDAUTO, 8);
    INAItemDescription* other = nullptr;
    if (c.generated || c.updatable) {
      other = m_pSrc->pclAdd(NA_IT_I8, 8);
      auto* imported = m_pImported->pclAdd(L"ITEM1", NA_IT_I8, 8);
      if (c.generated) imported->SetNotUpdatable();
    }
    MakeLayout();
    if (HasFatalFailure()) return;
    for (int n = 1; n <= 2; ++n) {
      if (other != nullptr) Set(other, I4(40 + n));
      ASSERT_TRUE(Insert());
      ASSERT_TRUE(m_pSt->bUpdateRecordAfterInsert(NA_QUERY_INSERT, 0)) << Narrow(m_pError->pszGetError());
      EXPECT_EQ(n, I8Of(id)) << m_sLastText;
    }
    EXPECT_EQ(2, m_pAccess->pclMax()->nCalls);
    EXPECT_EQ(0, m_pAccess->nNewIds);
    EXPECT_EQ("2", Value("SELECT COUNT(*) FROM " + m_sTable));
    if (c.updatable) {
      EXPECT_EQ("42", Value("SELECT ITEM1 FROM " + m_sTable + " WHERE ITEM0 = 2")) << m_sLastText;
    }
    if (c.generated) {
      EXPECT_EQ("4", Value("SELECT ITEM1 FROM " + m_sTable + " WHERE ITEM0 = 2")) << m_sLastText;
    }
  }
}

// CREATE TABLE from a layout of one column of each item type.
TEST_F(stmtwrite_live, CreateForEveryItemType) {
  struct Item {
    eNA_ITEMTYPE type;
    std::uint32_t size;
    int integer;
    int decimal;
  } aItems[] = {
      {NA_IT_IDAUTO, 8, 0, 0},       {NA_IT_TEXTE, 31, 0, 0},      {NA_IT_I2, 2, 0, 0},
      {NA_IT_I1, 1, 0, 0},           {NA_IT_I4, 4, 0, 0},          {NA_IT_R4, 4, 0, 0},
      {NA_IT_R8, 8, 0, 0},           {NA_IT_UI2, 2, 0, 0},         {NA_IT_DATE6, 7, 0, 0},
      {NA_IT_HEURE, 10, 0, 0},       {NA_IT_UI1, 1, 0, 0},         {NA_IT_REELTURBO, 8, 0, 0},
      {NA_IT_DATE8, 9, 0, 0},        {NA_IT_MEMOTEXTE, 8, 0, 0},   {NA_IT_MEMOBINAIRE4, 8, 0, 0},
      {NA_IT_MONETAIRE, 10, 0, 0},   {NA_IT_MEMOBINAIRE, 8, 0, 0}, {NA_IT_I8, 8, 0, 0},
      {NA_IT_UI8, 8, 0, 0},          {NA_IT_IMAGE, 8, 0, 0},       {NA_IT_UI4, 4, 0, 0},
      {NA_IT_BINAIRE, 18, 0, 0},     {NA_IT_DATETIME, 8, 0, 0},    {NA_IT_TIMELENGHT, 8, 0, 0},
      {NA_IT_CHAR, 2, 0, 0},         {NA_IT_BOOLEEN, 1, 0, 0},     {NA_IT_IDAUTO4, 4, 0, 0},
      {NA_IT_UNICODE, 42, 0, 0},     {NA_IT_MEMOUNICODE, 8, 0, 0},
      {NA_IT_DECIMAL, CNAItemDescription::s_nGetDecimalSize(12), 10, 2},
  };
  int nTable = 0;
  for (const Item& item : aItems) {
    SCOPED_TRACE(static_cast<int>(item.type));
    ReleaseLayout();
    const std::string sTable = m_sTable + "_" + std::to_string(nTable++);
    m_vecDrops.push_back(sTable);
    NewSource(sTable);
    m_pSrc->pclAdd(item.type, item.size, 1, 0, item.integer, item.decimal);
    MakeLayout();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(m_pSt->bBuildQueryCREATE(m_pCommand)) << Narrow(m_pError->pszGetError());
    const std::string sText = Narrow(m_pCommand->pszGetOriginalSQL());
    EXPECT_TRUE(m_pSt->bExecuteDirectNewCommand(m_pCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT))
        << sText << ": " << Narrow(m_pError->pszGetError());
    EXPECT_EQ("1", Value("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                         "TABLE_NAME = '" + sTable + "' AND COLUMN_NAME = 'ITEM0'"))
        << sText;
  }
}

// A table created through the library keeps characters outside the basic
// plane (U+1F600, U+20BB7) in its Unicode item and memo: the server holds
// their four-byte UTF-8, a search on the item finds the row, and the row
// reads back as written.
TEST_F(stmtwrite_live, UnicodeColumnsKeepCharactersOutsideTheBasicPlane) {
  auto* key = m_pSrc->pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_PRIMARY | CNAItemDescription::KEY_UNIQUE);
  key->SetNullable(0);
  auto* item = m_pSrc->pclAdd(NA_IT_UNICODE, 82);
  auto* memo = m_pSrc->pclAdd(NA_IT_MEMOUNICODE, 8);
  MakeLayout();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(m_pSt->bBuildQueryCREATE(m_pCommand)) << Narrow(m_pError->pszGetError());
  const std::string sCreate = Narrow(m_pCommand->pszGetOriginalSQL());
  ASSERT_TRUE(m_pSt->bExecuteDirectNewCommand(m_pCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT))
      << sCreate << ": " << Narrow(m_pError->pszGetError());
  ReleaseLayout();
  MakeLayout();
  if (HasFatalFailure()) return;

  const std::wstring sItem = L"a\U0001F600b\U00020BB7c";
  const std::wstring sMemo = L"\U00020BB7 memo \U0001F600";
  const std::string sItemUtf8 = "a\xF0\x9F\x98\x80" "b\xF0\xA0\xAE\xB7" "c";
  const std::string sMemoUtf8 = "\xF0\xA0\xAE\xB7 memo \xF0\x9F\x98\x80";
  const struct {
    int nKey;
    std::wstring sItem, sMemo;
  } rows[] = {{1, L"plain", L"plain"}, {2, sItem, sMemo}, {3, L"a?b?c", L"?"}};
  for (const auto& row : rows) {
    Set(key, I4(row.nKey));
    Set(item, Wide(row.sItem));
    Set(memo, Wide(row.sMemo));
    ASSERT_TRUE(Insert());
  }
  const std::string sWhere = " FROM " + m_sTable + " WHERE ITEM0 = 2";
  EXPECT_EQ(Hex(sItemUtf8), Value("SELECT HEX(ITEM1)" + sWhere)) << sCreate;
  EXPECT_EQ(Hex(sMemoUtf8), Value("SELECT HEX(ITEM2)" + sWhere)) << sCreate;
  EXPECT_EQ("utf8mb4,utf8mb4",
            Value("SELECT GROUP_CONCAT(CHARACTER_SET_NAME ORDER BY COLUMN_NAME) FROM information_schema.COLUMNS "
                  "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '" + m_sTable + "' AND COLUMN_NAME <> 'ITEM0'"));

  // A search on the item, its value the record's: exactly row 2.
  CNARecherche* pclSearch = m_pSt->pclAllocRecherche();
  ASSERT_NE(nullptr, pclSearch);
  pclSearch->AddRef();
  CNACommand* pclWhere = m_pAccess->pclAllocCommand(m_pError);
  CNACommand* pclSelect = m_pAccess->pclAllocCommand(m_pError);
  ASSERT_NE(nullptr, pclWhere);
  ASSERT_NE(nullptr, pclSelect);
  pclWhere->AddRef();
  pclSelect->AddRef();
  struct Release {
    CNARecherche* s;
    CNACommand* w;
    CNACommand* c;
    ~Release() {
      c->nRelease();
      w->nRelease();
      s->nRelease();
    }
  } clRelease{pclSearch, pclWhere, pclSelect};
  const CAny clSearched = Wide(sItem);
  ASSERT_TRUE(pclSearch->bSetRecherche(m_pRecord, item, &clSearched, NA_PARSE_FIRST, 1, 0));
  ASSERT_TRUE(pclSearch->bGetSQL(pclWhere, nullptr, m_pRecord)) << Narrow(m_pError->pszGetError());
  ASSERT_TRUE(m_pSt->bPrepare(pclSelect, Flags(2)));
  ASSERT_TRUE(m_pSt->bBuildQuerySELECT(pclSelect, NA_WRITEPARSE_NONE, L"ITEM0", 1, pclWhere))
      << Narrow(m_pError->pszGetError());
  const std::string sSelect = Narrow(pclSelect->pszGetOriginalSQL());
  ASSERT_TRUE(m_pSt->bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT)) << sSelect << ": " << Narrow(m_pError->pszGetError());
  ASSERT_TRUE(m_pSt->bFetch(NA_PARSE_FIRST, 0, 1)) << Narrow(m_pError->pszGetError());
  ASSERT_FALSE(m_pSt->bOutOfRange()) << sSelect;
  std::int32_t nKey = -1;
  std::memcpy(&nKey, Col(key)->pGetValuePtr(m_pRecord), sizeof nKey);
  EXPECT_EQ(2, nKey);
  EXPECT_EQ(sItem, WideOf(item)) << sSelect;
  EXPECT_EQ(sMemo, WideOf(memo)) << sSelect;
  ASSERT_TRUE(m_pSt->bFetch(NA_PARSE_NEXT, 0, 1)) << Narrow(m_pError->pszGetError());
  EXPECT_TRUE(m_pSt->bOutOfRange()) << sSelect;
}

// A column too long for a VARCHAR row makes the server refuse the CREATE;
// corrected, the same CREATE is accepted with the long column as a text.
TEST_F(stmtwrite_live, CreateCorrectedForALongVarchar) {
  m_pSrc->pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_PRIMARY);
  m_pSrc->pclAdd(NA_IT_TEXTE, 70001);
  m_pSrc->pclAdd(NA_IT_TEXTE, 21);
  MakeLayout();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(m_pSt->bBuildQueryCREATE(m_pCommand)) << Narrow(m_pError->pszGetError());
  const std::wstring sCreate = m_pCommand->pszGetOriginalSQL();
  EXPECT_FALSE(m_pSt->bExecuteDirectNewCommand(m_pCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT))
      << Narrow(sCreate.c_str());
  m_pError->Reset();
  CTString csCorrected;
  ASSERT_TRUE(CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(&csCorrected, sCreate.c_str(), L"VARCHAR", 65535,
                                                               L"LONGTEXT"))
      << Narrow(sCreate.c_str());
  ASSERT_TRUE(m_pCnx->bExecuteQueryNoResult(m_pError, csCorrected.pszGet()))
      << Narrow(csCorrected.pszGet()) << ": " << Narrow(m_pError->pszGetError());
  EXPECT_EQ("longtext", Value("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                              "TABLE_NAME = '" + m_sTable + "' AND COLUMN_NAME = 'ITEM1'"));
  EXPECT_EQ("varchar", Value("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                             "TABLE_NAME = '" + m_sTable + "' AND COLUMN_NAME = 'ITEM2'"));
}

}  // namespace

// The texts the unit tests fix, as the server takes them ("`t`" and the
// unquoted t stand for the test's table).
TEST_F(stmtwrite_live, TheUnitTestsTextsAreAccepted) {
  const char* const kKeyTextInt = "(ITEM0 INT NOT NULL PRIMARY KEY, ITEM1 VARCHAR(10) NULL, ITEM2 INT NULL)";
  const char* const kIdText = "(ITEM0 BIGINT AUTO_INCREMENT PRIMARY KEY, ITEM1 VARCHAR(10) NULL)";
  const char* const kIdInt = "(ITEM0 BIGINT AUTO_INCREMENT PRIMARY KEY, ITEM1 INT NULL)";
  const struct {
    const char* table;  // columns of the table first made; none: no table
    const char* text;
  } aCases[] = {
      {kKeyTextInt, "INSERT INTO `t` (`ITEM0`,`ITEM1`) VALUES ( 5 , 'a''b' )"},
      {kIdText, "INSERT INTO `t` (`ITEM1`) VALUES ( 'a''b' )"},
      {kIdText, "INSERT INTO `t` (`ITEM0`,`ITEM1`) VALUES ( 100 , 'a''b' )"},
      {kKeyTextInt, "INSERT INTO `t` (`ITEM0`) VALUES ( 5 )"},
      {"(ITEM0 BIGINT AUTO_INCREMENT PRIMARY KEY)", "INSERT INTO `t` VALUES ( DEFAULT )"},
      {"(ITEM0 BIGINT AUTO_INCREMENT PRIMARY KEY)", "INSERT INTO t VALUES ( DEFAULT )"},
      {"(ITEM0 BIGINT AUTO_INCREMENT PRIMARY KEY, ITEM1 VARCHAR(10) AS (CONCAT('g', ITEM0)) VIRTUAL)",
       "INSERT INTO `t` () VALUES ()"},
      {kIdText, "INSERT INTO `t` (`ITEM1`) VALUES ( 'a''b' )"},
      {kIdInt, "INSERT INTO `t` (`ITEM1`) VALUES ( 3 )"},
      {kIdText, "INSERT INTO `t` (`ITEM1`) VALUES ( 'x' ) RETURNING `ITEM0`"},
      {kKeyTextInt, "UPDATE `t` SET `ITEM1` = 'b' WHERE `ITEM0`=5"},
      {kKeyTextInt, "UPDATE `t` SET `ITEM1` = 'b' , `ITEM2` = 10 WHERE `ITEM0`=5"},
      {kKeyTextInt, "UPDATE `t` SET `ITEM0` = 6 WHERE `ITEM0`=5"},
      {kKeyTextInt, "UPDATE `t` SET `ITEM1` = '''%_' WHERE `ITEM0`=5"},
      {kKeyTextInt, "UPDATE `t` SET `ITEM2` = NULL WHERE `ITEM0`=5"},
      {kIdText, "UPDATE `t` SET `ITEM1` = 'b' WHERE `ITEM0`=7"},
      {kIdText, "UPDATE `t` SET `ITEM0` = 8 , `ITEM1` = 'b' WHERE `ITEM0`=7"},
      {kKeyTextInt, "DELETE FROM `t` WHERE `ITEM0`=5"},
      {nullptr,
       "CREATE TABLE `t`( `ITEM0` NUMERIC(19,0)  PRIMARY KEY , `ITEM1` VARCHAR(10)  UNIQUE  NOT NULL , "
       "`ITEM2` INTEGER  NOT NULL , `ITEM3` VARCHAR(20)  UNIQUE , `ITEM4` INTEGER )"},
      {nullptr, "CREATE TABLE `t`( `ITEM0` INTEGER  PRIMARY KEY , `ITEM1` VARCHAR(10) )"},
      {nullptr, "CREATE TABLE `t`( `ITEM0` INTEGER )"},
      {nullptr, "CREATE TABLE t( `a` LONGTEXT, `b` VARCHAR(20) )"},
      {nullptr, "CREATE TABLE t( `a` TEXT, `b` TEXT NOT NULL )"},
      {nullptr, "CREATE TABLE t( `a` LONGTEXT )"},
  };
  for (const auto& c : aCases) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(Run("DROP TABLE IF EXISTS " + m_sTable));
    if (c.table != nullptr) {
      ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " " + c.table));
    }
    std::string s = c.text;
    for (const std::string& from : {std::string("`t`"), std::string(" t ")}) {
      const std::size_t at = s.find(from);
      if (at == std::string::npos) continue;
      s.replace(at, from.size(), from == "`t`" ? "`" + m_sTable + "`" : " " + m_sTable + " ");
    }
    if (s.find("CREATE TABLE t(") == 0) s.replace(13, 1, m_sTable);
    EXPECT_TRUE(m_pCnx->bExecuteQueryIgnoreResult(m_pError, WideFromUTF8(s).c_str()))
        << s << ": " << Narrow(m_pError->pszGetError());
    m_pError->Reset();
  }
}
