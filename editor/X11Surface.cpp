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

// Shift and width of a contiguous channel mask of 1 to 16 bits; false for anything else.
bool ChannelOf(unsigned long mask, int* shift, int* bits) {
    if (mask == 0 || mask > 0xFFFFFFFFul) return false;
    *shift = 0;
    while (!(mask & 1)) mask >>= 1, ++*shift;
    *bits = 0;
    while (mask & 1) mask >>= 1, ++*bits;
    return mask == 0 && *bits <= 16;
}

// An 8-bit channel value in `bits` bits: its top bits, or repeated to fill a wider channel.
uint32_t Widen(uint32_t v, int bits) {
    if (bits <= 8) return v >> (8 - bits);
    uint32_t out = 0;
    int filled = 0;
    while (filled < bits) out = (out << 8) | v, filled += 8;
    return out >> (filled - bits);
}

// A channel of `bits` bits back to 8 bits.
uint32_t Narrow(uint32_t v, int bits) {
    if (bits >= 8) return v >> (bits - 8);
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) out = (out << bits) | v, filled += bits;
    return out >> (filled - 8);
}

const char* ClassName(int c) {
    switch (c) {
        case StaticGray:
            return "StaticGray";
        case GrayScale:
            return "GrayScale";
        case StaticColor:
            return "StaticColor";
        case PseudoColor:
            return "PseudoColor";
        case TrueColor:
            return "TrueColor";
        case DirectColor:
            return "DirectColor";
        default:
            return "unknown";
    }
}

// Bits per pixel of images of this depth on the display; 0 when the server has no such format.
int BitsPerPixel(Display* display, int depth) {
    int n = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &n);
    int bpp = 0;
    for (int i = 0; i < n; ++i)
        if (formats[i].depth == depth) bpp = formats[i].bits_per_pixel;
    if (formats) XFree(formats);
    return bpp;
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

std::string X11Surface::Unservable(Display* display, Visual* visual, int depth) {
    if (!visual) return "the X display offers no visual for the window";
    const std::string what = "the X display's visual (" + std::string(ClassName(visual->c_class)) +
                             ", depth " + std::to_string(depth);
    const std::string needs = ") cannot be shown: the editor needs TrueColor in 16- or 32-bit pixels";
    int shift = 0, bits = 0;
    if (visual->c_class != TrueColor || !ChannelOf(visual->red_mask, &shift, &bits) ||
        !ChannelOf(visual->green_mask, &shift, &bits) || !ChannelOf(visual->blue_mask, &shift, &bits))
        return what + needs;
    const int bpp = BitsPerPixel(display, depth);
    if (bpp != 16 && bpp != 32) return what + ", " + std::to_string(bpp) + " bits per pixel" + needs;
    return "";
}

X11Surface::X11Surface(Display* display, Drawable drawable, Visual* visual, int depth, int w, int h,
                       bool allowShm)
    : mDisplay(display), mDrawable(drawable), mWidth(std::max(w, 1)), mHeight(std::max(h, 1)) {
    if (!Unservable(display, visual, depth).empty()) return;
    ChannelOf(visual->red_mask, &mRedShift, &mRedBits);
    ChannelOf(visual->green_mask, &mGreenShift, &mGreenBits);
    ChannelOf(visual->blue_mask, &mBlueShift, &mBlueBits);
    for (uint32_t v = 0; v < 256; ++v) {
        mRed[v] = Widen(v, mRedBits) << mRedShift;
        mGreen[v] = Widen(v, mGreenBits) << mGreenShift;
        mBlue[v] = Widen(v, mBlueBits) << mBlueShift;
    }
    mGC = XCreateGC(mDisplay, mDrawable, 0, nullptr);
    // Shared memory needs the server to read our byte order as it is.
    const bool sameOrder = (ImageByteOrder(mDisplay) == LSBFirst) == NativeIsLsbFirst();
    if (!(allowShm && sameOrder && XShmQueryExtension(mDisplay) && CreateShmImage(visual, depth)))
        CreatePlainImage(visual, depth);
    if (!mImage) return;
    mSent.assign(static_cast<size_t>(mWidth) * mHeight, 0u);
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
    if (image->bits_per_pixel != 16 && image->bits_per_pixel != 32) {
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
    // Xlib works out the row length from the server's pixel size for the depth; the buffer follows.
    XImage* image = XCreateImage(mDisplay, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(mWidth), static_cast<unsigned>(mHeight), 32, 0);
    if (!image) return false;
    if (image->bits_per_pixel != 16 && image->bits_per_pixel != 32) {
        XDestroyImage(image);
        return false;
    }
    image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * mHeight));
    if (!image->data) {
        XDestroyImage(image);
        return false;
    }
    // The pixels are written as native 16- or 32-bit words; Xlib reorders them for the server when
    // needed.
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
    for (int row = T; row < B; ++row)
        std::fill(mSent.begin() + static_cast<long>(row) * mWidth + L,
                  mSent.begin() + static_cast<long>(row) * mWidth + R, 0u);
}

void X11Surface::Send(int x, int y, int w, int h) {
    if (mShm) {
        XShmPutImage(mDisplay, mDrawable, mGC, mImage, x, y, x, y, static_cast<unsigned>(w),
                     static_cast<unsigned>(h), False);
        mShmPending = true;
    } else {
        XPutImage(mDisplay, mDrawable, mGC, mImage, x, y, x, y, static_cast<unsigned>(w),
                  static_cast<unsigned>(h));
        mBytesSent += static_cast<long long>(w) * h * (mImage->bits_per_pixel / 8);
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
    if (mImage->bits_per_pixel == 16)
        return ConvertRows<uint16_t>(src, srcX, srcY, dstX, dstY, w, h, onlyChanges);
    return ConvertRows<uint32_t>(src, srcX, srcY, dstX, dstY, w, h, onlyChanges);
}

template <typename Word>
bool X11Surface::ConvertRows(const LICE_IBitmap* src, int srcX, int srcY, int dstX, int dstY, int w, int h,
                             bool onlyChanges) {
    const LICE_pixel* bits = src->getBits();
    const int span = src->getRowSpan();
    const int stride = mImage->bytes_per_line / static_cast<int>(sizeof(Word));
    Word* out = reinterpret_cast<Word*>(mImage->data);
    // The rows changed so far and not yet sent: top..last, columns left..right (block coordinates).
    int top = -1, last = -1, left = 0, right = 0;
    const int bytesPerPixel = static_cast<int>(sizeof(Word));
    for (int y = 0; y < h; ++y) {
        const LICE_pixel* in = bits + static_cast<size_t>(srcY + y) * span + srcX;
        Word* row = out + static_cast<size_t>(dstY + y) * stride + dstX;
        uint32_t* sent = mSent.data() + static_cast<size_t>(dstY + y) * mWidth + dstX;
        int first = w, end = -1;
        for (int x = 0; x < w; ++x) {
            const uint32_t p = in[x] | 0xFFu;
            if (sent[x] != p) {
                sent[x] = p;
                row[x] = static_cast<Word>(ToVisualPixel(p));
                first = std::min(first, x);
                end = x;
            }
        }
        if (!onlyChanges) first = 0, end = w - 1;
        if (end < 0) continue;
        if (top >= 0) {
            const int l = std::min(left, first), r = std::max(right, end);
            if ((y - last - 1) * (r - l + 1) * bytesPerPixel > kBridgeBytes) {
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
    const auto channel = [xPixel](int shift, int bits) {
        return static_cast<int>(Narrow((static_cast<uint32_t>(xPixel) >> shift) & ((1u << bits) - 1u), bits));
    };
    const int r = channel(mRedShift, mRedBits);
    const int g = channel(mGreenShift, mGreenBits);
    const int b = channel(mBlueShift, mBlueBits);
    return LICE_RGBA(r, g, b, 255);
}
