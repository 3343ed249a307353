// Control of the stand-in runtime module (kxstandinvm.so) from a test or
// from kxhost.
//
// The stand-in plays the platform's runtime for a module under test: its
// exported "Execution" answers information requests (message 3053) with
// values set here and records every message it receives. StandInVm loads the
// module with dlopen and binds its control functions; the module stays
// loaded for the life of the object, so the handle can be handed to the
// library as the runtime's module.
//
// The module also plays the runtime's value functions (StandInValues.h holds
// them under C++ names; the module exports them under the runtime's). Their
// rules are the stand-in's own:
//
// Conversions ("nConversionDepassementExt"; flags are ignored; the code page
// is the options' first field, 1252 when the options are null or give 0).
// Only the target form's width is written (BOOL 4, UI1/I1 1, UI2/I2 2,
// UI4/I4/R4 4, UI8/I8/UIX/R8/DUREE/DATETIME 8, CY 10, CARA 1, CARW 4, DATEA
// 9, TIMEA 10, DATEW 36, TIMEW 40, every pointer and handle 8); on a failure
// nothing is written.
// - Numbers (1 to 12, 14, 15, 27) among themselves: integers exactly, a
//   real or a decimal truncated toward zero; outside the target's range 115.
//   BOOL is 1 for any non-zero number. CY rounds to six decimals (half away
//   from zero); R4 refuses a finite value beyond its range (115).
// - DECIMAL target: a new decimal (precision 38, the source's scale; a real
//   through its shortest text); the pointer is the result's reference.
// - Number to text: integers in decimal digits; reals in the shortest of 15
//   to 17 significant digits (6 to 9 for R4) that reads back the same;
//   decimals with exactly their scale's decimals; currency without trailing
//   zero decimals. The separator is "." unless StandIn_SetNumberSeparator
//   chose another (StandIn_Reset puts "." back).
// - Text to number: blanks around skipped; integer digits, or digits with
//   one "." or "," (a decimal of at most 38 digits), or what strtod reads
//   whole; an empty text is 0; anything else 105.
// - Text targets: 16 a shared wide string handle, 19 a shared 8-bit handle,
//   18 and 110 a NUL-terminated copy made by the conversion, 17 and 81 the
//   first character. 8-bit text and binary go to 8-bit targets byte for
//   byte, to wide ones through the code page. The empty text is a null
//   handle (16, 19, 28) or a pointer to an empty text (18, 110).
// - Binary (28): to and from the text kinds only (wide text through the code
//   page); numbers, dates and other kinds to binary fail with 105.
// - Dates and times: DATEA/DATEW hold "YYYYMMDD", TIMEA/TIMEW "HHMMSSCCC",
//   DATETIME is read and written as the 17 digits "YYYYMMDDHHMMSSCCC" (an 8
//   digit text gives midnight), DUREE is its count of milliseconds. A date
//   target takes 8 digits or the date part of 17; a time target up to 9
//   digits, padded with zero digits, or the time part of 17; other texts 105.
// - Every other pair (tables, buffers, objects, the empty value): 105.
// - Results 13, 16, 18, 19, 28 and 110 carry one reference (a decimal of
//   the factory, a block of this module's string allocator, a pointer text
//   the module counts) that "FinConversion" releases.
// "pQueryProxy": 102 gives the decimal factory, any other identifier null.
//
// Operators (the type words' flags are ignored by all; options unused):
// - Order (comparison, equality, greater, less): numbers as numbers (exact
//   between integers and decimals, as doubles when a real takes part); texts
//   and date texts by their wide characters; a number and a text as numbers
//   when the text reads as one, else as texts; binary byte by byte (also
//   against 8-bit text). Other kinds 105.
// - Matching (starts, contains, ends): both operands as wide text. "Souple"
//   ignores case (ASCII and Latin-1 letters); "TresSouple" also ignores the
//   accents of Latin-1 letters and keeps only letters and digits (spaces and
//   punctuation are skipped). "nSoupleEgalEx" is equality at the "Souple"
//   level (numbers: equal as numbers); "nPresqueEgalEx" equality at the
//   "TresSouple" level (numbers: equal, or within 10^-6 relative when a real
//   takes part).
// - Logic: a number (or a text that reads as one) is true when not 0, another
//   text when not empty; binary and other kinds 105.
// - Arithmetic: a text kind with a text, number or date under "+" joins the
//   two texts into a DSTRW. Numbers: a real makes R8; else a DECIMAL makes
//   DECIMAL (a new decimal of precision 38; division keeps up to 10 more
//   decimals than its operands, rounded half away from zero); else CY makes
//   CY (truncated toward zero); else integers give I8 (UI8 when only that
//   holds the result), with "/" giving R8. Results beyond their kind 115,
//   division or modulo by zero 120, texts under "-", "*", "/", "%" and
//   durations, dates, binary and other kinds 105. The type queries
//   ("bCanCompareEx", "wAjouteEx" ... "wModuloEx", taking two type words)
//   answer by the same rules (0: not possible).
// - Negation: a DECIMAL is negated inside the decimal the caller's result
//   already holds (type 13, no new object); R4, R8, CY, I1, I2, I4, I8 and
//   DUREE keep their kind (115 when the negation leaves it); BOOL and the
//   unsigned kinds give I8; text, binary and every other kind 105.
#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// One message the stand-in received.
struct STStandInMessage {
  unsigned int nMessage;
  std::int64_t nParam;       // item number for 3053, raw parameter otherwise
  // Copy of the call-stack request for 3184.
  std::int32_t n1, n3, n4;
  wchar_t szText[128];
  std::int64_t nAnswer;      // what the stand-in answered
};

extern "C" {
using PFN_StandIn_Reset = void (*)();
using PFN_StandIn_SetItem = void (*)(int nItem, std::int64_t nValue);
using PFN_StandIn_GetItem = std::int64_t (*)(int nItem);
using PFN_StandIn_SetGlobalFactory = void (*)(int bPresent, int nLevel);
using PFN_StandIn_GetGlobalFactoryCalls = int (*)();
using PFN_StandIn_SetCallStackAnswer = void (*)(std::int64_t nAnswer);
using PFN_StandIn_GetMessageCount = int (*)();
using PFN_StandIn_GetMessage = int (*)(int nIndex, STStandInMessage* pstOut);
using PFN_StandIn_SetLocaleInfo = void (*)(int nCharset, int nCodePage, unsigned int nLCID);
using PFN_StandIn_GetLiveStrBlocks = int (*)();
using PFN_StandIn_GetStrAllocCalls = int (*)();
using PFN_StandIn_FailNextStrAllocs = void (*)(int k, int nCode);
using PFN_StandIn_SetStrMemAllocVersion = void (*)(int nVersion);
// The runtime's string loader: (identifier, buffer, capacity in characters)
// -> length of the whole text, 0 when it has none.
using PFN_StandIn_LoadString = int (*)(unsigned int nId, wchar_t* pszBuffer, int nCapacity);
using PFN_StandIn_SetString = void (*)(unsigned int nId, const wchar_t* pszText);
using PFN_StandIn_SetStringNeverTerminated = void (*)(int bNever);
using PFN_StandIn_GetLoadStringCalls = int (*)();
using PFN_StandIn_SetNumberSeparator = void (*)(wchar_t cSeparator);
using PFN_StandIn_GetLiveCount = int (*)();
using PFN_StandIn_FailNextDecimalCreations = void (*)(int k);
// A module's component command (CommandeComposante).
using PFN_CommandeComposante = std::int64_t (*)(unsigned int nCommand, void* pParam);
}

// Component commands the runtime sends to a module's CommandeComposante.
enum : unsigned int {
  STANDIN_COMMAND_SET_LOADSTRING = 2,  // parameter: the runtime's string loader
  STANDIN_COMMAND_LOADSTRING = 3,      // parameter: STStandInLoadStringRequest*
  STANDIN_COMMAND_UTILISATION = 4,     // parameter: a message identifier
};

// Request record of command 3, as the runtime lays it out.
struct STStandInLoadStringRequest {
  std::uint32_t nSize;      // 24
  std::uint32_t nId;
  wchar_t* pszBuffer;
  std::uint32_t nCapacity;  // characters
  std::uint32_t nResult;    // set by the module: characters loaded
};
static_assert(sizeof(STStandInLoadStringRequest) == 24);
static_assert(offsetof(STStandInLoadStringRequest, nResult) == 20);

class StandInVm {
 public:
  explicit StandInVm(const std::string& path) {
    m_hModule = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_hModule == nullptr) throw std::runtime_error(std::string("cannot load ") + dlerror());
    Bind(Reset, "StandIn_Reset");
    Bind(SetItem, "StandIn_SetItem");
    Bind(GetItem, "StandIn_GetItem");
    Bind(SetGlobalFactory, "StandIn_SetGlobalFactory");
    Bind(GetGlobalFactoryCalls, "StandIn_GetGlobalFactoryCalls");
    Bind(SetCallStackAnswer, "StandIn_SetCallStackAnswer");
    Bind(SetLocaleInfo, "StandIn_SetLocaleInfo");
    Bind(GetLiveStrBlocks, "StandIn_GetLiveStrBlocks");
    Bind(GetStrAllocCalls, "StandIn_GetStrAllocCalls");
    Bind(FailNextStrAllocs, "StandIn_FailNextStrAllocs");
    Bind(SetStrMemAllocVersion, "StandIn_SetStrMemAllocVersion");
    Bind(LoadString, "StandIn_LoadString");
    Bind(SetString, "StandIn_SetString");
    Bind(SetStringNeverTerminated, "StandIn_SetStringNeverTerminated");
    Bind(GetLoadStringCalls, "StandIn_GetLoadStringCalls");
    Bind(SetNumberSeparator, "StandIn_SetNumberSeparator");
    Bind(GetLiveDecimals, "StandIn_GetLiveDecimals");
    Bind(GetLivePointerTexts, "StandIn_GetLivePointerTexts");
    Bind(FailNextDecimalCreations, "StandIn_FailNextDecimalCreations");
    Bind(m_pfnCount, "StandIn_GetMessageCount");
    Bind(m_pfnGet, "StandIn_GetMessage");
  }
  ~StandInVm() { dlclose(m_hModule); }
  StandInVm(const StandInVm&) = delete;
  StandInVm& operator=(const StandInVm&) = delete;

  void* hModule() const { return m_hModule; }

  std::vector<STStandInMessage> Messages() const {
    std::vector<STStandInMessage> v(static_cast<size_t>(m_pfnCount()));
    for (size_t i = 0; i < v.size(); ++i) m_pfnGet(static_cast<int>(i), &v[i]);
    return v;
  }

  // Items asked with message 3053, in the order asked.
  std::vector<int> ItemsAsked() const {
    std::vector<int> v;
    for (const auto& st : Messages())
      if (st.nMessage == 3053) v.push_back(static_cast<int>(st.nParam));
    return v;
  }

  // How many times `nMessage` arrived.
  int Count(unsigned int nMessage) const {
    int n = 0;
    for (const auto& st : Messages()) n += st.nMessage == nMessage ? 1 : 0;
    return n;
  }

  PFN_StandIn_Reset Reset = nullptr;
  PFN_StandIn_SetItem SetItem = nullptr;
  PFN_StandIn_GetItem GetItem = nullptr;
  PFN_StandIn_SetGlobalFactory SetGlobalFactory = nullptr;
  PFN_StandIn_GetGlobalFactoryCalls GetGlobalFactoryCalls = nullptr;
  PFN_StandIn_SetCallStackAnswer SetCallStackAnswer = nullptr;
  // What the locale of item 12 reports as charset, code page and language
  // identifier; StandIn_Reset puts back 0, 1252 and 0x40C.
  PFN_StandIn_SetLocaleInfo SetLocaleInfo = nullptr;
  // The string allocator of item 13: blocks given out and not taken back;
  // calls that allocate or grow (slots 1, 2, 4, 5); the next k of those fail
  // with nCode (100 in the runtime); the version slot 0 answers (2, or 1).
  // StandIn_Reset puts back version 2, no failures and zero calls; live
  // blocks stay counted.
  PFN_StandIn_GetLiveStrBlocks GetLiveStrBlocks = nullptr;
  PFN_StandIn_GetStrAllocCalls GetStrAllocCalls = nullptr;
  PFN_StandIn_FailNextStrAllocs FailNextStrAllocs = nullptr;
  PFN_StandIn_SetStrMemAllocVersion SetStrMemAllocVersion = nullptr;
  // The runtime's string loader, to hand to a module with command 2. It
  // copies at most `capacity` characters of the text set for the identifier,
  // adds a NUL only when there is room (never in the never-terminated mode),
  // and returns the whole text's length (0 for an identifier without text).
  // SetString(id, null) removes a text; StandIn_Reset removes every text,
  // ends the never-terminated mode and zeroes the count of loader calls.
  PFN_StandIn_LoadString LoadString = nullptr;
  PFN_StandIn_SetString SetString = nullptr;
  PFN_StandIn_SetStringNeverTerminated SetStringNeverTerminated = nullptr;
  PFN_StandIn_GetLoadStringCalls GetLoadStringCalls = nullptr;
  // The separator that number-to-text conversions write ('.' until set;
  // StandIn_Reset puts it back).
  PFN_StandIn_SetNumberSeparator SetNumberSeparator = nullptr;
  // Decimals of the module's factory, and pointer texts (results 18 and
  // 110) of its conversions, made and not yet given back.
  PFN_StandIn_GetLiveCount GetLiveDecimals = nullptr;
  PFN_StandIn_GetLiveCount GetLivePointerTexts = nullptr;
  // The next k decimals the factory is asked for are refused (null);
  // StandIn_Reset ends it.
  PFN_StandIn_FailNextDecimalCreations FailNextDecimalCreations = nullptr;

 private:
  template <typename F>
  void Bind(F& pfn, const char* name) {
    pfn = reinterpret_cast<F>(dlsym(m_hModule, name));
    if (pfn == nullptr) throw std::runtime_error(std::string("stand-in lacks ") + name);
  }

  void* m_hModule = nullptr;
  PFN_StandIn_GetMessageCount m_pfnCount = nullptr;
  PFN_StandIn_GetMessage m_pfnGet = nullptr;
};
