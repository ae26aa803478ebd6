#pragma once
// Component names on real windows. Every window the program creates carries
// its component name (for example "StartBtn") in a window property, so that
// test drivers and accessibility tools can find it, from this process or from
// another one.
#include <windows.h>

#include <string>

// The window property that holds the name. Its value is a global atom, which
// any process on the desktop can turn back into the name.
inline constexpr char ComponentNameProperty[] = "SetupName";

// Gives the window its name (at most 255 characters); a second call replaces
// the first. The atom is released when the window is destroyed. False when the
// name is empty or too long, or the property cannot be set.
bool SetComponentName(HWND window, const std::string& name);

// The window's component name; empty when it has none.
std::string ComponentName(HWND window);

// The first window below parent (children, grandchildren, ...) with the name,
// compared without regard to letter case like atoms are; null when none.
HWND FindComponent(HWND parent, const std::string& name);

// The first top-level window of the thread with the name; null when none.
HWND FindThreadComponent(DWORD threadId, const std::string& name);
