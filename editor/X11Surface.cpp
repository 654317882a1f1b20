#include "editor/X11Surface.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "raster/Bitmap.h"

namespace {

struct Connection {
    Display* display;
    bool trapping;
    bool trapped;    // an error while trapping
    int unexpected;  // errors outside traps
};

std::mutex gConnectionsMutex;
std::vector<Connection> gConnections;
XErrorHandler gPrevious = nullptr;
XIOErrorHandler gPreviousIO = nullptr;
bool gInstalled = false;

int RecordError(Display* display, XErrorEvent* event) {
    XErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(gConnectionsMutex);
        for (Connection& c : gConnections)
            if (c.display == display) {
                if (c.trapping) {
                    c.trapped = true;
                } else {
                    ++c.unexpected;
                }
                return 0;
            }
        previous = gPrevious;
    }
    return previous ? previous(display, event) : 0;
}

// A broken connection of ours returns to Xlib, which then calls the connection's exit handler (the
// binding marks its window lost there); another connection's goes to the handler installed before, whose
// default ends the process.
int RecordIOError(Display* display) {
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(gConnectionsMutex);
        for (const Connection& c : gConnections)
            if (c.display == display) return 0;
        previous = gPreviousIO;
    }
    return previous ? previous(display) : 0;
}

Connection* Find(Display* display) {
    for (Connection& c : gConnections)
        if (c.display == display) return &c;
    return nullptr;
}

// Position of an 8-bit channel mask (0xFF << shift); -1 for anything else.
int ChannelShift(unsigned long mask) {
    for (int shift = 0; shift <= 24; shift += 8)
        if (mask == (0xFFul << shift)) return shift;
    return -1;
}

bool NativeIsLsbFirst() {
    const unsigned int one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

}  // namespace

void X11RegisterConnection(Display* display) {
    std::lock_guard<std::mutex> lock(gConnectionsMutex);
    if (Find(display)) return;
    gConnections.push_back(Connection{display, false, false, 0});
    if (!gInstalled) {
        gPrevious = XSetErrorHandler(&RecordError);
        gPreviousIO = XSetIOErrorHandler(&RecordIOError);
        gInstalled = true;
    }
}

void X11UnregisterConnection(Display* display) {
    std::lock_guard<std::mutex> lock(gConnectionsMutex);
    gConnections.erase(std::remove_if(gConnections.begin(), gConnections.end(),
                                      [display](const Connection& c) { return c.display == display; }),
                       gConnections.end());
    if (gConnections.empty() && gInstalled) {
        // Put the host's handler back, unless someone installed another one after ours (theirs stays).
        XErrorHandler current = XSetErrorHandler(gPrevious);
        if (current != &RecordError) XSetErrorHandler(current);
        XIOErrorHandler currentIO = XSetIOErrorHandler(gPreviousIO);
        if (currentIO != &RecordIOError) XSetIOErrorHandler(currentIO);
        gPrevious = nullptr;
        gPreviousIO = nullptr;
        gInstalled = false;
    }
}

int X11UnexpectedErrors(Display* display) {
    std::lock_guard<std::mutex> lock(gConnectionsMutex);
    const Connection* c = Find(display);
    return c ? c->unexpected : 0;
}

X11ErrorTrap::X11ErrorTrap(Display* display) : mDisplay(display) {
    XSync(mDisplay, False);
    std::lock_guard<std::mutex> lock(gConnectionsMutex);
    if (Connection* c = Find(mDisplay)) c->trapping = true, c->trapped = false;
}

X11ErrorTrap::~X11ErrorTrap() {
    Finish();
}

bool X11ErrorTrap::Finish() {
    if (mFinished) return mOk;
    XSync(mDisplay, False);
    std::lock_guard<std::mutex> lock(gConnectionsMutex);
    if (Connection* c = Find(mDisplay)) {
        mOk = !c->trapped;
        c->trapping = c->trapped = false;
    }
    mFinished = true;
    return mOk;
}

X11Surface::X11Surface(Display* display, Drawable drawable, Visual* visual, int depth, int w, int h,
                       bool allowShm)
    : mDisplay(display), mDrawable(drawable), mWidth(std::max(w, 1)), mHeight(std::max(h, 1)) {
    if (!visual || visual->c_class != TrueColor || (depth != 24 && depth != 32)) return;
    mRedShift = ChannelShift(visual->red_mask);
    mGreenShift = ChannelShift(visual->green_mask);
    mBlueShift = ChannelShift(visual->blue_mask);
    if (mRedShift < 0 || mGreenShift < 0 || mBlueShift < 0) return;
    mGC = XCreateGC(mDisplay, mDrawable, 0, nullptr);
    // Shared memory needs the server to read our byte order as it is.
    const bool sameOrder = (ImageByteOrder(mDisplay) == LSBFirst) == NativeIsLsbFirst();
    if (!(allowShm && sameOrder && XShmQueryExtension(mDisplay) && CreateShmImage(visual, depth)))
        CreatePlainImage(visual, depth);
    // Three 8-bit channels leave one byte of the 32-bit pixel unused.
    mUnsent = ~((0xFFu << mRedShift) | (0xFFu << mGreenShift) | (0xFFu << mBlueShift));
    Forget(0, 0, mWidth, mHeight);
}

X11Surface::~X11Surface() {
    if (mImage) {
        if (mShm) {
            XShmDetach(mDisplay, &mShmInfo);
            XSync(mDisplay, False);
            XDestroyImage(mImage);
            shmdt(mShmInfo.shmaddr);
        } else {
            XDestroyImage(mImage);  // frees the pixel buffer too
        }
    }
    if (mGC) XFreeGC(mDisplay, mGC);
}

bool X11Surface::CreateShmImage(Visual* visual, int depth) {
    XImage* image = XShmCreateImage(mDisplay, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                    &mShmInfo, static_cast<unsigned>(mWidth), static_cast<unsigned>(mHeight));
    if (!image) return false;
    if (image->bits_per_pixel != 32) {
        XDestroyImage(image);
        return false;
    }
    mShmInfo.shmid =
        shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * image->height, IPC_CREAT | 0600);
    if (mShmInfo.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    mShmInfo.shmaddr = image->data = static_cast<char*>(shmat(mShmInfo.shmid, nullptr, 0));
    if (mShmInfo.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(mShmInfo.shmid, IPC_RMID, nullptr);
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    mShmInfo.readOnly = False;
    // A server on another machine (or in another namespace) refuses the segment: fall back quietly.
    X11ErrorTrap trap(mDisplay);
    XShmAttach(mDisplay, &mShmInfo);
    const bool attached = trap.Finish();
    // Marked for removal now, so the segment goes away with the last detach whatever happens later.
    shmctl(mShmInfo.shmid, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(mShmInfo.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    mImage = image;
    mShm = true;
    return true;
}

bool X11Surface::CreatePlainImage(Visual* visual, int depth) {
    const size_t bytes = static_cast<size_t>(mWidth) * mHeight * 4;
    char* data = static_cast<char*>(std::malloc(bytes));
    if (!data) return false;
    XImage* image =
        XCreateImage(mDisplay, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                     static_cast<unsigned>(mWidth), static_cast<unsigned>(mHeight), 32, mWidth * 4);
    if (!image) {
        std::free(data);
        return false;
    }
    // The pixels are written as native 32-bit words; Xlib reorders them for the server when needed.
    image->byte_order = NativeIsLsbFirst() ? LSBFirst : MSBFirst;
    mImage = image;
    return true;
}

namespace {

// Rows of unchanged pixels between two changes are sent along with them, as one rectangle, while they
// cost fewer bytes than this: a request of its own costs the server more than a few hundred bytes.
constexpr int kBridgeBytes = 512;

}  // namespace

void X11Surface::WaitForServer() {
    // The server reads a shared image when it gets to the request: wait for the last one before
    // writing over it.
    if (mShmPending) {
        XSync(mDisplay, False);
        mShmPending = false;
    }
}

void X11Surface::Forget(int x, int y, int w, int h) {
    if (!mImage) return;
    const int L = std::max(x, 0), T = std::max(y, 0);
    const int R = std::min(x + w, mWidth), B = std::min(y + h, mHeight);
    if (R <= L || B <= T) return;
    WaitForServer();
    const int stride = mImage->bytes_per_line / 4;
    uint32_t* out = reinterpret_cast<uint32_t*>(mImage->data);
    for (int row = T; row < B; ++row)
        std::fill(out + static_cast<size_t>(row) * stride + L, out + static_cast<size_t>(row) * stride + R,
                  mUnsent);
}

void X11Surface::Send(int x, int y, int w, int h) {
    if (mShm) {
        XShmPutImage(mDisplay, mDrawable, mGC, mImage, x, y, x, y, static_cast<unsigned>(w),
                     static_cast<unsigned>(h), False);
        mShmPending = true;
    } else {
        XPutImage(mDisplay, mDrawable, mGC, mImage, x, y, x, y, static_cast<unsigned>(w),
                  static_cast<unsigned>(h));
        mBytesSent += static_cast<long long>(w) * h * 4;
    }
    ++mRequests;
}

bool X11Surface::Put(const LICE_IBitmap* src, int srcX, int srcY, int dstX, int dstY, int w, int h) {
    return Convert(src, srcX, srcY, dstX, dstY, w, h, false);
}

bool X11Surface::PutChanges(const LICE_IBitmap* src, int srcX, int srcY, int dstX, int dstY, int w, int h) {
    return Convert(src, srcX, srcY, dstX, dstY, w, h, true);
}

bool X11Surface::Convert(const LICE_IBitmap* src, int srcX, int srcY, int dstX, int dstY, int w, int h,
                         bool onlyChanges) {
    if (!mImage || !src) return false;
    // Clip to the source raster and to the image, moving both corners together.
    if (srcX < 0) w += srcX, dstX -= srcX, srcX = 0;
    if (srcY < 0) h += srcY, dstY -= srcY, srcY = 0;
    if (dstX < 0) w += dstX, srcX -= dstX, dstX = 0;
    if (dstY < 0) h += dstY, srcY -= dstY, dstY = 0;
    w = std::min({w, src->getWidth() - srcX, mWidth - dstX});
    h = std::min({h, src->getHeight() - srcY, mHeight - dstY});
    if (w <= 0 || h <= 0) return true;

    WaitForServer();
    const LICE_pixel* bits = src->getBits();
    const int span = src->getRowSpan();
    const int stride = mImage->bytes_per_line / 4;
    uint32_t* out = reinterpret_cast<uint32_t*>(mImage->data);
    // The rows changed so far and not yet sent: top..last, columns left..right (block coordinates).
    int top = -1, last = -1, left = 0, right = 0;
    for (int y = 0; y < h; ++y) {
        const LICE_pixel* in = bits + static_cast<size_t>(srcY + y) * span + srcX;
        uint32_t* row = out + static_cast<size_t>(dstY + y) * stride + dstX;
        int first = w, end = -1;
        for (int x = 0; x < w; ++x) {
            const LICE_pixel p = in[x];
            const uint32_t pixel = (((p >> 8) & 0xFFu) << mRedShift) | (((p >> 16) & 0xFFu) << mGreenShift) |
                                   (((p >> 24) & 0xFFu) << mBlueShift);
            if (row[x] != pixel) {
                row[x] = pixel;
                first = std::min(first, x);
                end = x;
            }
        }
        if (!onlyChanges) first = 0, end = w - 1;
        if (end < 0) continue;
        if (top >= 0) {
            const int l = std::min(left, first), r = std::max(right, end);
            if ((y - last - 1) * (r - l + 1) * 4 > kBridgeBytes) {
                Send(dstX + left, dstY + top, right - left + 1, last - top + 1);
                top = -1;
            }
        }
        if (top < 0) {
            top = y, left = first, right = end;
        } else {
            left = std::min(left, first), right = std::max(right, end);
        }
        last = y;
    }
    if (top >= 0) Send(dstX + left, dstY + top, right - left + 1, last - top + 1);
    return true;
}

unsigned int X11Surface::ToRasterPixel(unsigned long xPixel) const {
    const int r = static_cast<int>((xPixel >> mRedShift) & 0xFFu);
    const int g = static_cast<int>((xPixel >> mGreenShift) & 0xFFu);
    const int b = static_cast<int>((xPixel >> mBlueShift) & 0xFFu);
    return LICE_RGBA(r, g, b, 255);
}
