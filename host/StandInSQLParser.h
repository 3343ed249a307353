// The stand-in SQL runtime's parser objects, for tests: the analysis of one
// query (ISQLParserInformation with its SELECT part), its FROM tables,
// ORDER BY and GROUP BY items, UPDATE and INSERT items, expression trees,
// the item and data-source descriptions it hands out and the query's bind
// values. Every answer is a field a test sets; StandInParserBuilder.h fills
// them from a query text.
//
// Counting, as the runtime's objects count: the parser information, FROM
// tables, output items (CStandInInfoRubrique) and ORDER BY items carry a
// 32-bit count at byte 8 (checked below); their creator holds 1. The
// library takes references by atomic increments and gives them back through
// slot 2. Trees and operands are handed out owned (slot 1 gives them back),
// descriptions and bind values with one external reference (slots 5, 6).
// The objects themselves stay owned by their creator (a builder), so that a
// library fault shows as a recorded fault, not as a crash.
//
// The ledger records every hand-out and give-back by kind; a give-back with
// nothing outstanding is recorded as a fault. After a test every kind must
// be back at 0 outstanding with no fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "CAny.h"
#include "IExpOpExpression.h"
#include "IInfoAffectation.h"
#include "IInfoFrom.h"
#include "IInfoGroupe.h"
#include "IInfoInsertion.h"
#include "IInfoOrderBy.h"
#include "IInfoSelect.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"
#include "INAQueryParametersValue.h"
#include "ISQLParserInformation.h"

enum class eParserCount : int {
  Parser,           // parser information (byte-8 count)
  From,             // FROM tables (byte-8 count)
  Rubrique,         // output items (byte-8 count)
  OrderBy,          // ORDER BY items (byte-8 count)
  Tree,             // trees: WHERE, HAVING, joins, item expressions, values
  Operand,          // operands handed out by slot 37
  ItemDescription,  // external references on item descriptions
  DataSource,       // external references on data-source descriptions
  QueryParameters,  // external references on bind values
  Count_
};

class CStandInParserLedger {
 public:
  // A hand-out (or an observed take) and a give-back of kind k.
  static void Take(eParserCount k);
  static void Give(eParserCount k);
  // Records a fault (a give-back with nothing outstanding ...).
  static void Fault(const char* what);
  static long nTakes(eParserCount k);
  static long nGives(eParserCount k);
  // Hand-outs minus give-backs; for the byte-8 counted kinds the takes are
  // the live objects' counts above their creator's reference plus the
  // give-backs seen.
  static long nOutstanding(eParserCount k);
  static int nFaults();
  static std::string sFaults();
  // A description of every kind still outstanding, plus the faults; empty
  // when all is balanced.
  static std::string sUnbalanced();
  static void Reset();
  // Counted objects register their count so that takes can be seen.
  static void Register(eParserCount k, const std::uint32_t* count);
  static void Unregister(eParserCount k, const std::uint32_t* count);
};

// The key of the stand-in's name maps (sources, items, bind values): the
// name in lower case, "" for null, so that names match with case ignored.
std::wstring StandInLower(const wchar_t* p);

// ---- Descriptions and bind values ----

class CStandInDataSource;

// An item description double: the answers CSQLParserInfo, the command
// builder and the descriptions read (name, version, type, size, dimension,
// places, key flags and components, NULL constraint). Memo kinds follow the
// type (15 and 30 text memos, 18 the binary memo). External references are
// counted in the ledger; never deleted by them.
class CStandInItemDescription final : public INAItemDescription {
 public:
  explicit CStandInItemDescription(const wchar_t* name = L"", std::uint32_t type = 0);
  ~CStandInItemDescription() override = default;

  std::wstring m_sName;
  std::uint32_t m_nVersion = 9;
  std::uint32_t m_nType = 0;  // eNA_ITEMTYPE
  std::uint32_t m_nSize = 0;
  std::uint32_t m_nDimension = 1;
  std::uint32_t m_nPhysicalIndex = 0;  // place among its source's items
  // Where its value starts in the record's value area: after the values of
  // the items before it in its source (AddItem sets it; composite keys take
  // no room).
  std::uint32_t m_nOffset = 0;
  int m_nKeyIndex = -1;                // answered when no source holds it
  // The stand-in source holding the item (AddItem sets it): the key index
  // is then the item's place among that source's keys, -1 for no key.
  CStandInDataSource* m_pclSource = nullptr;
  int m_bPrimary = 0, m_bUnique = 0, m_bDuplicates = 0, m_bComposed = 0;
  int m_bDescending = 0;
  int m_bNullAllowed = 1;
  // A composite key's components, in order (not owned).
  std::vector<CStandInItemDescription*> m_tabComponents;
  int m_nExternal = 0;  // references the library holds

  // The key flags as the library writes them (0x8000 primary, 0x4000
  // unique, 0x2000 duplicates, 0x1000 composite, 0x0800 ascending, 0x0400
  // descending), read into the fields above and back.
  void SetKeyFlags(std::uint16_t flags);
  std::uint16_t wGetKeyFlags() const;

  std::uint32_t nGetVersion() override { return m_nVersion; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 1; }
  std::uint32_t nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override;
  std::uint32_t nExternalRelease() override;
  const wchar_t* pszGetName() const override { return m_sName.c_str(); }
  std::uint32_t nGetDimension() const override { return m_nDimension; }
  std::uint32_t nGetItemSize() const override { return m_nSize; }
  std::uint32_t nGetLogicalSize(int) const override { return m_nSize; }
  std::uint32_t nGetTotalSize() const override { return m_nSize * m_nDimension; }
  eNA_ITEMTYPE eNAGetItemType() const override { return static_cast<eNA_ITEMTYPE>(m_nType); }
  std::uint32_t nGetPhysicalIndice() const override { return m_nPhysicalIndex; }
  int bIsKey(int) const override { return m_bPrimary || m_bUnique || m_bDuplicates || m_bComposed; }
  int bMemo() const override { return bMemoText() || bMemoBinary(); }
  int bMemoText() const override { return m_nType == 15 || m_nType == 30; }
  int bMemoBinary() const override { return m_nType == 18; }
  int bNumerical() const override { return 0; }
  int bLiteral() const override { return 0; }
  int nGetKeyIndice() const override;
  std::uint32_t nGetNumComponents() const override { return static_cast<std::uint32_t>(m_tabComponents.size()); }
  int bPrimary(int) const override { return m_bPrimary; }
  int bUnique(int) const override { return m_bUnique; }
  int bDuplicates(int) const override { return m_bDuplicates; }
  int bIsComposedKey(int) const override { return m_bComposed; }
  int bGetAscendant(int) const override { return m_bDescending ? 0 : 1; }
  int bGetDescendant(int) const override { return m_bDescending; }
  int bGetIgnoreCase(int) const override { return 0; }
  int bGetIgnorePunctuation(int) const override { return 0; }
  int bGetIgnoreAccent(int) const override { return 0; }
  // Component n (1-based) with one external reference; null outside.
  INAItemDescription* piGetItemComponent(std::uint32_t n) override;
  std::uint32_t nGetOffset(int nElement) const override {
    return m_nOffset + static_cast<std::uint32_t>(nElement) * m_nSize;
  }
  std::uint32_t nGetSubItemRecordIndice(int) const override { return 0; }
  CAny* pclGetDefaultValue(int) override { return nullptr; }
  const wchar_t* pszGetExtendedInfo() const override { return L""; }
  const wchar_t* pszGetCaption() const override { return L""; }
  const wchar_t* pszGetDBType() const override { return L""; }
  const wchar_t* pszGetXBaseIndexPath() const override { return L""; }
  const wchar_t* pszGetXBaseKeyExpression() const override { return L""; }
  int nGetIntegerPart() const override { return 0; }
  int nGetDecimalPart() const override { return 0; }
  const wchar_t* pszGetNameInSource() const override { return m_sName.c_str(); }
  const wchar_t* pszGetSourceName() const override { return L""; }
  std::uint32_t nGetKeySize() const override { return 0; }
  void SetKeySize(std::uint32_t) override {}
  std::uint32_t nGetComponentKeySize(std::uint32_t) const override { return 0; }
  void SetComponentKeySize(std::uint32_t, std::uint32_t) override {}
  int bUpdatable() const override { return 1; }
  void SetUpdatable(int) override {}
  INALink* piGetPrimaryLink() override { return nullptr; }
  INALink* piGetForeignLink(std::uint32_t) override { return nullptr; }
  std::uint32_t nGetNumForeignLink() const override { return 0; }
  const wchar_t* pszGetUnicodeLocale() const override { return nullptr; }
  int vbConstraintNullAllowed() const override { return m_bNullAllowed; }
  void SetIntegerPart(int) override {}
  void SetDecimalPart(int) override {}
  CNAItemDescription* pclGetCloneItemDescription(CNADataSourceDescription*, eCLONEDESC) override { return nullptr; }
};

// One row of a declared table: an item as the runtime's own description
// declares it. The name is kept as written (trailing blanks included); a
// composite key (key flags with 0x1000) names its components, earlier or
// later rows of the same table.
struct stStandInItemRow {
  stStandInItemRow(std::wstring name, std::uint32_t type, std::uint32_t size, std::uint32_t dimension = 1,
                   std::uint16_t keyFlags = 0, std::vector<std::wstring> components = {}, int nullAllowed = 1)
      : sName(std::move(name)), nType(type), nSize(size), nDimension(dimension), wKeyFlags(keyFlags),
        tabComponents(std::move(components)), bNullAllowed(nullAllowed) {}

  std::wstring sName;
  std::uint32_t nType;  // eNA_ITEMTYPE
  std::uint32_t nSize;
  std::uint32_t nDimension;
  std::uint16_t wKeyFlags;
  std::vector<std::wstring> tabComponents;
  int bNullAllowed;
};

// A data-source description: logical and server names, items in order (by
// index, slot 17; by name, slot 16, case ignored), the keys and memos among
// them in item order (slots 18, 19), and the best browse item a test sets
// (slot 22; none by default). Every item handed out carries one external
// reference; an index beyond its count gives null. Its own external
// references (slots 5, 6) are counted in the ledger. Record sizes: the sum
// of the items' total sizes, composite keys left out of the disk size.
//
// Two ways to fill it: AddItem (items owned by someone else, as the parser
// builder's), or Declare (the runtime's own declaration of a table, from a
// table of rows; those items are owned by the description).
class CStandInDataSource final : public INADataSourceDescription {
 public:
  explicit CStandInDataSource(const wchar_t* logical = L"", const wchar_t* dbTable = L"");
  ~CStandInDataSource();
  CStandInDataSource(const CStandInDataSource&) = delete;
  CStandInDataSource& operator=(const CStandInDataSource&) = delete;

  std::wstring m_sLogical;
  std::wstring m_sDBTable;
  // By lower-case name (not owned); AddItem and Declare fill it.
  std::map<std::wstring, CStandInItemDescription*> m_mapItems;
  // In order (not owned unless declared).
  std::vector<CStandInItemDescription*> m_tabItems;
  CStandInItemDescription* m_pclBest = nullptr;  // slot 22's answer
  int m_nExternal = 0;

  // Appends `item` (not owned, held by one source only): its physical
  // index becomes its place, its value follows the earlier items' values.
  void AddItem(CStandInItemDescription* item);
  // Appends the rows as items owned by the description; composite keys get
  // their components by exact name among all the items. False (nothing
  // added) when a component names no row.
  bool Declare(const std::vector<stStandInItemRow>& rows);
  // The declared item named exactly `name`; null when none.
  CStandInItemDescription* pclGetItemNoRef(const wchar_t* name) const;

  std::uint32_t nGetVersion() override { return 6; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 1; }
  std::uint32_t nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override;
  std::uint32_t nExternalRelease() override;
  const wchar_t* pszGetLogicalName() override { return m_sLogical.c_str(); }
  const wchar_t* pszGetPhysicalName() override { return m_sDBTable.c_str(); }
  const wchar_t* pszGetDefaultDirectory() override { return L""; }
  std::uint32_t nGetDiskRecordSize() override;
  std::uint32_t nGetMemoryRecordSize() override;
  std::uint32_t nGetNumItems() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  std::uint32_t nGetNumKeys() override;
  std::uint32_t nGetNumMemos() override;
  std::uint32_t nGetNumItemPhysicallyInFic() override { return nGetNumItems(); }
  INAItemDescription* piNAGetItem(const wchar_t* pszName) override;
  INAItemDescription* piNAGetItem(std::uint32_t nIndex) override;
  INAItemDescription* piNAGetKey(std::uint32_t nIndex) override;
  INAItemDescription* piNAGetMemo(std::uint32_t nIndex) override;
  int eGetNASubDataType() override { return 1; }
  const wchar_t* pszGetDBTableName() override { return m_sDBTable.c_str(); }
  INAItemDescription* piGetBestParseItemDesc() override;
  const wchar_t* pszGetExtendedInfo() override { return L""; }
  const wchar_t* pszGetType() override { return L""; }
  const wchar_t* pszGetOwner() override { return L""; }
  const wchar_t* pszGetDefaultDatabase() override { return L""; }
  const wchar_t* pszGetExtension() override { return nullptr; }
  const wchar_t* pszGetCaption() override { return nullptr; }
  int bGetNullSupported() override { return 1; }
  void EmptySlot137() override {}
  void EmptySlot138() override {}
  void EmptySlot139() override {}
  void EmptySlot140() override {}
  void EmptySlot141() override {}
  void EmptySlot142() override {}
  void EmptySlot143() override {}
  void EmptySlot144() override {}
  void EmptySlot145() override {}
  void EmptySlot146() override {}

 private:
  std::vector<CStandInItemDescription*> m_tabDeclared;  // owned
};

// The query's bind values: slots 5 and 6 counted in the ledger, slot 8 and
// the value and direction by name (slots 9, 10) set by the test.
class CStandInQueryParameters final : public INAQueryParametersValue {
 public:
  CStandInQueryParameters() = default;
  ~CStandInQueryParameters() = default;

  int m_bPrepared = 0;
  int m_nExternal = 0;
  // Sets the value (a copy) and direction of `name` (case ignored).
  void Set(const wchar_t* name, const CAny& value, int direction = 1);

  std::uint32_t nGetVersion() override { return 1; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 1; }
  std::uint32_t nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override;
  std::uint32_t nExternalRelease() override;
  void Reserved7() override {}
  int bPreparedByProgram() override { return m_bPrepared; }
  int bGetParameterValue(const wchar_t* name, CAny* out) override;
  int nGetParameterDirection(const wchar_t* name) override;

 private:
  struct stEntry {
    CAny clValue;
    int nDirection = 1;
  };
  std::map<std::wstring, stEntry> m_mapValues;
};

// ---- Trees ----

// The expression node's reserved slots, one list for the declarations
// here and the definitions in the source file.
#define KX_STANDIN_EXPOP_RESERVED_SLOTS(X) \
  X(0) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11) X(12) X(13) X(14) \
  X(15) X(16) X(17) X(18) X(19) X(20) X(21) X(22) X(23) X(24) X(25) \
  X(26) X(27) X(28) X(29) X(30) X(31) X(32) X(33) X(35) X(36)

// One node of a parsed expression. Its operands are owned by the node; the
// tree by its creator. Handing a node out (as a tree or an operand) counts
// one outstanding reference; slot 1 gives it back.
class CStandInExpression final : public IExpOpExpression {
 public:
  CStandInExpression() = default;
  ~CStandInExpression();
  CStandInExpression(const CStandInExpression&) = delete;
  CStandInExpression& operator=(const CStandInExpression&) = delete;

  int m_nOperateur = 0;
  int m_nTypeCode = 0;
  stSQLPOSITION m_stPosition1{0, 0};
  stSQLPOSITION m_stPosition2{0, 0};
  CAny m_clLiteral;
  bool m_bLiteral = false;
  std::wstring m_sNomTable;
  std::wstring m_sNomRubrique;
  int m_bJointureExterne = 0;
  wchar_t m_cEscape = 0;
  std::vector<CStandInExpression*> m_tabOperandes;  // owned

  // Hands n out under kind k (Tree or Operand).
  static IExpOpExpression* s_piHandOut(CStandInExpression* n, eParserCount k);

  void Release() override;
  int eGetOperateur() override { return m_nOperateur; }
  int nGetTypeCode() override { return m_nTypeCode; }
  IExpOpExpression* piGetOperande(int* cursor) override;
  stSQLPOSITION stGetPosition1() override { return m_stPosition1; }
  stSQLPOSITION stGetPosition2() override { return m_stPosition2; }
  int bGetLiteral(CAny* out) override;
  const wchar_t* pszGetNomTable() override { return m_sNomTable.c_str(); }
  const wchar_t* pszGetNomRubrique() override { return m_sNomRubrique.c_str(); }
  int bJointureExterne() override { return m_bJointureExterne; }
  wchar_t wGetEscape() override { return m_cEscape; }

#define KX_STANDIN_EXPOP_RESERVED(n) void _Reserved##n() override;
  KX_STANDIN_EXPOP_RESERVED_SLOTS(KX_STANDIN_EXPOP_RESERVED)
#undef KX_STANDIN_EXPOP_RESERVED

 private:
  int m_nTree = 0;
  int m_nOperand = 0;
};

// ---- Clause items ----

class CStandInInfoFrom final : public IInfoFrom {
  std::uint32_t m_nCount = 1;  // must stay first: the count sits at byte 8

 public:
  CStandInInfoFrom();
  ~CStandInInfoFrom();
  std::uint32_t nGetCount() const { return __atomic_load_n(&m_nCount, __ATOMIC_SEQ_CST); }

  std::wstring m_sNomTable;
  std::wstring m_sAlias;  // the name itself when the query gives none
  stSQLPOSITION m_stPosition, m_stNomPosition, m_stAliasPosition;
  CStandInDataSource* m_pclSource = nullptr;  // slot 23's answer (not owned)

  void _Reserved0() override;
  void _Reserved1() override;
  std::uint32_t nRelease() override;
  const wchar_t* pszGetNomTable() override { return m_sNomTable.c_str(); }
  const wchar_t* pszGetAlias() override { return m_sAlias.c_str(); }
  stSQLPOSITION stGetPosition() override { return m_stPosition; }
  stSQLPOSITION stGetNomPosition() override { return m_stNomPosition; }
  stSQLPOSITION stGetAliasPosition() override { return m_stAliasPosition; }
};

class CStandInInfoOrderBy final : public IInfoOrderBy {
  std::uint32_t m_nCount = 1;  // must stay first: the count sits at byte 8

 public:
  CStandInInfoOrderBy();
  ~CStandInInfoOrderBy();
  std::uint32_t nGetCount() const { return __atomic_load_n(&m_nCount, __ATOMIC_SEQ_CST); }

  int m_nIndice = 0;
  stSQLPOSITION m_stPosition;
  int m_nDirection = 0;
  int m_nLien = 1;
  std::wstring m_sTexte;

  void _Reserved0() override;
  void _Reserved1() override;
  void _Reserved3() override;
  std::uint32_t nRelease() override;
  int nGetIndiceRubrique() override { return m_nIndice; }
  stSQLPOSITION stGetPosition() override { return m_stPosition; }
  int nGetDirection() override { return m_nDirection; }
  int nGetLien() override { return m_nLien; }
  const wchar_t* pszGetTexte() override { return m_sTexte.c_str(); }
};

class CStandInInfoGroupe final : public IInfoGroupe {
 public:
  std::wstring m_sAlias, m_sNomTable, m_sNomRubrique, m_sNomFichier, m_sNomRubriqueAlias;
  int m_bAvecTable = 0;
  stSQLPOSITION m_stPosition;

  const wchar_t* pszGetAlias() override { return m_sAlias.c_str(); }
  int bIsAvecTable() override { return m_bAvecTable; }
  const wchar_t* pszGetNomTable() override { return m_sNomTable.c_str(); }
  const wchar_t* pszGetNomRubrique() override { return m_sNomRubrique.c_str(); }
  stSQLPOSITION stGetPosition() override { return m_stPosition; }
  const wchar_t* pszGetNomFichier() override { return m_sNomFichier.c_str(); }
  const wchar_t* pszGetNomRubriqueAlias() override { return m_sNomRubriqueAlias.c_str(); }
};

class CStandInAffectation final : public IInfoAffectation {
 public:
  CStandInExpression* m_pclColonne = nullptr;  // owned by the parser stand-in
  CStandInExpression* m_pclValeur = nullptr;   // owned by the parser stand-in
  stSQLPOSITION m_stPosition;

  IExpOpExpression* piGetColonne() override;
  IExpOpExpression* piGetValeur() override;
  stSQLPOSITION stGetPosition() override { return m_stPosition; }
};

class CStandInInsertion final : public IInfoInsertion {
 public:
  std::wstring m_sNomTable, m_sNomRubrique;
  stSQLPOSITION m_stColonnePosition, m_stValeurPosition;
  CStandInExpression* m_pclValeur = nullptr;  // owned by the parser stand-in

  const wchar_t* pszGetNomTable() override { return m_sNomTable.c_str(); }
  const wchar_t* pszGetNomRubrique() override { return m_sNomRubrique.c_str(); }
  stSQLPOSITION stGetColonnePosition() override { return m_stColonnePosition; }
  IExpOpExpression* piGetValeur() override;
  stSQLPOSITION stGetValeurPosition() override { return m_stValeurPosition; }
};

class CStandInInfoRubrique;
class CStandInSQLParser;

// The SELECT part: the parser's lists, enumerated with a cursor each.
class CStandInSelect final : public IInfoSelect {
 public:
  explicit CStandInSelect(CStandInSQLParser* owner) : m_pclOwner(owner) {}
  IInfoRubrique* piEnumRubriqueOUT(int first) override;
  int nGetGroupeNbr() override;
  IInfoFrom* piEnumFichierFrom(int first) override;
  IInfoOrderBy* piEnumOrderBy(int first) override;
  IInfoGroupe* piEnumGroupe(int first) override;
  IInfoAffectation* piEnumAffectation(int first) override;
  IInfoInsertion* piEnumInsertion(int first) override;
  void _Reserved1() override;
  void _Reserved2() override;
  void _Reserved3() override;
  void _Reserved5() override;
  void _Reserved9() override;
  void _Reserved10() override;
  void _Reserved11() override;
  void _Reserved12() override;
  void _Reserved13() override;
  void _Reserved14() override;
  void _Reserved15() override;
  void _Reserved16() override;

 private:
  CStandInSQLParser* m_pclOwner;
  std::size_t m_anCursor[6] = {0, 0, 0, 0, 0, 0};
};

// The analysis of one query. Owns every object it lists; the library's
// references are counted apart (see the ledger).
class CStandInSQLParser final : public ISQLParserInformation {
  std::uint32_t m_nCount = 1;  // must stay first: the count sits at byte 8

 public:
  CStandInSQLParser();
  ~CStandInSQLParser();
  CStandInSQLParser(const CStandInSQLParser&) = delete;
  CStandInSQLParser& operator=(const CStandInSQLParser&) = delete;
  std::uint32_t nGetCount() const { return __atomic_load_n(&m_nCount, __ATOMIC_SEQ_CST); }

  std::wstring m_sText;
  int m_nQueryKind = 1;
  bool m_bHasSelect = true;  // false: a condition-only parse (slot 12 null)
  std::vector<CStandInInfoRubrique*> m_tabRubriques;  // one creator reference each
  std::vector<CStandInInfoFrom*> m_tabFroms;
  std::vector<CStandInInfoOrderBy*> m_tabOrderBy;
  std::vector<CStandInInfoGroupe*> m_tabGroupes;
  std::vector<CStandInAffectation*> m_tabAffectations;
  std::vector<CStandInInsertion*> m_tabInsertions;
  struct stJoin {
    CStandInExpression* pclTree = nullptr;
    stSQLPOSITION stRange;
  };
  std::vector<stJoin> m_tabJoins;
  CStandInExpression* m_pclWhere = nullptr;
  CStandInExpression* m_pclHaving = nullptr;
  stSQLPOSITION m_stWhere, m_stGroupBy, m_stHaving, m_stOrderBy;
  std::int64_t m_anEnd[4] = {-1, -1, -1, -1};  // FROM, WHERE, GROUP/HAVING, ORDER BY
  struct stEntry {
    stSQLCLAUSEENTRY st;
    std::wstring sTable, sItem, sName;
    CAny clValue;
  };
  std::vector<stEntry> m_tabEntries;
  std::vector<CAny> m_tabConditionOperands;
  // Every object the builder made and this parser owns.
  std::vector<CStandInExpression*> m_tabOwnedTrees;
  std::vector<CStandInDataSource*> m_tabOwnedSources;
  std::vector<CStandInItemDescription*> m_tabOwnedItems;

  // Slot 21: the description of an output item (not owned by the map).
  std::map<const IInfoRubrique*, CStandInItemDescription*> m_mapItemDescriptions;
  // Slot 24: descriptions by table name as the query writes it.
  std::map<std::wstring, CStandInDataSource*> m_mapSources;
  // Slot 33: physical names by logical name (exact).
  std::map<std::wstring, std::wstring> m_mapPhysicalNames;
  // Slot 33 ignores the capacity and writes the whole name (as an older
  // runtime did); answers 0 then.
  bool m_bPhysicalIgnoresCapacity = false;
  // Failing runtime: slots 21 and 33 throw.
  bool m_bThrowItemDescription = false;
  bool m_bThrowPhysicalName = false;
  // Calls seen of slot 33 (with the capacity asked each time).
  std::vector<std::size_t> m_tabPhysicalCalls;
  // Slot 34's script and the calls seen (kind and version of the last).
  int m_nCompatibilityAnswer = -1;
  std::uint32_t m_nRuntimeVersion = 32;
  int m_nCompatibilityCalls = 0;
  int m_nCompatibilityKind = 0;
  int m_nCompatibilityVersion = 0;

  CStandInSelect m_clSelect{this};

  // Hands out a data source with one external reference (null stays null).
  static INADataSourceDescription* s_piHandOut(CStandInDataSource* p);

  void _Reserved0() override;
  void _Reserved1() override;
  std::uint32_t nRelease() override;
  void _Reserved3() override;
  void _Reserved4() override;
  void _Reserved5() override;
  void _Reserved6() override;
  const wchar_t* pszGetSQLText() override { return m_sText.c_str(); }
  void _Reserved8() override;
  void _Reserved9() override;
  void _Reserved10() override;
  void _Reserved11() override;
  IInfoSelect* piGetSelect() override { return m_bHasSelect ? &m_clSelect : nullptr; }
  void _Reserved13() override;
  void _Reserved14() override;
  void _Reserved15() override;
  void _Reserved16() override;
  IExpOpExpression* piGetWhere() override;
  void _Reserved18() override;
  void _Reserved19() override;
  void _Reserved20() override;
  INAItemDescription* piGetItemDescription(IInfoRubrique* item) override;
  void _Reserved22() override;
  INADataSourceDescription* piGetDataSourceDescription(IInfoFrom* table) override;
  INADataSourceDescription* piGetDataSourceDescription(const wchar_t* table) override;
  void _Reserved25() override;
  int nGetQueryKind() override { return m_nQueryKind; }
  IExpOpExpression* piGetHaving() override;
  void _Reserved28() override;
  void _Reserved29() override;
  void _Reserved30() override;
  void _Reserved31() override;
  void _Reserved32() override;
  std::size_t nGetPhysicalName(const wchar_t* logical, wchar_t* buffer, std::size_t capacity) override;
  // Slot 34: kind 76 with a version up to m_nRuntimeVersion is accepted,
  // unless m_nCompatibilityAnswer (not -1) is the answer; the runtime's
  // version is written either way. Calls and their arguments are recorded.
  int bCheckCompatibility(int kind, int version, std::uint32_t* runtimeVersion) override;
  stSQLPOSITION stGetWhereRange() override { return m_stWhere; }
  stSQLPOSITION stGetGroupByRange() override { return m_stGroupBy; }
  stSQLPOSITION stGetHavingRange() override { return m_stHaving; }
  stSQLPOSITION stGetOrderByRange() override { return m_stOrderBy; }
  IExpOpExpression* piGetJoin(int n, stSQLPOSITION* range) override;
  int nGetClauseEntryCount() override { return static_cast<int>(m_tabEntries.size()); }
  int bGetClauseEntry(int n, stSQLCLAUSEENTRY* entry) override;
  std::int64_t nGetEndOfFrom() override { return m_anEnd[0]; }
  std::int64_t nGetEndOfWhere() override { return m_anEnd[1]; }
  std::int64_t nGetEndOfGroup() override { return m_anEnd[2]; }
  std::int64_t nGetEndOfOrderBy() override { return m_anEnd[3]; }
  int nGetConditionOperandCount() override { return static_cast<int>(m_tabConditionOperands.size()); }
  const CAny* pclGetConditionOperand(int n) override;
};
