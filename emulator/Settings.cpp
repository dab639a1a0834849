#include "emulator/Settings.h"

#include <stdexcept>

namespace rapiemu {

namespace {

// Digits in the given base, with a limit on the value; nullopt on anything else.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text, unsigned base,
                                           std::uint64_t limit) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    if (digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  return value;
}

[[noreturn]] void Bad(const char* name, const std::string& value, const char* expected) {
  throw std::invalid_argument(std::string(name) + "=\"" + value + "\" is not valid: expected " +
                              expected);
}

}  // namespace

std::optional<bool> ParseFlag(std::string_view text) {
  if (text == "1") return true;
  if (text == "0") return false;
  return std::nullopt;
}

std::optional<std::chrono::milliseconds> ParseDelay(std::string_view text) {
  const auto value = ParseUnsigned(text, 10, 0x7FFFFFFF);
  if (!value) return std::nullopt;
  return std::chrono::milliseconds(*value);
}

std::optional<std::int32_t> ParseResultCode(std::string_view text) {
  std::optional<std::uint64_t> bits;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (text.size() > 10) return std::nullopt;
    bits = ParseUnsigned(text.substr(2), 16, 0xFFFFFFFFu);
  } else if (!text.empty() && text[0] == '-') {
    const auto magnitude = ParseUnsigned(text.substr(1), 10, 0x80000000u);
    if (magnitude) bits = (0x100000000u - *magnitude) & 0xFFFFFFFFu;
  } else {
    bits = ParseUnsigned(text, 10, 0xFFFFFFFFu);
  }
  if (!bits) return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(*bits));
}

Settings ReadSettings(const EnvironmentLookup& lookup) {
  Settings settings;
  const auto get = [&](const char* name) -> std::optional<std::string> {
    auto value = lookup(name);
    if (value && value->empty()) return std::nullopt;
    return value;
  };
  const auto flag = [&](const char* name) {
    const auto value = get(name);
    if (!value) return false;
    const auto parsed = ParseFlag(*value);
    if (!parsed) Bad(name, *value, "1 or 0");
    return *parsed;
  };

  settings.registryFile = get("RAPIEMU_REGISTRY");
  if (const auto value = get("RAPIEMU_CONNECT_DELAY_MS")) {
    const auto delay = ParseDelay(*value);
    if (!delay) Bad("RAPIEMU_CONNECT_DELAY_MS", *value, "milliseconds from 0 to 2147483647");
    settings.connectDelay = *delay;
  }
  settings.neverConnect = flag("RAPIEMU_NEVER_CONNECT");
  if (const auto value = get("RAPIEMU_CONNECT_RESULT")) {
    const auto code = ParseResultCode(*value);
    if (!code) Bad("RAPIEMU_CONNECT_RESULT", *value, "a 32-bit HRESULT, decimal or 0x hex");
    settings.connectResult = *code;
  }
  settings.refuseStart = flag("RAPIEMU_REFUSE_START");
  return settings;
}

}  // namespace rapiemu
