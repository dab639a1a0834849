// WaitForSingleObject's stand-in on a descriptor: signalled while readable.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "winapi/winapi.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A pipe whose read end stands for the event.
class Pipe {
 public:
  Pipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) ADD_FAILURE() << "pipe2 failed";
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  HANDLE Event() const { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fds_[0])); }
  int ReadEnd() const { return fds_[0]; }
  void Signal() const { ASSERT_EQ(::write(fds_[1], "x", 1), 1); }
  void CloseRead() { Close(fds_[0]); }
  void CloseWrite() { Close(fds_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int fds_[2] = {-1, -1};
};

milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

void Ignore(int) {}

}  // namespace

TEST(WaitForSingleObject, TimesOutAfterTheTimeout) {
  Pipe pipe;
  for (const DWORD timeout : {DWORD{0}, DWORD{50}, DWORD{300}}) {
    SCOPED_TRACE(timeout);
    const auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(pipe.Event(), timeout), WAIT_TIMEOUT);
    const auto elapsed = Since(start);
    EXPECT_GE(elapsed, milliseconds(timeout));
    EXPECT_LT(elapsed, milliseconds(timeout + 500));
  }
}

TEST(WaitForSingleObject, SignalledAtOnceAndNotConsumed) {
  Pipe pipe;
  pipe.Signal();
  const auto start = Clock::now();
  EXPECT_EQ(WaitForSingleObject(pipe.Event(), 2000), WAIT_OBJECT_0);
  EXPECT_LT(Since(start), milliseconds(500));
  EXPECT_EQ(WaitForSingleObject(pipe.Event(), 0), WAIT_OBJECT_0) << "the wait consumed the event";
  char byte = 0;
  EXPECT_EQ(::read(pipe.ReadEnd(), &byte, 1), 1);
  EXPECT_EQ(byte, 'x');
}

TEST(WaitForSingleObject, SignalledWhileWaiting) {
  Pipe pipe;
  std::thread signaller([&pipe] {
    std::this_thread::sleep_for(milliseconds(100));
    pipe.Signal();
  });
  const auto start = Clock::now();
  EXPECT_EQ(WaitForSingleObject(pipe.Event(), INFINITE), WAIT_OBJECT_0);
  EXPECT_GE(Since(start), milliseconds(90));
  signaller.join();
}

TEST(WaitForSingleObject, ClosedWritingSideSignals) {
  Pipe pipe;
  pipe.CloseWrite();
  EXPECT_EQ(WaitForSingleObject(pipe.Event(), 1000), WAIT_OBJECT_0);
}

TEST(WaitForSingleObject, InvalidHandlesFail) {
  Pipe pipe;
  const HANDLE closed = pipe.Event();
  pipe.CloseRead();
  const HANDLE handles[] = {closed, reinterpret_cast<HANDLE>(std::intptr_t{-1})};
  for (const HANDLE handle : handles) {
    SetLastError(ERROR_SUCCESS);
    const auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(handle, 1000), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_LT(Since(start), milliseconds(500)) << "a bad handle must fail at once";
  }
}

TEST(WaitForSingleObject, SignalsNeitherShortenNorRestartTheWait) {
  struct sigaction quiet {};
  quiet.sa_handler = Ignore;  // no SA_RESTART: poll() sees EINTR
  sigemptyset(&quiet.sa_mask);
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGUSR1, &quiet, &previous), 0);

  Pipe pipe;
  const pthread_t waiter = ::pthread_self();
  std::thread interrupter([waiter] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(milliseconds(100));
      ::pthread_kill(waiter, SIGUSR1);
    }
  });
  const auto start = Clock::now();
  const DWORD result = WaitForSingleObject(pipe.Event(), 400);
  const auto elapsed = Since(start);
  interrupter.join();
  ::sigaction(SIGUSR1, &previous, nullptr);

  EXPECT_EQ(result, WAIT_TIMEOUT);
  EXPECT_GE(elapsed, milliseconds(400));
  // Restarting with the full time after each signal would take 700 ms or more.
  EXPECT_LT(elapsed, milliseconds(650));
}
