// A window of the X11 binding painted from a raster of its own with the editor's fonts, on the editor's
// display connection: what the popup menu and the message box are drawn in, and the look they share.
//
// UI thread only (the thread that owns the connection).
#pragma once

#include <memory>

#include "editor/IGraphicsStructs.h"
#include "raster/Bitmap.h"
#include "raster/Pixel.h"

// Xlib last: its macros must not meet the project's headers.
#include "editor/X11Surface.h"

class IGraphics;
class LICE_IFont;

class X11RasterWindow {
  public:
    static constexpr LICE_pixel kFace = LICE_RGBA(238, 238, 238, 255);
    static constexpr LICE_pixel kBorder = LICE_RGBA(128, 128, 128, 255);
    static constexpr LICE_pixel kInk = LICE_RGBA(0, 0, 0, 255);
    static constexpr LICE_pixel kGreyInk = LICE_RGBA(150, 150, 150, 255);
    static constexpr LICE_pixel kHighlight = LICE_RGBA(51, 102, 204, 255);
    static constexpr LICE_pixel kHighlightInk = LICE_RGBA(255, 255, 255, 255);
    static constexpr int kPad = 6;

    // fonts: the editor whose font cache draws the texts.
    X11RasterWindow(Display* display, IGraphics* fonts);
    // Destroys the window.
    virtual ~X11RasterWindow();
    X11RasterWindow(const X11RasterWindow&) = delete;
    X11RasterWindow& operator=(const X11RasterWindow&) = delete;

    Window GetWindow() const { return mWindow; }

  protected:
    // Pixel width of s in the window's font.
    int TextWidth(const char* s) const;
    // s in the box (x, y, w, h) of the raster, centred vertically.
    void Text(const char* s, int x, int y, int w, int h, LICE_pixel color, unsigned int align);
    // A w x h window on the root at (x, y), moved to stay on the screen, receiving events (and its
    // exposures); the raster takes its size. False when it could not be made.
    bool Create(int x, int y, int w, int h, bool overrideRedirect, long events);
    // Puts the raster on the window.
    void Show();

    Display* mDisplay;
    Window mWindow = 0;
    int mX = 0, mY = 0;
    IText mStyle;
    LICE_IFont* mFont = nullptr;
    int mLineHeight = 12;
    LICE_MemBitmap mRaster;
    std::unique_ptr<X11Surface> mSurface;
};
