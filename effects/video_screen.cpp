// Placeholder until this module lands.
#include "effects/video_screen.h"
void drawVideoScreen(float, float) {}
