// The modal windows of the X11 binding, drawn with the raster library: the popup menu and the message
// box. Each runs its own event loop on the editor's display connection until the user is done, while
// the editor keeps being redrawn at its frame rate and keeps receiving its expose events.
//
// UI thread only (the thread that owns the connection), inside an event handler of the editor.
#pragma once

// Xlib stays out of this header (its macros clash with ordinary names such as Bool).
struct _XDisplay;
union _XEvent;
class IGraphics;
class IPopupMenu;

// What a modal loop needs of the editor that opened it.
class IX11ModalOwner {
  public:
    virtual ~IX11ModalOwner() = default;
    // Called about FPS times a second: draw what became dirty.
    virtual void ModalIdle() = 0;
    // An event for another window of the connection (the editor's expose events). False when the
    // editor's window went away: the modal window then closes as if dismissed.
    virtual bool ModalForeignEvent(_XEvent* event) = 0;
    // The button that opened the modal window was released at this root position during the loop
    // (state: the X modifier and button state, button: the X button number).
    virtual void ModalButtonReleased(int rootX, int rootY, unsigned int state, unsigned int button) = 0;
    virtual int ModalFPS() const = 0;
    // For fonts (the editor's font cache).
    virtual IGraphics* ModalGraphics() = 0;
};

// Shows `menu` with its top-left at (rootX, rootY) (moved to stay on the screen), at least minWidth
// wide, and waits. Up/Down move the highlight, Return chooses, Escape or a click outside dismisses; a
// click on an item (or releasing the opening press over one) chooses it. Items with a submenu are shown
// but cannot be chosen. Returns the chosen item's index, or -1.
int RunX11PopupMenu(_XDisplay* display, IX11ModalOwner* owner, IPopupMenu* menu, int rootX, int rootY,
                    int minWidth);

// A small top-level window with caption as title, the text and the buttons of type (IGraphics message
// box types), centred over `over` (or the screen). Return chooses the default button, Escape Cancel (or
// No, or the only button). Returns the IGraphics result of the button.
int RunX11MessageBox(_XDisplay* display, IX11ModalOwner* owner, unsigned long over, const char* text,
                     const char* caption, int type);
