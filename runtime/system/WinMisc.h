// Odd pieces of the Windows surface: the system version tests, the mapping
// between Windows language ids and the product's languages, and the
// letter-or-digit test of a code page 1252 byte.
#pragma once

#include <cstdint>

// This is never Windows: every version test answers false.
bool bWindowsNT();
bool bWindowsXP();
bool bWindows2000();
bool bWindows2003();
bool bWindowsVista();
bool bWindowsSeven();
bool bWindows8();
bool bWindowsSmartphone();
bool bWindowsCE2002();
bool bIsWindows64();

// The product's interface languages.
enum ELangueProduit : int {
  LANGUE_PRODUIT_FRANCAIS = 0,
  LANGUE_PRODUIT_ANGLAIS = 1,
  LANGUE_PRODUIT_CHINOIS = 2,
};

// Windows primary language ids used below.
constexpr std::uint16_t LANG_CHINESE = 4;
constexpr std::uint16_t LANG_ENGLISH = 9;
constexpr std::uint16_t LANG_FRENCH = 12;

// Product language of a Windows language id (its primary language, the low
// 10 bits, decides): Chinese 2, French 0, any other 1.
ELangueProduit LANG_To_ELangueProduit(std::uint16_t lang);

// Windows primary language of a product language: 0 French (12), 1 English
// (9), 2 Chinese (4), any other English.
std::uint16_t ELangueProduit_To_LANG(int language);

// True for the letters and digits of code page 1252 (the fixed table of
// bEmule_IsCharAlphaNumericA); the locale plays no part.
bool LinuxIsCharAlphaNumericA(char c);
