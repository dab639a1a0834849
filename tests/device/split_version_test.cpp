// SplitVersion: version texts into the four numbers, and which installer
// those numbers select.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "device/StackVersion.h"

using namespace std::string_literals;

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr StackVersion kWideInstallerVersion{1, 4, 1, 75};

struct VersionCase {
  const char* label;
  std::u16string text;  // may hold a NUL of its own
  StackVersion expected;
  bool selectsWideInstaller;
};

const VersionCase kCases[] = {
    {"plain", u"1.4.1.75", {1, 4, 1, 75}, true},
    {"fifth part ignored", u"1.4.1.75.2", {1, 4, 1, 75}, true},
    {"leading zeros are decimal", u"01.04.01.075", {1, 4, 1, 75}, true},
    {"empty part skipped", u"1..4.1.75", {1, 4, 1, 75}, true},
    {"number stops at non-digit", u"1.4.1.75b", {1, 4, 1, 75}, true},
    {"other build", u"1.4.1.76", {1, 4, 1, 76}, false},
    {"three parts", u"1.4.1", {1, 4, 1, 0}, false},
    {"two parts", u"1.4", {1, 4, 0, 0}, false},
    {"empty", u"", {0, 0, 0, 0}, false},
    {"separators only", u"....", {0, 0, 0, 0}, false},
    {"leading and trailing separators", u".1.4.1.75.", {1, 4, 1, 75}, true},
    {"white space before numbers", u" 1. 4.\t1.75", {1, 4, 1, 75}, true},
    {"all six white-space units", u"\n\v\f\r 1.4.1.\t75", {1, 4, 1, 75}, true},
    {"white space after a number", u"1.4.1.75 ", {1, 4, 1, 75}, true},
    {"no-break space is not white space", u"1.4.1.\u00A075", {1, 4, 1, 0}, false},
    {"ideographic space is not white space", u"1.4.1.\u300075", {1, 4, 1, 0}, false},
    {"plus sign", u"+1.4.1.75", {1, 4, 1, 75}, true},
    {"minus sign", u"-1.4.1.75", {-1, 4, 1, 75}, false},
    {"sign without digits", u"1.4.1.+", {1, 4, 1, 0}, false},
    {"two signs", u"1.4.1.+-75", {1, 4, 1, 0}, false},
    {"space after sign", u"1.4.1.- 75", {1, 4, 1, 0}, false},
    {"overflow clamps up", u"1.4.1.99999999999", {1, 4, 1, kMax}, false},
    {"overflow clamps down", u"1.4.1.-99999999999", {1, 4, 1, kMin}, false},
    {"one past the top", u"1.4.1.2147483648", {1, 4, 1, kMax}, false},
    {"the top", u"1.4.1.2147483647", {1, 4, 1, kMax}, false},
    {"the bottom", u"1.4.1.-2147483648", {1, 4, 1, kMin}, false},
    {"one past the bottom", u"1.4.1.-2147483649", {1, 4, 1, kMin}, false},
    {"2^32 + 75 does not wrap to 75", u"1.4.1.4294967371", {1, 4, 1, kMax}, false},
    {"many leading zeros do not overflow", u"0000000000000000000001.4.1.75", {1, 4, 1, 75}, true},
    {"hexadecimal is not read", u"1.4.1.0x4B", {1, 4, 1, 0}, false},
    {"Arabic-Indic digit is not a digit", u"1.4.1.\u0661", {1, 4, 1, 0}, false},
    {"fullwidth digit is not a digit", u"\uFF11.4.1.75", {0, 4, 1, 75}, false},
    {"text ends at NUL", u"1.4\0" u"1.75"s, {1, 4, 0, 0}, false},
    {"NUL inside a number", u"1.4.1.7\0" u"5"s, {1, 4, 1, 7}, false},
    {"huge fifth part", u"1.4.1.75.999999999999999999999999999999", {1, 4, 1, 75}, true},
    {"supplementary character after a number", u"1.4.1.75\U0001F600", {1, 4, 1, 75}, true},
};

StackVersion SplitNulTerminated(const std::u16string& text) {
  std::vector<WCHAR> buffer(kStackTextUnits, 0);
  std::copy(text.begin(), text.end(), buffer.begin());
  StackVersion out{9, 9, 9, 9};
  SplitVersion(buffer.data(), buffer.size(), u".", out);
  return out;
}

// The text without a terminator, in a buffer of exactly its size: reading
// past the end is a heap overflow (caught by the address sanitizer).
StackVersion SplitExactBuffer(const std::u16string& text) {
  std::vector<WCHAR> buffer(text.begin(), text.end());
  StackVersion out{9, 9, 9, 9};
  SplitVersion(buffer.data(), buffer.size(), u".", out);
  return out;
}

std::u16string Repeated(char16_t unit, std::size_t count) { return std::u16string(count, unit); }

}  // namespace

TEST(SplitVersion, TableOfVersionTexts) {
  for (const VersionCase& c : kCases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(c.expected == kWideInstallerVersion, c.selectsWideInstaller) << "table entry";
    EXPECT_EQ(SplitNulTerminated(c.text), c.expected);
    EXPECT_EQ(SplitExactBuffer(c.text), c.expected);
  }
}

TEST(SplitVersion, TextFillingTheWholeBufferWithoutNul) {
  // "1.4.1." then dots, with "75" in the buffer's last two units.
  const std::u16string text = u"1.4.1." + Repeated(u'.', kStackTextUnits - 8) + u"75";
  ASSERT_EQ(text.size(), kStackTextUnits);
  EXPECT_EQ(SplitExactBuffer(text), kWideInstallerVersion);

  // A digit just past the capacity must not be read into the last number.
  std::vector<WCHAR> buffer(text.begin(), text.end());
  buffer.push_back(u'9');
  StackVersion out{};
  SplitVersion(buffer.data(), kStackTextUnits, u".", out);
  EXPECT_EQ(out, kWideInstallerVersion);
}

TEST(SplitVersion, LongTextIsCutAtTheCapacity) {
  // 300 units: the capacity of 260 ends the text right after "75".
  const std::u16string text = u"1.4.1." + Repeated(u'.', kStackTextUnits - 8) + u"75" +
                              Repeated(u'9', 40);
  ASSERT_EQ(text.size(), 300u);
  std::vector<WCHAR> buffer(text.begin(), text.end());
  StackVersion out{};
  SplitVersion(buffer.data(), kStackTextUnits, u".", out);
  EXPECT_EQ(out, kWideInstallerVersion);

  SplitVersion(buffer.data(), buffer.size(), u".", out);
  EXPECT_EQ(out, (StackVersion{1, 4, 1, kMax}));
}

TEST(SplitVersion, NothingIsReadWithZeroCapacity) {
  const std::u16string text = u"1.4.1.75";
  StackVersion out{5, 5, 5, 5};
  SplitVersion(text.c_str(), 0, u".", out);
  EXPECT_EQ(out, (StackVersion{0, 0, 0, 0}));
}

TEST(SplitVersion, EveryNumberIsRewritten) {
  StackVersion out{7, 7, 7, 7};
  SplitVersion(u"3", kStackTextUnits, u".", out);
  EXPECT_EQ(out, (StackVersion{3, 0, 0, 0}));
}

TEST(SplitVersion, AnyUnitOfTheSeparatorSplits) {
  struct SeparatorCase {
    const char* label;
    const WCHAR* separator;
    const WCHAR* text;
    StackVersion expected;
  };
  const SeparatorCase cases[] = {
      {"two separator units", u".-", u"1-4.1--75", {1, 4, 1, 75}},
      {"comma", u",", u"1,4,1,75", {1, 4, 1, 75}},
      {"dot is not a separator for comma", u",", u"1.4,1", {1, 1, 0, 0}},
      {"empty separator: one token", u"", u"12.4", {12, 0, 0, 0}},
      {"no separator: one token", nullptr, u"12.4", {12, 0, 0, 0}},
      {"non-ASCII separator", u"\u00B7", u"1\u00B74\u00B71\u00B775", {1, 4, 1, 75}},
  };
  for (const SeparatorCase& c : cases) {
    SCOPED_TRACE(c.label);
    StackVersion out{9, 9, 9, 9};
    SplitVersion(c.text, kStackTextUnits, c.separator, out);
    EXPECT_EQ(out, c.expected);
  }
}
