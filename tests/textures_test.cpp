// The texture loader against a real Mesa context: the generated set, failures, and BMP depths.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "render/render.h"
#include "tests/support/gl_context.h"

namespace fs = std::filesystem;

namespace {

struct WorkingDirectory {
    fs::path saved = fs::current_path();
    explicit WorkingDirectory(const fs::path& to) { fs::current_path(to); }
    ~WorkingDirectory() { fs::current_path(saved); }
};

fs::path makeTempDir()
{
    char pattern[] = "/tmp/kestra-textures-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? fs::path(made) : fs::path();
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(v & 0xff);
    b.push_back((v >> 8) & 0xff);
}

void put32(std::vector<uint8_t>& b, uint32_t v)
{
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

// The test picture: distinct colours, 5 x 3 so that 24-bit rows need padding. y = 0 is the top row.
constexpr int picW = 5, picH = 3;
void pictureColour(int x, int y, uint8_t rgb[3])
{
    rgb[0] = uint8_t(40 * x + 10);
    rgb[1] = uint8_t(70 * y + 20);
    rgb[2] = uint8_t((x * 3 + y) * 13);
}

// An uncompressed BMP of the test picture with the given depth (8 = palette, 24, 32);
// topDown stores the rows top first (negative height).
std::vector<uint8_t> testBmp(int depth, bool topDown = false)
{
    const int paletteSize = depth == 8 ? picW * picH : 0;
    const int rowBytes = ((picW * depth / 8) + 3) & ~3;
    const uint32_t offset = 14 + 40 + paletteSize * 4;
    std::vector<uint8_t> b = {'B', 'M'};
    put32(b, offset + rowBytes * picH);
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, picW);
    put32(b, topDown ? uint32_t(-picH) : uint32_t(picH));
    put16(b, 1);
    put16(b, depth);
    put32(b, 0);  // BI_RGB
    put32(b, rowBytes * picH);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, paletteSize);
    put32(b, 0);
    // The palette lists the colours in reverse pixel order, so indices are not the identity.
    for (int k = paletteSize - 1; k >= 0; --k) {
        uint8_t rgb[3];
        pictureColour(k % picW, k / picW, rgb);
        b.insert(b.end(), {rgb[2], rgb[1], rgb[0], 0});
    }
    for (int stored = 0; stored < picH; ++stored) {
        int y = topDown ? stored : picH - 1 - stored;
        size_t start = b.size();
        for (int x = 0; x < picW; ++x) {
            uint8_t rgb[3];
            pictureColour(x, y, rgb);
            if (depth == 8)
                b.push_back(uint8_t(paletteSize - 1 - (y * picW + x)));
            else
                b.insert(b.end(), {rgb[2], rgb[1], rgb[0]});
            if (depth == 32)
                b.push_back(0);
        }
        b.resize(start + rowBytes, 0);
    }
    return b;
}

std::vector<uint8_t> readBackBgr(GLuint name, int* width, int* height)
{
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, height);
    std::vector<uint8_t> texels(size_t(*width) * *height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR_EXT, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

GLint levelWidth(GLuint name)
{
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    return width;
}

class Textures : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(openTestContext(64, 64));
        textureTable.fill(0);
    }
    void TearDown() override { closeTestContext(); }
};

}  // namespace

TEST_F(Textures, GeneratedSetLoadsIntoFreshNamesAndLeavesTheLastSkyFaceBound)
{
    WorkingDirectory inRun(KESTRA_RUN_DIR);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(loadAllTextures());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), textureTable[skySlot5]);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);

    for (size_t slot = 0; slot < textureTable.size(); ++slot) {
        SCOPED_TRACE(slot);
        GLuint name = textureTable[slot];
        ASSERT_TRUE(glIsTexture(name));
        for (size_t other = 0; other < slot; ++other)
            EXPECT_NE(textureTable[other], name);
        GLint width = 0, height = 0, format = 0, minFilter = 0, magFilter = 0;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        EXPECT_GE(width, 256);
        EXPECT_EQ(width & (width - 1), 0);
        EXPECT_EQ(height & (height - 1), 0);
        EXPECT_EQ(format, 3) << "three components";
        EXPECT_EQ(minFilter, GL_LINEAR);
        EXPECT_EQ(magFilter, GL_LINEAR);
        GLint level1 = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
        EXPECT_EQ(level1, 0) << "no mipmaps";
    }

    // A second opening loads everything again into new names.
    TextureTable first = textureTable;
    ASSERT_TRUE(loadAllTextures());
    for (size_t slot = 0; slot < textureTable.size(); ++slot)
        EXPECT_NE(textureTable[slot], first[slot]);
}

TEST_F(Textures, FirstMissingFileStopsTheLoadWithItsMessage)
{
    struct Case {
        const char* missing;
        size_t failingSlot;
    };
    for (Case c : {Case{"Road.bmp", 7}, Case{"sky_5.bmp", 30}}) {
        SCOPED_TRACE(c.missing);
        textureTable.fill(0);
        fs::path dir = makeTempDir();
        ASSERT_FALSE(dir.empty());
        fs::create_directory(dir / "Data");
        for (const auto& entry : fs::directory_iterator(fs::path(KESTRA_RUN_DIR) / "Data"))
            if (entry.path().filename() != c.missing)
                fs::create_symlink(entry.path(), dir / "Data" / entry.path().filename());
        {
            WorkingDirectory inDir(dir);
            testing::internal::CaptureStderr();
            EXPECT_FALSE(loadAllTextures());
            EXPECT_EQ(testing::internal::GetCapturedStderr(),
                      std::string("MAP LOAD ERROR: Error loading Data/") + c.missing + ".\n");
        }
        for (size_t slot = 0; slot < c.failingSlot; ++slot)
            EXPECT_GE(levelWidth(textureTable[slot]), 256) << "slot " << slot;
        // The failing slot has a fresh name that never received an image; later slots are untouched.
        EXPECT_NE(textureTable[c.failingSlot], 0u);
        EXPECT_FALSE(glIsTexture(textureTable[c.failingSlot]));
        for (size_t slot = c.failingSlot + 1; slot < textureTable.size(); ++slot)
            EXPECT_EQ(textureTable[slot], 0u);
        fs::remove_all(dir);
    }
}

TEST_F(Textures, PaletteAndThirtyTwoBitFilesGiveTheSameTexelsAsTwentyFourBit)
{
    fs::path dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    struct Variant {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Variant variants[] = {{"rgb24.bmp", testBmp(24)},
                                {"palette8.bmp", testBmp(8)},
                                {"xrgb32.bmp", testBmp(32)},
                                {"topdown24.bmp", testBmp(24, true)}};
    std::vector<uint8_t> expected;
    for (int y = picH - 1; y >= 0; --y) {  // texture row 0 is the bottom of the picture
        for (int x = 0; x < picW; ++x) {
            uint8_t rgb[3];
            pictureColour(x, y, rgb);
            expected.insert(expected.end(), {rgb[2], rgb[1], rgb[0]});
        }
    }
    for (const Variant& variant : variants) {
        SCOPED_TRACE(variant.name);
        writeBytes(dir / variant.name, variant.bytes);
        GLuint slot = 0;
        ASSERT_TRUE(loadBmpTexture((dir / variant.name).c_str(), slot));
        int width = 0, height = 0;
        std::vector<uint8_t> texels = readBackBgr(slot, &width, &height);
        EXPECT_EQ(width, picW);
        EXPECT_EQ(height, picH);
        EXPECT_EQ(texels, expected);
    }
    fs::remove_all(dir);
}

TEST_F(Textures, CorruptOrMissingFileIsACleanFailure)
{
    fs::path dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    std::vector<uint8_t> truncated = testBmp(24);
    truncated.resize(truncated.size() - 20);
    std::vector<uint8_t> hugeHeader = testBmp(24);
    hugeHeader[18] = hugeHeader[19] = hugeHeader[20] = 0xff;  // width far beyond the pixel data
    const std::pair<const char*, std::vector<uint8_t>> files[] = {
        {"truncated.bmp", truncated},
        {"huge.bmp", hugeHeader},
        {"garbage.bmp", {'B', 'M', 1, 2, 3, 4, 5}},
        {"empty.bmp", {}},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        writeBytes(dir / name, bytes);
        GLuint slot = 0;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(loadBmpTexture((dir / name).c_str(), slot));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the loader itself shows nothing";
        EXPECT_NE(slot, 0u) << "the name is generated before reading";
    }
    GLuint slot = 0;
    EXPECT_FALSE(loadBmpTexture((dir / "absent.bmp").c_str(), slot));
    EXPECT_NE(slot, 0u);
    fs::remove_all(dir);
}
