#include "toolkit/Application.h"

#include <cstdio>

#include "toolkit/Form.h"
#include "toolkit/Resources.h"
#include "winapi/winapi.h"
#ifndef _WIN32
#include "winapi/posix_hooks.h"
#endif

#ifdef _WIN32
#include <filesystem>
#else
#include <unistd.h>

#include <climits>
#endif

namespace {

TApplication& TheApplication() {
  static TApplication application;
  return application;
}

std::string ProgramTitle() {
  std::string path;
#ifdef _WIN32
  char buffer[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  path.assign(buffer, n);
  const auto slash = path.find_last_of("\\/");
#else
  char buffer[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) path.assign(buffer, static_cast<std::size_t>(n));
  const auto slash = path.find_last_of('/');
#endif
  if (slash != std::string::npos) path.erase(0, slash + 1);
  const auto dot = path.find_last_of('.');
  if (dot != std::string::npos && dot > 0) path.erase(dot);
  return path;
}

#ifndef _WIN32
TForm* FormWithCapture() {
  TApplication* app = Application;
  for (int i = 0; i < app->ComponentCount(); ++i)
    if (auto* form = dynamic_cast<TForm*>(app->Components(i)); form && form->CaptureControl()) return form;
  return nullptr;
}

void RouteStandIns() {
  auto& hooks = winapi_posix::hooks();
  hooks.releaseCapture = []() -> BOOL {
    TForm* form = FormWithCapture();
    if (form) form->ReleaseMouseCapture();
    return TRUE;
  };
  hooks.sendMessage = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    TForm* form = TForm::FromHandle(hwnd);
    return form ? form->Perform(message, wParam, lParam) : 0;
  };
  hooks.messageBox = [](HWND, LPCSTR text, LPCSTR caption, UINT type) -> int {
    const bool error = (type & 0xF0) == MB_ICONERROR;
    return toolkit::ShowDefaultMessageBox(caption ? caption : "", text ? text : "", error) ? IDOK : 0;
  };
}
#endif

}  // namespace

TApplication* Application = &TheApplication();

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
  // Forms go first, while the backends they hold can still shut down.
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
}

void TApplication::Initialize() {
  Title = ProgramTitle();
#ifndef _WIN32
  RouteStandIns();
#endif
  const auto iconData = toolkit::FindEmbeddedResource("MAINICON");
  if (!iconData.empty()) {
    try {
      icon_.LoadFromBmp(iconData);
    } catch (const Exception&) {
      icon_ = TBitmap();  // a window without an icon is still a window
    }
  }
}

std::unique_ptr<toolkit::Backend> TApplication::NewBackend() {
  return factory_ ? factory_() : toolkit::CreateDefaultBackend();
}

void TApplication::Run() {
  TForm* form = MainForm;
  if (!form) return;
  form->Show();
  while (!terminated_ && !form->Closed()) {
    try {
      form->Update();
      toolkit::BackendEvent event;
      toolkit::Backend* window = form->NativeWindow();
      if (!window || !window->WaitEvent(event)) break;
      form->DispatchEvent(event);
    } catch (const Exception& e) {
      ShowException(&e);
    } catch (const std::exception& e) {
      const Exception wrapped(e.what());
      ShowException(&wrapped);
    }
  }
  form->DestroyHandle();
}

void TApplication::ShowException(const Exception* e) {
  const std::string message = e ? e->Message : std::string();
  std::fprintf(stderr, "%s: %s\n", Title.empty() ? "Exception" : Title.c_str(), message.c_str());
  std::fflush(stderr);
  MessageBoxA(nullptr, message.c_str(), Title.c_str(), MB_OK | MB_ICONERROR);
}
