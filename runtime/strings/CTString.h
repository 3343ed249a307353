// CTString: the plain owned wide string of the runtime foundation.
//
// The object holds one field, a pointer to a heap buffer of NUL-terminated
// 4-byte characters, or null. Null and an allocated empty buffer are both the
// empty string for every query; pszGet never returns null. The buffer comes
// from malloc/realloc and goes back with free (not through XMALLOC_*): it
// is sized to the text (length + 1 characters; a refused shrink leaves it
// larger), there is no capacity field, and every growth is a realloc to the
// exact size. The destructor frees the buffer;
// copying copies the text; Transfert moves the buffer.
//
// Common rules of every operation:
// - Lengths, positions and counts are characters (not bytes), positions are
//   0-based, "not found" is -1; sizes are computed in 64 bits.
// - A source text may lie inside the own text (s.Add(s.pszGet()),
//   s.Insert(s.pszGet() + 2, 3, 0) ...): it is copied before the buffer moves.
//   (Characters kept past an embedded NUL by SetFromBinary are not text.)
// - A failed allocation keeps the former text unchanged; nothing is reported.
// - Positions and counts out of the text do nothing (or read as 0 / -1), as
//   each operation says.
// - Case and accent work goes through the STR_* functions (the runtime's
//   locale); 8-bit text goes through the code-page conversions.
// - Formats are wide formats with the Windows meaning of the conversions
//   (`%s` wide, `%S` and `%hs` 8-bit; see FormatWin.h).
#pragma once

#include <cstdarg>

template <typename T>
class CXYString;

// Where Ellipse puts the "...".
enum eELLIPSISPOSITION {
  ELLIPSIS_FIN = 0,     // keeps the start: "abcd..."
  ELLIPSIS_MILIEU = 1,  // keeps both ends: "ab...ij"
  ELLIPSIS_DEBUT = 2,   // keeps the end: "...ghij"
};

// Visitor of CTString::PourTouteChaineSepareePar: called once per field with
// the field's index (from 0), a pointer to its first character inside the
// string (not terminated at the field's end) and its length. Returning false
// stops the walk.
class IVisiteurPourTouteChaine {
 public:
  virtual ~IVisiteurPourTouteChaine() = default;
  virtual bool bVisite(long index, const wchar_t* start, long length) = 0;
};

class CTString {
 public:
  // ---- Construction and assignment --------------------------------------

  CTString() = default;
  // A copy of the text; null or empty gives the empty string (no buffer).
  CTString(const wchar_t* text);
  CTString(const CTString& other);
  // Set(text, n).
  CTString(const wchar_t* text, long n);
  // SetANSIEx(text, -1, 1252): the 8-bit text read as code page 1252.
  explicit CTString(const char* text);
  // Set(a, b, c).
  CTString(const wchar_t* a, const wchar_t* b, const wchar_t* c);
  ~CTString();

  // Null or empty text: Vide. The own buffer (same pointer): nothing. Same
  // length as the current text: copied in place. Else resized to the new
  // length and copied with its NUL.
  void Set(const wchar_t* text);
  CTString& operator=(const wchar_t* text);
  CTString& operator=(wchar_t* text);
  CTString& operator=(const CTString& other);  // self-assignment: nothing
  void SetUNICODE(const wchar_t* text);
  void Set(const CXYString<wchar_t>& text);
  void Set(const CXYString<wchar_t>* text);  // null: Vide

  // Null text: Vide. Takes min(n, length of text) characters, reading the
  // source no further than n characters (it need not be terminated within
  // them), and terminates them; n = 0 leaves an allocated empty text.
  void Set(const wchar_t* text, unsigned long n);

  // Null data: Vide. Exactly n characters (NULs included) and a NUL added.
  void SetFromBinary(const wchar_t* data, unsigned long n);

  // a + b + c, each may be null; a total length of 0 gives Vide; a current
  // length equal to the total reuses the buffer.
  void Set(const wchar_t* a, const wchar_t* b, const wchar_t* c);

  // c = 0: Vide; else the one-character text.
  void Set(wchar_t c);
  CTString& operator=(wchar_t c);

  // 8-bit text of code page `codePage` (0 is Windows-1252, 65001 UTF-8).
  // Null: Vide. At most `len` bytes are read (-1: up to the NUL), stopping at
  // a NUL met before; a sequence cut by `len` is dropped. A conversion that
  // fails or gives nothing leaves the empty string.
  void SetANSIEx(const char* text, int len, unsigned codePage);

  // Decimal text of the value (minus sign for negatives).
  void SetI4(int value);
  void SetI8(long value);

  // The text upper-cased with accents removed (STR flags 3); null or empty:
  // Vide. The text may be the own buffer.
  void SetStandard(const wchar_t* text);

  // Frees the current buffer and adopts `buffer`, which must come from
  // malloc and hold a NUL-terminated text (null: the empty string). The
  // string owns it from now on.
  void SetBuffer(wchar_t* buffer);

  // Frees the own buffer, takes other's buffer and leaves other empty.
  void Transfert(CTString& other);

  // Frees the buffer; the string is empty.
  void Vide();

  // A name for a temporary file as tempnam(NULL, prefix) makes it,
  // made with the prefix's first characters that fit in 5 UTF-8 bytes
  // (whole characters only) and decoded as UTF-8. Empty when no name could
  // be made or decoded.
  void FichierTemporaire(const wchar_t* prefix);

  // ---- Queries ----------------------------------------------------------

  // The characters, or a static empty text; never null. Valid until the
  // string changes.
  const wchar_t* pszGet() const;
  // Length in characters; 0 when empty.
  long nTaille() const;

  // Character i; 0 when i is not within 0..length - 1.
  wchar_t cGetChar(long i) const;
  // Writes character i; nothing when i is not within 0..length - 1.
  void SetChar(long i, wchar_t c);

  // Exact equality; an empty (or null) text equals only the empty string.
  bool bEstEgal(const wchar_t* text) const;
  bool operator==(const CTString& other) const;
  bool operator!=(const CTString& other) const;
  // Equality ignoring case and accents (STR_nUpCompareW with flag 2).
  bool bEstEgalI(const wchar_t* text) const;
  bool bEstEgalI(const CTString& other) const;

  // The start (end) of the string equals t; an empty or null t matches.
  bool bCommencePar(const wchar_t* t) const;
  bool bTerminePar(const wchar_t* t) const;
  // The same ignoring case and accents.
  bool bCommenceParI(const wchar_t* t) const;
  bool bTermineParI(const wchar_t* t) const;
  // The last character is c; false for the empty string.
  bool bTerminePar(wchar_t c) const;

  // First occurrence of t (resp. c) at or after `from`; -1 when empty,
  // absent, or `from` is not within 0..length. An empty t is found at from.
  long nPos(const wchar_t* t, long from = 0) const;
  long nPos(wchar_t c, long from = 0) const;
  // Last occurrence; occurrences may overlap ("aa" in "aaa" is at 1).
  long nRPos(const wchar_t* t) const;
  long nRPos(wchar_t c) const;
  // First occurrence at or after `from`, characters compared after towupper;
  // -1 when empty, absent or length - from - len(t) < 0.
  long nUpPos(const wchar_t* t, long from = 0) const;
  // Index of the first character that is in `set`; -1 when none.
  long nPosParmi(const wchar_t* set) const;
  // Non-overlapping occurrences ("aa" in "aaaa" is 2); 0 for an empty t.
  long nNbOcc(const wchar_t* t) const;

  // Pieces as new strings.
  CTString clGauche(long n) const;            // clMilieu(0, n)
  CTString clDroite(long n) const;            // the last min(n, length)
  CTString clMilieu(long pos, long n) const;  // n from pos, clipped
  CTString clMilieu(long pos) const;          // pos to the end
  // The leading run of characters not in (resp. in) `set`.
  CTString clExclu(const wchar_t* set) const;
  CTString clContientUniquement(const wchar_t* set) const;

  // Value of the digits of clMilieu(start, count) (count -1: to the end) in
  // `base`: '0'..'9' are 0..9, letters 10..35 in either case; reading stops
  // at the first character that is no digit of the base. No sign; the value
  // wraps modulo 2^64 without a check.
  long nVal(int base = 10, int start = 0, int count = -1) const;

  // This followed by text.
  CTString operator+(const wchar_t* text) const;

  // ---- Editing (in place) -----------------------------------------------

  void Add(wchar_t c);
  void Insert(wchar_t c);  // prepends
  // n characters of t; when t[n - 1] is NUL, one fewer. Nothing for a null t
  // or n < 1.
  void Add(const wchar_t* t, int n);
  // The whole text; null or empty: nothing.
  void Add(const wchar_t* t);
  void Add(const CXYString<wchar_t>& t);
  void Add(const CXYString<wchar_t>* t);
  // Up to three texts, each may be null.
  void Add(const wchar_t* a, const wchar_t* b, const wchar_t* c);
  void AddI4(int value);
  void AddI8(long value);
  // Appends the formatted text; the result is as printf's (nothing is
  // appended on -1).
  int AddPrintf(const wchar_t* format, ...);

  // n characters of t (-1: all of t) before index pos; pos at or beyond the
  // length appends. Nothing for a null or empty t, n < -1 or pos < 0.
  void Insert(const wchar_t* t, int n, int pos);

  // The n characters at pos become t (null t: removed). Nothing when the
  // string is empty, pos is not within 0..length or n < 0; n past the end
  // replaces up to the end.
  void Remplace(long pos, long n, const wchar_t* t);
  // Every occurrence of find at or after `from` becomes repl (null: empty),
  // left to right; inserted text is never searched again. Nothing for an
  // empty find, an empty string, or `from` not within 0..length.
  void Remplace(const wchar_t* find, const wchar_t* repl, long from = 0);
  // The same, finding without regard to case.
  void RemplaceI(const wchar_t* find, const wchar_t* repl, long from = 0);
  // The worker of both (ignoreCase non-zero: RemplaceI).
  void __Remplace(const wchar_t* find, const wchar_t* repl, int ignoreCase, long from);
  // Every a at or after `from` becomes b.
  void Remplace(wchar_t a, wchar_t b, long from = 0);

  void Insecable();          // U+0020 -> U+00A0
  void Tronque(long n);      // cut to n when 0 <= n <= length
  void TronqueDebut(long n); // remove the first n when 0 <= n <= length
  // Remove n characters at pos; pos not within 0..length or n < 0: nothing;
  // past the end: cut at pos.
  void Coupe(long pos, long n);
  void SansEspace();         // trailing U+0020 only
  void Trim();               // leading and trailing white space
  void Trim(wchar_t c);
  void RTrim(wchar_t c);
  void LTrim(wchar_t c);
  void Majuscule();
  void Minuscule();
  void SansAccent();
  // Maps the text under STR flags (the result may be longer).
  void MapStringEx(unsigned flags);
  void Renverse();
  // Pads with c or cuts to exactly n characters; nothing for n < 0.
  void Complete(long n, wchar_t c);

  // The string becomes `text` shortened to at most `max` characters with
  // "..." at `where`. A text no longer than max is taken whole; else a max
  // below 3 or an unknown position gives the empty string.
  void Ellipse(const wchar_t* text, unsigned long max, eELLIPSISPOSITION where);

  // Replaces the content with the formatted text. Returns its length, or -1
  // (the former text kept) when the formatting fails: a character that does
  // not convert (EILSEQ), an invalid format, or a text that needs 10,000,000
  // characters or more.
  int printf(const wchar_t* format, ...);
  int FormatV(const wchar_t* format, va_list args);

  // FormatMessage-style formatting of `format` with the call's arguments
  // (FormatMessageW: printf-style; FormatMessageWin: %1 ... inserts). On
  // success the result replaces the content; on failure the string is
  // unchanged. Returns the length given by the formatter (0 on failure).
  unsigned FormatMessageW(const wchar_t* format, ...);
  unsigned FormatMessageWin(const wchar_t* format, ...);

  // ---- Fields (text between separators) ---------------------------------
  // Field 0 starts at the beginning, the last runs to the end; a text
  // without the separator (or a separator of NUL, null or empty) is field 0
  // alone. False when the string is empty or the field does not exist.

  bool bExtraitChainePos(unsigned long i, wchar_t sep, const wchar_t** start,
                         long* len) const;
  // i < 1 is field 0.
  bool bExtraitChainePos(long i, const wchar_t* sep, const wchar_t** start, long* len) const;
  // The same giving the field's index in the string.
  bool bExtraitPosTailleChaine(long i, const wchar_t* sep, int* pos, long* len) const;
  // out = field i; false (out unchanged) when the string is empty or the
  // field does not exist.
  bool bExtraitChaine(unsigned long i, wchar_t sep, CTString* out) const;
  bool bExtraitChaine(long i, const wchar_t* sep, CTString* out) const;
  // Field i replaced by t (an empty last field gets t appended); false when
  // the string is empty or the field does not exist.
  bool bExtraitEtRemplaceChaine(long i, const wchar_t* sep, const wchar_t* t);
  // wcstok rules: runs of delimiters separate tokens, leading ones are
  // skipped. out = token i and true; false (out unchanged) when there are
  // fewer tokens; i < 0 empties out and gives true.
  bool bExtraitChaineTok(long i, const wchar_t* delims, CTString* out) const;
  // Visits each field in order until the visitor answers false; the last
  // field (possibly empty) is visited; an empty string visits nothing.
  void PourTouteChaineSepareePar(const wchar_t* sep, IVisiteurPourTouteChaine* v) const;

  // `text` must not lie in the string's own buffer: the results point into
  // `text`.
  // The string becomes the part of text before its first (last) c; the
  // result points just after that c inside text. Without c: the whole text
  // and null.
  const wchar_t* pszSetDebutPremier(const wchar_t* text, wchar_t c);
  const wchar_t* pszSetDebutDernier(const wchar_t* text, wchar_t c);
  // The string becomes the part after the first (last) c; the result points
  // there. Without c: the whole text and null.
  const wchar_t* pszSetFinPremier(const wchar_t* text, wchar_t c);
  const wchar_t* pszSetFinDernier(const wchar_t* text, wchar_t c);
  // The same four, but without c the string is emptied and the result is
  // text.
  const wchar_t* pszSetDebutPremierExistant(const wchar_t* text, wchar_t c);
  const wchar_t* pszSetDebutDernierExistant(const wchar_t* text, wchar_t c);
  const wchar_t* pszSetFinPremierExistant(const wchar_t* text, wchar_t c);
  const wchar_t* pszSetFinDernierExistant(const wchar_t* text, wchar_t c);

 private:
  // A run of characters: `n` characters from `p` (p may be null when n is 0).
  struct stMorceau {
    const wchar_t* p;
    unsigned long n;
  };
  // Builds a new buffer holding the runs in order, terminates it and adopts
  // it (freeing the old one last, so runs may lie in it); false (unchanged)
  // when the buffer is refused.
  bool __bAssemble(const stMorceau* runs, int count);
  // Replaces the n characters at pos (pos + n within the length `len`) by
  // `count` characters of src, which may lie in the own buffer.
  bool __bRemplaceZone(unsigned long len, unsigned long pos, unsigned long n,
                       const wchar_t* src, unsigned long count);
  // Resizes the buffer to n + 1 characters; false (buffer unchanged) when
  // refused. Content up to min(old, n + 1) is kept; nothing is terminated.
  bool __bResize(unsigned long n);
  // Gives the buffer back its exact size after the text got shorter in
  // place (a refused shrink keeps the larger buffer).
  void __Ajuste();
  // True when p points into the own text of length len (NUL included).
  bool __bInterne(const wchar_t* p, unsigned long len) const;
  // Frees the buffer and adopts `buffer`.
  void __Adopte(wchar_t* buffer);

  wchar_t* m_pszBuffer = nullptr;
};

// A CTString made by formatting `format` with the arguments (printf-style,
// Windows meaning of the conversions); empty when the formatting fails.
CTString CTStringFormat(const wchar_t* format, ...);

// A CTString initialised with DLLRES_dwFormatMessage(format, &buffer,
// arguments): the format formatted printf-style with the arguments; empty
// when that fails.
class CTStringFormatMessage : public CTString {
 public:
  explicit CTStringFormatMessage(const wchar_t* format, ...);
};
