// The timed demo's route through the bundled city, and its result line.
#include <gtest/gtest.h>

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "platform/platform.h"
#include "tests/support/gl_context.h"

TEST(Timedemo, RouteKeepsToTheStreetsFliesOverTheRoofsAtNightWithoutFogAndLandsAgain)
{
    ASSERT_TRUE(openTestContext(64, 36));
    ASSERT_EQ(explainCityMap(KESTRA_RUN_DIR "/city.map", "city.map", &cityMap), "");
    bool overRoofs = false, nightWithoutFog = false;
    for (int step = 0; step + 1 < timedemoLength(); ++step) {
        playTimedemoStep(step);
        updateCamera();
        ASSERT_TRUE(applySwitches());
        moveCamera();
        const TileType under = mapCell(static_cast<int>(camera.z / tileSize), static_cast<int>(camera.x / tileSize));
        EXPECT_TRUE(camera.y <= -7.0f || isRoad(under)) << "off the street at step " << step;
        overRoofs = overRoofs || (camera.y <= -14.0f && under >= 1 && under <= 6);
        nightWithoutFog = nightWithoutFog || (!viewSettings.daylight && !viewSettings.fogEnabled);
    }
    EXPECT_TRUE(overRoofs);
    EXPECT_TRUE(nightWithoutFog);
    EXPECT_EQ(camera.y, -1.5f);
    closeTestContext();
}

TEST(Timedemo, ReportGivesTheAverageAndTheRateOfTheSlowestHundredth)
{
    std::vector<double> frames(198, 0.01);
    frames.insert(frames.begin() + 50, {0.1, 0.1});
    EXPECT_EQ(timedemoReport(frames), "200 frames, 2.18 seconds, 91.7 fps average, 10.0 fps 1% low");
    EXPECT_EQ(timedemoReport({}), "0 frames, 0.00 seconds, 0.0 fps average, 0.0 fps 1% low");
}
