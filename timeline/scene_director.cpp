// Placeholder until this module lands.
#include "timeline/scene_director.h"
#include <GL/gl.h>
float orbitCameraAngle;
void directFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT); }
