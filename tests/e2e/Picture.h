// Pictures as the end-to-end tests compare them: 0xRRGGBB pixels, top-down
// rows. The launcher's artwork is read from its BMP files here, on its own,
// so a fault in the program's reader cannot hide in the expectation.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // width * height, 0x00RRGGBB

  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint32_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // The part at (x, y) of the given size; it must lie inside.
  Picture Crop(int x, int y, int w, int h) const;
  // Copies `part` onto this picture with its top left corner at (x, y).
  void Paste(const Picture& part, int x, int y);
  bool operator==(const Picture&) const = default;
};

// Reads an uncompressed 24- or 32-bit BMP file; throws std::runtime_error
// naming the file and the fault.
Picture ReadBmp(const std::filesystem::path& file);

// "same" or a description of how `actual` differs from `expected` (size, or
// the number of differing pixels and the first of them).
std::string Difference(const Picture& actual, const Picture& expected);

}  // namespace e2e
