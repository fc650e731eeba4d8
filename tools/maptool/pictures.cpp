// The painting legend, map <-> painting conversion, the top-down preview and the map summary.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "tools/maptool/maptool.h"

// One entry per tile type up to the bare road, then nothing; named by their tile kind, buildings with their
// type. Tall buildings are dark, low ones light, so heights read at a glance.
static LegendEntry entry(TileType type, uint8_t red, uint8_t green, uint8_t blue)
{
    const TileKind& kind = tileKind(type);
    const bool block = kind.shape == TileShape::tallBlock || kind.shape == TileShape::lowBlock;
    return {block ? std::string(kind.name) + " " + std::to_string(type) : kind.name, type, red, green, blue};
}
const LegendEntry legend[legendSize] = {
    entry(0, 0x00, 0xa0, 0x00),        entry(1, 0xa0, 0x00, 0x00), entry(2, 0xff, 0x80, 0x80),
    entry(3, 0x00, 0x00, 0xa0),        entry(4, 0x80, 0x80, 0xff), entry(5, 0xa0, 0x00, 0xa0),
    entry(6, 0x80, 0x40, 0x00),        entry(roadBase, 0x80, 0x80, 0x80),
    entry(nothingType, 0x00, 0x00, 0x00),
};

int legendIndexOf(TileType type)
{
    if (type < roadBase)
        return int(type);
    return isRoad(type) ? int(roadBase) : legendSize - 1;
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

std::string cityPictureSizeError(unsigned width, unsigned height)
{
    if (width == unsigned(mapSize) && height == unsigned(mapSize))
        return "";
    char text[120];
    std::snprintf(text, sizeof text, "the picture is %ux%u pixels; a city picture must be %dx%d", width, height,
                  mapSize, mapSize);
    return text;
}

// The legend entry nearest to an RGB colour, by squared distance.
static const LegendEntry& nearestEntry(const uint8_t* rgb)
{
    const LegendEntry* best = legend;
    int bestDistance = 1 << 30;
    for (const LegendEntry& entry : legend) {
        int dr = rgb[0] - entry.red, dg = rgb[1] - entry.green, db = rgb[2] - entry.blue;
        if (dr * dr + dg * dg + db * db < bestDistance) {
            bestDistance = dr * dr + dg * dg + db * db;
            best = &entry;
        }
    }
    return *best;
}

bool pictureToMap(const Picture& picture, CityMap* map, std::string* error)
{
    *error = cityPictureSizeError(unsigned(picture.width), unsigned(picture.height));
    if (!error->empty())
        return false;
    const size_t listed = 10;
    std::vector<TileType> cells(size_t(mapSize) * mapSize);
    std::string lines;
    size_t offLegend = 0;
    auto inexact = picture.inexact.begin();
    for (size_t i = 0; i < cells.size(); ++i) {
        const uint8_t* p = &picture.rgba[i * 4];
        const InexactPixel* file = inexact != picture.inexact.end() && inexact->index == i ? &*inexact++ : nullptr;
        const LegendEntry* match = nullptr;
        for (const LegendEntry& entry : legend)
            if (p[0] == entry.red && p[1] == entry.green && p[2] == entry.blue && p[3] == 0xff && !file)
                match = &entry;
        if (match) {
            cells[i] = match->type;
            continue;
        }
        if (offLegend++ >= listed)
            continue;
        char colour[40], line[200];
        std::snprintf(colour, sizeof colour, p[3] == 0xff ? "#%02X%02X%02X" : "#%02X%02X%02X alpha %d", p[0], p[1],
                      p[2], p[3]);
        const int x = int(i % mapSize), y = int(i / mapSize);
        const LegendEntry& nearest = nearestEntry(p);
        std::snprintf(line, sizeof line, "\n  x %d, y %d (row %d, column %d): %s", x, y, y, x,
                      file ? file->colour.c_str() : colour);
        lines += line;
        if (!file || file->rounded) {
            std::snprintf(line, sizeof line, ", nearest legend colour #%02X%02X%02X (%s)", nearest.red, nearest.green,
                          nearest.blue, nearest.name.c_str());
            lines += line;
        }
    }
    if (offLegend > 0) {
        *error = std::to_string(offLegend) + (offLegend == 1 ? " pixel is not a legend colour" : " pixels are not legend colours") +
                 " (exact and opaque)" + lines;
        if (offLegend > listed)
            *error += "\n  ... and " + std::to_string(offLegend - listed) + " more";
        return false;
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
    // Road pieces by flood fill over the four neighbours.
    std::vector<bool> seen(size_t(mapSize) * mapSize, false);
    std::vector<int> stack;
    for (int cell = 0; cell < mapSize * mapSize; ++cell) {
        if (!isRoad(map.cells[cell]) || seen[cell])
            continue;
        MapSummary::RoadPiece piece{0, {cell / mapSize, cell % mapSize}};
        seen[cell] = true;
        stack.push_back(cell);
        while (!stack.empty()) {
            int at = stack.back();
            stack.pop_back();
            ++piece.tiles;
            int row = at / mapSize, column = at % mapSize;
            const int next[4][2] = {{row - 1, column}, {row + 1, column}, {row, column - 1}, {row, column + 1}};
            for (const auto& n : next) {
                if (n[0] < 0 || n[0] >= mapSize || n[1] < 0 || n[1] >= mapSize)
                    continue;
                int neighbour = n[0] * mapSize + n[1];
                if (isRoad(map.cells[neighbour]) && !seen[neighbour]) {
                    seen[neighbour] = true;
                    stack.push_back(neighbour);
                }
            }
        }
        summary.roadTiles += piece.tiles;
        summary.roadPieces.push_back(piece);
    }
    std::stable_sort(summary.roadPieces.begin(), summary.roadPieces.end(),
                     [](const auto& a, const auto& b) { return a.tiles > b.tiles; });
    const CameraState start{};
    summary.start = {int(start.z / tileSize), int(start.x / tileSize)};
    summary.startType = map.cells[mapSize * summary.start.row + summary.start.column];
    summary.startOpen = !tileBlocks(summary.startType, start.y);
    return summary;
}
