// BMP header bounds shared by every backend's bitmap reader.
#include "platform/bmp_layout.h"

#include "platform/platform.h"

#include <algorithm>

static uint32_t readLe(const uint8_t* b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + i];
    return v;
}

BmpLayout bmpLayout(const uint8_t* b, size_t size)
{
    constexpr int64_t maxSide = 16384;
    constexpr int64_t maxPixels = int64_t(1) << 24;
    constexpr uint32_t maxPixelOffset = 1 << 16;  // headers, masks and a 256-colour palette fit many times
    BmpLayout layout;
    if (size < 26 || b[0] != 'B' || b[1] != 'M')
        return layout;
    layout.pixelOffset = readLe(b, 10, 4);
    layout.infoSize = readLe(b, 14, 4);
    int64_t width, height;
    uint32_t bitsPerPixel, compression = 0;
    if (layout.infoSize == 12) {
        width = readLe(b, 18, 2);
        height = readLe(b, 20, 2);
        bitsPerPixel = readLe(b, 24, 2);
    } else {
        if (size < 34)
            return layout;
        width = static_cast<int32_t>(readLe(b, 18, 4));
        height = static_cast<int32_t>(readLe(b, 22, 4));
        bitsPerPixel = readLe(b, 28, 2);
        compression = readLe(b, 30, 4);
    }
    height = height < 0 ? -height : height;
    if (width < 1 || height < 1 || width > maxSide || height > maxSide || width * height > maxPixels)
        return layout;
    if (bitsPerPixel == 0 || bitsPerPixel > 32 || layout.pixelOffset < 26 || layout.pixelOffset > maxPixelOffset)
        return layout;
    // Run-length data has no fixed size: at worst two bytes a pixel and an end-of-line code a row.
    layout.exact = compression != 1 && compression != 2;
    const int64_t pixelBytes =
        layout.exact ? (width * bitsPerPixel + 31) / 32 * 4 * height : (2 * width + 2) * height + 2;
    layout.needed = size_t(layout.pixelOffset + pixelBytes);
    return layout;
}

std::vector<uint8_t> readBmpBytes(FILE* file, BmpLayout* layout)
{
    constexpr size_t piece = size_t(1) << 20;
    std::vector<uint8_t> bytes(34);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    *layout = bmpLayout(bytes.data(), bytes.size());
    if (layout->needed == 0)
        return {};
    bytes.resize(std::min(bytes.size(), layout->needed));
    while (bytes.size() < layout->needed) {
        const size_t start = bytes.size();
        bytes.resize(std::min(layout->needed, start + piece));
        const size_t got = std::fread(bytes.data() + start, 1, bytes.size() - start, file);
        bytes.resize(start + got);
        if (got == 0)
            break;
    }
    if (layout->exact && bytes.size() < layout->needed)
        bytes.clear();
    return bytes;
}

std::vector<uint8_t> readBmpFile(const char* path, BmpLayout* layout)
{
    FILE* file = openDataFile(path);
    if (!file)
        return {};
    std::vector<uint8_t> bytes = readBmpBytes(file, layout);
    std::fclose(file);
    return bytes;
}
