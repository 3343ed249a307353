// Functions on plain NUL-terminated strings: 8-bit (`char`, names with `A`)
// and wide (4-byte `wchar_t`, names with `W` or without a letter).
//
// Every case, accent, white-space/punctuation and collation decision goes to
// the runtime's locale interface (`STR_piGetInfoLocale`); these functions only
// choose the locale operation, the language identifier (LCID) and the flags,
// and turn the answers into this module's conventions:
// - Locale compares answer 0 equal, 1 after, anything else before; every
//   comparison here returns -1, 0 or 1.
// - A mapped output is always terminated by these functions themselves, at
//   min(units written, dstSize - 1), whatever the locale did; a dstSize of 0
//   (or a null destination) is a length query and writes nothing.
// - Heap strings made here come from XMALLOC_pNew_ and go back through
//   STR_Delete (or XMALLOC_Del_); the caller owns them.
// - Sizes are counts of units (bytes for 8-bit text, characters for wide
//   text) and are computed in 64 bits; a length of -1 means "up to the NUL".
//   A null text reads as the empty text unless a function says otherwise.
//
// STR flags (unsigned 32-bit set) given to maps and compares:
//   0x1 upper case / ignore case, 0x2 remove / ignore accents, 0x4 remove
//   white space and punctuation, 0x100 lower case, 0x800 passed on from the
//   language option 0x100, 0x10000000 use the current locale (the flag is
//   removed and slot 4's LCID replaces the default one), 0x20000000 lexical
//   comparison, 0x40000000 added to every 8-bit STR_nCompareA.
// Default LCIDs: 0x40C for maps, 8-bit single-character compares and
// STR_nNCompare; 0x400 for STR_nCompareW/A, wide single-character and run
// compares and the 8-bit case conversions.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "IInfoLocale.h"

constexpr unsigned STR_FLAG_UPPER = 0x1;
constexpr unsigned STR_FLAG_NOACCENT = 0x2;
constexpr unsigned STR_FLAG_NOPUNCT = 0x4;
constexpr unsigned STR_FLAG_LOWER = 0x100;
constexpr unsigned STR_FLAG_CURRENTLOCALE = 0x10000000;
constexpr unsigned STR_FLAG_LEXICO = 0x20000000;
constexpr unsigned STR_FLAG_ANSI = 0x40000000;

constexpr unsigned STR_LCID_MAP = 0x40C;      // default of maps and 8-bit character compares
constexpr unsigned STR_LCID_DEFAULT = 0x400;  // default of whole-string and wide compares

// ---------------------------------------------------------------------------
// The locale
// ---------------------------------------------------------------------------

// The runtime's locale (CInformationDLL::ms_piInfoLocale), or the built-in
// fallback locale when the runtime has handed none over. Never null.
IInfoLocale* STR_piGetInfoLocale();

// Slot 2 as it stands.
int STR_nGetCurrentChangeCharsetInterne();
// Slot 2, with the "no charset" value 127 reported as 0.
int STR_nGetCurrentChangeCharset();
// Slot 3 of the runtime's locale; 0 when the runtime has handed none over
// (the built-in locale is not asked).
int STR_nGetCurrentCodePage();
// Slot 4 and slot 15.
unsigned STR_nGetCurrentLCID();
unsigned STR_nGetSafeCurrentLCID();

// ---------------------------------------------------------------------------
// Mapping and case
// ---------------------------------------------------------------------------

// Maps srcLen units of src (-1: up to the NUL) under `flags` into dst, which
// holds dstSize units: slot 11 (8-bit) or 12 (wide) with LCID 0x40C, or the
// current LCID under 0x10000000. dst is terminated at min(written,
// dstSize - 1). Returns the units of the mapped text in dst (never more than
// dstSize - 1); with a null dst or a dstSize of 0, the units needed
// (terminator not counted), and nothing is written.
int STR_nMapStringEx(unsigned flags, char* dst, int dstSize, const char* src, int srcLen);
int STR_nMapStringEx(unsigned flags, wchar_t* dst, int dstSize, const wchar_t* src, int srcLen);

// Units a buffer needs to receive the mapped text, terminator included
// (length query of STR_nMapStringEx, plus 1).
int STR_nGetMapStringLenEx(unsigned flags, const char* src, int srcLen);
int STR_nGetMapStringLenEx(unsigned flags, const wchar_t* src, int srcLen);

// Sizes and maps the whole of src into a new block stored in *out (the caller
// frees it with STR_Delete); both steps use the same LCID. Returns the units
// of the mapped text; -1 with a null *out when the allocation fails.
int STR_nCreateMapString(unsigned flags, char** out, const char* src);
int STR_nCreateMapString(unsigned flags, wchar_t** out, const wchar_t* src);

// A new wide string of len + 1 characters holding src mapped with flags 3
// (upper case, no accents); null for a null src or a failed allocation.
wchar_t* STR_pszCreateStandard(const wchar_t* src);

// Maps with the LCID of a charset (wGetLanguageID): slot 11 or 12; the sort
// key form uses slot 9. The text forms terminate as STR_nMapStringEx; the sort
// key is written as the locale gives it (at most size bytes, not terminated).
int STR_nMapStringEx_Charset(int charset, unsigned flags, char* dst, int size, const char* src,
                             int len);
int STR_nMapStringEx_Charset(int charset, unsigned flags, wchar_t* dst, int size,
                             const wchar_t* src, int len);
int STR_MapStringSortEx_Charset(int charset, unsigned char* dst, int size, const char* src,
                                int len);

// Sort key through slot 9, LCID 0x40C, or the current LCID when `current` is
// non-zero. Returns the bytes written (at most size).
int STR_MapStringSortEx(unsigned char* dst, int size, const char* src, int len, int current);

// Maps one character as STR_nMapStringEx does (source length 1, destination
// of 2 units cleared first); *out receives the first unit of the result (0
// when the locale wrote nothing). Returns the units written.
int STR_nMapCharEx(unsigned flags, wchar_t* out, wchar_t c);
int STR_nMapCharExANSI(unsigned flags, char* out, char c);
// Flags 3 with LCID 0x40C.
int STR_nMapCharIgnoreCaseAccent(wchar_t* out, wchar_t c);

// In place, one locale call per character, flag 1 (upper) or 0x100 (lower):
// 8-bit through slot 11 with LCID 0x400, wide through slot 14. A character
// the locale maps to nothing stays as it was. The Buff forms take a length
// (-1: up to the NUL) and may hold NULs inside it. Each returns its text.
char* STR_ToUpper(char* text);
wchar_t* STR_ToUpper(wchar_t* text);
char* STR_ToLower(char* text);
wchar_t* STR_ToLower(wchar_t* text);
char* STR_ToUpperBuff(char* text, long length);
wchar_t* STR_ToUpperBuff(wchar_t* text, long length);
char* STR_ToLowerBuff(char* text, long length);
wchar_t* STR_ToLowerBuff(wchar_t* text, long length);

// True when mapping c with flag 4 gives no character or a NUL.
bool STR_bWhiteCharOrPunctA(char c);
bool STR_bWhiteCharOrPunctW(wchar_t c);

// ---------------------------------------------------------------------------
// Comparison (every result is -1, 0 or 1)
// ---------------------------------------------------------------------------

// Whole strings: slot 8 under 0x10000000 (flag removed, no LCID), else slot 6
// with LCID 0x400.
int STR_nCompareW(const wchar_t* a, const wchar_t* b, unsigned flags);
// Whole strings, flags with 0x40000000 added: slot 7 or slot 5 (LCID 0x400).
int STR_nCompareA(const char* a, const char* b, unsigned flags);
// With flag 1 added (ignore case).
int STR_nUpCompareA(const char* a, const char* b, unsigned flags);
int STR_nUpCompareW(const wchar_t* a, const wchar_t* b, unsigned flags);
// STR_nCompareW with flag 2 added (ignore accents).
int STR_nAcCompare(const wchar_t* a, const wchar_t* b, unsigned flags);
// Both null 0, only a null -1, only b null 1, else STR_nCompareW.
int STR_nNullCompare(const wchar_t* a, const wchar_t* b, unsigned flags);
// Null and empty are alike: a null: 0 when b is null or empty; b null: 1 when
// a is not empty, else 0; otherwise STR_nCompareW (a null a as empty).
int STR_nEmptyNullCompare(const wchar_t* a, const wchar_t* b, unsigned flags);
// The first min(n, length) units of each side (lengths found without reading
// past n units), slot 5 or 6 with LCID 0x40C, or the current LCID under
// 0x10000000. A negative n compares nothing (0).
int STR_nNCompare(const char* a, const char* b, long n, unsigned flags);
int STR_nNCompare(const wchar_t* a, const wchar_t* b, long n, unsigned flags);
// Null rules of STR_nNullCompare, then STR_nNCompare.
int STR_nNullNCompare(const wchar_t* a, const wchar_t* b, long n, unsigned flags);
// True when prefix is not longer than s and STR_nNCompare(s, prefix,
// len(prefix), 3) is 0 (case and accents ignored).
bool STR_bDebut(const wchar_t* prefix, const wchar_t* s);

// One character each, flags with 0x20000000 added: slot 5 with LCID 0x40C
// (8-bit) or slot 6 with LCID 0x400 (wide); the current LCID under 0x10000000.
int STR_nCompareCharLexicoA(char c1, char c2, unsigned flags);
int STR_nCompareCharLexicoW(wchar_t c1, wchar_t c2, unsigned flags);
// Runs of given lengths (-1: up to the NUL), slot 6, flags with 0x20000000
// added, LCID 0x400 or the current one under 0x10000000.
int STR_nCompareStringLexicoW(const wchar_t* a, int la, const wchar_t* b, int lb, unsigned flags);
// One character each with flags 3, LCID 0x40C (8-bit, slot 5) or 0x400
// (wide, slot 6).
int STR_nCompareCharSoupleA(char c1, char c2);
int STR_nCompareCharSoupleW(wchar_t c1, wchar_t c2);

// Byte by byte after pToNoAccentUpper_Latin1, no locale call: the first
// difference decides, a string that ends first sorts first.
int STR_nCmpLogiqueAnsiFast(const char* a, const char* b);

// Numeric-aware comparison: runs of digits compare by value (a run with more
// leading zeros sorts first among equal values), the rest by character; with
// flag 0x20000000 non-digits go through the lexical compares (current LCID
// under 0x10000000; 8-bit characters taken as code page 1252), else by the
// characters' bytes in memory order (8-bit: by their unsigned difference).
// Lengths of -1 (or any negative) mean up to the NUL.
int STR_nCompareRespecteNumeriqueW(const wchar_t* a, int la, const wchar_t* b, int lb,
                                   unsigned flags);
int STR_nCompareRespecteNumeriqueA(const char* a, int la, const char* b, int lb, unsigned flags);

// Language options to STR flags: 0x2 -> 0x4; 0x4 -> 0x2; 0x10 or 0x20 -> 0x1
// unless 0x40; 0x40 -> 0x100; 0x100 -> 0x800; other bits give nothing.
unsigned OptionTN2FlagSTR(unsigned option);

// Prepares one side of a language comparison into dst (dstSize units): with
// option 0x1 leading and trailing characters 9..13 and 32 are skipped; then
// the text is copied (no STR flags from the option) or mapped through slot 14
// (wide) / 13 (8-bit) with those flags. dst is terminated; returns the
// prepared length.
int STR_PrepareChaineW(unsigned option, const wchar_t* src, int len, wchar_t* dst, int dstSize);
int STR_PrepareChaineA(unsigned option, const char* src, int len, char* dst, int dstSize);

// The language's string comparison under its options (0x1 trim, 0x2/0x4/0x10/
// 0x20/0x40/0x100 mapping, 0x8 lexical, 0x80 numeric, bit 31 passed on to the
// lexical compare). Each side is prepared into a copy of len + 1 units, on the
// stack below 16384 bytes (8-bit: below 16384 characters), else on the heap;
// a side whose heap copy is refused is compared as it stands.
int STR_ChaineCompareW(const wchar_t* a, int la, const wchar_t* b, int lb, unsigned option);
int STR_ChaineCompareA(const char* a, int la, const char* b, int lb, unsigned option);

// ---------------------------------------------------------------------------
// Character classes (A forms take a char, W forms a wchar_t; every test reads
// the character as unsigned)
// ---------------------------------------------------------------------------

bool bEstUnChiffreA(char c);     // '0'..'9'
bool bEstUnChiffreW(wchar_t c);  // '0'..'9'
int nGetChiffre(char c);         // c - '0'
int nGetChiffre(wchar_t c);
// Every character a digit; the empty (or null) text counts.
bool bEstUnNombreEntierNaturel(const char* text);
bool bEstUnNombreEntierNaturel(const wchar_t* text);
bool bExtendedASCII(char c);  // above 127
bool bExtendedASCII(wchar_t c);
bool bMajusculeA(char c);  // 'A'..'Z'
bool bMajusculeW(wchar_t c);
bool bMinusculeA(char c);  // 'a'..'z'
bool bMinusculeW(wchar_t c);
bool bUnprintable(char c);  // below 32
bool bUnprintable(wchar_t c);
bool bPonctuation(char c);  // 33..47, 58..64, 91..95
bool bPonctuation(wchar_t c);
// Contains U+0020.
bool STR_bContainSpace(const char* text);
bool STR_bContainSpace(const wchar_t* text);
// Empty (or null) or only tab, line feed, carriage return and space.
bool STR_bNeContientRienDeLisibleA(const char* text);
bool STR_bNeContientRienDeLisibleW(const wchar_t* text);
// Begins, ignoring case, with "{\rtf1" or "{\rtf{"; a null text is not RTF.
bool bEstDuTexteRTF(const char* text);
bool bEstDuTexteRTF(const wchar_t* text);
bool bEstDuTexteRTFW(const wchar_t* text);

// ---------------------------------------------------------------------------
// Code page 1252, 7-bit and UTF-8 lead bytes
// ---------------------------------------------------------------------------

// True for c below 0x80 and 0xA0..0xFF (byte = c), and for the 27 characters
// that code page 1252 places at 0x80..0x9F (byte = that position); false for
// everything else, U+0080..U+009F included. *byte is untouched when false.
bool STR_bIsCp1252(wchar_t c, unsigned char* byte);
bool STR_bIsCp1252(wchar_t c);
// Every character (an empty or null text is true).
bool STR_bIsCp1252(const wchar_t* text);
// The code page 1252 byte of c, or `replacement` with *flag set to 1 (flag
// may be null).
char STR_ToCP1252(wchar_t c, char replacement, int* flag);
// Bytes 0x80..0x9F through the code page 1252 table (the five unassigned ones
// give U+0081, U+008D, U+008F, U+0090, U+009D), others unchanged.
wchar_t STR_FromCP1252(unsigned char byte);
// Converts srcLen bytes (-1: up to and including the NUL) with
// STR_FromCP1252 into dst (dstSize characters), stopping at the end of
// either; returns the characters written. Without a destination, the count
// needed (srcLen, or strlen + 1). Nothing is terminated beyond the source.
long STR_CP1252ToWideChar(const char* src, long srcLen, wchar_t* dst, long dstSize);

// Every character below 0x80 (the n form: the first n units, stopping at a
// NUL); an empty or null text is true.
bool STR_bIsANSI7(const char* text);
bool STR_bIsANSI7(const wchar_t* text);
bool STR_bIsANSI7(const char* text, long n);
bool STR_bIsANSI7(const wchar_t* text, long n);
bool STR_bIsANSI7(char c);
// The character when below 0x80, else the replacement.
char STR_ToAnsi7(wchar_t c, char replacement);
wchar_t STR_FromAnsi7(char byte, wchar_t replacement);

// Bytes of a UTF-8 sequence from its lead byte: <0x80 1, <0xE0 2, <0xF0 3,
// <0xF8 4, <0xFC 5, <0xFE 6, 0xFE and 0xFF 1.
int STR_nGetNbByteUTF8(unsigned char lead);

// True when the text survives a round trip to the code page and back (the way
// back with flags 9); an empty or null text is true.
bool bAnsiCompatible(const wchar_t* text, unsigned codePage);
bool bLatin1(const wchar_t* text);  // code page 1252

// ---------------------------------------------------------------------------
// Conversion between 8-bit and wide text (new blocks from XMALLOC_pNew_, freed
// by the caller with STR_Delete). *outLen receives the length of the converted
// text, its terminator not counted. On failure *out is null and *outLen 0.
// ---------------------------------------------------------------------------

// MultiByteToWideChar into a new NUL-terminated block; flags get 1 added for
// every code page but 65001. False when the conversion fails or gives nothing.
bool STR_CharToWChar_AnyCodepage(const char* src, int len, unsigned codePage, wchar_t** out,
                                 int* outLen, unsigned flags);
// Code page 1252, flags 9, whole string.
bool STR_CharToWChar(wchar_t** out, const char* src);
// Code page of slot 3; a null source gives a null *out and true.
bool STR_CharToWChar_CurrentCharset(wchar_t** out, const char* src, unsigned flags = 0,
                                    int len = -1);
// One character; 0 when it does not convert.
wchar_t STR_CharToWChar(char c, unsigned flags, unsigned codePage);
wchar_t STR_CharToWChar_CurrentCharset(char c, unsigned flags);
// WideCharToMultiByte into a new NUL-terminated block.
bool STR_WCharToChar_AnyCodepage(const wchar_t* src, int len, char** out, int* outLen,
                                 unsigned codePage);
// Code page of slot 3; a null source gives a null *out and true.
bool STR_WCharToChar_CurrentCharset(char** out, const wchar_t* src, int len = -1);
// One character: the first byte of its form in the code page ('?' when the
// code page cannot hold it); 0 when the conversion fails.
char STR_WCharToAChar(wchar_t c, unsigned flags, unsigned codePage);
// Equal code pages: a copy (len -1: strlen); else through a wide
// intermediate that is freed.
bool STR_CharToChar_AnyCodepage(const char* src, int len, unsigned fromCodePage, char** out,
                                int* outLen, unsigned toCodePage);

// ---------------------------------------------------------------------------
// Copy, concatenation, creation
// ---------------------------------------------------------------------------

// Copies at most n units of src (n negative: the whole string) and never more
// than dstSize - 1, always terminating; returns the units copied. dstSize 0
// copies nothing and returns 0. src is not read past n units (nor past
// dstSize - 1). A null src copies nothing.
long STR_nCopyW(wchar_t* dst, unsigned long dstSize, const wchar_t* src, long n);
long STR_nCopy(wchar_t* dst, unsigned long dstSize, const wchar_t* src, long n);
long STR_nCopyA(char* dst, unsigned long dstSize, const char* src, long n);

// STR_nCopy at the end of dst with the remaining size. When dst holds no NUL
// within dstSize, or is already full (length + 1 >= dstSize), nothing is
// written and 0 is returned.
long STR_nCatW(wchar_t* dst, unsigned long dstSize, const wchar_t* src, long n);
long STR_nCat(wchar_t* dst, unsigned long dstSize, const wchar_t* src, long n);
long STR_nCatA(char* dst, unsigned long dstSize, const char* src, long n);

// Copies (or appends) the whole src cut to what fits; returns the units
// copied.
long STR_nCut(char* dst, unsigned long dstSize, const char* src);
long STR_nCut(wchar_t* dst, unsigned long dstSize, const wchar_t* src);
long STR_nCatCut(wchar_t* dst, unsigned long dstSize, const wchar_t* src);

// A block for n + 1 units (its first unit set to NUL); null for a negative n
// or a failed allocation.
wchar_t* STR_pszCreateW(long n);
wchar_t* STR_pszCreateW(int n);
wchar_t* STR_pszCreate(long n);
wchar_t* STR_pszCreate(int n);
char* STR_pszCreateA(long n);
char* STR_pszCreateA(int n);
// Exported: <wchar_t> gives n + 1 wide characters, <char> n + 1 bytes.
template <typename T>
T* STRG_pszCreate(long n);

// A copy; null for a null text or a failed allocation.
wchar_t* STR_pszCreateW(const wchar_t* text);
wchar_t* STR_pszCreate(const wchar_t* text);
char* STR_pszCreateA(const char* text);
// a followed by b (a null side counts as empty).
wchar_t* STR_pszCreateW(const wchar_t* a, const wchar_t* b);
char* STR_pszCreateA(const char* a, const char* b);
// The first n units of text (padded with NULs when text is shorter),
// terminated at n.
wchar_t* STR_pszCreateW(long n, const wchar_t* text);
wchar_t* STR_pszCreateW(int n, const wchar_t* text);
wchar_t* STR_pszCreate(long n, const wchar_t* text);
wchar_t* STR_pszCreate(int n, const wchar_t* text);
char* STR_pszCreateA(long n, const char* text);
char* STR_pszCreateA(int n, const char* text);
// Copies from a wide source that need not be aligned to 4 bytes (read
// character by character unless both ends are aligned); the n form as above.
wchar_t* STR_pszCreateW_UNALIGNED(const wchar_t* text);
wchar_t* STR_pszCreateW_UNALIGNED(long n, const wchar_t* text);
// a + b + c; a + "." + b (null parts count as empty).
wchar_t* STR_pszConcat(const wchar_t* a, const wchar_t* b, const wchar_t* c);
wchar_t* STR_pszConcatPoint(const wchar_t* a, const wchar_t* b);

// Replaces *p by a copy of text (null for a null text) and frees the old
// block. The copy is made first, so text may lie inside *p; when it cannot be
// made, *p is left as it was and the result is false.
bool STR_bRedefine(wchar_t** p, const wchar_t* text);
// XMALLOC_pResize_ to n units; *p unchanged and false on failure (a negative
// n included).
bool STR_bResizeW(wchar_t** p, long n);
bool STR_bResizeA(char** p, long n);
// XMALLOC_Del_; null is ignored.
void STR_Delete(void* p);
void STR_DeleteW(wchar_t* p);
void STR_DeleteA(char* p);

// A new string with every occurrence of find replaced by repl (left to right,
// not overlapping); a copy when find does not occur; null when text or find
// is null or empty, or the allocation fails. A null repl is empty.
wchar_t* STR_RemplaceW(const wchar_t* text, const wchar_t* find, const wchar_t* repl);

// ---------------------------------------------------------------------------
// Search and trimming. Results point into s (null when nothing is found).
// ---------------------------------------------------------------------------

// First occurrence of t starting within the first n - len(t) + 1 positions of
// s, never past s's NUL; a null or empty t gives s; null when t is longer
// than n.
wchar_t* STR_pszStrnstr(const wchar_t* s, const wchar_t* t, long n);
// First occurrence comparing characters after STR_nMapCharEx(1, ...); an
// empty t gives s.
wchar_t* STR_pszUpStrstr(const wchar_t* s, const wchar_t* t);
// First occurrence with wcsncasecmp; an empty t gives s.
wchar_t* STR_StrIStr(const wchar_t* s, const wchar_t* t);
// First occurrence lying within the first n bytes of s (never past its NUL),
// ignoring case (strncasecmp) or exactly; an empty t gives s.
char* STR_strnistrA(const char* s, const char* t, long n);
char* STR_strnstrA(const char* s, const char* t, long n);
// Last occurrence of t starting at or before index `from` (clamped to the
// text; negative: none), searching backwards. An empty t gives s + from.
wchar_t* STRRSTRW(const wchar_t* s, long from, const wchar_t* t);
wchar_t* STRRSTR(const wchar_t* s, long from, const wchar_t* t);
char* STRRSTRA(const char* s, long from, const char* t);
// Last character of s that is in set; null for an empty set.
wchar_t* STRRPBRK(const wchar_t* s, const wchar_t* set);
// Last c at or before index `from` (clamped to the text; negative: none).
char* strrchr(const char* s, long from, int c);
wchar_t* wcsrchr(const wchar_t* s, long from, wchar_t c);

// Length, at most max; 0 when max < 1 or s is null. Nothing is read past max.
long STR_nLenA(const char* s, long max);
long STR_nLenW(const wchar_t* s, long max);
long STR_nLen(const wchar_t* s, long max);

// Pads s with c and terminates it so that it holds size - 1 characters (a
// longer s is cut; s is not read past size - 1). Nothing for size < 1.
void STR_Complete(char* s, long size, char c);
void STR_Complete(wchar_t* s, long size, wchar_t c);

// Trimming in place; each returns s (null stays null).
char* STR_SuppressRightCar(char* s, char c);
wchar_t* STR_SuppressRightCar(wchar_t* s, wchar_t c);
char* STR_SuppressLeftCar(char* s, char c);
wchar_t* STR_SuppressLeftCar(wchar_t* s, wchar_t c);
wchar_t* STR_SuppressSideCar(wchar_t* s, wchar_t c);
// White space as isspace (on the unsigned byte) / iswspace.
char* STR_SuppressRightSpaces(char* s);
wchar_t* STR_SuppressRightSpaces(wchar_t* s);
char* STR_SuppressLeftSpaces(char* s);
wchar_t* STR_SuppressLeftSpaces(wchar_t* s);
char* STR_SuppressSideSpaces(char* s);
wchar_t* STR_SuppressSideSpaces(wchar_t* s);
char* STR_SuppressAllSpacesA(char* s);
wchar_t* STR_SuppressAllSpacesW(wchar_t* s);

// ---------------------------------------------------------------------------
// Estimated length of printf output
// ---------------------------------------------------------------------------

// An upper bound of the units that the formatter writes for `format` and the
// arguments (8-bit: vsnprintf with the system's format meaning; wide:
// vswprintfWin with the Windows meaning: `s` wide, `S` 8-bit, `hs` 8-bit, `ls`
// wide), terminator not counted. The arguments are read in the same way
// through a copy of `args`: the caller's list is left where it was.
// The count is no bound for a format holding positional arguments (N$) or a
// conversion it does not know (those count 0 and take no argument): a caller
// must still bound its formatting by the buffer it made.
template <typename T>
long STRG_nCalculeLongueurPrintf(const T* format, va_list args);
