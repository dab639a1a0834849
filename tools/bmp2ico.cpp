// bmp2ico: makes a Windows icon file holding one image from a 24-bit BMP.
//
//   bmp2ico <in.bmp> <out.ico>
//
// The icon image is the bitmap's pixels (a BITMAPINFOHEADER with the height
// doubled for the mask, the 24-bit rows bottom-up) followed by an all-clear
// AND mask, one bit per pixel in rows padded to 32 bits.
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "toolkit/Exception.h"
#include "tools/BmpFile.h"
#include "tools/FileIO.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kIconDirSize = 6;
constexpr std::uint32_t kIconDirEntrySize = 16;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::int32_t kMaxIconSide = 256;

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string MakeIcon(const std::vector<std::uint8_t>& file) {
  const tools::Bmp24 bmp = tools::CheckBmp24(file);
  if (bmp.width > kMaxIconSide || bmp.height > kMaxIconSide)
    throw Exception("an icon image is at most 256x256 pixels, the bitmap is " +
                    std::to_string(bmp.width) + "x" + std::to_string(bmp.height));
  const auto w = static_cast<std::uint32_t>(bmp.width);
  const auto h = static_cast<std::uint32_t>(bmp.height);
  const std::uint32_t xorBytes = bmp.rowBytes * h;
  const std::uint32_t andRowBytes = (w + 31) / 32 * 4;
  const std::uint32_t andBytes = andRowBytes * h;
  const std::uint32_t imageBytes = kInfoHeaderSize + xorBytes + andBytes;

  std::string out;
  out.reserve(kIconDirSize + kIconDirEntrySize + imageBytes);
  // ICONDIR: reserved, type 1 (icon), one image.
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  // ICONDIRENTRY: a side of 256 is written as 0.
  out += static_cast<char>(w == 256 ? 0 : w);
  out += static_cast<char>(h == 256 ? 0 : h);
  out += '\0';  // colour count: none (24-bit)
  out += '\0';  // reserved
  Put16(out, 1);   // planes
  Put16(out, 24);  // bits per pixel
  Put32(out, imageBytes);
  Put32(out, kIconDirSize + kIconDirEntrySize);
  // BITMAPINFOHEADER of the image: the height covers the pixels and the mask.
  Put32(out, kInfoHeaderSize);
  Put32(out, w);
  Put32(out, h * 2);
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);  // BI_RGB
  Put32(out, xorBytes + andBytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  out.append(reinterpret_cast<const char*>(file.data()) + bmp.pixelOffset, xorBytes);
  out.append(andBytes, '\0');
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: bmp2ico <in.bmp> <out.ico>\n";
    return 1;
  }
  const fs::path input = argv[1], output = argv[2];
  try {
    std::string icon;
    try {
      icon = MakeIcon(tools::ReadFileBytes(input));
    } catch (const Exception& e) {
      throw Exception(input.string() + ": " + e.Message);
    }
    tools::WriteFileAtomically(output, icon);
  } catch (const std::exception& e) {
    tools::RemoveOutput(output);
    std::cerr << "bmp2ico: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
