// The statistics display in a 1280 x 720 Mesa context: its lines decoded by GL feedback.

#include <string>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "tests/support/text_fixture.h"
#include "text/text.h"

// One decoded line: its colour, the window position of its first quad, its character set and its text.
struct HudLine {
    bool red = false;
    float x = 0, bottom = 0, top = 0;  // window pixels, counted from the bottom edge
    int set = 0;
    std::string text;
};

// Glyphs of one colour on one baseline make a line; cells 128 and up are set 1 (byte + 96).
static std::vector<HudLine> decode(int fps)
{
    std::vector<HudLine> lines;
    for (const CapturedGlyph& g : captureGlyphs([fps] { drawStatDisplay(fps); })) {
        int cell = g.cell();
        if (lines.empty() || lines.back().red != (g.red == 1.0f) || lines.back().bottom != g.y0)
            lines.push_back({g.red == 1.0f, g.x0, g.y0, g.y1, cell >= 128 ? 1 : 0, ""});
        lines.back().text += char(cell >= 128 ? cell - 96 : cell + 32);
    }
    return lines;
}

using Hud = TextTest;

TEST_F(Hud, DrawsItsLinesShadowFirstAtTheirPositions)
{
    camera = CameraState{};  // at (30, -1.5, 2016) facing 180 degrees
    camera.speed = -0.25f;
    viewSettings = ViewSettings{};
    viewSettings.fullscreen = 0;
    windowWidth = 1280;
    windowHeight = 720;
    const std::string want[13] = {
        windowTitle, "FPS:    60", "xpos:   30.00", "ypos:   -1.50", "zpos: 2016.00", "yrot:  180.00 degs (3.14 rads)",
        "turn:    0.0000", "accel:  -0.2500", "FOV:     60", "[F1] Mode: WINDOW (1280x720)", "[F2] VSYNC: ON",
        "[Page Up/Down] Fly", "[Insert] Stat Display toggle",
    };
    const float redTop[13] = {20, 42, 52, 63, 74, 85, 96, 107, 118, 129, 140, 151, 162};
    std::vector<HudLine> lines = decode(60);
    ASSERT_EQ(lines.size(), 26u);
    for (size_t i = 0; i < 26; ++i) {
        SCOPED_TRACE(i);
        bool red = i >= 13;
        size_t k = i % 13;
        EXPECT_EQ(lines[i].red, red);
        EXPECT_EQ(lines[i].x, red ? 11.0f : 12.0f);
        EXPECT_EQ(lines[i].bottom, 720 - redTop[k] - (red ? 0 : 1));
        EXPECT_EQ(lines[i].set, k == 0 ? 1 : 0);
        EXPECT_EQ(lines[i].text, want[k]);
    }
    EXPECT_EQ(lines[13].bottom, 700.0f) << "the red title spans rows 700 to 716";
    EXPECT_EQ(lines[13].top, 716.0f);

    viewSettings.fullscreen = 1;
    viewSettings.vsync = 0;
    windowWidth = 1920;
    windowHeight = 1080;
    lines = decode(7);
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines[14].text, "FPS:     7");
    EXPECT_EQ(lines[22].text, "[F1] Mode: FULLSCREEN (1920x1080)");
    EXPECT_EQ(lines[23].text, "[F2] VSYNC: OFF");

    // With the statistics off only the title and the rate remain, in both passes.
    viewSettings.showStats = 0;
    lines = decode(60);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, windowTitle);
    EXPECT_EQ(lines[3].text, "FPS:    60");
    EXPECT_TRUE(!lines[1].red && lines[3].red) << "shadow pass first";
}
