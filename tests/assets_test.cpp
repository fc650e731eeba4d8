// The generated textures and font image: reproducible, road pieces that join their neighbours,
// a sky box without seams, and a usable glyph sheet.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "map/map.h"
#include "platform/platform.h"

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

TEST(GeneratedAssets, TwoRunsWriteTheSameBytes)
{
    char a[] = "/tmp/kestra-assets-XXXXXX", b[] = "/tmp/kestra-assets-XXXXXX";
    ASSERT_TRUE(mkdtemp(a) && mkdtemp(b));
    const std::string tool = std::string(KESTRA_BINARY_DIR) + "/kestra-assets ";
    ASSERT_EQ(std::system((tool + a + "/Data").c_str()), 0);
    ASSERT_EQ(std::system((tool + b + "/Data").c_str()), 0);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(a) / "Data")) {
        ++files;
        std::vector<uint8_t> bytes = readFile(entry.path());
        EXPECT_FALSE(bytes.empty());
        EXPECT_TRUE(bytes == readFile(fs::path(b) / "Data" / entry.path().filename())) << entry.path().filename();
    }
    EXPECT_EQ(files, 32);
    fs::remove_all(a);
    fs::remove_all(b);
}

// The texels along the edge of a road picture that meets the neighbour on side, 256 samples ordered
// by the coordinate both tiles share. The ground square puts s = 1 at its east edge and t = 1 at its
// north edge, s running opposite to the columns' direction.
static std::vector<Texel> edgeTexels(const Bitmap& b, unsigned side)
{
    std::vector<Texel> out;
    for (int k = 0; k < 256; ++k) {
        double along = (k + 0.5) / 256;
        if (side == roadN || side == roadS)
            out.push_back(texel(b, int((1 - along) * b.width), side == roadN ? b.height : 0));
        else
            out.push_back(texel(b, side == roadE ? b.width : 0, int(along * b.height)));
    }
    return out;
}

TEST(GeneratedAssets, RoadPiecesShowRoadExactlyOnTheSidesTheirNamesList)
{
    // The first edge seen for each side with and without road, to compare every other piece against.
    std::map<std::pair<unsigned, bool>, std::vector<Texel>> reference;
    for (unsigned mask = 0; mask < 16; ++mask) {
        std::string name = std::string("Road") + (mask & roadN ? "N" : "") + (mask & roadS ? "S" : "") +
                           (mask & roadE ? "E" : "") + (mask & roadW ? "W" : "") + ".bmp";
        SCOPED_TRACE(name);
        Bitmap b = loadGenerated(name);
        ASSERT_GT(b.width, 0);
        for (unsigned side : {roadN, roadS, roadE, roadW}) {
            SCOPED_TRACE(side);
            std::vector<Texel> edge = edgeTexels(b, side);
            int dark = 0, left = 0, right = 0;
            for (int k = 0; k < 256; ++k) {
                dark += isAsphalt(edge[k]);
                left += k >= 70 && k < 120 && isAsphalt(edge[k]);
                right += k >= 136 && k < 186 && isAsphalt(edge[k]);
            }
            bool road = (mask & side) != 0;
            EXPECT_EQ(dark >= 100 && left >= 40 && right >= 40, road) << "road through the middle of the edge";
            EXPECT_TRUE(road || dark == 0);
            auto [known, fresh] = reference.try_emplace({side, road}, edge);
            EXPECT_TRUE(fresh || known->second == edge) << "every piece shows the same edge on this side";
        }
    }
    // Across a shared edge the asphalt spans the same stretch on both tiles (paint may differ: a dash can
    // end right at the edge).
    auto span = [](const std::vector<Texel>& e) {
        return std::pair{std::find_if(e.begin(), e.end(), isAsphalt) - e.begin(),
                         std::find_if(e.rbegin(), e.rend(), isAsphalt) - e.rbegin()};
    };
    EXPECT_EQ(span(reference[{roadN, true}]), span(reference[{roadS, true}]));
    EXPECT_EQ(span(reference[{roadE, true}]), span(reference[{roadW, true}]));
}

// The sky box faces as the frame draws them, each by its corners at (s, t) = (0, 0), (1, 0) and (0, 1).
constexpr double S = 360, B = -180, T = 181;
static const double skyFaces[6][3][3] = {
    {{-S, B, S}, {S, B, S}, {-S, T, S}},   {{S, B, S}, {S, B, -S}, {S, T, S}},
    {{S, B, -S}, {-S, B, -S}, {S, T, -S}}, {{-S, B, -S}, {-S, B, S}, {-S, T, -S}},
    {{-S, T, S}, {S, T, S}, {-S, T, -S}},  {{-S, B, -S}, {S, B, -S}, {-S, B, S}},
};

// (s, t) of point p on face, if p lies on it (the faces' axes are perpendicular).
static bool faceCoord(int face, const double p[3], double st[2])
{
    const double(*c)[3] = skyFaces[face];
    double off = 0;
    for (int i = 0; i < 2; ++i) {
        double dot = 0, length = 0;
        for (int k = 0; k < 3; ++k) {
            dot += (p[k] - c[0][k]) * (c[i + 1][k] - c[0][k]);
            length += (c[i + 1][k] - c[0][k]) * (c[i + 1][k] - c[0][k]);
        }
        st[i] = dot / length;
        off += std::fabs(st[i] - std::clamp(st[i], 0.0, 1.0));
    }
    for (int k = 0; k < 3; ++k)
        off += std::fabs(p[k] - c[0][k] - st[0] * (c[1][k] - c[0][k]) - st[1] * (c[2][k] - c[0][k]));
    return off < 1e-6;
}

TEST(GeneratedAssets, SkyFacesAgreeAlongEverySharedEdge)
{
    Bitmap faces[6];
    for (int f = 0; f < 6; ++f) {
        faces[f] = loadGenerated("sky_" + std::to_string(f) + ".bmp");
        ASSERT_GT(faces[f].width, 0);
    }
    auto at = [&](int f, double s, double t) {
        return texel(faces[f], int(std::lround(s * (faces[f].width - 1))), int(std::lround(t * (faces[f].height - 1))));
    };
    for (int f = 0; f < 6; ++f) {
        const int n = faces[f].width;
        for (int edge = 0; edge < 4; ++edge) {
            int matches = 0, worst = 0;
            for (int k = 0; k < n; ++k) {
                double along = double(k) / (n - 1), fixed = edge % 2;
                double s = edge < 2 ? along : fixed, t = edge < 2 ? fixed : along, p[3], st[2];
                for (int c = 0; c < 3; ++c)
                    p[c] = skyFaces[f][0][c] + s * (skyFaces[f][1][c] - skyFaces[f][0][c]) +
                           t * (skyFaces[f][2][c] - skyFaces[f][0][c]);
                for (int g = 0; g < 6; ++g) {
                    if (g == f || !faceCoord(g, p, st))
                        continue;
                    Texel mine = at(f, s, t), theirs = at(g, st[0], st[1]);
                    for (int c = 0; c < 3; ++c)
                        worst = std::max(worst, std::abs(mine[c] - theirs[c]));
                    ++matches;
                }
            }
            EXPECT_TRUE(matches >= n && worst <= 2)
                << "face " << f << " edge " << edge << ": " << matches << " texels meet another face, worst difference " << worst;
        }
    }
}

TEST(GeneratedAssets, FontSheetHoldsTwoGlyphSetsTopsFirst)
{
    std::vector<uint8_t> tga = readFile(dataDir / "Terminal8.tga");
    ASSERT_EQ(tga.size(), 18u + 256 * 256);
    // No image ID, no colour map, uncompressed grey-scale, 256 x 256, 8 bits.
    EXPECT_EQ(std::vector<int>({tga[0], tga[1], tga[2], tga[12] | tga[13] << 8, tga[14] | tga[15] << 8, tga[16]}),
              std::vector<int>({0, 0, 3, 256, 256, 8}));
    // Ink of cell k in columns x0..x1 and rows y0..y1; cell row k / 16 counts from the first stored row.
    auto ink = [&](int cell, int x0, int x1, int y0, int y1) {
        int sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                sum += tga[18 + size_t(((cell / 16) * 16 + y) * 256 + (cell % 16) * 16 + x)] ? 1 : 0;
        return sum;
    };
    auto whole = [&](int cell) { return ink(cell, 0, 16, 0, 16); };
    for (int cell = 0; cell < 256; ++cell) {
        SCOPED_TRACE(cell);
        int byte = cell < 128 ? cell + 32 : cell - 96;
        EXPECT_EQ(whole(cell) > 0, byte > 32 && byte < 127) << "only printable glyphs but space have ink";
        EXPECT_EQ(ink(cell, 8, 16, 0, 16), 0) << "glyphs stay in the left 8 pixels";
        EXPECT_TRUE(cell < 128 || whole(cell) >= whole(cell - 128)) << "set 1 is the bolder one";
    }
    // Tops first: an underscore has its ink only in the later rows, a caret only in the earlier.
    EXPECT_TRUE(ink('_' - 32, 0, 8, 0, 8) == 0 && ink('_' - 32, 0, 8, 8, 16) > 0);
    EXPECT_TRUE(ink('^' - 32, 0, 8, 0, 8) > 0 && ink('^' - 32, 0, 8, 9, 16) == 0);
}
