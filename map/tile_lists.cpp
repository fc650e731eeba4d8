// The four tile shapes, compiled once per context into display lists shared by every tile of a kind.
#include "map/map.h"

TileLists tileLists;
std::string cityMapPath = "city.map";

namespace {
struct Corner {
    GLfloat s, t;     // texture coordinates
    GLfloat x, y, z;  // tile-local position; y is scaled by the wall height for walls
};
}  // namespace

// Each wall counter-clockwise seen from outside, s left to right, t from the ground (y 0) to the top (y 1).
static constexpr Corner wallCorners[4][4] = {
    {{1, 1, -6, 1, -6}, {0, 1, 6, 1, -6}, {0, 0, 6, 0, -6}, {1, 0, -6, 0, -6}},  // z = -6
    {{0, 1, -6, 1, -6}, {0, 0, -6, 0, -6}, {1, 0, -6, 0, 6}, {1, 1, -6, 1, 6}},  // x = -6
    {{0, 1, -6, 1, 6}, {0, 0, -6, 0, 6}, {1, 0, 6, 0, 6}, {1, 1, 6, 1, 6}},      // z = 6
    {{0, 1, 6, 1, 6}, {0, 0, 6, 0, 6}, {1, 0, 6, 0, -6}, {1, 1, 6, 1, -6}},      // x = 6
};

static constexpr GLfloat buildingNormals[4][3] = {{0, 0, -1}, {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}};
// The cliff's z walls carry normals pointing into the tile, so they light as if facing the other way.
static constexpr GLfloat cliffNormals[4][3] = {{0, 0, 1}, {-1, 0, 0}, {0, 0, -1}, {1, 0, 0}};

static void compileGround(GLuint list)
{
    // Faces up (counter-clockwise from above); the normal's length of 2 doubles its diffuse light.
    static constexpr Corner corners[4] = {
        {1, 1, -6, 0, 6}, {0, 1, 6, 0, 6}, {0, 0, 6, 0, -6}, {1, 0, -6, 0, -6}};
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 2.0f, 0.0f);
    for (const Corner& c : corners) {
        glTexCoord2f(c.s, c.t);
        glVertex3f(c.x, c.y, c.z);
    }
    glEnd();
    glEndList();
}

// Four open walls of a block `height` units tall, without top or bottom.
static void compileBlock(GLuint list, GLfloat height, const GLfloat (&normals)[4][3])
{
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    for (int wall = 0; wall < 4; ++wall) {
        glNormal3fv(normals[wall]);
        for (const Corner& c : wallCorners[wall]) {
            glTexCoord2f(c.s, c.t);
            glVertex3f(c.x, c.y * height, c.z);
        }
    }
    glEnd();
    glEndList();
}

void buildTileLists()
{
    GLuint base = glGenLists(4);
    tileLists.groundList = base;
    tileLists.tallBlockList = base + 1;
    tileLists.lowBlockList = base + 2;
    tileLists.cliffList = base + 3;
    compileGround(tileLists.groundList);
    compileBlock(tileLists.tallBlockList, 12.0f, buildingNormals);
    compileBlock(tileLists.lowBlockList, 7.0f, buildingNormals);
    compileBlock(tileLists.cliffList, 12.0f, cliffNormals);
    loadCityMap(cityMapPath.c_str());
}
