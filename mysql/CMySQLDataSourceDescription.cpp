#include "CMySQLDataSourceDescription.h"

#include <cwchar>
#include <cwctype>
#include <initializer_list>
#include <new>
#include <string>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CNAHeld.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNAStatementSQL.h"
#include "CTString.h"
#include "CXError.h"
#include "CXYStringConcat.h"

namespace {

constexpr std::uint16_t knKeyPrimary = 0x8800;    // primary, ascending
constexpr std::uint16_t knKeyUnique = 0x4800;     // unique, ascending
constexpr std::uint16_t knKeyIndexPrimary = 0xC800;
constexpr std::uint16_t knKeyDuplicates = 0x2800;
constexpr std::uint16_t knKeyComposite = 0x1000;

// Column catalogue positions; from server 4.1 on the Collation column sits
// at 2 and the four after it move one place on.
constexpr unsigned int knColField = 0;
constexpr unsigned int knColType = 1;
constexpr unsigned int knColCollation = 2;
constexpr unsigned int knColNullOld = 2;  // then Key, Default, Extra

// Index catalogue positions.
constexpr unsigned int knIdxTable = 0;
constexpr unsigned int knIdxNonUnique = 1;
constexpr unsigned int knIdxKeyName = 2;
constexpr unsigned int knIdxSeq = 3;
constexpr unsigned int knIdxColumn = 4;

// Type code of a wide string: every catalogue value is read as one.
constexpr unsigned short knTypeText = 16;

// Reads value `column` of the statement's current row as text through
// `variant` (typed as a wide string) into *out; *isNull tells the server's
// NULL (then *out is empty). 0 when the read fails.
int ReadText(CNAStatementSQL* statement, CNAConvertVariant* variant, unsigned int column, std::wstring* out,
             bool* isNull = nullptr) {
  out->clear();
  if (isNull != nullptr) *isNull = false;
  if (!statement->bGetValue(variant, column, 0)) return 0;
  if (variant->bIsNull()) {
    if (isNull != nullptr) *isNull = true;
    return 1;
  }
  const wchar_t* psz = nullptr;
  if (variant->pclGetValue()->nGetPCWSTR(&psz) == ANY_OK && psz != nullptr) *out = psz;
  return 1;
}

// One value of a catalogue row to read: its column and where it goes (and
// whether it was NULL, when asked).
struct stRowValue {
  unsigned int nColumn;
  std::wstring* psOut;
  bool* pbNull;
};

// Reads each of `values` in order; 0 at the first read that fails.
int ReadRow(CNAStatementSQL* statement, CNAConvertVariant* variant, std::initializer_list<stRowValue> values) {
  for (const stRowValue& v : values) {
    if (!ReadText(statement, variant, v.nColumn, v.psOut, v.pbNull)) return 0;
  }
  return 1;
}

// Whether `text` begins with `prefix`, case ignored (ASCII letters).
bool bBeginsNoCase(const wchar_t* text, const wchar_t* prefix) {
  for (; *prefix != 0; ++text, ++prefix) {
    if (*text == 0 || std::towupper(static_cast<wint_t>(*text)) != std::towupper(static_cast<wint_t>(*prefix)))
      return false;
  }
  return true;
}

}  // namespace

CMySQLDataSourceDescription::CMySQLDataSourceDescription(CNAConnectionDescription* connection, CNAError* error)
    : CNADataSourceDescription(connection, error) {}

CMySQLDataSourceDescription::~CMySQLDataSourceDescription() = default;

std::uint16_t CMySQLDataSourceDescription::_nKeyType(const wchar_t* pszKey) {
  if (pszKey == nullptr) return 0;
  if (bBeginsNoCase(pszKey, L"PRI")) return knKeyPrimary;
  if (bBeginsNoCase(pszKey, L"UNI")) return knKeyUnique;
  return 0;
}

// ---- Catalogue query texts ---------------------------------------------------

int CMySQLDataSourceDescription::_bWriteCatalogueQuery(CXYStringConcat<wchar_t>* pText, const wchar_t* prefix) {
  if (pText == nullptr) return 0;
  CNAConnectionDescription* pclConnection = pclGetConnection();
  if (pclConnection == nullptr) return 0;
  CTString csTable;
  if (!pclConnection->bFormatTableName(pclGetError(), pszGetDBTableName(), &csTable)) return 0;
  pText->SetLength(0);
  pText->Add(prefix, static_cast<long>(std::wcslen(prefix)));
  const wchar_t* pszTable = csTable.pszGet();
  if (pszTable != nullptr) pText->Add(pszTable, static_cast<long>(std::wcslen(pszTable)));
  return 1;
}

int CMySQLDataSourceDescription::_bGetQueryShowColumns(CXYStringConcat<wchar_t>* pText) {
  const auto* pclMySQL = dynamic_cast<const CMySQLConnection*>(pclGetConnection());
  // Only this driver's connections know an older server; another kind of
  // connection is taken for a current one.
  const bool bFull = pclMySQL == nullptr || pclMySQL->bServerVersionGreaterThan4_1();
  return _bWriteCatalogueQuery(pText, bFull ? L"SHOW FULL COLUMNS FROM " : L"SHOW COLUMNS FROM ");
}

int CMySQLDataSourceDescription::_bGetQueryShowIndex(CXYStringConcat<wchar_t>* pText) {
  return _bWriteCatalogueQuery(pText, L"SHOW INDEX FROM ");
}

// ---- Values -------------------------------------------------------------------

CNAConvertVariant* CMySQLDataSourceDescription::_pclAllocVariant() {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  CNAConvertVariant* pclVariant =
      pclDriver != nullptr ? pclDriver->pclAllocVariant(pclGetError(), pclGetConnection()) : nullptr;
  if (pclVariant == nullptr) {
    CNAError* pclError = pclGetError();
    if (pclError != nullptr && pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
      pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclVariant->AddRef();
  return pclVariant;
}

void CMySQLDataSourceDescription::_SetDefault(CNAItemDescription* pclItem, const wchar_t* pszDefault) {
  const unsigned short wType = pclItem->eGetItemTNType();
  if (pszDefault == nullptr) {
    CAny clNull;
    clNull.__SetType(wType, 0);
    clNull.SetNull(true);
    pclItem->SetDefaultValue(&clNull, -1);
    return;
  }
  // A text the conversion refuses leaves the NULL default bInit gave: a
  // default the platform cannot hold does not make the table unreadable.
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return;
  CNAError clIgnored;
  clIgnored.AddRef();  // held here: the variant's release must not delete it
  CNAConvertVariant* pclVariant = pclDriver->pclAllocVariant(&clIgnored, pclGetConnection());
  if (pclVariant == nullptr) return;
  CNAAdopted<CNAConvertVariant> clHeld(pclVariant);
  pclVariant->AddRef();
  pclVariant->InitTypeVariantAny(wType, 0);
  pclVariant->SetItemDesc(pclItem, pclItem);
  CAny clValue;
  if (pclVariant->bSetValueDB(pszDefault, static_cast<unsigned long>(std::wcslen(pszDefault))) &&
      pclVariant->bGetValue(&clValue))
    pclItem->SetDefaultValue(&clValue, -1);
  // The variant holds references on the item: they go before the item does.
  pclVariant->ResetVariant();
}

// ---- Column catalogue -------------------------------------------------------------

int CMySQLDataSourceDescription::_bInitItemFromQueryShowColumns(CNAStatementSQL* pStatement) {
  if (pStatement == nullptr) return 0;
  CNAConvertVariant* pclVariant = _pclAllocVariant();
  if (pclVariant == nullptr) return 0;
  CNAAdopted<CNAConvertVariant> clHeldVariant(pclVariant);
  pclVariant->InitTypeVariantAny(knTypeText, 0);

  const auto* pclMySQL = dynamic_cast<const CMySQLConnection*>(pclGetConnection());
  const bool bFull = pclMySQL == nullptr || pclMySQL->bServerVersionGreaterThan4_1();
  const unsigned int nNull = bFull ? knColNullOld + 1 : knColNullOld;
  CNAError* pclError = pclGetError();

  std::uint32_t nRow = 0;
  int nAutoIds = 0;
  std::wstring sField, sType, sCollation, sNull, sKey, sDefault, sExtra;
  for (;;) {
    // A fetch that fails ends the reading as a failure: taking it for the
    // end of the rows would describe a table cut short as complete.
    if (!pStatement->bFetch(0)) return 0;
    if (pStatement->bNoCurrentRow()) return 1;

    bool bDefaultNull = false;
    sCollation.clear();
    if (!ReadRow(pStatement, pclVariant, {{knColField, &sField, nullptr}, {knColType, &sType, nullptr}}) ||
        (bFull && !ReadRow(pStatement, pclVariant, {{knColCollation, &sCollation, nullptr}})) ||
        !ReadRow(pStatement, pclVariant,
                 {{nNull, &sNull, nullptr},
                  {nNull + 1, &sKey, nullptr},
                  {nNull + 2, &sDefault, &bDefaultNull},
                  {nNull + 3, &sExtra, nullptr}}))
      return 0;

    eNA_ITEMTYPE eType = NA_IT_EMPTY;
    unsigned int nSize = 0, nIntegerDigits = 0, nDecimalDigits = 0;
    if (pclGetConnection() == nullptr ||
        !pclGetConnection()->bSQLTypeNameToNAType(pclError, &eType, &nSize, &nIntegerDigits, &nDecimalDigits,
                                                 sType.c_str(), sCollation.c_str()))
      return 0;

    std::uint16_t wFlags = _nKeyType(sKey.c_str());
    int nKeyIndex = -1;
    if ((wFlags & 0x8000) != 0 && sExtra.find(L"auto_increment") != std::wstring::npos) {
      eType = nSize == 4 ? NA_IT_IDAUTO4 : NA_IT_IDAUTO;
      nKeyIndex = nAutoIds++;
    } else {
      // Every other key comes from the index catalogue.
      wFlags = 0;
    }

    auto* pclItem = new (std::nothrow) CNAItemDescription();
    if (pclItem == nullptr) {
      if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclItem->AddRef();
    CNAAdopted<CNAItemDescription> clHeldItem(pclItem);
    if (!pclItem->bInit(sField.c_str(), pszGetDBTableName(), sField.c_str(), 1, nSize, eType, nRow, nKeyIndex,
                        wFlags, static_cast<int>(nIntegerDigits), static_cast<int>(nDecimalDigits)))
      return 0;
    if (sNull != L"YES") pclItem->SetNullable(0);
    _SetDefault(pclItem, bDefaultNull ? nullptr : sDefault.c_str());
    _AddItem(pclItem);
    ++nRow;
  }
}

// ---- Index catalogue ----------------------------------------------------------------

int CMySQLDataSourceDescription::_bAddKeyDescription(CNAItemDescription** ppComposite, const wchar_t* pszColumn,
                                                     std::uint16_t nFlags) {
  if (ppComposite != nullptr && *ppComposite != nullptr) {
    CNAItemDescription* pclComposite = *ppComposite;
    *ppComposite = nullptr;
    const int bResult = _bAddItemComponent(pclComposite, pszColumn);
    if (bResult) _AddItem(pclComposite);
    pclComposite->nRelease();
    return bResult;
  }
  // An unknown column is reported by the lookup and does not end the
  // reading: the table stays usable without that key.
  _bSetKeyType(pszColumn, nFlags);
  return 1;
}

int CMySQLDataSourceDescription::_bInitKeyDescription(CNAItemDescription** ppComposite, const wchar_t* pszKeyName,
                                                      int bNewKey, const wchar_t* pszPreviousColumn,
                                                      std::uint16_t nPreviousFlags) {
  if (bNewKey) return _bAddKeyDescription(ppComposite, pszPreviousColumn, nPreviousFlags);
  if (ppComposite == nullptr) return 0;
  if (*ppComposite == nullptr) {
    auto* pclComposite = new (std::nothrow) CNAItemDescription();
    if (pclComposite == nullptr) {
      if (pclGetError() != nullptr) pclGetError()->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclComposite->AddRef();
    if (!pclComposite->bInit(pszKeyName, pszGetPhysicalName(), pszKeyName, 1, 0, NA_IT_BINAIRE, 0xFFFFFFFFu,
                             static_cast<int>(nGetNumKeys()),
                             static_cast<std::uint16_t>(nPreviousFlags | knKeyComposite), 0, 0)) {
      pclComposite->nRelease();
      return 0;
    }
    *ppComposite = pclComposite;
  }
  return _bAddItemComponent(*ppComposite, pszPreviousColumn);
}

int CMySQLDataSourceDescription::_bInitKeysFromQueryShowIndex(CNAStatementSQL* pStatement) {
  if (pStatement == nullptr) return 0;
  CNAConvertVariant* pclVariant = _pclAllocVariant();
  if (pclVariant == nullptr) return 0;
  CNAAdopted<CNAConvertVariant> clHeldVariant(pclVariant);
  pclVariant->InitTypeVariantAny(knTypeText, 0);

  CNAItemDescription* pclComposite = nullptr;
  std::wstring sPreviousKey, sPreviousColumn;
  std::uint16_t wPreviousFlags = 0;
  long nRows = 0;
  std::wstring sTable, sNonUnique, sKeyName, sSeq, sColumn;
  bool bFailed = false;
  for (;;) {
    // A failed fetch is a failure, not the end of the rows (see the column
    // catalogue).
    if (!pStatement->bFetch(0)) {
      bFailed = true;
      break;
    }
    if (pStatement->bNoCurrentRow()) break;
    if (!ReadRow(pStatement, pclVariant,
                 {{knIdxTable, &sTable, nullptr},
                  {knIdxNonUnique, &sNonUnique, nullptr},
                  {knIdxKeyName, &sKeyName, nullptr},
                  {knIdxSeq, &sSeq, nullptr},
                  {knIdxColumn, &sColumn, nullptr}})) {
      bFailed = true;
      break;
    }
    std::uint16_t wFlags = knKeyDuplicates;
    if (sNonUnique == L"0") wFlags = sKeyName == L"PRIMARY" ? knKeyIndexPrimary : knKeyUnique;

    int bStep = 1;
    if (nRows > 0)
      bStep = _bInitKeyDescription(&pclComposite, sKeyName.c_str(), sKeyName != sPreviousKey ? 1 : 0,
                                   sPreviousColumn.c_str(), wPreviousFlags);
    sPreviousKey = sKeyName;
    sPreviousColumn = sColumn;
    wPreviousFlags = wFlags;
    ++nRows;
    if (!bStep) {
      bFailed = true;
      break;
    }
  }
  if (nRows == 0) return bFailed ? 0 : 1;
  // The index being built is closed on every way out; after a failure the
  // answer stays 0 whatever the closing gives.
  const int bClosed = _bAddKeyDescription(&pclComposite, sPreviousColumn.c_str(), wPreviousFlags);
  return bFailed ? 0 : bClosed;
}
