// TForm: a top-level window whose client area shows its images, loaded from
// a window definition. Hit-testing, pointer capture, cursors and painting are
// done here, once, for every backend.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "toolkit/Backend.h"
#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"
#include "winapi/winapi.h"

class TImage;
class TReader;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };

class TFont {
 public:
  int Charset = 1;  // DEFAULT_CHARSET
  TColor Color = clWindowText;
  int Height = -11;
  std::string Name = "MS Sans Serif";
  std::vector<std::string> Style;
};

class TForm : public TComponent {
 public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;

  std::string_view ClassName() const override { return "TForm"; }

  // Screen position of the client area and its size. They take effect when
  // the window is created; they are not meant to change once it is shown.
  TProperty<int> Left;
  TProperty<int> Top;
  TProperty<int> ClientWidth;
  TProperty<int> ClientHeight;
  TFormBorderStyle BorderStyle = bsSizeable;
  unsigned BorderIcons = (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize);
  std::string Caption;
  TColor Color = clBtnFace;
  TFont* const Font;
  bool OldCreateOrder = false;
  int PixelsPerInch = 96;
  int TextHeight = 13;
  TNotifyEvent OnCreate;

  // The window's handle, creating the window if it does not exist yet.
  HWND Handle();
  static TForm* FromHandle(HWND handle);

  void Show();
  bool Showing() const { return shown_; }
  // Closes the window; closing the application's main form ends the program.
  void Close();
  bool Closed() const { return closed_; }

  // Reads the window definition stored as the resource named after the
  // class (TForm1 -> "TFORM1") and runs OnCreate.
  void InitializeFromResource();
  // Reads a binary window definition (see TReader) and runs OnCreate.
  void InitializeFromDefinition(std::span<const std::uint8_t> stream);

  // The topmost visible image at a client position, or null.
  TImage* ControlAtPos(int x, int y) const;
  // The image that holds the pointer capture, or null.
  TImage* CaptureControl() const { return capture_; }
  void ReleaseMouseCapture();

  // Painting: the frame is the window's whole client area as last composed.
  void InvalidateRect(const TRect& rect);
  void Update();
  const TBitmap& Frame() const { return frame_; }
  const std::vector<TRect>& PendingInvalidRects() const { return dirty_; }

  // Handles one event of the window.
  void DispatchEvent(const toolkit::BackendEvent& event);
  // The messages the program may send to its window.
  LRESULT Perform(UINT message, WPARAM wParam, LPARAM lParam);

  toolkit::Backend* NativeWindow() const { return backend_.get(); }
  // Destroys the native window (the form object stays).
  void DestroyHandle();

  void ReadProperty(const formstream::Property& property, TReader& reader) override;

 protected:
  friend class TReader;
  // The form's published methods and fields, by name; a form class with a
  // window definition overrides these with its own tables.
  virtual TMethod FindMethod(std::string_view name);
  virtual bool BindField(std::string_view name, TComponent* component);
  // Throws Exception when a published field got no component.
  virtual void CheckFieldsBound();
  virtual void ClearFields();

 private:
  void CreateHandle();
  void UpdateCursor(int x, int y);
  void SetCapture(TImage* image);
  TRect ClientRect() const { return {0, 0, ClientWidth, ClientHeight}; }

  std::unique_ptr<TFont> font_;
  std::unique_ptr<toolkit::Backend> backend_;
  TBitmap frame_;
  std::vector<TRect> dirty_;
  TImage* capture_ = nullptr;
  unsigned pressed_ = 0;  // mouse buttons down, one bit per TMouseButton
  toolkit::SystemCursor cursor_ = toolkit::SystemCursor::Arrow;
  bool shown_ = false;
  bool closed_ = false;
};
