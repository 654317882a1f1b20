#pragma once

#include <cstdint>

#include "host/lv2/Lv2EditorAccess.h"

class IPlugBase;
class IGraphicsLinux;

namespace lv2 {

// When an editor driven by a host's idle calls draws: frames at the editor's rate, however often the
// host calls. A call within a quarter period of the next frame counts as on time, so a host calling at
// exactly the frame rate with a little jitter does not lose every other frame; a schedule that fell
// more than a period behind starts afresh instead of drawing a burst. Times in milliseconds on a
// steady clock. Pure; no thread restrictions.
class FrameSchedule {
  public:
    explicit FrameSchedule(int fps = 25);
    // True when a frame is due at `nowMs`; the call then counts as that frame.
    bool Due(double nowMs);

  private:
    double mPeriod;
    double mNext = 0.0;
    bool mStarted = false;
};

// The plug-in's editor in a host's X11 UI: opens the editor's window as a child of the host's, ticks it
// from the host's idle calls, and hands the settings changed in it to the host as control-port values
// (with gestures when the host has ui:touch). The editor itself belongs to the plug-in.
//
// UI thread only, all of it: the host's UI calls open, idle and close there, and the editor reports
// the settings it changes there too (its events are handled inside Idle).
class EditorSession {
  public:
    explicit EditorSession(IPlugBase* plug) : mPlug(plug) {}
    ~EditorSession() { Close(); }
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    // The window id, or 0 (no X11 editor, no display, parent 0 or not a window, already open).
    uintptr_t Open(uintptr_t parent, const EditorHost& host);
    // False once no window is open.
    bool Idle();
    void Close();
    bool IsOpen() const { return mOpen; }

    // A setting's control port changed in the editor: its new value, and the start and end of a press
    // on its control. Nothing while closed. The host sees every gesture ended exactly once: a press
    // whose release the editor gives to another control (a menu took the pointer) is ended when the
    // button is up, and an end of no gesture is not passed on.
    void Write(int port, float value) const;
    void Touch(int port, bool grabbed);

  private:
    IGraphicsLinux* Graphics() const;
    void Release();

    IPlugBase* mPlug;
    EditorHost mHost = {};
    bool mOpen = false;
    int mGrabbed = -1;  // the port of the gesture in progress
    FrameSchedule mSchedule;
};

}  // namespace lv2
