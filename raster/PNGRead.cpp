#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "raster/PNG.h"

// libpng reports errors by calling our error function, which must not return: it longjmps back
// into the function that called libpng. Those functions (ReadHeader, ReadPixels) therefore keep
// no objects with destructors and no modified non-volatile locals; everything they produce goes
// into the PngReadState owned by the caller.

namespace {
// Largest image accepted (64 megapixels, 256 MiB decoded): a few bytes of header must not be able
// to claim gigabytes.
constexpr uint64_t kMaxPngPixels = uint64_t(1) << 26;

struct PngReadState {
    std::jmp_buf jump;
    char message[160] = "";
    // Memory source (unused for files).
    const unsigned char* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    // Filled by ReadHeader.
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    size_t rowBytes = 0;
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp msg) {
    auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", msg ? msg : "decoding failed");
    std::longjmp(state->jump, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
    if (count > state->size - state->pos) png_error(png, "truncated data");
    std::memcpy(out, state->data + state->pos, count);
    state->pos += count;
}

// Reads the header and sets up the expansion to 8-bit A, R, G, B bytes.
bool ReadHeader(png_structp png, png_infop info, PngReadState* state) {
    if (setjmp(state->jump)) return false;
    png_set_user_limits(png, LICE_MAX_DIMENSION, LICE_MAX_DIMENSION);
    png_read_info(png, info);

    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if ((colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    const bool keyed = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (keyed) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if ((colorType & PNG_COLOR_MASK_ALPHA) || keyed)
        png_set_swap_alpha(png);  // RGBA -> ARGB
    else
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);  // RGB -> ARGB with opaque alpha
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    state->width = png_get_image_width(png, info);
    state->height = png_get_image_height(png, info);
    state->rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadPixels(png_structp png, png_infop info, PngReadState* state, png_bytepp rows) {
    if (setjmp(state->jump)) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

bool HostIsLittleEndian() {
    const uint32_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

void SetError(std::string* error, const char* what, const char* detail = nullptr) {
    if (!error) return;
    *error = what;
    if (detail && *detail) {
        *error += ": ";
        *error += detail;
    }
}

// Decodes from whichever source `setSource` installs (a FILE* or the memory reader).
template <typename SetSource>
LICE_IBitmap* Decode(PngReadState& state, SetSource setSource, LICE_IBitmap* bmp, std::string* error) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_read_struct(png ? &png : nullptr, nullptr, nullptr);
        SetError(error, "PNG decoder could not be created");
        return nullptr;
    }
    setSource(png);

    LICE_IBitmap* result = nullptr;
    LICE_IBitmap* created = nullptr;
    if (!ReadHeader(png, info, &state))
        SetError(error, "not a readable PNG image", state.message);
    else if (state.width == 0 || state.height == 0 || state.width > LICE_MAX_DIMENSION ||
             state.height > LICE_MAX_DIMENSION ||
             static_cast<uint64_t>(state.width) * state.height > kMaxPngPixels ||
             state.rowBytes != static_cast<size_t>(state.width) * 4)
        SetError(error, "unsupported PNG image size or layout");
    else {
        LICE_IBitmap* target = bmp;
        if (!target) target = created = new (std::nothrow) LICE_MemBitmap();
        const int w = static_cast<int>(state.width), h = static_cast<int>(state.height);
        if (!target || !target->resize(w, h) || target->getWidth() != w || target->getHeight() != h)
            SetError(error, "out of memory for the PNG image");
        else {
            std::vector<png_bytep> rows(static_cast<size_t>(h));
            for (int y = 0; y < h; ++y)
                rows[static_cast<size_t>(y)] = reinterpret_cast<png_bytep>(
                    target->getBits() + static_cast<size_t>(y) * target->getRowSpan());
            if (!ReadPixels(png, info, &state, rows.data()))
                SetError(error, "damaged PNG image", state.message);
            else {
                if (!HostIsLittleEndian())
                    for (int y = 0; y < h; ++y) {
                        LICE_pixel* row = target->getBits() + static_cast<size_t>(y) * target->getRowSpan();
                        for (int x = 0; x < w; ++x) {
                            const unsigned char* b = reinterpret_cast<const unsigned char*>(row + x);
                            row[x] = LICE_RGBA(b[1], b[2], b[3], b[0]);
                        }
                    }
                result = target;
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!result) delete created;
    return result;
}
}  // namespace

LICE_IBitmap* LICE_LoadPNG(const char* filename, LICE_IBitmap* bmp, std::string* error) {
    if (!filename || !*filename) {
        SetError(error, "no PNG file name given");
        return nullptr;
    }
    std::FILE* fp = std::fopen(filename, "rb");
    if (!fp) {
        SetError(error, "cannot open PNG file", filename);
        return nullptr;
    }
    unsigned char signature[8] = {};
    const size_t got = std::fread(signature, 1, sizeof signature, fp);
    if (got != sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        std::fclose(fp);
        SetError(error, "not a PNG file", filename);
        return nullptr;
    }
    PngReadState state;
    LICE_IBitmap* result = Decode(
        state,
        [fp](png_structp png) {
            png_init_io(png, fp);
            png_set_sig_bytes(png, 8);
        },
        bmp, error);
    std::fclose(fp);
    return result;
}

LICE_IBitmap* LICE_LoadPNGFromMemory(const void* data, size_t size, LICE_IBitmap* bmp, std::string* error) {
    if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) {
        SetError(error, "not PNG data");
        return nullptr;
    }
    PngReadState state;
    state.data = static_cast<const unsigned char*>(data);
    state.size = size;
    state.pos = 0;
    return Decode(
        state, [&state](png_structp png) { png_set_read_fn(png, &state, ReadFromMemory); }, bmp, error);
}
