#pragma once
// Internal to raster/: the process-wide FreeType library and the fontconfig lookup behind
// LICE_CachedFont. Not part of the public interface.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <mutex>
#include <string>

namespace lice_detail {
// One FreeType library for the process, shared by every font and released with the last one.
// FreeType requires creating and destroying faces on one library to be serialised: hold `mutex`
// around FT_New_Face and FT_Done_Face. Work on a face needs only the face owner's own lock.
struct FtLibrary {
    FT_Library library = nullptr;
    std::mutex mutex;
    ~FtLibrary();
};

// The shared library, created on first use; null when FreeType cannot be initialised.
// Thread: any.
std::shared_ptr<FtLibrary> AcquireFtLibrary();

// What fontconfig chose for a request.
struct ResolvedFace {
    std::string file;
    int index = 0;
    std::string family;
    bool synthesiseBold = false;    // bold asked for but the face is not bold
    bool synthesiseItalic = false;  // italic asked for but the face is upright
    bool antialias = true;          // fontconfig's configured default for the face
};

// Resolves a family name (with the fallbacks described in raster/Font.h), weight (100..900) and
// slant to a font file. False when fontconfig finds no scalable face at all. Thread: any
// (serialised internally).
bool ResolveFace(const char* family, int weight, bool italic, ResolvedFace* out);

// The generic family a missing `family` falls back to: "monospace" for the monospaced Mac
// families, otherwise "sans-serif".
const char* FallbackFamily(const char* family);
}  // namespace lice_detail
