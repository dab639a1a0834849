#include "tests/wine/WinePrefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "tests/wine/Process.h"

namespace winetest {
namespace {

using namespace std::chrono_literals;

// The file that says the prefix is complete; written last.
constexpr const char* kReadyMarker = "launcher-tests-ready";

// Which calls of the program the relay trace (WINEDEBUG=+relay) shows.
constexpr const char* kRelayInclude =
    "user32.MessageBoxA;user32.ReleaseCapture;user32.SendMessageA;shell32.ShellExecuteA";

class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& path) : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ < 0) throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FileLock() {
    flock(fd_, LOCK_UN);
    close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

}  // namespace

WinePrefix::WinePrefix(std::filesystem::path folder, WineTools tools)
    : folder_(std::move(folder)), tools_(std::move(tools)) {
  std::filesystem::create_directories(folder_.parent_path());
  FileLock lock(folder_.string() + ".lock");
  if (!std::filesystem::exists(folder_ / kReadyMarker)) Create();
}

std::map<std::string, std::string> WinePrefix::Environment() const {
  return {
      {"WINEPREFIX", folder_.string()},
      {"WINEARCH", "win64"},
      {"WINEDEBUG", "-all"},
      // No Mono or Gecko installers, no menu entries on the host.
      {"WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe="},
  };
}

std::filesystem::path WinePrefix::SystemDirectory(bool for32Bit) const {
  return folder_ / "drive_c" / "windows" / (for32Bit ? "syswow64" : "system32");
}

void WinePrefix::KillAll() const {
  ProcessOptions kill;
  kill.argv = {tools_.wineserver, "-k"};
  kill.setEnv = Environment();
  RunToEnd(kill, 30s);
  ProcessOptions wait;
  wait.argv = {tools_.wineserver, "-w"};
  wait.setEnv = Environment();
  RunToEnd(wait, 30s);
}

std::string WinePrefix::WindowsPath(const std::filesystem::path& unixPath) {
  std::string path = "Z:" + std::filesystem::absolute(unixPath).lexically_normal().string();
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

void WinePrefix::Create() const {
  std::filesystem::remove_all(folder_);  // what a broken attempt left
  const std::filesystem::path log = folder_.string() + ".log";
  std::filesystem::remove(log);

  const auto run = [&](std::vector<std::string> argv, std::chrono::seconds timeout) {
    ProcessOptions o;
    o.argv = std::move(argv);
    o.setEnv = Environment();
    o.unsetEnv = {"DISPLAY"};  // nothing to show while it is made
    o.output = log;
    const int code = RunToEnd(o, timeout);
    if (code != 0)
      throw std::runtime_error("making the Wine prefix failed (" + o.argv[1] + " gave " + std::to_string(code) +
                               "); see " + log.string());
  };
  run({tools_.wine64, "wineboot", "-i"}, 300s);
  run({tools_.wine64, "reg", "add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/t", "REG_SZ", "/d",
       kRelayInclude, "/f"},
      120s);
  // A crashing program ends without the debugger's dialog.
  run({tools_.wine64, "reg", "add", "HKCU\\Software\\Wine\\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD",
       "/d", "0", "/f"},
      120s);
  ProcessOptions wait;
  wait.argv = {tools_.wineserver, "-w"};
  wait.setEnv = Environment();
  RunToEnd(wait, 120s);
  std::ofstream(folder_ / kReadyMarker) << "made for the launcher's Wine tests\n";
}

}  // namespace winetest
