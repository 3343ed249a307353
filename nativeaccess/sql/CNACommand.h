// CNACommand: one SQL text on its way to the server.
//
// Statements, searches, filters and the data access append text pieces,
// parameters (values to be written into the text as literals) and defines
// (output bindings of selected columns). When the text is asked for, the
// command builds the formatted text: the raw text with every parameter
// replaced by the connection's SQL literal of its value, then rewritten for
// the server's dialect (row limit, LIKE escapes).
//
// Positions: the raw text is kept as wide text, and every position in it
// (parameter positions, Insert, Replace, Tronque, marks, the clause
// scanner) counts wide characters. The formatted text is kept in the
// connection's server code page: each literal's bytes are appended as the
// connection wrote them (binaries stay byte-exact), and pszGetFormatedSQLA
// is what the server gets.
//
// Build failures: when a literal cannot be written (or a file loaded, or a
// value read), the formatted text is emptied and every request answers
// null, with the cause in the error object; each later request builds
// again. Any change to what the build reads (raw text, parameters, row
// limit, parsed query) empties the formatted text and the dump, so a text
// once built is never stale.
//
// Ownership: a CInterf made with counts 0 by the driver's pclAllocCommand
// (or the free pclAllocCommand, which gives a command without a driver).
// It holds one reference on its error object, its connection, its parsed
// query, each parameter and each define; it owns its selected-NULL set.
//
// No lock of its own: commands are used under the driver's process-wide
// lock, on the caller's thread.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CRefArray.h"
#include "CTString.h"
#include "CTStringConcatAW.h"
#include "CXYString.h"
#include "CColumnNullValueExcluded.h"
#include "CNADefine.h"
#include "CNAParameter.h"
#include "CNASqlElt.h"
#include "CSQLParserInfo.h"
#include "ItemTypes.h"

class CAny;
class CNAColumn;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNADriver;
class CNAError;
class CNARecord;
class CNAVariant;
class IExpOpExpression;
class IInfoRubrique;
class INAItemDescription;
class INAQueryParametersValue;
class ISQLParserInformation;

// The platform's query kinds.
enum eTYPEREQUETE : std::int32_t {
  TYPEREQUETE_NONE = 0,
  TYPEREQUETE_SELECT = 1,
  TYPEREQUETE_SELECT2 = 2,
  TYPEREQUETE_UPDATE = 3,
  TYPEREQUETE_INSERT = 4,
  TYPEREQUETE_DELETE = 5,
  TYPEREQUETE_CREATE = 6,
  TYPEREQUETE_DROP = 7,
};

// Value classes whose parameters are written as literal text (bit set).
enum ePARAMTYPECONV : std::uint32_t {
  PARAMTYPECONV_NONE = 0,
  PARAMTYPECONV_INTEGER = 1,
  PARAMTYPECONV_REAL = 2,
  PARAMTYPECONV_TEXT = 4,
  PARAMTYPECONV_DATE = 8,
  PARAMTYPECONV_BINARY = 16,
  PARAMTYPECONV_BOOLEAN = 32,
  PARAMTYPECONV_DECIMAL = 64,
  PARAMTYPECONV_ALL = 0xFFFFFFFFu,
};

// How bAdd takes the other command's parameters.
enum eADDMMODE : std::int32_t {
  ADDMODE_SHARE = 0,  // the same parameter objects (their positions move)
  ADDMODE_CLONE = 1,  // clones
};

// The parser's operator codes (the parser's own; only compared here).
using eOPEXPRESSION = std::int32_t;

class CNACommand : public CInterf {
 public:
  // The query types of the command.
  enum : std::int32_t {
    QUERY_NONE = 0,
    QUERY_SELECT = 1,
    QUERY_UPDATE = 2,
    QUERY_INSERT = 3,
    QUERY_DELETE = 4,
    QUERY_CREATE = 6,
    QUERY_OTHER = 8,
    QUERY_DROP = 9,
    QUERY_SET = 10,
  };

  // A place in the raw text to cut back to: the raw length and the number
  // of parameters at that moment.
  struct stMark {
    unsigned long nLength = 0;
    int nParameters = 0;
  };

  // References on both (either may be null); dialect flags 1 on a kind-5
  // connection; every text empty.
  CNACommand(CNAError* error, CNAConnectionDescription* cnx);
  ~CNACommand() override;

  // The driver whose factories make this command's parameters and
  // variants, and whose captions the dump uses (null: none).
  void SetDriver(CNADriver* driver) { m_pclDriver = driver; }
  CNADriver* pclGetDriver() const { return m_pclDriver; }
  CNAError* pclGetError() const { return m_pclError; }
  CNAConnectionDescription* pclGetCnx() const { return m_pclCnx; }

  // ---- Virtual operations, in slot order ------------------------------------
  virtual int bNeedToReplaceStar();  // true
  virtual int bIsEmpty();            // the raw text is empty
  virtual int nGetParameterNbr();
  // Releases the defines, empties raw and formatted texts, releases the
  // parameters unless keepParameters is non-zero, clears the row limit and
  // the NULL selection (every column's NULL rows selected until a new
  // condition hands its own over).
  virtual void ResetCommand(int keepParameters);
  // Appends the parser's query text with its bind values made parameters
  // (named, with their flags) and its item references formatted as WHERE
  // items. False without parser information or when a parameter cannot be
  // made.
  virtual int bComplete(ISQLParserInformation* parser);
  // Appends other's raw text, then its parameters moved by the length the
  // raw text had before (mode 1: clones; else the same objects, whose
  // positions move), then references to its defines. False (out of memory
  // in the error) when a clone cannot be made.
  virtual int bAdd(CNACommand* other, eADDMMODE mode);
  // A new parameter at the end of the raw text (see the source). False,
  // out of memory in the error, when the driver gives none.
  virtual int bAddParameter(CNAConvertVariant* value, eOPEXPRESSION op, unsigned int options, CNAColumn* column,
                            const wchar_t* name, wchar_t escape, CNAParameter::eNAPARAMETERINOUT direction);
  // Every column of the record, in order, that the server can give for the
  // command's selection mode, through bAddSelectColumn with that mode:
  // composite keys never (the client builds them), memos only with mode
  // bit 1 (define memos). Stops at the first failure; true for a record
  // without columns (or none).
  virtual int bAddSelectColumns(CNARecord* record, int mode);
  // "," when a define exists, the column's formatted select name, a define.
  virtual int bAddSelectColumn(CNAColumn* column, int mode);
  // Parser seam: writes nothing, answers false.
  virtual int _bFormatAndConvertItemInClause(CTString* out, CNASqlElt::eSQLELT clause, eNA_ITEMTYPE type,
                                             eOPEXPRESSION op, IExpOpExpression* expression,
                                             INAItemDescription* item, const wchar_t* table, const wchar_t* name);
  // Whether an item in a condition must be converted to text: 0 none, 2
  // text.
  virtual int eGetFormatExpressionColonne(CNASqlElt::eSQLELT clause, eNA_ITEMTYPE type, eOPEXPRESSION op,
                                          IExpOpExpression* expression);
  // Appends the parameter's literal to the formatted text; may move the
  // cursor (in the raw text) past text the literal replaces.
  virtual int _bAddParameterFormated(CNAParameter* parameter, ePARAMTYPECONV conversion, unsigned long* cursor);
  virtual int _bAddParameterFormated(CNAParameter* parameter, eNA_ITEMTYPE database, eNA_ITEMTYPE analysis,
                                     ePARAMTYPECONV conversion, unsigned long* cursor);
  virtual int _bAddParameterFormatedLike(CNAParameter* parameter, eNA_ITEMTYPE database, eNA_ITEMTYPE analysis,
                                         ePARAMTYPECONV conversion, unsigned long* cursor);
  virtual void vAddEscapeLike();  // nothing
  virtual int vbAddEscapedLikeValue(CNAParameter* parameter, CAny* value, eNA_ITEMTYPE database,
                                    eNA_ITEMTYPE analysis, unsigned long* cursor);
  // After a LIKE literal: the ESCAPE clause the dialect needs (see the
  // source). `literal` is the literal as written.
  virtual void vAddEscapeLikeIfNeeded(CNAParameter* parameter, const wchar_t* literal, unsigned long* cursor);
  virtual int _bBuildFormatedSQL(ePARAMTYPECONV conversion);
  // Names of parsed queries (CNACommandParsed.cpp): an item of a WHERE
  // (*out holds the item name and becomes "table.item" formatted, output
  // item aliases resolved, logical tables by their physical names); an
  // output item in the select list, GROUP BY or ORDER BY (its alias, or
  // its resolved table and name when `further` asks and the alias does
  // not stand at `position`).
  virtual int _FormatItemNameInWHEREClause(ISQLParserInformation* parser, INAItemDescription* item,
                                           const wchar_t* table, CTString* out, CNAParameter* parameter);
  virtual int _FormatRubriqueAlias(unsigned long position, const wchar_t* text, CSQLParserInfo* query,
                                   const IInfoRubrique* item, CTString* out, int further,
                                   CNASqlElt::eSQLELT clause);
  virtual int _vbFormatExpressionOperatorEntreOperande();  // true
  virtual int _vbSkipOperande();                           // false
  // Around each argument of a function: before (before 1) and after it
  // (before 0), with the function node and the argument's index. Nothing.
  virtual void _vConvertirFonction(CSQLParserInfo* query, IExpOpExpression* function, int argument, int before);
  // The text of a function before its argument `argument` (0: the text up
  // to the first argument; k: the separator between arguments k-1 and k; the argument
  // count: from the last argument to the closing bracket, often empty)
  // arrives in *out as written, a character-set introducer left out (it
  // stays with its argument); true when the dialect rewrote it, *out then
  // being the text to write instead.
  virtual int _FormatExpressionArgument(CSQLParserInfo* query, IExpOpExpression* expression, int argument,
                                        CTString* out);
  virtual int _FormatExpressionLiteral(CSQLParserInfo* query, IExpOpExpression* expression, CTString* out);
  virtual int _FormatExpressionItemName(CSQLParserInfo* query, IExpOpExpression* expression, CTString* out);
  virtual int _FormatExpressionOperator(CSQLParserInfo* query, IExpOpExpression* expression,
                                        IExpOpExpression* parent, CNASqlElt::eSQLELT clause, CTString* out);
  // "{" and "}" into the caller's buffer of `size` characters.
  virtual void _GetMotifVariableDebut(wchar_t* out, unsigned int size);
  virtual void _GetMotifVariableFin(wchar_t* out, unsigned int size);
  virtual int _FormatTableClauseFROM(CSQLParserInfo* query, const IInfoRubrique* table, CTString* out);
  virtual int _FormatTableAliasClauseFROM(CSQLParserInfo* query, const IInfoRubrique* table, CTString* out);
  // False when parameters are not allowed; false for clause kind 1 of a
  // parsed SELECT when dialect bit 1 is set; true otherwise.
  virtual int _bShouldAddParameter(CSQLParserInfo* query, IExpOpExpression* expression, IExpOpExpression* parent,
                                   CNASqlElt::eSQLELT clause, INAItemDescription* item);

  // ---- Raw text ---------------------------------------------------------------
  // Appends n characters (n < 0: up to the terminator; 0 appends nothing).
  // With the pass-through flag and a built text, the built text is
  // extended too; otherwise the built text is dropped. True.
  int bComplete(const wchar_t* text, long n = -1);
  int bCompleteWithNumber(int value);
  int bSetInternalQuery(const wchar_t* text, long n = -1);
  int bAddReturning(const wchar_t* text);
  // " " and the connection's no-lock hint when it has one. True.
  int bAddRecordLock();
  // Inserts at `at` (past the end: appends); parameters at or after `at`
  // move by the inserted length.
  void Insert(unsigned long at, const wchar_t* text);
  // The span [at, at + count) becomes text: parameters at or after the
  // span's end move by the difference, those strictly inside are released,
  // one at `at` stays. An empty span is an Insert.
  void Replace(unsigned long at, unsigned long count, const wchar_t* text);
  // Cuts the raw text at `length` and releases every parameter at or after
  // it (one exactly at the cut included).
  void Tronque(unsigned long length);
  // A mark of the raw text as it is now, and the mark of a raw position
  // found later (the parameters at or before it counted).
  stMark stGetMark() const;
  stMark stGetMarkAt(unsigned long position) const;
  // Cuts the raw text back to the mark and releases only the parameters
  // past the mark's count.
  void CutToMark(const stMark& mark);
  // Moves every parameter at or after `from` by `offset`.
  void _OffsetParameter(unsigned long from, unsigned long offset);
  void _CompleteFormatedSQL(const wchar_t* text, long n);

  const wchar_t* pszGetOriginalSQL() const { return m_clRaw.pszGetW(); }
  const char* pszGetOriginalSQLA() const { return m_clRaw.pszGetA(); }
  long nGetOriginalLength() const { return m_clRaw.nGetLengthW(); }

  // ---- Formatted text -----------------------------------------------------------
  // Built on first request; null when the build fails.
  const wchar_t* pszGetFormatedSQL(ePARAMTYPECONV conversion);
  const wchar_t* pszGetFormatedSQLW(ePARAMTYPECONV conversion) { return pszGetFormatedSQL(conversion); }
  const char* pszGetFormatedSQLA(ePARAMTYPECONV conversion);
  CTStringConcatAW* pclGetFormatedSQL(ePARAMTYPECONV conversion);
  void ResetFormatedSQL();

  // ---- Query type, parsed query, row limit ----------------------------------------
  void SetQueryType(eTYPEREQUETE type);
  std::int32_t nGetQueryType() const { return m_nQueryType; }
  static std::int32_t eConvertTypeQuery(eTYPEREQUETE type);
  // Takes a reference (null: none). With the pass-through flag a SET text
  // makes the type 10; else an unset type comes from the parsed query.
  void _SetSQLParserInfo(CSQLParserInfo* parser);
  CSQLParserInfo* pclGetSQLParserInfo() const { return m_pclParserInfo; }
  void SetPassThrough(int passThrough) { m_bPassThrough = passThrough ? 1 : 0; }
  int bGetPassThrough() const { return m_bPassThrough; }
  void SetParametersAllowed(int allowed) { m_bParametersAllowed = allowed ? 1 : 0; }
  std::uint32_t nGetDialectFlags() const { return m_nDialectFlags; }
  void SetDialectFlags(std::uint32_t flags) { m_nDialectFlags = flags; }
  // Row limit for the LIMIT rewriting (-1: none); changing it drops the
  // built text.
  void SetRecordLimit(std::int64_t limit);
  void SetLimitOffset(std::int64_t offset);
  std::int64_t llGetRecordLimit() const { return m_llRecordLimit; }
  std::int64_t llGetLimitOffset() const { return m_llLimitOffset; }
  // The platform's values for the named bind variables (not referenced;
  // the parsed query keeps them). Attaching a parsed query that holds bind
  // values sets them.
  void SetQueryParametersValue(INAQueryParametersValue* values) { m_piQueryParameters = values; }

  // ---- Parameters ---------------------------------------------------------------------
  int bAddParameter(CNAParameter* parameter);
  int bAddParameter(const CAny* value, eOPEXPRESSION op, unsigned int options, CNAColumn* column, wchar_t escape,
                    CNAParameter::eNAPARAMETERINOUT direction);
  int bAddParameterReturn(CNAConvertVariant* value);
  CNAParameter* pclGetParameterNoRef(unsigned int n) const { return m_tabParameters.pGetAt(static_cast<int>(n)); }
  CNAParameter* pclGetParameterByNameNoRef(const wchar_t* name) const;
  int nGetUserParamIndice(const CNAParameter* parameter) const;
  // Refreshes every named bind variable; never fails.
  int bUpdateParametersValues();
  int _bUpdateParameterValue(INAQueryParametersValue* values, CNAParameter* parameter);
  // The class bit of a value type code (0: none).
  static std::uint32_t TNType2eParamType(unsigned short type);
  // Whether the value is to be written as literal text under `conversion`
  // (an answer only: the build writes every literal).
  static int _bNeedParameterConversionToString(const CNAVariant* value, ePARAMTYPECONV conversion);
  static int _bNeedParameterConversionToString(const CNAParameter* parameter, ePARAMTYPECONV conversion);

  // ---- Defines and selected-NULL set -------------------------------------------------
  int bAddSelectAdditionnalColumn(const wchar_t* name, CNAConvertVariant* value);
  int bAddSelectAdditionnalColumn(const wchar_t* name, unsigned short type);
  int bAddSelectAdditionalColumnInQueryFormat(const wchar_t* name, CNAConvertVariant* value);
  const wchar_t* pszGetAdditionalColumns() const { return m_clAdditionalColumns.pszGetW(); }
  int AddDefine(CNAColumn* column);
  int AddDefine(const wchar_t* name, CNAConvertVariant* value);
  int nGetDefineNbr() const { return m_tabDefines.nGetNbElements(); }
  CNADefine* pclGetDefineNoRef(int n) const { return m_tabDefines.pGetAt(n); }
  int bColumnValuesNullSelected(const CNAColumn* column) const;
  int bCombineColumnValuesNullSelected(eNAOperator op, CColumnNullValueExcluded* set);
  // The command's NULL selection becomes a copy of `set` (null: none, every
  // column selected); what it held before is dropped. False when memory
  // runs out.
  int bCopyColumnValuesNullSelected(CColumnNullValueExcluded* set);

  // ---- Dialect rules -----------------------------------------------------------------
  static bool s_bSeparateur(wchar_t c);
  static bool s_bEspaceSQL(wchar_t c);
  // The keyword as a clause of the text, scanning backwards from `start`
  // (-1: the end); -1 when not found. Strings and quoted names are passed
  // over; position 0 is never reported.
  static long s_nGetClauseStart(CNAConnectionDescription* cnx, const wchar_t* text, const wchar_t* keyword,
                                long start);
  static int s_bQueryResultsetLimited(CNAConnectionDescription* cnx, const wchar_t* text);
  static int s_bRequeteTerminePar(const wchar_t* text, const wchar_t* word);
  static int s_bGetItemNameAndPos(CTString* name, unsigned long* start, unsigned long* stop, const wchar_t* text,
                                  unsigned long from);
  static int s_bSuiteRequeteCommencePar(const wchar_t* text, const wchar_t* word);
  static long s_nGetPosSuiteRequete(const wchar_t* text, const wchar_t* word);
  static int s_bSuiteRequeteCommenceParMot(const wchar_t* text, const wchar_t* word);
  static int s_bIsQuerySet(const wchar_t* text);
  // The function name the dialect of `kind` gives operator `op` (null: the
  // parsed name stays).
  static const wchar_t* s_pszRenameFunction(eOPEXPRESSION op, int kind);
  void _RemplaceLimitParTop();
  void _RemplaceTopParLimit();
  // Escapes a LIKE value for the native engine (see the source); false
  // (user error 12) when the output cannot grow.
  int bEscapeLIKEParamAsXQParam(CXYString<wchar_t>* out, const wchar_t* value, wchar_t escape);
  int bEscapeLIKEParamAsXQParam(CXYString<char>* out, const char* value, char escape);
  // The dump of the raw text and the parameters, cached until a change.
  const wchar_t* pszGetCommandDump();
  // For a parsed query without the pass-through flag: appends the query
  // text after the last clause the parser recognised that the rebuild has
  // not copied yet. True when something was appended.
  int bFormatEndOfQuery();

  // ---- Parsed queries (CNACommandParsed.cpp) -------------------------------------------
  // Rebuilds the parsed query into this command's raw text, clause by
  // clause: names formatted for the server, literals and bind values made
  // parameters, `filter`'s text (may be null or empty) combined into the
  // WHERE, the ORDER BY kept (orderBy non-zero) or left for bFormatORDERBY.
  // mode 1 or bit 2 of mode: pass-through (only the ORDER BY and the bind
  // values are handled). False at the first failing clause (the error
  // says why); the raw text then holds what was written and the caller
  // releases the command.
  int bFormatCondition(CSQLParserInfo* query, CNACommand* filter, int orderBy, int mode);
  // Writes one condition tree (node, under parent) of clause kind `clause`,
  // copying the query text from *cursor; for kind 3 with a non-empty
  // filter, combines the filter into the WHERE.
  int bAddTreeExpression(CSQLParserInfo* query, CSQLParserInfo* outer, const wchar_t* text, IExpOpExpression* parent,
                         IExpOpExpression* node, CNASqlElt::eSQLELT clause, unsigned long* cursor,
                         CNACommand* filter);
  // Writes the condition of a parsed filter query: a condition-only parse
  // whole (brackets included), a full query from its WHERE condition to
  // the WHERE range's end. Nothing after it (GROUP BY, ORDER BY, LIMIT).
  int bAddFilterExpression(CSQLParserInfo* query);
  // Writes one sub-tree and the query text up to its end.
  int bFormatSubExpression(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* parent,
                           IExpOpExpression* node, CNASqlElt::eSQLELT clause);
  // Writes the attached query's ORDER BY where the rebuild left it out
  // (ahead of the query's tail), each item formatted (format non-zero) and
  // its direction kept (keepDirection non-zero) or inverted. True also
  // when the query has no ORDER BY (nothing is written).
  int bFormatORDERBY(int format, int keepDirection);
  int _bFormatORDERBY(unsigned long* cursor, const wchar_t* text, int format, int keepDirection, int asParsed,
                      int* unique);
  // The calculated output item written as an expression into *out; with
  // `base` (non-null) its parameters are added to this command moved by
  // *base, without it its literals stay text. False (user error 32) when
  // the item is already being written.
  int bFormatExpressionColonneCalculee(CSQLParserInfo* query, const IInfoRubrique* item, CTString* out,
                                       CNASqlElt::eSQLELT clause, const unsigned long* base);
  // The adaptation of a literal to the item it is compared with (see the
  // source): date completion, time text, cast to the database type.
  void FormatExpressionLiteral(CNASqlElt::eSQLELT clause, eOPEXPRESSION op, IExpOpExpression* node,
                               INAItemDescription* item, eNA_ITEMTYPE type, CAny* value);
  // The item type a literal operand gets from its parent's operator.
  eNA_ITEMTYPE _eTypeParameter(CNASqlElt::eSQLELT clause, IExpOpExpression* node, int operand, eNA_ITEMTYPE type,
                               INAItemDescription** item);
  // Whether a function's result still has the item's type.
  static int _TypeRetour(eOPEXPRESSION op, eNA_ITEMTYPE type);
  // The node's range in the query text ({-1,-1}: unknown).
  static stSQLPOSITION _stGetPositionExpression(IExpOpExpression* node);
  // Walks the tree from *cursor writing only its item nodes (names
  // resolved and formatted as in a condition); everything else is copied
  // as the query text has it. The cursor ends after the last item.
  int _bExpressionColonneToSQL(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* node,
                               CNASqlElt::eSQLELT clause, unsigned long* cursor);
  // The record whose columns the literals of a parsed query bind to (the
  // statement's; not owned, null: none).
  void SetRecord(CNARecord* record) { m_pclRecord = record; }

 private:
  int _bFormatedReady(ePARAMTYPECONV conversion);
  // Drops the built text and the dump (the build reads what changed).
  void _Invalidate();
  void _AppendFormatedSlice(unsigned long from, unsigned long to);
  void _AppendLiteral(const CTStringConcatAW& literal);
  void _ReleaseParametersFrom(int index);
  void _SetNoMemory();
  int _bWriteLiteral(CTStringConcatAW* out, const CAny* value, eNA_ITEMTYPE analysis, eNA_ITEMTYPE database);
  unsigned _nTextCodePage() const;
  unsigned _nApplicationCodePage() const;
  int _nKind() const;

  CNAError* m_pclError = nullptr;
  CNAConnectionDescription* m_pclCnx = nullptr;
  std::int32_t m_bPassThrough = 0;
  std::int32_t m_nQueryType = QUERY_NONE;
  CSQLParserInfo* m_pclParserInfo = nullptr;
  CTStringConcatAW m_clRaw;
  CRefArray<CNAParameter> m_tabParameters;
  std::int32_t m_bParametersAllowed = 1;
  std::uint32_t m_nDialectFlags = 0;
  CTStringConcatAW m_clAdditionalColumns;
  std::int32_t m_nSelectionMode = 3;
  CRefArray<CNADefine> m_tabDefines;
  std::int64_t m_llRecordLimit = -1;
  std::int64_t m_llLimitOffset = -1;
  CTStringConcatAW m_clFormated;
  CTStringConcatAW m_clDump;
  void* m_pCurrentCalculatedItem = nullptr;
  CColumnNullValueExcluded* m_pclNullSelected = nullptr;
  // Not in the text's layout: the driver, the reused literal buffer, the
  // platform's bind values, whether the dump is built.
  CNADriver* m_pclDriver = nullptr;
  CTStringConcatAW m_clLiteral;
  INAQueryParametersValue* m_piQueryParameters = nullptr;
  bool m_bDumpBuilt = false;
  // The parsed-query rebuild: how far the query text was copied, and the
  // raw position where an ORDER BY left out belongs (-1: none).
  long m_nQueryCursor = -1;
  long m_nOrderByAt = -1;
  CNARecord* m_pclRecord = nullptr;

  // The rebuild's steps (CNACommandParsed.cpp).
  int _bCopyQueryText(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor, long upto);
  int _bAddBindValue(const stSQLCLAUSEENTRY& entry);
  int _bExpressionToSQL(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* parent,
                        IExpOpExpression* node, CNASqlElt::eSQLELT clause, unsigned long* cursor,
                        INAItemDescription* item, eNA_ITEMTYPE type);
  int _bDoExpressionLiteral(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* parent,
                            IExpOpExpression* node, CNASqlElt::eSQLELT clause, unsigned long* cursor,
                            INAItemDescription* item, eNA_ITEMTYPE type);
  int _bDoExpressionColonne(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* node,
                            CNASqlElt::eSQLELT clause, unsigned long* cursor);
  int _bExpressionDateEmpty(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* node,
                            CNASqlElt::eSQLELT clause, unsigned long* cursor, int* done);
  int _bFormatExpressionItemName(CSQLParserInfo* query, const wchar_t* table, const wchar_t* name,
                                 CNASqlElt::eSQLELT clause, CTString* out, const unsigned long* base,
                                 bool itemAlone = false);
  int _bDoExpressionArgument(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* function, int argument,
                             long upto, unsigned long* cursor);
  INAItemDescription* _pclGetItemDesc(CSQLParserInfo* query, const wchar_t* table, const wchar_t* name);
  // The pair an item reference stands for (a plain output item named by
  // its alias lends its table and item; any other pair stays), its
  // description (one external reference for the caller; null: none), and
  // the pair formatted (table resolved as in a condition, ".", item).
  void _GetOriginalTableNameAndItemName(CSQLParserInfo* query, const wchar_t* table, const wchar_t* name,
                                        CTString* outTable, CTString* outName);
  INAItemDescription* _pclGetOriginalItemDesc(CSQLParserInfo* query, const wchar_t* table, const wchar_t* name);
  void _GetFormatedOriginalTableNameAndItemName(CSQLParserInfo* query, const wchar_t* table, const wchar_t* name,
                                                CTString* out);
  eNA_ITEMTYPE _eGetNodeItemType(CSQLParserInfo* query, IExpOpExpression* node, INAItemDescription** item);
  int _bFormatSELECTList(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor, long stop);
  int _bFormatINSERTUPDATEList(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor, long stop);
  int _bFormatGROUPBY(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor);
  int _bAddFromClause(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor, long start, long stop);
  int _bAddJoinClause(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor, long start, long stop);
  // The connection-formatted table name, "." and the formatted item name
  // into *out; the item alone without a table.
  void _FormatTableAndItemName(const wchar_t* table, const wchar_t* item, CTString* out);
  void _WriteTableAndItem(const wchar_t* table, const wchar_t* item);
};
KX_CINTERF_REF_TRAITS(CNACommand)

// A command without a driver (counts 0); null when it cannot be made.
CNACommand* pclAllocCommand(CNAError* error, CNAConnectionDescription* cnx);
