// The map file reader: format checks, the messages it shows, and that a failure never touches the grid.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// True when the grid holds what validFile(firstValue) holds.
bool gridIsFrom(uint32_t firstValue)
{
    for (uint32_t i = 0; i < uint32_t(mapSize * mapSize); ++i)
        if (cityMap.cells[i] != firstValue + i)
            return false;
    return true;
}

// Each test starts with a city loaded from validFile(40), so a refused file must leave exactly that.
class MapFile : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kestra-map-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(load(validFile(40)), "");
    }
    void TearDown() override { fs::remove_all(dir); }

    // Writes the bytes as a map file, loads it and returns everything written to stderr meanwhile.
    std::string load(const Bytes& bytes)
    {
        std::string path = (dir / "city.map").string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return loadPath(path);
    }
    static std::string loadPath(const std::string& path)
    {
        testing::internal::CaptureStderr();
        loadCityMap(path.c_str());
        return testing::internal::GetCapturedStderr();
    }

    fs::path dir;
};

TEST_F(MapFile, ValidFileFillsTheGridInRowMajorOrderKeepingLargeValuesAndIgnoringTrailingBytes)
{
    Bytes bytes = validFile(1000);
    putInt32(bytes, mapHeaderBytes, 23);
    putInt32(bytes, mapHeaderBytes + 4, 0xFFFFFFFFu);
    putInt32(bytes, mapHeaderBytes + 8, 0x80000000u);
    bytes.insert(bytes.end(), {'j', 'u', 'n', 'k', 0, 1, 2, 3, 4});
    EXPECT_EQ(load(bytes), "");
    EXPECT_EQ(mapCell(0, 0), 23u);
    EXPECT_EQ(mapCell(0, 1), 0xFFFFFFFFu);
    EXPECT_EQ(mapCell(0, 2), 0x80000000u);
    EXPECT_EQ(mapCell(0, 169), 1169u);
    EXPECT_EQ(mapCell(1, 0), 1170u);
    EXPECT_EQ(mapCell(169, 169), 1000u + 28899u);
}

TEST_F(MapFile, MissingOrUnreadableFileIsReported)
{
    // A directory opens on Linux but cannot be read; a FIFO or device is refused before any read.
    mkfifo((dir / "fifo.map").c_str(), 0644);
    fs::create_symlink("/dev/zero", dir / "zero.map");
    for (const fs::path& path : {dir / "nothing.map", dir, dir / "fifo.map", dir / "zero.map"}) {
        EXPECT_EQ(loadPath(path.string()), "MAP LOAD ERROR: Map could not be loaded.\n");
        EXPECT_TRUE(gridIsFrom(40));
    }
}

TEST_F(MapFile, EveryFaultShowsItsMessageAndKeepsThePreviouslyLoadedCity)
{
    const char* badTypeOrVersion = "Invalid map type or version";
    const char* badSize = "Invalid map size.";
    const char* incomplete = "Map file is incomplete.";
    const Bytes whole = validFile(0);
    auto cut = [&](size_t length) { return Bytes(whole.begin(), whole.begin() + length); };
    auto expectFault = [&](const std::string& what, const Bytes& bytes, const char* message) {
        SCOPED_TRACE(what);
        EXPECT_EQ(load(bytes), std::string("MAP LOAD ERROR: ") + message + "\n");
        EXPECT_TRUE(gridIsFrom(40));
    };
    for (int i = 0; i < 11; ++i) {
        Bytes bytes = whole;
        bytes[i] = i < 10 ? bytes[i] ^ 0x20 : 'S';  // flips case or space to NUL; the eleventh must be NUL
        expectFault("magic byte " + std::to_string(i), bytes, badTypeOrVersion);
    }
    // Versions 1, 3 and a big-endian 2; sizes 171 in either field and -170.
    for (auto [at, value] : {std::pair<size_t, uint32_t>{11, 1}, {11, 3}, {11, 0x02000000u}, {15, 171}, {19, 171},
                             {19, 0xFFFFFF56u}}) {
        Bytes bytes = whole;
        putInt32(bytes, at, value);
        expectFault("field " + std::to_string(at) + " = " + std::to_string(value), bytes,
                    at == 11 ? badTypeOrVersion : badSize);
    }
    // A header cut inside a field fails the check that field belongs to.
    for (size_t length : {0, 1, 10, 11, 14, 15, 18, 19, 22})
        expectFault("header of " + std::to_string(length), cut(length), length < 15 ? badTypeOrVersion : badSize);
    // No cells, 100 cells, 100 and a part, one cell short, one byte short.
    for (size_t cellBytes : {0, 400, 402, 4 * 28899, 4 * 28900 - 1})
        expectFault("cell bytes " + std::to_string(cellBytes), cut(mapHeaderBytes + cellBytes), incomplete);
}

}  // namespace
