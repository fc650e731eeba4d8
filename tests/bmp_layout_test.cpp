// BMP header bounds shared by the backends' readers: what a header lets a reader take, and reading
// no further than that.
#include "platform/bmp_layout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// A BMP file header and 40-byte information header (or the 12-byte core header when core is set).
static std::string header(int32_t width, int32_t height, int bits, uint32_t compression = 0, uint32_t offset = 54,
                          bool core = false)
{
    std::string b = "BM";
    auto put = [&b](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b += char(value >> (8 * i));
    };
    put(0, 4), put(0, 4), put(offset, 4);
    if (core) {
        put(12, 4), put(width, 2), put(height, 2), put(1, 2), put(bits, 2);
        return b;
    }
    put(40, 4), put(width, 4), put(height, 4), put(1, 2), put(bits, 2), put(compression, 4);
    return b + std::string(20, '\0');
}

TEST(BmpLayout, TheHeaderBoundsTheImageOrRefusesIt)
{
    const struct {
        const char* what;
        std::string bytes;
        size_t needed;  // 0: refused
        bool exact;
    } cases[] = {
        {"24-bit rows padded to 4 bytes", header(3, 2, 24), 54 + 12 * 2, true},
        {"top-down as tall as bottom-up", header(3, -2, 24), 54 + 12 * 2, true},
        {"1-bit rows", header(33, 1, 1, 0, 62), 62 + 8, true},
        {"core header, palette before the pixels", header(5, 4, 8, 0, 26 + 768, true), 26 + 768 + 8 * 4, true},
        {"run-length: two bytes a pixel and a row end at worst", header(4, 3, 8, 1, 1078), 1078 + 10 * 3 + 2, false},
        {"not a BMP", "XM" + header(3, 2, 24).substr(2), 0, true},
        {"shorter than its header", header(3, 2, 24).substr(0, 30), 0, true},
        {"no width", header(0, 2, 24), 0, true},
        {"a side beyond 16384", header(16385, 1, 24), 0, true},
        {"more than 2^24 pixels", header(4097, 4096, 24), 0, true},
        {"no bits per pixel", header(3, 2, 0), 0, true},
        {"more than 32 bits per pixel", header(3, 2, 33), 0, true},
        {"pixels inside the file header", header(3, 2, 24, 0, 25), 0, true},
        {"pixels beyond 64 KiB of headers", header(3, 2, 24, 0, 65537), 0, true},
    };
    for (const auto& c : cases) {
        const BmpLayout layout = bmpLayout(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
        EXPECT_EQ(layout.needed, c.needed) << c.what;
        EXPECT_TRUE(c.needed == 0 || layout.exact == c.exact) << c.what;
    }
}

TEST(BmpLayout, ReadingStopsAtTheImageAndRefusesAnImageCutShort)
{
    const std::string image = header(3, 2, 24) + std::string(24, 'p');
    const std::string runs = header(4, 3, 8, 1, 54) + std::string(5, 'r');
    const struct {
        const char* what;
        std::string file;
        size_t read;  // 0: refused
    } cases[] = {
        {"whole image", image, image.size()},
        {"trailing bytes left unread", image + std::string(1000, 't'), image.size()},
        {"image cut short", image.substr(0, image.size() - 1), 0},
        {"a header claiming 64 MiB over a few bytes", header(4096, 4096, 32) + "pppp", 0},
        {"run-length data up to the end of the file", runs, runs.size()},
    };
    for (const auto& c : cases) {
        FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        std::fwrite(c.file.data(), 1, c.file.size(), file);
        std::rewind(file);
        BmpLayout layout;
        EXPECT_EQ(readBmpBytes(file, &layout).size(), c.read) << c.what;
        std::fclose(file);
    }
}
