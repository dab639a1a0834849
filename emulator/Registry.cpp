#include "emulator/Registry.h"

#include "emulator/TextCodec.h"

namespace rapiemu {

std::optional<std::string_view> RootName(std::uint32_t root) {
  switch (root) {
    case kRootClasses:
      return "HKEY_CLASSES_ROOT";
    case kRootCurrentUser:
      return "HKEY_CURRENT_USER";
    case kRootLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case kRootUsers:
      return "HKEY_USERS";
    default:
      return std::nullopt;
  }
}

std::vector<std::uint8_t> StringData(std::u16string_view text) {
  std::vector<std::uint8_t> data;
  data.reserve((text.size() + 1) * 2);
  for (char16_t unit : text) {
    data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    data.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

RegKey& RegKey::child(std::u16string_view name) {
  auto& slot = children_[FoldCase(name)];
  if (!slot) slot = std::make_unique<RegKey>(std::u16string(name));
  return *slot;
}

RegKey* RegKey::findChild(std::u16string_view name) {
  const auto found = children_.find(FoldCase(name));
  return found == children_.end() ? nullptr : found->second.get();
}

const RegKey* RegKey::findChild(std::u16string_view name) const {
  return const_cast<RegKey*>(this)->findChild(name);
}

bool RegKey::removeChild(std::u16string_view name) { return children_.erase(FoldCase(name)) > 0; }

void RegKey::setValue(RegValue value) {
  auto key = FoldCase(value.name);
  const auto found = values_.find(key);
  if (found != values_.end()) value.name = found->second.name;  // keep the first spelling
  values_.insert_or_assign(std::move(key), std::move(value));
}

const RegValue* RegKey::findValue(std::u16string_view name) const {
  const auto found = values_.find(FoldCase(name));
  return found == values_.end() ? nullptr : &found->second;
}

bool RegKey::removeValue(std::u16string_view name) { return values_.erase(FoldCase(name)) > 0; }

Registry::Registry() {
  for (std::uint32_t handle : {kRootClasses, kRootCurrentUser, kRootLocalMachine, kRootUsers}) {
    const auto name = *RootName(handle);
    roots_.emplace(handle, RegKey(std::u16string(name.begin(), name.end())));
  }
}

RegKey* Registry::root(std::uint32_t handle) {
  const auto found = roots_.find(handle);
  return found == roots_.end() ? nullptr : &found->second;
}

const RegKey* Registry::root(std::uint32_t handle) const {
  const auto found = roots_.find(handle);
  return found == roots_.end() ? nullptr : &found->second;
}

const RegKey* Registry::find(const RegKey& from, std::u16string_view path) {
  const RegKey* key = &from;
  while (key && !path.empty()) {
    const auto end = path.find(u'\\');
    const auto component = path.substr(0, end);
    if (!component.empty()) key = key->findChild(component);
    path = end == std::u16string_view::npos ? std::u16string_view{} : path.substr(end + 1);
  }
  return key;
}

Registry Registry::BuiltIn() {
  Registry registry;
  RegKey& version =
      registry.root(kRootLocalMachine)->child(u"Software").child(u"Widcomm").child(u"Version");
  version.setValue({u"Software", kTypeString, StringData(u"1.4.1.75")});
  return registry;
}

}  // namespace rapiemu
