// The version of the handheld's Bluetooth software, read from the handheld's
// registry over the remote API, and the text helpers that reading uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "winapi/winapi.h"

// The first four dot-separated numbers of the version text, in text order.
using StackVersion = std::array<std::int32_t, 4>;

// Size in UTF-16 units of every text buffer of the query, terminator
// included: the key path, the value name, the separator and the value.
inline constexpr std::size_t kStackTextUnits = 260;

// Converts the NUL-terminated ANSI string `source` into a NUL-terminated
// UTF-16 string in `destination`, which must hold kStackTextUnits units.
// Writes at most kStackTextUnits units, the NUL included: a longer result is
// cut after 259 units (never in the middle of a surrogate pair). A string
// that cannot be converted (the empty string among them) gives an empty
// result. A null source counts as empty. Returns 1.
int AnsiToWide(const char* source, WCHAR* destination);

// Splits a version text into its numbers. The text ends at its first NUL or
// after capacityUnits units, whichever comes first; nothing past that is
// read. Tokens are the runs of units that are none of the separator's
// characters (a NUL-terminated set; null or empty: the whole text is one
// token), so runs of separators never make empty tokens. Tokens 0 to 3 give
// out[0..3] as base-10 integers: leading white space (space, \t, \n, \v, \f,
// \r; no other Unicode spaces) is skipped, then an optional '+' or '-', then
// ASCII digits up to the first other unit; no digits gives 0, and a value
// beyond 32 bits gives INT32_MAX or INT32_MIN. Further tokens are ignored;
// numbers without a token are 0 (out is fully rewritten).
void SplitVersion(const WCHAR* text, std::size_t capacityUnits, const WCHAR* separator,
                  StackVersion& out);

// Reads the value "Software" of the handheld's key
// HKEY_LOCAL_MACHINE\Software\Widcomm\Version over an open remote-API
// connection and splits it at '.' into `version`. Returns false, with all
// four numbers 0, when the key cannot be opened or the value cannot be read;
// true otherwise, also when the text holds no number. The value's type is not
// looked at; a value that fills its 260-unit buffer without a NUL is cut at
// the buffer's end. The key is closed before returning.
bool ReadStackVersion(StackVersion& version);
