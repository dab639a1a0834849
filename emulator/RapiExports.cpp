// The library's five entry points. Each takes the state lock, does its work
// through the Session of the current connection and writes one trace line.
// No exception leaves an entry point.

#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "emulator/Codes.h"
#include "emulator/Log.h"
#include "emulator/Platform.h"
#include "emulator/RegFile.h"
#include "emulator/Session.h"
#include "emulator/Settings.h"
#include "emulator/TextCodec.h"
#include "rapi/rapi_abi.h"

#ifdef _WIN32
#define RAPIEMU_EXPORT extern "C" __declspec(dllexport)
#else
#define RAPIEMU_EXPORT extern "C" __attribute__((visibility("default")))
#endif

static_assert(sizeof(WCHAR) == sizeof(char16_t), "the remote API's strings are UTF-16");

namespace {

using namespace rapiemu;

// The current connection, from a successful CeRapiInitEx to CeRapiUninit.
std::unique_ptr<Session> g_session;

std::uint32_t KeyNumber(HKEY key) {
#ifdef _WIN32
  // Handles are 32-bit values; the predefined roots arrive sign-extended on
  // 64-bit Windows. Anything else can never be a valid handle.
  const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
  const auto high = bits >> 32;
  if (high != 0 && high != 0xFFFFFFFFu) return 0;
  return static_cast<std::uint32_t>(bits);
#else
  return key;
#endif
}

HKEY KeyHandle(std::uint32_t number) {
#ifdef _WIN32
  return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(number));
#else
  return number;
#endif
}

const char16_t* Wide(LPCWSTR text) { return reinterpret_cast<const char16_t*>(text); }

// Runs an entry point's body; an escaping exception is reported and gives `failure`.
template <typename Body>
auto Guarded(const char* call, std::int32_t failure, Body body) -> std::int32_t {
  try {
    return body();
  } catch (const std::exception& error) {
    Complain(std::string(call) + " failed inside the emulator: " + error.what());
  } catch (...) {
    Complain(std::string(call) + " failed inside the emulator");
  }
  return failure;
}

// The registry the session serves. Throws std::runtime_error with a message
// naming the file (and, for a parse error, the line).
Registry LoadRegistry(const Settings& settings) {
  if (!settings.registryFile) return Registry::BuiltIn();
  const std::string& path = *settings.registryFile;
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error(path + ": cannot open the registry file");
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) throw std::runtime_error(path + ": cannot read the registry file");
  try {
    return ParseRegFile(bytes);
  } catch (const RegFileError& error) {
    throw std::runtime_error(path + ": " + error.what());
  }
}

std::int32_t InitEx(RAPIINIT* record) {
  const std::string call =
      record ? "CeRapiInitEx(cbSize=" + std::to_string(record->cbSize) + ")" : "CeRapiInitEx(NULL)";
  const auto finish = [&](std::int32_t result, const std::string& note) {
    Trace(call + " -> " + HresultText(result) + (note.empty() ? "" : ", " + note));
    return result;
  };
  if (!record) return finish(kEInvalidArg, "no start record");
  if (record->cbSize != sizeof(RAPIINIT)) {
    return finish(kEInvalidArg, "expected cbSize=" + std::to_string(sizeof(RAPIINIT)));
  }
  if (g_session) return finish(kEFail, "already initialised (CeRapiUninit first)");

  Settings settings;
  try {
    settings = ReadSettings(EnvironmentValue);
  } catch (const std::invalid_argument& error) {
    Complain(error.what());
    return finish(kEFail, "bad RAPIEMU_* setting");
  }
  if (settings.refuseStart) return finish(kEFail, "refused by RAPIEMU_REFUSE_START=1");

  Registry registry;
  try {
    registry = LoadRegistry(settings);
  } catch (const std::runtime_error& error) {
    Complain(error.what());
    return finish(kEFail, "registry file unusable");
  }
  g_session = std::make_unique<Session>(std::move(registry), settings);
  record->heRapiInit = g_session->eventHandle();
  record->hrRapiInit = static_cast<HRESULT>(g_session->recordResult());

  const std::string delay = std::to_string(settings.connectDelay.count()) + " ms";
  std::string note = settings.neverConnect ? "never connecting"
                     : settings.connectResult == kSOk
                         ? "connecting in " + delay
                         : "failing in " + delay + " with " + HresultText(settings.connectResult);
  if (settings.registryFile) note += ", registry " + *settings.registryFile;
  return finish(kSOk, note);
}

std::int32_t Uninit() {
  if (!g_session) {
    Trace("CeRapiUninit() -> E_FAIL, nothing initialised");
    return kEFail;
  }
  std::string note;
  if (!g_session->finished()) note += ", cancelled the pending attempt";
  if (const auto open = g_session->openKeyCount()) {
    note += ", closed " + std::to_string(open) + (open == 1 ? " key" : " keys") + " left open";
  }
  g_session.reset();
  Trace("CeRapiUninit() -> S_OK" + note);
  return kSOk;
}

std::int32_t OpenKey(HKEY hKey, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY out) {
  const auto parent = KeyNumber(hKey);
  std::uint32_t opened = 0;
  const std::int32_t code =
      g_session ? g_session->openKey(parent, WideView(Wide(subKey)), out ? &opened : nullptr)
                : kErrorNotReady;
  if (out) *out = KeyHandle(opened);
  Trace("CeRegOpenKeyEx(" + KeyText(parent) + ", " + QuotedText(Wide(subKey)) + ", " +
        std::to_string(options) + ", " + HexText(static_cast<std::uint32_t>(access)) +
        (out ? "" : ", NULL") + ") -> " + ErrorText(code) +
        (code == kErrorSuccess ? ", hkey " + KeyText(opened) : ""));
  return code;
}

std::int32_t QueryValue(HKEY hKey, LPCWSTR name, LPDWORD reserved, LPDWORD typeOut, LPBYTE data,
                        LPDWORD sizeInOut) {
  const auto key = KeyNumber(hKey);
  std::string call = "CeRegQueryValueEx(" + KeyText(key) + ", " + QuotedText(Wide(name));
  if (reserved) call += ", reserved non-NULL";
  call += typeOut ? ", type " + TypeText(static_cast<std::uint32_t>(*typeOut)) : ", no type";
  if (sizeInOut) {
    call += data ? ", " + std::to_string(*sizeInOut) + " bytes" : ", size only";
  } else {
    call += data ? ", buffer without size" : ", no size";
  }
  call += ")";

  std::uint32_t type = 0;
  std::uint32_t size = sizeInOut ? static_cast<std::uint32_t>(*sizeInOut) : 0;
  const RegValue* found = nullptr;
  const std::int32_t code =
      g_session ? g_session->queryValue(key, WideView(Wide(name)), reserved != nullptr,
                                        typeOut ? &type : nullptr, data,
                                        sizeInOut ? &size : nullptr, &found)
                : kErrorNotReady;
  if (typeOut && found) *typeOut = type;
  if (sizeInOut && (code == kErrorSuccess || code == kErrorMoreData)) *sizeInOut = size;

  std::string outcome = ErrorText(code);
  if (code == kErrorMoreData) {
    outcome += ", needs " + std::to_string(found->data.size()) + " bytes";
  } else if (code == kErrorSuccess && found) {
    outcome +=
        data ? ", " + ValueText(*found)
             : ", " + TypeText(found->type) + ", " + std::to_string(found->data.size()) + " bytes";
  }
  Trace(call + " -> " + outcome);
  return code;
}

std::int32_t CloseKey(HKEY hKey) {
  const auto key = KeyNumber(hKey);
  const std::int32_t code = g_session ? g_session->closeKey(key) : kErrorNotReady;
  Trace("CeRegCloseKey(" + KeyText(key) + ") -> " + ErrorText(code));
  return code;
}

}  // namespace

RAPIEMU_EXPORT HRESULT RAPI_CALL CeRapiInitEx(RAPIINIT* pRapiInit) {
  StateLock lock;
  return static_cast<HRESULT>(Guarded("CeRapiInitEx", kEFail, [&] { return InitEx(pRapiInit); }));
}

RAPIEMU_EXPORT HRESULT RAPI_CALL CeRapiUninit() {
  StateLock lock;
  return static_cast<HRESULT>(Guarded("CeRapiUninit", kEFail, [&] { return Uninit(); }));
}

RAPIEMU_EXPORT LONG RAPI_CALL CeRegOpenKeyEx(HKEY hKey, LPCWSTR lpszSubKey, DWORD ulOptions,
                                             REGSAM samDesired, PHKEY phkResult) {
  StateLock lock;
  return static_cast<LONG>(Guarded("CeRegOpenKeyEx", kErrorInvalidParameter, [&] {
    return OpenKey(hKey, lpszSubKey, ulOptions, samDesired, phkResult);
  }));
}

RAPIEMU_EXPORT LONG RAPI_CALL CeRegQueryValueEx(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved,
                                                LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  StateLock lock;
  return static_cast<LONG>(Guarded("CeRegQueryValueEx", kErrorInvalidParameter, [&] {
    return QueryValue(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
  }));
}

RAPIEMU_EXPORT LONG RAPI_CALL CeRegCloseKey(HKEY hKey) {
  StateLock lock;
  return static_cast<LONG>(
      Guarded("CeRegCloseKey", kErrorInvalidParameter, [&] { return CloseKey(hKey); }));
}
