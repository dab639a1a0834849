// ReadStackVersion against a scripted remote-API provider that records every
// call it gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "device/StackVersion.h"
#include "rapi/Rapi.h"
#include "rapi/RapiLoader.h"

namespace {

constexpr HKEY kOpenedKey = 0x00C0FFEE;

struct Call {
  std::string name;
  HKEY key = 0;
  std::u16string text;  // sub-key or value name
  DWORD options = 0;
  REGSAM access = 0;
  bool reservedNull = false;
  DWORD typeIn = 0;
  DWORD sizeIn = 0;
};

Call MakeCall(std::string name, HKEY key = 0, std::u16string text = {}) {
  Call call;
  call.name = std::move(name);
  call.key = key;
  call.text = std::move(text);
  return call;
}

// What the handheld answers, and what it was asked.
struct Script {
  LONG openResult = ERROR_SUCCESS;
  LONG queryResult = ERROR_SUCCESS;
  DWORD typeOut = REG_SZ;
  std::vector<BYTE> value;
  std::vector<Call> calls;
};
Script script;

// Reads a name the way the handheld would, but never more than the 260
// units the launcher's buffers hold.
std::u16string Name(LPCWSTR text) {
  std::u16string name;
  for (std::size_t i = 0; text && i < kStackTextUnits && text[i] != 0; ++i) name.push_back(text[i]);
  return name;
}

HRESULT ScriptedInit(RAPIINIT* record) {
  script.calls.push_back(MakeCall("init"));
  record->hrRapiInit = 0x5EED;
  return S_OK;
}
HRESULT ScriptedUninit() {
  script.calls.push_back(MakeCall("uninit"));
  return 0x0BED;
}
LONG ScriptedOpen(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  Call call = MakeCall("open", root, Name(subKey));
  call.options = options;
  call.access = access;
  script.calls.push_back(call);
  if (script.openResult == ERROR_SUCCESS) *result = kOpenedKey;
  return script.openResult;
}
LONG ScriptedQuery(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                   LPDWORD size) {
  Call call = MakeCall("query", key, Name(valueName));
  call.reservedNull = reserved == nullptr;
  call.typeIn = *type;
  call.sizeIn = *size;
  script.calls.push_back(call);
  if (script.queryResult != ERROR_SUCCESS) return script.queryResult;
  if (script.value.size() > *size) {
    *size = static_cast<DWORD>(script.value.size());
    return ERROR_MORE_DATA;
  }
  std::copy(script.value.begin(), script.value.end(), data);
  *size = static_cast<DWORD>(script.value.size());
  *type = script.typeOut;
  return ERROR_SUCCESS;
}
LONG ScriptedClose(HKEY key) {
  script.calls.push_back(MakeCall("close", key));
  return ERROR_SUCCESS;
}

const rapi::Provider kScripted{ScriptedInit, ScriptedUninit, ScriptedOpen, ScriptedQuery,
                               ScriptedClose};

std::vector<BYTE> Utf16Bytes(const std::u16string& text) {
  std::vector<BYTE> bytes(text.size() * sizeof(char16_t));
  std::memcpy(bytes.data(), text.data(), bytes.size());
  return bytes;
}

std::vector<std::string> CallNames() {
  std::vector<std::string> names;
  for (const Call& call : script.calls) names.push_back(call.name);
  return names;
}

class ReadStackVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script = Script{};
    rapi::SetProviderForTesting(&kScripted);
  }
  void TearDown() override { rapi::SetProviderForTesting(nullptr); }

  static void SetValue(const std::u16string& text) { script.value = Utf16Bytes(text + u'\0'); }
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(ReadStackVersionTest, OpensQueriesAndClosesWithTheFixedArguments) {
  SetValue(u"1.4.1.75");
  StackVersion version{9, 9, 9, 9};
  EXPECT_TRUE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{1, 4, 1, 75}));

  ASSERT_EQ(CallNames(), (Names{"open", "query", "close"}));
  const Call& open = script.calls[0];
  EXPECT_EQ(open.key, 0x80000002u) << "HKEY_LOCAL_MACHINE";
  EXPECT_EQ(open.text, u"\\Software\\Widcomm\\Version");
  EXPECT_EQ(open.options, 0u);
  EXPECT_EQ(open.access, 0x20019u) << "KEY_READ";

  const Call& query = script.calls[1];
  EXPECT_EQ(query.key, kOpenedKey);
  EXPECT_EQ(query.text, u"Software");
  EXPECT_TRUE(query.reservedNull);
  EXPECT_EQ(query.typeIn, 1u) << "REG_SZ";
  EXPECT_EQ(query.sizeIn, 520u);

  EXPECT_EQ(script.calls[2].key, kOpenedKey);
}

TEST_F(ReadStackVersionTest, SplitsTheValueAtDots) {
  struct Case {
    std::u16string text;
    StackVersion expected;
  };
  const Case cases[] = {
      {u"1.4.1.75", {1, 4, 1, 75}},
      {u"1.4.1.76", {1, 4, 1, 76}},
      {u"1,4,1,75", {1, 0, 0, 0}},
      {u"1.4", {1, 4, 0, 0}},
      {u"", {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    SetValue(c.text);
    script.calls.clear();
    StackVersion version{9, 9, 9, 9};
    EXPECT_TRUE(ReadStackVersion(version)) << "true also when no number is there";
    EXPECT_EQ(version, c.expected);
    EXPECT_EQ(CallNames(), (Names{"open", "query", "close"}));
  }
}

TEST_F(ReadStackVersionTest, MissingKeyGivesZerosAndNothingToClose) {
  script.openResult = ERROR_FILE_NOT_FOUND;
  StackVersion version{1, 4, 1, 75};
  EXPECT_FALSE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{0, 0, 0, 0}));
  EXPECT_EQ(CallNames(), (Names{"open"}));
}

TEST_F(ReadStackVersionTest, UnreadableValueClosesTheKey) {
  for (const LONG failure : {static_cast<LONG>(ERROR_FILE_NOT_FOUND), ERROR_MORE_DATA}) {
    SCOPED_TRACE(failure);
    script.calls.clear();
    script.queryResult = failure;
    StackVersion version{1, 4, 1, 75};
    EXPECT_FALSE(ReadStackVersion(version));
    EXPECT_EQ(version, (StackVersion{0, 0, 0, 0}));
    ASSERT_EQ(CallNames(), (Names{"open", "query", "close"}));
    EXPECT_EQ(script.calls[2].key, kOpenedKey);
  }
}

TEST_F(ReadStackVersionTest, ValueTooLongForTheBufferIsUnreadable) {
  SetValue(u"1.4.1.75" + std::u16string(300, u'.'));  // more than 520 bytes
  StackVersion version{};
  EXPECT_FALSE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{0, 0, 0, 0}));
  EXPECT_EQ(CallNames(), (Names{"open", "query", "close"}));
}

TEST_F(ReadStackVersionTest, ValueFillingTheBufferWithoutNulIsCutAtItsEnd) {
  // 520 bytes, no terminator, "75" in the last two units.
  const std::u16string text = u"1.4.1." + std::u16string(kStackTextUnits - 8, u'.') + u"75";
  script.value = Utf16Bytes(text);
  ASSERT_EQ(script.value.size(), 520u);
  StackVersion version{};
  EXPECT_TRUE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{1, 4, 1, 75}));
}

TEST_F(ReadStackVersionTest, ShortValueWithoutNulIsSafe) {
  script.value = Utf16Bytes(u"1.4.1.75");  // no terminator
  StackVersion version{};
  EXPECT_TRUE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{1, 4, 1, 75}));
}

TEST_F(ReadStackVersionTest, ValueOfAnotherTypeIsReadAsText) {
  script.typeOut = REG_DWORD;
  script.value = {0x31, 0x00, 0x00, 0x00};  // DWORD 0x31: the units '1', NUL
  StackVersion version{};
  EXPECT_TRUE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{1, 0, 0, 0}));

  script.value = {0x4B};  // an odd byte count: half a unit
  EXPECT_TRUE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{0, 0, 0, 0}));
}

TEST_F(ReadStackVersionTest, EveryReadStartsAfresh) {
  SetValue(u"1.4.1.75");
  StackVersion version{};
  ASSERT_TRUE(ReadStackVersion(version));
  script.value = Utf16Bytes(u"2");  // shorter, without terminator
  EXPECT_TRUE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{2, 0, 0, 0})) << "units of an earlier read leaked in";
  script.openResult = ERROR_FILE_NOT_FOUND;
  EXPECT_FALSE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{0, 0, 0, 0}));
}

TEST_F(ReadStackVersionTest, ConnectionCallsReachTheProvider) {
  RAPIINIT record{12, nullptr, 0};
  EXPECT_EQ(CeRapiInitEx(&record), S_OK);
  EXPECT_EQ(record.hrRapiInit, 0x5EED);
  EXPECT_EQ(CeRapiUninit(), 0x0BED);
  EXPECT_EQ(CallNames(), (Names{"init", "uninit"}));
}
