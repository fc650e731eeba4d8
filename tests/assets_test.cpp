// The generated textures and font image: road pieces that join their neighbours, a sky box without
// seams, and a usable glyph sheet.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "map/map.h"
#include "platform/platform.h"
#include "render/render.h"

namespace fs = std::filesystem;
using Texel = std::array<int, 3>;  // blue, green, red

static const fs::path dataDir = fs::path(KESTRA_RUN_DIR) / "Data";

static std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

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

static bool isAsphalt(const Texel& bgr) { return 0.11 * bgr[0] + 0.59 * bgr[1] + 0.3 * bgr[2] < 100; }

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
    std::vector<uint8_t> tga = readFile(dataDir / "Terminal8.tga");
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
