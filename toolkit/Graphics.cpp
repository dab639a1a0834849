#include "toolkit/Graphics.h"

#include <cstring>
#include <limits>

#include "toolkit/Exception.h"

namespace {

std::uint32_t ReadU32(std::span<const std::uint8_t> b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t ReadU16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
void PutU32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutU16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

[[noreturn]] void BadBitmap(const std::string& why) { throw Exception("Bitmap image is not valid: " + why); }

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kMaxSide = 16384;

}  // namespace

std::uint32_t ColorToRgb(TColor color) {
  auto c = static_cast<std::uint32_t>(color);
  if ((c & 0xFF000000u) == 0xFF000000u) {
    switch (c & 0xFFu) {
      case 5: return 0xFFFFFF;   // window
      case 8: return 0x000000;   // window text
      case 15: return 0xF0F0F0;  // button face
      default: return 0xFFFFFF;
    }
  }
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

TBitmap::TBitmap(int width, int height, std::uint32_t rgb)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, rgb) {}

void TBitmap::LoadFromBmp(std::span<const std::uint8_t> file) {
  if (file.size() < kFileHeader + 40) BadBitmap("the file is too short for its headers");
  if (file[0] != 'B' || file[1] != 'M') BadBitmap("it does not start with \"BM\"");
  const std::uint32_t dataOffset = ReadU32(file, 10);
  const std::uint32_t infoSize = ReadU32(file, 14);
  if (infoSize < 40 || kFileHeader + infoSize > file.size()) BadBitmap("unsupported or truncated info header");
  const auto width = static_cast<std::int32_t>(ReadU32(file, 18));
  const auto rawHeight = static_cast<std::int32_t>(ReadU32(file, 22));
  const std::uint16_t planes = ReadU16(file, 26);
  const std::uint16_t bits = ReadU16(file, 28);
  const std::uint32_t compression = ReadU32(file, 30);
  if (planes != 1) BadBitmap("plane count is not 1");
  if (bits != 24 && bits != 32) BadBitmap(std::to_string(bits) + " bits per pixel (24 or 32 expected)");
  if (compression != 0 && !(compression == 3 && bits == 32)) BadBitmap("compressed images are not supported");
  if (rawHeight == std::numeric_limits<std::int32_t>::min()) BadBitmap("bad height");
  const bool bottomUp = rawHeight > 0;
  const std::int64_t height = bottomUp ? rawHeight : -static_cast<std::int64_t>(rawHeight);
  if (width <= 0 || height <= 0 || width > static_cast<std::int64_t>(kMaxSide) || height > static_cast<std::int64_t>(kMaxSide))
    BadBitmap("size " + std::to_string(width) + "x" + std::to_string(height) + " is out of range");
  const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  const std::size_t need = static_cast<std::size_t>(height) * stride;
  if (dataOffset < kFileHeader + infoSize || dataOffset > file.size() || file.size() - dataOffset < need)
    BadBitmap("the pixel data is truncated");

  width_ = width;
  height_ = static_cast<int>(height);
  pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);
  const std::size_t bytesPerPixel = bits / 8;
  for (int y = 0; y < height_; ++y) {
    const int srcRow = bottomUp ? height_ - 1 - y : y;
    const std::uint8_t* row = file.data() + dataOffset + static_cast<std::size_t>(srcRow) * stride;
    std::uint32_t* out = pixels_.data() + static_cast<std::size_t>(y) * width_;
    for (int x = 0; x < width_; ++x) {
      const std::uint8_t* p = row + x * bytesPerPixel;
      out[x] = (static_cast<std::uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
    }
  }
}

std::vector<std::uint8_t> TBitmap::SaveToBmp() const {
  const std::size_t stride = ((static_cast<std::size_t>(width_) * 3 + 3) / 4) * 4;
  const std::size_t imageSize = stride * height_;
  std::vector<std::uint8_t> b;
  b.reserve(kFileHeader + 40 + imageSize);
  b.push_back('B');
  b.push_back('M');
  PutU32(b, static_cast<std::uint32_t>(kFileHeader + 40 + imageSize));
  PutU32(b, 0);
  PutU32(b, kFileHeader + 40);
  PutU32(b, 40);
  PutU32(b, static_cast<std::uint32_t>(width_));
  PutU32(b, static_cast<std::uint32_t>(height_));
  PutU16(b, 1);
  PutU16(b, 24);
  PutU32(b, 0);
  PutU32(b, static_cast<std::uint32_t>(imageSize));
  PutU32(b, 3780);  // 96 dpi
  PutU32(b, 3780);
  PutU32(b, 0);
  PutU32(b, 0);
  for (int y = height_ - 1; y >= 0; --y) {
    const std::uint32_t* row = pixels_.data() + static_cast<std::size_t>(y) * width_;
    for (int x = 0; x < width_; ++x) {
      b.push_back(static_cast<std::uint8_t>(row[x]));
      b.push_back(static_cast<std::uint8_t>(row[x] >> 8));
      b.push_back(static_cast<std::uint8_t>(row[x] >> 16));
    }
    b.resize(b.size() + (stride - static_cast<std::size_t>(width_) * 3), 0);
  }
  return b;
}

TPicture::TPicture() : bitmap_(std::make_unique<TBitmap>()) {}

void TPicture::Assign(const TPicture* source) {
  *bitmap_ = source ? *source->bitmap_ : TBitmap();
  Changed();
}

void TPicture::LoadFromData(std::span<const std::uint8_t> data) {
  if (data.empty()) throw Exception("Picture data is empty");
  const std::size_t nameLength = data[0];
  if (data.size() < 1 + nameLength) throw Exception("Picture data is truncated in its class name");
  const std::string className(reinterpret_cast<const char*>(data.data() + 1), nameLength);
  if (className != "TBitmap") throw Exception("Unsupported picture class '" + className + "'");
  const std::size_t at = 1 + nameLength;
  if (data.size() < at + 4) throw Exception("Picture data is truncated in its byte count");
  const std::uint32_t count = ReadU32(data, at);
  if (data.size() - (at + 4) != count)
    throw Exception("Picture data holds " + std::to_string(data.size() - (at + 4)) +
                    " bytes of bitmap where its byte count says " + std::to_string(count));
  TBitmap loaded;
  loaded.LoadFromBmp(data.subspan(at + 4));
  *bitmap_ = std::move(loaded);
  Changed();
}

void TPicture::Changed() {
  if (OnChange) OnChange();
}
