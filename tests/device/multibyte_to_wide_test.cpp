// MultiByteToWideChar's stand-in: UTF-8 as the ANSI code page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winapi/winapi.h"

using namespace std::string_literals;

namespace {

constexpr DWORD kErrorOnInvalidChars = 0x8;  // MB_ERR_INVALID_CHARS

struct ConversionCase {
  const char* label;
  std::string bytes;
  bool nulTerminated;  // passed with -1 instead of its size
  std::u16string expected;
};

const ConversionCase kConversions[] = {
    {"ASCII", "abc", false, u"abc"},
    {"-1 converts and counts the terminator", "abc", true, u"abc\0"s},
    {"embedded NUL with a length", "a\0b"s, false, u"a\0b"s},
    {"two-byte character", "\xC3\xA9", false, u"\u00E9"},
    {"three-byte character", "\xE2\x82\xAC", false, u"\u20AC"},
    {"four-byte character becomes a surrogate pair", "\xF0\x9F\x98\x80", false, u"\xD83D\xDE00"},
    {"highest code point", "\xF4\x8F\xBF\xBF", false, u"\U0010FFFF"},
    {"invalid byte", "\xFF", false, u"\uFFFD"},
    {"lone continuation byte", "x\x80y", false, u"x\uFFFDy"},
    {"truncated at the end", "a\xC3", false, u"a\uFFFD"},
    {"truncated before another character", "\xE2\x82x", false, u"\uFFFDx"},
    {"truncated four-byte sequence is one replacement", "\xF0\x9F\x98" "a", false, u"\uFFFDa"},
    {"overlong two-byte form", "\xC0\xAF", false, u"\uFFFD\uFFFD"},
    {"overlong three-byte form", "\xE0\x80\xAF", false, u"\uFFFD\uFFFD\uFFFD"},
    {"encoded surrogate", "\xED\xA0\x80", false, u"\uFFFD\uFFFD\uFFFD"},
    {"above U+10FFFF", "\xF4\x90\x80\x80", false, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"invalid then terminator with -1", "\xFF", true, u"\uFFFD\0"s},
};

int Length(const ConversionCase& c) { return c.nulTerminated ? -1 : static_cast<int>(c.bytes.size()); }

}  // namespace

TEST(MultiByteToWideChar, ConvertsMeasuresAndRefusesSmallBuffers) {
  for (const ConversionCase& c : kConversions) {
    SCOPED_TRACE(c.label);
    const int needed = static_cast<int>(c.expected.size());
    for (const DWORD flags : {DWORD{0}, MB_PRECOMPOSED}) {
      EXPECT_EQ(MultiByteToWideChar(CP_ACP, flags, c.bytes.data(), Length(c), nullptr, 0), needed)
          << "size query";

      std::vector<WCHAR> exact(c.expected.size() + 1, 0x5A5A);
      ASSERT_EQ(MultiByteToWideChar(CP_ACP, flags, c.bytes.data(), Length(c), exact.data(), needed),
                needed);
      EXPECT_EQ(std::u16string(exact.data(), c.expected.size()), c.expected);
      EXPECT_EQ(exact.back(), 0x5A5A) << "written past the given size";

      if (needed > 1) {
        std::vector<WCHAR> small(c.expected.size() - 1, 0);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MultiByteToWideChar(CP_ACP, flags, c.bytes.data(), Length(c), small.data(),
                                      needed - 1),
                  0)
            << "one unit too small";
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
      }
    }
  }
}

TEST(MultiByteToWideChar, SurrogatePairNeedsBothUnits) {
  WCHAR one[1] = {0};
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xF0\x9F\x98\x80", 4, one, 1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(MultiByteToWideChar, StrictModeRefusesIllFormedInput) {
  WCHAR out[8];
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, kErrorOnInvalidChars, "a\xFF", 2, out, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, kErrorOnInvalidChars, "\xC3\xA9", 2, out, 8), 1);
  EXPECT_EQ(out[0], u'\u00E9');
}

TEST(MultiByteToWideChar, RefusesInvalidParameters) {
  WCHAR out[8];
  struct Case {
    const char* label;
    UINT codePage;
    DWORD flags;
    const char* bytes;
    int length;
    WCHAR* output;
    int capacity;
  };
  const Case cases[] = {
      {"null input", CP_ACP, 0, nullptr, 3, out, 8},
      {"zero length", CP_ACP, 0, "abc", 0, out, 8},
      {"negative length", CP_ACP, 0, "abc", -2, out, 8},
      {"negative capacity", CP_ACP, 0, "abc", 3, out, -1},
      {"null output with a capacity", CP_ACP, 0, "abc", 3, nullptr, 8},
      {"unknown code page", 437, 0, "abc", 3, out, 8},
      {"unknown flag", CP_ACP, 0x4, "abc", 3, out, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(c.codePage, c.flags, c.bytes, c.length, c.output, c.capacity), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
}
