// The video scene: the clip frame that belongs to demoTime on one quad.
#pragma once

#include <cstdint>

void drawVideoScreen(float start, float length);

// The clip frame shown at time t for a clip whose frame 0 belongs to start.
int32_t videoFrameAt(float start, float t);
