// Writes the binary seeds of corpus/fuzz_form_stream:
//   tform1_small.bin   the launcher's window definition with every picture
//                      replaced by a 1x1 bitmap (a few KB instead of ~1 MB)
//   tform1_int64.bin   the same with the images' places and sizes stored as
//                      64-bit integers (the reader takes any integer type),
//                      whose 8 bytes the fuzzer's comparison tracing can
//                      steer straight to the limits the reader checks
//   value_types.bin    one property of every value type the reader knows,
//                      and a child record with a prefix byte
//
//   fuzz_make_seeds <app/Install1.dfm> <output folder>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/FormStream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kTinyBmp = {
    'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0,
    0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0x20, 0x30, 0,
};

class Writer {
 public:
  Writer& u8(std::uint8_t v) { b.push_back(v); return *this; }
  Writer& le(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Writer& raw(std::string_view s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
  Writer& str(std::string_view s) { return u8(static_cast<std::uint8_t>(s.size())).raw(s); }
  Writer& type(formstream::ValueType t) { return u8(static_cast<std::uint8_t>(t)); }
  Writer& prop(std::string_view name, formstream::ValueType t) { return str(name).type(t); }
  Bytes b;
};

Bytes ValueTypes() {
  using T = formstream::ValueType;
  Writer w;
  w.raw("TPF0").str("TDummy").str("Dummy");
  w.prop("I8", T::Int8).le(0x80, 1);
  w.prop("I16", T::Int16).le(0x8000, 2);
  w.prop("I32", T::Int32).le(0x80000000u, 4);
  w.prop("I64", T::Int64).le(0x8000000000000000ull, 8);
  w.prop("Ext", T::Extended).le(0xC000000000000000ull, 8).le(0x3FFF, 2);  // 1.5
  w.prop("Sgl", T::Single).le(0x3FC00000u, 4);                            // 1.5
  w.prop("Dbl", T::Double).le(0x3FF8000000000000ull, 8);                  // 1.5
  w.prop("Cur", T::Currency).le(15000, 8);                                // 1.5
  w.prop("Dat", T::Date).le(0x40E5F4C000000000ull, 8);
  w.prop("S", T::String).str("it's");
  w.prop("L", T::LString).le(3, 4).raw("abc");
  w.prop("U", T::Utf8String).le(2, 4).raw("\xC3\xA9");
  w.prop("W", T::WString).le(3, 4).le(0x00E9, 2).le(0xD83D, 2).le(0xDE00, 2);
  w.prop("Id", T::Ident).str("clWindow");
  w.prop("F", T::False);
  w.prop("T", T::True);
  w.prop("N", T::Nil);
  w.prop("Set", T::Set).str("fsBold").str("fsItalic").u8(0);
  w.prop("Empty", T::Set).u8(0);
  w.prop("Bin", T::Binary).le(3, 4).u8(1).u8(2).u8(3);
  w.prop("List", T::List).type(T::Int8).u8(1).type(T::List).type(T::String).str("x").type(T::Null)
      .type(T::Null);
  w.u8(0);  // end of the root's properties
  // A child with a prefix byte: child position 2 given as an int8.
  w.u8(0xF2).type(T::Int8).u8(2).str("TImage").str("Child");
  w.prop("Left", T::Int16).le(358, 2);
  w.prop("Picture.Data", T::Binary).le(1 + 7 + 4 + kTinyBmp.size(), 4).str("TBitmap").le(kTinyBmp.size(), 4);
  w.b.insert(w.b.end(), kTinyBmp.begin(), kTinyBmp.end());
  w.u8(0).u8(0);  // the child's properties and children
  w.u8(0);        // the root's children
  return w.b;
}

// The window definition with the images' geometry as 64-bit integers. The
// writer picks the smallest type, so each value is first written with a
// marker in its high bytes, which forces the 64-bit type, and the marker is
// then cleared in the written bytes.
Bytes WithInt64Geometry(formstream::Component form) {
  constexpr std::int64_t kMarker = std::int64_t{0x5A5A} << 40;
  for (formstream::Component& child : form.children)
    for (formstream::Property& p : child.properties)
      if (p.name == "Left" || p.name == "Top" || p.name == "Width" || p.name == "Height")
        if (auto* i = std::get_if<formstream::Integer>(&p.value.v)) i->value |= kMarker;
  Bytes b = formstream::WriteBinary(form);
  for (std::size_t at = 0; at + 9 <= b.size(); ++at) {
    if (b[at] != static_cast<std::uint8_t>(formstream::ValueType::Int64) || b[at + 6] != 0x5A || b[at + 7] != 0x5A)
      continue;
    b[at + 6] = 0;
    b[at + 7] = 0;
    at += 8;
  }
  return b;
}

bool Save(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_make_seeds <Install1.dfm> <output folder>\n");
    return 2;
  }
  std::ifstream dfm(argv[1], std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(dfm), std::istreambuf_iterator<char>()};
  if (!dfm && !dfm.eof()) {
    std::fprintf(stderr, "fuzz_make_seeds: cannot read %s\n", argv[1]);
    return 1;
  }
  try {
    const formstream::Component form = formstream::ReadText(text, [](const std::string&) { return kTinyBmp; });
    const std::string folder = argv[2];
    const Bytes values = ValueTypes();
    formstream::ReadBinary(values);  // the hand-made stream must be valid
    if (!Save(folder + "/tform1_small.bin", formstream::WriteBinary(form)) ||
        !Save(folder + "/tform1_int64.bin", WithInt64Geometry(form)) ||
        !Save(folder + "/value_types.bin", values)) {
      std::fprintf(stderr, "fuzz_make_seeds: cannot write into %s\n", argv[2]);
      return 1;
    }
  } catch (const Exception& e) {
    std::fprintf(stderr, "fuzz_make_seeds: %s\n", e.Message.c_str());
    return 1;
  }
  return 0;
}
