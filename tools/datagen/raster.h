// Pictures in the making: floating-point RGBA rasters and single-channel
// masks, with the few drawing operations the generator's pictures need.
// Values run 0 to 1; conversion to bytes happens once, when a file is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Colour {
    float r, g, b, a;
};

struct Raster {
    int width, height;
    std::vector<float> pixels; // RGBA, top row first
};

struct Mask {
    int width, height;
    std::vector<float> values; // coverage, top row first
};

Raster makeRaster(int width, int height, Colour fill);
Mask makeMask(int width, int height);

inline float* rasterPixel(Raster& raster, int x, int y) {
    return &raster.pixels[((size_t)y * raster.width + x) * 4];
}
inline float& maskValue(Mask& mask, int x, int y) {
    return mask.values[(size_t)y * mask.width + x];
}
float maskSample(const Mask& mask, int x, int y); // 0 outside

// Source-over: the colour with its alpha times coverage lies over the pixel.
void blendPixel(Raster& raster, int x, int y, Colour colour, float coverage);
// The colour wherever the mask covers, weighted by the mask.
void fillMask(Raster& raster, const Mask& mask, Colour colour, int offsetX = 0, int offsetY = 0);

// Antialiased shapes into masks: the value is raised to the shape's coverage.
void maskDisc(Mask& mask, double cx, double cy, double radius, double softness);
void maskRectangle(Mask& mask, double x0, double y0, double x1, double y1, double softness);
void maskLine(Mask& mask, double x0, double y0, double x1, double y1, double halfWidth);

// Separable box blur, repeated three times (close to a Gaussian of that width).
void blurMask(Mask& mask, int radius);
// Grows the covered area by the radius (maximum over a disc).
void dilateMask(Mask& mask, int radius);

void mirrorLeftRight(Raster& raster);
void mirrorTopBottom(Raster& raster);

// Bytes for a PNG: RGB or RGBA, 8 bits a channel, rounded and clamped.
std::vector<uint8_t> rasterBytes(const Raster& raster, int channels);

inline float clampUnit(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}
inline float mixFloat(float a, float b, float t) {
    return a + (b - a) * t;
}
inline Colour mixColour(Colour a, Colour b, float t) {
    return Colour{mixFloat(a.r, b.r, t), mixFloat(a.g, b.g, t), mixFloat(a.b, b.b, t),
                  mixFloat(a.a, b.a, t)};
}
float smoothStepRange(float edge0, float edge1, float x);
