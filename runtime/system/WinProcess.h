// Processes and threads under their Windows names, on fork/execve, waitpid
// and POSIX threads.
//
// Texts are wide inside and UTF-8 when they reach the system. Process ids
// are the system's; thread ids are pthread_t values.
#pragma once

#include <pthread.h>
#include <sys/types.h>

#include <cstdint>

// Starts a program and, with `bWait`, waits for it for up to 1000 ms.
//
// Arguments: `application` (when given) first, then the words of
// `commandLine`, split at white space; a double quote not preceded by a
// backslash opens or closes a quoted run, in which blanks do not split, and
// is removed (a run left open extends to the end of the line; a backslash
// stays in the text). Without an application the first word is the program.
// The program is executed with execve (no search along PATH) in the current
// environment; a child whose execve fails ends with exit code 255.
//
// Fails (false, nothing started, *pid = -1) when `application` is given and
// not executable, when there is no program to start, or when the arguments
// cannot be converted. Otherwise the result of fork (-1 included) is stored
// in *pid and a failed fork returns false. Without `bWait` the result is
// then true at once. With it: *pbStillRunning is 1 when the child is still
// running after the wait, else 0; *pnExitCode is the child's exit code (see
// WaitPid; 0 while it runs); the result is false only when the child ended
// with code 255. Out-parameters may be null. All the memory the child needs
// is prepared before fork; the child only calls execve and _exit.
bool CreateProcess(const wchar_t* application, const wchar_t* commandLine, pid_t* pid,
                   bool bWait, int* pbStillRunning, int* pnExitCode);

// Waits for the child `pid` to end, polling without blocking: while it has
// not ended and `timeoutMs` has not passed, sleeps one second (nanosleep;
// no signal is used, so the disposition of SIGALRM does not matter and
// nothing can block for ever), counting 1000 ms a round.
//
// Returns 1 when the child ended: *pnExitCode is its exit status, or
// 128 + the signal number when a signal ended it. Returns 0 when it is still
// running after the timeout (*pnExitCode = 0), and -1 when waitpid fails
// (not a child of this process, or already collected; errno set,
// *pnExitCode = 0). `pnExitCode` may be null.
int WaitPid(pid_t pid, int timeoutMs, int* pnExitCode);

// Installs `handler` for SIGALRM (a handler that does nothing when null),
// without SA_RESTART, so that the signal interrupts system calls.
void InitAlarmHandler(void (*handler)(int));

// Sends SIGTERM to `pid`; `code` is not used. False for a process id of 0
// or below (which would signal process groups) or when kill fails.
bool TerminateProcess(pid_t pid, unsigned int code);

// A detached thread running routine(arg), with a stack of `stackSize` bytes
// (0: the system's default). Returns its id, or -1 (as uintptr_t) with errno
// set to the error.
std::uintptr_t _beginthread(void (*routine)(void*), unsigned int stackSize, void* arg);

// A joinable thread running routine(arg) with a stack of `stackSize` bytes
// (0: the default); the routine's result becomes the thread's exit value
// (pthread_join gives it as a pointer-sized integer). The id (a pthread_t,
// which needs 64 bits, hence the wider out-parameter) is stored in *pId
// (when given) and returned; 0 on failure. `security` and `flags` are not
// used. The caller joins or detaches the thread.
std::uintptr_t _beginthreadex(void* security, unsigned int stackSize,
                              unsigned int (*routine)(void*), void* arg, unsigned int flags,
                              std::uintptr_t* pId);
std::uintptr_t CreateThread(void* security, unsigned int stackSize,
                            unsigned int (*routine)(void*), void* arg, unsigned int flags,
                            std::uintptr_t* pId);

// pthread_setschedparam(thread, SCHED_OTHER, priority). On failure errno is
// the error and the result false.
bool SetThreadPriority(pthread_t thread, int priority);
