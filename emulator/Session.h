// One emulated connection, from CeRapiInitEx to CeRapiUninit: the attempt's
// signal and outcome, the registry it serves and the keys open on it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

#include "emulator/Platform.h"
#include "emulator/Registry.h"
#include "emulator/Settings.h"

namespace rapiemu {

class Session {
 public:
  // Starts the attempt. Throws std::system_error when the signal cannot be made.
  Session(Registry registry, const Settings& settings);

  HANDLE eventHandle() const { return signal_.handle(); }
  // The start record's result: the configured outcome, or E_PENDING for an
  // attempt that never finishes. It is written at once, as no thread is
  // left to write it later; callers look at it once the handle is signalled.
  std::int32_t recordResult() const;
  bool finished() const { return signal_.finished(); }
  // Finished with a success code: the registry calls work.
  bool connected() const;
  std::size_t openKeyCount() const { return openKeys_.size(); }

  // The registry calls, with the remote API's results; see README.md.
  std::int32_t openKey(std::uint32_t parent, std::u16string_view subKey, std::uint32_t* out);
  // `found` (if given) receives the value looked at, also on ERROR_MORE_DATA.
  std::int32_t queryValue(std::uint32_t key, std::u16string_view name, bool reservedGiven,
                          std::uint32_t* type, std::uint8_t* data, std::uint32_t* size,
                          const RegValue** found = nullptr) const;
  std::int32_t closeKey(std::uint32_t key);

 private:
  // A root handle or an open key, or nullptr.
  const RegKey* keyOf(std::uint32_t handle) const;

  Registry registry_;
  std::optional<std::int32_t> result_;  // nullopt: never finishes
  ConnectSignal signal_;
  std::map<std::uint32_t, const RegKey*> openKeys_;
  std::uint32_t nextHandle_ = 1;
};

}  // namespace rapiemu
