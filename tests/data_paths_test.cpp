// Data paths: "data/" and "Data/" reach one folder whatever its spelling; missing files stay missing. BMP
// header bounds shared by the backends' readers: what a header lets a reader take, and reading no further.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>

#include "platform/bmp_layout.h"
#include "platform/platform.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

// The start of a file as openDataFile finds it, or "<missing>".
static std::string readVia(const char* path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(openDataFile(path), std::fclose);
    char buffer[64] = {};
    return file ? std::string(buffer, std::fread(buffer, 1, sizeof buffer, file.get())) : "<missing>";
}

TEST(DataPaths, AnySpellingReachesTheFileTheExactOneWinsOnlyRegularFilesOpenAndLongPathsTakeLinearWork)
{
    TempDir dir;
    const Bitmap blueRed = {2, 1, {255, 0, 0, 0, 0, 255, 0, 0}};
    fs::create_directory("Data");
    fs::create_directory("data");
    for (auto [path, text] : {std::pair("Data/Terminal8.tga", "upper"), {"data/Road.bmp", "lower"},
                              {"data/Grass.bmp", "exact wins"}, {"Data/Grass.bmp", "exact"}})
        std::ofstream(path) << text;
    ASSERT_TRUE(saveBitmap((dir.path / "Data/Sky.bmp").c_str(), blueRed));
    // Paths of many components: dropped "." and empty parts, a path far past the system's limit, and
    // twenty-four levels of folders that exist in two spellings, which a lookup trying every spelling
    // would take hours over.
    std::string twins, dots, parts;
    for (int level = 0; level < 24; ++level) {
        fs::create_directory(twins + "x");
        fs::create_directory_symlink("x", twins + "X");
        twins += "x/";
    }
    std::ofstream(twins + "Grass.bmp") << "deep";
    for (int i = 0; i < 50000; ++i)
        dots += "./";
    for (int i = 0; i < 100000; ++i)
        parts += "x/";
    for (auto [path, text] : {std::pair<std::string, std::string>{"Data/Terminal8.tga", "upper"},
                              {"DATA/terminal8.TGA", "upper"}, {"./Data//./Terminal8.tga", "upper"},
                              {(dir.path / "DATA/Terminal8.tga").string(), "upper"}, {"data/ROAD.bmp", "lower"},
                              {"Data/Grass.bmp", "exact"}, {"data/Grass.bmp", "exact wins"},
                              {twins + "grass.BMP", "deep"}, {twins + "nothing.bmp", "<missing>"},
                              {dots + twins + "Grass.bmp", "deep"}, {parts + "Grass.bmp", "<missing>"},
                              {std::string(100000, '/') + (dir.path / twins).string() + "Grass.bmp", "deep"}})
        EXPECT_EQ(readVia(path.c_str()), text) << path.substr(0, 40);
    Bitmap bitmap;
    ASSERT_TRUE(loadBitmap("DATA/sky.BMP", &bitmap));
    EXPECT_EQ(bitmap.bits, blueRed.bits);
    EXPECT_FALSE(loadBitmap("data/Grass.bmp", &bitmap)) << "not a BMP";

    // Only regular files open: a FIFO with no writer or a device must not hang or flood the viewer.
    mkfifo("Data/Road.bmp", 0644);
    fs::create_symlink("/dev/zero", "data/Rooftop.bmp");
    // The exact folder is taken without looking into its twin: one spelling per component, never more.
    const std::pair<const char*, int> refused[] = {
        {"data/Terminal8.tga", ENOENT}, {"Data/Clouds.bmp", ENOENT}, {"data/Grass.bmp/inner", ENOTDIR},
        {"Other/Grass.bmp", ENOENT}, {"", ENOENT}, {"data", EINVAL}, {"Data/Grass.bmp/", ENOTDIR},
        {"Data/Road.bmp", EINVAL}, {"data/Rooftop.bmp", EINVAL}};
    for (auto [path, error] : refused) {
        errno = 0;
        EXPECT_EQ(readVia(path), "<missing>") << path;
        EXPECT_EQ(errno, error) << path;
    }
}

// A BMP file header and 40-byte information header (or the 12-byte core header when core is set).
static std::string header(int32_t width, int32_t height, int bits, uint32_t compression = 0, uint32_t offset = 54,
                          bool core = false)
{
    std::string b = "BM";
    auto put = [&b](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b += char(value >> (8 * i));
    };
    put(0, 4), put(0, 4), put(offset, 4);
    if (core) {
        put(12, 4), put(width, 2), put(height, 2), put(1, 2), put(bits, 2);
        return b;
    }
    put(40, 4), put(width, 4), put(height, 4), put(1, 2), put(bits, 2), put(compression, 4);
    return b + std::string(20, '\0');
}

TEST(BmpLayout, TheHeaderBoundsTheImageOrRefusesItAndReadingStopsThere)
{
    // What the header is, its bytes, the bytes a reader needs (0: refused) and whether exactly those.
    const std::tuple<const char*, std::string, size_t, bool> cases[] = {
        {"24-bit rows padded to 4 bytes", header(3, 2, 24), 54 + 12 * 2, true},
        {"top-down as tall as bottom-up", header(3, -2, 24), 54 + 12 * 2, true},
        {"1-bit rows", header(33, 1, 1, 0, 62), 62 + 8, true},
        {"core header, palette before the pixels", header(5, 4, 8, 0, 26 + 768, true), 26 + 768 + 8 * 4, true},
        {"run-length: two bytes a pixel and a row end at worst", header(4, 3, 8, 1, 1078), 1078 + 10 * 3 + 2, false},
        {"not a BMP", "XM" + header(3, 2, 24).substr(2), 0, true},
        {"shorter than its header", header(3, 2, 24).substr(0, 30), 0, true}, {"no width", header(0, 2, 24), 0, true},
        {"a side beyond 16384", header(16385, 1, 24), 0, true}, {"over 2^24 pixels", header(4097, 4096, 24), 0, true},
        {"no bits per pixel", header(3, 2, 0), 0, true}, {"over 32 bits per pixel", header(3, 2, 33), 0, true},
        {"pixels inside the file header", header(3, 2, 24, 0, 25), 0, true},
        {"pixels beyond 64 KiB of headers", header(3, 2, 24, 0, 65537), 0, true},
    };
    for (const auto& [what, bytes, needed, exact] : cases) {
        const BmpLayout layout = bmpLayout(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(layout.needed, needed) << what;
        EXPECT_TRUE(needed == 0 || layout.exact == exact) << what;
    }

    // Reading stops at the image and refuses an image cut short.
    const std::string image = header(3, 2, 24) + std::string(24, 'p');
    const std::string runs = header(4, 3, 8, 1, 54) + std::string(5, 'r');
    // What the file is, its bytes and how many are read (0: refused).
    const std::tuple<const char*, std::string, size_t> files[] = {
        {"whole image", image, image.size()},
        {"trailing bytes left unread", image + std::string(1000, 't'), image.size()},
        {"image cut short", image.substr(0, image.size() - 1), 0},
        {"a header claiming 64 MiB over a few bytes", header(4096, 4096, 32) + "pppp", 0},
        {"run-length data up to the end of the file", runs, runs.size()},
    };
    for (const auto& [what, bytes, read] : files) {
        std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), std::fclose);
        ASSERT_TRUE(file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size());
        std::rewind(file.get());
        BmpLayout layout;
        EXPECT_EQ(readBmpBytes(file.get(), &layout).size(), read) << what;
    }
}
