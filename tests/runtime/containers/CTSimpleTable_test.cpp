#include "CTSimpleTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/HugeAllocation.h"
#include "support/RecordDoubles.h"

namespace {

std::string Octets(int i) { return std::string(static_cast<std::size_t>(i % 7 + 1), static_cast<char>('a' + i % 26)); }

}  // namespace

// Identifiers of several sizes over many buffers read back as stored, and
// the stored bytes keep their address while later elements open buffers.
TEST(CTSimpleTable, AllerRetourEtAdressesStables) {
  CTSimpleTable<CNARecordId> table(3, 64);
  std::vector<const unsigned char*> adresses;
  for (int i = 0; i < 200; ++i) {
    const CNARecordId id(Octets(i));
    ASSERT_EQ(table.nAjoute(&id), i);
    adresses.push_back(table.pGetDonnees(i));
  }
  EXPECT_GT(table.nGetNbBuffers(), 6);
  for (int i = 0; i < 200; ++i) {
    std::uint64_t nTaille = 0;
    EXPECT_EQ(table.pGetDonnees(i, &nTaille), adresses[i]);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(adresses[i]), nTaille), Octets(i));
    CNARecordId lu;
    ASSERT_TRUE(table.bLit(i, &lu));
    EXPECT_EQ(lu.sGetBytes(), Octets(i));
  }
}

// A new buffer holds "elements per buffer" elements of the size of the one
// that opens it, within the largest size, but at least that element.
TEST(CTSimpleTable, TailleDesBuffers) {
  struct Cas {
    int nElements, nTailleMax;
    int nOctets;          // element size (+ 8 stored)
    int nParBuffer;       // elements that fit in the first buffer
  };
  for (const Cas c : {Cas{4, 1000, 10, 4}, Cas{100, 200, 12, 10}, Cas{4, 10, 30, 1}, Cas{0, 1000, 2, 1}}) {
    CTSimpleTable<CNARecordId> table(c.nElements, c.nTailleMax);
    const CNARecordId id(std::string(static_cast<std::size_t>(c.nOctets), 'x'));
    for (int i = 0; i < c.nParBuffer; ++i) table.nAjoute(&id);
    EXPECT_EQ(table.nGetNbBuffers(), 1) << c.nElements << " " << c.nTailleMax;
    table.nAjoute(&id);
    EXPECT_EQ(table.nGetNbBuffers(), 2) << c.nElements << " " << c.nTailleMax;
  }
}

// Both figures double when the sixth buffer opens, and only then.
TEST(CTSimpleTable, DoubleUneFoisACinqBuffers) {
  CTSimpleTable<CNARecordId> table(2, 1 << 20);
  const CNARecordId id("12345678");  // 16 bytes stored
  for (int i = 0; i < 5 * 2; ++i) table.nAjoute(&id);
  ASSERT_EQ(table.nGetNbBuffers(), 5);
  EXPECT_EQ(table.nGetElementsParBuffer(), 2);
  table.nAjoute(&id);
  EXPECT_EQ(table.nGetNbBuffers(), 6);
  EXPECT_EQ(table.nGetElementsParBuffer(), 4);
  EXPECT_EQ(table.nGetTailleMaxBuffer(), 1 << 21);
  for (int i = 0; i < 3; ++i) table.nAjoute(&id);  // the sixth takes 4
  EXPECT_EQ(table.nGetNbBuffers(), 6);
  for (int i = 0; i < 8; ++i) table.nAjoute(&id);
  EXPECT_EQ(table.nGetNbBuffers(), 8);
  EXPECT_EQ(table.nGetElementsParBuffer(), 4);

  CTSimpleTable<CNARecordId> zero(1, 0);  // a doubled 0 stays 0
  for (int i = 0; i < 6; ++i) zero.nAjoute(&id);
  EXPECT_EQ(zero.nGetNbBuffers(), 6);
  EXPECT_EQ(zero.nGetElementsParBuffer(), 2);
  EXPECT_EQ(zero.nGetTailleMaxBuffer(), 0);
}

// A null element takes an entry without data; removal takes out the entry
// only; reads outside the table give nothing.
TEST(CTSimpleTable, EntreesSansDonneesEtSuppression) {
  CTSimpleTable<CNARecordId> table(10, 4096);
  const CNARecordId a("aaa"), c("ccc");
  table.nAjoute(&a);
  EXPECT_EQ(table.nAjoute(nullptr), 1);
  table.nAjoute(&c);
  CNARecordId lu("intact");
  EXPECT_FALSE(table.bLit(1, &lu));
  EXPECT_EQ(table.pGetDonnees(1), nullptr);
  EXPECT_FALSE(table.bLit(-1, &lu));
  EXPECT_FALSE(table.bLit(3, &lu));
  EXPECT_EQ(lu.sGetBytes(), "intact");

  const unsigned char* octetsDeC = table.pGetDonnees(2);
  table.Supprime(0);
  table.Supprime(5);  // nothing
  ASSERT_EQ(table.nGetNbElements(), 2);
  ASSERT_TRUE(table.bLit(1, &lu));
  EXPECT_EQ(lu.sGetBytes(), "ccc");
  EXPECT_EQ(table.pGetDonnees(1), octetsDeC);
  table.nAjoute(&a);  // after the removed bytes, in the same buffer
  EXPECT_EQ(table.pGetDonnees(2), octetsDeC + 3 + 8);

  table.SupprimeTout();
  EXPECT_EQ(table.nGetNbElements(), 0);
  EXPECT_EQ(table.nGetNbBuffers(), 0);
  EXPECT_EQ(table.nAjoute(&c), 0);
}

// Record buffers are stored as their bytes and read back only into a
// record of the same size.
TEST(CTSimpleTable, EnregistrementsBruts) {
  CTSimpleTable<CNAXQRecord> table(8, 4096);
  const CNAXQRecord r1(5, 0x11), r2(3, 0x22);
  table.nAjoute(&r1);
  table.nAjoute(&r2);
  CNAXQRecord lu(5, 0);
  ASSERT_TRUE(table.bLit(0, &lu));
  EXPECT_EQ(std::vector<unsigned char>(lu.m_pBuffer, lu.m_pBuffer + 5), std::vector<unsigned char>(5, 0x11));
  EXPECT_FALSE(table.bLit(1, &lu));  // 3 bytes stored, 5 in the record
  EXPECT_EQ(lu.m_pBuffer[0], 0x11);
  CNAXQRecord petit(3, 0);
  EXPECT_TRUE(table.bLit(1, &petit));
  EXPECT_EQ(petit.m_pBuffer[2], 0x22);
}

namespace {
// An element of a chosen serialised size (kTailleImpossible cannot fit in
// memory).
struct CTailleChoisie {
  std::uint64_t nTaille;
  unsigned long nGetSerializedSize() const { return nTaille; }
  void Serialize(unsigned char* dest, unsigned long size) const { std::memset(dest, 'v', size); }
  void DeSerialize(const unsigned char*, unsigned long size) { nTaille = size; }
};
}  // namespace

// An element whose buffer cannot be allocated still takes its index, as an
// entry without data; the table goes on, and the failed sixth buffer does
// not make the figures double twice.
TEST(CTSimpleTable, AllocationImpossible) {
  RunWhereHugeAllocationsFail([] {
    CTSimpleTable<CTailleChoisie> table(2, 1 << 20);
    const CTailleChoisie petit{8}, enorme{kTailleImpossible};
    EXPECT_EQ(table.nAjoute(&enorme), 0);
    for (int i = 1; i <= 10; ++i) table.nAjoute(&petit);
    ASSERT_EQ(table.nGetNbBuffers(), 5);
    EXPECT_EQ(table.nAjoute(&enorme), 11);
    EXPECT_EQ(table.nGetNbBuffers(), 5);
    EXPECT_EQ(table.nAjoute(&petit), 12);
    EXPECT_EQ(table.nGetNbBuffers(), 6);
    EXPECT_EQ(table.nGetElementsParBuffer(), 4);
    CTailleChoisie lu{0};
    EXPECT_FALSE(table.bLit(0, &lu));
    EXPECT_FALSE(table.bLit(11, &lu));
    EXPECT_EQ(table.pGetDonnees(11), nullptr);
    ASSERT_TRUE(table.bLit(12, &lu));
    EXPECT_EQ(lu.nTaille, 8u);
  });
}

// The polymorphic form frees every buffer when it is deleted.
TEST(CNABufferTable, DestructionVirtuelle) {
  std::unique_ptr<CNABufferTable<CNARecordId>> table(new CNABufferTable<CNARecordId>(2, 64));
  const CNARecordId id("abcdef");
  for (int i = 0; i < 20; ++i) table->nAjoute(&id);
  EXPECT_GT(table->nGetNbBuffers(), 5);
  table.reset();  // the sanitizer reports any buffer left behind
}

// Insertion at a position moves later entries up; entries given other
// content keep the bytes in place when the length is the same, and point
// at a fresh element otherwise, leaving the neighbours' bytes alone.
TEST(CTSimpleTable, InsertionEtRemplacement) {
  CTSimpleTable<CNARecordId> table(4, 256);
  const CNARecordId a("aaaa"), b("bb"), c("cccccc"), d("dddd"), x("xxxxxxxxxx");
  table.nAjoute(&a);
  table.nAjoute(&b);
  EXPECT_EQ(table._Insere(&c, 1), 1);
  EXPECT_EQ(table._Insere(&d, 3), 3);  // at the end
  EXPECT_EQ(table._Insere(nullptr, 0), 0);
  EXPECT_EQ(table._Insere(&d, 6), -1);
  EXPECT_EQ(table._Insere(&d, -1), -1);
  ASSERT_EQ(table.nGetNbElements(), 5);
  const std::vector<std::string> attendu = {"", "aaaa", "cccccc", "bb", "dddd"};
  for (int i = 0; i < 5; ++i) {
    CNARecordId lu;
    EXPECT_EQ(table.bLit(i, &lu), i != 0) << i;
    if (i != 0) {
      EXPECT_EQ(lu.sGetBytes(), attendu[i]) << i;
    }
  }

  const unsigned char* pA = table.pGetDonnees(1);
  EXPECT_TRUE(table.bRemplace(1, &d));  // same length: same place
  EXPECT_EQ(table.pGetDonnees(1), pA);
  EXPECT_TRUE(table.bRemplace(1, &x));  // longer: a fresh element
  EXPECT_NE(table.pGetDonnees(1), pA);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(pA), 4), "dddd");  // old bytes stay
  EXPECT_TRUE(table.bRemplace(0, &b));  // an entry without data gets some
  EXPECT_TRUE(table.bRemplace(4, nullptr));
  EXPECT_EQ(table.pGetDonnees(4), nullptr);
  EXPECT_FALSE(table.bRemplace(5, &a));
  EXPECT_FALSE(table.bRemplace(-1, &a));
  const std::vector<std::string> apres = {"bb", "xxxxxxxxxx", "cccccc", "bb"};
  for (int i = 0; i < 4; ++i) {
    CNARecordId lu;
    ASSERT_TRUE(table.bLit(i, &lu)) << i;
    EXPECT_EQ(lu.sGetBytes(), apres[i]) << i;
  }
}
