#include "emulator/Session.h"

#include <cstring>

#include "emulator/Codes.h"

namespace rapiemu {

namespace {

// Handles of opened keys stay below the predefined roots' range.
constexpr std::uint32_t kHandleLimit = 0x80000000u;

}  // namespace

Session::Session(Registry registry, const Settings& settings)
    : registry_(std::move(registry)),
      result_(settings.neverConnect ? std::nullopt : std::optional(settings.connectResult)),
      signal_(settings.neverConnect ? std::nullopt : std::optional(settings.connectDelay)) {}

std::int32_t Session::recordResult() const { return result_ ? *result_ : kEPending; }

bool Session::connected() const { return result_ && *result_ >= 0 && signal_.finished(); }

const RegKey* Session::keyOf(std::uint32_t handle) const {
  if (const RegKey* root = registry_.root(handle)) return root;
  const auto found = openKeys_.find(handle);
  return found == openKeys_.end() ? nullptr : found->second;
}

std::int32_t Session::openKey(std::uint32_t parent, std::u16string_view subKey,
                              std::uint32_t* out) {
  if (!connected()) return kErrorNotReady;
  if (!out) return kErrorInvalidParameter;
  *out = 0;
  const RegKey* from = keyOf(parent);
  if (!from) return kErrorInvalidHandle;
  const RegKey* key = Registry::find(*from, subKey);
  if (!key) return kErrorFileNotFound;

  while (nextHandle_ == 0 || nextHandle_ >= kHandleLimit || openKeys_.count(nextHandle_)) {
    nextHandle_ = nextHandle_ >= kHandleLimit ? 1 : nextHandle_ + 1;
  }
  const std::uint32_t handle = nextHandle_++;
  openKeys_.emplace(handle, key);
  *out = handle;
  return kErrorSuccess;
}

std::int32_t Session::queryValue(std::uint32_t key, std::u16string_view name, bool reservedGiven,
                                 std::uint32_t* type, std::uint8_t* data, std::uint32_t* size,
                                 const RegValue** found) const {
  if (found) *found = nullptr;
  if (!connected()) return kErrorNotReady;
  const RegKey* at = keyOf(key);
  if (!at) return kErrorInvalidHandle;
  if (reservedGiven || (data && !size)) return kErrorInvalidParameter;
  const RegValue* value = at->findValue(name);
  if (!value) return kErrorFileNotFound;
  if (found) *found = value;

  if (type) *type = value->type;
  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (!size) return kErrorSuccess;
  if (data && *size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  if (data && needed > 0) std::memcpy(data, value->data.data(), needed);
  *size = needed;
  return kErrorSuccess;
}

std::int32_t Session::closeKey(std::uint32_t key) {
  if (!connected()) return kErrorNotReady;
  if (registry_.root(key)) return kErrorSuccess;  // the predefined roots are never closed
  return openKeys_.erase(key) > 0 ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace rapiemu
