// MultiByteToWideChar for the launcher's POSIX builds.
//
// The ANSI code page (CP_ACP) of a POSIX system is its locale's multibyte
// encoding; this stand-in takes it to be UTF-8, as it is on every current
// desktop, without looking at the locale. CP_UTF8 (65001) is the same thing
// and is accepted too; any other code page is refused.
//
// As on Windows:
// - cbMultiByte == -1 means the input is NUL-terminated, and the terminator is
//   converted and counted too; otherwise exactly cbMultiByte bytes are read,
//   NULs included.
// - cchWideChar == 0 asks for the number of UTF-16 units needed; nothing is
//   written and lpWideCharStr is not used.
// - A buffer too small for the whole result gives 0 with
//   ERROR_INSUFFICIENT_BUFFER (the units that fitted may have been written).
// - Ill-formed UTF-8 becomes U+FFFD, one for each maximal subpart of an
//   ill-formed sequence (the Unicode standard's recommended practice):
//   overlong forms, encoded surrogates and values above U+10FFFF are
//   ill-formed. With MB_ERR_INVALID_CHARS (0x8) such input fails instead,
//   with ERROR_NO_UNICODE_TRANSLATION.
// - Characters beyond U+FFFF become surrogate pairs.
// - MB_PRECOMPOSED is accepted and changes nothing (UTF-8 text is taken as it
//   is, composed or not). Any other flag, a null or empty input, a negative
//   length other than -1, a negative output size or a null output with a
//   non-zero size gives 0 with ERROR_INVALID_PARAMETER.
#include <climits>
#include <cstddef>
#include <cstring>

#include "winapi/winapi.h"

namespace {

constexpr UINT kCodePageUtf8 = 65001;
constexpr DWORD kErrorOnInvalidChars = 0x8;  // MB_ERR_INVALID_CHARS
constexpr char16_t kReplacementCharacter = 0xFFFD;

struct Decoded {
  std::size_t length;  // bytes consumed
  char32_t codePoint;  // meaningful when valid
  bool valid;
};

// Decodes the character at the start of [bytes, bytes + count), count > 0.
// An ill-formed sequence consumes its maximal subpart: the longest start of
// a well-formed sequence that is there, at least one byte.
Decoded DecodeUtf8(const unsigned char* bytes, std::size_t count) {
  const unsigned char lead = bytes[0];
  if (lead < 0x80) {
    return {1, lead, true};
  }
  std::size_t length = 0;
  unsigned char secondLow = 0x80;
  unsigned char secondHigh = 0xBF;
  char32_t codePoint = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
    if (lead == 0xE0) secondLow = 0xA0;   // no overlong forms
    if (lead == 0xED) secondHigh = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
    if (lead == 0xF0) secondLow = 0x90;   // no overlong forms
    if (lead == 0xF4) secondHigh = 0x8F;  // nothing above U+10FFFF
  } else {
    return {1, 0, false};  // a continuation byte, C0, C1 or F5..FF
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char low = i == 1 ? secondLow : 0x80;
    const unsigned char high = i == 1 ? secondHigh : 0xBF;
    if (i >= count || bytes[i] < low || bytes[i] > high) {
      return {i, 0, false};
    }
    codePoint = (codePoint << 6) | (bytes[i] & 0x3F);
  }
  return {length, codePoint, true};
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
  if ((CodePage != CP_ACP && CodePage != kCodePageUtf8) ||
      (dwFlags & ~(MB_PRECOMPOSED | kErrorOnInvalidChars)) != 0 || lpMultiByteStr == nullptr ||
      cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::size_t byteCount = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1
                                                  : static_cast<std::size_t>(cbMultiByte);
  if (byteCount > static_cast<std::size_t>(INT_MAX)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
  const bool measureOnly = cchWideChar == 0;
  const auto capacity = static_cast<std::size_t>(cchWideChar);

  std::size_t written = 0;  // units produced (and, unless measuring, stored)
  for (std::size_t at = 0; at < byteCount;) {
    const Decoded decoded = DecodeUtf8(bytes + at, byteCount - at);
    at += decoded.length;

    char16_t units[2];
    std::size_t unitCount = 1;
    if (!decoded.valid) {
      if (dwFlags & kErrorOnInvalidChars) {
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
      }
      units[0] = kReplacementCharacter;
    } else if (decoded.codePoint >= 0x10000) {
      const char32_t offset = decoded.codePoint - 0x10000;
      units[0] = static_cast<char16_t>(0xD800 + (offset >> 10));
      units[1] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
      unitCount = 2;
    } else {
      units[0] = static_cast<char16_t>(decoded.codePoint);
    }

    if (!measureOnly) {
      if (capacity - written < unitCount) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
      }
      for (std::size_t i = 0; i < unitCount; ++i) {
        lpWideCharStr[written + i] = units[i];
      }
    }
    written += unitCount;
  }
  // Never more units than bytes, so this fits in an int.
  return static_cast<int>(written);
}
