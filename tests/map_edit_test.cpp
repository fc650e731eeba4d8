// The road-piece rule: each road tile's type is 7 + the mask of its road neighbours inside the map.
#include <gtest/gtest.h>

#include <tuple>

#include "map/map.h"

TEST(RoadPieces, EachRoadTileGetsTheMaskOfItsRoadNeighboursInsideTheMap)
{
    static CityMap map;
    auto road = [](int row, int column, TileType type = roadBase) { map.cells[mapSize * row + column] = type; };
    for (int i = 9; i <= 11; ++i)  // a cross at (10, 10): its arms' ends each have one side
        road(10, i), road(i, 10);
    road(40, 40), road(39, 40, 1), road(41, 40, 6), road(40, 41, 23);  // alone among a building, cliff, nothing
    road(5, 169), road(6, 0), road(0, 0), road(0, 1), road(169, 0);  // neighbours in memory, not on the map
    road(50, 50, roadBase + 15), road(50, 51, roadBase + 15), road(51, 50, 22), road(49, 50, 23);  // stale masks
    EXPECT_EQ(roadMaskAt(map, 50, 50), roadE | roadS);

    EXPECT_EQ(fixRoadPieces(&map), 10);
    for (auto [row, column, type] :
         {std::tuple{10, 10, roadBase + (roadN | roadS | roadE | roadW)}, {9, 10, roadBase + roadS},
          {11, 10, roadBase + roadN}, {10, 9, roadBase + roadE}, {10, 11, roadBase + roadW}, {40, 40, roadBase},
          {39, 40, 1u}, {41, 40, 6u}, {40, 41, 23u}, {5, 169, roadBase}, {6, 0, roadBase}, {0, 0, roadBase + roadE},
          {0, 1, roadBase + roadW}, {169, 0, roadBase}, {50, 50, roadBase + (roadE | roadS)},
          {50, 51, roadBase + roadW}, {51, 50, roadBase + roadN}, {49, 50, 23u}, {0, 2, 0u}})
        EXPECT_EQ(map.cells[mapSize * row + column], type) << "row " << row << ", column " << column;
    EXPECT_EQ(fixRoadPieces(&map), 0) << "a second pass finds nothing left to do";
}
