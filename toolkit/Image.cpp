#include "toolkit/Image.h"

#include <algorithm>

#include "toolkit/Form.h"
#include "toolkit/FormStream.h"
#include "toolkit/Reader.h"

TImage::TImage(TComponent* AOwner)
    : TComponent(AOwner),
      Left(0, [this] { InvalidateBounds(); }, [this] { InvalidateBounds(); }),
      Top(0, [this] { InvalidateBounds(); }, [this] { InvalidateBounds(); }),
      Width(105, [this] { InvalidateBounds(); }, [this] { InvalidateBounds(); }),
      Height(105, [this] { InvalidateBounds(); }, [this] { InvalidateBounds(); }),
      Visible(true, [this] { InvalidateBounds(); }, [this] { InvalidateBounds(); }),
      Center(false, nullptr, [this] { InvalidateBounds(); }),
      Picture(new TPicture),
      picture_(Picture) {
  Picture->OnChange = [this] { InvalidateBounds(); };
}

TImage::~TImage() = default;

TForm* TImage::ParentForm() const { return dynamic_cast<TForm*>(Owner()); }

void TImage::InvalidateBounds() const {
  if (TForm* form = ParentForm()) form->InvalidateRect(BoundsRect());
}

void TImage::PaintTo(TBitmap& frame, const TRect& clip) const {
  if (!Visible) return;
  const TBitmap* bmp = Picture->Bitmap();
  if (bmp->Empty()) return;
  const TRect bounds = BoundsRect();
  // Where the picture's top-left corner lands on the frame.
  int px = bounds.Left, py = bounds.Top;
  if (Center) {
    px += (bounds.Width() - bmp->Width()) / 2;
    py += (bounds.Height() - bmp->Height()) / 2;
  }
  const TRect picture{px, py, px + bmp->Width(), py + bmp->Height()};
  const TRect area = picture.Intersect(bounds).Intersect(clip).Intersect({0, 0, frame.Width(), frame.Height()});
  if (area.IsEmpty()) return;
  for (int y = area.Top; y < area.Bottom; ++y) {
    const std::uint32_t* src = bmp->Pixels() + static_cast<std::size_t>(y - py) * bmp->Width() + (area.Left - px);
    std::uint32_t* dst = frame.Pixels() + static_cast<std::size_t>(y) * frame.Width() + area.Left;
    std::copy(src, src + area.Width(), dst);
  }
}

void TImage::ReadProperty(const formstream::Property& p, TReader& reader) {
  // A definition's places and sizes stay within 16 bits, so an image's far
  // edges (place plus size) can always be computed.
  constexpr std::int64_t kLimit = 32767;
  const std::string& n = p.name;
  if (n == "Left") Left = reader.ReadInt(*this, p, -kLimit - 1, kLimit);
  else if (n == "Top") Top = reader.ReadInt(*this, p, -kLimit - 1, kLimit);
  else if (n == "Width") Width = reader.ReadInt(*this, p, 0, kLimit);
  else if (n == "Height") Height = reader.ReadInt(*this, p, 0, kLimit);
  else if (n == "Visible") Visible = reader.ReadBool(*this, p);
  else if (n == "Center") Center = reader.ReadBool(*this, p);
  else if (n == "Cursor") Cursor = reader.ReadCursor(*this, p);
  else if (n == "Picture.Data") reader.ReadPicture(*this, p, *Picture);
  else if (n == "OnMouseDown") OnMouseDown = reader.ReadMethod<TMouseEvent>(*this, p);
  else if (n == "OnMouseMove") OnMouseMove = reader.ReadMethod<TMouseMoveEvent>(*this, p);
  else if (n == "OnMouseUp") OnMouseUp = reader.ReadMethod<TMouseEvent>(*this, p);
  else TComponent::ReadProperty(p, reader);
}
