// Whole-tile visibility as plain functions: what the view volume keeps, which walls hide which tiles, and
// each margin on the side that keeps drawFrame's pixels the reference's.
#include "render/visibility.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

// The viewer's projection (60 degrees, 16:9, near 0.1, far 540) in single precision, looking along -z.
static View viewAhead()
{
    const double f = 1.0 / std::tan(std::numbers::pi / 6.0), n = 0.1, far = 540.0, aspect = 16.0 / 9.0;
    const float projection[16] = {float(f / aspect), 0, 0, 0, 0, float(f), 0, 0, 0, 0, float((far + n) / (n - far)), -1,
                                  0, 0, float(2.0 * far * n / (n - far)), 0};
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    return makeView(projection, identity);
}

// A square whose nearest edge (z = -near) spans x from x0 to x0 + width, reaching depth near + depth.
static Square ahead(double x0, double near, double width = 12.0, double depth = 12.0)
{
    return {x0, x0 + width, -near - depth, -near};
}

TEST(Visibility, ViewVolumeKeepsBoxesWithinSinglePrecisionOfItsPlanes)
{
    const View view = viewAhead();
    const double halfWidth = std::tan(std::numbers::pi / 6.0) * 16.0 / 9.0;  // x / depth at the left plane
    const std::tuple<const char*, Square, bool> cases[] = {
        // what, the square, whether it is outside
        {"ahead", ahead(-6, 10), false},
        {"behind the eye", {-6, 6, 1, 13}, true},
        // A box a hair beyond a plane may lie on it in GL's single-precision transform; on the far plane its
        // fragments sit at the cleared depth, which GL_LEQUAL lets through.
        {"1e-4 beyond the far plane", ahead(-6, 540.0001), false},
        {"a unit beyond the far plane", ahead(-6, 541), true},
        {"1e-4 left of the left plane", ahead(-50 * halfWidth - 1e-4 - 12, 38), false},
        {"two units left of the left plane", ahead(-50 * halfWidth - 2 - 12, 38), true},
    };
    for (const auto& [what, square, outside] : cases)
        EXPECT_EQ(outsideView(view, square, -1.5, 10.5), outside) << what;
}

// A wall across the view from depth near to depth far (its x from -20 to 20, y from -10 to 10): where it may
// reach the cleared depth, which a 16-bit buffer stores from about 518 units on.
TEST(Visibility, SkyReachesTheClearedDepthWhereA16BitBufferRoundsItThere)
{
    const View view = viewAhead();
    // Depths near and far, whether it reaches, and the bounds' x when it does.
    const std::tuple<double, double, bool, double, double> cases[] = {
        {-30, -10, false, 0, 0},  // behind the eye
        {300, 300, false, 0, 0},
        {530, 530, true, -20 / 530.0, 20 / 530.0},  // stored as the cleared depth, in front of the far plane
        {300, 600, true, 0, 20 / 600.0},  // only its far part: from 420 to 450 units on, three depth steps short
        {600, 600, true, -20 / 600.0, 20 / 600.0},  // beyond the far plane
    };
    const double xScale = view.clip[0];
    for (const auto& [near, far, reaches, x0, x1] : cases) {
        // Slanted in x: x = -20 lies at depth near, x = 20 at depth far.
        const double points[4][3] = {{-20, -10, -near}, {20, -10, -far}, {20, 10, -far}, {-20, 10, -near}};
        double bounds[4] = {};
        ASSERT_EQ(clearedDepthBounds(view, points, 4, bounds), reaches) << near << "-" << far;
        if (!reaches)
            continue;
        if (near == far)
            EXPECT_NEAR(bounds[0], x0 * xScale, 1e-9) << near;
        else  // x is -4 at depth 420 and 0 at depth 450
            EXPECT_TRUE(bounds[0] > -4 / 420.0 * xScale && bounds[0] < 0) << bounds[0];
        EXPECT_NEAR(bounds[2], x1 * xScale, 1e-9) << near << "-" << far;
    }
    // A box reaches that band where its far side, half a unit out, lies 433 units ahead; behind the eye never.
    for (const auto& [near, reaches] : {std::pair{420.0, false}, {421.0, true}, {530.0, true}, {-30.0, false}})
        EXPECT_EQ(reachesClearedDepth(view, ahead(-6, near), -1.5, 10.5), reaches) << near;
}

TEST(Visibility, OcclusionNeedsAnEyeBetweenTheGroundAndTheTallTops)
{
    for (auto [eye, any] : {std::pair{0.0, false}, {1.5, true}, {11.9, true}, {12.0, false}, {30.0, false}})
        EXPECT_EQ(clearOccluders(eye), any) << eye;
}

// One wall ahead of the eye (a tall or low block, or one within a unit of the eye, which hides nothing), and a
// tile behind it: hidden only when every fragment of the tile lies behind the wall by more than each margin.
TEST(Visibility, TilesBehindABlockAreHiddenOnlyBeyondEveryMargin)
{
    const View view = viewAhead();
    const double edge = std::atan(0.6);  // the block's edge, seen from the eye, off the view axis (radians)
    auto edgeAt = [](double angle, double near) { return near * std::tan(angle) - 12.0; };  // x0 of a tile
    const Square block = ahead(-6, 10);
    // What, the eye's height, the wall's height, the tile and its height, whether it is hidden, the wall.
    const std::tuple<const char*, double, double, Square, double, bool, Square> cases[] = {
        {"ground straight behind", 1.5, 12, ahead(-6, 34), 0, true, block},
        {"ground straight behind a low block", 1.5, 7, ahead(-6, 34), 0, true, block},
        {"a tall block behind a low one shows its top", 6, 7, ahead(-6, 22), 12, false, block},
        {"ground beside the block", 1.5, 12, ahead(8, 34), 0, false, block},
        {"ground in front of the block", 1.5, 12, ahead(-6, 2, 12, 7), 0, false, block},
        // Angle margin: the tile's edge 0.02 radians inside the block's edge is hidden, 0.002 is not.
        {"edge well inside the block's", 1.5, 12, ahead(edgeAt(edge - 0.02, 34), 34), 0, true, block},
        {"edge within the angle margin", 1.5, 12, ahead(edgeAt(edge - 0.002, 34), 34), 0, false, block},
        // Height margin: from 11.9 up, a tall tile right behind a tall block tops it by less than the margin in
        // sight; a low tile there stays below it.
        {"low tile behind, eye near the tops", 11.9, 12, ahead(-6, 22), 7, true, block},
        {"tall tile behind, eye near the tops", 11.9, 12, ahead(-6, 22), 12, false, block},
        {"the eye's own block", 1.5, 12, ahead(-6, 34), 0, false, {-6, 6, -6, 6}},
        {"a wall half a unit ahead", 1.5, 12, ahead(-6, 34), 0, false, ahead(-6, 0.5)},
    };
    for (const auto& [what, eye, wallHeight, tile, tileHeight, isHidden, wall] : cases) {
        ASSERT_TRUE(clearOccluders(eye)) << what;
        addOccluder(view, wall, wallHeight);
        EXPECT_EQ(hidden(view, tile, -eye, tileHeight - eye), isHidden) << what;
    }
}
