// Text for the generated pictures, rendered with FreeType from the DejaVu
// fonts that Debian installs (fonts-dejavu-core).
#pragma once

#include "raster.h"

struct TextFont; // one FreeType face

// The DejaVu face of that file name (for example "DejaVuSans-Bold.ttf"), or
// null with a message naming the file when it cannot be opened.
TextFont* openTextFont(const char* fileName);

struct TextExtent {
    double width;   // advance of the whole string, pixels
    double ascent;  // highest ink above the baseline
    double descent; // lowest ink below the baseline (positive down)
};

TextExtent measureText(TextFont* font, const char* text, double pixelSize);
// Adds the string's coverage to the mask with its pen starting at x on the
// baseline y; tracking adds space between letters (pixels).
void drawTextMask(Mask& mask, TextFont* font, const char* text, double pixelSize, double x,
                  double baseline, double tracking = 0.0);
// One character's coverage, positioned by its own metrics: its advance box is
// centred horizontally in the cell, baseline at the given row of the cell.
// Nothing spills outside the cell.
void drawGlyphInCell(Mask& mask, TextFont* font, unsigned long charCode, double pixelSize,
                     int cellX, int cellY, int cellSize, int baseline);
