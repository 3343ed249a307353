// The catalogue half of the SQL face: the INFORMATION_SCHEMA lists of
// databases, tables and columns, the query builders a concrete face may
// replace, and the lock requests of the SQL runtime.
#include <cwchar>
#include <cwctype>

#include "CAny.h"
#include "CNABoundary.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADataSourceDescription.h"
#include "CNADriver.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNAHeld.h"
#include "CTString.h"
#include "CTStringArray.h"
#include "CTStringConcatAW.h"
#include "CXError.h"
#include "CXYStringConcat.h"
#include "MyModuleInfo.h"

namespace {

constexpr std::uint64_t knListStep = 1024;
constexpr std::uint64_t knQueryStep = 256;

constexpr wchar_t kszRecordBreak[] = L"\r\n";

// The table-kind conditions, in the order they are written.
constexpr struct {
  unsigned int dwFlag;
  const wchar_t* pszCondition;
} kastKinds[] = {
    {CNADriverSQL::kdwListBaseTables, L"TABLE_TYPE='BASE TABLE'"},
    {CNADriverSQL::kdwListSystemTables, L"TABLE_TYPE='SYSTEM TABLE'"},
    {CNADriverSQL::kdwListViews, L"TABLE_TYPE='VIEW'"},
};

// The lock requests' user error (a lock needs a transaction) and where it
// is reported: the SQL face, table lock 3, query lock 2.
constexpr unsigned int knErrLockOutsideTransaction = 29;
constexpr int knLocationSQLFace = 51;
constexpr int knSiteQueryLock = 2;
constexpr int knSiteTableLock = 3;

long Length(const wchar_t* psz) { return psz != nullptr ? static_cast<long>(std::wcslen(psz)) : 0; }

void AddText(CXYStringConcat<wchar_t>* out, const wchar_t* psz) { out->Add(psz, Length(psz)); }

void AddText(CTStringConcatAW* out, const wchar_t* psz) { out->AddStrCte(psz, Length(psz)); }

// The wide text a value holds (null when it holds none).
const wchar_t* ListText(const CAny* list) {
  const wchar_t* psz = nullptr;
  if (list == nullptr || list->nGetPCWSTR(&psz) != ANY_OK) return nullptr;
  return psz;
}

// *value = the text of `column` of the statement's current row, read
// through `variant`. False when the read fails.
int bReadText(CNAStatementSQL* statement, CNAConvertVariant* variant, unsigned int column,
              CTString* value) {
  variant->InitTypeVariantAny(ANY_DSTRW);
  if (!statement->bGetValue(variant, column, 0)) return 0;
  // The holder is typed wide text: the value arrives converted (NULL reads
  // as the empty text).
  const wchar_t* psz = ListText(variant->pclGetValue());
  value->Set(psz != nullptr ? psz : L"");
  return 1;
}

// The lock requests' frame: the connection of handle `connection` (a
// reference held for the call), refused outside a transaction.
template <typename F>
int bLockRequest(CNADriver* driver, CNAError* error, int connection, int site, F lock) {
  CNAConnectionDescription* pclCnx = driver != nullptr ? driver->pclGetConnectionByID(connection) : nullptr;
  if (pclCnx == nullptr) return 0;
  const CNAAdopted<CNAConnectionDescription> clHeld(pclCnx);
  if (!pclCnx->_bTransactionOpened()) {
    _CXErrorModule76 clErr(knErrLockOutsideTransaction);
    const std::int32_t nNativeCode = static_cast<std::int32_t>(clErr.nGetUserErrorCode());
    clErr.AddInfo(EIT_NATIVECODE, &nNativeCode);
    CNAError::g_AddDebugInfo(&clErr, knLocationSQLFace, site);
    if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, &clErr, pclCnx);
    return 0;
  }
  return lock(pclCnx);
}

}  // namespace

CNADriver* CNADriverSQL::_pclGetListDriver() const {
  return m_pclDriver != nullptr ? m_pclDriver : CNADriver::s_pclDriver;
}

void CNADriverSQL::s_SortListText(CAny* list) {
  const wchar_t* pszText = ListText(list);
  if (pszText == nullptr || pszText[0] == 0) return;
  CTString csSorted;
  if (CTStringArray::g_bTrieCroissantI(&csSorted, pszText, kszRecordBreak))
    s_SetListText(list, csSorted.pszGet(), std::wcslen(csSorted.pszGet()));
}

// ---------------------------------------------------------------------------
// Query builders
// ---------------------------------------------------------------------------

void CNADriverSQL::_GetTableList_GetFilter(CXYStringConcat<wchar_t>* out, const wchar_t* condition,
                                           unsigned int flags) {
  if (out == nullptr) return;
  // Without parentheses the condition after the kinds (and the schema's,
  // added by the callers) would bind to the last kind only.
  int nKinds = 0;
  for (const auto& stKind : kastKinds) nKinds += (flags & stKind.dwFlag) != 0 ? 1 : 0;
  const bool bGrouped = nKinds > 1;
  bool bAny = false;
  for (const auto& stKind : kastKinds) {
    if ((flags & stKind.dwFlag) == 0) continue;
    if (bAny)
      AddText(out, L" OR ");
    else if (bGrouped)
      AddText(out, L"(");
    AddText(out, stKind.pszCondition);
    bAny = true;
  }
  if (bGrouped) AddText(out, L")");
  if (condition != nullptr && condition[0] != 0) {
    AddText(out, L" ");
    AddText(out, condition);
  }
}

int CNADriverSQL::_bGetDatabaseListQuery(CTStringConcatAW* text, CNAConnectionDescription* /*connection*/,
                                         unsigned int /*flags*/) {
  if (text == nullptr) return 0;
  static constexpr wchar_t kszQuery[] = L"SELECT SCHEMA_NAME FROM INFORMATION_SCHEMA.SCHEMATA ORDER BY SCHEMA_NAME";
  text->SetStrCte(kszQuery, Length(kszQuery));
  return 1;
}

int CNADriverSQL::_bGetDatabaseTableListQuery(CTStringConcatAW* text, const wchar_t* database,
                                              CNAConnectionDescription* connection, unsigned int flags) {
  if (text == nullptr || connection == nullptr) return 0;
  const wchar_t* pszDatabase = database != nullptr ? database : L"";
  CTStringConcatAW clLiteral(CONCAT_CP_WIDE, text->nGetConversionCodePage(), knQueryStep);
  if (!connection->_bEscapeString(m_pclError, &clLiteral, ANY_PSTRW,
                                  reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(pszDatabase)),
                                  static_cast<unsigned long>(std::wcslen(pszDatabase) * sizeof(wchar_t))))
    return 0;
  CXYStringConcat<wchar_t> clFilter(knQueryStep);
  _GetTableList_GetFilter(&clFilter, nullptr, flags);
  static constexpr wchar_t kszSelect[] = L"SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE ";
  text->SetStrCte(kszSelect, Length(kszSelect));
  if (clFilter.nGetLength() > 0) {
    text->AddStrCte(clFilter.pszGet(), static_cast<long>(clFilter.nGetLength()));
    AddText(text, L" AND ");
  }
  AddText(text, L"TABLE_SCHEMA = ");
  text->Add(clLiteral.pszGetW(), clLiteral.nGetLengthW());
  AddText(text, L" ORDER BY TABLE_NAME");
  return 1;
}

// ---------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------

int CNADriverSQL::_bGetTableList(CAny* result, CNAConnectionDescription* connection, const wchar_t* filter,
                                 unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CXYStringConcat<wchar_t> clQuery(knQueryStep);
    AddText(&clQuery, L"SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE ");
    if (filter != nullptr && filter[0] != 0) {
      // The caller's filter as one term: its ORs must not escape the
      // schema condition.
      AddText(&clQuery, L"(");
      AddText(&clQuery, filter);
      AddText(&clQuery, L") AND ");
    }
    AddText(&clQuery, L"TABLE_SCHEMA = SCHEMA() ORDER BY TABLE_SCHEMA, TABLE_NAME");
    CNAStatementSQL* pclStatement = nullptr;
    if (!bExecute(m_pclError, &pclStatement, connection, clQuery.pszGet(), nullptr, NA_WRITEPARSE_NONE))
      return 0;
    if (pclStatement == nullptr) {
      s_SetListText(result, L"", 0);
      return 1;
    }
    const CNAAdopted<CNAStatementSQL> clStatement(pclStatement);
    CNADriver* pclDriver = _pclGetListDriver();
    CNAConvertVariant* pclVariant =
        pclDriver != nullptr ? pclDriver->pclGetNewVariant_NV_Any(m_pclError, connection, nullptr, ANY_DSTRW)
                             : nullptr;
    if (pclVariant == nullptr) {
      s_SetListText(result, L"", 0);
      return 0;
    }
    const CNAAdopted<CNAConvertVariant> clVariant(pclVariant);
    CXYStringConcat<wchar_t> clList(knListStep);
    int bResult = 1;
    for (bool bFirst = true;; bFirst = false) {
      // A fetch error is no end of rows: what was read is not the list.
      if (!pclStatement->bFetch(0)) {
        bResult = 0;
        break;
      }
      if (pclStatement->bNoCurrentRow()) break;
      CTString csName;
      CTString csSchema;
      if (!bReadText(pclStatement, pclVariant, 0, &csName) ||
          !bReadText(pclStatement, pclVariant, 1, &csSchema)) {
        bResult = 0;
        break;
      }
      if (!bFirst) AddText(&clList, kszRecordBreak);
      AddText(&clList, csName.pszGet());
      if ((flags & kdwListLong) == 0) continue;
      AddText(&clList, L"\t");
      AddText(&clList, csSchema.pszGet());
      AddText(&clList, L"\t\t");
      CTString csType;
      if (!bReadText(pclStatement, pclVariant, 2, &csType)) {
        bResult = 0;
        break;
      }
      AddText(&clList, csType.bEstEgalI(L"BASE TABLE") ? L"TABLE" : csType.pszGet());
    }
    s_SetListText(result, clList.pszGet(), clList.nGetLength());
    return bResult;
  });
}

int CNADriverSQL::bGetTableList(CAny* result, CNAConnectionDescription* connection, const wchar_t* filter,
                                unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if ((flags & kdwListKinds) == 0) {
      s_SetListText(result, L"", 0);
      return 1;
    }
    CXYStringConcat<wchar_t> clFilter(knQueryStep);
    _GetTableList_GetFilter(&clFilter, filter, flags);
    const int bResult = _bGetTableList(result, connection, clFilter.pszGet(), flags);
    if ((flags & kdwListSorted) != 0) s_SortListText(result);
    return bResult;
  });
}

int CNADriverSQL::_bGetDatabaseList(CXYStringConcat<wchar_t>* out, CNAConnectionDescription* connection,
                                    unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (out == nullptr) return 0;
    CTStringConcatAW clQuery(CONCAT_CP_WIDE, 1252, knQueryStep);
    if (!_bGetDatabaseListQuery(&clQuery, connection, flags)) return 0;
    if (!_bGetList(out, connection, clQuery.pszGetW(), 1, flags, L"\t")) return 0;
    const bool bSorted = (flags & kdwListSorted) != 0;
    if ((flags & kdwListKinds) == 0) {
      CTString csSorted;
      if (bSorted && out->nGetLength() > 0 && CTStringArray::g_bTrieCroissantI(&csSorted, out->pszGet(), L"\t")) {
        out->SetLength(0);
        AddText(out, csSorted.pszGet());
      }
      return 1;
    }
    CTStringArray clNames;
    clNames.Decoupe(out->pszGet(), L"\t");
    if (bSorted) clNames.TrieCroisssantI();
    out->SetLength(0);
    CXYStringConcat<wchar_t> clTables(knListStep);
    for (int i = 0; i < clNames.nGetNbElements(); ++i) {
      const wchar_t* pszDatabase = clNames[i]->pszGet();
      clQuery.SetStrCte(L"", 0);
      if (!_bGetDatabaseTableListQuery(&clQuery, pszDatabase, connection, flags)) return 0;
      // The tables of one database are the fields of its record.
      if (!_bGetList(&clTables, connection, clQuery.pszGetW(), 1, flags, L"\t")) return 0;
      if (i > 0) AddText(out, kszRecordBreak);
      AddText(out, pszDatabase);
      AddText(out, L"\t");
      out->Add(clTables.pszGet(), static_cast<long>(clTables.nGetLength()));
    }
    return 1;
  });
}

int CNADriverSQL::bGetColumnList(CAny* result, CNAConnectionDescription* connection, const wchar_t* table,
                                 unsigned int /*flags*/) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    CNADriver* pclDriver = _pclGetListDriver();
    CNADataSourceDescription* pclSource =
        pclDriver != nullptr ? pclDriver->_pclGetTableDesc(table, connection) : nullptr;
    if (pclSource == nullptr) {
      if (result != nullptr) result->SetNull(true);
      return 0;
    }
    const CNAAdopted<CNADataSourceDescription> clSource(pclSource);
    CXYStringConcat<wchar_t> clList(knListStep);
    // The composite keys follow the columns.
    for (std::uint32_t i = 0; i < pclSource->nGetNumItems(); ++i) {
      CNAItemDescription* pclItem = pclSource->pclGetItemNoRef(i);
      if (pclItem == nullptr || pclItem->bIsComposedKey(0)) break;
      if (i > 0) AddText(&clList, kszRecordBreak);
      AddText(&clList, pclItem->pszGetName());
    }
    s_SetListText(result, clList.pszGet(), clList.nGetLength());
    return 1;
  });
}

int CNADriverSQL::bGetColumnTypeList(CAny* result, int /*connection*/, unsigned int /*flags*/) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    s_SetListText(result, L"", 0);
    return 1;
  });
}

// ---------------------------------------------------------------------------
// Lock requests of the SQL runtime
// ---------------------------------------------------------------------------

int CNADriverSQL::bSQLBloqueTable(int connection, const wchar_t* table, unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    return bLockRequest(_pclGetListDriver(), m_pclError, connection, knSiteTableLock,
                        [&](CNAConnectionDescription* pclCnx) {
                          return bSQLBloqueTable(m_pclError, pclCnx, table, flags);
                        });
  });
}

int CNADriverSQL::bSQLBloqueRequete(int connection, const wchar_t* query, unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    return bLockRequest(_pclGetListDriver(), m_pclError, connection, knSiteQueryLock,
                        [&](CNAConnectionDescription* pclCnx) { return bSQLBloqueRequete(pclCnx, query, flags); });
  });
}
