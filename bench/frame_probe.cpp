// Starts a windowed program on the current X display and measures it:
//   - first frame: the time from just before posix_spawn until the screen
//     shows the expected background pixels at a few points of the window;
//   - peak resident memory (VmHWM) once the window shows;
//   - optionally, an idle period with no input: CPU time used in it (all
//     threads, from /proc/<pid>/task/*/schedstat, in nanoseconds) and the
//     program's own wake-ups (voluntary context switches of all threads).
// It then ends the program (SIGTERM) and prints key=value lines, among them
// start_clock_ms, the monotonic clock at the start, against which marks the
// program leaves (bench/startup_marks.c) can be read.
//
//   frame_probe --bitmap <file.bmp> --origin X,Y [--search L,T,R,B]
//               [--idle SECONDS] [--settle MS] [--env NAME=VALUE]...
//               -- <program> [args...]
//
// The points checked are picked from the bitmap inside the search rectangle
// (bitmap coordinates): pixels that are neither white nor black and that the
// screen does not show already before the start. The pointer is moved to
// the screen's corner first so that the program gets no pointer events.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Die(const std::string& why) {
  std::fprintf(stderr, "frame_probe: %s\n", why.c_str());
  std::exit(2);
}

struct Bitmap {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB, top-down
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

std::uint32_t U32(const std::string& b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
         static_cast<std::uint8_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

// An uncompressed 24-bit BMP.
Bitmap LoadBmp(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::string b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') Die(std::string(path) + ": not a BMP file");
  const std::uint32_t offset = U32(b, 10);
  const auto width = static_cast<std::int32_t>(U32(b, 18));
  const auto rawHeight = static_cast<std::int32_t>(U32(b, 22));
  const unsigned bits = static_cast<std::uint8_t>(b[28]) | static_cast<std::uint8_t>(b[29]) << 8;
  if (bits != 24 || width <= 0 || rawHeight == 0) Die(std::string(path) + ": not a 24-bit bitmap");
  Bitmap bmp;
  bmp.width = width;
  bmp.height = rawHeight < 0 ? -rawHeight : rawHeight;
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  if (offset + stride * bmp.height > b.size()) Die(std::string(path) + ": truncated");
  bmp.pixels.resize(static_cast<std::size_t>(width) * bmp.height);
  for (int y = 0; y < bmp.height; ++y) {
    const int row = rawHeight > 0 ? bmp.height - 1 - y : y;
    for (int x = 0; x < width; ++x) {
      const std::size_t at = offset + row * stride + x * 3;
      bmp.pixels[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(b[at + 2]) << 16 |
                                                             static_cast<std::uint8_t>(b[at + 1]) << 8 |
                                                             static_cast<std::uint8_t>(b[at]);
    }
  }
  return bmp;
}

struct Point {
  int x, y;  // screen
  std::uint32_t rgb;
};

std::uint32_t ScreenPixel(Display* display, int x, int y) {
  XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFFu;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return static_cast<std::uint32_t>(pixel & 0xFFFFFF);
}

bool NearWhiteOrBlack(std::uint32_t rgb) {
  const int r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  return (r > 247 && g > 247 && b > 247) || (r < 8 && g < 8 && b < 8);
}

std::vector<Point> PickPoints(Display* display, const Bitmap& bmp, int originX, int originY, const int search[4]) {
  std::vector<Point> candidates;
  for (int y = search[1]; y < search[3] && y < bmp.height; y += 16)
    for (int x = search[0]; x < search[2] && x < bmp.width; x += 16) {
      const std::uint32_t rgb = bmp.At(x, y);
      if (!NearWhiteOrBlack(rgb)) candidates.push_back({originX + x, originY + y, rgb});
    }
  std::vector<Point> picked;
  if (candidates.empty()) return picked;
  for (std::size_t i : {std::size_t{0}, candidates.size() / 2, candidates.size() - 1}) {
    const Point& p = candidates[i];
    if (ScreenPixel(display, p.x, p.y) != p.rgb) picked.push_back(p);
  }
  return picked;
}

struct TaskTotals {
  double cpuMs = 0;         // on-CPU time of all threads
  long voluntary = 0;       // voluntary context switches of all threads
  long involuntary = 0;
  int threads = 0;
};

TaskTotals ReadTasks(pid_t pid) {
  TaskTotals t;
  const std::string base = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(base.c_str());
  if (!dir) return t;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    ++t.threads;
    std::ifstream sched(base + "/" + e->d_name + "/schedstat");
    unsigned long long ns = 0;
    sched >> ns;
    t.cpuMs += static_cast<double>(ns) / 1e6;
    std::ifstream status(base + "/" + e->d_name + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) t.voluntary += std::stol(line.substr(24));
      if (line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) t.involuntary += std::stol(line.substr(27));
    }
  }
  closedir(dir);
  return t;
}

long StatusKb(pid_t pid, const char* field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  const std::string prefix = std::string(field) + ":";
  for (std::string line; std::getline(status, line);)
    if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
  return -1;
}

// Fields of /proc/<pid>/stat, numbered as in proc(5) (1 is the pid).
std::vector<long> StatFields(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string s{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<long> fields(4, 0);  // [0] unused, then the pid, the name and the state
  const auto close = s.rfind(')');
  if (close == std::string::npos) return fields;
  std::istringstream rest(s.substr(close + 2));
  std::string f;
  rest >> f;  // the state
  while (rest >> f) fields.push_back(std::atol(f.c_str()));
  return fields;
}

// utime + stime, in clock ticks.
long StatTicks(pid_t pid) {
  const std::vector<long> f = StatFields(pid);
  return f.size() > 15 ? f[14] + f[15] : 0;
}

// Minor page faults so far.
long MinorFaults(pid_t pid) {
  const std::vector<long> f = StatFields(pid);
  return f.size() > 10 ? f[10] : 0;
}

// SIGTERM, and SIGKILL when that has not ended it within 3 s.
void EndProgram(pid_t pid) {
  kill(pid, SIGTERM);
  const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidFd >= 0) {
    pollfd p{pidFd, POLLIN, 0};
    if (poll(&p, 1, 3000) <= 0) kill(pid, SIGKILL);
    close(pidFd);
  }
  waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const char* bitmapPath = nullptr;
  int origin[2] = {0, 0};
  int search[4] = {0, 0, 1 << 20, 1 << 20};
  double idleSeconds = 0;
  int settleMs = 300;
  std::vector<std::string> extraEnv;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") { ++i; break; }
    if (i + 1 >= argc) Die("missing value after " + a);
    if (a == "--bitmap") bitmapPath = argv[++i];
    else if (a == "--origin") std::sscanf(argv[++i], "%d,%d", &origin[0], &origin[1]);
    else if (a == "--search") std::sscanf(argv[++i], "%d,%d,%d,%d", &search[0], &search[1], &search[2], &search[3]);
    else if (a == "--idle") idleSeconds = std::atof(argv[++i]);
    else if (a == "--settle") settleMs = std::atoi(argv[++i]);
    else if (a == "--env") extraEnv.push_back(argv[++i]);
    else Die("unknown option " + a);
  }
  if (!bitmapPath || i >= argc) Die("usage: frame_probe --bitmap F --origin X,Y [--search L,T,R,B] [--idle S] -- program...");

  Display* display = XOpenDisplay(nullptr);
  if (!display) Die("cannot open the display");
  XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, 0, 0);
  XSync(display, False);
  const Bitmap bmp = LoadBmp(bitmapPath);
  const std::vector<Point> points = PickPoints(display, bmp, origin[0], origin[1], search);
  if (points.empty()) Die("no usable check point: the bitmap is all white or black there, or already on screen");

  std::vector<char*> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  for (std::string& e : extraEnv) env.push_back(e.data());
  env.push_back(nullptr);

  const auto start = Clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[i], nullptr, nullptr, argv + i, env.data()) != 0) Die(std::string("cannot start ") + argv[i]);

  bool shown = false;
  const auto deadline = start + std::chrono::seconds(15);
  while (!shown && Clock::now() < deadline) {
    shown = true;
    for (const Point& p : points)
      if (ScreenPixel(display, p.x, p.y) != p.rgb) { shown = false; break; }
    if (!shown) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) Die(std::string(argv[i]) + " ended before showing its window");
      std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
  }
  const double firstFrameMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const long faults = MinorFaults(pid);
  if (!shown) {
    EndProgram(pid);
    Die("the window did not show its background within 15 s");
  }
  std::printf("first_frame_ms=%.3f\n", firstFrameMs);
  std::printf("minor_faults_at_first_frame=%ld\n", faults);
  std::printf("start_clock_ms=%.3f\n", std::chrono::duration<double, std::milli>(start.time_since_epoch()).count());

  std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
  if (idleSeconds > 0) {
    const TaskTotals before = ReadTasks(pid);
    const long ticksBefore = StatTicks(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    const TaskTotals after = ReadTasks(pid);
    std::printf("idle_seconds=%.1f\n", idleSeconds);
    std::printf("idle_cpu_ms=%.3f\n", after.cpuMs - before.cpuMs);
    std::printf("idle_cpu_ticks=%ld\n", StatTicks(pid) - ticksBefore);
    std::printf("idle_voluntary_switches=%ld\n", after.voluntary - before.voluntary);
    std::printf("idle_involuntary_switches=%ld\n", after.involuntary - before.involuntary);
    std::printf("threads=%d\n", after.threads);
  }
  std::printf("vm_hwm_kb=%ld\n", StatusKb(pid, "VmHWM"));
  std::printf("vm_rss_kb=%ld\n", StatusKb(pid, "VmRSS"));

  EndProgram(pid);
  XCloseDisplay(display);
  return 0;
}
