// The scene and a frame against a real Mesa context: projection, fog, light and initScene's state; the reference
// loop's tile window, what the view shows with the textures replaced by solid colours, and drawFrame equal to the
// reference in every channel of every pixel.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "render/render.h"
#include "tests/support/gl_context.h"
#include "tests/support/text_fixture.h"
#include "text/text.h"

// A context of the given size holding the scene built from the build's files, with the default view (by day or
// at night) and camera.
static void openScene(int width, int height, bool daylight = true)
{
    ASSERT_EQ(chdir(KESTRA_RUN_DIR), 0);
    viewSettings = ViewSettings{};
    viewSettings.daylight = daylight;
    camera = CameraState{};
    std::tie(windowWidth, windowHeight) = std::pair(width, height);
    ASSERT_TRUE(openTestContext(width, height));
    resizeScene(width, height);
    std::fill(std::begin(cityMap.cells), std::end(cityMap.cells), 0);
    ASSERT_TRUE(initScene());
    ASSERT_NE(std::count(std::begin(cityMap.cells), std::end(cityMap.cells), 0u), mapSize * mapSize) << "map read";
}

// Sets the camera and switches as the viewer would reach them (F3 and F4 re-apply fog and light) from a shot:
// x, y, z, yaw, pitch, field of view, day, fog, statistics.
static void place(const std::vector<float>& s)
{
    std::tie(camera.x, camera.y, camera.z, camera.yawDegrees, camera.pitch) = std::tuple(s[0], s[1], s[2], s[3], s[4]);
    camera.fieldOfView = int(s[5]);
    resizeScene(windowWidth, windowHeight);
    cameraAboveRoofs = camera.y <= -7.0f;
    std::tie(viewSettings.daylight, viewSettings.fogEnabled, viewSettings.showStats) =
        std::tuple(s[6] != 0, s[7] != 0, s[8] != 0);
    applyFog();
    applyLight();
}

// Sky faces get saturated colours no lit tile can take; tiles are grey so that the material colour shows.
const uint8_t skyColours[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
const uint8_t greyTexel[3] = {128, 128, 128};
enum Seen { sky, grey, yellow, other };

class Frame : public testing::Test {
protected:
    static constexpr int width = 320, height = 180;
    void SetUp() override
    {
        openScene(width, height);
        for (int slot = 0; slot < 31; ++slot) {
            glBindTexture(GL_TEXTURE_2D, textureTable[slot]);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE,
                         slot >= skySlot0 ? skyColours[slot - skySlot0] : greyTexel);
        }
    }
    void TearDown() override { closeTestContext(); }

    // What the pixel shows: a sky face, a grey tile, a tile tinted yellow, or something else.
    static Seen seenAt(int x, int y)
    {
        unsigned char p[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        auto near = [](int a, int b) { return std::abs(a - b) <= 2; };
        for (const uint8_t* s : skyColours)
            if (near(p[0], s[0]) && near(p[1], s[1]) && near(p[2], s[2]))
                return sky;
        return !near(p[0], p[1]) ? other : near(p[0], p[2]) ? grey : yellow;
    }
};

TEST_F(Frame, TileWindowIsTwoRadiiSquareClippedToTheMapWithoutCellsPastTheLastType)
{
    // Camera x and z, the type of cell (85, 85), the tiles drawn.
    const std::tuple<float, float, TileType, int> cases[] = {
        {30, 2016, 0, 32 * 32},  // the start: rows 138..169, columns 0..31
        {1026, 1026, 0, 3600}, {1026, 1026, 23, 3599},  // the first value past the tile types draws nothing
        {12.0f, 1020, 0, 60 * 31},  // column 1: columns -29..30, 31 of them inside the map
        {11.9f, 1020, 0, 60 * 30},  // column 0: columns -30..29
    };
    for (const auto& [x, z, middle, tiles] : cases) {
        std::tie(camera.x, camera.z, mapCell(85, 85)) = std::tuple(x, z, middle);
        ASSERT_TRUE(drawFrameReference());
        EXPECT_EQ(tilesDrawn, tiles) << x << "," << z;
    }
}

TEST_F(Frame, SkySurroundsTheEyeTilesAreLitWhiteByDayYellowAtNightAndRoofsAppearFromEyeHeightSeven)
{
    // Every cell and cell (85, 85) under the camera, eye y, yaw and pitch, day, fog, what every pixel shows.
    const std::tuple<TileType, TileType, float, float, float, bool, bool, Seen> cases[] = {
        // An empty map: the sky box's six faces around the eye.
        {99, 99, -1.5f, 0, 0, true, true, sky},  {99, 99, -1.5f, 90, 0, true, true, sky},
        {99, 99, -1.5f, 180, 0, true, false, sky}, {99, 99, -1.5f, 270, 0, true, true, sky},
        {99, 99, -1.5f, 0, 90, true, true, sky}, {99, 99, -1.5f, 0, -90, true, true, sky},
        // Straight down on the ground; at night fog stays on whatever the switch says.
        {0, 0, -1.5f, 0, 90, true, false, grey}, {0, 0, -1.5f, 0, 90, false, false, yellow},
        // Straight up from inside a block: its roof or cliff top, from eye height 7 only.
        {0, 1, -7.0f, 0, -90, true, true, grey}, {0, 1, -6.9f, 0, -90, true, true, sky},
        {0, 6, -7.0f, 0, -90, true, true, grey}, {0, 6, -6.9f, 0, -90, true, true, sky},
    };
    for (const auto& c : cases) {
        const auto& [fill, middle, eye, yawDegrees, pitch, day, fog, seen] = c;
        std::fill(std::begin(cityMap.cells), std::end(cityMap.cells), fill);
        mapCell(85, 85) = middle;
        place({85 * 12 + 6, eye, 85 * 12 + 6, yawDegrees, pitch, 60, float(day), float(fog), 0});
        (middle == 1 || middle == 6 ? glDisable : glEnable)(GL_CULL_FACE);  // a roof seen from below is a back face
        ASSERT_TRUE(drawFrame());
        SCOPED_TRACE(testing::PrintToString(c));
        EXPECT_EQ(std::pair(glIsEnabled(GL_FOG), getInt(GL_FRONT_FACE)), std::pair(GLboolean(fog || !day), GL_CCW));
        // At night the lit ground saturates red and green; only the material's weaker blue shows below them.
        for (int y : {1, height / 2, height - 2})
            for (int x : {1, width / 2, width - 2})
                EXPECT_EQ(seenAt(x, y), seen) << x << "," << y;
    }
}

// Eye heights below, between and above the two block heights; positions in the middle, anywhere, or near an edge.
static std::vector<float> randomShot(std::mt19937& rng, int i)
{
    auto uniform = [&rng](double lo, double hi) { return float(std::uniform_real_distribution<>(lo, hi)(rng)); };
    auto coordinate = [&](bool nearEdge) {
        return i % 4 == 3 ? uniform(600, 1400) : nearEdge ? uniform(0, 40) + 1999.0f * (rng() % 2) : uniform(0, 2039);
    };
    const float eye = i % 3 == 0 ? uniform(1.5, 6.99) : i % 3 == 1 ? uniform(7, 14) : uniform(14, 120);
    // x near an edge for i % 4 of 1 and 2, z for 2.
    return {coordinate(i % 4 >= 1), -eye, coordinate(i % 4 == 2), uniform(0, 360), i % 5 == 0 ? 0.0f : uniform(-10, 90),
            i % 4 == 1 ? float(int(uniform(60, 91))) : 60, float(i % 3 != 2), float(i % 2 == 0), float(i % 7 < 3)};
}

static std::vector<unsigned char> drawn(bool (*draw)(), int width, int height)
{
    draw();
    std::vector<unsigned char> pixels(size_t(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Starts a private Xvfb screen, which ends with its last client, and points SDL's video at it; false if none starts.
static bool startXvfb()
{
    FILE* shell = popen("Xvfb -displayfd 3 -terminate -screen 0 1280x720x24 -nolisten tcp 3>&1 >/dev/null 2>&1 &", "r");
    int display = -1;
    if (shell && std::fscanf(shell, "%d", &display) != 1)  // the display once it listens
        display = -1;
    if (shell)
        pclose(shell);
    char name[16];
    std::snprintf(name, sizeof name, ":%d", display);
    setenv("DISPLAY", name, 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    return display >= 0;
}

// Placements as place() takes them.
static const std::vector<std::vector<float>> placements = {
    {30, -1.5f, 2016, 180, 0, 60, 1, 1, 1},  {1020, -1.5f, 1020, 0, 0, 60, 1, 0, 1},
    {1020, -1.5f, 1020, 90, 0, 60, 1, 0, 1}, {1020, -1.5f, 1020, 180, 0, 60, 1, 0, 1},
    {1020, -1.5f, 1020, 270, 0, 60, 1, 0, 1}, {1020, -30, 1020, 180, 45, 60, 1, 1, 1},
    {1020, -1.5f, 1020, 180, 0, 60, 0, 1, 1},
    // Where drivers are: a crossing at diagonal yaws, a street pitched down, flight and a view from above.
    {1050, -1.5f, 1074, 45, 0, 60, 1, 1, 1},  {1050, -1.5f, 1074, 120, 0, 60, 1, 0, 1},
    {1050, -1.5f, 1074, 200, 0, 60, 1, 1, 1}, {1098, -1.5f, 1074, 90, 40, 60, 1, 1, 1},
    {1050, -20, 1074, 45, 0, 60, 1, 1, 1},    {1050, -20, 1074, 315, -5, 60, 0, 0, 1},
    {1146, -60, 1158, 200, 35, 60, 1, 1, 1},
    // High up, fog off, toward the far corners before the camera's tile: tiles at the cleared depth.
    {1020, -150, 1020, 135, 16, 60, 1, 0, 1}, {1020, -150, 1020, 225, 16, 60, 1, 0, 1},
};

// Each shot drawn by both renderers at this size on a 16-bit depth buffer, the last ones over altered maps,
// then with the window made larger since the font was built (the HUD's glyphs scaled up).
static void expectReferenceFrames(int width, int height, const std::vector<std::vector<float>>& shots)
{
    frameTickSource = [] { return 5000u; };
    openScene(width, height);
    EXPECT_EQ(getInt(GL_DEPTH_BITS), 16);
    for (size_t k = 0; k < shots.size(); ++k) {
        // The last shots: cells of 23 and above scattered over the city, then tall blocks only.
        for (int c = 0; c < mapSize * mapSize; ++c) {
            if (k + 16 == shots.size() && c % 7 == width % 7)
                cityMap.cells[c] = 23 + c % 3 * 1000;
            if (k + 8 == shots.size())
                cityMap.cells[c] = 1 + c % 5 % 2 * 2;  // tall types 1 and 3
        }
        place(shots[k]);
        EXPECT_TRUE(drawn(drawFrameReference, width, height) == drawn(drawFrame, width, height))
            << width << "x" << height << " shot " << k << ": " << testing::PrintToString(shots[k]);
    }
    std::tie(windowWidth, windowHeight) = std::pair(width * 3 / 2, height * 3 / 2);
    place(placements[0]);
    EXPECT_TRUE(drawn(drawFrameReference, width, height) == drawn(drawFrame, width, height)) << "resized";
    deleteFont();
    closeTestContext();
}

// drawFrame culls whole tiles and draws the rest near to far, with the HUD in runs of quads: every pixel must
// still be the reference's, with the real textures, over placements, random cameras and maps.
TEST(FrameExact, EqualsTheReferenceOverPlacementsRandomCamerasAndMapsOnASixteenBitDepthBuffer)
{
    std::mt19937 rng(2015);
    for (auto [width, height] : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
        std::vector<std::vector<float>> shots = placements;
        for (int i = 0; i < 52; ++i)
            shots.push_back(randomShot(rng, i));
        expectReferenceFrames(width, height, shots);
    }
}

static void drawOnX11()
{
    if (!startXvfb())
        std::_Exit(2);
    expectReferenceFrames(640, 360, placements);
    std::_Exit(testing::Test::HasFailure() ? 1 : 0);
}

// The same on an X11 window, the viewer's own window system, whose context must have the 16-bit depth buffer
// the window asks for (GLX offers larger ones first). In a process of its own that starts SDL on X11: SDL
// 2.26 loses memory when it shuts a video driver down to start another.
TEST(FrameExact, EqualsTheReferenceOnAnX11Window)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(drawOnX11(), testing::ExitedWithCode(0), "");
}


// Which half of the window each sky triangle lies in, in the order GL receives them (GL feedback; the HUD is
// nearer than the sky's far walls and left out).
static std::string skyHalves(bool (*draw)(), int width)
{
    std::string halves;
    for (const std::vector<GLfloat>& polygon : feedbackPolygons(draw, GL_3D)) {
        float x = 0, z = 1;
        for (size_t v = 0; v < polygon.size(); v += 3)
            x += polygon[v] * 3 / float(polygon.size()), z = std::min(z, polygon[v + 2]);
        if (z > 0.99f)
            halves += x < float(width) / 2.0f ? 'L' : 'R';
    }
    return halves;
}

// The sky's six faces in saturated colours, seen toward its corners: where a face reaches the cleared depth,
// drawFrame must keep the sky the reference draws there.
// Then two sky faces meet at the middle of the view at yaw 45, and a field of view of 20 degrees shows no other.
// llvmpipe never covers a seam pixel twice, so no pixel shows which face wins a tie there; under GL_LESS the
// first drawn of a tie wins, so drawFrame's closing sky pass must send the faces in the reverse of the
// reference's order. With no tile drawn, the faces' colour at the cleared depth follows, in the reference's order.
TEST_F(Frame, SkyCornersEqualTheReferenceAndTheClosingSkyPassSendsTheFacesInReverse)
{
    frameTickSource = [] { return 5000u; };
    std::fill(std::begin(cityMap.cells), std::end(cityMap.cells), 99);
    for (float yaw : {45.0f, 135.0f, 225.0f, 315.0f})
        for (float pitch : {-19.6f, -10.0f, 10.0f, 19.5f}) {
            place({1020, -1.5f, 1020, yaw, pitch, 60, 1, 1, 0});
            EXPECT_TRUE(drawn(drawFrameReference, width, height) == drawn(drawFrame, width, height)) << yaw << ", " << pitch;
        }

    place({1020, -1.5f, 1020, 45, 0, 20, 1, 1, 0});
    const std::string reference = skyHalves(drawFrameReference, width), fast = skyHalves(drawFrame, width);
    const size_t second = reference.find_first_not_of(reference[0]);
    ASSERT_TRUE(second != std::string::npos && reference.find(reference[0], second) == std::string::npos) << reference;
    EXPECT_EQ(fast, reference.substr(second) + reference.substr(0, second) + reference);
}

// A context opened at night: black clear colour (set here only, so a day context keeps its grey at night)
// and, until a day has passed, black ambient light. Then resizeScene's viewport, projection, culling and fog.
TEST(SceneState, InitAndResizeSetTheGlobalStateAndANightContextGetsBlackClearColourAndAmbient)
{
    openScene(64, 64, false);
    EXPECT_EQ((std::vector<GLint>{glIsEnabled(GL_TEXTURE_2D), glIsEnabled(GL_DEPTH_TEST),
                                  glIsEnabled(GL_COLOR_MATERIAL), getInt(GL_DEPTH_FUNC)}),
              (std::vector<GLint>{1, 1, 1, GL_LEQUAL}));
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (Floats{0, 0, 0, 0}));

    // The driver's maximum anisotropy for the texture left bound, except on a software rasteriser (llvmpipe,
    // softpipe), which samples an unmipmapped texture far too slowly above 1.
    EXPECT_EQ(maxAnisotropy, floats(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT)[0]);
    ASSERT_NE(getInt(GL_TEXTURE_BINDING_2D), 0);
    GLfloat anisotropy = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    EXPECT_EQ(anisotropy, renderer.find("pipe") != std::string::npos ? 1.0f : maxAnisotropy);

    applyLight();
    // Directional, from above and -x: the x = -6 walls take the light, the x = 6 walls only ambient.
    EXPECT_EQ(floats(GL_AMBIENT, 4, GL_LIGHT0), (Floats{0, 0, 0, 1}));
    EXPECT_EQ(floats(GL_POSITION, 4, GL_LIGHT0), (Floats{-1, 1, 0, 0}));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0) && glIsEnabled(GL_LIGHTING));
    viewSettings.daylight = 1;  // back at night after a day, the ambient stays
    applyLight();
    viewSettings.daylight = 0;
    applyLight();
    EXPECT_EQ(floats(GL_AMBIENT, 4, GL_LIGHT0), (Floats{0.2f, 0.2f, 0.2f, 1}));

    camera.fieldOfView = 75;
    resizeScene(1366, 0);  // a zero height counts as 1
    EXPECT_EQ(floats(GL_VIEWPORT, 4), (Floats{0, 0, 1366, 1}));
    // Culling back faces; the frame draws in whatever matrix mode is left current; fog linear from 90 to 270.
    EXPECT_EQ((std::vector<GLint>{glIsEnabled(GL_CULL_FACE), getInt(GL_CULL_FACE_MODE), getInt(GL_MATRIX_MODE),
                                  glIsEnabled(GL_FOG), getInt(GL_FOG_MODE), getInt(GL_FOG_START),
                                  getInt(GL_FOG_END)}),
              (std::vector<GLint>{1, GL_BACK, GL_MODELVIEW, 1, GL_LINEAR, 90, 270}));
    // The camera's field of view at the window's shape, from 0.1 to 540.
    const Floats p = floats(GL_PROJECTION_MATRIX, 16);
    EXPECT_FLOAT_EQ(p[5], static_cast<float>(1 / std::tan(75 * M_PI / 360)));
    EXPECT_FLOAT_EQ(p[0] * 1366, p[5]);
    EXPECT_FLOAT_EQ(p[14], static_cast<float>(-2 * 540 * 0.1 / (540 - 0.1)));

    glDisable(GL_FOG);
    viewSettings.fogEnabled = 0;
    resizeScene(64, 64);
    EXPECT_FALSE(glIsEnabled(GL_FOG));  // applyFog, which the switches call, is tested with them in app_test
    closeTestContext();
}
