// The city map file: the grid, and the reader that checks a whole file before it touches the grid.
#include "map/map.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/platform.h"

CityMap cityMap{};

static const char* const cannotOpen = "Map could not be loaded.";
static const char* const badTypeOrVersion = "Invalid map type or version";
static const char* const badSize = "Invalid map size.";
static const char* const incomplete = "Map file is incomplete.";

static int32_t readInt32(const unsigned char* p)
{
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return static_cast<int32_t>(v);
}

const char* parseCityMap(const unsigned char* bytes, size_t size, CityMap* into)
{
    // A header field the file does not reach counts as a mismatch of its own check.
    if (size < mapFirstSizeAt || std::memcmp(bytes, mapMagic, sizeof mapMagic) != 0 ||
        readInt32(bytes + mapVersionAt) != mapVersion)
        return badTypeOrVersion;
    if (size < size_t(mapHeaderBytes) || readInt32(bytes + mapFirstSizeAt) != mapSize ||
        readInt32(bytes + mapSecondSizeAt) != mapSize)
        return badSize;
    if (size < size_t(mapFileBytes))
        return incomplete;
    const unsigned char* p = bytes + mapHeaderBytes;
    for (TileType& cell : into->cells) {
        cell = static_cast<TileType>(readInt32(p));
        p += 4;
    }
    return nullptr;
}

// Reads and checks an open map file (null: it could not be opened), then closes it; null or the message.
static const char* readOpenMap(FILE* file, CityMap* into)
{
    if (!file)
        return cannotOpen;
    // Only the header and the cells matter; anything after them is ignored unread.
    std::vector<unsigned char> bytes(mapFileBytes);
    size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed)
        return cannotOpen;
    return parseCityMap(bytes.data(), got, into);
}

std::string explainCityMap(const char* path, const std::string& name, CityMap* into)
{
    FILE* file = openRegularFile(path);
    if (!file) {
        const int error = errno;
        std::error_code ignored;
        if (error == ENOENT)
            return name + ": no such file";
        if (std::filesystem::is_directory(pathOf(path), ignored))
            return name + ": a folder, not a city map";
        if (error == EINVAL)
            return name + ": not a regular file";
        return name + ": " + std::strerror(error);
    }
    unsigned char start[8] = {};
    const bool png = std::fread(start, 1, sizeof start, file) == sizeof start &&
                     std::memcmp(start, "\x89PNG\r\n\x1a\n", sizeof start) == 0;
    std::rewind(file);
    const char* message = readOpenMap(file, into);
    if (!message)
        return {};
    if (png)
        return name + ": a PNG picture, not a city map; kestra-map import makes one from it";
    return name + ": " + message;
}

void loadCityMap(const char* path)
{
    if (const char* message = readOpenMap(openDataFile(path), &cityMap))
        messageBox(message, "MAP LOAD ERROR", MessageIcon::information);
}
