// The emulated handheld's registry: the predefined roots, each a tree of
// keys holding typed values. Key and value names compare without regard to
// case; the first spelling seen is kept for display.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rapiemu {

// The predefined root keys, by their handle values.
inline constexpr std::uint32_t kRootClasses = 0x80000000u;
inline constexpr std::uint32_t kRootCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kRootLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kRootUsers = 0x80000003u;

// Value types, as the remote API numbers them.
inline constexpr std::uint32_t kTypeNone = 0;
inline constexpr std::uint32_t kTypeString = 1;
inline constexpr std::uint32_t kTypeExpandString = 2;
inline constexpr std::uint32_t kTypeBinary = 3;
inline constexpr std::uint32_t kTypeDword = 4;
inline constexpr std::uint32_t kTypeMultiString = 7;
inline constexpr std::uint32_t kTypeQword = 11;

// The long name of a root ("HKEY_LOCAL_MACHINE"), or nullopt for any other value.
std::optional<std::string_view> RootName(std::uint32_t root);

struct RegValue {
  std::u16string name;  // empty for the key's default value
  std::uint32_t type = kTypeNone;
  std::vector<std::uint8_t> data;
};

// A string value's data: the UTF-16LE units followed by a NUL unit.
std::vector<std::uint8_t> StringData(std::u16string_view text);

class RegKey {
 public:
  explicit RegKey(std::u16string name = {}) : name_(std::move(name)) {}

  const std::u16string& name() const { return name_; }

  // The sub key of this name, created when missing.
  RegKey& child(std::u16string_view name);
  RegKey* findChild(std::u16string_view name);
  const RegKey* findChild(std::u16string_view name) const;
  // Removes the sub key and everything beneath it; false when it was missing.
  bool removeChild(std::u16string_view name);

  // Adds or replaces a value (the name "" is the default value).
  void setValue(RegValue value);
  const RegValue* findValue(std::u16string_view name) const;
  bool removeValue(std::u16string_view name);

  std::size_t childCount() const { return children_.size(); }
  std::size_t valueCount() const { return values_.size(); }

 private:
  std::u16string name_;
  std::map<std::u16string, std::unique_ptr<RegKey>> children_;  // by folded name
  std::map<std::u16string, RegValue> values_;                   // by folded name
};

class Registry {
 public:
  Registry();

  // The root with this handle value, or nullptr.
  RegKey* root(std::uint32_t handle);
  const RegKey* root(std::uint32_t handle) const;

  // Follows a backslash-separated path below `from`. Empty components
  // (leading, doubled or trailing backslashes) are skipped, so an empty path
  // gives `from` itself. Returns nullptr when a component is missing.
  static const RegKey* find(const RegKey& from, std::u16string_view path);

  // The registry served when no file is given: the Bluetooth stack's version
  // under HKEY_LOCAL_MACHINE\Software\Widcomm\Version.
  static Registry BuiltIn();

 private:
  std::map<std::uint32_t, RegKey> roots_;
};

}  // namespace rapiemu
