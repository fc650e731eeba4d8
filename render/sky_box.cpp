// The sky box's faces, shared by the frame that draws them and the tools that paint their pictures.
#include "render/render.h"

static constexpr float S = skyHalfWidth, B = skyBottom, T = skyTop;
const SkyFace skyFaces[6] = {
    {skySlot0, {{1, 0, S, B, S}, {1, 1, S, T, S}, {0, 0, -S, B, S}, {0, 1, -S, T, S}}},
    {skySlot1, {{1, 0, S, B, -S}, {1, 1, S, T, -S}, {0, 0, S, B, S}, {0, 1, S, T, S}}},
    {skySlot2, {{1, 0, -S, B, -S}, {1, 1, -S, T, -S}, {0, 0, S, B, -S}, {0, 1, S, T, -S}}},
    {skySlot3, {{1, 0, -S, B, S}, {1, 1, -S, T, S}, {0, 0, -S, B, -S}, {0, 1, -S, T, -S}}},
    {skySlot4, {{1, 0, S, T, S}, {1, 1, S, T, -S}, {0, 0, -S, T, S}, {0, 1, -S, T, -S}}},
    {skySlot5, {{0, 1, -S, B, S}, {0, 0, -S, B, -S}, {1, 1, S, B, S}, {1, 0, S, B, -S}}},
};

SkyFrame skyFaceFrame(int face)
{
    // Each face is a rectangle whose corners carry the texture's corners.
    auto corner = [face](GLfloat s, GLfloat t) {
        for (const Corner& c : skyFaces[face].corners)
            if (c.s == s && c.t == t)
                return c;
        return Corner{};
    };
    const Corner o = corner(0, 0), u = corner(1, 0), v = corner(0, 1);
    return {{o.x, o.y, o.z}, {u.x - o.x, u.y - o.y, u.z - o.z}, {v.x - o.x, v.y - o.y, v.z - o.z}};
}
