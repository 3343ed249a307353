#include "CNAItemDescription.h"

#include <cstdint>
#include <new>

#include "CNAConnectionDescription.h"
#include "CNADataSourceDescription.h"
#include "IDecimal.h"
#include "IInfoRubrique.h"

namespace {

constexpr std::uint32_t knAllOnes = 0xFFFFFFFFu;
constexpr std::uint16_t knAnyKey = CNAItemDescription::KEY_PRIMARY | CNAItemDescription::KEY_UNIQUE |
                                   CNAItemDescription::KEY_DUPLICATES | CNAItemDescription::KEY_COMPOSED;
// Empty 8-bit and wide fixed strings: the defaults of items retyped to text.
constexpr unsigned short knPlatformPstrA = 18;
constexpr unsigned short knPlatformPstrW = 110;

CNAItemDescription* DefaultAlloc(void*) { return new (std::nothrow) CNAItemDescription; }

CNAItemDescription::PFN_ALLOCITEMDESCRIPTION gpfnAllocClone = DefaultAlloc;
void* gpvAllocCloneContext = nullptr;

std::uint32_t nSaturate(std::uint64_t n) { return n > knAllOnes ? knAllOnes : static_cast<std::uint32_t>(n); }

// A value of an empty value of the platform type wCode.
void ResetTo(CAny* pValue, unsigned short wCode) {
  *pValue = CAny();
  pValue->__SetType(wCode, 0);
}

}  // namespace

CNAItemDescription::CNAItemDescription() : m_tabComponents(4) {}

CNAItemDescription::~CNAItemDescription() {
  // Copy out first: a release may reach back into this description.
  const int n = m_tabComponents.nGetNbElements();
  for (int i = n - 1; i >= 0; --i) {
    CNAItemDescription* p = m_tabComponents[i];
    m_tabComponents.SupprimeDernier(1);
    if (p != nullptr) p->nRelease();
  }
}

// ---- Counts -----------------------------------------------------------------

void CNAItemDescription::_DeleteIfUnreferenced() {
  if (m_nInternalCount == 0 && m_nExternalCount == 0) delete this;
}

std::uint32_t CNAItemDescription::nRelease() {
  if (m_nInternalCount == 0) return 0;
  const std::uint32_t n = --m_nInternalCount;
  if (n == 0) _DeleteIfUnreferenced();
  return n;
}

void CNAItemDescription::ExternalAddRef() { ++m_nExternalCount; }

std::uint32_t CNAItemDescription::nExternalRelease() {
  if (m_nExternalCount == 0) return 0;
  const std::uint32_t n = --m_nExternalCount;
  if (n == 0) _DeleteIfUnreferenced();
  return n;
}

// ---- Versions and fixed answers -------------------------------------------

std::uint32_t CNAItemDescription::nGetVersion() { return 9; }
std::uint32_t CNAItemDescription::nGetCompatSince() { return 1; }
std::uint32_t CNAItemDescription::nGetNAVersion() { return knAllOnes; }
std::uint32_t CNAItemDescription::nGetNACompatSince() { return knAllOnes; }
void CNAItemDescription::NAVersion_EmptySlot_3() {}

const wchar_t* CNAItemDescription::pszGetXBaseIndexPath() const { return nullptr; }
const wchar_t* CNAItemDescription::pszGetXBaseKeyExpression() const { return nullptr; }
const wchar_t* CNAItemDescription::pszGetUnicodeLocale() const { return nullptr; }
INALink* CNAItemDescription::piGetPrimaryLink() { return nullptr; }
INALink* CNAItemDescription::piGetForeignLink(std::uint32_t) { return nullptr; }
std::uint32_t CNAItemDescription::nGetNumForeignLink() const { return 0; }
std::uint32_t CNAItemDescription::nGetKeySize() const { return 0; }
void CNAItemDescription::SetKeySize(std::uint32_t) {}
std::uint32_t CNAItemDescription::nGetComponentKeySize(std::uint32_t) const { return 0; }
void CNAItemDescription::SetComponentKeySize(std::uint32_t, std::uint32_t) {}

// ---- Plain reads --------------------------------------------------------------

const wchar_t* CNAItemDescription::pszGetName() const { return m_sName.pszGet(); }
const wchar_t* CNAItemDescription::pszGetExtendedInfo() const { return m_sExtendedInfo.pszGet(); }
const wchar_t* CNAItemDescription::pszGetCaption() const { return m_sCaption.pszGet(); }
const wchar_t* CNAItemDescription::pszGetDBType() const { return m_sDBTypeName.pszGet(); }
const wchar_t* CNAItemDescription::pszGetSourceName() const { return m_sSourceName.pszGet(); }
const wchar_t* CNAItemDescription::pszGetNameInSource() const { return m_sNameInSource.pszGet(); }
std::uint32_t CNAItemDescription::nGetDimension() const { return m_nDimension; }
std::uint32_t CNAItemDescription::nGetItemSize() const { return m_nItemSize; }
eNA_ITEMTYPE CNAItemDescription::eNAGetItemType() const { return m_eType; }
std::uint32_t CNAItemDescription::nGetPhysicalIndice() const { return m_nPhysicalIndice; }
int CNAItemDescription::nGetKeyIndice() const { return m_nKeyIndice; }
std::uint32_t CNAItemDescription::nGetNumComponents() const {
  return static_cast<std::uint32_t>(m_tabComponents.nGetNbElements());
}
int CNAItemDescription::nGetIntegerPart() const { return m_nIntegerPart; }
int CNAItemDescription::nGetDecimalPart() const { return m_nDecimalPart; }
void CNAItemDescription::SetIntegerPart(int n) { m_nIntegerPart = n; }
void CNAItemDescription::SetDecimalPart(int n) { m_nDecimalPart = n; }

std::uint32_t CNAItemDescription::nGetTotalSize() const { return m_nDimension * m_nItemSize; }

std::uint32_t CNAItemDescription::nGetOffset(int nElement) const {
  return m_nOffset + static_cast<std::uint32_t>(nElement) * m_nItemSize;
}

std::uint32_t CNAItemDescription::nGetSubItemRecordIndice(int nElement) const {
  return m_nSubItemBase + static_cast<std::uint32_t>(nElement);
}

CAny* CNAItemDescription::pclGetDefaultValue(int) { return &m_clDefault; }

std::uint32_t CNAItemDescription::nGetLogicalSize(int nElement) const {
  const bool bAll = nElement == -1;
  // An element too small for its terminator or length prefix holds nothing:
  // answering its size less the overhead would wrap to a huge count.
  switch (m_eType) {
    case NA_IT_TEXTE: {
      const std::uint64_t n = m_nItemSize >= 1 ? m_nItemSize - 1 : 0;
      return nSaturate(bAll ? n * m_nDimension : n);
    }
    case NA_IT_UNICODE: {
      const std::uint64_t n = m_nItemSize >= 2 ? m_nItemSize - 2 : 0;
      return nSaturate(bAll ? n * m_nDimension / 2 : n / 2);
    }
    case NA_IT_BINAIRE:
      if (!bIsComposedKey(0)) {
        const std::uint64_t n = m_nItemSize >= 2 ? m_nItemSize - 2 : 0;
        return nSaturate(bAll ? n * m_nDimension : n);
      }
      break;
    default:
      break;
  }
  return nSaturate(bAll ? static_cast<std::uint64_t>(m_nItemSize) * m_nDimension : m_nItemSize);
}

// ---- Type questions -------------------------------------------------------

int CNAItemDescription::g_bIsMemo(eNA_ITEMTYPE e) {
  return e == NA_IT_MEMOTEXTE || e == NA_IT_MEMOBINAIRE || e == NA_IT_MEMOUNICODE;
}
int CNAItemDescription::g_bIsMemoText(eNA_ITEMTYPE e) { return e == NA_IT_MEMOTEXTE || e == NA_IT_MEMOUNICODE; }
int CNAItemDescription::g_bIsMemoBinary(eNA_ITEMTYPE e) { return e == NA_IT_MEMOBINAIRE; }

int CNAItemDescription::bMemo() const { return g_bIsMemo(m_eType); }
int CNAItemDescription::bMemoText() const { return g_bIsMemoText(m_eType); }
int CNAItemDescription::bMemoBinary() const { return g_bIsMemoBinary(m_eType); }
int CNAItemDescription::bLiteral() const { return m_eType == NA_IT_TEXTE; }

int CNAItemDescription::bNumerical() const {
  switch (m_eType) {
    case NA_IT_IDAUTO:
    case NA_IT_I2:
    case NA_IT_I1:
    case NA_IT_I4:
    case NA_IT_R4:
    case NA_IT_R8:
    case NA_IT_UI2:
    case NA_IT_UI1:
    case NA_IT_REELTURBO:
    case NA_IT_MONETAIRE:
    case NA_IT_I8:
    case NA_IT_UI8:
    case NA_IT_UI4:
    case NA_IT_TIMELENGHT:
    case NA_IT_BOOLEEN:
    case NA_IT_IDAUTO4:
    case NA_IT_DECIMAL:
      return 1;
    default:
      return 0;
  }
}

unsigned short CNAItemDescription::eGetItemTNType() const { return ConverteItemToTNType(this); }

// ---- Keys -----------------------------------------------------------------------

int CNAItemDescription::bIsKey(int) const { return (m_wKeyFlags & knAnyKey) != 0; }
int CNAItemDescription::bPrimary(int) const { return (m_wKeyFlags & KEY_PRIMARY) != 0; }
int CNAItemDescription::bUnique(int) const { return (m_wKeyFlags & (KEY_PRIMARY | KEY_UNIQUE)) != 0; }
int CNAItemDescription::bDuplicates(int) const { return (m_wKeyFlags & KEY_DUPLICATES) != 0; }
int CNAItemDescription::bIsComposedKey(int) const { return (m_wKeyFlags & KEY_COMPOSED) != 0; }
int CNAItemDescription::bGetAscendant(int n) const { return bIsKey(n) && !bGetDescendant(n); }
int CNAItemDescription::bGetDescendant(int) const { return (m_wKeyFlags & KEY_DESCENDING) != 0; }
int CNAItemDescription::bGetIgnoreCase(int) const { return (m_wKeyFlags & KEY_IGNORECASE) != 0; }
int CNAItemDescription::bGetIgnorePunctuation(int) const { return (m_wKeyFlags & KEY_IGNOREPUNCTUATION) != 0; }
int CNAItemDescription::bGetIgnoreAccent(int) const { return (m_wKeyFlags & KEY_IGNOREACCENT) != 0; }

INAItemDescription* CNAItemDescription::piGetItemComponent(std::uint32_t n) {
  if (n < 1 || n > nGetNumComponents()) return nullptr;
  CNAItemDescription* p = m_tabComponents[static_cast<int>(n - 1)];
  if (p != nullptr) p->ExternalAddRef();
  return p;
}

int CNAItemDescription::bSetName(const wchar_t* pszName) {
  m_sName = pszName;
  return 1;
}

int CNAItemDescription::bSetKey(int nKeyIndice, std::uint16_t wKeyFlags) {
  m_nKeyIndice = nKeyIndice;
  m_wKeyFlags = wKeyFlags;
  return 1;
}

int CNAItemDescription::bSetKeyIndice(int nKeyIndice) {
  m_nKeyIndice = nKeyIndice;
  return 1;
}

void CNAItemDescription::SetSensTri(int nDirection) {
  if (nDirection == 0)
    m_wKeyFlags = static_cast<std::uint16_t>((m_wKeyFlags | KEY_ASCENDING) & ~KEY_DESCENDING);
  else
    m_wKeyFlags = static_cast<std::uint16_t>((m_wKeyFlags | KEY_DESCENDING) & ~KEY_ASCENDING);
}

void CNAItemDescription::SetIgnoreCase(int b) {
  if (b)
    m_wKeyFlags = static_cast<std::uint16_t>(m_wKeyFlags | KEY_IGNORECASE);
  else
    m_wKeyFlags = static_cast<std::uint16_t>(m_wKeyFlags & ~KEY_IGNORECASE);
}

int CNAItemDescription::bAddComponent(CNAItemDescription* pclComponent) {
  if (pclComponent == nullptr) return 0;
  if (m_tabComponents.Ajoute(pclComponent) < 0) return 0;
  pclComponent->AddRef();
  if (bIsComposedKey(0)) {
    std::uint64_t n = pclComponent->nGetLogicalSize(-1);
    if (pclComponent->eNAGetItemType() == NA_IT_UNICODE) n *= 2;
    m_nItemSize = nSaturate(m_nItemSize + n);
  }
  return 1;
}

int CNAItemDescription::bIsComponentOf(INAItemDescription* piComposite, const INAItemDescription* piItem) {
  if (piComposite == nullptr) return 0;
  const std::uint32_t n = piComposite->nGetNumComponents();
  int bFound = 0;
  for (std::uint32_t i = 1; i <= n && !bFound; ++i) {
    INAItemDescription* pi = piComposite->piGetItemComponent(i);
    if (pi == nullptr) continue;
    bFound = pi == piItem;
    pi->nExternalRelease();
  }
  return bFound;
}

// ---- Properties ---------------------------------------------------------------

int CNAItemDescription::bUpdatable() const { return (m_dwProperties & PROP_NOTUPDATABLE) == 0; }

void CNAItemDescription::SetUpdatable(int b) {
  if (b)
    m_dwProperties &= ~PROP_NOTUPDATABLE;
  else
    m_dwProperties |= PROP_NOTUPDATABLE;
}

int CNAItemDescription::vbConstraintNullAllowed() const { return (m_dwProperties & PROP_NOTNULL) == 0; }

void CNAItemDescription::SetNullable(int b) {
  if (b)
    m_dwProperties &= ~PROP_NOTNULL;
  else
    m_dwProperties |= PROP_NOTNULL;
}

void CNAItemDescription::SetAutoIncrement() {
  m_dwProperties |= PROP_AUTOINCREMENT;
  if (m_eType == NA_IT_I8 || m_eType == NA_IT_UI8)
    m_eType = NA_IT_IDAUTO;
  else if (m_eType == NA_IT_I4 || m_eType == NA_IT_UI4)
    m_eType = NA_IT_IDAUTO4;
}

eNA_ITEMTYPE CNAItemDescription::eNAGetDBType(const CNAConnectionDescription* pclConnection) const {
  if (m_nDBTypeCode == 0) return NA_IT_EMPTY;
  if (pclConnection != nullptr && pclConnection->bDBTypeUnkwnownByDB(static_cast<int>(m_nDBTypeCode)))
    return NA_IT_EMPTY;
  return m_eType;
}

// ---- Description -------------------------------------------------------------

int CNAItemDescription::bInit(const wchar_t* pszName, const wchar_t* pszSourceName,
                              const wchar_t* pszNameInSource, std::uint32_t nDimension, std::uint32_t nItemSize,
                              eNA_ITEMTYPE eType, std::uint32_t nPhysicalIndice, int nKeyIndice,
                              std::uint16_t wKeyFlags, int nIntegerPart, int nDecimalPart) {
  if (eType == NA_IT_EMPTY) {
    eType = NA_IT_TEXTE;
    nItemSize = 1;
  }
  m_sName = pszName;
  m_sSourceName = pszSourceName;
  m_sNameInSource = pszNameInSource;
  m_nDimension = nDimension;
  m_nItemSize = nItemSize;
  m_eType = eType;
  m_nPhysicalIndice = nPhysicalIndice;
  m_nKeyIndice = nKeyIndice;
  m_wKeyFlags = wKeyFlags;
  if (eType == NA_IT_DATETIME || eType == NA_IT_HEURE) m_nDecimalPart = nDecimalPart;
  if (eType == NA_IT_DECIMAL) {
    std::uint32_t nSize = 0;
    // Only the double answer retypes: a decimal that would fit an integer
    // or a currency stays a decimal with its digits.
    if (s_GetTypeFromFormat(nIntegerPart, nDecimalPart, &nSize) == NA_IT_R8) {
      m_eType = NA_IT_R8;
      m_nItemSize = 8;
    } else {
      m_nIntegerPart = nIntegerPart;
      m_nDecimalPart = nDecimalPart;
    }
  }
  if (g_bIsMemo(m_eType)) m_nItemSize = 8;
  if (m_eType == NA_IT_IDAUTO || m_eType == NA_IT_IDAUTO4) m_dwProperties = PROP_AUTOINCREMENT | PROP_NOTNULL;
  ResetTo(&m_clDefault, ConverteItemToTNType(m_eType, 0));
  m_clDefault.SetNull(true);
  return 1;
}

void CNAItemDescription::_RetypeDefault() {
  const unsigned short wCode = ConverteItemToTNType(m_eType, 0);
  if (m_clDefault.__nCastTo(wCode, nullptr, 0) > 99) ResetTo(&m_clDefault, wCode);
}

int CNAItemDescription::bChangeTypeMemo(eNA_ITEMTYPE eType) {
  m_eType = eType;
  _RetypeDefault();
  return 1;
}

int CNAItemDescription::bChangeType(INAItemDescription* piSource, int bKeepIdentity) {
  if (piSource == nullptr) return 0;
  m_nDimension = piSource->nGetDimension();
  m_nItemSize = piSource->nGetItemSize();
  m_eType = piSource->eNAGetItemType();
  m_sDBTypeName = piSource->pszGetDBType();
  m_nDBTypeCode = 0;
  if (!bKeepIdentity) {
    if (m_eType == NA_IT_IDAUTO)
      m_eType = NA_IT_I8;
    else if (m_eType == NA_IT_IDAUTO4)
      m_eType = NA_IT_I4;
  }
  switch (m_eType) {
    case NA_IT_DECIMAL:
      m_nIntegerPart = piSource->nGetIntegerPart();
      m_nDecimalPart = piSource->nGetDecimalPart();
      break;
    case NA_IT_HEURE:
    case NA_IT_DATETIME:
      m_nIntegerPart = 0;
      m_nDecimalPart = piSource->nGetDecimalPart();
      break;
    default:
      m_nIntegerPart = 0;
      m_nDecimalPart = 0;
      break;
  }
  _RetypeDefault();
  return 1;
}

int CNAItemDescription::bChangeType(CNAItemDescription* pclSource, int bKeepIdentity) {
  const int b = bChangeType(static_cast<INAItemDescription*>(pclSource), bKeepIdentity);
  if (b) m_nDBTypeCode = pclSource->m_nDBTypeCode;
  return b;
}

int CNAItemDescription::bCompleteDescription(INAItemDescription* piSource, int bKeepIdentity,
                                             unsigned int nKeyIndice) {
  if (piSource == nullptr) return 0;
  const int b = bChangeType(piSource, bKeepIdentity);
  m_sExtendedInfo = piSource->pszGetExtendedInfo();
  m_sCaption = piSource->pszGetCaption();
  if (piSource->bIsKey(-1)) {
    std::uint16_t w = 0;
    if (piSource->bGetAscendant(-1)) w |= KEY_ASCENDING;
    if (piSource->bGetDescendant(-1)) w |= KEY_DESCENDING;
    if (piSource->bGetIgnoreCase(-1)) w |= KEY_IGNORECASE;
    if (piSource->bGetIgnorePunctuation(-1)) w |= KEY_IGNOREPUNCTUATION;
    if (piSource->bGetIgnoreAccent(-1)) w |= KEY_IGNOREACCENT;
    if (!bKeepIdentity)
      w |= KEY_DUPLICATES;
    else
      w |= piSource->bUnique(-1) ? KEY_UNIQUE : KEY_DUPLICATES;
    if (piSource->bPrimary(-1)) w |= KEY_PRIMARY;
    m_wKeyFlags = w;
    m_nKeyIndice = static_cast<int>(nKeyIndice);
  }
  m_sNameInSource = piSource->pszGetNameInSource();
  m_sSourceName = piSource->pszGetSourceName();
  return b;
}

int CNAItemDescription::bCompleteDescriptionCalcul(IInfoRubrique* piItem) {
  if (piItem == nullptr) return 0;
  m_sNameInSource = m_sName;
  m_sSourceName.Vide();
  m_nColumnKind = piItem->nGetTypeColonne();
  const int nCode = piItem->nGetTypeCode();
  if (nCode == 0 || nCode == 41) return 1;

  const int nFunction = piItem->nGetFonction();
  if (nFunction == 95 || nFunction == 96) {
    // These functions answer 8-bit text whatever their operand.
    if (m_eType == NA_IT_UNICODE) {
      m_eType = NA_IT_TEXTE;
      m_nItemSize /= 2;
      ResetTo(&m_clDefault, knPlatformPstrW);
    } else if (m_eType == NA_IT_MEMOUNICODE) {
      m_eType = NA_IT_MEMOTEXTE;
      ResetTo(&m_clDefault, knPlatformPstrW);
    }
    return 1;
  }

  if (nCode == 29 || nCode == 40 || nCode == 30) {
    // A text, wide text or binary of the query keeps its own description:
    // retyped to the code's memo it would get a text's element size where
    // records keep a memo as an 8-byte marker.
    const eNA_ITEMTYPE eKept = nCode == 29 ? NA_IT_TEXTE : nCode == 40 ? NA_IT_UNICODE : NA_IT_BINAIRE;
    if (m_eType == eKept) return 1;
    m_nItemSize = 8;
  } else {
    m_nItemSize = piItem->nGetTaille();
  }
  const eNA_ITEMTYPE eNew = CNADataSourceDescription::g_eGetNAItemType(static_cast<std::uint32_t>(nCode));
  if (m_eType == NA_IT_DECIMAL && eNew != NA_IT_DECIMAL) {
    m_nIntegerPart = 0;
    m_nDecimalPart = 0;
  }
  m_eType = eNew;
  _RetypeDefault();
  return 1;
}

void CNAItemDescription::SetDefaultValue(const CAny* pValue, int) {
  if (pValue != nullptr && pValue != &m_clDefault) m_clDefault = *pValue;
  (void)m_clDefault.__nCastTo(ConverteItemToTNType(m_eType, 0), nullptr, 0);
}

// ---- Type match ---------------------------------------------------------------

int CNAItemDescription::bTypeMatch(const INAItemDescription* piOther, int bAnsi, int bLooseDates) const {
  if (piOther == nullptr) return 0;
  eNA_ITEMTYPE eThis = m_eType;
  std::uint32_t nThis = m_nItemSize;
  eNA_ITEMTYPE eOther = piOther->eNAGetItemType();
  std::uint32_t nOther = piOther->nGetItemSize();
  if (bAnsi) {
    s_Type2Ansi(&eThis, &nThis);
    s_Type2Ansi(&eOther, &nOther);
  }

  if (eThis == eOther) {
    switch (eThis) {
      case NA_IT_TEXTE:
      case NA_IT_HEURE:
      case NA_IT_BINAIRE:
      case NA_IT_UNICODE:
        return nOther <= nThis;
      case NA_IT_DECIMAL:
        return piOther->nGetDecimalPart() <= m_nDecimalPart && piOther->nGetIntegerPart() <= m_nIntegerPart;
      case NA_IT_DATETIME:
        return bLooseDates || piOther->nGetDecimalPart() <= m_nDecimalPart;
      default:
        return 1;
    }
  }

  int nOtherPrecision = 0;
  int nOtherScale = 0;
  const auto bOtherDigits = [&] {
    return s_bGetDecimalInfo(ConverteItemToTNType(eOther, 0), &nOtherPrecision, &nOtherScale);
  };
  switch (eThis) {
    case NA_IT_IDAUTO:
    case NA_IT_I2:
    case NA_IT_I1:
    case NA_IT_I4:
    case NA_IT_UI2:
    case NA_IT_UI1:
    case NA_IT_MONETAIRE:
    case NA_IT_I8:
    case NA_IT_UI8:
    case NA_IT_UI4:
    case NA_IT_TIMELENGHT:
    case NA_IT_IDAUTO4: {
      int nPrecision = 0;
      int nScale = 0;
      if (!s_bGetDecimalInfo(ConverteItemToTNType(eThis, 0), &nPrecision, &nScale) || !bOtherDigits()) return 0;
      return nOtherPrecision <= nPrecision && nOtherScale <= nScale;
    }
    case NA_IT_R8:
      return eOther == NA_IT_R4;
    case NA_IT_DATE6:
    case NA_IT_HEURE:
      return eOther == NA_IT_DATETIME && bLooseDates;
    case NA_IT_DATE8:
      return eOther == NA_IT_DATE6 || (eOther == NA_IT_DATETIME && bLooseDates);
    case NA_IT_MEMOTEXTE:
      return eOther == NA_IT_IMAGE || eOther == NA_IT_TEXTE;
    case NA_IT_MEMOBINAIRE4:
    case NA_IT_MEMOBINAIRE:
      return eOther == NA_IT_BINAIRE;
    case NA_IT_DATETIME:
      return eOther == NA_IT_DATE6 || eOther == NA_IT_HEURE || eOther == NA_IT_DATE8;
    case NA_IT_UNICODE:
      return eOther == NA_IT_TEXTE && static_cast<std::uint64_t>(nOther) <= 2ull * nThis;
    case NA_IT_MEMOUNICODE:
      return eOther == NA_IT_TEXTE || eOther == NA_IT_MEMOTEXTE || eOther == NA_IT_IMAGE ||
             eOther == NA_IT_UNICODE;
    case NA_IT_DECIMAL:
      if (!bOtherDigits()) return 0;
      return nOtherPrecision <= m_nIntegerPart + m_nDecimalPart && nOtherScale <= m_nDecimalPart;
    default:
      return 0;
  }
}

// ---- Clone --------------------------------------------------------------------

void CNAItemDescription::s_SetCloneFactory(PFN_ALLOCITEMDESCRIPTION pfn, void* pvContext) {
  gpfnAllocClone = pfn != nullptr ? pfn : DefaultAlloc;
  gpvAllocCloneContext = pfn != nullptr ? pvContext : nullptr;
}

CNAItemDescription* CNAItemDescription::pclGetCloneItemDescription(CNADataSourceDescription* pTarget,
                                                                   eCLONEDESC eOptions) {
  CNAItemDescription* p = gpfnAllocClone(gpvAllocCloneContext);
  if (p == nullptr) return nullptr;
  p->m_sName = m_sName;
  p->m_sExtendedInfo = m_sExtendedInfo;
  p->m_sCaption = m_sCaption;
  p->m_sDBTypeName = m_sDBTypeName;
  p->m_nDBTypeCode = m_nDBTypeCode;
  p->m_nDimension = m_nDimension;
  p->m_nItemSize = m_nItemSize;
  p->m_eType = m_eType;
  p->m_nPhysicalIndice = m_nPhysicalIndice;
  p->m_nOffset = m_nOffset;
  p->m_nSubItemBase = m_nSubItemBase;
  p->m_clDefault = m_clDefault;
  p->m_nIntegerPart = m_nIntegerPart;
  p->m_nDecimalPart = m_nDecimalPart;
  p->m_sSourceName = m_sSourceName;
  p->m_sNameInSource = m_sNameInSource;
  p->m_sSourceOther = m_sSourceOther;
  p->m_nColumnKind = m_nColumnKind;
  p->m_dwProperties = m_dwProperties;
  p->m_nKeyIndice = pTarget != nullptr ? static_cast<int>(pTarget->nGetNumKeys()) : 0;
  p->m_wKeyFlags = m_wKeyFlags;

  if ((eOptions & NA_CLONEDESC_KEYALL) != 0 && m_wKeyFlags == 0 && !g_bIsMemoText(m_eType))
    p->m_wKeyFlags = KEY_DUPLICATES | KEY_ASCENDING;
  if ((eOptions & NA_CLONEDESC_DATEASTEXT) != 0 && (m_eType == NA_IT_DATE8 || m_eType == NA_IT_DATETIME)) {
    p->m_eType = NA_IT_TEXTE;
    ResetTo(&p->m_clDefault, knPlatformPstrA);
  }

  if (pTarget != nullptr) {
    const int n = m_tabComponents.nGetNbElements();
    for (int i = 0; i < n; ++i) {
      const CNAItemDescription* pclComponent = m_tabComponents[i];
      if (pclComponent == nullptr) continue;
      CNAItemDescription* pclTarget = pTarget->pclNAGetCorrespondingItem(pclComponent->pszGetName());
      if (pclTarget == nullptr) continue;
      // The internal reference is taken before the lookup's external one
      // goes, so the item cannot fall to zero in between.
      if (p->m_tabComponents.Ajoute(pclTarget) >= 0) pclTarget->AddRef();
      pclTarget->nExternalRelease();
    }
  }
  return p;
}

// ---- Statics ------------------------------------------------------------------

std::uint32_t CNAItemDescription::s_nGetDecimalSize(int p) { return static_cast<std::uint32_t>(IDecimal::mg_PToN(p)); }

eNA_ITEMTYPE CNAItemDescription::s_GetTypeFromFormat(int a, int b, std::uint32_t* pnSize) {
  eNA_ITEMTYPE e = NA_IT_R8;
  std::uint32_t n = 8;
  bool bDecimalRule = false;
  if (a < 0 || b < 0 || (a == 0 && b == 0)) {
    // a double
  } else if (b == 0) {
    if (a <= 2) {
      e = NA_IT_I1;
      n = 1;
    } else if (a <= 4) {
      e = NA_IT_I2;
      n = 2;
    } else if (a <= 9) {
      e = NA_IT_I4;
      n = 4;
    } else if (a <= 19) {
      // NUMERIC(19,0) is how 64-bit integers and identifiers are created.
      e = NA_IT_I8;
      n = 8;
    } else {
      bDecimalRule = true;
    }
  } else if (b <= 6 && a <= 10) {
    e = NA_IT_MONETAIRE;
    n = 10;
  } else {
    bDecimalRule = true;
  }
  if (bDecimalRule && a <= 38 && b <= 38 && a + b <= 38) {
    e = NA_IT_DECIMAL;
    n = s_nGetDecimalSize(a + b);
  }
  if (pnSize != nullptr) *pnSize = n;
  return e;
}

bool CNAItemDescription::s_bGetDecimalInfo(unsigned short wPlatformType, int* pnPrecision, int* pnScale) {
  int nPrecision = 0;
  int nScale = 0;
  switch (wPlatformType) {
    case 1:
      nPrecision = 1;
      break;
    case 2:
    case 6:
      nPrecision = 3;
      break;
    case 3:
    case 7:
      nPrecision = 5;
      break;
    case 4:
    case 8:
    case 14:
      nPrecision = 10;
      break;
    case 5:
    case 9:
    case 27:
      nPrecision = 19;
      break;
    case 10:
      nPrecision = 33;
      nScale = 5;
      break;
    default:
      if (pnPrecision != nullptr) *pnPrecision = 0;
      if (pnScale != nullptr) *pnScale = 0;
      return false;
  }
  if (pnPrecision != nullptr) *pnPrecision = nPrecision;
  if (pnScale != nullptr) *pnScale = nScale;
  return true;
}

std::uint32_t CNAItemDescription::s_nGetXQSize(eNA_ITEMTYPE e, std::uint32_t nSize, int nPrecision) {
  switch (e) {
    case NA_IT_IDAUTO:
    case NA_IT_R8:
    case NA_IT_MEMOTEXTE:
    case NA_IT_MEMOBINAIRE:
    case NA_IT_I8:
    case NA_IT_UI8:
    case NA_IT_DATETIME:
    case NA_IT_TIMELENGHT:
    case NA_IT_MEMOUNICODE:
      return 8;
    case NA_IT_I1:
    case NA_IT_UI1:
    case NA_IT_CHAR:
    case NA_IT_BOOLEEN:
      return 1;
    case NA_IT_I4:
    case NA_IT_R4:
    case NA_IT_UI4:
    case NA_IT_IDAUTO4:
      return 4;
    case NA_IT_I2:
    case NA_IT_UI2:
      return 2;
    case NA_IT_MONETAIRE:
      return 10;
    case NA_IT_DATE8:
      return 9;
    case NA_IT_TEXTE:
      return nSize + 1;
    case NA_IT_BINAIRE:
      return nSize + 2;
    case NA_IT_IMAGE:
    case NA_IT_UNICODE:
      return 4 * nSize + 4;
    case NA_IT_HEURE:
      return nPrecision <= 0 ? 5 : 5 + static_cast<std::uint32_t>(nPrecision < 5 ? nPrecision : 5);
    case NA_IT_DECIMAL:
      return nPrecision == 0 ? 18 : s_nGetDecimalSize(nPrecision);
    default:
      return 0;
  }
}

void CNAItemDescription::s_Type2Ansi(eNA_ITEMTYPE* pe, std::uint32_t* pnSize) {
  if (pe == nullptr) return;
  if (*pe == NA_IT_UNICODE) {
    *pe = NA_IT_TEXTE;
    if (pnSize != nullptr) *pnSize /= 2;
  } else if (*pe == NA_IT_MEMOUNICODE) {
    *pe = NA_IT_MEMOTEXTE;
  }
}
