// Conversions between the texts the emulated handheld meets: UTF-8 (file
// contents, log lines, environment) and UTF-16 (the remote-API strings and
// the stored registry).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rapiemu {

// Decodes UTF-8. Returns nullopt on a malformed sequence and sets *badOffset
// (if given) to the byte offset where it starts.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text, std::size_t* badOffset = nullptr);

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Reads a NUL-terminated UTF-16 string (nullptr reads as empty).
std::u16string_view WideView(const char16_t* text);

// ASCII and Latin-1 letters folded to lower case, for the registry's
// case-insensitive names.
std::u16string FoldCase(std::u16string_view text);

}  // namespace rapiemu
