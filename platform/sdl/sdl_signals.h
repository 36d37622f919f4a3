// What SIGTERM and SIGINT do to the saver on its own screen, decided here
// and not by SDL (whose handlers would swallow them while it waits for an X
// server). Private to platform/sdl.
#pragma once

namespace win32::sdl {

// While the saver's window is up a stop signal is a close request, as the
// desktop's would be, taken at the next look for input; when nothing takes
// it within two seconds (an X server that stopped answering holds the
// saver) the process ends at once with exit code 0. Before the window is up,
// and once it is hidden again, the signals end the process as by default
// (killed by the signal).
void stopSignalsClose(bool windowUp);

// A stop signal came while the window was up and has not been taken yet;
// taking it clears it.
bool takeStopSignal();

}  // namespace win32::sdl
