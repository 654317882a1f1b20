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

int scaledSize(int v, double scale) {
    return static_cast<int>(std::floor(v * scale + 0.5));
}

Painter::Painter(LICE_IBitmap* target, FontBook* fonts, double scale, int originX, int originY)
    : mTarget(target), mFonts(fonts), mScale(scale), mOriginX(originX), mOriginY(originY) {}

int Painter::px(double v) const {
    // Halves round up, the same way for every edge, so neighbouring rectangles still meet.
    return static_cast<int>(std::floor(v * mScale + 0.5));
}

TextStyle Painter::scaled(const TextStyle& style) const {
    TextStyle out = style;
    out.height = std::max(1, px(style.height));
    return out;
}

void Painter::fill(int x, int y, int w, int h, LICE_pixel colour, float opacity) {
    const int x0 = X(x), y0 = Y(y);
    LICE_FillRect(mTarget, x0, y0, X(x + w) - x0, Y(y + h) - y0, colour, opacity, LICE_BLIT_MODE_COPY);
}

void Painter::verticalGradient(int x, int y, int w, int h, LICE_pixel top, LICE_pixel bottom) {
    // Row by row of the target, so a scaled gradient is as smooth as at 1x.
    const int x0 = X(x), x1 = X(x + w), y0 = Y(y), rows = Y(y + h) - y0;
    for (int row = 0; row < rows; ++row) {
        const double t = rows > 1 ? static_cast<double>(row) / (rows - 1) : 0.0;
        LICE_FillRect(mTarget, x0, y0 + row, x1 - x0, 1, mixColour(top, bottom, t), 1.0f,
                      LICE_BLIT_MODE_COPY);
    }
}

void Painter::roundedRect(double x, double y, double w, double h, double radius, LICE_pixel top,
                          LICE_pixel bottom, float opacity) {
    x = mOriginX + x * mScale, y = mOriginY + y * mScale, w *= mScale, h *= mScale, radius *= mScale;
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
    x = mOriginX + x * mScale, y = mOriginY + y * mScale, w *= mScale, h *= mScale, radius *= mScale;
    thickness *= mScale;
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
    x = mOriginX + x * mScale, y = mOriginY + y * mScale, w *= mScale, h *= mScale, spread *= mScale;
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
    cx = mOriginX + cx * mScale, y = mOriginY + y * mScale, w *= mScale, h *= mScale;
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
    LICE_Rect r{X(x), Y(y), X(x + w), Y(y + h)};
    mFonts->font(scaled(style))
        .DrawText(mTarget, str, -1, &r, align | LICE_DT_NOCLIP | LICE_DT_USEFGALPHA, style.colour);
}

void Painter::fittedText(const char* str, int x, int y, int w, int h, const TextStyle& style,
                         unsigned int align) {
    if (w <= 0 || h <= 0) return;
    const int x0 = X(x), y0 = Y(y);
    fitted(str, x0, y0, X(x + w) - x0, Y(y + h) - y0, scaled(style), align);
}

void Painter::fitted(const char* str, int x, int y, int w, int h, const TextStyle& style,
                     unsigned int align) {
    if (w <= 0 || h <= 0) return;
    const auto width = [this](const char* s, const TextStyle& st) {
        LICE_Rect m{0, 0, 0, 0};
        mFonts->font(st).DrawText(nullptr, s, -1, &m, LICE_DT_CALCRECT);
        return m.right - m.left;
    };
    if (width(str, style) <= w) {
        LICE_Rect r{x, y, x + w, y + h};
        mFonts->font(style).DrawText(mTarget, str, -1, &r, align | LICE_DT_NOCLIP | LICE_DT_USEFGALPHA,
                                     style.colour);
        return;
    }
    constexpr int SCALE = 4;
    TextStyle big = style;
    big.height = style.height * SCALE;
    big.colour = rgb(255, 255, 255);
    const int bigWidth = width(str, big);
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
    // Letter by letter in target pixels: the scaled face's own advances, the spacing scaled.
    LICE_CachedFont& font = mFonts->font(scaled(style));
    const int h = font.GetLineHeight();
    int left = X(x);
    const int top = Y(y), gap = px(spacing);
    for (const char* p = str; *p; ++p) {
        const char glyph[2] = {*p, '\0'};
        LICE_Rect r{left, top, left + px(100), top + h};
        font.DrawText(mTarget, glyph, -1, &r,
                      LICE_DT_LEFT | LICE_DT_TOP | LICE_DT_NOCLIP | LICE_DT_USEFGALPHA, style.colour);
        LICE_Rect m{0, 0, 0, 0};
        font.DrawText(nullptr, glyph, -1, &m, LICE_DT_CALCRECT);
        left += m.right - m.left + gap;
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
