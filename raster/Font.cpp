#include "raster/Font.h"

#include "raster/Blit.h"
#include "raster/FontFace.h"

#include FT_SYNTHESIS_H
#include FT_GLYPH_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace {
// Heights beyond this are clamped: a glyph of a few thousand pixels would only waste memory.
constexpr int kMaxHeight = 1000;
// The glyph cache is emptied when it grows past this many glyphs (long runs of varied text).
constexpr size_t kMaxCachedGlyphs = 4096;
// Slant of a synthesised italic, as FreeType's 16.16 fixed point (about 12 degrees).
constexpr FT_Fixed kItalicShear = 0x0366A;
constexpr double kPi = 3.14159265358979323846;

struct Glyph {
    int left = 0;  // ink's left edge relative to the pen
    int top = 0;   // ink's top edge above the baseline
    int width = 0;
    int rows = 0;
    int advance = 0;                // whole pixels
    std::vector<uint8_t> coverage;  // width x rows, 0..255
};

constexpr uint32_t kReplacement = 0xFFFD;

// Decodes UTF-8 into lines of code points. Malformed sequences give U+FFFD and resume at the next
// byte; "\r\n" and "\n" end a line, a lone "\r" is dropped.
std::vector<std::vector<uint32_t>> SplitLines(const char* str, size_t len) {
    std::vector<std::vector<uint32_t>> lines(1);
    const auto* s = reinterpret_cast<const unsigned char*>(str);
    size_t i = 0;
    while (i < len) {
        const unsigned char c = s[i];
        if (c == '\n') {
            lines.emplace_back();
            ++i;
            continue;
        }
        if (c == '\r') {
            ++i;
            continue;
        }
        if (c < 0x80) {
            lines.back().push_back(c);
            ++i;
            continue;
        }
        int extra = 0;
        uint32_t cp = 0, minimum = 0;
        if ((c & 0xE0) == 0xC0)
            extra = 1, cp = c & 0x1F, minimum = 0x80;
        else if ((c & 0xF0) == 0xE0)
            extra = 2, cp = c & 0x0F, minimum = 0x800;
        else if ((c & 0xF8) == 0xF0)
            extra = 3, cp = c & 0x07, minimum = 0x10000;
        else {
            lines.back().push_back(kReplacement);
            ++i;
            continue;
        }
        bool valid = i + extra < len;
        for (int k = 1; valid && k <= extra; ++k) {
            const unsigned char cc = s[i + k];
            if ((cc & 0xC0) != 0x80)
                valid = false;
            else
                cp = cp << 6 | (cc & 0x3F);
        }
        if (!valid || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            lines.back().push_back(kReplacement);
            ++i;
            continue;
        }
        lines.back().push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return lines;
}

FT_Matrix Multiply(const FT_Matrix& a, const FT_Matrix& b) {
    FT_Matrix r = b;
    FT_Matrix_Multiply(&a, &r);  // r = a * r
    return r;
}

FT_Matrix Rotation(int tenths) {
    const double rad = tenths / 10.0 * kPi / 180.0;
    FT_Matrix m;
    m.xx = static_cast<FT_Fixed>(std::lround(std::cos(rad) * 65536.0));
    m.xy = static_cast<FT_Fixed>(std::lround(-std::sin(rad) * 65536.0));
    m.yx = static_cast<FT_Fixed>(std::lround(std::sin(rad) * 65536.0));
    m.yy = m.xx;
    return m;
}

int NormaliseTenths(int tenths) {
    return ((tenths % 3600) + 3600) % 3600;
}

struct InkTarget {
    LICE_IBitmap* bm;
    LICE_Rect clip;  // already inside the raster
    LICE_pixel colorNoAlpha;
    int alpha;  // 0..255, multiplies coverage
};

void PutGlyph(const InkTarget& t, const Glyph& g, int x0, int y0) {
    for (int row = 0; row < g.rows; ++row) {
        const int y = y0 + row;
        if (y < t.clip.top || y >= t.clip.bottom) continue;
        for (int col = 0; col < g.width; ++col) {
            const int x = x0 + col;
            const int c = g.coverage[static_cast<size_t>(row) * g.width + col];
            if (c == 0 || x < t.clip.left || x >= t.clip.right) continue;
            const int a = (c * t.alpha + 127) / 255;
            if (a > 0)
                LICE_PutPixel(t.bm, x, y, t.colorNoAlpha | static_cast<LICE_pixel>(a), 1.0f,
                              LICE_BLIT_MODE_COPY);
        }
    }
}
}  // namespace

struct LICE_CachedFont::Impl {
    mutable std::mutex mutex;
    std::shared_ptr<lice_detail::FtLibrary> lib;
    // Kept from the first SetFromDesc for the font's life, so that re-creating a face does not
    // load the configuration again and it goes away with the last font.
    std::shared_ptr<lice_detail::FcConfiguration> fontconfig;
    FT_Face face = nullptr;
    LICE_pixel color = LICE_RGBA(0, 0, 0, 255);
    int lineHeight = 0;
    int ascent = 0;
    bool mono = false;
    bool embolden = false;
    bool slant = false;
    int escapement = 0;   // tenths of a degree, 0..3599
    int orientation = 0;  // tenths of a degree, 0..3599
    bool fixedPitch = false;
    std::string family;
    std::unordered_map<FT_UInt, Glyph> glyphs;

    ~Impl() { ReleaseFace(); }

    void ReleaseFace() {
        glyphs.clear();
        if (face) {
            std::lock_guard<std::mutex> libLock(lib->mutex);
            FT_Done_Face(face);
            face = nullptr;
        }
        lineHeight = ascent = 0;
        fixedPitch = false;
        family.clear();
    }

    FT_Matrix GlyphMatrix(int rotationTenths) const {
        FT_Matrix m = Rotation(rotationTenths);
        if (slant) {
            const FT_Matrix shear = {0x10000, kItalicShear, 0, 0x10000};
            m = Multiply(m, shear);
        }
        return m;
    }

    // Loads and renders one glyph with the glyph matrix of `rotationTenths`.
    bool Render(FT_UInt index, int rotationTenths, Glyph* out) {
        FT_Matrix m = GlyphMatrix(rotationTenths);
        FT_Set_Transform(face, &m, nullptr);
        const FT_Int32 loadFlags = FT_LOAD_DEFAULT | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        if (FT_Load_Glyph(face, index, loadFlags) != 0) return false;
        FT_GlyphSlot slot = face->glyph;
        if (embolden) FT_GlyphSlot_Embolden(slot);
        if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return false;
        const FT_Bitmap& bmp = slot->bitmap;
        out->left = slot->bitmap_left;
        out->top = slot->bitmap_top;
        out->width = static_cast<int>(bmp.width);
        out->rows = static_cast<int>(bmp.rows);
        out->advance = static_cast<int>((slot->advance.x + 32) >> 6);
        out->coverage.assign(static_cast<size_t>(out->width) * out->rows, 0);
        const int pitch = bmp.pitch < 0 ? -bmp.pitch : bmp.pitch;
        for (int row = 0; row < out->rows; ++row) {
            const int srcRow = bmp.pitch < 0 ? out->rows - 1 - row : row;
            const unsigned char* in = bmp.buffer + static_cast<size_t>(srcRow) * pitch;
            uint8_t* dst = out->coverage.data() + static_cast<size_t>(row) * out->width;
            for (int col = 0; col < out->width; ++col) {
                if (bmp.pixel_mode == FT_PIXEL_MODE_MONO)
                    dst[col] = (in[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
                else if (bmp.pixel_mode == FT_PIXEL_MODE_GRAY)
                    dst[col] = in[col];
            }
        }
        return true;
    }

    // The upright glyph (synthesised slant included), rendered on first use. The reference is valid
    // until the next call.
    const Glyph& UprightGlyph(uint32_t cp) {
        const FT_UInt index = FT_Get_Char_Index(face, cp);
        auto it = glyphs.find(index);
        if (it != glyphs.end()) return it->second;
        if (glyphs.size() >= kMaxCachedGlyphs) glyphs.clear();
        Glyph g;
        if (!Render(index, 0, &g))
            g = Glyph();  // a glyph FreeType cannot render takes no space and shows nothing
        return glyphs.emplace(index, std::move(g)).first->second;
    }

    int Draw(LICE_IBitmap* bm, const char* str, int strLen, LICE_Rect* rect, unsigned int flags,
             LICE_pixel textColor) {
        if (!rect) return 0;
        size_t len = 0;
        if (str) {
            // A counted text need not be terminated: never read past strLen bytes.
            if (strLen < 0) {
                len = std::strlen(str);
            } else {
                const void* end = std::memchr(str, 0, static_cast<size_t>(strLen));
                len = end ? static_cast<size_t>(static_cast<const char*>(end) - str)
                          : static_cast<size_t>(strLen);
            }
        }
        if (!face || len == 0) {
            if (flags & LICE_DT_CALCRECT) {
                rect->right = rect->left;
                rect->bottom = rect->top;
            }
            return 0;
        }

        const std::vector<std::vector<uint32_t>> lines = SplitLines(str, len);
        std::vector<int> widths(lines.size(), 0);
        int textW = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            for (uint32_t cp : lines[i]) widths[i] += UprightGlyph(cp).advance;
            textW = std::max(textW, widths[i]);
        }
        const int textH = static_cast<int>(lines.size()) * lineHeight;
        if (flags & LICE_DT_CALCRECT) {
            rect->right = rect->left + textW;
            rect->bottom = rect->top + textH;
            return textH;
        }
        if (!bm || !bm->getBits()) return textH;

        InkTarget target;
        target.bm = bm;
        target.clip = {0, 0, bm->getWidth(), bm->getHeight()};
        if (!(flags & LICE_DT_NOCLIP)) {
            target.clip.left = std::max(target.clip.left, rect->left);
            target.clip.top = std::max(target.clip.top, rect->top);
            target.clip.right = std::min(target.clip.right, rect->right);
            target.clip.bottom = std::min(target.clip.bottom, rect->bottom);
        }
        target.colorNoAlpha = textColor & ~static_cast<LICE_pixel>(0xFF);
        target.alpha = (flags & LICE_DT_USEFGALPHA) ? LICE_GETA(textColor) : 255;
        if (target.alpha == 0 || target.clip.left >= target.clip.right ||
            target.clip.top >= target.clip.bottom)
            return textH;

        const int rectW = rect->right - rect->left;
        auto alignedX = [&](int width) {
            if (flags & LICE_DT_RIGHT) return rect->right - width;
            if (flags & LICE_DT_CENTER) return rect->left + (rectW - width) / 2;
            return rect->left;
        };
        int boxY = rect->top;
        if (flags & LICE_DT_BOTTOM)
            boxY = rect->bottom - textH;
        else if (flags & LICE_DT_VCENTER)
            boxY = rect->top + (rect->bottom - rect->top - textH) / 2;

        const bool rotated = escapement != 0 || orientation != 0;
        const int boxX = alignedX(textW);
        const double escRad = escapement / 10.0 * kPi / 180.0;
        const double cosE = std::cos(escRad), sinE = std::sin(escRad);
        for (size_t i = 0; i < lines.size(); ++i) {
            int pen = alignedX(widths[i]);
            const int baseline = boxY + static_cast<int>(i) * lineHeight + ascent;
            for (uint32_t cp : lines[i]) {
                if (!rotated) {
                    const Glyph& g = UprightGlyph(cp);
                    PutGlyph(target, g, pen + g.left, baseline - g.top);
                    pen += g.advance;
                    continue;
                }
                // Rotate the upright pen position about the text box's top-left corner (y grows down,
                // angles turn counter-clockwise on screen).
                const int advance = UprightGlyph(cp).advance;
                const double u = pen - boxX, v = baseline - boxY;
                const int px = boxX + static_cast<int>(std::lround(u * cosE + v * sinE));
                const int py = boxY + static_cast<int>(std::lround(-u * sinE + v * cosE));
                Glyph g;
                if (Render(FT_Get_Char_Index(face, cp), orientation, &g))
                    PutGlyph(target, g, px + g.left, py - g.top);
                pen += advance;
            }
        }
        return textH;
    }
};

LICE_CachedFont::LICE_CachedFont() : mImpl(new Impl) {}

LICE_CachedFont::~LICE_CachedFont() = default;

bool LICE_CachedFont::SetFromDesc(const LICE_FontDesc& desc) {
    std::lock_guard<std::mutex> lock(mImpl->mutex);
    Impl& im = *mImpl;
    im.ReleaseFace();
    if (!im.lib) im.lib = lice_detail::AcquireFtLibrary();
    if (!im.lib) return false;
    if (!im.fontconfig) im.fontconfig = lice_detail::AcquireFcConfiguration();
    if (!im.fontconfig) return false;

    char family[sizeof desc.face + 1];
    std::memcpy(family, desc.face, sizeof desc.face);
    family[sizeof desc.face] = '\0';  // the caller's buffer may lack a terminator
    lice_detail::ResolvedFace resolved;
    if (!lice_detail::ResolveFace(*im.fontconfig, family, desc.weight, desc.italic, &resolved)) return false;

    FT_Face face = nullptr;
    {
        std::lock_guard<std::mutex> libLock(im.lib->mutex);
        if (FT_New_Face(im.lib->library, resolved.file.c_str(), resolved.index, &face) != 0) return false;
    }
    const int height = std::min(kMaxHeight, std::max(2, desc.height));
    FT_Size_RequestRec request = {};
    request.type = FT_SIZE_REQUEST_TYPE_CELL;  // ascent + descent spans the requested height
    request.width = 0;
    request.height = static_cast<FT_Long>(height) * 64;
    if (FT_Request_Size(face, &request) != 0) {
        std::lock_guard<std::mutex> libLock(im.lib->mutex);
        FT_Done_Face(face);
        return false;
    }
    im.face = face;
    const FT_Size_Metrics& m = face->size->metrics;
    im.ascent = static_cast<int>((m.ascender + 63) >> 6);
    im.lineHeight = im.ascent + static_cast<int>((-m.descender + 63) >> 6);
    im.mono = desc.quality == LICE_FONT_QUALITY_NONANTIALIASED ||
              (desc.quality == LICE_FONT_QUALITY_DEFAULT && !resolved.antialias);
    im.embolden = resolved.synthesiseBold;
    im.slant = resolved.synthesiseItalic;
    im.escapement = NormaliseTenths(desc.escapementTenths);
    im.orientation = NormaliseTenths(desc.orientationTenths);
    im.fixedPitch = FT_IS_FIXED_WIDTH(face) != 0;
    im.family = resolved.family;
    return true;
}

void LICE_CachedFont::SetTextColor(LICE_pixel color) {
    std::lock_guard<std::mutex> lock(mImpl->mutex);
    mImpl->color = color;
}

LICE_pixel LICE_CachedFont::GetTextColor() const {
    std::lock_guard<std::mutex> lock(mImpl->mutex);
    return mImpl->color;
}

int LICE_CachedFont::DrawText(LICE_IBitmap* bm, const char* str, int strLen, LICE_Rect* rect,
                              unsigned int flags) {
    std::lock_guard<std::mutex> lock(mImpl->mutex);
    return mImpl->Draw(bm, str, strLen, rect, flags, mImpl->color);
}

int LICE_CachedFont::DrawText(LICE_IBitmap* bm, const char* str, int strLen, LICE_Rect* rect,
                              unsigned int flags, LICE_pixel color) {
    std::lock_guard<std::mutex> lock(mImpl->mutex);
    return mImpl->Draw(bm, str, strLen, rect, flags, color);
}

int LICE_CachedFont::GetLineHeight() const {
    std::lock_guard<std::mutex> lock(mImpl->mutex);
    return mImpl->lineHeight;
}

void LICE_CachedFont::GetFamilyName(char* buf, int bufSize) const {
    if (!buf || bufSize <= 0) return;
    std::lock_guard<std::mutex> lock(mImpl->mutex);
    std::snprintf(buf, static_cast<size_t>(bufSize), "%s", mImpl->family.c_str());
}

bool LICE_CachedFont::IsFixedPitch() const {
    std::lock_guard<std::mutex> lock(mImpl->mutex);
    return mImpl->fixedPitch;
}
