#include "editor/X11Modal.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"
#include "raster/Font.h"

// Xlib last: its macros must not meet the project's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "editor/X11Surface.h"

namespace {

constexpr LICE_pixel kFace = LICE_RGBA(238, 238, 238, 255);
constexpr LICE_pixel kBorder = LICE_RGBA(128, 128, 128, 255);
constexpr LICE_pixel kInk = LICE_RGBA(0, 0, 0, 255);
constexpr LICE_pixel kGreyInk = LICE_RGBA(150, 150, 150, 255);
constexpr LICE_pixel kHighlight = LICE_RGBA(51, 102, 204, 255);
constexpr LICE_pixel kHighlightInk = LICE_RGBA(255, 255, 255, 255);

using Clock = std::chrono::steady_clock;

// A window of ours drawn from a raster, with the loop that waits for its events.
class ModalWindow {
  public:
    ModalWindow(Display* display, IX11ModalOwner* owner) : mDisplay(display), mOwner(owner) {
        mStyle = IText(12, &COLOR_BLACK, "Monaco", IText::kStyleNormal, IText::kAlignNear);
        mFont = owner->ModalGraphics()->CacheFont(&mStyle);
        mLineHeight = mFont ? mFont->GetLineHeight() : 12;
    }
    ~ModalWindow() {
        mSurface.reset();
        if (mWindow) XDestroyWindow(mDisplay, mWindow);
        XFlush(mDisplay);
    }

    int TextWidth(const char* s) const {
        if (!mFont || !s || !s[0]) return 0;
        LICE_Rect r;
        mFont->DrawText(nullptr, s, -1, &r, LICE_DT_CALCRECT);
        return r.right - r.left;
    }
    void Text(const char* s, int x, int y, int w, int h, LICE_pixel color, unsigned int align) {
        if (!mFont) return;
        LICE_Rect r{x, y, x + w, y + h};
        mFont->DrawText(&mRaster, s, -1, &r, align | LICE_DT_VCENTER, color);
    }

    bool Create(int x, int y, int w, int h, bool overrideRedirect, long events) {
        const int screen = DefaultScreen(mDisplay);
        const int sw = DisplayWidth(mDisplay, screen), sh = DisplayHeight(mDisplay, screen);
        x = std::max(0, std::min(x, sw - w));
        y = std::max(0, std::min(y, sh - h));
        XSetWindowAttributes attrs;
        attrs.override_redirect = overrideRedirect ? True : False;
        attrs.event_mask = events | ExposureMask;
        attrs.background_pixmap = None;
        mWindow = XCreateWindow(mDisplay, RootWindow(mDisplay, screen), x, y, static_cast<unsigned>(w),
                                static_cast<unsigned>(h), 0, CopyFromParent, InputOutput, CopyFromParent,
                                CWOverrideRedirect | CWEventMask | CWBackPixmap, &attrs);
        if (!mWindow) return false;
        mX = x, mY = y;
        mRaster.resize(w, h);
        mSurface = std::make_unique<X11Surface>(mDisplay, mWindow, DefaultVisual(mDisplay, screen),
                                                DefaultDepth(mDisplay, screen), w, h, false);
        return mSurface->Valid();
    }

    void Show() {
        mSurface->Put(&mRaster, 0, 0, 0, 0, mRaster.getWidth(), mRaster.getHeight());
        XFlush(mDisplay);
    }

    // Waits for the next event of this connection, running the owner's idle at its frame rate.
    // Events for other windows go to the owner; false when the owner's window went away.
    bool NextEvent(XEvent* event) {
        const auto period = std::chrono::microseconds(1000000 / std::max(1, mOwner->ModalFPS()));
        for (;;) {
            while (XPending(mDisplay)) {
                XNextEvent(mDisplay, event);
                if (event->xany.window == mWindow) return true;
                if (!mOwner->ModalForeignEvent(event)) return false;
            }
            const auto now = Clock::now();
            if (now >= mNextIdle) {
                mOwner->ModalIdle();
                mNextIdle = now + period;
                continue;
            }
            const int waitMs = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(mNextIdle - now).count() + 1);
            pollfd fd{ConnectionNumber(mDisplay), POLLIN, 0};
            // A connection whose server went away has nothing more to wait for.
            if (poll(&fd, 1, waitMs) > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
        }
    }

    Display* mDisplay;
    IX11ModalOwner* mOwner;
    Window mWindow = 0;
    int mX = 0, mY = 0;
    IText mStyle;
    LICE_IFont* mFont = nullptr;
    int mLineHeight = 12;
    LICE_MemBitmap mRaster;
    std::unique_ptr<X11Surface> mSurface;
    Clock::time_point mNextIdle = Clock::now();
};

// ---- Popup menu ----

constexpr int kPad = 6;
constexpr int kCheckColumn = 16;
constexpr int kSeparatorHeight = 7;

class MenuWindow : public ModalWindow {
  public:
    MenuWindow(Display* display, IX11ModalOwner* owner, IPopupMenu* menu)
        : ModalWindow(display, owner), mMenu(menu) {}

    bool Open(int rootX, int rootY, int minWidth) {
        const int n = mMenu->GetNItems();
        mItemHeight = mLineHeight + 6;
        int width = minWidth, y = 1;
        for (int i = 0; i < n; ++i) {
            const IPopupMenuItem* item = mMenu->GetItem(i);
            mTops.push_back(y);
            y += item->GetIsSeparator() ? kSeparatorHeight : mItemHeight;
            const std::string title = mMenu->GetItemTitle(i) + (item->GetSubmenu() ? "  >" : "");
            width = std::max(width, TextWidth(title.c_str()) + kCheckColumn + 3 * kPad);
        }
        mTops.push_back(y);
        if (!Create(rootX, rootY, width, y + 1, true,
                    ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask))
            return false;
        for (int i = 0; i < n; ++i)
            if (mMenu->GetItem(i)->GetChecked() && Choosable(i)) mHighlight = i;
        XMapRaised(mDisplay, mWindow);
        // The menu takes the pointer and the keyboard until it closes, so a click anywhere else reaches
        // it (and dismisses it). Another client's grab leaves the menu usable by its own clicks only.
        for (int attempt = 0; attempt < 50; ++attempt) {
            const int p = XGrabPointer(mDisplay, mWindow, False,
                                       ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                                       GrabModeAsync, None, None, CurrentTime);
            if (p == GrabSuccess) {
                mPointerGrabbed = true;
                break;
            }
            if (p != GrabNotViewable) break;
            XSync(mDisplay, False);  // not mapped yet
        }
        mKeyboardGrabbed =
            XGrabKeyboard(mDisplay, mWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        Paint();
        return true;
    }

    ~MenuWindow() {
        if (mPointerGrabbed) XUngrabPointer(mDisplay, CurrentTime);
        if (mKeyboardGrabbed) XUngrabKeyboard(mDisplay, CurrentTime);
    }

    int Run() {
        XEvent ev;
        for (;;) {
            if (!NextEvent(&ev)) return -1;
            switch (ev.type) {
                case Expose:
                    if (ev.xexpose.count == 0) Show();
                    break;
                case MotionNotify: {
                    const int i = ItemAt(ev.xmotion.x, ev.xmotion.y);
                    if (i >= 0 && (ev.xmotion.state & (Button1Mask | Button3Mask))) mDraggedIn = true;
                    if (i != mHighlight && (i < 0 || Choosable(i))) SetHighlight(i);
                    break;
                }
                case ButtonPress:
                    if (!Inside(ev.xbutton.x, ev.xbutton.y)) return -1;
                    mPressedInside = true;
                    break;
                case ButtonRelease: {
                    const int i = ItemAt(ev.xbutton.x, ev.xbutton.y);
                    if (!mPressedInside)
                        mOwner->ModalButtonReleased(ev.xbutton.x_root, ev.xbutton.y_root, ev.xbutton.state,
                                                    ev.xbutton.button);
                    if (i >= 0 && Choosable(i) && (mPressedInside || mDraggedIn)) return i;
                    mPressedInside = false;
                    break;
                }
                case KeyPress: {
                    const KeySym key = XLookupKeysym(&ev.xkey, 0);
                    if (key == XK_Escape) return -1;
                    if (key == XK_Return || key == XK_KP_Enter) {
                        if (mHighlight >= 0) return mHighlight;
                        break;
                    }
                    if (key == XK_Up || key == XK_KP_Up) Step(-1);
                    if (key == XK_Down || key == XK_KP_Down) Step(+1);
                    break;
                }
                default:
                    break;
            }
        }
    }

  private:
    bool Choosable(int i) const {
        const IPopupMenuItem* item = mMenu->GetItem(i);
        return item && item->IsChoosable();
    }
    bool Inside(int x, int y) const {
        return x >= 0 && y >= 0 && x < mRaster.getWidth() && y < mRaster.getHeight();
    }
    int ItemAt(int x, int y) const {
        if (!Inside(x, y)) return -1;
        for (int i = 0; i + 1 < static_cast<int>(mTops.size()); ++i)
            if (y >= mTops[i] && y < mTops[i + 1]) return i;
        return -1;
    }
    void Step(int direction) {
        const int n = mMenu->GetNItems();
        int i = mHighlight;
        for (int k = 0; k < n; ++k) {
            i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
            if (Choosable(i)) {
                SetHighlight(i);
                return;
            }
        }
    }
    void SetHighlight(int i) {
        mHighlight = i;
        Paint();
    }

    void Paint() {
        const int w = mRaster.getWidth(), h = mRaster.getHeight();
        LICE_Clear(&mRaster, kBorder);
        LICE_FillRect(&mRaster, 1, 1, w - 2, h - 2, kFace, 1.0f, LICE_BLIT_MODE_COPY);
        for (int i = 0; i < mMenu->GetNItems(); ++i) {
            const IPopupMenuItem* item = mMenu->GetItem(i);
            const int top = mTops[i], height = mTops[i + 1] - top;
            if (item->GetIsSeparator()) {
                LICE_FillRect(&mRaster, kPad, top + height / 2, w - 2 * kPad, 1, kBorder, 1.0f,
                              LICE_BLIT_MODE_COPY);
                continue;
            }
            const bool lit = i == mHighlight;
            if (lit) LICE_FillRect(&mRaster, 1, top, w - 2, height, kHighlight, 1.0f, LICE_BLIT_MODE_COPY);
            const LICE_pixel ink = lit                                    ? kHighlightInk
                                   : (Choosable(i) || item->GetSubmenu()) ? kInk
                                                                          : kGreyInk;
            if (item->GetChecked()) DrawTick(kPad, top + height / 2, ink);
            const int indent = item->GetIsTitle() ? 0 : kCheckColumn;
            const std::string title = mMenu->GetItemTitle(i);
            Text(title.c_str(), kPad + indent, top, w - 2 * kPad - indent, height, ink, LICE_DT_LEFT);
            if (item->GetSubmenu()) Text(">", kPad, top, w - 2 * kPad, height, ink, LICE_DT_RIGHT);
        }
        Show();
    }

    // A tick mark 9 pixels wide, its lowest point at the item's centre line + 3.
    void DrawTick(int x, int cy, LICE_pixel ink) {
        for (int k = 0; k < 3; ++k)
            LICE_FillRect(&mRaster, x + k, cy + k, 2, 2, ink, 1.0f, LICE_BLIT_MODE_COPY);
        for (int k = 0; k < 6; ++k)
            LICE_FillRect(&mRaster, x + 3 + k, cy + 2 - k, 2, 2, ink, 1.0f, LICE_BLIT_MODE_COPY);
    }

    IPopupMenu* mMenu;
    std::vector<int> mTops;  // top of each item, then the bottom of the last
    int mItemHeight = 18;
    int mHighlight = -1;
    bool mPointerGrabbed = false, mKeyboardGrabbed = false;
    bool mPressedInside = false;  // a press inside the menu since it opened, not yet released
    bool mDraggedIn = false;      // the opening press moved over an item before its release
};

// ---- Message box ----

struct Button {
    const char* label;
    int result;
};

class MessageBoxWindow : public ModalWindow {
  public:
    MessageBoxWindow(Display* display, IX11ModalOwner* owner, int type) : ModalWindow(display, owner) {
        switch (type) {
            case IGraphics::kMB_OKCANCEL:
                mButtons = {{"OK", IGraphics::kIDOK}, {"Cancel", IGraphics::kIDCANCEL}};
                break;
            case IGraphics::kMB_YESNOCANCEL:
                mButtons = {
                    {"Yes", IGraphics::kIDOK}, {"No", IGraphics::kIDNO}, {"Cancel", IGraphics::kIDCANCEL}};
                break;
            case IGraphics::kMB_YESNO:
                mButtons = {{"Yes", IGraphics::kIDOK}, {"No", IGraphics::kIDNO}};
                break;
            default:
                mButtons = {{"OK", IGraphics::kIDOK}};
                break;
        }
    }

    bool Open(Window over, const char* text, const char* caption) {
        std::string all = text ? text : "";
        for (size_t start = 0;;) {
            const size_t nl = all.find('\n', start);
            mLines.push_back(all.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
            if (nl == std::string::npos) break;
            start = nl + 1;
        }
        int width = 0;
        for (const std::string& line : mLines) width = std::max(width, TextWidth(line.c_str()));
        mButtonWidth = 0;
        for (const Button& b : mButtons) mButtonWidth = std::max(mButtonWidth, TextWidth(b.label) + 2 * kPad);
        const int buttonsWidth = static_cast<int>(mButtons.size()) * (mButtonWidth + kPad) - kPad;
        width = std::max(width, buttonsWidth) + 4 * kPad;
        const int height = static_cast<int>(mLines.size()) * mLineHeight + mLineHeight + 8 * kPad;
        int x = (DisplayWidth(mDisplay, DefaultScreen(mDisplay)) - width) / 2;
        int y = (DisplayHeight(mDisplay, DefaultScreen(mDisplay)) - height) / 2;
        XWindowAttributes wa;
        Window child;
        if (over && XGetWindowAttributes(mDisplay, over, &wa))
            XTranslateCoordinates(mDisplay, over, wa.root, (wa.width - width) / 2, (wa.height - height) / 2,
                                  &x, &y, &child);
        if (!Create(x, y, width, height, false, ButtonPressMask | ButtonReleaseMask | KeyPressMask))
            return false;
        XStoreName(mDisplay, mWindow, caption ? caption : "");
        mDeleteAtom = XInternAtom(mDisplay, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(mDisplay, mWindow, &mDeleteAtom, 1);
        if (over) XSetTransientForHint(mDisplay, mWindow, over);
        XMapRaised(mDisplay, mWindow);
        mButtonsTop = height - 2 * kPad - mLineHeight - 4;
        Paint();
        return true;
    }

    int Run() {
        XEvent ev;
        for (;;) {
            if (!NextEvent(&ev)) return CancelResult();
            if (ev.type == Expose && ev.xexpose.count == 0) Show();
            if (ev.type == ClientMessage && static_cast<Atom>(ev.xclient.data.l[0]) == mDeleteAtom)
                return CancelResult();
            if (ev.type == ButtonRelease && ev.xbutton.button == Button1) {
                const int i = ButtonAt(ev.xbutton.x, ev.xbutton.y);
                if (i >= 0) return mButtons[i].result;
            }
            if (ev.type == KeyPress) {
                const KeySym key = XLookupKeysym(&ev.xkey, 0);
                if (key == XK_Return || key == XK_KP_Enter) return mButtons.front().result;
                if (key == XK_Escape) return CancelResult();
            }
        }
    }

  private:
    int CancelResult() const { return mButtons.back().result; }
    int ButtonLeft(int i) const {
        const int all = static_cast<int>(mButtons.size()) * (mButtonWidth + kPad) - kPad;
        return mRaster.getWidth() - 2 * kPad - all + i * (mButtonWidth + kPad);
    }
    int ButtonAt(int x, int y) const {
        if (y < mButtonsTop || y >= mButtonsTop + mLineHeight + 4) return -1;
        for (int i = 0; i < static_cast<int>(mButtons.size()); ++i)
            if (x >= ButtonLeft(i) && x < ButtonLeft(i) + mButtonWidth) return i;
        return -1;
    }
    void Paint() {
        LICE_Clear(&mRaster, kFace);
        int y = 2 * kPad;
        for (const std::string& line : mLines) {
            Text(line.c_str(), 2 * kPad, y, mRaster.getWidth() - 4 * kPad, mLineHeight, kInk, LICE_DT_LEFT);
            y += mLineHeight;
        }
        for (int i = 0; i < static_cast<int>(mButtons.size()); ++i) {
            const int x = ButtonLeft(i), h = mLineHeight + 4;
            LICE_FillRect(&mRaster, x, mButtonsTop, mButtonWidth, h, i == 0 ? kHighlight : kBorder, 1.0f,
                          LICE_BLIT_MODE_COPY);
            LICE_FillRect(&mRaster, x + 1, mButtonsTop + 1, mButtonWidth - 2, h - 2, kFace, 1.0f,
                          LICE_BLIT_MODE_COPY);
            Text(mButtons[i].label, x, mButtonsTop, mButtonWidth, h, kInk, LICE_DT_CENTER);
        }
        Show();
    }

    std::vector<Button> mButtons;
    std::vector<std::string> mLines;
    int mButtonWidth = 0;
    int mButtonsTop = 0;
    Atom mDeleteAtom = 0;
};

}  // namespace

int RunX11PopupMenu(Display* display, IX11ModalOwner* owner, IPopupMenu* menu, int rootX, int rootY,
                    int minWidth) {
    if (!display || !owner || !menu || menu->GetNItems() == 0) return -1;
    MenuWindow window(display, owner, menu);
    if (!window.Open(rootX, rootY, minWidth)) return -1;
    return window.Run();
}

int RunX11MessageBox(Display* display, IX11ModalOwner* owner, Window over, const char* text,
                     const char* caption, int type) {
    if (!display || !owner) return 0;
    MessageBoxWindow window(display, owner, type);
    if (!window.Open(over, text, caption)) return 0;
    return window.Run();
}
