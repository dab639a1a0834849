// The binary form stream ("TPF0") and its readable text form, as plain data:
// a tree of component records with their properties. Turning a record into
// live components is the form's job (Forms.h); this layer only knows the
// format. Every reading error throws Exception with a message that names what
// was wrong and where (byte offset, or line and column in text).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "toolkit/Exception.h"

namespace formstream {

// Value-type bytes of the binary stream.
enum class ValueType : std::uint8_t {
  Null = 0, List = 1, Int8 = 2, Int16 = 3, Int32 = 4, Extended = 5, String = 6,
  Ident = 7, False = 8, True = 9, Binary = 10, Set = 11, LString = 12, Nil = 13,
  Collection = 14, Single = 15, Currency = 16, Date = 17, WString = 18,
  Int64 = 19, Utf8String = 20, Double = 21,
};

struct Value;
using ValueList = std::vector<Value>;

// One property value. The alternatives:
//   Integer    any of the integer types (written back with the smallest one)
//   Float      extended, single, double, currency, date (as a double)
//   String     string, long string, UTF-8 string, wide string (held as UTF-8)
//   Identifier an identifier: a named constant or an event handler's name
//   bool       False / True
//   Binary     binary data (Picture.Data and the like)
//   Set        the names of a set, in order
//   Nil        nil
//   ValueList  a list
// Collections are not used by this system's forms and are rejected.
struct Integer { std::int64_t value = 0; bool operator==(const Integer&) const = default; };
struct Float { double value = 0; bool operator==(const Float&) const = default; };
struct String { std::string value; bool operator==(const String&) const = default; };
struct Identifier { std::string value; bool operator==(const Identifier&) const = default; };
struct Binary { std::vector<std::uint8_t> bytes; bool operator==(const Binary&) const = default; };
struct Set { std::vector<std::string> names; bool operator==(const Set&) const = default; };
struct Nil { bool operator==(const Nil&) const = default; };

struct Value {
  std::variant<Integer, Float, String, Identifier, bool, Binary, Set, Nil, ValueList> v;
  bool operator==(const Value&) const = default;
};

struct Property {
  std::string name;  // dotted for nested properties, e.g. "Font.Name"
  Value value;
  bool operator==(const Property&) const = default;
};

struct Component {
  std::string className;  // "TForm1", "TImage"
  std::string name;       // "Form1", "INSTALL"
  std::uint8_t filerFlags = 0;  // prefix byte's low nibble (0 when absent)
  std::int64_t childPos = 0;    // with the child-position flag
  std::vector<Property> properties;
  std::vector<Component> children;
  bool operator==(const Component&) const = default;
};

// Reads a whole binary stream (starting with "TPF0") holding one root
// component. Throws Exception on a wrong magic, a truncated stream, an
// unknown value type, or bytes left over after the root component.
Component ReadBinary(std::span<const std::uint8_t> stream);

// Writes a component tree as a binary stream.
std::vector<std::uint8_t> WriteBinary(const Component& root);

// Reads the text form:
//   object Form1: TForm1
//     Left = 192
//     BorderIcons = [biSystemMenu]
//     Font.Name = 'MS Sans Serif'
//     object INSTALL: TImage
//       Picture.Data = TBitmap('Install.bmp')
//     end
//   end
// Values: integers (optionally signed), floats, 'strings' (with '' for a quote
// and #nn character codes joined by +), identifiers, True/False, nil,
// [sets], (lists), {hex binary}. TBitmap('file') is this project's
// reference to a bitmap file: the loader callback returns the file's bytes
// and the value becomes the binary Picture.Data layout: the short string
// "TBitmap", a 32-bit little-endian byte count, then the file.
using FileLoader = std::function<std::vector<std::uint8_t>(const std::string& fileName)>;
Component ReadText(std::string_view text, const FileLoader& loadFile);

}  // namespace formstream
