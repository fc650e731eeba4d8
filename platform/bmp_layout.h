// What a BMP file's header says about where its image lies, shared by the backends' bitmap readers so
// that none reads or allocates further than the header allows. No window-system code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

struct BmpLayout {
    size_t needed = 0;        // bytes from the file's start that the image needs; 0: not a sane BMP
    bool exact = true;        // false for run-length data, whose size is only bounded by needed
    uint32_t pixelOffset = 0; // where the pixel data starts
    uint32_t infoSize = 0;    // bytes of the information header after the 14-byte file header
};

// Judges the first size bytes of a BMP file (at least the 34 of its headers, fewer for the 12-byte
// header); a layout with needed 0 for anything that is not a sane image of at most 16384 pixels a side
// and 2^24 pixels.
BmpLayout bmpLayout(const uint8_t* bytes, size_t size);

// The bytes of an open BMP file up to the end of its image, read in pieces so that a short file never
// costs the allocation its header claims; empty when the header is not sane or an uncompressed image
// is cut short. *layout receives the header's layout.
std::vector<uint8_t> readBmpBytes(FILE* file, BmpLayout* layout);
// The same for the BMP file a data path names (found as openDataFile finds it); empty when it
// cannot be opened.
std::vector<uint8_t> readBmpFile(const char* path, BmpLayout* layout);
