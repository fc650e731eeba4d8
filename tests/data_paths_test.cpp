// Data paths: "data/" and "Data/" reach one folder whatever its spelling; missing files stay missing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace fs = std::filesystem;

// The start of a file as openDataFile finds it, or "<missing>".
static std::string readVia(const char* path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(openDataFile(path), std::fclose);
    char buffer[64] = {};
    return file ? std::string(buffer, std::fread(buffer, 1, sizeof buffer, file.get())) : "<missing>";
}

TEST(DataPaths, AnySpellingReachesTheFileTheExactOneWinsAndOnlyRegularFilesOpen)
{
    char pattern[] = "/tmp/kestra-paths-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path home = fs::current_path(), dir = pattern;
    fs::current_path(dir);
    const Bitmap blueRed = {2, 1, {255, 0, 0, 0, 0, 255, 0, 0}};
    fs::create_directory("Data");
    fs::create_directory("data");
    for (auto [path, text] : {std::pair("Data/Terminal8.tga", "upper"), {"data/Road.bmp", "lower"},
                              {"data/Grass.bmp", "exact wins"}, {"Data/Grass.bmp", "exact"}})
        std::ofstream(path) << text;
    ASSERT_TRUE(saveBitmap((dir / "Data/Sky.bmp").c_str(), blueRed));
    for (const char* path : {"Data/Terminal8.tga", "DATA/terminal8.TGA", "./Data//./Terminal8.tga"})
        EXPECT_EQ(readVia(path), "upper") << path;
    EXPECT_EQ(readVia((dir / "DATA/Terminal8.tga").c_str()), "upper") << "absolute";
    EXPECT_EQ(readVia("data/ROAD.bmp"), "lower");
    EXPECT_EQ(readVia("Data/Grass.bmp"), "exact");
    EXPECT_EQ(readVia("data/Grass.bmp"), "exact wins");
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
    fs::current_path(home);
    fs::remove_all(dir);
}

// Paths of many components: dropped "." and empty parts, a path far past the system's limit, and
// twenty-four levels of folders that exist in two spellings, which a lookup trying every spelling
// would take hours over.
TEST(DataPaths, LongAndTwinSpelledPathsAreLookedUpOnceInLinearWork)
{
    char pattern[] = "/tmp/kestra-twins-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path home = fs::current_path(), dir = pattern;
    fs::current_path(dir);
    std::string twins;
    for (int level = 0; level < 24; ++level) {
        fs::create_directory(twins + "x");
        fs::create_directory_symlink("x", twins + "X");
        twins += "x/";
    }
    std::ofstream(twins + "Grass.bmp") << "deep";
    std::string dots, parts;
    for (int i = 0; i < 50000; ++i)
        dots += "./";
    for (int i = 0; i < 100000; ++i)
        parts += "x/";
    const std::pair<std::string, std::string> cases[] = {
        {twins + "grass.BMP", "deep"}, {twins + "nothing.bmp", "<missing>"}, {dots + twins + "Grass.bmp", "deep"},
        {std::string(100000, '/') + (dir / twins).string() + "Grass.bmp", "deep"}, {parts + "Grass.bmp", "<missing>"}};
    for (const auto& [path, text] : cases)
        EXPECT_EQ(readVia(path.c_str()), text) << path.substr(0, 40);
    fs::current_path(home);
    fs::remove_all(dir);
}
