// Fuzzes SplitVersion over UTF-16 text of any length, NUL or not.
//
// Input layout: byte 0 picks the separator (bits 0-1: ".", ".,", empty,
// null) and byte 1 how much of the text's buffer the call may read; the
// rest are the text's UTF-16LE units (an odd last byte is dropped). The
// units sit in a heap block of exactly their size, so reading one unit past
// the capacity is caught by AddressSanitizer. Every result is compared with
// the standard library's wide tokenizer and wide-to-long conversion run on
// the same text cut at the capacity, and clamped to 32 bits.
#include <climits>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "device/StackVersion.h"

namespace {

std::int32_t Clamp32(long value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

// What the standard functions make of the text's first `capacity` units.
StackVersion Reference(const WCHAR* text, std::size_t capacity, const WCHAR* separator) {
  std::vector<wchar_t> copy;
  for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) copy.push_back(static_cast<wchar_t>(text[i]));
  copy.push_back(L'\0');
  std::vector<wchar_t> delimiters;
  for (const WCHAR* s = separator; s && *s; ++s) delimiters.push_back(static_cast<wchar_t>(*s));
  delimiters.push_back(L'\0');

  StackVersion out{};
  wchar_t* state = nullptr;
  wchar_t* token = std::wcstok(copy.data(), delimiters.data(), &state);
  for (std::size_t i = 0; token != nullptr && i < out.size(); ++i) {
    out[i] = Clamp32(std::wcstol(token, nullptr, 10));
    token = std::wcstok(nullptr, delimiters.data(), &state);
  }
  return out;
}

void Check(const WCHAR* text, std::size_t capacity, const WCHAR* separator) {
  StackVersion got{7, 7, 7, 7};
  SplitVersion(text, capacity, separator, got);
  const StackVersion want = Reference(text, capacity, separator);
  if (got != want) {
    std::fprintf(stderr, "SplitVersion gave %d.%d.%d.%d, the standard functions %d.%d.%d.%d (capacity %zu)\n",
                 got[0], got[1], got[2], got[3], want[0], want[1], want[2], want[3], capacity);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The reference must classify white space as the C locale does.
  std::setlocale(LC_ALL, "C");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const WCHAR kDot[] = u".";
  static const WCHAR kDotComma[] = u".,";
  static const WCHAR kEmpty[] = u"";
  const WCHAR* const separators[] = {kDot, kDotComma, kEmpty, nullptr};
  const WCHAR* separator = separators[data[0] & 3];

  const std::size_t units = (size - 2) / 2;
  // Exactly `units` units: one more would be out of bounds.
  std::unique_ptr<WCHAR[]> text(new WCHAR[units == 0 ? 1 : units]);
  for (std::size_t i = 0; i < units; ++i)
    text[i] = static_cast<WCHAR>(data[2 + 2 * i] | (data[3 + 2 * i] << 8));

  if (units == 0) {
    // No text at all: a null pointer, and an empty buffer.
    StackVersion got{7, 7, 7, 7};
    SplitVersion(nullptr, 0, separator, got);
    if (got != StackVersion{}) std::abort();
    Check(text.get(), 0, separator);
    return 0;
  }
  Check(text.get(), units, separator);
  Check(text.get(), data[1] % (units + 1), separator);
  return 0;
}
