// The statistics display in a 1280 x 720 Mesa context: its pixels, and its lines decoded by GL feedback.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "tests/support/gl_context.h"
#include "tests/support/text_fixture.h"
#include "text/text.h"

namespace fs = std::filesystem;

// One decoded line: its colour, the window position of its first quad and its cells.
struct HudLine {
    bool red = false;
    float x = 0, bottom = 0;  // window pixels, bottom row counted from the bottom edge
    std::vector<int> cells;
};

class Hud : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(openTestContext(1280, 720)); }
    static void TearDownTestSuite() { closeTestContext(); }
    void SetUp() override
    {
        home = fs::current_path();
        dir = makeTempDir();
        fs::current_path(dir);
        // Every glyph cell solid, so each glyph quad fills its 16 x 16 pixels.
        writeBytes(dir / "data" / "Terminal8.tga", tgaFile(3, 256, 256, 8, std::vector<unsigned char>(65536, 255)));
        ASSERT_TRUE(buildFont(1280, 720));
        glViewport(0, 0, 1280, 720);
        windowWidth = 1280;
        windowHeight = 720;
        viewSettings = ViewSettings{};
        viewSettings.fullscreen = 0;
        camera = CameraState{};
        camera.turnRate = 0.0125f;
        camera.speed = -0.25f;
        camera.fieldOfView = 75;
    }
    void TearDown() override
    {
        deleteFont();
        fs::current_path(home);
        fs::remove_all(dir);
        viewSettings = ViewSettings{};
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // Draws the display over a blue frame and reads the frame back as RGBA rows, bottom first.
    static std::vector<unsigned char> render(int fps)
    {
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        drawStatDisplay(fps);
        glDisable(GL_TEXTURE_2D);
        glFinish();
        std::vector<unsigned char> frame(1280 * 720 * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 1280, 720, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
        return frame;
    }

    // 'r' red, 'k' black, 'b' blue, '?' anything else.
    static char at(const std::vector<unsigned char>& frame, int x, int y)
    {
        const unsigned char* p = &frame[size_t((y * 1280 + x) * 4)];
        if (p[0] == 255 && p[1] == 0 && p[2] == 0)
            return 'r';
        if (p[0] == 0 && p[1] == 0 && p[2] == 0)
            return 'k';
        if (p[0] == 0 && p[1] == 0 && p[2] == 255)
            return 'b';
        return '?';
    }

    // Lowest row holding anything but the blue background.
    static int lowestDrawnRow(const std::vector<unsigned char>& frame)
    {
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x)
                if (at(frame, x, y) != 'b')
                    return y;
        return 720;
    }

    static std::vector<HudLine> decode(int fps)
    {
        std::vector<HudLine> lines;
        for (const CapturedGlyph& g : captureGlyphs([fps] { drawStatDisplay(fps); })) {
            bool red = g.red == 1.0f;
            if (lines.empty() || lines.back().red != red || lines.back().bottom != g.y0)
                lines.push_back({red, g.x0, g.y0, {}});
            lines.back().cells.push_back(g.cell());
        }
        return lines;
    }

    fs::path home, dir;
};

TEST_F(Hud, TitleSitsAtRows700To716WithItsShadowOnePixelRightAndBelow)
{
    std::vector<unsigned char> frame = render(60);
    int n = int(std::strlen(windowTitle));
    int redEnd = 11 + 8 * n + 8;  // one past the last red column
    for (int y = 695; y < 720; ++y) {
        char want = (y >= 700 && y <= 715) ? 'r' : y == 699 ? 'k' : 'b';
        EXPECT_EQ(at(frame, 20, y), want) << "row " << y;
    }
    EXPECT_EQ(at(frame, 10, 705), 'b');
    EXPECT_EQ(at(frame, 11, 705), 'r');
    EXPECT_EQ(at(frame, 11, 699), 'b');
    EXPECT_EQ(at(frame, 12, 699), 'k');
    EXPECT_EQ(at(frame, redEnd - 1, 700), 'r');
    EXPECT_EQ(at(frame, redEnd, 699), 'k');
    EXPECT_EQ(at(frame, redEnd, 714), 'k');
    EXPECT_EQ(at(frame, redEnd, 715), 'b');
    EXPECT_EQ(at(frame, redEnd + 1, 705), 'b');
}

TEST_F(Hud, StatisticsLinesFollowTheSwitchInBothPasses)
{
    viewSettings.showStats = 0;
    std::vector<unsigned char> frame = render(60);
    // Line 2's red rows are 678..693 and its shadow reaches down to row 677.
    EXPECT_EQ(at(frame, 11, 678), 'r');
    EXPECT_EQ(at(frame, 12, 677), 'k');
    EXPECT_EQ(lowestDrawnRow(frame), 677);

    viewSettings.showStats = 1;
    frame = render(60);
    // Line 13's red rows are 558..573 and its shadow reaches down to row 557.
    EXPECT_EQ(at(frame, 11, 558), 'r');
    EXPECT_EQ(at(frame, 12, 557), 'k');
    EXPECT_EQ(lowestDrawnRow(frame), 557);
}

TEST_F(Hud, DrawsTheThirteenLinesWithTheirTextSetsAndPositions)
{
    char buffer[256];
    auto line = [&](const char* format, auto... values) {
        std::snprintf(buffer, sizeof buffer, format, values...);
        return std::string(buffer);
    };
    std::vector<std::string> want = {
        windowTitle,
        "FPS:    60",
        line("xpos: %7.2f", double(camera.x)),
        line("ypos: %7.2f", double(camera.y)),
        line("zpos: %7.2f", double(camera.z)),
        line("yrot: %7.2f degs (%3.2f rads)", double(camera.yawDegrees), double(camera.yaw)),
        "turn:    0.0125",
        "accel:  -0.2500",
        "FOV:     75",
        "[F1] Mode: WINDOW (1280x720)",
        "[F2] VSYNC: ON",
        "[Page Up/Down] Fly",
        "[Insert] Stat Display toggle",
    };
    EXPECT_EQ(want[2], "xpos:   30.00");
    EXPECT_EQ(want[5], "yrot:  180.00 degs (3.14 rads)");
    const float redTop[13] = {20, 42, 52, 63, 74, 85, 96, 107, 118, 129, 140, 151, 162};

    std::vector<HudLine> lines = decode(60);
    ASSERT_EQ(lines.size(), 26u);
    for (size_t i = 0; i < 26; ++i) {
        bool red = i >= 13;
        size_t k = i % 13;
        EXPECT_EQ(lines[i].red, red) << i;
        EXPECT_EQ(lines[i].x, red ? 11.0f : 12.0f) << i;
        EXPECT_EQ(lines[i].bottom, 720 - redTop[k] - (red ? 0 : 1)) << i;
        EXPECT_EQ(lines[i].cells, cellsOf(want[k], k == 0 ? 1 : 0)) << "line " << k + 1 << " " << want[k];
    }

    viewSettings.fullscreen = 1;
    viewSettings.vsync = 0;
    windowWidth = 1920;
    windowHeight = 1080;
    lines = decode(7);
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines[14].cells, cellsOf("FPS:     7", 0));
    EXPECT_EQ(lines[22].cells, cellsOf("[F1] Mode: FULLSCREEN (1920x1080)", 0));
    EXPECT_EQ(lines[23].cells, cellsOf("[F2] VSYNC: OFF", 0));

    viewSettings.showStats = 0;
    lines = decode(60);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].cells, cellsOf(windowTitle, 1));
    EXPECT_EQ(lines[3].cells, cellsOf("FPS:    60", 0));
}
