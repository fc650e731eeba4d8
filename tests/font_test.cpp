// The bitmap font and the text printer against a real Mesa context: glyph lists, cells, advance and GL state.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/gl_context.h"
#include "tests/support/text_fixture.h"
#include "text/text.h"

namespace fs = std::filesystem;

// A 256 x 256 alpha font whose cell 33 ("A" in set 0) has its first eight stored rows solid.
static std::vector<unsigned char> topHalfOfCell33()
{
    std::vector<unsigned char> pixels(256 * 256, 0);
    for (int row = 2 * 16; row < 2 * 16 + 8; ++row)
        for (int col = 16; col < 32; ++col)
            pixels[size_t(row * 256 + col)] = 255;
    return pixels;
}

class Font : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(openTestContext(1280, 720)); }
    static void TearDownTestSuite() { closeTestContext(); }
    void SetUp() override
    {
        home = fs::current_path();
        dir = makeTempDir();
        fs::current_path(dir);
        writeBytes(dir / "data" / "Terminal8.tga", tgaFile(3, 256, 256, 8, topHalfOfCell33()));
        ASSERT_TRUE(buildFont(1280, 720));
    }
    void TearDown() override
    {
        deleteFont();
        fs::current_path(home);
        fs::remove_all(dir);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    static void pixelProjection()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 1280, 0, 720, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    fs::path home, dir;
};

TEST_F(Font, LoadsTheImageIntoTheDefaultTexture)
{
    EXPECT_EQ(fontState.texture, 0u);
    EXPECT_EQ(fontState.width, 1280u);
    EXPECT_EQ(fontState.height, 720u);
    glBindTexture(GL_TEXTURE_2D, 0);
    GLint width = 0, format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(width, 256);
    EXPECT_EQ(format, GL_ALPHA);
    for (GLuint k = 0; k < 256; ++k)
        ASSERT_TRUE(glIsList(fontState.listBase + k)) << k;
}

TEST_F(Font, EachListDrawsItsCellAsAFrontFacingQuad)
{
    pixelProjection();
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    for (GLuint k = 0; k < 256; ++k) {
        std::vector<CapturedGlyph> g = captureGlyphs([k] {
            glLoadIdentity();
            glCallList(fontState.listBase + k);
        });
        ASSERT_EQ(g.size(), 1u) << "list " << k << " culled or split";
        EXPECT_EQ(g[0].x0, 0.0f);
        EXPECT_EQ(g[0].x1, 16.0f);
        EXPECT_EQ(g[0].y0, 0.0f);
        EXPECT_EQ(g[0].y1, 16.0f);
        EXPECT_EQ(g[0].s0, float(k % 16) * 0.0625f) << k;
        EXPECT_EQ(g[0].s1, float(k % 16 + 1) * 0.0625f) << k;
        EXPECT_EQ(g[0].tAtBottom, float(k / 16 + 1) * 0.0625f) << k;
        EXPECT_EQ(g[0].tAtTop, float(k / 16) * 0.0625f) << k;
    }
    glDisable(GL_CULL_FACE);

    // The edges of the image: list 0 and list 255.
    std::vector<CapturedGlyph> first = captureGlyphs([] { glCallList(fontState.listBase); });
    std::vector<CapturedGlyph> last = captureGlyphs([] { glCallList(fontState.listBase + 255); });
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(first[0].s0, 0.0f);
    EXPECT_EQ(first[0].tAtBottom, 0.0625f);
    EXPECT_EQ(first[0].tAtTop, 0.0f);
    EXPECT_EQ(last[0].s0, 0.9375f);
    EXPECT_EQ(last[0].s1, 1.0f);
    EXPECT_EQ(last[0].tAtBottom, 1.0f);
    EXPECT_EQ(last[0].tAtTop, 0.9375f);
}

TEST_F(Font, CharacterSetsSelectCells)
{
    auto cellOf = [](int set, const char* text) {
        std::vector<CapturedGlyph> g = captureGlyphs([&] { printText(100, 100, set, "%s", text); });
        return g.size() == 1 ? g[0].cell() : -1;
    };
    EXPECT_EQ(cellOf(0, " "), 0);
    EXPECT_EQ(cellOf(0, "A"), 33);
    EXPECT_EQ(cellOf(1, " "), 128);
    EXPECT_EQ(cellOf(1, "A"), 161);
    EXPECT_EQ(cellOf(7, "A"), 161);
}

TEST_F(Font, PlacesTextFromTheTopLeftAndAdvancesEightPixels)
{
    std::vector<CapturedGlyph> g = captureGlyphs([] { printText(50, 100, 0, "AB%s", "CD"); });
    ASSERT_EQ(g.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(g[i].x0, 50.0f + 8 * float(i));
        EXPECT_EQ(g[i].y0, 620.0f);
        EXPECT_EQ(g[i].y1, 636.0f);
        EXPECT_EQ(g[i].cell(), 33 + int(i));
    }
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
    glViewport(0, 0, 1280, 720);
    ASSERT_EQ(g.size(), 255u);
    EXPECT_EQ(g.back().x0, 254.0f * 8);
    EXPECT_EQ(g.back().cell(), 'x' - 32);
}

TEST_F(Font, LeavesTheSameStateWhateverCameBefore)
{
    GLint listsBefore = 0;
    glGetIntegerv(GL_LIST_BASE, &listsBefore);
    for (bool on : {false, true}) {
        glBindTexture(GL_TEXTURE_2D, 5);
        (on ? glEnable : glDisable)(GL_DEPTH_TEST);
        (on ? glEnable : glDisable)(GL_LIGHTING);
        (on ? glEnable : glDisable)(GL_BLEND);
        (on ? glEnable : glDisable)(GL_TEXTURE_2D);
        glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
        glMatrixMode(on ? GL_PROJECTION : GL_TEXTURE);
        for (const char* text : {"Hi", ""}) {
            GLint projectionDepth = 0, modelviewDepth = 0;
            glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
            glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelviewDepth);
            printText(10, 20, 0, "%s", text);
            EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
            EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
            EXPECT_FALSE(glIsEnabled(GL_BLEND));
            EXPECT_EQ(bool(glIsEnabled(GL_TEXTURE_2D)), on);
            GLint value = -1;
            glGetIntegerv(GL_MATRIX_MODE, &value);
            EXPECT_EQ(value, GL_MODELVIEW);
            glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
            EXPECT_EQ(value, 0);
            glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &value);
            EXPECT_EQ(value, projectionDepth);
            glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &value);
            EXPECT_EQ(value, modelviewDepth);
            GLfloat colour[4] = {};
            glGetFloatv(GL_CURRENT_COLOR, colour);
            EXPECT_EQ(colour[1], 0.5f);
            (on ? glEnable : glDisable)(GL_DEPTH_TEST);
            (on ? glEnable : glDisable)(GL_LIGHTING);
            (on ? glEnable : glDisable)(GL_BLEND);
            glBindTexture(GL_TEXTURE_2D, 5);
        }
    }
    glDisable(GL_TEXTURE_2D);

    // A null format draws nothing and changes nothing.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    std::vector<CapturedGlyph> g = captureGlyphs([] { printText(10, 20, 0, nullptr); });
    EXPECT_TRUE(g.empty());
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    glDisable(GL_BLEND);
}

TEST_F(Font, DrawsTheTopOfEachGlyphFromItsFirstStoredRows)
{
    glViewport(0, 0, 1280, 720);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    printText(100, 200, 0, "A");
    printText(300, 200, 0, " ");
    glDisable(GL_TEXTURE_2D);
    glFinish();
    auto lit = [](int x, int y) {
        unsigned char p[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return p[0] > 200 && p[1] > 200 && p[2] > 200;
    };
    // The quad spans x 100..116 and window rows 520..536 from the bottom.
    EXPECT_TRUE(lit(108, 533));
    EXPECT_FALSE(lit(108, 523));
    EXPECT_FALSE(lit(308, 533));
    EXPECT_FALSE(lit(308, 523));
}

TEST(FontWithoutImage, StillBuildsItsListsAndDrawsUntextured)
{
    ASSERT_TRUE(openTestContext(1280, 720));
    fs::path home = fs::current_path();
    fs::path dir = makeTempDir();
    fs::current_path(dir);
    EXPECT_TRUE(buildFont(640, 480));
    fs::current_path(home);
    fs::remove_all(dir);
    EXPECT_EQ(fontState.width, 640u);
    EXPECT_EQ(fontState.height, 480u);
    EXPECT_TRUE(glIsList(fontState.listBase));
    EXPECT_TRUE(glIsList(fontState.listBase + 255));
    std::vector<CapturedGlyph> g = captureGlyphs([] { printText(0, 100, 0, "ok"); });
    EXPECT_EQ(g.size(), 2u);
    GLuint base = fontState.listBase;
    deleteFont();
    EXPECT_FALSE(glIsList(base));
    EXPECT_FALSE(glIsList(base + 255));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    closeTestContext();
}
