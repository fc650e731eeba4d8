// kestra-map: the city generator, the picture legend, PNG files, map summaries and the commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "map/map.h"

// ---- The city generator.
constexpr uint64_t defaultCitySeed = 2015;  // the bundled city
// Fills *map with the city grown from seed; the same seed always gives the same cells.
void generateCity(uint64_t seed, CityMap* map);

// ---- Pictures.
// 8-bit red, green, blue, alpha pixels, rows top first, no padding.
struct Picture {
    int width = 0;   // pixels
    int height = 0;  // pixels
    std::vector<uint8_t> rgba;
};
// Reads any PNG as 8-bit RGBA without colour conversion; false with a reason in *error.
bool readPng(const char* path, Picture* out, std::string* error);
// Writes an opaque RGB PNG atomically; false with a reason in *error.
bool writePng(const char* path, const Picture& picture, std::string* error);

// ---- The painting legend: one colour per tile kind.
struct LegendEntry {
    const char* name;  // tile kind as the help and the README name it
    TileType type;     // the cell value a pixel of this colour becomes
    uint8_t red, green, blue;
};
constexpr TileType nothingType = 23;  // every value from 23 up draws nothing; pictures keep only this one
extern const LegendEntry legend[9];
// The 170 x 170 painting of a map: pixel (x, y) is column x, row y.
Picture mapToPicture(const CityMap& map);
// Turns a painting back into cells (road pieces get the bare road type 7); false with a message
// naming the first problem (size, or pixel position and colour) in *error, *map untouched.
bool pictureToMap(const Picture& picture, CityMap* map, std::string* error);

// ---- The top-down preview: scale x scale pixels per tile, roads joined toward their sides,
// the camera's start tile marked with a dot and its heading with a line.
constexpr int defaultRenderScale = 4;
constexpr int maxRenderScale = 32;
constexpr uint8_t startMarkerColour[3] = {255, 230, 0};
constexpr uint8_t headingColour[3] = {255, 60, 200};
Picture renderMap(const CityMap& map, int scale);

// ---- What check reports about a loadable map.
struct TilePlace {
    int row = 0;
    int column = 0;
};
struct MapSummary {
    int kindCounts[9] = {};              // cells per legend entry, in legend order
    std::vector<TilePlace> wrongPieces;  // road pieces whose type is not 7 + their neighbour mask
    int roadTiles = 0;
    int roadParts = 0;                   // 4-connected groups of road tiles
    int largestRoadPart = 0;             // tiles in the biggest group
    TilePlace start;                     // the camera's start tile
    TileType startType = 0;
    bool startOpen = false;              // the start tile does not stop the camera at its start height
};
MapSummary summarizeMap(const CityMap& map);
// The legend entry (index into legend) a cell value belongs to.
int legendIndexOf(TileType type);

// Runs the command line (argv[0] is the program); returns the exit status: 0 ok, 1 failure, 2 usage.
int runMapTool(int argc, char** argv);
