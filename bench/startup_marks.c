/* Start-up marks for scripts/bench.sh, preloaded into the launcher and the
 * floor program (LD_PRELOAD): appends the monotonic clock, in ms, at a few
 * points of the start to the file STARTUP_MARKS_FILE names:
 *   libraries   the program's libraries are loaded and its code about to run
 *   sdl_init    the program starts SDL's video (its own work before is done)
 *   sdl_up      SDL's video is up (the display is open)
 *   window      the window exists
 *   frame       the first picture has been handed to the X server
 * Each wraps SDL's own entry point and calls it unchanged. */
#define _GNU_SOURCE
#include <SDL.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

/* Writes each mark once: the first time its point is passed. */
static void Mark(const char* what) {
  static const char* seen[8];
  static int count = 0;
  for (int i = 0; i < count; ++i)
    if (strcmp(seen[i], what) == 0) return;
  if (count < 8) seen[count++] = what;
  const char* path = getenv("STARTUP_MARKS_FILE");
  if (!path) return;
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  FILE* f = fopen(path, "a");
  if (!f) return;
  fprintf(f, "%s=%.3f\n", what, (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6);
  fclose(f);
}

/* The next definition of the SDL entry point `name`, of type `type`. */
#define REAL(type, name)                                        \
  static type real = NULL;                                      \
  if (!real) *(void**)&real = dlsym(RTLD_NEXT, #name)

typedef int (*InitFn)(Uint32);
typedef SDL_Window* (*CreateWindowFn)(const char*, int, int, int, int, Uint32);
typedef int (*UpdateFn)(SDL_Window*);
typedef int (*UpdateRectsFn)(SDL_Window*, const SDL_Rect*, int);

__attribute__((constructor)) static void Loaded(void) { Mark("libraries"); }

int SDL_Init(Uint32 flags) {
  REAL(InitFn, SDL_Init);
  Mark("sdl_init");
  const int result = real(flags);
  Mark("sdl_up");
  return result;
}

int SDL_InitSubSystem(Uint32 flags) {
  REAL(InitFn, SDL_InitSubSystem);
  Mark("sdl_init");
  const int result = real(flags);
  Mark("sdl_up");
  return result;
}

SDL_Window* SDL_CreateWindow(const char* title, int x, int y, int w, int h, Uint32 flags) {
  REAL(CreateWindowFn, SDL_CreateWindow);
  SDL_Window* window = real(title, x, y, w, h, flags);
  Mark("window");
  return window;
}

int SDL_UpdateWindowSurface(SDL_Window* window) {
  REAL(UpdateFn, SDL_UpdateWindowSurface);
  const int result = real(window);
  Mark("frame");
  return result;
}

int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
  REAL(UpdateRectsFn, SDL_UpdateWindowSurfaceRects);
  const int result = real(window, rects, count);
  Mark("frame");
  return result;
}
