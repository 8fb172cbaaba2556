// The pictures made of lettering: the font sheet, the three title cards and
// the logo with its mask. Text comes from the DejaVu faces through FreeType.
#include <cmath>
#include <cstring>

#include "noise.h"
#include "pictures.h"
#include "text_raster.h"

Raster makeFontSheet() {
    const int size = 16 * fontCellSize;
    TextFont* plain = openTextFont("DejaVuSansMono-Bold.ttf");
    TextFont* fancy = openTextFont("DejaVuSerif-BoldItalic.ttf");
    if (!plain || !fancy)
        return Raster{0, 0, {}};
    Mask coverage = makeMask(size, size);
    for (int code = 33; code < 127; code++)
        for (int style = 0; style < 2; style++) {
            int cell = code - 32 + style * 128;
            int cellX = (cell % 16) * fontCellSize, cellY = (cell / 16) * fontCellSize;
            // Baseline low in the cell leaves room for capitals and accents
            // above and a short descender below.
            drawGlyphInCell(coverage, style ? fancy : plain, (unsigned long)code,
                            style ? 25.0 : 26.0, cellX, cellY, fontCellSize, 24);
        }
    // White everywhere, so the nearest texel's colour is always white; the
    // letters are in the alpha channel alone.
    Raster sheet = makeRaster(size, size, Colour{1, 1, 1, 0});
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++)
            rasterPixel(sheet, x, y)[3] = maskValue(coverage, x, y);
    mirrorTopBottom(sheet);
    return sheet;
}

// Lettering centred on a point, returned as a mask the size of the picture.
static Mask centredText(int width, int height, TextFont* font, const char* text, double pixelSize,
                        double centreX, double centreY, double tracking) {
    Mask mask = makeMask(width, height);
    TextExtent extent = measureText(font, text, pixelSize);
    double textWidth = extent.width + tracking * ((double)std::strlen(text) - 1);
    double baseline = centreY + (extent.ascent - extent.descent) / 2;
    drawTextMask(mask, font, text, pixelSize, centreX - textWidth / 2, baseline, tracking);
    return mask;
}

Raster makeTitleCard(const char* word, const char* caption, Colour accent) {
    const int width = 512, height = 256;
    TextFont* bold = openTextFont("DejaVuSans-Bold.ttf");
    TextFont* light = openTextFont("DejaVuSans-ExtraLight.ttf");
    if (!bold || !light)
        return Raster{0, 0, {}};
    Raster card = makeRaster(width, height, Colour{0.02f, 0.02f, 0.03f, 1});
    // A faint vignette of the accent colour behind the word.
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            double dx = (x - width / 2.0) / (width / 2.0), dy = (y - height / 2.0) / (height / 2.0);
            float glow = (float)std::exp(-(dx * dx * 1.6 + dy * dy * 2.2)) * 0.22f;
            float* p = rasterPixel(card, x, y);
            p[0] += accent.r * glow, p[1] += accent.g * glow, p[2] += accent.b * glow;
        }
    // Thin frame lines, open at the corners.
    Mask frame = makeMask(width, height);
    maskRectangle(frame, 24, 18, width - 24, 20, 0.5);
    maskRectangle(frame, 24, height - 20, width - 24, height - 18, 0.5);
    maskRectangle(frame, 12, 34, 14, height - 34, 0.5);
    maskRectangle(frame, width - 14, 34, width - 12, height - 34, 0.5);
    fillMask(card, frame, Colour{accent.r, accent.g, accent.b, 0.8f});
    {
        // As large as fits between the side lines.
        double size = 118;
        while (measureText(bold, word, size).width + 4 * (std::strlen(word) - 1) > 430)
            size -= 2;
        Mask letters = centredText(width, height, bold, word, size, width / 2.0, 112, 4);
        Mask shadow = letters;
        blurMask(shadow, 6);
        fillMask(card, shadow, Colour{accent.r, accent.g, accent.b, 0.9f});
        fillMask(card, letters, Colour{0.97f, 0.96f, 0.93f, 1});
    }
    {
        Mask small = centredText(width, height, light, caption, 22, width / 2.0, 206, 9);
        fillMask(card, small,
                 Colour{accent.r * 0.6f + 0.4f, accent.g * 0.6f + 0.4f, accent.b * 0.6f + 0.4f, 1});
    }
    // The card is shown through a mapping that mirrors it left to right.
    mirrorLeftRight(card);
    return card;
}

// The logo's shape, in the quad's own orientation (before mirroring): the
// word across the lower part of the screen, under the mesh, with a thin open
// ring around the mesh. The quad lies at (128, 80) on the 800 x 600 screen, so
// the screen's centre is at (272, 220) here.
static Mask logoShape() {
    const int size = 512;
    TextFont* bold = openTextFont("DejaVuSans-Bold.ttf");
    TextFont* light = openTextFont("DejaVuSans.ttf");
    if (!bold || !light)
        return Mask{0, 0, {}};
    Mask shape = makeMask(size, size);
    {
        Mask word = centredText(size, size, bold, "VANTREL", 74, 272, 366, 10);
        for (size_t i = 0; i < shape.values.size(); i++)
            shape.values[i] = std::max(shape.values[i], word.values[i]);
    }
    const double cx = 272, cy = 214, radius = 186, pi = 3.14159265358979323846;
    // Ring arcs, broken where the word crosses the bottom.
    for (int i = 0; i < 720; i++) {
        double a0 = i * pi / 360, a1 = (i + 1) * pi / 360;
        double bottom = std::fabs(std::remainder(a0 - pi / 2, 2 * pi));
        if (bottom < 0.95)
            continue;
        maskLine(shape, cx + radius * std::cos(a0), cy + radius * std::sin(a0),
                 cx + radius * std::cos(a1), cy + radius * std::sin(a1), 1.6);
    }
    // Small ticks at the ring's left, top and right.
    for (int k = 0; k < 3; k++) {
        double a = -pi + k * pi / 2;
        maskLine(shape, cx + (radius - 14) * std::cos(a), cy + (radius - 14) * std::sin(a),
                 cx + (radius + 14) * std::cos(a), cy + (radius + 14) * std::sin(a), 2.2);
    }
    // Two short rules beside a caption under the word.
    {
        Mask caption = centredText(size, size, light, "engine", 20, 272, 418, 8);
        for (size_t i = 0; i < shape.values.size(); i++)
            shape.values[i] = std::max(shape.values[i], caption.values[i]);
    }
    maskRectangle(shape, 120, 417, 210, 419, 0.5);
    maskRectangle(shape, 334, 417, 424, 419, 0.5);
    return shape;
}

Raster makeLogo() {
    Mask shape = logoShape();
    if (shape.width == 0)
        return Raster{0, 0, {}};
    Raster logo = makeRaster(shape.width, shape.height, Colour{1, 1, 1, 0});
    for (int y = 0; y < shape.height; y++)
        for (int x = 0; x < shape.width; x++)
            rasterPixel(logo, x, y)[3] = maskValue(shape, x, y);
    mirrorLeftRight(logo);
    return logo;
}

Raster makeLogoMask() {
    // The dark shape is the logo grown by a few pixels and softened, so the
    // red letters added over it stand in a dark outline.
    Mask shape = logoShape();
    if (shape.width == 0)
        return Raster{0, 0, {}};
    dilateMask(shape, 3);
    blurMask(shape, 2);
    Raster mask = makeRaster(shape.width, shape.height, Colour{1, 1, 1, 1});
    for (int y = 0; y < shape.height; y++)
        for (int x = 0; x < shape.width; x++) {
            float dark = 1.0f - 0.92f * clampUnit(maskValue(shape, x, y) * 1.3f);
            float* p = rasterPixel(mask, x, y);
            p[0] = p[1] = p[2] = dark;
        }
    mirrorLeftRight(mask);
    return mask;
}
