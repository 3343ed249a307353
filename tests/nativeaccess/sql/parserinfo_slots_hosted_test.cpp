// The parser's objects are used by slot number: each known slot, called
// through the object's table at its number as the runtime's own objects
// would be, reaches the operation the library names for it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "CAny.h"
#include "StandInParserBuilder.h"
#include "nativeaccess/support/SlotCall.h"

namespace {

using kxtest::Slot;

std::wstring W(const wchar_t* p) { return p != nullptr ? p : L"(null)"; }

TEST(parserinfo_slots, EveryKnownSlotAtItsNumber) {
  CStandInParserLedger::Reset();
  {
    CStandInParserBuilder b(L"SELECT t.a AS x, b FROM t AS u WHERE a = 1 GROUP BY b HAVING b > 1 ORDER BY x DESC",
                            1);
    CStandInInfoRubrique* a = b.Column(L"t.a", L"t", L"a", L"x", L"tlog");
    a->m_nTypeCode = 24;
    CStandInInfoRubrique* bb = b.Column(L"b", L"t", L"b");
    CStandInInfoFrom* from = b.From(L"t", L"u", L"t_phys");
    CAny one;
    one.SetI4(1);
    CStandInExpression* where = b.Op(9, {b.Item(L"a", L"", L"a", 34), b.Literal(L"1", one)});
    b.Where(where);
    CStandInInfoGroupe* g = b.GroupBy(L"b", L"", L"b");
    CStandInExpression* having = b.Op(13, {b.Item(L"b", L"", L"b"), b.Literal(L"1", one)});
    b.Having(having);
    CStandInInfoOrderBy* ob = b.OrderBy(L"x", 0);
    CStandInItemDescription* d = b.Describe(a, 2);
    b.p()->m_nQueryKind = 1;
    void* parser = b.p();

    // Parser information.
    SQLParser_AddRef(parser);
    EXPECT_EQ(1u, (Slot<std::uint32_t>(parser, 2)));
    EXPECT_EQ(b.sText(), W(Slot<const wchar_t*>(parser, 7)));
    void* select = Slot<void*>(parser, 12);
    ASSERT_EQ(static_cast<IInfoSelect*>(&b.p()->m_clSelect), select);
    void* piWhere = Slot<void*>(parser, 17);
    ASSERT_EQ(static_cast<IExpOpExpression*>(where), piWhere);
    EXPECT_EQ(9, (Slot<int>(piWhere, 2)));
    int cursor = 0;
    void* left = Slot<void*>(piWhere, 37, &cursor);
    EXPECT_EQ(1, cursor);
    EXPECT_EQ(47, (Slot<int>(left, 2)));
    EXPECT_EQ(34, (Slot<int>(left, 34)));
    Slot<void>(left, 1);
    Slot<void>(piWhere, 1);
    EXPECT_EQ(d, (Slot<INAItemDescription*>(parser, 21, static_cast<IInfoRubrique*>(a))));
    EXPECT_EQ(1, d->m_nExternal);
    Slot<std::uint32_t>(static_cast<INAItemDescription*>(d), 6);
    INADataSourceDescription* ds = Slot<INADataSourceDescription*>(parser, 23, static_cast<IInfoFrom*>(from));
    EXPECT_EQ(from->m_pclSource, ds);
    ds->nExternalRelease();
    ds = Slot<INADataSourceDescription*>(parser, 24, L"T");
    EXPECT_EQ(from->m_pclSource, ds);
    ds->nExternalRelease();
    EXPECT_EQ(1, (Slot<int>(parser, 26)));
    void* piHaving = Slot<void*>(parser, 27);
    EXPECT_EQ(static_cast<IExpOpExpression*>(having), piHaving);
    Slot<void>(piHaving, 1);
    wchar_t buffer[16] = {};
    EXPECT_EQ(6u, (Slot<std::size_t>(parser, 33, L"t", buffer, std::size_t{16})));
    EXPECT_STREQ(L"t_phys", buffer);

    // SELECT part.
    EXPECT_EQ(static_cast<IInfoRubrique*>(a), (Slot<IInfoRubrique*>(select, 0, 1)));
    EXPECT_EQ(static_cast<IInfoRubrique*>(bb), (Slot<IInfoRubrique*>(select, 0, 0)));
    EXPECT_EQ(nullptr, (Slot<IInfoRubrique*>(select, 0, 0)));
    EXPECT_EQ(1, (Slot<int>(select, 4)));
    EXPECT_EQ(static_cast<IInfoFrom*>(from), (Slot<IInfoFrom*>(select, 6, 1)));
    EXPECT_EQ(static_cast<IInfoOrderBy*>(ob), (Slot<IInfoOrderBy*>(select, 7, 1)));
    void* group = Slot<void*>(select, 8, 1);
    EXPECT_EQ(static_cast<IInfoGroupe*>(g), group);
    EXPECT_EQ(nullptr, (Slot<void*>(select, 17, 1)));
    EXPECT_EQ(nullptr, (Slot<void*>(select, 18, 1)));

    // Output item.
    void* item = static_cast<IInfoRubrique*>(a);
    SQLParser_AddRef(item);
    EXPECT_EQ(1u, (Slot<std::uint32_t>(item, 2)));
    EXPECT_EQ(L"t", W(Slot<const wchar_t*>(item, 3)));
    EXPECT_EQ(L"x", W(Slot<const wchar_t*>(item, 4)));
    EXPECT_EQ(L"a", W(Slot<const wchar_t*>(item, 5)));
    EXPECT_EQ(0, (Slot<int>(item, 10)));
    EXPECT_EQ(24, (Slot<int>(item, 14)));
    EXPECT_EQ(nullptr, (Slot<void*>(item, 20)));
    EXPECT_EQ(L"tlog", W(Slot<const wchar_t*>(item, 22)));
    EXPECT_EQ(1, (Slot<int>(item, 23)));

    // FROM table, ORDER BY item, GROUP BY item.
    void* pf = static_cast<IInfoFrom*>(from);
    SQLParser_AddRef(pf);
    EXPECT_EQ(1u, (Slot<std::uint32_t>(pf, 2)));
    EXPECT_EQ(L"t", W(Slot<const wchar_t*>(pf, 3)));
    EXPECT_EQ(L"u", W(Slot<const wchar_t*>(pf, 4)));
    void* po = static_cast<IInfoOrderBy*>(ob);
    SQLParser_AddRef(po);
    EXPECT_EQ(1u, (Slot<std::uint32_t>(po, 2)));
    EXPECT_EQ(0, (Slot<int>(po, 4)));
    EXPECT_EQ(L"b", W(Slot<const wchar_t*>(group, 0)));
    EXPECT_EQ(0, (Slot<int>(group, 1)));
    EXPECT_EQ(L"", W(Slot<const wchar_t*>(group, 2)));
    EXPECT_EQ(L"b", W(Slot<const wchar_t*>(group, 3)));
    const stSQLPOSITION pos = Slot<stSQLPOSITION>(group, 4);
    EXPECT_EQ(L"b", b.sText().substr(static_cast<std::size_t>(pos.nStart), 1));
    EXPECT_EQ(L"", W(Slot<const wchar_t*>(group, 5)));
    EXPECT_EQ(L"b", W(Slot<const wchar_t*>(group, 6)));

    // Bind values: 5, 6 counted, 8 answered.
    CStandInQueryParameters params;
    params.m_bPrepared = 1;
    void* pp = static_cast<INAQueryParametersValue*>(&params);
    Slot<void>(pp, 5);
    EXPECT_EQ(1, params.m_nExternal);
    EXPECT_EQ(0u, (Slot<std::uint32_t>(pp, 6)));
    EXPECT_EQ(1, (Slot<int>(pp, 8)));

    EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
  }
}

// One give-back too many is recorded, never a deletion behind the
// creator's back.
TEST(parserinfo_slots, OneGiveBackTooManyIsAFault) {
  CStandInParserLedger::Reset();
  {
    CStandInParserBuilder b(L"SELECT a FROM t");
    b.Column(L"a", L"t", L"a");
    CStandInInfoFrom* from = b.From(L"t");
    from->nRelease();
    b.p()->nRelease();
    EXPECT_EQ(1u, from->nGetCount());
    EXPECT_EQ(2, CStandInParserLedger::nFaults());
  }
  CStandInParserLedger::Reset();
}

}  // namespace
