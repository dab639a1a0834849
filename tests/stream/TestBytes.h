// Helpers of the form-stream tests: composing byte streams by hand and
// making small BMP files.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/FormStream.h"

namespace streamtest {

// Builds a byte sequence field by field, little-endian.
class Bytes {
 public:
  Bytes& u8(std::uint8_t v) { b_.push_back(v); return *this; }
  Bytes& u8s(std::initializer_list<std::uint8_t> vs) { b_.insert(b_.end(), vs); return *this; }
  Bytes& le(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& u16(std::uint16_t v) { return le(v, 2); }
  Bytes& u32(std::uint32_t v) { return le(v, 4); }
  Bytes& raw(std::string_view s) { b_.insert(b_.end(), s.begin(), s.end()); return *this; }
  Bytes& raw(const std::vector<std::uint8_t>& v) { b_.insert(b_.end(), v.begin(), v.end()); return *this; }
  Bytes& shortStr(std::string_view s) { u8(static_cast<std::uint8_t>(s.size())); return raw(s); }
  Bytes& type(formstream::ValueType t) { return u8(static_cast<std::uint8_t>(t)); }

  // "TPF0", then a root component header.
  static Bytes Stream(std::string_view cls, std::string_view name) {
    Bytes b;
    b.raw("TPF0").shortStr(cls).shortStr(name);
    return b;
  }

  const std::vector<std::uint8_t>& get() const { return b_; }
  operator const std::vector<std::uint8_t>&() const { return b_; }
  operator std::span<const std::uint8_t>() const { return b_; }

 private:
  std::vector<std::uint8_t> b_;
};

// A component with its class and name and nothing else yet.
inline formstream::Component Comp(std::string className, std::string name) {
  formstream::Component c;
  c.className = std::move(className);
  c.name = std::move(name);
  return c;
}

struct BmpOptions {
  std::uint16_t bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t infoSize = 40;
  bool topDown = false;
  std::uint32_t colours = 0;
  int sizeFieldDelta = 0;  // added to the file-size field
  int truncateBy = 0;      // bytes cut off the end (the size field follows)
};

// A complete BMP file with a simple pattern in its pixels.
inline std::vector<std::uint8_t> MakeBmp(int width, int height, BmpOptions o = {}) {
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * o.bits / 8 + 3) / 4 * 4;
  const std::uint32_t offset = 14 + o.infoSize + o.colours * 4;
  const std::uint32_t size = offset + rowBytes * static_cast<std::uint32_t>(height) -
                             static_cast<std::uint32_t>(o.truncateBy);
  Bytes b;
  b.raw("BM").u32(size + static_cast<std::uint32_t>(o.sizeFieldDelta)).u32(0).u32(offset);
  b.u32(o.infoSize).u32(static_cast<std::uint32_t>(width));
  b.u32(static_cast<std::uint32_t>(o.topDown ? -height : height));
  b.u16(1).u16(o.bits).u32(o.compression).u32(0).u32(2835).u32(2835).u32(o.colours).u32(0);
  for (std::uint32_t i = 40; i < o.infoSize; ++i) b.u8(0);
  for (std::uint32_t i = 0; i < o.colours * 4; ++i) b.u8(0);
  std::vector<std::uint8_t> out = b.get();
  for (std::uint32_t i = 0; i < rowBytes * static_cast<std::uint32_t>(height); ++i)
    out.push_back(static_cast<std::uint8_t>(i * 7 + 3));
  out.resize(size);
  return out;
}

}  // namespace streamtest
