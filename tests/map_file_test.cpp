// The map file: the reader's format checks, the messages it shows, that a failure never touches the grid,
// and the writer's exact bytes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "map/map.h"

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
    const fs::path dir = fs::temp_directory_path() / ("kestra-map-file-" + std::to_string(getpid()));
    fs::create_directory(dir);
    mkfifo((dir / "fifo.map").c_str(), 0644);
    fs::create_symlink("/dev/zero", dir / "zero.map");
    if (bytes)
        std::ofstream(dir / "city.map", std::ios::binary).write(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    testing::internal::CaptureStderr();
    loadCityMap((dir / name).c_str());
    fs::remove_all(dir);
    return testing::internal::GetCapturedStderr();
}

// The writer's bytes for the grid read match the file's: every cell read in row-major order, large values kept.
TEST(MapFile, ValidFileFillsTheGridAndIsWhatTheWriterWrites)
{
    Bytes bytes = validFile(1000);
    putInt32(bytes, mapHeaderBytes + 4, 0xFFFFFFFFu);
    Bytes withTrailing = bytes;
    withTrailing.insert(withTrailing.end(), {'j', 'u', 'n', 'k'});
    EXPECT_EQ(load(&withTrailing), "");
    EXPECT_EQ(mapCell(1, 0), 1170u);
    EXPECT_EQ(encodeCityMap(cityMap), bytes);
}

TEST(MapFile, EveryFaultShowsItsMessageAndKeepsThePreviouslyLoadedCity)
{
    const char* cannotOpen = "Map could not be loaded.";
    const char* badTypeOrVersion = "Invalid map type or version";
    const char* badSize = "Invalid map size.";
    const char* incomplete = "Map file is incomplete.";
    const Bytes whole = validFile(0), loaded = validFile(40);
    auto patched = [&](size_t at, uint32_t value) { Bytes b = whole; putInt32(b, at, value); return b; };
    auto cut = [&](size_t length) { return Bytes(whole.begin(), whole.begin() + length); };
    Bytes magic0 = whole, magic9 = whole, magic10 = whole;
    magic0[0] = 'k', magic9[9] = 'p', magic10[10] = 'S';
    auto expectFault = [&](const char* what, const Bytes* bytes, const char* name, const char* message) {
        SCOPED_TRACE(what);
        ASSERT_EQ(load(&loaded), "");
        EXPECT_EQ(load(bytes, name), std::string("MAP LOAD ERROR: ") + message + "\n");
        EXPECT_EQ(encodeCityMap(cityMap), loaded) << "the city loaded before stays";
    };
    // A folder opens on Linux but cannot be read; a FIFO or device is refused before any read.
    for (const char* name : {"nothing.map", ".", "fifo.map", "zero.map"})
        expectFault(name, nullptr, name, cannotOpen);
    // A header cut inside a field fails the check that field belongs to.
    for (const auto& [what, bytes, message] : {
             std::tuple{"magic's first", magic0, badTypeOrVersion}, {"magic's last", magic9, badTypeOrVersion},
             {"magic's NUL", magic10, badTypeOrVersion}, {"version 3", patched(11, 3), badTypeOrVersion},
             {"big-endian 2", patched(11, 0x02000000u), badTypeOrVersion}, {"height 171", patched(15, 171), badSize},
             {"width -170", patched(19, 0xFFFFFF56u), badSize}, {"14 bytes", cut(14), badTypeOrVersion},
             {"15 bytes", cut(15), badSize}, {"22 bytes", cut(22), badSize}, {"no cells", cut(mapHeaderBytes), incomplete},
             {"a byte short", cut(mapFileBytes - 1), incomplete}})
        expectFault(what, &bytes, "city.map", message);
}
