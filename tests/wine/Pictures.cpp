#include "tests/wine/Pictures.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace winetest {
namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

const std::array<std::uint32_t, 256>& CrcTable() {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

std::uint32_t Crc32(const std::vector<std::uint8_t>& data, std::size_t from) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = from; i < data.size(); ++i) c = CrcTable()[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

void Chunk(std::vector<std::uint8_t>& file, const char* type, const std::vector<std::uint8_t>& body) {
  PutBe32(file, static_cast<std::uint32_t>(body.size()));
  std::vector<std::uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  file.insert(file.end(), typed.begin(), typed.end());
  PutBe32(file, Crc32(typed, 0));
}

}  // namespace

RgbImage ReadBmp24(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') throw std::runtime_error(path.string() + ": not a BMP file");
  const std::uint32_t offset = Le32(b, 10);
  const auto width = static_cast<std::int32_t>(Le32(b, 18));
  const auto height = static_cast<std::int32_t>(Le32(b, 22));
  if (Le16(b, 28) != 24 || Le32(b, 30) != 0 || width <= 0 || height == 0)
    throw std::runtime_error(path.string() + ": not an uncompressed 24-bit BMP");
  const int rows = height < 0 ? -height : height;
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  if (offset + stride * rows > b.size()) throw std::runtime_error(path.string() + ": cut short");
  RgbImage image(width, rows);
  for (int y = 0; y < rows; ++y) {
    const int fileRow = height < 0 ? y : rows - 1 - y;
    const std::size_t at = offset + stride * fileRow;
    for (int x = 0; x < width; ++x) {
      const std::size_t p = at + static_cast<std::size_t>(x) * 3;
      image.At(x, y) = (b[p + 2] << 16) | (b[p + 1] << 8) | b[p];
    }
  }
  return image;
}

void Paste(RgbImage& dst, const RgbImage& src, int x0, int y0) {
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x)
      if (x0 + x >= 0 && x0 + x < dst.width && y0 + y >= 0 && y0 + y < dst.height)
        dst.At(x0 + x, y0 + y) = src.At(x, y);
}

std::string Difference(const RgbImage& a, const RgbImage& b) {
  if (a.width != b.width || a.height != b.height)
    return "sizes differ: " + std::to_string(a.width) + "x" + std::to_string(a.height) + " and " +
           std::to_string(b.width) + "x" + std::to_string(b.height);
  std::size_t count = 0;
  std::string first;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      if (a.At(x, y) != b.At(x, y)) {
        if (count++ == 0) {
          char text[96];
          std::snprintf(text, sizeof text, "first at (%d, %d): %06X instead of %06X", x, y, a.At(x, y), b.At(x, y));
          first = text;
        }
      }
  return count == 0 ? std::string() : std::to_string(count) + " pixels differ, " + first;
}

void WritePng(const std::filesystem::path& path, const RgbImage& image) {
  std::vector<std::uint8_t> raw;  // filter byte 0, then R, G, B per pixel
  raw.reserve(static_cast<std::size_t>(image.height) * (1 + 3 * image.width));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = image.At(x, y);
      raw.push_back(static_cast<std::uint8_t>(p >> 16));
      raw.push_back(static_cast<std::uint8_t>(p >> 8));
      raw.push_back(static_cast<std::uint8_t>(p));
    }
  }
  std::vector<std::uint8_t> z{0x78, 0x01};  // zlib, no compression
  std::uint32_t s1 = 1, s2 = 0;
  for (std::uint8_t byte : raw) {
    s1 = (s1 + byte) % 65521;
    s2 = (s2 + s1) % 65521;
  }
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z.push_back(at + n >= raw.size() ? 1 : 0);  // the last block?
    z.push_back(static_cast<std::uint8_t>(n));
    z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n));
    z.push_back(static_cast<std::uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  PutBe32(z, (s2 << 16) | s1);

  std::vector<std::uint8_t> file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBe32(header, static_cast<std::uint32_t>(image.width));
  PutBe32(header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter choice, no interlace
  Chunk(file, "IHDR", header);
  Chunk(file, "IDAT", z);
  Chunk(file, "IEND", {});

  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace winetest
