#include "raster/Blit.h"

#include <cmath>
#include <vector>

namespace {
// Weight clamped to 0..1; NaN draws nothing.
float ClampWeight(float w) {
    if (!(w > 0.0f)) return 0.0f;
    return w > 1.0f ? 1.0f : w;
}

int Round255(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<int>(v + 0.5f);
}

int Mix(int d, int s, float t) {
    return Round255(static_cast<float>(d) + static_cast<float>(s - d) * t);
}

int Dodge(int d, int s) {
    if (s >= 255) return 255;
    const int v = d * 255 / (255 - s);
    return v > 255 ? 255 : v;
}

LICE_pixel Composite(LICE_pixel d, LICE_pixel s, float w, int mode) {
    const int dA = LICE_GETA(d), dR = LICE_GETR(d), dG = LICE_GETG(d), dB = LICE_GETB(d);
    const int sA = LICE_GETA(s), sR = LICE_GETR(s), sG = LICE_GETG(s), sB = LICE_GETB(s);
    if (mode == LICE_BLIT_MODE_CLOBBER)
        return LICE_RGBA(Mix(dR, sR, w), Mix(dG, sG, w), Mix(dB, sB, w), Mix(dA, sA, w));

    const float a = static_cast<float>(sA) / 255.0f * w;
    if (a <= 0.0f) return d;
    const int outA = Mix(dA, 255, a);
    switch (mode) {
        case LICE_BLIT_MODE_COPY:
            return LICE_RGBA(Mix(dR, sR, a), Mix(dG, sG, a), Mix(dB, sB, a), outA);
        case LICE_BLIT_MODE_ADD:
            return LICE_RGBA(Round255(static_cast<float>(dR) + static_cast<float>(sR) * a),
                             Round255(static_cast<float>(dG) + static_cast<float>(sG) * a),
                             Round255(static_cast<float>(dB) + static_cast<float>(sB) * a), outA);
        case LICE_BLIT_MODE_DODGE:
            return LICE_RGBA(Mix(dR, Dodge(dR, sR), a), Mix(dG, Dodge(dG, sG), a), Mix(dB, Dodge(dB, sB), a),
                             outA);
        default:
            return d;
    }
}

bool KnownMode(int mode) {
    return mode >= LICE_BLIT_MODE_COPY && mode <= LICE_BLIT_MODE_DODGE;
}

// Shrinks [pos, pos + len) to [0, limit), moving `other` by as much as pos moved. 64-bit so that
// extreme offsets cannot overflow.
void ClipSpan(long long& pos, long long& other, long long& len, long long limit) {
    if (pos < 0) {
        len += pos;
        other -= pos;
        pos = 0;
    }
    if (len > limit - pos) len = limit - pos;
}
}  // namespace

void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int w,
               int h, float weight, int mode) {
    if (!dest || !src || !KnownMode(mode) || w <= 0 || h <= 0 || !dest->getBits() || !src->getBits()) return;
    // Work in 64 bits while clipping so that extreme offsets cannot overflow.
    long long clipW = w, clipH = h;
    long long dx = dstx, dy = dsty, sx = srcx, sy = srcy;
    ClipSpan(dx, sx, clipW, dest->getWidth());
    ClipSpan(dy, sy, clipH, dest->getHeight());
    ClipSpan(sx, dx, clipW, src->getWidth());
    ClipSpan(sy, dy, clipH, src->getHeight());
    if (clipW <= 0 || clipH <= 0) return;
    const float wt = ClampWeight(weight);
    if (wt <= 0.0f) return;

    const int bw = static_cast<int>(clipW), bh = static_cast<int>(clipH);
    const LICE_pixel* srcBits = src->getBits();
    int srcSpan = src->getRowSpan();
    int srcOffX = static_cast<int>(sx), srcOffY = static_cast<int>(sy);
    std::vector<LICE_pixel> copy;
    if (src == dest) {
        copy.resize(static_cast<size_t>(bw) * static_cast<size_t>(bh));
        for (int row = 0; row < bh; ++row) {
            const LICE_pixel* in = srcBits + static_cast<size_t>(srcOffY + row) * srcSpan + srcOffX;
            for (int col = 0; col < bw; ++col) copy[static_cast<size_t>(row) * bw + col] = in[col];
        }
        srcBits = copy.data();
        srcSpan = bw;
        srcOffX = srcOffY = 0;
    }

    LICE_pixel* dstBits = dest->getBits();
    const int dstSpan = dest->getRowSpan();
    for (int row = 0; row < bh; ++row) {
        const LICE_pixel* in = srcBits + static_cast<size_t>(srcOffY + row) * srcSpan + srcOffX;
        LICE_pixel* out = dstBits + static_cast<size_t>(dy + row) * dstSpan + dx;
        if (mode == LICE_BLIT_MODE_CLOBBER && wt >= 1.0f) {
            for (int col = 0; col < bw; ++col) out[col] = in[col];
            continue;
        }
        for (int col = 0; col < bw; ++col) out[col] = Composite(out[col], in[col], wt, mode);
    }
}

void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float weight, int mode) {
    if (!dest || !KnownMode(mode) || w <= 0 || h <= 0 || !dest->getBits()) return;
    long long cx = x, cy = y, cw = w, ch = h, unused = 0;
    ClipSpan(cx, unused, cw, dest->getWidth());
    ClipSpan(cy, unused, ch, dest->getHeight());
    if (cw <= 0 || ch <= 0) return;
    x = static_cast<int>(cx);
    y = static_cast<int>(cy);
    w = static_cast<int>(cw);
    h = static_cast<int>(ch);
    const float wt = ClampWeight(weight);
    if (wt <= 0.0f) return;
    LICE_pixel* bits = dest->getBits();
    const int span = dest->getRowSpan();
    for (int row = 0; row < h; ++row) {
        LICE_pixel* out = bits + static_cast<size_t>(y + row) * span + x;
        for (int col = 0; col < w; ++col) out[col] = Composite(out[col], color, wt, mode);
    }
}

void LICE_Clear(LICE_IBitmap* dest, LICE_pixel color) {
    if (!dest || !dest->getBits()) return;
    LICE_pixel* bits = dest->getBits();
    const int span = dest->getRowSpan(), w = dest->getWidth(), h = dest->getHeight();
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) bits[static_cast<size_t>(row) * span + col] = color;
}

LICE_pixel LICE_GetPixel(const LICE_IBitmap* bm, int x, int y) {
    if (!bm || !bm->getBits() || x < 0 || y < 0 || x >= bm->getWidth() || y >= bm->getHeight()) return 0;
    return bm->getBits()[static_cast<size_t>(y) * bm->getRowSpan() + x];
}

void LICE_PutPixel(LICE_IBitmap* bm, int x, int y, LICE_pixel color, float weight, int mode) {
    LICE_FillRect(bm, x, y, 1, 1, color, weight, mode);
}
