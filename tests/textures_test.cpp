// The generated textures and font image (road pieces that join their neighbours, a sky box without seams, a
// usable glyph sheet), and the texture loader against a real Mesa context: the generated set and BMP depths.
#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "map/map.h"
#include "platform/platform.h"
#include "render/render.h"
#include "tests/support/text_fixture.h"

using Bytes = std::string;  // file contents and texels
using Textures = TextTest;  // a context, run from a fresh temporary folder


// Blue, green, red of the test picture's pixel (x, y), y = 0 the top row; 5 x 3 so that 24-bit rows need padding.
constexpr int picW = 5, picH = 3;
static Bytes bgr(int x, int y) { return {char((x * 3 + y) * 13), char(70 * y + 20), char(40 * x + 10)}; }

// An uncompressed BMP of the test picture at depth 8 (a palette listing the colours in reverse pixel order,
// so that indices are not the identity), 24 or 32; topDown stores the top row first (negative height).
static Bytes testBmp(int depth, bool topDown = false)
{
    const uint32_t palette = depth == 8 ? picW * picH : 0, rowBytes = (picW * depth / 8 + 3) & ~3,
                   offset = 54 + palette * 4;
    Bytes b = {'B', 'M'};
    for (auto [value, size] : {std::pair{offset + rowBytes * picH, 4}, {0, 4}, {offset, 4}, {40, 4}, {picW, 4},
                               {topDown ? uint32_t(-picH) : picH, 4}, {1, 2}, {uint32_t(depth), 2}, {0, 4},
                               {rowBytes * picH, 4}, {2835, 4}, {2835, 4}, {palette, 4}, {0, 4}})
        for (int i = 0; i < size; ++i)
            b += char(value >> (8 * i));
    for (uint32_t k = palette; k-- > 0;)
        b += bgr(int(k) % picW, int(k) / picW) + '\0';
    for (int stored = 0; stored < picH; ++stored) {
        int y = topDown ? stored : picH - 1 - stored;
        size_t start = b.size();
        for (int x = 0; x < picW; ++x)
            b += depth == 8 ? Bytes(1, char(palette - 1 - uint32_t(y * picW + x)))
                            : bgr(x, y) + Bytes(depth / 8 - 3, '\0');
        b.resize(start + rowBytes, 0);
    }
    return b;
}

// The palette, 32-bit and top-down files give the same texels as the 24-bit one; a cut or missing file fails
// cleanly (how far a header lets a reader go is tested with the BMP layout). Then the generated set, loaded
// twice.
TEST_F(Textures, BmpDepthsLoadAlikeCorruptFilesFailCleanlyAndTheGeneratedSetLoadsIntoFreshNamesLastSkyFaceBound)
{
    Bytes expected, truncated = testBmp(24);
    for (int i = 0; i < picW * picH; ++i)  // texture row 0 is the bottom of the picture
        expected += bgr(i % picW, picH - 1 - i / picW);
    truncated.resize(truncated.size() - 20);
    for (auto [name, bytes, loads] : {std::tuple{"rgb24.bmp", testBmp(24), true}, {"palette8.bmp", testBmp(8), true},
                                      {"xrgb32.bmp", testBmp(32), true}, {"topdown24.bmp", testBmp(24, true), true},
                                      {"truncated.bmp", truncated, false}, {"absent.bmp", Bytes{}, false}}) {
        SCOPED_TRACE(name);
        if (loads || bytes.size())
            std::ofstream(dir / name, std::ios::binary) << bytes;
        GLuint slot = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(loadBmpTexture(name, slot), loads);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the loader itself shows nothing";
        EXPECT_NE(slot, 0u) << "the name is generated before reading";
        if (!loads)
            continue;
        glBindTexture(GL_TEXTURE_2D, slot);
        EXPECT_EQ((std::pair{levelInt(GL_TEXTURE_WIDTH), levelInt(GL_TEXTURE_HEIGHT)}), std::pair(picW, picH));
        Bytes texels(expected.size(), 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_EQ(texels, expected);
    }

    fs::current_path(KESTRA_RUN_DIR);
    TextureTable before{};
    for (int opening = 0; opening < 2; ++opening) {  // a second opening loads everything again into new names
        ASSERT_TRUE(loadAllTextures());
        EXPECT_EQ(GLuint(getInt(GL_TEXTURE_BINDING_2D)), textureTable[skySlot5]);
        for (size_t slot = 0; slot < textureTable.size(); ++slot) {
            SCOPED_TRACE(slot);
            const GLuint name = textureTable[slot];
            EXPECT_TRUE(glIsTexture(name) && name != before[slot]);
            EXPECT_EQ(std::count(textureTable.begin(), textureTable.end(), name), 1);
            glBindTexture(GL_TEXTURE_2D, name);
            const GLint width = levelInt(GL_TEXTURE_WIDTH), height = levelInt(GL_TEXTURE_HEIGHT);
            // Sides powers of two, at least 256 wide; three components, no mipmaps, linear both ways.
            EXPECT_EQ((std::vector{GLint(width >= 256 && !(width & (width - 1)) && !(height & (height - 1))),
                                   levelInt(GL_TEXTURE_INTERNAL_FORMAT), levelInt(GL_TEXTURE_WIDTH, 1),
                                   texInt(GL_TEXTURE_MIN_FILTER), texInt(GL_TEXTURE_MAG_FILTER)}),
                      (std::vector<GLint>{1, 3, 0, GL_LINEAR, GL_LINEAR}))
                << width << "x" << height;
        }
        before = textureTable;
    }
}

using Texel = std::array<int, 3>;  // blue, green, red

static const fs::path dataDir = fs::path(KESTRA_RUN_DIR) / "Data";

static Bitmap loadGenerated(const std::string& name)
{
    Bitmap bitmap;
    EXPECT_TRUE(loadBitmap((dataDir / name).c_str(), &bitmap)) << name;
    return bitmap;
}

// The texel at column x and texture row y (row 0 at t = 0), clamped to the image.
static Texel texel(const Bitmap& b, int x, int y)
{
    x = std::clamp(x, 0, b.width - 1), y = std::clamp(y, 0, b.height - 1);
    const uint8_t* p = &b.bits[((size_t(b.width) * 3 + 3) & ~size_t(3)) * size_t(y) + size_t(x) * 3];
    return {p[0], p[1], p[2]};
}

static bool isAsphalt(const Texel& t) { return 0.11 * t[0] + 0.59 * t[1] + 0.3 * t[2] < 100; }

// Every piece shows the same edge on a side, with road where its name lists the side and none elsewhere;
// every road edge has the same stretch of asphalt, centred, so that roads join. The edge is sampled 256
// times, ordered by the coordinate both tiles share: the ground square puts s = 1 at its east edge and
// t = 1 at its north edge, s running opposite to the columns.
TEST(GeneratedAssets, RoadPiecesShowRoadExactlyOnTheSidesTheirNamesList)
{
    std::map<std::pair<unsigned, bool>, std::vector<Texel>> reference;  // the first edge of each kind
    std::set<std::pair<long, long>> spans;  // asphalt texels before the first and after the last
    for (unsigned mask = 0; mask < 16; ++mask) {
        const std::string name = fs::path(textureFiles[roadBase + mask]).filename();
        Bitmap b = loadGenerated(name);
        ASSERT_GT(b.width, 0);
        for (unsigned side : {roadN, roadS, roadE, roadW}) {
            std::vector<Texel> edge;
            for (double along = 0.5 / 256; along < 1; along += 1.0 / 256)
                edge.push_back(side == roadN || side == roadS
                                   ? texel(b, int((1 - along) * b.width), side == roadN ? b.height : 0)
                                   : texel(b, side == roadE ? b.width : 0, int(along * b.height)));
            std::pair<long, long> span{std::find_if(edge.begin(), edge.end(), isAsphalt) - edge.begin(),
                                       std::find_if(edge.rbegin(), edge.rend(), isAsphalt) - edge.rbegin()};
            const char letter = side == roadN ? 'N' : side == roadS ? 'S' : side == roadE ? 'E' : 'W';
            const bool road = name.find(letter, 4) != std::string::npos;
            EXPECT_EQ(road, (mask & side) != 0) << name << " is type " << roadBase + mask;
            const long dark = std::count_if(edge.begin(), edge.end(), isAsphalt);
            EXPECT_TRUE(road ? dark >= 100 && span.first == span.second : dark == 0) << name << " side " << side;
            if (road)
                spans.insert(span);
            auto [known, fresh] = reference.try_emplace({side, road}, edge);
            EXPECT_TRUE(fresh || known->second == edge) << name << " side " << side;
        }
    }
    EXPECT_EQ(spans.size(), 1u);
}

// Every texel on the edge of a sky face, by the point of the box it lies on: the faces as the frame draws
// them, point(s, t) = origin + s * sAxis + t * tAxis, must meet with the same colours along every edge.
TEST(GeneratedAssets, SkyFacesAgreeAlongEverySharedEdge)
{
    std::map<std::array<long, 3>, std::vector<Texel>> points;  // in thousandths of a unit
    for (int f = 0; f < 6; ++f) {
        Bitmap face = loadGenerated(fs::path(textureFiles[skyFaces[f].slot]).filename());
        const SkyFrame box = skyFaceFrame(f);
        const int last = face.width - 1;
        ASSERT_TRUE(last > 0 && face.height == face.width);
        for (int edge = 0; edge < 4; ++edge)
            for (int k = 0; k <= last; ++k) {
                int i = edge < 2 ? k : last * (edge % 2), j = edge < 2 ? last * (edge % 2) : k;
                std::array<long, 3> point;
                for (int c = 0; c < 3; ++c)
                    point[c] = std::lround(1000 * (box.origin[c] + box.sAxis[c] * i / last + box.tAxis[c] * j / last));
                points[point].push_back(texel(face, i, j));
            }
    }
    int alone = 0, worst = 0;
    for (const auto& [point, texels] : points) {
        alone += texels.size() < 2;
        for (const Texel& other : texels)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(other[c] - texels[0][c]));
    }
    EXPECT_EQ(alone, 0) << "edge texels that meet no other face";
    EXPECT_LE(worst, 2) << "the largest difference of texels that meet";
}

// Cells of 16 x 16 pixels, 16 to a row, rows from the first stored: set 0 for bytes 32..159, then set 1.
TEST(GeneratedAssets, FontSheetHoldsTwoGlyphSetsTopsFirst)
{
    std::ifstream in(dataDir / "Terminal8.tga", std::ios::binary);
    const std::vector<uint8_t> tga(std::istreambuf_iterator<char>(in), {});
    ASSERT_EQ(tga.size(), 18u + 256 * 256);
    // Ink of cell k in columns x0..x1 and rows y0..y1.
    auto ink = [&](int cell, int x0, int x1, int y0, int y1) {
        int sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                sum += tga[18 + size_t(((cell / 16) * 16 + y) * 256 + (cell % 16) * 16 + x)] ? 1 : 0;
        return sum;
    };
    auto whole = [&](int cell) { return ink(cell, 0, 16, 0, 16); };
    for (int cell = 0; cell < 256; ++cell) {
        int byte = cell < 128 ? cell + 32 : cell - 96;
        EXPECT_EQ(whole(cell) > 0, byte > 32 && byte < 127) << cell << ": only printable glyphs but space have ink";
        EXPECT_EQ(ink(cell, 8, 16, 0, 16), 0) << cell << ": glyphs stay in the left 8 pixels";
        EXPECT_TRUE(cell < 128 || whole(cell) >= whole(cell - 128)) << cell << ": set 1 is the bolder one";
    }
    // Tops first: an underscore has its ink only in the later rows, a caret only in the earlier.
    EXPECT_TRUE(ink('_' - 32, 0, 8, 0, 8) == 0 && ink('_' - 32, 0, 8, 8, 16) > 0);
    EXPECT_TRUE(ink('^' - 32, 0, 8, 0, 8) > 0 && ink('^' - 32, 0, 8, 9, 16) == 0);
}
