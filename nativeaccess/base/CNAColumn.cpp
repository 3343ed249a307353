#include "CNAColumn.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "AnyOperators.h"
#include "CAny.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"
#include "CXYString.h"
#include "CXYStringConcat.h"
#include "INAItemDescription.h"

namespace {

// User error 53 (a value the item cannot take), reported at 12.3.
constexpr unsigned knErrConversion = 53;
constexpr int knLocationArea = 12;
constexpr int knLocationConversion = 3;

bool IsIdAutoType(eNA_ITEMTYPE e) { return e == NA_IT_IDAUTO || e == NA_IT_IDAUTO4; }

bool IsTextLike(eNA_ITEMTYPE e) {
  return e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE || e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE ||
         e == NA_IT_CHAR;
}

// 8-bit and wide text types of the platform.
bool IsAnsiTextType(unsigned t) {
  return t == 17 || t == 18 || t == 19 || t == 21 || t == 22 || t == 23 || t == 128 || t == 129 || t == 134;
}
bool IsWideTextType(unsigned t) { return t == 16 || t == 20 || t == 24 || t == 25 || t == 81 || t == 110; }

// The value's data bytes (none for an empty value).
void DataOf(const CAny* value, const unsigned char** pp, std::size_t* pn) {
  *pp = nullptr;
  *pn = 0;
  void* p = nullptr;
  std::size_t n = 0;
  // The useful size: a text's bytes without its terminator.
  if (value->nGetUtilDataSize(&n) != 0 && value->nGetDataSize(&n) != 0) n = 0;
  if (n > 0 && (value->nGetDataAdr(&p) != 0 || p == nullptr)) n = 0;
  *pp = static_cast<const unsigned char*>(p);
  *pn = n;
}

std::size_t DataSize(const CAny* value) {
  const unsigned char* p = nullptr;
  std::size_t n = 0;
  DataOf(value, &p, &n);
  return n;
}

// Whether the value reads as an empty text: texts by their size, other
// values once converted to wide text (a value that does not convert is not
// empty).
bool IsEmptyAsText(const CAny* value) {
  const unsigned t = value->nGetTypeCode();
  if (IsAnsiTextType(t) || IsWideTextType(t)) return DataSize(value) == 0;
  CAny clCopy(*value);
  if (clCopy.__nCastTo(ANY_DSTRW, nullptr, 1) > 99) return false;
  return DataSize(&clCopy) == 0;
}

// The column kind the SQL parser gave a query item (library items only).
int ColumnKindOf(const INAItemDescription* pi) {
  const auto* p = dynamic_cast<const CNAItemDescription*>(pi);
  return p != nullptr ? p->nGetColumnKind() : 0;
}

void AppendWide(CXYStringConcat<wchar_t>* out, const wchar_t* psz) {
  if (psz != nullptr) out->Add(psz, static_cast<long>(std::wcslen(psz)));
}

}  // namespace

CNAColumn::CNAColumn(CNAError* pclError, INAItemDescription* piDescription)
    : m_piItem(piDescription), m_pclError(pclError) {
  if (m_piItem != nullptr) m_piItem->ExternalAddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNAColumn::~CNAColumn() {
  if (m_pclValue != nullptr) m_pclValue->nRelease();
  if (m_pclComponents != nullptr) m_pclComponents->dwRelease();
  if (m_pclImported != nullptr) m_pclImported->nExternalRelease();
  if (m_piItem != nullptr) m_piItem->nExternalRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

// ======================================================================
// Set-up
// ======================================================================

int CNAColumn::vbInit(CNARecord* record, CNAItemDescription* imported) {
  m_pclRecord = record;
  if (!bFormatName()) return 0;
  if (imported != nullptr && !bSetImportedItemDesc(imported)) return 0;
  if (bIsComposedKey()) return 1;
  return bInitVariant(record);
}

int CNAColumn::bFormatName() {
  m_csFormatedSelectName.Vide();
  CNAConnectionDescription* pclCnx = pclGetCnx();
  if (pclCnx == nullptr) {
    m_csFormatedName = pszGetName();
    m_csFormatedOriginalName = pszGetOriginalName();
    return 1;
  }
  if (!pclCnx->bFormatItemName(m_pclError, pszGetName(), &m_csFormatedName)) return 0;
  return pclCnx->bFormatItemName(m_pclError, pszGetOriginalName(), &m_csFormatedOriginalName) ? 1 : 0;
}

int CNAColumn::bSetImportedItemDesc(CNAItemDescription* imported) {
  if (imported == m_pclImported) return 1;
  if (imported != nullptr) imported->ExternalAddRef();
  CNAItemDescription* pclOld = m_pclImported;
  m_pclImported = imported;
  if (pclOld != nullptr) pclOld->nExternalRelease();
  return 1;
}

int CNAColumn::bInitVariant(CNARecord* record) {
  if (record == nullptr || m_piItem == nullptr) return 0;
  if (m_pclValue == nullptr) {
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAConvertVariant* pclValue = pclDriver != nullptr
                                      ? pclDriver->pclAllocVariant(m_pclError, record->pclGetConnectionNoRef())
                                      : new (std::nothrow) CNAConvertVariant(m_pclError, record->pclGetConnectionNoRef());
    if (pclValue == nullptr) return 0;
    pclValue->AddRef();
    m_pclValue = pclValue;
  }
  CNAXQRecord* pclXQ = record->pclGetNAXQRecord();
  if (bIsMemo()) {
    m_pclValue->InitTypeVariantAny(eGetTNType(), 0);
    m_pclValue->SetItemDesc(m_piItem, m_pclImported);
    m_pclValue->SetNull();
    const int n = nGetMemoIndice();
    CNARecordValue* pclCurrent = record->pclGetCurrentRecordValue();
    if (n >= 0 && pclCurrent != nullptr) return pclCurrent->bShareMemoValue(n, m_pclValue) ? 1 : 0;
    return 1;
  }
  unsigned char* pby = pclXQ != nullptr ? pclXQ->pbyGetItemValue(m_piItem, 0) : nullptr;
  if (pby == nullptr) {
    // No element to bind to: the holder keeps no pointer at all.
    m_pclValue->ResetVariant();
    return 0;
  }
  const int r = m_pclValue->bInitTypeVariant(NAVT_BOUND, pby, nGetItemSize(), eGetTNType());
  if (r != 1) return r;
  m_pclValue->SetItemDesc(m_piItem, m_pclImported);
  _SyncNullFromRecord();
  return 1;
}

int CNAColumn::bInitVariant_NV_Any(CNAError* /*error*/, CNAConvertVariant* variant, unsigned short type) {
  if (variant == nullptr) return 0;
  unsigned short wType = type;
  unsigned long nSize = 0;
  if (m_piItem != nullptr) {
    if (wType == 0) wType = ConverteItemToTNType(m_piItem);
    if (!m_piItem->bMemo()) nSize = m_piItem->nGetItemSize();
  }
  variant->InitTypeVariantAny(wType, nSize);
  variant->SetItemDesc(m_piItem, m_pclImported != nullptr ? m_pclImported : m_piItem);
  return 1;
}

void CNAColumn::AddCompositeKey(CNAColumn* component) {
  if (m_pclComponents == nullptr) {
    m_pclComponents = new (std::nothrow) CNARefArray<CNAColumn>(4);
    if (m_pclComponents == nullptr) return;
    m_pclComponents->dwAddRef();
  }
  m_pclComponents->Ajoute(component);
}

int CNAColumn::bUpdateChangedTypeInCurrentRecord() { return bInitVariant(m_pclRecord); }

void CNAColumn::SetAliasNomTable(const wchar_t* alias) {
  m_csAliasNomTable = alias;
  m_csFormatedSelectName.Vide();
}

void CNAColumn::SetFormatedAliasNomTable(const wchar_t* alias) {
  m_csFormatedAliasNomTable = alias;
  m_csFormatedSelectName.Vide();
}

// ======================================================================
// Names and properties
// ======================================================================

const wchar_t* CNAColumn::pszGetName() const {
  const wchar_t* psz = m_piItem != nullptr ? m_piItem->pszGetName() : nullptr;
  return psz != nullptr ? psz : L"";
}

const wchar_t* CNAColumn::pszGetOriginalName() const {
  const wchar_t* psz = m_piItem != nullptr ? m_piItem->pszGetNameInSource() : nullptr;
  return psz != nullptr && *psz != 0 ? psz : pszGetName();
}

const wchar_t* CNAColumn::pszGetSourceName() const {
  const wchar_t* psz = m_piItem != nullptr ? m_piItem->pszGetSourceName() : nullptr;
  return psz != nullptr ? psz : L"";
}

const wchar_t* CNAColumn::pszGetTableName() const {
  return m_pclRecord != nullptr ? m_pclRecord->pszGetTableName() : L"";
}

const wchar_t* CNAColumn::pszGetAliasNomTable() { return m_csAliasNomTable.pszGet(); }
const wchar_t* CNAColumn::pszGetFormatedAliasNomTable() { return m_csFormatedAliasNomTable.pszGet(); }

const wchar_t* CNAColumn::pszGetFormatedSelectName(int plain) {
  // The plain name is asked apart from the qualified one, which is cached.
  if (plain) return m_csFormatedName.pszGet();
  if (m_csFormatedSelectName.nTaille() > 0) return m_csFormatedSelectName.pszGet();
  CTString csText;
  if (bSourceIsQuery()) {
    CTString csTable(m_csFormatedAliasNomTable);
    if (csTable.nTaille() == 0) {
      const wchar_t* pszSource = pszGetSourceName();
      if (*pszSource != 0) {
        CNAConnectionDescription* pclCnx = pclGetCnx();
        // A name the connection refuses is left out, never pasted as it is.
        if (pclCnx == nullptr)
          csTable = pszSource;
        else if (!pclCnx->bFormatTableName(m_pclError, pszSource, &csTable))
          csTable.Vide();
      }
    }
    if (csTable.nTaille() > 0) {
      csText = csTable;
      csText.Add(L'.');
    }
  }
  csText.Add(m_csFormatedOriginalName.pszGet());
  m_csFormatedSelectName = csText;
  return m_csFormatedSelectName.pszGet();
}

std::uint32_t CNAColumn::nGetPhysicalIndice() const {
  return m_piItem != nullptr ? m_piItem->nGetPhysicalIndice() : 0xFFFFFFFFu;
}
std::uint32_t CNAColumn::nGetItemSize() const { return m_piItem != nullptr ? m_piItem->nGetItemSize() : 0; }
std::uint32_t CNAColumn::nGetLogicalSize() const {
  return m_piItem != nullptr ? m_piItem->nGetLogicalSize(0) : 0;
}
int CNAColumn::nGetIntegerPart() const { return m_piItem != nullptr ? m_piItem->nGetIntegerPart() : 0; }
int CNAColumn::nGetDecimalPart() const { return m_piItem != nullptr ? m_piItem->nGetDecimalPart() : 0; }
eNA_ITEMTYPE CNAColumn::eNAGetItemType() const {
  return m_piItem != nullptr ? m_piItem->eNAGetItemType() : NA_IT_EMPTY;
}
unsigned short CNAColumn::eGetTNType() const { return ConverteItemToTNType(m_piItem); }
int CNAColumn::bIsComposedKey() const { return m_piItem != nullptr && m_piItem->bIsComposedKey(0) ? 1 : 0; }
int CNAColumn::bIsMemo() const { return m_piItem != nullptr && m_piItem->bMemo() ? 1 : 0; }
int CNAColumn::bIsMemoText() const { return m_piItem != nullptr && m_piItem->bMemoText() ? 1 : 0; }
int CNAColumn::bIsMemoBin() const { return m_piItem != nullptr && m_piItem->bMemoBinary() ? 1 : 0; }
int CNAColumn::bLiteral() const { return m_piItem != nullptr && m_piItem->bLiteral() ? 1 : 0; }

int CNAColumn::bGetDescendantComponent(std::uint32_t n) const {
  if (m_piItem == nullptr) return 0;
  INAItemDescription* pi = m_piItem->piGetItemComponent(n);
  if (pi == nullptr) return 0;
  const int b = pi->bGetDescendant(0) ? 1 : 0;
  pi->nExternalRelease();
  return b;
}

INAItemDescription* CNAColumn::piGetItem() const {
  if (m_piItem != nullptr) m_piItem->ExternalAddRef();
  return m_piItem;
}

CNAConnectionDescription* CNAColumn::pclGetCnx() const {
  return m_pclRecord != nullptr ? m_pclRecord->pclGetConnectionNoRef() : nullptr;
}

int CNAColumn::bSourceIsQuery() const { return m_pclRecord != nullptr && m_pclRecord->bSourceIsQuery() ? 1 : 0; }

CSQLParserInfo* CNAColumn::pclGetSourceQueryNoRef() const {
  return m_pclRecord != nullptr ? m_pclRecord->pclGetSourceQueryNoRef() : nullptr;
}

int CNAColumn::bIsIdAuto() const { return IsIdAutoType(eNAGetItemType()) ? 1 : 0; }

int CNAColumn::bIsAutoIncrementOnDataBase() {
  return m_pclImported != nullptr && IsIdAutoType(m_pclImported->eNAGetItemType()) ? 1 : 0;
}

int CNAColumn::bIsUnique() const {
  if (m_piItem != nullptr && m_piItem->bUnique(0)) return 1;
  return m_pclImported != nullptr && m_pclImported->bUnique(0) ? 1 : 0;
}

int CNAColumn::bPrimary() const {
  if (bIsIdAuto()) return 1;
  if (m_piItem != nullptr && m_piItem->bPrimary(0)) return 1;
  return m_pclImported != nullptr && m_pclImported->bPrimary(0) ? 1 : 0;
}

int CNAColumn::bUpdatable() const {
  if (m_pclImported != nullptr) return m_pclImported->bUpdatable() ? 1 : 0;
  return m_piItem != nullptr && m_piItem->bUpdatable() ? 1 : 0;
}

int CNAColumn::bIsMemoDB() const {
  if (m_pclImported != nullptr) return m_pclImported->bMemo() ? 1 : 0;
  return bIsMemo();
}

int CNAColumn::bGetIgnoreCase(int k) const {
  if (m_pclImported != nullptr) return m_pclImported->bGetIgnoreCase(k) ? 1 : 0;
  return m_piItem != nullptr && m_piItem->bGetIgnoreCase(k) ? 1 : 0;
}

int CNAColumn::nGetLogicalSizeOnDatabase() const {
  return m_pclImported != nullptr ? static_cast<int>(m_pclImported->nGetLogicalSize(0)) : -1;
}

std::uint32_t CNAColumn::nGetDBType() const { return m_pclImported != nullptr ? m_pclImported->nGetDBTypeCode() : 0; }

eNA_ITEMTYPE CNAColumn::eNAGetItemTypeOnDatabase() const {
  return m_pclImported != nullptr ? m_pclImported->eNAGetDBType(pclGetCnx()) : NA_IT_EMPTY;
}

eNA_ITEMTYPE CNAColumn::eNAGetItemTypeOnDatabaseEx() const {
  return m_pclImported != nullptr ? m_pclImported->eNAGetItemType() : eNAGetItemType();
}

int CNAColumn::bIsNullable() const {
  if (m_piItem == nullptr) return 1;
  if (m_piItem->nGetVersion() > 8) return m_piItem->vbConstraintNullAllowed() ? 1 : 0;
  if (m_piItem->bPrimary(0) || bIsIdAuto()) return 0;
  return 1;
}

int CNAColumn::bIsNullableOnDataBase() const {
  if (m_pclImported != nullptr) return (m_pclImported->dwGetProperties() & CNAItemDescription::PROP_NOTNULL) == 0 ? 1 : 0;
  return bIsNullable();
}

int CNAColumn::bUniqueNotNull() const {
  auto bTest = [](INAItemDescription* pi) -> int {
    if (pi->bPrimary(0)) return 1;
    if (!pi->bUnique(0)) return 0;
    if (pi->nGetVersion() > 8) return pi->vbConstraintNullAllowed() ? 0 : 1;
    return IsIdAutoType(pi->eNAGetItemType()) ? 1 : 0;
  };
  if (m_piItem != nullptr && bTest(m_piItem)) return 1;
  return m_pclImported != nullptr ? bTest(m_pclImported) : 0;
}

int CNAColumn::eGetTypeColonne() const { return bSourceIsQuery() ? ColumnKindOf(m_piItem) : 0; }

int CNAColumn::bMustDefine(unsigned flags) {
  if (bIsComposedKey()) return 0;
  if (!bIsMemo()) return 1;
  return (flags & 2u) != 0 ? 1 : 0;
}

int CNAColumn::bMustBind(unsigned flags) {
  if (bSourceIsQuery() && ColumnKindOf(m_piItem) != 0) return 0;
  if (bIsComposedKey()) return 0;
  if (bIsMemo()) return (flags & 1u) != 0 ? 1 : 0;
  return 1;
}

int CNAColumn::nGetMemoIndice() const {
  if (m_pclRecord == nullptr) return -1;
  const CRefArray<CNAColumn>* pTab = m_pclRecord->pclGetTabColumnMemo();
  for (int i = 0; i < pTab->nGetNbElements(); ++i)
    if ((*pTab)[i] == this) return i;
  return -1;
}

int CNAColumn::bIsComposedKeyComponent(const CNAColumn* column) const {
  if (m_pclComponents == nullptr || column == nullptr) return 0;
  for (int i = 0; i < m_pclComponents->nGetNbElements(); ++i)
    if ((*m_pclComponents)[i] == column) return 1;
  return 0;
}

// ======================================================================
// Records
// ======================================================================

CNAXQRecord* CNAColumn::_pclCurrentXQ() const {
  return m_pclRecord != nullptr ? m_pclRecord->pclGetNAXQRecord() : nullptr;
}

CNAXQRecord* CNAColumn::_pclOriginalXQ() const {
  return m_pclRecord != nullptr ? m_pclRecord->pclGetOriginalNAXQRecord() : nullptr;
}

unsigned char* CNAColumn::pGetValuePtr(CNAXQRecord* record) const {
  return record != nullptr ? record->pbyGetItemValue(m_piItem, 0) : nullptr;
}

unsigned char* CNAColumn::pGetValuePtr(CNARecord* record) const {
  CNARecord* pclRecord = record != nullptr ? record : m_pclRecord;
  return pclRecord != nullptr ? pGetValuePtr(pclRecord->pclGetNAXQRecord()) : nullptr;
}

void CNAColumn::_SyncNullFromRecord() {
  CNAXQRecord* pclXQ = _pclCurrentXQ();
  if (m_pclValue == nullptr || pclXQ == nullptr) return;
  m_pclValue->pclGetValue()->SetNull(!pclXQ->bItemValueDefined(m_piItem, 0));
}

void CNAColumn::OnNAXQRecordChanged() {
  if (bIsMemo() || bIsComposedKey()) return;
  if (m_pclValue == nullptr || m_pclValue->eGetVarType() != NAVT_BOUND) return;
  _SyncNullFromRecord();
}

std::uint32_t CNAColumn::s_nComponentKeyWidth(const INAItemDescription* component) {
  if (component == nullptr) return 0;
  const std::uint32_t s = component->nGetItemSize();
  switch (component->eNAGetItemType()) {
    case NA_IT_TEXTE:
      return s >= 1 ? s - 1 : 0;
    case NA_IT_UNICODE:
      return s >= 2 ? s - 2 : 0;
    default:
      return s;
  }
}

int CNAColumn::bBuildCompositeKey(unsigned char* buffer, std::uint32_t size) const {
  if (buffer == nullptr) return 0;
  if (size > 0) std::memset(buffer, 0, size);
  CNAXQRecord* pclXQ = _pclCurrentXQ();
  if (pclXQ == nullptr || m_pclComponents == nullptr || m_pclComponents->nGetNbElements() == 0) return 0;
  std::uint32_t nPos = 0;
  for (int i = 0; i < m_pclComponents->nGetNbElements(); ++i) {
    const CNAColumn* pclComponent = (*m_pclComponents)[i];
    const INAItemDescription* pi = pclComponent != nullptr ? pclComponent->piGetItemDescription() : nullptr;
    if (pi == nullptr) return 0;
    const std::uint32_t nWidth = s_nComponentKeyWidth(pi);
    // A composite sized short (2 bytes per binary component when summed
    // by logical sizes) is cut at its end.
    const std::uint32_t nRoom = nPos < size ? size - nPos : 0;
    const std::uint32_t n = nWidth < nRoom ? nWidth : nRoom;
    if (n > 0 && pclXQ->bItemValueDefined(pi, 0)) {
      const unsigned char* pby = pclXQ->pbyGetItemValue(pi, 0);
      if (pby == nullptr) return 0;
      std::memcpy(buffer + nPos, pby, n);
    }
    nPos += n;
  }
  return 1;
}

// ======================================================================
// Values
// ======================================================================

int CNAColumn::bGetCurrentValue(CAny* value, unsigned index) {
  if (value == nullptr || m_piItem == nullptr) return 0;
  if (bIsMemo()) {
    if (m_pclValue == nullptr) return 0;
    if (_bAttachedPath() && m_pclValue->bIsNull()) {
      if (!m_pclValue->bLoadFile(m_csMemoPath.pszGet(), m_pclError, 1)) return 0;
    }
    if (m_pclValue->eGetVarType() == NAVT_NONE) {
      *value = CAny();
      value->__SetType(eGetTNType(), 0);
      value->SetNull(true);
      return 1;
    }
    m_pclValue->bGetValue(value);
    return 1;
  }
  if (bIsComposedKey()) {
    const std::uint32_t nSize = nGetItemSize();
    std::vector<unsigned char> buffer(nSize);
    const int bBuilt = bBuildCompositeKey(buffer.data(), nSize);
    value->SetBIN(buffer.data(), nSize);
    value->ClearFlags();
    return bBuilt;
  }
  return _bReadRecordValue(_pclCurrentXQ(), value, index);
}

int CNAColumn::bGetOriginalValue(CAny* value, unsigned index) {
  if (value == nullptr || m_piItem == nullptr) return 0;
  return _bReadRecordValue(_pclOriginalXQ(), value, index);
}

int CNAColumn::_bReadRecordValue(CNAXQRecord* record, CAny* value, unsigned index) {
  if (index >= m_piItem->nGetDimension() || record == nullptr) return 0;
  if (!record->bItemValueDefined(m_piItem, index)) {
    *value = CAny();
    value->__SetType(eGetTNType(), 0);
    value->SetNull(true);
    return 1;
  }
  return record->GetItemValue(value, m_piItem, static_cast<int>(index)) ? 1 : 0;
}

int CNAColumn::bGetBLOB(CAny* value) { return bGetCurrentValue(value, 0); }
int CNAColumn::bGetCacheValue(CAny* value, unsigned index) { return bGetCurrentValue(value, index); }

void CNAColumn::_ReportRefusedValue(const CAny* value) {
  if (m_pclError == nullptr) return;
  CTString csText;
  nGetString(&csText, value, nullptr, 0);
  m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationConversion, pclGetCnx(), knErrConversion,
                       static_cast<int>(value->nGetTypeCode()), static_cast<int>(eNAGetItemType()),
                       csText.pszGet());
  CNAError::g_SetInfoNames(m_pclError->pclGetXError(), pszGetTableName(), pszGetName());
}

int CNAColumn::_bSetHolder(const CAny* value) {
  if (m_pclValue == nullptr) return 0;
  if (value == nullptr) {
    m_pclValue->SetNull();
    return 1;
  }
  return m_pclValue->bSetValue(value);
}

int CNAColumn::bSetValue(const CAny* value, unsigned index) {
  if (m_piItem == nullptr) return 0;
  if (bIsMemo()) {
    m_csMemoPath.Vide();
    m_bMemoModified = 0;
    if (m_pclValue == nullptr) return 0;
    const int r = _bSetHolder(value);
    CNAXQRecord* pclXQ = _pclCurrentXQ();
    if (r && pclXQ != nullptr && !m_pclValue->bIsNull()) pclXQ->SetItemValueDefined(m_piItem, 1, 0);
    return r;
  }
  if (bIsComposedKey() || value == nullptr) return 0;
  if (index >= m_piItem->nGetDimension()) return 0;
  CNAXQRecord* pclXQ = _pclCurrentXQ();
  if (pclXQ == nullptr) return 0;
  if (!pclXQ->SetItemValue(m_piItem, value, index)) {
    // The record took nothing: the item and the holder stay as they were.
    _ReportRefusedValue(value);
    return 0;
  }
  if (m_pclValue != nullptr && m_pclValue->eGetVarType() == NAVT_BOUND) _SyncNullFromRecord();
  return 1;
}

int CNAColumn::bSetValueNULL() {
  CAny clNull;
  clNull.SetNull(true);
  return bSetValue(&clNull, 0);
}

int CNAColumn::bValueModified() {
  if (bIsComposedKey()) {
    if (m_pclComponents == nullptr) return 0;
    for (int i = 0; i < m_pclComponents->nGetNbElements(); ++i) {
      CNAColumn* pcl = (*m_pclComponents)[i];
      if (pcl != nullptr && pcl->bValueModified()) return 1;
    }
    return 0;
  }
  if (bIsMemo()) return m_bMemoModified != 0 ? 1 : 0;
  CNAXQRecord* pclCurrent = _pclCurrentXQ();
  CNAXQRecord* pclOriginal = _pclOriginalXQ();
  if (pclCurrent == nullptr || pclOriginal == nullptr) return 0;
  if ((pclCurrent->bItemValueDefined(m_piItem, 0) != 0) != (pclOriginal->bItemValueDefined(m_piItem, 0) != 0))
    return 1;
  const unsigned char* pc = pclCurrent->pbyGetItemValue(m_piItem, -1);
  const unsigned char* po = pclOriginal->pbyGetItemValue(m_piItem, -1);
  if (pc == nullptr || po == nullptr) return 0;
  return std::memcmp(pc, po, m_piItem->nGetTotalSize()) != 0 ? 1 : 0;
}

int CNAColumn::bValueDefined() {
  if (bIsComposedKey()) {
    if (m_pclComponents == nullptr) return 0;
    for (int i = 0; i < m_pclComponents->nGetNbElements(); ++i) {
      CNAColumn* pcl = (*m_pclComponents)[i];
      if (pcl != nullptr && pcl->bValueDefined()) return 1;
    }
    return 0;
  }
  if (bIsMemo()) {
    if (_bAttachedPath()) return 1;
    return m_pclValue != nullptr && m_pclValue->eGetVarType() != NAVT_NONE && !m_pclValue->bIsNull() ? 1 : 0;
  }
  return bNullOrEquivalent() ? 0 : 1;
}

int CNAColumn::bOriginalValueDefined() {
  CNAXQRecord* pclXQ = _pclOriginalXQ();
  return pclXQ != nullptr && pclXQ->bItemValueDefined(m_piItem, 0) ? 1 : 0;
}

int CNAColumn::bNull() const {
  if (m_pclValue == nullptr) return 1;
  return m_pclValue->bIsNull();
}

// Whether a value is to be stored as NULL on the server. T is the item
// type, D the type on the database; the connection's empty-as-NULL mode
// makes empty texts and binaries NULL.
int CNAColumn::bNullOrEquivalent(const CAny* value) {
  if (value == nullptr || value->bIsNull() || value->nGetTypeCode() == ANY_EMPTY) return 1;
  const eNA_ITEMTYPE t = eNAGetItemType();
  const eNA_ITEMTYPE d = eNAGetItemTypeOnDatabase();
  const bool bTextLike = IsTextLike(t) || IsTextLike(d);
  CNAConnectionDescription* pclCnx = pclGetCnx();
  const bool bEmptyIsNull = pclCnx != nullptr && pclCnx->nGetEmptyAsNullMode() == 1;
  const bool bDateRules = t == NA_IT_DATE8 || t == NA_IT_DATE6 || t == NA_IT_DATETIME || d == NA_IT_DATE6 ||
                          d == NA_IT_DATE8 || (d == NA_IT_DATETIME && t != NA_IT_HEURE) ||
                          (bEmptyIsNull && bTextLike);
  if (bDateRules) {
    if (value->nGetTypeCode() == ANY_DATETIME) {
      const unsigned char* p = value->pbyValue();
      for (int i = 0; i < 8; ++i)
        if (p[i] != 0) return 0;
      return 1;
    }
    if (!IsEmptyAsText(value)) return 0;
    if (bIsNullableOnDataBase()) return 1;
    return !bTextLike && t != NA_IT_HEURE && d != NA_IT_HEURE ? 1 : 0;
  }
  if (bEmptyIsNull && (t == NA_IT_BINAIRE || t == NA_IT_MEMOBINAIRE || d == NA_IT_BINAIRE || d == NA_IT_MEMOBINAIRE))
    return DataSize(value) == 0 ? 1 : 0;
  return 0;
}

int CNAColumn::bNullOrEquivalent(CNAVariant* value) {
  if (value == nullptr || value->pclGetValue()->bIsNull()) return 1;
  CAny clValue;
  if (!value->vbGetValue(&clValue)) return 1;
  return bNullOrEquivalent(&clValue);
}

int CNAColumn::bNullOrEquivalent() {
  CNAXQRecord* pclXQ = _pclCurrentXQ();
  if (pclXQ == nullptr || m_piItem == nullptr) return 1;
  if (!pclXQ->bItemValueDefined(m_piItem, 0)) return 1;
  if (_bAttachedPath()) return 0;
  CAny clValue;
  if (!bGetCurrentValue(&clValue, 0)) return 0;
  return bNullOrEquivalent(&clValue);
}

int CNAColumn::bSameValue(const CAny* value, unsigned flags) {
  if (!bIsComposedKey() && !bValueDefined()) return value == nullptr || value->bIsNull() ? 1 : 0;
  if (value == nullptr) return 0;
  CAny clCurrent;
  if (!bGetCurrentValue(&clCurrent, 0)) return 0;
  const unsigned tv = value->nGetTypeCode();
  const unsigned tc = clCurrent.nGetTypeCode();
  const bool bBytes = (tv == tc && tv != ANY_DECIMAL) || (IsAnsiTextType(tv) && IsAnsiTextType(tc)) ||
                      (IsWideTextType(tv) && IsWideTextType(tc));
  if (bBytes) {
    const unsigned char* pv = nullptr;
    const unsigned char* pc = nullptr;
    std::size_t nv = 0;
    std::size_t nc = 0;
    DataOf(value, &pv, &nv);
    DataOf(&clCurrent, &pc, &nc);
    if (nv > nc) return 0;
    if (nv > 0 && std::memcmp(pv, pc, nv) != 0) return 0;
    if (nv < nc && (flags & knSameValuePrefix) == 0) {
      for (std::size_t i = nv; i < nc; ++i)
        if (pc[i] != 0) return 0;
    }
    return 1;
  }
  int nAnswer = 0;
  if (nEgalite(&clCurrent, value, &nAnswer, 0) > 99) return 0;
  return nAnswer != 0 ? 1 : 0;
}

int CNAColumn::_bSetValueMemoToDB(const CAny* value, unsigned /*index*/) {
  const bool bNullValue =
      value == nullptr || value->bIsNull() || (bIsNullableOnDataBase() && DataSize(value) == 0);
  CNAXQRecord* pclXQ = _pclCurrentXQ();
  if (!bNullValue && pclXQ != nullptr && !pclXQ->bItemValueDefined(m_piItem, 0))
    pclXQ->SetItemValueDefined(m_piItem, 1, 0);
  m_csMemoPath.Vide();
  if (m_pclValue == nullptr) return 0;
  if (m_pclValue->eGetVarType() == NAVT_ANY_UNREAD) {
    m_bMemoModified = 1;
    return _bSetHolder(value);
  }
  CNAXQRecord* pclOriginal = _pclOriginalXQ();
  if (pclOriginal != nullptr && !pclOriginal->bItemValueDefined(m_piItem, 0) && bNullValue) {
    m_pclValue->SetNull();
    m_bMemoModified = 0;
    return 1;
  }
  if (m_bMemoModified) return _bSetHolder(value);
  if (m_pclValue->bIsNull()) {
    m_bMemoModified = bNullValue ? 0 : 1;
  } else {
    // A comparison that cannot decide counts as a change.
    int bDiffers = 1;
    if (value == nullptr) {
      bDiffers = 1;
    } else {
      CAny clHeld;
      m_pclValue->bGetValue(&clHeld);
      nDifferent(clHeld, *value, &bDiffers, 0);
    }
    m_bMemoModified = bDiffers != 0 ? 1 : 0;
  }
  if (!m_bMemoModified) return 1;
  return _bSetHolder(value);
}

int CNAColumn::bCheckAndCorrectXQRecordValues() {
  if (bIsComposedKey()) return 1;
  CNAXQRecord* pclXQ = _pclCurrentXQ();
  if (bIsMemo()) {
    if (pclXQ == nullptr) return 1;
    if (!pclXQ->bItemValueDefined(m_piItem, 0)) {
      CAny clNull;
      clNull.SetNull(true);
      _bSetValueMemoToDB(&clNull, 0);
    } else {
      pclXQ->SetItemValueDefined(m_piItem, 1, 0);
    }
    return 1;
  }
  if (!bValueDefined()) {
    bSetValueNULL();
  } else if (m_pclValue != nullptr && m_pclValue->eGetVarType() == NAVT_BOUND) {
    m_pclValue->pclGetValue()->SetNull(false);
  }
  return 1;
}

int CNAColumn::bSetValueFromDB(CNAStatement* /*statement*/, unsigned /*index*/) { return 0; }

void CNAColumn::SetNotModified() {
  m_csMemoPath.Vide();
  m_bMemoModified = 0;
}

void CNAColumn::SetValueIsUnreadYet() {
  if (m_pclValue != nullptr) {
    if (bIsMemo()) {
      // A memo's holder is a dynamic value: it becomes "not read yet".
      const unsigned short wType = m_pclValue->wGetTypeCode();
      m_pclValue->_SetVarType(NAVT_ANY_UNREAD);
      m_pclValue->SetItemDesc(m_piItem, m_pclImported);
      m_pclValue->pclGetValue()->__SetType(wType, 0);
      m_pclValue->pclGetValue()->SetNull(true);
    } else {
      // A bound holder stays bound to the record (the read path writes
      // through it); only its NULL flag tells the value is not there.
      m_pclValue->pclGetValue()->SetNull(true);
    }
  }
  if (bIsMemo()) SetNotModified();
  CNAXQRecord* pclXQ = _pclCurrentXQ();
  if (pclXQ != nullptr && m_piItem != nullptr) pclXQ->SetItemValueDefined(m_piItem, 1, 0);
}

int CNAColumn::bValueIsUnreadYet() const {
  return m_pclValue != nullptr && m_pclValue->eGetVarType() == NAVT_ANY_UNREAD ? 1 : 0;
}

int CNAColumn::bRestaureOriginalValue(CNAConvertVariant* saved) {
  SetNotModified();
  if (m_pclValue == nullptr) return 1;
  if (saved != nullptr)
    m_pclValue->bCopyVariant(saved);
  else
    m_pclValue->SetNull();
  return 1;
}

int CNAColumn::bHAttacheMemo(const wchar_t* path) {
  m_csMemoPath = path;
  if (m_pclValue != nullptr) m_pclValue->SetNull();
  m_bMemoModified = 1;
  return 1;
}

int CNAColumn::bHExtraitMemo(const wchar_t* path) {
  if (m_pclValue != nullptr && !m_pclValue->bIsNull()) return m_pclValue->bStoreFile(path, m_pclError);
  CAny clNull;
  clNull.SetNull(true);
  return CNAVariant::gbStoreFile(&clNull, path, m_pclError);
}

CNAConvertVariant* CNAColumn::pclGetNAValue() { return m_pclValue; }

CNAConvertVariant* CNAColumn::pclGetVariantClone() {
  return m_pclValue != nullptr ? m_pclValue->pclGetCloneVariant() : nullptr;
}

int CNAColumn::bCurrentValueToString(CXYStringConcat<wchar_t>* out, int withName) {
  if (out == nullptr) return 0;
  if (!withName) out->SetLength(0);
  if (withName) {
    out->Add(L"<", 1);
    AppendWide(out, pszGetName());
    AppendWide(out, L"> = <");
  }
  if (bValueIsUnreadYet()) {
    AppendWide(out, L"UNREAD YET");
    if (withName) AppendWide(out, L">");
    return 1;
  }
  CAny clValue;
  if (!bGetCurrentValue(&clValue, 0)) {
    if (withName) AppendWide(out, L"ERROR RETRIEVING VALUE>");
    return 0;
  }
  if (clValue.bIsNull()) {
    if (withName) AppendWide(out, L"NULL>");
    return 1;
  }
  if (clValue.nGetTypeCode() == ANY_BIN && withName) {
    CXYString<wchar_t> clText;
    nGetString(&clText, clValue, nullptr, 1);
    out->Add(clText.pszGet(), clText.nGetLength());
  } else {
    CAny clText(clValue);
    const wchar_t* psz = nullptr;
    std::size_t n = 0;
    if (clText.__nCastTo(ANY_PSTRW, nullptr, 1) <= 99 && clText.nGetPCWSTR(&psz) == 0 && psz != nullptr) {
      if (clText.nGetSTRLEN(&n) != 0) n = std::wcslen(psz);
      out->Add(psz, static_cast<long>(n));
    } else if (withName) {
      AppendWide(out, L"IMPOSSIBLE TEXT CONVERSION (TN Type=");
      out->AddNumber(static_cast<int>(clValue.nGetTypeCode()));
      AppendWide(out, L", Data Size=");
      out->AddNumber(static_cast<long>(DataSize(&clValue)));
      AppendWide(out, L")");
    }
  }
  if (withName) AppendWide(out, L">");
  return 1;
}
