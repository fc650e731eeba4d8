// The map file's bytes and the road-piece rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "map/map.h"

TEST(MapWriter, WritesTheExactFileTheReaderAccepts)
{
    static CityMap map, back;
    for (int i = 0; i < mapSize * mapSize; ++i)
        map.cells[i] = TileType(i % 23);
    map.cells[1] = 0xfffffffeu;  // values the viewer draws as nothing survive unchanged
    std::vector<unsigned char> file = encodeCityMap(map);
    std::string bytes(file.begin(), file.end());
    ASSERT_EQ(bytes.size(), size_t(mapFileBytes));
    // The header, then little-endian cells: 0, then 0xfffffffe.
    EXPECT_EQ(bytes.substr(0, 31),
              std::string("KESTRA MAP\0\2\0\0\0\xaa\0\0\0\xaa\0\0\0" "\0\0\0\0" "\xfe\xff\xff\xff", 31));
    ASSERT_EQ(parseCityMap(file.data(), file.size(), &back), nullptr);
    EXPECT_TRUE(std::equal(std::begin(map.cells), std::end(map.cells), std::begin(back.cells)));
}

TEST(RoadPieces, EachRoadTileGetsTheMaskOfItsRoadNeighboursInsideTheMap)
{
    static CityMap map;
    auto road = [](int row, int column, TileType type = roadBase) { map.cells[mapSize * row + column] = type; };
    for (int i = 9; i <= 11; ++i)  // a cross at (10, 10) and a T at (20, 20) whose branch goes south
        road(10, i), road(i, 10), road(20, i + 10);
    road(21, 20);
    road(30, 30), road(30, 31);  // a street running east, ending at (30, 31)
    road(40, 40), road(39, 40, 1), road(41, 40, 6), road(40, 41, 23);  // alone among a building, cliff, nothing
    road(5, 169), road(6, 0), road(0, 0), road(0, 1), road(169, 0);  // neighbours in memory, not on the map
    road(50, 50, roadBase + 15), road(50, 51, roadBase + 15), road(51, 50, 22), road(49, 50, 23);  // stale masks
    EXPECT_EQ(roadMaskAt(map, 50, 50), roadE | roadS);
    EXPECT_EQ(roadMaskAt(map, 168, 0), roadS);

    EXPECT_EQ(fixRoadPieces(&map), 16);
    for (auto [row, column, type] :
         {std::tuple{10, 10, roadBase + (roadN | roadS | roadE | roadW)}, {9, 10, roadBase + roadS},
          {10, 11, roadBase + roadW}, {20, 20, roadBase + (roadS | roadE | roadW)}, {20, 19, roadBase + roadE},
          {21, 20, roadBase + roadN}, {30, 30, roadBase + roadE}, {30, 31, roadBase + roadW}, {40, 40, roadBase},
          {39, 40, 1u}, {41, 40, 6u}, {40, 41, 23u}, {5, 169, roadBase}, {6, 0, roadBase}, {0, 0, roadBase + roadE},
          {0, 1, roadBase + roadW}, {169, 0, roadBase}, {50, 50, roadBase + (roadE | roadS)},
          {50, 51, roadBase + roadW}, {51, 50, roadBase + roadN}, {49, 50, 23u}, {0, 2, 0u}})
        EXPECT_EQ(map.cells[mapSize * row + column], type) << "row " << row << ", column " << column;
    EXPECT_EQ(fixRoadPieces(&map), 0) << "a second pass finds nothing left to do";
}
