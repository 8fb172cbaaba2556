// The sprite pictures. All three are multiplied onto the frame, so white is
// "nothing here" and every colour darkens what lies behind it.
#include <cmath>

#include "noise.h"
#include "pictures.h"

static const double pi = 3.14159265358979323846;

// A violet orb with a lighter rim and a small highlight, fading to white.
Raster makeOrbSprite() {
    const int size = 64;
    Raster raster = makeRaster(size, size, Colour{1, 1, 1, 1});
    Colour core{0.30f, 0.12f, 0.42f, 1}, rim{0.62f, 0.42f, 0.86f, 1};
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            double dx = (x + 0.5) / size * 2 - 1, dy = (y + 0.5) / size * 2 - 1;
            float r = (float)std::hypot(dx, dy);
            float edge = 1.0f - smoothStepRange(0.72f, 0.92f, r);
            Colour c = mixColour(core, rim, smoothStepRange(0.1f, 0.8f, r));
            float highlight =
                (float)std::exp(-((dx + 0.3) * (dx + 0.3) + (dy + 0.32) * (dy + 0.32)) / 0.03);
            c = mixColour(c, Colour{1, 1, 1, 1}, 0.8f * highlight);
            float* p = rasterPixel(raster, x, y);
            p[0] = mixFloat(1, c.r, edge);
            p[1] = mixFloat(1, c.g, edge);
            p[2] = mixFloat(1, c.b, edge);
        }
    return raster;
}

// A square of tinted glass: a dark bevelled frame, a light body with a
// diagonal sheen and an inner outline. Symmetric under a half turn, since a
// negative sprite size turns it by 180 degrees.
Raster makeBlockSprite() {
    const int size = 256;
    Raster raster = makeRaster(size, size, Colour{1, 1, 1, 1});
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            double u = (x + 0.5) / size * 2 - 1, v = (y + 0.5) / size * 2 - 1;
            double box = std::max(std::fabs(u), std::fabs(v)); // 0 centre, 1 edge
            float* p = rasterPixel(raster, x, y);
            if (box > 0.93)
                continue; // clear margin
            float frame = smoothStepRange(0.78f, 0.80f, (float)box) *
                          (1 - smoothStepRange(0.91f, 0.93f, (float)box));
            float inner = smoothStepRange(0.52f, 0.535f, (float)box) *
                          (1 - smoothStepRange(0.555f, 0.57f, (float)box));
            float sheen = (float)(0.5 + 0.5 * std::cos((u - v) * 2.2));
            Colour body{mixFloat(0.62f, 0.86f, sheen), mixFloat(0.78f, 0.93f, sheen), 0.98f, 1};
            Colour frameColour{0.16f, 0.24f, 0.46f, 1};
            // A lighter line along the frame's inner edge, like light caught in a bevel.
            float bevel = smoothStepRange(0.80f, 0.81f, (float)box) *
                          (1 - smoothStepRange(0.825f, 0.84f, (float)box));
            Colour c = mixColour(body, frameColour, frame);
            c = mixColour(c, Colour{0.55f, 0.66f, 0.90f, 1}, bevel);
            c = mixColour(c, Colour{0.38f, 0.50f, 0.78f, 1}, inner);
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    return raster;
}

static Colour hueColour(double hue) {
    // A soft rainbow: cosine palette, kept light so stacked sprites stay readable.
    return Colour{(float)(0.55 + 0.40 * std::cos(2 * pi * (hue + 0.00))),
                  (float)(0.55 + 0.40 * std::cos(2 * pi * (hue + 0.33))),
                  (float)(0.55 + 0.40 * std::cos(2 * pi * (hue + 0.67))), 1};
}

// An eight-petalled rosette of coloured glass with dark leading, on white.
Raster makeGreetingSprite() {
    const int size = 256;
    Raster raster = makeRaster(size, size, Colour{1, 1, 1, 1});
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            double u = (x + 0.5) / size * 2 - 1, v = (y + 0.5) / size * 2 - 1;
            double r = std::hypot(u, v), angle = std::atan2(v, u);
            double petal = 0.62 + 0.30 * std::fabs(std::cos(4 * angle)); // outline radius
            float inside = 1 - smoothStepRange((float)petal - 0.02f, (float)petal, (float)r);
            if (inside <= 0)
                continue;
            // Leading: the petal outline, the spokes between petals and two rings.
            double spoke = std::fabs(std::sin(4 * angle + pi / 2)) * r;
            float lead =
                std::max(smoothStepRange((float)petal - 0.06f, (float)petal - 0.03f, (float)r),
                         1 - smoothStepRange(0.018f, 0.035f, (float)spoke));
            lead = std::max(lead, 1 - smoothStepRange(0.012f, 0.025f, (float)std::fabs(r - 0.30)));
            lead = std::max(lead, 1 - smoothStepRange(0.010f, 0.022f, (float)std::fabs(r - 0.14)));
            double hue = angle / (2 * pi) + (r < 0.30 ? 0.5 : 0.0) + r * 0.25;
            Colour glass = hueColour(hue);
            // Glass is uneven: a little mottling.
            float mottle = (float)(0.90 + 0.10 * fractalNoise(u * 6 + 3, v * 6 + 1, 3, 71));
            glass = Colour{glass.r * mottle, glass.g * mottle, glass.b * mottle, 1};
            if (r < 0.14)
                glass = Colour{0.98f, 0.86f, 0.45f, 1};
            Colour c = mixColour(glass, Colour{0.12f, 0.10f, 0.16f, 1}, lead);
            float* p = rasterPixel(raster, x, y);
            p[0] = mixFloat(1, c.r, inside);
            p[1] = mixFloat(1, c.g, inside);
            p[2] = mixFloat(1, c.b, inside);
        }
    return raster;
}
