// vantrel-bench-glow: the feedback glow's cost per call, for each parameter
// set the timeline uses, on the GL at hand (llvmpipe under xvfb-run here).
//
//   vantrel-bench-glow [CALLS]
//
// Each call glows a textured 800 x 600 frame that is redrawn before it, as
// in the show; the frame's own cost is measured alone and taken off, and
// each figure is the best of three rounds. Every
// measurement ends with glFinish, so the figures are what the GL really
// spends, not what it queued.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "effects/feedback_glow.h"
#include "platform/window_system.h"

struct GlowParameters {
    const char* scene;
    float blurRadius, multiplyPasses, glowLayers, blurGain;
};

// The spectrum term of the music-driven gains is taken at 0.
static const GlowParameters timelineGlows[] = {
    {"opening field", 2, 1, 2, 1},  {"title cards", 1, 1, 1, 1},
    {"spike scene", 3, 0, 3, 0.8f}, {"video", 1, 1, 2, 0.7f},
    {"orbit scene", 2, 1, 2, 1.0f}, {"greeting, credits", 1, 1, 2, 0.8f},
};

static GLuint makePatternTexture() {
    std::vector<unsigned char> rgb(256 * 256 * 3);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            unsigned char* p = &rgb[(y * 256 + x) * 3];
            p[0] = static_cast<unsigned char>(x);
            p[1] = static_cast<unsigned char>(y);
            p[2] = static_cast<unsigned char>(((x / 16 + y / 16) % 2) * 255);
        }
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return name;
}

// A full-screen textured quad standing in for a scene.
static void drawSceneFrame(GLuint texture) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(3, 0);
    glVertex2f(1, -1);
    glTexCoord2f(3, 2);
    glVertex2f(1, 1);
    glTexCoord2f(0, 2);
    glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

static double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Milliseconds per frame of the scene alone, or of the scene and one glow.
static double msPerFrame(GLuint texture, const GlowParameters* glow, int calls) {
    for (int i = 0; i < 10; ++i) {
        drawSceneFrame(texture);
        if (glow != nullptr)
            drawFeedbackGlow(glow->blurRadius, glow->multiplyPasses, glow->glowLayers,
                             glow->blurGain);
    }
    glFinish();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        drawSceneFrame(texture);
        if (glow != nullptr)
            drawFeedbackGlow(glow->blurRadius, glow->multiplyPasses, glow->glowLayers,
                             glow->blurGain);
        // Drained every frame, as a buffer swap would.
        glFinish();
    }
    return secondsSince(start) * 1000.0 / calls;
}

int main(int argc, char** argv) {
    int calls = argc > 1 ? std::atoi(argv[1]) : 200;
    if (calls < 1) {
        std::fprintf(stderr,
                     "usage: vantrel-bench-glow [CALLS]   (CALLS a whole number above 0)\n");
        return 2;
    }
    if (!platformCreateOffscreenGL(glowWidth, glowHeight))
        return 1;
    createGlowTextures();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    GLuint texture = makePatternTexture();

    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    const char* threads = std::getenv("LP_NUM_THREADS");
    std::printf("LP_NUM_THREADS: %s\n", threads != nullptr ? threads : "(default)");
    std::printf("calls per figure: %d, frame %dx%d\n", calls, glowWidth, glowHeight);
    // The best of three rounds, since the machine may be shared.
    double sceneMs = 1e9;
    double glowMs[6] = {1e9, 1e9, 1e9, 1e9, 1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        sceneMs = std::min(sceneMs, msPerFrame(texture, nullptr, calls));
        for (int i = 0; i < 6; ++i)
            glowMs[i] = std::min(glowMs[i], msPerFrame(texture, &timelineGlows[i], calls));
    }
    std::printf("%-20s %8.3f ms per frame (the stand-in scene alone)\n", "scene only", sceneMs);
    for (int i = 0; i < 6; ++i) {
        const GlowParameters& glow = timelineGlows[i];
        std::printf("%-20s %8.3f ms per glow call  (r %.0f, passes %.0f, layers %.0f)\n",
                    glow.scene, glowMs[i] - sceneMs, glow.blurRadius, glow.multiplyPasses,
                    glow.glowLayers);
    }
    return 0;
}
