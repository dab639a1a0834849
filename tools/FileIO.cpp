#include "tools/FileIO.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "toolkit/Exception.h"

namespace tools {
namespace {

std::filesystem::path TemporaryFor(const std::filesystem::path& path) {
  std::filesystem::path tmp = path;
  tmp += ".part";
  return tmp;
}

}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw Exception("cannot read '" + path.string() + "': it is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Exception("cannot open '" + path.string() + "': " + std::strerror(errno));
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Exception("cannot read '" + path.string() + "'");
  return bytes;
}

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  const std::filesystem::path tmp = TemporaryFor(path);
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) throw Exception("cannot create '" + tmp.string() + "': " + std::strerror(errno));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      RemoveOutput(tmp);
      throw Exception("cannot write '" + tmp.string() + "'");
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    RemoveOutput(tmp);
    throw Exception("cannot rename '" + tmp.string() + "' to '" + path.string() + "': " + ec.message());
  }
}

void RemoveOutput(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::filesystem::remove(TemporaryFor(path), ec);
}

}  // namespace tools
