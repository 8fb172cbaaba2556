// The two sprite-field scenes. One field of 200 sprite centres is seeded once
// from the never-seeded rand(), so it is the same on every run; every drawn
// frame of either scene drifts each sprite's height a little and keeps the
// drift, so the field's shape depends on the frames drawn, not on demoTime
// alone, and a seek never restores it. Each scene draws the field twice, with
// multiplicative blending and no depth test. Needs the texture set, the
// full-screen picture, the bitmap text and demoTime / spectrumBands.
#include "effects/sprite_fields.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

#include "effects/bitmap_text.h"
#include "effects/overlays.h"
#include "media/music.h"
#include "media/texture_set.h"

Vec3 spriteField[spriteCount];

// Ten names, each followed by three blanks, the last by one: 99 characters.
const char greetingLine[] = "quillbyte   norvane   skelda   tromix   vexadrone   "
                            "halvor   zintek   mordwin   lumacore   pexelor ";
static_assert(sizeof(greetingLine) - 1 == 99, "the greeting line is 99 characters");

// What differs between the opening and the greeting field.
struct FieldLook {
    float translationX;
    int firstSlot;
    int secondSlot;
    double driftStep;
    float secondHalfSize;
    bool opening; // first-pass size follows the music
};

void seedSpriteField() {
    for (Vec3& sprite : spriteField) {
        sprite.x = static_cast<float>(std::rand() % 140 - 100);
        sprite.y = static_cast<float>(std::rand() % 4 - 2);
        sprite.z = static_cast<float>(std::rand() % 4 - 2);
    }
}

// A square around centre facing the viewer: the viewer's right and up
// directions are the first two rows of the model-view rotation.
void drawBillboard(Vec3 centre, float halfSize) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    Vec3 right{m[0] * halfSize, m[4] * halfSize, m[8] * halfSize};
    Vec3 up{m[1] * halfSize, m[5] * halfSize, m[9] * halfSize};

    Vec3 corners[4] = {vec3Sub(vec3Sub(centre, right), up), vec3Sub(vec3Add(centre, right), up),
                       vec3Add(vec3Add(centre, right), up), vec3Add(vec3Sub(centre, right), up)};
    static const GLshort texCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    glBegin(GL_QUADS);
    for (int k = 0; k < 4; ++k) {
        glTexCoord2s(texCoords[k][0], texCoords[k][1]);
        glVertex3fv(&corners[k].x);
    }
    glEnd();
}

static float firstPassHalfSize(const FieldLook& look, int i) {
    if (look.opening)
        return static_cast<float>(std::sin(i) + spectrumBands[5] * 0.5 + 0.42f);
    return static_cast<float>(std::sin(i) + 1.2f);
}

// Both passes store their drift back: the second pass starts from the
// heights the first left.
static void drawSpritePasses(const FieldLook& look) {
    double t = demoTime;

    glBindTexture(GL_TEXTURE_2D, textureSet[look.firstSlot]);
    for (int i = 0; i < spriteCount; ++i) {
        Vec3& p = spriteField[i];
        p.y = static_cast<float>(p.y + std::sin(t + p.x) * look.driftStep);
        drawBillboard(p, firstPassHalfSize(look, i));
    }

    glBindTexture(GL_TEXTURE_2D, textureSet[look.secondSlot]);
    for (int i = 0; i < spriteCount; ++i) {
        Vec3& p = spriteField[i];
        p.y = static_cast<float>(p.y - std::cos(p.z - t) * look.driftStep);
        drawBillboard(p, look.secondHalfSize);
    }
}

static void drawField(const FieldLook& look) {
    glLoadIdentity();
    glTranslatef(look.translationX, 0, -8);
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);

    drawSpritePasses(look);

    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glPopMatrix();
}

void drawOpeningField(float cuePhase) {
    drawFullscreenPicture(2);
    FieldLook look;
    look.translationX =
        static_cast<float>(10 * std::sin(static_cast<double>(cuePhase)) + 2.0 * demoTime);
    look.firstSlot = 1;
    look.secondSlot = 0;
    look.driftStep = 1.0 / 300.0;
    look.secondHalfSize = 0.2f;
    look.opening = true;
    drawField(look);
}

int32_t greetingLineX(float cuePhase, float t) {
    double x = 150 * std::sin(static_cast<double>(cuePhase)) +
               (static_cast<double>(t) - 120) * -100 + 1500;
    return static_cast<int32_t>(x); // toward zero
}

void drawGreetingField(float cuePhase) {
    // Used by the next frame's clear: the sprites then multiply onto white.
    glClearColor(1, 1, 1, 1);
    FieldLook look;
    look.translationX = static_cast<float>(10 * std::sin(static_cast<double>(cuePhase)) +
                                           (static_cast<double>(demoTime) - 120) * -2 + 70);
    look.firstSlot = 4;
    look.secondSlot = 4;
    look.driftStep = 0.005;
    look.secondHalfSize = 1.0f;
    look.opening = false;
    drawField(look);

    printText(greetingLineX(cuePhase, demoTime), 200, greetingLine, 0, 2.0f);
}
