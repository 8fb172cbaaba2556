// The two mesh scenes: the spike mesh pushed by the music, and the second mesh
// under a camera that circles it upside down; both sphere-mapped.
#pragma once

void drawSpikeScene();
void drawOrbitScene(float cameraAngle);
