// The editor's plain value records: rectangle, colour, text style, image-strip handle, blend and
// mouse modifiers. All are copyable and hold no locks; each is read and written by one thread at a time
// (the owner says which).
#pragma once

#include <cstdint>

class LICE_IBitmap;
class LICE_IFont;

// A rectangle in editor pixels, origin top-left, y downwards. Empty means all four are 0, not zero area.
struct IRECT {
    int L = 0, T = 0, R = 0, B = 0;

    IRECT() = default;
    IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

    bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
    void Clear() { L = T = R = B = 0; }
    int W() const { return R - L; }
    int H() const { return B - T; }

    bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
    bool operator!=(const IRECT& o) const { return !(*this == o); }

    // Bounding box of both; an empty rectangle contributes nothing.
    IRECT Union(const IRECT* other) const;
    // This rectangle is A: false if either is empty, else R >= o.L, L < o.R, B >= o.T, T < o.B.
    // Not symmetric: touching on this one's right or bottom edge counts, on its left or top edge not.
    bool Intersects(const IRECT* other) const;
    // This rectangle clipped to other (this one as A); empty when they do not intersect.
    IRECT Intersect(const IRECT* other) const;
    // Hit test: L <= x < R and T <= y < B.
    bool Contains(int x, int y) const { return x >= L && x < R && y >= T && y < B; }
};

// A colour, each component 0..255.
struct IColor {
    int A = 255, R = 0, G = 0, B = 0;

    constexpr IColor() = default;
    constexpr IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}

    bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
    bool operator!=(const IColor& o) const { return !(*this == o); }
};

// The raster's 32-bit pixel for a colour: A | R << 8 | G << 16 | B << 24, each component masked to
// 8 bits, so the bytes in memory are A, R, G, B.
uint32_t IColorToPixel(const IColor& c);

inline constexpr IColor COLOR_TRANSPARENT(0, 0, 0, 0);
inline constexpr IColor COLOR_BLACK(255, 0, 0, 0);
inline constexpr IColor COLOR_GRAY(255, 127, 127, 127);
inline constexpr IColor COLOR_WHITE(255, 255, 255, 255);
inline constexpr IColor COLOR_RED(255, 255, 0, 0);
inline constexpr IColor COLOR_GREEN(255, 0, 255, 0);
inline constexpr IColor COLOR_BLUE(255, 0, 0, 255);
inline constexpr IColor COLOR_YELLOW(255, 255, 255, 0);
inline constexpr IColor COLOR_ORANGE(255, 255, 127, 0);

inline constexpr IColor DEFAULT_TEXT_COLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_TEXT_ENTRY_BGCOLOR = COLOR_WHITE;
inline constexpr IColor DEFAULT_TEXT_ENTRY_FGCOLOR = COLOR_BLACK;

// A text style. mCached is filled in by IGraphics::CacheFont on the UI thread and points into the
// process-wide font cache (not owned).
struct IText {
    enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
    enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
    enum EQuality {
        kQualityDefault = 0,
        kQualityNonAntiAliased = 1,
        kQualityAntiAliased = 2,
        kQualityClearType = 3
    };

    static constexpr int kFontNameLen = 32;

    char mFont[kFontNameLen];  // face name, zero-terminated
    int mSize;                 // character height in pixels
    IColor mColor;
    IColor mTextEntryBGColor;
    IColor mTextEntryFGColor;
    int mStyle;        // EStyle
    int mAlign;        // EAlign
    int mOrientation;  // degrees
    int mQuality;      // EQuality
    LICE_IFont* mCached;

    // The face name is cut to 31 characters; null means "Monaco".
    explicit IText(int size = 10, const IColor* color = nullptr, const char* font = nullptr,
                   int style = kStyleNormal, int align = kAlignCenter, int orientation = 0,
                   int quality = kQualityDefault, const IColor* textEntryBGColor = nullptr,
                   const IColor* textEntryFGColor = nullptr);

    void SetFont(const char* font);
};

// Handle to a decoded image strip. mData belongs to the process-wide bitmap cache.
struct IBitmap {
    LICE_IBitmap* mData = nullptr;
    int W = 0, H = 0;                   // whole image, pixels
    int N = 1;                          // frames in the strip
    bool mFramesAreHorizontal = false;  // side by side; false: stacked top to bottom

    IBitmap() = default;
    IBitmap(LICE_IBitmap* data, int w, int h, int n = 1, bool framesAreHorizontal = false)
        : mData(data), W(w), H(h), N(n), mFramesAreHorizontal(framesAreHorizontal) {}

    // Size of one frame (integer division; a frame count below 1 counts as 1).
    int FrameWidth() const;
    int FrameHeight() const;
};

// How a control composites onto the raster, and with which opacity (0..1).
struct IChannelBlend {
    enum EBlendMethod { kBlendNone = 0, kBlendClobber = 1, kBlendAdd = 2, kBlendColorDodge = 3 };

    int mMethod;
    float mWeight;

    IChannelBlend(int method = kBlendNone, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
};

// Buttons and keys held during a mouse event. R is also set for a command-click.
struct IMouseMod {
    bool L, R, S, C, A;

    IMouseMod(bool l = false, bool r = false, bool s = false, bool c = false, bool a = false)
        : L(l), R(r), S(s), C(c), A(a) {}
};
