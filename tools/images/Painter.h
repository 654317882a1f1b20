#pragma once
// Drawing helpers for the image generator, built on the raster library's fills, pixel access
// and text: anti-aliased rounded rectangles, gradients, hairlines and text in DejaVu faces.
//
// Thread: single-threaded generator code; a Painter and its fonts belong to one thread.

#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "raster/LICE.h"

namespace quenlix::images {

// Opaque colour from 0..255 components.
constexpr LICE_pixel rgb(int r, int g, int b) {
    return LICE_RGBA(r, g, b, 255);
}
// Colour with its own alpha (0..255).
constexpr LICE_pixel rgba(int r, int g, int b, int a) {
    return LICE_RGBA(r, g, b, a);
}
// Linear mix of two colours (all four channels), t in 0..1.
LICE_pixel mixColour(LICE_pixel from, LICE_pixel to, double t);
// Colour scaled towards black (factor < 1) or white (factor > 1: mixes with white by factor - 1).
LICE_pixel shade(LICE_pixel colour, double factor);

// A text style: fontconfig family, line height in pixels, weight (400 normal, 700 bold), colour.
struct TextStyle {
    const char* face = "DejaVu Sans";
    int height = 11;
    int weight = 400;
    LICE_pixel colour = rgb(255, 255, 255);
};

// Fonts are created on first use and kept for the generator's lifetime. A style whose face
// cannot be loaded is a fatal setup error (the generator reports it and exits non-zero).
class FontBook {
  public:
    LICE_CachedFont& font(const TextStyle& style);

  private:
    std::map<std::tuple<std::string, int, int>, std::unique_ptr<LICE_CachedFont>> mFonts;
};

// Every drawing call takes the image's 1x coordinates and sizes; a painter with a scale s draws the
// same picture natively at s times the size into a target that large: rectangles from their scaled
// corners (rounded to whole pixels), shapes at scaled radii, text in faces s times as tall. Text
// measures stay in 1x units, so the layout of every scale is the one of 1x. The origin (target
// pixels) is where the painter's (0, 0) falls, so each frame of a strip starts on a whole pixel of
// its own.
class Painter {
  public:
    // `target` must outlive the painter; `fonts` is shared by every painter of a run.
    Painter(LICE_IBitmap* target, FontBook* fonts, double scale = 1.0, int originX = 0, int originY = 0);

    double scale() const { return mScale; }
    // A 1x coordinate or size (from 0) in target pixels.
    int px(double v) const;

    LICE_IBitmap* target() const { return mTarget; }

    // Composites a solid rectangle (source-over with the colour's alpha times `opacity`).
    void fill(int x, int y, int w, int h, LICE_pixel colour, float opacity = 1.0f);
    // Solid rectangle whose colour runs from `top` (first row) to `bottom` (last row).
    void verticalGradient(int x, int y, int w, int h, LICE_pixel top, LICE_pixel bottom);
    // Anti-aliased rounded rectangle (corner radius in pixels), optionally with a vertical gradient.
    void roundedRect(double x, double y, double w, double h, double radius, LICE_pixel top, LICE_pixel bottom,
                     float opacity = 1.0f);
    void roundedRect(double x, double y, double w, double h, double radius, LICE_pixel colour,
                     float opacity = 1.0f) {
        roundedRect(x, y, w, h, radius, colour, colour, opacity);
    }
    // Anti-aliased outline `thickness` pixels wide just inside the rounded rectangle's edge.
    void roundedOutline(double x, double y, double w, double h, double radius, double thickness,
                        LICE_pixel colour, float opacity = 1.0f);
    // Soft glow: colour composited with an opacity falling from `opacity` at the rectangle's
    // edge to 0 at `spread` pixels outside it (inside the rectangle it is left untouched).
    void glow(double x, double y, double w, double h, double spread, LICE_pixel colour, float opacity);
    // One-pixel lines.
    void hLine(int x, int y, int w, LICE_pixel colour, float opacity = 1.0f);
    void vLine(int x, int y, int h, LICE_pixel colour, float opacity = 1.0f);
    // Small filled isosceles triangle pointing down, anti-aliased, apex at (cx, y + h).
    void downTriangle(double cx, double y, double w, double h, LICE_pixel colour);

    // Draws text into the box (x, y, w, h) with LICE_DT_* alignment flags; ink is not clipped.
    void text(const char* str, int x, int y, int w, int h, const TextStyle& style, unsigned int align);
    // As text(), but text wider than the box is squeezed horizontally to fit it: it is rendered
    // at four times the size and filtered down, so the narrowed letters stay smooth.
    void fittedText(const char* str, int x, int y, int w, int h, const TextStyle& style, unsigned int align);
    // Text drawn letter by letter with `spacing` extra pixels between letters, left-aligned at x.
    void spacedText(const char* str, int x, int y, int spacing, const TextStyle& style);
    int spacedTextWidth(const char* str, int spacing, const TextStyle& style);
    int textWidth(const char* str, const TextStyle& style);
    int lineHeight(const TextStyle& style);

  private:
    int X(double v) const { return mOriginX + px(v); }
    int Y(double v) const { return mOriginY + px(v); }
    TextStyle scaled(const TextStyle& style) const;
    // fittedText in target pixels.
    void fitted(const char* str, int x, int y, int w, int h, const TextStyle& style, unsigned int align);

    LICE_IBitmap* mTarget;
    FontBook* mFonts;
    double mScale;
    int mOriginX, mOriginY;
};

// Size in pixels of `v` 1x pixels drawn at `scale` (rounded, at least 1 for v >= 1).
int scaledSize(int v, double scale);

// Copies `frame` into `strip` at (x, y) as it stands (alpha included).
void placeFrame(LICE_IBitmap* strip, const LICE_IBitmap* frame, int x, int y);

// Writes the raster as a PNG; reports the failure on stderr and returns false.
bool writeImage(const std::string& path, const LICE_IBitmap* bm, bool withAlpha);

}  // namespace quenlix::images
