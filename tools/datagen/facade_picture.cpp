// The start-up dialog's picture: a frontal view of a worn concrete block of
// flats, windows in a panel grid, balconies, air-conditioning units with their
// stains and cables, treated like an old grainy photograph with almost no
// colour. Drawn at twice the size and reduced, for a camera's softness.
#include <algorithm>
#include <cmath>

#include "noise.h"
#include "pictures.h"

namespace {

const int scale = 2;
const int width = 500 * scale, height = 177 * scale;

struct Canvas {
    std::vector<float> grey;   // luminance
    std::vector<float> warmth; // small colour shifts, positive warm
};

float& greyAt(Canvas& canvas, int x, int y) {
    return canvas.grey[(size_t)y * width + x];
}

void paintRectangle(Canvas& canvas, double x0, double y0, double x1, double y1, float value,
                    float opacity = 1, float warmth = 0) {
    int ix0 = std::max(0, (int)std::lround(x0 * scale)),
        ix1 = std::min(width, (int)std::lround(x1 * scale));
    int iy0 = std::max(0, (int)std::lround(y0 * scale)),
        iy1 = std::min(height, (int)std::lround(y1 * scale));
    for (int y = iy0; y < iy1; y++)
        for (int x = ix0; x < ix1; x++) {
            float& g = greyAt(canvas, x, y);
            g = mixFloat(g, value, opacity);
            float& w = canvas.warmth[(size_t)y * width + x];
            w = mixFloat(w, warmth, opacity);
        }
}

void paintDisc(Canvas& canvas, double cx, double cy, double radius, float value) {
    for (int y = std::max(0, (int)((cy - radius - 1) * scale));
         y < std::min(height, (int)((cy + radius + 1) * scale)); y++)
        for (int x = std::max(0, (int)((cx - radius - 1) * scale));
             x < std::min(width, (int)((cx + radius + 1) * scale)); x++) {
            double d = std::hypot((x + 0.5) / scale - cx, (y + 0.5) / scale - cy);
            float cover = clampUnit((float)((radius - d) * scale + 0.5));
            float& g = greyAt(canvas, x, y);
            g = mixFloat(g, value, cover);
        }
}

void paintLine(Canvas& canvas, double x0, double y0, double x1, double y1, double halfWidth,
               float value) {
    int steps = (int)(std::hypot(x1 - x0, y1 - y0) * scale * 2) + 1;
    for (int i = 0; i <= steps; i++) {
        double t = (double)i / steps;
        paintRectangle(canvas, x0 + (x1 - x0) * t - halfWidth, y0 + (y1 - y0) * t - halfWidth,
                       x0 + (x1 - x0) * t + halfWidth, y0 + (y1 - y0) * t + halfWidth, value);
    }
}

// A drooping cable between two points.
void paintCable(Canvas& canvas, double x0, double y0, double x1, double y1, double sag) {
    const int segments = 24;
    for (int i = 0; i < segments; i++) {
        double t0 = (double)i / segments, t1 = (double)(i + 1) / segments;
        paintLine(canvas, x0 + (x1 - x0) * t0, y0 + (y1 - y0) * t0 + sag * 4 * t0 * (1 - t0),
                  x0 + (x1 - x0) * t1, y0 + (y1 - y0) * t1 + sag * 4 * t1 * (1 - t1), 0.35, 0.16f);
    }
}

// Concrete: panel tone, blotches and vertical rain streaks.
void paintConcrete(Canvas& canvas) {
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            double px = (double)x / scale, py = (double)y / scale;
            double blotch = fractalNoise(px / 40.0, py / 40.0, 5, 3);
            double streak = fractalNoise(px / 1.6, py / 60.0, 3, 4);
            double fine = valueNoise(px * 0.9, py * 0.9, 5);
            float g = (float)(0.60 + 0.16 * (blotch - 0.5) -
                              0.14 * std::max(0.0, streak - 0.55) * 2.5 + 0.05 * (fine - 0.5));
            greyAt(canvas, x, y) = g;
        }
}

void paintWindow(Canvas& canvas, double x, double y, double w, double h, Random& random) {
    paintRectangle(canvas, x - 1.5, y - 1.5, x + w + 1.5, y + h + 1.5, 0.80f);     // frame
    paintRectangle(canvas, x - 2.5, y + h + 1.5, x + w + 2.5, y + h + 3.0, 0.86f); // sill
    paintRectangle(canvas, x - 2.5, y + h + 3.0, x + w + 2.5, y + h + 4.0, 0.38f,
                   0.6f); // its shadow
    int kind = (int)(randomUnit(random) * 10);
    for (int iy = std::max(0, (int)(y * scale)); iy < std::min(height, (int)((y + h) * scale));
         iy++)
        for (int ix = std::max(0, (int)(x * scale)); ix < std::min(width, (int)((x + w) * scale));
             ix++) {
            double u = ((double)ix / scale - x) / w, v = ((double)iy / scale - y) / h;
            // Glass reflects the pale sky at the top and darkens downwards.
            float g =
                (float)(0.34 - 0.20 * v + 0.10 * std::max(0.0, 0.5 - std::fabs(u - v - 0.1)) * 2);
            if (kind < 3) // curtains drawn: pale cloth in folds
                g = (float)(0.62 + 0.10 * std::sin(u * 40 + kind) - 0.08 * v);
            else if (kind < 5 && std::fmod(v * h, 2.0) < 0.9) // blinds
                g = 0.70f;
            greyAt(canvas, ix, iy) = g;
        }
    // Mullion: two panes.
    paintRectangle(canvas, x + w * 0.5 - 0.7, y, x + w * 0.5 + 0.7, y + h, 0.78f);
    if (kind < 3)
        paintRectangle(canvas, x, y, x + w, y + h, 0.62f, 0.0f, kind == 1 ? 0.5f : -0.3f);
}

void paintAirConditioner(Canvas& canvas, double x, double y, Random& random) {
    const double w = 19, h = 13;
    // The stain below: water dripping down the wall over the years.
    double stainLength = 12 + randomUnit(random) * 40;
    for (int iy = std::max(0, (int)((y + h) * scale));
         iy < std::min(height, (int)((y + h + stainLength) * scale)); iy++)
        for (int ix = std::max(0, (int)((x + 3) * scale));
             ix < std::min(width, (int)((x + w - 3) * scale)); ix++) {
            double v = ((double)iy / scale - y - h) / stainLength;
            double u = ((double)ix / scale - x - w / 2) / (w / 2 - 3);
            float dark = (float)((1 - v) * (1 - u * u) * 0.25 *
                                 (0.6 + 0.8 * valueNoise(ix * 0.7, iy * 0.05, 9)));
            greyAt(canvas, ix, iy) *= 1 - dark;
        }
    paintRectangle(canvas, x + 1, y + h, x + w + 1, y + h + 1.5, 0.2f, 0.7f); // shadow
    paintRectangle(canvas, x, y, x + w, y + h, 0.84f);                        // casing
    paintRectangle(canvas, x, y, x + w, y + 1.2, 0.93f);                      // lit top edge
    paintRectangle(canvas, x + w - 1, y, x + w, y + h, 0.62f);                // shaded side
    paintDisc(canvas, x + 6.5, y + 6.8, 5.0, 0.28f);                          // fan opening
    paintDisc(canvas, x + 6.5, y + 6.8, 1.2, 0.7f);                           // hub
    for (int k = 0; k < 4; k++) {
        double a = k * 3.14159265 / 4 + randomUnit(random);
        paintLine(canvas, x + 6.5 - 4.6 * std::cos(a), y + 6.8 - 4.6 * std::sin(a),
                  x + 6.5 + 4.6 * std::cos(a), y + 6.8 + 4.6 * std::sin(a), 0.3, 0.62f);
    }
    for (int k = 0; k < 4; k++) // side vents
        paintRectangle(canvas, x + 13, y + 3 + k * 2.4, x + 17, y + 3.8 + k * 2.4, 0.45f);
    paintRectangle(canvas, x + 2, y + h, x + 3, y + h + 3, 0.3f); // brackets
    paintRectangle(canvas, x + w - 3, y + h, x + w - 2, y + h + 3, 0.3f);
}

void paintBalcony(Canvas& canvas, double x, double y, double w) {
    paintRectangle(canvas, x, y, x + w, y + 3, 0.74f);                   // slab edge
    paintRectangle(canvas, x + 1, y + 3, x + w - 1, y + 5, 0.30f, 0.7f); // its shadow
    paintRectangle(canvas, x, y - 10, x + w, y - 9, 0.30f);              // hand rail
    for (double bx = x + 1; bx < x + w; bx += 2.6)
        paintRectangle(canvas, bx, y - 9, bx + 0.6, y, 0.32f);
}

} // namespace

Raster makeFacadePicture() {
    Canvas canvas{std::vector<float>((size_t)width * height),
                  std::vector<float>((size_t)width * height)};
    paintConcrete(canvas);
    Random random = seededRandom(1977);
    const double roof = 9, storey = 37, bay = 50, left = -14;
    // The sky above the roof line: flat and overcast.
    paintRectangle(canvas, 0, 0, 500, roof, 0.86f);
    paintRectangle(canvas, 0, roof, 500, roof + 2.5, 0.50f); // parapet
    for (int row = 0; row < 5; row++) {
        double y = roof + 2.5 + row * storey;
        paintRectangle(canvas, 0, y + storey - 0.8, 500, y + storey + 0.4, 0.42f,
                       0.8f); // panel joint
        for (int column = 0; column < 11; column++) {
            double x = left + column * bay;
            paintRectangle(canvas, x - 0.4, y, x + 0.4, y + storey, 0.46f, 0.6f); // vertical joint
            bool balcony = (column % 4 == 1) || (column % 4 == 2 && row % 2 == 0);
            if (balcony) {
                paintWindow(canvas, x + 9, y + 6, 31, 25, random);
                paintBalcony(canvas, x + 6, y + storey - 3, 38);
            } else {
                paintWindow(canvas, x + 11, y + 8, 28, 18, random);
            }
            if (randomUnit(random) < 0.45) {
                double ax = x + (randomUnit(random) < 0.5 ? 2 : 29),
                       ay = y + 20 + randomUnit(random) * 3;
                if (balcony)
                    ax = x + 12 + randomUnit(random) * 14, ay = y + storey - 16;
                paintAirConditioner(canvas, ax, ay, random);
                paintCable(canvas, ax + 17, ay + 4, x + 25 + randomUnit(random) * 8, y + 7,
                           2 + randomUnit(random) * 4);
            }
        }
    }
    // A drain pipe down the whole facade.
    paintRectangle(canvas, 452, roof, 456, 177, 0.52f);
    paintRectangle(canvas, 452, roof, 453, 177, 0.70f);
    for (double y = roof + 20; y < 177; y += 37)
        paintRectangle(canvas, 450, y, 458, y + 2, 0.40f);

    // Reduce, then age it: a little warmth, almost no colour, vignette, grain.
    Raster picture = makeRaster(500, 177, Colour{0, 0, 0, 1});
    Random grain = seededRandom(42);
    for (int y = 0; y < 177; y++)
        for (int x = 0; x < 500; x++) {
            float g = 0, w = 0;
            for (int sy = 0; sy < scale; sy++)
                for (int sx = 0; sx < scale; sx++) {
                    g += greyAt(canvas, x * scale + sx, y * scale + sy);
                    w += canvas.warmth[(size_t)(y * scale + sy) * width + x * scale + sx];
                }
            g /= scale * scale, w /= scale * scale;
            double dx = (x - 250) / 250.0, dy = (y - 88) / 120.0;
            g *= (float)(1.0 - 0.28 * (dx * dx + dy * dy));
            g = 0.06f + 0.9f * g;
            float noise =
                (float)((randomUnit(grain) + randomUnit(grain) + randomUnit(grain) - 1.5) * 0.07);
            g = clampUnit(g + noise);
            float tint = 0.015f + 0.02f * w;
            float* p = rasterPixel(picture, x, y);
            p[0] = g * (1 + tint), p[1] = g * (1 + tint * 0.3f), p[2] = g * (1 - tint);
        }
    return picture;
}
