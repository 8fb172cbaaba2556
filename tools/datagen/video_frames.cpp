// The clip's animation. Every frame is a function of its show time alone;
// its pulses follow the music's beat from the video scene's first bar at 57 s.
//   57-69 s  a neon tunnel, pulsing on the kicks
//   69-81 s  a six-fold kaleidoscope of interfering rings
//   81-    s a flight over dusky hills towards a banded sun
// Each cut lands on a bar line with a short white flash.
#include "video_frames.h"

#include <algorithm>
#include <cmath>

#include "noise.h"
#include "show_timing.h"

namespace {

const double pi = 3.14159265358979323846;
const double grooveStart = videoGrooveStart;
const int mapSize = 256; // the hills' height map, tiling
const int sineSteps = 4096;

struct Rgb {
    double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
    return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb scale(Rgb a, double s) {
    return Rgb{a.r * s, a.g * s, a.b * s};
}
Rgb add(Rgb a, Rgb b) {
    return Rgb{a.r + b.r, a.g + b.g, a.b + b.b};
}
// Floor without a library call (the build targets plain x86-64).
double floorOf(double x) {
    double i = (double)(long long)x;
    return i > x ? i - 1 : i;
}
double fraction(double x) {
    return x - floorOf(x);
}

float sineTable[sineSteps + 1];

void prepareSineTable() {
    for (int i = 0; i <= sineSteps; i++)
        sineTable[i] = (float)std::sin(2 * pi * i / sineSteps);
}

// Sine by table, linear in between: plenty for pictures.
inline double fastSin(double x) {
    double turns = x * (1.0 / (2 * pi));
    double f = (turns - floorOf(turns)) * sineSteps;
    int i = (int)f;
    return sineTable[i] + (sineTable[i + 1] - sineTable[i]) * (f - i);
}
double fastCos(double x) {
    return fastSin(x + pi / 2);
}

const int paletteSteps = 1024;
Rgb paletteTable[paletteSteps];

void preparePalette() { // cyan, violet, magenta, gold, around a circle
    for (int i = 0; i < paletteSteps; i++) {
        double t = (double)i / paletteSteps;
        paletteTable[i] = Rgb{0.5 + 0.5 * std::cos(2 * pi * (t + 0.55)),
                              0.5 + 0.5 * std::cos(2 * pi * (t + 0.85)),
                              0.5 + 0.5 * std::cos(2 * pi * (t + 0.15))};
    }
}

Rgb palette(double t) {
    return paletteTable[(int)(fraction(t) * paletteSteps) & (paletteSteps - 1)];
}

} // namespace

// Per-pixel tables keep the trigonometry out of the frame loops: the
// tunnel's tables are twice the frame's size, so that its moving centre is
// a shift of the lookup.
struct ClipPainter {
    std::vector<float> height;                              // mapSize x mapSize, 0..1
    std::vector<Rgb> ground;                                // colour of each map cell, shaded
    std::vector<float> tunnelAngle, tunnelDepth, tunnelFog; // (2 w) x (2 h)
    std::vector<float> kaleidoscopeRadius, kaleidoscopeAngle, vignette; // w x h
    std::vector<Rgb> sky, sunGlow; // the hills' sky, w x h, and the sun's glow to pulse
};

namespace {

double tilingNoise(double x, double y, int period, uint32_t seed) {
    double fx = std::floor(x), fy = std::floor(y);
    int ix = (int)fx, iy = (int)fy;
    auto at = [&](int i, int j) {
        return hashUnit(((i % period) + period) % period, ((j % period) + period) % period, seed);
    };
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx), ty = ty * ty * (3 - 2 * ty);
    double a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

// exp(-x) for x >= 0, close enough for glows: (1 + x/8)^-8.
double glowFalloff(double x) {
    double k = 1.0 / (1.0 + x * 0.125);
    k *= k;
    k *= k;
    return k * k;
}

void prepareTables(ClipPainter& painter) {
    prepareSineTable();
    const int w = 2 * clipWidth, h = 2 * clipHeight;
    painter.tunnelAngle.resize(w * h), painter.tunnelDepth.resize(w * h),
        painter.tunnelFog.resize(w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            double dx = x + 0.5 - clipWidth, dy = y + 0.5 - clipHeight,
                   d = std::sqrt(dx * dx + dy * dy) + 1e-3;
            painter.tunnelAngle[y * w + x] = (float)(std::atan2(dy, dx) / (2 * pi) * 8);
            painter.tunnelDepth[y * w + x] = (float)(56.0 / d);
            painter.tunnelFog[y * w + x] = (float)std::exp(-56.0 / d * 0.10);
        }
    painter.kaleidoscopeRadius.resize(clipWidth * clipHeight);
    painter.kaleidoscopeAngle.resize(clipWidth * clipHeight);
    painter.vignette.resize(clipWidth * clipHeight);
    for (int y = 0; y < clipHeight; y++)
        for (int x = 0; x < clipWidth; x++) {
            double px = (x + 0.5 - clipWidth / 2.0) / clipHeight,
                   py = (y + 0.5 - clipHeight / 2.0) / clipHeight;
            painter.kaleidoscopeRadius[y * clipWidth + x] = (float)std::sqrt(px * px + py * py);
            painter.kaleidoscopeAngle[y * clipWidth + x] = (float)std::atan2(py, px);
            double dx = (x - clipWidth / 2.0) / clipWidth, dy = (y - clipHeight / 2.0) / clipHeight;
            painter.vignette[y * clipWidth + x] = (float)(1.0 - 0.5 * (dx * dx + dy * dy));
        }
}

void prepareHills(ClipPainter& painter) {
    painter.height.resize(mapSize * mapSize);
    painter.ground.resize(mapSize * mapSize);
    for (int y = 0; y < mapSize; y++)
        for (int x = 0; x < mapSize; x++) {
            double h = 0, w = 0.5, total = 0;
            for (int octave = 0, period = 4; octave < 5; octave++, period *= 2, w *= 0.45) {
                h += w * tilingNoise(x * period / (double)mapSize, y * period / (double)mapSize,
                                     period, 300 + octave);
                total += w;
            }
            h /= total;
            painter.height[y * mapSize + x] = (float)std::pow(std::max(0.0, h - 0.25) / 0.75, 1.6);
        }
    for (int y = 0; y < mapSize; y++)
        for (int x = 0; x < mapSize; x++) {
            double h = painter.height[y * mapSize + x];
            double slope = h - painter.height[y * mapSize + (x + mapSize - 2) % mapSize];
            Rgb low{0.10, 0.04, 0.22}, high{0.62, 0.18, 0.52}, peak{1.0, 0.62, 0.50};
            Rgb c = h < 0.55 ? mix(low, high, h / 0.55) : mix(high, peak, (h - 0.55) / 0.45);
            c = scale(c, std::clamp(1.0 + slope * 6.0, 0.45, 1.5)); // lit from the left
            painter.ground[y * mapSize + x] = c;
        }
}

double beatPulse(double t) {
    double phase = fraction((t - grooveStart) / beatSeconds) * beatSeconds;
    return std::exp(-phase * 9.0);
}

// The tunnel's centre wanders: (cx, cy) is its offset from the frame's middle.
Rgb tunnelPixel(const ClipPainter& painter, double t, int x, int y, int cx, int cy, double pulse) {
    int index = (y - cy + clipHeight / 2) * 2 * clipWidth + (x - cx + clipWidth / 2);
    double depth = painter.tunnelDepth[index];
    double u = painter.tunnelAngle[index] * 1.5 + t * 0.18 + fastSin(depth * 0.3 + t) * 0.1;
    double v = depth * 2.2 + t * 5.0;
    double fu = fraction(u), fv = fraction(v);
    double edge = std::min(std::min(fu, 1 - fu), std::min(fv, 1 - fv) * 0.7);
    double line = glowFalloff(edge * 26);
    double panelHash = hashUnit((int)floorOf(u) % 12, (int)floorOf(v), 77);
    Rgb panel = panelHash > 0.85   ? Rgb{0.9, 0.5, 1.0}
                : panelHash > 0.55 ? Rgb{0.05, 0.10, 0.30}
                                   : Rgb{0.03, 0.03, 0.12};
    Rgb lineColour = palette(v * 0.05 + 0.1);
    Rgb c = add(scale(panel, 0.7 + 0.6 * pulse), scale(lineColour, line * (1.0 + 1.6 * pulse)));
    // A ring of light rushes out on every beat.
    double ringDepth = 14.0 * (1 - fraction((t - grooveStart) / beatSeconds));
    c = add(c, scale(Rgb{1.0, 0.9, 1.0}, glowFalloff(std::fabs(depth - ringDepth) * 1.8) * 0.9));
    return scale(c, painter.tunnelFog[index]);
}

Rgb kaleidoscopePixel(const ClipPainter& painter, double t, int x, int y, double pulse) {
    double zoom = 1.6 + 0.5 * std::sin(t * 0.45) - 0.3 * pulse;
    double r = painter.kaleidoscopeRadius[y * clipWidth + x] * zoom;
    double a = painter.kaleidoscopeAngle[y * clipWidth + x] + t * 0.35;
    const double segment = pi / 3;
    a = std::fabs(a - 2 * segment * floorOf(a / (2 * segment)) - segment);
    double qx = r * fastCos(a), qy = r * fastSin(a);
    double v = fastSin(qx * 9 + t * 1.1) + fastSin(qy * 11 - t * 1.4) + fastSin(r * 16 - t * 3.2);
    double bands = 0.5 + 0.5 * fastCos(v * pi);
    Rgb c = scale(palette(v * 0.12 + t * 0.06 + r * 0.3), 0.25 + 0.85 * bands);
    // Bright seams along the mirror lines.
    c = add(c, scale(Rgb{1.0, 0.85, 0.95}, glowFalloff(a * r * 60) * 0.6));
    c = add(c, scale(Rgb{1, 1, 1}, pulse * 0.25 * bands));
    return scale(c, std::clamp(1.25 - r * 0.35, 0.0, 1.0));
}

const double hillsHorizon = clipHeight * 0.42;

// The hills' height in world units, bilinear between map cells.
double heightAt(const ClipPainter& painter, double x, double z) {
    double fx = floorOf(x), fz = floorOf(z);
    int ix = ((int)fx % mapSize + mapSize) % mapSize, iz = ((int)fz % mapSize + mapSize) % mapSize;
    int jx = (ix + 1) % mapSize, jz = (iz + 1) % mapSize;
    double tx = x - fx, tz = z - fz;
    const float* h = painter.height.data();
    double a = h[iz * mapSize + ix] + (h[iz * mapSize + jx] - h[iz * mapSize + ix]) * tx;
    double b = h[jz * mapSize + ix] + (h[jz * mapSize + jx] - h[jz * mapSize + ix]) * tx;
    return (a + (b - a) * tz) * 80.0;
}

void prepareSky(ClipPainter& painter) {
    const double sunX = clipWidth * 0.5, sunY = hillsHorizon - 26, sunRadius = 38;
    painter.sky.resize(clipWidth * clipHeight);
    painter.sunGlow.resize(clipWidth * clipHeight);
    for (int y = 0; y < clipHeight; y++)
        for (int x = 0; x < clipWidth; x++) {
            double k = std::clamp(y / hillsHorizon, 0.0, 1.0);
            Rgb sky = mix(Rgb{0.05, 0.04, 0.20}, Rgb{0.95, 0.40, 0.45}, std::pow(k, 1.8));
            double d = std::hypot(x - sunX, y - sunY);
            Rgb glow =
                scale(Rgb{1.0, 0.5, 0.3}, 0.5 * std::exp(-std::max(0.0, d - sunRadius) * 0.05));
            double along = (y - sunY + sunRadius) / (2 * sunRadius);
            bool cut = along > 0.5 && fraction(along * 9) < (along - 0.5) * 1.2;
            if (d < sunRadius && !cut) {
                sky = mix(Rgb{1.0, 0.92, 0.5}, Rgb{1.0, 0.35, 0.55}, along);
                glow = Rgb{0, 0, 0};
            }
            painter.sky[y * clipWidth + x] = sky;
            painter.sunGlow[y * clipWidth + x] = glow;
        }
}

void paintHills(const ClipPainter& painter, double t, double pulse, std::vector<Rgb>& out) {
    const double horizon = hillsHorizon;
    // Sky and sun first; the sun's glow swells on the beat.
    for (int i = 0; i < clipWidth * clipHeight; i++)
        out[i] = add(painter.sky[i], scale(painter.sunGlow[i], 1 + pulse * 0.5));
    // Then the hills, column by column from near to far (the classic height-map flight).
    double camX = 40 * std::sin(t * 0.21), camZ = t * 30.0, heading = 0.25 * std::sin(t * 0.33);
    double camHeight = 45 + heightAt(painter, camX, camZ + 20) * 0.6 + 10 * std::sin(t * 0.5);
    for (int x = 0; x < clipWidth; x++) {
        double angle = heading + (x / (double)clipWidth - 0.5) * 1.3;
        double dirX = std::sin(angle), dirZ = std::cos(angle);
        int lowest = clipHeight; // rows below this are already drawn
        for (double z = 3.0; z < 420.0 && lowest > 0; z *= 1.015) {
            double wx = camX + dirX * z, wz = camZ + dirZ * z;
            double h = heightAt(painter, wx, wz);
            int top = (int)((camHeight - h) / z * 150.0 + horizon);
            if (top >= lowest)
                continue;
            int mx = ((int)floorOf(wx) % mapSize + mapSize) % mapSize,
                mz = ((int)floorOf(wz) % mapSize + mapSize) % mapSize;
            Rgb c = painter.ground[mz * mapSize + mx];
            // Glowing survey lines on the ground, brighter on the beat.
            double gx = fraction(wx / 16.0), gz = fraction(wz / 16.0);
            double line = glowFalloff(std::min(std::min(gx, 1 - gx), std::min(gz, 1 - gz)) * 40);
            c = add(c, scale(Rgb{0.3, 0.9, 1.0}, line * (0.6 + pulse) * glowFalloff(z / 150)));
            double fog = std::clamp((z - 60) / 360, 0.0, 1.0);
            c = mix(c, Rgb{0.85, 0.35, 0.45}, fog);
            for (int y = std::max(0, top); y < lowest; y++)
                out[y * clipWidth + x] = c;
            lowest = std::max(0, top);
        }
    }
}

uint8_t toByte(double v) {
    return (uint8_t)(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5);
}

} // namespace

ClipPainter* openClipPainter() {
    ClipPainter* painter = new ClipPainter;
    prepareTables(*painter);
    preparePalette();
    prepareSky(*painter);
    prepareHills(*painter);
    return painter;
}

void closeClipPainter(ClipPainter* painter) {
    delete painter;
}

void paintClipFrame(ClipPainter* painter, int frame, std::vector<uint8_t>& rgb) {
    double t = clipStart + frame * clipFrameSeconds;
    double pulse = beatPulse(t);
    std::vector<Rgb> picture(clipWidth * clipHeight);
    const double firstCut = grooveStart + 8 * barSeconds, secondCut = firstCut + 8 * barSeconds;
    if (t >= secondCut) {
        paintHills(*painter, t, pulse, picture);
    } else {
        int cx = (int)std::lround(34 * std::sin(t * 0.7)),
            cy = (int)std::lround(22 * std::cos(t * 0.93));
        for (int y = 0; y < clipHeight; y++)
            for (int x = 0; x < clipWidth; x++)
                picture[y * clipWidth + x] = t < firstCut
                                                 ? tunnelPixel(*painter, t, x, y, cx, cy, pulse)
                                                 : kaleidoscopePixel(*painter, t, x, y, pulse);
    }
    double sinceCut = t >= secondCut ? t - secondCut : t >= firstCut ? t - firstCut : 99;
    double flash = std::exp(-sinceCut * 7.0);
    rgb.resize(clipWidth * clipHeight * 3);
    for (int y = 0; y < clipHeight; y++)
        for (int x = 0; x < clipWidth; x++) {
            Rgb c = mix(picture[y * clipWidth + x], Rgb{1, 1, 1}, flash);
            c = scale(c, painter->vignette[y * clipWidth + x]);
            uint8_t* p = &rgb[(y * clipWidth + x) * 3];
            p[0] = toByte(c.r), p[1] = toByte(c.g), p[2] = toByte(c.b);
        }
}
