// TextOnlyParser: the SQL runtime's analysis of one query (its parser
// information) reduced to what the driver's query lock reads: the query's
// SQL text (slot 7), counting how often it was asked, and the
// compatibility question of the SQL runtime (answered as the test sets it,
// counting the questions). Every other slot answers nothing. The object belongs to the test; nRelease never deletes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ISQLParserInformation.h"

namespace kxtest {

class TextOnlyParser final : public ISQLParserInformation {
 public:
  explicit TextOnlyParser(const wchar_t* text) : m_pszText(text) {}
  void _Reserved0() override {}
  void _Reserved1() override {}
  std::uint32_t nRelease() override { return 1; }
  void _Reserved3() override {}
  void _Reserved4() override {}
  void _Reserved5() override {}
  void _Reserved6() override {}
  // The compatibility answer, the runtime version written (0: none
  // written), and what was asked.
  int nCompatibilityAnswer = 1;
  std::uint32_t nRuntimeVersion = 0;
  int nChecks = 0;
  int nCheckKind = 0;
  int nCheckVersion = 0;

  const wchar_t* pszGetSQLText() override {
    ++nTextAsked;
    return m_pszText;
  }
  void _Reserved8() override {}
  void _Reserved9() override {}
  void _Reserved10() override {}
  void _Reserved11() override {}
  IInfoSelect* piGetSelect() override { return nullptr; }
  void _Reserved13() override {}
  void _Reserved14() override {}
  void _Reserved15() override {}
  void _Reserved16() override {}
  IExpOpExpression* piGetWhere() override { return nullptr; }
  void _Reserved18() override {}
  void _Reserved19() override {}
  void _Reserved20() override {}
  INAItemDescription* piGetItemDescription(IInfoRubrique* /*item*/) override { return nullptr; }
  void _Reserved22() override {}
  INADataSourceDescription* piGetDataSourceDescription(IInfoFrom* /*table*/) override { return nullptr; }
  INADataSourceDescription* piGetDataSourceDescription(const wchar_t* /*table*/) override { return nullptr; }
  void _Reserved25() override {}
  int nGetQueryKind() override { return 1; }
  IExpOpExpression* piGetHaving() override { return nullptr; }
  void _Reserved28() override {}
  void _Reserved29() override {}
  void _Reserved30() override {}
  void _Reserved31() override {}
  void _Reserved32() override {}
  std::size_t nGetPhysicalName(const wchar_t* /*logical*/, wchar_t* /*buffer*/, std::size_t /*capacity*/) override {
    return 0;
  }
  int bCheckCompatibility(int kind, int version, std::uint32_t* runtimeVersion) override {
    ++nChecks;
    nCheckKind = kind;
    nCheckVersion = version;
    if (nRuntimeVersion != 0 && runtimeVersion != nullptr) *runtimeVersion = nRuntimeVersion;
    return nCompatibilityAnswer;
  }
  stSQLPOSITION stGetWhereRange() override { return {}; }
  stSQLPOSITION stGetGroupByRange() override { return {}; }
  stSQLPOSITION stGetHavingRange() override { return {}; }
  stSQLPOSITION stGetOrderByRange() override { return {}; }
  IExpOpExpression* piGetJoin(int /*n*/, stSQLPOSITION* /*range*/) override { return nullptr; }
  int nGetClauseEntryCount() override { return 0; }
  int bGetClauseEntry(int /*n*/, stSQLCLAUSEENTRY* /*entry*/) override { return 0; }
  std::int64_t nGetEndOfFrom() override { return -1; }
  std::int64_t nGetEndOfWhere() override { return -1; }
  std::int64_t nGetEndOfGroup() override { return -1; }
  std::int64_t nGetEndOfOrderBy() override { return -1; }
  int nGetConditionOperandCount() override { return 0; }
  const CAny* pclGetConditionOperand(int /*n*/) override { return nullptr; }

  int nTextAsked = 0;

 private:
  const wchar_t* m_pszText;
};

}  // namespace kxtest
