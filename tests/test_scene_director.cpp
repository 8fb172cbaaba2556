// The scene director, driven frame by frame on the music's manual clock after
// the real initialisation sequence, in a directory that holds only a short
// silent track (every other file is missing and loads as nothing). The
// checks are those the director's own layers decide whatever a scene draws
// beneath them: the clear colour, the letterbox, the blackouts, the flash,
// the fade, the logo over its mask, the title cards, the credits and the end.
#include <GL/gl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "effects/feedback_glow.h"
#include "effects/render_state.h"
#include "media/music.h"
#include "media/texture_set.h"
#include "platform/window_system.h"
#include "shell/demo_hooks.h"
#include "shell/display_window.h"
#include "tests/support/gl_test.h"
#include "tests/support/mp3_fixture.h"
#include "timeline/cue_tracks.h"
#include "timeline/scene_director.h"

namespace {

WindowConfig config;
KeyState keys;

void frameAt(int ms) {
    setManualMusicTime(ms);
    demoDraw();
}

// How many pixels of the rows from top to bottom (inclusive) are off the
// expected colour by more than the tolerance.
size_t pixelsOff(const std::vector<uint8_t>& frame, int top, int bottom, Rgb expected,
                 int tolerance) {
    size_t off = 0;
    for (int y = top; y <= bottom; ++y) {
        for (int x = 0; x < 800; ++x) {
            const uint8_t* p = &frame[(static_cast<size_t>(y) * 800 + x) * 3];
            off += std::abs(p[0] - expected.r) > tolerance ||
                   std::abs(p[1] - expected.g) > tolerance ||
                   std::abs(p[2] - expected.b) > tolerance;
        }
    }
    return off;
}

class SceneDirector : public GlTest {
  protected:
    static void SetUpTestSuite() {
        GlTest::SetUpTestSuite();
        std::string dir = makeTemporaryDirectory();
        placeTrack(dir, encodeMp3(silentSignal(1.0)));
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        platformSetMessageBoxesToStderr(true);
        std::vector<char> home(4096);
        ASSERT_NE(getcwd(home.data(), home.size()), nullptr);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        config.keys = &keys;
        config.title = "Vantrel Engine";
        config.width = 800;
        config.height = 600;
        config.bitsPerPixel = 32;
        config.visible = 1;
        reshapeViewport(800, 600);
        demoInit(config, keys);
        ASSERT_EQ(chdir(home.data()), 0);
    }

    // Each test starts as the show does after its initialisation: the base
    // projection, the render state and the white first clear.
    void SetUp() override {
        GlTest::SetUp();
        reshapeViewport(800, 600);
        setupRenderState();
        for (float& band : spectrumBands)
            band = 0;
    }

    static void expectLetterbox(const std::vector<uint8_t>& frame, const char* when) {
        EXPECT_EQ(pixelsOff(frame, 0, 69, {0, 0, 0}, 0), 0u) << when;
        EXPECT_EQ(pixelsOff(frame, 530, 599, {0, 0, 0}, 0), 0u) << when;
    }
};

} // namespace

TEST_F(SceneDirector, TheFirstFrameIsClearedWhiteAndTheNextBlack) {
    frameAt(0);
    EXPECT_EQ(demoTime, 0.0f);
    std::vector<uint8_t> first = frame();
    EXPECT_EQ(pixelsOff(first, 70, 529, {255, 255, 255}, 0), 0u);
    expectLetterbox(first, "first frame");
    frameAt(0);
    std::vector<uint8_t> second = frame();
    EXPECT_EQ(pixelsOff(second, 70, 529, {0, 0, 0}, 0), 0u);
    expectLetterbox(second, "second frame");
}

// At 0 ms demoTime is exactly 0, which opens no window: no scene and no glow.
TEST_F(SceneDirector, NoSceneAtTimeZeroAndTheOpeningFieldJustAfter) {
    glBindTexture(GL_TEXTURE_RECTANGLE, 0);
    frameAt(0);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE, &bound);
    EXPECT_EQ(bound, 0) << "no glow ran at 0 ms";
    frameAt(1);
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), glowFullTexture) << "the glow ran at 1 ms";
}

TEST_F(SceneDirector, LetterboxStaysBlackInEveryWindow) {
    for (int ms : {500, 20000, 44600, 48000, 56000, 60000, 94500, 95000, 110000, 124000, 140000,
                   162500, 165000, 170500}) {
        frameAt(ms);
        expectLetterbox(frame(), std::to_string(ms).c_str());
    }
}

TEST_F(SceneDirector, TheNegativeFlashIsFlatGreyHalfWay) {
    frameAt(94900);
    frameAt(95000);
    std::vector<uint8_t> picture = frame();
    EXPECT_EQ(pixelsOff(picture, 70, 529, {128, 128, 128}, 1), 0u);
    expectLetterbox(picture, "flash");
}

TEST_F(SceneDirector, TheBlackoutsHideEverythingWhileFullyBlack) {
    for (int ms :
         {122000, 122500, 124000, 125000, 163000, 163500, 164000, 170000, 170500, 170999}) {
        frameAt(ms);
        EXPECT_EQ(pixelsOff(frame(), 0, 599, {0, 0, 0}, 0), 0u) << ms << " ms";
    }
}

// The greeting field leaves a white clear colour; a frame with no scene
// after it, here after a seek back to 0, shows that white.
TEST_F(SceneDirector, TheClearColourCarriesOverFromTheGreetingField) {
    frameAt(0);
    frameAt(140000);
    frameAt(0);
    EXPECT_TRUE(near(pixel(400, 300), {255, 255, 255}, 0));
    frameAt(0);
    EXPECT_TRUE(near(pixel(400, 300), {0, 0, 0}, 0));
}

TEST_F(SceneDirector, TheSpikeSceneRisesOutOfBlack) {
    frameAt(45990);
    frameAt(46000);
    EXPECT_EQ(pixelsOff(frame(), 0, 599, {0, 0, 0}, 0), 0u);
}

// With a black mask the frame under the logo is black whatever the scene
// drew, and the red logo adds its alpha: the rise times (1 - band 0).
TEST_F(SceneDirector, TheLogoFadesInOverItsMask) {
    GLuint saved[2] = {textureSet[23], textureSet[24]};
    textureSet[23] = solidTestTexture(255, 255, 255);
    textureSet[24] = solidTestTexture(0, 0, 0);
    struct Case {
        int ms;
        float band0;
        int red;
    } cases[] = {
        {47000, 0, 64}, {48000, 0, 128}, {52000, 0, 255}, {52000, 0.75f, 64}, {56900, 0.5f, 128}};
    for (const Case& c : cases) {
        frameAt(c.ms);
        spectrumBands[0] = c.band0;
        frameAt(c.ms);
        // The logo quad: 512 x 512 from (128, 80), below the bar down to 529.
        for (int x : {128, 384, 639}) {
            for (int y : {80, 300, 529})
                EXPECT_TRUE(near(pixel(x, y), {c.red, 0, 0}))
                    << c.ms << " ms at " << x << ", " << y;
        }
    }
    textureSet[23] = saved[0];
    textureSet[24] = saved[1];
}

TEST_F(SceneDirector, TitleCardsShowByStreamTime) {
    GLuint saved[3] = {textureSet[20], textureSet[21], textureSet[22]};
    textureSet[20] = solidTestTexture(255, 0, 0);
    textureSet[21] = solidTestTexture(0, 255, 0);
    textureSet[22] = solidTestTexture(0, 0, 255);
    struct Case {
        int ms;
        Rgb centre;
    } cases[] = {{44000, {0, 0, 0}},   {44469, {255, 0, 0}}, {44724, {255, 0, 0}},
                 {44800, {0, 255, 0}}, {45055, {0, 0, 255}}, {45999, {0, 0, 255}},
                 {46000, {0, 0, 0}}};
    for (const Case& c : cases) {
        frameAt(c.ms);
        frameAt(c.ms);
        // The glow of a pure colour adds only to that colour, which is full.
        EXPECT_TRUE(near(pixel(384, 278), c.centre, 0)) << c.ms << " ms";
        EXPECT_TRUE(near(pixel(130, 152), c.centre, 0)) << c.ms << " ms";
    }
    for (int i = 0; i < 3; ++i)
        textureSet[20 + i] = saved[i];
}

// "quenlat" at (320, 140) and "tamzel" at (320, 100), scale 2, in the
// 640 x 480 text frame: pixels 400..679 x 385..424 and 400..639 x 435..474.
TEST_F(SceneDirector, TheCreditsFadeInOneAfterTheOther) {
    GLuint savedFont = fontTexture;
    fontTexture = solidTestTexture(255, 255, 255);
    frameAt(165000);
    frameAt(165000);
    // 1/3 of the first name and none of the second, then glowed.
    int third = pixel(500, 405).r;
    EXPECT_GT(third, 85);
    EXPECT_LT(third, 130);
    EXPECT_TRUE(near(pixel(500, 455), {0, 0, 0}, 0));

    frameAt(167000);
    EXPECT_TRUE(near(pixel(500, 405), {255, 255, 255}, 0));
    EXPECT_TRUE(near(pixel(420, 395), {255, 255, 255}, 0));
    EXPECT_TRUE(near(pixel(660, 415), {255, 255, 255}, 0));
    // The second name at a third: 85, plus two layers of the glow of its
    // square (85^2 / 255 = 28) blurred with taps of 0.8 / 3.
    EXPECT_NEAR(pixel(500, 455).r, 85 + 2 * 18, 4);
    EXPECT_EQ(pixel(500, 455).r, pixel(500, 455).b);
    // Left of the names the glow has faded out.
    EXPECT_TRUE(near(pixel(380, 405), {0, 0, 0}, 0));
    fontTexture = savedFont;
}

TEST_F(SceneDirector, EachFrameUsesThePreviousSpectrumAndCopiesTheNext) {
    for (float& band : spectrumBands)
        band = 0.5f;
    frameAt(10);
    // A silent track: the copy at the end of the frame brings zeros.
    for (int band = 0; band < 32; ++band)
        EXPECT_EQ(spectrumBands[band], 0.0f) << "band " << band;
    EXPECT_EQ(orbitCameraAngle, cueTrackB.latchedMs * 3);
}

TEST_F(SceneDirector, TheShowGoesOnAt170999Ms) {
    frameAt(170999);
    EXPECT_FLOAT_EQ(demoTime, 170.999f);
}

TEST_F(SceneDirector, TheShowEndsInTheFirstFramePast171Seconds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(frameAt(171000), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            frameAt(170000);
            frameAt(175000);
        },
        testing::ExitedWithCode(0), "");
}
