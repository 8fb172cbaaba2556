// Screen overlays and fades: the letterbox bars, the fade from black, the
// timed blackouts, the inversion flash, pictures from the texture set and the
// three title cards.
//
// All of them draw flat quads in the overlay frame: x 0..800 left to right,
// y 0..600 top to bottom, one unit per pixel of the 800 x 600 window. Each
// leaves the colour opaque white and blending off when it draws; none touches
// the depth test. Needs demoTime and spectrumBands (media/music.h), the
// texture set (media/texture_set.h) and rampBetween (timeline/cue_tracks.h).
#include "effects/overlays.h"

#include <GL/gl.h>

#include "media/music.h"
#include "media/texture_set.h"
#include "timeline/cue_tracks.h"

void beginOverlayFrame() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 800, 600, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void endOverlayFrame() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// A slot outside the set shows as a missing picture would: untextured.
static GLuint slotTexture(int slot) {
    return slot >= 0 && slot < textureSlotCount ? textureSet[slot] : 0;
}

static void emitFullscreenQuad() {
    glBegin(GL_QUADS);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 600, 0);
    glVertex3f(800, 600, 0);
    glVertex3f(800, 0, 0);
    glEnd();
}

// The texture set keeps each image's top row at t = 0, so with s running from
// 1 at the left to 0 at the right a picture stands upright, mirrored.
static void emitPictureQuad(float width, float height) {
    glBegin(GL_QUADS);
    glTexCoord2f(1, 0);
    glVertex3f(0, 0, 0);
    glTexCoord2f(1, 1);
    glVertex3f(0, height, 0);
    glTexCoord2f(0, 1);
    glVertex3f(width, height, 0);
    glTexCoord2f(0, 0);
    glVertex3f(width, 0, 0);
    glEnd();
}

static void emitBar(float top, float bottom) {
    glBegin(GL_QUADS);
    glVertex2f(0, top);
    glVertex2f(0, bottom);
    glVertex2f(800, bottom);
    glVertex2f(800, top);
    glEnd();
}

void drawLetterbox() {
    beginOverlayFrame();
    // At the nearest depth a less-or-equal depth test passes the bars everywhere.
    glTranslatef(0, 0, 1);
    glColor4f(0, 0, 0, 1);
    emitBar(0, 70);
    emitBar(530, 600);
    glColor4f(1, 1, 1, 1);
    endOverlayFrame();
}

void drawFadeFromBlack(float amount) {
    beginOverlayFrame();
    glColor4f(0, 0, 0, 1 - amount);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    emitFullscreenQuad();
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
    endOverlayFrame();
}

void drawBlackout(float start, float end) {
    if (!(demoTime > start) || !(demoTime < end + 5))
        return;
    beginOverlayFrame();
    float fadeIn = rampBetween(start, start + 1, demoTime);
    float fadeOut = rampBetween(end, end + 1, demoTime);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, (1 - fadeOut) * fadeIn);
    emitFullscreenQuad();
    glColor4f(1, 1, 1, 1);
    endOverlayFrame();
    glDisable(GL_BLEND);
}

// Each channel becomes a (1 - d) + d (1 - a): the negative at a = 1, flat
// mid-grey at a = 0.5, the picture unchanged at a = 0.
void drawInvertFlash(float amount) {
    beginOverlayFrame();
    glColor4f(amount, amount, amount, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ONE_MINUS_SRC_COLOR);
    emitFullscreenQuad();
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
    endOverlayFrame();
}

void drawFullscreenPicture(int slot) {
    beginOverlayFrame();
    // In the first 10.5 s the picture pulses with the fourth band; the
    // pipeline clamps the colour, so a loud band shows it at full brightness.
    if (demoTime > 0 && demoTime < 10.5f) {
        float brightness = spectrumBands[3] * 5;
        glColor4f(brightness, brightness, brightness, 1);
    } else {
        glColor4f(1, 1, 1, 1);
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, slotTexture(slot));
    emitPictureQuad(800, 600);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    endOverlayFrame();
}

// Drawn in the caller's colour and blend state, so the caller decides how the
// picture combines with the frame.
void drawOverlayPicture(int width, int height, float x, float y, int slot) {
    beginOverlayFrame();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, slotTexture(slot));
    glTranslatef(x, y, 0);
    emitPictureQuad(static_cast<float>(width), static_cast<float>(height));
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    endOverlayFrame();
}

// The card bounds are doubles: a frame at 44 469 ms reads as a float just
// above 44.469 and already shows the first card.
void drawTitleCards() {
    double now = demoTime;
    if (now > 44.469 && now < 44.725)
        drawOverlayPicture(512, 256, 128, 150, 20);
    if (now > 44.725 && now < 45.055)
        drawOverlayPicture(512, 256, 128, 150, 21);
    if (now > 45.055 && now < 46)
        drawOverlayPicture(512, 256, 128, 150, 22);
}
