// Escaping of quoted SQL text and LIKE patterns: one template on the
// character type serves the 8-bit and the wide forms.
#include "Escape.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

// Work buffers up to this many bytes live on the stack.
constexpr std::size_t kPileOctets = 2047;

template <typename C>
std::size_t Longueur(const C* text) {
  std::size_t n = 0;
  if (text != nullptr) {
    while (text[n] != 0) ++n;
  }
  return n;
}

// A new block holding the n units of text and a NUL; null when refused.
template <typename C>
C* NouvelleChaine(const C* text, std::size_t n) {
  C* copy = static_cast<C*>(XMALLOC_pNew_((n + 1) * sizeof(C)));
  if (copy == nullptr) return nullptr;
  if (n != 0) std::memcpy(copy, text, n * sizeof(C));
  copy[n] = 0;
  return copy;
}

// Appends the text (null: nothing) at *out and advances it.
template <typename C>
void Ecrit(C*& out, const C* text) {
  if (text == nullptr) return;
  while (*text != 0) *out++ = *text++;
}

// A work buffer of n units: the stack block when it fits, else the heap.
template <typename C>
class CTampon {
 public:
  explicit CTampon(std::size_t n) {
    if (n <= sizeof(m_aPile) / sizeof(C)) {
      m_p = reinterpret_cast<C*>(m_aPile);
    } else {
      m_p = static_cast<C*>(XMALLOC_pNew_(n * sizeof(C)));
      m_bTas = true;
    }
  }
  ~CTampon() {
    if (m_bTas) XMALLOC_Del_(m_p);
  }
  CTampon(const CTampon&) = delete;
  CTampon& operator=(const CTampon&) = delete;
  C* p() const { return m_p; }

 private:
  alignas(wchar_t) unsigned char m_aPile[kPileOctets];
  C* m_p = nullptr;
  bool m_bTas = false;
};

template <typename C>
void EscapeT(const C* src, C* dst, int quote, int backslash, int escapeEscape, int percent,
             int underscore, int escapedPercent, int escapedUnderscore, int escapedEscape, C Q,
             C E) {
  const C kQuote = static_cast<C>('\'');
  const C kBackslash = static_cast<C>('\\');
  const C kPercent = static_cast<C>('%');
  const C kUnderscore = static_cast<C>('_');
  static const C kVide[1] = {0};
  C* out = dst;
  const C* p = src != nullptr ? src : kVide;
  while (*p != 0) {
    const C c = *p;
    if (c == kQuote) {
      if (quote) *out++ = Q;
      *out++ = kQuote;
      ++p;
      continue;
    }
    if (c == E) {
      const C n = p[1];
      if (n == kPercent || n == kUnderscore) {
        const bool bPercent = n == kPercent;
        const int escaped = bPercent ? escapedPercent : escapedUnderscore;
        const int wildcard = bPercent ? percent : underscore;
        if (escaped) {
          if (escapeEscape) *out++ = E;
          *out++ = E;
          if (wildcard) *out++ = E;
        } else {
          *out++ = E;
        }
        *out++ = n;
        p += 2;
        continue;
      }
      if (n == E) {
        const int copies = escapedEscape && escapeEscape ? 4 : 2;
        for (int k = 0; k < copies; ++k) *out++ = E;
        p += 2;
        continue;
      }
      *out++ = E;
      if (escapeEscape) *out++ = E;
      ++p;
      continue;
    }
    if (c == kBackslash) {
      *out++ = kBackslash;
      if (backslash) *out++ = kBackslash;
    } else if (c == kPercent) {
      if (percent) *out++ = E;
      *out++ = kPercent;
    } else if (c == kUnderscore) {
      if (underscore) *out++ = E;
      *out++ = kUnderscore;
    } else {
      *out++ = c;
    }
    ++p;
  }
  *out = 0;
}

template <typename C>
C* pszEscapeT(const C* src, int quote, int backslash, int escapeEscape, int percent,
              int underscore, int escapedPercent, int escapedUnderscore, int escapedEscape, C Q,
              C E) {
  const std::size_t n = Longueur(src);
  if (n > (SIZE_MAX / sizeof(C) - 2) / 2) return nullptr;
  CTampon<C> work(2 * n + 2);
  if (work.p() == nullptr) return nullptr;
  EscapeT(src, work.p(), quote, backslash, escapeEscape, percent, underscore, escapedPercent,
          escapedUnderscore, escapedEscape, Q, E);
  return NouvelleChaine(work.p(), Longueur(work.p()));
}

template <typename C>
void PurgeEscapeT(C* text, C E) {
  if (text == nullptr) return;
  const C kPercent = static_cast<C>('%');
  const C kUnderscore = static_cast<C>('_');
  C* out = text;
  const C* p = text;
  while (*p != 0) {
    if (*p == E && (p[1] == E || p[1] == kPercent || p[1] == kUnderscore)) {
      *out++ = p[1];  // the escaped character, not examined again
      p += 2;
    } else {
      *out++ = *p++;
    }
  }
  *out = 0;
}

template <typename C>
void PurgeEscapeEscapeT(C* text, C E) {
  if (text == nullptr) return;
  C* out = text;
  const C* p = text;
  while (*p != 0) {
    if (*p == E && p[1] == E) {
      *out++ = E;
      p += 2;
    } else {
      *out++ = *p++;
    }
  }
  *out = 0;
}

template <typename C>
void PurgeQuoteT(C* text, int backslash) {
  if (text == nullptr) return;
  const C kQuote = static_cast<C>('\'');
  const C kBackslash = static_cast<C>('\\');
  const std::size_t n = Longueur(text);
  if (n == 2 && text[0] == kQuote && text[1] == kQuote) return;
  // Walking from the end, kept characters are packed against the end of the
  // text; a removal never changes what lies before the walk.
  std::size_t w = n;
  for (std::size_t i = n; i-- > 0;) {
    const C c = text[i];
    text[--w] = c;
    if (i >= 1 && c == kQuote && (text[i - 1] == kQuote || (backslash && text[i - 1] == kBackslash))) {
      --i;  // the preceding character is dropped; the walk goes on before it
    }
  }
  std::memmove(text, text + w, (n - w) * sizeof(C));
  text[n - w] = 0;
}

template <typename C>
void PurgeEscapeBackSlashT(C* text) {
  if (text == nullptr) return;
  PurgeEscapeEscapeT(text, static_cast<C>('\\'));
  PurgeQuoteT(text, 1);
}

template <typename C>
void ChangeEscapeT(const C* src, C* dst, const C* percentText, const C* percentPrefix,
                   const C* percentSuffix, const C* underscoreText, const C* underscorePrefix,
                   const C* underscoreSuffix, C E) {
  C* out = dst;
  if (src != nullptr) {
    const C* p = src;
    while (*p != 0) {
      if (*p != E) {
        *out++ = *p++;
        continue;
      }
      const C n = p[1];
      if (n == static_cast<C>('%')) {
        Ecrit(out, percentPrefix);
        Ecrit(out, percentText);
        Ecrit(out, percentSuffix);
        p += 2;
      } else if (n == static_cast<C>('_')) {
        Ecrit(out, underscorePrefix);
        Ecrit(out, underscoreText);
        Ecrit(out, underscoreSuffix);
        p += 2;
      } else if (n == E) {
        *out++ = E;
        p += 2;
      } else {
        *out++ = *p++;  // the next character is read normally
      }
    }
  }
  *out = 0;
}

template <typename C>
C* pszChangeEscapeT(const C* src, const C* percentText, const C* percentPrefix,
                    const C* percentSuffix, const C* underscoreText, const C* underscorePrefix,
                    const C* underscoreSuffix, C E) {
  const std::size_t n = Longueur(src);
  const std::size_t rPercent = Longueur(percentPrefix) + Longueur(percentText) + Longueur(percentSuffix);
  const std::size_t rUnderscore =
      Longueur(underscorePrefix) + Longueur(underscoreText) + Longueur(underscoreSuffix);
  const std::size_t longest = rPercent > rUnderscore ? rPercent : rUnderscore;
  // Every source unit gives at most 1 + longest units: two units E '%' give
  // one rewrite, any other unit one unit.
  const std::size_t limit = SIZE_MAX / sizeof(C) - 1;
  if (longest >= limit || (n != 0 && n > limit / (1 + longest))) return nullptr;
  CTampon<C> work(n * (1 + longest) + 1);
  if (work.p() == nullptr) return nullptr;
  ChangeEscapeT(src, work.p(), percentText, percentPrefix, percentSuffix, underscoreText,
                underscorePrefix, underscoreSuffix, E);
  return NouvelleChaine(work.p(), Longueur(work.p()));
}

// Steps 3 and 4 of pszVerrueEscapeMySQL on the escaped text `in`.
template <typename C>
C* DoubleEscapesEtFerme(const C* in, C E) {
  const C kQuote = static_cast<C>('\'');
  const C kBackslash = static_cast<C>('\\');
  const std::size_t n = Longueur(in);
  // Step 3: at most one E added after each unit.
  C* doubled = static_cast<C*>(XMALLOC_pNew_(2 * (n + 1) * sizeof(C)));
  if (doubled == nullptr) return nullptr;
  C* out = doubled;
  for (const C* p = in; *p != 0;) {
    if (*p != E) {
      *out++ = *p++;
      continue;
    }
    const C next = p[1];
    const bool bGarde = (next == kQuote && E == kBackslash) || next == static_cast<C>('%') ||
                        next == static_cast<C>('_') || next == E;
    if (bGarde) {
      *out++ = *p++;
      *out++ = *p++;
    } else {
      *out++ = E;
      *out++ = E;
      ++p;
    }
  }
  *out = 0;

  // Step 4: the server reads a backslash as escaping the next character, so
  // a quote closes the literal unless an odd run of backslashes precedes it,
  // and a final odd run would escape the closing quote. Count what to add,
  // then write the closed text.
  std::size_t added = 0;
  std::size_t run = 0;
  for (const C* p = doubled; *p != 0; ++p) {
    if (*p == kBackslash) {
      ++run;
      continue;
    }
    if (*p == kQuote && run % 2 == 0) ++added;
    run = 0;
  }
  if (run % 2 != 0) ++added;
  const std::size_t m = static_cast<std::size_t>(out - doubled);
  C* result = static_cast<C*>(XMALLOC_pNew_((m + added + 1) * sizeof(C)));
  if (result == nullptr) {
    XMALLOC_Del_(doubled);
    return nullptr;
  }
  C* w = result;
  run = 0;
  for (const C* p = doubled; *p != 0; ++p) {
    if (*p == kBackslash) {
      ++run;
    } else {
      if (*p == kQuote && run % 2 == 0) *w++ = kBackslash;
      run = 0;
    }
    *w++ = *p;
  }
  if (run % 2 != 0) *w++ = kBackslash;
  *w = 0;
  XMALLOC_Del_(doubled);
  return result;
}

template <typename C>
C* pszVerrueEscapeMySQLT(const C* src, C E) {
  const C kBackslash = static_cast<C>('\\');
  C* copy = NouvelleChaine(src, Longueur(src));
  if (copy == nullptr) return nullptr;
  PurgeQuoteT(copy, 1);
  C* escaped = pszEscapeT(copy, 1, 0, 0, 0, 0, 0, 0, 0, kBackslash, kBackslash);
  XMALLOC_Del_(copy);
  if (escaped == nullptr) return nullptr;
  C* result = DoubleEscapesEtFerme(escaped, E);
  XMALLOC_Del_(escaped);
  return result;
}

}  // namespace

void Escape(const char* src, char* dst, int quote, int backslash, int escapeEscape, int percent,
            int underscore, int escapedPercent, int escapedUnderscore, int escapedEscape, char Q,
            char E) {
  EscapeT(src, dst, quote, backslash, escapeEscape, percent, underscore, escapedPercent,
          escapedUnderscore, escapedEscape, Q, E);
}

void Escape(const wchar_t* src, wchar_t* dst, int quote, int backslash, int escapeEscape,
            int percent, int underscore, int escapedPercent, int escapedUnderscore,
            int escapedEscape, wchar_t Q, wchar_t E) {
  EscapeT(src, dst, quote, backslash, escapeEscape, percent, underscore, escapedPercent,
          escapedUnderscore, escapedEscape, Q, E);
}

char* pszEscape(const char* src, int quote, int backslash, int escapeEscape, int percent,
                int underscore, int escapedPercent, int escapedUnderscore, int escapedEscape,
                char Q, char E) {
  return pszEscapeT(src, quote, backslash, escapeEscape, percent, underscore, escapedPercent,
                    escapedUnderscore, escapedEscape, Q, E);
}

wchar_t* pszEscape(const wchar_t* src, int quote, int backslash, int escapeEscape, int percent,
                   int underscore, int escapedPercent, int escapedUnderscore, int escapedEscape,
                   wchar_t Q, wchar_t E) {
  return pszEscapeT(src, quote, backslash, escapeEscape, percent, underscore, escapedPercent,
                    escapedUnderscore, escapedEscape, Q, E);
}

void PurgeEscape(char* text, char E) { PurgeEscapeT(text, E); }
void PurgeEscape(wchar_t* text, wchar_t E) { PurgeEscapeT(text, E); }
void PurgeEscapeEscape(char* text, char E) { PurgeEscapeEscapeT(text, E); }
void PurgeEscapeEscape(wchar_t* text, wchar_t E) { PurgeEscapeEscapeT(text, E); }
void PurgeEscapeBackSlash(char* text) { PurgeEscapeBackSlashT(text); }
void PurgeEscapeBackSlash(wchar_t* text) { PurgeEscapeBackSlashT(text); }
void PurgeQuote(char* text, int backslash) { PurgeQuoteT(text, backslash); }
void PurgeQuote(wchar_t* text, int backslash) { PurgeQuoteT(text, backslash); }

void ChangeEscape(const char* src, char* dst, const char* percentText, const char* percentPrefix,
                  const char* percentSuffix, const char* underscoreText,
                  const char* underscorePrefix, const char* underscoreSuffix, char E) {
  ChangeEscapeT(src, dst, percentText, percentPrefix, percentSuffix, underscoreText,
                underscorePrefix, underscoreSuffix, E);
}

void ChangeEscape(const wchar_t* src, wchar_t* dst, const wchar_t* percentText,
                  const wchar_t* percentPrefix, const wchar_t* percentSuffix,
                  const wchar_t* underscoreText, const wchar_t* underscorePrefix,
                  const wchar_t* underscoreSuffix, wchar_t E) {
  ChangeEscapeT(src, dst, percentText, percentPrefix, percentSuffix, underscoreText,
                underscorePrefix, underscoreSuffix, E);
}

char* pszChangeEscape(const char* src, const char* percentText, const char* percentPrefix,
                      const char* percentSuffix, const char* underscoreText,
                      const char* underscorePrefix, const char* underscoreSuffix, char E) {
  return pszChangeEscapeT(src, percentText, percentPrefix, percentSuffix, underscoreText,
                          underscorePrefix, underscoreSuffix, E);
}

wchar_t* pszChangeEscape(const wchar_t* src, const wchar_t* percentText,
                         const wchar_t* percentPrefix, const wchar_t* percentSuffix,
                         const wchar_t* underscoreText, const wchar_t* underscorePrefix,
                         const wchar_t* underscoreSuffix, wchar_t E) {
  return pszChangeEscapeT(src, percentText, percentPrefix, percentSuffix, underscoreText,
                          underscorePrefix, underscoreSuffix, E);
}

char* pszVerrueEscapeMySQL(const char* src, wchar_t E) {
  return pszVerrueEscapeMySQLT(src, STR_ToCP1252(E, '?', nullptr));
}

wchar_t* pszVerrueEscapeMySQL(const wchar_t* src, wchar_t E) { return pszVerrueEscapeMySQLT(src, E); }
