// The video screen: which clip frame belongs to a moment, and the quad that
// shows the video texture upright, 20 units in front of the eye.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "effects/video_screen.h"
#include "media/music.h"
#include "media/video_stream.h"
#include "tests/support/gl_test.h"

namespace {} // namespace

TEST(VideoFrames, OneFramePerSixtyMillisecondsFromTheStart) {
    const float fromMusic57 = 57000 * 0.001f; // the clock's reading at 57 000 ms
    EXPECT_GT(fromMusic57, 57.0f);
    EXPECT_FLOAT_EQ(fromMusic57, 57.0000038f);
    // clang-format off
    struct Case {
        float t;
        int32_t frame;
    } cases[] = {
        {57.0f, 16},
        {59.0f, 50},        // exactly 50 x 60 ms after the start: 50, not 49
        {60.0f, 66},
        {fromMusic57, 16},
        {56.0f, 0},
        {56.06f, 1},
        {59.66f, 61},       // 59.6599998: the constant's excess over 1/60 still gives 61
        {58.82f, 46},       // 46.9999974, which single-precision products round up to 47
        {std::nextafter(94.0f, 0.0f), 633}, // the last the director's window asks for
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(videoFrameAt(56, c.t), c.frame) << c.t;
}

TEST_F(GlTest, VideoScreenShowsTheTextureUprightOnItsQuad) {
    // Texels by (s, t): (0, 0) red, (1, 0) green, (0, 1) blue, (1, 1) white.
    // The video texture has the picture's bottom at t = 0.
    const uint8_t texels[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    GLuint texture = makeTestTexture(2, 2, GL_RGB, texels);
    GLuint saved = videoTexture;
    videoTexture = texture; // no clip is open: the upload leaves it as it is

    glMatrixMode(GL_PROJECTION);
    gluPerspective(45, 800.0 / 600.0, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(3, 2, 1); // the screen does not depend on what the modelview held
    glEnable(GL_DEPTH_TEST);
    demoTime = 60;

    drawVideoScreen(56, 38);

    // 22 x 10.6 units at depth 20: about 797 x 384 pixels, centred.
    int left = firstPixel(screenX(-11, -20)), right = lastPixel(screenX(11, -20));
    int top = firstPixel(screenY(5.3f, -20)), bottom = lastPixel(screenY(-5.3f, -20));
    EXPECT_NEAR(screenX(11, -20) - screenX(-11, -20), 797, 0.5);
    EXPECT_NEAR(screenY(-5.3f, -20) - screenY(5.3f, -20), 384, 0.5);
    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255},
        black{0, 0, 0};
    EXPECT_TRUE(near(pixel(left, bottom), red));
    EXPECT_TRUE(near(pixel(right, bottom), green));
    EXPECT_TRUE(near(pixel(left, top), blue));
    EXPECT_TRUE(near(pixel(right, top), white));
    EXPECT_TRUE(near(pixel(left - 1, 300), black));
    EXPECT_TRUE(near(pixel(right + 1, 300), black));
    EXPECT_TRUE(near(pixel(400, top - 1), black));
    EXPECT_TRUE(near(pixel(400, bottom + 1), black));

    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), texture);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;

    videoTexture = saved;
    glDeleteTextures(1, &texture);
}
