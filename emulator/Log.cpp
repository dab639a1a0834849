#include "emulator/Log.h"

#include <cstdio>

#include "emulator/Codes.h"
#include "emulator/Platform.h"
#include "emulator/Settings.h"
#include "emulator/TextCodec.h"

namespace rapiemu {

namespace {

std::string Hex(std::uint32_t value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", width, static_cast<unsigned>(value));
  return text;
}

void Write(const std::string& line) {
  const std::string whole = "rapi-emu: " + line + "\n";
  std::fputs(whole.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

void Trace(const std::string& line) {
  const auto quiet = EnvironmentValue("RAPIEMU_QUIET");
  if (quiet && ParseFlag(*quiet) == true) return;
  Write(line);
}

void Complain(const std::string& line) { Write(line); }

std::string HexText(std::uint32_t value) { return Hex(value, 1); }

std::string HresultText(std::int32_t code) {
  switch (code) {
    case kSOk:
      return "S_OK";
    case kEFail:
      return "E_FAIL";
    case kEInvalidArg:
      return "E_INVALIDARG";
    case kEPending:
      return "E_PENDING";
    default:
      return Hex(static_cast<std::uint32_t>(code), 8);
  }
}

std::string ErrorText(std::int32_t code) {
  const char* name = nullptr;
  switch (code) {
    case kErrorSuccess:
      return "0";
    case kErrorFileNotFound:
      name = "ERROR_FILE_NOT_FOUND";
      break;
    case kErrorInvalidHandle:
      name = "ERROR_INVALID_HANDLE";
      break;
    case kErrorNotReady:
      name = "ERROR_NOT_READY (not connected)";
      break;
    case kErrorInvalidParameter:
      name = "ERROR_INVALID_PARAMETER";
      break;
    case kErrorMoreData:
      name = "ERROR_MORE_DATA";
      break;
    default:
      return std::to_string(code);
  }
  return std::to_string(code) + " " + name;
}

std::string KeyText(std::uint32_t key) {
  if (const auto name = RootName(key)) return std::string(*name);
  return Hex(key, 1);
}

std::string TypeText(std::uint32_t type) {
  switch (type) {
    case kTypeNone:
      return "REG_NONE";
    case kTypeString:
      return "REG_SZ";
    case kTypeExpandString:
      return "REG_EXPAND_SZ";
    case kTypeBinary:
      return "REG_BINARY";
    case kTypeDword:
      return "REG_DWORD";
    case kTypeMultiString:
      return "REG_MULTI_SZ";
    case kTypeQword:
      return "REG_QWORD";
    default:
      return "type " + std::to_string(type);
  }
}

std::string QuotedText(const char16_t* text) {
  if (!text) return "NULL";
  return "\"" + Utf16ToUtf8(WideView(text)) + "\"";
}

std::string ValueText(const RegValue& value) {
  const auto& data = value.data;
  if (value.type == kTypeString || value.type == kTypeExpandString) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
      if (unit == 0) break;
      text.push_back(unit);
    }
    return "\"" + Utf16ToUtf8(text) + "\"";
  }
  if (value.type == kTypeDword && data.size() == 4) {
    const std::uint32_t number =
        data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    return "dword " + Hex(number, 8);
  }
  return TypeText(value.type) + ", " + std::to_string(data.size()) + " bytes";
}

}  // namespace rapiemu
