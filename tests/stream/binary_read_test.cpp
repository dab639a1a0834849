// Reading hand-made binary form streams: every value type, the filer-flag
// prefix and the component structure.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "TestBytes.h"
#include "toolkit/FormStream.h"

using namespace formstream;
using streamtest::Bytes;
using VT = ValueType;

namespace {

// A root TX component named X with one property P holding the given value
// bytes (value type byte included).
std::vector<std::uint8_t> OneProperty(const Bytes& value) {
  Bytes b = Bytes::Stream("TX", "X");
  b.shortStr("P").raw(value.get()).u8(0).u8(0);
  return b.get();
}

Value ReadOne(const Bytes& value) {
  const Component c = ReadBinary(OneProperty(value));
  EXPECT_EQ(c.properties.size(), 1u);
  return c.properties.at(0).value;
}

Bytes Extended(std::uint64_t mantissa, std::uint16_t signExponent) {
  Bytes b;
  b.type(VT::Extended).le(mantissa, 8).u16(signExponent);
  return b;
}

struct ValueCase {
  const char* name;
  Bytes bytes;
  Value expected;
};

Value V(auto x) { return Value{x}; }

std::vector<ValueCase> ValueCases() {
  std::vector<ValueCase> cases;
  auto add = [&](const char* name, Bytes b, Value v) { cases.push_back({name, std::move(b), std::move(v)}); };
  add("int8 negative", Bytes().type(VT::Int8).u8(0xFB), V(Integer{-5}));
  add("int8 max", Bytes().type(VT::Int8).u8(0x7F), V(Integer{127}));
  add("int16 negative", Bytes().type(VT::Int16).u16(0xFED4), V(Integer{-300}));
  add("int32 negative", Bytes().type(VT::Int32).u32(static_cast<std::uint32_t>(-70000)), V(Integer{-70000}));
  add("int64", Bytes().type(VT::Int64).le(0x123456789ABCDEF0ULL, 8), V(Integer{0x123456789ABCDEF0LL}));
  add("int64 min", Bytes().type(VT::Int64).le(0x8000000000000000ULL, 8),
      V(Integer{std::numeric_limits<std::int64_t>::min()}));
  add("extended 1", Extended(0x8000000000000000ULL, 0x3FFF), V(Float{1.0}));
  add("extended -2.5", Extended(0xA000000000000000ULL, 0xC000), V(Float{-2.5}));
  add("extended 0.1", Extended(0xCCCCCCCCCCCCCCCDULL, 0x3FFB), V(Float{0.1}));
  add("extended pi rounds to the double pi", Extended(0xC90FDAA22168C235ULL, 0x4000),
      V(Float{3.141592653589793}));
  add("extended zero", Extended(0, 0), V(Float{0.0}));
  add("extended infinity", Extended(0x8000000000000000ULL, 0x7FFF),
      V(Float{std::numeric_limits<double>::infinity()}));
  add("extended too large for double", Extended(0x8000000000000000ULL, 0x7FFE),
      V(Float{std::numeric_limits<double>::infinity()}));
  add("extended denormal underflows to zero", Extended(1, 0), V(Float{0.0}));
  // 1.5 * 2^-1074 lies half-way between two subnormals: ties go to even.
  add("extended subnormal tie", Extended(0xC000000000000000ULL, 15309), V(Float{std::ldexp(1.0, -1073)}));
  // Just below a half-way point; rounding to 53 bits first would make it a
  // tie and round up, rounding once rounds down.
  add("extended subnormal rounds once",
      Extended((((1ULL << 51) | 1ULL) << 12) | 0x7FFULL, 15360),
      V(Float{std::ldexp(static_cast<double>((1ULL << 51) | 1ULL), -1074)}));
  add("single", Bytes().type(VT::Single).u32(0x3FC00000), V(Float{1.5}));
  add("double", Bytes().type(VT::Double).le(0x3FB999999999999AULL, 8), V(Float{0.1}));
  add("currency", Bytes().type(VT::Currency).le(12345, 8), V(Float{1.2345}));
  add("currency negative", Bytes().type(VT::Currency).le(static_cast<std::uint64_t>(-5000), 8), V(Float{-0.5}));
  add("date", Bytes().type(VT::Date).le(0x40E1D5D000000000ULL, 8), V(Float{36526.5}));
  add("string", Bytes().type(VT::String).shortStr("MS Sans Serif"), V(String{"MS Sans Serif"}));
  add("empty string", Bytes().type(VT::String).u8(0), V(String{""}));
  add("string in the ANSI code page", Bytes().type(VT::String).u8(3).u8s({0x80, 0xE9, 0x9F}),
      V(String{"\xE2\x82\xAC\xC3\xA9\xC5\xB8"}));
  add("long string", Bytes().type(VT::LString).u32(300).raw(std::string(300, 'q')), V(String{std::string(300, 'q')}));
  add("utf8 string", Bytes().type(VT::Utf8String).u32(3).raw("\xC3\xA9z"), V(String{"\xC3\xA9z"}));
  add("wide string with a surrogate pair",
      Bytes().type(VT::WString).u32(5).u16('A').u16(0x20AC).u16(0xD83D).u16(0xDE00).u16('z'),
      V(String{"A\xE2\x82\xAC\xF0\x9F\x98\x80z"}));
  add("empty wide string", Bytes().type(VT::WString).u32(0), V(String{""}));
  add("identifier", Bytes().type(VT::Ident).shortStr("clWindow"), V(Identifier{"clWindow"}));
  add("false", Bytes().type(VT::False), V(false));
  add("true", Bytes().type(VT::True), V(true));
  add("binary", Bytes().type(VT::Binary).u32(3).u8s({1, 0, 255}), V(Binary{{1, 0, 255}}));
  add("empty binary", Bytes().type(VT::Binary).u32(0), V(Binary{}));
  add("set", Bytes().type(VT::Set).shortStr("biSystemMenu").shortStr("biMinimize").u8(0),
      V(Set{{"biSystemMenu", "biMinimize"}}));
  add("empty set", Bytes().type(VT::Set).u8(0), V(Set{}));
  add("nil", Bytes().type(VT::Nil), V(Nil{}));
  add("list",
      Bytes().type(VT::List).type(VT::Int8).u8(1).type(VT::String).shortStr("x")
          .type(VT::List).type(VT::True).type(VT::Null).type(VT::Null),
      V(ValueList{V(Integer{1}), V(String{"x"}), V(ValueList{V(true)})}));
  add("empty list", Bytes().type(VT::List).type(VT::Null), V(ValueList{}));
  return cases;
}

TEST(BinaryRead, EveryValueType) {
  for (const ValueCase& c : ValueCases()) {
    SCOPED_TRACE(c.name);
    try {
      EXPECT_EQ(ReadOne(c.bytes), c.expected);
    } catch (const Exception& e) {
      ADD_FAILURE() << e.Message;
    }
  }
}

TEST(BinaryRead, ExtendedNaNAndNegativeZero) {
  const Value nan = ReadOne(Extended(0xC000000000000000ULL, 0x7FFF));
  EXPECT_TRUE(std::isnan(std::get<Float>(nan.v).value));
  const Value negZero = ReadOne(Extended(0, 0x8000));
  EXPECT_TRUE(std::signbit(std::get<Float>(negZero.v).value));
}

TEST(BinaryRead, ComponentTreeInOrder) {
  Bytes b = Bytes::Stream("TForm1", "Form1");
  b.shortStr("Left").type(VT::Int16).u16(192);
  b.shortStr("Font.Name").type(VT::String).shortStr("MS Sans Serif");
  b.u8(0);
  b.shortStr("TImage").shortStr("UI_BackGround").shortStr("Center").type(VT::True).u8(0).u8(0);
  b.shortStr("TImage").shortStr("INSTALL").u8(0);
  b.shortStr("TPanel").shortStr("").u8(0).u8(0);  // an unnamed grandchild
  b.u8(0);
  b.u8(0);
  const Component root = ReadBinary(b);
  EXPECT_EQ(root.className, "TForm1");
  EXPECT_EQ(root.name, "Form1");
  ASSERT_EQ(root.properties.size(), 2u);
  EXPECT_EQ(root.properties[0], (Property{"Left", V(Integer{192})}));
  EXPECT_EQ(root.properties[1], (Property{"Font.Name", V(String{"MS Sans Serif"})}));
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(root.children[0].name, "UI_BackGround");
  EXPECT_EQ(root.children[0].properties.at(0), (Property{"Center", V(true)}));
  EXPECT_EQ(root.children[1].name, "INSTALL");
  ASSERT_EQ(root.children[1].children.size(), 1u);
  EXPECT_EQ(root.children[1].children[0].className, "TPanel");
  EXPECT_EQ(root.children[1].children[0].name, "");
}

TEST(BinaryRead, FilerFlagPrefix) {
  struct Case {
    const char* name;
    Bytes prefix;
    std::uint8_t flags;
    std::int64_t childPos;
  };
  const Case cases[] = {
      {"no prefix", Bytes(), 0, 0},
      {"inherited", Bytes().u8(0xF1), 1, 0},
      {"inline", Bytes().u8(0xF4), 4, 0},
      {"child position int8", Bytes().u8(0xF2).type(VT::Int8).u8(3), 2, 3},
      {"child position int16, inherited", Bytes().u8(0xF3).type(VT::Int16).u16(1000), 3, 1000},
      {"child position int32 negative", Bytes().u8(0xF2).type(VT::Int32).u32(0xFFFFFFFF), 2, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = Bytes::Stream("TForm1", "Form1");
    b.u8(0).raw(c.prefix.get()).shortStr("TImage").shortStr("A").u8(0).u8(0).u8(0);
    const Component root = ReadBinary(b);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0].filerFlags, c.flags);
    EXPECT_EQ(root.children[0].childPos, c.childPos);
    EXPECT_EQ(root.children[0].className, "TImage");
    EXPECT_EQ(root.children[0].name, "A");
  }
}

TEST(BinaryRead, PrefixOnTheRootComponent) {
  Bytes b;
  b.raw("TPF0").u8(0xF2).type(VT::Int8).u8(7).shortStr("TForm1").shortStr("Form1").u8(0).u8(0);
  const Component root = ReadBinary(b);
  EXPECT_EQ(root.filerFlags, 2);
  EXPECT_EQ(root.childPos, 7);
  EXPECT_EQ(root.className, "TForm1");
}

}  // namespace
