/* A Wayland window of the test's own that says which keys reach it: it
   prints "ready" once shown, then "key NAME" for each key pressed while it
   has the keyboard, and ends on SIGTERM. Usage: key_window */
#include <SDL.h>
#include <stdio.h>

int main(void) {
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "key_window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window = SDL_CreateWindow("key window", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 320, 240, 0);
  SDL_Surface* surface = window != NULL ? SDL_GetWindowSurface(window) : NULL;
  if (surface == NULL) {
    fprintf(stderr, "key_window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_FillRect(surface, NULL, SDL_MapRGB(surface->format, 0x40, 0x80, 0xC0));
  SDL_UpdateWindowSurface(window);
  printf("ready\n");
  fflush(stdout);
  SDL_Event event;
  while (SDL_WaitEvent(&event) && event.type != SDL_QUIT) {
    if (event.type == SDL_KEYDOWN) {
      printf("key %s\n", SDL_GetKeyName(event.key.keysym.sym));
      fflush(stdout);
    }
  }
  SDL_Quit();
  return 0;
}
