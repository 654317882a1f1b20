#include "editor/X11Modal.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "raster/Blit.h"
#include "raster/Font.h"

// Xlib last: its macros must not meet the project's headers.
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "editor/X11Identity.h"
#include "editor/X11RasterWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

// ---- Message box ----

struct Button {
    const char* label;
    int result;
};

// ShowMessageBox returns the button pressed, so unlike the menu the box waits for it in a loop of its
// own.
class MessageBoxWindow : public X11RasterWindow {
  public:
    MessageBoxWindow(Display* display, IX11ModalOwner* owner, int type)
        : X11RasterWindow(display, owner->ModalGraphics()), mOwner(owner) {
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
        X11SetWindowTitle(mDisplay, mWindow, caption ? caption : "");
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
    // Waits for the next event of this window, running the owner's idle at its frame rate. Events for
    // other windows go to the owner; false when the owner's window went away.
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

    IX11ModalOwner* mOwner;
    Clock::time_point mNextIdle = Clock::now();
    std::vector<Button> mButtons;
    std::vector<std::string> mLines;
    int mButtonWidth = 0;
    int mButtonsTop = 0;
    Atom mDeleteAtom = 0;
};

}  // namespace

int RunX11MessageBox(Display* display, IX11ModalOwner* owner, Window over, const char* text,
                     const char* caption, int type) {
    if (!display || !owner) return 0;
    MessageBoxWindow window(display, owner, type);
    if (!window.Open(over, text, caption)) return 0;
    return window.Run();
}
