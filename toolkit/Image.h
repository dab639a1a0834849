// TImage: a control that shows one picture and has its own pointer events.
#pragma once

#include <memory>

#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"

class TForm;

class TImage : public TComponent {
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;

  std::string_view ClassName() const override { return "TImage"; }

  // Position in the form's client area and size; changing any of them
  // repaints the old and the new place.
  TProperty<int> Left;
  TProperty<int> Top;
  TProperty<int> Width;
  TProperty<int> Height;
  // A hidden image is not drawn and gets no pointer events.
  TProperty<bool> Visible;
  // Show a picture that differs from the control's size centred in it.
  TProperty<bool> Center;
  TCursor Cursor = crDefault;
  // The picture; Picture->Assign(other->Picture) gives this image its own copy.
  TPicture* const Picture;

  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

  TRect BoundsRect() const { return {Left, Top, Left + Width, Top + Height}; }
  // Draws the visible image onto a frame of the form's client size, clipped
  // to clip.
  void PaintTo(TBitmap& frame, const TRect& clip) const;

  void ReadProperty(const formstream::Property& property, TReader& reader) override;

 private:
  void InvalidateBounds() const;
  TForm* ParentForm() const;
  std::unique_ptr<TPicture> picture_;
};
