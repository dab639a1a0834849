#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "emulator/Platform.h"

namespace rapiemu {

namespace {

[[noreturn]] void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

SRWLOCK g_stateLock = SRWLOCK_INIT;

}  // namespace

ConnectSignal::ConnectSignal(std::optional<std::chrono::milliseconds> delay) {
  if (!delay || delay->count() == 0) {
    handle_ = CreateEventW(nullptr, TRUE, delay ? TRUE : FALSE, nullptr);
    if (!handle_) ThrowLastError("CreateEvent");
    return;
  }
  handle_ = CreateWaitableTimerW(nullptr, TRUE, nullptr);
  if (!handle_) ThrowLastError("CreateWaitableTimer");
  LARGE_INTEGER due{};
  due.QuadPart = -static_cast<LONGLONG>(delay->count()) * 10000;  // relative, 100 ns units
  if (!SetWaitableTimer(handle_, &due, 0, nullptr, nullptr, FALSE)) {
    const DWORD error = GetLastError();
    CloseHandle(handle_);
    throw std::system_error(static_cast<int>(error), std::system_category(), "SetWaitableTimer");
  }
}

ConnectSignal::~ConnectSignal() {
  if (handle_) CloseHandle(handle_);
}

HANDLE ConnectSignal::handle() const { return handle_; }

bool ConnectSignal::finished() const { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

std::optional<std::string> EnvironmentValue(const char* name) {
  SetLastError(ERROR_SUCCESS);
  DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::vector<char> buffer(size);
  size = GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::string(buffer.data(), size);
}

StateLock::StateLock() { AcquireSRWLockExclusive(&g_stateLock); }
StateLock::~StateLock() { ReleaseSRWLockExclusive(&g_stateLock); }

}  // namespace rapiemu
