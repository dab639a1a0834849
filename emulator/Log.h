// The call trace on standard error: one line per call, prefixed
// "rapi-emu: ". RAPIEMU_QUIET=1 silences the trace; Complain() lines
// (configuration errors) are always written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "emulator/Registry.h"

namespace rapiemu {

void Trace(const std::string& line);
void Complain(const std::string& line);

// Pieces of trace lines.
std::string HexText(std::uint32_t value);      // "0x20019"
std::string HresultText(std::int32_t code);    // "S_OK", "E_FAIL", "0x80041001"
std::string ErrorText(std::int32_t code);      // "0", "2 ERROR_FILE_NOT_FOUND"
std::string KeyText(std::uint32_t key);        // "HKEY_LOCAL_MACHINE", "0x1"
std::string TypeText(std::uint32_t type);      // "REG_SZ", "type 9"
std::string QuotedText(const char16_t* text);  // "\"Software\"", "NULL"
std::string ValueText(const RegValue& value);  // "\"1.4.1.75\"", "dword 0x0000004b"

}  // namespace rapiemu
