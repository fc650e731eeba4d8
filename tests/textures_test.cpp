// The texture loader against a real Mesa context: the generated set, failures, and BMP depths.
#include <algorithm>
#include <string>
#include <vector>

#include "render/render.h"
#include "tests/support/text_fixture.h"

using Bytes = std::string;  // file contents and texels
using Textures = TextTest;  // a context, run from a fresh temporary folder

// Binds name and reads one parameter of its image at level.
static GLint level0(GLuint name, GLenum what, int level = 0)
{
    GLint v = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &v);
    return v;
}
static GLint getTexInt(GLenum what) { GLint v = 0; glGetTexParameteriv(GL_TEXTURE_2D, what, &v); return v; }

// Blue, green, red of the test picture's pixel (x, y), y = 0 the top row; 5 x 3 so that 24-bit rows need padding.
constexpr int picW = 5, picH = 3;
static Bytes bgr(int x, int y) { return {char((x * 3 + y) * 13), char(70 * y + 20), char(40 * x + 10)}; }

// An uncompressed BMP of the test picture at depth 8 (a palette listing the colours in reverse pixel order,
// so that indices are not the identity), 24 or 32; topDown stores the top row first (negative height).
static Bytes testBmp(int depth, bool topDown = false)
{
    const uint32_t palette = depth == 8 ? picW * picH : 0, rowBytes = (picW * depth / 8 + 3) & ~3,
                   offset = 54 + palette * 4;
    Bytes b = {'B', 'M'};
    for (auto [value, size] : {std::pair{offset + rowBytes * picH, 4}, {0, 4}, {offset, 4}, {40, 4}, {picW, 4},
                               {topDown ? uint32_t(-picH) : picH, 4}, {1, 2}, {uint32_t(depth), 2}, {0, 4},
                               {rowBytes * picH, 4}, {2835, 4}, {2835, 4}, {palette, 4}, {0, 4}})
        for (int i = 0; i < size; ++i)
            b += char(value >> (8 * i));
    for (uint32_t k = palette; k-- > 0;)
        b += bgr(int(k) % picW, int(k) / picW) + '\0';
    for (int stored = 0; stored < picH; ++stored) {
        int y = topDown ? stored : picH - 1 - stored;
        size_t start = b.size();
        for (int x = 0; x < picW; ++x)
            b += depth == 8 ? Bytes(1, char(palette - 1 - uint32_t(y * picW + x)))
                            : bgr(x, y) + Bytes(depth / 8 - 3, '\0');
        b.resize(start + rowBytes, 0);
    }
    return b;
}

TEST_F(Textures, GeneratedSetLoadsIntoFreshNamesAndLeavesTheLastSkyFaceBound)
{
    fs::current_path(KESTRA_RUN_DIR);
    TextureTable before{};
    for (int opening = 0; opening < 2; ++opening) {  // a second opening loads everything again into new names
        ASSERT_TRUE(loadAllTextures());
        EXPECT_EQ(GLuint(getInt(GL_TEXTURE_BINDING_2D)), textureTable[skySlot5]);
        for (size_t slot = 0; slot < textureTable.size(); ++slot) {
            SCOPED_TRACE(slot);
            const GLuint name = textureTable[slot];
            EXPECT_TRUE(glIsTexture(name) && name != before[slot]);
            EXPECT_EQ(std::count(textureTable.begin(), textureTable.end(), name), 1);
            const GLint width = level0(name, GL_TEXTURE_WIDTH), height = level0(name, GL_TEXTURE_HEIGHT);
            EXPECT_TRUE(width >= 256 && (width & (width - 1)) == 0 && (height & (height - 1)) == 0)
                << width << "x" << height;
            // Three components, no mipmaps, linear both ways.
            EXPECT_EQ((std::vector{level0(name, GL_TEXTURE_INTERNAL_FORMAT), level0(name, GL_TEXTURE_WIDTH, 1),
                                   getTexInt(GL_TEXTURE_MIN_FILTER), getTexInt(GL_TEXTURE_MAG_FILTER)}),
                      (std::vector<GLint>{3, 0, GL_LINEAR, GL_LINEAR}));
        }
        before = textureTable;
    }
}

// The palette, 32-bit and top-down files give the same texels as the 24-bit one; a cut or missing file fails
// cleanly (how far a header lets a reader go is tested with the BMP layout).
TEST_F(Textures, BmpDepthsLoadAlikeAndCorruptFilesFailCleanly)
{
    Bytes expected, truncated = testBmp(24);
    for (int i = 0; i < picW * picH; ++i)  // texture row 0 is the bottom of the picture
        expected += bgr(i % picW, picH - 1 - i / picW);
    truncated.resize(truncated.size() - 20);
    for (auto [name, bytes, loads] : {std::tuple{"rgb24.bmp", testBmp(24), true}, {"palette8.bmp", testBmp(8), true},
                                      {"xrgb32.bmp", testBmp(32), true}, {"topdown24.bmp", testBmp(24, true), true},
                                      {"truncated.bmp", truncated, false}, {"absent.bmp", Bytes{}, false}}) {
        SCOPED_TRACE(name);
        if (loads || bytes.size())
            std::ofstream(dir / name, std::ios::binary) << bytes;
        GLuint slot = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(loadBmpTexture(name, slot), loads);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the loader itself shows nothing";
        EXPECT_NE(slot, 0u) << "the name is generated before reading";
        if (!loads)
            continue;
        EXPECT_EQ((std::pair{level0(slot, GL_TEXTURE_WIDTH), level0(slot, GL_TEXTURE_HEIGHT)}), std::pair(picW, picH));
        Bytes texels(expected.size(), 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_EQ(texels, expected);
    }
}
