// The program's entry on POSIX systems: the same WinMain as on Windows,
// called with no instance, an empty command line (the launcher reads none)
// and the ordinary show command.
#include "winapi/winapi.h"

int main(int, char**) {
  static char emptyCommandLine[] = "";
  return WinMain(nullptr, nullptr, emptyCommandLine, SW_SHOW);
}
