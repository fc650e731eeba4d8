// The seeded city generator: a street grid thinned into blocks, cul-de-sacs, lots of mixed heights,
// parks, and a cliff ridge along the east side.
#include <algorithm>
#include <cmath>
#include <vector>

#include "camera/camera.h"
#include "tools/maptool/maptool.h"

namespace {
// splitmix64: tiny, and gives the same numbers on every platform, unlike the standard distributions.
struct Random {
    uint64_t state;
};

// What a block is built with: weights of grass lots and of building types 1..5.
struct BlockCharacter {
    int weights[6];
};
}  // namespace

static uint64_t mix(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

static uint64_t nextRandom(Random* random)
{
    random->state += 0x9e3779b97f4a7c15ULL;
    return mix(random->state);
}

// Uniform in lo..hi inclusive.
static int randomBetween(Random* random, int lo, int hi)
{
    return lo + int(nextRandom(random) % uint64_t(hi - lo + 1));
}

static bool chance(Random* random, double p)
{
    return double(nextRandom(random) >> 11) * 0x1.0p-53 < p;
}

static bool inMap(int row, int column)
{
    return row >= 0 && row < mapSize && column >= 0 && column < mapSize;
}

static int at(int row, int column)
{
    return mapSize * row + column;
}

static const int steps[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};

// Breadth-first distance (four neighbours) from every cell marked as a source; -1 where unreachable.
static std::vector<int> distanceFrom(const std::vector<bool>& source)
{
    std::vector<int> distance(source.size(), -1);
    std::vector<int> queue;
    for (int cell = 0; cell < int(source.size()); ++cell) {
        if (source[cell]) {
            distance[cell] = 0;
            queue.push_back(cell);
        }
    }
    for (size_t head = 0; head < queue.size(); ++head) {
        int cell = queue[head];
        for (const auto& step : steps) {
            int row = cell / mapSize + step[0], column = cell % mapSize + step[1];
            if (inMap(row, column) && distance[at(row, column)] < 0) {
                distance[at(row, column)] = distance[cell] + 1;
                queue.push_back(at(row, column));
            }
        }
    }
    return distance;
}

// Road cells reachable from the start tile.
static std::vector<bool> reachableRoads(const std::vector<bool>& road, int startCell)
{
    std::vector<bool> seen(road.size(), false);
    if (!road[startCell])
        return seen;
    std::vector<int> stack{startCell};
    seen[startCell] = true;
    while (!stack.empty()) {
        int cell = stack.back();
        stack.pop_back();
        for (const auto& step : steps) {
            int row = cell / mapSize + step[0], column = cell % mapSize + step[1];
            if (inMap(row, column) && road[at(row, column)] && !seen[at(row, column)]) {
                seen[at(row, column)] = true;
                stack.push_back(at(row, column));
            }
        }
    }
    return seen;
}

static int countTrue(const std::vector<bool>& flags)
{
    return int(std::count(flags.begin(), flags.end(), true));
}

// The cliff: everything east of a wandering edge, with a plateau reaching further west in the north.
static std::vector<bool> layRidge(Random* random)
{
    std::vector<bool> cliff(size_t(mapSize) * mapSize, false);
    int edge = randomBetween(random, 150, 155);
    int plateauRows = randomBetween(random, 16, 26);
    int plateauEdge = randomBetween(random, 122, 132);
    for (int row = 0; row < mapSize; ++row) {
        edge = std::clamp(edge + randomBetween(random, -1, 1), 146, 160);
        int west = edge;
        if (row < plateauRows) {
            plateauEdge = std::clamp(plateauEdge + randomBetween(random, -1, 1), 118, 136);
            west = plateauEdge;
        } else if (row < plateauRows + 3) {
            west = std::min(edge, plateauEdge + 4 * (row - plateauRows + 1));  // a shoulder down to the ridge
        }
        for (int column = west; column < mapSize; ++column)
            cliff[at(row, column)] = true;
    }
    return cliff;
}

// Marks a street line, skipping cells too close to the cliff.
static void layStreet(std::vector<bool>* road, const std::vector<int>& cliffDistance, int row0, int column0,
                      int row1, int column1)
{
    for (int row = row0; row <= row1; ++row)
        for (int column = column0; column <= column1; ++column)
            if (cliffDistance[at(row, column)] > 2)
                (*road)[at(row, column)] = true;
}

// Drops some grid segments between neighbouring crossings, joining blocks, while every road stays
// reachable from the start; the start street itself stays whole.
static void thinStreets(Random* random, std::vector<bool>* road, const std::vector<int>& rows,
                        const std::vector<int>& columns, int startCell)
{
    std::vector<std::vector<int>> segments;
    for (int row : rows) {
        for (size_t i = 0; i + 1 < columns.size(); ++i) {
            std::vector<int> cells;
            for (int column = columns[i] + 1; column < columns[i + 1]; ++column)
                cells.push_back(at(row, column));
            segments.push_back(cells);
        }
    }
    for (size_t j = 1; j < columns.size(); ++j) {
        for (size_t i = 0; i + 1 < rows.size(); ++i) {
            std::vector<int> cells;
            for (int row = rows[i] + 1; row < rows[i + 1]; ++row)
                cells.push_back(at(row, columns[j]));
            segments.push_back(cells);
        }
    }
    for (size_t i = segments.size(); i > 1; --i)
        std::swap(segments[i - 1], segments[size_t(randomBetween(random, 0, int(i) - 1))]);
    int roads = countTrue(*road);
    for (const std::vector<int>& cells : segments) {
        if (!chance(random, 0.12))
            continue;
        bool whole = std::all_of(cells.begin(), cells.end(), [&](int cell) { return (*road)[cell]; });
        if (!whole)
            continue;
        for (int cell : cells)
            (*road)[cell] = false;
        if (countTrue(reachableRoads(*road, startCell)) == roads - int(cells.size())) {
            roads -= int(cells.size());
        } else {
            for (int cell : cells)
                (*road)[cell] = true;
        }
    }
}

// Short dead-end streets leading off a straight street into a block.
static void addCulDeSacs(Random* random, std::vector<bool>* road, const std::vector<int>& cliffDistance, int wanted)
{
    auto isRoadAt = [&](int row, int column) { return inMap(row, column) && (*road)[at(row, column)]; };
    for (int attempt = 0; attempt < 4000 && wanted > 0; ++attempt) {
        int row = randomBetween(random, 1, mapSize - 2);
        int column = randomBetween(random, 1, mapSize - 2);
        if (!(*road)[at(row, column)])
            continue;
        bool northSouth = isRoadAt(row - 1, column) && isRoadAt(row + 1, column) && !isRoadAt(row, column - 1) &&
                          !isRoadAt(row, column + 1);
        bool eastWest = isRoadAt(row, column - 1) && isRoadAt(row, column + 1) && !isRoadAt(row - 1, column) &&
                        !isRoadAt(row + 1, column);
        if (!northSouth && !eastWest)
            continue;
        int sign = chance(random, 0.5) ? 1 : -1;
        int dr = northSouth ? 0 : sign, dc = northSouth ? sign : 0;
        int length = randomBetween(random, 2, 5);
        bool fits = true;
        // The spur's cells, their sides, and two cells beyond its end must all be free of road.
        for (int i = 1; i <= length + 2 && fits; ++i) {
            int r = row + dr * i, c = column + dc * i;
            fits = inMap(r, c) && !(*road)[at(r, c)] && cliffDistance[at(r, c)] > 2;
            if (fits && i <= length)
                fits = !isRoadAt(r + dc, c + dr) && !isRoadAt(r - dc, c - dr);
        }
        if (!fits)
            continue;
        for (int i = 1; i <= length; ++i)
            (*road)[at(row + dr * i, column + dc * i)] = true;
        --wanted;
    }
}

// Groups of open cells (not road, not cliff) joined through their four neighbours; -1 elsewhere.
static std::vector<int> findBlocks(const std::vector<bool>& road, const std::vector<bool>& cliff,
                                   std::vector<std::vector<int>>* members)
{
    std::vector<int> block(road.size(), -1);
    for (int first = 0; first < int(road.size()); ++first) {
        if (road[first] || cliff[first] || block[first] >= 0)
            continue;
        int id = int(members->size());
        members->emplace_back();
        std::vector<int>& cells = members->back();
        block[first] = id;
        cells.push_back(first);
        for (size_t head = 0; head < cells.size(); ++head) {
            int cell = cells[head];
            for (const auto& step : steps) {
                int row = cell / mapSize + step[0], column = cell % mapSize + step[1];
                if (!inMap(row, column))
                    continue;
                int next = at(row, column);
                if (!road[next] && !cliff[next] && block[next] < 0) {
                    block[next] = id;
                    cells.push_back(next);
                }
            }
        }
    }
    return block;
}

static const BlockCharacter towers = {{0, 40, 5, 40, 0, 15}};
static const BlockCharacter mixed = {{3, 15, 22, 15, 22, 20}};
static const BlockCharacter houses = {{15, 0, 40, 0, 40, 5}};

static TileType pickType(const BlockCharacter& character, uint64_t draw)
{
    int total = 0;
    for (int weight : character.weights)
        total += weight;
    int pick = int(draw % uint64_t(total));
    for (int type = 0; type < 6; ++type) {
        if (pick < character.weights[type])
            return TileType(type);
        pick -= character.weights[type];
    }
    return 0;
}

void generateCity(uint64_t seed, CityMap* map)
{
    Random random{mix(seed)};
    const CameraState camera{};
    const int startRow = int(camera.z / tileSize), startColumn = int(camera.x / tileSize);
    const int startCell = at(startRow, startColumn);
    const size_t cellCount = size_t(mapSize) * mapSize;

    std::vector<bool> cliff = layRidge(&random);
    std::vector<int> cliffDistance = distanceFrom(cliff);

    // The street grid: the start street runs north along the start column, the others at
    // irregular spacings, so that blocks come in different sizes.
    std::vector<int> columns{startColumn};
    for (int column = startColumn + randomBetween(&random, 7, 11); column < 158;
         column += randomBetween(&random, 7, 11))
        columns.push_back(column);
    std::vector<int> rows;
    for (int row = randomBetween(&random, 3, 5); row < startRow - 3; row += randomBetween(&random, 6, 9))
        rows.push_back(row);
    std::vector<bool> road(cellCount, false);
    for (int row : rows)
        layStreet(&road, cliffDistance, row, columns.front(), row, columns.back());
    for (int column : columns)
        layStreet(&road, cliffDistance, rows.front(), column, rows.back(), column);
    layStreet(&road, cliffDistance, rows.back(), startColumn, startRow, startColumn);

    // Bits of street between bulges of the cliff may hang free; only the network of the start counts.
    road = reachableRoads(road, startCell);
    thinStreets(&random, &road, rows, columns, startCell);
    addCulDeSacs(&random, &road, cliffDistance, 30);

    // Blocks, and which of them are parks or built with towers, mixed lots or houses.
    std::vector<std::vector<int>> members;
    std::vector<int> block = findBlocks(road, cliff, &members);
    const double centreRow = randomBetween(&random, 68, 88), centreColumn = randomBetween(&random, 62, 82);
    std::vector<const BlockCharacter*> character(members.size());
    std::vector<bool> park(members.size(), false);
    for (size_t id = 0; id < members.size(); ++id) {
        double row = 0, column = 0;
        for (int cell : members[id]) {
            row += cell / mapSize;
            column += cell % mapSize;
        }
        row /= double(members[id].size());
        column /= double(members[id].size());
        double t = std::hypot(row - centreRow, column - centreColumn) / 80.0;
        double roll = double(randomBetween(&random, 0, 999)) / 1000.0;
        if (t < 0.35)
            character[id] = roll < 0.85 ? &towers : &mixed;
        else if (t < 0.7)
            character[id] = roll < 0.2 ? &towers : roll < 0.8 ? &mixed : &houses;
        else
            character[id] = roll < 0.3 ? &mixed : &houses;
    }
    int parks = randomBetween(&random, 4, 6);
    for (int attempt = 0; attempt < 500 && parks > 0; ++attempt) {
        size_t id = size_t(randomBetween(&random, 0, int(members.size()) - 1));
        if (park[id] || members[id].size() < 16 || members[id].size() > 220)
            continue;
        park[id] = true;
        --parks;
    }

    // Lots: each cell takes the lot of the nearest of a scatter of lot seeds, one per 3 x 3 cells,
    // and the lot's type is drawn from the block's character. Buildings stand in the frontage
    // along the streets; deeper in a block lie courtyards and back gardens.
    const int lotSpacing = 3, lotsAcross = (mapSize + lotSpacing - 1) / lotSpacing;
    std::vector<int> lotRow(size_t(lotsAcross) * lotsAcross), lotColumn(lotRow.size());
    std::vector<uint64_t> lotDraw(lotRow.size());
    for (size_t lot = 0; lot < lotRow.size(); ++lot) {
        lotRow[lot] = int(lot / size_t(lotsAcross)) * lotSpacing + randomBetween(&random, 0, lotSpacing - 1);
        lotColumn[lot] = int(lot % size_t(lotsAcross)) * lotSpacing + randomBetween(&random, 0, lotSpacing - 1);
        lotDraw[lot] = nextRandom(&random);
    }
    std::vector<int> roadDistance = distanceFrom(road);
    for (int row = 0; row < mapSize; ++row) {
        for (int column = 0; column < mapSize; ++column) {
            int cell = at(row, column);
            TileType type = 0;
            if (road[cell]) {
                type = roadBase;
            } else if (cliff[cell]) {
                type = 6;
            } else if (!park[size_t(block[cell])] && cliffDistance[cell] > 1) {
                const BlockCharacter* kind = character[size_t(block[cell])];
                int depth = kind == &towers ? 3 : 2;
                if (roadDistance[cell] >= 1 && roadDistance[cell] <= depth) {
                    int gridRow = row / lotSpacing, gridColumn = column / lotSpacing;
                    int best = -1, bestDistance = 0;
                    for (int i = std::max(0, gridRow - 1); i <= std::min(lotsAcross - 1, gridRow + 1); ++i) {
                        for (int j = std::max(0, gridColumn - 1); j <= std::min(lotsAcross - 1, gridColumn + 1); ++j) {
                            int lot = i * lotsAcross + j;
                            int dr = lotRow[size_t(lot)] - row, dc = lotColumn[size_t(lot)] - column;
                            if (best < 0 || dr * dr + dc * dc < bestDistance) {
                                best = lot;
                                bestDistance = dr * dr + dc * dc;
                            }
                        }
                    }
                    type = pickType(*kind, lotDraw[size_t(best)]);
                }
            }
            map->cells[cell] = type;
        }
    }
    fixRoadPieces(map);
}
