// Damaged binary form streams: each must end in an Exception with a message
// saying what is wrong and where, never in a crash or a read past the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestBytes.h"
#include "toolkit/FormStream.h"

using namespace formstream;
using streamtest::Bytes;
using VT = ValueType;

namespace {

std::string ErrorOf(const std::vector<std::uint8_t>& stream) {
  try {
    ReadBinary(stream);
  } catch (const Exception& e) {
    return e.Message;
  }
  return "(no exception)";
}

// Form1 (TForm1) holding INSTALL (TImage) whose first property is Picture.Data
// with the given value bytes.
Bytes InstallWith(const Bytes& value, bool close = true) {
  Bytes b = Bytes::Stream("TForm1", "Form1");
  b.u8(0).shortStr("TImage").shortStr("INSTALL").shortStr("Picture.Data").raw(value.get());
  if (close) b.u8(0).u8(0).u8(0);
  return b;
}

Bytes NestedLists(int depth) {
  Bytes v;
  for (int i = 0; i < depth; ++i) v.type(VT::List);
  for (int i = 0; i < depth; ++i) v.type(VT::Null);
  return v;
}

Bytes NestedComponents(int depth) {
  Bytes b;
  b.raw("TPF0");
  for (int i = 0; i < depth; ++i) b.shortStr("TPanel").shortStr("P" + std::to_string(i)).u8(0);
  for (int i = 0; i < depth; ++i) b.u8(0);
  return b;
}

struct DamageCase {
  const char* name;
  std::vector<std::uint8_t> stream;
  std::vector<std::string> messageParts;
};

std::vector<DamageCase> DamageCases() {
  const std::size_t valueAt = 4 + 7 + 6 + 1 + 7 + 8 + 13;  // offset of Picture.Data's value type
  std::vector<DamageCase> cases = {
      {"empty", {}, {"truncated at offset 0", "signature 'TPF0'"}},
      {"wrong magic", Bytes().raw("TPF1").shortStr("TX").shortStr("X").u8(0).u8(0),
       {"Not a form stream", "'TPF0'"}},
      {"text form instead of binary", Bytes().raw("object Form1: TForm1\nend\n"), {"Not a form stream"}},
      {"unknown value type", InstallWith(Bytes().u8(0x63)),
       {"offset " + std::to_string(valueAt), "property 'Picture.Data' of INSTALL", "unknown value type 0x63"}},
      {"end-of-list where a value belongs", InstallWith(Bytes().type(VT::Null)),
       {"property 'Picture.Data' of INSTALL", "end of list"}},
      {"collection", InstallWith(Bytes().type(VT::Collection).type(VT::Null)), {"collections are not supported"}},
      {"trailing bytes", Bytes::Stream("TX", "X").u8(0).u8(0).u8(0xAB).u8(0xCD),
       {"2 unexpected bytes after the root component", "offset 11"}},
      {"binary shorter than its length",
       InstallWith(Bytes().type(VT::Binary).u32(100).raw(std::string(10, 'x')), false),
       {"Form stream truncated at offset " + std::to_string(valueAt + 5) +
            " while reading property 'Picture.Data' of INSTALL",
        "100 bytes needed, 10 left"}},
      {"huge binary length", InstallWith(Bytes().type(VT::Binary).u32(0xFFFFFFFF)),
       {"truncated", "4294967295 bytes needed", "Picture.Data"}},
      {"huge long string length", InstallWith(Bytes().type(VT::LString).u32(0xFFFFFFF0)),
       {"truncated", "4294967280 bytes needed"}},
      {"huge utf8 string length", InstallWith(Bytes().type(VT::Utf8String).u32(0x7FFFFFFF)),
       {"truncated", "2147483647 bytes needed"}},
      {"huge wide string count", InstallWith(Bytes().type(VT::WString).u32(0xFFFFFFFF)),
       {"truncated", "8589934590 bytes needed"}},
      {"unpaired high surrogate at the end", InstallWith(Bytes().type(VT::WString).u32(2).u16('a').u16(0xD800)),
       {"unpaired high surrogate", "offset " + std::to_string(valueAt + 7)}},
      {"high surrogate before a normal unit",
       InstallWith(Bytes().type(VT::WString).u32(2).u16(0xD83D).u16('a')), {"unpaired high surrogate"}},
      {"lone low surrogate", InstallWith(Bytes().type(VT::WString).u32(1).u16(0xDE00)),
       {"unpaired low surrogate"}},
      {"utf8 string that is not utf8", InstallWith(Bytes().type(VT::Utf8String).u32(2).u8s({'a', 0xFF})),
       {"not valid UTF-8", "offset " + std::to_string(valueAt + 6)}},
      {"child position that is not an integer",
       Bytes::Stream("TX", "X").u8(0).u8(0xF2).type(VT::String).shortStr("3").shortStr("TY").shortStr("Y")
           .u8(0).u8(0).u8(0),
       {"child position", "where an integer is required"}},
      {"lists nested too deep", InstallWith(NestedLists(100)), {"nested deeper than 64"}},
      {"components nested too deep", NestedComponents(100), {"nested deeper than 64"}},
      {"missing end of child list", Bytes::Stream("TX", "X").u8(0), {"truncated", "child components of X"}},
      {"set without its end", InstallWith(Bytes().type(VT::Set).shortStr("a"), false),
       {"truncated", "Picture.Data"}},
  };
  return cases;
}

TEST(BinaryDamage, EachGivesAUsefulMessage) {
  for (const DamageCase& c : DamageCases()) {
    SCOPED_TRACE(c.name);
    const std::string message = ErrorOf(c.stream);
    for (const std::string& part : c.messageParts)
      EXPECT_NE(message.find(part), std::string::npos) << "message: " << message << "\nexpected: " << part;
  }
}

TEST(BinaryDamage, NestingUpToTheLimitIsRead) {
  EXPECT_NO_THROW(ReadBinary(InstallWith(NestedLists(60))));
  EXPECT_NO_THROW(ReadBinary(NestedComponents(60)));
}

// A stream with a bit of everything, including the value types the writer
// never produces.
std::vector<std::uint8_t> RichStream() {
  Bytes b = Bytes::Stream("TForm1", "Form1");
  b.shortStr("Left").type(VT::Int16).u16(192);
  b.shortStr("Big").type(VT::Int64).le(1ULL << 40, 8);
  b.shortStr("Neg").type(VT::Int32).u32(0xFFFF0000);
  b.shortStr("E").type(VT::Extended).le(0x8000000000000000ULL, 8).u16(0x3FFF);
  b.shortStr("S").type(VT::Single).u32(0x3FC00000);
  b.shortStr("C").type(VT::Currency).le(10000, 8);
  b.shortStr("D").type(VT::Date).le(0x40E1D5D000000000ULL, 8);
  b.shortStr("Caption").type(VT::LString).u32(3).raw("abc");
  b.shortStr("W").type(VT::WString).u32(2).u16(0xD83D).u16(0xDE00);
  b.shortStr("U").type(VT::Utf8String).u32(2).raw("\xC3\xA9");
  b.shortStr("Color").type(VT::Ident).shortStr("clWindow");
  b.shortStr("BorderIcons").type(VT::Set).shortStr("biSystemMenu").u8(0);
  b.shortStr("L").type(VT::List).type(VT::Nil).type(VT::False).type(VT::Null);
  b.u8(0);
  b.u8(0xF2).type(VT::Int8).u8(1).shortStr("TImage").shortStr("INSTALL");
  b.shortStr("Picture.Data").type(VT::Binary).u32(4).u8s({1, 2, 3, 4});
  b.u8(0).u8(0);
  b.u8(0);
  return b.get();
}

TEST(BinaryDamage, EveryTruncationIsReported) {
  const std::vector<std::vector<std::uint8_t>> streams = {
      RichStream(),
      WriteBinary(ReadBinary(RichStream())),
  };
  for (const auto& full : streams) {
    ASSERT_NO_THROW(ReadBinary(full));
    for (std::size_t n = 0; n < full.size(); ++n) {
      SCOPED_TRACE("prefix of " + std::to_string(n) + " bytes");
      const std::vector<std::uint8_t> prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
      const std::string message = ErrorOf(prefix);
      EXPECT_NE(message.find("Form stream truncated at offset "), std::string::npos) << message;
      EXPECT_NE(message.find(" while reading "), std::string::npos) << message;
    }
  }
}

TEST(BinaryDamage, TruncationNamesWhatWasBeingRead) {
  // Cut inside the child component's header, inside its class name.
  Bytes head = Bytes::Stream("TForm1", "Form1");
  head.u8(0).u8(0xF2).type(VT::Int8).u8(1).u8(6).raw("TIm");
  EXPECT_NE(ErrorOf(head).find("the class name of a child component of Form1"), std::string::npos)
      << ErrorOf(head);
  Bytes name = Bytes::Stream("TForm1", "Form1");
  name.u8(0).shortStr("TImage").u8(7).raw("INS");
  EXPECT_NE(ErrorOf(name).find("the name of a child component of Form1 (class TImage)"), std::string::npos)
      << ErrorOf(name);
  Bytes prop = Bytes::Stream("TForm1", "Form1");
  prop.u8(4).raw("Le");
  EXPECT_NE(ErrorOf(prop).find("a property name of Form1"), std::string::npos) << ErrorOf(prop);
}

}  // namespace
