// How a data-source description is filled: from the server's catalogues,
// from a statement's result columns, completed from a query's parser
// information; and how it is cloned and compared with another description.
#include <climits>
#include <new>
#include <vector>

#include "CNAColumnSQL.h"
#include "CNAConnectionDescription.h"
#include "CNADataSourceDescription.h"
#include "CNADriver.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNAStatementSQL.h"
#include "CSQLParserInfo.h"
#include "CXYStringConcat.h"
#include "IInfoOrderBy.h"
#include "IInfoRubrique.h"
#include "StrFunctions.h"

namespace {

constexpr int knSource = 8;
constexpr int knSiteCompatibility = 1;
constexpr int knSiteNoColumn = 3;
constexpr unsigned knErrItemMissing = 20;
constexpr unsigned knErrNoColumn = 30;
constexpr int knSiteNotAvailable = 4;
constexpr unsigned knErrNotAvailable = 38;
constexpr std::uint64_t knQueryStep = 1024;
constexpr unsigned knCompareOptions = 3;

// The parser's kinds of a select item.
constexpr int knKindColumn = 0;
constexpr int knKindCalculated = 1;

}  // namespace

// ---- From the server's catalogues ---------------------------------------------

int CNADataSourceDescription::bInitDataSourceDescriptionFromDB(const wchar_t* pszTable, int nUnused) {
  SetLogicalName(pszTable);
  SetDBName(pszTable);
  return _bGetDataSourceInfo(nUnused);
}

int CNADataSourceDescription::_bGetDataSourceInfo(int /*nUnused*/) {
  if (!_bImportItems()) return 0;
  return _bImportIndex();
}

int CNADataSourceDescription::_bImport(int (CNADataSourceDescription::*pfnQuery)(CXYStringConcat<wchar_t>*),
                                       int (CNADataSourceDescription::*pfnRead)(CNAStatementSQL*)) {
  CNADriverSQL* pclSQL = CNADriver::s_pclGetDriverSQL();
  if (pclSQL == nullptr) {
    _AddUserError(knErrNotAvailable, knSiteNotAvailable, m_sLogicalName.pszGet(), nullptr, nullptr, nullptr);
    return 0;
  }
  CXYStringConcat<wchar_t> clText(knQueryStep);
  if (!(this->*pfnQuery)(&clText)) return 0;
  CNAStatementSQL* pclStatement = nullptr;
  if (!pclSQL->bExecute(m_pclError, &pclStatement, m_pclConnection, clText.pszGet(), nullptr, NA_WRITEPARSE_NONE))
    return 0;
  if (pclStatement == nullptr) return 1;
  const int b = (this->*pfnRead)(pclStatement);
  pclStatement->nRelease();
  return b;
}

int CNADataSourceDescription::_bImportItems() {
  if (!_bImport(&CNADataSourceDescription::_bGetQueryShowColumns,
                &CNADataSourceDescription::_bInitItemFromQueryShowColumns))
    return 0;
  if (nGetNumItems() > 0) return 1;
  _AddUserError(knErrNoColumn, knSiteNoColumn, m_sLogicalName.pszGet(), nullptr, m_sLogicalName.pszGet(), nullptr);
  return 0;
}

int CNADataSourceDescription::_bImportIndex() {
  return _bImport(&CNADataSourceDescription::_bGetQueryShowIndex,
                  &CNADataSourceDescription::_bInitKeysFromQueryShowIndex);
}

// ---- From a statement's result columns ------------------------------------------

int CNADataSourceDescription::bInitDataSourceDescriptionFromStatement(CNAStatementSQL* pStatement) {
  if (m_sLogicalName.nTaille() == 0) {
    // Each result gets a name of its own: the statement's address.
    CTString sName;
    sName.printf(L"%llu", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pStatement)));
    SetLogicalName(sName.pszGet());
    SetDBName(sName.pszGet());
  }
  const int b = _bInitItems(pStatement);
  UpdateRecordSize();
  return b;
}

int CNADataSourceDescription::_bInitItems(CNAStatementSQL* pStatement) {
  if (pStatement == nullptr) return 0;
  int nColumns = 0;
  if (!pStatement->bGetColumnNbr(&nColumns, 0)) return 0;
  int nKeys = 0;
  for (int i = 0; i < nColumns; ++i) {
    // The column first: a column that cannot be described leaves no item.
    CNAColumnSQL* pclColumn = pStatement->pclGetNAColumnSQL(i);
    if (pclColumn == nullptr) return 0;
    CNAItemDescription* pclItem = _pclAllocItem();
    if (pclItem == nullptr) return 0;
    pclItem->AddRef();
    const int nKeyIndice = pclColumn->m_wKeyFlags != 0 ? nKeys++ : -1;
    const wchar_t* pszSource =
        pclColumn->m_csSourceTableName.nTaille() > 0 ? pclColumn->m_csSourceTableName.pszGet() : pszGetPhysicalName();
    const wchar_t* pszNameInSource =
        pclColumn->m_csNameInSource.nTaille() > 0 ? pclColumn->m_csNameInSource.pszGet() : pclColumn->m_csName.pszGet();
    const int b = pclItem->bInit(pclColumn->m_csName.pszGet(), pszSource, pszNameInSource, 1, pclColumn->m_nItemSize,
                                 pclColumn->m_eItemType, static_cast<std::uint32_t>(i), nKeyIndice,
                                 pclColumn->m_wKeyFlags, pclColumn->m_nIntegerPart, pclColumn->m_nDecimalPart);
    if (b) {
      pclItem->SetDBType(pclColumn->m_csDBTypeName.pszGet(), pclColumn->m_nMySQLType);
      _AddItem(pclItem);
    }
    pclItem->nRelease();
    if (!b) return 0;
  }
  return 1;
}

// ---- Completed from a query's parser information ------------------------------------

int CNADataSourceDescription::bCompleteDescription(CSQLParserInfo* pParser) {
  if (pParser == nullptr || pParser->piGetSelectNoRef() == nullptr) return 1;
  const int bSingleTable = pParser->nGetFichierFromNbr() <= 1 ? 1 : 0;

  // Which item each select-list position completed or added (none for a
  // skipped composite-key source): the ORDER BY names positions, and after
  // a skip a position no longer is the item's place among the items.
  const int nOut = pParser->nGetRubriqueOUTNbr();
  std::vector<CNAItemDescription*> vecByPosition(static_cast<std::size_t>(nOut > 0 ? nOut : 0), nullptr);
  int b = 1;
  for (int i = 0; i < nOut && b; ++i)
    b = _bCompleteItemDescription(pParser, bSingleTable, pParser->piGetRubriqueOUT(i), i, &vecByPosition[i]);

  if (b) {
    bool bFirst = true;
    for (IInfoOrderBy* pi = pParser->piEnumOrderByItem(1); pi != nullptr; pi = pParser->piEnumOrderByItem(0)) {
      const int nPosition = pi->nGetIndiceRubrique();
      CNAItemDescription* pclItem =
          nPosition >= 0 && nPosition < nOut ? vecByPosition[static_cast<std::size_t>(nPosition)] : nullptr;
      if (pclItem != nullptr) {
        pclItem->SetSensTri(pi->nGetDirection());
        if (bFirst) _SetBestParseItem(pclItem);
      }
      bFirst = false;
    }
  }
  UpdateRecordSize();
  return b;
}

int CNADataSourceDescription::_bCompleteItemDescription(CSQLParserInfo* pParser, int bSingleTable,
                                                        IInfoRubrique* piParserItem, int nPos,
                                                        CNAItemDescription** ppItem) {
  if (ppItem != nullptr) *ppItem = nullptr;
  if (piParserItem == nullptr) return 1;
  const int nKind = piParserItem->nGetTypeColonne();
  INAItemDescription* piSource = nKind == knKindColumn ? pParser->piGetItemDescription(piParserItem) : nullptr;

  int b = 1;
  CNAItemDescription* pclItem = nPos >= 0 ? pclGetItemNoRef(static_cast<std::uint32_t>(nPos)) : nullptr;
  if (pclItem != nullptr) {
    const bool bWasKey = pclItem->bIsKey(-1) != 0;
    const bool bWasMemo = pclItem->bMemo() != 0;
    const int nKeyPlace = bWasKey ? _nKeyPlace(pclItem) : -1;
    pclItem->SetColumnKind(nKind);
    if (piSource != nullptr)
      b = pclItem->bCompleteDescription(piSource, bSingleTable, nGetNumKeys());
    else if (nKind == knKindCalculated)
      b = pclItem->bCompleteDescriptionCalcul(piParserItem);

    const bool bIsKey = pclItem->bIsKey(-1) != 0;
    if (bIsKey && nKeyPlace >= 0) {
      // Still a key: it keeps its place among the keys.
      pclItem->bSetKeyIndice(nKeyPlace);
    } else if (bIsKey) {
      m_tabKeys.Ajoute(pclItem);
    } else if (nKeyPlace >= 0) {
      _RemoveKey(pclItem);
    }
    const bool bIsMemo = pclItem->bMemo() != 0;
    if (bIsMemo && !bWasMemo) m_tabMemos.Ajoute(pclItem);
    if (!bIsMemo && bWasMemo) _RemoveMemo(pclItem);

    if (b) {
      _bCompleteItemDescription(pclItem, pParser, piParserItem);
      if (ppItem != nullptr) *ppItem = pclItem;
    }
  } else if (piSource != nullptr) {
    // A composite key of the table has no value of its own in a result.
    if (!piSource->bIsComposedKey(-1)) b = _bAjouteItemDescription(piSource, pParser, piParserItem, bSingleTable, ppItem);
  } else {
    b = _bAjouteItemDescription(piParserItem, ppItem);
  }
  if (piSource != nullptr) piSource->nExternalRelease();
  return b;
}

int CNADataSourceDescription::_bCompleteItemDescription(CNAItemDescription* pItem, CSQLParserInfo* pParser,
                                                        IInfoRubrique* piParserItem) {
  const int nKind = piParserItem->nGetTypeColonne();
  pItem->SetColumnKind(nKind);
  if (nKind != knKindColumn) return 1;
  const wchar_t* pszTable = piParserItem->pszGetNomTableLogique();
  const wchar_t* pszReference = piParserItem->pszGetNomTable();
  if (STR_nCompareW(pszTable != nullptr ? pszTable : L"", pszReference != nullptr ? pszReference : L"",
                    knCompareOptions) != 0) {
    pItem->SetDBTableName(pszTable);
    return 1;
  }
  const CTString sPhysical = pParser->csGetPhysicalName(pszReference);
  if (sPhysical.nTaille() > 0) {
    pItem->SetDBTableName(sPhysical.pszGet());
  } else if (pszTable != nullptr) {
    // The parser knows no physical name: the table's own description says.
    INADataSourceDescription* piTable = pParser->piGetNADataSourceDescription(pszTable);
    if (piTable != nullptr) {
      pItem->SetDBTableName(piTable->pszGetDBTableName());
      piTable->nExternalRelease();
    }
  }
  return 1;
}

int CNADataSourceDescription::_bAjouteItemDescription(INAItemDescription* piSource, CSQLParserInfo* pParser,
                                                      IInfoRubrique* piParserItem, int bSingleTable,
                                                      CNAItemDescription** ppItem) {
  if (ppItem != nullptr) *ppItem = nullptr;
  if (piSource == nullptr || piParserItem == nullptr) return 0;
  CNAItemDescription* pclItem = _pclAllocItem();
  if (pclItem == nullptr) return 0;
  pclItem->AddRef();

  int nKeyIndice = -1;
  std::uint16_t wFlags = 0;
  if (piSource->bIsKey(-1)) {
    nKeyIndice = static_cast<int>(nGetNumKeys());
    if (bSingleTable && piSource->bPrimary(-1)) wFlags |= CNAItemDescription::KEY_PRIMARY;
    if (piSource->bUnique(-1)) wFlags |= bSingleTable ? CNAItemDescription::KEY_UNIQUE : CNAItemDescription::KEY_DUPLICATES;
    if (piSource->bDuplicates(-1)) wFlags |= CNAItemDescription::KEY_DUPLICATES;
    if (piSource->bIsComposedKey(-1)) wFlags |= CNAItemDescription::KEY_COMPOSED;
    if (piSource->bGetAscendant(-1)) wFlags |= CNAItemDescription::KEY_ASCENDING;
    if (piSource->bGetDescendant(-1)) wFlags |= CNAItemDescription::KEY_DESCENDING;
    if (piSource->bGetIgnoreCase(-1)) wFlags |= CNAItemDescription::KEY_IGNORECASE;
    if (piSource->bGetIgnorePunctuation(-1)) wFlags |= CNAItemDescription::KEY_IGNOREPUNCTUATION;
    if (piSource->bGetIgnoreAccent(-1)) wFlags |= CNAItemDescription::KEY_IGNOREACCENT;
  }
  const wchar_t* pszName = piParserItem->pszGetNom();
  if (pszName == nullptr || *pszName == 0) pszName = piSource->pszGetName();

  int b = pclItem->bInit(pszName, piSource->pszGetSourceName(), piSource->pszGetNameInSource(),
                         piSource->nGetDimension(), piSource->nGetItemSize(), piSource->eNAGetItemType(),
                         nGetNumItems(), nKeyIndice, wFlags, piSource->nGetIntegerPart(),
                         piSource->nGetDecimalPart());
  if (b) b = _bCompleteItemDescription(pclItem, pParser, piParserItem);
  if (b) {
    _AddItem(pclItem);
    if (ppItem != nullptr) *ppItem = pclItem;
  }
  pclItem->nRelease();
  return b;
}

int CNADataSourceDescription::_bAjouteItemDescription(IInfoRubrique* piParserItem, CNAItemDescription** ppItem) {
  if (ppItem != nullptr) *ppItem = nullptr;
  if (piParserItem == nullptr) return 0;
  CNAItemDescription* pclItem = _pclAllocItem();
  if (pclItem == nullptr) return 0;
  pclItem->AddRef();
  const eNA_ITEMTYPE eType = g_eGetNAItemType(static_cast<std::uint32_t>(piParserItem->nGetTypeCode()));
  const int b = pclItem->bInit(piParserItem->pszGetNom(), nullptr, nullptr, 1, piParserItem->nGetTaille(), eType,
                               nGetNumItems(), -1, 0, 0, 0);
  if (b) {
    pclItem->SetColumnKind(piParserItem->nGetTypeColonne());
    _AddItem(pclItem);
    if (ppItem != nullptr) *ppItem = pclItem;
  }
  pclItem->nRelease();
  return b;
}

// ---- Clone and compatibility ------------------------------------------------------

CNADataSourceDescription* CNADataSourceDescription::pclGetCloneDataSourceDescription(
    CNAItemDescription::eCLONEDESC eMode) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  CNADataSourceDescription* pclClone =
      pclDriver != nullptr ? pclDriver->pclAllocDataSourceDescription(m_pclConnection, m_pclError)
                           : new (std::nothrow) CNADataSourceDescription(m_pclConnection, m_pclError);
  if (pclClone == nullptr) return nullptr;
  // Held while it is built, so that no release inside can end it.
  pclClone->AddRef();
  pclClone->m_sLogicalName = m_sLogicalName;
  pclClone->m_sDBTableName = m_sDBTableName;
  pclClone->m_sExtendedInfo = m_sExtendedInfo;
  pclClone->m_sType = m_sType;
  pclClone->m_sOwner = m_sOwner;
  pclClone->m_nDiskRecordSize = m_nDiskRecordSize;
  pclClone->m_nMemoryRecordSize = m_nMemoryRecordSize;
  pclClone->m_nValueCount = m_nValueCount;

  const int nItems = m_tabItems.nGetNbElements();
  for (int i = 0; i < nItems; ++i) {
    CNAItemDescription* pclItem = m_tabItems[i]->pclGetCloneItemDescription(pclClone, eMode);
    if (pclItem == nullptr) continue;
    pclItem->AddRef();
    pclClone->_AddItem(pclItem);
    pclItem->nRelease();
  }

  if (nItems > 0) {
    INAItemDescription* piBest = piGetBestParseItemDesc();
    if (piBest != nullptr) {
      if (CNAItemDescription* pclBest = pclClone->pclNAGetCorrespondingItem(piBest->pszGetName())) {
        pclClone->_SetBestParseItem(pclBest);
        pclBest->nExternalRelease();
      }
      piBest->nExternalRelease();
    }
  }
  pclClone->UpdateRecordSize();
  // Handed over with no reference for the caller.
  --pclClone->m_nRef;
  return pclClone;
}

int CNADataSourceDescription::bAreDescriptionCompatible(INADataSourceDescription* piOther) {
  if (piOther == nullptr) return 1;
  const std::uint32_t nItems = piOther->nGetNumItems();
  for (std::uint32_t i = 0; i < nItems; ++i) {
    INAItemDescription* piItem = piOther->piNAGetItem(i);
    if (piItem == nullptr) continue;
    int bFound = 1;
    if (!piItem->bIsComposedKey(-1) && pclNAGetItemNoRef(piItem->pszGetName(), 3) == nullptr) {
      const wchar_t* pszItem = piItem->pszGetName() != nullptr ? piItem->pszGetName() : L"";
      _AddUserError(knErrItemMissing, knSiteCompatibility, m_sLogicalName.pszGet(), nullptr,
                    m_sLogicalName.pszGet(), pszItem);
      bFound = 0;
    }
    piItem->nExternalRelease();
    if (!bFound) return 0;
  }
  return 1;
}
