// Which whole tiles the fast frame may leave out: the view volume, the walls in front of the eye and the
// tiles they hide, in eye-centred world coordinates (the eye at the origin, y up). No OpenGL calls, so the
// decisions are tested as plain functions; render/frame.cpp holds the rules they serve.
#pragma once

// A tile's ground square, eye-centred, world units.
struct Square {
    double x0, x1, z0, z1;
};

// What the tests need of one frame's view.
struct View {
    double clip[16];             // projection × camera rotation, column-major
    double depthScale;           // window-depth difference per unit of (1/d near - 1/d far), eye depths d
    double minDepthPerDistance;  // lower bound of eye depth / distance from the eye inside the view volume
};

// The view of a projection and a rotation as OpenGL holds them (column-major).
View makeView(const float projection[16], const float rotation[16]);
// True when the box from bottom to top (eye-relative heights) over the square, grown by the cull margin, has
// no point inside the view volume.
bool outsideView(const View& view, const Square& square, double bottom, double top);
// True when some point of the box from bottom to top over the square, grown by the cull margin, may lie within
// the depth margin of the cleared depth.
bool reachesClearedDepth(const View& view, const Square& square, double bottom, double top);
// Where the convex polygon of count (at most 8) eye-centred points may have fragments at the cleared depth
// within the depth margin: false when nowhere, else bounds = x0, y0, x1, y1 in normalised device coordinates.
bool clearedDepthBounds(const View& view, const double (*points)[3], int count, double bounds[4]);

// Starts the frame's occluder grid for an eye this high above the ground (world units). False when no wall
// can hide anything from there (the eye at ground level or above the tall blocks' tops).
bool clearOccluders(double eyeHeight);
// Adds the walls of a block of this height (lowWallHeight or tallWallHeight) standing on the square; walls too near the eye or
// outside the view are left out.
void addOccluder(const View& view, const Square& square, double wallHeight);
// True when every fragment of the box from bottom to top over the square lies behind a wall added since
// clearOccluders by more than the depth, height and angle margins.
bool hidden(const View& view, const Square& square, double bottom, double top);
