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

// bytes with the first and third of every step bytes swapped, as the reader turns BGR(A) into RGB(A).
static Bytes redBlueSwapped(Bytes bytes, size_t step)
{
    for (size_t i = 0; i < bytes.size(); i += step)
        std::swap(bytes[i], bytes[i + 2]);
    return bytes;
}

static GLint texParameter(GLenum name) { GLint v = 0; glGetTexParameteriv(GL_TEXTURE_2D, name, &v); return v; }
static GLint level0(GLenum name) { GLint v = 0; glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &v); return v; }
static GLint envMode() { GLint v = 0; glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &v); return v; }

using TgaLoad = TextTest;

// Every file is read-only: the font may be installed where it cannot be written.
TEST_F(TgaLoad, UploadsEachDepthWithRepeatLinearAndModulate)
{
    // Name, file, texture name, format and bytes read back. A 512 x 2 picture reads 2 x 512 with the sides'
    // bytes swapped; two 24-bit pixels make six-byte rows, which any unpack alignment but 1 would shift. 8-bit
    // files keep their rows in stored order whatever the origin bit says, and skip the image ID and the footer.
    const std::tuple<const char*, Bytes, GLuint, GLenum, Bytes> cases[] = {
        {"32-bit", tgaFile(2, 512, 2, 32, counting(4096)), 7, GL_RGBA, redBlueSwapped(counting(4096), 4)},
        {"24-bit", tgaFile(2, 2, 4, 24, counting(24)), 8, GL_RGB, redBlueSwapped(counting(24), 3)},
        {"8-bit type 2", tgaFile(2, 2, 2, 8, counting(4)), 9, GL_ALPHA, counting(4)},
        {"8-bit type 3 into the default texture", tgaFile(3, 2, 2, 8, counting(30), 5, 0, 0x28), 0, GL_ALPHA,
         counting(4)},
    };
    for (const auto& [name, bytes, texture, format, want] : cases) {
        SCOPED_TRACE(name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        writeBytes(dir / name, bytes);
        ASSERT_EQ(chmod((dir / name).c_str(), 0444), 0);
        ASSERT_EQ(loadTgaTexture(name, texture), tgaLoaded);
        EXPECT_EQ((std::vector{getInt(GL_TEXTURE_BINDING_2D), getInt(GL_UNPACK_ALIGNMENT), envMode(),
                               texParameter(GL_TEXTURE_WRAP_S), texParameter(GL_TEXTURE_WRAP_T),
                               texParameter(GL_TEXTURE_MAG_FILTER), texParameter(GL_TEXTURE_MIN_FILTER)}),
                  (std::vector<GLint>{GLint(texture), 1, GL_MODULATE, GL_REPEAT, GL_REPEAT, GL_LINEAR, GL_LINEAR}));
        EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GLint(format));
        EXPECT_EQ(level0(GL_TEXTURE_WIDTH), bytes[12] + 256 * bytes[13]);
        const int bytesPerPixel = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1;
        ASSERT_EQ(size_t(level0(GL_TEXTURE_WIDTH) * level0(GL_TEXTURE_HEIGHT) * bytesPerPixel), want.size());
        Bytes got(want.size());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, got.data());
        EXPECT_EQ(got, want);
    }
}

TEST_F(TgaLoad, RejectionsMakeNoGlCall)
{
    // Every GL call of the reader comes after its checks: a rejection leaves the bound texture and the store.
    glBindTexture(GL_TEXTURE_2D, 20);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);

    // Name, file, result. The checks go type, sides, depth, pixels; a FIFO or device is never opened.
    const std::tuple<const char*, Bytes, int> cases[] = {
        {"missing", {}, tgaCannotOpen},
        {"fifo", {}, tgaCannotOpen},
        {"zero", {}, tgaCannotOpen},
        {"17 bytes", counting(17), tgaShortHeader},
        {"rle", tgaFile(10, 3, 3, 16), tgaBadType},
        {"colourmap", tgaFile(2, 4, 4, 8, {}, 0, 1), tgaBadType},
        {"3x4", tgaFile(2, 3, 4, 16), tgaBadSide},
        {"4x1024", tgaFile(2, 4, 1024, 32), tgaBadSide},
        {"depth16", tgaFile(2, 4, 4, 16), tgaBadDepth},
        {"one byte short", tgaFile(2, 4, 4, 32, counting(63)), tgaShortPixels},
        {"pixels past a long image ID", tgaFile(3, 2, 2, 8, {}, 200), tgaShortPixels},
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
}
