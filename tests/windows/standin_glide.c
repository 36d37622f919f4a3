/* A stand-in for an installed glide2x.dll (a card's driver, a wrapper), for
 * the setup's tests: it exports the Glide calls the saver imports, draws
 * nothing, and appends to the file that GLIDE_STANDIN_LOG names a line for
 * the first grGlideInit (with this DLL's own path), grSstWinOpen and
 * grBufferSwap. Its swap waits one 60 Hz frame, as a board's does. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static HMODULE standin;
static int swapLogged;

static void record(const char* call, const char* detail) {
  const char* path = getenv("GLIDE_STANDIN_LOG");
  FILE* log = path ? fopen(path, "a") : NULL;
  if (log) {
    fprintf(log, "%s%s%s\n", call, detail[0] ? " " : "", detail);
    fclose(log);
  }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    standin = instance;
  }
  return TRUE;
}

void __stdcall grGlideInit(void) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(standin, path, sizeof path);
  record("grGlideInit", path);
}
int __stdcall grSstQueryHardware(void* hardware) {
  (void)hardware;
  return 1;
}
void __stdcall grSstSelect(int board) { (void)board; }
int __stdcall grSstWinOpen(unsigned window, int resolution, int refresh, int format, int origin, int buffers,
                           int auxiliary) {
  (void)window, (void)resolution, (void)refresh, (void)format, (void)origin, (void)buffers, (void)auxiliary;
  record("grSstWinOpen", "");
  return 1;
}
void __stdcall grGlideShutdown(void) {}
void __stdcall grColorCombine(int function, int factor, int local, int other, int invert) {
  (void)function, (void)factor, (void)local, (void)other, (void)invert;
}
void __stdcall grAlphaCombine(int function, int factor, int local, int other, int invert) {
  (void)function, (void)factor, (void)local, (void)other, (void)invert;
}
void __stdcall guColorCombineFunction(int function) { (void)function; }
void __stdcall grFogMode(int mode) { (void)mode; }
void __stdcall grFogColorValue(unsigned colour) { (void)colour; }
void __stdcall guFogGenerateExp(unsigned char* table, float density) {
  (void)density;
  memset(table, 0, 64);
}
float __stdcall guFogTableIndexToW(int index) { return (float)index; }
void __stdcall grFogTable(const unsigned char* table) { (void)table; }
void __stdcall grAlphaBlendFunction(int sourceRgb, int destinationRgb, int sourceAlpha, int destinationAlpha) {
  (void)sourceRgb, (void)destinationRgb, (void)sourceAlpha, (void)destinationAlpha;
}
void __stdcall grClipWindow(unsigned minX, unsigned minY, unsigned maxX, unsigned maxY) {
  (void)minX, (void)minY, (void)maxX, (void)maxY;
}
void __stdcall grBufferClear(unsigned colour, unsigned char alpha, unsigned short depth) {
  (void)colour, (void)alpha, (void)depth;
}
void __stdcall grDrawPoint(const void* vertex) { (void)vertex; }
void __stdcall grAADrawPoint(const void* vertex) { (void)vertex; }
void __stdcall grAADrawLine(const void* first, const void* second) { (void)first, (void)second; }
void __stdcall grBufferSwap(int interval) {
  (void)interval;
  if (!swapLogged) {
    swapLogged = 1;
    record("grBufferSwap", "");
  }
  Sleep(16);
}
