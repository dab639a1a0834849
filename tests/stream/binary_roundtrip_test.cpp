// Writing binary form streams: the value types chosen, and reading back
// exactly what was written.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "TestBytes.h"
#include "toolkit/FormStream.h"

using namespace formstream;
using streamtest::Bytes;
using VT = ValueType;

using streamtest::Comp;

namespace {

Value V(auto x) { return Value{x}; }

// A tree holding every kind of value, the integer and string boundaries
// where the writer switches type, and the header cases of the writer.
Component RichTree() {
  Component root = Comp("TForm1", "Form1");
  const std::int64_t ints[] = {0, 127, 128, -128, -129, 32767, 32768, -32768, -32769,
                               std::numeric_limits<std::int32_t>::max(),
                               std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1,
                               std::numeric_limits<std::int32_t>::min(),
                               std::int64_t{std::numeric_limits<std::int32_t>::min()} - 1,
                               std::numeric_limits<std::int64_t>::max(),
                               std::numeric_limits<std::int64_t>::min()};
  int n = 0;
  for (std::int64_t i : ints) root.properties.push_back({"I" + std::to_string(n++), V(Integer{i})});
  root.properties.push_back({"F1", V(Float{0.1})});
  root.properties.push_back({"F2", V(Float{-1e300})});
  root.properties.push_back({"F3", V(Float{5e-324})});
  root.properties.push_back({"Empty", V(String{""})});
  root.properties.push_back({"Font.Name", V(String{"MS Sans Serif"})});
  root.properties.push_back({"S255", V(String{std::string(255, 'a')})});
  root.properties.push_back({"S256", V(String{std::string(256, 'b')})});
  root.properties.push_back({"Utf8", V(String{"Caf\xC3\xA9 \xF0\x9F\x98\x80"})});
  root.properties.push_back({"Color", V(Identifier{"clWindow"})});
  root.properties.push_back({"OnCreate", V(Identifier{"FormCreate"})});
  root.properties.push_back({"OldCreateOrder", V(false)});
  root.properties.push_back({"Center", V(true)});
  root.properties.push_back({"Blob", V(Binary{{0, 1, 2, 255}})});
  root.properties.push_back({"NoBlob", V(Binary{})});
  root.properties.push_back({"BorderIcons", V(Set{{"biSystemMenu"}})});
  root.properties.push_back({"Font.Style", V(Set{})});
  root.properties.push_back({"PopupMenu", V(Nil{})});
  root.properties.push_back({"Items", V(ValueList{V(Integer{1}), V(String{"x"}), V(ValueList{}),
                                                  V(ValueList{V(Nil{}), V(Set{{"a", "b"}})})})});
  Component image = Comp("TImage", "INSTALL");
  image.properties.push_back({"Width", V(Integer{244})});
  image.properties.push_back({"Picture.Data", V(Binary{std::vector<std::uint8_t>(70000, 0x5A)})});
  Component placed = Comp("TPanel", "Placed");
  placed.filerFlags = 0x03;
  placed.childPos = -2;
  Component inlined = Comp("TFrame", "");
  inlined.filerFlags = 0x04;
  Component longClass = Comp(std::string(250, 'T'), "Long");  // needs a prefix byte
  image.children.push_back(placed);
  root.children.push_back(image);
  root.children.push_back(inlined);
  root.children.push_back(longClass);
  return root;
}

TEST(BinaryRoundTrip, TreeWithEveryValueTypeReadsBackEqual) {
  const Component tree = RichTree();
  const std::vector<std::uint8_t> stream = WriteBinary(tree);
  EXPECT_EQ(ReadBinary(stream), tree);
  EXPECT_EQ(WriteBinary(ReadBinary(stream)), stream);
}

TEST(BinaryRoundTrip, HandMadeStreamIsReproducedByteForByte) {
  Bytes b = Bytes::Stream("TForm1", "Form1");
  b.shortStr("Left").type(VT::Int16).u16(192);
  b.shortStr("Top").type(VT::Int8).u8(107);
  b.shortStr("BorderStyle").type(VT::Ident).shortStr("bsNone");
  b.shortStr("BorderIcons").type(VT::Set).shortStr("biSystemMenu").u8(0);
  b.shortStr("Font.Height").type(VT::Int8).u8(0xF5);
  b.shortStr("Font.Name").type(VT::String).shortStr("MS Sans Serif");
  b.shortStr("Font.Style").type(VT::Set).u8(0);
  b.shortStr("OldCreateOrder").type(VT::False);
  b.shortStr("OnCreate").type(VT::Ident).shortStr("FormCreate");
  b.u8(0);
  b.shortStr("TImage").shortStr("INSTALL");
  b.shortStr("Cursor").type(VT::Int8).u8(0xEB);
  b.shortStr("Picture.Data").type(VT::Binary).u32(3).u8s({9, 8, 7});
  b.shortStr("Visible").type(VT::True);
  b.u8(0).u8(0);
  b.u8(0);
  EXPECT_EQ(WriteBinary(ReadBinary(b)), b.get());
}

// The bytes WriteBinary gives for one property value (after "TPF0", the root
// header "TX"/"X" and the property name "P").
std::vector<std::uint8_t> ValueBytes(const Value& v) {
  Component c = Comp("TX", "X");
  c.properties.push_back({"P", v});
  const std::vector<std::uint8_t> s = WriteBinary(c);
  const std::size_t start = 4 + 3 + 2 + 2;
  return {s.begin() + static_cast<std::ptrdiff_t>(start), s.end() - 2};
}

TEST(BinaryWrite, SmallestIntegerType) {
  struct Case {
    std::int64_t value;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {0, {2, 0}},
      {-128, {2, 0x80}},
      {127, {2, 0x7F}},
      {128, {3, 0x80, 0}},
      {-129, {3, 0x7F, 0xFF}},
      {-11, {2, 0xF5}},
      {640, {3, 0x80, 0x02}},
      {32768, {4, 0, 0x80, 0, 0}},
      {-32769, {4, 0xFF, 0x7F, 0xFF, 0xFF}},
      {2147483648LL, {19, 0, 0, 0, 0x80, 0, 0, 0, 0}},
      {-2147483649LL, {19, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ValueBytes(V(Integer{c.value})), c.bytes);
  }
}

TEST(BinaryWrite, StringTypes) {
  struct Case {
    const char* name;
    std::string text;
    VT type;
    std::size_t lengthBytes;
  };
  const Case cases[] = {
      {"short ascii", "abc", VT::String, 1},
      {"255 ascii bytes", std::string(255, 'x'), VT::String, 1},
      {"256 ascii bytes", std::string(256, 'x'), VT::LString, 4},
      {"non-ascii", "\xC3\xA9", VT::Utf8String, 4},
      {"long non-ascii", std::string(300, 'x') + "\xC3\xA9", VT::Utf8String, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> b = ValueBytes(V(String{c.text}));
    ASSERT_FALSE(b.empty());
    EXPECT_EQ(b[0], static_cast<std::uint8_t>(c.type));
    ASSERT_EQ(b.size(), 1 + c.lengthBytes + c.text.size());
    EXPECT_EQ(std::string(b.begin() + 1 + static_cast<std::ptrdiff_t>(c.lengthBytes), b.end()), c.text);
  }
}

TEST(BinaryWrite, OtherValueEncodings) {
  struct Case {
    const char* name;
    Value value;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {"float as double", V(Float{1.5}), {21, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
      {"identifier", V(Identifier{"bsNone"}), {7, 6, 'b', 's', 'N', 'o', 'n', 'e'}},
      {"false", V(false), {8}},
      {"true", V(true), {9}},
      {"binary", V(Binary{{0xAA, 0xBB}}), {10, 2, 0, 0, 0, 0xAA, 0xBB}},
      {"set", V(Set{{"a", "bc"}}), {11, 1, 'a', 2, 'b', 'c', 0}},
      {"empty set", V(Set{}), {11, 0}},
      {"nil", V(Nil{}), {13}},
      {"list", V(ValueList{V(Integer{1}), V(true)}), {1, 2, 1, 9, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ValueBytes(c.value), c.bytes);
  }
}

TEST(BinaryWrite, PrefixByteAndChildPosition) {
  Component root = Comp("TX", "X");
  Component child = Comp("TY", "Y");
  child.filerFlags = 0x02;
  child.childPos = 300;
  root.children.push_back(child);
  const std::vector<std::uint8_t> expected =
      Bytes::Stream("TX", "X").u8(0).u8(0xF2).type(VT::Int16).u16(300).shortStr("TY").shortStr("Y")
          .u8(0).u8(0).u8(0);
  EXPECT_EQ(WriteBinary(root), expected);
}

TEST(BinaryWrite, RejectsWhatTheFormatCannotHold) {
  struct Case {
    const char* name;
    Component tree;
    const char* messagePart;
  };
  Component deep = Comp("TX", "X");
  Component* at = &deep;
  for (int i = 0; i < 70; ++i) {
    at->children.push_back(Comp("TX", "X" + std::to_string(i)));
    at = &at->children.back();
  }
  std::vector<Case> cases;
  cases.push_back({"empty class name", Comp("", "X"), "empty class name"});
  Component emptyProperty = Comp("TX", "X");
  emptyProperty.properties.push_back({"", V(true)});
  cases.push_back({"empty property name", emptyProperty, "empty name"});
  Component longIdent = Comp("TX", "X");
  longIdent.properties.push_back({"P", V(Identifier{std::string(256, 'i')})});
  cases.push_back({"identifier too long", longIdent, "longer than 255 bytes"});
  Component emptySetName = Comp("TX", "X");
  emptySetName.properties.push_back({"P", V(Set{{"a", ""}})});
  cases.push_back({"empty set element", emptySetName, "empty name"});
  Component badUtf8 = Comp("TX", "X");
  badUtf8.properties.push_back({"P", V(String{"a\xFF"})});
  cases.push_back({"invalid UTF-8", badUtf8, "not valid UTF-8"});
  Component flags = Comp("TX", "X");
  flags.filerFlags = 0x10;
  cases.push_back({"flags beyond four bits", flags, "four bits"});
  cases.push_back({"nesting too deep", deep, "nested deeper"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      WriteBinary(c.tree);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message.find(c.messagePart), std::string::npos) << e.Message;
    }
  }
}

}  // namespace

