// drawFrame against the reference loop on the bundled city: every channel of every pixel equal.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "render/render.h"
#include "tests/support/gl_context.h"
#include "text/text.h"

namespace {

struct Shot {
    float x, y, z, yawDegrees, pitch;
    int fieldOfView;
    bool night, fog, stats;
};

// Sets the camera and switches as the viewer would reach them (F3 and F4 re-apply fog and light).
void place(const Shot& s, int width, int height)
{
    camera.x = s.x, camera.y = s.y, camera.z = s.z, camera.yawDegrees = s.yawDegrees, camera.pitch = s.pitch;
    cameraAboveRoofs = camera.y <= -7.0f;
    viewSettings.showStats = s.stats;
    if (camera.fieldOfView != s.fieldOfView) {
        camera.fieldOfView = s.fieldOfView;
        resizeScene(width, height);
    }
    if (viewSettings.daylight != !s.night || viewSettings.fogEnabled != s.fog) {
        viewSettings.daylight = !s.night;
        viewSettings.fogEnabled = s.fog;
        applyFog();
        applyLight();
    }
}

std::vector<unsigned char> drawn(bool (*draw)(), int width, int height)
{
    draw();
    std::vector<unsigned char> pixels(size_t(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Eye heights below, between and above the two block heights; positions near no edge, one or two.
Shot randomShot(std::mt19937& rng, int i)
{
    auto uniform = [&rng](double lo, double hi) { return float(std::uniform_real_distribution<>(lo, hi)(rng)); };
    auto edgeward = [&](int near) { return near ? (uniform(0, 1) < 0.5 ? uniform(0, 40) : uniform(1999, 2039)) : uniform(0, 2039); };
    const int nearEdges = i % 4;  // 0, 1 or 2 coordinates near an edge; 3: the city's middle
    const float eye = i % 3 == 0 ? uniform(1.5, 6.99) : i % 3 == 1 ? uniform(7, 14) : uniform(14, 120);
    return {nearEdges == 3 ? uniform(600, 1400) : edgeward(nearEdges >= 1),
            -eye,
            nearEdges == 3 ? uniform(600, 1400) : edgeward(nearEdges == 2),
            uniform(0, 360),
            i % 5 == 0 ? 0.0f : uniform(-10, 90),
            i % 4 == 1 ? int(uniform(60, 91)) : 60,
            i % 3 == 2,
            i % 2 == 0,
            i % 7 < 3};
}

TEST(RendererExact, FramesEqualTheReferenceOverPlacementsRandomCamerasAndMaps)
{
    ASSERT_EQ(chdir(KESTRA_RUN_DIR), 0);
    frameTickSource = [] { return 5000u; };
    std::mt19937 rng(2015);
    const std::vector<Shot> placements = {
        {30, -1.5f, 2016, 180, 0, 60, false, true, true},     {1020, -1.5f, 1020, 0, 0, 60, false, true, true},
        {1020, -1.5f, 1020, 90, 0, 60, false, true, true},    {1020, -1.5f, 1020, 180, 0, 60, false, true, true},
        {1020, -1.5f, 1020, 270, 0, 60, false, true, true},   {1020, -30, 1020, 180, 45, 60, false, true, true},
        {1020, -1.5f, 1020, 180, 0, 60, true, true, true},
        {1020, -1.5f, 1020, 45, -19.6f, 60, false, true, false},  // straight at a corner of the sky box
        {1020, -1.5f, 1020, 225, -19.6f, 60, false, true, false},
        {1020, -1.5f, 1020, 315, -19.6f, 60, false, true, false},
    };
    for (auto [width, height] : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
        std::vector<Shot> shots = placements;
        for (int i = 0; i < 52; ++i)
            shots.push_back(randomShot(rng, i));
        viewSettings = ViewSettings{};
        camera = CameraState{};
        std::tie(windowWidth, windowHeight) = std::tuple(width, height);
        ASSERT_TRUE(openTestContext(width, height));
        resizeScene(width, height);
        ASSERT_TRUE(initScene());
        for (size_t k = 0; k < shots.size(); ++k) {
            // The last shots: cells of 23 and above scattered over the city, then tall blocks only.
            for (int c = 0; c < mapSize * mapSize; ++c) {
                if (k + 16 == shots.size() && c % 7 == width % 7)
                    cityMap.cells[c] = 23 + c % 3 * 1000;
                if (k + 8 == shots.size())
                    cityMap.cells[c] = 1 + c % 5 % 2 * 2;  // tall types 1 and 3
            }
            const Shot& s = shots[k];
            place(s, width, height);
            EXPECT_TRUE(drawn(drawFrameReference, width, height) == drawn(drawFrame, width, height))
                << width << "x" << height << " shot " << k << ": x " << s.x << " y " << s.y << " z " << s.z << " yaw "
                << s.yawDegrees << " pitch " << s.pitch << " fov " << s.fieldOfView << " night " << s.night
                << " fog " << s.fog;
        }
        deleteFont();
        closeTestContext();
    }
}

}  // namespace
