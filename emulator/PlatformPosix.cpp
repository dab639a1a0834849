#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <system_error>

#include "emulator/Platform.h"

namespace rapiemu {

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

timespec Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now;
}

bool NotBefore(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

std::mutex& StateMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

ConnectSignal::ConnectSignal(std::optional<std::chrono::milliseconds> delay) {
  never_ = !delay;
  if (!delay || delay->count() == 0) {
    fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd_ < 0) ThrowErrno("eventfd");
    due_ = Now();
    if (delay) {
      const std::uint64_t one = 1;
      if (write(fd_, &one, sizeof one) != static_cast<ssize_t>(sizeof one)) {
        const int error = errno;
        close(fd_);
        throw std::system_error(error, std::generic_category(), "eventfd write");
      }
    }
    return;
  }
  fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
  if (fd_ < 0) ThrowErrno("timerfd_create");
  // The timer is armed for the same absolute moment that finished() compares
  // with, so the two never disagree.
  due_ = Now();
  const auto count = delay->count();
  due_.tv_sec += static_cast<time_t>(count / 1000);
  due_.tv_nsec += static_cast<long>(count % 1000) * 1000000L;
  if (due_.tv_nsec >= 1000000000L) {
    due_.tv_sec += 1;
    due_.tv_nsec -= 1000000000L;
  }
  itimerspec arming{};
  arming.it_value = due_;
  if (timerfd_settime(fd_, TFD_TIMER_ABSTIME, &arming, nullptr) != 0) {
    const int error = errno;
    close(fd_);
    throw std::system_error(error, std::generic_category(), "timerfd_settime");
  }
}

ConnectSignal::~ConnectSignal() {
  if (fd_ >= 0) close(fd_);
}

HANDLE ConnectSignal::handle() const {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd_));
}

bool ConnectSignal::finished() const { return !never_ && NotBefore(Now(), due_); }

std::optional<std::string> EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

StateLock::StateLock() { StateMutex().lock(); }
StateLock::~StateLock() { StateMutex().unlock(); }

}  // namespace rapiemu
