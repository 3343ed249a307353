#include "WinProcess.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// SIGALRM at its default action (which ends the process) for the life of the
// object: waiting must not rely on it.
class DefaultAlarmAction {
 public:
  DefaultAlarmAction() {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(SIGALRM, &action, &m_former);
  }
  ~DefaultAlarmAction() { sigaction(SIGALRM, &m_former, nullptr); }

 private:
  struct sigaction m_former;
};

TEST(WinProcess, WaitingReportsExitCodesAndSignals) {
  DefaultAlarmAction alarmAtDefault;
  struct Row {
    const wchar_t* script;
    bool result;
    int exitCode;
  } rows[] = {
      {L"-c \"exit 3\"", true, 3},
      {L"-c \"kill -9 $$\"", true, 128 + 9},
      {L"-c \"exit 255\"", false, 255},  // the one code that fails
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(row.script)));
    pid_t pid = 0;
    int bStillRunning = -1;
    int nExitCode = -1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(row.result,
              CreateProcess(L"/bin/sh", row.script, &pid, true, &bStillRunning, &nExitCode));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GT(pid, 0);
    EXPECT_EQ(0, bStillRunning);
    EXPECT_EQ(row.exitCode, nExitCode);
    EXPECT_LT(elapsed, std::chrono::milliseconds(5000));  // one or two rounds, never stuck
    // Collected: nothing is left to wait for.
    EXPECT_EQ(-1, waitpid(pid, nullptr, WNOHANG));
  }
}

TEST(WinProcess, ChildStillRunningAfterTheWait) {
  DefaultAlarmAction alarmAtDefault;
  pid_t pid = 0;
  int bStillRunning = -1;
  int nExitCode = -1;
  ASSERT_TRUE(CreateProcess(L"/bin/sleep", L"30", &pid, true, &bStillRunning, &nExitCode));
  EXPECT_EQ(1, bStillRunning);
  EXPECT_EQ(0, nExitCode);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(0, WaitPid(pid, 0, &nExitCode));
  EXPECT_TRUE(TerminateProcess(pid, 0));
  EXPECT_EQ(1, WaitPid(pid, 5000, &nExitCode));
  EXPECT_EQ(128 + SIGTERM, nExitCode);
}

TEST(WinProcess, StartWithoutWaiting) {
  pid_t pid = 0;
  int bStillRunning = -1;
  int nExitCode = -1;
  ASSERT_TRUE(CreateProcess(nullptr, L"/bin/sh -c \"exit 7\"", &pid, false, &bStillRunning,
                            &nExitCode));
  ASSERT_GT(pid, 0);
  EXPECT_EQ(0, bStillRunning);
  EXPECT_EQ(1, WaitPid(pid, 5000, &nExitCode));
  EXPECT_EQ(7, nExitCode);
}

TEST(WinProcess, RefusedStarts) {
  char szFile[] = "/tmp/winprocXXXXXX";
  const int fd = mkstemp(szFile);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_EQ(0, chmod(szFile, 0644));
  pid_t pid = 0;
  // Not executable (not even for root: no execute bit at all): nothing starts.
  EXPECT_FALSE(CreateProcess(Wide(szFile).c_str(), L"", &pid, false, nullptr, nullptr));
  EXPECT_EQ(-1, pid);
  unlink(szFile);
  EXPECT_FALSE(CreateProcess(L"/nonexistent/program", L"", &pid, false, nullptr, nullptr));
  EXPECT_EQ(-1, pid);
  // No program at all.
  EXPECT_FALSE(CreateProcess(nullptr, L"   ", &pid, false, nullptr, nullptr));
  EXPECT_EQ(-1, pid);
  // No search along PATH: the child's execve fails and it ends with 255.
  int nExitCode = 0;
  EXPECT_FALSE(CreateProcess(nullptr, L"sh -c true", &pid, true, nullptr, &nExitCode));
  EXPECT_EQ(255, nExitCode);

  // Process ids that name groups are refused, never waited for or signalled.
  EXPECT_EQ(-1, WaitPid(0, 0, &nExitCode));
  EXPECT_EQ(-1, WaitPid(-1, 0, &nExitCode));
  EXPECT_EQ(-1, WaitPid(getpid(), 0, &nExitCode));  // not a child
  EXPECT_EQ(ECHILD, errno);
  EXPECT_FALSE(TerminateProcess(0, 0));
  EXPECT_FALSE(TerminateProcess(-1, 0));
}

// The command line is split at blanks; double quotes group and are removed,
// a quote after a backslash is an ordinary character.
TEST(WinProcess, CommandLineWords) {
  char szDir[] = "/tmp/winprocXXXXXX";
  ASSERT_NE(nullptr, mkdtemp(szDir));
  const std::string script = std::string(szDir) + "/args.sh";
  const std::string out = std::string(szDir) + "/out";
  {
    std::ofstream f(script);
    f << "#!/bin/sh\no=$1\nshift\nprintf '<%s>' \"$0\" \"$@\" > \"$o\"\n";
  }
  ASSERT_EQ(0, chmod(script.c_str(), 0755));

  struct Row {
    bool bApplication;
    std::wstring line;
    std::string expected;
  } rows[] = {
      {false, Wide(script + " " + out) + L" a  \"b c\"\t\"\" x\"y z\"w p\\\"q \u00e9",
       "<" + script + "><a><b c><><xy zw><p\\\"q><\xc3\xa9>"},
      {true, Wide(out) + L" \"one two", "<" + script + "><one two>"},
  };
  for (const Row& row : rows) {
    unlink(out.c_str());
    pid_t pid = 0;
    ASSERT_TRUE(CreateProcess(row.bApplication ? Wide(script).c_str() : nullptr, row.line.c_str(),
                              &pid, false, nullptr, nullptr));
    int nStatus = -1;
    ASSERT_EQ(pid, waitpid(pid, &nStatus, 0));
    EXPECT_EQ(0, nStatus);
    std::ifstream f(out);
    std::stringstream text;
    text << f.rdbuf();
    EXPECT_EQ(row.expected, text.str());
  }
  unlink(out.c_str());
  unlink(script.c_str());
  rmdir(szDir);
}

std::atomic<int> g_nAlarms{0};
void CountAlarm(int) { ++g_nAlarms; }

TEST(WinProcess, AlarmHandlerInterruptsSystemCalls) {
  struct sigaction former;
  sigaction(SIGALRM, nullptr, &former);

  InitAlarmHandler(CountAlarm);
  struct sigaction now;
  sigaction(SIGALRM, nullptr, &now);
  EXPECT_EQ(0, now.sa_flags & SA_RESTART);
  raise(SIGALRM);
  EXPECT_EQ(1, g_nAlarms.load());

  // Without a handler the signal is caught and ignored, not fatal.
  InitAlarmHandler(nullptr);
  raise(SIGALRM);
  EXPECT_EQ(1, g_nAlarms.load());

  sigaction(SIGALRM, &former, nullptr);
}

std::atomic<int> g_nDetachedRuns{0};

TEST(WinProcess, Threads) {
  auto detached = [](void* arg) {
    *static_cast<int*>(arg) = 42;
    ++g_nDetachedRuns;
  };
  int nValue = 0;
  const std::uintptr_t idDetached = _beginthread(detached, 256 * 1024, &nValue);
  ASSERT_NE(static_cast<std::uintptr_t>(-1), idDetached);
  for (int i = 0; i < 500 && g_nDetachedRuns.load() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(1, g_nDetachedRuns.load());
  EXPECT_EQ(42, nValue);

  auto joinable = [](void* arg) -> unsigned int { return *static_cast<unsigned int*>(arg) * 2; };
  unsigned int nInput = 21;
  std::uintptr_t id = 0;
  const std::uintptr_t handle = _beginthreadex(nullptr, 0, joinable, &nInput, 0, &id);
  ASSERT_NE(0u, handle);
  EXPECT_EQ(handle, id);
  void* result = nullptr;
  ASSERT_EQ(0, pthread_join(static_cast<pthread_t>(id), &result));
  EXPECT_EQ(42u, reinterpret_cast<std::uintptr_t>(result));

  const std::uintptr_t handle2 = CreateThread(nullptr, 0, joinable, &nInput, 0, nullptr);
  ASSERT_NE(0u, handle2);
  ASSERT_EQ(0, pthread_join(static_cast<pthread_t>(handle2), &result));
  EXPECT_EQ(42u, reinterpret_cast<std::uintptr_t>(result));

  // A stack below the system's minimum is refused with the error.
  errno = 0;
  EXPECT_EQ(static_cast<std::uintptr_t>(-1), _beginthread(detached, 16, &nValue));
  EXPECT_EQ(EINVAL, errno);
  EXPECT_EQ(0u, _beginthreadex(nullptr, 16, joinable, &nInput, 0, &id));

  EXPECT_TRUE(SetThreadPriority(pthread_self(), 0));
  errno = 0;
  EXPECT_FALSE(SetThreadPriority(pthread_self(), 5));  // the ordinary policy has only 0
  EXPECT_EQ(EINVAL, errno);
}

}  // namespace
