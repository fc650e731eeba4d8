// Test helpers for the text subsystem: TGA files made on the spot, a context with a font, and glyph quads
// captured by GL feedback.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "tests/support/gl_context.h"
#include "tests/support/temp_dir.h"
#include "text/text.h"

namespace fs = std::filesystem;

// An 18-byte header, an image ID of idLength bytes (0xEE each), then the given bytes.
inline std::vector<unsigned char> tgaFile(int type, int width, int height, int depth,
                                          const std::vector<unsigned char>& pixels = {}, int idLength = 0,
                                          int colourMapType = 0, int descriptor = 0)
{
    const int header[18] = {idLength, colourMapType, type, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            width,    width >> 8,    height, height >> 8, depth, descriptor};
    // Sized once and filled by index: insert() and std::copy here trip false -Warray-bounds reports in GCC 12
    // at -O2 and -O3.
    std::vector<unsigned char> b(18 + size_t(idLength) + pixels.size());
    for (size_t i = 0, id = 18 + size_t(idLength); i < b.size(); ++i)
        b[i] = static_cast<unsigned char>(i < 18 ? header[i] : i < id ? 0xEE : pixels[i - id]);
    return b;
}

inline void writeBytes(const fs::path& path, const std::vector<unsigned char>& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A parameter of the bound 2D texture, and of its image at a level.
inline GLint texInt(GLenum name) { GLint v = 0; glGetTexParameteriv(GL_TEXTURE_2D, name, &v); return v; }
inline GLint levelInt(GLenum name, int level = 0)
{
    GLint v = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &v);
    return v;
}

// A 1280 x 720 context, run from a fresh temporary folder whose "data/Terminal8.tga" has every glyph cell
// solid, with the font built from it.
class TextTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(openTestContext(1280, 720)); }
    static void TearDownTestSuite() { closeTestContext(); }
    void SetUp() override
    {
        writeBytes(dir / "data" / "Terminal8.tga", tgaFile(3, 256, 256, 8, std::vector<unsigned char>(65536, 255)));
        ASSERT_TRUE(buildFont(1280, 720));
        glViewport(0, 0, 1280, 720);
    }
    void TearDown() override
    {
        deleteFont();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    TempDir temp;
    const fs::path dir = temp.path;
};

// One glyph quad as the rasteriser saw it, in window pixels (y up, rounded to 1/256 pixel).
struct CapturedGlyph {
    float red = 0, x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f, s0 = 1e9f, s1 = -1e9f;
    float tAtBottom = 0, tAtTop = 0;  // t of the vertices at y0 and y1
    // Cell k of the 16 x 16 font grid spans t from (k / 16) / 16 to (k / 16 + 1) / 16.
    int cell() const { return int(std::lround(tAtTop * 16)) * 16 + int(std::lround(s0 * 16)); }
};

// Runs draw in GL feedback mode of the given type; the polygons it reports, each the values of its vertices in a
// row (window x y and depth, then for GL_3D_COLOR_TEXTURE r g b a and s t r q). Anything else fails the test.
inline std::vector<std::vector<GLfloat>> feedbackPolygons(const std::function<void()>& draw,
                                                          GLenum type = GL_3D_COLOR_TEXTURE)
{
    static std::vector<GLfloat> buffer(1 << 20);
    const size_t stride = type == GL_3D ? 3 : 11;
    glFeedbackBuffer(GLsizei(buffer.size()), type, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const size_t used = size_t(glRenderMode(GL_RENDER));
    std::vector<std::vector<GLfloat>> polygons;
    size_t i = 0;
    for (; i < used && buffer[i] == GL_POLYGON_TOKEN; i += 2 + size_t(buffer[i + 1]) * stride)
        polygons.emplace_back(&buffer[i + 2], &buffer[i + 2] + size_t(buffer[i + 1]) * stride);
    EXPECT_EQ(i, used) << "only polygons expected";
    return polygons;
}

// Mesa reports each glyph quad as two triangles in a row.
inline std::vector<CapturedGlyph> captureGlyphs(const std::function<void()>& draw)
{
    const std::vector<std::vector<GLfloat>> polygons = feedbackPolygons(draw);
    std::vector<CapturedGlyph> glyphs;
    for (size_t n = 0; n < polygons.size(); ++n) {
        if (n % 2 == 0)
            glyphs.push_back({polygons[n][3]});
        CapturedGlyph& g = glyphs.back();
        for (const GLfloat* p = polygons[n].data(); p < polygons[n].data() + polygons[n].size(); p += 11) {
            float x = std::round(p[0] * 256) / 256, y = std::round(p[1] * 256) / 256;
            g.x0 = std::min(g.x0, x), g.x1 = std::max(g.x1, x);
            g.s0 = std::min(g.s0, p[7]), g.s1 = std::max(g.s1, p[7]);
            if (y < g.y0)
                g.y0 = y, g.tAtBottom = p[8];
            if (y > g.y1)
                g.y1 = y, g.tAtTop = p[8];
        }
    }
    return glyphs;
}
