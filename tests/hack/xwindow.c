/* A test's own X window for the saver to draw in, driven from standard input.
 * Usage: xwindow WIDTH HEIGHT. Prints the window id (0x...) once it is mapped;
 * then reads lines: "size W H" resizes it (and prints "size W H" once the
 * server has done it), "grab" tries to take the keyboard and the pointer
 * (prints "keyboard STATUS pointer STATUS", 0 being success, and lets them
 * go), "cursor" moves the pointer into it and prints "cursor N", N being how
 * many pixels of the pointer's image show (0: the pointer is hidden), "quit"
 * or the end of input destroys it and ends. */
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: xwindow WIDTH HEIGHT\n");
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "xwindow: no display\n");
    return 1;
  }
  XSetWindowAttributes attributes;
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
  const Window window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, (unsigned)atoi(argv[1]),
                                      (unsigned)atoi(argv[2]), 0, CopyFromParent, InputOutput, CopyFromParent,
                                      CWOverrideRedirect | CWBackPixel, &attributes);
  XMapRaised(display, window);
  XSync(display, False);
  printf("0x%lx\n", (unsigned long)window);
  fflush(stdout);
  char line[256];
  while (fgets(line, sizeof line, stdin) != NULL) {
    unsigned width = 0, height = 0;
    if (sscanf(line, "size %u %u", &width, &height) == 2) {
      XResizeWindow(display, window, width, height);
      XSync(display, False);
      printf("size %u %u\n", width, height);
    } else if (line[0] == 'g') {
      const int keyboard = XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime);
      const int pointer = XGrabPointer(display, window, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None,
                                       None, CurrentTime);
      XUngrabKeyboard(display, CurrentTime);
      XUngrabPointer(display, CurrentTime);
      XSync(display, False);
      printf("keyboard %d pointer %d\n", keyboard, pointer);
    } else if (line[0] == 'c') {
      XWarpPointer(display, None, window, 0, 0, 0, 0, 10, 10);
      XSync(display, False);
      XFixesCursorImage* image = XFixesGetCursorImage(display);
      int shown = 0;
      for (int i = 0; image != NULL && i < image->width * image->height; ++i) {
        shown += (image->pixels[i] >> 24) != 0;
      }
      if (image != NULL) XFree(image);
      printf("cursor %d\n", shown);
    } else if (line[0] == 'q') {
      break;
    }
    fflush(stdout);
  }
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return 0;
}
