// The driver installation against a scripted remote-API provider, which
// records every call with its arguments so the order can be asserted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "rapi/RapiLoader.h"

namespace {

enum class Signal { Now, Never, BadHandle };

struct Script {
  HRESULT initReturn = 0;
  Signal signal = Signal::Now;
  HRESULT result = 0;
  LONG openResult = 0;
  LONG queryResult = 0;
  std::u16string value = u"1.4.1.75";
  std::vector<std::string> calls;
  int fds[2] = {-1, -1};
};
Script script;

std::string Utf8(LPCWSTR s) {
  std::string out;
  for (; s && *s; ++s) out += *s < 0x80 ? static_cast<char>(*s) : '?';
  return out;
}

void ClosePipe() {
  for (int& fd : script.fds)
    if (fd >= 0) close(fd), fd = -1;
}

HRESULT InitEx(RAPIINIT* init) {
  script.calls.push_back("CeRapiInitEx(" + std::to_string(init->cbSize) + ")");
  if (script.initReturn != 0) return script.initReturn;
  if (pipe(script.fds) != 0) return E_FAIL;
  if (script.signal == Signal::Now && write(script.fds[1], "x", 1) != 1) return E_FAIL;
  init->heRapiInit = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(
      script.signal == Signal::BadHandle ? -1 : script.fds[0]));
  init->hrRapiInit = script.result;
  return 0;
}

HRESULT Uninit() {
  script.calls.push_back("CeRapiUninit()");
  ClosePipe();
  return 0;
}

LONG Open(HKEY root, LPCWSTR key, DWORD options, REGSAM sam, PHKEY out) {
  char text[160];
  std::snprintf(text, sizeof text, "CeRegOpenKeyEx(%#x, %s, %u, %#x)", static_cast<unsigned>(root),
                Utf8(key).c_str(), static_cast<unsigned>(options), static_cast<unsigned>(sam));
  script.calls.push_back(text);
  if (script.openResult != 0) return script.openResult;
  *out = 0x51;
  return 0;
}

LONG Query(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  char text[160];
  std::snprintf(text, sizeof text, "CeRegQueryValueEx(%#x, %s, %s, type %u, %u bytes)", static_cast<unsigned>(key),
                Utf8(name).c_str(), reserved ? "reserved" : "null", type ? static_cast<unsigned>(*type) : 99u,
                size ? static_cast<unsigned>(*size) : 0u);
  script.calls.push_back(text);
  if (script.queryResult != 0) return script.queryResult;
  const std::size_t bytes = (script.value.size() + 1) * 2;
  if (!data || !size || *size < bytes) return ERROR_MORE_DATA;
  std::memcpy(data, script.value.c_str(), bytes);
  *size = static_cast<DWORD>(bytes);
  return 0;
}

LONG CloseKey(HKEY key) {
  script.calls.push_back("CeRegCloseKey(" + std::to_string(key) + ")");
  return 0;
}

const rapi::Provider kScripted{InitEx, Uninit, Open, Query, CloseKey};

const std::string kInit = "CeRapiInitEx(" + std::to_string(sizeof(RAPIINIT)) + ")";
const std::string kOpen = "CeRegOpenKeyEx(0x80000002, \\Software\\Widcomm\\Version, 0, 0x20019)";
const std::string kQuery = "CeRegQueryValueEx(0x51, Software, null, type 1, 520 bytes)";
const std::string kClose = "CeRegCloseKey(81)";
const std::string kUninit = "CeRapiUninit()";

struct Case {
  const char* name;
  Script setup;
  std::vector<std::string> calls;
  const char* message;  // nullptr: none
  const char* launch;   // nullptr: none
};

Script With(auto&& change) {
  Script s;
  change(s);
  return s;
}

class InstallScriptedTest : public AppTest, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    CreateWindow();
    rapi::SetProviderForTesting(&kScripted);
  }
  void TearDown() override {
    rapi::SetProviderForTesting(nullptr);
    ClosePipe();
    AppTest::TearDown();
  }
};

TEST_P(InstallScriptedTest, CallsMessagesAndLaunches) {
  const Case& c = GetParam();
  script = c.setup;
  Move(kInstallX, kInstallY);
  Down(kInstallX, kInstallY);
  Up(kInstallX, kInstallY);
  EXPECT_EQ(script.calls, c.calls);
  if (c.message) {
    ASSERT_EQ(toolkit::headless::MessageBoxes().size(), 1u);
    const auto& box = toolkit::headless::MessageBoxes()[0];
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, c.message);
    EXPECT_TRUE(box.error) << "the error icon";
  } else {
    EXPECT_TRUE(toolkit::headless::MessageBoxes().empty());
  }
  if (c.launch) {
    ASSERT_EQ(Launches().size(), 1u);
    EXPECT_EQ(Launches()[0].file, c.launch);
    EXPECT_EQ(Launches()[0].operation, "");
    EXPECT_FALSE(Launches()[0].hasOwner || Launches()[0].hasParameters || Launches()[0].hasDirectory);
    EXPECT_EQ(Launches()[0].show, SW_SHOW);
  } else {
    EXPECT_TRUE(Launches().empty());
  }
  EXPECT_FALSE(Form1->Closed()) << "the launcher stays open";
}

const char* const kW = "DriverKit\\Tessera_W.exe";
const char* const kPlain = "DriverKit\\Tessera.exe";
const char* const kInitFailed = "Rapi Initialization failed.";

INSTANTIATE_TEST_SUITE_P(
    Rows, InstallScriptedTest,
    ::testing::Values(
        Case{"Connected_1_4_1_75", Script{}, {kInit, kOpen, kQuery, kClose, kUninit}, nullptr, kW},
        Case{"Connected_1_4_1_76", With([](Script& s) { s.value = u"1.4.1.76"; }),
             {kInit, kOpen, kQuery, kClose, kUninit}, nullptr, kPlain},
        Case{"Connected_FifthPartIgnored", With([](Script& s) { s.value = u"1.4.1.75.2"; }),
             {kInit, kOpen, kQuery, kClose, kUninit}, nullptr, kW},
        Case{"StartCallFails", With([](Script& s) { s.initReturn = E_FAIL; }), {kInit}, kInitFailed, nullptr},
        Case{"AttemptEndsWithFailure", With([](Script& s) { s.result = E_FAIL; }), {kInit, kUninit}, kInitFailed,
             nullptr},
        Case{"KeyMissing", With([](Script& s) { s.openResult = 2; }), {kInit, kOpen, kUninit}, nullptr, kPlain},
        Case{"ValueMissing", With([](Script& s) { s.queryResult = 2; }), {kInit, kOpen, kQuery, kClose, kUninit},
             nullptr, kPlain},
        Case{"WaitFailsGoesOnAsConnected", With([](Script& s) { s.signal = Signal::BadHandle; }),
             {kInit, kOpen, kQuery, kClose, kUninit}, nullptr, kW}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppTest, InstallTimesOutAfterTwoSecondsWithNoConnection) {
  CreateWindow();
  rapi::SetProviderForTesting(&kScripted);
  script = With([](Script& s) { s.signal = Signal::Never; });
  const auto start = std::chrono::steady_clock::now();
  Form1->INSTALL->OnMouseUp(Form1->INSTALL, mbRight, {}, 0, 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  rapi::SetProviderForTesting(nullptr);
  EXPECT_GE(waited, std::chrono::milliseconds(1990));
  EXPECT_LT(waited, std::chrono::milliseconds(3000));
  EXPECT_EQ(script.calls, (std::vector<std::string>{kInit, kUninit})) << "the pending attempt is cancelled";
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Error|Can not connect PDA."}));
  EXPECT_TRUE(Launches().empty());
  ClosePipe();
}

TEST_F(AppTest, EveryInstallStartsAfreshAndLeavesNoConnection) {
  CreateWindow();
  rapi::SetProviderForTesting(&kScripted);
  script = Script{};
  for (int i = 0; i < 3; ++i) Form1->INSTALL->OnMouseUp(Form1->INSTALL, mbLeft, {}, 0, 0);
  rapi::SetProviderForTesting(nullptr);
  EXPECT_EQ(script.fds[0], -1) << "the connection was ended";
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), {kInit, kOpen, kQuery, kClose, kUninit});
  EXPECT_EQ(script.calls, expected);
  EXPECT_EQ(Launches().size(), 3u);
}

}  // namespace
