#pragma once

// How the desktop names the program: its title and the name by which the desktop matches
// its windows to the program's desktop entry (X11 window class, Wayland app id).

#include <string>

namespace vexel {

// The executable's file name ("morvelle"), or "vexel" without one.
std::string AppInstanceName();

// The program's title in UTF-8.
std::string AppTitleUtf8();

}  // namespace vexel
