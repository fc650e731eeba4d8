// The city generator and the bundled city the build writes into the run folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "camera/camera.h"
#include "tools/maptool/maptool.h"

namespace {
const CityMap& city(uint64_t seed)
{
    static CityMap map;
    generateCity(seed, &map);
    return map;
}

TileType cell(const CityMap& map, int row, int column)
{
    return map.cells[mapSize * row + column];
}

// The properties every generated city must have for the viewer to be worth opening on it.
void expectDrivableCity(const CityMap& map, uint64_t seed)
{
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    static CityMap fixed;
    fixed = map;
    EXPECT_EQ(fixRoadPieces(&fixed), 0) << "every road tile is 7 + its neighbour mask";
    MapSummary summary = summarizeMap(map);
    EXPECT_EQ(summary.roadParts, 1) << "one connected street network";
    for (int kind = 0; kind < 8; ++kind)
        EXPECT_GT(summary.kindCounts[kind], 0) << legend[kind].name;
    EXPECT_EQ(summary.kindCounts[8], 0) << "no cell that draws nothing";

    // The camera starts on a road and looks north up a street into the city.
    const CameraState start{};
    int row = int(start.z / tileSize), column = int(start.x / tileSize);
    EXPECT_TRUE(isRoad(cell(map, row, column)));
    EXPECT_TRUE(summary.startOpen);
    int streetLength = 0;
    while (row - streetLength - 1 >= 0 && isRoad(cell(map, row - streetLength - 1, column)))
        ++streetLength;
    EXPECT_GE(streetLength, 100);

    // Crossings, T junctions, dead ends and straight pieces all occur.
    int bySides[5] = {};
    for (TileType type : map.cells)
        if (isRoad(type))
            ++bySides[__builtin_popcount(type - roadBase)];
    EXPECT_GT(bySides[1], 5);
    EXPECT_GT(bySides[3], 5);
    EXPECT_GT(bySides[4], 5);
}
}  // namespace

TEST(CityGenerator, TheBundledCityIsADrivableTown)
{
    expectDrivableCity(city(defaultCitySeed), defaultCitySeed);
}

TEST(CityGenerator, OtherSeedsGiveDrivableTownsToo)
{
    for (uint64_t seed : {0ull, 1ull, 42ull, 123456789ull, ~0ull})
        expectDrivableCity(city(seed), seed);
}

TEST(CityGenerator, TheSameSeedGivesTheSameCityAndAnotherSeedAnother)
{
    static CityMap first;
    first = city(7);
    const CityMap& again = city(7);
    EXPECT_TRUE(std::equal(std::begin(first.cells), std::end(first.cells), std::begin(again.cells)));
    const CityMap& other = city(8);
    EXPECT_FALSE(std::equal(std::begin(first.cells), std::end(first.cells), std::begin(other.cells)));
}

TEST(CityGenerator, TallBuildingsGatherDowntownAndCliffsFormARidgeOnOneSide)
{
    const CityMap& map = city(defaultCitySeed);
    // Tall buildings are denser in the middle third of the map than in the outer ring.
    int tallInside = 0, builtInside = 0, tallOutside = 0, builtOutside = 0;
    for (int row = 0; row < mapSize; ++row) {
        for (int column = 0; column < mapSize; ++column) {
            TileType type = cell(map, row, column);
            if (type < 1 || type > 5)
                continue;
            bool tall = type == 1 || type == 3 || type == 5;
            bool inside = row > 40 && row < 130 && column > 30 && column < 120;
            (inside ? builtInside : builtOutside) += 1;
            (inside ? tallInside : tallOutside) += tall;
        }
    }
    EXPECT_GT(double(tallInside) / builtInside, 1.3 * double(tallOutside) / builtOutside);
    // The cliff runs along the east edge from top to bottom and stays out of the west half.
    for (int row = 0; row < mapSize; ++row)
        EXPECT_EQ(cell(map, row, mapSize - 1), 6u) << "row " << row;
    for (int row = 0; row < mapSize; ++row)
        for (int column = 0; column < mapSize / 2; ++column)
            ASSERT_NE(cell(map, row, column), 6u);
}

TEST(CityGenerator, TheBuildWritesTheBundledCityForTheViewer)
{
    std::string path = std::string(KESTRA_RUN_DIR) + "/city.map";
    static CityMap bundled;
    ASSERT_EQ(readCityMap(path.c_str(), &bundled), nullptr);
    const CityMap& expected = city(defaultCitySeed);
    EXPECT_TRUE(std::equal(std::begin(bundled.cells), std::end(bundled.cells), std::begin(expected.cells)));

    testing::internal::CaptureStderr();
    cityMap = CityMap{};
    loadCityMap(path.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(std::equal(std::begin(cityMap.cells), std::end(cityMap.cells), std::begin(expected.cells)));
}
