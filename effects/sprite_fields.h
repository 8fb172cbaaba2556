// The two sprite-field scenes: 200 billboards seeded once from rand(), drifting
// a little in every drawn frame; the opening field over a picture and the
// greeting field with its scrolling line.
#pragma once

#include <cstdint>

#include "media/vec3.h"

constexpr int spriteCount = 200;
extern Vec3 spriteField[spriteCount];
extern const char greetingLine[];

void seedSpriteField();
void drawBillboard(Vec3 centre, float halfSize);
void drawOpeningField(float cuePhase);
void drawGreetingField(float cuePhase);

// Where the greeting line starts in the 640 x 480 text frame at time t:
// it enters from the right at 100 units per second, jolted by the cue.
int32_t greetingLineX(float cuePhase, float t);
