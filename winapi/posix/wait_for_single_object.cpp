// WaitForSingleObject for the launcher's POSIX builds.
//
// A HANDLE here holds a file descriptor ((intptr_t)handle), and the object is
// signalled while that descriptor is readable: data waiting, or the writing
// side closed (hang-up). The wait only polls the descriptor; it never reads
// from it, so a signalled object stays signalled for the next wait.
//
// - readable within the time: WAIT_OBJECT_0
// - not readable within the time: WAIT_TIMEOUT (0 ms just looks once;
//   INFINITE waits without limit)
// - not an open descriptor, or an error condition on it alone: WAIT_FAILED,
//   with ERROR_INVALID_HANDLE as the last error
//
// A wait interrupted by a signal goes on for the time that is left, measured
// on the monotonic clock, so neither wall-clock changes nor signals shorten
// or lengthen it.
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>

#include "winapi/winapi.h"

namespace {

using Clock = std::chrono::steady_clock;

DWORD Failed() {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

// What is left until the deadline, in whole milliseconds rounded up so the
// wait never ends early, and cut to what poll() takes in one call.
int RemainingMilliseconds(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return 0;
  if (left.count() > INT_MAX) return INT_MAX;
  return static_cast<int>(left.count());
}

}  // namespace

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  const auto descriptor = reinterpret_cast<std::intptr_t>(hHandle);
  if (descriptor < 0 || descriptor > INT_MAX) {
    return Failed();
  }
  const bool forever = dwMilliseconds == INFINITE;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(dwMilliseconds);

  pollfd watched{};
  watched.fd = static_cast<int>(descriptor);
  watched.events = POLLIN;
  for (;;) {
    const int timeout = forever ? -1 : RemainingMilliseconds(deadline);
    watched.revents = 0;
    const int ready = ::poll(&watched, 1, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return Failed();
    }
    if (ready == 0) {
      // poll() waited its whole timeout; a long wait cut to INT_MAX ms in one
      // call goes round again until the deadline has passed.
      if (!forever && RemainingMilliseconds(deadline) == 0) return WAIT_TIMEOUT;
      continue;
    }
    if (watched.revents & POLLNVAL) return Failed();
    if (watched.revents & (POLLIN | POLLHUP)) return WAIT_OBJECT_0;
    return Failed();  // POLLERR without anything to read
  }
}
