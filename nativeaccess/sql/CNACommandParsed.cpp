// CNACommand, parsed queries: the query text rebuilt clause by clause from
// the parser's analysis (CSQLParserInfo).
//
// One pass over the query text: a cursor says how far the text has been
// copied; each clause copies the text up to itself, writes its rewritten
// form and leaves the cursor after itself. Every copy of query text turns
// the bind values it passes into parameters (named, with their flags), so
// no bind value goes out as written whatever clause holds it. Positions
// from the parser are checked against the text: a copy never goes back, a
// piece wholly before the cursor writes nothing, a range past the end
// fails.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "CAny.h"
#include "CColumnNullValueExcluded.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADataSourceDescription.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAParameter.h"
#include "CNARecord.h"
#include "CSQLParserInfo.h"
#include "IExpOpExpression.h"
#include "IInfoAffectation.h"
#include "IInfoFrom.h"
#include "IInfoGroupe.h"
#include "IInfoInsertion.h"
#include "IInfoOrderBy.h"
#include "IInfoRubrique.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"
#include "ISQLParserInformation.h"
#include "StrFunctions.h"

namespace {

constexpr int knLocationArea = 61;
constexpr int knLocationParsed = 3;
constexpr unsigned int knErrCalculatedItem = 32;   // "The calculated item %s cannot be used here."
constexpr unsigned int knErrOperator = 48;         // "This operator is not supported by %s."

// The runtime's conversions answer at most this on success.
constexpr int knLastConversionSuccess = 99;

// Options of parameters made from literals.
constexpr unsigned int knOptionFromLiteral = 0x80000;

bool bSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

bool bEmpty(const wchar_t* p) { return p == nullptr || *p == 0; }

bool bSameName(const wchar_t* a, const wchar_t* b) {
  return STR_nCompareW(a != nullptr ? a : L"", b != nullptr ? b : L"", 3) == 0;
}

bool bTextType(unsigned t) {
  return (t >= 16 && t <= 25) || t == 81 || t == 110 || t == 128 || t == 129 || t == 134;
}

bool bDateType(std::uint32_t t) { return t == 10 || t == 14 || t == 24; }

// A clause element: kind and range in the query text.
struct stElt {
  CNASqlElt::eSQLELT eKind;
  long nStart;
  long nStop;
};

// The calculated items being written, innermost last: an item met again
// anywhere on the chain would be written forever.
std::vector<const IInfoRubrique*>& CalculatedChain() {
  static std::vector<const IInfoRubrique*> s_tab;
  return s_tab;
}

// The wide text of a value (empty for anything else).
std::wstring WideText(const CAny& v) {
  const wchar_t* p = nullptr;
  if (v.bIsNull() || !bTextType(v.nGetTypeCode()) || v.nGetPCWSTR(&p) != ANY_OK || p == nullptr) return std::wstring();
  return std::wstring(p);
}

void SetWideText(CAny* v, const std::wstring& s) {
  CAny clNew;
  clNew.__SetType(ANY_DSTRW, 0);
  clNew.SetValue(s.c_str(), s.size() * sizeof(wchar_t));
  *v = clNew;
}

// The end of the word at i (letters, digits, "_").
std::size_t WordEnd(const wchar_t* text, std::size_t i) {
  while (text[i] != 0 && (std::iswalnum(static_cast<wint_t>(text[i])) || text[i] == L'_')) ++i;
  return i;
}

}  // namespace

// ---- The query text ---------------------------------------------------------------------------

int CNACommand::_bAddBindValue(const stSQLCLAUSEENTRY& entry) {
  CNAConvertVariant* pclValue = m_pclDriver != nullptr ? m_pclDriver->pclAllocVariant(m_pclError, m_pclCnx) : nullptr;
  if (pclValue == nullptr) {
    _SetNoMemory();
    return 0;
  }
  pclValue->AddRef();
  const unsigned short nType = entry.pclValue != nullptr ? entry.pclValue->nGetTypeCode() : 0;
  pclValue->InitTypeVariantAny(nType != 0 ? nType : static_cast<unsigned short>(ANY_DSTRW));
  int bResult = entry.pclValue != nullptr ? pclValue->bSetValue(entry.pclValue) : 1;
  // The named form: the refresh finds it by name (its flags carry the
  // named-variable bit).
  if (bResult)
    bResult = bAddParameter(pclValue, -1, entry.nFlags, nullptr, bEmpty(entry.pszName) ? nullptr : entry.pszName, 0,
                            CNAParameter::NAPARAM_IN);
  pclValue->nRelease();
  return bResult;
}

int CNACommand::_bCopyQueryText(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor, long upto) {
  if (text == nullptr || cursor == nullptr) return 0;
  const long nLength = static_cast<long>(std::wcslen(text));
  if (upto > nLength || upto < 0) return 0;
  if (upto <= static_cast<long>(*cursor)) return 1;
  ISQLParserInformation* piParser = query != nullptr ? query->piGetParserNoRef() : nullptr;
  long nFrom = static_cast<long>(*cursor);
  // The bind values are the parser's positions in its own text.
  const int nEntries = piParser != nullptr && piParser->pszGetSQLText() == text ? piParser->nGetClauseEntryCount() : 0;
  for (int i = 0; i < nEntries; ++i) {
    stSQLCLAUSEENTRY st;
    if (!piParser->bGetClauseEntry(i, &st) || !st.bBindValue) continue;
    if (st.nPosition < nFrom || st.nPosition >= upto) continue;
    if (st.nPosition + st.nLength > nLength) return 0;
    bComplete(text + nFrom, static_cast<long>(st.nPosition) - nFrom);
    if (!_bAddBindValue(st)) return 0;
    nFrom = static_cast<long>(st.nPosition + st.nLength);
  }
  if (upto > nFrom) bComplete(text + nFrom, upto - nFrom);
  *cursor = static_cast<unsigned long>(std::max(upto, nFrom));
  return 1;
}

void CNACommand::_FormatTableAndItemName(const wchar_t* table, const wchar_t* item, CTString* out) {
  CTString csTable;
  CTString csItem;
  if (!bEmpty(table)) {
    if (m_pclCnx != nullptr)
      m_pclCnx->bFormatTableName(m_pclError, table, &csTable);
    else
      csTable = table;
  }
  if (m_pclCnx != nullptr)
    m_pclCnx->bFormatItemName(m_pclError, item, &csItem);
  else
    csItem = item;
  if (csTable.nTaille() > 0)
    out->Set(csTable.pszGet(), L".", csItem.pszGet());
  else
    out->Set(csItem.pszGet());
}

void CNACommand::_WriteTableAndItem(const wchar_t* table, const wchar_t* item) {
  CTString cs;
  _FormatTableAndItemName(table, item, &cs);
  bComplete(cs.pszGet());
}

namespace {
// The table name a query writes, resolved for the server: a real alias
// stays (the server knows the table by it once aliased); a table name gets
// its physical name when the parser knows one.
CTString ResolvedTable(CSQLParserInfo* query, const wchar_t* table) {
  CTString cs;
  if (bEmpty(table)) return cs;
  if (query != nullptr && !query->bIsTableAlias(table, nullptr)) cs = query->csGetPhysicalName(table);
  if (cs.nTaille() == 0) cs = table;
  return cs;
}
}  // namespace

// ---- Rebuilding a query -----------------------------------------------------------------------

int CNACommand::bFormatCondition(CSQLParserInfo* query, CNACommand* filter, int orderBy, int mode) {
  if (query == nullptr || query->pszGetRequete() == nullptr) return 0;
  const int bPass = mode == 1 || (mode & 4) != 0 ? 1 : 0;
  SetPassThrough(bPass);
  if (bPass) m_nSelectionMode = 3;
  _SetSQLParserInfo(query);
  const wchar_t* pszText = query->pszGetRequete();
  const long nLength = static_cast<long>(std::wcslen(pszText));
  ISQLParserInformation* piParser = query->piGetParserNoRef();
  m_nOrderByAt = -1;
  m_nQueryCursor = 0;
  const bool bFilter = filter != nullptr && !filter->bIsEmpty();

  std::vector<stElt> tab;
  auto add = [&](CNASqlElt::eSQLELT k, std::int64_t a, std::int64_t b) {
    tab.push_back(stElt{k, static_cast<long>(a), static_cast<long>(b)});
  };
  const stSQLPOSITION stWhere = piParser->stGetWhereRange();
  const stSQLPOSITION stGroup = piParser->stGetGroupByRange();
  const stSQLPOSITION stHaving = piParser->stGetHavingRange();
  const stSQLPOSITION stOrder = piParser->stGetOrderByRange();
  if (!bPass) {
    // The query's own list: INSERT columns and values, UPDATE's SET list,
    // else the select list.
    const int nKind = query->nGetQueryKind();
    if (nKind == TYPEREQUETE_INSERT) {
      stSQLPOSITION stCols, stVals;
      for (IInfoInsertion* pi = query->piEnumRubriqueInsert(1); pi != nullptr; pi = query->piEnumRubriqueInsert(0)) {
        const stSQLPOSITION c = pi->stGetColonnePosition(), v = pi->stGetValeurPosition();
        if (c.bValid()) {
          if (!stCols.bValid()) stCols.nStart = c.nStart;
          stCols.nStop = c.nStop;
        }
        if (v.bValid()) {
          if (!stVals.bValid()) stVals.nStart = v.nStart;
          stVals.nStop = v.nStop;
        }
      }
      if (stCols.bValid()) add(CNASqlElt::SQLELT_SELECT, stCols.nStart, stCols.nStop);
      if (stVals.bValid()) add(CNASqlElt::SQLELT_SET, stVals.nStart, stVals.nStop);
    } else if (nKind == TYPEREQUETE_UPDATE) {
      stSQLPOSITION st;
      for (IInfoAffectation* pi = query->piEnumRubriqueUpdate(1); pi != nullptr; pi = query->piEnumRubriqueUpdate(0)) {
        const stSQLPOSITION p = pi->stGetPosition();
        if (!p.bValid()) continue;
        if (!st.bValid()) st.nStart = p.nStart;
        st.nStop = p.nStop;
      }
      if (st.bValid()) add(CNASqlElt::SQLELT_SET, st.nStart, st.nStop);
    } else if (query->nGetRubriqueOUTNbr() > 0) {
      stSQLPOSITION st;
      for (int i = 0; i < query->nGetRubriqueOUTNbr(); ++i) {
        IInfoRubrique* pi = query->piGetRubriqueOUT(i);
        stSQLPOSITION p = pi->stGetPosition();
        const stSQLPOSITION a = pi->stGetAliasPosition();
        if (!p.bValid()) continue;
        if (a.bValid() && a.nStop > p.nStop) p.nStop = a.nStop;
        if (!st.bValid()) st.nStart = p.nStart;
        st.nStop = p.nStop;
      }
      if (!st.bValid() && CNACommand::s_bSuiteRequeteCommencePar(pszText, L"SELECT")) {
        // "SELECT *": the star stands for every output item.
        const wchar_t* p = std::wcschr(pszText, L'*');
        if (p != nullptr) st = stSQLPOSITION{p - pszText, p - pszText + 1};
      }
      if (st.bValid()) add(CNASqlElt::SQLELT_SELECT, st.nStart, st.nStop);
    }
    for (int i = 0; i < query->nGetFichierFromNbr(); ++i) {
      const stSQLPOSITION p = query->piGetFichierFrom(i)->stGetPosition();
      if (p.bValid()) add(CNASqlElt::SQLELT_FROM, p.nStart, p.nStop);
    }
    for (int n = 0;; ++n) {
      stSQLPOSITION r;
      IExpOpExpression* pi = piParser->piGetJoin(n, &r);
      if (pi == nullptr) break;
      pi->Release();
      if (r.bValid()) add(CNASqlElt::SQLELT_JOIN, r.nStart, r.nStop);
    }
    if (stWhere.bValid()) {
      add(CNASqlElt::SQLELT_WHERE, stWhere.nStart, stWhere.nStop);
    } else if (bFilter) {
      // Where a WHERE belongs: before the first later clause, or a LIMIT,
      // or at the end.
      long nAt = nLength;
      for (const stSQLPOSITION& r : {stGroup, stHaving, stOrder})
        if (r.bValid() && r.nStart < nAt) nAt = static_cast<long>(r.nStart);
      const long nLimit = s_nGetClauseStart(m_pclCnx, pszText, L"LIMIT", -1);
      if (nLimit > 0 && nLimit < nAt) nAt = nLimit;
      add(CNASqlElt::SQLELT_WHERE, nAt, nAt);
    }
    if (stGroup.bValid()) add(CNASqlElt::SQLELT_GROUPBY, stGroup.nStart, stGroup.nStop);
    if (stHaving.bValid()) add(CNASqlElt::SQLELT_HAVING, stHaving.nStart, stHaving.nStop);
  }
  if (stOrder.bValid()) add(CNASqlElt::SQLELT_ORDERBY, stOrder.nStart, stOrder.nStop);
  for (int i = 0; i < piParser->nGetClauseEntryCount(); ++i) {
    stSQLCLAUSEENTRY st;
    if (piParser->bGetClauseEntry(i, &st) && st.bBindValue) {
      add(CNASqlElt::SQLELT_BIND, st.nPosition, st.nPosition + st.nLength);
      break;
    }
  }
  // Stable: an empty WHERE range stays before the clause that starts at
  // the same place.
  std::stable_sort(tab.begin(), tab.end(), [](const stElt& a, const stElt& b) { return a.nStart < b.nStart; });

  unsigned long nCursor = 0;
  bool bTailDone = false;
  for (const stElt& e : tab) {
    if (e.nStop > nLength || e.nStart < 0) return 0;
    int bOk = 1;
    switch (e.eKind) {
      case CNASqlElt::SQLELT_SELECT:
        bOk = query->nGetQueryKind() == TYPEREQUETE_INSERT ? _bFormatINSERTUPDATEList(query, pszText, &nCursor, e.nStop)
                                                           : _bFormatSELECTList(query, pszText, &nCursor, e.nStop);
        break;
      case CNASqlElt::SQLELT_SET:
        bOk = _bFormatINSERTUPDATEList(query, pszText, &nCursor, e.nStop);
        break;
      case CNASqlElt::SQLELT_FROM:
        bOk = _bAddFromClause(query, pszText, &nCursor, e.nStart, e.nStop);
        break;
      case CNASqlElt::SQLELT_JOIN:
        bOk = _bAddJoinClause(query, pszText, &nCursor, e.nStart, e.nStop);
        break;
      case CNASqlElt::SQLELT_WHERE:
        bOk = _bCopyQueryText(query, pszText, &nCursor, e.nStart) &&
              bAddTreeExpression(query, nullptr, pszText, nullptr, query->piGetWhereNoRef(), CNASqlElt::SQLELT_WHERE,
                                 &nCursor, filter) &&
              _bCopyQueryText(query, pszText, &nCursor, e.nStop);
        break;
      case CNASqlElt::SQLELT_GROUPBY:
        bOk = _bFormatGROUPBY(query, pszText, &nCursor) && _bCopyQueryText(query, pszText, &nCursor, e.nStop);
        break;
      case CNASqlElt::SQLELT_HAVING:
        bOk = _bCopyQueryText(query, pszText, &nCursor, e.nStart) &&
              bAddTreeExpression(query, nullptr, pszText, nullptr, query->piGetHavingNoRef(),
                                 CNASqlElt::SQLELT_HAVING, &nCursor, nullptr) &&
              _bCopyQueryText(query, pszText, &nCursor, e.nStop);
        break;
      case CNASqlElt::SQLELT_ORDERBY: {
        // Sent as it stands, a query that limits its own rows keeps its
        // ORDER BY: the rows it limits depend on it.
        const int bLimited = bPass && query->bQueryResultsetLimited(m_pclCnx);
        if (orderBy != 0 || bLimited) {
          int bUnique = 0;
          bOk = _bFormatORDERBY(&nCursor, pszText, orderBy != 0 ? 1 : 0, 1, 0, &bUnique);
        } else if (bPass) {
          // The query's own ORDER BY and whatever follows it are left out
          // (the parser's start, not a search of the text).
          bOk = _bCopyQueryText(query, pszText, &nCursor, e.nStart);
          m_nOrderByAt = nGetOriginalLength();
          nCursor = static_cast<unsigned long>(nLength);
          bTailDone = true;
        } else {
          // Only the items are left out; the tail (a LIMIT) follows, and
          // bFormatORDERBY writes the ORDER BY ahead of it.
          bOk = _bCopyQueryText(query, pszText, &nCursor, e.nStart);
          m_nOrderByAt = nGetOriginalLength();
          if (static_cast<long>(nCursor) < e.nStop) nCursor = static_cast<unsigned long>(e.nStop);
          const long nRaw = nGetOriginalLength();
          if (nRaw > 0 && bSpace(pszGetOriginalSQL()[nRaw - 1]))
            while (static_cast<long>(nCursor) < nLength && bSpace(pszText[nCursor])) ++nCursor;
        }
        break;
      }
      case CNASqlElt::SQLELT_BIND:
        // The copy makes the bind values parameters; it stops at the next
        // element.
        {
          long nUpTo = nLength;
          for (const stElt& o : tab)
            if (o.nStart > e.nStart && o.nStart < nUpTo) nUpTo = o.nStart;
          bOk = _bCopyQueryText(query, pszText, &nCursor, nUpTo);
        }
        break;
      default:
        break;
    }
    if (!bOk) return 0;
  }
  // The tail, once: after the ORDER BY items or the last clause.
  if (!bTailDone && !_bCopyQueryText(query, pszText, &nCursor, nLength)) return 0;
  m_nQueryCursor = static_cast<long>(nCursor);
  return 1;
}

int CNACommand::bAddTreeExpression(CSQLParserInfo* query, CSQLParserInfo* /*outer*/, const wchar_t* text,
                                   IExpOpExpression* /*parent*/, IExpOpExpression* node, CNASqlElt::eSQLELT clause,
                                   unsigned long* cursor, CNACommand* filter) {
  const bool bFilter = clause == CNASqlElt::SQLELT_WHERE && filter != nullptr && filter != this && !filter->bIsEmpty();
  if (!bFilter) {
    if (node == nullptr) return 1;
    return _bExpressionToSQL(query, text, nullptr, node, clause, cursor, nullptr, NA_IT_EMPTY);
  }
  const stSQLPOSITION stWhere = query->piGetParserNoRef()->stGetWhereRange();
  if (stWhere.bValid() && node != nullptr) {
    if (!_bCopyQueryText(query, text, cursor, static_cast<long>(stWhere.nStart) + 5)) return 0;
    while (bSpace(text[*cursor])) ++*cursor;
    bComplete(L" (", 2);
    if (!_bExpressionToSQL(query, text, nullptr, node, clause, cursor, nullptr, NA_IT_EMPTY)) return 0;
    if (!_bCopyQueryText(query, text, cursor, static_cast<long>(stWhere.nStop))) return 0;
    bComplete(L") AND (", 7);
    if (!bAdd(filter, ADDMODE_SHARE)) return 0;
    bComplete(L")", 1);
  } else {
    const long nRaw = nGetOriginalLength();
    if (nRaw > 0 && bSpace(pszGetOriginalSQL()[nRaw - 1]))
      bComplete(L"WHERE ", 6);
    else
      bComplete(L" WHERE ", 7);
    if (!bAdd(filter, ADDMODE_SHARE)) return 0;
    if (text[*cursor] != 0 && !bSpace(text[*cursor])) bComplete(L" ", 1);
  }
  if (filter->m_pclNullSelected != nullptr) bCombineColumnValuesNullSelected(NA_OPERATOR_AND, filter->m_pclNullSelected);
  return 1;
}

int CNACommand::bAddFilterExpression(CSQLParserInfo* query) {
  if (query == nullptr) return 0;
  CSQLParserInfo* pclSource = query->pclGetQueryParserInfoNoRef();
  if (pclSource == nullptr) pclSource = query;
  const wchar_t* pszText = pclSource->pszGetRequete();
  IExpOpExpression* piTree = pclSource->piGetWhereNoRef();
  if (pszText == nullptr) return 0;
  unsigned long nCursor = 0;
  long nStop = static_cast<long>(std::wcslen(pszText));
  if (pclSource->piGetSelectNoRef() != nullptr) {
    // A full query: its condition only, to the WHERE range's end.
    const stSQLPOSITION st = pclSource->piGetParserNoRef()->stGetWhereRange();
    if (!st.bValid() || piTree == nullptr) return 1;
    nCursor = static_cast<unsigned long>(st.nStart) + 5;
    while (bSpace(pszText[nCursor])) ++nCursor;
    nStop = static_cast<long>(st.nStop);
  }
  if (piTree != nullptr &&
      !_bExpressionToSQL(pclSource, pszText, nullptr, piTree, CNASqlElt::SQLELT_WHERE, &nCursor, nullptr, NA_IT_EMPTY))
    return 0;
  return _bCopyQueryText(pclSource, pszText, &nCursor, nStop);
}

int CNACommand::bFormatSubExpression(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* parent,
                                     IExpOpExpression* node, CNASqlElt::eSQLELT clause) {
  const stSQLPOSITION st = _stGetPositionExpression(node);
  if (!st.bValid()) return 0;
  unsigned long nCursor = static_cast<unsigned long>(st.nStart);
  if (!_bExpressionToSQL(query, text, parent, node, clause, &nCursor, nullptr, NA_IT_EMPTY)) return 0;
  return _bCopyQueryText(query, text, &nCursor, static_cast<long>(st.nStop));
}

int CNACommand::bFormatEndOfQuery() {
  if (m_pclParserInfo == nullptr || m_bPassThrough || m_pclParserInfo->piGetParserNoRef() == nullptr) return 0;
  ISQLParserInformation* pi = m_pclParserInfo->piGetParserNoRef();
  const wchar_t* pszText = pi->pszGetSQLText();
  const long nLength = static_cast<long>(std::wcslen(pszText));
  std::int64_t nEnd = -1;
  for (std::int64_t n : {pi->nGetEndOfFrom(), pi->nGetEndOfWhere(), pi->nGetEndOfGroup(), pi->nGetEndOfOrderBy()})
    nEnd = std::max(nEnd, n);
  if (nEnd < 1) return 0;
  // Only what the rebuild has not copied yet.
  long nFrom = static_cast<long>(nEnd);
  if (m_nQueryCursor > nFrom) nFrom = m_nQueryCursor;
  if (nFrom >= nLength) return 0;
  unsigned long nCursor = static_cast<unsigned long>(nFrom);
  if (!_bCopyQueryText(m_pclParserInfo, pszText, &nCursor, nLength)) return 0;
  m_nQueryCursor = nLength;
  return 1;
}

int CNACommand::bComplete(ISQLParserInformation* parser) {
  if (parser == nullptr || parser->pszGetSQLText() == nullptr) return 0;
  const wchar_t* pszText = parser->pszGetSQLText();
  const long nLength = static_cast<long>(std::wcslen(pszText));
  long nCursor = 0;
  for (int i = 0; i < parser->nGetClauseEntryCount(); ++i) {
    stSQLCLAUSEENTRY st;
    if (!parser->bGetClauseEntry(i, &st)) continue;
    if (st.nPosition < nCursor || st.nPosition + st.nLength > nLength) continue;
    bComplete(pszText + nCursor, static_cast<long>(st.nPosition) - nCursor);
    if (st.bBindValue) {
      if (!_bAddBindValue(st)) return 0;
    } else {
      CTString cs(st.pszItem);
      _FormatItemNameInWHEREClause(parser, nullptr, st.pszTable, &cs, nullptr);
      bComplete(cs.pszGet());
    }
    nCursor = static_cast<long>(st.nPosition + st.nLength);
  }
  bComplete(pszText + nCursor, nLength - nCursor);
  return 1;
}

// ---- Clauses ----------------------------------------------------------------------------------

int CNACommand::_bFormatSELECTList(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor, long stop) {
  const int nItems = query->nGetRubriqueOUTNbr();
  const bool bStar = nItems > 0 && !query->piGetRubriqueOUT(0)->stGetPosition().bValid();
  if (bStar) {
    if (!_bCopyQueryText(query, text, cursor, stop - 1)) return 0;
    if (!bNeedToReplaceStar()) return _bCopyQueryText(query, text, cursor, stop);
    for (int i = 0; i < nItems; ++i) {
      IInfoRubrique* pi = query->piGetRubriqueOUT(i);
      if (i > 0) bComplete(L", ", 2);
      _WriteTableAndItem(ResolvedTable(query, pi->pszGetNomTable()).pszGet(), pi->pszGetNomRubrique());
    }
    *cursor = static_cast<unsigned long>(stop);
  } else {
    for (int i = 0; i < nItems; ++i) {
      IInfoRubrique* pi = query->piGetRubriqueOUT(i);
      const stSQLPOSITION p = pi->stGetPosition();
      if (!p.bValid() || p.nStop <= static_cast<long>(*cursor)) continue;
      if (!_bCopyQueryText(query, text, cursor, static_cast<long>(p.nStart))) return 0;
      if (pi->bIsCalcul()) {
        IExpOpExpression* piTree = pi->piGetExpression();
        int bOk = piTree != nullptr ? _bExpressionToSQL(query, text, nullptr, piTree, CNASqlElt::SQLELT_SELECT, cursor,
                                                        nullptr, NA_IT_EMPTY)
                                    : 1;
        if (piTree != nullptr) piTree->Release();
        if (!bOk || !_bCopyQueryText(query, text, cursor, static_cast<long>(p.nStop))) return 0;
      } else {
        CTString cs;
        _FormatRubriqueAlias(static_cast<unsigned long>(p.nStart), text, query, pi, &cs, 1, CNASqlElt::SQLELT_SELECT);
        bComplete(cs.pszGet());
        *cursor = static_cast<unsigned long>(p.nStop);
      }
      const stSQLPOSITION a = pi->stGetAliasPosition();
      if (a.bValid() && a.nStart >= static_cast<long>(*cursor)) {
        if (!_bCopyQueryText(query, text, cursor, static_cast<long>(a.nStart))) return 0;
        CTString cs;
        if (m_pclCnx != nullptr)
          m_pclCnx->bFormatItemName(m_pclError, pi->pszGetAlias(), &cs);
        else
          cs = pi->pszGetAlias();
        bComplete(cs.pszGet());
        *cursor = static_cast<unsigned long>(a.nStop);
      }
    }
  }
  if (!_bCopyQueryText(query, text, cursor, stop)) return 0;
  const wchar_t* pszMore = pszGetAdditionalColumns();
  if (!bEmpty(pszMore)) {
    bComplete(L",", 1);
    bComplete(pszMore);
  }
  return 1;
}

int CNACommand::_bAddFromClause(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor, long start,
                                long stop) {
  IInfoFrom* piTable = nullptr;
  for (int i = 0; i < query->nGetFichierFromNbr() && piTable == nullptr; ++i) {
    const stSQLPOSITION p = query->piGetFichierFrom(i)->stGetPosition();
    if (p.nStart == start && p.nStop == stop) piTable = query->piGetFichierFrom(i);
  }
  if (piTable == nullptr) return _bCopyQueryText(query, text, cursor, stop);
  const stSQLPOSITION stName = piTable->stGetNomPosition();
  if (stName.nStop <= static_cast<long>(*cursor)) return 1;
  if (!_bCopyQueryText(query, text, cursor, static_cast<long>(stName.nStart))) return 0;
  CTString csPhysical = query->csGetPhysicalName(piTable->pszGetNomTable());
  if (csPhysical.nTaille() == 0) csPhysical = piTable->pszGetNomTable();
  CTString cs;
  if (m_pclCnx != nullptr)
    m_pclCnx->bFormatTableName(m_pclError, csPhysical.pszGet(), &cs);
  else
    cs = csPhysical;
  bComplete(cs.pszGet());
  *cursor = static_cast<unsigned long>(stName.nStop);
  const stSQLPOSITION stAlias = piTable->stGetAliasPosition();
  if (stAlias.bValid()) {
    if (!_bCopyQueryText(query, text, cursor, static_cast<long>(stAlias.nStart))) return 0;
    if (m_pclCnx != nullptr)
      m_pclCnx->bFormatItemName(m_pclError, piTable->pszGetAlias(), &cs);
    else
      cs = piTable->pszGetAlias();
    bComplete(cs.pszGet());
    *cursor = static_cast<unsigned long>(stAlias.nStop);
  }
  // Kind 8 servers after version 9 refuse the hint.
  const bool bLockHint = _nKind() != 8 || (m_pclCnx != nullptr && m_pclCnx->nGetServerMajor() <= 9);
  if (query->nGetQueryKind() == TYPEREQUETE_SELECT && bLockHint) bAddRecordLock();
  return 1;
}

int CNACommand::_bAddJoinClause(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor, long start,
                                long stop) {
  ISQLParserInformation* pi = query->piGetParserNoRef();
  for (int n = 0;; ++n) {
    stSQLPOSITION r;
    IExpOpExpression* piTree = pi->piGetJoin(n, &r);
    if (piTree == nullptr) break;
    int bOk = 1;
    const bool bThis = r.nStart == start && r.nStop == stop;
    if (bThis)
      bOk = bAddTreeExpression(query, nullptr, text, nullptr, piTree, CNASqlElt::SQLELT_JOIN, cursor, nullptr);
    piTree->Release();
    if (bThis) return bOk && _bCopyQueryText(query, text, cursor, stop);
  }
  return _bCopyQueryText(query, text, cursor, stop);
}

int CNACommand::_bFormatGROUPBY(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor) {
  for (IInfoGroupe* pi = query->piEnumRubriqueClauseGroupe(1); pi != nullptr;
       pi = query->piEnumRubriqueClauseGroupe(0)) {
    const stSQLPOSITION p = pi->stGetPosition();
    if (!p.bValid() || p.nStop <= static_cast<long>(*cursor)) continue;
    if (!_bCopyQueryText(query, text, cursor, static_cast<long>(p.nStart))) return 0;
    IInfoRubrique* piOut =
        pi->bIsAvecTable() ? nullptr : query->piGetInfoRubriqueFromAlias(nullptr, pi->pszGetNomRubrique());
    if (piOut != nullptr && bEmpty(piOut->pszGetAlias())) piOut = nullptr;
    CTString cs;
    if (piOut != nullptr && piOut->bIsCalcul()) {
      const unsigned long nBase = static_cast<unsigned long>(nGetOriginalLength());
      if (!bFormatExpressionColonneCalculee(query, piOut, &cs, CNASqlElt::SQLELT_GROUPBY, &nBase)) return 0;
      bComplete(cs.pszGet());
    } else if (piOut != nullptr) {
      _FormatRubriqueAlias(static_cast<unsigned long>(p.nStart), text, query, piOut, &cs, 0, CNASqlElt::SQLELT_GROUPBY);
      bComplete(cs.pszGet());
    } else {
      _GetFormatedOriginalTableNameAndItemName(query, pi->pszGetNomTable(), pi->pszGetNomRubrique(), &cs);
      bComplete(cs.pszGet());
    }
    *cursor = static_cast<unsigned long>(p.nStop);
  }
  return 1;
}

int CNACommand::_bFormatINSERTUPDATEList(CSQLParserInfo* query, const wchar_t* text, unsigned long* cursor,
                                         long stop) {
  if (query->nGetQueryKind() == TYPEREQUETE_INSERT) {
    // The column list (kind 1) and then the values (kind 10): each call
    // writes what lies before `stop`.
    for (IInfoInsertion* pi = query->piEnumRubriqueInsert(1); pi != nullptr; pi = query->piEnumRubriqueInsert(0)) {
      const stSQLPOSITION c = pi->stGetColonnePosition();
      if (c.bValid() && c.nStop <= stop && c.nStop > static_cast<long>(*cursor)) {
        if (!_bCopyQueryText(query, text, cursor, static_cast<long>(c.nStart))) return 0;
        _WriteTableAndItem(nullptr, pi->pszGetNomRubrique());
        *cursor = static_cast<unsigned long>(c.nStop);
      }
      const stSQLPOSITION v = pi->stGetValeurPosition();
      if (v.bValid() && v.nStop <= stop && v.nStop > static_cast<long>(*cursor)) {
        IExpOpExpression* piValue = pi->piGetValeur();
        INAItemDescription* piItem = _pclGetItemDesc(query, pi->pszGetNomTable(), pi->pszGetNomRubrique());
        int bOk = piValue != nullptr ? _bExpressionToSQL(query, text, nullptr, piValue, CNASqlElt::SQLELT_SET, cursor,
                                                         piItem, NA_IT_EMPTY)
                                     : 1;
        if (piValue != nullptr) piValue->Release();
        if (piItem != nullptr) piItem->nExternalRelease();
        if (!bOk) return 0;
      }
    }
    return _bCopyQueryText(query, text, cursor, stop);
  }
  for (IInfoAffectation* pi = query->piEnumRubriqueUpdate(1); pi != nullptr; pi = query->piEnumRubriqueUpdate(0)) {
    IExpOpExpression* piColumn = pi->piGetColonne();
    IExpOpExpression* piValue = pi->piGetValeur();
    INAItemDescription* piItem = nullptr;
    int bOk = 1;
    if (piColumn != nullptr) {
      piItem = _pclGetItemDesc(query, piColumn->pszGetNomTable(), piColumn->pszGetNomRubrique());
      bOk = _bDoExpressionColonne(query, text, piColumn, CNASqlElt::SQLELT_SET, cursor);
    }
    if (bOk && piValue != nullptr)
      bOk = _bExpressionToSQL(query, text, nullptr, piValue, CNASqlElt::SQLELT_SET, cursor, piItem, NA_IT_EMPTY);
    if (piColumn != nullptr) piColumn->Release();
    if (piValue != nullptr) piValue->Release();
    if (piItem != nullptr) piItem->nExternalRelease();
    if (!bOk) return 0;
  }
  return _bCopyQueryText(query, text, cursor, stop);
}

// ---- ORDER BY ---------------------------------------------------------------------------------

int CNACommand::_bFormatORDERBY(unsigned long* cursor, const wchar_t* text, int format, int keepDirection,
                                int asParsed, int* unique) {
  CSQLParserInfo* query = m_pclParserInfo;
  if (unique != nullptr) *unique = 0;
  const long nLength = static_cast<long>(std::wcslen(text));
  if (query == nullptr) {
    bComplete(text + *cursor, nLength - static_cast<long>(*cursor));
    *cursor = static_cast<unsigned long>(nLength);
    return 1;
  }
  const stSQLPOSITION stRange = query->piGetParserNoRef()->stGetOrderByRange();
  const int nMax = format && m_pclCnx != nullptr ? m_pclCnx->nGetOrderByMaxExpressionNbr() : 0x7FFFFFFF;
  int n = 0;
  IInfoRubrique* piLast = nullptr;
  for (IInfoOrderBy* pi = query->piEnumOrderByItem(1); pi != nullptr; pi = query->piEnumOrderByItem(0), ++n) {
    const stSQLPOSITION p = pi->stGetPosition();
    if (!p.bValid() || p.nStop <= static_cast<long>(*cursor)) continue;
    if (!_bCopyQueryText(query, text, cursor, static_cast<long>(p.nStart))) return 0;
    IInfoRubrique* piOut = query->piGetRubriqueOUT(pi->nGetIndiceRubrique());
    piLast = piOut;
    if (format && n < nMax) {
      if (pi->nGetLien() == 1 && piOut != nullptr && !piOut->bIsCalcul()) {
        CTString cs;
        if (asParsed)
          cs = pi->pszGetTexte();
        else
          _FormatRubriqueAlias(static_cast<unsigned long>(p.nStart), text, query, piOut, &cs, 0,
                               CNASqlElt::SQLELT_ORDERBY);
        bComplete(cs.pszGet());
      } else if (pi->nGetLien() != 0) {
        if (m_pclCnx != nullptr && m_pclCnx->bOrderByIndiceAllowed())
          bCompleteWithNumber(pi->nGetIndiceRubrique() + 1);
        else
          bComplete(pi->pszGetTexte());
      } else {
        if (!_bCopyQueryText(query, text, cursor, static_cast<long>(p.nStop))) return 0;
      }
      *cursor = static_cast<unsigned long>(p.nStop);
    } else if (!_bCopyQueryText(query, text, cursor, static_cast<long>(p.nStop))) {
      return 0;
    }
    // The direction word after the item.
    std::size_t i = *cursor;
    while (bSpace(text[i])) ++i;
    const std::size_t k = WordEnd(text, i);
    const std::wstring sWord(text + i, k - i);
    const bool bDesc = STR_nCompareW(sWord.c_str(), L"DESC", 1) == 0;
    const bool bAsc = STR_nCompareW(sWord.c_str(), L"ASC", 1) == 0;
    if (keepDirection) {
      if (bDesc || bAsc) {
        if (!_bCopyQueryText(query, text, cursor, static_cast<long>(k))) return 0;
      }
    } else if (bDesc || bAsc) {
      bComplete(bDesc ? L" ASC" : L" DESC");
      *cursor = static_cast<unsigned long>(k);
    } else {
      bComplete(L" DESC", 5);
    }
  }
  if (unique != nullptr && piLast != nullptr) *unique = query->bRubriqueUniqueNotNull(piLast);
  if (stRange.bValid() && stRange.nStop > static_cast<long>(*cursor))
    return _bCopyQueryText(query, text, cursor, static_cast<long>(stRange.nStop));
  return 1;
}

int CNACommand::bFormatORDERBY(int format, int keepDirection) {
  CSQLParserInfo* query = m_pclParserInfo;
  if (query == nullptr || query->piGetParserNoRef() == nullptr || m_nOrderByAt < 0) return 1;
  const stSQLPOSITION st = query->piGetParserNoRef()->stGetOrderByRange();
  if (!st.bValid()) return 1;
  CNACommand* pclTemp = new (std::nothrow) CNACommand(m_pclError, m_pclCnx);
  if (pclTemp == nullptr) {
    _SetNoMemory();
    return 0;
  }
  pclTemp->AddRef();
  pclTemp->SetDriver(m_pclDriver);
  pclTemp->SetDialectFlags(m_nDialectFlags);
  pclTemp->_SetSQLParserInfo(query);
  unsigned long nCursor = static_cast<unsigned long>(st.nStart);
  int bUnique = 0;
  const int bOk = pclTemp->_bFormatORDERBY(&nCursor, query->pszGetRequete(), format, keepDirection, 0, &bUnique);
  if (bOk) {
    std::wstring s = pclTemp->pszGetOriginalSQL();
    const wchar_t* pszRaw = pszGetOriginalSQL();
    const long nAt = std::min(m_nOrderByAt, nGetOriginalLength());
    if (nAt > 0 && !bSpace(pszRaw[nAt - 1])) s.insert(s.begin(), L' ');
    if (pszRaw[nAt] != 0 && !bSpace(pszRaw[nAt])) s += L' ';
    if (pszRaw[nAt] == 0 && nAt > 0 && bSpace(pszRaw[nAt - 1])) {
      // At the end: the ORDER BY ends the text.
    } else if (pszRaw[nAt] != 0 && bSpace(pszRaw[nAt]) && nAt > 0 && bSpace(pszRaw[nAt - 1])) {
      s += L' ';
    }
    Insert(static_cast<unsigned long>(nAt), s.c_str());
    m_nOrderByAt = -1;
  }
  pclTemp->nRelease();
  return bOk;
}

// ---- The expression walk ----------------------------------------------------------------------

stSQLPOSITION CNACommand::_stGetPositionExpression(IExpOpExpression* node) {
  if (node == nullptr) return stSQLPOSITION{};
  const int nOp = node->eGetOperateur();
  if (nOp == 1 || nOp == 3) return node->stGetPosition1();
  const stSQLPOSITION st = node->stGetPosition2();
  if (st.nStart == 0 && st.nStop == 0) return node->stGetPosition1();
  return st;
}

INAItemDescription* CNACommand::_pclGetItemDesc(CSQLParserInfo* query, const wchar_t* table, const wchar_t* name) {
  if (query == nullptr || bEmpty(name) || query->piGetParserNoRef() == nullptr) return nullptr;
  ISQLParserInformation* piParser = query->piGetParserNoRef();
  for (int i = 0; i < query->nGetFichierFromNbr(); ++i) {
    IInfoFrom* pi = query->piGetFichierFrom(i);
    if (!bEmpty(table) && !bSameName(pi->pszGetAlias(), table) && !bSameName(pi->pszGetNomTable(), table)) continue;
    INADataSourceDescription* piSource = nullptr;
    try {
      piSource = piParser->piGetDataSourceDescription(pi);
    } catch (...) {
      piSource = nullptr;
    }
    if (piSource == nullptr) continue;
    INAItemDescription* piItem = piSource->piNAGetItem(name);
    piSource->nExternalRelease();
    if (piItem != nullptr) return piItem;
  }
  if (bEmpty(table)) return nullptr;
  INADataSourceDescription* piSource = query->piGetNADataSourceDescription(table);
  if (piSource == nullptr) return nullptr;
  INAItemDescription* piItem = piSource->piNAGetItem(name);
  piSource->nExternalRelease();
  return piItem;
}

eNA_ITEMTYPE CNACommand::_eGetNodeItemType(CSQLParserInfo* query, IExpOpExpression* node, INAItemDescription** item) {
  if (item != nullptr) *item = nullptr;
  if (node == nullptr || node->eGetOperateur() != 47) return NA_IT_EMPTY;
  INAItemDescription* pi = _pclGetItemDesc(query, node->pszGetNomTable(), node->pszGetNomRubrique());
  eNA_ITEMTYPE eType = NA_IT_EMPTY;
  if (pi != nullptr)
    eType = pi->eNAGetItemType();
  else if (node->nGetTypeCode() != 0)
    eType = CNADataSourceDescription::g_eGetNAItemType(static_cast<std::uint32_t>(node->nGetTypeCode()));
  if (item != nullptr)
    *item = pi;
  else if (pi != nullptr)
    pi->nExternalRelease();
  return eType;
}

int CNACommand::_bExpressionToSQL(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* parent,
                                  IExpOpExpression* node, CNASqlElt::eSQLELT clause, unsigned long* cursor,
                                  INAItemDescription* item, eNA_ITEMTYPE type) {
  if (node == nullptr) return 1;
  const int nOp = node->eGetOperateur();
  if (nOp == 48) return _bDoExpressionLiteral(query, text, parent, node, clause, cursor, item, type);
  if (nOp == 47) return _bDoExpressionColonne(query, text, node, clause, cursor);
  if (nOp == 73) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationParsed, m_pclCnx, knErrOperator, L"MariaDB");
    return 0;
  }
  if (nOp >= 9 && nOp <= 14) {
    int bDone = 0;
    if (!_bExpressionDateEmpty(query, text, node, clause, cursor, &bDone)) return 0;
    if (bDone) return 1;
  }
  const stSQLPOSITION st = _stGetPositionExpression(node);
  CTString csName;
  if (st.bValid() && st.nStart >= static_cast<long>(*cursor) &&
      _FormatExpressionOperator(query, node, parent, clause, &csName) && csName.nTaille() > 0) {
    if (!_bCopyQueryText(query, text, cursor, static_cast<long>(st.nStart))) return 0;
    bComplete(csName.pszGet());
    std::size_t k = *cursor;
    while (std::iswalpha(static_cast<wint_t>(text[k])) || text[k] == L'_') ++k;
    *cursor = static_cast<unsigned long>(k);
  }
  // A comparison's left item lends its description to the literals after
  // it, so that they are typed by the column they are compared with.
  std::vector<IExpOpExpression*> tabOperands;
  int nCursor = 0;
  for (IExpOpExpression* pi = node->piGetOperande(&nCursor); pi != nullptr; pi = node->piGetOperande(&nCursor))
    tabOperands.push_back(pi);
  const bool bFunction = CSQLParserInfo::s_bIsFunction(nOp) != 0;
  INAItemDescription* piLeft = nullptr;
  int bOk = 1;
  for (std::size_t n = 0; n < tabOperands.size() && bOk; ++n) {
    IExpOpExpression* pi = tabOperands[n];
    const int nIndex = static_cast<int>(n);
    if (nIndex > 0 && (nOp == 0 || nOp == 2 || nOp == 4 || nOp == 5)) _vbFormatExpressionOperatorEntreOperande();
    if (nIndex > 0 && _vbSkipOperande()) continue;
    INAItemDescription* piItem = item;
    eNA_ITEMTYPE eType = type;
    if (nIndex == 0 && pi->eGetOperateur() == 47 && !bFunction && nOp != 1 && nOp != 3)
      _eGetNodeItemType(query, pi, &piLeft);
    if (nIndex > 0 && piLeft != nullptr) {
      piItem = piLeft;
      eType = NA_IT_EMPTY;
    }
    eType = _eTypeParameter(clause, node, nIndex, eType, &piItem);
    if (bFunction) {
      // The text before the argument (bracket or separator) as the
      // dialect writes it, then the hook around the argument.
      const stSQLPOSITION stArg = _stGetPositionExpression(pi);
      if (stArg.bValid()) bOk = _bDoExpressionArgument(query, text, node, nIndex, static_cast<long>(stArg.nStart), cursor);
      if (bOk) _vConvertirFonction(query, node, nIndex, 1);
    }
    if (bOk) bOk = _bExpressionToSQL(query, text, node, pi, clause, cursor, piItem, eType);
    if (bFunction && bOk) _vConvertirFonction(query, node, nIndex, 0);
  }
  // After the last argument, up to the function's closing bracket.
  if (bOk && bFunction && !tabOperands.empty()) {
    const stSQLPOSITION stFunction = _stGetPositionExpression(node);
    if (stFunction.bValid() && stFunction.nStop >= 1 &&
        stFunction.nStop <= static_cast<long>(std::wcslen(text)) && text[stFunction.nStop - 1] == L')')
      bOk = _bDoExpressionArgument(query, text, node, static_cast<int>(tabOperands.size()),
                                   static_cast<long>(stFunction.nStop - 1), cursor);
  }
  for (IExpOpExpression* pi : tabOperands) pi->Release();
  if (piLeft != nullptr) piLeft->nExternalRelease();
  return bOk;
}

int CNACommand::_bDoExpressionArgument(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* function,
                                       int argument, long upto, unsigned long* cursor) {
  const long nLength = static_cast<long>(std::wcslen(text));
  if (upto > nLength) return 0;
  // An empty piece is offered too: a dialect may write something where the
  // query has nothing (before a closing bracket).
  if (upto < static_cast<long>(*cursor)) return 1;
  const std::wstring sPiece(text + *cursor, static_cast<std::size_t>(upto - static_cast<long>(*cursor)));
  // A character-set introducer ("_utf8", "_utf8mb4" ...) just before the
  // argument belongs to it: it is kept as written, only what comes before
  // it is the separator the dialect may rewrite.
  std::size_t nIntro = sPiece.size();
  auto bUtf8At = [&](std::size_t k) {
    return k + 4 <= sPiece.size() && std::towlower(static_cast<wint_t>(sPiece[k])) == L'u' &&
           std::towlower(static_cast<wint_t>(sPiece[k + 1])) == L't' &&
           std::towlower(static_cast<wint_t>(sPiece[k + 2])) == L'f' && sPiece[k + 3] == L'8';
  };
  if (bUtf8At(0)) {
    nIntro = 0;
  } else {
    const std::size_t k = sPiece.rfind(L'_');
    if (k != std::wstring::npos && bUtf8At(k + 1)) {
      std::size_t e = k + 5;
      while (e < sPiece.size() && (std::iswalnum(static_cast<wint_t>(sPiece[e])) || bSpace(sPiece[e]))) ++e;
      if (e == sPiece.size()) nIntro = k;
    }
  }
  if (nIntro == 0 && !sPiece.empty()) return _bCopyQueryText(query, text, cursor, upto);
  const std::wstring sSeparator = sPiece.substr(0, nIntro);
  CTString cs(sSeparator.c_str());
  if (!_FormatExpressionArgument(query, function, argument, &cs)) return _bCopyQueryText(query, text, cursor, upto);
  bComplete(cs.pszGet());
  *cursor += static_cast<unsigned long>(nIntro);
  return _bCopyQueryText(query, text, cursor, upto);
}

int CNACommand::_bExpressionColonneToSQL(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* node,
                                         CNASqlElt::eSQLELT clause, unsigned long* cursor) {
  if (node == nullptr) return 1;
  if (node->eGetOperateur() == 47) return _bDoExpressionColonne(query, text, node, clause, cursor);
  int nCursor = 0;
  int bOk = 1;
  for (IExpOpExpression* pi = node->piGetOperande(&nCursor); pi != nullptr; pi = node->piGetOperande(&nCursor)) {
    if (bOk) bOk = _bExpressionColonneToSQL(query, text, pi, clause, cursor);
    pi->Release();
  }
  return bOk;
}

int CNACommand::_bDoExpressionLiteral(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* parent,
                                      IExpOpExpression* node, CNASqlElt::eSQLELT clause, unsigned long* cursor,
                                      INAItemDescription* item, eNA_ITEMTYPE type) {
  const stSQLPOSITION st = _stGetPositionExpression(node);
  if (!st.bValid() || st.nStop <= static_cast<long>(*cursor)) return 1;
  CAny clValue;
  if (st.nStop == st.nStart || !_bShouldAddParameter(query, node, parent, clause, item) ||
      !node->bGetLiteral(&clValue))
    return _bCopyQueryText(query, text, cursor, static_cast<long>(st.nStop));
  if (!_bCopyQueryText(query, text, cursor, static_cast<long>(st.nStart))) return 0;
  const int nParentOp = parent != nullptr ? parent->eGetOperateur() : -1;
  int bOk;
  if (nParentOp == 32 && !clValue.bIsNull() && bTextType(clValue.nGetTypeCode())) {
    // The LIKE form undoes doubled quotes: the pattern's own quotes are
    // doubled first so that they come back as they were.
    std::wstring s = WideText(clValue);
    std::wstring sDoubled;
    for (wchar_t c : s) {
      sDoubled += c;
      if (c == L'\'') sDoubled += c;
    }
    SetWideText(&clValue, sDoubled);
    bOk = bAddParameter(&clValue, 32, knOptionFromLiteral | CNAParameter::knOptionLike, nullptr, parent->wGetEscape(),
                        CNAParameter::NAPARAM_IN);
  } else {
    FormatExpressionLiteral(clause, nParentOp, node, item, type, &clValue);
    bOk = bAddParameter(&clValue, nParentOp, knOptionFromLiteral, nullptr, 0, CNAParameter::NAPARAM_IN);
  }
  if (!bOk) return 0;
  if (item != nullptr) {
    // The column the statement's record has for the item, when it has one,
    // so that the value is written as that column takes it.
    CNAParameter* pcl = pclGetParameterNoRef(static_cast<unsigned int>(nGetParameterNbr() - 1));
    if (pcl != nullptr) {
      pcl->SetItem(item);
      CNAColumn* pclColumn = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnNoRef(item) : nullptr;
      if (pclColumn != nullptr) pcl->SetColum(pclColumn);
    }
  }
  *cursor = static_cast<unsigned long>(st.nStop);
  return 1;
}

int CNACommand::_bDoExpressionColonne(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* node,
                                      CNASqlElt::eSQLELT clause, unsigned long* cursor) {
  const stSQLPOSITION st = _stGetPositionExpression(node);
  if (!st.bValid() || st.nStop <= static_cast<long>(*cursor)) return 1;
  if (!_bCopyQueryText(query, text, cursor, static_cast<long>(st.nStart))) return 0;
  CTString cs;
  const unsigned long nBase = static_cast<unsigned long>(nGetOriginalLength());
  // These kinds refuse a qualified column in an UPDATE.
  const int nKind = _nKind();
  const bool bItemAlone =
      query->nGetQueryKind() == TYPEREQUETE_UPDATE && (nKind == 6 || nKind == 8 || nKind == 13);
  if (!_bFormatExpressionItemName(query, node->pszGetNomTable(), node->pszGetNomRubrique(), clause, &cs, &nBase,
                                  bItemAlone))
    return 0;
  bComplete(cs.pszGet());
  *cursor = static_cast<unsigned long>(st.nStop);
  return 1;
}

int CNACommand::_bFormatExpressionItemName(CSQLParserInfo* query, const wchar_t* table, const wchar_t* name,
                                           CNASqlElt::eSQLELT clause, CTString* out, const unsigned long* base,
                                           bool itemAlone) {
  CTString csTable(table), csName(name);
  const bool bHavingAsWritten = clause == CNASqlElt::SQLELT_HAVING && (m_nDialectFlags & 1) != 0;
  if (!bHavingAsWritten) {
    // An output item named by its alias: a calculated one is written as
    // its expression, any other lends its table and name.
    IInfoRubrique* piOut = query->piGetInfoRubriqueFromAlias(table, name);
    if (piOut != nullptr && !bEmpty(piOut->pszGetAlias()) && bSameName(piOut->pszGetAlias(), name) &&
        piOut->bIsCalcul())
      return bFormatExpressionColonneCalculee(query, piOut, out, clause, base);
    _GetOriginalTableNameAndItemName(query, table, name, &csTable, &csName);
    if (clause == CNASqlElt::SQLELT_SELECT || clause == CNASqlElt::SQLELT_WHERE ||
        clause == CNASqlElt::SQLELT_HAVING) {
      INAItemDescription* pi = _pclGetOriginalItemDesc(query, table, name);
      if (pi != nullptr) {
        if (!bEmpty(pi->pszGetName())) csName = pi->pszGetName();
        pi->nExternalRelease();
      }
    }
  }
  CTString csResolved = itemAlone ? CTString() : bHavingAsWritten ? csTable : ResolvedTable(query, csTable.pszGet());
  _FormatTableAndItemName(csResolved.pszGet(), csName.pszGet(), out);
  return 1;
}

void CNACommand::_GetOriginalTableNameAndItemName(CSQLParserInfo* query, const wchar_t* table, const wchar_t* name,
                                                  CTString* outTable, CTString* outName) {
  outTable->Set(table);
  outName->Set(name);
  if (query == nullptr || bEmpty(name)) return;
  IInfoRubrique* piOut = query->piGetInfoRubriqueFromAlias(table, name);
  if (piOut == nullptr || piOut->bIsCalcul() || bEmpty(piOut->pszGetAlias()) ||
      !bSameName(piOut->pszGetAlias(), name))
    return;
  // Read both before writing: the output item's texts are the parser's.
  CTString csTable(piOut->pszGetNomTable()), csName(piOut->pszGetNomRubrique());
  *outTable = csTable;
  *outName = csName;
}

INAItemDescription* CNACommand::_pclGetOriginalItemDesc(CSQLParserInfo* query, const wchar_t* table,
                                                        const wchar_t* name) {
  CTString csTable, csName;
  _GetOriginalTableNameAndItemName(query, table, name, &csTable, &csName);
  return _pclGetItemDesc(query, csTable.pszGet(), csName.pszGet());
}

void CNACommand::_GetFormatedOriginalTableNameAndItemName(CSQLParserInfo* query, const wchar_t* table,
                                                          const wchar_t* name, CTString* out) {
  CTString csTable, csName;
  _GetOriginalTableNameAndItemName(query, table, name, &csTable, &csName);
  const CTString csResolved = ResolvedTable(query, csTable.pszGet());
  _FormatTableAndItemName(csResolved.pszGet(), csName.pszGet(), out);
}

int CNACommand::bFormatExpressionColonneCalculee(CSQLParserInfo* query, const IInfoRubrique* item, CTString* out,
                                                 CNASqlElt::eSQLELT clause, const unsigned long* base) {
  std::vector<const IInfoRubrique*>& chain = CalculatedChain();
  auto* pi = const_cast<IInfoRubrique*>(item);
  if (std::find(chain.begin(), chain.end(), item) != chain.end()) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationParsed, m_pclCnx, knErrCalculatedItem,
                           pi->pszGetAlias());
    return 0;
  }
  CNACommand* pclTemp =
      m_pclDriver != nullptr ? m_pclDriver->pclAllocCommand(m_pclError, m_pclCnx) : ::pclAllocCommand(m_pclError, m_pclCnx);
  if (pclTemp == nullptr) {
    _SetNoMemory();
    return 0;
  }
  pclTemp->AddRef();
  pclTemp->SetDriver(m_pclDriver);
  pclTemp->SetDialectFlags(m_nDialectFlags);
  if (base == nullptr) pclTemp->SetParametersAllowed(0);
  pclTemp->m_pCurrentCalculatedItem = pi;
  chain.push_back(item);
  IExpOpExpression* piTree = pi->piGetExpression();
  int bOk = piTree != nullptr ? pclTemp->bFormatSubExpression(query, query->pszGetRequete(), nullptr, piTree, clause)
                              : 0;
  if (piTree != nullptr) piTree->Release();
  chain.pop_back();
  pclTemp->m_pCurrentCalculatedItem = nullptr;
  if (bOk) {
    out->Set(pclTemp->pszGetOriginalSQL());
    if (base != nullptr) {
      for (int i = 0; i < pclTemp->nGetParameterNbr() && bOk; ++i) {
        CNAParameter* pcl = pclTemp->pclGetParameterNoRef(static_cast<unsigned int>(i));
        pcl->SetPosition(pcl->nGetPosition() + *base);
        bOk = bAddParameter(pcl);
      }
    }
  }
  pclTemp->nRelease();
  return bOk;
}

int CNACommand::_bExpressionDateEmpty(CSQLParserInfo* query, const wchar_t* text, IExpOpExpression* node,
                                      CNASqlElt::eSQLELT /*clause*/, unsigned long* cursor, int* done) {
  *done = 0;
  int nCursor = 0;
  IExpOpExpression* piLeft = node->piGetOperande(&nCursor);
  IExpOpExpression* piRight = piLeft != nullptr ? node->piGetOperande(&nCursor) : nullptr;
  bool bEmptyDate = false;
  if (piLeft != nullptr && piRight != nullptr && piLeft->eGetOperateur() == 47 && piRight->eGetOperateur() == 48 &&
      bDateType(_eGetNodeItemType(query, piLeft, nullptr))) {
    CAny clValue;
    if (piRight->bGetLiteral(&clValue)) {
      const unsigned t = clValue.nGetTypeCode();
      bEmptyDate = clValue.bIsNull() || t == 0 ||
                   ((t == 16 || t == 18 || t == 19 || t == 24 || t == 110 || t == 128) && WideText(clValue).empty());
    }
  }
  int bOk = 1;
  const stSQLPOSITION st = _stGetPositionExpression(node);
  if (bEmptyDate && st.bValid() && st.nStart >= static_cast<long>(*cursor)) {
    const bool bNullFirst = m_pclCnx == nullptr || m_pclCnx->bNULLBeforeNotNULL();
    static const wchar_t* const kaFirst[] = {L" IS NULL ", L" IS NOT NULL ", L" 0=1 ", L" IS NULL ", L" IS NOT NULL ",
                                             L" 1=1 "};
    static const wchar_t* const kaLast[] = {L" IS NULL ", L" IS NOT NULL ", L" IS NOT NULL ", L" 1=1 ", L" 0=1 ",
                                            L" IS NULL "};
    const int nOp = node->eGetOperateur();
    const wchar_t* pszWrite = (bNullFirst ? kaFirst : kaLast)[nOp - 9];
    // The whole comparison is replaced: an IS [NOT] NULL keeps its item,
    // a constant truth stands alone (an item before it would not be SQL).
    bOk = _bCopyQueryText(query, text, cursor, static_cast<long>(st.nStart));
    if (bOk && pszWrite[1] == L'I') bOk = _bDoExpressionColonne(query, text, piLeft, CNASqlElt::SQLELT_WHERE, cursor);
    if (bOk) {
      bComplete(pszWrite);
      *cursor = static_cast<unsigned long>(st.nStop);
      *done = 1;
    }
  }
  if (piLeft != nullptr) piLeft->Release();
  if (piRight != nullptr) piRight->Release();
  return bOk;
}

// ---- Literals -----------------------------------------------------------------------------------

eNA_ITEMTYPE CNACommand::_eTypeParameter(CNASqlElt::eSQLELT clause, IExpOpExpression* node, int operand,
                                         eNA_ITEMTYPE type, INAItemDescription** item) {
  const int nOp = node != nullptr ? node->eGetOperateur() : -1;
  auto forget = [&]() {
    if (item != nullptr) *item = nullptr;
  };
  switch (nOp) {
    case 1:
    case 3:
      return operand == 0 ? type : NA_IT_EMPTY;
    case 59:
    case 70:
      if (operand == 1) forget();
      return NA_IT_EMPTY;
    case 74:
    case 107:
      forget();
      return NA_IT_EMPTY;
    case 88: {
      forget();
      const int nCp = m_pclCnx != nullptr ? static_cast<int>(_nTextCodePage()) : 0;
      return nCp == -2 || nCp == 65001 ? NA_IT_UNICODE : NA_IT_TEXTE;
    }
    case 94:
    case 106:
      if (operand == 0) forget();
      return NA_IT_EMPTY;
    case 98:
      if (operand == 0) return bDateType(static_cast<std::uint32_t>(type)) ? NA_IT_EMPTY : NA_IT_DATETIME;
      if (operand == 1) {
        forget();
        return NA_IT_I4;
      }
      return NA_IT_EMPTY;
    case 99:
      return operand == 0 ? NA_IT_DATE8 : NA_IT_EMPTY;
    case 100:
      return NA_IT_DATE8;
    case 101:
      if (operand == 1) forget();
      return operand == 0 ? NA_IT_DATE8 : NA_IT_EMPTY;
    case 102:
      if (operand == 0) return NA_IT_DATETIME;
      if (operand == 1 || operand == 2) {
        forget();
        return NA_IT_TEXTE;
      }
      return NA_IT_EMPTY;
    default:
      break;
  }
  if (item != nullptr && *item != nullptr && type == NA_IT_EMPTY) {
    const int nFormat = eGetFormatExpressionColonne(clause, (*item)->eNAGetItemType(), nOp, node);
    return nFormat != 0 ? static_cast<eNA_ITEMTYPE>(nFormat) : NA_IT_EMPTY;
  }
  return type;
}

int CNACommand::_TypeRetour(eOPEXPRESSION op, eNA_ITEMTYPE type) {
  auto in = [op](std::initializer_list<std::pair<int, int>> ranges) {
    for (const auto& r : ranges)
      if (op >= r.first && op <= r.second) return true;
    return false;
  };
  if (in({{7, 7}, {9, 26}, {31, 33}, {48, 49}, {54, 58}, {73, 74}, {77, 79}, {89, 96}, {100, 100}, {106, 108},
          {115, 117}, {135, 135}, {150, 155}}))
    return 0;
  const std::uint32_t t = static_cast<std::uint32_t>(type);
  if (in({{42, 46}, {50, 53}, {75, 76}, {80, 88}, {105, 105}, {118, 130}}))
    return t == 2 || t == 15 || t == 29 || t == 30 ? 1 : 0;
  if (in({{97, 99}, {101, 102}, {104, 104}, {109, 109}})) return bDateType(t) ? 1 : 0;
  return 1;
}

void CNACommand::FormatExpressionLiteral(CNASqlElt::eSQLELT clause, eOPEXPRESSION op, IExpOpExpression* node,
                                         INAItemDescription* item, eNA_ITEMTYPE type, CAny* value) {
  if (value == nullptr) return;
  // 1. The item type.
  eNA_ITEMTYPE eType = type;
  if (eType == NA_IT_EMPTY && item != nullptr) {
    const int nFormat = eGetFormatExpressionColonne(clause, item->eNAGetItemType(), op, node);
    eType = nFormat != 0 ? static_cast<eNA_ITEMTYPE>(nFormat) : item->eNAGetItemType();
  }
  if (eType == NA_IT_EMPTY) return;
  const std::uint32_t t = static_cast<std::uint32_t>(eType);
  // 2. A partial date compared for equality: completed with the lowest
  // values of what is missing (the platform's date text, digits only).
  if ((op == 9 || op == 10) && !value->bIsNull() && bTextType(value->nGetTypeCode())) {
    std::wstring s = WideText(*value);
    const bool bDigits = !s.empty() && std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    if (bDigits && (t == 10 || t == 14) && (s.size() == 4 || s.size() == 6)) {
      while (s.size() < 8) s += s.size() == 4 || s.size() == 6 ? L"01" : L"0";
      SetWideText(value, s);
    } else if (bDigits && t == 24 && (s.size() == 4 || s.size() == 6 || (s.size() >= 8 && s.size() <= 16))) {
      while (s.size() < 8) s += L"01";
      while (s.size() < 17) s += L"0";
      SetWideText(value, s);
    }
  }
  // 3. Time items of format kind 2: numbers become text of the item's
  // size less one (a size of 0 leaves the text as it is).
  if (t == NA_IT_HEURE && item != nullptr && eGetFormatExpressionColonne(clause, NA_IT_HEURE, op, node) == 2) {
    const unsigned c = value->nGetTypeCode();
    if (c == 8 || c == 9 || c == 25 || c == 129) {
      const std::uint32_t n = item->nGetItemSize();
      if (n > 1) {
        // The value's own text (the number's digits), not an SQL literal:
        // a quoted literal cut to the item's size would lose its closing
        // quote and be quoted again as a parameter.
        CXYString<wchar_t> clText;
        if (value->__nFillString(clText, nullptr) <= knLastConversionSuccess) {
          std::wstring s = clText.pszGet() != nullptr ? clText.pszGet() : L"";
          if (s.size() > n - 1)
            s.resize(n - 1);
          else if (s.empty() || s.back() != L'%')
            while (s.size() < n - 1) s += L'0';
          SetWideText(value, s);
        }
      }
      return;
    }
  }
  // 4. Cast to what the column takes.
  if (m_pclCnx != nullptr && !value->bIsNull()) {
    CAny clCast(*value);
    if (m_pclCnx->bCastCAnyIntoDBType(m_pclError, &clCast, eType, eType, 0)) *value = clCast;
  }
}

// ---- Hooks --------------------------------------------------------------------------------------

int CNACommand::_FormatItemNameInWHEREClause(ISQLParserInformation* parser, INAItemDescription* item,
                                             const wchar_t* table, CTString* out, CNAParameter* parameter) {
  if (out == nullptr) return 0;
  CTString csTable(table), csName(*out);
  // An alias of an output item: the item's own table and name.
  IInfoRubrique* pi = CSQLParserInfo::g_piGetInfoRubriqueFromAlias(parser, table, out->pszGet());
  if (pi != nullptr && !pi->bIsCalcul() && !bEmpty(pi->pszGetAlias())) {
    csTable = pi->pszGetNomTable();
    csName = pi->pszGetNomRubrique();
  }
  // A logical table name gets its physical name (aliases have none).
  CTString csPhysical = CSQLParserInfo::s_csGetPhysicalName(csTable.pszGet(), parser);
  if (csPhysical.nTaille() > 0) csTable = csPhysical;
  (void)item;
  (void)parameter;
  _FormatTableAndItemName(csTable.pszGet(), csName.pszGet(), out);
  return 1;
}

int CNACommand::_FormatRubriqueAlias(unsigned long position, const wchar_t* /*text*/, CSQLParserInfo* query,
                                     const IInfoRubrique* item, CTString* out, int further,
                                     CNASqlElt::eSQLELT /*clause*/) {
  if (item == nullptr || out == nullptr) return 0;
  auto* pi = const_cast<IInfoRubrique*>(item);
  const stSQLPOSITION a = pi->stGetAliasPosition();
  if (!bEmpty(pi->pszGetAlias()) && (further == 0 || (a.bValid() && static_cast<unsigned long>(a.nStart) == position))) {
    if (m_pclCnx != nullptr)
      m_pclCnx->bFormatItemName(m_pclError, pi->pszGetAlias(), out);
    else
      *out = pi->pszGetAlias();
    return 1;
  }
  const CTString csTable = ResolvedTable(query, pi->pszGetNomTable());
  _FormatTableAndItemName(csTable.pszGet(), pi->pszGetNomRubrique(), out);
  return 1;
}

int CNACommand::_FormatExpressionArgument(CSQLParserInfo*, IExpOpExpression* expression, int argument,
                                          CTString* out) {
  // MariaDB keeps every function's argument separators; the other kinds
  // of the generic layer get their functions' argument forms.
  const int nKind = _nKind();
  if (expression == nullptr || out == nullptr || nKind == DATASOURCE_MARIADB) return 0;
  const int nOp = expression->eGetOperateur();
  int nCount = 0;
  int nCursor = 0;
  for (IExpOpExpression* pi = expression->piGetOperande(&nCursor); pi != nullptr;
       pi = expression->piGetOperande(&nCursor)) {
    pi->Release();
    ++nCount;
  }
  const bool bBetween = argument >= 1 && argument < nCount;  // a separator between two arguments
  const bool bClosing = argument == nCount;                   // before the closing bracket
  CTString csWritten(*out);
  const wchar_t* pszBefore = nullptr;  // written ahead of the text as parsed
  const wchar_t* pszAfter = nullptr;   // written after it
  const wchar_t* pszInstead = nullptr;
  switch (nOp) {
    case 52:
    case 53:
      // LTRIM(x) / RTRIM(x) as TRIM(LEADING FROM x) / TRIM(TRAILING FROM x).
      if (nKind == 11 && argument == 0) pszAfter = nOp == 52 ? L"LEADING FROM " : L"TRAILING FROM ";
      break;
    case 88:
      // Concatenation of more than two arguments: CONCAT(a,b)||(c||d).
      if (nKind == 1 && bBetween && argument >= 2) pszInstead = argument == 2 ? L")||(" : L"||";
      break;
    case 92:
      if (nKind == 1 && bClosing) pszBefore = L",'FMXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX'";
      if (nKind == 11 && bClosing) pszBefore = L"),3";
      break;
    case 42:
      // The leftmost characters: a substring from position 1.
      if ((nKind == 1 || nKind == 6 || nKind == 11 || nKind == 13) && argument == 1 && nCount >= 2) pszBefore = L",1";
      break;
    case 75:
    case 76:
      if (nKind == 1 && bBetween) pszInstead = L",";
      break;
    default:
      break;
  }
  if (pszInstead != nullptr) {
    out->Set(pszInstead);
    return 1;
  }
  if (pszBefore == nullptr && pszAfter == nullptr) return 0;
  out->Set(pszBefore, csWritten.pszGet(), pszAfter);
  return 1;
}

int CNACommand::_FormatExpressionLiteral(CSQLParserInfo* query, IExpOpExpression* expression, CTString* out) {
  if (query == nullptr || expression == nullptr || out == nullptr) return 0;
  const stSQLPOSITION st = _stGetPositionExpression(expression);
  const wchar_t* pszText = query->pszGetRequete();
  if (!st.bValid() || pszText == nullptr || st.nStop > static_cast<long>(std::wcslen(pszText))) return 0;
  out->Set(pszText + st.nStart, static_cast<unsigned long>(st.nStop - st.nStart));
  return 1;
}

int CNACommand::_FormatExpressionItemName(CSQLParserInfo* query, IExpOpExpression* expression, CTString* out) {
  if (query == nullptr || expression == nullptr || out == nullptr) return 0;
  return _bFormatExpressionItemName(query, expression->pszGetNomTable(), expression->pszGetNomRubrique(),
                                    CNASqlElt::SQLELT_WHERE, out, nullptr);
}

int CNACommand::_FormatExpressionOperator(CSQLParserInfo*, IExpOpExpression* expression, IExpOpExpression*,
                                          CNASqlElt::eSQLELT, CTString* out) {
  if (expression == nullptr || out == nullptr) return 0;
  const int nOp = expression->eGetOperateur();
  if (!CSQLParserInfo::s_bIsFunction(nOp)) return 0;
  const wchar_t* psz = s_pszRenameFunction(nOp, _nKind());
  if (psz == nullptr) return 0;
  out->Set(psz);
  return 1;
}

int CNACommand::_FormatTableClauseFROM(CSQLParserInfo* query, const IInfoRubrique* table, CTString* out) {
  if (table == nullptr || out == nullptr) return 0;
  CTString cs = query != nullptr ? query->csGetPhysicalName(const_cast<IInfoRubrique*>(table)) : CTString();
  if (cs.nTaille() == 0) cs = const_cast<IInfoRubrique*>(table)->pszGetNomTable();
  if (m_pclCnx != nullptr) return m_pclCnx->bFormatTableName(m_pclError, cs.pszGet(), out);
  *out = cs;
  return 1;
}

int CNACommand::_FormatTableAliasClauseFROM(CSQLParserInfo*, const IInfoRubrique* table, CTString* out) {
  if (table == nullptr || out == nullptr) return 0;
  const wchar_t* psz = const_cast<IInfoRubrique*>(table)->pszGetNomTable();
  if (m_pclCnx != nullptr) return m_pclCnx->bFormatItemName(m_pclError, psz, out);
  *out = psz;
  return 1;
}
