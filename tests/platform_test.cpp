// The platform layer's headless GL context and its data-file helpers.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

#include "tests/support/gl_context.h"

TEST(TestContext, GivesARealMesaCompatibilityContext)
{
    ASSERT_TRUE(openTestContext(64, 32));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 64);
    EXPECT_EQ(viewport[3], 32);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    unsigned char pixel[4] = {};
    glReadPixels(3, 3, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
    closeTestContext();
}

// A BMP header is checked against its file before the image is allocated.
TEST(LoadBitmap, RefusesHeadersTheFileCannotHold)
{
    auto header = [](int32_t width, int32_t height, uint16_t bits, uint32_t compression) {
        std::vector<uint8_t> b(54 + 16, 0);
        auto put = [&b](size_t at, uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                b[at + i] = uint8_t(v >> (8 * i));
        };
        b[0] = 'B';
        b[1] = 'M';
        put(2, uint32_t(b.size()), 4);
        put(10, 54, 4);
        put(14, 40, 4);
        put(18, uint32_t(width), 4);
        put(22, uint32_t(height), 4);
        put(26, 1, 2);
        put(28, bits, 2);
        put(30, compression, 4);
        return b;
    };
    const std::string path = testing::TempDir() + "kestra_header.bmp";
    auto loads = [&path](const std::vector<uint8_t>& bytes, long trailing = 0) {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        EXPECT_EQ(truncate(path.c_str(), long(bytes.size()) + trailing), 0);
        Bitmap bmp;
        return loadBitmap(path.c_str(), &bmp);
    };
    EXPECT_TRUE(loads(header(2, 2, 24, 0)));         // 2 rows of 8 bytes fit in the 16 after the header
    EXPECT_TRUE(loads(header(2, -2, 24, 0)));        // top-down
    EXPECT_TRUE(loads(header(2, 2, 24, 0), 1L << 30));  // read only as far as the image: a gigabyte follows it
    EXPECT_FALSE(loads(header(60000, 60000, 24, 0)));
    EXPECT_FALSE(loads(header(4096, 4096, 32, 0)));  // plausible size, but the pixels are not in the file
    EXPECT_FALSE(loads(header(0, 2, 24, 0)));
    EXPECT_FALSE(loads(header(2, 2, 0, 0)));
    EXPECT_FALSE(loads(std::vector<uint8_t>{'B', 'M', 0, 0}));
    std::remove(path.c_str());
}
