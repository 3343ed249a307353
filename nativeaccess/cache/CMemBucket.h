// CMemBucket: the duplicate values of one key of a CMemBTree, kept in
// ascending order of the tree's value compare, never two equal ones.
//
// A bucket is an object of one of the owning tree's bucket pools, one pool
// per size class: i16 count, i16 size class, then either `capacity` values
// (a vector bucket, classes 0 to 5) or, for class 6, an embedded CMemBTree
// whose keys are the values (count 0xFFFF, the real count being the embedded
// tree's record count). The embedded tree starts 8 bytes in, so that its
// pointers are aligned; vector values start 4 bytes in and are plain bytes.
//
// Size classes (mg_stTabSizeThreshold: shrink bound, capacity): a vector
// grows into the next class when full and a full class 5 becomes a tree, so
// a tree appears at 65 values; a deletion that leaves at most the shrink
// bound moves the values into the class below, and a tree left with 55
// values or fewer becomes a vector again.
//
// Every operation that allocates does so before it changes anything: a
// failed insertion leaves the bucket (and the pointer to it) as it was. A
// deletion never fails for want of memory: when the smaller bucket cannot be
// had, the values stay where they are.
#pragma once

#include <cstdint>

class CMemBTree;

class CMemBucket {
 public:
  struct SSizeThreshold {
    std::uint32_t nShrinkBound;
    std::uint32_t nCapacity;  // 0: a tree
  };
  static constexpr int kTreeClass = 6;
  static const SSizeThreshold mg_stTabSizeThreshold[7];
  // Offsets of the values (vector) and of the embedded tree (class 6).
  static constexpr std::uint64_t kValuesOffset = 4;
  static constexpr std::uint64_t kTreeOffset = 8;

  // The object size of a bucket of class nClass for values of nValueSize
  // bytes.
  static std::uint64_t nObjectSize(int nClass, std::uint64_t nValueSize);

  // The number of values (the embedded tree's record count for a tree).
  std::uint32_t nGetCount() const;
  int nGetClass() const { return m_nClass; }
  bool bIsTree() const { return m_nClass == kTreeClass; }
  // Value i of a vector bucket.
  const unsigned char* pValue(std::uint64_t nValueSize, std::uint32_t i) const {
    return reinterpret_cast<const unsigned char*>(this) + kValuesOffset + i * nValueSize;
  }
  unsigned char* pValue(std::uint64_t nValueSize, std::uint32_t i) {
    return reinterpret_cast<unsigned char*>(this) + kValuesOffset + i * nValueSize;
  }
  // The embedded tree of a class-6 bucket.
  const CMemBTree* pTree() const;
  CMemBTree* pTree();

  // A bucket from the owner's pools holding the two values (which differ)
  // in order; null when the pool cannot supply it.
  static CMemBucket* pclCreatePair(CMemBTree& owner, const void* pFirst, const void* pSecond);
  // A bucket of the smallest fitting class (a tree above 64 values) holding
  // nCount values already sorted and distinct; null on failure.
  static CMemBucket* pclCreateSorted(CMemBTree& owner, const unsigned char* pValues, std::uint32_t nCount);
  // Frees the bucket (and the embedded tree) into the owner's pools.
  static void Destroy(CMemBTree& owner, CMemBucket* pBucket);

  // Adds a value; rpBucket may be replaced by a bucket of another class.
  // False, nothing changed, when the value is there or memory runs short.
  static bool bInsert(CMemBTree& owner, CMemBucket*& rpBucket, const void* pValue);
  // Removes a value; rpBucket may be replaced. False when it is absent.
  static bool bDelete(CMemBTree& owner, CMemBucket*& rpBucket, const void* pValue);
  // Lower bound in a vector bucket: the index of the first value not less
  // than pValue (count when none), with bEqual telling an exact match.
  std::uint32_t nLowerBound(const CMemBTree& owner, const void* pValue, bool& bEqual) const;

 private:
  static CMemBucket* _pclAlloc(CMemBTree& owner, int nClass);
  static CMemBucket* _pclCreateTree(CMemBTree& owner, const unsigned char* pValues, std::uint32_t nCount,
                                    const void* pExtra);

  std::int16_t m_nCount;
  std::int16_t m_nClass;
};
