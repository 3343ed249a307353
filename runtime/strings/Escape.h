// Escaping of quoted SQL text and LIKE patterns.
//
// These functions escape quotes, backslashes and the LIKE wildcards '%' and
// '_', undo such escapes, rewrite an escape into another dialect's form, and
// make the escaped text that goes between quotes on the MariaDB/MySQL side.
// Every function exists on 8-bit text (char) and on wide text (wchar_t), with
// the same rules. Below, E is the escape character and Q the character
// written before a quote.
//
// Common rules:
// - A null source reads as the empty text.
// - In-place functions only shorten the text; a null text does nothing.
// - The psz* functions return a new string from XMALLOC_pNew_ that the caller
//   frees with XMALLOC_Del_ (or STR_Delete); null when an allocation fails.
#pragma once

// ---------------------------------------------------------------------------
// Escaping
// ---------------------------------------------------------------------------

// Writes the escaped form of src into dst, which holds at least
// 2 x length + 1 units, and terminates it. For each source character c, in
// this order:
// 1. a quote ('): Q first when `quote` is set, then the quote;
// 2. E, with n the next character:
//    - n '%': with escapedPercent, an E when escapeEscape is set, then E,
//      then E '%' when `percent` is set or '%' alone; without it E '%'.
//      Both are consumed.
//    - n '_': the same with escapedUnderscore, `underscore` and '_'.
//    - n E: four E when both escapedEscape and escapeEscape are set, else
//      two. Both are consumed.
//    - otherwise: two E when escapeEscape is set, else one; only c is
//      consumed.
// 3. a backslash (that is not E): two with `backslash`, else one;
// 4. '%': E '%' with `percent`, else '%';
// 5. '_': E '_' with `underscore`, else '_';
// 6. any other character is copied.
void Escape(const char* src, char* dst, int quote, int backslash, int escapeEscape, int percent,
            int underscore, int escapedPercent, int escapedUnderscore, int escapedEscape, char Q,
            char E);
void Escape(const wchar_t* src, wchar_t* dst, int quote, int backslash, int escapeEscape,
            int percent, int underscore, int escapedPercent, int escapedUnderscore,
            int escapedEscape, wchar_t Q, wchar_t E);

// Escape into a work buffer (on the stack when it fits in 2047 bytes),
// returned as a new string; null when an allocation fails.
char* pszEscape(const char* src, int quote, int backslash, int escapeEscape, int percent,
                int underscore, int escapedPercent, int escapedUnderscore, int escapedEscape,
                char Q, char E);
wchar_t* pszEscape(const wchar_t* src, int quote, int backslash, int escapeEscape, int percent,
                   int underscore, int escapedPercent, int escapedUnderscore, int escapedEscape,
                   wchar_t Q, wchar_t E);

// ---------------------------------------------------------------------------
// Undoing escapes (in place)
// ---------------------------------------------------------------------------

// E followed by E, '%' or '_' loses the E; the character after it stays and
// is not examined again. E before any other character (or at the end) stays.
void PurgeEscape(char* text, char E);
void PurgeEscape(wchar_t* text, wchar_t E);

// Only E E becomes E (pairs from the left, not overlapping).
void PurgeEscapeEscape(char* text, char E);
void PurgeEscapeEscape(wchar_t* text, wchar_t E);

// Each pair of backslashes becomes one (from the left, not overlapping), then
// PurgeQuote(text, 1).
void PurgeEscapeBackSlash(char* text);
void PurgeEscapeBackSlash(wchar_t* text);

// Undoes doubled quotes: walking from the last character towards the second,
// each quote preceded by a quote (or, when `backslash` is non-zero, by a
// backslash) loses that preceding character, and the walk goes on before
// the removed character. A text of exactly two quotes stays as it is.
void PurgeQuote(char* text, int backslash);
void PurgeQuote(wchar_t* text, int backslash);

// ---------------------------------------------------------------------------
// Rewriting escapes into another dialect
// ---------------------------------------------------------------------------

// Copies src to dst rewriting escapes: E '%' becomes percentPrefix +
// percentText + percentSuffix, E '_' becomes underscorePrefix +
// underscoreText + underscoreSuffix, E E becomes one E; E before any other
// character is copied and that character is then read normally. Null texts
// count as empty. dst must hold the result and its NUL (the caller's duty;
// pszChangeEscape sizes it).
void ChangeEscape(const char* src, char* dst, const char* percentText, const char* percentPrefix,
                  const char* percentSuffix, const char* underscoreText,
                  const char* underscorePrefix, const char* underscoreSuffix, char E);
void ChangeEscape(const wchar_t* src, wchar_t* dst, const wchar_t* percentText,
                  const wchar_t* percentPrefix, const wchar_t* percentSuffix,
                  const wchar_t* underscoreText, const wchar_t* underscorePrefix,
                  const wchar_t* underscoreSuffix, wchar_t E);

// ChangeEscape into a work buffer of length x (1 + longest rewrite) + 1 units
// (on the stack when it fits in 2047 bytes), which holds every result,
// returned as a new string; null when an allocation fails or the size does
// not fit in memory.
char* pszChangeEscape(const char* src, const char* percentText, const char* percentPrefix,
                      const char* percentSuffix, const char* underscoreText,
                      const char* underscorePrefix, const char* underscoreSuffix, char E);
wchar_t* pszChangeEscape(const wchar_t* src, const wchar_t* percentText,
                         const wchar_t* percentPrefix, const wchar_t* percentSuffix,
                         const wchar_t* underscoreText, const wchar_t* underscorePrefix,
                         const wchar_t* underscoreSuffix, wchar_t E);

// ---------------------------------------------------------------------------
// Text for a MariaDB/MySQL quoted literal
// ---------------------------------------------------------------------------

// The escaped text that goes between single quotes on the server:
// 1. doubled quotes and backslash-quotes of a copy of src become single
//    quotes (PurgeQuote(copy, 1));
// 2. every quote gets a backslash before it (pszEscape with only `quote`,
//    Q = E = backslash);
// 3. each E followed by something other than '%', '_' or E (and, when E is
//    a backslash, other than a quote; the end of the text counts as
//    "other") gets a second E after it; a pair E n that is kept is passed
//    over whole;
// 4. so that the result is always one literal under the server's backslash
//    rules, whatever E is: a quote after an even run of backslashes (none
//    included) gets one more backslash, and a text that ends in an odd run
//    of backslashes gets one more at the end.
// Thus "it''s" gives "it\'s", "a\b" "a\\b", "a\%" stays, "ab\" gives
// "ab\\", and "x\\' OR 1=1 -- " gives "x\\\' OR 1=1 -- " (one literal).
// The 8-bit form takes E as a wide character and uses its code page 1252
// byte ('?' when the code page has none).
// A new string from XMALLOC_pNew_; null when an allocation fails.
char* pszVerrueEscapeMySQL(const char* src, wchar_t E);
wchar_t* pszVerrueEscapeMySQL(const wchar_t* src, wchar_t E);
