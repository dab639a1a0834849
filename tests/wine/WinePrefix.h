// The Wine prefix the tests run the Windows build in: made once per build
// folder (that takes a while) and kept; every test after that reuses it.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace winetest {

struct WineTools {
  std::string wine64;      // the 64-bit loader
  std::string wineserver;
};

class WinePrefix {
 public:
  // Makes the prefix in `folder` unless a complete one is there already.
  // Several test processes may start at once: a lock file beside the folder
  // lets one make it while the others wait. Throws std::runtime_error.
  WinePrefix(std::filesystem::path folder, WineTools tools);

  const std::filesystem::path& folder() const { return folder_; }
  const WineTools& tools() const { return tools_; }

  // The variables every Wine process of the tests gets.
  std::map<std::string, std::string> Environment() const;
  // C:\windows\system32, or the 32-bit programs' system directory
  // (C:\windows\syswow64) of this 64-bit prefix.
  std::filesystem::path SystemDirectory(bool for32Bit) const;
  // Ends every process of the prefix and its server.
  void KillAll() const;

  // The Windows path of a Unix path (drive Z: is the root).
  static std::string WindowsPath(const std::filesystem::path& unixPath);

 private:
  void Create() const;
  std::filesystem::path folder_;
  WineTools tools_;
};

}  // namespace winetest
