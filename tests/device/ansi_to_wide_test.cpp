// AnsiToWide: the query's fixed strings and other texts into UTF-16, never
// more than the 260-unit buffer.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "device/StackVersion.h"

namespace {

constexpr WCHAR kUntouched = 0xAAAA;

// A destination larger than needed, filled with a marker, so writes past
// the result's terminator show.
struct Destination {
  std::array<WCHAR, 2 * kStackTextUnits> units;
  Destination() { units.fill(kUntouched); }

  // The text up to its terminator, which must lie within the 260 units.
  std::u16string Text() const {
    std::u16string text;
    for (std::size_t i = 0; i < kStackTextUnits; ++i) {
      if (units[i] == 0) return text;
      text.push_back(units[i]);
    }
    ADD_FAILURE() << "no terminator within " << kStackTextUnits << " units";
    return text;
  }
  bool UntouchedFrom(std::size_t first) const {
    for (std::size_t i = first; i < units.size(); ++i) {
      if (units[i] != kUntouched) return false;
    }
    return true;
  }
};

std::u16string Converted(const char* source, Destination& destination) {
  EXPECT_EQ(AnsiToWide(source, destination.units.data()), 1);
  const std::u16string text = destination.Text();
  EXPECT_TRUE(destination.UntouchedFrom(text.size() + 1)) << "written past the terminator";
  return text;
}

}  // namespace

TEST(AnsiToWide, ConvertsTexts) {
  struct Case {
    const char* label;
    const char* source;
    std::u16string expected;
  };
  const Case cases[] = {
      {"key path", "\\Software\\Widcomm\\Version", u"\\Software\\Widcomm\\Version"},
      {"value name", "Software", u"Software"},
      {"separator", ".", u"."},
      {"UTF-8 text", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80", u"Grüße € \U0001F600"},
      {"ill-formed byte", "a\xFF" "b", u"a\uFFFDb"},
      {"empty string", "", u""},
      {"null source", nullptr, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Destination destination;
    EXPECT_EQ(Converted(c.source, destination), c.expected);
  }
}

TEST(AnsiToWide, LongerResultsAreCutToTheBuffer) {
  struct Case {
    const char* label;
    std::string source;
    std::u16string expected;
  };
  const std::string emoji = "\xF0\x9F\x98\x80";
  const Case cases[] = {
      {"259 units fit", std::string(259, 'a'), std::u16string(259, u'a')},
      {"260 units are cut to 259", std::string(260, 'a'), std::u16string(259, u'a')},
      {"300 units are cut to 259", std::string(300, 'a'), std::u16string(259, u'a')},
      {"a pair that just fits", std::string(257, 'a') + emoji,
       std::u16string(257, u'a') + u"\U0001F600"},
      {"a pair is never split", std::string(258, 'a') + emoji, std::u16string(258, u'a')},
      {"a pair past the end is dropped", std::string(259, 'a') + emoji, std::u16string(259, u'a')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Destination destination;
    EXPECT_EQ(Converted(c.source.c_str(), destination), c.expected);
    EXPECT_TRUE(destination.UntouchedFrom(kStackTextUnits));
  }
}

TEST(AnsiToWide, FailedConversionLeavesAnEmptyString) {
  // The empty string cannot be converted (a length of 0 is refused); the
  // destination must still receive a terminator, not stale units.
  Destination destination;
  AnsiToWide("", destination.units.data());
  EXPECT_EQ(destination.units[0], 0);
  EXPECT_TRUE(destination.UntouchedFrom(1));
}
