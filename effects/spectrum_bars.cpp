// Spectrum bars: 32 translucent red bars across the screen, one per band of
// the previous frame's spectrum, each mirrored about the line y = 320 so that
// it grows up and down with its level.
//
// Drawn in the overlay frame (effects/overlays.h) from spectrumBands
// (media/music.h), untextured; the levels are used as they are, unclamped.
#include "effects/spectrum_bars.h"

#include <GL/gl.h>

#include "effects/overlays.h"
#include "media/music.h"

static constexpr float barWidth = 20;
static constexpr float barPitch = 25;
static constexpr float firstBarX = 2;
static constexpr float mirrorLineY = 320;

static void emitBar(float x, float reach) {
    glPushMatrix();
    glTranslatef(x, mirrorLineY, 0);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(0, reach);
    glVertex2f(barWidth, reach);
    glVertex2f(barWidth, 0);
    glEnd();
    glPopMatrix();
}

void drawSpectrumBars() {
    beginOverlayFrame();
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 0, 0, 0.6f);
    glEnable(GL_BLEND);
    // The two halves meet at the mirror line without overlapping, so every
    // covered pixel is blended exactly once.
    for (int i = 0; i < 32; ++i)
        emitBar(firstBarX + barPitch * i, spectrumBands[i] * 80 + 30);
    for (int i = 0; i < 32; ++i)
        emitBar(firstBarX + barPitch * i, -30 - spectrumBands[i] * 80);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    endOverlayFrame();
}
