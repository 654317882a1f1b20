// Shared by the X11 editor tests: a Quenlix instance per window-system binding, the editor's window
// read back from the server, and the X server of the test suite.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../plugin/PluginHost.h"
#include "XvfbServer.h"
#include "editor/IGraphicsHeadless.h"
#include "editor/IGraphicsX11.h"
#include "editor/WindowSystem.h"
#include "raster/Bitmap.h"

// Xlib last: its macros (None, Bool) must not meet other headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

// A Quenlix whose editor is built with the given binding.
inline std::unique_ptr<TestQuenlix> MakeQuenlix(EWindowSystem system) {
    const EWindowSystem before = GetWindowSystem();
    SetWindowSystem(system);
    auto plug = std::make_unique<TestQuenlix>();
    SetWindowSystem(before);
    return plug;
}

// As a host sets a parameter: value, controls, reaction, under the plug-in mutex.
inline void SetParamFromHost(TestQuenlix& plug, int idx, double normalized) {
    WDL_MutexLock lock(plug.GetMutex());
    plug.GetParam(idx)->SetNormalized(normalized);
    plug.GetEditor()->SetParameterFromPlug(idx, normalized, true);
    plug.OnParamChange(idx);
}

// The window's pixels as raster pixels with alpha 255, row by row (w x h from the window).
inline std::vector<LICE_pixel> ReadWindow(Display* display, Window window, int* w, int* h) {
    XWindowAttributes wa;
    XGetWindowAttributes(display, window, &wa);
    *w = wa.width, *h = wa.height;
    std::vector<LICE_pixel> out;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(wa.width),
                              static_cast<unsigned>(wa.height), AllPlanes, ZPixmap);
    if (!image) return out;
    const auto channel = [](unsigned long p, unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) mask >>= 1, ++shift;
        return static_cast<int>((p >> shift) & 0xFF);
    };
    out.reserve(static_cast<size_t>(wa.width) * wa.height);
    for (int y = 0; y < wa.height; ++y)
        for (int x = 0; x < wa.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            out.push_back(LICE_RGBA(channel(p, image->red_mask), channel(p, image->green_mask),
                                    channel(p, image->blue_mask), 255));
        }
    XDestroyImage(image);
    return out;
}

// Number of pixels where the window differs from the headless screen; *first names the first.
inline int CountDifferences(const std::vector<LICE_pixel>& window, int w, int h, const LICE_IBitmap* screen,
                            std::string* first) {
    if (!screen || screen->getWidth() != w || screen->getHeight() != h) {
        *first = "sizes differ";
        return w * h;
    }
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const LICE_pixel a = window[static_cast<size_t>(y) * w + x];
            const LICE_pixel b = screen->getBits()[static_cast<size_t>(y) * screen->getRowSpan() + x] | 0xFFu;
            if (a != b && n++ == 0) *first = "at " + std::to_string(x) + "," + std::to_string(y);
        }
    return n;
}

// Number of pixels inside `area` where the window (w pixels wide) differs from the headless screen.
inline int CountDifferencesIn(const std::vector<LICE_pixel>& window, int w, const LICE_IBitmap* screen,
                              const IRECT& area) {
    int n = 0;
    for (int y = area.T; y < area.B; ++y)
        for (int x = area.L; x < area.R; ++x)
            if (window[static_cast<size_t>(y) * w + x] !=
                (screen->getBits()[static_cast<size_t>(y) * screen->getRowSpan() + x] | 0xFFu))
                ++n;
    return n;
}

// Polls pred every 5 ms for at most timeoutMs; true when it held.
inline bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
}

// The centre of a control of the layout in root coordinates of the editor's window.
struct Point {
    int x, y;
};
inline Point CentreOnScreen(Display* display, Window editor, const IRECT* r) {
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, editor, DefaultRootWindow(display), (r->L + r->R) / 2, (r->T + r->B) / 2,
                          &x, &y, &child);
    return {x, y};
}

// The mapped override-redirect window on the root (our menu), or 0.
inline Window FindMenuWindow(Display* display) {
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &n)) return 0;
    for (unsigned int i = 0; i < n; ++i) {
        XWindowAttributes wa;
        if (XGetWindowAttributes(display, children[i], &wa) && wa.override_redirect &&
            wa.map_state == IsViewable)
            found = children[i];
    }
    if (children) XFree(children);
    return found;
}

inline int CountChildren(Display* display, Window window) {
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &n)) return -1;
    if (children) XFree(children);
    return static_cast<int>(n);
}

// A press and release of `button` at p (root coordinates), through XTest on the given connection.
inline void Click(Display* d, Point p, unsigned int button) {
    XTestFakeMotionEvent(d, -1, p.x, p.y, 0);
    XTestFakeButtonEvent(d, button, True, 0);
    XTestFakeButtonEvent(d, button, False, 0);
    XFlush(d);
}
