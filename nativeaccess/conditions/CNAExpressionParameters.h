// CNAExpressionParameters: the query parameters a condition tree
// (CNAExpression) registers while it writes its text into a command, kept
// by the search the tree belongs to.
//
// Every parameter a tree writes goes into both lists: the command's (which
// writes its value as a literal at its text position) and this one (which
// the search keeps until it writes its text again). The two lists are cut
// together by parameter count, never by text position: a parameter
// registered at the very end of a left operand sits at the position where
// a later cut starts, and must survive that cut.
//
// A search derives from this class (it then hands itself to the trees), or
// holds one; a tree written without a search uses the command's list only.
//
// Ownership: one internal reference on the error object and on the
// connection (either may be null), one on each parameter held.
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include "CInterf.h"
#include "CNAParameter.h"
#include "CRefArray.h"

class CNACommand;
class CNAColumn;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;

class CNAExpressionParameters {
 public:
  CNAExpressionParameters(CNAError* error, CNAConnectionDescription* cnx);
  CNAExpressionParameters() : CNAExpressionParameters(nullptr, nullptr) {}
  ~CNAExpressionParameters();
  CNAExpressionParameters(const CNAExpressionParameters&) = delete;
  CNAExpressionParameters& operator=(const CNAExpressionParameters&) = delete;

  CNAError* pclGetError() const { return m_pclError; }
  CNAConnectionDescription* pclGetCnx() const { return m_pclCnx; }

  int nGetNbParameter() const { return m_tabParameters.nGetNbElements(); }
  // Parameter n (no reference for the caller); null outside the list.
  CNAParameter* pclGetParameter(int n) const;
  // A new parameter (the process driver's factory, else made directly) on
  // `value` at text position `position` with `options`, bound to `column`
  // when given, appended here with a reference. No reference for the
  // caller; null when it cannot be made (nothing appended).
  CNAParameter* _pclAddParameter(CNAColumn* column, CNAConvertVariant* value, unsigned long position,
                                 unsigned int options);
  // Appends `parameter` (a reference taken; a parameter shared with
  // another list). False when it is null or the list cannot grow.
  int bAppendParameter(CNAParameter* parameter);
  // Appends (with references) the command's parameters from index `from`
  // to its count. False when the list cannot grow.
  int GetParameterFromQuery(CNACommand* command, unsigned int from);
  // Releases parameters from the end while their text position is at or
  // after `position`.
  void _RemoveParameterByPos(unsigned long position);
  // Keeps the first `count` parameters and releases the others.
  void _RemoveParameterFromIndex(int count);
  // Releases every parameter, last first.
  void _ResetParameter();

  // Whether the tree being written continues a browse after or before a
  // row (a search in state 2): such a tree must select NULL keys wherever
  // the ordering puts them, whatever the compared value.
  int bContinuing() const { return m_bContinuing; }
  void SetContinuing(int continuing) { m_bContinuing = continuing ? 1 : 0; }

 private:
  CNAError* m_pclError = nullptr;
  CNAConnectionDescription* m_pclCnx = nullptr;
  CRefArray<CNAParameter> m_tabParameters{30};
  int m_bContinuing = 0;
};
