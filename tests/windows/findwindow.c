/* Prints the screen rectangle of the window of the given class and title,
   and the screen size; exits 1 when there is no such window. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: findwindow CLASS TITLE\n");
    return 2;
  }
  HWND window = FindWindowA(argv[1], argv[2]);
  RECT rect;
  if (window == NULL || !GetWindowRect(window, &rect)) {
    printf("none\n");
    return 1;
  }
  printf("%ld %ld %ld %ld screen %d %d\n", rect.left, rect.top, rect.right, rect.bottom,
         GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  return 0;
}
