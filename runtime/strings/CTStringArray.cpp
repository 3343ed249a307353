// CTStringArray: an ordered array of owned wide strings.
#include "CTStringArray.h"

#include <new>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "FormatMessage.h"
#include "XMalloc.h"

namespace {

const wchar_t* Texte(const CTString* s) { return s != nullptr ? s->pszGet() : L""; }

int CompareCroissant(const void* a, const void* b) {
  return std::wcscmp(Texte(*static_cast<CTString* const*>(a)), Texte(*static_cast<CTString* const*>(b)));
}

int CompareCroissantI(const void* a, const void* b) {
  return wcscasecmp(Texte(*static_cast<CTString* const*>(a)), Texte(*static_cast<CTString* const*>(b)));
}

int CompareDecroissant(const void* a, const void* b) { return CompareCroissant(b, a); }

// Appends one field of the split text to the array.
class CAjouteChamp : public IVisiteurPourTouteChaine {
 public:
  explicit CAjouteChamp(CTStringArray* array) : m_pArray(array) {}
  bool bVisite(long, const wchar_t* start, long length) override {
    m_pArray->vAjoute(start, length);
    return true;
  }

 private:
  CTStringArray* m_pArray;
};

}  // namespace

CTStringArray::~CTStringArray() { CTStringArray::SupprimeTout(); }

int CTStringArray::_nAjouteElement(CTString* s) {
  // Elements are made with nothrow new: a shortage is the -1 of a full array.
  if (s == nullptr) return -1;
  const int index = CTTableau<CTString*>::Ajoute(s);
  if (index < 0) delete s;
  return index;
}

int CTStringArray::Ajoute(const CTString* s) { return Ajoute(Texte(s)); }

int CTStringArray::Ajoute(const wchar_t* text) { return _nAjouteElement(new (std::nothrow) CTString(text)); }

void CTStringArray::Ajoute(const CTTableau<CTString*>& other) {
  // Read the count once: other may be this array.
  const int n = other.nGetNbElements();
  for (int k = 0; k < n; ++k) {
    const CTString* s = other[k];
    if (_nAjouteElement(new (std::nothrow) CTString(s != nullptr ? s->pszGet() : nullptr)) < 0) return;
  }
}

int CTStringArray::Insere(const CTString* s, int i) { return Insere(Texte(s), i); }

int CTStringArray::Insere(const wchar_t* text, int i) {
  if (i < 0 || i > m_nNbElements) return -1;
  CTString* s = new (std::nothrow) CTString(text);
  if (s == nullptr) return -1;
  const int index = CTTableau<CTString*>::Insere(s, i);
  if (index < 0) delete s;
  return index;
}

void CTStringArray::SetAt(const CTString* s, int i) { SetAt(Texte(s), i); }

void CTStringArray::SetAt(const wchar_t* text, int i) {
  if (i < 0 || i >= m_nNbElements) return;
  // The copy first: text may be the element being replaced.
  CTString* s = new (std::nothrow) CTString(text);
  if (s == nullptr) return;  // the element keeps its text
  CTString* old = pGetTab()[i];
  pGetTab()[i] = s;
  delete old;
}

void CTStringArray::Supprime(int i) {
  if (i < 0 || i >= m_nNbElements) return;
  CTString* old = pGetTab()[i];
  CTableauDeBuffer::Supprime(i, 1);
  delete old;
}

void CTStringArray::SupprimeTout() {
  CTString** elements = pGetTab();
  for (int k = 0; k < m_nNbElements; ++k) delete elements[k];
  m_nNbElements = 0;
}

CTString* CTStringArray::operator[](int i) { return pGetTab()[i]; }

int CTStringArray::nRecherche(const wchar_t* text, int exact, int from) {
  const wchar_t* wanted = text != nullptr ? text : L"";
  for (int k = from < 0 ? 0 : from; k < m_nNbElements; ++k) {
    const CTString* s = pGetTab()[k];
    const bool bEgal = exact ? std::wcscmp(Texte(s), wanted) == 0 : s->bEstEgalI(wanted);
    if (bEgal) return k;
  }
  return -1;
}

void CTStringArray::TrieCroisssant() {
  if (m_nNbElements > 1) std::qsort(pGetTab(), static_cast<std::size_t>(m_nNbElements), sizeof(CTString*), CompareCroissant);
}

void CTStringArray::TrieCroisssantI() {
  if (m_nNbElements > 1) std::qsort(pGetTab(), static_cast<std::size_t>(m_nNbElements), sizeof(CTString*), CompareCroissantI);
}

void CTStringArray::TrieDecroisssant() {
  if (m_nNbElements > 1) std::qsort(pGetTab(), static_cast<std::size_t>(m_nNbElements), sizeof(CTString*), CompareDecroissant);
}

bool CTStringArray::bFusion(CTString* out, const wchar_t* sep) {
  if (m_nNbElements == 0) return true;
  if (out == nullptr) return false;
  const std::size_t ls = sep != nullptr ? std::wcslen(sep) : 0;
  const std::size_t limit = SIZE_MAX / sizeof(wchar_t) - 1;
  std::size_t total = 0;
  for (int k = 0; k < m_nNbElements; ++k) {
    const std::size_t n = static_cast<std::size_t>(pGetTab()[k]->nTaille()) + (k > 0 ? ls : 0);
    if (n > limit - total) return false;
    total += n;
  }
  wchar_t* buffer = static_cast<wchar_t*>(std::malloc((total + 1) * sizeof(wchar_t)));
  if (buffer == nullptr) return false;
  wchar_t* w = buffer;
  for (int k = 0; k < m_nNbElements; ++k) {
    if (k > 0 && ls != 0) {
      std::wmemcpy(w, sep, ls);
      w += ls;
    }
    const CTString* s = pGetTab()[k];
    const std::size_t n = static_cast<std::size_t>(s->nTaille());
    std::wmemcpy(w, s->pszGet(), n);
    w += n;
  }
  *w = 0;
  // The buffer is adopted only now: out may be one of the elements.
  out->SetBuffer(buffer);
  return true;
}

void CTStringArray::Decoupe(const CTString& text, const wchar_t* sep) { Decoupe(text.pszGet(), sep); }

void CTStringArray::Decoupe(const wchar_t* text, const wchar_t* sep) {
  // The copy first: text may lie in an element that is about to go.
  const CTString copy(text);
  SupprimeTout();
  CAjouteChamp visiteur(this);
  copy.PourTouteChaineSepareePar(sep, &visiteur);
}

void CTStringArray::Initialise(const wchar_t* text, int n) {
  // One copy of the text is kept aside: text may be an element.
  const CTString model(text);
  for (int k = 0; k < n; ++k) {
    if (Ajoute(model.pszGet()) < 0) return;
  }
}

void CTStringArray::vAjoute(const wchar_t* text, long n) { _nAjouteElement(new (std::nothrow) CTString(text, n)); }

int CTStringArray::AjouteRecupere(CTString* s) {
  CTString* element = new (std::nothrow) CTString;
  const int index = _nAjouteElement(element);
  if (index >= 0 && s != nullptr) element->Transfert(*s);
  return index;
}

int CTStringArray::AjoutePrintf(const wchar_t* format, ...) {
  const int index = _nAjouteElement(new (std::nothrow) CTString);
  if (index < 0) return -1;
  va_list args;
  va_start(args, format);
  const int result = pGetTab()[index]->FormatV(format, args);
  va_end(args);
  return result;
}

unsigned CTStringArray::AjouteFormatMessageWin(const wchar_t* format, ...) {
  const int index = _nAjouteElement(new (std::nothrow) CTString);
  if (index < 0) return 0;
  va_list args;
  va_start(args, format);
  wchar_t* text = nullptr;
  const unsigned length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING,
                                           format, 0, 0, reinterpret_cast<wchar_t*>(&text), 0, &args);
  va_end(args);
  if (text == nullptr) return 0;
  if (length != 0) pGetTab()[index]->Set(text, static_cast<unsigned long>(length));
  XMALLOC_Del_(text);
  return length;
}

bool CTStringArray::g_bTrieCroissantI(CTString* out, const wchar_t* text, const wchar_t* sep) {
  CTStringArray pieces(30);
  pieces.AlloueMemoire(1);
  pieces.Decoupe(text, sep);
  pieces.TrieCroisssantI();
  return pieces.bFusion(out, sep);
}
