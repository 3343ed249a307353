// CNARecherche: the values of a composite key's components, split from the
// key's buffer or read from the record.
//
// The buffer holds the components one after the other in key order, each at
// its key width (CNAColumn::s_nComponentKeyWidth), in the record's native
// form: 8-bit text (dates and times included) as its characters, wide text
// as UTF-16 units, a binary string as its 16-bit length then its bytes,
// every other type as its native bytes. Each component is read by the
// record's own decoder (CNAXQRecord::s_bDecodeValue) over the bytes the
// buffer holds for it, never more.
#include "CNARecherche.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "CNAColumn.h"
#include "CNAXQRecord.h"
#include "INAItemDescription.h"
#include "ItemTypes.h"

namespace {

// How a component reads when the buffer only partly holds it.
enum class eComponentKind { Ansi, Wide, Binary, Other };

eComponentKind KindOf(eNA_ITEMTYPE eType) {
  switch (eType) {
    case NA_IT_TEXTE:
    case NA_IT_DATE6:
    case NA_IT_HEURE:
    case NA_IT_DATE8:
      return eComponentKind::Ansi;
    case NA_IT_UNICODE:
      return eComponentKind::Wide;
    case NA_IT_BINAIRE:
      return eComponentKind::Binary;
    default:
      return eComponentKind::Other;
  }
}

// The key's bytes: a binary value's bytes, an 8-bit text's characters.
// False for any other type (a wide text is no key buffer) or an unreadable
// value.
bool KeyBytes(const CAny* key, const unsigned char** p, std::size_t* n) {
  if (key == nullptr || key->bIsNull()) return false;
  void* pv = nullptr;
  std::size_t nBytes = 0;
  switch (key->nGetTypeCode()) {
    case ANY_BIN:
      if (key->nGetDataSize(&nBytes) > 99) return false;
      break;
    case ANY_DSTRA:
    case ANY_PSTRA:
      // The data size of a text counts its terminator; its length does not.
      if (key->nGetSTRLEN(&nBytes) > 99) return false;
      break;
    default:
      return false;
  }
  if (key->nGetDataAdr(&pv) > 99) return false;
  *p = static_cast<const unsigned char*>(pv);
  *n = *p != nullptr ? nBytes : 0;
  return true;
}

std::uint16_t Unit(const unsigned char* p) {
  std::uint16_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// The record's reading of `n` bytes at `p` as one element of the item.
bool Decode(CAny* out, const unsigned char* p, std::uint32_t n, const INAItemDescription* pi) {
  const int nScale = pi->nGetDecimalPart();
  return CNAXQRecord::s_bDecodeValue(out, p, n, pi->eNAGetItemType(), pi->nGetIntegerPart() + nScale, nScale);
}

// A remainder that is the platform's open-end marker: one byte 0 (lowest)
// or 0xFF (highest), or for wide text one unit 0 or 0xFFFF. 1 lowest, 2
// highest, 0 none.
int MarkerOf(const unsigned char* p, std::uint32_t n, eComponentKind eKind) {
  if (n == 1) return p[0] == 0 ? 1 : p[0] == 0xFF ? 2 : 0;
  if (eKind == eComponentKind::Wide && n == 2) {
    const std::uint16_t w = Unit(p);
    return w == 0 ? 1 : w == 0xFFFF ? 2 : 0;
  }
  return 0;
}

// The lowest or highest value of the component's type. Texts are the empty
// text and the text of the highest character (what the marker wrote), which
// the type bounds leave as they are; other types start from a zero element
// of the item.
bool MarkerValue(CAny* out, const INAItemDescription* pi, eComponentKind eKind, std::uint32_t nWidth,
                 int nMarker) {
  std::vector<unsigned char> tabScratch(nWidth > 2 ? nWidth : 2, 0);
  if (nMarker == 2 && eKind == eComponentKind::Ansi) tabScratch[0] = 0xFF;
  if (nMarker == 2 && eKind == eComponentKind::Wide) tabScratch[0] = tabScratch[1] = 0xFF;
  if (!Decode(out, tabScratch.data(), nWidth, pi)) {
    // A zero element that is no value of its type (a decimal): the type
    // alone, for the bounds to set.
    const unsigned short wType = ConverteItemToTNType(pi->eNAGetItemType(), 0);
    if (wType == 0) return false;
    *out = CAny();
    out->__SetType(wType, 0);
  }
  if (nMarker == 1)
    CNARecherche::s_SetAnyToMin(out);
  else
    CNARecherche::s_SetAnyToMax(out);
  return true;
}

// The bytes of a partly held text to read: 8-bit text all of them; wide
// text its whole units, a last high surrogate whose low half is missing
// dropped. `*pbWhole` tells whether the text's terminator lies within them
// (the value is then complete).
std::uint32_t HeldTextBytes(const unsigned char* p, std::uint32_t n, eComponentKind eKind, bool* pbWhole) {
  if (eKind == eComponentKind::Ansi) {
    *pbWhole = std::memchr(p, 0, n) != nullptr;
    return n;
  }
  const std::uint32_t nUnits = n / 2;
  for (std::uint32_t i = 0; i < nUnits; ++i) {
    if (Unit(p + 2 * i) == 0) {
      *pbWhole = true;
      return 2 * i;
    }
  }
  *pbWhole = false;
  std::uint32_t nKept = nUnits;
  if (nKept > 0) {
    const std::uint16_t w = Unit(p + 2 * (nKept - 1));
    if (w >= 0xD800 && w <= 0xDBFF) --nKept;
  }
  return 2 * nKept;
}

}  // namespace

// A component the buffer holds whole is read at its width. One it holds in
// part (the buffer ends within it):
//   - with `partial`, a marker remainder gives the type's bound and sets
//     its flag; a text gives the prefix held; a binary string whose bytes
//     are all held is whole; any other component ends the list;
//   - without, only a text whose terminator is held, or a binary string
//     whose bytes are all held, is whole and kept; else the list ends.
// The output flags are cleared first. False without components or values,
// for a key that holds no bytes, for a component without its column, or
// when a value cannot be made.
int CNARecherche::_GetComponentValue(const CRefArray<CNAColumn>* components, const CAny* key, int partial,
                                     std::vector<CAny>* values, int* minMarker, int* maxMarker) {
  if (minMarker != nullptr) *minMarker = 0;
  if (maxMarker != nullptr) *maxMarker = 0;
  if (components == nullptr || values == nullptr || components->nGetNbElements() == 0) return 0;
  const unsigned char* pbyKey = nullptr;
  std::size_t nKey = 0;
  if (!KeyBytes(key, &pbyKey, &nKey) || nKey == 0) return 0;

  std::size_t nPos = 0;
  for (int i = 0; i < components->nGetNbElements() && nPos < nKey; ++i) {
    const CNAColumn* pclComponent = (*components)[i];
    const INAItemDescription* pi = pclComponent != nullptr ? pclComponent->piGetItemDescription() : nullptr;
    if (pi == nullptr) return 0;
    const std::uint32_t nWidth = CNAColumn::s_nComponentKeyWidth(pi);
    const unsigned char* p = pbyKey + nPos;
    const std::size_t nLeft = nKey - nPos;
    CAny clValue;
    if (nLeft >= nWidth) {
      if (!Decode(&clValue, p, nWidth, pi)) return 0;
      values->push_back(clValue);
      nPos += nWidth;
      continue;
    }

    // The buffer ends within this component: nothing follows it.
    const std::uint32_t nHeld = static_cast<std::uint32_t>(nLeft);
    const eComponentKind eKind = KindOf(pi->eNAGetItemType());
    const int nMarker = partial ? MarkerOf(p, nHeld, eKind) : 0;
    if (nMarker != 0) {
      if (!MarkerValue(&clValue, pi, eKind, nWidth, nMarker)) return 0;
      values->push_back(clValue);
      int* pnFlag = nMarker == 1 ? minMarker : maxMarker;
      if (pnFlag != nullptr) *pnFlag = 1;
      break;
    }
    if (eKind == eComponentKind::Ansi || eKind == eComponentKind::Wide) {
      bool bWhole = false;
      const std::uint32_t nRead = HeldTextBytes(p, nHeld, eKind, &bWhole);
      if (partial || bWhole) {
        if (!Decode(&clValue, p, nRead, pi)) return 0;
        values->push_back(clValue);
      }
    } else if (eKind == eComponentKind::Binary && nHeld >= 2 && Unit(p) <= nHeld - 2) {
      if (!Decode(&clValue, p, nHeld, pi)) return 0;
      values->push_back(clValue);
    }
    break;
  }
  return 1;
}

// False without components or values, for a component without its column,
// or when a current value cannot be read.
int CNARecherche::_GetComponentValueFromRecord(const CRefArray<CNAColumn>* components, std::vector<CAny>* values) {
  if (components == nullptr || values == nullptr) return 0;
  for (int i = 0; i < components->nGetNbElements(); ++i) {
    CNAColumn* pclComponent = (*components)[i];
    CAny clValue;
    if (pclComponent == nullptr || !pclComponent->bGetCurrentValue(&clValue, 0)) return 0;
    values->push_back(clValue);
  }
  return 1;
}
