#pragma once
// Internal to raster/: the process-wide FreeType library and the fontconfig lookup behind
// LICE_CachedFont. Not part of the public interface.
//
// Fonts are resolved through a fontconfig configuration of raster's own, never through
// fontconfig's process-wide default one: the default configuration lives until FcFini, which would
// also pull it from under a host (or any other library) using fontconfig in the same process, so a
// module that used it would leave it behind on every unload.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <fontconfig/fontconfig.h>

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

// raster's own fontconfig configuration (the system's configuration files and installed fonts),
// shared by every font that uses it and destroyed with the last one. Lookups through one
// configuration are serialised on `mutex` (ResolveFace takes it).
struct FcConfiguration {
    FcConfig* config = nullptr;
    std::mutex mutex;
    ~FcConfiguration();
};

// The shared configuration, loaded on first use (or again after the last user released it); null
// when fontconfig cannot load one. A holder keeps it alive, so it is never destroyed while a font
// resolves through it. Thread: any; loading is serialised, so concurrent first uses get one
// configuration.
std::shared_ptr<FcConfiguration> AcquireFcConfiguration();

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
// slant to a font file through `fc`. False when fontconfig finds no scalable face at all.
// Thread: any (serialised on fc.mutex).
bool ResolveFace(FcConfiguration& fc, const char* family, int weight, bool italic, ResolvedFace* out);

// The family a missing `family` resolves to first: DejaVu, which the project's setup installs,
// "DejaVu Sans Mono" for the monospaced Mac families, otherwise "DejaVu Sans". Each has bold,
// oblique and bold oblique faces (the oblique ones from fonts-dejavu-extra).
const char* InstalledFamily(const char* family);

// The generic family tried after InstalledFamily: "monospace" for the monospaced Mac families,
// otherwise "sans-serif".
const char* FallbackFamily(const char* family);
}  // namespace lice_detail
