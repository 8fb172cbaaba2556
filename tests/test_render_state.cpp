// The render state set up at start-up, read back from a real GL context.
#include <GL/gl.h>

#include <vector>

#include "effects/bitmap_text.h"
#include "effects/feedback_glow.h"
#include "effects/render_state.h"
#include "tests/support/gl_test.h"

using RenderState = GlTest;

TEST_F(RenderState, SetsTheStateTheEffectsTakeForGranted) {
    EXPECT_TRUE(setupRenderState());
    GLint value = 0;
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 1);
    EXPECT_FLOAT_EQ(clear[1], 1);
    EXPECT_FLOAT_EQ(clear[2], 1);
    EXPECT_FLOAT_EQ(clear[3], 0);
    GLfloat depth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_FLOAT_EQ(depth, 1);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &value);
    EXPECT_EQ(value, GL_SPHERE_MAP);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &value);
    EXPECT_EQ(value, GL_SPHERE_MAP);
    // What it does not touch keeps its initial value.
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    // The font lists and the glow textures exist.
    EXPECT_TRUE(glIsList(fontListBase));
    EXPECT_TRUE(glIsList(fontListBase + 255));
    EXPECT_TRUE(glIsTexture(glowFullTexture));
    EXPECT_TRUE(glIsTexture(glowHalfTexture));
}

TEST_F(RenderState, TheFirstClearIsWhiteAndEqualDepthPasses) {
    setupRenderState();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    EXPECT_TRUE(near(pixel(400, 300), {255, 255, 255}, 0));
    // Geometry drawn twice at the same depth shows its second pass.
    auto quad = [](float r, float g, float b) {
        glColor3f(r, g, b);
        glBegin(GL_QUADS);
        glVertex3f(-0.5f, -0.5f, 0.25f);
        glVertex3f(0.5f, -0.5f, 0.25f);
        glVertex3f(0.5f, 0.5f, 0.25f);
        glVertex3f(-0.5f, 0.5f, 0.25f);
        glEnd();
    };
    quad(1, 0, 0);
    quad(0, 1, 0);
    EXPECT_TRUE(near(pixel(400, 300), {0, 255, 0}, 0));
    glColor3f(1, 1, 1);
}

TEST_F(RenderState, GlowTexturesStartBlack) {
    setupRenderState();
    std::vector<uint8_t> texels(800 * 600 * 3, 1);
    glBindTexture(GL_TEXTURE_RECTANGLE, glowFullTexture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_RECTANGLE, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    size_t lit = 0;
    for (uint8_t v : texels)
        lit += v != 0;
    EXPECT_EQ(lit, 0u);
    GLint filter = 0, wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE, GL_TEXTURE_MAG_FILTER, &filter);
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(filter, GL_LINEAR);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
}
