// The scene's OpenGL state against a real Mesa context: projection, fog, light, initScene and anisotropy.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"
#include "render/render.h"
#include "tests/support/gl_context.h"

namespace fs = std::filesystem;

namespace {

using Floats = std::vector<GLfloat>;
using Ints = std::vector<GLint>;

// The first count values of a state variable, or of a parameter of light when one is given.
Floats floats(GLenum name, int count = 1, GLenum light = 0)
{
    GLfloat values[16] = {};
    light ? glGetLightfv(light, name, values) : glGetFloatv(name, values);
    return {values, values + count};
}
Ints ints(GLenum name, int count = 1)
{
    GLint values[16] = {};
    glGetIntegerv(name, values);
    return {values, values + count};
}

// Each test gets a fresh context in a working directory holding every texture the scene loads, and no map.
class SceneState : public testing::Test {
protected:
    void SetUp() override
    {
        viewSettings = ViewSettings{};
        camera = CameraState{};
        ASSERT_TRUE(openTestContext(64, 64));
        char pattern[] = "/tmp/kestra-scene-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directory(dir / "Data");
        const Bitmap grey{4, 4, std::vector<uint8_t>(48, 0x80)};  // serves for every texture
        for (const char* name : {"Grass", "BuildingFront", "BuildingSide2", "BuildingSide3", "Building2",
                                 "francehousered3", "cliff1", "Road", "RoadE", "RoadS", "RoadSE", "RoadW", "RoadEW",
                                 "RoadSW", "RoadSEW", "RoadN", "RoadNE", "RoadNS", "RoadNSE", "RoadNW", "RoadNEW",
                                 "RoadNSW", "RoadNSEW", "cliff1-top", "Rooftop", "sky_0", "sky_1", "sky_2", "sky_3",
                                 "sky_4", "sky_5"})
            ASSERT_TRUE(saveBitmap((dir / "Data" / (std::string(name) + ".bmp")).c_str(), grey));
        fs::current_path(dir);
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
        EXPECT_EQ(ints(GL_VIEWPORT, 4), (Ints{0, 0, width, viewportHeight}));
        EXPECT_EQ(ints(GL_CULL_FACE_MODE)[0], GL_BACK);
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
        EXPECT_EQ(glIsEnabled(GL_FOG), fog);
        EXPECT_EQ(ints(GL_MATRIX_MODE)[0], GL_MODELVIEW);
        EXPECT_EQ(floats(GL_MODELVIEW_MATRIX, 16), (Floats{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
        Floats projection = floats(GL_PROJECTION_MATRIX, 16);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(fieldOfView, aspect, static_cast<double>(0.1f), 540.0);
        Floats expected = floats(GL_PROJECTION_MATRIX, 16);
        for (int i = 0; i < 16; ++i)
            EXPECT_FLOAT_EQ(projection[i], expected[i]) << "element " << i;
    }
}

TEST_F(SceneState, FogIsLinearAndTheTogglesEnableItEvenWhileSwitchedOff)
{
    viewSettings.fogEnabled = 0;
    applyFog();
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(ints(GL_FOG_MODE)[0], GL_LINEAR);
    EXPECT_EQ(ints(GL_FOG_HINT)[0], GL_NICEST);
    EXPECT_EQ((Floats{floats(GL_FOG_START)[0], floats(GL_FOG_END)[0], floats(GL_FOG_DENSITY)[0]}),
              (Floats{90, 270, 0.0004f}));
    EXPECT_EQ(floats(GL_FOG_COLOR, 4), (Floats{0.77f, 0.77f, 0.77f, 1}));
    viewSettings.daylight = 0;
    applyFog();
    EXPECT_EQ(floats(GL_FOG_COLOR, 4), (Floats{0, 0, 0, 1}));
}

TEST_F(SceneState, InitSceneSetsTheGlobalStateAndSurvivesAMissingMap)
{
    testing::internal::CaptureStderr();
    bool ok = initScene();
    std::string shown = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ok);
    EXPECT_NE(shown.find("MAP LOAD ERROR: Map could not be loaded.\n"), std::string::npos) << shown;
    for (GLenum cap : {GL_TEXTURE_2D, GL_DEPTH_TEST, GL_COLOR_MATERIAL})
        EXPECT_TRUE(glIsEnabled(cap)) << cap;
    // Fog comes from resizeScene and the light from the frame; normals stay as the lists give them.
    for (GLenum cap : {GL_FOG, GL_LIGHTING, GL_NORMALIZE, GL_RESCALE_NORMAL})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;
    EXPECT_EQ(ints(GL_DEPTH_FUNC)[0], GL_LEQUAL);
    EXPECT_EQ(ints(GL_PERSPECTIVE_CORRECTION_HINT)[0], GL_NICEST);
    // The colour material keeps its default: ambient and diffuse of both faces follow the colour.
    EXPECT_EQ((Ints{ints(GL_COLOR_MATERIAL_FACE)[0], ints(GL_COLOR_MATERIAL_PARAMETER)[0]}),
              (Ints{GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE}));
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (Floats{0.8f, 0.8f, 0.8f, 0}));

    // The texture left bound gets the driver's maximum anisotropy, except on a software rasteriser, which
    // samples an unmipmapped texture far too slowly above 1.
    EXPECT_EQ(maxAnisotropy, floats(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT)[0]);
    ASSERT_NE(ints(GL_TEXTURE_BINDING_2D)[0], 0);
    GLfloat anisotropy = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    EXPECT_EQ(anisotropy, renderer.find("pipe") != std::string::npos ? 1.0f : maxAnisotropy);
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
    resizeScene(64, 64);
    viewSettings.daylight = 0;
    applyLight();
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (Floats{0, 0, 0, 0}));
    EXPECT_EQ(floats(GL_AMBIENT, 4, GL_LIGHT0), (Floats{0.2f, 0.2f, 0.2f, 1}));

    // The direction is taken in the modelview matrix current at the call.
    glRotatef(90, 0, 1, 0);
    applyLight();
    Floats position = floats(GL_POSITION, 4, GL_LIGHT0);
    EXPECT_NEAR(position[0], 0.0f, 1e-6f);
    EXPECT_EQ(Floats(position.begin() + 1, position.end()), (Floats{1, 1, 0}));
}

TEST(SoftwareRasteriser, RecognisedByRendererName)
{
    for (const char* name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Mesa DRI swrast", "Software Rasterizer"})
        EXPECT_TRUE(isSoftwareRasteriser(name)) << name;
    for (const char* name : {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "llvm", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(isSoftwareRasteriser(name)) << (name ? name : "null");
}

}  // namespace
