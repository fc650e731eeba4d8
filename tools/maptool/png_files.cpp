// PNG reading and writing through libpng, with exact 8-bit colours (no gamma conversion).
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

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

// No C++ object with a destructor lives in this frame, so the jump back from libpng is safe.
static bool decodePng(FILE* file, Picture* out, PngFailure* failure)
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
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4)
        png_error(png, "unsupported pixel layout");
    out->width = int(width);
    out->height = int(height);
    out->rgba.assign(size_t(width) * height * 4, 0);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, &out->rgba[size_t(y) * width * 4], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool readPng(const char* path, Picture* out, std::string* error)
{
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        *error = std::strerror(errno);
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
    Picture picture;
    bool ok = decodePng(file, &picture, &failure);
    std::fclose(file);
    if (!ok) {
        *error = reason;
        return false;
    }
    *out = std::move(picture);
    return true;
}

bool writePng(const char* path, const Picture& picture, std::string* error)
{
    std::vector<uint8_t> rgb(size_t(picture.width) * picture.height * 3);
    for (size_t i = 0, n = size_t(picture.width) * picture.height; i < n; ++i)
        std::memcpy(&rgb[i * 3], &picture.rgba[i * 4], 3);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_RGB;
    // Encode into memory first so that the file itself is replaced in one step.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) {
        *error = image.message;
        return false;
    }
    std::vector<uint8_t> encoded(size);
    if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), 0, nullptr)) {
        *error = image.message;
        return false;
    }
    if (!writeFileAtomically(path, encoded.data(), size)) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}
