#include "CDureeBase.h"

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <string>

#include "CDateTimeBase.h"
#include "StrFunctions.h"

namespace {

constexpr std::uint64_t kMsJour = 86400000;
constexpr std::uint64_t kMsHeure = 3600000;
constexpr std::uint64_t kMsMinute = 60000;
constexpr std::uint64_t kMsSeconde = 1000;

constexpr wchar_t kPlusLarge = 0xFF0B;
constexpr wchar_t kMoinsLarge = 0xFF0D;

constexpr int kDepassement = 115;
constexpr int kTropCourt = 112;

template <typename T>
void CopieAscii(T* dst, const char* src, int n) {
  for (int i = 0; i < n; ++i) dst[i] = static_cast<T>(static_cast<unsigned char>(src[i]));
  dst[n] = 0;
}

}  // namespace

int CDureeBase::nCompare(const CDureeBase& a, const CDureeBase& b) {
  return a.m_llDuree < b.m_llDuree ? -1 : (a.m_llDuree > b.m_llDuree ? 1 : 0);
}

int CDureeBase::nFormate(char* out, bool bCentieme) const {
  const bool negatif = m_llDuree < 0;
  // The magnitude as unsigned, so that INT64_MIN has one too.
  const std::uint64_t magnitude =
      negatif ? 0 - static_cast<std::uint64_t>(m_llDuree) : static_cast<std::uint64_t>(m_llDuree);
  const char* signe = negatif ? "-" : "";
  if (bCentieme) {
    // Rounded to 10 ms as a whole, so that 995 ms and more carry into the
    // seconds instead of printing a three-digit last field.
    const std::uint64_t c = magnitude / 10 + (magnitude % 10 >= 5 ? 1 : 0);
    const std::uint64_t reste = c % (kMsJour / 10);
    return std::snprintf(out, kMaxTexte + 1, "%s%llu%02u%02u%02u%02u", signe,
                         static_cast<unsigned long long>(c / (kMsJour / 10)),
                         static_cast<unsigned>(reste / (kMsHeure / 10)),
                         static_cast<unsigned>(reste % (kMsHeure / 10) / (kMsMinute / 10)),
                         static_cast<unsigned>(reste % (kMsMinute / 10) / (kMsSeconde / 10)),
                         static_cast<unsigned>(reste % (kMsSeconde / 10)));
  }
  const std::uint64_t reste = magnitude % kMsJour;
  return std::snprintf(out, kMaxTexte + 1, "%s%llu%02u%02u%02u%03u", signe,
                       static_cast<unsigned long long>(magnitude / kMsJour),
                       static_cast<unsigned>(reste / kMsHeure),
                       static_cast<unsigned>(reste % kMsHeure / kMsMinute),
                       static_cast<unsigned>(reste % kMsMinute / kMsSeconde),
                       static_cast<unsigned>(reste % kMsSeconde));
}

int CDureeBase::nLit(const wchar_t* text, int nDigits, int nFraction, int nScale) {
  if (text == nullptr) return kTropCourt;
  bool negatif = false;
  if (*text == L'+' || *text == kPlusLarge) {
    ++text;
  } else if (*text == L'-' || *text == kMoinsLarge) {
    negatif = true;
    ++text;
  }
  const std::size_t longueur = std::wcslen(text);
  if (longueur < static_cast<std::size_t>(nDigits) + 1) return kTropCourt;

  const std::size_t nJours = longueur - static_cast<std::size_t>(nDigits);
  const std::wstring champJours(text, nJours);
  errno = 0;
  const long long jours = std::wcstoll(champJours.c_str(), nullptr, 10);
  if (errno == ERANGE) return kDepassement;

  const wchar_t* suite = text + nJours;
  const long long heures = CDateTimeBase::nGetPropDateTime(suite, 0, 2, false);
  const long long minutes = CDateTimeBase::nGetPropDateTime(suite, 2, 2, false);
  const long long secondes = CDateTimeBase::nGetPropDateTime(suite, 4, 2, false);
  const long long fraction = CDateTimeBase::nGetPropDateTime(suite, 6, nFraction, false);

  // Wide enough for any days count times a day, so the range is checked
  // once at the end.
  __int128 total = static_cast<__int128>(jours) * static_cast<__int128>(kMsJour) +
                   static_cast<__int128>(heures) * kMsHeure +
                   minutes * static_cast<__int128>(kMsMinute) +
                   secondes * static_cast<__int128>(kMsSeconde) + fraction * nScale;
  if (negatif) total = -total;
  if (total < INT64_MIN || total > INT64_MAX) return kDepassement;
  m_llDuree = static_cast<std::int64_t>(total);
  return 0;
}

int CDureeBase::nDepuisChaine(const wchar_t* text) { return nLit(text, 9, 3, 1); }

int CDureeBase::nDepuisChaineCentieme(const wchar_t* text) { return nLit(text, 8, 2, 10); }

int CDureeBase::nVersChaine(CXYString<wchar_t>* out) const {
  if (out == nullptr) return 0;
  char texte[kMaxTexte + 1];
  const int n = nFormate(texte, false);
  wchar_t large[kMaxTexte + 1];
  CopieAscii(large, texte, n);
  return out->nAffecte(large, n);
}

int CDureeBase::nVersChaineCentieme(CXYString<wchar_t>* out) const {
  if (out == nullptr) return 0;
  char texte[kMaxTexte + 1];
  const int n = nFormate(texte, true);
  wchar_t large[kMaxTexte + 1];
  CopieAscii(large, texte, n);
  return out->nAffecte(large, n);
}

wchar_t* CDureeBase::pszCreeChaine() const {
  char texte[kMaxTexte + 1];
  const int n = nFormate(texte, false);
  wchar_t large[kMaxTexte + 1];
  CopieAscii(large, texte, n);
  return STR_pszCreate(static_cast<const wchar_t*>(large));
}

int CDureeBase::nVersBinaire(CTNBIN* out, unsigned int /*nOption*/) const {
  if (out == nullptr) return 0;
  char texte[kMaxTexte + 1];
  const int n = nFormate(texte, false);
  return out->nAssign(texte, n);
}

int CDureeBase::nDepuisBinaire(const CTNBIN* in, unsigned int /*nOption*/) {
  wchar_t texte[25];
  long n = 0;
  if (in != nullptr && in->pGetData() != nullptr) {
    n = in->nGetTailleUtile();
    if (n > 24) n = 24;
    for (long i = 0; i < n; ++i) texte[i] = in->pGetData()[i];
  }
  texte[n] = 0;
  return nDepuisChaine(texte);
}
