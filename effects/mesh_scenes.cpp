// The two mesh scenes: the spike mesh in front of a fixed viewer, pushed
// towards it by the lowest spectrum band, and the second mesh under a camera
// that circles it upside down and jumps at every cue. Both turn about their
// vertical axis and take their look from sphere-mapped texture coordinates
// (the mode is set once at start-up; generation is on only while the mesh is
// drawn). Needs the meshes, texture slot 3 and demoTime / spectrumBands.
#include "effects/mesh_scenes.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "media/music.h"
#include "media/obj_mesh.h"
#include "media/texture_set.h"

// The mesh's own turn counts from time 0, not from the scene's start.
static void turnAndShrinkMesh() {
    glRotatef(demoTime * 40, 0, 1, 0);
    glRotatef(-10, 1, 0, 0);
    glScalef(0.2f, 0.2f, 0.2f);
}

static void drawSphereMapped(const ObjMesh& mesh) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureSet[3]);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    drawObjMesh(mesh);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}

void drawSpikeScene() {
    glLoadIdentity();
    glTranslatef(0, 0, spectrumBands[0] - 5);
    turnAndShrinkMesh();
    drawSphereMapped(spikeMesh);
}

void drawOrbitScene(float cameraAngle) {
    double a = cameraAngle;
    // The angle grows to several hundred thousand: only a double sum keeps
    // the orbit smooth.
    double orbit = static_cast<double>(demoTime) + a;
    glLoadIdentity();
    gluLookAt(7 * std::sin(orbit), 0, 7 * std::cos(orbit), 0.5 * std::sin(0.5 * a), 0, 0, 0, -1,
              std::sin(a));
    turnAndShrinkMesh();
    drawSphereMapped(spikeMesh2);
}
