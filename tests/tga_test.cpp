// The TGA reader: header checks, pixel conversion, and uploads into a real Mesa context.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <vector>

#include "tests/support/gl_context.h"
#include "tests/support/text_fixture.h"
#include "text/text.h"

namespace fs = std::filesystem;

static std::vector<unsigned char> header(int imageType, int width, int height, int depth, int colourMapType = 0)
{
    return tgaFile(imageType, width, height, depth, {}, 0, colourMapType);
}

static int parse(const std::vector<unsigned char>& bytes)
{
    TgaHeader h;
    return parseTgaHeader(bytes.data(), bytes.size(), &h);
}

TEST(TgaHeader, AcceptsOnlyTheFixedSides)
{
    for (int side : {2, 4, 8, 16, 32, 64, 128, 256, 512})
        EXPECT_TRUE(isTextureSide(side)) << side;
    for (int side : {-512, -2, 0, 1, 3, 6, 24, 640, 768, 1024, 2048, 65535})
        EXPECT_FALSE(isTextureSide(side)) << side;

    EXPECT_EQ(parse(header(2, 512, 2, 32)), tgaLoaded);
    EXPECT_EQ(parse(header(2, 2, 512, 32)), tgaLoaded);
    for (auto [w, h] : std::vector<std::array<int, 2>>{{1, 1}, {1024, 1024}, {640, 480}, {3, 4}, {0, 0}, {4, 3}})
        EXPECT_EQ(parse(header(2, w, h, 32)), tgaBadSide) << w << "x" << h;
}

TEST(TgaHeader, ChecksTypeThenSidesThenDepth)
{
    for (int depth : {8, 24, 32}) {
        EXPECT_EQ(parse(header(2, 4, 4, depth)), tgaLoaded);
        EXPECT_EQ(parse(header(3, 4, 4, depth)), tgaLoaded);
    }
    EXPECT_EQ(parse(header(2, 4, 4, 15)), tgaBadDepth);
    EXPECT_EQ(parse(header(2, 4, 4, 16)), tgaBadDepth);
    EXPECT_EQ(parse(header(10, 4, 4, 32)), tgaBadType);
    EXPECT_EQ(parse(header(1, 4, 4, 8)), tgaBadType);
    EXPECT_EQ(parse(header(2, 4, 4, 32, 1)), tgaBadType);
    // The earlier check decides when several fail.
    EXPECT_EQ(parse(header(10, 3, 3, 16)), tgaBadType);
    EXPECT_EQ(parse(header(2, 3, 3, 16)), tgaBadSide);

    std::vector<unsigned char> bytes = header(2, 4, 4, 32);
    TgaHeader h;
    EXPECT_EQ(parseTgaHeader(bytes.data(), 17, &h), tgaShortHeader);
    EXPECT_EQ(parseTgaHeader(bytes.data(), 0, &h), tgaShortHeader);

    // Sides are little-endian; the ID length and descriptor are decoded for the reader.
    bytes = tgaFile(3, 256, 512, 8, {}, 7, 0, 0x20);
    ASSERT_EQ(parseTgaHeader(bytes.data(), bytes.size(), &h), tgaLoaded);
    EXPECT_EQ(h.width, 256);
    EXPECT_EQ(h.height, 512);
    EXPECT_EQ(h.idLength, 7);
    EXPECT_EQ(h.descriptor, 0x20);
}

TEST(TgaPixels, SwapsBlueAndRedInPlace)
{
    std::vector<unsigned char> p32 = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(convertTgaPixels(p32.data(), 2, 32), GLenum(GL_RGBA));
    EXPECT_EQ(p32, (std::vector<unsigned char>{3, 2, 1, 4, 7, 6, 5, 8}));
    std::vector<unsigned char> p24 = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(convertTgaPixels(p24.data(), 2, 24), GLenum(GL_RGB));
    EXPECT_EQ(p24, (std::vector<unsigned char>{3, 2, 1, 6, 5, 4}));
    std::vector<unsigned char> p8 = {9, 8, 7};
    EXPECT_EQ(convertTgaPixels(p8.data(), 3, 8), GLenum(GL_ALPHA));
    EXPECT_EQ(p8, (std::vector<unsigned char>{9, 8, 7}));
}

class TgaLoad : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(openTestContext(64, 64)); }
    static void TearDownTestSuite() { closeTestContext(); }
    void SetUp() override { dir = makeTempDir(); }
    void TearDown() override
    {
        fs::remove_all(dir);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    std::string write(const char* name, const std::vector<unsigned char>& bytes)
    {
        writeBytes(dir / name, bytes);
        return (dir / name).string();
    }

    static std::vector<unsigned char> image(GLuint texture, GLenum format, int bytesPerPixel)
    {
        glBindTexture(GL_TEXTURE_2D, texture);
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        std::vector<unsigned char> out(size_t(w * h * bytesPerPixel));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
        return out;
    }

    static GLint internalFormat()
    {
        GLint f = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &f);
        return f;
    }

    fs::path dir;
};

// Counting bytes 0, 1, 2, ... as stored.
static std::vector<unsigned char> counting(size_t n)
{
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<unsigned char>(i);
    return v;
}

TEST_F(TgaLoad, UploadsThirtyTwoBitAsRgbaWithRepeatLinearAndModulate)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    std::string path = write("a.tga", tgaFile(2, 4, 2, 32, counting(32)));
    ASSERT_EQ(loadTgaTexture(path.c_str(), 7), tgaLoaded);

    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(value, 7);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 1);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_MODULATE);
    for (GLenum p : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) {
        glGetTexParameteriv(GL_TEXTURE_2D, p, &value);
        EXPECT_EQ(value, GL_REPEAT);
    }
    for (GLenum p : {GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER}) {
        glGetTexParameteriv(GL_TEXTURE_2D, p, &value);
        EXPECT_EQ(value, GL_LINEAR);
    }
    EXPECT_EQ(internalFormat(), GL_RGBA);
    std::vector<unsigned char> got = image(7, GL_RGBA, 4);
    EXPECT_EQ(std::vector<unsigned char>(got.begin(), got.begin() + 4), (std::vector<unsigned char>{2, 1, 0, 3}));
    EXPECT_EQ(std::vector<unsigned char>(got.end() - 4, got.end()), (std::vector<unsigned char>{30, 29, 28, 31}));
}

TEST_F(TgaLoad, UploadsTwentyFourBitAsRgbWithTightRows)
{
    // Two pixels make six-byte rows: any unpack alignment but 1 would shift them.
    std::string path = write("b.tga", tgaFile(2, 2, 4, 24, counting(24)));
    ASSERT_EQ(loadTgaTexture(path.c_str(), 8), tgaLoaded);
    EXPECT_EQ(internalFormat(), GL_RGB);
    std::vector<unsigned char> got = image(8, GL_RGB, 3);
    std::vector<unsigned char> want = counting(24);
    for (size_t i = 0; i < want.size(); i += 3)
        std::swap(want[i], want[i + 2]);
    EXPECT_EQ(got, want);
}

TEST_F(TgaLoad, UploadsEightBitAsAlphaWhateverTheType)
{
    for (int type : {2, 3}) {
        std::string path = write("c.tga", tgaFile(type, 4, 4, 8, counting(16)));
        ASSERT_EQ(loadTgaTexture(path.c_str(), 9), tgaLoaded) << type;
        EXPECT_EQ(internalFormat(), GL_ALPHA);
        EXPECT_EQ(image(9, GL_ALPHA, 1), counting(16)) << type;
    }
    std::string path = write("zero.tga", tgaFile(3, 2, 2, 8, counting(4)));
    EXPECT_EQ(loadTgaTexture(path.c_str(), 0), tgaLoaded);
    EXPECT_EQ(image(0, GL_ALPHA, 1), counting(4));
}

TEST_F(TgaLoad, SkipsTheImageIdAndKeepsStoredRowOrder)
{
    // Five ID bytes (0xEE) sit before the pixels and must not become pixel data.
    std::string path = write("id.tga", tgaFile(3, 2, 2, 8, counting(4), 5));
    ASSERT_EQ(loadTgaTexture(path.c_str(), 10), tgaLoaded);
    EXPECT_EQ(image(10, GL_ALPHA, 1), counting(4));

    // A top-left origin flips nothing: the first stored row is still texture row 0.
    for (int descriptor : {0x00, 0x20, 0x28}) {
        path = write("origin.tga", tgaFile(3, 2, 4, 8, counting(8), 0, 0, descriptor));
        ASSERT_EQ(loadTgaTexture(path.c_str(), 11), tgaLoaded);
        EXPECT_EQ(image(11, GL_ALPHA, 1), counting(8)) << descriptor;
    }
}

TEST_F(TgaLoad, IgnoresBytesAfterThePixels)
{
    std::vector<unsigned char> bytes = tgaFile(3, 2, 2, 8, counting(4));
    bytes.insert(bytes.end(), 26, 0x55);
    std::string path = write("footer.tga", bytes);
    ASSERT_EQ(loadTgaTexture(path.c_str(), 12), tgaLoaded);
    EXPECT_EQ(image(12, GL_ALPHA, 1), counting(4));
}

TEST_F(TgaLoad, OpensReadOnlyFiles)
{
    std::string path = write("ro.tga", tgaFile(3, 2, 2, 8, counting(4)));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(loadTgaTexture(path.c_str(), 13), tgaLoaded);
    EXPECT_EQ(image(13, GL_ALPHA, 1), counting(4));
    EXPECT_EQ(loadTgaTexture((dir / "missing.tga").c_str(), 13), tgaCannotOpen);
}

TEST_F(TgaLoad, RejectionsLeaveEveryGlStateAlone)
{
    // A known texture, bound, with non-default store and environment state.
    const unsigned char known[4] = {10, 20, 30, 40};
    glBindTexture(GL_TEXTURE_2D, 20);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, 2, 2, 0, GL_ALPHA, GL_UNSIGNED_BYTE, known);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

    std::vector<unsigned char> header17 = header(2, 4, 4, 32);
    header17.pop_back();
    std::vector<unsigned char> truncated = tgaFile(2, 4, 4, 32, counting(63));
    std::vector<unsigned char> longId = tgaFile(3, 2, 2, 8, counting(4), 200);
    longId.resize(18 + 100);
    struct Case {
        const char* name;
        std::vector<unsigned char> bytes;
        int code;
    } cases[] = {
        {"empty", {}, tgaShortHeader},
        {"header17", header17, tgaShortHeader},
        {"rle", header(10, 4, 4, 32), tgaBadType},
        {"colourmap", header(2, 4, 4, 8, 1), tgaBadType},
        {"side1", header(2, 1, 1, 32), tgaBadSide},
        {"side1024", header(2, 1024, 1024, 32), tgaBadSide},
        {"side640", header(2, 640, 480, 32), tgaBadSide},
        {"side3x4", header(2, 3, 4, 32), tgaBadSide},
        {"side0", header(2, 0, 0, 32), tgaBadSide},
        {"depth15", header(2, 4, 4, 15), tgaBadDepth},
        {"depth16", header(2, 4, 4, 16), tgaBadDepth},
        {"short", truncated, tgaShortPixels},
        {"idPastEnd", longId, tgaShortPixels},
    };
    for (const Case& c : cases) {
        std::string path = write(c.name, c.bytes);
        EXPECT_EQ(loadTgaTexture(path.c_str(), 21), c.code) << c.name;
    }

    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(value, 20);
    EXPECT_FALSE(glIsTexture(21)) << "a rejected file must not bind its texture name";
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 8);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_REPLACE);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    EXPECT_EQ(image(20, GL_ALPHA, 1), std::vector<unsigned char>(known, known + 4));
}
