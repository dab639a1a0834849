// The BMP checks shared by dfmc and bmp2ico.
#include <gtest/gtest.h>

#include <string>

#include "TestBytes.h"
#include "toolkit/Exception.h"
#include "tools/BmpFile.h"

using streamtest::BmpOptions;
using streamtest::MakeBmp;

namespace {

TEST(BmpCheck, AcceptsBottomUp24BitFiles) {
  const tools::Bmp24 small = tools::CheckBmp24(MakeBmp(3, 2));
  EXPECT_EQ(small.width, 3);
  EXPECT_EQ(small.height, 2);
  EXPECT_EQ(small.rowBytes, 12u);  // 9 bytes padded to 12
  EXPECT_EQ(small.pixelOffset, 54u);
  BmpOptions v5;
  v5.infoSize = 124;  // a BITMAPV5HEADER
  const tools::Bmp24 large = tools::CheckBmp24(MakeBmp(244, 24, v5));
  EXPECT_EQ(large.width, 244);
  EXPECT_EQ(large.rowBytes, 732u);
  EXPECT_EQ(large.pixelOffset, 14u + 124u);
}

TEST(BmpCheck, RejectsOtherFiles) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    const char* messagePart;
  };
  auto with = [](auto set) {
    BmpOptions o;
    set(o);
    return MakeBmp(4, 3, o);
  };
  std::vector<std::uint8_t> notBmp = MakeBmp(4, 3);
  notBmp[0] = 'P';
  const std::vector<std::uint8_t> stub = {'B', 'M', 20, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0};
  const Case cases[] = {
      {"no signature", notBmp, "no 'BM' signature"},
      {"too short", stub, "too short"},
      {"32 bits per pixel", with([](BmpOptions& o) { o.bits = 32; }), "32 bits per pixel; 24 are required"},
      {"8 bits per pixel", with([](BmpOptions& o) { o.bits = 8; o.colours = 256; }), "8 bits per pixel"},
      {"run-length compressed", with([](BmpOptions& o) { o.compression = 1; }), "compression type 1"},
      {"top-down", with([](BmpOptions& o) { o.topDown = true; }), "top-down"},
      {"core header", with([](BmpOptions& o) { o.infoSize = 12; }), "info header of 12 bytes"},
      {"colour table", with([](BmpOptions& o) { o.colours = 2; }), "colour table of 2 entries"},
      {"size field too large", with([](BmpOptions& o) { o.sizeFieldDelta = 1; }), "file size as 91 bytes"},
      {"pixels cut short", with([](BmpOptions& o) { o.truncateBy = 5; o.sizeFieldDelta = 0; }),
       "runs past the end of the file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      tools::CheckBmp24(c.file);
      ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message.find(c.messagePart), std::string::npos) << e.Message;
    }
  }
}

}  // namespace
