// CNAItemDescription: the library's description of one item (column) of a
// table or query, handed to the runtime as INAItemDescription.
//
// It holds the item's names, type, element size and dimension, its place in
// the native record (offset, physical index, sub-item base), its key flags
// and, for a composite key, its components; precision and scale; a default
// value typed as the item's platform type; the column kind of a query item;
// property flags.
//
// References: two counts. AddRef/nRelease count the library's holders,
// ExternalAddRef/nExternalRelease the runtime's. A release answers the new
// count; a release of a count already at 0 changes nothing and answers 0.
// When a release brings its count to 0 while the other is 0, the
// description deletes itself. A new description has both counts at 0: its
// first holder takes the first reference. Reference containers hold
// descriptions by the external count (CRefTraits below).
//
// Components are held by internal references, taken when added and given
// back by the destructor; piGetItemComponent hands one out with an external
// reference for the caller.
//
// Clones are made by a replaceable factory (s_SetCloneFactory): by default
// a plain CNAItemDescription; the driver points it at its own.
//
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CAny.h"
#include "CRefTraits.h"
#include "CTString.h"
#include "CTTableau.h"
#include "INAItemDescription.h"
#include "ItemTypes.h"

class CNAConnectionDescription;
class CNADataSourceDescription;
class IInfoRubrique;

class CNAItemDescription : public INAItemDescription {
 public:
  using eCLONEDESC = ::eCLONEDESC;

  // Key flags.
  enum : std::uint16_t {
    KEY_PRIMARY = 0x8000,
    KEY_UNIQUE = 0x4000,
    KEY_DUPLICATES = 0x2000,
    KEY_COMPOSED = 0x1000,
    KEY_ASCENDING = 0x0800,
    KEY_DESCENDING = 0x0400,
    KEY_IGNORECASE = 0x0080,
    KEY_IGNOREPUNCTUATION = 0x0040,
    KEY_IGNOREACCENT = 0x0020,
  };
  // Property flags.
  enum : std::uint32_t {
    PROP_AUTOINCREMENT = 0x01,
    PROP_NOTNULL = 0x02,
    PROP_NOTUPDATABLE = 0x04,
    PROP_SPACEPADDING = 0x08,
    PROP_VARIABLESCALE = 0x10,
  };

  // Every field empty or 0; offset and sub-item base all ones; default value
  // of type 0; no reference.
  CNAItemDescription();

  // ---- Counts -----------------------------------------------------------
  void AddRef() { ++m_nInternalCount; }
  std::uint32_t nRelease();
  std::uint32_t nGetInternalCount() const { return m_nInternalCount; }
  std::uint32_t nGetExternalCount() const { return m_nExternalCount; }

  // ---- INAItemDescription -----------------------------------------------
  // Versions: 9, 1, all ones, all ones; slot 4 does nothing.
  std::uint32_t nGetVersion() override;
  std::uint32_t nGetCompatSince() override;
  std::uint32_t nGetNAVersion() override;
  std::uint32_t nGetNACompatSince() override;
  void NAVersion_EmptySlot_3() override;
  void ExternalAddRef() override;
  std::uint32_t nExternalRelease() override;
  const wchar_t* pszGetName() const override;
  std::uint32_t nGetDimension() const override;
  std::uint32_t nGetItemSize() const override;
  // Per element: TEXTE size - 1, UNICODE (size - 2) / 2, BINAIRE that is no
  // composite key size - 2, others size; an element smaller than its
  // terminator or prefix gives 0. nElement -1: of all elements (UNICODE:
  // (size - 2) x dimension / 2); a result beyond 32 bits gives all ones.
  std::uint32_t nGetLogicalSize(int nElement) const override;
  // Dimension x element size.
  std::uint32_t nGetTotalSize() const override;
  eNA_ITEMTYPE eNAGetItemType() const override;
  std::uint32_t nGetPhysicalIndice() const override;
  int bIsKey(int nUnused) const override;
  int bMemo() const override;
  int bMemoText() const override;
  int bMemoBinary() const override;
  int bNumerical() const override;
  int bLiteral() const override;
  int nGetKeyIndice() const override;
  std::uint32_t nGetNumComponents() const override;
  int bPrimary(int nUnused) const override;
  int bUnique(int nUnused) const override;
  int bDuplicates(int nUnused) const override;
  int bIsComposedKey(int nUnused) const override;
  // A key that is not descending.
  int bGetAscendant(int nUnused) const override;
  int bGetDescendant(int nUnused) const override;
  int bGetIgnoreCase(int nUnused) const override;
  int bGetIgnorePunctuation(int nUnused) const override;
  int bGetIgnoreAccent(int nUnused) const override;
  INAItemDescription* piGetItemComponent(std::uint32_t n) override;
  // Offset + nElement x element size; base + nElement.
  std::uint32_t nGetOffset(int nElement) const override;
  std::uint32_t nGetSubItemRecordIndice(int nElement) const override;
  CAny* pclGetDefaultValue(int nElement) override;
  const wchar_t* pszGetExtendedInfo() const override;
  const wchar_t* pszGetCaption() const override;
  const wchar_t* pszGetDBType() const override;
  const wchar_t* pszGetXBaseIndexPath() const override;
  const wchar_t* pszGetXBaseKeyExpression() const override;
  int nGetIntegerPart() const override;
  int nGetDecimalPart() const override;
  const wchar_t* pszGetNameInSource() const override;
  const wchar_t* pszGetSourceName() const override;
  std::uint32_t nGetKeySize() const override;
  void SetKeySize(std::uint32_t nSize) override;
  std::uint32_t nGetComponentKeySize(std::uint32_t nComponent) const override;
  void SetComponentKeySize(std::uint32_t nComponent, std::uint32_t nSize) override;
  int bUpdatable() const override;
  // b clears "not updatable", else sets it.
  void SetUpdatable(int b) override;
  INALink* piGetPrimaryLink() override;
  INALink* piGetForeignLink(std::uint32_t n) override;
  std::uint32_t nGetNumForeignLink() const override;
  const wchar_t* pszGetUnicodeLocale() const override;
  int vbConstraintNullAllowed() const override;
  void SetIntegerPart(int n) override;
  void SetDecimalPart(int n) override;
  // A copy for pTarget from the clone factory (null when it gives none),
  // with no reference taken: names, texts, type code, dimension, sizes,
  // type, physical index, offset, sub-item base, default value, digits,
  // source strings, column kind, property flags and key flags. The key
  // index becomes pTarget's number of keys. Option 1: an item without key
  // flags that is no text memo gets KEY_DUPLICATES | KEY_ASCENDING.
  // Option 2: DATE8 and DATETIME become TEXTE with an empty 8-bit string
  // (type 18, not NULL) as default. Each component is replaced by pTarget's
  // item of the same name (held internally); a name pTarget lacks adds no
  // component. A null pTarget: key index 0, no component.
  CNAItemDescription* pclGetCloneItemDescription(CNADataSourceDescription* pTarget,
                                                 eCLONEDESC eOptions) override;

  // ---- Own operations ---------------------------------------------------
  // Describes the item; true. Type 0 becomes TEXTE of element size 1;
  // DATETIME and HEURE keep the decimal digits; DECIMAL becomes R8 (size 8)
  // only when its digits fit no decimal, else keeps both digit counts; memos
  // get element size 8; identifiers get automatic increment and NOT NULL;
  // the default value becomes a NULL value of the platform type.
  int bInit(const wchar_t* pszName, const wchar_t* pszSourceName, const wchar_t* pszNameInSource,
            std::uint32_t nDimension, std::uint32_t nItemSize, eNA_ITEMTYPE eType,
            std::uint32_t nPhysicalIndice, int nKeyIndice, std::uint16_t wKeyFlags, int nIntegerPart,
            int nDecimalPart);
  int bSetName(const wchar_t* pszName);
  int bSetKey(int nKeyIndice, std::uint16_t wKeyFlags);
  int bSetKeyIndice(int nKeyIndice);
  std::uint16_t wGetKeyFlags() const { return m_wKeyFlags; }
  // 0: ascending; anything else: descending.
  void SetSensTri(int nDirection);
  void SetNullable(int b);
  void SetNotUpdatable() { SetUpdatable(0); }
  void SetSpacePadding() { m_dwProperties |= PROP_SPACEPADDING; }
  int bSpacePadding() const { return (m_dwProperties & PROP_SPACEPADDING) != 0; }
  void SetVariableScale() { m_dwProperties |= PROP_VARIABLESCALE; }
  int bGetVariableScale() const { return (m_dwProperties & PROP_VARIABLESCALE) != 0; }
  int bAutoIncrement() const { return (m_dwProperties & PROP_AUTOINCREMENT) != 0; }
  void SetIgnoreCase(int b);
  // Sets automatic increment; I8 and UI8 become IDAUTO, I4 and UI4 IDAUTO4.
  void SetAutoIncrement();
  std::uint32_t dwGetProperties() const { return m_dwProperties; }
  int nGetPrecision() const { return m_nIntegerPart + m_nDecimalPart; }
  int nGetScale() const { return m_nDecimalPart; }
  // 0 without a database type code or when the connection says its
  // database does not know the code; else the item type. A null connection
  // counts as knowing every code.
  eNA_ITEMTYPE eNAGetDBType(const CNAConnectionDescription* pclConnection) const;
  // The item's platform type (ConverteItemToTNType).
  unsigned short eGetItemTNType() const;

  // Texts and places set by the data-source descriptions.
  void SetExtendedInfo(const wchar_t* psz) { m_sExtendedInfo = psz; }
  void SetCaption(const wchar_t* psz) { m_sCaption = psz; }
  void SetDBType(const wchar_t* pszName, std::uint32_t nCode) {
    m_sDBTypeName = pszName;
    m_nDBTypeCode = nCode;
  }
  std::uint32_t nGetDBTypeCode() const { return m_nDBTypeCode; }
  void SetOffset(std::uint32_t n) { m_nOffset = n; }
  void SetSubItemRecordIndice(std::uint32_t n) { m_nSubItemBase = n; }
  void SetPhysicalIndice(std::uint32_t n) { m_nPhysicalIndice = n; }
  void SetColumnKind(int n) { m_nColumnKind = n; }
  int nGetColumnKind() const { return m_nColumnKind; }
  // The database table a query item's value comes from (empty when none);
  // clones copy it.
  void SetDBTableName(const wchar_t* psz) { m_sSourceOther = psz != nullptr ? psz : L""; }
  const wchar_t* pszGetDBTableName() const { return m_sSourceOther.pszGet(); }
  // The item's column index in the server's result (-1 until the record
  // layer assigns one); not cloned.
  void SetDBColumnIndex(int n) { m_nDBColumnIndex = n; }
  int nGetDBColumnIndex() const { return m_nDBColumnIndex; }

  // Appends a component (one internal reference). A composite key grows by
  // the component's logical size of all elements, twice that for a UNICODE
  // component. False for null.
  int bAddComponent(CNAItemDescription* pclComponent);
  // Whether piItem is one of piComposite's components (by address).
  static int bIsComponentOf(INAItemDescription* piComposite, const INAItemDescription* piItem);

  // Sets the type and re-types the default value; true.
  int bChangeTypeMemo(eNA_ITEMTYPE eType);
  // Takes piSource's dimension, element size, type and database type name
  // (code 0); without bKeepIdentity the identifiers become I8 and I4. Digits
  // by type (DECIMAL both, HEURE and DATETIME the decimal part, others 0);
  // the default re-typed. False only for a null source.
  int bChangeType(INAItemDescription* piSource, int bKeepIdentity);
  // The same, and the database type code copied.
  int bChangeType(CNAItemDescription* pclSource, int bKeepIdentity);
  // bChangeType, the texts, the key flags rebuilt from a key source (key
  // index nKeyIndice), the source strings. False only for a null source.
  int bCompleteDescription(INAItemDescription* piSource, int bKeepIdentity, unsigned int nKeyIndice);
  // Describes a calculated column from the SQL runtime's item (borrowed, no
  // reference taken). False only for a null item.
  int bCompleteDescriptionCalcul(IInfoRubrique* piItem);
  // Copies *pValue (unless it is this description's own) and converts the
  // copy to the item's platform type; the conversion's result is not used.
  void SetDefaultValue(const CAny* pValue, int nUnused);
  // Whether values described by piOther fit this item: equal types by
  // size or digits, different types by this type's table of accepted
  // sources (integers and decimals by precision and scale, dates with
  // bLooseDates, memos from their texts ...). With bAnsi both sides are
  // first read as 8-bit types. False for null.
  int bTypeMatch(const INAItemDescription* piOther, int bAnsi, int bLooseDates) const;

  // ---- Statics ------------------------------------------------------------
  static int g_bIsMemo(eNA_ITEMTYPE e);
  static int g_bIsMemoText(eNA_ITEMTYPE e);
  static int g_bIsMemoBinary(eNA_ITEMTYPE e);
  // Item type and byte size for a number of a integer and b decimal digits.
  static eNA_ITEMTYPE s_GetTypeFromFormat(int a, int b, std::uint32_t* pnSize);
  // D(p): bytes of a decimal of p digits; 0 outside 1 to 38.
  static std::uint32_t s_nGetDecimalSize(int p);
  // Precision and scale of a platform type's values; false (and 0, 0) for
  // a type without them.
  static bool s_bGetDecimalInfo(unsigned short wPlatformType, int* pnPrecision, int* pnScale);
  // Element size of a type in the engine's record: fixed per type, TEXTE
  // size + 1, BINAIRE size + 2, IMAGE and UNICODE 4 x size + 4, HEURE 5 plus
  // up to 5 fraction digits, DECIMAL D(precision) (18 without one); 0 for
  // types without a size. Nothing sizes records with it: the native record
  // keeps wide text as UTF-16 (2n + 2 bytes).
  static std::uint32_t s_nGetXQSize(eNA_ITEMTYPE e, std::uint32_t nSize, int nPrecision);
  // UNICODE -> TEXTE (size halved), MEMOUNICODE -> MEMOTEXTE.
  static void s_Type2Ansi(eNA_ITEMTYPE* pe, std::uint32_t* pnSize);

  // The clone factory: pfn(pvContext) gives a new description with no
  // reference, or null. A null pfn restores the default.
  using PFN_ALLOCITEMDESCRIPTION = CNAItemDescription* (*)(void* pvContext);
  static void s_SetCloneFactory(PFN_ALLOCITEMDESCRIPTION pfn, void* pvContext);

 protected:
  // Gives back every component. Only a release deletes a description.
  ~CNAItemDescription() override;

 private:
  void _DeleteIfUnreferenced();
  // The default value converted to the item's platform type; an empty value
  // of that type when the conversion fails.
  void _RetypeDefault();

  CTString m_sName;
  CTString m_sExtendedInfo;
  CTString m_sCaption;
  CTString m_sDBTypeName;
  std::uint32_t m_nDBTypeCode = 0;
  std::uint32_t m_nDimension = 0;
  std::uint32_t m_nItemSize = 0;
  int m_nKeyIndice = 0;
  eNA_ITEMTYPE m_eType = NA_IT_EMPTY;
  std::uint32_t m_nPhysicalIndice = 0;
  std::uint16_t m_wKeyFlags = 0;
  std::uint32_t m_nInternalCount = 0;
  std::uint32_t m_nExternalCount = 0;
  std::uint32_t m_nOffset = 0xFFFFFFFFu;
  std::uint32_t m_nSubItemBase = 0xFFFFFFFFu;
  CAny m_clDefault;
  int m_nIntegerPart = 0;
  int m_nDecimalPart = 0;
  CTString m_sSourceName;
  CTString m_sNameInSource;
  // The database table of a query item's source.
  CTString m_sSourceOther;
  int m_nColumnKind = 0;
  std::uint32_t m_dwProperties = 0;
  int m_nDBColumnIndex = -1;
  CTTableauPtr<CNAItemDescription> m_tabComponents;
};

// Reference containers hold descriptions by the runtime's (external) count.
template <>
struct CRefTraits<CNAItemDescription> {
  static void _AddRef(CNAItemDescription* p) { p->ExternalAddRef(); }
  static void _Release(CNAItemDescription* p) { p->nExternalRelease(); }
};
