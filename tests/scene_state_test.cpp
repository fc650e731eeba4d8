// The scene's OpenGL state against a real Mesa context: projection, fog, light, initScene and anisotropy.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "render/render.h"
#include "tests/support/gl_context.h"

namespace {

using Floats = std::vector<GLfloat>;

// The first count values of a state variable, or of a parameter of light when one is given.
Floats floats(GLenum name, int count = 1, GLenum light = 0)
{
    GLfloat values[16] = {};
    light ? glGetLightfv(light, name, values) : glGetFloatv(name, values);
    return {values, values + count};
}

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// Each test gets a fresh context, in the folder of the scene's files.
class SceneState : public testing::Test {
protected:
    void SetUp() override
    {
        viewSettings = ViewSettings{};
        camera = CameraState{};
        ASSERT_EQ(chdir(KESTRA_RUN_DIR), 0);
        ASSERT_TRUE(openTestContext(64, 64));
    }
    void TearDown() override { closeTestContext(); }
};

TEST_F(SceneState, ResizeSetsViewportProjectionCullingAndLinearFogOnlyWhileSwitchedOn)
{
    camera.fieldOfView = 75;
    resizeScene(1366, 0);  // a zero height counts as 1
    EXPECT_EQ(floats(GL_VIEWPORT, 4), (Floats{0, 0, 1366, 1}));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE) && integer(GL_CULL_FACE_MODE) == GL_BACK);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);  // the frame draws in whatever mode is left current
    // The camera's field of view at the window's shape, from 0.1 to 540.
    const Floats p = floats(GL_PROJECTION_MATRIX, 16);
    EXPECT_FLOAT_EQ(p[5], static_cast<float>(1 / std::tan(75 * M_PI / 360)));
    EXPECT_FLOAT_EQ(p[0] * 1366, p[5]);
    EXPECT_FLOAT_EQ(p[14], static_cast<float>(-2 * 540 * 0.1 / (540 - 0.1)));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(integer(GL_FOG_MODE), GL_LINEAR);
    EXPECT_EQ((Floats{floats(GL_FOG_START)[0], floats(GL_FOG_END)[0]}), (Floats{90, 270}));

    glDisable(GL_FOG);
    viewSettings.fogEnabled = 0;
    resizeScene(64, 64);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    viewSettings.daylight = 0;
    applyFog();  // as the day and fog switches do: enabled even while switched off
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(floats(GL_FOG_COLOR, 4), (Floats{0, 0, 0, 1}));
}

// A context opened at night: black clear colour (set here only, so a day context keeps its grey at night)
// and, until a day has passed, black ambient light.
TEST_F(SceneState, InitSceneSetsTheGlobalStateAndANightContextGetsBlackClearColourAndAmbient)
{
    viewSettings.daylight = 0;
    ASSERT_TRUE(initScene());
    for (GLenum cap : {GL_TEXTURE_2D, GL_DEPTH_TEST, GL_COLOR_MATERIAL})
        EXPECT_TRUE(glIsEnabled(cap)) << cap;
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (Floats{0, 0, 0, 0}));

    // The driver's maximum anisotropy for the texture left bound, except on a software rasteriser (llvmpipe,
    // softpipe), which samples an unmipmapped texture far too slowly above 1.
    EXPECT_EQ(maxAnisotropy, floats(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT)[0]);
    ASSERT_NE(integer(GL_TEXTURE_BINDING_2D), 0);
    GLfloat anisotropy = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    EXPECT_EQ(anisotropy, renderer.find("pipe") != std::string::npos ? 1.0f : maxAnisotropy);

    applyLight();
    EXPECT_EQ(floats(GL_AMBIENT, 4, GL_LIGHT0), (Floats{0, 0, 0, 1}));
    // Directional, from above and -x: the x = -6 walls take the light, the x = 6 walls only ambient.
    EXPECT_EQ(floats(GL_POSITION, 4, GL_LIGHT0), (Floats{-1, 1, 0, 0}));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0) && glIsEnabled(GL_LIGHTING));
    viewSettings.daylight = 1;  // back at night after a day, the ambient stays
    applyLight();
    viewSettings.daylight = 0;
    applyLight();
    EXPECT_EQ(floats(GL_AMBIENT, 4, GL_LIGHT0), (Floats{0.2f, 0.2f, 0.2f, 1}));
}

}  // namespace
