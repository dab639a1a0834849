// Pictures: TBitmap holds pixels, TPicture holds the bitmap an image shows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "toolkit/Types.h"

// A TColor: 0x00BBGGRR, or a system colour (0xFF0000nn, nn the system's index).
using TColor = std::int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clWindow = static_cast<TColor>(0xFF000005);
inline constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);
inline constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);

// The colour as 0x00RRGGBB for painting; system colours take the classic
// Windows defaults (window white, text black, button face grey).
std::uint32_t ColorToRgb(TColor color);

// A device-independent picture of 32-bit 0x00RRGGBB pixels, top-down rows.
class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height, std::uint32_t rgb = 0xFFFFFF);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  const std::uint32_t* Pixels() const { return pixels_.data(); }
  std::uint32_t* Pixels() { return pixels_.data(); }
  std::uint32_t Pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

  // Reads a whole BMP file: uncompressed BI_RGB, 24 or 32 bits per pixel,
  // bottom-up or top-down rows. Throws Exception naming the fault otherwise.
  void LoadFromBmp(std::span<const std::uint8_t> file);
  // Writes a 24-bit bottom-up BMP file.
  std::vector<std::uint8_t> SaveToBmp() const;

  bool operator==(const TBitmap&) const = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

// What an image shows. Assign copies the source's whole bitmap.
class TPicture {
 public:
  TPicture();
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  TBitmap* Bitmap() { return bitmap_.get(); }
  const TBitmap* Bitmap() const { return bitmap_.get(); }
  int Width() const { return bitmap_->Width(); }
  int Height() const { return bitmap_->Height(); }

  // Gives this picture its own copy of the source's bitmap (the source is
  // unchanged); a null source empties the picture.
  void Assign(const TPicture* source);
  // Reads the stored form of a picture: a short string naming the graphic's
  // class ("TBitmap"), then for a bitmap a 32-bit little-endian byte count
  // and the BMP file. Throws Exception on anything else.
  void LoadFromData(std::span<const std::uint8_t> data);

  // Called after every change of the picture.
  std::function<void()> OnChange;

 private:
  void Changed();
  std::unique_ptr<TBitmap> bitmap_;
};
