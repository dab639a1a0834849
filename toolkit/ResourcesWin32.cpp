#include "toolkit/Resources.h"

#include <string>

#include "winapi/winapi.h"

namespace toolkit {

// On Windows the build compiles the resources into the executable as RCDATA.
ResourceRegistration::ResourceRegistration(const char*, const unsigned char*, std::size_t) {}

std::span<const unsigned char> FindEmbeddedResource(std::string_view name) {
  const std::string key(name);
  HRSRC found = FindResourceA(nullptr, key.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  const DWORD size = SizeofResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};
  return {static_cast<const unsigned char*>(data), size};
}

}  // namespace toolkit
