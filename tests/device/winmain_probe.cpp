// A program built on the stand-in entry: exits with 7 when WinMain gets what
// the Windows entry would give the launcher, 1 otherwise.
#include "winapi/winapi.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  const bool expected = instance == nullptr && previous == nullptr && commandLine != nullptr &&
                        commandLine[0] == '\0' && show == SW_SHOW;
  return expected ? 7 : 1;
}
