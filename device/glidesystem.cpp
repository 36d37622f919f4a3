// Opening and closing the Glide device, with the assertion report that ends
// the process when the board is missing or its screen cannot be opened.
#include "device/glidesystem.h"

#include <windows.h>
#include <cstdio>

// Reports a false result with the call's text, this file and the line of
// the check (23 and 32, which users quote: keep those two lines where they
// are). The call runs in every build, not only in debugging builds, and
// the test holds no side effect of its own. A macro, not a function, so
// that the report gives the call's text as written and the line it is on.
#define verifyGlide(call) ((call) ? (void)0 : assertionReport(#call, "glidesystem.cpp", __LINE__))

// The hardware record that the query fills, and the resolution that the
// board is opened at (640x480): the module's own state, which the header
// shows so that tests can read it.
GrHwConfiguration hwconfig = {};
std::int32_t resolution = GR_RESOLUTION_640x480;

int openGlideDevice() {
  grGlideInit();
  verifyGlide(grSstQueryHardware( &hwconfig ));

  // Board 0 is the first accelerator. Window handle 0 lets the library find
  // the screen window itself. The geometry of the whole effect (640x480,
  // centre (320, 240), y growing upwards) rests on these arguments: a board
  // that cannot show them ends the saver here. Two colour buffers, front
  // and back, and one auxiliary buffer; 60 Hz paces the animation, which
  // advances one step per swap.
  grSstSelect(0);
  verifyGlide(grSstWinOpen( 0, resolution, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_LOWER_LEFT, 2, 1 ));
  return 1;
}

void closeGlideDevice() {
  grGlideShutdown();
}

// The text is cut at 127 characters, losing its line feed if longer. After
// the box the process ends at once with code 255: no wipe, no shutdown.
void assertionReport(const char* expression, const char* file, int line) {
  char text[128];
  std::snprintf(text, sizeof text, "%s, file %s, line %d\n", expression, file, line);
  MessageBoxA(nullptr, text, "Assertion Failed!", MB_TASKMODAL);
  std::fputs("ABNORMAL TERMINATION\r\n", stderr);
  std::fflush(stderr);
  ExitProcess(255);
}
