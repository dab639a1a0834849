#include "toolkit/win32/Win32Backend.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

#include "toolkit/Exception.h"
#include "toolkit/win32/Win32Icon.h"

namespace toolkit::win32 {
namespace {

std::string LastErrorText() { return "error " + std::to_string(::GetLastError()); }

// Registers the window class once per process. Throws Exception.
void RegisterWindowClass(WNDPROC procedure) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = 0;  // no CS_DBLCLKS: a quick second click is a second press
  wc.lpfnWndProc = procedure;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hIcon = LoadProgramIcon(::GetSystemMetrics(SM_CXICON));
  wc.hIconSm = LoadProgramIcon(::GetSystemMetrics(SM_CXSMICON));
  wc.hCursor = nullptr;  // WM_SETCURSOR sets it
  wc.hbrBackground = nullptr;  // the frame covers the whole client area
  wc.lpszClassName = Win32Backend::kWindowClass;
  if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw Exception("Cannot register the window class: " + LastErrorText());
  registered = true;
}

TShiftState ShiftFromKeys(WPARAM keys) {
  TShiftState shift;
  if (keys & MK_SHIFT) shift << ssShift;
  if (keys & MK_CONTROL) shift << ssCtrl;
  if (::GetKeyState(VK_MENU) < 0) shift << ssAlt;
  if (keys & MK_LBUTTON) shift << ssLeft;
  if (keys & MK_RBUTTON) shift << ssRight;
  if (keys & MK_MBUTTON) shift << ssMiddle;
  if (keys & MK_XBUTTON1) shift << ssExtra1;
  if (keys & MK_XBUTTON2) shift << ssExtra2;
  return shift;
}

TMouseButton XButton(WPARAM wParam) { return GET_XBUTTON_WPARAM(wParam) == XBUTTON2 ? mbExtra2 : mbExtra1; }

HCURSOR SystemCursorHandle(SystemCursor cursor) {
  return ::LoadCursor(nullptr, cursor == SystemCursor::Hand ? IDC_HAND : IDC_ARROW);
}

}  // namespace

Win32Backend::~Win32Backend() { DestroyNativeWindow(); }

void Win32Backend::CreateNativeWindow(const WindowParams& params) {
  if (window_) throw Exception("The window exists already");
  RegisterWindowClass(&Win32Backend::WindowProc);
  params_ = params;

  DWORD style = params.borderless ? WS_POPUP : (WS_OVERLAPPED | WS_CAPTION | WS_MINIMIZEBOX);
  if (params.systemMenu) style |= WS_SYSMENU;
  const DWORD exStyle = 0;
  // The outer rectangle whose client area lies at (left, top) with the
  // given size; for a borderless window they are the same.
  RECT outer{params.left, params.top, params.left + params.clientWidth, params.top + params.clientHeight};
  if (!::AdjustWindowRectEx(&outer, style, FALSE, exStyle))
    throw Exception("Cannot size the window: " + LastErrorText());

  HWND hwnd = ::CreateWindowExA(exStyle, kWindowClass, params.title.c_str(), style, outer.left, outer.top,
                                outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                ::GetModuleHandleA(nullptr), this);
  if (!hwnd) throw Exception("Cannot create the window: " + LastErrorText());
  window_.reset(hwnd);

  // A program without its own MAINICON shows the toolkit's picture instead.
  if (!LoadProgramIcon(::GetSystemMetrics(SM_CXSMICON)) && params.icon) {
    bigIcon_ = IconFromBitmap(*params.icon);
    if (bigIcon_) {
      ::SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
      ::SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(bigIcon_.get()));
    }
  }
}

void Win32Backend::ShowNativeWindow() {
  if (!window_) return;
  ::ShowWindow(window_.get(), SW_SHOW);
  ::SetForegroundWindow(window_.get());
  ::UpdateWindow(window_.get());
}

void Win32Backend::Invalidate(const TRect& rect) {
  if (!window_ || rect.IsEmpty()) return;
  const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
  ::InvalidateRect(window_.get(), &r, FALSE);
}

bool Win32Backend::PointerInClient() const {
  POINT p{};
  if (!::GetCursorPos(&p)) return false;
  if (::GetCapture() == window_.get()) return true;
  if (::WindowFromPoint(p) != window_.get()) return false;
  RECT client{};
  ::GetClientRect(window_.get(), &client);
  ::ScreenToClient(window_.get(), &p);
  return ::PtInRect(&client, p) != FALSE;
}

void Win32Backend::SetPointerCursor(SystemCursor cursor) {
  cursor_ = cursor;
  // The next WM_SETCURSOR uses it; set it now when the pointer is ours.
  if (window_ && PointerInClient()) ::SetCursor(SystemCursorHandle(cursor_));
}

void Win32Backend::SetCapture(bool capture) {
  if (!window_) return;
  if (capture) {
    ::SetCapture(window_.get());
  } else if (::GetCapture() == window_.get()) {
    releasing_ = true;  // our own release is no loss to report
    ::ReleaseCapture();
    releasing_ = false;
  }
}

void Win32Backend::BeginSystemMove() {
  if (!window_) return;
  ::ReleaseCapture();
  const DWORD at = ::GetMessagePos();
  ::SendMessageA(window_.get(), WM_NCLBUTTONDOWN, HTCAPTION, static_cast<LPARAM>(at));
}

void Win32Backend::DestroyNativeWindow() {
  window_.reset();
  events_.clear();
}

bool Win32Backend::WaitEvent(BackendEvent& event) {
  while (events_.empty()) {
    if (!window_ || quit_) return false;
    // What was invalidated is painted before the wait.
    ::UpdateWindow(window_.get());
    MSG msg{};
    const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit_ = true;
      ::PostQuitMessage(static_cast<int>(msg.wParam));  // left for whoever loops next
      return false;
    }
    if (got == -1) return false;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  event = events_.front();
  events_.pop_front();
  return true;
}

TPoint Win32Backend::ClientOrigin() const {
  if (!window_) return {params_.left, params_.top};
  POINT origin{0, 0};
  ::ClientToScreen(window_.get(), &origin);
  return {origin.x, origin.y};
}

void Win32Backend::Queue(const BackendEvent& event) {
  // Moves that the toolkit has not taken yet are replaced by the newer one,
  // so the queue stays short however fast the pointer goes.
  if (event.kind == BackendEvent::Kind::MouseMove && !events_.empty() &&
      events_.back().kind == BackendEvent::Kind::MouseMove) {
    events_.back() = event;
    return;
  }
  events_.push_back(event);
}

void Win32Backend::QueueMouse(BackendEvent::Kind kind, TMouseButton button, WPARAM wParam, LPARAM lParam) {
  BackendEvent event;
  event.kind = kind;
  event.x = GET_X_LPARAM(lParam);  // signed: a captured pointer may be left of or above the window
  event.y = GET_Y_LPARAM(lParam);
  event.button = button;
  event.shift = ShiftFromKeys(GET_KEYSTATE_WPARAM(wParam));
  Queue(event);
}

void Win32Backend::Paint() {
  PaintSession paint(window_.get());
  const FrameBuffer& frame = params_.frame;
  if (!paint.dc() || !frame.pixels) return;
  const RECT& r = paint.rect();
  const int left = std::clamp(static_cast<int>(r.left), 0, frame.width);
  const int right = std::clamp(static_cast<int>(r.right), 0, frame.width);
  const int top = std::clamp(static_cast<int>(r.top), 0, frame.height);
  const int bottom = std::clamp(static_cast<int>(r.bottom), 0, frame.height);
  if (left >= right || top >= bottom) return;
  const int rows = bottom - top;

  // A top-down 32-bit DIB of just the rows to paint; the source rectangle
  // then spans its whole height, which reads the same for either row order.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = frame.width;
  info.bmiHeader.biHeight = -rows;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const std::uint32_t* firstRow = frame.pixels + static_cast<std::size_t>(top) * frame.width;
  ::SetDIBitsToDevice(paint.dc(), left, top, static_cast<DWORD>(right - left), static_cast<DWORD>(rows), left, 0,
                      0, static_cast<UINT>(rows), firstRow, &info, DIB_RGB_COLORS);
}

LRESULT CALLBACK Win32Backend::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32Backend*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == WM_NCDESTROY) ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  // Messages before WM_NCCREATE, during it, and after the owner let go of
  // the window, get the system's defaults.
  if (!self || !self->window_ || self->window_.get() != hwnd) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    // Nothing may cross into the system's code; an event that could not be
    // queued is lost.
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

LRESULT Win32Backend::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  using Kind = BackendEvent::Kind;
  HWND hwnd = window_.get();
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers everything
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd) {
        ::SetCursor(SystemCursorHandle(cursor_));
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      QueueMouse(Kind::MouseMove, mbLeft, wParam, lParam);
      return 0;
    case WM_LBUTTONDOWN:
      QueueMouse(Kind::MouseDown, mbLeft, wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
      QueueMouse(Kind::MouseUp, mbLeft, wParam, lParam);
      return 0;
    case WM_RBUTTONDOWN:
      QueueMouse(Kind::MouseDown, mbRight, wParam, lParam);
      return 0;
    case WM_RBUTTONUP:
      QueueMouse(Kind::MouseUp, mbRight, wParam, lParam);
      return 0;  // no WM_CONTEXTMENU
    case WM_MBUTTONDOWN:
      QueueMouse(Kind::MouseDown, mbMiddle, wParam, lParam);
      return 0;
    case WM_MBUTTONUP:
      QueueMouse(Kind::MouseUp, mbMiddle, wParam, lParam);
      return 0;
    case WM_XBUTTONDOWN:
      QueueMouse(Kind::MouseDown, XButton(wParam), wParam, lParam);
      return TRUE;
    case WM_XBUTTONUP:
      QueueMouse(Kind::MouseUp, XButton(wParam), wParam, lParam);
      return TRUE;
    case WM_CAPTURECHANGED:
      if (!releasing_ && reinterpret_cast<HWND>(lParam) != hwnd) {
        BackendEvent event;
        event.kind = Kind::CaptureLost;
        Queue(event);
      }
      return 0;
    case WM_CLOSE: {
      // The toolkit decides; it destroys the window itself.
      BackendEvent event;
      event.kind = Kind::Close;
      Queue(event);
      return 0;
    }
    default:
      break;
  }
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace toolkit::win32

namespace toolkit {

std::unique_ptr<Backend> CreateDefaultBackend() { return std::make_unique<win32::Win32Backend>(); }

bool ShowDefaultMessageBox(const std::string& caption, const std::string& text, bool error) {
  const UINT type = MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION);
  return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), type) != 0;
}

}  // namespace toolkit
