// The PNG pictures the effects draw with, loaded once into OpenGL textures and
// addressed by slot; texture name 0 means no picture.
#pragma once

#include <GL/gl.h>

constexpr int textureSlotCount = 32;
extern GLuint textureSet[textureSlotCount];
extern GLuint fontTexture;

void loadTextureSet();
GLuint loadTexture(const char* path);
