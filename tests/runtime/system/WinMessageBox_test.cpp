#include "WinMessageBox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Runs the console box with `answer` as its input and returns its answer;
// `shown` receives what it wrote.
int ConsoleBox(unsigned int type, const std::string& answer, std::string* shown,
               const wchar_t* text = L"Le texte", const wchar_t* caption = L"Titre \u00e9") {
  std::string input = answer;
  FILE* in = fmemopen(input.empty() ? nullptr : &input[0], input.empty() ? 1 : input.size(), "r");
  char* pszOut = nullptr;
  std::size_t nOut = 0;
  FILE* out = open_memstream(&pszOut, &nOut);
  const int nAnswer = _MessageBox_NO_GUI(text, caption, type, out, in);
  fclose(out);
  fclose(in);
  *shown = std::string(pszOut, nOut);
  free(pszOut);
  return nAnswer;
}

const char* const kResume =
    "Dans Anjuta, utiliser la Stack Trace pour voir la fonction en cours et F7 pour reprendre "
    "l'execution\n";

TEST(WinMessageBox, PromptOfEachType) {
  struct Row {
    unsigned int type;
    const char* prompt;
  } rows[] = {
      {0, "Appuyez sur ENTREE pour continuer : \n"},
      {1, "Entrez votre choix (o = OK, c = CANCEL) pour continuer (exemple : o + ENTREE) : \n"},
      {3, "Entrez votre choix (y = YES, n = NO, c = CANCEL) pour continuer (exemple : y + ENTREE) "
          ": \n"},
      {4, "Entrez votre choix (y = YES, n = NO) pour continuer (exemple : y + ENTREE) : \n"},
      {5, "Entrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) : \n"},
      {2, "Entrez votre choix (r = RETRY, a = ABORT, i = IGNORE) pour continuer (exemple : r + "
          "ENTREE) : \n"},
      {0x14, "Entrez votre choix (r = RETRY, a = ABORT, i = IGNORE) pour continuer (exemple : r + "
             "ENTREE) : \n"},  // a whole number: flags make another type
  };
  for (const Row& row : rows) {
    std::string shown;
    EXPECT_EQ(IDOK, ConsoleBox(row.type, "o\n", &shown));
    EXPECT_EQ(std::string("Titre \xc3\xa9\nLe texte\n") + row.prompt, shown) << row.type;
  }
  std::string shown;
  ConsoleBox(0, "x", &shown, nullptr, nullptr);
  EXPECT_EQ(std::string("\n\nAppuyez sur ENTREE pour continuer : \n"), shown);
}

// The answer comes from the first letter of the word, whatever the type.
TEST(WinMessageBox, AnswerOfEachLetter) {
  struct Row {
    const char* input;
    int answer;
  } rows[] = {
      {"a\n", IDABORT}, {"c\n", IDCANCEL}, {"i\n", IDIGNORE}, {"n\n", IDNO},
      {"r\n", IDRETRY}, {"y\n", IDYES},    {"yes\n", IDYES},  {"  \n\t no", IDNO},
      {"o\n", IDOK},    {"x\n", IDOK},     {"Y\n", IDOK},     {"\n", IDOK},
      {"", IDOK},  // end of input
  };
  for (unsigned int type : {0u, 1u, 3u, 4u, 5u, 2u}) {
    for (const Row& row : rows) {
      std::string shown;
      EXPECT_EQ(row.answer, ConsoleBox(type, row.input, &shown))
          << "type " << type << " input '" << row.input << "'";
      const bool bResume = shown.size() >= std::string(kResume).size() &&
                           shown.compare(shown.size() - std::string(kResume).size(),
                                         std::string::npos, kResume) == 0;
      EXPECT_EQ(row.answer == IDRETRY, bResume) << row.input;
    }
  }
}

// One word per box: the rest of the line stays for the next one.
TEST(WinMessageBox, ReadsOneWordAtATime) {
  std::string input = "yes no\n";
  FILE* in = fmemopen(&input[0], input.size(), "r");
  FILE* out = fopen("/dev/null", "w");
  EXPECT_EQ(IDYES, MessageBoxW(nullptr, L"t", L"c", MB_YESNO, out, in));
  EXPECT_EQ(IDNO, MessageBoxW(nullptr, L"t", L"c", MB_YESNO, out, in));
  EXPECT_EQ(IDOK, MessageBoxW(nullptr, L"t", L"c", MB_YESNO, out, in));
  fclose(out);
  fclose(in);
}

}  // namespace
