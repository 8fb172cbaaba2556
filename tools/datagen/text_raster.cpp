// FreeType text rendering into coverage masks. The library handle and the
// opened faces live for the whole run of the generator.
#include "text_raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

struct TextFont {
    FT_Face face;
    std::string fileName;
};

static struct {
    FT_Library library;
    bool started;
    TextFont fonts[8];
    int fontCount;
} freeType;

static const char* fontDirectory = "/usr/share/fonts/truetype/dejavu/";

TextFont* openTextFont(const char* fileName) {
    if (!freeType.started) {
        if (FT_Init_FreeType(&freeType.library) != 0) {
            std::fprintf(stderr, "vantrel-datagen: FreeType cannot start\n");
            return nullptr;
        }
        freeType.started = true;
    }
    for (int i = 0; i < freeType.fontCount; i++)
        if (freeType.fonts[i].fileName == fileName)
            return &freeType.fonts[i];
    std::string path = std::string(fontDirectory) + fileName;
    if (freeType.fontCount == 8) {
        std::fprintf(stderr, "vantrel-datagen: too many fonts for %s\n", path.c_str());
        return nullptr;
    }
    TextFont& font = freeType.fonts[freeType.fontCount];
    if (FT_New_Face(freeType.library, path.c_str(), 0, &font.face) != 0) {
        std::fprintf(stderr, "vantrel-datagen: cannot open the font %s (fonts-dejavu-core)\n",
                     path.c_str());
        return nullptr;
    }
    font.fileName = fileName;
    freeType.fontCount++;
    return &font;
}

// Pixel sizes in 26.6 fixed point, so fractional sizes keep their scale.
static void setPixelSize(TextFont* font, double pixelSize) {
    FT_Set_Char_Size(font->face, 0, (FT_F26Dot6)std::lround(pixelSize * 64.0), 72, 72);
}

static bool loadGlyph(TextFont* font, unsigned long charCode, double penFraction) {
    FT_Vector shift{(FT_Pos)std::lround(penFraction * 64.0), 0};
    FT_Set_Transform(font->face, nullptr, &shift);
    FT_UInt index = FT_Get_Char_Index(font->face, charCode);
    if (FT_Load_Glyph(font->face, index, FT_LOAD_NO_HINTING) != 0)
        return false;
    return FT_Render_Glyph(font->face->glyph, FT_RENDER_MODE_NORMAL) == 0;
}

static void addGlyphBitmap(Mask& mask, FT_GlyphSlot slot, int originX, int baseline) {
    const FT_Bitmap& bitmap = slot->bitmap;
    for (unsigned row = 0; row < bitmap.rows; row++)
        for (unsigned column = 0; column < bitmap.width; column++) {
            int x = originX + slot->bitmap_left + (int)column;
            int y = baseline - slot->bitmap_top + (int)row;
            if (x < 0 || y < 0 || x >= mask.width || y >= mask.height)
                continue;
            float v = bitmap.buffer[row * bitmap.pitch + column] / 255.0f;
            float& m = maskValue(mask, x, y);
            m = std::min(1.0f, m + v);
        }
}

TextExtent measureText(TextFont* font, const char* text, double pixelSize) {
    setPixelSize(font, pixelSize);
    TextExtent extent{0.0, 0.0, 0.0};
    for (const char* c = text; *c; c++) {
        if (!loadGlyph(font, (unsigned char)*c, 0.0))
            continue;
        FT_GlyphSlot slot = font->face->glyph;
        if (slot->bitmap.rows > 0) {
            extent.ascent = std::max(extent.ascent, (double)slot->bitmap_top);
            extent.descent = std::max(extent.descent, (double)slot->bitmap.rows - slot->bitmap_top);
        }
        extent.width += slot->advance.x / 64.0;
    }
    return extent;
}

void drawTextMask(Mask& mask, TextFont* font, const char* text, double pixelSize, double x,
                  double baseline, double tracking) {
    setPixelSize(font, pixelSize);
    double pen = x;
    int base = (int)std::lround(baseline);
    for (const char* c = text; *c; c++) {
        double whole = std::floor(pen);
        if (!loadGlyph(font, (unsigned char)*c, pen - whole))
            continue;
        addGlyphBitmap(mask, font->face->glyph, (int)whole, base);
        pen += font->face->glyph->advance.x / 64.0 + tracking;
    }
}

void drawGlyphInCell(Mask& mask, TextFont* font, unsigned long charCode, double pixelSize,
                     int cellX, int cellY, int cellSize, int baseline) {
    setPixelSize(font, pixelSize);
    if (!loadGlyph(font, charCode, 0.0))
        return;
    FT_GlyphSlot slot = font->face->glyph;
    // Centre the ink, not the advance, so narrow and wide letters sit alike
    // in the fixed-width cells.
    double inkCentre = slot->bitmap_left + slot->bitmap.width / 2.0;
    Mask cell = makeMask(cellSize, cellSize);
    addGlyphBitmap(cell, slot, (int)std::lround(cellSize / 2.0 - inkCentre), baseline);
    for (int y = 0; y < cellSize; y++)
        for (int x = 0; x < cellSize; x++) {
            float& m = maskValue(mask, cellX + x, cellY + y);
            m = std::min(1.0f, m + maskValue(cell, x, y));
        }
}
