// The scene's fixed-function state: one-time set-up of a new context, projection, fog and light.
#include "render/render.h"

#include <GL/glext.h>
#include <GL/glu.h>

#include <cctype>
#include <cstring>

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "text/text.h"

float maxAnisotropy = 0.0f;

static const GLfloat dayFogColour[4] = {0.77f, 0.77f, 0.77f, 1.0f};
static const GLfloat nightFogColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
static const GLfloat dayAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
static const GLfloat lightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
static const GLfloat lightDirection[4] = {-1.0f, 1.0f, 0.0f, 0.0f};  // w 0: directional

static bool containsIgnoringCase(const char* text, const char* word)
{
    size_t length = std::strlen(word);
    for (; *text; ++text) {
        size_t i = 0;
        while (i < length && text[i] &&
               std::tolower(static_cast<unsigned char>(text[i])) == static_cast<unsigned char>(word[i]))
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

bool isSoftwareRasteriser(const char* renderer)
{
    if (!renderer)
        return false;
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"})
        if (containsIgnoringCase(renderer, name))
            return true;
    return false;
}

bool initScene()
{
    if (!buildFont(windowWidth, windowHeight))
        return false;
    if (!loadAllTextures())
        return false;
    buildTileLists();

    glEnable(GL_TEXTURE_2D);
    GLfloat grey = viewSettings.daylight ? 0.8f : 0.0f;
    glClearColor(grey, grey, grey, 0.0f);  // set here only: a day/night switch shows at the next opening
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    // Without the extension the query is rejected and maxAnisotropy keeps its value.
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
    // Applies to the texture still bound from loading, the last sky face. A software rasteriser
    // samples an unmipmapped texture far too slowly above anisotropy 1, so it keeps the default there.
    if (!isSoftwareRasteriser(reinterpret_cast<const char*>(glGetString(GL_RENDERER))))
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, maxAnisotropy);
    return true;
}

void resizeScene(int width, int height)
{
    int h = height == 0 ? 1 : height;
    glViewport(0, 0, width, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    GLfloat aspect = static_cast<GLfloat>(width) / static_cast<GLfloat>(h);
    gluPerspective(static_cast<double>(camera.fieldOfView), static_cast<double>(aspect),
                   static_cast<double>(0.1f), static_cast<double>(viewRadius * 18));
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    if (viewSettings.fogEnabled)
        applyFog();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void applyFog()
{
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_DENSITY, 0.0004f);  // unused in linear mode
    glFogfv(GL_FOG_COLOR, viewSettings.daylight ? dayFogColour : nightFogColour);
    glHint(GL_FOG_HINT, GL_NICEST);
    glFogi(GL_FOG_START, viewRadius * 3);
    glFogi(GL_FOG_END, viewRadius * 9);
    // Enabled even with the fog switch off: the frame drawing decides per frame whether the city gets it.
    glEnable(GL_FOG);
}

void applyLight()
{
    // Night leaves the ambient term as it was, so a context that has seen a day keeps 0.2.
    if (viewSettings.daylight)
        glLightfv(GL_LIGHT0, GL_AMBIENT, dayAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
}
