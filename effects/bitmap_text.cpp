// Bitmap text: a 16 x 16 grid of glyphs in the font texture, one display
// list per glyph, each list drawing its glyph as a 16 x 16 quad and moving
// the pen 16 units on; a string is one glCallLists in a 640 x 480 text frame
// (y upwards) that covers the whole viewport.
//
// Needs the font texture (media/texture_set.h) only when drawing; the lists
// are built at start-up, before the texture is loaded.
#include "effects/bitmap_text.h"

#include <GL/gl.h>

#include <cstring>

#include "media/texture_set.h"

GLuint fontListBase;

static constexpr float cellSize = 0.0625f;

// Row 0 of the grid is the top row of cells, t from 0.9375 to 1.
static void compileGlyph(int glyph) {
    float u = static_cast<float>(glyph % 16) * cellSize;
    float vTop = 1 - static_cast<float>(glyph / 16) * cellSize;
    float vBottom = vTop - cellSize;
    glNewList(fontListBase + glyph, GL_COMPILE);
    glBegin(GL_QUADS);
    glTexCoord2f(u, vBottom);
    glVertex2i(0, 0);
    glTexCoord2f(u + cellSize, vBottom);
    glVertex2i(16, 0);
    glTexCoord2f(u + cellSize, vTop);
    glVertex2i(16, 16);
    glTexCoord2f(u, vTop);
    glVertex2i(0, 16);
    glEnd();
    glTranslated(16, 0, 0);
    glEndList();
}

void buildFont() {
    fontListBase = glGenLists(256);
    for (int glyph = 0; glyph < 256; ++glyph)
        compileGlyph(glyph);
}

// Set 0 maps code k to glyph k - 32, set 1 to glyph k + 96. The text adds its
// colour onto the picture, weighted by texel alpha times colour alpha.
void printText(int32_t x, int32_t y, const char* text, int32_t set, float scale) {
    if (set > 1)
        set = 1;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, fontTexture);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 640, 0, 480, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslated(x, y, 0);
    glScalef(scale, scale, scale);
    glListBase(static_cast<GLuint>(set) * 128 + fontListBase - 32);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
}
