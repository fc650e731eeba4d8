// Data paths: "data/" and "Data/" reach one folder whatever its spelling; missing files stay missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

struct WorkingDirectory {
    fs::path saved = fs::current_path();
    explicit WorkingDirectory(const fs::path& to) { fs::current_path(to); }
    ~WorkingDirectory() { fs::current_path(saved); }
};

fs::path makeTempDir()
{
    char pattern[] = "/tmp/kestra-paths-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? fs::path(made) : fs::path();
}

void writeText(const fs::path& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(text.c_str(), file);
    std::fclose(file);
}

std::string readVia(const char* path)
{
    FILE* file = openDataFile(path, "rb");
    if (!file)
        return "<missing>";
    char buffer[64] = {};
    size_t got = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    return std::string(buffer, got);
}

// A 2 x 1 24-bit BMP: one blue and one red pixel.
void writeTinyBmp(const fs::path& path)
{
    const unsigned char bytes[] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0,
                                   1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0};
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes, 1, sizeof bytes, file);
    std::fclose(file);
}

}  // namespace

TEST(DataPaths, BothSpellingsReachAFolderNamedEitherWay)
{
    for (const char* folder : {"Data", "data"}) {
        SCOPED_TRACE(folder);
        fs::path dir = makeTempDir();
        ASSERT_FALSE(dir.empty());
        fs::create_directory(dir / folder);
        writeText(dir / folder / "Terminal8.tga", "font");
        writeTinyBmp(dir / folder / "Grass.bmp");
        {
            WorkingDirectory inDir(dir);
            EXPECT_EQ(readVia("data/Terminal8.tga"), "font");
            EXPECT_EQ(readVia("Data/Terminal8.tga"), "font");
            EXPECT_EQ(readVia("DATA/terminal8.TGA"), "font");
            EXPECT_NE(readVia("Data/Grass.bmp"), "<missing>");
            EXPECT_NE(readVia("data/Grass.bmp"), "<missing>");

            Bitmap bitmap;
            ASSERT_TRUE(loadBitmap("data/grass.bmp", &bitmap));
            EXPECT_EQ(bitmap.width, 2);
            EXPECT_EQ(bitmap.height, 1);
            ASSERT_EQ(bitmap.bits.size(), 8u);
            EXPECT_EQ(bitmap.bits[0], 255);  // blue of the first pixel
            EXPECT_EQ(bitmap.bits[5], 255);  // red of the second
        }
        // The same from an absolute path.
        EXPECT_EQ(readVia((dir / "DATA" / "Terminal8.tga").c_str()), "font");
        fs::remove_all(dir);
    }
}

TEST(DataPaths, BothFoldersSideBySideAreSearched)
{
    fs::path dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    fs::create_directory(dir / "Data");
    fs::create_directory(dir / "data");
    writeText(dir / "Data" / "Terminal8.tga", "upper");
    writeText(dir / "data" / "Road.bmp", "lower");
    writeText(dir / "data" / "Grass.bmp", "exact wins");
    writeText(dir / "Data" / "Grass.bmp", "exact");
    WorkingDirectory inDir(dir);
    EXPECT_EQ(readVia("data/Terminal8.tga"), "upper");
    EXPECT_EQ(readVia("Data/Road.bmp"), "lower");
    EXPECT_EQ(readVia("Data/Grass.bmp"), "exact");
    EXPECT_EQ(readVia("data/Grass.bmp"), "exact wins");
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
}

TEST(DataPaths, MissingFilesStayMissing)
{
    fs::path dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    fs::create_directory(dir / "Data");
    writeText(dir / "Data" / "Grass.bmp", "x");
    WorkingDirectory inDir(dir);
    EXPECT_EQ(readVia("Data/Road.bmp"), "<missing>");
    EXPECT_EQ(readVia("data/Grass.bmp/inner"), "<missing>");
    EXPECT_EQ(readVia("Other/Grass.bmp"), "<missing>");
    EXPECT_EQ(readVia(""), "<missing>");
    Bitmap bitmap;
    EXPECT_FALSE(loadBitmap("data/Road.bmp", &bitmap));
    EXPECT_FALSE(loadBitmap("data/Grass.bmp", &bitmap)) << "not a BMP";
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
}
