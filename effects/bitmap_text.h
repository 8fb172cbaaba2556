// Lines of text from a 16 x 16 bitmap font, one display list per glyph, drawn
// in a 640 x 480 text frame (y upwards).
#pragma once

#include <GL/gl.h>

#include <cstdint>

extern GLuint fontListBase;

void buildFont();
void printText(int32_t x, int32_t y, const char* text, int32_t set, float scale);
