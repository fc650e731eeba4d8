// Writes the fuzz targets' seed corpora: valid map, BMP and TGA files, truncated and misheaded variants,
// and headers that claim far more than their file holds.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "map/map.h"

using Bytes = std::vector<uint8_t>;

static void put16(Bytes& b, unsigned v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

static void put32(Bytes& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

static bool writeFile(const std::string& path, const Bytes& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    if (f)
        ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::perror(path.c_str());
    return ok;
}

static Bytes truncated(const Bytes& b, size_t size)
{
    return Bytes(b.begin(), b.begin() + std::min(size, b.size()));
}

// ---- Maps: a varied grid of every tile kind, including values that draw nothing.
static Bytes mapFile(uint32_t version, uint32_t rows, uint32_t columns)
{
    Bytes b;
    b.insert(b.end(), mapMagic, mapMagic + sizeof mapMagic);
    put32(b, version);
    put32(b, rows);
    put32(b, columns);
    for (int r = 0; r < mapSize; ++r)
        for (int c = 0; c < mapSize; ++c)
            put32(b, uint32_t((r * 7 + c * 3) % 25 + (r == 0 && c == 0 ? 0xFFFFFF00u : 0)));
    return b;
}

// ---- BMP: BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up unless the height is negative.
static Bytes bmpFile(int width, int height, int bits, bool palette)
{
    int rows = height < 0 ? -height : height;
    size_t stride = (size_t(width) * bits + 31) / 32 * 4;
    unsigned colours = palette ? (1u << bits) : 0;
    uint32_t offset = 14 + 40 + colours * 4;
    Bytes b;
    b.push_back('B');
    b.push_back('M');
    put32(b, uint32_t(offset + stride * rows));
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, uint32_t(width));
    put32(b, uint32_t(height));
    put16(b, 1);
    put16(b, unsigned(bits));
    put32(b, 0);  // BI_RGB
    put32(b, uint32_t(stride * rows));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, colours);
    put32(b, 0);
    for (unsigned i = 0; i < colours; ++i)
        put32(b, (i * 0x030507u) & 0xFFFFFFu);
    for (int y = 0; y < rows; ++y)
        for (size_t x = 0; x < stride; ++x)
            b.push_back(uint8_t(x * 31 + size_t(y) * 17));
    return b;
}

// ---- TGA: 18-byte header, then the pixel block.
static Bytes tgaFile(int type, int width, int height, int depth, int idLength = 0, int colourMap = 0)
{
    Bytes b{uint8_t(idLength), uint8_t(colourMap), uint8_t(type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(b, unsigned(width));
    put16(b, unsigned(height));
    b.push_back(uint8_t(depth));
    b.push_back(0x20);
    size_t pixels = size_t(width) * height * (depth / 8);
    for (size_t i = 0; i < pixels; ++i)
        b.push_back(uint8_t(i * 13 + 5));
    return b;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    std::string out = argv[1];
    for (const char* sub : {"", "/map", "/bmp", "/tga", "/path"})
        mkdir((out + sub).c_str(), 0755);

    Bytes map = mapFile(2, mapSize, mapSize);
    Bytes longer = map;
    longer.insert(longer.end(), {1, 2, 3, 4});
    Bytes badMagic = map;
    badMagic[0] = 'k';
    Bytes zeros(map.size(), 0);
    const std::pair<const char*, Bytes> maps[] = {
        {"valid", map},
        {"trailing", longer},
        {"empty", {}},
        {"magic-only", truncated(map, 11)},
        {"short-version", truncated(map, 14)},
        {"header-only", truncated(map, mapHeaderBytes)},
        {"short-size", truncated(map, 22)},
        {"one-short", truncated(map, size_t(mapFileBytes) - 1)},
        {"half", truncated(map, size_t(mapFileBytes) / 2)},
        {"bad-magic", badMagic},
        {"version-1", truncated(mapFile(1, mapSize, mapSize), 100)},
        {"rows-169", truncated(mapFile(2, 169, mapSize), 100)},
        {"columns-171", truncated(mapFile(2, mapSize, 171), 100)},
        {"all-zero", zeros},
    };

    Bytes bmp24 = bmpFile(5, 3, 24, false);
    Bytes badBmp = bmp24;
    badBmp[1] = 'A';
    // Headers that claim far more than the file holds, or put the pixels far past its end.
    Bytes claimsHuge = truncated(bmpFile(16384, 16384, 24, false), 200);
    Bytes rleHuge = truncated(bmpFile(16384, 1024, 8, true), 2000);
    rleHuge[30] = 1;  // BI_RLE8
    Bytes farPixels = bmp24;
    farPixels[12] = 0x40;  // pixel offset 4 MiB
    const std::pair<const char*, Bytes> bmps[] = {
        {"rgb24-5x3", bmp24},
        {"rgb24-4x4", bmpFile(4, 4, 24, false)},
        {"rgb24-top-down", bmpFile(3, -2, 24, false)},
        {"rgb32-4x2", bmpFile(4, 2, 32, false)},
        {"rgb16-3x3", bmpFile(3, 3, 16, false)},
        {"pal8-6x2", bmpFile(6, 2, 8, true)},
        {"pal4-5x2", bmpFile(5, 2, 4, true)},
        {"pal1-9x2", bmpFile(9, 2, 1, true)},
        {"short-pixels", truncated(bmp24, bmp24.size() - 5)},
        {"short-header", truncated(bmp24, 30)},
        {"bad-magic", badBmp},
        {"claims-16384", claimsHuge},
        {"rle8-claims-16384", rleHuge},
        {"pixels-far-away", farPixels},
    };

    Bytes tga24 = tgaFile(2, 4, 4, 24);
    const std::pair<const char*, Bytes> tgas[] = {
        {"rgb24-4x4", tga24},
        {"rgba32-8x2", tgaFile(2, 8, 2, 32)},
        {"grey8-16x16", tgaFile(3, 16, 16, 8)},
        {"alpha8-type2", tgaFile(2, 2, 2, 8)},
        {"id-length", tgaFile(2, 2, 2, 24, 5)},
        {"short-pixels", truncated(tga24, tga24.size() - 1)},
        {"header-only", truncated(tga24, 18)},
        {"short-header", truncated(tga24, 10)},
        {"colour-map", tgaFile(2, 2, 2, 24, 0, 1)},
        {"rle-type", tgaFile(10, 2, 2, 24)},
        {"side-3", tgaFile(2, 3, 2, 24)},
        {"side-1024", truncated(tgaFile(2, 1024, 2, 8), 64)},
        {"claims-512x512", truncated(tgaFile(2, 512, 512, 32), 100)},
        {"id-past-end", truncated(tgaFile(2, 2, 2, 8, 255), 30)},
        {"depth-16", tgaFile(2, 2, 2, 16)},
    };

    // Path pieces as path_fuzz.cpp reads them: 0 "/", 1 ".", 2 "..", 3 "d", 4 "D", 5 "f", 6 "F", 7 "e", ...
    const std::pair<const char*, Bytes> paths[] = {
        {"exact", {3, 0, 5}}, {"twin-folder", {4, 0, 6}}, {"dots", {1, 0, 15, 14, 3, 0, 10}},
        {"up", {7, 0, 2, 0, 11}}, {"fifo", {13}}, {"missing", {3, 0, 9}}, {"absolute", {0, 3}},
    };

    bool ok = true;
    for (const auto& [name, bytes] : paths)
        ok = writeFile(out + "/path/" + name, bytes) && ok;
    for (const auto& [name, bytes] : maps)
        ok = writeFile(out + "/map/" + name, bytes) && ok;
    for (const auto& [name, bytes] : bmps)
        ok = writeFile(out + "/bmp/" + name + ".bmp", bytes) && ok;
    for (const auto& [name, bytes] : tgas)
        ok = writeFile(out + "/tga/" + name + ".tga", bytes) && ok;
    return ok ? 0 : 1;
}
