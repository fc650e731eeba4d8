// The four tile display lists against a real Mesa context: geometry, texture coordinates, normals, winding.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "map/map.h"
#include "tests/support/gl_context.h"

namespace fs = std::filesystem;

namespace {

struct Vertex { float x, y, z, s, t, rgb[3]; };  // tile-local position, texture coordinates, lit colour
using Polygon = std::vector<Vertex>;

// The lit colour channel of a normal component under the lights captureList sets: each axis lights its own
// channel, 0.25 from the positive side and 0.1 from the negative one, so both sign and length show.
float litChannel(float n) { return n > 0 ? 0.25f * n : -0.1f * n; }

// Runs a list lit, under feedback, with an orthographic view of the whole tile; returns every polygon emitted.
std::vector<Polygon> captureList(GLuint list)
{
    glMatrixMode(GL_PROJECTION);  // the modelview stays the identity, the viewport 64 x 64
    glLoadIdentity();
    glOrtho(-16, 16, -16, 16, -16, 16);  // window x = 2x + 32, y = 2y + 32, depth = (1 - z / 16) / 2
    // Diffuse light only: the material keeps its diffuse 0.8 and black specular, and loses its ambient.
    const GLfloat black[4] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    for (int light = 0; light < 6; ++light) {
        GLfloat diffuse[4] = {0, 0, 0, 1}, position[4] = {0, 0, 0, 0};
        diffuse[light % 3] = light < 3 ? 0.3125f : 0.125f;  // times 0.8: 0.25 and 0.1
        position[light % 3] = light < 3 ? 1.0f : -1.0f;
        glLightfv(GL_LIGHT0 + light, GL_DIFFUSE, diffuse);
        glLightfv(GL_LIGHT0 + light, GL_POSITION, position);
        glEnable(GL_LIGHT0 + light);
    }
    glEnable(GL_LIGHTING);
    static GLfloat buffer[4096];
    glFeedbackBuffer(std::size(buffer), GL_3D_COLOR_TEXTURE, buffer);
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    GLint count = glRenderMode(GL_RENDER), i = 0;
    std::vector<Polygon> polygons;
    while (i < count && buffer[i] == GL_POLYGON_TOKEN) {
        int n = static_cast<int>(buffer[i + 1]);
        polygons.emplace_back();
        for (const GLfloat* v = buffer + i + 2; v < buffer + i + 2 + 11 * n; v += 11)  // x y depth, rgba, strq
            polygons.back().push_back(
                {v[0] / 2 - 16, v[1] / 2 - 16, 16 * (1 - 2 * v[2]), v[7], v[8], {v[3], v[4], v[5]}});
        i += 2 + 11 * n;
    }
    EXPECT_EQ(i, count) << "only polygons expected";
    return polygons;
}

struct Corner { float s, t, x, y, z; };
// A quad's normal, and its corners counter-clockwise seen from the front.
struct Quad { std::array<float, 3> normal; std::array<Corner, 4> corners; };

// The index 4 * quad + corner of the expected corner a vertex is, or -1.
int cornerOf(const Vertex& v, const std::vector<Quad>& quads)
{
    auto near = [](float a, float b) { return std::fabs(a - b) < 1e-3f; };
    for (size_t i = 0; i < 4 * quads.size(); ++i) {
        const Corner& c = quads[i / 4].corners[i % 4];
        if (near(v.x, c.x) && near(v.y, c.y) && near(v.z, c.z) && near(v.s, c.s) && near(v.t, c.t))
            return static_cast<int>(i);
    }
    return -1;
}

// Checks that a list emits exactly the given quads, corner for corner and lit by each quad's normal: however the
// driver splits a quad, each piece must keep the quad's cyclic vertex order, which is its winding.
void expectQuads(GLuint list, const std::vector<Quad>& quads)
{
    std::set<int> covered;
    for (const Polygon& polygon : captureList(list)) {
        int turns = 0;  // in cyclic order the corner index falls back exactly once around the polygon
        for (size_t k = 0; k < polygon.size(); ++k) {
            int corner = cornerOf(polygon[k], quads), next = cornerOf(polygon[(k + 1) % polygon.size()], quads);
            ASSERT_TRUE(corner >= 0 && corner / 4 == next / 4) << "vertex " << k << " off its polygon's quad";
            covered.insert(corner);
            turns += next < corner;
            for (int axis = 0; axis < 3; ++axis)
                EXPECT_NEAR(polygon[k].rgb[axis], litChannel(quads[corner / 4].normal[axis]), 0.01f)
                    << "normal of quad " << corner / 4 << ", axis " << axis;
        }
        EXPECT_EQ(turns, 1) << "a piece of a quad emitted out of the quad's vertex order";
    }
    EXPECT_EQ(covered.size(), 4 * quads.size()) << "corners missing";
}

// The four walls of a block of height h; zNormal is 1 when the z walls' normals point out of the tile.
std::vector<Quad> wallQuads(float h, float zNormal)
{
    return {
        {{0, 0, -zNormal}, {{{1, 1, -6, h, -6}, {0, 1, 6, h, -6}, {0, 0, 6, 0, -6}, {1, 0, -6, 0, -6}}}},
        {{-1, 0, 0}, {{{0, 1, -6, h, -6}, {0, 0, -6, 0, -6}, {1, 0, -6, 0, 6}, {1, 1, -6, h, 6}}}},
        {{0, 0, zNormal}, {{{0, 1, -6, h, 6}, {0, 0, -6, 0, 6}, {1, 0, 6, 0, 6}, {1, 1, 6, h, 6}}}},
        {{1, 0, 0}, {{{0, 1, 6, h, 6}, {0, 0, 6, 0, 6}, {1, 0, 6, 0, -6}, {1, 1, 6, h, -6}}}},
    };
}

class TileLists : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(openTestContext(64, 64));
        char pattern[] = "/tmp/kestra-tiles-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::current_path(dir);
        testing::internal::CaptureStderr();
        buildTileLists();  // no city.map here: reports it and goes on
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "MAP LOAD ERROR: Map could not be loaded.\n");
    }
    void TearDown() override
    {
        fs::current_path(oldDir);
        fs::remove_all(dir);
        closeTestContext();
    }

    fs::path dir;
    fs::path oldDir = fs::current_path();
};

TEST_F(TileLists, FourConsecutiveStatelessListsThenTheMapIsLoaded)
{
    GLuint base = tileLists.groundList;
    EXPECT_EQ((std::array{tileLists.tallBlockList, tileLists.lowBlockList, tileLists.cliffList}),
              (std::array{base + 1, base + 2, base + 3}));

    // The lists change no state beyond the vertex attributes.
    glBindTexture(GL_TEXTURE_2D, 7);
    glTranslatef(1, 2, 3);
    for (GLuint list = base; list < base + 4; ++list)
        glCallList(list);
    GLfloat matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    EXPECT_EQ(std::vector<float>(matrix + 12, matrix + 15), (std::vector<float>{1, 2, 3}));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 7);
    for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_2D, GL_CULL_FACE, GL_FOG, GL_BLEND, GL_DEPTH_TEST, GL_NORMALIZE})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;

    // With a valid city.map in the working directory, the grid is read at the end of the build.
    static CityMap city;
    city.cells[mapSize * 3 + 4] = 6;
    std::vector<unsigned char> file = encodeCityMap(city);
    std::ofstream("city.map", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    mapCell(3, 4) = 0;
    testing::internal::CaptureStderr();
    buildTileLists();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(mapCell(3, 4), 6u);
}

TEST_F(TileLists, EachListEmitsItsQuadsWithTheirCornersWindingAndNormals)
{
    // The ground's normal has length 2 and is lit as such.
    const Quad ground{{0, 2, 0}, {{{1, 1, -6, 0, 6}, {0, 1, 6, 0, 6}, {0, 0, 6, 0, -6}, {1, 0, -6, 0, -6}}}};
    const std::vector<Quad> expected[4] = {{ground}, wallQuads(12, 1), wallQuads(7, 1), wallQuads(12, -1)};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << "list " << i << " (ground, tall, low, cliff)");
        expectQuads(tileLists.groundList + i, expected[i]);
    }
}

}  // namespace
