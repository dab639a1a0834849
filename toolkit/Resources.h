// Resources linked into the program: the window definitions and the icon.
// On Windows they are the executable's own resources (RCDATA); elsewhere the
// build embeds them as C++ sources that register themselves at start-up
// (see tools/embed).
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace toolkit {

// Registers a named block of bytes; used by the generated sources.
struct ResourceRegistration {
  ResourceRegistration(const char* name, const unsigned char* data, std::size_t size);
};

// The bytes of the named resource, or an empty span when there is none.
std::span<const unsigned char> FindEmbeddedResource(std::string_view name);

}  // namespace toolkit
