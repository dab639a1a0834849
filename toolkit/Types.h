// Small value types of the toolkit: points, rectangles, mouse buttons, the
// shift state and cursors.
#pragma once

#include <algorithm>
#include <cstdint>

struct TPoint {
  int X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  TRect Intersect(const TRect& o) const {
    TRect r{std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right),
            std::min(Bottom, o.Bottom)};
    return r.IsEmpty() ? TRect{} : r;
  }
  TRect Union(const TRect& o) const {
    if (IsEmpty()) return o;
    if (o.IsEmpty()) return *this;
    return {std::min(Left, o.Left), std::min(Top, o.Top), std::max(Right, o.Right),
            std::max(Bottom, o.Bottom)};
  }
  bool operator==(const TRect&) const = default;
};

enum TMouseButton { mbLeft, mbRight, mbMiddle, mbExtra1, mbExtra2 };

enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble, ssExtra1, ssExtra2 };

// A set of TShiftStateItem.
class TShiftState {
 public:
  TShiftState() = default;
  TShiftState& operator<<(TShiftStateItem i) { bits_ |= 1u << i; return *this; }
  TShiftState& operator>>(TShiftStateItem i) { bits_ &= ~(1u << i); return *this; }
  bool Contains(TShiftStateItem i) const { return (bits_ >> i) & 1u; }
  bool Empty() const { return bits_ == 0; }
  bool operator==(const TShiftState&) const = default;

 private:
  std::uint32_t bits_ = 0;
};

using TCursor = std::int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crHandPoint = -21;
