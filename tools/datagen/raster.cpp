// Raster and mask operations for the generated pictures.
#include "raster.h"

#include <algorithm>
#include <cmath>

Raster makeRaster(int width, int height, Colour fill) {
    Raster raster{width, height, std::vector<float>((size_t)width * height * 4)};
    for (size_t i = 0; i < raster.pixels.size(); i += 4) {
        raster.pixels[i] = fill.r;
        raster.pixels[i + 1] = fill.g;
        raster.pixels[i + 2] = fill.b;
        raster.pixels[i + 3] = fill.a;
    }
    return raster;
}

Mask makeMask(int width, int height) {
    return Mask{width, height, std::vector<float>((size_t)width * height, 0.0f)};
}

float maskSample(const Mask& mask, int x, int y) {
    if (x < 0 || y < 0 || x >= mask.width || y >= mask.height)
        return 0.0f;
    return mask.values[(size_t)y * mask.width + x];
}

void blendPixel(Raster& raster, int x, int y, Colour colour, float coverage) {
    if (x < 0 || y < 0 || x >= raster.width || y >= raster.height)
        return;
    float* p = rasterPixel(raster, x, y);
    float a = clampUnit(colour.a * coverage);
    float outA = a + p[3] * (1.0f - a);
    if (outA <= 0.0f) {
        p[0] = p[1] = p[2] = p[3] = 0.0f;
        return;
    }
    // Straight (not premultiplied) alpha in the raster, so mix by weight.
    float keep = p[3] * (1.0f - a);
    p[0] = (colour.r * a + p[0] * keep) / outA;
    p[1] = (colour.g * a + p[1] * keep) / outA;
    p[2] = (colour.b * a + p[2] * keep) / outA;
    p[3] = outA;
}

void fillMask(Raster& raster, const Mask& mask, Colour colour, int offsetX, int offsetY) {
    for (int y = 0; y < mask.height; y++)
        for (int x = 0; x < mask.width; x++) {
            float m = mask.values[(size_t)y * mask.width + x];
            if (m > 0.0f)
                blendPixel(raster, x + offsetX, y + offsetY, colour, m);
        }
}

float smoothStepRange(float edge0, float edge1, float x) {
    float t = clampUnit((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

static void raiseMask(Mask& mask, int x, int y, float value) {
    float& m = maskValue(mask, x, y);
    m = std::max(m, value);
}

void maskDisc(Mask& mask, double cx, double cy, double radius, double softness) {
    int x0 = std::max(0, (int)std::floor(cx - radius - softness - 1));
    int x1 = std::min(mask.width - 1, (int)std::ceil(cx + radius + softness + 1));
    int y0 = std::max(0, (int)std::floor(cy - radius - softness - 1));
    int y1 = std::min(mask.height - 1, (int)std::ceil(cy + radius + softness + 1));
    double soft = std::max(softness, 0.5);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            raiseMask(mask, x, y, clampUnit((float)((radius - d) / soft + 0.5)));
        }
}

void maskRectangle(Mask& mask, double x0, double y0, double x1, double y1, double softness) {
    double soft = std::max(softness, 0.5);
    int ix0 = std::max(0, (int)std::floor(x0 - soft)),
        ix1 = std::min(mask.width - 1, (int)std::ceil(x1 + soft));
    int iy0 = std::max(0, (int)std::floor(y0 - soft)),
        iy1 = std::min(mask.height - 1, (int)std::ceil(y1 + soft));
    for (int y = iy0; y <= iy1; y++)
        for (int x = ix0; x <= ix1; x++) {
            double px = x + 0.5, py = y + 0.5;
            double inside = std::min(std::min(px - x0, x1 - px), std::min(py - y0, y1 - py));
            raiseMask(mask, x, y, clampUnit((float)(inside / soft + 0.5)));
        }
}

void maskLine(Mask& mask, double x0, double y0, double x1, double y1, double halfWidth) {
    double dx = x1 - x0, dy = y1 - y0, lengthSquared = dx * dx + dy * dy;
    int ix0 = std::max(0, (int)std::floor(std::min(x0, x1) - halfWidth - 1));
    int ix1 = std::min(mask.width - 1, (int)std::ceil(std::max(x0, x1) + halfWidth + 1));
    int iy0 = std::max(0, (int)std::floor(std::min(y0, y1) - halfWidth - 1));
    int iy1 = std::min(mask.height - 1, (int)std::ceil(std::max(y0, y1) + halfWidth + 1));
    for (int y = iy0; y <= iy1; y++)
        for (int x = ix0; x <= ix1; x++) {
            double px = x + 0.5 - x0, py = y + 0.5 - y0;
            double t =
                lengthSquared > 0 ? std::clamp((px * dx + py * dy) / lengthSquared, 0.0, 1.0) : 0.0;
            double d = std::hypot(px - t * dx, py - t * dy);
            raiseMask(mask, x, y, clampUnit((float)(halfWidth - d + 0.5)));
        }
}

static void boxBlurRows(std::vector<float>& values, int width, int height, int radius) {
    std::vector<float> row(width);
    for (int y = 0; y < height; y++) {
        float* line = &values[(size_t)y * width];
        double sum = 0.0;
        for (int x = -radius; x <= radius; x++)
            sum += line[std::clamp(x, 0, width - 1)];
        for (int x = 0; x < width; x++) {
            row[x] = (float)(sum / (2 * radius + 1));
            sum += line[std::min(x + radius + 1, width - 1)] - line[std::max(x - radius, 0)];
        }
        std::copy(row.begin(), row.end(), line);
    }
}

static std::vector<float> transposed(const std::vector<float>& values, int width, int height) {
    std::vector<float> out(values.size());
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            out[(size_t)x * height + y] = values[(size_t)y * width + x];
    return out;
}

void blurMask(Mask& mask, int radius) {
    if (radius <= 0)
        return;
    for (int pass = 0; pass < 3; pass++)
        boxBlurRows(mask.values, mask.width, mask.height, radius);
    std::vector<float> columns = transposed(mask.values, mask.width, mask.height);
    for (int pass = 0; pass < 3; pass++)
        boxBlurRows(columns, mask.height, mask.width, radius);
    mask.values = transposed(columns, mask.height, mask.width);
}

void dilateMask(Mask& mask, int radius) {
    Mask out = makeMask(mask.width, mask.height);
    for (int y = 0; y < mask.height; y++)
        for (int x = 0; x < mask.width; x++) {
            float best = 0.0f;
            for (int dy = -radius; dy <= radius; dy++)
                for (int dx = -radius; dx <= radius; dx++) {
                    if (dx * dx + dy * dy > radius * radius)
                        continue;
                    best = std::max(best, maskSample(mask, x + dx, y + dy));
                }
            out.values[(size_t)y * mask.width + x] = best;
        }
    mask = out;
}

void mirrorLeftRight(Raster& raster) {
    for (int y = 0; y < raster.height; y++)
        for (int x = 0; x < raster.width / 2; x++) {
            float* a = rasterPixel(raster, x, y);
            float* b = rasterPixel(raster, raster.width - 1 - x, y);
            for (int c = 0; c < 4; c++)
                std::swap(a[c], b[c]);
        }
}

void mirrorTopBottom(Raster& raster) {
    size_t rowLength = (size_t)raster.width * 4;
    for (int y = 0; y < raster.height / 2; y++)
        std::swap_ranges(raster.pixels.begin() + y * rowLength,
                         raster.pixels.begin() + (y + 1) * rowLength,
                         raster.pixels.begin() + (raster.height - 1 - y) * rowLength);
}

std::vector<uint8_t> rasterBytes(const Raster& raster, int channels) {
    std::vector<uint8_t> bytes((size_t)raster.width * raster.height * channels);
    for (size_t i = 0, n = (size_t)raster.width * raster.height; i < n; i++)
        for (int c = 0; c < channels; c++)
            bytes[i * channels + c] =
                (uint8_t)std::lround(clampUnit(raster.pixels[i * 4 + c]) * 255.0f);
    return bytes;
}
