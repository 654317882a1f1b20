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

namespace {

bool IsMonospacedFamily(const char* family) {
    static const char* const kMonospaced[] = {"Monaco", "Menlo", "Courier", "Courier New", "Andale Mono"};
    if (family)
        for (const char* mono : kMonospaced)
            if (strcasecmp(family, mono) == 0) return true;
    return false;
}

}  // namespace

const char* InstalledFamily(const char* family) {
    return IsMonospacedFamily(family) ? "DejaVu Sans Mono" : "DejaVu Sans";
}

const char* FallbackFamily(const char* family) {
    return IsMonospacedFamily(family) ? "monospace" : "sans-serif";
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
    // Families in order of preference: the requested one; then the family of its kind the project
    // installs itself, so that the text looks the same on every machine that lacks the requested
    // family, whatever other fonts it has (a generic family resolves to whichever the machine's
    // configuration prefers, which may lack a bold or italic face); last the generic kind, for a
    // machine without that family.
    if (family && *family) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(InstalledFamily(family)));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(FallbackFamily(family)));
    const bool bold = weight >= 600;
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(fc.config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    // The best face as it was scanned: its own weight and slant. The configuration prepares a copy
    // for rendering (antialiasing), which may also claim a weight or slant the face does not have
    // (fontconfig's synthetic-style rules ask the renderer to embolden or shear it), so the face's
    // real style is read from the scanned pattern and not from the prepared one.
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(fc.config, pattern, FcFalse, nullptr, &result);
    FcPattern* match =
        sorted && sorted->nfont > 0 ? FcFontRenderPrepare(fc.config, pattern, sorted->fonts[0]) : nullptr;
    FcPatternDestroy(pattern);
    if (!match) {
        if (sorted) FcFontSetDestroy(sorted);
        return false;
    }
    const FcPattern* scanned = sorted->fonts[0];

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
        int faceWeight = FC_WEIGHT_REGULAR, faceSlant = FC_SLANT_ROMAN;
        FcPatternGetInteger(scanned, FC_WEIGHT, 0, &faceWeight);
        FcPatternGetInteger(scanned, FC_SLANT, 0, &faceSlant);
        out->synthesiseBold = bold && faceWeight < FC_WEIGHT_DEMIBOLD;
        out->synthesiseItalic = italic && faceSlant == FC_SLANT_ROMAN;
        FcBool antialias = FcTrue;
        out->antialias = FcPatternGetBool(match, FC_ANTIALIAS, 0, &antialias) != FcResultMatch || antialias;
    }
    FcPatternDestroy(match);
    FcFontSetDestroy(sorted);
    return ok;
}
}  // namespace lice_detail
