// The video clip as a 512 x 512 texture: any frame decoded, stretched and
// uploaded on request (bottom row first, blue-green-red bytes sent as GL_RGB).
#pragma once

#include <GL/gl.h>

#include <cstdint>

extern GLuint videoTexture;

void createVideoMemoryDC();
void initVideo();
void openVideoStream(const char* path);
void uploadVideoFrame(int32_t frame);
