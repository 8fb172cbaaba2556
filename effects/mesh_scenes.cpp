// Placeholder until this module lands.
#include "effects/mesh_scenes.h"
void drawSpikeScene() {}
void drawOrbitScene(float) {}
