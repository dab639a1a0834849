// ReadStackVersion: the handheld's Bluetooth software version, from the
// handheld's registry over the remote API.
#include "device/StackVersion.h"
#include "rapi/Rapi.h"

namespace {

constexpr char kKeyPath[] = "\\Software\\Widcomm\\Version";
constexpr char kValueName[] = "Software";
constexpr char kSeparator[] = ".";

constexpr LONG kSuccess = static_cast<LONG>(ERROR_SUCCESS);

}  // namespace

bool ReadStackVersion(StackVersion& version) {
  version.fill(0);

  WCHAR keyPath[kStackTextUnits];
  WCHAR valueName[kStackTextUnits];
  AnsiToWide(kKeyPath, keyPath);
  AnsiToWide(kValueName, valueName);

  HKEY key{};
  if (CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != kSuccess) {
    return false;
  }

  // Zero-filled, so a value shorter than the buffer always ends in a NUL; one
  // that fills the buffer is cut at its end by the split below.
  WCHAR value[kStackTextUnits] = {};
  DWORD type = REG_SZ;
  DWORD size = sizeof value;
  if (CeRegQueryValueEx(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(value), &size) !=
      kSuccess) {
    CeRegCloseKey(key);
    return false;
  }

  WCHAR separator[kStackTextUnits];
  AnsiToWide(kSeparator, separator);
  SplitVersion(value, kStackTextUnits, separator, version);

  CeRegCloseKey(key);
  return true;
}
