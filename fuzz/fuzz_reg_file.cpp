// Fuzzes the emulated handheld's .reg reader. A file is either read into a
// registry or refused with a RegFileError naming a line of the file; no
// other exception may leave, and the sanitizers watch the rest. A file that
// was read once is read again on top of what it built, which must succeed:
// whether a line is accepted never depends on what the registry holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "emulator/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<rapiemu::Registry> registry;
  try {
    registry.emplace(rapiemu::ParseRegFile(bytes));
  } catch (const rapiemu::RegFileError& error) {
    // Every line ends with a 0x0A byte (UTF-8 or UTF-16LE), so a file has at
    // most that many lines plus one.
    const auto lines = std::count(bytes.begin(), bytes.end(), '\n') + 1;
    if (error.line() < 1 || error.line() > lines) {
      std::fprintf(stderr, "error names line %d of a file of at most %ld lines: %s\n", error.line(),
                   static_cast<long>(lines), error.what());
      std::abort();
    }
    return 0;
  }
  try {
    rapiemu::ApplyRegFile(bytes, *registry);
  } catch (const rapiemu::RegFileError& error) {
    std::fprintf(stderr, "accepted once, refused on top of itself: %s\n", error.what());
    std::abort();
  }
  return 0;
}
