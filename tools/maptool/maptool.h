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
// A pixel whose colour in the file has no exact 8-bit value: a 16-bit colour between two 8-bit steps,
// or a palette index beyond the palette.
struct InexactPixel {
    size_t index = 0;    // y * width + x
    std::string colour;  // as the file has it, e.g. "16-bit #0000A0FF0000", "palette index 200 of 16"
    bool rounded = true; // the picture holds the nearest 8-bit colour; false: the file gives no colour
};
// 8-bit red, green, blue, alpha pixels, rows top first, no padding.
struct Picture {
    int width = 0;   // pixels
    int height = 0;  // pixels
    std::vector<uint8_t> rgba;
    std::vector<InexactPixel> inexact;  // in pixel order; empty when every colour is exact
};
// Reads a PNG as 8-bit RGBA without colour conversion; false with a reason in *error. With
// cityPicture, a picture that is not 170 x 170 is refused from its header, before any pixel is decoded.
bool readPng(const char* path, Picture* out, std::string* error, bool cityPicture = false);
// Encodes an opaque RGB PNG into *out; false with a reason in *error.
bool encodePng(const Picture& picture, std::vector<uint8_t>* out, std::string* error);
// Empty when a picture of width x height pixels can be a city picture, else why not.
std::string cityPictureSizeError(unsigned width, unsigned height);

// ---- Output files. Replaces the file at path (or, for a symbolic link, the file it leads to) with
// bytes through a temporary file beside it, renamed over it only once complete and removed on
// failure or on SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGXFSZ. An existing output keeps its mode (and its owner
// where the user may set it). Refuses a folder, device, FIFO or socket and a file the user cannot
// write (1), and the file input names, however reached (2), writing nothing. Returns 0, 1 or 2 with
// the reason in *error.
int writeOutput(const char* path, const std::vector<uint8_t>& bytes, const char* input, std::string* error);

// ---- The painting legend: one colour per tile kind.
struct LegendEntry {
    std::string name;  // tile kind as the help and the README name it
    TileType type;     // the cell value a pixel of this colour becomes
    uint8_t red, green, blue;
};
constexpr TileType nothingType = 23;  // every value from 23 up draws nothing; pictures keep only this one
constexpr int legendSize = 9;
extern const LegendEntry legend[legendSize];
// The 170 x 170 painting of a map: pixel (x, y) is column x, row y.
Picture mapToPicture(const CityMap& map);
// Turns a painting back into cells (road pieces get the bare road type 7); false with the reason in
// *error, *map untouched: the size, or how many pixels are not exactly a legend colour and opaque,
// the first ten with their position, colour and nearest legend colour.
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
    int kindCounts[legendSize] = {};     // cells per legend entry, in legend order
    std::vector<TilePlace> wrongPieces;  // road pieces whose type is not 7 + their neighbour mask
    int roadTiles = 0;
    struct RoadPiece {
        int tiles = 0;
        TilePlace first;  // its first tile in row order
    };
    std::vector<RoadPiece> roadPieces;   // 4-connected groups of road tiles, largest first
    TilePlace start;                     // the camera's start tile
    TileType startType = 0;
    bool startOpen = false;              // the start tile does not stop the camera at its start height
};
MapSummary summarizeMap(const CityMap& map);
// The legend entry (index into legend) a cell value belongs to.
int legendIndexOf(TileType type);

// Runs the command line (argv[0] is the program); returns the exit status: 0 ok, 1 failure, 2 usage.
int runMapTool(int argc, char** argv);
