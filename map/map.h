// The city map: tile types, the 170 x 170 grid, its file, and the four tile display lists.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A cell value: 0 grass, 1-5 buildings, 6 cliff, 7-22 road pieces, 23 and above draw nothing.
using TileType = uint32_t;

constexpr int mapSize = 170;     // tiles along each side
constexpr int tileSize = 12;     // world units along a tile's side
constexpr int viewRadius = 30;   // tiles drawn on the low side of the camera's tile

// Road pieces are 7 + a mask of the sides on which the road continues. The sides, on the grid:
// N is the neighbour at row - 1, S at row + 1, E at column + 1, W at column - 1.
// (In a road texture, N is the top edge of the picture and E its right edge.)
constexpr TileType roadBase = 7;
constexpr unsigned roadE = 1, roadS = 2, roadW = 4, roadN = 8;

// Row-major grid: the cell of row r, column c is cells[mapSize * r + c].
struct CityMap {
    TileType cells[mapSize * mapSize];
};
extern CityMap cityMap;

// The cell at (row, column), both 0..169.
inline TileType& mapCell(int row, int column)
{
    return cityMap.cells[mapSize * row + column];
}

constexpr int mapHeaderBytes = 23;                                  // magic, version, two sizes
constexpr int mapCellBytes = mapSize * mapSize * 4;                 // 115600
constexpr int mapFileBytes = mapHeaderBytes + mapCellBytes;         // 115623

// Checks a whole map file held in memory and, only if it is valid, copies its cells into *into.
// Returns null on success, else the message the viewer shows under "MAP LOAD ERROR".
const char* parseCityMap(const unsigned char* bytes, size_t size, CityMap* into);
// Reads the regular file at exactly path into *into only when it is valid. Empty on success, else
// "NAME: why" for the user: no such file, a folder, not a regular file, a PNG picture (which
// kestra-map import turns into a map), or the reader's own message for a bad header or a short file.
std::string explainCityMap(const char* path, const std::string& name, CityMap* into);
// Reads a city file, found as the viewer finds its data files, into the grid, reporting failures
// under "MAP LOAD ERROR"; a failure leaves the grid untouched.
void loadCityMap(const char* path);

// Four consecutive display lists.
struct TileLists {
    GLuint groundList = 0;     // ground square, also roofs and cliff tops when raised
    GLuint tallBlockList = 0;  // four walls 12 high
    GLuint lowBlockList = 0;   // four walls 7 high
    GLuint cliffList = 0;      // four walls 12 high, z-wall normals reversed
};
extern TileLists tileLists;

// The city file every window loads: "city.map" in the working folder unless the command line names another.
extern std::string cityMapPath;
// That file as the user knows it (the MAP argument as given, or "city.map"), for messages.
extern std::string cityMapName;
// Follows cityMapPath on disk, looking at it at most once a second (nowMs: milliseconds, wrapping at
// 2^32). When its size or modification time changed since the last look it is read again: a valid file
// replaces the grid (true), one that fails leaves the grid as it was and its reason goes to stderr,
// once: the same reason again is not repeated.
bool followCityMap(uint32_t nowMs);
// Compiles the four tile lists in the current context, then loads cityMapPath.
void buildTileLists();

// ---- Map editing, for the tools: the file's bytes and the one road rule.
// The complete map file (header and cells) of map.
std::vector<unsigned char> encodeCityMap(const CityMap& map);
// True for the sixteen road pieces, types 7 to 22.
inline bool isRoad(TileType type)
{
    return type >= roadBase && type <= roadBase + 15;
}
// Mask of the sides (roadN, roadS, roadE, roadW) whose neighbour inside the map is a road piece.
unsigned roadMaskAt(const CityMap& map, int row, int column);
// Gives every road piece the type 7 + its neighbour mask; returns how many cells changed.
int fixRoadPieces(CityMap* map);
