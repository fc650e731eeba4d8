// PNG reading through libpng with exact colours (no gamma conversion); encoding through the platform.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "tools/maptool/maptool.h"

namespace {
// Where libpng's errors go: the reason, and the point to jump back to.
struct PngFailure {
    std::string* reason;
    jmp_buf jump;
};
}  // namespace

static void onPngError(png_structp png, png_const_charp text)
{
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    *failure->reason = text;
    longjmp(failure->jump, 1);
}

static void onPngWarning(png_structp, png_const_charp) {}

namespace {
// The decoded pixels before their 8-bit conversion: palette indices, or RGBA of 8 or 16 bits a sample
// (16-bit samples big-endian, as the file stores them).
struct RawImage {
    png_uint_32 width = 0, height = 0;
    int bitDepth = 8;
    bool indexed = false;
    int colours = 0;           // palette entries
    uint8_t palette[256][4];   // RGBA of each entry
    std::vector<uint8_t> bytes;
};
}  // namespace

// True when a picture of width x height can be a city picture; else false with the reason in text.
static bool citySized(png_uint_32 width, png_uint_32 height, char* text, size_t size)
{
    std::snprintf(text, size, "%s", cityPictureSizeError(width, height).c_str());
    return text[0] == '\0';
}

// No C++ object with a destructor lives in this frame, so the jump back from libpng is safe.
static bool decodePng(FILE* file, bool cityPicture, RawImage* raw, PngFailure* failure)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, failure, onPngError, onPngWarning);
    if (!png) {
        *failure->reason = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(failure->jump)) {
        png_destroy_read_struct(&png, &info, nullptr);
        if (failure->reason->empty())
            *failure->reason = "out of memory";
        return false;
    }
    png_init_io(png, file);
    png_set_user_limits(png, 16384, 16384);
    png_read_info(png, info);
    raw->width = png_get_image_width(png, info);
    raw->height = png_get_image_height(png, info);
    char refusal[160];
    if (cityPicture && !citySized(raw->width, raw->height, refusal, sizeof refusal))
        png_error(png, refusal);
    raw->indexed = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE;
    if (raw->indexed) {
        // Indices are looked up here, not by libpng, so that one beyond the palette is noticed.
        png_colorp entries = nullptr;
        png_bytep alpha = nullptr;
        int alphas = 0;
        png_get_PLTE(png, info, &entries, &raw->colours);
        png_get_tRNS(png, info, &alpha, &alphas, nullptr);
        for (int i = 0; i < raw->colours; ++i) {
            raw->palette[i][0] = entries[i].red;
            raw->palette[i][1] = entries[i].green;
            raw->palette[i][2] = entries[i].blue;
            raw->palette[i][3] = i < alphas ? alpha[i] : 255;
        }
        png_set_packing(png);
    } else {
        png_set_expand(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    }
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    raw->bitDepth = png_get_bit_depth(png, info);
    const size_t rowBytes = size_t(raw->width) * (raw->indexed ? 1 : 4 * size_t(raw->bitDepth / 8));
    if (png_get_rowbytes(png, info) != rowBytes)
        png_error(png, "unsupported pixel layout");
    raw->bytes.assign(rowBytes * raw->height, 0);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < raw->height; ++y)
            png_read_row(png, &raw->bytes[y * rowBytes], nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// 8-bit RGBA of the raw pixels; a sample maps exactly only when it is a multiple of 257 (16 bits) and
// an index only when it is inside the palette. The others are listed with their file colour.
static void toPicture(const RawImage& raw, Picture* out)
{
    out->width = int(raw.width);
    out->height = int(raw.height);
    const size_t count = size_t(raw.width) * raw.height;
    out->rgba.assign(count * 4, 0);
    out->inexact.clear();
    char text[80];
    for (size_t i = 0; i < count; ++i) {
        uint8_t* p = &out->rgba[i * 4];
        if (raw.indexed) {
            const int index = raw.bytes[i];
            if (index < raw.colours) {
                std::memcpy(p, raw.palette[index], 4);
            } else {
                std::snprintf(text, sizeof text, "palette index %d of %d", index, raw.colours);
                out->inexact.push_back({i, text, false});
            }
        } else if (raw.bitDepth == 8) {
            std::memcpy(p, &raw.bytes[i * 4], 4);
        } else {
            unsigned sample[4];
            bool exact = true;
            for (int k = 0; k < 4; ++k) {
                sample[k] = unsigned(raw.bytes[i * 8 + 2 * k]) << 8 | raw.bytes[i * 8 + 2 * k + 1];
                p[k] = uint8_t((sample[k] + 128) / 257);
                exact = exact && sample[k] % 257 == 0;
            }
            if (!exact) {
                std::snprintf(text, sizeof text, "16-bit #%04X%04X%04X", sample[0], sample[1], sample[2]);
                out->inexact.push_back({i, std::string(text) + (sample[3] == 0xffff ? "" : " alpha " + std::to_string(sample[3])), true});
            }
        }
    }
}

bool readPng(const char* path, Picture* out, std::string* error, bool cityPicture)
{
    FILE* file = openRegularFile(path);
    if (!file) {
        *error = errno == EINVAL ? "not a regular file" : std::strerror(errno);
        return false;
    }
    unsigned char signature[8] = {};
    bool isPng = std::fread(signature, 1, 8, file) == 8 && png_sig_cmp(signature, 0, 8) == 0;
    if (!isPng) {
        std::fclose(file);
        *error = "not a PNG file";
        return false;
    }
    std::rewind(file);
    std::string reason;
    PngFailure failure{&reason, {}};
    RawImage raw;
    bool ok = decodePng(file, cityPicture, &raw, &failure);
    std::fclose(file);
    if (!ok) {
        *error = reason;
        return false;
    }
    toPicture(raw, out);
    return true;
}

bool encodePng(const Picture& picture, std::vector<uint8_t>* out, std::string* error)
{
    std::vector<uint8_t> rgb(size_t(picture.width) * picture.height * 3);
    for (size_t i = 0, n = size_t(picture.width) * picture.height; i < n; ++i)
        std::memcpy(&rgb[i * 3], &picture.rgba[i * 4], 3);
    return encodePng(picture.width, picture.height, rgb.data(), out, error);
}
