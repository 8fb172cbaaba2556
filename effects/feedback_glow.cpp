// The feedback glow: run over the frame after every scene so that bright
// areas bleed light into their surroundings.
//
// Fixed-function only: the frame is copied into rectangle textures (addressed
// in texels), shrunk to half size, multiplied into itself, box-blurred in x
// and then y with shifted full-screen quads, and added back over the frame.
// Every intermediate lands in the frame buffer's bottom-left corner and is
// copied back into the one half-size texture, so each pass is clamped and
// rounded to 8 bits as it goes. The glow always works on the fixed 800 x 600
// area from the frame buffer's bottom-left corner; nothing carries over from
// one call to the next but the two texture names.
#include "effects/feedback_glow.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

GLuint glowFullTexture;
GLuint glowHalfTexture;

static constexpr int32_t glowHalfWidth = glowWidth / 2;
static constexpr int32_t glowHalfHeight = glowHeight / 2;

// Linear filtering does the 2 x 2 averaging of the downscale and the smooth
// stretch back; clamping repeats the border texels under the shifted taps.
static void defineBlackRectangle(GLuint texture, int32_t width, int32_t height,
                                 const unsigned char* zeros) {
    glBindTexture(GL_TEXTURE_RECTANGLE, texture);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 zeros);
}

bool createGlowTextures() {
    std::vector<unsigned char> zeros(static_cast<size_t>(glowWidth) * glowHeight * 3, 0);
    glGenTextures(1, &glowFullTexture);
    defineBlackRectangle(glowFullTexture, glowWidth, glowHeight, zeros.data());
    glGenTextures(1, &glowHalfTexture);
    defineBlackRectangle(glowHalfTexture, glowHalfWidth, glowHalfHeight, zeros.data());
    return true;
}

// One quad over the whole unit square of the glow's projection showing the
// texel rectangle (x, y)..(x + width, y + height) upright; the caller has
// begun the GL_QUADS batch.
static void drawTexelQuad(int32_t width, int32_t height, int32_t offsetX, int32_t offsetY) {
    float left = static_cast<float>(offsetX);
    float bottom = static_cast<float>(offsetY);
    float right = static_cast<float>(offsetX + width);
    float top = static_cast<float>(offsetY + height);
    glTexCoord2f(left, bottom);
    glVertex3f(0, 1, -1);
    glTexCoord2f(left, top);
    glVertex3f(0, 0, -1);
    glTexCoord2f(right, top);
    glVertex3f(1, 0, -1);
    glTexCoord2f(right, bottom);
    glVertex3f(1, 1, -1);
}

static void drawTexelBatch(int32_t width, int32_t height, int32_t offsetX, int32_t offsetY) {
    glBegin(GL_QUADS);
    drawTexelQuad(width, height, offsetX, offsetY);
    glEnd();
}

// The whole part of a count argument, truncated toward zero and kept below a
// limit so that an absurd value cannot keep the frame drawing for ever.
static int wholeCount(float value, int limit) {
    if (!(value > 0))
        return 0;
    return value >= static_cast<float>(limit) ? limit : static_cast<int>(value);
}

// One more layer for every whole i >= 1 below glowLayers. Past 256 layers
// every non-zero 8-bit glow value has long clamped to white.
static int extraLayers(float glowLayers) {
    if (!(glowLayers > 1))
        return 0;
    if (glowLayers > 257)
        return 256;
    return static_cast<int>(std::ceil(glowLayers)) - 1;
}

static void copyFrameInto(int32_t width, int32_t height) {
    glCopyTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGB, 0, 0, width, height, 0);
}

// Leaves frame^(1 + passes) in the half-size corner: the shrunk frame,
// multiplied into itself once per whole pass.
static void drawBrightPass(float multiplyPasses) {
    glBindTexture(GL_TEXTURE_RECTANGLE, glowFullTexture);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glDisable(GL_BLEND);
    drawTexelBatch(glowWidth, glowHeight, 0, 0);
    glEnable(GL_BLEND);
    // Past 256 passes every 8-bit product has settled at its fixed point.
    int passes = wholeCount(multiplyPasses, 256);
    glBegin(GL_QUADS);
    for (int i = 0; i < passes; ++i)
        drawTexelQuad(glowWidth, glowHeight, 0, 0);
    glEnd();
}

// One direction of the box blur over the image in glowHalfTexture: the
// centre tap replaces the corner, the side taps add to it pair by pair.
static void drawBlurPass(int taps, int32_t stepX, int32_t stepY) {
    glBlendFunc(GL_SRC_ALPHA, GL_ZERO);
    drawTexelBatch(glowHalfWidth, glowHalfHeight, 0, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBegin(GL_QUADS);
    for (int i = 1; i <= taps; ++i) {
        drawTexelQuad(glowHalfWidth, glowHalfHeight, -i * stepX, -i * stepY);
        drawTexelQuad(glowHalfWidth, glowHalfHeight, i * stepX, i * stepY);
    }
    glEnd();
}

void drawFeedbackGlow(float blurRadius, float multiplyPasses, float glowLayers, float blurGain) {
    glEnable(GL_TEXTURE_RECTANGLE);
    glColor3f(1, 1, 1);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_RECTANGLE, glowFullTexture);
    copyFrameInto(glowWidth, glowHeight);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 1, 1, 0, 0.1, 100);
    glViewport(0, 0, glowHalfWidth, glowHalfHeight);

    drawBrightPass(multiplyPasses);
    glBindTexture(GL_TEXTURE_RECTANGLE, glowHalfTexture);
    copyFrameInto(glowHalfWidth, glowHalfHeight);

    // The weight uses the radius itself: a fractional radius weakens every
    // tap without adding one.
    float tapWeight = blurGain / (blurRadius * 2 + 1);
    glColor4f(1, 1, 1, tapWeight);
    int taps = wholeCount(blurRadius, glowWidth);
    drawBlurPass(taps, 1, 0);
    copyFrameInto(glowHalfWidth, glowHalfHeight);
    drawBlurPass(taps, 0, 1);
    copyFrameInto(glowHalfWidth, glowHalfHeight);

    glViewport(0, 0, glowWidth, glowHeight);
    glDisable(GL_BLEND);
    drawTexelBatch(glowHalfWidth, glowHalfHeight, 0, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glBegin(GL_QUADS);
    int layers = extraLayers(glowLayers);
    for (int i = 0; i < layers; ++i)
        drawTexelQuad(glowHalfWidth, glowHalfHeight, 0, 0);
    glEnd();
    glBindTexture(GL_TEXTURE_RECTANGLE, glowFullTexture);
    drawTexelBatch(glowWidth, glowHeight, 0, 0);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glDisable(GL_TEXTURE_RECTANGLE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}
