#include "tools/images/Painter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quenlix::images {

namespace {

// Sub-samples per pixel side for anti-aliased shapes.
constexpr int SUBSAMPLES = 4;

bool insideRounded(double px, double py, double x, double y, double w, double h, double r) {
    if (px < x || py < y || px >= x + w || py >= y + h) return false;
    const double cx = std::clamp(px, x + r, x + w - r);
    const double cy = std::clamp(py, y + r, y + h - r);
    const double dx = px - cx;
    const double dy = py - cy;
    return dx * dx + dy * dy <= r * r;
}

// Fraction of pixel (ix, iy) covered by the rounded rectangle.
double roundedCoverage(int ix, int iy, double x, double y, double w, double h, double r) {
    int hits = 0;
    for (int sy = 0; sy < SUBSAMPLES; ++sy)
        for (int sx = 0; sx < SUBSAMPLES; ++sx) {
            const double px = ix + (sx + 0.5) / SUBSAMPLES;
            const double py = iy + (sy + 0.5) / SUBSAMPLES;
            if (insideRounded(px, py, x, y, w, h, r)) ++hits;
        }
    return static_cast<double>(hits) / (SUBSAMPLES * SUBSAMPLES);
}

int channelMix(int a, int b, double t) {
    return static_cast<int>(std::lround(a + (b - a) * t));
}

}  // namespace

LICE_pixel mixColour(LICE_pixel from, LICE_pixel to, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return LICE_RGBA(
        channelMix(LICE_GETR(from), LICE_GETR(to), t), channelMix(LICE_GETG(from), LICE_GETG(to), t),
        channelMix(LICE_GETB(from), LICE_GETB(to), t), channelMix(LICE_GETA(from), LICE_GETA(to), t));
}

LICE_pixel shade(LICE_pixel colour, double factor) {
    if (factor <= 1.0) {
        const LICE_pixel black = LICE_RGBA(0, 0, 0, LICE_GETA(colour));
        return mixColour(black, colour, factor);
    }
    const LICE_pixel white = LICE_RGBA(255, 255, 255, LICE_GETA(colour));
    return mixColour(colour, white, factor - 1.0);
}

LICE_CachedFont& FontBook::font(const TextStyle& style) {
    const auto key = std::make_tuple(std::string(style.face), style.height, style.weight);
    auto it = mFonts.find(key);
    if (it != mFonts.end()) return *it->second;
    auto font = std::make_unique<LICE_CachedFont>();
    LICE_FontDesc desc;
    desc.height = style.height;
    desc.weight = style.weight;
    desc.quality = LICE_FONT_QUALITY_ANTIALIASED;
    std::snprintf(desc.face, sizeof desc.face, "%s", style.face);
    if (!font->SetFromDesc(desc)) {
        std::fprintf(stderr, "quenlix_make_images: cannot load the font \"%s\" (install fonts-dejavu-core)\n",
                     style.face);
        std::exit(1);
    }
    char family[64] = {};
    font->GetFamilyName(family, sizeof family);
    if (std::strncmp(family, "DejaVu", 6) != 0)
        std::fprintf(stderr, "quenlix_make_images: warning: \"%s\" resolved to \"%s\"\n", style.face, family);
    LICE_CachedFont& ref = *font;
    mFonts.emplace(key, std::move(font));
    return ref;
}

Painter::Painter(LICE_IBitmap* target, FontBook* fonts) : mTarget(target), mFonts(fonts) {}

void Painter::fill(int x, int y, int w, int h, LICE_pixel colour, float opacity) {
    LICE_FillRect(mTarget, x, y, w, h, colour, opacity, LICE_BLIT_MODE_COPY);
}

void Painter::verticalGradient(int x, int y, int w, int h, LICE_pixel top, LICE_pixel bottom) {
    for (int row = 0; row < h; ++row) {
        const double t = h > 1 ? static_cast<double>(row) / (h - 1) : 0.0;
        fill(x, y + row, w, 1, mixColour(top, bottom, t));
    }
}

void Painter::roundedRect(double x, double y, double w, double h, double radius, LICE_pixel top,
                          LICE_pixel bottom, float opacity) {
    const int x0 = static_cast<int>(std::floor(x));
    const int y0 = static_cast<int>(std::floor(y));
    const int x1 = static_cast<int>(std::ceil(x + w));
    const int y1 = static_cast<int>(std::ceil(y + h));
    for (int iy = y0; iy < y1; ++iy) {
        const double t = h > 1.0 ? std::clamp((iy + 0.5 - y) / h, 0.0, 1.0) : 0.0;
        const LICE_pixel colour = mixColour(top, bottom, t);
        for (int ix = x0; ix < x1; ++ix) {
            const double c = roundedCoverage(ix, iy, x, y, w, h, radius);
            if (c > 0.0)
                LICE_PutPixel(mTarget, ix, iy, colour, static_cast<float>(c) * opacity, LICE_BLIT_MODE_COPY);
        }
    }
}

void Painter::roundedOutline(double x, double y, double w, double h, double radius, double thickness,
                             LICE_pixel colour, float opacity) {
    const int x0 = static_cast<int>(std::floor(x));
    const int y0 = static_cast<int>(std::floor(y));
    const int x1 = static_cast<int>(std::ceil(x + w));
    const int y1 = static_cast<int>(std::ceil(y + h));
    const double innerRadius = std::max(0.0, radius - thickness);
    for (int iy = y0; iy < y1; ++iy)
        for (int ix = x0; ix < x1; ++ix) {
            const double outer = roundedCoverage(ix, iy, x, y, w, h, radius);
            const double inner = roundedCoverage(ix, iy, x + thickness, y + thickness, w - 2 * thickness,
                                                 h - 2 * thickness, innerRadius);
            const double c = outer - inner;
            if (c > 0.0)
                LICE_PutPixel(mTarget, ix, iy, colour, static_cast<float>(c) * opacity, LICE_BLIT_MODE_COPY);
        }
}

void Painter::glow(double x, double y, double w, double h, double spread, LICE_pixel colour, float opacity) {
    const int x0 = static_cast<int>(std::floor(x - spread));
    const int y0 = static_cast<int>(std::floor(y - spread));
    const int x1 = static_cast<int>(std::ceil(x + w + spread));
    const int y1 = static_cast<int>(std::ceil(y + h + spread));
    for (int iy = y0; iy < y1; ++iy)
        for (int ix = x0; ix < x1; ++ix) {
            const double px = ix + 0.5;
            const double py = iy + 0.5;
            const double dx = std::max({x - px, 0.0, px - (x + w)});
            const double dy = std::max({y - py, 0.0, py - (y + h)});
            if (dx == 0.0 && dy == 0.0) continue;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d >= spread) continue;
            const double fall = 1.0 - d / spread;
            LICE_PutPixel(mTarget, ix, iy, colour, static_cast<float>(fall * fall) * opacity,
                          LICE_BLIT_MODE_COPY);
        }
}

void Painter::hLine(int x, int y, int w, LICE_pixel colour, float opacity) {
    fill(x, y, w, 1, colour, opacity);
}

void Painter::vLine(int x, int y, int h, LICE_pixel colour, float opacity) {
    fill(x, y, 1, h, colour, opacity);
}

void Painter::downTriangle(double cx, double y, double w, double h, LICE_pixel colour) {
    const int x0 = static_cast<int>(std::floor(cx - w / 2));
    const int x1 = static_cast<int>(std::ceil(cx + w / 2));
    const int y0 = static_cast<int>(std::floor(y));
    const int y1 = static_cast<int>(std::ceil(y + h));
    for (int iy = y0; iy < y1; ++iy)
        for (int ix = x0; ix < x1; ++ix) {
            int hits = 0;
            for (int sy = 0; sy < SUBSAMPLES; ++sy)
                for (int sx = 0; sx < SUBSAMPLES; ++sx) {
                    const double px = ix + (sx + 0.5) / SUBSAMPLES;
                    const double py = iy + (sy + 0.5) / SUBSAMPLES;
                    const double t = (py - y) / h;  // 0 at the base, 1 at the apex
                    if (t < 0.0 || t > 1.0) continue;
                    if (std::fabs(px - cx) <= (1.0 - t) * w / 2) ++hits;
                }
            if (hits > 0)
                LICE_PutPixel(mTarget, ix, iy, colour, static_cast<float>(hits) / (SUBSAMPLES * SUBSAMPLES),
                              LICE_BLIT_MODE_COPY);
        }
}

void Painter::text(const char* str, int x, int y, int w, int h, const TextStyle& style, unsigned int align) {
    LICE_Rect r{x, y, x + w, y + h};
    mFonts->font(style).DrawText(mTarget, str, -1, &r, align | LICE_DT_NOCLIP | LICE_DT_USEFGALPHA,
                                 style.colour);
}

void Painter::fittedText(const char* str, int x, int y, int w, int h, const TextStyle& style,
                         unsigned int align) {
    if (w <= 0 || h <= 0) return;
    if (textWidth(str, style) <= w) {
        text(str, x, y, w, h, style, align);
        return;
    }
    constexpr int SCALE = 4;
    TextStyle big = style;
    big.height = style.height * SCALE;
    big.colour = rgb(255, 255, 255);
    const int bigWidth = textWidth(str, big);
    LICE_MemBitmap ink(bigWidth, h * SCALE);
    LICE_Rect r{0, 0, bigWidth, h * SCALE};
    mFonts->font(big).DrawText(&ink, str, -1, &r,
                               (align & ~(LICE_DT_CENTER | LICE_DT_RIGHT)) | LICE_DT_NOCLIP, big.colour);
    // Box filter: target column c covers source columns [c * step, (c + 1) * step).
    const double step = static_cast<double>(bigWidth) / w;
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            const double from = col * step;
            const double to = from + step;
            double sum = 0.0;
            for (int sx = static_cast<int>(from); sx < bigWidth && sx < to; ++sx) {
                const double weight = std::min(to, sx + 1.0) - std::max(from, static_cast<double>(sx));
                for (int sy = row * SCALE; sy < (row + 1) * SCALE; ++sy)
                    sum += weight * LICE_GETA(ink.getBits()[sy * ink.getRowSpan() + sx]);
            }
            const double coverage = sum / (step * SCALE * 255.0);
            if (coverage > 0.0)
                LICE_PutPixel(mTarget, x + col, y + row, style.colour,
                              static_cast<float>(std::min(1.0, coverage) * LICE_GETA(style.colour) / 255.0),
                              LICE_BLIT_MODE_COPY);
        }
}

void Painter::spacedText(const char* str, int x, int y, int spacing, const TextStyle& style) {
    const int h = lineHeight(style);
    for (const char* p = str; *p; ++p) {
        const char glyph[2] = {*p, '\0'};
        text(glyph, x, y, 100, h, style, LICE_DT_LEFT | LICE_DT_TOP);
        x += textWidth(glyph, style) + spacing;
    }
}

int Painter::spacedTextWidth(const char* str, int spacing, const TextStyle& style) {
    int width = 0;
    int count = 0;
    for (const char* p = str; *p; ++p, ++count) {
        const char glyph[2] = {*p, '\0'};
        width += textWidth(glyph, style);
    }
    return count > 0 ? width + (count - 1) * spacing : 0;
}

int Painter::textWidth(const char* str, const TextStyle& style) {
    LICE_Rect r{0, 0, 0, 0};
    mFonts->font(style).DrawText(nullptr, str, -1, &r, LICE_DT_CALCRECT);
    return r.right - r.left;
}

int Painter::lineHeight(const TextStyle& style) {
    return mFonts->font(style).GetLineHeight();
}

void placeFrame(LICE_IBitmap* strip, const LICE_IBitmap* frame, int x, int y) {
    LICE_Blit(strip, frame, x, y, 0, 0, frame->getWidth(), frame->getHeight(), 1.0f, LICE_BLIT_MODE_CLOBBER);
}

bool writeImage(const std::string& path, const LICE_IBitmap* bm, bool withAlpha) {
    std::string error;
    if (!LICE_WritePNG(path.c_str(), bm, withAlpha, &error)) {
        std::fprintf(stderr, "quenlix_make_images: cannot write %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

}  // namespace quenlix::images
