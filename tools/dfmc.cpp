// dfmc: compiles a window definition from its text form into the binary form
// stream the program embeds.
//
//   dfmc <input.dfm> <output.bin> [--resources <dir>]
//
// TBitmap('name') pictures are read from the resources folder (by default the
// input's folder). Every picture must be an uncompressed bottom-up 24-bit BMP
// and, where its component gives Width and Height, exactly that size. On any
// error the message goes to stderr, no output is left behind and the exit
// code is 1.
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/FormStream.h"
#include "tools/BmpFile.h"
#include "tools/FileIO.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUsage = "usage: dfmc <input.dfm> <output.bin> [--resources <dir>]";

struct Arguments {
  fs::path input, output, resources;
};

std::optional<Arguments> ParseArguments(int argc, char** argv) {
  Arguments a;
  std::vector<std::string> positional;
  bool haveResources = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--resources") {
      if (i + 1 >= argc) return std::nullopt;
      a.resources = argv[++i];
      haveResources = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return std::nullopt;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return std::nullopt;
  a.input = positional[0];
  a.output = positional[1];
  if (!haveResources) a.resources = a.input.parent_path().empty() ? "." : a.input.parent_path();
  return a;
}

// The bitmap inside a Picture.Data value: the class name "TBitmap", a 32-bit
// byte count, then the BMP file. Other binary values are left alone.
std::optional<std::span<const std::uint8_t>> BitmapIn(const formstream::Binary& b) {
  static constexpr std::string_view kClass = "TBitmap";
  const auto& bytes = b.bytes;
  if (bytes.size() < 1 + kClass.size() || bytes[0] != kClass.size() ||
      std::string_view(reinterpret_cast<const char*>(bytes.data() + 1), kClass.size()) != kClass)
    return std::nullopt;
  const std::size_t head = 1 + kClass.size() + 4;
  if (bytes.size() < head) throw Exception("picture data is cut short after its class name");
  const std::uint32_t count = bytes[8] | (std::uint32_t{bytes[9]} << 8) |
                              (std::uint32_t{bytes[10]} << 16) | (std::uint32_t{bytes[11]} << 24);
  if (count != bytes.size() - head)
    throw Exception("picture data gives a bitmap of " + std::to_string(count) + " bytes but holds " +
                    std::to_string(bytes.size() - head));
  return std::span<const std::uint8_t>(bytes).subspan(head);
}

std::optional<std::int64_t> IntegerProperty(const formstream::Component& c, std::string_view name) {
  for (const auto& p : c.properties)
    if (p.name == name)
      if (const auto* i = std::get_if<formstream::Integer>(&p.value.v)) return i->value;
  return std::nullopt;
}

std::string Size(std::int64_t w, std::int64_t h) { return std::to_string(w) + "x" + std::to_string(h); }

// Checks every bitmap of the tree against its component's size.
void CheckPictures(const formstream::Component& c) {
  const std::string label = (c.name.empty() ? "an unnamed component" : c.name) + " (" + c.className + ")";
  const auto width = IntegerProperty(c, "Width");
  const auto height = IntegerProperty(c, "Height");
  for (const auto& p : c.properties) {
    const auto* binary = std::get_if<formstream::Binary>(&p.value.v);
    if (!binary) continue;
    try {
      const auto bitmap = BitmapIn(*binary);
      if (!bitmap) continue;
      const tools::Bmp24 bmp = tools::CheckBmp24(*bitmap);
      if (width && height && (bmp.width != *width || bmp.height != *height))
        throw Exception("the bitmap is " + Size(bmp.width, bmp.height) +
                        " pixels but the component is " + Size(*width, *height) +
                        " (Width x Height)");
    } catch (const Exception& e) {
      throw Exception(label + ", property " + p.name + ": " + e.Message);
    }
  }
  for (const auto& child : c.children) CheckPictures(child);
}

std::vector<std::uint8_t> LoadBitmap(const fs::path& resources, const std::string& name) {
  const fs::path relative(name);
  if (name.empty() || relative.is_absolute())
    throw Exception("a bitmap is named by a path relative to the resources folder, not '" + name + "'");
  const fs::path file = resources / relative;
  std::vector<std::uint8_t> bytes = tools::ReadFileBytes(file);
  try {
    tools::CheckBmp24(bytes);
  } catch (const Exception& e) {
    throw Exception(file.string() + ": " + e.Message);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = ParseArguments(argc, argv);
  if (!args) {
    std::cerr << kUsage << "\n";
    return 1;
  }
  try {
    const std::vector<std::uint8_t> text = tools::ReadFileBytes(args->input);
    formstream::Component root;
    try {
      root = formstream::ReadText(
          std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
          [&](const std::string& name) { return LoadBitmap(args->resources, name); });
      CheckPictures(root);
    } catch (const Exception& e) {
      throw Exception(args->input.string() + ": " + e.Message);
    }
    const std::vector<std::uint8_t> stream = formstream::WriteBinary(root);
    tools::WriteFileAtomically(
        args->output, std::string_view(reinterpret_cast<const char*>(stream.data()), stream.size()));
  } catch (const std::exception& e) {
    tools::RemoveOutput(args->output);
    std::cerr << "dfmc: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
