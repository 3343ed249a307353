// What the platform's runtime told this module about itself.
//
// The lifecycle messages fill these statics (the initialise message asks the
// runtime for each item; the locale message replaces the locale interface).
// Everything else only reads them. Until an answer arrives each holds the
// default below, so the module works without a runtime too. Pointers are owned
// by the runtime: nothing here frees them.
#pragma once

#include <cstdint>

#include "IInfoLocale.h"
#include "IStrMemAlloc.h"
#include "KxOpaqueInterfaces.h"

class IGlobalFactory;

class CInformationDLL {
 public:
  static std::int32_t ms_nCodeProduitExecution;   // item 1, default 0
  static std::int32_t ms_nLangueInterne;          // item 2, default 12
  static const wchar_t* ms_pszNomProduit;         // item 3, default "Korvex"
  static std::uint64_t ms_dwOptions;              // item 4, default 0
  static std::int32_t ms_nCodeProduitReel;        // item 5, default 0
  static ILibShop* ms_piLibShop;                  // item 7 or initialise record
  static std::uint32_t ms_dwVersionActive;        // item 8, only raised; default 20
  static IGlobalFactory* ms_piGlobalFactory;      // item 9
  static ICollecteurTopo* ms_piCollecteurTopo;    // item 10
  static IInfoLocale* ms_piInfoLocale;            // item 12 or message 4878
  static std::int32_t* ms_pbMultithread;          // item 14
  static IInformationComposante* ms_piInformationComposante;  // item 15

  // Puts every field back to its default (a module that ends and starts again
  // in one process, and tests).
  static void ResetDefaults();
};

class CInformationModule {
 public:
  // Item 13; the installer, which has no runtime, installs its own.
  static IStrMemAlloc* ms_piStrMemAlloc;
};
