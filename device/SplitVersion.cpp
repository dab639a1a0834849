// SplitVersion: a version text into its first four numbers, the way the
// standard wide tokenizer and wide-to-long conversion would read it, on
// 16-bit units on every system and with 32-bit limits.
#include <cstdint>
#include <limits>

#include "device/StackVersion.h"

namespace {

bool IsSeparator(WCHAR unit, const WCHAR* separator) {
  if (separator == nullptr) return false;
  for (const WCHAR* s = separator; *s != 0; ++s) {
    if (*s == unit) return true;
  }
  return false;
}

bool IsWhiteSpace(WCHAR unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\v' || unit == u'\f' ||
         unit == u'\r';
}

bool IsDigit(WCHAR unit) { return unit >= u'0' && unit <= u'9'; }

// Reads [begin, end) as a base-10 number, clamped to 32 bits.
std::int32_t ToNumber(const WCHAR* begin, const WCHAR* end) {
  const WCHAR* at = begin;
  while (at != end && IsWhiteSpace(*at)) ++at;
  bool negative = false;
  if (at != end && (*at == u'+' || *at == u'-')) {
    negative = *at == u'-';
    ++at;
  }
  // The magnitude saturates just past the largest one that can be returned.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  for (; at != end && IsDigit(*at); ++at) {
    magnitude = magnitude * 10 + (*at - u'0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<std::int32_t>(-magnitude);  // -2^31 at most
  return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max()
                             : static_cast<std::int32_t>(magnitude);
}

}  // namespace

void SplitVersion(const WCHAR* text, std::size_t capacityUnits, const WCHAR* separator,
                  StackVersion& out) {
  out.fill(0);
  if (text == nullptr) return;

  // The text ends at its first NUL or at the end of its buffer.
  const WCHAR* end = text;
  while (static_cast<std::size_t>(end - text) < capacityUnits && *end != 0) ++end;

  const WCHAR* at = text;
  for (std::size_t index = 0; index < out.size(); ++index) {
    while (at != end && IsSeparator(*at, separator)) ++at;
    if (at == end) return;
    const WCHAR* tokenEnd = at;
    while (tokenEnd != end && !IsSeparator(*tokenEnd, separator)) ++tokenEnd;
    out[index] = ToNumber(at, tokenEnd);
    at = tokenEnd;
  }
  // Any further tokens are ignored.
}
