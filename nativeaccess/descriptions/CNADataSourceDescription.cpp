#include "CNADataSourceDescription.h"

#include "CNAConnectionDescription.h"
#include "CXYStringConcat.h"

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

}  // namespace

CNADataSourceDescription::CNADataSourceDescription(CNAConnectionDescription* connection, CNAError* error)
    : m_pclConnection(connection), m_pclError(error) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
}

CNADataSourceDescription::~CNADataSourceDescription() {
  if (m_pclConnection != nullptr) m_pclConnection->nRelease();
}

std::uint32_t CNADataSourceDescription::nExternalRelease() {
  if (m_nExternalCount == 0) return 0;
  const std::uint32_t nLeft = --m_nExternalCount;
  if (nLeft == 0) _DeleteIfUnreferenced();
  return nLeft;
}

std::uint32_t CNADataSourceDescription::nGetNumKeys() { return 0; }

INAItemDescription* CNADataSourceDescription::piNAGetItem(const wchar_t*) { return nullptr; }
INAItemDescription* CNADataSourceDescription::piNAGetItem(std::uint32_t) { return nullptr; }
INAItemDescription* CNADataSourceDescription::piNAGetKey(std::uint32_t) { return nullptr; }
INAItemDescription* CNADataSourceDescription::piNAGetMemo(std::uint32_t) { return nullptr; }

const wchar_t* CNADataSourceDescription::pszGetDefaultDatabase() {
  const wchar_t* psz = m_pclConnection != nullptr ? m_pclConnection->pszGetDefaultDataBase() : nullptr;
  return psz != nullptr ? psz : L"";
}

int CNADataSourceDescription::bInitDataSourceDescriptionFromDB(const wchar_t* pszTable, int /*nUnused*/) {
  SetLogicalName(pszTable);
  SetDBName(pszTable);
  CXYStringConcat<wchar_t> clQuery(1024);
  return _bGetQueryShowColumns(&clQuery) ? 1 : 0;
}

int CNADataSourceDescription::_bGetQueryShowColumns(CXYStringConcat<wchar_t>* /*out*/) { return 0; }

CNAItemDescription* CNADataSourceDescription::pclNAGetCorrespondingItem(const wchar_t*) { return nullptr; }

CNAItemDescription* CNADataSourceDescription::pclNAGetItem(const wchar_t*, int) { return nullptr; }

eNA_ITEMTYPE CNADataSourceDescription::g_eGetNAItemType(std::uint32_t nEngineCode) {
  return nEngineCode <= 41 ? kaeEngineToItem[nEngineCode] : NA_IT_MEMOTEXTE;
}
