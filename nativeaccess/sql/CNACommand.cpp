// The command's text, parameters, defines and the build of the formatted
// text. The dialect rules are in CNACommandDialect.cpp, the dump in
// CNACommandDump.cpp.
#include "CNACommand.h"

#include <cwchar>
#include <new>
#include <vector>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "INAQueryParametersValue.h"
#include "StrFunctions.h"

namespace {

constexpr int knLocationArea = 61;
constexpr int knLocationNullSet = 1;
constexpr unsigned int knErrNoMemory = 12;
constexpr std::uint64_t knStep = 1024;

// A connection's code page as the text buffers take it: unset (-1 or 0)
// reads as 1252, as the value holders read it.
unsigned CodePage(int n) { return n == -1 || n == 0 ? 1252u : static_cast<unsigned>(n); }
unsigned ServerCodePage(const CNAConnectionDescription* cnx) {
  return CodePage(cnx != nullptr ? cnx->nGetDataBaseCodePage() : -1);
}
unsigned ApplicationCodePage(const CNAConnectionDescription* cnx) {
  return CodePage(cnx != nullptr ? cnx->nGetApplicationCodePage() : -1);
}

long MasterLength(const CTStringConcatAW& s) {
  return s.nGetCodePage() == CONCAT_CP_WIDE ? s.nGetLengthW() : s.nGetLengthA();
}

bool IsText8(unsigned short t) { return t == 17 || t == 18 || t == 19 || (t >= 21 && t <= 23) || t == 134; }
bool IsTextWide(unsigned short t) { return t == 16 || t == 20 || t == 81 || t == 110; }

}  // namespace

CNACommand::CNACommand(CNAError* error, CNAConnectionDescription* cnx)
    : m_pclError(error),
      m_pclCnx(cnx),
      m_clRaw(CONCAT_CP_WIDE, ServerCodePage(cnx), knStep),
      m_tabParameters(8),
      m_clAdditionalColumns(CONCAT_CP_WIDE, ServerCodePage(cnx), knStep),
      m_tabDefines(8),
      m_clFormated(ServerCodePage(cnx), ApplicationCodePage(cnx), knStep),
      m_clDump(CONCAT_CP_WIDE, ServerCodePage(cnx), knStep),
      m_clLiteral(ServerCodePage(cnx), ApplicationCodePage(cnx), knStep) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_pclCnx != nullptr) {
    m_pclCnx->AddRef();
    if (m_pclCnx->eGetDataSource() == DATASOURCE_MARIADB) m_nDialectFlags = 1;
  }
}

CNACommand::~CNACommand() {
  m_tabDefines.SupprimeTout();
  m_tabParameters.SupprimeTout();
  if (m_pclParserInfo != nullptr) m_pclParserInfo->nRelease();
  delete m_pclNullSelected;
  if (m_pclError != nullptr) m_pclError->nRelease();
  if (m_pclCnx != nullptr) m_pclCnx->nRelease();
}

int CNACommand::_nKind() const { return m_pclCnx != nullptr ? static_cast<int>(m_pclCnx->eGetDataSource()) : 0; }

void CNACommand::_SetNoMemory() {
  if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
}

void CNACommand::_Invalidate() {
  m_clFormated.Tronque(0);
  m_clDump.Tronque(0);
  m_bDumpBuilt = false;
}

// ---- Virtual slots -------------------------------------------------------------

int CNACommand::bNeedToReplaceStar() { return 1; }
int CNACommand::bIsEmpty() { return m_clRaw.nGetLengthW() == 0 ? 1 : 0; }
int CNACommand::nGetParameterNbr() { return m_tabParameters.nGetNbElements(); }

void CNACommand::ResetCommand(int keepParameters) {
  m_tabDefines.SupprimeTout();
  m_clRaw.Tronque(0);
  if (!keepParameters) m_tabParameters.SupprimeTout();
  m_llRecordLimit = -1;
  m_llLimitOffset = -1;
  // The rebuild's places were in the text just emptied.
  m_nQueryCursor = -1;
  m_nOrderByAt = -1;
  // The NULL selection described the condition just emptied: the next
  // text says its own (none said: every NULL row may be selected).
  if (m_pclNullSelected != nullptr) m_pclNullSelected->Reset();
  _Invalidate();
}

int CNACommand::bAdd(CNACommand* other, eADDMMODE mode) {
  if (other == nullptr || other == this) return 0;
  const int nCount = other->m_tabParameters.nGetNbElements();
  // Clones first, so that a missing one leaves this command as it was.
  std::vector<CNAParameter*> aClones;
  if (mode == ADDMODE_CLONE) {
    for (int i = 0; i < nCount; ++i) {
      CNAParameter* pclClone = other->m_tabParameters[i]->pclGetClone();
      if (pclClone == nullptr) {
        for (CNAParameter* p : aClones) p->nRelease();
        _SetNoMemory();
        return 0;
      }
      aClones.push_back(pclClone);
    }
  }
  const unsigned long nBase = static_cast<unsigned long>(m_clRaw.nGetLengthW());
  m_clRaw.Add(other->m_clRaw.pszGetW(), other->m_clRaw.nGetLengthW());
  _Invalidate();
  int bResult = 1;
  for (int i = 0; i < nCount; ++i) {
    CNAParameter* pclParameter = mode == ADDMODE_CLONE ? aClones[static_cast<std::size_t>(i)] : other->m_tabParameters[i];
    pclParameter->SetPosition(pclParameter->nGetPosition() + nBase);
    if (bResult && !bAddParameter(pclParameter)) bResult = 0;
  }
  for (CNAParameter* p : aClones) p->nRelease();
  for (int i = 0; i < other->m_tabDefines.nGetNbElements(); ++i) m_tabDefines.Ajoute(other->m_tabDefines[i]);
  return bResult;
}

int CNACommand::bAddParameter(CNAConvertVariant* value, eOPEXPRESSION op, unsigned int options, CNAColumn* column,
                              const wchar_t* name, wchar_t escape, CNAParameter::eNAPARAMETERINOUT direction) {
  CNAParameter* pclParameter =
      m_pclDriver != nullptr
          ? m_pclDriver->pclAllocParameter(value, static_cast<unsigned long>(m_clRaw.nGetLengthW()), options, name)
          : nullptr;
  if (pclParameter == nullptr) {
    _SetNoMemory();
    return 0;
  }
  pclParameter->AddRef();
  pclParameter->SetOperator(op);
  pclParameter->SetEscape(escape);
  pclParameter->SetDirection(direction);
  if (column != nullptr) pclParameter->SetColum(column);
  const int bResult = bAddParameter(pclParameter);
  pclParameter->nRelease();
  return bResult;
}

int CNACommand::bAddSelectColumns(CNARecord* record, int /*mode*/) {
  if (record == nullptr) return 1;
  const int nMode = m_nSelectionMode;
  for (int i = 0; i < record->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = record->pclGetColumnNoRef(i);
    // The column's own test: no composite key (the client builds it), memos
    // only while the mode defines them.
    if (pclColumn == nullptr || !pclColumn->bMustDefine(static_cast<unsigned>(nMode))) continue;
    if (!bAddSelectColumn(pclColumn, nMode)) return 0;
  }
  return 1;
}

int CNACommand::bAddSelectColumn(CNAColumn* column, int mode) {
  if (column == nullptr) return 0;
  if (m_tabDefines.nGetNbElements() > 0) bComplete(L",", 1);
  bComplete(column->pszGetFormatedSelectName(mode), -1);
  return AddDefine(column);
}

int CNACommand::_bFormatAndConvertItemInClause(CTString* /*out*/, CNASqlElt::eSQLELT /*clause*/,
                                               eNA_ITEMTYPE /*type*/, eOPEXPRESSION /*op*/,
                                               IExpOpExpression* /*expression*/, INAItemDescription* /*item*/,
                                               const wchar_t* /*table*/, const wchar_t* /*name*/) {
  return 0;
}

// ---- Raw text ---------------------------------------------------------------------

int CNACommand::bComplete(const wchar_t* text, long n) {
  if (text == nullptr) return 1;
  if (n < 0) n = static_cast<long>(std::wcslen(text));
  if (n == 0) return 1;
  m_clRaw.Add(text, n);
  if (m_bPassThrough && MasterLength(m_clFormated) > 0) {
    m_clFormated.Add(text, n);
    m_clDump.Tronque(0);
    m_bDumpBuilt = false;
  } else {
    _Invalidate();
  }
  return 1;
}

int CNACommand::bCompleteWithNumber(int value) {
  m_clRaw.AddNumber(value);
  _Invalidate();
  return 1;
}

int CNACommand::bSetInternalQuery(const wchar_t* text, long n) {
  bComplete(text, n);
  m_nSelectionMode = 3;
  return 1;
}

int CNACommand::bAddReturning(const wchar_t* text) {
  m_clRaw.Add(L" RETURNING ", 11);
  if (text != nullptr) m_clRaw.Add(text, static_cast<long>(std::wcslen(text)));
  _Invalidate();
  return 1;
}

void CNACommand::_OffsetParameter(unsigned long from, unsigned long offset) {
  for (int i = 0; i < m_tabParameters.nGetNbElements(); ++i) {
    CNAParameter* p = m_tabParameters[i];
    if (p->nGetPosition() >= from) p->SetPosition(p->nGetPosition() + offset);
  }
  _Invalidate();
}

void CNACommand::Insert(unsigned long at, const wchar_t* text) {
  if (text == nullptr || *text == 0) return;
  const unsigned long nLength = static_cast<unsigned long>(m_clRaw.nGetLengthW());
  if (at > nLength) at = nLength;
  const long n = static_cast<long>(std::wcslen(text));
  m_clRaw.Insert(text, n, static_cast<long>(at));
  _OffsetParameter(at, static_cast<unsigned long>(n));
}

void CNACommand::Replace(unsigned long at, unsigned long count, const wchar_t* text) {
  const unsigned long nLength = static_cast<unsigned long>(m_clRaw.nGetLengthW());
  if (at > nLength) at = nLength;
  const unsigned long nEnd = count > nLength - at ? nLength : at + count;
  if (nEnd == at) {
    Insert(at, text);
    return;
  }
  const long nNew = text != nullptr ? static_cast<long>(std::wcslen(text)) : 0;
  m_clRaw.Remplace(static_cast<long>(at), static_cast<long>(nEnd - at), text != nullptr ? text : L"", nNew);
  const long nDelta = nNew - static_cast<long>(nEnd - at);
  for (int i = m_tabParameters.nGetNbElements() - 1; i >= 0; --i) {
    CNAParameter* p = m_tabParameters[i];
    const std::uint64_t nPos = p->nGetPosition();
    if (nPos >= nEnd)
      p->SetPosition(static_cast<std::uint64_t>(static_cast<long>(nPos) + nDelta));
    else if (nPos > at)
      m_tabParameters.Supprime(i);  // its text is gone
  }
  _Invalidate();
}

void CNACommand::_ReleaseParametersFrom(int index) {
  const int nCount = m_tabParameters.nGetNbElements();
  if (index < nCount) m_tabParameters.Supprime(index, nCount - index);
}

void CNACommand::Tronque(unsigned long length) {
  if (length < static_cast<unsigned long>(m_clRaw.nGetLengthW())) m_clRaw.Tronque(static_cast<long>(length));
  for (int i = m_tabParameters.nGetNbElements() - 1; i >= 0; --i)
    if (m_tabParameters[i]->nGetPosition() >= length) m_tabParameters.Supprime(i);
  _Invalidate();
}

CNACommand::stMark CNACommand::stGetMark() const {
  stMark st;
  st.nLength = static_cast<unsigned long>(m_clRaw.nGetLengthW());
  st.nParameters = m_tabParameters.nGetNbElements();
  return st;
}

CNACommand::stMark CNACommand::stGetMarkAt(unsigned long position) const {
  stMark st;
  st.nLength = position;
  for (int i = 0; i < m_tabParameters.nGetNbElements(); ++i)
    if (m_tabParameters[i]->nGetPosition() <= position) ++st.nParameters;
  return st;
}

void CNACommand::CutToMark(const stMark& mark) {
  if (mark.nLength < static_cast<unsigned long>(m_clRaw.nGetLengthW())) m_clRaw.Tronque(static_cast<long>(mark.nLength));
  _ReleaseParametersFrom(mark.nParameters < 0 ? 0 : mark.nParameters);
  _Invalidate();
}

void CNACommand::_CompleteFormatedSQL(const wchar_t* text, long n) {
  if (text == nullptr) return;
  if (n < 0) n = static_cast<long>(std::wcslen(text));
  m_clFormated.Add(text, n);
}

// ---- Formatted text ------------------------------------------------------------------

int CNACommand::_bFormatedReady(ePARAMTYPECONV conversion) {
  if (MasterLength(m_clFormated) > 0) return 1;
  if (m_clRaw.nGetLengthW() == 0) return 1;
  return _bBuildFormatedSQL(conversion);
}

const wchar_t* CNACommand::pszGetFormatedSQL(ePARAMTYPECONV conversion) {
  return _bFormatedReady(conversion) ? m_clFormated.pszGetW() : nullptr;
}

const char* CNACommand::pszGetFormatedSQLA(ePARAMTYPECONV conversion) {
  return _bFormatedReady(conversion) ? m_clFormated.pszGetA() : nullptr;
}

CTStringConcatAW* CNACommand::pclGetFormatedSQL(ePARAMTYPECONV conversion) {
  return _bFormatedReady(conversion) ? &m_clFormated : nullptr;
}

void CNACommand::ResetFormatedSQL() { _Invalidate(); }

void CNACommand::_AppendFormatedSlice(unsigned long from, unsigned long to) {
  const unsigned long nLength = static_cast<unsigned long>(m_clRaw.nGetLengthW());
  if (to > nLength) to = nLength;
  const wchar_t* pszRaw = m_clRaw.pszGetW();
  const long nFormated = MasterLength(m_clFormated);
  // A blank after a literal when neither side has one; an empty piece gets
  // it too.
  const bool bPieceBlank = to > from && pszRaw[from] == L' ';
  if (nFormated > 0 && !m_clFormated.bIsCharSpace(nFormated - 1) && !bPieceBlank) m_clFormated.Add(L" ", 1);
  if (to > from) m_clFormated.Add(pszRaw + from, static_cast<long>(to - from));
}

void CNACommand::_AppendLiteral(const CTStringConcatAW& literal) {
  const unsigned nCodePage = m_clFormated.nGetCodePage();
  if (nCodePage == CONCAT_CP_WIDE || nCodePage != literal.nGetCodePage())
    m_clFormated.Add(literal.pszGetW(), literal.nGetLengthW());
  else
    m_clFormated.Add(literal.pszGetA(), literal.nGetLengthA(), nCodePage);
}

int CNACommand::_bWriteLiteral(CTStringConcatAW* out, const CAny* value, eNA_ITEMTYPE analysis,
                               eNA_ITEMTYPE database) {
  if (m_pclCnx == nullptr) return 0;
  return m_pclCnx->bConvertValueToString(m_pclError, out, value, analysis, database);
}

int CNACommand::_bBuildFormatedSQL(ePARAMTYPECONV conversion) {
  m_clFormated.Tronque(0);
  const unsigned long nLength = static_cast<unsigned long>(m_clRaw.nGetLengthW());
  unsigned long nCursor = 0;
  int bResult = 1;
  for (int i = 0; i < m_tabParameters.nGetNbElements() && bResult; ++i) {
    CNAParameter* p = m_tabParameters[i];
    unsigned long nPos = static_cast<unsigned long>(p->nGetPosition());
    if (nPos > nLength) nPos = nLength;
    // A parameter below the cursor (text skipped by a hook) copies nothing.
    _AppendFormatedSlice(nCursor, nPos > nCursor ? nPos : nCursor);
    if (nPos > nCursor) nCursor = nPos;
    bResult = _bAddParameterFormated(p, conversion, &nCursor);
    if (nCursor > nLength) nCursor = nLength;
  }
  if (!bResult) {
    // Never hand out a half-built statement.
    m_clFormated.Tronque(0);
    return 0;
  }
  // The rest of the text; an empty rest adds no trailing blank.
  if (nCursor < nLength) _AppendFormatedSlice(nCursor, nLength);
  const int nKind = _nKind();
  if (nKind >= 1 && nKind <= 3)
    _RemplaceLimitParTop();
  else if (nKind == 5 || nKind == 6)
    _RemplaceTopParLimit();
  return 1;
}

int CNACommand::_bAddParameterFormated(CNAParameter* parameter, ePARAMTYPECONV conversion, unsigned long* cursor) {
  if (parameter == nullptr) return 0;
  const unsigned int nOptions = parameter->nGetOptions();
  eNA_ITEMTYPE eDatabase = NA_IT_EMPTY;
  eNA_ITEMTYPE eAnalysis = NA_IT_EMPTY;
  if (nOptions & CNAParameter::knOptionFile) {
    // The kind is chosen from the options as they were before the load
    // cleared the file bit.
    const bool bTextFile = (nOptions & (CNAParameter::knOptionFile | CNAParameter::knOptionFileText)) ==
                           (CNAParameter::knOptionFile | CNAParameter::knOptionFileText);
    const int bLoaded = parameter->bLoadFile(m_pclError);
    parameter->bGetTNTypeInfo(&eDatabase, &eAnalysis);
    if (eAnalysis == NA_IT_EMPTY) eAnalysis = bTextFile ? NA_IT_MEMOTEXTE : NA_IT_MEMOBINAIRE;
    if (!bLoaded) return 0;
  } else {
    parameter->bGetTNTypeInfo(&eDatabase, &eAnalysis);
  }
  if (nOptions & CNAParameter::knOptionLike)
    return _bAddParameterFormatedLike(parameter, eDatabase, eAnalysis, conversion, cursor);
  return _bAddParameterFormated(parameter, eDatabase, eAnalysis, conversion, cursor);
}

int CNACommand::_bAddParameterFormated(CNAParameter* parameter, eNA_ITEMTYPE database, eNA_ITEMTYPE analysis,
                                       ePARAMTYPECONV /*conversion*/, unsigned long* /*cursor*/) {
  if (parameter->nGetOptions() & CNAParameter::knOptionBindVariable)
    _bUpdateParameterValue(m_piQueryParameters, parameter);
  CNAConvertVariant* pclValue = parameter->pclGetValue();
  CAny clValue;
  if (pclValue == nullptr || !pclValue->bGetValue(&clValue)) return 0;
  if (analysis == NA_IT_EMPTY) analysis = pclValue->eNAGetItemTypeValue();
  if (!_bWriteLiteral(&m_clLiteral, &clValue, analysis, database)) return 0;
  _AppendLiteral(m_clLiteral);
  return 1;
}

// ---- Query type and parsed query ---------------------------------------------------------

void CNACommand::SetQueryType(eTYPEREQUETE type) {
  switch (type) {
    case TYPEREQUETE_SELECT:
    case TYPEREQUETE_SELECT2: m_nQueryType = QUERY_SELECT; break;
    case TYPEREQUETE_UPDATE: m_nQueryType = QUERY_UPDATE; break;
    case TYPEREQUETE_INSERT: m_nQueryType = QUERY_INSERT; break;
    case TYPEREQUETE_DELETE: m_nQueryType = QUERY_DELETE; break;
    case TYPEREQUETE_CREATE: m_nQueryType = QUERY_CREATE; break;
    case TYPEREQUETE_DROP: m_nQueryType = QUERY_DROP; break;
    default: m_nQueryType = QUERY_OTHER; break;
  }
}

std::int32_t CNACommand::eConvertTypeQuery(eTYPEREQUETE type) {
  switch (type) {
    case TYPEREQUETE_SELECT:
    case TYPEREQUETE_SELECT2: return QUERY_SELECT;
    case TYPEREQUETE_UPDATE: return QUERY_UPDATE;
    case TYPEREQUETE_INSERT: return QUERY_INSERT;
    case TYPEREQUETE_DELETE: return QUERY_DELETE;
    default: return QUERY_OTHER;
  }
}

unsigned CNACommand::_nTextCodePage() const {
  return m_pclCnx != nullptr ? static_cast<unsigned>(m_pclCnx->nGetDataBaseCodePage()) : 0u;
}
unsigned CNACommand::_nApplicationCodePage() const { return ApplicationCodePage(m_pclCnx); }

void CNACommand::_SetSQLParserInfo(CSQLParserInfo* parser) {
  if (parser != nullptr) parser->AddRef();
  if (m_pclParserInfo != nullptr) m_pclParserInfo->nRelease();
  m_pclParserInfo = parser;
  // The parsed query's own bind values refresh its named parameters.
  if (parser != nullptr && parser->piGetUserBindVariableNoRef() != nullptr)
    m_piQueryParameters = parser->piGetUserBindVariableNoRef();
  if (m_bPassThrough) {
    if (s_bIsQuerySet(m_clRaw.pszGetW())) m_nQueryType = QUERY_SET;
  } else if (m_nQueryType == QUERY_NONE && parser != nullptr) {
    m_nQueryType = eConvertTypeQuery(static_cast<eTYPEREQUETE>(parser->nGetQueryKind()));
  }
  _Invalidate();
}

void CNACommand::SetRecordLimit(std::int64_t limit) {
  if (limit != m_llRecordLimit) _Invalidate();
  m_llRecordLimit = limit;
}

void CNACommand::SetLimitOffset(std::int64_t offset) {
  if (offset != m_llLimitOffset) _Invalidate();
  m_llLimitOffset = offset;
}

// ---- Parameters --------------------------------------------------------------------------

int CNACommand::bAddParameter(CNAParameter* parameter) {
  if (parameter == nullptr) return 0;
  if (m_tabParameters.Ajoute(parameter) < 0) {
    _SetNoMemory();
    return 0;
  }
  _Invalidate();
  return 1;
}

int CNACommand::bAddParameter(const CAny* value, eOPEXPRESSION op, unsigned int options, CNAColumn* column,
                              wchar_t escape, CNAParameter::eNAPARAMETERINOUT direction) {
  CNAConvertVariant* pclValue = m_pclDriver != nullptr ? m_pclDriver->pclAllocVariant(m_pclError, m_pclCnx) : nullptr;
  if (pclValue == nullptr) {
    _SetNoMemory();
    return 0;
  }
  pclValue->AddRef();
  // A new holder has no value mode yet: it takes the value's own type
  // first, or a setter would keep nothing (a value-less holder reads as
  // nothing and the build fails).
  if (value != nullptr) pclValue->InitTypeVariantAny(value->nGetTypeCode() != 0 ? value->nGetTypeCode() : static_cast<unsigned short>(ANY_DSTRW));
  int bResult = value != nullptr ? pclValue->bSetValue(value) : 1;
  if (bResult) bResult = bAddParameter(pclValue, op, options, column, nullptr, escape, direction);
  pclValue->nRelease();
  return bResult;
}

int CNACommand::bAddParameterReturn(CNAConvertVariant* value) {
  return bAddParameter(value, -1, 0, nullptr, nullptr, 0, CNAParameter::NAPARAM_RETURN);
}

CNAParameter* CNACommand::pclGetParameterByNameNoRef(const wchar_t* name) const {
  if (name == nullptr) return nullptr;
  for (int i = 0; i < m_tabParameters.nGetNbElements(); ++i) {
    CNAParameter* p = m_tabParameters[i];
    if ((p->nGetOptions() & CNAParameter::knOptionBindVariable) &&
        STR_nCompareW(p->pszGetName(), name, STR_FLAG_UPPER | 0x2) == 0)
      return p;
  }
  return nullptr;
}

int CNACommand::nGetUserParamIndice(const CNAParameter* parameter) const {
  if (parameter == nullptr) return -1;
  for (int i = 0; i < m_tabParameters.nGetNbElements(); ++i) {
    const CNAParameter* p = m_tabParameters[i];
    if ((p->nGetOptions() & CNAParameter::knOptionBindVariable) && p->nGetPosition() == parameter->nGetPosition())
      return i;
  }
  return -1;
}

int CNACommand::bUpdateParametersValues() {
  for (int i = 0; i < m_tabParameters.nGetNbElements(); ++i) {
    CNAParameter* p = m_tabParameters[i];
    if ((p->nGetOptions() & CNAParameter::knOptionBindVariable) && !_bUpdateParameterValue(m_piQueryParameters, p))
      break;
  }
  _Invalidate();
  return 1;
}

int CNACommand::_bUpdateParameterValue(INAQueryParametersValue* values, CNAParameter* parameter) {
  if (parameter == nullptr) return 1;
  CNAConvertVariant* pclValue = parameter->pclGetValue();
  if (pclValue == nullptr) return 1;
  if (parameter->bGetValueMark()) {
    pclValue->SetRefreshed(1);
    return 1;
  }
  if (parameter->nGetOptions() & CNAParameter::knOptionCursor) return 1;
  if (values == nullptr) return 1;
  CAny clNew;
  if (!values->bGetParameterValue(parameter->pszGetName(), &clNew)) return 1;
  const unsigned short wNew = clNew.nGetTypeCode();
  if (wNew == 0) return 1;
  const unsigned short wOld = pclValue->wGetTypeCode();
  if (!((IsText8(wNew) && IsText8(wOld)) || (IsTextWide(wNew) && IsTextWide(wOld))))
    pclValue->vbChangeTNType(wNew, 0);
  pclValue->bSetValue(&clNew);
  return 1;
}

std::uint32_t CNACommand::TNType2eParamType(unsigned short type) {
  switch (type) {
    case 1: return PARAMTYPECONV_BOOLEAN;
    case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9: case 14: return PARAMTYPECONV_INTEGER;
    case 10: case 13: return PARAMTYPECONV_DECIMAL;
    case 11: case 12: return PARAMTYPECONV_REAL;
    case 16: case 17: case 18: case 19: case 81: case 110: return PARAMTYPECONV_TEXT;
    case 24: case 25: case 26: case 27: case 128: case 129: return PARAMTYPECONV_DATE;
    case 28: case 29: return PARAMTYPECONV_BINARY;
    default: return 0;
  }
}

int CNACommand::_bNeedParameterConversionToString(const CNAVariant* value, ePARAMTYPECONV conversion) {
  if (conversion == PARAMTYPECONV_NONE || value == nullptr) return 0;
  CAny clValue;
  value->bGetValue(&clValue);
  const unsigned short wType = clValue.nGetTypeCode();
  const std::uint32_t nClass = TNType2eParamType(wType);
  if (nClass == 0 || (nClass & conversion) != 0) return 1;
  const bool bText = (wType >= 16 && wType <= 23) || wType == 81 || wType == 110 || wType == 134;
  if (!bText) return 0;
  std::size_t nSize = 0;
  if (clValue.nGetUtilDataSize(&nSize) != ANY_OK) nSize = 0;
  return nSize == 0 ? 1 : 0;
}

int CNACommand::_bNeedParameterConversionToString(const CNAParameter* parameter, ePARAMTYPECONV conversion) {
  if (conversion == PARAMTYPECONV_NONE || parameter == nullptr) return 0;
  return _bNeedParameterConversionToString(parameter->pclGetValue(), conversion);
}

// ---- Defines and the selected-NULL set ------------------------------------------------------

int CNACommand::AddDefine(CNAColumn* column) {
  CNADefine* pclDefine = new (std::nothrow) CNADefine(column);
  if (pclDefine == nullptr || m_tabDefines.Ajoute(pclDefine) < 0) {
    delete pclDefine;
    _SetNoMemory();
    return 0;
  }
  return 1;
}

int CNACommand::AddDefine(const wchar_t* name, CNAConvertVariant* value) {
  CNADefine* pclDefine = new (std::nothrow) CNADefine(name, value);
  if (pclDefine == nullptr || m_tabDefines.Ajoute(pclDefine) < 0) {
    delete pclDefine;
    _SetNoMemory();
    return 0;
  }
  return 1;
}

int CNACommand::bAddSelectAdditionnalColumn(const wchar_t* name, CNAConvertVariant* value) {
  if (m_tabDefines.nGetNbElements() > 0) bComplete(L",", 1);
  bComplete(name, -1);
  return AddDefine(name, value);
}

int CNACommand::bAddSelectAdditionnalColumn(const wchar_t* name, unsigned short type) {
  CNAConvertVariant* pclValue = m_pclDriver != nullptr ? m_pclDriver->pclAllocVariant(m_pclError, m_pclCnx) : nullptr;
  if (pclValue == nullptr) {
    _SetNoMemory();
    return 0;
  }
  pclValue->AddRef();
  pclValue->InitTypeVariantAny(type);
  const int bResult = bAddSelectAdditionnalColumn(name, pclValue);
  pclValue->nRelease();
  return bResult;
}

int CNACommand::bAddSelectAdditionalColumnInQueryFormat(const wchar_t* name, CNAConvertVariant* value) {
  if (m_clAdditionalColumns.nGetLengthW() > 0) m_clAdditionalColumns.Add(L",", 1);
  if (name != nullptr) m_clAdditionalColumns.Add(name, static_cast<long>(std::wcslen(name)));
  return AddDefine(name, value);
}

int CNACommand::bColumnValuesNullSelected(const CNAColumn* column) const {
  return m_pclNullSelected == nullptr ? 1 : m_pclNullSelected->bColumnValuesNullSelected(column);
}

int CNACommand::bCombineColumnValuesNullSelected(eNAOperator op, CColumnNullValueExcluded* set) {
  if (set == nullptr) return 1;
  if (m_pclNullSelected == nullptr) {
    m_pclNullSelected = new (std::nothrow) CColumnNullValueExcluded();
    if (m_pclNullSelected == nullptr) {
      if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationNullSet, m_pclCnx, knErrNoMemory);
      return 0;
    }
  }
  return m_pclNullSelected->bCombineColumnValuesNullSelected(op, set);
}

int CNACommand::bCopyColumnValuesNullSelected(CColumnNullValueExcluded* set) {
  if (set == nullptr) {
    if (m_pclNullSelected != nullptr) m_pclNullSelected->Reset();
    return 1;
  }
  if (m_pclNullSelected == nullptr) {
    m_pclNullSelected = new (std::nothrow) CColumnNullValueExcluded();
    if (m_pclNullSelected == nullptr) {
      if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationNullSet, m_pclCnx, knErrNoMemory);
      return 0;
    }
  }
  // The set given replaces what the command held: entries left from an
  // earlier condition would be found first and answer for it.
  m_pclNullSelected->Reset();
  return m_pclNullSelected->bCopyColumnValuesNullSelected(set, 0);
}

