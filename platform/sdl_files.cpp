// SDL2 backend of the data-file part of the platform contract: opening regular files only,
// case-insensitive path lookup, bounded BMP reading into the bottom-up 24-bit layout, and BMP
// writing for the tools.
#include "platform/platform.h"

#include <SDL.h>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

// The first name in folder (empty: the current one) equal to name ignoring case, in byte order so that
// the choice does not depend on the listing's order; empty with errno set when there is none.
static std::string caseMatch(const std::string& folder, const std::string& name)
{
    DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return {};
    std::string found;
    while (const dirent* entry = ::readdir(listing)) {
        if (::strcasecmp(name.c_str(), entry->d_name) == 0 && (found.empty() || found > entry->d_name))
            found = entry->d_name;
    }
    ::closedir(listing);
    errno = ENOENT;
    return found;
}

// The existing file a data path names, one component at a time: as written when that exists, else its
// one case-insensitive match; empty with errno set when there is none.
static std::string resolveDataPath(const char* path)
{
    std::string resolved = path[0] == '/' ? "/" : "";  // ends in '/' or is empty
    for (const char* part = path; *part;) {
        const char* end = std::strchr(part, '/');
        const size_t length = end ? size_t(end - part) : std::strlen(part);
        const std::string name(part, length);
        part = end ? end + 1 : part + length;
        if (name.empty() || name == ".")
            continue;
        if (resolved.size() + length >= PATH_MAX) {
            errno = ENAMETOOLONG;
            return {};
        }
        struct stat info;
        std::string next = resolved + name;
        if (::stat(next.c_str(), &info) != 0) {
            if (errno != ENOENT || name == "..")
                return {};
            std::string match = caseMatch(resolved, name);
            if (match.empty())
                return {};
            next = resolved + match;
        }
        resolved = next + "/";
    }
    if (resolved.empty()) {
        errno = ENOENT;
        return {};
    }
    // A path written with a trailing slash names a folder, which openRegularFile refuses.
    const size_t length = std::strlen(path);
    if (resolved.size() > 1 && path[length - 1] != '/')
        resolved.pop_back();
    return resolved;
}

FILE* openRegularFile(const char* path)
{
    // Non-blocking, so that opening a FIFO with no writer returns at once and fstat can refuse it.
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // Reads then block as usual.
    struct stat info;
    const int error = ::fstat(fd, &info) != 0     ? errno
                      : !S_ISREG(info.st_mode)    ? EINVAL
                      : ::fcntl(fd, F_SETFL, 0) != 0 ? errno
                                                     : 0;
    if (error != 0) {
        ::close(fd);
        errno = error;
        return nullptr;
    }
    FILE* file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

FILE* openDataFile(const char* path)
{
    const std::string resolved = resolveDataPath(path);
    return resolved.empty() ? nullptr : openRegularFile(resolved.c_str());
}

static uint32_t readLe(const uint8_t* b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + i];
    return v;
}

// The bytes from the start of a BMP file that its image needs, judged from the first size bytes of
// its header, or 0 when the header does not describe a sane image. SDL's reader trusts the header's
// size and allocates for it before reading a single pixel, and the file may go on far past the
// image, so neither is read further than this. *exact is false for run-length data, whose size is
// only bounded: at worst two bytes a pixel and an end-of-line code a row.
static size_t bmpBytesNeeded(const uint8_t* b, size_t size, bool* exact)
{
    constexpr int64_t maxSide = 16384;
    constexpr int64_t maxPixels = int64_t(1) << 24;
    constexpr uint32_t maxPixelOffset = 1 << 16;  // headers, masks and a 256-colour palette fit many times
    if (size < 26 || b[0] != 'B' || b[1] != 'M')
        return 0;
    const uint32_t pixelOffset = readLe(b, 10, 4);
    const uint32_t infoSize = readLe(b, 14, 4);
    int64_t width, height;
    uint32_t bitsPerPixel, compression = 0;
    if (infoSize == 12) {
        width = readLe(b, 18, 2);
        height = readLe(b, 20, 2);
        bitsPerPixel = readLe(b, 24, 2);
    } else {
        if (size < 34)
            return 0;
        width = static_cast<int32_t>(readLe(b, 18, 4));
        height = static_cast<int32_t>(readLe(b, 22, 4));
        bitsPerPixel = readLe(b, 28, 2);
        compression = readLe(b, 30, 4);
    }
    height = height < 0 ? -height : height;
    if (width < 1 || height < 1 || width > maxSide || height > maxSide || width * height > maxPixels)
        return 0;
    if (bitsPerPixel == 0 || bitsPerPixel > 32 || pixelOffset < 26 || pixelOffset > maxPixelOffset)
        return 0;
    *exact = compression != 1 && compression != 2;
    const int64_t pixelBytes = *exact ? (width * bitsPerPixel + 31) / 32 * 4 * height : (2 * width + 2) * height + 2;
    return size_t(pixelOffset + pixelBytes);
}

// The bytes of the regular BMP file up to the end of its image; empty when the header is not sane
// or an uncompressed image is cut short.
static std::vector<uint8_t> readBmpBytes(FILE* file)
{
    struct stat info;
    std::vector<uint8_t> bytes(34);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    bool exact = true;
    size_t needed = bmpBytesNeeded(bytes.data(), bytes.size(), &exact);
    if (needed == 0 || ::fstat(::fileno(file), &info) != 0 || (exact && needed > size_t(info.st_size)))
        return {};
    needed = std::min(needed, size_t(info.st_size));
    if (needed <= bytes.size())
        return bytes;
    const size_t start = bytes.size();
    bytes.resize(needed);
    bytes.resize(start + std::fread(bytes.data() + start, 1, needed - start, file));
    if (exact && bytes.size() < needed)
        bytes.clear();
    return bytes;
}

bool loadBitmap(const char* path, Bitmap* out)
{
    FILE* file = openDataFile(path);
    if (!file)
        return false;
    std::vector<uint8_t> bytes = readBmpBytes(file);
    std::fclose(file);
    if (bytes.empty())
        return false;
    SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    if (!stream)
        return false;
    SDL_Surface* loaded = SDL_LoadBMP_RW(stream, 1);
    if (!loaded)
        return false;
    // Conversion is a plain copy (no blending), so palette, 16- and 32-bit images all land as BGR bytes.
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_BGR24, 0);
    SDL_FreeSurface(loaded);
    if (!converted)
        return false;
    if (SDL_LockSurface(converted) != 0) {
        SDL_FreeSurface(converted);
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(converted->w) * 3;
    const size_t stride = (rowBytes + 3) & ~size_t(3);
    out->width = converted->w;
    out->height = converted->h;
    out->bits.assign(stride * static_cast<size_t>(converted->h), 0);
    // SDL surfaces run top to bottom; the bitmap layout runs bottom to top.
    for (int row = 0; row < converted->h; ++row) {
        const uint8_t* source = static_cast<const uint8_t*>(converted->pixels) + static_cast<size_t>(row) * converted->pitch;
        std::copy(source, source + rowBytes, out->bits.begin() + static_cast<ptrdiff_t>(stride * (converted->h - 1 - row)));
    }
    SDL_UnlockSurface(converted);
    SDL_FreeSurface(converted);
    return true;
}

bool saveBitmap(const char* path, const Bitmap& bitmap)
{
    if (bitmap.width <= 0 || bitmap.height <= 0)
        return false;
    const size_t rowBytes = static_cast<size_t>(bitmap.width) * 3;
    const size_t stride = (rowBytes + 3) & ~size_t(3);
    if (bitmap.bits.size() < stride * static_cast<size_t>(bitmap.height))
        return false;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, bitmap.width, bitmap.height, 24, SDL_PIXELFORMAT_BGR24);
    if (!surface)
        return false;
    for (int row = 0; row < bitmap.height; ++row) {
        const uint8_t* source = bitmap.bits.data() + stride * static_cast<size_t>(bitmap.height - 1 - row);
        std::copy(source, source + rowBytes, static_cast<uint8_t*>(surface->pixels) + static_cast<size_t>(row) * surface->pitch);
    }
    bool saved = SDL_SaveBMP(surface, path) == 0;
    SDL_FreeSurface(surface);
    return saved;
}
