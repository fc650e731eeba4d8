// The map file reader: format checks, the messages it shows, and that a failure never touches the grid.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "map/map.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

void putInt32(Bytes& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// A complete file whose cell i holds firstValue + i.
Bytes validFile(uint32_t firstValue)
{
    Bytes bytes(mapFileBytes, 0);
    std::memcpy(bytes.data(), "KESTRA MAP", 11);
    putInt32(bytes, 11, 2);
    putInt32(bytes, 15, 170);
    putInt32(bytes, 19, 170);
    for (uint32_t i = 0; i < uint32_t(mapSize * mapSize); ++i)
        putInt32(bytes, mapHeaderBytes + 4 * i, firstValue + i);
    return bytes;
}

class MapFile : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kestra-map-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fillGrid(7);
    }
    void TearDown() override { fs::remove_all(dir); }

    static void fillGrid(uint32_t value)
    {
        for (TileType& cell : cityMap.cells)
            cell = value;
    }

    std::string write(const Bytes& bytes, const char* name = "city.map")
    {
        std::string path = (dir / name).string();
        FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (file) {
            if (!bytes.empty())
                std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        return path;
    }

    // Loads the file and returns everything written to stderr meanwhile.
    static std::string load(const std::string& path)
    {
        testing::internal::CaptureStderr();
        loadCityMap(path.c_str());
        return testing::internal::GetCapturedStderr();
    }

    static bool gridIsAll(uint32_t value)
    {
        for (TileType cell : cityMap.cells)
            if (cell != value)
                return false;
        return true;
    }

    // Expects the load to fail with exactly this message and to leave the grid as it was.
    void expectRejected(const Bytes& bytes, const char* message)
    {
        std::string shown = load(write(bytes));
        EXPECT_EQ(shown, std::string("MAP LOAD ERROR: ") + message + "\n");
        EXPECT_TRUE(gridIsAll(7));
    }

    fs::path dir;
};

constexpr const char* badTypeOrVersion = "Invalid map type or version";
constexpr const char* badSize = "Invalid map size.";
constexpr const char* incomplete = "Map file is incomplete.";

TEST_F(MapFile, ValidFileFillsTheWholeGridInRowMajorOrder)
{
    EXPECT_EQ(load(write(validFile(1000))), "");
    EXPECT_EQ(mapCell(0, 0), 1000u);
    EXPECT_EQ(mapCell(0, 169), 1169u);
    EXPECT_EQ(mapCell(1, 0), 1170u);
    EXPECT_EQ(mapCell(169, 169), 1000u + 28899u);
}

TEST_F(MapFile, CellValuesAboveTheDefinedTypesAreStoredUnchanged)
{
    Bytes bytes = validFile(0);
    putInt32(bytes, mapHeaderBytes, 23);
    putInt32(bytes, mapHeaderBytes + 4, 0xFFFFFFFFu);
    putInt32(bytes, mapHeaderBytes + 8, 0x80000000u);
    EXPECT_EQ(load(write(bytes)), "");
    EXPECT_EQ(mapCell(0, 0), 23u);
    EXPECT_EQ(mapCell(0, 1), 0xFFFFFFFFu);
    EXPECT_EQ(mapCell(0, 2), 0x80000000u);
}

TEST_F(MapFile, ExtraBytesAfterTheCellsAreIgnored)
{
    Bytes bytes = validFile(5);
    bytes.insert(bytes.end(), {'j', 'u', 'n', 'k', 0, 1, 2, 3, 4});
    EXPECT_EQ(load(write(bytes)), "");
    EXPECT_EQ(mapCell(0, 0), 5u);
    EXPECT_EQ(mapCell(169, 169), 5u + 28899u);
}

TEST_F(MapFile, MissingOrUnreadableFileIsReported)
{
    EXPECT_EQ(load((dir / "nothing.map").string()), "MAP LOAD ERROR: Map could not be loaded.\n");
    EXPECT_TRUE(gridIsAll(7));
    // A directory opens on Linux but cannot be read.
    EXPECT_EQ(load(dir.string()), "MAP LOAD ERROR: Map could not be loaded.\n");
    EXPECT_TRUE(gridIsAll(7));
}

TEST_F(MapFile, AnyWrongMagicCharacterOrMissingNulIsRejected)
{
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        Bytes bytes = validFile(0);
        bytes[i] = static_cast<unsigned char>(bytes[i] ^ 0x20);  // flips case, or space to NUL
        expectRejected(bytes, badTypeOrVersion);
    }
    Bytes noNul = validFile(0);
    noNul[10] = 'S';
    expectRejected(noNul, badTypeOrVersion);
}

TEST_F(MapFile, VersionOtherThanTwoIsRejected)
{
    for (uint32_t version : {1u, 3u, 0u, 0x02000000u}) {
        SCOPED_TRACE(version);
        Bytes bytes = validFile(0);
        putInt32(bytes, 11, version);
        expectRejected(bytes, badTypeOrVersion);
    }
}

TEST_F(MapFile, SizeOtherThan170IsRejected)
{
    for (auto [first, second] : {std::pair{171u, 170u}, {170u, 171u}, {0u, 170u}, {170u, 0xFFFFFF56u}}) {
        SCOPED_TRACE(testing::Message() << first << "/" << second);
        Bytes bytes = validFile(0);
        putInt32(bytes, 15, first);
        putInt32(bytes, 19, second);
        expectRejected(bytes, badSize);
    }
}

TEST_F(MapFile, FileShorterThanTheHeaderFailsTheCheckOfTheMissingField)
{
    Bytes whole = validFile(0);
    // Cut inside the magic or the version, then inside either size.
    for (size_t length : {0, 1, 10, 11, 14}) {
        SCOPED_TRACE(length);
        expectRejected(Bytes(whole.begin(), whole.begin() + length), badTypeOrVersion);
    }
    for (size_t length : {15, 18, 19, 22}) {
        SCOPED_TRACE(length);
        expectRejected(Bytes(whole.begin(), whole.begin() + length), badSize);
    }
}

TEST_F(MapFile, CellAreaCutShortLeavesTheGridAndSaysSo)
{
    Bytes whole = validFile(100);
    // No cells, 100 cells, a last cell in part, one cell short, one byte short.
    for (size_t cells : {0, 100, 28899}) {
        SCOPED_TRACE(cells);
        expectRejected(Bytes(whole.begin(), whole.begin() + mapHeaderBytes + 4 * cells), incomplete);
    }
    expectRejected(Bytes(whole.begin(), whole.begin() + mapHeaderBytes + 4 * 100 + 2), incomplete);
    expectRejected(Bytes(whole.begin(), whole.end() - 1), incomplete);
}

TEST_F(MapFile, FailedReloadKeepsThePreviouslyLoadedCity)
{
    ASSERT_EQ(load(write(validFile(40))), "");
    Bytes broken = validFile(0);
    putInt32(broken, 11, 3);
    std::string path = write(broken);
    EXPECT_EQ(load(path), std::string("MAP LOAD ERROR: ") + badTypeOrVersion + "\n");
    EXPECT_EQ(mapCell(0, 0), 40u);
    EXPECT_EQ(mapCell(169, 169), 40u + 28899u);

    Bytes truncated = validFile(9);
    truncated.resize(mapHeaderBytes + 4 * 500);
    EXPECT_EQ(load(write(truncated)), std::string("MAP LOAD ERROR: ") + incomplete + "\n");
    EXPECT_EQ(mapCell(0, 0), 40u);
    EXPECT_EQ(mapCell(169, 169), 40u + 28899u);
}

}  // namespace
