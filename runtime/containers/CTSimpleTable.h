// CTSimpleTable<T>: a table of variable-size serialised elements stored one
// after another in large buffers (the record caches keep their record
// identifiers and record buffers in it). CNABufferTable<T> is its
// polymorphic form, owned by a record cache; it holds no count of its own.
//
// Layout: the entry table (one stENTRY per element, in index order) says
// where each element lies: {offset inside its buffer, or all bits set for
// an entry without data; its stBUFFERINFO}. An element is stored at
// data + offset as a u64 byte length followed by its serialised bytes
// (unaligned). Buffers are filled in order and never move, shrink or get
// freed before the table is emptied, so an element's bytes keep their
// address (hashes of the owner point into them); removing an element only
// removes its entry, and giving an entry other content (bRemplace) either
// rewrites bytes of the same length where they are or points the entry at
// a fresh element.
//
// Sizing: a new buffer holds "elements per buffer" elements of the size of
// the one that opens it, within the largest buffer size, but at least that
// one element. When the buffer table holds exactly 5 buffers and a sixth is
// needed, both figures double once (each only when the doubled value is
// not 0 and still fits an int32). The owner sets the figures (and so the
// entry table's growth step, equal to elements per buffer) with SetPas.
//
// Per element type the table uses three hooks, taken from
// CTSimpleTableHooks<T>:
//   static std::uint64_t _nGetDataSize(const T*);
//   static void _Serialize(const T*, unsigned char* dest, unsigned long size);
//   static bool _Deserialize(const unsigned char* src, unsigned long size, T*);
// By default an element serialises itself through its own
// nGetSerializedSize(), Serialize(dest, size) and DeSerialize(src, size)
// (DeSerialize may answer bool or nothing). Records kept as raw bytes use
// CTSimpleTableRawHooks (below) by a specialisation next to their type.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "CTTableau.h"
#include "XMalloc.h"

template <class T>
struct CTSimpleTableHooks {
  static std::uint64_t _nGetDataSize(const T* e) { return static_cast<std::uint64_t>(e->nGetSerializedSize()); }
  static void _Serialize(const T* e, unsigned char* dest, unsigned long size) { e->Serialize(dest, size); }
  static bool _Deserialize(const unsigned char* src, unsigned long size, T* e) {
    if constexpr (std::is_void_v<decltype(e->DeSerialize(src, size))>) {
      e->DeSerialize(src, size);
      return true;
    } else {
      return static_cast<bool>(e->DeSerialize(src, size));
    }
  }
};

// Hooks for a record kept as its raw bytes: Size is its byte count, Data
// its buffer of that many bytes. The bytes are stored as they are and read
// back into the record's own buffer only when the stored length equals the
// record's size (a record of another layout is left untouched).
//
//   template <> struct CTSimpleTableHooks<CNAXQRecord>
//       : CTSimpleTableRawHooks<CNAXQRecord, &CNAXQRecord::m_nTailleBuffer, &CNAXQRecord::m_pBuffer> {};
template <class T, std::uint32_t T::*Size, unsigned char* T::*Data>
struct CTSimpleTableRawHooks {
  static std::uint64_t _nGetDataSize(const T* e) { return e->*Data != nullptr ? e->*Size : 0; }
  static void _Serialize(const T* e, unsigned char* dest, unsigned long size) {
    if (size != 0) std::memcpy(dest, e->*Data, size);
  }
  static bool _Deserialize(const unsigned char* src, unsigned long size, T* e) {
    if (size != (e->*Data != nullptr ? e->*Size : 0)) return false;
    if (size != 0) std::memcpy(e->*Data, src, size);
    return true;
  }
};

template <class T>
class CTSimpleTable {
 public:
  struct stBUFFERINFO {
    unsigned char* pData;     // from XMALLOC_pNew_
    std::uint64_t nUtilise;   // bytes used from the start
    std::uint64_t nCapacite;  // bytes allocated
  };
  struct stENTRY {
    std::uint64_t nOffset;  // kAucuneDonnee: the entry holds no data
    stBUFFERINFO* pBuffer;
  };
  static constexpr std::uint64_t kAucuneDonnee = ~std::uint64_t{0};

  // Empty table; see SetPas for the figures. The buffer table grows by
  // nPasBuffers.
  CTSimpleTable(int nElementsParBuffer, int nTailleMaxBuffer, int nPasBuffers = 10)
      : m_tabEntrees(nElementsParBuffer), m_tabBuffers(nPasBuffers),
        m_nElementsParBuffer(nElementsParBuffer), m_nTailleMaxBuffer(nTailleMaxBuffer) {}
  // Frees every buffer.
  ~CTSimpleTable() { SupprimeTout(); }
  CTSimpleTable(const CTSimpleTable&) = delete;
  CTSimpleTable& operator=(const CTSimpleTable&) = delete;

  // The number of elements a new buffer is sized for (also the entry
  // table's growth step) and the largest size of a new buffer in bytes.
  void SetPas(int nElementsParBuffer, int nTailleMaxBuffer) {
    m_nElementsParBuffer = nElementsParBuffer;
    m_nTailleMaxBuffer = nTailleMaxBuffer;
    m_tabEntrees.SetPas(nElementsParBuffer);
  }
  void SetPasBuffers(int nPas) { m_tabBuffers.SetPas(nPas); }
  int nGetElementsParBuffer() const { return m_nElementsParBuffer; }
  int nGetTailleMaxBuffer() const { return m_nTailleMaxBuffer; }

  int nGetNbElements() const { return m_tabEntrees.nGetNbElements(); }
  int nGetNbBuffers() const { return m_tabBuffers.nGetNbElements(); }

  // Appends element e (serialised) and returns its index. A null e, or an
  // element whose buffer cannot be allocated, gets the entry without data,
  // so that indices stay in step with the owner's other tables. -1, and
  // nothing changed, only when the entry table cannot grow.
  int nAjoute(const T* e) {
    if (!m_tabEntrees.AgranditMemoire(1)) return -1;
    return m_tabEntrees.Ajoute(_Stocke(e));
  }

  // Inserts element e at index i (0 <= i <= count): stored as by nAjoute,
  // its entry put at i, later entries moving up by one. Returns i; -1, and
  // nothing changed, when i is out of range or the entry table cannot grow.
  int _Insere(const T* e, int i) {
    if (i < 0 || i > m_tabEntrees.nGetNbElements() || !m_tabEntrees.AgranditMemoire(1)) return -1;
    return m_tabEntrees.Insere(_Stocke(e), i);
  }

  // Gives entry i the content of e. When the entry holds data of exactly
  // e's serialised size, the bytes are rewritten where they are (same
  // address). Otherwise e is stored as a fresh element and the entry is
  // pointed at it; the old bytes stay in their buffer until the table is
  // emptied, so nothing that still points at them reads freed memory. A
  // null e leaves the entry without data. False when i is not an index (then
  // nothing changed) or when e's buffer cannot be allocated (the entry then
  // holds no data, as an element that nAjoute could not store).
  bool bRemplace(int i, const T* e) {
    stENTRY* entree = static_cast<stENTRY*>(m_tabEntrees.pGetElement(i));
    if (entree == nullptr) return false;
    if (e == nullptr) {
      *entree = stENTRY{kAucuneDonnee, nullptr};
      return true;
    }
    const std::uint64_t nTaille = CTSimpleTableHooks<T>::_nGetDataSize(e);
    if (entree->nOffset != kAucuneDonnee && entree->pBuffer != nullptr) {
      unsigned char* p = entree->pBuffer->pData + entree->nOffset;
      std::uint64_t nStocke;
      std::memcpy(&nStocke, p, 8);
      if (nStocke == nTaille) {
        CTSimpleTableHooks<T>::_Serialize(e, p + 8, static_cast<unsigned long>(nTaille));
        return true;
      }
    }
    *entree = _Stocke(e);
    return entree->nOffset != kAucuneDonnee;
  }

  // Reads element i back into *out. False (out untouched) when i is not an
  // index of the table, the entry holds no data, or the element's hook
  // refuses the stored bytes.
  bool bLit(int i, T* out) const {
    std::uint64_t nTaille;
    const unsigned char* p = pGetDonnees(i, &nTaille);
    if (p == nullptr || out == nullptr) return false;
    return CTSimpleTableHooks<T>::_Deserialize(p, static_cast<unsigned long>(nTaille), out);
  }

  // The serialised bytes of element i inside its buffer (and their length
  // in *pnTaille); null when i is not an index or the entry holds no data.
  // The address stays valid until the table is emptied.
  const unsigned char* pGetDonnees(int i, std::uint64_t* pnTaille = nullptr) const {
    const stENTRY* entree = static_cast<const stENTRY*>(m_tabEntrees.pGetElement(i));
    if (entree == nullptr || entree->nOffset == kAucuneDonnee || entree->pBuffer == nullptr) return nullptr;
    const unsigned char* p = entree->pBuffer->pData + entree->nOffset;
    if (pnTaille != nullptr) std::memcpy(pnTaille, p, 8);
    return p + 8;
  }

  // Removes the entry of element i (later indices move down by one); its
  // bytes stay in their buffer until the table is emptied.
  void Supprime(int i) { m_tabEntrees.Supprime(i, 1); }

  // Frees every buffer; both tables become empty.
  void SupprimeTout() {
    m_pBufferCourant = nullptr;
    m_tabEntrees.SupprimeDernier(m_tabEntrees.nGetNbElements());
    for (int k = 0; k < m_tabBuffers.nGetNbElements(); ++k) {
      XMALLOC_Del_(m_tabBuffers[k]->pData);
      delete m_tabBuffers[k];
    }
    m_tabEntrees.SupprimeToutEtLibere();
    m_tabBuffers.SupprimeToutEtLibere();
  }

 private:
  // Stores e (u64 length, then its serialised bytes) and answers its entry;
  // the entry without data for a null e or when no buffer can hold it.
  stENTRY _Stocke(const T* e) {
    stENTRY entree{kAucuneDonnee, nullptr};
    if (e == nullptr) return entree;
    const std::uint64_t nTaille = CTSimpleTableHooks<T>::_nGetDataSize(e);
    if (nTaille > UINT64_MAX - 8) return entree;
    const std::uint64_t nBesoin = nTaille + 8;
    stBUFFERINFO* buffer = m_pBufferCourant;
    if (buffer == nullptr || buffer->nCapacite - buffer->nUtilise < nBesoin) buffer = _pNouveauBuffer(nBesoin);
    if (buffer == nullptr) return entree;
    entree.nOffset = buffer->nUtilise;
    entree.pBuffer = buffer;
    unsigned char* p = buffer->pData + entree.nOffset;
    std::memcpy(p, &nTaille, 8);
    CTSimpleTableHooks<T>::_Serialize(e, p + 8, static_cast<unsigned long>(nTaille));
    buffer->nUtilise += nBesoin;
    return entree;
  }

  // Opens the buffer for an element of nBesoin bytes (length included) and
  // makes it current; null when memory is short.
  stBUFFERINFO* _pNouveauBuffer(std::uint64_t nBesoin) {
    if (!m_tabBuffers.AgranditMemoire(1)) return nullptr;
    int nElementsParBuffer = m_nElementsParBuffer;
    int nTailleMaxBuffer = m_nTailleMaxBuffer;
    if (m_tabBuffers.nGetNbElements() == 5) {
      nElementsParBuffer = _nDouble(nElementsParBuffer);
      nTailleMaxBuffer = _nDouble(nTailleMaxBuffer);
    }
    // The smaller of the largest size and room for the planned number of
    // elements of this size, but at least this element.
    std::uint64_t nCapacite = nTailleMaxBuffer > 0 ? static_cast<std::uint64_t>(nTailleMaxBuffer) : 0;
    const std::uint64_t nElements = nElementsParBuffer > 0 ? static_cast<std::uint64_t>(nElementsParBuffer) : 0;
    if (nElements == 0 || nBesoin <= nCapacite / nElements)
      nCapacite = nElements * nBesoin < nCapacite ? nElements * nBesoin : nCapacite;
    if (nCapacite < nBesoin) nCapacite = nBesoin;

    stBUFFERINFO* buffer = new (std::nothrow) stBUFFERINFO{nullptr, 0, nCapacite};
    if (buffer == nullptr) return nullptr;
    buffer->pData = nCapacite <= SIZE_MAX ? static_cast<unsigned char*>(XMALLOC_pNew_(nCapacite)) : nullptr;
    if (buffer->pData == nullptr) {
      delete buffer;
      return nullptr;
    }
    // The figures change only with a buffer actually added, so that they
    // double once whatever failed before.
    m_nElementsParBuffer = nElementsParBuffer;
    m_nTailleMaxBuffer = nTailleMaxBuffer;
    m_tabEntrees.SetPas(nElementsParBuffer);
    m_tabBuffers.Ajoute(buffer);
    m_pBufferCourant = buffer;
    return buffer;
  }

  // n doubled, or n itself when the double is 0 or leaves the int32 range.
  static int _nDouble(int n) {
    const long nDouble = 2L * n;
    return nDouble != 0 && nDouble <= INT_MAX && nDouble >= INT_MIN ? static_cast<int>(nDouble) : n;
  }

  CTTableau<stENTRY> m_tabEntrees;
  CTTableau<stBUFFERINFO*> m_tabBuffers;
  stBUFFERINFO* m_pBufferCourant = nullptr;
  int m_nElementsParBuffer;
  int m_nTailleMaxBuffer;
};

// The form kept by the record caches: a CTSimpleTable with a virtual
// destructor, which empties the table (every buffer freed). It holds no
// reference count; its owner is counted.
template <class T>
class CNABufferTable : public CTSimpleTable<T> {
 public:
  CNABufferTable(int nElementsParBuffer, int nTailleMaxBuffer, int nPasBuffers = 10)
      : CTSimpleTable<T>(nElementsParBuffer, nTailleMaxBuffer, nPasBuffers) {}
  virtual ~CNABufferTable() { this->SupprimeTout(); }
};
