#include "CStringParameter.h"

CStringParameter::CStringParameter(const wchar_t* key) : m_pszKey(key) {}

int CStringParameter::_s_bGetParameterPos(long& keyPos, long& valueStart, long& valueEnd,
                                          CTString* text, const wchar_t* key) {
  keyPos = 0;
  valueStart = -1;
  valueEnd = -1;
  if (text == nullptr || key == nullptr || key[0] == 0) return 0;
  const long len = text->nTaille();
  if (len == 0) return 0;

  // Upper-casing maps character by character, so the copy's indexes are the
  // text's indexes.
  CTString upText(*text);
  upText.Majuscule();
  CTString upKey(key);
  upKey.Majuscule();
  const long keyLen = upKey.nTaille();
  const wchar_t* s = text->pszGet();

  long from = 0;
  for (;;) {
    const long hit = upText.nPos(upKey.pszGet(), from);
    if (hit < 0) return 0;
    long p = hit + keyLen;
    while (p < len && s[p] == L' ') ++p;
    if (p < len && s[p] == L'=') {
      keyPos = hit;
      long q = p + 1;
      while (q < len && s[q] == L' ') ++q;
      valueStart = q;
      long e = q;
      while (e < len && s[e] != L';') ++e;
      valueEnd = e - 1;
      return 1;
    }
    from = hit + 1;
  }
}

int CStringParameter::s_bGetParameterValue(CTString* value, int* found, CTString* text,
                                           const wchar_t* key, int cut) {
  long keyPos = 0;
  long valueStart = -1;
  long valueEnd = -1;
  const int present = _s_bGetParameterPos(keyPos, valueStart, valueEnd, text, key);
  if (found != nullptr) *found = present;
  CTString read;
  if (present) {
    if (valueEnd >= valueStart) {
      read.Set(text->pszGet() + valueStart, static_cast<unsigned long>(valueEnd - valueStart + 1));
      read.SansEspace();
    }
    if (cut) {
      const wchar_t* s = text->pszGet();
      const long len = text->nTaille();
      long start = keyPos;
      while (start > 0 && s[start - 1] == L' ') --start;
      long end = valueEnd + 1;
      while (end < len && (s[end] == L';' || s[end] == L' ')) ++end;
      text->Coupe(start, end - start);

      const wchar_t* rest = text->pszGet();
      long lead = 0;
      while (rest[lead] == L';' || rest[lead] == L' ') ++lead;
      text->TronqueDebut(lead);
    }
  }
  if (value != nullptr) value->Transfert(read);
  return 1;
}

int CStringParameter::s_bParameterDefined(CTString* text, const wchar_t* key) {
  long keyPos = 0;
  long valueStart = -1;
  long valueEnd = -1;
  return _s_bGetParameterPos(keyPos, valueStart, valueEnd, text, key);
}

int CStringParameter::s_bReplaceParameterValue(CTString* text, const wchar_t* value,
                                               const wchar_t* key) {
  if (text == nullptr || key == nullptr || key[0] == 0) return 1;
  long keyPos = 0;
  long valueStart = -1;
  long valueEnd = -1;
  if (_s_bGetParameterPos(keyPos, valueStart, valueEnd, text, key)) {
    // An empty old value (valueEnd < valueStart) replaces nothing: the new
    // value is inserted at valueStart.
    const long oldLength = valueEnd >= valueStart ? valueEnd - valueStart + 1 : 0;
    text->Remplace(valueStart, oldLength, value != nullptr ? value : L"");
    return 1;
  }
  // The value may lie in the text itself: copy it before the text grows.
  const CTString newValue(value);
  if (text->nTaille() > 0) text->Add(L';');
  text->Add(key, L"=", newValue.pszGet());
  return 1;
}

int CStringParameter::bInitParameterValue(CTString* text, int cut, const wchar_t*, int) {
  return s_bGetParameterValue(&m_clValue, &m_bDefined, text, m_pszKey, cut);
}

void CStringParameter::SetParameterValue(const wchar_t* value, long length, const wchar_t*, int) {
  if (value == nullptr) {
    m_clValue.Vide();
    m_bDefined = 0;
    return;
  }
  CTString taken;
  if (length < 0) {
    taken.Set(value);
  } else {
    taken.Set(value, static_cast<unsigned long>(length));
  }
  taken.SansEspace();
  m_clValue.Transfert(taken);
  m_bDefined = 1;
}

void CStringParameter::SetParameterValueRep(const wchar_t* value, long length) {
  SetParameterValue(value, length);
  if (m_clValue.nTaille() > 0 && !m_clValue.bTerminePar(L'\\')) m_clValue.Add(L'\\');
}

int CStringParameter::bCompleteConnectionString(CTString* cs, const wchar_t*, int) const {
  if (cs == nullptr || m_bDefined != 1) return 1;
  if (cs->nTaille() > 0) cs->Add(L';');
  cs->Add(m_pszKey, L"=", m_clValue.pszGet());
  return 1;
}
