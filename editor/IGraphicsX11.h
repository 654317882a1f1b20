// The X11 window-system binding: the editor in a window of its own on an X server, as a child of a
// window the host hands over (LV2's parent window, an offset inside it) or as a top-level window titled
// with the effect name. The binding has its own display connection; its owner calls Tick() at FPS() (a
// host's idle callback, or a loop polling GetConnectionFd()), which handles the window's events and
// puts the dirty area of the off-screen raster on screen. Menus, the text field and message boxes are
// drawn by us with the raster library. A menu and a text field are windows served by that same event
// path: nothing waits for the user inside the owner's call, so the host keeps running while they are
// open.
//
// Everything here runs on the UI thread: the thread that opened the window and calls Tick, which must
// stay the same until CloseWindow. The plug-in side stores into controls as IGraphics allows.
#pragma once

#include <memory>
#include <string>

#include "editor/IGraphicsLinux.h"
#include "editor/X11Modal.h"

class X11PopupMenu;
class X11Surface;
class LICE_MemBitmap;
struct _XDisplay;
union _XEvent;

class IGraphicsX11 : public IGraphicsLinux, private IX11ModalOwner {
  public:
    IGraphicsX11(IPlugBase* plug, int w, int h, int fps = 0);
    ~IGraphicsX11() override;

    // The X display to open windows on ("" or never set: $DISPLAY), e.g. ":57".
    void SetDisplayName(const char* name) { mDisplayName = name ? name : ""; }
    // Whether the window may be served through shared memory when the server offers it (the default);
    // false sends every pixel over the connection, as to a server on another machine. Before OpenWindow.
    void SetAllowShm(bool allow) { mAllowShm = allow; }
    // The window's title (UTF-8); by default the effect name. Applied at once to an open window.
    void SetWindowTitle(const char* title);
    // Why the last OpenWindow gave null (one line), or "" after one that succeeded.
    const std::string& OpenError() const { return mOpenError; }

    // ---- IGraphics ----
    // Puts r of the off-screen raster into the window; false while no window is open.
    bool DrawScreen(IRECT* r) override;
    bool WindowIsOpen() override;
    // "X11 GUI (XShm)" or "X11 GUI (XPutImage)" while open; "X11 GUI" otherwise.
    const char* GetGUIAPI() override;
    // Waits for the answer (the editor keeps being redrawn meanwhile).
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    // Cannot wait: shows the menu as ShowPopupMenu does without anyone to tell, and returns null.
    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r) override;
    // Hands a URL or a path to xdg-open without waiting for it; true when it was started.
    bool OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg,
                 const char* errMsgOnFailure) override;
    // parentView is the X window id of the parent (cast to a pointer); null opens a top-level window.
    // Returns the window id as a pointer, or null when the display or the parent cannot be had.
    void* OpenWindow(void* parentView) override;
    // The same with the editor at (leftOffset, topOffset) inside `window`; control is not used.
    void* OpenWindow(void* window, void* control, short leftOffset = 0, short topOffset = 0) override;
    // Closes an open text field without applying it and an open menu as dismissed (the press that
    // opened it ends), then the window and the connection. Safe when the host destroyed the parent
    // window first.
    void CloseWindow() override;
    void* GetWindow() override;

    // ---- Timer ----
    bool Tick() override;

    // ---- For the owner of the window ----
    _XDisplay* GetDisplay() const { return mDisplay; }
    unsigned long GetXWindow() const { return mWindow; }
    // The connection's file descriptor, for a loop that waits for events; -1 while closed.
    int GetConnectionFd() const;
    // A top-level window's close box was pressed (the owner decides; the window stays open).
    bool CloseRequested() const { return mCloseRequested || mConnectionLost; }
    // The connection to the X server broke (the server ended, the link dropped): the window is gone with
    // it, Tick() does nothing more and CloseRequested() is true. Xlib's default would end the whole
    // process, the host with it.
    bool ConnectionLost() const { return mConnectionLost; }
    bool UsesShm() const;
    int ScreenUpdates() const { return mScreenUpdates; }
    // Pixel bytes sent to the editor's window over the connection since it opened (0 through shared
    // memory), and the image requests.
    long long BytesSent() const;
    long long ImageRequests() const;
    // X errors on this window's connection that the binding did not expect (none in a sound run).
    int UnexpectedXErrors() const;

  protected:
    void TextEntryOpened() override;
    void TextEntryClosed() override;
    void TextEntryChanged() override;
    // 5 pixels below r's bottom-left corner, at least as wide as r.
    bool OpenMenuWindow(IPopupMenu* menu, const IRECT& r) override;
    void CloseMenuWindow() override;

  private:
    void* Open(unsigned long parent, int left, int top);
    // Xlib's exit handler of this window's connection; `self` is the binding.
    static void OnConnectionLost(_XDisplay* display, void* self);
    void HandleEvent(_XEvent* event);
    void HandleButton(_XEvent* event, bool press);
    void HandleKeyPress(_XEvent* event);
    // Paints the part of the window outside the editor (a window made larger than the editor) in
    // the editor's background colour.
    void PaintOutside();
    // Closes what Open made so far after a failure; *why goes to OpenError and one line to stderr.
    void* FailOpen(const std::string& why);
    IMouseMod ModFromState(unsigned int state, unsigned int button) const;
    // Draws what is dirty and what was exposed, then flushes.
    void DrawPending();
    void PaintTextField();
    void HandleMenuEvent(_XEvent* event);
    // While a menu is open: what of the editor's own events still counts (its window kept on screen,
    // the release of the press that opened the menu); true when the event is done with.
    bool FilterWhileMenuOpen(_XEvent* event);
    // Ends the open menu (chosen: its item, -1 dismissed), then gives the editor the release of the
    // press that opened it.
    void FinishMenu(int chosen);
    void ModalButtonReleased(int rootX, int rootY, unsigned int state, unsigned int button);
    void DeliverModalRelease();

    // IX11ModalOwner
    void ModalIdle() override { DrawPending(); }
    bool ModalForeignEvent(_XEvent* event) override;
    int ModalFPS() const override { return FPS(); }
    IGraphics* ModalGraphics() override { return this; }

    // X types by their plain values: Window and Atom are XIDs, Time milliseconds.
    std::string mDisplayName;
    bool mAllowShm = true;
    _XDisplay* mDisplay = nullptr;
    unsigned long mParent = 0;
    unsigned long mWindow = 0;
    bool mTopLevel = false;
    bool mWindowDestroyed = false;  // by the host, with its parent
    unsigned long mDeleteAtom = 0;
    bool mCloseRequested = false;
    bool mConnectionLost = false;
    std::unique_ptr<X11Surface> mSurface;
    std::string mTitle;
    std::string mOpenError;
    // The window's size as the server last told it (ConfigureNotify); it may exceed the editor's.
    int mWindowW = 0, mWindowH = 0;
    bool mOutsidePending = false;  // the area outside the editor needs painting
    bool mHostScaled = false;      // a child whose hints are in the host's logical pixels
    IRECT mExposed;
    int mScreenUpdates = 0;
    int mUnexpectedErrors = 0;  // of connections already closed

    // Double click: two presses of the left button within 400 ms and 4 pixels.
    unsigned long mLastPressTime = 0;
    int mLastPressX = -100, mLastPressY = -100;
    bool mLastPressWasDouble = false;
    // A menu opened or a message box ran inside the handling of a press.
    bool mModalRan = false;
    // The button that opened a menu or a message box was released while it was open; the editor gets
    // the release once it closes.
    bool mModalRelease = false;
    int mModalReleaseX = 0, mModalReleaseY = 0;  // root coordinates
    unsigned int mModalReleaseState = 0, mModalReleaseButton = 0;

    std::unique_ptr<X11PopupMenu> mMenuWindow;

    unsigned long mFieldWindow = 0;
    std::unique_ptr<X11Surface> mFieldSurface;
    std::unique_ptr<LICE_MemBitmap> mFieldRaster;
};
