// The TGA reader: one uncompressed true-colour or grey-scale image into an OpenGL texture.
#include "text/text.h"

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

// GL format of the last successful pixel read; the upload uses it for both format arguments.
static GLenum tgaFormat = 0;

bool isTextureSide(int side)
{
    switch (side) {
    case 2: case 4: case 8: case 16: case 32: case 64: case 128: case 256: case 512:
        return true;
    default:
        return false;
    }
}

int parseTgaHeader(const unsigned char* bytes, size_t size, TgaHeader* out)
{
    if (size < tgaHeaderBytes)
        return tgaShortHeader;
    TgaHeader h;
    h.idLength = bytes[0];
    h.colourMapType = bytes[1];
    h.imageType = bytes[2];
    h.width = bytes[12] + 256 * bytes[13];
    h.height = bytes[14] + 256 * bytes[15];
    h.depth = bytes[16];
    h.descriptor = bytes[17];
    *out = h;
    if (h.colourMapType != 0 || (h.imageType != 2 && h.imageType != 3))
        return tgaBadType;
    if (!isTextureSide(h.width) || !isTextureSide(h.height))
        return tgaBadSide;
    if (h.depth != 8 && h.depth != 24 && h.depth != 32)
        return tgaBadDepth;
    return tgaLoaded;
}

GLenum convertTgaPixels(unsigned char* pixels, size_t count, int depth)
{
    if (depth == 8)
        return GL_ALPHA;
    if (depth != 24 && depth != 32)
        return 0;
    size_t step = size_t(depth / 8);
    for (unsigned char* p = pixels; p != pixels + count * step; p += step) {
        unsigned char blue = p[0];
        p[0] = p[2];
        p[2] = blue;
    }
    return depth == 32 ? GL_RGBA : GL_RGB;
}

// Reads count pixels of depth 8/24/32 from the file position into a new buffer (free()d by the caller),
// converted for upload; null when the buffer cannot be had or the file holds fewer bytes.
static unsigned char* readTgaPixels(FILE* file, size_t count, int depth)
{
    size_t bytes = count * size_t(depth / 8);
    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(bytes));
    if (!pixels)
        return nullptr;
    if (std::fread(pixels, 1, bytes, file) != bytes) {
        std::free(pixels);
        return nullptr;
    }
    tgaFormat = convertTgaPixels(pixels, count, depth);
    return pixels;
}

int loadTgaTexture(const char* path, GLuint texture)
{
    // Read-only, and only a regular file: the font may be installed where it cannot be written,
    // and a FIFO in its place must not hang the viewer. Nothing past the pixel block is read.
    FILE* file = openDataFile(path);
    if (!file)
        return tgaCannotOpen;
    unsigned char bytes[tgaHeaderBytes];
    size_t got = std::fread(bytes, 1, sizeof bytes, file);
    TgaHeader header;
    int verdict = parseTgaHeader(bytes, got, &header);
    if (verdict != tgaLoaded) {
        std::fclose(file);
        return verdict;
    }
    // The pixels follow the image ID; an ID that runs past the end of the file leaves the read short.
    unsigned char* pixels = nullptr;
    if (std::fseek(file, long(tgaHeaderBytes) + header.idLength, SEEK_SET) == 0)
        pixels = readTgaPixels(file, size_t(header.width) * size_t(header.height), header.depth);
    std::fclose(file);
    if (!pixels)
        return tgaShortPixels;

    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Rows go up in stored order whatever the origin bit says: the font stores the top of each glyph first.
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(tgaFormat), header.width, header.height, 0, tgaFormat,
                 GL_UNSIGNED_BYTE, pixels);
    std::free(pixels);
    return tgaLoaded;
}
