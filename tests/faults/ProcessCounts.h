// What a process holds that a long run could leak: open descriptors and
// threads (from /proc/self), and standard error captured into a file so a
// provider's call trace can be read back.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace faults {

// Entries of a /proc/self folder (the iteration's own descriptor counts
// the same every time).
inline std::size_t CountEntries(const char* folder) {
  std::size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++n;
  }
  return n;
}
inline std::size_t OpenDescriptors() { return CountEntries("/proc/self/fd"); }
inline std::size_t Threads() { return CountEntries("/proc/self/task"); }

// While it lives, standard error goes to a file; Text() reads what came.
class CapturedStderr {
 public:
  explicit CapturedStderr(std::filesystem::path file) : file_(std::move(file)) {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (saved_ < 0 || fd < 0) throw std::runtime_error("cannot capture standard error into " + file_.string());
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~CapturedStderr() { Restore(); }
  CapturedStderr(const CapturedStderr&) = delete;
  CapturedStderr& operator=(const CapturedStderr&) = delete;

  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  std::string Text() {
    std::fflush(stderr);
    std::ifstream in(file_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path file_;
  int saved_ = -1;
};

}  // namespace faults
