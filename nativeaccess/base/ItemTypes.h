// The item types of the native-access layer, their names, and their maps to
// and from the type codes of the platform's language runtime (the typed
// values' codes, CAny.h).
//
// The two maps are not inverse: several item types share a code (the
// identifiers and I8 both give 9; texts, memo texts and images give 19; the
// binaries give 28; both dates give 128) and the reverse map picks one of
// them. Both answer 0 outside their entries.
#pragma once

#include <cstdint>

class INAItemDescription;

enum eNA_ITEMTYPE : std::uint32_t {
  NA_IT_EMPTY = 0,
  NA_IT_IDAUTO = 1,
  NA_IT_TEXTE = 2,
  NA_IT_I2 = 3,
  NA_IT_I1 = 4,
  NA_IT_I4 = 5,
  NA_IT_R4 = 6,
  NA_IT_R8 = 7,
  NA_IT_UNKNOWN_8 = 8,  // has no name
  NA_IT_UI2 = 9,
  NA_IT_DATE6 = 10,
  NA_IT_HEURE = 11,
  NA_IT_UI1 = 12,
  NA_IT_REELTURBO = 13,
  NA_IT_DATE8 = 14,
  NA_IT_MEMOTEXTE = 15,
  NA_IT_MEMOBINAIRE4 = 16,
  NA_IT_MONETAIRE = 17,
  NA_IT_MEMOBINAIRE = 18,
  NA_IT_I8 = 19,
  NA_IT_UI8 = 20,
  NA_IT_IMAGE = 21,
  NA_IT_UI4 = 22,
  NA_IT_BINAIRE = 23,
  NA_IT_DATETIME = 24,
  NA_IT_TIMELENGHT = 25,
  NA_IT_CHAR = 26,
  NA_IT_BOOLEEN = 27,
  NA_IT_IDAUTO4 = 28,
  NA_IT_UNICODE = 29,
  NA_IT_MEMOUNICODE = 30,
  NA_IT_DECIMAL = 31,
};

// "NA_IT_..." for 0 to 31; "Type inconnu" for 8 and anything else.
const wchar_t* g_pszGetNAItemTypeName(eNA_ITEMTYPE eType);
// The runtime's type code of an item type (0 outside 1 to 31); the int is
// not read.
unsigned short ConverteItemToTNType(eNA_ITEMTYPE eType, int nUnused);
// The runtime's type code of a description's item type (it is also asked
// its item size, whose answer is not used). Null: 0.
unsigned short ConverteItemToTNType(const INAItemDescription* piDescription);
// The item type of a runtime type code (0 outside 1 to 129 and for codes
// without one).
eNA_ITEMTYPE ConvertTNTypeToeItem(unsigned short wCode);

bool bIsTextUnicode(eNA_ITEMTYPE eType);  // UNICODE, MEMOUNICODE
bool bIsTextAnsi(eNA_ITEMTYPE eType);     // TEXTE, MEMOTEXTE
bool bIsTextAW(eNA_ITEMTYPE eType);       // either

// Allocation-tracking entry points of the runtime foundation: nothing is
// tracked in this library; each answers 0.
int Alloc_bDump(const wchar_t* pszFile, int nOption);
int Alloc_bMarque();
int Alloc_nTailleTotale();
