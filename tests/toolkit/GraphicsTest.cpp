#include <gtest/gtest.h>

#include "toolkit/Exception.h"
#include "toolkit/Graphics.h"

namespace {

TBitmap Pattern(int w, int h) {
  TBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.Pixels()[y * w + x] = static_cast<std::uint32_t>((x * 37 + y * 101) & 0xFFFFFF);
  return b;
}

// A BMP of the pattern with the given bits per pixel and row order.
std::vector<std::uint8_t> Encode(const TBitmap& b, int bits, bool topDown) {
  std::vector<std::uint8_t> f = b.SaveToBmp();  // 24-bit bottom-up
  if (bits == 24 && !topDown) return f;
  const int w = b.Width(), h = b.Height();
  const std::size_t stride = static_cast<std::size_t>(w) * 4;
  f.resize(54);
  f[28] = 32;
  const std::int32_t height = topDown ? -h : h;
  for (int i = 0; i < 4; ++i) f[22 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(height) >> (8 * i));
  for (int row = 0; row < h; ++row) {
    const int y = topDown ? row : h - 1 - row;
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = b.Pixel(x, y);
      f.insert(f.end(), {static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 8),
                         static_cast<std::uint8_t>(p >> 16), 0});
    }
  }
  const auto size = static_cast<std::uint32_t>(f.size());
  for (int i = 0; i < 4; ++i) f[2 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  (void)stride;
  return f;
}

TEST(Bitmap, ReadsWhatItWritesWithOddWidthsAndRowPadding) {
  for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {76, 32}, {179, 19}, {5, 7}}) {
    const TBitmap b = Pattern(w, h);
    TBitmap read;
    read.LoadFromBmp(b.SaveToBmp());
    EXPECT_EQ(read, b) << w << "x" << h;
  }
}

TEST(Bitmap, ReadsThirtyTwoBitAndTopDownFiles) {
  const TBitmap b = Pattern(9, 4);
  for (auto [bits, topDown] : {std::pair{32, false}, {32, true}}) {
    TBitmap read;
    read.LoadFromBmp(Encode(b, bits, topDown));
    EXPECT_EQ(read, b) << bits << (topDown ? " top-down" : " bottom-up");
  }
}

TEST(Bitmap, RejectsDamagedFilesWithAReason) {
  const std::vector<std::uint8_t> good = Pattern(6, 3).SaveToBmp();
  const struct {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    const char* reason;
  } cases[] = {
      {"empty", [](auto& f) { f.clear(); }, "too short"},
      {"magic", [](auto& f) { f[1] = 'X'; }, "\"BM\""},
      {"bits", [](auto& f) { f[28] = 8; }, "8 bits per pixel"},
      {"compression", [](auto& f) { f[30] = 1; }, "compressed"},
      {"truncated pixels", [](auto& f) { f.resize(f.size() - 1); }, "truncated"},
      {"zero width", [](auto& f) { f[18] = f[19] = f[20] = f[21] = 0; }, "out of range"},
      {"huge height", [](auto& f) { f[22] = f[23] = f[24] = 0; f[25] = 0x40; }, "out of range"},
      {"data offset past end", [](auto& f) { f[10] = 0xFF; f[11] = 0xFF; }, "truncated"},
      {"info header", [](auto& f) { f[14] = 12; }, "info header"},
  };
  for (const auto& c : cases) {
    auto f = good;
    c.damage(f);
    TBitmap b;
    try {
      b.LoadFromBmp(f);
      ADD_FAILURE() << c.name << ": no exception";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message.find(c.reason), std::string::npos) << c.name << ": " << e.Message;
    }
  }
}

TEST(Picture, AssignGivesTheTargetItsOwnCopy) {
  TPicture source, target;
  *source.Bitmap() = Pattern(4, 4);
  int changes = 0;
  target.OnChange = [&] { ++changes; };
  target.Assign(&source);
  EXPECT_EQ(*target.Bitmap(), *source.Bitmap());
  EXPECT_NE(target.Bitmap(), source.Bitmap());
  source.Bitmap()->Pixels()[0] = 0xABCDEF;
  EXPECT_NE(target.Bitmap()->Pixel(0, 0), 0xABCDEFu) << "the copy does not follow the source";
  EXPECT_EQ(changes, 1);
}

TEST(Picture, ReadsTheStoredPictureLayoutAndRejectsOthers) {
  const auto bmp = Pattern(3, 3).SaveToBmp();
  auto data = std::vector<std::uint8_t>{7, 'T', 'B', 'i', 't', 'm', 'a', 'p'};
  for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(bmp.size() >> (8 * i)));
  data.insert(data.end(), bmp.begin(), bmp.end());
  TPicture p;
  p.LoadFromData(data);
  EXPECT_EQ(*p.Bitmap(), Pattern(3, 3));

  auto wrongCount = data;
  wrongCount[8] ^= 1;
  EXPECT_THROW(p.LoadFromData(wrongCount), Exception);
  auto wrongClass = data;
  wrongClass[1] = 'J';
  EXPECT_THROW(p.LoadFromData(wrongClass), Exception);
  EXPECT_THROW(p.LoadFromData(std::span(data).first(5)), Exception);
  EXPECT_EQ(*p.Bitmap(), Pattern(3, 3)) << "a failed load keeps the picture";
}

TEST(Color, SystemColoursAndRgb) {
  EXPECT_EQ(ColorToRgb(clWindow), 0xFFFFFFu);
  EXPECT_EQ(ColorToRgb(clWindowText), 0x000000u);
  EXPECT_EQ(ColorToRgb(0x0000FF), 0xFF0000u) << "TColor is BGR";
}

}  // namespace
