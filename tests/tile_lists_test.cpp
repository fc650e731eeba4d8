// The four tile display lists against a real Mesa context: geometry, texture coordinates, normals, winding.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "map/map.h"
#include "tests/support/text_fixture.h"

using Vertex = std::array<float, 8>;  // tile-local x y z, texture s t, lit colour r g b

// Rounded to 1/64, so that lit colours compare exactly.
static Vertex vertex(float x, float y, float z, float s, float t, float r, float g, float b)
{
    Vertex v = {x, y, z, s, t, r, g, b};
    for (float& f : v)
        f = std::round(f * 64) / 64;
    return v;
}

// Runs a list lit, under feedback, with an orthographic view of the whole tile; returns the vertices of every
// polygon emitted, in order.
// Each axis of the normal lights its own channel, 0.25 a unit from the positive side and 0.1 from the negative
// one, so both its sign and its length show.
static std::vector<Vertex> captureList(GLuint list)
{
    glMatrixMode(GL_PROJECTION);  // the modelview stays the identity, the viewport 64 x 64
    glLoadIdentity();
    glOrtho(-16, 16, -16, 16, -16, 16);  // window x = 2x + 32, y = 2y + 32, depth = (1 - z / 16) / 2
    // The material's diffuse 0.8 under each light; its ambient 0.2 under the scene's 0.2 adds 0.04.
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
    std::vector<Vertex> vertices;
    while (i < count && buffer[i] == GL_POLYGON_TOKEN) {
        int n = static_cast<int>(buffer[i + 1]);
        for (const GLfloat* v = buffer + i + 2; v < buffer + i + 2 + 11 * n; v += 11)  // x y depth, rgba, strq
            vertices.push_back(vertex(v[0] / 2 - 16, v[1] / 2 - 16, 16 * (1 - 2 * v[2]), v[7], v[8], v[3], v[4], v[5]));
        i += 2 + 11 * n;
    }
    EXPECT_EQ(i, count) << "only polygons expected";
    return vertices;
}

// A quad's normal, and its corners counter-clockwise seen from the front.
struct Quad { std::array<float, 3> normal; std::array<Corner, 4> corners; };

// What feedback reports for the quads, lit by their normals: llvmpipe splits quad 0 1 2 3 into the triangles
// 0 1 3 and 1 2 3, which keep its winding.
static std::vector<Vertex> expectedVertices(const std::vector<Quad>& quads)
{
    auto lit = [](float n) { return 0.04f + (n > 0 ? 0.25f * n : -0.1f * n); };
    std::vector<Vertex> vertices;
    for (const Quad& q : quads)
        for (size_t k : {0, 1, 3, 1, 2, 3}) {
            const Corner& c = q.corners[k];
            vertices.push_back(vertex(c.x, c.y, c.z, c.s, c.t, lit(q.normal[0]), lit(q.normal[1]), lit(q.normal[2])));
        }
    return vertices;
}

// The walls of a tile kind at its height.
static std::vector<Quad> wallQuads(TileType type)
{
    const TileKind& kind = tileKind(type);
    std::vector<Quad> quads;
    for (int w = 0; w < 4; ++w) {
        Quad q{{(*kind.normals)[w][0], (*kind.normals)[w][1], (*kind.normals)[w][2]}, {}};
        for (int k = 0; k < 4; ++k) {
            q.corners[k] = wallCorners[w][k];
            q.corners[k].y *= kind.wallHeight;
        }
        quads.push_back(q);
    }
    return quads;
}

using Vec = std::array<double, 3>;
static Vec minus(const Corner& a, const Corner& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
static Vec cross(const Vec& a, const Vec& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
static double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Seen from outside, every wall faces out (counter-clockwise), stands on the tile's edge from the ground to
// the top, and shows the image once upright: s from 0 at its left edge to 1 at its right, t = height.
// Building normals point out of the tile; the cliff's x walls too, its z walls into it. The ground faces up.
TEST(TileShapes, WallsFaceOutWithTheirImageUprightAndTheCliffsZNormalsReversed)
{
    for (int w = 0; w < 4; ++w) {
        const Corner* c = wallCorners[w];
        const Vec out = {std::abs(c[0].x) == 6 && c[0].x == c[2].x ? c[0].x / 6 : 0.0, 0,
                         std::abs(c[0].z) == 6 && c[0].z == c[2].z ? c[0].z / 6 : 0.0};
        EXPECT_EQ(std::abs(out[0]) + std::abs(out[2]), 1) << "wall " << w << " lies on one edge";
        const Vec right = cross({-out[0], 0, -out[2]}, {0, 1, 0});
        for (int k = 0; k < 4; ++k) {
            const Corner &a = c[k], &b = c[(k + 1) % 4], &d = c[(k + 2) % 4];
            EXPECT_GT(dot(cross(minus(b, a), minus(d, b)), out), 0) << "wall " << w << " corner " << k;
            EXPECT_EQ(a.t, a.y) << "wall " << w << " corner " << k;
            EXPECT_EQ(a.s, (dot(minus(a, Corner{}), right) + 6) / 12) << "wall " << w << " corner " << k;
        }
        for (int n = 0; n < 3; ++n) {
            EXPECT_EQ(buildingNormals[w][n], out[n]) << "wall " << w;
            EXPECT_EQ(cliffNormals[w][n], out[n] * (out[2] != 0 ? -1 : 1)) << "wall " << w;
        }
    }
    for (int k = 0; k < 4; ++k) {
        const Corner &a = groundCorners[k], &b = groundCorners[(k + 1) % 4], &d = groundCorners[(k + 2) % 4];
        EXPECT_GT(cross(minus(b, a), minus(d, b))[1], 0) << "ground corner " << k;
    }
    // A block stops the camera up to 2 units above its walls, and has a top; flat tiles do neither.
    for (TileType type = 0; type <= lastTileType + 1; ++type) {
        const TileKind& kind = tileKind(type);
        EXPECT_EQ(kind.blockingHeight, kind.wallHeight > 0 ? kind.wallHeight + 2 : 0) << "type " << type;
        EXPECT_EQ(kind.topSlot >= 0, kind.wallHeight > 0) << "type " << type;
    }
}

using TileGeometry = TextTest;  // a context, in a fresh folder

TEST_F(TileGeometry, BuildsFourConsecutiveStatelessListsOfTheirQuadsThenLoadsTheMap)
{
    glViewport(0, 0, 64, 64);
    testing::internal::CaptureStderr();
    buildTileLists();  // no city.map here: reports it and goes on
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "MAP LOAD ERROR: Map could not be loaded.\n");
    const GLuint base = tileLists.groundList;  // the others follow it
    EXPECT_EQ((std::array{tileLists.tallBlockList, tileLists.lowBlockList, tileLists.cliffList}),
              (std::array{base + 1, base + 2, base + 3}));

    // Ground, tall block, low block, cliff: the shapes of types 0, 1, 2 and 6, at their wall heights.
    const Quad ground{{groundNormal[0], groundNormal[1], groundNormal[2]},
                      {groundCorners[0], groundCorners[1], groundCorners[2], groundCorners[3]}};
    const std::vector<Quad> expected[4] = {{ground}, wallQuads(1), wallQuads(2), wallQuads(6)};
    for (GLuint i = 0; i < 4; ++i)
        EXPECT_EQ(captureList(base + i), expectedVertices(expected[i])) << "list " << i;
}

