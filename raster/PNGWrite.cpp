#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "raster/PNG.h"

// As in PNGRead.cpp, WriteRows longjmps back on a libpng error, so it keeps all its state in the
// caller-owned PngWriteState.

namespace {
struct PngWriteState {
    std::jmp_buf jump;
    char message[160] = "";
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp msg) {
    auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", msg ? msg : "encoding failed");
    std::longjmp(state->jump, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Converts one raster row to R, G, B[, A] bytes.
void PackRow(const LICE_pixel* in, int w, bool wantAlpha, unsigned char* out) {
    for (int x = 0; x < w; ++x) {
        const LICE_pixel p = in[x];
        *out++ = static_cast<unsigned char>(LICE_GETR(p));
        *out++ = static_cast<unsigned char>(LICE_GETG(p));
        *out++ = static_cast<unsigned char>(LICE_GETB(p));
        if (wantAlpha) *out++ = static_cast<unsigned char>(LICE_GETA(p));
    }
}

bool WriteRows(png_structp png, png_infop info, PngWriteState* state, std::FILE* fp, const LICE_IBitmap* bm,
               bool wantAlpha, unsigned char* rowBuf) {
    if (setjmp(state->jump)) return false;
    png_init_io(png, fp);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bm->getWidth()),
                 static_cast<png_uint_32>(bm->getHeight()), 8,
                 wantAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < bm->getHeight(); ++y) {
        PackRow(bm->getBits() + static_cast<size_t>(y) * bm->getRowSpan(), bm->getWidth(), wantAlpha, rowBuf);
        png_write_row(png, rowBuf);
    }
    png_write_end(png, info);
    return true;
}

void SetError(std::string* error, const char* what, const char* detail = nullptr) {
    if (!error) return;
    *error = what;
    if (detail && *detail) {
        *error += ": ";
        *error += detail;
    }
}
}  // namespace

bool LICE_WritePNG(const char* filename, const LICE_IBitmap* bm, bool wantAlpha, std::string* error) {
    if (!filename || !*filename) {
        SetError(error, "no PNG file name given");
        return false;
    }
    if (!bm || !bm->getBits() || bm->getWidth() <= 0 || bm->getHeight() <= 0) {
        SetError(error, "nothing to write: the raster is empty");
        return false;
    }
    std::vector<unsigned char> rowBuf(static_cast<size_t>(bm->getWidth()) * (wantAlpha ? 4 : 3));
    PngWriteState state;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(png ? &png : nullptr, nullptr);
        SetError(error, "PNG encoder could not be created");
        return false;
    }
    std::FILE* fp = std::fopen(filename, "wb");
    if (!fp) {
        png_destroy_write_struct(&png, &info);
        SetError(error, "cannot create PNG file", filename);
        return false;
    }
    // Only a regular file is ours to remove after a failure: the name may be a device or a pipe
    // (/dev/full, /dev/stdout) that must outlive a failed write.
    struct stat st;
    const bool regularFile = fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode);
    bool ok = WriteRows(png, info, &state, fp, bm, wantAlpha, rowBuf.data());
    int writeErrno = !ok && std::ferror(fp) ? errno : 0;
    png_destroy_write_struct(&png, &info);
    if (std::fclose(fp) != 0 && ok) {
        ok = false;
        writeErrno = errno;
    }
    if (!ok) {
        if (regularFile) std::remove(filename);
        // The system's reason where the failure was the system's (a full disk), else the encoder's.
        if (writeErrno != 0)
            std::snprintf(state.message, sizeof state.message, "%s", std::strerror(writeErrno));
        SetError(error, "cannot write PNG file", state.message);
    }
    return ok;
}
