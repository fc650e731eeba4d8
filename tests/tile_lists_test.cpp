// The four tile display lists against a real Mesa context: geometry, texture coordinates, normals, winding.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "map/map.h"
#include "tests/support/gl_context.h"

namespace fs = std::filesystem;

namespace {

constexpr int side = 64;  // test viewport, pixels

struct Vertex {
    float x, y, z;     // tile-local position
    float s, t;        // texture coordinates
    float r, g, b, a;  // colour, lit when lighting is on
};
using Polygon = std::vector<Vertex>;

// Window coordinates of the orthographic view set by captureList mapped back to tile-local space.
Vertex fromFeedback(const GLfloat* v)
{
    // x, y, z (depth), colour r g b a, texture s t r q
    return {v[0] / 2 - 16, v[1] / 2 - 16, 16 * (1 - 2 * v[2]), v[7], v[8], v[3], v[4], v[5], v[6]};
}

// Runs a list under feedback with an orthographic view of the whole tile and returns every polygon it emits.
std::vector<Polygon> captureList(GLuint list)
{
    static GLfloat buffer[4096];
    glViewport(0, 0, side, side);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-16, 16, -16, 16, -16, 16);  // window x = 2x + 32, y = 2y + 32, depth = (1 - z / 16) / 2
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glFeedbackBuffer(sizeof buffer / sizeof buffer[0], GL_3D_COLOR_TEXTURE, buffer);
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    GLint count = glRenderMode(GL_RENDER);
    std::vector<Polygon> polygons;
    for (GLint i = 0; i < count;) {
        EXPECT_EQ(buffer[i], GL_POLYGON_TOKEN);
        if (buffer[i] != GL_POLYGON_TOKEN)
            break;
        int n = static_cast<int>(buffer[i + 1]);
        i += 2;
        Polygon polygon;
        for (int k = 0; k < n; ++k, i += 11)
            polygon.push_back(fromFeedback(buffer + i));
        polygons.push_back(polygon);
    }
    return polygons;
}

struct Corner {
    float s, t, x, y, z;
};
using Quad = std::array<Corner, 4>;

bool same(const Vertex& v, const Corner& c)
{
    auto near = [](float a, float b) { return std::fabs(a - b) < 1e-3f; };
    return near(v.x, c.x) && near(v.y, c.y) && near(v.z, c.z) && near(v.s, c.s) && near(v.t, c.t);
}

int cornerIndex(const Vertex& v, const Quad& quad)
{
    for (int i = 0; i < 4; ++i)
        if (same(v, quad[i]))
            return i;
    return -1;
}

// Checks that the emitted polygons are exactly the given quads, corner for corner, in the given order of
// corners: however the driver splits a quad, each piece must keep the quad's cyclic vertex order.
void expectQuads(const std::vector<Polygon>& polygons, const std::vector<Quad>& quads)
{
    std::vector<std::array<bool, 4>> covered(quads.size(), {false, false, false, false});
    for (const Polygon& polygon : polygons) {
        size_t q = 0;
        while (q < quads.size() && cornerIndex(polygon[0], quads[q]) < 0)
            ++q;
        ASSERT_LT(q, quads.size()) << "vertex outside every expected quad";
        std::vector<int> indices;
        for (const Vertex& v : polygon)
            indices.push_back(cornerIndex(v, quads[q]));
        int turns = 0;  // cyclic order: the index falls back at most once around the polygon
        for (size_t k = 0; k < indices.size(); ++k) {
            ASSERT_GE(indices[k], 0) << "polygon mixes quads " << q;
            covered[q][indices[k]] = true;
            if (indices[(k + 1) % indices.size()] < indices[k])
                ++turns;
        }
        EXPECT_EQ(turns, 1) << "quad " << q << " emitted out of its vertex order";
    }
    for (size_t q = 0; q < quads.size(); ++q)
        for (int c = 0; c < 4; ++c)
            EXPECT_TRUE(covered[q][c]) << "quad " << q << " corner " << c << " missing";
}

std::vector<Quad> wallQuads(float h)
{
    return {
        Quad{{{1, 1, -6, h, -6}, {0, 1, 6, h, -6}, {0, 0, 6, 0, -6}, {1, 0, -6, 0, -6}}},
        Quad{{{0, 1, -6, h, -6}, {0, 0, -6, 0, -6}, {1, 0, -6, 0, 6}, {1, 1, -6, h, 6}}},
        Quad{{{0, 1, -6, h, 6}, {0, 0, -6, 0, 6}, {1, 0, 6, 0, 6}, {1, 1, 6, h, 6}}},
        Quad{{{0, 1, 6, h, 6}, {0, 0, 6, 0, 6}, {1, 0, 6, 0, -6}, {1, 1, 6, h, -6}}},
    };
}

class TileListsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(openTestContext(side, side));
        char pattern[] = "/tmp/kestra-tiles-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_NE(getcwd(oldDir, sizeof oldDir), nullptr);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        testing::internal::CaptureStderr();
        buildTileLists();  // no city.map here: reports it and goes on
        loadMessage = testing::internal::GetCapturedStderr();
    }
    void TearDown() override
    {
        EXPECT_EQ(chdir(oldDir), 0);
        fs::remove_all(dir);
        closeTestContext();
    }

    fs::path dir;
    char oldDir[4096] = {};
    std::string loadMessage;
};

TEST_F(TileListsTest, FourConsecutiveListsThenTheMapIsLoaded)
{
    EXPECT_EQ(loadMessage, "MAP LOAD ERROR: Map could not be loaded.\n");
    GLuint base = tileLists.groundList;
    ASSERT_NE(base, 0u);
    EXPECT_EQ(tileLists.tallBlockList, base + 1);
    EXPECT_EQ(tileLists.lowBlockList, base + 2);
    EXPECT_EQ(tileLists.cliffList, base + 3);
    for (GLuint list = base; list < base + 4; ++list)
        EXPECT_TRUE(glIsList(list));

    // With a valid city.map in the working directory, the grid is read at the end of the build.
    std::vector<unsigned char> bytes(mapFileBytes, 0);
    std::memcpy(bytes.data(), "KESTRA MAP", 11);
    bytes[11] = 2;
    bytes[15] = 170;
    bytes[19] = 170;
    bytes[mapHeaderBytes + 4 * (170 * 3 + 4)] = 6;
    FILE* file = std::fopen("city.map", "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    testing::internal::CaptureStderr();
    buildTileLists();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(mapCell(3, 4), 6u);
    EXPECT_EQ(mapCell(3, 5), 0u);
}

TEST_F(TileListsTest, GroundIsOneUpFacingQuad)
{
    expectQuads(captureList(tileLists.groundList),
                {Quad{{{1, 1, -6, 0, 6}, {0, 1, 6, 0, 6}, {0, 0, 6, 0, -6}, {1, 0, -6, 0, -6}}}});
}

TEST_F(TileListsTest, BlocksAreFourWallsOfTheirHeight)
{
    {
        SCOPED_TRACE("tall");
        expectQuads(captureList(tileLists.tallBlockList), wallQuads(12));
    }
    {
        SCOPED_TRACE("low");
        expectQuads(captureList(tileLists.lowBlockList), wallQuads(7));
    }
    {
        SCOPED_TRACE("cliff");
        expectQuads(captureList(tileLists.cliffList), wallQuads(12));
    }
}

// Every emitted polygon turns counter-clockwise around the outward direction of its face.
TEST_F(TileListsTest, EveryFaceIsCounterClockwiseFromOutside)
{
    for (GLuint list = tileLists.groundList; list < tileLists.groundList + 4; ++list) {
        for (const Polygon& p : captureList(list)) {
            ASSERT_GE(p.size(), 3u);
            float ux = p[1].x - p[0].x, uy = p[1].y - p[0].y, uz = p[1].z - p[0].z;
            float vx = p[2].x - p[0].x, vy = p[2].y - p[0].y, vz = p[2].z - p[0].z;
            float n[3] = {uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
            // Outward: up for the ground, away from the tile's vertical axis for a wall.
            float cx = 0, cy = 0, cz = 0;
            for (const Vertex& v : p) {
                cx += v.x / p.size();
                cy += v.y / p.size();
                cz += v.z / p.size();
            }
            float outward = list == tileLists.groundList ? n[1] : n[0] * cx + n[2] * cz;
            EXPECT_GT(outward, 0.0f) << "list " << list - tileLists.groundList << " face at (" << cx << ", "
                                     << cy << ", " << cz << ")";
        }
    }
}

// Lights each axis with its own colour channel (diffuse 0.25, no ambient), so a vertex's lit colour gives
// 0.25 times the positive parts of its normal; a second pass with the lights reversed gives the negative parts.
std::vector<std::array<float, 3>> litNormals(GLuint list)
{
    glEnable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    const GLfloat black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    std::vector<std::array<float, 3>> normals;
    for (float sign : {1.0f, -1.0f}) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (int axis = 0; axis < 3; ++axis) {
            GLfloat diffuse[4] = {0, 0, 0, 1}, position[4] = {0, 0, 0, 0};
            diffuse[axis] = 0.25f;
            position[axis] = sign;
            glLightfv(GL_LIGHT0 + axis, GL_AMBIENT, black);
            glLightfv(GL_LIGHT0 + axis, GL_DIFFUSE, diffuse);
            glLightfv(GL_LIGHT0 + axis, GL_SPECULAR, black);
            glLightfv(GL_LIGHT0 + axis, GL_POSITION, position);
            glEnable(GL_LIGHT0 + axis);
        }
        size_t k = 0;
        for (const Polygon& p : captureList(list))
            for (const Vertex& v : p) {
                if (sign > 0)
                    normals.push_back({0, 0, 0});
                std::array<float, 3>& n = normals[k++];
                n[0] += sign * v.r * 4;
                n[1] += sign * v.g * 4;
                n[2] += sign * v.b * 4;
            }
    }
    glDisable(GL_LIGHTING);
    return normals;
}

// The normal of each emitted vertex, paired with the position it belongs to.
void expectNormals(GLuint list, float groundNormalLength, const float (&wallNormals)[4][3])
{
    std::vector<Polygon> polygons = captureList(list);
    std::vector<std::array<float, 3>> normals = litNormals(list);
    size_t k = 0;
    for (const Polygon& p : polygons) {
        float cx = 0, cy = 0, cz = 0;
        for (const Vertex& v : p) {
            cx += v.x;
            cy += v.y;
            cz += v.z;
        }
        const float* expected;
        float ground[3] = {0, groundNormalLength, 0};
        if (std::fabs(cy) < 1e-3f)
            expected = ground;
        else if (cz < 0 && std::fabs(cz) > std::fabs(cx))
            expected = wallNormals[0];
        else if (cx < 0 && std::fabs(cx) > std::fabs(cz))
            expected = wallNormals[1];
        else if (cz > 0 && std::fabs(cz) > std::fabs(cx))
            expected = wallNormals[2];
        else
            expected = wallNormals[3];
        for (size_t i = 0; i < p.size(); ++i, ++k) {
            ASSERT_LT(k, normals.size());
            for (int axis = 0; axis < 3; ++axis)
                EXPECT_NEAR(normals[k][axis], expected[axis], 0.02f)
                    << "axis " << axis << " at (" << cx / p.size() << ", " << cy / p.size() << ", "
                    << cz / p.size() << ")";
        }
    }
}

TEST_F(TileListsTest, NormalsOfGroundBuildingsAndCliff)
{
    const float building[4][3] = {{0, 0, -1}, {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}};
    const float cliff[4][3] = {{0, 0, 1}, {-1, 0, 0}, {0, 0, -1}, {1, 0, 0}};
    {
        SCOPED_TRACE("ground");
        expectNormals(tileLists.groundList, 2, building);
    }
    {
        SCOPED_TRACE("tall");
        expectNormals(tileLists.tallBlockList, 0, building);
    }
    {
        SCOPED_TRACE("low");
        expectNormals(tileLists.lowBlockList, 0, building);
    }
    {
        SCOPED_TRACE("cliff");
        expectNormals(tileLists.cliffList, 0, cliff);
    }
    // The ground's normal is not unit length, and nothing normalises it.
    glCallList(tileLists.groundList);
    GLfloat normal[3];
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_FLOAT_EQ(normal[1], 2.0f);
    EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
}

TEST_F(TileListsTest, ListsChangeNoStateBeyondTheVertexAttributes)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    for (GLuint list = tileLists.groundList; list < tileLists.groundList + 4; ++list)
        glCallList(list);
    GLfloat colour[4], matrix[16];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.25f);
    EXPECT_FLOAT_EQ(colour[2], 0.75f);
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    EXPECT_FLOAT_EQ(matrix[12], 1.0f);
    EXPECT_FLOAT_EQ(matrix[14], 3.0f);
    GLint bound = 0, mode = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), texture);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_2D, GL_CULL_FACE, GL_FOG, GL_BLEND, GL_DEPTH_TEST})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;
}

// Renders a block with back faces culled and reads the centre pixel, looking from eye towards the tile centre.
bool wallSeenFrom(GLuint list, float eyeX, float eyeZ, float lookX, float lookZ)
{
    glViewport(0, 0, side, side);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, 1, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eyeX, 5, eyeZ, lookX, 5, lookZ, 0, 1, 0);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glColor3f(1, 1, 1);
    glCallList(list);
    glDisable(GL_CULL_FACE);
    unsigned char pixel[4] = {};
    glReadPixels(side / 2, side / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return pixel[0] > 128;
}

TEST_F(TileListsTest, WallsShowFromOutsideAndAreCulledFromInside)
{
    for (GLuint list : {tileLists.tallBlockList, tileLists.lowBlockList, tileLists.cliffList}) {
        // Towards each wall: from 20 units outside it, then from the tile centre.
        const float directions[4][2] = {{0, -1}, {-1, 0}, {0, 1}, {1, 0}};
        for (const auto& d : directions) {
            SCOPED_TRACE(testing::Message() << "list " << list - tileLists.groundList << " wall " << d[0] << ","
                                            << d[1]);
            EXPECT_TRUE(wallSeenFrom(list, 20 * d[0], 20 * d[1], 0, 0));
            EXPECT_FALSE(wallSeenFrom(list, 0, 0, 20 * d[0], 20 * d[1]));
        }
    }
}

}  // namespace
