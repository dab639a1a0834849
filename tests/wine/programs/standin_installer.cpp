// A stand-in for the driver installers the launcher starts. It records that
// it ran by appending one line to launches.log in its own folder: its file
// name, what followed the program on its command line, and its current
// directory, separated by tabs. Then it ends.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (valid()) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The command line after the program's own token (quoted or up to a blank).
std::string Arguments() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    for (++p; *p && *p != '"'; ++p) {
    }
    if (*p) ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

std::string CurrentDirectory() {
  char buffer[MAX_PATH] = {};
  const DWORD n = GetCurrentDirectoryA(MAX_PATH, buffer);
  return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  const std::string self(path, n);
  const auto slash = self.find_last_of("\\/");
  const std::string folder = self.substr(0, slash + 1);
  const std::string line = self.substr(slash + 1) + "\t" + Arguments() + "\t" + CurrentDirectory() + "\r\n";

  FileHandle log(CreateFileA((folder + "launches.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log.valid()) return 2;
  DWORD written = 0;
  if (!WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) return 3;
  return written == line.size() ? 0 : 3;
}
