// Fuzzes the form-stream layer and the window built from a stream.
//
// Every input is read both as a binary stream and as the text form. Either
// reader may refuse it with an Exception; nothing else may escape, and the
// sanitizers watch every byte touched. What a reader accepts must survive
// being written back: the written stream reads again, and writing that gives
// the very same bytes.
//
// A binary stream that holds a TForm1 is then loaded as the launcher's
// window on the headless backend, shown, and given a short round of pointer
// events over every item, the background and outside the window.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

#include "app/Install1.h"
#include "rapi/RapiLoader.h"
#include "toolkit/Application.h"
#include "toolkit/FormStream.h"
#include "toolkit/headless/HeadlessBackend.h"
#include "winapi/posix_hooks.h"

namespace {

// A 1x1 24-bit bitmap: what every TBitmap('file') of a text input refers to.
const std::vector<std::uint8_t> kTinyBmp = {
    'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
    40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0,  // info header
    0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0,
    0x10, 0x20, 0x30, 0,  // the pixel and its row padding
};

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "fuzz_form_stream: %s\n", what);
  std::abort();
}

// Writing back what was read must give a stream that reads again and writes
// the same bytes. The writer may refuse a tree it cannot represent.
void CheckRoundTrip(const formstream::Component& read) {
  std::vector<std::uint8_t> written;
  try {
    written = formstream::WriteBinary(read);
  } catch (const Exception&) {
    return;
  }
  formstream::Component again;
  try {
    again = formstream::ReadBinary(written);
  } catch (const Exception& e) {
    std::fprintf(stderr, "reading the written stream failed: %s\n", e.Message.c_str());
    Fault("a written stream does not read back");
  }
  if (formstream::WriteBinary(again) != written) Fault("a written stream does not write back the same");
}

// The remote API refuses at once, so INSTALL's action ends without a wait.
HRESULT RefuseInit(RAPIINIT*) { return E_FAIL; }
HRESULT NoUninit() { return E_FAIL; }
LONG NoOpen(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) { return 6; }
LONG NoQuery(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { return 6; }
LONG NoClose(HKEY) { return 6; }
const rapi::Provider kRefusing{RefuseInit, NoUninit, NoOpen, NoQuery, NoClose};

HINSTANCE NoLaunch(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) {
  return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(42));
}

void Send(toolkit::BackendEvent::Kind kind, int x, int y, TMouseButton button = mbLeft) {
  toolkit::BackendEvent e;
  e.kind = kind;
  e.x = x;
  e.y = y;
  e.button = button;
  Form1->DispatchEvent(e);
  if (!Form1->Closed()) Form1->Update();
}

void LoadWindow(std::span<const std::uint8_t> stream) {
  Form1 = new TForm1(Application);
  try {
    Form1->InitializeFromDefinition(stream);
    Form1->Show();
    using Kind = toolkit::BackendEvent::Kind;
    constexpr struct {
      int x, y;
    } kPlaces[] = {{400, 150}, {100, 400}, {580, 440}, {400, 120}, {400, 180}, {400, 210},
                   {0, 0},     {639, 479}, {-5, 20},   {700, 500}, {400, 150}};
    for (const auto& p : kPlaces) Send(Kind::MouseMove, p.x, p.y);
    Send(Kind::MouseDown, 100, 400, mbRight);
    Send(Kind::MouseUp, 100, 400, mbRight);
    Send(Kind::MouseDown, 400, 150);
    Send(Kind::MouseUp, 400, 150);
    Send(Kind::CaptureLost, 0, 0);
    Send(Kind::MouseUp, 580, 440, mbMiddle);  // EXIT closes the window
  } catch (const Exception&) {
    // A window definition the toolkit refuses.
  }
  delete Form1;
  Form1 = nullptr;
  for (auto& flag : HighlightFlags) flag = 0;
  toolkit::headless::MessageBoxes().clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Application->Initialize();
  winapi_posix::hooks().shellExecute = NoLaunch;
  rapi::SetProviderForTesting(&kRefusing);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);

  bool isWindow = false;
  try {
    const formstream::Component root = formstream::ReadBinary(bytes);
    CheckRoundTrip(root);
    isWindow = root.className == "TForm1";
  } catch (const Exception&) {
  }
  if (isWindow) LoadWindow(bytes);

  try {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckRoundTrip(formstream::ReadText(text, [](const std::string&) { return kTinyBmp; }));
  } catch (const Exception&) {
  }
  return 0;
}
