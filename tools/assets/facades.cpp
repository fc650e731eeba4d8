// The five building walls. Each picture spans one wall, ground at the bottom; floors are laid out
// in fractions of the height so that the same picture reads on 12 units of wall and on 7.
#include "tools/assets/assets.h"

#include <cmath>
#include <functional>

namespace {

constexpr int side = 512;  // pixels along each side of a wall picture

using Shader = std::function<Colour(int x, int y)>;

void fill(Image& p, int x0, int y0, int x1, int y1, const Shader& shader)
{
    for (int y = std::max(0, y0); y < std::min(side, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(side, x1); ++x)
            setPixel(p, x, y, shader(x, y));
}

void fillColour(Image& p, int x0, int y0, int x1, int y1, Colour colour, int seed)
{
    fill(p, x0, y0, x1, y1, [&](int x, int y) { return scale(colour, 0.95 + 0.1 * hash01(x, y, seed)); });
}

// A raised band or frame lit from the upper left: light top and left lines, dark bottom and right.
void bevel(Image& p, int x0, int y0, int x1, int y1, Colour colour, int seed)
{
    fillColour(p, x0, y0, x1, y1, colour, seed);
    fillColour(p, x0, y0, x1, y0 + 2, scale(colour, 1.18), seed);
    fillColour(p, x0, y0, x0 + 2, y1, scale(colour, 1.1), seed);
    fillColour(p, x0, y1 - 2, x1, y1, scale(colour, 0.7), seed);
    fillColour(p, x1 - 2, y0, x1, y1, scale(colour, 0.8), seed);
}

// Darkens the wall under a ledge.
void shadowBelow(Image& p, int x0, int x1, int y, int depth)
{
    for (int row = 0; row < depth; ++row)
        for (int x = std::max(0, x0); x < std::min(side, x1); ++x)
            if (y + row >= 0 && y + row < side)
                setPixel(p, x, y + row, scale(getPixel(p, x, y + row), 0.62 + 0.38 * row / depth));
}

// Glass reflecting the sky: lighter toward the top, a diagonal sheen, and now and then a curtain.
Colour glass(int x, int y, int x0, int y0, int x1, int y1, int id)
{
    double v = double(y - y0) / std::max(1, y1 - y0);
    double u = double(x - x0) / std::max(1, x1 - x0);
    Colour top{120, 146, 170}, bottom{38, 50, 66};
    Colour c = mix(top, bottom, std::pow(v, 0.7));
    double sheen = std::fabs(u * 0.6 + v * 0.4 - 0.35 - 0.3 * hash01(id, 0, 81));
    if (sheen < 0.06)
        c = mix(c, Colour{200, 215, 228}, 0.35 * (1 - sheen / 0.06));
    double kind = hash01(id, 1, 82);
    if (kind < 0.3 && v > 0.1) {
        double fold = 0.85 + 0.15 * std::sin(x * 0.9);
        Colour curtain = kind < 0.15 ? Colour{214, 200, 170} : Colour{180, 190, 196};
        if (u < 0.22 || u > 0.78)
            c = scale(curtain, fold * 0.85);
    } else if (kind > 0.85) {
        c = scale(c, 0.7);
    }
    return c;
}

struct WindowStyle {
    Colour frame;
    int frameWidth;  // pixels
    int columns;     // panes across
    int rows;        // panes down
    bool sill;
    Colour sillColour;
};

void window(Image& p, int x0, int y0, int x1, int y1, const WindowStyle& style, int id)
{
    // Recess shadow around the opening.
    fillColour(p, x0 - 3, y0 - 3, x1 + 3, y1 + 3, Colour{40, 38, 36}, 90);
    fill(p, x0, y0, x1, y1, [&](int x, int y) { return glass(x, y, x0, y0, x1, y1, id); });
    const int f = style.frameWidth;
    Colour frame = style.frame;
    auto bar = [&](int bx0, int by0, int bx1, int by1) { bevel(p, bx0, by0, bx1, by1, frame, 91); };
    bar(x0, y0, x1, y0 + f);
    bar(x0, y1 - f, x1, y1);
    bar(x0, y0, x0 + f, y1);
    bar(x1 - f, y0, x1, y1);
    for (int c = 1; c < style.columns; ++c) {
        int x = x0 + (x1 - x0) * c / style.columns;
        bar(x - f / 2, y0, x + (f + 1) / 2, y1);
    }
    for (int r = 1; r < style.rows; ++r) {
        int y = y0 + (y1 - y0) * r / style.rows;
        bar(x0, y - f / 2, x1, y + (f + 1) / 2);
    }
    if (style.sill) {
        bevel(p, x0 - 8, y1 + 1, x1 + 8, y1 + 9, style.sillColour, 92);
        shadowBelow(p, x0 - 8, x1 + 8, y1 + 9, 6);
    }
}

void door(Image& p, int x0, int y0, int x1, int y1, Colour wood)
{
    fillColour(p, x0 - 4, y0 - 4, x1 + 4, y1, Colour{38, 36, 34}, 93);
    fill(p, x0, y0, x1, y1, [&](int x, int y) {
        double grain = 0.9 + 0.1 * std::sin(x * 1.3 + hash01(x, 0, 94) * 2);
        return scale(wood, grain * (0.94 + 0.06 * hash01(x, y, 95)));
    });
    int mid = (x0 + x1) / 2;
    bevel(p, x0 + 8, y0 + 10, mid - 4, (y0 + y1) / 2 - 4, scale(wood, 1.1), 96);
    bevel(p, mid + 4, y0 + 10, x1 - 8, (y0 + y1) / 2 - 4, scale(wood, 1.1), 96);
    bevel(p, x0 + 8, (y0 + y1) / 2 + 4, mid - 4, y1 - 10, scale(wood, 1.1), 96);
    bevel(p, mid + 4, (y0 + y1) / 2 + 4, x1 - 8, y1 - 10, scale(wood, 1.1), 96);
    fillColour(p, mid - 1, y0, mid + 1, y1, scale(wood, 0.5), 97);
    fillColour(p, mid - 10, (y0 + y1) / 2, mid - 5, (y0 + y1) / 2 + 4, Colour{200, 180, 90}, 98);
}

// Running-bond brick with mortar joints.
Colour brick(int x, int y, Colour base, int seed)
{
    const int h = 9, w = 26;
    int row = y / h;
    int shifted = x + (row % 2) * (w / 2);
    int col = shifted / w;
    if (y % h == 0 || shifted % w == 0)
        return scale(Colour{176, 168, 154}, 0.9 + 0.1 * hash01(x, y, seed));
    double tone = 0.82 + 0.3 * hash01(col, row, seed + 1);
    return scale(base, tone * (0.94 + 0.08 * hash01(x, y, seed + 2)));
}

Colour plaster(int x, int y, Colour base, int seed)
{
    double u = x / double(side), v = y / double(side);
    double broad = fractalNoise(u * 6, v * 6, 6, 4, seed);
    return scale(base, 0.9 + 0.14 * broad + 0.05 * hash01(x, y, seed + 1));
}

Colour stoneCourses(int x, int y, Colour base, int course, int blockWidth, int seed)
{
    int row = y / course;
    int shifted = x + (row % 2) * blockWidth / 2;
    if (y % course < 2 || shifted % blockWidth < 2)
        return scale(base, 0.72);
    double tone = 0.92 + 0.12 * hash01(shifted / blockWidth, row, seed);
    return scale(base, tone * (0.95 + 0.07 * hash01(x, y, seed + 1)));
}

// Type 1: a stone-clad office front, shop windows below and four floors of framed windows.
Image officeFront()
{
    Image p = makeImage(side, side);
    Colour stone{196, 184, 160};
    fill(p, 0, 0, side, side, [&](int x, int y) { return stoneCourses(x, y, stone, 32, 96, 101); });
    const int floors = 4, floorHeight = side / floors;
    WindowStyle style{{62, 66, 72}, 5, 2, 2, true, {214, 206, 188}};
    for (int floor = 0; floor < floors - 1; ++floor) {
        int top = floor * floorHeight + 30;
        for (int i = 0; i < 4; ++i) {
            int x0 = 28 + i * 120;
            window(p, x0, top, x0 + 96, top + 74, style, floor * 8 + i);
        }
        bevel(p, 0, (floor + 1) * floorHeight - 10, side, (floor + 1) * floorHeight - 4, scale(stone, 0.9), 102);
    }
    // Ground floor: shop glass either side of a recessed glass entrance.
    int groundTop = (floors - 1) * floorHeight + 14;
    WindowStyle shop{{44, 46, 50}, 6, 3, 1, false, {}};
    window(p, 20, groundTop, 196, side - 22, shop, 90);
    window(p, 316, groundTop, 492, side - 22, shop, 91);
    WindowStyle entrance{{44, 46, 50}, 6, 2, 1, false, {}};
    window(p, 214, groundTop + 6, 298, side - 8, entrance, 92);
    bevel(p, 200, groundTop - 10, 312, groundTop - 2, Colour{70, 74, 80}, 103);
    bevel(p, 0, side - 14, side, side, scale(stone, 0.7), 104);
    // Cornice.
    bevel(p, 0, 0, side, 16, scale(stone, 1.05), 105);
    for (int x = 4; x < side; x += 16)
        bevel(p, x, 16, x + 8, 24, scale(stone, 0.95), 106);
    shadowBelow(p, 0, side, 24, 8);
    return p;
}

// Type 2: a low brick building, three floors of sash windows under stone lintels.
Image brickHouse()
{
    Image p = makeImage(side, side);
    Colour red{146, 70, 48};
    fill(p, 0, 0, side, side, [&](int x, int y) { return brick(x, y, red, 111); });
    const int floors = 3, floorHeight = side / floors;
    WindowStyle sash{{232, 230, 222}, 5, 2, 2, true, {204, 198, 184}};
    Colour stone{206, 198, 180};
    for (int floor = 0; floor < floors; ++floor) {
        int top = floor * floorHeight + 34;
        for (int i = 0; i < 3; ++i) {
            if (floor == floors - 1 && i == 1)
                continue;
            int x0 = 52 + i * 152;
            bevel(p, x0 - 10, top - 18, x0 + 110, top - 4, stone, 112);
            window(p, x0, top, x0 + 100, top + 96, sash, 20 + floor * 3 + i);
        }
    }
    door(p, 212, (floors - 1) * floorHeight + 26, 300, side - 12, Colour{34, 72, 52});
    bevel(p, 200, (floors - 1) * floorHeight + 8, 312, (floors - 1) * floorHeight + 22, stone, 113);
    bevel(p, 0, side - 12, side, side, Colour{120, 116, 110}, 114);
    bevel(p, 0, 0, side, 12, stone, 115);
    shadowBelow(p, 0, side, 12, 6);
    return p;
}

// Type 3: a concrete panel block with an accent band under each row of windows.
Image panelBlock()
{
    Image p = makeImage(side, side);
    Colour concrete{176, 172, 162};
    const int floors = 4, floorHeight = side / floors;
    fill(p, 0, 0, side, side, [&](int x, int y) {
        Colour c = plaster(x, y, concrete, 121);
        if (y % floorHeight < 3 || x % 170 < 3)
            c = scale(c, 0.7);
        return c;
    });
    WindowStyle pvc{{236, 236, 234}, 6, 3, 1, false, {}};
    for (int floor = 0; floor < floors; ++floor) {
        int top = floor * floorHeight + 26;
        fillColour(p, 0, top + 82, side, top + 96, Colour{70, 126, 132}, 122);
        shadowBelow(p, 0, side, top + 96, 5);
        for (int i = 0; i < 3; ++i) {
            int x0 = 22 + i * 170;
            if (floor == floors - 1 && i == 1) {
                door(p, x0 + 26, top + 8, x0 + 100, side - 4, Colour{120, 124, 128});
                bevel(p, x0 + 6, top - 6, x0 + 120, top + 4, Colour{90, 94, 98}, 123);
                continue;
            }
            window(p, x0, top, x0 + 126, top + 76, pvc, 40 + floor * 3 + i);
        }
    }
    bevel(p, 0, 0, side, 10, scale(concrete, 0.9), 124);
    return p;
}

// Type 4: a cream plastered house with green shutters, and a shop with a striped awning below.
Image shutteredHouse()
{
    Image p = makeImage(side, side);
    Colour cream{222, 204, 160};
    fill(p, 0, 0, side, side, [&](int x, int y) { return plaster(x, y, cream, 131); });
    const int floors = 3, floorHeight = side / floors;
    WindowStyle casement{{240, 238, 230}, 5, 2, 3, true, {230, 222, 200}};
    Colour shutter{54, 104, 70};
    for (int floor = 0; floor < floors - 1; ++floor) {
        int top = floor * floorHeight + 30;
        for (int i = 0; i < 3; ++i) {
            int x0 = 70 + i * 150;
            window(p, x0, top, x0 + 76, top + 104, casement, 60 + floor * 3 + i);
            for (int s = 0; s < 2; ++s) {
                int sx = s == 0 ? x0 - 34 : x0 + 80;
                fill(p, sx, top - 2, sx + 30, top + 106, [&](int x, int y) {
                    Colour c = scale(shutter, 0.95 + 0.1 * hash01(x, y, 132));
                    if ((y - top) % 9 < 3)
                        c = scale(c, 0.72);  // louvres
                    if (x < sx + 3 || x >= sx + 27)
                        c = scale(shutter, 0.8);
                    return c;
                });
            }
        }
    }
    int shopTop = (floors - 1) * floorHeight;
    fillColour(p, 0, shopTop, side, side, Colour{44, 70, 56}, 133);
    WindowStyle shop{{44, 70, 56}, 6, 2, 1, false, {}};
    window(p, 24, shopTop + 64, 220, side - 26, shop, 70);
    window(p, 292, shopTop + 64, 488, side - 26, shop, 71);
    door(p, 228, shopTop + 64, 284, side - 4, Colour{44, 70, 56});
    // Awning: red and white stripes with a scalloped lower edge.
    for (int y = shopTop + 8; y < shopTop + 56; ++y) {
        for (int x = 0; x < side; ++x) {
            bool red = (x / 32) % 2 == 0;
            Colour c = red ? Colour{186, 44, 40} : Colour{236, 232, 222};
            c = scale(c, 0.8 + 0.2 * (y - shopTop - 8) / 48.0);
            int scallop = 8 - static_cast<int>(std::lround(8 * std::fabs(std::sin((x % 32) * M_PI / 32))));
            if (y < shopTop + 48 + (8 - scallop))
                setPixel(p, x, y, c);
        }
    }
    shadowBelow(p, 0, side, shopTop + 56, 10);
    bevel(p, 0, 0, side, 14, Colour{200, 184, 146}, 134);
    shadowBelow(p, 0, side, 14, 6);
    return p;
}

// Type 5: a red town house front: rusticated stone ground floor with arches, tall French windows
// in stone surrounds, wrought-iron balconies, corner quoins and a cornice.
Image redTownHouse()
{
    Image p = makeImage(side, side);
    Colour red{158, 48, 40}, stone{224, 212, 188};
    fill(p, 0, 0, side, side, [&](int x, int y) { return plaster(x, y, red, 141); });
    const int floors = 4, floorHeight = side / floors;
    // Quoins at both corners, alternating long and short blocks.
    for (int y = 20; y < (floors - 1) * floorHeight; y += 32) {
        int w = (y / 32) % 2 ? 40 : 26;
        bevel(p, 0, y, w, y + 28, stone, 142);
        bevel(p, side - w, y, side, y + 28, stone, 142);
    }
    WindowStyle french{{242, 240, 232}, 5, 2, 4, false, {}};
    for (int floor = 0; floor < floors - 1; ++floor) {
        int top = floor * floorHeight + 24;
        for (int i = 0; i < 3; ++i) {
            int x0 = 80 + i * 132;
            bevel(p, x0 - 12, top - 12, x0 + 92, top + 104, stone, 143);
            window(p, x0, top, x0 + 80, top + 100, french, 80 + floor * 3 + i);
            // Keystone.
            bevel(p, x0 + 30, top - 18, x0 + 50, top - 2, scale(stone, 1.05), 144);
            if (floor != 1) {
                // Balcony railing across the lower part of the window.
                int ry0 = top + 62, ry1 = top + 104;
                for (int y = ry0; y < ry1; ++y) {
                    for (int x = x0 - 16; x < x0 + 96; ++x) {
                        bool rail = y < ry0 + 4 || y >= ry1 - 3 || (x - x0) % 10 < 2 ||
                                    std::fabs(std::fmod(x - x0 + (y - ry0), 20.0) - 10) < 1.2;
                        if (rail)
                            setPixel(p, x, y, Colour{30, 30, 32});
                    }
                }
                bevel(p, x0 - 20, ry1, x0 + 100, ry1 + 8, stone, 145);
                shadowBelow(p, x0 - 20, x0 + 100, ry1 + 8, 8);
            }
        }
        bevel(p, 0, (floor + 1) * floorHeight - 6, side, (floor + 1) * floorHeight, scale(stone, 0.95), 146);
    }
    // Rusticated ground floor with three arches.
    int groundTop = (floors - 1) * floorHeight;
    fill(p, 0, groundTop, side, side, [&](int x, int y) { return stoneCourses(x, y, stone, 21, 64, 147); });
    for (int i = 0; i < 3; ++i) {
        int cx = 96 + i * 160;
        int x0 = cx - 44, x1 = cx + 44, springing = groundTop + 62;
        fill(p, x0 - 6, groundTop + 12, x1 + 6, side - 10, [&](int x, int y) {
            double dx = x - cx, dy = y - springing;
            if (y < springing && dx * dx + dy * dy > 50.0 * 50.0)
                return getPixel(p, x, y);
            return scale(getPixel(p, x, y), 0.55);
        });
        fill(p, x0, groundTop + 18, x1, side - 10, [&](int x, int y) {
            double dx = x - cx, dy = y - springing;
            if (y < springing && dx * dx + dy * dy > 44.0 * 44.0)
                return getPixel(p, x, y);
            if (i == 1)
                return scale(Colour{70, 40, 30}, 0.9 + 0.1 * std::sin(x * 1.1));
            Colour c = glass(x, y, x0, groundTop + 18, x1, side - 10, 100 + i);
            if (std::abs(x - cx) < 2 || (y > springing && (y - springing) % 40 < 3))
                c = Colour{40, 40, 42};
            return c;
        });
    }
    bevel(p, 0, side - 10, side, side, scale(stone, 0.7), 148);
    // Cornice with brackets.
    bevel(p, 0, 0, side, 14, stone, 149);
    for (int x = 10; x < side; x += 36)
        bevel(p, x, 14, x + 12, 26, scale(stone, 0.92), 150);
    shadowBelow(p, 0, side, 26, 8);
    return p;
}

}  // namespace

Image makeFacade(int type)
{
    switch (type) {
    case 1: return officeFront();
    case 2: return brickHouse();
    case 3: return panelBlock();
    case 4: return shutteredHouse();
    default: return redTownHouse();
    }
}
