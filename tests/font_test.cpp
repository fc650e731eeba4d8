// The TGA reader, the bitmap font, the text printer and the statistics display against a real Mesa context,
// glyph quads decoded by GL feedback.
#include <sys/stat.h>

#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "tests/support/text_fixture.h"
#include "text/text.h"

using Font = TextTest;

TEST_F(Font, PrintsEachByteAsItsCellUprightEightPixelsOnUpTo255BytesLeavingTheSameState)
{
    deleteFont();  // wide enough that no glyph of a 255-byte text is clipped away
    ASSERT_TRUE(buildFont(4096, 720));
    glViewport(0, 0, 4096, 720);
    glEnable(GL_CULL_FACE);  // the quads face the viewer
    std::string bytes;
    for (int b = 32; b < 256; ++b)
        bytes += char(b);
    // Set, text and the cell of its first byte: set 0 puts byte 32 in cell 0, any other set in cell 128; bytes past
    // cell 255 draw nothing, and text is cut at 255 bytes. The state before differs from row to row; the printer
    // leaves the same state after.
    for (auto [set, text, first, on] : {std::tuple{0, bytes + bytes, 0, false}, {1, bytes.substr(0, 128), 128, true},
                                        {7, bytes.substr(96), 224, false}, {0, std::string(), 0, true}}) {
        SCOPED_TRACE(testing::Message() << "set " << set << ", " << text.size() << " bytes");
        for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_BLEND, GL_TEXTURE_2D})
            (on ? glEnable : glDisable)(cap);
        glBindTexture(GL_TEXTURE_2D, 5);
        glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
        glMatrixMode(on ? GL_PROJECTION : GL_TEXTURE);
        const GLint projection = getInt(GL_PROJECTION_STACK_DEPTH), modelview = getInt(GL_MODELVIEW_STACK_DEPTH);
        std::vector<CapturedGlyph> g = captureGlyphs([&] { printText(50, 100, set, "%s", text.c_str()); });
        ASSERT_EQ(g.size(), std::min<size_t>({text.size(), 255, size_t(256 - first)}));
        // Each quad hangs 16 pixels square from the top-left, its cell upright: the first stored row on top.
        for (size_t i = 0; i < g.size(); ++i)
            EXPECT_EQ((std::vector<float>{g[i].x0, g[i].x1 - g[i].x0, g[i].y0, g[i].y1, g[i].s1 - g[i].s0,
                                          g[i].tAtBottom - g[i].tAtTop, float(g[i].cell())}),
                      (std::vector<float>{50 + 8.0f * i, 16, 620, 636, 0.0625f, 0.0625f, float(first + i % 224)}))
                << "glyph " << i;
        // Depth test, lighting, blending, texturing; matrix mode, texture, stack depths; the caller's colour.
        EXPECT_EQ(std::vector<GLint>({glIsEnabled(GL_DEPTH_TEST), glIsEnabled(GL_LIGHTING), glIsEnabled(GL_BLEND),
                                      glIsEnabled(GL_TEXTURE_2D), getInt(GL_MATRIX_MODE), getInt(GL_TEXTURE_BINDING_2D),
                                      getInt(GL_PROJECTION_STACK_DEPTH), getInt(GL_MODELVIEW_STACK_DEPTH),
                                      GLint(floats(GL_CURRENT_COLOR, 2)[1] * 4)}),
                  std::vector<GLint>({1, 1, 0, on, GL_MODELVIEW, 0, projection, modelview, 2}));
    }
    // A null format draws nothing and changes nothing.
    glEnable(GL_BLEND);
    EXPECT_TRUE(captureGlyphs([] { printText(10, 20, 0, nullptr); }).empty());
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

TEST_F(Font, WithoutItsImageSaysWhyAndStillBuildsListsAndDrawsUntextured)
{
    const fs::path font = dir / "data" / "Terminal8.tga";
    for (auto [fifo, reason] : {std::pair{true, "not a regular file"}, {false, "No such file or directory"}}) {
        deleteFont();
        fs::remove(font);
        if (fifo)
            mkfifo(font.c_str(), 0644);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(buildFont(640, 480));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("data/Terminal8.tga: ") + reason + "; the text is drawn without its font\n");
    }
    EXPECT_EQ(captureGlyphs([] { printText(0, 100, 0, "ok"); }).size(), 2u);
}

// One decoded statistics line: its colour, the window position of its first quad, its character set and its text.
struct HudLine {
    bool red = false;
    float x = 0, bottom = 0;  // window pixels, counted from the bottom edge
    int set = 0;
    std::string text;
};

// Glyphs of one colour on one baseline make a line; cells 128 and up are set 1 (byte + 96).
static std::vector<HudLine> decodeStatDisplay(int fps)
{
    std::vector<HudLine> lines;
    for (const CapturedGlyph& g : captureGlyphs([fps] { drawStatDisplay(fps); })) {
        int cell = g.cell();
        if (lines.empty() || lines.back().red != (g.red == 1.0f) || lines.back().bottom != g.y0)
            lines.push_back({g.red == 1.0f, g.x0, g.y0, cell >= 128 ? 1 : 0, ""});
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
    std::tie(windowWidth, windowHeight) = std::pair(1280, 720);
    const std::string want[13] = {
        windowTitle, "FPS:    60", "xpos:   30.00", "ypos:   -1.50", "zpos: 2016.00", "yrot:  180.00 degs (3.14 rads)",
        "turn:    0.0000", "accel:  -0.2500", "FOV:     60", "[F1] Mode: FULLSCREEN (1280x720)", "[F2] VSYNC: ON",
        "[Page Up/Down] Fly", "[Insert] Stat Display toggle",
    };
    // Each red line's baseline, counted down from the top edge; its black shadow lies one pixel right and down.
    const float baseline[13] = {20, 42, 52, 63, 74, 85, 96, 107, 118, 129, 140, 151, 162};
    std::vector<HudLine> lines = decodeStatDisplay(60);
    ASSERT_EQ(lines.size(), 26u);
    for (size_t i = 0; i < 26; ++i) {
        const float shadow = i < 13;  // 1 in the black pass
        const size_t k = i % 13;
        EXPECT_EQ(std::vector<float>({float(lines[i].red), lines[i].x, lines[i].bottom, float(lines[i].set)}),
                  std::vector<float>({1 - shadow, 11 + shadow, 720 - baseline[k] - shadow, float(k == 0)}))
            << i;
        EXPECT_EQ(lines[i].text, want[k]);
    }

    viewSettings.fullscreen = viewSettings.vsync = 0;
    lines = decodeStatDisplay(60);
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines[22].text + lines[23].text, "[F1] Mode: WINDOW (1280x720)[F2] VSYNC: OFF");
    // With the statistics off only the title and the rate remain, in both passes.
    viewSettings.showStats = 0;
    lines = decodeStatDisplay(60);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].text, "FPS:    60");
}

using Bytes = std::vector<unsigned char>;

// Counting bytes 0, 1, 2, ... (wrapping at 256) as stored; with swap, the first and third of every swap bytes
// exchanged, as the reader turns BGR(A) into RGB(A).
static Bytes counting(size_t n, size_t swap = 0)
{
    Bytes v(n);
    std::iota(v.begin(), v.end(), 0);
    for (size_t i = 0; swap && i < n; i += swap)
        std::swap(v[i], v[i + 2]);
    return v;
}

static GLint envMode() { GLint v = 0; glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &v); return v; }

using TgaLoad = TextTest;

TEST_F(TgaLoad, RejectionsMakeNoGlCallAndEachDepthUploadsWithRepeatLinearAndModulate)
{
    // Every GL call of the reader comes after its checks: a rejection leaves the bound texture and the store.
    // The checks go type, sides, depth, pixels (openDataFile's refusal of FIFOs and devices is tested with it).
    glBindTexture(GL_TEXTURE_2D, 20);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    const std::tuple<const char*, Bytes, int> rejected[] = {
        {"missing", {}, tgaCannotOpen},
        {"17 bytes", counting(17), tgaShortHeader},
        {"rle", tgaFile(10, 3, 3, 16), tgaBadType},
        {"colourmap", tgaFile(2, 4, 4, 8, {}, 0, 1), tgaBadType},
        {"3x4", tgaFile(2, 3, 4, 16), tgaBadSide},
        {"4x1024", tgaFile(2, 4, 1024, 32), tgaBadSide},
        {"depth16", tgaFile(2, 4, 4, 16), tgaBadDepth},
        {"one byte short", tgaFile(2, 4, 4, 32, counting(63)), tgaShortPixels},
        {"pixels past a long image ID", tgaFile(3, 2, 2, 8, {}, 200), tgaShortPixels},
    };
    for (const auto& [name, bytes, code] : rejected) {
        if (code != tgaCannotOpen)
            writeBytes(dir / name, bytes);
        EXPECT_EQ(loadTgaTexture((dir / name).c_str(), 21), code) << name;
    }
    EXPECT_EQ(std::tuple(getInt(GL_TEXTURE_BINDING_2D), glIsTexture(21), getInt(GL_UNPACK_ALIGNMENT)),
              std::tuple(20, GL_FALSE, 8));

    // Each file read-only, as the font may be installed where it cannot be written. Name, file, texture name,
    // format and bytes read back. A 512 x 2 picture reads 2 x 512 with the sides' bytes swapped; two 24-bit
    // pixels make six-byte rows, which any unpack alignment but 1 would shift. 8-bit files keep their rows in
    // stored order whatever the origin bit says, and skip the image ID and the footer.
    const std::tuple<const char*, Bytes, GLuint, GLenum, Bytes> cases[] = {
        {"32-bit", tgaFile(2, 512, 2, 32, counting(4096)), 7, GL_RGBA, counting(4096, 4)},
        {"24-bit", tgaFile(2, 2, 4, 24, counting(24)), 8, GL_RGB, counting(24, 3)},
        {"8-bit type 2", tgaFile(2, 2, 2, 8, counting(4)), 9, GL_ALPHA, counting(4)},
        {"8-bit type 3 into the default texture", tgaFile(3, 2, 2, 8, counting(30), 5, 0, 0x28), 0, GL_ALPHA,
         counting(4)},
    };
    for (const auto& [name, bytes, texture, format, want] : cases) {
        SCOPED_TRACE(name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        writeBytes(dir / name, bytes);
        ASSERT_EQ(chmod((dir / name).c_str(), 0444), 0);
        ASSERT_EQ(loadTgaTexture(name, texture), tgaLoaded);
        EXPECT_EQ((std::vector{getInt(GL_TEXTURE_BINDING_2D), getInt(GL_UNPACK_ALIGNMENT), envMode(),
                               texInt(GL_TEXTURE_WRAP_S), texInt(GL_TEXTURE_WRAP_T),
                               texInt(GL_TEXTURE_MAG_FILTER), texInt(GL_TEXTURE_MIN_FILTER),
                               levelInt(GL_TEXTURE_INTERNAL_FORMAT), levelInt(GL_TEXTURE_WIDTH)}),
                  (std::vector<GLint>{GLint(texture), 1, GL_MODULATE, GL_REPEAT, GL_REPEAT, GL_LINEAR, GL_LINEAR,
                                      GLint(format), bytes[12] + 256 * bytes[13]}));
        const int bytesPerPixel = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1;  // sized to what GL writes
        Bytes got(size_t(levelInt(GL_TEXTURE_WIDTH) * levelInt(GL_TEXTURE_HEIGHT) * bytesPerPixel));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, got.data());
        EXPECT_EQ(got, want);
    }
}
