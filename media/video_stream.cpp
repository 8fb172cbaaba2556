// Placeholder until this module lands.
#include "media/video_stream.h"
GLuint videoTexture;
void createVideoMemoryDC() {}
void initVideo() {}
void openVideoStream(const char*) {}
void uploadVideoFrame(int32_t) {}
