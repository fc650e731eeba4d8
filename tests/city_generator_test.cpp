// The city generator and the bundled city the build writes into the run folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "camera/camera.h"
#include "tools/maptool/maptool.h"

// The properties every generated city must have for the viewer to be worth opening on it.
TEST(CityGenerator, EverySeedGivesItsOwnConnectedDrivableTownEveryTime)
{
    static CityMap map, again, previous;
    for (uint64_t seed : {defaultCitySeed, uint64_t(0), uint64_t(42), ~uint64_t(0)}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        generateCity(seed, &map);
        generateCity(seed, &again);
        EXPECT_TRUE(std::equal(std::begin(map.cells), std::end(map.cells), std::begin(again.cells)));
        EXPECT_FALSE(std::equal(std::begin(map.cells), std::end(map.cells), std::begin(previous.cells)));
        previous = map;
        EXPECT_EQ(fixRoadPieces(&again), 0) << "every road tile is 7 + its neighbour mask";
        MapSummary summary = summarizeMap(map);
        EXPECT_EQ(summary.roadPieces.size(), 1u) << "one connected street network";
        for (int kind = 0; kind < 8; ++kind)
            EXPECT_GT(summary.kindCounts[kind], 0) << legend[kind].name;
        EXPECT_EQ(summary.kindCounts[8], 0) << "no cell that draws nothing";

        // The camera starts on a road, free to move, and looks north up a long street into the city.
        const CameraState start{};
        int row = int(start.z / tileSize), column = int(start.x / tileSize), street = 0;
        EXPECT_TRUE(isRoad(map.cells[mapSize * row + column]));
        EXPECT_TRUE(summary.startOpen);
        while (street < row && isRoad(map.cells[mapSize * (row - street - 1) + column]))
            ++street;
        EXPECT_GE(street, 100);
    }
}

TEST(CityGenerator, TheBuildWritesTheBundledCityForTheViewer)
{
    static CityMap bundled, expected;
    ASSERT_EQ(readCityMap(KESTRA_RUN_DIR "/city.map", &bundled), nullptr);
    generateCity(defaultCitySeed, &expected);
    EXPECT_TRUE(std::equal(std::begin(bundled.cells), std::end(bundled.cells), std::begin(expected.cells)));
}
