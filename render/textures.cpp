// The texture table and its loader: 31 BMP images, one OpenGL texture each, in slot order.
#include "platform/platform.h"
#include "render/render.h"

#include <GL/glext.h>

#include <string>

TextureTable textureTable{};

// One file per slot; slots 0..22 follow the tile types, then cliff top, roof and the six sky faces.
// The asset build reads its list of generated files from here: one quoted "Data/..." name each.
const char* const textureFiles[] = {
    "Data/Grass.bmp",        "Data/BuildingFront.bmp", "Data/BuildingSide2.bmp", "Data/BuildingSide3.bmp",
    "Data/Building2.bmp",    "Data/francehousered3.bmp", "Data/cliff1.bmp",      "Data/Road.bmp",
    "Data/RoadE.bmp",        "Data/RoadS.bmp",          "Data/RoadSE.bmp",       "Data/RoadW.bmp",
    "Data/RoadEW.bmp",       "Data/RoadSW.bmp",         "Data/RoadSEW.bmp",      "Data/RoadN.bmp",
    "Data/RoadNE.bmp",       "Data/RoadNS.bmp",         "Data/RoadNSE.bmp",      "Data/RoadNW.bmp",
    "Data/RoadNEW.bmp",      "Data/RoadNSW.bmp",        "Data/RoadNSEW.bmp",     "Data/cliff1-top.bmp",
    "Data/Rooftop.bmp",      "Data/sky_0.bmp",          "Data/sky_1.bmp",        "Data/sky_2.bmp",
    "Data/sky_3.bmp",        "Data/sky_4.bmp",          "Data/sky_5.bmp",
};

bool loadBmpTexture(const char* path, GLuint& slot)
{
    // The name comes first so that a failed slot still holds a fresh name.
    glGenTextures(1, &slot);
    Bitmap bitmap;
    if (!loadBitmap(path, &bitmap))
        return false;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, slot);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, bitmap.width, bitmap.height, 0, GL_BGR_EXT, GL_UNSIGNED_BYTE,
                 bitmap.bits.data());
    return true;
}

bool loadAllTextures()
{
    for (size_t slot = 0; slot < textureTable.size(); ++slot) {
        if (!loadBmpTexture(textureFiles[slot], textureTable[slot])) {
            std::string message = std::string("Error loading ") + textureFiles[slot] + ".";
            messageBox(message.c_str(), "MAP LOAD ERROR", MessageIcon::information);
            return false;
        }
    }
    return true;
}
