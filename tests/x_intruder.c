/* Another program's window that opens while the saver runs: a plain white
 * window, managed by the window manager if there is one, that asks for the
 * keyboard focus as a new application window does.
 * Usage: x_intruder WIDTH HEIGHT. Prints its window id (0x...) once mapped,
 * then stays until its standard input ends. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: x_intruder WIDTH HEIGHT\n");
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "x_intruder: no display\n");
    return 1;
  }
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, (unsigned)atoi(argv[1]),
                                            (unsigned)atoi(argv[2]), 0, BlackPixel(display, screen),
                                            WhitePixel(display, screen));
  XStoreName(display, window, "Intruder");
  XSelectInput(display, window, StructureNotifyMask);
  XMapRaised(display, window);
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MapNotify) {
      break;
    }
  }
  XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
  XRaiseWindow(display, window);
  XSync(display, False);
  printf("0x%lx\n", (unsigned long)window);
  fflush(stdout);
  while (getchar() != EOF) {
  }
  XCloseDisplay(display);
  return 0;
}
