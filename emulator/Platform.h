// The few operating-system services the emulated handheld needs: the
// waitable object of a connection attempt, the environment and a lock.
// PlatformPosix.cpp and PlatformWin32.cpp hold the two implementations.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "winapi/winapi.h"

#ifndef _WIN32
#include <ctime>
#endif

namespace rapiemu {

// The object handed out in the start record. It becomes signalled when the
// emulated connection attempt finishes, after a delay counted from its
// creation, and stays signalled until it is destroyed.
// POSIX: a file descriptor (an eventfd, or a timerfd when delayed) that
// becomes readable; the handle value is the descriptor.
// Windows: a manual-reset event, or a manual-reset waitable timer when delayed.
class ConnectSignal {
 public:
  // nullopt: the attempt never finishes. Throws std::system_error.
  explicit ConnectSignal(std::optional<std::chrono::milliseconds> delay);
  ~ConnectSignal();
  ConnectSignal(const ConnectSignal&) = delete;
  ConnectSignal& operator=(const ConnectSignal&) = delete;

  HANDLE handle() const;
  // Whether the attempt has finished, whatever the caller did with the
  // handle meanwhile (e.g. read the descriptor).
  bool finished() const;

 private:
#ifdef _WIN32
  HANDLE handle_ = nullptr;
#else
  int fd_ = -1;
  bool never_ = false;
  timespec due_{};  // CLOCK_MONOTONIC
#endif
};

// The value of an environment variable; nullopt when unset.
std::optional<std::string> EnvironmentValue(const char* name);

// Holds the process-wide lock around the emulator's state while it lives.
class StateLock {
 public:
  StateLock();
  ~StateLock();
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;
};

}  // namespace rapiemu
