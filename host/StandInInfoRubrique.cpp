#include "StandInInfoRubrique.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "StandInSQLParser.h"

namespace {

std::atomic<int> gnLive{0};

[[noreturn]] void ReservedSlot(int n) {
  std::fprintf(stderr, "stand-in runtime: reserved slot %d of an item information called\n", n);
  std::abort();
}

}  // namespace

CStandInInfoRubrique::CStandInInfoRubrique() { ++gnLive; }

CStandInInfoRubrique::~CStandInInfoRubrique() { --gnLive; }

int CStandInInfoRubrique::s_nGetLive() { return gnLive.load(); }

std::uint32_t CStandInInfoRubrique::nGetCount() const { return __atomic_load_n(&m_nCount, __ATOMIC_SEQ_CST); }

std::uint32_t CStandInInfoRubrique::nRelease() {
  if (m_bLedger) {
    CStandInParserLedger::Give(eParserCount::Rubrique);
    if (nGetCount() <= 1) {
      CStandInParserLedger::Fault("output item given back once too often");
      return nGetCount();
    }
  }
  const std::uint32_t n = __atomic_sub_fetch(&m_nCount, 1u, __ATOMIC_SEQ_CST);
  if (n == 0) delete this;
  return n;
}

#define KX_STANDIN_RUBRIQUE_RESERVED(n) \
  void CStandInInfoRubrique::_Reserved##n() { ReservedSlot(n); }
KX_STANDIN_RUBRIQUE_RESERVED(0) KX_STANDIN_RUBRIQUE_RESERVED(1) KX_STANDIN_RUBRIQUE_RESERVED(6)
KX_STANDIN_RUBRIQUE_RESERVED(7) KX_STANDIN_RUBRIQUE_RESERVED(8) KX_STANDIN_RUBRIQUE_RESERVED(9)
KX_STANDIN_RUBRIQUE_RESERVED(11) KX_STANDIN_RUBRIQUE_RESERVED(12) KX_STANDIN_RUBRIQUE_RESERVED(13)
KX_STANDIN_RUBRIQUE_RESERVED(15) KX_STANDIN_RUBRIQUE_RESERVED(16) KX_STANDIN_RUBRIQUE_RESERVED(17)
KX_STANDIN_RUBRIQUE_RESERVED(18) KX_STANDIN_RUBRIQUE_RESERVED(19) KX_STANDIN_RUBRIQUE_RESERVED(21)
#undef KX_STANDIN_RUBRIQUE_RESERVED

namespace {
const wchar_t* Named(bool bThrow, const std::wstring& s) {
  if (bThrow) throw std::runtime_error("stand-in runtime: item information refused");
  return s.c_str();
}
}  // namespace

const wchar_t* CStandInInfoRubrique::pszGetNomTable() { return Named(m_bThrowNames, m_sNomTable); }
const wchar_t* CStandInInfoRubrique::pszGetNom() { return Named(m_bThrowNames, m_sNom); }
const wchar_t* CStandInInfoRubrique::pszGetNomRubrique() { return Named(m_bThrowNames, m_sNomRubrique); }
const wchar_t* CStandInInfoRubrique::pszGetNomTableLogique() { return Named(m_bThrowNames, m_sNomTableLogique); }

IExpOpExpression* CStandInInfoRubrique::piGetExpression() {
  if (m_piExpression == nullptr) return nullptr;
  return CStandInExpression::s_piHandOut(m_piExpression, eParserCount::Tree);
}
