#include "ModuleVersion.h"

#include "StrFunctions.h"

int nCompareVersionModule(const wchar_t* a, const wchar_t* b) {
  return STR_nCompareRespecteNumeriqueW(a, -1, b, -1, STR_FLAG_LEXICO);
}

int nCompareVersionModuleA(const char* a, const char* b) {
  return STR_nCompareRespecteNumeriqueA(a, -1, b, -1, STR_FLAG_LEXICO);
}
