// Reading and writing the binary form stream ("TPF0").
//
// The reader never trusts a length or a count: every read checks the bytes
// that are left first, so a damaged stream ends in an Exception naming the
// byte offset and what was being read, never in a read past the end or a huge
// allocation.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>

#include "toolkit/FormStream.h"

namespace formstream {
namespace {

constexpr std::uint8_t kMagic[4] = {'T', 'P', 'F', '0'};
// Components and lists nested deeper than this are taken for a damaged
// stream; real forms nest a handful of levels.
constexpr int kMaxDepth = 64;
constexpr std::uint8_t kFlagChildPos = 0x02;

std::string Hex2(unsigned v) {
  static const char digits[] = "0123456789ABCDEF";
  return std::string{"0x"} + digits[(v >> 4) & 0xF] + digits[v & 0xF];
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Short and long strings hold text in the Windows ANSI code page 1252; these
// are its characters 0x80..0x9F (0xA0..0xFF equal their code points).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string AnsiToUtf8(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::uint8_t b : bytes) {
    if (b < 0x80)
      out += static_cast<char>(b);
    else if (b < 0xA0)
      AppendUtf8(out, kCp1252High[b - 0x80]);
    else
      AppendUtf8(out, b);
  }
  return out;
}

// Returns the offset of the first byte that breaks UTF-8, or npos.
std::size_t FindInvalidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<std::uint8_t>(s[i]);
    std::size_t len = 0;
    char32_t c = 0, min = 0;
    if (b < 0x80) { ++i; continue; }
    if ((b & 0xE0) == 0xC0) { len = 2; c = b & 0x1F; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { len = 3; c = b & 0x0F; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { len = 4; c = b & 0x07; min = 0x10000; }
    else return i;
    if (s.size() - i < len) return i;
    for (std::size_t k = 1; k < len; ++k) {
      const auto cb = static_cast<std::uint8_t>(s[i + k]);
      if ((cb & 0xC0) != 0x80) return i;
      c = (c << 6) | (cb & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return i;
    i += len;
  }
  return std::string_view::npos;
}

// The x87 80-bit extended format: 64-bit mantissa with an explicit integer
// bit, 15-bit exponent (bias 16383), sign. The result is rounded once, to
// nearest with ties to even, also where it falls in double's subnormal range.
double ExtendedToDouble(const std::uint8_t* b) {
  std::uint64_t mant = 0;
  for (int i = 7; i >= 0; --i) mant = (mant << 8) | b[i];
  const unsigned se = b[8] | (unsigned{b[9]} << 8);
  const bool negative = (se & 0x8000) != 0;
  const int exp = static_cast<int>(se & 0x7FFF);
  double r;
  if (exp == 0x7FFF) {
    r = (mant << 1) == 0 ? std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::quiet_NaN();
  } else if (mant == 0) {
    r = 0.0;
  } else {
    // value = mant * 2^e (exponent 0 means denormal: same scale as 1)
    const int e = (exp == 0 ? 1 : exp) - 16383 - 63;
    const int top = 63 - std::countl_zero(mant);  // value in [2^(top+e), 2^(top+e+1))
    if (top + e >= -1022) {
      // Normal double (or overflow to infinity): the conversion to double
      // rounds the mantissa to 53 bits, scaling by a power of two is exact.
      r = std::ldexp(static_cast<double>(mant), e);
    } else {
      // Subnormal: round mant * 2^(e + 1074) to an integer count of 2^-1074.
      const int shift = -(e + 1074);
      std::uint64_t q;
      if (shift <= 0) {
        q = mant << -shift;  // exact, and below 2^52
      } else if (shift > 64) {
        q = 0;
      } else {
        q = shift == 64 ? 0 : mant >> shift;
        const std::uint64_t rem = shift == 64 ? mant : mant & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rem > half || (rem == half && (q & 1))) ++q;
      }
      r = std::ldexp(static_cast<double>(q), -1074);
    }
  }
  return negative ? -r : r;
}

class BinaryReader {
 public:
  explicit BinaryReader(std::span<const std::uint8_t> s) : s_(s) {}

  Component ReadRoot() {
    what_ = "the signature 'TPF0'";
    const std::size_t n = std::min<std::size_t>(s_.size(), 4);
    if (n > 0 && std::memcmp(s_.data(), kMagic, n) != 0)
      throw Exception("Not a form stream: expected the signature 'TPF0' at offset 0");
    Take(4);
    Component root = ReadComponent("the root component", 0);
    if (pos_ != s_.size())
      throw Exception("Form stream has " + std::to_string(s_.size() - pos_) +
                      " unexpected bytes after the root component, at offset " +
                      std::to_string(pos_));
    return root;
  }

 private:
  std::span<const std::uint8_t> s_;
  std::size_t pos_ = 0;
  std::string what_;  // what is being read, for messages

  // Restores the description of what is being read when a nested read ends.
  struct WhatScope {
    BinaryReader& r;
    std::string saved;
    WhatScope(BinaryReader& reader, std::string what) : r(reader), saved(std::move(reader.what_)) {
      r.what_ = std::move(what);
    }
    ~WhatScope() { r.what_ = std::move(saved); }
    WhatScope(const WhatScope&) = delete;
    WhatScope& operator=(const WhatScope&) = delete;
  };

  [[noreturn]] void Fail(std::size_t at, const std::string& why) const {
    throw Exception("Form stream error at offset " + std::to_string(at) + " while reading " +
                    what_ + ": " + why);
  }

  std::span<const std::uint8_t> Take(std::uint64_t n) {
    const std::size_t left = s_.size() - pos_;
    if (n > left)
      throw Exception("Form stream truncated at offset " + std::to_string(pos_) +
                      " while reading " + what_ + " (" + std::to_string(n) + " bytes needed, " +
                      std::to_string(left) + " left)");
    auto r = s_.subspan(pos_, static_cast<std::size_t>(n));
    pos_ += static_cast<std::size_t>(n);
    return r;
  }

  std::uint8_t U8() { return Take(1)[0]; }
  std::uint64_t LE(int bytes) {
    auto b = Take(static_cast<std::uint64_t>(bytes));
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[static_cast<std::size_t>(i)];
    return v;
  }
  std::uint32_t U32() { return static_cast<std::uint32_t>(LE(4)); }

  std::string ShortString() {
    const std::uint8_t len = U8();
    auto b = Take(len);
    return std::string(b.begin(), b.end());
  }

  std::int64_t IntegerOf(ValueType t) {
    switch (t) {
      case ValueType::Int8: return static_cast<std::int8_t>(U8());
      case ValueType::Int16: return static_cast<std::int16_t>(LE(2));
      case ValueType::Int32: return static_cast<std::int32_t>(LE(4));
      default: return static_cast<std::int64_t>(LE(8));
    }
  }

  static bool IsInteger(ValueType t) {
    return t == ValueType::Int8 || t == ValueType::Int16 || t == ValueType::Int32 ||
           t == ValueType::Int64;
  }

  static std::string Label(const Component& c) {
    return c.name.empty() ? "an unnamed " + c.className : c.name;
  }

  Component ReadComponent(const std::string& which, int depth) {
    if (depth > kMaxDepth)
      Fail(pos_, "components nested deeper than " + std::to_string(kMaxDepth) + " levels");
    Component c;
    {
      WhatScope scope(*this, "the header of " + which);
      // A prefix byte 0xF0..0xFF carries filer flags; a class name is never
      // that long, so the two cannot be confused.
      if (pos_ < s_.size() && (s_[pos_] & 0xF0) == 0xF0) {
        c.filerFlags = U8() & 0x0F;
        if (c.filerFlags & kFlagChildPos) {
          WhatScope pos(*this, "the child position of " + which);
          const std::size_t at = pos_;
          const auto t = static_cast<ValueType>(U8());
          if (!IsInteger(t))
            Fail(at, "value type " + Hex2(static_cast<unsigned>(t)) + " where an integer is required");
          c.childPos = IntegerOf(t);
        }
      }
      {
        WhatScope cls(*this, "the class name of " + which);
        c.className = ShortString();
      }
      WhatScope name(*this, "the name of " + which + " (class " + c.className + ")");
      c.name = ShortString();
    }
    const std::string label = Label(c);
    for (;;) {
      WhatScope scope(*this, "a property name of " + label);
      const std::size_t at = pos_;
      const std::uint8_t len = U8();
      if (len == 0) break;
      pos_ = at;
      Property p;
      p.name = ShortString();
      WhatScope value(*this, "property '" + p.name + "' of " + label);
      p.value = ReadValue(depth + 1);
      c.properties.push_back(std::move(p));
    }
    for (;;) {
      WhatScope scope(*this, "the child components of " + label);
      if (U8() == 0) break;
      --pos_;
      c.children.push_back(ReadComponent("a child component of " + label, depth + 1));
    }
    return c;
  }

  Value ReadValue(int depth) {
    if (depth > kMaxDepth)
      Fail(pos_, "lists nested deeper than " + std::to_string(kMaxDepth) + " levels");
    const std::size_t at = pos_;
    const std::uint8_t type = U8();
    switch (static_cast<ValueType>(type)) {
      case ValueType::Int8:
      case ValueType::Int16:
      case ValueType::Int32:
      case ValueType::Int64:
        return {Integer{IntegerOf(static_cast<ValueType>(type))}};
      case ValueType::Extended:
        return {Float{ExtendedToDouble(Take(10).data())}};
      case ValueType::Single:
        return {Float{static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(LE(4))))}};
      case ValueType::Double:
      case ValueType::Date:
        return {Float{std::bit_cast<double>(LE(8))}};
      case ValueType::Currency:
        return {Float{static_cast<double>(static_cast<std::int64_t>(LE(8))) / 10000.0}};
      case ValueType::String:
        return {String{AnsiToUtf8(Take(U8()))}};
      case ValueType::LString:
        return {String{AnsiToUtf8(Take(U32()))}};
      case ValueType::Utf8String: {
        auto b = Take(U32());
        std::string s(b.begin(), b.end());
        const std::size_t bad = FindInvalidUtf8(s);
        if (bad != std::string::npos)
          Fail(at + 5 + bad, "the UTF-8 string is not valid UTF-8");
        return {String{std::move(s)}};
      }
      case ValueType::WString:
        return {String{WideToUtf8()}};
      case ValueType::Ident:
        return {Identifier{ShortString()}};
      case ValueType::False:
        return {false};
      case ValueType::True:
        return {true};
      case ValueType::Binary: {
        auto b = Take(U32());
        return {Binary{{b.begin(), b.end()}}};
      }
      case ValueType::Set: {
        Set set;
        for (;;) {
          std::string name = ShortString();
          if (name.empty()) break;
          set.names.push_back(std::move(name));
        }
        return {std::move(set)};
      }
      case ValueType::Nil:
        return {Nil{}};
      case ValueType::List: {
        ValueList list;
        for (;;) {
          if (U8() == static_cast<std::uint8_t>(ValueType::Null)) break;
          --pos_;
          list.push_back(ReadValue(depth + 1));
        }
        return {std::move(list)};
      }
      case ValueType::Collection:
        Fail(at, "collections are not supported");
      case ValueType::Null:
        Fail(at, "value type 0x00 (end of list) where a value is required");
    }
    Fail(at, "unknown value type " + Hex2(type));
  }

  std::string WideToUtf8() {
    const std::size_t countAt = pos_;
    const std::uint64_t units = U32();
    auto b = Take(units * 2);
    const std::size_t first = countAt + 4;
    std::string out;
    out.reserve(b.size());
    for (std::size_t i = 0; i < b.size(); i += 2) {
      char32_t c = b[i] | (char32_t{b[i + 1]} << 8);
      if (c >= 0xDC00 && c <= 0xDFFF)
        Fail(first + i, "wide string holds an unpaired low surrogate");
      if (c >= 0xD800 && c <= 0xDBFF) {
        if (i + 2 >= b.size())
          Fail(first + i, "wide string holds an unpaired high surrogate");
        const char32_t lo = b[i + 2] | (char32_t{b[i + 3]} << 8);
        if (lo < 0xDC00 || lo > 0xDFFF)
          Fail(first + i, "wide string holds an unpaired high surrogate");
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
      AppendUtf8(out, c);
    }
    return out;
  }
};

class BinaryWriter {
 public:
  std::vector<std::uint8_t> out;

  void WriteComponent(const Component& c, int depth) {
    if (depth > kMaxDepth)
      Fail("components are nested deeper than " + std::to_string(kMaxDepth) + " levels");
    if (c.className.empty())
      Fail("a component (named '" + c.name + "') has an empty class name");
    if (c.filerFlags > 0x0F)
      Fail("filer flags of " + c.className + " do not fit in four bits");
    // A class name of 240 bytes or more would look like a prefix byte, so it
    // gets a prefix (with no flags) in front.
    if (c.filerFlags != 0 || c.className.size() >= 0xF0) {
      out.push_back(static_cast<std::uint8_t>(0xF0 | c.filerFlags));
      if (c.filerFlags & kFlagChildPos) WriteInteger(c.childPos);
    }
    ShortString(c.className, "class name");
    ShortString(c.name, "component name");
    for (const Property& p : c.properties) {
      if (p.name.empty()) Fail("a property of " + c.className + " has an empty name");
      ShortString(p.name, "property name");
      WriteValue(p.value, depth + 1);
    }
    out.push_back(0);
    for (const Component& child : c.children) WriteComponent(child, depth + 1);
    out.push_back(0);
  }

 private:
  [[noreturn]] static void Fail(const std::string& why) {
    throw Exception("Cannot write form stream: " + why);
  }

  void Type(ValueType t) { out.push_back(static_cast<std::uint8_t>(t)); }
  void LE(std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Bytes(std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }
  void ShortString(std::string_view s, const char* what) {
    if (s.size() > 255)
      Fail(std::string(what) + " '" + std::string(s.substr(0, 40)) + "...' is longer than 255 bytes");
    out.push_back(static_cast<std::uint8_t>(s.size()));
    Bytes(s);
  }
  void Length32(std::size_t n, const char* what) {
    if (n > std::numeric_limits<std::uint32_t>::max())
      Fail(std::string(what) + " is longer than 4 GiB");
    LE(n, 4);
  }

  void WriteInteger(std::int64_t v) {
    if (v >= INT8_MIN && v <= INT8_MAX) { Type(ValueType::Int8); LE(static_cast<std::uint64_t>(v), 1); }
    else if (v >= INT16_MIN && v <= INT16_MAX) { Type(ValueType::Int16); LE(static_cast<std::uint64_t>(v), 2); }
    else if (v >= INT32_MIN && v <= INT32_MAX) { Type(ValueType::Int32); LE(static_cast<std::uint64_t>(v), 4); }
    else { Type(ValueType::Int64); LE(static_cast<std::uint64_t>(v), 8); }
  }

  void WriteString(const std::string& s) {
    bool ascii = true;
    for (char ch : s) ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    if (!ascii) {
      if (FindInvalidUtf8(s) != std::string::npos)
        Fail("string '" + s.substr(0, 40) + "' is not valid UTF-8");
      Type(ValueType::Utf8String);
      Length32(s.size(), "a string");
    } else if (s.size() <= 255) {
      Type(ValueType::String);
      out.push_back(static_cast<std::uint8_t>(s.size()));
    } else {
      Type(ValueType::LString);
      Length32(s.size(), "a string");
    }
    Bytes(s);
  }

  void WriteValue(const Value& value, int depth) {
    if (depth > kMaxDepth) Fail("lists are nested deeper than " + std::to_string(kMaxDepth) + " levels");
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, Integer>) {
            WriteInteger(v.value);
          } else if constexpr (std::is_same_v<T, Float>) {
            Type(ValueType::Double);
            LE(std::bit_cast<std::uint64_t>(v.value), 8);
          } else if constexpr (std::is_same_v<T, String>) {
            WriteString(v.value);
          } else if constexpr (std::is_same_v<T, Identifier>) {
            Type(ValueType::Ident);
            ShortString(v.value, "identifier");
          } else if constexpr (std::is_same_v<T, bool>) {
            Type(v ? ValueType::True : ValueType::False);
          } else if constexpr (std::is_same_v<T, Binary>) {
            Type(ValueType::Binary);
            Length32(v.bytes.size(), "binary data");
            out.insert(out.end(), v.bytes.begin(), v.bytes.end());
          } else if constexpr (std::is_same_v<T, Set>) {
            Type(ValueType::Set);
            for (const std::string& n : v.names) {
              if (n.empty()) Fail("a set holds an empty name");
              ShortString(n, "set element");
            }
            out.push_back(0);
          } else if constexpr (std::is_same_v<T, Nil>) {
            Type(ValueType::Nil);
          } else {
            static_assert(std::is_same_v<T, ValueList>);
            Type(ValueType::List);
            for (const Value& item : v) WriteValue(item, depth + 1);
            Type(ValueType::Null);
          }
        },
        value.v);
  }
};

}  // namespace

Component ReadBinary(std::span<const std::uint8_t> stream) {
  return BinaryReader(stream).ReadRoot();
}

std::vector<std::uint8_t> WriteBinary(const Component& root) {
  BinaryWriter w;
  w.out.assign(std::begin(kMagic), std::end(kMagic));
  w.WriteComponent(root, 0);
  return std::move(w.out);
}

}  // namespace formstream
