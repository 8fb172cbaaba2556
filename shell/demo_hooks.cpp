// The demo initialisation sequence and the draw and shutdown hooks.
//
// Each step of the initialisation completes before the next begins; the music
// starts last, just before the first frame, so the show's clock starts at the
// beginning of the track whatever the loading time.
#include "shell/demo_hooks.h"

#include <GL/gl.h>

#include <cstdlib>

#include "effects/render_state.h"
#include "effects/sprite_fields.h"
#include "media/music.h"
#include "media/obj_mesh.h"
#include "media/texture_set.h"
#include "media/video_stream.h"
#include "timeline/scene_director.h"

static struct {
    WindowConfig* config;
    KeyState* keys;
} hooks;

void keepDemoConfig(WindowConfig& config, KeyState& keys) {
    hooks.config = &config;
    hooks.keys = &keys;
}

WindowConfig* demoConfig() {
    return hooks.config;
}

int32_t demoInit(WindowConfig& config, KeyState& keys) {
    keepDemoConfig(config, keys);
    loadObjMesh(spikeMesh, "data/3d/smoothspike.obj");
    loadObjMesh(spikeMesh2, "data/3d/smoothspike2.obj");
    seedSpriteField();
    initVideo();
    setupRenderState();
    loadTextureSet();
    startMusic();
    enableSpectrum();
    return 1;
}

void demoDraw() {
    directFrame();
    glFlush();
}

void demoShutdown() {
    std::exit(0);
}
