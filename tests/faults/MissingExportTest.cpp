// The install action when the remote-API library found lacks one entry
// point. CTest runs this once per missing entry point, with LD_LIBRARY_PATH
// naming a folder whose libcerapi.so lacks the one FAULTS_MISSING_EXPORT
// names; run otherwise, it skips.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "../app/AppFixture.h"
#include "rapi/rapi_abi.h"

namespace {

const char* MissingExport() { return std::getenv("FAULTS_MISSING_EXPORT"); }

bool LibraryLoaded() {
  void* handle = ::dlopen(RAPI_PROVIDER_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  ::dlclose(handle);
  return true;
}

TEST_F(AppTest, LibraryMissingAnEntryPointMeansInitializationFailed) {
  const char* missing = MissingExport();
  if (!missing) GTEST_SKIP() << "run by CTest with FAULTS_MISSING_EXPORT and LD_LIBRARY_PATH set";
  CreateWindow();
  for (int click = 0; click < 2; ++click) {  // the load is tried again, and fails again
    SCOPED_TRACE(click);
    toolkit::headless::MessageBoxes().clear();
    Move(kInstallX, kInstallY);
    Down(kInstallX, kInstallY);
    Up(kInstallX, kInstallY);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Error|Rapi Initialization failed."});
    EXPECT_TRUE(Launches().empty());
    EXPECT_FALSE(LibraryLoaded()) << "an incomplete library is unloaded again";
  }
  EXPECT_FALSE(Form1->Closed());

  // The library on the search path is the one meant: it lacks exactly that entry point.
  void* library = ::dlopen(RAPI_PROVIDER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  for (const char* name : {"CeRapiInitEx", "CeRapiUninit", "CeRegOpenKeyEx", "CeRegQueryValueEx", "CeRegCloseKey"})
    EXPECT_EQ(::dlsym(library, name) == nullptr, std::string(name) == missing) << name;
  ::dlclose(library);
}

}  // namespace
