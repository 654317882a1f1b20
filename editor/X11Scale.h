// The scale the X11 editor draws at when neither the host nor the user chose one: what the desktop
// says about the screen's density.
//
// UI thread (the thread that owns the connection).
#pragma once

#include <X11/Xlib.h>

// GDK_SCALE when set (the whole-number factor GTK desktops and hosts use), else the Xft.dpi entry of the
// X resource database: 144 dpi and above gives 1.5, 192 and above 2; else 1.
double X11ScaleFromEnvironment(Display* display);

// The parts, for tests: the scale of a GDK_SCALE value (0 when it is not a positive number), the
// Xft.dpi value in a resource database text (0 when it has none), and the scale of a density.
double ScaleFromGdkScale(const char* value);
double XftDpiFromResources(const char* resources);
double ScaleForDpi(double dpi);
