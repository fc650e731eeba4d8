// SDL2 backend of the data-file part of the platform contract: opening regular files only,
// case-insensitive path resolution, bounded BMP reading into the bottom-up 24-bit layout, and BMP
// writing for the tools.
#include "platform/platform.h"

#include "platform/bmp_layout.h"

#include <SDL.h>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

static bool pathExists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

// Names in directory dir that equal name ignoring case, the exact spelling first, the rest sorted
// so that the choice does not depend on the directory's listing order.
static std::vector<std::string> matchingEntries(const std::string& dir, const std::string& name)
{
    std::vector<std::string> found;
    DIR* listing = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!listing)
        return found;
    while (const dirent* entry = ::readdir(listing)) {
        if (name != entry->d_name && ::strcasecmp(name.c_str(), entry->d_name) == 0)
            found.emplace_back(entry->d_name);
    }
    ::closedir(listing);
    std::sort(found.begin(), found.end());
    if (pathExists(dir + name))
        found.insert(found.begin(), name);
    return found;
}

// Depth-first over the case-insensitive candidates of each component, so that "data" and "Data"
// side by side are both tried. prefix ends in '/' or is empty.
static bool resolveFrom(const std::string& prefix, const std::vector<std::string>& parts, size_t index,
                        std::string* out)
{
    if (index == parts.size()) {
        *out = prefix.empty() ? "." : prefix.substr(0, prefix.size() - 1);
        return true;
    }
    const std::string& part = parts[index];
    if (part.empty() || part == "." || part == "..")
        return resolveFrom(prefix + part + "/", parts, index + 1, out);
    for (const std::string& candidate : matchingEntries(prefix, part)) {
        if (resolveFrom(prefix + candidate + "/", parts, index + 1, out))
            return true;
    }
    return false;
}

// The existing file a data path names: the path itself when it exists, else its case-insensitive
// match; empty when there is none.
static std::string resolveDataPath(const char* path)
{
    std::string written(path);
    if (written.empty() || pathExists(written))
        return written;
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t slash = written.find('/', start);
        parts.push_back(written.substr(start, slash - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    std::string prefix;
    if (written[0] == '/') {
        prefix = "/";
        parts.erase(parts.begin());
    }
    std::string resolved;
    return resolveFrom(prefix, parts, 0, &resolved) ? resolved : std::string();
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
    std::string resolved = resolveDataPath(path);
    return openRegularFile(resolved.empty() ? path : resolved.c_str());
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
