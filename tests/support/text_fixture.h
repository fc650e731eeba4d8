// Test helpers for the text subsystem: TGA files made on the spot, and glyph quads captured by GL feedback.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// An 18-byte header, an image ID of idLength bytes (0xEE each), then the given bytes.
inline std::vector<unsigned char> tgaFile(int imageType, int width, int height, int depth,
                                          const std::vector<unsigned char>& pixels, int idLength = 0,
                                          int colourMapType = 0, int descriptor = 0)
{
    std::vector<unsigned char> bytes(18, 0);
    bytes[0] = static_cast<unsigned char>(idLength);
    bytes[1] = static_cast<unsigned char>(colourMapType);
    bytes[2] = static_cast<unsigned char>(imageType);
    bytes[12] = static_cast<unsigned char>(width & 0xFF);
    bytes[13] = static_cast<unsigned char>(width >> 8);
    bytes[14] = static_cast<unsigned char>(height & 0xFF);
    bytes[15] = static_cast<unsigned char>(height >> 8);
    bytes[16] = static_cast<unsigned char>(depth);
    bytes[17] = static_cast<unsigned char>(descriptor);
    bytes.insert(bytes.end(), size_t(idLength), 0xEE);
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    return bytes;
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    EXPECT_EQ(written, bytes.size());
    std::fclose(f);
}

// A fresh empty directory under the system's temporary folder.
inline std::filesystem::path makeTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kestra-text-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    return made ? std::filesystem::path(made) : std::filesystem::path();
}

// One glyph quad as the rasteriser saw it: window coordinates (rounded to 1/256 pixel against the
// transform's rounding error), texture range and colour.
struct CapturedGlyph {
    float red = 0, green = 0, blue = 0;
    float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;  // window pixels, y up
    float s0 = 1e9f, s1 = -1e9f, t0 = 1e9f, t1 = -1e9f;
    float tAtBottom = 0, tAtTop = 0;                    // t of the vertices at y0 and y1
    // Cell index of a 16 x 16 font grid whose cell k spans t from (k / 16) / 16 to (k / 16 + 1) / 16.
    int cell() const { return int(std::lround(t0 * 16)) * 16 + int(std::lround(s0 * 16)); }
};

// Runs draw in feedback mode and merges the reported polygons into quads (by colour and lower-left corner).
inline std::vector<CapturedGlyph> captureGlyphs(const std::function<void()>& draw)
{
    static std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer overflow";
    std::vector<CapturedGlyph> glyphs;
    constexpr int vertexFloats = 11;  // x y z, r g b a, s t r q
    for (GLint i = 0; i < used;) {
        EXPECT_EQ(GLint(buffer[size_t(i)]), GL_POLYGON_TOKEN);
        if (GLint(buffer[size_t(i)]) != GL_POLYGON_TOKEN)
            break;
        int count = int(buffer[size_t(i) + 1]);
        const GLfloat* v = &buffer[size_t(i) + 2];
        CapturedGlyph g;
        g.red = v[3], g.green = v[4], g.blue = v[5];
        for (int k = 0; k < count; ++k) {
            const GLfloat* p = v + k * vertexFloats;
            float x = std::round(p[0] * 256) / 256, y = std::round(p[1] * 256) / 256;
            g.x0 = std::min(g.x0, x), g.x1 = std::max(g.x1, x);
            g.s0 = std::min(g.s0, p[7]), g.s1 = std::max(g.s1, p[7]);
            g.t0 = std::min(g.t0, p[8]), g.t1 = std::max(g.t1, p[8]);
            if (y < g.y0)
                g.y0 = y, g.tAtBottom = p[8];
            if (y > g.y1)
                g.y1 = y, g.tAtTop = p[8];
        }
        bool merged = false;
        for (CapturedGlyph& other : glyphs) {
            if (other.red == g.red && other.green == g.green && other.blue == g.blue && other.x0 == g.x0 &&
                other.y0 == g.y0) {
                other.x1 = std::max(other.x1, g.x1), other.y1 = std::max(other.y1, g.y1);
                if (g.y1 >= other.y1)
                    other.tAtTop = g.tAtTop;
                other.s0 = std::min(other.s0, g.s0), other.s1 = std::max(other.s1, g.s1);
                other.t0 = std::min(other.t0, g.t0), other.t1 = std::max(other.t1, g.t1);
                merged = true;
                break;
            }
        }
        if (!merged)
            glyphs.push_back(g);
        i += 2 + count * vertexFloats;
    }
    return glyphs;
}

// Cells a text selects in character set 0 (byte - 32) or set 1 (byte + 96).
inline std::vector<int> cellsOf(const std::string& text, int set)
{
    std::vector<int> cells;
    for (unsigned char c : text)
        cells.push_back(set == 0 ? int(c) - 32 : int(c) + 96);
    return cells;
}
