// The launcher's entry: bring up the application, create the window, run it.
#include "app/Install1.h"
#include "toolkit/Application.h"
#include "winapi/winapi.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    Application->Initialize();
    Application->CreateForm(&Form1);
    Application->Run();
  } catch (Exception& exception) {
    Application->ShowException(&exception);
  } catch (...) {
    try {
      throw Exception("");
    } catch (Exception& exception) {
      Application->ShowException(&exception);
    }
  }
  return 0;
}
