// CTString: fields between separators, tokens, and the splits at a
// character (pszSet*).
#include <cwchar>

#include "CTString.h"

namespace {

// Start of field i of `text` for a one-character separator; null when there
// are fewer fields. *end receives the field's end.
const wchar_t* ChampCaractere(const wchar_t* text, unsigned long i, wchar_t sep,
                              const wchar_t** end) {
  const wchar_t* p = text;
  for (unsigned long k = 0; k < i; ++k) {
    const wchar_t* next = sep != 0 ? std::wcschr(p, sep) : nullptr;
    if (next == nullptr) return nullptr;
    p = next + 1;
  }
  const wchar_t* next = sep != 0 ? std::wcschr(p, sep) : nullptr;
  *end = next != nullptr ? next : p + std::wcslen(p);
  return p;
}

// The same for a separator text (null or empty: no separator).
const wchar_t* ChampTexte(const wchar_t* text, long i, const wchar_t* sep, const wchar_t** end) {
  const std::size_t ls = sep != nullptr ? std::wcslen(sep) : 0;
  const wchar_t* p = text;
  for (long k = 0; k < i; ++k) {
    const wchar_t* next = ls != 0 ? std::wcsstr(p, sep) : nullptr;
    if (next == nullptr) return nullptr;
    p = next + ls;
  }
  const wchar_t* next = ls != 0 ? std::wcsstr(p, sep) : nullptr;
  *end = next != nullptr ? next : p + std::wcslen(p);
  return p;
}

}  // namespace

bool CTString::bExtraitChainePos(unsigned long i, wchar_t sep, const wchar_t** start,
                                 long* len) const {
  if (m_pszBuffer == nullptr || *m_pszBuffer == 0) return false;
  const wchar_t* end = nullptr;
  const wchar_t* field = ChampCaractere(m_pszBuffer, i, sep, &end);
  if (field == nullptr) return false;
  if (start != nullptr) *start = field;
  if (len != nullptr) *len = static_cast<long>(end - field);
  return true;
}

bool CTString::bExtraitChainePos(long i, const wchar_t* sep, const wchar_t** start,
                                 long* len) const {
  if (m_pszBuffer == nullptr || *m_pszBuffer == 0) return false;
  const wchar_t* end = nullptr;
  const wchar_t* field = ChampTexte(m_pszBuffer, i < 1 ? 0 : i, sep, &end);
  if (field == nullptr) return false;
  if (start != nullptr) *start = field;
  if (len != nullptr) *len = static_cast<long>(end - field);
  return true;
}

bool CTString::bExtraitPosTailleChaine(long i, const wchar_t* sep, int* pos, long* len) const {
  const wchar_t* start = nullptr;
  if (!bExtraitChainePos(i, sep, &start, len)) return false;
  if (pos != nullptr) *pos = static_cast<int>(start - m_pszBuffer);
  return true;
}

bool CTString::bExtraitChaine(unsigned long i, wchar_t sep, CTString* out) const {
  const wchar_t* start = nullptr;
  long len = 0;
  if (out == nullptr || !bExtraitChainePos(i, sep, &start, &len)) return false;
  out->Set(start, static_cast<unsigned long>(len));  // out may be this string
  return true;
}

bool CTString::bExtraitChaine(long i, const wchar_t* sep, CTString* out) const {
  const wchar_t* start = nullptr;
  long len = 0;
  if (out == nullptr || !bExtraitChainePos(i, sep, &start, &len)) return false;
  out->Set(start, static_cast<unsigned long>(len));
  return true;
}

bool CTString::bExtraitEtRemplaceChaine(long i, const wchar_t* sep, const wchar_t* t) {
  const wchar_t* start = nullptr;
  long len = 0;
  if (!bExtraitChainePos(i, sep, &start, &len)) return false;
  const long pos = static_cast<long>(start - m_pszBuffer);
  if (*start == 0) {
    Add(t);  // an empty last field
  } else {
    Remplace(pos, len, t);
  }
  return true;
}

bool CTString::bExtraitChaineTok(long i, const wchar_t* delims, CTString* out) const {
  if (out == nullptr) return false;
  if (i < 0) {
    out->Vide();
    return true;
  }
  if (m_pszBuffer == nullptr) return false;
  const wchar_t* set = delims != nullptr ? delims : L"";
  const wchar_t* p = m_pszBuffer;
  for (long k = 0;; ++k) {
    p += std::wcsspn(p, set);  // leading delimiters never start a token
    if (*p == 0) return false;
    const std::size_t n = std::wcscspn(p, set);
    if (k == i) {
      out->Set(p, n);
      return true;
    }
    p += n;
  }
}

void CTString::PourTouteChaineSepareePar(const wchar_t* sep, IVisiteurPourTouteChaine* v) const {
  if (v == nullptr || m_pszBuffer == nullptr || *m_pszBuffer == 0) return;
  const std::size_t ls = sep != nullptr ? std::wcslen(sep) : 0;
  const wchar_t* p = m_pszBuffer;
  for (long k = 0;; ++k) {
    const wchar_t* next = ls != 0 ? std::wcsstr(p, sep) : nullptr;
    if (next == nullptr) {
      v->bVisite(k, p, static_cast<long>(std::wcslen(p)));
      return;
    }
    if (!v->bVisite(k, p, static_cast<long>(next - p))) return;
    p = next + ls;
  }
}

namespace {

const wchar_t* Premier(const wchar_t* text, wchar_t c) {
  return c != 0 ? std::wcschr(text, c) : nullptr;
}

const wchar_t* Dernier(const wchar_t* text, wchar_t c) {
  return c != 0 ? std::wcsrchr(text, c) : nullptr;
}

}  // namespace

const wchar_t* CTString::pszSetDebutPremier(const wchar_t* text, wchar_t c) {
  const wchar_t* hit = text != nullptr ? Premier(text, c) : nullptr;
  if (hit == nullptr) {
    Set(text);
    return nullptr;
  }
  Set(text, static_cast<unsigned long>(hit - text));
  return hit + 1;
}

const wchar_t* CTString::pszSetDebutDernier(const wchar_t* text, wchar_t c) {
  const wchar_t* hit = text != nullptr ? Dernier(text, c) : nullptr;
  if (hit == nullptr) {
    Set(text);
    return nullptr;
  }
  Set(text, static_cast<unsigned long>(hit - text));
  return hit + 1;
}

const wchar_t* CTString::pszSetFinPremier(const wchar_t* text, wchar_t c) {
  const wchar_t* hit = text != nullptr ? Premier(text, c) : nullptr;
  if (hit == nullptr) {
    Set(text);
    return nullptr;
  }
  Set(hit + 1);
  return hit + 1;
}

const wchar_t* CTString::pszSetFinDernier(const wchar_t* text, wchar_t c) {
  const wchar_t* hit = text != nullptr ? Dernier(text, c) : nullptr;
  if (hit == nullptr) {
    Set(text);
    return nullptr;
  }
  Set(hit + 1);
  return hit + 1;
}

const wchar_t* CTString::pszSetDebutPremierExistant(const wchar_t* text, wchar_t c) {
  const wchar_t* hit = text != nullptr ? Premier(text, c) : nullptr;
  if (hit == nullptr) {
    Vide();
    return text;
  }
  Set(text, static_cast<unsigned long>(hit - text));
  return hit + 1;
}

const wchar_t* CTString::pszSetDebutDernierExistant(const wchar_t* text, wchar_t c) {
  const wchar_t* hit = text != nullptr ? Dernier(text, c) : nullptr;
  if (hit == nullptr) {
    Vide();
    return text;
  }
  Set(text, static_cast<unsigned long>(hit - text));
  return hit + 1;
}

const wchar_t* CTString::pszSetFinPremierExistant(const wchar_t* text, wchar_t c) {
  const wchar_t* hit = text != nullptr ? Premier(text, c) : nullptr;
  if (hit == nullptr) {
    Vide();
    return text;
  }
  Set(hit + 1);
  return hit + 1;
}

const wchar_t* CTString::pszSetFinDernierExistant(const wchar_t* text, wchar_t c) {
  const wchar_t* hit = text != nullptr ? Dernier(text, c) : nullptr;
  if (hit == nullptr) {
    Vide();
    return text;
  }
  Set(hit + 1);
  return hit + 1;
}
