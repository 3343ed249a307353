// Structure checks of a CMemBTree for the tree's tests: every rule the tree
// keeps between operations, reported as readable text ("" when sound), and
// its records in order.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CMemBTree;

struct STreeStats {
  int nDepth = 0;              // inner levels above the leaves
  int nTreeBuckets = 0;        // class-6 buckets met
  int nVectorBuckets[6] = {};  // vector buckets met, by class
};

// A record as bytes: the key and the value (empty without values).
using TRecord = std::pair<std::string, std::string>;

// Counts and kinds, separators (the first key below the child to their
// right), key order and bounds, leaf links and depth, minimum fill (a leaf
// below the root holds at least the minimum, an inner node at least one less
// than it, as a bulk load may leave), bucket classes and value order, the
// embedded trees, distinct keys and the pools' live objects. Appends the
// records in order to *pRecords when given.
std::string CheckTree(const CMemBTree& tree, STreeStats* pStats, std::vector<TRecord>* pRecords);
