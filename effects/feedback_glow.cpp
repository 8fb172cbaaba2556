// Placeholder until this module lands.
#include "effects/feedback_glow.h"
GLuint glowFullTexture, glowHalfTexture;
bool createGlowTextures() { return true; }
void drawFeedbackGlow(float, float, float, float) {}
