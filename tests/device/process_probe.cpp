// Started by the ShellExecuteA tests in place of an installer: writes what
// it inherited to the file named by its first argument (whole, then renamed).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  sigset_t mask;
  sigprocmask(SIG_SETMASK, nullptr, &mask);
  int blocked = 0;
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
    if (sigismember(&mask, signalNumber) == 1) ++blocked;
  }
  struct sigaction term {};
  sigaction(SIGTERM, nullptr, &term);

  const std::string path = argv[1];
  const std::string part = path + ".part";
  std::FILE* out = std::fopen(part.c_str(), "w");
  if (out == nullptr) return 3;
  std::fprintf(out, "blocked %d\n", blocked);
  std::fprintf(out, "sigterm %s\n", term.sa_handler == SIG_IGN ? "ignored" : "default");
  std::fprintf(out, "fd77 %s\n", fcntl(77, F_GETFD) == -1 ? "closed" : "open");
  std::fprintf(out, "session %s\n", getsid(0) == getpid() ? "own" : "inherited");
  std::fclose(out);
  return std::rename(part.c_str(), path.c_str()) == 0 ? 0 : 4;
}
