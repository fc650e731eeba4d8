// SDL2 backend of the data-file part of the platform contract: opening regular files only,
// case-insensitive path lookup, bounded BMP reading into the bottom-up 24-bit layout, and BMP
// writing for the tools; pictures: the folder, PNG encoding and whole-file writing.
#include "platform/platform.h"

#include "platform/bmp_layout.h"

#include <SDL.h>
#include <dirent.h>
#include <png.h>
#include <fcntl.h>
#include <limits.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

bool loadBitmap(const char* path, Bitmap* out)
{
    // SDL's reader trusts the header's size and allocates for it before reading a pixel, and the file
    // may go on far past the image, so it only gets the bytes the header allows.
    BmpLayout layout;
    std::vector<uint8_t> bytes = readBmpFile(path, &layout);
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

std::string picturesFolder()
{
    const char* pictures = std::getenv("XDG_PICTURES_DIR");
    if (pictures && *pictures)
        return pictures;
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + "/Pictures" : std::string();
}

bool encodePng(int width, int height, const uint8_t* rgbTopDown, std::vector<uint8_t>* out, std::string* problem)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    // One pass into room for the worst case, at zlib's fast setting: a 1920 x 1080 frame takes 0.2 s
    // where asking for the size first and compressing harder takes 1.7 s, for a file a quarter larger.
    image.flags = PNG_IMAGE_FLAG_FAST;
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    out->resize(size);
    if (!png_image_write_to_memory(&image, out->data(), &size, 0, rgbTopDown, 0, nullptr)) {
        *problem = image.message;
        return false;
    }
    out->resize(size);
    return true;
}

// Gives fd the mode (when not 0), writes all of bytes to it, syncs and closes it; 0, or the errno of the
// first failure.
static int fillAndClose(int fd, mode_t mode, const std::vector<uint8_t>& bytes)
{
    int failure = mode != 0 && ::fchmod(fd, mode) != 0 ? errno : 0;
    for (size_t done = 0; failure == 0 && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += size_t(n);
        else if (n < 0 && errno != EINTR)
            failure = errno;
    }
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    return failure;
}

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, bool exclusive, std::string* problem)
{
    std::string written = exclusive ? path : path + ".XXXXXX";
    const int fd = exclusive ? ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)
                             : ::mkostemp(written.data(), O_CLOEXEC);
    int failure = fd < 0 ? errno : 0;
    if (fd >= 0) {
        // mkostemp makes the file private; the picture gets the mode of open(2) with 0666 under the umask.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        failure = fillAndClose(fd, exclusive ? 0 : 0666 & ~mask, bytes);
        if (failure == 0 && !exclusive && std::rename(written.c_str(), path.c_str()) != 0)
            failure = errno;
        if (failure != 0)
            ::unlink(written.c_str());
    }
    if (failure != 0)
        *problem = path + ": " + std::strerror(failure);
    return failure == 0;
}
