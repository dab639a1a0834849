// The floor the launcher's start-up and memory are measured against: plain
// SDL2, nothing else. It opens one borderless 640x480 window at (192, 107),
// shows one 640x480 bitmap in it through the window surface, and waits for
// events until it is closed. Like the launcher it asks for the system's own
// framebuffer rather than SDL's accelerated one (a GL texture, which loads
// a whole GL stack to show one picture).
//
//   floor_window [bitmap.bmp]     (default: the launcher's background)
#include <SDL.h>

#include <cstdio>

namespace {

void Show(SDL_Window* window, SDL_Surface* picture) {
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (!surface) return;
  SDL_BlitSurface(picture, nullptr, surface, nullptr);
  SDL_UpdateWindowSurface(window);
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : FLOOR_BITMAP;
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "floor_window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Surface* picture = SDL_LoadBMP(path);
  SDL_Window* window = picture ? SDL_CreateWindow("", 192, 107, 640, 480, SDL_WINDOW_BORDERLESS) : nullptr;
  if (!window) {
    std::fprintf(stderr, "floor_window: %s\n", SDL_GetError());
    if (picture) SDL_FreeSurface(picture);
    SDL_Quit();
    return 1;
  }
  Show(window, picture);
  SDL_Event event;
  while (SDL_WaitEvent(&event)) {
    if (event.type == SDL_QUIT) break;
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) Show(window, picture);
  }
  SDL_DestroyWindow(window);
  SDL_FreeSurface(picture);
  SDL_Quit();
  return 0;
}
