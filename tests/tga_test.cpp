// The TGA reader: header checks, pixel conversion, and uploads into a real Mesa context.
#include <sys/stat.h>

#include <numeric>
#include <tuple>
#include <vector>

#include "tests/support/text_fixture.h"
#include "text/text.h"

using Bytes = std::vector<unsigned char>;

// Counting bytes 0, 1, 2, ... (wrapping at 256) as stored.
static Bytes counting(size_t n)
{
    Bytes v(n);
    std::iota(v.begin(), v.end(), 0);
    return v;
}

static GLint texParameter(GLenum name) { GLint v = 0; glGetTexParameteriv(GL_TEXTURE_2D, name, &v); return v; }
static GLint level0(GLenum name) { GLint v = 0; glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &v); return v; }
static GLint envMode() { GLint v = 0; glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &v); return v; }

// Binds texture and reads its level-0 image back in format.
static Bytes image(GLuint texture, GLenum format, int bytesPerPixel)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    Bytes out(size_t(level0(GL_TEXTURE_WIDTH) * level0(GL_TEXTURE_HEIGHT) * bytesPerPixel));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    return out;
}

TEST(TgaHeader, AcceptsOnlyTheFixedSides)
{
    for (int side : {2, 4, 8, 16, 32, 64, 128, 256, 512})
        EXPECT_TRUE(isTextureSide(side)) << side;
    for (int side : {-512, -2, 0, 1, 3, 6, 24, 640, 768, 1024, 65535})
        EXPECT_FALSE(isTextureSide(side)) << side;
}

using TgaLoad = TextTest;

TEST_F(TgaLoad, UploadsTrueColourSwappedWithRepeatLinearAndModulate)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // 512 x 2 also proves the sides are read low byte first.
    writeBytes(dir / "a.tga", tgaFile(2, 512, 2, 32, counting(4096)));
    ASSERT_EQ(loadTgaTexture("a.tga", 7), tgaLoaded);
    EXPECT_EQ(getInt(GL_TEXTURE_BINDING_2D), 7);
    EXPECT_EQ(getInt(GL_UNPACK_ALIGNMENT), 1);
    EXPECT_EQ(envMode(), GL_MODULATE);
    for (GLenum p : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
        EXPECT_EQ(texParameter(p), GL_REPEAT);
    for (GLenum p : {GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER})
        EXPECT_EQ(texParameter(p), GL_LINEAR);
    Bytes got = image(7, GL_RGBA, 4);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 512);
    EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), (Bytes{2, 1, 0, 3}));
    EXPECT_EQ(Bytes(got.end() - 4, got.end()), (Bytes{254, 253, 252, 255}));

    // Two pixels make six-byte rows: any unpack alignment but 1 would shift them.
    writeBytes(dir / "b.tga", tgaFile(2, 2, 4, 24, counting(24)));
    ASSERT_EQ(loadTgaTexture("b.tga", 8), tgaLoaded);
    Bytes want = counting(24);
    for (size_t i = 0; i < want.size(); i += 3)
        std::swap(want[i], want[i + 2]);
    EXPECT_EQ(image(8, GL_RGB, 3), want);
    EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
}

TEST_F(TgaLoad, EightBitFilesUploadTheirBytesAsAlpha)
{
    // Name, file, texture name, read-only.
    const std::tuple<const char*, Bytes, GLuint, bool> cases[] = {
        {"type2", tgaFile(2, 2, 2, 8, counting(4)), 9, false},
        {"type3 into the default texture", tgaFile(3, 2, 2, 8, counting(4)), 0, false},
        {"image ID skipped", tgaFile(3, 2, 2, 8, counting(4), 5), 10, false},
        {"top-left origin, no flip", tgaFile(3, 2, 2, 8, counting(4), 0, 0, 0x28), 11, false},
        {"footer ignored", tgaFile(3, 2, 2, 8, counting(30)), 12, false},
        {"read-only file", tgaFile(3, 2, 2, 8, counting(4)), 13, true},
    };
    for (const auto& [name, bytes, texture, readOnly] : cases) {
        SCOPED_TRACE(name);
        fs::path path = dir / (std::to_string(texture) + ".tga");
        writeBytes(path, bytes);
        ASSERT_EQ(readOnly ? chmod(path.c_str(), 0444) : 0, 0);
        ASSERT_EQ(loadTgaTexture(path.c_str(), texture), tgaLoaded);
        EXPECT_EQ(image(texture, GL_ALPHA, 1), counting(4));
        EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GL_ALPHA);
    }
}

TEST_F(TgaLoad, RejectionsMakeNoGlCall)
{
    // A known texture, bound, with non-default store and environment state.
    const unsigned char known[4] = {10, 20, 30, 40};
    glBindTexture(GL_TEXTURE_2D, 20);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, 4, 1, 0, GL_ALPHA, GL_UNSIGNED_BYTE, known);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

    // Name, file, result.
    const std::tuple<const char*, Bytes, int> cases[] = {
        {"missing", {}, tgaCannotOpen},
        {"empty", {}, tgaShortHeader},
        {"17 bytes", counting(17), tgaShortHeader},
        {"rle", tgaFile(10, 4, 4, 32), tgaBadType},
        {"colourmap", tgaFile(2, 4, 4, 8, {}, 0, 1), tgaBadType},
        {"type before side and depth", tgaFile(10, 3, 3, 16), tgaBadType},
        {"side before depth", tgaFile(2, 3, 3, 16), tgaBadSide},
        {"3x4", tgaFile(2, 3, 4, 32), tgaBadSide},
        {"4x3", tgaFile(2, 4, 3, 32), tgaBadSide},
        {"0x0", tgaFile(2, 0, 0, 32), tgaBadSide},
        {"depth15", tgaFile(2, 4, 4, 15), tgaBadDepth},
        {"depth16", tgaFile(2, 4, 4, 16), tgaBadDepth},
        {"one byte short", tgaFile(2, 4, 4, 32, counting(63)), tgaShortPixels},
        {"pixels past a long image ID", tgaFile(3, 2, 2, 8, {}, 200), tgaShortPixels},
        {"fifo", {}, tgaCannotOpen},
        {"zero", {}, tgaCannotOpen},
    };
    mkfifo((dir / "fifo").c_str(), 0644);
    fs::create_symlink("/dev/zero", dir / "zero");
    for (const auto& [name, bytes, code] : cases) {
        if (code != tgaCannotOpen)
            writeBytes(dir / name, bytes);
        EXPECT_EQ(loadTgaTexture((dir / name).c_str(), 21), code) << name;
    }

    EXPECT_EQ(getInt(GL_TEXTURE_BINDING_2D), 20);
    EXPECT_FALSE(glIsTexture(21)) << "a rejected file must not bind its texture name";
    EXPECT_EQ(getInt(GL_UNPACK_ALIGNMENT), 8);
    EXPECT_EQ(envMode(), GL_REPLACE);
    EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(image(20, GL_ALPHA, 1), Bytes(known, known + 4));
}
