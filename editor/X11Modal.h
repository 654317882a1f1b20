// The message box of the X11 binding, drawn with the raster library. It runs its own event loop on
// the editor's display connection until the user answers, while the editor keeps being redrawn at its
// frame rate and keeps receiving its expose events. (Menus are event-driven: X11PopupMenu.)
//
// UI thread only (the thread that owns the connection), inside an event handler of the editor.
#pragma once

// Xlib stays out of this header (its macros clash with ordinary names such as Bool).
struct _XDisplay;
union _XEvent;
class IGraphics;

// What the message box's loop needs of the editor that opened it.
class IX11ModalOwner {
  public:
    virtual ~IX11ModalOwner() = default;
    // Called about FPS times a second: draw what became dirty.
    virtual void ModalIdle() = 0;
    // An event for another window of the connection (the editor's expose events). False when the
    // editor's window went away: the box then closes as if cancelled.
    virtual bool ModalForeignEvent(_XEvent* event) = 0;
    virtual int ModalFPS() const = 0;
    // For fonts (the editor's font cache).
    virtual IGraphics* ModalGraphics() = 0;
};

// A small top-level window with caption as title, the text and the buttons of type (IGraphics message
// box types), centred over `over` (or the screen). Return chooses the default button, Escape Cancel (or
// No, or the only button). Returns the IGraphics result of the button.
int RunX11MessageBox(_XDisplay* display, IX11ModalOwner* owner, unsigned long over, const char* text,
                     const char* caption, int type);
