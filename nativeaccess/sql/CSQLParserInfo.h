// CSQLParserInfo: what the library keeps of one query analysed by the SQL
// runtime's parser (ISQLParserInformation), and the answers the command
// builder, the statements and the data access ask of it again and again.
//
// Set copies the lists the library walks (FROM tables, output items, GROUP
// BY copies, ORDER BY items, UPDATE and INSERT items), takes the WHERE and
// HAVING trees and classifies the output items once: whether one is a
// grouping function or cannot be modified, and which ones identify a row
// (identifier, unique, key item) and best order a browse.
//
// Ownership: a CInterf. One reference on the error object, the parser
// information (byte-8 count), each FROM table, output item and ORDER BY
// item, the bind values (external reference) and the record layout; each
// GROUP BY copy; the two trees are owned (given back through their slot
// 1). The SELECT part and the UPDATE and INSERT items are borrowed from the
// parser information and valid while it is held; the five classified items
// are borrowed from the output list.
//
// A wrapper made with the default constructor holds no analysis: tests and
// callers that build a query by hand fill its ORDER BY output items and
// its kind directly (AddRubriqueClauseOrder, SetQueryKind).
//
// Failures: throws from the parser's item-description, physical-name,
// output-item and alias operations are caught and answer null (or empty);
// no operation reports an error.
//
// No lock of its own: used under the driver's process-wide lock.
#pragma once

#include <cstdint>
#include <vector>

#include "CInterf.h"
#include "CTString.h"
#include "ISQLParserInformation.h"

class CInfoGroupe;
class CNAColumn;
class CNAConnectionDescription;
class CNAError;
class CNARecord;
class IExpOpExpression;
class IInfoAffectation;
class IInfoFrom;
class IInfoGroupe;
class IInfoInsertion;
class IInfoOrderBy;
class IInfoRubrique;
class IInfoSelect;
class INADataSourceDescription;
class INAItemDescription;
class INAQueryParametersValue;

// The parser's operator codes (compared only).
using eOPEXPRESSION = std::int32_t;

class CSQLParserInfo : public CInterf {
 public:
  // An empty wrapper (no error object, no analysis).
  CSQLParserInfo() = default;
  // One reference on `error`; then Set(parser, parameters, conditionMode).
  CSQLParserInfo(CNAError* error, ISQLParserInformation* parser, INAQueryParametersValue* parameters,
                 int conditionMode);
  // Set(null, null, 0), SetRecord(null), the error object given back.
  ~CSQLParserInfo() override;

  // Empties the wrapper (every reference given back, the borrowed items
  // and the row-limit answer cleared) and, with a parser, analyses its
  // query. conditionMode non-zero: a condition-only analysis (no GROUP BY,
  // ORDER BY or HAVING). The bind values are held (external reference).
  void Set(ISQLParserInformation* parser, INAQueryParametersValue* parameters, int conditionMode);
  // The layout that receives the query's rows: one reference on the new
  // one, the held one given back.
  void SetRecord(CNARecord* record);
  CNARecord* pclGetRecordNoRef() const { return m_pclRecord; }

  // ---- Lists -------------------------------------------------------------
  // Enumerations: a non-zero `first` restarts at the first element; each
  // call answers the element at the cursor and advances; null past the end
  // or before any restart. No reference for the caller.
  IInfoFrom* piEnumFichierFrom(int first);
  IInfoRubrique* piEnumRubriqueOUT(int first);
  IInfoGroupe* piEnumRubriqueClauseGroupe(int first);
  IInfoOrderBy* piEnumOrderByItem(int first);
  IInfoAffectation* piEnumRubriqueUpdate(int first);
  IInfoInsertion* piEnumRubriqueInsert(int first);
  // The output items the ORDER BY items sort by, in clause order (those
  // naming an output index outside the list are passed over); as the
  // enumerations above. The record layer orders a browse by them.
  IInfoRubrique* piEnumRubriqueClauseOrder(int first);
  // Appends an output item to that list (a wrapper filled by hand).
  void AddRubriqueClauseOrder(IInfoRubrique* item) { m_tabOrderRubriques.push_back(item); }

  int nGetFichierFromNbr() const { return static_cast<int>(m_tabFrom.size()); }
  int nGetRubriqueOUTNbr() const { return static_cast<int>(m_tabOut.size()); }
  int nGetOrderByNbr() const { return static_cast<int>(m_tabOrderBy.size()); }
  // Output item n; FROM table n; null outside the list.
  IInfoRubrique* piGetRubriqueOUT(int n) const;
  IInfoFrom* piGetFichierFrom(int n) const;
  // The first output item named `name` (slot 4, options 3), or null.
  IInfoRubrique* piEnumRubriqueOUT(const wchar_t* name);

  // ---- The query ----------------------------------------------------------
  ISQLParserInformation* piGetParserNoRef() const { return m_piParser; }
  IInfoSelect* piGetSelectNoRef() const { return m_piSelect; }
  // The parsed query's kind (1 SELECT, 3 UPDATE, 4 INSERT ...; 0 without
  // an analysis unless set by hand).
  std::int32_t nGetQueryKind() const { return m_nQueryKind; }
  void SetQueryKind(std::int32_t kind) { m_nQueryKind = kind; }
  // The query's SQL text; null without parser information.
  const wchar_t* pszGetRequete() const;
  // The WHERE and HAVING trees (owned here; no reference for the caller).
  IExpOpExpression* piGetWhereNoRef() const { return m_piWhere; }
  IExpOpExpression* piGetHavingNoRef() const { return m_piHaving; }
  // Whether the analysis was made in condition mode.
  int bConditionMode() const { return m_bConditionMode; }

  // Name (slot 4) of the ORDER BY item / of the best parse item; null
  // without one.
  const wchar_t* pszGetOrderByItem();
  const wchar_t* pszGetBestParseItem();
  IInfoRubrique* piGetBestParseItemNoRef() const { return m_piBestParse; }
  IInfoRubrique* piGetIdentifierItemNoRef() const { return m_piIdentifier; }
  IInfoRubrique* piGetUniqueItemNoRef() const { return m_piUnique; }
  IInfoRubrique* piGetKeyItemNoRef() const { return m_piKey; }
  IInfoRubrique* piGetOrderByItemNoRef() const { return m_piOrderBy; }
  int bGetGroupingFunction() const { return m_bGroupingFunction; }
  int bGetNotModifiable() const { return m_bNotModifiable; }

  // The bind values with one more (external) reference for the caller, or
  // null; whether the program prepared the query itself (their slot 8).
  INAQueryParametersValue* piGetUserBindVariable();
  INAQueryParametersValue* piGetUserBindVariableNoRef() const { return m_piParameters; }
  int bHPrepareRequeteCalled();

  // ---- Descriptions and names -----------------------------------------------
  // The parser's description of a table named as the query writes it (slot
  // 24), one external reference for the caller; null when none.
  INADataSourceDescription* piGetNADataSourceDescription(const wchar_t* table);
  // The item description of a plain output item (slot 21), one external
  // reference for the caller; null for a calculated item, when there is
  // none or when the parser throws.
  INAItemDescription* piGetItemDescription(const IInfoRubrique* item);
  // The physical (database) name of a logical table name, as an owned
  // copy: empty for a null or empty name (the parser is not asked), when
  // the parser knows none or throws. The parser's slot 33 is asked with
  // room for 260 characters, and once more with the room it asks for.
  static CTString s_csGetPhysicalName(const wchar_t* name, ISQLParserInformation* parser);
  CTString csGetPhysicalName(const wchar_t* name, ISQLParserInformation* parser) const {
    return s_csGetPhysicalName(name, parser);
  }
  CTString csGetPhysicalName(const wchar_t* name) const { return s_csGetPhysicalName(name, m_piParser); }
  // An output item's table: the physical name of its logical table name
  // (slot 22), else that logical name; empty when it has none.
  CTString csGetPhysicalName(IInfoRubrique* item) const;

  // The first output item of `parser` that `name` names (see the source);
  // null when none, or when the parser throws before one is found.
  static IInfoRubrique* g_piGetInfoRubriqueFromAlias(ISQLParserInformation* parser, const wchar_t* table,
                                                     const wchar_t* name);
  IInfoRubrique* piGetInfoRubriqueFromAlias(const wchar_t* table, const wchar_t* name) const {
    return g_piGetInfoRubriqueFromAlias(m_piParser, table, name);
  }
  // Whether `name` is a real alias of a FROM table (one that differs from
  // the table's name). When it is not and `description` is given,
  // *description = the table's data source description (slot 23 for the
  // FROM table of that alias, else slot 24 by `name`), one external
  // reference for the caller, or null. The FROM cursor is left alone.
  int bIsTableAlias(const wchar_t* name, INADataSourceDescription** description);

  // The first GROUP BY copy whose item alias is the column's name.
  IInfoGroupe* piGetRubriqueClauseGroupe(const CNAColumn* column);
  // The first ORDER BY item that sorts by the column (see the source).
  IInfoOrderBy* piGetRubriqueClauseOrder(const CNAColumn* column);
  // Whether the column's output item reads a memo (a memo column, or a
  // calculated item whose tree reaches a memo item).
  int bRubriqueSourceIsMemo(const CNAColumn* column);
  int bRubriqueUnique(const IInfoRubrique* item);
  int bRubriqueUniqueNotNull(const IInfoRubrique* item);
  static int bQueryContainIdAuto(ISQLParserInformation* parser);
  int bQueryContainIdAuto() { return bQueryContainIdAuto(m_piParser); }
  // Whether the platform may modify and delete the query's rows: false for
  // grouping functions, GROUP BY, items that cannot be modified, and
  // DISTINCT (or DISTINCTROW) as a word of the text in any case.
  int bHOperationAllowed();
  // Whether the text limits its own rows (LIMIT or TOP); asked once.
  int bQueryResultsetLimited(CNAConnectionDescription* cnx);
  // The server's table name of FROM table n (its description's slot 21);
  // empty outside 0 to count - 1 or without a description.
  CTString csGetFichierFrom_DBTableName(int n);
  // The source query of the record layout (no reference); null without.
  CSQLParserInfo* pclGetQueryParserInfoNoRef() const;

  static int s_bIsGroupmentColumn(eOPEXPRESSION op);
  static int s_bIsFunction(eOPEXPRESSION op);
  // Whether `text` holds `word` as a word (between characters that are not
  // letters, digits, "_" or "$", or the text's ends), in any case.
  static int s_bContainsWord(const wchar_t* text, const wchar_t* word);

 private:
  void _Classify(IInfoRubrique* item);
  int _bTreeReachesMemo(IExpOpExpression* node);

  CNAError* m_pclError = nullptr;
  ISQLParserInformation* m_piParser = nullptr;
  std::int32_t m_nQueryKind = 0;
  INAQueryParametersValue* m_piParameters = nullptr;
  IInfoRubrique* m_piBestParse = nullptr;
  IInfoRubrique* m_piIdentifier = nullptr;
  IInfoRubrique* m_piUnique = nullptr;
  IInfoRubrique* m_piKey = nullptr;
  IInfoRubrique* m_piOrderBy = nullptr;
  std::vector<IInfoFrom*> m_tabFrom;
  int m_nFromCursor = -1;
  std::vector<IInfoRubrique*> m_tabOut;
  int m_nOutCursor = -1;
  std::int32_t m_bNotModifiable = 0;
  std::int32_t m_bGroupingFunction = 0;
  std::vector<CInfoGroupe*> m_tabGroupe;
  int m_nGroupeCursor = -1;
  std::vector<IInfoOrderBy*> m_tabOrderBy;
  int m_nOrderByCursor = -1;
  std::vector<IInfoAffectation*> m_tabUpdate;
  int m_nUpdateCursor = -1;
  std::vector<IInfoInsertion*> m_tabInsert;
  int m_nInsertCursor = -1;
  IExpOpExpression* m_piWhere = nullptr;
  IExpOpExpression* m_piHaving = nullptr;
  CNARecord* m_pclRecord = nullptr;
  std::int32_t m_nRowLimitAnswer = -1;
  // Also kept: the SELECT part (borrowed), the output items of
  // the ORDER BY (borrowed) and their cursor, the analysis mode.
  IInfoSelect* m_piSelect = nullptr;
  std::vector<IInfoRubrique*> m_tabOrderRubriques;
  int m_nOrderRubriqueCursor = -1;
  std::int32_t m_bConditionMode = 0;
};
KX_CINTERF_REF_TRAITS(CSQLParserInfo)
