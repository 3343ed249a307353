// The dialect rules of CNACommand: row limit, clause scanner, LIKE escapes,
// function renaming, name formatting hooks and the clauses at the end of a
// query. All rules are keyed by the connection's data-source kind; the
// MariaDB/MySQL connection is kind 5.
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "CNAMapConvertType.h"
#include "Escape.h"
#include "StrFunctions.h"

namespace {

constexpr int knLocationArea = 61;
constexpr int knLocationEscapeLike = 2;
constexpr unsigned int knErrNoMemory = 12;

template <typename T>
wchar_t Up(T c) {
  return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(static_cast<wchar_t>(c))));
}

template <typename T>
bool Espace(T c) {
  return CNAMapConvertType::s_bEspaceSQL(static_cast<wchar_t>(c));
}

template <typename T>
bool Separateur(T c) {
  return CNACommand::s_bSeparateur(static_cast<wchar_t>(c));
}

// The word (ASCII) at text[at] without regard to case.
template <typename T>
bool WordAt(const T* text, long length, long at, const wchar_t* word) {
  const long n = static_cast<long>(std::wcslen(word));
  if (at < 0 || at + n > length) return false;
  for (long i = 0; i < n; ++i)
    if (Up(text[at + i]) != Up(word[i])) return false;
  return true;
}

// Where a quoted piece that opens at text[i] ends (the index of its closing
// delimiter, or the text's end). A doubled delimiter stays inside; in a
// "'" string a backslash keeps the next character inside.
template <typename T>
long SkipQuoted(const T* text, long length, long i, bool backslashEscapes = true) {
  const T cOpen = text[i];
  const T cClose = cOpen == static_cast<T>('[') ? static_cast<T>(']') : cOpen;
  for (long k = i + 1; k < length; ++k) {
    if (backslashEscapes && cOpen == static_cast<T>('\'') && text[k] == static_cast<T>('\\')) {
      ++k;
      continue;
    }
    if (text[k] != cClose) continue;
    if (cClose != static_cast<T>(']') && k + 1 < length && text[k + 1] == cClose) {
      ++k;
      continue;
    }
    return k;
  }
  return length;
}

template <typename T>
bool OpensQuoted(T c, bool brackets) {
  return c == static_cast<T>('\'') || c == static_cast<T>('`') || c == static_cast<T>('"') ||
         (brackets && c == static_cast<T>('['));
}

// The last position at or before `start` where the keyword stands as a
// clause outside strings and quoted names; -1 when none.
template <typename T>
long ClauseStart(const T* text, long length, const wchar_t* keyword, long start, bool brackets) {
  const long nWord = static_cast<long>(std::wcslen(keyword));
  if (text == nullptr || length <= 0 || nWord == 0) return -1;
  if (start < 0 || start >= length) start = length - 1;
  long nFound = -1;
  for (long i = 0; i <= start && i < length; ++i) {
    if (OpensQuoted(text[i], brackets)) {
      i = SkipQuoted(text, length, i);
      continue;
    }
    if (i >= 1 && Separateur(text[i - 1]) && i + nWord < length && Separateur(text[i + nWord]) &&
        WordAt(text, length, i, keyword))
      nFound = i;
  }
  return nFound;
}

template <typename T>
long Length(const T* text) {
  long n = 0;
  if (text != nullptr)
    while (text[n] != 0) ++n;
  return n;
}

// The text (ending at `length`) ends with the word, separators at the end
// set aside, and a separator stands before the word.
template <typename T>
bool EndsWithWord(const T* text, long length, const wchar_t* word) {
  while (length > 0 && Separateur(text[length - 1])) --length;
  const long n = static_cast<long>(std::wcslen(word));
  const long at = length - n;
  return at >= 1 && WordAt(text, length, at, word) && Separateur(text[at - 1]);
}

// After white space, the text begins with the word: its position, or -1.
template <typename T>
long PosAfterSpace(const T* text, const wchar_t* word) {
  if (text == nullptr || word == nullptr) return -1;
  long i = 0;
  while (text[i] != 0 && Espace(text[i])) ++i;
  const long n = static_cast<long>(std::wcslen(word));
  for (long k = 0; k < n; ++k)
    if (text[i + k] == 0 || Up(text[i + k]) != Up(word[k])) return -1;
  return i;
}

// The LIKE value rule: an escape character not followed by '%', '_' or
// itself is doubled; one followed by them is kept with it.
template <typename S, typename T>
S EscapeLikeValue(const S& value, T escape) {
  S out;
  out.reserve(value.size() * 2);
  for (std::size_t i = 0; i < value.size(); ++i) {
    const T c = value[i];
    if (c != escape) {
      out += c;
      continue;
    }
    const T next = i + 1 < value.size() ? value[i + 1] : 0;
    if (next == static_cast<T>('%') || next == static_cast<T>('_') || (next == escape && i + 1 < value.size())) {
      out += c;
      out += next;
      ++i;
    } else {
      out += c;
      out += c;
    }
  }
  return out;
}

// The native engine's LIKE escapes into out (see bEscapeLIKEParamAsXQParam).
template <typename T>
void EscapeForEngine(std::basic_string<T>& out, const T* value, T e) {
  for (const T* p = value; *p != 0; ++p) {
    const T c = *p;
    if (c == static_cast<T>('\'')) {
      out += c;
      out += c;
    } else if (c == e) {
      const T next = p[1];
      if (next == static_cast<T>('%') || next == static_cast<T>('_')) {
        out.append(3, e);
        out += next;
        ++p;
      } else if (next == e) {
        out.append(4, e);
        ++p;
      } else {
        out.append(2, e);
      }
    } else if (c == static_cast<T>('\\')) {
      out.append(2, c);
    } else if (c == static_cast<T>('%') || c == static_cast<T>('_')) {
      out += e;
      out += c;
    } else {
      out += c;
    }
  }
}

}  // namespace

// ---- Character classes and text scanning ------------------------------------------

bool CNACommand::s_bEspaceSQL(wchar_t c) { return CNAMapConvertType::s_bEspaceSQL(c); }

bool CNACommand::s_bSeparateur(wchar_t c) {
  switch (c) {
    case L'!': case L'%': case L'(': case L')': case L'*': case L'+': case L',': case L'-': case L'/': case L'=':
      return true;
    default:
      return s_bEspaceSQL(c);
  }
}

long CNACommand::s_nGetClauseStart(CNAConnectionDescription* cnx, const wchar_t* text, const wchar_t* keyword,
                                   long start) {
  // Kind 5 quotes names with backquotes (and, as the platform writes them,
  // double quotes); the other kinds may also use brackets.
  const bool bBrackets = cnx == nullptr || cnx->eGetDataSource() != DATASOURCE_MARIADB;
  return ClauseStart(text, Length(text), keyword, start, bBrackets);
}

int CNACommand::s_bQueryResultsetLimited(CNAConnectionDescription* cnx, const wchar_t* text) {
  const long n = Length(text);
  if (!WordAt(text, n, 0, L"SELECT")) return 0;
  if (s_nGetClauseStart(cnx, text, L"LIMIT", -1) > 0) return 1;
  if (n < 12) return 0;
  long i = 6;
  while (i < n && s_bEspaceSQL(text[i])) ++i;
  return WordAt(text, n, i, L"TOP") && i + 3 < n && s_bEspaceSQL(text[i + 3]) ? 1 : 0;
}

int CNACommand::s_bRequeteTerminePar(const wchar_t* text, const wchar_t* word) {
  if (text == nullptr || word == nullptr) return 0;
  return EndsWithWord(text, Length(text), word) ? 1 : 0;
}

int CNACommand::s_bGetItemNameAndPos(CTString* name, unsigned long* start, unsigned long* stop, const wchar_t* text,
                                     unsigned long from) {
  if (start != nullptr) *start = static_cast<unsigned long>(-1);
  if (stop != nullptr) *stop = static_cast<unsigned long>(-1);
  if (name != nullptr) name->Vide();
  const long n = Length(text);
  long i = static_cast<long>(from);
  if (text == nullptr || i >= n) return 0;
  while (i < n && s_bSeparateur(text[i])) ++i;
  if (i >= n) return 0;
  long nFirst = i;
  long nNameStart = i;
  long nNameEnd = i;  // one past the name
  long nLast = i;
  if (text[i] == L'[' || text[i] == L'"') {
    const wchar_t cClose = text[i] == L'[' ? L']' : L'"';
    nNameStart = i + 1;
    long k = nNameStart;
    while (k < n && text[k] != cClose) ++k;  // a missing delimiter: up to the end
    nNameEnd = k;
    nLast = k < n ? k : n - 1;
  } else {
    long k = i;
    while (k < n && !s_bSeparateur(text[k])) ++k;
    nNameEnd = k;
    nLast = k - 1;
  }
  if (nNameEnd <= nNameStart) return 0;
  if (name != nullptr) name->Set(text + nNameStart, static_cast<unsigned long>(nNameEnd - nNameStart));
  if (start != nullptr) *start = static_cast<unsigned long>(nFirst);
  if (stop != nullptr) *stop = static_cast<unsigned long>(nLast);
  return 1;
}

long CNACommand::s_nGetPosSuiteRequete(const wchar_t* text, const wchar_t* word) { return PosAfterSpace(text, word); }

int CNACommand::s_bSuiteRequeteCommencePar(const wchar_t* text, const wchar_t* word) {
  return PosAfterSpace(text, word) >= 0 ? 1 : 0;
}

int CNACommand::s_bSuiteRequeteCommenceParMot(const wchar_t* text, const wchar_t* word) {
  const long at = PosAfterSpace(text, word);
  if (at < 0) return 0;
  const wchar_t c = text[at + static_cast<long>(std::wcslen(word))];
  return c == 0 || s_bSeparateur(c) ? 1 : 0;
}

int CNACommand::s_bIsQuerySet(const wchar_t* text) {
  const long at = PosAfterSpace(text, L"SET");
  if (at < 0) return 0;
  const wchar_t* p = text + at + 3;
  if (!s_bEspaceSQL(*p)) return 0;
  while (s_bEspaceSQL(*p)) ++p;
  const wchar_t* pName = p;
  while (*p != 0 && !s_bEspaceSQL(*p) && *p != L'=') ++p;
  if (p == pName) return 0;
  while (s_bEspaceSQL(*p)) ++p;
  if (*p == L'=') ++p;
  while (s_bEspaceSQL(*p)) ++p;
  const wchar_t* pValue = p;
  while (*p != 0 && !s_bEspaceSQL(*p) && *p != L';') ++p;
  if (p == pValue) return 0;
  for (; *p != 0; ++p)
    if (!s_bEspaceSQL(*p) && *p != L';') return 0;
  return 1;
}

// ---- Row limit ---------------------------------------------------------------------------

void CNACommand::_RemplaceLimitParTop() {
  if (m_bPassThrough) return;
  const std::wstring sText(m_clFormated.pszGetW(), static_cast<std::size_t>(m_clFormated.nGetLengthW()));
  const long n = static_cast<long>(sText.size());
  if (!WordAt(sText.c_str(), n, 0, L"SELECT")) return;
  const long nLimit = s_nGetClauseStart(m_pclCnx, sText.c_str(), L"LIMIT", -1);
  if (nLimit <= 0) return;
  long i = nLimit + 5;
  while (i < n && s_bSeparateur(sText[static_cast<std::size_t>(i)])) ++i;
  const long nDigits = i;
  while (i < n && std::iswdigit(static_cast<wint_t>(sText[static_cast<std::size_t>(i)]))) ++i;
  const std::wstring sCount = i > nDigits ? sText.substr(static_cast<std::size_t>(nDigits), static_cast<std::size_t>(i - nDigits)) : L"-1";
  while (i < n && (sText[static_cast<std::size_t>(i)] == L',' || s_bSeparateur(sText[static_cast<std::size_t>(i)]))) ++i;
  const long nSecond = i;
  while (i < n && std::iswdigit(static_cast<wint_t>(sText[static_cast<std::size_t>(i)]))) ++i;
  if (i > nSecond && std::wcstoll(sText.c_str() + nSecond, nullptr, 10) > 0) return;
  long nEnd = nLimit;
  while (nEnd > 6 && s_bSeparateur(sText[static_cast<std::size_t>(nEnd - 1)])) --nEnd;
  std::wstring sNew = L"SELECT TOP " + sCount + L" " + sText.substr(6, static_cast<std::size_t>(nEnd - 6));
  m_clFormated.Tronque(0);
  m_clFormated.Add(sNew.c_str(), static_cast<long>(sNew.size()));
}

void CNACommand::_RemplaceTopParLimit() {
  if (m_bPassThrough) return;
  // The formatted text is 8-bit: the checks read its bytes (every byte
  // that matters here is ASCII), the edits write ASCII.
  const char* psz = m_clFormated.pszGetA();
  long n = m_clFormated.nGetLengthA();
  if (!WordAt(psz, n, 0, L"SELECT")) return;
  std::int64_t llCount = m_llRecordLimit;
  if (n > 11) {
    long i = 6;
    while (i < n && Espace(psz[i])) ++i;
    if (i > 6 && WordAt(psz, n, i, L"TOP") && i + 3 < n && Espace(psz[i + 3])) {
      long k = i + 3;
      while (k < n && Espace(psz[k])) ++k;
      const long nDigits = k;
      std::uint64_t nValue = 0;
      bool bTooLarge = false;
      while (k < n && psz[k] >= '0' && psz[k] <= '9') {
        const unsigned d = static_cast<unsigned>(psz[k] - '0');
        if (nValue > (static_cast<std::uint64_t>(INT64_MAX) - d) / 10) bTooLarge = true;
        nValue = nValue * 10 + d;
        ++k;
      }
      if (k > nDigits) {
        if (bTooLarge) return;  // a count past 63 bits: the text stays as it is
        m_clFormated.Coupe(i, k - i);
        llCount = static_cast<std::int64_t>(nValue);
        m_llRecordLimit = -1;
        psz = m_clFormated.pszGetA();
        n = m_clFormated.nGetLengthA();
      }
    }
  }
  if (llCount < 1) return;
  // A trailing ";" and its white space stay after the clause.
  long nEnd = n;
  while (nEnd > 0 && Espace(psz[nEnd - 1])) --nEnd;
  if (nEnd > 0 && psz[nEnd - 1] == ';') {
    --nEnd;
    while (nEnd > 0 && Espace(psz[nEnd - 1])) --nEnd;
  }
  if (EndsWithWord(psz, nEnd, L"LIMIT 0")) return;
  // A line comment open on the last line would swallow the clause. The
  // command does not know whether the server reads a backslash in a
  // string as an escape (NO_BACKSLASH_ESCAPES): a comment seen under
  // either reading puts the clause on a line of its own, which is white
  // space under both.
  bool bComment = false;
  for (bool bBackslash : {true, false}) {
    bool bOpen = false;
    for (long i = 0; i < nEnd; ++i) {
      const char c = psz[i];
      if (bOpen) {
        if (c == '\n') bOpen = false;
        continue;
      }
      if (OpensQuoted(c, false)) {
        i = SkipQuoted(psz, nEnd, i, bBackslash);
        continue;
      }
      if (c == '#' || (c == '-' && i + 2 < nEnd + 1 && psz[i + 1] == '-' && (i + 2 >= nEnd || Espace(psz[i + 2]))))
        bOpen = true;
    }
    bComment = bComment || bOpen;
  }
  std::string sClause = bComment ? "\n LIMIT " : " LIMIT ";
  if (m_llLimitOffset >= 1) sClause += std::to_string(m_llLimitOffset) + ", ";
  sClause += std::to_string(llCount);
  m_clFormated.Insert(sClause.c_str(), static_cast<long>(sClause.size()), nEnd);
}

// ---- LIKE ----------------------------------------------------------------------------------

int CNACommand::_bAddParameterFormatedLike(CNAParameter* parameter, eNA_ITEMTYPE database, eNA_ITEMTYPE analysis,
                                           ePARAMTYPECONV /*conversion*/, unsigned long* cursor) {
  const wchar_t cEscape = parameter->cGetEscape() != 0 ? parameter->cGetEscape() : L'\\';
  CNAConvertVariant* pclValue = parameter->pclGetValue();
  CAny clValue;
  if (pclValue == nullptr || !pclValue->bGetValue(&clValue)) return 0;
  const unsigned short wType = clValue.nGetTypeCode();
  try {
    if (wType == 16 || wType == 20 || wType == 81 || wType == 110) {
      const wchar_t* psz = nullptr;
      if (clValue.nGetPCWSTR(&psz) == ANY_OK && psz != nullptr && *psz != 0) {
        std::wstring sCopy(psz);
        PurgeQuote(&sCopy[0], 1);
        sCopy.resize(std::wcslen(sCopy.c_str()));
        const std::wstring sEscaped = EscapeLikeValue(sCopy, cEscape);
        clValue = CAny();
        clValue.__SetType(ANY_DSTRW, 0);
        clValue.SetValue(sEscaped.c_str(), sEscaped.size() * sizeof(wchar_t));
        clValue.SetNull(false);
      }
      if (analysis == NA_IT_EMPTY) analysis = NA_IT_UNICODE;
    } else {
      const char cEscapeA = STR_WCharToAChar(cEscape, 0, m_clFormated.nGetConversionCodePage());
      if (!(wType == 17 || wType == 18 || wType == 19 || (wType >= 21 && wType <= 23) || wType == 134))
        clValue.__nCastTo(ANY_DSTRA, nullptr, 0);
      const char* psz = nullptr;
      if (clValue.nGetPCASTR(&psz) == ANY_OK && psz != nullptr && *psz != 0) {
        std::string sCopy(psz);
        PurgeQuote(&sCopy[0], 1);
        sCopy.resize(std::strlen(sCopy.c_str()));
        const std::string sEscaped = EscapeLikeValue(sCopy, cEscapeA);
        clValue = CAny();
        clValue.__SetType(ANY_PSTRA, 0);
        clValue.SetValue(sEscaped.c_str(), sEscaped.size());
        clValue.SetNull(false);
      }
      if (analysis == NA_IT_EMPTY) analysis = NA_IT_TEXTE;
    }
  } catch (const std::bad_alloc&) {
    _SetNoMemory();
    return 0;
  }
  return vbAddEscapedLikeValue(parameter, &clValue, database, analysis, cursor);
}

void CNACommand::vAddEscapeLike() {}

int CNACommand::vbAddEscapedLikeValue(CNAParameter* parameter, CAny* value, eNA_ITEMTYPE database,
                                      eNA_ITEMTYPE analysis, unsigned long* cursor) {
  const int bResult = _bWriteLiteral(&m_clLiteral, value, analysis, database);
  if (bResult) {
    if (_nKind() == 2) {
      m_clLiteral.Remplace(L"[", 1, L"[[]", 3);
    }
    _AppendLiteral(m_clLiteral);
  }
  const std::wstring sLiteral(m_clLiteral.pszGetW(), static_cast<std::size_t>(m_clLiteral.nGetLengthW()));
  vAddEscapeLikeIfNeeded(parameter, sLiteral.c_str(), cursor);
  return bResult;
}

void CNACommand::vAddEscapeLikeIfNeeded(CNAParameter* parameter, const wchar_t* literal, unsigned long* cursor) {
  const wchar_t cEscape = parameter->cGetEscape() != 0 ? parameter->cGetEscape() : L'\\';
  const unsigned long nLength = static_cast<unsigned long>(m_clRaw.nGetLengthW());
  const unsigned long nCursor = cursor != nullptr && *cursor < nLength ? *cursor : nLength;
  const wchar_t* pszRest = m_clRaw.pszGetW() + nCursor;
  const int nKind = _nKind();
  if (nKind == 3) {
    const long at = s_nGetPosSuiteRequete(pszRest, L"ESCAPE");
    if (at >= 0 && cursor != nullptr) {
      const wchar_t* pQuote = std::wcschr(pszRest + at + 6, L'\'');
      if (pQuote != nullptr) {
        const unsigned long nNew = nCursor + static_cast<unsigned long>(pQuote - pszRest) + 3;
        *cursor = nNew < nLength ? nNew : nLength;
      }
    }
    return;
  }
  if (literal == nullptr || std::wcschr(literal, cEscape) == nullptr) return;
  if (s_bSuiteRequeteCommencePar(pszRest, L"ESCAPE")) return;
  if (nKind == 5) {
    // The character goes through the literal writer, so that a quote or a
    // backslash cannot open a string that runs into the next literal. The
    // backslash needs a clause only where it is not the server's own
    // escape (the writer then leaves it single).
    CAny clChar;
    clChar.__SetType(ANY_DSTRW, 0);
    clChar.SetValue(&cEscape, sizeof(wchar_t));
    CTStringConcatAW clEscape(m_clLiteral.nGetCodePage(), m_clLiteral.nGetConversionCodePage(), 16);
    if (!_bWriteLiteral(&clEscape, &clChar, NA_IT_EMPTY, NA_IT_EMPTY)) return;
    if (cEscape == L'\\' && std::wcscmp(clEscape.pszGetW(), L"'\\'") != 0) return;
    m_clFormated.Add(L" ESCAPE ", 8);
    _AppendLiteral(clEscape);
    return;
  }
  if (cEscape == L'\\') {
    const bool bDouble = nKind == 12 || nKind == 6;
    if (bDouble)
      m_clFormated.Add(L" ESCAPE '\\\\'", 12);
    else
      m_clFormated.Add(L" ESCAPE '\\'", 11);
    return;
  }
  m_clFormated.Add(L" ESCAPE '", 9);
  m_clFormated.Add(&cEscape, 1);
  m_clFormated.Add(L"'", 1);
}

int CNACommand::bEscapeLIKEParamAsXQParam(CXYString<wchar_t>* out, const wchar_t* value, wchar_t escape) {
  if (out == nullptr) return 0;
  const wchar_t e = escape != 0 ? escape : L'\\';
  const long n = Length(value);
  try {
    if (out->__nPrepareModification(2 * n + 1) != 0) throw std::bad_alloc();
    std::wstring s;
    s.reserve(static_cast<std::size_t>(2 * n + 1));
    if (value != nullptr) EscapeForEngine(s, value, e);
    if (s.empty()) {
      out->nAffecte(L"", 0);
      return 1;
    }
    if (out->nAffecte(s.c_str(), static_cast<long>(s.size())) != 0) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationEscapeLike, m_pclCnx, knErrNoMemory);
    return 0;
  }
  return 1;
}

int CNACommand::bEscapeLIKEParamAsXQParam(CXYString<char>* out, const char* value, char escape) {
  if (out == nullptr) return 0;
  const char e = escape != 0 ? escape : '\\';
  const long n = Length(value);
  try {
    if (out->__nPrepareModification(2 * n + 1) != 0) throw std::bad_alloc();
    std::string s;
    s.reserve(static_cast<std::size_t>(2 * n + 1));
    if (value != nullptr) EscapeForEngine(s, value, e);
    if (s.empty()) {
      out->nAffecte("", 0);
      return 1;
    }
    if (out->nAffecte(s.c_str(), static_cast<long>(s.size())) != 0) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationEscapeLike, m_pclCnx, knErrNoMemory);
    return 0;
  }
  return 1;
}

// ---- Items in conditions ---------------------------------------------------------------------

int CNACommand::eGetFormatExpressionColonne(CNASqlElt::eSQLELT clause, eNA_ITEMTYPE type, eOPEXPRESSION op,
                                            IExpOpExpression* /*expression*/) {
  if (op == 33) return 0;
  if (type != NA_IT_HEURE && type != NA_IT_DATE8 && type != NA_IT_DATETIME) return 0;
  const bool bTimeSupported = m_pclCnx != nullptr && m_pclCnx->bSupportItemTime();
  if (type == NA_IT_HEURE && !bTimeSupported && clause >= 3 && clause <= 6) return 2;
  if (op > 57) return 0;
  if ((op >= 15 && op <= 21) || op == 32 || (op >= 42 && op <= 46) || (op >= 50 && op <= 57)) return 2;
  if (((op >= 9 && op <= 14) || op == 22 || op == 23) && type == NA_IT_HEURE) return bTimeSupported ? 0 : 2;
  return 0;
}

// ---- Function renaming ------------------------------------------------------------------------

namespace {

struct stRename {
  int nOperator;
  int nKind;
  const wchar_t* pszName;
};

// By operator code and data-source kind; kind 5 renames nothing.
const stRename kaRenames[] = {
    {7, 11, L"NVL"}, {8, 11, L"NVL"},
    {42, 6, L"SUBSTRING"}, {42, 11, L"SUBSTR"}, {42, 13, L"SUBSTR"}, {42, 1, L"SUBSTR"},
    {43, 6, L"SUBSTRING"}, {43, 11, L"SUBSTR"}, {43, 13, L"SUBSTR"}, {43, 1, L"SUBSTR"},
    {44, 2, L"SUBSTRING"}, {44, 4, L"SUBSTRING"}, {44, 6, L"SUBSTRING"},
    {44, 1, L"SUBSTR"}, {44, 8, L"SUBSTR"}, {44, 11, L"SUBSTR"}, {44, 7, L"SYSIBM.SUBSTR"},
    {45, 7, L"UCASE"}, {46, 7, L"LCASE"},
    {50, 2, L"SUBSTRING"}, {50, 4, L"SUBSTRING"}, {50, 6, L"SUBSTRING"}, {50, 7, L"SYSIBM.SUBSTR"},
    {51, 7, L"SYSIBM.SUBSTR"}, {51, 11, L"SUBSTR"}, {51, 13, L"SUBSTR"}, {51, 1, L"SUBSTR"},
    {52, 11, L"TRIM"}, {53, 11, L"TRIM"},
    {54, 2, L"LEN"}, {54, 4, L"CHAR_LENGTH"},
    {55, 1, L"LENGTH"}, {55, 7, L"LENGTH"}, {55, 8, L"LENGTH"}, {55, 11, L"LENGTH"}, {55, 13, L"LENGTH"},
    {72, 1, L"CEIL"},
    {75, 1, L"SUBSTR"}, {76, 1, L"SUBSTR"},
    {77, 1, L"LENGTH"}, {78, 1, L"LENGTH"},
    {79, 1, L"LENGTHB"},
    {89, 1, L"INSTR"},
    {92, 1, L"TO_CHAR"}, {92, 11, L"SUBSTR(HEX"},
};

}  // namespace

const wchar_t* CNACommand::s_pszRenameFunction(eOPEXPRESSION op, int kind) {
  for (const stRename& r : kaRenames)
    if (r.nOperator == op && r.nKind == kind) return r.pszName;
  return nullptr;
}

// ---- Hooks of the expression walk (the parser-reading ones are in
// CNACommandParsed.cpp) -----------------------------------------------------------------------------

int CNACommand::_vbFormatExpressionOperatorEntreOperande() { return 1; }
int CNACommand::_vbSkipOperande() { return 0; }
void CNACommand::_vConvertirFonction(CSQLParserInfo*, IExpOpExpression*, int, int) {}

void CNACommand::_GetMotifVariableDebut(wchar_t* out, unsigned int size) {
  if (out != nullptr && size >= 2) std::wcscpy(out, L"{");
  else if (out != nullptr && size == 1) *out = 0;
}

void CNACommand::_GetMotifVariableFin(wchar_t* out, unsigned int size) {
  if (out != nullptr && size >= 2) std::wcscpy(out, L"}");
  else if (out != nullptr && size == 1) *out = 0;
}

int CNACommand::_bShouldAddParameter(CSQLParserInfo* query, IExpOpExpression* /*expression*/,
                                     IExpOpExpression* /*parent*/, CNASqlElt::eSQLELT clause,
                                     INAItemDescription* /*item*/) {
  if (!m_bParametersAllowed) return 0;
  if (clause != CNASqlElt::SQLELT_SELECT || (m_nDialectFlags & 2) == 0) return 1;
  // The parsed query's own kind decides; without parsed information, the
  // command's type (a query of unknown kind is taken as a SELECT).
  if (query != nullptr) return query->nGetQueryKind() != TYPEREQUETE_SELECT ? 1 : 0;
  return m_nQueryType != QUERY_SELECT && m_nQueryType != QUERY_NONE ? 1 : 0;
}

int CNACommand::bAddRecordLock() {
  const wchar_t* pszHint = m_pclCnx != nullptr ? m_pclCnx->pszGetNoLockHint() : nullptr;
  if (pszHint != nullptr && *pszHint != 0) {
    m_clRaw.Add(L" ", 1);
    m_clRaw.Add(pszHint, static_cast<long>(std::wcslen(pszHint)));
    _Invalidate();
  }
  return 1;
}
