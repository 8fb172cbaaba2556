// The two large pictures: the opening background (dusk over hills, a banded
// sun, a grid floor) and the sphere map that makes the meshes look like chrome.
#include <algorithm>
#include <cmath>

#include "noise.h"
#include "pictures.h"

static const double pi = 3.14159265358979323846;

struct Vec {
    double x, y, z;
};

static Vec normalised(Vec v) {
    double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return Vec{v.x / length, v.y / length, v.z / length};
}
static double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

static Colour mixStops(const Colour* stops, int count, double t) {
    t = std::clamp(t, 0.0, 1.0) * (count - 1);
    int i = std::min((int)t, count - 2);
    return mixColour(stops[i], stops[i + 1], (float)(t - i));
}

static Colour addColour(Colour a, Colour b, float weight) {
    return Colour{a.r + b.r * weight, a.g + b.g * weight, a.b + b.b * weight, 1};
}

// The screen is 4:3 and the picture 2:1; shapes are laid out in screen units
// (x 0..4/3, y 0..1 from the top) so they keep their proportions on screen.
static Colour openingBackgroundAt(double x, double y) {
    const double horizon = 0.70, sunX = 2.0 / 3.0, sunY = 0.50, sunRadius = 0.19;
    static const Colour sky[] = {{0.07f, 0.06f, 0.22f, 1},
                                 {0.30f, 0.12f, 0.42f, 1},
                                 {0.78f, 0.30f, 0.50f, 1},
                                 {1.00f, 0.62f, 0.42f, 1},
                                 {1.00f, 0.82f, 0.55f, 1}};
    Colour c = mixStops(sky, 5, std::pow(y / horizon, 1.3));
    // Stars in the high sky.
    double starCell = hashUnit((int)(x * 260), (int)(y * 260), 5);
    if (starCell > 0.9965 && y < 0.45)
        c = addColour(c, Colour{1, 0.95f, 0.9f, 1}, (float)(0.7 * (1 - y / 0.45)));
    // The sun: a disc from gold to rose, cut by bands that widen downwards.
    double dx = x - sunX, dy = y - sunY, d = std::hypot(dx, dy);
    c = addColour(c, Colour{1.0f, 0.55f, 0.35f, 1},
                  (float)(0.35 * std::exp(-std::max(0.0, d - sunRadius) * 9)));
    if (d < sunRadius + 0.004) {
        double along = (dy + sunRadius) / (2 * sunRadius);
        double phase = std::fmod((dy + sunRadius) * 38.0, 1.0);
        double gap = std::max(0.0, (along - 0.45) * 0.9);
        bool cut = along > 0.45 && phase < gap;
        if (!cut) {
            Colour sun = mixColour(Colour{1.0f, 0.93f, 0.55f, 1}, Colour{1.0f, 0.38f, 0.52f, 1},
                                   (float)along);
            c = mixColour(c, sun, clampUnit((float)((sunRadius - d) * 500 + 0.5)));
        }
    }
    // Long thin clouds drifting across the low sky.
    double cloud = fractalNoise(x * 3.0, y * 26.0, 4, 11);
    float cloudAmount =
        smoothStepRange(0.58f, 0.72f, (float)cloud) * smoothStepRange(0.25f, 0.55f, (float)y);
    c = mixColour(c, Colour{0.42f, 0.16f, 0.40f, 1}, 0.55f * cloudAmount);
    // Hills: two ridges of fractal height in front of the horizon.
    double farRidge = horizon - 0.05 - 0.07 * fractalNoise(x * 4.0, 1.5, 5, 21);
    double nearRidge = horizon - 0.015 - 0.05 * fractalNoise(x * 6.0 + 9, 3.5, 5, 31);
    if (y > farRidge)
        c = mixColour(c, Colour{0.36f, 0.16f, 0.38f, 1}, 0.85f);
    if (y > nearRidge)
        c = Colour{0.17f, 0.07f, 0.24f, 1};
    // The floor: a perspective grid running to the sun's foot.
    if (y > horizon) {
        double depth = (y - horizon); // 0 at the horizon
        double z = 0.06 / depth;      // distance along the floor
        double fx = (x - sunX) * z * 6.0;
        double lineZ = std::fabs(std::fmod(z * 3.0 + 100.0, 1.0) - 0.5);
        double lineX = std::fabs(std::fmod(fx + 100.5, 1.0) - 0.5);
        double width = 0.012 * z * 3 + 0.02;
        float grid =
            std::max(1 - smoothStepRange((float)width, (float)(width * 2.5), (float)(0.5 - lineZ)),
                     1 - smoothStepRange(0.03f, 0.09f, (float)((0.5 - lineX) / (z * 0.6 + 0.4))));
        Colour floor = mixColour(Colour{0.30f, 0.10f, 0.38f, 1}, Colour{0.14f, 0.05f, 0.24f, 1},
                                 clampUnit((float)(depth * 4)));
        Colour line = mixColour(Colour{1.0f, 0.55f, 0.85f, 1}, Colour{0.35f, 0.85f, 1.0f, 1},
                                clampUnit((float)(depth * 5)));
        c = mixColour(floor, line, grid * clampUnit((float)(depth * 40)));
    }
    return c;
}

Raster makeOpeningBackground() {
    const int width = 1024, height = 512;
    Raster raster = makeRaster(width, height, Colour{0, 0, 0, 1});
    Random grain = seededRandom(7);
    for (int py = 0; py < height; py++)
        for (int px = 0; px < width; px++) {
            Colour sum{0, 0, 0, 1};
            for (int s = 0; s < 4; s++) {
                double x = (px + 0.25 + 0.5 * (s & 1)) / width * (4.0 / 3.0);
                double y = (py + 0.25 + 0.5 * (s >> 1)) / height;
                Colour c = openingBackgroundAt(x, y);
                sum.r += c.r / 4, sum.g += c.g / 4, sum.b += c.b / 4;
            }
            float n = (float)(randomUnit(grain) - 0.5) * 0.025f;
            float* p = rasterPixel(raster, px, py);
            p[0] = sum.r + n, p[1] = sum.g + n, p[2] = sum.b + n;
        }
    return raster;
}

// What a mirror ball sees in the direction r (eye space: y up, z towards
// the viewer): a blue sky with clouds and a hot sun, a hazy horizon, two
// studio light strips, and a checkered floor below.
static Colour environmentAt(Vec r) {
    const Vec sun = normalised(Vec{-0.45, 0.55, 0.70});
    Colour c;
    if (r.y >= 0) {
        double elevation = std::asin(std::min(1.0, r.y)) / (pi / 2);
        c = mixColour(Colour{0.72f, 0.72f, 0.76f, 1}, Colour{0.07f, 0.16f, 0.45f, 1},
                      (float)std::pow(elevation, 0.5));
        double k = 1.0 / (r.y + 0.25);
        double cloud = fractalNoise(r.x * k * 1.8 + 3, r.z * k * 1.8 + 7, 5, 91);
        c = mixColour(c, Colour{0.85f, 0.86f, 0.9f, 1},
                      smoothStepRange(0.55f, 0.78f, (float)cloud) * 0.8f);
        double toSun = dot(r, sun);
        c = addColour(c, Colour{1.0f, 0.95f, 0.80f, 1},
                      (float)(std::pow(std::max(0.0, toSun), 60) * 0.9));
        if (toSun > 0.9975)
            c = Colour{1, 1, 1, 1};
    } else {
        double k = -1.0 / std::min(-1e-3, r.y);
        double fx = r.x * k * 1.2, fz = r.z * k * 1.2;
        bool dark = ((int)std::floor(fx) + (int)std::floor(fz)) & 1;
        Colour tile = dark ? Colour{0.07f, 0.06f, 0.06f, 1} : Colour{0.34f, 0.29f, 0.25f, 1};
        double haze = std::exp(r.y * 5.0); // 1 at the horizon
        c = mixColour(tile, Colour{0.45f, 0.42f, 0.41f, 1}, (float)haze);
    }
    // A bright band just at the horizon.
    c = addColour(c, Colour{1, 0.96f, 0.9f, 1}, (float)(0.6 * std::exp(-std::fabs(r.y) * 60)));
    // Two tall light strips to the sides, the kind a studio shoots chrome with.
    for (int side = -1; side <= 1; side += 2) {
        double across = std::atan2(r.x, -r.z) - side * 1.9;
        if (std::fabs(across) < 0.10 && r.y > -0.1 && r.y < 0.65)
            c = mixColour(c, Colour{1, 1, 1, 1}, 0.9f);
    }
    return c;
}

Raster makeChromeSphereMap() {
    const int size = 512;
    Raster raster = makeRaster(size, size, Colour{0, 0, 0, 1});
    for (int row = 0; row < size; row++)
        for (int column = 0; column < size; column++) {
            Colour sum{0, 0, 0, 1};
            for (int s = 0; s < 4; s++) {
                // The first stored row is t = 0, the bottom of the sphere map's
                // view, so the sky (up in eye space) lies in the last rows.
                double nx = (column + 0.25 + 0.5 * (s & 1)) / size * 2 - 1;
                double ny = (row + 0.25 + 0.5 * (s >> 1)) / size * 2 - 1;
                double radius = std::hypot(nx, ny);
                if (radius > 0.999)
                    nx *= 0.999 / radius, ny *= 0.999 / radius;
                double nz = std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny));
                Vec reflected{2 * nz * nx, 2 * nz * ny, 2 * nz * nz - 1};
                Colour c = environmentAt(reflected);
                sum.r += c.r / 4, sum.g += c.g / 4, sum.b += c.b / 4;
            }
            float* p = rasterPixel(raster, column, row);
            p[0] = sum.r, p[1] = sum.g, p[2] = sum.b;
        }
    return raster;
}
