// The city map: tile types, the 170 x 170 grid, its file, and the four tile display lists.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A cell value: 0 grass, 1-5 buildings, 6 cliff, 7-22 road pieces, 23 and above draw nothing.
// A drawn type is also the texture slot of its ground or walls.
using TileType = uint32_t;

constexpr int mapSize = 170;     // tiles along each side
constexpr int tileSize = 12;     // world units along a tile's side
constexpr int viewRadius = 30;   // tiles drawn on the low side of the camera's tile

// Road pieces are 7 + a mask of the sides on which the road continues. The sides, on the grid:
// N is the neighbour at row - 1, S at row + 1, E at column + 1, W at column - 1.
// (In a road texture, N is the top edge of the picture and E its right edge.)
constexpr TileType roadBase = 7;
constexpr unsigned roadE = 1, roadS = 2, roadW = 4, roadN = 8;

// ---- Tile shapes: tile-local, centred on the origin, 12 units square, y up from the ground.
struct Corner {
    GLfloat s, t;     // texture coordinates
    GLfloat x, y, z;  // position
};
// The ground square, counter-clockwise from above, so facing up.
inline constexpr Corner groundCorners[4] = {{1, 1, -6, 0, 6}, {0, 1, 6, 0, 6}, {0, 0, 6, 0, -6}, {1, 0, -6, 0, -6}};
// Length 2, not 1: nothing normalises it, so the ground takes twice the diffuse light.
constexpr GLfloat groundNormal[3] = {0.0f, 2.0f, 0.0f};
// The four walls of a block, each counter-clockwise seen from outside, s left to right; y is 0 at the
// ground and 1 at the top, to be scaled by the wall height.
inline constexpr Corner wallCorners[4][4] = {
    {{1, 1, -6, 1, -6}, {0, 1, 6, 1, -6}, {0, 0, 6, 0, -6}, {1, 0, -6, 0, -6}},  // z = -6
    {{0, 1, -6, 1, -6}, {0, 0, -6, 0, -6}, {1, 0, -6, 0, 6}, {1, 1, -6, 1, 6}},  // x = -6
    {{0, 1, -6, 1, 6}, {0, 0, -6, 0, 6}, {1, 0, 6, 0, 6}, {1, 1, 6, 1, 6}},      // z = 6
    {{0, 1, 6, 1, 6}, {0, 0, 6, 0, 6}, {1, 0, 6, 0, -6}, {1, 1, 6, 1, -6}},      // x = 6
};
using WallNormals = GLfloat[4][3];
inline constexpr WallNormals buildingNormals = {{0, 0, -1}, {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}};
// The cliff's z walls point into the tile, so they light as if facing the other way.
inline constexpr WallNormals cliffNormals = {{0, 0, 1}, {-1, 0, 0}, {0, 0, -1}, {1, 0, 0}};

// ---- Tile kinds: everything a tile type decides, one row per type.
enum class TileShape : uint8_t { ground, tallBlock, lowBlock, cliff, none };  // none: drawn as nothing
constexpr GLfloat tallWallHeight = 12.0f, lowWallHeight = 7.0f;  // world units
// Texture slots of the tops that close blocks, after the 23 slots of the tile types.
constexpr int cliffTopSlot = 23, rooftopSlot = 24;
struct TileKind {
    const char* name;            // as the map tool's legend names it
    TileShape shape;             // the display list it is drawn with
    GLfloat wallHeight;          // world units, also the height of its top; 0 for flat tiles
    const WallNormals* normals;  // of its walls; null for flat tiles
    int topSlot;                 // texture slot of the top drawn while the eye is above the roofs; -1 none
    float blockingHeight;        // eye height (world units) below which it stops the camera; 0 never
};
constexpr TileType lastTileType = 22;
inline constexpr TileKind roadKind = {"road", TileShape::ground, 0.0f, nullptr, -1, 0.0f};
// Rows 0..22 by type; the last row is every larger value.
inline constexpr TileKind tileKinds[lastTileType + 2] = {
    {"grass", TileShape::ground, 0.0f, nullptr, -1, 0.0f},
    {"tall building", TileShape::tallBlock, tallWallHeight, &buildingNormals, rooftopSlot, 14.0f},
    {"low building", TileShape::lowBlock, lowWallHeight, &buildingNormals, rooftopSlot, 9.0f},
    {"tall building", TileShape::tallBlock, tallWallHeight, &buildingNormals, rooftopSlot, 14.0f},
    {"low building", TileShape::lowBlock, lowWallHeight, &buildingNormals, rooftopSlot, 9.0f},
    {"tall building", TileShape::tallBlock, tallWallHeight, &buildingNormals, rooftopSlot, 14.0f},
    {"cliff", TileShape::cliff, tallWallHeight, &cliffNormals, cliffTopSlot, 14.0f},
    roadKind, roadKind, roadKind, roadKind, roadKind, roadKind, roadKind, roadKind,  // 7 to 22
    roadKind, roadKind, roadKind, roadKind, roadKind, roadKind, roadKind, roadKind,
    {"nothing", TileShape::none, 0.0f, nullptr, -1, 0.0f},
};
// The row of a cell value.
constexpr const TileKind& tileKind(TileType type)
{
    return tileKinds[type > lastTileType ? lastTileType + 1 : type];
}

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

// The map file's header: the magic text with its NUL, then three little-endian 32-bit fields.
constexpr char mapMagic[11] = "KESTRA MAP";
constexpr int32_t mapVersion = 2;
constexpr int mapVersionAt = 11, mapFirstSizeAt = 15, mapSecondSizeAt = 19;  // byte offsets
constexpr int mapHeaderBytes = 23;
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
// The display list of a shape (not none).
GLuint tileList(TileShape shape);

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
