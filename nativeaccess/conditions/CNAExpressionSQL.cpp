// CNAExpression: writing a condition tree into a command (the walk with
// folding, and the text of each kind of leaf).
#include <new>
#include <string>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAColumn.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNAExpression.h"
#include "CNARecord.h"
#include "CNASqlElt.h"
#include "CSQLParserInfo.h"
#include "CXYString.h"

namespace {

// Where a cut goes back to: the command's text and parameter count, and the
// search's parameter count. Cutting by count keeps a parameter that sits
// exactly at the cut position (the last value of a left operand).
struct stCut {
  CNACommand::stMark stCommand;
  int nSearch = 0;
};

stCut MarkNow(CNACommand* command, CNARechercheParameters* search) {
  stCut st;
  st.stCommand = command->stGetMark();
  st.nSearch = search != nullptr ? search->nGetNbParameter() : 0;
  return st;
}

void CutBack(CNACommand* command, CNARechercheParameters* search, const stCut& cut) {
  command->CutToMark(cut.stCommand);
  if (search != nullptr) search->_RemoveParameterFromIndex(cut.nSearch);
}

bool Folded(eNAOperator op) { return op == NA_OPERATOR_FALSE || op == NA_OPERATOR_TRUE; }

CNADriver* DriverOf(CNACommand* command) {
  CNADriver* pclDriver = command != nullptr ? command->pclGetDriver() : nullptr;
  return pclDriver != nullptr ? pclDriver : CNADriver::s_pclDriver;
}

constexpr CNASqlElt::eSQLELT knClauseWhere = static_cast<CNASqlElt::eSQLELT>(3);

}  // namespace

// ---- The walk ------------------------------------------------------------------------------

int CNAExpression::bGetSQL(CNACommand* command, eNAOperator parent, CNARechercheParameters* search, int* pbSkip,
                           CNARecord* record) {
  int bSkipLocal = 0;
  if (pbSkip == nullptr) pbSkip = &bSkipLocal;
  *pbSkip = 0;
  _ResetNullSelected();
  if (command == nullptr) return 0;
  const stCut stEntry = MarkNow(command, search);
  const eNAOperator eOp = m_eOperator;
  int bResult = 1;

  if (eOp == NA_OPERATOR_NONE || Folded(eOp)) {
    // Nothing to write: an empty node, or one that folded before. The
    // search writes "0=1" for a root that is always false.
    *pbSkip = 1;
  } else if ((eOp == NA_OPERATOR_AND || eOp == NA_OPERATOR_OR) && (m_pclLeft == nullptr || m_pclRight == nullptr)) {
    CNAExpression* pclOnly = m_pclLeft != nullptr ? m_pclLeft : m_pclRight;
    if (pclOnly == nullptr) {
      *pbSkip = 1;
    } else {
      bResult = pclOnly->bGetSQL(command, parent, search, pbSkip, record);
      if (*pbSkip) {
        if (Folded(pclOnly->m_eOperator)) m_eOperator = pclOnly->m_eOperator;
      } else if (!_bCopyColumnValuesNullSelected(pclOnly, 0)) {
        bResult = 0;
      }
    }
  } else if (eOp == NA_OPERATOR_AND || eOp == NA_OPERATOR_OR) {
    const eNAOperator eNeutral = eOp == NA_OPERATOR_AND ? NA_OPERATOR_TRUE : NA_OPERATOR_FALSE;
    const eNAOperator eAbsorbing = eOp == NA_OPERATOR_AND ? NA_OPERATOR_FALSE : NA_OPERATOR_TRUE;
    CNAExpression* pclLeft = m_pclLeft;
    CNAExpression* pclRight = m_pclRight;
    if (pclLeft->m_eOperator == eAbsorbing || pclRight->m_eOperator == eAbsorbing) {
      m_eOperator = eAbsorbing;
      *pbSkip = 1;
    } else if (pclLeft->m_eOperator == eNeutral && pclRight->m_eOperator == eNeutral) {
      m_eOperator = eNeutral;
      *pbSkip = 1;
    } else if (pclLeft->m_eOperator == eNeutral || pclRight->m_eOperator == eNeutral) {
      CNAExpression* pclOther = pclLeft->m_eOperator == eNeutral ? pclRight : pclLeft;
      bResult = pclOther->bGetSQL(command, parent, search, pbSkip, record);
      if (*pbSkip) {
        if (Folded(pclOther->m_eOperator)) m_eOperator = pclOther->m_eOperator;
      } else if (!_bCopyColumnValuesNullSelected(pclOther, 0)) {
        bResult = 0;
      }
    } else {
      const bool bParen = parent == NA_OPERATOR_AND || parent == NA_OPERATOR_NOT;
      if (bParen) command->bComplete(L"(");
      int bSkipLeft = 0;
      int bSkipRight = 0;
      bResult = pclLeft->bGetSQL(command, eOp, search, &bSkipLeft, record);
      if (!bSkipLeft) {
        const stCut stBeforeOp = MarkNow(command, search);
        command->bComplete(s_pszDumpOp(eOp));
        if (!pclRight->bGetSQL(command, eOp, search, &bSkipRight, record)) bResult = 0;
        if (bSkipRight && pclRight->m_eOperator == eAbsorbing) {
          m_eOperator = eAbsorbing;
          *pbSkip = 1;
        } else if (bSkipRight) {
          CutBack(command, search, stBeforeOp);
          if (!_bCopyColumnValuesNullSelected(pclLeft, 0)) bResult = 0;
          if (bParen) command->bComplete(L")");
        } else {
          if (!_bCombineColumnValuesNullSelected(pclLeft, pclRight)) bResult = 0;
          if (bParen) command->bComplete(L")");
        }
      } else {
        CutBack(command, search, stEntry);
        if (pclLeft->m_eOperator == eAbsorbing) {
          m_eOperator = eAbsorbing;
          *pbSkip = 1;
        } else {
          if (!pclRight->bGetSQL(command, parent, search, &bSkipRight, record)) bResult = 0;
          if (bSkipRight) {
            if (Folded(pclRight->m_eOperator)) m_eOperator = pclRight->m_eOperator;
            *pbSkip = 1;
          } else if (!_bCopyColumnValuesNullSelected(pclRight, 0)) {
            bResult = 0;
          }
        }
      }
    }
  } else if (eOp == NA_OPERATOR_NOT) {
    if (m_pclLeft == nullptr) {
      *pbSkip = 1;
    } else {
      command->bComplete(L" NOT (");
      int bSkipOperand = 0;
      bResult = m_pclLeft->bGetSQL(command, NA_OPERATOR_NOT, search, &bSkipOperand, record);
      if (bSkipOperand) {
        // NOT of a constant is the other constant; NOT of nothing is
        // nothing.
        if (m_pclLeft->m_eOperator == NA_OPERATOR_FALSE) m_eOperator = NA_OPERATOR_TRUE;
        if (m_pclLeft->m_eOperator == NA_OPERATOR_TRUE) m_eOperator = NA_OPERATOR_FALSE;
        *pbSkip = 1;
      } else {
        command->bComplete(L")");
        if (!_bCopyColumnValuesNullSelected(m_pclLeft, 1)) bResult = 0;
      }
    }
  } else if (eOp == NA_OPERATOR_SQL && m_pclColumn == nullptr) {
    bResult = _bGetSQLFromSQL(command, search, record);
  } else {
    if (m_pclColumn != nullptr) {
      if (m_pclColumn->eGetTNType() == ANY_BOOL) {
        _ProcessBoolean();
      } else if (s_bIsTextTNType(m_pclColumn->eGetTNType())) {
        _ProcessString();
      }
    }
    if (Folded(m_eOperator)) {
      *pbSkip = 1;
    } else {
      bResult = _bGetSQLFromValue(command, search, pbSkip);
    }
  }
  if (*pbSkip) {
    CutBack(command, search, stEntry);
    _ResetNullSelected();
  }
  return bResult;
}

// ---- Normalisation ---------------------------------------------------------------------------

void CNAExpression::_ProcessBoolean() {
  if (m_eOperator < NA_OPERATOR_GT || m_eOperator > NA_OPERATOR_LE || m_pclValue == nullptr) return;
  CAny clValue;
  if (!m_pclValue->bGetValue(&clValue) || clValue.bIsNull() || clValue.bIsEmpty()) return;
  const unsigned short wType = clValue.nGetTypeCode();
  if (wType != 1 && wType != 4 && wType != 8) return;
  int n = 0;
  if (clValue.nGetINT(&n) > 99) return;
  const bool bTrue = n != 0;
  switch (static_cast<int>(m_eOperator)) {
    case 5: m_eOperator = bTrue ? NA_OPERATOR_FALSE : NA_OPERATOR_NE; break;
    case 6: m_eOperator = bTrue ? NA_OPERATOR_NE : NA_OPERATOR_FALSE; break;
    case 7: m_eOperator = bTrue ? NA_OPERATOR_EQ : NA_OPERATOR_TRUE; break;
    case 8: m_eOperator = bTrue ? NA_OPERATOR_TRUE : NA_OPERATOR_EQ; break;
    default: break;
  }
}

void CNAExpression::_ProcessString() {
  if (m_pclValue == nullptr) return;
  CAny clValue;
  if (!m_pclValue->bGetValue(&clValue)) return;
  if (s_bExpressionTrue(m_eOperator, _pclGetCnx(), &clValue)) m_eOperator = NA_OPERATOR_TRUE;
}

// ---- Leaves --------------------------------------------------------------------------------

int CNAExpression::bLowerBoundTakesNull() const {
  if (m_pclColumn == nullptr || m_pclValue == nullptr || m_pclColumn->bUniqueNotNull()) return 0;
  if ((m_nFlags & knFlagLowerBound) == 0) return 0;
  if (m_eOperator != NA_OPERATOR_GE && m_eOperator != NA_OPERATOR_EQ) return 0;
  return !m_pclValue->bIsNull() && !m_pclValue->vbIsEmpty() && m_pclValue->bCouldBeNullOnXQ() ? 1 : 0;
}

int CNAExpression::_bGetSQLFromValue(CNACommand* command, CNARechercheParameters* search, int* pbSkip) {
  int bSkipLocal = 0;
  if (pbSkip == nullptr) pbSkip = &bSkipLocal;
  *pbSkip = 0;
  if (Folded(m_eOperator)) {
    command->bComplete(s_pszDumpOp(m_eOperator));
    return 1;
  }
  if (m_pclColumn == nullptr) {
    *pbSkip = 1;
    return 1;
  }
  CTString csName;
  if (!_FormatItemNameExp(&csName, command, Convert_eNAOperator_To_eOPEXPRESSION(m_eOperator))) return 0;
  const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
  CNAConnectionDescription* pclCnx = _pclGetCnx();
  bool bNull = m_pclValue == nullptr || m_pclValue->bIsNull() || m_pclValue->vbIsEmpty();
  if (!bNull && (eType == NA_IT_DATE6 || eType == NA_IT_DATE8) && pclCnx != nullptr &&
      pclCnx->bTreat0000DateAsNULL()) {
    // A zero date stands for NULL there; the shared value itself stays.
    CAny clValue;
    m_pclValue->bGetValue(&clValue);
    const unsigned short wType = clValue.nGetTypeCode();
    if ((wType >= 16 && wType <= 23) || wType == 81 || wType == 110 || wType == 134) {
      std::wstring sText;
      int bTextNull = 0;
      if (!_bReadWide(m_pclValue, &sText, &bTextNull) || bTextNull || sText.compare(0, 8, L"00000000") == 0)
        bNull = true;
    }
  }
  if (bNull || m_eOperator == NA_OPERATOR_ISNULL || m_eOperator == NA_OPERATOR_ISNOTNULL)
    return _bGetSQLFromValueNULL(csName, command, pbSkip);

  // Whether the rows with NULL belong to the requested range too.
  int bWithNull = 0;
  if (!m_pclColumn->bUniqueNotNull()) {
    const int bNullLike = m_pclValue->bCouldBeNullOnXQ() ? 1 : 0;
    if ((m_nFlags & (knFlagLowerBound | knFlagUpperBound)) != 0) {
      bWithNull = bLowerBoundTakesNull();
    } else {
      const int bNullFirst = _bNullBeforeNotNull();
      // A continuing tree follows the ordering alone: NULL sorts before 0
      // and '' too, so a row keyed 0 or '' still has the NULL rows before
      // it. A filter's condition keeps its meaning whatever the browse.
      const int bContinuing =
          search != nullptr && search->bContinuing() && (m_nFlags & knFlagFilter) == 0 ? 1 : 0;
      switch (static_cast<int>(m_eOperator)) {
        case 6: bWithNull = bNullFirst && (bContinuing || !bNullLike); break;
        case 8: bWithNull = bNullFirst; break;
        case 5:
        case 7: bWithNull = !bNullFirst; break;
        default: break;
      }
    }
  }
  if (s_bIsTextItem(eType)) return _bGetSQLFromValueString(csName, command, search, bWithNull);
  if (eType == NA_IT_HEURE || eType == NA_IT_DATE8 || eType == NA_IT_DATETIME)
    return _bGetSQLFromValueDateTime(csName, command, search, bWithNull);
  return _bGetSQLFromValueUsingParameter(csName, command, search, 0, bWithNull);
}

int CNAExpression::_bGetSQLFromValueNULL(const CTString& name, CNACommand* command, int* pbSkip) {
  const int bNullFirst = _bNullBeforeNotNull();
  bool bIsNotNull = false;
  switch (static_cast<int>(m_eOperator)) {
    case 7:
    case 8:
      // A NULL bound is no bound.
      m_eOperator = NA_OPERATOR_TRUE;
      *pbSkip = 1;
      return 1;
    case 6:
      if (bNullFirst) {
        m_eOperator = NA_OPERATOR_FALSE;
        *pbSkip = 1;
        return 1;
      }
      bIsNotNull = true;
      break;
    case 5:
      if (!bNullFirst) {
        m_eOperator = NA_OPERATOR_FALSE;
        *pbSkip = 1;
        return 1;
      }
      bIsNotNull = true;
      break;
    case 12:
    case 14:
      // Different from NULL: the rows that have a value.
      bIsNotNull = true;
      break;
    default:
      break;
  }
  command->bComplete(name.pszGet());
  command->bComplete(bIsNotNull ? L" IS NOT NULL" : L" IS NULL");
  return _bSetColumnValuesNullSelected(bIsNotNull ? 0 : 1);
}

int CNAExpression::_bGetSQLFromValueString(const CTString& name, CNACommand* command,
                                           CNARechercheParameters* search, int withNull) {
  const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
  const bool bWide = eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE;
  std::wstring sText;
  int bNull = 0;
  const bool bEmpty = !_bReadWide(m_pclValue, &sText, &bNull) ? false : (bNull || sText.empty());
  if (bEmpty && !bWide) {
    if (withNull) command->bComplete(L"(");
    command->bComplete(name.pszGet());
    if (m_eOperator == NA_OPERATOR_EQ && bIsGenerique()) {
      // Every non-NULL value begins with the empty prefix. The blank keeps
      // the keyword apart from a name written as an expression.
      command->bComplete(L" LIKE '%%'");
    } else {
      command->bComplete(s_pszDumpOp(m_eOperator));
      command->bComplete(L"''");
    }
    return _bEndNullAlternative(name, command, withNull, 1);
  }
  const int bLike = (m_eOperator == NA_OPERATOR_EQ || m_eOperator == NA_OPERATOR_NE) && bIsGenerique();
  return _bGetSQLFromValueUsingParameter(name, command, search, bLike, withNull);
}

int CNAExpression::_bGetSQLFromValueDateTime(const CTString& name, CNACommand* command,
                                             CNARechercheParameters* search, int withNull) {
  const bool bEquality = m_eOperator == NA_OPERATOR_EQ || m_eOperator == NA_OPERATOR_NE;
  const bool bOrdered = m_eOperator >= NA_OPERATOR_GT && m_eOperator <= NA_OPERATOR_LE;
  if (!bIsGenerique() || (!bEquality && !bOrdered))
    return _bGetSQLFromValueUsingParameter(name, command, search, 0, withNull);
  const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
  CNAConnectionDescription* pclCnx = _pclGetCnx();
  if (eType == NA_IT_HEURE && (pclCnx == nullptr || !pclCnx->bSupportItemTime())) {
    // Times kept as text on the server compare as texts: a prefix is a
    // LIKE, an ordered comparison the text's own.
    return _bGetSQLFromValueUsingParameter(name, command, search, bEquality ? 1 : 0, withNull);
  }
  std::wstring sText;
  int bNull = 0;
  CAny clRaw;
  const bool bText = m_pclValue->bGetValue(&clRaw) && s_bIsTextTNType(clRaw.nGetTypeCode()) &&
                     _bReadWide(m_pclValue, &sText, &bNull) && !bNull;
  const std::size_t nComplete =
      eType == NA_IT_HEURE ? m_pclColumn->nGetLogicalSize() : (eType == NA_IT_DATE8 ? 8u : 17u);
  if (!bText || sText.empty() || sText.size() >= nComplete)
    return _bGetSQLFromValueUsingParameter(name, command, search, 0, withNull);

  CAny clLower;
  CAny clUpper;
  int bUpper = 0;
  if (!s_bGetBorneRechercheDateGenerique(eType, sText.c_str(), &clLower, &clUpper, &bUpper))
    return _bGetSQLFromValueUsingParameter(name, command, search, 0, withNull);

  // The bounds become values of the column.
  CNADriver* pclDriver = DriverOf(command);
  CNAError* pclError = search != nullptr && search->pclGetError() != nullptr ? search->pclGetError() : m_pclError;
  auto fnBound = [&](const CAny& bound) -> int {
    CNAConvertVariant* pclBound = nullptr;
    if (pclDriver != nullptr) pclBound = pclDriver->pclGetNewVariant_NV_Any(pclError, pclCnx, m_pclColumn, &bound);
    if (pclBound == nullptr) {
      pclBound = pclDriver != nullptr ? pclDriver->pclAllocVariant(pclError, pclCnx)
                                      : new (std::nothrow) CNAConvertVariant(pclError, pclCnx);
      if (pclBound == nullptr) {
        if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
      }
      pclBound->AddRef();
      pclBound->InitTypeVariantAny(bound.nGetTypeCode());
      pclBound->bSetValue(&bound);
    }
    const int bOk = _bAddParameter(command, search, m_pclColumn, pclBound, 0);
    pclBound->nRelease();
    return bOk;
  };

  int bResult = 1;
  if (bOrdered) {
    // A partial text in an ordered comparison stands for the period's
    // first instant (read by the server, the text itself would be a zero
    // date or no date at all). A browse continuing after the period pairs
    // it with NOT(in the period); before the period it is the whole
    // condition.
    if (withNull) command->bComplete(L"(");
    command->bComplete(name.pszGet());
    command->bComplete(s_pszDumpOp(m_eOperator));
    bResult = fnBound(clLower);
    return _bEndNullAlternative(name, command, withNull, bResult);
  }
  if (!bUpper) {
    // No instant follows the period (it ends with year 9999): everything
    // from its start on.
    command->bComplete(name.pszGet());
    command->bComplete(m_eOperator == NA_OPERATOR_EQ ? L">=" : L"<");
    bResult = fnBound(clLower);
  } else if (m_eOperator == NA_OPERATOR_EQ) {
    command->bComplete(name.pszGet());
    command->bComplete(L">=");
    bResult = fnBound(clLower);
    command->bComplete(L" AND ");
    command->bComplete(name.pszGet());
    command->bComplete(L"<");
    if (!fnBound(clUpper)) bResult = 0;
  } else {
    command->bComplete(L"(");
    command->bComplete(name.pszGet());
    command->bComplete(L"<");
    bResult = fnBound(clLower);
    command->bComplete(L" OR ");
    command->bComplete(name.pszGet());
    command->bComplete(L">=");
    if (!fnBound(clUpper)) bResult = 0;
    command->bComplete(L")");
  }
  if (!_bSetColumnValuesNullSelected(0)) bResult = 0;
  return bResult;
}

int CNAExpression::_bGetSQLFromValueUsingParameter(const CTString& name, CNACommand* command,
                                                   CNARechercheParameters* search, int withLike, int withNull) {
  if (withNull) command->bComplete(L"(");
  command->bComplete(name.pszGet());
  const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
  const std::int32_t nCode = Convert_eNAOperator_To_eOPEXPRESSION(m_eOperator);
  const eNA_ITEMTYPE eForced =
      static_cast<eNA_ITEMTYPE>(command->eGetFormatExpressionColonne(knClauseWhere, eType, nCode, nullptr));

  CNADriver* pclDriver = DriverOf(command);
  CNAError* pclError = search != nullptr && search->pclGetError() != nullptr ? search->pclGetError() : m_pclError;
  CNAConnectionDescription* pclCnx = _pclGetCnx();
  CNAConvertVariant* pclCopy = pclDriver != nullptr ? pclDriver->pclAllocVariant(pclError, pclCnx)
                                                    : new (std::nothrow) CNAConvertVariant(pclError, pclCnx);
  if (pclCopy == nullptr) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclCopy->AddRef();
  pclCopy->bCopyVariant(m_pclValue);
  if (eForced != NA_IT_EMPTY) {
    pclCopy->bChangeItemType(eForced, bIsGenerique());
  } else if (pclCopy->piGetAnalysisDesc() == nullptr) {
    CAny clOwn;
    pclCopy->bGetValue(&clOwn);
    pclCopy->SetItemDesc(m_pclColumn->piGetItemDescription(), m_pclColumn->piGetImportedItemDescNoRef());
    pclCopy->bSetValue(&clOwn);
  }

  if (!withLike) {
    command->bComplete(s_pszDumpOp(m_eOperator));
  } else {
    command->bComplete(m_eOperator == NA_OPERATOR_EQ ? L" LIKE " : L" NOT LIKE ");
    std::wstring sText;
    int bNull = 0;
    if (!pclCopy->bIsNull() && _bReadWide(pclCopy, &sText, &bNull) && !bNull) {
      CXYString<wchar_t> clEscaped;
      if (!command->bEscapeLIKEParamAsXQParam(&clEscaped, sText.c_str(), 0)) {
        pclCopy->nRelease();
        return 0;
      }
      std::wstring sPattern(clEscaped.pszGet() != nullptr ? clEscaped.pszGet() : L"");
      if (bIsGenerique()) sPattern += L'%';
      if (!sPattern.empty()) {
        CAny clPattern;
        clPattern.__SetType(ANY_DSTRW, 0);
        clPattern.SetValue(sPattern.c_str(), sPattern.size() * sizeof(wchar_t));
        clPattern.SetNull(false);
        pclCopy->InitTypeVariantAny(ANY_DSTRW);
        pclCopy->bSetValue(&clPattern);
      }
    }
  }
  const unsigned int nOptions = withLike ? CNAParameter::knOptionLike : 0u;
  int bResult = _bAddParameter(command, search, eForced != NA_IT_EMPTY ? nullptr : m_pclColumn, pclCopy, nOptions);
  pclCopy->nRelease();
  if (withLike) command->vAddEscapeLike();
  return _bEndNullAlternative(name, command, withNull, bResult);
}

int CNAExpression::_bEndNullAlternative(const CTString& name, CNACommand* command, int withNull, int result) {
  if (withNull) {
    command->bComplete(L" OR ");
    command->bComplete(name.pszGet());
    command->bComplete(L" IS NULL)");
  }
  if (!_bSetColumnValuesNullSelected(withNull)) result = 0;
  return result;
}

int CNAExpression::_bAddParameter(CNACommand* command, CNARechercheParameters* search, CNAColumn* column,
                                  CNAConvertVariant* value, unsigned int options) {
  const unsigned long nPosition = static_cast<unsigned long>(command->nGetOriginalLength());
  if (search != nullptr) {
    const int nBefore = search->nGetNbParameter();
    CNAParameter* pclParameter = search->_pclAddParameter(column, value, nPosition, options);
    if (pclParameter == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    if (!command->bAddParameter(pclParameter)) {
      search->_RemoveParameterFromIndex(nBefore);
      return 0;
    }
    return 1;
  }
  CNADriver* pclDriver = DriverOf(command);
  CNAParameter* pclParameter = pclDriver != nullptr ? pclDriver->pclAllocParameter(value, nPosition, options, nullptr)
                                                    : new (std::nothrow) CNAParameter(value, nPosition, options, nullptr);
  if (pclParameter == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclParameter->AddRef();
  if (column != nullptr) pclParameter->SetColum(column);
  const int bResult = command->bAddParameter(pclParameter);
  pclParameter->nRelease();
  return bResult;
}

int CNAExpression::_bGetSQLFromSQL(CNACommand* command, CNARechercheParameters* search, CNARecord* record) {
  if (m_pclParserInfo == nullptr) return 0;
  if (record != nullptr && m_pclParserInfo->pclGetRecordNoRef() == nullptr) m_pclParserInfo->SetRecord(record);
  const int nBefore = command->nGetParameterNbr();
  // The condition is one operand whatever its own operators: an OR inside
  // it must not escape the node it is joined to.
  command->bComplete(L"(");
  if (!command->bAddFilterExpression(m_pclParserInfo)) return 0;
  command->bComplete(L")");
  if (search != nullptr && !search->GetParameterFromQuery(command, static_cast<unsigned int>(nBefore))) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  return 1;
}

int CNAExpression::_FormatItemNameExp(CTString* out, CNACommand* command, std::int32_t /*parserCode*/) {
  out->Vide();
  if (m_pclColumn->eGetTypeColonne() != 0 && m_pclParserInfo != nullptr) {
    // A computed column of a query is compared as its expression.
    const IInfoRubrique* piItem = m_pclParserInfo->piEnumRubriqueOUT(m_pclColumn->pszGetName());
    CNADriver* pclDriver = DriverOf(command);
    CNACommand* pclExpression = piItem == nullptr ? nullptr
                                : pclDriver != nullptr
                                    ? pclDriver->pclAllocCommand(command->pclGetError(), command->pclGetCnx())
                                    : pclAllocCommand(command->pclGetError(), command->pclGetCnx());
    if (pclExpression != nullptr) {
      pclExpression->AddRef();
      const int bOk = pclExpression->bFormatExpressionColonneCalculee(m_pclParserInfo, piItem, out, knClauseWhere,
                                                                      nullptr);
      pclExpression->nRelease();
      return bOk;
    }
  }
  // The item's name in its source, else its name.
  const wchar_t* pszName = m_pclColumn->pszGetOriginalName();
  CTString csName;
  CNAConnectionDescription* pclCnx = _pclGetCnx();
  if (pclCnx != nullptr) {
    if (!pclCnx->bFormatItemName(m_pclError, pszName, &csName)) return 0;
  } else {
    csName = pszName != nullptr ? pszName : L"";
  }
  const wchar_t* pszAlias = m_pclColumn->pszGetFormatedAliasNomTable();
  if (pszAlias != nullptr && *pszAlias != 0) {
    *out = pszAlias;
    out->Add(L".");
    out->Add(csName.pszGet());
  } else {
    *out = csName;
  }
  return 1;
}
