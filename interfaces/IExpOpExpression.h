// IExpOpExpression: one node of a parsed condition or expression tree.
// Operator codes (eOPEXPRESSION) are the parser's: 9 =, 10 <>, 11 <, 12 <=,
// 13 >, 14 >=, 32 LIKE, 33 IS NULL, 47 an item (column), 48 a literal, 49
// another leaf; any other code is an operator or function whose operands
// are walked in order.
//
// Used by slot number. A node handed out (a tree by the parser, an operand
// by slot 37) is owned by the caller and given back through slot 1. Slots
// after 37 are open (this library's names after the runtime's known slots).
#pragma once

#include "ISQLParserInformation.h"

class CAny;

class IExpOpExpression {
 public:
  virtual void _Reserved0() = 0;  // 0
  // 1: gives back the node the caller owns.
  virtual void Release() = 0;
  // 2: the operator code.
  virtual int eGetOperateur() = 0;
#define KX_EXPOP_RESERVED(n) virtual void _Reserved##n() = 0;
  KX_EXPOP_RESERVED(3) KX_EXPOP_RESERVED(4) KX_EXPOP_RESERVED(5) KX_EXPOP_RESERVED(6)
  KX_EXPOP_RESERVED(7) KX_EXPOP_RESERVED(8) KX_EXPOP_RESERVED(9) KX_EXPOP_RESERVED(10)
  KX_EXPOP_RESERVED(11) KX_EXPOP_RESERVED(12) KX_EXPOP_RESERVED(13) KX_EXPOP_RESERVED(14)
  KX_EXPOP_RESERVED(15) KX_EXPOP_RESERVED(16) KX_EXPOP_RESERVED(17) KX_EXPOP_RESERVED(18)
  KX_EXPOP_RESERVED(19) KX_EXPOP_RESERVED(20) KX_EXPOP_RESERVED(21) KX_EXPOP_RESERVED(22)
  KX_EXPOP_RESERVED(23) KX_EXPOP_RESERVED(24) KX_EXPOP_RESERVED(25) KX_EXPOP_RESERVED(26)
  KX_EXPOP_RESERVED(27) KX_EXPOP_RESERVED(28) KX_EXPOP_RESERVED(29) KX_EXPOP_RESERVED(30)
  KX_EXPOP_RESERVED(31) KX_EXPOP_RESERVED(32) KX_EXPOP_RESERVED(33)
  // 34: an item node's engine type code (the runtime's eXQTYPES).
  virtual int nGetTypeCode() = 0;
  KX_EXPOP_RESERVED(35) KX_EXPOP_RESERVED(36)
#undef KX_EXPOP_RESERVED
  // 37: the operand at *cursor (start with 0), advancing it; owned by the
  // caller (slot 1); null at the end.
  virtual IExpOpExpression* piGetOperande(int* cursor) = 0;

  // ---- Open operations ----
  // 38, 39: the node's two position queries in the query text: the first
  // (asked for codes 1 and 3), the second (the others; {0,0} sends the
  // caller to the first).
  virtual stSQLPOSITION stGetPosition1() = 0;
  virtual stSQLPOSITION stGetPosition2() = 0;
  // 40: a literal's value into *out (false: not a literal).
  virtual int bGetLiteral(CAny* out) = 0;
  // 41, 42: an item node's table (as written; empty: none) and item name.
  virtual const wchar_t* pszGetNomTable() = 0;
  virtual const wchar_t* pszGetNomRubrique() = 0;
  // 43: non-zero when the item carries the outer-join mark "(+)".
  virtual int bJointureExterne() = 0;
  // 44: a LIKE node's escape character (0: none).
  virtual wchar_t wGetEscape() = 0;

 protected:
  ~IExpOpExpression() = default;
};
