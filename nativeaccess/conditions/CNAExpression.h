// CNAExpression: one node of a condition tree, and the writer of the tree
// as the condition of a WHERE clause.
//
// Searches and filters build these trees: a leaf compares one column with
// one value, an inner node joins its operands with OR, AND or NOT, and an
// SQL-condition leaf carries a condition the platform's SQL parser
// analysed. bGetSQL writes a subtree into a command in the server's
// dialect: every compared value becomes a query parameter (registered in
// the command and in the search's list alike; only the empty 8-bit text and
// NULL are written as literal text), comparisons that hold for every row or
// for none are folded away, "IS NULL" alternatives are added where the
// platform's ordering puts NULL inside the requested range, and each node
// records, per column it touches, whether rows with a NULL value in that
// column can satisfy it.
//
// Folding changes a node's operator for good: a tree asked again writes the
// same text or a more folded one. A skipped subtree (folded away) leaves
// neither text nor parameters behind.
//
// Ownership: a CInterf made with counts 0 (the maker takes the first
// reference). A node holds one reference on its error object, operands,
// column, value (shared with the builder of the leaf, never copied) and
// parser information; it owns its NULL-selection set.
//
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>
#include <string>

#include "CColumnNullValueExcluded.h"
#include "CInterf.h"
#include "CNAExpressionParameters.h"
#include "CTString.h"
#include "ItemTypes.h"

class CAny;
class CNACommand;
class CNAColumn;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CNARecord;
class CSQLParserInfo;
class ISQLParserInformation;

// The operators of a condition node (OR and AND come with the NULL set).
constexpr eNAOperator NA_OPERATOR_NONE = static_cast<eNAOperator>(0);
constexpr eNAOperator NA_OPERATOR_NOT = static_cast<eNAOperator>(3);
constexpr eNAOperator NA_OPERATOR_EQ = static_cast<eNAOperator>(4);
constexpr eNAOperator NA_OPERATOR_GT = static_cast<eNAOperator>(5);
constexpr eNAOperator NA_OPERATOR_LT = static_cast<eNAOperator>(6);
constexpr eNAOperator NA_OPERATOR_GE = static_cast<eNAOperator>(7);
constexpr eNAOperator NA_OPERATOR_LE = static_cast<eNAOperator>(8);
constexpr eNAOperator NA_OPERATOR_SQL = static_cast<eNAOperator>(9);
constexpr eNAOperator NA_OPERATOR_FALSE = static_cast<eNAOperator>(10);
constexpr eNAOperator NA_OPERATOR_TRUE = static_cast<eNAOperator>(11);
constexpr eNAOperator NA_OPERATOR_NE = static_cast<eNAOperator>(12);
constexpr eNAOperator NA_OPERATOR_ISNULL = static_cast<eNAOperator>(13);
constexpr eNAOperator NA_OPERATOR_ISNOTNULL = static_cast<eNAOperator>(14);

// The search a tree writes for: its parameter list (and, for a real search,
// the rest of it).
using CNARechercheParameters = CNAExpressionParameters;

class CNAExpression : public CInterf {
 public:
  // Flag bits.
  static constexpr unsigned int knFlagGeneric = 0x1;     // the value is a prefix of the wanted values
  static constexpr unsigned int knFlagFilter = 0x4;      // condition of a filter (carried only)
  static constexpr unsigned int knFlagLowerBound = 0x40;  // lower bound of a filter interval
  static constexpr unsigned int knFlagUpperBound = 0x80;  // upper bound of a filter interval
  static constexpr unsigned int knFlagComposite = 0x100;  // node of a composite-key search

  // An empty node (operator 0) sharing `error` (a reference; may be null).
  explicit CNAExpression(CNAError* error);
  // Releases the operands, column, value, parser information and error
  // object and deletes the NULL-selection set.
  ~CNAExpression() override;

  // ---- Virtual operations, in slot order after CInterf's ------------------
  // A new empty node of this class sharing this node's error object
  // (counts 0); null when memory runs out. Every allocation goes through it.
  virtual CNAExpression* pclAllocExpression();
  // The text of a leaf (column and value, or the folded constants).
  virtual int _bGetSQLFromValue(CNACommand* command, CNARechercheParameters* search, int* pbSkip);

  // ---- Construction ----------------------------------------------------------
  // Each allocator makes a node through pclAllocExpression(), initialises it
  // and hands it over with counts 0; null only when the allocation failed
  // (or, for the SQL-condition leaf, when its parser information cannot be
  // made).
  // Inner node: operator, left operand, right operand (may be null; NOT
  // has none), flags; references on both operands.
  CNAExpression* pclAllocExpression(eNAOperator op, CNAExpression* left, CNAExpression* right, unsigned int flags);
  // Leaf: operator, column, value, flags; references on the column and the
  // value; the parser information is the column's source query.
  CNAExpression* pclAllocExpression(eNAOperator op, CNAColumn* column, CNAConvertVariant* value,
                                    unsigned int flags);
  // SQL-condition leaf (operator 9) over the parser's analysis of a
  // condition.
  CNAExpression* pclAllocExpression(ISQLParserInformation* parser, unsigned int flags);
  void InitExpression(eNAOperator op, CNAExpression* left, CNAExpression* right, unsigned int flags);
  void InitExpression(eNAOperator op, CNAColumn* column, CNAConvertVariant* value, unsigned int flags);
  // False when the parser information cannot be made (the node stays
  // empty).
  int InitExpression(ISQLParserInformation* parser, unsigned int flags);

  // A new inner node (op, this node, other) with this node's flags.
  CNAExpression* pclAddOperation(eNAOperator op, CNAExpression* other);
  // A copy of the tree: inner nodes rebuilt from clones of their operands,
  // leaves on the same column and the same value object, SQL-condition
  // leaves on the same parser information; operator and flags kept. Null
  // when memory runs out (nothing leaks).
  CNAExpression* pclClone();
  // Replaces whichever operand is `old` by `replacement` (its reference
  // taken before the old one is released); nothing when neither is.
  void Insert(CNAExpression* old, CNAExpression* replacement);

  // ---- Writing -----------------------------------------------------------------
  // Appends this subtree's condition to the command. `parent` is the
  // parent's operator (0 for the root). *pbSkip becomes 1 when the subtree
  // folded away: then it left no text and no parameter, in the command or
  // in the search. `search` may be null (the command's list only); `record`
  // binds SQL-condition leaves to the layout. Result: every leaf's result
  // ANDed (false: a parameter or a set could not be made; the error object
  // says why).
  int bGetSQL(CNACommand* command, eNAOperator parent, CNARechercheParameters* search, int* pbSkip,
              CNARecord* record);
  // Rewrites the equality leaves of the tree for continuing a browse with
  // `op` (5 after, 6 before): see the source. The result is the last node
  // visited or created. A generic equality is replaced in `parent` by a new
  // node; when it is the root (parent null) the result is that new node,
  // with counts 0, holding the old root: the caller makes it its root.
  CNAExpression* pclTransformEqualTo(CNARecord* record, CNAExpression* parent, eNAOperator op);

  // ---- Questions ---------------------------------------------------------------
  int bIsGenerique() const { return (m_nFlags & knFlagGeneric) != 0 ? 1 : 0; }
  // Whether rows with a NULL value in `column` can satisfy this node as last
  // written (see the source for a node not written yet).
  int bColumnValuesNullSelected(const CNAColumn* column);
  const CColumnNullValueExcluded* pclGetNullSelectedNoRef() const { return m_pclNullSelected; }

  eNAOperator eGetOperator() const { return m_eOperator; }
  void SetOperator(eNAOperator op) { m_eOperator = op; }
  unsigned int nGetFlags() const { return m_nFlags; }
  CNAExpression* pclGetLeftNoRef() const { return m_pclLeft; }
  CNAExpression* pclGetRightNoRef() const { return m_pclRight; }
  CNAColumn* pclGetColumnNoRef() const { return m_pclColumn; }
  CNAConvertVariant* pclGetValueNoRef() const { return m_pclValue; }
  // Whether this leaf, as it is written, lets the NULL rows in as the lower
  // end of an interval: an included lower end (>= or =) at a value kept as
  // NULL (0 or ''), on a column that may hold NULL.
  int bLowerBoundTakesNull() const;
  CSQLParserInfo* pclGetParserInfoNoRef() const { return m_pclParserInfo; }
  CNAError* pclGetError() const { return m_pclError; }

  // ---- Statics -------------------------------------------------------------------
  static const wchar_t* s_pszDumpOp(eNAOperator op);
  static std::int32_t Convert_eNAOperator_To_eOPEXPRESSION(eNAOperator op);
  // 5 <-> 6, 7 <-> 8, any other operator unchanged.
  static eNAOperator s_eInvertOperator(eNAOperator op);
  // Whether comparing with `value` by `op` holds for every row (booleans,
  // texts and NULL; false for anything else). `cnx` may be null.
  static int s_bExpressionTrue(eNAOperator op, CNAConnectionDescription* cnx, const CAny* value);
  // 1 when the parse sorts the column descending in its ascending order:
  // on a query not sent as written, its own ORDER BY; on a table, the
  // item described descending. Else (and without a record) 0.
  static int s_eGetSensTriColonne(CNARecord* record, const CNAColumn* column);
  // The earliest instant beginning with the partial text `partial` of an
  // item of `type` (NA_IT_HEURE: a time; otherwise a date-time), and the
  // first instant after every instant that begins with it, each as the
  // item's value: a time as time text HHMMSSmmm, NA_IT_DATE8 as date text
  // YYYYMMDD, any other as a date-time. False on a bad text or when no such
  // instant exists (past year 9999); *out is then left alone.
  static int s_bGetBorneRechercheDateMin(eNA_ITEMTYPE type, const wchar_t* partial, CAny* out);
  static int s_bGetBorneRechercheDateMax(eNA_ITEMTYPE type, const wchar_t* partial, CAny* out);
  // Both bounds; *upperMade tells whether the upper one could be made. The
  // result is whether the lower one could.
  static int s_bGetBorneRechercheDateGenerique(eNA_ITEMTYPE type, const wchar_t* partial, CAny* lower,
                                               CAny* upper, int* upperMade);
  // Whether an item of `type` holds text; whether a value's type code is a
  // text one, and a wide text one.
  static int s_bIsTextItem(eNA_ITEMTYPE type);
  static int s_bIsTextTNType(unsigned short type);
  static int s_bIsWideTNType(unsigned short type);

 protected:
  // Stores the flags; a generic composite-key text leaf with an empty value
  // loses its generic bit.
  void _SetFlag(unsigned int flags);

  // Leaf writers (see the source).
  int _bGetSQLFromValueNULL(const CTString& name, CNACommand* command, int* pbSkip);
  int _bGetSQLFromValueString(const CTString& name, CNACommand* command, CNARechercheParameters* search,
                              int withNull);
  int _bGetSQLFromValueDateTime(const CTString& name, CNACommand* command, CNARechercheParameters* search,
                                int withNull);
  int _bGetSQLFromValueUsingParameter(const CTString& name, CNACommand* command, CNARechercheParameters* search,
                                      int withLike, int withNull);
  int _bGetSQLFromSQL(CNACommand* command, CNARechercheParameters* search, CNARecord* record);
  // The column's name as the condition writes it (a computed column of a
  // query as its expression); false when it cannot be formatted.
  int _FormatItemNameExp(CTString* out, CNACommand* command, std::int32_t parserCode);
  // A parameter on `value` at the end of the command's text, in both lists.
  int _bAddParameter(CNACommand* command, CNARechercheParameters* search, CNAColumn* column,
                     CNAConvertVariant* value, unsigned int options);
  // Normalisation of boolean and text comparisons before writing.
  void _ProcessBoolean();
  void _ProcessString();

  // NULL selection.
  // Closes a leaf opened with "(" by " OR <name> IS NULL)" when `withNull`,
  // records the leaf's NULL selection, and answers `result` (0 when the
  // selection cannot be recorded).
  int _bEndNullAlternative(const CTString& name, CNACommand* command, int withNull, int result);
  int _bSetColumnValuesNullSelected(int selected);
  int _bCopyColumnValuesNullSelected(CNAExpression* operand, int invert);
  int _bCombineColumnValuesNullSelected(CNAExpression* left, CNAExpression* right);
  // Under OR: every column of `subtree`'s leaves that `other` selects NULL
  // for becomes selected in this node's set.
  void _SelectNullOfColumnsIn(const CNAExpression* subtree, const CColumnNullValueExcluded* other);
  void _ResetNullSelected();
  int _bNullSetReady();

  // The value as wide text (*text) when it converts; *isNull tells a NULL
  // or untyped value. False when it is no text and does not convert.
  static int _bReadWide(const CNAConvertVariant* value, std::wstring* text, int* isNull);

  CNAConnectionDescription* _pclGetCnx() const;
  int _bNullBeforeNotNull() const;

  CNAError* m_pclError = nullptr;
  eNAOperator m_eOperator = NA_OPERATOR_NONE;
  CNAExpression* m_pclLeft = nullptr;
  CNAExpression* m_pclRight = nullptr;
  CNAColumn* m_pclColumn = nullptr;
  CNAConvertVariant* m_pclValue = nullptr;
  unsigned int m_nFlags = 0;
  CSQLParserInfo* m_pclParserInfo = nullptr;
  CColumnNullValueExcluded* m_pclNullSelected = nullptr;
};
KX_CINTERF_REF_TRAITS(CNAExpression)
