// Checks on the BMP files the build turns into form pictures and icons: only
// uncompressed, bottom-up, 24-bit bitmaps without a colour table are taken.
#pragma once

#include <cstdint>
#include <span>

namespace tools {

struct Bmp24 {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t pixelOffset = 0;  // where the bottom row starts
  std::uint32_t rowBytes = 0;     // one row with its padding to 4 bytes
};

// Returns the layout of a valid file; throws Exception naming the first
// problem otherwise.
Bmp24 CheckBmp24(std::span<const std::uint8_t> file);

}  // namespace tools
