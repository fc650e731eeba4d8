// The map file and the road rule: the reader's format checks, the messages it shows, that a failure never
// touches the grid, the writer's exact bytes, and the road-piece masks.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "map/map.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

static void putInt32(Bytes& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// A complete file whose cell i holds firstValue + i.
static Bytes validFile(uint32_t firstValue)
{
    Bytes bytes(mapFileBytes, 0);
    std::memcpy(bytes.data(), "KESTRA MAP\0\2\0\0\0\xaa\0\0\0\xaa\0\0\0", mapHeaderBytes);
    for (uint32_t i = 0; i < uint32_t(mapSize * mapSize); ++i)
        putInt32(bytes, mapHeaderBytes + 4 * i, firstValue + i);
    return bytes;
}

// Writes the bytes (none: no file) as "city.map" in a fresh folder that also holds a FIFO and a link to a
// device, loads name from there and returns what went to stderr.
static std::string load(const Bytes* bytes, const char* name = "city.map")
{
    TempDir dir;
    mkfifo("fifo.map", 0644);
    fs::create_symlink("/dev/zero", "zero.map");
    if (bytes)
        std::ofstream("city.map", std::ios::binary) << std::string(bytes->begin(), bytes->end());
    testing::internal::CaptureStderr();
    loadCityMap((dir.path / name).c_str());
    return testing::internal::GetCapturedStderr();
}

// Before each fault a valid file (with trailing bytes, ignored) fills the grid in row-major order, large values
// kept, so that the writer's bytes for the grid are the file's; the fault must leave the grid so.
TEST(MapFile, ValidFilesFillTheGridAndEveryFaultShowsItsMessageAndKeepsIt)
{
    const char* badType = "Invalid map type or version";
    const char* badSize = "Invalid map size.";
    const char* incomplete = "Map file is incomplete.";
    const Bytes whole = validFile(0);
    Bytes loaded = validFile(40), withTrailing;
    putInt32(loaded, mapHeaderBytes + 4, 0xFFFFFFFFu);
    withTrailing = loaded;
    withTrailing.insert(withTrailing.end(), {'j', 'u', 'n', 'k'});
    auto patched = [&](size_t at, uint32_t value) { Bytes b = whole; putInt32(b, at, value); return b; };
    auto cut = [&](size_t length) { return Bytes(whole.begin(), whole.begin() + length); };
    auto expectFault = [&](const char* what, const Bytes* bytes, const char* name, const char* message) {
        SCOPED_TRACE(what);
        ASSERT_EQ(load(&withTrailing), "");
        ASSERT_EQ(mapCell(1, 0), 210u);
        EXPECT_EQ(load(bytes, name), std::string("MAP LOAD ERROR: ") + message + "\n");
        EXPECT_EQ(encodeCityMap(cityMap), loaded) << "the city loaded before stays";
    };
    // A folder opens on Linux but cannot be read; a FIFO or device is refused before any read.
    for (const char* name : {"nothing.map", ".", "fifo.map", "zero.map"})
        expectFault(name, nullptr, name, "Map could not be loaded.");
    // A header cut inside a field fails the check that field belongs to.
    for (const auto& [what, bytes, message] : {
             std::tuple{"magic", patched(0, 0), badType}, {"KESTRA MAPS", patched(7, 0x5350414D), badType},
             {"version 3", patched(11, 3), badType}, {"big-endian 2", patched(11, 0x02000000u), badType},
             {"height 171", patched(15, 171), badSize}, {"width -170", patched(19, 0xFFFFFF56u), badSize},
             {"14 bytes", cut(14), badType}, {"15 bytes", cut(15), badSize}, {"22 bytes", cut(22), badSize},
             {"no cells", cut(mapHeaderBytes), incomplete}, {"a byte short", cut(mapFileBytes - 1), incomplete}})
        expectFault(what, &bytes, "city.map", message);
}

// The viewer's running city follows its file: a look once a second (the clock wrapping on the way), a
// rewrite or a replacement read in, a failing file kept out and reported once.
TEST(MapFile, TheCityFollowsItsFileAndAFailingFileLeavesItAsItWas)
{
    TempDir dir;
    const fs::path path = dir.path / "mine.map";
    const auto start = fs::file_time_type::clock::now();
    int stamp = 0;  // seconds after start of the next write, so that every write has a time of its own
    auto write = [&](const Bytes& bytes, const fs::path& to) {
        std::ofstream(to, std::ios::binary) << std::string(bytes.begin(), bytes.end());
        fs::last_write_time(to, start + std::chrono::seconds(++stamp));
    };
    const Bytes picture = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    write(validFile(1), path);
    cityMapPath = path.string();
    cityMapName = "mine.map";
    ASSERT_EQ(explainCityMap(path.c_str(), cityMapName, &cityMap), "");
    const uint32_t t = 0xFFFFFFFFu - 5500;
    ASSERT_FALSE(followCityMap(t)) << "the first look takes the file as loaded";
    // What happens to the file, the change, the time of the look, whether the city is replaced, what is said and
    // the city's first cell after it.
    const std::tuple<const char*, std::function<void()>, uint32_t, bool, std::string, TileType> steps[] = {
        {"rewritten, looked at too soon", [&] { write(validFile(100), path); }, t + 999, false, "", 1},
        {"a second after the last look", [] {}, t + 1000, true, "", 100},
        {"replaced by a new file", [&] { write(validFile(200), "new"), fs::rename("new", path); },
         t + 2000, true, "", 200},
        {"a picture", [&] { write(picture, path); }, t + 3000, false,
         "kestra: mine.map: a PNG picture, not a city map; kestra-map import makes one from it\n", 200},
        {"the same fault again", [&] { write(picture, path); }, t + 4000, false, "", 200},
        {"removed", [&] { fs::remove(path); }, t + 5000, false, "kestra: mine.map: no such file\n", 200},
        {"back, with the clock wrapped", [&] { write(validFile(300), path); }, t + 6000, true, "", 300},
    };
    for (const auto& [what, change, now, replaced, said, firstCell] : steps) {
        SCOPED_TRACE(what);
        change();
        testing::internal::CaptureStderr();
        EXPECT_EQ(followCityMap(now), replaced);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), said);
        EXPECT_EQ(cityMap.cells[0], firstCell);
    }
}

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
