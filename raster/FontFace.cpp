#include "raster/FontFace.h"

#include <strings.h>

namespace lice_detail {
FtLibrary::~FtLibrary() {
    if (library) FT_Done_FreeType(library);
}

std::shared_ptr<FtLibrary> AcquireFtLibrary() {
    static std::mutex guard;
    static std::weak_ptr<FtLibrary> current;
    std::lock_guard<std::mutex> lock(guard);
    std::shared_ptr<FtLibrary> lib = current.lock();
    if (lib) return lib;
    lib = std::make_shared<FtLibrary>();
    if (FT_Init_FreeType(&lib->library) != 0) {
        lib->library = nullptr;
        return nullptr;
    }
    current = lib;
    return lib;
}

const char* FallbackFamily(const char* family) {
    static const char* const kMonospaced[] = {"Monaco", "Menlo", "Courier", "Courier New", "Andale Mono"};
    if (family)
        for (const char* mono : kMonospaced)
            if (strcasecmp(family, mono) == 0) return "monospace";
    return "sans-serif";
}

FcConfiguration::~FcConfiguration() {
    if (config) FcConfigDestroy(config);
}

std::shared_ptr<FcConfiguration> AcquireFcConfiguration() {
    static std::mutex guard;
    static std::weak_ptr<FcConfiguration> current;
    std::lock_guard<std::mutex> lock(guard);
    std::shared_ptr<FcConfiguration> fc = current.lock();
    if (fc) return fc;
    fc = std::make_shared<FcConfiguration>();
    // Reads the same configuration files and font caches the default configuration would.
    fc->config = FcInitLoadConfigAndFonts();
    if (!fc->config) return nullptr;
    current = fc;
    return fc;
}

bool ResolveFace(FcConfiguration& fc, const char* family, int weight, bool italic, ResolvedFace* out) {
    std::lock_guard<std::mutex> lock(fc.mutex);
    if (!fc.config) return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    // Families in order of preference: the requested one, then its generic kind, so that a family
    // that is not installed resolves to a face of the same kind rather than fontconfig's default.
    if (family && *family) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(FallbackFamily(family)));
    const bool bold = weight >= 600;
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(fc.config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(fc.config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;

    bool ok = false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        ok = true;
        out->file = reinterpret_cast<const char*>(file);
        int index = 0;
        out->index = FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch ? index : 0;
        FcChar8* matchedFamily = nullptr;
        out->family =
            FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch && matchedFamily
                ? reinterpret_cast<const char*>(matchedFamily)
                : "";
        int matchedWeight = FC_WEIGHT_REGULAR, matchedSlant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
        FcPatternGetInteger(match, FC_SLANT, 0, &matchedSlant);
        out->synthesiseBold = bold && matchedWeight < FC_WEIGHT_DEMIBOLD;
        out->synthesiseItalic = italic && matchedSlant == FC_SLANT_ROMAN;
        FcBool antialias = FcTrue;
        out->antialias = FcPatternGetBool(match, FC_ANTIALIAS, 0, &antialias) != FcResultMatch || antialias;
    }
    FcPatternDestroy(match);
    return ok;
}
}  // namespace lice_detail
