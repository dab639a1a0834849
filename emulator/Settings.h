// The emulated handheld's behaviour, read from the environment at every
// CeRapiInitEx (see README.md for the variables).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace rapiemu {

struct Settings {
  std::optional<std::string> registryFile;    // RAPIEMU_REGISTRY; built-in registry when unset
  std::chrono::milliseconds connectDelay{0};  // RAPIEMU_CONNECT_DELAY_MS
  bool neverConnect = false;                  // RAPIEMU_NEVER_CONNECT
  std::int32_t connectResult = 0;             // RAPIEMU_CONNECT_RESULT
  bool refuseStart = false;                   // RAPIEMU_REFUSE_START
};

// Looks up one environment variable; nullopt when unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// Reads every setting. Throws std::invalid_argument with a message naming the
// variable and its bad value. Empty variables count as unset.
Settings ReadSettings(const EnvironmentLookup& lookup);

// "1" is on, "0" is off, anything else is nullopt.
std::optional<bool> ParseFlag(std::string_view text);
// Decimal milliseconds, 0 to 2^31-1.
std::optional<std::chrono::milliseconds> ParseDelay(std::string_view text);
// A decimal number (-2147483648 to 4294967295) or 0x followed by 1 to 8 hex
// digits, taken as a 32-bit HRESULT.
std::optional<std::int32_t> ParseResultCode(std::string_view text);

}  // namespace rapiemu
