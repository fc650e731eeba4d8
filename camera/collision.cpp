// Collision against the city map: one probe point a tenth of a tile along the direction of travel.
#include <cmath>

#include "camera/camera.h"

static constexpr float probeReach = 0.1f;  // tiles
static constexpr float lastTile = mapSize - 1;

bool tileBlocks(TileType type, float y)
{
    const float height = tileKind(type).blockingHeight;
    return height > 0.0f && y > -height;
}

// Row or column of a probe coordinate in tiles, held inside the map.
static int clampedTile(float tiles)
{
    if (tiles < 0.0f)
        return 0;
    if (tiles > lastTile)
        return mapSize - 1;
    return static_cast<int>(tiles);
}

void collideWithMap(double d, double c, double s, double v)
{
    double probeCos = c;
    double probeSin = s;
    if (camera.speed < 0.0f) {
        // Backing up: look behind, with the angle rounded to single precision at each step.
        double a = static_cast<float>(d + pi);
        if (a > twoPi)
            a = static_cast<float>(a - twoPi);
        probeCos = std::cos(a);
        probeSin = std::sin(a);
    }

    const double tx = camera.x / static_cast<float>(tileSize);
    const double tz = camera.z / static_cast<float>(tileSize);
    const float pz = static_cast<float>(tz + static_cast<double>(probeReach) * probeCos);
    const float px = static_cast<float>(tx - static_cast<double>(probeReach) * probeSin);
    probeTile.row = clampedTile(pz);
    probeTile.column = clampedTile(px);

    if (!tileBlocks(mapCell(probeTile.row, probeTile.column), camera.y))
        return;
    // Take back exactly this frame's move, with the forward direction even when the probe looked behind.
    camera.speed = 0.0f;
    camera.z = static_cast<float>(camera.z - c * v);
    camera.x = static_cast<float>(camera.x + s * v);
}
