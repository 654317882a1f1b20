#include "editor/IGraphicsX11.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "editor/DirtyAreas.h"
#include "editor/HeadlessTextField.h"
#include "editor/IPopupMenu.h"
#include "editor/KeyTable.h"
#include "framework/IPlugBase.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"
#include "raster/Font.h"

// Xlib last: its macros must not meet the project's headers.
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "editor/X11Identity.h"
#include "editor/X11PopupMenu.h"
#include "editor/X11Scale.h"
#include "editor/X11Surface.h"

extern char** environ;

namespace {

constexpr long kEditorEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                               KeyPressMask | StructureNotifyMask | FocusChangeMask;
constexpr Time kDoubleClickMs = 400;
constexpr int kDoubleClickPixels = 4;

// Platform key codes for the keys the editor's key table and text field look at; other keys carry
// code 0 and are told apart by their character.
constexpr int kVK_Return = 36;
constexpr int kVK_Escape = 53;
constexpr int kVK_Delete = 51;
constexpr int kVK_ForwardDelete = 117;
constexpr int kVK_KeypadEnter = 76;

// The key code and character of an X key, or false for keys the editor never looks at (function
// keys, modifiers, keys typed with control held).
bool TranslateKey(KeySym sym, unsigned int state, int* keyCode, int* character) {
    *keyCode = 0;
    switch (sym) {
        case XK_space:
            *keyCode = kVK_Space, *character = ' ';
            return true;
        case XK_Up:
        case XK_KP_Up:
            *keyCode = kVK_UpArrow, *character = kChar_UpArrow;
            return true;
        case XK_Down:
        case XK_KP_Down:
            *keyCode = kVK_DownArrow, *character = kChar_DownArrow;
            return true;
        case XK_Left:
        case XK_KP_Left:
            *keyCode = kVK_LeftArrow, *character = kChar_LeftArrow;
            return true;
        case XK_Right:
        case XK_KP_Right:
            *keyCode = kVK_RightArrow, *character = kChar_RightArrow;
            return true;
        case XK_Return:
            *keyCode = kVK_Return, *character = kChar_Return;
            return true;
        case XK_KP_Enter:
            *keyCode = kVK_KeypadEnter, *character = kChar_Enter;
            return true;
        case XK_Escape:
            *keyCode = kVK_Escape, *character = kChar_Escape;
            return true;
        case XK_BackSpace:
            *keyCode = kVK_Delete, *character = kChar_Backspace;
            return true;
        case XK_Delete:
        case XK_KP_Delete:
            *keyCode = kVK_ForwardDelete, *character = kChar_Delete;
            return true;
        default:
            break;
    }
    if (state & ControlMask) return false;
    if (sym >= XK_KP_0 && sym <= XK_KP_9) {
        *character = '0' + static_cast<int>(sym - XK_KP_0);
        return true;
    }
    if (sym == XK_KP_Decimal || sym == XK_KP_Subtract || sym == XK_KP_Add) {
        *character = sym == XK_KP_Decimal ? '.' : sym == XK_KP_Subtract ? '-' : '+';
        return true;
    }
    // Latin-1 keysyms are their code points; others in the Unicode range carry theirs plus 0x1000000.
    if (sym >= 0x20 && sym <= 0x7E) {
        *character = static_cast<int>(sym);
        return true;
    }
    if (sym >= 0xA0 && sym <= 0xFF) {
        *character = static_cast<int>(sym);
        return true;
    }
    if (sym >= 0x1000100 && sym <= 0x110FFFF) {
        *character = static_cast<int>(sym - 0x1000000);
        return true;
    }
    return false;
}

}  // namespace

IGraphicsX11::IGraphicsX11(IPlugBase* plug, int w, int h, int fps) : IGraphicsLinux(plug, w, h, fps) {}

IGraphicsX11::~IGraphicsX11() {
    // Whoever asked for an open menu's outcome may be going away with the editor: it is not told.
    DropMenu();
    CloseWindow();
}

bool IGraphicsX11::WindowIsOpen() {
    return mDisplay != nullptr && mWindow != 0;
}

const char* IGraphicsX11::GetGUIAPI() {
    if (!mSurface) return "X11 GUI";
    return UsesShm() ? "X11 GUI (XShm)" : "X11 GUI (XPutImage)";
}

int IGraphicsX11::UnexpectedXErrors() const {
    return mUnexpectedErrors + (mDisplay ? X11UnexpectedErrors(mDisplay) : 0);
}

long long IGraphicsX11::BytesSent() const {
    return mSurface ? mSurface->BytesSent() : 0;
}

long long IGraphicsX11::ImageRequests() const {
    return mSurface ? mSurface->Requests() : 0;
}

bool IGraphicsX11::UsesShm() const {
    return mSurface && mSurface->UsesShm();
}

int IGraphicsX11::GetConnectionFd() const {
    return mDisplay ? ConnectionNumber(mDisplay) : -1;
}

void* IGraphicsX11::OpenWindow(void* parentView) {
    return Open(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parentView)), 0, 0);
}

void* IGraphicsX11::OpenWindow(void* window, void*, short leftOffset, short topOffset) {
    return Open(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)), leftOffset, topOffset);
}

void IGraphicsX11::SetWindowTitle(const char* title) {
    mTitle = title ? title : "";
    if (WindowIsOpen() && !mWindowDestroyed && !mConnectionLost) {
        X11SetWindowTitle(mDisplay, mWindow, mTitle.c_str());
        XFlush(mDisplay);
    }
}

void* IGraphicsX11::FailOpen(const std::string& why) {
    mOpenError = why;
    std::fprintf(stderr, "Quenlix editor: %s\n", why.c_str());
    mSurface.reset();
    if (mWindow) XDestroyWindow(mDisplay, mWindow);
    mWindow = 0;
    X11UnregisterConnection(mDisplay);
    XCloseDisplay(mDisplay);
    mDisplay = nullptr;
    return nullptr;
}

void* IGraphicsX11::Open(unsigned long parent, int left, int top) {
    CloseWindow();
    mOpenError.clear();
    mDisplay = XOpenDisplay(mDisplayName.empty() ? nullptr : mDisplayName.c_str());
    if (!mDisplay) {
        mOpenError =
            "cannot open the X display " + (mDisplayName.empty() ? std::string("$DISPLAY") : mDisplayName);
        return nullptr;
    }
    mConnectionLost = false;
    XSetIOErrorExitHandler(mDisplay, &IGraphicsX11::OnConnectionLost, this);
    X11RegisterConnection(mDisplay);
    // The scale is settled before the window takes its size.
    SetScale(GetRequestedScale() > 0.0 ? GetRequestedScale() : X11ScaleFromEnvironment(mDisplay));
    const int screen = DefaultScreen(mDisplay);
    mTopLevel = parent == 0;
    mParent = mTopLevel ? RootWindow(mDisplay, screen) : static_cast<Window>(parent);

    XSetWindowAttributes attrs;
    attrs.event_mask = kEditorEvents;
    attrs.background_pixmap = None;  // the editor paints every pixel; no flash of a background colour
    XWindowAttributes created;
    {
        // A parent window id from the host that is not (or no longer) a window must not end the host.
        X11ErrorTrap trap(mDisplay);
        mWindow =
            XCreateWindow(mDisplay, mParent, mTopLevel ? 0 : left, mTopLevel ? 0 : top,
                          static_cast<unsigned>(ScreenWidth()), static_cast<unsigned>(ScreenHeight()), 0,
                          CopyFromParent, InputOutput, CopyFromParent, CWEventMask | CWBackPixmap, &attrs);
        const bool ok = XGetWindowAttributes(mDisplay, mWindow, &created) != 0;
        if (!trap.Finish() || !ok) {
            mWindow = 0;
            mOpenError = "the host's parent window is not a window";
            X11UnregisterConnection(mDisplay);
            XCloseDisplay(mDisplay);
            mDisplay = nullptr;
            return nullptr;
        }
    }
    // A display the editor cannot draw on is said once, rather than left as a blank window.
    const std::string unservable = X11Surface::Unservable(mDisplay, created.visual, created.depth);
    if (!unservable.empty()) return FailOpen(unservable);
    mWindowW = created.width, mWindowH = created.height;
    mOutsidePending = false;
    // The name and the fixed size also on a child: a host that embeds it reads its size from the hints.
    const char* title = !mTitle.empty()                           ? mTitle.c_str()
                        : GetPlug() && GetPlug()->GetEffectName() ? GetPlug()->GetEffectName()
                                                                  : "";
    X11SetWindowIdentity(mDisplay, mWindow, title);
    if (XSizeHints* hints = XAllocSizeHints()) {
        // A host that embeds the window and scales its own widgets (GTK under GDK_SCALE) reads the
        // hints in its logical pixels, each that many screen pixels wide: the size in those units
        // makes it reserve exactly the editor's screen size.
        const double hostScale =
            mTopLevel ? 1.0 : std::max(1.0, std::floor(ScaleFromGdkScale(std::getenv("GDK_SCALE"))));
        mHostScaled = hostScale > 1.0;
        const int w = static_cast<int>(ScreenWidth() / hostScale + 0.5);
        const int h = static_cast<int>(ScreenHeight() / hostScale + 0.5);
        hints->flags = PMinSize | PMaxSize | PBaseSize;
        hints->min_width = hints->max_width = hints->base_width = w;
        hints->min_height = hints->max_height = hints->base_height = h;
        XSetWMNormalHints(mDisplay, mWindow, hints);
        XFree(hints);
    }
    if (mTopLevel) {
        mDeleteAtom = XInternAtom(mDisplay, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(mDisplay, mWindow, &mDeleteAtom, 1);
    }
    mSurface = std::make_unique<X11Surface>(mDisplay, mWindow, created.visual, created.depth, ScreenWidth(),
                                            ScreenHeight(), mAllowShm);
    if (!mSurface->Valid()) return FailOpen("no image of the editor's size can be had from the X display");
    XMapWindow(mDisplay, mWindow);
    XFlush(mDisplay);
    mCloseRequested = false;
    mWindowDestroyed = false;
    mExposed = IRECT();
    return reinterpret_cast<void*>(static_cast<uintptr_t>(mWindow));
}

void IGraphicsX11::OnConnectionLost(Display*, void* self) {
    // Called inside the Xlib call that found the connection broken; once it returns, Xlib answers every
    // further call on the connection without reaching the server, so closing it later is safe.
    static_cast<IGraphicsX11*>(self)->mConnectionLost = true;
}

void IGraphicsX11::CloseWindow() {
    EndTextEntry(false);
    if (MenuOpen()) FinishMenu(-1);
    if (!mDisplay) return;
    mSurface.reset();
    if (mWindow && !mWindowDestroyed && !mConnectionLost) {
        X11ErrorTrap trap(mDisplay);
        XDestroyWindow(mDisplay, mWindow);
        trap.Finish();
    }
    mUnexpectedErrors += X11UnexpectedErrors(mDisplay);
    X11UnregisterConnection(mDisplay);
    XCloseDisplay(mDisplay);
    mDisplay = nullptr;
    mWindow = 0;
    mParent = 0;
}

void* IGraphicsX11::GetWindow() {
    return WindowIsOpen() ? reinterpret_cast<void*>(static_cast<uintptr_t>(mWindow)) : nullptr;
}

bool IGraphicsX11::DrawScreen(IRECT* r) {
    if (!WindowIsOpen() || !mSurface || !mSurface->Valid()) return false;
    const LICE_IBitmap* raster = GetDrawBitmap();
    if (!raster) return false;
    // r is in screen pixels (the editor's area at its scale).
    int L = 0, T = 0, R = ScreenWidth(), B = ScreenHeight();
    if (r && !r->Empty()) {
        L = std::max(r->L, 0), T = std::max(r->T, 0);
        R = std::min(r->R, ScreenWidth()), B = std::min(r->B, ScreenHeight());
    }
    // Only what changed goes over the connection (an Expose makes the surface forget what it sent).
    if (R > L && B > T) mSurface->PutChanges(raster, L, T, L, T, R - L, B - T);
    ++mScreenUpdates;
    return true;
}

bool IGraphicsX11::Tick() {
    if (!WindowIsOpen() || mConnectionLost) return false;
    while (mDisplay && XPending(mDisplay)) {
        XEvent event;
        XNextEvent(mDisplay, &event);
        HandleEvent(&event);
    }
    if (!WindowIsOpen() || mWindowDestroyed || mConnectionLost) return false;
    const int before = mScreenUpdates;
    DrawPending();
    return mScreenUpdates != before;
}

void IGraphicsX11::DrawPending() {
    if (!WindowIsOpen() || mWindowDestroyed || mConnectionLost) return;
    DirtyAreas areas;
    const bool dirty = CollectDirtyAreas(&areas);
    if (mOutsidePending) PaintOutside();
    if (!mExposed.Empty()) {
        // The exposed area is drawn afresh: the raster outside the areas drawn last is not what the
        // screen showed.
        if (mSurface) {
            const IRECT screen = ToScreenArea(mExposed);
            mSurface->Forget(screen.L, screen.T, screen.W(), screen.H());
        }
        areas.Add(mExposed);
        mExposed = IRECT();
    } else if (!dirty) {
        return;
    }
    DrawAreas(areas);
    if (mFieldWindow) PaintTextField();
    XFlush(mDisplay);
}

void IGraphicsX11::PaintOutside() {
    mOutsidePending = false;
    if (!mSurface || !mSurface->Valid()) return;
    const int w = ScreenWidth(), h = ScreenHeight();
    if (mWindowW <= w && mWindowH <= h) return;
    const IColor& c = GetBackgroundColor();
    XGCValues values;
    values.foreground = mSurface->ToVisualPixel(LICE_RGBA(c.R, c.G, c.B, 255));
    GC gc = XCreateGC(mDisplay, mWindow, GCForeground, &values);
    if (mWindowW > w)
        XFillRectangle(mDisplay, mWindow, gc, w, 0, static_cast<unsigned>(mWindowW - w),
                       static_cast<unsigned>(mWindowH));
    if (mWindowH > h)
        XFillRectangle(mDisplay, mWindow, gc, 0, h, static_cast<unsigned>(std::min(w, mWindowW)),
                       static_cast<unsigned>(mWindowH - h));
    XFreeGC(mDisplay, gc);
}

IMouseMod IGraphicsX11::ModFromState(unsigned int state, unsigned int button) const {
    const bool left = button == Button1 || (button == 0 && (state & Button1Mask));
    const bool right = button == Button3 || (button == 0 && (state & Button3Mask));
    return IMouseMod(left, right, (state & ShiftMask) != 0, (state & ControlMask) != 0,
                     (state & Mod1Mask) != 0);
}

void IGraphicsX11::HandleEvent(XEvent* event) {
    if (mMenuWindow && event->xany.window == mMenuWindow->GetWindow()) {
        HandleMenuEvent(event);
        return;
    }
    if (MenuOpen() && FilterWhileMenuOpen(event)) return;
    if (event->xany.window == mFieldWindow && mFieldWindow) {
        if (event->type == Expose && event->xexpose.count == 0) PaintTextField();
        return;  // presses on the field belong to the field
    }
    if (event->xany.window != mWindow) return;
    switch (event->type) {
        case Expose: {
            const XExposeEvent& e = event->xexpose;
            if (e.x + e.width > ScreenWidth() || e.y + e.height > ScreenHeight()) mOutsidePending = true;
            const IRECT screen(e.x, e.y, std::min(e.x + e.width, ScreenWidth()),
                               std::min(e.y + e.height, ScreenHeight()));
            if (screen.W() > 0 && screen.H() > 0) {
                const IRECT area = FromScreenArea(screen);
                mExposed = mExposed.Union(&area);
            }
            break;
        }
        case ConfigureNotify: {
            // A window manager, a tiling layout or the host may give the window another size: the editor
            // stays at the top-left, the rest gets the background.
            const XConfigureEvent& e = event->xconfigure;
            if (e.window != mWindow) break;
            if (!mTopLevel && mHostScaled && (e.width < ScreenWidth() || e.height < ScreenHeight())) {
                // A host scaling its widgets sized the window from the hints in its logical pixels:
                // the editor keeps its screen size, which is the area that host reserves for it.
                XResizeWindow(mDisplay, mWindow, static_cast<unsigned>(ScreenWidth()),
                              static_cast<unsigned>(ScreenHeight()));
                break;
            }
            if (e.width != mWindowW || e.height != mWindowH) {
                mWindowW = e.width, mWindowH = e.height;
                if (mWindowW > ScreenWidth() || mWindowH > ScreenHeight()) mOutsidePending = true;
            }
            break;
        }
        case ButtonPress:
        case ButtonRelease:
            HandleButton(event, event->type == ButtonPress);
            break;
        case MotionNotify: {
            // Only the latest position of a burst of motion matters.
            while (XCheckTypedWindowEvent(mDisplay, mWindow, MotionNotify, event)) {
            }
            const XMotionEvent& e = event->xmotion;
            const IMouseMod mod = ModFromState(e.state, 0);
            if (e.state & (Button1Mask | Button3Mask)) {
                HandleMouseDragged(FromScreen(e.x), FromScreen(e.y), mod);
            } else {
                HandleMouseMoved(FromScreen(e.x), FromScreen(e.y), mod);
            }
            break;
        }
        case KeyPress:
            HandleKeyPress(event);
            break;
        case FocusOut:
            // The window losing the keyboard to another window discards the field. Grabs (our own menus),
            // focus moving into our own field and the pointer-root bookkeeping of taking the focus do not.
            if (event->xfocus.mode == NotifyNormal && event->xfocus.detail != NotifyInferior &&
                event->xfocus.detail != NotifyPointer)
                EndTextEntry(false);
            break;
        case ClientMessage:
            if (mTopLevel && static_cast<Atom>(event->xclient.data.l[0]) == mDeleteAtom)
                mCloseRequested = true;
            break;
        case DestroyNotify:
            if (event->xdestroywindow.window != mWindow) break;
            mWindowDestroyed = true;
            // An open menu closes as if dismissed.
            if (MenuOpen()) FinishMenu(-1);
            break;
        default:
            break;
    }
}

void IGraphicsX11::HandleButton(XEvent* event, bool press) {
    const XButtonEvent& e = event->xbutton;
    if (e.button == Button4 || e.button == Button5) {
        if (press)
            HandleMouseWheel(FromScreen(e.x), FromScreen(e.y), ModFromState(e.state, 0),
                             e.button == Button4 ? 1 : -1);
        return;
    }
    if (e.button != Button1 && e.button != Button3) return;
    const IMouseMod mod = ModFromState(e.state, e.button);
    if (!press) {
        HandleMouseUp(FromScreen(e.x), FromScreen(e.y), mod);
        return;
    }
    int clicks = 1;
    if (e.button == Button1 && !mLastPressWasDouble && e.time - mLastPressTime <= kDoubleClickMs &&
        std::abs(e.x - mLastPressX) <= kDoubleClickPixels &&
        std::abs(e.y - mLastPressY) <= kDoubleClickPixels)
        clicks = 2;
    mLastPressWasDouble = clicks == 2;
    mLastPressTime = e.button == Button1 ? e.time : 0;
    mLastPressX = e.x, mLastPressY = e.y;

    mModalRelease = false;
    mModalRan = false;
    HandleMouseDown(FromScreen(e.x), FromScreen(e.y), mod, clicks);
    // The clicks in a menu or box this press opened were not the editor's: the next press on the same
    // spot is a click of its own, however soon it comes.
    if (mModalRan) mLastPressTime = 0;
    // A message box shown by this press took its release: the editor still gets it, where it happened.
    // (A menu is still open here; the release comes when it closes.)
    if (!MenuOpen()) DeliverModalRelease();
}

void IGraphicsX11::DeliverModalRelease() {
    if (!mModalRelease || !WindowIsOpen()) return;
    mModalRelease = false;
    int x = mLastPressX, y = mLastPressY;
    Window child;
    if (!mWindowDestroyed)
        XTranslateCoordinates(mDisplay, DefaultRootWindow(mDisplay), mWindow, mModalReleaseX, mModalReleaseY,
                              &x, &y, &child);
    HandleMouseUp(FromScreen(x), FromScreen(y), ModFromState(mModalReleaseState, mModalReleaseButton));
}

void IGraphicsX11::HandleKeyPress(XEvent* event) {
    XKeyEvent* e = &event->xkey;
    char text[8];
    KeySym sym = NoSymbol;
    XLookupString(e, text, sizeof text, &sym, nullptr);
    int keyCode = 0, character = 0;
    bool taken = TranslateKey(sym, e->state, &keyCode, &character) && HandleKey(keyCode, character);
    if (!taken && !mTopLevel && mParent) {
        // Keys the editor does not take go on to the host's window.
        XKeyEvent forward = *e;
        forward.window = mParent;
        forward.subwindow = None;
        X11ErrorTrap trap(mDisplay);
        XSendEvent(mDisplay, mParent, True, KeyPressMask, reinterpret_cast<XEvent*>(&forward));
        trap.Finish();
    }
}

// ---- Menus and message boxes ----

IPopupMenu* IGraphicsX11::CreateIPopupMenu(IPopupMenu* menu, IRECT* r) {
    ShowPopupMenu(menu, r, nullptr);
    return nullptr;
}

bool IGraphicsX11::OpenMenuWindow(IPopupMenu* menu, const IRECT& r) {
    if (mWindowDestroyed) return false;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(mDisplay, mWindow, DefaultRootWindow(mDisplay), ToScreen(r.L), ToScreen(r.B + 5),
                          &x, &y, &child);
    auto window = std::make_unique<X11PopupMenu>(mDisplay, this, menu);
    if (!window->Open(x, y, ToScreen(r.R) - ToScreen(r.L))) return false;
    mMenuWindow = std::move(window);
    mModalRan = true;
    mModalRelease = false;
    return true;
}

void IGraphicsX11::CloseMenuWindow() {
    if (!mMenuWindow) return;
    mMenuWindow.reset();  // gives back the pointer and the keyboard
    if (mDisplay) XFlush(mDisplay);
}

void IGraphicsX11::HandleMenuEvent(XEvent* event) {
    const X11PopupMenu::EOutcome outcome = mMenuWindow->HandleEvent(event);
    int x = 0, y = 0;
    unsigned int state = 0, button = 0;
    if (mMenuWindow->TakeOpeningRelease(&x, &y, &state, &button)) ModalButtonReleased(x, y, state, button);
    if (outcome == X11PopupMenu::kChosen) FinishMenu(mMenuWindow->Chosen());
    if (outcome == X11PopupMenu::kDismissed) FinishMenu(-1);
}

bool IGraphicsX11::FilterWhileMenuOpen(XEvent* event) {
    if (event->xany.window != mWindow && event->xany.window != mFieldWindow) return false;
    // The release of the press that opened the menu may reach the editor's window before the menu takes
    // the pointer: the editor gets it once the menu has closed, as when the menu receives it.
    if (event->xany.window == mWindow && event->type == ButtonRelease &&
        (event->xbutton.button == Button1 || event->xbutton.button == Button3) && !mModalRelease) {
        ModalButtonReleased(event->xbutton.x_root, event->xbutton.y_root, event->xbutton.state,
                            event->xbutton.button);
        return true;
    }
    // The editor's window is kept on screen and may go away; its input belongs to the menu meanwhile.
    return !(event->type == Expose || event->type == DestroyNotify || event->type == ClientMessage);
}

void IGraphicsX11::FinishMenu(int chosen) {
    EndMenu(chosen);
    DeliverModalRelease();
}

int IGraphicsX11::ShowMessageBox(const char* text, const char* caption, int type) {
    if (!WindowIsOpen()) return 0;
    mModalRan = true;
    return RunX11MessageBox(mDisplay, this, mWindow, text, caption, type);
}

bool IGraphicsX11::ModalForeignEvent(XEvent* event) {
    // Input for the editor waits until the message box closes; the screen keeps being kept. The
    // release of the press that opened it reaches the editor's window: the editor gets it after the
    // box, so its press ends.
    if (event->xany.window == mWindow && event->type == ButtonRelease &&
        (event->xbutton.button == Button1 || event->xbutton.button == Button3) && !mModalRelease)
        ModalButtonReleased(event->xbutton.x_root, event->xbutton.y_root, event->xbutton.state,
                            event->xbutton.button);
    if (event->xany.window == mWindow || event->xany.window == mFieldWindow) {
        if (event->type == Expose || event->type == DestroyNotify || event->type == ClientMessage)
            HandleEvent(event);
    }
    return !mWindowDestroyed;
}

void IGraphicsX11::ModalButtonReleased(int rootX, int rootY, unsigned int state, unsigned int button) {
    mModalRelease = true;
    mModalReleaseX = rootX, mModalReleaseY = rootY;
    mModalReleaseState = state, mModalReleaseButton = button;
}

bool IGraphicsX11::OpenURL(const char* url, const char*, const char*, const char*) {
    if (!url || !url[0]) return false;
    pid_t pid = 0;
    char program[] = "xdg-open";
    std::string target = url;
    char* argv[] = {program, &target[0], nullptr};
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
    // Reaped in the background so no zombie stays behind; the UI thread does not wait.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

// ---- The text field ----

void IGraphicsX11::TextEntryOpened() {
    const HeadlessTextField* field = GetTextField();
    const IRECT r = ToScreen(field->GetRect());
    if (r.W() <= 0 || r.H() <= 0) return;
    XSetWindowAttributes attrs;
    attrs.event_mask = ExposureMask | ButtonPressMask;
    attrs.background_pixmap = None;
    mFieldWindow =
        XCreateWindow(mDisplay, mWindow, r.L, r.T, static_cast<unsigned>(r.W()), static_cast<unsigned>(r.H()),
                      0, CopyFromParent, InputOutput, CopyFromParent, CWEventMask | CWBackPixmap, &attrs);
    XWindowAttributes wa;
    XGetWindowAttributes(mDisplay, mFieldWindow, &wa);
    mFieldSurface =
        std::make_unique<X11Surface>(mDisplay, mFieldWindow, wa.visual, wa.depth, r.W(), r.H(), false);
    mFieldRaster = std::make_unique<LICE_MemBitmap>(r.W(), r.H());
    XMapRaised(mDisplay, mFieldWindow);
    // Typing needs the keyboard.
    X11ErrorTrap trap(mDisplay);
    XSetInputFocus(mDisplay, mWindow, RevertToParent, CurrentTime);
    trap.Finish();
    PaintTextField();
}

void IGraphicsX11::TextEntryClosed() {
    if (!mFieldWindow) return;
    mFieldSurface.reset();
    mFieldRaster.reset();
    XDestroyWindow(mDisplay, mFieldWindow);  // the editor gets an expose event for the area below
    mFieldWindow = 0;
    XFlush(mDisplay);
}

void IGraphicsX11::TextEntryChanged() {
    PaintTextField();
}

void IGraphicsX11::PaintTextField() {
    const HeadlessTextField* field = GetTextField();
    if (!field || !mFieldWindow || !mFieldRaster) return;
    IText style = field->GetStyle();
    const IColor& bg = style.mTextEntryBGColor;
    const IColor& fg = style.mTextEntryFGColor;
    const LICE_pixel background = LICE_RGBA(bg.R, bg.G, bg.B, 255);
    const LICE_pixel ink = LICE_RGBA(fg.R, fg.G, fg.B, 255);
    LICE_MemBitmap& raster = *mFieldRaster;
    const int w = raster.getWidth(), h = raster.getHeight();
    LICE_Clear(&raster, background);
    style.mSize = std::max(1, ToScreen(style.mSize));
    style.mCached = nullptr;
    LICE_IFont* font = CacheFont(&style);
    if (font) {
        const std::string& text = field->GetText();
        const auto width = [font](const std::string& s) {
            if (s.empty()) return 0;
            LICE_Rect m;
            font->DrawText(nullptr, s.c_str(), -1, &m, LICE_DT_CALCRECT);
            return m.right - m.left;
        };
        const int total = width(text);
        int x = 2;
        if (style.mAlign == IText::kAlignCenter) x = (w - total) / 2;
        if (style.mAlign == IText::kAlignFar) x = w - 2 - total;
        const size_t lo = field->GetSelectionStart(), hi = field->GetSelectionEnd();
        const int selL = x + width(text.substr(0, lo)), selR = x + width(text.substr(0, hi));
        if (lo != hi) {
            LICE_FillRect(&raster, selL, 1, selR - selL, h - 2, LICE_RGBA(153, 187, 238, 255), 1.0f,
                          LICE_BLIT_MODE_COPY);
        }
        LICE_Rect box{x, 0, w, h};
        font->DrawText(&raster, text.c_str(), -1, &box, LICE_DT_LEFT | LICE_DT_VCENTER | LICE_DT_NOCLIP, ink);
        const int caretX = x + width(text.substr(0, field->GetCaret()));
        if (lo == hi) LICE_FillRect(&raster, caretX, 2, 1, h - 4, ink, 1.0f, LICE_BLIT_MODE_COPY);
    }
    mFieldSurface->Put(&raster, 0, 0, 0, 0, w, h);
    XFlush(mDisplay);
}
