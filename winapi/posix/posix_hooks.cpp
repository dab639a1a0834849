// Storage of the stand-ins' hooks.
#include "winapi/posix_hooks.h"

namespace winapi_posix {

Hooks& hooks() {
  static Hooks installed;
  return installed;
}

}  // namespace winapi_posix
