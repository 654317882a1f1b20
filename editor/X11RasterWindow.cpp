#include <algorithm>

#include "editor/IGraphics.h"
#include "raster/Font.h"

// Xlib last (through the header): its macros must not meet the project's headers.
#include "editor/X11Identity.h"
#include "editor/X11RasterWindow.h"

X11RasterWindow::X11RasterWindow(Display* display, IGraphics* fonts) : mDisplay(display) {
    // At the editor's scale, as the editor's own text.
    mStyle = IText(fonts ? fonts->ToScreen(12) : 12, &COLOR_BLACK, "Monaco", IText::kStyleNormal,
                   IText::kAlignNear);
    mFont = fonts ? fonts->CacheFont(&mStyle) : nullptr;
    mLineHeight = mFont ? mFont->GetLineHeight() : 12;
}

X11RasterWindow::~X11RasterWindow() {
    mSurface.reset();
    if (mWindow) XDestroyWindow(mDisplay, mWindow);
    XFlush(mDisplay);
}

int X11RasterWindow::TextWidth(const char* s) const {
    if (!mFont || !s || !s[0]) return 0;
    LICE_Rect r;
    mFont->DrawText(nullptr, s, -1, &r, LICE_DT_CALCRECT);
    return r.right - r.left;
}

void X11RasterWindow::Text(const char* s, int x, int y, int w, int h, LICE_pixel color, unsigned int align) {
    if (!mFont) return;
    LICE_Rect r{x, y, x + w, y + h};
    mFont->DrawText(&mRaster, s, -1, &r, align | LICE_DT_VCENTER, color);
}

bool X11RasterWindow::Create(int x, int y, int w, int h, bool overrideRedirect, long events) {
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
    X11SetWindowIdentity(mDisplay, mWindow, "");
    mX = x, mY = y;
    mRaster.resize(w, h);
    mSurface = std::make_unique<X11Surface>(mDisplay, mWindow, DefaultVisual(mDisplay, screen),
                                            DefaultDepth(mDisplay, screen), w, h, false);
    return mSurface->Valid();
}

void X11RasterWindow::Show() {
    mSurface->Put(&mRaster, 0, 0, 0, 0, mRaster.getWidth(), mRaster.getHeight());
    XFlush(mDisplay);
}
