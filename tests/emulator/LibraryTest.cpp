// The emulated handheld as a client sees it: the library loaded by name
// through the system's library search, driven through its five entry points,
// with its behaviour chosen by RAPIEMU_* variables set before each start.

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rapi/rapi_abi.h"

namespace {

constexpr LONG kSuccess = ERROR_SUCCESS;
constexpr LONG kFileNotFound = ERROR_FILE_NOT_FOUND;
constexpr LONG kInvalidHandle = ERROR_INVALID_HANDLE;
constexpr LONG kNotReady = 21;
constexpr LONG kInvalidParameter = ERROR_INVALID_PARAMETER;
constexpr LONG kMoreData = ERROR_MORE_DATA;
constexpr LPCWSTR kVersionKey = u"\\Software\\Widcomm\\Version";

// The five entry points, looked up once for the whole run.
struct Api {
  PFN_CeRapiInitEx initEx;
  PFN_CeRapiUninit uninit;
  PFN_CeRegOpenKeyEx open;
  PFN_CeRegQueryValueEx query;
  PFN_CeRegCloseKey close;
};

const Api* g_api = nullptr;

const char* const kVariables[] = {"RAPIEMU_REGISTRY",      "RAPIEMU_CONNECT_DELAY_MS",
                                  "RAPIEMU_NEVER_CONNECT", "RAPIEMU_CONNECT_RESULT",
                                  "RAPIEMU_REFUSE_START",  "RAPIEMU_QUIET"};

int FdOf(const RAPIINIT& record) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(record.heRapiInit));
}

bool Readable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, timeoutMs) == 1 && (entry.revents & POLLIN);
}

bool IsOpenFd(int fd) { return fcntl(fd, F_GETFD) != -1; }

std::size_t OpenFdCount() {
  std::size_t count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count;
}

// Everything written to standard error while it lives.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    char name[] = "/tmp/rapi-emu-stderr-XXXXXX";
    file_ = mkstemp(name);
    unlink(name);
    saved_ = dup(STDERR_FILENO);
    dup2(file_, STDERR_FILENO);
  }
  ~StderrCapture() { restore(); }

  std::string text() {
    restore();
    std::string out;
    lseek(file_, 0, SEEK_SET);
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(file_, buffer, sizeof buffer)) > 0) out.append(buffer, got);
    return out;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }
  int file_ = -1;
  int saved_ = -1;
};

class EmulatorLibrary : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (g_api) return;
    // By name only, as the launcher does: found through LD_LIBRARY_PATH.
    void* library = dlopen(RAPI_PROVIDER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    static Api api{};
    api.initEx = reinterpret_cast<PFN_CeRapiInitEx>(dlsym(library, "CeRapiInitEx"));
    api.uninit = reinterpret_cast<PFN_CeRapiUninit>(dlsym(library, "CeRapiUninit"));
    api.open = reinterpret_cast<PFN_CeRegOpenKeyEx>(dlsym(library, "CeRegOpenKeyEx"));
    api.query = reinterpret_cast<PFN_CeRegQueryValueEx>(dlsym(library, "CeRegQueryValueEx"));
    api.close = reinterpret_cast<PFN_CeRegCloseKey>(dlsym(library, "CeRegCloseKey"));
    ASSERT_TRUE(api.initEx && api.uninit && api.open && api.query && api.close);
    g_api = &api;
  }

  void SetUp() override {
    ASSERT_NE(g_api, nullptr);
    for (const char* name : kVariables) unsetenv(name);
    setenv("RAPIEMU_QUIET", "1", 1);
    dir_ = std::filesystem::temp_directory_path() / ("rapi-emu-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }

  void TearDown() override {
    g_api->uninit();  // whatever a test left behind
    std::filesystem::remove_all(dir_);
  }

  HRESULT start(RAPIINIT& record) {
    record = {};
    record.cbSize = sizeof(RAPIINIT);
    return g_api->initEx(&record);
  }

  // Starts and waits for the attempt; fails the test unless it connects.
  void connect() {
    RAPIINIT record{};
    ASSERT_EQ(start(record), S_OK);
    ASSERT_TRUE(Readable(FdOf(record), 2000));
    ASSERT_EQ(record.hrRapiInit, S_OK);
  }

  std::string writeFile(const std::string& name, const std::string& bytes) {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  LONG openVersion(HKEY* key) {
    return g_api->open(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_READ, key);
  }

  // Reads a string value as the launcher does, into a 520-byte buffer.
  std::u16string readString(HKEY key, LPCWSTR name, LONG* code) {
    char16_t buffer[260] = {};
    DWORD type = REG_SZ;
    DWORD size = sizeof buffer;
    *code = g_api->query(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    return buffer;
  }

  std::filesystem::path dir_;
};

// --- Connection --------------------------------------------------------------

TEST_F(EmulatorLibrary, ConnectsAtOnceByDefault) {
  RAPIINIT record{};
  ASSERT_EQ(start(record), S_OK);
  EXPECT_EQ(record.hrRapiInit, S_OK);
  EXPECT_TRUE(IsOpenFd(FdOf(record)));
  EXPECT_TRUE(Readable(FdOf(record), 0));
  HKEY key = 0;
  EXPECT_EQ(openVersion(&key), kSuccess);
}

TEST_F(EmulatorLibrary, DelayedConnectIsReadyOnlyAfterTheDelay) {
  setenv("RAPIEMU_CONNECT_DELAY_MS", "300", 1);
  const auto begin = std::chrono::steady_clock::now();
  RAPIINIT record{};
  ASSERT_EQ(start(record), S_OK);
  EXPECT_FALSE(Readable(FdOf(record), 0));
  HKEY key = 0;
  EXPECT_EQ(openVersion(&key), kNotReady) << "registry usable before the connection is made";

  ASSERT_TRUE(Readable(FdOf(record), 3000));
  const auto waited = std::chrono::steady_clock::now() - begin;
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_EQ(record.hrRapiInit, S_OK);
  EXPECT_EQ(openVersion(&key), kSuccess);
}

TEST_F(EmulatorLibrary, ConnectedStateDoesNotDependOnTheCallerReadingTheFd) {
  setenv("RAPIEMU_CONNECT_DELAY_MS", "20", 1);
  RAPIINIT record{};
  ASSERT_EQ(start(record), S_OK);
  ASSERT_TRUE(Readable(FdOf(record), 2000));
  std::uint64_t expirations = 0;
  ASSERT_EQ(read(FdOf(record), &expirations, sizeof expirations),
            static_cast<ssize_t>(sizeof expirations));
  HKEY key = 0;
  EXPECT_EQ(openVersion(&key), kSuccess);
}

TEST_F(EmulatorLibrary, NeverConnectLeavesTheFdSilent) {
  setenv("RAPIEMU_NEVER_CONNECT", "1", 1);
  RAPIINIT record{};
  ASSERT_EQ(start(record), S_OK);
  EXPECT_FALSE(Readable(FdOf(record), 300));
  HKEY key = 0;
  EXPECT_EQ(openVersion(&key), kNotReady);
  EXPECT_EQ(g_api->uninit(), S_OK) << "cancelling a pending attempt";
  EXPECT_EQ(g_api->uninit(), E_FAIL);
}

struct ResultCase {
  const char* label;
  const char* setting;
  HRESULT expected;
};

class ConnectResult : public EmulatorLibrary, public testing::WithParamInterface<ResultCase> {};

TEST_P(ConnectResult, FinishesWithTheConfiguredCode) {
  setenv("RAPIEMU_CONNECT_RESULT", GetParam().setting, 1);
  RAPIINIT record{};
  ASSERT_EQ(start(record), S_OK) << "the start call itself succeeds";
  ASSERT_TRUE(Readable(FdOf(record), 2000));
  EXPECT_EQ(record.hrRapiInit, GetParam().expected);
  HKEY key = 0;
  EXPECT_EQ(openVersion(&key), kNotReady) << "a failed attempt gives no registry";
}

INSTANTIATE_TEST_SUITE_P(Table, ConnectResult,
                         testing::Values(ResultCase{"Hex", "0x80004005", E_FAIL},
                                         ResultCase{"NegativeDecimal", "-2147467259", E_FAIL},
                                         ResultCase{"OtherCode", "0x8007001F",
                                                    static_cast<HRESULT>(0x8007001Fu)}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(EmulatorLibrary, RefusedStartReturnsEFailAndLeavesNothingToEnd) {
  setenv("RAPIEMU_REFUSE_START", "1", 1);
  RAPIINIT record{};
  record.cbSize = sizeof record;
  record.heRapiInit = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-7));
  EXPECT_EQ(g_api->initEx(&record), E_FAIL);
  EXPECT_EQ(record.heRapiInit, reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-7)));
  EXPECT_EQ(g_api->uninit(), E_FAIL);
}

TEST_F(EmulatorLibrary, BadStartRecordIsInvalidArgument) {
  EXPECT_EQ(g_api->initEx(nullptr), E_INVALIDARG);
  for (DWORD size :
       {DWORD{0}, DWORD{12}, DWORD{sizeof(RAPIINIT) - 1}, DWORD{sizeof(RAPIINIT) + 4}}) {
    if (size == sizeof(RAPIINIT)) continue;
    RAPIINIT record{};
    record.cbSize = size;
    EXPECT_EQ(g_api->initEx(&record), E_INVALIDARG) << "cbSize " << size;
    EXPECT_EQ(record.heRapiInit, nullptr);
  }
  EXPECT_EQ(g_api->uninit(), E_FAIL) << "nothing may have started";
}

TEST_F(EmulatorLibrary, SecondStartWhileActiveFailsAndWorksAgainAfterUninit) {
  RAPIINIT first{};
  ASSERT_EQ(start(first), S_OK);
  RAPIINIT second{};
  EXPECT_EQ(start(second), E_FAIL);
  EXPECT_TRUE(IsOpenFd(FdOf(first))) << "the first attempt is kept";
  ASSERT_EQ(g_api->uninit(), S_OK);
  EXPECT_EQ(start(second), S_OK);
}

TEST_F(EmulatorLibrary, UninitWithoutInitFails) { EXPECT_EQ(g_api->uninit(), E_FAIL); }

TEST_F(EmulatorLibrary, UninitClosesTheFd) {
  RAPIINIT record{};
  ASSERT_EQ(start(record), S_OK);
  ASSERT_TRUE(IsOpenFd(FdOf(record)));
  ASSERT_EQ(g_api->uninit(), S_OK);
  EXPECT_FALSE(IsOpenFd(FdOf(record)));
}

TEST_F(EmulatorLibrary, BadSettingFailsTheStartAndSaysWhichEvenWhenQuiet) {
  setenv("RAPIEMU_CONNECT_DELAY_MS", "soon", 1);
  RAPIINIT record{};
  StderrCapture capture;
  EXPECT_EQ(start(record), E_FAIL);
  EXPECT_NE(capture.text().find("RAPIEMU_CONNECT_DELAY_MS=\"soon\""), std::string::npos);
}

TEST_F(EmulatorLibrary, RegistryCallsFailWithoutAConnection) {
  HKEY key = 0;
  EXPECT_EQ(openVersion(&key), kNotReady);
  DWORD size = 0;
  EXPECT_EQ(g_api->query(HKEY_LOCAL_MACHINE, u"x", nullptr, nullptr, nullptr, &size), kNotReady);
  EXPECT_EQ(g_api->close(1), kNotReady);
}

TEST_F(EmulatorLibrary, ManyRoundsLeakNoDescriptors) {
  const std::size_t before = OpenFdCount();
  ASSERT_GT(before, 0u);
  for (int round = 0; round < 100; ++round) {
    unsetenv("RAPIEMU_NEVER_CONNECT");
    unsetenv("RAPIEMU_CONNECT_DELAY_MS");
    switch (round % 3) {
      case 0:
        break;
      case 1:
        setenv("RAPIEMU_CONNECT_DELAY_MS", "1", 1);
        break;
      case 2:
        setenv("RAPIEMU_NEVER_CONNECT", "1", 1);
        break;
    }
    RAPIINIT record{};
    ASSERT_EQ(start(record), S_OK) << "round " << round;
    if (round % 3 != 2) {
      ASSERT_TRUE(Readable(FdOf(record), 2000)) << "round " << round;
      HKEY key = 0;
      ASSERT_EQ(openVersion(&key), kSuccess) << "round " << round;
      if (round % 2 == 0) {
        ASSERT_EQ(g_api->close(key), kSuccess);  // the others are left to uninit
      }
    }
    ASSERT_EQ(g_api->uninit(), S_OK) << "round " << round;
  }
  EXPECT_EQ(OpenFdCount(), before);
}

// --- Registry ------------------------------------------------------------------

TEST_F(EmulatorLibrary, ReadsTheBuiltInVersionValue) {
  connect();
  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  EXPECT_NE(key, 0u);

  char16_t buffer[260];
  std::memset(buffer, 0xAA, sizeof buffer);
  DWORD type = REG_NONE;
  DWORD size = sizeof buffer;
  ASSERT_EQ(g_api->query(key, u"Software", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size),
            kSuccess);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, sizeof(u"1.4.1.75"));
  EXPECT_EQ(std::u16string(buffer), u"1.4.1.75");
  EXPECT_EQ(buffer[size / 2], 0xAAAA) << "nothing written past the value";

  EXPECT_EQ(g_api->close(key), kSuccess);
  EXPECT_EQ(g_api->close(key), kInvalidHandle) << "closed twice";
  EXPECT_EQ(g_api->query(key, u"Software", nullptr, nullptr, nullptr, &size), kInvalidHandle);
}

struct PathCase {
  const char* label;
  const char16_t* path;
  LONG expected;
};

class KeyPaths : public EmulatorLibrary, public testing::WithParamInterface<PathCase> {};

TEST_P(KeyPaths, OpenAsTheRegistryHoldsThem) {
  connect();
  HKEY key = 0xDEAD;
  EXPECT_EQ(g_api->open(HKEY_LOCAL_MACHINE, GetParam().path, 0, KEY_READ, &key),
            GetParam().expected);
  if (GetParam().expected != kSuccess) {
    EXPECT_EQ(key, 0u) << "a failed open hands out no handle";
    return;
  }
  LONG code = 0;
  EXPECT_EQ(readString(key, u"SOFTWARE", &code), u"1.4.1.75");
  EXPECT_EQ(code, kSuccess);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyPaths,
    testing::Values(PathCase{"LeadingBackslash", u"\\Software\\Widcomm\\Version", kSuccess},
                    PathCase{"NoLeadingBackslash", u"Software\\Widcomm\\Version", kSuccess},
                    PathCase{"SeveralLeadingBackslashes", u"\\\\\\Software\\Widcomm\\Version",
                             kSuccess},
                    PathCase{"OtherCase", u"SOFTWARE\\widcomm\\VeRsIoN", kSuccess},
                    PathCase{"MissingLastKey", u"\\Software\\Widcomm\\Nope", kFileNotFound},
                    PathCase{"BelowTheKey", u"\\Software\\Widcomm\\Version\\Sub", kFileNotFound},
                    PathCase{"MissingFirstKey", u"\\Nope", kFileNotFound}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(EmulatorLibrary, OpensRelativeToAnOpenKey) {
  connect();
  HKEY software = 0;
  ASSERT_EQ(g_api->open(HKEY_LOCAL_MACHINE, u"Software", 0, KEY_READ, &software), kSuccess);
  HKEY version = 0;
  ASSERT_EQ(g_api->open(software, u"Widcomm\\Version", 0, KEY_READ, &version), kSuccess);
  LONG code = 0;
  EXPECT_EQ(readString(version, u"Software", &code), u"1.4.1.75");
  EXPECT_EQ(g_api->open(HKEY_LOCAL_MACHINE, u"Widcomm\\Version", 0, KEY_READ, &version),
            kFileNotFound);
}

TEST_F(EmulatorLibrary, RejectsBadHandlesAndPointers) {
  connect();
  HKEY key = 0;
  EXPECT_EQ(g_api->open(0x12345, u"Software", 0, KEY_READ, &key), kInvalidHandle);
  EXPECT_EQ(g_api->open(0, u"Software", 0, KEY_READ, &key), kInvalidHandle);
  EXPECT_EQ(g_api->open(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_READ, nullptr), kInvalidParameter);
  DWORD size = 0;
  EXPECT_EQ(g_api->query(0x77, u"Software", nullptr, nullptr, nullptr, &size), kInvalidHandle);
  EXPECT_EQ(g_api->close(0x77), kInvalidHandle);
  EXPECT_EQ(g_api->close(0), kInvalidHandle);
}

TEST_F(EmulatorLibrary, HandlesAreDistinctAndNeverZeroWhileOpen) {
  connect();
  std::vector<HKEY> open;
  for (int i = 0; i < 5; ++i) {
    HKEY key = 0;
    ASSERT_EQ(openVersion(&key), kSuccess);
    EXPECT_NE(key, 0u);
    for (HKEY other : open) EXPECT_NE(key, other);
    open.push_back(key);
  }
  ASSERT_EQ(g_api->close(open[2]), kSuccess);
  HKEY again = 0;
  ASSERT_EQ(openVersion(&again), kSuccess);
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (i != 2) {
      EXPECT_NE(again, open[i]);
    }
  }
}

TEST_F(EmulatorLibrary, UninitClosesOpenKeys) {
  connect();
  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  ASSERT_EQ(g_api->uninit(), S_OK);
  connect();
  DWORD size = 0;
  EXPECT_EQ(g_api->query(key, u"Software", nullptr, nullptr, nullptr, &size), kInvalidHandle);
  EXPECT_EQ(g_api->close(key), kInvalidHandle);
}

TEST_F(EmulatorLibrary, QueryFailsForAMissingValue) {
  connect();
  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  DWORD type = 0x55;
  DWORD size = 520;
  BYTE buffer[520];
  EXPECT_EQ(g_api->query(key, u"Hardware", nullptr, &type, buffer, &size), kFileNotFound);
  EXPECT_EQ(type, 0x55u) << "type untouched";
  EXPECT_EQ(g_api->query(key, nullptr, nullptr, &type, buffer, &size), kFileNotFound)
      << "the key has no default value";
}

TEST_F(EmulatorLibrary, QueryReportsTheSizeWithoutABuffer) {
  connect();
  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  DWORD type = REG_NONE;
  DWORD size = 0;
  EXPECT_EQ(g_api->query(key, u"Software", nullptr, &type, nullptr, &size), kSuccess);
  EXPECT_EQ(size, 18u);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(g_api->query(key, u"Software", nullptr, nullptr, nullptr, nullptr), kSuccess)
      << "a plain existence check";
}

TEST_F(EmulatorLibrary, QueryWithASmallBufferAsksForMoreAndWritesNothing) {
  connect();
  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  BYTE buffer[32];
  std::memset(buffer, 0xAA, sizeof buffer);
  DWORD type = REG_NONE;
  DWORD size = 17;
  EXPECT_EQ(g_api->query(key, u"Software", nullptr, &type, buffer, &size), kMoreData);
  EXPECT_EQ(size, 18u);
  EXPECT_EQ(type, REG_SZ);
  for (BYTE byte : buffer) ASSERT_EQ(byte, 0xAA);

  size = 18;  // exactly enough
  EXPECT_EQ(g_api->query(key, u"Software", nullptr, &type, buffer, &size), kSuccess);
  EXPECT_EQ(size, 18u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer)), u"1.4.1.75");
  EXPECT_EQ(buffer[18], 0xAA);
}

TEST_F(EmulatorLibrary, QueryRejectsReservedAndABufferWithoutSize) {
  connect();
  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  DWORD reserved = 0;
  DWORD type = REG_SZ;
  BYTE buffer[520];
  DWORD size = sizeof buffer;
  EXPECT_EQ(g_api->query(key, u"Software", &reserved, &type, buffer, &size), kInvalidParameter);
  EXPECT_EQ(g_api->query(key, u"Software", nullptr, &type, buffer, nullptr), kInvalidParameter);
}

TEST_F(EmulatorLibrary, ServesARegistryFile) {
  // As a registry editor saves it: UTF-16LE with a byte-order mark.
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\Software\\Widcomm\\Version]\r\n"
      u"\"Software\"=\"1.4.1.76\"\r\n@=\"default\"\r\n\"Build\"=dword:0000004b\r\n"
      u"[HKEY_CURRENT_USER\\Settings]\r\n\"x\"=hex:01,02,\\\r\n  03\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  setenv("RAPIEMU_REGISTRY", writeFile("device.reg", bytes).c_str(), 1);
  connect();

  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  LONG code = 0;
  EXPECT_EQ(readString(key, u"Software", &code), u"1.4.1.76");
  EXPECT_EQ(readString(key, nullptr, &code), u"default");
  EXPECT_EQ(readString(key, u"", &code), u"default");

  DWORD type = 0;
  std::uint32_t build = 0;
  DWORD size = sizeof build;
  ASSERT_EQ(g_api->query(key, u"build", nullptr, &type, reinterpret_cast<LPBYTE>(&build), &size),
            kSuccess);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(build, 0x4bu);

  HKEY settings = 0;
  ASSERT_EQ(g_api->open(0x80000001u, u"Settings", 0, KEY_READ, &settings), kSuccess);
  BYTE data[8] = {};
  size = sizeof data;
  ASSERT_EQ(g_api->query(settings, u"x", nullptr, &type, data, &size), kSuccess);
  EXPECT_EQ(type, REG_BINARY);
  ASSERT_EQ(size, 3u);
  EXPECT_EQ(data[0], 1);
  EXPECT_EQ(data[2], 3);
}

TEST_F(EmulatorLibrary, ARegistryFileReplacesTheBuiltInOne) {
  setenv("RAPIEMU_REGISTRY", writeFile("empty.reg", "REGEDIT4\n").c_str(), 1);
  connect();
  HKEY key = 0;
  EXPECT_EQ(openVersion(&key), kFileNotFound);
}

TEST_F(EmulatorLibrary, EnvironmentIsReadAtEachStart) {
  setenv("RAPIEMU_REGISTRY",
         writeFile("a.reg", "REGEDIT4\n[HKLM\\Software\\Widcomm\\Version]\n\"Software\"=\"2.0\"\n")
             .c_str(),
         1);
  connect();
  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  LONG code = 0;
  EXPECT_EQ(readString(key, u"Software", &code), u"2.0");
  ASSERT_EQ(g_api->uninit(), S_OK);

  unsetenv("RAPIEMU_REGISTRY");
  connect();
  ASSERT_EQ(openVersion(&key), kSuccess);
  EXPECT_EQ(readString(key, u"Software", &code), u"1.4.1.75");
}

TEST_F(EmulatorLibrary, BadRegistryFileFailsTheStartNamingFileAndLine) {
  const std::string path =
      writeFile("bad.reg", "REGEDIT4\n[HKLM\\Software]\n\"Software\"=dword:xyz\n");
  setenv("RAPIEMU_REGISTRY", path.c_str(), 1);
  RAPIINIT record{};
  StderrCapture capture;
  EXPECT_EQ(start(record), E_FAIL);
  const std::string said = capture.text();
  EXPECT_NE(said.find("rapi-emu: " + path + ": line 3: "), std::string::npos) << said;
  EXPECT_EQ(g_api->uninit(), E_FAIL);
}

TEST_F(EmulatorLibrary, BadHeaderFailsTheStart) {
  const std::string path = writeFile("header.reg", "REGEDIT5\n");
  setenv("RAPIEMU_REGISTRY", path.c_str(), 1);
  RAPIINIT record{};
  StderrCapture capture;
  EXPECT_EQ(start(record), E_FAIL);
  const std::string said = capture.text();
  EXPECT_NE(said.find(path + ": line 1: unknown header"), std::string::npos) << said;
}

TEST_F(EmulatorLibrary, MissingRegistryFileFailsTheStart) {
  const std::string path = (dir_ / "absent.reg").string();
  setenv("RAPIEMU_REGISTRY", path.c_str(), 1);
  RAPIINIT record{};
  StderrCapture capture;
  EXPECT_EQ(start(record), E_FAIL);
  EXPECT_NE(capture.text().find(path + ": cannot open"), std::string::npos);
}

// --- Trace ---------------------------------------------------------------------

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    const auto end = text.find('\n', from);
    lines.push_back(text.substr(from, end - from));
    if (end == std::string::npos) break;
    from = end + 1;
  }
  return lines;
}

TEST_F(EmulatorLibrary, TracesEachCallOnOneLine) {
  unsetenv("RAPIEMU_QUIET");
  StderrCapture capture;
  RAPIINIT record{};
  ASSERT_EQ(start(record), S_OK);
  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  LONG code = 0;
  readString(key, u"Software", &code);
  DWORD size = 4;
  BYTE small[4];
  g_api->query(key, u"Software", nullptr, nullptr, small, &size);
  g_api->open(HKEY_LOCAL_MACHINE, u"Nope", 0, KEY_READ, &key);
  g_api->close(1);
  g_api->uninit();
  g_api->uninit();

  const std::vector<std::string> expected = {
      "rapi-emu: CeRapiInitEx(cbSize=" + std::to_string(sizeof(RAPIINIT)) +
          ") -> S_OK, connecting in 0 ms",
      "rapi-emu: CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, \"\\Software\\Widcomm\\Version\", 0, "
      "0x20019) -> 0, hkey 0x1",
      "rapi-emu: CeRegQueryValueEx(0x1, \"Software\", type REG_SZ, 520 bytes) -> 0, "
      "\"1.4.1.75\"",
      "rapi-emu: CeRegQueryValueEx(0x1, \"Software\", no type, 4 bytes) -> 234 ERROR_MORE_DATA, "
      "needs 18 bytes",
      "rapi-emu: CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, \"Nope\", 0, 0x20019) -> 2 "
      "ERROR_FILE_NOT_FOUND",
      "rapi-emu: CeRegCloseKey(0x1) -> 0",
      "rapi-emu: CeRapiUninit() -> S_OK",
      "rapi-emu: CeRapiUninit() -> E_FAIL, nothing initialised",
  };
  EXPECT_EQ(Lines(capture.text()), expected);
}

TEST_F(EmulatorLibrary, TraceTellsOfKeysLeftOpenAndCancelledAttempts) {
  unsetenv("RAPIEMU_QUIET");
  connect();
  HKEY key = 0;
  ASSERT_EQ(openVersion(&key), kSuccess);
  {
    StderrCapture capture;
    g_api->uninit();
    EXPECT_EQ(capture.text(), "rapi-emu: CeRapiUninit() -> S_OK, closed 1 key left open\n");
  }
  setenv("RAPIEMU_NEVER_CONNECT", "1", 1);
  StderrCapture capture;
  RAPIINIT record{};
  start(record);
  g_api->uninit();
  EXPECT_EQ(Lines(capture.text()),
            (std::vector<std::string>{
                "rapi-emu: CeRapiInitEx(cbSize=" + std::to_string(sizeof(RAPIINIT)) +
                    ") -> S_OK, never connecting",
                "rapi-emu: CeRapiUninit() -> S_OK, cancelled the pending attempt"}));
}

TEST_F(EmulatorLibrary, QuietSilencesTheTrace) {
  StderrCapture capture;
  connect();
  HKEY key = 0;
  openVersion(&key);
  g_api->uninit();
  g_api->uninit();
  EXPECT_EQ(capture.text(), "");
}

}  // namespace
