#include "CTableauDeBuffer.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "XMalloc.h"

namespace {

// Copy of a source element taken before the array's block can move or be
// overwritten; sources outside the block are used in place.
class CSourceSure {
 public:
  CSourceSure(const CTableauDeBuffer& tab, const void* source) : m_pSource(static_cast<const unsigned char*>(source)) {
    const unsigned char* begin = static_cast<const unsigned char*>(tab.pGetBuffer());
    const std::size_t nTaille = static_cast<std::size_t>(tab.nGetTailleElement());
    if (begin == nullptr || source == nullptr) return;
    const unsigned char* end = begin + static_cast<std::size_t>(tab.nGetNbAlloues()) * nTaille;
    // Compared as integers: the source is usually another object.
    const auto p = reinterpret_cast<std::uintptr_t>(m_pSource);
    if (p + nTaille <= reinterpret_cast<std::uintptr_t>(begin) || p >= reinterpret_cast<std::uintptr_t>(end)) return;
    unsigned char* copy = nTaille <= sizeof(m_Local) ? m_Local : static_cast<unsigned char*>(XMALLOC_pNew_(nTaille));
    if (copy != m_Local) m_pHeap = copy;
    if (copy != nullptr) std::memcpy(copy, m_pSource, nTaille);
    m_pSource = copy;
  }
  ~CSourceSure() { XMALLOC_Del_(m_pHeap); }
  CSourceSure(const CSourceSure&) = delete;
  CSourceSure& operator=(const CSourceSure&) = delete;

  // Null only when the copy could not be allocated.
  const unsigned char* p() const { return m_pSource; }

 private:
  const unsigned char* m_pSource;
  unsigned char* m_pHeap = nullptr;
  unsigned char m_Local[64];
};

}  // namespace

CTableauDeBuffer::CTableauDeBuffer(int nTailleElement, int nPas, int nMarge)
    : m_nTailleElement(nTailleElement), m_nPas(nPas < 1 ? 1 : nPas), m_nMarge(nMarge) {}

CTableauDeBuffer::~CTableauDeBuffer() { XMALLOC_Del_(m_pBuffer); }

void CTableauDeBuffer::Agrandir() {
  int nCroissance = m_nPas;
  if (nCroissance == 1 && m_nNbAlloues > 100) nCroissance = m_nTailleElement < 257 ? 20 : 1;
  if (nCroissance < 1 || nCroissance > INT_MAX - m_nNbAlloues) return;
  const std::size_t nOctets =
      static_cast<std::size_t>(m_nNbAlloues + nCroissance) * static_cast<std::size_t>(m_nTailleElement);
  void* pNouveau = XMALLOC_pResize_(m_pBuffer, nOctets);
  if (pNouveau == nullptr) return;
  m_pBuffer = static_cast<unsigned char*>(pNouveau);
  m_nNbAlloues += nCroissance;
}

bool CTableauDeBuffer::_bAgranditDe(int nElements) {
  const int nAvant = m_nNbAlloues;
  const int nPas = m_nPas;
  m_nPas = nElements;
  Agrandir();
  m_nPas = nPas;
  return m_nNbAlloues > nAvant;
}

void CTableauDeBuffer::Initialise(const void* e, int n) {
  if (m_pBuffer != nullptr || n < 1 || e == nullptr) return;
  const std::size_t nTaille = static_cast<std::size_t>(m_nTailleElement);
  unsigned char* pBloc = static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<std::size_t>(n) * nTaille));
  if (pBloc == nullptr) return;
  for (int i = 0; i < n; ++i) std::memcpy(pBloc + static_cast<std::size_t>(i) * nTaille, e, nTaille);
  m_pBuffer = pBloc;
  m_nNbElements = m_nNbAlloues = n;
}

void CTableauDeBuffer::Compacter() {
  if (m_nNbElements == 0) {
    SupprimeToutEtLibere();
    return;
  }
  if (m_nNbAlloues == m_nNbElements) return;
  void* pNouveau = XMALLOC_pResize_(
      m_pBuffer, static_cast<std::size_t>(m_nNbElements) * static_cast<std::size_t>(m_nTailleElement));
  if (pNouveau == nullptr) return;
  m_pBuffer = static_cast<unsigned char*>(pNouveau);
  m_nNbAlloues = m_nNbElements;
}

int CTableauDeBuffer::Ajoute(const void* e) {
  CSourceSure source(*this, e);
  if (source.p() == nullptr) return -1;
  if (m_nNbElements >= m_nNbAlloues) {
    Agrandir();
    if (m_nNbElements >= m_nNbAlloues) return -1;
  }
  std::memcpy(_pAt(m_nNbElements), source.p(), static_cast<std::size_t>(m_nTailleElement));
  return m_nNbElements++;
}

int CTableauDeBuffer::Insere(const void* e, int i) {
  if (i < 0 || i > m_nNbElements) return -1;
  CSourceSure source(*this, e);
  if (source.p() == nullptr) return -1;
  if (m_nNbElements >= m_nNbAlloues) {
    Agrandir();
    if (m_nNbElements >= m_nNbAlloues) return -1;
  }
  const std::size_t nTaille = static_cast<std::size_t>(m_nTailleElement);
  std::memmove(_pAt(i + 1), _pAt(i), static_cast<std::size_t>(m_nNbElements - i) * nTaille);
  std::memcpy(_pAt(i), source.p(), nTaille);
  ++m_nNbElements;
  return i;
}

void CTableauDeBuffer::SetAt(const void* e, int i) {
  if (i < 0 || i >= m_nNbElements || e == nullptr) return;
  // memmove: e may be this very element.
  std::memmove(_pAt(i), e, static_cast<std::size_t>(m_nTailleElement));
}

int CTableauDeBuffer::Etend(int i, const void* e, const void* fill) {
  if (i < 0) return -1;
  if (i < m_nNbElements) {
    if (e == nullptr) return -1;
    SetAt(e, i);
    return i;
  }
  if (i == m_nNbElements) return Ajoute(e);
  CSourceSure source(*this, e);
  CSourceSure remplissage(*this, fill);
  if (source.p() == nullptr || remplissage.p() == nullptr) return -1;
  if (i >= m_nNbAlloues) {
    // Capacity becomes i + growth step.
    const long nCroissance = static_cast<long>(m_nPas) - m_nNbAlloues + i;
    if (nCroissance > INT_MAX - static_cast<long>(m_nNbAlloues)) return -1;
    _bAgranditDe(static_cast<int>(nCroissance));
    if (m_nNbAlloues <= i) return -1;
  }
  const std::size_t nTaille = static_cast<std::size_t>(m_nTailleElement);
  for (int k = m_nNbElements; k < i; ++k) std::memcpy(_pAt(k), remplissage.p(), nTaille);
  std::memcpy(_pAt(i), source.p(), nTaille);
  m_nNbElements = i + 1;
  return i;
}

void CTableauDeBuffer::Supprime(int i, int n) {
  if (n <= 0 || i < 0 || static_cast<long>(i) + n > m_nNbElements) return;
  if (i + n < m_nNbElements)
    std::memmove(_pAt(i), _pAt(i + n),
                 static_cast<std::size_t>(m_nNbElements - i - n) * static_cast<std::size_t>(m_nTailleElement));
  m_nNbElements -= n;
}

void CTableauDeBuffer::SupprimeCompacte(int i) {
  if (i < 0 || i >= m_nNbElements) return;
  Supprime(i, 1);
  if (m_nNbAlloues - m_nNbElements > m_nMarge) Compacter();
}

void CTableauDeBuffer::SupprimeDernier(int n) {
  if (n < 0 || n > m_nNbElements) return;
  m_nNbElements -= n;
}

void CTableauDeBuffer::SupprimeToutEtLibere() {
  if (m_pBuffer == nullptr) return;
  XMALLOC_Del_(m_pBuffer);
  m_pBuffer = nullptr;
  m_nNbElements = m_nNbAlloues = 0;
}

bool CTableauDeBuffer::AlloueMemoire(int n) {
  if (m_nNbAlloues < n) _bAgranditDe(n - m_nNbAlloues);
  return m_nNbAlloues >= n;
}

bool CTableauDeBuffer::AgranditMemoire(int n) {
  if (n <= 0) return true;
  const long nManque = static_cast<long>(m_nNbElements) + n - m_nNbAlloues;
  if (nManque <= 0) return true;
  const long nCroissance = (nManque + m_nPas - 1) / m_nPas * m_nPas;
  if (nCroissance > INT_MAX - static_cast<long>(m_nNbAlloues)) return false;
  _bAgranditDe(static_cast<int>(nCroissance));
  return static_cast<long>(m_nNbElements) + n <= m_nNbAlloues;
}

int CTableauDeBuffer::nRechercheLineaireCriterePointeur(long key,
                                                        int (*criterion)(long key, const void* element)) const {
  if (m_nTailleElement != static_cast<int>(sizeof(void*)) || criterion == nullptr) return -1;
  for (int i = 0; i < m_nNbElements; ++i) {
    const void* p;
    std::memcpy(&p, _pAt(i), sizeof p);
    if (criterion(key, p) == 0) return i;
  }
  return -1;
}

void* CTableauDeBuffer::pRechercheLineaireCriterePointeur(long key,
                                                          int (*criterion)(long key, const void* element)) const {
  const int i = nRechercheLineaireCriterePointeur(key, criterion);
  if (i < 0) return nullptr;
  void* p;
  std::memcpy(&p, _pAt(i), sizeof p);
  return p;
}

void CTableauDeBuffer::Swap(int i, int j) {
  if (i < 0 || j < 0 || i >= m_nNbElements || j >= m_nNbElements || i == j) return;
  // Through a small temporary, piece by piece: any element size works
  // without an allocation.
  unsigned char temp[64];
  unsigned char* a = _pAt(i);
  unsigned char* b = _pAt(j);
  for (std::size_t reste = static_cast<std::size_t>(m_nTailleElement); reste > 0;) {
    const std::size_t n = std::min(reste, sizeof temp);
    std::memcpy(temp, a, n);
    std::memcpy(a, b, n);
    std::memcpy(b, temp, n);
    a += n;
    b += n;
    reste -= n;
  }
}

void CTableauDeBuffer::Deplace(int from, int to) {
  if (from == to || from < 0 || to < 0 || from >= m_nNbElements || to >= m_nNbElements) return;
  if (from < to)
    std::rotate(_pAt(from), _pAt(from + 1), _pAt(to + 1));
  else
    std::rotate(_pAt(to), _pAt(from), _pAt(from + 1));
}

bool CTableauDeBuffer::_Duplique(const CTableauDeBuffer& other) {
  if (&other == this) return true;
  SupprimeToutEtLibere();
  if (other.m_nTailleElement != m_nTailleElement) return false;
  if (other.m_nNbElements == 0) return true;
  const std::size_t nOctets =
      static_cast<std::size_t>(other.m_nNbElements) * static_cast<std::size_t>(m_nTailleElement);
  unsigned char* pBloc = static_cast<unsigned char*>(XMALLOC_pNew_(nOctets));
  if (pBloc == nullptr) return false;
  std::memcpy(pBloc, other.m_pBuffer, nOctets);
  m_pBuffer = pBloc;
  m_nNbElements = m_nNbAlloues = other.m_nNbElements;
  return true;
}

void CTableauDeBuffer::Recupere(CTableauDeBuffer& other) { _RecupereDonnees(&other); }

void CTableauDeBuffer::_RecupereDonnees(CTableauDeBuffer* other) {
  if (other == nullptr || other == this || other->m_nTailleElement != m_nTailleElement) return;
  SupprimeToutEtLibere();
  m_pBuffer = other->m_pBuffer;
  m_nNbElements = other->m_nNbElements;
  m_nNbAlloues = other->m_nNbAlloues;
  other->m_pBuffer = nullptr;
  other->m_nNbElements = other->m_nNbAlloues = 0;
}

void EchangeTableau(CTableauDeBuffer* a, CTableauDeBuffer* b) {
  if (a == nullptr || b == nullptr || a == b) return;
  std::swap(a->m_nTailleElement, b->m_nTailleElement);
  std::swap(a->m_nNbElements, b->m_nNbElements);
  std::swap(a->m_nNbAlloues, b->m_nNbAlloues);
  std::swap(a->m_nPas, b->m_nPas);
  std::swap(a->m_nMarge, b->m_nMarge);
  std::swap(a->m_pBuffer, b->m_pBuffer);
}

void CTableauDeBuffer::PermuteMultiple(int n, const _STBlocATrier* blocks, unsigned long nBlocks) {
  if (m_pBuffer == nullptr || n < 0 || n > m_nNbElements || (nBlocks > 0 && blocks == nullptr)) return;
  // Every run must lie inside the count, and together they cannot place
  // more than count elements.
  std::uint64_t nPlaces = static_cast<std::uint64_t>(n);
  for (unsigned long k = 0; k < nBlocks; ++k) {
    if (static_cast<std::uint64_t>(blocks[k].nDebut) + blocks[k].nNombre > static_cast<std::uint64_t>(m_nNbElements))
      return;
    nPlaces += blocks[k].nNombre;
  }
  if (nPlaces > static_cast<std::uint64_t>(m_nNbElements)) return;

  const std::size_t nTaille = static_cast<std::size_t>(m_nTailleElement);
  unsigned char* pNouveau =
      static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<std::size_t>(m_nNbAlloues) * nTaille));
  if (pNouveau == nullptr) return;

  // Runs are gathered while they continue one another, then copied at once.
  std::size_t nEcrits = 0;            // elements placed in the new block
  std::size_t nRunDebut = 0;          // pending run: first index...
  std::size_t nRunLongueur = static_cast<std::size_t>(n);  // ...and length
  auto ecrire = [&]() {
    if (nRunLongueur == 0) return;
    std::memcpy(pNouveau + nEcrits * nTaille, m_pBuffer + nRunDebut * nTaille, nRunLongueur * nTaille);
    nEcrits += nRunLongueur;
  };
  for (unsigned long k = 0; k < nBlocks; ++k) {
    if (blocks[k].nDebut == nRunDebut + nRunLongueur) {
      nRunLongueur += blocks[k].nNombre;
      continue;
    }
    ecrire();
    nRunDebut = blocks[k].nDebut;
    nRunLongueur = blocks[k].nNombre;
  }
  ecrire();
  if (nEcrits < static_cast<std::size_t>(m_nNbElements))
    std::memcpy(pNouveau + nEcrits * nTaille, m_pBuffer + nEcrits * nTaille,
                (static_cast<std::size_t>(m_nNbElements) - nEcrits) * nTaille);
  XMALLOC_Del_(m_pBuffer);
  m_pBuffer = pNouveau;
}
