// AnsiToWide: an ANSI string (the system's ANSI code page) into UTF-16.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "device/StackVersion.h"

namespace {

// Units that fit before the terminator.
constexpr int kRoom = static_cast<int>(kStackTextUnits) - 1;

bool IsHighSurrogate(WCHAR unit) {
  const auto value = static_cast<unsigned>(unit);
  return value >= 0xD800 && value <= 0xDBFF;
}

// Converts a text whose result does not fit and keeps the part that does,
// without leaving half of a surrogate pair at the end. Returns the units
// stored in `room` (kRoom of them at most).
int ConvertCut(const char* text, int length, WCHAR* room) {
  const int needed = ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, length, nullptr, 0);
  if (needed <= 0) return 0;
  std::vector<WCHAR> whole(static_cast<std::size_t>(needed));
  const int converted =
      ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, length, whole.data(), needed);
  if (converted <= 0) return 0;
  int kept = std::min(converted, kRoom);
  if (kept < converted && IsHighSurrogate(whole[static_cast<std::size_t>(kept) - 1])) --kept;
  std::copy_n(whole.begin(), kept, room);
  return kept;
}

}  // namespace

int AnsiToWide(const char* source, WCHAR* destination) {
  const char* text = source != nullptr ? source : "";
  const int length = static_cast<int>(std::min<std::size_t>(std::strlen(text), INT_MAX));

  WCHAR scratch[kStackTextUnits];
  int written = 0;
  // An empty string is not converted at all: MultiByteToWideChar refuses a
  // length of 0. A failed conversion leaves the result empty.
  if (length > 0) {
    written = ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, length, scratch, kRoom);
    if (written == 0 && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      written = ConvertCut(text, length, scratch);
    }
    written = std::clamp(written, 0, kRoom);
  }
  scratch[written] = 0;

  if (destination != nullptr) {
    std::copy_n(scratch, written + 1, destination);
  }
  return 1;
}
