// Map editing for the tools: the map file's bytes and the road-piece rule.
#include "map/map.h"

#include <cstring>
#include <vector>

static void putInt32(unsigned char* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

std::vector<unsigned char> encodeCityMap(const CityMap& map)
{
    std::vector<unsigned char> bytes(mapFileBytes, 0);
    std::memcpy(bytes.data(), mapMagic, sizeof mapMagic);
    putInt32(&bytes[mapVersionAt], mapVersion);
    putInt32(&bytes[mapFirstSizeAt], mapSize);
    putInt32(&bytes[mapSecondSizeAt], mapSize);
    unsigned char* p = &bytes[mapHeaderBytes];
    for (TileType cell : map.cells) {
        putInt32(p, cell);
        p += 4;
    }
    return bytes;
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
