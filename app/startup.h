// The process start-up shared by every target: the command-line tail, the
// call of WinMain and the process exit.
#pragma once

#include <windows.h>

// The saver's entry point.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

// The tail of a command line: what follows the program name and the blanks
// after it. A name that starts with a double quote runs to the next double
// quote (or the end); otherwise to the first blank. Blanks are space, tab,
// line feed, vertical tab, form feed and carriage return. Trailing blanks
// stay part of the tail. Returns a pointer into commandLine.
char* commandLineTail(char* commandLine);

// Builds the tail from a copy of GetCommandLineA, calls WinMain and passes
// its result to exit.
[[noreturn]] void startProcess();
