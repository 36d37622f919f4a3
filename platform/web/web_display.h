// The web display of the Win32 subset: how the page's start-up asks for it.
#pragma once

namespace win32 {

// The page's canvas as a 640x480 screen, browser input as Windows messages,
// message boxes over the picture.
void useWebDisplay();

}  // namespace win32
