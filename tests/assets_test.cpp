// The generated textures and font image: reproducible, road pieces that join their neighbours,
// a sky box without seams, and a usable glyph sheet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
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

namespace {

const fs::path dataDir = fs::path(KESTRA_RUN_DIR) / "Data";

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

Bitmap loadGenerated(const std::string& name)
{
    Bitmap bitmap;
    EXPECT_TRUE(loadBitmap((dataDir / name).c_str(), &bitmap)) << name;
    return bitmap;
}

// Blue, green, red of the texel at column x, texture row y (row 0 at t = 0).
std::array<int, 3> texel(const Bitmap& b, int x, int y)
{
    size_t stride = (size_t(b.width) * 3 + 3) & ~size_t(3);
    const uint8_t* p = &b.bits[stride * y + size_t(x) * 3];
    return {p[0], p[1], p[2]};
}

std::string roadName(unsigned mask)
{
    std::string name = "Road";
    if (mask & roadN)
        name += 'N';
    if (mask & roadS)
        name += 'S';
    if (mask & roadE)
        name += 'E';
    if (mask & roadW)
        name += 'W';
    return name + ".bmp";
}

// The ground square as the tile lists draw it: (s, t) at each corner's local (x, z).
struct Corner {
    double s, t, x, z;
};
const Corner groundSquare[4] = {{1, 1, -6, 6}, {0, 1, 6, 6}, {0, 0, 6, -6}, {1, 0, -6, -6}};

// Texture coordinates of a local ground point, by interpolating the square's corners.
void groundTexCoord(double x, double z, double* s, double* t)
{
    // The square is axis-aligned: s follows x and t follows z linearly.
    const Corner& a = groundSquare[2];  // (0, 0)
    const Corner& sEnd = groundSquare[3];  // s = 1, same t
    const Corner& tEnd = groundSquare[1];  // t = 1, same s
    *s = a.s + (x - a.x) / (sEnd.x - a.x) * (sEnd.s - a.s);
    *t = a.t + (z - a.z) / (tEnd.z - a.z) * (tEnd.t - a.t);
}

// Where the frame places the local origin of tile (row, column), relative to the eye (x, z).
void tileOrigin(int row, int column, double* x, double* z)
{
    const double camX = 1000, camZ = 1000;
    *x = camX - tileSize * column - 6;
    *z = camZ - tileSize * row - 6;
}

struct Neighbour {
    unsigned bit;
    int dRow, dColumn;
    unsigned opposite;
};
// The map's meaning of the road sides.
const Neighbour neighbours[4] = {
    {roadN, -1, 0, roadS}, {roadS, 1, 0, roadN}, {roadE, 0, 1, roadW}, {roadW, 0, -1, roadE}};

// The texels along the edge of a road picture that touches the given neighbour, sampled at 256
// points ordered by the coordinate the two tiles share (local x for a row neighbour, z otherwise).
std::vector<std::array<int, 3>> edgeTexels(const Bitmap& b, const Neighbour& n)
{
    double ox, oz, nx, nz;
    tileOrigin(50, 50, &ox, &oz);
    tileOrigin(50 + n.dRow, 50 + n.dColumn, &nx, &nz);
    // The shared edge lies halfway between the two tiles' centres.
    double midX = (nx - ox) / 2, midZ = (nz - oz) / 2;
    std::vector<std::array<int, 3>> out;
    for (int k = 0; k < 256; ++k) {
        double along = -6 + 12 * (k + 0.5) / 256;
        double x = n.dRow != 0 ? along : midX, z = n.dRow != 0 ? midZ : along;
        double s, t;
        groundTexCoord(x, z, &s, &t);
        int column = std::min(b.width - 1, int(s * b.width));
        int row = std::min(b.height - 1, int(t * b.height));
        out.push_back(texel(b, column, row));
    }
    return out;
}

bool isAsphalt(const std::array<int, 3>& bgr)
{
    return 0.11 * bgr[0] + 0.59 * bgr[1] + 0.3 * bgr[2] < 100;
}

}  // namespace

TEST(GeneratedAssets, TwoRunsWriteTheSameBytes)
{
    char patternA[] = "/tmp/kestra-assets-XXXXXX", patternB[] = "/tmp/kestra-assets-XXXXXX";
    ASSERT_NE(mkdtemp(patternA), nullptr);
    ASSERT_NE(mkdtemp(patternB), nullptr);
    const std::string tool = std::string(KESTRA_BINARY_DIR) + "/kestra-assets";
    ASSERT_EQ(std::system((tool + " " + patternA + "/Data").c_str()), 0);
    ASSERT_EQ(std::system((tool + " " + patternB + "/Data").c_str()), 0);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(patternA) / "Data")) {
        SCOPED_TRACE(entry.path().filename());
        ++files;
        std::vector<uint8_t> a = readFile(entry.path());
        EXPECT_FALSE(a.empty());
        EXPECT_TRUE(a == readFile(fs::path(patternB) / "Data" / entry.path().filename()));
    }
    EXPECT_EQ(files, 32);
    fs::remove_all(patternA);
    fs::remove_all(patternB);
}

TEST(GeneratedAssets, TexturesAreUncompressedTwentyFourBitWithPowerOfTwoSides)
{
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dataDir)) {
        if (entry.path().extension() != ".bmp")
            continue;
        SCOPED_TRACE(entry.path().filename());
        ++count;
        std::vector<uint8_t> b = readFile(entry.path());
        ASSERT_GE(b.size(), 54u);
        auto at32 = [&](size_t i) { return int32_t(b[i] | b[i + 1] << 8 | b[i + 2] << 16 | uint32_t(b[i + 3]) << 24); };
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(b[28] | b[29] << 8, 24);
        EXPECT_EQ(at32(30), 0) << "no compression";
        int width = at32(18), height = at32(22);
        EXPECT_GE(width, 256);
        EXPECT_GE(height, 256);
        EXPECT_EQ(width & (width - 1), 0);
        EXPECT_EQ(height & (height - 1), 0);
    }
    EXPECT_EQ(count, 31);
}

TEST(GeneratedAssets, RoadPiecesShowRoadExactlyOnTheSidesTheirNamesList)
{
    // edges[side][hasRoad] holds the first edge seen, to compare every other piece against.
    std::map<std::pair<unsigned, bool>, std::vector<std::array<int, 3>>> reference;
    for (unsigned mask = 0; mask < 16; ++mask) {
        SCOPED_TRACE(roadName(mask));
        Bitmap b = loadGenerated(roadName(mask));
        ASSERT_GT(b.width, 0);
        for (const Neighbour& n : neighbours) {
            SCOPED_TRACE(n.bit);
            std::vector<std::array<int, 3>> edge = edgeTexels(b, n);
            int dark = 0;
            for (const auto& t : edge)
                dark += isAsphalt(t) ? 1 : 0;
            bool road = (mask & n.bit) != 0;
            if (road) {
                EXPECT_GE(dark, 100);
                int left = 0, right = 0;
                for (int k = 70; k < 120; ++k)
                    left += isAsphalt(edge[k]) ? 1 : 0;
                for (int k = 136; k < 186; ++k)
                    right += isAsphalt(edge[k]) ? 1 : 0;
                EXPECT_GE(left, 40) << "road runs through the middle";
                EXPECT_GE(right, 40) << "road runs through the middle";
            } else {
                EXPECT_EQ(dark, 0);
            }
            auto key = std::make_pair(n.bit, road);
            if (!reference.count(key))
                reference[key] = edge;
            else
                EXPECT_TRUE(edge == reference[key]) << "every piece shows the same edge on this side";
        }
    }
    // Across a shared edge the asphalt spans the same stretch on both tiles (paint may differ:
    // a dash can end right at the edge) and the texels run on without a jump.
    auto span = [](const std::vector<std::array<int, 3>>& edge) {
        int first = -1, last = -1;
        for (int k = 0; k < int(edge.size()); ++k)
            if (isAsphalt(edge[k])) {
                if (first < 0)
                    first = k;
                last = k;
            }
        return std::make_pair(first, last);
    };
    for (const Neighbour& n : neighbours) {
        SCOPED_TRACE(n.bit);
        const auto& mine = reference[{n.bit, true}];
        const auto& theirs = reference[{n.opposite, true}];
        ASSERT_EQ(mine.size(), theirs.size());
        EXPECT_EQ(span(mine), span(theirs));
        double difference = 0;
        int compared = 0;
        for (size_t k = 0; k < mine.size(); ++k) {
            if (!isAsphalt(mine[k]) || !isAsphalt(theirs[k]))
                continue;  // paint and paving have their own joints
            for (int c = 0; c < 3; ++c)
                difference += std::abs(mine[k][c] - theirs[k][c]);
            ++compared;
        }
        EXPECT_GT(compared, 90);
        EXPECT_LT(difference / (compared * 3), 12);
    }
}

namespace {

// The sky box faces as the frame draws them: (s, t) and position of each strip vertex, S = 360.
struct SkyVertex {
    double s, t, x, y, z;
};
constexpr double S = 360, B = -180, T = 181;
const SkyVertex skyBox[6][4] = {
    {{1, 0, S, B, S}, {1, 1, S, T, S}, {0, 0, -S, B, S}, {0, 1, -S, T, S}},
    {{1, 0, S, B, -S}, {1, 1, S, T, -S}, {0, 0, S, B, S}, {0, 1, S, T, S}},
    {{1, 0, -S, B, -S}, {1, 1, -S, T, -S}, {0, 0, S, B, -S}, {0, 1, S, T, -S}},
    {{1, 0, -S, B, S}, {1, 1, -S, T, S}, {0, 0, -S, B, -S}, {0, 1, -S, T, -S}},
    {{1, 0, S, T, S}, {1, 1, S, T, -S}, {0, 0, -S, T, S}, {0, 1, -S, T, -S}},
    {{0, 1, -S, B, S}, {0, 0, -S, B, -S}, {1, 1, S, B, S}, {1, 0, S, B, -S}},
};

const SkyVertex& vertexAt(int face, double s, double t)
{
    for (const SkyVertex& v : skyBox[face])
        if (v.s == s && v.t == t)
            return v;
    return skyBox[face][0];
}

void facePoint(int face, double s, double t, double p[3])
{
    const SkyVertex& o = vertexAt(face, 0, 0);
    const SkyVertex& a = vertexAt(face, 1, 0);
    const SkyVertex& b = vertexAt(face, 0, 1);
    p[0] = o.x + s * (a.x - o.x) + t * (b.x - o.x);
    p[1] = o.y + s * (a.y - o.y) + t * (b.y - o.y);
    p[2] = o.z + s * (a.z - o.z) + t * (b.z - o.z);
}

// (s, t) of point p on face, if p lies on it.
bool faceCoord(int face, const double p[3], double* s, double* t)
{
    const SkyVertex& o = vertexAt(face, 0, 0);
    const SkyVertex& a = vertexAt(face, 1, 0);
    const SkyVertex& b = vertexAt(face, 0, 1);
    double u[3] = {a.x - o.x, a.y - o.y, a.z - o.z}, v[3] = {b.x - o.x, b.y - o.y, b.z - o.z};
    double d[3] = {p[0] - o.x, p[1] - o.y, p[2] - o.z};
    double uu = 0, vv = 0, du = 0, dv = 0;
    for (int k = 0; k < 3; ++k) {
        uu += u[k] * u[k];
        vv += v[k] * v[k];
        du += d[k] * u[k];
        dv += d[k] * v[k];
    }
    *s = du / uu;
    *t = dv / vv;
    double off = 0;
    for (int k = 0; k < 3; ++k)
        off += std::fabs(d[k] - *s * u[k] - *t * v[k]);
    return off < 1e-6 && *s > -1e-9 && *s < 1 + 1e-9 && *t > -1e-9 && *t < 1 + 1e-9;
}

}  // namespace

TEST(GeneratedAssets, SkyFacesAgreeAlongEverySharedEdge)
{
    Bitmap faces[6];
    for (int f = 0; f < 6; ++f) {
        faces[f] = loadGenerated("sky_" + std::to_string(f) + ".bmp");
        ASSERT_GT(faces[f].width, 0);
    }
    int sharedEdges = 0;
    for (int f = 0; f < 6; ++f) {
        const Bitmap& b = faces[f];
        const int n = b.width;
        // The four edges of the face, walked texel by texel.
        for (int edge = 0; edge < 4; ++edge) {
            int matches = 0;
            int worst = 0;
            for (int k = 0; k < n; ++k) {
                double s = edge < 2 ? double(k) / (n - 1) : (edge == 2 ? 0 : 1);
                double t = edge < 2 ? (edge == 0 ? 0 : 1) : double(k) / (n - 1);
                double p[3];
                facePoint(f, s, t, p);
                for (int g = 0; g < 6; ++g) {
                    double s2, t2;
                    if (g == f || !faceCoord(g, p, &s2, &t2))
                        continue;
                    const Bitmap& other = faces[g];
                    auto mine = texel(b, int(std::lround(s * (n - 1))), int(std::lround(t * (b.height - 1))));
                    auto theirs = texel(other, int(std::lround(s2 * (other.width - 1))),
                                        int(std::lround(t2 * (other.height - 1))));
                    for (int c = 0; c < 3; ++c)
                        worst = std::max(worst, std::abs(mine[c] - theirs[c]));
                    ++matches;
                }
            }
            EXPECT_GE(matches, n) << "face " << f << " edge " << edge << " meets another face";
            EXPECT_LE(worst, 2) << "face " << f << " edge " << edge;
            ++sharedEdges;
        }
    }
    EXPECT_EQ(sharedEdges, 24);
}

TEST(GeneratedAssets, SkyFadesIntoTheDayFogAtTheHorizon)
{
    // Below the horizon every face shows the fog grey; straight up it is blue.
    Bitmap bottom = loadGenerated("sky_5.bmp");
    auto c = texel(bottom, bottom.width / 2, bottom.height / 2);
    EXPECT_EQ(c, (std::array<int, 3>{196, 196, 196}));
    for (int f = 0; f < 4; ++f) {
        Bitmap wall = loadGenerated("sky_" + std::to_string(f) + ".bmp");
        // Eye level is at t = 180 / 361 on the walls.
        int horizon = int(std::floor(180.0 / 361 * (wall.height - 1)));
        for (int x = 0; x < wall.width; x += 37) {
            auto h = texel(wall, x, horizon);
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_NEAR(h[ch], 196, 2) << "face " << f << " x " << x;
        }
    }
    Bitmap top = loadGenerated("sky_4.bmp");
    double blue = 0, red = 0;
    for (int x = 0; x < top.width; ++x)
        for (int y = 0; y < top.height; ++y) {
            blue += texel(top, x, y)[0];
            red += texel(top, x, y)[2];
        }
    EXPECT_GT(blue, red * 1.15);
}

TEST(GeneratedAssets, FontSheetHoldsTwoGlyphSetsTopsFirst)
{
    std::vector<uint8_t> tga = readFile(dataDir / "Terminal8.tga");
    ASSERT_EQ(tga.size(), 18u + 256 * 256);
    EXPECT_EQ(tga[0], 0);  // no image ID
    EXPECT_EQ(tga[1], 0);  // no colour map
    EXPECT_EQ(tga[2], 3);  // uncompressed grey-scale
    EXPECT_EQ(tga[12] | tga[13] << 8, 256);
    EXPECT_EQ(tga[14] | tga[15] << 8, 256);
    EXPECT_EQ(tga[16], 8);
    const uint8_t* pixels = tga.data() + 18;
    // Ink of cell k, split into its rows; cell row k / 16 counts from the first stored row.
    auto cellInk = [&](int cell, int x0, int x1, int y0, int y1) {
        int ink = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                ink += pixels[((cell / 16) * 16 + y) * 256 + (cell % 16) * 16 + x] ? 1 : 0;
        return ink;
    };
    auto whole = [&](int cell) { return cellInk(cell, 0, 16, 0, 16); };
    EXPECT_EQ(whole(0), 0) << "space";
    EXPECT_EQ(whole(128), 0) << "space in set 1";
    int differing = 0;
    for (int byte = 33; byte < 127; ++byte) {
        SCOPED_TRACE(byte);
        int set0 = byte - 32, set1 = byte + 96;
        EXPECT_GT(whole(set0), 0);
        EXPECT_GT(whole(set1), 0);
        EXPECT_EQ(cellInk(set0, 8, 16, 0, 16), 0) << "glyphs stay in the left 8 pixels";
        EXPECT_EQ(cellInk(set1, 8, 16, 0, 16), 0);
        EXPECT_GE(whole(set1), whole(set0)) << "set 1 is the bolder one";
        differing += whole(set1) != whole(set0) ? 1 : 0;
    }
    EXPECT_GT(differing, 80);
    for (int cell = 96; cell < 128; ++cell)
        EXPECT_EQ(whole(cell), 0);
    for (int cell = 224; cell < 256; ++cell)
        EXPECT_EQ(whole(cell), 0);
    // Tops first: an underscore has its ink in the later rows, an apostrophe and a caret in the earlier.
    EXPECT_EQ(cellInk('_' - 32, 0, 8, 0, 8), 0);
    EXPECT_GT(cellInk('_' - 32, 0, 8, 8, 16), 0);
    EXPECT_EQ(cellInk('\'' - 32, 0, 8, 8, 16), 0);
    EXPECT_EQ(cellInk('^' - 32, 0, 8, 9, 16), 0);
    EXPECT_GT(cellInk('^' - 32, 0, 8, 0, 8), 0);
}
