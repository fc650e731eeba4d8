// The six sky box faces. Every texel is the colour of the direction from the eye through its
// point on the box, with the edge texels exactly on the box's edges, so that faces sharing an
// edge hold the same colours along it. Below the horizon the sky is the day fog colour.
#include "render/render.h"
#include "tools/assets/assets.h"

#include <cmath>

namespace {

constexpr int skySide = 512;           // pixels along each side of a face
const Colour fog{196, 196, 196};       // the day fog, 0.77 grey

Colour skyColour(double x, double y, double z)
{
    double len = std::sqrt(x * x + y * y + z * z);
    double e = y / len;  // sine of the elevation
    if (e <= 0)
        return fog;
    Colour haze{182, 200, 220}, zenith{72, 122, 198};
    Colour c = mix(fog, haze, smoothstep(0, 0.1, e));
    c = mix(c, zenith, std::pow(smoothstep(0.04, 1.0, e), 0.75));
    // Clouds on a plane above the eye, thinning out toward the horizon.
    double px = x / len / (e + 0.12) * 1.6, pz = z / len / (e + 0.12) * 1.6;
    double n = fractalNoise(px + 40, pz + 40, 0, 6, 201);
    double detail = fractalNoise(px * 3 + 7, pz * 3 + 7, 0, 3, 202);
    double cover = smoothstep(0.48, 0.68, n * 0.85 + detail * 0.15);
    double fade = smoothstep(0.02, 0.22, e);
    Colour cloud = mix(Colour{252, 252, 253}, Colour{168, 174, 188}, smoothstep(0.62, 0.9, n) * 0.7);
    return mix(c, cloud, cover * fade * 0.92);
}

}  // namespace

// Faces in the order of the texture table, each where the frame's sky box puts it.
Image makeSkyFace(int face)
{
    const double S = skyHalfWidth, B = skyBottom, T = skyTop;
    const SkyFrame f = skyFaceFrame(face);
    Image picture = makeImage(skySide, skySide);
    const int last = skySide - 1;
    for (int j = 0; j <= last; ++j) {
        for (int i = 0; i <= last; ++i) {
            // Integer steps keep shared edge points bit-identical between faces.
            double s = double(i) / last, t = double(j) / last;
            double p[3];
            for (int k = 0; k < 3; ++k) {
                p[k] = f.origin[k] + s * f.sAxis[k] + t * f.tAxis[k];
                if (f.sAxis[k] != 0)
                    p[k] = f.sAxis[k] > 0 ? S * (2 * i - last) / last : S * (last - 2 * i) / last;
                if (f.tAxis[k] != 0 && k != 1)
                    p[k] = f.tAxis[k] > 0 ? S * (2 * j - last) / last : S * (last - 2 * j) / last;
            }
            if (f.tAxis[1] != 0)
                p[1] = j == last ? T : B + (T - B) * j / last;
            // t = 0 is the bottom row of the picture.
            setPixel(picture, i, last - j, skyColour(p[0], p[1], p[2]));
        }
    }
    return picture;
}
