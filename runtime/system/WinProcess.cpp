#include "WinProcess.h"

#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "CDiskFile.h"
#include "UnicodeConversion.h"
#include "XMalloc.h"

extern char** environ;

namespace {

bool bIsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

// Walks the words of a command line: onChar(c) for each character kept,
// onWordEnd() after each word.
template <class FChar, class FEnd>
void SplitCommandLine(const wchar_t* line, FChar onChar, FEnd onWordEnd) {
  if (line == nullptr) return;
  bool bInWord = false;
  bool bInQuote = false;
  for (const wchar_t* p = line; *p != 0; ++p) {
    const wchar_t c = *p;
    if (c == L'"' && (p == line || p[-1] != L'\\')) {
      bInQuote = !bInQuote;
      bInWord = true;  // "" is an empty word of its own
      continue;
    }
    if (!bInQuote && bIsBlank(c)) {
      if (bInWord) onWordEnd();
      bInWord = false;
      continue;
    }
    onChar(c);
    bInWord = true;
  }
  if (bInWord) onWordEnd();
}

// UTF-8 bytes of one character (a value UTF-8 cannot hold counts as "?").
int nUTF8Bytes(wchar_t c) {
  char sz[5];
  return UTF32ToUTF8(static_cast<unsigned int>(c), sz);
}

// The argument vector of a new process in one heap block: the pointer
// array (null-terminated) followed by the UTF-8 texts. Null when there is no
// program or no memory.
char** ppszBuildArguments(const wchar_t* application, const wchar_t* commandLine) {
  std::size_t nWords = 0;
  std::size_t nBytes = 0;
  if (application != nullptr) {
    ++nWords;
    nBytes += static_cast<std::size_t>(UTF8ByteLen(application)) + 1;
  }
  SplitCommandLine(
      commandLine, [&](wchar_t c) { nBytes += static_cast<std::size_t>(nUTF8Bytes(c)); },
      [&]() {
        ++nWords;
        ++nBytes;
      });
  if (nWords == 0) return nullptr;

  const std::size_t nPointers = (nWords + 1) * sizeof(char*);
  void* pBlock = XMALLOC_pNew_(nPointers + nBytes);
  if (pBlock == nullptr) return nullptr;
  char** argv = static_cast<char**>(pBlock);
  char* pText = static_cast<char*>(pBlock) + nPointers;
  std::size_t nWord = 0;
  if (application != nullptr) {
    argv[nWord++] = pText;
    pText += WideToUTF8(pText, application) + 1;
  }
  char* pStart = pText;
  SplitCommandLine(
      commandLine, [&](wchar_t c) { pText += UTF32ToUTF8(static_cast<unsigned int>(c), pText); },
      [&]() {
        *pText++ = 0;
        argv[nWord++] = pStart;
        pStart = pText;
      });
  argv[nWord] = nullptr;
  return argv;
}

void SleepOneSecond() {
  struct timespec remaining = {1, 0};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void NoAlarmAction(int) {}

struct STThreadStart {
  void (*pfnRoutine)(void*);
  unsigned int (*pfnRoutineEx)(void*);
  void* pArg;
};

void* ThreadTrampoline(void* p) {
  const STThreadStart st = *static_cast<STThreadStart*>(p);
  XMALLOC_Del_(p);
  if (st.pfnRoutineEx != nullptr) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(st.pfnRoutineEx(st.pArg)));
  }
  st.pfnRoutine(st.pArg);
  return nullptr;
}

// Starts a thread; 0 with the thread's id in *pThread, else the error.
int nStartThread(const STThreadStart& st, unsigned int stackSize, bool bDetached,
                 pthread_t* pThread) {
  if (st.pfnRoutine == nullptr && st.pfnRoutineEx == nullptr) return EINVAL;
  auto* pStart = static_cast<STThreadStart*>(XMALLOC_pNew_(sizeof(STThreadStart)));
  if (pStart == nullptr) return ENOMEM;
  *pStart = st;
  pthread_attr_t attr;
  int nError = pthread_attr_init(&attr);
  if (nError == 0 && stackSize != 0) nError = pthread_attr_setstacksize(&attr, stackSize);
  if (nError == 0 && bDetached)
    nError = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (nError == 0) nError = pthread_create(pThread, &attr, ThreadTrampoline, pStart);
  pthread_attr_destroy(&attr);
  if (nError != 0) XMALLOC_Del_(pStart);
  return nError;
}

}  // namespace

bool CreateProcess(const wchar_t* application, const wchar_t* commandLine, pid_t* pid,
                   bool bWait, int* pbStillRunning, int* pnExitCode) {
  if (pbStillRunning != nullptr) *pbStillRunning = 0;
  if (pnExitCode != nullptr) *pnExitCode = 0;
  if (pid != nullptr) *pid = -1;
  if (application != nullptr && CDiskFile::Unix_access(application, X_OK) != 0) return false;
  char** argv = ppszBuildArguments(application, commandLine);
  if (argv == nullptr) return false;

  const pid_t child = fork();
  if (child == 0) {
    execve(argv[0], argv, environ);
    _exit(255);
  }
  XMALLOC_Del_(argv);
  if (pid != nullptr) *pid = child;
  if (child < 0) return false;
  if (!bWait) return true;

  int nExitCode = 0;
  const int nState = WaitPid(child, 1000, &nExitCode);
  if (pbStillRunning != nullptr) *pbStillRunning = nState == 0 ? 1 : 0;
  if (pnExitCode != nullptr) *pnExitCode = nExitCode;
  return !(nState == 1 && nExitCode == 255);
}

int WaitPid(pid_t pid, int timeoutMs, int* pnExitCode) {
  if (pnExitCode != nullptr) *pnExitCode = 0;
  if (pid <= 0) {
    // 0 and negative ids name process groups: never collect someone else's child.
    errno = ECHILD;
    return -1;
  }
  int nElapsed = 0;
  for (;;) {
    int nStatus = 0;
    const pid_t r = waitpid(pid, &nStatus, WNOHANG);
    if (r == pid) {
      int nCode = 0;
      if (WIFEXITED(nStatus)) {
        nCode = WEXITSTATUS(nStatus);
      } else if (WIFSIGNALED(nStatus)) {
        nCode = 128 + WTERMSIG(nStatus);
      }
      if (pnExitCode != nullptr) *pnExitCode = nCode;
      return 1;
    }
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (nElapsed >= timeoutMs) return 0;
    SleepOneSecond();
    nElapsed += 1000;
  }
}

void InitAlarmHandler(void (*handler)(int)) {
  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_handler = handler != nullptr ? handler : NoAlarmAction;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGALRM, &action, nullptr);
}

bool TerminateProcess(pid_t pid, unsigned int /*code*/) {
  if (pid <= 0) return false;
  return kill(pid, SIGTERM) == 0;
}

std::uintptr_t _beginthread(void (*routine)(void*), unsigned int stackSize, void* arg) {
  pthread_t thread;
  const int nError = nStartThread(STThreadStart{routine, nullptr, arg}, stackSize, true, &thread);
  if (nError != 0) {
    errno = nError;
    return static_cast<std::uintptr_t>(-1);
  }
  return static_cast<std::uintptr_t>(thread);
}

std::uintptr_t _beginthreadex(void* /*security*/, unsigned int stackSize,
                              unsigned int (*routine)(void*), void* arg, unsigned int /*flags*/,
                              std::uintptr_t* pId) {
  pthread_t thread;
  if (nStartThread(STThreadStart{nullptr, routine, arg}, stackSize, false, &thread) != 0) return 0;
  const auto id = static_cast<std::uintptr_t>(thread);
  if (pId != nullptr) *pId = id;
  return id;
}

std::uintptr_t CreateThread(void* security, unsigned int stackSize,
                            unsigned int (*routine)(void*), void* arg, unsigned int flags,
                            std::uintptr_t* pId) {
  return _beginthreadex(security, stackSize, routine, arg, flags, pId);
}

bool SetThreadPriority(pthread_t thread, int priority) {
  struct sched_param param;
  std::memset(&param, 0, sizeof(param));
  param.sched_priority = priority;
  const int nError = pthread_setschedparam(thread, SCHED_OTHER, &param);
  if (nError != 0) {
    errno = nError;
    return false;
  }
  return true;
}
