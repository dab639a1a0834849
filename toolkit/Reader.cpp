#include "toolkit/Reader.h"

#include <set>
#include <utility>

#include "toolkit/Form.h"
#include "toolkit/Image.h"

namespace {

struct NamedValue {
  std::string_view name;
  std::int64_t value;
};

constexpr NamedValue kCursors[] = {
    {"crDefault", 0},    {"crNone", -1},       {"crArrow", -2},     {"crCross", -3},
    {"crIBeam", -4},     {"crSizeNESW", -6},   {"crSizeNS", -7},    {"crSizeNWSE", -8},
    {"crSizeWE", -9},    {"crUpArrow", -10},   {"crHourGlass", -11}, {"crDrag", -12},
    {"crNoDrop", -13},   {"crHSplit", -14},    {"crVSplit", -15},   {"crMultiDrag", -16},
    {"crSQLWait", -17},  {"crNo", -18},        {"crAppStart", -19}, {"crHelp", -20},
    {"crHandPoint", -21}, {"crSizeAll", -22},
};

constexpr NamedValue kColors[] = {
    {"clBlack", 0x000000},        {"clMaroon", 0x000080},      {"clGreen", 0x008000},
    {"clOlive", 0x008080},        {"clNavy", 0x800000},        {"clPurple", 0x800080},
    {"clTeal", 0x808000},         {"clGray", 0x808080},        {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},          {"clLime", 0x00FF00},        {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},         {"clFuchsia", 0xFF00FF},     {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},        {"clWindow", clWindow},      {"clWindowText", clWindowText},
    {"clBtnFace", clBtnFace},
};

template <std::size_t N>
const NamedValue* Lookup(const NamedValue (&table)[N], std::string_view name) {
  for (const auto& e : table)
    if (e.name == name) return &e;
  return nullptr;
}

std::string Who(const TComponent& c) { return c.Name.empty() ? std::string(c.ClassName()) : c.Name; }

}  // namespace

void TReader::Fail(const TComponent& c, const formstream::Property& p, const std::string& why) const {
  throw Exception("Error reading " + Who(c) + "." + p.name + ": " + why);
}

std::int64_t TReader::ReadInt(const TComponent& c, const formstream::Property& p, std::int64_t min,
                              std::int64_t max) {
  const auto* i = std::get_if<formstream::Integer>(&p.value.v);
  if (!i) Fail(c, p, "Invalid property value (an integer is expected)");
  if (i->value < min || i->value > max)
    Fail(c, p, std::to_string(i->value) + " is not a valid value (" + std::to_string(min) + " to " +
                   std::to_string(max) + ")");
  return i->value;
}

bool TReader::ReadBool(const TComponent& c, const formstream::Property& p) {
  const auto* b = std::get_if<bool>(&p.value.v);
  if (!b) Fail(c, p, "Invalid property value (True or False is expected)");
  return *b;
}

std::string TReader::ReadString(const TComponent& c, const formstream::Property& p) {
  const auto* s = std::get_if<formstream::String>(&p.value.v);
  if (!s) Fail(c, p, "Invalid property value (a string is expected)");
  return s->value;
}

std::string TReader::ReadIdent(const TComponent& c, const formstream::Property& p) {
  const auto* s = std::get_if<formstream::Identifier>(&p.value.v);
  if (!s) Fail(c, p, "Invalid property value (an identifier is expected)");
  return s->value;
}

std::vector<std::string> TReader::ReadSet(const TComponent& c, const formstream::Property& p) {
  const auto* s = std::get_if<formstream::Set>(&p.value.v);
  if (!s) Fail(c, p, "Invalid property value (a set is expected)");
  return s->names;
}

TCursor TReader::ReadCursor(const TComponent& c, const formstream::Property& p) {
  if (std::holds_alternative<formstream::Integer>(p.value.v))
    return static_cast<TCursor>(ReadInt(c, p, -32768, 32767));
  const std::string name = ReadIdent(c, p);
  if (const NamedValue* e = Lookup(kCursors, name)) return static_cast<TCursor>(e->value);
  Fail(c, p, "Invalid property value '" + name + "' (not a cursor)");
}

TColor TReader::ReadColor(const TComponent& c, const formstream::Property& p) {
  if (std::holds_alternative<formstream::Integer>(p.value.v))
    return static_cast<TColor>(ReadInt(c, p, std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFFll));
  const std::string name = ReadIdent(c, p);
  if (const NamedValue* e = Lookup(kColors, name)) return static_cast<TColor>(e->value);
  Fail(c, p, "Invalid property value '" + name + "' (not a colour)");
}

void TReader::ReadPicture(const TComponent& c, const formstream::Property& p, TPicture& picture) {
  const auto* b = std::get_if<formstream::Binary>(&p.value.v);
  if (!b) Fail(c, p, "Invalid property value (binary picture data is expected)");
  try {
    picture.LoadFromData(b->bytes);
  } catch (const Exception& e) {
    Fail(c, p, e.Message);
  }
}

TMethod TReader::FindMethod(const TComponent& c, const formstream::Property& p, const std::string& name) {
  TMethod method = root_.FindMethod(name);
  if (std::holds_alternative<std::monostate>(method))
    Fail(c, p, "Method " + name + " does not exist in " + std::string(root_.ClassName()));
  return method;
}

void TReader::ReadComponent(const formstream::Component& record) {
  if (record.className != "TImage")
    throw Exception("Error reading " + root_.Name + ": Class " + record.className + " not found");
  if (record.name.empty()) throw Exception("Error reading " + root_.Name + ": a " + record.className + " has no name");
  if (root_.FindComponent(record.name))
    throw Exception("Error reading " + root_.Name + ": A component named " + record.name + " already exists");
  if (!record.children.empty())
    throw Exception("Error reading " + record.name + ": a " + record.className + " cannot hold components");
  auto* image = new TImage(&root_);  // owned by the form from here on
  image->Name = record.name;
  for (const auto& property : record.properties) image->ReadProperty(property, *this);
  if (!root_.BindField(record.name, image))
    throw Exception("Error reading " + root_.Name + ": " + std::string(root_.ClassName()) +
                    " has no field for the component " + record.name);
}

void TReader::ReadRootComponent(std::span<const std::uint8_t> stream) {
  const formstream::Component root = formstream::ReadBinary(stream);
  if (root.className != root_.ClassName())
    throw Exception("The window definition is for a " + root.className + ", not a " +
                    std::string(root_.ClassName()));
  const int existing = root_.ComponentCount();
  try {
    root_.Name = root.name;
    for (const auto& property : root.properties) root_.ReadProperty(property, *this);
    for (const auto& child : root.children) ReadComponent(child);
    root_.CheckFieldsBound();
  } catch (...) {
    root_.ClearFields();
    while (root_.ComponentCount() > existing) delete root_.Components(root_.ComponentCount() - 1);
    throw;
  }
}
