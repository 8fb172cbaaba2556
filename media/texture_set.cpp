// Placeholder until this module lands.
#include "media/texture_set.h"
GLuint textureSet[textureSlotCount];
GLuint fontTexture;
void loadTextureSet() {}
GLuint loadTexture(const char*) { return 0; }
