#include "WinMessageBox.h"

#include <dlfcn.h>

#include <cstring>

#include "UnicodeConversion.h"
#include "WinEnvironment.h"

namespace {

constexpr const char kszObjectRuntime[] = "kx200obj.so";

void WriteWide(FILE* out, const wchar_t* text) {
  if (text == nullptr) return;
  char sz[5];
  for (const wchar_t* p = text; *p != 0; ++p) {
    UTF32ToUTF8(static_cast<unsigned int>(*p), sz);
    fputs(sz, out);
  }
}

const char* pszPrompt(unsigned int type) {
  switch (type) {
    case MB_OK:
      return "Appuyez sur ENTREE pour continuer : \n";
    case MB_OKCANCEL:
      return "Entrez votre choix (o = OK, c = CANCEL) pour continuer (exemple : o + ENTREE) : \n";
    case MB_YESNOCANCEL:
      return "Entrez votre choix (y = YES, n = NO, c = CANCEL) pour continuer (exemple : y + "
             "ENTREE) : \n";
    case MB_YESNO:
      return "Entrez votre choix (y = YES, n = NO) pour continuer (exemple : y + ENTREE) : \n";
    case MB_RETRYCANCEL:
      return "Entrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) "
             ": \n";
    default:
      return "Entrez votre choix (r = RETRY, a = ABORT, i = IGNORE) pour continuer (exemple : r "
             "+ ENTREE) : \n";
  }
}

bool bIsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// First character of the next word of `in`, the rest of the word consumed;
// EOF when only white space is left.
int nReadWord(FILE* in) {
  int c = getc(in);
  while (c != EOF && bIsSpace(c)) c = getc(in);
  if (c == EOF) return EOF;
  const int nFirst = c;
  do {
    c = getc(in);
  } while (c != EOF && !bIsSpace(c));
  if (c != EOF) ungetc(c, in);
  return nFirst;
}

// The object runtime if it is already loaded (a reference the caller gives
// back with dlclose), else null.
void* hFindObjectRuntime() {
  char szPath[4096];
  if (GetModuleFileNameA(nullptr, szPath, sizeof(szPath))) {
    char* pszSlash = std::strrchr(szPath, '/');
    if (pszSlash != nullptr &&
        static_cast<std::size_t>(pszSlash + 1 - szPath) + sizeof(kszObjectRuntime) <=
            sizeof(szPath)) {
      std::memcpy(pszSlash + 1, kszObjectRuntime, sizeof(kszObjectRuntime));
      if (void* h = dlopen(szPath, RTLD_NOLOAD | RTLD_NOW)) return h;
    }
  }
  return dlopen(kszObjectRuntime, RTLD_NOLOAD | RTLD_NOW);
}

}  // namespace

int MessageBox(void* window, const wchar_t* text, const wchar_t* caption, unsigned int type,
               FILE* out, FILE* in) {
  if (void* hObject = hFindObjectRuntime()) {
    int nAnswer = -1;
    if (auto pfn = reinterpret_cast<PFN_MessageBox_QT_W>(dlsym(hObject, "MessageBox_QT_W")))
      nAnswer = pfn(window, text, caption, type);
    dlclose(hObject);
    if (nAnswer != -1) return nAnswer;
  }
  return _MessageBox_NO_GUI(text, caption, type, out, in);
}

int MessageBoxW(void* /*window*/, const wchar_t* text, const wchar_t* caption, unsigned int type,
                FILE* out, FILE* in) {
  return _MessageBox_NO_GUI(text, caption, type, out, in);
}

int _MessageBox_NO_GUI(const wchar_t* text, const wchar_t* caption, unsigned int type, FILE* out,
                       FILE* in) {
  if (out == nullptr) out = stderr;
  if (in == nullptr) in = stdin;
  WriteWide(out, caption);
  fputc('\n', out);
  WriteWide(out, text);
  fputc('\n', out);
  fputs(pszPrompt(type), out);
  fflush(out);
  switch (nReadWord(in)) {
    case 'a':
      return IDABORT;
    case 'c':
      return IDCANCEL;
    case 'i':
      return IDIGNORE;
    case 'n':
      return IDNO;
    case 'r':
      fputs(
          "Dans Anjuta, utiliser la Stack Trace pour voir la fonction en cours et F7 pour "
          "reprendre l'execution\n",
          out);
      fflush(out);
      return IDRETRY;
    case 'y':
      return IDYES;
    default:
      return IDOK;
  }
}
