// Runs one fuzz target's entry over every file of the folders given (its
// seed corpus and the inputs its runs have found), without libFuzzer, as an
// ordinary test: the target aborts on a wrong result, the sanitizers (when
// built with them) on a bad access.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!fs::is_directory(argv[i])) continue;  // a target may have no regressions yet
    for (const auto& e : fs::directory_iterator(argv[i]))
      if (e.is_regular_file()) files.push_back(e.path());
  }
  if (files.empty()) {
    std::fprintf(stderr, "fuzz replay: no inputs in the folders given\n");
    return 1;
  }
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::printf("%s (%zu bytes)\n", file.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("%zu inputs replayed\n", files.size());
  return 0;
}
