#include <algorithm>
#include <string>

#include "editor/IPopupMenu.h"
#include "raster/Blit.h"
#include "raster/Font.h"

// Xlib last (through the header): its macros must not meet the project's headers.
#include <X11/keysym.h>

#include "editor/X11PopupMenu.h"

namespace {

constexpr int kCheckColumn = 16;
constexpr int kSeparatorHeight = 7;

}  // namespace

X11PopupMenu::X11PopupMenu(Display* display, IGraphics* fonts, IPopupMenu* menu)
    : X11RasterWindow(display, fonts), mMenu(menu) {}

X11PopupMenu::~X11PopupMenu() {
    if (mPointerGrabbed) XUngrabPointer(mDisplay, CurrentTime);
    if (mKeyboardGrabbed) XUngrabKeyboard(mDisplay, CurrentTime);
}

bool X11PopupMenu::Open(int rootX, int rootY, int minWidth) {
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
        const int p =
            XGrabPointer(mDisplay, mWindow, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                         GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
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

X11PopupMenu::EOutcome X11PopupMenu::HandleEvent(XEvent* ev) {
    switch (ev->type) {
        case Expose:
            if (ev->xexpose.count == 0) Show();
            break;
        case MotionNotify: {
            const int i = ItemAt(ev->xmotion.x, ev->xmotion.y);
            if (i >= 0 && (ev->xmotion.state & (Button1Mask | Button3Mask))) mDraggedIn = true;
            if (i != mHighlight && (i < 0 || Choosable(i))) SetHighlight(i);
            break;
        }
        case ButtonPress:
            if (!Inside(ev->xbutton.x, ev->xbutton.y)) return kDismissed;
            mPressedInside = true;
            break;
        case ButtonRelease: {
            const int i = ItemAt(ev->xbutton.x, ev->xbutton.y);
            if (!mPressedInside) {
                mOpeningReleased = true;
                mReleaseX = ev->xbutton.x_root, mReleaseY = ev->xbutton.y_root;
                mReleaseState = ev->xbutton.state, mReleaseButton = ev->xbutton.button;
            }
            if (i >= 0 && Choosable(i) && (mPressedInside || mDraggedIn)) {
                mChosen = i;
                return kChosen;
            }
            mPressedInside = false;
            break;
        }
        case KeyPress: {
            const KeySym key = XLookupKeysym(&ev->xkey, 0);
            if (key == XK_Escape) return kDismissed;
            if (key == XK_Return || key == XK_KP_Enter) {
                if (mHighlight < 0) break;
                mChosen = mHighlight;
                return kChosen;
            }
            if (key == XK_Up || key == XK_KP_Up) Step(-1);
            if (key == XK_Down || key == XK_KP_Down) Step(+1);
            break;
        }
        default:
            break;
    }
    return kStillOpen;
}

bool X11PopupMenu::TakeOpeningRelease(int* rootX, int* rootY, unsigned int* state, unsigned int* button) {
    if (!mOpeningReleased) return false;
    mOpeningReleased = false;
    *rootX = mReleaseX, *rootY = mReleaseY;
    *state = mReleaseState, *button = mReleaseButton;
    return true;
}

bool X11PopupMenu::Choosable(int i) const {
    const IPopupMenuItem* item = mMenu->GetItem(i);
    return item && item->IsChoosable();
}

bool X11PopupMenu::Inside(int x, int y) const {
    return x >= 0 && y >= 0 && x < mRaster.getWidth() && y < mRaster.getHeight();
}

int X11PopupMenu::ItemAt(int x, int y) const {
    if (!Inside(x, y)) return -1;
    for (int i = 0; i + 1 < static_cast<int>(mTops.size()); ++i)
        if (y >= mTops[i] && y < mTops[i + 1]) return i;
    return -1;
}

void X11PopupMenu::Step(int direction) {
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

void X11PopupMenu::SetHighlight(int i) {
    mHighlight = i;
    Paint();
}

void X11PopupMenu::Paint() {
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
        const LICE_pixel ink = lit ? kHighlightInk : (Choosable(i) || item->GetSubmenu()) ? kInk : kGreyInk;
        if (item->GetChecked()) DrawTick(kPad, top + height / 2, ink);
        const int indent = item->GetIsTitle() ? 0 : kCheckColumn;
        const std::string title = mMenu->GetItemTitle(i);
        Text(title.c_str(), kPad + indent, top, w - 2 * kPad - indent, height, ink, LICE_DT_LEFT);
        if (item->GetSubmenu()) Text(">", kPad, top, w - 2 * kPad, height, ink, LICE_DT_RIGHT);
    }
    Show();
}

// A tick mark 9 pixels wide, its lowest point at the item's centre line + 3.
void X11PopupMenu::DrawTick(int x, int cy, LICE_pixel ink) {
    for (int k = 0; k < 3; ++k) LICE_FillRect(&mRaster, x + k, cy + k, 2, 2, ink, 1.0f, LICE_BLIT_MODE_COPY);
    for (int k = 0; k < 6; ++k)
        LICE_FillRect(&mRaster, x + 3 + k, cy + 2 - k, 2, 2, ink, 1.0f, LICE_BLIT_MODE_COPY);
}
