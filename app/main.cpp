// The process entry on every target; the saver itself starts in WinMain.
#include "app/startup.h"

int main() {
  startProcess();
}
