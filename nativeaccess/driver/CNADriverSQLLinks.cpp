// The foreign keys of a table, read back from the server's own CREATE TABLE
// text ("SHOW CREATE TABLE"), as the link records the runtime reads.
#include <cwchar>
#include <cwctype>
#include <string>

#include "CAny.h"
#include "CNABoundary.h"
#include "CNAConnectionDescription.h"
#include "CNADataSourceDescription.h"
#include "CNADriver.h"
#include "CNADriverSQL.h"
#include "CNAHeld.h"
#include "CTString.h"
#include "CXYString.h"
#include "CXYStringConcat.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"

namespace {

constexpr std::uint64_t knListStep = 1024;

// The referential actions by the words that name them.
constexpr struct {
  const wchar_t* pszWord;
  CNADriverSQL::eSQLForeignKeysRules eRule;
} kastRules[] = {
    {L"CASCADE", CNADriverSQL::SQLFK_CASCADE},     {L"SET NULL", CNADriverSQL::SQLFK_SET_NULL},
    {L"SET DEFAULT", CNADriverSQL::SQLFK_SET_DEFAULT}, {L"NO ACTION", CNADriverSQL::SQLFK_NO_ACTION},
    {L"RESTRICT", CNADriverSQL::SQLFK_RESTRICT},
};

bool bBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool bSameLetter(wchar_t a, wchar_t b) {
  return std::towupper(static_cast<wint_t>(a)) == std::towupper(static_cast<wint_t>(b));
}

// Whether a and b are the same text without regard to case (null reads as
// the empty text).
bool bEqualI(const wchar_t* a, const wchar_t* b) {
  if (a == nullptr) a = L"";
  if (b == nullptr) b = L"";
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (!bSameLetter(*a, *b)) return false;
  return *a == *b;
}

void AddText(CXYStringConcat<wchar_t>* out, const wchar_t* psz) {
  out->Add(psz, static_cast<long>(std::wcslen(psz)));
}

// Reads a CREATE TABLE text by character position. Every match moves past
// what it matched; a mismatch moves nothing. Positions at or past the end
// match nothing.
class CCreateTextReader {
 public:
  explicit CCreateTextReader(const wchar_t* text) : m_psz(text), m_nLength(std::wcslen(text)) {}

  void SkipBlanks() {
    while (m_nPos < m_nLength && bBlank(m_psz[m_nPos])) ++m_nPos;
  }

  bool bChar(wchar_t c) {
    if (m_nPos >= m_nLength || m_psz[m_nPos] != c) return false;
    ++m_nPos;
    return true;
  }

  // `word` without regard to case.
  bool bKeyword(const wchar_t* word) {
    const std::size_t n = std::wcslen(word);
    if (m_nLength - m_nPos < n) return false;
    for (std::size_t i = 0; i < n; ++i)
      if (!bSameLetter(m_psz[m_nPos + i], word[i])) return false;
    m_nPos += n;
    return true;
  }

  // A backquoted name; a doubled backquote inside it is one backquote.
  bool bQuotedName(std::wstring* name) {
    if (m_nPos >= m_nLength || m_psz[m_nPos] != L'`') return false;
    std::wstring s;
    for (std::size_t i = m_nPos + 1; i < m_nLength; ++i) {
      if (m_psz[i] != L'`') {
        s += m_psz[i];
        continue;
      }
      if (i + 1 < m_nLength && m_psz[i + 1] == L'`') {
        s += L'`';
        ++i;
        continue;
      }
      m_nPos = i + 1;
      *name = std::move(s);
      return true;
    }
    return false;
  }

  // A table name: `t`, or `db`.`t` (another database) written "db.t".
  bool bTableName(std::wstring* name) {
    if (!bQuotedName(name)) return false;
    const std::size_t nAfter = m_nPos;
    std::wstring sTable;
    if (bChar(L'.') && bQuotedName(&sTable)) {
      *name += L'.';
      *name += sTable;
    } else {
      m_nPos = nAfter;
    }
    return true;
  }

  // "(" backquoted names separated by "," ")": the names joined by ","
  // into *key, their number into *count.
  bool bColumnList(std::wstring* key, int* count) {
    key->clear();
    *count = 0;
    if (!bChar(L'(')) return false;
    do {
      SkipBlanks();
      std::wstring sName;
      if (!bQuotedName(&sName)) return false;
      if (*count > 0) *key += L',';
      *key += sName;
      ++*count;
      SkipBlanks();
    } while (bChar(L','));
    return bChar(L')');
  }

  // "<clause>" and an action word: its action; RESTRICT when the clause or
  // a known word is missing.
  CNADriverSQL::eSQLForeignKeysRules eAction(const wchar_t* clause) {
    SkipBlanks();
    if (!bKeyword(clause)) return CNADriverSQL::SQLFK_RESTRICT;
    SkipBlanks();
    for (const auto& stRule : kastRules)
      if (bKeyword(stRule.pszWord)) return stRule.eRule;
    return CNADriverSQL::SQLFK_RESTRICT;
  }

  // Moves past the next keyword CONSTRAINT that stands as a word (line
  // start or blank before, blank after) outside backquoted names and quoted
  // strings. False at the end of the text.
  bool bNextConstraint() {
    static constexpr wchar_t kszKeyword[] = L"CONSTRAINT";
    static constexpr std::size_t knKeyword = sizeof(kszKeyword) / sizeof(wchar_t) - 1;
    while (m_nPos < m_nLength) {
      const wchar_t c = m_psz[m_nPos];
      if (c == L'`') {
        std::wstring sIgnored;
        if (!bQuotedName(&sIgnored)) return false;  // open to the end
        continue;
      }
      if (c == L'\'' || c == L'"') {
        _SkipString(c);
        continue;
      }
      const bool bWordStart =
          m_nPos == 0 || bBlank(m_psz[m_nPos - 1]) || m_psz[m_nPos - 1] == L'\n' || m_psz[m_nPos - 1] == L'\r';
      if (bWordStart && m_nLength - m_nPos > knKeyword &&
          std::wcsncmp(m_psz + m_nPos, kszKeyword, knKeyword) == 0 && bBlank(m_psz[m_nPos + knKeyword])) {
        m_nPos += knKeyword;
        return true;
      }
      ++m_nPos;
    }
    return false;
  }

 private:
  // Past a string opened by `quote` at the position (a backslash escapes
  // the next character; a doubled quote reads as two strings in a row).
  void _SkipString(wchar_t quote) {
    ++m_nPos;
    while (m_nPos < m_nLength) {
      const wchar_t c = m_psz[m_nPos++];
      if (c == L'\\')
        ++m_nPos;
      else if (c == quote)
        return;
    }
  }

  const wchar_t* m_psz;
  std::size_t m_nLength;
  std::size_t m_nPos = 0;
};

}  // namespace

int CNADriverSQL::_bTextToeSQLForeignKeysRules(eSQLForeignKeysRules* rule, const wchar_t* text) {
  if (rule == nullptr) return 1;
  *rule = SQLFK_UNKNOWN;
  for (const auto& stRule : kastRules) {
    if (bEqualI(text, stRule.pszWord)) {
      *rule = stRule.eRule;
      break;
    }
  }
  return 1;
}

const wchar_t* CNADriverSQL::s_pszForeignKeyRuleCode(eSQLForeignKeysRules rule) {
  switch (rule) {
    case SQLFK_CASCADE:
      return L"2022";
    case SQLFK_SET_NULL:
    case SQLFK_SET_DEFAULT:
      return L"2023";
    case SQLFK_NO_ACTION:
      return L"2020";
    default:
      return L"2021";
  }
}

int CNADriverSQL::_bGetNomCleComposee(INADataSourceDescription** description,
                                      CNADataSourceDescription** fetched, CXYString<wchar_t>* key, int count,
                                      const wchar_t* table, CNAConnectionDescription* connection) {
  if (description == nullptr || key == nullptr) return 0;
  if (*description == nullptr) {
    CNADriver* pclDriver = _pclGetListDriver();
    if (fetched == nullptr || pclDriver == nullptr) return 0;
    CNADataSourceDescription* pclSource = pclDriver->_pclGetTableDesc(table, connection);
    if (pclSource == nullptr) return 0;
    *fetched = pclSource;
    *description = pclSource;
  }
  INADataSourceDescription* piSource = *description;
  const std::uint32_t nItems = piSource->nGetNumItems();
  for (std::uint32_t i = 0; i < nItems; ++i) {
    const CNAHeldItem clItem(piSource->piNAGetItem(i));
    if (clItem.p == nullptr || !clItem.p->bIsComposedKey(0) || count < 1 ||
        clItem.p->nGetNumComponents() != static_cast<std::uint32_t>(count))
      continue;
    std::wstring sComponents;
    for (std::uint32_t n = 1; n <= static_cast<std::uint32_t>(count); ++n) {
      const CNAHeldItem clComponent(clItem.p->piGetItemComponent(n));
      if (n > 1) sComponents += L',';
      if (clComponent.p != nullptr && clComponent.p->pszGetName() != nullptr)
        sComponents += clComponent.p->pszGetName();
    }
    if (bEqualI(sComponents.c_str(), key->pszGet())) {
      key->nAffecte(clItem.p->pszGetName());
      break;
    }
  }
  return 1;
}

int CNADriverSQL::_bExtraitLink_FromShowCreateTable(CXYStringConcat<wchar_t>* out, const wchar_t* createText,
                                                    const wchar_t* table, CNAConnectionDescription* connection,
                                                    INADataSourceDescription* source, int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 1, [&]() -> int {
    if (out == nullptr || createText == nullptr) return 1;
    const bool bWrite = (static_cast<unsigned int>(flags) & kdwListLong) != 0;
    const wchar_t* pszTable = table != nullptr ? table : L"";
    // The source table's description, asked for once for the whole text.
    INADataSourceDescription* piSource = source;
    CNADataSourceDescription* pclFetchedSource = nullptr;
    bool bSourceAsked = source != nullptr;
    const CNAOnExit clGiveBack([&] {
      if (pclFetchedSource != nullptr) pclFetchedSource->nRelease();
    });

    CCreateTextReader clReader(createText);
    // Every mismatch skips that constraint only; the search goes on from
    // where the reading stopped.
    while (clReader.bNextConstraint()) {
      clReader.SkipBlanks();
      std::wstring sName;
      if (!clReader.bQuotedName(&sName)) continue;
      clReader.SkipBlanks();
      if (!clReader.bKeyword(L"FOREIGN KEY")) continue;
      clReader.SkipBlanks();
      std::wstring sKey;
      int nKey = 0;
      if (!clReader.bColumnList(&sKey, &nKey)) continue;
      clReader.SkipBlanks();
      if (!clReader.bKeyword(L"REFERENCES")) continue;
      clReader.SkipBlanks();
      std::wstring sReferenced;
      if (!clReader.bTableName(&sReferenced)) continue;
      clReader.SkipBlanks();
      std::wstring sReferencedKey;
      int nReferencedKey = 0;
      if (!clReader.bColumnList(&sReferencedKey, &nReferencedKey)) continue;
      const eSQLForeignKeysRules eDelete = clReader.eAction(L"ON DELETE ");
      const eSQLForeignKeysRules eUpdate = clReader.eAction(L"ON UPDATE ");
      if (!bWrite) continue;

      CXYString<wchar_t> clKey;
      clKey.nAffecte(sKey.c_str());
      if (nKey > 1) {
        if (piSource == nullptr && bSourceAsked) continue;
        bSourceAsked = true;
        if (!_bGetNomCleComposee(&piSource, &pclFetchedSource, &clKey, nKey, pszTable, connection)) continue;
      }
      CXYString<wchar_t> clReferencedKey;
      clReferencedKey.nAffecte(sReferencedKey.c_str());
      if (nReferencedKey > 1) {
        INADataSourceDescription* piReferenced = nullptr;
        CNADataSourceDescription* pclReferenced = nullptr;
        const int bResolved = _bGetNomCleComposee(&piReferenced, &pclReferenced, &clReferencedKey,
                                                  nReferencedKey, sReferenced.c_str(), connection);
        if (pclReferenced != nullptr) pclReferenced->nRelease();
        if (!bResolved) continue;
      }

      if (out->nGetLength() > 0) AddText(out, L"\r\n");
      const wchar_t* apszFields[] = {sName.c_str(),    sReferenced.c_str(),
                                     clReferencedKey.pszGet(), L"0,N",
                                     pszTable,         clKey.pszGet(),
                                     L"0,1",           s_pszForeignKeyRuleCode(eUpdate),
                                     s_pszForeignKeyRuleCode(eDelete)};
      bool bFirst = true;
      for (const wchar_t* pszField : apszFields) {
        if (!bFirst) AddText(out, L"\t");
        AddText(out, pszField);
        bFirst = false;
      }
    }
    return 1;
  });
}

int CNADriverSQL::bGetLinkList(CAny* result, CNAConnectionDescription* connection, const wchar_t* table,
                               INADataSourceDescription* source, unsigned int flags) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (connection == nullptr) return 0;
    // Only the MariaDB/MySQL server writes its keys this way.
    if (connection->eGetDataSource() != DATASOURCE_MARIADB) return 1;
    const wchar_t* pszName = source != nullptr ? source->pszGetDBTableName() : nullptr;
    if (pszName == nullptr) pszName = table;
    CTString csName;
    if (!connection->bFormatTableName(m_pclError, pszName, &csName)) return 0;
    std::wstring sQuery = L"SHOW CREATE TABLE ";
    sQuery += csName.pszGet();
    CNAStatementSQL* pclStatement = nullptr;
    if (!bExecute(m_pclError, &pclStatement, connection, sQuery.c_str(), nullptr, NA_WRITEPARSE_NONE) ||
        pclStatement == nullptr)
      return 0;
    const CNAAdopted<CNAStatementSQL> clStatement(pclStatement);
    if (!pclStatement->bFetch(0)) return 0;
    if (pclStatement->bNoCurrentRow()) return 1;
    // A view answers with a "Create View" column: it has no keys.
    CAny clColumn;
    if (!pclStatement->bGetColumnName(&clColumn, 1, 0)) return 0;
    const wchar_t* pszColumn = nullptr;
    if (clColumn.nGetPCWSTR(&pszColumn) != ANY_OK || !bEqualI(pszColumn, L"Create Table")) return 1;
    CAny clText;
    if (!pclStatement->bGetValue(&clText, 1, 0)) return 0;
    const unsigned short wType = clText.nGetTypeCode();
    const wchar_t* pszText = nullptr;
    if ((wType != ANY_DSTRW && wType != ANY_PSTRW) || clText.nGetPCWSTR(&pszText) != ANY_OK) return 1;
    CXYStringConcat<wchar_t> clLinks(knListStep);
    _bExtraitLink_FromShowCreateTable(&clLinks, pszText, table, connection, source,
                                      static_cast<int>(flags));
    s_SetListText(result, clLinks.pszGet(), clLinks.nGetLength());
    return 1;
  });
}
