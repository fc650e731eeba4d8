// Data paths: "data/" and "Data/" reach one folder whatever its spelling; missing files stay missing.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    ASSERT_TRUE(saveBitmap((dir / "data/Sky.bmp").c_str(), blueRed));
    for (const char* path : {"data/Terminal8.tga", "DATA/terminal8.TGA"})
        EXPECT_EQ(readVia(path), "upper") << path;
    EXPECT_EQ(readVia((dir / "DATA/Terminal8.tga").c_str()), "upper") << "absolute";
    EXPECT_EQ(readVia("Data/Road.bmp"), "lower");
    EXPECT_EQ(readVia("Data/Grass.bmp"), "exact");
    EXPECT_EQ(readVia("data/Grass.bmp"), "exact wins");
    Bitmap bitmap;
    ASSERT_TRUE(loadBitmap("DATA/sky.BMP", &bitmap));
    EXPECT_EQ(bitmap.bits, blueRed.bits);
    EXPECT_FALSE(loadBitmap("data/Grass.bmp", &bitmap)) << "not a BMP";

    // Only regular files open: a FIFO with no writer or a device must not hang or flood the viewer.
    mkfifo("Data/Road.bmp", 0644);
    fs::create_symlink("/dev/zero", "data/Rooftop.bmp");
    for (const char* path : {"Data/Clouds.bmp", "data/Grass.bmp/inner", "Other/Grass.bmp", "", "data",
                             "Data/Road.bmp", "data/Rooftop.bmp"})
        EXPECT_EQ(readVia(path), "<missing>") << path;
    fs::current_path(home);
    fs::remove_all(dir);
}
