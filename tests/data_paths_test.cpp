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

// Runs from a fresh temporary folder.
class DataPaths : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(mkdtemp(pattern), nullptr); fs::current_path(dir = pattern); }
    void TearDown() override { fs::current_path(home); fs::remove_all(dir); }
    void write(const fs::path& file, const std::string& text)
    {
        fs::create_directories((dir / file).parent_path());
        std::ofstream(dir / file, std::ios::binary) << text;
    }
    char pattern[32] = "/tmp/kestra-paths-XXXXXX";
    fs::path home = fs::current_path(), dir;
};

// The start of a file as openDataFile finds it, or "<missing>".
static std::string readVia(const char* path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(openDataFile(path), std::fclose);
    char buffer[64] = {};
    return file ? std::string(buffer, std::fread(buffer, 1, sizeof buffer, file.get())) : "<missing>";
}

TEST_F(DataPaths, BothSpellingsReachAFolderNamedEitherWay)
{
    const Bitmap blueRed = {2, 1, {255, 0, 0, 0, 0, 255, 0, 0}};
    for (const char* folder : {"Data", "data"}) {
        SCOPED_TRACE(folder);
        fs::remove_all(dir / "Data");
        fs::remove_all(dir / "data");
        write(fs::path(folder) / "Terminal8.tga", "font");
        ASSERT_TRUE(saveBitmap((dir / folder / "Grass.bmp").c_str(), blueRed));
        for (const char* path : {"data/Terminal8.tga", "Data/Terminal8.tga", "DATA/terminal8.TGA"})
            EXPECT_EQ(readVia(path), "font") << path;
        EXPECT_EQ(readVia((dir / "DATA" / "Terminal8.tga").c_str()), "font") << "absolute";
        Bitmap bitmap;
        ASSERT_TRUE(loadBitmap("data/grass.bmp", &bitmap));
        EXPECT_EQ(bitmap.bits, blueRed.bits);
    }
}

TEST_F(DataPaths, ExactSpellingWinsAndMissingFilesStayMissing)
{
    write("Data/Terminal8.tga", "upper");
    write("data/Road.bmp", "lower");
    write("data/Grass.bmp", "exact wins");
    write("Data/Grass.bmp", "exact");
    EXPECT_EQ(readVia("data/Terminal8.tga"), "upper");
    EXPECT_EQ(readVia("Data/Road.bmp"), "lower");
    EXPECT_EQ(readVia("Data/Grass.bmp"), "exact");
    EXPECT_EQ(readVia("data/Grass.bmp"), "exact wins");
    // Only regular files open: a FIFO with no writer or a device must not hang or flood the viewer.
    mkfifo("Data/Road.bmp", 0644);
    fs::create_symlink("/dev/zero", "data/Rooftop.bmp");
    for (const char* path : {"Data/Sky.bmp", "data/Grass.bmp/inner", "Other/Grass.bmp", "", "data", "Data/Road.bmp",
                             "data/Rooftop.bmp"})
        EXPECT_EQ(readVia(path), "<missing>") << path;
    Bitmap bitmap;
    for (const char* path : {"data/Sky.bmp", "Data/Road.bmp", "Data/Rooftop.bmp"})
        EXPECT_FALSE(loadBitmap(path, &bitmap)) << path;
    EXPECT_FALSE(loadBitmap("data/Grass.bmp", &bitmap)) << "not a BMP";
}
