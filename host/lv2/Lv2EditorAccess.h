// How the bundle's X11 UI reaches the editor of the plug-in instance it belongs to. The editor lives
// with the plug-in (it is built in the plug-in's constructor and fed by its audio thread), so the UI
// module holds no editor of its own: it takes the instance through instance-access, asks the plug-in
// module for this interface through data-access, and opens, idles and closes the instance's editor
// through it. The UI module needs nothing of the plug-in's code but this header.
//
// Both modules come from the same build of one bundle; the version in the URI changes with the
// layout below, so a stale UI finds no interface rather than a different one.
//
// Every function runs on the host's UI thread.
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>

namespace lv2 {

constexpr const char* kEditorAccessUri = "urn:harbelwick:lv2:editor-access#2";

// The host side, from the UI's features: the UI write function and, when the host offers ui:touch,
// the gesture calls. The editor reports a setting it changed as the new value of its control port.
struct EditorHost {
    void* controller;
    void (*write)(void* controller, uint32_t port, float value);
    // Null when the host has no ui:touch.
    void (*touch)(void* controller, uint32_t port, bool grabbed);
};

struct EditorAccess {
    // Opens the instance's editor as a child of `parent` (an X window id), reporting to `host`, which
    // must stay valid until close. The editor's window id, or 0 when it cannot be opened (no display,
    // no such parent, already open).
    uintptr_t (*open)(LV2_Handle instance, uintptr_t parent, const EditorHost* host);
    // Handles the window's events and redraws at the editor's frame rate, however often it is called.
    // 0 while the window is there, 1 once it is gone.
    int (*idle)(LV2_Handle instance);
    // Closes the window; nothing more reaches the host afterwards. Safe when not open.
    void (*close)(LV2_Handle instance);
    // The editor's size in pixels on screen (at its scale).
    void (*size)(LV2_Handle instance, int* width, int* height);
    // The scale the next open draws at: the host's ui:scaleFactor (1, 1.5, 2; others are taken to the
    // nearest), or 0 to let the editor ask the desktop (GDK_SCALE, Xft.dpi). Before open.
    void (*scale)(LV2_Handle instance, double scale);
};

}  // namespace lv2
