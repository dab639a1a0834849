// The remote-API loader against what the library search finds. Each suite
// needs its own process environment (the search path is read at start), so
// CTest runs each one separately with LD_LIBRARY_PATH set and
// LOADER_TEST_MODE naming the suite; run otherwise, they skip.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "device/StackVersion.h"
#include "rapi/Rapi.h"
#include "rapi/RapiLoader.h"

namespace fs = std::filesystem;

namespace {

bool InMode(const char* mode) {
  const char* current = std::getenv("LOADER_TEST_MODE");
  return current != nullptr && std::string(current) == mode;
}

#define REQUIRE_MODE(mode)                                                      \
  do {                                                                          \
    if (!InMode(mode)) GTEST_SKIP() << "run by CTest with LOADER_TEST_MODE=" mode; \
  } while (false)

// Whether the provider library is loaded in this process.
bool LibraryLoaded() {
  void* handle = ::dlopen(RAPI_PROVIDER_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  ::dlclose(handle);
  return true;
}

std::string WhereFrom(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return "?";
  return info.dli_fname;
}

fs::path SearchFolder() {
  const char* path = std::getenv("LD_LIBRARY_PATH");
  return path ? fs::path(path) : fs::path();
}

void ExpectNoConnection() {
  RAPIINIT record{12, nullptr, 0};
  EXPECT_EQ(CeRapiInitEx(&record), E_FAIL);
  EXPECT_EQ(record.heRapiInit, nullptr) << "the record was touched";
  EXPECT_EQ(CeRapiUninit(), E_FAIL);
  HKEY key = 0x1111;
  EXPECT_EQ(CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"\\Software", 0, KEY_READ, &key),
            static_cast<LONG>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(key, 0x1111u);
  DWORD type = REG_SZ;
  BYTE data[4];
  DWORD size = sizeof data;
  EXPECT_EQ(CeRegQueryValueEx(key, u"Software", nullptr, &type, data, &size),
            static_cast<LONG>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(CeRegCloseKey(key), static_cast<LONG>(ERROR_INVALID_HANDLE));
  StackVersion version{1, 4, 1, 75};
  EXPECT_FALSE(ReadStackVersion(version));
  EXPECT_EQ(version, (StackVersion{0, 0, 0, 0}));
}

HRESULT OtherInit(RAPIINIT*) { return 0x0777; }
HRESULT OtherUninit() { return S_OK; }
LONG OtherOpen(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) { return ERROR_SUCCESS; }
LONG OtherQuery(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { return ERROR_SUCCESS; }
LONG OtherClose(HKEY) { return ERROR_SUCCESS; }
const rapi::Provider kOther{OtherInit, OtherUninit, OtherOpen, OtherQuery, OtherClose};

}  // namespace

TEST(LoaderWithoutLibrary, NoProviderAndEveryCallFails) {
  REQUIRE_MODE("without");
  if (const rapi::Provider* found = rapi::CurrentProvider()) {
    GTEST_SKIP() << "a provider library is installed on this system: "
                 << WhereFrom(reinterpret_cast<const void*>(found->initEx));
  }
  EXPECT_EQ(rapi::CurrentProvider(), nullptr) << "asked again";
  ExpectNoConnection();
  EXPECT_FALSE(LibraryLoaded());
}

TEST(LoaderWithoutLibrary, TestingProviderTakesPrecedence) {
  REQUIRE_MODE("without");
  rapi::SetProviderForTesting(&kOther);
  EXPECT_EQ(rapi::CurrentProvider(), &kOther);
  RAPIINIT record{12, nullptr, 0};
  EXPECT_EQ(CeRapiInitEx(&record), 0x0777);
  rapi::SetProviderForTesting(nullptr);
  EXPECT_NE(rapi::CurrentProvider(), &kOther);
}

TEST(LoaderPartialLibrary, LibraryMissingAnEntryPointIsNoProvider) {
  REQUIRE_MODE("partial");
  EXPECT_EQ(rapi::CurrentProvider(), nullptr);
  EXPECT_EQ(rapi::CurrentProvider(), nullptr) << "asked again";
  ExpectNoConnection();
  EXPECT_FALSE(LibraryLoaded()) << "the incomplete library was left loaded";

  // The library was there to be found: the test above means something.
  void* handle = ::dlopen(RAPI_PROVIDER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << ::dlerror();
  EXPECT_NE(::dlsym(handle, "CeRapiInitEx"), nullptr);
  EXPECT_EQ(::dlsym(handle, "CeRapiUninit"), nullptr);
  ::dlclose(handle);
}

TEST(LoaderLateLibrary, LoadsOnceTheLibraryAppearsAndKeepsIt) {
  REQUIRE_MODE("late");
  const fs::path folder = SearchFolder();
  ASSERT_TRUE(fs::is_directory(folder)) << "LD_LIBRARY_PATH must name an existing folder";
  const fs::path installed = folder / RAPI_PROVIDER_LIBRARY;
  fs::remove(installed);

  EXPECT_EQ(rapi::CurrentProvider(), nullptr);
  fs::copy_file(COMPLETE_PROVIDER, installed, fs::copy_options::overwrite_existing);

  const rapi::Provider* provider = rapi::CurrentProvider();
  ASSERT_NE(provider, nullptr) << "a failed load was remembered";
  EXPECT_TRUE(provider->complete());
  EXPECT_EQ(fs::canonical(WhereFrom(reinterpret_cast<const void*>(provider->initEx))),
            fs::canonical(installed));
  EXPECT_EQ(rapi::CurrentProvider(), provider);

  RAPIINIT record{12, nullptr, 0};
  EXPECT_EQ(CeRapiInitEx(&record), S_OK);
  EXPECT_EQ(record.hrRapiInit, 0x5EED);
  EXPECT_EQ(CeRapiUninit(), 0x0BED);
  HKEY key = 0;
  EXPECT_EQ(CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"\\Software", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(key, 0xC0DEu);
  EXPECT_EQ(CeRegCloseKey(key), ERROR_SUCCESS);

  fs::remove(installed);
  EXPECT_EQ(rapi::CurrentProvider(), provider) << "the library is kept once loaded";
}
