#include "CNADataSourceDescription.h"

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

CNADataSourceDescription::~CNADataSourceDescription() = default;

std::uint32_t CNADataSourceDescription::nGetNumKeys() { return 0; }

CNAItemDescription* CNADataSourceDescription::pclNAGetCorrespondingItem(const wchar_t*) { return nullptr; }

eNA_ITEMTYPE CNADataSourceDescription::g_eGetNAItemType(std::uint32_t nEngineCode) {
  return nEngineCode <= 41 ? kaeEngineToItem[nEngineCode] : NA_IT_MEMOTEXTE;
}
