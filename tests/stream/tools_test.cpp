// The build-time tools run as programs: dfmc, bmp2ico and embed.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "TestBytes.h"
#include "toolkit/FormStream.h"

namespace fs = std::filesystem;
using namespace formstream;
using streamtest::BmpOptions;
using streamtest::MakeBmp;

namespace {

struct RunResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

RunResult RunTool(const std::vector<std::string>& args) {
  std::string command;
  for (const std::string& a : args) command += Quote(a) + " ";
  command += "2>&1";
  RunResult r;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
  const int status = pclose(pipe);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// A fresh folder per test, removed afterwards.
class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("stream_tools_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  void Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::ofstream out(Path(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void Write(const std::string& name, const std::string& text) const {
    Write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  std::vector<std::uint8_t> Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
};

// ---- dfmc ---------------------------------------------------------------

const char* kForm =
    "object Form1: TForm1\n"
    "  ClientWidth = 640\n"
    "  object INSTALL: TImage\n"
    "    Width = 3\n"
    "    Height = 2\n"
    "    Picture.Data = TBitmap('tiny.bmp')\n"
    "  end\n"
    "end\n";

class DfmcTest : public ToolTest {
 protected:
  RunResult Compile() {
    return RunTool({DFMC_EXE, Path("form.dfm").string(), Path("form.bin").string(), "--resources",
                Path("res").string()});
  }
  void SetUp() override {
    ToolTest::SetUp();
    fs::create_directories(Path("res"));
    Write("form.dfm", std::string(kForm));
    Write("form.bin", std::string("stale output"));
  }
};

TEST_F(DfmcTest, CompilesTheFormWithItsBitmap) {
  const std::vector<std::uint8_t> bmp = MakeBmp(3, 2);
  Write("res/tiny.bmp", bmp);
  const RunResult r = Compile();
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const Component form = ReadBinary(Read("form.bin"));
  EXPECT_EQ(form.name, "Form1");
  ASSERT_EQ(form.children.size(), 1u);
  const Component& install = form.children[0];
  ASSERT_EQ(install.properties.size(), 3u);
  EXPECT_EQ(install.properties[2].name, "Picture.Data");
  std::vector<std::uint8_t> expected = {7, 'T', 'B', 'i', 't', 'm', 'a', 'p',
                                        static_cast<std::uint8_t>(bmp.size()), 0, 0, 0};
  expected.insert(expected.end(), bmp.begin(), bmp.end());
  EXPECT_EQ(install.properties[2].value, Value{Binary{expected}});
}

TEST_F(DfmcTest, ResourcesDefaultToTheInputFolder) {
  Write("tiny.bmp", MakeBmp(3, 2));
  const RunResult r = RunTool({DFMC_EXE, Path("form.dfm").string(), Path("form.bin").string()});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NO_THROW(ReadBinary(Read("form.bin")));
}

TEST_F(DfmcTest, RejectsBadInputAndLeavesNoOutput) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bitmap;  // empty: no file
    std::string form;
    std::vector<std::string> parts;
  };
  BmpOptions deep;
  deep.bits = 32;
  const Case cases[] = {
      {"wrong size", MakeBmp(4, 2), kForm, {"INSTALL", "4x2", "3x2"}},
      {"32-bit bitmap", MakeBmp(3, 2, deep), kForm, {"tiny.bmp", "32 bits per pixel"}},
      {"missing bitmap", {}, kForm, {"line 6", "tiny.bmp", "cannot open"}},
      {"syntax error", MakeBmp(3, 2), "object Form1: TForm1\n  Left 1\nend\n", {"form.dfm", "line 2, column 8"}},
      {"bitmap given as hex of the wrong size", {},
       "object Form1: TForm1\n  object A: TImage\n    Width = 1\n    Height = 1\n    Picture.Data = {"
       "07544269746D61703E000000"  // "TBitmap", 62 bytes
       "424D3E000000000000003600000028000000020000000100000001001800000000000000000000000000"
       "0000000000000000000000000000000000000000}\n  end\nend\n",
       {"A (TImage)", "2x1", "1x1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Path("res/tiny.bmp"));
    if (!c.bitmap.empty()) Write("res/tiny.bmp", c.bitmap);
    Write("form.dfm", c.form);
    Write("form.bin", std::string("stale output"));
    const RunResult r = Compile();
    EXPECT_EQ(r.exitCode, 1) << r.output;
    for (const std::string& part : c.parts)
      EXPECT_NE(r.output.find(part), std::string::npos) << r.output << "\nexpected: " << part;
    EXPECT_FALSE(fs::exists(Path("form.bin")));
    EXPECT_FALSE(fs::exists(Path("form.bin.part")));
  }
}

TEST_F(DfmcTest, UsageErrors) {
  const std::vector<std::vector<std::string>> calls = {
      {DFMC_EXE},
      {DFMC_EXE, Path("form.dfm").string()},
      {DFMC_EXE, Path("form.dfm").string(), Path("form.bin").string(), "--resources"},
      {DFMC_EXE, Path("form.dfm").string(), Path("form.bin").string(), "--bogus"},
  };
  for (const auto& call : calls) {
    const RunResult r = RunTool(call);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("usage: dfmc"), std::string::npos) << r.output;
  }
}

// ---- bmp2ico ------------------------------------------------------------

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b.at(at) | (std::uint32_t{b.at(at + 1)} << 8) | (std::uint32_t{b.at(at + 2)} << 16) |
         (std::uint32_t{b.at(at + 3)} << 24);
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

TEST_F(ToolTest, Bmp2icoWritesOneIconImage) {
  struct Case {
    int width, height;
    std::uint32_t andRowBytes;
  };
  const Case cases[] = {{16, 16, 4}, {3, 2, 4}, {33, 5, 8}, {256, 256, 32}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const std::vector<std::uint8_t> bmp = MakeBmp(c.width, c.height);
    Write("in.bmp", bmp);
    const RunResult r = RunTool({BMP2ICO_EXE, Path("in.bmp").string(), Path("out.ico").string()});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::vector<std::uint8_t> ico = Read("out.ico");
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(c.width) * 3 + 3) / 4 * 4;
    const std::uint32_t xorBytes = rowBytes * static_cast<std::uint32_t>(c.height);
    const std::uint32_t andBytes = c.andRowBytes * static_cast<std::uint32_t>(c.height);
    ASSERT_EQ(ico.size(), 6u + 16u + 40u + xorBytes + andBytes);
    // ICONDIR
    EXPECT_EQ(U16(ico, 0), 0);
    EXPECT_EQ(U16(ico, 2), 1);
    EXPECT_EQ(U16(ico, 4), 1);
    // ICONDIRENTRY
    EXPECT_EQ(ico[6], c.width == 256 ? 0 : c.width);
    EXPECT_EQ(ico[7], c.height == 256 ? 0 : c.height);
    EXPECT_EQ(ico[8], 0);
    EXPECT_EQ(U16(ico, 10), 1);
    EXPECT_EQ(U16(ico, 12), 24);
    EXPECT_EQ(U32(ico, 14), 40u + xorBytes + andBytes);
    EXPECT_EQ(U32(ico, 18), 22u);
    // BITMAPINFOHEADER with the doubled height
    EXPECT_EQ(U32(ico, 22), 40u);
    EXPECT_EQ(U32(ico, 26), static_cast<std::uint32_t>(c.width));
    EXPECT_EQ(U32(ico, 30), static_cast<std::uint32_t>(c.height * 2));
    EXPECT_EQ(U16(ico, 34), 1);
    EXPECT_EQ(U16(ico, 36), 24);
    EXPECT_EQ(U32(ico, 38), 0u);
    EXPECT_EQ(U32(ico, 42), xorBytes + andBytes);
    // The pixels unchanged, then a clear mask.
    EXPECT_TRUE(std::equal(bmp.begin() + 54, bmp.end(), ico.begin() + 62));
    EXPECT_TRUE(std::all_of(ico.begin() + 62 + xorBytes, ico.end(), [](std::uint8_t b) { return b == 0; }));
  }
}

TEST_F(ToolTest, Bmp2icoRejectsUnsuitableBitmaps) {
  BmpOptions deep;
  deep.bits = 32;
  const std::vector<std::pair<std::vector<std::uint8_t>, std::string>> cases = {
      {MakeBmp(16, 16, deep), "32 bits per pixel"},
      {MakeBmp(257, 1), "at most 256x256"},
  };
  for (const auto& [bmp, part] : cases) {
    SCOPED_TRACE(part);
    Write("in.bmp", bmp);
    const RunResult r = RunTool({BMP2ICO_EXE, Path("in.bmp").string(), Path("out.ico").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find(part), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(Path("out.ico")));
  }
  const RunResult missing = RunTool({BMP2ICO_EXE, Path("none.bmp").string(), Path("out.ico").string()});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("none.bmp"), std::string::npos) << missing.output;
}

// ---- embed --------------------------------------------------------------

// The bytes of the data[] array of a generated source, parsed back.
std::vector<std::uint8_t> ParseEmbedded(const std::string& source, std::size_t* longestLine) {
  const std::size_t open = source.find("static const unsigned char data[] = {\n");
  const std::size_t close = source.find("};", open);
  if (open == std::string::npos || close == std::string::npos) return {};
  std::istringstream body(source.substr(open, close - open));
  std::string line;
  std::getline(body, line);  // the declaration
  std::vector<std::uint8_t> bytes;
  const std::regex literal("0x([0-9a-f]{2}),");
  *longestLine = 0;
  while (std::getline(body, line)) {
    std::size_t count = 0;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), literal); it != std::sregex_iterator(); ++it) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul((*it)[1].str(), nullptr, 16)));
      ++count;
    }
    EXPECT_EQ(line.size(), count * 5) << "unexpected text in line: " << line;
    *longestLine = std::max(*longestLine, count);
  }
  return bytes;
}

TEST_F(ToolTest, EmbedWritesARegisteringSource) {
  std::vector<std::uint8_t> input;
  for (int i = 0; i < 1000; ++i) input.push_back(static_cast<std::uint8_t>(i * 37 + i / 256));
  Write("form.bin", input);
  const RunResult r = RunTool({EMBED_EXE, Path("form.bin").string(), Path("form.cpp").string(), "TFORM1"});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::vector<std::uint8_t> out = Read("form.cpp");
  const std::string source(out.begin(), out.end());
  EXPECT_NE(source.find("#include \"toolkit/Resources.h\"\n"), std::string::npos);
  EXPECT_NE(source.find("static toolkit::ResourceRegistration reg_TFORM1{\"TFORM1\", data, sizeof data};"),
            std::string::npos)
      << source.substr(source.size() > 200 ? source.size() - 200 : 0);
  std::size_t longestLine = 0;
  EXPECT_EQ(ParseEmbedded(source, &longestLine), input);
  EXPECT_EQ(longestLine, 16u);
}

TEST_F(ToolTest, EmbedOfAnEmptyFile) {
  Write("empty.bin", std::vector<std::uint8_t>{});
  const RunResult r = RunTool({EMBED_EXE, Path("empty.bin").string(), Path("empty.cpp").string(), "EMPTY"});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::vector<std::uint8_t> out = Read("empty.cpp");
  const std::string source(out.begin(), out.end());
  EXPECT_NE(source.find("reg_EMPTY{\"EMPTY\", data, 0};"), std::string::npos) << source;
}

TEST_F(ToolTest, EmbedRejectsBadArguments) {
  Write("in.bin", std::string("abc"));
  const RunResult badName = RunTool({EMBED_EXE, Path("in.bin").string(), Path("out.cpp").string(), "MAIN-ICON"});
  EXPECT_EQ(badName.exitCode, 1);
  EXPECT_NE(badName.output.find("'MAIN-ICON'"), std::string::npos) << badName.output;
  EXPECT_FALSE(fs::exists(Path("out.cpp")));
  const RunResult missing = RunTool({EMBED_EXE, Path("none.bin").string(), Path("out.cpp").string(), "X"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("none.bin"), std::string::npos) << missing.output;
  const RunResult usage = RunTool({EMBED_EXE, Path("in.bin").string()});
  EXPECT_EQ(usage.exitCode, 1);
  EXPECT_NE(usage.output.find("usage: embed"), std::string::npos) << usage.output;
}

}  // namespace
