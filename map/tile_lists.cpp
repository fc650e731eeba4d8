// The four tile shapes, compiled once per context into display lists shared by every tile of a kind.
#include "map/map.h"

TileLists tileLists;
std::string cityMapPath = "city.map";

static void compileGround(GLuint list)
{
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3fv(groundNormal);
    for (const Corner& c : groundCorners) {
        glTexCoord2f(c.s, c.t);
        glVertex3f(c.x, c.y, c.z);
    }
    glEnd();
    glEndList();
}

// Four open walls of the shape's blocks, without top or bottom.
static void compileBlock(GLuint list, TileShape shape)
{
    const TileKind* kind = tileKinds;
    while (kind->shape != shape)
        ++kind;
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    for (int wall = 0; wall < 4; ++wall) {
        glNormal3fv((*kind->normals)[wall]);
        for (const Corner& c : wallCorners[wall]) {
            glTexCoord2f(c.s, c.t);
            glVertex3f(c.x, c.y * kind->wallHeight, c.z);
        }
    }
    glEnd();
    glEndList();
}

GLuint tileList(TileShape shape)
{
    switch (shape) {
    case TileShape::tallBlock: return tileLists.tallBlockList;
    case TileShape::lowBlock: return tileLists.lowBlockList;
    case TileShape::cliff: return tileLists.cliffList;
    default: return tileLists.groundList;
    }
}

void buildTileLists()
{
    GLuint base = glGenLists(4);
    tileLists.groundList = base;
    tileLists.tallBlockList = base + 1;
    tileLists.lowBlockList = base + 2;
    tileLists.cliffList = base + 3;
    compileGround(tileLists.groundList);
    compileBlock(tileLists.tallBlockList, TileShape::tallBlock);
    compileBlock(tileLists.lowBlockList, TileShape::lowBlock);
    compileBlock(tileLists.cliffList, TileShape::cliff);
    loadCityMap(cityMapPath.c_str());
}
