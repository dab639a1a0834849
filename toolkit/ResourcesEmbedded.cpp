#include <map>
#include <string>

#include "toolkit/Resources.h"

namespace toolkit {
namespace {

std::map<std::string, std::span<const unsigned char>, std::less<>>& Registry() {
  static std::map<std::string, std::span<const unsigned char>, std::less<>> registry;
  return registry;
}

}  // namespace

ResourceRegistration::ResourceRegistration(const char* name, const unsigned char* data, std::size_t size) {
  Registry()[name] = {data, size};
}

std::span<const unsigned char> FindEmbeddedResource(std::string_view name) {
  const auto& registry = Registry();
  const auto it = registry.find(name);
  return it == registry.end() ? std::span<const unsigned char>{} : it->second;
}

}  // namespace toolkit
