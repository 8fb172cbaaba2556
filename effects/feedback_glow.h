// The screen-space glow run after every scene: the frame is copied into
// rectangle textures, shrunk, raised in contrast, box-blurred and added back.
#pragma once

#include <GL/gl.h>

#include <cstdint>

constexpr int32_t glowWidth = 800;
constexpr int32_t glowHeight = 600;

extern GLuint glowFullTexture;
extern GLuint glowHalfTexture;

bool createGlowTextures();
void drawFeedbackGlow(float blurRadius, float multiplyPasses, float glowLayers, float blurGain);
