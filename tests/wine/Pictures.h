// Pictures the Wine tests compare: what the screen shows and what the
// launcher's bitmaps say it should show.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace winetest {

// 0x00RRGGBB pixels, top-down rows.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  RgbImage() = default;
  RgbImage(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0) {}
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint32_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// An uncompressed 24-bit BMP file (bottom-up or top-down). Throws
// std::runtime_error naming the file.
RgbImage ReadBmp24(const std::filesystem::path& path);

// Copies src into dst with its top-left corner at (x, y), clipped to dst.
void Paste(RgbImage& dst, const RgbImage& src, int x, int y);

// An empty string when a and b are the same size and equal; otherwise how
// many pixels differ and where the first one is.
std::string Difference(const RgbImage& a, const RgbImage& b);

// A truecolour PNG file (stored, uncompressed deflate blocks). Throws
// std::runtime_error when the file cannot be written.
void WritePng(const std::filesystem::path& path, const RgbImage& image);

}  // namespace winetest
