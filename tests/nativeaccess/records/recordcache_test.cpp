// The record cache and the position store: a seeded run against a model
// (appends, inserts, rewrites, removals and write notifications, identical
// rows among them), the cache's own cases over many buffers, clearing, the
// position store's slots, and the checks that keep reads and rewrites
// inside the stored elements.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CNAConvertVariant.h"
#include "CNADriverLock.h"
#include "CNARecordCache.h"
#include "CNARecordId.h"
#include "CNARecordMemo.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"
#include "support/TestDriver.h"

namespace {

using Bytes = std::vector<unsigned char>;

using kxtest::DriverScope;

struct Release {
  void operator()(CInterf* p) const { p->nRelease(); }
};
using ValuePtr = std::unique_ptr<CNARecordValue, Release>;
using CachePtr = std::unique_ptr<CNARecordCache, Release>;
using StorePtr = std::unique_ptr<CNARecordCachePosition, Release>;

// A record whose buffer is `bytes` (no flag field).
CNAXQRecord* NewRecord(const Bytes& bytes) {
  const auto n = static_cast<std::uint32_t>(bytes.size());
  Bytes form(12, 0);
  std::memcpy(form.data(), &n, 4);
  form.insert(form.end(), bytes.begin(), bytes.end());
  auto* p = new CNAXQRecord;
  p->AddRef();
  EXPECT_TRUE(p->Deserialize(form.data(), form.size()));
  return p;
}

enum class Id { None, Values, Row };

// A record value over `bytes` with a record-values id (or a row id holding
// `row`, or none) in `state`.
ValuePtr NewValue(const Bytes& bytes, Id id = Id::Values, eNA_RECORDSTATE state = NA_RECORDSTATE_READ, int row = 0) {
  ValuePtr v(new CNARecordValue());
  v->AddRef();
  CNAXQRecord* r = NewRecord(bytes);
  EXPECT_TRUE(v->bCopyNAXQRecord(r));
  r->nRelease();
  if (id == Id::Values) v->bShareRecordID(new CNARecordId_RecordValues(v.get()));
  if (id == Id::Row) {
    auto* h = new CNAConvertVariant();
    h->AddRef();
    h->InitTypeVariantAny(8);
    h->bSetValue(row);
    v->bShareRecordID(new CNARecordId_RowId(h));
    h->nRelease();
  }
  v->SetRecordState(state);
  return v;
}

// An empty target value of a record of `size` bytes with a record-values
// id over it.
ValuePtr NewTarget(std::size_t size, Id id = Id::Values) { return NewValue(Bytes(size, 0xEE), id); }

Bytes BytesOf(const CNARecordValue* v) {
  const CNAXQRecord* r = v->pclGetNAXQRecord();
  return Bytes(r->pbyGetNullValuesFlags(), r->pbyGetNullValuesFlags() + r->nGetTotalSize());
}

int IntOf(const CNAConvertVariant* v) {
  int n = 0;
  if (v != nullptr && v->pGetData() != nullptr && v->nGetSize() >= sizeof n) std::memcpy(&n, v->pGetData(), sizeof n);
  return n;
}

CachePtr NewCache() {
  CachePtr c(new CNARecordCache());
  c->AddRef();
  return c;
}

StorePtr NewStore() {
  StorePtr c(new CNARecordCachePosition());
  c->AddRef();
  return c;
}

// ---- The model ------------------------------------------------------------------

// One entry as the cache should hold it.
struct Entree {
  bool bPlaceholder = true;
  Bytes octets;
  eNA_RECORDSTATE eState = NA_RECORDSTATE_DELETED;
  // The id this entry holds in the id index (a placeholder that a rewrite
  // with no value made keeps its old one), with the moment it went in.
  bool bIndexe = false;
  Bytes cle;
  long nMoment = 0;
};

class Modele {
 public:
  std::vector<Entree> entrees;
  long nHorloge = 0;

  Entree Valeur(const Bytes& b, eNA_RECORDSTATE e) {
    Entree x;
    x.bPlaceholder = false;
    x.octets = b;
    x.eState = e;
    x.bIndexe = true;
    x.cle = b;
    x.nMoment = ++nHorloge;
    return x;
  }
  // The index the cache must give for an id of these bytes: of the entries
  // holding it, the one whose id went in last.
  int nTrouve(const Bytes& b) const {
    int n = -1;
    long nMoment = -1;
    for (std::size_t i = 0; i < entrees.size(); ++i)
      if (entrees[i].bIndexe && entrees[i].cle == b && entrees[i].nMoment > nMoment) {
        n = static_cast<int>(i);
        nMoment = entrees[i].nMoment;
      }
    return n;
  }
  int nSupprimes() const {
    int n = 0;
    for (const Entree& e : entrees) n += e.eState == NA_RECORDSTATE_DELETED ? 1 : 0;
    return n;
  }
};

// Everything the cache answers checked against the model.
void Verifie(CNARecordCache& cache, const Modele& m, const std::string& sEtape) {
  SCOPED_TRACE(sEtape);
  ASSERT_EQ(cache.nGetCount(), static_cast<int>(m.entrees.size()));
  EXPECT_EQ(cache.nGetDeletedCount(), m.nSupprimes());
  for (std::size_t i = 0; i < m.entrees.size(); ++i) {
    const Entree& e = m.entrees[i];
    const int n = static_cast<int>(i);
    EXPECT_EQ(cache.eGetRecordState(n), e.eState) << i;
    EXPECT_EQ(cache.bMustFetch(n), e.bPlaceholder) << i;
    if (e.bIndexe) {
      ValuePtr cle = NewValue(e.cle);
      EXPECT_EQ(cache.nGetRecordIndice(cle.get()), m.nTrouve(e.cle)) << i;
    }
    const std::size_t nTaille = e.bPlaceholder ? 6 : e.octets.size();
    ValuePtr cible = NewTarget(nTaille);
    EXPECT_EQ(cache.bGetAt(cible.get(), n), !e.bPlaceholder) << i;
    if (!e.bPlaceholder) {
      EXPECT_EQ(BytesOf(cible.get()), e.octets) << i;
    }
  }
}

}  // namespace

// A seeded run of every write the cache follows, against a model. Rows are
// drawn from a small pool so that identical rows are frequent, and from
// two record sizes so that rewrites change lengths.
TEST(recordcache, SeededRunAgainstAModel) {
  for (unsigned nGraine : {1u, 2u, 3u, 4u, 5u, 6u}) {
    SCOPED_TRACE("seed " + std::to_string(nGraine));
    std::mt19937 alea(nGraine);
    auto Tirage = [&](int n) { return static_cast<int>(alea() % static_cast<unsigned>(n)); };
    auto Ligne = [&]() {
      const std::size_t nTaille = Tirage(3) == 0 ? 9 : 6;
      Bytes b(nTaille, 0);
      b[0] = static_cast<unsigned char>(Tirage(4));
      b[nTaille - 1] = static_cast<unsigned char>(0x40 + Tirage(2));
      return b;
    };
    CachePtr cache = NewCache();
    cache->SetGrowStep(3, 96);  // many small buffers
    Modele m;
    for (int nPas = 0; nPas < 160; ++nPas) {
      const int nCount = static_cast<int>(m.entrees.size());
      const int nOp = Tirage(12);
      std::string sEtape = "step " + std::to_string(nPas) + " op " + std::to_string(nOp);
      if (nOp <= 2 || nCount == 0) {  // append (sometimes a row already there)
        Bytes b = Ligne();
        if (nCount > 0 && Tirage(2) == 0) {
          const int k = Tirage(nCount);
          if (!m.entrees[k].bPlaceholder) b = m.entrees[k].octets;
        }
        const eNA_RECORDSTATE e = Tirage(6) == 0 ? NA_RECORDSTATE_DELETED : NA_RECORDSTATE_READ;
        ValuePtr v = NewValue(b, Id::Values, e);
        ASSERT_EQ(cache->nAjoute(v.get()), nCount);
        m.entrees.push_back(m.Valeur(b, e));
      } else if (nOp == 3) {  // a placeholder
        ASSERT_EQ(cache->nAjoute(nullptr), nCount);
        m.entrees.emplace_back();
      } else if (nOp == 4) {  // insert first, in the middle or beyond the end
        const int nChoix = Tirage(3);
        const int nPos = nChoix == 0 ? 0 : (nChoix == 1 ? Tirage(nCount) : nCount + 1 + Tirage(3));
        const Bytes b = Ligne();
        ValuePtr v = NewValue(b);
        ASSERT_EQ(cache->Insere(v.get(), nPos), nPos);
        while (static_cast<int>(m.entrees.size()) < nPos) m.entrees.emplace_back();
        m.entrees.insert(m.entrees.begin() + nPos, m.Valeur(b, NA_RECORDSTATE_READ));
      } else if (nOp == 5 || nOp == 6) {  // rewrite (placeholders and other lengths included)
        const int k = Tirage(nCount);
        const Bytes b = Ligne();
        ValuePtr v = NewValue(b);
        cache->Update(k, v.get());
        m.entrees[k] = m.Valeur(b, NA_RECORDSTATE_READ);
      } else if (nOp == 7) {  // rewrite with no value: a placeholder that keeps its id
        const int k = Tirage(nCount);
        cache->Update(k, nullptr);
        m.entrees[k].bPlaceholder = true;
        m.entrees[k].octets.clear();
        m.entrees[k].eState = NA_RECORDSTATE_DELETED;
      } else if (nOp == 8) {  // removal
        const int k = Tirage(nCount);
        cache->Supprime(k);
        m.entrees.erase(m.entrees.begin() + k);
      } else if (nOp == 9) {  // update notification by the old row
        const int k = Tirage(nCount);
        const Bytes ancien = m.entrees[k].bIndexe ? m.entrees[k].cle : Ligne();
        const Bytes b = Ligne();
        ValuePtr vieux = NewValue(ancien), neuf = NewValue(b);
        const int nAttendu = m.nTrouve(ancien);
        ASSERT_EQ(cache->nOnNotifyOperation(NA_QUERY_UPDATE, neuf.get(), vieux.get(), 1, 0), nAttendu);
        if (nAttendu >= 0) m.entrees[nAttendu] = m.Valeur(b, NA_RECORDSTATE_READ);
      } else if (nOp == 10) {  // delete notification
        const int k = Tirage(nCount);
        const Bytes ancien = m.entrees[k].bIndexe ? m.entrees[k].cle : Ligne();
        ValuePtr vieux = NewValue(ancien);
        const int nAttendu = m.nTrouve(ancien);
        ASSERT_EQ(cache->nOnNotifyOperation(NA_QUERY_DELETE, nullptr, vieux.get(), 1, 0), nAttendu);
        if (nAttendu >= 0) m.entrees[nAttendu].eState = NA_RECORDSTATE_DELETED;
      } else {  // insert notification, first or last
        const int nFirst = Tirage(2);
        const Bytes b = Ligne();
        ValuePtr v = NewValue(b);
        ASSERT_EQ(cache->nOnNotifyOperation(NA_QUERY_INSERT, v.get(), nullptr, 1, nFirst), nFirst ? 0 : nCount);
        if (nFirst)
          m.entrees.insert(m.entrees.begin(), m.Valeur(b, NA_RECORDSTATE_READ));
        else
          m.entrees.push_back(m.Valeur(b, NA_RECORDSTATE_READ));
      }
      Verifie(*cache, m, sEtape);
      if (HasFatalFailure() || HasFailure()) return;
    }
  }
}

// Two identical rows: rewriting, removing or deleting one leaves the other
// found at its own index (removal by key alone would take the newer one's
// element and leave the rewritten one's stale).
TEST(recordcache, IdenticalRowsKeepTheirOwnIds) {
  const Bytes a = {1, 2, 3, 4, 5, 6}, b = {9, 9, 9, 9, 9, 9};
  CachePtr cache = NewCache();
  ValuePtr va = NewValue(a), vb = NewValue(b);
  ASSERT_EQ(cache->nAjoute(va.get()), 0);
  ASSERT_EQ(cache->nAjoute(va.get()), 1);  // the same row again: found first
  EXPECT_EQ(cache->nGetRecordIndice(va.get()), 1);
  cache->Update(1, vb.get());  // the newer one is rewritten
  EXPECT_EQ(cache->nGetRecordIndice(va.get()), 0);
  EXPECT_EQ(cache->nGetRecordIndice(vb.get()), 1);

  ASSERT_EQ(cache->nAjoute(va.get()), 2);
  cache->Update(0, vb.get());  // the older one is rewritten
  EXPECT_EQ(cache->nGetRecordIndice(va.get()), 2);
  EXPECT_EQ(cache->nGetRecordIndice(vb.get()), 0);

  ASSERT_EQ(cache->nAjoute(vb.get()), 3);
  cache->Supprime(3);
  EXPECT_EQ(cache->nGetRecordIndice(vb.get()), 0);
  EXPECT_EQ(cache->nGetRecordIndice(va.get()), 2);
  // A delete notification marks the newest of the identical rows, once.
  EXPECT_EQ(cache->nOnNotifyOperation(NA_QUERY_DELETE, nullptr, vb.get(), 0, 0), 0);
  EXPECT_EQ(cache->nOnNotifyOperation(NA_QUERY_DELETE, nullptr, vb.get(), 0, 0), 0);
  EXPECT_EQ(cache->nGetDeletedCount(), 1);
}

// A rewrite stores new bytes of another length as a fresh element: the
// neighbours' bytes stay, and the entry reads back whole. A placeholder
// rewritten with a value gets its bytes and id.
TEST(recordcache, RewritesStayInsideTheirElements) {
  CachePtr cache = NewCache();
  const Bytes a(6, 0xA1), b(6, 0xB2), longue(11, 0xC3), courte(3, 0xD4);
  ValuePtr va = NewValue(a), vb = NewValue(b), vl = NewValue(longue), vc = NewValue(courte);
  cache->nAjoute(va.get());
  cache->nAjoute(vb.get());
  cache->nAjoute(nullptr);
  cache->Update(0, vl.get());  // longer than entry 0's element, next to entry 1's
  cache->Update(2, vc.get());  // a placeholder has no element at all
  ValuePtr t6 = NewTarget(6), t11 = NewTarget(11), t3 = NewTarget(3);
  ASSERT_TRUE(cache->bGetAt(t11.get(), 0));
  EXPECT_EQ(BytesOf(t11.get()), longue);
  ASSERT_TRUE(cache->bGetAt(t6.get(), 1));
  EXPECT_EQ(BytesOf(t6.get()), b);
  ASSERT_TRUE(cache->bGetAt(t3.get(), 2));
  EXPECT_EQ(BytesOf(t3.get()), courte);
  EXPECT_EQ(cache->nGetRecordIndice(vl.get()), 0);
  EXPECT_EQ(cache->nGetRecordIndice(vb.get()), 1);
  EXPECT_EQ(cache->nGetRecordIndice(vc.get()), 2);
  EXPECT_EQ(cache->nGetRecordIndice(va.get()), -1);
  EXPECT_EQ(cache->nGetDeletedCount(), 0);

  // Rows ids of another length in place of a shorter one.
  DriverScope driver;
  CachePtr rows = NewCache();
  ValuePtr r1 = NewValue(a, Id::Row, NA_RECORDSTATE_READ, 11);
  ValuePtr r2 = NewValue(b, Id::Row, NA_RECORDSTATE_READ, 22);
  rows->nAjoute(r1.get());
  rows->nAjoute(r2.get());
  ValuePtr r3 = NewValue(longue, Id::Row, NA_RECORDSTATE_READ, 0);
  CNAConvertVariant* h = static_cast<CNARecordId_RowId*>(r3->pclGetRecordId())->pclGetVariant();
  h->InitTypeVariantAny(9);
  h->bSetValue(33L);  // 8 bytes where 4 were
  rows->Update(0, r3.get());
  EXPECT_EQ(rows->nGetRecordIndice(r3.get()), 0);
  EXPECT_EQ(rows->nGetRecordIndice(r2.get()), 1);
  ValuePtr cible = NewValue(b, Id::Row, NA_RECORDSTATE_READ, 0);
  ASSERT_TRUE(rows->bGetAt(cible.get(), 1));
  EXPECT_EQ(IntOf(static_cast<CNARecordId_RowId*>(cible->pclGetRecordId())->pclGetVariant()), 22);
}

// Removing an entry takes its id out and moves every later index down.
TEST(recordcache, RemovalRenumbersTheIndex) {
  CachePtr cache = NewCache();
  std::vector<ValuePtr> v;
  for (int i = 0; i < 8; ++i) {
    v.push_back(NewValue(Bytes(6, static_cast<unsigned char>(i))));
    cache->nAjoute(v.back().get());
  }
  cache->Update(5, nullptr);  // a placeholder that keeps its id
  cache->Supprime(2);
  cache->Supprime(4);  // the placeholder, formerly 5
  EXPECT_EQ(cache->nGetRecordIndice(v[2].get()), -1);
  EXPECT_EQ(cache->nGetRecordIndice(v[5].get()), -1);
  for (int i : {0, 1}) EXPECT_EQ(cache->nGetRecordIndice(v[i].get()), i);
  EXPECT_EQ(cache->nGetRecordIndice(v[3].get()), 2);
  EXPECT_EQ(cache->nGetRecordIndice(v[4].get()), 3);
  EXPECT_EQ(cache->nGetRecordIndice(v[6].get()), 4);
  EXPECT_EQ(cache->nGetRecordIndice(v[7].get()), 5);
  EXPECT_EQ(cache->nGetDeletedCount(), 0);
  cache->Supprime(-1);
  cache->Supprime(6);
  EXPECT_EQ(cache->nGetCount(), 6);
}

// The cache's own cases, with buffers so small that more than six are
// made (the sizing doubles at the sixth).
TEST(recordcache, CasesOverManyBuffers) {
  CachePtr cache = NewCache();
  cache->SetGrowStep(1, 40);
  EXPECT_TRUE(cache->bMustFetch(0));
  EXPECT_TRUE(cache->bEndehors(0));
  cache->SetFetchComplete();
  EXPECT_FALSE(cache->bMustFetch(0));
  cache->SupprimeTout();
  EXPECT_TRUE(cache->bMustFetch(0));

  ValuePtr cinq = NewValue(Bytes(6, 5));
  ASSERT_EQ(cache->Insere(cinq.get(), 5), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(cache->eGetRecordState(i), NA_RECORDSTATE_DELETED);
  EXPECT_EQ(cache->nGetDeletedCount(), 5);
  EXPECT_TRUE(cache->bMustFetch(2));
  EXPECT_FALSE(cache->bMustFetch(5));
  EXPECT_EQ(cache->nGetRecordIndice(cinq.get()), 5);
  cache->SupprimeTout();

  std::vector<ValuePtr> v;
  for (int i = 0; i < 10; ++i) {
    v.push_back(NewValue(Bytes(6, static_cast<unsigned char>(0x10 + i))));
    ASSERT_EQ(cache->nAjoute(v.back().get()), i);
  }
  cache->SetRecordState(3, NA_RECORDSTATE_DELETED);
  cache->SetRecordState(4, NA_RECORDSTATE_DELETED);
  EXPECT_EQ(cache->nGetPosition(2, NA_PARSE_NEXT, 1), 5);
  EXPECT_EQ(cache->nGetPosition(5, NA_PARSE_PREVIOUS, 1), 2);
  EXPECT_EQ(cache->nGetPosition(0, NA_PARSE_FIRST, 1), 0);
  EXPECT_EQ(cache->nGetPosition(0, NA_PARSE_LAST, 1), 9);
  EXPECT_EQ(cache->nGetPosition(9, NA_PARSE_NEXT, 2), 11);
  EXPECT_EQ(cache->nGetPosition(1, NA_PARSE_PREVIOUS, 5), -1);
  EXPECT_EQ(cache->nGetPosition(INT_MAX, NA_PARSE_NEXT, INT_MAX), INT_MAX);
  EXPECT_EQ(cache->nGetPosition(INT_MAX, NA_PARSE_PREVIOUS, INT_MAX), -1);
  EXPECT_EQ(cache->nGetPosition(INT_MAX, NA_PARSE_PREVIOUS, INT_MAX - 5), 5);
  EXPECT_EQ(cache->nGetPosition(INT_MIN, NA_PARSE_NEXT, 3), -1);
  cache->SetRecordState(3, NA_RECORDSTATE_READ);
  cache->SetRecordState(4, NA_RECORDSTATE_READ);
  EXPECT_EQ(cache->nGetDeletedCount(), 0);
  EXPECT_EQ(cache->nGetPosition(8, NA_PARSE_NEXT, 3), 11);
  EXPECT_EQ(cache->nGetPosition(INT_MAX, NA_PARSE_NEXT, INT_MAX), INT_MAX);
  EXPECT_EQ(cache->nGetPosition(-5, NA_PARSE_PREVIOUS, INT_MAX), -1);

  // Notifications: an unknown id changes nothing; a second delete counts
  // once; an insert first moves every other entry up by one.
  ValuePtr inconnu = NewValue(Bytes(6, 0x77));
  EXPECT_EQ(cache->nOnNotifyOperation(NA_QUERY_DELETE, nullptr, inconnu.get(), 0, 0), -1);
  EXPECT_EQ(cache->nGetDeletedCount(), 0);
  EXPECT_EQ(cache->nOnNotifyOperation(NA_QUERY_DELETE, nullptr, v[6].get(), 0, 0), 6);
  EXPECT_EQ(cache->nOnNotifyOperation(NA_QUERY_DELETE, nullptr, v[6].get(), 0, 0), 6);
  EXPECT_EQ(cache->nGetDeletedCount(), 1);
  ValuePtr premier = NewValue(Bytes(6, 0x01));
  EXPECT_EQ(cache->nOnNotifyOperation(NA_QUERY_INSERT, premier.get(), nullptr, 0, 1), 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(cache->nGetRecordIndice(v[i].get()), i + 1) << i;
  EXPECT_EQ(cache->nGetRecordIndice(premier.get()), 0);
  EXPECT_TRUE(cache->_bRecordDeleted(7));

  // Many more buffers: every entry still reads and is found.
  for (int i = 0; i < 40; ++i) {
    v.push_back(NewValue(Bytes(6, static_cast<unsigned char>(0x80 + i))));
    cache->nAjoute(v.back().get());
  }
  for (int i = 0; i < 50; ++i) {
    ValuePtr t = NewTarget(6);
    ASSERT_TRUE(cache->bGetAt(t.get(), i + 1)) << i;
    EXPECT_EQ(BytesOf(t.get()), Bytes(6, i < 10 ? 0x10 + i : 0x80 + i - 10)) << i;
    EXPECT_EQ(cache->nGetRecordIndice(v[i].get()), i + 1) << i;
  }
}

// Clearing keeps the caching flag, the id kind and the template: the next
// append is found at 0 and an empty target still reads.
TEST(recordcache, ClearThenAppend) {
  CachePtr cache = NewCache();
  ValuePtr a = NewValue(Bytes(6, 1)), b = NewValue(Bytes(6, 2));
  cache->nAjoute(a.get());
  cache->nAjoute(nullptr);
  cache->SetFetchComplete();
  cache->SupprimeTout();
  EXPECT_EQ(cache->nGetCount(), 0);
  EXPECT_EQ(cache->nGetDeletedCount(), 0);
  EXPECT_FALSE(cache->bFetchComplete());
  EXPECT_TRUE(cache->bCachingActive());
  EXPECT_EQ(cache->eGetRecordIdType(), NA_RECORDID_RECORDVALUES);
  EXPECT_EQ(cache->nGetRecordIndice(a.get()), -1);
  ASSERT_EQ(cache->nAjoute(b.get()), 0);
  EXPECT_EQ(cache->nGetRecordIndice(b.get()), 0);
  ValuePtr vide(new CNARecordValue());
  vide->AddRef();
  ASSERT_TRUE(cache->bGetAt(vide.get(), 0));
  EXPECT_EQ(BytesOf(vide.get()), Bytes(6, 2));
  // Its record-values id describes its own buffer.
  auto* id = static_cast<CNARecordId_RecordValues*>(vide->pclGetRecordId());
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->pbyGetBuffer(), vide->pclGetNAXQRecord()->pbyGetNullValuesFlags());

  cache->SetCachingActive(0);
  EXPECT_TRUE(cache->bMustFetch(0));
  EXPECT_TRUE(cache->bMustFetch(-1));
}

// Reads: only into a record of the stored size; an entry without memo set
// stays without one (a read gives the target NULL memo values, not the slot
// an empty set); memo values travel both ways.
TEST(recordcache, ReadsCheckSizesAndLeaveEmptySlotsEmpty) {
  DriverScope driver;
  CachePtr cache = NewCache();
  ValuePtr a = NewValue(Bytes(6, 0x31));
  auto* memo = new CNAConvertVariant();
  memo->AddRef();
  memo->InitTypeVariantAny(8);
  memo->bSetValue(77);
  ValuePtr m = NewValue(Bytes(6, 0x32));
  m->bShareMemoValue(1, memo);
  cache->nAjoute(a.get());
  cache->nAjoute(m.get());
  EXPECT_FALSE(cache->bMemoInCache(0));
  EXPECT_TRUE(cache->bMemoInCache(1));

  ValuePtr grand = NewTarget(9);
  EXPECT_FALSE(cache->bGetAt(grand.get(), 0));
  EXPECT_EQ(BytesOf(grand.get()), Bytes(9, 0xEE));
  ValuePtr petit = NewTarget(4);
  EXPECT_FALSE(cache->bGetAt(petit.get(), 0));
  EXPECT_EQ(BytesOf(petit.get()), Bytes(4, 0xEE));
  EXPECT_FALSE(cache->bGetAt(petit.get(), -1));
  EXPECT_FALSE(cache->bGetAt(petit.get(), 2));

  ValuePtr t = NewTarget(6);
  ASSERT_TRUE(cache->bGetAt(t.get(), 1));
  ASSERT_NE(t->pclGetMemoValueNoRef(1), nullptr);
  EXPECT_NE(t->pclGetMemoValueNoRef(1), memo);
  EXPECT_EQ(IntOf(t->pclGetMemoValueNoRef(1)), 77);
  ASSERT_TRUE(cache->bGetAt(t.get(), 0));
  EXPECT_FALSE(cache->bMemoInCache(0));
  EXPECT_TRUE(t->pclGetMemoValueNoRef(1) == nullptr || t->pclGetMemoValueNoRef(1)->bIsNull());
  ValuePtr sansMemo = NewTarget(6);
  ASSERT_TRUE(cache->bGetAt(sansMemo.get(), 0));
  EXPECT_EQ(sansMemo->pclGetTabMemo(), nullptr);

  // RestaureMemo copies the entry's set into a set that holds values.
  CNARecordMemo* dest = new CNARecordMemo();
  dest->dwAddRef();
  dest->bCopyMemoValue(1, a->pclGetMemoValueNoRef(0));  // none: stays empty
  cache->RestaureMemo(1, dest);
  EXPECT_EQ(dest->nGetNbElements(), 0);
  auto* zero = new CNAConvertVariant();
  zero->AddRef();
  zero->InitTypeVariantAny(8);
  zero->bSetValue(0);
  dest->bShareMemoValue(1, zero);
  cache->RestaureMemo(1, dest);
  EXPECT_EQ(IntOf(dest->pGetAt(1)), 77);
  cache->RestaureMemo(0, dest);  // no set: unchanged
  EXPECT_EQ(IntOf(dest->pGetAt(1)), 77);
  dest->dwRelease();
  zero->nRelease();
  memo->nRelease();
}

// After the record layout changes, the template follows it: entries of the
// new size can be compared and read into an empty value.
TEST(recordcache, TemplateFollowsTheStoredLayout) {
  CachePtr cache = NewCache();
  ValuePtr a = NewValue(Bytes(6, 1)), b = NewValue(Bytes(9, 2)), b2 = NewValue(Bytes(9, 2));
  cache->nAjoute(a.get());
  EXPECT_TRUE(cache->bEquals(0, a.get(), 0));
  cache->nAjoute(b.get());
  EXPECT_TRUE(cache->bEquals(1, b2.get(), 0));
  EXPECT_FALSE(cache->bEquals(1, a.get(), 0));
  cache->nAjoute(b2.get());
  EXPECT_TRUE(cache->bEquals(1, 2, 0));
  ValuePtr vide(new CNARecordValue());
  vide->AddRef();
  ASSERT_TRUE(cache->bGetAt(vide.get(), 1));
  EXPECT_EQ(BytesOf(vide.get()), Bytes(9, 2));
}

// A cache keyed by server row ids: lookups by value, the id read back into
// the target's holder, ids of another kind never found.
TEST(recordcache, RowIdCache) {
  DriverScope driver;
  CachePtr cache = NewCache();
  std::vector<ValuePtr> v;
  for (int i = 0; i < 20; ++i) {
    v.push_back(NewValue(Bytes(6, static_cast<unsigned char>(i)), Id::Row, NA_RECORDSTATE_READ, 1000 + i));
    ASSERT_EQ(cache->nAjoute(v.back().get()), i);
  }
  EXPECT_EQ(cache->eGetRecordIdType(), NA_RECORDID_ROWID);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(cache->nGetRecordIndice(v[i].get()), i);
  ValuePtr autre = NewValue(Bytes(6, 3));
  EXPECT_EQ(cache->nGetRecordIndice(autre.get()), -1);
  EXPECT_EQ(cache->nGetRecordIndice(static_cast<CNARecordId*>(nullptr)), -1);
  ValuePtr vide(new CNARecordValue());
  vide->AddRef();
  ASSERT_TRUE(cache->bGetAt(vide.get(), 7));
  EXPECT_EQ(BytesOf(vide.get()), Bytes(6, 7));
  auto* id = static_cast<CNARecordId_RowId*>(vide->pclGetRecordId());
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(IntOf(id->pclGetVariant()), 1007);
  ASSERT_TRUE(cache->bGetAt(vide.get(), v[12]->pclGetRecordId()));
  EXPECT_EQ(IntOf(id->pclGetVariant()), 1012);
  EXPECT_EQ(cache->nSetRecordState(v[4]->pclGetRecordId(), NA_RECORDSTATE_DELETED), 4);
  EXPECT_EQ(cache->nGetDeletedCount(), 1);
}

// The position store: a saved id gives its slot back without refreshing
// it; a slot whose count fell to 0 is reused, also by a record of another
// size (its neighbours intact); a release past 0 and slots outside the
// store change nothing; inserting past the end gives up at once.
TEST(recordcache, PositionStore) {
  StorePtr store = NewStore();
  store->SetGrowStep(50, 0);
  ValuePtr a = NewValue(Bytes(6, 0xA)), b = NewValue(Bytes(6, 0xB)), c = NewValue(Bytes(9, 0xC));
  ValuePtr sansId = NewValue(Bytes(6, 0xD), Id::None);
  EXPECT_EQ(store->nKeepRecordSave(sansId.get()), -1);
  EXPECT_EQ(store->nKeepRecordSave(nullptr), -1);
  EXPECT_EQ(store->nGetCount(), 0);
  ASSERT_EQ(store->nKeepRecordSave(a.get()), 0);
  ASSERT_EQ(store->nKeepRecordSave(b.get()), 1);
  EXPECT_EQ(store->nKeepRecordSave(a.get()), 0);
  EXPECT_EQ(store->nGetRecordSaveCount(0), 0);  // no reference taken
  store->AddRefRecordSave(0);
  store->AddRefRecordSave(0);
  store->AddRefRecordSave(1);
  EXPECT_EQ(store->nReleaseRecordSave(0), 1);
  EXPECT_EQ(store->nReleaseRecordSave(0), 0);
  EXPECT_EQ(store->nReleaseRecordSave(0), 0);  // double release
  EXPECT_EQ(store->nGetRecordSaveCount(0), 0);
  EXPECT_EQ(store->nReleaseRecordSave(7), 0);
  EXPECT_EQ(store->nReleaseRecordSave(-1), 0);
  store->AddRefRecordSave(9);
  EXPECT_EQ(store->nGetRecordIndice(a.get()), -1);  // its id left at 0

  // Slot 0 is reused by a record of another size: slot 1 stays whole.
  ASSERT_EQ(store->nKeepRecordSave(c.get()), 0);
  ValuePtr t9 = NewTarget(9), t6 = NewTarget(6);
  ASSERT_TRUE(store->bGetAt(t9.get(), 0));
  EXPECT_EQ(BytesOf(t9.get()), Bytes(9, 0xC));
  ASSERT_TRUE(store->bGetAt(t6.get(), 1));
  EXPECT_EQ(BytesOf(t6.get()), Bytes(6, 0xB));
  EXPECT_EQ(store->nGetRecordIndice(c.get()), 0);
  EXPECT_EQ(store->nGetRecordIndice(b.get()), 1);
  // The free slot stays on 0 until its count rises.
  store->AddRefRecordSave(0);
  ASSERT_EQ(store->nKeepRecordSave(a.get()), 2);
  EXPECT_EQ(store->nGetCount(), 3);

  // What the base does and a store must not.
  EXPECT_EQ(store->nAjoute(a.get()), -1);
  EXPECT_EQ(store->Insere(a.get(), 10), -1);  // gives up at the first refused pad
  EXPECT_EQ(store->Insere(a.get(), 1), -1);
  store->Supprime(1);
  EXPECT_EQ(store->nGetCount(), 3);

  store->SupprimeTout();
  EXPECT_EQ(store->nGetCount(), 0);
  EXPECT_EQ(store->nKeepRecordSave(b.get()), 0);
  EXPECT_EQ(store->nGetRecordSaveCount(0), 0);
}

// A saved row id keeps the record saved first: keeping another record with
// the same id answers its slot and neither rewrites it nor counts it.
TEST(recordcache, PositionStoreKeepsTheFirstSave) {
  DriverScope driver;
  StorePtr store = NewStore();
  ValuePtr premier = NewValue(Bytes(6, 0x11), Id::Row, NA_RECORDSTATE_READ, 5);
  ValuePtr second = NewValue(Bytes(6, 0x22), Id::Row, NA_RECORDSTATE_READ, 5);
  ASSERT_EQ(store->nKeepRecordSave(premier.get()), 0);
  EXPECT_EQ(store->nKeepRecordSave(second.get()), 0);
  EXPECT_EQ(store->nGetRecordSaveCount(0), 0);
  ValuePtr t = NewTarget(6, Id::Row);
  ASSERT_TRUE(store->bGetAt(t.get(), 0));
  EXPECT_EQ(BytesOf(t.get()), Bytes(6, 0x11));
}
