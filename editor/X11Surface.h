// Putting rasters on an X11 window: the raster's pixels (A, R, G, B bytes, raster/Pixel.h) are turned
// into the window visual's pixel format (any TrueColor visual of 16 or 32 bits per pixel: depth 16 as
// 5-6-5, 24, 30 as 10-10-10) in an image of the window's size and sent to the server, through shared
// memory (MIT-SHM) when the server offers it for this connection, otherwise with XPutImage.
// Also the error trap the X11 binding puts around requests that may fail for reasons outside its
// control (a host that destroyed the parent window, a server refusing shared memory).
//
// UI thread only: the thread that owns the display connection.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <string>
#include <vector>

class LICE_IBitmap;

// X errors of the binding's own connections never reach the process's error handler (whose default
// ends the process, and which belongs to the host): while a connection is registered, a process-wide
// handler records its errors and passes every other connection's errors on to the handler that was
// installed before. The same holds for the fatal I/O error of a broken connection: one of ours returns to
// Xlib, which then calls the exit handler its owner set on it (XSetIOErrorExitHandler) instead of ending
// the process. Register and Unregister on the connection's thread.
void X11RegisterConnection(Display* display);
void X11UnregisterConnection(Display* display);
// Errors recorded on a registered connection outside traps since it was registered.
int X11UnexpectedErrors(Display* display);

// Requests between construction and Finish() that may fail for reasons outside the binding's control
// (a host that destroyed the parent window, a server refusing shared memory). Finish() waits for the
// server to answer everything sent so far and says whether any of them failed. The connection must be
// registered; traps do not nest.
class X11ErrorTrap {
  public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;
    // True when no request since the trap was set failed.
    bool Finish();

  private:
    Display* mDisplay;
    bool mFinished = false;
    bool mOk = true;
};

class X11Surface {
  public:
    // Why the visual of the given depth cannot be served (one line), or "" when it can: TrueColor with
    // contiguous channels of 1 to 16 bits, in pixels of 16 or 32 bits.
    static std::string Unservable(Display* display, Visual* visual, int depth);

    // For drawable (a window) of the given visual and depth, w x h pixels. Valid() tells whether the
    // visual can be served (see Unservable) and the image could be had.
    X11Surface(Display* display, Drawable drawable, Visual* visual, int depth, int w, int h,
               bool allowShm = true);
    ~X11Surface();
    X11Surface(const X11Surface&) = delete;
    X11Surface& operator=(const X11Surface&) = delete;

    bool Valid() const { return mImage != nullptr; }
    bool UsesShm() const { return mShm; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }

    // Converts the w x h block of src at (srcX, srcY) and shows it at (dstX, dstY) of the drawable,
    // clipped to both. Only the colour is shown; the raster's alpha byte is ignored. Queues the request
    // (the caller flushes). False when the surface is not valid.
    bool Put(const LICE_IBitmap* src, int srcX, int srcY, int dstX, int dstY, int w, int h);
    // The same, sending only the pixels that differ from what this surface sent there before: changed
    // rows close together as one rectangle spanning their changed columns. For a drawable that keeps
    // what it was sent, except where Forget says it lost it.
    bool PutChanges(const LICE_IBitmap* src, int srcX, int srcY, int dstX, int dstY, int w, int h);
    // The drawable lost the w x h block at (x, y) (an Expose): the next PutChanges there sends every
    // pixel. A new surface has sent nothing.
    void Forget(int x, int y, int w, int h);

    // The visual's pixel for a raster pixel (its alpha ignored): each channel's top bits, or for a
    // channel wider than 8 bits the 8 bits repeated, so white stays full white.
    uint32_t ToVisualPixel(uint32_t rasterPixel) const {
        return mRed[(rasterPixel >> 8) & 0xFFu] | mGreen[(rasterPixel >> 16) & 0xFFu] |
               mBlue[(rasterPixel >> 24) & 0xFFu];
    }
    // Converts one pixel of this visual back into a raster pixel with alpha 255 (for reading the
    // screen back); exact for 8-bit channels, the channel's top bits widened otherwise.
    unsigned int ToRasterPixel(unsigned long xPixel) const;

    // Pixel bytes sent over the connection with XPutImage since the surface was made (none through
    // shared memory), and the number of image requests of either kind.
    long long BytesSent() const { return mBytesSent; }
    long long Requests() const { return mRequests; }

  private:
    bool CreateShmImage(Visual* visual, int depth);
    bool CreatePlainImage(Visual* visual, int depth);
    // Waits until the server has read the shared image (nothing to wait for without shared memory).
    void WaitForServer();
    // Sends the w x h block at (x, y) of the image.
    void Send(int x, int y, int w, int h);
    bool Convert(const LICE_IBitmap* src, int srcX, int srcY, int dstX, int dstY, int w, int h,
                 bool onlyChanges);
    template <typename Word>
    bool ConvertRows(const LICE_IBitmap* src, int srcX, int srcY, int dstX, int dstY, int w, int h,
                     bool onlyChanges);

    Display* mDisplay;
    Drawable mDrawable;
    GC mGC = nullptr;
    XImage* mImage = nullptr;
    XShmSegmentInfo mShmInfo{};
    bool mShm = false;
    bool mShmPending = false;  // the server may still be reading the shared image
    int mWidth, mHeight;
    int mRedShift = 0, mGreenShift = 0, mBlueShift = 0;
    int mRedBits = 0, mGreenBits = 0, mBlueBits = 0;
    // Each 8-bit channel value as the visual's bits in place.
    uint32_t mRed[256] = {}, mGreen[256] = {}, mBlue[256] = {};
    // The raster pixel last sent to each image pixel with alpha 255, or 0 where nothing was sent: what
    // PutChanges compares with, whatever the image's pixel size.
    std::vector<uint32_t> mSent;
    long long mBytesSent = 0;
    long long mRequests = 0;
};
