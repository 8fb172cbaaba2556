// Bitmap text on a real GL context, with font textures made here: a test
// font whose 16 x 16 cells are one texel each, coloured by their place in
// the grid, shows which glyph each character calls; a white font shows the
// extent of a line.
#include <GL/gl.h>

#include <algorithm>
#include <vector>

#include "effects/bitmap_text.h"
#include "media/texture_set.h"
#include "tests/support/gl_test.h"

namespace {

// Glyph g lies in column g % 16 and in row g / 16 counted down from t = 1,
// that is stored texel row 15 - g / 16.
Rgb glyphColour(int glyph) {
    return Rgb{(glyph % 16) * 16 + 8, (15 - glyph / 16) * 16 + 8, 200};
}

GLuint gridFont() {
    std::vector<uint8_t> rgba;
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            Rgb c = glyphColour((15 - row) * 16 + column);
            rgba.insert(rgba.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g),
                                     static_cast<uint8_t>(c.b), 255});
        }
    }
    return makeTestTexture(16, 16, GL_RGBA, rgba.data());
}

GLuint whiteFont() {
    std::vector<uint8_t> white(16 * 16 * 4, 255);
    return makeTestTexture(16, 16, GL_RGBA, white.data());
}

class BitmapText : public GlTest {
  protected:
    static void SetUpTestSuite() {
        GlTest::SetUpTestSuite();
        buildFont();
        grid = gridFont();
        white = whiteFont();
    }
    static GLuint grid, white;
};

GLuint BitmapText::grid;
GLuint BitmapText::white;

// The centre of glyph number n of a line at text position (x, y), scale s, in
// screen pixels (y downwards): one text unit is 1.25 pixels.
int glyphCentreX(int x, int n, float s) {
    return static_cast<int>((x + (n + 0.5f) * 16 * s) * 1.25f);
}
int glyphCentreY(int y, float s) {
    return 599 - static_cast<int>((y + 8 * s) * 1.25f);
}

} // namespace

TEST_F(BitmapText, CharactersCallTheirGlyphsInBothSets) {
    struct Case {
        const char* text;
        int set;
        int glyphs[3];
    } cases[] = {
        {"a q", 0, {65, 0, 81}},     // a is column 1 of row 4
        {"a q", 1, {193, 128, 209}}, // set 1 is 128 glyphs on
        {"a q", 5, {193, 128, 209}}, // any set above 1 counts as 1
        {"A~!", 0, {33, 94, 1}},
    };
    fontTexture = grid;
    for (const Case& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(1, 1, 1, 1);
        printText(100, 200, c.text, c.set, 1.0f);
        for (int n = 0; n < 3; ++n)
            EXPECT_TRUE(near(pixel(glyphCentreX(100, n, 1), glyphCentreY(200, 1)),
                             glyphColour(c.glyphs[n])))
                << "\"" << c.text << "\" set " << c.set << " character " << n;
    }
}

// At scale 2 each glyph is 32 x 32 units (40 x 40 pixels) and the pen moves
// 32 units: "quenlat" at (320, 140) spans x 320..544, y 140..172.
TEST_F(BitmapText, QuenlatAtScaleTwoSpansItsUnits) {
    fontTexture = white;
    glColor4f(1, 1, 1, 1);
    printText(320, 140, "quenlat", 0, 2.0f);
    // Pixels 400..679 across and rows 385..424 from the top.
    const Rgb white{255, 255, 255};
    const Rgb black{0, 0, 0};
    for (int y : {385, 405, 424}) {
        EXPECT_TRUE(near(pixel(400, y), white, 0)) << "y " << y;
        EXPECT_TRUE(near(pixel(679, y), white, 0)) << "y " << y;
        EXPECT_TRUE(near(pixel(399, y), black, 0)) << "y " << y;
        EXPECT_TRUE(near(pixel(680, y), black, 0)) << "y " << y;
    }
    EXPECT_TRUE(near(pixel(500, 384), black, 0));
    EXPECT_TRUE(near(pixel(500, 425), black, 0));
}

TEST_F(BitmapText, TextAddsItsColourWeightedByAlpha) {
    fontTexture = white;
    struct Case {
        float alpha;
        int added;
    } cases[] = {{0, 0}, {0.25f, 64}, {0.5f, 128}, {1, 255}};
    for (const Case& c : cases) {
        glClearColor(0.2f, 0.2f, 0.2f, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
        glColor4f(1, 0.5f, 0, c.alpha);
        printText(0, 0, "x", 0, 1.0f);
        int r = std::min(255, 51 + c.added);
        int g = 51 + c.added / 2;
        EXPECT_TRUE(near(pixel(10, 590), {r, g, 51})) << "alpha " << c.alpha;
    }
}

TEST_F(BitmapText, LeavesBlendingOnDepthTestOnAndTheColourUntouched) {
    fontTexture = white;
    std::vector<GLfloat> matrices = currentMatrices();
    for (const char* text : {"tamzel", ""}) {
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        glMatrixMode(GL_PROJECTION);
        glColor4f(0.25f, 0.5f, 0.75f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT);
        printText(10, 10, text, 0, 1.0f);
        EXPECT_TRUE(glIsEnabled(GL_BLEND)) << "\"" << text << "\"";
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "\"" << text << "\"";
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "\"" << text << "\"";
        GLint src = 0, dst = 0, mode = 0;
        glGetIntegerv(GL_BLEND_SRC, &src);
        glGetIntegerv(GL_BLEND_DST, &dst);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(src, GL_SRC_ALPHA);
        EXPECT_EQ(dst, GL_ONE);
        EXPECT_EQ(mode, GL_MODELVIEW);
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_FLOAT_EQ(colour[0], 0.25f);
        EXPECT_FLOAT_EQ(colour[3], 0.5f);
        EXPECT_EQ(currentMatrices(), matrices);
    }
    // The empty line drew nothing.
    glDisable(GL_BLEND);
    EXPECT_TRUE(near(pixel(20, 580), {0, 0, 0}, 0));
}

// Bytes outside the 256 lists draw nothing and keep the pen moving; they
// never call another display list, such as this red square.
TEST_F(BitmapText, BytesOutsideTheFontDrawNothingButAdvance) {
    fontTexture = grid;
    GLuint stray = glGenLists(128);
    for (GLuint i = 0; i < 128; ++i) {
        glNewList(stray + i, GL_COMPILE);
        glDisable(GL_TEXTURE_2D);
        glColor3f(1, 0, 0);
        glRecti(0, 0, 640, 480);
        glEndList();
    }
    for (int set : {0, 1}) {
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(1, 1, 1, 1);
        const char text[] = {'\x01', 'a', '\x1f', static_cast<char>(0xF0), 'a', 0};
        printText(100, 200, text, set, 1.0f);
        // Set 0 has no glyphs below code 32 and set 1 none above code 159.
        int a = set == 0 ? 65 : 193;
        Rgb first = set == 0 ? Rgb{0, 0, 0} : glyphColour(97);
        Rgb third = set == 0 ? Rgb{0, 0, 0} : glyphColour(127);
        Rgb fourth = set == 0 ? glyphColour(208) : Rgb{0, 0, 0};
        EXPECT_TRUE(near(pixel(glyphCentreX(100, 0, 1), glyphCentreY(200, 1)), first));
        EXPECT_TRUE(near(pixel(glyphCentreX(100, 1, 1), glyphCentreY(200, 1)), glyphColour(a)));
        EXPECT_TRUE(near(pixel(glyphCentreX(100, 2, 1), glyphCentreY(200, 1)), third));
        EXPECT_TRUE(near(pixel(glyphCentreX(100, 3, 1), glyphCentreY(200, 1)), fourth));
        EXPECT_TRUE(near(pixel(glyphCentreX(100, 4, 1), glyphCentreY(200, 1)), glyphColour(a)));
        EXPECT_TRUE(near(pixel(50, 50), {0, 0, 0}, 0)) << "set " << set;
    }
    glDeleteLists(stray, 128);
}

TEST_F(BitmapText, FontListsAreTwoHundredFiftySixConsecutiveLists) {
    ASSERT_NE(fontListBase, 0u);
    for (GLuint g : {0u, 1u, 127u, 128u, 255u})
        EXPECT_TRUE(glIsList(fontListBase + g)) << "glyph " << g;
}
