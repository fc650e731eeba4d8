// The scene's OpenGL state against a real Mesa context: projection, fog, light, initScene and anisotropy.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "render/render.h"
#include "tests/support/gl_context.h"

namespace fs = std::filesystem;

namespace {

// A 4 x 4 grey 24-bit BMP, enough for any texture slot.
void writeBmp(const fs::path& path)
{
    unsigned char file[54 + 48] = {'B', 'M'};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(2, sizeof file);
    put32(10, 54);
    put32(14, 40);
    put32(18, 4);
    put32(22, 4);
    file[26] = 1;
    file[28] = 24;
    put32(34, 48);
    std::memset(file + 54, 0x80, 48);
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file, 1, sizeof file, out);
    std::fclose(out);
}

void expectFloats(const GLfloat* actual, std::initializer_list<float> expected)
{
    int i = 0;
    for (float e : expected) {
        EXPECT_FLOAT_EQ(actual[i], e) << "component " << i;
        ++i;
    }
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
        for (const char* name :
             {"Grass", "BuildingFront", "BuildingSide2", "BuildingSide3", "Building2", "francehousered3", "cliff1",
              "Road", "RoadE", "RoadS", "RoadSE", "RoadW", "RoadEW", "RoadSW", "RoadSEW", "RoadN", "RoadNE",
              "RoadNS", "RoadNSE", "RoadNW", "RoadNEW", "RoadNSW", "RoadNSEW", "cliff1-top", "Rooftop", "sky_0",
              "sky_1", "sky_2", "sky_3", "sky_4", "sky_5"})
            writeBmp(dir / "Data" / (std::string(name) + ".bmp"));
        ASSERT_NE(getcwd(oldDir, sizeof oldDir), nullptr);
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(chdir(oldDir), 0);
        fs::remove_all(dir);
        closeTestContext();
        viewSettings = ViewSettings{};
        camera = CameraState{};
    }

    // Runs initScene and returns its result; stderr goes to shown.
    bool init()
    {
        testing::internal::CaptureStderr();
        bool ok = initScene();
        shown = testing::internal::GetCapturedStderr();
        return ok;
    }

    fs::path dir;
    char oldDir[4096] = {};
    std::string shown;
};

TEST_F(SceneState, ResizeSetsViewportPerspectiveAndCulling)
{
    resizeScene(800, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 1);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat modelview[16], projection[16], expected[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    expectFloats(modelview, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 800.0, static_cast<double>(0.1f), 540.0);
    glGetFloatv(GL_PROJECTION_MATRIX, expected);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(projection[i], expected[i]) << "element " << i;

    GLint polygonMode[2];
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    EXPECT_EQ(polygonMode[0], GL_FILL);
    EXPECT_EQ(polygonMode[1], GL_FILL);
    GLint cullFace = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &cullFace);
    EXPECT_EQ(cullFace, GL_BACK);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(SceneState, ProjectionFollowsTheCameraFieldOfViewAndSinglePrecisionAspect)
{
    camera.fieldOfView = 75;
    resizeScene(1366, 768);
    GLfloat projection[16], expected[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(75.0, static_cast<double>(1366.0f / 768.0f), static_cast<double>(0.1f), 540.0);
    glGetFloatv(GL_PROJECTION_MATRIX, expected);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(projection[i], expected[i]) << "element " << i;
}

TEST_F(SceneState, ResizeSetsLinearFogOnlyWhileFogIsSwitchedOn)
{
    viewSettings.fogEnabled = 0;
    resizeScene(640, 480);
    EXPECT_FALSE(glIsEnabled(GL_FOG));

    viewSettings.fogEnabled = 1;
    resizeScene(640, 480);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    GLint fogMode = 0, hint = 0;
    glGetIntegerv(GL_FOG_MODE, &fogMode);
    EXPECT_EQ(fogMode, GL_LINEAR);
    glGetIntegerv(GL_FOG_HINT, &hint);
    EXPECT_EQ(hint, GL_NICEST);
    GLfloat start = 0, end = 0, density = 0, colour[4];
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    glGetFloatv(GL_FOG_DENSITY, &density);
    EXPECT_FLOAT_EQ(start, 90.0f);
    EXPECT_FLOAT_EQ(end, 270.0f);
    EXPECT_FLOAT_EQ(density, 0.0004f);
    glGetFloatv(GL_FOG_COLOR, colour);
    expectFloats(colour, {0.77f, 0.77f, 0.77f, 1.0f});
}

TEST_F(SceneState, FogToggleEnablesFogEvenWhenSwitchedOffAndNightMakesItBlack)
{
    viewSettings.fogEnabled = 0;
    viewSettings.daylight = 0;
    applyFog();
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    GLfloat colour[4];
    glGetFloatv(GL_FOG_COLOR, colour);
    expectFloats(colour, {0.0f, 0.0f, 0.0f, 1.0f});
    viewSettings.daylight = 1;
    applyFog();
    glGetFloatv(GL_FOG_COLOR, colour);
    expectFloats(colour, {0.77f, 0.77f, 0.77f, 1.0f});
}

TEST_F(SceneState, DaylightSetsAmbientDiffuseAndDirectionAndEnablesLighting)
{
    applyLight();
    GLfloat value[4];
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, value);
    expectFloats(value, {0.2f, 0.2f, 0.2f, 1.0f});
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, value);
    expectFloats(value, {1.0f, 1.0f, 1.0f, 1.0f});
    glGetLightfv(GL_LIGHT0, GL_POSITION, value);
    expectFloats(value, {-1.0f, 1.0f, 0.0f, 0.0f});
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));

    // The direction is taken in the modelview matrix current at the call.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(90, 0, 1, 0);
    applyLight();
    glGetLightfv(GL_LIGHT0, GL_POSITION, value);
    EXPECT_NEAR(value[0], 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(value[1], 1.0f);
    EXPECT_FLOAT_EQ(value[2], 1.0f);
    EXPECT_FLOAT_EQ(value[3], 0.0f);
}

TEST_F(SceneState, NightLeavesTheAmbientTermAsItWas)
{
    // A context that has only seen night keeps the default black ambient.
    viewSettings.daylight = 0;
    applyLight();
    GLfloat value[4];
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, value);
    expectFloats(value, {0.0f, 0.0f, 0.0f, 1.0f});
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, value);
    expectFloats(value, {1.0f, 1.0f, 1.0f, 1.0f});
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));

    // After a day, night keeps the day's ambient.
    viewSettings.daylight = 1;
    applyLight();
    viewSettings.daylight = 0;
    applyLight();
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, value);
    expectFloats(value, {0.2f, 0.2f, 0.2f, 1.0f});
}

TEST_F(SceneState, InitSceneSetsTheGlobalStateAndSurvivesAMissingMap)
{
    ASSERT_TRUE(init());
    EXPECT_NE(shown.find("MAP LOAD ERROR: Map could not be loaded.\n"), std::string::npos) << shown;
    EXPECT_NE(tileLists.groundList, 0u);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    // Fog comes from resizeScene and the light from the frame, not from here.
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    GLint depthFunc = 0, hint = 0, materialFace = 0, materialMode = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &hint);
    EXPECT_EQ(hint, GL_NICEST);
    glGetIntegerv(GL_COLOR_MATERIAL_FACE, &materialFace);
    glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &materialMode);
    EXPECT_EQ(materialFace, GL_FRONT_AND_BACK);
    EXPECT_EQ(materialMode, GL_AMBIENT_AND_DIFFUSE);
    GLfloat clearDepth = 0, clear[4];
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    EXPECT_FLOAT_EQ(clearDepth, 1.0f);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    expectFloats(clear, {0.8f, 0.8f, 0.8f, 0.0f});
}

TEST_F(SceneState, ClearColourIsBlackInAContextOpenedAtNightAndOnlyInitSceneSetsIt)
{
    viewSettings.daylight = 0;
    ASSERT_TRUE(init());
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    expectFloats(clear, {0.0f, 0.0f, 0.0f, 0.0f});
    // Switching back to day re-applies fog and light, not the clear colour.
    viewSettings.daylight = 1;
    applyFog();
    applyLight();
    resizeScene(64, 64);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    expectFloats(clear, {0.0f, 0.0f, 0.0f, 0.0f});
}

TEST(SoftwareRasteriser, RecognisedByRendererName)
{
    EXPECT_TRUE(isSoftwareRasteriser("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(isSoftwareRasteriser("softpipe"));
    EXPECT_TRUE(isSoftwareRasteriser("Gallium 0.4 on llvmpipe (LLVM 3.4, 128 bits)"));
    EXPECT_TRUE(isSoftwareRasteriser("Mesa DRI swrast"));
    EXPECT_TRUE(isSoftwareRasteriser("Software Rasterizer"));
    EXPECT_TRUE(isSoftwareRasteriser("LLVMPIPE"));
    EXPECT_FALSE(isSoftwareRasteriser("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
    EXPECT_FALSE(isSoftwareRasteriser("NVIDIA GeForce RTX 3060/PCIe/SSE2"));
    EXPECT_FALSE(isSoftwareRasteriser("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)"));
    EXPECT_FALSE(isSoftwareRasteriser("llvm"));
    EXPECT_FALSE(isSoftwareRasteriser(""));
    EXPECT_FALSE(isSoftwareRasteriser(nullptr));
}

TEST_F(SceneState, SoftwareRasteriserKeepsTheBoundTextureAtAnisotropyOne)
{
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    if (!std::strstr(renderer, "llvmpipe") && !std::strstr(renderer, "softpipe"))
        GTEST_SKIP() << "not a gallium software renderer: " << renderer;
    GLfloat driverMax = 0;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &driverMax);
    while (glGetError() != GL_NO_ERROR) {
    }
    // The texture bound when initScene finishes is the one it would raise.
    GLuint own = 0;
    glGenTextures(1, &own);
    glBindTexture(GL_TEXTURE_2D, own);
    ASSERT_TRUE(init());
    EXPECT_EQ(maxAnisotropy, driverMax);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    ASSERT_NE(bound, 0);
    GLfloat anisotropy = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    EXPECT_EQ(anisotropy, 1.0f);
}

}  // namespace
