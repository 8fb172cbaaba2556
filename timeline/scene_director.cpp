// The scene director: once per frame it reads the music position into
// demoTime, steps the three cue tracks, clears the frame, draws the one scene
// whose time window holds demoTime followed by that scene's glow, lays the
// blackouts, the negative flash and the letterbox bars over it, copies the
// spectrum for the next frame and ends the show in the first frame past 171 s.
//
// The whole show is the fixed table in drawScene. Every window is open at both
// ends and neighbours share a bound, so at most one scene is drawn per frame
// and a frame exactly on a bound shows none. Needs the music clock
// (media/music.h), the cue tracks and every effect.
#include "timeline/scene_director.h"

#include <GL/gl.h>

#include <cstdlib>

#include "effects/bitmap_text.h"
#include "effects/feedback_glow.h"
#include "effects/mesh_scenes.h"
#include "effects/overlays.h"
#include "effects/spectrum_bars.h"
#include "effects/sprite_fields.h"
#include "effects/video_screen.h"
#include "media/music.h"
#include "timeline/cue_tracks.h"

float orbitCameraAngle;

static bool within(float start, float end) {
    return start < demoTime && demoTime < end;
}

// The picture rises out of black over 46-50 s before it is glowed; the logo
// mask then darkens it at full strength while the red logo added over it
// fades in with the picture and dims when the lowest band is strong.
static void drawSpikeSceneWithLogo() {
    float rise = rampBetween(46, 50, demoTime);
    drawSpikeScene();
    drawFadeFromBlack(rise);
    drawFeedbackGlow(3, 0, 3, spectrumBands[2] + 0.8f);
    // The glow leaves white colour channels, so the mask's texels multiply as they are.
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    drawOverlayPicture(512, 512, 128, 80, 24);
    glDisable(GL_BLEND);
    glColor4f(1, 0, 0, rise * (1 - spectrumBands[0]));
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    drawOverlayPicture(512, 512, 128, 80, 23);
    glDisable(GL_BLEND);
}

// The two names fade in one after the other on the black background.
static void drawCredits() {
    glColor4f(1, 1, 1, rampBetween(164, 167, demoTime));
    printText(320, 140, "quenlat", 0, 2.0f);
    glColor4f(1, 1, 1, rampBetween(166, 169, demoTime));
    printText(320, 100, "tamzel", 0, 2.0f);
    drawFeedbackGlow(1, 1, 2, 0.8f);
}

static void drawScene() {
    if (within(0, 44)) {
        drawOpeningField(cueTrackA.latchedMs);
        drawFeedbackGlow(2, 1, 2, 1);
    } else if (within(44, 46)) {
        drawTitleCards();
        drawFeedbackGlow(1, 1, 1, 1);
    } else if (within(46, 57)) {
        drawSpikeSceneWithLogo();
    } else if (within(57, 94)) {
        drawVideoScreen(56, 38);
        drawFeedbackGlow(1, 1, 2, spectrumBands[2] + 0.7f);
    } else if (within(94, 123)) {
        drawOrbitScene(orbitCameraAngle);
        drawFeedbackGlow(2, 1, 2, spectrumBands[2] + 1.0f);
        drawSpectrumBars();
    } else if (within(123, 163)) {
        drawGreetingField(cueTrackC.latchedMs);
        drawFeedbackGlow(1, 1, 2, 0.8f);
    } else if (within(163, 182)) {
        drawCredits();
    }
}

void directFrame() {
    updateDemoTime();
    advanceCueTrack(cueTrackB);
    advanceCueTrack(cueTrackC);
    advanceCueTrack(cueTrackA);
    orbitCameraAngle = cueTrackB.latchedMs * 3;

    // Cleared with whatever clear colour the previous frame left: white after
    // start-up and after the greeting field, black otherwise.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);

    drawScene();

    drawBlackout(121, 125);
    drawBlackout(162, 164);
    drawBlackout(169, 171);
    if (within(94, 96))
        drawInvertFlash(1 - rampBetween(94, 96, demoTime));
    drawLetterbox();

    updateSpectrumBands();

    // This frame is never swapped to the screen.
    if (demoTime > 171)
        std::exit(0);
}
