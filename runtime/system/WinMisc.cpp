#include "WinMisc.h"

#include "User32Emulation.h"

bool bWindowsNT() { return false; }
bool bWindowsXP() { return false; }
bool bWindows2000() { return false; }
bool bWindows2003() { return false; }
bool bWindowsVista() { return false; }
bool bWindowsSeven() { return false; }
bool bWindows8() { return false; }
bool bWindowsSmartphone() { return false; }
bool bWindowsCE2002() { return false; }
bool bIsWindows64() { return false; }

ELangueProduit LANG_To_ELangueProduit(std::uint16_t lang) {
  switch (lang & 0x3FF) {
    case LANG_CHINESE:
      return LANGUE_PRODUIT_CHINOIS;
    case LANG_FRENCH:
      return LANGUE_PRODUIT_FRANCAIS;
    default:
      return LANGUE_PRODUIT_ANGLAIS;
  }
}

std::uint16_t ELangueProduit_To_LANG(int language) {
  switch (language) {
    case LANGUE_PRODUIT_FRANCAIS:
      return LANG_FRENCH;
    case LANGUE_PRODUIT_CHINOIS:
      return LANG_CHINESE;
    default:
      return LANG_ENGLISH;
  }
}

bool LinuxIsCharAlphaNumericA(char c) { return bEmule_IsCharAlphaNumericA(c); }
