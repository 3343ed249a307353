// CTableauDeBuffer: the dynamic array under every typed array of the runtime
// (CTTableau, CTTableauPtr, CRefArray, CNARefArray, the string array, the
// entry tables of the buffer tables).
//
// One contiguous block holds `capacity` elements of a fixed size, of which
// the first `count` are in use. Elements are plain bytes: they are copied
// with a byte copy, and no constructor or destructor ever runs on them. The
// block comes from XMALLOC_pNew_/XMALLOC_pResize_, is owned by the array and
// goes back through XMALLOC_Del_; it is null exactly when the capacity is 0.
//
// Growth: when an element must be added and count = capacity, the virtual
// Agrandir() grows the block by the growth step (see Agrandir). Operations
// that need a growth of their own size (AlloueMemoire, AgranditMemoire,
// Etend) set the growth step to that size for one call of Agrandir and then
// restore it, so a derived class that overrides Agrandir sees that step.
// A growth whose allocation fails leaves the array as it was, and the
// operation that needed it then changes nothing.
//
// A source element handed in may lie inside the array's own block (even
// when the block moves during the operation): it is read before it could
// move or be overwritten.
//
// Positions and counts out of range make an operation do nothing (and
// answer -1 where it answers an index). Elements handed in point to
// element-size bytes; a null element changes nothing (Ajoute, Insere and
// Etend answer -1).
#pragma once

#include <cstdint>

// One run of elements for PermuteMultiple: first index, number of elements.
struct _STBlocATrier {
  std::uint32_t nDebut;
  std::uint32_t nNombre;
};

class CTableauDeBuffer {
 public:
  // Empty array without storage. nPas is the growth step (a value below 1
  // counts as 1); nMarge the free slots tolerated after SupprimeCompacte.
  CTableauDeBuffer(int nTailleElement, int nPas, int nMarge);

  // One growth: by the growth step, except that with a step of 1 and a
  // capacity above 100 the array grows by 20 elements when an element has
  // fewer than 257 bytes (by 1 otherwise). On a failed allocation nothing
  // changes.
  virtual void Agrandir();

  // Frees the storage (elements are not destroyed).
  virtual ~CTableauDeBuffer();

  // On an array without storage: storage for exactly n elements, count and
  // capacity n, each element a copy of e. Nothing when the array already
  // has storage or n < 1; the array stays empty when memory is short.
  virtual void Initialise(const void* e, int n);

  // Storage reallocated to exactly count elements (freed for count 0, and
  // capacity 0). When the smaller block cannot be had, the old one stays.
  virtual void Compacter();

  CTableauDeBuffer(const CTableauDeBuffer&) = delete;
  CTableauDeBuffer& operator=(const CTableauDeBuffer&) = delete;

  // Appends a copy of e, growing first when full. Returns the new element's
  // index, -1 when the array could not grow.
  int Ajoute(const void* e);
  // Inserts a copy of e at i (0 <= i <= count), moving i..count-1 up by one.
  // Returns i, or -1 (nothing done) when i is out of range or the array
  // could not grow.
  int Insere(const void* e, int i);
  // Overwrites element i (0 <= i < count); nothing otherwise.
  void SetAt(const void* e, int i);
  // Sets element i (i >= 0), extending the array when needed: below the
  // count it is overwritten, at the count appended; beyond the count the
  // capacity becomes at least i + growth step, the elements from the count
  // to i-1 become copies of fill and the count i + 1. Returns i, or -1 when
  // i < 0 or the array could not grow (nothing done).
  int Etend(int i, const void* e, const void* fill);
  // Removes n elements from i; later elements move down. Nothing when n is
  // 0 or the run does not lie within 0..count-1.
  void Supprime(int i, int n);
  // Removes element i, then compacts (virtual Compacter) when more than the
  // compaction slack of free slots remain. Nothing when i is out of range.
  void SupprimeCompacte(int i);
  // Drops the last n elements (storage unchanged); nothing when n < 0 or
  // n > count.
  void SupprimeDernier(int n);
  // Frees the storage; count and capacity become 0.
  void SupprimeToutEtLibere();

  // Makes the capacity at least n: when it is below, one growth of exactly
  // the missing elements. True when the capacity is at least n afterwards.
  bool AlloueMemoire(int n);
  // Makes room for n more elements: when count + n exceeds the capacity,
  // one growth of the shortfall rounded up to a multiple of the growth step.
  // True when there is room afterwards.
  bool AgranditMemoire(int n);

  // For arrays of pointers: the first stored pointer (from index 0) for
  // which criterion(key, pointer) answers 0; null when none, when the array
  // is empty (the criterion is then not called) or when the elements are
  // not pointers.
  void* pRechercheLineaireCriterePointeur(long key, int (*criterion)(long key, const void* element)) const;
  // The same search, giving the index or -1.
  int nRechercheLineaireCriterePointeur(long key, int (*criterion)(long key, const void* element)) const;

  // Exchanges elements i and j; nothing when either is out of range.
  void Swap(int i, int j);
  // Moves element `from` to index `to`, shifting the elements between them
  // by one place; nothing when from = to or either is out of range.
  void Deplace(int from, int to);

  // Becomes a copy of other's elements (same element size): the own storage
  // is freed and exactly other's count allocated. False (and the array left
  // empty) when memory is short or the element sizes differ.
  bool _Duplique(const CTableauDeBuffer& other);
  // Frees the own storage and takes over other's storage, count and
  // capacity; other is left empty without storage. Nothing when the element
  // sizes differ or other is this array.
  void Recupere(CTableauDeBuffer& other);
  void _RecupereDonnees(CTableauDeBuffer* other);

  // Reorders the elements: the first n elements (0..n-1) stay in front,
  // followed by each block's elements in the order of the blocks; elements
  // from the number so placed up to count-1 keep their indices. n and the
  // blocks must describe distinct elements within the count; when they do
  // not lie within the count, or memory is short, nothing changes. Count
  // and capacity stay.
  void PermuteMultiple(int n, const _STBlocATrier* blocks, unsigned long nBlocks);

  int nGetTailleElement() const { return m_nTailleElement; }
  int nGetNbElements() const { return m_nNbElements; }
  int nGetNbAlloues() const { return m_nNbAlloues; }
  int nGetPas() const { return m_nPas; }
  // Sets the growth step (a value below 1 counts as 1).
  void SetPas(int nPas) { m_nPas = nPas < 1 ? 1 : nPas; }
  int nGetMarge() const { return m_nMarge; }
  void SetMarge(int nMarge) { m_nMarge = nMarge; }
  // The storage (null without storage); element i is at i x element size.
  void* pGetBuffer() { return m_pBuffer; }
  const void* pGetBuffer() const { return m_pBuffer; }
  // Element i, null when i is not below the count.
  void* pGetElement(int i) {
    return i >= 0 && i < m_nNbElements ? m_pBuffer + static_cast<long>(i) * m_nTailleElement : nullptr;
  }
  const void* pGetElement(int i) const {
    return i >= 0 && i < m_nNbElements ? m_pBuffer + static_cast<long>(i) * m_nTailleElement : nullptr;
  }

  // Exchanges the complete state of two arrays of the same type.
  friend void EchangeTableau(CTableauDeBuffer* a, CTableauDeBuffer* b);

 protected:
  // One call of Agrandir with the growth step set to nElements; true when
  // the capacity grew.
  bool _bAgranditDe(int nElements);
  unsigned char* _pAt(int i) const { return m_pBuffer + static_cast<long>(i) * m_nTailleElement; }

  int m_nTailleElement;
  int m_nNbElements = 0;
  int m_nNbAlloues = 0;
  int m_nPas;
  int m_nMarge;
  unsigned char* m_pBuffer = nullptr;
};

void EchangeTableau(CTableauDeBuffer* a, CTableauDeBuffer* b);
