// The map writer, atomic file replacement and the road-piece rule.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "map/map.h"

namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path;
    TempDir()
    {
        std::string name = (fs::temp_directory_path() / "kestra-map-edit-XXXXXX").string();
        path = mkdtemp(name.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
};

std::vector<unsigned char> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CityMap& blankMap()
{
    static CityMap map;
    map = CityMap{};
    return map;
}

void putRoad(CityMap& map, int row, int column)
{
    map.cells[mapSize * row + column] = roadBase;
}

TileType cell(const CityMap& map, int row, int column)
{
    return map.cells[mapSize * row + column];
}
}  // namespace

TEST(MapWriter, WritesTheExactFileTheReaderAccepts)
{
    TempDir dir;
    CityMap& map = blankMap();
    for (int i = 0; i < mapSize * mapSize; ++i)
        map.cells[i] = TileType(i % 23);
    map.cells[1] = 0xfffffffeu;  // values the viewer draws as nothing survive unchanged
    ASSERT_TRUE(writeCityMap(dir.file("city.map").c_str(), map));

    std::vector<unsigned char> bytes = readBytes(dir.file("city.map"));
    ASSERT_EQ(bytes.size(), size_t(mapFileBytes));
    const unsigned char header[23] = {'K', 'E', 'S', 'T', 'R', 'A', ' ', 'M', 'A', 'P', 0, 2, 0, 0, 0, 170, 0, 0, 0, 170, 0, 0, 0};
    EXPECT_TRUE(std::equal(header, header + 23, bytes.begin()));
    EXPECT_EQ(bytes[23 + 4], 0xfe);  // little-endian cells
    EXPECT_EQ(bytes[23 + 7], 0xff);

    static CityMap back;
    ASSERT_EQ(readCityMap(dir.file("city.map").c_str(), &back), nullptr);
    EXPECT_TRUE(std::equal(std::begin(map.cells), std::end(map.cells), std::begin(back.cells)));
}

TEST(MapWriter, ReplacesAFileInOneStepAndKeepsItsMode)
{
    TempDir dir;
    std::string path = dir.file("city.map");
    { std::ofstream(path) << "old contents"; }
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(writeCityMap(path.c_str(), blankMap()));
    EXPECT_EQ(fs::file_size(path), uintmax_t(mapFileBytes));
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // Nothing but the map itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(MapWriter, AFailedWriteLeavesNoTemporaryFileAndNothingChanged)
{
    TempDir dir;
    // A folder in the way: the rename cannot replace it.
    fs::create_directory(dir.path / "city.map");
    EXPECT_FALSE(writeCityMap(dir.file("city.map").c_str(), blankMap()));
    EXPECT_TRUE(fs::is_directory(dir.path / "city.map"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);

    EXPECT_FALSE(writeCityMap(dir.file("missing/city.map").c_str(), blankMap()));
    EXPECT_FALSE(fs::exists(dir.path / "missing"));
}

TEST(RoadPieces, SmallLayoutsGetTheirNeighbourMasks)
{
    CityMap& map = blankMap();
    // A cross at (10, 10).
    for (int i = 9; i <= 11; ++i) {
        putRoad(map, 10, i);
        putRoad(map, i, 10);
    }
    // A T at (20, 20): a street along row 20, a branch going south.
    for (int i = 19; i <= 21; ++i)
        putRoad(map, 20, i);
    putRoad(map, 21, 20);
    // A dead end: a street running east ends at (30, 31).
    putRoad(map, 30, 30);
    putRoad(map, 30, 31);
    // An isolated tile, with buildings and a cliff around that must not count.
    putRoad(map, 40, 40);
    map.cells[mapSize * 39 + 40] = 1;
    map.cells[mapSize * 41 + 40] = 6;
    map.cells[mapSize * 40 + 41] = 23;

    EXPECT_EQ(fixRoadPieces(&map), 11);  // twelve road tiles; the isolated one already is 7
    EXPECT_EQ(cell(map, 10, 10), roadBase + (roadN | roadS | roadE | roadW));
    EXPECT_EQ(cell(map, 9, 10), roadBase + roadS);
    EXPECT_EQ(cell(map, 10, 11), roadBase + roadW);
    EXPECT_EQ(cell(map, 20, 20), roadBase + (roadS | roadE | roadW));
    EXPECT_EQ(cell(map, 20, 19), roadBase + roadE);
    EXPECT_EQ(cell(map, 21, 20), roadBase + roadN);
    EXPECT_EQ(cell(map, 30, 30), roadBase + roadE);
    EXPECT_EQ(cell(map, 30, 31), roadBase + roadW);
    EXPECT_EQ(cell(map, 40, 40), roadBase);
    EXPECT_EQ(cell(map, 39, 40), 1u);
    EXPECT_EQ(cell(map, 41, 40), 6u);
    EXPECT_EQ(cell(map, 40, 41), 23u);
    EXPECT_EQ(cell(map, 0, 0), 0u);
    // A second pass finds nothing left to do.
    EXPECT_EQ(fixRoadPieces(&map), 0);
}

TEST(RoadPieces, TheMapEdgesEndTheRoadWithoutWrappingAround)
{
    CityMap& map = blankMap();
    // (5, 169) and (6, 0) are neighbours in memory, not on the map; so are (0, 0) and the last row.
    putRoad(map, 5, 169);
    putRoad(map, 6, 0);
    putRoad(map, 0, 0);
    putRoad(map, 169, 0);
    putRoad(map, 0, 1);
    fixRoadPieces(&map);
    EXPECT_EQ(cell(map, 5, 169), roadBase);
    EXPECT_EQ(cell(map, 6, 0), roadBase);
    EXPECT_EQ(cell(map, 0, 0), roadBase + roadE);
    EXPECT_EQ(cell(map, 0, 1), roadBase + roadW);
    EXPECT_EQ(cell(map, 169, 0), roadBase);
    EXPECT_EQ(roadMaskAt(map, 168, 0), unsigned(roadS));
}

TEST(RoadPieces, AnyRoadPieceCountsAsRoadWhateverItsOldMask)
{
    CityMap& map = blankMap();
    map.cells[mapSize * 50 + 50] = roadBase + 15;  // claims all four sides
    map.cells[mapSize * 50 + 51] = roadBase + 15;
    map.cells[mapSize * 51 + 50] = 22;
    map.cells[mapSize * 49 + 50] = 23;  // just past the road types
    EXPECT_EQ(roadMaskAt(map, 50, 50), unsigned(roadE | roadS));
    EXPECT_EQ(fixRoadPieces(&map), 3);
    EXPECT_EQ(cell(map, 50, 51), roadBase + roadW);
}
