#include "tools/BmpFile.h"

#include <string>

#include "toolkit/Exception.h"

namespace tools {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return b[at] | (std::uint32_t{b[at + 1]} << 8) | (std::uint32_t{b[at + 2]} << 16) |
         (std::uint32_t{b[at + 3]} << 24);
}
std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

[[noreturn]] void Fail(const std::string& why) { throw Exception("bad bitmap: " + why); }

}  // namespace

Bmp24 CheckBmp24(std::span<const std::uint8_t> file) {
  const std::uint64_t size = file.size();
  if (size < 2 || file[0] != 'B' || file[1] != 'M') Fail("not a BMP file (no 'BM' signature)");
  if (size < kFileHeaderSize + kInfoHeaderSize)
    Fail("the file is too short for a BMP file (" + std::to_string(size) + " bytes)");
  const std::uint32_t declared = U32(file, 2);
  if (declared != size)
    Fail("the header gives the file size as " + std::to_string(declared) +
         " bytes but the file has " + std::to_string(size));
  const std::uint32_t infoSize = U32(file, 14);
  if (infoSize < kInfoHeaderSize)
    Fail("info header of " + std::to_string(infoSize) +
         " bytes; a BITMAPINFOHEADER (40 bytes) or larger is required");
  if (kFileHeaderSize + std::uint64_t{infoSize} > size)
    Fail("the info header (" + std::to_string(infoSize) + " bytes) runs past the end of the file");
  const auto width = static_cast<std::int32_t>(U32(file, 18));
  const auto height = static_cast<std::int32_t>(U32(file, 22));
  const std::uint16_t planes = U16(file, 26);
  const std::uint16_t bits = U16(file, 28);
  const std::uint32_t compression = U32(file, 30);
  const std::uint32_t colours = U32(file, 46);
  if (bits != 24) Fail(std::to_string(bits) + " bits per pixel; 24 are required");
  if (compression != 0)
    Fail("compression type " + std::to_string(compression) + "; uncompressed (BI_RGB) is required");
  if (planes != 1) Fail(std::to_string(planes) + " colour planes; 1 is required");
  if (height < 0) Fail("a top-down bitmap (negative height); bottom-up rows are required");
  if (width <= 0 || height == 0)
    Fail("empty bitmap (" + std::to_string(width) + "x" + std::to_string(height) + ")");
  if (colours != 0) Fail("a colour table of " + std::to_string(colours) + " entries; none is allowed");
  const std::uint64_t rowBytes = (std::uint64_t{static_cast<std::uint32_t>(width)} * 3 + 3) / 4 * 4;
  const std::uint64_t pixelBytes = rowBytes * static_cast<std::uint32_t>(height);
  const std::uint32_t offset = U32(file, 10);
  if (offset < kFileHeaderSize + infoSize)
    Fail("the pixel data offset " + std::to_string(offset) + " points into the headers");
  if (offset + pixelBytes > size)
    Fail("the pixel data (" + std::to_string(pixelBytes) + " bytes at offset " +
         std::to_string(offset) + ") runs past the end of the file (" + std::to_string(size) +
         " bytes)");
  return Bmp24{width, height, offset, static_cast<std::uint32_t>(rowBytes)};
}

}  // namespace tools
