// The painting legend, map <-> painting conversion, the top-down preview and the map summary.
#include <cmath>
#include <cstdio>
#include <vector>

#include "camera/camera.h"
#include "tools/maptool/maptool.h"

// Tall buildings are dark, low ones light, so heights read at a glance.
const LegendEntry legend[9] = {
    {"grass", 0, 0x00, 0xa0, 0x00},
    {"tall building 1", 1, 0xa0, 0x00, 0x00},
    {"low building 2", 2, 0xff, 0x80, 0x80},
    {"tall building 3", 3, 0x00, 0x00, 0xa0},
    {"low building 4", 4, 0x80, 0x80, 0xff},
    {"tall building 5", 5, 0xa0, 0x00, 0xa0},
    {"cliff", 6, 0x80, 0x40, 0x00},
    {"road", roadBase, 0x80, 0x80, 0x80},
    {"nothing", nothingType, 0x00, 0x00, 0x00},
};
static const int roadEntry = 7;
static const int nothingEntry = 8;

int legendIndexOf(TileType type)
{
    if (type <= 6)
        return int(type);
    return isRoad(type) ? roadEntry : nothingEntry;
}

static void putPixel(Picture* picture, int x, int y, const uint8_t* rgb)
{
    if (x < 0 || y < 0 || x >= picture->width || y >= picture->height)
        return;
    uint8_t* p = &picture->rgba[(size_t(y) * picture->width + x) * 4];
    p[0] = rgb[0];
    p[1] = rgb[1];
    p[2] = rgb[2];
    p[3] = 0xff;
}

static Picture blankPicture(int width, int height)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgba.assign(size_t(width) * height * 4, 0xff);
    return picture;
}

Picture mapToPicture(const CityMap& map)
{
    Picture picture = blankPicture(mapSize, mapSize);
    for (int row = 0; row < mapSize; ++row) {
        for (int column = 0; column < mapSize; ++column) {
            const LegendEntry& entry = legend[legendIndexOf(map.cells[mapSize * row + column])];
            const uint8_t rgb[3] = {entry.red, entry.green, entry.blue};
            putPixel(&picture, column, row, rgb);
        }
    }
    return picture;
}

bool pictureToMap(const Picture& picture, CityMap* map, std::string* error)
{
    char text[200];
    if (picture.width != mapSize || picture.height != mapSize) {
        std::snprintf(text, sizeof text, "the picture is %dx%d pixels; a city picture must be %dx%d",
                      picture.width, picture.height, mapSize, mapSize);
        *error = text;
        return false;
    }
    std::vector<TileType> cells(size_t(mapSize) * mapSize);
    for (int y = 0; y < mapSize; ++y) {
        for (int x = 0; x < mapSize; ++x) {
            const uint8_t* p = &picture.rgba[(size_t(y) * mapSize + x) * 4];
            if (p[3] != 0xff) {
                std::snprintf(text, sizeof text,
                              "pixel at x %d, y %d (row %d, column %d) is not opaque (alpha %d); paint with "
                              "fully opaque legend colours",
                              x, y, y, x, p[3]);
                *error = text;
                return false;
            }
            const LegendEntry* match = nullptr;
            for (const LegendEntry& entry : legend)
                if (p[0] == entry.red && p[1] == entry.green && p[2] == entry.blue)
                    match = &entry;
            if (!match) {
                std::snprintf(text, sizeof text,
                              "pixel at x %d, y %d (row %d, column %d) has colour #%02X%02X%02X, which is not "
                              "in the legend",
                              x, y, y, x, p[0], p[1], p[2]);
                *error = text;
                return false;
            }
            cells[size_t(y) * mapSize + x] = match->type;
        }
    }
    std::copy(cells.begin(), cells.end(), map->cells);
    return true;
}

// ---- The top-down preview.

static const uint8_t pavementColour[3] = {0xc4, 0xc4, 0xc4};
static const uint8_t asphaltColour[3] = {0x40, 0x40, 0x40};

static void fillRect(Picture* picture, int x, int y, int width, int height, const uint8_t* rgb)
{
    for (int j = y; j < y + height; ++j)
        for (int i = x; i < x + width; ++i)
            putPixel(picture, i, j, rgb);
}

// A road cell: pavement, an asphalt square in the middle and a strip toward every side it joins.
static void drawRoad(Picture* picture, int left, int top, int scale, unsigned mask)
{
    fillRect(picture, left, top, scale, scale, pavementColour);
    int width = scale >= 2 ? scale / 2 : 1;
    int inset = (scale - width) / 2;
    int far = inset + width;  // first pixel past the middle square
    fillRect(picture, left + inset, top + inset, width, width, asphaltColour);
    if (mask & roadN)
        fillRect(picture, left + inset, top, width, inset, asphaltColour);
    if (mask & roadS)
        fillRect(picture, left + inset, top + far, width, scale - far, asphaltColour);
    if (mask & roadW)
        fillRect(picture, left, top + inset, inset, width, asphaltColour);
    if (mask & roadE)
        fillRect(picture, left + far, top + inset, scale - far, width, asphaltColour);
}

Picture renderMap(const CityMap& map, int scale)
{
    Picture picture = blankPicture(mapSize * scale, mapSize * scale);
    for (int row = 0; row < mapSize; ++row) {
        for (int column = 0; column < mapSize; ++column) {
            TileType type = map.cells[mapSize * row + column];
            if (isRoad(type)) {
                drawRoad(&picture, column * scale, row * scale, scale, type - roadBase);
                continue;
            }
            const LegendEntry& entry = legend[legendIndexOf(type)];
            const uint8_t rgb[3] = {entry.red, entry.green, entry.blue};
            fillRect(&picture, column * scale, row * scale, scale, scale, rgb);
        }
    }
    // The start tile gets a dot at its middle; the heading is a line from there, three tiles long,
    // along the camera's direction of travel (-sin yaw, +cos yaw) in (x, z), that is (right, down).
    const CameraState start{};
    int startRow = int(start.z / tileSize);
    int startColumn = int(start.x / tileSize);
    double cx = (startColumn + 0.5) * scale;
    double cy = (startRow + 0.5) * scale;
    double dx = -std::sin(double(start.yaw));
    double dy = std::cos(double(start.yaw));
    int lineWidth = scale >= 4 ? scale / 4 : 1;
    for (double t = 0; t <= 3.0 * scale; t += 0.25) {
        for (int k = 0; k < lineWidth; ++k) {
            double offset = k - (lineWidth - 1) / 2.0;
            putPixel(&picture, int(std::floor(cx + dx * t - dy * offset)), int(std::floor(cy + dy * t + dx * offset)),
                     headingColour);
        }
    }
    double radius = scale >= 2 ? scale * 0.35 : 0.5;
    for (int y = startRow * scale; y < (startRow + 1) * scale; ++y)
        for (int x = startColumn * scale; x < (startColumn + 1) * scale; ++x)
            if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= radius)
                putPixel(&picture, x, y, startMarkerColour);
    return picture;
}

// ---- The summary that check prints.

MapSummary summarizeMap(const CityMap& map)
{
    MapSummary summary;
    for (int row = 0; row < mapSize; ++row) {
        for (int column = 0; column < mapSize; ++column) {
            TileType type = map.cells[mapSize * row + column];
            ++summary.kindCounts[legendIndexOf(type)];
            if (isRoad(type) && type != roadBase + roadMaskAt(map, row, column))
                summary.wrongPieces.push_back({row, column});
        }
    }
    // Road parts by flood fill over the four neighbours.
    std::vector<int> part(size_t(mapSize) * mapSize, -1);
    std::vector<int> stack;
    for (int cell = 0; cell < mapSize * mapSize; ++cell) {
        if (!isRoad(map.cells[cell]) || part[cell] >= 0)
            continue;
        int id = summary.roadParts++;
        int size = 0;
        part[cell] = id;
        stack.push_back(cell);
        while (!stack.empty()) {
            int at = stack.back();
            stack.pop_back();
            ++size;
            int row = at / mapSize, column = at % mapSize;
            const int next[4][2] = {{row - 1, column}, {row + 1, column}, {row, column - 1}, {row, column + 1}};
            for (const auto& n : next) {
                if (n[0] < 0 || n[0] >= mapSize || n[1] < 0 || n[1] >= mapSize)
                    continue;
                int neighbour = n[0] * mapSize + n[1];
                if (isRoad(map.cells[neighbour]) && part[neighbour] < 0) {
                    part[neighbour] = id;
                    stack.push_back(neighbour);
                }
            }
        }
        summary.roadTiles += size;
        if (size > summary.largestRoadPart)
            summary.largestRoadPart = size;
    }
    const CameraState start{};
    summary.start = {int(start.z / tileSize), int(start.x / tileSize)};
    summary.startType = map.cells[mapSize * summary.start.row + summary.start.column];
    summary.startOpen = !tileBlocks(summary.startType, start.y);
    return summary;
}
