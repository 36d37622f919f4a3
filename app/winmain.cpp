// WinMain: the command-line rule, the start-up steps in order, the message
// loop, and the closing sequence.
#include <windows.h>

#include <cstring>

#include "app/fatalerror.h"
#include "app/screenwindow.h"
#include "app/startup.h"
#include "device/glidesystem.h"
#include "effect/scene.h"
#include "effect/wipe.h"

namespace {

// Exit code of the notice path, where no message has been taken: the
// request was answered, so it ends as a success.
constexpr int noticeExitCode = 0;

void lowercase(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') {
      *text = static_cast<char>(*text - 'A' + 'a');
    }
  }
}

}  // namespace

// Runs only for a tail of exactly "/s" (either case): the host's configure
// and preview requests, and anything else, get the notice.
int WINAPI WinMain(HINSTANCE, HINSTANCE previousInstance, LPSTR commandLine, int) {
  lowercase(commandLine);
  if (std::strcmp(commandLine, "/s") != 0) {
    MessageBoxA(nullptr, "Preferences are not available in this version", "Notice", MB_OK);
    return noticeExitCode;
  }
  if (previousInstance != nullptr) {
    fatalError("Application may only run once");
  }
  if (!createScreenWindow()) {
    fatalError("Could not initialize window");
  }
  if (!openGlideDevice()) {
    fatalError("Could not initialize Glide");
  }
  if (!setupScene()) {
    fatalError("Could not initialize demo structures");
  }
  const MSG lastMessage = runMessageLoop();
  playClosingWipe();
  closeGlideDevice();
  return static_cast<int>(lastMessage.wParam);
}
