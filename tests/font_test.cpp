// The bitmap font and the text printer against a real Mesa context: glyph lists, cells, advance and GL state.
#include <sys/stat.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/text_fixture.h"
#include "text/text.h"

using Font = TextTest;

TEST_F(Font, ListsDrawTheirCellsAsFrontFacingQuads)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1280, 0, 720, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_CULL_FACE);
    std::vector<float> corners;  // s0, s1, t at the bottom edge, t at the top edge of lists 0 and 255
    for (GLuint k = 0; k < 256; ++k) {
        std::vector<CapturedGlyph> g = captureGlyphs([k] {
            glLoadIdentity();
            glCallList(fontState.listBase + k);
        });
        ASSERT_EQ(g.size(), 1u) << "list " << k << " culled or missing";
        EXPECT_EQ(g[0].cell(), int(k));
        // Quad in pixels, then its texture square, upright: the first stored row is the top of cell row 0.
        EXPECT_EQ(std::vector<float>({g[0].x0, g[0].x1, g[0].y0, g[0].y1}), std::vector<float>({0, 16, 0, 16}));
        EXPECT_EQ(std::vector<float>({g[0].s1 - g[0].s0, g[0].tAtBottom - g[0].tAtTop}), std::vector<float>({0.0625f, 0.0625f}));
        if (k == 0 || k == 255)
            corners.insert(corners.end(), {g[0].s0, g[0].s1, g[0].tAtBottom, g[0].tAtTop});
    }
    glDisable(GL_CULL_FACE);
    EXPECT_EQ(corners, std::vector<float>({0, 0.0625f, 0.0625f, 0, 0.9375f, 1, 1, 0.9375f}));
}

TEST_F(Font, PlacesTextFromTheTopLeftInEitherSetAndAdvancesEightPixels)
{
    // Set, text and the cell it selects.
    for (auto [set, text, cell] : {std::tuple{0, " ", 0}, {0, "A", 33}, {1, " ", 128}, {1, "A", 161}, {7, "A", 161}}) {
        std::vector<CapturedGlyph> g = captureGlyphs([&] { printText(100, 100, set, "%s", text); });
        ASSERT_EQ(g.size(), 1u);
        EXPECT_EQ(g[0].cell(), cell) << set << " '" << text << "'";
    }
    std::vector<CapturedGlyph> g = captureGlyphs([] { printText(50, 100, 0, "AB%s", "CD"); });
    ASSERT_EQ(g.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(std::vector<float>({g[i].x0, g[i].y0, g[i].y1, float(g[i].cell())}),
                  std::vector<float>({50.0f + 8 * float(i), 620, 636, 33.0f + float(i)}));
    EXPECT_EQ(g[3].x1, 90.0f);
}

TEST_F(Font, CutsLongTextAt255Bytes)
{
    // A projection and viewport wide enough that no glyph of the cut text is clipped away.
    deleteFont();
    ASSERT_TRUE(buildFont(4096, 720));
    glViewport(0, 0, 4096, 720);
    std::string longText(600, 'x');
    std::vector<CapturedGlyph> g = captureGlyphs([&] { printText(0, 100, 0, "%s|%s", longText.c_str(), "tail"); });
    ASSERT_EQ(g.size(), 255u);
    EXPECT_EQ(g.back().x0, 254.0f * 8);
    EXPECT_EQ(g.back().cell(), 'x' - 32);
}

TEST_F(Font, LeavesTheSameStateWhateverCameBefore)
{
    auto setAll = [](bool on) {
        for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_BLEND, GL_TEXTURE_2D})
            (on ? glEnable : glDisable)(cap);
        glBindTexture(GL_TEXTURE_2D, 5);
        glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
        glMatrixMode(on ? GL_PROJECTION : GL_TEXTURE);
    };
    for (bool on : {false, true}) {
        for (const char* text : {"Hi", ""}) {
            SCOPED_TRACE(std::string(on ? "on, '" : "off, '") + text + "'");
            setAll(on);
            GLint projectionDepth = getInt(GL_PROJECTION_STACK_DEPTH), modelviewDepth = getInt(GL_MODELVIEW_STACK_DEPTH);
            printText(10, 20, 0, "%s", text);
            // Depth test, lighting, blending, texturing.
            EXPECT_EQ(std::vector<GLboolean>({glIsEnabled(GL_DEPTH_TEST), glIsEnabled(GL_LIGHTING), glIsEnabled(GL_BLEND),
                                              glIsEnabled(GL_TEXTURE_2D)}),
                      std::vector<GLboolean>({1, 1, 0, on}));
            EXPECT_EQ(getInt(GL_MATRIX_MODE), GL_MODELVIEW);
            EXPECT_EQ(getInt(GL_TEXTURE_BINDING_2D), 0);
            EXPECT_EQ(getInt(GL_PROJECTION_STACK_DEPTH), projectionDepth);
            EXPECT_EQ(getInt(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
            GLfloat colour[4] = {};
            glGetFloatv(GL_CURRENT_COLOR, colour);
            EXPECT_EQ(colour[1], 0.5f) << "the caller's colour stays";
        }
    }
    // A null format draws nothing and changes nothing.
    glEnable(GL_BLEND);
    EXPECT_TRUE(captureGlyphs([] { printText(10, 20, 0, nullptr); }).empty());
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);
}

TEST_F(Font, WithoutItsImageSaysWhyAndStillBuildsListsAndDrawsUntextured)
{
    const fs::path font = dir / "data" / "Terminal8.tga";
    for (auto [make, reason] : std::initializer_list<std::pair<std::function<void()>, const char*>>{
             {[&] { writeBytes(font, tgaFile(10, 4, 4, 32)); }, "not an uncompressed true-colour or grey-scale TGA image"},
             {[&] { mkfifo(font.c_str(), 0644); }, "not a regular file"},
             {[] {}, "No such file or directory"}}) {
        deleteFont();
        fs::remove(font);
        make();
        testing::internal::CaptureStderr();
        EXPECT_TRUE(buildFont(640, 480));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("data/Terminal8.tga: ") + reason + "; the text is drawn without its font\n");
    }
    fs::remove(font);
    EXPECT_EQ(captureGlyphs([] { printText(0, 100, 0, "ok"); }).size(), 2u);
    GLuint base = fontState.listBase;
    deleteFont();
    EXPECT_FALSE(glIsList(base));
    EXPECT_FALSE(glIsList(base + 255));
}
