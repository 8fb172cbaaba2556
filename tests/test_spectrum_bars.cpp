// The spectrum bars on a real GL context: where each bar stands, how far it
// reaches for a given level, its blend over the frame and the state it leaves.
#include <GL/gl.h>

#include "effects/spectrum_bars.h"
#include "media/music.h"
#include "tests/support/gl_test.h"

namespace {

class SpectrumBars : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        for (float& band : spectrumBands)
            band = 0;
    }
};

// Red at 0.6 over black.
const Rgb barOnBlack{153, 0, 0};
const Rgb black{0, 0, 0};

// The first and last pixel rows a bar of this level covers (y downwards).
struct Reach {
    int top, bottom;
};

Reach reachOf(float level) {
    float h = level * 80 + 30;
    return Reach{static_cast<int>(320 - h), static_cast<int>(320 + h) - 1};
}

} // namespace

TEST_F(SpectrumBars, SilenceGivesThirtyTwoBarsSixtyTall) {
    drawSpectrumBars();
    for (int i = 0; i < 32; ++i) {
        int left = 2 + 25 * i;
        for (int x : {left, left + 10, left + 19}) {
            EXPECT_TRUE(near(pixel(x, 290), barOnBlack)) << "bar " << i << " x " << x;
            EXPECT_TRUE(near(pixel(x, 320), barOnBlack)) << "bar " << i << " x " << x;
            EXPECT_TRUE(near(pixel(x, 349), barOnBlack)) << "bar " << i << " x " << x;
            EXPECT_TRUE(near(pixel(x, 289), black, 0)) << "bar " << i << " x " << x;
            EXPECT_TRUE(near(pixel(x, 350), black, 0)) << "bar " << i << " x " << x;
        }
        // The five-pixel gap after each bar stays uncovered.
        for (int x = left + 20; x < left + 25 && x < 800; ++x)
            EXPECT_TRUE(near(pixel(x, 320), black, 0)) << "gap after bar " << i << " x " << x;
    }
    for (int x : {0, 1, 797, 798, 799})
        EXPECT_TRUE(near(pixel(x, 320), black, 0)) << "x " << x;
}

TEST_F(SpectrumBars, EachBarReachesItsOwnLevelUnclamped) {
    const float levels[] = {1, 0.5f, 0.25f, 2, 4};
    for (int i = 0; i < 5; ++i)
        spectrumBands[3 * i] = levels[i];
    drawSpectrumBars();
    for (int i = 0; i < 5; ++i) {
        int x = 2 + 25 * (3 * i) + 10;
        Reach reach = reachOf(levels[i]);
        for (int y : {reach.top, reach.bottom}) {
            if (y >= 0 && y < 600) {
                EXPECT_TRUE(near(pixel(x, y), barOnBlack)) << "level " << levels[i] << " y " << y;
            }
        }
        if (reach.top - 1 >= 0) {
            EXPECT_TRUE(near(pixel(x, reach.top - 1), black, 0)) << "level " << levels[i];
        }
        if (reach.bottom + 1 < 600) {
            EXPECT_TRUE(near(pixel(x, reach.bottom + 1), black, 0)) << "level " << levels[i];
        }
    }
    // A band at 1 spans 210..430; a band at 4 leaves the screen at both ends.
    EXPECT_EQ(reachOf(1).top, 210);
    EXPECT_EQ(reachOf(1).bottom, 429);
    int x4 = 2 + 25 * 12 + 10;
    EXPECT_TRUE(near(pixel(x4, 0), barOnBlack));
    EXPECT_TRUE(near(pixel(x4, 599), barOnBlack));
    // Neighbouring bars stay at the silent height.
    EXPECT_TRUE(near(pixel(2 + 25 * 1 + 10, 289), black, 0));
}

TEST_F(SpectrumBars, BlendSixTenthsRedOverTheFrameOnce) {
    glClearColor(1, 1, 1, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    drawSpectrumBars();
    // Each half is blended once, also where the halves meet at y = 320.
    for (int y : {290, 319, 320, 349})
        EXPECT_TRUE(near(pixel(12, y), {255, 102, 102})) << "y " << y;
}

TEST_F(SpectrumBars, DrawUntexturedAndLeaveTheDocumentedState) {
    GLuint texture = solidTestTexture(0, 0, 255);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-7, 7, -7, 7, -7, 7);
    glMatrixMode(GL_MODELVIEW);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);

    drawSpectrumBars();

    EXPECT_TRUE(near(pixel(12, 320), barOnBlack));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint src = 0, dst = 0, mode = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat colour[4], projectionAfter[16];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    for (float channel : colour)
        EXPECT_FLOAT_EQ(channel, 1);
    glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(projection[i], projectionAfter[i]);
    glDeleteTextures(1, &texture);
}
