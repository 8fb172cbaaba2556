// The sprite fields: seeding from rand(), the drift that accumulates and
// survives seeks, the billboards' geometry and orientation under the window's
// projection, the two passes' textures and blending, the greeting line and the
// state each scene leaves behind.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <regex>

#include "effects/bitmap_text.h"
#include "effects/sprite_fields.h"
#include "media/music.h"
#include "media/texture_set.h"
#include "tests/support/gl_test.h"

namespace {

void useWindowProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45, 800.0 / 600.0, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

const Rgb white{255, 255, 255}, black{0, 0, 0}, red{255, 0, 0}, green{0, 255, 0};

// Sprite 0 alone in view at the given field position; the rest far off to the left.
void isolateFirstSprite(Vec3 position) {
    for (Vec3& sprite : spriteField)
        sprite = Vec3{-1000, 0, 0};
    spriteField[0] = position;
}

void clearTo(float grey) {
    glClearColor(grey, grey, grey, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// One frame's drift of one sprite, both passes.
Vec3 driftedOnce(Vec3 p, float t, double step) {
    p.y = static_cast<float>(p.y + std::sin(static_cast<double>(t) + p.x) * step);
    p.y = static_cast<float>(p.y - std::cos(p.z - static_cast<double>(t)) * step);
    return p;
}

class SpriteFields : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        useWindowProjection();
        std::memset(spectrumBands, 0, sizeof spectrumBands);
        for (GLuint& slot : textureSet)
            slot = 0;
    }
};

} // namespace

TEST(SpriteFieldSeeding, DrawsXThenYThenZFromTheRunningGeneratorWithinTheirRanges) {
    // The field takes whatever the generator yields next and never reseeds it.
    std::srand(77);
    seedSpriteField();
    std::srand(77);
    for (int i = 0; i < spriteCount; ++i) {
        float x = static_cast<float>(std::rand() % 140 - 100);
        float y = static_cast<float>(std::rand() % 4 - 2);
        float z = static_cast<float>(std::rand() % 4 - 2);
        ASSERT_EQ(spriteField[i].x, x) << "sprite " << i;
        ASSERT_EQ(spriteField[i].y, y) << "sprite " << i;
        ASSERT_EQ(spriteField[i].z, z) << "sprite " << i;
    }
    int lowestX = 0, highestX = -1000;
    for (const Vec3& p : spriteField) {
        EXPECT_EQ(p.x, std::trunc(p.x));
        EXPECT_TRUE(p.x >= -100 && p.x <= 39) << p.x;
        EXPECT_TRUE(p.y >= -2 && p.y <= 1) << p.y;
        EXPECT_TRUE(p.z >= -2 && p.z <= 1) << p.z;
        lowestX = std::min(lowestX, static_cast<int>(p.x));
        highestX = std::max(highestX, static_cast<int>(p.x));
    }
    EXPECT_LT(highestX - lowestX, 140);
}

TEST_F(SpriteFields, DriftAccumulatesFrameByFrameAndSurvivesABackwardSeek) {
    std::srand(1);
    seedSpriteField();
    Vec3 expected[spriteCount];
    std::copy(std::begin(spriteField), std::end(spriteField), expected);

    auto drawAndFollow = [&](float t, bool greeting) {
        demoTime = t;
        if (greeting)
            drawGreetingField(0);
        else
            drawOpeningField(0);
        for (Vec3& p : expected)
            p = driftedOnce(p, t, greeting ? 0.005 : 1.0 / 300.0);
    };

    auto expectFieldAsFollowed = [&](const char* when) {
        for (int i = 0; i < spriteCount; ++i) {
            ASSERT_EQ(spriteField[i].x, expected[i].x) << when << ", sprite " << i;
            ASSERT_EQ(spriteField[i].y, expected[i].y) << when << ", sprite " << i;
            ASSERT_EQ(spriteField[i].z, expected[i].z) << when << ", sprite " << i;
        }
    };

    for (int frame = 0; frame < 3; ++frame)
        drawAndFollow(30.0f, false);
    expectFieldAsFollowed("three frames at 30 s");

    drawAndFollow(5.0f, false); // the music was sought back 25 s
    expectFieldAsFollowed("after the seek back to 5 s");
    // Not the height that one frame at 5 s would give from the seed.
    std::srand(1);
    Vec3 seeded[spriteCount];
    seedSpriteField();
    std::copy(std::begin(spriteField), std::end(spriteField), seeded);
    int restored = 0;
    for (int i = 0; i < spriteCount; ++i)
        restored += driftedOnce(seeded[i], 5.0f, 1.0 / 300.0).y == expected[i].y;
    EXPECT_EQ(restored, 0);
    std::copy(std::begin(expected), std::end(expected), spriteField);

    for (int frame = 0; frame < 2; ++frame)
        drawAndFollow(130.0f, true); // the greeting starts from what the opening left
    expectFieldAsFollowed("two greeting frames at 130 s");
}

TEST_F(SpriteFields, BillboardCoversTheSquareTheProjectionGives) {
    // Centre (0, 0, -8) + (1, 0.5): a 2 x 2 square spanning x 0..2, y -0.5..1.5 at depth 8.
    glTranslatef(1, 0.5f, -8);
    drawBillboard(Vec3{0, 0, 0}, 1);

    int left = firstPixel(screenX(0, -8)), right = lastPixel(screenX(2, -8));
    int top = firstPixel(screenY(1.5, -8)), bottom = lastPixel(screenY(-0.5, -8));
    EXPECT_EQ(left, 400);
    EXPECT_EQ(right, 580);
    int row = (top + bottom) / 2, column = (left + right) / 2;
    EXPECT_TRUE(near(pixel(left, row), white));
    EXPECT_TRUE(near(pixel(left - 1, row), black));
    EXPECT_TRUE(near(pixel(right, row), white));
    EXPECT_TRUE(near(pixel(right + 1, row), black));
    EXPECT_TRUE(near(pixel(column, top), white));
    EXPECT_TRUE(near(pixel(column, top - 1), black));
    EXPECT_TRUE(near(pixel(column, bottom), white));
    EXPECT_TRUE(near(pixel(column, bottom + 1), black));
}

TEST_F(SpriteFields, BillboardFacesTheViewerUnderATurnedModelView) {
    // Turned away by 60 degrees and tipped by 40: a flat square of side 2
    // would look narrower; the billboard still shows its full width.
    glTranslatef(0, 0, -8);
    glRotatef(40, 1, 0, 0);
    glRotatef(60, 0, 1, 0);
    drawBillboard(Vec3{0, 0, 0}, 1);

    int left = firstPixel(screenX(-1, -8)), right = lastPixel(screenX(1, -8));
    int top = firstPixel(screenY(1, -8)), bottom = lastPixel(screenY(-1, -8));
    EXPECT_TRUE(near(pixel(left, 300), white));
    EXPECT_TRUE(near(pixel(left - 1, 300), black));
    EXPECT_TRUE(near(pixel(right, 300), white));
    EXPECT_TRUE(near(pixel(right + 1, 300), black));
    EXPECT_TRUE(near(pixel(400, top), white));
    EXPECT_TRUE(near(pixel(400, top - 1), black));
    EXPECT_TRUE(near(pixel(400, bottom), white));
    EXPECT_TRUE(near(pixel(400, bottom + 1), black));
}

TEST_F(SpriteFields, BillboardTextureIsUprightAndANegativeSizeTurnsItHalfWay) {
    // Texels by (s, t): (0, 0) red, (1, 0) green, (0, 1) blue, (1, 1) white.
    const uint8_t texels[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    GLuint texture = makeTestTexture(2, 2, GL_RGB, texels);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    const Rgb blue{0, 0, 255};

    struct Case {
        float halfSize;
        Rgb bottomLeft, bottomRight, topLeft, topRight;
    } cases[] = {{1, red, green, blue, white}, {-1, white, blue, green, red}};
    for (const Case& c : cases) {
        clearTo(0);
        glLoadIdentity();
        glTranslatef(0, 0, -8);
        drawBillboard(Vec3{0, 0, 0}, c.halfSize);
        SCOPED_TRACE(c.halfSize);
        EXPECT_TRUE(near(pixel(355, 345), c.bottomLeft));
        EXPECT_TRUE(near(pixel(445, 345), c.bottomRight));
        EXPECT_TRUE(near(pixel(355, 255), c.topLeft));
        EXPECT_TRUE(near(pixel(445, 255), c.topRight));
    }
    glDeleteTextures(1, &texture);
}

TEST_F(SpriteFields, OpeningFieldMultipliesBothPassesOntoTheFrame) {
    // Slot 1 (first pass, half-size sin 0 + 1.16 x 0.5 + 0.42 = 1) red,
    // slot 0 (second pass, half-size 0.2) green, over a white frame: a red
    // square with a black core where both passes darken it.
    textureSet[1] = solidTestTexture(255, 0, 0);
    textureSet[0] = solidTestTexture(0, 255, 0);
    demoTime = 11; // past the music-driven start of the background
    spectrumBands[5] = 1.16f;
    clearTo(1);
    isolateFirstSprite(Vec3{-22, 0, 0}); // the field sits at x = 2 t = 22

    drawOpeningField(0);

    int outerLeft = firstPixel(screenX(-1, -8)), outerRight = lastPixel(screenX(1, -8));
    int innerLeft = firstPixel(screenX(-0.2, -8)), innerRight = lastPixel(screenX(0.2, -8));
    EXPECT_TRUE(near(pixel(outerLeft - 1, 300), white));
    EXPECT_TRUE(near(pixel(outerLeft, 300), red));
    EXPECT_TRUE(near(pixel(innerLeft - 1, 300), red));
    EXPECT_TRUE(near(pixel(innerLeft, 300), black));
    EXPECT_TRUE(near(pixel(400, 300), black));
    EXPECT_TRUE(near(pixel(innerRight, 300), black));
    EXPECT_TRUE(near(pixel(innerRight + 1, 300), red));
    EXPECT_TRUE(near(pixel(outerRight, 300), red));
    EXPECT_TRUE(near(pixel(outerRight + 1, 300), white));
    EXPECT_TRUE(near(pixel(400, 250), red));
    EXPECT_TRUE(near(pixel(400, 200), white));
}

TEST_F(SpriteFields, GreetingFieldDrawsBothPassesWithSlotFourAndSetsAWhiteClear) {
    // Slot 4 mid-grey for both passes (half-sizes sin 0 + 1.2 and 1): the
    // overlap is darkened twice. At 124 s the field sits at x = -8 + 70 and
    // the greeting line is still off the right edge.
    textureSet[4] = solidTestTexture(128, 128, 128);
    demoTime = 124;
    clearTo(1);
    isolateFirstSprite(Vec3{-62, 0, 0});

    drawGreetingField(0);

    EXPECT_TRUE(near(pixel(400, 300), Rgb{64, 64, 64}, 2));
    int innerRight = lastPixel(screenX(1, -8)), outerRight = lastPixel(screenX(1.2, -8));
    EXPECT_TRUE(near(pixel(innerRight, 300), Rgb{64, 64, 64}, 2));
    EXPECT_TRUE(near(pixel(innerRight + 1, 300), Rgb{128, 128, 128}, 2));
    EXPECT_TRUE(near(pixel(outerRight, 300), Rgb{128, 128, 128}, 2));
    EXPECT_TRUE(near(pixel(outerRight + 1, 300), white));

    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 1);
    EXPECT_EQ(clear[1], 1);
    EXPECT_EQ(clear[2], 1);
    EXPECT_EQ(clear[3], 1);
}

TEST_F(SpriteFields, OpeningFieldLeavesItsStateAndTranslationBehind) {
    textureSet[0] = solidTestTexture(255, 255, 255);
    textureSet[1] = solidTestTexture(255, 255, 255);
    std::srand(1);
    seedSpriteField();
    demoTime = 20;
    const float cuePhase = 4321;
    drawOpeningField(cuePhase);

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0, source = 0, destination = 0, mode = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(static_cast<GLuint>(bound), textureSet[0]);
    EXPECT_EQ(source, GL_DST_COLOR);
    EXPECT_EQ(destination, GL_ZERO);
    EXPECT_EQ(mode, GL_MODELVIEW);

    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_NEAR(m[12], 10 * std::sin(4321.0) + 40, 1e-4);
    EXPECT_EQ(m[13], 0);
    EXPECT_EQ(m[14], -8);
    EXPECT_EQ(m[0], 1);
    EXPECT_EQ(m[5], 1);
    EXPECT_EQ(m[10], 1);
}

TEST_F(SpriteFields, GreetingFieldSlidesLeftFromItsStartAndKeepsTheDepthTestOn) {
    textureSet[4] = solidTestTexture(255, 255, 255);
    struct Case {
        float t, cuePhase;
        double x;
    } cases[] = {{123, 0, 64}, {163, 0, -16}, {140, 777, 10 * std::sin(777.0) + 30}};
    for (const Case& c : cases) {
        demoTime = c.t;
        drawGreetingField(c.cuePhase);
        GLfloat m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_NEAR(m[12], c.x, 1e-4) << c.t;
        EXPECT_EQ(m[14], -8);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    }
}

TEST(GreetingLine, IsTenLowerCaseNamesInNinetyNineCharacters) {
    EXPECT_EQ(std::strlen(greetingLine), 99u);
    EXPECT_TRUE(std::regex_match(greetingLine, std::regex("([a-z]+   ){9}[a-z]+ ")))
        << '"' << greetingLine << '"';
}

TEST(GreetingLine, EntersFromTheRightAndIsTruncatedTowardZero) {
    struct Case {
        float cuePhase, t;
        int32_t x;
    } cases[] = {
        {0, 123, 1200},    {0, 163, -2800}, {0, 134.871f, 12}, // 12.8998 gives 12, not 13
        {0, 135.005f, 0},                                      // -0.5005 gives 0, not -1
        {0, 135.015f, -1},                                     // -1.4999 gives -1, not -2
        {4321, 130, 355},                                      // 150 sin 4321 = -144.93: 355.07
        {1234, 140, -409},                                     // 150 sin 1234 = 90.29: -409.71
    };
    for (const Case& c : cases)
        EXPECT_EQ(greetingLineX(c.cuePhase, c.t), c.x) << c.cuePhase << ", " << c.t;
}

TEST_F(SpriteFields, GreetingFieldScrollsItsLineThroughTheBitmapText) {
    // A font whose blank glyph is clear and every other glyph a solid white
    // cell: the line shows as lit 40-pixel cells where its letters are.
    uint8_t cells[16 * 16 * 4];
    for (int i = 0; i < 16 * 16; ++i) {
        bool blank = i == 15 * 16; // glyph 0: column 0 of the top row (t near 1)
        cells[i * 4 + 0] = cells[i * 4 + 1] = cells[i * 4 + 2] = 255;
        cells[i * 4 + 3] = blank ? 0 : 255;
    }
    GLuint font = 0;
    glGenTextures(1, &font);
    glBindTexture(GL_TEXTURE_2D, font);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, cells);
    GLuint savedFont = fontTexture;
    fontTexture = font;
    buildFont();

    // At 140 s with no jolt the line starts at x = -500 in the 640 x 480 text
    // frame, 32 units per character, between y = 200 and 232: pixel rows 310
    // to 350. The sprites, untextured, multiply onto the black frame.
    demoTime = 140;
    drawGreetingField(0);

    int lit = 0, checked = 0;
    for (int k = 0; k < 99; ++k) {
        double middle = (-500 + 32 * k + 16) * 1.25;
        if (middle < 10 || middle > 790)
            continue;
        ++checked;
        bool letter = greetingLine[k] != ' ';
        lit += letter;
        Rgb seen = pixel(static_cast<int>(middle), 330);
        EXPECT_TRUE(near(seen, letter ? Rgb{255, 255, 255} : Rgb{0, 0, 0}))
            << "character " << k << " '" << greetingLine[k] << "'";
    }
    EXPECT_EQ(checked, 19); // characters 16 to 34
    EXPECT_GT(lit, 0);
    EXPECT_TRUE(near(pixel(400, 305), Rgb{0, 0, 0}));
    EXPECT_TRUE(near(pixel(400, 355), Rgb{0, 0, 0}));

    fontTexture = savedFont;
    glDeleteTextures(1, &font);
}
