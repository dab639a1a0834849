#include "Picture.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {
namespace {

std::uint32_t Le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

std::string Hex(std::uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(v));
  return text;
}

}  // namespace

Picture Picture::Crop(int x, int y, int w, int h) const {
  Picture part{w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h)};
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) part.At(col, row) = At(x + col, y + row);
  return part;
}

void Picture::Paste(const Picture& part, int x, int y) {
  for (int row = 0; row < part.height; ++row)
    for (int col = 0; col < part.width; ++col) At(x + col, y + row) = part.At(col, row);
}

Picture ReadBmp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(file.string() + ": cannot open");
  const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto fail = [&](const std::string& why) { throw std::runtime_error(file.string() + ": " + why); };
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') fail("not a BMP file");
  const std::uint32_t offset = Le(b, 10, 4);
  const auto width = static_cast<std::int32_t>(Le(b, 18, 4));
  const auto rawHeight = static_cast<std::int32_t>(Le(b, 22, 4));
  const std::uint32_t bits = Le(b, 28, 2);
  const std::uint32_t compression = Le(b, 30, 4);
  if (width <= 0 || rawHeight == 0) fail("empty picture");
  if ((bits != 24 && bits != 32) || compression != 0) fail("not an uncompressed 24- or 32-bit picture");
  const bool bottomUp = rawHeight > 0;
  const int height = bottomUp ? rawHeight : -rawHeight;
  const std::size_t stride = (static_cast<std::size_t>(width) * bits / 8 + 3) / 4 * 4;
  if (offset + stride * static_cast<std::size_t>(height) > b.size()) fail("pixel data cut short");
  Picture p{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height)};
  for (int y = 0; y < height; ++y) {
    const std::size_t row = offset + stride * static_cast<std::size_t>(bottomUp ? height - 1 - y : y);
    for (int x = 0; x < width; ++x) {
      const std::size_t at = row + static_cast<std::size_t>(x) * bits / 8;
      p.At(x, y) = (std::uint32_t{b[at + 2]} << 16) | (std::uint32_t{b[at + 1]} << 8) | b[at];
    }
  }
  return p;
}

std::string Difference(const Picture& actual, const Picture& expected) {
  if (actual.width != expected.width || actual.height != expected.height)
    return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) + " instead of " +
           std::to_string(expected.width) + "x" + std::to_string(expected.height);
  std::size_t count = 0;
  std::string first;
  for (int y = 0; y < actual.height; ++y)
    for (int x = 0; x < actual.width; ++x)
      if (actual.At(x, y) != expected.At(x, y) && count++ == 0)
        first = " first at (" + std::to_string(x) + "," + std::to_string(y) + "): " + Hex(actual.At(x, y)) +
                " instead of " + Hex(expected.At(x, y));
  return count == 0 ? "same" : std::to_string(count) + " pixels differ;" + first;
}

}  // namespace e2e
