// Reads the registry editor's text export format into a registry.
//
// Accepted: the header "REGEDIT4" or "Windows Registry Editor Version 5.00"
// on the first line; UTF-8 text (with or without a byte-order mark) or
// UTF-16LE with its byte-order mark; key lines "[ROOT\path]" and deletions
// "[-ROOT\path]" with the roots HKEY_LOCAL_MACHINE (HKLM), HKEY_CURRENT_USER
// (HKCU), HKEY_CLASSES_ROOT (HKCR) and HKEY_USERS (HKU); values
// "name"="text" (escapes \\ and \"), @=... for the default value,
// dword:<hex>, hex:<bytes>, hex(<type>):<bytes> with backslash line
// continuations, and "name"=- deletions; ';' comments and blank lines.
// In a REGEDIT4 file, hex(1), hex(2) and hex(7) bytes are 8-bit text and are
// widened to UTF-16, as the handheld stores strings.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "emulator/Registry.h"

namespace rapiemu {

// Bad input; what() reads "line N: <reason>".
class RegFileError : public std::runtime_error {
 public:
  RegFileError(int line, const std::string& reason);
  int line() const { return line_; }
  const std::string& reason() const { return reason_; }

 private:
  int line_;
  std::string reason_;
};

// Parses a whole file's bytes into a registry holding the four empty roots
// plus what the file adds. Throws RegFileError.
Registry ParseRegFile(std::string_view bytes);

// The same, applied on top of an existing registry (deletions remove what
// is already there). On error the registry may hold part of the file.
void ApplyRegFile(std::string_view bytes, Registry& registry);

}  // namespace rapiemu
