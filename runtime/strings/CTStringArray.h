// CTStringArray: an ordered array of owned wide strings.
//
// The array is the CTTableau<CTString*> instance of the dynamic array family:
// each element points to a CTString that the array created with `new` (a copy
// of the text it was given) and that it deletes when the element is removed
// or replaced, when the array is emptied and when it is destroyed. Elements
// are never null. Callers may read and change an element's text through the
// pointer, but never delete it or store another pointer in its place.
//
// Every operation that takes a CTString or a plain text makes its copy before
// it changes the array, so the text may be one of the array's own elements.
// Operations that take a CTString call the text form through its virtual
// slot.
//
// Indices are int32: SetAt and Supprime accept 0..count-1 and Insere
// 0..count; any other index does nothing. operator[] checks nothing.
//
// The base's Initialise slots (untyped and CTString* const&) store the same
// pointer n times and are for the plain arrays of the family only; on a
// string array use Initialise(const wchar_t*, int).
#pragma once

#include "CTString.h"
#include "CTTableau.h"

class CTStringArray : public CTTableau<CTString*> {
 public:
  // Empty array without storage; nPas is the growth step (at least 1).
  explicit CTStringArray(int nPas = 10, int nMarge = 0) : CTTableau<CTString*>(nPas, nMarge) {}
  // Deletes every element, then the storage.
  ~CTStringArray() override;

  CTStringArray(const CTStringArray&) = delete;
  CTStringArray& operator=(const CTStringArray&) = delete;

  // ---- Virtual operations, in slot order after the base's ---------------

  // Ajoute(s->pszGet()).
  virtual int Ajoute(const CTString* s);
  // Appends a new element copied from text (null: an empty element).
  // Returns its index, -1 (nothing appended) when the array cannot grow.
  virtual int Ajoute(const wchar_t* text);
  // Appends a copy of each element of other, in order (a null pointer gives
  // an empty element); other may be this array (its elements are appended
  // once).
  virtual void Ajoute(const CTTableau<CTString*>& other);
  // Insere(s->pszGet(), i).
  virtual int Insere(const CTString* s, int i);
  // Inserts a new copy of text before index i (0..count); returns i, or -1
  // when i is out of range or the array cannot grow (nothing done).
  virtual int Insere(const wchar_t* text, int i);
  // SetAt(s->pszGet(), i).
  virtual void SetAt(const CTString* s, int i);
  // Element i (0..count-1) becomes a new copy of text; the element it
  // replaces is deleted. Nothing when i is out of range.
  virtual void SetAt(const wchar_t* text, int i);
  // Deletes element i (0..count-1) and removes its slot; nothing otherwise.
  virtual void Supprime(int i);
  // Deletes every element; the count becomes 0, the storage stays.
  virtual void SupprimeTout();
  // Element i, no bound check.
  virtual CTString* operator[](int i);
  // Index of the first element at or after `from` (a negative from counts
  // as 0) that equals text (null: the empty text): exactly (wcscmp) when
  // `exact` is non-zero, else ignoring case and accents
  // (CTString::bEstEgalI). -1 when from is not below the count or nothing
  // matches.
  virtual int nRecherche(const wchar_t* text, int exact, int from);
  // Sorts in place with qsort: ascending by wcscmp, ascending by
  // wcscasecmp, descending by wcscmp. The order of equal elements is not
  // kept.
  virtual void TrieCroisssant();
  virtual void TrieCroisssantI();
  virtual void TrieDecroisssant();
  // out becomes the elements joined with sep between them (none after the
  // last; a null or empty sep joins without separator), in one buffer sized
  // to the total. An empty array leaves out unchanged and gives true; false
  // (out unchanged) when the buffer cannot be made.
  virtual bool bFusion(CTString* out, const wchar_t* sep);
  // Decoupe(text.pszGet(), sep).
  virtual void Decoupe(const CTString& text, const wchar_t* sep);
  // Empties the array, then appends the fields of a copy of text at the
  // separator text: field 0 runs to the first separator, the last to the
  // end (an empty field is an empty element). An empty or null text gives
  // no element; a null or empty sep gives the whole text as one element.
  virtual void Decoupe(const wchar_t* text, const wchar_t* sep);
  // The element forms of the base stay callable beside the text form.
  using CTTableau<CTString*>::Initialise;
  // Appends n copies of text (nothing for n < 1).
  virtual void Initialise(const wchar_t* text, int n);
  // Appends a new CTString(text, n): at most n characters of text.
  virtual void vAjoute(const wchar_t* text, long n);

  // ---- Further operations ------------------------------------------------

  // Appends a new element that takes s's buffer; s is left empty (null s:
  // an empty element). Returns the index, -1 (s unchanged) when the array
  // cannot grow.
  int AjouteRecupere(CTString* s);
  // Appends an empty element, then formats into it (CTString::FormatV,
  // Windows meaning of the conversions). Returns FormatV's result, -1 when
  // the array cannot grow.
  int AjoutePrintf(const wchar_t* format, ...);
  // Appends an empty element, then formats `format` printf-style with the
  // call's arguments through FormatMessageW (allocate-buffer and
  // from-string, 0x500). On success the element receives the text; on
  // failure it stays empty. Returns the length formatted (0 on failure).
  unsigned AjouteFormatMessageWin(const wchar_t* format, ...);

  // Splits text at sep into a temporary array (initial capacity 1, growth
  // step 30), sorts it with wcscasecmp and joins it into out with sep.
  // Returns the join's result (an empty text leaves out unchanged).
  static bool g_bTrieCroissantI(CTString* out, const wchar_t* text, const wchar_t* sep);

 private:
  // Stores the new element s (owned from now on) at the end; deletes it and
  // answers -1 when the array cannot grow.
  int _nAjouteElement(CTString* s);
};
