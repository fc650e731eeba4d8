// Map editing for the tools: the map file writer, atomic file replacement and the road-piece rule.
#include "map/map.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static void putInt32(unsigned char* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// The mode a new file gets from open(2) with 0666 under the current umask.
static mode_t defaultFileMode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool writeFileAtomically(const char* path, const void* bytes, size_t size)
{
    std::string temp = std::string(path) + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0)
        return false;
    // mkstemp makes the file private; keep the mode of the file being replaced, or the usual one.
    struct stat old {};
    mode_t mode = stat(path, &old) == 0 ? (old.st_mode & 07777) : defaultFileMode();
    bool ok = fchmod(fd, mode) == 0;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    size_t left = size;
    while (ok && left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= size_t(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path) == 0)
        return true;
    unlink(temp.c_str());
    return false;
}

bool writeCityMap(const char* path, const CityMap& map)
{
    std::vector<unsigned char> bytes(mapFileBytes, 0);
    std::memcpy(bytes.data(), "KESTRA MAP", 10);  // byte 10 stays NUL
    putInt32(&bytes[11], 2);
    putInt32(&bytes[15], mapSize);
    putInt32(&bytes[19], mapSize);
    unsigned char* p = &bytes[mapHeaderBytes];
    for (TileType cell : map.cells) {
        putInt32(p, cell);
        p += 4;
    }
    return writeFileAtomically(path, bytes.data(), bytes.size());
}

unsigned roadMaskAt(const CityMap& map, int row, int column)
{
    auto roadAt = [&map](int r, int c) {
        return r >= 0 && r < mapSize && c >= 0 && c < mapSize && isRoad(map.cells[mapSize * r + c]);
    };
    unsigned mask = 0;
    if (roadAt(row - 1, column))
        mask |= roadN;
    if (roadAt(row + 1, column))
        mask |= roadS;
    if (roadAt(row, column + 1))
        mask |= roadE;
    if (roadAt(row, column - 1))
        mask |= roadW;
    return mask;
}

int fixRoadPieces(CityMap* map)
{
    // Rewriting a piece keeps it a road, so later masks see the same neighbours.
    int changed = 0;
    for (int row = 0; row < mapSize; ++row) {
        for (int column = 0; column < mapSize; ++column) {
            TileType& cell = map->cells[mapSize * row + column];
            if (!isRoad(cell))
                continue;
            TileType piece = roadBase + roadMaskAt(*map, row, column);
            if (cell != piece) {
                cell = piece;
                ++changed;
            }
        }
    }
    return changed;
}
