// How the X11 binding's windows name themselves to window managers, task bars and tools such as
// xdotool or wmctrl: the title both as the legacy WM_NAME and as UTF-8 (_NET_WM_NAME), the class
// ("quenlix", "Quenlix") that rules and launchers match on, and the process behind the window
// (_NET_WM_PID with WM_CLIENT_MACHINE, which gives the pid its meaning).
//
// UI thread only (the thread that owns the connection).
#pragma once

#include <X11/Xlib.h>

inline constexpr const char* kX11ResourceName = "quenlix";
inline constexpr const char* kX11ResourceClass = "Quenlix";

// Sets all of the above on window; title is UTF-8 (null: "").
void X11SetWindowIdentity(Display* display, Window window, const char* title);
// Only the title, in both forms.
void X11SetWindowTitle(Display* display, Window window, const char* title);
