// The web display of the Win32 subset: how the page's start-up asks for it.
#pragma once

namespace win32 {

// The page's canvas as the screen (640x480, or the picture's rectangle in
// device pixels when the page asks for native resolution), browser input as
// Windows messages, message boxes over the picture.
void useWebDisplay();

}  // namespace win32
