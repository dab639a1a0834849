// The .reg reader: what each construct of the format stores, and where and
// why bad input is refused.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "emulator/RegFile.h"
#include "emulator/TextCodec.h"

namespace rapiemu {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kV5 = "Windows Registry Editor Version 5.00\n";
const std::string kV4 = "REGEDIT4\n";

// The file as registry editors write version 5.00 files: UTF-16LE with a BOM.
std::string Utf16LeFile(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

Bytes Utf16Data(std::u16string_view text) { return StringData(text); }

Bytes Dword(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

const RegValue* ValueAt(const Registry& registry, std::uint32_t root, std::u16string_view path,
                        std::u16string_view name) {
  const RegKey* top = registry.root(root);
  if (!top) return nullptr;
  const RegKey* key = Registry::find(*top, path);
  return key ? key->findValue(name) : nullptr;
}

struct Stored {
  std::uint32_t type;
  Bytes data;
};

struct ParseCase {
  const char* label;
  std::string file;
  std::uint32_t root;
  std::u16string key;
  std::u16string value;
  std::optional<Stored> expected;  // nullopt: the value must be absent
};

std::string PrintCase(const testing::TestParamInfo<ParseCase>& info) { return info.param.label; }

class RegFileParses : public testing::TestWithParam<ParseCase> {};

TEST_P(RegFileParses, StoresTheValue) {
  const ParseCase& c = GetParam();
  Registry registry;
  ASSERT_NO_THROW(registry = ParseRegFile(c.file));
  const RegValue* value = ValueAt(registry, c.root, c.key, c.value);
  if (!c.expected) {
    EXPECT_EQ(value, nullptr);
    return;
  }
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, c.expected->type);
  EXPECT_EQ(value->data, c.expected->data);
}

const std::string kVersionKey = "[HKEY_LOCAL_MACHINE\\Software\\Widcomm\\Version]\n";

INSTANTIATE_TEST_SUITE_P(
    Table, RegFileParses,
    testing::Values(
        ParseCase{"Version5Header", kV5 + kVersionKey + "\"Software\"=\"1.4.1.75\"\n",
                  kRootLocalMachine, u"Software\\Widcomm\\Version", u"Software",
                  Stored{kTypeString, Utf16Data(u"1.4.1.75")}},
        ParseCase{"Regedit4Header", kV4 + kVersionKey + "\"Software\"=\"1.4.1.75\"\n",
                  kRootLocalMachine, u"Software\\Widcomm\\Version", u"Software",
                  Stored{kTypeString, Utf16Data(u"1.4.1.75")}},
        ParseCase{"Utf8ByteOrderMark",
                  "\xEF\xBB\xBF" + kV5 + kVersionKey + "\"Software\"=\"1.4.1.75\"\n",
                  kRootLocalMachine, u"Software\\Widcomm\\Version", u"Software",
                  Stored{kTypeString, Utf16Data(u"1.4.1.75")}},
        ParseCase{"Utf16LeWithBom",
                  Utf16LeFile(u"Windows Registry Editor Version 5.00\r\n\r\n"
                              u"[HKEY_LOCAL_MACHINE\\Software\\Widcomm\\Version]\r\n"
                              u"\"Software\"=\"1.4.1.75 \u00e9\u4e2d\"\r\n"),
                  kRootLocalMachine, u"Software\\Widcomm\\Version", u"Software",
                  Stored{kTypeString, Utf16Data(u"1.4.1.75 \u00e9\u4e2d")}},
        ParseCase{"CrLfLineEnds", "REGEDIT4\r\n\r\n[HKLM\\A]\r\n\"x\"=\"y\"\r\n", kRootLocalMachine,
                  u"A", u"x", Stored{kTypeString, Utf16Data(u"y")}},
        ParseCase{"Utf8TextWidened",
                  kV5 + "[HKLM\\A]\n\"x\"=\"Gr\xC3\xBC\xC3\x9F"
                        "e \xF0\x9F\x98\x80\"\n",
                  kRootLocalMachine, u"A", u"x",
                  Stored{kTypeString, Utf16Data(u"Gr\u00fc\u00dfe \U0001F600")}},
        ParseCase{"EscapedBackslashAndQuote",
                  kV5 + "[HKLM\\A]\n\"Path\"=\"C:\\\\Temp\\\\\\\"x\\\"\"\n", kRootLocalMachine,
                  u"A", u"Path", Stored{kTypeString, Utf16Data(u"C:\\Temp\\\"x\"")}},
        ParseCase{"EscapesInValueName", kV5 + "[HKLM\\A]\n\"a\\\\b\\\"c\"=\"v\"\n",
                  kRootLocalMachine, u"A", u"a\\b\"c", Stored{kTypeString, Utf16Data(u"v")}},
        ParseCase{"SemicolonInsideString", kV5 + "[HKLM\\A]\n\"x\"=\"a;b\" ; comment\n",
                  kRootLocalMachine, u"A", u"x", Stored{kTypeString, Utf16Data(u"a;b")}},
        ParseCase{"DefaultValue", kV5 + "[HKLM\\A]\n@=\"dflt\"\n", kRootLocalMachine, u"A", u"",
                  Stored{kTypeString, Utf16Data(u"dflt")}},
        ParseCase{"EmptyNameIsDefault", kV5 + "[HKLM\\A]\n\"\"=\"dflt\"\n", kRootLocalMachine, u"A",
                  u"", Stored{kTypeString, Utf16Data(u"dflt")}},
        ParseCase{"BlanksAroundEquals", kV5 + "[HKLM\\A]\n  \"x\"  =  \"y\"  \n", kRootLocalMachine,
                  u"A", u"x", Stored{kTypeString, Utf16Data(u"y")}},
        ParseCase{"Dword", kV5 + "[HKLM\\A]\n\"n\"=dword:0000004b\n", kRootLocalMachine, u"A", u"n",
                  Stored{kTypeDword, Dword(0x4b)}},
        ParseCase{"DwordShortUpperCase", kV5 + "[HKLM\\A]\n\"n\"=DWORD:FfFf0001 ; note\n",
                  kRootLocalMachine, u"A", u"n", Stored{kTypeDword, Dword(0xFFFF0001)}},
        ParseCase{"HexBinaryWithContinuations",
                  kV5 + "[HKLM\\A]\n\"b\"=hex:01,02,\\\n  0a,FF,\\\n    7\n", kRootLocalMachine,
                  u"A", u"b", Stored{kTypeBinary, Bytes{0x01, 0x02, 0x0a, 0xff, 0x07}}},
        ParseCase{"HexEmpty", kV5 + "[HKLM\\A]\n\"b\"=hex:\n", kRootLocalMachine, u"A", u"b",
                  Stored{kTypeBinary, Bytes{}}},
        ParseCase{"HexTypedExpandStringVersion5",
                  kV5 + "[HKLM\\A]\n\"e\"=hex(2):25,00,41,00,25,00,00,00\n", kRootLocalMachine,
                  u"A", u"e", Stored{kTypeExpandString, Utf16Data(u"%A%")}},
        ParseCase{"HexTypedExpandStringRegedit4IsWidened",
                  kV4 + "[HKLM\\A]\n\"e\"=hex(2):25,41,25,00\n", kRootLocalMachine, u"A", u"e",
                  Stored{kTypeExpandString, Utf16Data(u"%A%")}},
        ParseCase{"HexTypedQword", kV5 + "[HKLM\\A]\n\"q\"=hex(b):01,00,00,00,00,00,00,80\n",
                  kRootLocalMachine, u"A", u"q",
                  Stored{kTypeQword, Bytes{1, 0, 0, 0, 0, 0, 0, 0x80}}},
        ParseCase{"HexTypedRegedit4BinaryNotWidened", kV4 + "[HKLM\\A]\n\"b\"=hex(3):41,42\n",
                  kRootLocalMachine, u"A", u"b", Stored{kTypeBinary, Bytes{0x41, 0x42}}},
        ParseCase{"ValueDeletion", kV5 + "[HKLM\\A]\n\"x\"=\"y\"\n\"x\"=-\n", kRootLocalMachine,
                  u"A", u"x", std::nullopt},
        ParseCase{"ValueDeletionIgnoresCase", kV5 + "[HKLM\\A]\n\"Name\"=\"y\"\n\"NAME\"=-\n",
                  kRootLocalMachine, u"A", u"name", std::nullopt},
        ParseCase{"KeyDeletionRemovesSubtree",
                  kV5 + "[HKLM\\A\\B\\C]\n\"x\"=\"y\"\n[-HKLM\\a\\B]\n", kRootLocalMachine,
                  u"A\\B\\C", u"x", std::nullopt},
        ParseCase{"KeyDeletionKeepsSiblings",
                  kV5 + "[HKLM\\A\\B]\n[HKLM\\A\\D]\n\"x\"=\"y\"\n[-HKLM\\A\\B]\n",
                  kRootLocalMachine, u"A\\D", u"x", Stored{kTypeString, Utf16Data(u"y")}},
        ParseCase{"DeletingMissingKeyIsHarmless",
                  kV5 + "[-HKLM\\No\\Such]\n[HKLM\\A]\n\"x\"=\"y\"\n", kRootLocalMachine, u"A",
                  u"x", Stored{kTypeString, Utf16Data(u"y")}},
        ParseCase{"KeyAndValueNamesIgnoreCase",
                  kV5 + "[hklm\\SOFTWARE\\widcomm\\VERSION]\n\"SOFTWARE\"=\"1\"\n",
                  kRootLocalMachine, u"Software\\Widcomm\\Version", u"software",
                  Stored{kTypeString, Utf16Data(u"1")}},
        ParseCase{"RepeatedKeyMergesAndLaterValueWins",
                  kV5 + "[HKLM\\A]\n\"x\"=\"1\"\n\"y\"=\"keep\"\n[HKLM\\a]\n\"X\"=\"2\"\n",
                  kRootLocalMachine, u"A", u"x", Stored{kTypeString, Utf16Data(u"2")}},
        ParseCase{"CommentsAndBlankLines",
                  kV5 + "; leading comment\n\n   ; indented comment\n[HKLM\\A] ; after key\n\n"
                        "\"x\"=\"y\"\n\t\n",
                  kRootLocalMachine, u"A", u"x", Stored{kTypeString, Utf16Data(u"y")}},
        ParseCase{"CurrentUserRoot", kV5 + "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:1\n",
                  kRootCurrentUser, u"A", u"x", Stored{kTypeDword, Dword(1)}},
        ParseCase{"CurrentUserShortRoot", kV5 + "[HKCU\\A]\n\"x\"=dword:2\n", kRootCurrentUser,
                  u"A", u"x", Stored{kTypeDword, Dword(2)}},
        ParseCase{"ClassesRoot", kV5 + "[HKEY_CLASSES_ROOT\\.txt]\n@=\"txtfile\"\n", kRootClasses,
                  u".txt", u"", Stored{kTypeString, Utf16Data(u"txtfile")}},
        ParseCase{"ClassesShortRoot", kV5 + "[HKCR\\.txt]\n@=\"t\"\n", kRootClasses, u".txt", u"",
                  Stored{kTypeString, Utf16Data(u"t")}},
        ParseCase{"UsersRoot", kV5 + "[HKEY_USERS\\Default]\n\"x\"=dword:3\n", kRootUsers,
                  u"Default", u"x", Stored{kTypeDword, Dword(3)}},
        ParseCase{"ValuesDirectlyOnRoot", kV5 + "[HKEY_LOCAL_MACHINE]\n\"r\"=dword:4\n",
                  kRootLocalMachine, u"", u"r", Stored{kTypeDword, Dword(4)}},
        ParseCase{"HeaderWithTrailingBlanks",
                  "Windows Registry Editor Version 5.00  \n[HKLM\\A]\n\"x\"=\"y\"\n",
                  kRootLocalMachine, u"A", u"x", Stored{kTypeString, Utf16Data(u"y")}},
        ParseCase{"NoFinalNewline", kV5 + "[HKLM\\A]\n\"x\"=\"y\"", kRootLocalMachine, u"A", u"x",
                  Stored{kTypeString, Utf16Data(u"y")}}),
    PrintCase);

struct BadCase {
  const char* label;
  std::string file;
  int line;
  std::string reasonPart;
};

std::string PrintBad(const testing::TestParamInfo<BadCase>& info) { return info.param.label; }

class RegFileRefuses : public testing::TestWithParam<BadCase> {};

TEST_P(RegFileRefuses, NamesTheLineAndTheReason) {
  const BadCase& c = GetParam();
  try {
    ParseRegFile(c.file);
    FAIL() << "accepted bad input";
  } catch (const RegFileError& error) {
    EXPECT_EQ(error.line(), c.line) << error.what();
    EXPECT_NE(error.reason().find(c.reasonPart), std::string::npos) << error.what();
    EXPECT_EQ(std::string(error.what()).rfind("line " + std::to_string(c.line) + ": ", 0), 0u)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegFileRefuses,
    testing::Values(
        BadCase{"EmptyFile", "", 1, "empty file"},
        BadCase{"UnknownHeader", "REGEDIT5\n[HKLM\\A]\n", 1, "unknown header \"REGEDIT5\""},
        BadCase{"HeaderNotFirst", "\nREGEDIT4\n", 1, "missing header"},
        BadCase{"KeyWithoutHeader", "[HKLM\\A]\n\"x\"=\"y\"\n", 1, "unknown header"},
        BadCase{"HeaderWrongCase", "regedit4\n", 1, "unknown header"},
        BadCase{"Utf16WithoutBom", std::string("W\0i\0n\0", 6), 1, "byte-order mark"},
        BadCase{"Utf16BigEndian", std::string("\xFE\xFF\0W", 4), 1, "big-endian"},
        BadCase{"Utf16OddByteCount", Utf16LeFile(u"REGEDIT4\n[HKLM\\A]\n") + "x", 3,
                "odd byte count"},
        BadCase{"MalformedUtf8", kV5 + "[HKLM\\A]\n\"x\"=\"\xC3(\"\n", 3, "malformed UTF-8"},
        BadCase{"ValueBeforeKey", kV5 + "\"x\"=\"y\"\n", 2, "before any [key]"},
        BadCase{"ValueAfterDeletion", kV5 + "[-HKLM\\A]\n\"x\"=\"y\"\n", 3, "deletion"},
        BadCase{"UnknownRoot", kV5 + "\n[HKEY_NOWHERE\\A]\n", 3, "unknown root key"},
        BadCase{"MissingRoot", kV5 + "[]\n", 2, "missing root"},
        BadCase{"RootDeletion", kV5 + "[-HKLM]\n", 2, "root key cannot be deleted"},
        BadCase{"UnclosedKey", kV5 + "[HKLM\\A\n", 2, "closing ]"},
        BadCase{"TextAfterKey", kV5 + "[HKLM\\A] x\n", 2, "after the key"},
        BadCase{"EmptyKeyComponent", kV5 + "[HKLM\\A\\\\B]\n", 2, "empty key name"},
        BadCase{"TrailingBackslashInKey", kV5 + "[HKLM\\A\\]\n", 2, "empty key name"},
        BadCase{"UnclosedString", kV5 + "[HKLM\\A]\n\"x\"=\"y\n", 3, "not closed"},
        BadCase{"UnclosedName", kV5 + "[HKLM\\A]\n\"x=\"y\n", 3, "expected ="},
        BadCase{"UnknownEscape", kV5 + "[HKLM\\A]\n\"x\"=\"a\\nb\"\n", 3, "unknown escape \\n"},
        BadCase{"MissingEquals", kV5 + "[HKLM\\A]\n\"x\" \"y\"\n", 3, "expected ="},
        BadCase{"TextAfterValue", kV5 + "[HKLM\\A]\n\"x\"=\"y\" z\n", 3, "after the value"},
        BadCase{"TextAfterDeletion", kV5 + "[HKLM\\A]\n\"x\"=-y\n", 3, "after the value"},
        BadCase{"UnknownData", kV5 + "[HKLM\\A]\n\"x\"=qword:1\n", 3, "unrecognised value data"},
        BadCase{"DwordWithoutDigits", kV5 + "[HKLM\\A]\n\"x\"=dword:\n", 3, "1 to 8 hex digits"},
        BadCase{"DwordTooLong", kV5 + "[HKLM\\A]\n\"x\"=dword:123456789\n", 3,
                "more than 8 hex digits"},
        BadCase{"DwordNotHex", kV5 + "[HKLM\\A]\n\"x\"=dword:00zz\n", 3, "after the value"},
        BadCase{"HexBadByte", kV5 + "[HKLM\\A]\n\"x\"=hex:01,zz\n", 3, "expected a hex byte"},
        BadCase{"HexByteTooLong", kV5 + "[HKLM\\A]\n\"x\"=hex:123\n", 3, "more than 2 digits"},
        BadCase{"HexMissingComma", kV5 + "[HKLM\\A]\n\"x\"=hex:01 02\n", 3, "expected ,"},
        BadCase{"HexBadType", kV5 + "[HKLM\\A]\n\"x\"=hex(zz):01\n", 3, "hex(<type"},
        BadCase{"HexTypeWithoutColon", kV5 + "[HKLM\\A]\n\"x\"=hex(2)01\n", 3, "hex(<type"},
        BadCase{"ErrorOnContinuationLine", kV5 + "[HKLM\\A]\n\"x\"=hex:01,\\\n  02,\\\n  0g\n", 5,
                "expected ,"},
        BadCase{"ContinuationAtEndOfFile", kV5 + "[HKLM\\A]\n\"x\"=hex:01,\\", 3,
                "end of the file"},
        BadCase{"TextAfterContinuation", kV5 + "[HKLM\\A]\n\"x\"=hex:01,\\ 02\n", 3,
                "must end the line"},
        BadCase{"StrayLine", kV5 + "[HKLM\\A]\n\"x\"=\"y\"\nHKLM\\B\n", 4, "expected a [key]"},
        BadCase{"Utf16BadLineNumber",
                Utf16LeFile(u"Windows Registry Editor Version 5.00\r\n\r\n[HKLM\\A]\r\n"
                            u"\"x\"=dword:\r\n"),
                4, "1 to 8 hex digits"}),
    PrintBad);

TEST(RegFileApply, AddsToAndDeletesFromAnExistingRegistry) {
  Registry registry = Registry::BuiltIn();
  ApplyRegFile(kV5 + "[HKLM\\Software\\Extra]\n\"x\"=\"y\"\n[-HKLM\\Software\\Widcomm]\n",
               registry);
  EXPECT_EQ(ValueAt(registry, kRootLocalMachine, u"Software\\Widcomm\\Version", u"Software"),
            nullptr);
  EXPECT_NE(ValueAt(registry, kRootLocalMachine, u"Software\\Extra", u"x"), nullptr);
}

TEST(RegFileParse, KeepsTheFirstSpellingOfNames) {
  const Registry registry = ParseRegFile(kV5 +
                                         "[HKLM\\MixedCase]\n\"ValName\"=\"1\"\n"
                                         "[HKLM\\mixedcase]\n\"VALNAME\"=\"2\"\n");
  const RegKey* key = registry.root(kRootLocalMachine)->findChild(u"MIXEDCASE");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->name(), u"MixedCase");
  ASSERT_NE(key->findValue(u"valname"), nullptr);
  EXPECT_EQ(key->findValue(u"valname")->name, u"ValName");
  EXPECT_EQ(key->valueCount(), 1u);
}

}  // namespace
}  // namespace rapiemu
