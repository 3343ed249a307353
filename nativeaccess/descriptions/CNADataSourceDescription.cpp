#include "CNADataSourceDescription.h"

#include <climits>
#include <new>

#include "CNAConnectionDescription.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CXYStringConcat.h"
#include "StrFunctions.h"

namespace {

// Engine type code -> item type, indexed by the code.
constexpr eNA_ITEMTYPE kaeEngineToItem[42] = {
    NA_IT_EMPTY,      NA_IT_MEMOTEXTE, NA_IT_TEXTE,      NA_IT_I2,         NA_IT_I1,
    NA_IT_I4,         NA_IT_R4,        NA_IT_R8,         NA_IT_I2,         NA_IT_UI2,
    NA_IT_DATE6,      NA_IT_HEURE,     NA_IT_CHAR,       NA_IT_REELTURBO,  NA_IT_DATE8,
    NA_IT_MEMOTEXTE,  NA_IT_MEMOTEXTE, NA_IT_MONETAIRE,  NA_IT_MEMOBINAIRE, NA_IT_MEMOTEXTE,
    NA_IT_MEMOTEXTE,  NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE,  NA_IT_IMAGE,      NA_IT_IDAUTO,
    NA_IT_I8,         NA_IT_UI4,       NA_IT_UI8,        NA_IT_BINAIRE,    NA_IT_MEMOTEXTE,
    NA_IT_MEMOBINAIRE, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, NA_IT_I4,         NA_IT_DATETIME,
    NA_IT_TIMELENGHT, NA_IT_UI1,       NA_IT_BOOLEEN,    NA_IT_IDAUTO4,    NA_IT_UNICODE,
    NA_IT_MEMOUNICODE, NA_IT_DECIMAL};

// Error sources and sites of the description.
constexpr int knSource = 8;
constexpr int knSiteItemLookup = 2;
constexpr int knSiteNotAvailable = 4;
// User errors.
constexpr unsigned knErrNoSuchItem = 26;
constexpr unsigned knErrNotAvailable = 38;

constexpr std::uint32_t knNoIndex = 0xFFFFFFFFu;
// The runtime's locale comparison: case and non-spacing marks ignored.
constexpr unsigned knCompareOptions = 3;
// The item descriptions of this library answer this version; an older
// description does not say whether it accepts NULL.
constexpr std::uint32_t knNullConstraintVersion = 9;

// Length of psz without its trailing blanks (character 32).
long nTrimmedLength(const wchar_t* psz) {
  long n = 0;
  while (psz[n] != 0) ++n;
  while (n > 0 && psz[n - 1] == L' ') --n;
  return n;
}

bool bSameName(const wchar_t* pszItem, const wchar_t* pszSought, int nMode) {
  if (pszItem == nullptr) pszItem = L"";
  if ((nMode & 1) == 0) return STR_nCompareW(pszItem, pszSought, knCompareOptions) == 0;
  CTString sItem;
  CTString sSought;
  sItem.Set(pszItem, static_cast<unsigned long>(nTrimmedLength(pszItem)));
  sSought.Set(pszSought, static_cast<unsigned long>(nTrimmedLength(pszSought)));
  return STR_nCompareW(sItem.pszGet(), sSought.pszGet(), knCompareOptions) == 0;
}

bool bIsStrongKey(INAItemDescription* piKey) {
  if (piKey->nGetVersion() >= knNullConstraintVersion) return !piKey->vbConstraintNullAllowed();
  const eNA_ITEMTYPE e = piKey->eNAGetItemType();
  return piKey->bPrimary(-1) || e == NA_IT_IDAUTO || e == NA_IT_IDAUTO4;
}

template <class T>
int nIndexOf(const CNARefArray<T>& tab, const T* p) {
  const int n = tab.nGetNbElements();
  for (int i = 0; i < n; ++i)
    if (tab[i] == p) return i;
  return -1;
}

// p with one more external reference (null stays null).
CNAItemDescription* pclHandOut(CNAItemDescription* p) {
  if (p != nullptr) p->ExternalAddRef();
  return p;
}

}  // namespace

CNADataSourceDescription::CNADataSourceDescription(CNAConnectionDescription* connection, CNAError* error)
    : m_pclError(error), m_pclConnection(connection) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
}

CNADataSourceDescription::~CNADataSourceDescription() {
  _ReleaseConnection();
  if (m_pclError != nullptr) m_pclError->nRelease();
  m_pclError = nullptr;
  if (m_piBestParseItem != nullptr) m_piBestParseItem->nExternalRelease();
  m_piBestParseItem = nullptr;
  m_tabMemos.SupprimeTout();
  m_tabKeys.SupprimeTout();
  m_tabItems.SupprimeTout();
}

void CNADataSourceDescription::_ReleaseConnection() {
  CNAConnectionDescription* pclConnection = m_pclConnection;
  m_pclConnection = nullptr;
  if (pclConnection == nullptr) return;
  // The driver closes a registered connection that nobody else holds.
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver != nullptr)
    pclDriver->nReleaseConnection(pclConnection);
  else
    pclConnection->nRelease();
}

// ---- Counts -------------------------------------------------------------------

void CNADataSourceDescription::_DeleteIfUnreferenced() {
  if (m_nRef == 0 && m_nExternalRef == 0) delete this;
}

std::uint32_t CNADataSourceDescription::nRelease() {
  if (m_nRef == 0) return 0;
  const std::uint32_t nLeft = --m_nRef;
  if (nLeft == 0) _DeleteIfUnreferenced();
  return nLeft;
}

std::uint32_t CNADataSourceDescription::nExternalRelease() {
  if (m_nExternalRef == 0) return 0;
  const std::uint32_t nLeft = --m_nExternalRef;
  if (nLeft == 0) _DeleteIfUnreferenced();
  return nLeft;
}

// ---- Interface answers --------------------------------------------------------

std::uint32_t CNADataSourceDescription::nGetNumItems() {
  return static_cast<std::uint32_t>(m_tabItems.nGetNbElements());
}
std::uint32_t CNADataSourceDescription::nGetNumKeys() {
  return static_cast<std::uint32_t>(m_tabKeys.nGetNbElements());
}
std::uint32_t CNADataSourceDescription::nGetNumMemos() {
  return static_cast<std::uint32_t>(m_tabMemos.nGetNbElements());
}

CNAItemDescription* CNADataSourceDescription::pclGetItemNoRef(std::uint32_t n) const {
  return n <= INT_MAX ? m_tabItems.pGetAt(static_cast<int>(n)) : nullptr;
}
CNAItemDescription* CNADataSourceDescription::pclGetKeyNoRef(std::uint32_t n) const {
  return n <= INT_MAX ? m_tabKeys.pGetAt(static_cast<int>(n)) : nullptr;
}
CNAItemDescription* CNADataSourceDescription::pclGetMemoNoRef(std::uint32_t n) const {
  return n <= INT_MAX ? m_tabMemos.pGetAt(static_cast<int>(n)) : nullptr;
}

INAItemDescription* CNADataSourceDescription::piNAGetItem(const wchar_t* pszName) { return pclNAGetItem(pszName, 2); }
INAItemDescription* CNADataSourceDescription::piNAGetItem(std::uint32_t nIndex) {
  return pclHandOut(pclGetItemNoRef(nIndex));
}
INAItemDescription* CNADataSourceDescription::piNAGetKey(std::uint32_t nIndex) {
  return pclHandOut(pclGetKeyNoRef(nIndex));
}
INAItemDescription* CNADataSourceDescription::piNAGetMemo(std::uint32_t nIndex) {
  return pclHandOut(pclGetMemoNoRef(nIndex));
}

const wchar_t* CNADataSourceDescription::pszGetDefaultDatabase() {
  const wchar_t* psz = m_pclConnection != nullptr ? m_pclConnection->pszGetDefaultDataBase() : nullptr;
  return psz != nullptr ? psz : L"";
}

// ---- Lookups ------------------------------------------------------------------

CNAItemDescription* CNADataSourceDescription::pclNAGetItemNoRef(const wchar_t* pszName, int nMode) {
  if (pszName == nullptr) return nullptr;
  const int n = m_tabItems.nGetNbElements();
  for (int i = 0; i < n; ++i) {
    CNAItemDescription* p = m_tabItems[i];
    if (p != nullptr && bSameName(p->pszGetName(), pszName, nMode)) return p;
  }
  return nullptr;
}

CNAItemDescription* CNADataSourceDescription::pclNAGetItem(const wchar_t* pszName, int nMode) {
  return pclHandOut(pclNAGetItemNoRef(pszName, nMode));
}

INAItemDescription* CNADataSourceDescription::piNAGetKey(const wchar_t* pszName) {
  if (pszName == nullptr) return nullptr;
  const int n = m_tabKeys.nGetNbElements();
  for (int i = 0; i < n; ++i) {
    CNAItemDescription* p = m_tabKeys[i];
    if (p != nullptr && bSameName(p->pszGetName(), pszName, 1)) return pclHandOut(p);
  }
  return nullptr;
}

CNAItemDescription* CNADataSourceDescription::pclNAGetItemByPhysicalIndiceDB(std::uint32_t n) {
  const int nCount = m_tabItems.nGetNbElements();
  for (int i = 0; i < nCount; ++i) {
    CNAItemDescription* p = m_tabItems[i];
    if (p != nullptr && p->nGetDBColumnIndex() >= 0 && static_cast<std::uint32_t>(p->nGetDBColumnIndex()) == n)
      return pclHandOut(p);
  }
  return nullptr;
}

CNAItemDescription* CNADataSourceDescription::pclNAGetCorrespondingItem(const wchar_t* pszName) {
  CNAItemDescription* p = pclNAGetItem(pszName, 2);
  if (p == nullptr) {
    _AddUserError(knErrNoSuchItem, knSiteItemLookup, m_sDBTableName.pszGet(), pszName, m_sDBTableName.pszGet(),
                  pszName != nullptr ? pszName : L"");
  }
  return p;
}

// ---- Errors -------------------------------------------------------------------

void CNADataSourceDescription::_AddUserError(unsigned int nId, int nSite, const wchar_t* pszTable,
                                             const wchar_t* pszItem, const wchar_t* pszArg1,
                                             const wchar_t* pszArg2) {
  if (m_pclError == nullptr) return;
  const eNA_ERRORTYPE eType = nId == knErrNotAvailable ? NA_ERRORTYPE_UNAVAILABLE : NA_ERRORTYPE_GENERIC;
  m_pclError->AddError(eType, knSource, nSite, m_pclConnection, nId, pszArg1, pszArg2);
  m_pclError->SetInfoNames(pszTable, pszItem);
}

void CNADataSourceDescription::_SetErrorNoMemory() {
  if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
}

// ---- Building -----------------------------------------------------------------

CNAItemDescription* CNADataSourceDescription::_pclAllocItem() {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  CNAItemDescription* p =
      pclDriver != nullptr ? pclDriver->pclAllocItemDescription() : new (std::nothrow) CNAItemDescription();
  if (p == nullptr) _SetErrorNoMemory();
  return p;
}

int CNADataSourceDescription::bAddItem(const wchar_t* pszName, const wchar_t* pszSourceName,
                                       const wchar_t* pszNameInSource, std::uint32_t nDimension,
                                       std::uint32_t nItemSize, eNA_ITEMTYPE eType, std::uint32_t nPhysicalIndice,
                                       int nKeyIndice, std::uint16_t wKeyFlags, int nIntegerPart,
                                       int nDecimalPart) {
  CNAItemDescription* p = _pclAllocItem();
  if (p == nullptr) return 0;
  p->AddRef();
  if (nPhysicalIndice == knNoIndex) nPhysicalIndice = nGetNumItems();
  const int b = p->bInit(pszName, pszSourceName, pszNameInSource, nDimension, nItemSize, eType, nPhysicalIndice,
                         nKeyIndice, wKeyFlags, nIntegerPart, nDecimalPart);
  if (b) _AddItem(p);
  p->nRelease();
  return b;
}

void CNADataSourceDescription::MakeNewName(CTString* pOut, const wchar_t* pszBase, int n) {
  if (pOut == nullptr) return;
  *pOut = pszBase;
  pOut->AddPrintf(L"%d", n);
}

void CNADataSourceDescription::_AddItem(CNAItemDescription* pItem) {
  if (pItem == nullptr) return;
  CTString sName(pItem->pszGetName());
  if (sName.nTaille() == 0) {
    CNADriver::g_GenerateItemName(&sName, static_cast<int>(m_nValueCount));
    pItem->bSetName(sName.pszGet());
  }
  if (pclNAGetItemNoRef(sName.pszGet(), 2) != nullptr) {
    CTString sCandidate;
    for (int n = 2;; ++n) {
      MakeNewName(&sCandidate, sName.pszGet(), n);
      if (pclNAGetItemNoRef(sCandidate.pszGet(), 2) == nullptr || n == INT_MAX) break;
    }
    pItem->bSetName(sCandidate.pszGet());
  }

  const int nCount = m_tabItems.nGetNbElements();
  if (pItem->nGetPhysicalIndice() == knNoIndex) {
    pItem->SetPhysicalIndice(static_cast<std::uint32_t>(nCount));
    m_tabItems.Ajoute(pItem);
  } else if (pItem->nGetPhysicalIndice() == 0 && nCount > 0) {
    if (m_tabItems.Insere(pItem, 0) >= 0)
      for (int i = 1; i <= nCount; ++i) m_tabItems[i]->SetPhysicalIndice(static_cast<std::uint32_t>(i));
  } else {
    m_tabItems.Ajoute(pItem);
  }

  if (pItem->bIsKey(-1)) _AddKey(pItem);
  if (pItem->bMemo()) m_tabMemos.Ajoute(pItem);
}

void CNADataSourceDescription::_AddKey(CNAItemDescription* pItem) {
  if (pItem == nullptr) return;
  const int nCount = m_tabKeys.nGetNbElements();
  if (pItem->nGetKeyIndice() < 0) {
    pItem->bSetKeyIndice(nCount);
    m_tabKeys.Ajoute(pItem);
  } else if (pItem->nGetKeyIndice() == 0 && nCount > 0) {
    if (m_tabKeys.Insere(pItem, 0) >= 0)
      for (int i = 1; i <= nCount; ++i) m_tabKeys[i]->bSetKeyIndice(i);
  } else {
    m_tabKeys.Ajoute(pItem);
  }
}

int CNADataSourceDescription::_nKeyPlace(const CNAItemDescription* pItem) const { return nIndexOf(m_tabKeys, pItem); }

void CNADataSourceDescription::_RemoveKey(CNAItemDescription* pItem) {
  const int nAt = nIndexOf(m_tabKeys, pItem);
  if (nAt < 0) return;
  m_tabKeys.Supprime(nAt);
  const int nCount = m_tabKeys.nGetNbElements();
  for (int i = nAt; i < nCount; ++i) m_tabKeys[i]->bSetKeyIndice(i);
}

void CNADataSourceDescription::_RemoveMemo(CNAItemDescription* pItem) {
  const int nAt = nIndexOf(m_tabMemos, pItem);
  if (nAt >= 0) m_tabMemos.Supprime(nAt);
}

int CNADataSourceDescription::_bSetKeyType(CNAItemDescription* pItem, std::uint16_t wKeyFlags) {
  if (pItem == nullptr) return 0;
  if (pItem->bPrimary(-1)) return 1;
  if (nIndexOf(m_tabKeys, pItem) >= 0) {
    // Already a key: it keeps its place among the keys.
    pItem->bSetKey(pItem->nGetKeyIndice(), wKeyFlags);
    return 1;
  }
  pItem->bSetKey(static_cast<int>(nGetNumKeys()), wKeyFlags);
  _AddKey(pItem);
  return 1;
}

int CNADataSourceDescription::_bSetKeyType(int nItemIndex, std::uint16_t wKeyFlags) {
  if (nItemIndex < 0) return 0;
  return _bSetKeyType(pclGetItemNoRef(static_cast<std::uint32_t>(nItemIndex)), wKeyFlags);
}

int CNADataSourceDescription::_bSetKeyType(const wchar_t* pszName, std::uint16_t wKeyFlags) {
  CNAItemDescription* p = pclNAGetCorrespondingItem(pszName);
  if (p == nullptr) return 0;
  const int b = _bSetKeyType(p, wKeyFlags);
  p->nExternalRelease();
  return b;
}

int CNADataSourceDescription::_bAddItemComponent(CNAItemDescription* pComposite, int nItemIndex) {
  if (pComposite == nullptr || nItemIndex < 0) return 0;
  CNAItemDescription* p = pclGetItemNoRef(static_cast<std::uint32_t>(nItemIndex));
  return p != nullptr ? pComposite->bAddComponent(p) : 0;
}

int CNADataSourceDescription::_bAddItemComponent(CNAItemDescription* pComposite, const wchar_t* pszName) {
  if (pComposite == nullptr) return 0;
  CNAItemDescription* p = pclNAGetCorrespondingItem(pszName);
  if (p == nullptr) return 0;
  const int b = pComposite->bAddComponent(p);
  p->nExternalRelease();
  return b;
}

void CNADataSourceDescription::UpdateRecordSize() {
  m_nDiskRecordSize = 0;
  m_nMemoryRecordSize = 0;
  m_nValueCount = 0;
  std::uint32_t nOffset = 0;
  const int n = m_tabItems.nGetNbElements();
  for (int i = 0; i < n; ++i) {
    CNAItemDescription* p = m_tabItems[i];
    p->SetOffset(nOffset);
    const std::uint32_t nSize = p->nGetTotalSize();
    nOffset += nSize;
    p->SetSubItemRecordIndice(m_nValueCount);
    m_nValueCount += p->nGetDimension();
    m_nMemoryRecordSize += nSize;
    if (!p->bIsComposedKey(-1)) m_nDiskRecordSize += nSize;
  }
}

// ---- Best browse item ------------------------------------------------------------

void CNADataSourceDescription::_SetBestParseItem(INAItemDescription* piItem) {
  if (piItem != nullptr) piItem->ExternalAddRef();
  INAItemDescription* piOld = m_piBestParseItem;
  m_piBestParseItem = piItem;
  if (piOld != nullptr) piOld->nExternalRelease();
}

int CNADataSourceDescription::_SetBestParseItem(const wchar_t* pszName) {
  CNAItemDescription* p = pclNAGetCorrespondingItem(pszName);
  if (p == nullptr) return 0;
  _SetBestParseItem(p);
  p->nExternalRelease();
  return 1;
}

INAItemDescription* CNADataSourceDescription::piGetBestParseItemDesc() {
  if (m_piBestParseItem == nullptr) {
    CNAItemDescription* pclChoice = nullptr;
    const int nKeys = m_tabKeys.nGetNbElements();
    if (nKeys > 0) {
      CNAItemDescription* pclCandidate = nullptr;
      for (int i = 0; i < nKeys && pclChoice == nullptr; ++i) {
        CNAItemDescription* p = m_tabKeys[i];
        if (p->bPrimary(-1)) {
          pclChoice = p;
        } else if (p->bUnique(-1)) {
          if (pclCandidate == nullptr || (!bIsStrongKey(pclCandidate) && bIsStrongKey(p))) pclCandidate = p;
        }
      }
      if (pclChoice == nullptr) pclChoice = pclCandidate != nullptr ? pclCandidate : m_tabKeys[0];
    } else {
      const int nItems = m_tabItems.nGetNbElements();
      for (int i = 0; i < nItems && pclChoice == nullptr; ++i)
        if (!m_tabItems[i]->bMemo()) pclChoice = m_tabItems[i];
      if (pclChoice == nullptr && nItems > 0) pclChoice = m_tabItems[0];
    }
    if (pclChoice == nullptr) return nullptr;
    _SetBestParseItem(pclChoice);
  }
  m_piBestParseItem->ExternalAddRef();
  return m_piBestParseItem;
}

// ---- Hooks of a database-specific description -------------------------------------

int CNADataSourceDescription::_bGetQueryShowColumns(CXYStringConcat<wchar_t>* /*out*/) {
  _AddUserError(knErrNotAvailable, knSiteNotAvailable, m_sLogicalName.pszGet(), nullptr, nullptr, nullptr);
  return 0;
}

int CNADataSourceDescription::_bInitItemFromQueryShowColumns(CNAStatementSQL* /*statement*/) {
  _AddUserError(knErrNotAvailable, knSiteNotAvailable, m_sLogicalName.pszGet(), nullptr, nullptr, nullptr);
  return 0;
}

int CNADataSourceDescription::_bGetQueryShowIndex(CXYStringConcat<wchar_t>* /*out*/) {
  _AddUserError(knErrNotAvailable, knSiteNotAvailable, m_sLogicalName.pszGet(), nullptr, nullptr, nullptr);
  return 0;
}

int CNADataSourceDescription::_bInitKeysFromQueryShowIndex(CNAStatementSQL* /*statement*/) {
  _AddUserError(knErrNotAvailable, knSiteNotAvailable, m_sLogicalName.pszGet(), nullptr, nullptr, nullptr);
  return 0;
}

eNA_ITEMTYPE CNADataSourceDescription::g_eGetNAItemType(std::uint32_t nEngineCode) {
  return nEngineCode <= 41 ? kaeEngineToItem[nEngineCode] : NA_IT_MEMOTEXTE;
}
