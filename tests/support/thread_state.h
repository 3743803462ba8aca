#pragma once
// Where another thread of this process stands, as the kernel reports it: a test waits until a
// thread sleeps inside a given system call (accept, a receive, the wait for input) instead of
// guessing with a sleep how long the thread needs to get there. On Linux:
// /proc/self/task/<tid>/syscall names the call a sleeping thread is in, and says "running"
// for a thread that runs or is about to run (woken, say, by the bytes it waited for). The
// Windows test programs cannot look, and wait a fixed short time instead (thread_state.cpp).

#include <sys/types.h>

#include <atomic>
#include <vector>

namespace tavo::testsupport {

// The calling thread's kernel id, to hand to another thread.
pid_t ThisThreadId();

// System calls, by group: a wait for input (poll, select and their variants; the socket
// binding's select is built on poll), a blocking receive, a blocking accept.
std::vector<long> WaitCalls();
std::vector<long> ReceiveCalls();
std::vector<long> AcceptCalls();

// How often thread ATid has gone to sleep so far (its voluntary context switches); -1 when
// that cannot be read. A thread that sleeps again after a count was taken has run since.
long SleepCount(pid_t ATid);

// Waits until thread ATid sleeps inside one of ACalls, after more than ASleptMoreThan sleeps
// when that is given (so a sleep that began before the count was taken does not count: the
// thread must have woken and gone to sleep again). False when it did not within ATimeoutMs,
// when *AStop became true, or when the thread's state cannot be read (the thread ended, or
// the kernel does not report it).
bool WaitUntilBlockedIn(pid_t ATid, const std::vector<long>& ACalls, int ATimeoutMs,
                        const std::atomic<bool>* AStop = nullptr, long ASleptMoreThan = -1);

}  // namespace tavo::testsupport
