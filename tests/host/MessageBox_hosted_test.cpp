// MessageBox uses the object runtime only when it is already in the process:
// with the stand-in kx200obj.so loaded (by its full path, found again by its
// soname) the stand-in's answer is returned; when the stand-in answers -1 or
// is not loaded, the console box answers from its input stream.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "StandInObjControl.h"
#include "TestSupport.h"
#include "WinMessageBox.h"

namespace {

std::string ObjectRuntimePath() {
  const std::string library = kxtest::LibraryPath();
  return library.substr(0, library.rfind('/') + 1) + "kx200obj.so";
}

bool bObjectRuntimeLoaded() {
  void* h = dlopen("kx200obj.so", RTLD_NOLOAD | RTLD_NOW);
  if (h == nullptr) return false;
  dlclose(h);
  return true;
}

// A pipe holding `answer` as the box's input, and a scratch file as its
// output.
class ConsoleStreams {
 public:
  explicit ConsoleStreams(const std::string& answer) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    if (write(fds[1], answer.data(), answer.size()) != static_cast<ssize_t>(answer.size()))
      throw std::runtime_error("write");
    close(fds[1]);
    m_in = fdopen(fds[0], "r");
    m_out = tmpfile();
  }
  ~ConsoleStreams() {
    fclose(m_in);
    fclose(m_out);
  }
  FILE* in() const { return m_in; }
  FILE* out() const { return m_out; }
  std::string Shown() const {
    fflush(m_out);
    rewind(m_out);
    std::string s;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), m_out)) > 0) s.append(buf, n);
    return s;
  }
  // What is left to read.
  std::string Unread() const {
    std::string s;
    int c;
    while ((c = getc(m_in)) != EOF) s += static_cast<char>(c);
    return s;
  }

 private:
  FILE* m_in = nullptr;
  FILE* m_out = nullptr;
};

class MessageBoxWithStandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    m_obj = std::make_unique<StandInObj>(ObjectRuntimePath());
    m_obj->Reset();
  }
  std::unique_ptr<StandInObj> m_obj;
};

TEST_F(MessageBoxWithStandIn, TheStandInAnswers) {
  for (int nAnswer : {IDOK, IDNO, 0, 42}) {
    m_obj->Reset();
    m_obj->SetAnswer(nAnswer);
    ConsoleStreams streams("c\n");
    void* window = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(nAnswer, MessageBox(window, L"Le texte \u00e9", L"Titre", MB_YESNOCANCEL,
                                  streams.out(), streams.in()));
    ASSERT_EQ(1, m_obj->GetCallCount());
    STStandInObjCall call;
    ASSERT_EQ(1, m_obj->GetLastCall(&call));
    EXPECT_EQ(window, call.pWindow);
    EXPECT_STREQ(L"Le texte \u00e9", call.szText);
    EXPECT_STREQ(L"Titre", call.szCaption);
    EXPECT_EQ(MB_YESNOCANCEL, call.nType);
    // The console was left alone.
    EXPECT_EQ("", streams.Shown());
    EXPECT_EQ("c\n", streams.Unread());
  }
}

TEST_F(MessageBoxWithStandIn, MinusOneFallsBackToTheConsole) {
  m_obj->SetAnswer(-1);
  ConsoleStreams streams("c\n");
  EXPECT_EQ(IDCANCEL, MessageBox(nullptr, L"Le texte", L"Titre", MB_YESNOCANCEL, streams.out(),
                                 streams.in()));
  EXPECT_EQ(1, m_obj->GetCallCount());
  const std::string shown = streams.Shown();
  EXPECT_EQ(0u, shown.find("Titre\nLe texte\nEntrez votre choix (y = YES, n = NO, c = CANCEL)"))
      << shown;
}

// MessageBoxW never asks the object runtime.
TEST_F(MessageBoxWithStandIn, MessageBoxWIsTheConsole) {
  m_obj->SetAnswer(IDNO);
  ConsoleStreams streams("y\n");
  EXPECT_EQ(IDYES, MessageBoxW(nullptr, L"t", L"c", MB_YESNO, streams.out(), streams.in()));
  EXPECT_EQ(0, m_obj->GetCallCount());
}

TEST(MessageBoxWithoutObjectRuntime, ConsoleAnswersAndNothingIsLoaded) {
  ASSERT_FALSE(bObjectRuntimeLoaded()) << "another test left kx200obj.so loaded";
  ConsoleStreams streams("y\n");
  EXPECT_EQ(IDYES,
            MessageBox(nullptr, L"Le texte", L"Titre", MB_YESNO, streams.out(), streams.in()));
  EXPECT_EQ(0u, streams.Shown().find("Titre\nLe texte\n"));
  EXPECT_FALSE(bObjectRuntimeLoaded());
}

}  // namespace
