#pragma once
// Pixel format of every raster in this library.
//
// A pixel is one 32-bit word holding alpha in bits 0-7, red in 8-15, green in 16-23 and blue in
// 24-31: LICE_RGBA(r, g, b, a) == a | r << 8 | g << 16 | b << 24. On the little-endian machines we
// run on, the bytes in memory are therefore A, R, G, B, the same order in which decoded PNG images
// arrive (alpha first) and in which the editor's off-screen raster is handed to the screen (the
// first byte of each pixel ignored). Colour channels are straight (not premultiplied by alpha).
//
// Thread: all of these are pure functions, callable from any thread.

#include <cstdint>

typedef uint32_t LICE_pixel;

// Each component is masked to 8 bits, so out-of-range values wrap instead of spilling into
// the neighbouring channel.
constexpr LICE_pixel LICE_RGBA(int r, int g, int b, int a) {
    return (static_cast<LICE_pixel>(a) & 0xFFu) | ((static_cast<LICE_pixel>(r) & 0xFFu) << 8) |
           ((static_cast<LICE_pixel>(g) & 0xFFu) << 16) | ((static_cast<LICE_pixel>(b) & 0xFFu) << 24);
}

constexpr int LICE_GETA(LICE_pixel p) {
    return static_cast<int>(p & 0xFFu);
}
constexpr int LICE_GETR(LICE_pixel p) {
    return static_cast<int>((p >> 8) & 0xFFu);
}
constexpr int LICE_GETG(LICE_pixel p) {
    return static_cast<int>((p >> 16) & 0xFFu);
}
constexpr int LICE_GETB(LICE_pixel p) {
    return static_cast<int>((p >> 24) & 0xFFu);
}

// A rectangle in raster pixels, origin at the top-left, y growing downwards; right and bottom are
// exclusive (width = right - left).
struct LICE_Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
