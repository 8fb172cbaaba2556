// The video scene: the clip frame that belongs to demoTime on one quad.
#pragma once

void drawVideoScreen(float start, float length);
