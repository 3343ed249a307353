#include "CMySQLDriverSQL.h"

#include <cwchar>
#include <new>
#include <string>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNABoundary.h"
#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CTString.h"
#include "CTStringConcatAW.h"
#include "CXYStringConcat.h"

namespace {

// The column types of the server and the SQL runtime's number of each, in
// the order the runtime lists them.
constexpr const wchar_t* kszColumnTypes =
    L"bit\t1\r\n"
    L"tinyint\t2\r\n"
    L"tinyint unsigned\t2\r\n"
    L"smallint\t13\r\n"
    L"smallint unsigned\t13\r\n"
    L"mediumint\t12\r\n"
    L"mediumint unsigned\t12\r\n"
    L"integer\t12\r\n"
    L"integer unsigned\t12\r\n"
    L"int\t12\r\n"
    L"int unsigned\t12\r\n"
    L"bigint\t3\r\n"
    L"bigint unsigned\t3\r\n"
    L"numeric\t10\r\n"
    L"decimal\t11\r\n"
    L"real\t15\r\n"
    L"float\t15\r\n"
    L"double\t16\r\n"
    L"char\t9\r\n"
    L"varchar\t20\r\n"
    L"long varchar\t7\r\n"
    L"text\t7\r\n"
    L"mediumtext\t7\r\n"
    L"tinyblob\t4\r\n"
    L"mediumblob\t4\r\n"
    L"blob\t4\r\n"
    L"longblob\t4\r\n"
    L"long varbinary\t4\r\n"
    L"enum\t20\r\n"
    L"set\t20\r\n"
    L"year\t13\r\n"
    L"date\t17\r\n"
    L"time\t18\r\n"
    L"datetime\t19\r\n"
    L"timestamp\t19";

constexpr const wchar_t* kszLineBreak = L"\r\n";

// Whether the server predates INFORMATION_SCHEMA (an unknown version, -1,
// counts as old: SHOW works everywhere).
bool bOldServer(const CNAConnectionDescription* connection) {
  return connection == nullptr ||
         connection->nGetServerMajor() < CMySQLDriverSQL::knFirstInformationSchemaMajor;
}

// The list's current text (empty when it holds none).
std::wstring ListText(const CAny* list) {
  if (list == nullptr) return std::wstring();
  const wchar_t* psz = nullptr;
  if (list->nGetPCWSTR(&psz) != ANY_OK || psz == nullptr) return std::wstring();
  return std::wstring(psz);
}

// Each "\r\n"-separated entry of `text` (none for the empty text) becomes
// "<name>\t<database>\t<owner>\tTABLE", split by the connection's owner
// rule.
std::wstring DetailedEntries(const std::wstring& text, CNAConnectionDescription* connection) {
  std::wstring sOut;
  if (text.empty()) return sOut;
  const wchar_t* pszDatabase = connection != nullptr ? connection->pszGetDefaultDataBaseEx() : nullptr;
  const std::wstring sDatabase = pszDatabase != nullptr ? pszDatabase : L"";
  const std::wstring sBreak = kszLineBreak;
  std::size_t nStart = 0;
  for (bool bFirst = true;; bFirst = false) {
    const std::size_t nEnd = text.find(sBreak, nStart);
    const std::wstring sEntry =
        text.substr(nStart, nEnd == std::wstring::npos ? std::wstring::npos : nEnd - nStart);
    CTString csOwner;
    CTString csName;
    if (connection != nullptr) connection->bExtractOwner(nullptr, sEntry.c_str(), &csOwner, &csName);
    else csName.Set(sEntry.c_str());
    if (!bFirst) sOut += sBreak;
    sOut += csName.pszGet();
    sOut += L'\t';
    sOut += sDatabase;
    sOut += L'\t';
    sOut += csOwner.pszGet();
    sOut += L"\tTABLE";
    if (nEnd == std::wstring::npos) break;
    nStart = nEnd + sBreak.size();
  }
  return sOut;
}

}  // namespace

CMySQLDriverSQL::CMySQLDriverSQL(CNADriver* driver, CNAError* error) : CNADriverSQL(driver, error) {}

CMySQLDriverSQL::~CMySQLDriverSQL() = default;

const wchar_t* CMySQLDriverSQL::s_pszColumnTypeList() { return kszColumnTypes; }

int CMySQLDriverSQL::bGetColumnTypeList(CAny* result, int /*connection*/, unsigned int /*flags*/) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    s_SetListText(result, kszColumnTypes, std::wcslen(kszColumnTypes));
    return 1;
  });
}

int CMySQLDriverSQL::bGetTableList(CAny* list, CNAConnectionDescription* connection,
                                   const wchar_t* filter, unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    // A newer server answers the generic INFORMATION_SCHEMA listing; SHOW
    // TABLES stays the way when that listing cannot be had.
    if (!bOldServer(connection) && CNADriverSQL::bGetTableList(list, connection, filter, flags)) return 1;

    int bResult = 1;
    if ((flags & kdwTables) == 0) {
      s_SetListText(list, L"", 0);
    } else {
      std::wstring sQuery = L"SHOW TABLES";
      if (filter != nullptr && filter[0] != 0) {
        // The runtime's filter (a LIKE or WHERE clause) goes as it is given.
        sQuery += L' ';
        sQuery += filter;
      }
      bResult = _bGetList(list, connection, sQuery.c_str(), 1, flags);
      if (bResult && (flags & kdwDetailed) != 0) {
        const std::wstring sDetailed = DetailedEntries(ListText(list), connection);
        s_SetListText(list, sDetailed.c_str(), sDetailed.size());
      }
    }
    if ((flags & kdwSorted) != 0) s_SortListText(list);
    return bResult;
  });
}

int CMySQLDriverSQL::bGetColumnList(CAny* list, CNAConnectionDescription* connection,
                                    const wchar_t* table, unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (connection == nullptr) return 0;
    CTString csTable;
    if (!connection->bFormatTableName(m_pclError, table, &csTable)) return 0;
    std::wstring sQuery = L"SHOW COLUMNS FROM ";
    sQuery += csTable.pszGet();
    return _bGetList(list, connection, sQuery.c_str(), 1, flags);
  });
}

CNAStatementSQL* CMySQLDriverSQL::pclAllocStatementSQL(CNAConnectionDescription* connection,
                                                       CNAError* error) {
  auto* pclMySQL = dynamic_cast<CMySQLConnection*>(connection);
  // A statement of this driver speaks to the client library through its
  // connection's handle: another kind of connection has none.
  if (connection != nullptr && pclMySQL == nullptr) return nullptr;
  return new (std::nothrow) CMySQLStatementSQL(pclMySQL, error);
}

int CMySQLDriverSQL::_bGetDatabaseListQuery(CTStringConcatAW* text,
                                            CNAConnectionDescription* connection,
                                            unsigned int flags) {
  if (!bOldServer(connection)) return CNADriverSQL::_bGetDatabaseListQuery(text, connection, flags);
  if (text == nullptr) return 0;
  static constexpr wchar_t kszQuery[] = L"SHOW DATABASES";
  text->SetStrCte(kszQuery, static_cast<long>(std::wcslen(kszQuery)));
  return 1;
}

int CMySQLDriverSQL::_bGetDatabaseTableListQuery(CTStringConcatAW* text, const wchar_t* database,
                                                 CNAConnectionDescription* connection,
                                                 unsigned int flags) {
  if (!bOldServer(connection))
    return CNADriverSQL::_bGetDatabaseTableListQuery(text, database, connection, flags);
  if (text == nullptr || connection == nullptr) return 0;
  CTString csDatabase;
  if (!connection->bFormatTableName(m_pclError, database, &csDatabase)) return 0;
  static constexpr wchar_t kszQuery[] = L"SHOW TABLES FROM ";
  text->SetStrCte(kszQuery, static_cast<long>(std::wcslen(kszQuery)));
  text->Add(csDatabase);
  return 1;
}
