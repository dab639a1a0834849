// The result codes the emulated handheld gives, as plain numbers so the core
// builds the same on every platform (the Win32 headers define the same names
// as macros).
#pragma once

#include <cstdint>

namespace rapiemu {

// Registry calls (Win32 error codes).
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
// Any registry call made while no connection is up: before CeRapiInitEx,
// while the attempt is pending, after it failed, or after CeRapiUninit.
inline constexpr std::int32_t kErrorNotReady = 21;
inline constexpr std::int32_t kErrorInvalidParameter = 87;
inline constexpr std::int32_t kErrorMoreData = 234;

// Connection calls (HRESULTs).
inline constexpr std::int32_t kSOk = 0;
inline constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);
inline constexpr std::int32_t kEInvalidArg = static_cast<std::int32_t>(0x80070057u);
// Written to the start record of an attempt that never finishes.
inline constexpr std::int32_t kEPending = static_cast<std::int32_t>(0x8000000Au);

}  // namespace rapiemu
