#include "toolkit/Form.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "toolkit/Application.h"
#include "toolkit/Exception.h"
#include "toolkit/FormStream.h"
#include "toolkit/Image.h"
#include "toolkit/Reader.h"
#include "toolkit/Resources.h"

namespace {

// Never destroyed: the application object, made before the first form,
// destroys the forms it still owns at exit, after a set made later would
// already be gone.
std::set<TForm*>& LiveForms() {
  static auto* const forms = new std::set<TForm*>;
  return *forms;
}

constexpr std::size_t kMaxDirtyRects = 8;

struct NamedInt {
  std::string_view name;
  int value;
};
constexpr NamedInt kCharsets[] = {
    {"ANSI_CHARSET", 0},        {"DEFAULT_CHARSET", 1},    {"SYMBOL_CHARSET", 2},
    {"SHIFTJIS_CHARSET", 128},  {"HANGEUL_CHARSET", 129},  {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136}, {"OEM_CHARSET", 255},    {"GREEK_CHARSET", 161},
    {"TURKISH_CHARSET", 162},   {"HEBREW_CHARSET", 177},   {"ARABIC_CHARSET", 178},
    {"BALTIC_CHARSET", 186},    {"RUSSIAN_CHARSET", 204},  {"THAI_CHARSET", 222},
    {"EASTEUROPE_CHARSET", 238},
};
constexpr NamedInt kBorderStyles[] = {
    {"bsNone", bsNone},     {"bsSingle", bsSingle},         {"bsSizeable", bsSizeable},
    {"bsDialog", bsDialog}, {"bsToolWindow", bsToolWindow}, {"bsSizeToolWin", bsSizeToolWin},
};
constexpr NamedInt kBorderIcons[] = {
    {"biSystemMenu", biSystemMenu}, {"biMinimize", biMinimize}, {"biMaximize", biMaximize}, {"biHelp", biHelp}};
constexpr std::string_view kFontStyles[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

template <std::size_t N>
const NamedInt* Lookup(const NamedInt (&table)[N], std::string_view name) {
  for (const auto& e : table)
    if (e.name == name) return &e;
  return nullptr;
}

unsigned ButtonBit(TMouseButton b) { return 1u << static_cast<unsigned>(b); }

}  // namespace

TForm::TForm(TComponent* AOwner)
    : TComponent(AOwner),
      Left(0, nullptr, nullptr),
      Top(0, nullptr, nullptr),
      ClientWidth(0, nullptr, [this] { InvalidateRect(ClientRect()); }),
      ClientHeight(0, nullptr, [this] { InvalidateRect(ClientRect()); }),
      Font(new TFont),
      font_(Font) {
  LiveForms().insert(this);
}

TForm::~TForm() {
  LiveForms().erase(this);
  DestroyHandle();
}

TForm* TForm::FromHandle(HWND handle) {
  for (TForm* f : LiveForms())
    if (f->backend_ && f->Handle() == handle) return f;
  return nullptr;
}

HWND TForm::Handle() {
  CreateHandle();
#ifdef _WIN32
  return static_cast<HWND>(backend_->NativeHandle());
#else
  // Elsewhere the handle only names the form for the Win32 stand-ins.
  return reinterpret_cast<HWND>(this);
#endif
}

void TForm::CreateHandle() {
  if (backend_) return;
  if (ClientWidth <= 0 || ClientHeight <= 0)
    throw Exception("Cannot create the window of " + Name + ": its client area is empty");
  auto backend = Application->NewBackend();
  frame_ = TBitmap(ClientWidth, ClientHeight, ColorToRgb(Color));
  toolkit::WindowParams params;
  params.left = Left;
  params.top = Top;
  params.clientWidth = ClientWidth;
  params.clientHeight = ClientHeight;
  params.borderless = BorderStyle == bsNone;
  params.systemMenu = (BorderIcons & (1u << biSystemMenu)) != 0;
  params.title = Caption;
  params.icon = Application->Icon();
  params.frame = {frame_.Width(), frame_.Height(), frame_.Pixels()};
  backend->CreateNativeWindow(params);
  backend_ = std::move(backend);
  dirty_.clear();
  dirty_.push_back(ClientRect());
}

void TForm::DestroyHandle() {
  if (!backend_) return;
  capture_ = nullptr;
  pressed_ = 0;
  backend_->DestroyNativeWindow();
  backend_.reset();
  shown_ = false;
}

void TForm::Show() {
  if (closed_) return;
  CreateHandle();
  Update();
  if (!shown_) {
    backend_->ShowNativeWindow();
    shown_ = true;
  }
}

void TForm::Close() {
  if (closed_) return;
  closed_ = true;
  DestroyHandle();
  if (Application->MainForm == this) Application->Terminate();
}

void TForm::InitializeFromResource() {
  std::string name(ClassName());
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
  const std::span<const std::uint8_t> data = toolkit::FindEmbeddedResource(name);
  if (data.empty()) throw Exception("Resource " + name + " not found");
  InitializeFromDefinition(data);
}

void TForm::InitializeFromDefinition(std::span<const std::uint8_t> stream) {
  TReader reader(*this);
  reader.ReadRootComponent(stream);
  if (OnCreate) OnCreate(this);
}

TImage* TForm::ControlAtPos(int x, int y) const {
  for (int i = ComponentCount() - 1; i >= 0; --i) {
    auto* image = dynamic_cast<TImage*>(Components(i));
    if (image && image->Visible && image->BoundsRect().Contains(x, y)) return image;
  }
  return nullptr;
}

void TForm::SetCapture(TImage* image) {
  capture_ = image;
  if (backend_) backend_->SetCapture(image != nullptr);
}

void TForm::ReleaseMouseCapture() {
  pressed_ = 0;
  if (capture_) SetCapture(nullptr);
}

void TForm::InvalidateRect(const TRect& rect) {
  TRect r = rect.Intersect(ClientRect());
  if (r.IsEmpty()) return;
  // Merge with every pending rectangle it overlaps, repeatedly, so the list
  // stays disjoint; fall back to one bounding rectangle when it grows long.
  for (bool merged = true; merged;) {
    merged = false;
    for (auto it = dirty_.begin(); it != dirty_.end(); ++it) {
      if (!it->Intersect(r).IsEmpty()) {
        r = r.Union(*it);
        dirty_.erase(it);
        merged = true;
        break;
      }
    }
  }
  dirty_.push_back(r);
  if (dirty_.size() > kMaxDirtyRects) {
    TRect all;
    for (const TRect& d : dirty_) all = all.Union(d);
    dirty_.assign(1, all);
  }
}

void TForm::Update() {
  if (!backend_ || dirty_.empty()) return;
  const std::uint32_t background = ColorToRgb(Color);
  for (const TRect& r : dirty_) {
    for (int y = r.Top; y < r.Bottom; ++y) {
      std::uint32_t* row = frame_.Pixels() + static_cast<std::size_t>(y) * frame_.Width();
      std::fill(row + r.Left, row + r.Right, background);
    }
    for (int i = 0; i < ComponentCount(); ++i)
      if (auto* image = dynamic_cast<TImage*>(Components(i))) image->PaintTo(frame_, r);
    backend_->Invalidate(r);
  }
  dirty_.clear();
}

void TForm::UpdateCursor(int x, int y) {
  if (!backend_) return;
  TImage* over = capture_ ? capture_ : ControlAtPos(x, y);
  const TCursor cursor = over ? over->Cursor : crDefault;
  const auto wanted = cursor == crHandPoint ? toolkit::SystemCursor::Hand : toolkit::SystemCursor::Arrow;
  if (wanted != cursor_ || !shown_) {
    cursor_ = wanted;
    backend_->SetPointerCursor(wanted);
  }
}

void TForm::DispatchEvent(const toolkit::BackendEvent& event) {
  using Kind = toolkit::BackendEvent::Kind;
  if (closed_) return;
  switch (event.kind) {
    case Kind::MouseDown: {
      TImage* target = capture_ ? capture_ : ControlAtPos(event.x, event.y);
      pressed_ |= ButtonBit(event.button);
      if (!capture_ && target) SetCapture(target);
      UpdateCursor(event.x, event.y);
      if (target && target->OnMouseDown)
        target->OnMouseDown(target, event.button, event.shift, event.x - target->Left, event.y - target->Top);
      break;
    }
    case Kind::MouseUp: {
      TImage* target = capture_ ? capture_ : ControlAtPos(event.x, event.y);
      pressed_ &= ~ButtonBit(event.button);
      if (pressed_ == 0 && capture_) SetCapture(nullptr);
      if (target && target->OnMouseUp)
        target->OnMouseUp(target, event.button, event.shift, event.x - target->Left, event.y - target->Top);
      if (!closed_) UpdateCursor(event.x, event.y);
      break;
    }
    case Kind::MouseMove: {
      TImage* target = capture_ ? capture_ : ControlAtPos(event.x, event.y);
      UpdateCursor(event.x, event.y);
      if (target && target->OnMouseMove)
        target->OnMouseMove(target, event.shift, event.x - target->Left, event.y - target->Top);
      break;
    }
    case Kind::CaptureLost:
      capture_ = nullptr;
      pressed_ = 0;
      break;
    case Kind::Close:
      Close();
      break;
  }
}

LRESULT TForm::Perform(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_NCLBUTTONDOWN:
      if (wParam == HTCAPTION && backend_) {
        ReleaseMouseCapture();
        backend_->BeginSystemMove();
      }
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    default:
      return 0;
  }
}

TMethod TForm::FindMethod(std::string_view) { return {}; }
bool TForm::BindField(std::string_view, TComponent*) { return false; }
void TForm::CheckFieldsBound() {}
void TForm::ClearFields() {}

void TForm::ReadProperty(const formstream::Property& p, TReader& reader) {
  const std::string& n = p.name;
  if (n == "Left") Left = reader.ReadInt(*this, p);
  else if (n == "Top") Top = reader.ReadInt(*this, p);
  else if (n == "ClientWidth") ClientWidth = reader.ReadInt(*this, p, 0, 16384);
  else if (n == "ClientHeight") ClientHeight = reader.ReadInt(*this, p, 0, 16384);
  else if (n == "Caption") Caption = reader.ReadString(*this, p);
  else if (n == "Color") Color = reader.ReadColor(*this, p);
  else if (n == "OldCreateOrder") OldCreateOrder = reader.ReadBool(*this, p);
  else if (n == "PixelsPerInch") PixelsPerInch = static_cast<int>(reader.ReadInt(*this, p, 1, 10000));
  else if (n == "TextHeight") TextHeight = static_cast<int>(reader.ReadInt(*this, p));
  else if (n == "OnCreate") OnCreate = reader.ReadMethod<TNotifyEvent>(*this, p);
  else if (n == "BorderStyle") {
    const std::string v = reader.ReadIdent(*this, p);
    const NamedInt* e = Lookup(kBorderStyles, v);
    if (!e) reader.Fail(*this, p, "Invalid property value '" + v + "'");
    BorderStyle = static_cast<TFormBorderStyle>(e->value);
  } else if (n == "BorderIcons") {
    unsigned icons = 0;
    for (const std::string& v : reader.ReadSet(*this, p)) {
      const NamedInt* e = Lookup(kBorderIcons, v);
      if (!e) reader.Fail(*this, p, "Invalid property value '" + v + "'");
      icons |= 1u << e->value;
    }
    BorderIcons = icons;
  } else if (n == "Font.Charset") {
    if (std::holds_alternative<formstream::Integer>(p.value.v)) {
      Font->Charset = static_cast<int>(reader.ReadInt(*this, p, 0, 255));
    } else {
      const std::string v = reader.ReadIdent(*this, p);
      const NamedInt* e = Lookup(kCharsets, v);
      if (!e) reader.Fail(*this, p, "Invalid property value '" + v + "'");
      Font->Charset = e->value;
    }
  } else if (n == "Font.Color") Font->Color = reader.ReadColor(*this, p);
  else if (n == "Font.Height") Font->Height = static_cast<int>(reader.ReadInt(*this, p));
  else if (n == "Font.Name") Font->Name = reader.ReadString(*this, p);
  else if (n == "Font.Style") {
    std::vector<std::string> style = reader.ReadSet(*this, p);
    for (const std::string& v : style)
      if (std::find(std::begin(kFontStyles), std::end(kFontStyles), v) == std::end(kFontStyles))
        reader.Fail(*this, p, "Invalid property value '" + v + "'");
    Font->Style = std::move(style);
  } else {
    TComponent::ReadProperty(p, reader);
  }
}
