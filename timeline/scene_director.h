// The scene director: one call per frame decides everything drawn in it.
#pragma once

extern float orbitCameraAngle;

void directFrame();
