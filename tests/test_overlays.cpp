// The screen overlays on a real GL context: letterbox rows, fades, blackouts,
// the inversion flash, picture mapping and the title-card windows, each
// checked against the value its blend rule gives, and the state each leaves.
#include <GL/gl.h>

#include <vector>

#include "effects/overlays.h"
#include "media/music.h"
#include "media/texture_set.h"
#include "tests/support/gl_test.h"

namespace {

// A 2 x 2 picture: first stored row red, green; second row blue, white.
GLuint quadrantTexture() {
    const uint8_t texels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    return makeTestTexture(2, 2, GL_RGBA, texels);
}

void fillScreen(float r, float g, float b) {
    glClearColor(r, g, b, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
}

// The left half of the screen one colour, the right half another.
void fillHalves(Rgb left, Rgb right) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 400, 600);
    glClearColor(left.r / 255.0f, left.g / 255.0f, left.b / 255.0f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(400, 0, 400, 600);
    glClearColor(right.r / 255.0f, right.g / 255.0f, right.b / 255.0f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 0);
}

struct ColourState {
    float colour[4];
    bool blend, texture2d;
    GLint blendSrc, blendDst, matrixMode;
};

ColourState stateNow() {
    ColourState s{};
    glGetFloatv(GL_CURRENT_COLOR, s.colour);
    s.blend = glIsEnabled(GL_BLEND);
    s.texture2d = glIsEnabled(GL_TEXTURE_2D);
    glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
    glGetIntegerv(GL_BLEND_DST, &s.blendDst);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    return s;
}

void expectOpaqueWhite(const ColourState& s) {
    EXPECT_FLOAT_EQ(s.colour[0], 1);
    EXPECT_FLOAT_EQ(s.colour[1], 1);
    EXPECT_FLOAT_EQ(s.colour[2], 1);
    EXPECT_FLOAT_EQ(s.colour[3], 1);
    EXPECT_EQ(s.matrixMode, GL_MODELVIEW);
}

class Overlays : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        demoTime = 0;
        for (float& band : spectrumBands)
            band = 0;
    }
};

} // namespace

TEST_F(Overlays, LetterboxCoversTheTopAndBottomSeventyRowsOnly) {
    fillScreen(1, 1, 1);
    drawLetterbox();
    for (int x : {0, 400, 799}) {
        for (int y : {0, 35, 69, 530, 565, 599})
            EXPECT_TRUE(near(pixel(x, y), {0, 0, 0}, 0)) << x << ", " << y;
        for (int y : {70, 300, 529})
            EXPECT_TRUE(near(pixel(x, y), {255, 255, 255}, 0)) << x << ", " << y;
    }
    expectOpaqueWhite(stateNow());
}

TEST_F(Overlays, LetterboxLiesAtTheNearestDepth) {
    fillScreen(1, 1, 1);
    // A depth buffer already at the nearest depth still lets the bars through.
    glClearDepth(0.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    drawLetterbox();
    glDisable(GL_DEPTH_TEST);
    EXPECT_TRUE(near(pixel(400, 10), {0, 0, 0}, 0));
    EXPECT_TRUE(near(pixel(400, 590), {0, 0, 0}, 0));
}

TEST_F(Overlays, LetterboxKeepsTheMatricesOfItsCaller) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-3, 3, -2, 2, -5, 5);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    std::vector<GLfloat> matrices = currentMatrices();
    drawLetterbox();
    EXPECT_EQ(currentMatrices(), matrices);
}

TEST_F(Overlays, FadeFromBlackCoversWithOneMinusItsAmount) {
    struct Case {
        float amount;
        int grey;
    } cases[] = {{0, 0}, {0.25f, 64}, {0.5f, 128}, {1, 255}};
    for (const Case& c : cases) {
        fillScreen(1, 1, 1);
        drawFadeFromBlack(c.amount);
        EXPECT_TRUE(near(pixel(0, 0), {c.grey, c.grey, c.grey})) << "amount " << c.amount;
        EXPECT_TRUE(near(pixel(799, 599), {c.grey, c.grey, c.grey})) << "amount " << c.amount;
        ColourState s = stateNow();
        expectOpaqueWhite(s);
        EXPECT_FALSE(s.blend);
        EXPECT_EQ(s.blendSrc, GL_SRC_ALPHA);
        EXPECT_EQ(s.blendDst, GL_ONE_MINUS_SRC_ALPHA);
    }
}

TEST_F(Overlays, BlackoutFadesInHoldsAndFadesOut) {
    struct Case {
        float time;
        int grey;   // over a white frame
        bool draws; // false: no state touched at all
    } cases[] = {
        {120.5f, 255, false}, {121, 255, false}, {121.5f, 128, true}, {122, 0, true},
        {123.5f, 0, true},    {125, 0, true},    {125.5f, 128, true}, {126, 255, true},
        {129.9f, 255, true},  {130, 255, false}, {140, 255, false},
    };
    for (const Case& c : cases) {
        fillScreen(1, 1, 1);
        demoTime = c.time;
        glBlendFunc(GL_ONE, GL_ZERO);
        glEnable(GL_BLEND);
        glColor4f(0.5f, 0.25f, 0.125f, 0.75f);
        drawBlackout(121, 125);
        ColourState s = stateNow();
        if (c.draws) {
            expectOpaqueWhite(s);
            EXPECT_FALSE(s.blend) << "at " << c.time;
            EXPECT_EQ(s.blendSrc, GL_SRC_ALPHA) << "at " << c.time;
        } else {
            EXPECT_TRUE(s.blend) << "at " << c.time;
            EXPECT_EQ(s.blendSrc, GL_ONE) << "at " << c.time;
            EXPECT_FLOAT_EQ(s.colour[3], 0.75f) << "at " << c.time;
        }
        glDisable(GL_BLEND);
        glColor4f(1, 1, 1, 1);
        EXPECT_TRUE(near(pixel(400, 300), {c.grey, c.grey, c.grey})) << "at " << c.time;
        EXPECT_TRUE(near(pixel(0, 599), {c.grey, c.grey, c.grey})) << "at " << c.time;
    }
}

TEST_F(Overlays, InvertFlashFollowsItsBlendRule) {
    const Rgb left{51, 102, 204};
    const Rgb right{255, 255, 255};
    fillHalves(left, right);
    drawInvertFlash(1);
    EXPECT_TRUE(near(pixel(100, 300), {204, 153, 51}));
    EXPECT_TRUE(near(pixel(700, 300), {0, 0, 0}));

    fillHalves(left, right);
    drawInvertFlash(0.5f);
    for (int x : {0, 100, 399, 400, 799})
        EXPECT_TRUE(near(pixel(x, 300), {128, 128, 128})) << "x " << x;

    fillHalves(left, right);
    drawInvertFlash(0);
    EXPECT_TRUE(near(pixel(100, 300), left, 0));
    EXPECT_TRUE(near(pixel(700, 300), right, 0));

    ColourState s = stateNow();
    expectOpaqueWhite(s);
    EXPECT_FALSE(s.blend);
    EXPECT_EQ(s.blendSrc, GL_ONE_MINUS_DST_COLOR);
    EXPECT_EQ(s.blendDst, GL_ONE_MINUS_SRC_COLOR);
}

// The image's first stored row lies at the top and its left column at the right.
TEST_F(Overlays, PicturesShowUprightAndMirrored) {
    GLuint saved = textureSet[5];
    textureSet[5] = quadrantTexture();
    drawOverlayPicture(200, 100, 100, 50, 5);
    EXPECT_TRUE(near(pixel(150, 75), {0, 255, 0}, 0));      // top left: first row, right texel
    EXPECT_TRUE(near(pixel(250, 75), {255, 0, 0}, 0));      // top right: first row, left texel
    EXPECT_TRUE(near(pixel(150, 125), {255, 255, 255}, 0)); // bottom left
    EXPECT_TRUE(near(pixel(250, 125), {0, 0, 255}, 0));     // bottom right
    // The quad spans x 100..300 and y 50..150, nothing beyond.
    EXPECT_TRUE(near(pixel(99, 75), {0, 0, 0}, 0));
    EXPECT_TRUE(near(pixel(300, 75), {0, 0, 0}, 0));
    EXPECT_TRUE(near(pixel(150, 49), {0, 0, 0}, 0));
    EXPECT_TRUE(near(pixel(150, 150), {0, 0, 0}, 0));
    ColourState s = stateNow();
    expectOpaqueWhite(s);
    EXPECT_FALSE(s.blend);
    EXPECT_FALSE(s.texture2d);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), textureSet[5]);
    textureSet[5] = saved;
}

TEST_F(Overlays, OverlayPictureTakesTheCallersColourAndBlend) {
    GLuint saved = textureSet[24];
    textureSet[24] = solidTestTexture(128, 128, 128);
    fillScreen(0.8f, 0.8f, 0.8f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    drawOverlayPicture(512, 512, 128, 80, 24);
    EXPECT_TRUE(near(pixel(384, 336), {102, 102, 102}));
    EXPECT_TRUE(near(pixel(100, 336), {204, 204, 204}, 0));

    fillScreen(0, 0, 0);
    glColor4f(1, 0, 0, 0.5f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    drawOverlayPicture(512, 512, 128, 80, 24);
    EXPECT_TRUE(near(pixel(384, 336), {64, 0, 0}));
    textureSet[24] = saved;
}

TEST_F(Overlays, AMissingPictureShowsAsAPlainQuadInTheCurrentColour) {
    GLuint saved = textureSet[7];
    textureSet[7] = 0;
    glColor4f(0, 1, 0, 1);
    drawOverlayPicture(100, 100, 0, 0, 7);
    EXPECT_TRUE(near(pixel(50, 50), {0, 255, 0}, 0));
    EXPECT_TRUE(near(pixel(150, 50), {0, 0, 0}, 0));
    textureSet[7] = saved;
}

TEST_F(Overlays, FullscreenPictureFollowsTheFourthBandInTheFirstSeconds) {
    GLuint saved = textureSet[2];
    textureSet[2] = solidTestTexture(255, 255, 255);
    struct Case {
        float time, band;
        int grey;
    } cases[] = {
        {0, 0, 255},         {0.001f, 0, 0},  {5, 0.1f, 128}, {5, 0.3f, 255},
        {10.49f, 0.05f, 64}, {10.5f, 0, 255}, {20, 0, 255},
    };
    for (const Case& c : cases) {
        fillScreen(1, 0, 0);
        demoTime = c.time;
        spectrumBands[3] = c.band;
        drawFullscreenPicture(2);
        EXPECT_TRUE(near(pixel(0, 0), {c.grey, c.grey, c.grey}))
            << "at " << c.time << " band " << c.band;
        EXPECT_TRUE(near(pixel(799, 599), {c.grey, c.grey, c.grey}))
            << "at " << c.time << " band " << c.band;
        ColourState s = stateNow();
        expectOpaqueWhite(s);
        EXPECT_FALSE(s.blend);
        EXPECT_FALSE(s.texture2d);
    }
    textureSet[2] = saved;
}

TEST_F(Overlays, TitleCardsFollowTheirWindows) {
    GLuint saved[3] = {textureSet[20], textureSet[21], textureSet[22]};
    textureSet[20] = solidTestTexture(255, 0, 0);
    textureSet[21] = solidTestTexture(0, 255, 0);
    textureSet[22] = solidTestTexture(0, 0, 255);
    struct Case {
        int ms;
        Rgb card;
    } cases[] = {
        {44000, {0, 0, 0}},   {44468, {0, 0, 0}},   {44469, {255, 0, 0}}, {44600, {255, 0, 0}},
        {44726, {0, 255, 0}}, {45000, {0, 255, 0}}, {45055, {0, 0, 255}}, {45999, {0, 0, 255}},
    };
    for (const Case& c : cases) {
        fillScreen(0, 0, 0);
        demoTime = static_cast<float>(c.ms) * 0.001f;
        drawTitleCards();
        // Cards are 512 x 256 with the top-left corner at (128, 150).
        EXPECT_TRUE(near(pixel(128, 150), c.card, 0)) << c.ms << " ms";
        EXPECT_TRUE(near(pixel(639, 405), c.card, 0)) << c.ms << " ms";
        EXPECT_TRUE(near(pixel(127, 300), {0, 0, 0}, 0)) << c.ms << " ms";
        EXPECT_TRUE(near(pixel(400, 406), {0, 0, 0}, 0)) << c.ms << " ms";
    }
    fillScreen(0, 0, 0);
    demoTime = 46.0f;
    drawTitleCards();
    EXPECT_TRUE(near(pixel(384, 278), {0, 0, 0}, 0)) << "none at 46.0";
    for (int i = 0; i < 3; ++i)
        textureSet[20 + i] = saved[i];
}
