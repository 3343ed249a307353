#include "CMoney.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale.h>

#include "NumberText.h"

// The 80-bit words are read into a 128-bit integer, computed on exactly and
// written back only when the result is valid: that gives the exact results
// of word-by-word arithmetic with no partial writes on failure.

namespace {

using i128 = __int128;
using u128 = unsigned __int128;

constexpr u128 kUn = 1;
constexpr i128 kMaxRaw = static_cast<i128>((kUn << 79) - 1);  // largest raw value
constexpr u128 kMasque80 = (kUn << 80) - 1;
constexpr i128 kMillion = 1000000;
// Raw units of one unit of the n-th decimal, n = 0 to 6.
constexpr i128 kUnite[7] = {1000000, 100000, 10000, 1000, 100, 10, 1};
// The largest amount that a 64-bit integer may give: floor((2^79 - 1) / 10^6).
constexpr long kMaxEntier = 604462909807314587L;

// The 80-bit pattern of m.
u128 uMotif(const CMoney* m) {
  u128 u = 0;
  for (int i = 4; i >= 0; --i) u = (u << 16) | m->m_awMot[i];
  return u;
}

// The signed raw value of m (the pattern sign-extended).
i128 nBrut(const CMoney* m) {
  u128 u = uMotif(m);
  if ((u >> 79) & 1) u |= ~kMasque80;
  return static_cast<i128>(u);
}

// Stores the low 80 bits of `value`.
void Ecrire(CMoney* m, u128 value) {
  for (int i = 0; i < 5; ++i) m->m_awMot[i] = static_cast<unsigned short>(value >> (16 * i));
}
void Ecrire(CMoney* m, i128 value) { Ecrire(m, static_cast<u128>(value)); }

bool bValide(i128 raw) { return raw >= -kMaxRaw && raw <= kMaxRaw; }

// Stores `raw` and returns m when it is valid; null (m unchanged) otherwise.
CMoney* pstRange(CMoney* m, i128 raw) {
  if (!bValide(raw)) return nullptr;
  Ecrire(m, raw);
  return m;
}

u128 uMagnitude(i128 raw) { return raw < 0 ? u128{0} - static_cast<u128>(raw) : static_cast<u128>(raw); }

// The magnitude with a sign put back; the caller checks the range.
i128 nSigne(u128 magnitude, bool bNegatif) {
  const i128 n = static_cast<i128>(magnitude);
  return bNegatif ? -n : n;
}

// Decimal text of a raw value; `out` holds MONETAIRE_TAILLE_CHAINE
// characters.
template <typename Char>
Char* pEcrireDecimal(i128 raw, Char* out) {
  u128 mag = uMagnitude(raw);
  Char acWork[40];  // digits written from the right
  int n = 0;
  int nDecimales = 0;
  bool bSignificatif = false;  // a non-zero decimal has been written
  for (; nDecimales < 6; ++nDecimales) {
    const int nChiffre = static_cast<int>(mag % 10);
    mag /= 10;
    if (nChiffre != 0) bSignificatif = true;
    if (bSignificatif) acWork[n++] = static_cast<Char>('0' + nChiffre);
  }
  if (n != 0) acWork[n++] = '.';
  do {
    acWork[n++] = static_cast<Char>('0' + static_cast<int>(mag % 10));
    mag /= 10;
  } while (mag != 0);
  Char* p = out;
  if (raw < 0) *p++ = '-';
  while (n > 0) *p++ = acWork[--n];
  *p = 0;
  return out;
}

// Digits of the low `bits` bits of `value` in radix 2^shift, most
// significant first, leading zeros removed, at least one digit.
wchar_t* pEcrirePuissance2(u128 value, int bits, int shift, wchar_t* out) {
  static const wchar_t kChiffres[] = L"0123456789ABCDEF";
  const u128 masque = (kUn << shift) - 1;
  int nTop = (bits + shift - 1) / shift - 1;  // index of the top digit
  while (nTop > 0 && ((value >> (nTop * shift)) & masque) == 0) --nTop;
  wchar_t* p = out;
  for (int i = nTop; i >= 0; --i) *p++ = kChiffres[static_cast<int>((value >> (i * shift)) & masque)];
  *p = 0;
  return out;
}

locale_t ClocaleC() {
  static const locale_t s_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return s_locale;
}

// Integer part of the amount, truncated toward zero.
i128 nPartieEntiere(const CMoney* m) { return nBrut(m) / kMillion; }

// |raw| cut to n decimals, toward zero; *pbCoupe tells whether non-zero
// digits were cut.
u128 uCoupe(u128 mag, int n, bool* pbCoupe) {
  const u128 unite = static_cast<u128>(kUnite[n]);
  *pbCoupe = mag % unite != 0;
  return mag - mag % unite;
}

// Directed rounding: away from zero when the value's sign is `bVersNegatif`.
CMoney* pstArrondiDirige(CMoney* m, short n, bool bVersNegatif) {
  if (n < 0 || n > 5) return m;
  const i128 raw = nBrut(m);
  const bool bNegatif = raw < 0;
  bool bCoupe = false;
  u128 mag = uCoupe(uMagnitude(raw), n, &bCoupe);
  if (bCoupe && bNegatif == bVersNegatif) mag += static_cast<u128>(kUnite[n]);
  if (mag > static_cast<u128>(kMaxRaw)) return nullptr;
  return pstRange(m, nSigne(mag, bNegatif));
}

}  // namespace

const CMoney gstMillion = {{0x4240, 0x000F, 0, 0, 0}};
const CMoney gstMoinsMillion = {{0xBDC0, 0xFFF0, 0xFFFF, 0xFFFF, 0xFFFF}};
const CMoney gstVersLong = {{0, 1, 0, 0, 0}};

// ---- Text -------------------------------------------------------------------

CMoney* pstChaineVersMonetaire(CMoney* m, const wchar_t* text) {
  const wchar_t* p = text != nullptr ? text : L"";
  while (*p == L' ') ++p;
  bool bNegatif = false;
  if (*p == L'-' || *p == 0xFF0D) {
    bNegatif = true;
    ++p;
  } else if (*p == L'+' || *p == 0xFF0B) {
    ++p;
  }
  u128 raw = 0;
  bool bDecimales = false;
  int nDecimales = 0;
  for (;; ++p) {
    const wchar_t c = *p;
    if (c >= L'0' && c <= L'9') {
      if (bDecimales) {
        if (nDecimales == 6) continue;  // beyond the sixth decimal: cut
        ++nDecimales;
      }
      raw = raw * 10 + static_cast<u128>(c - L'0');
      if (raw > static_cast<u128>(kMaxRaw)) return nullptr;
    } else if (c == L'.' && !bDecimales) {
      bDecimales = true;
    } else {
      break;
    }
  }
  for (; nDecimales < 6; ++nDecimales) raw *= 10;
  if (raw > static_cast<u128>(kMaxRaw)) return nullptr;
  Ecrire(m, nSigne(raw, bNegatif));
  return m;
}

CMoney* pstChaineHexaVersMonetaire(CMoney* m, wchar_t* text) {
  u128 motif = 0;
  if (text != nullptr) {
    wchar_t* p = text;
    while (*p == L' ') ++p;
    my_struprW(p);
    for (int n = 0; n < 20; ++n, ++p) {
      const wchar_t c = *p;
      int nChiffre;
      if (c >= L'0' && c <= L'9') {
        nChiffre = c - L'0';
      } else if (c >= L'A' && c <= L'F') {
        nChiffre = c - L'A' + 10;
      } else {
        break;
      }
      motif = (motif << 4) | static_cast<u128>(nChiffre);
    }
  }
  Ecrire(m, motif);
  return m;
}

wchar_t* pszMonetaireVersChaineC(const CMoney* m, wchar_t* buffer) { return pEcrireDecimal(nBrut(m), buffer); }

wchar_t* pszMonetaireVersChaineHexa(const CMoney* m, wchar_t* buffer) {
  return pEcrirePuissance2(uMotif(m), 80, 4, buffer);
}

wchar_t* pszMonetaireVersChaineOctale(const CMoney* m, wchar_t* buffer) {
  u128 motif = uMotif(m);
  if ((motif >> 79) & 1) motif |= kUn << 80;  // the sign bit repeated as bit 80
  return pEcrirePuissance2(motif, 81, 3, buffer);
}

void MonetaireVersCleXQ(void* key, const CMoney* m) {
  const u128 motif = uMotif(m);
  auto* pKey = static_cast<unsigned char*>(key);
  for (int i = 0; i < 10; ++i) pKey[i] = static_cast<unsigned char>(motif >> (8 * (9 - i)));
  pKey[0] ^= 0x80;
}

// ---- Numbers in and out -----------------------------------------------------

CMoney* pstDoubleVersMonetaire(CMoney* m, double d) {
  // Also refuses NaN; 1e18 lies above the whole range, so nothing valid is
  // lost.
  if (!(std::fabs(d) < 1e18)) return nullptr;
  // |d| = mantissa x 2^exponent exactly, then raw = that x 10^6 rounded to
  // nearest, ties to even, as "%.6f" rounds.
  int nExposant = 0;
  const double dFraction = std::frexp(std::fabs(d), &nExposant);
  const auto uMantisse = static_cast<std::uint64_t>(std::ldexp(dFraction, 53));
  const int nDecalage = nExposant - 53;
  const u128 produit = static_cast<u128>(uMantisse) * static_cast<u128>(kMillion);  // < 2^73
  u128 raw;
  if (nDecalage >= 0) {
    raw = produit << nDecalage;  // |d| < 2^60 keeps this below 2^80
  } else if (nDecalage <= -100) {
    raw = 0;  // below half a raw unit
  } else {
    const int s = -nDecalage;
    raw = produit >> s;
    const u128 reste = produit & ((kUn << s) - 1);
    const u128 moitie = kUn << (s - 1);
    if (reste > moitie || (reste == moitie && (raw & 1) != 0)) ++raw;
  }
  if (raw > static_cast<u128>(kMaxRaw)) return nullptr;
  Ecrire(m, nSigne(raw, std::signbit(d)));
  return m;
}

double dMonetaireVersDouble(const CMoney* m) {
  char acTexte[MONETAIRE_TAILLE_CHAINE];
  pEcrireDecimal(nBrut(m), acTexte);
  const locale_t c = ClocaleC();
  return c != static_cast<locale_t>(nullptr) ? strtod_l(acTexte, nullptr, c) : std::strtod(acTexte, nullptr);
}

CMoney* pstInt32VersMonetaire(CMoney* m, int value) {
  Ecrire(m, static_cast<i128>(value) * kMillion);
  return m;
}

CMoney* pstTresLongVersMonetaire(CMoney* m, long value) {
  if (value > kMaxEntier || value < -kMaxEntier) return nullptr;
  Ecrire(m, static_cast<i128>(value) * kMillion);
  return m;
}

CMoney* pstTresLongSansSigneVersMonetaire(CMoney* m, unsigned long value) {
  if (value > static_cast<unsigned long>(kMaxEntier)) return nullptr;
  Ecrire(m, static_cast<i128>(value) * kMillion);
  return m;
}

int lMonetaireVersInt32(const CMoney* m) {
  return static_cast<int>(static_cast<std::uint32_t>(static_cast<u128>(nPartieEntiere(m))));
}

unsigned long lMonetaireVersTresLongSansSigne(const CMoney* m) {
  return static_cast<unsigned long>(static_cast<u128>(nPartieEntiere(m)));
}

bool bMonetaireVersInt32(const CMoney* m, int* out) {
  const i128 n = nPartieEntiere(m);
  if (n < INT32_MIN || n > INT32_MAX) return false;
  *out = static_cast<int>(n);
  return true;
}

bool bMonetaireVersTresLong(const CMoney* m, long* out) {
  *out = static_cast<long>(nPartieEntiere(m));  // |integer part| < 2^60
  return true;
}

bool bMonetaireVersTresLongSansSigne(const CMoney* m, unsigned long* out) {
  *out = lMonetaireVersTresLongSansSigne(m);
  return true;
}

// ---- Arithmetic -------------------------------------------------------------

CMoney* pstAddMonetaire(CMoney* m, const CMoney* other) { return pstRange(m, nBrut(m) + nBrut(other)); }

CMoney* pstSubMonetaire(CMoney* m, const CMoney* other) { return pstRange(m, nBrut(m) - nBrut(other)); }

CMoney* pstMulMonetaire(CMoney* m, const CMoney* other) {
  const i128 a = nBrut(m);
  const i128 b = nBrut(other);
  const u128 ua = uMagnitude(a);
  const u128 ub = uMagnitude(b);
  // The magnitudes (at most 2^79) split into 64-bit halves; a product of
  // 2^128 or more is far beyond the range.
  const u128 a0 = static_cast<std::uint64_t>(ua), a1 = ua >> 64;
  const u128 b0 = static_cast<std::uint64_t>(ub), b1 = ub >> 64;
  if (a1 != 0 && b1 != 0) return nullptr;
  const u128 milieu = a0 * b1 + a1 * b0;  // < 2^81
  if ((milieu >> 64) != 0) return nullptr;
  const u128 bas = a0 * b0;
  const u128 produit = bas + (milieu << 64);
  if (produit < bas) return nullptr;
  const u128 q = produit / static_cast<u128>(kMillion);
  if (q > static_cast<u128>(kMaxRaw)) return nullptr;
  return pstRange(m, nSigne(q, (a < 0) != (b < 0)));
}

CMoney* pstDivMonetaire(CMoney* m, const CMoney* other) {
  const i128 a = nBrut(m);
  const i128 b = nBrut(other);
  if (b == 0) return nullptr;
  const u128 q = uMagnitude(a) * static_cast<u128>(kMillion) / uMagnitude(b);  // dividend < 2^100
  if (q > static_cast<u128>(kMaxRaw)) return nullptr;
  return pstRange(m, nSigne(q, (a < 0) != (b < 0)));
}

bool bIncrementeMonetaire(CMoney* m) { return pstRange(m, nBrut(m) + kMillion) != nullptr; }

bool bDecrementeMonetaire(CMoney* m) { return pstRange(m, nBrut(m) - kMillion) != nullptr; }

void NegMonetaire(CMoney* m) { Ecrire(m, u128{0} - uMotif(m)); }

CMoney* pstAbsMonetaire(CMoney* m) {
  const i128 raw = nBrut(m);
  return raw < 0 ? pstRange(m, -raw) : m;
}

bool bMul10Monetaire(CMoney* m) { return pstRange(m, nBrut(m) * 10) != nullptr; }

bool bMulMonetaireWord(CMoney* m, unsigned short w, wchar_t digit) {
  const i128 raw = nBrut(m);
  const i128 mag = static_cast<i128>(uMagnitude(raw)) * w + (static_cast<i128>(digit) - L'0');
  if (mag < 0 || mag > kMaxRaw) return false;
  Ecrire(m, raw < 0 ? -mag : mag);
  return true;
}

// ---- Comparison -------------------------------------------------------------

namespace {
int nCompare(i128 a, i128 b) { return a < b ? -1 : (a > b ? 1 : 0); }
}  // namespace

int nCmpMonetaire(const CMoney* a, const CMoney* b) {
  if (a == nullptr) return 1;
  if (b == nullptr) return -1;
  return nCompare(nBrut(a), nBrut(b));
}

int nCmpMonetaireEtInt32(const CMoney* m, int value) {
  if (m == nullptr) return 1;
  return nCompare(nBrut(m), static_cast<i128>(value) * kMillion);
}

bool bMonetaireZero(const CMoney* m) { return uMotif(m) == 0; }

void SetMonetaireToMin(CMoney* m) { Ecrire(m, kUn << 79); }

void SetMonetaireToMax(CMoney* m) { Ecrire(m, kMaxRaw); }

// ---- Integer part, decimals and rounding ------------------------------------

CMoney* pstEntMonetaire(CMoney* m) {
  const i128 raw = nBrut(m);
  i128 q = raw / kMillion;
  if (raw % kMillion < 0) --q;
  return pstRange(m, q * kMillion);
}

CMoney* pstDecMonetaire(CMoney* m) {
  Ecrire(m, static_cast<i128>(uMagnitude(nBrut(m)) % static_cast<u128>(kMillion)));
  return m;
}

CMoney* pstArrMonetaire(CMoney* m, short n) {
  if (n < 0 || n > 5) return m;
  const i128 raw = nBrut(m);
  bool bCoupe = false;
  const u128 mag = uCoupe(uMagnitude(raw) + static_cast<u128>(kUnite[n + 1] * 5), n, &bCoupe);
  if (mag > static_cast<u128>(kMaxRaw)) return nullptr;
  return pstRange(m, nSigne(mag, raw < 0));
}

CMoney* pstArrMonetaireInf(CMoney* m, short n) { return pstArrondiDirige(m, n, true); }

CMoney* pstArrMonetaireSup(CMoney* m, short n) { return pstArrondiDirige(m, n, false); }
