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
    int column = glyph % 16;
    int row = glyph / 16;
    float u = static_cast<float>(column) * cellSize;
    float vTop = 1 - static_cast<float>(row) * cellSize;
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

// The glyph a byte calls in a set, or -1 when it falls outside the 256
// lists: in set 0 codes below 32, in set 1 codes above 159.
static int glyphOf(unsigned char code, int32_t set) {
    int glyph = static_cast<int>(set) * 128 + code - 32;
    return glyph >= 0 && glyph < 256 ? glyph : -1;
}

static bool allInFont(const unsigned char* text, size_t length, int32_t set) {
    for (size_t i = 0; i < length; ++i) {
        if (glyphOf(text[i], set) < 0)
            return false;
    }
    return true;
}

// A byte outside the font draws nothing but keeps the pen moving, so that it
// can never call some other display list.
static void callGlyphsOneByOne(const unsigned char* text, size_t length, int32_t set) {
    for (size_t i = 0; i < length; ++i) {
        int glyph = glyphOf(text[i], set);
        if (glyph >= 0)
            glCallList(fontListBase + static_cast<GLuint>(glyph));
        else
            glTranslated(16, 0, 0);
    }
}

// Set 0 maps code k to glyph k - 32, set 1 to glyph k + 96. The text adds its
// colour onto the picture, weighted by texel alpha times colour alpha.
void printText(int32_t x, int32_t y, const char* text, int32_t set, float scale) {
    if (set > 1)
        set = 1;
    if (set < 0)
        set = 0;
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
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t length = text != nullptr ? std::strlen(text) : 0;
    glListBase(static_cast<GLuint>(set) * 128 + fontListBase - 32);
    if (allInFont(bytes, length, set))
        glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, bytes);
    else
        callGlyphsOneByOne(bytes, length, set);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
}
