#pragma once
// Text drawing and measuring with scalable fonts (FreeType faces found through fontconfig).
//
// Fonts are found through a fontconfig configuration of this library's own, loaded by the first
// font that resolves a face and released with the last font: fontconfig's process-wide default
// configuration (the host's) is neither created, used nor changed, and raster's own does not
// outlive the fonts.
//
// Layout: the text is UTF-8 (malformed bytes show as U+FFFD); "\n" (or "\r\n") starts a new line.
// A line's width is the sum of its glyphs' whole-pixel advances; the text's width is that of its
// widest line and its height is lines x GetLineHeight(). The text box (width x height) is placed in
// the rectangle by the flags: horizontally at left (LICE_DT_LEFT), centred at
// left + (right - left - width) / 2 (LICE_DT_CENTER, division truncating) or at right - width
// (LICE_DT_RIGHT), each line aligned on its own; vertically at top (LICE_DT_TOP),
// top + (bottom - top - height) / 2 (LICE_DT_VCENTER) or bottom - height (LICE_DT_BOTTOM). Each
// line's baseline lies its ascent below the line's top. A font with a non-zero escapement lays the
// text out as above and turns the pen positions counter-clockwise about the text box's top-left
// corner (so at 90 degrees the text runs upwards from there); measuring reports the upright size.
//
// Ink: each glyph's coverage c (0..255, only 0 or 255 when not antialiased) is composited onto the
// raster like LICE_BLIT_MODE_COPY (raster/Blit.h) with a = c / 255, times colourA / 255 when
// LICE_DT_USEFGALPHA is given; without that flag the colour's alpha is ignored (opaque text). Ink
// is clipped to the rectangle unless LICE_DT_NOCLIP is given, and always to the raster.
//
// Thread safety: every member function of LICE_CachedFont may be called from any thread, also
// concurrently on one font (an internal mutex serialises them), so one font can be shared by
// several editors through a process-wide cache. The colour set with SetTextColor is state of the
// font: threads sharing a font should pass the colour with each DrawText call instead.

#include <memory>

#include "raster/Bitmap.h"

// Text flags (combine with |). Alignment values 0 are the defaults.
enum : unsigned int {
    LICE_DT_LEFT = 0x0,
    LICE_DT_CENTER = 0x1,
    LICE_DT_RIGHT = 0x2,
    LICE_DT_TOP = 0x0,
    LICE_DT_VCENTER = 0x4,
    LICE_DT_BOTTOM = 0x8,
    LICE_DT_NOCLIP = 0x100,      // do not clip ink to the rectangle
    LICE_DT_CALCRECT = 0x400,    // measure only: rect->right = left + width, rect->bottom = top + height
    LICE_DT_USEFGALPHA = 0x800,  // draw with the text colour's alpha instead of opaque
};

// Rendering choices of a font.
enum {
    LICE_FONT_QUALITY_DEFAULT = 0,         // what fontconfig configures for the face (normally antialiased)
    LICE_FONT_QUALITY_NONANTIALIASED = 1,  // one-bit glyphs: every pixel fully inked or untouched
    LICE_FONT_QUALITY_ANTIALIASED = 2,     // 8-bit coverage
};

// What to create a font from; mirrors the fields of a system font request.
struct LICE_FontDesc {
    // Requested line height (ascent + descent) in pixels; values below 2 count as 2 and above 1000
    // as 1000. The face is scaled so that its design ascent + descent spans this many pixels; the
    // rounded line height actually obtained (GetLineHeight) may differ by a pixel, and callers
    // wanting an exact match may create the font again with a corrected height.
    int height = 12;
    // Angle of the baseline (text direction), tenths of a degree counter-clockwise.
    int escapementTenths = 0;
    // Angle of each glyph, tenths of a degree counter-clockwise (normally equal to the escapement).
    int orientationTenths = 0;
    // 100..900; 600 and above asks for a bold face (synthesised when the family has none).
    int weight = 400;
    // Asks for an italic or oblique face (synthesised by slanting when the family has none).
    bool italic = false;
    // One of LICE_FONT_QUALITY_*; any other value counts as LICE_FONT_QUALITY_ANTIALIASED.
    int quality = LICE_FONT_QUALITY_DEFAULT;
    // Family name, zero-terminated. Resolved through fontconfig; a family that is not installed
    // falls back to a face of the same kind, first to the one the project installs (DejaVu, from
    // fonts-dejavu-core and fonts-dejavu-extra), so that text does not change with the other fonts a machine
    // has: the monospaced Mac families ("Monaco", "Menlo", "Courier", "Courier New", "Andale Mono") to
    // "DejaVu Sans Mono" and then "monospace", all others to "DejaVu Sans" and then "sans-serif".
    // Empty means "DejaVu Sans".
    char face[64] = "";
};

class LICE_IFont {
  public:
    virtual ~LICE_IFont() = default;

    virtual void SetTextColor(LICE_pixel color) = 0;
    virtual LICE_pixel GetTextColor() const = 0;

    // Draws (or with LICE_DT_CALCRECT measures) `str` in the colour set with SetTextColor.
    // strLen is the number of bytes to use, or -1 for the whole zero-terminated text.
    // Returns the text's height in pixels (0 for an empty or null text, or a font without a face).
    // bm may be null with LICE_DT_CALCRECT.
    virtual int DrawText(LICE_IBitmap* bm, const char* str, int strLen, LICE_Rect* rect,
                         unsigned int flags) = 0;
    // As above, in `color` (the font's own colour is neither used nor changed).
    virtual int DrawText(LICE_IBitmap* bm, const char* str, int strLen, LICE_Rect* rect, unsigned int flags,
                         LICE_pixel color) = 0;

    // Ascent + descent in whole pixels; 0 without a face.
    virtual int GetLineHeight() const = 0;
};

// The FreeType-rendered font. Rendered glyphs are cached inside the font.
class LICE_CachedFont : public LICE_IFont {
  public:
    LICE_CachedFont();
    ~LICE_CachedFont() override;
    LICE_CachedFont(const LICE_CachedFont&) = delete;
    LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

    // (Re)creates the face. Returns false when no face at all can be loaded (no fonts installed,
    // FreeType failure); the font then draws and measures nothing until a later call succeeds.
    bool SetFromDesc(const LICE_FontDesc& desc);

    void SetTextColor(LICE_pixel color) override;
    LICE_pixel GetTextColor() const override;
    int DrawText(LICE_IBitmap* bm, const char* str, int strLen, LICE_Rect* rect, unsigned int flags) override;
    int DrawText(LICE_IBitmap* bm, const char* str, int strLen, LICE_Rect* rect, unsigned int flags,
                 LICE_pixel color) override;
    int GetLineHeight() const override;

    // The family fontconfig resolved the request to ("" without a face), e.g. "DejaVu Sans Mono".
    // Copies into buf (always zero-terminated when bufSize > 0).
    void GetFamilyName(char* buf, int bufSize) const;
    // True when the resolved face has a fixed pitch.
    bool IsFixedPitch() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};
