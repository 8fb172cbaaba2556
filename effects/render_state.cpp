// The render state set up once at start-up: the shading model, the first
// clear colour, the depth comparison, the perspective hint and the sphere-map
// generation mode that the effects take for granted, then the font's display
// lists (effects/bitmap_text.h) and the glow's textures (effects/feedback_glow.h).
//
// Runs after the video stream is opened and before the texture set is loaded,
// with the rendering context current.
#include "effects/render_state.h"

#include <GL/gl.h>

#include "effects/bitmap_text.h"
#include "effects/feedback_glow.h"

bool setupRenderState() {
    glShadeModel(GL_SMOOTH);
    // The director clears the very first frame with this white and sets black
    // after every clear.
    glClearColor(1, 1, 1, 0);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    // The mesh scenes switch generation on and off themselves and rely on this mode.
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    buildFont();
    return createGlowTextures();
}
