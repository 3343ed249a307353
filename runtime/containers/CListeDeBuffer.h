// CListeDeBuffer: doubly linked list of fixed-size elements with one
// built-in cursor (the bucket lists of the hash base use it).
//
// Each node holds a byte copy of its element (no constructor or destructor
// runs on it); nodes come from malloc (node header + element size) and go
// back with free. The list owns its nodes; they never move, so an element's
// address stays valid until its node is removed.
//
// CEtatListe is the state of a list without ownership: head, tail, cursor,
// element size, count and the cursor's 0-based index (-1 when the list is
// empty). It carries every cursor movement, so a copy of a list's state
// (CEtatListe etat(liste)) is a second cursor over the same nodes that can
// be moved without touching the list; such a copy never frees a node and is
// valid only while the list's nodes are not changed otherwise. ExtraitListe
// takes two of them to mark the run it cuts out.
//
// The cursor may stand off either end of the list (null) after VaSuivant or
// VaPrecedent; no operation reads through a null cursor.
#pragma once

#include <cstddef>

// A node: links, then the element bytes.
struct CLinkedElement {
  CLinkedElement* pSuivant;
  CLinkedElement* pPrecedent;
};

class CEtatListe {
 public:
  // Element bytes of a node, null for a null node.
  static void* pGetElem(CLinkedElement* node) {
    return node != nullptr ? reinterpret_cast<unsigned char*>(node) + sizeof(CLinkedElement) : nullptr;
  }

  // The current element, null when the cursor is null (list empty or cursor
  // off an end).
  void* pCourant() const { return pGetElem(m_pCourant); }
  // Move the cursor one node when there is a current node (the index
  // changes by 1); the cursor may move off the end and become null.
  void VaSuivant();
  void VaPrecedent();
  // Move only when there is a next (previous) node and return its element;
  // null without moving otherwise.
  void* pVaSuivant();
  void* pVaPrecedent();
  // Puts the cursor on position n and returns its element, walking the
  // shortest way from the head, the tail or the cursor. Null, and the cursor
  // unchanged, when n is not a position of the list.
  void* pVaSurNumero(int n);

  int nGetTailleElement() const { return m_nTailleElement; }
  int nGetNbElements() const { return m_nNbElements; }
  int nGetIndiceCourant() const { return m_nIndiceCourant; }
  CLinkedElement* pclGetTete() const { return m_pTete; }
  CLinkedElement* pclGetQueue() const { return m_pQueue; }
  CLinkedElement* pclGetCourant() const { return m_pCourant; }

 protected:
  explicit CEtatListe(int nTailleElement) : m_nTailleElement(nTailleElement) {}

  CLinkedElement* m_pTete = nullptr;
  CLinkedElement* m_pQueue = nullptr;
  CLinkedElement* m_pCourant = nullptr;
  int m_nTailleElement;
  int m_nNbElements = 0;
  int m_nIndiceCourant = -1;

  friend class CListeDeBuffer;
};

class CListeDeBuffer : public CEtatListe {
 public:
  // Empty list of elements of nTailleElement bytes.
  explicit CListeDeBuffer(int nTailleElement) : CEtatListe(nTailleElement) {}
  // Frees every node.
  ~CListeDeBuffer() { SupprimeTout(); }
  CListeDeBuffer(const CListeDeBuffer&) = delete;
  CListeDeBuffer& operator=(const CListeDeBuffer&) = delete;

  // Adds a node holding a copy of the element (element-size bytes). In an
  // empty list it becomes head, tail and current at index 0. Otherwise it is
  // linked before the current node when bAvant is non-zero (the index
  // stays), after it when bAvant is 0 (the index grows by 1). The new node
  // becomes current. With the cursor off an end the node goes to that end
  // (head when the index is -1, tail otherwise) and the index becomes its
  // position. False, and nothing changed, when memory is short or the
  // element is null.
  bool Ajoute(const void* element, int bAvant);

  // Unlinks and frees the current node; the previous node becomes current
  // (index - 1), or, when there was none, the new head at the same index
  // (-1 when the list is now empty). Nothing when the cursor is null.
  void SupprimeCourant();

  // Frees every node: head, tail and cursor null, count 0, index -1.
  void SupprimeTout();

  // This list (emptied first) receives the run of source's nodes from from's
  // cursor (included) up to to's cursor (excluded; to the end when to's
  // cursor is null); from and to are states of source (CEtatListe copies,
  // or source itself). The list gets the run with its cursor on the run's
  // head at index 0. The source loses the run: its count falls by the run's
  // length, a cursor after the run keeps its node with the index lowered by
  // that length, a cursor inside the run moves to to's node (at the index
  // where the run began). from and to become states of the changed source
  // with to's node as cursor at that index. Nothing happens when the two
  // cursors are equal, from's cursor is null, to's node does not follow
  // from's in source, the element sizes differ, or this list is source.
  void ExtraitListe(CListeDeBuffer& source, CEtatListe& from, CEtatListe& to);
};
