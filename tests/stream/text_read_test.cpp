// Reading the text form of window definitions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestBytes.h"
#include "toolkit/FormStream.h"

using namespace formstream;

using streamtest::Comp;

namespace {

Value V(auto x) { return Value{x}; }

const FileLoader kNoFiles = [](const std::string& name) -> std::vector<std::uint8_t> {
  throw Exception("no file " + name);
};

Value ReadValueText(const std::string& valueText) {
  const Component c = ReadText("object X: TX\n  P = " + valueText + "\nend\n", kNoFiles);
  EXPECT_EQ(c.properties.size(), 1u);
  return c.properties.at(0).value;
}

std::string ErrorOf(const std::string& text, const FileLoader& loader = kNoFiles) {
  try {
    ReadText(text, loader);
  } catch (const Exception& e) {
    return e.Message;
  }
  return "(no exception)";
}

TEST(TextRead, WindowDefinition) {
  const char* text =
      "object Form1: TForm1\n"
      "  Left = 192\n"
      "  BorderStyle = bsNone\n"
      "  BorderIcons = [biSystemMenu]\n"
      "  Font.Height = -11\n"
      "  Font.Name = 'MS Sans Serif'\n"
      "  Font.Style = []\n"
      "  OldCreateOrder = False\n"
      "  OnCreate = FormCreate\n"
      "  // comment line, and a comment after a value:\n"
      "  PixelsPerInch = 96 // dots per inch\n"
      "  object UI_BackGround: TImage\n"
      "    Center = True\n"
      "  end\n"
      "  object INSTALL: TImage\n"
      "    Cursor = crHandPoint\n"
      "    Visible = false\n"
      "  end\n"
      "end\n";
  Component expected = Comp("TForm1", "Form1");
  expected.properties = {
      {"Left", V(Integer{192})},
      {"BorderStyle", V(Identifier{"bsNone"})},
      {"BorderIcons", V(Set{{"biSystemMenu"}})},
      {"Font.Height", V(Integer{-11})},
      {"Font.Name", V(String{"MS Sans Serif"})},
      {"Font.Style", V(Set{})},
      {"OldCreateOrder", V(false)},
      {"OnCreate", V(Identifier{"FormCreate"})},
      {"PixelsPerInch", V(Integer{96})},
  };
  Component background = Comp("TImage", "UI_BackGround");
  background.properties = {{"Center", V(true)}};
  Component install = Comp("TImage", "INSTALL");
  install.properties = {{"Cursor", V(Identifier{"crHandPoint"})}, {"Visible", V(false)}};
  expected.children = {background, install};
  EXPECT_EQ(ReadText(text, kNoFiles), expected);
}

TEST(TextRead, Values) {
  struct Case {
    const char* text;
    Value expected;
  };
  const Case cases[] = {
      {"0", V(Integer{0})},
      {"-11", V(Integer{-11})},
      {"+7", V(Integer{7})},
      {"$FF", V(Integer{255})},
      {"$7fffffff", V(Integer{2147483647})},
      {"-$10", V(Integer{-16})},
      {"$FFFFFFFFFFFFFFFF", V(Integer{-1})},
      {"9223372036854775807", V(Integer{9223372036854775807LL})},
      {"-9223372036854775808", V(Integer{std::numeric_limits<std::int64_t>::min()})},
      {"1.5", V(Float{1.5})},
      {"-2.5e3", V(Float{-2500.0})},
      {"1E-2", V(Float{0.01})},
      {"1.5s", V(Float{1.5})},
      {"3c", V(Float{3.0})},
      {"clWindow", V(Identifier{"clWindow"})},
      {"Form2.Button1", V(Identifier{"Form2.Button1"})},
      {"True", V(true)},
      {"FALSE", V(false)},
      {"nil", V(Nil{})},
      {"[]", V(Set{})},
      {"[ biSystemMenu ]", V(Set{{"biSystemMenu"}})},
      {"[fsBold,fsItalic, fsUnderline]", V(Set{{"fsBold", "fsItalic", "fsUnderline"}})},
      {"()", V(ValueList{})},
      {"(\n  'a'\n  'b'\n  1 (2 True) nil)",
       V(ValueList{V(String{"a"}), V(String{"b"}), V(Integer{1}), V(ValueList{V(Integer{2}), V(true)}),
                   V(Nil{})})},
      {"{}", V(Binary{})},
      {"{0A0b ff}", V(Binary{{0x0A, 0x0B, 0xFF}})},
      {"{\n  0102\n  0304\n}", V(Binary{{1, 2, 3, 4}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      EXPECT_EQ(ReadValueText(c.text), c.expected);
    } catch (const Exception& e) {
      ADD_FAILURE() << e.Message;
    }
  }
}

TEST(TextRead, Strings) {
  struct Case {
    const char* text;
    std::string expected;
  };
  const Case cases[] = {
      {"'abc'", "abc"},
      {"''", ""},
      {"'it''s'", "it's"},
      {"''''", "'"},
      {"'a'#13#10'b'", "a\r\nb"},
      {"#65#$42'c'", "ABc"},
      {"'line one' +\n    'line two'", "line oneline two"},
      {"'a'+'b' + #67", "abC"},
      {"'Caf\xC3\xA9'", "Caf\xC3\xA9"},
      {"#233", "\xC3\xA9"},
      {"#8364", "\xE2\x82\xAC"},
      {"#55357#56832", "\xF0\x9F\x98\x80"},
      {"#55357 +\n #56832", "\xF0\x9F\x98\x80"},
      {"'a // not a comment'", "a // not a comment"},
      {"'{braces}'", "{braces}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      EXPECT_EQ(ReadValueText(c.text), V(String{c.expected}));
    } catch (const Exception& e) {
      ADD_FAILURE() << e.Message;
    }
  }
}

TEST(TextRead, ObjectHeaders) {
  const Component c = ReadText(
      "OBJECT Form1: TForm1\n"
      "  object TPanel\n"
      "  End\n"
      "  object Placed: TImage [3]\n"
      "  end\n"
      "end",
      kNoFiles);
  ASSERT_EQ(c.children.size(), 2u);
  EXPECT_EQ(c.children[0].className, "TPanel");
  EXPECT_EQ(c.children[0].name, "");
  EXPECT_EQ(c.children[1].name, "Placed");
  EXPECT_EQ(c.children[1].filerFlags, 0x02);
  EXPECT_EQ(c.children[1].childPos, 3);
}

TEST(TextRead, BitmapFromTheFileLoader) {
  std::vector<std::string> asked;
  const FileLoader loader = [&](const std::string& name) {
    asked.push_back(name);
    return std::vector<std::uint8_t>{'B', 'M', 0x01, 0x02, 0x03};
  };
  const Component c = ReadText(
      "object Form1: TForm1\n"
      "  object INSTALL: TImage\n"
      "    Picture.Data = TBitmap('Install.bmp')\n"
      "  end\n"
      "end\n",
      loader);
  EXPECT_EQ(asked, std::vector<std::string>{"Install.bmp"});
  const std::vector<std::uint8_t> expected = {7, 'T', 'B', 'i', 't', 'm', 'a', 'p', 5, 0, 0, 0,
                                              'B', 'M', 0x01, 0x02, 0x03};
  ASSERT_EQ(c.children.size(), 1u);
  EXPECT_EQ(c.children[0].properties.at(0), (Property{"Picture.Data", V(Binary{expected})}));
}

TEST(TextRead, LoaderFailureNamesFileAndPosition) {
  const std::string message = ErrorOf("object A: TB\n  Picture.Data = TBitmap('gone.bmp')\nend\n");
  EXPECT_NE(message.find("line 2, column 18"), std::string::npos) << message;
  EXPECT_NE(message.find("gone.bmp"), std::string::npos) << message;
  EXPECT_NE(message.find("no file gone.bmp"), std::string::npos) << message;
  const std::string noLoader = ErrorOf("object A: TB\n  P = TBitmap('x.bmp')\nend\n", FileLoader{});
  EXPECT_NE(noLoader.find("needs a file loader"), std::string::npos) << noLoader;
}

TEST(TextRead, TextReadsBackThroughTheBinaryForm) {
  const Component c = ReadText(
      "object Form1: TForm1\n  Caption = 'x'#9'y'\n  Tag = -100000\n  Items = ('a' 1)\n"
      "  object B: TImage [1]\n    Data = {0102}\n  end\nend\n",
      kNoFiles);
  EXPECT_EQ(ReadBinary(WriteBinary(c)), c);
}

TEST(TextRead, ErrorsNameLineAndColumn) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> parts;
  };
  std::string deepList = "object A: TB\n  P = ";
  for (int i = 0; i < 100; ++i) deepList += "(";
  for (int i = 0; i < 100; ++i) deepList += ")";
  deepList += "\nend\n";
  std::string deepObjects;
  for (int i = 0; i < 100; ++i) deepObjects += "object P" + std::to_string(i) + ": TPanel\n";
  for (int i = 0; i < 100; ++i) deepObjects += "end\n";
  const Case cases[] = {
      {"empty text", "  // nothing\n", {"line 2, column 1", "no object"}},
      {"no object keyword", "form A: TB\nend", {"line 1, column 1", "expected 'object'"}},
      {"missing '='", "object A: TB\n  Left 1\nend", {"line 2, column 8", "expected '='", "'Left'"}},
      {"missing value", "object A: TB\n  Left =\nend", {"line 3, column 1", "expected a value"}},
      {"unclosed string", "object A: TB\n  Caption = 'abc\nend", {"line 2, column 13", "not closed"}},
      {"unexpected character", "object A: TB\n  Left = %1\nend", {"line 2, column 10", "'%'"}},
      {"missing end", "object A: TB\n  Left = 1\n", {"line 3, column 1", "'end' of A is missing"}},
      {"text after the last end", "object A: TB\nend\nobject C: TD\nend\n",
       {"line 3, column 1", "after the last 'end'"}},
      {"inherited", "inherited A: TB\nend", {"line 1, column 1", "'inherited' components are not supported"}},
      {"nested inline", "object A: TB\n  inline C: TD\n  end\nend",
       {"line 2, column 3", "'inline' components are not supported"}},
      {"collection", "object A: TB\n  Items = <\n    item\n    end>\nend",
       {"line 2, column 11", "collections are not supported"}},
      {"odd hex digits", "object A: TB\n  Data = {0A0}\nend", {"line 2, column 13", "odd number of hex digits"}},
      {"braces are not comments", "object A: TB\n  Left = 1 { no comment }\nend",
       {"line 2, column 14", "'n' in binary data"}},
      {"bad hex in binary", "object A: TB\n  Data = {0G}\nend", {"line 2, column 12", "'G' in binary data"}},
      {"unclosed binary", "object A: TB\n  Data = {00\n", {"line 2, column 10", "not closed"}},
      {"property after a nested object", "object A: TB\n  object C: TD\n  end\n  Left = 1\nend",
       {"line 4, column 3", "property 'Left' of A comes after a nested object"}},
      {"integer overflow", "object A: TB\n  Tag = 9223372036854775808\nend",
       {"line 2, column 9", "does not fit in 64 bits"}},
      {"malformed number", "object A: TB\n  Tag = 12ab\nend", {"line 2, column 9", "malformed number"}},
      {"lone high surrogate", "object A: TB\n  Caption = 'a'#55357'b'\nend",
       {"line 2, column 16", "high surrogate without its low half"}},
      {"lone low surrogate", "object A: TB\n  Caption = #56832\nend",
       {"line 2, column 13", "low surrogate without its high half"}},
      {"character code too large", "object A: TB\n  Caption = #1114112\nend",
       {"line 2, column 13", "above U+10FFFF"}},
      {"'+' without a string", "object A: TB\n  Caption = 'a' + 5\nend",
       {"line 2, column 17", "expected a string after '+'"}},
      {"unknown function", "object A: TB\n  Picture.Data = TPng('x.png')\nend",
       {"line 2, column 18", "only TBitmap('file') is supported"}},
      {"number in a set", "object A: TB\n  S = [a, 1]\nend", {"line 2, column 11", "a set element name"}},
      {"unclosed set", "object A: TB\n  S = [a b]\nend", {"line 2, column 10", "',' or ']'"}},
      {"unclosed list", "object A: TB\n  L = (1 2\n", {"line 2, column 7", "list not closed"}},
      {"missing class name", "object A:\nend", {"line 2, column 1", "a class name after ':'"}},
      {"bad child position", "object A: TB [x]\nend", {"line 1, column 15", "child position"}},
      {"invalid UTF-8 in a string", "object A: TB\n  Caption = 'a\xFF'\nend", {"line 2, column 15", "not valid UTF-8"}},
      {"lists nested too deep", deepList, {"line 2, column", "nested deeper than 64"}},
      {"objects nested too deep", deepObjects, {"line 66, column 1", "nested deeper than 64"}},
      {"dot without a name", "object A: TB\n  Font. = 1\nend", {"line 2, column 7", "must follow '.'"}},
      {"columns count characters", "object A: TB\n  Caption = '\xC3\xA9\xC3\xA9' = 1\nend",
       {"line 2, column 18", "expected a property name"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = ErrorOf(c.text);
    for (const std::string& part : c.parts)
      EXPECT_NE(message.find(part), std::string::npos) << "message: " << message << "\nexpected: " << part;
  }
}

}  // namespace
