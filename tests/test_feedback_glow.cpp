// The feedback glow on synthetic frames. The expected values come from the
// glow's rule: the frame shrunk to half size by 2 x 2 averaging, raised to the
// power 1 + passes, box-blurred in x then y with taps of weight
// gain / (2 radius + 1), stretched back and added over the frame once per
// layer, every pass rounded to 8 bits and clamped at white.
#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "effects/feedback_glow.h"
#include "tests/support/gl_test.h"

namespace {

void fillScreen(int grey) {
    float v = grey / 255.0f;
    glClearColor(v, v, v, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
}

// Fills a rectangle given in frame-buffer terms (x from the left, y from the
// bottom) with a grey.
void fillBox(int x, int y, int width, int height, int grey) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, width, height);
    fillScreen(grey);
    glDisable(GL_SCISSOR_TEST);
}

// A pixel in frame-buffer terms, y from the bottom, as the glow's texels are.
int greyAt(int x, int y) {
    return GlTest::pixel(x, GlTest::height - 1 - y).r;
}

// One 8-bit value after a blend multiplies it by a weight and rounds.
int scaled(double value, double weight) {
    return static_cast<int>(std::lround(value * weight));
}

class FeedbackGlow : public GlTest {
  protected:
    static void SetUpTestSuite() {
        GlTest::SetUpTestSuite();
        createGlowTextures();
    }
};

// The glow half texel (200, 150) is the mean of frame pixels 400..401 x 300..301.
constexpr int blockX = 400;
constexpr int blockY = 300;
constexpr int texelX = 200;
constexpr int texelY = 150;

// A white 2 x 2 block, alone on black, glowed with one layer and no extra
// multiply (white squared stays white anyway).
void glowWhiteBlock(float radius, float gain) {
    fillScreen(0);
    fillBox(blockX, blockY, 2, 2, 255);
    drawFeedbackGlow(radius, 1, 1, gain);
}

// The frame pixel whose sample lies three quarters on half texel (tx, ty) and
// a quarter on (tx + 1, ty + 1): it shows the glow there when both are equal.
int glowAtTexel(int tx, int ty) {
    return greyAt(2 * tx + 1, 2 * ty + 1);
}

} // namespace

TEST_F(FeedbackGlow, BlackStaysBlackAndWhiteStaysWhite) {
    struct Params {
        float radius, passes, layers, gain;
    } timeline[] = {{2, 1, 2, 1},    {1, 1, 1, 1},    {3, 0, 3, 0.8f},
                    {1, 1, 2, 0.7f}, {2, 1, 2, 1.5f}, {1, 1, 2, 0.8f}};
    for (const Params& p : timeline) {
        for (int grey : {0, 255}) {
            fillScreen(grey);
            drawFeedbackGlow(p.radius, p.passes, p.layers, p.gain);
            std::vector<uint8_t> frame = GlTest::frame();
            size_t off = 0;
            for (uint8_t v : frame)
                off += v != grey;
            EXPECT_EQ(off, 0u) << "grey " << grey << ", radius " << p.radius << ", gain " << p.gain;
        }
    }
}

// Each tap adds gain / (2 r + 1) of the bright texel; the horizontal pass
// spreads it over 2k + 1 texels of its row, the vertical pass over a square.
TEST_F(FeedbackGlow, ABrightTexelSpreadsWithTheTapWeights) {
    struct Case {
        float radius;
        int taps; // on each side
    } cases[] = {{1, 1}, {2, 2}, {3, 3}, {2.5f, 2}, {1.9f, 1}};
    for (const Case& c : cases) {
        glowWhiteBlock(c.radius, 1);
        double weight = 1.0 / (2 * c.radius + 1);
        int glow = scaled(scaled(255, weight), weight);
        for (int dy = -c.taps; dy < c.taps; ++dy) {
            for (int dx = -c.taps; dx < c.taps; ++dx) {
                if (dx == 0 && dy == 0)
                    continue; // the block itself
                EXPECT_NEAR(glowAtTexel(texelX + dx, texelY + dy), glow, 2)
                    << "radius " << c.radius << " at texel offset " << dx << ", " << dy;
            }
        }
        // One texel beyond the last tap there is no glow at all.
        int beyond = c.taps + 1;
        EXPECT_EQ(greyAt(2 * (texelX + beyond) + 1, blockY), 0) << "radius " << c.radius;
        EXPECT_EQ(greyAt(2 * (texelX - beyond), blockY), 0) << "radius " << c.radius;
        EXPECT_EQ(greyAt(blockX, 2 * (texelY + beyond) + 1), 0) << "radius " << c.radius;
        EXPECT_EQ(greyAt(blockX, 2 * (texelY - beyond)), 0) << "radius " << c.radius;
        // The frame itself comes through unchanged.
        EXPECT_EQ(greyAt(blockX, blockY), 255);
    }
}

TEST_F(FeedbackGlow, ARadiusBelowOneHasNoSideTaps) {
    glowWhiteBlock(0.5f, 1);
    // A blur pass only scales by 1 / 2: the texel holds 255 / 4.
    int glow = scaled(scaled(255, 0.5), 0.5);
    // Pixel (400, 302) samples the texel with weight 3/4 across and 1/4 down.
    EXPECT_NEAR(greyAt(400, 302), scaled(glow, 0.1875), 2);
    // Next door, where a side tap would have put 3/4 of its light, nothing.
    EXPECT_EQ(greyAt(403, 301), 0);
    EXPECT_EQ(greyAt(401, 303), 0);
}

TEST_F(FeedbackGlow, TheGainScalesEveryTap) {
    glowWhiteBlock(1, 0.6f);
    int glow = scaled(scaled(255, 0.2), 0.2);
    EXPECT_NEAR(glowAtTexel(texelX - 1, texelY - 1), glow, 2);
    EXPECT_NEAR(glowAtTexel(texelX, texelY - 1), glow, 2);
}

// A grey frame with radius 0 and gain 1 makes the glow the bright-pass image
// itself: the frame^(1 + passes), added once per layer.
TEST_F(FeedbackGlow, MultiplyPassesRaiseTheFrameToAPower) {
    struct Case {
        float passes;
        int expected;
    } cases[] = {{0, 64 + 64}, {1, 64 + 16}, {1.7f, 64 + 16}, {2, 64 + 4}, {-1, 64 + 64}};
    for (const Case& c : cases) {
        fillScreen(64);
        drawFeedbackGlow(0, c.passes, 1, 1);
        EXPECT_NEAR(greyAt(400, 300), c.expected, 1) << "passes " << c.passes;
        EXPECT_NEAR(greyAt(0, 0), c.expected, 1) << "passes " << c.passes;
    }
}

TEST_F(FeedbackGlow, LayersAreLaidOncePlusOncePerWholeNumberBelowTheCount) {
    struct Case {
        float layers;
        int count;
    } cases[] = {{1, 1}, {2, 2}, {2.5f, 3}, {3, 3}, {3.01f, 4}, {0, 1}, {-2, 1}, {1.5f, 2}};
    for (const Case& c : cases) {
        fillScreen(32);
        drawFeedbackGlow(0, 0, c.layers, 1);
        EXPECT_NEAR(greyAt(400, 300), 32 + 32 * c.count, 1) << "layers " << c.layers;
    }
}

// On a uniform frame every blur tap reads the same value, the clamped border
// included, so a pass scales by (2k + 1) / (2r + 1).
TEST_F(FeedbackGlow, AFractionalRadiusWeakensEveryTap) {
    struct Case {
        float radius;
        int expected;
    } cases[] = {{2, 120 + 120}, {2.5f, 120 + 83}, {0.5f, 120 + 30}};
    for (const Case& c : cases) {
        fillScreen(120);
        drawFeedbackGlow(c.radius, 0, 1, 1);
        EXPECT_NEAR(greyAt(400, 300), c.expected, 3) << "radius " << c.radius;
    }
}

// Shifted taps at the edge repeat the border texels, so a bright border
// keeps its glow right up to the screen's edges and corners. With taps of
// 1/5 a grey of 100 gives exactly 20 per tap.
TEST_F(FeedbackGlow, TheBorderIsClampedNotFaded) {
    fillScreen(0);
    fillBox(0, 0, 40, 600, 100);
    drawFeedbackGlow(2, 0, 1, 1);
    for (int y : {0, 1, 300, 598, 599}) {
        EXPECT_NEAR(greyAt(0, y), 200, 2) << "row " << y;
        EXPECT_NEAR(greyAt(20, y), 200, 2) << "row " << y;
    }
    // Right of the border: half texel 20 catches two taps, 21 one, and
    // pixel 41 samples them 3/4 and 1/4.
    EXPECT_NEAR(greyAt(41, 300), 35, 2);
    EXPECT_EQ(greyAt(60, 300), 0);
}

TEST_F(FeedbackGlow, TheSameFrameGivesTheSameResultEveryCall) {
    auto drawPattern = [] {
        fillScreen(0);
        for (int i = 0; i < 12; ++i)
            fillBox(37 * i + 5, 29 * i + 3, 11 + 3 * i, 7 + 5 * i, 40 + 17 * i);
    };
    drawPattern();
    drawFeedbackGlow(2, 1, 2, 1);
    std::vector<uint8_t> first = GlTest::frame();
    drawPattern();
    drawFeedbackGlow(3, 0, 3, 1.1f);
    drawPattern();
    drawFeedbackGlow(2, 1, 2, 1);
    EXPECT_TRUE(first == GlTest::frame());
}

TEST_F(FeedbackGlow, LeavesTheDocumentedStateBehind) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(30, 0, 1, 0);
    std::vector<GLfloat> matrices = currentMatrices();
    // The glow sets its own viewport and ignores a 2D texture left enabled.
    glViewport(10, 10, 100, 100);
    GLuint texture2d = solidTestTexture(0, 0, 0);
    glBindTexture(GL_TEXTURE_2D, texture2d);
    glEnable(GL_TEXTURE_2D);
    fillScreen(64);
    drawFeedbackGlow(2, 1, 2, 1);
    glDisable(GL_TEXTURE_2D);

    EXPECT_NEAR(greyAt(400, 300), 64 + 2 * 16, 3);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_RECTANGLE));
    GLint bound = 0, viewport[4], mode = 0, src = 0, dst = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), glowFullTexture);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_ONE);
    EXPECT_EQ(dst, GL_ONE);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1);
    EXPECT_FLOAT_EQ(colour[1], 1);
    EXPECT_FLOAT_EQ(colour[2], 1);
    EXPECT_FLOAT_EQ(colour[3], 1.0f / 5);
    EXPECT_EQ(currentMatrices(), matrices);
    glDeleteTextures(1, &texture2d);
}

TEST_F(FeedbackGlow, TexturesAreRectanglesOfTheGlowSizes) {
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_RECTANGLE, glowFullTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    glBindTexture(GL_TEXTURE_RECTANGLE, glowHalfTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 300);
    EXPECT_NE(glowFullTexture, glowHalfTexture);
}
