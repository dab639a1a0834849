// The install action against a remote-API provider that misbehaves: an
// event that never comes, a value query that fails once the key is open, a
// value that overfills the buffer without a NUL, a value of another type, a
// key handle of 0. Each row says what the user sees (a message or a launch)
// and the provider checks that every key opened was closed and every
// connection started was ended.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "../app/AppFixture.h"
#include "rapi/RapiLoader.h"

namespace {

constexpr DWORD kBufferBytes = 520;  // the value buffer the launcher passes

enum class Signal { Now, Never };
enum class Answer {
  Proper,      // as the API is documented: ERROR_MORE_DATA when it does not fit
  Overfill,    // fills the whole buffer, no NUL, claims the full length, succeeds
};

struct Behaviour {
  Signal signal = Signal::Now;
  HKEY openedKey = 0x51;      // the handle the open hands out
  LONG queryResult = 0;       // a failure code makes the query fail
  Answer answer = Answer::Proper;
  DWORD type = REG_SZ;        // the type it reports
  std::vector<BYTE> value;    // the data it holds
};

std::vector<BYTE> Utf16(std::u16string_view text, bool terminated = true) {
  std::vector<BYTE> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// What the provider saw.
struct Ledger {
  Behaviour behaviour;
  int starts = 0;                  // successful CeRapiInitEx
  int ends = 0;                    // CeRapiUninit
  std::map<HKEY, int> openKeys;    // handle -> opens not yet closed
  std::vector<std::string> calls;
  bool queried = false;
  DWORD sizeOffered = 0;           // the buffer size the query was given
  int fds[2] = {-1, -1};
};
Ledger ledger;

void ClosePipe() {
  for (int& fd : ledger.fds)
    if (fd >= 0) close(fd), fd = -1;
}

HRESULT InitEx(RAPIINIT* init) {
  ledger.calls.push_back("init");
  if (pipe(ledger.fds) != 0) return E_FAIL;
  if (ledger.behaviour.signal == Signal::Now && write(ledger.fds[1], "x", 1) != 1) return E_FAIL;
  init->heRapiInit = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(ledger.fds[0]));
  init->hrRapiInit = 0;
  ++ledger.starts;
  return 0;
}

HRESULT Uninit() {
  ledger.calls.push_back("uninit");
  ++ledger.ends;
  ClosePipe();
  return 0;
}

LONG Open(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY out) {
  ledger.calls.push_back("open");
  *out = ledger.behaviour.openedKey;
  ++ledger.openKeys[*out];
  return 0;
}

LONG Query(HKEY key, LPCWSTR, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  ledger.calls.push_back("query(" + std::to_string(key) + ")");
  const Behaviour& b = ledger.behaviour;
  ledger.queried = true;
  ledger.sizeOffered = size ? *size : 0;
  if (ledger.openKeys[key] <= 0) return ERROR_INVALID_HANDLE;
  if (b.queryResult != 0) return b.queryResult;
  if (type) *type = b.type;
  const auto needed = static_cast<DWORD>(b.value.size());
  if (b.answer == Answer::Overfill) {
    // Writes as much as the buffer holds and claims the whole value.
    std::memcpy(data, b.value.data(), std::min<DWORD>(*size, needed));
    *size = needed;
    return 0;
  }
  if (!data || *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, b.value.data(), needed);
  *size = needed;
  return 0;
}

LONG CloseKey(HKEY key) {
  ledger.calls.push_back("close(" + std::to_string(key) + ")");
  if (ledger.openKeys[key] <= 0) return ERROR_INVALID_HANDLE;
  --ledger.openKeys[key];
  return 0;
}

const rapi::Provider kMisbehaving{InitEx, Uninit, Open, Query, CloseKey};

struct Row {
  const char* name;
  Behaviour behaviour;
  const char* message;  // the box's text, or nullptr for none
  const char* launch;   // the file launched, or nullptr for none
};

// Test names carry the row's name, not its bytes.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

Behaviour Value(std::vector<BYTE> value, auto&& change) {
  Behaviour b;
  b.value = std::move(value);
  change(b);
  return b;
}

// 260 units, no NUL: dots, then the version in the very last units.
std::u16string VersionAtTheEnd(std::u16string_view version, std::size_t units = kBufferBytes / 2) {
  return std::u16string(units - version.size(), u'.') + std::u16string(version);
}

const char* const kW = "DriverKit\\Tessera_W.exe";
const char* const kPlain = "DriverKit\\Tessera.exe";

class ProviderFaultTest : public AppTest, public ::testing::WithParamInterface<Row> {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    CreateWindow();
    ledger = Ledger{};
    rapi::SetProviderForTesting(&kMisbehaving);
  }
  void TearDown() override {
    rapi::SetProviderForTesting(nullptr);
    ClosePipe();
    AppTest::TearDown();
  }
};

TEST_P(ProviderFaultTest, GivesTheDocumentedOutcomeAndLeavesNothingOpen) {
  const Row& row = GetParam();
  ledger.behaviour = row.behaviour;
  Move(kInstallX, kInstallY);
  Down(kInstallX, kInstallY);
  Up(kInstallX, kInstallY);

  if (row.message) {
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{std::string("Error|") + row.message});
  } else {
    EXPECT_TRUE(MessageTexts().empty());
  }
  std::vector<std::string> launched;
  for (const Launch& l : Launches()) launched.push_back(l.file);
  EXPECT_EQ(launched, row.launch ? std::vector<std::string>{row.launch} : std::vector<std::string>{});

  EXPECT_EQ(ledger.ends, ledger.starts) << "every connection started is ended";
  for (const auto& [key, open] : ledger.openKeys) EXPECT_EQ(open, 0) << "key " << key << " left open";
  // Nothing is called once the connection has ended.
  ASSERT_FALSE(ledger.calls.empty());
  EXPECT_EQ(ledger.calls.back(), "uninit");
  if (ledger.queried) {
    EXPECT_EQ(ledger.sizeOffered, kBufferBytes) << "the query is offered the whole buffer";
  }
  EXPECT_FALSE(Form1->Closed()) << "the launcher goes on";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProviderFaultTest,
    ::testing::Values(
        Row{"EventNeverSignalled", Value(Utf16(u"1.4.1.75"), [](Behaviour& b) { b.signal = Signal::Never; }),
            "Can not connect PDA.", nullptr},
        Row{"QueryFailsAfterTheKeyOpened",
            Value(Utf16(u"1.4.1.75"), [](Behaviour& b) { b.queryResult = ERROR_INVALID_PARAMETER; }), nullptr,
            kPlain},
        Row{"QuerySaysTheValueIsTooLong",
            Value(Utf16(std::u16string(300, u'1')), [](Behaviour&) {}), nullptr, kPlain},
        // The value is cut at the buffer's end: its last unit still counts,
        // and what the provider had beyond the buffer does not.
        Row{"OverlongValueWithoutNulIsCutAtTheBuffer",
            Value(Utf16(VersionAtTheEnd(u"1.4.1.75") + u"5.9.9", false),
                  [](Behaviour& b) { b.answer = Answer::Overfill; }),
            nullptr, kW},
        // The type is not looked at: the bytes are read as text whatever it says.
        Row{"DwordValue", Value({0x4b, 0, 0, 0}, [](Behaviour& b) { b.type = REG_DWORD; }), nullptr, kPlain},
        Row{"BinaryValueHoldingTheVersionText",
            Value(Utf16(u"1.4.1.75"), [](Behaviour& b) { b.type = REG_BINARY; }), nullptr, kW},
        Row{"MultiStringValue", Value(Utf16(std::u16string_view(u"1.4.1.75\0x\0", 11)), [](Behaviour& b) { b.type = REG_MULTI_SZ; }),
            nullptr, kW},
        Row{"KeyHandleZero", Value(Utf16(u"1.4.1.75"), [](Behaviour& b) { b.openedKey = 0; }), nullptr, kW},
        Row{"KeyHandleZeroThatCannotBeQueried",
            Value(Utf16(u"1.4.1.75"), [](Behaviour& b) {
              b.openedKey = 0;
              b.queryResult = ERROR_INVALID_HANDLE;
            }),
            nullptr, kPlain}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
