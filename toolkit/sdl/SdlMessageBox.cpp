// The toolkit's message box on SDL: a modal box of its own with one OK
// button. SDL shows it without a window or a started video subsystem.
#include <SDL.h>

#include "toolkit/Backend.h"

namespace toolkit {

bool ShowDefaultMessageBox(const std::string& caption, const std::string& text, bool error) {
  const Uint32 kind = error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  return SDL_ShowSimpleMessageBox(kind, caption.c_str(), text.c_str(), nullptr) == 0;
}

}  // namespace toolkit
