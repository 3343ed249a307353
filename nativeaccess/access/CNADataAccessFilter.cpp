// Filters of a data access, the choice of the item a condition's browse
// runs on, and the check of the next operation against the table cache.
#include <cwchar>

#include "CAny.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAFilter.h"
#include "CNAStatement.h"
#include "CNATableCache.h"
#include "INAItemDescription.h"
#include "ISQLParserInformation.h"

namespace {
// Debug sites of this file's reports.
constexpr int knSiteNoItem = 9;
constexpr int knSiteNextOperation = 21;
// User errors.
constexpr unsigned int knErrNoItem = 17;
constexpr unsigned int knErrCacheIncomplete = 55;
// Message put before an error already held when the cache cannot serve.
constexpr unsigned int knMsgCacheIncomplete = 25667;
// The caller's item buffer: 255 characters, the terminator included.
constexpr std::size_t knItemRoom = 255;
// Type code of an operand that names an item.
constexpr unsigned char knItemReference = 110;

// The item name an operand carries ("T.item" gives "item"); null when the
// operand names no item or the name is empty.
const wchar_t* pszOperandItem(const CAny* operand) {
  if (operand == nullptr || operand->bIsNull() || operand->nGetTypeCode() != knItemReference) return nullptr;
  const wchar_t* pszText = nullptr;
  if (operand->nGetPCWSTR(&pszText) != ANY_OK || pszText == nullptr) return nullptr;
  const wchar_t* pszDot = std::wcschr(pszText, L'.');
  const wchar_t* pszName = pszDot != nullptr ? pszDot + 1 : pszText;
  return *pszName != 0 ? pszName : nullptr;
}

// Holds one external reference on an item description.
class HeldItem {
 public:
  HeldItem() = default;
  HeldItem(const HeldItem&) = delete;
  HeldItem& operator=(const HeldItem&) = delete;
  ~HeldItem() { Set(nullptr); }
  void Set(INAItemDescription* item) {
    if (m_piItem != nullptr) m_piItem->nExternalRelease();
    m_piItem = item;
  }
  INAItemDescription* Take() {
    INAItemDescription* piItem = m_piItem;
    m_piItem = nullptr;
    return piItem;
  }
  INAItemDescription* Get() const { return m_piItem; }

 private:
  INAItemDescription* m_piItem = nullptr;
};
}  // namespace

int CNADataAccess::bHFiltre(const wchar_t* item, const CAny* lower, int lowerIncluded, const CAny* upper,
                            int upperIncluded, ISQLParserInformation* parser) {
  if (item == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteNoItem, knErrNoItem);
    return 0;
  }
  CNAStatement* pclStatement = _pclGetNewItemStatement(item, NA_PARSE_FIRST, static_cast<NA_WRITEPARSEFLAGS>(0));
  if (pclStatement == nullptr) return 0;
  int bOk = pclStatement->bSetFilter(item, lower, lowerIncluded, upper, upperIncluded, parser);
  if (bOk) {
    // Exactly one filter of the access is active: the new one.
    _DesactivateAllFilter();
    CNAFilter* pclFilter = pclStatement->pclActivateFilter();
    if (pclFilter != nullptr)
      SetLatestFilter(pclFilter);
    else
      bOk = 0;  // no memory for it, reported by the statement
  }
  pclStatement->nRelease();
  return bOk;
}

int CNADataAccess::bHFiltre(ISQLParserInformation* parser, wchar_t* item) {
  if (item == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteNoItem, knErrNoItem);
    return 0;
  }
  if (!bFindBestItem(parser, item)) return 0;
  return bHFiltre(item, nullptr, 0, nullptr, 0, parser);
}

int CNADataAccess::bFindBestItem(ISQLParserInformation* parser, wchar_t* item) {
  HeldItem clChosen;
  const int nOperands = parser != nullptr ? parser->nGetConditionOperandCount() : 0;
  if (nOperands <= 0) {
    clChosen.Set(piGetBestParseItemDesc());
  } else {
    HeldItem clFirstPlain;
    HeldItem clFirstDuplicates;
    for (int i = 0; i < nOperands && clChosen.Get() == nullptr; ++i) {
      const wchar_t* pszName = pszOperandItem(parser->pclGetConditionOperand(i));
      if (pszName == nullptr) continue;
      INAItemDescription* piItem = piGetItemDescription(pszName);
      if (piItem == nullptr) continue;
      if (!piItem->bMemo() && clFirstPlain.Get() == nullptr) {
        // The first plain item is not examined further, even a unique key.
        clFirstPlain.Set(piItem);
      } else if (piItem->bUnique(0)) {
        clChosen.Set(piItem);
      } else if (piItem->bDuplicates(0) && clFirstDuplicates.Get() == nullptr) {
        clFirstDuplicates.Set(piItem);
      } else {
        piItem->nExternalRelease();
      }
    }
    if (clChosen.Get() == nullptr) {
      if (clFirstDuplicates.Get() != nullptr)
        clChosen.Set(clFirstDuplicates.Take());
      else if (clFirstPlain.Get() != nullptr)
        clChosen.Set(clFirstPlain.Take());
      else
        clChosen.Set(piGetBestParseItemDesc());
    }
  }
  const wchar_t* pszName = clChosen.Get() != nullptr ? clChosen.Get()->pszGetName() : nullptr;
  // A name the caller's buffer cannot hold whole would filter on another
  // item than the one the caller is told: refused, nothing written.
  const std::size_t nLength = pszName != nullptr ? std::wcslen(pszName) : 0;
  if (nLength == 0 || nLength >= knItemRoom) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteNoItem, knErrNoItem);
    return 0;
  }
  std::wmemcpy(item, pszName, nLength + 1);
  return 1;
}

int CNADataAccess::bHActiveFiltre(const wchar_t* item) {
  // The latest filter, whichever statement holds it.
  if (m_pclLatestFilter != nullptr) m_pclLatestFilter->ActivateFilter(1);
  CNAStatement* pclStatement = _pclFindStatement(item);
  if (pclStatement == nullptr) return 1;
  int bOk = 1;
  if (pclStatement->bParseStarted() && pclStatement->eParseNeedUpdate() == NA_PARSEUPDATE_NONE)
    bOk = pclStatement->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION);
  pclStatement->nRelease();
  return bOk;
}

int CNADataAccess::bHDesactiveFiltre(const wchar_t* item) {
  CNAStatement* pclStatement = _pclFindStatement(item);
  if (pclStatement == nullptr) return 1;
  // The latest filter stays recorded for a later reactivation.
  if (pclStatement->bExistFilter()) pclStatement->DesactivateFilter();
  pclStatement->nRelease();
  return 1;
}

void CNADataAccess::SetLatestFilter(CNAFilter* filter) {
  if (filter == m_pclLatestFilter) return;
  if (filter != nullptr) filter->AddRef();
  CNAFilter* pclOld = m_pclLatestFilter;
  m_pclLatestFilter = filter;
  if (pclOld != nullptr) pclOld->nRelease();
}

CNAFilter* CNADataAccess::pclGetLatestFilterNoRef() { return m_pclLatestFilter; }

void CNADataAccess::_DesactivateAllFilter() {
  unsigned int nCursor = 0;
  CNAStatement* pclStatement = nullptr;
  while (m_htStatements.bParseTable(&nCursor, 0, &pclStatement))
    if (pclStatement != nullptr) pclStatement->DesactivateFilter();
}

int CNADataAccess::_bKeepFilter(CNAStatement* from, CNAStatement* to) {
  if (from != nullptr && to != nullptr && from->bExistFilter()) to->_SetFilter(from->pclGetFilterNoRef());
  return 1;
}

int CNADataAccess::bSetFiltreAuto(int /*on*/, const wchar_t* /*table*/, const wchar_t* /*name*/,
                                  INADataSourceDescription* /*source*/) {
  return 1;
}

void CNADataAccess::SetFiltreAuto(int /*on*/) {}

int CNADataAccess::bSetNextOperation(int operation) {
  m_eNextOperation = operation;
  if (m_pclTableCache == nullptr) return 1;
  if (operation == 2) return m_pclTableCache->pclGetFullCache() != nullptr ? 1 : 0;
  if (operation != 1 && operation != 3) return 1;
  if (m_pclTableCache->pclGetFullCacheNoRef() != nullptr && m_pclTableCache->bCacheCompleted()) return 1;
  if (m_pclError != nullptr && m_pclError->eGetErrorLevel() != NAERRORLEVEL_NONE)
    m_pclError->AddUserMessageFirst(knMsgCacheIncomplete);
  else
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteNextOperation, knErrCacheIncomplete);
  return 0;
}
