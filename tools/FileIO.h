// File helpers of the build-time tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tools {

// The whole file; throws Exception naming the file when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);

// Writes the file through a temporary beside it, so that a failed run never
// leaves a partial output behind; throws Exception on failure.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Removes a stale output after a failed run (ignores errors).
void RemoveOutput(const std::filesystem::path& path);

}  // namespace tools
