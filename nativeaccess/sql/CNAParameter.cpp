#include "CNAParameter.h"

#include <new>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAItemDescription.h"
#include "CXYStringConcat.h"
#include "INAItemDescription.h"
#include "INAQueryParametersValue.h"
#include "StrFunctions.h"

CNAParameter::CNAParameter(CNAConvertVariant* value, unsigned long position, unsigned int options,
                           const wchar_t* name)
    : m_pclValue(value), m_nPosition(position), m_nOptions(options) {
  if (m_pclValue != nullptr) m_pclValue->AddRef();
  if (name != nullptr) m_csName.Set(name);
}

CNAParameter::~CNAParameter() {
  if (m_piItem != nullptr) m_piItem->nExternalRelease();
  if (m_pclColumn != nullptr) m_pclColumn->nRelease();
  if (m_pclValue != nullptr) m_pclValue->nRelease();
}

void CNAParameter::SetColum(CNAColumn* column) {
  if (column != nullptr) column->AddRef();
  CNAColumn* pclOld = m_pclColumn;
  m_pclColumn = column;
  SetItem(column != nullptr ? column->piGetItemDescription() : nullptr);
  if (pclOld != nullptr) pclOld->nRelease();
}

void CNAParameter::SetItem(INAItemDescription* item) {
  if (item != nullptr) item->ExternalAddRef();
  INAItemDescription* piOld = m_piItem;
  m_piItem = item;
  if (piOld != nullptr) piOld->nExternalRelease();
}

int CNAParameter::bSetValue(CAny* value) {
  return m_pclValue != nullptr ? m_pclValue->bSetValue(value) : 0;
}

int CNAParameter::bLoadFile(CNAError* error) {
  if (m_pclValue == nullptr) return 0;
  CAny clPath;
  if (!m_pclValue->bGetValue(&clPath)) return 0;
  CAny clWide(clPath);
  if (clWide.nGetTypeCode() != ANY_DSTRW && clWide.nGetTypeCode() != ANY_PSTRW)
    clWide.__nCastTo(ANY_DSTRW, nullptr, 0);
  const wchar_t* pszPath = nullptr;
  clWide.nGetPCWSTR(&pszPath);
  // Copied: loading replaces the value that holds the path.
  const CTString csPath(pszPath != nullptr ? pszPath : L"");
  const int bBinary = (m_nOptions & (knOptionFile | knOptionFileText)) == (knOptionFile | knOptionFileText) ? 0 : 1;
  if (!m_pclValue->bLoadFile(csPath.pszGet(), error, bBinary)) return 0;
  m_nOptions &= ~knOptionFile;
  return 1;
}

namespace {

eNA_ITEMTYPE ItemType(const INAItemDescription* item) {
  return item != nullptr ? item->eNAGetItemType() : NA_IT_EMPTY;
}

}  // namespace

int CNAParameter::bIsDate() const {
  const eNA_ITEMTYPE e = ItemType(m_piItem);
  return m_piItem != nullptr && (e == NA_IT_DATE6 || e == NA_IT_HEURE || e == NA_IT_DATE8 || e == NA_IT_DATETIME);
}

int CNAParameter::bIsText() const {
  const eNA_ITEMTYPE e = ItemType(m_piItem);
  return m_piItem != nullptr &&
         (e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE || e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE);
}

int CNAParameter::bIsTextUnicode() const {
  const eNA_ITEMTYPE e = ItemType(m_piItem);
  return m_piItem != nullptr && (e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE);
}

int CNAParameter::bCaseInSensitiveLIKE() const {
  if (m_pclColumn != nullptr) return m_pclColumn->bGetIgnoreCase(-1) ? 1 : 0;
  if (m_piItem != nullptr) return m_piItem->bGetIgnoreCase(-1) ? 1 : 0;
  return 0;
}

int CNAParameter::bGetDBType(eNA_ITEMTYPE* type, int* size, int* logicalSize, int* precision, int* scale) const {
  const INAItemDescription* piDesc = nullptr;
  if (m_pclValue != nullptr) {
    piDesc = m_pclValue->piGetDatabaseDesc();
    if (piDesc == nullptr) piDesc = m_pclValue->piGetAnalysisDesc();
  }
  if (piDesc == nullptr && m_pclColumn != nullptr) piDesc = m_pclColumn->piGetImportedItemDescNoRef();
  if (piDesc == nullptr) return 0;
  const int nSize = static_cast<int>(piDesc->nGetItemSize());
  if (type != nullptr) *type = piDesc->eNAGetItemType();
  if (size != nullptr) *size = nSize;
  if (logicalSize != nullptr) *logicalSize = piDesc->bMemo() ? -1 : static_cast<int>(piDesc->nGetLogicalSize(0));
  const CNAItemDescription* pclOwn = dynamic_cast<const CNAItemDescription*>(piDesc);
  if (precision != nullptr) *precision = pclOwn != nullptr ? pclOwn->nGetPrecision() : 0;
  if (scale != nullptr) *scale = pclOwn != nullptr ? pclOwn->nGetScale() : 0;
  return nSize != 0 ? 1 : 0;
}

int CNAParameter::bGetTNTypeInfo(eNA_ITEMTYPE* database, eNA_ITEMTYPE* analysis) const {
  if (m_pclColumn != nullptr) {
    if (database != nullptr) *database = m_pclColumn->eNAGetItemTypeOnDatabase();
    if (analysis != nullptr) *analysis = m_pclColumn->eNAGetItemType();
    return 1;
  }
  const eNA_ITEMTYPE eDB = m_pclValue != nullptr ? m_pclValue->eNAGetItemTypeDatabase() : NA_IT_EMPTY;
  const eNA_ITEMTYPE eAnalysis = m_pclValue != nullptr ? m_pclValue->eNAGetItemTypeAnalyse() : NA_IT_EMPTY;
  if (database != nullptr) *database = eDB;
  if (analysis != nullptr) *analysis = eAnalysis;
  return eDB != NA_IT_EMPTY || eAnalysis != NA_IT_EMPTY;
}

int CNAParameter::bIsParamOUT(INAQueryParametersValue* values) const {
  if (values == nullptr) return 0;
  const int nDirection = values->nGetParameterDirection(m_csName.pszGet());
  return nDirection == 2 || nDirection == 3;
}

namespace {

bool SameName(const wchar_t* a, const wchar_t* b) {
  return STR_nCompareW(a != nullptr ? a : L"", b != nullptr ? b : L"", 0) == 0;
}

}  // namespace

int CNAParameter::bEqualsParameter(CNAParameter* other) const {
  if (other == this) return 1;
  if (other == nullptr) return 0;
  if (m_nPosition != other->m_nPosition || m_nOptions != other->m_nOptions) return 0;
  if ((m_pclValue == nullptr) != (other->m_pclValue == nullptr)) return 0;
  if (m_pclValue != nullptr && m_pclValue != other->m_pclValue &&
      !CNAVariant::g_bEqualsNAVariant(m_pclValue, other->m_pclValue))
    return 0;
  if ((m_pclColumn == nullptr) != (other->m_pclColumn == nullptr)) return 0;
  if (m_pclColumn != nullptr && !SameName(m_pclColumn->pszGetName(), other->m_pclColumn->pszGetName())) return 0;
  if ((m_piItem == nullptr) != (other->m_piItem == nullptr)) return 0;
  if (m_piItem != nullptr && !SameName(m_piItem->pszGetName(), other->m_piItem->pszGetName())) return 0;
  return m_nEscape == other->m_nEscape && m_bValueMark == other->m_bValueMark &&
         m_eDirection == other->m_eDirection;
}

CNAParameter* CNAParameter::pclGetClone() {
  CNADriver* pclDriver = m_pclDriver != nullptr ? m_pclDriver : CNADriver::s_pclDriver;
  CNAParameter* pclClone =
      pclDriver != nullptr
          ? pclDriver->pclAllocParameter(m_pclValue, static_cast<unsigned long>(m_nPosition), m_nOptions,
                                         m_csName.nTaille() > 0 ? m_csName.pszGet() : nullptr)
          : new (std::nothrow) CNAParameter(m_pclValue, static_cast<unsigned long>(m_nPosition), m_nOptions,
                                            m_csName.nTaille() > 0 ? m_csName.pszGet() : nullptr);
  if (pclClone == nullptr) return nullptr;
  pclClone->AddRef();
  pclClone->SetColum(m_pclColumn);
  pclClone->SetItem(m_piItem);
  pclClone->m_nEscape = m_nEscape;
  return pclClone;
}

void CNAParameter::TypeParam2String(CXYStringConcat<wchar_t>* out) const {
  if (out == nullptr) return;
  out->SetLength(0);
  out->Add(L"(", 1);
  bool bFirst = true;
  const struct {
    std::int32_t nBit;
    const wchar_t* psz;
    long n;
  } aDirections[] = {{NAPARAM_IN, L"IN", 2}, {NAPARAM_OUT, L"OUT", 3}, {NAPARAM_RETURN, L"RETURN", 6}};
  for (const auto& d : aDirections) {
    if ((m_eDirection & d.nBit) == 0) continue;
    if (!bFirst) out->Add(L"|", 1);
    out->Add(d.psz, d.n);
    bFirst = false;
  }
  out->Add(L")", 1);
}
