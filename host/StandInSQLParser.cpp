#include "StandInSQLParser.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <mutex>
#include <stdexcept>

#include "StandInInfoRubrique.h"

// The counts' place is checked in each constructor, where the classes are
// complete (offsetof on these classes is supported by the compiler).
#pragma GCC diagnostic ignored "-Winvalid-offsetof"

namespace {

constexpr int kKinds = static_cast<int>(eParserCount::Count_);

struct stLedger {
  std::mutex mutex;
  long anTakes[kKinds] = {};
  long anGives[kKinds] = {};
  std::vector<const std::uint32_t*> atabCounted[kKinds];
  std::string sFaults;
  int nFaults = 0;
};

stLedger& Ledger() {
  static stLedger* p = new stLedger;  // outlives every static object
  return *p;
}

bool bCounted(eParserCount k) {
  return k == eParserCount::Parser || k == eParserCount::From || k == eParserCount::Rubrique ||
         k == eParserCount::OrderBy;
}

const char* KindName(int k) {
  static const char* const names[kKinds] = {"parser information", "FROM table", "output item", "ORDER BY item",
                                            "tree", "operand", "item description", "data source",
                                            "bind values"};
  return names[k];
}

[[noreturn]] void ReservedSlot(const char* what, int n) {
  std::fprintf(stderr, "stand-in runtime: reserved slot %d of %s called\n", n, what);
  std::abort();
}

}  // namespace

std::wstring StandInLower(const wchar_t* p) {
  std::wstring s = p != nullptr ? p : L"";
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return s;
}

// ---- Ledger ----

void CStandInParserLedger::Take(eParserCount k) {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  ++Ledger().anTakes[static_cast<int>(k)];
}

void CStandInParserLedger::Give(eParserCount k) {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  ++Ledger().anGives[static_cast<int>(k)];
}

void CStandInParserLedger::Fault(const char* what) {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  ++Ledger().nFaults;
  Ledger().sFaults += what;
  Ledger().sFaults += "; ";
}

long CStandInParserLedger::nTakes(eParserCount k) {
  if (bCounted(k)) return nOutstanding(k) + nGives(k);
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  return Ledger().anTakes[static_cast<int>(k)];
}

long CStandInParserLedger::nGives(eParserCount k) {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  return Ledger().anGives[static_cast<int>(k)];
}

long CStandInParserLedger::nOutstanding(eParserCount k) {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  const int i = static_cast<int>(k);
  if (!bCounted(k)) return Ledger().anTakes[i] - Ledger().anGives[i];
  long n = 0;
  for (const std::uint32_t* p : Ledger().atabCounted[i]) n += static_cast<long>(__atomic_load_n(p, __ATOMIC_SEQ_CST)) - 1;
  return n;
}

int CStandInParserLedger::nFaults() {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  return Ledger().nFaults;
}

std::string CStandInParserLedger::sFaults() {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  return Ledger().sFaults;
}

std::string CStandInParserLedger::sUnbalanced() {
  std::string s;
  for (int k = 0; k < kKinds; ++k) {
    const long n = nOutstanding(static_cast<eParserCount>(k));
    if (n != 0) s += std::string(KindName(k)) + ": " + std::to_string(n) + " outstanding; ";
  }
  if (nFaults() != 0) s += "faults: " + sFaults();
  return s;
}

void CStandInParserLedger::Reset() {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  for (int k = 0; k < kKinds; ++k) Ledger().anTakes[k] = Ledger().anGives[k] = 0;
  Ledger().nFaults = 0;
  Ledger().sFaults.clear();
}

void CStandInParserLedger::Register(eParserCount k, const std::uint32_t* count) {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  Ledger().atabCounted[static_cast<int>(k)].push_back(count);
}

void CStandInParserLedger::Unregister(eParserCount k, const std::uint32_t* count) {
  std::lock_guard<std::mutex> lock(Ledger().mutex);
  auto& tab = Ledger().atabCounted[static_cast<int>(k)];
  for (std::size_t i = 0; i < tab.size(); ++i) {
    if (tab[i] == count) {
      tab.erase(tab.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

namespace {
// Slot 2 of a byte-8 counted object that its creator owns: the creator's
// own reference is never given back by the library.
std::uint32_t CountedRelease(std::uint32_t* pn, eParserCount k, const char* what) {
  CStandInParserLedger::Give(k);
  if (__atomic_load_n(pn, __ATOMIC_SEQ_CST) <= 1) {
    CStandInParserLedger::Fault(what);
    return 1;
  }
  return __atomic_sub_fetch(pn, 1u, __ATOMIC_SEQ_CST);
}
}  // namespace

// ---- Descriptions and bind values ----

CStandInItemDescription::CStandInItemDescription(const wchar_t* name, std::uint32_t type)
    : m_sName(name != nullptr ? name : L""), m_nType(type) {}

void CStandInItemDescription::ExternalAddRef() {
  ++m_nExternal;
  CStandInParserLedger::Take(eParserCount::ItemDescription);
}

std::uint32_t CStandInItemDescription::nExternalRelease() {
  CStandInParserLedger::Give(eParserCount::ItemDescription);
  if (m_nExternal <= 0) {
    CStandInParserLedger::Fault("item description given back once too often");
    return 0;
  }
  return static_cast<std::uint32_t>(--m_nExternal);
}

void CStandInItemDescription::SetKeyFlags(std::uint16_t flags) {
  m_bPrimary = (flags & 0x8000) != 0;
  m_bUnique = (flags & 0x4000) != 0;
  m_bDuplicates = (flags & 0x2000) != 0;
  m_bComposed = (flags & 0x1000) != 0;
  m_bDescending = (flags & 0x0400) != 0;
}

std::uint16_t CStandInItemDescription::wGetKeyFlags() const {
  if (!bIsKey(0)) return 0;
  std::uint16_t w = m_bDescending ? 0x0400 : 0x0800;
  if (m_bPrimary) w |= 0x8000;
  if (m_bUnique) w |= 0x4000;
  if (m_bDuplicates) w |= 0x2000;
  if (m_bComposed) w |= 0x1000;
  return w;
}

int CStandInItemDescription::nGetKeyIndice() const {
  if (m_pclSource == nullptr) return m_nKeyIndex;
  if (!bIsKey(0)) return -1;
  int n = 0;
  for (const CStandInItemDescription* p : m_pclSource->m_tabItems) {
    if (p == this) return n;
    n += p->bIsKey(0) ? 1 : 0;
  }
  return -1;
}

INAItemDescription* CStandInItemDescription::piGetItemComponent(std::uint32_t n) {
  if (n < 1 || n > m_tabComponents.size() || m_tabComponents[n - 1] == nullptr) return nullptr;
  m_tabComponents[n - 1]->ExternalAddRef();
  return m_tabComponents[n - 1];
}

CStandInDataSource::CStandInDataSource(const wchar_t* logical, const wchar_t* dbTable)
    : m_sLogical(logical != nullptr ? logical : L""), m_sDBTable(dbTable != nullptr ? dbTable : L"") {}

CStandInDataSource::~CStandInDataSource() {
  for (CStandInItemDescription* p : m_tabDeclared) delete p;
}

void CStandInDataSource::ExternalAddRef() {
  ++m_nExternal;
  CStandInParserLedger::Take(eParserCount::DataSource);
}

std::uint32_t CStandInDataSource::nExternalRelease() {
  CStandInParserLedger::Give(eParserCount::DataSource);
  if (m_nExternal <= 0) {
    CStandInParserLedger::Fault("data source given back once too often");
    return 0;
  }
  return static_cast<std::uint32_t>(--m_nExternal);
}

void CStandInDataSource::AddItem(CStandInItemDescription* item) {
  if (item == nullptr) return;
  item->m_nPhysicalIndex = static_cast<std::uint32_t>(m_tabItems.size());
  item->m_nOffset = nGetDiskRecordSize();
  item->m_pclSource = this;
  m_tabItems.push_back(item);
  m_mapItems.emplace(StandInLower(item->m_sName.c_str()), item);
}

bool CStandInDataSource::Declare(const std::vector<stStandInItemRow>& rows) {
  std::vector<CStandInItemDescription*> tabNew;
  auto find = [&](const std::wstring& name) -> CStandInItemDescription* {
    for (CStandInItemDescription* p : m_tabItems)
      if (p->m_sName == name) return p;
    for (CStandInItemDescription* p : tabNew)
      if (p->m_sName == name) return p;
    return nullptr;
  };
  for (const stStandInItemRow& row : rows) {
    auto* p = new CStandInItemDescription(row.sName.c_str(), row.nType);
    p->m_nSize = row.nSize;
    p->m_nDimension = row.nDimension;
    p->SetKeyFlags(row.wKeyFlags);
    p->m_bNullAllowed = row.bNullAllowed;
    tabNew.push_back(p);
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (const std::wstring& sComponent : rows[i].tabComponents) {
      CStandInItemDescription* pclComponent = find(sComponent);
      if (pclComponent == nullptr) {
        for (CStandInItemDescription* p : tabNew) delete p;
        return false;
      }
      tabNew[i]->m_tabComponents.push_back(pclComponent);
    }
  }
  for (CStandInItemDescription* p : tabNew) {
    m_tabDeclared.push_back(p);
    AddItem(p);
  }
  return true;
}

CStandInItemDescription* CStandInDataSource::pclGetItemNoRef(const wchar_t* name) const {
  const std::wstring s = name != nullptr ? name : L"";
  for (CStandInItemDescription* p : m_tabItems)
    if (p->m_sName == s) return p;
  return nullptr;
}

namespace {
// The n-th item of `items` that `keep` selects, with one external
// reference; null past the last.
template <class Keep>
INAItemDescription* NthItem(const std::vector<CStandInItemDescription*>& items, std::uint32_t n, Keep keep) {
  for (CStandInItemDescription* p : items) {
    if (!keep(p)) continue;
    if (n-- == 0) {
      p->ExternalAddRef();
      return p;
    }
  }
  return nullptr;
}
}  // namespace

std::uint32_t CStandInDataSource::nGetDiskRecordSize() {
  std::uint32_t n = 0;
  for (CStandInItemDescription* p : m_tabItems)
    if (!p->m_bComposed) n += p->nGetTotalSize();
  return n;
}

std::uint32_t CStandInDataSource::nGetMemoryRecordSize() {
  std::uint32_t n = 0;
  for (CStandInItemDescription* p : m_tabItems) n += p->nGetTotalSize();
  return n;
}

std::uint32_t CStandInDataSource::nGetNumKeys() {
  std::uint32_t n = 0;
  for (CStandInItemDescription* p : m_tabItems) n += p->bIsKey(0) ? 1 : 0;
  return n;
}

std::uint32_t CStandInDataSource::nGetNumMemos() {
  std::uint32_t n = 0;
  for (CStandInItemDescription* p : m_tabItems) n += p->bMemo() ? 1 : 0;
  return n;
}

INAItemDescription* CStandInDataSource::piNAGetItem(const wchar_t* pszName) {
  if (pszName == nullptr) return nullptr;
  auto it = m_mapItems.find(StandInLower(pszName));
  if (it == m_mapItems.end() || it->second == nullptr) return nullptr;
  it->second->ExternalAddRef();
  return it->second;
}

INAItemDescription* CStandInDataSource::piNAGetItem(std::uint32_t nIndex) {
  return NthItem(m_tabItems, nIndex, [](CStandInItemDescription*) { return true; });
}

INAItemDescription* CStandInDataSource::piNAGetKey(std::uint32_t nIndex) {
  return NthItem(m_tabItems, nIndex, [](CStandInItemDescription* p) { return p->bIsKey(0) != 0; });
}

INAItemDescription* CStandInDataSource::piNAGetMemo(std::uint32_t nIndex) {
  return NthItem(m_tabItems, nIndex, [](CStandInItemDescription* p) { return p->bMemo() != 0; });
}

INAItemDescription* CStandInDataSource::piGetBestParseItemDesc() {
  if (m_pclBest == nullptr) return nullptr;
  m_pclBest->ExternalAddRef();
  return m_pclBest;
}

void CStandInQueryParameters::Set(const wchar_t* name, const CAny& value, int direction) {
  stEntry& e = m_mapValues[StandInLower(name)];
  e.clValue = value;
  e.nDirection = direction;
}

void CStandInQueryParameters::ExternalAddRef() {
  ++m_nExternal;
  CStandInParserLedger::Take(eParserCount::QueryParameters);
}

std::uint32_t CStandInQueryParameters::nExternalRelease() {
  CStandInParserLedger::Give(eParserCount::QueryParameters);
  if (m_nExternal <= 0) {
    CStandInParserLedger::Fault("bind values given back once too often");
    return 0;
  }
  return static_cast<std::uint32_t>(--m_nExternal);
}

int CStandInQueryParameters::bGetParameterValue(const wchar_t* name, CAny* out) {
  auto it = m_mapValues.find(StandInLower(name));
  if (it == m_mapValues.end() || out == nullptr) return 0;
  *out = it->second.clValue;
  return 1;
}

int CStandInQueryParameters::nGetParameterDirection(const wchar_t* name) {
  auto it = m_mapValues.find(StandInLower(name));
  return it == m_mapValues.end() ? 0 : it->second.nDirection;
}

// ---- Trees ----

CStandInExpression::~CStandInExpression() {
  for (CStandInExpression* p : m_tabOperandes) delete p;
}

IExpOpExpression* CStandInExpression::s_piHandOut(CStandInExpression* n, eParserCount k) {
  if (n == nullptr) return nullptr;
  if (k == eParserCount::Operand)
    ++n->m_nOperand;
  else
    ++n->m_nTree;
  CStandInParserLedger::Take(k);
  return n;
}

void CStandInExpression::Release() {
  if (m_nOperand > 0) {
    --m_nOperand;
    CStandInParserLedger::Give(eParserCount::Operand);
  } else if (m_nTree > 0) {
    --m_nTree;
    CStandInParserLedger::Give(eParserCount::Tree);
  } else {
    CStandInParserLedger::Fault("tree node given back once too often");
  }
}

IExpOpExpression* CStandInExpression::piGetOperande(int* cursor) {
  if (cursor == nullptr || *cursor < 0 || static_cast<std::size_t>(*cursor) >= m_tabOperandes.size()) return nullptr;
  return s_piHandOut(m_tabOperandes[static_cast<std::size_t>((*cursor)++)], eParserCount::Operand);
}

int CStandInExpression::bGetLiteral(CAny* out) {
  if (!m_bLiteral || out == nullptr) return 0;
  *out = m_clLiteral;
  return 1;
}

#define KX_STANDIN_EXPOP_RESERVED(n) \
  void CStandInExpression::_Reserved##n() { ReservedSlot("an expression node", n); }
KX_STANDIN_EXPOP_RESERVED_SLOTS(KX_STANDIN_EXPOP_RESERVED)
#undef KX_STANDIN_EXPOP_RESERVED

// ---- Clause items ----

CStandInInfoFrom::CStandInInfoFrom() {
  static_assert(offsetof(CStandInInfoFrom, m_nCount) == 8, "a FROM table's count sits at byte 8"); CStandInParserLedger::Register(eParserCount::From, &m_nCount); }
CStandInInfoFrom::~CStandInInfoFrom() { CStandInParserLedger::Unregister(eParserCount::From, &m_nCount); }
void CStandInInfoFrom::_Reserved0() { ReservedSlot("a FROM table", 0); }
void CStandInInfoFrom::_Reserved1() { ReservedSlot("a FROM table", 1); }
std::uint32_t CStandInInfoFrom::nRelease() {
  return CountedRelease(&m_nCount, eParserCount::From, "FROM table given back once too often");
}

CStandInInfoOrderBy::CStandInInfoOrderBy() {
  static_assert(offsetof(CStandInInfoOrderBy, m_nCount) == 8, "an ORDER BY item's count sits at byte 8"); CStandInParserLedger::Register(eParserCount::OrderBy, &m_nCount); }
CStandInInfoOrderBy::~CStandInInfoOrderBy() { CStandInParserLedger::Unregister(eParserCount::OrderBy, &m_nCount); }
void CStandInInfoOrderBy::_Reserved0() { ReservedSlot("an ORDER BY item", 0); }
void CStandInInfoOrderBy::_Reserved1() { ReservedSlot("an ORDER BY item", 1); }
void CStandInInfoOrderBy::_Reserved3() { ReservedSlot("an ORDER BY item", 3); }
std::uint32_t CStandInInfoOrderBy::nRelease() {
  return CountedRelease(&m_nCount, eParserCount::OrderBy, "ORDER BY item given back once too often");
}

IExpOpExpression* CStandInAffectation::piGetColonne() {
  return CStandInExpression::s_piHandOut(m_pclColonne, eParserCount::Tree);
}
IExpOpExpression* CStandInAffectation::piGetValeur() {
  return CStandInExpression::s_piHandOut(m_pclValeur, eParserCount::Tree);
}
IExpOpExpression* CStandInInsertion::piGetValeur() {
  return CStandInExpression::s_piHandOut(m_pclValeur, eParserCount::Tree);
}

// ---- SELECT part ----

namespace {
template <class T>
T* Enum(std::vector<T*>& tab, std::size_t& cursor, int first) {
  if (first != 0) cursor = 0;
  if (cursor >= tab.size()) return nullptr;
  return tab[cursor++];
}
}  // namespace

IInfoRubrique* CStandInSelect::piEnumRubriqueOUT(int first) {
  return Enum(m_pclOwner->m_tabRubriques, m_anCursor[0], first);
}
int CStandInSelect::nGetGroupeNbr() { return static_cast<int>(m_pclOwner->m_tabGroupes.size()); }
IInfoFrom* CStandInSelect::piEnumFichierFrom(int first) { return Enum(m_pclOwner->m_tabFroms, m_anCursor[1], first); }
IInfoOrderBy* CStandInSelect::piEnumOrderBy(int first) { return Enum(m_pclOwner->m_tabOrderBy, m_anCursor[2], first); }
IInfoGroupe* CStandInSelect::piEnumGroupe(int first) { return Enum(m_pclOwner->m_tabGroupes, m_anCursor[3], first); }
IInfoAffectation* CStandInSelect::piEnumAffectation(int first) {
  return Enum(m_pclOwner->m_tabAffectations, m_anCursor[4], first);
}
IInfoInsertion* CStandInSelect::piEnumInsertion(int first) {
  return Enum(m_pclOwner->m_tabInsertions, m_anCursor[5], first);
}
#define KX_STANDIN_SELECT_RESERVED(n) \
  void CStandInSelect::_Reserved##n() { ReservedSlot("the SELECT part", n); }
KX_STANDIN_SELECT_RESERVED(1) KX_STANDIN_SELECT_RESERVED(2) KX_STANDIN_SELECT_RESERVED(3)
KX_STANDIN_SELECT_RESERVED(5) KX_STANDIN_SELECT_RESERVED(9) KX_STANDIN_SELECT_RESERVED(10)
KX_STANDIN_SELECT_RESERVED(11) KX_STANDIN_SELECT_RESERVED(12) KX_STANDIN_SELECT_RESERVED(13)
KX_STANDIN_SELECT_RESERVED(14) KX_STANDIN_SELECT_RESERVED(15) KX_STANDIN_SELECT_RESERVED(16)
#undef KX_STANDIN_SELECT_RESERVED

// ---- Parser information ----

CStandInSQLParser::CStandInSQLParser() {
  static_assert(offsetof(CStandInSQLParser, m_nCount) == 8, "the parser information's count sits at byte 8"); CStandInParserLedger::Register(eParserCount::Parser, &m_nCount); }

CStandInSQLParser::~CStandInSQLParser() {
  CStandInParserLedger::Unregister(eParserCount::Parser, &m_nCount);
  for (CStandInInfoRubrique* p : m_tabRubriques) {
    CStandInParserLedger::Unregister(eParserCount::Rubrique, p->pnGetCountAddress());
    p->m_bLedger = false;
    p->m_piExpression = nullptr;
    while (p->nRelease() != 0) {
    }
  }
  for (CStandInInfoFrom* p : m_tabFroms) delete p;
  for (CStandInInfoOrderBy* p : m_tabOrderBy) delete p;
  for (CStandInInfoGroupe* p : m_tabGroupes) delete p;
  for (CStandInAffectation* p : m_tabAffectations) delete p;
  for (CStandInInsertion* p : m_tabInsertions) delete p;
  for (CStandInExpression* p : m_tabOwnedTrees) delete p;
  for (CStandInDataSource* p : m_tabOwnedSources) delete p;
  for (CStandInItemDescription* p : m_tabOwnedItems) delete p;
}

INADataSourceDescription* CStandInSQLParser::s_piHandOut(CStandInDataSource* p) {
  if (p == nullptr) return nullptr;
  p->ExternalAddRef();
  return p;
}

std::uint32_t CStandInSQLParser::nRelease() {
  return CountedRelease(&m_nCount, eParserCount::Parser, "parser information given back once too often");
}

IExpOpExpression* CStandInSQLParser::piGetWhere() {
  return CStandInExpression::s_piHandOut(m_pclWhere, eParserCount::Tree);
}

IExpOpExpression* CStandInSQLParser::piGetHaving() {
  return CStandInExpression::s_piHandOut(m_pclHaving, eParserCount::Tree);
}

INAItemDescription* CStandInSQLParser::piGetItemDescription(IInfoRubrique* item) {
  if (m_bThrowItemDescription) throw std::runtime_error("stand-in runtime: item description refused");
  auto it = m_mapItemDescriptions.find(item);
  if (it == m_mapItemDescriptions.end() || it->second == nullptr) return nullptr;
  it->second->ExternalAddRef();
  return it->second;
}

INADataSourceDescription* CStandInSQLParser::piGetDataSourceDescription(IInfoFrom* table) {
  for (CStandInInfoFrom* p : m_tabFroms) {
    if (p == table) return s_piHandOut(p->m_pclSource);
  }
  return nullptr;
}

INADataSourceDescription* CStandInSQLParser::piGetDataSourceDescription(const wchar_t* table) {
  auto it = m_mapSources.find(StandInLower(table));
  return it == m_mapSources.end() ? nullptr : s_piHandOut(it->second);
}

std::size_t CStandInSQLParser::nGetPhysicalName(const wchar_t* logical, wchar_t* buffer, std::size_t capacity) {
  m_tabPhysicalCalls.push_back(capacity);
  if (m_bThrowPhysicalName) throw std::runtime_error("stand-in runtime: physical name refused");
  auto it = m_mapPhysicalNames.find(logical != nullptr ? logical : L"");
  if (it == m_mapPhysicalNames.end()) {
    if (buffer != nullptr && capacity > 0) buffer[0] = 0;
    return 0;
  }
  const std::wstring& s = it->second;
  if (m_bPhysicalIgnoresCapacity) {
    // As an older runtime: writes the name whole (the caller's buffer is
    // known to be large enough for what it holds) and answers nothing.
    if (s.size() + 1 > capacity) std::abort();  // would overrun: a test set it up wrongly
    s.copy(buffer, s.size());
    buffer[s.size()] = 0;
    return 0;
  }
  if (buffer != nullptr && capacity > 0) {
    const std::size_t n = s.size() < capacity ? s.size() : capacity - 1;
    s.copy(buffer, n);
    buffer[n] = 0;
  }
  return s.size();
}

int CStandInSQLParser::bCheckCompatibility(int kind, int version, std::uint32_t* runtimeVersion) {
  ++m_nCompatibilityCalls;
  m_nCompatibilityKind = kind;
  m_nCompatibilityVersion = version;
  if (runtimeVersion != nullptr) *runtimeVersion = m_nRuntimeVersion;
  if (m_nCompatibilityAnswer != -1) return m_nCompatibilityAnswer;
  return kind == 76 && version >= 0 && static_cast<std::uint32_t>(version) <= m_nRuntimeVersion ? 1 : 0;
}

IExpOpExpression* CStandInSQLParser::piGetJoin(int n, stSQLPOSITION* range) {
  if (n < 0 || static_cast<std::size_t>(n) >= m_tabJoins.size()) return nullptr;
  if (range != nullptr) *range = m_tabJoins[static_cast<std::size_t>(n)].stRange;
  return CStandInExpression::s_piHandOut(m_tabJoins[static_cast<std::size_t>(n)].pclTree, eParserCount::Tree);
}

int CStandInSQLParser::bGetClauseEntry(int n, stSQLCLAUSEENTRY* entry) {
  if (n < 0 || static_cast<std::size_t>(n) >= m_tabEntries.size() || entry == nullptr) return 0;
  stEntry& e = m_tabEntries[static_cast<std::size_t>(n)];
  *entry = e.st;
  entry->pszTable = e.sTable.c_str();
  entry->pszItem = e.sItem.c_str();
  entry->pszName = e.sName.c_str();
  entry->pclValue = e.st.bBindValue ? &e.clValue : nullptr;
  return 1;
}

const CAny* CStandInSQLParser::pclGetConditionOperand(int n) {
  if (n < 0 || static_cast<std::size_t>(n) >= m_tabConditionOperands.size()) return nullptr;
  return &m_tabConditionOperands[static_cast<std::size_t>(n)];
}

#define KX_STANDIN_PARSER_RESERVED(n) \
  void CStandInSQLParser::_Reserved##n() { ReservedSlot("the parser information", n); }
KX_STANDIN_PARSER_RESERVED(0) KX_STANDIN_PARSER_RESERVED(1) KX_STANDIN_PARSER_RESERVED(3)
KX_STANDIN_PARSER_RESERVED(4) KX_STANDIN_PARSER_RESERVED(5) KX_STANDIN_PARSER_RESERVED(6)
KX_STANDIN_PARSER_RESERVED(8) KX_STANDIN_PARSER_RESERVED(9) KX_STANDIN_PARSER_RESERVED(10)
KX_STANDIN_PARSER_RESERVED(11) KX_STANDIN_PARSER_RESERVED(13) KX_STANDIN_PARSER_RESERVED(14)
KX_STANDIN_PARSER_RESERVED(15) KX_STANDIN_PARSER_RESERVED(16) KX_STANDIN_PARSER_RESERVED(18)
KX_STANDIN_PARSER_RESERVED(19) KX_STANDIN_PARSER_RESERVED(20) KX_STANDIN_PARSER_RESERVED(22)
KX_STANDIN_PARSER_RESERVED(25) KX_STANDIN_PARSER_RESERVED(28) KX_STANDIN_PARSER_RESERVED(29)
KX_STANDIN_PARSER_RESERVED(30) KX_STANDIN_PARSER_RESERVED(31) KX_STANDIN_PARSER_RESERVED(32)
#undef KX_STANDIN_PARSER_RESERVED
