#include "ItemTypes.h"

namespace {

constexpr const wchar_t* kaszNames[32] = {
    L"NA_IT_EMPTY",       L"NA_IT_IDAUTO",     L"NA_IT_TEXTE",        L"NA_IT_I2",
    L"NA_IT_I1",          L"NA_IT_I4",         L"NA_IT_R4",           L"NA_IT_R8",
    nullptr,              L"NA_IT_UI2",        L"NA_IT_DATE6",        L"NA_IT_HEURE",
    L"NA_IT_UI1",         L"NA_IT_REELTURBO",  L"NA_IT_DATE8",        L"NA_IT_MEMOTEXTE",
    L"NA_IT_MEMOBINAIRE4", L"NA_IT_MONETAIRE", L"NA_IT_MEMOBINAIRE",  L"NA_IT_I8",
    L"NA_IT_UI8",         L"NA_IT_IMAGE",      L"NA_IT_UI4",          L"NA_IT_BINAIRE",
    L"NA_IT_DATETIME",    L"NA_IT_TIMELENGHT", L"NA_IT_CHAR",         L"NA_IT_BOOLEEN",
    L"NA_IT_IDAUTO4",     L"NA_IT_UNICODE",    L"NA_IT_MEMOUNICODE",  L"NA_IT_DECIMAL"};

constexpr const wchar_t kszUnknown[] = L"Type inconnu";

// Item type 1 to 31 -> runtime code, indexed by item type - 1.
constexpr unsigned short kawItemToTN[31] = {9,  19, 7,  6,  8,  11, 12, 0,  3,  128, 129,
                                             2,  12, 128, 19, 28, 10, 28, 9,  5,  19,  4,
                                             28, 26, 27, 17, 1,  8,  16, 16, 13};

// Runtime code 1 to 129 -> item type, indexed by code - 1; unlisted codes 0.
struct STReverse {
  std::uint32_t a[129] = {};
  constexpr STReverse() {
    const unsigned short kawPairs[][2] = {{1, 27},  {2, 12},   {3, 9},    {4, 22},   {5, 20},  {6, 4},
                                          {7, 3},   {8, 5},    {9, 19},   {10, 17},  {11, 6},  {12, 7},
                                          {13, 31}, {14, 22},  {16, 30},  {17, 26},  {18, 2},  {19, 15},
                                          {24, 14}, {25, 11},  {26, 24},  {27, 25},  {28, 18}, {81, 29},
                                          {110, 29}, {128, 14}, {129, 11}};
    for (const auto& p : kawPairs) a[p[0] - 1] = p[1];
  }
};
constexpr STReverse kstReverse;

}  // namespace

const wchar_t* g_pszGetNAItemTypeName(eNA_ITEMTYPE eType) {
  if (eType < 32 && kaszNames[eType] != nullptr) return kaszNames[eType];
  return kszUnknown;
}

unsigned short ConverteItemToTNType(eNA_ITEMTYPE eType, int) {
  return eType >= 1 && eType <= 31 ? kawItemToTN[eType - 1] : 0;
}

eNA_ITEMTYPE ConvertTNTypeToeItem(unsigned short wCode) {
  return wCode >= 1 && wCode <= 129 ? static_cast<eNA_ITEMTYPE>(kstReverse.a[wCode - 1]) : NA_IT_EMPTY;
}

bool bIsTextUnicode(eNA_ITEMTYPE eType) { return eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE; }
bool bIsTextAnsi(eNA_ITEMTYPE eType) { return eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE; }
bool bIsTextAW(eNA_ITEMTYPE eType) { return bIsTextUnicode(eType) || bIsTextAnsi(eType); }

int Alloc_bDump(const wchar_t*, int) { return 0; }
int Alloc_bMarque() { return 0; }
int Alloc_nTailleTotale() { return 0; }
