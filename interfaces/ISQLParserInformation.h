// ISQLParserInformation: the SQL runtime's analysis of one query (the
// parser's answer for a query text, a query-based table or a condition).
// The library reads it through CSQLParserInfo and the command builder.
//
// The object belongs to the SQL runtime and is used by slot number: the
// slots the library calls are named at their numbers, the others are
// reserved so that the named ones sit where the runtime puts them. What the
// library needs and the runtime's table does not place is declared after
// the highest known slot (33) under names of its own ("open" below); new
// operations go after the last one, never between.
//
// Counting: a 32-bit reference count sits at byte 8 of the object (right
// after the table pointer; every implementation checks it with a
// static_assert). A holder takes a reference by incrementing it atomically
// (SQLParser_AddRef) and gives it back through slot 2, which may delete the
// object. Texts answered stay owned by the object and valid while the
// caller's reference lasts. Objects handed out follow the rule written at
// each slot: trees are owned by the caller (given back through their slot
// 1), descriptions carry one external reference for the caller (given back
// with their nExternalRelease), the SELECT part is borrowed.
#pragma once

#include <cstddef>
#include <cstdint>

class CAny;
class IExpOpExpression;
class IInfoFrom;
class IInfoRubrique;
class IInfoSelect;
class INADataSourceDescription;
class INAItemDescription;

// A range of the query text, in characters of the text: [nStart, nStop).
// {-1, -1} when the parser knows none. 16 bytes, copied as it comes.
struct stSQLPOSITION {
  std::int64_t nStart = -1;
  std::int64_t nStop = -1;
  bool bValid() const { return nStart >= 0 && nStop >= nStart; }
};
static_assert(sizeof(stSQLPOSITION) == 16, "a parser position is 16 bytes");

// One entry of the parser's list of bind values and item references (open
// operation nGetClauseEntryCount / bGetClauseEntry), in position order.
struct stSQLCLAUSEENTRY {
  int bBindValue = 0;                 // 1: a bind value; 0: an item reference
  std::int64_t nPosition = 0;         // start in the query text
  std::int64_t nLength = 0;           // characters of the query text it spans
  // Item reference: table as written (null or empty: none) and item name.
  const wchar_t* pszTable = nullptr;
  const wchar_t* pszItem = nullptr;
  // Bind value: its value (owned by the parser), the runtime's flags (bit
  // 16 marks a named value) and its name (without the leading ':').
  const CAny* pclValue = nullptr;
  std::uint32_t nFlags = 0;
  const wchar_t* pszName = nullptr;
};

class ISQLParserInformation {
 public:
  virtual void _Reserved0() = 0;  // 0
  virtual void _Reserved1() = 0;  // 1
  // 2: gives back one reference; answers the count left (0: gone).
  virtual std::uint32_t nRelease() = 0;
  virtual void _Reserved3() = 0;  // 3
  virtual void _Reserved4() = 0;  // 4
  virtual void _Reserved5() = 0;  // 5
  virtual void _Reserved6() = 0;  // 6
  // 7: the query's SQL text (never null for an analysed query).
  virtual const wchar_t* pszGetSQLText() = 0;
  virtual void _Reserved8() = 0;   // 8
  virtual void _Reserved9() = 0;   // 9
  virtual void _Reserved10() = 0;  // 10
  virtual void _Reserved11() = 0;  // 11
  // 12: the query's SELECT part, borrowed (valid while the parser
  // information lives); null for a condition-only parse.
  virtual IInfoSelect* piGetSelect() = 0;
  virtual void _Reserved13() = 0;  // 13
  virtual void _Reserved14() = 0;  // 14
  virtual void _Reserved15() = 0;  // 15
  virtual void _Reserved16() = 0;  // 16
  // 17: the WHERE tree (the whole condition of a condition-only parse),
  // owned by the caller: given back through its slot 1. Null when none.
  virtual IExpOpExpression* piGetWhere() = 0;
  virtual void _Reserved18() = 0;  // 18
  virtual void _Reserved19() = 0;  // 19
  virtual void _Reserved20() = 0;  // 20
  // 21: the item description of an output item that is not calculated,
  // one external reference for the caller; null when none. May throw.
  virtual INAItemDescription* piGetItemDescription(IInfoRubrique* item) = 0;
  virtual void _Reserved22() = 0;  // 22
  // 23: the data source description of a FROM table; 24: by table name
  // (logical name or alias as the query writes it). One external reference
  // for the caller; null when none.
  virtual INADataSourceDescription* piGetDataSourceDescription(IInfoFrom* table) = 0;
  virtual INADataSourceDescription* piGetDataSourceDescription(const wchar_t* table) = 0;
  virtual void _Reserved25() = 0;  // 25
  // 26: the query kind (3 UPDATE, 4 INSERT, 1 SELECT; others the parser's).
  virtual int nGetQueryKind() = 0;
  // 27: the HAVING tree, owned by the caller (slot 1); null when none.
  virtual IExpOpExpression* piGetHaving() = 0;
  virtual void _Reserved28() = 0;  // 28
  virtual void _Reserved29() = 0;  // 29
  virtual void _Reserved30() = 0;  // 30
  virtual void _Reserved31() = 0;  // 31
  virtual void _Reserved32() = 0;  // 32
  // 33: the physical (database) name of a logical table name (never of an
  // alias), written into `buffer` of `capacity` wide characters (the
  // terminating null included; nothing is written past it). Answers the
  // name's length in characters without the null (0: no physical name);
  // an answer of `capacity` or more means the buffer was too small and the
  // caller asks again with a larger one. May throw.
  virtual std::size_t nGetPhysicalName(const wchar_t* logical, wchar_t* buffer, std::size_t capacity) = 0;

  // ---- Open operations (placed after the runtime's known slots) ----
  // 34: whether the runtime accepts a component of `kind` with interface
  // `version`; *runtimeVersion = the runtime's interface version.
  virtual int bCheckCompatibility(int kind, int version, std::uint32_t* runtimeVersion) = 0;
  // 35 to 38: clause ranges: WHERE from its keyword to the condition's end;
  // GROUP BY from its keyword to its last item's end; HAVING from its
  // keyword to the condition's end; ORDER BY from its keyword to its last
  // item's end. {-1,-1} when the query has no such clause.
  virtual stSQLPOSITION stGetWhereRange() = 0;
  virtual stSQLPOSITION stGetGroupByRange() = 0;
  virtual stSQLPOSITION stGetHavingRange() = 0;
  virtual stSQLPOSITION stGetOrderByRange() = 0;
  // 39: the joins' conditions: tree of join n (owned by the caller, slot
  // 1) and its range in *range; null past the last join.
  virtual IExpOpExpression* piGetJoin(int n, stSQLPOSITION* range) = 0;
  // 40, 41: the list of bind values and item references, in position
  // order: its size, and entry n (false outside the list).
  virtual int nGetClauseEntryCount() = 0;
  virtual int bGetClauseEntry(int n, stSQLCLAUSEENTRY* entry) = 0;
  // 42 to 45: end positions of the last recognised clauses, asked in this
  // order: the FROM list, the WHERE, the GROUP BY / HAVING, the ORDER BY;
  // -1 when unknown.
  virtual std::int64_t nGetEndOfFrom() = 0;
  virtual std::int64_t nGetEndOfWhere() = 0;
  virtual std::int64_t nGetEndOfGroup() = 0;
  virtual std::int64_t nGetEndOfOrderBy() = 0;
  // 46, 47: the operands of a condition-only parse as plain values: their
  // count and operand n (owned by the parser; null outside the list).
  virtual int nGetConditionOperandCount() = 0;
  virtual const CAny* pclGetConditionOperand(int n) = 0;

 protected:
  ~ISQLParserInformation() = default;
};

// The start every counted parser object shares: the table pointer, then
// the 32-bit count at byte 8.
struct stSQLPARSERCOUNTED {
  void* pVTable;
  std::uint32_t nCount;
};
static_assert(offsetof(stSQLPARSERCOUNTED, nCount) == 8, "the parser's count sits at byte 8");

// Takes one reference on an object counted at byte 8 (parser information,
// FROM table, output item, ORDER BY item): an atomic increment. Nothing for
// null.
inline void SQLParser_AddRef(void* object) {
  if (object == nullptr) return;
  auto* pnCount = reinterpret_cast<std::uint32_t*>(static_cast<unsigned char*>(object) + 8);
  __atomic_add_fetch(pnCount, 1u, __ATOMIC_SEQ_CST);
}
