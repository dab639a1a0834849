// Finds and holds the remote-API library.
//
// Windows: rapi.dll from the system directory only, never from the
// launcher's folder or the current directory: LoadLibraryExA with
// LOAD_LIBRARY_SEARCH_SYSTEM32, or, on systems that do not know that flag
// (ERROR_INVALID_PARAMETER), the full path under GetSystemDirectoryA.
// Elsewhere: RAPI_PROVIDER_LIBRARY by its bare name through the system's
// ordinary search (LD_LIBRARY_PATH, the loader's cache, the default folders),
// bound at once and kept local.
//
// A library that lacks any of the five entry points is unloaded again and
// counts as missing. Once all five are found the library stays loaded until
// the process ends: it is never unloaded, not even at exit, since a provider
// may still be finishing a connection attempt on a thread of its own.
#include "rapi/RapiLoader.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

#ifdef _WIN32
#include <array>
#include <string>
#else
#include <dlfcn.h>
#endif

namespace rapi {
namespace {

#ifdef _WIN32
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

using NativeHandle = HMODULE;

NativeHandle OpenLibrary() {
  if (HMODULE module = ::LoadLibraryExA("rapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return module;
  }
  if (::GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  // The flag is unknown to this system: name the system directory's copy.
  std::array<char, MAX_PATH> directory{};
  const UINT length = ::GetSystemDirectoryA(directory.data(), static_cast<UINT>(directory.size()));
  if (length == 0 || length >= directory.size()) return nullptr;
  const std::string path = std::string(directory.data(), length) + "\\rapi.dll";
  return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void CloseLibrary(NativeHandle handle) { ::FreeLibrary(handle); }

template <typename Function>
Function FindEntry(NativeHandle handle, const char* name) {
  const FARPROC address = ::GetProcAddress(handle, name);
  Function entry = nullptr;
  static_assert(sizeof entry == sizeof address);
  std::memcpy(&entry, &address, sizeof entry);
  return entry;
}
#else
using NativeHandle = void*;

NativeHandle OpenLibrary() { return ::dlopen(RAPI_PROVIDER_LIBRARY, RTLD_NOW | RTLD_LOCAL); }

void CloseLibrary(NativeHandle handle) { ::dlclose(handle); }

template <typename Function>
Function FindEntry(NativeHandle handle, const char* name) {
  void* address = ::dlsym(handle, name);
  Function entry = nullptr;
  static_assert(sizeof entry == sizeof address);
  std::memcpy(&entry, &address, sizeof entry);
  return entry;
}
#endif

// Owns one loaded library; unloads it unless released.
class LibraryHandle {
 public:
  LibraryHandle() = default;
  explicit LibraryHandle(NativeHandle handle) : handle_(handle) {}
  LibraryHandle(const LibraryHandle&) = delete;
  LibraryHandle& operator=(const LibraryHandle&) = delete;
  LibraryHandle(LibraryHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  LibraryHandle& operator=(LibraryHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ~LibraryHandle() { reset(); }

  NativeHandle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset() {
    if (handle_) CloseLibrary(std::exchange(handle_, nullptr));
  }

 private:
  NativeHandle handle_ = nullptr;
};

// The loaded library and its entry points.
struct LoadedLibrary {
  std::mutex mutex;
  LibraryHandle handle;
  Provider provider;
};

LoadedLibrary& Library() {
  // Deliberately never destroyed (see above).
  static LoadedLibrary* const library = new LoadedLibrary;
  return *library;
}

std::atomic<const Provider*> testingProvider{nullptr};

}  // namespace

const Provider* CurrentProvider() {
  if (const Provider* scripted = testingProvider.load()) return scripted;

  LoadedLibrary& library = Library();
  std::lock_guard lock(library.mutex);
  if (library.handle) return &library.provider;

  LibraryHandle handle(OpenLibrary());
  if (!handle) return nullptr;
  Provider found;
  found.initEx = FindEntry<PFN_CeRapiInitEx>(handle.get(), "CeRapiInitEx");
  found.uninit = FindEntry<PFN_CeRapiUninit>(handle.get(), "CeRapiUninit");
  found.regOpenKeyEx = FindEntry<PFN_CeRegOpenKeyEx>(handle.get(), "CeRegOpenKeyEx");
  found.regQueryValueEx = FindEntry<PFN_CeRegQueryValueEx>(handle.get(), "CeRegQueryValueEx");
  found.regCloseKey = FindEntry<PFN_CeRegCloseKey>(handle.get(), "CeRegCloseKey");
  if (!found.complete()) return nullptr;  // the handle unloads the library

  library.provider = found;
  library.handle = std::move(handle);
  return &library.provider;
}

void SetProviderForTesting(const Provider* provider) { testingProvider.store(provider); }

}  // namespace rapi
