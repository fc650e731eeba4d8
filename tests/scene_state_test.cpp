// The scene's OpenGL state against a real Mesa context: projection, fog, light, initScene and anisotropy.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"
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

TEST_F(SceneState, ResizeSetsViewportProjectionCullingAndFogOnlyWhileSwitchedOn)
{
    // A zero height counts as 1; the aspect is a single-precision quotient; the field of view is the camera's.
    glTranslatef(1, 2, 3);  // left in the modelview; later the projection is left current
    for (auto [fieldOfView, width, height, viewportHeight, aspect, fog] :
         {std::tuple{60, 800, 0, 1, 800.0, 0}, {75, 1366, 768, 768, static_cast<double>(1366.0f / 768.0f), 1}}) {
        SCOPED_TRACE(width);
        camera.fieldOfView = fieldOfView;
        viewSettings.fogEnabled = static_cast<unsigned char>(fog);
        resizeScene(width, height);
        EXPECT_EQ(floats(GL_VIEWPORT, 4), (Floats{0, 0, float(width), float(viewportHeight)}));
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE) && integer(GL_CULL_FACE_MODE) == GL_BACK);
        EXPECT_EQ(glIsEnabled(GL_FOG), fog);
        EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
        EXPECT_EQ(floats(GL_MODELVIEW_MATRIX, 16), (Floats{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
        const Floats projection = floats(GL_PROJECTION_MATRIX, 16);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(fieldOfView, aspect, static_cast<double>(0.1f), 540.0);
        const Floats expected = floats(GL_PROJECTION_MATRIX, 16);
        for (int i = 0; i < 16; ++i)
            EXPECT_FLOAT_EQ(projection[i], expected[i]) << "element " << i;
    }
}

TEST_F(SceneState, FogIsLinearFromThreeToNineRadiiAndEnabledEvenWhileSwitchedOff)
{
    viewSettings.fogEnabled = 0;
    applyFog();
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(integer(GL_FOG_MODE), GL_LINEAR);
    EXPECT_EQ((Floats{floats(GL_FOG_START)[0], floats(GL_FOG_END)[0]}), (Floats{90, 270}));
    EXPECT_EQ(floats(GL_FOG_COLOR, 4), (Floats{0.77f, 0.77f, 0.77f, 1}));
    viewSettings.daylight = 0;
    applyFog();
    EXPECT_EQ(floats(GL_FOG_COLOR, 4), (Floats{0, 0, 0, 1}));
}

TEST_F(SceneState, InitSceneSetsTheGlobalStateAndTheAnisotropyOfTheTextureLeftBound)
{
    ASSERT_TRUE(initScene());
    for (GLenum cap : {GL_TEXTURE_2D, GL_DEPTH_TEST, GL_COLOR_MATERIAL})
        EXPECT_TRUE(glIsEnabled(cap)) << cap;
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (Floats{0.8f, 0.8f, 0.8f, 0}));

    // The driver's maximum, except on a software rasteriser, which samples an unmipmapped texture far too
    // slowly above 1.
    EXPECT_EQ(maxAnisotropy, floats(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT)[0]);
    ASSERT_NE(integer(GL_TEXTURE_BINDING_2D), 0);
    GLfloat anisotropy = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    const auto renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    EXPECT_EQ(anisotropy, isSoftwareRasteriser(renderer) ? 1.0f : maxAnisotropy);
}

// A context opened at night: black clear colour and, until a day has passed, black ambient light.
TEST_F(SceneState, NightKeepsTheClearColourAndAmbientWhileDaySetsOnlyTheAmbient)
{
    viewSettings.daylight = 0;
    ASSERT_TRUE(initScene());
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (Floats{0, 0, 0, 0}));
    applyLight();
    EXPECT_EQ(floats(GL_AMBIENT, 4, GL_LIGHT0), (Floats{0, 0, 0, 1}));
    EXPECT_EQ(floats(GL_POSITION, 4, GL_LIGHT0), (Floats{-1, 1, 0, 0}));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0) && glIsEnabled(GL_LIGHTING));

    // Switching to day re-applies fog and light, not the clear colour; back at night the ambient stays.
    viewSettings.daylight = 1;
    applyFog();
    applyLight();
    viewSettings.daylight = 0;
    applyLight();
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (Floats{0, 0, 0, 0}));
    EXPECT_EQ(floats(GL_AMBIENT, 4, GL_LIGHT0), (Floats{0.2f, 0.2f, 0.2f, 1}));
}

TEST(SoftwareRasteriser, RecognisedByRendererName)
{
    for (const char* name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Mesa DRI swrast", "Software Rasterizer"})
        EXPECT_TRUE(isSoftwareRasteriser(name)) << name;
    for (const char* name : {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "llvm", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(isSoftwareRasteriser(name)) << name;
}

}  // namespace
