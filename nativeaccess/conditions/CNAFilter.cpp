#include "CNAFilter.h"

#include <new>

#include "AnyOperators.h"
#include "CAny.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNAExpression.h"
#include "CNARecord.h"
#include "INAItemDescription.h"

namespace {

// *tree = *tree AND leaf (the leaf alone when the tree is empty); the
// reference the caller had on the leaf passes to the tree. False when the
// node cannot be made (the leaf is given back, the tree kept).
bool JoinAnd(CNAExpression** tree, CNAExpression* leaf) {
  if (*tree == nullptr) {
    *tree = leaf;
    return true;
  }
  CNAExpression* pclNode = (*tree)->pclAllocExpression(NA_OPERATOR_AND, *tree, leaf, (*tree)->nGetFlags());
  leaf->nRelease();
  if (pclNode == nullptr) return false;
  pclNode->AddRef();
  (*tree)->nRelease();
  *tree = pclNode;
  return true;
}

// Whether both values are given, comparable and equal.
bool SameBound(const CAny* a, const CAny* b) {
  if (a == nullptr || b == nullptr || a->bIsEmpty() || b->bIsEmpty()) return false;
  int nAnswer = 0;
  return nEgalite(a, b, &nAnswer, 0) == 0 && nAnswer != 0;
}

// *leaf = (*leaf OR column IS NULL); the reference the caller had on the
// leaf passes to the new node. False when a node cannot be made: the leaf
// is then given back and *leaf is null.
bool OrNullRows(CNAExpression** leaf, CNAColumn* column) {
  CNAExpression* pclIsNull = (*leaf)->pclAllocExpression(NA_OPERATOR_ISNULL, column,
                                                         static_cast<CNAConvertVariant*>(nullptr),
                                                         CNAExpression::knFlagFilter);
  CNAExpression* pclNode = nullptr;
  if (pclIsNull != nullptr) {
    pclIsNull->AddRef();
    pclNode = (*leaf)->pclAllocExpression(NA_OPERATOR_OR, *leaf, pclIsNull, CNAExpression::knFlagFilter);
    pclIsNull->nRelease();
  }
  if (pclNode != nullptr) pclNode->AddRef();
  (*leaf)->nRelease();
  *leaf = pclNode;
  return pclNode != nullptr;
}

}  // namespace

CNAFilter::~CNAFilter() = default;

CNARecherche* CNAFilter::_pclAllocRecherche() const {
  return new (std::nothrow) CNAFilter(pclGetError(), pclGetCnx());
}

CNAFilter* CNAFilter::pclCloneFilter() const {
  // The copy is made by _pclAllocRecherche, hence a CNAFilter.
  return static_cast<CNAFilter*>(CNARecherche::pclClone());
}

CNARecherche* CNAFilter::pclClone() const { return pclCloneFilter(); }

void CNAFilter::ActivateFilter(int active) {
  if (active == 0) {
    Desactivate();
    return;
  }
  Activate();
  // Deactivation let go of the current tree; the condition itself stayed.
  if (m_pclCurrent != m_pclEqual) {
    if (m_pclEqual != nullptr) m_pclEqual->AddRef();
    if (m_pclCurrent != nullptr) m_pclCurrent->nRelease();
    m_pclCurrent = m_pclEqual;
  }
}

int CNAFilter::bEqualsFilter(const CNAFilter* other) const {
  if (other == this) return 1;
  return bEqualsSearch(other);
}

int CNAFilter::g_bEqualsFilter(const CNAFilter* first, const CNAFilter* second) {
  if (first == nullptr) return second == nullptr || !second->bIsFilterActive() ? 1 : 0;
  if (second == nullptr) return !first->bIsFilterActive() ? 1 : 0;
  return first->bEqualsFilter(second);
}

int CNAFilter::bSetFilter(CNARecord* record, INAItemDescription* item, const CAny* min, int minIncluded,
                          const CAny* max, int maxIncluded, ISQLParserInformation* parser, int flags) {
  _ReleaseTrees();
  unsigned int nFlags = static_cast<unsigned int>(flags) | knFlagBound;
  m_piFetchItem = item;

  // On an item sorted descending the caller's minimum is the larger value:
  // swapped, the lower leaf gets the smaller one, and with it the NULL rows
  // that sort before it when it is included. The leaves are then in value
  // order already and must not be turned again.
  if (min != nullptr && max != nullptr && item != nullptr && item->bGetDescendant(-1)) {
    const CAny* pTmp = min;
    min = max;
    max = pTmp;
    const int nTmp = minIncluded;
    minIncluded = maxIncluded;
    maxIncluded = nTmp;
    nFlags |= knOptNoTurn;
  }

  const bool bFromRecord = (nFlags & knFlagFromRecord) != 0;
  eNAOperator eLower = minIncluded ? NA_OPERATOR_GE : NA_OPERATOR_GT;
  if (!bFromRecord) {
    // One value, both ends included: the rows equal to it. An end left out
    // keeps both comparisons (]a,a[ selects nothing).
    if (minIncluded && maxIncluded && SameBound(min, max)) {
      eLower = NA_OPERATOR_EQ;
      max = nullptr;
    }
  } else if (max == nullptr) {
    eLower = NA_OPERATOR_EQ;
  }

  // The NULL rows sort before every value: an included lower end at 0 or
  // '' (values the platform keeps NULL as) starts the interval with them,
  // and the whole filter must then let them through, not its lower leaf
  // alone (k <= 5 is unknown on NULL).
  CNAColumn* pclColumn = record != nullptr && item != nullptr ? record->pclGetColumnNoRef(item) : nullptr;
  bool bLowerTakesNull = false;
  bool bOk = true;
  CNAExpression* pclTree = nullptr;
  if (min != nullptr || bFromRecord) {
    CNAExpression* pclLeaf = _pclAddExpression(record, item, eLower, min, nFlags | knOptLowerBound, nullptr);
    if (pclLeaf != nullptr) {
      pclLeaf->AddRef();
      pclTree = pclLeaf;
      bLowerTakesNull = pclLeaf->bLowerBoundTakesNull() != 0;
    } else if (!bFromRecord && minIncluded && pclColumn != nullptr && !pclColumn->bIsComposedKey() &&
               !pclColumn->bUniqueNotNull() && !min->bIsNull() && !min->bIsEmpty() &&
               CNAExpression::s_bExpressionTrue(eLower, pclGetCnx(), min)) {
      // A lower end at '' holds for every value and builds no leaf; it
      // still opens the interval at the NULL rows.
      bLowerTakesNull = true;
    }
  }
  if (max != nullptr) {
    const eNAOperator eUpper = maxIncluded ? NA_OPERATOR_LE : NA_OPERATOR_LT;
    CNAExpression* pclLeaf = _pclAddExpression(record, item, eUpper, max, nFlags | knOptUpperBound, nullptr);
    if (pclLeaf != nullptr) {
      pclLeaf->AddRef();
      if (bLowerTakesNull && pclColumn != nullptr) bOk = OrNullRows(&pclLeaf, pclColumn);
      if (bOk) bOk = JoinAnd(&pclTree, pclLeaf);
    }
  }
  if (bOk && parser != nullptr) {
    CNAExpression* pclLeaf = pclAllocExpression();
    if (pclLeaf != nullptr) {
      pclLeaf->AddRef();
      if (pclLeaf->InitExpression(parser, 0)) {
        bOk = JoinAnd(&pclTree, pclLeaf);
      } else {
        pclLeaf->nRelease();
        bOk = false;
      }
    } else {
      bOk = false;
    }
  }
  if (!bOk) {
    // A filter missing a part would let through rows it must hold back:
    // it keeps no condition, and the caller learns it failed.
    if (pclTree != nullptr) pclTree->nRelease();
    return 0;
  }
  m_pclEqual = pclTree;
  if (pclTree != nullptr) {
    pclTree->AddRef();
    m_pclCurrent = pclTree;
  }
  return 1;
}
